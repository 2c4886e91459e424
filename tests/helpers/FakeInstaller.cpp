// fakeinstaller.exe: stands in for a downloaded installer (or the client) once
// a test has copied it into an install folder under the real file's name.
//
// Every run appends one UTF-8 line to "installers.log" beside itself:
//     NAME|PARAMETERS|CURRENT FOLDER[|ACL]
// NAME is its own file name, PARAMETERS the command line after the program,
// exactly as it was given. What it does is read from the section NAME of
// "installers.ini" beside itself:
//     ExitCodes=1,0      exit code of the 1st, 2nd, ... run (the last repeats; default 0)
//     RecordAcl=1        appends the access list of the key
//                        HKLM\SOFTWARE\Microsoft\Internet Explorer\MAIN as SDDL
//     FlashPath=PATH     registers the Flash plug-in: "Path" = PATH in the key
//                        HKLM\SOFTWARE\MozillaPlugins\@adobe.com/FlashPlayer
//     StayRunning=1      keeps running until it is ended (at most ten minutes)
#include "HelperText.h"
#include "tests/support/IeMainAcl.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace {


int RunsSoFar(const std::wstring& log, const std::string& name)
{
    HANDLE file = ::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    ::CloseHandle(file);
    int runs = 0;
    const std::string prefix = name + "|";
    for (size_t begin = 0; begin < text.size();) {
        if (text.compare(begin, prefix.size(), prefix) == 0)
            ++runs;
        const size_t end = text.find('\n', begin);
        begin = end == std::string::npos ? text.size() : end + 1;
    }
    return runs;
}

void Append(const std::wstring& log, const std::string& line)
{
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

int wmain()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    folder.resize(folder.find_last_of(L'\\') + 1);
    const std::wstring control = folder + L"installers.ini";
    const std::wstring log = folder + L"installers.log";

    auto read = [&](const wchar_t* key) {
        wchar_t value[1024] = {};
        ::GetPrivateProfileStringW(name.c_str(), key, L"", value, 1024, control.c_str());
        return std::wstring(value);
    };

    std::vector<int> exitCodes;
    const std::wstring codes = read(L"ExitCodes");
    for (size_t begin = 0; begin < codes.size();) {
        size_t end = codes.find(L',', begin);
        if (end == std::wstring::npos)
            end = codes.size();
        exitCodes.push_back(std::stoi(codes.substr(begin, end - begin)));
        begin = end + 1;
    }
    const int run = RunsSoFar(log, Utf8(name));

    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring line = name + L"|" + ProcessParameters() + L"|" + current;
    if (read(L"RecordAcl") == L"1")
        line += L"|" + IeMainAcl();
    Append(log, Utf8(line) + "\n");

    const std::wstring flashPath = read(L"FlashPath");
    if (!flashPath.empty()) {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MozillaPlugins\\@adobe.com/FlashPlayer", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(flashPath.c_str()),
                             static_cast<DWORD>((flashPath.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(key);
        }
    }

    if (read(L"StayRunning") == L"1")
        ::Sleep(10 * 60 * 1000);

    if (exitCodes.empty())
        return 0;
    return exitCodes[static_cast<size_t>(run) < exitCodes.size() ? run : exitCodes.size() - 1];
}
