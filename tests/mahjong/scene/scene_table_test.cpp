// The table's geometry, the dealing chain on the engine clock across the 32-bit wrap, the
// wall marked from the deal state and the table filled from it, with malformed words.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/button_frame.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

TEST_F(TableTest, WallStacksByTileTotalAndSides) {
    struct Case {
        int total, players;
        int stacks[4];
    };
    const Case cases[] = {
        {136, 4, {17, 17, 17, 17}}, {152, 4, {19, 19, 19, 19}}, {138, 4, {18, 17, 17, 17}},
        {140, 4, {18, 17, 18, 17}}, {142, 4, {18, 18, 18, 17}}, {136, 3, {23, 22, 0, 23}},
        {134, 3, {23, 22, 0, 22}},  {132, 3, {22, 22, 0, 22}},  {139, 4, {17, 17, 17, 17}},
        {143, 4, {17, 17, 17, 17}}, {137, 3, {22, 22, 0, 22}},  {135, 3, {22, 22, 0, 22}}};
    for (const Case& c : cases) {
        scene.total = c.total;
        scene.Geometry().SetPlayerCount(c.players);
        int s[4];
        scene.GetWallStacks(s);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(s[i], c.stacks[i]) << c.total << "/" << i;
    }
}

TEST_F(TableTest, WallSidesOfTheViewsAndTheirStartRecords) {
    scene.total = 142;  // stacks 18, 18, 18, 17: the sides tell apart
    struct Case {
        int players, chair, view, stacks, start;
    };
    const Case cases[] = {
        {4, 2, 0, 18, 72}, {4, 2, 1, 17, 108}, {4, 2, 2, 18, 0},  {4, 2, 3, 18, 36},
        {4, -1, 0, 17, 0}, {4, -1, 1, 18, 0},  {4, 5, 0, 18, 0},  {4, 2, 4, 0, 0},
        {3, 0, 0, 24, 0},  {3, 0, 1, 0, 0},    {3, 0, 2, 23, 48}, {3, 1, 3, 24, 0},
        {3, 2, 0, 24, 94}, {3, 2, 2, 24, 0},   {3, 7, 2, 0, 0},
    };
    for (const Case& c : cases) {
        scene.Geometry().SetPlayerCount(c.players);
        host.chair = c.chair;
        EXPECT_EQ(scene.GetWallStacksOfView(c.view), c.stacks)
            << c.players << " chair " << c.chair << " view " << c.view;
        EXPECT_EQ(scene.GetWallStartOffset(c.view), c.start)
            << c.players << " chair " << c.chair << " view " << c.view;
    }
}

