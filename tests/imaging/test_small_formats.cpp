// TGA, WBMP and ICO pictures from small writers of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "codec_writers.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

Bytes tgaHeader(int type, int w, int h, int depth, int descriptor, int cmapType = 0,
                int cmapFirst = 0, int cmapLength = 0, int cmapSize = 0, int idLength = 0) {
    Out o;
    o.u8(static_cast<uint32_t>(idLength));
    o.u8(static_cast<uint32_t>(cmapType));
    o.u8(static_cast<uint32_t>(type));
    o.u16(static_cast<uint32_t>(cmapFirst));
    o.u16(static_cast<uint32_t>(cmapLength));
    o.u8(static_cast<uint32_t>(cmapSize));
    o.u16(0);
    o.u16(0);
    o.u16(static_cast<uint32_t>(w));
    o.u16(static_cast<uint32_t>(h));
    o.u8(static_cast<uint32_t>(depth));
    o.u8(static_cast<uint32_t>(descriptor));
    for (int i = 0; i < idLength; ++i) o.u8(0xEE);
    return o.b;
}

}  // namespace

TEST(Tga, RawTrueColourOrientations) {
    const int w = 5, h = 3;
    for (int desc : {0x00, 0x20, 0x10, 0x30}) {
        for (int depth : {24, 32, 16}) {
            Out o;
            o.raw(tgaHeader(2, w, h, depth, desc | (depth == 32 ? 8 : 0), 0, 0, 0, 0, 3));
            // File pixel (fx, fy) in storage order.
            for (int fy = 0; fy < h; ++fy)
                for (int fx = 0; fx < w; ++fx) {
                    const RGBQUAD c = colourAt(fx, fy);
                    if (depth == 16) {
                        o.u16(pack555(c));
                    } else {
                        o.u8(c.rgbBlue);
                        o.u8(c.rgbGreen);
                        o.u8(c.rgbRed);
                        if (depth == 32) o.u8(static_cast<uint32_t>(fx * 10 + fy));
                    }
                }
            CRaster img;
            ASSERT_TRUE(decodeAs(img, o.b, RASTER_FORMAT_TGA)) << img.GetLastError();
            ASSERT_EQ(img.GetBpp(), 24u);
            EXPECT_EQ(img.AlphaIsValid(), depth == 32);
            for (int fy = 0; fy < h; ++fy)
                for (int fx = 0; fx < w; ++fx) {
                    const int x = (desc & 0x10) ? w - 1 - fx : fx;
                    const int y = (desc & 0x20) ? h - 1 - fy : fy;  // bottom-up row
                    const RGBQUAD want =
                        depth == 16 ? stretched555(colourAt(fx, fy)) : colourAt(fx, fy);
                    ASSERT_TRUE(sameRgb(img.GetPixelColor(x, y), want))
                        << desc << " " << depth << " " << fx << "," << fy;
                    if (depth == 32) {
                        ASSERT_EQ(img.AlphaGet(x, y), fx * 10 + fy) << desc;
                    }
                }
        }
    }
}

TEST(Tga, RunLengthPacketsCrossRows) {
    // 8-bit grey, 6 wide, 2 rows: a raw packet of 2, a repeat packet of 8 from x = 2 into the
    // next row, then a raw packet of 2.
    Bytes data = tgaHeader(11, 6, 2, 8, 0);
    data.insert(data.end(), {1, 10, 11, 0x80 | 7, 77, 1, 5, 6});
    CRaster img;
    ASSERT_TRUE(decodeAs(img, data, RASTER_FORMAT_TGA)) << img.GetLastError();
    const int row0[6] = {10, 11, 77, 77, 77, 77}, row1[6] = {77, 77, 77, 77, 5, 6};
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(img.GetPixelIndex(x, 0), row0[x]) << x;
        EXPECT_EQ(img.GetPixelIndex(x, 1), row1[x]) << x;
    }
    EXPECT_TRUE(img.IsGrayScale());

    // A raw packet crossing the row end continues on the next row; 24-bit repeat packet.
    Out r;
    r.raw(tgaHeader(10, 2, 2, 24, 0));
    r.u8(2);  // raw 3 pixels
    for (int i = 0; i < 3; ++i) {
        r.u8(static_cast<uint32_t>(i));
        r.u8(static_cast<uint32_t>(i + 10));
        r.u8(static_cast<uint32_t>(i + 20));
    }
    r.u8(0x80);  // repeat 1
    r.u8(9);
    r.u8(9);
    r.u8(9);
    CRaster rgb;
    ASSERT_TRUE(decodeAs(rgb, r.b, RASTER_FORMAT_TGA)) << rgb.GetLastError();
    EXPECT_EQ(rgb.GetPixelColor(1, 0).rgbRed, 21);
    EXPECT_EQ(rgb.GetPixelColor(0, 1).rgbBlue, 2);
    EXPECT_EQ(rgb.GetPixelColor(1, 1).rgbGreen, 9);
}

