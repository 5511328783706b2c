#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "imaging/decoders.h"
#include "imaging/tiff_glue.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

struct Page {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 8, photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t orientation = 0;  // 0 = no tag
    uint32_t rowsPerStrip = 0;
    uint32_t tile = 0;  // tile width and length when tiled
    uint16_t compression = COMPRESSION_NONE;
    std::vector<uint16_t> colormap{};  // r, g, b arrays back to back
    bool extraAlpha = false;
    uint16_t extraKind = EXTRASAMPLE_UNASSALPHA;
    float xres = 0;
    uint16_t resUnit = RESUNIT_INCH;
    float xpos = 0;  // a position: x, and the same for y
    // Sample value of (x, y, channel) in stored order.
    std::function<uint32_t(uint32_t, uint32_t, uint32_t)> sample{};
};

Bytes packRow(const Page& p, uint32_t y, uint32_t x0, uint32_t w) {
    Bytes row((static_cast<size_t>(w) * p.samples * p.bits + 7) / 8, 0);
    size_t bit = 0;
    for (uint32_t x = x0; x < x0 + w; ++x)
        for (uint32_t c = 0; c < p.samples; ++c) {
            const uint32_t v = x < p.width ? p.sample(x, y, c) : 0;
            if (p.bits == 16) {
                const uint16_t s = static_cast<uint16_t>(v);
                std::memcpy(&row[bit / 8], &s, 2);  // host order, as libtiff expects
            } else if (p.bits == 32) {
                std::memcpy(&row[bit / 8], &v, 4);
            } else {
                for (int b = p.bits - 1; b >= 0; --b, ++bit)
                    if (b < 32 && ((v >> b) & 1))
                        row[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
                continue;
            }
            bit += p.bits;
        }
    return row;
}

Bytes makeTiff(const std::vector<Page>& pages) {
    CRasterMemFile mem;
    mem.Alloc(1);
    TIFF* tif = TiffOpenOnCRasterFile(&mem, "w");
    EXPECT_NE(tif, nullptr);
    for (const Page& p : pages) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bits);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
        if (p.orientation) TIFFSetField(tif, TIFFTAG_ORIENTATION, p.orientation);
        if (p.extraAlpha) {
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &p.extraKind);
        }
        if (p.xres > 0) {
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, p.xres);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, p.xres / 2);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, p.resUnit);
        }
        if (p.xpos != 0) {
            TIFFSetField(tif, TIFFTAG_XPOSITION, p.xpos);
            TIFFSetField(tif, TIFFTAG_YPOSITION, p.xpos);
        }
        if (!p.colormap.empty()) {
            const size_t n = p.colormap.size() / 3;
            TIFFSetField(tif, TIFFTAG_COLORMAP, p.colormap.data(), p.colormap.data() + n,
                         p.colormap.data() + 2 * n);
        }
        if (p.tile) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, p.tile);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, p.tile);
            for (uint32_t ty = 0; ty < p.height; ty += p.tile)
                for (uint32_t tx = 0; tx < p.width; tx += p.tile) {
                    Bytes buf;
                    for (uint32_t r = 0; r < p.tile; ++r) {
                        Bytes row = ty + r < p.height ? packRow(p, ty + r, tx, p.tile)
                                                      : packRow(p, 0, tx, p.tile);
                        buf.insert(buf.end(), row.begin(), row.end());
                    }
                    TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), buf.data(),
                                         static_cast<tmsize_t>(buf.size()));
                }
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip ? p.rowsPerStrip : p.height);
            for (uint32_t y = 0; y < p.height; ++y) {
                Bytes row = packRow(p, y, 0, p.width);
                TIFFWriteScanline(tif, row.data(), y, 0);
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return Bytes(mem.GetBuffer(), mem.GetBuffer() + mem.Size());
}

bool decode(CRaster& img, const Bytes& data) {
    return decodeAs(img, data, RASTER_FORMAT_TIF);
}

Page grey8(uint32_t w, uint32_t h) {
    Page p{.width = w, .height = h, .sample = [](uint32_t x, uint32_t y, uint32_t) {
               return (x * 13 + y * 7) & 0xFF;
           }};
    return p;
}

// Offset of the value field of `tag` in the first directory of a little-endian file.
size_t tagValue(const Bytes& t, uint16_t tag) {
    const uint32_t ifd = t[4] | (t[5] << 8) | (t[6] << 16) | (uint32_t(t[7]) << 24);
    const uint16_t n = static_cast<uint16_t>(t[ifd] | (t[ifd + 1] << 8));
    for (uint16_t i = 0; i < n; ++i) {
        const size_t e = ifd + 2 + 12 * i;
        if ((t[e] | (t[e + 1] << 8)) == tag) return e + 8;
    }
    return 0;
}

}  // namespace

TEST(Tiff, GreyStripsCompressedAndResolution) {
    for (uint16_t comp : {uint16_t(COMPRESSION_NONE), uint16_t(COMPRESSION_LZW),
                          uint16_t(COMPRESSION_ADOBE_DEFLATE)}) {
        Page p = grey8(23, 17);
        p.rowsPerStrip = 5;
        p.compression = comp;
        p.xres = 100;
        p.resUnit = RESUNIT_CENTIMETER;
        CRaster img;
        ASSERT_TRUE(decode(img, makeTiff({p}))) << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 8u);
        EXPECT_EQ(img.GetXDPI(), 254);
        EXPECT_EQ(img.GetYDPI(), 127);
        EXPECT_EQ(img.GetCodecOption(RASTER_FORMAT_TIF), comp);
        for (uint32_t y = 0; y < 17; ++y)
            for (uint32_t x = 0; x < 23; ++x)
                ASSERT_EQ(img.GetPixelIndex(static_cast<int>(x), static_cast<int>(16 - y)),
                          p.sample(x, y, 0));
    }
}

