// The table's pictures as the scene takes them: each file at its size, keyed where the
// scene keys it, cut into cells where the scene cuts it, every face carrying its marker,
// same bytes every run, and all of them loading through the resource manager at once.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "engine/core/game_object.h"
#include "engine/core/picture_import.h"
#include "program_folder.h"
#include "tools/assetgen/table_art.h"

namespace hqlv::assetgen {
namespace {

using test::ProgramFolder;
using test::ReadFile;

struct Expected {
    const char* path;
    int width;
    int height;
    uint32_t key;     // 0xRRGGBB of the transparent colour, or 1 for none (opaque picture)
    int corners = 3;  // which corners are transparent: 1 top left, 2 bottom right
};

constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kPureBlue = 0x0000FF;
constexpr uint32_t kOpaquePicture = 1;

const Expected kPictures[] = {
    {"skins/Common/dice1.bmp", 954, 99, kPureBlue},
    {"skins/Common/dice6.bmp", 954, 99, kPureBlue},
    {"skins/Common/dice7.bmp", 954, 99, kPureBlue},
    {"skins/Common/dice12.bmp", 954, 99, kPureBlue},
    {"skins/Common/start.bmp", 80, 30, kMagenta},
    {"skins/Common/AskKanPai.bmp", 80, 30, kMagenta},
    {"skins/Common/clock_digit.bmp", 80, 17, kOpaquePicture},
    {"skins/Common/dnxb.png", 236, 61, kMagenta},
    {"skins/Common/buff.bmp", 180, 30, kMagenta},
    {"skins/Common/arrowhead.bmp", 16, 30, kMagenta},
    {"skins/Common/Autoplay.bmp", 120, 40, kMagenta},
    {"skins/Common/hu.bmp", 54, 77, kMagenta},
    {"skins/Common/note.bmp", 128, 40, kMagenta},
    {"skins/Common/hand.png", 162, 77, kMagenta},
    {"skins/Common/partical.png", 100, 20, kMagenta},
    {"skins/Classic/TableCloth0.bmp", 744, 710, kOpaquePicture},
    {"skins/Classic/mj_large1024.bmp", 2538, 77, kMagenta},
    {"skins/Classic/mj_large800.bmp", 1974, 60, kMagenta},
    {"skins/Classic/mj_middle0.bmp", 1551, 32, kMagenta},
    {"skins/Classic/mj_middle1.bmp", 1222, 36, kMagenta},
    {"skins/Classic/mj_middle2.bmp", 1551, 32, kMagenta},
    {"skins/Classic/mj_middle3.bmp", 1222, 36, kMagenta},
    {"skins/Classic/mj_small0.bmp", 1035, 22, kMagenta},
    {"skins/Classic/mj_small1.bmp", 799, 27, kMagenta},
    {"skins/Classic/mj_smallback0.bmp", 23, 22, kMagenta},
    {"skins/Classic/mj_smallback1.bmp", 16, 27, kMagenta},
    {"skins/Classic/mj_back0.bmp", 33, 32, kMagenta},
    {"skins/Classic/mj_back1.bmp", 26, 36, kMagenta},
    {"skins/Classic/mj_side0.bmp", 19, 49, kMagenta},
    {"skins/Classic/mj_side1.bmp", 26, 37, kMagenta},
    {"skins/Classic/mj_side2.bmp", 19, 49, kMagenta},
    {"skins/Classic/clock.bmp", 65, 65, kMagenta},
    {"skins/Classic/clock_hand.bmp", 448, 56, kMagenta},
    {"skins/Classic/mj_joker.bmp", 54, 77, kMagenta},
    {"skins/Classic/PGCHG.png", 240, 40, kMagenta},
    {"skins/Classic/frame0_left.bmp", 12, 48, kMagenta, 1},
    {"skins/Classic/frame0_main.bmp", 44, 48, kMagenta, 0},
    {"skins/Classic/frame0_right.bmp", 12, 48, kMagenta, 2},
    {"skins/Classic/frame1_left.bmp", 12, 36, kMagenta, 1},
    {"skins/Classic/frame1_main.bmp", 34, 36, kMagenta, 0},
    {"skins/Classic/frame1_right.bmp", 12, 36, kMagenta, 2},
};

// A picture decoded by the engine's import, 0xAARRGGBB per pixel.
struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t rgb(int x, int y) const { return at(x, y) & 0xFFFFFF; }
};

Decoded Decode(const std::string& rel) {
    engine::EnginePicture pic;
    engine::PictureImporter importer;
    const std::string ext = rel.substr(rel.rfind('.'));
    Decoded d;
    if (!importer.DecodeImageFile(ProgramFolder() + rel, ext, pic) || pic.isPalette()) return d;
    d.width = pic.width;
    d.height = int(pic.totalRows());
    d.px.resize(size_t(d.width) * size_t(d.height));
    std::memcpy(d.px.data(), pic.pixels, d.px.size() * 4);
    return d;
}

bool IsClear(const Decoded& d, int x, int y, uint32_t key) {
    return d.rgb(x, y) == key && (d.at(x, y) >> 24 == 0 || d.at(x, y) >> 24 == 0xFF);
}

TEST(TableArt, EveryPictureHasItsSizeAndKeyedCorners) {
    for (const auto& e : kPictures) {
        SCOPED_TRACE(e.path);
        const Decoded d = Decode(e.path);
        ASSERT_EQ(d.width, e.width);
        ASSERT_EQ(d.height, e.height);
        if (e.key == kOpaquePicture) continue;
        // Bar pieces join their neighbours: only their outer corners are transparent.
        EXPECT_EQ(IsClear(d, 0, 0, e.key), (e.corners & 1) != 0);
        EXPECT_EQ(IsClear(d, d.width - 1, d.height - 1, e.key), (e.corners & 2) != 0);
        if (std::string(e.path).ends_with(".png")) {
            // Transparent exactly where the key colour is.
            for (uint32_t p : d.px)
                ASSERT_EQ(p >> 24 == 0, (p & 0xFFFFFF) == e.key) << std::hex << p;
        }
    }
}

TEST(TableArt, ClockDigitPanelIsNeitherPureGreenNorMagenta) {
    const Decoded d = Decode("skins/Common/clock_digit.bmp");
    ASSERT_EQ(d.width, 80);
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            ASSERT_NE(d.rgb(x, y), 0x00FF00u);
            ASSERT_NE(d.rgb(x, y), 0xFF00FFu);
        }
    // Each 8-pixel digit cell differs from every other.
    for (int a = 0; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b) {
            bool differs = false;
            for (int y = 0; y < 17 && !differs; ++y)
                for (int x = 0; x < 8 && !differs; ++x)
                    differs = d.at(8 * a + x, y) != d.at(8 * b + x, y);
            EXPECT_TRUE(differs) << a << " " << b;
        }
    // Each digit stays inside its cell: a column of panel at either side and two rows above
    // and below, so no digit runs into the next one or past the clock's window.
    const uint32_t panel = d.rgb(0, 0);
    for (int c = 0; c < 10; ++c)
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool edge = x == 0 || x == 7 || y < 2 || y > 14;
                if (edge) {
                    EXPECT_EQ(d.rgb(8 * c + x, y), panel)
                        << "digit " << c << " at " << x << "," << y;
                }
            }
    // The clock's window is that panel, the two cells from (24, 24) and two pixels around.
    const Decoded face = Decode("skins/Classic/clock.bmp");
    for (int y = 22; y < 43; ++y)
        for (int x = 22; x < 42; ++x) ASSERT_EQ(face.rgb(x, y), panel) << x << "," << y;
    EXPECT_NE(face.rgb(21, 32), panel);
    EXPECT_NE(face.rgb(42, 32), panel);
}

