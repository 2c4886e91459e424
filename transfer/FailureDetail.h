// What the user is told about a download that failed: one line in Chinese
// under the box's first line, naming a cause the user can do something about
// (the network, the server, a login, the disk, a damaged transfer, the
// server's certificate).
#pragma once

#include "transfer/HttpAttempt.h"

#include <windows.h>

#include <string>

// How the last attempt of a failed download ended, as far as the line needs it.
struct FailedTransfer {
    Attempt outcome = Attempt::Refused;
    DWORD status = 0;          // the last answer's HTTP status; 0 without an answer
    DWORD error = 0;           // the system's or WinInet's code of what stopped it; 0 for none
    std::wstring name;         // the file's name as the list gives it
    ULONGLONG needed = 0;      // a full disk: the bytes the file takes
    ULONGLONG available = 0;   // a full disk: the bytes free once its part was dropped
    bool loginRefused = false; // a proxy refused the login the run gave it
};

// The line for that failure; empty when there is nothing to add (a cancel).
std::wstring FailureDetail(const FailedTransfer& failure);

// Whether a failure of a write on the disk is a full disk.
bool IsDiskFull(DWORD error);

// The line for a file list that came back as a web page: a network that
// shows its login page in place of every answer.
std::wstring LoginPageDetail();

// Whether the start of a file list is markup (a web page, not "name|MD5"
// lines: a name never holds '<').
bool LooksLikeWebPage(const std::wstring& firstLine);

// A byte count as the box shows it: "850 KB", "12.3 MB", "1.5 GB".
std::wstring SizeText(ULONGLONG bytes);