// Resolutions and positions no integer field holds keep the nearest value it can hold. The
// file's rationals are written in place (libtiff's writer keeps values it can represent).
TEST(Tiff, ResolutionAndPositionBeyondTheFields) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const struct {
        uint32_t num, den;
        uint16_t unit;
        int32_t dpi, offset;
    } cases[] = {{0xFFFFFFFFu, 1, RESUNIT_INCH, kMax, kMax},
                 {1000000000, 1, RESUNIT_CENTIMETER, kMax, 1000000000},
                 {2147483648u, 1, RESUNIT_INCH, kMax, kMax},
                 {2147483647u, 1, RESUNIT_INCH, kMax, kMax},
                 {4939, 4, RESUNIT_INCH, 1234, 1234}};
    for (const auto& c : cases) {
        Page p = grey8(3, 2);
        p.xres = 600;
        p.resUnit = c.unit;
        p.xpos = 1;
        Bytes file = makeTiff({p});
        for (uint16_t tag : {uint16_t(TIFFTAG_XRESOLUTION), uint16_t(TIFFTAG_YRESOLUTION),
                             uint16_t(TIFFTAG_XPOSITION), uint16_t(TIFFTAG_YPOSITION)}) {
            const size_t field = tagValue(file, tag);
            ASSERT_NE(field, 0u) << tag;
            const uint32_t at = file[field] | (file[field + 1] << 8) | (file[field + 2] << 16) |
                                (uint32_t(file[field + 3]) << 24);
            ASSERT_LE(at + 8, file.size());
            for (int i = 0; i < 4; ++i) {
                file[at + i] = uint8_t(c.num >> (8 * i));
                file[at + 4 + i] = uint8_t(c.den >> (8 * i));
            }
        }
        CRaster img;
        ASSERT_TRUE(decode(img, file)) << c.num << img.GetLastError();
        EXPECT_EQ(img.GetXDPI(), c.dpi) << c.num;
        EXPECT_EQ(img.GetYDPI(), c.dpi) << c.num;
        EXPECT_EQ(img.GetHeader().biXPelsPerMeter,
                  c.dpi == kMax ? kMax : int32_t(std::floor(c.dpi * 10000.0 / 254 + 0.5)))
            << c.num;
        // The rationals come as floats: 2^31 - 1 rounds up to 2^31, past the field.
        EXPECT_EQ(img.GetXOffset(), c.offset) << c.num;
        EXPECT_EQ(img.GetYOffset(), c.offset) << c.num;
    }
}

TEST(Tiff, BilevelPaletteAndSixteenBit) {
    Page fax{.width = 19,
             .height = 3,
             .bits = 1,
             .photometric = PHOTOMETRIC_MINISWHITE,
             .sample = [](uint32_t x, uint32_t y, uint32_t) { return (x + y) % 3 == 0 ? 1u : 0u; }};
    CRaster f;
    ASSERT_TRUE(decode(f, makeTiff({fax}))) << f.GetLastError();
    ASSERT_EQ(f.GetBpp(), 1u);
    EXPECT_EQ(topPixel(f, 1, 0).rgbRed, 255);  // sample 0 is white
    EXPECT_EQ(topPixel(f, 0, 0).rgbRed, 0);

    Page pal{.width = 7, .height = 2, .bits = 4, .photometric = PHOTOMETRIC_PALETTE};
    pal.colormap.assign(3 * 16, 0);
    for (int i = 0; i < 16; ++i) {
        pal.colormap[i] = static_cast<uint16_t>(i * 4096);
        pal.colormap[16 + i] = static_cast<uint16_t>(65535 - i * 4096);
        pal.colormap[32 + i] = 257 * 7;
    }
    pal.sample = [](uint32_t x, uint32_t, uint32_t) { return x * 2; };
    CRaster pi;
    ASSERT_TRUE(decode(pi, makeTiff({pal}))) << pi.GetLastError();
    ASSERT_EQ(pi.GetBpp(), 4u);
    EXPECT_EQ(pi.GetPixelIndex(3, 0), 6);
    EXPECT_EQ(pi.GetPaletteColor(6).rgbRed, 6 * 4096 * 255 / 65535);
    EXPECT_EQ(pi.GetPaletteColor(6).rgbBlue, 7);

    Page big{.width = 4, .height = 2, .bits = 12, .photometric = PHOTOMETRIC_PALETTE};
    big.colormap.assign(3 * 4096, 0);
    for (int i = 0; i < 4096; ++i) big.colormap[i] = static_cast<uint16_t>(i * 16);
    big.colormap[4096 + 3000] = 65535;
    big.colormap[2 * 4096 + 7] = 65535;  // the first sample's low bits lie in its second byte
    big.sample = [](uint32_t x, uint32_t, uint32_t) { return x ? x * 1000 : 7; };
    CRaster bi;
    ASSERT_TRUE(decode(bi, makeTiff({big}))) << bi.GetLastError();
    ASSERT_EQ(bi.GetBpp(), 24u);
    EXPECT_EQ(topPixel(bi, 2, 0).rgbRed, 2000 * 16 * 255 / 65535);
    EXPECT_EQ(topPixel(bi, 3, 0).rgbGreen, 255);
    EXPECT_EQ(topPixel(bi, 0, 0).rgbBlue, 255);

    // A 16-bit palette: libtiff hands the samples over in host order.
    Page p16{.width = 3, .height = 1, .bits = 16, .photometric = PHOTOMETRIC_PALETTE};
    p16.colormap.assign(3 * 65536, 0);
    p16.colormap[0x0102] = 0x1100;  // red of entry 0x0102
    p16.colormap[0x0201] = 0x2200;
    p16.colormap[65536 + 0x0300] = 0xFFFF;  // green of entry 0x0300
    p16.sample = [](uint32_t x, uint32_t, uint32_t) {
        const uint32_t v[3] = {0x0102, 0x0201, 0x0300};
        return v[x];
    };
    CRaster p16i;
    ASSERT_TRUE(decode(p16i, makeTiff({p16}))) << p16i.GetLastError();
    ASSERT_EQ(p16i.GetBpp(), 24u);
    EXPECT_EQ(topPixel(p16i, 0, 0).rgbRed, 0x1100 * 255 / 65535);
    EXPECT_EQ(topPixel(p16i, 1, 0).rgbRed, 0x2200 * 255 / 65535);
    EXPECT_EQ(topPixel(p16i, 2, 0).rgbGreen, 255);

    // 16-bit grey in strips is scaled so that its brightest row keeps 8 significant bits (the
    // high byte 39 has two leading zero bits: every sample is shifted right by 6), the other
    // rows to the same scale; in tiles it keeps the high byte of every sample.
    for (uint32_t tile : {0u, 16u}) {
        Page g16{.width = 3, .height = 2, .bits = 16, .rowsPerStrip = 1, .tile = tile};
        g16.sample = [](uint32_t x, uint32_t y, uint32_t) {
            return y == 0 ? 39 * 256 + x * 80 : 0x0100u + x;
        };
        CRaster gi;
        ASSERT_TRUE(decode(gi, makeTiff({g16}))) << gi.GetLastError();
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(gi.GetPixelIndex(x, 1), tile ? 39 : (39 * 256 + x * 80) >> 6) << tile;
            EXPECT_EQ(gi.GetPixelIndex(x, 0), tile ? 1 : 4) << tile;
        }
    }
}

