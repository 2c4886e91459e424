// The setup dialog at the five display scales users run (100 % to 200 %), as
// after a move to a screen of that scale (WM_DPICHANGED, what the system
// sends a per-monitor aware window): the window, every control and the
// pictures at that scale, and every text measured with the font the control
// writes with against the control that holds it, on all three pages.
#include "setup/QXTSetupDlg.h"

#include "core/SetupMessages.h"
#include "transfer/DownloadFailure.h"
#include "framework/WindowDpi.h"
#include "res/resource.h"
#include "tests/setup/StandInOperations.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/UiDriver.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace qxt::test;
using qxt::ScaleToDpi;

constexpr DWORD kTimeoutMs = 20000;
constexpr UINT kScales[] = {96, 120, 144, 168, 192};
constexpr wchar_t kFolder[] = L"C:\\Program Files (x86)\\QXTClient";
constexpr wchar_t kStatus[] = L"正在下载 QXTClient.exe ...";
constexpr wchar_t kCounter[] = L"17/17";

// The dialog is told that it now stands on a screen of that scale, and
// handles it before this returns. The place offered is the screen's corner,
// where the whole window is on the screen whatever its size.
void MoveToScale(HWND dialog, UINT dpi)
{
    RECT window{};
    ::GetWindowRect(dialog, &window);
    ::OffsetRect(&window, -window.left, -window.top);
    ::SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));
}

// A screenshot for a person to look at, when the run asks for them: once
// the window has painted and stands still (the panel's fade has ended).
void Screenshot(HWND wnd, const std::string& name)
{
    const char* folder = std::getenv("QXT_SCREENSHOT_DIR");
    if (!folder)
        return;
    ScreenPixels previous = CaptureScreenPixels(wnd);
    ULONGLONG stillSince = ::GetTickCount64();
    WaitUntil(
        [&] {
            ScreenPixels now = CaptureScreenPixels(wnd);
            if (DifferingShare(now, previous) != 0.0)
                stillSince = ::GetTickCount64();
            previous = std::move(now);
            return ::GetTickCount64() - stillSince >= 400;
        },
        5000);
    const std::string path = std::string(folder) + "/" + name + ".png";
    EXPECT_TRUE(SaveWindowScreenshot(wnd, std::wstring(path.begin(), path.end()))) << path;
}

SIZE ClientSize(HWND wnd)
{
    RECT r{};
    ::GetClientRect(wnd, &r);
    return SIZE{r.right, r.bottom};
}

