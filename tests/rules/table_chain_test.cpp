// The operations of the table rule chain beyond the deal path: the small operations of each
// level (one row each), the table-info and table-state records at their offsets, result rows,
// seat records, bidding and banker teams, computer players, the joker features and the kong
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

// --- One row per operation -------------------------------------------------------------------

TEST(ChainCommon, SmallOperations) {
    FixedTick clock;
    Common t(TableConfig{});
    t.AddPlayer(user(11, 100, 5000), 0);
    auto second = user(12, 90, 4000);
    second->further2 = 77;
    t.AddPlayer(std::move(second), 1);
    t.AddPlayer(user(13, 80, 3000, 1), 2);
    t.AddPlayer(user(14, 70, 2000), 3);
    auto looker = user(21);
    looker->further2 = 5;
    t.AddLookerOn(std::move(looker), 1);
    t.OwnGroups();
    t.SetGroup(3, 1);
    const int32_t record[2] = {41, 42};
    Common empty(TableConfig{});
    Common tens(TableConfig{-1, -1, 10, 4, 0, 0, 3});
    const int32_t mins[3] = {5000, 700, 90000};
    const int32_t stakes[2] = {1000, 1000};
    runRows({
        {"SameValue equal", [&] { return t.SameValue(3, 3); }, 1},
        {"SameValue different", [&] { return t.SameValue(3, 4); }, 0},
        {"FirstWordOf", [&] { return t.FirstWordOf(record); }, 41},
        {"SecondWordOf", [&] { return t.SecondWordOf(record); }, 42},
        {"FirstWordOf of no record", [&] { return t.FirstWordOf(nullptr); }, 0},
        {"SetStatus1000", [&] { return (t.SetStatus1000(), t.Status()); }, 0x1000},
        {"TouchStatus keeps the bits", [&] { return (t.TouchStatus(), t.Status()); }, 0x1000},
        {"ClearStatus1000", [&] { return (t.ClearStatus1000(), t.Status()); }, 0},
        {"PermitA", [&] { return t.PermitA(); }, 1},
        {"PermitB", [&] { return t.PermitB(); }, 1},
        {"PermitC", [&] { return t.PermitC(); }, 1},
        {"IsOpponent of other groups", [&] { return t.IsOpponent(0, 1, 5); }, 1},
        {"IsOpponent of one group", [&] { return t.IsOpponent(1, 3, 5); }, 0},
        {"IsOpponent of one chair", [&] { return t.IsOpponent(2, 2, 5); }, -5},
        {"Negate", [&] { return t.Negate(7); }, -7},
        {"Negate of the smallest int", [&] { return t.Negate(INT32_MIN); }, INT32_MAX},
        {"NoneHasFlag4", [&] { return t.NoneHasFlag4(); }, 1},
        {"AllAgreed without the flag", [&] { return t.AllAgreed(); }, 0},
        {"AnyStartFlag1024", [&] { return t.AnyStartFlag1024(); }, 0},
        {"AnySecondFlag1", [&] { return t.AnySecondFlag1(); }, 0},
        {"HasUsers", [&] { return t.HasUsers(); }, 1},
        {"HasUsers of an empty table", [&] { return empty.HasUsers(); }, 0},
        {"IsFirstDeal", [&] { return t.IsFirstDeal(); }, 1},
        {"SpareValueOf a player", [&] { return t.SpareValueOf(12); }, 77},
        {"SpareValueOf a looker-on", [&] { return t.SpareValueOf(21); }, 0},
        {"SpareValueOf nobody", [&] { return t.SpareValueOf(99); }, 0},
        {"GetLockedValue", [&] { return t.GetLockedValue(); }, 0},
        {"DefaultThinkTime", [&] { return t.DefaultThinkTime(); }, 120},
        {"PairBlockSize", [&] { return t.PairBlockSize(); }, 4 * 4 * 32},
        {"FeeCapPerHundred", [&] { return t.FeeCapPerHundred(); }, 5},
        {"LevelOf 100", [&] { return t.LevelOf(100); }, 4},
        {"LevelOf 99", [&] { return t.LevelOf(99); }, 3},
        {"LevelOf 1000 with multiplier 10", [&] { return tens.LevelOf(1000); }, 4},
        {"LevelOf 999 with multiplier 10", [&] { return tens.LevelOf(999); }, 3},
        {"MinLevelValue", [&] { return t.MinLevelValue(mins, 3); }, 14},
        {"BaseStakeOf", [&] { return t.BaseStakeOf(stakes, 25, 2); }, 24},
        {"CountSeated", [&] { return t.CountSeated(); }, 4},
    });
    // The flag tests, each on its own bit.
    struct FlagRow {
        const char* what;
        int32_t start, second;
        std::function<int32_t(const Common&)> test;
    };
    const FlagRow flags[] = {
        {"AllAgreed", 0x100000, 0, [](const Common& c) { return c.AllAgreed(); }},
        {"NoneHasFlag4", 4, 0, [](const Common& c) { return 1 - c.NoneHasFlag4(); }},
        {"AnyStartFlag1024", 1024, 0, [](const Common& c) { return c.AnyStartFlag1024(); }},
        {"AnyStartFlag80000", 0x80000, 0, [](const Common& c) { return c.AnyStartFlag80000(); }},
        {"AnyStartFlag512", 512, 0, [](const Common& c) { return c.AnyStartFlag512(); }},
        {"AnySecondFlag1", 0, 1, [](const Common& c) { return c.AnySecondFlag1(); }},
        {"AnyFlag1", 0, 1, [](const Common& c) { return c.AnyFlag1(); }},
        {"AnySecondFlag8000000", 0, 0x8000000,
         [](const Common& c) { return c.AnySecondFlag8000000(); }},
    };
    for (const FlagRow& f : flags) {
        Common c(TableConfig{});
        EXPECT_EQ(f.test(c), 0) << f.what;
        c.SetStartFlags(3, f.start | 0x4000, f.second | 0x2);  // with a bit of no meaning
        EXPECT_EQ(f.test(c), 1) << f.what;
        c.SetStartFlags(3, (f.start - 1) & ~f.start, (f.second - 1) & ~f.second);
        EXPECT_EQ(f.test(c), 0) << f.what << " (other bits)";
    }
    Common agreed(TableConfig{-1, -1, 1, 4, 0x1000000, 0, 3});
    EXPECT_EQ(agreed.AllAgreed(), 1);
}

