// CRichStatic: the wrap rule, alignment, painting at once on every text, the
// transparent and the solid background, and SetPosition.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/RichStatic.h"
#include "tests/controls/ControlHost.h"

namespace {

using qxt::test::BackgroundAt;
using qxt::test::ColourNear;
using qxt::test::ControlHost;
using qxt::test::MemoryCanvas;
using qxt::test::PumpMessages;
using qxt::test::WindowPixel;

constexpr int kStaticId = 1014;

TEST(RichStaticWrap, CharactersPerLine)
{
    static const struct {
        const char* label;
        int length, textWidth, controlWidth;
        int perLine;
    } cases[] = {
        {"12 characters of 8 pixels in 45", 12, 96, 45, 5},
        {"wider than the text", 12, 96, 120, 13},
        {"exactly one cell per character", 4, 32, 36, 4},
        {"one pixel short of the fourth", 4, 32, 35, 3},
        {"too narrow for one character", 12, 96, 5, 1},
        {"no width at all", 3, 24, 0, 1},
        {"empty text", 0, 0, 45, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CRichStatic::CharactersPerLine(c.length, c.textWidth, c.controlWidth), c.perLine) << c.label;
}

// A fixed-pitch font, so that every character cell is the same width.
struct FixedFont {
    HFONT handle = ::CreateFontW(16, 8, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    ~FixedFont() { ::DeleteObject(handle); }
};

struct StaticBench {
    ControlHost host;
    CRichStatic text;
    FixedFont font;

    StaticBench()
    {
        // As in the dialog template: left-aligned without word wrap.
        EXPECT_TRUE(host.AddControl(L"STATIC", SS_LEFTNOWORDWRAP | WS_VISIBLE, kStaticId, RECT{0, 0, 40, 10},
                                    L"Static"));
        EXPECT_TRUE(text.SubclassDlgItem(kStaticId, &host));
        text.m_font.Borrow(font.handle);
        text.SetTextColor(RGB(255, 255, 255));
        PumpMessages();
    }
    SIZE Extent(const wchar_t* s)
    {
        MemoryCanvas canvas(1, 1);
        ::SelectObject(canvas.Dc(), font.handle);
        SIZE size{};
        ::GetTextExtentPoint32W(canvas.Dc(), s, static_cast<int>(wcslen(s)), &size);
        return size;
    }
    // Draws the control into a canvas taller than the control, so that the
    // lines below its bottom can be seen, and returns for each 20-pixel band
    // the rightmost column with ink (-1: none).
    std::vector<int> InkPerBand(int height = 100)
    {
        RECT window{};
        text.GetWindowRect(&window);
        const int width = window.right - window.left;
        MemoryCanvas canvas(width, height, RGB(0, 0, 0));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_STATIC;
        item.hDC = canvas.Dc();
        item.rcItem = RECT{0, 0, width, window.bottom - window.top};
        text.DrawItem(&item);
        std::vector<int> rightmost;
        for (int band = 0; band * 20 < height; ++band) {
            int right = -1;
            for (int y = band * 20; y < band * 20 + 20 && y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (canvas.Pixel(x, y) != RGB(0, 0, 0) && x > right)
                        right = x;
            rightmost.push_back(right);
        }
        return rightmost;
    }
};

TEST(RichStatic, BecomesOwnerDrawn)
{
    StaticBench bench;
    EXPECT_EQ(bench.text.GetStyle() & SS_TYPEMASK, static_cast<DWORD>(SS_OWNERDRAW));
}

TEST(RichStatic, CutsTheTextIntoLinesEveryFewCharacters)
{
    StaticBench bench;
    const SIZE extent = bench.Extent(L"HHHHHHHHHHHH");
    ASSERT_EQ(extent.cx % 12, 0) << "not a fixed-pitch font";
    const int cell = extent.cx / 12;
    ASSERT_EQ(static_cast<int>(extent.cy * 1.3), 20) << "line step expected 20";

    // Room for five cells of (average width + 1): lines of 5, 5 and 2.
    const int width = 5 * (cell + 1) + cell / 2;
    bench.text.MoveWindow(10, 10, width, 20);
    bench.text.SetWindowText(L"HHHHHHHHHHHH");
    const auto ink = bench.InkPerBand();
    ASSERT_EQ(ink.size(), 5u);
    EXPECT_GT(ink[0], 4 * cell);
    EXPECT_LT(ink[0], 5 * cell);
    EXPECT_EQ(ink[1], ink[0]);
    EXPECT_GT(ink[2], 1 * cell);
    EXPECT_LT(ink[2], 2 * cell);
    EXPECT_EQ(ink[3], -1);
    EXPECT_EQ(ink[4], -1);
}

TEST(RichStatic, TooNarrowForOneCharacterStillFinishes)
{
    StaticBench bench;
    bench.text.MoveWindow(10, 10, 3, 20);
    bench.text.SetWindowText(L"HHH");
    const auto ink = bench.InkPerBand(80);
    // One character per line, each cut at the control's right edge.
    EXPECT_NE(ink[0], -1);
    EXPECT_NE(ink[1], -1);
    EXPECT_NE(ink[2], -1);
    EXPECT_EQ(ink[3], -1);
}

TEST(RichStatic, CentredTextStartsFromTheWholeWidth)
{
    StaticBench bench;
    const int cell = bench.Extent(L"H").cx;
    const int width = 5 * (cell + 1) + cell / 2;
    bench.text.MoveWindow(10, 10, width, 20);
    bench.text.m_nHAlign = CRichStatic::ALIGN_CENTER;
    bench.text.SetWindowText(L"HHHHHHHHHHHH");
    const auto ink = bench.InkPerBand();
    // x = (W - 12 cells) / 2 < 0: the first line of five ends at x + 5 cells.
    const int x = (width - 12 * cell) / 2;
    EXPECT_LT(x, 0);
    EXPECT_LT(ink[0], x + 5 * cell);
    EXPECT_GT(ink[0], x + 4 * cell);
}

TEST(RichStatic, AlignmentUsesTheOneLineExtent)
{
    StaticBench bench;
    bench.text.MoveWindow(10, 10, 200, 20);
    const int textWidth = bench.Extent(L"HH").cx;
    static const struct {
        const char* label;
        int align;
        int expectedRightmost;  // column of the last ink, within a pixel or two
    } cases[] = {
        {"left", CRichStatic::ALIGN_LEFT, textWidth},
        {"centre", CRichStatic::ALIGN_CENTER, (200 - textWidth) / 2 + textWidth},
        {"right", CRichStatic::ALIGN_RIGHT, 200},
        {"unknown value stays left", 64, textWidth},
    };
    bench.text.SetWindowText(L"HH");
    for (const auto& c : cases) {
        bench.text.m_nHAlign = c.align;
        bench.text.m_nVAlign = CRichStatic::ALIGN_MIDDLE;
        const auto ink = bench.InkPerBand(20);
        EXPECT_LE(ink[0], c.expectedRightmost) << c.label;
        EXPECT_GE(ink[0], c.expectedRightmost - 3) << c.label;
    }
}

TEST(RichStatic, ShowsNewTextAtOnceOverTheSnapshot)
{
    StaticBench bench;
    bench.text.SetPosition(30, 40, 120);
    bench.text.SetWindowText(L"");  // the template's caption goes
    PumpMessages();
    ASSERT_TRUE(bench.text.m_bmpBackground.GetSafeHandle());

    auto inkOnScreen = [&] {
        int lit = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 120; ++x)
                lit += WindowPixel(bench.text.m_hWnd, x, y) == RGB(255, 255, 255);
        return lit;
    };
    EXPECT_EQ(inkOnScreen(), 0);
    // Beside the text the host shows through.
    EXPECT_TRUE(ColourNear(WindowPixel(bench.text.m_hWnd, 110, 15), BackgroundAt(140, 55)));

    bench.text.SetWindowText(L"HHH");  // no pumping: painted during the call
    const int three = inkOnScreen();
    EXPECT_GT(three, 0);
    bench.text.SetWindowText(L"H");  // the old text is erased first
    const int one = inkOnScreen();
    EXPECT_GT(one, 0);
    EXPECT_LT(one, three);

    // The same text again still repaints: scribble over it and set it.
    HDC dc = ::GetDC(bench.text.m_hWnd);
    RECT all{0, 0, 120, 20};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::ReleaseDC(bench.text.m_hWnd, dc);
    bench.text.SetWindowText(L"H");
    EXPECT_EQ(inkOnScreen(), one);
    EXPECT_TRUE(ColourNear(WindowPixel(bench.text.m_hWnd, 110, 15), BackgroundAt(140, 55)));
}

TEST(RichStatic, TextSetBeforeTheFirstEraseStaysOutOfTheSnapshot)
{
    // A counter shown on a later page gets its first text before it has
    // ever been erased; that text must not become part of its background.
    ControlHost host;
    CRichStatic counter;
    ASSERT_TRUE(host.AddControl(L"STATIC", SS_LEFTNOWORDWRAP, kStaticId, RECT{0, 0, 40, 10}, L"Static"));
    ASSERT_TRUE(counter.SubclassDlgItem(kStaticId, &host));
    counter.SetTextColor(RGB(255, 255, 255));
    counter.SetPosition(100, 60, 60);
    counter.SetWindowText(L"");
    PumpMessages();
    ASSERT_FALSE(counter.m_bmpBackground.GetSafeHandle());  // hidden: never erased

    // Visible, but not yet erased or painted (as when the text arrives
    // before the paint of a control just shown): the static control itself
    // would paint the text at once, onto the parent's pixels.
    ::SetWindowLongW(counter.m_hWnd, GWL_STYLE, static_cast<LONG>(counter.GetStyle() | WS_VISIBLE));
    counter.SetWindowText(L"1/10");
    counter.SetWindowText(L"");
    PumpMessages();
    ASSERT_TRUE(counter.m_bmpBackground.GetSafeHandle());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_TRUE(ColourNear(WindowPixel(counter.m_hWnd, x, y), BackgroundAt(100 + x, 60 + y)))
                << x << "," << y;
}

TEST(RichStatic, SolidBackgroundIsFilledByTheDrawing)
{
    StaticBench bench;
    bench.text.m_crBack = RGB(10, 60, 110);
    bench.text.SetPosition(30, 40, 120);
    bench.text.SetWindowText(L"H");
    PumpMessages();
    EXPECT_FALSE(bench.text.m_bmpBackground.GetSafeHandle());  // the erase took no snapshot
    EXPECT_TRUE(ColourNear(WindowPixel(bench.text.m_hWnd, 110, 15), RGB(10, 60, 110)));
    EXPECT_TRUE(ColourNear(WindowPixel(bench.text.m_hWnd, 0, 0), RGB(10, 60, 110)));
}

TEST(RichStatic, SetPositionIsTwentyHighAndRetakesTheSnapshotOnlyWhenMoved)
{
    StaticBench bench;
    bench.text.SetPosition(20, 30, 100);
    PumpMessages();
    RECT window{};
    bench.text.GetWindowRect(&window);
    EXPECT_EQ(window.bottom - window.top, 20);
    EXPECT_EQ(window.right - window.left, 100);
    const HBITMAP first = bench.text.m_bmpBackground.GetSafeHandle();
    ASSERT_TRUE(first);

    // Same place: snapshot kept, the parent not asked to repaint.
    bench.text.SetPosition(20, 30, 100);
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(bench.host.m_hWnd, &update, FALSE));
    EXPECT_EQ(bench.text.m_bmpBackground.GetSafeHandle(), first);

    // Elsewhere: the old snapshot is dropped, the new one shows the new place.
    bench.text.SetPosition(150, 100, 60);
    PumpMessages();
    ASSERT_TRUE(bench.text.m_bmpBackground.GetSafeHandle());
    EXPECT_TRUE(ColourNear(WindowPixel(bench.text.m_hWnd, 50, 10), BackgroundAt(200, 110)));
    // And the parent has its own pixels back where the control was.
    EXPECT_TRUE(ColourNear(WindowPixel(bench.host.m_hWnd, 60, 40), BackgroundAt(60, 40)));
}

}  // namespace