SIZE WindowSize(HWND wnd)
{
    RECT r{};
    ::GetWindowRect(wnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// How big a text comes out in a font: its width, and the height of its line.
SIZE TextSize(HWND wnd, HFONT font, const std::wstring& text)
{
    HDC dc = ::GetDC(wnd);
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    if (previous)
        ::SelectObject(dc, previous);
    ::ReleaseDC(wnd, dc);
    return SIZE{extent.cx, metrics.tmHeight};
}

HFONT FontOf(HWND wnd)
{
    return reinterpret_cast<HFONT>(::SendMessageW(wnd, WM_GETFONT, 0, 0));
}

// A text fits its control when its whole width and the whole height of its
// line lie within the control's client area.
void ExpectFits(HWND control, HFONT font, const std::wstring& text, const char* label, UINT dpi)
{
    const SIZE text_ = TextSize(control, font, text);
    const SIZE room = ClientSize(control);
    EXPECT_LE(text_.cx, room.cx) << label << " at " << dpi << " dpi: the text is wider than its control";
    EXPECT_LE(text_.cy, room.cy) << label << " at " << dpi << " dpi: the line is higher than its control";
}

// Text of several lines that the control wraps (a message box's): laid out
// at the control's width, it must take no more than its height.
void ExpectWrappedTextFits(HWND control, HFONT font, const std::wstring& text, const char* label, UINT dpi)
{
    const SIZE room = ClientSize(control);
    HDC dc = ::GetDC(control);
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    RECT laid{0, 0, room.cx, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &laid,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    if (previous)
        ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    EXPECT_LE(laid.right, room.cx) << label << " at " << dpi << " dpi: the text is wider than its control";
    EXPECT_LE(laid.bottom, room.cy) << label << " at " << dpi << " dpi: the text is higher than its control";
}

class DialogScale : public ::testing::Test {
protected:
    DialogScale() : standIns(recorder, dialog)
    {
        dialog.m_operations = standIns.Table();
        dialog.m_strInitialFolder = std::wstring(kFolder);
        // A download that shows its progress and then waits for the test.
        dialog.m_operations.DownloadClientFiles = [this](const wchar_t*, const volatile LONG* cancel, HWND window,
                                                         InstallInfo&, DownloadFailure&) -> BOOL {
            ::SendMessageW(window, WM_DOWNLOAD_BEGIN, 0, 0);
            const std::wstring status = kStatus;
            ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&status), 0);
            ::SendMessageW(window, WM_DOWNLOAD_FILE_INDEX, 17, 17);
            ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, 100, 100);
            ::SetEvent(downloading);
            WaitUntil([&] { return ::WaitForSingleObject(release, 0) == WAIT_OBJECT_0 || *cancel != 0; }, kTimeoutMs);
            return *cancel == 0;
        };
    }

    ~DialogScale() override
    {
        ::SetEvent(release);
        if (ui.joinable()) {
            // Closed as a person would (the finish button would run the real
            // finish actions); before the finish page that asks first.
            if (wnd) {
                ::PostMessageW(wnd, WM_CLOSE, 0, 0);
                const MessageBoxInfo box = WaitForMessageBox(::GetCurrentProcessId(), 2000);
                if (box.wnd)
                    AnswerMessageBox(box, IDYES);
            }
            if (!WaitUntil([&] { return ended.load(); }, kTimeoutMs) && wnd)
                ::EndDialog(wnd, IDABORT);
            ui.join();
        }
        ::InterlockedExchange(&dialog.m_bExitRequested, 1);
        ::InterlockedExchange(&dialog.m_bCancelRequested, 1);
        if (dialog.m_workerThread)
            ::WaitForSingleObject(dialog.m_workerThread.Get(), kTimeoutMs);
        ::CloseHandle(downloading);
        ::CloseHandle(release);
    }

    void Open()
    {
        ui = std::thread([this] {
            dialog.DoModal();
            ended = true;
        });
        wnd = WaitForTopWindow(::GetCurrentProcessId(), L"#32770", L"QXTSetup", kTimeoutMs);
        ASSERT_NE(wnd, nullptr) << "no setup dialog";
        ASSERT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_START).visible; }));
    }

    HWND Item(int id) const { return ::GetDlgItem(wnd, id); }

    // The window at the scale: the width of the title strip, the height of
    // both skin pictures, each drawn for that scale.
    void ExpectWindowAtScale(UINT dpi)
    {
        const SIZE client = ClientSize(wnd);
        EXPECT_EQ(client.cx, ScaleToDpi(590, dpi)) << dpi << " dpi";
        EXPECT_EQ(client.cy, ScaleToDpi(36, dpi) + ScaleToDpi(399, dpi)) << dpi << " dpi";
    }

    // A control sized to one frame of its picture at the scale.
    void ExpectFrameSize(int id, int designWidth, int designHeight, const char* label, UINT dpi)
    {
        const SIZE size = WindowSize(Item(id));
        EXPECT_EQ(size.cx, ScaleToDpi(designWidth, dpi)) << label << " at " << dpi << " dpi";
        EXPECT_EQ(size.cy, ScaleToDpi(designHeight, dpi)) << label << " at " << dpi << " dpi";
    }

    MessageRecorder recorder;
    CQXTSetupDlg dialog;
    StandInOperations standIns;
    HANDLE downloading = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread ui;
    std::atomic<bool> ended{false};
    HWND wnd = nullptr;
};

