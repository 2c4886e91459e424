// The .NET Framework 4 Client Profile that the client needs, with the Windows
// Imaging Component and a Windows Update cache reset as fallbacks.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

// Non-zero when the framework is present or its installer (from the install
// folder) ended with exit code 0. While the installers run, Everyone has full
// access to HKLM\SOFTWARE\Microsoft\Internet Explorer\MAIN; the key's access
// list is put back before the step returns, whatever the outcome.
BOOL InstallDotNetFramework(InstallInfo& info);
