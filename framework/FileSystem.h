// Files and folders by path: whether they are there, and making folders.
#pragma once

#include <windows.h>

#include <string>

// True when FindFirstFileW finds the name (a folder counts too).
bool FileExists(const wchar_t* path);

enum class DirectoryState {
    Missing = 0,     // the folder cannot be entered
    Exists = 1,      // the folder can be entered
    NotChecked = 2,  // the path has no drive part ("X:\" after the first character)
};

// Whether the folder can be entered; only a path with a drive part is
// checked. The current directory is left as it was.
DirectoryState DirectoryExists(const wchar_t* path);

// Adds one backslash unless the path ends with one already (an empty path
// gets one too).
void AppendBackslash(std::wstring& path);

// Creates every missing level of the folder and makes it the current directory.
bool CreateDirectoryTree(const wchar_t* path);

// The bytes this user may still write on the volume that holds path (a
// folder), quotas included; false when the system cannot tell
// (GetLastError says why).
bool FreeSpaceFor(const wchar_t* path, ULONGLONG& available);
