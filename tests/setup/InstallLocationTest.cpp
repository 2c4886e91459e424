#include "setup/InstallLocation.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

std::wstring ProgramFilesX86()
{
    wchar_t folder[MAX_PATH] = {};
    EXPECT_TRUE(::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILESX86, FALSE));
    return folder;
}

TEST(InstallLocation, DefaultIsThe32BitProgramFilesFolder)
{
    EXPECT_EQ(GetDefaultInstallPath(nullptr), ProgramFilesX86() + L"\\QXTClient");
}

TEST(InstallLocation, ChosenFolderGetsTheClientFolderOnce)
{
    static const struct {
        const wchar_t* label;
        const wchar_t* chosen;
        const wchar_t* expected;
    } cases[] = {
        {L"folder", L"D:\\Games", L"D:\\Games\\QXTClient"},
        {L"drive root", L"D:\\", L"D:\\QXTClient"},
        {L"folder already named QXTClient", L"D:\\QXTClient", L"D:\\QXTClient\\QXTClient"},
        {L"folder with blanks", L"C:\\Program Files (x86)", L"C:\\Program Files (x86)\\QXTClient"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallPathForChosenFolder(c.chosen), c.expected) << c.label;
}

// Records what the folder browser's callback sends to the browser window.
struct BrowserStandIn {
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == BFFM_SETSELECTIONW || msg == BFFM_SETSTATUSTEXTW) {
            auto* self = reinterpret_cast<BrowserStandIn*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
            self->message = msg;
            self->wParam = wp;
            self->text = reinterpret_cast<const wchar_t*>(lp);
            return 0;
        }
        return ::DefWindowProcW(wnd, msg, wp, lp);
    }

    BrowserStandIn()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QxtBrowserStandIn";
        ::RegisterClassW(&wc);
        wnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~BrowserStandIn() { ::DestroyWindow(wnd); }

    HWND wnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0xdeadbeef;
    std::wstring text;
};

TEST(InstallLocation, BrowserOpensOnThe32BitProgramFilesFolder)
{
    BrowserStandIn browser;
    EXPECT_EQ(BrowseCallbackProc(browser.wnd, BFFM_INITIALIZED, 0, 0), 0);
    EXPECT_EQ(browser.message, static_cast<UINT>(BFFM_SETSELECTIONW));
    EXPECT_EQ(browser.wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(browser.text, ProgramFilesX86());
}

TEST(InstallLocation, BrowserShowsTheSelectedFolderAsStatus)
{
    BrowserStandIn browser;
    LPITEMIDLIST windows = nullptr;
    ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &windows), S_OK);
    EXPECT_EQ(BrowseCallbackProc(browser.wnd, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(windows), 0), 0);
    ::CoTaskMemFree(windows);
    EXPECT_EQ(browser.message, static_cast<UINT>(BFFM_SETSTATUSTEXTW));
    EXPECT_EQ(browser.wParam, 0u);
    wchar_t expected[MAX_PATH] = {};
    ::GetWindowsDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(browser.text, expected);
}

BOOL CALLBACK FindOwnDialog(HWND wnd, LPARAM found)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    wchar_t cls[64] = {};
    ::GetClassNameW(wnd, cls, 64);
    if (pid == ::GetCurrentProcessId() && std::wstring(cls) == L"#32770" && ::IsWindowVisible(wnd)) {
        *reinterpret_cast<HWND*>(found) = wnd;
        return FALSE;
    }
    return TRUE;
}

// Finds the folder browser this process opened, waiting up to ten seconds.
HWND WaitForBrowser()
{
    HWND found = nullptr;
    qxt::test::WaitUntil([&] {
        ::EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&found));
        return found != nullptr;
    });
    return found;
}

// Opens the folder browser on a thread of its own, presses a button of it and
// returns what BrowseForInstallFolder answered (-1: the browser never showed).
int BrowseAndPress(int button, wchar_t (&chosen)[MAX_PATH])
{
    std::atomic<int> result{-1};
    std::thread ui([&] {
        ::CoInitialize(nullptr);
        result = BrowseForInstallFolder(L"请选择Quolix安装位置", chosen, nullptr) ? 1 : 0;
        ::CoUninitialize();
    });
    HWND browser = WaitForBrowser();
    // Without a browser to answer, the thread would wait forever: end the test's process instead.
    if (!browser)
        ::ExitProcess(3);
    ::PostMessageW(browser, WM_COMMAND, button, 0);
    ui.join();
    return result;
}

TEST(InstallLocation, BrowserReturnsOnlyAFolderTheUserConfirms)
{
    static const struct {
        const wchar_t* label;
        int button;
        int result;
        bool preselectedFolderChosen;
    } cases[] = {
        {L"OK takes the preselected folder", IDOK, 1, true},
        {L"Cancel chooses nothing", IDCANCEL, 0, false},
    };
    for (const auto& c : cases) {
        wchar_t chosen[MAX_PATH] = L"untouched";
        EXPECT_EQ(BrowseAndPress(c.button, chosen), c.result) << c.label;
        EXPECT_EQ(std::wstring(chosen), c.preselectedFolderChosen ? ProgramFilesX86() : L"untouched") << c.label;
    }
}

}  // namespace