TEST(ChainCommon, ThresholdLevelsAndColumns) {
    Common t(TableConfig{-1, -1, 1, 4, 0x2000000, 0, 3});
    t.params_.threshold = 500;
    const int32_t reach[4] = {100, 500, 0, 0};
    const int32_t below[4] = {100, 499, 0, 0};
    EXPECT_EQ(t.AnyOverThreshold(reach), 1);
    EXPECT_EQ(t.AnyOverThreshold(below), 0);
    EXPECT_EQ(t.AnyOverThreshold(nullptr), 0);
    t.params_.threshold = 0;
    EXPECT_EQ(t.AnyOverThreshold(reach), 0);
    Common off(TableConfig{});
    off.params_.threshold = 500;
    EXPECT_EQ(off.AnyOverThreshold(reach), 0);
    // Levels of a + b per chair.
    const int32_t a[4] = {50, 0, -10, 86000};
    const int32_t b[4] = {50, 9, 5, 640};
    int32_t out[4] = {};
    EXPECT_EQ(t.LevelsOf(a, b, out), 1);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 19);
    // Columns: the stake column only when stakes are played.
    int32_t c[4] = {1, 1, 1, 1}, d[4] = {0, 0, 0, 0};
    t.AddColumns(a, b, c, d);
    EXPECT_EQ(c[0], 51);
    EXPECT_EQ(c[3], 86001);
    EXPECT_EQ(d[0], 0);
    t.stake_ = 10;
    t.AddColumns(a, b, c, d);
    EXPECT_EQ(c[0], 101);
    EXPECT_EQ(d[3], 640);
}

// Another chair than the current one reports the current chair once the last activity is
// older than the seconds given; the current chair reports itself.
TEST(ChainCommon, TurnTimeOutCountsFromTheLastActivity) {
    FixedTick clock;
    clock.tick = 100000;
    Common t(TableConfig{});
    t.SwitchActiveChair(1);
    t.StampActivity();
    clock.tick += 1000;
    EXPECT_EQ(t.CheckTurnTimeout(2, 1), 2);
    EXPECT_EQ(t.CheckTurnTimeout(1, 1), 1);
    clock.tick += 1;
    EXPECT_EQ(t.CheckTurnTimeout(2, 1), 1);
    EXPECT_EQ(t.CheckTurnTimeout(1, 1), 1);
}

TEST(ChainCommon, WaitingOnlyBeforeTheFirstDealWhenEnabled) {
    FixedTick clock;
    struct Case {
        const char* what;
        int32_t spare;
        bool begin, playing, dealt;
        uint32_t later;
        int32_t seconds;
        bool want;
    };
    const Case cases[] = {
        {"a fresh wait", 1, true, false, false, 4999, 5, true},
        {"at the limit", 1, true, false, false, 5000, 5, false},
        {"not enabled", 0, true, false, false, 10, 5, false},
        {"no wait begun", 1, false, false, false, 10, 5, false},
        {"a game running", 1, true, true, false, 10, 5, false},
        {"a deal played", 1, true, false, true, 10, 5, false},
        {"no seconds", 1, true, false, false, 0, 0, false},
    };
    for (const Case& k : cases) {
        Common t(TableConfig{-1, -1, 1, 4, 0x400000, k.spare, 3});
        for (int c = 0; c < 4; ++c) t.AddPlayer(user(31 + c), c);
        if (k.dealt) {
            ASSERT_EQ(t.StartGame(nullptr, {}), 1) << k.what;
            t.ClearStatusBits(kStatusPlaying);
        }
        if (k.playing) t.SetStatusBits(kStatusPlaying);
        if (k.begin) t.BeginWait(2);
        clock.tick += k.later;
        EXPECT_EQ(t.IsWaitingTooLong(2, k.seconds), k.want) << k.what;
        EXPECT_FALSE(t.IsWaitingTooLong(9, k.seconds)) << k.what;
    }
}

TEST(ChainCommon, ComputerNames) {
    CCommonTable t(TableConfig{});
    const char* const want[] = {"游戏玩家【甲】", "游戏玩家【乙】", "游戏玩家【丙】",
                                "游戏玩家【丁】", "游戏玩家【戊】", "游戏玩家【己】",
                                "游戏玩家【庚】", "游戏玩家【辛】"};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(t.ComputerName(k), want[k]) << k;
    EXPECT_EQ(t.ComputerName(8), "游戏玩家【-】");
    EXPECT_EQ(t.ComputerName(-1), "游戏玩家【-】");
}

// --- Records ---------------------------------------------------------------------------------

