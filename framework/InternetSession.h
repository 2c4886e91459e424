// CInternetSession: one WinInet session (InternetOpenW).
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

class CHttpConnection;

class CInternetSession {
public:
    // Without an agent the session is named after the running executable
    // (its file name without the extension). A session that cannot be opened
    // leaves the object empty (operator bool false).
    explicit CInternetSession(const wchar_t* agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                              const wchar_t* proxyName = nullptr, const wchar_t* proxyBypass = nullptr,
                              DWORD flags = 0);
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;
    virtual ~CInternetSession() = default;

    explicit operator bool() const noexcept { return static_cast<bool>(m_session); }
    HINTERNET Handle() const noexcept { return m_session.Get(); }

    BOOL SetOption(DWORD option, void* buffer, DWORD length);

    // InternetConnectW for HTTP; null when it fails (GetLastError() tells why).
    std::unique_ptr<CHttpConnection> GetHttpConnection(const wchar_t* server, INTERNET_PORT port,
                                                       const wchar_t* userName = nullptr,
                                                       const wchar_t* password = nullptr);
    void Close();

private:
    qxt::UniqueHinternet m_session;
    DWORD_PTR m_dwContext;
};

// Lets this process keep up to count connections open to one server at once
// (HTTP/1.1 and 1.0 alike), for that many transfers in parallel; WinInet's
// default is a handful.
void AllowConnectionsPerServer(DWORD count);
