#include "install/FinishActions.h"

#include "framework/Handles.h"
#include "framework/ShellDelete.h"
#include "install/ClientConfig.h"

#include <cwchar>

namespace {

bool IsKeptFolder(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0 || ::lstrcmpiW(name, L"Update") == 0 ||
           ::lstrcmpiW(name, L"Config") == 0;
}

}  // namespace

BOOL CleanClientDataFolder()
{
    const std::wstring folder = GetClientDataFolder();
    WIN32_FIND_DATAW entry{};
    qxt::UniqueFindHandle find(::FindFirstFileW((folder + L"*.*").c_str(), &entry));
    if (!find)
        return TRUE;
    do {
        // Files directly in the data folder are the client's own and stay.
        // The installation's worker thread runs this: no window of the
        // shell, whether anybody watches or not.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsKeptFolder(entry.cFileName))
            ShellDeleteSilently(folder + entry.cFileName);
    } while (::FindNextFileW(find.Get(), &entry));
    return TRUE;
}
