// CImageButton and CImageCheckButton: which frame each state shows, the
// drawing over the background snapshot, and the check box's own check state
// with clicks, double clicks and BM_SETCHECK.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/ImageButton.h"
#include "controls/ImageCheckButton.h"
#include "tests/controls/ControlHost.h"
#include "tests/controls/FrameColours.h"
#include "tests/controls/fixtures/FixtureIds.h"

namespace {

using qxt::test::BackgroundAt;
using qxt::test::ColourNear;
using qxt::test::ControlHost;
using qxt::test::ExpectedMessage;
using qxt::test::FrameOfColour;
using qxt::test::kFrameColours;
using qxt::test::MatchesSequence;
using qxt::test::MemoryCanvas;
using qxt::test::PumpMessages;
using qxt::test::WindowPixel;

constexpr int kButtonId = 1002;
constexpr int kCheckId = 1016;

LPARAM Handle(const CWnd& wnd)
{
    return reinterpret_cast<LPARAM>(wnd.m_hWnd);
}

DRAWITEMSTRUCT DrawRequest(UINT state, HDC dc = nullptr, RECT item = {0, 0, 24, 12})
{
    DRAWITEMSTRUCT request{};
    request.CtlType = ODT_BUTTON;
    request.itemAction = ODA_DRAWENTIRE;
    request.itemState = state;
    request.hDC = dc;
    request.rcItem = item;
    return request;
}

TEST(ImageButtonFrames, FirstRuleThatAppliesWins)
{
    static const struct {
        const char* label;
        bool hover;
        UINT state;
        int frame;
    } cases[] = {
        {"nothing", false, 0, 0},
        {"hover", true, 0, 1},
        {"pressed", false, ODS_SELECTED, 2},
        {"focused", false, ODS_FOCUS, 3},
        {"disabled", false, ODS_DISABLED, 4},
        {"disabled while hovered", true, ODS_DISABLED, 4},
        {"disabled, pressed, focused, hovered", true, ODS_DISABLED | ODS_SELECTED | ODS_FOCUS, 4},
        {"pressed and hovered", true, ODS_SELECTED, 2},
        {"pressed and focused", false, ODS_SELECTED | ODS_FOCUS, 2},
        {"hovered and focused", true, ODS_FOCUS, 1},
        {"states that do not matter", false, ODS_DEFAULT | ODS_NOFOCUSRECT, 0},
    };
    CImageButton button;
    for (const auto& c : cases) {
        button.m_bHover = c.hover;
        const DRAWITEMSTRUCT request = DrawRequest(c.state);
        EXPECT_EQ(button.GetFrameIndex(&request), c.frame) << c.label;
    }
}

TEST(ImageCheckButtonFrames, TwoFramesPerStateUncheckedFirst)
{
    static const struct {
        const char* label;
        int check;
        bool hover;
        UINT state;
        int frame;
    } cases[] = {
        {"normal unchecked", 0, false, 0, 0},
        {"normal checked", 1, false, 0, 1},
        {"checked under the mouse", 1, true, 0, 3},
        {"unchecked and pressed", 0, false, ODS_SELECTED, 4},
        {"checked and pressed", 1, true, ODS_SELECTED, 5},
        {"focused unchecked", 0, false, ODS_FOCUS, 6},
        {"focused checked", 1, false, ODS_FOCUS, 7},
        {"disabled unchecked, hovered", 0, true, ODS_DISABLED, 8},
        {"disabled checked", 1, false, ODS_DISABLED | ODS_FOCUS, 9},
        {"state 2 draws unchecked", 2, false, ODS_FOCUS, 6},
        {"state -1 draws unchecked", -1, true, 0, 2},
    };
    CImageCheckButton box;
    EXPECT_EQ(box.m_nFrameCount, 10);
    for (const auto& c : cases) {
        box.m_nCheck = c.check;
        box.m_bHover = c.hover;
        const DRAWITEMSTRUCT request = DrawRequest(c.state);
        EXPECT_EQ(box.GetFrameIndex(&request), c.frame) << c.label;
    }
}

TEST(ImageButtonImage, FrameSizeComesFromTheStrip)
{
    CImageButton button;
    EXPECT_TRUE(button.SetImage(IDB_TEST_STRIP5));
    EXPECT_EQ(button.m_nFrameWidth, 24);
    EXPECT_EQ(button.m_nFrameHeight, 12);
    EXPECT_TRUE(button.SetImage(L"NAMEDSTRIP"));
    EXPECT_EQ(button.m_nFrameHeight, 12);

    CImageCheckButton box;
    box.SetImage(IDB_TEST_STRIP10);
    EXPECT_EQ(box.m_nFrameWidth, 24);
    EXPECT_EQ(box.m_nFrameHeight, 12);

    // A strip that does not load still answers TRUE, with frames of size 0.
    CImageButton missing;
    EXPECT_TRUE(missing.SetImage(IDB_TEST_MISSING));
    EXPECT_EQ(missing.m_nFrameWidth, 0);
    EXPECT_EQ(missing.m_nFrameHeight, 0);
}

TEST(ImageButtonDraw, DrawsTheRequestedFrameIntoTheItemRectangle)
{
    CImageButton button;
    button.SetImage(IDB_TEST_STRIP5);
    MemoryCanvas canvas(24, 12);
    for (int frame = 0; frame < 5; ++frame) {
        static const UINT states[] = {0, 0, ODS_SELECTED, ODS_FOCUS, ODS_DISABLED};
        button.m_bHover = frame == 1;
        DRAWITEMSTRUCT request = DrawRequest(states[frame], canvas.Dc());
        button.DrawItem(&request);
        EXPECT_EQ(canvas.Pixel(0, 0), kFrameColours[frame]) << "frame " << frame;
        EXPECT_EQ(canvas.Pixel(23, 11), kFrameColours[frame]) << "frame " << frame;
    }
}

// A host with one template-like button subclassed by the class under test.
template <typename Button>
struct ButtonBench {
    ControlHost host;
    Button button;
    RECT place{40, 30, 64, 42};