class ScreenTest : public TableTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScreenTest, HandRectsCentreDiceAndSeatNames) {
    if (!HaveAssets()) GTEST_SKIP() << "no table pictures";
    const int height = GetParam();
    const bool small = height < 601;
    Start(height);
    const int e = small ? 10 : scene.Entities().systemBar->FrameEntity()->GetHeight() + 4;
    // The own row keeps 12 pixels from the 744-pixel screen's sides: the drawn tile and the
    // hand's first, 12 apart, stand whole, the 12 steps left of them narrow from 54 to 50 (a
    // small screen's 42-pixel tiles fit whole).
    const int lift = small ? 10 : 30, own = small ? 14 * 42 + 12 : 2 * 54 + 12 + 12 * 50,
              thick = small ? 70 : 87;
    MJRect r, c, d;
    scene.GetHandRect(0, r);
    EXPECT_EQ(r.left, e);
    EXPECT_EQ(r.top, height / 2 - 213 - (small ? 16 : 10) - lift);
    EXPECT_EQ(r.bottom - r.top, 426);
    scene.GetHandRect(3, r);
    EXPECT_EQ(r.right - r.left, own);
    EXPECT_EQ(r.bottom, height - e);
    // The drawn tile stands 12 off the hand's first tile; the hand's tiles step leftwards
    // from there and the last ends at the row's left edge.
    const int large = small ? 42 : 54;
    EXPECT_EQ(Hand(3)[0].nX, own - large);
    EXPECT_EQ(Hand(3)[0].nX - (Hand(3)[1].nX + large), 12);
    for (int i = 2; i < 14; ++i) EXPECT_EQ(Hand(3)[i - 1].nX - Hand(3)[i].nX, small ? 42 : 50) << i;
    EXPECT_EQ(Hand(3)[13].nX, 0);
    EXPECT_EQ(r.bottom - r.top, thick);
    EXPECT_EQ(scene.GetMeldOffsetA(3), (thick - 36) / 2);
    EXPECT_EQ(scene.GetMeldOffsetB(2), 16);
    EXPECT_EQ(scene.GetMeldOffsetB(0), 0);
    // The wind marks stand 35 inside each hand.
    for (int v = 0; v < 4; ++v) {
        int x, y;
        scene.GetWindMarkPos(v, x, y);
        scene.GetHandRect(v, r);
        const int want[4][2] = {{r.right + 35, (r.top + r.bottom) / 2},
                                {(r.left + r.right) / 2, r.bottom + 35},
                                {r.left - 35, (r.top + r.bottom) / 2},
                                {(r.left + r.right) / 2, r.top - 35}};
        EXPECT_EQ(x, want[v][0]) << v;
        EXPECT_EQ(y, want[v][1]) << v;
    }
    scene.GetCentreRect(c);
    scene.GetStakeTextRect(r);
    EXPECT_EQ(c.top, height / 2 - 60 - lift);
    EXPECT_EQ(r.top, c.top);
    scene.GetDiceRect(d);
    EXPECT_EQ(d.left, c.left);
    EXPECT_EQ(d.top, c.top + 11);
    // The seat names: outside the hand on a normal screen, inside it on a small one.
    draw.SeatMutable(0)->name = "东家";
    for (int v = 0; v < 4; ++v) {
        scene.ShowSeatInfo(v);
        engine::Entity* p = scene.GetKernel().FindEntity(scene.Entities().panels[v]);
        scene.GetHandRect(v, r);
        const int mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
        const int want[4][2] = {{small ? r.right + 5 : r.left - 25, my},
                                {mx, small ? r.bottom + 5 : r.top - 25},
                                {small ? r.left - 5 : r.right + 25, my},
                                {mx, small ? r.top - 5 : r.bottom + 25}};
        EXPECT_EQ(p->GetX(), want[v][0]) << v;
        EXPECT_EQ(p->GetY(), want[v][1]) << v;
        EXPECT_TRUE(p->IsVisible());
    }
}
INSTANTIATE_TEST_SUITE_P(Screens, ScreenTest, ::testing::Values(710, 600));

