#include <gtest/gtest.h>

#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

BmpSpec indexed(int w, int h, int bpp) {
    BmpSpec s{.width = w, .height = h, .bpp = bpp};
    const int n = 1 << bpp;
    for (int i = 0; i < n; ++i) s.palette.push_back(colourAt(i, 0, 3));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.index.push_back(static_cast<uint8_t>((x * 3 + y * 5) % n));
    return s;
}

BmpSpec truecolour(int w, int h, int bpp) {
    BmpSpec s{.width = w, .height = h, .bpp = bpp};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.colour.push_back(colourAt(x, y));
    return s;
}

void expectIndexed(const CRaster& img, const BmpSpec& s) {
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    ASSERT_EQ(img.GetWidth(), static_cast<uint32_t>(s.width));
    ASSERT_EQ(img.GetHeight(), static_cast<uint32_t>(s.height));
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const int row = s.height - 1 - y;
            ASSERT_EQ(img.GetPixelIndex(x, row), s.index[static_cast<size_t>(y) * s.width + x])
                << x << "," << y;
            ASSERT_TRUE(sameRgb(img.GetPixelColor(x, row),
                                s.palette[s.index[static_cast<size_t>(y) * s.width + x]]));
        }
}

bool decode(CRaster& img, const Bytes& data, uint32_t id = RASTER_FORMAT_BMP) {
    return decodeAs(img, data, id);
}

}  // namespace

TEST(Bmp, IndexedDepthsRoundTrip) {
    for (int bpp : {1, 4, 8}) {
        for (bool header : {true, false}) {
            BmpSpec s = indexed(13, 5, bpp);
            s.fileHeader = header;
            CRaster img;
            ASSERT_TRUE(decode(img, makeBmp(s))) << bpp << img.GetLastError();
            EXPECT_EQ(img.GetBpp(), static_cast<uint32_t>(bpp));
            expectIndexed(img, s);
        }
    }
}

TEST(Bmp, TrueColourTopDownAndDpi) {
    for (int bpp : {16, 24, 32}) {
        BmpSpec s = truecolour(7, 4, bpp);
        s.topDown = true;
        s.ppmX = 3780;
        s.ppmY = 1000;
        CRaster img;
        ASSERT_TRUE(decode(img, makeBmp(s))) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), 24u);
        EXPECT_EQ(img.GetXDPI(), 96);
        EXPECT_EQ(img.GetYDPI(), 25);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) {
                const RGBQUAD want = bpp == 16 ? stretched555(colourAt(x, y)) : colourAt(x, y);
                ASSERT_TRUE(sameRgb(topPixel(img, x, y), want))
                    << bpp << ":" << x << "," << y << " " << rgbText(topPixel(img, x, y));
            }
    }
}

TEST(Bmp, ThirtyTwoBitAlpha) {
    BmpSpec s = truecolour(3, 2, 32);
    CRaster opaque;
    ASSERT_TRUE(decode(opaque, makeBmp(s)));
    ASSERT_TRUE(opaque.AlphaIsValid());
    EXPECT_EQ(opaque.AlphaGet(0, 0), 255);
    EXPECT_EQ(opaque.AlphaGet(2, 1), 255);
    s.alpha = {0, 10, 20, 30, 40, 50};
    CRaster alpha;
    ASSERT_TRUE(decode(alpha, makeBmp(s)));
    EXPECT_EQ(alpha.AlphaGet(1, 1), 10);  // top row, x = 1
    EXPECT_EQ(alpha.AlphaGet(2, 0), 50);
}

TEST(Bmp, CoreHeaderAndOversizedPalette) {
    BmpSpec s = indexed(6, 3, 8);
    s.core = true;
    CRaster img;
    ASSERT_TRUE(decode(img, makeBmp(s))) << img.GetLastError();
    expectIndexed(img, s);

    BmpSpec big = indexed(6, 3, 8);
    for (int i = 256; i < 300; ++i) big.palette.push_back(colourAt(i, 1));
    big.clrUsed = 300;
    CRaster img2;
    ASSERT_TRUE(decode(img2, makeBmp(big))) << img2.GetLastError();
    big.palette.resize(256);
    expectIndexed(img2, big);

    // A huge colour count without a file header skips by seeking and leaves a blank picture.
    BmpSpec huge = indexed(4, 2, 8);
    huge.fileHeader = false;
    huge.clrUsed = 0xFFFFFFF0u;
    CRaster img3;
    ASSERT_TRUE(decode(img3, makeBmp(huge)));
    EXPECT_EQ(img3.GetPixelIndex(1, 1), 0);
}

