// A silent run against stand-in operations: every failure is answered Abort
// at once, the run's code comes back as the exit code, and the log ends with
// the failed step. (Successful runs, whose finish actions change the machine,
// are covered end to end by the setup program's tests.)
#include "setup/SilentInstall.h"

#include "core/SetupMessages.h"
#include "framework/LogFile.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using qxt::test::ReadFileBytes;
using qxt::test::TempDir;

// Operations that only count their calls; the one named in failing fails
// every time.
struct CountingOperations {
    std::map<std::string, int> calls;
    std::string failing;
    DownloadFailure downloadFailure;  // what a failing download says
    std::wstring downloadError;       // and logs before it returns

    SetupOperations Table()
    {
        SetupOperations ops;
        auto step = [this](const char* name) {
            return [this, name](InstallInfo&) {
                ++calls[name];
                return failing == name ? FALSE : TRUE;
            };
        };
        ops.KillFirstProcessByName = [this](const wchar_t*) { ++calls["KillFirstProcessByName"]; };
        ops.FillInstallInfo = [this](InstallInfo& info, const std::wstring& folder) {
            ++calls["FillInstallInfo"];
            ::FillInstallInfo(info, folder);
        };
        ops.ReadServerHost = [this](std::wstring&) { ++calls["ReadServerHost"]; };
        ops.DownloadClientFiles = [this](const wchar_t*, const volatile LONG*, HWND window, InstallInfo&,
                                         DownloadFailure& failure) {
            ++calls["DownloadClientFiles"];
            if (failing != "DownloadClientFiles")
                return TRUE;
            const std::wstring text = L"正在下载...QXTClient.exe : 失败!";
            ::SendMessageW(window, WM_DOWNLOAD_FAILED, reinterpret_cast<WPARAM>(&text), 0);
            if (!downloadError.empty())
                LogError(L"%ls", downloadError.c_str());
            failure = downloadFailure;
            return FALSE;
        };
        ops.InstallDotNetFramework = step("InstallDotNetFramework");
        ops.InstallFlashPlugin = step("InstallFlashPlugin");
        ops.InstallX264Encoder = step("InstallX264Encoder");
        ops.InstallAvcDecoder = step("InstallAvcDecoder");
        ops.UnregisterComServer = [this](const wchar_t*, InstallInfo&) { ++calls["UnregisterComServer"]; };
        ops.DeleteRegistryKey = [this](HKEY, const wchar_t*) { ++calls["DeleteRegistryKey"]; };
        ops.InstallCodecs = step("InstallCodecs");
        ops.WriteClientConfig = [this](const wchar_t*, InstallInfo&) { ++calls["WriteClientConfig"]; };
        ops.WriteUninstallEntry = step("WriteUninstallEntry");
        ops.CleanClientDataFolder = [this] { ++calls["CleanClientDataFolder"]; };
        ops.Pause = [](DWORD) {};
        return ops;
    }
};

class SilentInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A fresh installation whatever other tests left in the prefix.
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient");
        ASSERT_TRUE(ProcessLog().Open(m_dir / L"run.log", L""));
    }
    void TearDown() override { ProcessLog().Close(); }

    std::string Log()
    {
        ProcessLog().Close();
        return ReadFileBytes(m_dir / L"run.log");
    }

    TempDir m_dir;
};