// Colours stored premultiplied by their alpha come back at full strength (rounded, at most
// 255; alpha 0 leaves them); unassociated alpha and palette indexes stay as stored. Grey with
// alpha keeps its alpha at 16 bits too, in strips and tiles.
TEST(Tiff, AlphaOnEveryPathLeavesColoursUnpremultiplied) {
    // The last pixel comes back at exactly 256 before it is held to 255.
    const uint32_t colour[4] = {50, 200, 7, 201}, alpha[4] = {128, 100, 0, 200};
    for (uint16_t kind : {uint16_t(EXTRASAMPLE_ASSOCALPHA), uint16_t(EXTRASAMPLE_UNASSALPHA)}) {
        const bool assoc = kind == EXTRASAMPLE_ASSOCALPHA;
        const uint32_t want[4] = {assoc ? 100u : 50u, assoc ? 255u : 200u, 7, assoc ? 255u : 201u};
        struct Layout {
            uint16_t samples, bits, photometric;
            uint32_t tile;
        } const layouts[] = {
            {2, 8, PHOTOMETRIC_MINISBLACK, 0},  {2, 8, PHOTOMETRIC_MINISBLACK, 16},
            {2, 16, PHOTOMETRIC_MINISBLACK, 0}, {2, 16, PHOTOMETRIC_MINISBLACK, 16},
            {2, 8, PHOTOMETRIC_PALETTE, 0},     {4, 8, PHOTOMETRIC_RGB, 0},
        };
        for (const Layout& l : layouts) {
            Page p{.width = 4,
                   .height = 2,
                   .samples = l.samples,
                   .bits = l.bits,
                   .photometric = l.photometric,
                   .tile = l.tile,
                   .extraAlpha = true,
                   .extraKind = kind};
            if (l.photometric == PHOTOMETRIC_PALETTE) p.colormap.assign(3 * 256, 0);
            // 16-bit samples carry a low byte of their own, which must not be taken.
            p.sample = [&](uint32_t x, uint32_t, uint32_t c) {
                const uint32_t v = c + 1 == l.samples ? alpha[x] : colour[x];
                return l.bits == 16 ? v << 8 | 0x5A : v;
            };
            CRaster img;
            ASSERT_TRUE(decode(img, makeTiff({p}))) << img.GetLastError();
            ASSERT_TRUE(img.AlphaIsValid()) << l.samples << " " << l.bits;
            for (int x = 0; x < 4; ++x) {
                const uint32_t got =
                    l.samples == 4 ? img.GetPixelColor(x, 1).rgbGreen : img.GetPixelIndex(x, 1);
                const bool index = l.photometric == PHOTOMETRIC_PALETTE;
                EXPECT_EQ(got, index ? colour[x] : want[x])
                    << kind << " " << l.samples << " " << l.bits << " " << l.tile << " " << x;
                EXPECT_EQ(img.AlphaGet(x, 0), static_cast<int>(alpha[x]));
            }
        }
    }
    // The mixed-colour case: (100, 50, 50) over alpha 128.
    Page rgba{.width = 1,
              .height = 1,
              .samples = 4,
              .photometric = PHOTOMETRIC_RGB,
              .extraAlpha = true,
              .extraKind = EXTRASAMPLE_ASSOCALPHA};
    rgba.sample = [](uint32_t, uint32_t, uint32_t c) {
        const uint32_t v[4] = {100, 50, 50, 128};
        return v[c];
    };
    CRaster img;
    ASSERT_TRUE(decode(img, makeTiff({rgba})));
    EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "199,100,100");
}

