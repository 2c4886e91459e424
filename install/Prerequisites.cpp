#include "install/Prerequisites.h"

#include "core/DotNetClient.h"
#include "framework/FileSystem.h"
#include "framework/LogFile.h"
#include "framework/Process.h"
#include "framework/ShellDelete.h"
#include "framework/Unattended.h"
#include "install/InstallerKeyAccess.h"
#include "install/ServiceControl.h"

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
    const ServiceStop stop = StopServiceAndWait();
    if (stop.stopped && known && DirectoryExists(cache.c_str()) != DirectoryState::Missing)
        ShellDeleteSilently(cache);
    RestoreService(stop);
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
    // A run that ended while its installers ran (killed, crashed, or the
    // machine restarted for an installer) left its key open. The program
    // closes it as it starts; a key that could not be closed then is tried
    // again here, first, also when the framework has arrived since.
    RestoreLeftInstallerKeyAccess();
    if (DotNetClientInstalled())
        return TRUE;

    // The key is opened to the installers only while they run and closed
    // again on every way out; the order of these steps is the point, so they
    // stay together here.
    bool installed = false;
    if (GrantInstallerKeyAccess(kInternetExplorerMainKey))
        installed = RunInstallers(info);
    RestoreInstallerKeyAccess(kInternetExplorerMainKey);
    return installed ? TRUE : FALSE;
}
