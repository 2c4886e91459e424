// Whether a folder text may take a fresh installation: what the start
// command and a silent run both ask before anything is changed.
#pragma once

#include "core/InstallInfo.h"

#include <string>

enum class InstallFolderVerdict {
    Accepted,
    Empty,        // empty or only blanks
    NotAbsolute,  // neither "X:\..." nor "\\server\share\..."
    InvalidName,  // a character or a name Windows does not allow in a path
    TooLong,      // the folder or a path derived from it does not fit the record
};

InstallFolderVerdict CheckInstallFolder(const std::wstring& folder);

// True when every name after the drive part ("X:" or "\\") is one Windows
// can create: none of <>:"/|?* or a control character in it, not ending in a
// dot or a blank, and not a device name (CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9 and COM or LPT with a superscript 1, 2 or 3), with or without
// an extension. Empty names (a trailing backslash) are passed over.
bool HasOnlyValidNames(const std::wstring& folder);

// True for an absolute local or network folder: a drive letter, a colon and a
// backslash, or \\server\share. Empty, blank and relative texts, a drive
// without its backslash and device paths (\\?\, \\.\) are not.
bool IsAbsoluteInstallFolder(const std::wstring& folder);

// Reads the existing installation's uninstall entry into info. An entry
// without a folder the installation could go back into (the value missing,
// not a string, too long, relative) counts as none: false, and info is an
// empty record, as for a fresh installation.
bool ReadUsableInstallation(InstallInfo& info);

// A short English description of a verdict, for the log.
const wchar_t* InstallFolderVerdictText(InstallFolderVerdict verdict);
