#include "rules/tiles.h"

#include <gtest/gtest.h>

#include <climits>

#include "hands.h"
#include "rules/claims.h"
#include "rules/hu.h"

using namespace hqlv::rules;

namespace {

TEST(TileModel, IdsMapToTheirKinds) {
    for (int id : {0, 9, 18, 27}) EXPECT_EQ(MJ_TileIndex(id, 0), 1) << id;
    EXPECT_EQ(MJ_TileIndex(36, 0), 11);
    EXPECT_EQ(MJ_TileIndex(107, 0), 29);
    EXPECT_EQ(MJ_TileIndex(108, 0), 31);
    EXPECT_EQ(MJ_TileIndex(135, 0), 37);
    EXPECT_EQ(MJ_TileIndex(136, 0), 41);
    EXPECT_EQ(MJ_TileIndex(151, 0), 56);
    EXPECT_EQ(MJ_TileShape(152, 0), -1);
    EXPECT_EQ(MJ_TileValue(152, 0), 0);
    EXPECT_EQ(MJ_TileIndex(152, 0), kNoTileIndex);
    EXPECT_EQ(MJ_TileIndex(-1, 0), kNoTileIndex);
    // Every kind has exactly its copies: four per suit/honour kind, one per flower.
    int perKind[64] = {};
    for (int id = 0; id < kTileIdCount; ++id) ++perKind[MJ_TileIndex(id, 0)];
    for (int k = 1; k < 64; ++k) {
        int expected = (k % 10 != 0 && k < 30) || (k >= 31 && k <= 37) ? 4 : (k >= 41 && k <= 56);
        EXPECT_EQ(perKind[k], expected) << k;
    }
}

TEST(TileModel, IndicesAndKinds) {
    EXPECT_EQ(MJ_MakeIndex(0, 0), 0);
    EXPECT_EQ(MJ_MakeIndex(-1, 5), 0);
    EXPECT_EQ(MJ_MakeIndex(2, 9), 29);
    EXPECT_EQ(MJ_FindTileOfIndex(37, 0), 114);
    EXPECT_EQ(MJ_FindTileOfIndex(38, 0), -1);
    EXPECT_EQ(MJ_FindTileOfIndex(kNoTileIndex, 0), -1);  // no id outside 0..151 is offered
    EXPECT_EQ(MJ_IsSameKind(0, 27, 0), 1);
    EXPECT_EQ(MJ_IsSameKind(0, 1, 0), 0);
    // Every id that is no tile has the index -10, so two of them compare as one kind; a
    // non-tile never matches a tile.
    EXPECT_EQ(MJ_IsSameKind(-1, 200, 0), 1);
    EXPECT_EQ(MJ_IsSameKind(-1, -1, 0), 1);
    EXPECT_EQ(MJ_IsSameKind(-1, 0, 0), 0);
    EXPECT_EQ(MJ_IsSameKind(152, 151, 0), 0);
    EXPECT_EQ(MJ_IsWindIndex(34), 34);
    EXPECT_EQ(MJ_IsWindIndex(35), 0);
    EXPECT_EQ(MJ_IsDragonIndex(35), 35);
    EXPECT_EQ(MJ_IsDragonIndex(38), 0);
    int n258 = 0;
    for (int k = -5; k < 70; ++k) n258 += MJ_Is258Tile(k);
    EXPECT_EQ(n258, 9);
    EXPECT_EQ(MJ_Is258Tile(25), 1);
    EXPECT_EQ(MJ_Is258Tile(32), 0);
}

TEST(TileModel, JokerRecognition) {
    // A = -1: no jokers at all, whatever B holds.
    EXPECT_EQ(MJ_IsJokerIndex(15, -1, 40, kTileFlagJokers), 0);
    EXPECT_EQ(MJ_IsJoker(40, -1, 40, kTileFlagJokers), 0);
    // A = 4 (index 5): a joker only with flag 0x1.
    EXPECT_EQ(MJ_IsJoker(13, 4, -1, 0), 0);
    EXPECT_EQ(MJ_IsJoker(13, 4, -1, kTileFlagJokers), 1);
    EXPECT_EQ(MJ_IsJoker(-1, 4, -1, kTileFlagJokers), 0);
    EXPECT_EQ(MJ_IsJoker(14, 4, 40, kTileFlagJokers), 0);
    EXPECT_EQ(MJ_IsJoker(49, 4, 40, kTileFlagJokers), 1);  // B's kind (15)
    int a = 99, b = 99;
    EXPECT_EQ(MJ_JokerIndices(4, -1, 0, &a, &b), 1);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 99);  // an absent joker's word is left alone
    EXPECT_EQ(MJ_JokerIndices(500, 130, 0, &a, &b), 2);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 32);

    hands::Counts c{5, 5, 5, 15, 15};
    int extra = 0;
    EXPECT_EQ(MJ_JokerCounts(c, 4, 40, kTileFlagJokers, &extra), 3);
    EXPECT_EQ(extra, 2);
    extra = 0;
    EXPECT_EQ(MJ_JokerCounts(c, -1, 40, kTileFlagJokers, &extra), 0);
    EXPECT_EQ(MJ_JokerCounts(c, 4, 40, 0, &extra), 0);
    EXPECT_EQ(extra, 0);

    EXPECT_EQ(MJ_StandInIndexOf(4, -1, 0), 37);
    EXPECT_EQ(MJ_IsStandInIndex(37, 4, -1, 0), 37);
    EXPECT_EQ(MJ_IsJokerStandIn(hands::id(37, 2), 4, -1, 0), 37);
    EXPECT_EQ(MJ_IsJokerStandIn(hands::id(36), 4, -1, 0), 0);
    EXPECT_EQ(MJ_IsJokerStandIn(-1, 4, -1, 0), 0);
}

