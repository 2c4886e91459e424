// dotnetstep.exe FOLDER: runs the .NET Framework step on an installation into
// FOLDER and ends with its result (1 or 0), as the setup program's worker
// would. A test ends it from outside while an installer runs, as a user, a
// crash or a restart ends the setup program.
#include "core/InstallInfo.h"
#include "install/Prerequisites.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    InstallInfo info = {};
    FillInstallInfo(info, argv[1]);
    return InstallDotNetFramework(info) ? 1 : 0;
}
