// The recorder that stands in for the dialog must itself be right, or every
// sequence test built on it proves nothing.
#include "tests/support/MessageRecorder.h"

#include "core/SetupMessages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using qxt::test::kAny;
using qxt::test::MatchesSequence;
using qxt::test::MessageRecorder;

TEST(MessageRecorder, RecordsTextsAndAnswersErrorsFromTheScript)
{
    MessageRecorder recorder;
    recorder.ScriptErrorAnswers({IDRETRY, IDIGNORE});
    const HWND window = recorder.Window();

    EXPECT_EQ(::SendMessageW(window, WM_SETUP_BEGIN, 0, 0), 0);
    {
        std::wstring status = L"正在下载 Client.txt";
        ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&status), 0);
        status = L"overwritten after the call";
    }
    EXPECT_EQ(::SendMessageW(window, WM_SETUP_ERROR, SETUP_ERR_FLASH, 0), IDRETRY);
    EXPECT_EQ(::SendMessageW(window, WM_SETUP_ERROR, SETUP_ERR_FLASH, 0), IDIGNORE);
    EXPECT_EQ(::SendMessageW(window, WM_SETUP_ERROR, SETUP_ERR_X264, 0), 0);
    ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, 1234, 5678);
    EXPECT_EQ(recorder.UnscriptedErrors(), 1);

    const auto actual = recorder.Messages();
    EXPECT_TRUE(MatchesSequence(actual, {
                                            {WM_SETUP_BEGIN, 0, 0},
                                            {WM_SETUP_STATUS_TEXT, L"正在下载 Client.txt", 0},
                                            {WM_SETUP_ERROR, SETUP_ERR_FLASH, 0},
                                            {WM_SETUP_ERROR, SETUP_ERR_FLASH, 0},
                                            {WM_SETUP_ERROR, SETUP_ERR_X264, 0},
                                            {WM_DOWNLOAD_PROGRESS, kAny, 5678},
                                        }));
    ASSERT_EQ(actual.size(), 6u);
    EXPECT_EQ(actual[2].answer, IDRETRY);
    EXPECT_EQ(actual[3].answer, IDIGNORE);
}

TEST(MessageRecorder, ComparisonNamesTheFirstDifference)
{
    MessageRecorder recorder;
    ::SendMessageW(recorder.Window(), WM_SETUP_STEP, STEP_DOTNET, 1);
    ::SendMessageW(recorder.Window(), WM_SETUP_STEP, STEP_FLASH, 2);
    const auto actual = recorder.Messages();

    static const struct {
        const char* label;
        std::vector<qxt::test::ExpectedMessage> expected;
        const char* firstDifference;
    } cases[] = {
        {"other lParam", {{WM_SETUP_STEP, 1, 1}, {WM_SETUP_STEP, 2, 3}},
         "entry 1: expected WM_SETUP_STEP(2, 3), got WM_SETUP_STEP(2, 2)"},
        {"other message", {{WM_SETUP_BEGIN, 0, 0}},
         "entry 0: expected WM_SETUP_BEGIN(0, 0), got WM_SETUP_STEP(1, 1)"},
        {"missing entry", {{WM_SETUP_STEP, 1, 1}, {WM_SETUP_STEP, 2, 2}, {WM_SETUP_COMPLETE, 0, 0}},
         "entry 2: expected WM_SETUP_COMPLETE(0, 0), got the end"},
        {"extra entry", {{WM_SETUP_STEP, kAny, kAny}},
         "entry 1: expected the end, got WM_SETUP_STEP(2, 2)"},
        {"text where a number came", {{WM_SETUP_STEP, L"1", 1}, {WM_SETUP_STEP, 2, 2}},
         "entry 0: expected WM_SETUP_STEP(\"1\", 1), got WM_SETUP_STEP(1, 1)"},
    };
    for (const auto& c : cases) {
        const auto result = MatchesSequence(actual, c.expected);
        EXPECT_FALSE(result) << c.label;
        EXPECT_NE(std::string(result.message()).find(c.firstDifference), std::string::npos)
            << c.label << ":\n" << result.message();
    }
}

// WM_SETUP_ERROR's lParam is the box's detail line or 0: the text is copied
// during the call, and a detail never passes for "no detail" or the reverse.
TEST(MessageRecorder, AnErrorsDetailLineIsComparedAsText)
{
    MessageRecorder recorder;
    recorder.ScriptErrorAnswers({IDOK, IDOK});
    {
        std::wstring detail = L"服务器证书不受信任";
        EXPECT_EQ(::SendMessageW(recorder.Window(), WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD,
                                 reinterpret_cast<LPARAM>(&detail)),
                  IDOK);
        detail = L"overwritten after the call";
    }
    EXPECT_EQ(::SendMessageW(recorder.Window(), WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0), IDOK);
    const auto actual = recorder.Messages();
    EXPECT_TRUE(MatchesSequence(actual, {
                                            {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"服务器证书不受信任"},
                                            {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0},
                                        }));
    EXPECT_TRUE(MatchesSequence(actual, {{WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, kAny},
                                         {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, kAny}}));

    static const struct {
        const char* label;
        std::vector<qxt::test::ExpectedMessage> expected;
        const char* firstDifference;
    } cases[] = {
        {"no detail expected where one came",
         {{WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0}, {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0}},
         "entry 0: expected WM_SETUP_ERROR(254, 0), got WM_SETUP_ERROR(254, \"服务器证书不受信任\")"},
        {"another detail",
         {{WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"证书已过期"}, {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0}},
         "entry 0: expected WM_SETUP_ERROR(254, \"证书已过期\"), got WM_SETUP_ERROR(254, \"服务器证书不受信任\")"},
        {"a detail expected where none came",
         {{WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"服务器证书不受信任"},
          {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"服务器证书不受信任"}},
         "entry 1: expected WM_SETUP_ERROR(254, \"服务器证书不受信任\"), got WM_SETUP_ERROR(254, 0)"},
    };
    for (const auto& c : cases) {
        const auto result = MatchesSequence(actual, c.expected);
        EXPECT_FALSE(result) << c.label;
        EXPECT_NE(std::string(result.message()).find(c.firstDifference), std::string::npos)
            << c.label << ":\n" << result.message();
    }
}

TEST(MessageRecorder, HookRunsOnTheRecorderThreadBeforeTheSenderGoesOn)
{
    MessageRecorder recorder;
    volatile LONG cancel = 0;
    DWORD hookThread = 0;
    recorder.SetHook([&](const qxt::test::RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_BEGIN) {
            hookThread = ::GetCurrentThreadId();
            ::InterlockedExchange(&cancel, 1);
        }
    });
    ::SendMessageW(recorder.Window(), WM_SETUP_BEGIN, 0, 0);
    EXPECT_EQ(cancel, 0);
    ::SendMessageW(recorder.Window(), WM_DOWNLOAD_BEGIN, 0, 0);
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(hookThread, recorder.ThreadId());
    EXPECT_NE(hookThread, ::GetCurrentThreadId());
}

TEST(MessageRecorder, VisibleWindowIsPaintedAfterInvalidation)
{
    MessageRecorder recorder(true);
    ASSERT_TRUE(recorder.WaitFor(WM_PAINT));
    const int painted = recorder.Count(WM_PAINT);
    ::InvalidateRect(recorder.Window(), nullptr, TRUE);
    EXPECT_TRUE(recorder.WaitFor(WM_PAINT, painted + 1));
    // System messages are recorded but stay out of the default sequence.
    EXPECT_TRUE(recorder.Messages().empty());
}

}  // namespace
