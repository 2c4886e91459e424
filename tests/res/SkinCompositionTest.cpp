// The skin put together on a real window, as the dialog lays it out: the
// controls sized from their strips, their see-through pixels showing the
// skin behind them, and the panel ending its first fade on the third picture.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "controls/LoadPngResource.h"
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

COLORREF Opaque(const CImage& image, int x, int y)
{
    const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
    return RGB(p[2], p[1], p[0]);
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
                               Over(preview.m_pictures[2], p.x, p.y, Skin(preview, 300 + p.x, 80 + p.y)), 2))
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
