// The table rule classes operation by operation: the common table's seats, turns and
// settlement, the card table's set and test deal, the mahjong table's wall, deal, draws and
// request checks, and this game's rules, claims, scoring and settlement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using chain::FixedTick;
using chain::user;
using rig::idOf;
using rig::Rig;

// --- Common table ----------------------------------------------------------------------------

TEST(CommonTable, ChairWalkAndInvalidChairs) {
    CCommonTable t(TableConfig{});
    EXPECT_EQ(t.NextChair(0), 3);
    EXPECT_EQ(t.NextChair(3), 2);
    EXPECT_EQ(t.PrevChair(3), 0);
    EXPECT_EQ(t.PrevChair(0), 1);
    EXPECT_EQ(t.NextChair(4), -1);
    EXPECT_EQ(t.PrevChair(-1), -1);
    EXPECT_FALSE(t.IsValidChair(4));
    EXPECT_TRUE(t.IsValidChair(3));
    TableConfig big;
    big.chairCount = 9;
    EXPECT_EQ(CCommonTable(big).ChairCount(), 8);
    // The mahjong levels keep four chairs' state: a larger count is cut to four.
    EXPECT_EQ(CMJTable(big, CardConfig{}, MJConfig{}).ChairCount(), 4);
}

TEST(CommonTable, PlayersAndLookersOnAreTold) {
    CCommonTable t(TableConfig{});
    t.AddPlayer(user(7), 0);
    t.AddLookerOn(user(8), 0);
    EXPECT_TRUE(t.IsPlayer(7));
    EXPECT_FALSE(t.IsPlayer(8));
    EXPECT_FALSE(t.IsPlayer(9));
    EXPECT_TRUE(t.IsLookerOn(8));
    EXPECT_FALSE(t.IsLookerOn(7));
    EXPECT_EQ(t.FindPlayer(8), nullptr);
    EXPECT_NE(t.FindLookerOn(8), nullptr);
    t.RemovePlayer(9, true);  // nobody of that id: nothing changes
    EXPECT_TRUE(t.IsPlayer(7));
}

// The seat points at the player's record: a looker-on's removal never deletes a seated
// player's record (under the address sanitizer a seat left pointing at a freed record fails).
TEST(CommonTable, RemovingALookerOnNeverDeletesASeatedPlayersRecord) {
    CCommonTable t(TableConfig{});
    ASSERT_EQ(t.AddPlayer(user(7, 250), 1), 1);
    ASSERT_EQ(t.AddLookerOn(user(8), 1), 1);
    t.RemoveLookerOn(7, 1);  // the player's id, named as a looker-on of his own chair
    ASSERT_NE(t.Seat(1), nullptr);
    EXPECT_EQ(t.Seat(1)->userId, 7);
    EXPECT_EQ(t.Seat(1)->score, 250);
    EXPECT_EQ(t.FindPlayer(7), t.Seat(1));
    EXPECT_TRUE(t.IsPlayerInChair(7, 1));
    EXPECT_TRUE(t.IsLookerOn(8));
    t.RemoveLookerOn(8, 1);  // a looker-on goes, record and all
    EXPECT_FALSE(t.IsLookerOn(8));
    EXPECT_EQ(t.HasUsers(), 1);
    EXPECT_EQ(t.UserIdAt(1), 7);
}

// A table made without a maker of ids names each game with one of its own: 30 lower-case hex
// digits, new for every game (the end of a deal clears the last one).
TEST(CommonTable, AGameStartedWithoutAnIdMakerGetsANewUniqueId) {
    auto seated = [] {
        auto t = std::make_unique<CCommonTable>(TableConfig{});
        for (int c = 0; c < 4; ++c) t->AddPlayer(user(60 + c), c);
        return t;
    };
    auto a = seated(), b = seated();
    EXPECT_TRUE(a->GameIdText().empty());
    ASSERT_EQ(a->StartGame(nullptr, {}), 1);
    ASSERT_EQ(b->StartGame(nullptr, {}), 1);
    const std::string first = a->GameIdText();
    ASSERT_EQ(first.size(), 30u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(first, b->GameIdText());
    a->EndDeal(nullptr, 0);
    EXPECT_TRUE(a->GameIdText().empty());
    ASSERT_EQ(a->StartGame(nullptr, {}), 1);
    EXPECT_EQ(a->GameIdText().size(), 30u);
    EXPECT_NE(a->GameIdText(), first);
    EXPECT_NE(MakeUniqueId(), MakeUniqueId());
}

// A table made without a log says what went wrong on the standard error; with one, only there.
TEST(CommonTable, ATableMadeWithoutALogWritesItsLinesToStandardError) {
    TableConfig nine;
    nine.chairCount = 9;
    testing::internal::CaptureStderr();
    CCommonTable quiet(nine, [] {
        TableHooks h;
        h.log = [](const std::string&) {};
        return h;
    }());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    CCommonTable plain(nine);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "table: chair count 9 out of range, using 8\n");
}

TEST(CommonTable, StartGameRefusesAtEachCondition) {
    FixedTick clock;
    struct Row {
        const char* what;
        int32_t code;
        int32_t chair;
    };
    auto seated = [](CCommonTable& t) {
        for (int c = 0; c < 4; ++c) t.AddPlayer(user(10 + c, 100 + c, 1000), c);
    };
    {
        CCommonTable t(TableConfig{});
        t.AddPlayer(user(1), 0), t.AddPlayer(user(2), 1), t.AddPlayer(user(4), 3);
        int32_t chair = 9;
        EXPECT_EQ(t.StartGame(&chair, {}), -10010);
        EXPECT_EQ(chair, 2);
    }
    GameParams low;
    low.minScore = 102;
    GameParams high;
    high.maxScore = 102;
    GameParams games;
    games.gamesLimit = 0;
    GameParams deals;
    deals.dealsLimit = 0;
    GameParams holdings;
    holdings.minHoldings = 1001;  // every chair holds 1000: exactly 1000 is enough
    const std::pair<GameParams, Row> rows[] = {
        {low, {"score too low", -10100, 0}}, {high, {"score too high", -10200, 3}},
        {games, {"games limit", -10300, 0}}, {deals, {"deals limit", -10400, -1}},
        {holdings, {"holdings", -10001, 0}},
    };
    for (const auto& [params, row] : rows) {
        TableConfig cfg;
        cfg.ruleFlags = 0;
        CCommonTable t(cfg);
        seated(t);
        for (int c = 0; c < 4; ++c) t.SetStartFlags(c, 4);
        int32_t chair = 9;
        EXPECT_EQ(t.StartGame(&chair, params), row.code) << row.what;
        EXPECT_EQ(chair, row.chair) << row.what;
    }
    // The stake check is skipped under rule 0x400000 and without start flag 4 everywhere.
    TableConfig skip;
    skip.ruleFlags = 0x400000;
    CCommonTable t(skip);
    seated(t);
    for (int c = 0; c < 4; ++c) t.SetStartFlags(c, 4);
    int32_t chair = 9;
    EXPECT_EQ(t.StartGame(&chair, holdings), 1);
    EXPECT_EQ(t.DealsPlayed(), 1);
    EXPECT_TRUE(t.IsPlaying());
    // Holdings equal to the minimum are enough.
    TableConfig cfg;
    cfg.ruleFlags = 0;
    CCommonTable exact(cfg);
    seated(exact);
    for (int c = 0; c < 4; ++c) exact.SetStartFlags(c, 4);
    GameParams just;
    just.minHoldings = 1000;
    EXPECT_EQ(exact.StartGame(&chair, just), 1);
}

TEST(CommonTable, SwitchActiveChairCountsThinkTime) {
    FixedTick clock;
    CCommonTable t(TableConfig{});
    t.SwitchActiveChair(2);
    clock.tick += 700;
    t.SwitchActiveChair(2);  // the current chair: nothing changes
    EXPECT_EQ(t.ThinkTime(2), 0);
    t.SwitchActiveChair(1);
    EXPECT_EQ(t.ThinkTime(2), 700);
    EXPECT_EQ(t.GetCurrentChair(), 1);
}

TEST(CommonTable, SettleLossesTakesEachWinnersShareRoundedUp) {
    CCommonTable t(TableConfig{});
    TableConfig perChair;
    perChair.ruleFlags = 0x4000000;
    CCommonTable pc(perChair);
    const struct {
        CCommonTable& table;
        int32_t holdings[4], results[4], settled[4], sum;
    } rows[] = {
        // One loser with 50 owes 100: the 50 he cannot pay comes off the winners by their shares.
        {pc, {50, 1000, 1000, 1000}, {-100, 30, 30, 40}, {-50, 15, 15, 20}, 0},
        // 10 short over 6/6/7 of 19: each share is rounded up (4, 4, 4), so 2 of what the loser
        // pays reach nobody.
        {pc, {9, 100, 100, 100}, {-19, 6, 6, 7}, {-9, 2, 2, 3}, -2},
        // Without the per-chair rule the cap is the smallest holdings at the table.
        {t, {1000, 20, 1000, 1000}, {-30, 10, 10, 10}, {-20, 6, 6, 6}, -2},
        // A share rounded up never takes a winner below 0.
        {pc, {5, 100, 100, 100}, {-10, 1, 9, 0}, {-5, 0, 4, 0}, -1},
        // Two losers each 1 short over 3/5 of 8: each shortfall is shared on its own, so each
        // winner gives a share rounded up for each loser (1 + 1 and 1 + 1), not one share of
        // the 2 together (1 and 2).
        {pc, {3, 3, 100, 100}, {-4, -4, 3, 5}, {-3, -3, 1, 3}, -2},
    };
    for (const auto& row : rows) {
        std::vector<int32_t> r(row.results, row.results + 4);
        EXPECT_EQ(row.table.SettleLosses(row.holdings, r.data()), row.sum) << row.results[0];
        EXPECT_EQ(r, std::vector<int32_t>(row.settled, row.settled + 4)) << row.results[0];
    }
    // The 64-bit form answers the sum of what it leaves: at most a unit short per winner for a
    // balanced deal, else the rest.
    int64_t wide[4] = {-3000000000, 1000000000, 1000000000, 1000000000};
    const int32_t rich[4] = {INT32_MAX, 10, 10, 10};
    EXPECT_EQ(pc.SettleLosses64(rich, wide), -1);
    EXPECT_EQ(wide[0], -2147483647);
    EXPECT_EQ(wide[1], 715827882);
    int64_t off[4] = {5, 10, 0, 0};
    EXPECT_EQ(pc.SettleLosses64(rich, off), 15);
    std::mt19937 rng(7);
    for (int n = 0; n < 20000; ++n) {
        int32_t h[4], r[4], sum = 0;
        for (int c = 0; c < 3; ++c) r[c] = static_cast<int32_t>(rng() % 2001) - 1000, sum += r[c];
        r[3] = -sum;
        for (int c = 0; c < 4; ++c) h[c] = static_cast<int32_t>(rng() % 1200);
        int32_t before[4], winners = 0, capped = 0;
        std::copy(r, r + 4, before);
        for (int c = 0; c < 4; ++c) winners += before[c] > 0, capped += before[c] + h[c] < 0;
        const int32_t left = pc.SettleLosses(h, r);
        // Nothing is ever paid out that was not paid in, and the rounding keeps back less
        // than a unit per winner for each loser who cannot pay all.
        ASSERT_LE(left, 0) << n;
        ASSERT_GE(left, -winners * capped) << n;
        for (int c = 0; c < 4; ++c) {
            ASSERT_GE(r[c] + h[c], 0) << n;  // nobody pays more than he holds
            if (before[c] > 0) {
                ASSERT_GE(r[c], 0) << n;
                ASSERT_LE(r[c], before[c]) << n;
            }
        }
    }
}

TEST(CommonTable, RoomFeeModeSixAndTheBalanceCheck) {
    FixedTick clock;
    CCommonTable t(TableConfig{});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(20 + c, 0, 100000), c);
    GameParams p;
    p.settleMode = 6;
    p.feePerHundred = 10;
    t.StartGame(nullptr, p);
    int32_t holdings[4] = {};
    int32_t results[4] = {100, 10000, 101, -10201};
    int32_t fees[4] = {};
    const int32_t total = t.ApplyRoomFee(holdings, results, fees);
    EXPECT_EQ(fees[0], 0);    // 100 pays nothing
    EXPECT_EQ(fees[1], 500);  // 10 x 100 capped at 5 x 100
    EXPECT_EQ(fees[2], 5);    // 10 x 1, capped at 5
    EXPECT_EQ(total, 505);
    EXPECT_EQ(results[1], 9500);
    EXPECT_EQ(t.CheckSettlement(results, fees, total), 1);
    // Results that come to less than nothing with the fees pass (a rounded-up share kept
    // something back); results that would pay out a unit more than was paid in are cleared,
    // fees included.
    int32_t under[4] = {10, -11, 0, 0}, f1[4] = {};
    EXPECT_EQ(t.CheckSettlement(under, f1, 0), 1);
    EXPECT_EQ(under[0], 10);
    int32_t even[4] = {10, -15, 0, 0}, f2[4] = {5, 0, 0, 0};
    EXPECT_EQ(t.CheckSettlement(even, f2, 5), 1);
    int32_t over[4] = {10, -15, 0, 0}, f3[4] = {6, 0, 0, 0};
    EXPECT_EQ(t.CheckSettlement(over, f3, 6), 0);
    EXPECT_EQ(over[0], 0);
    EXPECT_EQ(over[1], 0);
    EXPECT_EQ(f3[0], 0);
}

