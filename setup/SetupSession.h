// What the start command and the installation worker share with the setup
// dialog. The dialog owns it (it derives from it) and does not let it go
// before the worker has ended; the worker reaches it through one pointer and
// never touches the dialog's controls, so it also runs against any window
// that answers its messages.
#pragma once

#include "core/InstallInfo.h"
#include "trust/ServerHost.h"
#include "framework/Handles.h"
#include "setup/SetupOperations.h"

#include <windows.h>

#include <string>
#include <utility>

struct SetupSession {
    explicit SetupSession(SetupOperations operations)
        : m_operations(std::move(operations)), m_strServerHost(kDefaultServerHost)
    {
    }
    SetupSession(const SetupSession&) = delete;
    SetupSession& operator=(const SetupSession&) = delete;

    SetupOperations m_operations;

    // The dialog's window: receives every report of the worker. Set by the
    // start command.
    HWND m_hDialog = nullptr;

    // Server host: the built-in default until the worker lets the
    // executable's trailer replace it.
    std::wstring m_strServerHost;
    // Written by the dialog's thread before the worker starts, then used only
    // by the worker until it reports completion.
    InstallInfo m_installInfo{};

    // Shared between the dialog's thread and the worker without a lock: each
    // is one aligned 32-bit word, written with InterlockedExchange and read whole.
    volatile LONG m_bCancelRequested = 0;  // set by the dialog, polled by the download
    volatile LONG m_bInstallComplete = 0;  // set by the worker, read when the dialog closes
    // Set by the dialog when the user leaves: the worker ends at the next step
    // boundary, without a report, once the step has undone what it changed.
    volatile LONG m_bExitRequested = 0;

    // The running (or last) worker; only the dialog's thread uses it.
    qxt::UniqueKernelHandle m_workerThread;

    // Set once when the dialog opens: the record was read from an existing
    // uninstall entry and is used unchanged for every run.
    bool m_bExistingInstall = false;
};