TEST(Tga, ColourMapsAtTheirRealSize) {
    for (int entryBits : {16, 24, 32}) {
        Out o;
        o.raw(tgaHeader(1, 3, 1, 8, 0, 1, 4, 3, entryBits));
        for (int i = 0; i < 3; ++i) {
            const RGBQUAD c = colourAt(i, 7);
            if (entryBits == 16) {
                o.u16(pack555(c));
            } else {
                o.u8(c.rgbBlue);
                o.u8(c.rgbGreen);
                o.u8(c.rgbRed);
                if (entryBits == 32) o.u8(255);
            }
        }
        o.u8(4);
        o.u8(5);
        o.u8(6);
        CRaster img;
        ASSERT_TRUE(decodeAs(img, o.b, RASTER_FORMAT_TGA)) << img.GetLastError();
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(img.GetPixelIndex(x, 0), 4 + x);
            const RGBQUAD want = entryBits == 16 ? stretched555(colourAt(x, 7)) : colourAt(x, 7);
            EXPECT_TRUE(sameRgb(img.GetPixelColor(x, 0), want))
                << entryBits << " " << rgbText(img.GetPixelColor(x, 0));
        }
    }
    // 16-bit white and magenta come out as the full 8-bit colours, key colour included.
    Out w;
    w.raw(tgaHeader(2, 2, 1, 16, 0));
    w.u16(0x7FFF);
    w.u16(0x7C1F);
    CRaster img;
    ASSERT_TRUE(decodeAs(img, w.b, RASTER_FORMAT_TGA));
    EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "255,255,255");
    EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "255,0,255");
}

// The engine keys pictures by the exact colour 0xFF00FF: 16-bit magenta comes out as that
// key, white as white, raw and run-length coded alike.
TEST(Tga, SixteenBitMagentaIsTheEnginesKeyColour) {
    for (int type : {2, 10}) {
        Out o;
        o.raw(tgaHeader(type, 2, 1, 16, 0));
        if (type == 10) o.u8(0x01);  // a raw packet of two
        o.u16(0x7C1F);
        o.u16(0x7FFF);
        CRaster img;
        ASSERT_TRUE(decodeAs(img, o.b, RASTER_FORMAT_TGA)) << type << img.GetLastError();
        EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "255,0,255") << type;
        EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "255,255,255") << type;
    }
}

// The run-length line on its own: a repeat packet that passes the row's end hands the rest of
// its run to the next row as the leftover header, and a file that ends leaves none (255).
TEST(Tga, CompressedLineCarriesItsLeftoverAndEndsWithNone) {
    CRasterTGA t;
    CRasterTGA::Header h{};
    h.depth = 8;
    uint8_t data[] = {0x80 + 5, 7};  // a run of six 7s
    CRasterMemFile f(data, sizeof data);
    uint8_t rows[2][5] = {};
    EXPECT_EQ(t.ExpandCompressedLine(rows[0], h, &f, 4, 0, 255), 128 + 1);
    EXPECT_EQ(t.ExpandCompressedLine(rows[1], h, &f, 4, 1, 128 + 1), 255);
    EXPECT_EQ(Bytes(rows[0], rows[0] + 5), (Bytes{7, 7, 7, 7, 0}));
    EXPECT_EQ(Bytes(rows[1], rows[1] + 5), (Bytes{7, 7, 0, 0, 0}));
}

// A raw line of 32-bit pixels that the file cuts off inside a pixel keeps that pixel as it was.
TEST(Tga, UncompressedLineLeavesAPixelCutShort) {
    CRasterTGA t;
    CRasterTGA::Header h{};
    h.depth = 32;
    uint8_t data[] = {1, 2, 3, 4, 5, 6};  // one pixel and two bytes of the next
    CRasterMemFile f(data, sizeof data);
    uint8_t row[6];
    std::fill(std::begin(row), std::end(row), 0xEE);
    t.ExpandUncompressedLine(row, h, &f, 2, 0, 0);
    EXPECT_EQ(Bytes(row, row + 6), (Bytes{1, 2, 3, 0xEE, 0xEE, 0xEE}));
}

TEST(Tga, Errors) {
    const std::pair<Bytes, const char*> failures[] = {
        {{}, "Not a TGA"},
        {{1, 2}, "Unknown TGA image type"},  // a header cut short: its type is 0
        {tgaHeader(4, 1, 1, 8, 0), "Unknown TGA image type"},
        {tgaHeader(1, 1, 1, 8, 0, 1, 0, 257, 24), "bad TGA header"},
        {tgaHeader(2, 1, 1, 12, 0), "bad TGA header"},
        {tgaHeader(2, 0, 1, 24, 0), "bad TGA header"},
        {tgaHeader(2, 4, 4, 24, 0), "corrupted TGA"},
    };
    for (const auto& [data, text] : failures) {
        CRaster img;
        EXPECT_FALSE(decodeAs(img, data, RASTER_FORMAT_TGA));
        EXPECT_STREQ(img.GetLastError(), text);
    }
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, tgaHeader(2, 300, 200, 24, 0), RASTER_FORMAT_TGA));
    EXPECT_EQ(q.GetWidth(), 300u);
}

