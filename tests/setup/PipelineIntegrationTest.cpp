// One whole installation run with the real operations: the start command on
// real controls, the download from an HTTP server on 127.0.0.1, the project's
// stand-in installers and COM servers run by the real steps (regsvr32.exe
// included), and the closing writes into the registry, the INI files and the
// client data folder of the test prefix. Also what the real operations log of
// an installation's size.
#include "core/InstallInfo.h"
#include "core/SetupMessages.h"
#include "trust/MD5Checksum.h"
#include "framework/LogFile.h"
#include "install/InstallSteps.h"
#include "setup/SetupOperations.h"
#include "setup/SetupSession.h"
#include "setup/StartInstallation.h"
#include "tests/setup/WelcomePage.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace qxt::test;

constexpr DWORD kRunTimeoutMs = 120000;
const std::string kBase = "/Custom/DownloadClient?filename=";
const wchar_t kNuvKey[] = L"Software\\Nuv";
const wchar_t kNuvEncoderKey[] = L"Software\\Nuv\\Nuv MP3 Encoder";
const wchar_t* const kDotNetKeys[2] = {
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4.0\\Client",
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
};

std::string Md5(const std::string& bytes)
{
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()));
    const std::wstring digest = md5.Final();
    return std::string(digest.begin(), digest.end());
}

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

std::wstring FromUtf8(const std::string& bytes)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

// The first fields ("NAME|what") of every line of a log the stand-ins write.
std::vector<std::wstring> LogHeads(const std::wstring& path, int fields)
{
    std::vector<std::wstring> heads;
    const std::wstring text = FromUtf8(ReadFileBytes(path));
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        size_t cut = std::wstring::npos;
        for (int i = 0; i < fields; ++i) {
            cut = line.find(L'|', cut == std::wstring::npos ? 0 : cut + 1);
            if (cut == std::wstring::npos)
                break;
        }
        heads.push_back(line.substr(0, cut));
        begin = end + 1;
    }
    return heads;
}

bool KeyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::wstring RegistryString(HKEY root, const wchar_t* path, const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"(missing)";
    return value;
}

DWORD RegistryDword(HKEY root, const wchar_t* path, const wchar_t* name)
{
    DWORD value = 0xdeadbeef;
    DWORD size = sizeof value;
    ::RegGetValueW(root, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::wstring IniHost(const std::wstring& path)
{
    wchar_t host[MAX_PATH] = {};
    ::GetPrivateProfileStringW(L"CONFIG", L"HOST", L"(missing)", host, MAX_PATH, path.c_str());
    return host;
}

// Keys the run creates are removed again unless they were there before.
class CreatedKeys {
public:
    CreatedKeys(std::initializer_list<std::pair<HKEY, const wchar_t*>> keys)
    {
        for (const auto& [root, path] : keys)
            if (!KeyExists(root, path))
                m_created.emplace_back(root, path);
    }
    CreatedKeys(const CreatedKeys&) = delete;
    CreatedKeys& operator=(const CreatedKeys&) = delete;
    ~CreatedKeys()
    {
        for (const auto& [root, path] : m_created)
            ::RegDeleteTreeW(root, path);
    }

private:
    std::vector<std::pair<HKEY, const wchar_t*>> m_created;
};

// The .NET "Install" values are taken away for the run, so that the manifest
// is asked for with dotnet=0 and the .NET installer runs, and put back after.
class NoDotNet {
public:
    NoDotNet()
    {
        for (int i = 0; i < 2; ++i) {
            DWORD size = sizeof m_values[i];
            m_had[i] = ::RegGetValueW(HKEY_LOCAL_MACHINE, kDotNetKeys[i], L"Install", RRF_RT_REG_DWORD, nullptr,
                                      &m_values[i], &size) == ERROR_SUCCESS;
            if (m_had[i])
                ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kDotNetKeys[i], L"Install");
        }
    }
    NoDotNet(const NoDotNet&) = delete;
    NoDotNet& operator=(const NoDotNet&) = delete;
    ~NoDotNet()
    {
        for (int i = 0; i < 2; ++i)
            if (m_had[i])
                ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kDotNetKeys[i], L"Install", REG_DWORD, &m_values[i],
                                  sizeof m_values[i]);
    }

private:
    bool m_had[2] = {};
    DWORD m_values[2] = {};
};