TEST(TileModel, ListsSkipEmptyAndForeignIds) {
    const int32_t list[] = {3, -1, 12, 21, 30};
    int32_t out[5] = {-1, -1, -1, -1, -1};
    EXPECT_EQ(MJ_CollectSameKind(list, 5, 39, out, 5, 0), 0);  // 39 is index 14, the list all 4
    EXPECT_EQ(MJ_CollectSameKind(list, 5, 30, out, 2, 0), 2);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], 12);
    EXPECT_EQ(out[2], -1);
    EXPECT_EQ(MJ_CollectIndex(list, 5, 4, out, 5, 0), 4);
    EXPECT_EQ(out[3], 30);

    // Ids that are no tiles never reach the count table.
    const int32_t noisy[] = {152, 500, -7, INT_MIN, INT_MAX, 0, 151};
    CountTable c = {};
    EXPECT_EQ(MJ_CountTiles(noisy, 7, c, 0), 2);
    int sum = 0;
    for (int k = 0; k < kIndexCount; ++k) sum += c[k];
    EXPECT_EQ(sum, 2);
    EXPECT_EQ(c[1], 1);
    EXPECT_EQ(c[56], 1);
    EXPECT_EQ(MJ_CollectSameKind(noisy, 7, 500, out, 5, 0), 0);
    EXPECT_EQ(MJ_CollectIndex(noisy, 7, 1, out, 5, 0), 1);  // id 0 is a tile
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(MJ_CountTiles(nullptr, 5, c, 0), 0);

    int32_t group[4] = {1, 2, 3, 4};
    MJ_ClearGroup4(group);
    for (int g : group) EXPECT_EQ(g, -1);
}

TEST(TileModel, Flowers) {
    EXPECT_EQ(MJ_IsFlower(136), 1);
    EXPECT_EQ(MJ_IsFlower(135), 0);
    EXPECT_EQ(MJ_IsFlower(-1), 0);
    EXPECT_EQ(MJ_IsFlower(152), 0);
    hands::Counts c{41, 41, 56, 5};
    EXPECT_EQ(MJ_HasFlowerTile(c, 136, -1, -1, 0), kResultFlowerHeld);
    EXPECT_EQ(MJ_HasFlowerTile(c, 137, -1, -1, 0), 0);
    EXPECT_EQ(MJ_HasFlowerTile(c, 4, -1, -1, 0), 0);
    EXPECT_EQ(MJ_HasFlowerTile(c, 9999, -1, -1, 0), 0);
    EXPECT_EQ(MJ_CountFlowers(c, -1, -1, 0), 3);
}

