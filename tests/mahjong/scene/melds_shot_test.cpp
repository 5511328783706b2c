// A mid-deal table drawn by the engine: melds of every kind on the four rows, discard rows
// of every seat, a showcase tile and the win effect. The showcase's face is read back from
// the picture by its marker; the pictures are kept for review as table-melds.png and
// table-win-effect.png in the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "shot_util.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

class MeldShotTest : public TableTest {
protected:
    // The most frequent face marker inside the rectangle; -1 none.
    static int FaceIn(const std::vector<uint32_t>& px, const MJRect& r) {
        std::map<int, int> seen;
        for (int y = std::max(r.top, 0); y < r.bottom && y < 710; ++y)
            for (int x = std::max(r.left, 0); x < r.right && x < 744; ++x)
                if (int f = FaceOf(px[size_t(y) * 744 + size_t(x)]); f >= 0) ++seen[f];
        int best = -1, most = 0;
        for (auto [f, n] : seen)
            if (n > most) best = f, most = n;
        return best;
    }
    MJTileInfo& Row(int view, int i) { return scene.Tiles().m_discards[view][i]; }
    void Lay(int view, int giverView, std::array<int32_t, 16> n, int kind) {
        n[4] = scene.ViewToChair(giverView);
        const MJData d(reinterpret_cast<const uint8_t*>(n.data()), sizeof n);
        switch (kind) {
            case 0:
                scene.AddPengMeld(view, d);
                break;
            case 1:
                scene.AddChiMeld(view, d);
                break;
            case 2:
                scene.AddExposedGangMeld(view, d);
                break;
            case 3:
                scene.AddConcealedGangMeld(view, d);
                break;
            default:
                scene.AddAddedGangMeld(view, d);
                break;
        }
    }
};

TEST_F(MeldShotTest, MeldsDiscardsAndShowcaseOnAllFourRows) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(710);
    scene.OnStarted();
    deal.Set(32, 40), deal.Set(37, 93);
    scene.ResetTable();
    scene.MarkWall();
    for (int v = 0; v < 4; ++v)
        for (int i = 1; i <= 13; ++i) Hand(v)[i].bPresent = 1;
    const int own[13] = {0, 13, 128, 129, 130, 131, 76, 88, 101, 110, 117, 124, 66};
    for (int i = 0; i < 13; ++i) Hand(3)[i + 1].nCode = own[i];
    // Own row: a peng from the next seat (turned first), a concealed gang, an exposed
    // gang from the previous seat (turned last).
    Lay(3, 0, {0, 0, 0, 0, 0, 9, 0, 13, -1, -1, 120}, 0);
    Lay(3, 3, {0, 0, 0, 0, 0, 131, 130, 129, 128, -1, 60}, 3);
    Lay(3, 2, {0, 0, 0, 0, 0, 102, 101, 88, 76, -1, 61}, 2);
    // Opposite row: chi from the previous seat (view 0), peng from across.
    Lay(1, 0, {0, 0, 0, 0, 0, 3, 4, 5}, 1);
    Lay(1, 3, {0, 0, 0, 0, 0, 30, 21, 12}, 0);
    // Left row: peng from the next seat (view 1), then its added gang.
    Lay(0, 1, {0, 0, 0, 0, 0, 110, 117, 124}, 0);
    Lay(0, 0, {0, 0, 0, 0, 0, 131, 0, 0, 0, 0, 0}, 4);
    // Right row: exposed gang from the next seat (view 3), concealed gang.
    Lay(2, 3, {0, 0, 0, 0, 0, 80, 71, 62, 53, -1, 0}, 2);
    Lay(2, 2, {0, 0, 0, 0, 0, 90, 99, 108, 81, -1, 0}, 3);
    // The own hand gave every claimed tile: four stand beside the replacement.
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(Hand(3)[i].bHand, 1) << i;
    EXPECT_EQ(Hand(3)[5].bPresent, 0);
    EXPECT_EQ(Hand(3)[0].nCode, 61);
    EXPECT_EQ(Hand(3)[9].nMeld, kMeldGang);
    EXPECT_EQ(Hand(3)[6].nCode, 102);
    for (int v = 0; v < 4; ++v)
        for (int k = 0; k < 12 + 4 * v; ++k) scene.AddDiscard(v, (k * 7 + v * 11) % 136);
    scene.Tiles().m_showcase[1].bPresent = 1;
    scene.Tiles().m_showcase[1].nCode = 33;
    scene.BindWallTiles();
    for (int v = 0; v < 4; ++v) {
        scene.BindHandTiles(v);
        scene.BindDiscards(v);
        scene.BindShowcase(v);
    }
    const std::vector<uint32_t> px = Shoot("table-melds.png");
    MJRect s;
    scene.GetShowcaseRect(1, s);
    EXPECT_EQ(FaceIn(px, s), scene.GetFaceIndex(33));
    for (int v = 0; v < 4; ++v) {
        int bound = 0;
        for (int i = 0; i < kDiscardRecords; ++i) bound += Row(v, i).nObject != 0;
        EXPECT_EQ(bound, 12 + 4 * v) << v;
    }

    scene.ShowWinEffect(3);
    Run(400);
    Shoot("table-win-effect.png");
}

}  // namespace
}  // namespace hqlv::mahjong::test
