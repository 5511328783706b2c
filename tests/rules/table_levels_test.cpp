// The card table's bidding, lists by kind and small operations, computer players, the
// mahjong table's operations beyond the deal path (the burnt head tile, the kong request,
// claim waiting, the hooks), this game's units and melds, the joker features, and the kong
// feeder after a concealed kong.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using namespace chain;
using rig::idOf;
using rig::Rig;

Card seatedCard(uint32_t flags) {
    Card t(TableConfig{-1, -1, 1, 4, flags, 0, 3}, CardConfig{});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(71 + c), c);
    return t;
}

// --- Card table ------------------------------------------------------------------------------

TEST(ChainCard, SmallOperations) {
    Card t = seatedCard(0);
    t.SetBanker(2);
    int32_t points[64];
    FillMinusOne(points, 64);
    points[0] = 3, points[5] = 8, points[63] = 11, points[7] = 0;  // values 4, 9, 12 and 1
    int32_t from[64], to[64];
    for (int k = 0; k < 64; ++k) from[k] = k * 3, to[k] = -5;
    ClaimDefaults claim;
    claim.chair = 1;
    runRows({
        {"GetBanker", [&] { return t.GetBanker(); }, 2},
        {"IsNot200", [&] { return t.IsNot200(); }, 1},
        {"IsNot200 with 0x200", [&] { return (t.status_ |= 0x200, t.IsNot200()); }, 0},
        {"EqualExcept inside the mask", [&] { return t.EqualExcept(0b1010, 0b1000, 0b0010); }, 1},
        {"EqualExcept outside the mask", [&] { return t.EqualExcept(0b1010, 0b0010, 0b0010); }, 0},
        {"PointsOf", [&] { return t.PointsOf(points); }, 25},
        {"PointsOf no list", [&] { return t.PointsOf(nullptr); }, 0},
        {"AddPoints", [&] { return (t.AddPoints(points), t.AddPoints(points), t.Points()); }, 50},
        {"AddPoints answers 0", [&] { return (t.AddPoints(nullptr)); }, 0},
        {"ClearMode", [&] { return (t.SetModeDouble(true), t.ClearMode(), t.Mode()); }, 0},
        {"CopyHand", [&] { return t.CopyHand(from, to) * 1000 + to[63]; }, 1000 + 189},
        {"CopyHand of no list", [&] { return t.CopyHand(nullptr, to); }, 0},
        {"FillClaimDefaults fills nothing here",
         [&] { return t.FillClaimDefaults(&claim) * 10 + claim.tiles[0] + claim.marks[0]; }, 10},
        {"PermitD", [&] { return t.PermitD(); }, 1},
        {"PermitE", [&] { return t.PermitE(); }, 1},
        {"PermitF", [&] { return t.PermitF(); }, 1},
        {"PermitG", [&] { return t.PermitG(); }, 1},
        {"OpenClaimWindow sets 0x100",
         [&] { return (t.status_ = 0, t.OpenClaimWindow(), t.Status()); }, 0x100},
    });
}

TEST(ChainCard, ListsByKind) {
    Rig r;
    const auto held = r.Give(1, {3, 3, 7, 15, 15, 15, 31});
    const int32_t ids[] = {held[4], held[0], -1, held[2], held[1], held[6]};
    int32_t counts[64] = {};
    EXPECT_EQ(r.CountByKind(ids, 6, counts), 5);
    EXPECT_EQ(counts[3], 2);
    EXPECT_EQ(counts[15], 1);
    EXPECT_EQ(counts[0], 0);  // the empty place is not counted
    EXPECT_EQ(r.CountKinds(counts), 4);
    EXPECT_EQ(r.SumKinds(counts), 5);
    EXPECT_EQ(r.FirstKind(counts), 3);
    int32_t mask[64] = {};
    mask[31] = mask[3] = 1;
    int32_t out[6];
    ASSERT_EQ(r.SortByKind(mask, ids, 6, out), 3);
    EXPECT_EQ(out[0], held[0]);
    EXPECT_EQ(out[1], held[1]);
    EXPECT_EQ(out[2], held[6]);
    // A missing mask, id list or output lists nothing (and writes nothing).
    out[0] = -7;
    EXPECT_EQ(r.SortByKind(nullptr, ids, 6, out), 0);
    EXPECT_EQ(r.SortByKind(mask, nullptr, 6, out), 0);
    EXPECT_EQ(r.SortByKind(mask, ids, 6, nullptr), 0);
    EXPECT_EQ(out[0], -7);
    // Taking kinds from a hand marks the tiles taken.
    int32_t want[64] = {};
    want[15] = 2, want[7] = 1, want[9] = 1;  // no 9 held
    int32_t taken[64];
    EXPECT_EQ(r.TakeKinds(nullptr, taken, 1), 0);
    EXPECT_EQ(r.TakeKinds(want, nullptr, 1), 0);
    ASSERT_EQ(r.TakeKinds(want, taken, 1), 3);
    EXPECT_EQ(taken[0], held[2]);
    EXPECT_EQ(taken[1], held[3]);
    EXPECT_EQ(taken[2], held[4]);
    EXPECT_EQ(taken[3], -1);
    EXPECT_EQ(r.StatusOf(held[3]), kTileTaken);
    EXPECT_EQ(r.StatusOf(held[5]), kTileHeld);
    EXPECT_EQ(r.TakeOneOfKind(1, 15), held[5]);
    EXPECT_EQ(r.TakeOneOfKind(1, 15), -1);
    EXPECT_EQ(r.TakeOneOfKind(9, 3), -1);
    // The first tile of a kind that is neither played nor taken.
    EXPECT_EQ(r.FirstOfKind(15), idOf(15, 3));
    r.SetTileStatus(idOf(15, 3), kTilePlayed);
    EXPECT_EQ(r.FirstOfKind(15), -1);
    EXPECT_EQ(r.FirstOfKind(3), held[0]);
    // The second list length bounds the second set of list counts.
    CardConfig shortList;
    shortList.secondListLength = 4;
    CCardTable t(TableConfig{}, shortList);
    EXPECT_EQ(t.CountKinds2(counts), 1);
    EXPECT_EQ(t.SumKinds2(counts), 2);
    EXPECT_EQ(t.FirstKind2(counts), 3);
    int32_t none[64] = {};
    none[40] = 1;
    EXPECT_EQ(t.FirstKind2(none), -1);
    EXPECT_EQ(t.FirstKind(none), 40);
    EXPECT_EQ(t.CountKinds(nullptr), 0);
    EXPECT_EQ(t.FirstKind(nullptr), -1);
    // A hand of 64 ids: all held by the chair, else not.
    int32_t all[64];
    FillMinusOne(all, 64);
    all[10] = held[0], all[40] = held[1];
    EXPECT_TRUE(r.AreHeld(1, all));
    all[41] = held[3];  // taken, no longer held
    EXPECT_FALSE(r.AreHeld(1, all));
}