// "Not a TGA" is for a file of which nothing is read; a header of 1 to 17 bytes is taken
// with zeros where it ends and refused (or not) by its fields.
TEST(Tga, HeaderCutShortIsJudgedByItsFields) {
    const Bytes full = tgaHeader(2, 3, 2, 24, 0);
    ASSERT_EQ(full.size(), 18u);
    for (size_t n = 1; n < 18; ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        // The type arrives with the third byte; the depth, the last field checked, with the
        // seventeenth.
        const char* want = n < 3    ? "Unknown TGA image type"
                           : n < 17 ? "bad TGA header"
                                    : "corrupted TGA";
        CRaster img;
        EXPECT_FALSE(decodeAs(img, cut, RASTER_FORMAT_TGA)) << n;
        EXPECT_STREQ(img.GetLastError(), want) << n;
    }
    // Seventeen bytes hold everything a size query needs.
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, Bytes(full.begin(), full.end() - 1), RASTER_FORMAT_TGA));
    EXPECT_EQ(q.GetWidth(), 3u);
    EXPECT_EQ(q.GetHeight(), 2u);
}

namespace {
void octet(Out& o, uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n-- > 0) o.u8(groups[n] | (n ? 0x80u : 0u));
}

Bytes wbmp(std::initializer_list<uint32_t> ints, const Bytes& rows = {}) {
    Out o;
    for (uint32_t v : ints) octet(o, v);
    o.raw(rows);
    return o.b;
}
}  // namespace

