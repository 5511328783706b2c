#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "imaging/raster.h"
#include "test_util.h"

using namespace hqlv::imaging;
using imgtest::rgbText;

TEST(Raster, CreateRefusesEmptyAndHugeSizes) {
    CRaster img;
    EXPECT_EQ(img.Create(0, 10, 8, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(),
                 "CRaster::Create : width and height must be greater than zero");
    EXPECT_EQ(img.Create(16384, 16384, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    EXPECT_EQ(img.Create(0x7FFFFFFF, 0x7FFFFFFF, 1, 0), nullptr);
    EXPECT_TRUE(CRaster::SizeAllowed(16384, 16384, 8));
    EXPECT_FALSE(CRaster::SizeAllowed(16384, 16385, 8));
    // The byte count is exact: 89,478,485 pixels of 3 bytes fit, one more does not.
    EXPECT_TRUE(CRaster::SizeAllowed(89478485, 1, 24));
    EXPECT_FALSE(CRaster::SizeAllowed(89478486, 1, 24));
    EXPECT_FALSE(CRaster::SizeAllowed(1, 89478486, 24));
}

TEST(Raster, PixelCapRefusesBeforeAllocating) {
    CRaster::SetMaxPixels(100);
    CRaster img;
    EXPECT_EQ(img.Create(11, 10, 8, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    EXPECT_NE(img.Create(10, 10, 8, 0), nullptr);
    CRaster::SetMaxPixels(0);
}

TEST(Raster, DepthsStridesAndZeroFill) {
    CRaster img(3, 2, 24, 0);
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(img.GetEffWidth(), 12u);
    EXPECT_EQ(img.GetPaletteSize(), 0u);
    for (uint32_t i = 0; i < img.GetHeader().biSizeImage; ++i) ASSERT_EQ(img.GetBits()[i], 0);

    CRaster four(5, 5, 2, 0);
    EXPECT_EQ(four.GetBpp(), 4u);
    EXPECT_EQ(four.GetPaletteSize(), 64u);
    CRaster c16(5, 5, 16, 0);
    EXPECT_EQ(c16.GetBpp(), 24u);
    CRaster c32(5, 5, 32, 0);
    EXPECT_EQ(c32.GetBpp(), 24u);

    // The block carries the header in little-endian order.
    const uint8_t* dib = img.GetDIB();
    uint32_t size, w;
    std::memcpy(&size, dib, 4);
    std::memcpy(&w, dib + 4, 4);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(w, 3u);
    EXPECT_EQ(img.GetSize(), 40u + 24u);
    EXPECT_EQ(img.GetBits(1), img.GetBits(0) + 12);
    EXPECT_EQ(img.GetBits(2), nullptr);
}

TEST(Raster, IndexAccessAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        CRaster img(9, 3, bpp, 0);
        const uint8_t mask = static_cast<uint8_t>((1u << bpp) - 1);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) img.SetPixelIndex(x, y, static_cast<uint8_t>(x * 3 + y));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(img.GetPixelIndex(x, y), (x * 3 + y) & mask)
                    << bpp << " " << x << "," << y;
    }
    CRaster img(2, 2, 4, 0);
    img.SetPixelIndex(0, 0, 0xA);
    img.SetPixelIndex(1, 0, 0x5);
    EXPECT_EQ(img.GetBits()[0], 0xA5);          // high nibble is the left pixel
    EXPECT_EQ(img.GetPixelIndex(-1, 0), 0xA5);  // outside: the first pixel byte
    img.SetTransIndex(3);
    EXPECT_EQ(img.GetPixelIndex(5, 5), 3);
    // A picture without a palette has no indexes to set: its colours stay.
    CRaster rgb(2, 1, 24, 0);
    rgb.SetPixelColor(0, 0, RGBQUAD{1, 2, 3, 0});
    rgb.SetPixelIndex(0, 0, 0xFF);
    EXPECT_EQ(rgb.GetBits()[0], 1);
    EXPECT_EQ(rgb.GetBits()[1], 2);
    EXPECT_EQ(rgb.GetBits()[2], 3);
}

TEST(Raster, PaletteGrayAndNearest) {
    CRaster img(2, 2, 4, 0);
    img.SetGrayPalette();
    EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 17);
    EXPECT_EQ(img.GetPaletteColor(15).rgbBlue, 255);
    EXPECT_EQ(img.GetPaletteColor(16).rgbBlue, 0);  // out of range: zero
    img.SetPaletteColor(3, 10, 20, 30);
    img.SetPaletteColor(7, 10, 20, 30);
    RGBQUAD c;
    c.rgbRed = 10;
    c.rgbGreen = 20;
    c.rgbBlue = 30;
    EXPECT_EQ(img.GetNearestIndex(c), 3);
    c.rgbRed = 12;
    EXPECT_EQ(img.GetNearestIndex(c), 3);
    img.SetPaletteColor(3, 0, 0, 0);  // invalidates the cache
    c.rgbRed = 10;
    EXPECT_EQ(img.GetNearestIndex(c), 7);
    img.SetClrImportant(3);
    c.rgbRed = 11;
    EXPECT_EQ(img.GetNearestIndex(c), 1);  // only the first three are searched
    // The count of important colours stops at the palette's size of each depth.
    struct {
        int bits;
        uint32_t asked, kept;
    } important[] = {{1, 5, 2}, {1, 1, 1}, {4, 40, 16}, {4, 9, 9}, {8, 200, 200}, {8, 300, 0}};
    for (const auto& c : important) {
        CRaster p(2, 2, c.bits, 0);
        p.SetClrImportant(c.asked);
        EXPECT_EQ(p.GetHeader().biClrImportant, c.kept) << c.bits << " " << c.asked;
    }
    // A picture without a palette has none to give.
    CRaster direct(2, 2, 24, 0);
    EXPECT_EQ(direct.GetPalette(), nullptr);
    EXPECT_NE(CRaster(2, 2, 8, 0).GetPalette(), nullptr);
    CRaster gray(1, 1, 8, 0);
    gray.SetGrayPalette();
    EXPECT_TRUE(gray.IsGrayScale());
    EXPECT_FALSE(img.IsGrayScale());
    for (int channel = 0; channel < 3; ++channel) {  // any one channel off the grey is colour
        gray.SetGrayPalette();
        gray.SetPaletteColor(0, channel == 0, channel == 1, channel == 2);
        EXPECT_FALSE(gray.IsGrayScale()) << channel;
    }
}

// Colours important above the palette's size (kept from a deeper picture made anew at one
// bit) search the palette only, never what lies behind it.
TEST(Raster, NearestIndexStaysInsideThePalette) {
    CRaster img(4, 4, 8, 0);
    img.SetClrImportant(200);
    ASSERT_TRUE(img.Create(1, 1, 1, 0));
    ASSERT_EQ(img.GetHeader().biClrImportant, 200u);
    img.SetPaletteColor(0, 0, 0, 0);
    img.SetPaletteColor(1, 255, 255, 255);
    RGBQUAD c;
    c.rgbRed = c.rgbGreen = c.rgbBlue = 200;
    EXPECT_EQ(img.GetNearestIndex(c), 1);
    c.rgbRed = c.rgbGreen = c.rgbBlue = 60;
    EXPECT_EQ(img.GetNearestIndex(c), 0);
}

TEST(Raster, TransparencyRules) {
    CRaster img(4, 4, 8, 0);
    img.SetTransIndex(300);
    EXPECT_EQ(img.GetTransIndex(), 0);
    CRaster four(2, 2, 4, 0);  // 16 colours: 15 is the last index
    for (int i : {15, 16}) {
        four.SetTransIndex(i);
        EXPECT_EQ(four.GetTransIndex(), i == 15 ? 15 : 0);
    }
    img.SetTransIndex(-1);
    EXPECT_FALSE(img.IsTransparent());
    img.SetPaletteColor(5, 1, 2, 3);
    img.SetTransIndex(5);
    EXPECT_EQ(img.GetTransColor().rgbRed, 1);
    const RGBQUAD before = img.GetPaletteColor(5);
    img.SetPalette(static_cast<const RGBQUAD*>(nullptr), 4);  // nothing to take: it stays
    EXPECT_TRUE(imgtest::sameRgb(img.GetPaletteColor(5), before));
    CRaster rgb(4, 4, 24, 0);
    RGBQUAD c;
    c.rgbRed = 9;
    c.rgbReserved = 77;
    rgb.SetTransColor(c);
    EXPECT_EQ(rgb.GetTransColor().rgbRed, 9);
    EXPECT_EQ(rgb.GetTransColor().rgbReserved, 0);
    rgb.SetTransIndex(0);
    EXPECT_EQ(rgb.GetPixelColor(-1, 0).rgbRed, 9);  // outside: the transparent colour
}

TEST(Raster, ColourAndAlphaAccess) {
    CRaster img(3, 3, 24, 0);
    RGBQUAD c;
    c.rgbRed = 200;
    c.rgbGreen = 100;
    c.rgbBlue = 50;
    c.rgbReserved = 7;
    img.SetPixelColor(1, 2, c, true);  // no alpha plane: alpha ignored
    EXPECT_FALSE(img.AlphaIsValid());
    ASSERT_TRUE(img.AlphaCreate());
    EXPECT_EQ(img.AlphaGet(0, 0), 255);
    img.SetPixelColor(1, 2, c, true);
    const RGBQUAD back = img.GetPixelColor(1, 2, true);
    EXPECT_EQ(back.rgbRed, 200);
    EXPECT_EQ(back.rgbBlue, 50);
    EXPECT_EQ(back.rgbReserved, 7);
    EXPECT_EQ(img.GetPixelColor(1, 2, false).rgbReserved, 0);
    EXPECT_EQ(img.AlphaGet(3, 0), 0);
    uint8_t* p = img.BlindGetPixelPointer(1, 2);
    EXPECT_EQ(p[0], 50);
    img.AlphaInvert();
    EXPECT_EQ(img.AlphaGet(1, 2), 248);
    img.Clear(9);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbGreen, 9);
    CRaster one(8, 1, 1, 0);
    one.Clear(1);
    EXPECT_EQ(one.GetBits()[0], 255);
    CRaster four(2, 1, 4, 0);
    four.Clear(0x13);
    EXPECT_EQ(four.GetBits()[0], 0x33);
}

TEST(Raster, DpiAndFrames) {
    CRaster img;
    img.SetXDPI(0);
    EXPECT_EQ(img.GetXDPI(), 96);
    EXPECT_EQ(img.GetHeader().biXPelsPerMeter, 3780);
    img.SetYDPI(254);
    EXPECT_EQ(img.GetHeader().biYPelsPerMeter, 10000);
    EXPECT_EQ(img.GetFrame(0), nullptr);
    EXPECT_EQ(CRaster::GetTypeIndexFromId(9), 8u);
    EXPECT_EQ(CRaster::GetTypeIndexFromId(12), 10u);
    EXPECT_EQ(CRaster::GetTypeIndexFromId(8), 0u);
    EXPECT_EQ(CRaster::GetTypeIndexFromId(13), 0u);
    CRaster png(4);
    png.SetCodecOption(5);
    EXPECT_EQ(png.GetCodecOption(4), 5u);
    EXPECT_EQ(png.GetJpegQuality(), 90);
}

TEST(Raster, CopyAndTransfer) {
    CRaster src(5, 4, 8, 4);
    src.SetGrayPalette();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) src.SetPixelIndex(x, y, static_cast<uint8_t>(x + 10 * y));
    src.AlphaCreate();
    src.AlphaSet(2, 2, 9);
    src.SetTransIndex(7);
    src.SetFrameDelay(12);
    src.Copy(src);  // onto itself: nothing changes
    EXPECT_EQ(src.GetPixelIndex(3, 2), 23);
    EXPECT_EQ(src.AlphaGet(2, 2), 9);
    CRaster copy(src);
    EXPECT_EQ(copy.GetPixelIndex(3, 2), 23);
    EXPECT_EQ(copy.AlphaGet(2, 2), 9);
    EXPECT_EQ(copy.GetTransIndex(), 7);
    EXPECT_EQ(copy.GetFrameDelay(), 12u);
    EXPECT_EQ(copy.GetType(), 4u);
    CRaster noPixels(src, false, false, false);
    EXPECT_EQ(noPixels.GetPixelIndex(3, 2), 0);
    EXPECT_EQ(noPixels.GetPaletteColor(200).rgbRed, 200);
    EXPECT_FALSE(noPixels.AlphaIsValid());

    CRaster dst(2, 2, 24, 0);
    dst.Transfer(copy);
    EXPECT_EQ(dst.GetWidth(), 5u);
    EXPECT_EQ(dst.GetPixelIndex(4, 3), 34);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetWidth(), 0u);

    CRaster alpha(5, 4, 24, 0);
    dst.SetPaletteColor(1, 9, 9, 8);
    EXPECT_FALSE(alpha.AlphaCopy(dst));  // not a grey ramp: the alpha source must be grey
    CRaster grey(5, 4, 8, 0);
    grey.SetGrayPalette();
    grey.SetPixelIndex(1, 1, 33);
    EXPECT_TRUE(alpha.AlphaCopy(grey));
    EXPECT_EQ(alpha.AlphaGet(1, 1), 33);
}

