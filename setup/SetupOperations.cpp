#include "setup/SetupOperations.h"

#include "download/DownloadClientFiles.h"
#include "download/ServerHost.h"
#include "framework/LogFile.h"
#include "framework/Process.h"
#include "install/InstallSteps.h"

namespace {

// Runs one installation step between a line naming it and a line with its result.
BOOL LoggedStep(const wchar_t* name, BOOL (*step)(InstallInfo&), InstallInfo& info)
{
    LogLine(L"Step %ls: started", name);
    const unsigned errorsBefore = LoggedErrorCount();
    const BOOL done = step(info);
    if (done)
        LogLine(L"Step %ls: done", name);
    else if (LoggedErrorCount() != errorsBefore)
        LogError(L"Step %ls failed: %ls", name, LastLoggedError().c_str());
    else
        LogError(L"Step %ls failed", name);
    return done;
}

}  // namespace

SetupOperations RealSetupOperations()
{
    SetupOperations ops;
    ops.KillFirstProcessByName = [](const wchar_t* exeName) { ::KillFirstProcessByName(exeName); };
    ops.FillInstallInfo = [](InstallInfo& info, const std::wstring& folder) { ::FillInstallInfo(info, folder); };
    ops.ReadServerHost = [](std::wstring& host) {
        const ServerHostSource source = ::ReadServerHost(host);
        LogLine(L"Server host: %ls (%ls)", host.c_str(),
                source == ServerHostSource::Signature ? L"from the executable's code signature"
                : source == ServerHostSource::Trailer ? L"from the executable's trailer"
                                                      : L"built-in");
    };
    ops.DownloadClientFiles = [](const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info,
                                 DownloadFailure& failure) {
        LogLine(L"Install folder: %ls", info.InstallLocation);
        const BOOL done = ::DownloadClientFiles(host, cancel, window, info, {}, &failure);
        LogLine(L"Download of the client's files: %ls, %I64u bytes in the install folder", done ? L"done" : L"failed",
                info.EstimatedSize);
        return done;
    };
    ops.InstallDotNetFramework = [](InstallInfo& info) {
        return LoggedStep(L".NET Framework 4", ::InstallDotNetFramework, info);
    };
    ops.InstallFlashPlugin = [](InstallInfo& info) { return LoggedStep(L"Flash plug-in", ::InstallFlashPlugin, info); };
    ops.InstallX264Encoder = [](InstallInfo& info) {
        return LoggedStep(L"x264 encoder", ::InstallX264Encoder, info);
    };
    ops.InstallAvcDecoder = [](InstallInfo& info) { return LoggedStep(L"AVC decoder", ::InstallAvcDecoder, info); };
    ops.UnregisterComServer = [](const wchar_t* dllName, InstallInfo& info) { ::UnregisterComServer(dllName, info); };
    ops.DeleteRegistryKey = [](HKEY root, const wchar_t* subKey) {
        const LONG result = ::RegDeleteKeyW(root, subKey);
        LogLine(L"Delete registry key %ls\\%ls: %ls", root == HKEY_CURRENT_USER ? L"HKCU" : L"HKLM", subKey,
                result == ERROR_SUCCESS ? L"deleted" : L"not there");
    };
    ops.InstallCodecs = [](InstallInfo& info) { return LoggedStep(L"codecs", ::InstallCodecs, info); };
    ops.WriteClientConfig = [](const wchar_t* host, InstallInfo& info) {
        LogLine(L"Client configuration: HOST=%ls", host);
        ::WriteClientConfig(host, info);
    };
    ops.WriteUninstallEntry = [](InstallInfo& info) {
        LogLine(L"Uninstall entry: %ls, version %ls, %I64u bytes", info.InstallLocation, info.DisplayVersion,
                info.EstimatedSize);
        return LoggedStep(L"uninstall entry", ::WriteUninstallEntry, info);
    };
    ops.CleanClientDataFolder = [] {
        LogLine(L"Clean-up of the client data folder");
        ::CleanClientDataFolder();
    };
    ops.Pause = [](DWORD milliseconds) { ::Sleep(milliseconds); };
    return ops;
}
