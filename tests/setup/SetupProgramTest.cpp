// The real QXTSetup.exe, driven as a person would drive it, against the
// reference download server (started by setup_program_e2e.sh) in a Wine
// prefix of its own. Screenshots of the pages and boxes are written next to
// the test results on every run.
#include "core/InstallInfo.h"
#include "core/ProductNames.h"
#include "core/SetupLog.h"
#include "core/SetupMessages.h"
#include "transfer/FailureDetail.h"
#include "trust/MD5Checksum.h"
#include "framework/LogFile.h"
#include "framework/Process.h"
#include "install/ClientConfig.h"
#include "install/FinishActions.h"
#include "install/InstallerKeyAccess.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "setup/InstallLocation.h"
#include "tests/support/Cursor.h"
#include "tests/support/IeMainAcl.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"
#include "tests/support/UiDriver.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace qxt::test;

namespace {

constexpr DWORD kPageTimeoutMs = 60000;

std::wstring Env(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return {};
    std::wstring wide;
    for (const char* p = value; *p; ++p)
        wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

// Asks the test's script to stop or start the download server ("stop",
// "start") and waits until it has.
bool ControlServer(const std::wstring& request)
{
    const std::wstring folder = Env("QXT_SERVER_CONTROL");
    const std::wstring done = folder + L"\\" + request + L".done";
    ::DeleteFileW(done.c_str());
    if (!WriteFileBytes(folder + L"\\" + request, ""))
        return false;
    const bool answered = WaitUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
    ::DeleteFileW(done.c_str());
    return answered;
}

// Whether something accepts connections on the loopback port.
bool PortAnswers(unsigned short port)
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    const bool answered = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::closesocket(s);
    ::WSACleanup();
    return answered;
}

// Writes a copy of the built setup program whose trailer names the server.
bool CopySetupForServer(const TestHttpServer& server, const std::wstring& exe)
{
    const std::string image = ReadFileBytes(qxt::test::HelperPath(L"..\\QXTSetup.exe"));
    std::string host;
    for (wchar_t c : server.Host())
        host.push_back(static_cast<char>(c));
    // Appended straight after the image, as a publisher may do by hand.
    return !image.empty() && WriteFileBytes(exe, image + "$" + host);
}

// The log's bytes for a text: it is written in UTF-8.
std::string Utf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// Answers the plain file list's request for either value of the .NET flag.
void ServeFileList(TestHttpServer& server, const HttpReply& reply)
{
    for (const char* dotnet : {"0", "1"})
        server.Serve(std::string("/Custom/DownloadClient?filename=files&dotnet=") + dotnet, reply);
}

bool IsReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[512] = {};
    ::GetPrivateProfileStringW(section, key, L"<missing>", value, 512, file.c_str());
    return value;
}


// The prefix's Internet settings point at the test's proxy for as long as
// the object lives (the settings of a proxy configured in the system).
class SystemProxySettings {
public:
    explicit SystemProxySettings(const std::wstring& proxy)
    {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &m_key, nullptr) !=
            ERROR_SUCCESS)
            return;
        const DWORD enable = 1;
        m_set = ::RegSetValueExW(m_key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                                 sizeof enable) == ERROR_SUCCESS &&
                ::RegSetValueExW(m_key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(proxy.c_str()),
                                 static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    SystemProxySettings(const SystemProxySettings&) = delete;
    SystemProxySettings& operator=(const SystemProxySettings&) = delete;
    ~SystemProxySettings()
    {
        if (!m_key)
            return;
        const DWORD disable = 0;
        ::RegSetValueExW(m_key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disable), sizeof disable);
        ::RegDeleteValueW(m_key, L"ProxyServer");
        ::RegCloseKey(m_key);
    }
    bool Set() const { return m_set; }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    HKEY m_key = nullptr;
    bool m_set = false;
};

// The request lines the test's proxy has logged so far.
size_t ProxiedRequests(const std::string& what)
{
    const std::string log = ReadFileBytes(Env("QXT_PROXY_LOG"));
    size_t count = 0;
    for (size_t at = log.find("Request ("); at != std::string::npos; at = log.find("Request (", at + 1)) {
        const size_t end = log.find('\n', at);
        if (log.substr(at, end - at).find(what) != std::string::npos)
            ++count;
    }
    return count;
}

// Escape as the keyboard delivers it: the dialog's message loop turns it
// into the cancel command.
void PressEscape(HWND dialog)
{
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Env("QXT_SETUP_EXE").empty()) << "run through setup_program_e2e.sh";
        m_installFolder = GetDefaultInstallPath(nullptr);
        ResetMachine();
    }

    void TearDown() override
    {
        m_program.Kill();
        ResetMachine();
    }

    // Nothing of an earlier installation is left: no files, no uninstall
    // entry, no Run value, shortcuts or program group.
    void ResetMachine()
    {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient");
        RemoveRunEntry();
        RemoveDesktopShortcut();
        RemoveProgramGroup();
        DeleteTree(m_installFolder);
        // No key left open to Everyone by a test that failed half-way.
        RestoreLeftInstallerKeyAccess();
    }

    // Starts a setup program and waits for its welcome page.
    HWND StartSetup(const std::wstring& exe)
    {
        EXPECT_TRUE(m_program.Start(exe));
        HWND dialog = nullptr;
        WaitUntil(
            [&] {
                dialog = WaitForTopWindow(m_program.Pid(), L"#32770", L"QXTSetup", 0);
                return dialog || m_program.WaitForExit(0);
            },
            kPageTimeoutMs);
        EXPECT_NE(dialog, nullptr) << "no setup dialog";
        if (dialog) {
            EXPECT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
        }
        return dialog;
    }

    void Screenshot(HWND wnd, const std::wstring& name)
    {
        const std::wstring folder = Env("QXT_SCREENSHOTS");
        ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        WaitUntil([] { return false; }, 300);  // the panel's fade settles
        EXPECT_TRUE(SaveWindowScreenshot(wnd, folder + L"\\" + name)) << name.c_str();
    }

    // Writes what the stand-in installers do into the install folder (the
    // manifest does not list this file, so the download leaves it alone).
    void ScriptInstallers(const std::string& ini)
    {
        ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(InstallFilePath(m_installFolder, L"installers.ini"), ini));
    }

    std::string InstallerLog() { return ReadFileBytes(InstallFilePath(m_installFolder, L"installers.log")); }

    static size_t Count(const std::string& text, const std::string& what)
    {
        size_t count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++count;
        return count;
    }

    static void ExpectWelcomePage(HWND dialog, bool existing, const std::wstring& folder)
    {
        const ControlState edit = ReadControl(dialog, IDC_INSTALL_PATH);
        EXPECT_TRUE(edit.visible);
        EXPECT_EQ(edit.enabled, !existing);
        EXPECT_EQ(edit.text, folder);
        const ControlState browse = ReadControl(dialog, IDC_BROWSE);
        EXPECT_TRUE(browse.visible);
        EXPECT_EQ(browse.enabled, !existing);
        const ControlState start = ReadControl(dialog, IDC_START);
        EXPECT_TRUE(start.visible);
        EXPECT_TRUE(start.enabled);
        EXPECT_TRUE(ReadControl(dialog, IDC_CLOSE).enabled);
        EXPECT_FALSE(ReadControl(dialog, IDC_CANCEL_INSTALL).visible);
        EXPECT_FALSE(ReadControl(dialog, IDC_PROGRESS).visible);
        EXPECT_FALSE(ReadControl(dialog, IDC_STATUS).visible);
        EXPECT_FALSE(ReadControl(dialog, IDC_FINISH).visible);
        for (int id : {IDC_AUTORUN, IDC_DESKTOP_SHORTCUT, IDC_PROGRAM_GROUP})
            EXPECT_FALSE(ReadControl(dialog, id).visible) << id;
    }

    static bool OnFinishPage(HWND dialog) { return ReadControl(dialog, IDC_FINISH).visible; }

    // An error box of the run, checked and answered.
    MessageBoxInfo ExpectErrorBox(const wchar_t* text, std::vector<int> buttons)
    {
        MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
        EXPECT_NE(box.wnd, nullptr) << "no error box";
        EXPECT_EQ(box.caption, L"错误");
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.buttons, buttons);
        EXPECT_TRUE(box.hasErrorIcon);
        return box;
    }

    void WaitForBoxGone(const MessageBoxInfo& box)
    {
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box.wnd); }));
    }

    std::wstring m_installFolder;
    ProgramRun m_program;
};

