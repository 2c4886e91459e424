#include "core/InstallInfo.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"
#include "framework/FormatText.h"
#include "framework/FileVersion.h"

#include <cstring>
#include <cwchar>

namespace {

// Copies text into a record field only when it fits whole; a path cut short
// would name some other file, so a value that does not fit leaves the field empty.
void SetField(WCHAR (&field)[MAX_PATH], const std::wstring& text)
{
    if (text.size() < MAX_PATH)
        std::wmemcpy(field, text.c_str(), text.size() + 1);
    else
        field[0] = L'\0';
}

}  // namespace

std::wstring InstallFilePath(const std::wstring& location, const std::wstring& fileName)
{
    std::wstring path = location;
    AppendBackslash(path);
    path += fileName;
    return path;
}

std::wstring InstallFilePath(const InstallInfo& info, const std::wstring& fileName)
{
    return InstallFilePath(std::wstring(info.InstallLocation), fileName);
}

bool InstallFolderFits(const std::wstring& folder)
{
    // The record holds the folder, the client path with ",0" and the
    // uninstaller path; the other paths later steps build inside the folder
    // are strings of their own and are not held in the record.
    const std::wstring icon = InstallFilePath(folder, kClientExe) + L",0";
    const std::wstring uninstaller = InstallFilePath(folder, kUninstallerExe);
    return folder.size() < MAX_PATH && icon.size() < MAX_PATH && uninstaller.size() < MAX_PATH;
}

void FillClientVersion(InstallInfo& info, const std::wstring& clientPath)
{
    VS_FIXEDFILEINFO version{};
    if (clientPath.size() < MAX_PATH && GetFileVersion(clientPath.c_str(), &version)) {
        info.MajorVersion = HIWORD(version.dwFileVersionMS);
        info.MinorVersion = LOWORD(version.dwFileVersionMS);
        FormatText(info.DisplayVersion, MAX_PATH, L"%d.%d.%d.%d",
                      HIWORD(version.dwFileVersionMS), LOWORD(version.dwFileVersionMS),
                      HIWORD(version.dwFileVersionLS), LOWORD(version.dwFileVersionLS));
    } else {
        info.MajorVersion = 1;
        info.MinorVersion = 0;
        SetField(info.DisplayVersion, L"1.0");
    }
}

void FillInstallInfo(InstallInfo& info, const std::wstring& folder)
{
    std::memset(&info, 0, sizeof info);

    SetField(info.DisplayName, kDisplayName);
    SetField(info.HelpLink, L"");
    SetField(info.Publisher, kPublisher);
    SetField(info.URLInfoAbout, L"");
    SetField(info.URLUpdateInfo, L"");
    SetField(info.InstallLocation, folder);

    info.EstimatedSize = 0;
    info.NoModify = 1;
    info.NoRepair = 1;

    const std::wstring clientPath = InstallFilePath(folder, kClientExe);
    SetField(info.DisplayIcon, clientPath + L",0");
    SetField(info.UninstallString, InstallFilePath(folder, kUninstallerExe));

    FillClientVersion(info, clientPath);

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FormatText(info.InstallDate, MAX_PATH, L"%4d%02d%02d", now.wYear, now.wMonth, now.wDay);
}
