#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "codec_writers.h"
#include "imaging/decoders.h"
#include "imaging/exif.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

// An EXIF block (the APP1 payload) with IFD entries written in either byte order.
struct ExifEntry {
    uint16_t tag, format;
    uint32_t count;
    Bytes value;  // written inline when <= 4 bytes, else after the directory
};

struct ExifWriter {
    bool motorola = false;
    Out o;
    void w16(uint32_t v) { motorola ? o.be16(v) : o.u16(v); }
    void w32(uint32_t v) { motorola ? o.be32(v) : o.u32(v); }
    Bytes v16(uint32_t v) const {
        return motorola ? Bytes{uint8_t(v >> 8), uint8_t(v)} : Bytes{uint8_t(v), uint8_t(v >> 8)};
    }
    Bytes v32(uint32_t v) const {
        Bytes b = motorola ? Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}
                           : Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return b;
    }
    Bytes rational(uint32_t n, uint32_t d) const {
        Bytes a = v32(n), b = v32(d);
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    // Writes a directory at the current offset (relative to the TIFF header); `next` is the
    // link to the next directory. Returns the directory's offset.
    uint32_t dir(const std::vector<ExifEntry>& entries, uint32_t next) {
        const uint32_t at = static_cast<uint32_t>(o.size() - 6);
        uint32_t extra = at + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        Bytes tail;
        w16(static_cast<uint32_t>(entries.size()));
        for (const auto& e : entries) {
            w16(e.tag);
            w16(e.format);
            w32(e.count);
            if (e.value.size() <= 4) {
                Bytes v = e.value;
                v.resize(4, 0);
                o.raw(v);
            } else {
                w32(extra + static_cast<uint32_t>(tail.size()));
                tail.insert(tail.end(), e.value.begin(), e.value.end());
            }
        }
        w32(next);
        o.raw(tail);
        return at;
    }
    void header() {
        o.str(std::string("Exif\0\0", 6));
        o.str(motorola ? "MM" : "II");
        w16(42);
        w32(8);
    }
};

Bytes ascii(const std::string& s) {
    return Bytes(s.begin(), s.end() + 0);
}

Bytes cameraExif(bool motorola, uint32_t xres, uint16_t unit, uint16_t orientation,
                 const std::string& comment = std::string("ASCII\0\0\0hello   ", 16)) {
    ExifWriter w;
    w.motorola = motorola;
    w.header();
    Bytes make = ascii("Hqlv Camera");
    make.push_back(0);
    w.dir({{0x010F, 2, static_cast<uint32_t>(make.size()), make},
           {0x0112, 3, 1, w.v16(orientation)},
           {0x011A, 5, 1, w.rational(xres, 1)},
           {0x011B, 5, 1, w.rational(xres * 2, 2)},
           {0x0128, 3, 1, w.v16(unit)},
           {0x8827, 3, 1, w.v16(2)},
           {0x9209, 1, 1, Bytes{0x19}},  // a byte-format value
           {0x9286, 7, static_cast<uint32_t>(comment.size()), ascii(comment)}},
          0);
    return w.o.b;
}

JpegSpec gradient(uint32_t w, uint32_t h, int comps) {
    JpegSpec s{.width = w, .height = h, .components = comps};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < comps; ++c)
                s.samples.push_back(static_cast<uint8_t>(c == 0   ? x * 255 / (w - 1)
                                                         : c == 1 ? y * 255 / (h - 1)
                                                                  : 128 + c));
    return s;
}

bool decode(CRaster& img, const Bytes& data, uint32_t id = RASTER_FORMAT_JPG) {
    return decodeAs(img, data, id);
}

int diff(uint8_t a, uint8_t b) {
    return std::abs(static_cast<int>(a) - static_cast<int>(b));
}

}  // namespace

