// What the finish page does: start with Windows, program group and desktop
// shortcut (each created when chosen and removed when not), starting the
// client, and the clean-up of the client's data folder after an installation.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

#include <string>

// Saves a shell link (no arguments, icon index 0, shown normally); an existing
// file is replaced, a missing folder is not created. True when saved.
bool CreateShortcut(const wchar_t* target, const wchar_t* workingFolder, const wchar_t* shortcutFile,
                    const wchar_t* iconPath, const wchar_t* description);

// The all-users desktop's "Quolix.lnk".
std::wstring GetDesktopShortcutPath();
// The all-users Programs menu's "QXTClient" folder, ending with a backslash.
std::wstring GetProgramGroupPath();

// The value "QXTClient" of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run:
// the client's path, unquoted. 1 when the Run key could be opened and the
// value written.
BOOL AddRunEntry(const InstallInfo& info);
BOOL RemoveRunEntry();

// The program group with the client's and the uninstaller's shortcuts. Always 1.
BOOL CreateProgramGroup(const InstallInfo& info);
// Deletes the program group folder with everything in it. 1 when it was absent
// or deleted.
BOOL RemoveProgramGroup();

// The desktop shortcut to the client. Always 1.
BOOL CreateDesktopShortcut(const InstallInfo& info);
// 1 when the shortcut was absent or deleted.
BOOL RemoveDesktopShortcut();

// Starts the installed client (window shown) and returns at once.
void LaunchClient(const InstallInfo& info);

// Deletes every sub-folder of the client data folder except "Config" and
// "Update" (any case); files there are kept. Always 1.
BOOL CleanClientDataFolder();
