#include "app/QXTSetupApp.h"

#include "app/CommandLine.h"
#include "core/SetupLog.h"
#include "transfer/ProxyLogin.h"
#include "framework/FileVersion.h"
#include "framework/LogFile.h"
#include "framework/MessageBox.h"
#include "framework/Unattended.h"
#include "install/InstallerKeyAccess.h"
#include "setup/QXTSetupDlg.h"
#include "setup/SilentInstall.h"

#include <commctrl.h>

#include <memory>

const wchar_t kSingleInstanceMutexName[] = L"CF65190A-1F4F-4F9D-8C72-836EB5362FF3";

namespace {

void LogProgramStart(const std::wstring& arguments)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    VS_FIXEDFILEINFO version{};
    if (GetFileVersion(path, &version))
        LogLine(L"QXTSetup %u.%u.%u.%u (%ls)", HIWORD(version.dwFileVersionMS), LOWORD(version.dwFileVersionMS),
                HIWORD(version.dwFileVersionLS), LOWORD(version.dwFileVersionLS), path);
    else
        LogLine(L"QXTSetup, version unknown (%ls)", path);
    LogLine(L"Command line: %ls", ArgumentsForTheLog(arguments).c_str());
}

// What /? shows in its box, for a silent run that has no box: one log line
// per line of the text.
void LogCommandLineHelp()
{
    const std::wstring help = kCommandLineHelp;
    for (size_t begin = 0; begin <= help.size();) {
        size_t end = help.find(L"\r\n", begin);
        if (end == std::wstring::npos)
            end = help.size();
        if (end > begin) {
            // The log writes a tab as an escape like any control character;
            // two blanks keep the description apart from its switch.
            std::wstring line = help.substr(begin, end - begin);
            for (size_t tab = line.find(L'\t'); tab != std::wstring::npos; tab = line.find(L'\t', tab))
                line.replace(tab, 1, L"  ");
            LogLine(L"%ls", line.c_str());
        }
        begin = end + 2;
    }
}

// /PROXY=, /PROXYUSER= and /PROXYPASS= for every request of the process's
// runs; the log names the proxy and the user, never the password.
void UseProxySwitches(const CommandLineOptions& options)
{
    if (options.hasProxy) {
        UseProxy(options.proxy);
        LogLine(L"Proxy: %ls (from /PROXY=, in place of the system's settings)", options.proxy.c_str());
    }
    if (options.hasProxyUser || options.hasProxyPassword) {
        ProxyLogin login;
        login.user = options.proxyUser;
        login.password = options.proxyPassword;
        RememberProxyLogin(login);
        ::SecureZeroMemory(login.password.data(), login.password.size() * sizeof(wchar_t));
        LogLine(L"Proxy login: user %ls (from /PROXYUSER=), %ls", options.proxyUser.c_str(),
                options.hasProxyPassword ? L"a password from /PROXYPASS=" : L"no password");
    }
}

}  // namespace

BOOL CQXTSetupApp::InitInstance()
{
    const std::wstring arguments = ProcessArguments();
    const CommandLineOptions options = ParseCommandLine(arguments);

    // Never closed: the system releases the mutex when the process ends, and
    // until then a second instance sees it and leaves: without a word, or,
    // when silent, with its own exit code and a line at the end of the log.
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (options.silent) {
            m_nExitCode = kExitAlreadyRunning;
            ProcessLog().Append(SetupLogPath(options.logPath));
            LogLine(L"Another setup program is running: this silent run ends (exit code %d)", m_nExitCode);
            ProcessLog().Close();
        }
        return FALSE;
    }

    OpenSetupLog(options.logPath);
    LogProgramStart(arguments);
    if (options.silent)
        SetUnattended(true);
    UseProxySwitches(options);

    if (!options.unknown.empty()) {
        std::wstring names;
        for (const std::wstring& name : options.unknown)
            names += (names.empty() ? L"" : L" ") + name;
        LogError(L"Unknown switch: %ls", names.c_str());
        if (options.silent) {
            m_nExitCode = kExitUnknownSwitch;
            LogLine(L"Installation failed at step: command line (exit code %d): unknown switch %ls", m_nExitCode,
                    names.c_str());
            return FALSE;
        }
        AfxMessageBox(L"无法识别的命令行参数：" + names + L"\r\n\r\n" + kCommandLineHelp, MB_OK | MB_ICONWARNING);
    }

    // A request for the switches installs nothing, silent or not.
    if (options.help) {
        if (options.silent) {
            LogCommandLineHelp();
            LogLine(L"The switches were written to the log, nothing was installed (exit code 0)");
        } else {
            AfxMessageBox(kCommandLineHelp, MB_OK | MB_ICONINFORMATION);
            LogLine(L"The switches were shown (exit code 0)");
        }
        return FALSE;
    }

    // A run that ended while the .NET installers ran (killed, crashed, or the
    // machine restarted for an installer) left a registry key open to
    // Everyone. It is closed here, before the dialog or a silent run, so that
    // it does not stay open while the program waits on its welcome page or a
    // run fails before its .NET step. The mutex above keeps this from closing
    // it under the installers of another setup program in this logon, and no
    // run of this one has started yet.
    RestoreLeftInstallerKeyAccess();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    if (options.silent) {
        SilentInstallOptions silent;
        silent.hasFolder = options.hasFolder;
        silent.folder = options.folder;
        silent.autorun = !options.noAutorun;
        silent.desktopShortcut = !options.noDesktop;
        silent.programGroup = !options.noGroup;
        silent.launchClient = !options.noLaunch;
        // Its last line gives the outcome and the exit code.
        m_nExitCode = RunSilentInstall(silent);
        return FALSE;
    }

    auto dialog = std::make_unique<CQXTSetupDlg>();
    if (options.hasFolder)
        dialog->m_strInitialFolder = options.folder;
    dialog->m_bLaunchClient = !options.noLaunch;
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    m_pMainWnd = nullptr;
    AfxSetMainWnd(nullptr);
    // The run's result code, as a silent run gives it: 0 once installed, or
    // when no run was started at all.
    m_nExitCode = dialog->m_bInstallComplete ? 0 : static_cast<int>(LastRunOutcome());
    LogLine(L"Setup program closed (exit code %d)", m_nExitCode);
    return FALSE;
}