TEST(Wbmp, RowsAndErrors) {
    CRaster img;
    ASSERT_TRUE(decodeAs(img, wbmp({0, 0, 9, 2}, {0xA5, 0x80, 0x01, 0x00}), RASTER_FORMAT_WBMP))
        << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 1u);
    EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 255);
    const int top[9] = {1, 0, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(img.GetPixelIndex(x, 1), top[x]) << x;
    EXPECT_EQ(img.GetPixelIndex(7, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(8, 0), 0);
    EXPECT_EQ(wbmp({200}), (Bytes{0x81, 0x48}));

    const std::pair<Bytes, const char*> bad[] = {
        {wbmp({1, 0, 1, 1}, {0}), "Unsupported WBMP type"},
        {wbmp({0, 0, 4, 0}, {0}), "Corrupted WBMP"},
        {{0, 0, 0x81}, "Not a WBMP"},
    };
    for (const auto& [data, text] : bad) {
        EXPECT_FALSE(decodeAs(img, data, RASTER_FORMAT_WBMP));
        EXPECT_STREQ(img.GetLastError(), text);
    }
    CRaster dims;
    dims.SetEscape(-1);
    ASSERT_TRUE(decodeAs(dims, wbmp({0, 0, 640, 480}), RASTER_FORMAT_WBMP));
    EXPECT_EQ(dims.GetWidth(), 640u);
    EXPECT_EQ(dims.GetHeight(), 480u);
}

// Data that ends right after its header holds no picture, from memory and from a disk file
// alike, by its id and when every decoder is tried; one byte of rows is a picture (the rows
// it lacks stay as created), and a dimension query needs the header alone.
TEST(Wbmp, DataThatEndsWithItsHeaderIsNotAPicture) {
    const Bytes header = wbmp({0, 0, 8, 2});
    CRaster img;
    EXPECT_FALSE(decodeAs(img, header, RASTER_FORMAT_WBMP));
    EXPECT_STREQ(img.GetLastError(), "Not a WBMP");
    EXPECT_FALSE(img.IsValid());
    EXPECT_FALSE(decodeAs(img, header, 0));
    EXPECT_STREQ(img.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(decodeAs(img, wbmp({1, 0, 8, 2}), RASTER_FORMAT_WBMP));
    EXPECT_STREQ(img.GetLastError(), "Not a WBMP");  // the end is found before the type

    FILE* tmp = std::tmpfile();
    ASSERT_NE(tmp, nullptr);
    ASSERT_EQ(std::fwrite(header.data(), 1, header.size(), tmp), header.size());
    for (const bool withRow : {false, true}) {
        if (withRow) {
            ASSERT_EQ(std::fputc(0xF0, tmp), 0xF0);
        }
        std::rewind(tmp);
        CRasterIOFile file(tmp);
        CRaster fromDisk;
        EXPECT_EQ(fromDisk.Decode(&file, RASTER_FORMAT_WBMP), withRow) << withRow;
        if (withRow) {
            EXPECT_EQ(fromDisk.GetPixelIndex(3, 1), 1);  // the first row is the top one
            EXPECT_EQ(fromDisk.GetPixelIndex(4, 1), 0);
        }
    }
    std::fclose(tmp);

    for (const uint32_t id : {uint32_t(RASTER_FORMAT_WBMP), 0u}) {
        CRaster dims;
        dims.SetEscape(-1);
        ASSERT_TRUE(decodeAs(dims, header, id)) << id;
        EXPECT_EQ(dims.GetWidth(), 8u);
        EXPECT_EQ(dims.GetHeight(), 2u);
    }
}

// ---- icons ----

namespace {

struct IcoImage {
    Bytes data;
    uint8_t w, h;
};

// A bitmap entry: info header (doubled height), palette, XOR pixels, AND mask. Pixels and
// mask bits are given top row first.
IcoImage bitmapEntry(int w, int h, int bpp, const std::vector<RGBQUAD>& palette,
                     const std::vector<uint8_t>& index, const std::vector<RGBQUAD>& colour,
                     const std::vector<uint8_t>& alpha, const std::vector<uint8_t>& maskBits) {
    BmpSpec s{.width = w, .height = h, .bpp = bpp, .fileHeader = false, .zeroImageSize = true};
    s.ppmX = s.ppmY = 0;
    s.clrUsed = static_cast<uint32_t>(palette.size());
    s.palette = palette;
    s.index = index;
    s.colour = colour;
    s.alpha = alpha;
    Out o;
    o.raw(makeBmp(s));
    o.b[8] = static_cast<uint8_t>(2 * h);  // the height counts the mask too
    const int maskStride = ((w + 31) / 32) * 4;
    for (int r = h - 1; r >= 0; --r) {
        Bytes row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < w; ++x)
            if (maskBits[static_cast<size_t>(r) * w + x])
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        o.raw(row);
    }
    return {o.b, static_cast<uint8_t>(w), static_cast<uint8_t>(h)};
}

Bytes makeIco(const std::vector<IcoImage>& images, int type = 1) {
    Out o;
    o.u16(0);
    o.u16(static_cast<uint32_t>(type));
    o.u16(static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& im : images) {
        o.u8(im.w);
        o.u8(im.h);
        o.u8(0);
        o.u8(0);
        o.u16(1);
        o.u16(32);
        o.u32(static_cast<uint32_t>(im.data.size()));
        o.u32(offset);
        offset += static_cast<uint32_t>(im.data.size());
    }
    for (const auto& im : images) o.raw(im.data);
    return o.b;
}

IcoImage fourBit(int size, bool withMask) {
    std::vector<RGBQUAD> pal;
    for (int i = 0; i < 16; ++i) pal.push_back(colourAt(i, 2));
    std::vector<uint8_t> index, mask;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            index.push_back(static_cast<uint8_t>((x + y) % 5));
            mask.push_back(withMask && x == 0 ? 1 : 0);
        }
    return bitmapEntry(size, size, 4, pal, index, {}, {}, mask);
}

}  // namespace

TEST(Ico, EntriesFramesAndMasks) {
    const Bytes ico = makeIco({fourBit(16, true), fourBit(32, false), fourBit(48, true)});
    CRaster img;
    ASSERT_TRUE(decodeAs(img, ico, RASTER_FORMAT_ICO));
    EXPECT_EQ(img.GetWidth(), 16u);
    EXPECT_EQ(img.GetHeight(), 16u);
    EXPECT_EQ(img.GetNumFrames(), 3);
    EXPECT_EQ(img.GetType(), static_cast<uint32_t>(RASTER_FORMAT_ICO));
    // The masked column gets the highest unused index, which becomes transparent.
    EXPECT_EQ(img.GetTransIndex(), 15);
    for (int y : {0, 3, 15}) EXPECT_EQ(img.GetPixelIndex(0, y), 15) << y;
    EXPECT_EQ(img.GetPixelIndex(2, 15), 2);
    EXPECT_FALSE(img.AlphaIsValid());

    CRaster third;
    third.SetFrame(2);
    ASSERT_TRUE(decodeAs(third, ico, RASTER_FORMAT_ICO));
    EXPECT_EQ(third.GetWidth(), 48u);
    CRaster second;
    second.SetFrame(1);
    ASSERT_TRUE(decodeAs(second, ico, RASTER_FORMAT_ICO));
    EXPECT_FALSE(second.IsTransparent());
    CRaster none;
    none.SetFrame(3);
    EXPECT_FALSE(decodeAs(none, ico, RASTER_FORMAT_ICO));
    EXPECT_EQ(none.GetNumFrames(), 3);
    for (int frame : {-1, 3}) {
        CRaster noneQuery;
        noneQuery.SetEscape(-1);
        noneQuery.SetFrame(frame);
        EXPECT_FALSE(decodeAs(noneQuery, ico, RASTER_FORMAT_ICO)) << frame;
        EXPECT_EQ(noneQuery.GetWidth(), 0u);
    }

    // A cursor decodes like an icon.
    CRaster cur;
    ASSERT_TRUE(decodeAs(cur, makeIco({fourBit(16, true)}, 2), RASTER_FORMAT_ICO));
    EXPECT_EQ(cur.GetWidth(), 16u);
    Bytes bad = makeIco({fourBit(16, true)}, 3);
    EXPECT_FALSE(decodeAs(cur, bad, RASTER_FORMAT_ICO));
    // A head cut short is no icon: its count is not taken for frames.
    CRaster cut;
    EXPECT_FALSE(decodeAs(cut, Bytes{0, 0, 1, 0, 3}, RASTER_FORMAT_ICO));
    EXPECT_EQ(cut.GetNumFrames(), 0);
}