TEST_F(TableTest, LayoutsPlaceTheRecords) {
    NEED_ASSETS();
    Start(710);
    // Own chair 2: view 2 shows wall side 0 (records 0-33), view 3 side 1 (34-67), view 0
    // side 2 (68-101), view 1 side 3 (102-135).
    const MJTileInfo* w = scene.Tiles().m_wall;
    struct Case {
        const MJTileInfo& r;
        int view, x, y, z;
    };
    const Case cases[] = {
        {w[68], 0, 0, 208, 1400 - 68},
        {w[69], 0, 0, 217, 1200 - 68},
        {w[3], 2, 0, 23, 1202},
        {w[34], 3, 17 * 16, 0, 1600},
        {w[134], 1, 17 * 16, 0, 1200},
        {Hand(3)[0], 3, 720 - 54, 10, 2800},
        {Hand(3)[1], 3, 720 - 12 - 2 * 54, 10, 2799},
        {Hand(3)[2], 3, 720 - 12 - 2 * 54 - 50, 10, 2798},
        {Hand(3)[13], 3, 0, 10, 2787},
        {Hand(0)[0], 0, 0, 426 - 49, 2400},
        {Hand(0)[1], 0, 0, 426 - 87, 2399},
        {Hand(1)[2], 1, 62, 0, 2402},
        {Hand(2)[1], 2, 30, 38, 2401},
        {scene.Tiles().m_flowers[1][0], 1, 26 * 7, 0, 1000},
        {scene.Tiles().m_flowers[2][7], 2, 0, 0, 993},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.r.nView, c.view) << &c - cases;
        EXPECT_EQ(c.r.nX, c.x) << &c - cases;
        EXPECT_EQ(c.r.nY, c.y) << &c - cases;
        EXPECT_EQ(c.r.nZ, c.z) << &c - cases;
    }
    EXPECT_EQ(w[135].bPresent, 1);
    EXPECT_EQ(w[136].bPresent, 0);
    EXPECT_EQ(Hand(3)[13].nCode, kHiddenTile);
    EXPECT_EQ(Hand(3)[14].bHand, 0);
    EXPECT_EQ(Hand(2)[0].nFace, 2);
    EXPECT_EQ(scene.Tiles().m_flowers[0][8].nZ, 0);
    MJRect t, r3;
    scene.GetWallRect(2, t);
    EXPECT_EQ(t.bottom - t.top, 13 * 17 + 20);
    scene.GetWallTileRect(35, t);
    scene.GetWallRect(3, r3);
    EXPECT_EQ(t.left, r3.left + 17 * 16);
    EXPECT_EQ(t.bottom - t.top, 26);
    scene.GetWallTileRect(200, t);
    EXPECT_EQ(t.right, 0);
    // The flower areas grow with the present flowers among the first eight.
    for (int v = 0; v < 4; ++v)
        for (int i : {0, 3, 8}) scene.Tiles().m_flowers[v][i].bPresent = 1;
    EXPECT_EQ(scene.CountFlowers(2), 2);
    EXPECT_EQ(scene.CountFlowers(7), 0);
    MJRect base, area;
    const int grown[4] = {2 * 21 + 11, 2 * 26, 0, 2 * 26};
    for (int v = 0; v < 4; ++v) {
        scene.GetFlowerAreaBase(v, base);
        scene.GetFlowerAreaRect(v, area);
        const int size = v % 2 ? area.right - area.left : area.bottom - area.top;
        EXPECT_EQ(size, v == 2 ? base.bottom - base.top - 6 * 21 : grown[v]) << v;
        // The base stands on the hand's inner side, 33 deep beside it or 36 above or below.
        MJRect h;
        scene.GetHandRect(v, h);
        const int gap[4] = {base.left - h.right, base.top - h.bottom, h.left - base.right,
                            h.top - base.bottom};
        EXPECT_EQ(gap[v], 0) << v;
        EXPECT_EQ(v % 2 ? base.bottom - base.top : base.right - base.left, v % 2 ? 36 : 33) << v;
        EXPECT_EQ(v % 2 ? base.right - base.left : base.bottom - base.top, v % 2 ? 208 : 179);
    }
}

// Deal words of the test deal: own chair 2, banker chair 2, wall start 10, head 63.
void DealWords(DealState& d, int banker) {
    d.Set(11, banker);
    d.Set(32, 10);
    d.Set(33, 4);
    d.Set(36, 77);
    d.Set(37, 63);
    d.Set(38, 0);
}

