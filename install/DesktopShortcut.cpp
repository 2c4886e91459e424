// The client's shortcut on the all-users desktop.
#include "install/FinishActions.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"
#include "framework/ShellDelete.h"

BOOL CreateDesktopShortcut(const InstallInfo& info)
{
    const std::wstring client = InstallFilePath(info, kClientExe);
    // The working folder is the install folder exactly as recorded.
    CreateShortcut(client.c_str(), info.InstallLocation, GetDesktopShortcutPath().c_str(), client.c_str(),
                   kDisplayName);
    return TRUE;
}

BOOL RemoveDesktopShortcut()
{
    const std::wstring shortcut = GetDesktopShortcutPath();
    if (!FileExists(shortcut.c_str()))
        return TRUE;
    return ShellDelete(shortcut) == 0 ? TRUE : FALSE;
}
