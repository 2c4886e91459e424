// LoadPngResource and CImage: decoding from the module's "PNG" resources,
// the premultiplication of 32-bit images, and drawing with and without alpha.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/LoadPngResource.h"
#include "framework/Image.h"
#include "tests/controls/ControlHost.h"
#include "tests/controls/fixtures/FixtureIds.h"

namespace {

using qxt::test::ColourNear;
using qxt::test::MemoryCanvas;

struct Bgra {
    int b, g, r, a;
    bool operator==(const Bgra&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bgra& p)
{
    return out << "{b " << p.b << ", g " << p.g << ", r " << p.r << ", a " << p.a << "}";
}

Bgra PixelAt(CImage& image, int x, int y)
{
    const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
    return {p[0], p[1], p[2], p[3]};
}

TEST(LoadPngResource, PremultipliesWithTruncation)
{
    // The same five pixels stored with an alpha channel and as a palette
    // whose colours carry alpha (tRNS), as a quantized picture is stored.
    static const struct {
        const char* label;
        UINT id;
    } pictures[] = {
        {"truecolour with alpha", IDB_TEST_PREMULTIPLY},
        {"palette with alpha", IDB_TEST_PREMULTIPLY_PALETTE},
    };
    static const struct {
        const char* label;
        Bgra expected;
    } cases[] = {
        {"200 with alpha 100", {78, 78, 78, 100}},
        {"1 with alpha 254 truncates", {0, 0, 0, 254}},
        {"alpha 0 becomes black", {0, 0, 0, 0}},
        {"opaque keeps its colour", {30, 20, 10, 255}},
        {"each channel on its own", {1, 64, 128, 128}},
    };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.label);
        CImage image;
        ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(picture.id)));
        ASSERT_EQ(image.GetBPP(), 32);
        EXPECT_TRUE(image.HasAlphaChannel());
        ASSERT_EQ(image.GetWidth(), 5);
        ASSERT_EQ(image.GetHeight(), 1);
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(PixelAt(image, x, 0), cases[x].expected) << cases[x].label;
    }
}

TEST(LoadPngResource, OpaqueThirtyTwoBitImageComesOutUnchanged)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(IDB_TEST_OPAQUE_RGBA)));
    ASSERT_EQ(image.GetBPP(), 32);
    EXPECT_EQ(PixelAt(image, 0, 0), (Bgra{51, 34, 17, 255}));
    EXPECT_EQ(PixelAt(image, 2, 1), (Bgra{51, 34, 17, 255}));
    EXPECT_EQ(PixelAt(image, 1, 1), (Bgra{99, 5, 250, 255}));
}

TEST(LoadPngResource, TruecolourAndPaletteImagesAreNotPremultiplied)
{
    static const struct {
        const char* label;
        UINT id;
        int bpp;
    } cases[] = {
        {"truecolour", IDB_TEST_TRUECOLOUR, 24},
        {"palette", IDB_TEST_PALETTE, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CImage image;
        ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(c.id)));
        EXPECT_EQ(image.GetBPP(), c.bpp);
        EXPECT_FALSE(image.HasAlphaChannel());
        EXPECT_EQ(image.GetWidth(), 4);
        EXPECT_EQ(image.GetHeight(), 2);

        // Drawn opaque with its decoded colours, whatever was below.
        MemoryCanvas canvas(4, 2, RGB(255, 255, 255));
        EXPECT_TRUE(image.Draw(canvas.Dc(), 0, 0, 4, 2, 0, 0, 4, 2));
        EXPECT_TRUE(ColourNear(canvas.Pixel(0, 0), RGB(200, 100, 50)));
        if (c.bpp == 24) {
            EXPECT_TRUE(ColourNear(canvas.Pixel(3, 1), RGB(1, 2, 3)));
            const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(3, 1));
            EXPECT_EQ(p[0], 3);  // blue, green, red as decoded
            EXPECT_EQ(p[2], 1);
        } else {
            EXPECT_TRUE(ColourNear(canvas.Pixel(1, 0), RGB(10, 220, 30)));
            EXPECT_EQ(*static_cast<const BYTE*>(image.GetPixelAddress(1, 0)), 1);  // palette index
        }
    }
}

