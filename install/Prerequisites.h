// The .NET Framework 4 Client Profile that the client needs, with the Windows
// Imaging Component and a Windows Update cache reset as fallbacks.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

// Non-zero when the framework is present or its installer (from the install
// folder) ended with exit code 0. While the installers run, Everyone may read,
// write, create sub-keys and delete in HKLM\SOFTWARE\Microsoft\Internet
// Explorer\MAIN (see InstallerKeyAccess.h); the key's owner and access list
// are put back before the step returns, whatever the outcome, and a key that
// an earlier run left open is put back first.
BOOL InstallDotNetFramework(InstallInfo& info);