TEST(Jpeg, ColourGreyAndProgressiveDecodeClose) {
    for (bool prog : {false, true}) {
        JpegSpec s = gradient(40, 24, 3);
        s.progressive = prog;
        CRaster img;
        ASSERT_TRUE(decode(img, makeJpeg(s))) << img.GetLastError();
        ASSERT_EQ(img.GetBpp(), 24u);
        EXPECT_FALSE(img.IsIndexed());
        for (uint32_t y = 0; y < 24; y += 5)
            for (uint32_t x = 0; x < 40; x += 7) {
                const RGBQUAD c = topPixel(img, static_cast<int>(x), static_cast<int>(y));
                const uint8_t* p = &s.samples[(y * 40 + x) * 3];
                ASSERT_LE(diff(c.rgbRed, p[0]), 8) << x << "," << y;
                ASSERT_LE(diff(c.rgbGreen, p[1]), 8);
                ASSERT_LE(diff(c.rgbBlue, p[2]), 8);
            }
    }
    JpegSpec g = gradient(16, 16, 1);
    CRaster grey;
    ASSERT_TRUE(decode(grey, makeJpeg(g)));
    ASSERT_EQ(grey.GetBpp(), 8u);
    EXPECT_TRUE(grey.IsGrayScale());
    EXPECT_LE(diff(grey.GetPixelIndex(15, 15), g.samples[15]), 4);
}

TEST(Jpeg, CmykScaledByBlack) {
    JpegSpec s;
    s.width = 16;  // two blocks: each pixel takes its own samples, not its neighbour's
    s.height = 8;
    s.components = 4;
    for (int i = 0; i < 128; ++i) {
        const uint8_t a = i % 16 < 8 ? 200 : 50, b = i % 16 < 8 ? 50 : 200;
        s.samples.insert(s.samples.end(), {a, 100, b, 128});
    }
    CRaster img;
    ASSERT_TRUE(decode(img, makeJpeg(s))) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 24u);
    for (int x : {3, 8}) {
        const RGBQUAD c = img.GetPixelColor(x, 3);
        EXPECT_LE(diff(c.rgbRed, (x < 8 ? 200 : 50) * 128 / 255), 3) << x;
        EXPECT_LE(diff(c.rgbGreen, 100 * 128 / 255), 3) << x;
        EXPECT_LE(diff(c.rgbBlue, (x < 8 ? 50 : 200) * 128 / 255), 3) << x;
    }
}

TEST(Jpeg, ResolutionFromJfifAndExif) {
    JpegSpec s = gradient(8, 8, 3);
    s.densityUnit = 2;
    s.xDensity = 100;
    s.yDensity = 50;
    CRaster cm;
    ASSERT_TRUE(decode(cm, makeJpeg(s)));
    EXPECT_EQ(cm.GetXDPI(), 254);
    EXPECT_EQ(cm.GetYDPI(), 127);
    s.densityUnit = 0;
    s.xDensity = 1;
    s.yDensity = 2;
    CRaster aspect;
    ASSERT_TRUE(decode(aspect, makeJpeg(s)));
    EXPECT_EQ(aspect.GetXDPI(), 96);
    EXPECT_EQ(aspect.GetYDPI(), 192);
    s.yDensity = 0;  // no aspect without both densities
    CRaster flat;
    ASSERT_TRUE(decode(flat, makeJpeg(s)));
    EXPECT_EQ(flat.GetYDPI(), 96);

    s.writeJfif = false;
    s.app1 = cameraExif(false, 72, 1, 6);
    CRasterJPG jpg;
    Bytes data = makeJpeg(s);
    CRasterMemFile f(data.data(), data.size());
    ASSERT_TRUE(jpg.Decode(&f)) << jpg.GetLastError();
    EXPECT_EQ(jpg.GetXDPI(), 72);
    EXPECT_EQ(jpg.GetYDPI(), 72);
    const ExifInfo& ei = jpg.GetExifInfo();
    EXPECT_TRUE(ei.IsExif);
    EXPECT_STREQ(ei.CameraMake, "Hqlv Camera");
    EXPECT_EQ(ei.Orientation, 6);
    EXPECT_EQ(ei.ISOequivalent, 400);
    EXPECT_EQ(ei.FlashUsed, 1);
    EXPECT_STREQ(ei.Comments, "hello");
    // A user comment without the character-code prefix is taken whole.
    s.app1 = cameraExif(false, 72, 1, 6, "plain words");
    Bytes plainData = makeJpeg(s);
    CRasterMemFile pf(plainData.data(), plainData.size());
    CRasterJPG plain;
    ASSERT_TRUE(plain.Decode(&pf));
    EXPECT_STREQ(plain.GetExifInfo().Comments, "plain words");
    EXPECT_EQ(ei.Width, 8);
    EXPECT_EQ(ei.IsColor, 1);
    EXPECT_EQ(ei.Process, 0xC0);

    s.app1 = cameraExif(true, 300, 3, 1);  // centimetres, Motorola order, 0x12C per cm
    CRaster cmExif;
    ASSERT_TRUE(decode(cmExif, makeJpeg(s)));
    EXPECT_EQ(cmExif.GetXDPI(), 762);
}

