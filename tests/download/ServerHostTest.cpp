#include "download/ServerHost.h"

#include "framework/Handles.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

using qxt::test::HelperPath;
using qxt::test::ReadFileBytes;
using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

namespace {

const wchar_t kPreset[] = L"preset.example";

std::string Bytes(size_t count, char value)
{
    return std::string(count, value);
}

TEST(ReadHostTrailer, FindsTheFirstMarkerInTheLastBytesOfTheFile)
{
    const std::string host259 = Bytes(259, 'h');
    const std::string padding = Bytes(4096, '\0');
    static const std::string noTrailer;
    const struct {
        const char* label;
        std::string bytes;
        bool found;
        std::wstring host;  // expected afterwards
    } cases[] = {
        {"no trailer keeps the host", padding, false, kPreset},
        {"12-byte host at the very end", padding + "$dl.quolix.cn", true, L"dl.quolix.cn"},
        {"marker at length-260 leaves room for 259 bytes", padding + "$" + host259, true,
         std::wstring(259, L'h')},
        {"marker at length-261 is out of reach", padding + "$" + Bytes(260, 'h'), false, kPreset},
        {"a marker earlier in the file is never seen", "$early" + padding, false, kPreset},
        {"only the first marker counts", padding + "$a$b", true, L"a$b"},
        {"a 0x24 in the padding inside the window is the marker", padding + "$" + Bytes(10, '\0') + "$host",
         true, std::wstring(10, L'\0') + L"$host"},
        {"an early marker outside the window is skipped", "$x" + padding + "$host", true, L"host"},
        {"spaces around the host", padding + "$  host.example  ", true, L"host.example"},
        {"carriage return and line feed", padding + "$host.example\r\n", true, L"host.example"},
        {"every white space kind, 0xA0 included", padding + "$\t\n\v\f\r \xA0host\xA0 \r\n\f\v\t", true, L"host"},
        {"white space inside is kept", padding + "$a b", true, L"a b"},
        {"bytes above 0x7F are single characters", padding + "$h\x80\xE9\xFF", true, L"h\u0080\u00E9\u00FF"},
        {"marker on the last byte", padding + "$", true, L""},
        {"marker and white space only", padding + "$ \r\n", true, L""},
        {"short file, searched from its start", "$short", true, L"short"},
        {"short file without marker", "short", false, kPreset},
        {"file of exactly 260 bytes, marker first", "$" + host259, true, std::wstring(259, L'h')},
        {"empty file", noTrailer, false, kPreset},
    };
    TempDir dir;
    const std::wstring path = dir / L"setup.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        std::wstring host = kPreset;
        EXPECT_EQ(ReadHostTrailer(path.c_str(), host), c.found);
        EXPECT_EQ(host, c.host);
    }
}

TEST(ReadHostTrailer, AFileThatCannotBeOpenedKeepsTheHost)
{
    TempDir dir;
    std::wstring host = kPreset;
    EXPECT_FALSE(ReadHostTrailer((dir / L"missing.exe").c_str(), host));
    EXPECT_EQ(host, kPreset);
    EXPECT_FALSE(ReadHostTrailer(dir.Path().c_str(), host)) << "a folder";
    EXPECT_EQ(host, kPreset);
}

TEST(ReadHostTrailer, ReadsAFileThatOthersHaveOpenForWriting)
{
    TempDir dir;
    const std::wstring path = dir / L"setup.exe";
    ASSERT_TRUE(WriteFileBytes(path, Bytes(1000, '\0') + "$shared.example"));
    qxt::UniqueFileHandle writer(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
    ASSERT_TRUE(writer);
    std::wstring host = kPreset;
    EXPECT_TRUE(ReadHostTrailer(path.c_str(), host));
    EXPECT_EQ(host, L"shared.example");
}

TEST(DefaultServerHost, IsAPlainHostOfTwelveCharacters)
{
    // The shipped trailer is "$" and the same host: 13 bytes.
    const std::wstring host = kDefaultServerHost;
    EXPECT_EQ(host.size(), 12u);
    EXPECT_EQ(host.find_first_of(L"/:$ \t\r\n"), std::wstring::npos);
}

// ReadServerHost reads the running executable: a helper program reports what
// it finds in its own file, once as built and once with trailers appended.
class ReadServerHostTest : public ::testing::Test {
protected:
    // Runs the copy and returns its report: "1" or "0", a line feed, the host.
    std::wstring RunCopy(const std::wstring& program)
    {
        const std::wstring report = m_dir / L"report.txt";
        ::DeleteFileW(report.c_str());
        std::wstring commandLine = L"\"" + program + L"\" \"" + report + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info))
            return L"(not started)";
        qxt::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
        if (::WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.Get(), 1);
            ::WaitForSingleObject(process.Get(), 10000);
            return L"(did not end)";
        }
        const std::string bytes = ReadFileBytes(report);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

    TempDir m_dir;
};

TEST_F(ReadServerHostTest, ReadsTheTrailerOfTheRunningExecutable)
{
    const std::string built = ReadFileBytes(HelperPath(L"hostreport.exe"));
    ASSERT_GT(built.size(), 260u);
    ASSERT_EQ(built.find('$', built.size() - 260), std::string::npos)
        << "the helper as built must end without a marker";

    const struct {
        const char* label;
        std::string trailer;
        std::wstring report;
    } cases[] = {
        {"as built: the default stays", "", std::wstring(L"0\n") + kDefaultServerHost},
        {"stamped host", "$mirror.example.org", L"1\nmirror.example.org"},
        {"stamped host with a line end", "$10.0.0.7:8080\r\n", L"1\n10.0.0.7:8080"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring program = m_dir / L"QXTSetup.exe";
        ASSERT_TRUE(WriteFileBytes(program, built + c.trailer));
        EXPECT_EQ(RunCopy(program), c.report);
    }
}

// The shipped program itself, as the build leaves it: its image ends in bytes
// without a marker, so unstamped it keeps its default host, and a "$host"
// appended straight after the image is found without any padding.
TEST(BuiltSetupProgram, ReadsItsDefaultHostOrAPlainAppendedTrailer)
{
    const std::string built = ReadFileBytes(HelperPath(L"..\\QXTSetup.exe"));
    ASSERT_GT(built.size(), 4096u) << "QXTSetup.exe not built";

    const struct {
        const char* label;
        std::string trailer;
        bool found;
        std::wstring host;
    } cases[] = {
        {"as built", "", false, kPreset},
        {"a short host appended", "$127.0.0.1:8080", true, L"127.0.0.1:8080"},
        {"the default host appended", "$dl.quolix.cn", true, L"dl.quolix.cn"},
        {"a host of 259 bytes appended", "$" + Bytes(259, 'h'), true, std::wstring(259, L'h')},
    };
    TempDir dir;
    const std::wstring path = dir / L"QXTSetup.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(WriteFileBytes(path, built + c.trailer));
        std::wstring host = kPreset;
        EXPECT_EQ(ReadHostTrailer(path.c_str(), host), c.found);
        EXPECT_EQ(host, c.host);
    }
}

}  // namespace
