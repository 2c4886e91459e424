#include "tests/controls/ControlHost.h"

#include <cstdio>
#include <cstdlib>

#include "controls/ImageSwitch.h"

namespace qxt::test {

COLORREF BackgroundAt(int x, int y)
{
    return RGB((x * 7) & 0xFF, (y * 5) & 0xFF, 0x80 + ((x + y) & 0x3F));
}

ControlHost::ControlHost(int width, int height)
{
    CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, nullptr, L"control host", WS_POPUP | WS_VISIBLE, kLeft, kTop,
             width, height, nullptr, 0);
    ::SetForegroundWindow(m_hWnd);
    PumpMessages();
}

ControlHost::~ControlHost()
{
    DestroyWindow();
    PumpMessages();
}

HWND ControlHost::AddControl(LPCWSTR className, DWORD style, int id, const RECT& rect, LPCWSTR text, DWORD exStyle)
{
    return ::CreateWindowExW(exStyle, className, text, WS_CHILD | style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

LRESULT ControlHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(&client);
        const int width = client.right;
        const int height = client.bottom;
        std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF c = BackgroundAt(x, y);
                pixels[static_cast<size_t>(y) * width + x] = RGB(GetBValue(c), GetGValue(c), GetRValue(c));
            }
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        ::SetDIBitsToDevice(reinterpret_cast<HDC>(wParam), 0, 0, width, height, 0, 0, 0, height, pixels.data(),
                            &info, DIB_RGB_COLORS);
        return TRUE;
    }
    case WM_COMMAND:
    case WM_IMAGESWITCH_SELECTED:
    case WM_IMAGESWITCH_HOVER:
    case WM_NCLBUTTONDOWN: {
        RecordedMessage recorded;
        recorded.message = message;
        recorded.wParam = wParam;
        recorded.lParam = lParam;
        m_messages.push_back(recorded);
        if (onMessage)
            onMessage(recorded);
        if (message == WM_NCLBUTTONDOWN)
            return 0;
        break;
    }
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

bool PumpMessages(int limit)
{
    MSG msg;
    for (int i = 0; i < limit; ++i) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            return true;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return false;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > end)
            return false;
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

COLORREF WindowPixel(HWND wnd, int x, int y)
{
    HDC dc = ::GetDC(wnd);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(wnd, dc);
    return colour;
}

MemoryCanvas::MemoryCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    m_dc = ::CreateCompatibleDC(nullptr);
    m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<DWORD*>(bits);
    m_previous = ::SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

MemoryCanvas::~MemoryCanvas()
{
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

COLORREF MemoryCanvas::Pixel(int x, int y) const
{
    ::GdiFlush();
    const DWORD p = m_bits[static_cast<size_t>(y) * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void MemoryCanvas::Fill(COLORREF colour)
{
    ::GdiFlush();
    const DWORD p = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; i < m_width * m_height; ++i)
        m_bits[i] = p;
}

std::string ColourText(COLORREF colour)
{
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

::testing::AssertionResult ColourNear(COLORREF actual, COLORREF expected, int tolerance)
{
    const bool close = std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
                      std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
                      std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ColourText(actual) << " where " << ColourText(expected)
                                         << " was expected (tolerance " << tolerance << ")";
}

}  // namespace qxt::test