TEST(ChainRecords, TableInfoRecord) {
    Common t(TableConfig{9, 7, 1, 4, 0x400000, 0, 3});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(41 + c, 0, 20000), c);
    t.SetChairFlags(2, 5);
    SeedRandom(3);
    GameParams p;
    p.multiple = 2;
    ASSERT_EQ(t.StartGame(nullptr, p), 1);
    t.stake_ = 33;
    std::vector<int32_t> r(kTableInfoBytes / 4 + 1, 0x55);
    EXPECT_EQ(t.FillTableInfo(r.data(), kTableInfoBytes - 1), 0);
    EXPECT_EQ(r[0], 0x55);  // a small record is left alone
    EXPECT_EQ(t.FillTableInfo(r.data(), kTableInfoBytes), 120);
    using namespace info_off;
    EXPECT_EQ(at(r, kGameId), 9);
    EXPECT_EQ(at(r, kTableKey), 7);
    EXPECT_EQ(at(r, kChairs), 4);
    EXPECT_EQ(at(r, kBaseStake), t.BaseStakeValue());
    EXPECT_EQ(at(r, kStake), 33);
    EXPECT_EQ(at(r, kChairFlags + 8), 5);
    EXPECT_EQ(at(r, kChairFlags + 12), 0);
    EXPECT_EQ(at(r, kDeals), 1);
    EXPECT_EQ(at(r, kThinkTime), 120);
    for (int k = 60; k < kTableInfoBytes; k += 4) EXPECT_EQ(at(r, k), 0) << k;
    EXPECT_EQ(r.back(), 0x55);  // nothing past the record
}

TEST(ChainRecords, CommonTableStateAtItsOffsets) {
    FixedTick clock;
    Common t(TableConfig{9, 7, 2, 4, 0x400000, 0, 3});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(41 + c, 0, 20000), c);
    t.SetStartFlags(1, 0x4000 | 2, 0x40);
    t.SetChairFlags(3, 1);
    SeedRandom(11);
    GameParams p;
    p.multiple = 3;
    p.minHoldings = 5;
    p.minAmount89 = 17;
    ASSERT_EQ(t.StartGame(nullptr, p), 1);
    t.CountUp(2);
    t.SetMultiple(1, 6);
    t.values_[3] = -4;
    t.SetModeDouble(true);
    const int32_t banker = t.Banker();
    const int32_t next = t.NextChair(banker);
    clock.tick += 250;
    t.SwitchActiveChair(next);  // the banker thought 250 ms
    clock.tick += 40;
    std::vector<int32_t> r(kTableStateBytes / 4, 0x55);
    EXPECT_EQ(t.FillTableState(r.data(), kTableStateBytes - 1, 0), 0);
    EXPECT_EQ(r[0], 0x55);
    ASSERT_EQ(t.TableStateSize(), kTableStateBytes);
    ASSERT_EQ(t.FillTableState(r.data(), kTableStateBytes, 0), 1);
    using namespace state_off;
    EXPECT_EQ(at(r, kTableKey), 7);
    EXPECT_EQ(at(r, kLevelMultiplier), 2);
    EXPECT_EQ(at(r, kChairs), 4);
    EXPECT_EQ(at(r, kRuleFlags), 0x400000);
    EXPECT_EQ(at(r, kCounterLimit), 3);
    EXPECT_EQ(at(r, kStartFlags + 4), 0x4002);
    EXPECT_EQ(at(r, kStartFlags2 + 4), 0x40);
    EXPECT_EQ(at(r, kChairFlags + 12), 1);
    EXPECT_EQ(at(r, kAllFlags), 0);  // not every chair has flag 2
    EXPECT_EQ(at(r, kParams), 3);
    EXPECT_EQ(at(r, kParams + 4), 5);
    EXPECT_EQ(at(r, kParams + 16 * 4), 17);
    EXPECT_EQ(at(r, kBaseStake), t.BaseStakeValue());
    EXPECT_EQ(at(r, kFirstDeal), 1);
    EXPECT_EQ(at(r, kDeals), 1);
    EXPECT_EQ(at(r, kBanker), banker);
    EXPECT_EQ(at(r, kStatus), 1);
    EXPECT_EQ(at(r, kCurrentChair), next);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(at(r, kDice + 4 * k), t.Dice(k)) << k;
        EXPECT_GE(at(r, kDice + 4 * k), 1);
        EXPECT_EQ(at(r, kGroups + 4 * k), k);
    }
    EXPECT_EQ(at(r, kGroups + 16), -1);  // a chair the table does not have
    EXPECT_EQ(at(r, kThinkMs + 4 * banker), 250);
    EXPECT_EQ(at(r, kCounters + 8), 1);
    EXPECT_EQ(at(r, kValues + 12), -4);
    EXPECT_EQ(at(r, kMultiples + 4), 6);
    EXPECT_EQ(at(r, kMode), 8);
    EXPECT_EQ(at(r, kAnyFlag1), 0);
    EXPECT_EQ(at(r, kTurnMs), 40);
    for (int k = kTurnMs + 4; k < kTableStateBytes; k += 4) EXPECT_EQ(at(r, k), 0) << k;
}

