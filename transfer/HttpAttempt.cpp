#include "transfer/HttpAttempt.h"

#include "transfer/CancelRequest.h"
#include "transfer/CertificateError.h"
#include "transfer/ContentRange.h"
#include "transfer/DownloadLog.h"
#include "trust/MD5Checksum.h"
#include "transfer/WindowProgress.h"
#include "transfer/ProxyLogin.h"
#include "transfer/RetryAfter.h"
#include "transfer/SlowTransfer.h"
#include "framework/File.h"
#include "framework/FormatText.h"
#include "framework/HttpConnection.h"
#include "framework/HttpFile.h"
#include "framework/InternetSession.h"
#include "framework/LogFile.h"
#include "framework/Sha256.h"
#include "framework/SrwGuard.h"

#include <memory>
#include <string>

namespace {

// Sent with every request exactly like this: the server may match on it.
constexpr wchar_t kRequestHeaders[] = L"Accept: */*\r\nUser-Agent:QXTSetup\r\n";
constexpr UINT kChunkSize = 32768;
// The stack a request's thread reserves: its chunk buffer and WinInet's calls.
constexpr SIZE_T kRequestStackBytes = 256 * 1024;
constexpr DWORD kPartialContent = 206;
constexpr DWORD kRangeNotSatisfiable = 416;
constexpr DWORD kUnauthorized = 401;
constexpr DWORD kProxyAuthenticationRequired = 407;
// How often the waiting side looks at the cancel flag, and how long it gives
// the request to notice a cancel between chunks before leaving it behind.
constexpr DWORD kPollMs = 50;
constexpr DWORD kCancelGraceMs = 250;

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
    // Write-through: the move is on the disk when it returns, like the body.
    if (!::MoveFileExW(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
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

// Answers that say the server, or one on the way, cannot serve the file just
// now: a timeout, too many requests, a gateway without an answer, a server
// busy or down for a moment.
bool AsksToComeBackLater(DWORD status)
{
    switch (status) {
    case 408:
    case 429:
    case 502:
    case 503:
    case 504:
        return true;
    default:
        return false;
    }
}

// The pause the answer asks for before another try (Retry-After), in whole
// seconds; false when it names none that can be read.
bool QueryServerPause(const CHttpFile& request, ULONGLONG& seconds)
{
    wchar_t text[96] = {};
    DWORD size = sizeof text;
    if (!request.QueryInfo(HTTP_QUERY_RETRY_AFTER, text, &size))
        return false;
    SYSTEMTIME date{};
    DWORD dateSize = sizeof date;
    const bool dated = request.QueryInfo(HTTP_QUERY_DATE | HTTP_QUERY_FLAG_SYSTEMTIME, &date, &dateSize);
    return ParseRetryAfter(text, dated ? &date : nullptr, seconds);
}

bool QueryContentRange(const CHttpFile& request, ContentRange& range)
{
    wchar_t text[96] = {};
    DWORD size = sizeof text;
    return request.QueryInfo(HTTP_QUERY_CONTENT_RANGE, text, &size) && ParseContentRange(text, range);
}

// The proxy the session sends its requests through; empty for none.
std::wstring SessionProxy(HINTERNET session)
{
    DWORD size = 0;
    ::InternetQueryOptionW(session, INTERNET_OPTION_PROXY, nullptr, &size);
    if (size < sizeof(INTERNET_PROXY_INFO))
        return {};
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    if (!::InternetQueryOptionW(session, INTERNET_OPTION_PROXY, buffer.get(), &size))
        return {};
    const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.get());
    if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy)
        return {};
    return reinterpret_cast<const wchar_t*>(info->lpszProxy);
}

// The scheme and realm of a login challenge ("Basic realm=\"office\"").
void ReadChallenge(const CHttpFile& request, DWORD query, bool& basic, std::wstring& realm)
{
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (!request.QueryInfo(query, text, &size))
        return;
    const std::wstring challenge(text);
    basic = ::CompareStringOrdinal(challenge.substr(0, 5).c_str(), -1, L"Basic", -1, TRUE) == CSTR_EQUAL;
    const size_t at = challenge.find(L"realm=");
    if (at == std::wstring::npos)
        return;
    realm = challenge.substr(at + 6);
    if (!realm.empty() && realm[0] == L'"') {
        const size_t end = realm.find(L'"', 1);
        realm = realm.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    }
}

// What the waiting side and the request's thread share. The thread may
// outlive the wait, so each side holds a reference and the last one to let
// go deletes it. (A counted pointer of our own: std::shared_ptr would bring
// the thread library into the program.)
struct SharedAttempt {
    SharedAttempt(const AttemptRequest& what, const volatile LONG* flag)
        : request(what), cancel(flag), log(what.url.c_str())
    {
        log.retry = what.retry;
        log.notFoundExpected = what.notFoundExpected;
    }