TEST(Bidding, Sequences) {
    struct Case {
        const char* what;
        uint32_t flags;
        std::vector<Bid> bids;
        std::vector<int32_t> decided;
        int32_t banker, current;
    };
    const Case cases[] = {
        {"400 decides at once", 0, {{0, 0, 200}, {3, 0, 400}}, {0, 1}, 3, 400},
        {"a passed 400 does not", 0, {{0, 1, 400}}, {0}, 1, 100},
        {"without the rule only 400 decides",
         0,
         {{0, 0, 200}, {3, 0, 300}, {2, 0, 399}, {1, 0, 100}},
         {0, 0, 0, 0},
         1,
         100},
        {"the highest once all have bid, a later equal bid takes it",
         kRuleBidAfterAll,
         {{0, 0, 200}, {3, 0, 300}, {2, 0, 300}, {1, 1, 0}},
         {0, 0, 0, 1},
         2,
         300},
        {"all pass: the default bid",
         kRuleBidAfterAll,
         {{0, 1, 0}, {3, 1, 0}, {2, 1, 0}, {1, 1, 0}},
         {0, 0, 0, 1},
         1,
         100},
        {"a bid below the default never wins",
         kRuleBidAfterAll,
         {{0, 0, 99}, {3, 1, 0}, {2, 1, 0}, {1, 1, 0}},
         {0, 0, 0, 1},
         1,
         100},
        {"a bid at the default wins",
         kRuleBidAfterAll,
         {{0, 0, 100}, {3, 1, 0}, {2, 1, 0}, {1, 1, 0}},
         {0, 0, 0, 1},
         0,
         100},
        {"one chair bidding twice is not all",
         kRuleBidAfterAll,
         {{0, 0, 200}, {0, 0, 250}, {3, 1, 0}, {2, 1, 0}, {1, 1, 0}},
         {0, 0, 0, 0, 1},
         0,
         250},
        {"low bids: the lowest wins, a later equal bid takes it",
         kRuleBidAfterAll | kRuleLowBidWins,
         {{0, 0, 80}, {3, 0, 60}, {2, 0, 60}, {1, 0, 90}},
         {0, 0, 0, 1},
         2,
         60},
        {"low bids: the lowest decides at once", kRuleLowBidWins, {{0, 0, 0}}, {1}, 0, 0},
        {"low bids: a high bid decides nothing", kRuleLowBidWins, {{0, 0, 400}}, {0}, 1, 100},
        {"low bids: a bid above the default never wins",
         kRuleBidAfterAll | kRuleLowBidWins,
         {{0, 0, 101}, {3, 1, 0}, {2, 1, 0}, {1, 1, 0}},
         {0, 0, 0, 1},
         1,
         100},
    };
    for (const Case& k : cases) {
        Card t = seatedCard(k.flags);
        t.SetBanker(1);
        t.SwitchActiveChair(0);
        for (size_t b = 0; b < k.bids.size(); ++b) {
            int32_t decided = -1;
            EXPECT_EQ(t.OnBid(k.bids[b], &decided), 1) << k.what << b;
            EXPECT_EQ(decided, k.decided[b]) << k.what << b;
            // Undecided, the turn goes to the next chair.
            if (!decided) {
                EXPECT_EQ(t.GetCurrentChair(), t.NextChair(k.bids[b].chair)) << k.what;
            }
        }
        EXPECT_EQ(t.Banker(), k.banker) << k.what;
        EXPECT_EQ(t.CurrentBid(), k.current) << k.what;
        EXPECT_EQ(t.Bids().size(), k.bids.size()) << k.what;
    }
}

TEST(Bidding, RefusedBidsAndTheEnd) {
    Card t = seatedCard(0);
    int32_t decided = 7;
    EXPECT_EQ(t.OnBid({4, 0, 400}, &decided), 0);
    EXPECT_EQ(decided, 0);
    EXPECT_EQ(t.OnBid({-1, 0, 400}, nullptr), 0);
    EXPECT_TRUE(t.Bids().empty());
    for (int k = 0; k < kMaxBids; ++k) EXPECT_EQ(t.OnBid({k % 4, 0, 10}, nullptr), 1);
    EXPECT_EQ(t.OnBid({0, 0, 400}, &decided), 0);
    EXPECT_EQ(t.Banker(), 0);  // the refused 400 decided nothing
    EXPECT_EQ(t.Bids().size(), static_cast<size_t>(kMaxBids));
    // The bidding ends: the banker plays first and the others team against it.
    t.SetBanker(2);
    t.SetStatusBits(2 | 1);
    EXPECT_EQ(t.EndBidding(), 1);
    EXPECT_EQ(t.Status(), 1u);
    EXPECT_EQ(t.GetCurrentChair(), 2);
    const int32_t groups[] = {1, 1, 0, 1};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.GroupOf(c), groups[c]) << c;
    EXPECT_EQ(t.MakeBankerTeams(), 2);
    EXPECT_EQ(t.CountGroups(), 2);
    // A reset forgets the bids.
    t.Reset(false);
    EXPECT_TRUE(t.Bids().empty());
    EXPECT_EQ(t.CurrentBid(), 100);
}

TEST(Bidding, TimeOverFromActivityOrFromTheTurn) {
    FixedTick clock;
    Card t = seatedCard(0);
    t.StampActivity();
    clock.tick += 22000;
    EXPECT_FALSE(t.IsBidTimeOver());
    clock.tick += 1;
    EXPECT_TRUE(t.IsBidTimeOver());
    // The mahjong table counts from the start of the turn, not from the last activity.
    Rig r;
    r.SwitchActiveChair(2);
    clock.tick += 22000;
    r.StampActivity();
    EXPECT_FALSE(r.IsBidTimeOver());
    clock.tick += 1;
    EXPECT_TRUE(r.IsBidTimeOver());
}

// --- Computer players ------------------------------------------------------------------------

// A seed whose first two draws (each modulo 100) are as asked.
uint32_t seedWhere(const std::function<bool(int32_t, int32_t)>& want) {
    for (uint32_t s = 1; s < 200000; ++s) {
        SeedRandom(s);
        const int32_t a = RandomBelow(100), b = RandomBelow(100);
        if (want(a, b)) return s;
    }
    return 0;
}

TEST(ComputerPlayers, LossesShrinkByTheDrawnBand) {
    CCommonTable t(TableConfig{});
    struct Case {
        const char* what;
        std::function<bool(int32_t, int32_t)> draws;
        int32_t value, want;
    };
    const Case cases[] = {
        {"above the chance", [](int32_t a, int32_t) { return a == 56; }, -100, -100},
        {"at the chance, band 10%", [](int32_t a, int32_t b) { return a == 55 && b == 83; }, -100,
         -90},
        {"band 50% from 84", [](int32_t a, int32_t b) { return a < 55 && b == 84; }, -100, -50},
        {"band 50% to 95", [](int32_t a, int32_t b) { return a < 55 && b == 95; }, -100, -50},
        {"band 100% from 96", [](int32_t a, int32_t b) { return a < 55 && b == 96; }, -100, 0},
        {"band 10%, at least 1", [](int32_t a, int32_t b) { return a < 55 && b < 84; }, -5, -4},
        {"band 10% of a large loss", [](int32_t a, int32_t b) { return a < 55 && b < 84; },
         INT32_MIN, INT32_MIN + 214748364},
    };
    for (const Case& k : cases) {
        const uint32_t seed = seedWhere(k.draws);
        ASSERT_NE(seed, 0u) << k.what;
        SeedRandom(seed);
        EXPECT_EQ(t.RandomAdjust(k.value), k.want) << k.what;
    }
    // A gain is returned as it is, without a draw.
    SeedRandom(4);
    const int32_t first = RandomDraw();
    SeedRandom(4);
    EXPECT_EQ(t.RandomAdjust(100), 100);
    EXPECT_EQ(t.RandomAdjust(0), 0);
    EXPECT_EQ(RandomDraw(), first);
    // The table of the adjustment.
    int32_t chance = 0, shares[4] = {}, percents[4] = {};
    EXPECT_EQ(t.DefaultAdjustTable(&chance, shares, percents, 3), 3);
    EXPECT_EQ(chance, 55);
    EXPECT_EQ(shares[0], 0);  // fewer than four entries asked: none given
    EXPECT_EQ(t.DefaultAdjustTable(&chance, shares, percents, 4), 4);
    const int32_t wantShares[] = {84, 12, 4, 0}, wantPercents[] = {10, 50, 100, 0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(shares[k], wantShares[k]);
        EXPECT_EQ(percents[k], wantPercents[k]);
    }
}