TEST(ChainRecords, CardTableStateAtItsOffsets) {
    CardConfig cfg;
    cfg.reservedTiles = 4;
    std::array<int32_t, 16> option{};
    for (int k = 0; k < 16; ++k) option[static_cast<size_t>(k)] = 100 + k;
    cfg.optionTable = option;
    Card t(TableConfig{-1, 7, 1, 4, 0x400000, 0, 3}, cfg);
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(51 + c), c);
    SeedRandom(21);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    int32_t decided = 0;
    t.OnBid({2, 0, 150, {}}, &decided);
    t.OnBid({1, 1, 0, {}}, &decided);
    int32_t ids[64];
    FillMinusOne(ids, 64);
    ids[0] = 3, ids[1] = 8;  // values 4 and 9: 5 and 10 points
    t.AddPoints(ids);
    t.chairValues_[6] = 66;
    std::vector<int32_t> r(kCardStateBytes / 4, 0x55);
    ASSERT_EQ(t.TableStateSize(), kCardStateBytes);
    EXPECT_EQ(t.FillTableState(r.data(), kCardStateBytes - 4, 1), 0);
    ASSERT_EQ(t.FillTableState(r.data(), kCardStateBytes, 1), 1);
    EXPECT_EQ(at(r, state_off::kTableKey), 7);  // the common part first
    using namespace card_state;
    const int32_t config[] = {136, 4, 32, 4, 49, 10, 49, 20, 0x7FFFFFFF, 2, 400, 0, 100};
    for (int k = 0; k < 13; ++k) EXPECT_EQ(at(r, kConfig + 4 * k), config[k]) << k;
    for (int k = 0; k < 16; ++k) EXPECT_EQ(at(r, kOptionTable + 4 * k), 100 + k);
    EXPECT_EQ(at(r, kWallStart), t.WallStart());
    EXPECT_EQ(at(r, kDealingChair), t.DealingChair());
    EXPECT_EQ(at(r, kFirstChair), t.FirstChair());
    EXPECT_EQ(at(r, kJokerPos), 68);
    EXPECT_EQ(at(r, kJokerId), t.TileAt(68));
    EXPECT_EQ(at(r, kCurrentBid), 100);
    EXPECT_EQ(at(r, kBidCount), 2);
    EXPECT_EQ(at(r, kReservedCount), 4);
    EXPECT_EQ(at(r, kTileCount), 136);
    EXPECT_EQ(at(r, kBids), 2);
    EXPECT_EQ(at(r, kBids + 8), 150);
    EXPECT_EQ(at(r, kBids + 28), 1);
    EXPECT_EQ(at(r, kBids + 32), 1);
    EXPECT_EQ(at(r, kBids + 56), 0);  // no third bid
    // The asking chair's counts and tiles only.
    int32_t held[64];
    const int32_t n = t.ListHeld(1, held, 64);
    EXPECT_EQ(n, 33);
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(at(r, kCounts + 4 * (64 + k)), t.Counts(1)[k]) << k;
        EXPECT_EQ(at(r, kCounts + 4 * k), 0) << k;
        EXPECT_EQ(at(r, kHeld + 4 * (64 + k)), held[k]) << k;
        EXPECT_EQ(at(r, kHeld + 4 * (128 + k)), -1) << k;
    }
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(at(r, kReserved + 4 * k), k < 4 ? t.Reserved()[static_cast<size_t>(k)] : -1);
    EXPECT_EQ(at(r, kPoints), 15);
    EXPECT_EQ(at(r, kChairValues + 24), 66);
    // Asked not to, the tiles stay hidden; a looker-on sees no hand at all.
    ASSERT_EQ(t.FillTableState(r.data(), kCardStateBytes, 1, true), 1);
    EXPECT_EQ(at(r, kHeld + 4 * 64), -1);
    EXPECT_EQ(at(r, kCounts + 4 * (64 + 1)), t.Counts(1)[1]);
    ASSERT_EQ(t.FillTableState(r.data(), kCardStateBytes, -1), 1);
    for (int k = 0; k < 4 * 64; ++k) EXPECT_EQ(at(r, kCounts + 4 * k), 0) << k;
}