// The strips as the scene cuts them: cell width, height and pitch, and the face box that
// must hold no key pixel.
struct StripCut {
    const char* path;
    int cellWidth;
    int cellHeight;
    int pitch;
    int faceX, faceY, faceW, faceH;
};
const StripCut kStrips[] = {
    {"skins/Classic/mj_large1024.bmp", 54, 77, 54, 4, 4, 46, 64},
    {"skins/Classic/mj_large800.bmp", 42, 60, 42, 4, 4, 34, 48},
    {"skins/Classic/mj_middle0.bmp", 33, 32, 33, 4, 4, 25, 13},
    {"skins/Classic/mj_middle1.bmp", 26, 36, 26, 4, 4, 18, 17},
    {"skins/Classic/mj_middle2.bmp", 33, 32, 33, 4, 4, 25, 13},
    {"skins/Classic/mj_middle3.bmp", 26, 36, 26, 4, 4, 18, 17},
    {"skins/Classic/mj_small0.bmp", 23, 22, 22, 3, 3, 16, 10},
    {"skins/Classic/mj_small1.bmp", 16, 27, 17, 3, 3, 10, 14},
};

TEST(TableArt, StripCellsHoldOpaqueFacesWithTheirMarkers) {
    for (const auto& s : kStrips) {
        SCOPED_TRACE(s.path);
        const Decoded d = Decode(s.path);
        ASSERT_EQ(d.width, std::max(s.pitch * 46 + s.cellWidth, s.pitch * 47));
        for (int f = 0; f < kFaceCells; ++f) {
            SCOPED_TRACE(f);
            const int x0 = f * s.pitch;
            EXPECT_TRUE(IsClear(d, x0, 0, 0xFF00FF)) << "corner keyed";
            std::map<int, int> markers;
            for (int y = 0; y < s.cellHeight; ++y)
                for (int x = 0; x < s.pitch; ++x) {
                    if (x >= s.faceX && x < s.faceX + s.faceW && y >= s.faceY &&
                        y < s.faceY + s.faceH) {
                        ASSERT_NE(d.rgb(x0 + x, y), 0xFF00FFu) << x << "," << y;
                    }
                    const int m = FaceOfMarker(d.rgb(x0 + x, y));
                    if (m >= 0) ++markers[m];
                }
            ASSERT_EQ(markers.size(), 1u);
            EXPECT_EQ(markers.begin()->first, f);
            EXPECT_EQ(markers.begin()->second, 4);
        }
    }
}

