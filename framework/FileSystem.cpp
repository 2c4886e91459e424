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

namespace {

// Asks for the attributes only: entering the folder to test it would change
// the current directory, which every thread of the process shares.
bool IsFolder(const wchar_t* path)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

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
    return IsFolder(path) ? DirectoryState::Exists : DirectoryState::Missing;
}

bool CreateDirectoryTree(const wchar_t* path)
{
    if (IsFolder(path))
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
    return IsFolder(path);
}

bool CreateMissingFolder(const wchar_t* path)
{
    switch (DirectoryExists(path)) {
    case DirectoryState::Exists:
        return true;
    case DirectoryState::Missing:
        return CreateDirectoryTree(path);
    case DirectoryState::NotChecked:
        break;
    }
    // Device paths (\\?\, \\.\) are no network folders.
    const bool network = path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.';
    return network && CreateDirectoryTree(path);
}

bool FreeSpaceFor(const wchar_t* path, ULONGLONG& available)
{
    ULARGE_INTEGER caller{};
    if (!::GetDiskFreeSpaceExW(path, &caller, nullptr, nullptr))
        return false;
    available = caller.QuadPart;
    return true;
}

bool FileLengthAndWrite(const wchar_t* path, ULONGLONG& length, FILETIME& written)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    length = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    written = data.ftLastWriteTime;
    return true;
}