TEST(ChainRecords, MahjongTableStateAtItsOffsets) {
    FixedTick clock;
    Rig r;
    r.dice_[0] = 3, r.dice_[1] = 4;
    // Chair 2 discards a 5 that chair 0 pungs; chair 0 discards again, chair 1 draws.
    const auto five = r.Give(0, {5, 5, 1, 2, 3, 11, 12, 13, 21, 22, 23, 31, 31});
    const int32_t fed = r.GiveOne(2, 5);
    r.Give(2, {7, 8});
    r.Discard(2, &fed, 1);
    r.OpenClaimWindow();
    const int32_t claims0 = r.ClaimFlags(0);
    EXPECT_NE(claims0 & 1, 0);
    ASSERT_EQ(r.CheckPengRequest(MJRequest::Meld(0, 2, fed, five[0], five[1])), 1);
    r.OnPeng(MJRequest::Meld(0, 2, fed, five[0], five[1]));
    r.Discard(0, &five[2], 1);
    r.SwitchActiveChair(1);
    const int32_t drawnAt = r.DrawTile(1);
    ASSERT_GE(drawnAt, 0);
    // A chair with seven pungs and forty discards: six and thirty-six are kept.
    for (int kind : {14, 15, 16, 17, 18, 19, 24}) r.Lay(3, kPeng, kind, 1);
    const int kinds[] = {25, 26, 27, 28, 29, 32, 33, 34, 35, 36};
    for (int k = 0; k < 40; ++k) r.Played(3, kinds[k % 10]);
    r.jokerLockChair_ = 2, r.jokerLockCount_ = 1;
    std::vector<int32_t> s(kMJStateBytes / 4, 0x55);
    ASSERT_EQ(r.TableStateSize(), kMJStateBytes);
    EXPECT_EQ(r.FillTableState(s.data(), kMJStateBytes - 1, 0), 0);
    ASSERT_EQ(r.FillTableState(s.data(), kMJStateBytes, 0), 1);
    EXPECT_EQ(at(s, state_off::kDice + 4), 4);
    EXPECT_EQ(at(s, card_state::kCounts + 4 * 5), 0);  // chair 0's 5s are melded
    EXPECT_EQ(at(s, card_state::kCounts + 4 * 31), 2);
    using namespace mj_state;
    EXPECT_EQ(at(s, kTilesDrawn), 54);
    EXPECT_EQ(at(s, kTailDraws), 0);
    EXPECT_EQ(at(s, kHeadPos), drawnAt + 1);
    EXPECT_EQ(at(s, kGangDraws), 0);
    EXPECT_EQ(at(s, kPendingTile), -1);
    EXPECT_EQ(at(s, kJokerLockChair), 2);
    EXPECT_EQ(at(s, kJokerLockCount), 1);
    EXPECT_EQ(at(s, kClaimFlags), r.ClaimFlags(0));
    EXPECT_EQ(at(s, kDraws + 4), 1);
    EXPECT_EQ(at(s, kPengMatrix + 4 * (4 * 2 + 0)), 1);
    EXPECT_EQ(at(s, kPengMatrix + 4 * (4 * 0 + 2)), 0);
    EXPECT_EQ(at(s, kChiMatrix + 4 * (4 * 2 + 0)), 0);
    EXPECT_EQ(at(s, kJokerId2), -1);
    EXPECT_EQ(at(s, kBankerStreak), 1);
    EXPECT_EQ(at(s, kWinners), 0);
    // Chair 0: one pung of the two 5s and the claimed 5, from chair 2; five places of -1.
    const int chair0 = kMelds;
    EXPECT_EQ(at(s, chair0), five[0]);
    EXPECT_EQ(at(s, chair0 + 4), five[1]);
    EXPECT_EQ(at(s, chair0 + 8), fed);
    EXPECT_EQ(at(s, chair0 + 12), -1);
    EXPECT_EQ(at(s, chair0 + 16), 2);
    for (int w = 7; w < 42; ++w) EXPECT_EQ(at(s, chair0 + 4 * w), -1) << w;
    EXPECT_EQ(at(s, chair0 + kDiscardsInChair), five[2]);
    EXPECT_EQ(at(s, chair0 + kDiscardsInChair + 4), -1);
    EXPECT_EQ(at(s, chair0 + kFlowersInChair), -1);
    // Chair 2's discard was claimed: its list is empty.
    EXPECT_EQ(at(s, kMelds + 2 * kChairListBytes + kDiscardsInChair), -1);
    // Chair 3: six of its seven pungs, thirty-six of its forty discards.
    const int chair3 = kMelds + 3 * kChairListBytes;
    EXPECT_EQ(at(s, chair3 + 4 * 35), r.Melds(3, kPeng)[5].tiles[0]);
    EXPECT_EQ(at(s, chair3 + 4 * 42), -1);  // the chow list after the sixth pung
    for (int k = 0; k < 36; ++k)
        EXPECT_EQ(at(s, chair3 + kDiscardsInChair + 4 * k), r.Discards(3)[static_cast<size_t>(k)]);
    EXPECT_EQ(at(s, chair3 + kFlowersInChair), -1);
    const int counts = kMelds + kListCounts;
    EXPECT_EQ(at(s, counts), 1);                 // chair 0: one pung
    EXPECT_EQ(at(s, counts + 4 * 5), 1);         // chair 0: one discard
    EXPECT_EQ(at(s, counts + 4 * (21 + 0)), 6);  // chair 3: six pungs
    EXPECT_EQ(at(s, counts + 4 * (21 + 5)), 36);
    // The looker-on's view hides every hand.
    ASSERT_EQ(r.FillTableState(s.data(), kMJStateBytes, -1), 1);
    EXPECT_EQ(at(s, card_state::kCounts + 4 * 31), 0);
    EXPECT_EQ(at(s, kMelds), five[0]);
}

// --- Seat records and result rows -----------------------------------------------------------

TEST(ChainRecords, SavedSeatsAreSnapshotForAChairLeftEmpty) {
    Common t(TableConfig{-1, 3, 1, 4, 0x400000, 0, 3});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(61 + c, 10 * c, 1000 + c), c);
    std::vector<int32_t> rec(140, 0);
    // Without second-set flag 0x8000000 nothing is kept or snapshot.
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    EXPECT_EQ(t.Saved(2).userId, 0);
    EXPECT_EQ(t.SnapshotScores(rec.data()), 0);
    EXPECT_EQ(t.SaveSeatRecord(2), 0);
    t.SetStartFlags(0, 0, 0x8000000);
    t.ClearStatusBits(kStatusPlaying);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);  // starting keeps the seat records
    EXPECT_EQ(t.Saved(2).userId, 63);
    EXPECT_EQ(t.Saved(2).score, 20);
    EXPECT_EQ(t.Saved(2).holdings, 1002);
    EXPECT_EQ(t.Saved(2).games, 2);
    EXPECT_EQ(t.Saved(9).userId, 0);
    t.Seat(1)->score = 555;
    t.RemovePlayer(63);
    ASSERT_EQ(t.SnapshotScores(rec.data()), 1);
    using namespace result_off;
    EXPECT_EQ(at(rec, kScores + 4), 555);  // from the seat
    EXPECT_EQ(at(rec, kScores + 8), 20);   // from the saved record
    EXPECT_EQ(at(rec, kHoldings + 8), 1002);
    // A row for the chair left empty, from its saved record.
    ResultRow rows[kMaxTableChairs];
    rec[kScoreTotals / 4 + 2] = -7;
    rec[kScoreTotals / 4 + 1] = 7;
    ASSERT_EQ(t.FillResultRows(rec.data(), rows), 4);
    EXPECT_EQ(rows[2].userId, 63);
    EXPECT_EQ(rows[2].tableKey, 3);
    EXPECT_EQ(rows[2].mark, kRowLost);
    EXPECT_EQ(rows[1].mark, kRowWon);
    EXPECT_EQ(rows[0].mark, kRowDrawn);
    // Saving one chair again: an empty chair keeps nothing.
    EXPECT_EQ(t.SaveSeatRecord(2), 1);
    EXPECT_EQ(t.Saved(2).userId, 0);
    EXPECT_EQ(t.FillResultRows(rec.data(), rows), 3);
    EXPECT_EQ(t.FillResultRows(nullptr, rows), 0);
    EXPECT_EQ(t.FillResultRows(rec.data(), nullptr), 0);
    EXPECT_EQ(rows[2].chair, 3);
}

