// Small helpers shared by the download tests.
#pragma once

#include "trust/MD5Checksum.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace qxt::test {

// The download server's request targets, as the setup program asks for them
// on a machine without the .NET Framework 4: a file, the plain list, and the
// signed list, which is asked for first.
inline const std::string kBase = "/Custom/DownloadClient?filename=";
inline const std::string kPlainTarget = kBase + "files&dotnet=0";
inline const std::string kSignedTarget = kPlainTarget + "&signed=1";

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

// The MD5 of bytes as a manifest lists it.
inline std::string Md5(const std::string& bytes)
{
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()));
    const std::wstring digest = md5.Final();
    return std::string(digest.begin(), digest.end());
}

// What a server with byte ranges answers for body: the rest after N bytes
// (206 with its Content-Range) to "Range: bytes=N-", 416 when N is not inside
// the body, and the whole body (200) to a request without a range.
inline HttpReply RangeAnswer(const std::string& body, const HttpRequestRecord& request)
{
    const std::string range = request.Header("Range");
    if (range.rfind("bytes=", 0) != 0 || range.empty() || range.back() != '-')
        return HttpReply::Ok(body);
    const unsigned long long first = std::strtoull(range.c_str() + 6, nullptr, 10);
    const std::string total = std::to_string(body.size());
    if (first >= body.size()) {
        HttpReply refused = HttpReply::Status(416, "Range Not Satisfiable");
        refused.extraHeaders.push_back("Content-Range: bytes */" + total);
        return refused;
    }
    HttpReply rest = HttpReply::Ok(body.substr(static_cast<size_t>(first)));
    rest.status = 206;
    rest.reason = "Partial Content";
    rest.extraHeaders.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                                std::to_string(body.size() - 1) + "/" + total);
    return rest;
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
