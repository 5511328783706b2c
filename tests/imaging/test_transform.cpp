#include <gtest/gtest.h>

#include <new>

#include "imaging/raster.h"

using namespace hqlv::imaging;

namespace {
RGBQUAD rgb(uint8_t r, uint8_t g, uint8_t b) {
    RGBQUAD c;
    c.rgbRed = r;
    c.rgbGreen = g;
    c.rgbBlue = b;
    return c;
}

// While above zero, the next nothrow array allocations fail, one per count.
thread_local int failNothrowArrays = 0;
}  // namespace

// The transforms take their working rows from the nothrow array form: a test can make them
// fail without running out of memory.
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    if (failNothrowArrays > 0) {
        --failNothrowArrays;
        return nullptr;
    }
    try {
        return ::operator new[](n);
    } catch (...) {
        return nullptr;
    }
}

TEST(Transform, FlipSwapsRowsAndAlpha) {
    CRaster one(2, 1, 8, 0);
    one.SetPixelIndex(0, 0, 4);
    EXPECT_TRUE(one.Flip());
    EXPECT_EQ(one.GetPixelIndex(0, 0), 4);
    CRaster img(2, 3, 8, 0);
    img.AlphaCreate();
    for (int y = 0; y < 3; ++y) {
        img.SetPixelIndex(0, y, static_cast<uint8_t>(y + 1));
        img.AlphaSet(1, y, static_cast<uint8_t>(10 * y));
    }
    EXPECT_TRUE(img.Flip());
    EXPECT_EQ(img.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 2);
    EXPECT_EQ(img.GetPixelIndex(0, 2), 1);
    EXPECT_EQ(img.AlphaGet(1, 0), 20);
    CRaster empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Negative());
}

TEST(Transform, FlipWithoutAWorkingRowFailsAndLeavesTheImage) {
    CRaster img(2, 2, 8, 0);
    img.AlphaCreate();
    img.SetPixelIndex(0, 0, 1);
    img.AlphaSet(0, 0, 9);
    failNothrowArrays = 1;
    EXPECT_FALSE(img.Flip());
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(img.AlphaGet(0, 0), 9);
    failNothrowArrays = 1;
    EXPECT_FALSE(img.AlphaFlip());
    EXPECT_EQ(img.AlphaGet(0, 0), 9);
    failNothrowArrays = 0;
}

TEST(Transform, MirrorAtEveryDepthDropsFrames) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        CRaster img(11, 2, bpp, 0);
        img.SetGrayPalette();
        for (int x = 0; x < 11; ++x) {
            if (bpp == 24)
                img.SetPixelColor(x, 1, rgb(static_cast<uint8_t>(x), 2, 3));
            else
                img.SetPixelIndex(x, 1, static_cast<uint8_t>(x % 2));
        }
        img.AlphaCreate();
        img.AlphaSet(0, 0, 1);
        ASSERT_TRUE(img.Mirror());
        for (int x = 0; x < 11; ++x) {
            if (bpp == 24)
                EXPECT_EQ(img.GetPixelColor(x, 1).rgbRed, 10 - x);
            else
                EXPECT_EQ(img.GetPixelIndex(x, 1), (10 - x) % 2) << bpp;
        }
        EXPECT_EQ(img.AlphaGet(10, 0), 1);
        EXPECT_EQ(img.AlphaGet(0, 0), 255);
    }
}

TEST(Transform, RotationsOfTwoPixels) {
    const RGBQUAD a = rgb(1, 1, 1), b = rgb(2, 2, 2);
    CRaster img(2, 1, 24, 0);
    img.SetPixelColor(0, 0, a);
    img.SetPixelColor(1, 0, b);
    CRaster left;
    ASSERT_TRUE(img.RotateLeft(&left));
    EXPECT_TRUE(img.IsValid());  // a target leaves the source alone
    ASSERT_EQ(left.GetWidth(), 1u);
    ASSERT_EQ(left.GetHeight(), 2u);
    EXPECT_EQ(left.GetPixelColor(0, 1).rgbRed, 2);  // B in the top row
    EXPECT_EQ(left.GetPixelColor(0, 0).rgbRed, 1);
    ASSERT_TRUE(img.RotateRight());
    ASSERT_EQ(img.GetWidth(), 1u);
    EXPECT_EQ(img.GetPixelColor(0, 1).rgbRed, 1);  // A in the top row
}

