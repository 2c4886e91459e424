// The start command on a window with the welcome page's real controls: what
// it disables, which record the run gets, and that a start while a run is
// going only ends the client.
#include "setup/StartInstallation.h"

#include "core/SetupMessages.h"
#include "res/resource.h"
#include "setup/SetupSession.h"
#include "tests/setup/StandInOperations.h"
#include "tests/setup/WelcomePage.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestPaths.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using qxt::test::ExpectedMessage;
using qxt::test::kAny;
using qxt::test::kNote;
using qxt::test::MatchesSequence;
using qxt::test::MessageRecorder;
using qxt::test::StandInOperations;
using qxt::test::kWelcomeControls;
using qxt::test::WelcomePage;

constexpr DWORD kRunTimeoutMs = 10000;

class StartInstallationTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kFolder = L"C:\\Program Files (x86)\\QXT 测试";

    StartInstallationTest() : session(SetupOperations{}), standIns(recorder, session), page(recorder, kFolder)
    {
        session.m_operations = standIns.Table();
        session.m_strServerHost = L"preset.example";
    }

    // Waits for the worker's last report and for the worker to end; its exit code.
    DWORD WaitForWorker(UINT lastMessage)
    {
        EXPECT_TRUE(recorder.WaitFor(lastMessage, 1, kRunTimeoutMs));
        if (!standIns.workerThread) {
            ADD_FAILURE() << "no worker thread ran";
            return 0xdeadbeef;
        }
        EXPECT_EQ(::WaitForSingleObject(standIns.workerThread, kRunTimeoutMs), WAIT_OBJECT_0);
        DWORD exitCode = 0xdeadbeef;
        ::GetExitCodeThread(standIns.workerThread, &exitCode);
        return exitCode;
    }

    // The dialog's folder check, as the start command is given it: recorded in
    // the sequence, answering acceptFolder.
    InstallFolderCheck FolderCheck()
    {
        return [this](const std::wstring& folder) {
            recorder.Note(L"AcceptInstallFolder " + folder);
            return acceptFolder;
        };
    }

    bool acceptFolder = true;
    MessageRecorder recorder;
    SetupSession session;
    StandInOperations standIns;
    WelcomePage page;
};

TEST_F(StartInstallationTest, FreshInstallationFillsTheRecordFromTheFolderText)
{
    ::InterlockedExchange(&session.m_bCancelRequested, 1);  // left over from a cancelled run

    StartInstallation(recorder.Window(), session, FolderCheck());
    for (int id : kWelcomeControls)
        EXPECT_FALSE(page.Enabled(id)) << "control " << id;

    EXPECT_EQ(WaitForWorker(WM_SETUP_COMPLETE), SETUP_OK);
    const auto messages = recorder.Messages();
    ASSERT_GE(messages.size(), 5u);
    const std::vector<ExpectedMessage> start = {
        {kNote, L"KillFirstProcessByName QXTClient.exe", 0},
        {kNote, L"AcceptInstallFolder C:\\Program Files (x86)\\QXT 测试", 0},
        {kNote, L"FillInstallInfo C:\\Program Files (x86)\\QXT 测试", 0},
        {kNote, L"ReadServerHost preset.example", 0},
        {WM_SETUP_BEGIN, 0, 0},
    };
    EXPECT_TRUE(MatchesSequence({messages.begin(), messages.begin() + 5}, start));
    EXPECT_EQ(messages.back().message, WM_SETUP_COMPLETE);

    EXPECT_EQ(session.m_hDialog, recorder.Window());
    EXPECT_EQ(session.m_bCancelRequested, 0);
    EXPECT_STREQ(session.m_installInfo.InstallLocation, kFolder);
    EXPECT_STREQ(session.m_installInfo.DisplayName, L"Quolix");
    EXPECT_EQ(session.m_installInfo.EstimatedSize,
              StandInOperations::kFileSizes[0] + StandInOperations::kFileSizes[1]);
    EXPECT_EQ(::GetThreadPriority(standIns.workerThread), THREAD_PRIORITY_NORMAL);
    // The worker never touches a control: only the dialog's handlers do.
    for (int id : kWelcomeControls)
        EXPECT_FALSE(page.Enabled(id)) << "control " << id;
}

