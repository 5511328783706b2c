// ".pps" pictures: run-length codes, round trips through the reader for every coding mode and
// form, named palettes and malformed files.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/render/blitter.h"
#include "engine/render/global_palette.h"
#include "engine/render/pps.h"
#include "log_capture.h"
#include "pps_encoder.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header does not come with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
#define HQLV_TEST_MALLOC_HOOKS 1
#endif

namespace hqlv::engine {
namespace {

using namespace test;

TEST(PpsRunLength, DocumentedCodes) {
    std::vector<uint8_t> out(3);
    EXPECT_EQ(PpsDecodeRun(std::vector<uint8_t>{0x0C, 0x05}, out, 1), 3u);
    EXPECT_EQ(out, (std::vector<uint8_t>{5, 5, 5}));
    out.assign(2, 0);
    EXPECT_EQ(PpsDecodeRun(std::vector<uint8_t>{0x09, 0x07, 0x08}, out, 1), 2u);
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 8}));
    out.assign(68, 0);
    EXPECT_EQ(PpsDecodeRun(std::vector<uint8_t>{0x12, 0x01, 0x33}, out, 1), 68u);
    EXPECT_EQ(out, std::vector<uint8_t>(68, 0x33));
    // 3-byte samples: a long literal (op 3) of 65 samples.
    std::vector<uint8_t> in{0x07, 0x01};
    for (int i = 0; i < 65 * 3; ++i) in.push_back(uint8_t(i));
    out.assign(65 * 3, 0);
    EXPECT_EQ(PpsDecodeRgbRle(in, out), 65u * 3);
    EXPECT_EQ(out, std::vector<uint8_t>(in.begin() + 2, in.end()));
}

// Decoding stops where the part's bytes or the plane end: a run that would pass either is cut
// there, and the bytes written are counted.
TEST(PpsRunLength, RunsAreCutAtThePartsAndThePlanesEnd) {
    struct Case {
        const char* what;
        std::vector<uint8_t> codes;
        int sampleSize;
        size_t plane;
        std::vector<uint8_t> expect;  // the whole plane afterwards
        size_t written;
    } cases[] = {
        {"run past the plane", {0x0C, 0x05}, 1, 2, {5, 5}, 2},
        {"run at the exact end", {0x08, 0x07, 0x04, 0x09}, 1, 3, {7, 7, 9}, 3},
        {"codes after a full plane", {0x0C, 0x05, 0x0C, 0x06}, 1, 3, {5, 5, 5}, 3},
        {"run short of the plane", {0x0C, 0x05}, 1, 4, {5, 5, 5, 0}, 3},
        {"literal past the plane", {0x0D, 1, 2, 3, 0x08, 9}, 1, 2, {1, 2}, 2},
        {"literal past the part", {0x0D, 0x05}, 1, 4, {5, 0, 0, 0}, 1},
        {"literal then a run", {0x09, 1, 2, 0x08, 3}, 1, 4, {1, 2, 3, 3}, 4},
        {"3-byte literal cut in a sample", {0x09, 1, 2, 3, 4, 5}, 3, 6, {1, 2, 3, 4, 5, 0}, 5},
        {"count byte missing", {0x02}, 1, 4, {0, 0, 0, 0}, 0},
        {"repeated sample not whole", {0x10, 1, 2}, 3, 6, {0, 0, 0, 0, 0, 0}, 0},
        {"3-byte run past the plane", {0x0C, 1, 2, 3}, 3, 7, {1, 2, 3, 1, 2, 3, 1}, 7},
        {"long count one short of its run",
         {0x12, 0x01, 0x33},
         1,
         67,
         std::vector<uint8_t>(67, 0x33),
         67},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> out(c.plane);
        EXPECT_EQ(PpsDecodeRun(c.codes, out, c.sampleSize), c.written);
        EXPECT_EQ(out, c.expect);
    }
    std::vector<uint8_t> out(2);
    EXPECT_EQ(PpsDecodeRun({}, out, 1), 0u);
    EXPECT_EQ(PpsDecodeRun(std::vector<uint8_t>{0x0C, 0x05}, std::span<uint8_t>(), 1), 0u);
}

