#include "setup/StartInstallation.h"

#include "core/ProductNames.h"
#include "framework/Wnd.h"
#include "res/resource.h"
#include "setup/DialogLayout.h"
#include "setup/InstallWorker.h"
#include "setup/SetupSession.h"

#include <process.h>

#include <iterator>

#include <string>

void StartInstallation(HWND dialog, SetupSession& session, const InstallFolderCheck& acceptFolder)
{
    const SetupOperations& ops = session.m_operations;

    // The client's files must not be in use when they are replaced; this runs
    // on every start, also on an Enter pressed while a run is going.
    ops.KillFirstProcessByName(kClientExe);

    // A disabled start button means a run is going (or done): Enter does nothing more.
    if (!::IsWindowEnabled(::GetDlgItem(dialog, IDC_START)))
        return;

    std::wstring folder;
    if (!session.m_bExistingInstall) {
        folder = CWnd::GetWindowText(::GetDlgItem(dialog, IDC_INSTALL_PATH));
        if (!acceptFolder(folder))
            return;
    }

    const auto& welcomeControls = dialog_layout::kStartDisables;
    BOOL wasEnabled[welcomeControls.size()] = {};
    for (size_t i = 0; i < welcomeControls.size(); ++i) {
        const HWND control = ::GetDlgItem(dialog, welcomeControls.ids[i]);
        wasEnabled[i] = ::IsWindowEnabled(control);
        ::EnableWindow(control, FALSE);
    }

    // An existing installation keeps the record read from its uninstall entry.
    if (!session.m_bExistingInstall)
        ops.FillInstallInfo(session.m_installInfo, folder);

    ::InterlockedExchange(&session.m_bCancelRequested, 0);
    session.m_hDialog = dialog;

    // The last run's worker has sent its last report before the start button
    // came back; it only has to return.
    if (session.m_workerThread) {
        ::WaitForSingleObject(session.m_workerThread.Get(), INFINITE);
        session.m_workerThread.Reset();
    }
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, InstallWorker, &session, 0, nullptr);
    if (thread) {
        // Kept, so that the dialog can wait for the worker before it goes.
        session.m_workerThread.Reset(reinterpret_cast<HANDLE>(thread));
        return;
    }
    // No worker, so no message will ever bring the welcome page back.
    for (size_t i = 0; i < welcomeControls.size(); ++i)
        ::EnableWindow(::GetDlgItem(dialog, welcomeControls.ids[i]), wasEnabled[i]);
}