// Any grey source of the same size gives its grey levels as alpha, also at 1 and 4 bits,
// whose rows are shorter than the picture is wide; other sizes are refused.
TEST(Raster, AlphaCopyTakesGreySourcesOfEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        const uint32_t w = 40, h = 3;
        const uint32_t levels = 1u << bpp;
        CRaster grey(w, h, bpp, 0);
        for (uint32_t i = 0; i < levels; ++i) {
            const uint8_t v = static_cast<uint8_t>(i);
            grey.SetPaletteColor(v, v, v, v);  // the identity ramp a grey source has
        }
        ASSERT_TRUE(grey.IsGrayScale()) << bpp;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                grey.SetPixelIndex(int32_t(x), int32_t(y),
                                   static_cast<uint8_t>((x + 3 * y) % levels));
        CRaster target(w, h, 24, 0);
        ASSERT_TRUE(target.AlphaCopy(grey)) << bpp;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                ASSERT_EQ(target.AlphaGet(int32_t(x), int32_t(y)), (x + 3 * y) % levels)
                    << bpp << " " << x << "," << y;
        if (bpp != 1) continue;
        CRaster wider(w + 1, h, 24, 0), taller(w, h + 1, 24, 0);
        EXPECT_FALSE(wider.AlphaCopy(grey));
        EXPECT_FALSE(taller.AlphaCopy(grey));
        EXPECT_FALSE(wider.AlphaIsValid());
    }
}