TEST(PipelineIntegration, RealRunFromLoopbackServerToUninstallEntryAndConfiguration)
{
    TempDir root;
    const std::wstring folder = root / L"Quolix 客户端";

    // What the server publishes: the client, its uninstaller and configuration,
    // the three installers and three codec DLLs, each a project helper.
    const std::string fakeInstaller = ReadFileBytes(HelperPath(L"fakeinstaller.exe"));
    const std::string codec = ReadFileBytes(HelperPath(L"testcodec.dll"));
    const std::vector<std::pair<std::wstring, std::string>> files = {
        {L"QXTClient.exe", ReadFileBytes(HelperPath(L"clientversion.exe"))},
        {L"QXTUnist.exe", ReadFileBytes(HelperPath(L"exitcode.exe"))},
        {L"QXTClient.ini", "[CONFIG]\r\nHOST=old.example\r\nLANG=zh-CN\r\n"},
        {L"dotNetFx40_Client_x86_x64.exe", fakeInstaller},
        {L"fp_pl_pfs_installer19.exe", fakeInstaller},
        {L"x264vfw.exe", fakeInstaller},
        {L"CoreAVC.ax", codec},
        {L"mp4mux.dll", codec},
        {L"qxtcodec.dll", codec},
    };
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    std::string manifest;
    DWORD totalSize = 0;
    for (const auto& [name, bytes] : files) {
        ASSERT_FALSE(bytes.empty()) << Narrow(name);
        server.Serve(kBase + Narrow(name), HttpReply::Ok(bytes));
        manifest += Narrow(name) + "|" + Md5(bytes) + "\r\n";
        totalSize += static_cast<DWORD>(bytes.size());
    }
    server.Serve(kBase + "files&dotnet=0", HttpReply::Ok(manifest));

    // The state of the prefix the run starts from.
    NoDotNet noDotNet;
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kFlashPluginKey);  // so the plug-in's installer runs
    CreatedKeys created({{HKEY_LOCAL_MACHINE, kUninstallEntryKey},
                         {HKEY_CURRENT_USER, kNuvKey},
                         {HKEY_CURRENT_USER, kX264SettingsKey},
                         {HKEY_CURRENT_USER, L"SOFTWARE\\QXTClient"}});
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
    HKEY nuv = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kNuvEncoderKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &nuv,
                                nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(nuv);
    const std::wstring dataFolder = GetClientDataFolder();
    ::CreateDirectoryW((dataFolder + L"cache").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(dataFolder + L"cache\\old.dat", "old"));

    MessageBoxWatcher unexpectedBoxes(L"");
    MessageRecorder dialog;
    dialog.SetFilter([](UINT message) {
        return message >= WM_SETUP_BEGIN && message <= WM_DOWNLOAD_FAILED && message != WM_DOWNLOAD_PROGRESS &&
               message != WM_SETUP_STATUS_TEXT;
    });
    WelcomePage page(dialog, folder.c_str());
    SetupSession session(RealSetupOperations());
    session.m_strServerHost = server.Host();  // the test program carries no host trailer

    StartInstallation(dialog.Window(), session, [](const std::wstring&) { return true; });
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < kRunTimeoutMs; waited += 200)
        ended = dialog.WaitFor(WM_SETUP_COMPLETE, 1, 200) || dialog.Count(WM_SETUP_ERROR) > 0;
    ASSERT_TRUE(ended) << "the run did not end";

    std::vector<ExpectedMessage> expected = {{WM_SETUP_BEGIN, 0, 0}, {WM_DOWNLOAD_BEGIN, 0, 0}};
    // The counter climbs from 0 as the files land, whichever lands first.
    for (size_t i = 0; i <= files.size(); ++i)
        expected.push_back({WM_DOWNLOAD_FILE_INDEX, i, files.size()});
    for (const ExpectedMessage& m : std::vector<ExpectedMessage>{
             {WM_DOWNLOAD_COMPLETE, 0, 0},
             {WM_SETUP_STEP, STEP_DOTNET, 1},
             {WM_SETUP_STEP, STEP_FLASH, 2},
             {WM_SETUP_STEP, STEP_X264, 3},
             {WM_SETUP_STEP, STEP_AVC_DECODER, 4},
             {WM_SETUP_STEP, STEP_CODECS, 5},
             {WM_SETUP_COMPLETE, 0, 0},
         })
        expected.push_back(m);
    EXPECT_TRUE(MatchesSequence(dialog.Messages(), expected));
    EXPECT_EQ(session.m_bInstallComplete, 1);
    EXPECT_TRUE(unexpectedBoxes.Boxes().empty()) << "a box said: " << Narrow(unexpectedBoxes.Boxes()[0].text);

    // Every file arrived; the installers and regsvr32.exe ran in the steps' order.
    for (const auto& [name, bytes] : files) {
        if (name == L"QXTClient.ini")  // rewritten at the end
            continue;
        EXPECT_TRUE(ReadFileBytes(folder + L"\\" + name) == bytes) << Narrow(name);
    }
    EXPECT_EQ(LogHeads(folder + L"\\installers.log", 2),
              (std::vector<std::wstring>{L"dotNetFx40_Client_x86_x64.exe|/passive /promptrestart",
                                         L"fp_pl_pfs_installer19.exe|/install /iv 8", L"x264vfw.exe|/S"}));
    EXPECT_EQ(LogHeads(folder + L"\\codecs.log", 2),
              (std::vector<std::wstring>{L"CoreAVC.ax|register", L"mp4mux.dll|unregister", L"qxtcodec.dll|register"}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kNuvEncoderKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kNuvKey));
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kMp3EncoderSettingsKey, L"Sample Rate"), 11025u);

    // The uninstall entry from the record filled from the folder text; the
    // client did not exist yet when the record was filled.
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"InstallLocation"), folder);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"DisplayName"), L"Quolix");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"UninstallString"), folder + L"\\QXTUnist.exe");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"DisplayVersion"), L"1.0");
    EXPECT_EQ(RegistryDword(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"EstimatedSize"), totalSize / 1024);
    EXPECT_EQ(session.m_installInfo.EstimatedSize, totalSize);

    // The server's host in both configuration files; the client's other settings stay.
    EXPECT_EQ(IniHost(folder + L"\\QXTClient.ini"), server.Host());
    wchar_t language[16] = {};
    ::GetPrivateProfileStringW(L"CONFIG", L"LANG", L"", language, 16, (folder + L"\\QXTClient.ini").c_str());
    EXPECT_STREQ(language, L"zh-CN");
    EXPECT_EQ(IniHost(dataFolder + L"Config\\QXTClient.ini"), server.Host());
    EXPECT_EQ(::GetFileAttributesW((dataFolder + L"cache").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the client's old data is gone";

    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
}

// A client past 4 GiB: the log gives its whole size in bytes, the uninstall
// entry its size in KiB.
TEST(RealSetupOperations, LogAndUninstallEntryKeepASizePast4GiB)
{
    TempDir root;
    const std::wstring logPath = root.Path() + L"\\setup.log";
    ASSERT_TRUE(ProcessLog().Open(logPath, L""));
    InstallInfo info = {};
    FillInstallInfo(info, root.Path() + L"\\Client");
    info.EstimatedSize = (5ull << 30) + 123;
    RealSetupOperations().WriteUninstallEntry(info);
    ProcessLog().Close();

    EXPECT_NE(FromUtf8(ReadFileBytes(logPath)).find(L", 5368709243 bytes"), std::wstring::npos)
        << ReadFileBytes(logPath);
    EXPECT_EQ(RegistryDword(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"EstimatedSize"), 5u << 20);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
}

// An uninstall entry the system refuses (here its key denies every value)
// fails the real operation, and the log names the step and the reason, which
// the run's closing line then gives.
TEST(RealSetupOperations, AnUninstallEntryThatCannotBeWrittenFailsItsStep)
{
    TempDir root;
    const std::wstring logPath = root.Path() + L"\\setup.log";
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
    PSECURITY_DESCRIPTOR noValues = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                       &noValues, nullptr));
    // Wine takes no descriptor from RegCreateKeyExW: it is set afterwards.
    HKEY denied = nullptr;
    LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, nullptr, 0, KEY_READ | WRITE_DAC,
                                    nullptr, &denied, nullptr);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetKeySecurity(denied, DACL_SECURITY_INFORMATION, noValues);
        ::RegCloseKey(denied);
    }
    ::LocalFree(noValues);
    ASSERT_EQ(result, ERROR_SUCCESS);

    ASSERT_TRUE(ProcessLog().Open(logPath, L""));
    InstallInfo info = {};
    FillInstallInfo(info, root.Path() + L"\\Client");
    const BOOL written = RealSetupOperations().WriteUninstallEntry(info);
    ProcessLog().Close();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);

    EXPECT_EQ(written, FALSE);
    const std::wstring log = FromUtf8(ReadFileBytes(logPath));
    EXPECT_NE(log.find(L"error: Step uninstall entry failed: Registry key HKLM\\" + std::wstring(kUninstallEntryKey) +
                       L": cannot be created: "),
              std::wstring::npos)
        << ReadFileBytes(logPath);
}

}  // namespace
