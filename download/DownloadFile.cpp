#include "download/DownloadFile.h"

#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/ContentRange.h"
#include "download/DownloadLog.h"
#include "download/MD5Checksum.h"
#include "download/ProgressReporter.h"
#include "download/RequestCancelWatch.h"
#include "framework/File.h"
#include "framework/HttpConnection.h"
#include "framework/HttpFile.h"
#include "framework/InternetSession.h"
#include "framework/ParseUrl.h"

#include <memory>
#include <string>

namespace {

// Sent with every request exactly like this: the server may match on it.
constexpr wchar_t kRequestHeaders[] = L"Accept: */*\r\nUser-Agent:QXTSetup\r\n";
constexpr UINT kChunkSize = 32768;
constexpr DWORD kServiceUnavailable = 503;
constexpr DWORD kRangeNotSatisfiable = 416;

// How one request ended.
enum class Attempt {
    Stored,          // the file is in place
    Cancelled,       // the user cancelled; the temporary file keeps what arrived
    NetworkFailure,  // worth another try: no connection, a timeout, a cut body, 503
    RangeRefused,    // the answer to "the rest" does not continue what is held
    DigestMismatch,  // the whole body arrived but is not the listed file
    Refused,         // the answer rules out another try (404, no length, ...)
    LocalFailure,    // the temporary file or the destination could not be written
};

struct AttemptResult {
    Attempt outcome = Attempt::Refused;
    ULONGLONG total = 0;   // the whole file's declared length
    bool resumed = false;  // the body was appended to what the file held
    bool wrote = false;    // the temporary file was opened for writing
};

// The parts of the address every request of one download goes to.
struct Target {
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
};

// Sets or clears the read-only attribute, keeping the others; returns the
// attributes found before (INVALID_FILE_ATTRIBUTES when there is no file).
DWORD SetReadOnly(const wchar_t* path, bool readOnly)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return attributes;
    const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                                  : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (wanted != attributes)
        ::SetFileAttributesW(path, wanted);
    return attributes;
}

// Puts the complete temporary file in the destination's place in one step,
// read-only. A destination that cannot be replaced stays as it was, with the
// attributes it had.
bool PutInPlace(const wchar_t* temporary, const wchar_t* destination)
{
    const DWORD before = SetReadOnly(destination, false);
    if (!::MoveFileExW(temporary, destination, MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        if (before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_READONLY))
            SetReadOnly(destination, true);
        ::SetLastError(error);
        return false;
    }
    SetReadOnly(destination, true);
    return true;
}

// The declared length as a 64-bit count; false without a usable header.
bool QueryDeclaredLength(const CHttpFile& request, ULONGLONG& length)
{
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, text, &size))
        return false;
    length = 0;
    const wchar_t* digit = text;
    for (; *digit >= L'0' && *digit <= L'9'; ++digit) {
        if (length > (~0ULL - 9) / 10)
            return false;
        length = length * 10 + static_cast<ULONGLONG>(*digit - L'0');
    }
    return digit != text && *digit == 0;
}

bool QueryContentRange(const CHttpFile& request, ContentRange& range)
{
    wchar_t text[96] = {};
    DWORD size = sizeof text;
    return request.QueryInfo(HTTP_QUERY_CONTENT_RANGE, text, &size) && ParseContentRange(text, range);
}

// What an earlier attempt left in the temporary file; 0 for none.
ULONGLONG HeldLength(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The pause before a retry; false as soon as the user cancels.
bool PauseUnlessCancelled(DWORD milliseconds, const volatile LONG* cancel)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (CancelRequested(cancel))
            return false;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return true;
        ::Sleep(static_cast<DWORD>(end - now < RequestCancelWatch::kPollMs ? end - now : RequestCancelWatch::kPollMs));
    }
}

std::wstring FileName(const wchar_t* path)
{
    const std::wstring whole(path);
    const size_t slash = whole.find_last_of(L"\\/");
    return slash == std::wstring::npos ? whole : whole.substr(slash + 1);
}

void ShowRetry(HWND window, const std::wstring& name, DWORD retry)
{
    const std::wstring text =
        L"正在重试..." + name + L" (" + std::to_wstring(retry) + L"/" + std::to_wstring(DownloadTimings::kRetries) + L")";
    ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&text), 0);
}

// One GET of the file: of the rest after held bytes when held is not 0.
class Request {
public:
    Request(CInternetSession& session, const Target& target, const std::wstring& temporary, HWND window,
            const volatile LONG* cancel, const DownloadOptions& options, const wchar_t* destination)
        : m_session(session), m_target(target), m_temporary(temporary), m_window(window), m_cancel(cancel),
          m_expectedDigest(options.expectedDigest), m_timings(options.timings), m_destination(destination)
    {
    }

