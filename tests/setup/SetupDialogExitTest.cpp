// The setup dialog itself, run with the stand-in operations: a confirmed exit
// while the worker is inside a step or the download waits, saying so on the
// status line and still answering the worker's messages, until the worker has
// finished what it was in; the dialog is gone only after the worker.
#include "setup/QXTSetupDlg.h"

#include "core/SetupMessages.h"
#include "res/resource.h"
#include "tests/setup/StandInOperations.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/UiDriver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

using namespace qxt::test;

constexpr DWORD kTimeoutMs = 20000;
constexpr wchar_t kExiting[] = L"正在退出，请稍候...";

class SetupDialogExit : public ::testing::Test {
protected:
    SetupDialogExit() : standIns(recorder, dialog) { dialog.m_operations = standIns.Table(); }

    // Whatever a failed test left running ends before the stand-ins and the
    // dialog it uses go.
    ~SetupDialogExit() override
    {
        ::SetEvent(release);
        if (ui.joinable()) {
            if (!WaitUntil([&] { return ended.load(); }, 1000) && m_wnd)
                ::EndDialog(m_wnd, IDABORT);
            ui.join();
        }
        ::InterlockedExchange(&dialog.m_bExitRequested, 1);
        ::InterlockedExchange(&dialog.m_bCancelRequested, 1);
        if (dialog.m_workerThread)
            ::WaitForSingleObject(dialog.m_workerThread.Get(), kTimeoutMs);
        ::CloseHandle(entered);
        ::CloseHandle(release);
    }

    // Runs the dialog on a thread of its own, as the program's main thread
    // would, and waits for its welcome page.
    HWND Open()
    {
        ui = std::thread([this] {
            result = dialog.DoModal();
            ended = true;
        });
        HWND wnd = WaitForTopWindow(::GetCurrentProcessId(), L"#32770", L"QXTSetup", kTimeoutMs);
        m_wnd = wnd;
        EXPECT_NE(wnd, nullptr) << "no setup dialog";
        if (wnd) {
            EXPECT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_START).visible; }));
        }
        return wnd;
    }

    // Confirms the exit question that closing the dialog asks.
    void ConfirmExit(HWND wnd)
    {
        ::PostMessageW(wnd, WM_CLOSE, 0, 0);
        const MessageBoxInfo box = WaitForMessageBox(::GetCurrentProcessId(), kTimeoutMs);
        ASSERT_NE(box.wnd, nullptr) << "no exit question";
        EXPECT_EQ(box.text, L"您确定要退出安装过程吗？");
        AnswerMessageBox(box, IDYES);
    }

    // The dialog has confirmed the exit and now waits, saying so: it is
    // still there, its close and cancel buttons disabled.
    void ExpectWaitingToExit(HWND wnd)
    {
        EXPECT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_STATUS).text == kExiting; }))
            << "status: " << testing::PrintToString(ReadControl(wnd, IDC_STATUS).text);
        EXPECT_TRUE(ReadControl(wnd, IDC_STATUS).visible);
        EXPECT_FALSE(ReadControl(wnd, IDC_CLOSE).enabled);
        EXPECT_FALSE(ReadControl(wnd, IDC_CANCEL_INSTALL).enabled);
        EXPECT_FALSE(WaitUntil([&] { return ended.load(); }, 300)) << "the dialog did not wait for the worker";
        EXPECT_TRUE(::IsWindow(wnd));
    }

    void ExpectEndedAfterTheWorker()
    {
        ASSERT_TRUE(WaitUntil([&] { return ended.load(); }, kTimeoutMs)) << "the dialog did not end";
        ui.join();
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_TRUE(dialog.m_workerThread);
        EXPECT_EQ(::WaitForSingleObject(dialog.m_workerThread.Get(), 0), WAIT_OBJECT_0)
            << "the worker outlived the dialog";
        EXPECT_TRUE(NoTopWindow(::GetCurrentProcessId(), L"#32770", L"错误")) << "leaving shows no error";
    }

    bool Called(const std::wstring& operation)
    {
        for (const RecordedMessage& m : recorder.Messages())
            if (m.message == kNote && m.text == operation)
                return true;
        return false;
    }

    MessageRecorder recorder;
    CQXTSetupDlg dialog;
    StandInOperations standIns;
    HANDLE entered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread ui;
    INT_PTR result = -1;
    std::atomic<bool> ended{false};
    HWND m_wnd = nullptr;
};

TEST_F(SetupDialogExit, ExitDuringAStepWaitsUntilTheStepHasFinished)
{
    std::atomic<bool> stepFinished{false};
    dialog.m_operations.InstallDotNetFramework = [&](InstallInfo&) -> BOOL {
        ::SetEvent(entered);
        // Stands in for an installer that runs until the test lets it end;
        // then the step puts back what it changed.
        ::WaitForSingleObject(release, kTimeoutMs);
        stepFinished = true;
        return TRUE;
    };
    HWND wnd = Open();
    ASSERT_NE(wnd, nullptr);
    Click(wnd, IDC_START);
    ASSERT_EQ(::WaitForSingleObject(entered, kTimeoutMs), WAIT_OBJECT_0) << "the .NET step did not start";

    ConfirmExit(wnd);
    ExpectWaitingToExit(wnd);
    EXPECT_FALSE(stepFinished);

    ::SetEvent(release);
    ExpectEndedAfterTheWorker();
    EXPECT_TRUE(stepFinished);
    EXPECT_FALSE(Called(L"InstallFlashPlugin")) << "no step starts after the exit";
}

TEST_F(SetupDialogExit, ExitDuringTheDownloadCancelsItAndWaitsForIt)
{
    std::atomic<bool> sawCancel{false};
    dialog.m_operations.DownloadClientFiles = [&](const wchar_t*, const volatile LONG* cancel, HWND window,
                                                  InstallInfo&, DownloadFailure&) -> BOOL {
        ::SendMessageW(window, WM_DOWNLOAD_BEGIN, 0, 0);
        ::SetEvent(entered);
        sawCancel = WaitUntil([&] { return *cancel != 0; }, kTimeoutMs);
        // What a download reports on its way out; answered while the dialog
        // waits (a blocking wait would never return from here).
        const std::wstring text = L"下载已取消";
        ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&text), 0);
        ::SendMessageW(window, WM_DOWNLOAD_FAILED, reinterpret_cast<WPARAM>(&text), 0);
        return FALSE;
    };
    HWND wnd = Open();
    ASSERT_NE(wnd, nullptr);
    Click(wnd, IDC_START);
    ASSERT_EQ(::WaitForSingleObject(entered, kTimeoutMs), WAIT_OBJECT_0) << "the download did not start";
    EXPECT_TRUE(ReadControl(wnd, IDC_CANCEL_INSTALL).enabled);

    ConfirmExit(wnd);
    ExpectEndedAfterTheWorker();
    EXPECT_TRUE(sawCancel) << "the download was not told to stop";
    EXPECT_FALSE(Called(L"InstallDotNetFramework")) << "no step starts after the exit";
}

}  // namespace