TEST(ComputerPlayers, OnlyComputerLossesAreAdjusted) {
    Common t(TableConfig{});
    t.AddPlayer(user(81, 0, 0, 1), 0);
    t.AddPlayer(user(82, 0, 0, 2), 1);  // another flag: not computer-controlled
    t.AddPlayer(user(83, 0, 0, 1), 2);
    const uint32_t seed =
        seedWhere([](int32_t a, int32_t b) { return a < 55 && b >= 84 && b < 96; });
    int32_t values[4] = {-100, -100, 50, -100};
    SeedRandom(seed);
    EXPECT_EQ(t.AdjustComputerLosses(values), 50);
    EXPECT_EQ(values[0], -50);
    EXPECT_EQ(values[1], -100);
    EXPECT_EQ(values[2], 50);
    EXPECT_EQ(values[3], -100);  // an empty chair
    EXPECT_EQ(t.ComputerAdjustment(0), 50);
    EXPECT_EQ(t.ComputerAdjustment(1), 0);
    EXPECT_EQ(t.AdjustComputerLosses(nullptr), 0);
    // The settlement forwards nothing at this level.
    EXPECT_EQ(t.AdjustsComputerLosses(), 0);
    int32_t unchanged[4] = {-100, -100, -100, -100};
    EXPECT_EQ(t.ForwardComputerLosses(unchanged), 0);
    EXPECT_EQ(unchanged[0], -100);
    // The computer players with a positive value.
    int32_t ids[4] = {9, 9, 9, 9};
    const int32_t positive[4] = {5, 5, 0, 7};
    EXPECT_EQ(t.ListComputerPlayers(ids, positive), 1);
    EXPECT_EQ(ids[0], 81);
    EXPECT_EQ(ids[1], -1);
    EXPECT_EQ(ids[3], -1);
    EXPECT_EQ(t.ListComputerPlayers(nullptr, positive), 0);
    // The smallest loss forgiven whole: the change is kept at the int32 bound.
    int32_t huge[4] = {INT32_MIN, 0, 0, 0};
    SeedRandom(seedWhere([](int32_t a, int32_t b) { return a < 55 && b >= 96; }));
    EXPECT_EQ(t.AdjustComputerLosses(huge), INT32_MAX);
    EXPECT_EQ(huge[0], 0);
    EXPECT_EQ(t.ComputerAdjustment(0), INT32_MAX);
}

// A table whose settlement adjusts the computer players' losses.
class Adjusting : public Rig {
public:
    int32_t AdjustsComputerLosses() const override { return 1; }
};

TEST(ComputerPlayers, TheSettlementForwardsWhenTheTableSaysSo) {
    Adjusting r;
    r.Seat(1)->flags = 1;
    r.SetFans(0, {{2, 16}});
    r.winners_ = 1, r.firstWinner_ = 0, r.mode_ = 0x2000000, r.baseStake_ = 1;
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    SeedRandom(seedWhere([](int32_t a, int32_t b) { return a < 55 && b >= 96; }));
    ASSERT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0), 1);
    EXPECT_EQ(at(rec, result_off::kScoreTotals + 4), 0);  // the computer chair's -16 forgiven
    EXPECT_EQ(at(rec, result_off::kScoreTotals + 8), -16);
    EXPECT_EQ(r.ComputerAdjustment(1), 16);
}

TEST(ComputerPlayers, RowsAreDrawnSavedAndFilledAgain) {
    Common t(TableConfig{});
    ComputerRow rows[kMaxTableChairs];
    EXPECT_EQ(t.FillComputerPlayers(rows, 0), 0);  // nothing saved yet
    bool computer[2] = {};
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        ComputerRow drawn[kMaxTableChairs];
        drawn[0].present = drawn[1].present = drawn[3].present = 1;
        SeedRandom(seed);
        ASSERT_EQ(t.FillComputerRows(drawn, 1), 2);
        for (int c : {0, 3}) {
            const ComputerRow& r = drawn[c];
            computer[r.computer] = true;
            EXPECT_GE(r.value1, 0);
            EXPECT_LE(r.value1, 106);
            EXPECT_GE(r.level, 10);
            EXPECT_LE(r.level, 100);
            EXPECT_GE(r.value2, r.bit ? 1 : 0);
            EXPECT_LE(r.value2, 185);
            EXPECT_EQ(std::string(r.name), t.ComputerName(c));
            EXPECT_STREQ(r.text, "");
            EXPECT_EQ(r.field1, 1000);
            EXPECT_EQ(r.field2, 100);
            EXPECT_EQ(r.baseLevel, 4);
        }
        EXPECT_EQ(drawn[1].level, 0);  // the chair asking, and
        EXPECT_EQ(drawn[2].level, 0);  // a chair without a row, are left alone
        if (seed == 200) std::copy(std::begin(drawn), std::end(drawn), std::begin(rows));
    }
    EXPECT_TRUE(computer[0] && computer[1]);
    // The drawn rows were kept as chair 1's row of the per-pair block.
    ComputerRow again[kMaxTableChairs];
    ASSERT_EQ(t.FillComputerPlayers(again, 1), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(again[c].value1, rows[c].value1) << c;
        EXPECT_EQ(again[c].level, rows[c].level) << c;
        EXPECT_EQ(again[c].value2, rows[c].value2) << c;
        EXPECT_EQ(again[c].present, 1);
        EXPECT_EQ(std::string(again[c].name), t.ComputerName(c));
    }
    EXPECT_EQ(t.FillComputerPlayers(again, 0), 0);  // row 0 never saved
    EXPECT_EQ(t.FillComputerPlayers(again, 4), 0);
    EXPECT_EQ(t.SavePairRow(rows, 0, 2), 1);  // saved off
    EXPECT_EQ(t.FillComputerPlayers(again, 2), 0);
    EXPECT_EQ(t.SavePairRow(rows, 1, -1), 0);
    EXPECT_EQ(t.SavePairRow(nullptr, 1, 0), 0);
    t.Reset(true);
    EXPECT_EQ(t.FillComputerPlayers(again, 1), 0);
}

// --- Mahjong table ---------------------------------------------------------------------------