TEST_F(SetupProgram, FreshInstallFromStartToFinish)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);

    // The borderless window is the skin's size.
    RECT window{};
    ::GetWindowRect(dialog, &window);
    EXPECT_EQ(window.right - window.left, 590);
    EXPECT_EQ(window.bottom - window.top, 435);
    EXPECT_EQ(::GetWindowLongW(dialog, GWL_STYLE) & WS_CAPTION, 0);
    ExpectWelcomePage(dialog, false, m_installFolder);
    Screenshot(dialog, L"welcome.png");

    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_PROGRESS).visible || OnFinishPage(dialog); },
                          kPageTimeoutMs));
    if (!OnFinishPage(dialog)) {
        EXPECT_FALSE(ReadControl(dialog, IDC_START).visible);
        EXPECT_FALSE(ReadControl(dialog, IDC_INSTALL_PATH).visible);
        EXPECT_TRUE(ReadControl(dialog, IDC_STATUS).visible);
        Screenshot(dialog, L"progress.png");
    }

    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs)) << "no finish page";
    EXPECT_TRUE(ReadControl(dialog, IDC_FINISH).enabled);
    EXPECT_TRUE(ReadControl(dialog, IDC_CLOSE).enabled);
    EXPECT_FALSE(ReadControl(dialog, IDC_CANCEL_INSTALL).visible);
    EXPECT_FALSE(ReadControl(dialog, IDC_PROGRESS).visible);
    EXPECT_FALSE(ReadControl(dialog, IDC_PANEL).visible);
    for (int id : {IDC_AUTORUN, IDC_DESKTOP_SHORTCUT, IDC_PROGRAM_GROUP})
        EXPECT_TRUE(ReadControl(dialog, id).visible) << id;
    for (int id = IDC_SWITCH1; id <= IDC_SWITCH5; ++id)
        EXPECT_FALSE(ReadControl(dialog, id).enabled) << id;
    Screenshot(dialog, L"finish.png");

    // The files arrived, read-only, and the run registered the installation.
    for (const wchar_t* name : {L"QXTClient.exe", L"QXTUnist.exe", L"readme.txt", L"x264vfw.exe"})
        EXPECT_TRUE(IsReadOnly(InstallFilePath(m_installFolder, name))) << name;
    InstallInfo entry{};
    ASSERT_EQ(ReadUninstallEntry(entry), 1);
    EXPECT_EQ(std::wstring(entry.InstallLocation), m_installFolder);
    EXPECT_EQ(std::wstring(entry.DisplayName), L"Quolix");
    EXPECT_EQ(std::wstring(entry.Publisher), L"Tarvenn");
    EXPECT_EQ(std::wstring(entry.UninstallString), InstallFilePath(m_installFolder, L"QXTUnist.exe"));
    EXPECT_GT(entry.EstimatedSize, 0u);
    EXPECT_EQ(IniValue(InstallFilePath(m_installFolder, L"QXTClient.ini"), L"CONFIG", L"HOST"), Env("QXT_SERVER_HOST"));
    EXPECT_EQ(IniValue(GetClientDataFolder() + L"Config\\QXTClient.ini", L"CONFIG", L"HOST"), Env("QXT_SERVER_HOST"));
    // The prerequisites ran with their fixed parameters.
    const std::string log = InstallerLog();
    EXPECT_EQ(Count(log, "fp_pl_pfs_installer19.exe|/install /iv 8|"), 1u) << log;
    EXPECT_EQ(Count(log, "x264vfw.exe|/S|"), 1u) << log;
    EXPECT_EQ(Count(log, "QXTClient.exe|"), 0u) << "the client started before the finish button";

    Click(dialog, IDC_FINISH);
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code)) << "the dialog did not close";
    EXPECT_EQ(code, 0u);

    EXPECT_TRUE(WaitUntil([&] { return Count(InstallerLog(), "QXTClient.exe|") == 1; })) << "the client did not start";
    wchar_t run[MAX_PATH] = {};
    DWORD size = sizeof run;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"QXTClient",
                             RRF_RT_REG_SZ, nullptr, run, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(run), InstallFilePath(m_installFolder, L"QXTClient.exe"));
    EXPECT_NE(::GetFileAttributesW(GetDesktopShortcutPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(GetProgramGroupPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SetupProgram, SecondStartShowsTheExistingInstallation)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    // Leaving on the finish page by Escape: no question, no finish actions.
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs));
    EXPECT_EQ(Count(InstallerLog(), "QXTClient.exe|"), 0u);
    m_program.Kill();

    dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    ExpectWelcomePage(dialog, true, m_installFolder);
    Screenshot(dialog, L"welcome-existing.png");

    // A second instance in the same logon leaves at once without a window.
    ProgramRun second;
    ASSERT_TRUE(second.Start(Env("QXT_SETUP_EXE")));
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(second.WaitForExit(kPageTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(NoTopWindow(second.Pid(), nullptr, nullptr));
}

TEST_F(SetupProgram, FailingPluginInstallerRetriedThenIgnored)
{
    ScriptInstallers("[fp_pl_pfs_installer19.exe]\r\nExitCodes=1\r\n");
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);

    MessageBoxInfo box = ExpectErrorBox(L"Flash插件安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE});
    ASSERT_NE(box.wnd, nullptr);
    Screenshot(box.wnd, L"error-flash.png");
    EXPECT_TRUE(ReadControl(dialog, IDC_PROGRESS).visible);
    AnswerMessageBox(box, IDRETRY);
    WaitForBoxGone(box);

    box = ExpectErrorBox(L"Flash插件安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE});
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(Count(InstallerLog(), "fp_pl_pfs_installer19.exe|"), 2u) << "Retry runs the installer again";
    AnswerMessageBox(box, IDIGNORE);
    WaitForBoxGone(box);

    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_EQ(Count(InstallerLog(), "x264vfw.exe|"), 1u) << "Ignore goes on with the next step";
}

TEST_F(SetupProgram, EscapeAsksBeforeLeaving)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);

    PressEscape(dialog);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(box.caption, L"提示");
    EXPECT_EQ(box.text, L"您确定要退出安装过程吗？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.hasQuestionIcon);
    Screenshot(box.wnd, L"question-exit.png");
    AnswerMessageBox(box, IDNO);
    WaitForBoxGone(box);
    EXPECT_FALSE(m_program.WaitForExit(500));
    ExpectWelcomePage(dialog, false, m_installFolder);

    PressEscape(dialog);
    box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    AnswerMessageBox(box, IDYES);
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

// Leaving while the .NET installer runs: the program waits, saying so, until
// the installer has ended and the step has put the access list back; then
// it ends, and nothing after the step runs.
TEST_F(SetupProgram, ExitWhileTheDotNetInstallerRunsWaitsForTheAccessListToBePutBack)
{
    const std::wstring aclBefore = IeMainAcl();
    ScriptInstallers("[dotNetFx40_Client_x86_x64.exe]\r\nStayRunning=1\r\nRecordAcl=1\r\n");
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return Count(InstallerLog(), "dotNetFx40_Client_x86_x64.exe|") == 1; },
                          kPageTimeoutMs))
        << "the .NET installer did not start";
    EXPECT_NE(IeMainAcl(), aclBefore) << "the installer runs with the access list widened";

    PressEscape(dialog);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(box.text, L"您确定要退出安装过程吗？");
    AnswerMessageBox(box, IDYES);
    WaitForBoxGone(box);
    EXPECT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_STATUS).text == L"正在退出，请稍候..."; }));
    EXPECT_FALSE(ReadControl(dialog, IDC_CLOSE).enabled);
    EXPECT_FALSE(m_program.WaitForExit(500)) << "the program did not wait for the step";
    EXPECT_NE(IeMainAcl(), aclBefore);

    // The installer finishes; the step puts the access list back.
    ASSERT_TRUE(KillFirstProcessByName(L"dotNetFx40_Client_x86_x64.exe"));
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code)) << "the program did not end after the step";
    EXPECT_EQ(code, static_cast<DWORD>(SETUP_CANCELLED)) << "the run's outcome: left before it ended";
    EXPECT_EQ(IeMainAcl(), aclBefore);
    EXPECT_EQ(Count(InstallerLog(), "fp_pl_pfs_installer19.exe|"), 0u) << "no step runs after the exit";
    InstallInfo entry{};
    EXPECT_NE(ReadUninstallEntry(entry), 1) << "a left run registers nothing";
}

// A folder the program cannot install into is refused with a box before
// anything starts: no request to the server, no file in the root of a drive,
// no uninstall entry; the welcome page stays as the user left it.
TEST_F(SetupProgram, UnusableFolderIsRefusedBeforeAnythingStarts)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    // Where a relative folder would have put the manifest: the root of the
    // program's current drive (it inherits ours) and of drive C.
    const std::wstring roots[] = {L"\\Client.txt", L"C:\\Client.txt"};
    for (const std::wstring& file : roots)
        ASSERT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "left over: " << file.c_str();

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char* label;
        std::wstring folder;
        const wchar_t* text;
    } cases[] = {
        {"cleared", L"", L"请选择有效的安装路径！"},
        {"blanks", L"   ", L"请选择有效的安装路径！"},
        {"relative", L"QXTClient", L"请选择有效的安装路径！"},
        {"root of the current drive", L"\\QXTClient", L"请选择有效的安装路径！"},
        {"drive without backslash", L"C:QXTClient", L"请选择有效的安装路径！"},
        {"too long", L"C:\\" + std::wstring(250, L'a'), L"安装路径过长，请重新选择！"},
        {"a switch read into the folder", L"C:\\QXTClient /LOG=C:\\x.log", L"请选择有效的安装路径！"},
        {"device name", L"C:\\Games\\CON\\QXTClient", L"请选择有效的安装路径！"},
        {"name ending in a dot", L"C:\\Games.\\QXTClient", L"请选择有效的安装路径！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ::SendMessageW(::GetDlgItem(dialog, IDC_INSTALL_PATH), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(c.folder.c_str()));
        Click(dialog, IDC_START);

        MessageBoxInfo box = ExpectErrorBox(c.text, {IDOK});
        ASSERT_NE(box.wnd, nullptr);
        if (c.folder.empty())
            Screenshot(box.wnd, L"error-folder.png");
        AnswerMessageBox(box, IDOK);
        WaitForBoxGone(box);
        ExpectWelcomePage(dialog, false, c.folder);
    }
    EXPECT_TRUE(server.Requests().empty()) << "nothing may be downloaded";
    for (const std::wstring& file : roots)
        EXPECT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << file.c_str();
    InstallInfo entry{};
    EXPECT_NE(ReadUninstallEntry(entry), 1) << "a refused folder registers nothing";
}

// An uninstall entry whose folder the installation could not go back into
// counts as none: the welcome page offers the default folder to change.
TEST_F(SetupProgram, UninstallEntryWithoutAUsableFolderCountsAsNone)
{
    const wchar_t* entryKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'a');
    const DWORD number = 7;
    const struct {
        const char* label;
        DWORD type;  // REG_NONE: no InstallLocation value
        std::wstring text;
    } cases[] = {
        {"missing", REG_NONE, L""},
        {"empty", REG_SZ, L""},
        {"relative", REG_SZ, L"QXTClient"},
        {"blanks", REG_SZ, L"  "},
        {"too long", REG_SZ, tooLong},
        {"not a string", REG_DWORD, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"DisplayName", REG_SZ, L"Quolix", 14),
                  ERROR_SUCCESS);
        if (c.type == REG_SZ) {
            ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"InstallLocation", REG_SZ, c.text.c_str(),
                                        static_cast<DWORD>((c.text.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        } else if (c.type == REG_DWORD) {
            ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"InstallLocation", REG_DWORD, &number,
                                        sizeof number),
                      ERROR_SUCCESS);
        }

        HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
        ASSERT_NE(dialog, nullptr);
        ExpectWelcomePage(dialog, false, m_installFolder);
        m_program.Kill();
    }
}

