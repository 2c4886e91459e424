// Starting programs and ending running processes.
#pragma once

#include <windows.h>

// Starts a program through the shell, without any prompt of the shell (no
// error box, no security prompt for a file marked as downloaded) and, when
// asked to, waits for it and returns its exit code. A program that cannot be
// started is reported in a message box with the system's error text and
// yields 0, like no wait.
DWORD RunAndWait(const wchar_t* program, const wchar_t* parameters, bool show, bool wait);

// Terminates the first running process with that executable name (no folder,
// any case). False only when the process list cannot be read.
bool KillFirstProcessByName(const wchar_t* exeName);
