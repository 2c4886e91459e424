#include "install/SystemHelpers.h"

#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/SystemErrorText.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

DWORD RunAndWait(const wchar_t* program, const wchar_t* parameters, bool show, bool wait)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No shell UI: the shell's own error box would come first, and closing it
    // resets the last error, so our box would then read "success".
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = show ? SW_SHOW : SW_HIDE;
    if (!::ShellExecuteExW(&info)) {
        AfxMessageBox(LastErrorText(), MB_OK);
        return 0;
    }

    qxt::UniqueKernelHandle process(info.hProcess);
    // A start handed to an already running program (DDE) yields no process to wait for.
    if (!wait || !process)
        return 0;

    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.Get(), &exitCode))
        return 0;
    return exitCode;
}

bool GetFileVersion(const wchar_t* path, VS_FIXEDFILEINFO* version)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return false;

    // Twice the reported size: some systems write past it when converting ANSI blocks.
    auto buffer = std::make_unique<BYTE[]>(size * 2);
    if (!::GetFileVersionInfoW(path, 0, size * 2, buffer.get()))
        return false;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueW(buffer.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;

    *version = *fixed;
    return true;
}

bool KillProcessesByName(const wchar_t* exeName)
{
    qxt::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID != 0 && ::lstrcmpiW(entry.szExeFile, exeName) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    snapshot.Reset();

    // Only the first process by that name is ended.
    if (found != 0) {
        qxt::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, found));
        if (process)
            ::TerminateProcess(process.Get(), 0);
    }
    return true;
}

bool ReadRegistryDword(const wchar_t* subKey, DWORD* value)
{
    qxt::UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return false;
    // The value's type is not examined: any value of four bytes is taken.
    DWORD size = sizeof(DWORD);
    return ::RegQueryValueExW(key.Get(), L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                              &size) == ERROR_SUCCESS;
}

bool FileExists(const wchar_t* path)
{
    WIN32_FIND_DATAW data{};
    qxt::UniqueFindHandle find(::FindFirstFileW(path, &data));
    return static_cast<bool>(find);
}

int DirectoryExists(const wchar_t* path)
{
    const wchar_t* drive = std::wcsstr(path, L":\\");
    if (drive == nullptr || drive == path)
        return 2;

    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    const BOOL entered = ::SetCurrentDirectoryW(path);
    ::SetCurrentDirectoryW(current);
    return entered ? 1 : 0;
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