    const AttemptRequest request;
    // The dialog's flag: read only under the lock and only while not left,
    // since a caller that has returned may free it.
    const volatile LONG* const cancel;
    SRWLOCK lock = SRWLOCK_INIT;
    bool left = false;  // the waiting side has returned
    // The temporary file, used only under the lock and only while not left.
    // The side that leaves closes it, so a request left behind holds nothing
    // that the next attempt or run needs and can never write into it again.
    CFile file;
    // Since when the body has been arriving (GetTickCount64), for the watch
    // on a transfer too slow to wait for.
    bool receiving = false;
    ULONGLONG receivingSince = 0;
    RequestLog log;
    AttemptResult result;
    volatile LONG references = 1;
};

class SharedReference {
public:
    explicit SharedReference(SharedAttempt* shared) noexcept : m_shared(shared) {}
    SharedReference(const SharedReference&) = delete;
    SharedReference& operator=(const SharedReference&) = delete;
    ~SharedReference()
    {
        if (::InterlockedDecrement(&m_shared->references) == 0)
            delete m_shared;
    }

    // Another reference, for the request's thread.
    SharedAttempt* AddReference() const noexcept
    {
        ::InterlockedIncrement(&m_shared->references);
        return m_shared;
    }
    SharedAttempt* operator->() const noexcept { return m_shared; }
    SharedAttempt& operator*() const noexcept { return *m_shared; }

private:
    SharedAttempt* m_shared;
};

// The request's side: every blocking network call happens here. Whatever
// reaches the temporary file or the dialog (a write, a progress report, the
// move into place) happens under the lock, after a look at whether the
// waiting side has left, so nothing of it follows the waiting side's return.
class Request {
public:
    explicit Request(SharedAttempt& shared) noexcept : m_shared(shared), m_what(shared.request), m_log(shared.log) {}

    void Run();

private:
    bool Prepare();
    Attempt Receive();
    Attempt OpenTemporary(bool resume);
    Attempt DigestHeldPart(BYTE* buffer);
    Attempt PutInPlaceUnlessLeft();
    // Whether the request should stop: the user cancelled, the run stops its
    // transfers, or the waiting side has already left. Only under the lock.
    bool StopRequestedLocked() const
    {
        return m_shared.left || CancelRequested(m_shared.cancel) || CancelRequested(m_what.stop);
    }
    bool Cancelled()
    {
        SrwGuard guard(m_shared.lock);
        return StopRequestedLocked();
    }
    // A failed call on the network: the system's code goes to the log.
    Attempt NetworkError()
    {
        const DWORD error = ::GetLastError();
        SrwGuard guard(m_shared.lock);
        if (StopRequestedLocked())
            return Attempt::Cancelled;
        m_log.error = error;
        if (IsCertificateError(error)) {
            m_result.certificateError = error;
            return Attempt::CertificateRefused;
        }
        return Attempt::NetworkFailure;
    }
    // A failed call on the temporary file or the destination.
    Attempt LocalError()
    {
        m_log.error = ::GetLastError();
        return Attempt::LocalFailure;
    }
    // An answer whose length is not the one the list allows.
    Attempt SizeMismatch(ULONGLONG allowed, ULONGLONG got, const wchar_t* allowedWhat, const wchar_t* gotWhat)
    {
        wchar_t expected[64] = {};
        wchar_t received[64] = {};
        FormatText(expected, 64, L"%I64u %ls", allowed, allowedWhat);
        FormatText(received, 64, L"%I64u %ls", got, gotWhat);
        m_result.expected = expected;
        m_result.received = received;
        m_log.mismatch = std::wstring(L"expected ") + expected + L", received " + received;
        return Attempt::SizeMismatch;
    }
    bool Digesting() const { return !m_what.expectedDigest.empty() || m_what.hasSha256; }

