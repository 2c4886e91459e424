#include "transfer/ProxyLogin.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace {

// Written by the worker (a login typed in) and read by the request threads.
SRWLOCK g_lock = SRWLOCK_INIT;
std::wstring g_proxy;
ProxyLogin g_login;
bool g_hasLogin = false;
unsigned g_generation = 0;
bool g_declined = false;

class Exclusive {
public:
    Exclusive() noexcept { ::AcquireSRWLockExclusive(&g_lock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
    ~Exclusive() { ::ReleaseSRWLockExclusive(&g_lock); }
};

void Wipe(std::wstring& text)
{
    if (!text.empty())
        ::SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                              nullptr);
    return bytes;
}

}  // namespace

void UseProxy(const std::wstring& proxy)
{
    Exclusive guard;
    g_proxy = proxy;
}

std::wstring ChosenProxy()
{
    Exclusive guard;
    return g_proxy;
}

void RememberProxyLogin(const ProxyLogin& login)
{
    Exclusive guard;
    Wipe(g_login.password);
    g_login = login;
    g_hasLogin = true;
    ++g_generation;
}

bool KnownProxyLogin(ProxyLogin& login)
{
    Exclusive guard;
    if (!g_hasLogin)
        return false;
    login = g_login;
    return true;
}

void ForgetProxyLogin()
{
    Exclusive guard;
    Wipe(g_login.user);
    Wipe(g_login.password);
    g_login.basic = false;
    g_hasLogin = false;
    ++g_generation;
}

unsigned ProxyLoginGeneration()
{
    Exclusive guard;
    return g_generation;
}

void DeclineProxyLogin()
{
    Exclusive guard;
    g_declined = true;
}

bool ProxyLoginDeclined()
{
    Exclusive guard;
    return g_declined;
}

void ForgetProxyLoginDecline()
{
    Exclusive guard;
    g_declined = false;
}

std::wstring BasicProxyAuthorization(const ProxyLogin& login)
{
    std::string pair = Utf8(login.user + L":" + login.password);
    DWORD length = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    std::wstring value;
    if (::CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()), flags,
                               nullptr, &length) &&
        length > 0) {
        std::wstring encoded(length, L'\0');
        if (::CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()),
                                   flags, encoded.data(), &length)) {
            encoded.resize(length);
            value = L"Basic " + encoded;
            Wipe(encoded);
        }
    }
    ::SecureZeroMemory(pair.data(), pair.size());
    return value;
}