TEST(TableArt, MarkerColoursReadBackAndRejectOthers) {
    for (int f = 0; f < kFaceCells; ++f) EXPECT_EQ(FaceOfMarker(MarkerColour(f)), f);
    EXPECT_EQ(FaceOfMarker(kTileFace), -1);
    EXPECT_EQ(FaceOfMarker(MarkerColour(46) - 1), -1);  // one step past the last face
    EXPECT_EQ(FaceOfMarker(MarkerColour(0) ^ 0x010000), -1);
    EXPECT_EQ(FaceOfMarker(MarkerColour(0) ^ 0x000100), -1);
}

TEST(TableArt, DiceShowTheirValueInTheLastFrame) {
    const Decoded one = Decode("skins/Common/dice1.bmp");
    ASSERT_EQ(one.width, 954);
    // The last frame's middle: value 1 has its single pip there, value 2 has none.
    const Decoded two = Decode("skins/Common/dice2.bmp");
    const int cx = 8 * 106 + 53, cy = 49;
    EXPECT_NE(one.rgb(cx, cy), two.rgb(cx, cy));
    for (int n = 1; n <= 12; ++n) {
        const Decoded d = Decode("skins/Common/dice" + std::to_string(n) + ".bmp");
        // Each frame's corner is the key, its middle is the die.
        for (int f = 0; f < 9; ++f) {
            EXPECT_EQ(d.rgb(106 * f, 0), 0x0000FFu);
            EXPECT_NE(d.rgb(106 * f + 53, 49), 0x0000FFu) << n << " frame " << f;
        }
    }
}

