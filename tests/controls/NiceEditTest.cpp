// CNiceEdit on a real edit control: the frame it paints in each state, the
// one-line client area, the hit test, the tracking flags, and that painting
// the frame does not start a repaint cycle.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/NiceEdit.h"
#include "tests/controls/ControlHost.h"

namespace {

using qxt::test::ColourNear;
using qxt::test::ControlHost;
using qxt::test::PumpMessages;

constexpr int kEditId = 1003;
constexpr COLORREF kBlue = RGB(14, 103, 176);

class CountingEdit : public CNiceEdit {
public:
    int ncPaints = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NCPAINT)
            ++ncPaints;
        return CNiceEdit::WindowProc(message, wParam, lParam);
    }
};

struct EditBench {
    ControlHost host{420, 120};
    CountingEdit edit;
    RECT place{20, 40, 400, 70};  // 380 x 30, as in the dialog

    explicit EditBench(DWORD extraStyle = 0)
    {
        // As in the dialog template: border, tab stop, automatic horizontal scroll.
        EXPECT_TRUE(host.AddControl(L"EDIT", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | extraStyle,
                                    kEditId, RECT{0, 0, 100, 20}));
        EXPECT_TRUE(edit.SubclassDlgItem(kEditId, &host));
        edit.MoveWindow(place.left, place.top, place.right - place.left, place.bottom - place.top);
        PumpMessages();
    }
    // A pixel of the whole window (frame included).
    COLORREF FramePixel(int x, int y)
    {
        HDC dc = ::GetWindowDC(edit.m_hWnd);
        const COLORREF colour = ::GetPixel(dc, x, y);
        ::ReleaseDC(edit.m_hWnd, dc);
        return colour;
    }
    bool Highlighted() { return FramePixel(0, 0) == kBlue && FramePixel(379, 29) == kBlue; }
};

TEST(NiceEdit, ClientAreaIsOneLineCentredBetweenTheBorders)
{
    EditBench bench;
    TEXTMETRICW metrics{};
    HDC dc = ::GetDC(bench.edit.m_hWnd);
    ::GetTextMetricsW(dc, &metrics);
    ::ReleaseDC(bench.edit.m_hWnd, dc);
    const int line = metrics.tmHeight + metrics.tmExternalLeading;

    RECT client{};
    bench.edit.GetClientRect(&client);
    POINT origin{0, 0};
    bench.edit.ClientToScreen(&origin);
    RECT window{};
    bench.edit.GetWindowRect(&window);
    // The system's own border, whatever the edit kept of it (Wine's edit
    // draws WS_BORDER itself inside the client area).
    const int border = origin.x - window.left;
    EXPECT_EQ(client.right, 380 - 2 * border);
    const int margin = (30 - 2 * border - line) / 2;
    EXPECT_EQ(client.bottom, 30 - 2 * border - 2 * margin);
    EXPECT_EQ(origin.y - window.top, border + margin);
    if (border == 1 && line == 16) {
        EXPECT_EQ(client.bottom, 16);  // 16 high, 6 below the border
        EXPECT_EQ(origin.y - window.top, 7);
    }
}

TEST(NiceEdit, HitTestLeavesOutTheFirstColumnAndRow)
{
    EditBench bench;
    RECT w{};
    bench.edit.GetWindowRect(&w);
    static const struct {
        const char* label;
        int dx, dy;
        LRESULT hit;
    } cases[] = {
        {"first column", 0, 10, HTNOWHERE},
        {"first row", 10, 0, HTNOWHERE},
        {"top-left corner", 0, 0, HTNOWHERE},
        {"border just inside", 1, 1, HTCLIENT},
        {"right border", 379, 10, HTCLIENT},
        {"bottom border", 10, 29, HTCLIENT},
        {"middle", 190, 15, HTCLIENT},
        {"right of the window", 380, 10, HTNOWHERE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bench.edit.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(w.left + c.dx, w.top + c.dy)), c.hit) << c.label;
}

