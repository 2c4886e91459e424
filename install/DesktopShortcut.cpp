// The client's shortcut on the all-users desktop.
#include "install/FinishActions.h"

#include "install/ShellDelete.h"
#include "install/SystemHelpers.h"

BOOL CreateDesktopShortcut(const InstallInfo& info)
{
    const std::wstring client = InstallFilePath(info, L"QXTClient.exe");
    // The working folder is the install folder exactly as recorded.
    CreateShortcut(client.c_str(), info.InstallLocation, GetDesktopShortcutPath().c_str(), client.c_str(),
                   L"Quolix");
    return TRUE;
}

BOOL RemoveDesktopShortcut()
{
    const std::wstring shortcut = GetDesktopShortcutPath();
    if (!FileExists(shortcut.c_str()))
        return TRUE;
    return ShellDelete(shortcut) == 0 ? TRUE : FALSE;
}