TEST(Tiff, ColourAlphaTilesAndPages) {
    Page rgba{
        .width = 9, .height = 5, .samples = 4, .photometric = PHOTOMETRIC_RGB, .extraAlpha = true};
    rgba.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        const RGBQUAD q = colourAt(static_cast<int>(x), static_cast<int>(y));
        return c == 0 ? q.rgbRed : c == 1 ? q.rgbGreen : c == 2 ? q.rgbBlue : (x * 20 + y) & 0xFF;
    };
    Page grey = grey8(40, 20);
    grey.tile = 16;  // the last tile column lies partly outside
    Page tiledRgb = rgba;
    tiledRgb.samples = 3;
    tiledRgb.extraAlpha = false;
    tiledRgb.width = 20;
    tiledRgb.tile = 16;
    tiledRgb.compression = COMPRESSION_ADOBE_DEFLATE;
    const Bytes file = makeTiff({tiledRgb, grey, rgba});

    CRaster a;
    a.SetFrame(2);
    ASSERT_TRUE(decode(a, file)) << a.GetLastError();
    EXPECT_EQ(a.GetNumFrames(), 3);
    ASSERT_TRUE(a.AlphaIsValid());
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 9; ++x) {
            ASSERT_TRUE(sameRgb(topPixel(a, static_cast<int>(x), static_cast<int>(y)),
                                colourAt(static_cast<int>(x), static_cast<int>(y))));
            ASSERT_EQ(a.AlphaGet(static_cast<int>(x), static_cast<int>(4 - y)),
                      (x * 20 + y) & 0xFF);
        }
    CRaster t;
    t.SetFrame(1);
    ASSERT_TRUE(decode(t, file)) << t.GetLastError();
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            ASSERT_EQ(t.GetPixelIndex(static_cast<int>(x), static_cast<int>(19 - y)),
                      grey.sample(x, y, 0))
                << x << "," << y;
    CRaster tc;
    ASSERT_TRUE(decode(tc, file)) << "[" << tc.GetLastError() << "]";
    EXPECT_TRUE(sameRgb(topPixel(tc, 18, 4), colourAt(18, 4)));
    CRaster none;
    none.SetFrame(3);
    EXPECT_FALSE(decode(none, file));
    EXPECT_STREQ(none.GetLastError(), "Error: page not present in TIFF file");
    EXPECT_EQ(none.GetNumFrames(), 3);
}

// The colour path reads strip by strip: every row lands in its place whatever the strip
// height (a last strip in part, one strip taller than the picture), the last pixel of a row
// whose bytes fill the row exactly stays inside it, alpha follows its row, and a damaged
// strip fails the picture.
TEST(Tiff, ColourStripsEachInPlace) {
    const struct {
        uint32_t width, height, rowsPerStrip;
        uint16_t samples;
    } cases[] = {{4, 8, 3, 3}, {5, 7, 2, 3}, {4, 6, 100, 3}, {3, 5, 1, 4}, {8, 9, 4, 4}};
    for (const auto& c : cases) {
        Page p{.width = c.width,
               .height = c.height,
               .samples = c.samples,
               .photometric = PHOTOMETRIC_RGB,
               .rowsPerStrip = c.rowsPerStrip,
               .compression = COMPRESSION_LZW,
               .extraAlpha = c.samples == 4,
               .extraKind = EXTRASAMPLE_UNASSALPHA};
        p.sample = [](uint32_t x, uint32_t y, uint32_t ch) {
            const RGBQUAD q = colourAt(static_cast<int>(x), static_cast<int>(y), 5);
            return ch == 0 ? q.rgbRed : ch == 1 ? q.rgbGreen : ch == 2 ? q.rgbBlue : 30 * y + x;
        };
        CRaster img;
        ASSERT_TRUE(decode(img, makeTiff({p})))
            << c.width << "x" << c.height << " " << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        ASSERT_EQ(img.AlphaIsValid(), c.samples == 4);
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) {
                const int X = static_cast<int>(x), Y = static_cast<int>(y);
                ASSERT_EQ(rgbText(topPixel(img, X, Y)), rgbText(colourAt(X, Y, 5)))
                    << c.width << "x" << c.height << "/" << c.rowsPerStrip << " at " << x << ","
                    << y;
                if (c.samples == 4) {
                    ASSERT_EQ(img.AlphaGet(X, static_cast<int>(c.height - 1 - y)),
                              static_cast<int>(30 * y + x));
                }
            }
    }
    Page damaged{.width = 6,
                 .height = 6,
                 .samples = 3,
                 .photometric = PHOTOMETRIC_RGB,
                 .rowsPerStrip = 2,
                 .compression = COMPRESSION_ADOBE_DEFLATE};
    damaged.sample = [](uint32_t x, uint32_t y, uint32_t) { return x + y; };
    Bytes file = makeTiff({damaged});
    const size_t offsets = tagValue(file, TIFFTAG_STRIPOFFSETS);
    ASSERT_NE(offsets, 0u);
    const uint32_t table = file[offsets] | (file[offsets + 1] << 8) | (file[offsets + 2] << 16) |
                           (uint32_t(file[offsets + 3]) << 24);
    file[table + 4] = 0xF0;  // the second strip's data lies past the end
    file[table + 5] = 0xFF;
    file[table + 6] = 0xFF;
    CRaster img;
    EXPECT_FALSE(decode(img, file));
    EXPECT_STREQ(img.GetLastError(), "Corrupted TIFF file!");
}

