// The generator's drawing surface: text set through the glyph service, turns and copies.
#include "tools/assetgen/raster.h"

#include <gtest/gtest.h>

#include "platform/core/glyphs.h"

namespace hqlv::assetgen {
namespace {

struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};
Box InkBox(const Raster& r, uint32_t colour) {
    Box b;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            if (r.at(x, y) == colour)
                b.left = std::min(b.left, x), b.right = std::max(b.right, x),
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
    return b;
}

TEST(Raster, TextIsSetByItsCodePointsAndCentredByInk) {
    Raster r(60, 60, 0);
    const uint32_t ink = Rgb(1, 2, 3);
    ASSERT_TRUE(DrawText(r, "一", "楷体_GB2312", 40, true, 30, 30, ink));
    const Box one = InkBox(r, ink);
    // "一" is one flat stroke: much wider than high, centred on the point.
    EXPECT_GT(one.right - one.left, 4 * (one.bottom - one.top + 1));
    EXPECT_NEAR((one.left + one.right) / 2.0, 30, 1.5);
    EXPECT_NEAR((one.top + one.bottom) / 2.0, 30, 1.5);
    // It is the glyph of U+4E00 itself: as wide as the glyph service's coverage of it.
    auto glyph = platform::renderGlyph({"楷体_GB2312", 40, 700}, U'\u4e00');
    ASSERT_TRUE(glyph);
    int left = glyph->width, right = -1;
    for (int y = 0; y < glyph->rows; ++y)
        for (int x = 0; x < glyph->width; ++x)
            if (glyph->coverage[size_t(y * glyph->width + x)] >= 128)
                left = std::min(left, x), right = std::max(right, x);
    EXPECT_EQ(one.right - one.left, right - left);
    // Two characters are centred as a line: their ink straddles the point.
    Raster two(100, 40, 0);
    ASSERT_TRUE(DrawText(two, "1万", "Microsoft YaHei", 20, false, 50, 20, ink));
    const Box line = InkBox(two, ink);
    EXPECT_NEAR((line.left + line.right) / 2.0, 50, 1.5);
    EXPECT_LT(line.left, 42);
    // Blanks draw nothing and succeed.
    Raster blank(10, 10, 0);
    EXPECT_TRUE(DrawText(blank, " ", "宋体", 10, false, 5, 5, ink));
    EXPECT_EQ(InkBox(blank, ink).right, -1);
}

TEST(Raster, QuarterTurnsMoveACornerRound) {
    Raster r(3, 2, 0);
    r.set(0, 0, 7);
    EXPECT_EQ(Turned(r, 1).width, 2);
    EXPECT_EQ(Turned(r, 1).at(1, 0), 7u);
    EXPECT_EQ(Turned(r, 2).at(2, 1), 7u);
    EXPECT_EQ(Turned(r, 3).at(0, 2), 7u);
    EXPECT_EQ(Turned(r, 4).at(0, 0), 7u);
    EXPECT_EQ(Turned(r, -1).at(0, 2), 7u);
}

TEST(Raster, PasteSkipsClearPixelsCopyTakesThem) {
    Raster src(2, 1, 0);
    src.set(1, 0, kKeyMagenta);
    Raster a(2, 1, 5), b(2, 1, 5);
    a.paste(src, 0, 0);
    b.copy(src, 0, 0);
    EXPECT_EQ(a.at(0, 0), 5u);
    EXPECT_EQ(a.at(1, 0), kKeyMagenta);
    EXPECT_EQ(b.at(0, 0), 0u);
}

}  // namespace
}  // namespace hqlv::assetgen
