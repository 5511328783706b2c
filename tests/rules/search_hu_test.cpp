// This game's best-split search under tile flags that this game leaves off: jokers standing in
// for missing tiles (and forming units alone) and honour runs, each found, recorded and scored
// like any other split; without their flags the same hands do not win.
#include <gtest/gtest.h>

#include <vector>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using chain::FixedTick;
using rig::idOf;
using rig::Rig;

constexpr int kFanPure = 2, kFanAllHonours = 4;

Rig TableWith(uint32_t addFlags) {
    TableConfig config = GameTableConfig();
    config.ruleFlags |= addFlags;
    return Rig({}, config);
}

constexpr int kJokerKind = 37;  // the jokers: the red dragons

// A table with jokers in play (and the flags added), joker A a red dragon.
Rig JokerTable(uint32_t addFlags = 0) {
    Rig r = TableWith(kTileFlagJokers | addFlags);
    r.jokerId_ = idOf(kJokerKind, 0);
    return r;
}

// The units of a result as {type, t0, t1, t2}, in recorded order.
std::vector<std::vector<int32_t>> UnitsOf(const HuResult& r) {
    std::vector<std::vector<int32_t>> units;
    for (int k = 0; k < r.unitCount; ++k)
        units.push_back(
            {r.units[k].type, r.units[k].tiles[0], r.units[k].tiles[1], r.units[k].tiles[2]});
    return units;
}

bool HasUnit(const HuResult& r, std::vector<int32_t> unit) {
    for (const auto& u : UnitsOf(r))
        if (u == unit) return true;
    return false;
}

TEST(SearchHu, JokersStandInForMissingTilesOfRuns) {
    FixedTick clock;
    Rig r = JokerTable();
    // 1-2 and 4-6 and 8 with three jokers, a pair of 21 and three 33: only the jokers close
    // the runs (1, 2, J), (4, J, 6) and (8, 9, J) once the 9 comes.
    r.Give(0, {1, 2, 4, 6, 8, 21, 21, 33, 33, 33, kJokerKind, kJokerKind, kJokerKind});
    const int32_t nine = r.WallTile(9);
    HuResult res{};
    ASSERT_EQ(r.CheckSpecialHu(0, nine, &res, 1), 8);
    EXPECT_EQ(MJ_CountJokerTiles(&res), 3);
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 1, 2, -kJokerKind})) << res.unitCount;
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 4, -kJokerKind, 6}));
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 8, 9, -kJokerKind}));
    EXPECT_TRUE(HasUnit(res, {kUnitPair, 21, 21, 0}));
    EXPECT_TRUE(HasUnit(res, {kUnitTriplet, 33, 33, 33}));
    // A win the table pays: the lowest fan at least.
    HuResult scored{};
    EXPECT_GE(r.WinValue(0, nine, &scored, 1), 3);
    // The last joker closes a run from either side: 5-J-7 here.
    Rig last = JokerTable();
    last.Give(0, {1, 2, 3, 5, 7, kJokerKind, 11, 12, 13, 21, 22, 23, 9});
    HuResult closed{};
    ASSERT_EQ(last.CheckSpecialHu(0, last.WallTile(9), &closed, 1), 8);
    EXPECT_TRUE(HasUnit(closed, {kUnitRun, 5, -kJokerKind, 7}));
    // The same tiles without jokers in play are no hand.
    Rig plain = TableWith(0);
    plain.jokerId_ = idOf(kJokerKind, 0);
    plain.Give(0, {1, 2, 4, 6, 8, 21, 21, 33, 33, 33, kJokerKind, kJokerKind, kJokerKind});
    HuResult none{};
    EXPECT_EQ(plain.CheckSpecialHu(0, plain.WallTile(9), &none, 1), 0);
}

