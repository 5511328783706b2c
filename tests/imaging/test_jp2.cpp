#include <gtest/gtest.h>

#include <openjpeg.h>

#include <lcms2_plugin.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "imaging/decoders.h"
#include "jp2_writer.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

// Little CMS cannot allocate anything while this lives. Its allocator is replaced once for
// the whole program (a replaced allocator is not handed back); it fails only in that time.
struct CmsOutOfMemory {
    static inline std::atomic<bool> failing{false};
    static void* take(cmsContext, cmsUInt32Number n) { return failing ? nullptr : std::malloc(n); }
    static void release(cmsContext, void* p) { std::free(p); }
    static void* regrow(cmsContext, void* p, cmsUInt32Number n) {
        return failing ? nullptr : std::realloc(p, n);
    }
    CmsOutOfMemory() {
        static cmsPluginMemHandler plugin = {
            {cmsPluginMagicNumber, LCMS_VERSION, cmsPluginMemHandlerSig, nullptr},
            take,
            release,
            regrow,
            nullptr,
            nullptr,
            nullptr};
        static const bool installed = cmsPlugin(&plugin);
        EXPECT_TRUE(installed);
        failing = true;
    }
    ~CmsOutOfMemory() { failing = false; }
};

using BufferLimit = ScopedLimit<&CRasterJAS::SetMaxBufferBytes>;

// Three 8-bit components whose samples are the test colour of each pixel.
J2kSpec colourSpec(uint32_t w, uint32_t h) {
    J2kSpec s{.width = w, .height = h, .comps = 3, .space = OPJ_CLRSPC_SRGB};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        const RGBQUAD q = colourAt(static_cast<int>(x), static_cast<int>(y));
        return static_cast<int32_t>(c == 0 ? q.rgbRed : c == 1 ? q.rgbGreen : q.rgbBlue);
    };
    return s;
}

}  // namespace

TEST(Jpeg2000, ColourFileDecodesTo24Bit) {
    J2kSpec s = colourSpec(13, 7);
    s.jp2 = true;
    for (uint32_t id : {uint32_t(RASTER_FORMAT_JP2), 0u}) {
        CRaster img;
        ASSERT_TRUE(decodeAs(img, makeJ2k(s), id)) << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        EXPECT_EQ(img.GetType(), static_cast<uint32_t>(RASTER_FORMAT_JP2));
        for (uint32_t y = 0; y < 7; ++y)
            for (uint32_t x = 0; x < 13; ++x)
                ASSERT_TRUE(sameRgb(topPixel(img, static_cast<int>(x), static_cast<int>(y)),
                                    colourAt(static_cast<int>(x), static_cast<int>(y))));
    }
}