// A zlib part inflates into at most its plane; a stream that is cut, damaged or whose
// checksum is wrong gives the bytes it inflated, and its result refuses nothing.
TEST(PpsInflateTest, InflatesIntoAtMostThePlaneWhateverTheResult) {
    const std::vector<uint8_t> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<uint8_t> four(4);
    EXPECT_EQ(PpsInflate(Deflate(ten), four), 4u);
    EXPECT_EQ(four, (std::vector<uint8_t>{0, 1, 2, 3}));

    std::vector<uint8_t> exact(10);
    EXPECT_EQ(PpsInflate(Deflate(ten), exact), 10u);
    EXPECT_EQ(exact, ten);

    std::vector<uint8_t> twelve(12, 0xEE);
    EXPECT_EQ(PpsInflate(Deflate(ten), twelve), 10u);  // short of the plane: the rest stays
    EXPECT_EQ(std::vector<uint8_t>(twelve.begin() + 10, twelve.end()),
              (std::vector<uint8_t>{0xEE, 0xEE}));

    std::vector<uint8_t> stored = StoredZlib(ten);
    std::vector<uint8_t> cut(stored.begin(), stored.begin() + kStoredHead + 6);
    std::vector<uint8_t> plane(10);
    EXPECT_EQ(PpsInflate(cut, plane), 6u);
    EXPECT_EQ(plane, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 0, 0, 0, 0}));

    std::vector<uint8_t> badSum = stored;
    badSum.back() ^= 0xFF;
    plane.assign(10, 0);
    EXPECT_EQ(PpsInflate(badSum, plane), 10u);
    EXPECT_EQ(plane, ten);

    plane.assign(10, 0);
    EXPECT_EQ(PpsInflate(std::vector<uint8_t>{1, 2, 3}, plane), 0u);  // not zlib at all
    EXPECT_EQ(PpsInflate({}, plane), 0u);
    EXPECT_EQ(plane, std::vector<uint8_t>(10, 0));
}

std::vector<uint8_t> ColourPixels(int w, int h, int seed, bool alpha) {
    std::vector<uint8_t> v(size_t(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        // stretches of equal pixels so that runs and literals both occur
        int base = (i / 5 + seed) % 7;
        v[4 * i] = uint8_t(base * 30);
        v[4 * i + 1] = uint8_t(i % 3 == 0 ? base : 200);
        v[4 * i + 2] = uint8_t(seed * 40);
        v[4 * i + 3] = alpha ? uint8_t((i * 11) % 256) : 255;
    }
    return v;
}
std::vector<uint8_t> IndexPixels(int w, int h, int seed, bool pairs) {
    std::vector<uint8_t> v;
    for (int i = 0; i < w * h; ++i) {
        v.push_back(uint8_t(i < 100 ? 9 : (i * 7 + seed) % 23));  // a run of 100 first
        if (pairs) v.push_back(uint8_t(i % 4 == 0 ? 0 : 255 - i % 200));
    }
    return v;
}

struct Form {
    const char* name;
    uint32_t picFlags;
    uint32_t frameFlags;
};

TEST(PpsRoundTrip, EveryModeAndForm) {
    const Form forms[] = {
        {"colour", 0x01, 0x00},
        {"colour+alpha", 0x08, 0x04},
        {"index local palette", 0x04 | 0x01, 0x01},
        {"index+alpha global palette", 0x02 | 0x08, 0x05},
    };
    const uint16_t W = 13, H = 11;
    for (uint8_t mode : {1, 3, 4, 5, 6}) {
        for (const Form& form : forms) {
            for (bool zlibA : {false, true}) {
                if (zlibA && mode != 6) continue;
                SCOPED_TRACE(std::string(form.name) + " mode " + std::to_string(mode) +
                             (zlibA ? " zlib" : ""));
                EncPicture p;
                p.mode = mode;
                p.flags = form.picFlags | 0x10 | 0x20;
                p.width = W;
                p.height = H;
                p.key = 9;
                p.trailer = 0x12345678;
                p.paletteName = "table-green";
                if (form.picFlags & 0x04) {
                    p.paletteEntries = 3;
                    p.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9};
                }
                for (int k = 0; k < 3; ++k) {
                    EncFrame f;
                    f.flags = form.frameFlags | (zlibA ? 0x20 : 0);
                    f.delay = 100 + k * 10;
                    f.decoded = (form.frameFlags & 1) ? IndexPixels(W, H, k, form.frameFlags & 4)
                                                      : ColourPixels(W, H, k, form.frameFlags & 4);
                    p.frames.push_back(f);
                }
                auto bytes = EncodePps(p);
                EnginePicture pic;
                pic.resourceId = 77;
                const uint32_t total = ParsePpsHeader(bytes, pic);
                size_t frameSize = p.frames[0].decoded.size();
                ASSERT_EQ(total, frameSize * 3);
                EXPECT_EQ(pic.resourceId, 77u);
                EXPECT_EQ(pic.width, W);
                EXPECT_EQ(pic.frameHeight, H);
                EXPECT_EQ(pic.frameCount, 3);
                EXPECT_EQ(pic.flags, p.flags);
                EXPECT_EQ(pic.dataSize, total);
                EXPECT_EQ(pic.trailerHigh, 0x1234);
                EXPECT_EQ(pic.trailerLow, 0x5678);
                ASSERT_NE(pic.frameDelays, nullptr);
                EXPECT_EQ(pic.frameDelays[0], 100u);
                EXPECT_EQ(pic.frameDelays[2], 120u);
                for (int k = 0; k < 3; ++k) {
                    std::vector<uint8_t> got(pic.pixels + k * frameSize,
                                             pic.pixels + (k + 1) * frameSize);
                    EXPECT_EQ(got, p.frames[k].decoded) << "frame " << k;
                }
                if (form.picFlags & 0x02) {
                    EXPECT_EQ(pic.key, 256u);  // named palette without key flag
                    EXPECT_EQ(pic.palette, nullptr);
                    EXPECT_EQ(pic.paletteName, "table-green");
                } else if (form.picFlags & 0x04) {
                    EXPECT_EQ(pic.key, 9u);
                    ASSERT_NE(pic.palette, nullptr);
                    EXPECT_EQ(pic.palette[8], 9);
                    for (size_t i = 9; i < kPaletteBytes; ++i) ASSERT_EQ(pic.palette[i], 0);
                }
                FreePpsImage(pic);
                EXPECT_EQ(pic.pixels, nullptr);
                EXPECT_EQ(pic.width, 0);
                EXPECT_EQ(pic.resourceId, 0u);
                EXPECT_EQ(pic.frameHeight, 0);
                EXPECT_EQ(pic.dataSize, 0u);
                EXPECT_EQ(pic.key, 0u);
                EXPECT_EQ(pic.frameCount, 0);
                EXPECT_EQ(pic.flags, 0u);
                EXPECT_EQ(pic.palette, nullptr);
                EXPECT_EQ(pic.paletteEntries, 0u);
                EXPECT_EQ(pic.frameDelays, nullptr);
                EXPECT_EQ(pic.trailerHigh, 0);
                EXPECT_EQ(pic.trailerLow, 0);
                EXPECT_TRUE(pic.paletteName.empty());
                EXPECT_TRUE(pic.ownedPixels.empty() && pic.ownedPalette.empty() &&
                            pic.ownedDelays.empty());
            }
        }
    }
}