TEST(Raster, PaletteArraysAndCodecOptionSlots) {
    CRaster img(2, 1, 4, 0);
    uint8_t r[300], g[300];
    for (int i = 0; i < 300; ++i) r[i] = g[i] = static_cast<uint8_t>(i + 1);
    img.SetPalette(2, r, g, nullptr);  // blue follows green
    EXPECT_EQ(rgbText(img.GetPaletteColor(1)), "2,2,2");
    EXPECT_EQ(rgbText(img.GetPaletteColor(2)), "0,0,0");  // only the two given
    img.SetPalette(300, r, g, nullptr);                   // only the sixteen held
    EXPECT_EQ(img.GetPaletteColor(15).rgbRed, 16);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
    // Every format keeps its own option word.
    for (uint32_t id : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 11u, 12u}) img.SetCodecOption(id * 10, id);
    for (uint32_t id : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 11u, 12u})
        EXPECT_EQ(img.GetCodecOption(id), id * 10) << id;
}

// The engine keys pictures by the exact colour 0xFF00FF: the magenta and white of 16-bit
// pixels come out as that key and as white, in both common layouts.
TEST(Raster, SixteenBitMagentaIsTheEnginesKeyColour) {
    const struct {
        uint32_t r, g, b;
        uint16_t magenta, white;
    } layouts[] = {{0x7C00, 0x03E0, 0x001F, 0x7C1F, 0x7FFF},
                   {0xF800, 0x07E0, 0x001F, 0xF81F, 0xFFFF}};
    for (const auto& l : layouts) {
        CRaster img(2, 1, 24, 0);
        const uint8_t src[4] = {uint8_t(l.magenta), uint8_t(l.magenta >> 8), uint8_t(l.white),
                                uint8_t(l.white >> 8)};
        img.Bitfield2RGB(src, l.r, l.g, l.b, 16);
        EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "255,0,255") << l.r;
        EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "255,255,255") << l.r;
    }
}

