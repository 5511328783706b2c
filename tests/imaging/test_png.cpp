#include <gtest/gtest.h>

#include "codec_writers.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

PngSpec rgbSpec(uint32_t w, uint32_t h, int colorType, int depth) {
    PngSpec s{.width = w, .height = h, .colorType = colorType, .bitDepth = depth};
    const int ch = colorType == 2 ? 3 : colorType == 6 ? 4 : colorType == 4 ? 2 : 1;
    const uint32_t maxv = (1u << depth) - 1;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < ch; ++c)
                s.samples.push_back(static_cast<uint16_t>(
                    (x * 2311 + y * 977 + c * 4099 + x * y * 13) % (maxv + 1)));
    return s;
}

bool decode(CRaster& img, const Bytes& data, uint32_t id = RASTER_FORMAT_PNG) {
    return decodeAs(img, data, id);
}

uint8_t high(uint16_t v, int depth) {
    return static_cast<uint8_t>(depth == 16 ? v >> 8 : v);
}

}  // namespace

TEST(Png, TrueColourAndAlphaKeepHighBytes) {
    for (int ct : {2, 6}) {
        for (int depth : {8, 16}) {
            for (bool inter : {false, true}) {
                PngSpec s = rgbSpec(19, 13, ct, depth);
                s.interlace = inter;
                CRaster img;
                ASSERT_TRUE(decode(img, makePng(s))) << img.GetLastError();
                ASSERT_EQ(img.GetBpp(), 24u);
                EXPECT_EQ(img.AlphaIsValid(), ct == 6);
                EXPECT_EQ(img.GetCodecOption(RASTER_FORMAT_PNG), inter ? 1u : 0u);
                const int ch = ct == 2 ? 3 : 4;
                for (uint32_t y = 0; y < 13; ++y)
                    for (uint32_t x = 0; x < 19; ++x) {
                        const uint16_t* p = &s.samples[(y * 19 + x) * ch];
                        const RGBQUAD c = topPixel(img, static_cast<int>(x), static_cast<int>(y));
                        ASSERT_EQ(c.rgbRed, high(p[0], depth)) << ct << depth << inter;
                        ASSERT_EQ(c.rgbGreen, high(p[1], depth));
                        ASSERT_EQ(c.rgbBlue, high(p[2], depth));
                        if (ch == 4) {
                            ASSERT_EQ(img.AlphaGet(static_cast<int>(x), static_cast<int>(12 - y)),
                                      high(p[3], depth));
                        }
                    }
            }
        }
    }
}

TEST(Png, GreyDepthsAndGreyAlphaInterlaced) {
    for (int depth : {1, 2, 4, 8, 16}) {
        PngSpec s = rgbSpec(11, 9, 0, depth);
        CRaster img;
        ASSERT_TRUE(decode(img, makePng(s))) << img.GetLastError();
        const uint32_t want = depth == 1 ? 1 : depth <= 4 ? 4 : 8;
        EXPECT_EQ(img.GetBpp(), want);
        for (uint32_t y = 0; y < 9; ++y)
            for (uint32_t x = 0; x < 11; ++x)
                ASSERT_EQ(img.GetPixelIndex(static_cast<int>(x), static_cast<int>(8 - y)),
                          high(s.samples[y * 11 + x], depth))
                    << depth;
        if (depth == 2) {
            EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 85);
            EXPECT_EQ(img.GetPaletteColor(3).rgbRed, 255);
        }
    }
    PngSpec ga = rgbSpec(10, 10, 4, 8);
    CRaster plain, inter;
    ASSERT_TRUE(decode(plain, makePng(ga)));
    ga.interlace = true;
    ASSERT_TRUE(decode(inter, makePng(ga)));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(plain.GetPixelIndex(x, y), inter.GetPixelIndex(x, y));
            ASSERT_EQ(plain.AlphaGet(x, y), inter.AlphaGet(x, y));
            ASSERT_EQ(plain.AlphaGet(x, y), ga.samples[((9 - y) * 10 + x) * 2 + 1]);
        }
}

