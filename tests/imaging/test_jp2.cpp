#include <gtest/gtest.h>

#include <openjpeg.h>

#include <cstring>
#include <functional>

#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

struct MemOut {
    Bytes data{};
    size_t pos = 0;
};
OPJ_SIZE_T writeProc(void* buf, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<MemOut*>(user);
    if (m->pos + n > m->data.size()) m->data.resize(m->pos + n);
    std::memcpy(m->data.data() + m->pos, buf, n);
    m->pos += n;
    return n;
}
OPJ_OFF_T skipProc(OPJ_OFF_T n, void* user) {
    auto* m = static_cast<MemOut*>(user);
    m->pos += static_cast<size_t>(n);
    if (m->pos > m->data.size()) m->data.resize(m->pos);
    return n;
}
OPJ_BOOL seekProc(OPJ_OFF_T n, void* user) {
    static_cast<MemOut*>(user)->pos = static_cast<size_t>(n);
    return OPJ_TRUE;
}

struct J2kSpec {
    uint32_t width = 0, height = 0, comps = 1, prec = 8;
    bool sgnd = false, jp2 = false;
    int alphaComp = -1;             // component marked as opacity in the file's channel definition
    std::vector<uint32_t> precs{};  // per component, when they differ
    OPJ_COLOR_SPACE space = OPJ_CLRSPC_GRAY;
    std::function<int32_t(uint32_t, uint32_t, uint32_t)> sample{};  // (x, y from top, component)
};

Bytes makeJ2k(const J2kSpec& s) {
    std::vector<opj_image_cmptparm_t> parms(s.comps);
    for (auto& p : parms) {
        std::memset(&p, 0, sizeof p);
        p.dx = p.dy = 1;
        p.w = s.width;
        p.h = s.height;
        p.prec = s.precs.empty() ? s.prec : s.precs[static_cast<size_t>(&p - parms.data())];
        p.sgnd = s.sgnd;
    }
    opj_image_t* img = opj_image_create(s.comps, parms.data(), s.space);
    img->x1 = s.width;
    img->y1 = s.height;
    if (s.alphaComp >= 0) img->comps[s.alphaComp].alpha = 1;
    for (uint32_t c = 0; c < s.comps; ++c)
        for (uint32_t y = 0; y < s.height; ++y)
            for (uint32_t x = 0; x < s.width; ++x)
                img->comps[c].data[y * s.width + x] = s.sample(x, y, c);
    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.tcp_numlayers = 1;
    cp.tcp_rates[0] = 0;  // lossless
    cp.cp_disto_alloc = 1;
    cp.irreversible = 0;
    cp.numresolution = 2;
    opj_codec_t* codec = opj_create_compress(s.jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &cp, img);
    MemOut out;
    opj_stream_t* st = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(st, &out, nullptr);
    opj_stream_set_write_function(st, writeProc);
    opj_stream_set_skip_function(st, skipProc);
    opj_stream_set_seek_function(st, seekProc);
    const bool ok =
        opj_start_compress(codec, img, st) && opj_encode(codec, st) && opj_end_compress(codec, st);
    EXPECT_TRUE(ok);
    opj_stream_destroy(st);
    opj_destroy_codec(codec);
    opj_image_destroy(img);
    return out.data;
}

}  // namespace

TEST(Jpeg2000, ColourFileDecodesTo24Bit) {
    J2kSpec s{.width = 13, .height = 7, .comps = 3, .jp2 = true, .space = OPJ_CLRSPC_SRGB};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        const RGBQUAD q = colourAt(static_cast<int>(x), static_cast<int>(y));
        return static_cast<int32_t>(c == 0 ? q.rgbRed : c == 1 ? q.rgbGreen : q.rgbBlue);
    };
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

    s.prec = 8;
    s.sgnd = true;
    s.sample = [](uint32_t x, uint32_t, uint32_t) { return static_cast<int32_t>(x) * 40 - 128; };
    CRaster sg;
    ASSERT_TRUE(decodeAs(sg, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_EQ(sg.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(sg.GetPixelIndex(5, 0), 200);
}

// Grey with opacity is one picture with alpha; without the channel definition (a bare code
// stream) the two components stay two grey frames.
TEST(Jpeg2000, GreyWithOpacityHasAlpha) {
    J2kSpec s{.width = 3, .height = 2, .comps = 2, .jp2 = true, .alphaComp = 1};
    s.sample = [](uint32_t x, uint32_t y, uint32_t c) {
        return static_cast<int32_t>(c == 0 ? 10 * x + y : 100 + 50 * x + y);
    };
    CRaster img;
    ASSERT_TRUE(decodeAs(img, makeJ2k(s), RASTER_FORMAT_JP2)) << img.GetLastError();
    EXPECT_EQ(img.GetNumFrames(), 1);
    ASSERT_EQ(img.GetBpp(), 8u);
    ASSERT_TRUE(img.AlphaIsValid());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(img.GetPixelIndex(x, 1 - y), 10 * x + y);
            EXPECT_EQ(img.AlphaGet(x, 1 - y), 100 + 50 * x + y);
        }
    CRaster second;
    second.SetFrame(1);
    EXPECT_FALSE(decodeAs(second, makeJ2k(s), RASTER_FORMAT_JP2));
    s.jp2 = false;
    CRaster frames;
    ASSERT_TRUE(decodeAs(frames, makeJ2k(s), RASTER_FORMAT_JPC));
    EXPECT_EQ(frames.GetNumFrames(), 2);
    EXPECT_FALSE(frames.AlphaIsValid());
}

TEST(Jpeg2000, FourComponentsAreFrames) {
    J2kSpec s{.width = 4,
              .height = 4,
              .comps = 4,
              .space = OPJ_CLRSPC_UNSPECIFIED,
              .sample = [](uint32_t x, uint32_t, uint32_t c) {
                  return static_cast<int32_t>(c * 50 + x);
              }};
    const Bytes data = makeJ2k(s);
    CRaster first;
    ASSERT_TRUE(decodeAs(first, data, RASTER_FORMAT_JPC)) << first.GetLastError();
    EXPECT_EQ(first.GetNumFrames(), 4);
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
    const Bytes stream = makeJ2k(s);
    auto box = [](Out& o, const char* type, const Bytes& body) {
        o.be32(static_cast<uint32_t>(body.size() + 8));
        o.str(type);
        o.raw(body);
    };
    Out ihdr, colr, header, f;
    ihdr.be32(2);
    ihdr.be32(4);
    ihdr.be16(4);
    ihdr.raw({7, 7, 0, 0});
    colr.raw({1, 0, 0});
    colr.be32(12);
    box(header, "ihdr", ihdr.b);
    box(header, "colr", colr.b);
    box(f, "jP  ", {0x0D, 0x0A, 0x87, 0x0A});
    box(f, "ftyp", {'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '});
    box(f, "jp2h", header.b);
    box(f, "jp2c", stream);
    CRaster cmyk;
    ASSERT_TRUE(decodeAs(cmyk, f.b, RASTER_FORMAT_JP2)) << cmyk.GetLastError();
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