TEST(ChainMJ, SmallOperations) {
    FixedTick clock;
    Rig r;
    r.Give(1, {5, 5, 5});
    r.Lay(2, kBuGang, 9, 1);
    const Meld added = r.Melds(2, kBuGang)[0];
    const int32_t three[] = {added.tiles[3], added.tiles[0], -1};
    const int32_t other[] = {added.tiles[0], idOf(8, 0)};
    const std::vector<int32_t> list = {5, 7, 9};
    const int32_t shapes[5] = {1, 0, 2, 0, 0};
    int32_t from[64], to[64];
    for (int k = 0; k < 64; ++k) from[k] = k;
    ClaimDefaults claim;
    claim.chair = 1;
    ClaimDefaults noHand;
    noHand.chair = 3;
    r.winValue_[0] = -1000;
    r.winValue_[1] = 24;
    runRows({
        {"Negate", [&] { return r.CMJTable::Negate(7); }, -8},
        {"CountJokersHeld without jokers", [&] { return r.CountJokersHeld(1); }, 0},
        {"IsFlowerTile of a flower", [&] { return r.IsFlowerTile(136); }, 1},
        {"IsFlowerTile of a suit tile", [&] { return r.IsFlowerTile(0); }, 0},
        {"CurrentChairAgain", [&] { return r.CurrentChairAgain(); }, 0},
        {"PassTurnAfterMeld", [&] { return r.PassTurnAfterMeld(2); }, 2},
        {"ResultCode of -1000", [&] { return r.ResultCode(0); }, 229100},
        {"ResultCode of a win", [&] { return r.ResultCode(1); }, 10100},
        {"ResultCode of no win", [&] { return r.ResultCode(2); }, 10100},
        {"HasAddedGangOf its tiles", [&] { return r.HasAddedGangOf(2, three, 3); }, 1},
        {"HasAddedGangOf another tile", [&] { return r.HasAddedGangOf(2, other, 2); }, 0},
        {"HasAddedGangOf of another chair", [&] { return r.HasAddedGangOf(1, three, 3); }, 0},
        {"IsSameKind", [&] { return r.IsSameKind(idOf(4, 0), idOf(4, 3)); }, 1},
        {"IsSameKind of two kinds", [&] { return r.IsSameKind(idOf(4, 0), idOf(5, 0)); }, 0},
        {"IndexInList", [&] { return CMJTable::IndexInList(list, 7); }, 1},
        {"IndexInList of an absent value", [&] { return CMJTable::IndexInList(list, 8); }, -1},
        {"CountShapesPresent", [&] { return CMJTable::CountShapesPresent(shapes); }, 2},
        {"ShapeOfIndex of 15", [&] { return r.ShapeOfIndex(15, false); }, 1},
        {"ShapeOfIndex of 37 without jokers", [&] { return r.ShapeOfIndex(37, true); }, 3},
        {"FillClaimDefaults",
         [&] {
             r.FillClaimDefaults(&claim);
             return claim.marks[0] * 1000 + claim.marks[1] * 100 + (claim.tiles[0] == idOf(5, 0)) +
                    (claim.tiles[1] == -1) * 10 + (claim.tiles[63] == -1) * 10;
         },
         1121},
        {"FillClaimDefaults of a chair with no tiles",
         [&] { return (r.FillClaimDefaults(&noHand), noHand.tiles[0]); }, -1},
        {"CopyHand during the deal", [&] { return (r.CopyHand(from, to), to[40]); }, 40},
        {"CopyHand once the deal is over",
         [&] { return (r.EndOfDeal(), to[40] = -5, r.CopyHand(from, to) * 10 + to[40]); }, -5},
    });
    // Again the current chair: no time is counted as thought.
    r.SwitchActiveChair(3);
    clock.tick += 400;
    EXPECT_EQ(r.CurrentChairAgain(), 3);
    EXPECT_EQ(r.ThinkTime(3), 0);
}

TEST(ChainMJ, BurnHeadTile) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> setup;
        int32_t burnt, head;
    };
    const Case cases[] = {
        {"the head tile", [](Rig&) {}, 0, 1},
        {"over held tiles",
         [](Rig& r) {
             r.Give(1, {1, 2});
         },
         2, 3},
        {"the joker's tile at the head", [](Rig& r) { r.jokerPos_ = 0; }, 0, 1},
        {"over the joker's place once its tile is gone",
         [](Rig& r) { r.jokerPos_ = 0, r.SetTileStatus(0, kTilePlayed); }, 1, 2},
        {"from the wrapped head", [](Rig& r) { r.headPos_ = 135; }, 135, 0},
        {"none once the wall is used up", [](Rig& r) { r.tilesDrawn_ = 130, r.tailDraws_ = 6; }, -1,
         0},
        // A walk once round the wall that finds no tile leaves the head where it was.
        {"none once no tile is in the wall",
         [](Rig& r) {
             for (int32_t id = 0; id < 136; ++id) r.SetTileStatus(id, kTilePlayed);
             r.jokerPos_ = 5, r.headPos_ = 9;
         },
         -1, 9},
        {"the joker's tile when it is the last in the wall",
         [](Rig& r) {
             for (int32_t id = 0; id < 136; ++id)
                 if (id != 5) r.SetTileStatus(id, kTilePlayed);
             r.jokerPos_ = 5, r.headPos_ = 9;
         },
         5, 6},
    };
    for (const Case& k : cases) {
        Rig r;
        k.setup(r);
        const int32_t drawn = r.TilesDrawn();
        EXPECT_EQ(r.BurnHeadTile(), k.burnt) << k.what;
        EXPECT_EQ(r.HeadPosition(), k.head) << k.what;
        EXPECT_EQ(r.TilesDrawn(), drawn + (k.burnt >= 0 ? 1 : 0)) << k.what;
        if (k.burnt >= 0) {
            EXPECT_EQ(r.StatusOf(k.burnt), kTilePlayed) << k.what;
            EXPECT_EQ(r.ChairOf(k.burnt), -1) << k.what;  // nobody's discard
        }
    }
}

TEST(ChainMJ, KongRequestOfEitherKind) {
    struct Case {
        const char* what;
        std::function<void(Rig&, MJRequest&)> change;
        int32_t want;
    };
    const Case onDiscard[] = {
        {"accepted", [](Rig&, MJRequest&) {}, 1},
        {"the deal over", [](Rig& r, MJRequest&) { r.EndOfDeal(); }, 0},
        {"the window closed", [](Rig& r, MJRequest&) { r.ClearStatusBits(0x400); }, 0},
        {"two hand tiles", [](Rig&, MJRequest& q) { q.w[8] = -1; }, 0},
        {"a tile not held", [](Rig&, MJRequest& q) { q.w[8] = idOf(9, 0); }, 0},
        {"played by another chair", [](Rig&, MJRequest& q) { q.w[4] = 3; }, 0},
        {"no kind", [](Rig&, MJRequest& q) { q.w[9] = 0; }, 0},
        {"no valid chair", [](Rig&, MJRequest& q) { q.w[3] = 5; }, 0},
    };
    for (const Case& k : onDiscard) {
        Rig r;
        const auto three = r.Give(0, {5, 5, 5});
        const int32_t fed = r.GiveOne(2, 5);
        r.Discard(2, &fed, 1);
        r.OpenClaimWindow();
        MJRequest q = MJRequest::Meld(0, 2, fed, three[0], three[1], three[2], 1);
        k.change(r, q);
        EXPECT_EQ(r.CheckGangRequest(q), k.want) << k.what;
    }
    const Case added[] = {
        {"accepted", [](Rig&, MJRequest&) {}, 1},
        {"own tiles not open", [](Rig& r, MJRequest&) { r.ClearStatusBits(0x100); }, 0},
        {"no such pung", [](Rig&, MJRequest& q) { q.w[8] = idOf(9, 3); }, 0},
        {"the tile held by another", [](Rig&, MJRequest& q) { q.w[4] = 3; }, 0},
        {"the deal over", [](Rig& r, MJRequest&) { r.EndOfDeal(); }, 0},
    };
    for (const Case& k : added) {
        Rig r;
        r.Lay(1, kPeng, 7, 2);
        const Meld& p = r.Melds(1, kPeng)[0];
        const int32_t fourth = r.GiveOne(1, 7);
        r.Give(3, {9});
        MJRequest q = MJRequest::Meld(1, 1, fourth, p.tiles[0], p.tiles[1], p.tiles[2], 2);
        k.change(r, q);
        EXPECT_EQ(r.CheckGangRequest(q), k.want) << k.what;
    }
}