// Serves the sample client from the test's own server, with a codec whose
// registration fails in place of the product's codec, and writes a copy of
// the setup program that downloads from it.
void ServeClientWithFailingCodec(TestHttpServer& server, const std::wstring& exe)
{
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::string manifest = ReadFileBytes(site + L"\\manifest\\dotnet0\\Client.txt");
    ASSERT_NE(manifest.find("qxtcodec.dll|"), std::string::npos) << "the sample client has no codec";
    const std::wstring failing = qxt::test::HelperPath(L"testcodec_failing.dll");
    std::string failingDigest;
    for (wchar_t c : CMD5Checksum::DigestFile(failing.c_str()))
        failingDigest.push_back(static_cast<char>(c));
    ASSERT_EQ(failingDigest.size(), 32u);

    ASSERT_TRUE(server.Started());
    std::string list;
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find("\r\n", start);
        if (end == std::string::npos)
            end = manifest.size();
        std::string line = manifest.substr(start, end - start);
        start = end + 2;
        const std::string name = line.substr(0, line.find('|'));
        if (name.empty())
            continue;
        std::wstring wideName(name.begin(), name.end());
        std::string body = ReadFileBytes(site + L"\\files\\" + wideName);
        if (name == "qxtcodec.dll") {
            body = ReadFileBytes(failing);
            line = name + "|" + failingDigest;
        }
        server.Serve("/Custom/DownloadClient?filename=" + name, HttpReply::Ok(body));
        list += line + "\r\n";
    }
    ServeFileList(server, HttpReply::Ok(list));
    ASSERT_TRUE(CopySetupForServer(server, exe));
}

// An uninstall entry key whose access list lets nobody set a value in it.
bool RefuseUninstallEntry()
{
    PSECURITY_DESCRIPTOR noValues = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                &noValues, nullptr))
        return false;
    const wchar_t entry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
    HKEY key = nullptr;
    LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, entry, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, noValues);
        ::RegCloseKey(key);
    }
    ::LocalFree(noValues);
    return result == ERROR_SUCCESS;
}

// Every run that fails ends the same way: the start, the error box of the
// failed step, its answer, and the welcome page again with nothing registered.
TEST_F(SetupProgram, AFailedRunShowsItsErrorBoxAndReturnsToTheWelcomePage)
{
    enum class Cause { Installers, ServerDown, FailingCodec, Served, RefusedEntry };
    static const struct {
        const char* label;
        Cause cause;
        const char* installers;  // installers.ini for Cause::Installers
        const wchar_t* text;
        std::vector<int> buttons;
        int answer;
        const wchar_t* screenshot;  // nullptr: none
        const char* neverRuns;      // an installer the failed step keeps from running, or nullptr
        void (*serve)(TestHttpServer& server);  // what the test's own server answers, for Cause::Served
    } kCases[] = {
        {"the download fails while the server is down", Cause::ServerDown, nullptr,
         L"文件下载失败，请重试！\n无法连接到下载服务器，请检查网络连接。", {IDOK}, IDOK, L"error-download.png", nullptr,
         nullptr},
        {"the server answers the list with an error", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n下载服务器返回了错误（HTTP 500）。", {IDOK}, IDOK, L"error-download-status.png",
         nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Status(500, "Internal Server Error"));
         }},
        {"the network answers with its login page", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n网络要求登录：服务器发来的是一个网页而不是文件列表，请先在浏览器中登录网络，然后重试。",
         {IDOK}, IDOK, L"error-download-login-page.png", nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Ok("<!DOCTYPE html>\r\n<html><head><title>Wi-Fi</title></head>"
                                            "<body><form action=\"/login\"></form></body></html>\r\n"));
         }},
        {"a file arrives damaged", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n文件在传输中损坏：client.dll 与文件列表中的校验值不符，请重试。", {IDOK}, IDOK,
         L"error-download-damaged.png", nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Ok("client.dll|0123456789ABCDEF0123456789ABCDEF\r\n"));
             server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(std::string(100000, 'd')));
         }},
        {"Abort on a failed encoder ends the run", Cause::Installers, "[x264vfw.exe]\r\nExitCodes=1\r\n",
         L"X264视频编码器安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE}, IDABORT, nullptr, nullptr, nullptr},
        {"a failed .NET installation ends the run with an OK box", Cause::Installers,
         "[dotNetFx40_Client_x86_x64.exe]\r\nExitCodes=1\r\n[wic_x86_chs.exe]\r\nExitCodes=1\r\n",
         L".Net framework 组件安装失败，请重试！", {IDOK}, IDOK, nullptr, "fp_pl_pfs_installer19.exe|", nullptr},
        {"a failed codec registration ends the run with an OK box", Cause::FailingCodec, nullptr,
         L"编解码器安装失败，请重试！", {IDOK}, IDOK, L"error-codecs.png", nullptr, nullptr},
        {"an uninstall entry the system refuses: Abort ends the run", Cause::RefusedEntry, nullptr,
         L"卸载信息写入失败，请重试！", {IDABORT, IDRETRY, IDIGNORE}, IDABORT, L"error-uninstall-entry.png", nullptr,
         nullptr},
    };
    const auto port = static_cast<unsigned short>(std::wcstoul(Env("QXT_SERVER_PORT").c_str(), nullptr, 10));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_program.Kill();
        ResetMachine();

        std::wstring exe = Env("QXT_SETUP_EXE");
        TestHttpServer server;
        TempDir temp;
        switch (c.cause) {
        case Cause::Installers:
            ScriptInstallers(c.installers);
            break;
        case Cause::ServerDown:
            ASSERT_TRUE(ControlServer(L"stop"));
            ASSERT_TRUE(WaitUntil([&] { return !PortAnswers(port); }, 20000)) << "the server did not stop";
            break;
        case Cause::FailingCodec:
            exe = temp / L"QXTSetup.exe";
            ServeClientWithFailingCodec(server, exe);
            break;
        case Cause::Served:
            ASSERT_TRUE(server.Started());
            c.serve(server);
            exe = temp / L"QXTSetup.exe";
            ASSERT_TRUE(CopySetupForServer(server, exe));
            break;
        case Cause::RefusedEntry:
            // The entry's key takes no values (ResetMachine deletes it again).
            ASSERT_TRUE(RefuseUninstallEntry());
            break;
        }
        if (HasFatalFailure())
            return;

        HWND dialog = StartSetup(exe);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_START);

        MessageBoxInfo box = ExpectErrorBox(c.text, c.buttons);
        ASSERT_NE(box.wnd, nullptr);
        if (c.screenshot)
            Screenshot(box.wnd, c.screenshot);
        AnswerMessageBox(box, c.answer);
        WaitForBoxGone(box);
        ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
        ExpectWelcomePage(dialog, false, m_installFolder);
        InstallInfo entry{};
        EXPECT_NE(ReadUninstallEntry(entry), 1) << "a failed run registers nothing";
        if (c.neverRuns) {
            EXPECT_EQ(Count(InstallerLog(), c.neverRuns), 0u) << "nothing after the failed step runs";
        }

        if (c.cause == Cause::ServerDown) {
            // With the server back, another run from the same page succeeds.
            ASSERT_TRUE(ControlServer(L"start"));
            ASSERT_TRUE(WaitUntil([&] { return PortAnswers(port); }, 20000)) << "the server did not come back";
            Click(dialog, IDC_START);
            EXPECT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
        }
    }
}

// A download through the test's own server that stalls part-way, so the run
// is cancelled while the server sends nothing.
TEST_F(SetupProgram, ConfirmedCancelDuringASlowDownloadLeavesTheDestinationAlone)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    const std::string big(4 * 1024 * 1024, 'q');
    // Whatever an earlier run left of .NET on this machine.
    ServeFileList(server, HttpReply::Ok("big.bin|0123456789ABCDEF0123456789ABCDEF\r\n"));
    HttpReply slow = HttpReply::Ok(big);
    slow.holdAfter = 65536;
    server.Serve("/Custom/DownloadClient?filename=big.bin", slow);

    // A copy of the setup program whose trailer names this server.
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));

    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    const std::wstring destination = InstallFilePath(m_installFolder, L"big.bin");
    ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(server.WaitUntilHeld(kPageTimeoutMs)) << "requests: " << server.Requests().size();
    EXPECT_FALSE(ReadControl(dialog, IDC_CLOSE).enabled) << "close stays disabled during the download";
    EXPECT_TRUE(ReadControl(dialog, IDC_CANCEL_INSTALL).enabled);

    Click(dialog, IDC_CANCEL_INSTALL);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(box.text, L"您确定要取消安装吗？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    AnswerMessageBox(box, IDYES);
    WaitForBoxGone(box);
    EXPECT_TRUE(WaitUntil([&] { return !ReadControl(dialog, IDC_CANCEL_INSTALL).enabled; }));

    // The server still sends nothing: the welcome page comes back anyway,
    // long before the request's 30 s receive timeout.
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, 10000));
    ExpectWelcomePage(dialog, false, m_installFolder);
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"错误")) << "a cancel shows no box";
    EXPECT_EQ(ReadFileBytes(destination), "the file in place");
    server.Release();
}

// The sample client from the test's own server with a large file listed
// first. The first request for that file stalls part-way until the server is
// released; every later one gets what it asks for, the rest of the file
// included.
void ServeClientWithAStallingFile(TestHttpServer& server, const std::string& big, size_t stallAt)
{
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::string manifest = ReadFileBytes(site + L"\\manifest\\dotnet0\\Client.txt");
    EXPECT_FALSE(manifest.empty()) << "no sample manifest";
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(big.data()), static_cast<ULONG>(big.size()));
    const std::wstring digest = md5.Final();
    const std::string prefix = "/Custom/DownloadClient?filename=";
    const std::string bigTarget = prefix + "big.bin";
    auto bodies = std::make_shared<std::map<std::string, std::string>>();
    std::string list = "big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n";
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find("\r\n", start);
        if (end == std::string::npos)
            end = manifest.size();
        const std::string line = manifest.substr(start, end - start);
        start = end + 2;
        const std::string name = line.substr(0, line.find('|'));
        if (name.empty())
            continue;
        (*bodies)[prefix + name] = ReadFileBytes(site + L"\\files\\" + std::wstring(name.begin(), name.end()));
        list += line + "\r\n";
    }
    for (const char* dotnet : {"0", "1"})
        (*bodies)[prefix + "files&dotnet=" + dotnet] = list;

    auto bigRequests = std::make_shared<std::atomic<int>>(0);
    server.SetHandler([bodies, bigRequests, big, bigTarget, stallAt](const HttpRequestRecord& request) {
        if (request.target != bigTarget) {
            const auto found = bodies->find(request.target);
            return found == bodies->end() ? HttpReply::Status(404, "Not Found") : HttpReply::Ok(found->second);
        }
        const std::string range = request.Header("Range");
        if ((*bigRequests)++ == 0) {
            HttpReply stalling = HttpReply::Ok(big);
            stalling.holdAfter = stallAt;
            return stalling;
        }
        if (range.rfind("bytes=", 0) != 0)
            return HttpReply::Ok(big);
        const size_t first = std::strtoull(range.c_str() + 6, nullptr, 10);
        if (first >= big.size())
            return HttpReply::Status(416, "Range Not Satisfiable");
        HttpReply rest = HttpReply::Ok(big.substr(first));
        rest.status = 206;
        rest.reason = "Partial Content";
        rest.extraHeaders.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                                    std::to_string(big.size() - 1) + "/" + std::to_string(big.size()));
        return rest;
    });
}