TEST(Png, PaletteTransparency) {
    PngSpec s = rgbSpec(6, 4, 3, 8);
    for (auto& v : s.samples) v %= 5;
    for (int i = 0; i < 5; ++i) {
        s.palette.push_back(static_cast<uint8_t>(i * 40));
        s.palette.push_back(static_cast<uint8_t>(i * 3));
        s.palette.push_back(static_cast<uint8_t>(200 - i));
    }
    s.trnsAlpha = {0, 128, 7};
    CRaster img;
    ASSERT_TRUE(decode(img, makePng(s))) << img.GetLastError();
    EXPECT_TRUE(img.IsPaletteAlpha());
    EXPECT_EQ(img.GetPaletteColor(1).rgbReserved, 128);
    EXPECT_EQ(img.GetPaletteColor(3).rgbReserved, 255);
    EXPECT_EQ(img.GetPaletteColor(4).rgbRed, 160);
    EXPECT_EQ(img.GetHeader().biClrImportant, 5u);
    EXPECT_EQ(img.GetPixelIndex(2, 3), s.samples[2]);

    s.trnsAlpha = {0};
    CRaster one;
    ASSERT_TRUE(decode(one, makePng(s)));
    EXPECT_EQ(one.GetTransIndex(), 0);
    EXPECT_EQ(one.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(one.GetPaletteColor(1).rgbReserved, 255);
    s.trnsAlpha = {255};
    CRaster opaque;
    ASSERT_TRUE(decode(opaque, makePng(s)));
    EXPECT_FALSE(opaque.IsTransparent());
}

// A 16-bit key matches whole samples: the neighbour that shares its high byte stays.
TEST(Png, SixteenBitKeysBecomeAlpha) {
    struct Case {
        int colorType;
        uint16_t key, near;
        bool interlace;
    } const cases[] = {{2, 0x1234, 0x1299, false},
                       {2, 0x1234, 0x1299, true},
                       {0, 0x4000, 0x40FF, false},
                       {0, 0x4000, 0x40FF, true}};
    for (const Case& c : cases) {
        const int ch = c.colorType == 2 ? 3 : 1;
        PngSpec s{.width = 3,
                  .height = 2,
                  .colorType = c.colorType,
                  .bitDepth = 16,
                  .interlace = c.interlace};
        for (int i = 0; i < 6; ++i)  // key, near, near / near, key, key
            for (int k = 0; k < ch; ++k) s.samples.push_back(i == 0 || i >= 4 ? c.key : c.near);
        s.trnsColour = true;
        s.trnsGray = s.trnsR = s.trnsG = s.trnsB = c.key;
        CRaster img;
        ASSERT_TRUE(decode(img, makePng(s))) << img.GetLastError();
        EXPECT_FALSE(img.IsTransparent());
        ASSERT_TRUE(img.AlphaIsValid());
        for (int i = 0; i < 6; ++i) {
            const int x = i % 3, y = 1 - i / 3;
            EXPECT_EQ(img.AlphaGet(x, y), i == 0 || i >= 4 ? 0 : 255) << c.key << " " << i;
            EXPECT_EQ(topPixel(img, i % 3, i / 3).rgbRed, c.near >> 8);
        }
    }
}

TEST(Png, ColourKeysAndResolution) {
    PngSpec c = rgbSpec(4, 4, 2, 8);
    c.trnsColour = true;
    c.trnsR = 10;
    c.trnsG = 20;
    c.trnsB = 30;
    c.phys = true;
    c.physX = 3780;
    c.physY = 7874;
    CRaster rgb;
    ASSERT_TRUE(decode(rgb, makePng(c)));
    EXPECT_EQ(rgb.GetTransIndex(), 0);
    EXPECT_EQ(rgb.GetTransColor().rgbRed, 10);
    EXPECT_EQ(rgb.GetTransColor().rgbBlue, 30);
    EXPECT_EQ(rgb.GetXDPI(), 96);
    EXPECT_EQ(rgb.GetYDPI(), 200);
    c.physUnit = 0;
    c.physX = 2;
    c.physY = 3;
    CRaster aspect;
    ASSERT_TRUE(decode(aspect, makePng(c)));
    EXPECT_EQ(aspect.GetXDPI(), 2);
    EXPECT_EQ(aspect.GetYDPI(), 3);
}

TEST(Png, ErrorsQueriesAndTruncation) {
    Bytes png = makePng(rgbSpec(30, 20, 2, 8));
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decode(q, png));
    EXPECT_EQ(q.GetWidth(), 30u);
    EXPECT_EQ(q.GetHeight(), 20u);
    EXPECT_FALSE(q.IsValid());

    Bytes cut(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    CRaster t;
    EXPECT_FALSE(decode(t, cut));
    EXPECT_STREQ(t.GetLastError(), "Read Error");
    EXPECT_FALSE(t.IsValid());

    Bytes bad = png;
    bad[0] = 'X';
    CRaster s;
    EXPECT_FALSE(decode(s, bad));
    EXPECT_STRNE(s.GetLastError(), "");

    Bytes crc = png;
    crc[20] ^= 0xFF;  // inside IHDR: bad CRC
    CRaster cr;
    EXPECT_FALSE(decode(cr, crc));

    CRaster cancel;
    cancel.SetEscape(1);
    EXPECT_FALSE(decode(cancel, png));
    EXPECT_STREQ(cancel.GetLastError(), "Cancelled");
}