TEST(Jpeg2000, GreyDepthsShiftsAndSignedSamples) {
    J2kSpec s{.width = 6, .height = 3, .prec = 12};
    s.sample = [](uint32_t x, uint32_t y, uint32_t) {
        return static_cast<int32_t>(x * 600 + y * 16);
    };
    CRaster g12;
    ASSERT_TRUE(decodeAs(g12, makeJ2k(s), RASTER_FORMAT_JPC)) << g12.GetLastError();
    ASSERT_EQ(g12.GetBpp(), 8u);
    EXPECT_TRUE(g12.IsGrayScale());
    EXPECT_EQ(g12.GetPixelIndex(5, 0), (5 * 600 + 2 * 16) >> 4);
    EXPECT_EQ(g12.GetType(), static_cast<uint32_t>(RASTER_FORMAT_JPC));

    s.prec = 2;
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x % 4); };
    CRaster g2;
    ASSERT_TRUE(decodeAs(g2, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_EQ(g2.GetPixelIndex(3, 0), 255);  // full range, not 3
    EXPECT_EQ(g2.GetPixelIndex(1, 0), 85);

    s.prec = 7;  // below 8 bits: stretched to the full range
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x * 25); };
    CRaster g7;
    ASSERT_TRUE(decodeAs(g7, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_EQ(g7.GetPixelIndex(5, 0), 125 * 255 / 127);

    s.prec = 4;  // a 4-bit frame keeps its depth; signed samples are offset into it
    s.sgnd = true;
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x) * 3 - 8; };
    CRaster s4;
    ASSERT_TRUE(decodeAs(s4, makeJ2k(s), RASTER_FORMAT_JPC));
    ASSERT_EQ(s4.GetBpp(), 4u);
    EXPECT_EQ(s4.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(s4.GetPixelIndex(5, 0), 15);

    s.prec = 8;
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x) * 40 - 128; };
    CRaster sg;
    ASSERT_TRUE(decodeAs(sg, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_EQ(sg.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(sg.GetPixelIndex(5, 0), 200);
}

// Grey with opacity is two components and no colour conversion: two grey frames, the
// opacity the second, in a JP2 file with its channel definition as in a bare code stream.
TEST(Jpeg2000, GreyWithOpacityIsTwoFrames) {
    J2kSpec s{.width = 3, .height = 2, .comps = 2, .jp2 = true, .alphaComp = 1};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        return static_cast<int32_t>(c == 0 ? 10 * x + y : 100 + 50 * x + y);
    };
    for (bool jp2 : {true, false}) {
        s.jp2 = jp2;
        const Bytes data = makeJ2k(s);
        for (int frame : {0, 1}) {
            CRaster img;
            img.SetFrame(frame);
            ASSERT_TRUE(decodeAs(img, data, 0)) << jp2 << " " << img.GetLastError();
            EXPECT_EQ(img.GetNumFrames(), 2) << jp2;
            ASSERT_EQ(img.GetBpp(), 8u);
            EXPECT_FALSE(img.AlphaIsValid()) << jp2;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_EQ(img.GetPixelIndex(x, 1 - y), frame ? 100 + 50 * x + y : 10 * x + y);
        }
    }
}

// Whether a file is a colour picture or a set of frames, by its components and their depth:
// three or more components of up to 8 bits are converted to one colour picture (an opacity
// component kept as its alpha), and so are three equal components of deep luma and chroma;
// three equal components make a colour picture as they stand; every other layout is one grey
// frame per component, opacity and CMYK inks included.
TEST(Jpeg2000, FramesOrColourByComponentLayoutAndDepth) {
    const struct {
        const char* name;
        uint32_t comps, prec;
        uint32_t colourBox;  // enumerated colour space of a JP2 file; 0: a bare code stream
        int opacity;         // the component its channel definition marks as opacity
        std::vector<uint32_t> dxs;
        std::vector<uint32_t> precs;  // per component, when they differ
        uint32_t bpp;
        int frames;
    } rows[] = {
        {"grey and opacity, 16 bits", 2, 16, 17, 1, {}, {}, 8, 2},
        // A frame wider than the first component reads into a row as wide as itself.
        {"two frames, the first subsampled, 12 bits", 2, 12, 0, -1, {2, 1}, {}, 8, 2},
        {"RGB and opacity, 16 bits", 4, 16, 16, 3, {}, {}, 8, 4},
        {"CMYK, 12 bits", 4, 12, 12, -1, {}, {}, 8, 4},
        {"four components, 12 bits", 4, 12, 0, -1, {}, {}, 8, 4},
        {"sYCC with halved chroma, 12 bits", 3, 12, 18, -1, {1, 2, 2}, {}, 8, 3},
        {"RGB, 12 bits", 3, 12, 16, -1, {}, {}, 24, 0},
        {"RGB of 12, 10 and 12 bits", 3, 12, 0, -1, {}, {12, 10, 12}, 8, 3},
        {"sYCC, 12 bits", 3, 12, 18, -1, {}, {}, 24, 0},
        {"RGB and opacity, 8 bits", 4, 8, 16, 3, {}, {}, 24, 0},
        {"CMYK, 8 bits", 4, 8, 12, -1, {}, {}, 24, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        J2kSpec s{.width = 4,
                  .height = 2,
                  .comps = r.comps,
                  .prec = r.prec,
                  .precs = r.precs,
                  .dxs = r.dxs};
        s.space = OPJ_CLRSPC_UNSPECIFIED;
        s.sample = [&r](uint32_t x, uint32_t y, uint32_t c) {
            const uint32_t prec = r.precs.empty() ? r.prec : r.precs[c];
            return static_cast<int32_t>((40 * c + 10 * x + y) << (prec - 8));
        };
        Bytes data = makeJ2k(s);
        if (r.colourBox) {
            std::vector<Jp2Channel> channels;
            for (uint16_t k = 0; r.opacity >= 0 && k < r.comps; ++k)
                channels.push_back(
                    {k, uint16_t(k == r.opacity), uint16_t(k == r.opacity ? 0 : k + 1)});
            data = wrapJp2(data, 4, 2, uint16_t(r.comps), enumeratedColour(r.colourBox),
                           uint8_t(r.prec), channels);
        }
        const uint32_t id = r.colourBox ? RASTER_FORMAT_JP2 : RASTER_FORMAT_JPC;
        CRaster img;
        ASSERT_TRUE(decodeAs(img, data, id)) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), r.bpp);
        EXPECT_EQ(img.GetNumFrames(), r.frames);
        EXPECT_EQ(img.AlphaIsValid(), r.bpp == 24 && r.opacity >= 0);
        if (img.AlphaIsValid()) {
            EXPECT_EQ(img.AlphaGet(1, 0), 40 * r.opacity + 11);
        }
        if (r.bpp == 24 && r.prec > 8 && r.colourBox == 16) {
            EXPECT_EQ(rgbText(topPixel(img, 1, 1)), "11,51,91");  // as they stand
        }
        for (int f = 1; f <= r.frames; ++f) {
            CRaster frame;
            frame.SetFrame(f);
            if (f == r.frames) {
                EXPECT_FALSE(decodeAs(frame, data, id));
                EXPECT_STREQ(frame.GetLastError(), "wrong frame!");
                break;
            }
            ASSERT_TRUE(decodeAs(frame, data, id)) << f << " " << frame.GetLastError();
            EXPECT_EQ(frame.GetPixelIndex(1, 0), 40 * f + 11) << f;
        }
    }
}

