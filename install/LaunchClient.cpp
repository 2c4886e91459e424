#include "install/FinishActions.h"

#include "install/SystemHelpers.h"

void LaunchClient(const InstallInfo& info)
{
    // No start folder: the client starts in the setup program's current folder.
    const std::wstring client = InstallFilePath(info, L"QXTClient.exe");
    RunAndWait(client.c_str(), nullptr, true, false);
}
