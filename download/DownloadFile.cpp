#include "download/DownloadFile.h"

#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/DownloadLog.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/HttpConnection.h"
#include "framework/HttpFile.h"
#include "framework/InternetException.h"
#include "framework/InternetSession.h"
#include "framework/ParseUrl.h"

#include <memory>
#include <string>

namespace {

// Sent with every request exactly like this: the server may match on it.
constexpr wchar_t kRequestHeaders[] = L"Accept: */*\r\nUser-Agent:QXTSetup\r\n";
constexpr UINT kChunkSize = 32768;

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

}  // namespace

DWORD DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                   const volatile LONG* cancel)
{
    RequestLog requestLog(url);
    // A session that cannot be opened is a failed download like any other.
    CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG);
    if (!session)
        return 0;
    const std::wstring temporary = std::wstring(destination) + L".tmp";

    DWORD serviceType = 0;
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(url, serviceType, server, object, port) ||
        (serviceType != AFX_INET_SERVICE_HTTP && serviceType != AFX_INET_SERVICE_HTTPS))
        return 0;

    INTERNET_PROXY_INFO proxy{};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
    session.SetOption(INTERNET_OPTION_PROXY, &proxy, sizeof proxy);

    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;
    CFile file;
    bool fileOpen = false;
    bool fileCreated = false;
    auto closeInternet = [&] {
        if (request)
            request->Close();
        if (connection)
            connection->Close();
        session.Close();
    };
    // Whatever stops a transfer half-way leaves the destination as it was and
    // takes away the temporary file this call made.
    auto abandon = [&] {
        closeInternet();
        if (fileOpen) {
            file.Close();
            fileOpen = false;
        }
        if (fileCreated)
            ::DeleteFileW(temporary.c_str());
        return DWORD{0};
    };

    try {
        connection = session.GetHttpConnection(server.c_str(), port, nullptr, nullptr);
        if (!connection) {
            session.Close();
            return 0;
        }
        request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object.c_str(), nullptr, 1,
                                          nullptr, nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE);
        if (!request) {
            closeInternet();
            return 0;
        }

        char empty[1] = {0};
        request->SetOption(INTERNET_OPTION_PROXY_USERNAME, empty, sizeof empty);
        request->SetOption(INTERNET_OPTION_PROXY_PASSWORD, empty, sizeof empty);
        if (!request->AddRequestHeaders(kRequestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                                        static_cast<DWORD>(std::size(kRequestHeaders) - 1))) {
            closeInternet();
            return 0;
        }
        request->SendRequest();
        DWORD status = 0;
        const bool answered = request->QueryInfoStatusCode(status);
        requestLog.status = status;
        if (!answered || status / 100 != 2) {
            closeInternet();
            return 0;
        }

        if (!file.Open(temporary.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) {
            closeInternet();
            return 0;
        }
        fileOpen = true;
        fileCreated = true;

        // Without a declared length a complete body cannot be told from one
        // cut short, so such an answer is not stored.
        DWORD declared = 0;
        DWORD lengthSize = sizeof declared;
        if (!request->QueryInfo(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &declared, &lengthSize))
            return abandon();
        requestLog.SetDeclared(declared);
        ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, 0, declared);

        BYTE buffer[kChunkSize];
        DWORD received = 0;
        for (;;) {
            const UINT read = request->Read(buffer, kChunkSize);
            if (read == 0)
                break;
            if (CancelRequested(cancel)) {
                // The incomplete temporary file stays; the next attempt truncates it.
                ::Sleep(kCancelPauseMs);
                closeInternet();
                file.Close();
                return 0;
            }
            file.Write(buffer, read);
            received += read;
            requestLog.received = received;
            ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, received, declared);
        }
        file.Close();
        fileOpen = false;

        // A server that closes before the declared length has sent a cut body.
        if (received != declared)
            return abandon();

        if (FileExists(destination)) {
            const DWORD before = SetReadOnly(destination, false);
            if (!::DeleteFileW(destination)) {
                // In use: the old file stays in place with the attributes it had.
                if (before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_READONLY))
                    SetReadOnly(destination, true);
                return abandon();
            }
        }
        if (!::MoveFileW(temporary.c_str(), destination))
            return abandon();
        SetReadOnly(destination, true);

        closeInternet();
        requestLog.stored = true;
        return declared;
    } catch (const CInternetException& e) {
        requestLog.error = e.m_dwError;
        return abandon();
    } catch (const CFileException& e) {
        requestLog.error = static_cast<DWORD>(e.m_lOsError);
        // A write error on the temporary file, a full disk among them.
        return abandon();
    }
}
