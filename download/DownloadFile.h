// One HTTP GET stored as one local file, through a temporary file beside it.
#pragma once

#include <windows.h>

// Fetches url into destination and returns the body length the server
// declared, or 0 on any failure or cancel. The destination is replaced only
// by a complete body, in one step, and is left read-only; when it cannot be
// replaced it keeps what it had. With an expected digest (MD5 as hexadecimal
// text, either case) a body with another digest is a failure too. Sends
// WM_DOWNLOAD_PROGRESS to window; polls *cancel (set by another thread)
// between chunks.
ULONGLONG DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                       const volatile LONG* cancel, const wchar_t* expectedDigest = nullptr);