    SharedAttempt& m_shared;
    const AttemptRequest& m_what;
    RequestLog& m_log;

    std::wstring m_proxy;  // the proxy the request goes through; empty for none
    std::unique_ptr<CInternetSession> m_session;
    std::unique_ptr<CHttpConnection> m_connection;
    std::unique_ptr<CHttpFile> m_request;
    AttemptResult m_result;
    // The file's own bar, unless the request reports into a share of a whole download's.
    WindowProgress m_fileProgress{m_what.window};
    ProgressSink* m_progress = nullptr;
    // The digest of what the temporary file holds, kept as the body is
    // written, so that the file is never read back by name.
    CMD5Checksum m_digest;
    Sha256Hash m_sha256;
    ULONGLONG m_position = 0;  // bytes the temporary file holds
};

void Request::Run()
{
    // A request that cannot even be prepared fails the same way every time.
    m_result.outcome = Prepare() ? Receive() : Attempt::Refused;
    m_request.reset();
    m_connection.reset();
    m_session.reset();
    SrwGuard guard(m_shared.lock);
    m_shared.file.Close();
    m_result.error = m_log.error;
    m_shared.result = m_result;
    if (!m_shared.left) {
        m_log.stored = m_result.outcome == Attempt::Stored;
        m_log.cancelled = m_result.outcome == Attempt::Cancelled;
        m_log.Write();
        m_shared.result.logLine = m_log.Line();
    }
}

// The session, the connection and the request with its headers, not yet sent.
bool Request::Prepare()
{
    // A session that cannot be opened is a failed download like any other.
    // A proxy named with /PROXY= takes the place of the system's settings.
    const std::wstring chosen = ChosenProxy();
    m_session = chosen.empty() ? std::make_unique<CInternetSession>(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG)
                               : std::make_unique<CInternetSession>(nullptr, 1, INTERNET_OPEN_TYPE_PROXY,
                                                                    chosen.c_str(), nullptr);
    if (!*m_session) {
        m_log.error = ::GetLastError();
        return false;
    }
    INTERNET_PROXY_INFO proxy{};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
    if (!chosen.empty())
        proxy.lpszProxy = chosen.c_str();
    m_session->SetOption(INTERNET_OPTION_PROXY, &proxy, sizeof proxy);
    m_proxy = SessionProxy(m_session->Handle());

    m_connection = m_session->GetHttpConnection(m_what.server.c_str(), m_what.port, nullptr, nullptr);
    if (!m_connection) {
        m_log.error = ::GetLastError();
        return false;
    }
    // Over TLS WinInet makes every certificate check itself; none of them is
    // ever switched off here (no SECURITY_FLAG_IGNORE_* on this request).
    const DWORD secure = m_what.secure ? INTERNET_FLAG_SECURE : 0;
    m_request = m_connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, m_what.object.c_str(), nullptr, 1,
                                          nullptr, nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_NO_UI | secure);
    if (!m_request) {
        m_log.error = ::GetLastError();
        return false;
    }
    // The proxy's login, when the run has one (WinInet answers the proxy's
    // challenge with it); otherwise empty. The wide option calls read a wide
    // string, terminator included.
    ProxyLogin login;
    const bool hasLogin = KnownProxyLogin(login);
    m_request->SetOption(INTERNET_OPTION_PROXY_USERNAME, login.user.data(),
                         static_cast<DWORD>((login.user.size() + 1) * sizeof(wchar_t)));
    m_request->SetOption(INTERNET_OPTION_PROXY_PASSWORD, login.password.data(),
                         static_cast<DWORD>((login.password.size() + 1) * sizeof(wchar_t)));
    if (hasLogin && login.basic && !m_proxy.empty()) {
        std::wstring header = L"Proxy-Authorization: " + BasicProxyAuthorization(login) + L"\r\n";
        const BOOL added = m_request->AddRequestHeaders(header.c_str(), HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
        ::SecureZeroMemory(header.data(), header.size() * sizeof(wchar_t));
        if (!added) {
            m_log.error = ::GetLastError();
            return false;
        }
    }
    if (!login.password.empty())
        ::SecureZeroMemory(login.password.data(), login.password.size() * sizeof(wchar_t));
    // A server that accepts and then says nothing fails the attempt instead
    // of holding the run. Set on the request: Wine's requests do not take the
    // session's timeouts.
    DWORD connectTimeout = m_what.timings.connectTimeoutMs;
    DWORD receiveTimeout = m_what.timings.receiveTimeoutMs;
    m_request->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
    m_request->SetOption(INTERNET_OPTION_SEND_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    m_request->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    if (!m_request->AddRequestHeaders(kRequestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                                      static_cast<DWORD>(std::size(kRequestHeaders) - 1))) {
        m_log.error = ::GetLastError();
        return false;
    }
    if (m_what.held != 0) {
        wchar_t range[64] = {};
        FormatText(range, 64, L"Range: bytes=%I64u-\r\n", m_what.held);
        if (!m_request->AddRequestHeaders(range, HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
            m_log.error = ::GetLastError();
            return false;
        }
        m_log.rangeFrom = m_what.held;
    }
    return true;
}

Attempt Request::Receive()
{
    const ULONGLONG held = m_what.held;
    const Attempt outcome = [&] {
        if (!m_request->SendRequest())
            return NetworkError();
        DWORD status = 0;
        if (!m_request->QueryInfoStatusCode(status))
            return NetworkError();
        m_log.status = status;
        m_result.status = status;
        if (Cancelled())
            return Attempt::Cancelled;
        // The download server never asks for a login: through a proxy, a
        // 401 is the proxy's as much as a 407.
        if (status == kProxyAuthenticationRequired || (status == kUnauthorized && !m_proxy.empty())) {
            ReadChallenge(*m_request,
                          status == kProxyAuthenticationRequired ? HTTP_QUERY_PROXY_AUTHENTICATE
                                                                 : HTTP_QUERY_WWW_AUTHENTICATE,
                          m_result.proxyBasic, m_result.proxyRealm);
            m_result.proxy = m_proxy;
            return Attempt::ProxyLoginRequired;
        }
        if (AsksToComeBackLater(status)) {
            ULONGLONG seconds = 0;
            if (QueryServerPause(*m_request, seconds)) {
                m_log.hasServerPause = true;
                m_log.serverPauseSeconds = seconds;
                // Longer than anyone watches a still bar: the download
                // fails now and the user can start again later.
                if (seconds > DownloadTimings::kLongestServerPauseMs / 1000)
                    return Attempt::Refused;
                m_result.serverPause = true;
                m_result.pauseMs = static_cast<DWORD>(seconds * 1000);
            }
            return Attempt::NetworkFailure;
        }
        if (held != 0 && status == kRangeNotSatisfiable)
            return Attempt::RangeRefused;
        if (status / 100 != 2)
            return Attempt::Refused;

        // Without a declared length a complete body cannot be told from one
        // cut short, so such an answer is not stored.
        ULONGLONG declared = 0;
        if (!QueryDeclaredLength(*m_request, declared))
            return held != 0 && status == kPartialContent ? Attempt::RangeRefused : Attempt::Refused;
        m_log.SetDeclared(declared);

        // The rest of the file, when the server sends just that; a server
        // without ranges answers 200 with the whole file, which starts over.
        m_result.total = declared;
        const bool resume = held != 0 && status == kPartialContent;
        if (resume) {
            ContentRange range;
            if (!QueryContentRange(*m_request, range) || range.first != held || range.last + 1 != range.total ||
                range.total - held != declared)
                return Attempt::RangeRefused;
            m_result.total = range.total;
        }
        // The listed size decides before a byte is written: an answer of
        // another length is not the listed file, and one past the cap is
        // never read.
        if (m_what.hasListedSize && m_result.total != m_what.listedSize)
            return SizeMismatch(m_what.listedSize, m_result.total, L"bytes listed", L"bytes declared by the server");
        if (m_what.maxLength != 0 && m_result.total > m_what.maxLength)
            return SizeMismatch(m_what.maxLength, m_result.total, L"bytes at most", L"bytes declared by the server");
        if (const Attempt opened = OpenTemporary(resume); opened != Attempt::Stored)
            return opened;

        BYTE buffer[kChunkSize];
        if (resume) {
            if (const Attempt digested = DigestHeldPart(buffer); digested != Attempt::Stored)
                return digested;
        }
        {
            SrwGuard guard(m_shared.lock);
            if (m_shared.left)
                return Attempt::Cancelled;
            m_progress = m_what.progress ? m_what.progress : &m_fileProgress;
            m_progress->Begin(m_position, m_result.total);
            m_shared.receiving = true;
            m_shared.receivingSince = ::GetTickCount64();
        }

        for (;;) {
            UINT read = 0;
            if (!m_request->Read(buffer, kChunkSize, read))
                return NetworkError();
            if (read == 0)
                break;
            // Never more than the declared (and so the listed) length: a
            // server that goes on sending is cut off.
            if (read > m_result.total - m_position)
                return SizeMismatch(m_result.total, m_position + read, L"bytes declared", L"bytes or more sent");
            {
                // Nothing is written once the user cancelled or the waiting
                // side has left: the chunk just read is dropped.
                SrwGuard guard(m_shared.lock);
                if (StopRequestedLocked())
                    return Attempt::Cancelled;
                // A write error, a full disk among them.
                if (!m_shared.file.Write(buffer, read))
                    return LocalError();
                m_log.received += read;
                m_position += read;
                m_progress->Advance(m_position);
            }
            if (!m_what.expectedDigest.empty())
                m_digest.Update(buffer, read);
            if (m_what.hasSha256)
                m_sha256.Update(buffer, read);
        }

        // A server that closes before the declared length has sent a cut body.
        if (m_position != m_result.total)
            return Attempt::NetworkFailure;
        // A body that is not the listed file (a stale mirror, an error page
        // served as 200, pieces of two versions) never takes the
        // destination's place.
        if (!m_what.expectedDigest.empty() &&
            ::CompareStringOrdinal(m_digest.Final().c_str(), -1, m_what.expectedDigest.c_str(), -1, TRUE) !=
                CSTR_EQUAL) {
            m_log.digestMismatch = true;
            return Attempt::DigestMismatch;
        }
        if (m_what.hasSha256) {
            Sha256Digest digest{};
            if (!m_sha256.Finish(digest)) {
                m_log.error = ERROR_INVALID_FUNCTION;
                return Attempt::LocalFailure;
            }
            if (digest != m_what.expectedSha256) {
                m_result.expected = L"SHA-256 " + HexText(m_what.expectedSha256);
                m_result.received = L"SHA-256 " + HexText(digest);
                m_log.digestMismatch = true;
                m_log.mismatch = L"the body's SHA-256 " + HexText(digest) + L" is not the listed " +
                                 HexText(m_what.expectedSha256);
                return Attempt::DigestMismatch;
            }
        }
        return PutInPlaceUnlessLeft();
    }();
    // The dialog's bar shows what was written, however the transfer ended,
    // unless the waiting side has left.
    SrwGuard guard(m_shared.lock);
    if (m_progress && !m_shared.left)
        m_progress->End();
    return outcome;
}

// Opens the temporary file: for the rest of the file, the part held so far
// with the rest to be appended; otherwise empty. Stored stands for "opened".
Attempt Request::OpenTemporary(bool resume)
{
    SrwGuard guard(m_shared.lock);
    if (m_shared.left)
        return Attempt::Cancelled;
    m_result.wrote = true;
    // Read as well: the digest of a held part is taken through this handle.
    const UINT mode = CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyNone | CFile::typeBinary;
    if (!m_shared.file.Open(m_what.temporary.c_str(), resume ? mode | CFile::modeNoTruncate : mode))
        return LocalError();
    if (!resume)
        return Attempt::Stored;
    ULONGLONG end = 0;
    if (!m_shared.file.Seek(0, CFile::end, &end))
        return LocalError();
    if (end != m_what.held)
        return Attempt::RangeRefused;
    m_position = end;
    m_result.resumed = true;
    m_log.appended = true;
    return Attempt::Stored;
}

// Reads the held part once, through the open handle, into the digest; the
// file position ends where the rest is appended. Stored stands for "done".
Attempt Request::DigestHeldPart(BYTE* buffer)
{
    if (!Digesting())
        return Attempt::Stored;
    ULONGLONG done = 0;
    while (done < m_position) {
        // A chunk at a time, so that a cancel does not wait for a large part.
        SrwGuard guard(m_shared.lock);
        if (StopRequestedLocked())
            return Attempt::Cancelled;
        if (done == 0 && !m_shared.file.Seek(0, CFile::begin))
            return LocalError();
        UINT got = 0;
        const UINT wanted = static_cast<UINT>(m_position - done < kChunkSize ? m_position - done : kChunkSize);
        if (!m_shared.file.Read(buffer, wanted, got))
            return LocalError();
        if (got == 0)
            return Attempt::RangeRefused;  // shorter than it was a moment ago
        if (!m_what.expectedDigest.empty())
            m_digest.Update(buffer, got);
        if (m_what.hasSha256)
            m_sha256.Update(buffer, got);
        done += got;
    }
    return Attempt::Stored;
}

// The whole body with the right digest: on the disk first, then in the
// destination's place in one step.
Attempt Request::PutInPlaceUnlessLeft()
{
    SrwGuard guard(m_shared.lock);
    if (m_shared.left)
        return Attempt::Cancelled;
    // A power loss after the move must not find the file empty or zero-filled.
    if (!m_shared.file.Flush())
        return LocalError();
    m_shared.file.Close();
    if (!PutInPlace(m_what.temporary.c_str(), m_what.destination.c_str()))
        return LocalError();
    return Attempt::Stored;
}


// Returns without the request, which ends by itself; from here on it writes
// nothing and holds no file. What it wrote stays for the next attempt.
AttemptResult LeaveBehind(SharedAttempt& shared, Attempt outcome)
{
    shared.left = true;
    shared.file.Close();
    AttemptResult left;
    left.outcome = outcome;
    left.wrote = true;
    return left;
}

DWORD WINAPI RequestThread(void* parameter)
{
    const SharedReference shared(static_cast<SharedAttempt*>(parameter));
    Request(*shared).Run();
    return 0;
}

}  // namespace

AttemptResult RunAttempt(const AttemptRequest& request, const volatile LONG* cancel)
{
    const SharedReference shared(new SharedAttempt(request, cancel));
    SharedAttempt* reference = shared.AddReference();
    // With several transfers at once the default reservation adds up.
    qxt::UniqueKernelHandle thread(::CreateThread(nullptr, kRequestStackBytes, RequestThread, reference,
                                                  STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        // Without a thread of its own the request runs here.
        ::InterlockedDecrement(&reference->references);
        Request(*shared).Run();
        return shared->result;
    }
    SlowTransferWatch watch(request.timings.slowWindowMs, request.timings.slowestBytesPerSecond);
    for (;;) {
        if (::WaitForSingleObject(thread.Get(), kPollMs) == WAIT_OBJECT_0)
            break;
        if (CancelRequested(cancel) || CancelRequested(request.stop)) {
            // The request sees the cancel between chunks; one blocked on a
            // silent server is left behind.
            if (::WaitForSingleObject(thread.Get(), kCancelGraceMs) == WAIT_OBJECT_0)
                break;
            SrwGuard guard(shared->lock);
            shared->log.Discard();
            LogLine(L"GET %ls: cancelled while the server sent nothing; the request ends by itself",
                    EscapeLogText(request.url).c_str());
            return LeaveBehind(*shared, Attempt::Cancelled);
        }
        // A read waits for a whole chunk, which a trickle fills only after
        // a long time: the request is left behind and the retry goes on
        // from what it wrote.
        SrwGuard guard(shared->lock);
        if (!shared->receiving || !watch.TooSlow(shared->receivingSince, ::GetTickCount64(), shared->log.received))
            continue;
        shared->log.tooSlow = true;
        shared->log.slowestRate = request.timings.slowestBytesPerSecond;
        shared->log.slowWindowMs = request.timings.slowWindowMs;
        shared->log.Write();
        AttemptResult left = LeaveBehind(*shared, Attempt::NetworkFailure);
        left.logLine = shared->log.Line();
        return left;
    }
    SrwGuard guard(shared->lock);
    return shared->result;
}
