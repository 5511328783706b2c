// The hand lists, the sort, the hit tests at tile edges, binding and release of the hand
// records, and the engine drag reordering the own hand; malformed lists change nothing
// they must not.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/entity_kinds.h"
#include "engine/core/mouse_manager.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

// Records 1..n of a hand present, in the hand, holding the codes.
void Fill(MJTileInfo* row, std::initializer_list<int> codes, int first = 1) {
    int i = first;
    for (int c : codes) {
        row[i].nCode = c;
        row[i].bPresent = row[i].bHand = 1;
        ++i;
    }
}

std::vector<int> Codes(const MJTileInfo* row, int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(row[i].nCode);
    return v;
}

TEST_F(TableTest, SetHandTilesStopsAtTheFourteenthRecord) {
    std::array<int32_t, 32> list;
    for (int k = 0; k < 32; ++k) list[size_t(k)] = k;
    scene.SetHandTiles(0, list);
    EXPECT_EQ(Codes(Hand(0), 1, 13), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(Hand(0)[14].bPresent, 0);
    EXPECT_EQ(Hand(0)[14].nCode, 0);
    EXPECT_NE(Log().find("手牌数据过多，丢弃19张"), std::string::npos);
    // With the draw slot present the list starts there; -1 clears without advancing.
    scene.Tiles().Clear();
    Hand(1)[0].bPresent = 1;
    Hand(1)[1].bPresent = 1;
    const int32_t some[] = {5, -1, 6};
    scene.SetHandTiles(1, some);
    EXPECT_EQ(Hand(1)[0].nCode, 5);
    EXPECT_EQ(Hand(1)[1].nCode, 6);
    EXPECT_EQ(Hand(1)[1].bPresent, 1);
    EXPECT_EQ(Hand(1)[2].bPresent, 0);
    scene.SetHandTiles(9, some);  // no such view: nothing
    EXPECT_EQ(Log().find("丢弃3"), std::string::npos);
}

TEST_F(TableTest, ListReadersTakeOnlyPresentHandTilesOfTheFirstFourteen) {
    Fill(Hand(3), {10, 20, 30, 40});
    Hand(3)[2].bHand = 0;  // a meld tile
    Hand(3)[3].bSelected = Hand(3)[4].bSelected = 1;
    Hand(3)[4].bPresent = 0;  // selected but gone
    Fill(Hand(3), {50}, 14);  // past the fourteen
    std::array<int32_t, 32> out, selected{}, copy;
    EXPECT_EQ(scene.GetHandCodes(3, out), 2);
    EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 3), (std::vector<int>{10, 30, -1}));
    EXPECT_EQ(scene.GetHandCodes(-1, out), 0);
    std::array<int32_t, 1> tiny;
    EXPECT_EQ(scene.GetHandCodes(3, tiny), 1);
    EXPECT_EQ(scene.GetSelectedOwnCodes(selected), 1);
    EXPECT_EQ(selected[0], 30);
    EXPECT_EQ(scene.FirstSelectedIndex(3), 3);
    EXPECT_EQ(scene.FindLastTile(3, 50), 14);
    EXPECT_EQ(scene.FindLastTile(3, 20), 2);
    EXPECT_EQ(scene.FindLastTile(4, 10), -1);
    EXPECT_EQ(scene.LastHandIndex(3), 14);
    std::array<int32_t, 64> counts{};
    EXPECT_EQ(scene.CountHandByIndex(counts), 2);
    EXPECT_EQ(counts[2], 1);  // tile 10: the two of the first suit
    copy.fill(-1);
    EXPECT_EQ(scene.CopyOwnHandExcept(copy, 2, 10), 3);
    EXPECT_EQ(copy[2], 30);
    EXPECT_EQ(scene.CopyOwnHandExcept(std::span(copy).first(3), 2, 99), 3);
    scene.SelectOnly(3, 20);  // outside: all cleared
    EXPECT_EQ(scene.FirstSelectedIndex(3), -1);
    EXPECT_EQ(scene.HandFlag(3), 0);
    EXPECT_EQ(scene.IsHandKnown(3), 1);
    Hand(3)[1].nCode = kHiddenTile;
    EXPECT_EQ(scene.IsHandKnown(3), 0);
    Hand(3)[2].bLocked = 1;  // not in the hand: does not count
    EXPECT_EQ(scene.AnyLockedOwnTile(), 0);
    Hand(3)[3].bLocked = 1;
    EXPECT_EQ(scene.AnyLockedOwnTile(), 1);
}

