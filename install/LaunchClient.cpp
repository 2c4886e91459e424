#include "install/FinishActions.h"

#include "core/ProductNames.h"
#include "framework/Process.h"

void LaunchClient(const InstallInfo& info)
{
    // No start folder: the client starts in the setup program's current folder.
    const std::wstring client = InstallFilePath(info, kClientExe);
    RunAndWait(client.c_str(), nullptr, true, false);
}
