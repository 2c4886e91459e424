// CHttpFile: one HTTP request and its response body (a WinInet request handle).
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

class CHttpFile {
public:
    explicit CHttpFile(qxt::UniqueHinternet request) noexcept : m_request(std::move(request)) {}
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;
    virtual ~CHttpFile() = default;

    HINTERNET Handle() const noexcept { return m_request.Get(); }

    BOOL SetOption(DWORD option, void* buffer, DWORD length);
    // A length of (DWORD)-1 lets WinInet measure the NUL-terminated text.
    BOOL AddRequestHeaders(const wchar_t* headers, DWORD modifiers = HTTP_ADDREQ_FLAG_ADD,
                           DWORD length = static_cast<DWORD>(-1));
    // FALSE when the request cannot be sent (GetLastError() tells why).
    BOOL SendRequest(const wchar_t* headers = nullptr, DWORD headersLength = 0,
                     void* optional = nullptr, DWORD optionalLength = 0);
    BOOL QueryInfoStatusCode(DWORD& statusCode) const;
    BOOL QueryInfo(DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index = nullptr) const;
    // Up to count bytes of the body into read, which is 0 at its end. FALSE
    // when the read fails (GetLastError() tells why).
    BOOL Read(void* buffer, UINT count, UINT& read);
    void Close();

private:
    qxt::UniqueHinternet m_request;
};
