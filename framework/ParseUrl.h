// AfxParseURL: splits an internet address into service, server, object and port.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

enum : DWORD {
    AFX_INET_SERVICE_UNK = 0x1000,
    AFX_INET_SERVICE_FTP = INTERNET_SERVICE_FTP,
    AFX_INET_SERVICE_GOPHER = INTERNET_SERVICE_GOPHER,
    AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP,
    AFX_INET_SERVICE_HTTPS = 0x1001,
    AFX_INET_SERVICE_FILE = 0x1002,
};

// The object is the path followed by the query, both as written in the
// address (nothing is decoded). The port is the scheme's default when the
// address names none. FALSE when the address cannot be parsed.
BOOL AfxParseURL(const wchar_t* url, DWORD& serviceType, std::wstring& server, std::wstring& object,
                 INTERNET_PORT& port);
