// The discard rows and showcase records: the layout of every row and view, add and find
// with a full row, the rectangles that place them on four- and three-sided tables and a
// small screen, the showcase taken back from the rows, the lay-down of a hand, and the
// entities bound to both.
#include <gtest/gtest.h>

#include <cstring>

#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

class DiscardTest : public TableTest {
protected:
    MJTileInfo* Row(int view) { return scene.Tiles().m_discards[view]; }
    MJTileInfo& Showcase(int view) { return scene.Tiles().m_showcase[view]; }
};

TEST_F(DiscardTest, LayoutPlacesEverySlotOfEveryView) {
    struct Case {
        int view, slot, x, y, z;
    };
    // The first and last slot of each row (rows of 10, 10, 9 and 7).
    const Case cases[] = {
        {0, 0, 33, 0, 100},    {0, 9, 33, 189, 109},  {0, 10, 0, 0, 110},    {0, 19, 0, 189, 119},
        {0, 20, 16, 6, 200},   {0, 28, 16, 174, 208}, {0, 29, 16, 17, 300},  {0, 35, 16, 143, 300},
        {1, 0, 234, 25, 100},  {1, 9, 0, 25, 91},     {1, 10, 234, 0, 90},   {1, 19, 0, 0, 81},
        {1, 20, 221, 8, 200},  {1, 28, 13, 8, 200},   {1, 29, 208, 0, 300},  {1, 35, 52, 0, 300},
        {2, 0, 0, 189, 100},   {2, 9, 0, 0, 91},      {2, 10, 33, 189, 90},  {2, 19, 33, 0, 81},
        {2, 20, 16, 172, 200}, {2, 28, 16, 4, 192},   {2, 29, 16, 151, 300}, {2, 35, 16, 25, 300},
        {3, 0, 0, 0, 100},     {3, 9, 234, 0, 109},   {3, 10, 0, 25, 110},   {3, 19, 234, 25, 119},
        {3, 20, 13, 8, 200},   {3, 28, 221, 8, 200},  {3, 29, 26, 0, 300},   {3, 35, 182, 0, 300},
    };
    for (auto& row : scene.Tiles().m_discards)
        for (MJTileInfo& r : row) r.bPresent = 1, r.nCode = 7, r.nObject = 3, r.nMeld = 2;
    scene.LayoutDiscards();
    for (const Case& c : cases) {
        const MJTileInfo& r = Row(c.view)[c.slot];
        EXPECT_EQ(r.nX, c.x) << c.view << "/" << c.slot;
        EXPECT_EQ(r.nY, c.y) << c.view << "/" << c.slot;
        EXPECT_EQ(r.nZ, c.z) << c.view << "/" << c.slot;
    }
    for (int v = 0; v < 4; ++v)
        for (int i = 0; i < kDiscardRecords; ++i) {
            const MJTileInfo& r = Row(v)[i];
            EXPECT_EQ(r.nFace, 1);
            EXPECT_EQ(r.nDirection, (v + 2) % 4) << v;
            EXPECT_EQ(r.nView, v);
            EXPECT_EQ(r.bPresent + r.nCode + r.nObject + r.nMeld, 0) << "zeroed " << v << "/" << i;
        }
}