// EXIF numbers no integer field holds: a resolution per 1/100000 inch, an orientation and
// thumbnail place as doubles, an ISO value that 200 times would overflow. Each field keeps
// its nearest value and the picture decodes.
TEST(Jpeg, ExifNumbersBeyondTheFields) {
    const double huge = 1e300;
    uint64_t hugeBits;
    std::memcpy(&hugeBits, &huge, 8);
    ExifWriter w;
    w.header();
    Bytes hugeDouble = w.v32(uint32_t(hugeBits));
    const Bytes high = w.v32(uint32_t(hugeBits >> 32));
    hugeDouble.insert(hugeDouble.end(), high.begin(), high.end());
    w.dir({{0x0112, 12, 1, hugeDouble},
           {0x011A, 5, 1, w.rational(2000000000, 1)},
           {0x011B, 5, 1, w.rational(3, 1)},
           {0x0128, 3, 1, w.v16(5)},
           {0x0201, 12, 1, hugeDouble},
           {0x8827, 9, 1, w.v32(0x80000000u)},
           {0x9209, 12, 1, hugeDouble}},
          0);
    JpegSpec s = gradient(8, 8, 3);
    s.writeJfif = false;
    s.app1 = w.o.b;
    Bytes data = makeJpeg(s);
    CRasterMemFile f(data.data(), data.size());
    CRasterJPG jpg;
    ASSERT_TRUE(jpg.Decode(&f)) << jpg.GetLastError();
    const ExifInfo& ei = jpg.GetExifInfo();
    EXPECT_EQ(ei.Orientation, 0);  // beyond 1..8
    EXPECT_EQ(ei.ISOequivalent, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ei.FlashUsed, 1);  // the largest whole value, & 7
    EXPECT_EQ(jpg.GetXDPI(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(jpg.GetYDPI(), 76199);  // 3 per 1/100000 inch, the unit a float
    EXPECT_EQ(jpg.GetHeader().biXPelsPerMeter, std::numeric_limits<int32_t>::max());
}

TEST(Jpeg, TruncatedEmptyQueryAndScale) {
    Bytes full = makeJpeg(gradient(64, 64, 3));
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decode(q, full));
    EXPECT_EQ(q.GetWidth(), 64u);
    EXPECT_FALSE(q.IsValid());
    CRaster half;
    half.SetJpegScale(2);
    ASSERT_TRUE(decode(half, full));
    EXPECT_EQ(half.GetWidth(), 32u);

    Bytes cut(full.begin(), full.begin() + static_cast<long>(full.size() * 2 / 3));
    CRaster t;
    ASSERT_TRUE(decode(t, cut)) << t.GetLastError();
    EXPECT_EQ(t.GetHeight(), 64u);

    CRaster empty;
    uint8_t none[1] = {0};
    EXPECT_FALSE(empty.DecodeBuffer(none, 0, RASTER_FORMAT_JPG));
    EXPECT_NE(std::string(empty.GetLastError()).find("mpty"), std::string::npos)
        << empty.GetLastError();

    Bytes junk = full;
    junk[0] = 0x00;
    CRaster j;
    EXPECT_FALSE(decode(j, junk));
    EXPECT_STRNE(j.GetLastError(), "");

    // Cancelling leaves the last-error text as it stood: empty, or an earlier one.
    CRaster cancel;
    cancel.SetEscape(1);
    EXPECT_FALSE(decode(cancel, full));
    EXPECT_STREQ(cancel.GetLastError(), "");
    cancel.SetLastError("earlier");
    EXPECT_FALSE(decode(cancel, full));
    EXPECT_STREQ(cancel.GetLastError(), "earlier");

    CRaster::SetMaxPixels(1000);
    CRaster big;
    EXPECT_FALSE(decode(big, full));
    EXPECT_STREQ(big.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    CRaster::SetMaxPixels(0);
}

// ---- the marker walk and the EXIF directories ----

namespace {

Bytes segment(int marker, const Bytes& payload) {
    Out o;
    o.u8(0xFF);
    o.u8(static_cast<uint32_t>(marker));
    o.be16(static_cast<uint32_t>(payload.size() + 2));
    o.raw(payload);
    return o.b;
}

Bytes soi() {
    return {0xFF, 0xD8};
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kSos = segment(0xDA, {1, 1, 0, 0, 63, 0});

}  // namespace

// The marker walk over d: its verdict, error text, what it printed and where it stopped.
struct Walk {
    bool ok;
    std::string error, printed;
    int64_t tell;
};
Walk walk(Bytes d, bool withInfo = false) {
    ExifInfo info{};
    CRasterMemFile f(d.data(), d.size());
    CRasterExifReader r(withInfo ? &info : nullptr);
    testing::internal::CaptureStdout();
    const bool ok = r.DecodeExif(&f);
    return {ok, r.GetLastError(), testing::internal::GetCapturedStdout(), f.Tell()};
}

TEST(Exif, MarkerWalkRules) {
    const Walk notJpeg = walk({0x12, 0xFF, 0xD8}, true);
    EXPECT_FALSE(notJpeg.ok);
    EXPECT_EQ(notJpeg.tell, 1);  // only the first byte was read
    auto padded = [](int pads) {
        Bytes d = soi();
        d.insert(d.end(), static_cast<size_t>(pads), 0xFF);
        d.insert(d.end(), {0xDA, 0, 2});
        return d;
    };
    // XMP in APP1 is dropped and does not count; 20 other held segments are too many.
    Bytes held = soi();
    for (int i = 0; i < 30; ++i)
        held = cat({held, segment(0xE1, ascii("http://ns.adobe.com/xap/1.0/"))});
    for (int i = 0; i < 19; ++i) held = cat({held, segment(0xE2, {1, 2})});
    const struct {
        Bytes data;
        bool ok;
        const char* error;    // nullptr: not looked at
        const char* printed;  // nullptr: not looked at
    } cases[] = {
        {padded(6), true, nullptr, ""},
        {padded(7), false, nullptr, "too many padding bytes\n"},
        {cat({held, kSos}), true, nullptr, nullptr},
        {cat({held, segment(0xE2, {1}), kSos}), false, "Too many sections in jpg file", nullptr},
        {cat({soi(), Bytes{0xFF, 0xE0, 0x00, 0x01}}), false, "invalid marker", nullptr},
        {cat({soi(), Bytes{0xFF, 0xE0, 0x00}}), false, "Premature end of file?", nullptr},
        {cat({soi(), Bytes{0xFF, 0xE0, 0x00, 0x10, 1, 2}}), false, "Premature end of file?",
         nullptr},
        {cat({soi(), Bytes{0xFF, 0xD9, 0x00, 0x02}}), false, nullptr, "No image in jpeg!\n"},
    };
    for (const auto& c : cases) {
        const Walk w = walk(c.data);
        EXPECT_EQ(w.ok, c.ok) << w.error << w.printed;
        if (c.error) {
            EXPECT_EQ(w.error, c.error);
        }
        if (c.printed) {
            EXPECT_EQ(w.printed, c.printed);
        }
    }
    // A frame header too short to hold its fields is kept but not parsed.
    EXPECT_TRUE(walk(cat({soi(), segment(0xC0, {8}), kSos}), true).ok);
}

TEST(Exif, CommentSegmentIsCleaned) {
    Bytes d = cat(
        {soi(), segment(0xFE, {'a', '\r', '\n', 'b', 0x01}), segment(0xFE, ascii("second")), kSos});
    ExifInfo info{};
    CRasterMemFile f(d.data(), d.size());
    CRasterExifReader r(&info);
    ASSERT_TRUE(r.DecodeExif(&f));
    EXPECT_STREQ(info.Comments, "a\nb?");
}

// Floats and doubles of a Motorola-order block are big-endian like its integers; read as
// stored, on this little-endian host, they would be nonsense. Both orders give the values.
TEST(Exif, FloatsAndDoublesFollowTheBlocksByteOrder) {
    const float xres = 72.5f;
    const double yres = 300.25;
    uint32_t fbits;
    uint64_t dbits;
    std::memcpy(&fbits, &xres, 4);
    std::memcpy(&dbits, &yres, 8);
    for (bool motorola : {false, true}) {
        ExifWriter w;
        w.motorola = motorola;
        w.header();
        const Bytes f = w.v32(fbits);
        Bytes d = w.v32(static_cast<uint32_t>(motorola ? dbits >> 32 : dbits));
        const Bytes second = w.v32(static_cast<uint32_t>(motorola ? dbits : dbits >> 32));
        d.insert(d.end(), second.begin(), second.end());
        w.dir({{0x011A, 11, 1, f}, {0x011B, 12, 1, d}}, 0);
        ExifInfo info{};
        CRasterExifReader r(&info);
        ASSERT_TRUE(r.ProcessExif(w.o.b.data(), static_cast<uint32_t>(w.o.size() + 2)));
        EXPECT_EQ(info.Xresolution, xres) << motorola;
        EXPECT_EQ(info.Yresolution, static_cast<float>(yres)) << motorola;
        EXPECT_EQ(r.ConvertAnyFormat(f.data(), 11), xres) << motorola;
        EXPECT_EQ(r.ConvertAnyFormat(d.data(), 12), yres) << motorola;
    }
}

TEST(Exif, FrameHeaderOfEightBytesIsTheShortestRead) {
    const uint8_t sof[8] = {0, 8, 8, 0, 20, 0, 30, 3};  // length, precision, height, width, 3
    for (uint32_t length : {7u, 8u}) {
        ExifInfo info{};
        CRasterExifReader r(&info);
        r.ProcessFrameHeader(sof, 0xC2, length);
        EXPECT_EQ(info.Height, length == 8 ? 20 : 0);
        EXPECT_EQ(info.Width, length == 8 ? 30 : 0);
        EXPECT_EQ(info.IsColor, length == 8 ? 1 : 0);
        EXPECT_EQ(info.Process, length == 8 ? 0xC2 : 0);
    }
}

TEST(Exif, HeaderErrors) {
    const struct {
        std::string block;
        const char* error;
    } cases[] = {
        {std::string("Exif\0\0XX", 8), "Invalid Exif alignment marker."},
        {std::string("Exox\0\0II", 8), "Incorrect Exif header"},
        {std::string("Exif\0\0II\x2B\0", 10), "Invalid Exif start (1)"},
    };
    for (const auto& c : cases) {
        ExifInfo info{};
        CRasterExifReader r(&info);
        Bytes b = ascii(c.block);
        b.resize(20, 0);
        EXPECT_FALSE(r.ProcessExif(b.data(), static_cast<uint32_t>(b.size() + 2)));
        EXPECT_STREQ(r.GetLastError(), c.error);
    }
    // The payload must hold "Exif", two zero bytes and the 8-byte block header: one byte
    // less is no EXIF header, and the whole of it reaches the first directory's bounds.
    const std::string header("Exif\0\0II*\0\x08\0\0\0", 14);
    for (size_t n : {size_t{8}, size_t{13}, size_t{14}}) {
        ExifInfo info{};
        CRasterExifReader r(&info);
        Bytes tiny = ascii(header.substr(0, n));
        EXPECT_FALSE(r.ProcessExif(tiny.data(), static_cast<uint32_t>(tiny.size() + 2)));
        EXPECT_STREQ(r.GetLastError(),
                     n < 14 ? "Incorrect Exif header" : "Illegally sized directory")
            << n;
    }
    // No file, no walk.
    ExifInfo info{};
    CRasterExifReader r(&info);
    EXPECT_FALSE(r.DecodeExif(nullptr));
}

TEST(Exif, DirectoryBoundsAndLoops) {
    for (bool motorola : {false, true}) {
        // IFD0 links to IFD1, which holds a thumbnail.
        ExifWriter w;
        w.motorola = motorola;
        w.header();
        const uint32_t ifd1 = 8 + 2 + 12 + 4;
        w.dir({{0x0112, 3, 1, w.v16(3)}}, ifd1);
        const uint32_t thumbAt = ifd1 + 2 + 24 + 4;
        w.dir({{0x0201, 4, 1, w.v32(thumbAt)}, {0x0202, 4, 1, w.v32(4)}}, 0);
        w.o.raw({0xFF, 0xD8, 0xFF, 0xD9});
        ExifInfo info{};
        CRasterExifReader r(&info);
        ASSERT_TRUE(r.ProcessExif(w.o.b.data(), static_cast<uint32_t>(w.o.size() + 2)))
            << r.GetLastError();
        EXPECT_EQ(info.Orientation, 3);
        ASSERT_EQ(info.ThumbnailSize, 4u);
        EXPECT_EQ(info.ThumbnailPointer[1], 0xD8);
    }
    const char* const nesting = "Maximum directory nesting exceeded (corrupt exif header)";
    const char* const pointer = "Illegal pointer offset value in EXIF.";
    const struct {
        std::function<void(ExifWriter&)> build;
        bool ok;
        const char* error;
        int iso;  // what was read all the same
    } cases[] = {
        // A directory that links to itself stops after five levels with the nesting message;
        // the walk that reached it still succeeds.
        {[](ExifWriter& w) {
             w.dir({{0x8827, 3, 1, w.v16(100)}}, 8);
         },
         true, nesting, 100},
        // An entry that counts no components still has the value its value bytes hold.
        {[](ExifWriter& w) {
             w.dir({{0x8827, 3, 0, w.v16(300)}}, 0);
         },
         true, "", 300},
        // Bad orientation: error text, orientation 0, the rest still read.
        {[](ExifWriter& w) {
             w.dir({{0x0112, 3, 1, w.v16(9)}, {0x8827, 3, 1, w.v16(200)}}, 0);
         },
         true, "Undefined rotation value", 200},
        // A value offset near 4 GB must not wrap around into the block.
        {[](ExifWriter& w) {
             for (uint32_t v : {1u, 0x010Fu, 2u}) w.o.u16(v);
             for (uint32_t v : {0x10u, 0xFFFFFFF8u, 0u}) w.o.u32(v);
         },
         false, pointer, 0},
        // Huge component count: a 64-bit byte count, refused.
        {[](ExifWriter& w) {
             w.dir({{0x011A, 5, 0x40000000u, {}}}, 0);
         },
         false, pointer, 0},
        {[](ExifWriter& w) { w.o.u16(4000); }, false, "Illegally sized directory", 0},
        {[](ExifWriter& w) {
             w.dir({{0x0112, 13, 1, w.v16(1)}}, 0);
         },
         false, "Illegal format code in EXIF dir", 0},
        {[](ExifWriter& w) {
             w.dir({{0x8769, 4, 1, w.v32(5000)}}, 0);
         },
         false, "Illegal subdirectory link", 0},
        // Chains deeper than four levels stop with the nesting message; the outer walk succeeds.
        {[](ExifWriter& w) {
             for (uint32_t i = 0; i < 7; ++i)
                 w.dir({{0x8827, 3, 1, w.v16(100 + i)}}, i == 6 ? 0 : 8 + 18 * (i + 1));
         },
         true, nesting, 104},
        // More directories than any camera writes: each of IFD0's 80 links leads to its own
        // empty directory.
        {[](ExifWriter& w) {
             const uint32_t links = 80, first = 8 + 2 + 12 * links + 4;
             w.w16(links);
             for (uint32_t i = 0; i < links; ++i) {
                 w.w16(0x8769);
                 w.w16(4);
                 w.w32(1);
                 w.w32(first + 6 * i);
             }
             w.w32(0);
             for (uint32_t i = 0; i < links; ++i) {
                 w.w16(0);
                 w.w32(0);
             }
         },
         false, nesting, 0},
    };
    for (const auto& c : cases) {
        ExifWriter w;
        w.header();
        c.build(w);
        ExifInfo info{};
        CRasterExifReader r(&info);
        EXPECT_EQ(r.ProcessExif(w.o.b.data(), static_cast<uint32_t>(w.o.size() + 2)), c.ok)
            << c.error;
        EXPECT_STREQ(r.GetLastError(), c.error);
        EXPECT_EQ(info.ISOequivalent, c.iso) << c.error;
        if (c.iso == 200) {
            EXPECT_EQ(info.Orientation, 0);
        }
    }
}

TEST(Jpeg, GreyAndQuantisedOutputOptions) {
    const Bytes data = makeJpeg(gradient(32, 16, 3));
    CRaster grey;
    grey.SetCodecOption(0x80, RASTER_FORMAT_JPG);
    ASSERT_TRUE(decode(grey, data)) << grey.GetLastError();
    EXPECT_EQ(grey.GetBpp(), 8u);
    EXPECT_TRUE(grey.IsGrayScale());
    CRaster quant;
    quant.SetCodecOption(0x100 | 0x400, RASTER_FORMAT_JPG);
    quant.SetJpegQuality(16);
    ASSERT_TRUE(decode(quant, data)) << quant.GetLastError();
    EXPECT_EQ(quant.GetBpp(), 8u);
    // Every pixel's palette colour is close to the picture's.
    const RGBQUAD c = topPixel(quant, 31, 15), want = {128 + 2, 255, 255, 0};
    EXPECT_LE(diff(c.rgbRed, want.rgbRed), 60);
    // Only the colours the quantiser made are set; the rest of the palette stays black.
    int used = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) used = std::max<int>(used, quant.GetPixelIndex(x, y));
    for (int i = used + 1; i < 256; ++i)
        ASSERT_EQ(rgbText(quant.GetPaletteColor(static_cast<uint8_t>(i))), "0,0,0") << i;
}

// The quantiser gets the JPEG quality value as its number of colours, as it stands: below the
// 8 colours libjpeg's two-pass quantiser makes, the decode fails with libjpeg's own message.
TEST(Jpeg, QuantisedColourCountIsTheQualityAsItStands) {
    const Bytes data = makeJpeg(gradient(32, 16, 3));
    for (float quality : {7.0f, 8.0f, 9.0f}) {
        CRaster quant;
        quant.SetCodecOption(0x100, RASTER_FORMAT_JPG);
        quant.SetJpegQuality(quality);
        const bool ok = decode(quant, data);
        if (quality < 8) {
            EXPECT_FALSE(ok);
            EXPECT_STREQ(quant.GetLastError(), "Cannot quantize to fewer than 8 colors");
            continue;
        }
        ASSERT_TRUE(ok) << quality << " " << quant.GetLastError();
        int used = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) used = std::max<int>(used, quant.GetPixelIndex(x, y));
        EXPECT_LT(used, static_cast<int>(quality)) << quality;
    }
}

// A progressive file of more scans than any encoder writes (every AC coefficient of every
// component in scans of its own, refined bit by bit) is refused at its 1,001st scan rather
// than taken in scan after scan; 1,000 scans still decode.
TEST(Jpeg, ScansBeyondAThousandAreRefused) {
    auto script = [](bool oneMore) {
        std::vector<JpegScan> scans;
        // DC of all three components together, in one scan or refined in a second.
        scans.push_back({.comps = 3, .component = {0, 1, 2}, .al = oneMore ? 1 : 0});
        if (oneMore) scans.push_back({.comps = 3, .component = {0, 1, 2}, .ah = 1});
        // Per component 333 AC scans: coefficients 1-18 in six, the other 45 in five.
        for (int comp = 0; comp < 3; ++comp)
            for (int k = 1; k <= 63; ++k) {
                const int bits = k <= 18 ? 5 : 4;
                scans.push_back({.component = {comp}, .ss = k, .se = k, .al = bits});
                for (int ah = bits; ah > 0; --ah)
                    scans.push_back(
                        {.component = {comp}, .ss = k, .se = k, .ah = ah, .al = ah - 1});
            }
        return scans;
    };
    for (bool oneMore : {false, true}) {
        JpegSpec s{.width = 8, .height = 8, .samples = Bytes(8 * 8 * 3, 0)};
        for (size_t i = 0; i < s.samples.size(); ++i) s.samples[i] = static_cast<uint8_t>(i * 7);
        s.scans = script(oneMore);
        ASSERT_EQ(s.scans.size(), oneMore ? 1001u : 1000u);
        CRaster img;
        EXPECT_EQ(decodeAs(img, makeJpeg(s), RASTER_FORMAT_JPG), !oneMore) << img.GetLastError();
        if (oneMore) {
            EXPECT_STREQ(img.GetLastError(), "Requested features are incompatible");
            EXPECT_FALSE(img.IsValid());
        }
    }
}