TEST(CommonTable, TableFeeModesSevenEightNine) {
    struct Row {
        int32_t mode, percent, minimum;
        std::array<int32_t, 4> fees;
        int32_t total;
    };
    // Amounts 1000, 200, 0, 50000; mode 7's fixed fee 300; percentages per ten thousand.
    const Row rows[] = {
        {7, 0, 0, {300, 200, 0, 300}, 800},
        {8, 100, 100, {2, 2, 0, 2}, 6},  // 1% of the smallest positive amount, 200
        {8, 100, 201, {0, 0, 0, 0}, 0},  // the smallest positive amount is below the minimum
        {9, 100, 500, {10, 0, 0, 500}, 510},
        {0, 100, 0, {0, 0, 0, 0}, 0},
    };
    for (const Row& row : rows) {
        CCommonTable t(TableConfig{});
        for (int c = 0; c < 4; ++c) t.AddPlayer(user(40 + c, 0, 100000), c);
        GameParams p;
        p.settleMode = row.mode;
        p.minHoldingsMode1 = 300;
        p.percent89 = row.percent;
        p.minAmount89 = row.minimum;
        ASSERT_EQ(t.StartGame(nullptr, p), 1);
        const int32_t in[4] = {1000, 200, 0, 50000};
        int32_t rest[4] = {-1, -1, -1, -1}, fees[4] = {};
        EXPECT_EQ(t.ApplyTableFee(in, rest, fees), row.total) << row.mode;
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(fees[c], row.fees[static_cast<size_t>(c)]) << row.mode << c;
            EXPECT_EQ(rest[c], in[c] - fees[c]) << row.mode << c;
        }
    }
}

TEST(CommonTable, ShareOfCountUpAndGroups) {
    CCommonTable t(TableConfig{});
    t.OwnGroups();
    EXPECT_EQ(t.CountGroups(), 4);
    EXPECT_EQ(t.ShareOf(1, 0, 10), 3);
    EXPECT_EQ(t.ShareOf(3, 0, 10), 4);  // the remainder to NextChairNotInGroup(0) = 3
    EXPECT_EQ(t.ShareOf(0, 0, 10), 0);
    for (int c = 0; c < 4; ++c) t.SetGroup(c, 5);
    EXPECT_EQ(t.ShareOf(1, 0, 10), 0);  // nobody outside the payer's group: no division by 0
    EXPECT_EQ(t.NextChairNotInGroup(0, 5), -1);
    EXPECT_EQ(t.CountUp(0), 1);
    EXPECT_EQ(t.CountUp(0), 1);
    EXPECT_EQ(t.CountUp(0), 1);
    EXPECT_EQ(t.CountUp(0), 0);  // the counter limit is 3
    EXPECT_EQ(t.CountUp(8), 0);
}

// --- Card table ---------------------------------------------------------------------------

TEST(CardTable, DealsEveryTileInTurnAndLooksUp) {
    TableConfig cfg;
    cfg.ruleFlags = 0;
    CCardTable t(cfg, CardConfig{});
    std::vector<int32_t> ids(136);
    for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
    t.BuildTileSet(ids);
    EXPECT_EQ(t.JokerPosition(), 68);
    t.DealCards();  // no dealing chair yet: nothing
    EXPECT_EQ(t.CountHeld(0), 0);
    EXPECT_EQ(t.IsCompleteSet(), 0);  // ValueOf = id + 1 at this level: not a set of kinds
    EXPECT_EQ(t.PositionOf(200), -1);
    EXPECT_EQ(t.ChairOf(-1), -1);
    EXPECT_EQ(t.StatusOf(500), -999999);
    EXPECT_EQ(t.SetTileStatus(500, 1), 0);
    EXPECT_EQ(t.TileAt(136), -1);
    EXPECT_EQ(t.DecrementKind(0, -1), 0);
    EXPECT_EQ(t.CardPoints(3), 5);
    EXPECT_EQ(t.CardPoints(8), 10);
    EXPECT_EQ(t.CardPoints(11), 10);
    EXPECT_EQ(t.CardPoints(10), 0);
}

// A table made without a test-deal folder reads and writes no "test.ini": not the one beside
// its program, not the one in the current folder, whatever "Made" says there.
TEST(CardTable, ATableWithoutATestDealFolderTouchesNoTestIni) {
    namespace fs = std::filesystem;
    std::string reversed;
    for (int k = 135; k >= 0; --k) reversed += std::to_string(k) + "|";
    const std::string text = "[Card]\nMade=1\nTotal=" + reversed + "\nBanker=2\n";
    std::vector<fs::path> places = {fs::read_symlink("/proc/self/exe").parent_path() / "test.ini"};
    if (fs::absolute("test.ini") != places[0]) places.push_back(fs::absolute("test.ini"));
    for (const auto& p : places)
        if (fs::exists(p)) GTEST_SKIP() << p << " is there already";
    for (const auto& p : places) std::ofstream(p) << text;
    CMJTableEx t;
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(90 + c), c);
    const int32_t started = t.StartGame(nullptr, {});
    std::vector<int32_t> wall;
    for (const TileRecord& r : t.Tiles()) wall.push_back(r.id);
    std::vector<int32_t> ids(136, 3);
    const int32_t loaded = t.LoadTestDeal(ids);
    int32_t v = 5;
    const int32_t banker = t.TestIniInt("Banker", v);
    std::vector<std::string> after;
    for (const auto& p : places) {
        std::ifstream in(p);
        after.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
        fs::remove(p);
    }
    ASSERT_EQ(started, 1);
    std::vector<int32_t> fixed(136);
    for (int k = 0; k < 136; ++k) fixed[static_cast<size_t>(k)] = 135 - k;
    EXPECT_NE(wall, fixed);  // the wall is the shuffle's
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(ids, std::vector<int32_t>(136, 3));
    EXPECT_EQ(banker, 5);
    for (const auto& a : after) EXPECT_EQ(a, text);  // nothing written
}

TEST(CardTable, MoveTileTakesOnlyAHeldTileToAnotherChair) {
    Rig r;
    const int32_t held = r.GiveOne(0, 5);
    EXPECT_EQ(r.MoveTile(r.WallTile(6), 1), 0);  // not held
    EXPECT_EQ(r.MoveTile(held, 0), 0);           // where it is already
    EXPECT_EQ(r.MoveTile(held, 9), 0);           // no such chair
    EXPECT_EQ(r.MoveTile(held, 1), 1);
    EXPECT_TRUE(r.IsHeldBy(1, held));
    EXPECT_FALSE(r.IsHeldBy(0, held));
}

// A "Total" list changes the leading entries of the order, as many as it has fields; one that
// would put a tile twice in the wall, and so lose another, is refused whole rather than
// dealing a broken set.
TEST(CardTable, TestDealChangesTheLeadingEntriesButNeverBreaksTheSet) {
    rig::TestIniFolder folder("hqlv_t1_testdeal");
    const auto& ini = folder.ini;
    std::vector<std::string> logged;
    folder.hooks.log = [&](const std::string& l) { logged.push_back(l); };
    CCardTable t(TableConfig{}, CardConfig{}, folder.hooks);
    std::string perm;
    for (int k = 135; k >= 0; --k) perm += std::to_string(k) + "|";
    struct Row {
        std::string total;
        bool taken;
        int32_t first, second, last;  // ids[0], ids[1] and ids[135] afterwards
    };
    std::string dup = perm;
    dup.replace(0, 4, "134|");
    const Row rows[] = {
        {perm, true, 135, 134, 0},
        // Short lists: only the leading entries change, the rest keeps its order.
        {"2|1|0|", true, 2, 1, 135},
        {"1|0||7|", true, 1, 0, 135},  // the first missing field ends the list
        {"1|0", true, 1, 0, 135},
        // A field's decimal value, blanks around it aside; a field of blanks is missing.
        {"2 |1\t| 0|", true, 2, 1, 135},
        {" 1 | 0 | \t|7|", true, 1, 0, 135},
        // A tile twice (and another lost), or a field that is no tile id.
        {dup, false, 0, 1, 135},
        {"1|2|3|", false, 0, 1, 135},
        {perm.substr(0, perm.size() - 2) + "x|", false, 0, 1, 135},
        {"999|" + perm.substr(4), false, 0, 1, 135},
        {"-1|", false, 0, 1, 135},
        {"1|0 2|", false, 0, 1, 135},
        {"1|+|", false, 0, 1, 135},
        {"", false, 0, 1, 135},
    };
    for (const Row& row : rows) {
        std::ofstream(ini) << "[Card]\nMade=1\nTotal=" << row.total << "\n";
        std::vector<int32_t> ids(136);
        for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
        logged.clear();
        EXPECT_EQ(t.LoadTestDeal(ids), row.taken ? 1 : 0) << row.total.substr(0, 12);
        EXPECT_EQ(ids[0], row.first) << row.total.substr(0, 12);
        EXPECT_EQ(ids[1], row.second) << row.total.substr(0, 12);
        EXPECT_EQ(ids[135], row.last) << row.total.substr(0, 12);
        // A refused list says why, except an empty one, which names nothing.
        EXPECT_EQ(logged.size(), row.taken || row.total.empty() ? 0u : 1u)
            << row.total.substr(0, 12);
    }
    // A field that is no tile id is named in the refusal as it stands.
    for (const std::string field : {"-1", "136", " 999 "}) {
        std::ofstream(ini) << "[Card]\nMade=1\nTotal=1|" << field << "|\n";
        std::vector<int32_t> ids(136, 0);
        logged.clear();
        EXPECT_EQ(t.LoadTestDeal(ids), 0);
        ASSERT_EQ(logged.size(), 1u) << field;
        EXPECT_NE(logged[0].find("holds \"" + field + "\", which is no tile"), std::string::npos);
    }
    int32_t v = 0;
    std::ofstream(ini) << "[Card]\nMade=1\nBanker=2\n";
    EXPECT_EQ(t.TestIniInt("Banker", v), 2);
    // Made = 0: the current deal and values are written out.
    std::ofstream(ini) << "[Card]\nMade=0\n";
    std::vector<int32_t> ids = {5, 6, 7};
    ids.resize(136, 1);
    EXPECT_EQ(t.LoadTestDeal(ids), 0);
    v = 7;
    t.TestIniInt("Dealer", v);
    std::ifstream in(ini);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("Total=5|6|7|1|"), std::string::npos);
    EXPECT_NE(text.find("Dealer=7"), std::string::npos);
}

// --- Mahjong table: wall, deal, draws -----------------------------------------------------

TEST(MJTable, WallStartJokerAndDeal) {
    FixedTick clock;
    TableConfig cfg;
    cfg.ruleFlags = 0x1;  // jokers on, one dice pair
    CMJTable t(cfg, CardConfig{}, MJConfig{});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(30 + c), c);
    t.SetDice(3, 4, 0, 0);
    t.SetBanker(0);
    EXPECT_EQ(t.WallStartPosition(), 48);
    EXPECT_EQ(t.NextKindTile(118), 108);
    EXPECT_EQ(t.NextKindTile(8), 9);
    EXPECT_EQ(t.NextKindTile(35), 0);
    EXPECT_EQ(t.NextKindTile(135), 112);
    // A whole start: the dealing chair holds 14, the others 13, the head after 53 tiles.
    SeedRandom(11);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    const int32_t dealer = t.DealingChair();
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.CountHeld(c), c == dealer ? 14 : 13);
    EXPECT_EQ(t.HeadPosition(), (53 + t.WallStart()) % 136);
    EXPECT_EQ(t.JokerPos(), ((t.WallStart() - 2 * (t.Dice(0) + t.Dice(1))) % 136 + 136) % 136);
    EXPECT_EQ(t.TilesDrawn(), 53);
}

TEST(MJTable, JokerPositionOfTheExample) {
    TableConfig cfg;
    cfg.ruleFlags = 0x1;
    struct Probe : CMJTable {
        using CMJTable::CMJTable;
        using CMJTable::wallStart_;
    } t(cfg, CardConfig{}, MJConfig{});
    t.SetDice(3, 4, 0, 0);
    t.wallStart_ = 48;
    EXPECT_EQ(t.JokerPosition(), 34);
    TableConfig off;
    off.ruleFlags = 0;
    EXPECT_EQ(CMJTable(off, CardConfig{}, MJConfig{}).JokerPosition(), -1);
}

