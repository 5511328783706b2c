#include "platform/core/stretch.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
}  // namespace hqlv::platform
