#include "setup/InstallLocation.h"

#include "core/ProductNames.h"
#include "framework/FormatText.h"
#include "framework/Handles.h"

#include <shlobj.h>

#include <memory>

namespace {

// Frees the item identifier list the folder browser returns.
struct ItemIdListDeleter {
    void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};

}  // namespace

std::wstring GetDefaultInstallPath(HWND owner)
{
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(owner, folder, CSIDL_PROGRAM_FILESX86, FALSE) &&
        !::SHGetSpecialFolderPathW(owner, folder, CSIDL_PROGRAM_FILES, FALSE))
        folder[0] = L'\0';

    wchar_t path[2 * MAX_PATH] = {};
    FormatText(path, 2 * MAX_PATH, L"%ls\\%ls", folder, kClientFolderName);
    return path;
}

std::wstring InstallPathForChosenFolder(const wchar_t* chosen)
{
    std::wstring path = std::wstring(chosen) + L"\\" + kClientFolderName;
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