TEST(MJTable, DrawsReturnTheJokersPlaceUndrawnAndStepOverTakenTiles) {
    Rig r;
    r.headPos_ = 10;
    r.jokerPos_ = 10;
    // The head at the joker's tile: its place is returned and the draw counted, nothing is
    // drawn and the head stays, draw after draw.
    EXPECT_EQ(r.DrawTile(1), 10);
    EXPECT_EQ(r.DrawTile(1), 10);
    EXPECT_EQ(r.draws_[1], 2);
    EXPECT_EQ(r.StatusOf(10), kTileInWall);
    EXPECT_EQ(r.CountHeld(1), 0);
    EXPECT_EQ(r.TilesDrawn(), 53);
    EXPECT_EQ(r.HeadPosition(), 10);
    // Burning the head tile takes the joker's tile out of the way; the next draw takes 11.
    EXPECT_EQ(r.BurnHeadTile(), 10);
    EXPECT_EQ(r.StatusOf(10), kTilePlayed);
    EXPECT_EQ(r.DrawTile(1), 11);
    EXPECT_EQ(r.ChairOf(11), 1);
    EXPECT_EQ(r.HeadPosition(), 12);
    // Tiles already taken at the head are stepped over, onto the joker's place too.
    Rig s;
    s.headPos_ = 20, s.jokerPos_ = 22;
    s.SetTileStatus(20, kTileHeld), s.SetTileChair(20, 3);
    s.SetTileStatus(21, kTilePlayed);
    EXPECT_EQ(s.DrawTile(2), 22);
    EXPECT_EQ(s.StatusOf(22), kTileInWall);
    EXPECT_EQ(s.HeadPosition(), 22);
    // A joker's tile no longer in the wall is stepped over like any other.
    s.SetTileStatus(22, kTilePlayed);
    EXPECT_EQ(s.DrawTile(2), 23);
    EXPECT_EQ(s.ChairOf(23), 2);
    // A tail position already taken: the next tile still in the wall.
    r.wallStart_ = 20;
    r.SetTileStatus(18, kTileHeld);  // the first tail tile (start - 2) is gone
    r.SetTileChair(18, 3);
    const int32_t got = r.DrawFromTail(2);
    EXPECT_EQ(got, 19);
    EXPECT_EQ(r.ChairOf(19), 2);
    EXPECT_EQ(r.StatusOf(10), kTilePlayed);  // the burnt joker's tile is taken by nobody
    EXPECT_EQ(r.ChairOf(10), -1);
    // The wall used up: -1 for both.
    r.tilesDrawn_ = 136;
    EXPECT_EQ(r.DrawTile(0), -1);
    EXPECT_EQ(r.DrawFromTail(0), -1);
    EXPECT_EQ(r.DrawTile(7), -1);
}

// --- Requests -------------------------------------------------------------------------------

TEST(MJTable, PengRequestRefusedAtEachCondition) {
    Rig r;
    const auto held = r.Give(2, {5, 5, 9});
    const int32_t tile = r.Played(1, 5);
    r.status_ |= kStatusWindowOpen;
    const int32_t a = held[0], b = held[1];
    EXPECT_EQ(r.CheckPengRequest(MJRequest::Meld(2, 1, tile, a, b)), 1);
    struct Row {
        const char* why;
        MJRequest req;
        uint32_t clearStatus, setStatus;
    };
    const int32_t nine = held[2];
    const Row rows[] = {
        {"deal over", MJRequest::Meld(2, 1, tile, a, b), 0, kStatusDealOver},
        {"window closed", MJRequest::Meld(2, 1, tile, a, b), kStatusWindowOpen, 0},
        {"own discard", MJRequest::Meld(1, 1, tile, a, b), 0, 0},
        {"one hand tile", MJRequest::Meld(2, 1, tile, a, -1), 0, 0},
        {"not its discarder", MJRequest::Meld(2, 3, tile, a, b), 0, 0},
        {"tile not played", MJRequest::Meld(2, 1, idOf(5, 3), a, b), 0, 0},
        {"not a pair", MJRequest::Meld(2, 1, tile, a, nine), 0, 0},
        {"tiles not held", MJRequest::Meld(3, 1, tile, a, b), 0, 0},
        {"bad chair", MJRequest::Meld(7, 1, tile, a, b), 0, 0},
        {"bad discarder", MJRequest::Meld(2, -1, tile, a, b), 0, 0},
        {"same tile twice", MJRequest::Meld(2, 1, tile, a, a), 0, 0},
    };
    for (const Row& row : rows) {
        const uint32_t saved = r.status_;
        r.status_ = (r.status_ & ~row.clearStatus) | row.setStatus;
        EXPECT_EQ(r.CheckPengRequest(row.req), 0) << row.why;
        r.status_ = saved;
    }
}

TEST(MJTable, ChiOnlyFromTheNextChairAndOtherChecks) {
    TableConfig chow = GameTableConfig();
    chow.ruleFlags &= ~0x100u;  // chow allowed
    Rig r({}, chow);
    r.Give(3, {2, 3});
    const int32_t tile = r.Played(0, 1);
    r.status_ |= kStatusWindowOpen;
    r.SwitchActiveChair(3);
    int32_t h[2];
    r.ListHeld(3, h, 2);
    EXPECT_EQ(r.CheckChiRequest(MJRequest::Meld(3, 0, tile, h[0], h[1])), 1);
    r.SwitchActiveChair(2);
    EXPECT_EQ(r.CheckChiRequest(MJRequest::Meld(3, 0, tile, h[0], h[1])), 0);  // not current
    EXPECT_EQ(r.CheckChiRequest(MJRequest::Meld(3, 0, r.WallTile(1), h[0], h[1])), 0);  // unplayed
    const auto h2 = r.Give(2, {2, 3});
    EXPECT_EQ(r.CheckChiRequest(MJRequest::Meld(2, 0, tile, h2[0], h2[1])), 0);  // not next
    Rig game;  // this game offers no chow at all
    game.Give(3, {2, 3});
    EXPECT_EQ(game.CanChi(3, game.WallTile(1)), 0);
    // Concealed and added kongs: only the current chair, naming itself.
    Rig k;
    auto four = k.Give(0, {7, 7, 7, 7});
    const auto an = MJRequest::Meld(0, 0, four[3], four[0], four[1], four[2]);
    EXPECT_EQ(k.CheckAnGangRequest(an), 1);
    EXPECT_EQ(k.CheckAnGangRequest(MJRequest::Meld(0, 1, four[3], four[0], four[1], four[2])), 0);
    k.SwitchActiveChair(1);
    EXPECT_EQ(k.CheckAnGangRequest(an), 0);
    k.SwitchActiveChair(0);
    k.ClearStatusBits(kStatusOwnTiles);
    EXPECT_EQ(k.CheckAnGangRequest(an), 0);
    k.SetStatusBits(kStatusOwnTiles);
    EXPECT_EQ(k.CheckAnGangRequest(MJRequest::Meld(0, 0, four[3], four[0], four[1], -1)), 0);
    k.Lay(0, kPeng, 15, 2);
    const int32_t fourth = k.GiveOne(0, 15);
    const Meld& m = k.Melds(0, kPeng)[0];
    const auto bu = MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2);
    EXPECT_EQ(k.CheckBuGangRequest(bu), 1);
    EXPECT_EQ(
        k.CheckBuGangRequest(MJRequest::Meld(0, 0, four[0], m.tiles[0], m.tiles[1], m.tiles[2], 2)),
        0);  // a tile of another kind
    EXPECT_EQ(k.CheckBuGangRequest(MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], -1, 2)),
              0);  // not the pung's tiles
    Rig o;
    o.SetStatusBits(kStatusOwnTiles);
    o.Lay(0, kPeng, 15, 2);
    const int32_t elsewhere = o.GiveOne(1, 15);
    const Meld& om = o.Melds(0, kPeng)[0];
    EXPECT_EQ(o.CheckBuGangRequest(
                  MJRequest::Meld(0, 0, elsewhere, om.tiles[0], om.tiles[1], om.tiles[2], 2)),
              0);  // the fourth tile is in another hand
}

// The chair that played before the discarder holds the window with its flags like any other:
// passing over them would close the window on a claim it was offered and never answered.
TEST(MJTable, ClaimWindowWaitsForThePrevChairSoItsOfferIsNotLost) {
    FixedTick clock;
    // The plain mahjong table too.
    chain::MJ m(0, 0);
    m.Fresh();
    m.Give(1, {9, 9});
    m.Give(0, {9});
    int32_t nine = -1;
    for (int32_t id : {8, 17, 26, 35})
        if (m.ChairOf(id) == 0) nine = id;
    m.Discard(0, &nine, 1);
    ASSERT_EQ(m.ClaimFlags(1) & 1, 1);
    EXPECT_FALSE(m.IsClaimWindowOver(0));
    clock.tick += 20 * 1000 - 500;  // the claim time less half a second ends it
    EXPECT_TRUE(m.IsClaimWindowOver(0));
    Rig r;
    r.Give(1, {9, 9});  // chair 1 = PrevChair(0) can pung chair 0's discard
    auto t = r.Give(0, {9});
    r.Discard(0, &t[0], 1);
    EXPECT_EQ(r.ClaimFlags(1) & 1, 1);
    EXPECT_FALSE(r.IsClaimWindowOver(0));
    EXPECT_EQ(r.AnswerPass(1, 0), 1);  // every chair has now answered
    EXPECT_TRUE(r.IsClaimWindowOver(0));
}

// A claim that waits holds the window until its claimant comes back; one that never comes
// back would hold it, and the deal, for ever: it is dropped two seconds after the claim time.
TEST(MJTable, PendingClaimIsDroppedAfterItsTime) {
    FixedTick clock;
    Rig r;
    const MJRequest pung = r.PungBehindAWin();
    ASSERT_TRUE(r.ClaimFlags(1) & 8);
    ASSERT_TRUE(r.ClaimFlags(2) & 1);
    // The pung must wait for the win claim: its priority holds the window.
    EXPECT_EQ(r.OthersMayStillHu(pung), 1);
    EXPECT_EQ(r.WaitOpe(2), 200 - 1);
    r.AnswerPass(1, 0);
    EXPECT_FALSE(r.IsClaimWindowOver(3));
    clock.tick += 22 * 1000;  // claim time + 2 s: still held
    EXPECT_FALSE(r.IsClaimWindowOver(3));
    clock.tick += 1;  // past it: the claimant never came back
    EXPECT_TRUE(r.IsClaimWindowOver(3));
    EXPECT_EQ(r.WaitOpe(2), 0);
}

TEST(MJTable, AnAnsweredChairsFlagsHoldTheWindowUntilTheClaimTime) {
    FixedTick clock;
    Rig r;
    const MJRequest pung = r.PungBehindAWin();
    // Late in the claim time the pung waits no longer for chair 1's win: chair 2 has answered,
    // but its claim is not carried out yet and its flags keep the window open until the time
    // is up, after chair 1 passed too.
    clock.tick += 19 * 1000;
    EXPECT_EQ(r.OthersMayStillHu(pung), 0);
    EXPECT_TRUE(r.Answered(2));
    EXPECT_EQ(r.WaitOpe(2), 0);
    EXPECT_EQ(r.AnswerPass(1, 0), 1);  // every chair has answered
    EXPECT_FALSE(r.IsClaimWindowOver(3));
    clock.tick += 499;
    EXPECT_FALSE(r.IsClaimWindowOver(3));
    clock.tick += 1;
    EXPECT_TRUE(r.IsClaimWindowOver(3));
}

TEST(MJTable, TheTurnRunsOutTwoSecondsAfterTheClaimTime) {
    FixedTick clock;
    Rig r;
    int32_t elapsed = -1;
    clock.tick += 22 * 1000;
    EXPECT_FALSE(r.IsTurnTimeOver(0, &elapsed));
    EXPECT_EQ(elapsed, 22 * 1000);
    clock.tick += 1;
    EXPECT_TRUE(r.IsTurnTimeOver(0, nullptr));
}

// --- This game's rules ----------------------------------------------------------------------

TEST(GameRules, WallBreakPriorityAndRotation) {
    Rig r;
    r.banker_ = 0;
    r.SetDice(3, 4, 2, 5);
    EXPECT_EQ(r.WallStartPosition(), 62);
    EXPECT_EQ(std::vector<int32_t>({r.Dice(-1), r.Dice(0), r.Dice(3), r.Dice(4)}),
              std::vector<int32_t>({0, 3, 5, 0}));  // four dice, none outside
    struct Row {
        int d1, d2, banker, start;
    };
    // s = 0: banker + 1 (chair 1's wall from 0); s = 1: the banker; s = 2: banker + 3.
    const Row rows[] = {{2, 2, 0, 2 * 4 + 0},
                        {1, 4, 0, (2 * 5 + 102) % 136},
                        {1, 1, 1, 2 * 2 + 102},
                        {3, 3, 2, (2 * 6 + 0)}};
    for (const Row& row : rows) {
        r.banker_ = row.banker;
        r.SetDice(row.d1, row.d2, 0, 0);
        EXPECT_EQ(r.WallStartPosition(), row.start) << row.d1 << row.d2 << row.banker;
    }
    // A table without tiles has no wall to break: position 0.
    CardConfig none = GameCardConfig();
    none.tileTotal = 0;
    CMJTableEx bare(GameTableConfig(), none, GameMJConfig());
    bare.SetDice(3, 4, 2, 5);
    EXPECT_EQ(bare.WallStartPosition(), 0);
    EXPECT_EQ(r.ClaimPriority(3, 0, 8), 400);  // several winners: no seat order
    TableConfig one = GameTableConfig();
    one.ruleFlags &= ~0x40000u;
    CMJTableEx single(one, GameCardConfig(), GameMJConfig());
    EXPECT_EQ(single.ClaimPriority(3, 0, 8), 399);
    EXPECT_EQ(single.ClaimPriority(1, 0, 8), 397);
    EXPECT_EQ(single.ClaimPriority(2, 0, 8), 398);
    EXPECT_EQ(r.ClaimPriority(3, 0, 2), 299);
    EXPECT_EQ(r.ClaimPriority(1, 0, 1), 197);
    EXPECT_EQ(r.ClaimPriority(0, 0, 4), 100);
    EXPECT_EQ(r.ClaimPriority(3, 0, 0), 0);
    CMJTableEx rot;
    EXPECT_EQ(rot.RotateCounters(0), -1);
    EXPECT_EQ(rot.RotateCounters(5), -1);
    EXPECT_EQ(rot.RotateCounters(0), -1);  // 102, others 101... no chair at m - 2 yet
    EXPECT_EQ(rot.RotateCounters(0), 1);   // chair 1 fell behind by two: it is due
}

