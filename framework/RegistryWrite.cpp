#include "framework/RegistryWrite.h"

#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"

namespace {

bool Logged(const RegistryKey& key, const wchar_t* name, const std::wstring& shown, LONG result)
{
    if (result == ERROR_SUCCESS) {
        LogLine(L"Registry write %ls\\%ls: %ls = %ls", RegistryRootName(key.Root()), key.Path(), name, shown.c_str());
        return true;
    }
    LogError(L"Registry write %ls\\%ls: %ls = %ls: failed: %ls", RegistryRootName(key.Root()), key.Path(), name,
             shown.c_str(), SystemErrorText(static_cast<DWORD>(result)).c_str());
    return false;
}

}  // namespace

const wchar_t* RegistryRootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKLM";
    if (root == HKEY_CURRENT_USER)
        return L"HKCU";
    if (root == HKEY_CLASSES_ROOT)
        return L"HKCR";
    if (root == HKEY_USERS)
        return L"HKU";
    return L"(key)";
}

bool WriteRegistryString(const RegistryKey& key, const wchar_t* name, const std::wstring& text)
{
    const LONG result = ::RegSetValueExW(key.Key(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return Logged(key, name, text, result);
}

bool WriteRegistryDword(const RegistryKey& key, const wchar_t* name, DWORD value)
{
    const LONG result =
        ::RegSetValueExW(key.Key(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    // FormatText, not std::to_wstring: that one brings mingw's own printf.
    wchar_t shown[11];
    FormatText(shown, sizeof shown / sizeof shown[0], L"%lu", value);
    return Logged(key, name, shown, result);
}
