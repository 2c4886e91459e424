// The download's lines in the run log: one per request and one per file of
// the manifest (kept or fetched, with both digests).
#pragma once

#include <windows.h>

#include <string>

// Collects what one request learns as it goes and writes it as one line when
// the request is over (Write, or at the latest when the object goes),
// however it ended: a request that did not store its file is logged as an
// error with the system's text for the last error seen, unless it was
// cancelled (by the user, or because another transfer of the run failed):
// that is a plain line.
class RequestLog {
public:
    explicit RequestLog(const wchar_t* url);
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;
    ~RequestLog();

    DWORD status = 0;       // the answer's HTTP status; 0 before an answer
    bool hasLength = false;
    ULONGLONG declared = 0;  // Content-Length
    ULONGLONG received = 0;  // bytes of the body read
    DWORD error = 0;        // the system's code for what stopped the request
    bool stored = false;    // the file is in place
    bool digestMismatch = false;  // the body is not the listed file
    std::wstring mismatch;        // the listed size or SHA-256 against what arrived, when that decided
    bool notFoundExpected = false;  // a 404 is an answer, not an error
    bool cancelled = false;       // the user cancelled the request
    DWORD retry = 0;              // 0 for the first request of a download, then 1 to 3
    ULONGLONG rangeFrom = 0;      // asked for the rest from this byte; 0 for the whole file
    bool appended = false;        // the server sent just the rest, added to the held part
    bool hasServerPause = false;  // the answer asked for a pause before another try (Retry-After)
    ULONGLONG serverPauseSeconds = 0;
    bool tooSlow = false;         // given up: fewer than slowestRate bytes a second over slowWindowMs
    DWORD slowestRate = 0;
    DWORD slowWindowMs = 0;

    // Writes the line once; later calls do nothing.
    void Write();
    // The line as written; empty before Write.
    const std::wstring& Line() const { return m_line; }
    // The line will not be written: someone else has told the request's end.
    void Discard() { m_written = true; }

    void SetDeclared(ULONGLONG length)
    {
        hasLength = true;
        declared = length;
    }

private:
    std::wstring m_url;
    std::wstring m_line;
    ULONGLONG m_start;
    bool m_written = false;
};

// The log's line for a file named by the manifest: kept when the local copy
// has its digest, fetched otherwise. localDigest is empty when there is no
// readable local copy.
std::wstring FileDecisionText(const std::wstring& path, const std::wstring& localDigest,
                              const std::wstring& manifestDigest, bool keep);
