// Pictures for a display scale: which resource each scale takes (the 1x
// "PNG", the 2x "PNG2X", or the 2x resized), the frame sizes that come out,
// the area averaging that resizes a strip frame by frame, and the stacking
// of frames a 2x strip holds side by side.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "controls/LoadPngResource.h"
#include "framework/Image.h"
#include "framework/ImageScale.h"
#include "tests/controls/FrameColours.h"
#include "tests/controls/fixtures/FixtureIds.h"

namespace {

using qxt::test::FrameOfColour;

COLORREF Opaque(const CImage& image, int x, int y)
{
    const auto* p = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
    return RGB(p[2], p[1], p[0]);
}

// The frame every pixel of frame i shows, or -1 when they do not agree.
int FrameShown(const CImage& image, int frames, int i)
{
    const int height = image.GetHeight() / frames;
    const int shown = FrameOfColour(Opaque(image, 0, i * height));
    for (int y = i * height; y < (i + 1) * height; ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (FrameOfColour(Opaque(image, x, y)) != shown)
                return -1;
    return shown;
}

TEST(LoadPngResourceForDpi, EachScaleTakesItsPictureAtItsFrameSize)
{
    // strip5: frames of 24 x 12 in colours 0 to 4; its 2x picture: frames of
    // 48 x 24 in colours 5 to 9.
    const struct {
        UINT dpi;
        int frameWidth, frameHeight;
        int firstColour;
    } cases[] = {
        {96, 24, 12, 0},   // the 1x picture, as LoadPngResource gives it
        {120, 30, 15, 5},  // the 2x picture shrunk to 125 %
        {144, 36, 18, 5},
        {168, 42, 21, 5},
        {192, 48, 24, 5},  // the 2x picture as it is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi");
        CImage image;
        ASSERT_TRUE(LoadPngResourceForDpi(image, MAKEINTRESOURCEW(IDB_TEST_STRIP5), c.dpi, 5));
        EXPECT_EQ(image.GetWidth(), c.frameWidth);
        ASSERT_EQ(image.GetHeight(), c.frameHeight * 5);
        EXPECT_TRUE(image.HasAlphaChannel());
        // Each frame whole and on its own: no row of a neighbour mixed in.
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(FrameShown(image, 5, i), c.firstColour + i) << "frame " << i;
    }
}

TEST(LoadPngResourceForDpi, WithoutATwiceAsLargePictureTheOneTimesPictureIsResized)
{
    CImage image;
    ASSERT_TRUE(LoadPngResourceForDpi(image, MAKEINTRESOURCEW(IDB_TEST_STRIP10), 144, 10));
    EXPECT_EQ(image.GetWidth(), 36);
    ASSERT_EQ(image.GetHeight(), 18 * 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(FrameShown(image, 10, i), i) << "frame " << i;

    // A picture that is missing stays missing at every scale.
    for (const UINT dpi : {96u, 144u, 192u}) {
        CImage missing;
        EXPECT_FALSE(LoadPngResourceForDpi(missing, MAKEINTRESOURCEW(IDB_TEST_MISSING), dpi));
        EXPECT_TRUE(missing.IsNull());
    }
}

TEST(LoadPngResourceForDpi, PaletteAndTruecolourPicturesStayOpaque)
{
    // Neither has a 2x picture: the 1x one at twice its size, each pixel
    // now two by two, opaque as before.
    CImage image;
    ASSERT_TRUE(LoadPngResourceForDpi(image, MAKEINTRESOURCEW(IDB_TEST_TRUECOLOUR), 192));
    EXPECT_FALSE(image.HasAlphaChannel());
    EXPECT_EQ(image.GetWidth(), 8);
    EXPECT_EQ(image.GetHeight(), 4);
    EXPECT_EQ(Opaque(image, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(Opaque(image, 7, 3), RGB(1, 2, 3));  // the 1x corner pixel, now 2 x 2
    EXPECT_EQ(Opaque(image, 6, 2), RGB(1, 2, 3));
    EXPECT_EQ(Opaque(image, 5, 3), RGB(200, 100, 50));

    CImage palette;
    ASSERT_TRUE(LoadPngResourceForDpi(palette, MAKEINTRESOURCEW(IDB_TEST_PALETTE), 192));
    EXPECT_FALSE(palette.HasAlphaChannel());
    EXPECT_EQ(Opaque(palette, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(Opaque(palette, 2, 0), RGB(10, 220, 30));
}

// A one-row picture of 32-bit pixels with alpha, grey levels as given.
void FillRow(CImage& image, std::initializer_list<int> levels, int alpha = 255)
{
    ASSERT_TRUE(SUCCEEDED(image.Create(static_cast<int>(levels.size()), 1, true)));
    int x = 0;
    for (int level : levels) {
        auto* p = static_cast<BYTE*>(image.GetPixelAddress(x++, 0));
        p[0] = p[1] = p[2] = static_cast<BYTE>(level * alpha / 255);
        p[3] = static_cast<BYTE>(alpha);
    }
}

TEST(ScaleFrames, EachPixelIsTheMeanOfWhatItCovers)
{
    const struct {
        const char* label;
        std::initializer_list<int> source;
        int width;
        std::vector<int> expected;
    } cases[] = {
        {"halved: pairs averaged", {0, 0, 255, 255}, 2, {0, 255}},
        {"halved across an edge", {0, 255, 0, 255}, 2, {128, 128}},
        {"three of four: the middle pixel takes half of each neighbour", {0, 0, 255, 255}, 3, {0, 128, 255}},
        {"to two thirds", {0, 90, 180}, 2, {30, 150}},
        {"the same size changes nothing", {7, 99, 201}, 3, {7, 99, 201}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CImage source;
        FillRow(source, c.source);
        CImage target;
        ASSERT_TRUE(ScaleFrames(source, 1, c.width, 1, target));
        ASSERT_EQ(target.GetWidth(), c.width);
        for (int x = 0; x < c.width; ++x) {
            const auto* p = static_cast<const BYTE*>(target.GetPixelAddress(x, 0));
            EXPECT_EQ(p[2], c.expected[static_cast<size_t>(x)]) << "pixel " << x;
            EXPECT_EQ(p[3], 255) << "pixel " << x;
        }
    }
}

TEST(ScaleFrames, PremultipliedPixelsStayPremultiplied)
{
    // An opaque white pixel beside a transparent one: halved, a white half
    // as covering as before, whose colour never exceeds its alpha.
    CImage source;
    ASSERT_TRUE(SUCCEEDED(source.Create(2, 1, true)));
    auto* white = static_cast<BYTE*>(source.GetPixelAddress(0, 0));
    white[0] = white[1] = white[2] = white[3] = 255;
    CImage target;
    ASSERT_TRUE(ScaleFrames(source, 1, 1, 1, target));
    EXPECT_TRUE(target.HasAlphaChannel());
    const auto* p = static_cast<const BYTE*>(target.GetPixelAddress(0, 0));
    EXPECT_EQ(p[3], 128);
    EXPECT_EQ(p[0], 128);
    EXPECT_EQ(p[2], 128);
}

TEST(ScaleFrames, RefusesWhatItCannotSplitOrMake)
{
    CImage empty;
    CImage target;
    EXPECT_FALSE(ScaleFrames(empty, 1, 4, 4, target));
    CImage source;
    FillRow(source, {1, 2, 3});
    EXPECT_FALSE(ScaleFrames(source, 2, 4, 4, target)) << "one row does not split into two frames";
    EXPECT_FALSE(ScaleFrames(source, 1, 0, 1, target));
    EXPECT_TRUE(target.IsNull());
}

TEST(StackFrames, FramesSideBySideComeOutStackedInTheirOrder)
{
    // Three frames of 2 x 2 side by side, every pixel its own: frame f, pixel
    // (x, y) holds 40 f + 10 y + x with alpha 200 (premultiplied: no colour
    // above 200).
    CImage source;
    ASSERT_TRUE(SUCCEEDED(source.Create(6, 2, true)));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            auto* p = static_cast<BYTE*>(source.GetPixelAddress(x, y));
            p[0] = p[1] = p[2] = static_cast<BYTE>(40 * (x / 2) + 10 * y + x % 2);
            p[3] = 200;
        }
    CImage target;
    ASSERT_TRUE(StackFrames(source, 3, target));
    EXPECT_TRUE(target.HasAlphaChannel());
    ASSERT_EQ(target.GetWidth(), 2);
    ASSERT_EQ(target.GetHeight(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 2; ++x) {
            const auto* p = static_cast<const BYTE*>(target.GetPixelAddress(x, y));
            EXPECT_EQ(p[0], 40 * (y / 2) + 10 * (y % 2) + x) << "at " << x << ", " << y;
            EXPECT_EQ(p[3], 200) << "at " << x << ", " << y;
        }

    // A palette picture (4 x 2, two frames of 2 x 2): opaque 32 bits.
    CImage palette;
    ASSERT_TRUE(LoadPngResource(palette, MAKEINTRESOURCEW(IDB_TEST_PALETTE)));
    CImage stacked;
    ASSERT_TRUE(StackFrames(palette, 2, stacked));
    EXPECT_FALSE(stacked.HasAlphaChannel());
    ASSERT_EQ(stacked.GetWidth(), 2);
    ASSERT_EQ(stacked.GetHeight(), 4);
    // make_fixtures.py: row 0 is 0 1 0 1, row 1 is 1 1 0 0.
    const COLORREF a = RGB(200, 100, 50);
    const COLORREF b = RGB(10, 220, 30);
    const COLORREF expected[4][2] = {{a, b}, {b, b}, {a, b}, {a, a}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Opaque(stacked, x, y), expected[y][x]) << "at " << x << ", " << y;
}

TEST(StackFrames, RefusesWhatItCannotSplit)
{
    CImage empty;
    CImage target;
    EXPECT_FALSE(StackFrames(empty, 1, target));
    CImage source;
    FillRow(source, {1, 2, 3});
    EXPECT_FALSE(StackFrames(source, 2, target)) << "three columns do not split into two frames";
    EXPECT_FALSE(StackFrames(source, 0, target));
    EXPECT_TRUE(target.IsNull());
}

}  // namespace
