#include "install/FlashPlugin.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"
#include "framework/Process.h"
#include "framework/RegistryKey.h"

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kFlashInstaller[] = L"fp_pl_pfs_installer19.exe";

// The plug-in's file as its registration names it; empty when the value is
// missing, too long or not a string.
std::wstring RegisteredPluginPath()
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kFlashPluginKey))
        return {};
    wchar_t path[MAX_PATH + 1] = {};  // one more than read, so the text always ends
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    const LONG read = ::RegQueryValueExW(key.Key(), L"Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    key.Close();
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return {};
    // The value normally ends with its NUL; one stored without it (or empty,
    // zero bytes) must neither lose its last character nor reach before the buffer.
    return std::wstring(path, ::wcsnlen(path, size / sizeof(wchar_t)));
}

}  // namespace

bool IsFlashPluginInstalled()
{
    const std::wstring path = RegisteredPluginPath();
    return !path.empty() && FileExists(path.c_str());
}

BOOL InstallFlashPlugin(InstallInfo& info)
{
    if (IsFlashPluginInstalled())
        return TRUE;

    const std::wstring installer = InstallFilePath(info, kFlashInstaller);
    // The installer cannot replace a plug-in that a browser or the client has loaded.
    KillFirstProcessByName(L"plugin-container.exe");
    KillFirstProcessByName(L"firefox.exe");
    KillFirstProcessByName(kClientExe);
    return RunAndWait(installer.c_str(), L"/install /iv 8", false, true) == 0 ? TRUE : FALSE;
}
