// The Flash Player plug-in for Mozilla-based browsers.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

// The plug-in's registration key under HKEY_LOCAL_MACHINE: the identifier
// under which the Flash Player plug-in registers itself for Mozilla browsers.
inline constexpr wchar_t kFlashPluginKey[] = L"SOFTWARE\\MozillaPlugins\\@adobe.com/FlashPlayer";

// True when the registration's "Path" names a file that exists.
bool IsFlashPluginInstalled();

// Unless a working plug-in is registered: ends a running Firefox plug-in
// container, Firefox and the client, then runs the installer of the install
// folder. Non-zero on success.
BOOL InstallFlashPlugin(InstallInfo& info);