// Frames of components of different depths each come to 8 bits by their own precision: an
// 8-bit frame behind a 12-bit first component is not shifted as that one is.
TEST(Jpeg2000, FramesOfOtherDepthsKeepTheirOwnScale) {
    J2kSpec s{.width = 4, .height = 2, .comps = 2, .precs = {12, 8}};
    s.sample = [](uint32_t x, uint32_t, uint32_t c) {
        return static_cast<int32_t>(c == 0 ? 1000 * x : 60 * x);
    };
    const Bytes data = makeJ2k(s);
    for (int frame : {0, 1}) {
        CRaster img;
        img.SetFrame(frame);
        ASSERT_TRUE(decodeAs(img, data, RASTER_FORMAT_JPC)) << img.GetLastError();
        EXPECT_EQ(img.GetNumFrames(), 2);
        EXPECT_EQ(img.GetPixelIndex(3, 0), frame == 0 ? 3000 >> 4 : 180) << frame;
    }
}

// Components deeper than 8 bits come to no colour conversion: four of them are four frames.
TEST(Jpeg2000, FourComponentsAreFrames) {
    J2kSpec s{.width = 4,
              .height = 4,
              .comps = 4,
              .prec = 12,
              .space = OPJ_CLRSPC_UNSPECIFIED,
              .sample = [](uint32_t x, uint32_t, uint32_t c) {
                  return static_cast<int32_t>((c * 50 + x) << 4);
              }};
    const Bytes data = makeJ2k(s);
    CRaster first;
    ASSERT_TRUE(decodeAs(first, data, RASTER_FORMAT_JPC)) << first.GetLastError();
    EXPECT_EQ(first.GetNumFrames(), 4);
    EXPECT_EQ(first.GetBpp(), 8u);
    EXPECT_EQ(first.GetPixelIndex(2, 0), 2);
    CRaster third;
    third.SetFrame(2);
    ASSERT_TRUE(decodeAs(third, data, RASTER_FORMAT_JPC));
    EXPECT_EQ(third.GetPixelIndex(2, 0), 102);
    CRaster bad;
    bad.SetFrame(4);
    EXPECT_FALSE(decodeAs(bad, data, RASTER_FORMAT_JPC));
    EXPECT_STREQ(bad.GetLastError(), "wrong frame!");
}

// The colour picture carries the id its data names, whatever id it was asked for; grey frames
// carry the id they were asked for, 0 when every decoder is tried in turn.
TEST(Jpeg2000, GreyFramesCarryTheIdAskedForAndColourTheIdOfTheData) {
    J2kSpec grey{.width = 3, .height = 2, .sample = [](uint32_t x, uint32_t, uint32_t) {
                     return static_cast<int32_t>(x);
                 }};
    J2kSpec colour = colourSpec(3, 2);
    struct Case {
        J2kSpec* spec;
        bool jp2;
        uint32_t asked, type;
    } cases[] = {
        {&grey, true, 0, 0},
        {&grey, false, RASTER_FORMAT_JPC, RASTER_FORMAT_JPC},
        {&grey, false, RASTER_FORMAT_JP2, RASTER_FORMAT_JP2},
        {&colour, true, 0, RASTER_FORMAT_JP2},
        {&colour, false, RASTER_FORMAT_JP2, RASTER_FORMAT_JPC},
        {&colour, true, RASTER_FORMAT_JPC, RASTER_FORMAT_JP2},
    };
    for (const Case& c : cases) {
        c.spec->jp2 = c.jp2;
        CRaster img;
        ASSERT_TRUE(decodeAs(img, makeJ2k(*c.spec), c.asked)) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), c.spec == &grey ? 8u : 24u);
        EXPECT_EQ(img.GetType(), c.type) << c.jp2 << " asked " << c.asked;
    }
}

// Three or more components of up to 8 bits are converted to sRGB, which makes three colour
// components of them: a code stream's are red, green and blue, and a fourth is no colour.
TEST(Jpeg2000, EightBitComponentsBeyondThreeBecomeOneColourPicture) {
    J2kSpec s{.width = 4,
              .height = 2,
              .comps = 4,
              .space = OPJ_CLRSPC_UNSPECIFIED,
              .sample = [](uint32_t x, uint32_t y, uint32_t c) {
                  return static_cast<int32_t>(c * 50 + x + 10 * y);
              }};
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeJ2k(s), RASTER_FORMAT_JPC)) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(img.GetNumFrames(), 0);
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(rgbText(topPixel(img, 3, 1)), "13,63,113");
}

