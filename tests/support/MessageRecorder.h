// A window that stands in for the setup dialog in tests: it records every
// message it receives and answers WM_SETUP_ERROR from a script, so code that
// reports to the dialog with SendMessageW (the installation worker, the
// download loop) runs unchanged against it. Compare whole sequences with
// MatchesSequence.
//
// Usage:
//
//     qxt::test::MessageRecorder recorder;          // window + its own thread
//     recorder.ScriptErrorAnswers({IDRETRY, IDIGNORE, IDABORT});
//     recorder.SetHook([&](const qxt::test::RecordedMessage& m) {
//         if (m.message == WM_DOWNLOAD_BEGIN)       // runs on the recorder's thread,
//             ::InterlockedExchange(&cancel, 1);    // before SendMessageW returns
//     });
//     ... code under test sends to recorder.Window() ...
//     static const qxt::test::ExpectedMessage expected[] = {
//         {WM_SETUP_BEGIN, 0, 0},
//         {qxt::test::kNote, L"DownloadClientFiles", 0},   // added by recorder.Note()
//         {WM_SETUP_STATUS_TEXT, L"text copied during the call", 0},
//         {WM_DOWNLOAD_PROGRESS, qxt::test::kAny, qxt::test::kAny},
//         {WM_SETUP_ERROR, SETUP_ERR_FLASH, 0},                       // no detail line
//         {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"the detail line"},   // lParam's text
//     };
//     EXPECT_TRUE(qxt::test::MatchesSequence(recorder.Messages(), expected));
//
// The window lives on a thread of its own with its own message loop, so a
// sender on any other thread (the test's own thread too) gets a real
// cross-thread SendMessageW. Everything is recorded under a lock; Messages()
// returns a copy. Every wait is bounded.
#pragma once

#include <windows.h>

#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

namespace qxt::test {

// Pseudo message of the entries that Note() adds: calls of stand-in
// operations, so one sequence shows what was called between the messages.
// (Window messages never go above 0xFFFF.)
inline constexpr UINT kNote = 0x10000;

// One message as the recorder saw it.
struct RecordedMessage {
    UINT message = 0;
    WPARAM wParam = 0;      // for a text message, the pointer value (meaningless after the call)
    LPARAM lParam = 0;
    bool hasText = false;   // WM_SETUP_STATUS_TEXT, WM_DOWNLOAD_FAILED, kNote (or another text message)
    std::wstring text;      // copy of *(const std::wstring*)wParam taken during the call
    bool hasLParamText = false;  // WM_SETUP_ERROR with a detail line (lParam not 0)
    std::wstring lParamText;     // copy of *(const std::wstring*)lParam taken during the call
    LRESULT answer = 0;     // what the recorder returned
};

// Readable name of a message ("WM_SETUP_STEP"), or its number in hex.
std::string MessageName(UINT message);
// One recorded message as a line of text, e.g. WM_SETUP_STEP(1, 1) or
// WM_SETUP_STATUS_TEXT("...", 0) -> 4.
std::string Describe(const RecordedMessage& message);

struct AnyValue {};
// Matches any wParam or lParam.
inline constexpr AnyValue kAny{};

// What one wParam or lParam of an expected message must be: a number, a text
// (for the messages whose wParam, or WM_SETUP_ERROR's lParam, carries a
// string), or kAny. A number never matches a parameter that carried a text.
class ExpectedValue {
public:
    enum class Kind { Number, Text, Any };

    template <std::integral T>
    ExpectedValue(T number) : m_kind(Kind::Number), m_number(static_cast<std::int64_t>(number)) {}
    template <typename E>
        requires std::is_enum_v<E>
    ExpectedValue(E number) : m_kind(Kind::Number), m_number(static_cast<std::int64_t>(number)) {}
    ExpectedValue(const wchar_t* text) : m_kind(Kind::Text), m_text(text) {}
    ExpectedValue(AnyValue) : m_kind(Kind::Any) {}