// A table of this game's rules after a self-drawn win by chair 0, with stakes.
std::unique_ptr<Rig> wonTable() {
    auto r = std::make_unique<Rig>();
    for (int c = 0; c < 4; ++c) {
        r->Seat(c)->score = 100 * (c + 1);
        r->Seat(c)->holdings = 10000;
        r->Seat(c)->third = 9;
    }
    r->SetFans(0, {{2, 16}});
    r->winners_ = 1;
    r->firstWinner_ = 0;
    r->mode_ = 0x2000000;
    r->baseStake_ = 2;
    r->stake_ = 10;
    r->allFlags_[1] = 1;
    r->params_.multiple = 1;
    return r;
}

TEST(ChainRecords, ChoiceAppliesOrClearsTheResult) {
    UserNameMap names;
    std::strcpy(names[501].name, "东家");
    std::strcpy(names[503].name, "a name longer than sixteen");
    struct Case {
        bool doubled;
        int32_t scores[4], holdings[4];
    };
    // 16 points: chair 0 gains 48 x 2 from 100, the others lose 16 x 2; silver x 10.
    const Case cases[] = {
        {false, {196, 168, 268, 368}, {10480, 9840, 9840, 9840}},
        {true, {100, 200, 300, 400}, {10000, 10000, 10000, 10000}},
    };
    for (const Case& k : cases) {
        auto r = wonTable();
        r->values_[1] = 31;
        std::vector<int32_t> rec(static_cast<size_t>(r->ResultRecordSize() / 4), 0);
        EXPECT_EQ(r->ApplyChoice(rec.data(), 100, 0, 0, k.doubled, &names), 0);
        ASSERT_EQ(r->ApplyChoice(rec.data(), r->ResultRecordSize(), 0, 0, k.doubled, &names), 1);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(r->Seat(c)->score, k.scores[c]) << k.doubled << c;
            EXPECT_EQ(r->Seat(c)->holdings, k.holdings[c]) << k.doubled << c;
        }
        EXPECT_EQ(r->Seat(1)->third, 31);
        EXPECT_EQ(r->Seat(0)->third, 0);
        using namespace result_off;
        EXPECT_EQ(at(rec, kScoreTotals), k.doubled ? 0 : 96);
        EXPECT_EQ(at(rec, kStakeResults + 4), k.doubled ? 0 : -160);
        const char* base = reinterpret_cast<const char*>(rec.data());
        EXPECT_STREQ(base + kNames, "东家");
        EXPECT_STREQ(base + kNames + kNameBytes, "");  // not in the map
        EXPECT_EQ(std::string(base + kNames + 2 * kNameBytes), "a name longer t");
        EXPECT_EQ(at(rec, kStake), r->StakeFor(1));
    }
    // Under second-set flag 1 no names are written.
    auto r = wonTable();
    r->SetStartFlags(2, 0, 1);
    std::vector<int32_t> rec(static_cast<size_t>(r->ResultRecordSize() / 4), 0);
    ASSERT_EQ(r->ApplyChoice(rec.data(), r->ResultRecordSize(), 0, 0, false, &names), 1);
    EXPECT_EQ(rec[result_off::kNames / 4], 0);
    EXPECT_EQ(r->FillNames(rec.data(), &names), 0);
}

TEST(ChainRecords, AStoredResultAppliesAsTheFilledOne) {
    auto won = wonTable();
    std::vector<int32_t> rec(static_cast<size_t>(won->ResultRecordSize() / 4), 0);
    ASSERT_EQ(won->FillResultRecord(rec.data(), won->ResultRecordSize(), 0, 0), 1);
    // The record goes to another table of the same players, which applies it.
    Rig other;
    for (int c = 0; c < 4; ++c) other.Seat(c)->score = 7;  // replaced by the record's
    EXPECT_EQ(other.ApplyStoredResult(rec.data(), other.ResultRecordSize() - 4, nullptr), 0);
    EXPECT_TRUE(other.GameRecord().empty());
    ASSERT_EQ(other.ApplyStoredResult(rec.data(), other.ResultRecordSize(), nullptr), 1);
    ASSERT_EQ(won->ApplyResults(rec.data()), 1);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(other.Seat(c)->score, won->Seat(c)->score) << c;
        EXPECT_EQ(other.Seat(c)->holdings, won->Seat(c)->holdings) << c;
    }
    EXPECT_EQ(won->Seat(0)->score, 196);
    const std::vector<int32_t>& g = other.GameRecord();
    ASSERT_EQ(g.size(), rec.size());
    using namespace result_off;
    EXPECT_EQ(at(g, kScoreTotals), 96);
    EXPECT_EQ(at(g, kLevels), LevelFromScore(196, 1));
    EXPECT_EQ(at(g, kLevels + 4), LevelFromScore(168, 1));
    // The stake follows this table's parameters (no multiple: no stake).
    EXPECT_EQ(at(g, kStake), other.StakeFor(0));
    // Levels add to the players' own.
    other.Seat(2)->level = 3;
    ASSERT_EQ(other.AddLevels(g.data()), 1);
    EXPECT_EQ(other.Seat(2)->level, 3 + at(g, kLevels + 8));
}