TEST(GameRules, ARobbingClaimOnAPlainDiscardWinsAsADiscardWin) {
    // No exposed kong is pending (this game cannot rob one): a claim that names one is
    // accepted as a win on the discard, and is carried out and paid as one.
    Rig r;
    r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    auto t = r.Give(0, {21});
    r.Discard(0, &t[0], 1);
    r.OpenClaimWindow();
    auto claim = MJRequest::Hu(1, 0, t[0], 4, 1);
    ASSERT_EQ(r.CheckHuRequest(claim), 8);
    EXPECT_EQ(r.OnHuRequest(claim), 1);
    EXPECT_EQ(r.Loser(), 0);
    EXPECT_EQ(r.FirstWinner(), 1);
    r.SetOutcomeMode();
    EXPECT_EQ(r.Mode(), 0x1000000);
}

TEST(GameRules, ARobbingClaimOnAPendingExposedKongThisGameCannotRobIsPaidByTheDiscarder) {
    // Chair 2 declares an exposed kong of chair 0's 21, and chair 1, waiting on 21, claims to
    // rob it. This game cannot rob a kong made from a discard: the claim is accepted as a win
    // on the discard, its kind becomes 1, and the discarder pays, not the kong's declarer.
    Rig r;
    const auto three = r.Give(2, {21, 21, 21});
    r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
    auto t = r.Give(0, {21});
    r.Discard(0, &t[0], 1);
    r.OpenClaimWindow();
    r.RecordGang(MJRequest::Meld(2, 0, t[0], three[0], three[1], three[2], 1));
    ASSERT_EQ(r.PendingGangTile(), t[0]);
    ASSERT_EQ(r.CanRobExposedGang(1, 0, t[0]), 0);
    MJRequest rob = MJRequest::Hu(1, 0, t[0], 4, 1);
    ASSERT_EQ(r.CheckHuRequest(rob), 8);
    EXPECT_EQ(rob.huKind(), 1);
    ASSERT_EQ(r.OnHuRequest(rob), 1);
    EXPECT_EQ(r.FirstWinner(), 1);
    EXPECT_EQ(r.Loser(), 0);
    r.SetOutcomeMode();
    EXPECT_EQ(r.Mode(), 0x1000000);
    r.EndOfDeal();
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    ASSERT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0), 1);
    const int32_t p = r.TotalFanPoints(r.ResultOf(1));
    ASSERT_GT(p, 0);
    using result_off::kWinPoints;
    EXPECT_EQ(chain::at(rec, kWinPoints + 4), p);
    EXPECT_EQ(chain::at(rec, kWinPoints), -p);
    EXPECT_EQ(chain::at(rec, kWinPoints + 8), 0);  // the kong's declarer pays nothing
    EXPECT_EQ(chain::at(rec, kWinPoints + 12), 0);
}

// The liability rule counts the melds fed within a deal: two pungs fed in one deal and one in
// the next leave the feeder free to win in the next (liable only once three are fed in it).
TEST(GameRules, FeedingCountsStartAgainWithEachDeal) {
    Rig r;
    auto feedPung = [&r](int kind) {
        const auto h = r.Give(2, {kind, kind});
        const int32_t tile = r.Played(1, kind);
        r.OnPeng(MJRequest::Meld(2, 1, tile, h[0], h[1]));
    };
    feedPung(31);
    feedPung(32);
    ASSERT_EQ(r.PungFeed(1, 2), 2);
    r.Fresh();  // the next deal
    EXPECT_EQ(r.PungFeed(1, 2), 0);
    feedPung(33);
    r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    const int32_t win = r.Played(0, 21);
    HuResult res{};
    EXPECT_FALSE(r.IsLiable(1));
    EXPECT_EQ(r.CheckSpecialHu(1, win, &res, 1), 8);
    // Three fed within one deal make the feeder liable, and it may not win.
    feedPung(34);
    feedPung(35);
    EXPECT_TRUE(r.IsLiable(1));
    EXPECT_EQ(r.CheckSpecialHu(1, win, &res, 1), 0);
    r.kongFeed_[3][0] = 3;
    r.Reset(false);  // the end of a deal
    EXPECT_EQ(r.KongFeed(3, 0), 0);
    EXPECT_FALSE(r.IsLiable(1));
}

TEST(GameRules, ClaimPriorityOfAnOutOfRangeDiscarder) {
    // The discarder comes from a request: an id far out of range has no seat term (and no
    // arithmetic on it may overflow).
    Rig r;
    EXPECT_EQ(r.ClaimPriority(1, INT32_MAX, 1), 200);
    EXPECT_EQ(r.ClaimPriority(1, INT32_MIN, 2), 300);
    EXPECT_EQ(r.ClaimPriority(INT32_MAX, 0, 4), 100);
    EXPECT_EQ(r.ClaimPriority(2, -1, 1), 200);
    // The kong's and the several winners' waits take such a request without harm.
    const MJRequest recorded = r.AddedKongOf21();
    r.RecordGang(recorded);
    MJRequest bu = recorded;  // the same kong, asked for with such a discarder
    bu.w[4] = INT32_MAX;
    EXPECT_EQ(r.SomeoneCanRobGang(bu), 1);
    EXPECT_EQ(r.WaitOpe(0), 300);
}

TEST(GameRules, PassRuleRefusesPungAndWinUntilTheNextDraw) {
    FixedTick clock;
    Rig r;
    // Chair 2 waits on 9 (and could pung it); chair 0 discards a 9 and chair 2 lets it pass.
    r.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 9});
    auto a = r.Give(0, {9});
    r.Discard(0, &a[0], 1);
    EXPECT_TRUE(r.ClaimFlags(2) & 8);
    for (int c = 0; c < 4; ++c) r.AnswerPass(c, 0);
    // Chair 3 discards another 9: chair 2 is offered nothing and may not ask.
    auto b = r.Give(3, {9});
    r.Discard(3, &b[0], 1);
    EXPECT_EQ(r.ClaimFlags(2), 0);
    EXPECT_EQ(CheckHu(r, MJRequest::Hu(2, 3, b[0], 1)), 0);
    EXPECT_EQ(r.CanHuOnDiscard(2, 3, b[0]), 0);
    HuResult res{};
    EXPECT_EQ(r.WinValue(2, b[0], &res, 1), 0);
    // After its own draw the pass is forgotten.
    r.DrawTile(2);
    EXPECT_EQ(r.PassCount(2, 9), 0);
}

TEST(GameRules, AWinOnADiscardOfNoValidChairIsNone) {
    Rig r;
    r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    const int32_t tile = r.Played(0, 21);
    for (const int32_t from : {-1, 4, 9}) {
        EXPECT_EQ(r.OnHuRequest(MJRequest::Hu(1, from, tile, 1)), 0) << from;
        EXPECT_EQ(r.Winners(), 0) << from;
        EXPECT_EQ(r.Loser(), -1) << from;
    }
}

// Chairs 1 and 2 wait on a 21, with 11 11 11 and 12 12 12 beside the run 1-9; chair 0 has
// discarded a 21 and the claim window is open. → the tile discarded.
int32_t ChairsOneAndTwoWaitOnChairZerosDiscard(Rig& r) {
    r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    r.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 12, 21});
    auto t = r.Give(0, {21});
    r.Discard(0, &t[0], 1);
    r.OpenClaimWindow();
    return t[0];
}

// Only the chairs that asked to win are made winners: a chair that let its win pass would
// otherwise be paid for a win it never declared, and the discarder would pay for it.
TEST(GameRules, OnlyChairsThatAskedWinSoALetPassWinIsNeverPaid) {
    Rig r;
    const int32_t tile = ChairsOneAndTwoWaitOnChairZerosDiscard(r);
    ASSERT_TRUE(r.ClaimFlags(1) & 8);
    ASSERT_TRUE(r.ClaimFlags(2) & 8);
    EXPECT_EQ(CheckHu(r, MJRequest::Hu(1, 0, tile, 1)), 8);
    r.AnswerPass(2, 0);  // chair 2 could win but passes
    EXPECT_EQ(r.OnHuRequest(MJRequest::Hu(1, 0, tile, 1)), 1);
    EXPECT_GT(r.WinValueOf(1), 0);
    EXPECT_EQ(r.WinValueOf(2), 0);
    EXPECT_EQ(r.Loser(), 0);
    EXPECT_EQ(r.Winners(), 1);
    EXPECT_EQ(r.ResultOf(2).handType, 0);  // its result is not written either
    // Both ask: both win (several winners allowed).
    Rig s;
    s.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    s.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 12, 21});
    auto u = s.Give(0, {21});
    s.Discard(0, &u[0], 1);
    s.OpenClaimWindow();
    EXPECT_EQ(s.OthersMayStillHuAll(MJRequest::Hu(1, 0, u[0], 1)), 1);  // chair 2 may still ask
    EXPECT_EQ(CheckHu(s, MJRequest::Hu(2, 0, u[0], 1)), 8);
    EXPECT_EQ(CheckHu(s, MJRequest::Hu(1, 0, u[0], 1)), 8);
    EXPECT_EQ(s.OnHuRequest(MJRequest::Hu(1, 0, u[0], 1)), 2);
    EXPECT_EQ(s.FirstWinner(), 1);
}

TEST(GameRules, WinTestFindsOrdinaryHandsSevenPairsAndRefusesTheLiable) {
    Rig r;
    r.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    HuResult res{};
    EXPECT_EQ(r.CheckSpecialHu(0, r.WallTile(21), &res, 1), 8);
    EXPECT_EQ(r.CheckSpecialHu(0, r.WallTile(22), &res, 1), 0);
    r.Give(1, {1, 1, 3, 3, 5, 5, 7, 7, 31, 31, 33, 33, 35});
    EXPECT_EQ(r.CheckSpecialHu(1, r.WallTile(35), &res, 1), 8);
    // Two pungs and an exposed kong fed by chair 1 make chair 1 liable: it cannot win.
    r.pungFeed_[1][2] = 2;
    r.kongFeed_[1][2] = 1;
    EXPECT_EQ(r.CheckSpecialHu(1, r.WallTile(35), &res, 1), 0);
    EXPECT_EQ(r.WinValue(1, r.WallTile(35), &res, 1), 0);
    EXPECT_EQ(r.BestWin(1, &res), 0);
    r.kongFeed_[1][2] = 0;
    EXPECT_EQ(r.CheckSpecialHu(1, r.WallTile(35), &res, 1), 8);
}