TEST_F(DialogScale, EveryPageAndEveryTextFitsAtEveryScale)
{
    Open();
    ASSERT_NE(wnd, nullptr);

    for (const UINT dpi : kScales) {
        SCOPED_TRACE(testing::Message() << "welcome page at " << dpi << " dpi");
        MoveToScale(wnd, dpi);
        ExpectWindowAtScale(dpi);
        // Fixed sizes from the layout, the rest from the pictures at the scale.
        EXPECT_EQ(WindowSize(Item(IDC_INSTALL_PATH)).cx, ScaleToDpi(400, dpi) - ScaleToDpi(20, dpi));
        EXPECT_EQ(WindowSize(Item(IDC_INSTALL_PATH)).cy, ScaleToDpi(415, dpi) - ScaleToDpi(385, dpi));
        ExpectFrameSize(IDC_CLOSE, 36, 36, "close", dpi);
        ExpectFrameSize(IDC_MINIMIZE, 36, 36, "minimise", dpi);
        ExpectFrameSize(IDC_BROWSE, 30, 30, "browse", dpi);
        ExpectFrameSize(IDC_START, 90, 35, "start", dpi);
        ExpectFrameSize(IDC_SWITCH3, 57, 57, "switch 3", dpi);
        EXPECT_EQ(ReadControl(wnd, IDC_CLOSE).rect.right, ScaleToDpi(590, dpi)) << "close flush with the edge";
        EXPECT_EQ(ReadControl(wnd, IDC_INSTALL_PATH).rect.right, ReadControl(wnd, IDC_BROWSE).rect.left)
            << "the folder box and its browse button touch";
        ExpectFits(Item(IDC_INSTALL_PATH), FontOf(Item(IDC_INSTALL_PATH)), kFolder, "folder", dpi);
        // The scales that no prefix runs at: the 2x pictures shrunk.
        if (dpi == 120 || dpi == 168)
            Screenshot(wnd, "dpichanged-welcome-" + std::to_string(dpi) + "dpi");
    }

    Click(wnd, IDC_START);
    ASSERT_EQ(::WaitForSingleObject(downloading, kTimeoutMs), WAIT_OBJECT_0) << "the download did not start";
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_COUNTER).text == kCounter; }));
    for (const UINT dpi : kScales) {
        SCOPED_TRACE(testing::Message() << "progress page at " << dpi << " dpi");
        MoveToScale(wnd, dpi);
        ExpectWindowAtScale(dpi);
        ExpectFrameSize(IDC_CANCEL_INSTALL, 90, 35, "cancel", dpi);
        EXPECT_EQ(WindowSize(Item(IDC_STATUS)).cy, ScaleToDpi(395, dpi) - ScaleToDpi(375, dpi));
        ExpectFits(Item(IDC_STATUS), FontOf(Item(IDC_STATUS)), kStatus, "status line", dpi);
        ExpectFits(Item(IDC_COUNTER), FontOf(Item(IDC_COUNTER)), kCounter, "counter", dpi);
        // The percentage is written in the dialog's font.
        ExpectFits(Item(IDC_PROGRESS), FontOf(wnd), L"100%", "progress", dpi);
        if (dpi == 120 || dpi == 168)
            Screenshot(wnd, "dpichanged-progress-" + std::to_string(dpi) + "dpi");
    }

    ::SetEvent(release);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_FINISH).visible; }, kTimeoutMs)) << "no finish page";
    for (const UINT dpi : kScales) {
        SCOPED_TRACE(testing::Message() << "finish page at " << dpi << " dpi");
        MoveToScale(wnd, dpi);
        ExpectWindowAtScale(dpi);
        // The captions are drawn into the pictures at the scale: a control
        // of one frame's size shows all of them.
        ExpectFrameSize(IDC_AUTORUN, 230, 23, "autorun", dpi);
        ExpectFrameSize(IDC_DESKTOP_SHORTCUT, 230, 23, "desktop shortcut", dpi);
        ExpectFrameSize(IDC_PROGRAM_GROUP, 230, 23, "program group", dpi);
        ExpectFrameSize(IDC_FINISH, 90, 35, "finish", dpi);
        EXPECT_EQ(ReadControl(wnd, IDC_PROGRAM_GROUP).rect.top, ScaleToDpi(210, dpi));
    }
}

