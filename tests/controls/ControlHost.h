// Test bench for the skinned controls: a visible top-level window painted
// with a known pattern (what the controls' background snapshots must copy),
// that reflects WM_DRAWITEM to its controls like the dialog does and records
// the notifications the controls send it. Plus pixel and message-pump helpers.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/Wnd.h"
#include "tests/support/MessageRecorder.h"

namespace qxt::test {

// The host's background colour at a client position.
COLORREF BackgroundAt(int x, int y);

class ControlHost : public CWnd {
public:
    static constexpr int kLeft = 60;
    static constexpr int kTop = 60;

    explicit ControlHost(int width = 320, int height = 240);
    ~ControlHost() override;

    // A child control with the given class and style at rect (client
    // coordinates), visible unless the style says otherwise.
    HWND AddControl(LPCWSTR className, DWORD style, int id, const RECT& rect, LPCWSTR text = L"",
                    DWORD exStyle = 0);

    // WM_COMMAND, WM_IMAGESWITCH_SELECTED, WM_IMAGESWITCH_HOVER and
    // WM_NCLBUTTONDOWN, in order. WM_NCLBUTTONDOWN is not passed on: the
    // system's move loop would wait for a mouse button nobody releases.
    std::vector<RecordedMessage> Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }
    // Runs inside the handler of every recorded message.
    std::function<void(const RecordedMessage&)> onMessage;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<RecordedMessage> m_messages;
};

// Handles every message waiting for this thread, paints included; false when
// the queue was still not empty after `limit` messages (a repaint loop).
bool PumpMessages(int limit = 20000);
// Pumps until done() holds; false after timeoutMs.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// A pixel of a window's client area as the window shows it.
COLORREF WindowPixel(HWND wnd, int x, int y);

// A 32-bit memory canvas to paint controls into.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height, COLORREF fill = RGB(0, 0, 0));
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas();
    HDC Dc() const { return m_dc; }
    COLORREF Pixel(int x, int y) const;
    void Fill(COLORREF colour);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    DWORD* m_bits = nullptr;
};

// Colours compared channel by channel within a tolerance.
::testing::AssertionResult ColourNear(COLORREF actual, COLORREF expected, int tolerance = 0);
// "RGB(1, 2, 3)"
std::string ColourText(COLORREF colour);

}  // namespace qxt::test
