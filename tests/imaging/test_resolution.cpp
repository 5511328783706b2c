// Resolutions and positions a picture file may give beyond what the image's integer fields
// hold: each keeps the nearest value it can hold, and the picture still decodes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "codec_writers.h"
#include "imaging/decoders.h"
#include "imaging/saturate.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

}  // namespace

TEST(Resolution, SaturateCastKeepsTheNearestValue) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double v;
        int32_t want;
    } i32[] = {{std::nan(""), 0},
               {inf, kMax},
               {-inf, kMin},
               {2147483647.9, kMax},
               {2147483648.0, kMax},
               {1e300, kMax},
               {-2147483648.9, kMin},
               {-2147483649.0, kMin},
               {-1.9, -1},
               {1.9, 1},
               {-2147483647.5, -2147483647}};
    for (const auto& c : i32) EXPECT_EQ(SaturateCast<int32_t>(c.v), c.want) << c.v;
    const struct {
        double v;
        uint32_t want;
    } u32[] = {{-1.0, 0u},
               {-0.5, 0u},
               {4294967295.5, 4294967295u},
               {4294967296.0, 4294967295u},
               {std::nan(""), 0u}};
    for (const auto& c : u32) EXPECT_EQ(SaturateCast<uint32_t>(c.v), c.want) << c.v;
    EXPECT_EQ(SaturateCast<int64_t>(9.3e18), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(SaturateCast<int64_t>(-9.3e18), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(SaturateCast<int64_t>(4294967303.0), 4294967303);
}

// The pixels per metre of the last resolution the header field holds, and of the first past it.
TEST(Resolution, PixelsPerMetreStopAtTheFieldsEnd) {
    const struct {
        int32_t dpi, storedDpi, ppm;
    } cases[] = {{54546084, 54546084, 2147483622},
                 {54546085, 54546085, kMax},
                 {kMax, kMax, kMax},
                 {-7, 96, 3780},
                 {1, 1, 39}};
    for (const auto& c : cases) {
        CRaster img;
        img.SetXDPI(c.dpi);
        img.SetYDPI(c.dpi);
        EXPECT_EQ(img.GetXDPI(), c.storedDpi) << c.dpi;
        EXPECT_EQ(img.GetYDPI(), c.storedDpi) << c.dpi;
        EXPECT_EQ(img.GetHeader().biXPelsPerMeter, c.ppm) << c.dpi;
        EXPECT_EQ(img.GetHeader().biYPelsPerMeter, c.ppm) << c.dpi;
    }
}

// 58 bytes: file header, info header with 0x7FFFFFFF pixels per metre on both axes, one
// 24-bit pixel.
TEST(Resolution, BmpWithTheLargestPixelsPerMetre) {
    const Bytes bmp = {'B',  'M', 58, 0, 0, 0, 0, 0, 0,    0,    54,   0,    0,    0,    40,
                       0,    0,   0,  1, 0, 0, 0, 1, 0,    0,    0,    1,    0,    24,   0,
                       0,    0,   0,  0, 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF,
                       0x7F, 0,   0,  0, 0, 0, 0, 0, 0,    0x10, 0x20, 0x30, 0};
    ASSERT_EQ(bmp.size(), 58u);
    CRaster img;
    ASSERT_TRUE(decodeAs(img, bmp, RASTER_FORMAT_BMP)) << img.GetLastError();
    EXPECT_EQ(img.GetXDPI(), 54546085);
    EXPECT_EQ(img.GetYDPI(), 54546085);
    EXPECT_EQ(img.GetHeader().biXPelsPerMeter, kMax);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0x30);
}

// pHYs without a unit: the numbers are the resolution itself.
TEST(Resolution, PngPhysWithoutUnit) {
    const struct {
        uint32_t x, y;
        int32_t dpiX, dpiY, ppmX;
    } cases[] = {{60000000, 60000000, 60000000, 60000000, kMax},
                 {0xFFFFFFFFu, 5, kMax, 5, kMax},
                 {2, 3, 2, 3, 79}};
    for (const auto& c : cases) {
        PngSpec s{.width = 2, .height = 1, .colorType = 0, .bitDepth = 8};
        s.samples = {1, 2};
        s.phys = true;
        s.physUnit = 0;
        s.physX = c.x;
        s.physY = c.y;
        CRaster img;
        ASSERT_TRUE(decodeAs(img, makePng(s), RASTER_FORMAT_PNG)) << c.x << img.GetLastError();
        EXPECT_EQ(img.GetXDPI(), c.dpiX) << c.x;
        EXPECT_EQ(img.GetYDPI(), c.dpiY) << c.x;
        EXPECT_EQ(img.GetHeader().biXPelsPerMeter, c.ppmX) << c.x;
    }
}