// Cancelled while the server stalls in the middle of a file, then started
// again at once while the server answers: the request left behind by the
// cancel still waits for the rest of its body, and the new run must not trip
// over it. It asks for the rest of what arrived and reaches the finish page.
TEST_F(SetupProgram, StartingAgainRightAfterACancelCompletesWhileTheOldRequestStillWaits)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    std::string big(4 * 1024 * 1024, '\0');
    unsigned state = 3;
    for (char& c : big) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    ServeClientWithAStallingFile(server, big, 65536);
    if (HasFatalFailure())
        return;
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    const std::wstring destination = InstallFilePath(m_installFolder, L"big.bin");
    const std::wstring temporary = destination + L".tmp";

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(server.WaitUntilHeld(kPageTimeoutMs)) << "requests: " << server.Requests().size();
    Click(dialog, IDC_CANCEL_INSTALL);
    MessageBoxInfo question = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(question.wnd, nullptr);
    AnswerMessageBox(question, IDYES);
    WaitForBoxGone(question);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, 10000));
    EXPECT_NE(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing of the file was kept";

    // At once, while the first request for big.bin still waits on the server.
    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog) || !NoTopWindow(m_program.Pid(), L"#32770", L"错误"); },
                          kPageTimeoutMs));
    if (!OnFinishPage(dialog)) {
        const MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), 1000);
        Screenshot(box.wnd, L"error-restart-after-cancel.png");
        FAIL() << "the run started again ended with the box " << ::testing::PrintToString(box.text);
    }
    EXPECT_TRUE(ReadFileBytes(destination) == big) << "big.bin is not whole";
    EXPECT_TRUE(IsReadOnly(destination));
    EXPECT_EQ(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
    std::vector<std::string> asked;  // the Range header of each request for big.bin
    for (const HttpRequestRecord& request : server.Requests())
        if (request.target == "/Custom/DownloadClient?filename=big.bin")
            asked.push_back(request.Header("Range"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "");
    EXPECT_EQ(asked[1].rfind("bytes=", 0), 0u) << "the new run did not take over the held part: " << asked[1];
    server.Release();
}

// The reference server, on a slow network, drops the connection half-way
// through a large file (it is stopped and started again): the program
// retries, asks for the rest and finishes without a box. The file ends whole,
// the server saw a partial request and the run's log names the retry.
TEST_F(SetupProgram, ADroppedConnectionHalfWayIsResumedAndTheRunCompletes)
{
    constexpr size_t kSize = 16 * 1024 * 1024;
    constexpr ULONGLONG kDropAt = 4 * 1024 * 1024;
    std::string body(kSize, '\0');
    unsigned state = 7;
    for (char& c : body) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::wstring published = site + L"\\files\\big.bin";
    // Whatever happens, the sample site and its server are as they were for
    // the next test.
    struct SiteRestore {
        std::vector<std::pair<std::wstring, std::string>> manifests;
        std::wstring added;
        ~SiteRestore()
        {
            for (const auto& [path, text] : manifests)
                WriteFileBytes(path, text);
            ::DeleteFileW(added.c_str());
            ControlServer(L"stop");
            ControlServer(L"start");
        }
    } restore;
    restore.added = published;
    ASSERT_TRUE(WriteFileBytes(published, body));
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(body.data()), static_cast<ULONG>(body.size()));
    const std::wstring digest = md5.Final();
    for (const wchar_t* flag : {L"0", L"1"}) {
        const std::wstring path = site + L"\\manifest\\dotnet" + flag + L"\\Client.txt";
        const std::string text = ReadFileBytes(path);
        ASSERT_FALSE(text.empty()) << "no sample manifest";
        restore.manifests.emplace_back(path, text);
        ASSERT_TRUE(WriteFileBytes(path, text + "big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n"));
    }
    ASSERT_TRUE(ControlServer(L"stop"));
    ASSERT_TRUE(ControlServer(L"start-slow"));
    const std::wstring logPath = SetupLogPath(L"");
    ::DeleteFileW(logPath.c_str());

    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    const std::wstring temporary = InstallFilePath(m_installFolder, L"big.bin.tmp");
    const auto held = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(temporary.c_str(), GetFileExInfoStandard, &data))
            return 0ull;
        return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    };
    ASSERT_TRUE(WaitUntil([&] { return held() >= kDropAt; }, kPageTimeoutMs)) << "the transfer never got going";
    ASSERT_TRUE(ControlServer(L"stop"));
    const unsigned long long atDrop = held();
    ASSERT_LT(atDrop, kSize) << "the transfer ended before the server was stopped";
    EXPECT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_STATUS).text.rfind(L"正在重试...big.bin (", 0) == 0; },
                          kPageTimeoutMs))
        << "the status line does not show the retry";
    Screenshot(dialog, L"progress-retry.png");
    ASSERT_TRUE(ControlServer(L"start"));

    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"错误")) << "a dropped connection shows no box";
    EXPECT_TRUE(ReadFileBytes(InstallFilePath(m_installFolder, L"big.bin")) == body) << "the file is not whole";
    EXPECT_EQ(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string access = ReadFileBytes(Env("QXT_SERVER_STATE") + L"\\access.log");
    EXPECT_NE(access.find("filename=big.bin HTTP/1.1\" 206 "), std::string::npos) << access;
    const std::string log = ReadFileBytes(logPath);
    EXPECT_NE(log.find("filename=big.bin (retry 1/3, from byte "), std::string::npos) << log;
    EXPECT_NE(log.find("after the held part"), std::string::npos) << log;
}

// A server whose file and manifest are out of step: the body arrives whole
// but is not the listed file, so the run ends with the download error box and
// the copy in place stays.
TEST_F(SetupProgram, AFetchedFileWithAnotherDigestEndsWithTheDownloadErrorAndKeepsTheOldCopy)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    ServeFileList(server, HttpReply::Ok("client.dll|0123456789ABCDEF0123456789ABCDEF\r\n"));
    server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(std::string(100000, 's')));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    const std::wstring destination = InstallFilePath(m_installFolder, L"client.dll");
    ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    MessageBoxInfo box = ExpectErrorBox(
        L"文件下载失败，请重试！\n文件在传输中损坏：client.dll 与文件列表中的校验值不符，请重试。", {IDOK});
    ASSERT_NE(box.wnd, nullptr);
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    ExpectWelcomePage(dialog, false, m_installFolder);
    EXPECT_EQ(ReadFileBytes(destination), "the file in place");
    EXPECT_EQ(::GetFileAttributesW((destination + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Files fetched side by side: while they come, the progress page names a
// file in flight, the counter counts the finished ones of the whole list and
// the bar shows how far the whole download is (a plain list: files).
TEST_F(SetupProgram, TheProgressPageShowsTheWholeDownloadWhileFilesComeSideBySide)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    constexpr int kFiles = 12;
    std::string list;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "part" + std::to_string(i) + ".pak";
        HttpReply reply = HttpReply::Ok(std::string(200000 + 30000 * i, static_cast<char>('a' + i)));
        // Slow enough for the page to be seen with several transfers under way.
        reply.chunkSize = 16384;
        reply.delayPerChunkMs = 40 + 10 * i;
        CMD5Checksum md5;
        md5.Update(reinterpret_cast<const BYTE*>(reply.body.data()), static_cast<ULONG>(reply.body.size()));
        const std::wstring digest = md5.Final();
        list += name + "|" + std::string(digest.begin(), digest.end()) + "\r\n";
        server.Serve("/Custom/DownloadClient?filename=" + name, reply);
    }
    ServeFileList(server, HttpReply::Ok(list));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    const std::wstring total = L"/" + std::to_wstring(kFiles);
    const auto finished = [&] {
        const std::wstring counter = ReadControl(dialog, IDC_COUNTER).text;
        const size_t slash = counter.find(L'/');
        return slash == std::wstring::npos || counter.substr(slash) != total ? -1 : std::stoi(counter.substr(0, slash));
    };
    ASSERT_TRUE(WaitUntil([&] { return finished() >= 1; }, kPageTimeoutMs)) << "no file finished";
    EXPECT_LT(finished(), kFiles) << "the download ended before the page was seen";
    EXPECT_EQ(ReadControl(dialog, IDC_STATUS).text.rfind(L"正在下载...part", 0), 0u) << "no file in flight named";
    const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS);
    const LRESULT position = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
    EXPECT_GE(position, 1);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), kFiles) << "the bar counts the list's files";
    Screenshot(dialog, L"progress-side-by-side.png");
    EXPECT_GE(server.Requests().size(), 2u + 4u) << "several transfers under way at once";
}