TEST(SearchHu, JokersMakeTripletsPairsAndUnitsOfTheirOwn) {
    FixedTick clock;
    // A single 7 with two jokers is a triplet.
    Rig two = JokerTable();
    two.Give(1, {7, kJokerKind, kJokerKind, 11, 12, 13, 22});
    HuResult res{};
    ASSERT_EQ(two.CheckSpecialHu(1, two.WallTile(22), &res, 1), 8);
    // The search records each unit as it takes it: the lowest kind first.
    EXPECT_EQ(UnitsOf(res),
              (std::vector<std::vector<int32_t>>{{kUnitTriplet, 7, -kJokerKind, -kJokerKind},
                                                 {kUnitRun, 11, 12, 13},
                                                 {kUnitPair, 22, 22, 0}}));
    // 5-5 with one.
    Rig one = JokerTable();
    one.Give(1, {5, 5, kJokerKind, 11, 12, 13, 22});
    ASSERT_EQ(one.CheckSpecialHu(1, one.WallTile(22), &res, 1), 8);
    EXPECT_TRUE(HasUnit(res, {kUnitTriplet, 5, 5, -kJokerKind}));
    // Jokers left once every tile has its place are units of their own: three a triplet, two
    // the pair (both joker kinds here, the white dragons as joker B).
    Rig alone = JokerTable();
    alone.jokerId2_ = idOf(36, 0);
    alone.Give(0, {1, kJokerKind, kJokerKind, kJokerKind, 36, 36, 36});
    ASSERT_EQ(alone.CheckSpecialHu(0, alone.WallTile(1), &res, 1), 8);
    ASSERT_EQ(res.unitCount, 3);
    // 1-1 with a joker, then the jokers' triplet and their pair.
    EXPECT_EQ(res.units[0].type, kUnitTriplet);
    EXPECT_EQ(res.units[0].tiles[0], 1);
    EXPECT_EQ(res.units[0].tiles[1], 1);
    EXPECT_EQ(res.units[1].type, kUnitTriplet);
    EXPECT_EQ(res.units[2].type, kUnitPair);
    EXPECT_EQ(MJ_CountJokerTiles(&res), 6);
    for (int k = 1; k < 3; ++k)
        for (int w = 0; w < (k == 1 ? 3 : 2); ++w) {
            const int32_t t = res.units[k].tiles[w];
            EXPECT_TRUE(t == -kJokerKind || t == -36) << k << w;
        }
    // A hand has one pair, jokers' or not: 21-21 and five jokers (seven tiles) would need a
    // second.
    Rig pairs = JokerTable();
    pairs.jokerId2_ = idOf(36, 0);
    pairs.Give(0, {21, kJokerKind, kJokerKind, kJokerKind, kJokerKind, 36});
    HuResult none{};
    EXPECT_EQ(pairs.CheckSpecialHu(0, pairs.WallTile(21), &none, 1), 0);
}

TEST(SearchHu, AJokerHandOfOneSuitScoresThePureSuit) {
    FixedTick clock;
    Rig r = JokerTable();
    // 1-2-J, 4-J-6, 7-8-9, 3-3-3 and 9-9: the jokers count for no suit.
    r.Give(2, {1, 2, 3, 3, 3, 4, 6, 7, 8, 9, 9, kJokerKind, kJokerKind});
    HuResult res{};
    const int32_t points = r.WinValue(2, r.WallTile(9), &res, 1);
    EXPECT_GE(points, 16 + 2);
    EXPECT_EQ(res.tally1[kFanPure], 16 + 2);  // on a discard
    EXPECT_EQ(MJ_CountJokerTiles(&res), 2);
}

TEST(SearchHu, HonourRunsOfWindsAndDragonsUnderTheirFlag) {
    FixedTick clock;
    Rig r = TableWith(kTileFlagHonourRuns);
    // East-South-West twice, the three dragons, three Norths and a pair of red dragons: all
    // honours, split only with honour runs.
    r.Give(0, {31, 31, 32, 32, 33, 33, 34, 34, 35, 36, 37, 37, 37});
    const int32_t north = r.WallTile(34);
    HuResult res{};
    ASSERT_EQ(r.CheckSpecialHu(0, north, &res, 1), 8);
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 31, 32, 33}));
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 35, 36, 37}));
    EXPECT_TRUE(HasUnit(res, {kUnitTriplet, 34, 34, 34}));
    // Scored: all honours, on a discard.
    HuResult scored{};
    EXPECT_GE(r.WinValue(0, north, &scored, 1), 16 + 2);
    EXPECT_EQ(scored.tally1[kFanAllHonours], 16 + 2);
    // This game's flags (no honour runs): no win.
    Rig game = TableWith(0);
    game.Give(0, {31, 31, 32, 32, 33, 33, 34, 34, 35, 36, 37, 37, 37});
    HuResult none{};
    EXPECT_EQ(game.CheckSpecialHu(0, game.WallTile(34), &none, 1), 0);
    EXPECT_EQ(game.WinValue(0, game.WallTile(34), &none, 1), 0);
}