TEST(Tiff, OrientationsOnBothPaths) {
    // Stored 3 x 2; the picture as shown is the stored one turned by the tag.
    for (bool colourPath : {false, true}) {
        for (uint16_t o = 1; o <= 8; ++o) {
            Page p = grey8(3, 2);
            p.sample = [](uint32_t x, uint32_t y, uint32_t) { return 10 * y + x + 1; };
            if (colourPath) {
                p.samples = 3;
                p.photometric = PHOTOMETRIC_RGB;
            }
            p.orientation = o;
            CRaster img;
            ASSERT_TRUE(decode(img, makeTiff({p}))) << img.GetLastError();
            const bool swap = o >= 5;
            ASSERT_EQ(img.GetWidth(), swap ? 2u : 3u) << o;
            // Visual (X, Y) from the top-left -> stored (column, row).
            for (uint32_t Y = 0; Y < img.GetHeight(); ++Y)
                for (uint32_t X = 0; X < img.GetWidth(); ++X) {
                    // Per orientation: axes exchanged, stored columns and rows reversed.
                    static const bool turn[9][3] = {{},        {0, 0, 0}, {0, 1, 0},
                                                    {0, 1, 1}, {0, 0, 1}, {1, 0, 0},
                                                    {1, 0, 1}, {1, 1, 1}, {1, 1, 0}};
                    const uint32_t u = turn[o][0] ? Y : X, v = turn[o][0] ? X : Y;
                    const uint32_t c = turn[o][1] ? 2 - u : u, r = turn[o][2] ? 1 - v : v;
                    const RGBQUAD px = topPixel(img, static_cast<int>(X), static_cast<int>(Y));
                    ASSERT_EQ(px.rgbRed, 10 * r + c + 1) << "orientation " << o << " colour "
                                                         << colourPath << " at " << X << "," << Y;
                }
            CRaster q;
            q.SetEscape(-1);
            ASSERT_TRUE(decode(q, makeTiff({p})));
            EXPECT_EQ(q.GetWidth(), swap ? 2u : 3u);
            EXPECT_EQ(q.GetHeight(), swap ? 3u : 2u);
        }
    }
}

// CIELAB goes through the decoder's own conversion: L 100 % is white, L 0 the conversion's
// near-black (8, 8, 8), and a positive a leans to red.
TEST(Tiff, CieLabBecomesRgb) {
    Page lab{.width = 3, .height = 1, .samples = 3, .photometric = PHOTOMETRIC_CIELAB};
    lab.sample = [](uint32_t x, uint32_t, uint32_t c) {
        const uint32_t v[3][3] = {{255, 0, 0}, {0, 0, 0}, {128, 80, 0}};
        return v[x][c];
    };
    CRaster img;
    ASSERT_TRUE(decode(img, makeTiff({lab}))) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 24u);
    const RGBQUAD white = img.GetPixelColor(0, 0), red = img.GetPixelColor(2, 0);
    EXPECT_GE(std::min({white.rgbRed, white.rgbGreen, white.rgbBlue}), 254) << rgbText(white);
    EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "8,8,8");
    EXPECT_GT(red.rgbRed, red.rgbGreen + 60) << rgbText(red);
}

TEST(Tiff, DamageAndErrors) {
    Page p = grey8(8, 8);
    p.rowsPerStrip = 2;
    p.compression = COMPRESSION_ADOBE_DEFLATE;
    Bytes file = makeTiff({p});
    // Break the last strip's data: its offset points past the end.
    const size_t offsets = tagValue(file, TIFFTAG_STRIPOFFSETS);
    ASSERT_NE(offsets, 0u);
    const uint32_t table = file[offsets] | (file[offsets + 1] << 8) | (file[offsets + 2] << 16) |
                           (uint32_t(file[offsets + 3]) << 24);
    file[table + 12] = 0xF0;
    file[table + 13] = 0xFF;
    file[table + 14] = 0xFF;
    CRaster img;
    ASSERT_TRUE(decode(img, file)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelIndex(3, 7), p.sample(3, 0, 0));
    EXPECT_EQ(img.GetPixelIndex(3, 0), 0);  // last strip blank

    Bytes zero = makeTiff({grey8(4, 4)});
    const size_t bitsAt = tagValue(zero, TIFFTAG_BITSPERSAMPLE);
    ASSERT_NE(bitsAt, 0u);
    zero[bitsAt] = 0;
    CRaster z;
    EXPECT_FALSE(decode(z, zero));
    EXPECT_FALSE(z.IsValid());

    CRaster junk;
    Bytes j = {'I', 'I', 42, 0, 1, 2};
    EXPECT_FALSE(decode(junk, j));
    EXPECT_STREQ(junk.GetLastError(), "Error encountered while opening TIFF file");
}

