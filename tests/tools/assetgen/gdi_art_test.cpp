// The GDI skin pictures: the cell sizes the GDI painters blit, blue as the key of the tile
// strips and dice, each face's marker in its own cell, and the skin description's keys.
#include "tools/assetgen/gdi_art.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/core/profile.h"
#include "tools/assetgen/table_art.h"

namespace hqlv::assetgen {
namespace {

const std::map<std::string, GdiPicture>& Pictures() {
    static const std::map<std::string, GdiPicture> all = [] {
        std::map<std::string, GdiPicture> m;
        for (GdiPicture& p : gdiSkinPictures()) m[p.key] = std::move(p);
        return m;
    }();
    return all;
}

// The face whose marker lies in cell c of a strip of cells w wide, -1 when none does.
int FaceInCell(const Raster& r, int w, int c) {
    for (int y = 0; y < r.height; ++y)
        for (int x = c * w; x < (c + 1) * w; ++x)
            if (int f = FaceOfMarker(r.at(x, y) & 0xFFFFFF); f >= 0) return f;
    return -1;
}

TEST(GdiArt, EveryNameWithItsCellSize) {
    const struct {
        const char* key;
        int w, h;
    } cases[] = {{"MJ_LARGE1", 42 * 47, 60},     {"MJ_LARGE2", 42 * 47, 60},
                 {"MJ_MIDDLE0", 33 * 47, 32},    {"MJ_MIDDLE1", 26 * 47, 36},
                 {"MJ_MIDDLE2", 33 * 47, 32},    {"MJ_MIDDLE3", 26 * 47, 36},
                 {"MJ_SIDE0", 19, 49},           {"MJ_SIDE1", 26, 37},
                 {"MJ_SIDE2", 19, 49},           {"MJ_SMALL0", 22 * 47, 23},
                 {"MJ_SMALL1", 17 * 47, 26},     {"MJ_SMALLBACK0", 22, 23},
                 {"MJ_SMALLBACK1", 17, 26},      {"MJ_JOKER", 42, 60},
                 {"MJ_HU", 42, 60},              {"DICE1", 106, 99},
                 {"DICE12", 106, 99},            {"CLOCK", 65, 65},
                 {"CLOCK_HAND", 56 * 8, 56}};
    for (auto c : cases) {
        auto it = Pictures().find(c.key);
        ASSERT_NE(it, Pictures().end()) << c.key;
        EXPECT_EQ(it->second.image.width, c.w) << c.key;
        EXPECT_EQ(it->second.image.height, c.h) << c.key;
    }
    for (const char* key : {"MJ_BACK0", "MJ_BACK1", "MJ_ZHUANG", "TableCloth", "CLOCK_DIGIT"})
        EXPECT_EQ(Pictures().count(key), 1u) << key;
    EXPECT_EQ(Pictures().size(), 34u);
}

TEST(GdiArt, StripsAreKeyedBlueAndKeepTheirMarkers) {
    for (const char* key : {"MJ_LARGE1", "MJ_LARGE2", "MJ_MIDDLE0", "MJ_MIDDLE3", "MJ_SMALL0",
                            "MJ_JOKER", "MJ_HU", "DICE3"}) {
        const Raster& r = Pictures().at(key).image;
        int blue = 0, magenta = 0;
        for (uint32_t p : r.px) {
            blue += (p & 0xFFFFFF) == 0x0000FF;
            magenta += (p & 0xFFFFFF) == 0xFF00FF;
        }
        EXPECT_GT(blue, 0) << key;
        EXPECT_EQ(magenta, 0) << key;
    }
    for (int face : {0, 13, 33, 45, 46}) {
        EXPECT_EQ(FaceInCell(Pictures().at("MJ_LARGE1").image, 42, face), face);
        EXPECT_EQ(FaceInCell(Pictures().at("MJ_LARGE2").image, 42, face), face);
        EXPECT_EQ(FaceInCell(Pictures().at("MJ_MIDDLE1").image, 26, face), face);
    }
}

TEST(GdiArt, ResampleKeepsCellsApart) {
    Raster src(4 * 3, 2, 0);
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) src.set(c * 4 + x, y, Rgb(c, x, y));
    const Raster r = ResampleCells(src, 4, 4, 2, 2, 4);
    ASSERT_EQ(r.width, 6);
    ASSERT_EQ(r.height, 4);
    EXPECT_EQ(r.at(2, 0), Rgb(1, 0, 0));
    EXPECT_EQ(r.at(5, 3), Rgb(2, 2, 1));
    // Cells 3 wide every 4 pixels: the last cell ends one pixel before the strip does.
    const Raster narrow = ResampleCells(src, 4, 3, 2, 3, 2);
    EXPECT_EQ(narrow.width, 9);
    EXPECT_EQ(narrow.at(8, 1), Rgb(2, 2, 1));
    // Cells wider than their pitch overlap: one more cell fits than width / pitch says.
    EXPECT_EQ(ResampleCells(src, 3, 4, 2, 1, 1).width, 3);
    EXPECT_EQ(ResampleCells(src, 0, 2, 2, 2, 2).width, 0);
    EXPECT_EQ(ResampleCells(src, 4, 13, 2, 2, 2).width, 0);
}

TEST(GdiArt, SkinDescriptionNamesEveryPicture) {
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("hqlv-gdi-art-" + std::to_string(getpid())))
            .string() + "/";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(writeGdiSkin(folder));
    const std::string ini = folder + "skin.ini";
    for (const auto& [key, p] : Pictures()) {
        EXPECT_EQ(platform::profileString("BitmapResource", key, "", ini), p.file) << key;
        EXPECT_TRUE(std::filesystem::exists(folder + p.file)) << p.file;
    }
    EXPECT_EQ(platform::getProfileInt("CommColors", "TableColor", 0, ini), 16384);
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(writeGdiSkin(folder + "missing/"));
}

}  // namespace
}  // namespace hqlv::assetgen