TEST(SearchHu, WindRunsWithAGapAndHonourRunsWithAJoker) {
    FixedTick clock;
    // East-West-North and East-South-North are runs too.
    Rig gaps = TableWith(kTileFlagHonourRuns);
    gaps.Give(0, {31, 33, 34, 31, 32, 34, 1, 2, 3, 4, 5, 6, 9});
    HuResult res{};
    ASSERT_EQ(gaps.CheckSpecialHu(0, gaps.WallTile(9), &res, 1), 8);
    // Both are needed: the two Easts, the South, the West and the two Norths split no other way.
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 31, 33, 34}));
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 31, 32, 34}));
    EXPECT_EQ(res.unitCount, 5);
    // East-South and Green-Red, each with a joker (the 5s).
    Rig r = TableWith(kTileFlagJokers | kTileFlagHonourRuns);
    r.jokerId_ = idOf(5, 0);
    r.Give(1, {31, 32, 35, 37, 1, 2, 3, 11, 12, 13, 7, 5, 5});
    HuResult joker{};
    ASSERT_EQ(r.CheckSpecialHu(1, r.WallTile(7), &joker, 1), 8);
    EXPECT_TRUE(HasUnit(joker, {kUnitRun, 31, 32, -5}));
    EXPECT_TRUE(HasUnit(joker, {kUnitRun, 35, -5, 37}));
    // Jokers without honour runs cannot join winds or dragons.
    Rig off = TableWith(kTileFlagJokers);
    off.jokerId_ = idOf(5, 0);
    off.Give(1, {31, 32, 35, 37, 1, 2, 3, 11, 12, 13, 7, 5, 5});
    HuResult none{};
    EXPECT_EQ(off.CheckSpecialHu(1, off.WallTile(7), &none, 1), 0);
}

TEST(SearchHu, AWinningJokerOnAnotherChairsTileOnlyAsItsOwnKind) {
    FixedTick clock;
    // 1-2 wait on a joker: as a wild tile it would close the run, but a joker taken from
    // another chair does not stand in.
    Rig r = JokerTable();
    r.Give(0, {1, 2, 4, 5, 6, 7, 8, 9, 21, 22, 23, 25, 25});
    const int32_t joker = r.WallTile(kJokerKind);
    HuResult res{};
    EXPECT_EQ(r.CheckSpecialHu(0, joker, &res, 1), 0);
    // Drawn by the chair itself, it stands in.
    const int32_t own = r.GiveOne(0, kJokerKind);
    EXPECT_EQ(r.CheckSpecialHu(0, own, &res, 2), 8);
    EXPECT_TRUE(HasUnit(res, {kUnitRun, 1, 2, -kJokerKind}));
    // With jokers also ordinary tiles (0x8), a joker on a discard wins as its own kind only:
    // not standing in for the 3 here...
    Rig o = JokerTable(kTileFlagJokersNatural);
    o.Give(0, {1, 2, 4, 5, 6, 7, 8, 9, 21, 22, 23, 25, 25});
    EXPECT_EQ(o.CheckSpecialHu(0, o.WallTile(kJokerKind), &res, 1), 0);
    // ...but pairing the red dragon held.
    Rig n = JokerTable(kTileFlagJokersNatural);
    n.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 21, 22, 23, kJokerKind});
    HuResult nat{};
    ASSERT_EQ(n.CheckSpecialHu(0, n.WallTile(kJokerKind), &nat, 1), 8);
    EXPECT_TRUE(HasUnit(nat, {kUnitPair, kJokerKind, kJokerKind, 0}));
    EXPECT_EQ(MJ_CountJokerTiles(&nat), 0);
}

}  // namespace
