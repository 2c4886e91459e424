// The highest signed file list version this machine accepted, kept under the
// product's registry key so that a later run refuses an older list.
#pragma once

#include <windows.h>

struct AcceptedVersionPlace {
    HKEY root;
    const wchar_t* subKey;
    const wchar_t* value;
};

// HKEY_LOCAL_MACHINE\SOFTWARE\QXTClient, value AcceptedFileListVersion (REG_QWORD).
AcceptedVersionPlace ProductAcceptedVersionPlace();

// The stored version; 0 when none is stored. A value of another type or size
// reads as none would let a rollback through, so it reads as the highest
// version: nothing is accepted until someone removes it.
ULONGLONG ReadAcceptedVersion(const AcceptedVersionPlace& place);

// Stores version unless a higher one is stored already; false when the key or
// the value cannot be written.
bool WriteAcceptedVersion(const AcceptedVersionPlace& place, ULONGLONG version);