TEST(GameRules, SevenPairsPiHuAndConcealedHand) {
    struct Row {
        std::initializer_list<int> hand;  // thirteen concealed tiles
        int win, mask;
        int32_t points;
        int fan;
        int32_t fanValue;
    };
    const Row rows[] = {
        // Seven pairs with 0..3 fours (mixed suits, so no suit fan), on a discard and self-drawn.
        {{1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 25, 1, 9, 7, 9},
        {{1, 1, 1, 1, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 25, 1, 18, 12, 18},
        {{1, 1, 1, 1, 15, 15, 15, 15, 21, 21, 23, 23, 25}, 25, 1, 27, 17, 27},
        {{1, 1, 1, 1, 15, 15, 15, 15, 21, 21, 21, 21, 25}, 25, 1, 36, 18, 36},
        {{1, 1, 1, 1, 15, 15, 15, 15, 21, 21, 23, 23, 25}, 25, 2, 25, 17, 24},
        // An ordinary hand with no fan: 屁胡 3; self-drawn with 门清 alone: still 3.
        {{1, 2, 3, 14, 15, 16, 27, 28, 29, 31, 31, 31, 5}, 5, 1, 3, 0, 3},
        {{1, 2, 3, 14, 15, 16, 27, 28, 29, 31, 31, 31, 5}, 5, 2, 3, 11, 1},
    };
    for (const Row& row : rows) {
        Rig r;
        r.Played(3, 33);  // the table is not untouched
        r.Played(0, 34);
        for (int k : row.hand) r.GiveOne(0, k);
        const int32_t tile = row.mask == 2 ? r.GiveOne(0, row.win) : r.Played(1, row.win);
        if (row.mask == 2) {
            // The concealed thirteen hold the winning kind once already; draw a second copy.
        }
        r.GiveOne(1, 37), r.GiveOne(1, 37);
        HuResult res{};
        EXPECT_EQ(r.BestHu(0, tile, &res, row.mask), row.points) << row.points;
        EXPECT_EQ(res.tally1[row.fan], row.fanValue) << row.points;
    }
}

TEST(GameRules, AddedKongIsNotConcealedAndBestWinSkipsExhaustedKinds) {
    Rig r;
    r.Lay(0, kBuGang, 31, 2);
    r.Give(0, {1, 2, 3, 14, 15, 16, 27, 28, 29, 5});
    const int32_t tile = r.GiveOne(0, 5);
    HuResult res{};
    r.BestHu(0, tile, &res, 2);
    EXPECT_EQ(res.tally1[11], 0);  // no 门清 beside an added kong
    EXPECT_EQ(res.handType & 0x10000000, 0);
    Rig c;
    c.Lay(0, kAnGang, 31, 0);
    c.Give(0, {1, 2, 3, 14, 15, 16, 27, 28, 29, 5});
    const int32_t t2 = c.GiveOne(0, 5);
    HuResult r2{};
    c.BestHu(0, t2, &r2, 2);
    EXPECT_EQ(r2.tally1[11], 1);  // a concealed kong keeps the hand concealed
    // A hand whose only wait is a fifth 5: 5555 held, plus 123 456 789 and 11? No: waiting on
    // the 5 kind of which all four are already in the hand is no wait at all.
    Rig w;
    w.Give(0, {5, 5, 5, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    HuResult best{};
    EXPECT_EQ(w.BestWin(0, &best), 0);
    Rig v;
    v.Give(0, {5, 5, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21});
    EXPECT_GT(v.BestWin(0, &best), 0);  // waits on 21
}

// A ready hand waits on a kind wherever its other copies lie (the wall, another hand, the
// discards, another chair's meld), but never on a fifth copy of a kind whose four copies are
// all its own, and the copy it is scored on is never its own.
TEST(GameRules, BestWinWaitsOnKindsWhoseCopiesAreGoneButNotOnAFifthCopy) {
    struct Row {
        const char* where;  // the other 1s, beside a single 1 and 11..19 21 22 23 (or a pung)
        void (*set)(Rig&);
        bool ready;
    };
    const Row rows[] = {
        {"in the wall", [](Rig&) {}, true},
        {"discarded", [](Rig& r) { r.Played(1, 1), r.Played(2, 1), r.Played(3, 1); }, true},
        {"in another hand", [](Rig& r) { r.Played(1, 1), r.Played(3, 1), r.GiveOne(2, 1); }, true},
        {"in another pung", [](Rig& r) { r.Lay(2, kPeng, 1, 1); }, true},
        {"in its own pung", [](Rig& r) { r.Lay(0, kPeng, 1, 2); }, false},
    };
    for (const Row& row : rows) {
        Rig r;
        const bool ownPung = !row.ready;
        if (!ownPung) r.GiveOne(0, 1);
        row.set(r);
        if (ownPung) r.GiveOne(0, 1);
        r.Give(0, {11, 12, 13, 14, 15, 16, 17, 18, 19});
        if (!ownPung) r.Give(0, {21, 22, 23});
        HuResult best{};
        const int32_t v = r.BestWin(0, &best);
        EXPECT_EQ(v > 0, row.ready) << row.where;
        EXPECT_EQ(r.TotalFanPoints(best), v) << row.where;  // its own result comes with it
    }
    // Four pungs and one tile, whose first copy (id 0) the chair holds or has discarded itself:
    // scored on another copy, 全求人 is paid once, with 碰碰胡 beside it.
    for (const bool discarded : {false, true}) {
        Rig q;
        for (int k : {12, 23, 34, 35}) q.Lay(0, kPeng, k, 2);
        if (discarded) ASSERT_EQ(q.Played(0, 1), 0);
        ASSERT_GE(q.GiveOne(0, 1), 0);
        HuResult best{};
        EXPECT_EQ(q.BestWin(0, &best), 18) << discarded;
        EXPECT_EQ(best.tally1[15], 9) << discarded;
        EXPECT_EQ(best.tally1[1], 9) << discarded;
    }
}

// Each part of the answers and checks around a win: a pass answers 1 only once every chair
// has answered; a win on a discard needs the claim window open and the tile played by the chair
// named; a self-drawn request on a hand that does not win makes no winner.
TEST(GameRules, PassesAndWinChecksTestEachOfTheirParts) {
    FixedTick clock;
    Rig r;
    const int32_t tile = ChairsOneAndTwoWaitOnChairZerosDiscard(r);
    EXPECT_EQ(r.CanHuOnDiscard(1, 0, tile), 8);
    EXPECT_EQ(r.CanHuOnDiscard(1, 3, tile), 0);  // not played by chair 3
    EXPECT_EQ(r.AnswerPass(1, 0), 0);            // chair 2 has not answered
    EXPECT_EQ(r.AnswerPass(1, 0), 0);            // chair 1 already has
    EXPECT_EQ(r.AnswerPass(2, 0), 1);
    r.ClearStatusBits(0x400);
    EXPECT_EQ(r.CanHuOnDiscard(2, 0, tile), 0);  // the window is closed
    const int32_t drawn = r.GiveOne(3, 31);
    r.Give(3, {1, 4, 7, 13, 16, 19, 22, 25, 28, 32, 33, 34, 35});
    EXPECT_EQ(r.OnHuRequest(MJRequest::Hu(3, 3, drawn, 2)), 0);
    EXPECT_EQ(r.Winners(), 0);
    EXPECT_EQ(r.FirstWinner(), -1);
}

TEST(GameRules, ScoreFeaturesWithAWinningTileOfNoChair) {
    Rig r;
    for (int k : {1, 12, 23, 34}) r.Lay(0, kPeng, k, 2);
    r.Give(0, {21});
    HuResult res{};
    // A single wait on a tile still in the wall (BestWin tries such tiles): ChairOf gives -1,
    // which is never used as a chair, so the bonus is counted once.
    EXPECT_EQ(r.ScoreFeatures(0, r.WallTile(21), &res, 1), 9);
    EXPECT_EQ(res.tally1[15], 9);
    EXPECT_EQ(r.ScoreFeatures(9, r.WallTile(21), &res, 1), 0);
    EXPECT_EQ(r.WinValue(-1, 0, &res, 1), 0);
    EXPECT_EQ(r.BestWin(4, &res), 0);
}

// --- Settlement ----------------------------------------------------------------------------

struct Settled {
    int32_t p[4];
};

Settled settle(Rig& r) {
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0);
    return {{rec[14], rec[15], rec[16], rec[17]}};
}

TEST(Settlement, WinBranchesAgainstHandComputedTables) {
    std::vector<std::string> logged;
    TableHooks hooks;
    hooks.log = [&](const std::string& l) { logged.push_back(l); };
    struct Row {
        const char* what;
        int32_t mode;
        int32_t loser;
        std::array<int32_t, 4> fans;  // points of each chair's win (0: no win)
        std::array<int32_t, 4> want;
    };
    const Row rows[] = {
        {"self-drawn 10", 0x2000000, -1, {10, 0, 0, 0}, {30, -10, -10, -10}},
        {"one winner on a discard", 0x1000000, 2, {0, 12, 0, 0}, {0, 12, -12, 0}},
        {"two winners", 0x11000000, 0, {0, 9, 0, 16}, {-25, 9, 0, 16}},
        {"three winners", 0x11000000, 3, {3, 9, 8, 0}, {3, 9, 8, -20}},
        {"drawn deal", 2, -1, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        Rig r(hooks);
        for (int c = 0; c < 4; ++c)
            if (row.fans[static_cast<size_t>(c)])
                r.SetFans(c, {{1, row.fans[static_cast<size_t>(c)]}});
        r.winners_ = 0;
        for (int c = 0; c < 4; ++c) r.winners_ += row.fans[static_cast<size_t>(c)] > 0;
        for (int c = 0; c < 4; ++c)
            if (row.fans[static_cast<size_t>(c)]) {
                r.firstWinner_ = c;
                break;
            }
        r.loser_ = row.loser;
        r.mode_ = row.mode;
        const Settled s = settle(r);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(s.p[c], row.want[static_cast<size_t>(c)]) << row.what << c;
    }
    EXPECT_TRUE(logged.empty());
}

TEST(Settlement, KongsOfEachKind) {
    struct Row {
        const char* what;
        MeldList list;
        int32_t source;
        int32_t extra;
        std::array<int32_t, 4> want;  // chair 0 owns the kong
    };
    const Row rows[] = {
        {"concealed", kAnGang, 0, 0, {3, -1, -1, -1}},
        {"exposed from 2", kMingGang, 2, 0, {1, 0, -1, 0}},
        {"added on a pung from 3", kBuGang, 3, 0, {1, 0, 0, -1}},
        {"added with one extra", kBuGang, 1, 1, {2, -2, 0, 0}},
    };
    for (const Row& row : rows) {
        Rig r;
        r.Lay(0, row.list, 7, row.source);
        r.addedExtra_[0][0] = row.extra;
        r.mode_ = 2;
        const Settled s = settle(r);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(s.p[c], row.want[static_cast<size_t>(c)]) << row.what << c;
    }
    // An added kong made through the table: the pung's source pays, and the row shows it.
    Rig t;
    t.Lay(0, kPeng, 7, 3);
    const int32_t fourth = t.GiveOne(0, 7);
    const Meld& m = t.Melds(0, kPeng)[0];
    t.OnBuGang(MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2));
    EXPECT_EQ(t.KongFeeder(), 3);
    t.mode_ = 2;
    const Settled s = settle(t);
    EXPECT_EQ(s.p[0], 2);  // one added kong plus the extra it counts
    EXPECT_EQ(s.p[3], -2);
    // Concealed kong units by the kind of declaration.
    Rig u;
    auto four = u.Give(0, {8, 8, 8, 8});
    u.OnAnGang(MJRequest::Meld(0, 0, four[3], four[0], four[1], four[2], 2));
    u.mode_ = 2;
    const Settled su = settle(u);
    EXPECT_EQ(su.p[0], 12);  // the kong and three units: 4 x 3
    EXPECT_EQ(su.p[1], -4);
}

TEST(Settlement, LiabilityCases) {
    struct Row {
        const char* what;
        int32_t mode;
        int32_t loser;
        int32_t feeder;      // fed the winner (chair 0) three pungs / kongs
        int32_t kongFeeder;  // -1 none; the win scores 杠上花 when set
        std::array<int32_t, 4> want;
        int32_t liableUser;
    };
    const Row rows[] = {
        {"three feeds, the feeder discards", 0x1000000, 2, 2, -1, {20, 0, -20, 0}, 503},
        {"three feeds, another discards", 0x1000000, 1, 2, -1, {20, -10, -10, 0}, 503},
        {"three feeds, self-drawn", 0x2000000, -1, 3, -1, {30, 0, 0, -30}, 504},
        {"kong flower, a kong feeder", 0x2000000, -1, -1, 1, {30, -30, 0, 0}, 502},
        {"kong flower and a liable chair", 0x2000000, -1, 3, 1, {60, -30, 0, -30}, 504},
    };
    for (const Row& row : rows) {
        Rig r;
        if (row.kongFeeder >= 0)
            r.SetFans(0, {{5, 10}});
        else
            r.SetFans(0, {{2, 10}});
        r.winners_ = 1;
        r.firstWinner_ = 0;
        r.loser_ = row.loser;
        r.mode_ = row.mode;
        r.kongFeeder_ = row.kongFeeder;
        if (row.feeder >= 0) r.pungFeed_[row.feeder][0] = 2, r.kongFeed_[row.feeder][0] = 1;
        std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
        r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(rec[14 + static_cast<size_t>(c)], row.want[static_cast<size_t>(c)])
                << row.what << c;
        EXPECT_EQ(rec[696 / 4], row.liableUser) << row.what;
    }
}

TEST(Settlement, LargeStakesAreCappedByHoldingsBeforeNarrowing) {
    // 600 points x a stake of 4,000,000 does not fit 32 bits, but what the losers can pay
    // (3 x 500,000,000) does: the winner receives exactly that.
    std::vector<std::string> logged;
    TableHooks hooks;
    hooks.log = [&](const std::string& l) { logged.push_back(l); };
    Rig r(hooks);
    for (int c = 0; c < 4; ++c) r.FindPlayer(501 + c)->holdings = 500000000;
    r.SetFans(0, {{1, 200}});
    r.winners_ = 1;
    r.firstWinner_ = 0;
    r.mode_ = 0x2000000;
    r.stake_ = 4000000;
    r.allFlags_[1] = 1;
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    ASSERT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0), 1);
    EXPECT_EQ(rec[320 / 4 + 0], 1500000000);
    for (int c = 1; c < 4; ++c) EXPECT_EQ(rec[320 / 4 + static_cast<size_t>(c)], -500000000);
    EXPECT_TRUE(logged.empty());
}

TEST(Settlement, ThePlainTableFindsTheChairThatFedTheWinnerThreeMelds) {
    Rig r;
    r.firstWinner_ = 1;
    r.pengM_[3][1] = 2;  // two are not enough
    r.pengM_[2][1] = 3;
    int32_t rec[200] = {};
    EXPECT_EQ(r.CMJTable::FindLiableChair(rec, nullptr), 2);
    EXPECT_EQ(rec[696 / 4], r.UserIdAt(2));
}

// A mahjong table of the level below this game's rules whose settlement step pays a win: the
// winner gains what each other chair loses.
class PayingTable : public chain::MJ {
public:
    using CMJTable::chiM_;
    using CMJTable::firstWinner_;
    using CMJTable::gangM_;
    using CMJTable::mode_;
    using CMJTable::pengM_;
    using CMJTable::winners_;
    using CMJTable::winValue_;
    explicit PayingTable(uint32_t flags = 0x80000) : chain::MJ(flags, 0) {}
    int32_t loss[4] = {};
    int32_t SettleStep(int32_t*, int32_t, int32_t, int32_t* points) override {
        for (int c = 0; c < 4; ++c) points[c] += loss[c];
        return 0;
    }
};

TEST(Settlement, ThePlainTablesLiableChairTakesTheSumOfTheLosses) {
    FixedTick clock;
    PayingTable t;
    t.Fresh();
    t.firstWinner_ = 1;
    t.winners_ = 1;
    t.winValue_[1] = 10;
    t.loss[0] = -10, t.loss[1] = 30, t.loss[2] = -10, t.loss[3] = -10;
    // Chair 3 made two pungs of chair 1's discards and chair 1 one chow of chair 3's: three
    // melds between them, whichever way.
    t.pengM_[1][3] = 2;
    t.chiM_[3][1] = 1;
    std::vector<int32_t> rec(static_cast<size_t>(t.ResultRecordSize() / 4), 0);
    ASSERT_EQ(t.FillResultRecord(rec.data(), t.ResultRecordSize(), 0, 0), 1);
    const int32_t* points = rec.data() + 56 / 4;
    EXPECT_EQ(points[0], 0);
    EXPECT_EQ(points[1], 30);
    EXPECT_EQ(points[2], 0);
    EXPECT_EQ(points[3], -30);
    EXPECT_EQ(rec[696 / 4], t.UserIdAt(3));
    // Without the liability rule (tile flag 0x80000) the losses stay where they are.
    PayingTable off(0);
    off.Fresh();
    off.firstWinner_ = 1, off.winners_ = 1, off.winValue_[1] = 10;
    off.loss[0] = -10, off.loss[1] = 20, off.loss[2] = -10;
    off.gangM_[2][1] = 3;
    std::vector<int32_t> plain(static_cast<size_t>(off.ResultRecordSize() / 4), 0);
    ASSERT_EQ(off.FillResultRecord(plain.data(), off.ResultRecordSize(), 0, 0), 1);
    EXPECT_EQ(plain[696 / 4], 0);
    EXPECT_EQ(plain[56 / 4 + 0], -10);
    EXPECT_EQ(plain[56 / 4 + 2], -10);
    // Called on its own: a second winner keeps its points and the liable chair pays them too
    // (cleared, they would be a win lost and points that no longer sum to 0); without a liable
    // chair nothing moves.
    t.pengM_[1][3] = 0, t.chiM_[3][1] = 0;
    t.gangM_[2][1] = 3;
    int32_t results[4] = {-25, 10, 0, 15};
    int32_t record[200] = {};
    EXPECT_EQ(t.FindLiableChair(record, results), 2);
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 10);
    EXPECT_EQ(results[2], -25);
    EXPECT_EQ(results[3], 15);
    EXPECT_EQ(record[696 / 4], t.UserIdAt(2));
    t.gangM_[2][1] = 2;
    int32_t same[4] = {-25, 10, 0, 15};
    EXPECT_EQ(t.FindLiableChair(record, same), -1);
    EXPECT_EQ(same[0], -25);
    EXPECT_EQ(same[2], 0);
    t.firstWinner_ = -1;
    EXPECT_EQ(t.FindLiableChair(record, same), -1);
    // A liable chair that won too keeps its own points less every other chair's loss: chair 3,
    // the first met after chair 1 with three melds between them, won 15 and pays 20 and 5.
    t.firstWinner_ = 1;
    t.gangM_[2][1] = 0;
    t.pengM_[3][1] = 3;
    int32_t won[4] = {-20, 10, -5, 15};
    EXPECT_EQ(t.FindLiableChair(record, won), 3);
    EXPECT_EQ(std::vector<int32_t>(won, won + 4), (std::vector<int32_t>{0, 10, 0, -10}));
}