// The frames an icon counts are the 16-byte entries its file holds after the head, however
// many the head declares: an importer sets aside and clears a frame for each.
TEST(Ico, FramesAreTheEntriesTheFileHolds) {
    Bytes whole = makeIco({fourBit(16, true)});
    whole[4] = whole[5] = 0xFF;  // 65,535 entries declared, one written
    Bytes cut(whole.begin(), whole.begin() + 6 + 16 * 2 + 15);
    struct Row {
        const char* name;
        const Bytes* file;
        int escape;
        int frames;
    } rows[] = {
        {"declared past the file", &whole, 0, int(whole.size() - 6) / 16},
        {"two whole entries and a part", &cut, -1, 2},
    };
    for (const Row& r : rows) {
        CRaster img;
        img.SetEscape(r.escape);
        ASSERT_TRUE(decodeAs(img, *r.file, RASTER_FORMAT_ICO)) << r.name;
        EXPECT_EQ(img.GetWidth(), 16u) << r.name;
        EXPECT_EQ(img.GetNumFrames(), r.frames) << r.name;
    }
    Bytes three = makeIco({fourBit(16, true), fourBit(32, false), fourBit(48, true)});
    three[4] = 2;  // a count below the entries written counts no more than itself
    CRaster img;
    ASSERT_TRUE(decodeAs(img, three, RASTER_FORMAT_ICO));
    EXPECT_EQ(img.GetNumFrames(), 2);
}

// An entry's size byte of 0 (256 or more) takes the size from the entry's info header, whose
// height counts the mask rows too; a header with no size of its own then makes no picture.
TEST(Ico, ASizeByteOfZeroTakesTheInfoHeadersSize) {
    constexpr size_t kEntry = 6, kInfo = 6 + 16;
    auto put32 = [](Bytes& b, size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(uint32_t(v) >> (8 * i));
    };
    struct Row {
        const char* name;
        size_t sizeByte;  // 0: width, 1: height
        int32_t header;   // the info header's width or height
        bool decodes;
    } rows[] = {
        {"width from the header", 0, 16, true},
        {"height from the header, half its rows", 1, 32, true},
        {"width 0 in the header", 0, 0, false},
        {"height 0 in the header", 1, 0, false},
        {"height below 0 in the header", 1, -32, false},
    };
    for (const Row& r : rows) {
        Bytes ico = makeIco({fourBit(16, true)});
        ico[kEntry + r.sizeByte] = 0;
        put32(ico, kInfo + 4 + 4 * r.sizeByte, r.header);
        CRaster img;
        EXPECT_EQ(decodeAs(img, ico, RASTER_FORMAT_ICO), r.decodes) << r.name;
        if (r.decodes) {
            EXPECT_EQ(img.GetWidth(), 16u) << r.name;
            EXPECT_EQ(img.GetHeight(), 16u) << r.name;
        }
    }
}