TEST(Jpeg2000, QueriesLimitsAndErrors) {
    J2kSpec s{.width = 64, .height = 48};
    s.sample = [](uint32_t x, uint32_t y, uint32_t) {
        return static_cast<int32_t>((x + y) & 0xFF);
    };
    const Bytes data = makeJ2k(s);
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, data, RASTER_FORMAT_JPC));
    EXPECT_EQ(q.GetWidth(), 64u);
    EXPECT_EQ(q.GetType(), static_cast<uint32_t>(RASTER_FORMAT_JPC));
    EXPECT_FALSE(q.IsValid());

    CRaster::SetMaxPixels(1000);
    CRaster big;
    EXPECT_FALSE(decodeAs(big, data, RASTER_FORMAT_JPC));
    EXPECT_STREQ(big.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    CRaster::SetMaxPixels(0);

    CRaster junk;
    EXPECT_FALSE(decodeAs(junk, Bytes(40, 7), RASTER_FORMAT_JP2));
    EXPECT_STREQ(junk.GetLastError(), "error: unknowm format");
    Bytes cut(data.begin(), data.begin() + 20);
    CRaster c;
    EXPECT_FALSE(decodeAs(c, cut, RASTER_FORMAT_JPC));
    EXPECT_STREQ(c.GetLastError(), "error: cannot load image data");
}

TEST(Jpeg2000, SyccAndCmykBecomeRgb) {
    J2kSpec s{.width = 4, .height = 2, .comps = 3, .jp2 = true, .space = OPJ_CLRSPC_SYCC};
    s.sample = [](uint32_t x, uint32_t, uint32_t c) {
        if (x < 2) return c == 0 ? 128 : 128;      // neutral grey
        return c == 0 ? 100 : c == 1 ? 128 : 200;  // red-shifted
    };
    CRaster ycc;
    ASSERT_TRUE(decodeAs(ycc, makeJ2k(s), RASTER_FORMAT_JP2)) << ycc.GetLastError();
    ASSERT_EQ(ycc.GetBpp(), 24u);
    const RGBQUAD grey = ycc.GetPixelColor(0, 0), red = ycc.GetPixelColor(3, 1);
    EXPECT_EQ(grey.rgbRed, 128);
    EXPECT_EQ(grey.rgbBlue, 128);
    EXPECT_NEAR(red.rgbRed, 200, 2);
    EXPECT_NEAR(red.rgbGreen, 49, 2);
    EXPECT_NEAR(red.rgbBlue, 100, 2);

    // sRGB whose components differ in depth is still one colour picture.
    s.space = OPJ_CLRSPC_SRGB;
    s.precs = {8, 8, 4};
    s.sample = [](uint32_t, uint32_t, uint32_t c) { return c == 2 ? 15 : 40; };
    CRaster mixed;
    ASSERT_TRUE(decodeAs(mixed, makeJ2k(s), RASTER_FORMAT_JP2)) << mixed.GetLastError();
    ASSERT_EQ(mixed.GetBpp(), 24u);
    EXPECT_EQ(rgbText(mixed.GetPixelColor(0, 0)), "40,40,255");
    s.precs.clear();

    // A JP2 file around a four-component code stream whose colour box says CMYK.
    s.comps = 4;
    s.jp2 = false;
    s.space = OPJ_CLRSPC_UNSPECIFIED;
    s.sample = [](uint32_t x, uint32_t, uint32_t c) {
        const int32_t cmyk[2][4] = {{0, 255, 255, 0}, {0, 0, 0, 128}};
        return cmyk[x < 2 ? 0 : 1][c];
    };
    const Bytes f = wrapJp2(makeJ2k(s), 4, 2, 4, enumeratedColour(12));
    CRaster cmyk;
    ASSERT_TRUE(decodeAs(cmyk, f, RASTER_FORMAT_JP2)) << cmyk.GetLastError();
    ASSERT_EQ(cmyk.GetBpp(), 24u);
    EXPECT_EQ(cmyk.GetPixelColor(0, 0).rgbRed, 255);
    EXPECT_EQ(cmyk.GetPixelColor(0, 0).rgbGreen, 0);
    EXPECT_EQ(cmyk.GetPixelColor(3, 0).rgbBlue, 127);
}

