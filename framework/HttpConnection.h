// CHttpConnection: a WinInet connection handle to one HTTP server.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

class CHttpFile;

class CHttpConnection {
public:
    enum Verb { HTTP_VERB_POST = 0, HTTP_VERB_GET = 1 };

    CHttpConnection(qxt::UniqueHinternet connection, DWORD_PTR context) noexcept
        : m_connection(std::move(connection)), m_dwContext(context) {}
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;
    virtual ~CHttpConnection() = default;

    HINTERNET Handle() const noexcept { return m_connection.Get(); }

    // HttpOpenRequestW; null when it fails (GetLastError() tells why). A
    // null version asks for the default HTTP version.
    std::unique_ptr<CHttpFile> OpenRequest(Verb verb, const wchar_t* objectName,
                                           const wchar_t* referrer = nullptr, DWORD_PTR context = 1,
                                           const wchar_t** acceptTypes = nullptr,
                                           const wchar_t* version = nullptr, DWORD flags = 0);
    void Close();

private:
    qxt::UniqueHinternet m_connection;
    DWORD_PTR m_dwContext;
};