TEST_F(StartInstallationTest, ExistingInstallationKeepsItsRecordAndOnlyResetsTheSize)
{
    session.m_bExistingInstall = true;
    ::FillInstallInfo(session.m_installInfo, L"D:\\Games\\QXTClient");
    std::wcscpy(session.m_installInfo.DisplayVersion, L"2.1.0.15");
    session.m_installInfo.MajorVersion = 2;
    session.m_installInfo.MinorVersion = 1;
    session.m_installInfo.EstimatedSize = 5000 * 1024;
    InstallInfo before = session.m_installInfo;

    StartInstallation(recorder.Window(), session, FolderCheck());
    EXPECT_EQ(WaitForWorker(WM_SETUP_COMPLETE), SETUP_OK);

    const auto messages = recorder.Messages();
    ASSERT_GE(messages.size(), 4u);
    const std::vector<ExpectedMessage> start = {
        {kNote, L"KillFirstProcessByName QXTClient.exe", 0},
        {kNote, L"ReadServerHost preset.example", 0},
        {WM_SETUP_BEGIN, 0, 0},
        {kNote, L"DownloadClientFiles trailer.example", 0},  // size reset before the download
    };
    EXPECT_TRUE(MatchesSequence({messages.begin(), messages.begin() + 4}, start));

    before.EstimatedSize = StandInOperations::kFileSizes[0] + StandInOperations::kFileSizes[1];
    EXPECT_EQ(std::memcmp(&before, &session.m_installInfo, sizeof before), 0)
        << "only EstimatedSize may change; InstallLocation is now " << session.m_installInfo.InstallLocation;
}

TEST_F(StartInstallationTest, StartWhileARunIsGoingOnlyEndsTheClient)
{
    // What the controls look like while a run is going: the start button is disabled.
    page.Enable(IDC_START, false);
    ::InterlockedExchange(&session.m_bCancelRequested, 1);
    ::FillInstallInfo(session.m_installInfo, L"D:\\Running");

    StartInstallation(recorder.Window(), session, FolderCheck());

    EXPECT_TRUE(MatchesSequence(recorder.Messages(), {{kNote, L"KillFirstProcessByName QXTClient.exe", 0}}));
    EXPECT_TRUE(page.Enabled(IDC_INSTALL_PATH));
    EXPECT_TRUE(page.Enabled(IDC_BROWSE));
    EXPECT_TRUE(page.Enabled(IDC_CLOSE));
    EXPECT_EQ(session.m_bCancelRequested, 1);
    EXPECT_STREQ(session.m_installInfo.InstallLocation, L"D:\\Running");
    // No worker may show up later either.
    EXPECT_FALSE(recorder.WaitFor(WM_SETUP_BEGIN, 1, 300));
    EXPECT_EQ(standIns.workerThread, nullptr);
}

// A client started from a copy of waiter.exe named QXTClient.exe; terminated
// at the end if it is still running.
class RunningClient {
public:
    explicit RunningClient(const qxt::test::TempDir& folder)
    {
        const std::wstring path = folder / L"QXTClient.exe";
        EXPECT_TRUE(::CopyFileW(qxt::test::HelperPath(L"waiter.exe").c_str(), path.c_str(), FALSE));
        std::wstring commandLine = L"\"" + path + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info)) {
            ::CloseHandle(info.hThread);
            m_process = info.hProcess;
            m_id = info.dwProcessId;
        }
    }
    RunningClient(const RunningClient&) = delete;
    RunningClient& operator=(const RunningClient&) = delete;
    ~RunningClient()
    {
        if (m_process) {
            ::TerminateProcess(m_process, 1);
            ::WaitForSingleObject(m_process, kRunTimeoutMs);
            ::CloseHandle(m_process);
        }
    }

    HANDLE Process() const { return m_process; }

    // Polls (bounded) until the process list shows the client.
    bool Listed() const
    {
        for (int i = 0; i < 1000; ++i, ::Sleep(10)) {
            HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof entry;
            bool found = false;
            for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
                 more = ::Process32NextW(snapshot, &entry))
                found = entry.th32ProcessID == m_id && ::lstrcmpiW(entry.szExeFile, L"QXTClient.exe") == 0;
            ::CloseHandle(snapshot);
            if (found)
                return true;
        }
        return false;
    }

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