// A disk too small for a file (a 1 MiB tmpfs that setup_program_e2e.sh
// mounts, typed in as the folder): the box names the file, the room it takes
// and the room there is once its part is gone, and nothing of it stays.
TEST_F(SetupProgram, ADiskTooSmallForAFileIsNamedWithTheRoomItTakesAndTheRoomThereIs)
{
    const std::wstring disk = Env("QXT_SMALL_DISK");
    if (disk.empty())
        GTEST_SKIP() << "setup_program_e2e.sh could not mount a small disk (mounting tmpfs needs root)";
    const std::wstring folder = disk + L"\\Quolix";
    DeleteTree(folder);
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    const std::string body(3 * 1024 * 1024, 'b');
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(body.data()), static_cast<ULONG>(body.size()));
    const std::wstring digest = md5.Final();
    ServeFileList(server, HttpReply::Ok("big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n"));
    server.Serve("/Custom/DownloadClient?filename=big.bin", HttpReply::Ok(body));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    ::SendMessageW(::GetDlgItem(dialog, IDC_INSTALL_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    Click(dialog, IDC_START);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
    ASSERT_NE(box.wnd, nullptr) << "no error box";
    ULARGE_INTEGER free{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW((disk + L"\\").c_str(), &free, nullptr, nullptr));
    EXPECT_LT(free.QuadPart, body.size()) << "the disk is not too small";
    EXPECT_EQ(box.caption, L"错误");
    EXPECT_EQ(box.text, L"文件下载失败，请重试！\n磁盘空间不足：big.bin 需要 3.0 MB，可用空间只有 " + SizeText(free.QuadPart) +
                            L"。");
    Screenshot(box.wnd, L"error-download-disk.png");
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    for (const wchar_t* name : {L"big.bin", L"big.bin.tmp"})
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(folder, name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    m_program.Kill();
    DeleteTree(folder);
}

// A proxy named in the system's Internet settings asks for a login: the
// dialog asks for it in its login box; leaving the box ends the run with
// the download box naming the login; a wrong password is asked for again,
// and the right one serves every request of the run.
TEST_F(SetupProgram, AProxyLoginIsAskedForAndAskedAgainAfterAWrongPassword)
{
    SystemProxySettings proxy(Env("QXT_PROXY_HOST"));
    ASSERT_TRUE(proxy.Set());
    const std::wstring user = Env("QXT_PROXY_USER");
    const std::wstring password = Env("QXT_PROXY_PASSWORD");
    const std::wstring logPath = SetupLogPath(L"");
    const size_t proxiedBefore = ProxiedRequests("filename=QXTClient.exe");

    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    HWND box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "no login box";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_REFUSED).text, L"");
    EXPECT_NE(ReadControl(box, IDC_PROXY_PROMPT).text.find(Env("QXT_PROXY_HOST")), std::wstring::npos)
        << "the box names the proxy";
    Screenshot(box, L"proxy-login.png");
    Click(box, IDCANCEL);
    MessageBoxInfo error =
        ExpectErrorBox(L"文件下载失败，请重试！\n网络要求登录：代理服务器需要用户名和密码。", {IDOK});
    ASSERT_NE(error.wnd, nullptr);
    Screenshot(error.wnd, L"error-download-proxy-login.png");
    AnswerMessageBox(error, IDOK);
    WaitForBoxGone(error);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));

    // Again, with a wrong password first.
    Click(dialog, IDC_START);
    box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "no login box on the second run";
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_USER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"wrong-pass-2"));
    Click(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, kPageTimeoutMs));
    box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "a refused login is not asked for again";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_REFUSED).text, L"用户名或密码不正确，请重新输入。");
    EXPECT_EQ(ReadControl(box, IDC_PROXY_USER).text, user) << "the name typed before stays";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_PASSWORD).text, L"");
    Screenshot(box, L"proxy-login-refused.png");
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
    Click(box, IDOK);

    EXPECT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录")) << "asked once more than needed";
    EXPECT_GT(ProxiedRequests("filename=QXTClient.exe"), proxiedBefore) << "the client did not come through the proxy";
    const std::string log = ReadFileBytes(logPath);
    EXPECT_NE(log.find("a login for user " + std::string(user.begin(), user.end()) + " was typed in"),
              std::string::npos)
        << log;
    for (const char* secret : {"wrong-pass-2", "proxy-pass-1"})
        EXPECT_EQ(log.find(secret), std::string::npos) << "the log holds a password";
}

std::string Md5Text(const std::string& bytes)
{
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()));
    const std::wstring digest = md5.Final();
    return std::string(digest.begin(), digest.end());
}

// A file list that is damaged or lists nothing: the run ends with the
// download error box before any file is fetched or replaced (and before any
// installer runs), and the log says which line or that the list was empty.
TEST_F(SetupProgram, ADamagedOrEmptyFileListEndsWithTheDownloadErrorAndChangesNothing)
{
    const std::string readme = "read me";
    const std::string body(100000, 'n');
    const struct {
        const char* label;
        std::string list;
        std::string logged;
    } kCases[] = {
        {"an entry without a digest", "readme.txt|" + Md5Text(readme) + "\r\nclient.dll|\r\n",
         "error: Manifest Client.txt, line 2 is damaged (the digest is not 32 hexadecimal digits): client.dll|\r\n"},
        {"a first line that is blank", "\r\nclient.dll|" + Md5Text(body) + "\r\n",
         "error: Manifest Client.txt lists no files"},
    };
    const std::wstring logPath = SetupLogPath(L"");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_program.Kill();
        ResetMachine();
        TestHttpServer server;
        ASSERT_TRUE(server.Started());
        ServeFileList(server, HttpReply::Ok(c.list));
        server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(body));
        server.Serve("/Custom/DownloadClient?filename=readme.txt", HttpReply::Ok(readme));
        TempDir temp;
        const std::wstring exe = temp / L"QXTSetup.exe";
        ASSERT_TRUE(CopySetupForServer(server, exe));
        ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
        const std::wstring destination = InstallFilePath(m_installFolder, L"client.dll");
        ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));
        ::DeleteFileW(logPath.c_str());

        HWND dialog = StartSetup(exe);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_START);
        MessageBoxInfo box = ExpectErrorBox(L"文件下载失败，请重试！", {IDOK});
        ASSERT_NE(box.wnd, nullptr);
        AnswerMessageBox(box, IDOK);
        WaitForBoxGone(box);
        ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
        ExpectWelcomePage(dialog, false, m_installFolder);

        EXPECT_EQ(ReadFileBytes(destination), "the file in place");
        EXPECT_EQ(::GetFileAttributesW((destination + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, L"readme.txt").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        for (const HttpRequestRecord& request : server.Requests())
            EXPECT_EQ(request.target.rfind("/Custom/DownloadClient?filename=files&dotnet=", 0), 0u) << request.target;
        EXPECT_EQ(Count(InstallerLog(), "dotNetFx40_Client_x86_x64.exe|"), 0u) << "no installer runs";
        const std::string log = ReadFileBytes(logPath);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    }
}

// A setup stamped with an https address whose server has a certificate from
// an authority the machine does not trust: the download box names the
// certificate problem under its usual line, and nothing is installed.
TEST_F(SetupProgram, ARefusedCertificateIsNamedUnderTheDownloadBoxsFirstLine)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE_UNTRUSTED"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    MessageBoxInfo box =
        ExpectErrorBox(L"文件下载失败，请重试！\n安全连接失败：服务器的证书不是受信任的机构颁发的。", {IDOK});
    ASSERT_NE(box.wnd, nullptr);
    Screenshot(box.wnd, L"error-certificate.png");
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    ExpectWelcomePage(dialog, false, m_installFolder);
    for (const wchar_t* name : {L"Client.txt", L"QXTClient.exe"})
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, name).c_str()), INVALID_FILE_ATTRIBUTES)
            << name;
}

constexpr int kSwitchIds[] = {IDC_SWITCH1, IDC_SWITCH2, IDC_SWITCH3, IDC_SWITCH4, IDC_SWITCH5};

// The five feature switches read from the screen. A switch shows the upper
// frame of its strip until it is selected and the lower one while it is, so a
// switch is selected when it looks clearly different from how it looked
// before anything was selected.
class SwitchesOnScreen {
public:
    explicit SwitchesOnScreen(HWND dialog)
    {
        for (int id : kSwitchIds)
            m_switches.push_back(::GetDlgItem(dialog, id));
    }

    // Takes the unselected look once the switches have been painted: the
    // program paints into its own window surface and Wine copies that to the
    // display a little later, so a look counts once it shows a thumbnail
    // (not the bare, single-coloured window) and has held still for a while.
    bool TakeUnselectedLook(HWND dialog)
    {
        ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        std::vector<ScreenPixels> previous = Capture();
        ULONGLONG stillSince = ::GetTickCount64();
        return WaitUntil([&] {
            std::vector<ScreenPixels> now = Capture();
            bool same = true;
            for (size_t n = 0; n < now.size(); ++n)
                same = same && ShowsAPicture(now[n]) && DifferingShare(now[n], previous[n]) == 0.0;
            if (!same)
                stillSince = ::GetTickCount64();
            previous = std::move(now);
            if (::GetTickCount64() - stillSince < kStillMs)
                return false;
            m_unselected = previous;
            return true;
        });
    }

    // The ids of the switches shown selected; empty while one of them is
    // between the two looks (still being painted).
    std::vector<int> Selected() const
    {
        std::vector<int> selected;
        const std::vector<ScreenPixels> now = Capture();
        for (size_t n = 0; n < now.size(); ++n) {
            const double share = DifferingShare(now[n], m_unselected[n]);
            if (share >= kSelectedShare)
                selected.push_back(kSwitchIds[n]);
            else if (share > kUnselectedShare)
                return {};
        }
        return selected;
    }

    // Waits until exactly that switch is shown selected.
    bool WaitForOnlySelected(int id, DWORD timeoutMs) const
    {
        return WaitUntil([&] { return Selected() == std::vector<int>{id}; }, timeoutMs);
    }

    HWND Switch(int id) const { return m_switches[static_cast<size_t>(id - IDC_SWITCH1)]; }

private:
    // The lit frame changes most of a thumbnail; the dark one matches the
    // first look but for a few anti-aliased edge pixels.
    static constexpr double kSelectedShare = 0.25;
    static constexpr double kUnselectedShare = 0.05;
    static constexpr ULONGLONG kStillMs = 250;

    static bool ShowsAPicture(const ScreenPixels& capture)
    {
        std::set<DWORD> colours(capture.pixels.begin(), capture.pixels.end());
        return colours.size() > 16;
    }

    std::vector<ScreenPixels> Capture() const
    {
        std::vector<ScreenPixels> captures;
        for (HWND wnd : m_switches)
            captures.push_back(CaptureScreenPixels(wnd));
        return captures;
    }

    std::vector<HWND> m_switches;
    std::vector<ScreenPixels> m_unselected;
};

// A point on no test's window, where the cursor rests between the steps.
POINT AwayFromWindows()
{
    return POINT{::GetSystemMetrics(SM_CXSCREEN) - 1, 0};
}

// The feature switches take turns on the rotation timer's ticks, and a rest
// of the mouse on the fifth switch makes the rotation go on with the first.
// The timer keeps ticking every 3 s in the program, so each step posts its
// own tick right after the timer was (re)started and expects its switch
// well before the timer's own next tick could come.
TEST_F(SetupProgram, RotationTakesTurnsAndRestartsAtTheFirstSwitchAfterTheFifthIsHovered)
{
    CursorAway cursor(AwayFromWindows());
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    // Where the other test programs open no windows: their windows on the
    // shared display would hide the switches from the screen and the mouse.
    ::SetWindowPos(dialog, nullptr, 680, 580, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SwitchesOnScreen switches(dialog);
    ASSERT_TRUE(switches.TakeUnselectedLook(dialog)) << "the switches did not settle";

    struct Step {
        const char* what;
        int hovered;  // 0: no hover before the tick
        int selectedAfterTick;
    };
    const Step steps[] = {
        {"the first tick selects the fourth switch", 0, IDC_SWITCH4},
        {"after a rest on the fifth switch the first comes next", IDC_SWITCH5, IDC_SWITCH1},
        {"a rest on another switch keeps the order", IDC_SWITCH3, IDC_SWITCH2},
        {"a rest on the switch before the current one keeps the order", IDC_SWITCH1, IDC_SWITCH3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.hovered) {
            MoveCursor(CentreOf(switches.Switch(step.hovered)));
            ASSERT_TRUE(switches.WaitForOnlySelected(step.hovered, 5000)) << "moving onto a switch selects it";
            // The resting mouse itself: the switch reports the hover after
            // 50 ms without movement, which nothing outside the program can
            // observe, so the cursor stays put well beyond that.
            ::Sleep(400);
            cursor.Rest();
            EXPECT_EQ(switches.Selected(), std::vector<int>{step.hovered}) << "leaving keeps the selection";
        }
        ::PostMessageW(dialog, WM_TIMER, 1, 0);
        EXPECT_TRUE(switches.WaitForOnlySelected(step.selectedAfterTick, 1500))
            << "selected instead: " << ::testing::PrintToString(switches.Selected());
    }
    Screenshot(dialog, L"rotation.png");
}

}  // namespace

