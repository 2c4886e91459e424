// Every operation the start command and the installation worker call, as one
// table. The product fills it with the real operations (RealSetupOperations);
// tests fill it with stand-ins that record the calls, so the worker's order of
// steps, retries and pauses can be checked without installing anything.
#pragma once

#include "core/InstallInfo.h"
#include "transfer/DownloadFailure.h"

#include <windows.h>

#include <functional>
#include <string>

struct SetupOperations {
    // Start command.
    std::function<void(const wchar_t* exeName)> KillFirstProcessByName;
    std::function<void(InstallInfo& info, const std::wstring& folder)> FillInstallInfo;

    // Worker. The step results are non-zero on success.
    std::function<void(std::wstring& host)> ReadServerHost;
    // On failure it says why in failure (left as it is on success).
    std::function<BOOL(const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info,
                       DownloadFailure& failure)>
        DownloadClientFiles;
    std::function<BOOL(InstallInfo& info)> InstallDotNetFramework;
    std::function<BOOL(InstallInfo& info)> InstallFlashPlugin;
    std::function<BOOL(InstallInfo& info)> InstallX264Encoder;
    std::function<BOOL(InstallInfo& info)> InstallAvcDecoder;
    std::function<void(const wchar_t* dllName, InstallInfo& info)> UnregisterComServer;
    std::function<void(HKEY root, const wchar_t* subKey)> DeleteRegistryKey;
    std::function<BOOL(InstallInfo& info)> InstallCodecs;
    std::function<void(const wchar_t* host, InstallInfo& info)> WriteClientConfig;
    std::function<BOOL(InstallInfo& info)> WriteUninstallEntry;
    // After a whole run has succeeded: keeps the version of the signed file
    // list its download used with the publisher's key, so that no later run
    // accepts an older one. May be left empty.
    std::function<void()> KeepAcceptedListVersion;
    // The host that served the file list of the last successful download,
    // without its scheme: the one the client is configured with. May be left
    // empty: the first stamped host is named then.
    std::function<std::wstring()> ListServerHost;
    std::function<void()> CleanClientDataFolder;
    std::function<void(DWORD milliseconds)> Pause;
};

// The table of the real operations.
SetupOperations RealSetupOperations();
