#include "setup/SetupOperations.h"

#include "download/DownloadClientFiles.h"
#include "download/ServerHost.h"
#include "install/SystemHelpers.h"

SetupOperations RealSetupOperations()
{
    SetupOperations ops;
    ops.KillProcessesByName = [](const wchar_t* exeName) { ::KillProcessesByName(exeName); };
    ops.FillInstallInfo = [](InstallInfo& info, const std::wstring& folder) { ::FillInstallInfo(info, folder); };
    ops.ReadServerHost = [](std::wstring& host) { ::ReadServerHost(host); };
    ops.DownloadClientFiles = [](const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info) {
        return ::DownloadClientFiles(host, cancel, window, info);
    };
    ops.DeleteRegistryKey = [](HKEY root, const wchar_t* subKey) { ::RegDeleteKeyW(root, subKey); };
    ops.Pause = [](DWORD milliseconds) { ::Sleep(milliseconds); };
    return ops;
}