// Runs without the dialog: started from the command line, watched until it
// ends (no visible window of it may ever appear), with its log in a scratch
// folder.
class SilentSetupProgram : public SetupProgram {
protected:
    void SetUp() override
    {
        SetupProgram::SetUp();
        m_spacedFolder = GetDefaultInstallPath(nullptr) + L" Games\\My Quolix";
        DeleteTree(m_spacedFolder);
        m_log = m_logDir / L"setup run.log";
    }

    void TearDown() override
    {
        SetupProgram::TearDown();
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient");
        DeleteTree(m_spacedFolder.substr(0, m_spacedFolder.rfind(L'\\')));
    }

    // Starts the program with the arguments and waits for its end; its exit
    // code, and in windowSeen whether any visible window of it showed.
    DWORD RunToEnd(const std::wstring& exe, const std::wstring& arguments, bool& windowSeen)
    {
        windowSeen = false;
        EXPECT_TRUE(m_program.Start(exe, arguments));
        DWORD code = 0xdeadbeef;
        const bool ended = WaitUntil(
            [&] {
                if (!NoTopWindow(m_program.Pid(), nullptr, nullptr))
                    windowSeen = true;
                return m_program.WaitForExit(0, &code);
            },
            kPageTimeoutMs * 2);
        EXPECT_TRUE(ended) << "the silent run did not end";
        return code;
    }

