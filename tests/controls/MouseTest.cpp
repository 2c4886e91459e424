// Hover and leave with the real cursor: the system's mouse tracking decides
// when a control hears WM_MOUSEHOVER and WM_MOUSELEAVE, so these cases move
// the cursor itself (SetCursorPos) over a host window in a corner of the screen
// where the other test programs put no windows.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/ImageButton.h"
#include "controls/ImageSwitch.h"
#include "controls/NiceEdit.h"
#include "tests/controls/ControlHost.h"
#include "tests/controls/fixtures/FixtureIds.h"
#include "tests/controls/FrameColours.h"
#include "tests/support/Cursor.h"

namespace {

using qxt::test::CentreOf;
using qxt::test::ControlHost;
using qxt::test::FrameOfColour;
using qxt::test::MatchesSequence;
using qxt::test::MoveCursor;
using qxt::test::PumpMessages;
using qxt::test::PumpUntil;
using qxt::test::WindowPixel;

// A point far from every test window.
constexpr POINT kAway{1270, 1015};

// The host window, away from the places where other tests open windows.
struct MouseBench {
    ControlHost host{200, 120};

    MouseBench()
    {
        MoveCursor(kAway);
        host.SetWindowPos(HWND_TOPMOST, 1000, 800, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        PumpMessages();
    }
    ~MouseBench()
    {
        MoveCursor(kAway);
        PumpMessages();
    }
};

struct SwitchOnBench : MouseBench {
    CImageSwitch control;
    SwitchOnBench()
    {
        EXPECT_TRUE(host.AddControl(L"STATIC", SS_BITMAP | WS_VISIBLE, 1004, RECT{0, 0, 10, 10}));
        EXPECT_TRUE(control.SubclassDlgItem(1004, &host));
        control.SetImage(IDB_TEST_STRIP2);
        control.MoveWindow(60, 40, control.m_nFrameWidth, control.m_nFrameHeight);
        PumpMessages();
        host.Clear();
    }
    WPARAM Handle() const { return reinterpret_cast<WPARAM>(control.m_hWnd); }
    bool WaitForHover(LPARAM state)
    {
        return PumpUntil([&] {
            for (const auto& m : host.Messages())
                if (m.message == WM_IMAGESWITCH_HOVER && m.lParam == state)
                    return true;
            return false;
        });
    }
};

TEST(SwitchWithTheMouse, RestingSelectsAndReportsHoverThenLeave)
{
    SwitchOnBench bench;
    const WPARAM h = bench.Handle();
    MoveCursor(CentreOf(bench.control.m_hWnd));
    ASSERT_TRUE(bench.WaitForHover(1));
    EXPECT_TRUE(bench.control.IsSelected());
    EXPECT_EQ(FrameOfColour(WindowPixel(bench.control.m_hWnd, 8, 8)), 1);
    MoveCursor(kAway);
    ASSERT_TRUE(bench.WaitForHover(0));
    EXPECT_TRUE(bench.control.IsSelected());  // leaving does not deselect
    EXPECT_FALSE(bench.control.m_bTracking);
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {
        {WM_IMAGESWITCH_SELECTED, h, 1},
        {WM_IMAGESWITCH_HOVER, h, 1},
        {WM_IMAGESWITCH_HOVER, h, 0},
    }));

    // Once more: already selected, so hover and leave only.
    bench.host.Clear();
    MoveCursor(CentreOf(bench.control.m_hWnd));
    ASSERT_TRUE(bench.WaitForHover(1));
    MoveCursor(kAway);
    ASSERT_TRUE(bench.WaitForHover(0));
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {
        {WM_IMAGESWITCH_HOVER, h, 1},
        {WM_IMAGESWITCH_HOVER, h, 0},
    }));
}

