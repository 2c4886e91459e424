// The "QXTClient" folder of the all-users Programs menu.
#include "install/FinishActions.h"

#include "install/ShellDelete.h"
#include "install/SystemHelpers.h"

BOOL CreateProgramGroup(const InstallInfo& info)
{
    const std::wstring group = GetProgramGroupPath();
    if (!DirectoryExists(group.c_str()))
        CreateDirectoryTree(group.c_str());

    const std::wstring folder = InstallFilePath(info, L"");  // with its trailing backslash
    const std::wstring client = InstallFilePath(info, L"QXTClient.exe");
    const std::wstring uninstaller = InstallFilePath(info, L"QXTUnist.exe");
    CreateShortcut(client.c_str(), folder.c_str(), (group + L"Quolix.lnk").c_str(), client.c_str(), L"Quolix");
    CreateShortcut(uninstaller.c_str(), folder.c_str(), (group + L"卸载Quolix.lnk").c_str(), uninstaller.c_str(),
                   L"卸载Quolix");
    return TRUE;
}

BOOL RemoveProgramGroup()
{
    std::wstring group = GetProgramGroupPath();
    while (!group.empty() && group.back() == L'\\')
        group.pop_back();
    if (!DirectoryExists(group.c_str()))
        return TRUE;
    return ShellDelete(group) == 0 ? TRUE : FALSE;
}
