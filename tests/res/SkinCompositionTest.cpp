// The skin put together on a real window, as the dialog lays it out: the
// controls sized from their strips, their see-through pixels showing the
// skin behind them, and the panel ending its first fade on the third picture.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "controls/LoadPngResource.h"
#include "framework/WindowDpi.h"
#include "res/resource.h"
#include "tests/controls/ControlHost.h"
#include "tests/res/SkinPreview.h"

namespace {

using qxt::test::ColourNear;
using qxt::test::SkinPreview;
using qxt::test::WindowPixel;

// A premultiplied pixel of an image drawn with alpha over an opaque colour.
COLORREF Over(const CImage& image, int x, int y, COLORREF below)
{
    const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
    const int a = p[3];
    auto channel = [a](int premultiplied, int lower) { return premultiplied + lower * (255 - a) / 255; };
    return RGB(channel(p[2], GetRValue(below)), channel(p[1], GetGValue(below)), channel(p[0], GetBValue(below)));
}

// An opaque pixel: blue, green, red of a 24- or 32-bit picture; the colour
// table's entry of a palette picture (a quantized 2x picture).
COLORREF Opaque(const CImage& image, int x, int y)
{
    const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
    if (image.GetBPP() != 8)
        return RGB(p[2], p[1], p[0]);
    RGBQUAD colour{};
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ before = ::SelectObject(dc, static_cast<HBITMAP>(image));
    const UINT read = ::GetDIBColorTable(dc, *p, 1, &colour);
    ::SelectObject(dc, before);
    ::DeleteDC(dc);
    return read == 1 ? RGB(colour.rgbRed, colour.rgbGreen, colour.rgbBlue) : CLR_INVALID;
}

// A pixel of a picture as drawn over an opaque colour: blended by its alpha
// when it has alpha, else opaque (the 2x panel pictures, which carry the
// skin behind their corners themselves).
COLORREF Seen(const CImage& image, int x, int y, COLORREF below)
{
    return image.HasAlphaChannel() ? Over(image, x, y, below) : Opaque(image, x, y);
}

// The skin behind a client pixel: title strip or background image.
COLORREF Skin(const SkinPreview& preview, int x, int y)
{
    const int title = preview.m_imgTitle.GetHeight();
    return y < title ? Opaque(preview.m_imgTitle, x, y) : Opaque(preview.m_imgBackground, x, y - title);
}

RECT ClientRectOf(const SkinPreview& preview, const CWnd& control)
{
    RECT rect{};
    ::GetWindowRect(control.m_hWnd, &rect);
    ::MapWindowPoints(nullptr, preview.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(SkinComposition, WelcomePage)
{
    SkinPreview preview;
    ASSERT_TRUE(preview.Create(SkinPreview::Page::Welcome));
    ASSERT_TRUE(preview.WaitForFade());

    RECT client{};
    preview.GetClientRect(&client);
    EXPECT_EQ(client.right, 590);
    EXPECT_EQ(client.bottom, 435);
    EXPECT_FALSE(preview.GetStyle() & WS_CAPTION);

    // Sizes from the strips; close and minimise flush with the right edge.
    const struct {
        const char* label;
        const CWnd& control;
        RECT rect;
    } places[] = {
        {"close", preview.m_close, {554, 0, 590, 36}},
        {"minimise", preview.m_minimize, {518, 0, 554, 36}},
        {"start", preview.m_start, {480, 380, 570, 415}},
        {"browse", preview.m_browse, {400, 385, 430, 415}},
        {"autorun", preview.m_autorun, {320, 150, 550, 173}},
        {"finish", preview.m_finish, {380, 290, 470, 325}},
        {"switch 3", preview.m_switches[2], {122, 126, 179, 183}},
        {"switch 4", preview.m_switches[3], {209, 172, 250, 213}},
        {"panel", preview.m_panel, {300, 80, 560, 340}},
    };
    for (const auto& p : places) {
        const RECT rect = ClientRectOf(preview, p.control);
        EXPECT_TRUE(::EqualRect(&rect, &p.rect)) << p.label << ": " << rect.left << "," << rect.top << " "
                                                  << rect.right << "," << rect.bottom;
    }

    // The close button's see-through corner shows the title strip; the
    // start button is opaque; the panel shows the third picture.
    EXPECT_TRUE(ColourNear(WindowPixel(preview.m_close.m_hWnd, 1, 1), Skin(preview, 555, 1)));
    CImage start;
    ASSERT_TRUE(LoadPngResource(start, MAKEINTRESOURCEW(IDB_START)));
    EXPECT_TRUE(ColourNear(WindowPixel(preview.m_start.m_hWnd, 45, 5), Opaque(start, 45, 5)));
    for (const POINT p : {POINT{130, 60}, POINT{40, 220}, POINT{1, 1}, POINT{258, 258}})
        EXPECT_TRUE(ColourNear(WindowPixel(preview.m_panel.m_hWnd, p.x, p.y),
                               Seen(preview.m_pictures[2], p.x, p.y, Skin(preview, 300 + p.x, 80 + p.y)), 2))
            << p.x << "," << p.y;
    // A switch: its normal frame over the skin.
    CImage strip;
    ASSERT_TRUE(LoadPngResource(strip, MAKEINTRESOURCEW(IDB_SWITCH3)));
    for (const POINT p : {POINT{28, 28}, POINT{2, 2}, POINT{28, 4}})
        EXPECT_TRUE(ColourNear(WindowPixel(preview.m_switches[2].m_hWnd, p.x, p.y),
                               Over(strip, p.x, p.y, Skin(preview, 122 + p.x, 126 + p.y)), 2))
            << p.x << "," << p.y;

    // A screenshot on request, for a person to look at.
    if (const char* shot = std::getenv("QXT_SKIN_SCREENSHOT")) {
        const std::string path(shot);
        EXPECT_TRUE(preview.SaveBitmap(std::wstring(path.begin(), path.end())));
    }
}

// The skin at the other four display scales, laid out from the same table:
// sizes from the pictures drawn for the scale, places scaled, and the same
// composition of see-through and opaque pictures over the skin.
TEST(SkinComposition, WelcomePageAtEveryScale)
{
    for (const UINT dpi : {120u, 144u, 168u, 192u}) {
        SCOPED_TRACE(testing::Message() << dpi << " dpi");
        auto s = [dpi](int length) { return qxt::ScaleToDpi(length, dpi); };
        SkinPreview preview;
        ASSERT_TRUE(preview.Create(SkinPreview::Page::Welcome, false, 0, 0, dpi));
        ASSERT_TRUE(preview.WaitForFade());

        RECT client{};
        preview.GetClientRect(&client);
        EXPECT_EQ(client.right, s(590));
        EXPECT_EQ(client.bottom, s(36) + s(399));

        const struct {
            const char* label;
            const CWnd& control;
            RECT rect;
        } places[] = {
            {"close", preview.m_close, {s(590) - s(36), 0, s(590), s(36)}},
            {"minimise", preview.m_minimize, {s(590) - 2 * s(36), 0, s(590) - s(36), s(36)}},
            {"start", preview.m_start, {s(480), s(380), s(480) + s(90), s(380) + s(35)}},
            {"browse", preview.m_browse, {s(400), s(385), s(400) + s(30), s(385) + s(30)}},
            {"autorun", preview.m_autorun, {s(320), s(150), s(320) + s(230), s(150) + s(23)}},
            {"switch 3", preview.m_switches[2], {s(122), s(126), s(122) + s(57), s(126) + s(57)}},
            {"panel", preview.m_panel, {s(300), s(80), s(560), s(340)}},
        };
        for (const auto& p : places) {
            const RECT rect = ClientRectOf(preview, p.control);
            EXPECT_TRUE(::EqualRect(&rect, &p.rect)) << p.label << ": " << rect.left << "," << rect.top << " "
                                                      << rect.right << "," << rect.bottom;
        }

        // Pictures at the panel's size: nothing stretched on the way to the screen.
        EXPECT_EQ(preview.m_pictures[2].GetWidth(), s(560) - s(300));
        EXPECT_TRUE(ColourNear(WindowPixel(preview.m_close.m_hWnd, 1, 1), Skin(preview, s(590) - s(36) + 1, 1)));
        CImage start;
        ASSERT_TRUE(LoadPngResourceForDpi(start, MAKEINTRESOURCEW(IDB_START), dpi, 5));
        // The normal frame, or the mouse-over one where the pointer happens to rest.
        const int frame = preview.m_start.m_bHover ? 1 : 0;
        EXPECT_TRUE(ColourNear(WindowPixel(preview.m_start.m_hWnd, s(45), s(5)),
                               Opaque(start, s(45), frame * s(35) + s(5))));
        for (const POINT p : {POINT{s(130), s(60)}, POINT{s(40), s(220)}, POINT{1, 1}, POINT{s(258), s(258)}})
            EXPECT_TRUE(ColourNear(WindowPixel(preview.m_panel.m_hWnd, p.x, p.y),
                                   Seen(preview.m_pictures[2], p.x, p.y, Skin(preview, s(300) + p.x, s(80) + p.y)), 2))
                << p.x << "," << p.y;
        // A picture without alpha (drawn from the 2x one) shows the skin behind
        // the panel in its rounded corners, up to the two palettes' dithering.
        if (!preview.m_pictures[2].HasAlphaChannel()) {
            const int last = s(260) - 2;
            for (const POINT p : {POINT{1, 1}, POINT{last, 1}, POINT{1, last}, POINT{last, last}})
                EXPECT_TRUE(ColourNear(WindowPixel(preview.m_panel.m_hWnd, p.x, p.y),
                                       Skin(preview, s(300) + p.x, s(80) + p.y), 4))
                    << "corner " << p.x << "," << p.y;
        }
        CImage strip;
        ASSERT_TRUE(LoadPngResourceForDpi(strip, MAKEINTRESOURCEW(IDB_SWITCH3), dpi, 2));
        for (const POINT p : {POINT{s(28), s(28)}, POINT{2, 2}, POINT{s(28), s(4)}})
            EXPECT_TRUE(ColourNear(WindowPixel(preview.m_switches[2].m_hWnd, p.x, p.y),
                                   Over(strip, p.x, p.y, Skin(preview, s(122) + p.x, s(126) + p.y)), 2))
                << p.x << "," << p.y;
    }
}

TEST(SkinComposition, FinishPageShowsTheOptionsChecked)
{
    SkinPreview preview;
    ASSERT_TRUE(preview.Create(SkinPreview::Page::Finish));
    ASSERT_TRUE(preview.WaitForFade());
    CImage strip;
    ASSERT_TRUE(LoadPngResource(strip, MAKEINTRESOURCEW(IDB_CHECK_DESKTOP)));
    // Frame 1 (normal, checked) over the skin, in the middle of the box.
    for (const POINT p : {POINT{9, 11}, POINT{100, 11}, POINT{3, 5}})
        EXPECT_TRUE(ColourNear(WindowPixel(preview.m_desktop.m_hWnd, p.x, p.y),
                               Over(strip, p.x, 23 + p.y, Skin(preview, 320 + p.x, 180 + p.y)), 2))
            << p.x << "," << p.y;
    EXPECT_FALSE(preview.m_panel.IsWindowVisible());
}

}  // namespace
