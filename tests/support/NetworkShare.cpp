#include "tests/support/NetworkShare.h"

#include "tests/support/TestPaths.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace qxt::test {

namespace {

// The prefix as a path of drive Z:, Wine's drive for the whole Unix tree.
std::wstring PrefixFolder()
{
    wchar_t unixPath[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"WINEPREFIX", unixPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || unixPath[0] != L'/')
        return L"";
    std::wstring path = L"Z:";
    for (const wchar_t* c = unixPath; *c != L'\0'; ++c)
        path.push_back(*c == L'/' ? L'\\' : *c);
    while (path.back() == L'\\')
        path.pop_back();
    return path;
}

}  // namespace

NetworkShare::NetworkShare()
{
    static std::atomic<unsigned> counter{0};
    const std::wstring prefix = PrefixFolder();
    if (prefix.empty())
        return;
    const std::wstring server = prefix + L"\\dosdevices\\unc\\localhost";
    ::CreateDirectoryW((prefix + L"\\dosdevices\\unc").c_str(), nullptr);
    ::CreateDirectoryW(server.c_str(), nullptr);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[64] = {};
        std::swprintf(name, 64, L"qxt-share-%lu-%u", ::GetCurrentProcessId(), counter.fetch_add(1));
        const std::wstring backing = server + L"\\" + name;
        if (::CreateDirectoryW(backing.c_str(), nullptr)) {
            m_backing = backing;
            m_path = std::wstring(L"\\\\localhost\\") + name;
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
}

NetworkShare::~NetworkShare()
{
    if (!m_backing.empty())
        DeleteTree(m_backing);
}

}  // namespace qxt::test