TEST(Jpeg2000, TooManyComponents) {
    J2kSpec s{.width = 2,
              .height = 2,
              .comps = 65,
              .space = OPJ_CLRSPC_UNSPECIFIED,
              .sample = [](uint32_t, uint32_t, uint32_t c) { return static_cast<int32_t>(c); }};
    CRaster img;
    EXPECT_FALSE(decodeAs(img, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_STREQ(img.GetLastError(), "error: too many components");
}

TEST(Jpeg2000, AllComponentsTogetherAreHeldToTheLimit) {
    // Seventeen 4096 x 4096 components: each alone is an allowed picture, but the decoder
    // would hold 17 x 16M samples. A small stream is written and its size fields enlarged.
    J2kSpec s{.width = 8, .height = 8, .comps = 17, .space = OPJ_CLRSPC_UNKNOWN};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        return static_cast<int32_t>((x + y + c) & 0xFF);
    };
    Bytes data = makeJ2k(s);
    ASSERT_GT(data.size(), 32u);
    ASSERT_EQ(data[2], 0xFF);
    ASSERT_EQ(data[3], 0x51);  // the size marker right after the start of the stream
    auto be32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    be32(8, 4096);   // image width
    be32(12, 4096);  // image height
    be32(24, 4096);  // tile width
    be32(28, 4096);  // tile height
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decodeAs(q, data, RASTER_FORMAT_JPC));
    ASSERT_EQ(q.GetWidth(), 4096u);
    CRaster img;
    EXPECT_FALSE(decodeAs(img, data, RASTER_FORMAT_JPC));
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
}

// A file that starts with either signature but whose header cannot be read is no JPEG-2000
// picture: its size query fails as its decode does, and reports no size and no format.
TEST(Jpeg2000, SizeQueryOfAnUnreadableHeaderFails) {
    J2kSpec s{.width = 8, .height = 6};
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x); };
    for (bool jp2 : {false, true}) {
        s.jp2 = jp2;
        const Bytes whole = makeJ2k(s);
        const uint32_t id = jp2 ? RASTER_FORMAT_JP2 : RASTER_FORMAT_JPC;
        // The signature alone (4 or 12 bytes), and the signature followed by junk.
        Bytes sigOnly(whole.begin(), whole.begin() + (jp2 ? 12 : 4));
        Bytes junk = sigOnly;
        junk.resize(200, 0xA5);
        for (const Bytes& data : {sigOnly, junk}) {
            for (uint32_t given : {id, 0u}) {
                CRaster q;
                q.SetEscape(-1);
                EXPECT_FALSE(decodeAs(q, data, given)) << jp2 << " " << data.size() << " " << given;
                EXPECT_EQ(q.GetWidth(), 0u);
                EXPECT_EQ(q.GetType(), 0u);
            }
        }
        // The whole file still answers.
        CRaster q;
        q.SetEscape(-1);
        ASSERT_TRUE(decodeAs(q, whole, id)) << jp2;
        EXPECT_EQ(q.GetWidth(), 8u);
        EXPECT_EQ(q.GetType(), id);
    }
}

// An embedded profile says what the samples mean: one whose red and blue primaries trade
// places turns the file's red into sRGB blue.
TEST(Jpeg2000, EmbeddedProfileIsConvertedToSrgb) {
    J2kSpec s = colourSpec(6, 3);
    s.space = OPJ_CLRSPC_UNSPECIFIED;
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        const int32_t px[3][3] = {{255, 0, 0}, {200, 30, 10}, {0, 0, 255}};
        return px[(x + y) % 3][c];
    };
    const Bytes file = wrapJp2(makeJ2k(s), 6, 3, 3, profileColour(swappedRedBlueProfile()));
    for (uint32_t id : {uint32_t(RASTER_FORMAT_JP2), 0u}) {
        CRaster img;
        ASSERT_TRUE(decodeAs(img, file, id)) << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        EXPECT_EQ(img.GetType(), static_cast<uint32_t>(RASTER_FORMAT_JP2));
        const int want[3][3] = {{0, 0, 255}, {10, 30, 200}, {255, 0, 0}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x) {
                const RGBQUAD c = topPixel(img, x, y);
                const int* w = want[(x + y) % 3];
                EXPECT_NEAR(c.rgbRed, w[0], 2) << x << "," << y;
                EXPECT_NEAR(c.rgbGreen, w[1], 2) << x << "," << y;
                EXPECT_NEAR(c.rgbBlue, w[2], 2) << x << "," << y;
            }
    }
}

// A colour box naming a space the decoder has no description of (here CIELab, and a number
// no standard gives) is read as a code stream's colours are: red, green and blue as they
// stand. No profile could be made for it, and failing the picture would leave nothing shown.
TEST(Jpeg2000, UnknownColourSpaceIsReadAsRgb) {
    const Bytes stream = makeJ2k(colourSpec(5, 2));
    for (uint32_t space : {14u, 99u}) {
        CRaster img;
        ASSERT_TRUE(
            decodeAs(img, wrapJp2(stream, 5, 2, 3, enumeratedColour(space)), RASTER_FORMAT_JP2))
            << space << " " << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(rgbText(topPixel(img, x, y)), rgbText(colourAt(x, y))) << space;
    }
}

