#include "setup/InstallLocation.h"

#include "framework/Handles.h"

#include <shlobj.h>

#include <cstdio>
#include <memory>

const wchar_t CLIENT_FOLDER_NAME[] = L"QXTClient";

namespace {

// Frees the item identifier list the folder browser returns.
struct ItemIdListDeleter {
    void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};

}  // namespace

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

std::wstring GetDefaultInstallPath(HWND owner)
{
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(owner, folder, CSIDL_PROGRAM_FILESX86, FALSE) &&
        !::SHGetSpecialFolderPathW(owner, folder, CSIDL_PROGRAM_FILES, FALSE))
        folder[0] = L'\0';

    wchar_t path[2 * MAX_PATH] = {};
    std::swprintf(path, 2 * MAX_PATH, L"%ls\\%ls", folder, CLIENT_FOLDER_NAME);
    return path;
}

std::wstring InstallPathForChosenFolder(const wchar_t* chosen)
{
    std::wstring path = std::wstring(chosen) + L"\\" + CLIENT_FOLDER_NAME;
    for (size_t at = path.find(L"\\\\"); at != std::wstring::npos; at = path.find(L"\\\\", at))
        path.erase(at, 1);
    return path;
}

bool BrowseForInstallFolder(const wchar_t* title, wchar_t* path, HWND owner)
{
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallbackProc;
    info.lParam = reinterpret_cast<LPARAM>(path);

    std::unique_ptr<ITEMIDLIST, ItemIdListDeleter> chosen(::SHBrowseForFolderW(&info));
    if (!chosen)
        return false;
    return ::SHGetPathFromIDListW(chosen.get(), path) != FALSE;
}

int CALLBACK BrowseCallbackProc(HWND browser, UINT message, LPARAM param, LPARAM /*data*/)
{
    wchar_t folder[MAX_PATH] = {};
    switch (message) {
    case BFFM_INITIALIZED:
        if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILESX86, FALSE))
            ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder));
        break;
    case BFFM_SELCHANGED:
        if (::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), folder))
            ::SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(folder));
        break;
    default:
        break;
    }
    return 0;
}