TEST(Tiff, TilesNarrowerThanAByteStayInsideTheLine) {
    // A 9 x 1 bilevel picture in tiles one pixel wide (libtiff reads such widths, though no
    // writer should make them): nine tile columns, but a line of only two bytes.
    const uint32_t width = 9;
    Out f;
    f.str("II");
    f.u16(42);
    f.u32(8 + width + 1);                             // directory after the tile bytes (kept even)
    for (uint32_t i = 0; i < width; ++i) f.u8(0x80);  // each tile: one white pixel
    f.u8(0);
    const uint16_t entries = 9;
    const uint32_t arrays = static_cast<uint32_t>(f.size()) + 2 + 12 * entries + 4;
    f.u16(entries);
    auto tag = [&](uint16_t t, uint16_t type, uint32_t count, uint32_t value) {
        f.u16(t);
        f.u16(type);
        f.u32(count);
        f.u32(value);
    };
    tag(TIFFTAG_IMAGEWIDTH, 3, 1, width);
    tag(TIFFTAG_IMAGELENGTH, 3, 1, 1);
    tag(TIFFTAG_BITSPERSAMPLE, 3, 1, 1);
    tag(TIFFTAG_COMPRESSION, 3, 1, COMPRESSION_NONE);
    tag(TIFFTAG_PHOTOMETRIC, 3, 1, PHOTOMETRIC_MINISBLACK);
    tag(TIFFTAG_TILEWIDTH, 3, 1, 1);
    tag(TIFFTAG_TILELENGTH, 3, 1, 1);
    tag(TIFFTAG_TILEOFFSETS, 4, width, arrays);
    tag(TIFFTAG_TILEBYTECOUNTS, 4, width, arrays + 4 * width);
    f.u32(0);
    for (uint32_t i = 0; i < width; ++i) f.u32(8 + i);
    for (uint32_t i = 0; i < width; ++i) f.u32(1);
    CRaster img;
    ASSERT_TRUE(decode(img, f.b)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), width);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
}

TEST(TiffGlue, SeekReportsPositionsAndCloseLeavesTheFile) {
    uint8_t data[100] = {};
    CRasterMemFile f(data, sizeof data);
    EXPECT_EQ(TiffSeekProc(&f, 10, SEEK_SET), 10u);
    EXPECT_EQ(TiffSeekProc(&f, 5, SEEK_CUR), 15u);
    EXPECT_EQ(TiffSeekProc(&f, static_cast<toff_t>(-3), SEEK_END), 97u);
    EXPECT_EQ(TiffSeekProc(&f, static_cast<toff_t>(-1), SEEK_SET), static_cast<toff_t>(-1));
    EXPECT_EQ(TiffSizeProc(&f), 100u);
    Bytes t = makeTiff({grey8(2, 2)});
    CRasterMemFile m(t.data(), t.size());
    TIFF* tif = TiffOpenOnCRasterFile(&m, "r");
    ASSERT_NE(tif, nullptr);
    TIFFClose(tif);
    EXPECT_GE(m.Tell(), 0);
    EXPECT_EQ(m.Size(), static_cast<int64_t>(t.size()));
}

TEST(Tiff, PackedGreyAndGreyWithAlpha) {
    Page two{.width = 7, .height = 2, .bits = 2, .sample = [](uint32_t x, uint32_t y, uint32_t) {
                 return (x + y) % 4;
             }};
    CRaster t;
    ASSERT_TRUE(decode(t, makeTiff({two}))) << t.GetLastError();
    ASSERT_EQ(t.GetBpp(), 8u);
    EXPECT_EQ(t.GetPixelIndex(3, 1), 3);
    EXPECT_EQ(t.GetPaletteColor(3).rgbRed, 255);
    EXPECT_EQ(t.GetPaletteColor(1).rgbRed, 85);

    Page wide = grey8(2, 2);
    wide.samples = 2;
    wide.bits = 4;
    wide.extraAlpha = true;
    wide.sample = [](uint32_t, uint32_t, uint32_t) { return 1u; };
    CRaster w;
    EXPECT_FALSE(decode(w, makeTiff({wide})));
    EXPECT_STREQ(w.GetLastError(), "Corrupted TIFF file!");
}

// Grey samples wider than 32 bits (64-bit floating point, mostly) are refused: the top byte of
// their first 32-bit word is no brightness. 32 bits are still read, by their top byte.
TEST(Tiff, SamplesWiderThan32BitsAreRefused) {
    Page p{.width = 3, .height = 2, .bits = 64, .sample = [](uint32_t, uint32_t, uint32_t) {
               return 0u;
           }};
    CRaster wide;
    EXPECT_FALSE(decode(wide, makeTiff({p})));
    EXPECT_STREQ(wide.GetLastError(), "Corrupted TIFF file!");
    p.bits = 32;
    p.sample = [](uint32_t x, uint32_t, uint32_t) { return 0x01000000u * (40 * x + 1); };
    CRaster thirtyTwo;
    ASSERT_TRUE(decode(thirtyTwo, makeTiff({p}))) << thirtyTwo.GetLastError();
    EXPECT_EQ(thirtyTwo.GetPixelIndex(2, 0), 81);
}

// The largest buffer the TIFF decoder takes for itself.
using BufferCap = ScopedLimit<&CRasterTIF::SetMaxBufferBytes>;

