#include "setup/SetupOperations.h"

#include "download/DownloadClientFiles.h"
#include "download/ServerHost.h"
#include "framework/Process.h"
#include "install/InstallSteps.h"

SetupOperations RealSetupOperations()
{
    SetupOperations ops;
    ops.KillProcessesByName = [](const wchar_t* exeName) { ::KillProcessesByName(exeName); };
    ops.FillInstallInfo = [](InstallInfo& info, const std::wstring& folder) { ::FillInstallInfo(info, folder); };
    ops.ReadServerHost = [](std::wstring& host) { ::ReadServerHost(host); };
    ops.DownloadClientFiles = [](const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info) {
        return ::DownloadClientFiles(host, cancel, window, info);
    };
    ops.InstallDotNetFramework = [](InstallInfo& info) { return ::InstallDotNetFramework(info); };
    ops.InstallFlashPlugin = [](InstallInfo& info) { return ::InstallFlashPlugin(info); };
    ops.InstallX264Encoder = [](InstallInfo& info) { return ::InstallX264Encoder(info); };
    ops.InstallAvcDecoder = [](InstallInfo& info) { return ::InstallAvcDecoder(info); };
    ops.UnregisterComServer = [](const wchar_t* dllName, InstallInfo& info) { ::UnregisterComServer(dllName, info); };
    ops.DeleteRegistryKey = [](HKEY root, const wchar_t* subKey) { ::RegDeleteKeyW(root, subKey); };
    ops.InstallCodecs = [](InstallInfo& info) { return ::InstallCodecs(info); };
    ops.WriteClientConfig = [](const wchar_t* host, InstallInfo& info) { ::WriteClientConfig(host, info); };
    ops.WriteUninstallEntry = [](InstallInfo& info) { ::WriteUninstallEntry(info); };
    ops.CleanClientDataFolder = [] { ::CleanClientDataFolder(); };
    ops.Pause = [](DWORD milliseconds) { ::Sleep(milliseconds); };
    return ops;
}