TEST(TileModel, AddTileTakeJokers) {
    // Jokers A = index 5, B = index 15; the tile is a 3.
    hands::Counts c{5, 5, 15, 37, 3};
    int idx = -1, b = -1;
    EXPECT_EQ(MJ_AddTileTakeJokers(c, hands::id(3, 1), 4, 40, &idx, kTileFlagJokers, 0, &b), 2);
    EXPECT_EQ(idx, 3);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c[3], 2);
    EXPECT_EQ(c[5], 0);
    EXPECT_EQ(c[15], 0);
    EXPECT_EQ(c[37], 1);

    // Substitutes join joker A's kind.
    hands::Counts s{5, 37, 37};
    EXPECT_EQ(MJ_AddTileTakeJokers(s, -1, 4, -1, &idx, kTileFlagJokers | kTileFlagStandIn, 0, &b),
              1);
    EXPECT_EQ(idx, 0);
    EXPECT_EQ(s[5], 2);
    EXPECT_EQ(s[37], 0);

    // Claim mode under flag 0x8: jokers stay as their own kind and the substitutes add to them
    // (were joker A's count replaced by the substitutes', the jokers kept in the hand would
    // vanish from it).
    hands::Counts n{5, 37};
    EXPECT_EQ(
        MJ_AddTileTakeJokers(n, -1, 4, -1, &idx,
                             kTileFlagJokers | kTileFlagStandIn | kTileFlagJokersNatural, 1, &b),
        0);
    EXPECT_EQ(n[5], 2);
    EXPECT_EQ(n[37], 0);

    // Without joker A no tile leaves the hand, neither B's nor the substitutes.
    hands::Counts none{15, 15, 37};
    EXPECT_EQ(
        MJ_AddTileTakeJokers(none, -1, -1, 40, &idx, kTileFlagJokers | kTileFlagStandIn, 0, &b), 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(none[15], 2);
    EXPECT_EQ(none[37], 1);
    EXPECT_EQ(none[0], 0);
    // A joker A that is no tile: the substitutes stay where they are.
    EXPECT_EQ(
        MJ_AddTileTakeJokers(none, -1, 200, -1, &idx, kTileFlagJokers | kTileFlagStandIn, 0, &b),
        0);
    EXPECT_EQ(none[37], 1);
    EXPECT_EQ(none[0], 0);

    // Joker A is itself the substitute kind: the tiles are the jokers, nothing is lost twice.
    hands::Counts self{37, 37, 2};
    EXPECT_EQ(
        MJ_AddTileTakeJokers(self, -1, 114, -1, &idx, kTileFlagJokers | kTileFlagStandIn, 0, &b),
        2);
    EXPECT_EQ(self[2], 1);

    // A foreign tile id adds nothing.
    hands::Counts f{};
    MJ_AddTileTakeJokers(f, 777, -1, -1, &idx, 0, 0, &b);
    EXPECT_EQ(idx, 0);
    for (int k = 0; k < kIndexCount; ++k) EXPECT_EQ(f[k], 0);
}

TEST(TileModel, RunTests) {
    hands::Counts c{7, 8, 9};
    EXPECT_EQ(MJ_CanFormSuitRun(c, 9), 1);
    c[7] = 0;
    EXPECT_EQ(MJ_CanFormSuitRun(c, 9), 0);
    hands::Counts low{1, 2};
    low[0] = 5;  // never looked at
    EXPECT_EQ(MJ_CanFormSuitRun(low, 1), 0);
    low[3] = 1;
    EXPECT_EQ(MJ_CanFormSuitRun(low, 1), 1);
    hands::Counts cross{17, 18, 19, 21};
    EXPECT_EQ(MJ_CanFormSuitRun(cross, 19), 1);
    cross[18] = 0;
    EXPECT_EQ(MJ_CanFormSuitRun(cross, 19), 0);
    hands::Counts mid{4, 5, 6};
    for (int k : {4, 5, 6}) EXPECT_EQ(MJ_CanFormSuitRun(mid, k), 1) << k;
    EXPECT_EQ(MJ_CanFormSuitRun(mid, 7), 0);
    hands::Counts flowers{43, 44, 45};
    EXPECT_EQ(MJ_CanFormRun(flowers, 44, -1, -1, 0), 0);  // flowers make no runs

    hands::Counts dragons{36, 37};
    EXPECT_EQ(MJ_CanFormHonourRun(dragons, 35, kTileFlagHonourRuns), 1);
    EXPECT_EQ(MJ_CanFormHonourRun(dragons, 35, 0), 0);
    hands::Counts winds{32, 35};
    EXPECT_EQ(MJ_CanFormHonourRun(winds, 31, kTileFlagHonourRuns), 0);
    winds[34] = 1;
    EXPECT_EQ(MJ_CanFormHonourRun(winds, 31, kTileFlagHonourRuns), 1);
    EXPECT_EQ(MJ_CanFormRun(winds, 31, -1, -1, 0), 0);
    EXPECT_EQ(MJ_CanFormRun(winds, 31, -1, -1, kTileFlagHonourRuns), 1);

    // The substitute is looked at as joker A's kind (index 5) under flag 0x4.
    hands::Counts sub{4, 6};
    EXPECT_EQ(MJ_CanFormRun(sub, 37, 4, -1, kTileFlagStandIn), 0);  // 5 itself is not counted
    sub[5] = 1;
    EXPECT_EQ(MJ_CanFormRun(sub, 37, 4, -1, kTileFlagStandIn), 1);
    EXPECT_EQ(MJ_CanFormRun(sub, 37, 4, -1, 0), 0);
}