// A grey profile over three components reads the first: the picture is that component's grey,
// as it is under a colour box that says grey.
TEST(Jpeg2000, GreyDescriptionOverThreeComponentsTakesTheFirst) {
    J2kSpec s{.width = 5, .height = 2, .comps = 3, .space = OPJ_CLRSPC_UNSPECIFIED};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        return static_cast<int32_t>(c == 0 ? 40 * x + 7 * y : 255 - c * 100);
    };
    const Bytes stream = makeJ2k(s);
    for (const Bytes& colr : {profileColour(srgbGreyProfile()), enumeratedColour(17)}) {
        CRaster img;
        ASSERT_TRUE(decodeAs(img, wrapJp2(stream, 5, 2, 3, colr), RASTER_FORMAT_JP2))
            << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x) {
                const int g = 40 * x + 7 * y;
                EXPECT_EQ(rgbText(topPixel(img, x, y)),
                          std::to_string(g) + "," + std::to_string(g) + "," + std::to_string(g))
                    << colr[0] << " " << x << "," << y;
            }
    }
}

// A profile Little CMS cannot read, and a CMYK box over three components, leave nothing to
// convert from. Under a single grey component no conversion is asked for, and the profile is
// not read.
TEST(Jpeg2000, ColoursThatCannotBeConverted) {
    const Bytes junkProfile(200, 0x5A);
    const Bytes colour = makeJ2k(colourSpec(4, 2));
    for (const Bytes& colr : {profileColour(junkProfile), enumeratedColour(12)}) {
        CRaster img;
        EXPECT_FALSE(decodeAs(img, wrapJp2(colour, 4, 2, 3, colr), RASTER_FORMAT_JP2)) << colr[0];
        EXPECT_STREQ(img.GetLastError(), "cannot convert to sRGB");
        EXPECT_FALSE(img.IsValid());
    }
    J2kSpec grey{.width = 4, .height = 2};
    grey.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x * 60); };
    CRaster g;
    ASSERT_TRUE(
        decodeAs(g, wrapJp2(makeJ2k(grey), 4, 2, 1, profileColour(junkProfile)), RASTER_FORMAT_JP2))
        << g.GetLastError();
    EXPECT_EQ(g.GetPixelIndex(3, 0), 180);
}

// Components deeper than 8 bits are not converted through their profile: they are shifted to
// 8 bits as they stand.
TEST(Jpeg2000, ProfileOfDeepComponentsIsNotApplied) {
    J2kSpec s{.width = 3, .height = 2, .comps = 3, .prec = 12, .space = OPJ_CLRSPC_UNSPECIFIED};
    s.sample = [](uint32_t, uint32_t, uint32_t c) {
        return static_cast<int32_t>(c == 0 ? 0xFF0 : c == 1 ? 0x1E0 : 0x0A0);
    };
    CRaster img;
    ASSERT_TRUE(decodeAs(img,
                         wrapJp2(makeJ2k(s), 3, 2, 3, profileColour(swappedRedBlueProfile()), 12),
                         RASTER_FORMAT_JP2))
        << img.GetLastError();
    EXPECT_EQ(rgbText(img.GetPixelColor(1, 0)), "255,30,10");
}

// e-YCC is luma and chroma as sYCC is; three equal YCC components deeper than 8 bits are
// converted as well, since taken as they stand their samples would be shown as red, green and
// blue. CMYK deeper than 8 bits is four components, which never make a colour picture: four
// grey frames, one per ink.
TEST(Jpeg2000, YccOfEveryKindAndDepthBecomesRgb) {
    for (uint32_t prec : {8u, 12u}) {
        const int32_t up = prec == 12 ? 16 : 1;
        J2kSpec s{
            .width = 4, .height = 2, .comps = 3, .prec = prec, .space = OPJ_CLRSPC_UNSPECIFIED};
        s.sample = [up](uint32_t x, uint32_t, uint32_t c) {
            if (x < 2) return 128 * up;                       // neutral grey
            return (c == 0 ? 100 : c == 1 ? 160 : 200) * up;  // red, some blue
        };
        const Bytes stream = makeJ2k(s);
        for (uint32_t space : {18u, 24u}) {
            CRaster img;
            ASSERT_TRUE(decodeAs(
                img, wrapJp2(stream, 4, 2, 3, enumeratedColour(space), static_cast<uint8_t>(prec)),
                RASTER_FORMAT_JP2))
                << img.GetLastError();
            ASSERT_EQ(img.GetBpp(), 24u);
            EXPECT_EQ(rgbText(img.GetPixelColor(0, 0)), "128,128,128") << prec << " " << space;
            const RGBQUAD red = img.GetPixelColor(3, 1);
            EXPECT_NEAR(red.rgbRed, 200, 2) << prec << " " << space;
            EXPECT_NEAR(red.rgbGreen, 38, 2) << prec << " " << space;
            EXPECT_NEAR(red.rgbBlue, 156, 2) << prec << " " << space;
        }
    }
    J2kSpec k{.width = 2, .height = 2, .comps = 4, .prec = 12, .space = OPJ_CLRSPC_UNSPECIFIED};
    k.sample = [](uint32_t x, uint32_t, uint32_t c) {
        const int32_t cmyk[2][4] = {{0, 4095, 4095, 0}, {0, 0, 0, 2048}};
        return cmyk[x][c];
    };
    CRaster deepCmyk;
    ASSERT_TRUE(decodeAs(deepCmyk, wrapJp2(makeJ2k(k), 2, 2, 4, enumeratedColour(12), 12),
                         RASTER_FORMAT_JP2))
        << deepCmyk.GetLastError();
    ASSERT_EQ(deepCmyk.GetBpp(), 8u);
    EXPECT_EQ(deepCmyk.GetNumFrames(), 4);
    EXPECT_EQ(deepCmyk.GetPixelIndex(1, 0), 0);  // the cyan ink of the second pixel
}

