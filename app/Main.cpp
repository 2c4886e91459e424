// Entry point of QXTSetup.exe.
#include "app/QXTSetupApp.h"

#include <windows.h>

namespace {
CQXTSetupApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (!AfxGetApp()->InitInstance())
        return AfxGetApp()->ExitInstance();
    return 0;
}
