// The installation record: the install folder and every value of the
// uninstall entry. Plain data of fixed size; zero bytes are an empty record.
#pragma once

#include <windows.h>
#include <string>

struct InstallInfo {
    // The string fields carry the names of the uninstall entry's values and are
    // written in this order.
    WCHAR DisplayIcon[MAX_PATH];
    WCHAR DisplayVersion[MAX_PATH];
    WCHAR InstallDate[MAX_PATH];
    WCHAR UninstallString[MAX_PATH];
    WCHAR DisplayName[MAX_PATH];
    WCHAR HelpLink[MAX_PATH];
    WCHAR InstallLocation[MAX_PATH];
    WCHAR Publisher[MAX_PATH];
    WCHAR URLInfoAbout[MAX_PATH];
    WCHAR URLUpdateInfo[MAX_PATH];
    ULONGLONG EstimatedSize;  // bytes; the uninstall entry holds it in KiB
    DWORD MajorVersion;
    DWORD MinorVersion;
    DWORD NoModify;
    DWORD NoRepair;
};

// Fills the record for a fresh installation into the given folder. Safe for a
// folder text of any length: no field ever overflows.
void FillInstallInfo(InstallInfo& info, const std::wstring& folder);

// Sets MajorVersion, MinorVersion and DisplayVersion from the file version of
// the client executable at clientPath, or to 1, 0 and "1.0" when it has none.
void FillClientVersion(InstallInfo& info, const std::wstring& clientPath);

// True when the folder and every path derived from it fit the record's fields.
bool InstallFolderFits(const std::wstring& folder);

// The path of a file inside the install folder: the folder, one backslash
// unless it already ends with one, the file name.
std::wstring InstallFilePath(const std::wstring& location, const std::wstring& fileName);
std::wstring InstallFilePath(const InstallInfo& info, const std::wstring& fileName);
