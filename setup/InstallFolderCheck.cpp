#include "setup/InstallFolderCheck.h"

#include "core/InstallInfo.h"

#include <cwctype>

namespace {

bool IsAbsolute(const std::wstring& folder)
{
    const bool drive = folder.size() >= 3 && std::iswalpha(folder[0]) && folder[1] == L':' &&
                       (folder[2] == L'\\' || folder[2] == L'/');
    const bool unc = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\';
    return drive || unc;
}

}  // namespace

InstallFolderVerdict CheckInstallFolder(const std::wstring& folder)
{
    if (folder.find_first_not_of(L" \t") == std::wstring::npos)
        return InstallFolderVerdict::Empty;
    if (!IsAbsolute(folder))
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