TEST_F(TableTest, DealChainAcrossTheClockWrap) {
    NEED_ASSETS();
    Start(710);
    DealWords(deal, 2);
    scene.Tiles().m_flowers[1][0].bPresent = 1;  // views 1 and 0 reveal flowers
    scene.Tiles().m_flowers[0][5].bPresent = 1;
    host.sounds.clear();
    scene.OnDiceDone();
    Run(3500);
    std::vector<std::pair<uint32_t, int>> order;
    for (const auto& g : scene.got) order.push_back({g.code, g.word0});
    const std::vector<std::pair<uint32_t, int>> want = {{210003, 3}, {210003, 2},  {210003, 1},
                                                        {210003, 0}, {210004, -1}, {210005, 1},
                                                        {210005, 0}, {210006, -1}};
    EXPECT_EQ(order, want);
    ASSERT_EQ(scene.got.size(), want.size());
    const uint32_t t0 = scene.got[0].at;
    for (int k = 1; k < 4; ++k) {
        const uint32_t d = scene.got[size_t(k)].at - t0;
        EXPECT_GE(d, uint32_t(500 * k));
        EXPECT_LT(d, uint32_t(500 * k + 50));
    }
    // The flowers come 0 and 300 ms after 210004, the start (3 × 2 + 3) × 100 ms after it.
    EXPECT_GE(scene.got[6].at - scene.got[5].at, 300u);
    EXPECT_GE(scene.got[7].at - scene.got[4].at, 900u);
    EXPECT_LT(scene.got[7].at - scene.got[4].at, 1000u);
    EXPECT_GT(scene.got[0].at, 0xFFFF0000u);  // the chain runs across the wrap
    EXPECT_LT(scene.got[7].at, 0x1000u);
    // Banker 14 tiles, the others 13; every dealt record is bound.
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(Hand(v)[0].bPresent, v == 3 ? 1 : 0) << v;
        for (int i = 1; i <= 13; ++i) EXPECT_NE(Hand(v)[i].nObject, 0) << v << "/" << i;
        EXPECT_EQ(Hand(v)[14].bPresent, 0);
    }
    EXPECT_EQ(std::count(host.sounds.begin(), host.sounds.end(), 29103 * 100 + 1), 4);
    EXPECT_EQ(std::count(host.sounds.begin(), host.sounds.end(), 29103 * 100 + 5), 2);
    // The wall: start 10 to head 63 taken, the face-up tile at 4 shows 77.
    EXPECT_EQ(scene.Tiles().m_wall[9].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_wall[10].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[62].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[63].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_wall[4].nFace, 1);
    EXPECT_EQ(scene.Tiles().m_wall[4].nCode, 77);
    // The marked tile: its wall rectangle, and the large size centred on it.
    MJRect t, m, big;
    scene.GetWallTileRect(4, t);
    scene.GetMarkedWallTileRect(m);
    scene.GetMarkedWallTileBigRect(big);
    EXPECT_EQ(std::vector<int>({m.left, m.top, m.right, m.bottom}),
              std::vector<int>({t.left, t.top, t.right, t.bottom}));
    EXPECT_EQ(std::vector<int>({big.left, big.top, big.right - big.left, big.bottom - big.top}),
              std::vector<int>({(t.left + t.right) / 2 - 27, (t.top + t.bottom) / 2 - 38, 54, 77}));
    // Taken, face down or named outside the wall: nothing marked.
    for (int c = 0; c < 3; ++c) {
        scene.Tiles().m_wall[4].bPresent = c != 0;
        scene.Tiles().m_wall[4].nFace = c != 1;
        deal.Set(33, c == 2 ? 136 : 4);
        scene.Tiles().m_wall[136] = scene.Tiles().m_wall[4];
        scene.GetMarkedWallTileBigRect(big);
        EXPECT_EQ(big.right, 0) << c;
    }
    host.info = nullptr;  // no deal state: nothing marked
    scene.GetMarkedWallTileBigRect(big);
    EXPECT_EQ(big.right, 0);
}

TEST_F(TableTest, BankerWithoutAViewDealsFromTheOwnSeatAndTheChainGoesOn) {
    NEED_ASSETS();
    Start(710);
    for (int banker : {9, -1}) {
        scene.got.clear();
        scene.ResetTable();
        DealWords(deal, banker);
        scene.StartDealAnimation();
        Run(2600);
        ASSERT_GE(scene.got.size(), 5u) << banker;
        EXPECT_EQ(scene.got[0].word0, 3);
        EXPECT_EQ(scene.got[3].word0, 0);
        EXPECT_EQ(scene.got[4].code, 210004u);
        for (int v = 0; v < 4; ++v) EXPECT_EQ(Hand(v)[0].bPresent, 0);
        scene.got.clear();
        scene.RevealOpeningFlowers();
        Run(400);
        ASSERT_EQ(scene.got.size(), 1u);
        EXPECT_EQ(scene.got[0].code, 210006u);
        Run(3000);  // the sort's sweep of the start of play ends
    }
}

TEST_F(TableTest, ThreePlayersSkipViewOneInTheDeal) {
    NEED_ASSETS();
    Start(710);
    scene.Geometry().SetPlayerCount(3);
    host.chair = 0;
    DealWords(deal, 1);  // the banker on view 0
    scene.StartDealAnimation();
    Run(1600);
    std::vector<int> views;
    for (const auto& g : scene.got)
        if (g.code == 210003) views.push_back(g.word0);
    EXPECT_EQ(views, (std::vector<int>{0, 3, 2}));
    EXPECT_EQ(Hand(1)[1].bPresent, 0);
    EXPECT_EQ(Hand(0)[0].bPresent, 1);
}