TEST(TileModel, TailOfTheWall) {
    int counter = 0, skipped = 9;
    EXPECT_EQ(MJ_NextTailWallPos(0, -1, 136, &counter, &skipped), 134);
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(MJ_NextTailWallPos(0, -1, 136, &counter, &skipped), 135);
    EXPECT_EQ(MJ_NextTailWallPos(0, -1, 136, &counter, &skipped), 132);
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(MJ_NextTailWallPos(0, -1, 136, &counter, &skipped), 133);
    counter = 2;
    EXPECT_EQ(MJ_NextTailWallPos(0, 132, 136, &counter, &skipped), 133);
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(counter, 4);
    counter = 1;  // stepping over the last position wraps to 0
    EXPECT_EQ(MJ_NextTailWallPos(0, 135, 136, &counter, &skipped), 0);
    counter = 0;
    EXPECT_EQ(MJ_NextTailWallPos(50, -1, 136, &counter, &skipped), 48);
    // Positions stay inside the wall whatever the start and the counter hold.
    for (int start : {-1000, -1, 0, 135, 136, 5000}) {
        for (int c : {0, 1, 7, 400, 100000}) {
            counter = c;
            int p = MJ_NextTailWallPos(start, -1, 136, &counter, &skipped);
            EXPECT_TRUE(p >= 0 && p < 136) << start << " " << c << " " << p;
        }
    }
    EXPECT_EQ(MJ_NextTailWallPos(10, -1, 0, &counter, &skipped), -1);
    EXPECT_EQ(MJ_NextTailWallPos(10, -1, 136, nullptr, &skipped), -1);
}

int32_t flowerFrom37(int32_t index, int32_t, int32_t, int32_t) {
    return index == 37 || index / 10 >= 4;
}
int32_t standIn36(int32_t, int32_t, int32_t) {
    return 36;
}
int32_t standInFar(int32_t, int32_t, int32_t) {
    return 1 << 24;
}

TEST(TileModel, CallbacksChangeEveryOperation) {
    MJ_TileCallbacks cb = MJ_DefaultTileCallbacks();
    cb.IsFlower = flowerFrom37;
    cb.StandInIndex = standIn36;
    MJ_SetTileCallbacks(cb);
    EXPECT_EQ(MJ_IsFlower(hands::id(37)), 1);
    EXPECT_EQ(MJ_IsJokerStandIn(hands::id(36), 4, -1, 0), 36);
    hands::Counts c{1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 37};
    HuResult r;
    EXPECT_EQ(MJ_CheckHu(c, -1, -1, -1, 0, 0, &r, 0), 0);  // a "flower" is held
    c[37] = 0;
    c[5] = 2;
    EXPECT_EQ(MJ_CheckHu(c, -1, -1, -1, 0, 0, &r, 0), kResultWin);
    // A stand-in kind outside the table is never moved to or from.
    cb.StandInIndex = standInFar;
    MJ_SetTileCallbacks(cb);
    hands::Counts lone5{31, 31, 31, 32, 32, 32, 33, 33, 33, 35, 35, 36, 36, 5};
    EXPECT_EQ(MJ_CanHu(lone5, 0, 0, 4, -1, 36, kTileFlagJokers | kTileFlagStandIn, kRuleAllHonours,
                       &r, 0),
              0);
    // A null member keeps its default; restoring the defaults restores the behaviour.
    MJ_SetTileCallbacks(MJ_TileCallbacks{});
    EXPECT_EQ(MJ_IsFlower(hands::id(37)), 0);
    EXPECT_EQ(MJ_GetTileCallbacks().StandInIndex, MJ_DefaultTileCallbacks().StandInIndex);
}

}  // namespace