TEST_F(StartInstallationTest, StartWhileARunIsGoingEndsARealClient)
{
    qxt::test::TempDir folder;
    RunningClient client(folder);
    ASSERT_NE(client.Process(), nullptr);
    ASSERT_TRUE(client.Listed());
    session.m_operations.KillFirstProcessByName = RealSetupOperations().KillFirstProcessByName;
    page.Enable(IDC_START, false);

    StartInstallation(recorder.Window(), session, FolderCheck());

    EXPECT_EQ(::WaitForSingleObject(client.Process(), kRunTimeoutMs), WAIT_OBJECT_0) << "the client was ended";
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(standIns.workerThread, nullptr);
}

TEST_F(StartInstallationTest, RefusedFolderLeavesTheWelcomePageAsItWas)
{
    acceptFolder = false;
    ::FillInstallInfo(session.m_installInfo, L"D:\\Earlier");

    StartInstallation(recorder.Window(), session, FolderCheck());

    for (int id : kWelcomeControls)
        EXPECT_TRUE(page.Enabled(id)) << "control " << id;
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), {{kNote, L"KillFirstProcessByName QXTClient.exe", 0},
                                                      {kNote, L"AcceptInstallFolder C:\\Program Files (x86)\\QXT 测试", 0}}));
    EXPECT_STREQ(session.m_installInfo.InstallLocation, L"D:\\Earlier");
    EXPECT_FALSE(recorder.WaitFor(WM_SETUP_BEGIN, 1, 300));
    EXPECT_EQ(standIns.workerThread, nullptr);
}

TEST_F(StartInstallationTest, FailedRunCanBeStartedAgainFromTheBeginning)
{
    // The dialog answers the failure by bringing the welcome page back.
    standIns.ScriptResults(L"InstallFlashPlugin", {FALSE});
    recorder.ScriptErrorAnswers({IDABORT});
    recorder.SetHook([&](const qxt::test::RecordedMessage& m) {
        if (m.message == WM_SETUP_ERROR)
            for (int id : kWelcomeControls)
                ::EnableWindow(::GetDlgItem(recorder.Window(), id), TRUE);
    });
    StartInstallation(recorder.Window(), session, FolderCheck());
    EXPECT_EQ(WaitForWorker(WM_SETUP_ERROR), SETUP_ERR_FLASH);
    ::CloseHandle(standIns.workerThread);
    standIns.workerThread = nullptr;
    recorder.Clear();

    StartInstallation(recorder.Window(), session, FolderCheck());
    EXPECT_EQ(WaitForWorker(WM_SETUP_COMPLETE), SETUP_OK);
    const auto messages = recorder.Messages();
    ASSERT_GE(messages.size(), 5u);
    EXPECT_TRUE(MatchesSequence({messages.begin(), messages.begin() + 5},
                                {
                                    {kNote, L"KillFirstProcessByName QXTClient.exe", 0},
                                    {kNote, L"AcceptInstallFolder C:\\Program Files (x86)\\QXT 测试", 0},
                                    {kNote, L"FillInstallInfo C:\\Program Files (x86)\\QXT 测试", 0},
                                    {kNote, L"ReadServerHost trailer.example", 0},
                                    {WM_SETUP_BEGIN, 0, 0},
                                }));
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const auto& m) { return m.message == kNote && m.text == L"InstallFlashPlugin"; }),
              1);
}

}  // namespace