TEST(LoadPngResource, RefusesWhatIsNoPngResource)
{
    static const struct {
        const char* label;
        LPCWSTR name;
    } cases[] = {
        {"only a BITMAP of that id", MAKEINTRESOURCEW(IDB_TEST_BITMAP_ONLY)},
        {"no resource at all", MAKEINTRESOURCEW(IDB_TEST_MISSING)},
        {"bytes that do not decode", MAKEINTRESOURCEW(IDB_TEST_BROKEN)},
        {"unknown name", L"NOSUCHPICTURE"},
    };
    ASSERT_TRUE(::FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_TEST_BITMAP_ONLY), MAKEINTRESOURCEW(2)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CImage image;
        EXPECT_FALSE(LoadPngResource(image, c.name));
        EXPECT_TRUE(image.IsNull());
        EXPECT_EQ(image.GetWidth(), 0);
        EXPECT_EQ(image.GetHeight(), 0);
    }
}

TEST(LoadPngResource, FindsANamedResource)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(image, L"NAMEDSTRIP"));
    EXPECT_EQ(image.GetWidth(), 24);
    EXPECT_EQ(image.GetHeight(), 60);
}

TEST(ImageDraw, AlphaImageBlendsOverTheDestination)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(IDB_TEST_PREMULTIPLY)));
    MemoryCanvas canvas(5, 1, RGB(0, 0, 255));
    ASSERT_TRUE(image.Draw(canvas.Dc(), 0, 0, 5, 1, 0, 0, 5, 1));
    // 200 at alpha 100 over blue: 78 + 0, 78 + 0, 78 + 255 * 155 / 255.
    EXPECT_TRUE(ColourNear(canvas.Pixel(0, 0), RGB(78, 78, 78 + 155), 1));
    EXPECT_TRUE(ColourNear(canvas.Pixel(2, 0), RGB(0, 0, 255)));  // fully transparent
    EXPECT_TRUE(ColourNear(canvas.Pixel(3, 0), RGB(10, 20, 30)));  // opaque
}

TEST(ImageDraw, DrawCopiesTheSourceRectangleOnly)
{
    CImage strip;
    ASSERT_TRUE(LoadPngResource(strip, MAKEINTRESOURCEW(IDB_TEST_STRIP5)));
    MemoryCanvas canvas(24, 12);
    ASSERT_TRUE(strip.Draw(canvas.Dc(), 0, 0, 24, 12, 0, 36, 24, 12));  // frame 3
    EXPECT_TRUE(ColourNear(canvas.Pixel(0, 0), RGB(0, 130, 200)));
    EXPECT_TRUE(ColourNear(canvas.Pixel(23, 11), RGB(0, 130, 200)));
}

TEST(ImageDraw, ConstantAlphaScalesThePixelAlpha)
{
    CImage red;
    ASSERT_TRUE(LoadPngResource(red, MAKEINTRESOURCEW(IDB_TEST_PICTURE_RED)));
    MemoryCanvas canvas(32, 32, RGB(0, 0, 0));
    ASSERT_TRUE(red.AlphaBlend(canvas.Dc(), 0, 0, 32, 32, 0, 0, 32, 32, 128, AC_SRC_OVER));
    EXPECT_TRUE(ColourNear(canvas.Pixel(5, 5), RGB(220 * 128 / 255, 20 * 128 / 255, 20 * 128 / 255), 2));
    const RECT whole{0, 0, 32, 32};
    canvas.Fill(RGB(0, 0, 0));
    ASSERT_TRUE(red.AlphaBlend(canvas.Dc(), whole, whole, 0, AC_SRC_OVER));
    EXPECT_TRUE(ColourNear(canvas.Pixel(5, 5), RGB(0, 0, 0)));
}

TEST(ImageDraw, AnEmptyImageDrawsNothing)
{
    CImage empty;
    MemoryCanvas canvas(4, 4, RGB(9, 9, 9));
    EXPECT_FALSE(empty.Draw(canvas.Dc(), 0, 0, 4, 4, 0, 0, 4, 4));
    EXPECT_FALSE(empty.AlphaBlend(canvas.Dc(), 0, 0, 4, 4, 0, 0, 4, 4));
    EXPECT_TRUE(ColourNear(canvas.Pixel(1, 1), RGB(9, 9, 9)));
}

}  // namespace