TEST_F(SilentInstall, EveryFailureIsAbortedAtOnceAndEndsTheRunWithItsCode)
{
    static const struct {
        const char* failing;
        int code;
        const char* closingLine;
    } cases[] = {
        {"DownloadClientFiles", SETUP_ERR_DOWNLOAD, "Installation failed at step: download of the client's files"},
        {"InstallDotNetFramework", SETUP_ERR_DOTNET, "Installation failed at step: .NET Framework"},
        {"InstallFlashPlugin", SETUP_ERR_FLASH, "Installation failed at step: Flash plug-in"},
        {"InstallX264Encoder", SETUP_ERR_X264, "Installation failed at step: x264 encoder"},
        {"InstallAvcDecoder", SETUP_ERR_AVC_DECODER, "Installation failed at step: AVC decoder"},
        {"InstallCodecs", SETUP_ERR_CODECS, "Installation failed at step: codec registration"},
        {"WriteUninstallEntry", SETUP_ERR_UNINSTALL_ENTRY, "Installation failed at step: uninstall entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        ASSERT_TRUE(ProcessLog().Open(m_dir / L"run.log", L""));
        CountingOperations ops;
        ops.failing = c.failing;
        SilentInstallOptions options;
        options.hasFolder = true;
        options.folder = m_dir / L"Quolix";
        EXPECT_EQ(RunSilentInstall(options, ops.Table()), c.code);
        EXPECT_EQ(ops.calls[c.failing], 1) << "a failed step is not retried";
        EXPECT_EQ(ops.calls["WriteUninstallEntry"], std::string(c.failing) == "WriteUninstallEntry" ? 1 : 0);
        EXPECT_EQ(ops.calls["CleanClientDataFolder"], 0);
        const std::string log = Log();
        EXPECT_NE(log.find(c.closingLine), std::string::npos) << log;
        EXPECT_EQ(log.find("Finish actions"), std::string::npos) << "a failed run has no finish actions";
    }
}

// Nobody sees a box in a silent run: the log's last line carries the
// download's detail line and, after it, the technical reason: the failure's
// own line when it has one, otherwise the last error logged before.
TEST_F(SilentInstall, TheLogsLastLineHasTheDownloadsDetailAndTheLoggedReason)
{
    static const struct {
        const char* label;
        const wchar_t* detail;
        const wchar_t* logged;
        const wchar_t* cause;
        const char* lastLineEnd;
    } cases[] = {
        {"detail and reason", L"服务器证书不受信任", L"GET https://localhost:1/x: failed: bad CA (12045)", L"",
         "(exit code 254): 服务器证书不受信任 (GET https://localhost:1/x: failed: bad CA (12045))"},
        {"a reason only", L"", L"GET http://127.0.0.1:1/x: failed: refused (12029)", L"",
         "(exit code 254): GET http://127.0.0.1:1/x: failed: refused (12029)"},
        // The download's own failure line is the last error then.
        {"no reason of its own", L"服务器证书已过期", L"", L"",
         "(exit code 254): 服务器证书已过期 (正在下载...QXTClient.exe : 失败!)"},
        // Transfers at once: another entry's error came later than the
        // reported entry's own line.
        {"its own line", L"服务器拒绝了请求", L"GET http://127.0.0.1:1/b.bin: failed: refused (12029)",
         L"GET http://127.0.0.1:1/a.bin: status 404: failed: the server did not answer 2xx",
         "(exit code 254): 服务器拒绝了请求 (GET http://127.0.0.1:1/a.bin: status 404: failed: the server did not "
         "answer 2xx)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(ProcessLog().Open(m_dir / L"run.log", L""));
        CountingOperations ops;
        ops.failing = "DownloadClientFiles";
        ops.downloadFailure.detail = c.detail;
        ops.downloadFailure.cause = c.cause;
        ops.downloadError = c.logged;
        SilentInstallOptions options;
        options.hasFolder = true;
        options.folder = m_dir / L"Quolix";
        EXPECT_EQ(RunSilentInstall(options, ops.Table()), SETUP_ERR_DOWNLOAD);
        std::string log = Log();
        while (!log.empty() && (log.back() == '\n' || log.back() == '\r'))
            log.pop_back();
        const std::string lastLine = log.substr(log.find_last_of('\n') + 1);
        EXPECT_NE(lastLine.find("Installation failed at step: download of the client's files"), std::string::npos)
            << lastLine;
        const std::string end = c.lastLineEnd;
        EXPECT_TRUE(lastLine.size() >= end.size() && lastLine.compare(lastLine.size() - end.size(), end.size(), end) == 0)
            << lastLine;
    }
}

TEST_F(SilentInstall, ARefusedFolderChangesNothing)
{
    for (const wchar_t* folder :
         {L"", L"   ", L"Games\\Quolix", L"D:\\QXTClient /LOG=C:\\x.log", L"C:\\Games\\CON"}) {
        CountingOperations ops;
        SilentInstallOptions options;
        options.hasFolder = true;
        options.folder = folder;
        EXPECT_EQ(RunSilentInstall(options, ops.Table()), kExitFolderRefused) << folder;
        EXPECT_TRUE(ops.calls.empty()) << folder;
    }
    EXPECT_NE(Log().find("Installation failed at step: folder check"), std::string::npos);
}

}  // namespace
