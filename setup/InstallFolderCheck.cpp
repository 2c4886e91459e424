#include "setup/InstallFolderCheck.h"

#include "core/InstallInfo.h"
#include "framework/DeviceName.h"
#include "install/UninstallEntry.h"

namespace {

bool IsRefusedCharacter(wchar_t c)
{
    switch (c) {
    case L'<':
    case L'>':
    case L':':
    case L'"':
    case L'/':
    case L'|':
    case L'?':
    case L'*':
        return true;
    default:
        return c < 0x20;
    }
}

bool IsValidName(const std::wstring& name)
{
    for (wchar_t c : name) {
        if (IsRefusedCharacter(c))
            return false;
    }
    // The system drops a trailing dot or blank, so the folder made would not
    // be the one recorded.
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsDeviceName(name);
}

}  // namespace

bool HasOnlyValidNames(const std::wstring& folder)
{
    size_t begin = 0;
    if (folder.compare(0, 2, L"\\\\") == 0)
        begin = 2;
    else if (folder.size() >= 2 && folder[1] == L':')
        begin = 2;
    while (begin <= folder.size()) {
        size_t end = folder.find(L'\\', begin);
        if (end == std::wstring::npos)
            end = folder.size();
        if (end > begin && !IsValidName(folder.substr(begin, end - begin)))
            return false;
        begin = end + 1;
    }
    return true;
}

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
    if (!HasOnlyValidNames(folder))
        return InstallFolderVerdict::InvalidName;
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
    case InstallFolderVerdict::InvalidName:
        return L"the folder has a character or a name Windows does not allow (<>:\"/|?*, a control character, "
               L"a name ending in a dot or a blank, a device name such as CON or LPT1)";
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