TEST_F(TableTest, MarkWallRefusesPositionsOutsideTheWall) {
    struct Case {
        int start, head, faceUp, tail;
    };
    const Case cases[] = {{200, -5, 4, 0}, {-5, 200, 4, 0},   {5, 200, 4, 0},
                          {200, 5, -9, 2}, {5, 7, 136, 1000}, {135, 2, 500, 3}};
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        for (int i = 0; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
        deal.Set(32, c.start);
        deal.Set(37, c.head);
        deal.Set(33, c.faceUp);
        deal.Set(36, 0);  // tile 0 is a tile too
        deal.Set(38, c.tail);
        scene.MarkWall();  // returns: no endless walk
        int present = 0;
        for (int i = 0; i < kWallRecords; ++i) present += scene.Tiles().m_wall[i].bPresent;
        const bool startOk = c.start >= 0 && c.start < 136, headOk = c.head >= 0 && c.head < 136;
        int walked = startOk && headOk ? (c.head - c.start + 136) % 136 : 0;
        EXPECT_LE(present, 136 - walked) << c.start << "," << c.head;
        if (!startOk) {
            EXPECT_EQ(present, 136) << c.start;
        }
        EXPECT_EQ(scene.Tiles().m_wall[136].nFace, 0);
        EXPECT_EQ(scene.Tiles().m_wall[4].nFace, c.faceUp == 4 ? 1 : 0);
    }
    EXPECT_NE(Log().find("牌墙位置错误:200,-5"), std::string::npos);
    EXPECT_NE(Log().find("牌墙翻牌位置错误:136"), std::string::npos);
    // Tail draws from a valid start: tiles 3 back from start 135 (joker position 500 none).
    EXPECT_EQ(scene.Tiles().m_wall[133].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[134].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[132].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_wall[131].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_wall[135].bPresent, 0);  // the walk from 135 to 2
    EXPECT_EQ(scene.Tiles().m_wall[2].bPresent, 1);
}

TEST_F(TableTest, OwnHandFromTheRoundClampsTheCountAndHidesItFromALookerOn) {
    host.chair = 2;
    // The running game's data: held counts at word 1205, own tiles from word 1209.
    for (int k = 0; k < 32; ++k) deal.Set(1209 + size_t(k), k < 14 ? 40 + k : -1);
    struct Case {
        int count, status, looker;
        int first, written;
    };
    // Status 0x300: the turn bit with a mover chair (word 13) of 9, that has no seat.
    const Case cases[] = {{13, 0, 0, 1, 13},     {40, 0, 0, 1, 13},     {-3, 0, 0, 1, 0},
                          {14, 0x100, 0, 0, 14}, {99, 0x100, 0, 0, 14}, {13, 0, 1, 1, 13},
                          {13, 0x300, 0, 1, 13}};
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        // A looker-on's state counts the held tiles from word 49.
        deal.Set(c.looker ? 49 + 2 : 1205 + 2, c.count);
        deal.Set(14, c.status);
        deal.Set(13, c.status & 0x200 ? 9 : 2);
        host.lookerOn = c.looker;
        scene.FillOwnHandFromRound(0);
        int written = 0;
        for (int i = 0; i < kHandRecords; ++i) written += Hand(3)[i].bPresent;
        EXPECT_EQ(written, c.written + (c.first == 0 && c.written == 0 ? 1 : 0)) << c.count;
        EXPECT_EQ(Hand(3)[c.first].nCode, c.written ? (c.looker ? kHiddenTile : 40) : 0);
        EXPECT_EQ(Hand(3)[14].bPresent, 0);
    }
    EXPECT_NE(Log().find("自己的牌数错误:40"), std::string::npos);
    // The new deal's record: the count by chair at word 49, the list at word 53.
    scene.Tiles().Clear();
    host.lookerOn = 0;
    deal.Set(14, 0);
    deal.Set(49 + 2, 2);
    deal.Set(53, 7);
    deal.Set(54, 8);
    scene.FillOwnHandFromRound(1);
    EXPECT_EQ(Hand(3)[1].nCode, 7);
    EXPECT_EQ(Hand(3)[2].nCode, 8);
    EXPECT_EQ(Hand(3)[3].bPresent, 0);
    // Before seating, or on a chair past the table's, there is no own hand to fill.
    deal.Set(49 + 5, 3);
    for (int chair : {-1, 5}) {
        scene.Tiles().Clear();
        host.chair = chair;
        scene.FillOwnHandFromRound(1);
        EXPECT_EQ(Hand(3)[1].bPresent, 0) << chair;
    }
}