    std::vector<std::string> LogLines()
    {
        std::vector<std::string> lines;
        const std::string bytes = ReadFileBytes(m_log);
        size_t start = 0;
        for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
            lines.push_back(bytes.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // Whether a line of the log contains every one of the parts.
    bool LogHasLine(std::initializer_list<std::string> parts)
    {
        for (const std::string& line : LogLines()) {
            bool all = true;
            for (const std::string& part : parts)
                all = all && line.find(part) != std::string::npos;
            if (all)
                return true;
        }
        return false;
    }

    static std::string Narrow(const std::wstring& text)
    {
        std::string narrow;
        for (wchar_t c : text)
            narrow.push_back(static_cast<char>(c));
        return narrow;
    }

    std::string LogText() { return ReadFileBytes(m_log); }

    std::wstring m_spacedFolder;
    TempDir m_logDir;
    std::wstring m_log;
};

TEST_F(SilentSetupProgram, InstallsIntoAFolderWithSpacesWithoutAWindow)
{
    bool windowSeen = true;
    // The folder unquoted as the last switch: it takes the rest of the line.
    const DWORD code =
        RunToEnd(Env("QXT_SETUP_EXE"), L"\"/LOG=" + m_log + L"\" /s /D=" + m_spacedFolder, windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    EXPECT_FALSE(windowSeen);

    for (const wchar_t* name : {L"QXTClient.exe", L"QXTUnist.exe", L"readme.txt", L"x264vfw.exe"})
        EXPECT_TRUE(IsReadOnly(InstallFilePath(m_spacedFolder, name))) << name;
    InstallInfo entry{};
    ASSERT_EQ(ReadUninstallEntry(entry), 1);
    EXPECT_EQ(std::wstring(entry.InstallLocation), m_spacedFolder);
    // The finish page's three boxes, all checked, and the client started.
    EXPECT_NE(::GetFileAttributesW(GetDesktopShortcutPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(GetProgramGroupPath().c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t run[MAX_PATH] = {};
    DWORD size = sizeof run;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"QXTClient",
                             RRF_RT_REG_SZ, nullptr, run, &size),
              ERROR_SUCCESS);
    EXPECT_TRUE(WaitUntil([&] {
        return Count(ReadFileBytes(InstallFilePath(m_spacedFolder, L"installers.log")), "QXTClient.exe|") == 1;
    })) << "the client did not start";

    // The log tells the run's story.
    const std::string host = Narrow(Env("QXT_SERVER_HOST"));
    const std::string folder = Narrow(m_spacedFolder);
    EXPECT_TRUE(LogHasLine({"QXTSetup 1.0.0.1"})) << LogText();
    EXPECT_TRUE(LogHasLine({"Command line: ", "/s /D=" + folder})) << LogText();
    EXPECT_TRUE(LogHasLine({"Server host: " + host + " (from the executable's trailer)"})) << LogText();
    EXPECT_TRUE(LogHasLine({"Install folder: " + folder})) << LogText();
    EXPECT_TRUE(LogHasLine({"GET http://" + host + "/Custom/DownloadClient?filename=files&dotnet=", "status 200",
                            "stored"}))
        << LogText();
    EXPECT_TRUE(LogHasLine({"GET http://" + host + "/Custom/DownloadClient?filename=QXTClient.exe", "status 200",
                            "declared length", "received", "stored"}))
        << LogText();
    EXPECT_TRUE(LogHasLine({"QXTClient.exe: local MD5 (none), manifest MD5 ", ": fetch"})) << LogText();
    EXPECT_TRUE(LogHasLine({"x264vfw.exe /S"})) << LogText();
    EXPECT_TRUE(LogHasLine({"x264vfw.exe ended with exit code 0 after "})) << LogText();
    EXPECT_TRUE(LogHasLine({"Finish actions: start with Windows yes, program group yes, desktop shortcut yes, "
                            "start the client yes"}))
        << LogText();
    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines.back().find("Installation finished (exit code 0)"), std::string::npos) << LogText();
    EXPECT_TRUE(LogHasLine({"All installation steps done"})) << LogText();
    ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-install.log").c_str(), FALSE);
}

// Stamped with https://localhost:PORT, a server whose certificate comes from
// the authority the prefix trusts: the whole client comes over TLS, and the
// client's configuration names the server without the scheme.
TEST_F(SilentSetupProgram, InstallsOverHttpsAndTheClientConfigurationNamesTheHostWithoutTheScheme)
{
    bool windowSeen = true;
    const DWORD code = RunToEnd(Env("QXT_SETUP_EXE_HTTPS"),
                                L"/S /NOLAUNCH \"/LOG=" + m_log + L"\" /D=" + m_spacedFolder, windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    for (const wchar_t* name : {L"QXTClient.exe", L"QXTUnist.exe", L"readme.txt", L"x264vfw.exe"})
        EXPECT_TRUE(IsReadOnly(InstallFilePath(m_spacedFolder, name))) << name;
    const std::string host = Narrow(Env("QXT_TLS_HOST"));
    EXPECT_TRUE(LogHasLine({"Server host: https://" + host + " (from the executable's trailer)"})) << LogText();
    EXPECT_TRUE(LogHasLine({"GET https://" + host + "/Custom/DownloadClient?filename=QXTClient.exe", "status 200",
                            "stored"}))
        << LogText();
    EXPECT_FALSE(LogHasLine({"GET http://"})) << LogText();
    wchar_t configured[256] = {};
    ::GetPrivateProfileStringW(L"CONFIG", L"HOST", L"(none)", configured, 256,
                               InstallFilePath(m_spacedFolder, L"QXTClient.ini").c_str());
    EXPECT_EQ(std::wstring(configured), Env("QXT_TLS_HOST"));
    ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-https.log").c_str(), FALSE);
}

TEST_F(SilentSetupProgram, SecondSilentRunKeepsTheFilesAndLeavesOutTheFinishActionsItIsToldTo)
{
    bool windowSeen = true;
    ASSERT_EQ(RunToEnd(Env("QXT_SETUP_EXE"), L"/S /NOLAUNCH \"/LOG=" + m_log + L"\"", windowSeen), 0u)
        << LogText();
    EXPECT_FALSE(windowSeen);
    const std::string first = LogText();
    RemoveRunEntry();
    RemoveDesktopShortcut();
    RemoveProgramGroup();

    // An existing installation: its own folder, whatever /D= says; every
    // file is current and kept.
    const DWORD code = RunToEnd(Env("QXT_SETUP_EXE"),
                                L"/S /nolaunch /NOAUTORUN /NoDesktop /NOGROUP \"/LOG=" + m_log + L"\" \"/D=" +
                                    m_spacedFolder + L"\"",
                                windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(ReadFileBytes(PreviousLogPath(m_log)), first) << "the previous log is kept";
    EXPECT_TRUE(LogHasLine({"Existing installation found in " + Narrow(m_installFolder)})) << LogText();
    EXPECT_TRUE(LogHasLine({"QXTClient.exe: local MD5 ", ": kept"})) << LogText();
    EXPECT_FALSE(LogHasLine({"GET ", "filename=QXTClient.exe"})) << "a current file is not fetched again";
    EXPECT_EQ(::GetFileAttributesW(m_spacedFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW(GetDesktopShortcutPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW(GetProgramGroupPath().c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t run[MAX_PATH] = {};
    DWORD size = sizeof run;
    EXPECT_NE(::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"QXTClient",
                             RRF_RT_REG_SZ, nullptr, run, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(Count(InstallerLog(), "QXTClient.exe|"), 0u) << "/NOLAUNCH starts no client";
}

TEST_F(SilentSetupProgram, FailuresEndTheRunWithTheirCodeAndTheLogSaysWhy)
{
    static const struct {
        const char* label;
        const char* installers;  // installers.ini, or nullptr
        bool noServer;
        const wchar_t* arguments;
        DWORD code;
        const char* lastStep;  // the closing line's step
    } cases[] = {
        {"no server", nullptr, true, L"/S", 254, "Installation failed at step: download of the client's files"},
        {"failing plug-in installer answered Abort", "[fp_pl_pfs_installer19.exe]\r\nExitCodes=1\r\n", false, L"/S",
         252, "Installation failed at step: Flash plug-in"},
        {"unknown switch", nullptr, false, L"/S /QUIET", 2,
         "Installation failed at step: command line (exit code 2): unknown switch /QUIET"},
        {"relative folder", nullptr, false, L"/S /D=Games\\Quolix", 3, "Installation failed at step: folder check"},
        {"a switch read into the folder", nullptr, false, L"/S /D=C:\\QXTClient /LOG=C:\\x.log", 3,
         "Installation failed at step: folder check"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        if (c.installers)
            ScriptInstallers(c.installers);
        bool windowSeen = true;
        const std::wstring exe = Env(c.noServer ? "QXT_SETUP_EXE_NO_SERVER" : "QXT_SETUP_EXE");
        // The log switch first: an unquoted /D= takes the rest of the line.
        const DWORD code = RunToEnd(exe, L"\"/LOG=" + m_log + L"\" " + c.arguments, windowSeen);
        EXPECT_EQ(code, c.code) << LogText();
        EXPECT_FALSE(windowSeen);
        InstallInfo entry{};
        EXPECT_NE(ReadUninstallEntry(entry), 1) << "a failed run registers nothing";
        // The log ends with the failed step, its exit code and why.
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find(c.lastStep), std::string::npos) << LogText();
        EXPECT_NE(lines.back().find("(exit code " + std::to_string(c.code) + "): "), std::string::npos) << LogText();
    }
    // The failed request is in the log with the system's reason.
    ResetMachine();
    bool windowSeen = true;
    ASSERT_EQ(RunToEnd(Env("QXT_SETUP_EXE_NO_SERVER"), L"/S \"/LOG=" + m_log + L"\"", windowSeen), 254u);
    EXPECT_TRUE(LogHasLine({"error: GET http://", "/Custom/DownloadClient?filename=files&dotnet=", "failed: "}))
        << LogText();
    // The closing line gives the cause the box would have shown.
    EXPECT_NE(LogLines().back().find("(exit code 254): " + Utf8(L"无法连接到下载服务器，请检查网络连接。")),
              std::string::npos)
        << LogText();
    ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-no-server.log").c_str(), FALSE);
    // Abort ran the plug-in installer once and nothing after it.
    ResetMachine();
    ScriptInstallers("[fp_pl_pfs_installer19.exe]\r\nExitCodes=1\r\n");
    ASSERT_EQ(RunToEnd(Env("QXT_SETUP_EXE"), L"/S \"/LOG=" + m_log + L"\"", windowSeen), 252u);
    EXPECT_EQ(Count(InstallerLog(), "fp_pl_pfs_installer19.exe|"), 1u);
    EXPECT_EQ(Count(InstallerLog(), "x264vfw.exe|"), 0u);
    // The closing line gives the installer's exit code as the reason.
    EXPECT_NE(LogLines().back().find("fp_pl_pfs_installer19.exe ended with exit code 1 after "), std::string::npos)
        << LogText();
}

// Through a proxy that asks for a login, named with /PROXY= or in the
// system's Internet settings: the switches give the login; one still
// missing or refused ends the run with 233 and the log's last line says so;
// no password reaches the log.
TEST_F(SilentSetupProgram, ThroughAProxyThatAsksForALoginTheSwitchesGiveIt)
{
    const std::wstring proxy = Env("QXT_PROXY_HOST");
    const std::wstring login = L" /PROXYUSER=" + Env("QXT_PROXY_USER");
    const std::wstring password = Env("QXT_PROXY_PASSWORD");
    ASSERT_FALSE(proxy.empty());
    const struct {
        const char* label;
        bool systemSettings;  // the Internet settings name the proxy
        std::wstring switches;
        DWORD code;
        const wchar_t* detail;  // the last line's cause, for a failed run
    } kCases[] = {
        {"/PROXY= and its login", false, L"/PROXY=" + proxy + login + L" /PROXYPASS=" + password, 0, nullptr},
        {"the system's proxy and the login's switches", true, login + L" /PROXYPASS=" + password, 0, nullptr},
        {"no login", false, L"/PROXY=" + proxy, 233, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"no login for the system's proxy", true, L"", 233, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"a wrong password", false, L"/PROXY=" + proxy + login + L" /PROXYPASS=wrong-pass-2", 233,
         L"网络要求登录：代理服务器拒绝了所给的用户名或密码。"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        std::unique_ptr<SystemProxySettings> settings;
        if (c.systemSettings) {
            settings = std::make_unique<SystemProxySettings>(proxy);
            ASSERT_TRUE(settings->Set());
        }
        const size_t proxiedBefore = ProxiedRequests("filename=QXTClient.exe");
        bool windowSeen = true;
        const DWORD code =
            RunToEnd(Env("QXT_SETUP_EXE"), L"/S /NOLAUNCH \"/LOG=" + m_log + L"\" " + c.switches, windowSeen);
        EXPECT_EQ(code, c.code) << LogText();
        EXPECT_FALSE(windowSeen);
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        if (c.code == 0) {
            EXPECT_TRUE(IsReadOnly(InstallFilePath(m_installFolder, L"QXTClient.exe")));
            // Once or twice: WinInet may try without the login first.
            EXPECT_GT(ProxiedRequests("filename=QXTClient.exe"), proxiedBefore) << "not through the proxy";
        } else {
            EXPECT_NE(lines.back().find("(exit code 233): " + Utf8(c.detail)), std::string::npos) << LogText();
            EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, L"QXTClient.exe").c_str()),
                      INVALID_FILE_ATTRIBUTES);
            InstallInfo entry{};
            EXPECT_NE(ReadUninstallEntry(entry), 1);
        }
        const std::string log = LogText();
        for (const char* secret : {"wrong-pass-2", "proxy-pass-1"})
            EXPECT_EQ(log.find(secret), std::string::npos) << "the log holds a password: " << log;
        if (c.switches.find(L"/PROXYPASS=") != std::wstring::npos) {
            EXPECT_TRUE(LogHasLine({"Command line: ", "/PROXYPASS=(hidden)"})) << log;
        }
        if (c.code == 0 && !c.systemSettings)
            ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-proxy.log").c_str(), FALSE);
        if (c.code != 0 && c.switches.find(L"wrong") != std::wstring::npos)
            ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-proxy-refused.log").c_str(), FALSE);
    }
}

// A run that did not end while the .NET installers ran left the Internet
// Explorer key open to Everyone, its owner and access list saved. The next
// program closes the key as it starts: before its first request, so also
// when its download fails, and with the dialog already on the welcome page,
// before any run.
TEST_F(SilentSetupProgram, AKeyLeftOpenByARunThatDidNotEndIsClosedAtStart)
{
    const wchar_t ieMainObject[] = L"MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\";
    const std::wstring aclBefore = IeMainAcl();
    const auto savedCopyLeft = [&] {
        DWORD size = 0;
        return ::RegGetValueW(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, ieMainObject, RRF_RT_ANY, nullptr, nullptr,
                              &size) == ERROR_SUCCESS;
    };
    const struct {
        const char* label;
        bool silent;
    } cases[] = {
        {"silent run whose server does not answer", true},
        {"dialog on its welcome page", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // What the .NET step does before its installers run, and a run killed there leaves.
        ASSERT_TRUE(GrantInstallerKeyAccess(ieMainObject));
        ASSERT_NE(IeMainAcl(), aclBefore);
        ASSERT_TRUE(savedCopyLeft());

        if (c.silent) {
            bool windowSeen = true;
            EXPECT_EQ(RunToEnd(Env("QXT_SETUP_EXE_NO_SERVER"), L"/S \"/LOG=" + m_log + L"\"", windowSeen), 254u)
                << LogText();
            const std::vector<std::string> lines = LogLines();
            size_t putBack = lines.size();
            size_t firstRequest = lines.size();
            for (size_t i = 0; i < lines.size(); ++i) {
                if (putBack == lines.size() && lines[i].find("Access list of " + Narrow(ieMainObject) + ": put back: ") !=
                                                   std::string::npos)
                    putBack = i;
                if (firstRequest == lines.size() && lines[i].find("GET http://") != std::string::npos)
                    firstRequest = i;
            }
            EXPECT_LT(putBack, lines.size()) << LogText();
            EXPECT_LT(firstRequest, lines.size()) << LogText();
            EXPECT_LT(putBack, firstRequest) << "closed before the download\n" << LogText();
            EXPECT_TRUE(LogHasLine({"Access list of " + Narrow(ieMainObject) + ": left open by a run that did not end"}))
                << LogText();
        } else {
            HWND dialog = StartSetup(Env("QXT_SETUP_EXE_NO_SERVER"));
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(ReadControl(dialog, IDC_START).visible);
            m_program.Kill();
        }
        EXPECT_EQ(IeMainAcl(), aclBefore);
        EXPECT_FALSE(savedCopyLeft()) << "the saved copy is forgotten once the key is as it was";
    }
}

TEST_F(SilentSetupProgram, ASecondSilentRunLeavesWhileTheFirstProgramRuns)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    ProgramRun second;
    ASSERT_TRUE(second.Start(Env("QXT_SETUP_EXE"), L"/S \"/LOG=" + m_log + L"\""));
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(second.WaitForExit(kPageTimeoutMs, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(LogHasLine({"Another setup program is running: this silent run ends (exit code 1)"})) << LogText();
    EXPECT_TRUE(ReadControl(dialog, IDC_START).visible) << "the first program goes on";
}

TEST_F(SilentSetupProgram, WithoutSilentTheFolderShowsOnTheWelcomePageAfterTheUnknownSwitchIsNamed)
{
    ASSERT_TRUE(m_program.Start(Env("QXT_SETUP_EXE"), L"/BOGUS \"/LOG=" + m_log + L"\" /D=" + m_spacedFolder));
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
    ASSERT_NE(box.wnd, nullptr) << "no box names the unknown switch";
    EXPECT_NE(box.text.find(L"/BOGUS"), std::wstring::npos) << box.text.c_str();
    EXPECT_NE(box.text.find(L"/NOLAUNCH"), std::wstring::npos) << "the box lists the switches";
    AnswerMessageBox(box, IDOK);
    // The box has the dialog's class and caption: until it is gone it could
    // be taken for the dialog.
    WaitForBoxGone(box);

    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = WaitForTopWindow(m_program.Pid(), L"#32770", L"QXTSetup", 0)); },
                          kPageTimeoutMs));
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
    ExpectWelcomePage(dialog, false, m_spacedFolder);
    EXPECT_TRUE(LogHasLine({"error: Unknown switch: /BOGUS"})) << LogText();

    // The run goes into that folder; a run that failed and was left gives
    // the program its failure's code.
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, m_spacedFolder.c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileBytes(InstallFilePath(m_spacedFolder, L"installers.ini"), "[x264vfw.exe]\r\nExitCodes=1\r\n"));
    Click(dialog, IDC_START);
    box = ExpectErrorBox(L"X264视频编码器安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE});
    ASSERT_NE(box.wnd, nullptr);
    AnswerMessageBox(box, IDABORT);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
    PressEscape(dialog);
    box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    AnswerMessageBox(box, IDYES);
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code));
    EXPECT_EQ(code, 251u);
    EXPECT_TRUE(LogHasLine({"Install folder: " + Narrow(m_spacedFolder)})) << LogText();
    EXPECT_TRUE(LogHasLine({"Installation failed at step: x264 encoder", "(exit code 251)"})) << LogText();
    EXPECT_NE(LogLines().back().find("Setup program closed (exit code 251)"), std::string::npos) << LogText();
}

TEST_F(SilentSetupProgram, QuestionMarkListsTheSwitchesAndEnds)
{
    ASSERT_TRUE(m_program.Start(Env("QXT_SETUP_EXE"), L"/? \"/LOG=" + m_log + L"\""));
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
    ASSERT_NE(box.wnd, nullptr);
    for (const wchar_t* name : {L"/S", L"/D=", L"/LOG=", L"/NOLAUNCH", L"/NOAUTORUN", L"/NODESKTOP", L"/NOGROUP"})
        EXPECT_NE(box.text.find(name), std::wstring::npos) << name;
    AnswerMessageBox(box, IDOK);
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"QXTSetup")) << "no dialog after the list";
}

namespace {

// The switches every stand-in installer was run with: each run in
// installers.log ("NAME|PARAMETERS|FOLDER") has those of its name.
void ExpectInstallerSwitches(const std::string& log, const std::map<std::string, std::string>& switches)
{
    for (size_t begin = 0, end = 0; begin < log.size(); begin = end + 1) {
        end = log.find('\n', begin);
        if (end == std::string::npos)
            end = log.size();
        const std::string line = log.substr(begin, end - begin);
        const size_t nameEnd = line.find('|');
        const size_t parametersEnd = line.find('|', nameEnd + 1);
        ASSERT_NE(parametersEnd, std::string::npos) << line;
        const auto expected = switches.find(line.substr(0, nameEnd));
        ASSERT_NE(expected, switches.end()) << "unexpected run: " << line;
        EXPECT_EQ(line.substr(nameEnd + 1, parametersEnd - nameEnd - 1), expected->second) << line;
    }
}

}  // namespace

// A folder quoted after /D= is one switch: the switches after it count, the
// run is silent. Every installer of a silent run gets its quiet switches
// (the .NET installer fails once, so the imaging component's runs too).
TEST_F(SilentSetupProgram, AQuotedFolderIsOneSwitchAndEveryInstallerRunsQuietly)
{
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, m_spacedFolder.c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileBytes(InstallFilePath(m_spacedFolder, L"installers.ini"),
                               "[dotNetFx40_Client_x86_x64.exe]\r\nExitCodes=1,0\r\n"));
    bool windowSeen = true;
    const DWORD code =
        RunToEnd(Env("QXT_SETUP_EXE"), L"/D=\"" + m_spacedFolder + L"\" /S /NOLAUNCH \"/LOG=" + m_log + L"\"",
                 windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    EXPECT_FALSE(windowSeen);
    InstallInfo entry{};
    ASSERT_EQ(ReadUninstallEntry(entry), 1);
    EXPECT_EQ(std::wstring(entry.InstallLocation), m_spacedFolder);
    EXPECT_TRUE(LogHasLine({"Install folder: " + Narrow(m_spacedFolder)})) << LogText();

    const std::string installers = ReadFileBytes(InstallFilePath(m_spacedFolder, L"installers.log"));
    EXPECT_EQ(Count(installers, "dotNetFx40_Client_x86_x64.exe|"), 2u) << installers;
    EXPECT_EQ(Count(installers, "wic_x86_chs.exe|"), 1u) << installers;
    EXPECT_EQ(Count(installers, "x264vfw.exe|"), 1u) << installers;
    EXPECT_EQ(Count(installers, "QXTClient.exe|"), 0u) << "/NOLAUNCH after the folder was not read";
    ExpectInstallerSwitches(installers, {
                                            {"dotNetFx40_Client_x86_x64.exe", "/q /norestart"},
                                            {"wic_x86_chs.exe", "/quiet /norestart"},
                                            {"fp_pl_pfs_installer19.exe", "/install /iv 8"},
                                            {"x264vfw.exe", "/S"},
                                        });
}

// The same installers with the dialog show their progress and offer a restart.
TEST_F(SilentSetupProgram, WithTheDialogTheInstallersShowTheirProgress)
{
    ScriptInstallers("[dotNetFx40_Client_x86_x64.exe]\r\nExitCodes=1,0\r\n");
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs)) << "no finish page";
    Click(dialog, IDC_FINISH);
    DWORD code = 0xdeadbeef;
    ASSERT_TRUE(m_program.WaitForExit(kPageTimeoutMs, &code)) << "the dialog did not close";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitUntil([&] { return Count(InstallerLog(), "QXTClient.exe|") == 1; })) << "the client did not start";

    const std::string installers = InstallerLog();
    EXPECT_EQ(Count(installers, "dotNetFx40_Client_x86_x64.exe|"), 2u) << installers;
    EXPECT_EQ(Count(installers, "wic_x86_chs.exe|"), 1u) << installers;
    ExpectInstallerSwitches(installers, {
                                            {"dotNetFx40_Client_x86_x64.exe", "/passive /promptrestart"},
                                            {"wic_x86_chs.exe", "/passive /promptrestart"},
                                            {"fp_pl_pfs_installer19.exe", "/install /iv 8"},
                                            {"x264vfw.exe", "/S"},
                                            {"QXTClient.exe", ""},
                                        });
}

