#include "framework/MessageBox.h"
#include "framework/SystemErrorText.h"

#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/MessageText.h"

#include <gtest/gtest.h>

#include <string>

using qxt::test::FormatMessageText;
using qxt::test::HasSystemIcon;
using qxt::test::MessageBoxContent;
using qxt::test::MessageBoxWatcher;

namespace {

// The test program's own name, as the boxes are captioned without a title resource.
const wchar_t kAppName[] = L"framework_messagebox_tests";

TEST(AfxGetAppName, IsTheExecutablesNameWithoutFolderOrExtension)
{
    EXPECT_EQ(AfxGetAppName(), kAppName);
}

TEST(AfxMessageBox, ShowsTheTextUnderTheAppNameAndReturnsTheAnswer)
{
    static const struct {
        const char* label;
        UINT type;
        int answer;
        std::vector<int> buttons;
        const wchar_t* icon;
    } cases[] = {
        {"OK box gets the exclamation icon", MB_OK, IDOK, {IDOK}, IDI_EXCLAMATION},
        {"Yes/No box gets the question icon", MB_YESNO, IDNO, {IDYES, IDNO}, IDI_QUESTION},
        {"an icon given is kept", MB_YESNO | MB_ICONERROR, IDYES, {IDYES, IDNO}, IDI_ERROR},
        {"retry/cancel box gets no icon", MB_RETRYCANCEL, IDRETRY, {IDRETRY, IDCANCEL}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageBoxWatcher watcher(kAppName, {c.answer});
        EXPECT_EQ(AfxMessageBox(L"第一行\n second line", c.type), c.answer);
        ASSERT_TRUE(watcher.WaitForBoxes(1));
        const MessageBoxContent box = watcher.Boxes()[0];
        EXPECT_EQ(box.caption, kAppName);
        EXPECT_EQ(box.text, L"第一行\n second line");
        EXPECT_EQ(box.buttons, c.buttons);
        if (c.icon) {
            EXPECT_TRUE(HasSystemIcon(box, c.icon));
        } else {
            EXPECT_EQ(box.icon, nullptr);
        }
    }
}

TEST(AfxMessageBox, IsOwnedByTheMainWindowOnceOneIsSet)
{
    HWND main = ::CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    HWND child = ::CreateWindowExW(0, L"STATIC", L"child", WS_CHILD, 0, 0, 20, 10, main, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);

    {
        MessageBoxWatcher watcher(kAppName);
        AfxMessageBox(L"no owner");
        ASSERT_TRUE(watcher.WaitForBoxes(1));
        EXPECT_EQ(watcher.Boxes()[0].owner, nullptr);
    }
    for (HWND registered : {main, child}) {
        AfxSetMainWnd(registered);
        EXPECT_EQ(AfxGetMainWnd(), registered);
        MessageBoxWatcher watcher(kAppName);
        AfxMessageBox(L"owned");
        ASSERT_TRUE(watcher.WaitForBoxes(1));
        EXPECT_EQ(watcher.Boxes()[0].owner, main) << "a child's box belongs to its top-level window";
    }
    AfxSetMainWnd(nullptr);
    ::DestroyWindow(main);
}

TEST(SystemErrorText, IsTheSystemsTextForTheCode)
{
    for (DWORD error : {DWORD(ERROR_FILE_NOT_FOUND), DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_BAD_EXE_FORMAT)}) {
        SCOPED_TRACE(error);
        const std::wstring expected = FormatMessageText(error);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(SystemErrorText(error), expected);
        ::SetLastError(error);
        EXPECT_EQ(LastErrorText(), expected);
    }
}

TEST(SystemErrorText, NamesACodeTheSystemHasNoTextFor)
{
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), L"错误代码 805306367");
}

}  // namespace