TEST_F(TableTest, FaceCopiesOfSuitsAndHonours) {
    int32_t ids[4], others[3];
    CMJGameScene::FaceCopies(13, ids);  // second suit's five
    EXPECT_EQ(std::vector<int>(ids, ids + 4), (std::vector<int>{4, 13, 22, 31}));
    CMJGameScene::FaceCopies(115, ids);
    EXPECT_EQ(std::vector<int>(ids, ids + 4), (std::vector<int>{108, 115, 122, 129}));
    CMJGameScene::OtherCopies(115, others);
    EXPECT_EQ(std::vector<int>(others, others + 3), (std::vector<int>{108, 122, 129}));
    CMJGameScene::FaceCopies(140, ids);  // a flower has no copies
    EXPECT_EQ(ids[0], -1);
    CMJGameScene::OtherCopies(-1, others);
    EXPECT_EQ(others[2], -1);
}

TEST_F(TableTest, RemoveTileFromHandShiftsOnlyWithinTheHand) {
    struct Case {
        const char* what;
        int code;
        std::vector<int> after;  // codes of records 1-6
        int cleared;             // the record whose flags go, -1 none
    };
    const Case cases[] = {
        {"middle", 3, {1, 2, 4, 5, 5, 7}, 5},
        {"draw slot", 9, {1, 2, 3, 4, 5, 7}, 0},
        {"meld only", 7, {1, 2, 3, 4, 5, 7}, -1},
        {"nowhere", 8, {1, 2, 3, 4, 5, 7}, -1},
    };
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        Fill(Hand(2), {1, 2, 3, 4, 5});
        Fill(Hand(2), {9}, 0);
        Hand(2)[6].nCode = 7, Hand(2)[6].bPresent = 1, Hand(2)[6].nMeld = kMeldPeng;
        MJTileInfo before[kHandRecords];
        std::memcpy(before, Hand(2), sizeof before);
        scene.RemoveTileFromHand(2, c.code);
        EXPECT_EQ(Codes(Hand(2), 1, 6), c.after) << c.what;
        for (int i = 0; i < kHandRecords; ++i) {
            if (i == c.cleared) {
                EXPECT_EQ(Hand(2)[i].bPresent, 0) << c.what;
                EXPECT_EQ(Hand(2)[i].bHand, 0) << c.what;
            } else {
                EXPECT_EQ(Hand(2)[i].bPresent, before[i].bPresent) << c.what << " " << i;
            }
        }
        if (c.cleared < 0) {
            EXPECT_EQ(std::memcmp(before, Hand(2), sizeof before), 0) << c.what;
        }
    }
    // A run of hand records up to the 18th: the last of the 18 closes the gap, 18 is untouched.
    scene.Tiles().Clear();
    for (int i = 1; i < 20; ++i) Fill(Hand(3), {i}, i);
    scene.RemoveTileFromHand(3, 2);
    EXPECT_EQ(Hand(3)[2].nCode, 3);
    EXPECT_EQ(Hand(3)[16].nCode, 17);
    EXPECT_EQ(Hand(3)[17].bPresent, 0);
    EXPECT_EQ(Hand(3)[18].nCode, 18);
    EXPECT_EQ(Hand(3)[18].bPresent, 1);
    // A tile past the fourteenth record is found and taken out too.
    scene.RemoveTileFromHand(3, 16);
    EXPECT_EQ(Hand(3)[15].nCode, 17);
    EXPECT_EQ(Hand(3)[16].bPresent, 0);
}

TEST_F(TableTest, SortOrders) {
    struct Case {
        std::vector<int> in, out;
        int joker = -1;
    };
    const Case cases[] = {
        {{0, 8, 4}, {8, 4, 0}},                                  // 1, 9, 5 → 9, 5, 1
        {{108, 0, 36, 72}, {108, 72, 36, 0}},                    // honours first
        {{9, 0, 18}, {9, 0, 18}},                                // equal keys keep order
        {std::vector<int>(13, 200), std::vector<int>(13, 200)},  // a looker-on's hand
        {{0, 9, 18, 27, 1}, {1, 0, 9, 18, 27}},                  // a key met four times
        {{4, 31, 0, 13}, {0, 4, 31, 13}, 4},                     // jokers last, as they stood
    };
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        scene.joker = c.joker;
        scene.flags = c.joker >= 0 ? 0x900C2101 : 0x900C2100;
        for (size_t i = 0; i < c.in.size(); ++i) Hand(3)[i + 1].nCode = c.in[i];
        scene.SortHand(Hand(3), 1, int(c.in.size()));
        EXPECT_EQ(Codes(Hand(3), 1, int(c.in.size())), c.out);
    }
    scene.Tiles().Clear();
    Hand(3)[1].nCode = 0, Hand(3)[2].nCode = 8;
    scene.SortHand(Hand(3), 2, 2);  // first not below last: nothing
    scene.SortHand(Hand(3), 1, 40);
    scene.SortHand(nullptr, 1, 2);
    EXPECT_EQ(Codes(Hand(3), 1, 2), (std::vector<int>{0, 8}));
}

class OwnHandTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        if (!HaveAssets()) GTEST_SKIP() << "no table pictures";
        Start(710);
        scene.GetHandRect(3, hand);
        Fill(Hand(3), {100, 80, 60, 40, 20}, 1);
        scene.BindHandTiles(3);
    }
    const MJTileInfo& R(int i) { return Hand(3)[i]; }
    engine::Entity* E(int i) {
        return scene.GetKernel().FindEntity(scene.Binding(R(i).nObject)->entityId);
    }
    MJRect hand;
};

TEST_F(OwnHandTest, HitTestsAtTileEdges) {
    const int w = 54, x1 = R(1).nX, y = R(1).nY;
    struct Case {
        int rx, ry, want;
    };
    const Case cases[] = {{x1, y, 1},       {x1 + w - 1, y, 1}, {x1 + w, y, -1},
                          {x1 - 1, y, 2},   {x1, y - 1, -1},    {x1, y + 86, 1},
                          {x1, y + 87, -1}, {R(5).nX, y, 5},    {R(5).nX - 1, y, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(scene.HitTestOwnTile(c.rx, c.ry), c.want) << c.rx << "," << c.ry;
    EXPECT_EQ(scene.HitTestOwnHand(hand.left + x1, hand.top + y), 1);
    EXPECT_EQ(scene.HitTestOwnHand(hand.left + x1, hand.top - 1), -1);
    EXPECT_EQ(scene.HitTestOwnHand(hand.right, hand.top + y), -1);
    // A locked tile is never hit (its left edge lies over record 2's, which the point past
    // the 4-pixel overlap leaves).
    Hand(3)[1].bLocked = 1;
    EXPECT_EQ(scene.HitTestOwnTile(x1 + 4, y), -1);
    EXPECT_EQ(scene.HitTestOwnTile(x1 + 3, y), 2);
    // The drop columns: the right half gives the record before.
    EXPECT_EQ(scene.GetDropIndex(x1 + 27, 0), 1);
    EXPECT_EQ(scene.GetDropIndex(x1 + 28, 0), 0);
    EXPECT_EQ(scene.GetDropIndex(x1, 86), 1);
    EXPECT_EQ(scene.GetDropIndex(x1, 87), -2);
    EXPECT_EQ(scene.GetDropIndex(x1, -1), -2);
    Fill(Hand(3), {7}, 0);
    EXPECT_EQ(scene.GetDropIndex(R(0).nX + 40, 5), -1);
}

TEST_F(OwnHandTest, BindingShowsEveryPresentRecordAndReleasesChangedOnes) {
    for (int i = 1; i <= 5; ++i) {
        ASSERT_NE(R(i).nObject, 0) << i;
        EXPECT_NE(scene.Binding(R(i).nObject)->control, 0);
        EXPECT_EQ(E(i)->GetX(), hand.left + R(i).nX + 27);
        EXPECT_EQ(E(i)->GetZ(), 2800 - i);
        EXPECT_TRUE(E(i)->IsVisible());
    }
    EXPECT_EQ(R(6).nObject, 0);
    // A changed or gone record is released; a changed one is bound afresh, a locked one dimmed.
    Hand(3)[2].nCode = 81;
    Hand(3)[3].bPresent = 0;
    Hand(3)[4].bLocked = 1;
    scene.BindHandTiles(3);
    EXPECT_EQ(scene.Binding(R(2).nObject)->code, 81);
    EXPECT_EQ(R(3).nObject, 0);
    EXPECT_DOUBLE_EQ(E(4)->GetAlpha(), 0.6);
    // An own tile out of the hand, face down, is a back whatever its direction.
    Hand(3)[6].bPresent = 1, Hand(3)[6].bHand = 0, Hand(3)[6].nFace = 0;
    scene.BindHandTiles(3);
    EXPECT_EQ(scene.Binding(R(6).nObject)->area, 3);
    EXPECT_EQ(E(6)->GetWidth(), 26);
    EXPECT_EQ(E(6)->GetHeight(), 36);
    // Another seat's pictures by kind, nFace and lying direction.
    struct Case {
        int hand, face, direction, area, width, height;
    };
    const Case cases[] = {{1, 2, 0, 2, 19, 49}, {1, 1, 0, 2, 33, 32}, {0, 0, 2, 3, 33, 32},
                          {0, 1, 1, 3, 26, 36}, {0, 1, 3, 3, 26, 36}, {0, 1, 2, 3, 33, 32}};
    for (int i = 0; i < 6; ++i) {
        MJTileInfo& r = Hand(0)[i + 1];
        r.bPresent = 1, r.bHand = cases[i].hand, r.nFace = cases[i].face;
        r.nDirection = cases[i].direction, r.nCode = 5;
    }
    scene.BindHandTiles(0);
    for (int i = 0; i < 6; ++i) {
        const MJBinding* b = scene.Binding(Hand(0)[i + 1].nObject);
        ASSERT_NE(b, nullptr) << i;
        engine::Entity* e = scene.GetKernel().FindEntity(b->entityId);
        EXPECT_EQ(b->area, cases[i].area) << i;
        EXPECT_EQ(e->GetWidth(), cases[i].width) << i;
        EXPECT_EQ(e->GetHeight(), cases[i].height) << i;
    }
    // A standing tile with nFace 0 is bad data: logged, the rest of the hand stays unbound.
    Fill(Hand(1), {5, 6, 7});
    Hand(1)[2].nFace = 0;
    scene.BindHandTiles(1);
    EXPECT_NE(Hand(1)[1].nObject, 0);
    EXPECT_EQ(Hand(1)[3].nObject, 0);
    EXPECT_NE(Log().find("错误的游戏数据，1号位手上的麻将nFace不能为0"), std::string::npos);
}

TEST_F(OwnHandTest, EngineDragReordersTheHand) {
    struct Case {
        int from;
        int dx;  // where the tile's centre is dropped, relative to the from tile's left
        std::vector<int> after;
    };
    const int w = 54;
    const Case cases[] = {
        {1, -3 * w + 10, {80, 60, 40, 100, 20}},  // three to the left, left half
        {4, 2 * w + 40, {100, 40, 80, 60, 20}},   // two to the right, right half
        {2, 10, {100, 80, 60, 40, 20}},           // its own column
        {2, w + 10, {100, 80, 60, 40, 20}},       // left half of its right neighbour
    };
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        scene.LayoutHands();
        Fill(Hand(3), {100, 80, 60, 40, 20}, 1);
        scene.BindHandTiles(3);
        const MJBinding* b = scene.Binding(R(c.from).nObject);
        MJTileInfo* r = &Hand(3)[c.from];
        scene.OnTileDragStart(r, const_cast<MJBinding*>(b));
        ASSERT_EQ(scene.IsDragging(), 1);
        EXPECT_EQ(E(c.from)->GetZ(), 2900);
        E(c.from)->SetPosition(hand.left + R(c.from).nX + c.dx, hand.top + 40);
        host.sounds.clear();
        scene.OnTileDrop(r, const_cast<MJBinding*>(b));
        EXPECT_EQ(scene.IsDragging(), 0);
        EXPECT_EQ(scene.DraggedIndex(), -1);
        EXPECT_EQ(Codes(Hand(3), 1, 5), c.after) << c.from << " " << c.dx;
        for (int i = 1; i <= 5; ++i) EXPECT_NE(R(i).nObject, 0);
        const bool moved = c.after != std::vector<int>{100, 80, 60, 40, 20};
        EXPECT_EQ(host.sounds.size(), moved ? 1u : 0u);
    }
}

// The hand keeps its order while any claim is open or held back by the server, though no
// tile is locked (a held-back peng, gang or hu): the drag, like the sort, waits until the
// claim is settled. A held-back added gang is finished from the tile picked on its record,
// which a drag would leave behind while the tile moved on.
TEST_F(OwnHandTest, NoReorderingWhileAClaimIsOpenOrHeldBack) {
    MJTileInfo* r = &Hand(3)[2];
    MJBinding* b = scene.Binding(r->nObject);
    ASSERT_EQ(scene.AnyLockedOwnTile(), 0);
    for (int mode : {1, 2, 3, 4}) {
        scene.SetSelectMode(mode);
        scene.OnTileDragStart(r, b);
        EXPECT_EQ(scene.IsDragging(), 0) << mode;
    }
    scene.SetSelectMode(0);
    scene.OnTileDragStart(r, b);
    EXPECT_EQ(scene.IsDragging(), 1);
}

// The lock marks alone do not stop the drag during a held-back added gang: a hand that holds
// nothing but the fourth tiles of its two pungs has every tile unlocked by the gang choice. The
// pick stays on its record, and the gang finished at the countdown's end is the picked tile's.
TEST_F(OwnHandTest, NoReorderingDuringAHeldBackAddedGangThoughNoTileIsLocked) {
    scene.Tiles().Clear();
    MJTileInfo* row = Hand(3);
    // The pungs of the first suit's one and two (ids 0, 9, 18 and 1, 10, 19) laid out, their
    // fourth tiles (27 and 28) in the hand.
    const int pungs[] = {0, 9, 18, 1, 10, 19};
    for (int i = 0; i < 6; ++i) {
        row[i + 1].nCode = pungs[i];
        row[i + 1].bPresent = 1;
        row[i + 1].nMeld = kMeldPeng;
    }
    Fill(row, {27, 28}, 7);
    scene.MarkGangChoices();
    row[7].bSelected = 1;  // the one of the pung of ones is picked
    scene.BindHandTiles(3);
    ASSERT_EQ(scene.AnyLockedOwnTile(), 0);
    scene.SetPending(1);  // the server held the added gang back
    scene.SetSelectMode(2);
    for (int i : {7, 8}) {
        scene.OnTileDragStart(&row[i], scene.Binding(row[i].nObject));
        EXPECT_EQ(scene.IsDragging(), 0) << i;
    }
    EXPECT_EQ(row[7].nCode, 27);
    EXPECT_EQ(row[7].bSelected, 1);
}

TEST_F(OwnHandTest, NoDragForALookerOnALockedTileOrWhileOneRuns) {
    MJTileInfo* r = &Hand(3)[2];
    MJBinding* b = scene.Binding(r->nObject);
    host.lookerOn = 1;
    scene.OnTileDragStart(r, b);
    EXPECT_EQ(scene.IsDragging(), 0);
    host.lookerOn = 0;
    scene.SetSelectMode(3);  // a chi choice is open
    scene.OnTileDragStart(r, b);
    EXPECT_EQ(scene.IsDragging(), 0);
    scene.SetSelectMode(0);
    Hand(3)[4].bLocked = 1;  // any locked own tile stops the drag
    scene.OnTileDragStart(r, b);
    EXPECT_EQ(scene.IsDragging(), 0);
    Hand(3)[4].bLocked = 0;
    scene.OnTileDrop(r, b);  // no drag runs: nothing
    EXPECT_EQ(Codes(Hand(3), 1, 5), (std::vector<int>{100, 80, 60, 40, 20}));
    scene.OnTileDragStart(r, b);
    EXPECT_EQ(scene.IsDragging(), 1);
    host.lookerOn = 1;  // a looker-on's drop ends nothing
    scene.OnTileDrop(r, b);
    EXPECT_EQ(scene.IsDragging(), 1);
    host.lookerOn = 0;
    scene.OnTileDragStart(&Hand(3)[3], scene.Binding(R(3).nObject));
    EXPECT_EQ(scene.DraggedIndex(), 2);
    // The dragged tile changed meanwhile: the drop moves nothing.
    Hand(3)[2].nCode = 61;
    scene.MoveDraggedTile(5, 0, 0);
    EXPECT_EQ(Codes(Hand(3), 1, 5), (std::vector<int>{100, 61, 60, 40, 20}));
    // Target -2 left of the last record's column: the last hand record.
    Hand(3)[2].nCode = 80;
    scene.MoveDraggedTile(-2, R(5).nX - 5, 10);
    EXPECT_EQ(Codes(Hand(3), 1, 5), (std::vector<int>{100, 60, 40, 20, 80}));
    EXPECT_EQ(scene.DraggedIndex(), -1);
    // No drag: the tiles are only put back, whatever stands before the row.
    Hand(2)[31].nCode = 80, Hand(2)[31].bPresent = Hand(2)[31].bHand = 1;
    scene.MoveDraggedTile(3, 0, 0);
    EXPECT_EQ(Codes(Hand(3), 1, 5), (std::vector<int>{100, 60, 40, 20, 80}));
    // Target -2 on the last record's left edge is no longer left of it: record 0 side.
    scene.OnTileDragStart(&Hand(3)[2], scene.Binding(R(2).nObject));
    scene.MoveDraggedTile(-2, R(5).nX, 10);
    EXPECT_EQ(Codes(Hand(3), 1, 5), (std::vector<int>{60, 100, 40, 20, 80}));
}

}  // namespace
}  // namespace hqlv::mahjong::test