TEST_F(DiscardTest, AddFillsTheFirstFreeSlotAndStopsAtThirtySix) {
    scene.LayoutDiscards();
    scene.ResetShowcase();
    EXPECT_EQ(scene.LastDiscardIndex(2), -1);
    for (int k = 0; k < 37; ++k) scene.AddDiscard(2, 100 + k);
    EXPECT_EQ(scene.LastDiscardIndex(2), 35);
    EXPECT_EQ(Row(2)[0].nCode, 100);
    EXPECT_EQ(Row(2)[0].bPresent, 1);
    EXPECT_EQ(Row(2)[35].nCode, 135);  // the 37th (136) is not stored
    EXPECT_EQ(Row(3)[0].bPresent, 0);
    EXPECT_NE(Log().find("弃牌区已满:2"), std::string::npos);
    // A gap is filled first; the discard lies as the seat's showcase tile lies.
    Row(2)[4].bPresent = 0;
    Showcase(2).nFace = 0;
    EXPECT_EQ(scene.LastDiscardIndex(2), 35);
    scene.AddDiscard(2, 7);
    EXPECT_EQ(Row(2)[4].nCode, 7);
    EXPECT_EQ(Row(2)[4].nFace, 0);
    EXPECT_EQ(Row(2)[5].nFace, 1);
    Row(1)[0].bPresent = 1;
    EXPECT_EQ(scene.LastDiscardIndex(1), 0);
    // No such view: nothing stored, nothing found.
    const MJTileInfo before = Row(3)[0];
    for (int v : {-1, 4}) {
        scene.AddDiscard(v, 9);
        EXPECT_EQ(scene.LastDiscardIndex(v), -1);
    }
    EXPECT_EQ(std::memcmp(&before, &Row(3)[0], sizeof before), 0);
    scene.SetAllDiscardsPresent(0);
    EXPECT_EQ(scene.LastDiscardIndex(2), -1);
    scene.SetAllDiscardsPresent(1);
    EXPECT_EQ(scene.LastDiscardIndex(0), 35);
}

TEST_F(DiscardTest, DiscardRectsFromTheWallRects) {
    struct Case {
        int view, players;
        bool small;
        int dl, dt, dr, db;  // from the wall rect R: left - R.left or R.right, ... (see below)
    };
    // View 0: left/right from R.left; top/bottom from R.top (four sides) or R.bottom.
    // View 1: left/right from R.right; top/bottom from R.top.
    // View 2: left/right from R.right; top/bottom from R.bottom.
    // View 3: left/right from R.left (four) or the wall's middle; top/bottom from R.bottom.
    const Case cases[] = {
        {0, 4, false, -76, 30, -10, 251},   {0, 4, true, -68, 22, -2, 243},
        {0, 3, false, -76, -231, -10, -10}, {0, 3, true, -68, -231, -2, -10},
        {1, 4, false, -270, -71, -10, -10}, {1, 4, true, -262, -63, -2, -2},
        {1, 3, false, -270, -71, -10, -10}, {2, 4, false, 10, -251, 76, -30},
        {2, 4, true, 2, -243, 68, -22},     {2, 3, false, 10, -231, 76, -10},
        {3, 4, false, 10, 10, 270, 71},     {3, 4, true, 2, 2, 262, 63},
        {3, 3, false, -130, 10, 130, 71},   {3, 3, true, -130, 2, 130, 63},
    };
    for (const Case& c : cases) {
        host.screenHeight = c.small ? 600 : 768;
        scene.Geometry().SetPlayerCount(c.players);
        MJRect R, d;
        scene.GetWallRect(c.view, R);
        scene.GetDiscardRect(c.view, d);
        int bx = c.view == 1 || c.view == 2 ? R.right : R.left;
        if (c.view == 3 && c.players == 3) bx = R.left + (R.right - R.left) / 2;
        int by = c.view == 2 || c.view == 3 ? R.bottom : R.top;
        if (c.view == 0 && c.players == 3) by = R.bottom;
        const std::string what =
            std::to_string(c.view) + "/" + std::to_string(c.players) + (c.small ? " small" : "");
        EXPECT_EQ(d.left - bx, c.dl) << what;
        EXPECT_EQ(d.top - by, c.dt) << what;
        EXPECT_EQ(d.right - bx, c.dr) << what;
        EXPECT_EQ(d.bottom - by, c.db) << what;
    }
    MJRect none{1, 2, 3, 4};
    scene.GetDiscardRect(4, none);
    EXPECT_EQ(none.left + none.top + none.right + none.bottom, 0);
}

