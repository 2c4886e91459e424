// Entry point of QXTSetup.exe.
#include "app/QXTSetupApp.h"

#include <windows.h>

#include <cstdlib>

// libstdc++'s default terminate handler prints the uncaught exception's
// demangled type to a console this GUI program does not have, and brings the
// whole demangler (about 46 KB) into the executable for it. Ending the
// process is all that is left to do at that point.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

namespace {
CQXTSetupApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (!AfxGetApp()->InitInstance())
        return AfxGetApp()->ExitInstance();
    return 0;
}
