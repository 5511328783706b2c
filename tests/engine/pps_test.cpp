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
    EXPECT_TRUE(PpsDecodeRun(std::vector<uint8_t>{0x0C, 0x05}, out, 1));
    EXPECT_EQ(out, (std::vector<uint8_t>{5, 5, 5}));
    out.assign(2, 0);
    EXPECT_TRUE(PpsDecodeRun(std::vector<uint8_t>{0x09, 0x07, 0x08}, out, 1));
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 8}));
    out.assign(68, 0);
    EXPECT_TRUE(PpsDecodeRun(std::vector<uint8_t>{0x12, 0x01, 0x33}, out, 1));
    EXPECT_EQ(out, std::vector<uint8_t>(68, 0x33));
    // 3-byte samples: a long literal (op 3) of 65 samples.
    std::vector<uint8_t> in{0x07, 0x01};
    for (int i = 0; i < 65 * 3; ++i) in.push_back(uint8_t(i));
    out.assign(65 * 3, 0);
    EXPECT_TRUE(PpsDecodeRgbRle(in, out));
    EXPECT_EQ(out, std::vector<uint8_t>(in.begin() + 2, in.end()));
}

TEST(PpsRunLength, RefusesOverrunsShortfallsAndCutCodes) {
    std::vector<uint8_t> out(2);
    EXPECT_FALSE(PpsDecodeRun(std::vector<uint8_t>{0x0C, 0x05}, out, 1));  // 3 into 2
    out.assign(4, 0);
    EXPECT_FALSE(PpsDecodeRun(std::vector<uint8_t>{0x0C, 0x05}, out, 1));  // 3 of 4
    EXPECT_FALSE(PpsDecodeRun(std::vector<uint8_t>{0x0D, 0x05}, out, 1));  // literal cut
    EXPECT_FALSE(PpsDecodeRun(std::vector<uint8_t>{0x02}, out, 1));        // count byte cut
    EXPECT_FALSE(PpsDecodeRun(std::vector<uint8_t>{0x10, 1, 2}, out, 3));  // sample cut
    std::vector<uint8_t> big(10);
    std::vector<uint8_t> z = Deflate(std::vector<uint8_t>(9, 1));
    EXPECT_FALSE(PpsInflate(z, big));  // inflates short
    z[z.size() / 2] ^= 0x55;
    big.resize(9);
    EXPECT_FALSE(PpsInflate(z, big));
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

TEST(PpsMalformed, EveryTruncationIsRefusedAndLeavesThePicture) {
    for (const auto& bytes :
         {EncodePps(SmallValid()), EncodePps(GlobalPalettePicture("felt", 4))}) {
        LogCapture log;
        for (size_t n = 0; n < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
            EnginePicture pic;
            pic.resourceId = 5;
            pic.key = 0xFF00FF;
            ASSERT_EQ(ParsePpsHeader(cut, pic), 0u) << n;
            EXPECT_EQ(pic.pixels, nullptr);
            EXPECT_EQ(pic.key, 0xFF00FFu);
            EXPECT_EQ(pic.frameCount, 0);
        }
        EXPECT_NE(log.text().find("pps:"), std::string::npos);
        EnginePicture ok;
        EXPECT_GT(ParsePpsHeader(bytes, ok), 0u);
    }
}

TEST(PpsMalformed, InconsistentHeadersAndData) {
    const auto good = EncodePps(SmallValid());
    auto refused = [](std::vector<uint8_t> b) {
        EnginePicture pic;
        return ParsePpsHeader(b, pic) == 0 && pic.pixels == nullptr;
    };
    LogCapture log;
    auto patch32 = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
        return b;
    };
    auto patch16 = [](std::vector<uint8_t> b, size_t at, uint16_t v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
        return b;
    };
    const size_t frame0 = 32 + 6;  // after the header and the 2-entry palette
    std::vector<uint8_t> b;
    b = good;
    b[0] = 'P';
    {
        LogCapture quiet;
        EXPECT_TRUE(refused(b));  // not a ".pps" file: refused silently
        EXPECT_TRUE(quiet.text().empty());
    }
    b = good;
    b[3] = 0;
    EXPECT_TRUE(refused(b));
    b[3] = 7;
    EXPECT_TRUE(refused(b));
    EXPECT_TRUE(refused(patch32(good, 20, 61)));           // total size
    EXPECT_TRUE(refused(patch16(good, 8, 3)));             // frame count
    EXPECT_TRUE(refused(patch16(good, 10, 0)));            // width 0
    EXPECT_TRUE(refused(patch16(good, 28, 300)));          // palette over 256
    EXPECT_TRUE(refused(patch16(good, 28, 9000)));         // palette past the end
    EXPECT_TRUE(refused(patch32(good, frame0 + 16, 30)));  // frame size
    EXPECT_TRUE(refused(patch32(good, frame0, 0x01)));     // pairs picture, index-only frame
    EXPECT_TRUE(refused(patch32(good, frame0, 0x04)));     // colour frame in a palette picture
    EXPECT_TRUE(refused(patch32(good, frame0 + 8, 0xFFFFFFF0u)));   // length A
    EXPECT_TRUE(refused(patch32(good, frame0 + 12, 0x7FFFFFFFu)));  // length B
    // A part A one byte shorter: the run-length codes no longer fill the plane.
    uint32_t lenA = good[frame0 + 8] | (good[frame0 + 9] << 8);
    EXPECT_TRUE(refused(patch32(good, frame0 + 8, lenA - 1)));
    // Damaged zlib alpha plane.
    b = good;
    b[frame0 + 20 + lenA + 3] ^= 0xFF;
    EXPECT_TRUE(refused(b));
    // A size beyond the reader's limit.
    EncPicture huge;
    huge.mode = 2;
    huge.width = huge.height = 8192;
    EncFrame f;
    f.decoded.assign(1, 0);
    huge.frames.push_back(f);
    b = EncodePps(huge);
    b = patch32(b, 20, 8192u * 8192u * 4u);
    b = patch32(b, 32 + 16, 8192u * 8192u * 4u);
    EXPECT_TRUE(refused(b));
    EXPECT_NE(log.text().find("pps:结构加载错误"), std::string::npos);
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

// A file whose header claims a large picture but whose frames or trailer are not all there is
// refused before the pixel buffer is made.
TEST(PpsMalformed, ShortFilesMakeNoLargeBuffers) {
#ifndef HQLV_TEST_MALLOC_HOOKS
    GTEST_SKIP() << "needs the sanitizer allocator's hooks";
#else
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    ASSERT_TRUE(installed);
    struct Case {
        uint8_t mode;
        uint32_t flags;
        uint16_t frames, height;
        int framesPresent;
        uint32_t lengthA;
        size_t dataPresent;
    } cases[] = {
        {3, 0, 1, 4000, 1, 1000, 10},  // part A longer than the file
        {2, 0, 2, 2000, 1, 0, 0},      // second frame header missing
        {2, 0x20, 1, 4000, 1, 0, 0},   // trailer missing
        {5, 0, 4, 1000, 3, 4, 4},      // one of four frames missing
    };
    LogCapture log;
    for (const Case& c : cases) {
        const uint32_t frameSize = 4000u * c.height * 4u;
        platform::ByteWriter w;
        w.bytes("pps", 3);
        w.u8(c.mode);
        w.u32(c.flags);
        w.u16(c.frames);
        w.u16(4000);
        w.u16(c.height);
        w.u16(0);
        w.u32(0);
        w.u32(frameSize * c.frames);
        w.u32(0);
        w.u32(0);
        for (int k = 0; k < c.framesPresent; ++k) {
            w.u32(0);
            w.u32(0);
            w.u32(c.lengthA);
            w.u32(0);
            w.u32(frameSize);
            w.zeros(c.dataPresent);
        }
        EnginePicture pic;
        largest = 0;
        watching = true;
        const uint32_t got = ParsePpsHeader(w.data(), pic);
        watching = false;
        EXPECT_EQ(got, 0u) << int(c.mode);
        EXPECT_LT(largest.load(), size_t(1) << 20) << int(c.mode);
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

    // A record shorter than its count of entries is refused and changes nothing.
    for (size_t entryBytes : {size_t(8), size_t(5), size_t(0)}) {
        std::vector<uint8_t> rec(32, 0);
        std::memcpy(rec.data(), "short", 5);
        rec.push_back(3);  // three entries: nine bytes
        rec.push_back(0);
        rec.insert(rec.end(), entryBytes, 7);
        GlobalPalette p = bw;
        EXPECT_FALSE(p.Load(rec)) << entryBytes;
        EXPECT_EQ(p.count(), 2u) << entryBytes;
        EXPECT_EQ(std::string(p.name()), "bw") << entryBytes;
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
    auto rec = w.data();
    rec.resize(34 + 10);
    LogCapture log;
    GlobalPalette broken;
    broken.Set(blackWhite, 2, "keep");
    EXPECT_FALSE(broken.Load(rec));
    EXPECT_FALSE(broken.Load({}));
    EXPECT_STREQ(broken.name(), "keep");
    EXPECT_EQ(broken.count(), 2u);
}

}  // namespace
}  // namespace hqlv::engine