TEST(Bmp, Rle8RunsStayInsideTheImage) {
    BmpSpec s{.width = 4, .height = 2, .bpp = 8, .compression = 1};
    for (int i = 0; i < 256; ++i) s.palette.push_back(colourAt(i, 0));
    s.rawPixels = {6, 7,              // run crossing the row end: 4 written, rest dropped
                   0, 0,              // end of line
                   0, 3, 1, 2, 3, 0,  // absolute run of 3 with pad
                   0, 2, 0, 5,        // delta above the top row
                   2, 9,              // dropped
                   0, 1};
    CRaster img;
    ASSERT_TRUE(decode(img, makeBmp(s))) << img.GetLastError();
    for (int x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelIndex(x, 0), 7);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 1);
    EXPECT_EQ(img.GetPixelIndex(2, 1), 3);
    EXPECT_EQ(img.GetPixelIndex(3, 1), 0);
}

TEST(Bmp, Rle4Runs) {
    const struct {
        Bytes data;
        int want[8];
    } cases[] = {
        {{3, 0x12, 0, 3, 0x9A, 0xB0, 0}, {1, 2, 1, 9, 10, 11}},  // absolute 3, then a pad byte
        {{0, 6, 0x12, 0x34, 0x56, 0, 2, 0x77}, {1, 2, 3, 4, 5, 6, 7, 7}},  // a byte per two
        {{2, 0x00, 4, 0x12, 0, 1}, {0, 0, 1, 2, 1, 2}},  // a run of value 0 goes on
        {{0, 2, 2, 0, 2, 0x77, 0, 1}, {0, 0, 7, 7}},     // a delta two pixels on
        {{2, 0x12}, {1, 2}},                             // cut off: what came is kept
    };
    for (const auto& c : cases) {
        BmpSpec s{.width = 8, .height = 1, .bpp = 4, .compression = 2};
        for (int i = 0; i < 16; ++i) s.palette.push_back(colourAt(i, 0));
        s.rawPixels = c.data;
        CRaster img;
        ASSERT_TRUE(decode(img, makeBmp(s))) << img.GetLastError();
        for (int x = 0; x < 8; ++x) EXPECT_EQ(img.GetPixelIndex(x, 0), c.want[x]) << x;
    }
}

// A 4-bit run that passes the end of its row goes on at the start of the next one (the rows
// lie one after the other); what falls past the last row is dropped.
TEST(Bmp, Rle4RunsGoOnIntoTheNextRow) {
    BmpSpec s{.width = 4, .height = 2, .bpp = 4, .compression = 2};  // rows of 4 bytes
    for (int i = 0; i < 16; ++i) s.palette.push_back(colourAt(i, 0));
    s.rawPixels = {12, 0x12,         // 12 pixels from the start of the bottom row
                   0,  0,            // end of line: the top row, at its start
                   20, 0x34, 0, 1};  // 20 pixels: 8 to the row's end, the rest dropped
    CRaster img;
    ASSERT_TRUE(decode(img, makeBmp(s))) << img.GetLastError();
    // The bottom row's padding took pixels 4 to 7; pixels 8 to 11 are the top row's 0 to 3,
    // which the later run wrote over.
    for (int x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelIndex(x, 0), x % 2 ? 2 : 1) << x;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelIndex(x, 1), x % 2 ? 4 : 3) << x;
    EXPECT_EQ(img.GetBits(1)[3], 0x34);

    s.rawPixels = {12, 0x56, 0, 1};  // the same run alone: the top row's first two bytes
    CRaster once;
    ASSERT_TRUE(decode(once, makeBmp(s)));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(once.GetPixelIndex(x, 1), x % 2 ? 6 : 5) << x;
    EXPECT_EQ(once.GetBits(1)[1], 0x56);
    EXPECT_EQ(once.GetBits(1)[2], 0);
}