TEST_F(DiscardTest, ShowcaseRectsBesideTheHands) {
    struct Case {
        int view, dl, dt;  // left, top from the hand rect H (see below); the size 54 x 77
    };
    // View 0 from (H.right, H.top), 1 from (H.left, H.bottom), 2 from (H.left, H.top),
    // 3 from (H.left, H.top).
    const Case cases[] = {{0, 24, 174}, {1, 186, 24}, {2, -78, 174}, {3, 357, -101}};
    for (const Case& c : cases) {
        MJRect H, s;
        scene.GetHandRect(c.view, H);
        scene.GetShowcaseRect(c.view, s);
        const int bx = c.view == 0 ? H.right : H.left, by = c.view == 1 ? H.bottom : H.top;
        EXPECT_EQ(s.left - bx, c.dl) << c.view;
        EXPECT_EQ(s.top - by, c.dt) << c.view;
        EXPECT_EQ(s.right - s.left, 54) << c.view;
        EXPECT_EQ(s.bottom - s.top, 77) << c.view;
    }
    MJRect none{1, 2, 3, 4};
    scene.GetShowcaseRect(-1, none);
    EXPECT_EQ(none.left + none.top + none.right + none.bottom, 0);
}

TEST_F(DiscardTest, ShowcaseResetAndPresence) {
    Showcase(1) = MJTileInfo{};
    Showcase(1).bPresent = Showcase(1).nCode = Showcase(1).bWinning = 5;
    scene.ResetShowcase();
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(Showcase(v).nView, v);
        EXPECT_EQ(Showcase(v).nZ, 3000);
        EXPECT_EQ(Showcase(v).nFace, 1);
        EXPECT_EQ(Showcase(v).bPresent + Showcase(v).nCode + Showcase(v).bWinning, 0);
    }
    scene.SetAllShowcasePresent(1);
    for (int v = 0; v < 4; ++v) EXPECT_EQ(scene.IsShowcasePresent(v), 1);
    Showcase(2).bPresent = 0;
    EXPECT_EQ(scene.IsShowcasePresent(2), 0);
    EXPECT_EQ(scene.IsShowcasePresent(4), 0);
    EXPECT_EQ(scene.IsShowcasePresent(-1), 0);
}

TEST_F(DiscardTest, TakeLastDiscardBackToTheShowcase) {
    host.chair = 0;  // chair 0 moves (view 3): the discard before it is view 0's
    struct Case {
        int chair, status, discards;
        bool taken;
    };
    const Case cases[] = {{0, 0, 3, true},     {0, 0x100, 3, false}, {0, 0xFF, 3, true},
                          {0, 0x200, 3, true}, {0, 0, 0, false},     {-1, 0, 3, false},
                          {7, 0, 3, false}};
    for (const Case& c : cases) {
        scene.LayoutDiscards();
        scene.ResetShowcase();
        for (int k = 0; k < c.discards; ++k) scene.AddDiscard(0, 20 + k);
        deal.Set(13, c.chair);
        deal.Set(14, c.status);
        scene.TakeLastDiscard();
        EXPECT_EQ(Showcase(0).bPresent, c.taken ? 1 : 0) << c.chair << "/" << c.status;
        EXPECT_EQ(Showcase(0).nCode, c.taken ? 22 : 0) << c.chair << "/" << c.status;
        EXPECT_EQ(scene.LastDiscardIndex(0), c.taken ? 1 : c.discards - 1)
            << c.chair << "/" << c.status;
        for (int v = 1; v < 4; ++v) EXPECT_EQ(Showcase(v).bPresent, 0);
    }
    EXPECT_NE(Log().find("当前座位错误:7"), std::string::npos);
    // Chair 3 moves (view 2): the seat before it is the own seat.
    scene.LayoutDiscards();
    scene.AddDiscard(3, 50);
    deal.Set(13, 3);
    deal.Set(14, 0);
    scene.TakeLastDiscard();
    EXPECT_EQ(Showcase(3).nCode, 50);
    EXPECT_EQ(Showcase(3).bPresent, 1);
    // Without the deal's state there is no seat to go by: the rows stay.
    scene.AddDiscard(3, 51);
    host.info = nullptr;
    scene.TakeLastDiscard();
    EXPECT_EQ(scene.LastDiscardIndex(3), 0);
    host.info = &deal;
}

