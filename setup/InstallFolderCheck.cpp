#include "setup/InstallFolderCheck.h"

#include "core/InstallInfo.h"
#include "install/UninstallEntry.h"

bool IsAbsoluteInstallFolder(const std::wstring& folder)
{
    const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    if (folder.size() >= 3 && isLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\')
        return true;

    // A name of a UNC path: not empty, not only blanks, no separator.
    const auto isName = [](const std::wstring& name) {
        return name.find_first_not_of(L" \t") != std::wstring::npos && name.find(L'/') == std::wstring::npos;
    };
    if (folder.compare(0, 2, L"\\\\") != 0)
        return false;
    const size_t serverEnd = folder.find(L'\\', 2);
    if (serverEnd == std::wstring::npos)
        return false;
    const std::wstring server = folder.substr(2, serverEnd - 2);
    const size_t shareEnd = folder.find(L'\\', serverEnd + 1);
    const std::wstring share = folder.substr(serverEnd + 1, shareEnd == std::wstring::npos ? std::wstring::npos
                                                                                           : shareEnd - serverEnd - 1);
    return isName(server) && server != L"?" && server != L"." && isName(share);
}

InstallFolderVerdict CheckInstallFolder(const std::wstring& folder)
{
    if (folder.find_first_not_of(L" \t") == std::wstring::npos)
        return InstallFolderVerdict::Empty;
    if (!IsAbsoluteInstallFolder(folder))
        return InstallFolderVerdict::NotAbsolute;
    if (!InstallFolderFits(folder))
        return InstallFolderVerdict::TooLong;
    return InstallFolderVerdict::Accepted;
}

const wchar_t* InstallFolderVerdictText(InstallFolderVerdict verdict)
{
    switch (verdict) {
    case InstallFolderVerdict::Accepted: return L"accepted";
    case InstallFolderVerdict::Empty: return L"the folder is empty";
    case InstallFolderVerdict::NotAbsolute: return L"the folder is not a full path (X:\\... or \\\\server\\share\\...)";
    case InstallFolderVerdict::TooLong: return L"the folder is too long for the installation record";
    }
    return L"";
}

bool ReadUsableInstallation(InstallInfo& info)
{
    if (ReadUninstallEntry(info) == 1 && CheckInstallFolder(info.InstallLocation) == InstallFolderVerdict::Accepted)
        return true;
    info = InstallInfo{};
    return false;
}