// A 32-bit entry keeps alpha of its own and has alpha 0 where its mask is set besides; one
// whose alpha is 0 everywhere takes its transparency from the mask, as the other depths do.
TEST(Ico, ThirtyTwoBitAlphaAndAllMask) {
    const int n = 4;
    std::vector<RGBQUAD> colour;
    for (int i = 0; i < n * n; ++i) colour.push_back(colourAt(i, 1));
    struct Case {
        int alphaBase;               // alpha of pixel i: base + i, or 0 everywhere for 0
        std::vector<int> masked;     // pixel numbers, top row first
        std::vector<int> wantAlpha;  // per masked pixel; empty: no alpha plane of the mask's
        bool key;                    // the masked colour became the transparent colour
    } const cases[] = {
        {123, {5}, {0}, false},  // own alpha: 0 where masked, the rest as the file has it
        {120, {0, 1, 2, 3}, {0, 0, 0, 0}, false},
        {50, {}, {}, false},         // own alpha, nothing masked: the alpha as it stands
        {0, {5, 6}, {0, 0}, false},  // two colours masked: alpha 0 there, 255 elsewhere
        {0, {5}, {}, true},          // one colour masked: a colour key, no plane
        {0, {}, {}, false},          // nothing masked: opaque, no plane
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> alpha, mask(n * n, 0);
        for (int i = 0; i < n * n; ++i)
            alpha.push_back(static_cast<uint8_t>(c.alphaBase ? c.alphaBase + i : 0));
        for (int m : c.masked) mask[static_cast<size_t>(m)] = 1;
        CRaster img;
        ASSERT_TRUE(decodeAs(img, makeIco({bitmapEntry(n, n, 32, {}, {}, colour, alpha, mask)}),
                             RASTER_FORMAT_ICO));
        EXPECT_EQ(img.AlphaIsValid(), !c.wantAlpha.empty() || c.alphaBase) << c.alphaBase;
        EXPECT_EQ(img.IsTransparent(), c.key);
        for (int i = 0; i < n * n; ++i) {
            const int x = i % n, y = n - 1 - i / n;
            ASSERT_TRUE(sameRgb(img.GetPixelColor(x, y), colour[static_cast<size_t>(i)])) << i;
            if (!img.AlphaIsValid()) continue;
            int want = c.alphaBase ? c.alphaBase + i : 255;
            for (size_t k = 0; k < c.masked.size(); ++k)
                if (c.masked[k] == i) want = c.wantAlpha[k];
            ASSERT_EQ(img.AlphaGet(x, y), want) << c.alphaBase << " pixel " << i;
        }
        if (c.key) {
            EXPECT_TRUE(sameRgb(img.GetTransColor(), colour[5]));
        }
    }
    // Every mask bit set over alpha of its own (a whole 32-pixel mask row, no padding bits):
    // inverted colours and transparent index 0, as at every depth; the alpha stays the file's.
    std::vector<RGBQUAD> wide(32 * 2, colourAt(3, 3));
    std::vector<uint8_t> own(32 * 2, 200), allSet(32 * 2, 1);
    CRaster inverted32;
    ASSERT_TRUE(decodeAs(inverted32, makeIco({bitmapEntry(32, 2, 32, {}, {}, wide, own, allSet)}),
                         RASTER_FORMAT_ICO));
    EXPECT_EQ(inverted32.GetPixelColor(0, 1).rgbRed, 255 - wide[0].rgbRed);
    EXPECT_EQ(inverted32.GetPixelColor(0, 1).rgbBlue, 255 - wide[0].rgbBlue);
    EXPECT_EQ(inverted32.GetTransIndex(), 0);
    EXPECT_EQ(inverted32.AlphaGet(0, 0), 200);

    // Every mask bit set: transparent index 0 and inverted colours.
    std::vector<RGBQUAD> pal = {colourAt(1, 1), colourAt(2, 2)};
    std::vector<uint8_t> idx(32 * 2, 1), all(32 * 2, 1);
    CRaster inv;
    ASSERT_TRUE(
        decodeAs(inv, makeIco({bitmapEntry(32, 2, 8, pal, idx, {}, {}, all)}), RASTER_FORMAT_ICO));
    EXPECT_EQ(inv.GetTransIndex(), 0);
    EXPECT_EQ(inv.GetPixelColor(0, 0).rgbRed, 255 - pal[1].rgbRed);
}

// The info header's colour count says how many table entries stand before the pixels, at
// every depth: a true-colour entry may carry a table as well, which is read over, and the
// pixels and the mask are found after it.
TEST(Ico, ColourTableBeforeThePixelsAtEveryDepth) {
    const int w = 5, h = 3;
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        const int colours = bpp == 1 ? 2 : bpp == 4 ? 9 : bpp == 8 ? 7 : 6;
        std::vector<RGBQUAD> table, colour;
        for (int i = 0; i < colours; ++i) table.push_back(colourAt(i, bpp));
        std::vector<uint8_t> index, mask(w * h, 0);
        for (int i = 0; i < w * h; ++i) {
            index.push_back(static_cast<uint8_t>(i % colours));
            colour.push_back(colourAt(i, 9));
        }
        const int masked = 7;  // top row first
        mask[masked] = 1;
        CRaster img;
        ASSERT_TRUE(decodeAs(img, makeIco({bitmapEntry(w, h, bpp, table, index, colour, {}, mask)}),
                             RASTER_FORMAT_ICO))
            << bpp;
        ASSERT_EQ(img.GetWidth(), static_cast<uint32_t>(w));
        for (int i = 0; i < w * h; ++i) {
            if (i == masked) continue;
            RGBQUAD want = bpp <= 8 ? table[index[static_cast<size_t>(i)]] : colour[i];
            if (bpp == 16) want = stretched555(want);
            ASSERT_EQ(rgbText(topPixel(img, i % w, i / w)), rgbText(want)) << bpp << " " << i;
        }
        // The mask follows the pixels: its one pixel is the transparent one.
        ASSERT_TRUE(img.IsTransparent()) << bpp;
        EXPECT_EQ(rgbText(topPixel(img, masked % w, masked / w)), rgbText(img.GetTransColor()))
            << bpp;
    }
}

