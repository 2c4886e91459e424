// Shell links and the all-users folders they go into.
#include "install/FinishActions.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"
#include "framework/Handles.h"
#include "framework/LogFile.h"

#include <objbase.h>
#include <shlobj.h>

namespace {

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

}  // namespace

bool CreateShortcut(const wchar_t* target, const wchar_t* workingFolder, const wchar_t* shortcutFile,
                    const wchar_t* iconPath, const wchar_t* description)
{
    // Balanced per call; a thread already in another apartment keeps it.
    const qxt::ComInitialization com;
    HRESULT saved = E_FAIL;
    {
        qxt::ComPtr<IShellLinkW> link;
        qxt::ComPtr<IPersistFile> file;
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         link.PutVoid())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) {
            link->SetPath(target);
            link->SetArguments(L"");
            link->SetDescription(description);
            link->SetWorkingDirectory(workingFolder);
            link->SetIconLocation(iconPath, 0);
            link->SetShowCmd(SW_SHOWNORMAL);
            saved = file->Save(shortcutFile, TRUE);
        }
        // The persist-file interface goes first, then the link.
        file.Reset();
        link.Reset();
    }
    LogLine(L"Shortcut %ls -> %ls: %ls", shortcutFile, target, SUCCEEDED(saved) ? L"saved" : L"not saved");
    return SUCCEEDED(saved);
}

std::wstring GetDesktopShortcutPath()
{
    std::wstring path = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    AppendBackslash(path);
    return path + kClientShortcutFile;
}

std::wstring GetProgramGroupPath()
{
    std::wstring path = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    AppendBackslash(path);
    return path + kClientFolderName + L"\\";
}