TEST(ChainMJ, ClaimWaitingAtTheMahjongLevel) {
    FixedTick clock;
    Rig r;
    // Chair 3 waits on a 9 of the first suit; chair 2 has discarded one.
    r.Give(3, {1, 2, 3, 4, 5, 6, 7, 8, 11, 11, 11, 21, 21});
    const int32_t nine = r.GiveOne(2, 9);
    r.Discard(2, &nine, 1);
    const MJRequest pung = MJRequest::Meld(1, 2, nine, -1, -1);
    struct Case {
        const char* what;
        std::function<int32_t()> ask;
        int32_t want;
    };
    const Case cases[] = {
        {"a winner may still claim", [&] { return r.CMJTable::OthersMayStillHu(pung); }, 1},
        {"a claim may still come", [&] { return r.CMJTable::OthersMayStillClaim(pung); }, 1},
        {"a chair wins on the tile", [&] { return r.CMJTable::SomeoneCanHuDiscard(pung); }, 1},
        {"the winner asks itself",
         [&] { return r.CMJTable::SomeoneCanHuDiscard(MJRequest::Meld(3, 2, nine, -1, -1)); }, 0},
        {"no winner: only a pung may come",
         [&] { return (r.pgch_[3] = 1, r.CMJTable::OthersMayStillHu(pung)); }, 0},
        {"a pung may come", [&] { return r.CMJTable::OthersMayStillClaim(pung); }, 1},
        {"a chow holds no claim",
         [&] { return (r.pgch_[3] = 4, r.CMJTable::OthersMayStillClaim(pung)); }, 0},
        {"a kong holds", [&] { return (r.pgch_[3] = 2, r.CMJTable::OthersMayStillClaim(pung)); },
         1},
        {"the requester's own flags hold nothing",
         [&] {
             r.pgch_[3] = 0, r.pgch_[1] = 8;
             return r.CMJTable::OthersMayStillHu(pung) + r.CMJTable::OthersMayStillClaim(pung);
         },
         0},
        {"time up for a winner",
         [&] {
             r.pgch_[3] = 8, clock.tick += 19000;
             return r.CMJTable::OthersMayStillHu(pung) + r.CMJTable::OthersMayStillClaim(pung) +
                    r.CMJTable::SomeoneCanHuDiscard(pung);
         },
         0},
        {"just before the time",
         [&] { return (clock.tick -= 1, r.CMJTable::OthersMayStillHu(pung)); }, 1},
        {"a robbing win timed from the kong",
         [&] { return (r.pendingTick_ = clock.tick, r.CMJTable::SomeoneCanRobGang(pung)); }, 1},
        {"its time up", [&] { return (clock.tick += 19000, r.CMJTable::SomeoneCanRobGang(pung)); },
         0},
    };
    for (const Case& k : cases) EXPECT_EQ(k.ask(), k.want) << k.what;
}

// A table whose turn passes on after a kong or a flower, and that counts its hooks.
class Passing : public MJ {
public:
    Passing() : MJ(0x100, 0x50F717) { Fresh(); }
    int32_t ReplacementPassesTurn() const override { return 1; }
    int32_t AfterPengHook(const MJRequest&) override { return ++hooks[0]; }
    int32_t AfterChiHook(const MJRequest&) override { return ++hooks[1]; }
    int32_t AfterMingGangHook(const MJRequest&) override { return ++hooks[2]; }
    int32_t AfterAnGangHook(const MJRequest&) override { return ++hooks[3]; }
    int32_t AfterBuGangHook(const MJRequest&) override { return ++hooks[4]; }
    int32_t AfterFlowerHook(const MJRequest&) override { return ++hooks[5]; }
    int hooks[6] = {};
};

TEST(ChainMJ, HooksAfterEachMeldAndATurnThatPassesOn) {
    Passing t;
    const int32_t flower = 140;
    t.BuildTileSet({flower});
    t.SetTileStatus(flower, kTileHeld), t.SetTileChair(flower, 1), t.IncrementKind(1, flower);
    // A flower laid out: the turn passes to the next chair, whose tiles are not yet open.
    t.SwitchActiveChair(1);
    const MJRequest lay = MJRequest::Meld(1, 1, flower, -1, -1);
    EXPECT_EQ(t.CheckFlowerRequest(lay), 1);
    t.ClearStatusBits(0x100);  // the chair may not act on its own tiles
    EXPECT_EQ(t.CheckFlowerRequest(lay), 0);
    t.SetStatusBits(0x100);
    t.OnFlower(MJRequest::Meld(1, 1, flower, -1, -1));
    EXPECT_EQ(t.GetCurrentChair(), t.NextChair(1));
    EXPECT_EQ(t.Status() & 0x5E0, 0x400u);
    // Each meld runs its own hook once.
    const int32_t three1 = t.GiveOne(1, 3), three2 = t.GiveOne(1, 3);
    const int32_t four = t.GiveOne(1, 4), six = t.GiveOne(1, 6);
    int32_t eights[3], nines[4];
    for (int32_t& id : eights) id = t.GiveOne(1, 8);
    for (int32_t& id : nines) id = t.GiveOne(1, 9);
    const int32_t fed = t.GiveOne(0, 3);
    t.Discard(0, &fed, 1);
    t.OnPeng(MJRequest::Meld(1, 0, fed, three1, three2));
    const int32_t five = t.GiveOne(0, 5);
    t.Discard(0, &five, 1);
    t.OnChi(MJRequest::Meld(1, 0, five, four, six));
    const int32_t eight = t.GiveOne(2, 8);
    t.Discard(2, &eight, 1);
    t.OnMingGang(MJRequest::Meld(1, 2, eight, eights[0], eights[1], eights[2], 1));
    EXPECT_EQ(t.GetCurrentChair(), t.NextChair(1));
    t.OnAnGang(MJRequest::Meld(1, 1, nines[3], nines[0], nines[1], nines[2]));
    const int32_t last = t.GiveOne(1, 3);
    t.OnBuGang(MJRequest::Meld(1, 1, last, three1, three2, fed, 2));
    for (int k = 0; k < 6; ++k) EXPECT_EQ(t.hooks[k], 1) << k;
    EXPECT_EQ(t.Melds(1, kBuGang).size(), 1u);
    EXPECT_EQ(t.ChiMatrix(0, 1), 1);
    EXPECT_EQ(t.CountHeld(1), 0);
}

// --- This game's units and melds ---------------------------------------------------------------

HuUnit unit(int32_t type, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    HuUnit u{};
    u.type = type;
    u.tiles[0] = a, u.tiles[1] = b, u.tiles[2] = c, u.tiles[3] = d;
    return u;
}

TEST(ChainGame, NegateByTheMostFlowers) {
    struct Case {
        size_t flowers;  // the largest flower list
        int32_t want;    // of 5
    };
    const Case cases[] = {{0, -5}, {3, -20}, {6, -35}, {7, -50}, {8, -75}, {9, -50}};
    for (const Case& k : cases) {
        Rig r;
        r.flowers_[1].assign(k.flowers > 0 ? k.flowers - 1 : 0, 140);
        r.flowers_[2].assign(k.flowers, 141);
        EXPECT_EQ(r.Negate(5), k.want) << k.flowers;
    }
    Rig r;
    r.flowers_[0].assign(8, 140);
    EXPECT_EQ(r.Negate(INT32_MAX), INT32_MIN);
    EXPECT_EQ(r.CCommonTable::Negate(5), -5);
    // One chair's opponent value stays -v whatever the level's Negate gives.
    EXPECT_EQ(r.IsOpponent(1, 1, 5), -5);
    MJ below(0x100, 0x50F717);
    EXPECT_EQ(below.IsOpponent(2, 2, 5), -5);
    EXPECT_EQ(below.IsOpponent(2, 2, INT32_MIN), INT32_MAX);
}

