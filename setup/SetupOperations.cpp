#include "setup/SetupOperations.h"

#include "trust/AcceptedVersion.h"
#include "download/DownloadClientFiles.h"
#include "trust/PublisherKey.h"
#include "trust/ServerHost.h"
#include "framework/LogFile.h"
#include "framework/Process.h"
#include "framework/Sha256.h"
#include "framework/SystemErrorText.h"
#include "install/InstallSteps.h"

namespace {

// The version of the signed list the last download used with the publisher's
// key; the worker runs one installation at a time and keeps it only once the
// whole run has succeeded.
ULONGLONG g_listVersionToKeep = 0;
// The server that served the last download's file list.
std::wstring g_listServerHost;

// What the executable trusts: the key in its own resources, and the highest
// list version this machine accepted before.
DownloadTrust ReadDownloadTrust()
{
    DownloadTrust trust;
    trust.keyState = ReadPublisherKey(::GetModuleHandleW(nullptr), trust.key);
    switch (trust.keyState) {
    case PublisherKeyState::None:
        LogLine(L"Publisher key: none (a signed file list is used when the server has one, its signature unchecked)");
        break;
    case PublisherKeyState::Present:
        trust.acceptedVersion = ReadAcceptedVersion(ProductAcceptedVersionPlace());
        LogLine(L"Publisher key: %ls; highest file list version accepted before: %I64u",
                HexText(trust.key.data(), trust.key.size()).c_str(), trust.acceptedVersion);
        break;
    case PublisherKeyState::Damaged:
        LogError(L"Publisher key: the key slot of the executable is damaged");
        break;
    }
    return trust;
}

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
        // A trailer is whatever bytes follow the marker.
        LogLine(L"Server host: %ls (%ls)", EscapeLogText(host).c_str(),
                source == ServerHostSource::Signature ? L"from the executable's code signature"
                : source == ServerHostSource::Trailer ? L"from the executable's trailer"
                                                      : L"built-in");
    };
    ops.DownloadClientFiles = [](const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info,
                                 DownloadFailure& failure) {
        LogLine(L"Install folder: %ls", info.InstallLocation);
        const DownloadTrust trust = ReadDownloadTrust();
        g_listServerHost.clear();
        const BOOL done = ::DownloadClientFiles(host, cancel, window, info, {}, &failure, trust, &g_listVersionToKeep,
                                                &g_listServerHost);
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
    ops.KeepAcceptedListVersion = [] {
        if (g_listVersionToKeep == 0)
            return;
        const AcceptedVersionPlace place = ProductAcceptedVersionPlace();
        if (WriteAcceptedVersion(place, g_listVersionToKeep))
            LogLine(L"Registry write HKLM\\%ls: %ls = %I64u (the highest file list version accepted)", place.subKey,
                    place.value, ReadAcceptedVersion(place));
        else
            LogError(L"Registry write HKLM\\%ls: %ls = %I64u failed: %ls", place.subKey, place.value,
                     g_listVersionToKeep, SystemErrorText(::GetLastError()).c_str());
    };
    ops.ListServerHost = [] { return g_listServerHost; };
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
