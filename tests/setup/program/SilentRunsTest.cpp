// The setup program started from a command line: silent runs (/S) to their
// end with the log telling their story and their exit codes, the switches
// (/D=, /LOG=, /NO..., /?, an unknown one) with and without the dialog, the
// installers' quiet and visible switches, a second program beside the first,
// a key left open by a run that did not end, and damaged input (a file list,
// a host) escaped in the log.
#include "core/InstallInfo.h"
#include "core/ProductNames.h"
#include "framework/LogFile.h"
#include "install/FinishActions.h"
#include "install/InstallerKeyAccess.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "tests/setup/program/SetupProgramFixture.h"
#include "tests/support/IeMainAcl.h"
#include "tests/support/Utf8Text.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

using namespace qxt::test;

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