TEST(ChainGame, UnitsOfAResult) {
    HuResult res{};
    res.unitCount = 5;
    res.units[0] = unit(kUnitFour, 3, 3, 3, 3);
    res.units[1] = unit(kUnitRun, 4, 5, 6);
    res.units[2] = unit(kUnitRun, 21, 22, 23);
    res.units[3] = unit(kUnitFour, 31, 31, 31, 31);
    res.units[4] = unit(kUnitPair, 9, 9);
    res.units[5] = unit(kUnitRun, 1, 2, 3);  // past the count
    EXPECT_EQ(CMJTableEx::CountFourUnits(res), 2);
    EXPECT_EQ(CMJTableEx::CountRunUnits(res), 2);
    int32_t v[] = {5, -1, 9, 0, 5, 3};
    CMJTableEx::SortAscending(v, 6);
    const int32_t sorted[] = {-1, 0, 3, 5, 5, 9};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(v[k], sorted[k]);
    int32_t two[] = {2, 1, 0};
    CMJTableEx::SortAscending(two, 2);  // only the first n
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(two[2], 0);
    CMJTableEx::SortAscending(nullptr, 3);  // no list: nothing to sort
    struct Case {
        const char* what;
        HuUnit a, b;
        bool want;
    };
    const Case cases[] = {
        {"a run in another order", unit(kUnitRun, 4, 5, 6), unit(kUnitRun, 6, 4, 5), true},
        {"another run", unit(kUnitRun, 4, 5, 6), unit(kUnitRun, 5, 6, 7), false},
        {"runs differing in the last tile", unit(kUnitRun, 4, 5, 6), unit(kUnitRun, 4, 5, 7),
         false},
        {"triplets by the first tile", unit(kUnitTriplet, 8, 8, 8), unit(kUnitTriplet, 8, 0, 0),
         true},
        {"other triplets", unit(kUnitTriplet, 8, 8, 8), unit(kUnitTriplet, 9, 8, 8), false},
        {"pairs", unit(kUnitPair, 33, 33), unit(kUnitPair, 33, 33), true},
        {"fours", unit(kUnitFour, 2, 2, 2, 2), unit(kUnitFour, 2, 2, 2, 2), true},
        {"a pair and a triplet", unit(kUnitPair, 8, 8), unit(kUnitTriplet, 8, 8, 8), false},
        {"special hands", unit(kUnitAllHonours, 0), unit(kUnitAllHonours, 0), false},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(CMJTableEx::SameUnit(k.a, k.b), k.want) << k.what;
        EXPECT_EQ(CMJTableEx::SameUnit(k.b, k.a), k.want) << k.what;
    }
}

TEST(ChainGame, MeldsAsUnitsAndCounts) {
    Rig r;
    r.Lay(0, kAnGang, 7, 0);
    r.Lay(0, kPeng, 31, 1);
    r.Lay(0, kMingGang, 9, 2);
    r.Lay(0, kBuGang, 19, 3);
    Meld chow;  // the claimed tile third, as a chow is laid
    chow.tiles[0] = idOf(24, 0), chow.tiles[1] = idOf(25, 0), chow.tiles[2] = idOf(23, 0);
    chow.source = 3;
    r.melds_[0][kChi].push_back(chow);
    r.Give(0, {1, 1});
    EXPECT_EQ(r.CountKongs(0), 3);
    EXPECT_EQ(r.CountKongs(1), 0);
    EXPECT_EQ(r.CountKongs(5), 0);
    struct Case {
        const char* what;
        int32_t flags;
        std::vector<HuUnit> want;
    };
    const Case cases[] = {
        {"self-drawn: the concealed kong too",
         2,
         {unit(kUnitTriplet, 7, 7, 7), unit(kUnitTriplet, 31, 31, 31), unit(kUnitTriplet, 9, 9, 9),
          unit(kUnitTriplet, 19, 19, 19), unit(kUnitRun, 23, 24, 25)}},
        {"on a discard: without it",
         1,
         {unit(kUnitTriplet, 31, 31, 31), unit(kUnitTriplet, 9, 9, 9),
          unit(kUnitTriplet, 19, 19, 19), unit(kUnitRun, 23, 24, 25)}},
    };
    for (const Case& k : cases) {
        HuResult res{};
        res.unitCount = 1;
        res.units[0] = unit(kUnitPair, 1, 1);
        EXPECT_EQ(r.UnitsFromMelds(0, &res, k.flags), static_cast<int32_t>(k.want.size()))
            << k.what;
        ASSERT_EQ(res.unitCount, 1 + static_cast<int32_t>(k.want.size())) << k.what;
        for (size_t u = 0; u < k.want.size(); ++u) {
            const HuUnit& got = res.units[u + 1];
            EXPECT_EQ(got.type, k.want[u].type) << k.what << u;
            for (int w = 0; w < 4; ++w) EXPECT_EQ(got.tiles[w], k.want[u].tiles[w]) << k.what << u;
        }
    }
    // A result without room keeps what it has.
    HuResult full{};
    full.unitCount = kMaxHuUnits - 1;
    EXPECT_EQ(r.UnitsFromMelds(0, &full, 2), 1);
    EXPECT_EQ(r.UnitsFromMelds(0, &full, 2), 0);
    EXPECT_EQ(r.UnitsFromMelds(0, nullptr, 2), 0);
    // An empty result takes every meld: the count is of the units appended.
    HuResult empty{};
    EXPECT_EQ(r.UnitsFromMelds(0, &empty, 2), 5);
    EXPECT_EQ(empty.unitCount, 5);
    // The hand with its melds by kind.
    int32_t all[64];
    EXPECT_EQ(r.HeldWithMelds(0, all), 2 + 4 + 3 + 4 + 4 + 3);
    EXPECT_EQ(all[1], 2);
    EXPECT_EQ(all[7], 4);
    EXPECT_EQ(all[31], 3);
    EXPECT_EQ(all[19], 4);
    EXPECT_EQ(all[23], 1);
    EXPECT_EQ(r.HeldWithMelds(7, all), 0);
    EXPECT_EQ(all[1], 0);
    // The stake power the result record carries.
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 5);
    r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0);
    EXPECT_EQ(r.StakePower(), 0);
    EXPECT_EQ(at(rec, 1616), 0);
}

// --- The joker features ------------------------------------------------------------------------

constexpr uint32_t kJokers = kTileFlagJokers | kTileFlagStandIn;
constexpr int32_t kJokerRule = 0x2000 | 0x4000 | kFeatureNoJoker | kFeatureNaturalJokers |
                               kFeatureThreeJokers | kFeatureFourJokers | kRuleAll258;

TEST(JokerFeatures, JokersDealtAreCountedInTheHands) {
    MJ t(kJokers, kJokerRule);
    SeedRandom(12);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    ASSERT_GE(t.JokerId(), 0);
    EXPECT_EQ(t.JokerPos(), t.JokerPosition());
    EXPECT_EQ(t.JokerId(), t.TileAt(t.JokerPos()));
    const int32_t kind = MJ_TileIndex(t.JokerId(), static_cast<int32_t>(kJokers));
    int32_t total = 0;
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(t.CountJokersHeld(c), t.Counts(c)[kind]) << c;
        total += t.CountJokersHeld(c);
    }
    EXPECT_LE(total, 3);  // the joker's own tile stays in the wall
    EXPECT_TRUE(t.IsJokerKind(t.JokerId()));
}

