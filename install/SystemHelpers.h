// Thin helpers over the platform that the installation steps share: programs,
// file versions, processes, registry flags and folders.
#pragma once

#include <windows.h>

// Starts a program through the shell and, when asked to, waits for it and
// returns its exit code. A program that cannot be started is reported in a
// message box with the system's error text and yields 0, like no wait.
DWORD RunAndWait(const wchar_t* program, const wchar_t* parameters, bool show, bool wait);

// Reads the fixed version information of a file; the output is untouched on failure.
bool GetFileVersion(const wchar_t* path, VS_FIXEDFILEINFO* version);

// Terminates the first running process with that executable name (no folder,
// any case). False only when the process list cannot be read.
bool KillProcessesByName(const wchar_t* exeName);

// Reads the DWORD value "Install" of HKEY_LOCAL_MACHINE\subKey.
bool ReadRegistryDword(const wchar_t* subKey, DWORD* value);

// True when FindFirstFileW finds the name (a folder counts too).
bool FileExists(const wchar_t* path);

// 2: the path has no drive part ("X:\" after the first character) and is not
// checked; otherwise 1 when the folder can be entered, 0 when not. The current
// directory is left as it was.
int DirectoryExists(const wchar_t* path);

// Creates every missing level of the folder and makes it the current directory.
bool CreateDirectoryTree(const wchar_t* path);