TEST(Bmp, ErrorsAndOddCases) {
    Bytes bad = makeBmp(indexed(2, 2, 8));
    bad[14] = 39;  // unknown header size
    Bytes cut = makeBmp(indexed(2, 2, 8));
    cut.resize(14 + 30);  // header cut short
    BmpSpec longer = indexed(2, 2, 8);
    longer.headerSize = 108;
    Bytes longCut = makeBmp(longer);
    longCut.resize(14 + 48);  // a longer header cut inside its masks
    BmpSpec rle24 = truecolour(2, 2, 24);
    rle24.compression = 1;
    BmpSpec c8 = indexed(2, 2, 8);
    c8.compression = 4;
    const std::pair<Bytes, const char*> failures[] = {
        {{}, "Not a BMP"},
        {bad, "Error reading BMP info"},
        {cut, "Error reading BMP info"},
        {longCut, "Error reading BMP info"},
        {makeBmp(rle24), "unknown compression"},
        {makeBmp(c8), "compression type not supported"},
    };
    for (const auto& [data, text] : failures) {
        CRaster img;
        EXPECT_FALSE(decode(img, data));
        EXPECT_STREQ(img.GetLastError(), text);
    }

    BmpSpec two = indexed(3, 3, 2);
    CRaster blank;
    ASSERT_TRUE(decode(blank, makeBmp(two)));
    EXPECT_EQ(blank.GetBpp(), 4u);
    EXPECT_EQ(blank.GetPixelIndex(1, 1), 0);

    // Short pixel data leaves zeros, not garbage.
    Bytes shortPx = makeBmp(truecolour(4, 4, 24));
    shortPx.resize(shortPx.size() - 20);
    CRaster part;
    ASSERT_TRUE(decode(part, shortPx));
    EXPECT_EQ(part.GetPixelColor(3, 3).rgbRed, 0);

    CRaster query;
    query.SetEscape(-1);
    ASSERT_TRUE(decode(query, makeBmp(indexed(21, 9, 8))));
    EXPECT_EQ(query.GetWidth(), 21u);
    EXPECT_EQ(query.GetHeight(), 9u);
    EXPECT_FALSE(query.IsValid());

    CRaster cancel;
    cancel.SetEscape(1);
    EXPECT_FALSE(decode(cancel, makeBmp(indexed(2, 2, 8))));
    EXPECT_STREQ(cancel.GetLastError(), "Cancelled");
}

// The longer headers that common editors write: accepted whatever their image size and colour
// count, the palette read after the whole header, the masks from inside it. The OS/2 header of
// 64 bytes likewise has its palette after it.
TEST(Bmp, LongerHeaders) {
    for (uint32_t size : {52u, 56u, 64u, 108u, 124u}) {
        for (bool header : {true, false}) {
            BmpSpec two = indexed(5, 3, 8);
            for (auto& i : two.index) i &= 1;
            two.palette.resize(2);
            two.clrUsed = 2;
            BmpSpec rle8{.width = 4,
                         .height = 2,
                         .bpp = 8,
                         .compression = 1,
                         .palette = {colourAt(0, 5), colourAt(1, 5), colourAt(2, 5)}};
            rle8.clrUsed = 3;
            rle8.index = {2, 2, 2, 2, 1, 1, 1, 1};  // top row first
            rle8.rawPixels = {4, 1, 0, 0, 4, 2, 0, 1};
            BmpSpec rle4 = rle8;
            rle4.bpp = 4;
            rle4.compression = 2;
            rle4.rawPixels = {4, 0x11, 0, 0, 4, 0x22, 0, 1};
            BmpSpec zero = truecolour(3, 2, 24);
            zero.zeroImageSize = true;
            for (BmpSpec* s : {&two, &rle8, &rle4, &zero}) {
                s->headerSize = size;
                s->fileHeader = header;
                CRaster img;
                ASSERT_TRUE(decode(img, makeBmp(*s))) << size << " " << img.GetLastError();
                if (s->bpp == 24) {
                    for (int y = 0; y < 2; ++y)
                        for (int x = 0; x < 3; ++x)
                            ASSERT_TRUE(sameRgb(topPixel(img, x, y), colourAt(x, y))) << size;
                } else {
                    expectIndexed(img, *s);
                }
            }
        }
    }
    BmpSpec planes = indexed(2, 2, 8);
    planes.headerSize = 108;
    Bytes twoPlanes = makeBmp(planes);
    twoPlanes[14 + 12] = 2;
    CRaster img;
    EXPECT_FALSE(decode(img, twoPlanes));
    EXPECT_STREQ(img.GetLastError(), "Error reading BMP info");
}