TEST(JokerFeatures, FeatureBitsOfAWin) {
    constexpr int32_t kAll = 0xF0000, kCount = kFeatureNoJoker | 0xC0000;
    struct Case {
        const char* what;
        int jokerKind;
        int jokerPosition;  // the kind before the joker's (the joker is the next kind), or -1
        std::vector<int> hand;
        int win;
        int32_t checked, want;  // of the four joker features
        bool selfDrawn = false;
    };
    const Case cases[] = {
        {"no joker anywhere",
         15,
         -1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 21, 22, 23, 29},
         29,
         kAll,
         kFeatureNoJoker},
        {"the winning tile a joker",
         29,
         -1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 21, 22, 23, 28},
         29,
         kAll,
         0,
         true},
        {"a joker played as itself",
         15,
         -1,
         {13, 14, 15, 1, 2, 3, 4, 5, 6, 7, 8, 9, 29},
         29,
         kAll,
         kFeatureNaturalJokers},
        {"a joker filling a gap", 15, -1, {12, 13, 15, 1, 2, 3, 4, 5, 6, 7, 8, 9, 29}, 29, kAll, 0},
        {"three jokers",
         15,
         -1,
         {15, 15, 15, 1, 2, 3, 4, 5, 6, 7, 8, 9, 29},
         29,
         kCount,
         kFeatureThreeJokers},
        {"four jokers",
         15,
         14,
         {15, 15, 15, 15, 1, 2, 3, 4, 5, 6, 7, 8, 29},
         29,
         kCount,
         kFeatureFourJokers},
        {"all 2-5-8 with a joker that is one",
         15,
         -1,
         {2, 2, 5, 5, 8, 8, 12, 12, 15, 18, 18, 22, 22},
         25,
         kAll,
         kFeatureNaturalJokers},
        {"all 2-5-8 with a joker that is none",
         13,
         -1,
         {2, 2, 5, 5, 8, 8, 12, 12, 13, 18, 18, 22, 22},
         25,
         kAll,
         0},
    };
    for (const Case& k : cases) {
        MJ t(kJokers, kJokerRule);
        t.Fresh();
        t.SetJoker(idOf(k.jokerKind, 3));
        if (k.jokerPosition >= 0)
            t.SetJoker(idOf(k.jokerKind, 0), t.PositionOf(idOf(k.jokerPosition, 3)));
        // Jokers in the hand are tiles of the joker's kind other than the one at its place.
        for (int kind : k.hand) ASSERT_GE(t.GiveOne(0, kind), 0) << k.what;
        // A self-drawn winning tile is in the hand; a discard is another's.
        const int32_t win = k.selfDrawn ? t.GiveOne(0, k.win) : t.GiveOne(1, k.win);
        const int32_t mask = k.selfDrawn ? 2 : 1;
        HuResult res{};
        ASSERT_EQ(t.CheckHu(0, win, &res, mask), 8) << k.what;
        t.IsNoJokerWin(0, win, &res, mask);
        t.IsNaturalJokerWin(0, win, &res, mask);
        t.HasThreeJokers(0, win, &res, mask);
        t.HasFourJokers(0, win, &res, mask);
        EXPECT_EQ(res.handType & k.checked, k.want) << k.what;
    }
}

TEST(JokerFeatures, OffWithoutJokersOrTheirRuleBits) {
    MJ noJokers(0, kJokerRule);
    noJokers.Fresh();
    noJokers.Give(0, {15, 15, 15});
    HuResult res{};
    EXPECT_EQ(noJokers.IsNoJokerWin(0, idOf(1, 0), &res, 1), 0);
    EXPECT_EQ(noJokers.HasThreeJokers(0, idOf(1, 0), &res, 1), 0);
    EXPECT_EQ(noJokers.IsNaturalJokerWin(0, idOf(1, 0), &res, 1), 0);
    MJ noRule(kJokers, 0x10);
    noRule.Fresh();
    noRule.SetJoker(idOf(15, 3));
    noRule.Give(0, {15, 15, 15, 15});
    EXPECT_EQ(noRule.HasFourJokers(0, idOf(1, 0), &res, 1), 0);
    EXPECT_EQ(noRule.IsNoJokerWin(0, idOf(1, 0), &res, 1), 0);
    EXPECT_EQ(res.handType, 0);
}

TEST(JokerFeatures, TheSubstituteCountsInJokerAsSuit) {
    // A pung of white dragons laid beside a hand of the second suit, joker A a 5 of that suit.
    struct Case {
        const char* what;
        uint32_t flags;
        int32_t pure, mixed;
    };
    const Case cases[] = {
        {"the substitute plays as joker A", kJokers, 0x2000, 0x4000},
        {"jokers without a substitute", kTileFlagJokers, 0, 0x4000},
    };
    for (const Case& k : cases) {
        MJ t(k.flags, kJokerRule);
        t.Fresh();
        t.SetJoker(idOf(15, 3));
        t.LayPung(0, 37);
        t.Give(0, {11, 12, 13, 16, 17, 18, 19, 19, 19, 14});
        const int32_t win = idOf(14, 1);
        HuResult res{};
        ASSERT_EQ(t.CheckHu(0, win, &res, 1), 8) << k.what;
        EXPECT_EQ(t.IsPureSuit(0, win, &res, 1), k.pure) << k.what;
        EXPECT_EQ(t.IsMixedSuit(0, win, &res, 1), k.mixed) << k.what;
        int32_t shapes[5] = {};
        t.CountMeldShapes(0, true, shapes);
        EXPECT_EQ(shapes[k.flags & kTileFlagStandIn ? 1 : 3], 1) << k.what;
        EXPECT_EQ(t.ShapeOfIndex(37, true), k.flags & kTileFlagStandIn ? 1 : 3) << k.what;
        EXPECT_EQ(t.ShapeOfIndex(37, false), 3) << k.what;
    }
}

TEST(JokerFeatures, TheJokerDiscarderBonus) {
    struct Case {
        const char* what;
        uint32_t flags;
        int32_t options, waitFlags, lockChair;
        int32_t want;
    };
    const Case cases[] = {
        {"the winner holds the lock", kJokers | 0x20000, 3, 1, 0, 2},
        {"options without bit 2", kJokers | 0x20000, 1, 1, 0, 0},
        {"options without bit 1", kJokers | 0x20000, 2, 1, 0, 0},
        {"a wait without bit 1", kJokers | 0x20000, 3, 0x10, 0, 0},
        {"another chair holds the lock", kJokers | 0x20000, 3, 1, 2, 0},
        {"no joker lock rule", kJokers, 3, 1, 0, 0},
    };
    for (const Case& k : cases) {
        MJ t(k.flags, kJokerRule, k.options);
        t.Fresh();
        t.SetJoker(idOf(15, 3));
        t.CountJokerDiscard(k.lockChair, idOf(15, 0));
        HuResult res{};
        res.waitFlags = k.waitFlags;
        EXPECT_EQ(t.IsJokerDiscarderWin(0, idOf(1, 0), &res, 1), k.want) << k.what;
        EXPECT_EQ(res.waitFlags, k.waitFlags | k.want) << k.what;
    }
}

// --- The kong feeder ---------------------------------------------------------------------------

// Chair 0 makes an exposed kong of 5s fed by chair 2, then a concealed kong of red dragons
// from its replacement, and wins on the next replacement. With `concealed` false it wins on
// the first replacement instead.
struct KongWin {
    std::vector<int32_t> record;
    int32_t points = 0;  // the winner's fans
    int32_t feederAfter = -2;
};

