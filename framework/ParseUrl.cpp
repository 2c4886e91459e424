#include "framework/ParseUrl.h"

BOOL AfxParseURL(const wchar_t* url, DWORD& serviceType, std::wstring& server, std::wstring& object,
                 INTERNET_PORT& port)
{
    serviceType = AFX_INET_SERVICE_UNK;
    if (url == nullptr || *url == L'\0')
        return FALSE;

    // Null pointers with non-zero lengths ask InternetCrackUrlW to point into
    // the address itself instead of copying into buffers of a fixed size.
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url, 0, 0, &parts))
        return FALSE;

    switch (parts.nScheme) {
    case INTERNET_SCHEME_HTTP: serviceType = AFX_INET_SERVICE_HTTP; break;
    case INTERNET_SCHEME_HTTPS: serviceType = AFX_INET_SERVICE_HTTPS; break;
    case INTERNET_SCHEME_FTP: serviceType = AFX_INET_SERVICE_FTP; break;
    case INTERNET_SCHEME_GOPHER: serviceType = AFX_INET_SERVICE_GOPHER; break;
    case INTERNET_SCHEME_FILE: serviceType = AFX_INET_SERVICE_FILE; break;
    default: serviceType = AFX_INET_SERVICE_UNK; break;
    }
    server.assign(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
    object.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty())
        object = L"/";
    port = parts.nPort;
    return TRUE;
}