// Bit fields: masks after a 40-byte header or inside a longer one; channels stretched to
// 0..255, so 16-bit white and magenta are the very colours a key colour names.
TEST(Bmp, BitFieldsAndAlphaMask) {
    struct Case {
        uint32_t header, bpp, r, g, b, a, pixel;
        uint8_t red, green, blue;
        int alpha;  // -1: no alpha plane
    } const cases[] = {
        {40, 16, 0, 0, 0, 0, 0x7FFF, 255, 255, 255, -1},  // 5-5-5 without masks
        {40, 16, 0, 0, 0, 0, 0x7C1F, 255, 0, 255, -1},
        {40, 16, 0xF800, 0x07E0, 0x001F, 0, 0xF81F, 255, 0, 255, -1},  // 5-6-5
        {52, 16, 0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 255, 255, 255, -1},
        {108, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x80102030, 0x10, 0x20, 0x30, 0x80},
        {124, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x00102030, 0x10, 0x20, 0x30, 255},
        {56, 32, 0xFF, 0xFF00, 0xFF0000, 0x0F000000, 0x05102030, 0x30, 0x20, 0x10, 85},
        {52, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x80102030, 0x10, 0x20, 0x30, -1},  // no alpha mask
        {40, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x80102030, 0x10, 0x20, 0x30, -1},
    };
    for (const Case& c : cases) {
        for (bool header : {true, false}) {
            BmpSpec s{
                .width = 2, .height = 1, .bpp = static_cast<int>(c.bpp), .headerSize = c.header};
            s.fileHeader = header;
            s.compression = c.r ? 3 : 0;
            s.masks[0] = c.r;
            s.masks[1] = c.g;
            s.masks[2] = c.b;
            s.masks[3] = c.a;
            Out px;  // pixel 0 is 0, pixel 1 the case
            for (uint32_t v : {0u, c.pixel}) c.bpp == 16 ? px.u16(v) : px.u32(v);
            if (c.bpp == 16) px.u32(0);  // rows end on 4 bytes
            s.rawPixels = px.b;
            CRaster img;
            ASSERT_TRUE(decode(img, makeBmp(s))) << c.header << " " << img.GetLastError();
            const RGBQUAD got = img.GetPixelColor(1, 0);
            EXPECT_EQ(rgbText(got), rgbText(RGBQUAD{c.blue, c.green, c.red, 0}))
                << c.header << " " << std::hex << c.pixel;
            EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "0,0,0");
            EXPECT_EQ(img.AlphaIsValid() ? img.AlphaGet(1, 0) : -1, c.alpha) << c.header;
        }
    }
}

// Sizes that no picture can have are refused by the picture's creation, with its words, in a
// decode and in a size query alike; the query never reports such a size as an answer.
TEST(Bmp, SizesNoPictureCanHaveGetTheCreationsText) {
    const char* zero = "CRaster::Create : width and height must be greater than zero";
    const char* memory = "RASTER_MAX_MEMORY exceeded";
    const struct {
        int32_t width, height;
        const char* text;
    } cases[] = {
        {0, 2, zero},     {2, 0, zero},           {0, -2, zero},          {-1, 2, memory},
        {-2, -2, memory}, {INT32_MIN, 2, memory}, {2, INT32_MIN, memory},
    };
    for (const auto& c : cases) {
        Bytes data = makeBmp(indexed(2, 2, 8));
        for (int i = 0; i < 4; ++i) {
            data[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(c.width) >> (8 * i));
            data[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(c.height) >> (8 * i));
        }
        for (int32_t escape : {0, -1}) {
            CRaster img;
            img.SetEscape(escape);
            EXPECT_FALSE(decode(img, data)) << c.width << "x" << c.height << " " << escape;
            EXPECT_STREQ(img.GetLastError(), c.text) << c.width << "x" << c.height << " " << escape;
            EXPECT_EQ(img.GetWidth(), 0u);
        }
    }
    // Each side of the bound: one pixel wide, a top-down one of one row.
    Bytes narrow = makeBmp(indexed(1, 1, 8));
    for (int i = 0; i < 4; ++i) narrow[22 + i] = 0xFF;  // height -1
    CRaster query;
    query.SetEscape(-1);
    ASSERT_TRUE(decode(query, narrow));
    EXPECT_EQ(query.GetWidth(), 1u);
    EXPECT_EQ(query.GetHeight(), 1u);
}

// Only an answered size query succeeds: a query on data that is no bitmap fails, also for an
// image that already carries the bitmap's format id (it is copied into the decoder), and
// reports no size.
TEST(Bmp, FailedSizeQueryIsNoSuccess) {
    Bytes notBmp = {'B', 'M', 1, 2};
    Bytes badHeader = makeBmp(indexed(2, 2, 8));
    badHeader[14] = 39;
    for (const Bytes& data : {Bytes{}, notBmp, badHeader}) {
        CRaster img(RASTER_FORMAT_BMP);
        img.SetEscape(-1);
        EXPECT_FALSE(decode(img, data)) << data.size();
        EXPECT_EQ(img.GetWidth(), 0u) << data.size();  // and no size is reported
    }
}