KongWin kongWin(bool concealed) {
    Rig r;
    KongWin out;
    const std::vector<int> hand =
        concealed ? std::vector<int>{5, 5, 5, 36, 36, 36, 1, 2, 3, 21, 22, 23, 37}
                  : std::vector<int>{5, 5, 5, 31, 31, 31, 1, 2, 3, 21, 22, 23, 36};
    std::vector<int32_t> fives;
    for (int k : hand) {
        const int32_t id = r.GiveOne(0, k);
        if (k == 5) fives.push_back(id);
    }
    int32_t ids[16];
    const int32_t fed = r.GiveOne(2, 5);
    r.SwitchActiveChair(2);
    r.Discard(2, &fed, 1);
    r.OpenClaimWindow();
    const MJRequest ming = MJRequest::Meld(0, 2, fed, fives[0], fives[1], fives[2], 1);
    if (!r.CheckMingGangRequest(ming)) return out;
    r.OnMingGang(ming);
    int32_t drawn = r.DrawFromTail(0);  // the fourth red dragon, 134
    if (concealed) {
        int32_t dragons[4], n = 0;
        const int32_t held = r.ListHeld(0, ids, 16);
        for (int32_t k = 0; k < held; ++k)
            if (n < 4 && r.IsSameKind(ids[k], drawn)) dragons[n++] = ids[k];
        if (n < 4) return out;
        const MJRequest an = MJRequest::Meld(0, 0, dragons[3], dragons[0], dragons[1], dragons[2]);
        if (!r.CheckAnGangRequest(an)) return out;
        r.OnAnGang(an);
        drawn = r.DrawFromTail(0);  // the fourth white dragon, 135
    }
    out.feederAfter = r.KongFeeder();
    MJRequest hu = MJRequest::Hu(0, 0, drawn, 2);
    if (!r.CheckHuRequest(hu) || r.OnHuRequest(hu) != 1) return out;
    r.SetOutcomeMode();
    r.EndOfDeal();
    out.points = r.TotalFanPoints(r.ResultOf(0));
    out.record.assign(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    r.FillResultRecord(out.record.data(), r.ResultRecordSize(), 0, 0);
    return out;
}

TEST(KongFeeder, AConcealedKongLeavesNobodyLiable) {
    const KongWin w = kongWin(true);
    ASSERT_FALSE(w.record.empty());
    EXPECT_EQ(w.feederAfter, -1);
    const int32_t p = w.points;
    EXPECT_EQ(at(w.record, 1652 + 3 * 4 + 5 * 4), 16);  // 杠上花
    EXPECT_EQ(at(w.record, result_off::kMode) & 0x2000000, 0x2000000);
    EXPECT_EQ(at(w.record, 696), 0);  // nobody liable
    // Self-drawn: each chair pays the points; the exposed kong 1 from chair 2, the concealed
    // kong 1 from each chair.
    using result_off::kWinPoints;
    EXPECT_EQ(at(w.record, kWinPoints), 3 * p + 1 + 3);
    EXPECT_EQ(at(w.record, kWinPoints + 4), -p - 1);
    EXPECT_EQ(at(w.record, kWinPoints + 8), -p - 2);
    EXPECT_EQ(at(w.record, kWinPoints + 12), -p - 1);
}

TEST(KongFeeder, TheFeederOfTheLastKongPaysForAWinOnItsReplacement) {
    const KongWin w = kongWin(false);
    ASSERT_FALSE(w.record.empty());
    EXPECT_EQ(w.feederAfter, 2);
    const int32_t p = w.points;
    EXPECT_EQ(at(w.record, 696), 503);
    using result_off::kWinPoints;
    EXPECT_EQ(at(w.record, kWinPoints), 3 * p + 1);
    EXPECT_EQ(at(w.record, kWinPoints + 4), 0);
    EXPECT_EQ(at(w.record, kWinPoints + 8), -3 * p - 1);
    EXPECT_EQ(at(w.record, kWinPoints + 12), 0);
}

TEST(KongFeeder, ADiscardEndsTheKongsFeeding) {
    Rig r;
    r.Lay(0, kPeng, 7, 3);
    const int32_t fourth = r.GiveOne(0, 7);
    const Meld& m = r.Melds(0, kPeng)[0];
    r.OnBuGang(MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2));
    ASSERT_EQ(r.KongFeeder(), 3);
    const int32_t out = r.GiveOne(0, 21);
    r.Discard(0, &out, 1);
    EXPECT_EQ(r.KongFeeder(), -1);
}

// --- Edges of the operations below the new ones ------------------------------------------------

TEST(ChainEdges, NextKindTileWrapsEachRun) {
    Rig r;
    const std::pair<int32_t, int32_t> rows[] = {
        {35, 0},    {71, 36},   {107, 72},  {111, 108}, {118, 108}, {125, 108}, {132, 108},
        {114, 112}, {121, 112}, {128, 112}, {135, 112}, {8, 9},     {108, 109}, {112, 113},
    };
    for (auto [id, next] : rows) EXPECT_EQ(r.NextKindTile(id), next) << id;
}

TEST(ChainEdges, SpecialHandsAreNeverOfOneSuit) {
    struct Case {
        int32_t type;
        int32_t want;
    };
    const Case cases[] = {{kUnitThirteenUnrelated, 0},
                          {kUnitAllSevenHonours, 0},
                          {kUnitAllHonours, 0},
                          {kUnitAll258, 0},
                          {kUnitTriplet, 0x2000}};
    for (const Case& k : cases) {
        Rig r;
        HuResult res{};
        res.unitCount = 2;
        res.units[0].type = k.type;
        res.units[0].tiles[0] = res.units[0].tiles[1] = res.units[0].tiles[2] = 1;
        res.units[1].type = kUnitRun;
        res.units[1].tiles[0] = 2, res.units[1].tiles[1] = 3, res.units[1].tiles[2] = 4;
        EXPECT_EQ(r.IsPureSuit(1, -1, &res, 1), k.want) << k.type;
    }
}

TEST(ChainEdges, ClaimedFromListsAndTheClaimWindow) {
    Rig r;
    EXPECT_EQ(r.AddClaimedFrom(MJRequest::Meld(5, 1, 0, -1, -1)), 0);
    EXPECT_EQ(r.AddClaimedFrom(MJRequest::Meld(0, -1, 0, -1, -1)), 0);
    for (int32_t from : {1, 2, 3, 1})
        EXPECT_EQ(r.AddClaimedFrom(MJRequest::Meld(0, from, 0, -1, -1)), 1);
    EXPECT_EQ(r.AddClaimedFrom(MJRequest::Meld(0, 2, 0, -1, -1)), 0);  // four places used
    EXPECT_EQ(r.ClaimedFrom(0, 3), 1);
    EXPECT_EQ(r.ClaimedFrom(1, 0), -1);
    // A discard nobody can claim closes the window at once; one a chair may pung, once it
    // passes.
    FixedTick clock;
    Rig w;
    const int32_t nine = w.GiveOne(2, 9);
    w.Discard(2, &nine, 1);
    EXPECT_TRUE(w.IsClaimWindowOver(2));
    Rig p;
    p.Give(0, {8, 8});
    const int32_t eight = p.GiveOne(2, 8);
    p.Discard(2, &eight, 1);
    EXPECT_FALSE(p.IsClaimWindowOver(2));
    p.AnswerPass(0, 0);
    EXPECT_TRUE(p.IsClaimWindowOver(2));
    // Claims cleared unanswered (a claim carried out, a draw) hold the window no longer.
    Rig q;
    q.Give(0, {8, 8});
    const int32_t other = q.GiveOne(2, 8);
    q.Discard(2, &other, 1);
    q.ClearClaimFlags();
    EXPECT_TRUE(q.IsClaimWindowOver(2));
}

TEST(ChainEdges, ASelfDrawnWinOnlyInTheChairsOwnTurn) {
    Rig r;
    const auto hand = r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21, 21});
    MJRequest hu = MJRequest::Hu(1, 1, hand[13], 2);
    EXPECT_EQ(r.CheckHuRequest(hu), 0);  // chair 0's turn
    r.SwitchActiveChair(1);
    EXPECT_EQ(r.CheckHuRequest(hu), 8);
}

}  // namespace