// /? with /S shows no box: the list of switches goes to the log, and nothing
// is installed.
TEST_F(SilentSetupProgram, SilentQuestionMarkWritesTheSwitchesToTheLogAndInstallsNothing)
{
    bool windowSeen = true;
    const DWORD code = RunToEnd(Env("QXT_SETUP_EXE"), L"/S /? \"/LOG=" + m_log + L"\"", windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    EXPECT_FALSE(windowSeen);
    // Each switch at the start of a line of its own (after the line's time),
    // its description two blanks after it.
    const size_t timeWidth = std::string("YYYY-MM-DD hh:mm:ss.mmm ").size();
    const std::vector<std::string> lines = LogLines();
    for (const std::string name : {"/S", "/D=", "/LOG=", "/NOLAUNCH", "/NOAUTORUN", "/NODESKTOP", "/NOGROUP"}) {
        bool listed = false;
        for (const std::string& line : lines) {
            listed = listed || (line.compare(timeWidth, name.size(), name) == 0 &&
                                line.find("  ", timeWidth + name.size()) != std::string::npos);
        }
        EXPECT_TRUE(listed) << name << "\n" << LogText();
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("nothing was installed (exit code 0)"), std::string::npos) << LogText();
    EXPECT_FALSE(LogHasLine({"Installation run started"})) << LogText();
    EXPECT_EQ(::GetFileAttributesW(m_installFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    InstallInfo entry{};
    EXPECT_NE(ReadUninstallEntry(entry), 1) << "nothing may be installed";
}

// A silent run whose file list has a damaged line full of characters that
// would break the log (a vertical tab, a file separator, NEL, a terminal's
// escape sequence) ends with the download's code; the log names the line
// with those characters escaped and keeps one event per line.
TEST_F(SilentSetupProgram, ADamagedFileListEndsTheRunWithTheDownloadCodeAndTheLogKeepsItsLines)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    ServeFileList(server, HttpReply::Ok("client.dll|01\x0b\x1c\x85\x1b[2J89ABCDEF\r\n"));
    server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(std::string(1000, 'n')));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    const std::wstring destination = InstallFilePath(m_installFolder, L"client.dll");
    ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));

    bool windowSeen = true;
    EXPECT_EQ(RunToEnd(exe, L"/S \"/LOG=" + m_log + L"\"", windowSeen), 254u) << LogText();
    EXPECT_FALSE(windowSeen);

    EXPECT_EQ(ReadFileBytes(destination), "the file in place");
    const std::string escaped = "client.dll|01\\x0B\\x1C\\x85\\x1B[2J89ABCDEF";
    EXPECT_TRUE(LogHasLine({"error: Manifest Client.txt, line 1 is damaged (the digest is not 32 hexadecimal digits): " +
                            escaped}))
        << LogText();
    const std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("Installation failed at step: download of the client's files"), std::string::npos)
        << LogText();
    EXPECT_NE(lines.back().find(escaped), std::string::npos) << "the closing line names the damaged line";
    const std::string text = LogText();
    EXPECT_EQ(text.find("\xC2\x85"), std::string::npos) << "NEL written as it came";
    for (const std::string& line : lines) {
        for (unsigned char c : line)
            EXPECT_GE(c, 0x20) << line;
        EXPECT_TRUE(line.size() >= 24 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
                    line[19] == '.')
            << "not an event of its own: " << line;
    }
}

// The host comes from the executable's trailer, whatever bytes follow the
// marker: the log shows one with a carriage return and NEL escaped, in its
// own line and in the request's.
TEST_F(SilentSetupProgram, AHostWithControlCharactersIsEscapedInTheLog)
{
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    const std::string image = ReadFileBytes(qxt::test::HelperPath(L"..\\QXTSetup.exe"));
    ASSERT_FALSE(image.empty());
    ASSERT_TRUE(WriteFileBytes(exe, image + "$127.0.0.1\r\x85:1"));

    bool windowSeen = true;
    EXPECT_EQ(RunToEnd(exe, L"/S \"/LOG=" + m_log + L"\"", windowSeen), 254u) << LogText();
    EXPECT_FALSE(windowSeen);

    EXPECT_TRUE(LogHasLine({"Server host: 127.0.0.1\\x0D\\x85:1 (from the executable's trailer)"})) << LogText();
    EXPECT_TRUE(LogHasLine({"error: GET http://127.0.0.1\\x0D\\x85:1/Custom/DownloadClient?filename=files&dotnet="}))
        << LogText();
    EXPECT_EQ(LogText().find("\xC2\x85"), std::string::npos) << "NEL written as it came";
}