// The conversion makes colours only; a component the file marks as opacity stays the picture's
// alpha beside them.
TEST(Jpeg2000, OpacityIsKeptBesideTheConvertedColours) {
    J2kSpec s = colourSpec(5, 3);
    s.comps = 4;
    s.jp2 = true;
    s.alphaComp = 3;
    const auto colourOf = s.sample;
    s.sample = [colourOf](uint32_t x, uint32_t y, uint32_t c) {
        return c == 3 ? static_cast<int32_t>(20 * x + 50 * y) : colourOf(x, y, c);
    };
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeJ2k(s), RASTER_FORMAT_JP2)) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.AlphaIsValid());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(rgbText(topPixel(img, x, y)), rgbText(colourAt(x, y)));
            EXPECT_EQ(img.AlphaGet(x, 2 - y), 20 * x + 50 * y);
        }
}

// Opacity as the channel definition gives it where the colours are converted: the first
// opacity channel is the alpha (a second one is neither alpha nor colour). Where nothing is
// converted, components marked as opacity are frames, the first of them still the picture.
TEST(Jpeg2000, OpacityChannelsOfTheChannelDefinition) {
    J2kSpec s = colourSpec(3, 2);
    s.comps = 5;
    const auto colourOf = s.sample;
    s.sample = [colourOf](uint32_t x, uint32_t y, uint32_t c) {
        return c < 3 ? colourOf(x, y, c) : static_cast<int32_t>(c * 40 + x + 10 * y);
    };
    const Bytes stream = makeJ2k(s);
    const Bytes srgb = enumeratedColour(16);
    CRaster two;
    ASSERT_TRUE(decodeAs(
        two,
        wrapJp2(stream, 3, 2, 5, srgb, 8, {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {3, 1, 0}, {4, 1, 0}}),
        RASTER_FORMAT_JP2))
        << two.GetLastError();
    ASSERT_EQ(two.GetBpp(), 24u);
    ASSERT_TRUE(two.AlphaIsValid());
    EXPECT_EQ(two.AlphaGet(2, 0), 120 + 2 + 10);
    EXPECT_EQ(rgbText(topPixel(two, 2, 1)), rgbText(colourAt(2, 1)));

    J2kSpec g{.width = 3, .height = 2, .comps = 2, .space = OPJ_CLRSPC_UNSPECIFIED};
    g.sample = [](uint32_t x, uint32_t, uint32_t c) { return static_cast<int32_t>(50 * c + x); };
    CRaster first;
    ASSERT_TRUE(decodeAs(
        first, wrapJp2(makeJ2k(g), 3, 2, 2, enumeratedColour(17), 8, {{0, 1, 0}, {1, 1, 0}}),
        RASTER_FORMAT_JP2))
        << first.GetLastError();
    EXPECT_EQ(first.GetBpp(), 8u);
    EXPECT_EQ(first.GetNumFrames(), 2);  // nothing is converted: each component a frame
    EXPECT_EQ(first.GetPixelIndex(2, 0), 2);
    EXPECT_FALSE(first.AlphaIsValid());
}

TEST(Jpeg2000, SrgbProfileThatCannotBeMadeFailsTheConversion) {
    const Bytes file = [] {
        J2kSpec s = colourSpec(4, 2);
        s.jp2 = true;
        return makeJ2k(s);
    }();
    {
        CmsOutOfMemory noMemory;
        CRaster img;
        EXPECT_FALSE(decodeAs(img, file, RASTER_FORMAT_JP2));
        EXPECT_STREQ(img.GetLastError(), "cannot create sRGB profile");
    }
    CRaster img;
    EXPECT_TRUE(decodeAs(img, file, RASTER_FORMAT_JP2)) << img.GetLastError();
}

