// The frame scaler's row-loop variants against the plain reference loops, and the scaler
// as a whole against textbook bilinear filtering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/core/stretch.h"
#include "platform/core/stretch_rows.h"

namespace hqlv::platform::stretch {
namespace {

// Random bytes with the extremes 0x00 and 0xFF often, where saturation and sign would show.
std::vector<uint32_t> Picture(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> p(size_t(w) * size_t(h));
    for (uint32_t& px : p) {
        for (int b = 0; b < 4; ++b) {
            const uint32_t r = rng() % 6;
            const uint32_t v = r == 0 ? 0x00 : r == 1 ? 0xFF : rng() & 0xFF;
            px |= v << (8 * b);
        }
    }
    return p;
}

std::vector<uint32_t> Stretched(const StretchKernels& k, std::vector<uint32_t> src, int sw, int sh,
                                int dw, int dh) {
    std::vector<uint32_t> dst(size_t(dw) * size_t(dh), 0xDEADBEEF);
    EXPECT_TRUE(StretchWith(k, {src.data(), sw, sh}, {dst.data(), dw, dh}));
    return dst;
}

TEST(StretchKernels, ReferenceComesFirstAndTheActiveOneCanRun) {
    const std::vector<const StretchKernels*> all = RunnableKernels();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0], &ReferenceKernels());
    bool listed = false;
    for (const StretchKernels* k : all) listed = listed || k == &ActiveKernels();
    EXPECT_TRUE(listed);
}

TEST(StretchKernels, RowBlendsMatchTheReferenceForEveryWeightAndLength) {
    const std::vector<uint32_t> a = Picture(41, 1, 1), b = Picture(41, 1, 2);
    for (const StretchKernels* k : RunnableKernels()) {
        for (uint32_t w : {0u, 1u, 63u, 64u, 127u, 128u}) {
            for (int n = 0; n <= 41; ++n) {
                std::vector<uint32_t> want(42, 7), got(42, 7);
                ReferenceKernels().blendRows(want.data(), a.data(), b.data(), n, w);
                k->blendRows(got.data(), a.data(), b.data(), n, w);
                ASSERT_EQ(got, want) << k->name << " w=" << w << " n=" << n;
            }
        }
    }
}

TEST(StretchKernels, ReferenceBlendRoundsHalfUp) {
    // 0x00 and 0xFF: weight 0 keeps a, 128 gives b, 64 the rounded middle 0x80; byte lanes
    // stay apart (0xFF below 0x00 does not borrow).
    const uint32_t a = 0x00FF00FF, b = 0xFF00FF00;
    const struct {
        uint32_t w, want;
    } cases[] = {{0, a}, {128, b}, {64, 0x80808080}, {1, 0x02FD02FD}, {127, 0xFD02FD02}};
    for (const auto& c : cases) {
        uint32_t out = 0;
        ReferenceKernels().blendRows(&out, &a, &b, 1, c.w);
        EXPECT_EQ(out, c.want) << c.w;
    }
}

TEST(StretchKernels, WholeScalesMatchTheReferenceOnOddEdgeAndOnePixelSizes) {
    // Enlarging (one window), shrinking by up to two (two windows), shrinking further
    // (gathers), one-pixel sources and targets, sizes that leave every loop tail.
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{744, 710, 995, 772}, {17, 9, 31, 13}, {33, 7, 19, 5},  {40, 6, 9, 3},
                 {1, 1, 13, 5},        {1, 9, 7, 4},    {9, 1, 25, 3},   {23, 11, 1, 1},
                 {8, 8, 8, 8},         {15, 3, 16, 3},  {100, 2, 99, 5}, {3, 3, 1000, 2}};
    uint32_t seed = 10;
    for (const auto& s : sizes) {
        const std::vector<uint32_t> src = Picture(s.sw, s.sh, ++seed);
        const std::vector<uint32_t> want =
            Stretched(ReferenceKernels(), src, s.sw, s.sh, s.dw, s.dh);
        for (const StretchKernels* k : RunnableKernels()) {
            ASSERT_EQ(Stretched(*k, src, s.sw, s.sh, s.dw, s.dh), want)
                << k->name << " " << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh;
        }
    }
}

