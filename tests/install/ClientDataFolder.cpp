#include "tests/install/ClientDataFolder.h"

#include "tests/support/TestPaths.h"

#include <windows.h>
#include <shlobj.h>

namespace qxt::test {

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
    // A test may have entered the folder; it has to be left before the folder goes.
    ::SetCurrentDirectoryW(m_currentFolder.c_str());
    Remove();
}

void ClientDataFolder::Remove()
{
    DeleteTree(Company());
}

}  // namespace qxt::test