// The masked pixels take the highest palette index no pixel uses, index 0 as well when it
// is the only one left.
TEST(Ico, MaskTakesIndexZeroWhenOnlyItIsUnused) {
    const int w = 4, h = 2;
    const std::vector<RGBQUAD> table{colourAt(0, 1), colourAt(1, 1)};
    std::vector<uint8_t> index(w * h, 1), mask(w * h, 0);
    mask[0] = mask[w] = 1;  // the first column
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeIco({bitmapEntry(w, h, 1, table, index, {}, {}, mask)}),
                         RASTER_FORMAT_ICO));
    EXPECT_EQ(img.GetTransIndex(), 0);
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(img.GetPixelIndex(0, y), 0) << y;
        EXPECT_EQ(img.GetPixelIndex(1, y), 1) << y;
    }
}

// A mask wider than one 32-bit word: every bit lands on its own pixel, in both rows.
TEST(Ico, MaskBitsAcrossTheRow) {
    const int w = 34, h = 2;
    std::vector<RGBQUAD> colour;
    for (int i = 0; i < w * h; ++i) colour.push_back(colourAt(i, 2));
    const std::vector<uint8_t> noAlpha(w * h, 0);
    std::vector<uint8_t> mask(w * h, 0);
    const int masked[] = {33, w + 0, w + 13};  // top row first
    for (int i : masked) mask[static_cast<size_t>(i)] = 1;
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeIco({bitmapEntry(w, h, 32, {}, {}, colour, noAlpha, mask)}),
                         RASTER_FORMAT_ICO));
    ASSERT_TRUE(img.AlphaIsValid());
    for (int i = 0; i < w * h; ++i) {
        const bool hole = std::find(std::begin(masked), std::end(masked), i) != std::end(masked);
        EXPECT_EQ(img.AlphaGet(i % w, h - 1 - i / w), hole ? 0 : 255) << i;
    }
}

// A mask the file holds only part of is no mask: the rows that are there are not taken for
// it, so no pixel becomes transparent (by key colour, by index or by alpha).
TEST(Ico, MaskCutShortIsIgnored) {
    const int w = 4, h = 2;
    for (int bpp : {4, 24}) {
        std::vector<RGBQUAD> pal, colour;
        for (int i = 0; i < 16; ++i) pal.push_back(colourAt(i, 5));
        std::vector<uint8_t> index, mask(w * h, 0);
        for (int i = 0; i < w * h; ++i) {
            index.push_back(static_cast<uint8_t>(i % 3));
            colour.push_back(colourAt(i, 7));
        }
        mask[w + 1] = 1;  // the bottom row, which comes first in the file
        IcoImage e = bitmapEntry(w, h, bpp, bpp == 4 ? pal : std::vector<RGBQUAD>{}, index, colour,
                                 {}, mask);
        Bytes ico = makeIco({e});
        CRaster whole;
        ASSERT_TRUE(decodeAs(whole, ico, RASTER_FORMAT_ICO)) << bpp;
        EXPECT_TRUE(whole.IsTransparent()) << bpp;  // the same mask, whole, is taken
        ico.resize(ico.size() - 4);                 // the top mask row is missing
        CRaster img;
        ASSERT_TRUE(decodeAs(img, ico, RASTER_FORMAT_ICO)) << bpp;
        EXPECT_FALSE(img.IsTransparent()) << bpp;
        EXPECT_FALSE(img.AlphaIsValid()) << bpp;
        for (int i = 0; i < w * h; ++i) {
            const RGBQUAD want = bpp == 4 ? pal[index[static_cast<size_t>(i)]] : colour[i];
            EXPECT_EQ(rgbText(topPixel(img, i % w, i / w)), rgbText(want)) << bpp << " " << i;
        }
    }
}

// More colours than the palette holds: the rest are read over, the pixels still found.
TEST(Ico, OversizedPalette) {
    std::vector<RGBQUAD> pal;
    for (int i = 0; i < 300; ++i) pal.push_back(colourAt(i, 4));
    const std::vector<uint8_t> index = {0, 7, 200, 255};
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeIco({bitmapEntry(2, 2, 8, pal, index, {}, {}, {0, 0, 0, 0})}),
                         RASTER_FORMAT_ICO));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(sameRgb(topPixel(img, i % 2, i / 2), pal[index[static_cast<size_t>(i)]])) << i;
}