TEST(TableArt, ClockHandFramesPointTheirWay) {
    const Decoded d = Decode("skins/Classic/clock_hand.bmp");
    ASSERT_EQ(d.width, 448);
    // Frame p points left 0, up 2, right 4, down 6: a pixel 22 out that way is drawn.
    const int dx[] = {-22, 0, 22, 0}, dy[] = {0, -22, 0, 22};
    for (int q = 0; q < 4; ++q)
        for (int p = 0; p < 8; p += 2) {
            const bool drawn = d.rgb(56 * p + 28 + dx[q], 28 + dy[q]) != 0xFF00FF;
            EXPECT_EQ(drawn, p == 2 * q) << "frame " << p << " way " << q;
        }
}

TEST(TableArt, SameBytesEveryRunAndAsWritten) {
    const auto first = TableArt();
    const auto second = TableArt();
    ASSERT_EQ(first.size(), second.size());
    ASSERT_EQ(first.size(), std::size(kPictures) + 8 /* dice 2-5, 8-11 */);
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].bytes, second[i].bytes) << first[i].path;
        EXPECT_EQ(first[i].bytes, ReadFile(ProgramFolder() + first[i].path)) << first[i].path;
    }
}

TEST(TableArt, PicturesDrawByPathAndUnknownOnesAreEmpty) {
    EXPECT_EQ(DrawPicture("skins/Common/start.bmp").width, 80);
    EXPECT_EQ(DrawPicture("skins/Classic/none.bmp").width, 0);
}

// Connected groups of drawn pixels (not the face colour, not a marker) in a box.
int Groups(const Decoded& d, int x0, int y0, int w, int h) {
    std::vector<int> seen(size_t(w) * size_t(h), 0);
    auto ink = [&](int x, int y) {
        const uint32_t c = d.rgb(x0 + x, y0 + y);
        return c != (kTileFace & 0xFFFFFF) && FaceOfMarker(c) < 0;
    };
    int groups = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (seen[size_t(y * w + x)] || !ink(x, y)) continue;
            ++groups;
            std::vector<std::pair<int, int>> stack{{x, y}};
            seen[size_t(y * w + x)] = 1;
            while (!stack.empty()) {
                auto [cx, cy] = stack.back();
                stack.pop_back();
                const int nx[] = {cx + 1, cx - 1, cx, cx}, ny[] = {cy, cy, cy + 1, cy - 1};
                for (int k = 0; k < 4; ++k) {
                    if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
                    if (seen[size_t(ny[k] * w + nx[k])] || !ink(nx[k], ny[k])) continue;
                    seen[size_t(ny[k] * w + nx[k])] = 1;
                    stack.push_back({nx[k], ny[k]});
                }
            }
        }
    return groups;
}

TEST(TableArt, LargeTilesShowAsManySticksAndDotsAsTheirValue) {
    const Decoded d = Decode("skins/Classic/mj_large1024.bmp");
    ASSERT_EQ(d.width, 2538);
    for (int n = 1; n <= 9; ++n) {
        // A stick is cut in two by its band; a dot is one ring.
        EXPECT_EQ(Groups(d, 54 * (8 + n) + 3, 3, 48, 66), 2 * n) << n << " bamboo";
        EXPECT_EQ(Groups(d, 54 * (17 + n) + 3, 3, 48, 66), n) << n << " circles";
    }
    // The face's right border stands whole: nothing is drawn over it.
    for (int f = 0; f < kFaceCells; ++f)
        for (int y = 6; y < 66; ++y) ASSERT_EQ(d.rgb(54 * f + 53, y), 0x786C54u) << f << "," << y;
}

}  // namespace
}  // namespace hqlv::assetgen
