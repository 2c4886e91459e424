#include "setup/SetupOperations.h"

SetupOperations RealSetupOperations()
{
    SetupOperations ops;
    ops.FillInstallInfo = [](InstallInfo& info, const std::wstring& folder) { ::FillInstallInfo(info, folder); };
    ops.DeleteRegistryKey = [](HKEY root, const wchar_t* subKey) { ::RegDeleteKeyW(root, subKey); };
    ops.Pause = [](DWORD milliseconds) { ::Sleep(milliseconds); };
    return ops;
}
