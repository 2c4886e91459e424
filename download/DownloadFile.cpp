#include "download/DownloadFile.h"

#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/DownloadLog.h"
#include "download/MD5Checksum.h"
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

enum class Outcome { Stored, Failed, Cancelled };

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

// WM_DOWNLOAD_PROGRESS to the dialog, sent across threads. One message per
// chunk costs as much as the transfer itself, so a position goes out only
// when the bar's whole percent changes or 50 ms have passed since the last
// one; the first position and the last one always go out.
class ProgressReporter {
public:
    static constexpr DWORD kIntervalMs = 50;

    ProgressReporter(HWND window, ULONGLONG upper) noexcept : m_window(window), m_upper(upper) {}

    void Start() { Send(0); }
    void Advance(ULONGLONG position)
    {
        m_pending = position;
        if (Percent(position) != Percent(m_sent) || ::GetTickCount() - m_sentAt >= kIntervalMs)
            Send(position);
    }
    // The position reached, if it has not gone out yet.
    void Finish()
    {
        if (m_started && m_pending != m_sent)
            Send(m_pending);
    }

private:
    ULONGLONG Percent(ULONGLONG position) const { return m_upper == 0 ? 0 : position * 100 / m_upper; }

    // The message carries 32-bit numbers and the bar takes a signed range, so
    // a file past 2 GiB reports both numbers scaled alike.
    void Send(ULONGLONG position)
    {
        ULONGLONG upper = m_upper;
        ULONGLONG shown = position;
        while (upper > 0x7FFFFFFF) {
            upper >>= 1;
            shown >>= 1;
        }
        ::SendMessageW(m_window, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(shown), static_cast<LPARAM>(upper));
        m_started = true;
        m_sent = m_pending = position;
        m_sentAt = ::GetTickCount();
    }

    HWND m_window;
    ULONGLONG m_upper;
    ULONGLONG m_sent = 0;
    ULONGLONG m_pending = 0;
    DWORD m_sentAt = 0;
    bool m_started = false;
};

}  // namespace

ULONGLONG DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                       const volatile LONG* cancel, const wchar_t* expectedDigest)
{
    RequestLog requestLog(url);
    // A session that cannot be opened is a failed download like any other.
    CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG);
    if (!session)
        return 0;
    const std::wstring temporary = std::wstring(destination) + L".tmp";

    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;
    CFile file;
    bool fileCreated = false;
    ULONGLONG declared = 0;
    ProgressReporter progress(window, 0);

    // Every step that can fail returns its outcome here; the one way out
    // below releases what the steps opened.
    // A failed system call: its error goes to the log.
    auto failed = [&] {
        requestLog.error = ::GetLastError();
        return Outcome::Failed;
    };
    const Outcome outcome = [&] {
        DWORD serviceType = 0;
        std::wstring server;
        std::wstring object;
        INTERNET_PORT port = 0;
        if (!AfxParseURL(url, serviceType, server, object, port) ||
            (serviceType != AFX_INET_SERVICE_HTTP && serviceType != AFX_INET_SERVICE_HTTPS))
            return Outcome::Failed;

        INTERNET_PROXY_INFO proxy{};
        proxy.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
        session.SetOption(INTERNET_OPTION_PROXY, &proxy, sizeof proxy);

        connection = session.GetHttpConnection(server.c_str(), port, nullptr, nullptr);
        if (!connection)
            return failed();
        request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object.c_str(), nullptr, 1,
                                          nullptr, nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE);
        if (!request)
            return failed();

        // The wide option calls read a wide string: an empty one, terminator included.
        wchar_t empty[1] = {L'\0'};
        request->SetOption(INTERNET_OPTION_PROXY_USERNAME, empty, sizeof empty);
        request->SetOption(INTERNET_OPTION_PROXY_PASSWORD, empty, sizeof empty);
        if (!request->AddRequestHeaders(kRequestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                                        static_cast<DWORD>(std::size(kRequestHeaders) - 1)))
            return failed();
        if (!request->SendRequest())
            return failed();
        DWORD status = 0;
        const bool answered = request->QueryInfoStatusCode(status);
        requestLog.status = status;
        if (!answered || status / 100 != 2)
            return Outcome::Failed;

        if (!file.Open(temporary.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
            return failed();
        fileCreated = true;

        // Without a declared length a complete body cannot be told from one
        // cut short, so such an answer is not stored.
        if (!QueryDeclaredLength(*request, declared))
            return Outcome::Failed;
        requestLog.SetDeclared(declared);
        progress = ProgressReporter(window, declared);
        progress.Start();

        BYTE buffer[kChunkSize];
        ULONGLONG received = 0;
        for (;;) {
            UINT read = 0;
            if (!request->Read(buffer, kChunkSize, read))
                return failed();
            if (read == 0)
                break;
            if (CancelRequested(cancel))
                return Outcome::Cancelled;
            // A write error, a full disk among them.
            if (!file.Write(buffer, read))
                return failed();
            received += read;
            requestLog.received = received;
            progress.Advance(received);
        }
        file.Close();
        progress.Finish();

        // A server that closes before the declared length has sent a cut body.
        if (received != declared)
            return Outcome::Failed;
        // A body that is not the listed file (a stale mirror, an error page
        // served as 200) never takes the destination's place.
        if (expectedDigest && !CMD5Checksum::FileHasDigest(temporary.c_str(), expectedDigest)) {
            requestLog.digestMismatch = true;
            return Outcome::Failed;
        }
        if (!PutInPlace(temporary.c_str(), destination))
            return failed();
        return Outcome::Stored;
    }();

    // The incomplete temporary file of a cancel stays (the next attempt
    // truncates it); any other failure takes it away, and the destination is
    // left as it was. The dialog's bar shows what was written either way.
    progress.Finish();
    if (outcome == Outcome::Cancelled)
        ::Sleep(kCancelPauseMs);
    request.reset();
    connection.reset();
    session.Close();
    file.Close();
    if (outcome == Outcome::Failed && fileCreated)
        ::DeleteFileW(temporary.c_str());
    requestLog.stored = outcome == Outcome::Stored;
    return outcome == Outcome::Stored ? declared : 0;
}