TEST(NiceEdit, FrameFollowsHoverAndFocus)
{
    EditBench bench;
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    EXPECT_FALSE(bench.Highlighted());
    EXPECT_TRUE(ColourNear(bench.FramePixel(5, 3), window));  // fill between border and text line

    bench.edit.SetFocus();
    PumpMessages();
    EXPECT_TRUE(bench.edit.m_bFocus);
    EXPECT_TRUE(bench.Highlighted());
    EXPECT_TRUE(ColourNear(bench.FramePixel(5, 3), window));

    // Hover comes and goes while focused: stays blue.
    bench.edit.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(bench.edit.m_bHover);
    bench.edit.m_bTracking = true;
    bench.edit.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(bench.edit.m_bTracking);
    EXPECT_FALSE(bench.edit.m_bHover);
    PumpMessages();
    EXPECT_TRUE(bench.Highlighted());

    ::SetFocus(bench.host.m_hWnd);
    PumpMessages();
    EXPECT_FALSE(bench.edit.m_bFocus);
    EXPECT_FALSE(bench.Highlighted());

    // Hover alone.
    bench.edit.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    PumpMessages();
    EXPECT_TRUE(bench.Highlighted());
    bench.edit.SendMessage(WM_MOUSELEAVE);
    PumpMessages();
    EXPECT_FALSE(bench.Highlighted());
}

TEST(NiceEdit, DisabledOrReadOnlyIsFilledWithTheButtonFace)
{
    static const struct {
        const char* label;
        DWORD style;
        bool enabled;
        int colour;
    } cases[] = {
        {"enabled and writable", 0, true, COLOR_WINDOW},
        {"disabled", 0, false, COLOR_BTNFACE},
        {"read-only", ES_READONLY, true, COLOR_BTNFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EditBench bench(c.style);
        bench.edit.EnableWindow(c.enabled);
        bench.edit.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        PumpMessages();
        EXPECT_TRUE(ColourNear(bench.FramePixel(5, 3), ::GetSysColor(c.colour)));
        EXPECT_TRUE(ColourNear(bench.FramePixel(370, 26), ::GetSysColor(c.colour)));
    }
}

TEST(NiceEdit, TextSurvivesTheFrameAndTheFrameIsPaintedOnce)
{
    EditBench bench;
    bench.edit.SetWindowText(L"WWWWWWWW");
    PumpMessages();
    auto textPixels = [&] {
        int dark = 0;
        HDC dc = ::GetDC(bench.edit.m_hWnd);
        RECT client{};
        bench.edit.GetClientRect(&client);
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < 80; ++x)
                dark += ::GetPixel(dc, x, y) == RGB(0, 0, 0);
        ::ReleaseDC(bench.edit.m_hWnd, dc);
        return dark;
    };
    const int before = textPixels();
    ASSERT_GT(before, 20);

    // Every tracking change asks for frame and text again.
    bench.edit.ncPaints = 0;
    bench.edit.SendMessage(WM_MOUSEHOVER, 0, 0);
    EXPECT_TRUE(PumpMessages(2000)) << "the edit keeps repainting";
    EXPECT_EQ(bench.edit.ncPaints, 1);
    EXPECT_EQ(textPixels(), before);
    EXPECT_TRUE(bench.Highlighted());
}

TEST(NiceEdit, OwnsTheHighlightPen)
{
    HPEN handle = nullptr;
    {
        EditBench bench;
        bench.edit.SetHighlightColor(RGB(200, 0, 100));
        handle = bench.edit.HighlightPen();
        ASSERT_NE(handle, nullptr);
        bench.edit.SetFocus();
        PumpMessages();
        EXPECT_EQ(bench.FramePixel(0, 0), RGB(200, 0, 100));
    }
    EXPECT_EQ(::GetObjectType(handle), 0u);  // deleted with the edit

    // Without one from the owner, the edit makes the blue one when it needs it.
    EditBench bench;
    EXPECT_EQ(bench.edit.HighlightPen(), nullptr);
    bench.edit.SetFocus();
    PumpMessages();
    ASSERT_NE(bench.edit.HighlightPen(), nullptr);
    EXPECT_TRUE(bench.Highlighted());
}

}  // namespace
