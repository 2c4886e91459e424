// The install folder offered to the user: the default one and the choice of
// another parent folder with the shell's folder browser.
#pragma once

#include <windows.h>
#include <string>

// The 32-bit program files folder (or the program files folder), a backslash
// and the client folder name.
std::wstring GetDefaultInstallPath(HWND owner);

// The install folder for a parent folder the user chose: the parent, a
// backslash, the client folder name, with doubled backslashes made single
// (a drive root comes back from the shell with its own backslash).
std::wstring InstallPathForChosenFolder(const wchar_t* chosen);

// Runs the folder browser; true when the user confirmed a file-system folder,
// whose path is then in path (MAX_PATH characters).
bool BrowseForInstallFolder(const wchar_t* title, wchar_t* path, HWND owner);

// Preselects the 32-bit program files folder when the browser opens and shows
// the selected folder's path as its status text.
int CALLBACK BrowseCallbackProc(HWND browser, UINT message, LPARAM param, LPARAM data);
