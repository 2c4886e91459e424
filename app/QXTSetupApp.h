// The application object: refuses a second instance and runs the setup dialog.
#pragma once

#include "framework/WinApp.h"

class CQXTSetupApp : public CWinApp {
public:
    CQXTSetupApp() = default;
    ~CQXTSetupApp() override = default;

    // Always FALSE: the process ends when the dialog has closed.
    BOOL InitInstance() override;
    // The process's exit code (see setup/SilentInstall.h and the worker's
    // SetupResult).
    int ExitInstance() override { return m_nExitCode; }

private:
    int m_nExitCode = 0;
};

// The name of the mutex that marks a running setup program in this logon.
extern const wchar_t kSingleInstanceMutexName[];
