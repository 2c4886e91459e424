// Small helpers shared by the download tests.
#pragma once

#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace qxt::test {

inline std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

inline bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the file holds exactly these bytes; on a difference tells the sizes
// and the first differing offset instead of printing binary contents.
inline ::testing::AssertionResult HasBytes(const std::wstring& path, const std::string& expected)
{
    const std::string actual = ReadFileBytes(path);
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << "the file has " << actual.size() << " bytes, expected "
                                         << expected.size() << "; first difference at offset " << at;
}

inline bool CanOpen(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

inline bool IsReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

inline void MakeReadOnly(const std::wstring& path)
{
    ::SetFileAttributesW(path.c_str(), ::GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_READONLY);
}

// Bytes that differ from position to position, so a shifted or cut body shows.
inline std::string PatternBytes(size_t size, unsigned seed = 1)
{
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

// A folder the test run prepared on the Linux side (links to /dev/full and
// the like; see CMakeLists.txt), as a Windows path on Wine's Z: drive.
inline std::wstring LinuxFixtureFolder(const char* name)
{
    const char* build = std::getenv("QXT_BUILD_DIR");
    std::string path = std::string(build ? build : "") + "/fixtures/" + name;
    std::wstring windows = L"Z:";
    for (char c : path)
        windows.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return windows;
}

}  // namespace qxt::test
