// Files and folders by path: whether they are there, and making folders.
#pragma once

#include <windows.h>

// True when FindFirstFileW finds the name (a folder counts too).
bool FileExists(const wchar_t* path);

// 2: the path has no drive part ("X:\" after the first character) and is not
// checked; otherwise 1 when the folder can be entered, 0 when not. The current
// directory is left as it was.
int DirectoryExists(const wchar_t* path);

// Creates every missing level of the folder and makes it the current directory.
bool CreateDirectoryTree(const wchar_t* path);