struct MeldScene : TableScene {
    void Record(int view, MJData r, int kind) {
        int32_t w[16];
        std::memcpy(w, r.data(), sizeof w);
        calls.push_back({kind, view, w[3], w[4], w[5], w[6], w[8], w[10]});
    }
    void AddPengMeld(int v, MJData r) override { Record(v, r, 0); }
    void AddChiMeld(int v, MJData r) override { Record(v, r, 1); }
    void AddExposedGangMeld(int v, MJData r) override { Record(v, r, 2); }
    void AddConcealedGangMeld(int v, MJData r) override { Record(v, r, 3); }
    void AddAddedGangMeld(int v, MJData r) override { Record(v, r, 4); }
    std::vector<std::array<int, 8>> calls;
};

TEST(TableFill, MeldListsReplayedWithCountsClampedToSix) {
    FakeSceneHost host;
    DealState deal;
    MeldScene scene;
    host.info = &deal;
    host.chair = 2;
    scene.SetSceneHost(&host);
    // Chair 3 (view 0): two pengs; chair 0 (view 1): a count of 99 chi; chair 1: -4. As the
    // server keeps them: the hand's tiles first, the claimed tile last, -1 after a peng.
    auto entry = [&](int chair, int list, int m, int first) {
        const size_t base = 49 + 282 * size_t(chair) + 42 * size_t(list) + 7 * size_t(m);
        for (size_t t = 0; t < 4; ++t)
            deal.Set(base + t, list == 0 && t == 3 ? -1 : first + int(t));
        deal.Set(base + 4, chair == 3 ? 1 : 2);
    };
    entry(3, 0, 0, 10);
    entry(3, 0, 1, 20);
    deal.Set(1177 + 7 * 3 + 0, 2);
    deal.Set(49 + 282 * 3 + 7 + 2, 0);  // the second peng's claimed tile is tile 0
    for (int m = 0; m < 6; ++m) entry(0, 1, m, 100 + m);
    deal.Set(1177 + 0 + 1, 99);
    deal.Set(1177 + 7 + 4, -4);
    scene.Tiles().m_hands[3][5].nCode = 33;
    scene.FillTableFromRound();
    EXPECT_EQ(scene.Tiles().m_hands[3][5].nCode, 33);  // a player's own codes stay
    ASSERT_EQ(scene.calls.size(), 8u);
    // Word 5 the claimed tile, words 6-8 the hand's (-1 when the meld has three).
    EXPECT_EQ(scene.calls[0], (std::array<int, 8>{1, 1, 0, 2, 103, 100, 102, -1}));
    EXPECT_EQ(scene.calls[5][4], 108);
    EXPECT_EQ(scene.calls[6], (std::array<int, 8>{0, 0, 3, 1, 12, 10, -1, -1}));
    EXPECT_EQ(scene.calls[7][4], 0);
    for (int v = 0; v < 4; ++v) EXPECT_EQ(scene.Tiles().m_hands[v][13].bHand, 1);
    // A looker-on's own hand is hidden; a chair without a view adds nothing.
    scene.calls.clear();
    host.lookerOn = 1;
    host.chair = -1;
    scene.FillTableFromRound();
    EXPECT_TRUE(scene.calls.empty());
    EXPECT_EQ(scene.Tiles().m_hands[3][5].nCode, kHiddenTile);
}

}  // namespace
}  // namespace hqlv::mahjong::test