TEST(ChainRecords, ResultHeaderAndReadyPlayers) {
    FixedTick clock;
    auto r = wonTable();
    r->ClearGame();  // stamps the game record
    const uint32_t stamped = clock.tick;
    clock.tick += 500;
    r->SetFans(0, {{2, 16}});
    r->winners_ = 1, r->firstWinner_ = 0, r->mode_ = 0x2000000, r->baseStake_ = 2;
    std::vector<int32_t> rec(static_cast<size_t>(r->ResultRecordSize() / 4), 0);
    ASSERT_EQ(r->FillResultRecord(rec.data(), r->ResultRecordSize(), 0, 0), 1);
    ResultHeader h;
    ASSERT_EQ(r->FillResultHeader(&h, rec.data(), 88), 4);
    EXPECT_EQ(h.chairCount, 4);
    EXPECT_EQ(h.gameId, -1);
    EXPECT_EQ(h.value, 88);
    EXPECT_EQ(h.tick, stamped);
    EXPECT_EQ(h.flags, 1);  // nobody plays for stakes, no threshold
    EXPECT_EQ(h.rowCount, 4);
    EXPECT_EQ(h.rows[3].userId, 504);
    EXPECT_EQ(h.rows[3].value, 88);
    EXPECT_EQ(h.rows[0].score, 96);
    EXPECT_EQ(h.rows[0].mark, kRowWon);
    EXPECT_EQ(h.rows[1].mark, kRowLost);
    r->SetStartFlags(0, 4);
    ASSERT_EQ(r->FillResultHeader(&h, rec.data(), 88), 4);
    EXPECT_EQ(h.flags, 0);
    // Ready players: every chair must be ready.
    UserNameMap names;
    std::strcpy(names[502].name, "南家");
    ReadyList list;
    for (int c = 0; c < 3; ++c) r->SetChairFlags(c, 1 | 2);
    EXPECT_EQ(r->ListReadyPlayers(&list, &names), 0);
    EXPECT_EQ(list.count, 0);
    r->SetChairFlags(3, 1);
    ASSERT_EQ(r->ListReadyPlayers(&list, &names), 4);
    EXPECT_EQ(list.players[1].userId, 502);
    EXPECT_EQ(list.players[1].score, 200);
    EXPECT_EQ(list.players[1].holdings, 10000);
    EXPECT_EQ(list.players[1].third, 9);
    EXPECT_STREQ(list.players[1].name, "南家");
    EXPECT_STREQ(list.players[2].name, "");
    EXPECT_EQ(list.players[3].chair, 3);
}

TEST(ChainRecords, ExtraRecordsOfTheLevelsBelow) {
    CCardTable t(TableConfig{}, CardConfig{});
    std::vector<int32_t> r(8, 0x55);
    EXPECT_EQ(t.PlayerStateSize(), 0);
    EXPECT_EQ(t.LookerStateSize(), 0);
    EXPECT_EQ(t.FillPlayerState(r.data(), 12, 0, false), 0);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 0x55);
    EXPECT_EQ(t.FillLookerState(r.data(), 32, 0, false), 0);
    EXPECT_EQ(r[7], 0);
    EXPECT_EQ(t.FillLookerState(nullptr, 32, 0, false), 0);
    CMJTableEx ex;
    EXPECT_EQ(ex.PlayerStateSize(), 5028);
    EXPECT_EQ(ex.LookerStateSize(), 948);
}

// --- Edges of the operations below the new ones ------------------------------------------------

TEST(ChainEdges, LevelsOfAnEmptyChairAndExactLossShares) {
    Common t(TableConfig{});
    t.AddPlayer(user(91, 5), 0);
    t.AddPlayer(user(92), 1);
    t.AddPlayer(user(93), 2);
    t.baseStake_ = 1;
    t.SetMultiple(0, 5);  // 5 + 5: level 1
    t.SetMultiple(3, 9);  // nobody in chair 3: 0 + 9, level 0
    std::vector<int32_t> rec(140, 0);
    ASSERT_EQ(t.FillResultRecord(rec.data(), 560, 0, 0), 1);
    EXPECT_EQ(at(rec, result_off::kScoreTotals + 12), 9);
    EXPECT_EQ(at(rec, result_off::kLevels), 1);
    EXPECT_EQ(at(rec, result_off::kLevels + 12), 0);
    // A loss shared out exactly: no remainder is handed out.
    const int32_t holdings[4] = {10, 100, 100, 100};
    int32_t results[4] = {-40, 20, 20, 0};
    EXPECT_EQ(t.SettleLosses(holdings, results), 0);
    EXPECT_EQ(results[0], -10);
    EXPECT_EQ(results[1], 5);
    EXPECT_EQ(results[2], 5);
    EXPECT_EQ(results[3], 0);
}