// Where the system itself runs at another scale (LogPixels), the dialog
// opens at it: the run in the prefixes at 144 and 192 dpi checks this path,
// and the screenshots of its pages and of an error box come from it.
TEST_F(DialogScale, OpensAtTheScaleOfItsScreen)
{
    const UINT dpi = qxt::DpiOfWindow(nullptr);
    const std::string scale = std::to_string(dpi) + "dpi";
    Open();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(qxt::DpiOfWindow(wnd), dpi);
    ExpectWindowAtScale(dpi);
    ExpectFrameSize(IDC_START, 90, 35, "start", dpi);
    ExpectFits(Item(IDC_INSTALL_PATH), FontOf(Item(IDC_INSTALL_PATH)), kFolder, "folder", dpi);
    Screenshot(wnd, "scale-welcome-" + scale);

    Click(wnd, IDC_START);
    ASSERT_EQ(::WaitForSingleObject(downloading, kTimeoutMs), WAIT_OBJECT_0) << "the download did not start";
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_COUNTER).text == kCounter; }));
    ExpectFits(Item(IDC_STATUS), FontOf(Item(IDC_STATUS)), kStatus, "status line", dpi);
    ExpectFits(Item(IDC_COUNTER), FontOf(Item(IDC_COUNTER)), kCounter, "counter", dpi);
    ExpectFits(Item(IDC_PROGRESS), FontOf(wnd), L"100%", "progress", dpi);
    Screenshot(wnd, "scale-progress-" + scale);

    ::SetEvent(release);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_FINISH).visible; }, kTimeoutMs)) << "no finish page";
    ExpectFrameSize(IDC_DESKTOP_SHORTCUT, 230, 23, "desktop shortcut", dpi);
    Screenshot(wnd, "scale-finish-" + scale);
}

TEST_F(DialogScale, AnErrorBoxShowsItsWholeTextAtTheScale)
{
    const UINT dpi = qxt::DpiOfWindow(nullptr);
    // The longest box the download shows: its first line and the line naming the cause.
    static const wchar_t kDetail[] = L"安全连接失败：服务器的证书不是受信任的机构颁发的。";
    dialog.m_operations.DownloadClientFiles = [](const wchar_t*, const volatile LONG*, HWND, InstallInfo&,
                                                 DownloadFailure& failure) -> BOOL {
        failure.detail = kDetail;
        return FALSE;
    };
    Open();
    ASSERT_NE(wnd, nullptr);
    Click(wnd, IDC_START);
    const MessageBoxInfo box = WaitForMessageBox(::GetCurrentProcessId(), kTimeoutMs);
    ASSERT_NE(box.wnd, nullptr) << "no error box";
    EXPECT_EQ(box.text, std::wstring(L"文件下载失败，请重试！\n") + kDetail);
    HWND text = ::GetDlgItem(box.wnd, 0xFFFF);
    ASSERT_NE(text, nullptr);
    ExpectWrappedTextFits(text, FontOf(text), box.text, "error box", dpi);
    Screenshot(box.wnd, "scale-error-box-" + std::to_string(dpi) + "dpi");
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ReadControl(wnd, IDC_START).visible; })) << "back on the welcome page";
}

TEST_F(DialogScale, BackAtTheFirstScaleTheDialogIsAsItOpened)
{
    Open();
    ASSERT_NE(wnd, nullptr);
    const ControlState edit = ReadControl(wnd, IDC_INSTALL_PATH);
    const ControlState start = ReadControl(wnd, IDC_START);
    const SIZE client = ClientSize(wnd);
    const HFONT font = FontOf(Item(IDC_INSTALL_PATH));
    const UINT opened = qxt::DpiOfWindow(wnd);

    MoveToScale(wnd, opened == 192 ? 96 : 192);
    EXPECT_NE(ClientSize(wnd).cx, client.cx);
    MoveToScale(wnd, opened);
    EXPECT_EQ(ClientSize(wnd).cx, client.cx);
    EXPECT_EQ(ClientSize(wnd).cy, client.cy);
    const RECT editAgain = ReadControl(wnd, IDC_INSTALL_PATH).rect;
    const RECT startAgain = ReadControl(wnd, IDC_START).rect;
    EXPECT_TRUE(::EqualRect(&editAgain, &edit.rect));
    EXPECT_TRUE(::EqualRect(&startAgain, &start.rect));
    EXPECT_EQ(FontOf(Item(IDC_INSTALL_PATH)), font) << "the template's own font again";
    EXPECT_EQ(ReadControl(wnd, IDC_INSTALL_PATH).text, edit.text);
}

}  // namespace
