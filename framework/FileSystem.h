// Files and folders by path: whether they are there, and making folders.
#pragma once

#include <windows.h>

#include <string>

// True when FindFirstFileW finds the name (a folder counts too).
bool FileExists(const wchar_t* path);

// The length and last write of a file (not a folder); false when there is
// no such file or its attributes cannot be read.
bool FileLengthAndWrite(const wchar_t* path, ULONGLONG& length, FILETIME& written);

enum class DirectoryState {
    Missing = 0,     // no folder of that name (nothing, or a file)
    Exists = 1,      // a folder of that name
    NotChecked = 2,  // the path has no drive part ("X:\" after the first character)
};

// Whether a folder of that name is there; only a path with a drive part is
// checked. Neither this nor CreateDirectoryTree touches the current
// directory, so other threads may use relative paths meanwhile.
DirectoryState DirectoryExists(const wchar_t* path);

// Adds one backslash unless the path ends with one already (an empty path
// gets one too).
void AppendBackslash(std::wstring& path);

// Creates every missing level of the folder; true when it is a folder afterwards.
bool CreateDirectoryTree(const wchar_t* path);

// Creates the folder unless it is there: one with a drive that is missing,
// and a network folder (\\server\share\...), which DirectoryExists does not
// check. A relative path is left alone, since where it would land depends on
// the current directory. True when the path is a folder afterwards.
bool CreateMissingFolder(const wchar_t* path);

// The bytes this user may still write on the volume that holds path (a
// folder), quotas included; false when the system cannot tell
// (GetLastError says why).
bool FreeSpaceFor(const wchar_t* path, ULONGLONG& available);
