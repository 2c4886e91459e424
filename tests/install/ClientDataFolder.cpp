#include "tests/install/ClientDataFolder.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace qxt::test {

void DeleteTree(const std::wstring& path)
{
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

std::wstring ClientDataFolder::AppData()
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE);
    return path;
}

ClientDataFolder::ClientDataFolder()
{
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    m_currentFolder = current;
    Remove();
}

ClientDataFolder::~ClientDataFolder()
{
    // Creating folders moves the process into them; it has to leave before they go.
    ::SetCurrentDirectoryW(m_currentFolder.c_str());
    Remove();
}

void ClientDataFolder::Remove()
{
    DeleteTree(Company());
}

}  // namespace qxt::test
