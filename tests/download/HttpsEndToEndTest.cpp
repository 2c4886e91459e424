// Downloads over HTTPS from the reference nginx server with test
// certificates (https_e2e.sh makes them, starts one server per certificate
// and trusts the test authority in the prefix's Root store). WinInet checks
// every certificate itself: a trusted server installs the sample client, and
// a certificate problem ends the download at its first request, with the
// problem named for the box and WinInet's code in the log. Environment:
//   QXT_HTTPS_FILES       Windows path of the server's files folder
//   QXT_HTTPS_MANIFEST    Windows path of the manifest the servers hand out
//   QXT_HTTPS_TRUSTED     https://localhost:PORT, a certificate of the trusted authority
//   QXT_HTTPS_UNTRUSTED   https://localhost:PORT, issued by an authority nobody trusts (whole chain sent)
//   QXT_HTTPS_WRONG_NAME  https://localhost:PORT, a certificate for another name
//   QXT_HTTPS_EXPIRED     https://localhost:PORT, a certificate valid only in 2020
#include "download/DownloadClientFiles.h"

#include "core/SetupMessages.h"
#include "framework/LogFile.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace qxt::test;

namespace {

std::wstring Environment(const char* name)
{
    const char* value = std::getenv(name);
    return Widen(value ? value : "");
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

std::string Utf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

// Every file a folder holds, "Client.txt" and "name.tmp" included.
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

// One download into a fresh folder, with its own log.
struct Outcome {
    BOOL result = FALSE;
    DownloadFailure failure;
    std::string log;
    std::wstring folder;
    InstallInfo info{};
};

void Download(const std::wstring& host, TempDir& dir, Outcome& run)
{
    run.folder = dir / L"QXTClient";
    wcscpy_s(run.info.InstallLocation, run.folder.c_str());
    ASSERT_TRUE(ProcessLog().Open(dir / L"run.log", L""));
    MessageRecorder recorder;
    volatile LONG cancel = 0;
    // Short pauses: a wrongly retried refusal would still show in the log.
    DownloadTimings timings;
    timings.retryPausesMs = {10, 10, 10};
    run.failure.code = SETUP_CANCELLED;
    run.failure.detail = L"left from before";
    run.result = DownloadClientFiles(host.c_str(), &cancel, recorder.Window(), run.info, timings, &run.failure);
    ProcessLog().Close();
    run.log = ReadFileBytes(dir / L"run.log");
}

TEST(HttpsEndToEnd, ATrustedServerInstallsTheSampleClient)
{
    const std::wstring host = Environment("QXT_HTTPS_TRUSTED");
    const std::wstring files = Environment("QXT_HTTPS_FILES");
    const std::string manifest = ReadFileBytes(Environment("QXT_HTTPS_MANIFEST"));
    ASSERT_FALSE(host.empty()) << "started by https_e2e.sh";
    ASSERT_FALSE(manifest.empty());

    TempDir dir;
    Outcome run;
    Download(host, dir, run);
    EXPECT_EQ(run.result, TRUE) << run.log;
    EXPECT_TRUE(HasBytes(run.folder + L"\\Client.txt", manifest));
    size_t count = 0;
    for (size_t start = 0; start < manifest.size(); ++count) {
        const size_t end = manifest.find("\r\n", start);
        const std::string line = manifest.substr(start, end - start);
        start = end + 2;
        const std::wstring name = Widen(line.substr(0, line.find('|')));
        const std::string bytes = ReadFileBytes(files + L"\\" + name);
        ASSERT_FALSE(bytes.empty());
        EXPECT_TRUE(HasBytes(run.folder + L"\\" + name, bytes)) << line;
    }
    EXPECT_GE(count, 2u);
    EXPECT_NE(run.log.find("GET " + Utf8(host) + "/Custom/DownloadClient?filename=files&dotnet="), std::string::npos)
        << run.log;
}

TEST(HttpsEndToEnd, ACertificateProblemEndsTheDownloadAtItsFirstRequestWithNothingInstalled)
{
    static const struct {
        const char* variable;
        DWORD error;
        const wchar_t* detail;
    } cases[] = {
        {"QXT_HTTPS_UNTRUSTED", ERROR_INTERNET_INVALID_CA, L"安全连接失败：服务器的证书不是受信任的机构颁发的。"},
        {"QXT_HTTPS_WRONG_NAME", ERROR_INTERNET_SEC_CERT_CN_INVALID, L"安全连接失败：服务器的证书与服务器名称不符。"},
        {"QXT_HTTPS_EXPIRED", ERROR_INTERNET_SEC_CERT_DATE_INVALID, L"安全连接失败：服务器的证书已过期或尚未生效。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        const std::wstring host = Environment(c.variable);
        ASSERT_FALSE(host.empty()) << "started by https_e2e.sh";
        TempDir dir;
        Outcome run;
        Download(host, dir, run);
        EXPECT_EQ(run.result, FALSE);
        EXPECT_EQ(run.failure.code, SETUP_ERR_DOWNLOAD);
        EXPECT_EQ(run.failure.detail, c.detail);
        EXPECT_TRUE(FilesIn(run.folder).empty()) << "something was written to the install folder";
        // WinInet's code in the log, once: a refused certificate is not retried.
        const std::string code = "(" + std::to_string(c.error) + ")";
        EXPECT_EQ(Occurrences(run.log, code), 1u) << run.log;
        EXPECT_EQ(Occurrences(run.log, "retry"), 0u) << run.log;
        EXPECT_NE(run.log.find("GET " + Utf8(host) + "/Custom/DownloadClient?filename=files&dotnet="), std::string::npos)
            << run.log;
    }
}

// Run by https_e2e.sh before it trusts the test authority: the server the
// other tests trust is refused, which shows that WinInet under Wine looks for
// the authority in the prefix's Root store. That server sends no chain, so
// WinInet cannot find the issuer at all and says it could not check the
// certificate (12057), as Windows does for a partial chain.
TEST(HttpsBeforeTrust, TheServerIsRefusedUntilItsAuthorityIsInTheRootStore)
{
    const std::wstring host = Environment("QXT_HTTPS_TRUSTED");
    ASSERT_FALSE(host.empty()) << "started by https_e2e.sh";
    TempDir dir;
    Outcome run;
    Download(host, dir, run);
    EXPECT_EQ(run.result, FALSE);
    EXPECT_EQ(run.failure.detail, L"安全连接失败：无法验证服务器的证书（颁发机构未知，或无法确认证书是否已被吊销）。");
    EXPECT_EQ(Occurrences(run.log, "(12057)"), 1u) << run.log;
    EXPECT_EQ(Occurrences(run.log, "retry"), 0u) << run.log;
    EXPECT_TRUE(FilesIn(run.folder).empty());
}

}  // namespace