TEST(Transform, RotationsAreInverseAndCarryAlphaAtAllDepths) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        CRaster img(9, 70, bpp, 0);  // crosses the 64-pixel blocks
        img.SetGrayPalette();
        img.AlphaCreate();
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 9; ++x) {
                if (bpp == 24)
                    img.SetPixelColor(x, y,
                                      rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7));
                else
                    img.SetPixelIndex(x, y, static_cast<uint8_t>(x * 7 + y));
                img.AlphaSet(x, y, static_cast<uint8_t>(x + y));
            }
        CRaster left, right;
        ASSERT_TRUE(img.RotateLeft(&left));
        ASSERT_TRUE(img.RotateRight(&right));
        ASSERT_EQ(left.GetWidth(), 70u);
        ASSERT_EQ(left.GetHeight(), 9u);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 70; ++x) {
                // left: destination (x, y) = source (y, W'-1-x)
                const int sx = y, sy = 69 - x;
                if (bpp == 24)
                    ASSERT_EQ(left.GetPixelColor(x, y).rgbGreen, sy);
                else
                    ASSERT_EQ(left.GetPixelIndex(x, y), img.GetPixelIndex(sx, sy)) << bpp;
                ASSERT_EQ(left.AlphaGet(x, y), img.AlphaGet(sx, sy));
                // right: destination (x, y) = source (H'-1-y, x)
                ASSERT_EQ(right.GetPixelIndex(x, y), img.GetPixelIndex(8 - y, x));
                ASSERT_EQ(right.AlphaGet(x, y), img.AlphaGet(8 - y, x));
            }
        ASSERT_TRUE(left.RotateRight());
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 9; ++x) {
                if (bpp == 24)
                    ASSERT_TRUE(left.GetPixelColor(x, y).rgbRed == x &&
                                left.GetPixelColor(x, y).rgbGreen == y);
                else
                    ASSERT_EQ(left.GetPixelIndex(x, y), img.GetPixelIndex(x, y));
            }
    }
}

TEST(Transform, NegativeOfTrueColourAndPalettes) {
    CRaster img(2, 2, 24, 0);
    img.SetPixelColor(0, 0, rgb(10, 20, 30));
    img.SetTransColor(rgb(10, 20, 30));
    ASSERT_TRUE(img.Negative());
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 245);
    EXPECT_EQ(img.GetTransColor().rgbRed, 245);
    EXPECT_EQ(img.GetTransColor().rgbGreen, 235);
    EXPECT_EQ(img.GetTransColor().rgbBlue, 225);

    CRaster pal(2, 1, 4, 0);
    pal.SetPaletteColor(1, 100, 0, 0);
    pal.SetPixelIndex(0, 0, 1);
    ASSERT_TRUE(pal.Negative());
    EXPECT_EQ(pal.GetPixelIndex(0, 0), 1);  // only the palette changes
    EXPECT_EQ(pal.GetPaletteColor(1).rgbRed, 155);

    CRaster grey(2, 1, 8, 0);
    grey.SetGrayPalette();
    grey.SetPixelIndex(0, 0, 40);
    ASSERT_TRUE(grey.Negative());
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 215);
    EXPECT_EQ(grey.GetPaletteColor(1).rgbRed, 1);
}

TEST(Transform, SelectionTravelsWithTheGeometry) {
    CRaster img(4, 3, 8, 0);
    img.SetGrayPalette();
    ASSERT_TRUE(img.SelectionCreate());
    img.SelectionSet(1, 0, 255);
    img.SetSelectionBox({1, 1, 2, 0});  // left, top, right, bottom
    img.SetPixelIndex(1, 0, 10);
    img.SetPixelIndex(2, 0, 10);
    ASSERT_TRUE(img.Negative());  // only the selected pixel inverts
    EXPECT_EQ(img.GetPixelIndex(1, 0), 245);
    EXPECT_EQ(img.GetPixelIndex(2, 0), 10);
    CRaster colour(3, 1, 24, 0);  // the same in true colour
    ASSERT_TRUE(colour.SelectionCreate());
    colour.SelectionSet(1, 0, 255);
    colour.SetSelectionBox({0, 1, 3, 0});
    ASSERT_TRUE(colour.Negative());
    for (int x = 0; x < 3; ++x) EXPECT_EQ(colour.GetPixelColor(x, 0).rgbRed, x == 1 ? 255 : 0);
    ASSERT_TRUE(img.Flip(true, false));
    EXPECT_EQ(img.GetSelectionBox().top, 3);
    EXPECT_EQ(img.GetSelectionBox().bottom, 2);
    EXPECT_TRUE(img.BlindSelectionIsInside(1, 2));
    ASSERT_TRUE(img.Mirror(true, false));
    EXPECT_EQ(img.GetSelectionBox().left, 2);
    EXPECT_EQ(img.GetSelectionBox().right, 3);
    EXPECT_TRUE(img.BlindSelectionIsInside(2, 2));
    ASSERT_TRUE(img.RotateRight());  // (2, 2) of 4 x 3 goes to (2, 1) of 3 x 4
    EXPECT_TRUE(img.SelectionIsValid());
    EXPECT_TRUE(img.BlindSelectionIsInside(2, 1));
    const RasterRect turned = img.GetSelectionBox();
    EXPECT_EQ(std::vector<int32_t>({turned.left, turned.top, turned.right, turned.bottom}),
              std::vector<int32_t>({2, 2, 3, 1}));
    EXPECT_TRUE(img.SelectionDelete());
    EXPECT_TRUE(img.BlindSelectionIsInside(0, 0));
    // Without a selection plane there is nothing to move, the box included.
    const auto box = img.GetSelectionBox();
    EXPECT_FALSE(img.SelectionMirror());
    EXPECT_FALSE(img.SelectionFlip());
    EXPECT_EQ(img.GetSelectionBox().left, box.left);
    EXPECT_EQ(img.GetSelectionBox().top, box.top);
}