TEST(PpsRoundTrip, SmallCasesAndModeTwo) {
    // Two frames of 4 × 2 colour pixels: 64 bytes, frame 1 at byte 32.
    EncPicture p;
    p.mode = 3;
    p.flags = 0;
    p.width = 4;
    p.height = 2;
    for (int k = 0; k < 2; ++k) {
        EncFrame f;
        f.decoded = ColourPixels(4, 2, k + 1, false);
        p.frames.push_back(f);
    }
    auto bytes = EncodePps(p);
    EnginePicture pic;
    ASSERT_EQ(ParsePpsHeader(bytes, pic), 64u);
    EXPECT_EQ(std::vector<uint8_t>(pic.pixels + 32, pic.pixels + 64), p.frames[1].decoded);
    EXPECT_EQ(pic.frameDelays, nullptr);

    // Flags 0x02 and 0x04 together: only the name is read, frames at 64.
    EncPicture g;
    g.mode = 1;
    g.flags = 0x02 | 0x04 | 0x01;
    g.width = g.height = 2;
    g.key = 3;
    g.paletteName = "n";
    g.paletteEntries = 200;
    EncFrame f;
    f.flags = 1;
    f.decoded = {1, 2, 3, 4};
    g.frames.push_back(f);
    EnginePicture gp;
    ASSERT_EQ(ParsePpsHeader(EncodePps(g), gp), 4u);
    EXPECT_EQ(gp.key, 3u);
    EXPECT_EQ(std::vector<uint8_t>(gp.pixels, gp.pixels + 4), f.decoded);
    EXPECT_EQ(gp.paletteEntries, 200u);

    // Mode 2 decodes nothing: the pixels are defined zeros.
    g.mode = 2;
    EnginePicture m2;
    ASSERT_EQ(ParsePpsHeader(EncodePps(g), m2), 4u);
    EXPECT_EQ(std::vector<uint8_t>(m2.pixels, m2.pixels + 4), std::vector<uint8_t>(4, 0));
}

