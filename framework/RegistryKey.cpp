#include "framework/RegistryKey.h"

#include <cwchar>

namespace {

// The path is kept in a fixed field; a longer sub-key is refused rather than cut.
bool FitsPath(const wchar_t* subKey)
{
    return std::wcslen(subKey) < MAX_PATH;
}

}  // namespace

bool RegistryKey::Open(HKEY root, const wchar_t* subKey)
{
    Close();
    m_root = root;
    if (subKey == nullptr || !FitsPath(subKey)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    std::wcscpy(m_path, subKey);
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExW(root, subKey, 0, KEY_ALL_ACCESS, &opened);
    if (result != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(result));
        return false;
    }
    m_key.Reset(opened);
    return true;
}

bool RegistryKey::Create(HKEY root, const wchar_t* subKey)
{
    Close();
    m_root = root;
    if (subKey == nullptr || !FitsPath(subKey)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    std::wcscpy(m_path, subKey);
    wchar_t noClass[] = L"";
    HKEY created = nullptr;
    const LONG result = ::RegCreateKeyExW(root, subKey, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                          &created, nullptr);
    if (result != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(result));
        return false;
    }
    m_key.Reset(created);
    return true;
}

void RegistryKey::Close()
{
    m_key.Reset();
    m_path[0] = L'\0';
    m_root = nullptr;
}

bool ReadRegistryInstallValue(const wchar_t* subKey, DWORD* value)
{
    qxt::UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return false;
    // The value's type is not examined: any value of four bytes is taken.
    DWORD size = sizeof(DWORD);
    return ::RegQueryValueExW(key.Get(), L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                              &size) == ERROR_SUCCESS;
}
