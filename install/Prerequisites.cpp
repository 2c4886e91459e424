#include "install/Prerequisites.h"

#include "core/DotNetClient.h"
#include "framework/FileSystem.h"
#include "framework/LogFile.h"
#include "framework/Process.h"
#include "framework/ShellDelete.h"
#include "framework/Unattended.h"
#include "install/ServiceControl.h"

#include <aclapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kDotNetInstaller[] = L"dotNetFx40_Client_x86_x64.exe";
constexpr wchar_t kImagingComponentInstaller[] = L"wic_x86_chs.exe";
// With somebody watching: progress shown, a restart offered. Unattended
// nothing may wait for an answer, so nothing is shown and nothing restarts.
constexpr wchar_t kInstallerParameters[] = L"/passive /promptrestart";
constexpr wchar_t kDotNetQuietParameters[] = L"/q /norestart";
constexpr wchar_t kImagingComponentQuietParameters[] = L"/quiet /norestart";
// The installers need to write below this key; some systems deny it to them.
constexpr wchar_t kInternetExplorerMainKey[] = L"MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\";

DWORD RunInstaller(const std::wstring& path, const wchar_t* quietParameters)
{
    return RunAndWait(path.c_str(), IsUnattended() ? quietParameters : kInstallerParameters, false, true);
}

// Deletes the Windows Update download cache, but only while the service is
// stopped: a running service may be writing into it. What cannot be deleted
// stays; the last installer run decides the step, not the cache.
void ResetWindowsUpdateCache()
{
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    const bool known = length > 0 && length < MAX_PATH;
    const std::wstring cache = std::wstring(windows) + L"\\SoftwareDistribution";

    // A cache path the check cannot judge is handed to the shell all the same;
    // deleting what is not there does no harm.
    if (StopServiceAndWait() && known && DirectoryExists(cache.c_str()) != DirectoryState::Missing)
        ShellDeleteSilently(cache);
    StartServiceAndWait();
}

// The three attempts; the exit code of the last installer run decides.
bool RunInstallers(const InstallInfo& info)
{
    const std::wstring dotNet = InstallFilePath(info, kDotNetInstaller);
    if (RunInstaller(dotNet, kDotNetQuietParameters) == 0)
        return true;

    const std::wstring imaging = InstallFilePath(info, kImagingComponentInstaller);
    if (RunInstaller(imaging, kImagingComponentQuietParameters) == 0 &&
        RunInstaller(dotNet, kDotNetQuietParameters) == 0)
        return true;

    ResetWindowsUpdateCache();
    return RunInstaller(dotNet, kDotNetQuietParameters) == 0;
}

}  // namespace

BOOL InstallDotNetFramework(InstallInfo& info)
{
    if (DotNetClientInstalled())
        return TRUE;

    // The access list is widened only while the installers run and is put
    // back on every way out; the order of these steps is the point, so they
    // stay together here.
    wchar_t keyName[MAX_PATH] = {};
    std::wcscpy(keyName, kInternetExplorerMainKey);
    PACL oldAcl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL newAcl = nullptr;
    bool installed = false;

    const bool aclRead = ::GetNamedSecurityInfoW(keyName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                                 nullptr, &oldAcl, nullptr, &descriptor) == ERROR_SUCCESS;
    if (aclRead) {
        // Everyone by its well-known SID (S-1-1-0): the account's name is translated on other systems.
        BYTE worldSid[SECURITY_MAX_SID_SIZE] = {};
        DWORD worldSidSize = sizeof worldSid;
        EXPLICIT_ACCESSW everyone{};
        everyone.grfAccessPermissions = KEY_ALL_ACCESS;
        everyone.grfAccessMode = SET_ACCESS;
        everyone.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        ::BuildTrusteeWithSidW(&everyone.Trustee, worldSid);
        everyone.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        if (::CreateWellKnownSid(WinWorldSid, nullptr, worldSid, &worldSidSize) &&
            ::SetEntriesInAclW(1, &everyone, oldAcl, &newAcl) == ERROR_SUCCESS &&
            ::SetNamedSecurityInfoW(keyName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, newAcl,
                                    nullptr) == ERROR_SUCCESS) {
            LogLine(L"Access list of %ls: full access for Everyone while the installers run", keyName);
            installed = RunInstallers(info);
        }
    }

    if (newAcl)
        ::LocalFree(newAcl);
    // A key without any access list reads back as a null one; that too is put back.
    if (aclRead) {
        LogLine(L"Access list of %ls: put back", keyName);
        ::SetNamedSecurityInfoW(keyName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, oldAcl,
                                nullptr);
    }
    if (aclRead && descriptor)
        ::LocalFree(descriptor);
    return installed ? TRUE : FALSE;
}
