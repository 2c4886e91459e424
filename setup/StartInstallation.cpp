#include "setup/StartInstallation.h"

#include "core/ProductNames.h"
#include "framework/Wnd.h"
#include "res/resource.h"
#include "setup/InstallWorker.h"
#include "setup/SetupSession.h"

#include <process.h>

#include <iterator>

#include <string>

void StartInstallation(HWND dialog, SetupSession& session)
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
        if (ops.AcceptInstallFolder && !ops.AcceptInstallFolder(dialog, folder))
            return;
    }

    static const int kWelcomeControls[] = {IDC_INSTALL_PATH, IDC_START, IDC_BROWSE, IDC_CLOSE};
    BOOL wasEnabled[std::size(kWelcomeControls)] = {};
    for (size_t i = 0; i < std::size(kWelcomeControls); ++i) {
        const HWND control = ::GetDlgItem(dialog, kWelcomeControls[i]);
        wasEnabled[i] = ::IsWindowEnabled(control);
        ::EnableWindow(control, FALSE);
    }

    // An existing installation keeps the record read from its uninstall entry.
    if (!session.m_bExistingInstall)
        ops.FillInstallInfo(session.m_installInfo, folder);

    ::InterlockedExchange(&session.m_bCancelRequested, 0);
    session.m_hDialog = dialog;

    // Nobody waits for the worker: it reports everything by message, and if
    // the dialog is closed while it runs it ends with the process.
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, InstallWorker, &session, 0, nullptr);
    if (thread) {
        ::CloseHandle(reinterpret_cast<HANDLE>(thread));
        return;
    }
    // No worker, so no message will ever bring the welcome page back.
    for (size_t i = 0; i < std::size(kWelcomeControls); ++i)
        ::EnableWindow(::GetDlgItem(dialog, kWelcomeControls[i]), wasEnabled[i]);
}