// The palette table is the decoder's own buffer like the strips: one it cannot have fails the
// decode with its own words, and nothing leaves the decode but the result. The strip buffer
// answers to the same limit, after the table.
TEST(Tiff, PaletteTableItCannotAllocateFailsTheDecode) {
    EXPECT_EQ(CRasterTIF::GetMaxBufferBytes(), static_cast<uint64_t>(kTiffMaxSingleAlloc));
    Page nine{.width = 4, .height = 2, .bits = 9, .photometric = PHOTOMETRIC_PALETTE};
    nine.colormap.assign(3 * 512, 0);
    nine.sample = [](uint32_t x, uint32_t, uint32_t) { return 5 + x; };
    const char* const noTable = "Unable to allocate TIFF palette";
    const struct {
        const char* name;
        Bytes file;
        uint64_t bytes;  // the largest buffer the decode takes
        const char* error;
    } rows[] = {
        {"a table of 512 entries", makeTiff({nine}), 2048, noTable},
        {"a table of 256 entries", makeTiff({grey8(4, 2)}), 1024, noTable},
        {"one strip of 2,000 bytes", makeTiff({grey8(100, 20)}), 2000,
         "CRasterTIF can't allocate memory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        {
            BufferCap cap(row.bytes - 1);
            CRaster img;
            EXPECT_FALSE(decode(img, row.file));
            EXPECT_STREQ(img.GetLastError(), row.error);
            EXPECT_FALSE(img.IsValid());
        }
        BufferCap cap(row.bytes);
        CRaster img;
        ASSERT_TRUE(decode(img, row.file)) << img.GetLastError();
    }
}

// Only an answered size query succeeds: a query on data that is no TIFF fails, also for an
// image that already carries the TIFF format id (it is copied into the decoder).
TEST(Tiff, FailedSizeQueryIsNoSuccess) {
    const Bytes onePage = makeTiff({grey8(2, 2)});
    const struct {
        Bytes data;
        int32_t frame;
    } cases[] = {{{}, 0}, {{'I', 'I', 42, 0, 1, 2}, 0}, {onePage, 1}};
    for (const auto& c : cases) {
        CRaster img(RASTER_FORMAT_TIF);
        img.SetEscape(-1);
        img.SetFrame(c.frame);
        EXPECT_FALSE(decode(img, c.data)) << c.data.size();
    }
    CRaster img(RASTER_FORMAT_TIF);
    img.SetEscape(-1);
    ASSERT_TRUE(decode(img, onePage));  // the page that is there answers
    EXPECT_EQ(img.GetWidth(), 2u);
}

// 16-bit grey that uses only the low 12 bits: the brightest row keeps 8 significant bits, so
// every sample is shifted right by 4, each row first by its own shift and then to the
// brightest row's. Rows that no strip delivered stay blank and take no part.
TEST(Tiff, SixteenBitGreyIsScaledToItsBrightestRow) {
    const uint32_t maxima[4] = {0x00FF, 0x0FFF, 0x07FF, 0x0010};
    Page p{.width = 4, .height = 4, .bits = 16, .rowsPerStrip = 1};
    p.sample = [&](uint32_t x, uint32_t y, uint32_t) { return maxima[y] * (x + 1) / 4; };
    CRaster img;
    ASSERT_TRUE(decode(img, makeTiff({p}))) << img.GetLastError();
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            ASSERT_EQ(img.GetPixelIndex(int(x), int(3 - y)), p.sample(x, y, 0) >> 4)
                << x << "," << y;

    // All below 256: nothing is shifted.
    Page dark = p;
    dark.sample = [](uint32_t x, uint32_t y, uint32_t) { return 40 * y + x; };
    CRaster d;
    ASSERT_TRUE(decode(d, makeTiff({dark})));
    EXPECT_EQ(d.GetPixelIndex(3, 0), 123);

    // The brightest row's strip is damaged: the rows read are scaled among themselves.
    Bytes file = makeTiff({p});
    const size_t offsets = tagValue(file, TIFFTAG_STRIPOFFSETS);
    ASSERT_NE(offsets, 0u);
    const uint32_t table = file[offsets] | (file[offsets + 1] << 8) | (file[offsets + 2] << 16) |
                           (uint32_t(file[offsets + 3]) << 24);
    file[table + 4 + 2] = 0xF0;  // the second strip (0x0FFF) lies past the end
    file[table + 4 + 3] = 0xFF;
    CRaster cut;
    ASSERT_TRUE(decode(cut, file)) << cut.GetLastError();
    for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(cut.GetPixelIndex(int(x), 3), p.sample(x, 0, 0)) << x;  // alone: as it is
        EXPECT_EQ(cut.GetPixelIndex(int(x), 2), 0) << x;
        EXPECT_EQ(cut.GetPixelIndex(int(x), 1), 0) << x;
    }
}

// CIELAB of 16 bits takes the high byte of each sample (libtiff hands them in host order).
TEST(Tiff, SixteenBitCieLabTakesTheHighBytes) {
    Page lab{.width = 2, .height = 1, .samples = 3, .bits = 16, .photometric = PHOTOMETRIC_CIELAB};
    lab.sample = [](uint32_t x, uint32_t, uint32_t c) {
        return c == 0 ? (x ? 0x0011u : 0xFF11u) : 0x0011u;
    };
    CRaster img;
    ASSERT_TRUE(decode(img, makeTiff({lab}))) << img.GetLastError();
    EXPECT_GE(img.GetPixelColor(0, 0).rgbGreen, 254) << rgbText(img.GetPixelColor(0, 0));
    EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "8,8,8");
}

