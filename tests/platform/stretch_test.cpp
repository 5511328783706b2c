#include "platform/core/stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/core/stretch_rows.h"

namespace hqlv::platform {
namespace {

TEST(Stretch, BilinearKeepsFlatAreasAndBlendsBetween) {
    // Left column black, right column white: the doubled row runs from black to white.
    std::vector<uint32_t> src = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF};
    std::vector<uint32_t> dst(8 * 2, 0xDEADBEEF);
    ASSERT_TRUE(StretchBilinear({src.data(), 2, 2}, {dst.data(), 8, 2}));
    EXPECT_EQ(dst[0] & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(dst[7] & 0xFFFFFF, 0xFFFFFFu);
    const uint32_t mid = dst[4] & 0xFF;
    EXPECT_GT(mid, 0x20u);
    EXPECT_LT(mid, 0xE0u);
    for (int x = 1; x < 8; ++x) EXPECT_GE(dst[size_t(x)] & 0xFF, dst[size_t(x) - 1] & 0xFF);
    EXPECT_EQ(dst[8], dst[0]);  // both rows alike
}

TEST(Stretch, EmptyBuffersAreRefusedAndLeaveTheTargetAlone) {
    std::vector<uint32_t> src(4, 0x123456), dst(4, 7);
    const struct {
        PixelBuffer32 from, to;
    } cases[] = {
        {{nullptr, 2, 2}, {dst.data(), 2, 2}},     {{src.data(), 0, 2}, {dst.data(), 2, 2}},
        {{src.data(), 2, -1}, {dst.data(), 2, 2}}, {{src.data(), 2, 2}, {nullptr, 2, 2}},
        {{src.data(), 2, 2}, {dst.data(), 2, 0}},  {{src.data(), 2, 2}, {dst.data(), -2, 2}},
    };
    for (const auto& c : cases) EXPECT_FALSE(StretchBilinear(c.from, c.to));
    EXPECT_EQ(dst, std::vector<uint32_t>(4, 7));
    EXPECT_TRUE(StretchBilinear({src.data(), 2, 2}, {dst.data(), 2, 2}));
    EXPECT_EQ(dst[3] & 0xFFFFFF, 0x123456u);
}

// Sides up to 2^20 pixels are worked; one more is refused.
TEST(Stretch, SidesUpToTheLimitAreWorked) {
    constexpr int kLimit = 1 << 20;
    std::vector<uint32_t> src = {0x000000, 0xFFFFFF};
    std::vector<uint32_t> wide(size_t(kLimit) + 1, 7);
    EXPECT_TRUE(StretchBilinear({src.data(), 2, 1}, {wide.data(), kLimit, 1}));
    EXPECT_EQ(wide[0] & 0xFFFFFF, 0u);
    EXPECT_EQ(wide[size_t(kLimit) - 1] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(wide[size_t(kLimit)], 7u);
    std::fill(wide.begin(), wide.end(), 7u);
    EXPECT_FALSE(StretchBilinear({src.data(), 2, 1}, {wide.data(), kLimit + 1, 1}));
    EXPECT_FALSE(StretchBilinear({wide.data(), kLimit + 1, 1}, {src.data(), 2, 1}));
    EXPECT_TRUE(StretchBilinear({wide.data(), kLimit, 1}, {src.data(), 2, 1}));
    EXPECT_EQ(src, (std::vector<uint32_t>{7, 7}));
    std::vector<uint32_t> tall(size_t(kLimit) + 1, 5);
    EXPECT_TRUE(StretchBilinear({src.data(), 1, 2}, {tall.data(), 1, kLimit}));
    EXPECT_FALSE(StretchBilinear({src.data(), 1, 2}, {tall.data(), 1, kLimit + 1}));
}

// A rectangle of the target is worked exactly as the whole scale works it, through every
// variant of the row loops, and no pixel outside it is written.
TEST(Stretch, ARectangleGetsTheWholeScalesPixelsAndNothingElse) {
    std::mt19937 rng(7);
    struct Size {
        int sw, sh, dw, dh;
    };
    const Size sizes[] = {{744, 710, 957, 868}, {744, 710, 600, 500}, {37, 23, 91, 64},
                          {5, 3, 5, 3},         {1, 1, 9, 4},         {64, 1, 200, 3}};
    for (const stretch::StretchKernels* k : stretch::RunnableKernels())
        for (const Size& z : sizes) {
            SCOPED_TRACE(std::string(k->name) + " " + std::to_string(z.sw) + "x" +
                         std::to_string(z.sh) + " to " + std::to_string(z.dw) + "x" +
                         std::to_string(z.dh));
            std::vector<uint32_t> src(size_t(z.sw) * size_t(z.sh));
            for (uint32_t& p : src) p = rng();
            std::vector<uint32_t> whole(size_t(z.dw) * size_t(z.dh), 0);
            ASSERT_TRUE(
                stretch::StretchWith(*k, {src.data(), z.sw, z.sh}, {whole.data(), z.dw, z.dh}));
            for (int n = 0; n < 12; ++n) {
                // Rectangles anywhere, some reaching past the target's edges, some empty.
                int l = int(rng() % uint32_t(z.dw + 4)) - 2,
                    t = int(rng() % uint32_t(z.dh + 4)) - 2;
                int r = l + int(rng() % uint32_t(z.dw + 2)),
                    b = t + int(rng() % uint32_t(z.dh + 2));
                if (n == 0) l = 0, t = 0, r = z.dw, b = z.dh;
                if (n == 1) r = l;  // empty
                std::vector<uint32_t> part(whole.size(), 0xDEADBEEFu);
                ASSERT_TRUE(stretch::StretchRectWith(*k, {src.data(), z.sw, z.sh},
                                                     {part.data(), z.dw, z.dh}, l, t, r, b));
                for (int y = 0; y < z.dh; ++y)
                    for (int x = 0; x < z.dw; ++x) {
                        const size_t i = size_t(y) * size_t(z.dw) + size_t(x);
                        const bool inside = x >= l && x < r && y >= t && y < b;
                        ASSERT_EQ(part[i], inside ? whole[i] : 0xDEADBEEFu)
                            << x << "," << y << " rect " << l << "," << t << "," << r << "," << b;
                    }
            }
        }
}

TEST(Stretch, ARectangleOfARefusedBufferWritesNothing) {
    std::vector<uint32_t> src(4, 0x123456), dst(4, 7);
    EXPECT_FALSE(StretchBilinearRect({nullptr, 2, 2}, {dst.data(), 2, 2}, 0, 0, 2, 2));
    EXPECT_FALSE(StretchBilinearRect({src.data(), 2, 2}, {dst.data(), 0, 2}, 0, 0, 2, 2));
    EXPECT_EQ(dst, std::vector<uint32_t>(4, 7));
    EXPECT_TRUE(StretchBilinearRect({src.data(), 2, 2}, {dst.data(), 2, 2}, 1, 1, 2, 2));
    EXPECT_EQ(dst, (std::vector<uint32_t>{7, 7, 7, 0x123456}));
}

}  // namespace
}  // namespace hqlv::platform