TEST(SwitchWithTheMouse, CrossingWithoutRestingSelectsWithoutHover)
{
    SwitchOnBench bench;
    const WPARAM h = bench.Handle();
    // Off again as soon as the switch has seen the cursor, long before it
    // has rested there 50 ms.
    MoveCursor(CentreOf(bench.control.m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return bench.control.m_bTracking != FALSE; }));
    MoveCursor(kAway);
    ASSERT_TRUE(bench.WaitForHover(0));
    PumpMessages();
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {
        {WM_IMAGESWITCH_SELECTED, h, 1},
        {WM_IMAGESWITCH_HOVER, h, 0},
    }));
}

// Counts the hover notifications the button handles.
class CountingButton : public CImageButton {
public:
    int hovers = 0;
    void OnMouseHover(UINT flags, POINT point) override
    {
        ++hovers;
        CImageButton::OnMouseHover(flags, point);
    }
};

struct ButtonOnBench : MouseBench {
    CountingButton button;
    ButtonOnBench()
    {
        EXPECT_TRUE(host.AddControl(L"BUTTON", BS_PUSHBUTTON | WS_VISIBLE, 1002, RECT{0, 0, 10, 10}));
        EXPECT_TRUE(button.SubclassDlgItem(1002, &host));
        button.SetImage(IDB_TEST_STRIP5);
        button.MoveWindow(60, 40, button.m_nFrameWidth, button.m_nFrameHeight);
        PumpMessages();
    }
    int Frame() { return FrameOfColour(WindowPixel(button.m_hWnd, 12, 6)); }
};

TEST(ButtonWithTheMouse, MouseOverFrameOnlyAfterResting)
{
    ButtonOnBench bench;
    ASSERT_EQ(bench.Frame(), 0);

    // Crossing: the leave comes before any hover; no mouse-over frame.
    MoveCursor(CentreOf(bench.button.m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return bench.button.m_bTracking != FALSE; }));
    EXPECT_TRUE(bench.button.m_bHover);  // set at once, but not drawn
    EXPECT_EQ(bench.Frame(), 0);
    MoveCursor(kAway);
    ASSERT_TRUE(PumpUntil([&] { return bench.button.m_bTracking == FALSE; }));
    PumpMessages();
    EXPECT_FALSE(bench.button.m_bHover);
    EXPECT_EQ(bench.button.hovers, 0);
    EXPECT_EQ(bench.Frame(), 0);

    // Resting: the mouse-over frame, and back to normal on leaving.
    MoveCursor(CentreOf(bench.button.m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return bench.Frame() == 1; }));
    EXPECT_EQ(bench.button.hovers, 1);
    MoveCursor(kAway);
    ASSERT_TRUE(PumpUntil([&] { return bench.Frame() == 0; }));
    EXPECT_FALSE(bench.button.m_bHover);
    EXPECT_FALSE(bench.button.m_bTracking);
}

TEST(EditWithTheMouse, HighlightWhileTheMouseRests)
{
    MouseBench bench;
    CNiceEdit edit;
    ASSERT_TRUE(bench.host.AddControl(L"EDIT", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 1003, RECT{0, 0, 10, 10}));
    ASSERT_TRUE(edit.SubclassDlgItem(1003, &bench.host));
    edit.MoveWindow(10, 40, 180, 30);
    PumpMessages();
    auto blue = [&] {
        HDC dc = ::GetWindowDC(edit.m_hWnd);
        const bool highlighted = ::GetPixel(dc, 0, 0) == CNiceEdit::kHighlightColor;
        ::ReleaseDC(edit.m_hWnd, dc);
        return highlighted;
    };
    ASSERT_FALSE(blue());
    MoveCursor(CentreOf(edit.m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return blue(); }));
    EXPECT_TRUE(edit.m_bHover);
    EXPECT_TRUE(edit.m_bTracking);
    MoveCursor(kAway);
    ASSERT_TRUE(PumpUntil([&] { return !blue(); }));
    EXPECT_FALSE(edit.m_bHover);
    EXPECT_FALSE(edit.m_bTracking);
}

}  // namespace