    Kind GetKind() const { return m_kind; }
    std::int64_t Number() const { return m_number; }
    const wchar_t* Text() const { return m_text; }

private:
    Kind m_kind;
    std::int64_t m_number = 0;
    const wchar_t* m_text = nullptr;
};

// One entry of an expected sequence: {message, wParam or text, lParam}.
struct ExpectedMessage {
    UINT message;
    ExpectedValue wParam;
    ExpectedValue lParam;
};

std::string Describe(const ExpectedMessage& message);

// Compares a whole recorded sequence with the expected one. On the first
// difference the failure lists both sequences side by side from the start,
// marking where they part, in the style of Wine's message tests.
::testing::AssertionResult MatchesSequence(const std::vector<RecordedMessage>& actual,
                                           std::span<const ExpectedMessage> expected);
inline ::testing::AssertionResult MatchesSequence(const std::vector<RecordedMessage>& actual,
                                                  std::initializer_list<ExpectedMessage> expected)
{
    return MatchesSequence(actual, std::span<const ExpectedMessage>(expected.begin(), expected.size()));
}

class MessageRecorder {
public:
    using Hook = std::function<void(const RecordedMessage&)>;
    using Filter = std::function<bool(UINT message)>;

    // Creates the window on a new thread and waits (bounded) until it exists.
    // visible: shows the window (a small popup at 0,0, not activated) so that
    // it gets WM_PAINT after an InvalidateRect; hidden windows are never painted.
    explicit MessageRecorder(bool visible = false);
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    // Destroys the window on its thread and waits (bounded) for the thread.
    ~MessageRecorder();

    HWND Window() const { return m_window; }
    DWORD ThreadId() const { return m_threadId; }

    // Answers for WM_SETUP_ERROR, used one per message in order (IDRETRY 4,
    // IDIGNORE 5, IDABORT 3, IDOK 1, 0, ...). Once the script is used up the
    // recorder answers 0, which stops a retryable step.
    void ScriptErrorAnswers(std::vector<LRESULT> answers);
    // How many WM_SETUP_ERROR messages found the script used up.
    int UnscriptedErrors() const;

    // Runs on the recorder's thread for every recorded message, after it has
    // been recorded and before the sender's SendMessageW returns.
    void SetHook(Hook hook);

    // Messages whose wParam is a const std::wstring* (copied during the call).
    // Defaults to WM_SETUP_STATUS_TEXT and WM_DOWNLOAD_FAILED.
    void SetTextMessages(std::vector<UINT> messages);

    // Which messages Messages() returns. Default: the private messages
    // (WM_USER to 0x7FFF) and kNote; everything the window receives is recorded anyway
    // and AllMessages() returns it unfiltered.
    void SetFilter(Filter filter);

    std::vector<RecordedMessage> Messages() const;
    std::vector<RecordedMessage> AllMessages() const;
    // Number of received messages with that id (unfiltered).
    int Count(UINT message) const;
    // Forgets everything recorded so far (a separator between phases).
    void Clear();

    // Adds a kNote entry {kNote, text, value} to the sequence from any thread,
    // e.g. from a stand-in operation: {kNote, L"InstallFlashPlugin", 0}.
    void Note(std::wstring text, LPARAM value = 0);

    // Runs work on the recorder's thread and waits for it, e.g. to create
    // child controls there: a real dialog's controls belong to the dialog's
    // thread, and a control owned by a thread that does not pump messages
    // would block every EnableWindow from the recorder's hook. Not recorded.
    void RunOnWindowThread(const std::function<void()>& work) const;

    // Waits until at least count messages with that id have been received;
    // false when timeoutMs passes first.
    bool WaitFor(UINT message, int count = 1, DWORD timeoutMs = 10000) const;

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Record(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool IsTextMessage(UINT message) const;

    bool m_visible;
    HWND m_window = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_received;
    std::vector<RecordedMessage> m_messages;
    std::vector<LRESULT> m_answers;
    size_t m_nextAnswer = 0;
    int m_unscripted = 0;
    std::vector<UINT> m_textMessages;
    Hook m_hook;
    Filter m_filter;
};

}  // namespace qxt::test
