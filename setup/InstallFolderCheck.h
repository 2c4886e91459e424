// Whether a folder text may take a fresh installation: what the start
// command and a silent run both ask before anything is changed.
#pragma once

#include <string>

enum class InstallFolderVerdict {
    Accepted,
    Empty,        // empty or only blanks
    NotAbsolute,  // neither "X:\..." nor "\\server\share\..."
    TooLong,      // the folder or a path derived from it does not fit the record
};

InstallFolderVerdict CheckInstallFolder(const std::wstring& folder);

// A short English description of a verdict, for the log.
const wchar_t* InstallFolderVerdictText(InstallFolderVerdict verdict);