EncPicture SmallValid() {
    EncPicture p;
    p.mode = 4;
    p.flags = 0x04 | 0x08 | 0x10 | 0x20;
    p.width = 6;
    p.height = 5;
    p.paletteEntries = 2;
    p.palette = {10, 20, 30, 40, 50, 60};
    for (int k = 0; k < 2; ++k) {
        EncFrame f;
        f.flags = 0x05;
        f.decoded = IndexPixels(6, 5, k, true);
        p.frames.push_back(f);
    }
    return p;
}

// ---- byte-built files: the header's sizes are taken as they stand ----

std::vector<uint8_t> Cut(std::vector<uint8_t> v, size_t n) {
    v.resize(n);
    return v;
}

std::vector<uint8_t> Pixels(const EnginePicture& pic) {
    return std::vector<uint8_t>(pic.pixels, pic.pixels + pic.dataSize);
}

// Each frame decodes into its own place, its decoded size from the sum of the sizes before
// it, cut where the buffer ends; runs and zlib parts that would pass a plane are cut there.
TEST(PpsTrustedSizes, FramesDecodeIntoTheirOwnPlaceAndNoFurther) {
    const std::vector<uint8_t> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<uint8_t> twelve{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
    const RawFrame nines{1, {0x10, 9}, {}, 4};
    struct Case {
        const char* what;
        RawHeader h;
        std::vector<RawFrame> frames;
        std::vector<uint8_t> expect;
    } cases[] = {
        {"index run past the plane",
         {3, 0, 2, 2, 2, 0, 8},
         {{1, {0x18, 5}, {}, 4}, nines},
         {5, 5, 5, 5, 9, 9, 9, 9}},
        {"index run at the exact end",
         {3, 0, 2, 2, 2, 0, 8},
         {{1, {0x10, 5}, {}, 4}, nines},
         {5, 5, 5, 5, 9, 9, 9, 9}},
        {"colour run past the plane",
         {3, 0, 2, 1, 2, 0, 16},
         {{0, {0x0C, 1, 2, 3}, {}, 8}, {0, {0x08, 7, 8, 9}, {}, 8}},
         {1, 2, 3, 255, 1, 2, 3, 255, 7, 8, 9, 255, 7, 8, 9, 255}},
        {"alpha run past the plane",
         {3, 0, 1, 1, 2, 0, 8},
         {{4, {0x08, 1, 2, 3}, {0x0C, 60}, 8}},
         {1, 2, 3, 60, 1, 2, 3, 60}},
        {"zlib part longer than its plane",
         {5, 0, 2, 2, 2, 0, 8},
         {{1, Deflate(ten), {}, 4}, {1, Deflate({9, 9, 9, 9}), {}, 4}},
         {0, 1, 2, 3, 9, 9, 9, 9}},
        {"mode 6 zlib part longer than its plane",
         {6, 0, 1, 2, 2, 0, 4},
         {{0x21, Deflate(ten), {}, 4}},
         {0, 1, 2, 3}},
        {"truncated zlib colour part",
         {5, 0, 1, 2, 2, 0, 16},
         {{0, Cut(StoredZlib(twelve), kStoredHead + 7), {}, 16}},
         {10, 11, 12, 255, 13, 14, 15, 255, 16, 0, 0, 255, 0, 0, 0, 255}},
        {"zlib alpha plane longer than its plane",
         {4, 0, 1, 1, 2, 0, 8},
         {{4, {0x08, 1, 2, 3}, Deflate({50, 60, 70, 80}), 8}},
         {1, 2, 3, 50, 1, 2, 3, 60}},
        {"truncated zlib alpha plane of index pairs",
         {6, 0, 1, 2, 2, 0, 8},
         {{5, {0x10, 4}, Cut(StoredZlib({1, 2, 3, 4}), kStoredHead + 2), 8}},
         {4, 1, 4, 2, 4, 255, 4, 255}},
        {"total smaller than the frames",
         {3, 0, 2, 2, 2, 0, 6},
         {{1, {0x10, 5}, {}, 4}, nines},
         {5, 5, 5, 5, 9, 9}},
        {"frame size smaller than its pixels",
         {3, 0, 2, 2, 1, 0, 8},
         {{0, {0x08, 1, 2, 3}, {}, 4}, {1, {0x10, 6}, {}, 4}},
         {1, 2, 3, 255, 6, 6, 6, 6}},
        {"index frame filling its own size past width x height",
         {3, 0, 1, 1, 1, 0, 3},
         {{1, {0x0C, 5}, {}, 3}},
         {5, 5, 5}},
        {"mode 1 copies up to the frame's size",
         {1, 0, 2, 1, 1, 0, 5},
         {{0, {1, 2, 3, 4, 5}, {}, 3}, {0, {6}, {}, 2}},
         {1, 2, 3, 6, 0}},
        {"coding mode 0 decodes nothing",
         {0, 0, 1, 2, 2, 0, 4},
         {{1, {0x10, 5}, {}, 4}},
         {0, 0, 0, 0}},
        {"coding mode 7 decodes nothing",
         {7, 0, 1, 2, 2, 0, 4},
         {{1, {0x10, 5}, {}, 4}},
         {0, 0, 0, 0}},
        {"index frame in a colour picture",
         {3, 0, 1, 2, 2, 0, 16},
         {{1, {0x10, 7}, {}, 4}},
         {7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"no frames", {3, 0, 0, 2, 2, 0, 4}, {}, {0, 0, 0, 0}},
        {"width 0", {3, 0, 1, 0, 2, 0, 4}, {{0, {0x08, 1, 2, 3}, {}, 4}}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EnginePicture pic;
        ASSERT_EQ(ParsePpsHeader(RawPps(c.h, c.frames), pic), c.h.total);
        EXPECT_EQ(pic.dataSize, c.h.total);
        EXPECT_EQ(pic.frameCount, c.h.frames);
        EXPECT_EQ(pic.width, c.h.width);
        EXPECT_EQ(Pixels(pic), c.expect);
        EXPECT_EQ(log.text().find("pps:"), std::string::npos) << log.text();
    }
}

// What the file does not hold is never read: a part is cut where the file ends, a field past
// it reads as 0, and the picture loads with a log line.
TEST(PpsTrustedSizes, WhatTheFileDoesNotHoldIsNotRead) {
    LogCapture log;
    {
        auto bytes = RawPps({3, 0, 1, 2, 2, 0, 4}, {{1, {0x08, 5}, {}, 4}});
        bytes[32 + 8] = 0xE8, bytes[32 + 9] = 0x03;  // length A 1000 of 2
        EnginePicture pic;
        ASSERT_EQ(ParsePpsHeader(bytes, pic), 4u);
        EXPECT_EQ(Pixels(pic), (std::vector<uint8_t>{5, 5, 0, 0}));
        EXPECT_NE(log.text().find("pps:"), std::string::npos);
    }
    {
        // Three frames with delays and a trailer; only the first is in the file.
        RawFrame f{1, {0x10, 5}, {}, 4, 70};
        EnginePicture pic;
        ASSERT_EQ(ParsePpsHeader(RawPps({3, 0x10 | 0x20, 3, 2, 2, 0, 12}, {f}), pic), 12u);
        EXPECT_EQ(Pixels(pic), (std::vector<uint8_t>{5, 5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0}));
        ASSERT_NE(pic.frameDelays, nullptr);
        EXPECT_EQ(pic.frameDelays[0], 70u);
        EXPECT_EQ(pic.frameDelays[1], 0u);
        EXPECT_EQ(pic.frameDelays[2], 0u);
        EXPECT_EQ(pic.trailerHigh, 0);
        EXPECT_EQ(pic.trailerLow, 0);
    }
    {
        // A local palette of 300 entries is kept whole; one cut by the file keeps what is there.
        std::vector<uint8_t> entries(900);
        for (size_t i = 0; i < entries.size(); ++i) entries[i] = uint8_t(i % 251);
        EnginePicture pic;
        ASSERT_EQ(ParsePpsHeader(RawPps({1, 0x04, 0, 1, 1, 0, 1, 300}, {}, entries), pic), 1u);
        ASSERT_EQ(pic.ownedPalette.size(), 900u);
        EXPECT_EQ(pic.palette, pic.ownedPalette.data());
        EXPECT_EQ(pic.palette[899], uint8_t(899 % 251));
        EnginePicture cut;
        ASSERT_EQ(ParsePpsHeader(
                      Cut(RawPps({1, 0x04, 0, 1, 1, 0, 1, 3}, {}, {1, 2, 3, 4, 5}), 32 + 5), cut),
                  1u);
        ASSERT_EQ(cut.ownedPalette.size(), kPaletteBytes);
        EXPECT_EQ(std::vector<uint8_t>(cut.palette, cut.palette + 9),
                  (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 0, 0}));
    }
    {
        // A palette name cut short is the bytes there are.
        EnginePicture pic;
        auto bytes = Cut(EncodePps(GlobalPalettePicture("felt", 4)), 32 + 3);
        ASSERT_EQ(ParsePpsHeader(bytes, pic), 1u);
        EXPECT_EQ(pic.paletteName, "fel");
    }
    // Every cut of a whole file loads: fields of the header past the cut read as 0, so the
    // total decoded size is there from 24 bytes on.
    for (const auto& whole :
         {EncodePps(SmallValid()), EncodePps(GlobalPalettePicture("felt", 4))}) {
        EnginePicture full;
        const uint32_t total = ParsePpsHeader(whole, full);
        ASSERT_GT(total, 0u);
        for (size_t n = 0; n < whole.size(); ++n) {
            EnginePicture pic;
            pic.resourceId = 5;
            pic.key = 0xFF00FF;
            const uint32_t got = ParsePpsHeader(Cut(whole, n), pic);
            EXPECT_EQ(got, n >= 24 ? total : 0u) << n;
            if (n < 3) {
                EXPECT_EQ(pic.key, 0xFF00FFu) << n;  // not a ".pps" file: untouched
            }
            if (n >= 24) {
                EXPECT_EQ(pic.resourceId, 5u) << n;
                EXPECT_EQ(pic.dataSize, total) << n;
            }
        }
    }
}

// The limit is the image object's on one picture's pixel data, to the byte.
TEST(PpsTrustedSizes, OnlyAPictureOverTheLimitIsRefused) {
    ASSERT_EQ(kPpsMaxDecodedSize, 268435456u);
    LogCapture log;
    EnginePicture at;
    ASSERT_EQ(ParsePpsHeader(RawPps({2, 0, 0, 1, 1, 0, kPpsMaxDecodedSize}, {}), at),
              kPpsMaxDecodedSize);
    EXPECT_EQ(at.ownedPixels.size(), size_t(kPpsMaxDecodedSize));
    EXPECT_TRUE(log.text().empty());
    EnginePicture over;
    over.key = 0xFF00FF;
    EXPECT_EQ(ParsePpsHeader(RawPps({2, 0, 0, 1, 1, 0, kPpsMaxDecodedSize + 1}, {}), over), 0u);
    EXPECT_EQ(over.pixels, nullptr);
    EXPECT_EQ(over.key, 0xFF00FFu);
    EXPECT_NE(log.text().find("pps:结构加载错误,图片过大 (picture too large: 268435457 bytes)"),
              std::string::npos);
    // Not a ".pps" file: refused without a word.
    LogCapture quiet;
    auto bytes = EncodePps(SmallValid());
    bytes[0] = 'P';
    EnginePicture pic;
    EXPECT_EQ(ParsePpsHeader(bytes, pic), 0u);
    EXPECT_EQ(pic.pixels, nullptr);
    EXPECT_TRUE(quiet.text().empty());
}

#ifdef HQLV_TEST_MALLOC_HOOKS
// The largest single allocation while `watching` is set (the sanitizer allocator reports each).
std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};
void OnMalloc(const volatile void*, size_t n) {
    if (!watching.load(std::memory_order_relaxed)) return;
    size_t cur = largest.load();
    while (n > cur && !largest.compare_exchange_weak(cur, n)) {
    }
}
void OnFree(const volatile void*) {}
#endif

// A header that claims frames of 65535 x 65535 pixels and frame sizes of 4 GiB over a small
// total makes no buffer larger than what its total lets a frame fill.
TEST(PpsTrustedSizes, HugeFrameClaimsMakeNoBufferBeyondTheTotal) {
#ifndef HQLV_TEST_MALLOC_HOOKS
    GTEST_SKIP() << "needs the sanitizer allocator's hooks";
#else
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    ASSERT_TRUE(installed);
    LogCapture log;
    for (uint8_t mode : {3, 4, 5, 6}) {
        for (uint32_t frameFlags : {0u, 4u, 5u}) {
            SCOPED_TRACE(std::to_string(mode) + "/" + std::to_string(frameFlags));
            const auto bytes =
                RawPps({mode, 0, 2, 0xFFFF, 0xFFFF, 0, 64},
                       {{frameFlags, {0x0E, 0xFF, 1, 2, 3}, {0x0E, 0xFF, 9}, 0xFFFFFFFFu},
                        {frameFlags, {}, {}, 0xFFFFFFFFu}});
            EnginePicture pic;
            largest = 0;
            watching = true;
            const uint32_t got = ParsePpsHeader(bytes, pic);
            watching = false;
            EXPECT_EQ(got, 64u);
            EXPECT_LT(largest.load(), size_t(1) << 16);
        }
    }
#endif
}

TEST(PpsPalette, BindingToNamedPalettes) {
    EnginePicture pic;
    ASSERT_EQ(ParsePpsHeader(EncodePps(GlobalPalettePicture("felt", 4)), pic), 1u);
    LogCapture log;
    EXPECT_FALSE(BindPpsPalette(pic, nullptr));
    EXPECT_NE(log.text().find("pps:结构加载错误,全局调色板felt未在内存中!"), std::string::npos);
    GlobalPalette small;
    const uint8_t two[] = {1, 1, 1, 2, 2, 2};
    small.Set(two, 2, "felt");
    EXPECT_FALSE(BindPpsPalette(pic, &small));
    EXPECT_NE(log.text().find("pps:结构加载错误,全局调色板felt长度不匹配!"), std::string::npos);
    GlobalPalette full;
    const uint8_t three[] = {1, 1, 1, 2, 2, 2, 3, 3, 3};
    full.Set(three, 3, "felt");
    EXPECT_TRUE(BindPpsPalette(pic, &full));
    EXPECT_EQ(pic.palette, full.GetEntries());
    // The picture draws through the shared palette.
    uint32_t px = 0;
    DrawSurface s{&px, 1, 1, 4, 0xFF00FF};
    BlitParams bp;
    bp.width = bp.height = 1;
    bp.drawX = bp.drawY = bp.centreX = bp.centreY = 1;
    DrawImageEx(s, bp, pic, 0, 0, 1, 1, 1.0, kNoColour);
    EXPECT_EQ(px, 0xFF030303u);
}

TEST(GlobalPaletteTest, SetLoadAndNearest) {
    GlobalPalette bw;
    const uint8_t blackWhite[] = {0, 0, 0, 255, 255, 255};
    bw.Set(blackWhite, 2, "bw");
    EXPECT_EQ(bw.FindNearest(10, 10, 10), 0);
    EXPECT_EQ(bw.FindNearest(250, 250, 250), 1);
    EXPECT_EQ(bw.FindNearest(250 + 256, -6, 250), 1);  // taken modulo 256
    EXPECT_EQ(bw.FindNearestColorRef(0x00F0F0F0u), 1);
    // An entry is chosen only when it comes closer than 1000000: black at exactly that
    // distance is not, and entry 0 (white) is the answer; one step nearer it is.
    GlobalPalette wb;
    const uint8_t whiteBlack[] = {255, 255, 255, 0, 0, 0};
    wb.Set(whiteBlack, 2, "wb");
    EXPECT_EQ(wb.FindNearest(100, 0, 0), 0);
    EXPECT_EQ(wb.FindNearestColorRef(0x00000064u), 0);
    EXPECT_EQ(wb.FindNearest(99, 0, 0), 1);
    EXPECT_EQ(wb.FindNearestColorRef(0x00000063u), 1);
    // Farther than 1000000 from every entry: 0, whichever entry is nearer.
    GlobalPalette far;
    const uint8_t greys[] = {0, 0, 0, 10, 10, 10};
    far.Set(greys, 2, "far");
    EXPECT_EQ(far.FindNearest(200, 200, 200), 0);
    EXPECT_EQ(far.FindNearest(75, 75, 75), 1);  // 3 × 65³ = 823875 from entry 1
    // The largest distance of all, 3 × 255³, in 32 bits.
    GlobalPalette corner;
    const uint8_t ends[] = {0, 0, 0, 255, 255, 254};
    corner.Set(ends, 2, "corner");
    EXPECT_EQ(corner.FindNearest(255, 255, 255), 1);
    EXPECT_EQ(corner.FindNearest(0, 0, 1), 0);
    // Equal distances: the lower index; exact matches: the first.
    GlobalPalette eq;
    const uint8_t e[] = {10, 0, 0, 0, 10, 0, 50, 50, 50, 50, 50, 50};
    eq.Set(e, 4, "eq");
    EXPECT_EQ(eq.FindNearest(5, 5, 0), 0);
    EXPECT_EQ(eq.FindNearest(50, 50, 50), 2);
    GlobalPalette empty;
    EXPECT_EQ(empty.FindNearest(1, 2, 3), 0);

    // A record shorter than its count of entries keeps its count; the entries it does not
    // hold are black.
    for (size_t entryBytes : {size_t(8), size_t(5), size_t(0)}) {
        std::vector<uint8_t> rec(32, 0);
        std::memcpy(rec.data(), "short", 5);
        rec.push_back(3);  // three entries: nine bytes
        rec.push_back(0);
        rec.insert(rec.end(), entryBytes, 7);
        GlobalPalette p = bw;
        EXPECT_TRUE(p.Load(rec)) << entryBytes;
        EXPECT_EQ(p.count(), 3u) << entryBytes;
        EXPECT_EQ(std::string(p.name()), "short") << entryBytes;
        for (size_t i = 0; i < 9; ++i) {
            EXPECT_EQ(p.GetEntries()[i], i < entryBytes ? 7 : 0) << entryBytes << "/" << i;
        }
    }
    // A ".quad" name keeps all 32 bytes; Set keeps 31.
    {
        platform::ByteWriter whole;
        whole.bytes(std::string(32, 'n').data(), 32);
        whole.u16(1);
        whole.u8(1), whole.u8(2), whole.u8(3);
        GlobalPalette named;
        EXPECT_TRUE(named.Load(whole.data()));
        EXPECT_EQ(std::string(named.name()), std::string(32, 'n'));
        EXPECT_EQ(named.count(), 1u);
        EXPECT_EQ(named.GetEntries()[2], 3);
        named.Set(nullptr, 0, std::string(32, 'm'));
        EXPECT_EQ(std::string(named.name()), std::string(31, 'm'));
    }
    std::vector<uint8_t> many(300 * 3, 9);
    GlobalPalette big;
    big.Set(many.data(), 300, std::string(40, 'x'));
    EXPECT_EQ(big.count(), 256u);
    EXPECT_EQ(std::string(big.name()), std::string(31, 'x'));

    // ".quad" records.
    platform::ByteWriter w;
    w.fixedText("felt", 32);
    w.u16(300);
    for (int i = 0; i < 300 * 3; ++i) w.u8(uint8_t(i));
    GlobalPalette q;
    EXPECT_TRUE(q.Load(w.data()));
    EXPECT_EQ(q.count(), 256u);
    EXPECT_STREQ(q.name(), "felt");
    EXPECT_EQ(q.GetEntries()[767], uint8_t(767));
    platform::ByteWriter exact;  // no spare byte after the entries
    exact.fixedText("two", 32);
    exact.u16(2);
    for (int i = 1; i <= 6; ++i) exact.u8(uint8_t(i));
    EXPECT_TRUE(q.Load(exact.data()));
    EXPECT_EQ(q.count(), 2u);
    EXPECT_EQ(q.GetEntries()[5], 6);
    q.Set(nullptr, 3, "none");  // no entries: an empty palette, not three black ones
    EXPECT_EQ(q.count(), 0u);
    EXPECT_STREQ(q.name(), "none");
    // Cut inside the entries, inside the count and inside the name: what is there is taken.
    auto rec = w.data();
    rec.resize(34 + 10);
    LogCapture log;
    GlobalPalette cut;
    cut.Set(blackWhite, 2, "keep");
    EXPECT_TRUE(cut.Load(rec));
    EXPECT_STREQ(cut.name(), "felt");
    EXPECT_EQ(cut.count(), 256u);
    EXPECT_EQ(cut.GetEntries()[9], 9);
    EXPECT_EQ(cut.GetEntries()[10], 0);
    EXPECT_TRUE(cut.Load(std::span<const uint8_t>(rec.data(), 33)));
    EXPECT_STREQ(cut.name(), "felt");
    EXPECT_EQ(cut.count(), 0u);
    EXPECT_TRUE(cut.Load(std::span<const uint8_t>(rec.data(), 3)));
    EXPECT_STREQ(cut.name(), "fel");
    EXPECT_EQ(cut.count(), 0u);
    // No record at all changes nothing.
    GlobalPalette kept;
    kept.Set(blackWhite, 2, "keep");
    EXPECT_FALSE(kept.Load({}));
    EXPECT_STREQ(kept.name(), "keep");
    EXPECT_EQ(kept.count(), 2u);
    EXPECT_TRUE(log.text().empty()) << log.text();
}

}  // namespace
}  // namespace hqlv::engine
