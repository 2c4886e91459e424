// Finds, reads and answers the message boxes the test program itself shows.
// The box blocks the thread that raised it, so a watcher thread answers it:
//
//     qxt::test::MessageBoxWatcher watcher(L"setup_tests", {IDOK});
//     RunAndWait(...);                       // shows a box, returns once answered
//     ASSERT_TRUE(watcher.WaitForBoxes(1));
//     EXPECT_EQ(watcher.Boxes()[0].text, expected);
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qxt::test {

// What a standard message box (#32770) shows.
struct MessageBoxContent {
    HWND wnd = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // ids of the visible buttons, in window order (IDOK, IDYES, ...)
    HICON icon = nullptr;      // compare with LoadIconW(nullptr, IDI_...)
    int pressed = 0;           // the button the watcher pressed (0: none)
};

// True when the box shows the system's icon of that kind (IDI_ERROR, IDI_QUESTION, ...).
bool HasSystemIcon(const MessageBoxContent& box, const wchar_t* iconId);

// A visible message box of this process with that caption (nullptr: any),
// polling up to timeoutMs; nullptr when none came.
HWND FindMessageBox(const wchar_t* caption, DWORD timeoutMs = 10000);

MessageBoxContent ReadMessageBox(HWND box);

// Presses the button with that id; false when the box has no such visible button.
bool PressMessageBoxButton(HWND box, int id);

// A thread that answers every message box of this process with the caption
// (empty: any caption) while it lives: the n-th box gets answers[n], boxes
// after the last answer get the last one again. A box without the asked-for
// button gets its first button, so that no box is ever left open; the
// recorded `pressed` shows it. A box is recorded before it is answered, so
// once the code that showed it returns, Boxes() holds it.
//
// Note: a program start that fails inside ShellExecuteExW also gets the
// shell's own box (captioned differently); watch with an empty caption where
// that can happen, so that the shell's box is answered too.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::wstring caption, std::vector<int> answers = {IDOK});
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher();

    // Waits until at least count boxes have been answered; false on time-out.
    bool WaitForBoxes(size_t count, DWORD timeoutMs = 10000) const;
    // Every box answered so far, in order.
    std::vector<MessageBoxContent> Boxes() const;

private:
    void Run();

    const std::wstring m_caption;
    const std::vector<int> m_answers;
    mutable std::mutex m_lock;
    std::vector<MessageBoxContent> m_boxes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace qxt::test