    AttemptResult Run(ULONGLONG held, RequestLog& log);

private:
    bool Prepare(ULONGLONG held, RequestLog& log);
    // Sends the request under the cancel watch and stores the answer's body.
    Attempt Receive(ULONGLONG held, RequestLog& log);
    // A failed call on the network: a cancel closed the request, or the
    // network failed. The system's code goes to the log.
    Attempt NetworkError(RequestLog& log) const
    {
        if (CancelRequested(m_cancel))
            return Attempt::Cancelled;
        log.error = ::GetLastError();
        return Attempt::NetworkFailure;
    }

    CInternetSession& m_session;
    const Target& m_target;
    const std::wstring& m_temporary;
    HWND m_window;
    const volatile LONG* m_cancel;
    const wchar_t* m_expectedDigest;
    const DownloadTimings& m_timings;
    const wchar_t* m_destination;

    std::unique_ptr<CHttpConnection> m_connection;
    std::unique_ptr<CHttpFile> m_request;
    CFile m_file;
    AttemptResult m_result;
};

AttemptResult Request::Run(ULONGLONG held, RequestLog& log)
{
    // A request that cannot even be prepared fails the same way every time.
    m_result.outcome = Prepare(held, log) ? Receive(held, log) : Attempt::Refused;
    m_file.Close();
    m_request.reset();
    m_connection.reset();
    return m_result;
}

// The connection and the request with its headers, not yet sent.
bool Request::Prepare(ULONGLONG held, RequestLog& log)
{
    m_connection = m_session.GetHttpConnection(m_target.server.c_str(), m_target.port, nullptr, nullptr);
    if (!m_connection) {
        log.error = ::GetLastError();
        return false;
    }
    m_request = m_connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, m_target.object.c_str(), nullptr, 1,
                                          nullptr, nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE);
    if (!m_request) {
        log.error = ::GetLastError();
        return false;
    }
    // The wide option calls read a wide string: an empty one, terminator included.
    wchar_t empty[1] = {L'\0'};
    m_request->SetOption(INTERNET_OPTION_PROXY_USERNAME, empty, sizeof empty);
    m_request->SetOption(INTERNET_OPTION_PROXY_PASSWORD, empty, sizeof empty);
    // A server that accepts and then says nothing fails the attempt instead
    // of holding the run. Set on the request: Wine's requests do not take the
    // session's timeouts.
    DWORD connectTimeout = m_timings.connectTimeoutMs;
    DWORD receiveTimeout = m_timings.receiveTimeoutMs;
    m_request->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
    m_request->SetOption(INTERNET_OPTION_SEND_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    m_request->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    if (!m_request->AddRequestHeaders(kRequestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                                      static_cast<DWORD>(std::size(kRequestHeaders) - 1))) {
        log.error = ::GetLastError();
        return false;
    }
    if (held != 0) {
        const std::wstring range = L"Range: bytes=" + std::to_wstring(held) + L"-\r\n";
        if (!m_request->AddRequestHeaders(range.c_str(), HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE,
                                          static_cast<DWORD>(range.size()))) {
            log.error = ::GetLastError();
            return false;
        }
        log.rangeFrom = held;
    }
    return true;
}