TEST(Settlement, ResultRecordFields) {
    Rig r;
    r.SetFans(1, {{1, 9}, {11, 1}});
    r.winners_ = 1;
    r.firstWinner_ = 1;
    r.loser_ = 2;
    r.mode_ = 0x1000000;
    r.Lay(1, kMingGang, 9, 2);
    r.Lay(1, kBuGang, 15, 1);
    r.addedExtra_[1][2] = 2;
    r.SetResultValue(3, 17);
    std::vector<int32_t> rec(static_cast<size_t>(r.ResultRecordSize() / 4), 0);
    ASSERT_EQ(r.ResultRecordSize(), 4 * 172 + 1652);
    // The fan-name field holds leftovers from an earlier deal: it is written afresh.
    std::memset(reinterpret_cast<char*>(rec.data()) + 1360, 'x', 256);
    rec[696 / 4] = 777;  // and the liable user of an earlier deal: this one has none
    EXPECT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize() - 1, 0, 0), 0);
    ASSERT_EQ(r.FillResultRecord(rec.data(), r.ResultRecordSize(), 0, 0), 1);
    const char* names = reinterpret_cast<const char*>(rec.data()) + 1360;
    const std::string text(names);
    EXPECT_EQ(text.rfind("屁胡|碰碰胡|", 0), 0u);
    ASSERT_GE(text.size(), 28u);
    EXPECT_EQ(text.substr(text.size() - 13), std::string(13, '|'));
    EXPECT_EQ(text.substr(text.size() - 28, 15), "大大大七对");
    EXPECT_EQ(text.find('x'), std::string::npos);
    EXPECT_EQ(rec[165], 0);
    EXPECT_EQ(rec[166], 1);  // chair 1 won
    EXPECT_EQ(rec[169], 2);  // the discarder
    EXPECT_EQ(rec[170], 1);  // the first winner
    EXPECT_EQ(rec[179], 17);
    EXPECT_EQ(rec[181], 4);
    EXPECT_EQ(rec[15], 10 + 1);  // win points and the exposed kong
    EXPECT_EQ(rec[16], -10 - 1);
    EXPECT_EQ(rec[17], 0);
    const int32_t* row1 = rec.data() + (1652 + 172) / 4;
    EXPECT_EQ(row1[0], 1);
    EXPECT_EQ(row1[3 + 1], 9);
    EXPECT_EQ(row1[3 + 11], 1);
    EXPECT_EQ(row1[35], 10);
    EXPECT_EQ(row1[36], 1);
    EXPECT_EQ(row1[37], 1 + 2);  // added kongs and their extra
    EXPECT_EQ(rec[692 / 4], 1);  // the next banker: the one winner
    EXPECT_EQ(rec[696 / 4], 0);
    // Each chair's held count and tiles, and the seated players' scores and holdings.
    Rig h;
    for (int c = 0; c < 4; ++c) {
        h.FindPlayer(501 + c)->score = 10 + c;
        h.FindPlayer(501 + c)->holdings = 20 + c;
    }
    const auto mine = h.Give(0, {5, 6});
    h.Give(3, {7});
    h.SetMultiple(1, INT32_MAX);
    h.SetMultiple(2, INT32_MIN);
    h.baseStake_ = 2;
    std::vector<int32_t> hr(static_cast<size_t>(h.ResultRecordSize() / 4), 0);
    ASSERT_EQ(h.FillResultRecord(hr.data(), h.ResultRecordSize(), 0, 0), 1);
    const int32_t heldWant[4] = {2, 0, 0, 1};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(hr[832 / 4 + static_cast<size_t>(c)], heldWant[c]) << c;
        EXPECT_EQ(hr[160 / 4 + static_cast<size_t>(c)], 10 + c) << c;
        EXPECT_EQ(hr[192 / 4 + static_cast<size_t>(c)], 20 + c) << c;
    }
    EXPECT_EQ(hr[848 / 4], mine[0]);
    EXPECT_EQ(hr[848 / 4 + 1], mine[1]);
    EXPECT_EQ(hr[848 / 4 + 2], -1);
    EXPECT_EQ(hr[(848 + 3 * 128) / 4], h.FirstHeld(3));
    // Base stake x multiple beyond 32 bits is held at the bounds.
    EXPECT_EQ(hr[224 / 4 + 1], INT32_MAX);
    EXPECT_EQ(hr[224 / 4 + 2], INT32_MIN);
}

TEST(Settlement, ZeroSumFailureIsLoggedAndCleared) {
    std::vector<std::string> logged;
    TableHooks hooks;
    hooks.log = [&](const std::string& l) { logged.push_back(l); };
    // A kong settlement that does not balance (a fault planted for the test).
    struct Broken : Rig {
        using Rig::Rig;
        int32_t SettleKongs(int32_t*, int32_t, int32_t, int32_t* points) override {
            points[0] += 1;
            return 1;
        }
    } r(hooks);
    r.SetFans(1, {{2, 16}});
    r.winners_ = 1;
    r.firstWinner_ = 1;
    r.loser_ = 2;
    r.mode_ = 0x1000000;
    int32_t points[4] = {5, 5, 5, 5};
    r.SettleWinPoints(nullptr, 0, 0, points);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(points[c], 0);
    ASSERT_GE(logged.size(), 5u);
    EXPECT_EQ(logged[0], "错误的记分错误，记分总和不为0!");
    EXPECT_EQ(logged[1], "nWinPoints[0]:1");
    EXPECT_EQ(logged[2], "nWinPoints[1]:16");
    EXPECT_EQ(logged[3], "nWinPoints[2]:-16");
    EXPECT_EQ(logged[5], "LogGameInfo......start!");
    EXPECT_EQ(logged.back(), "LogGameInfo......end!");
    const auto hand = std::find_if(logged.begin(), logged.end(), [](const std::string& l) {
        return l.rfind("LayInHands:", 0) == 0;
    });
    ASSERT_NE(hand, logged.end());
    EXPECT_EQ(hand->size(), std::string("LayInHands:").size() + 49);  // one count a kind
    // Balanced: nothing logged, and the row starts from 0 whatever it held.
    logged.clear();
    Rig ok(hooks);
    ok.SetFans(1, {{2, 16}});
    ok.winners_ = 1, ok.firstWinner_ = 1, ok.loser_ = 2, ok.mode_ = 0x1000000;
    int32_t p2[4] = {5, 5, 5, 5};
    ok.SettleWinPoints(nullptr, 0, 0, p2);
    EXPECT_EQ(p2[0], 0);
    EXPECT_EQ(p2[1], 16);
    EXPECT_EQ(p2[2], -16);
    EXPECT_TRUE(logged.empty());
}

}  // namespace

namespace {

TEST(CommonTable, StartedWithinBaseStakeAndRoomFeeModeOne) {
    FixedTick clock;
    CCommonTable t(TableConfig{});
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(40 + c, 0, 1000), c);
    GameParams p;
    p.settleMode = 1;
    p.minHoldingsMode1 = 50;
    ASSERT_EQ(t.StartGame(nullptr, p), 1);
    EXPECT_FALSE(t.StartedWithin(0));
    EXPECT_TRUE(t.StartedWithin(5));
    clock.tick += 5000;
    EXPECT_FALSE(t.StartedWithin(5));
    EXPECT_EQ(t.BaseStake(7), 7);
    EXPECT_EQ(t.BaseStake(0), 1);  // the level value of the smallest score (level 0)
    // Mode 1: each seated chair pays the fixed fee out of its holdings plus result.
    int32_t holdings[4] = {1000, 1000, 20, 1000};
    int32_t results[4] = {100, -40, -20, -40};
    int32_t fees[4] = {};
    EXPECT_EQ(t.ApplyRoomFee(holdings, results, fees), 50 + 50 + 0 + 50 + 50);
    EXPECT_EQ(fees[0], 50 + 50);  // its own fee and the deficit of chair 2 (0 left)
    EXPECT_EQ(fees[2], 0);
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], -90);
}

