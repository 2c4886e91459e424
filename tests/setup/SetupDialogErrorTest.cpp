// The setup dialog's error box after a failed download, run with the
// stand-in operations: the box's first line is the one its code stands for,
// and the download's detail line, when it gives one, comes under it.
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

TEST(SetupDialogError, TheDownloadsDetailLineComesUnderTheBoxsFirstLine)
{
    static const struct {
        const char* label;
        const wchar_t* detail;
        const wchar_t* boxText;
    } cases[] = {
        {"no detail", L"", L"文件下载失败，请重试！"},
        {"a detail line", L"服务器证书不受信任", L"文件下载失败，请重试！\n服务器证书不受信任"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageRecorder recorder;
        CQXTSetupDlg dialog;
        StandInOperations standIns(recorder, dialog);
        standIns.ScriptResults(L"DownloadClientFiles", {FALSE});
        standIns.ScriptDownloadFailure({SETUP_ERR_DOWNLOAD, c.detail, {}});
        dialog.m_operations = standIns.Table();

        std::atomic<bool> ended{false};
        std::thread ui([&] {
            dialog.DoModal();
            ended = true;
        });
        const HWND wnd = WaitForTopWindow(::GetCurrentProcessId(), L"#32770", L"QXTSetup", kTimeoutMs);
        EXPECT_NE(wnd, nullptr) << "no setup dialog";
        if (wnd && WaitUntil([&] { return ReadControl(wnd, IDC_START).visible; })) {
            Click(wnd, IDC_START);
            const MessageBoxInfo box = WaitForMessageBox(::GetCurrentProcessId(), kTimeoutMs);
            EXPECT_NE(box.wnd, nullptr) << "no error box";
            EXPECT_EQ(box.caption, L"错误");
            EXPECT_EQ(box.text, c.boxText);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            EXPECT_TRUE(box.hasErrorIcon);
            if (box.wnd)
                AnswerMessageBox(box, IDOK);
            EXPECT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_START).visible; }, kTimeoutMs))
                << "the welcome page did not come back";

            // Leaving now asks first, as after any run that did not install.
            ::PostMessageW(wnd, WM_CLOSE, 0, 0);
            const MessageBoxInfo question = WaitForMessageBox(::GetCurrentProcessId(), kTimeoutMs);
            EXPECT_EQ(question.text, L"您确定要退出安装过程吗？");
            if (question.wnd)
                AnswerMessageBox(question, IDYES);
        }
        if (!WaitUntil([&] { return ended.load(); }, kTimeoutMs) && wnd)
            ::EndDialog(wnd, IDABORT);
        ui.join();
        if (dialog.m_workerThread) {
            EXPECT_EQ(::WaitForSingleObject(dialog.m_workerThread.Get(), kTimeoutMs), WAIT_OBJECT_0);
        }
    }
}

}  // namespace
