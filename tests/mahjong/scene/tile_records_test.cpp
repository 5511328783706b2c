// The scene's tile records: classification by id, the face cell, record access with its
// bounds, and the hand-row operations.
#include "mahjong/scene/tile_records.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace hqlv::mahjong {
namespace {

TEST(TileIds, ShapeValueAndFaceAtEveryEdge) {
    struct Case {
        int id, shape, value, face;
    };
    const Case cases[] = {
        {-1, 0, 0, 0},    {0, 0, 1, 0},    {8, 0, 9, 8},    {35, 0, 9, 8},   {36, 1, 1, 9},
        {71, 1, 9, 17},   {72, 2, 1, 18},  {107, 2, 9, 26}, {108, 3, 1, 27}, {114, 3, 7, 33},
        {115, 3, 1, 27},  {135, 3, 7, 33}, {136, 4, 1, 34}, {143, 4, 8, 41}, {144, 5, 1, 42},
        {147, 5, 4, 45},  {148, 5, 5, 46}, {151, 5, 8, 46}, {152, -1, 0, 0}, {199, -1, 0, 0},
        {200, -1, 0, 46}, {201, -1, 0, 0}, {-200, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TileShape(c.id), c.shape) << c.id;
        EXPECT_EQ(TileValue(c.id), c.value) << c.id;
        EXPECT_EQ(GetFaceIndex(c.id), c.face) << c.id;
    }
}

TEST(TileAreas, RecordAccessChecksAreaViewAndIndex) {
    CMJTileAreas t;
    t.Clear();
    EXPECT_EQ(t.GetTileRecord(1, 9, 0), &t.m_wall[0]);  // the wall ignores the seat
    EXPECT_EQ(t.GetTileRecord(1, 0, 167), &t.m_wall[167]);
    EXPECT_EQ(t.GetTileRecord(1, 0, 168), nullptr);
    EXPECT_EQ(t.GetTileRecord(1, 0, -1), nullptr);
    EXPECT_EQ(t.GetTileRecord(2, 3, 31), &t.m_hands[3][31]);
    EXPECT_EQ(t.GetTileRecord(3, 3, 31), &t.m_hands[3][31]);
    EXPECT_EQ(t.GetTileRecord(2, 3, 32), nullptr);
    EXPECT_EQ(t.GetTileRecord(2, 4, 0), nullptr);
    EXPECT_EQ(t.GetTileRecord(2, -1, 0), nullptr);
    EXPECT_EQ(t.GetTileRecord(2, 0, -1), nullptr);
    EXPECT_EQ(t.GetTileRecord(4, 1, 35), &t.m_flowers[1][35]);
    EXPECT_EQ(t.GetTileRecord(4, 1, 36), nullptr);
    EXPECT_EQ(t.GetTileRecord(5, 2, 35), &t.m_discards[2][35]);
    EXPECT_EQ(t.GetTileRecord(5, 2, 36), nullptr);
    EXPECT_EQ(t.GetTileRecord(6, 0, 0), &t.m_showcase[0]);
    EXPECT_EQ(t.GetTileRecord(6, 0, 1), nullptr);
    EXPECT_EQ(t.GetTileRecord(7, 0, 0), nullptr);
    EXPECT_EQ(t.GetTileRecord(0, 0, 0), nullptr);
    EXPECT_EQ(t.HandRow(4), nullptr);
    // The showcase records come back laid face up at their view, z 3000.
    EXPECT_EQ(t.m_showcase[2].nFace, 1);
    EXPECT_EQ(t.m_showcase[2].nView, 2);
    EXPECT_EQ(t.m_showcase[2].nZ, 3000);
}

TEST(TileAreas, LoadHandCodesSkipsEmptyEntriesAndStaysInTheRow) {
    CMJTileAreas t;
    t.Clear();
    std::array<int32_t, 32> none;
    none.fill(-1);
    EXPECT_EQ(t.LoadHandCodes(3, none), 0);
    const std::vector<int32_t> some = {-1, 5, -1, 9};
    EXPECT_EQ(t.LoadHandCodes(3, some), 2);
    EXPECT_EQ(t.m_hands[3][0].nCode, 5);
    EXPECT_EQ(t.m_hands[3][1].nCode, 9);
    t.m_hands[3][0].nCode = 77;
    std::array<int32_t, 32> full;
    for (int i = 0; i < 32; ++i) full[size_t(i)] = 100 + i;
    t.m_hands[3][31].nX = 1234;
    // From record 1 a full list has room for 31 codes; the 32nd is not written.
    EXPECT_EQ(t.LoadHandCodesFrom1(3, full), 31);
    EXPECT_EQ(t.m_hands[3][0].nCode, 77);
    EXPECT_EQ(t.m_hands[3][1].nCode, 100);
    EXPECT_EQ(t.m_hands[3][31].nCode, 130);
    EXPECT_EQ(t.m_hands[3][31].nX, 1234);
    EXPECT_EQ(t.LoadHandCodes(3, full), 32);
    EXPECT_EQ(t.LoadHandCodes(4, full), 0);
}

void Hand(CMJTileAreas& t, int view, std::vector<int> codes, bool drawSlot) {
    for (size_t i = 0; i < codes.size(); ++i) {
        MJTileInfo& r = t.m_hands[view][i + (drawSlot ? 0 : 1)];
        r.nCode = codes[i];
        r.bPresent = r.bHand = 1;
        r.nFace = 2;
        r.nDirection = 3;
    }
}

struct Tests : CMJTileTests {
    int IsFlowerTile(int id) const override { return id >= 136 && id < 144; }
    int IsJokerTile(int id) const override { return id == joker; }
    int IsJokerStandIn(int) const override { return 0; }
    int SortsJokers() const override { return sorts; }
    int SortKey(int id) const override { return TileShape(id) * 10 + TileValue(id); }
    int joker = -1;
    int sorts = 0;
};

std::vector<int> Codes(const CMJTileAreas& t, int view, int from, int to) {
    std::vector<int> out;
    for (int i = from; i <= to; ++i) out.push_back(t.m_hands[view][i].nCode);
    return out;
}

TEST(TileAreas, InsertDrawnTileSortsItInAfterEqualKeys) {
    CMJTileAreas t;
    t.Clear();
    // Keys 9 (id 8), 5 (id 4 and 13), 2 (id 1): highest first.
    Hand(t, 3, {8, 4, 13, 1}, false);
    t.m_hands[3][0] = t.m_hands[3][1];
    t.m_hands[3][0].nCode = 22;  // key 5, like 4 and 13
    Tests tests;
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(Codes(t, 3, 1, 5), (std::vector<int>{8, 4, 13, 22, 1}));
    EXPECT_EQ(t.m_hands[3][0].nCode, 200);
    EXPECT_EQ(t.m_hands[3][0].bPresent, 0);
    EXPECT_EQ(t.m_hands[3][5].bPresent, 1);
    // A key above all goes first (the walk ends at the draw slot); below all goes last.
    t.m_hands[3][0] = t.m_hands[3][1];
    t.m_hands[3][0].nCode = 72 + 8;  // key 29
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(Codes(t, 3, 1, 6), (std::vector<int>{80, 8, 4, 13, 22, 1}));
    t.m_hands[3][0] = t.m_hands[3][1];
    t.m_hands[3][0].nCode = 0;  // key 1
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(Codes(t, 3, 1, 7), (std::vector<int>{80, 8, 4, 13, 22, 1, 0}));
    // Nothing happens without a drawn tile.
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(t.TopOfConcealedHand(3), 7);
}

TEST(TileAreas, InsertDrawnJokerAppendsUnlessJokersSort) {
    CMJTileAreas t;
    t.Clear();
    Hand(t, 3, {50, 8, 1}, false);
    t.m_hands[3][0] = t.m_hands[3][1];
    t.m_hands[3][0].nCode = 5;
    Tests tests;
    tests.joker = 5;
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(Codes(t, 3, 1, 4), (std::vector<int>{50, 8, 1, 5}));
    EXPECT_EQ(t.m_hands[3][4].bJoker, 1);
    EXPECT_EQ(t.m_hands[3][0].nCode, 5);  // not sorted: the draw slot keeps its code
    // A sorted-in drawn tile passes over the appended joker.
    t.m_hands[3][0].bPresent = t.m_hands[3][0].bHand = 1;
    t.m_hands[3][0].nCode = 0;
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(Codes(t, 3, 1, 5), (std::vector<int>{50, 8, 1, 0, 5}));
    // With jokers sorted, a joker is sorted like any tile.
    t.m_hands[3][0].bPresent = t.m_hands[3][0].bHand = 1;
    t.m_hands[3][0].nCode = 5;
    tests.sorts = 1;
    t.InsertDrawnTile(3, tests);
    EXPECT_EQ(t.m_hands[3][0].nCode, 200);
}

TEST(TileAreas, MoveTileToDrawSlotShiftsTheHandDown) {
    CMJTileAreas t;
    t.Clear();
    Hand(t, 0, {10, 11, 12}, false);
    t.m_hands[0][2].bLocked = 1;
    t.MoveTileToDrawSlot(0);
    EXPECT_EQ(Codes(t, 0, 0, 1), (std::vector<int>{10, 11}));
    EXPECT_EQ(t.m_hands[0][1].bLocked, 1);
    EXPECT_EQ(t.m_hands[0][0].nFace, 2);
    EXPECT_EQ(t.m_hands[0][0].nDirection, 3);
    EXPECT_EQ(t.m_hands[0][0].bPresent, 1);
    EXPECT_EQ(t.m_hands[0][2].bPresent, 1);
    EXPECT_EQ(t.m_hands[0][2].nCode, 12);
    EXPECT_EQ(t.m_hands[0][3].bPresent, 0);
    // The record that had no successor in the hand left it.
    EXPECT_EQ(t.TopOfConcealedHand(0), 2);
    // With record 0 present nothing moves.
    t.MoveTileToDrawSlot(0);
    EXPECT_EQ(Codes(t, 0, 0, 2), (std::vector<int>{10, 11, 12}));
}

TEST(TileAreas, FreeMeldGroupTakesTheTopFreeGroupAndNoFifth) {
    CMJTileAreas t;
    t.Clear();
    const int tops[] = {17, 13, 9, 5};
    for (int top : tops) {
        EXPECT_EQ(t.FreeMeldGroup(1), top);
        t.m_hands[1][top].bPresent = 1;
    }
    EXPECT_EQ(t.FreeMeldGroup(1), -1);
    EXPECT_EQ(t.FreeMeldGroup(-1), -1);
}

TEST(TileAreas, GangChoicesCountOnlyRealTileIndices) {
    CMJTileAreas t;
    t.Clear();
    // Three each of indices 1, 6 and 4 in the hand; the fourth 1 in a peng counts, the
    // fourth 6 in a gang and the fourth 4 in a chi do not. A hidden tile, an id past the
    // suits and a stray code count nowhere.
    Hand(t, 3, {0, 9, 18, 5, 14, 23, 3, 12, 21, 200, 150, 147}, false);
    t.m_hands[3][11].nCode = 999;
    const int melds[][3] = {{17, 27, kMeldPeng}, {16, 32, kMeldGang}, {15, 30, kMeldChi}};
    for (auto [at, code, kind] : melds) {
        t.m_hands[3][at] = t.m_hands[3][1];
        t.m_hands[3][at].nCode = code;
        t.m_hands[3][at].bHand = 0;
        t.m_hands[3][at].nMeld = kind;
    }
    t.MarkGangChoices();
    std::vector<int> locked;
    for (int i = 1; i <= 12; ++i) locked.push_back(t.m_hands[3][i].bLocked);
    EXPECT_EQ(locked, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST(TileAreas, FlowerChoicesLockTheRestOnlyWhenThereAreFlowers) {
    CMJTileAreas t;
    t.Clear();
    Hand(t, 3, {1, 2, 3}, false);
    t.m_hands[3][2].bLocked = 1;
    t.m_hands[3][1].bSelected = 1;
    Tests tests;
    EXPECT_EQ(t.MarkFlowerChoices(tests), 0);
    EXPECT_EQ(t.m_hands[3][2].bLocked, 1);  // nothing else changed
    EXPECT_EQ(t.m_hands[3][1].bSelected, 1);
    // A flower in the hand and a drawn one in the draw slot.
    t.m_hands[3][3].nCode = 140;
    t.m_hands[3][0] = t.m_hands[3][3];
    t.m_hands[3][0].bLocked = 1;
    EXPECT_EQ(t.MarkFlowerChoices(tests), 2);
    EXPECT_EQ(t.m_hands[3][1].bLocked, 1);
    EXPECT_EQ(t.m_hands[3][3].bLocked + t.m_hands[3][0].bLocked, 0);
    EXPECT_EQ(t.m_hands[3][1].bSelected, 0);
    // Both clears reach the first 14 records only.
    t.m_hands[3][14].bLocked = t.m_hands[3][14].bSelected = t.m_hands[3][14].bJoker = 1;
    t.m_hands[3][13].bJoker = t.m_hands[3][0].bLocked = t.m_hands[3][0].bSelected = 1;
    t.ClearChoiceMarks();
    t.ClearJokerMarks();
    EXPECT_EQ(t.m_hands[3][0].bLocked + t.m_hands[3][0].bSelected + t.m_hands[3][1].bLocked, 0);
    EXPECT_EQ(t.m_hands[3][13].bJoker, 0);
    EXPECT_EQ(t.m_hands[3][14].bLocked, 1);
    EXPECT_EQ(t.m_hands[3][14].bSelected, 1);
    EXPECT_EQ(t.m_hands[3][14].bJoker, 1);
}

TEST(TileAreas, ChiChoicesUnlockTheCandidates) {
    CMJTileAreas t;
    t.Clear();
    Hand(t, 3, {1, 2, 3}, false);
    const std::vector<int32_t> candidates = {2, 3};
    t.MarkChiChoices(candidates);
    EXPECT_EQ(t.m_hands[3][1].bLocked, 1);
    EXPECT_EQ(t.m_hands[3][2].bLocked, 0);
    EXPECT_EQ(t.m_hands[3][3].bLocked, 0);
}

}  // namespace
}  // namespace hqlv::mahjong
