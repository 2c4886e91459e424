// One HTTP GET stored as one local file, through a temporary file beside it.
#pragma once

#include "transfer/DownloadFailure.h"
#include "transfer/DownloadOptions.h"

#include <windows.h>

// Fetches url into destination and returns the file's length as the server
// declared it, or 0 on any failure or cancel. The destination is replaced
// only by a complete body, in one step, and is left read-only; when it cannot
// be replaced it keeps what it had.
//
// A transfer that fails for a network reason (no connection, a server silent
// for longer than the receive timeout, a body cut short, a transfer slower
// than options.timings allows, an answer of 408, 429, 502, 503 or 504) is
// tried again after the pauses of options.timings, or after the pause the
// answer asks for with Retry-After (one that asks for longer than
// DownloadTimings::kLongestServerPauseMs is not tried again), each retry
// shown in the status line
// (WM_SETUP_STATUS_TEXT). With an expected digest a retry, like a later call,
// asks only for the part the temporary file does not hold yet; the digest
// decides at the end, and a mismatch after such a resumed transfer fetches
// the whole file once more before the call fails.
//
// Sends WM_DOWNLOAD_PROGRESS to window. *cancel is set by another thread: a
// cancel ends a transfer within a fraction of a second even when the server
// sends nothing, and keeps what the temporary file holds.
//
// With options.servers (url then names their current server), a server that
// still fails after its retries, or answers with a 5xx status, hands the
// request to the next one, with retries of its own: with a digest it asks
// there for the part the temporary file does not hold yet. That server stays
// the current one for the rest of the run.
//
// An https address is fetched over TLS with WinInet's certificate checks. A
// refused certificate is not retried: the call fails at once.
//
// When the call fails and failure is given, failure->detail says why in the
// line the error box adds (the network, the server's status, a login, a full
// disk with the space the file needs and the space free, a damaged body, the
// certificate); a cancel leaves it as it was.
//
// A proxy that asks for a login the run does not have, or refuses the one
// it gave (407, or 401 through a proxy), is asked for one with
// WM_SETUP_PROXY_LOGIN; a login given there is kept for every later request
// (download/ProxyLogin.h) and the request is made again, not counted as a
// retry. Without one the call fails with failure->code SETUP_ERR_PROXY_LOGIN.
ULONGLONG DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                       const volatile LONG* cancel, const DownloadOptions& options = {},
                       DownloadFailure* failure = nullptr);