// An empty source gives an empty copy: no size, the source's information, and the creation's
// words as its last error.
TEST(Raster, CopyOfAnEmptyImageCarriesTheCreationsText) {
    CRaster empty(RASTER_FORMAT_GIF);
    empty.SetFrameDelay(7);
    empty.SetLastError("the source's own");
    CRaster copy(empty);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetWidth(), 0u);
    EXPECT_EQ(copy.GetFrameDelay(), 7u);
    EXPECT_EQ(copy.GetType(), static_cast<uint32_t>(RASTER_FORMAT_GIF));
    EXPECT_STREQ(copy.GetLastError(),
                 "CRaster::Create : width and height must be greater than zero");
}

// The quality plus a half, truncated to a whole number and that to a byte; values beyond any
// whole number keep the nearest one first.
TEST(Raster, JpegQualityIsTruncatedToAByte) {
    const struct {
        float quality;
        uint8_t want;
    } cases[] = {{90.0f, 90},  {89.5f, 90},   {89.4f, 89},
                 {0.0f, 0},    {255.4f, 255}, {255.5f, 0},
                 {300.0f, 44}, {1e30f, 255},  {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& c : cases) {
        CRaster img;
        img.SetJpegQuality(c.quality);
        EXPECT_EQ(img.GetJpegQuality(), c.want) << c.quality;
    }
}

TEST(Raster, Bitfield2RgbStretchesEveryMaskWidth) {
    struct Case {
        uint8_t bpp;
        uint32_t r, g, b, pixel;
        uint8_t red, green, blue;
    } const cases[] = {
        {16, 0x7C00, 0x03E0, 0x001F, 0x7FFF, 255, 255, 255},  // 5-5-5 white
        {16, 0x7C00, 0x03E0, 0x001F, 0x7C1F, 255, 0, 255},    // 5-5-5 magenta
        {16, 0x7C00, 0x03E0, 0x001F, 0x4210, 132, 132, 132},  // half way, rounded
        {16, 0xF800, 0x07E0, 0x001F, 0xF81F, 255, 0, 255},    // 5-6-5 magenta
        {16, 0xF800, 0x07E0, 0x001F, 0x07E0, 0, 255, 0},
        {16, 0x1F0000, 0x07E0, 0x001F, 0xFFFF, 0, 255, 255},  // masks above 16 bits drop out
        {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0x00030201, 1, 2, 3},
        {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0x3FFFFFFF, 255, 255, 255},  // 10 bits
        {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0x20000001, 128, 0, 0},
    };
    for (const Case& c : cases) {
        CRaster img(2, 1, 24, 0);
        // Pixel 1 carries the case; pixel 0 is 0 and must stay black.
        uint8_t src[8] = {};
        for (int i = 0; i < c.bpp / 8; ++i)
            src[c.bpp / 8 + i] = static_cast<uint8_t>(c.pixel >> (8 * i));
        img.Bitfield2RGB(src, c.r, c.g, c.b, c.bpp);
        const RGBQUAD px = img.GetPixelColor(1, 0);
        EXPECT_EQ(rgbText(px), rgbText(RGBQUAD{c.blue, c.green, c.red, 0})) << std::hex << c.pixel;
        EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "0,0,0");
    }
    CRaster indexed(2, 1, 8, 0);
    const uint8_t src[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    indexed.Bitfield2RGB(src, 0x7C00, 0x03E0, 0x001F, 16);  // only into 24-bit images
    EXPECT_EQ(indexed.GetPixelIndex(0, 0), 0);
    CRaster none(2, 1, 24, 0);
    none.Clear(7);
    none.Bitfield2RGB(nullptr, 0x7C00, 0x03E0, 0x001F, 16);  // no pixels: nothing happens
    EXPECT_EQ(rgbText(none.GetPixelColor(0, 0)), "7,7,7");
    // 16-bit rows of an even width end on 4 bytes without padding; a mask reaching above
    // the 16 bits keeps only its part inside them.
    CRaster two(2, 2, 24, 0);
    const uint8_t rows[8] = {0x00, 0xFC, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0xFF};
    two.Bitfield2RGB(rows, 0x1FC00, 0x03E0, 0x001F, 16);
    EXPECT_EQ(rgbText(two.GetPixelColor(0, 0)), "255,0,0");
    EXPECT_EQ(rgbText(two.GetPixelColor(1, 0)), "0,255,0");
    EXPECT_EQ(rgbText(two.GetPixelColor(0, 1)), "0,0,255");
    EXPECT_EQ(rgbText(two.GetPixelColor(1, 1)), "255,255,255");
}