TEST(GameRules, RobbingAnAddedKongOnTheTable) {
    // Chair 0 adds the fourth 21 to its pung; chair 2 waits on 21 (or 24) through 22-23.
    Rig s;
    const MJRequest bu = s.AddedKongOf21();
    const int32_t t4 = bu.tile();
    ASSERT_EQ(s.CheckBuGangRequest(bu), 1);
    s.RecordGang(bu);
    // The declarer cannot rob its own kong, though the tile would win its hand.
    EXPECT_EQ(s.CanRobAddedGang(0, 0, t4), 0);
    // Only the tile of the kong may be robbed, not another the declarer holds.
    EXPECT_EQ(s.CanRobAddedGang(2, 0, s.GiveOne(0, 24)), 0);
    int32_t out[8] = {};
    EXPECT_EQ(s.ListHuClaims(bu, out), 1);
    EXPECT_EQ(out[4 + 2], 8);
    EXPECT_EQ(out[2], t4);
    auto rob = MJRequest::Hu(2, 0, t4, 4, 2);
    EXPECT_EQ(CheckHu(s, MJRequest::Hu(1, 0, t4, 4, 2)), 0);  // chair 1 cannot win
    // The plain table's check too: no such robbing, no kind of win.
    for (MJRequest no : {MJRequest::Hu(2, 0, t4, 4, 3), MJRequest::Hu(2, 0, t4, 0, 2)}) {
        EXPECT_EQ(s.CheckHuRequest(no), 0);
        EXPECT_EQ(s.CMJTable::CheckHuRequest(no), 0);
    }
    EXPECT_EQ(s.CheckHuRequest(rob), 8);
    EXPECT_EQ(s.OnHuRequest(rob), 1);
    EXPECT_EQ(s.FirstWinner(), 2);
    EXPECT_EQ(s.Loser(), 0);
    EXPECT_EQ(s.ResultOf(2).tally1[16], 9);
    // Robbing an exposed kong needs its rule bit: this game refuses it, a table with the bit
    // lets it happen.
    TableConfig robExposed = GameTableConfig();
    robExposed.ruleFlags |= 0x1000u;
    for (const bool allowed : {false, true}) {
        Rig e({}, allowed ? robExposed : GameTableConfig());
        e.Give(1, {21, 21, 21});
        e.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
        const int32_t tile = e.Played(0, 21);
        e.OpenClaimWindow();
        e.RecordGang(MJRequest::Meld(1, 0, tile, -1, -1, -1, 1));
        EXPECT_EQ(e.CanRobExposedGang(2, 0, tile), allowed ? 8 : 0);
        // The plain table has no discard win to fall back on.
        MJRequest rob = MJRequest::Hu(2, 0, tile, 4, 1);
        EXPECT_EQ(e.CMJTable::CheckHuRequest(rob), allowed ? 8 : 0);
        EXPECT_EQ(e.CanRobExposedGang(1, 0, tile), 0);  // the declarer
        EXPECT_EQ(e.CanRobExposedGang(9, 0, tile), 0);
    }
    // A concealed kong opens no robbing at all.
    Rig c;
    c.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
    const auto four = c.Give(0, {21, 21, 21, 21});
    c.RecordGang(MJRequest::Meld(0, 0, four[3], four[0], four[1], four[2], 0));
    EXPECT_EQ(c.CanRobAddedGang(2, 0, four[3]), 0);
    EXPECT_EQ(c.CanRobExposedGang(2, 0, four[3]), 0);
}

TEST(MJTable, MeldShapesOfHonoursAnd258) {
    const struct {
        std::initializer_list<int> pungs;
        int32_t mask;
    } rows[] = {
        {{}, 0}, {{2, 15, 28}, 2}, {{31, 33}, 1}, {{2, 3}, 0x10000000}, {{2, 31}, 0x10000000},
    };
    for (const auto& row : rows) {
        Rig r;
        for (int k : row.pungs) r.Lay(0, kPeng, k, 1);
        EXPECT_EQ(r.MeldShapeMask(0), row.mask) << row.mask;
    }
}

TEST(GameRules, AChairThatLetAKindPassMayNotRobAKongOfIt) {
    // Chair 3 discards a 24; chair 2, which waits on 21 or 24, lets it pass; chair 0 pungs it
    // and at once adds its third 24 as a kong. Chair 2 has not drawn since: no win on 24.
    for (const bool passed : {true, false}) {
        Rig s;
        s.Give(0, {24, 24, 24, 31, 31});
        s.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
        auto d = s.Give(3, {24});
        s.Discard(3, &d[0], 1);
        s.OpenClaimWindow();
        ASSERT_TRUE(s.ClaimFlags(2) & 8);
        s.AnswerPass(2, 0);
        if (!passed) s.pass_[2][24] = 0;  // as its next draw would: the record is cleared
        int32_t held[32];
        s.ListHeld(0, held, 32);
        const auto peng = MJRequest::Meld(0, 3, d[0], held[0], held[1]);
        ASSERT_EQ(s.CheckPengRequest(peng), 1);
        s.OnPeng(peng);
        const Meld m = s.Melds(0, kPeng)[0];
        const auto bu = MJRequest::Meld(0, 0, held[2], m.tiles[0], m.tiles[1], m.tiles[2], 2);
        ASSERT_EQ(s.CheckBuGangRequest(bu), 1);
        s.RecordGang(bu);
        int32_t out[8] = {};
        EXPECT_EQ(s.ListHuClaims(bu, out), passed ? 0 : 1) << passed;
        EXPECT_EQ(s.SomeoneCanRobGang(bu), passed ? 0 : 1) << passed;
        auto rob = MJRequest::Hu(2, 0, held[2], 4, 2);
        EXPECT_EQ(s.CheckHuRequest(rob), passed ? 0 : 8) << passed;
        EXPECT_EQ(s.OnHuRequest(rob), passed ? 0 : 1) << passed;
    }
}

TEST(GameRules, PlayerAndLookerStateRecords) {
    Rig r;
    r.GiveOne(1, 5);
    r.GiveOne(1, 6);
    r.Lay(2, kPeng, 9, 1);
    r.Played(3, 31);
    std::vector<int32_t> looker(CMJTableEx::kLookerStateBytes / 4, 77);
    ASSERT_EQ(r.FillLookerState(looker.data(), CMJTableEx::kLookerStateBytes, 1, false), 1);
    EXPECT_EQ(looker[11], 3);  // the banker
    EXPECT_EQ(looker[28], 0);  // no chow in this game
    EXPECT_EQ(looker[40], 2);
    EXPECT_EQ(looker[49 + 1], 2);
    EXPECT_EQ(looker[49 + 0], 0);
    EXPECT_EQ(looker[53], idOf(5, 0));
    EXPECT_EQ(looker[54], idOf(6, 0));
    EXPECT_EQ(looker[55], -1);
    EXPECT_EQ(looker[85], -1);
    EXPECT_EQ(looker[229], 0);
    EXPECT_EQ(looker[236], 0);  // the tail of the record is cleared
    r.FillLookerState(looker.data(), CMJTableEx::kLookerStateBytes, 1, true);
    EXPECT_EQ(looker[53], -1);  // skip: the chair's tiles are not shown
    EXPECT_EQ(r.FillLookerState(looker.data(), CMJTableEx::kLookerStateBytes - 4, 1, false), 0);
    std::vector<int32_t> player(CMJTableEx::kPlayerStateBytes / 4, 77);
    ASSERT_EQ(r.FillPlayerState(player.data(), CMJTableEx::kPlayerStateBytes, 1, false), 1);
    const int32_t* chair2 = player.data() + 49 + 2 * (1128 / 4);
    EXPECT_EQ(chair2[0], idOf(9, 0));  // the first pung's tiles, then its source chair
    EXPECT_EQ(chair2[4], 1);
    EXPECT_EQ(chair2[7], -1);  // the second pung's place is empty
    const int32_t* chair3 = player.data() + 49 + 3 * (1128 / 4);
    EXPECT_EQ(chair3[210], idOf(31, 0));         // the discard list
    EXPECT_EQ(player[4708 / 4 + 2 * 7 + 0], 1);  // chair 2: one pung
    EXPECT_EQ(player[4708 / 4 + 3 * 7 + 5], 1);  // chair 3: one discard
    EXPECT_EQ(player[4820 / 4 + 1], 2);
    EXPECT_EQ(player[4836 / 4], idOf(5, 0));
    EXPECT_EQ(player[4836 / 4 + 2], -1);
    EXPECT_EQ(player[5024 / 4], 0);
}

TEST(MJTable, LevelOperationsBelowThisGame) {
    // The mahjong level's own win check, best win and next banker, which this game replaces.
    Rig r;
    r.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21});
    HuResult res{};
    const int32_t tile = r.WallTile(21);
    EXPECT_EQ(r.CMJTable::CheckHu(0, tile, &res, 1), 8);
    EXPECT_EQ(r.CMJTable::CheckHu(0, r.WallTile(22), &res, 1), 0);
    EXPECT_EQ(r.CMJTable::CheckSpecialHu(0, tile, &res, 1), 8);  // a pair wait
    EXPECT_EQ(r.CMJTable::CheckSpecialHu(0, r.WallTile(22), &res, 1), 0);
    EXPECT_EQ(r.CMJTable::CheckSpecialHu(7, tile, &res, 1), 0);
    const auto own = r.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 12, 21});
    EXPECT_EQ(r.CMJTable::CheckHu(1, own[12], &res, 2), 0);  // its own 21 is taken out first
    EXPECT_EQ(r.CMJTable::BestHu(7, tile, &res, 1), 0);
    EXPECT_EQ(r.CMJTable::BestHu(0, tile, nullptr, 1), 0);
    // This level's offers on a discard: only the asked ones, the win through its own check.
    EXPECT_EQ(r.CMJTable::OperationFlags(0, tile, &res, 1), 0);
    EXPECT_EQ(r.CMJTable::OperationFlags(0, tile, &res, 8), 8);
    EXPECT_EQ(r.CMJTable::OperationFlags(0, r.WallTile(11), &res, 3), 3);  // 111 held
    // The wait checks of this level, scored by this game's fans (人胡 here: 24).
    EXPECT_EQ(r.CMJTable::BestHu(0, tile, &res, 1), 24);
    std::vector<int32_t> rec(832 / 4, 0);
    r.banker_ = 2;
    rec[700 / 4] = 0;
    EXPECT_EQ(r.CMJTable::NextBankerChair(rec.data(), 0), 0);
    rec[700 / 4] = 1;
    EXPECT_EQ(r.CMJTable::NextBankerChair(rec.data(), 0), 1);  // the banker did not win
    r.winValue_[2] = 5;
    EXPECT_EQ(r.CMJTable::NextBankerChair(rec.data(), 0), 2);
    r.mode_ = 2;
    EXPECT_EQ(r.CMJTable::NextBankerChair(rec.data(), 0), 1);
    // A pung found by its tiles, and removed once.
    r.Lay(2, kPeng, 14, 1);
    r.Lay(2, kPeng, 15, 1);
    const Meld p14 = r.Melds(2, kPeng)[0];
    const Meld p15 = r.Melds(2, kPeng)[1];
    const int32_t ids[3] = {p14.tiles[2], p14.tiles[0], p14.tiles[1]};
    const int32_t twice[3] = {p14.tiles[0], p14.tiles[0], p14.tiles[1]};
    EXPECT_TRUE(r.HasPengMeldOf(2, ids, 3));
    EXPECT_FALSE(r.HasPengMeldOf(2, twice, 3));
    EXPECT_FALSE(r.HasPengMeldOf(1, ids, 3));
    EXPECT_EQ(r.RemovePengMeldOf(2, ids, 3), 1);
    EXPECT_EQ(r.RemovePengMeldOf(2, ids, 3), 0);
    ASSERT_EQ(r.Melds(2, kPeng).size(), 1u);
    EXPECT_EQ(r.Melds(2, kPeng)[0].tiles[0], p15.tiles[0]);
    // This level's discard: only a tile the chair holds, and the next chair may chow.
    const auto five = r.Give(3, {5, 5});
    const int32_t other = r.WallTile(6);
    r.CMJTable::Discard(3, &other, 1);
    EXPECT_TRUE(r.Discards(3).empty());
    EXPECT_EQ(r.StatusOf(other), kTileInWall);
    r.CMJTable::Discard(9, &five[0], 1);
    EXPECT_TRUE(r.Discards(3).empty());
    r.CMJTable::Discard(3, &five[0], 1);
    ASSERT_EQ(r.Discards(3).size(), 1u);
    EXPECT_EQ(r.StatusOf(five[0]), kTilePlayed);
    // This game's discard: a list of no tiles discards nothing.
    r.Discard(3, &five[1], 0);
    EXPECT_EQ(r.Discards(3).size(), 1u);
    EXPECT_EQ(r.StatusOf(five[1]), kTileHeld);
    r.Discard(3, nullptr, 1);
    EXPECT_EQ(r.Discards(3).size(), 1u);
}

}  // namespace

namespace {

TEST(GameRules, TheBankerIsDealtFourteenAndPlaysFirst) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SeedRandom(seed);
        CMJTableEx t;
        for (int c = 0; c < 4; ++c) t.AddPlayer(user(60 + c), c);
        ASSERT_EQ(t.StartGame(nullptr, {}), 1);
        const int32_t banker = t.Banker();
        EXPECT_EQ(t.GetCurrentChair(), banker) << seed;
        EXPECT_EQ(t.DealingChair(), banker) << seed;
        for (int c = 0; c < 4; ++c) EXPECT_EQ(t.CountHeld(c), c == banker ? 14 : 13) << seed;
        EXPECT_EQ(t.IsCompleteSet(), 1);
        EXPECT_EQ(t.Status() & 0x101u, 0x101u);
    }
}

}  // namespace

