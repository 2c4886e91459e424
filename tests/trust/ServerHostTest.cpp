#include "trust/ServerHost.h"

#include "framework/Handles.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

using qxt::test::HelperPath;
using qxt::test::LinuxFixtureFolder;
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
    // Runs the copy and returns its report: "2" (signature), "1" (trailer) or
    // "0" (built-in), a line feed, the host.
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

// The running program finds its host inside its own code signature (the
// fixtures were signed with osslsigncode and stamped by tools/stamp-host).
TEST_F(ReadServerHostTest, ReadsTheHostInTheCodeSignatureOfTheRunningExecutable)
{
    const struct {
        const char* label;
        const wchar_t* fixture;
        std::string trailer;
        std::wstring report;
    } cases[] = {
        {"signed and stamped", L"stamped.exe", "", L"2\nmirror.example.org:8443"},
        {"stamped with a scheme", L"stamped-https.exe", "", L"2\nhttps://localhost:8443"},
        {"a trailer after the signature is not read", L"stamped.exe", "$trailer.example",
         L"2\nmirror.example.org:8443"},
        {"signed, not stamped: the default", L"signed.exe", "", std::wstring(L"0\n") + kDefaultServerHost},
        {"signed, not stamped, with a trailer: still the default", L"signed.exe", "$trailer.example",
         std::wstring(L"0\n") + kDefaultServerHost},
        {"signed without a blob, with a trailer: the default", L"noblob.exe", "$trailer.example",
         std::wstring(L"0\n") + kDefaultServerHost},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string bytes = ReadFileBytes(LinuxFixtureFolder("signed-host") + L"\\" + c.fixture);
        ASSERT_FALSE(bytes.empty()) << "fixture missing (see signed_host_fixtures.sh)";
        const std::wstring program = m_dir / L"QXTSetup.exe";
        ASSERT_TRUE(WriteFileBytes(program, bytes + c.trailer));
        EXPECT_EQ(RunCopy(program), c.report);
    }
}

// The signature's blob as the stamper leaves it, changed one way per row, read
// in-process: only the blob of a signature counts, and the host ends where
// the stamper's padding begins.
TEST(ReadServerHostOf, TakesTheHostFromTheSignaturesBlobOnly)
{
    const std::string stamped = ReadFileBytes(LinuxFixtureFolder("signed-host") + L"\\stamped.exe");
    ASSERT_FALSE(stamped.empty()) << "fixture missing (see signed_host_fixtures.sh)";
    const std::string marker = "QXT-SERVER-HOST=";
    const size_t at = stamped.find(marker);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(stamped.find(marker, at + 1), std::string::npos);
    const size_t hostAt = at + marker.size();
    // Writes text over the stamped host and the padding after it.
    auto overwritten = [&](const std::string& text) {
        std::string bytes = stamped;
        bytes.replace(hostAt, text.size(), text);
        return bytes;
    };
    const std::string unsignedImage = ReadFileBytes(HelperPath(L"hostreport.exe"));
    ASSERT_FALSE(unsignedImage.empty());

    const struct {
        const char* label;
        std::string bytes;
        ServerHostSource source;
        std::wstring host;
    } cases[] = {
        {"as stamped", stamped, ServerHostSource::Signature, L"mirror.example.org:8443"},
        {"the host ends at a control byte", overwritten(std::string("a.example\x01junk", 14)),
         ServerHostSource::Signature, L"a.example"},
        {"the host ends at a blank", overwritten("b.example rest"), ServerHostSource::Signature, L"b.example"},
        {"a marker followed by padding: an empty host", overwritten(std::string(24, '\0')),
         ServerHostSource::Signature, L""},
        {"bytes above 0x7F are single characters", overwritten(std::string("h\xE9\0", 3)),
         ServerHostSource::Signature, L"h\u00E9"},
        {"a blob without the marker, and a trailer: neither counts", [&] {
             std::string bytes = stamped;
             bytes[at] = 'q';
             return bytes + "$trailer.example";
         }(),
         ServerHostSource::BuiltIn, kPreset},
        {"the marker outside a signature is never seen",
         unsignedImage + marker + "evil.example" + std::string(300, '\0'), ServerHostSource::BuiltIn, kPreset},
        {"the marker in a trailer is a trailer's host", unsignedImage + "$" + marker + "x",
         ServerHostSource::Trailer, std::wstring(L"QXT-SERVER-HOST=x")},
    };
    TempDir dir;
    const std::wstring path = dir / L"setup.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        std::wstring host = kPreset;
        EXPECT_EQ(ReadServerHostOf(path.c_str(), host), c.source);
        EXPECT_EQ(host, c.host);
    }
}

TEST(ReadServerHostOf, AMissingFileOrASignatureWithoutBlobKeepsTheHost)
{
    TempDir dir;
    std::wstring host = kPreset;
    EXPECT_EQ(ReadServerHostOf((dir / L"missing.exe").c_str(), host), ServerHostSource::BuiltIn);
    EXPECT_EQ(ReadServerHostOf(HelperPath(L"hostreport.exe").c_str(), host), ServerHostSource::BuiltIn);
    EXPECT_EQ(ReadServerHostOf((LinuxFixtureFolder("signed-host") + L"\\noblob.exe").c_str(), host),
              ServerHostSource::BuiltIn);
    EXPECT_EQ(host, kPreset);
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

// The shipped program, code-signed with a blob and stamped: the host is read
// from the signature of the program's own layout, not just the helper's.
TEST(BuiltSetupProgram, SignedAndStampedCarriesItsHostInTheSignature)
{
    const std::wstring path = LinuxFixtureFolder("signed-host") + L"\\setup-stamped.exe";
    std::wstring host = kPreset;
    EXPECT_EQ(ReadServerHostOf(path.c_str(), host), ServerHostSource::Signature);
    EXPECT_EQ(host, L"setup.example.org");
}

}  // namespace
