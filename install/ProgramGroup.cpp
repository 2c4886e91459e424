// The "QXTClient" folder of the all-users Programs menu.
#include "install/FinishActions.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"
#include "framework/ShellDelete.h"

BOOL CreateProgramGroup(const InstallInfo& info)
{
    const std::wstring group = GetProgramGroupPath();
    CreateMissingFolder(group.c_str());

    const std::wstring folder = InstallFilePath(info, L"");  // with its trailing backslash
    const std::wstring client = InstallFilePath(info, kClientExe);
    const std::wstring uninstaller = InstallFilePath(info, kUninstallerExe);
    CreateShortcut(client.c_str(), folder.c_str(), (group + kClientShortcutFile).c_str(), client.c_str(), kDisplayName);
    CreateShortcut(uninstaller.c_str(), folder.c_str(), (group + kUninstallShortcutFile).c_str(), uninstaller.c_str(),
                   kUninstallShortcutDescription);
    return TRUE;
}

BOOL RemoveProgramGroup()
{
    std::wstring group = GetProgramGroupPath();
    while (!group.empty() && group.back() == L'\\')
        group.pop_back();
    // A group that was not checked is handed to the shell; only one known
    // to be missing is nothing to do.
    if (DirectoryExists(group.c_str()) == DirectoryState::Missing)
        return TRUE;
    return ShellDelete(group) == 0 ? TRUE : FALSE;
}
