// Edges of the rule chain a mutation sample found open: the plain table's best win that scores
// nothing, the concealed single wait's rule bit and mask, units past a result's count, the
// liability of a chair that is no seat, jokers counted toward the most tiles a hand holds, and
// a chair without a win in a self-drawn settlement.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using chain::MJ;
using rig::idOf;
using rig::Rig;

// The plain table scores no feature (its ScoreFeatures answers 0): a hand that wins is worth
// nothing there, and the caller's result keeps only the mask bits.
TEST(ChainEdges, ThePlainTablesBestWinIsWorthNothing) {
    MJ m(GameTableConfig().ruleFlags, 0x50F717);
    m.Fresh();
    m.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    const int32_t tile = idOf(21, 3);
    HuResult res{};
    ASSERT_EQ(m.CheckHu(0, tile, &res, 1), 8);
    HuResult best{};
    EXPECT_EQ(m.BestHu(0, tile, &best, 1), 0);
    EXPECT_EQ(best.handType, 1);
    EXPECT_EQ(best.unitCount, 0);
    EXPECT_EQ(m.WinValue(0, tile, &best, 1), 0);
}

// The concealed single wait needs its rule bit, a win on a discard and one tile left.
TEST(ChainEdges, TheConcealedSingleWaitNeedsItsBitAndADiscard) {
    struct Row {
        int32_t rule, mask, chair;
        int32_t want;
    };
    const Row rows[] = {
        {0x20000000, 1, 0, 0x20000000}, {0x50F717, 1, 0, 0},  // the rule word without the bit
        {0x20000000, 2, 0, 0},                                // self-drawn
        {0x20000000, 1, 4, 0},                                // no seat
        {0x20000000, 1, -1, 0},                               // no seat
    };
    for (const Row& row : rows) {
        MJ m(GameTableConfig().ruleFlags, row.rule);
        m.Fresh();
        m.Give(0, {5});
        m.Give(1, {6});
        m.Give(2, {7});
        m.Give(3, {8});
        HuResult r{};
        EXPECT_EQ(m.IsConcealedSingleWait(row.chair, -1, &r, row.mask), row.want)
            << row.rule << " " << row.mask << " " << row.chair;
        EXPECT_EQ(r.handType, row.want);
    }
}

// Only the units a result counts are read: one left past the count (a split tried and undone)
// changes no hand's suits.
TEST(ChainEdges, UnitsPastTheCountAreNotRead) {
    MJ m(GameTableConfig().ruleFlags, 0x50F717);
    m.Fresh();
    HuResult r{};
    MJ_AddUnitTiles(&r, kUnitRun, 1, 2, 3, 0);
    MJ_AddUnitTiles(&r, kUnitPair, 5, 5, 0, 0);
    MJ_AddUnitTiles(&r, kUnitTriplet, 31, 31, 31, 0);
    r.unitCount = 2;  // the honour triplet was undone
    int32_t shapes[5] = {9, 9, 9, 9, 9};
    m.CountUnitShapes(&r, false, shapes);
    EXPECT_EQ(shapes[0], 5);
    EXPECT_EQ(shapes[3], 0);
    HuResult pure = r;
    EXPECT_EQ(m.IsPureSuit(0, -1, &pure, 1), 0x2000);
}

// A chair that is no seat is liable toward nobody, whatever the feeding tables hold.
TEST(ChainEdges, NoSeatIsLiable) {
    Rig r;
    r.kongFeed_[0][1] = 3;
    r.pungFeed_[3][2] = 3;
    EXPECT_TRUE(r.IsLiable(0));
    EXPECT_TRUE(r.IsLiable(3));
    for (const int32_t chair : {-1, 4, 9}) EXPECT_FALSE(r.IsLiable(chair)) << chair;
}

// The jokers count toward the most tiles a hand holds: seventeen tiles and three jokers are
// more than any hand, though they split.
TEST(ChainEdges, JokersCountTowardTheMostTilesAHandHolds) {
    TableConfig jokers = GameTableConfig();
    jokers.ruleFlags |= kTileFlagJokers;
    Rig r({}, jokers);
    r.jokerId_ = idOf(33, 0);
    CountTable counts{};
    for (const int kind : {1, 4, 7, 11, 14}) counts[kind] = 3;  // five triplets
    counts[21] = 1;
    counts[33] = 3;  // three jokers
    HuResult res{};
    EXPECT_EQ(r.CheckHuCounts(counts, idOf(21, 0), &res, 2, 0, false), 0);
    counts[14] = 0;  // fourteen and three jokers split as well, and are a hand
    EXPECT_EQ(r.CheckHuCounts(counts, idOf(21, 0), &res, 2, 0, false), 8);
}

// In a self-drawn settlement a chair whose win value is 0 gains nothing, whatever its result
// still holds.
TEST(ChainEdges, ASelfDrawnSettlementPaysOnlyTheWinner) {
    Rig r;
    r.SetFans(0, {{2, 10}});
    r.SetFans(2, {{1, 8}});
    r.winValue_[2] = 0;
    r.winners_ = 1;
    r.firstWinner_ = 0;
    r.mode_ = 0x2000000;
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    ASSERT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0), 1);
    EXPECT_EQ(rec[14], 30);
    for (int c = 1; c < 4; ++c) EXPECT_EQ(rec[14 + static_cast<size_t>(c)], -10) << c;
}

}  // namespace

namespace {

using namespace hqlv::rules;
using chain::user;
using rig::Rig;

// A chair that is no seat holds nothing and has no melds to count or remove.
TEST(ChainEdges, NoSeatHoldsOrRemovesAnything) {
    Rig r;
    r.Lay(0, kPeng, 15, 2);
    r.Give(0, {1, 2});
    r.Played(0, 9);
    const Meld pung = r.Melds(0, kPeng)[0];
    for (const int32_t chair : {-1, 4, 7, 9}) {
        int32_t out[kIndexCount];
        std::fill(std::begin(out), std::end(out), 5);
        EXPECT_EQ(r.HeldWithMelds(chair, out), 0) << chair;
        EXPECT_EQ(std::count(std::begin(out), std::end(out), 0), kIndexCount) << chair;
        EXPECT_EQ(r.RemovePengMeldOf(chair, pung.tiles, 3), 0) << chair;
        EXPECT_FALSE(r.HasPengMeldOf(chair, pung.tiles, 3)) << chair;
    }
    int32_t out[kIndexCount];
    EXPECT_EQ(r.HeldWithMelds(0, out), 5);
    EXPECT_EQ(r.RemovePengMeldOf(0, pung.tiles, 3), 1);
}

// A table of eight chairs lists its eight computer players and reads no ninth seat.
TEST(ChainEdges, AllEightComputerPlayersAreListed) {
    TableConfig eight;
    eight.chairCount = 8;
    CCommonTable t(eight);
    for (int c = 0; c < 8; ++c) t.AddPlayer(user(700 + c, 0, 0, 1), c);
    int32_t ids[8], values[8];
    std::fill(std::begin(values), std::end(values), 3);
    EXPECT_EQ(t.ListComputerPlayers(ids, values), 8);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(ids[c], 700 + c);
}

}  // namespace
