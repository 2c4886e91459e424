#include "transfer/ServerAddress.h"

#include <windows.h>

namespace {

constexpr wchar_t kRequestPath[] = L"/Custom/DownloadClient?filename=";

// Whether text starts with prefix, ASCII letters in any case.
bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const int length = lstrlenW(prefix);
    return text.size() >= static_cast<size_t>(length) &&
           ::CompareStringOrdinal(text.c_str(), length, prefix, length, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool ParseServerAddress(const std::wstring& text, ServerAddress& address)
{
    ServerAddress parsed;
    std::wstring rest = text;
    if (StartsWithNoCase(rest, L"https://")) {
        parsed.secure = true;
        rest.erase(0, 8);
    } else if (StartsWithNoCase(rest, L"http://")) {
        rest.erase(0, 7);
    }
    if (!rest.empty() && rest.back() == L'/')
        rest.pop_back();
    // Whatever is left is the host and port alone: a path, a query, a user
    // or another scheme ("ftp://...") would make every request something else.
    if (rest.empty() || rest.front() == L':' || rest.find_first_of(L"/?#@\\ ") != std::wstring::npos)
        return false;
    parsed.host = rest;
    address = parsed;
    return true;
}

std::wstring ServerHostName(const std::wstring& text)
{
    ServerAddress address;
    return ParseServerAddress(text, address) ? address.host : text;
}

std::wstring DownloadRequestBase(const ServerAddress& address)
{
    return (address.secure ? L"https://" : L"http://") + address.host + kRequestPath;
}
