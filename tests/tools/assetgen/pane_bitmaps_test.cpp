// The panes' and dialogs' pictures the build writes beside the client: each file under its
// number with the size its item has, byte for byte what the drawing code makes; and the tool
// pane's buttons and the shield as drawn.
#include <gtest/gtest.h>

#include <cstring>

#include "program_folder.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::assetgen {
namespace {

uint32_t Le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The colour of pixel (x, y) of a palette picture.
uint32_t At(const PaletteImage& im, int x, int y) {
    return im.palette[im.index[size_t(y * im.w + x)]];
}

int Count(const PaletteImage& im, uint32_t colour) {
    int n = 0;
    for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < im.w; ++x) n += At(im, x, y) == colour;
    return n;
}

TEST(PaneBitmaps, TheBuildWritesEveryPictureAtItsSize) {
    const struct {
        int id, w, h;
        PaletteImage image;
    } cases[] = {{151, 32, 32, iconImage(151)},       {152, 32, 32, iconImage(152)},
                 {162, 32, 32, defaultFaceImage()},   {165, 55, 16, toolButtonImage(165)},
                 {166, 71, 15, toolButtonImage(166)}, {229, 32, 32, shieldImage()},
                 {276, 339, 172, scoreBoardImage()}};
    for (const auto& c : cases) {
        const std::string file = test::ReadFile(test::ProgramFolder() + "resources/bitmap/" +
                                                std::to_string(c.id) + ".bmp");
        ASSERT_GE(file.size(), 54u) << c.id;
        EXPECT_EQ(file.substr(0, 2), "BM") << c.id;
        EXPECT_EQ(Le32(file, 18), uint32_t(c.w)) << c.id;
        EXPECT_EQ(Le32(file, 22), uint32_t(c.h)) << c.id;
        EXPECT_EQ(file, bmp8File(c.image)) << c.id;
    }
}

// Each tool button: a rim around its own plate, the corners cut to the pane's ground, its
// name in white inside the rim; the two plates differ.
TEST(PaneBitmaps, ToolButtonsArePlatesWithTheirNames) {
    const struct {
        int id;
        uint32_t plate;
    } cases[] = {{165, kSafeBoxPlateColour}, {166, kFixAmountPlateColour}};
    for (const auto& c : cases) {
        const PaletteImage im = toolButtonImage(c.id);
        const uint32_t ground = 0xF0FFFF;
        EXPECT_EQ(At(im, 0, 0), ground) << c.id;
        EXPECT_EQ(At(im, im.w - 1, 0), ground) << c.id;
        EXPECT_EQ(At(im, 0, im.h - 1), ground) << c.id;
        EXPECT_EQ(At(im, im.w - 1, im.h - 1), ground) << c.id;
        EXPECT_EQ(Count(im, ground), 4) << c.id;
        const uint32_t rim = At(im, 1, 0);
        EXPECT_NE(rim, c.plate) << c.id;
        for (int x = 1; x < im.w - 1; ++x) {
            EXPECT_EQ(At(im, x, 0), rim) << c.id << " " << x;
            EXPECT_EQ(At(im, x, im.h - 1), rim) << c.id << " " << x;
        }
        for (int y = 1; y < im.h - 1; ++y) {
            EXPECT_EQ(At(im, 0, y), rim) << c.id << " " << y;
            EXPECT_EQ(At(im, im.w - 1, y), rim) << c.id << " " << y;
        }
        EXPECT_EQ(At(im, 1, 1), c.plate) << c.id;
        EXPECT_GT(Count(im, c.plate), im.w * im.h / 2) << c.id;
        EXPECT_GT(Count(im, 0xFFFFFF), 20) << c.id;
    }
    EXPECT_NE(kSafeBoxPlateColour, kFixAmountPlateColour);
}

// The shield: wide at the top, a point at the bottom, a white tick on it, the ground around.
TEST(PaneBitmaps, ShieldNarrowsToAPointWithATick) {
    const PaletteImage im = shieldImage();
    ASSERT_EQ(im.w, 32);
    ASSERT_EQ(im.h, 32);
    const uint32_t ground = At(im, 0, 0);
    for (auto [x, y] : {std::pair{31, 0}, {0, 31}, {31, 31}, {16, 0}, {16, 31}})
        EXPECT_EQ(At(im, x, y), ground) << x << " " << y;
    auto width = [&](int y) {
        int n = 0;
        for (int x = 0; x < 32; ++x) n += At(im, x, y) != ground;
        return n;
    };
    EXPECT_GT(width(8), width(24));
    EXPECT_GT(width(24), width(28));
    EXPECT_EQ(At(im, 16, 6), kShieldColour);
    EXPECT_EQ(At(im, 15, 20), 0xFFFFFFu);  // the tick's corner
    EXPECT_GT(Count(im, kShieldColour), 32 * 32 / 3);
}

}  // namespace
}  // namespace hqlv::assetgen
