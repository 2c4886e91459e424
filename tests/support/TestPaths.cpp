#include "tests/support/TestPaths.h"

#include "framework/Handles.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

namespace qxt::test {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.resize(folder.find_last_of(L'\\'));
    return folder;
}

std::wstring HelperPath(const std::wstring& fileName)
{
    // Test programs live in <build>/tests/<area>/, helpers in <build>/helpers/.
    std::wstring folder = ProgramFolder();
    for (int up = 0; up < 2; ++up)
        folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\helpers\\" + fileName;
}

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // Wine hands out the same process ids again, so a folder an earlier test
    // program could not remove may carry this name already: take the next one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[MAX_PATH] = {};
        std::swprintf(name, MAX_PATH, L"%lsqxt-test-%lu-%u", temp, ::GetCurrentProcessId(),
                      counter.fetch_add(1));
        m_path = name;
        if (::CreateDirectoryW(m_path.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

TempDir::~TempDir()
{
    // A folder that is the process's current directory cannot be removed
    // (a test may have made the folder or one below it the current directory).
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    if (::CompareStringOrdinal(current, static_cast<int>(std::min(std::wcslen(current), m_path.size())),
                               m_path.c_str(), static_cast<int>(m_path.size()), TRUE) == CSTR_EQUAL) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        ::SetCurrentDirectoryW(temp);
    }
    DeleteTree(m_path);
}

void DeleteTree(const std::wstring& path)
{
    // Downloaded files are read-only; the shell's delete removes them all the same.
    std::wstring from = path;
    from.push_back(L'\0');  // a list of names, ended by an empty one
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path)
{
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

}  // namespace qxt::test
