// The client's configuration file QXTClient.ini and its per-user data folder.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

#include <string>

// Stores the download server's host as [CONFIG] HOST in QXTClient.ini of the
// install folder (made writable first) and of the data folder's "Config"
// sub-folder. Always 1.
BOOL WriteClientConfig(const wchar_t* host, InstallInfo& info);

// The roaming application data folder followed by Tarvenn\Quolix\, each level
// created when missing. Ends with a backslash.
std::wstring GetClientDataFolder();