// The fill adds the deal's products to the totals the record holds: a cleared record gets the
// products alone.
TEST(ChainEdges, TheResultFillAddsTheProductsToTheRecordsTotals) {
    Common t(TableConfig{});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(71 + c), c);
    t.baseStake_ = 2;
    for (int c = 0; c < 4; ++c) t.SetMultiple(c, c + 1);
    std::vector<int32_t> rec(140, 0);
    for (int c = 0; c < 4; ++c) {
        rec[static_cast<size_t>(result_off::kScoreTotals / 4 + c)] = 100 * c;
        rec[static_cast<size_t>(result_off::kStakeResults / 4 + c)] = 50;
    }
    rec[static_cast<size_t>(result_off::kStakeResults / 4 + 4)] = 55;  // past the chairs
    ASSERT_EQ(t.FillResultRecord(rec.data(), 560, 0, 0), 1);
    EXPECT_EQ(at(rec, result_off::kStakeResults + 16), 55);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(at(rec, result_off::kScoreTotals + 4 * c), 100 * c + 2 * (c + 1)) << c;
        // No stake is played: the stake results are left as they were.
        EXPECT_EQ(at(rec, result_off::kStakeResults + 4 * c), 50) << c;
    }
    t.stake_ = 3;
    std::vector<int32_t> fresh(140, 0);
    rec = fresh;
    rec[static_cast<size_t>(result_off::kStakeResults / 4 + 1)] = 7;
    ASSERT_EQ(t.FillResultRecord(rec.data(), 560, 0, 0), 1);
    EXPECT_EQ(at(rec, result_off::kStakeResults), 3);
    EXPECT_EQ(at(rec, result_off::kStakeResults + 4), 7 + 6);
    EXPECT_EQ(at(rec, result_off::kScoreTotals + 12), 8);
    ASSERT_EQ(t.FillResultRecord(fresh.data(), 560, 0, 0), 1);
    EXPECT_EQ(at(fresh, result_off::kStakeResults + 4), 6);
    // Settled against the holdings, each row is written for the seated chairs only: the rows'
    // places past the chair count keep what they hold.
    Common paid(TableConfig{});
    for (int c = 0; c < 4; ++c) paid.AddPlayer(user(81 + c, 0, 1000), c);
    paid.allFlags_[1] = 1;
    paid.stake_ = 3;
    std::vector<int32_t> row(140, 0);
    row[static_cast<size_t>(result_off::kStakeResults / 4 + 4)] = 99;
    row[static_cast<size_t>(result_off::kScoreTotals / 4 + 4)] = 98;
    ASSERT_EQ(paid.FillResultRecord(row.data(), 560, 0, 0), 1);
    EXPECT_EQ(at(row, result_off::kStakeResults), 0);
    EXPECT_EQ(at(row, result_off::kStakeResults + 16), 99);
    EXPECT_EQ(at(row, result_off::kScoreTotals + 16), 98);
}

TEST(ChainEdges, TheReservedListHoldsAtMost32Tiles) {
    CardConfig many;
    many.reservedTiles = 40;
    Card t(TableConfig{-1, -1, 1, 4, 0x400000, 0, 3}, many);
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(95 + c), c);
    SeedRandom(5);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    ASSERT_EQ(t.Reserved().size(), 32u);
    const int32_t after = (t.WallStart() + 4 * t.TilesPerChair()) % 136;
    EXPECT_EQ(t.Reserved()[0], t.TileAt(after));
    EXPECT_EQ(t.Reserved()[31], t.TileAt((after + 31) % 136));
}

TEST(ChainEdges, KindCountsOfPositionsAndKindsOutsideTheTable) {
    Card t(TableConfig{}, CardConfig{});
    std::vector<int32_t> ids(136);
    for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
    t.BuildTileSet(ids);
    runRows({
        {"IncrementKindAt", [&] { return t.IncrementKindAt(0, 5); }, 1},
        {"IncrementKindAt of no chair", [&] { return t.IncrementKindAt(8, 5); }, 0},
        {"IncrementKindAt before the wall", [&] { return t.IncrementKindAt(0, -1); }, 0},
        {"IncrementKindAt past the wall", [&] { return t.IncrementKindAt(0, 136); }, 0},
        // At this level a tile's kind is its id + 1: ids from 63 on have no count.
        {"IncrementKindAt of a kind outside", [&] { return t.IncrementKindAt(0, 100); }, 0},
        {"DecrementKindAt of no chair", [&] { return t.DecrementKindAt(-1, 5); }, 0},
        {"DecrementKindAt past the wall", [&] { return t.DecrementKindAt(0, 136); }, 0},
        {"DecrementKindAt", [&] { return t.DecrementKindAt(0, 5); }, 1},
        {"DecrementKindAt below 0", [&] { return t.DecrementKindAt(0, 5); }, 0},
        {"the counts", [&] { return SumInts(t.Counts(0), 64); }, 0},
    });
    // The card level's joker: the tiles of the joker tile's shape and value, tile 0 included.
    t.jokerId_ = 0;
    EXPECT_TRUE(t.IsJokerKind(0));
    EXPECT_FALSE(t.IsJokerKind(1));
    EXPECT_FALSE(t.IsJokerKind(-1));
    t.jokerId_ = -1;
    EXPECT_FALSE(t.IsJokerKind(0));
}

}  // namespace