namespace {

TEST(GameRules, WithoutSeveralWinnersTheFirstInTurnOrderWins) {
    TableConfig one = GameTableConfig();
    one.ruleFlags &= ~0x40000u;
    for (const bool robbing : {false, true}) {
        Rig s({}, one);
        s.Give(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
        s.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 22, 23});
        int32_t tile;
        MJRequest first;
        if (robbing) {
            s.Lay(0, kPeng, 21, 3);
            tile = s.GiveOne(0, 21);
            const Meld& m = s.Melds(0, kPeng)[0];
            s.RecordGang(MJRequest::Meld(0, 0, tile, m.tiles[0], m.tiles[1], m.tiles[2], 2));
            EXPECT_EQ(CheckHu(s, MJRequest::Hu(1, 0, tile, 4, 2)), 8);
            EXPECT_EQ(CheckHu(s, MJRequest::Hu(2, 0, tile, 4, 2)), 8);
            first = MJRequest::Hu(1, 0, tile, 4, 2);
        } else {
            auto t = s.Give(0, {21});
            tile = t[0];
            s.Discard(0, &tile, 1);
            s.OpenClaimWindow();
            EXPECT_EQ(CheckHu(s, MJRequest::Hu(1, 0, tile, 1)), 8);
            EXPECT_EQ(CheckHu(s, MJRequest::Hu(2, 0, tile, 1)), 8);
            first = MJRequest::Hu(1, 0, tile, 1);
        }
        // From chair 0 the turn goes to 3, then 2: chair 2 keeps the win.
        EXPECT_EQ(s.OnHuRequest(first), 1) << robbing;
        EXPECT_EQ(s.WinValueOf(1), 0) << robbing;
        EXPECT_GT(s.WinValueOf(2), 0) << robbing;
        EXPECT_EQ(s.FirstWinner(), 2) << robbing;
        EXPECT_EQ(s.Winners(), 1) << robbing;
    }
}

}  // namespace

namespace {

// Word 15 of the game record is the claim its own chair may make at the deal's start: only the
// banker's record says its dealt hand already wins; every other chair's, and a looker-on's
// of another chair, says nothing of it.
TEST(GameRules, GameRecordWinWordIsTheBankersOwnClaimAtTheDealStart) {
    Rig w;
    w.banker_ = 2;
    w.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21, 21});
    w.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 12, 22});
    int32_t r[CMJTableEx::kPlayerStateBytes / 4];
    for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(w.FillGameRecord(r, sizeof r, c), 1);
        EXPECT_EQ(r[15], c == 2 ? 8 : 0) << c;
        ASSERT_EQ(w.FillPlayerState(r, sizeof r, c, false), 1);
        EXPECT_EQ(r[15], c == 2 ? 8 : 0) << c;
        ASSERT_EQ(w.FillLookerState(r, CMJTableEx::kLookerStateBytes, c, true), 1);
        EXPECT_EQ(r[15], c == 2 ? 8 : 0) << c;
    }
    EXPECT_EQ(w.FillGameRecord(r, sizeof r, 9), 1);
    EXPECT_EQ(r[15], 0);
    // A banker whose hand does not win, and a deal not in play, say nothing either.
    w.banker_ = 0;
    w.FillGameRecord(r, sizeof r, 0);
    EXPECT_EQ(r[15], 0);
    w.banker_ = 2;
    w.ClearStatusBits(1);
    w.FillGameRecord(r, sizeof r, 2);
    EXPECT_EQ(r[15], 0);
}

TEST(GameRules, GameRecordWords) {
    SeedRandom(5);
    CMJTableEx t;
    t.AddPlayer(user(70), 0), t.AddPlayer(user(71), 1), t.AddPlayer(user(72), 2),
        t.AddPlayer(user(73), 3);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    int32_t r[49];
    std::fill(std::begin(r), std::end(r), 55);
    EXPECT_EQ(t.FillGameRecord(r, 48 * 4, 0), 0);
    ASSERT_EQ(t.FillGameRecord(r, sizeof r, 0), 1);
    EXPECT_EQ(r[8], 1);
    EXPECT_EQ(r[11], t.Banker());
    EXPECT_EQ(r[12], 1);
    EXPECT_EQ(r[13], t.Banker());
    EXPECT_EQ(r[14], static_cast<int32_t>(t.Status()));
    EXPECT_EQ(r[16], t.Banker());
    EXPECT_EQ(r[17], t.Banker());
    EXPECT_EQ(r[18], 20);
    for (int k = 0; k < 4; ++k) {
        EXPECT_GE(r[23 + k], 1);  // both dice pairs are rolled in this game
        EXPECT_LE(r[23 + k], 6);
    }
    EXPECT_EQ(r[28], 0);  // no chow
    EXPECT_EQ(r[29], 0);
    EXPECT_EQ(r[30], 0);
    EXPECT_EQ(r[31], 1);
    EXPECT_EQ(r[32], t.WallStart());
    EXPECT_EQ(r[33], -1);  // no jokers
    EXPECT_EQ(r[34], -1);
    EXPECT_EQ(r[36], -1);
    EXPECT_EQ(r[37], t.HeadPosition());
    EXPECT_EQ(r[39], 20);
    EXPECT_EQ(r[40], 2);
    EXPECT_EQ(r[48], 0);
    // Word 15: 8 when the given chair is the banker and its dealt hand already wins.
    Rig w;
    w.banker_ = 0;
    w.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21, 21});
    w.FillGameRecord(r, sizeof r, 0);
    EXPECT_EQ(r[15], 8);
    w.FillGameRecord(r, sizeof r, 1);
    EXPECT_EQ(r[15], 0);
    // The start flag word: whether a chair had start flag 1 when the game started.
    CMJTableEx fresh;
    fresh.FillGameRecord(r, sizeof r, 0);
    EXPECT_EQ(r[27], 0);
    for (int c = 0; c < 4; ++c) fresh.AddPlayer(user(80 + c), c);
    fresh.SetStartFlags(2, 1);
    ASSERT_EQ(fresh.StartGame(nullptr, {}), 1);
    fresh.FillGameRecord(r, sizeof r, 0);
    EXPECT_EQ(r[27], 1);
    // A joker position at the very first tile still names its tile.
    w.jokerPos_ = 0;
    w.FillGameRecord(r, sizeof r, 1);
    EXPECT_EQ(r[33], 0);
    EXPECT_EQ(r[36], w.TileAt(0));
}

}  // namespace

namespace {

TEST(MJTable, SixteenTileDealSoleClaimantsAndOutcomeMode) {
    TableConfig sixteen = GameTableConfig();
    sixteen.ruleFlags |= 0x10;
    SeedRandom(3);
    CMJTableEx t(sixteen, GameCardConfig(), GameMJConfig());
    for (int c = 0; c < 4; ++c) t.AddPlayer(user(80 + c), c);
    ASSERT_EQ(t.StartGame(nullptr, {}), 1);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.CountHeld(c), c == t.Banker() ? 17 : 16);
    EXPECT_EQ(t.ListHeld(0, nullptr, 32), 0);
    // Sole claimants: this game marks every chair with an option; the level below only a
    // chair that no other chair competes with.
    Rig r;
    r.Give(2, {9, 9});
    auto d = r.Give(0, {9});
    r.Discard(0, &d[0], 1);
    EXPECT_EQ(r.SoleFlags(2), 0x20);
    EXPECT_EQ(r.SoleFlags(0), 0);
    EXPECT_EQ(r.SoleFlags(1), 0);
    EXPECT_TRUE(r.CMJTable::IsSoleClaimant(2, 0));
    EXPECT_FALSE(r.CMJTable::IsSoleClaimant(0, 0));
    EXPECT_FALSE(r.CMJTable::IsSoleClaimant(1, 0));
    r.pgch_[3] = 1;
    EXPECT_FALSE(r.CMJTable::IsSoleClaimant(2, 0));
    r.pgch_[2] = r.pgch_[3] = 0;
    EXPECT_FALSE(r.CMJTable::IsSoleClaimant(1, 0));  // no flags, even with no competitor
    r.pgch_[0] = 1;
    EXPECT_FALSE(r.CMJTable::IsSoleClaimant(0, 0));  // flags on its own discard do not count
    r.pgch_[0] = 0, r.pgch_[2] = 1;
    EXPECT_TRUE(r.IsSoleClaimant(2, 0));
    r.pgch_[2] = 4;  // a chow claim only from the next chair (3 after 0)
    EXPECT_FALSE(r.IsSoleClaimant(2, 0));
    // The outcome mode from the last winner's kind of win; several winners add a bit.
    r.winners_ = 1;
    r.winValue_[1] = 5;
    r.hu_[1].handType = 2;
    r.SetOutcomeMode();
    EXPECT_EQ(r.Mode(), 0x2000000);
    r.winners_ = 2;
    r.winValue_[3] = 5;
    r.hu_[3].handType = 1;
    r.SetOutcomeMode();
    EXPECT_EQ(r.Mode(), 0x1000000 | 0x10000000);
    r.winners_ = 0;
    r.SetOutcomeMode();
    EXPECT_EQ(r.Mode(), 0);
}

TEST(GameRules, AHigherPendingClaimHoldsEveryMeld) {
    Rig r;
    const auto pair = r.Give(2, {9, 9, 9});
    const int32_t tile = r.Played(1, 9);
    r.OpenClaimWindow();
    const auto peng = MJRequest::Meld(2, 1, tile, pair[0], pair[1]);
    const auto ming = MJRequest::Meld(2, 1, tile, pair[0], pair[1], pair[2], 1);
    EXPECT_EQ(r.CheckPengRequest(peng), 1);
    EXPECT_EQ(r.CheckMingGangRequest(ming), 1);
    r.SetStatusBits(kStatusOwnTiles);  // the added kong is asked on chair 0's own turn
    r.Lay(0, kPeng, 15, 2);
    const int32_t fourth = r.GiveOne(0, 15);
    const Meld& m = r.Melds(0, kPeng)[0];
    const auto bu = MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2);
    EXPECT_EQ(r.CheckBuGangRequest(bu), 1);
    r.waitOpe_[3] = 400;  // a win claim is pending
    EXPECT_EQ(r.CheckPengRequest(peng), 0);
    EXPECT_EQ(r.CheckMingGangRequest(ming), 0);
    EXPECT_EQ(r.CheckBuGangRequest(bu), 0);
    r.waitOpe_[3] = 200 - 3;  // a pung claim of lower rank holds no kong back
    EXPECT_EQ(r.CheckMingGangRequest(ming), 1);
    EXPECT_EQ(r.CheckBuGangRequest(bu), 1);
}

}  // namespace

namespace {

// Each kong and win request refused at each condition it does not meet.
TEST(MJTable, KongAndWinRequestsRefusedAtEachCondition) {
    Rig r;
    const auto three = r.Give(2, {9, 9, 9});
    const int32_t tile = r.Played(1, 9);
    r.OpenClaimWindow();
    const auto ming = MJRequest::Meld(2, 1, tile, three[0], three[1], three[2], 1);
    ASSERT_EQ(r.CheckMingGangRequest(ming), 1);
    struct Row {
        const char* why;
        MJRequest req;
        uint32_t clear, set;
    };
    const Row mingRows[] = {
        {"deal over", ming, 0, kStatusDealOver},
        {"window closed", ming, kStatusWindowOpen, 0},
        {"two hand tiles", MJRequest::Meld(2, 1, tile, three[0], three[1], -1, 1), 0, 0},
        {"own discard", MJRequest::Meld(1, 1, tile, three[0], three[1], three[2], 1), 0, 0},
        {"not its discarder", MJRequest::Meld(2, 0, tile, three[0], three[1], three[2], 1), 0, 0},
        {"bad chair", MJRequest::Meld(4, 1, tile, three[0], three[1], three[2], 1), 0, 0},
    };
    for (const Row& row : mingRows) {
        const uint32_t saved = r.status_;
        r.status_ = (r.status_ & ~row.clear) | row.set;
        EXPECT_EQ(r.CheckMingGangRequest(row.req), 0) << row.why;
        r.status_ = saved;
    }
    // Self-drawn wins: the current chair, its own tiles, not right after a pung.
    Rig w;
    const auto hand = w.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21, 21});
    auto self = MJRequest::Hu(0, 0, hand[13], 2);
    EXPECT_EQ(w.CheckHuRequest(self), 8);
    const Row huRows[] = {
        {"deal over", self, 0, kStatusDealOver},
        {"not its own turn", self, kStatusOwnTiles, 0},
        {"after a pung", self, 0, kStatusAfterPeng},
        {"after a chow", self, 0, kStatusAfterChi},
        {"a tile it does not hold", MJRequest::Hu(0, 0, w.WallTile(21), 2), 0, 0},
        {"not the current chair", MJRequest::Hu(1, 1, hand[13], 2), 0, 0},
        {"no kind of win", MJRequest::Hu(0, 0, hand[13], 0), 0, 0},
        {"robbing without a kong", MJRequest::Hu(1, 0, hand[13], 4, 2), 0, 0},
        {"robbing of no sub-kind", MJRequest::Hu(1, 0, hand[13], 4, 0), 0, 0},
        {"on a discard not played", MJRequest::Hu(1, 0, hand[13], 1), 0, 0},
    };
    for (const Row& row : huRows) {
        const uint32_t saved = w.status_;
        w.status_ = (w.status_ & ~row.clear) | row.set;
        EXPECT_EQ(CheckHu(w, row.req), 0) << row.why;
        w.status_ = saved;
    }
    // Flowers are not in this game's set: no flower request is ever accepted.
    EXPECT_EQ(w.CheckFlowerRequest(MJRequest::Meld(0, 0, hand[0], -1, -1)), 0);
    EXPECT_EQ(w.CheckFlowerRequest(MJRequest::Meld(0, 0, w.WallTile(21), -1, -1)), 0);
    EXPECT_EQ(w.FirstFlowerHeld(0), -1);
}

}  // namespace
