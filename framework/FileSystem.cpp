#include "framework/FileSystem.h"

#include "framework/Handles.h"

#include <cwchar>
#include <string>
#include <vector>

void AppendBackslash(std::wstring& path)
{
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
}

bool FileExists(const wchar_t* path)
{
    WIN32_FIND_DATAW data{};
    qxt::UniqueFindHandle find(::FindFirstFileW(path, &data));
    return static_cast<bool>(find);
}

DirectoryState DirectoryExists(const wchar_t* path)
{
    const wchar_t* drive = std::wcsstr(path, L":\\");
    if (drive == nullptr || drive == path)
        return DirectoryState::NotChecked;

    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    const BOOL entered = ::SetCurrentDirectoryW(path);
    ::SetCurrentDirectoryW(current);
    return entered ? DirectoryState::Exists : DirectoryState::Missing;
}

bool CreateDirectoryTree(const wchar_t* path)
{
    if (::SetCurrentDirectoryW(path))
        return true;

    // Every level of the path, from the drive down: the text before each
    // backslash and, at the last character, the whole path.
    const std::wstring whole = path;
    std::vector<std::wstring> levels;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (whole[i] == L'\\')
            levels.push_back(whole.substr(0, i));
        if (i + 1 == whole.size())
            levels.push_back(whole);
    }

    // The first level is the drive, which cannot be created.
    for (size_t i = 1; i < levels.size(); ++i) {
        if (::CreateDirectoryW(levels[i].c_str(), nullptr))
            ::SetFileAttributesW(levels[i].c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return ::SetCurrentDirectoryW(path) != FALSE;
}

bool FreeSpaceFor(const wchar_t* path, ULONGLONG& available)
{
    ULARGE_INTEGER caller{};
    if (!::GetDiskFreeSpaceExW(path, &caller, nullptr, nullptr))
        return false;
    available = caller.QuadPart;
    return true;
}