TEST(Ico, PngEntriesByTheirSignature) {
    PngSpec s{.width = 20, .height = 10, .colorType = 6};
    for (int i = 0; i < 20 * 10 * 4; ++i) s.samples.push_back(static_cast<uint16_t>(i * 7 % 256));
    IcoImage png{makePng(s), 20, 10};  // size bytes that are not 0 do not hide the PNG
    CRaster second;
    second.SetFrame(1);
    ASSERT_TRUE(decodeAs(second, makeIco({fourBit(16, false), png}), RASTER_FORMAT_ICO))
        << second.GetLastError();
    EXPECT_EQ(second.GetWidth(), 20u);
    EXPECT_EQ(second.GetType(), static_cast<uint32_t>(RASTER_FORMAT_ICO));
    EXPECT_EQ(second.GetNumFrames(), 2);
    EXPECT_TRUE(second.AlphaIsValid());
    EXPECT_EQ(second.AlphaGet(0, 9), s.samples[3]);
    IcoImage zero{makePng(s), 0, 0};
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, makeIco({zero}), RASTER_FORMAT_ICO));
    EXPECT_EQ(q.GetWidth(), 20u);

    // A broken PNG entry is a failure, not an empty success.
    IcoImage broken{makePng(s), 0, 0};
    broken.data.resize(broken.data.size() / 2);
    CRaster b;
    EXPECT_FALSE(decodeAs(b, makeIco({broken}), RASTER_FORMAT_ICO));
    EXPECT_FALSE(b.IsValid());
}

// Size bytes of 0 stand for 256 or more: a bitmap entry's size is then its info header's
// (whose height counts the mask rows too).
TEST(Ico, BitmapEntryOfOpenSizeTakesItsInfoHeadersSize) {
    std::vector<RGBQUAD> colour;
    for (int i = 0; i < 3 * 2; ++i) colour.push_back(colourAt(i, 6));
    IcoImage e = bitmapEntry(3, 2, 24, {}, {}, colour, {}, std::vector<uint8_t>(6, 0));
    e.w = e.h = 0;
    const Bytes ico = makeIco({e});
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, ico, RASTER_FORMAT_ICO));
    EXPECT_EQ(q.GetWidth(), 3u);
    EXPECT_EQ(q.GetHeight(), 2u);
    CRaster img;
    ASSERT_TRUE(decodeAs(img, ico, RASTER_FORMAT_ICO));
    ASSERT_EQ(img.GetWidth(), 3u);
    ASSERT_EQ(img.GetHeight(), 2u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(rgbText(topPixel(img, i % 3, i / 3)), rgbText(colour[i])) << i;
}

// The size query answers from the directory entry's width and height before anything of the
// entry's data is read: an icon cut off after its directory still tells its sizes.
TEST(Ico, SizeQueryTakesTheEntrysSizeBytesFirst) {
    const Bytes whole = makeIco({fourBit(16, true), fourBit(32, false)});
    const Bytes directoryOnly(whole.begin(), whole.begin() + 6 + 2 * 16);
    for (const Bytes* data : {&whole, &directoryOnly}) {
        for (int frame : {0, 1}) {
            CRaster q;
            q.SetEscape(-1);
            q.SetFrame(frame);
            ASSERT_TRUE(decodeAs(q, *data, RASTER_FORMAT_ICO)) << data->size() << " " << frame;
            EXPECT_EQ(q.GetWidth(), frame ? 32u : 16u);
            EXPECT_EQ(q.GetHeight(), frame ? 32u : 16u);
            EXPECT_EQ(q.GetType(), static_cast<uint32_t>(RASTER_FORMAT_ICO));
            EXPECT_FALSE(q.IsValid());
        }
    }
    // A directory cut short after the entry asked for still answers for that entry, and
    // counts the one entry it holds as its frames.
    const Bytes firstEntryOnly(whole.begin(), whole.begin() + 6 + 16);
    for (int frame : {0, 1}) {
        CRaster q;
        q.SetEscape(-1);
        q.SetFrame(frame);
        EXPECT_EQ(decodeAs(q, firstEntryOnly, RASTER_FORMAT_ICO), frame == 0) << frame;
        EXPECT_EQ(q.GetWidth(), frame == 0 ? 16u : 0u);
        EXPECT_EQ(q.GetNumFrames(), 1);
    }
    // A size byte of 0 leaves the size to the data: without it there is no answer.
    Bytes open = directoryOnly;
    open[6] = 0;
    CRaster q;
    q.SetEscape(-1);
    EXPECT_FALSE(decodeAs(q, open, RASTER_FORMAT_ICO));
    // The entry's bytes stand even where the data's header says otherwise.
    Bytes other = whole;
    other[6] = 20;
    other[7] = 10;
    CRaster r;
    r.SetEscape(-1);
    ASSERT_TRUE(decodeAs(r, other, RASTER_FORMAT_ICO));
    EXPECT_EQ(r.GetWidth(), 20u);
    EXPECT_EQ(r.GetHeight(), 10u);
}