    ButtonBench(DWORD style, int id, UINT strip)
    {
        HWND control = host.AddControl(L"BUTTON", style | WS_VISIBLE, id, RECT{0, 0, 90, 35}, L"caption");
        EXPECT_TRUE(control);
        EXPECT_TRUE(button.SubclassDlgItem(id, &host));
        button.SetImage(strip);
        button.MoveWindow(place.left, place.top, button.m_nFrameWidth, button.m_nFrameHeight);
        PumpMessages();
    }
    COLORREF Pixel(int x, int y) { return WindowPixel(button.m_hWnd, x, y); }
    int FrameOnScreen() { return FrameOfColour(Pixel(18, 6)); }
    void Repaint()
    {
        button.Invalidate(TRUE);
        PumpMessages();
    }
};

TEST(ImageButtonOnScreen, BecomesOwnerDrawnAndShowsItsStateFrame)
{
    ButtonBench<CImageButton> bench(BS_PUSHBUTTON | WS_TABSTOP, kButtonId, IDB_TEST_STRIP5_HALF);
    EXPECT_EQ(bench.button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_EQ(bench.FrameOnScreen(), 0);

    // The see-through half shows the host's pixels under the button.
    for (const POINT p : {POINT{0, 0}, POINT{5, 7}, POINT{11, 11}})
        EXPECT_TRUE(ColourNear(bench.Pixel(p.x, p.y), BackgroundAt(bench.place.left + p.x, bench.place.top + p.y)))
            << p.x << "," << p.y;

    bench.button.SetFocus();
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 3);

    bench.button.SetState(TRUE);  // held down
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 2);
    bench.button.SetState(FALSE);
    PumpMessages();

    bench.button.EnableWindow(FALSE);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 4);
    // Still the snapshot behind it, not what the control painted before.
    EXPECT_TRUE(ColourNear(bench.Pixel(3, 3), BackgroundAt(bench.place.left + 3, bench.place.top + 3)));
}

TEST(ImageButtonOnScreen, TheSnapshotIsTakenOnceAtTheFirstErase)
{
    ButtonBench<CImageButton> bench(BS_PUSHBUTTON, kButtonId, IDB_TEST_STRIP5_HALF);
    const HBITMAP first = bench.button.m_bmpBackground.GetSafeHandle();
    ASSERT_TRUE(first);
    bench.Repaint();
    EXPECT_EQ(bench.button.m_bmpBackground.GetSafeHandle(), first);
}