// The line operations on their own: samples as libtiff delivers them (packed widths as a
// big-endian bit stream, 16, 24 and 32 bits in the host's order) become bytes, indexes become
// colours, and tile rows land in their place in the line.
TEST(Tiff, MoveBitsTileToStripAndPaletteLines) {
    const struct {
        uint32_t bits;
        Bytes src;
        Bytes want;
    } cases[] = {
        {1, {0xA5, 0x80}, {1, 0, 1, 0, 0, 1, 0, 1, 1}},  // the last one alone in its byte
        {2, {0x1B, 0xC0}, {0, 1, 2, 3, 3}},
        {4, {0x9F, 0x30}, {9, 15, 3}},
        {12, {0xAB, 0xCD, 0xEF}, {0xAB, 0xDE}},
        {16, {0x34, 0x12, 0xFF, 0x00}, {0x12, 0x00}},
        {24, {0x56, 0x34, 0x12}, {0x12}},
        {32, {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0x80}, {0x12, 0x80}},
    };
    for (const auto& c : cases) {
        Bytes out(c.want.size() + 1, 0xEE);
        CRasterTIF::MoveBits(out.data(), c.src.data(), static_cast<uint32_t>(c.want.size()),
                             c.bits);
        EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.want) << c.bits;
        EXPECT_EQ(out.back(), 0xEE) << c.bits;
    }
    std::vector<RGBQUAD> table(4096);
    table[0xABC].rgbRed = 1;
    table[0xDEF].rgbGreen = 2;
    const uint8_t twelve[3] = {0xAB, 0xCD, 0xEF};
    uint8_t colours[7];
    colours[6] = 0xEE;
    CRasterTIF::MoveBitsPal(colours, twelve, 2, 12, table.data());
    EXPECT_EQ(colours[2], 1);  // blue, green, red of entry 0xABC
    EXPECT_EQ(colours[4], 2);
    EXPECT_EQ(colours[6], 0xEE);
    table[0x101].rgbBlue = 3;  // a 9-bit index whose last bit has a byte of its own
    const uint8_t nine[2] = {0x80, 0x80};
    CRasterTIF::MoveBitsPal(colours, nine, 1, 9, table.data());
    EXPECT_EQ(colours[0], 3);

    // Two rows of 3 bytes out of tile rows of 4, into lines of 10 from byte 6 on.
    const uint8_t tile[8] = {1, 2, 3, 9, 4, 5, 6, 9};
    Bytes lines(20, 0);
    CRasterTIF::TileToStrip(lines.data() + 6, tile, 2, 3, 10 - 3, 4 - 3);
    EXPECT_EQ(lines, (Bytes{0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 0}));
}

// The memory procedures: byte differences compared as unsigned, reduced to -1, 0 or 1 by the
// first of them; sizes of 0 or less do nothing.
TEST(TiffGlue, MemoryProcedures) {
    const uint8_t a[3] = {1, 0x80, 0x00}, b[3] = {1, 0x7F, 0xFF};
    EXPECT_EQ(TiffMemcmp(a, b, 3), 1);
    EXPECT_EQ(TiffMemcmp(a, b, 1), 0);
    EXPECT_EQ(TiffMemcmp(a, b, 0), 0);
    EXPECT_EQ(TiffMemcmp(a + 2, b + 2, 1), -1);

    uint8_t buf[6] = {0, 0, 0, 0, 0, 0};
    TiffMemset(buf + 1, 0x1AB, 3);  // the value's low byte
    EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{0, 0xAB, 0xAB, 0xAB, 0, 0}));
    TiffMemset(buf, 7, 0);
    TiffMemset(nullptr, 7, 3);  // no memory: nothing written
    TiffMemcpy(buf + 3, a, 3);
    EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{0, 0xAB, 0xAB, 1, 0x80, 0}));
    TiffMemcpy(buf, b, -1);
    EXPECT_EQ(buf[0], 0);

    auto* p = static_cast<uint8_t*>(TiffRealloc(nullptr, 2));
    ASSERT_NE(p, nullptr);
    p[0] = 5;
    p[1] = 6;
    p = static_cast<uint8_t*>(TiffRealloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[1], 6);
    EXPECT_EQ(TiffRealloc(p, 0), nullptr);  // p stays ours
    EXPECT_EQ(p[0], 5);
    std::free(p);
}

// The file object travels as the handle's client data: libtiff's descriptor is an int, too
// narrow for a pointer on a 64-bit host, and says "none". A file object without data has its
// size of -1 passed on as it is.
TEST(TiffGlue, FileObjectIsTheClientDataNotTheDescriptor) {
    Bytes t = makeTiff({grey8(2, 2)});
    CRasterMemFile m(t.data(), t.size());
    TIFF* tif = TiffOpenOnCRasterFile(&m, "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(TiffFileOf(tif), &m);
    EXPECT_EQ(TIFFFileno(tif), -1);
    TIFFClose(tif);
    EXPECT_EQ(TiffFileOf(nullptr), nullptr);
    CRasterMemFile none;
    EXPECT_EQ(TiffSizeProc(&none), static_cast<toff_t>(-1));
}

// Grey with alpha of 16 bits keeps the high byte of both samples, row by row alike: a shift
// of each row by its brightest sample would scale its alpha with it, differently in every row.
TEST(Tiff, SixteenBitGreyWithAlphaKeepsItsHighBytesInEveryRow) {
    Page p{
        .width = 2, .height = 2, .samples = 2, .bits = 16, .rowsPerStrip = 1, .extraAlpha = true};
    p.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        if (c == 0) return 0x0100u * (x + 1);
        return y == 0 ? 0x0200u : 0xFF00u;
    };
    CRaster img;
    ASSERT_TRUE(decode(img, makeTiff({p}))) << img.GetLastError();
    for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(img.GetPixelIndex(x, 1), x + 1) << x;
        EXPECT_EQ(img.GetPixelIndex(x, 0), x + 1) << x;
        EXPECT_EQ(img.AlphaGet(x, 1), 2) << x;
        EXPECT_EQ(img.AlphaGet(x, 0), 255) << x;
    }
}
