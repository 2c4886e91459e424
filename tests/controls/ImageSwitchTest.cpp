// CImageSwitch without the mouse: the selected state and its notification,
// the picture of each state over the snapshot, enabling, and the drag that a
// click starts. (Hover and leave with the real cursor: MouseTest.cpp.)
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/ImageSwitch.h"
#include "tests/controls/ControlHost.h"
#include "tests/controls/fixtures/FixtureIds.h"
#include "tests/controls/FrameColours.h"

namespace {

using qxt::test::BackgroundAt;
using qxt::test::ColourNear;
using qxt::test::ControlHost;
using qxt::test::FrameOfColour;
using qxt::test::MatchesSequence;
using qxt::test::PumpMessages;
using qxt::test::WindowPixel;

constexpr int kSwitchId = 1004;

struct SwitchBench {
    ControlHost host;
    CImageSwitch control;
    POINT place{53, 71};

    explicit SwitchBench(UINT strip = IDB_TEST_STRIP2_HALF)
    {
        // As in the dialog template: a static with the bitmap style.
        EXPECT_TRUE(host.AddControl(L"STATIC", SS_BITMAP | WS_VISIBLE, kSwitchId, RECT{0, 0, 10, 10}));
        EXPECT_TRUE(control.SubclassDlgItem(kSwitchId, &host));
        control.SetImage(strip);
        control.MoveWindow(place.x, place.y, control.m_nFrameWidth, control.m_nFrameHeight);
        PumpMessages();
        host.Clear();
    }
    LPARAM Handle() const { return reinterpret_cast<LPARAM>(control.m_hWnd); }
    int FrameOnScreen() { return FrameOfColour(WindowPixel(control.m_hWnd, 12, 8)); }
};

TEST(ImageSwitch, FrameSizeIsTheWidthByHalfTheHeight)
{
    CImageSwitch control;
    control.SetImage(IDB_TEST_STRIP2);
    EXPECT_EQ(control.m_nFrameWidth, 16);
    EXPECT_EQ(control.m_nFrameHeight, 16);
    CImageSwitch odd;
    odd.SetImage(IDB_TEST_PREMULTIPLY);  // 5 x 1
    EXPECT_EQ(odd.m_nFrameWidth, 5);
    EXPECT_EQ(odd.m_nFrameHeight, 0);
}

TEST(ImageSwitch, TakesMouseInput)
{
    SwitchBench bench;
    const DWORD style = bench.control.GetStyle();
    EXPECT_TRUE(style & SS_NOTIFY);
    EXPECT_EQ(style & 0x000B, 0x000Bu);
    POINT inside{bench.place.x + 3, bench.place.y + 3};
    ::ClientToScreen(bench.host.m_hWnd, &inside);
    EXPECT_EQ(bench.control.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTCLIENT);
}

TEST(ImageSwitch, SelectedIsReportedOnlyOnChangeAndOnlyWhenEnabled)
{
    SwitchBench bench;
    const LPARAM h = bench.Handle();
    const WPARAM w = static_cast<WPARAM>(h);

    bench.control.SetSelected(TRUE);
    bench.control.SetSelected(TRUE);  // no change: nothing
    EXPECT_TRUE(bench.control.IsSelected());
    bench.control.SetSelected(FALSE);
    bench.control.SetSelected(FALSE);
    EXPECT_FALSE(bench.control.IsSelected());
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {
        {WM_IMAGESWITCH_SELECTED, w, 1},
        {WM_IMAGESWITCH_SELECTED, w, 0},
    }));

    bench.host.Clear();
    bench.control.EnableWindow(FALSE);
    bench.control.SetSelected(TRUE);
    EXPECT_TRUE(bench.control.IsSelected());  // changes silently
    bench.control.SetSelected(FALSE);
    EXPECT_FALSE(bench.control.IsSelected());
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {}));
}

TEST(ImageSwitch, TheParentHearsTheNewStateWhileTheSwitchWaits)
{
    SwitchBench bench;
    std::vector<int> stateSeen;
    bench.host.onMessage = [&](const qxt::test::RecordedMessage& m) {
        if (m.message == WM_IMAGESWITCH_SELECTED)
            stateSeen.push_back(bench.control.m_bSelected);
    };
    bench.control.SetSelected(TRUE);
    EXPECT_EQ(stateSeen, std::vector<int>{1});  // sent, not posted: already handled
}

TEST(ImageSwitch, ShowsTheFrameOfItsStateOverTheSnapshot)
{
    SwitchBench bench;
    EXPECT_EQ(bench.FrameOnScreen(), 0);
    ASSERT_TRUE(bench.control.m_bmpBackground.GetSafeHandle());
    for (const POINT p : {POINT{0, 0}, POINT{7, 15}})
        EXPECT_TRUE(ColourNear(WindowPixel(bench.control.m_hWnd, p.x, p.y),
                               BackgroundAt(bench.place.x + p.x, bench.place.y + p.y)));

    bench.control.SetSelected(TRUE);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 1);
    // Repainting over the old picture: the see-through half is the snapshot again.
    EXPECT_TRUE(ColourNear(WindowPixel(bench.control.m_hWnd, 3, 3),
                           BackgroundAt(bench.place.x + 3, bench.place.y + 3)));

    bench.control.SetSelected(FALSE);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 0);
}

TEST(ImageSwitch, EnablingChangesNothingOnTheScreen)
{
    SwitchBench bench;
    bench.control.SetSelected(TRUE);
    PumpMessages();
    bench.control.EnableWindow(FALSE);
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(bench.control.m_hWnd, &update, FALSE));  // no repaint asked for
    bench.control.Invalidate(TRUE);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 1);  // a disabled switch looks like an enabled one
}

TEST(ImageSwitch, AClickDragsTheParentAndKeepsTheSelection)
{
    SwitchBench bench;
    bench.control.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    RECT window{};
    bench.control.GetWindowRect(&window);
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {
        {WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(window.left + 3, window.top + 4)},
        // then the static's own handling, which reports the click as usual
        {WM_COMMAND, MAKEWPARAM(kSwitchId, STN_CLICKED), bench.Handle()},
    }));
    EXPECT_FALSE(bench.control.IsSelected());
}

}  // namespace
