#include "setup/SilentInstall.h"

#include "core/ProductNames.h"
#include "core/SetupLog.h"
#include "core/SetupMessages.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"
#include "install/FinishActions.h"
#include "install/UninstallEntry.h"
#include "setup/InstallFolderCheck.h"
#include "setup/InstallLocation.h"
#include "setup/InstallWorker.h"
#include "setup/SetupSession.h"

#include <process.h>

namespace {

constexpr wchar_t kReplyWindowClass[] = L"QXTSetupSilentReplies";

// Stands in for the dialog: the worker's reports arrive here, on the thread
// that started the run.
LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETUP_ERROR:
        // Nobody is there to retry or skip: the run ends with this step's code.
        LogLine(L"Answer to the failure of %ls: abort", SetupResultName(static_cast<UINT>(wParam)));
        return IDABORT;
    case WM_SETUP_PROXY_LOGIN:
        // Nobody can type a login in: /PROXYUSER= and /PROXYPASS= were all.
        return IDCANCEL;
    case WM_DOWNLOAD_FAILED:
        if (wParam)
            LogError(L"%ls", reinterpret_cast<const std::wstring*>(wParam)->c_str());
        return 0;
    case WM_SETUP_BEGIN:
    case WM_SETUP_COMPLETE:
    case WM_SETUP_STEP:
        return 1;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateReplyWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReplyWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kReplyWindowClass;
    ::RegisterClassW(&windowClass);
    // A message-only window: it can never be shown and no window list sees it.
    return ::CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// Runs the worker and answers its reports until it ends; its exit code.
DWORD RunWorker(SetupSession& session)
{
    const uintptr_t started = ::_beginthreadex(nullptr, 0, InstallWorker, &session, 0, nullptr);
    if (!started) {
        LogError(L"The installation thread could not be started: %ls", LastErrorText().c_str());
        return SETUP_CANCELLED;
    }
    const HANDLE thread = reinterpret_cast<HANDLE>(started);
    for (;;) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            break;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    DWORD result = SETUP_CANCELLED;
    ::GetExitCodeThread(thread, &result);
    ::CloseHandle(thread);
    return result;
}

// In the order of the finish page's button.
void RunFinishActions(const SilentInstallOptions& options, const InstallInfo& info)
{
    LogFinishActions(options.autorun, options.programGroup, options.desktopShortcut, options.launchClient);
    if (options.autorun)
        AddRunEntry(info);
    else
        RemoveRunEntry();
    if (options.programGroup)
        CreateProgramGroup(info);
    else
        RemoveProgramGroup();
    if (options.desktopShortcut)
        CreateDesktopShortcut(info);
    else
        RemoveDesktopShortcut();
    if (options.launchClient)
        LaunchClient(info);
    LogLine(L"Installation finished (exit code 0)");
}

}  // namespace

int RunSilentInstall(const SilentInstallOptions& options, SetupOperations operations)
{
    SetupSession session(std::move(operations));

    std::wstring folder;
    session.m_bExistingInstall = ReadUsableInstallation(session.m_installInfo);
    if (session.m_bExistingInstall) {
        folder = session.m_installInfo.InstallLocation;
        LogLine(L"Existing installation found in %ls: it is installed again there", folder.c_str());
        if (options.hasFolder && options.folder != folder)
            LogLine(L"The folder given with /D= (%ls) is not used: an installed client keeps its folder",
                    options.folder.c_str());
    } else {
        folder = options.hasFolder ? options.folder : GetDefaultInstallPath(nullptr);
        const InstallFolderVerdict verdict = CheckInstallFolder(folder);
        if (verdict != InstallFolderVerdict::Accepted) {
            LogError(L"Install folder \"%ls\" refused: %ls", folder.c_str(), InstallFolderVerdictText(verdict));
            LogLine(L"Installation failed at step: folder check (exit code %d): %ls", kExitFolderRefused,
                    InstallFolderVerdictText(verdict));
            return kExitFolderRefused;
        }
    }

    const SetupOperations& ops = session.m_operations;
    ops.KillFirstProcessByName(kClientExe);
    if (!session.m_bExistingInstall)
        ops.FillInstallInfo(session.m_installInfo, folder);

    const HWND replies = CreateReplyWindow();
    if (!replies) {
        LogError(L"The silent run's message window could not be created: %ls", LastErrorText().c_str());
        LogRunOutcome(SETUP_CANCELLED);
        return SETUP_CANCELLED;
    }
    session.m_hDialog = replies;
    const DWORD result = RunWorker(session);
    ::DestroyWindow(replies);

    // The worker has logged the run's outcome.
    if (result == SETUP_OK)
        RunFinishActions(options, session.m_installInfo);
    return static_cast<int>(result);
}