namespace hqlv::mahjong::test {
namespace {

TEST_F(TableTest, RefreshesShowTheStartButtonOrRebuildARunningDeal) {
    if (!HaveAssets()) GTEST_SKIP() << "no table pictures";
    Start(710);
    engine::GameKernel& k = scene.GetKernel();
    auto visible = [&](uint32_t control) {
        return k.FindEntity(k.FindControl(control)->entityId)->IsVisible();
    };
    host.field13 = 0x2;
    audio->clear();
    scene.RefreshIdleTable();
    EXPECT_FALSE(visible(scene.Entities().start));
    for (const auto& call : audio->calls())  // the music is off: it does not start
        EXPECT_NE(call.kind, platform::RecordingAudio::Kind::kOpenMusic);
    // A running deal, as the deal state says (not the running flag): a player gets no ask
    // button; a looker-on's table is rebuilt (own hand hidden) and the ask button shown.
    deal.SetStateBytes(kPlayerStateBytes);
    deal.Set(14, 0x1);
    deal.Set(1205 + 2, 1);  // the own chair holds one tile
    deal.Set(1209, 5);
    scene.RefreshRunningDeal();
    EXPECT_EQ(Hand(3)[1].nCode, 5);
    EXPECT_FALSE(visible(scene.Entities().ask));
    host.lookerOn = 1;
    deal.SetStateBytes(kLookerStateBytes);
    deal.Set(49 + 2, 13);
    for (size_t i = 0; i < 13; ++i) deal.Set(53 + i, -1);
    scene.RefreshRunningDeal();
    EXPECT_EQ(Hand(3)[1].nCode, kHiddenTile);
    EXPECT_NE(Hand(3)[1].nObject, 0);
    EXPECT_TRUE(visible(scene.Entities().ask));
    // No deal runs, though the running flag is up: nothing rebuilt.
    host.field13Bit8 = 1;
    host.playing = 1;
    deal.Set(14, 0x100);
    Hand(3)[1].nCode = 5;
    scene.RefreshRunningDeal();
    EXPECT_EQ(Hand(3)[1].nCode, 5);
}

}  // namespace
}  // namespace hqlv::mahjong::test

namespace hqlv::mahjong::test {
namespace {

TEST_F(TableTest, DrawSlotTileLaidAfterTheHand) {
    NEED_ASSETS();
    Start(710);
    struct Case {
        int view, x, y;
    };
    const Case cases[] = {{0, 0, 426 - 11 - 21}, {1, 0, 11}, {2, 16, 0}, {3, 720 - 5 * 26, 25}};
    for (const Case& c : cases) {
        scene.PlaceDrawSlotTile(c.view, 77);
        const MJTileInfo& r = Hand(c.view)[0];
        EXPECT_EQ(r.nX, c.x) << c.view;
        EXPECT_EQ(r.nY, c.y) << c.view;
        EXPECT_EQ(r.nDirection, (c.view + 2) % 4);
        EXPECT_EQ(r.nFace, 1);
        EXPECT_EQ(r.bHand, 0);
        EXPECT_EQ(r.bPresent, 1);
        EXPECT_EQ(r.nCode, 77);
    }
    scene.PlaceDrawSlotTile(5, 77);  // no such seat: nothing
}

TEST_F(TableTest, AnEmptyBindingPoolIsLoggedAndNothingBreaks) {
    NEED_ASSETS();
    Start(710);
    // 136 wall tiles, 4 × 18 hand records and 4 × 36 flowers: more than the 336 bindings.
    for (int v = 0; v < 4; ++v) {
        for (int i = 0; i < kHandSlotCount; ++i) Hand(v)[i].bPresent = 1, Hand(v)[i].nFace = 2;
        for (int i = 0; i < kFlowerRecords; ++i) scene.Tiles().m_flowers[v][i].bPresent = 1;
    }
    scene.BindWallTiles();
    for (int v = 0; v < 4; ++v) scene.BindHandTiles(v);
    for (int v = 0; v < 4; ++v) scene.BindFlowerTiles(v);
    EXPECT_NE(Log().find("实体请求错误，已无空闲实体!"), std::string::npos);
    EXPECT_EQ(scene.Tiles().m_flowers[3][35].nObject, 0);
    EXPECT_NE(scene.Tiles().m_flowers[0][0].nObject, 0);
}

}  // namespace
}  // namespace hqlv::mahjong::test
