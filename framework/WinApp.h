// CWinApp: the application object. wWinMain (app/Main.cpp) runs the one
// instance's InitInstance and ends the process with its result: the setup
// program has no message loop of its own, its dialog runs modally inside
// InitInstance.
#pragma once

#include "framework/Wnd.h"

class CWinApp {
public:
    CWinApp() noexcept;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Prepares what the framework needs on the application's thread: COM in
    // a single-threaded apartment, for the shell's folder browser and links.
    virtual BOOL InitInstance();
    virtual int ExitInstance() { return 0; }

    // The main window: the owner of boxes shown without one.
    CWnd* m_pMainWnd = nullptr;

private:
    bool m_bOleInitialized = false;
};

// The application object.
CWinApp* AfxGetApp() noexcept;