// Textbook bilinear filtering in doubles: the sample position (x + ½) × sw / dw − ½, held
// inside the edge pixels' centres, its four neighbours weighted by distance.
uint32_t Textbook(const std::vector<uint32_t>& src, int sw, int sh, int dw, int dh, int x, int y) {
    const auto axis = [](int i, int s, int d, int& i0, double& f) {
        const double p = std::clamp((i + 0.5) * s / d - 0.5, 0.0, double(s - 1));
        i0 = std::min(int(p), s - 1);
        f = p - i0;
    };
    int x0, y0;
    double fx, fy;
    axis(x, sw, dw, x0, fx);
    axis(y, sh, dh, y0, fy);
    const int x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
    uint32_t out = 0;
    for (int b = 0; b < 32; b += 8) {
        const auto c = [&](int px, int py) {
            return double((src[size_t(py * sw + px)] >> b) & 0xFF);
        };
        const double top = c(x0, y0) * (1 - fx) + c(x1, y0) * fx;
        const double bottom = c(x0, y1) * (1 - fx) + c(x1, y1) * fx;
        out |= uint32_t(std::lround(top * (1 - fy) + bottom * fy)) << b;
    }
    return out;
}

TEST(Stretch, StaysWithinTwoOfTextbookBilinear) {
    // Positions in 1/128ths of a pixel and a rounding after each of the two passes: at most
    // 2 off per byte.
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{74, 71, 99, 77}, {5, 4, 23, 17}, {31, 29, 12, 11}, {1, 3, 4, 9}};
    int worst = 0;
    uint32_t seed = 40;
    for (const auto& s : sizes) {
        const std::vector<uint32_t> src = Picture(s.sw, s.sh, ++seed);
        std::vector<uint32_t> dst(size_t(s.dw) * size_t(s.dh));
        ASSERT_TRUE(StretchBilinear({const_cast<uint32_t*>(src.data()), s.sw, s.sh},
                                    {dst.data(), s.dw, s.dh}));
        for (int y = 0; y < s.dh; ++y) {
            for (int x = 0; x < s.dw; ++x) {
                const uint32_t want = Textbook(src, s.sw, s.sh, s.dw, s.dh, x, y);
                const uint32_t got = dst[size_t(y * s.dw + x)];
                for (int b = 0; b < 32; b += 8) {
                    const int d = std::abs(int((got >> b) & 0xFF) - int((want >> b) & 0xFF));
                    worst = std::max(worst, d);
                    ASSERT_LE(d, 2) << x << "," << y << " byte " << b / 8;
                }
            }
        }
    }
    RecordProperty("worst", worst);
}

TEST(Stretch, EdgesRepeatTheEdgePixelsAndOnePixelFillsTheTarget) {
    // Doubling a 2 × 2 picture: the outer target pixels sample before the first centre or
    // past the last one, so the corners are the source corners exactly.
    std::vector<uint32_t> src = {0x10203040, 0x50607080, 0x90A0B0C0, 0xD0E0F000};
    std::vector<uint32_t> dst(16);
    ASSERT_TRUE(StretchBilinear({src.data(), 2, 2}, {dst.data(), 4, 4}));
    EXPECT_EQ(dst[0], src[0]);
    EXPECT_EQ(dst[3], src[1]);
    EXPECT_EQ(dst[12], src[2]);
    EXPECT_EQ(dst[15], src[3]);
    std::vector<uint32_t> one = {0x00ABCDEF};
    std::vector<uint32_t> wide(37 * 3, 0);
    ASSERT_TRUE(StretchBilinear({one.data(), 1, 1}, {wide.data(), 37, 3}));
    for (uint32_t p : wide) ASSERT_EQ(p, 0x00ABCDEFu);
}

TEST(Stretch, SidesPastTheLimitAreRefused) {
    std::vector<uint32_t> px(4, 1), dst(4, 7);
    EXPECT_FALSE(StretchBilinear({px.data(), (1 << 20) + 1, 1}, {dst.data(), 2, 2}));
    EXPECT_FALSE(StretchBilinear({px.data(), 2, 2}, {dst.data(), 1, (1 << 20) + 1}));
    EXPECT_EQ(dst, std::vector<uint32_t>(4, 7));
}

}  // namespace
}  // namespace hqlv::platform::stretch