TEST_F(DiscardTest, LayDownHandTurnsOnlyConcealedTilesFaceUp) {
    MJTileInfo* row = scene.Tiles().m_hands[1];
    for (int i = 0; i < 18; ++i) row[i].bPresent = row[i].bHand = 1, row[i].nFace = 2;
    row[3].bHand = 0;     // a meld tile
    row[5].bPresent = 0;  // gone
    row[13].nDirection = 1;
    scene.LayDownHand(1);
    for (int i = 0; i < 18; ++i) {
        const bool laid = i < 14 && i != 3 && i != 5;
        EXPECT_EQ(row[i].nFace, laid ? 1 : 2) << i;
        EXPECT_EQ(row[i].nDirection, laid ? 3 : (i == 13 ? 1 : 0)) << i;
    }
    scene.LayDownHand(4);  // no such view
    scene.LayDownHand(0);
    EXPECT_EQ(scene.Tiles().m_hands[0][0].nFace, 0);
}

TEST_F(DiscardTest, ResetTableLaysOutTheRowsAndClearsTheShowcase) {
    Row(1)[3].bPresent = 1;
    Showcase(2).bPresent = 1;
    Showcase(2).nZ = 0;
    scene.ResetTable();
    EXPECT_EQ(Row(1)[3].bPresent, 0);
    EXPECT_EQ(Row(0)[0].nX, 33);
    EXPECT_EQ(Showcase(2).bPresent, 0);
    EXPECT_EQ(Showcase(2).nZ, 3000);
}

TEST_F(DiscardTest, BoundDiscardsAndShowcaseStandAtTheirRects) {
    NEED_ASSETS();
    Start(710);
    scene.ResetTable();
    for (int k = 0; k < 12; ++k) scene.AddDiscard(1, k * 9);
    Row(1)[11].nFace = 0;  // face down: the back
    scene.BindDiscards(1);
    MJRect area;
    scene.GetDiscardRect(1, area);
    for (int i : {0, 10, 11}) {
        const MJTileInfo& r = Row(1)[i];
        const MJBinding* b = scene.Binding(r.nObject);
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(b->area, kAreaDiscard);
        EXPECT_EQ(b->index, i);
        EXPECT_EQ(b->view, 1);
        const engine::Entity* e = scene.GetKernel().FindEntity(b->entityId);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->GetX(), area.left + r.nX + 13) << i;  // direction 3: 26 x 36
        EXPECT_EQ(e->GetY(), area.top + r.nY + 18) << i;
        EXPECT_EQ(e->GetZ(), r.nZ);
        EXPECT_TRUE(e->IsVisible());
    }
    EXPECT_EQ(Row(1)[12].nObject, 0);
    // Bound once: a second bind takes no new binding.
    const int first = Row(1)[0].nObject;
    scene.BindDiscards(1);
    EXPECT_EQ(Row(1)[0].nObject, first);
    scene.BindDiscards(-1);

    Showcase(0).bPresent = 1;
    Showcase(0).nCode = 30;
    scene.BindShowcase(0);
    scene.BindShowcase(1);  // not present: no binding
    EXPECT_EQ(Showcase(1).nObject, 0);
    const MJBinding* b = scene.Binding(Showcase(0).nObject);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->area, kAreaShowcase);
    const engine::Entity* e = scene.GetKernel().FindEntity(b->entityId);
    ASSERT_NE(e, nullptr);
    MJRect s;
    scene.GetShowcaseRect(0, s);
    EXPECT_EQ(e->GetX(), (s.left + s.right) / 2);
    EXPECT_EQ(e->GetY(), (s.top + s.bottom) / 2);
    EXPECT_EQ(e->GetZ(), 3000);
    // Taken away: the next bind releases it.
    Showcase(0).bPresent = 0;
    scene.BindShowcase(0);
    EXPECT_EQ(Showcase(0).nObject, 0);
    EXPECT_FALSE(e->IsVisible());
}

}  // namespace
}  // namespace hqlv::mahjong::test
