// One GET of a file being downloaded, done on a thread of its own so that a
// cancel never waits for a silent server.
#pragma once

#include "transfer/DownloadOptions.h"

#include <windows.h>
#include <wininet.h>

#include <string>

// How one request ended.
enum class Attempt {
    Stored,          // the file is in place
    Cancelled,       // the user cancelled; the temporary file keeps what arrived
    NetworkFailure,  // worth another try: no connection, a timeout, a cut body, a
                     // transfer too slow, an answer asking to come back (502, 503, ...)
    RangeRefused,    // the answer to "the rest" does not continue what is held
    DigestMismatch,  // the whole body arrived but is not the listed file
    SizeMismatch,    // the answer's length is not the listed size (or is past the cap)
    Refused,         // the answer rules out another try (404, no length, ...)
    CertificateRefused,  // WinInet refused the server's certificate: the same one would come back
    ProxyLoginRequired,  // a proxy asks for a login the request did not carry, or refused the one it did
    LocalFailure,    // the temporary file or the destination could not be written
};

struct AttemptResult {
    Attempt outcome = Attempt::Refused;
    ULONGLONG total = 0;   // the whole file's declared length
    bool resumed = false;  // the body was appended to what the file held
    bool wrote = false;    // the temporary file was opened for writing
    DWORD status = 0;      // the answer's HTTP status
    std::wstring expected; // for a mismatch: the listed value
    std::wstring received; // and the one that arrived
    bool serverPause = false;  // the answer named the pause before another try
    DWORD pauseMs = 0;         // that pause
    DWORD certificateError = 0;  // WinInet's code for a refused certificate
    DWORD error = 0;   // the system's or WinInet's code of what stopped the request; 0 for none
    std::wstring logLine;  // the request's line in the log, once written
    // ProxyLoginRequired: the proxy's name, its realm and whether it asked for Basic.
    std::wstring proxy;
    std::wstring proxyRealm;
    bool proxyBasic = false;
};

// What one request is for.
struct AttemptRequest {
    std::wstring url;  // as the log names it
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
    bool secure = false;  // https: TLS with WinInet's own certificate checks
    std::wstring temporary;
    std::wstring destination;
    std::wstring expectedDigest;  // empty: none
    bool hasSha256 = false;
    Sha256Digest expectedSha256{};
    bool hasListedSize = false;
    ULONGLONG listedSize = 0;
    ULONGLONG maxLength = 0;      // 0: no cap
    bool notFoundExpected = false;
    DownloadTimings timings;
    HWND window = nullptr;        // receives WM_DOWNLOAD_PROGRESS
    ProgressSink* progress = nullptr;  // when given, the bytes go there instead
    const volatile LONG* stop = nullptr;   // set like the cancel flag when the run stops its transfers
    ULONGLONG held = 0;           // ask for the rest after this many bytes; 0: the whole file
    DWORD retry = 0;              // which retry this is, for the log
};

// Sends the request, stores the body in the temporary file and, when it is
// whole (and has the expected digest), puts it in the destination's place.
// Returns when that is done or, within a fraction of a second, once *cancel
// is set: a request still blocked on a silent server is then left behind to
// end by itself (at its receive timeout at the latest); from the moment it is
// left it writes nothing more, to the file, the window or the log, and the
// temporary file is no longer open in it: a run started again at once takes
// over what it holds.
//
// A body is flushed to the disk before it replaces the destination, and the
// move is written through, so that a power loss never leaves the file in
// place empty or zero-filled.
AttemptResult RunAttempt(const AttemptRequest& request, const volatile LONG* cancel);
