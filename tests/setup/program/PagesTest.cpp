// The setup program's pages as a person goes through them: a fresh
// installation from the welcome page to the finish page, the existing
// installation on a second start, leaving by Escape (also while an
// installer runs), the progress page while files come side by side, and the
// feature switches taking turns.
#include "core/InstallInfo.h"
#include "core/SetupMessages.h"
#include "framework/Process.h"
#include "install/ClientConfig.h"
#include "install/FinishActions.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "tests/setup/program/SetupProgramFixture.h"
#include "tests/setup/program/SwitchesOnScreen.h"
#include "tests/support/Cursor.h"
#include "tests/support/IeMainAcl.h"
#include "trust/MD5Checksum.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

using namespace qxt::test;

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

namespace {

// A point on no test's window, where the cursor rests between the steps.
POINT AwayFromWindows()
{
    return POINT{::GetSystemMetrics(SM_CXSCREEN) - 1, 0};
}

}  // namespace

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