Attempt Request::Receive(ULONGLONG held, RequestLog& log)
{
    RequestCancelWatch watch(m_cancel, m_request->Handle());
    ProgressReporter progress(m_window, 0);
    const Attempt outcome = [&] {
        if (!m_request->SendRequest())
            return NetworkError(log);
        DWORD status = 0;
        if (!m_request->QueryInfoStatusCode(status))
            return NetworkError(log);
        log.status = status;
        if (status == kServiceUnavailable)
            return Attempt::NetworkFailure;
        if (held != 0 && status == kRangeNotSatisfiable)
            return Attempt::RangeRefused;
        if (status / 100 != 2)
            return Attempt::Refused;

        // Without a declared length a complete body cannot be told from one
        // cut short, so such an answer is not stored.
        ULONGLONG declared = 0;
        if (!QueryDeclaredLength(*m_request, declared))
            return held != 0 && status == 206 ? Attempt::RangeRefused : Attempt::Refused;
        log.SetDeclared(declared);

        // The rest of the file, when the server sends just that; a server
        // without ranges answers 200 with the whole file, which starts over.
        ULONGLONG position = 0;
        m_result.total = declared;
        if (held != 0 && status == 206) {
            ContentRange range;
            if (!QueryContentRange(*m_request, range) || range.first != held || range.last + 1 != range.total ||
                range.total - held != declared)
                return Attempt::RangeRefused;
            m_result.wrote = true;
            ULONGLONG end = 0;
            if (!m_file.Open(m_temporary.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                                      CFile::typeBinary) ||
                !m_file.Seek(0, CFile::end, &end)) {
                log.error = ::GetLastError();
                return Attempt::LocalFailure;
            }
            if (end != held)
                return Attempt::RangeRefused;
            position = held;
            m_result.total = range.total;
            m_result.resumed = true;
            log.appended = true;
        }
        else {
            m_result.wrote = true;
            if (!m_file.Open(m_temporary.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) {
                log.error = ::GetLastError();
                return Attempt::LocalFailure;
            }
        }
        progress = ProgressReporter(m_window, m_result.total);
        progress.Start(position);

        BYTE buffer[kChunkSize];
        for (;;) {
            UINT read = 0;
            if (!m_request->Read(buffer, kChunkSize, read))
                return NetworkError(log);
            if (read == 0)
                break;
            if (CancelRequested(m_cancel))
                return Attempt::Cancelled;
            // A write error, a full disk among them.
            if (!m_file.Write(buffer, read)) {
                log.error = ::GetLastError();
                return Attempt::LocalFailure;
            }
            position += read;
            log.received += read;
            progress.Advance(position);
        }
        m_file.Close();
        progress.Finish();

        // A server that closes before the declared length has sent a cut body.
        if (position != m_result.total)
            return Attempt::NetworkFailure;
        // A body that is not the listed file (a stale mirror, an error page
        // served as 200, pieces of two versions) never takes the
        // destination's place.
        if (m_expectedDigest && !CMD5Checksum::FileHasDigest(m_temporary.c_str(), m_expectedDigest)) {
            log.digestMismatch = true;
            return Attempt::DigestMismatch;
        }
        if (!PutInPlace(m_temporary.c_str(), m_destination)) {
            log.error = ::GetLastError();
            return Attempt::LocalFailure;
        }
        return Attempt::Stored;
    }();
    // The dialog's bar shows what was written, however the transfer ended.
    progress.Finish();
    watch.Stop();
    if (watch.Closed())
        m_request->Detach();
    if (outcome == Attempt::Cancelled)
        log.cancelled = true;
    return outcome;
}

}  // namespace

ULONGLONG DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                       const volatile LONG* cancel, const DownloadOptions& options)
{
    // A session that cannot be opened is a failed download like any other.
    CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG);
    Target target;
    DWORD serviceType = 0;
    if (!session || !AfxParseURL(url, serviceType, target.server, target.object, target.port) ||
        (serviceType != AFX_INET_SERVICE_HTTP && serviceType != AFX_INET_SERVICE_HTTPS)) {
        RequestLog log(url);
        log.error = session ? 0 : ::GetLastError();
        return 0;
    }
    INTERNET_PROXY_INFO proxy{};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
    session.SetOption(INTERNET_OPTION_PROXY, &proxy, sizeof proxy);

    const std::wstring temporary = std::wstring(destination) + L".tmp";
    const std::wstring name = options.name ? std::wstring(options.name) : FileName(destination);
    // Without a digest nothing could show that a held part and the rest
    // belong to one version of the file, so every attempt starts over.
    const bool resumable = options.expectedDigest != nullptr;

    DWORD retries = 0;
    bool startedOver = false;    // after an answer that did not fit the held part
    bool fetchedWhole = false;   // after a resumed file with another digest
    bool wrote = false;          // this call wrote the temporary file
    for (;;) {
        const ULONGLONG held = resumable ? HeldLength(temporary) : 0;
        AttemptResult result;
        {
            RequestLog log(url);
            log.retry = retries;
            result = Request(session, target, temporary, window, cancel, options, destination)
                         .Run(held, log);
            log.stored = result.outcome == Attempt::Stored;
        }
        wrote = wrote || result.wrote;

        switch (result.outcome) {
        case Attempt::Stored:
            return result.total;
        case Attempt::Cancelled:
            // The temporary file keeps what arrived: the next attempt goes on
            // from there (or truncates it, without a digest).
            ::Sleep(kCancelPauseMs);
            return 0;
        case Attempt::RangeRefused:
            ::DeleteFileW(temporary.c_str());
            if (startedOver)
                return 0;
            startedOver = true;
            continue;
        case Attempt::DigestMismatch:
            ::DeleteFileW(temporary.c_str());
            if (!result.resumed || fetchedWhole)
                return 0;
            fetchedWhole = true;
            continue;
        case Attempt::NetworkFailure:
            if (retries < DownloadTimings::kRetries) {
                ShowRetry(window, name, retries + 1);
                if (!PauseUnlessCancelled(options.timings.retryPausesMs[retries], cancel)) {
                    ::Sleep(kCancelPauseMs);
                    return 0;
                }
                ++retries;
                continue;
            }
            [[fallthrough]];
        case Attempt::Refused:
            // What arrived is still the start of the file: a later run asks
            // for the rest.
            if (!resumable && wrote)
                ::DeleteFileW(temporary.c_str());
            return 0;
        case Attempt::LocalFailure:
            if (wrote)
                ::DeleteFileW(temporary.c_str());
            return 0;
        }
    }
}
