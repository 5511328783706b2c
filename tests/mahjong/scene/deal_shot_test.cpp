// The table drawn by the engine right after dealing (13 tiles a seat, 14 at the banker's,
// the wall with its break, the dice) and a looker-on's rebuilt table. The own tiles' faces
// are read back from the picture by their markers and compared with the dealt record; the
// pictures are kept for review as table-after-deal.png and table-looker-rebuilt.png in the
// build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "engine/core/entity_kinds.h"
#include "shot_util.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

class DealShotTest : public TableTest {
protected:
    // The face whose marker is most frequent inside the own record's rectangle; -1 none.
    int FaceAt(const std::vector<uint32_t>& px, int index) {
        MJRect h;
        scene.GetHandRect(kOwnView, h);
        const MJTileInfo& r = Hand(kOwnView)[index];
        std::map<int, int> seen;
        for (int y = h.top + r.nY; y < h.top + r.nY + 77 && y < 710; ++y)
            for (int x = h.left + r.nX; x < h.left + r.nX + 54; ++x)
                if (x >= 0 && x < 744)
                    if (int f = FaceOf(px[size_t(y) * 744 + size_t(x)]); f >= 0) ++seen[f];
        int best = -1, most = 0;
        for (auto [f, n] : seen)
            if (n > most) best = f, most = n;
        return best;
    }
};

TEST_F(DealShotTest, TableRightAfterDealingShowsTheDealtOwnFaces) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(710);
    scene.OnStarted();
    // Own chair 2, banker chair 1 (view 2): the deal record's count and own tiles.
    const int own[13] = {0, 13, 26, 40, 52, 66, 76, 88, 101, 110, 117, 124, 131};
    deal.Set(11, 1);
    deal.Set(49 + 2, 13);
    for (int k = 0; k < 32; ++k) deal.Set(53 + size_t(k), k < 13 ? own[k] : -1);
    deal.Set(23, 3), deal.Set(24, 5), deal.Set(25, 2), deal.Set(26, 6);
    deal.Set(32, 40), deal.Set(37, 93), deal.Set(33, 36), deal.Set(36, 61);
    scene.ResetTable();
    scene.FillOwnHandFromRound(1);
    scene.SortHand(Hand(3), 1, 13);
    scene.RollDice();
    // The dealing, then the sort's sweep over the own hand (210060).
    Run(14000);
    ASSERT_GE(scene.got.size(), 8u);
    EXPECT_EQ(scene.got[0].code, 210002u);
    EXPECT_EQ(scene.got[scene.got.size() - 2].code, 210006u);
    EXPECT_EQ(scene.got.back().code, 210060u);
    // The dice ended on the last frame of their faces' sequences (dice 1 and 3 from the
    // first six pictures, 2 and 4 from the others); they stay shown for the picture.
    const int face[4] = {3, 5 + 6, 2, 6 + 6};
    for (int i = 0; i < 4; ++i) {
        auto* d = static_cast<engine::FrameEntity*>(
            scene.GetKernel().FindEntity(scene.Entities().dice[i]));
        EXPECT_EQ(d->Player()->resourceId, scene.Picture("骰子" + std::to_string(face[i]))) << i;
        EXPECT_EQ(d->Player()->srcX, 8 * 106) << i;
        d->Show();
        d->ApplyTransform();
    }
    const std::vector<uint32_t> px = Shoot("table-after-deal.png");
    for (int v = 0; v < 4; ++v) {
        int shown = 0;
        for (int i = 0; i < kHandSlotCount; ++i) shown += Hand(v)[i].nObject != 0;
        EXPECT_EQ(shown, v == 2 ? 14 : 13) << v;
    }
    // The own hand is 768 wide on the 744 screen: its last record stands partly outside.
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(FaceAt(px, i), scene.GetFaceIndex(Hand(3)[i].nCode)) << "record " << i;
    // The break: the walked records are gone, the face-up tile shows its face.
    EXPECT_EQ(scene.Tiles().m_wall[39].nObject != 0, true);
    EXPECT_EQ(scene.Tiles().m_wall[40].nObject, 0);
    EXPECT_EQ(scene.Tiles().m_wall[92].nObject, 0);
    EXPECT_NE(scene.Tiles().m_wall[93].nObject, 0);
    EXPECT_EQ(scene.Tiles().m_wall[36].nFace, 1);
}

TEST_F(DealShotTest, LookerOnsRebuiltTableHidesTheWatchedHand) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    host.lookerOn = 1;
    Start(710);
    // The running game's data: chair 2 holds 13, chair 3 (view 0) a peng laid, a turn due.
    deal.Set(11, 0);
    deal.Set(14, 0x100);
    deal.Set(13, 3);
    deal.Set(1205 + 2, 13);
    for (int k = 0; k < 32; ++k) deal.Set(1209 + size_t(k), k < 13 ? 2 * k : -1);
    deal.Set(32, 100), deal.Set(37, 20);
    scene.RebuildTable();
    // What the table's full redraw binds (the rebuild itself binds the own hand).
    scene.BindWallTiles();
    for (int v = 0; v < 3; ++v) scene.BindHandTiles(v);
    const std::vector<uint32_t> px = Shoot("table-looker-rebuilt.png");
    for (int i = 1; i <= 13; ++i) {
        EXPECT_EQ(Hand(3)[i].nCode, kHiddenTile) << i;
        if (i < 13) {
            EXPECT_EQ(FaceAt(px, i), scene.GetFaceIndex(kHiddenTile)) << "record " << i;
        }
    }
    EXPECT_EQ(Hand(0)[0].bPresent, 1);  // the seat to move holds its drawn tile
    EXPECT_EQ(scene.Tiles().m_wall[100].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[19].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[20].bPresent, 1);
}

}  // namespace
}  // namespace hqlv::mahjong::test
