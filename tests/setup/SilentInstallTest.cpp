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
        ops.DownloadClientFiles = [this](const wchar_t*, const volatile LONG*, HWND window, InstallInfo&) {
            ++calls["DownloadClientFiles"];
            if (failing != "DownloadClientFiles")
                return TRUE;
            const std::wstring text = L"正在下载...QXTClient.exe : 失败!";
            ::SendMessageW(window, WM_DOWNLOAD_FAILED, reinterpret_cast<WPARAM>(&text), 0);
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
        ops.WriteUninstallEntry = [this](InstallInfo&) { ++calls["WriteUninstallEntry"]; };
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
        EXPECT_EQ(ops.calls["WriteUninstallEntry"], 0);
        EXPECT_EQ(ops.calls["CleanClientDataFolder"], 0);
        const std::string log = Log();
        EXPECT_NE(log.find(c.closingLine), std::string::npos) << log;
        EXPECT_EQ(log.find("Finish actions"), std::string::npos) << "a failed run has no finish actions";
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