TEST(ImageButtonOnScreen, AClickReachesTheParentAsBnClicked)
{
    ButtonBench<CImageButton> bench(BS_PUSHBUTTON, kButtonId, IDB_TEST_STRIP5);
    bench.button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 2);
    bench.button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpMessages();
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(),
                                {{WM_COMMAND, MAKEWPARAM(kButtonId, BN_CLICKED), Handle(bench.button)}}));
}

// What the check state was when the parent heard BN_CLICKED.
struct CheckBench : ButtonBench<CImageCheckButton> {
    std::vector<int> checkAtClick;
    CheckBench() : ButtonBench(BS_AUTOCHECKBOX | WS_TABSTOP, kCheckId, IDB_TEST_STRIP10)
    {
        host.onMessage = [this](const qxt::test::RecordedMessage& m) {
            if (m.message == WM_COMMAND && HIWORD(m.wParam) == BN_CLICKED)
                checkAtClick.push_back(static_cast<int>(button.SendMessage(BM_GETCHECK)));
        };
    }
    void Press(int x, int y) { button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Release(int x, int y) { button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
};

TEST(ImageCheckButton, AClickTogglesBeforeTheParentIsTold)
{
    CheckBench bench;
    EXPECT_EQ(bench.button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_EQ(bench.FrameOnScreen(), 0);

    bench.Press(5, 5);
    bench.Release(5, 5);
    PumpMessages();
    EXPECT_EQ(bench.button.m_nCheck, 1);
    EXPECT_EQ(bench.button.GetCheck(), 1);
    EXPECT_EQ(bench.checkAtClick, std::vector<int>{1});
    EXPECT_EQ(bench.FrameOnScreen(), 7);  // focused (the press took the focus), checked

    bench.Press(5, 5);
    bench.Release(5, 5);
    PumpMessages();
    EXPECT_EQ(bench.button.m_nCheck, 0);
    EXPECT_EQ(bench.checkAtClick, (std::vector<int>{1, 0}));
    EXPECT_EQ(bench.FrameOnScreen(), 6);
}

TEST(ImageCheckButton, ReleaseOnTheRightOrBottomEdgeStillToggles)
{
    static const struct {
        const char* label;
        int x, y;
        int check;  // after the release
    } cases[] = {
        {"right edge", 24, 5, 1},
        {"bottom edge", 5, 12, 1},
        {"bottom-right corner", 24, 12, 1},
        {"left of the box", -1, 5, 0},
        {"below the box", 5, 13, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CheckBench bench;
        bench.Press(5, 5);
        bench.Release(c.x, c.y);
        PumpMessages();
        EXPECT_EQ(bench.button.m_nCheck, c.check);
        // The system button counts a release on the edge as outside: no click.
        EXPECT_TRUE(bench.checkAtClick.empty());
    }
}

TEST(ImageCheckButton, SetCheckTwoIsKeptDrawnUncheckedAndClickedToZero)
{
    CheckBench bench;
    bench.button.SendMessage(BM_SETCHECK, 2);
    EXPECT_EQ(bench.button.SendMessage(BM_GETCHECK), 2);
    EXPECT_EQ(bench.button.m_nCheck, 2);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 0);

    bench.Press(5, 5);
    bench.Release(5, 5);
    PumpMessages();
    EXPECT_EQ(bench.button.m_nCheck, 0);
    EXPECT_EQ(bench.checkAtClick, std::vector<int>{0});
}

TEST(ImageCheckButton, SetCheckRepaints)
{
    CheckBench bench;
    bench.button.SetCheck(1);
    PumpMessages();
    EXPECT_EQ(bench.FrameOnScreen(), 1);
    // An owner writing m_nCheck and invalidating gets the same picture.
    bench.button.m_nCheck = 0;
    bench.Repaint();
    EXPECT_EQ(bench.FrameOnScreen(), 0);
}

TEST(ImageCheckButton, ADoubleClickTogglesTwice)
{
    CheckBench bench;
    bench.Press(5, 5);
    bench.Release(5, 5);
    bench.button.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    bench.Release(5, 5);
    PumpMessages();
    EXPECT_EQ(bench.button.m_nCheck, 0);
    EXPECT_EQ(bench.checkAtClick, (std::vector<int>{1, 0}));
    const UINT clicked = MAKEWPARAM(kCheckId, BN_CLICKED);
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {{WM_COMMAND, clicked, Handle(bench.button)},
                                                        {WM_COMMAND, clicked, Handle(bench.button)}}));
}

}  // namespace
