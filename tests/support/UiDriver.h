// Drives a window program as a person would: finds its dialog and controls by
// id, reads what is shown, clicks, finds and answers message boxes, and takes
// screenshots. Works across processes (the program under test runs as its own
// process), so every wait is bounded polling and every click is posted.
#pragma once

#include "tests/support/Wait.h"

#include <windows.h>

#include <string>
#include <vector>

namespace qxt::test {

// A program started for a test; killed when the object goes away unless it ended.
class ProgramRun {
public:
    ProgramRun() = default;
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    ~ProgramRun();

    bool Start(const std::wstring& program, const std::wstring& arguments = L"");
    DWORD Pid() const { return m_pid; }
    HANDLE Process() const { return m_process; }
    // True when the program ended within the time; its exit code in *code.
    bool WaitForExit(DWORD timeoutMs, DWORD* code = nullptr);
    void Kill();

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// A visible top-level window of the process with that class (nullptr: any) and
// caption (nullptr: any), waiting up to timeoutMs.
HWND WaitForTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs = 10000);

// True when no visible top-level window of the class and caption belongs to the process.
bool NoTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption);

struct ControlState {
    bool exists = false;
    bool visible = false;
    bool enabled = false;
    std::wstring text;
    RECT rect{};  // in the dialog's client coordinates
};

ControlState ReadControl(HWND dialog, int id);
std::wstring WindowText(HWND wnd);

// Clicks a button as BM_CLICK does (press and release on the control). Posted,
// so a click that opens a modal box does not block the test.
void Click(HWND dialog, int id);

// A standard message box (#32770 with the static text control 0xFFFF).
struct MessageBoxInfo {
    HWND wnd = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // ids of the visible buttons: IDOK, IDCANCEL, IDABORT, ...
    bool hasErrorIcon = false;
    bool hasQuestionIcon = false;
};

// The first message box of the process, waiting up to timeoutMs; wnd is nullptr when none came.
MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs = 10000);
// Presses a button of a message box.
void AnswerMessageBox(const MessageBoxInfo& box, int buttonId);

// A window's pixels as the screen shows them, rows top-down, 0x00RRGGBB.
// Owner-drawn state of another process (which frame a control shows) can
// only be read this way.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
};
ScreenPixels CaptureScreenPixels(HWND wnd);
// The share, 0 to 1, of pixels that differ clearly between two captures of
// the same window; 1 when their sizes differ or either is empty.
double DifferingShare(const ScreenPixels& a, const ScreenPixels& b);

// Writes the window's pixels as it is on the screen to a PNG file.
bool SaveWindowScreenshot(HWND wnd, const std::wstring& pngPath);

}  // namespace qxt::test