// The row buffers (4 bytes a sample, as wide as the first component) and the converted
// components (4 bytes a pixel) are held to the decoder's buffer limit, to the byte.
TEST(Jpeg2000, BuffersAreHeldToTheLimit) {
    J2kSpec grey{.width = 8, .height = 4};
    grey.sample = [](uint32_t x, uint32_t y, uint32_t) { return static_cast<int32_t>(x + y); };
    J2kSpec deep = colourSpec(8, 4);
    deep.prec = 12;
    J2kSpec colour = colourSpec(8, 4);
    const struct {
        Bytes data;
        uint64_t fits;  // the smallest limit that lets it through
        const char* text;
    } cases[] = {
        {makeJ2k(grey), 8 * 4, "error: cannot allocate memory"},
        {makeJ2k(deep), 8 * 4, "error: cannot allocate memory"},
        {makeJ2k(colour), 8 * 4 * 4, "cannot convert to sRGB"},
    };
    for (const auto& c : cases) {
        {
            BufferLimit limit(c.fits - 1);
            CRaster img;
            EXPECT_FALSE(decodeAs(img, c.data, RASTER_FORMAT_JPC)) << c.text;
            EXPECT_STREQ(img.GetLastError(), c.text);
        }
        BufferLimit limit(c.fits);
        CRaster img;
        EXPECT_TRUE(decodeAs(img, c.data, RASTER_FORMAT_JPC)) << img.GetLastError();
    }
    EXPECT_EQ(CRasterJAS::GetMaxBufferBytes(), uint64_t{512} << 20);
}

// A grey component is held to the limit of the 8-bit picture it makes, not to that of a
// colour picture three times its size. The streams are small ones with their size fields
// enlarged: one that passes the limit fails later, as its data does not cover that size.
TEST(Jpeg2000, GreyComponentsAreHeldToTheLimitOfAGreyPicture) {
    const struct {
        uint32_t width, height, comps;
        const char* text;
    } cases[] = {
        {16384, 16384, 1, "error: cannot load image data"},  // 268,435,456 bytes: the limit
        {16385, 16384, 1, "RASTER_MAX_MEMORY exceeded"},
        {10000, 10000, 1, "error: cannot load image data"},
        {10000, 10000, 3, "RASTER_MAX_MEMORY exceeded"},  // 3 x 100M samples together
    };
    for (const auto& c : cases) {
        J2kSpec s{.width = 8, .height = 8, .comps = c.comps, .space = OPJ_CLRSPC_UNSPECIFIED};
        s.sample = [](uint32_t x, uint32_t y, uint32_t) { return static_cast<int32_t>(x + y); };
        Bytes data = makeJ2k(s);
        ASSERT_EQ(data[3], 0x51);  // the size marker right after the start of the stream
        auto be32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        };
        be32(8, c.width);
        be32(12, c.height);
        be32(24, c.width);  // one tile
        be32(28, c.height);
        CRaster img;
        EXPECT_FALSE(decodeAs(img, data, RASTER_FORMAT_JPC));
        EXPECT_STREQ(img.GetLastError(), c.text) << c.width << "x" << c.height << "x" << c.comps;
    }
}

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header does not come with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
namespace {
// Allocations of exactly `rowBytes` while `watching` is set (the sanitizer allocator reports
// each).
std::atomic<bool> watching{false};
std::atomic<size_t> rowBytes{0}, rowsMade{0};
void onMalloc(const volatile void*, size_t n) {
    if (watching.load(std::memory_order_relaxed) && n == rowBytes.load()) ++rowsMade;
}
void onFree(const volatile void*) {}
}  // namespace
#endif

// A row buffer is made only for a component that is read: a picture of 64 frames whose first
// component is wide and the others narrow (subsampled) makes no row as wide as the first for
// each of them, which a few bytes of a file could otherwise multiply into gigabytes.
TEST(Jpeg2000, OnlyTheComponentsReadGetRowBuffers) {
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs the sanitizer allocator's hooks";
#else
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    ASSERT_TRUE(installed);
    constexpr uint32_t kWide = 20000, kComps = 64;
    J2kSpec s{
        .width = kWide, .height = 2, .comps = kComps, .prec = 12, .space = OPJ_CLRSPC_UNSPECIFIED};
    s.dxs.assign(kComps, 64);
    s.dxs[0] = 1;
    s.sample = [](uint32_t x, uint32_t, uint32_t c) {
        return static_cast<int32_t>((c + x) % 4096);
    };
    const Bytes data = makeJ2k(s);
    ASSERT_FALSE(data.empty());
    for (int frame : {0, 5}) {
        CRaster img;
        img.SetFrame(frame);
        rowBytes = size_t{kWide} * 4;
        rowsMade = 0;
        watching = true;
        const bool ok = decodeAs(img, data, RASTER_FORMAT_JPC);
        watching = false;
        ASSERT_TRUE(ok) << img.GetLastError();
        EXPECT_EQ(img.GetNumFrames(), int(kComps));
        EXPECT_EQ(img.GetWidth(), frame == 0 ? kWide : (kWide + 63) / 64);
        // 12-bit samples (frame + x) shifted down by 4.
        EXPECT_EQ(img.GetPixelIndex(300, 0), (frame + 300) >> 4);
        EXPECT_LT(rowsMade.load(), size_t{8}) << frame << ": " << rowsMade.load();
    }
#endif
}
