// The table rules' guards against requests and records that would corrupt a deal, each named
// for the fault it keeps out: tiles played or laid out by a chair that does not hold them, a
// kong built on the wrong pung, a win on one's own discard, a seat left pointing at a deleted
// record, a tile twice in the set, fees paid out, and the test-deal file read as the profile
// functions read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using chain::FixedTick;
using chain::user;
using rig::CheckHu;
using rig::idOf;
using rig::Rig;
using rig::TestIniFolder;

// A tile still in the wall, one in another hand, and one already played: none is a discard of
// the chair, at any level of the chain.
TEST(KeptGuards, ADiscardOfATileTheChairDoesNotHoldIsNone) {
    struct Level {
        const char* name;
        void (*discard)(Rig&, int32_t, int32_t);
    };
    const Level levels[] = {
        {"card table", [](Rig& r, int32_t c, int32_t t) { r.CCardTable::Discard(c, &t, 1); }},
        {"mahjong table", [](Rig& r, int32_t c, int32_t t) { r.CMJTable::Discard(c, &t, 1); }},
        {"this game's table", [](Rig& r, int32_t c, int32_t t) { r.Discard(c, &t, 1); }},
    };
    for (const Level& level : levels) {
        Rig r;
        r.Give(3, {5});
        const int32_t wall = r.WallTile(6);
        const int32_t others = r.GiveOne(1, 7);
        const int32_t played = r.Played(2, 8);
        const int32_t before3 = r.CountHeld(3), before1 = r.CountHeld(1);
        for (const int32_t tile : {wall, others, played}) {
            const int32_t status = r.StatusOf(tile), chair = r.ChairOf(tile);
            level.discard(r, 3, tile);
            EXPECT_EQ(r.StatusOf(tile), status) << level.name << " " << tile;
            EXPECT_EQ(r.ChairOf(tile), chair) << level.name << " " << tile;
        }
        EXPECT_EQ(r.CountHeld(3), before3) << level.name;
        EXPECT_EQ(r.CountHeld(1), before1) << level.name;
        EXPECT_TRUE(r.Discards(3).empty()) << level.name;
        EXPECT_EQ(r.PassCount(0, 6), 0) << level.name;  // no kind counted as let pass
        EXPECT_EQ(r.ClaimFlags(1), 0) << level.name;    // nothing offered on it
    }
}

// A flower laid out must be one the chair holds, at both mahjong levels.
TEST(KeptGuards, AFlowerTheChairDoesNotHoldIsNotLaidOut) {
    for (const bool game : {false, true}) {
        Rig r;
        const int32_t flower = 136;  // a flower tile, in no hand
        r.BuildTileSet({flower});
        r.SetStatusBits(kStatusOwnTiles);
        const uint32_t status = r.Status();
        const auto request = MJRequest::Meld(0, 0, flower, -1, -1);
        if (game)
            r.OnFlower(request);
        else
            r.CMJTable::OnFlower(request);
        EXPECT_TRUE(r.Flowers(0).empty()) << game;
        EXPECT_EQ(r.StatusOf(flower), kTileInWall) << game;
        EXPECT_EQ(r.GangDraws(), 0) << game;  // no replacement due for it
        EXPECT_EQ(r.Status(), status) << game;
    }
}

// A chair with pungs of 15 and 21 holds the fourth 21: it may add it to the pung of 21, not to
// the pung of 15 (the kong would hold three 15s and a 21).
TEST(KeptGuards, AnAddedKongTakesOnlyATileOfThePungItNames) {
    Rig r;
    r.SetStatusBits(kStatusOwnTiles);
    r.Lay(0, kPeng, 15, 2);
    r.Lay(0, kPeng, 21, 1);
    const int32_t fourth = r.GiveOne(0, 21);
    const Meld fifteen = r.Melds(0, kPeng)[0], twentyOne = r.Melds(0, kPeng)[1];
    auto onto = [&](const Meld& m) {
        return MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2);
    };
    EXPECT_EQ(r.CheckBuGangRequest(onto(fifteen)), 0);
    EXPECT_EQ(r.CMJTable::CheckBuGangRequest(onto(fifteen)), 0);
    EXPECT_EQ(r.CheckBuGangRequest(onto(twentyOne)), 1);
    EXPECT_EQ(r.CMJTable::CheckBuGangRequest(onto(twentyOne)), 1);
}

// The discarder of the tile an exposed kong claims cannot rob the kong: nobody wins on his own
// discard. The tile must still lie played by him; one already laid into a kong is robbed no
// more.
TEST(KeptGuards, NobodyRobsAKongOfHisOwnDiscard) {
    TableConfig robExposed = GameTableConfig();
    robExposed.ruleFlags |= 0x1000u;
    Rig r({}, robExposed);
    const auto three = r.Give(1, {21, 21, 21});
    r.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});  // chair 0 waits on 21
    r.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12, 22, 23});  // so does chair 2
    const int32_t tile = r.Played(0, 21);
    r.OpenClaimWindow();
    r.RecordGang(MJRequest::Meld(1, 0, tile, three[0], three[1], three[2], 1));
    EXPECT_EQ(r.CanRobExposedGang(0, 0, tile), 0);  // the discarder
    EXPECT_EQ(r.CanRobExposedGang(2, 0, tile), 8);
    MJRequest own = MJRequest::Hu(0, 0, tile, 4, 1);
    EXPECT_EQ(r.CheckHuRequest(own), 0);
    r.SetTileStatus(tile, kTileGangClaimed);  // laid into the kong
    EXPECT_EQ(r.CanRobExposedGang(2, 0, tile), 0);
}

// A chair that let a kind pass since its last draw is offered no pung of it, and its request
// for one is refused too.
TEST(KeptGuards, APungRequestOnAKindLetPassIsRefused) {
    FixedTick clock;
    Rig r;
    const auto pair = r.Give(2, {9, 9});
    auto a = r.Give(0, {9});
    r.Discard(0, &a[0], 1);
    ASSERT_TRUE(r.ClaimFlags(2) & 1);
    for (int c = 0; c < 4; ++c) r.AnswerPass(c, 0);
    auto b = r.Give(3, {9});
    r.Discard(3, &b[0], 1);
    r.OpenClaimWindow();
    const auto pung = MJRequest::Meld(2, 3, b[0], pair[0], pair[1]);
    EXPECT_EQ(r.ClaimFlags(2) & 1, 0);
    EXPECT_EQ(r.CMJTable::CheckPengRequest(pung), 1);  // the plain table has no pass rule
    EXPECT_EQ(r.CheckPengRequest(pung), 0);
    r.DrawTile(2);  // its own draw forgets the pass
    EXPECT_EQ(r.PassCount(2, 9), 0);
    r.OpenClaimWindow();
    EXPECT_EQ(r.CheckPengRequest(pung), 1);
}

// The discarder is offered nothing on its own tile, though it could pung it or win on it: at
// the mahjong table its flags would hold every pung and chow on the tile for the claim time,
// and at both levels they would stand in the table state as offers.
TEST(KeptGuards, TheDiscarderIsOfferedNothingOnItsOwnTile) {
    for (const bool game : {false, true}) {
        FixedTick clock;
        Rig r;
        // Chair 0 lets one of three 9s go and keeps a pair of them, waiting on a 9.
        r.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 11, 11, 11, 9, 9});
        const int32_t nine = r.GiveOne(0, 9);
        HuResult res{};
        ASSERT_EQ(r.CheckHu(0, nine, &res, 2), 8);
        if (game)
            r.Discard(0, &nine, 1);
        else
            r.CMJTable::Discard(0, &nine, 1);
        r.OpenClaimWindow();
        ASSERT_EQ(r.CanPeng(0, nine), 1);
        EXPECT_EQ(r.ClaimFlags(0), 0) << game;
        std::vector<int32_t> state(kMJStateBytes / 4, 7);
        ASSERT_EQ(r.CMJTable::FillTableState(state.data(), kMJStateBytes, 0), 1);
        EXPECT_EQ(state[mj_state::kClaimFlags / 4], 0) << game;
        const auto pung = MJRequest::Meld(2, 0, nine, r.GiveOne(2, 12), r.GiveOne(2, 13));
        EXPECT_EQ(r.CMJTable::OthersMayStillHu(pung), 0) << game;
        EXPECT_EQ(r.CMJTable::OthersMayStillClaim(pung), 0) << game;
    }
}

// A win carried out without its check first (OnHuRequest counts its chair as asking) still
// keeps the pass rule: chair 2 let a 9 pass and may not win on the next 9 until it draws.
TEST(KeptGuards, AWinCarriedOutUncheckedKeepsThePassRule) {
    FixedTick clock;
    Rig r;
    r.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 9});
    auto a = r.Give(0, {9});
    r.Discard(0, &a[0], 1);
    for (int c = 0; c < 4; ++c) r.AnswerPass(c, 0);
    auto b = r.Give(3, {9});
    r.Discard(3, &b[0], 1);
    r.OpenClaimWindow();
    HuResult res{};
    ASSERT_GT(r.BestHu(2, b[0], &res, 1), 0);  // the hand wins on it
    EXPECT_EQ(r.OnHuRequest(MJRequest::Hu(2, 3, b[0], 1)), 0);
    EXPECT_EQ(r.Winners(), 0);
    EXPECT_EQ(r.WinValueOf(2), 0);
}

// RemoveUser empties the seat of a seated user, so no seat points at the record it deletes
// (under the address sanitizer a seat read after the removal would fail).
TEST(KeptGuards, RemovingAUserEmptiesHisSeat) {
    CCommonTable t(TableConfig{});
    ASSERT_EQ(t.AddPlayer(user(5, 10), 2), 1);
    ASSERT_EQ(t.AddLookerOn(user(6), 2), 1);
    t.RemoveUser(5);
    EXPECT_EQ(t.Seat(2), nullptr);
    EXPECT_EQ(t.UserIdAt(2), 0);
    EXPECT_EQ(t.CountSeated(), 0);
    EXPECT_EQ(t.FindPlayer(5), nullptr);
    EXPECT_TRUE(t.IsLookerOn(6));
    // The chair takes a new player.
    EXPECT_EQ(t.AddPlayer(user(7), 2), 1);
    EXPECT_EQ(t.UserIdAt(2), 7);
}

// A list that names a tile twice builds it into the set once: the second could never be found
// by its id again once drawn.
TEST(KeptGuards, ATileIdIsInTheSetOnce) {
    CCardTable t(TableConfig{}, CardConfig{});
    t.BuildTileSet({4, 9, 4, -1, 9, 13});
    ASSERT_EQ(t.Tiles().size(), 3u);
    EXPECT_EQ(t.TileAt(0), 4);
    EXPECT_EQ(t.TileAt(1), 9);
    EXPECT_EQ(t.TileAt(2), 13);
    EXPECT_EQ(t.PositionOf(13), 2);
    // Positions and ids outside the set name no tile rather than reading past it.
    EXPECT_EQ(t.TileAt(-1), -1);
    EXPECT_EQ(t.TileAt(3), -1);
    EXPECT_EQ(t.PositionOf(-1), -1);
    EXPECT_EQ(t.PositionOf(14), -1);
    t.BuildTileSet({13, 20});  // later ids join the set, those in it already do not
    ASSERT_EQ(t.Tiles().size(), 4u);
    EXPECT_EQ(t.PositionOf(20), 3);
}

// The room fee takes from a chair, never pays one: not a chair whose holdings and result come
// to less than nothing (mode 1), not a negative rate (mode 6).
TEST(KeptGuards, ARoomFeeIsNeverPaidOut) {
    FixedTick clock;
    struct Row {
        const char* what;
        int32_t mode, feePerHundred, minimum;
        int32_t holdings[4], results[4];
        int32_t fees[4], after[4];
    };
    const Row rows[] = {
        // Mode 1: chair 1 ends at -50, below nothing: it pays no fee; its shortfall of 100
        // (counted from nothing) and chair 2's of 30 come from the winner, chair 0.
        {"below nothing",
         1,
         0,
         100,
         {1000, 50, 70, 1000},
         {300, -100, 0, -200},
         {100 + 130, 0, 70, 100},
         {300 - 100 - 130, -100, -70, -300}},
        // Mode 6: a negative rate takes nothing and gives nothing.
        {"negative rate",
         6,
         -10,
         0,
         {0, 0, 0, 0},
         {20000, -20000, 0, 0},
         {0, 0, 0, 0},
         {20000, -20000, 0, 0}},
    };
    for (const Row& row : rows) {
        CCommonTable t(TableConfig{});
        for (int c = 0; c < 4; ++c) t.AddPlayer(user(30 + c, 0, 100000), c);
        GameParams p;
        p.settleMode = row.mode;
        p.feePerHundred = row.feePerHundred;
        p.minHoldingsMode1 = row.minimum;
        ASSERT_EQ(t.StartGame(nullptr, p), 1);
        int32_t results[4], fees[4] = {};
        std::copy(std::begin(row.results), std::end(row.results), results);
        int32_t total = t.ApplyRoomFee(row.holdings, results, fees);
        int32_t sum = 0;
        for (int c = 0; c < 4; ++c) {
            EXPECT_GE(fees[c], 0) << row.what << c;
            EXPECT_EQ(fees[c], row.fees[c]) << row.what << c;
            EXPECT_EQ(results[c], row.after[c]) << row.what << c;
            sum += fees[c];
        }
        EXPECT_EQ(total, sum) << row.what;
    }
}

// "test.ini" is read as the profile functions read it: section and key names in any case,
// blanks around them and the value, comment lines, the first of a repeated key; a write
// replaces the key whatever its case.
TEST(KeptGuards, TheTestDealFileIsReadAsTheProfileFunctionsReadIt) {
    const TestIniFolder folder("hqlv_rules_profile_ini");
    const std::filesystem::path& ini = folder.ini;
    CCardTable t(TableConfig{}, CardConfig{}, folder.hooks);
    std::ofstream(ini) << "[other]\r\nMade=0\r\n [ card ] \r\n; Made=0\r\n  made = 1 \r\n"
                          "TOTAL =\t2|1|0| \r\ntotal=5|\r\nbanker = 3\r\n";
    std::vector<int32_t> ids(136);
    for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
    EXPECT_EQ(t.LoadTestDeal(ids), 1);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);
    EXPECT_EQ(ids[3], 3);
    int32_t v = 0;
    EXPECT_EQ(t.TestIniInt("Banker", v), 3);
    // Off: the deal is written over the key as it stands in the file, not beside it.
    std::ofstream(ini) << "[CARD]\nMADE=0\ntotal=9|\n[Other]\ntotal=7|\n";
    EXPECT_EQ(t.LoadTestDeal(ids), 0);
    std::ifstream in(ini);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>{});
    EXPECT_EQ(text.find("total=9|"), std::string::npos);
    const size_t written = text.find("Total=2|1|0|3|");
    ASSERT_NE(written, std::string::npos);
    EXPECT_LT(written, text.find("[Other]"));
    EXPECT_NE(text.find("total=7|"), std::string::npos);  // another section's key stays
}

}  // namespace

namespace {

using namespace hqlv::rules;
using rig::Rig;

// A tile id of no kind is no winning tile: a complete hand asked about it self-drawn would
// otherwise win on a tile that does not exist. -1 still asks about the hand as it stands.
TEST(KeptGuards, AWinOnATileOfNoKindIsNone) {
    Rig r;
    const auto hand = r.Give(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 11, 21, 21});
    HuResult res{};
    EXPECT_EQ(r.CheckSpecialHu(0, hand[13], &res, 2), 8);
    for (const int32_t noTile : {152, 200, 5000, INT32_MAX}) {
        EXPECT_EQ(r.CheckSpecialHu(0, noTile, &res, 2), 0) << noTile;
        EXPECT_EQ(r.BestHu(0, noTile, &res, 2), 0) << noTile;
    }
    CountTable counts{};
    std::copy(r.Counts(0), r.Counts(0) + kIndexCount, counts);
    EXPECT_EQ(r.CheckHuCounts(counts, -1, &res, 2, 0, false), 8);
}

// A count table of more tiles than any hand holds never wins, however it splits.
TEST(KeptGuards, AHandOfMoreTilesThanAnyHandHoldsNeverWins) {
    Rig r;
    CountTable counts{};
    for (const int kind : {1, 4, 7, 11, 14, 17}) counts[kind] = 3;  // six triplets
    counts[21] = 1;
    HuResult res{};
    EXPECT_EQ(r.CheckHuCounts(counts, idOf(21, 0), &res, 1, 0, false), 0);  // 20 tiles
    counts[17] = 0;                                                         // 17 tiles
    EXPECT_EQ(r.CheckHuCounts(counts, idOf(21, 0), &res, 1, 0, false), 8);
}

// Two fours held and two triplets: no pair, so no winning hand, on a discard or self-drawn.
TEST(KeptGuards, FoursAndTripletsWithoutAPairAreNoWin) {
    HuResult res{};
    Rig r;
    r.Give(0, {1, 1, 1, 1, 5, 5, 5, 5, 21, 21, 21, 31, 31});
    const int32_t tile = r.Played(1, 31);
    EXPECT_EQ(r.CheckSpecialHu(0, tile, &res, 1), 0);
    EXPECT_EQ(r.BestHu(0, tile, &res, 1), 0);
    Rig s;
    const auto own = s.Give(0, {1, 1, 1, 1, 5, 5, 5, 5, 21, 21, 21, 31, 31, 31});
    EXPECT_EQ(s.CheckSpecialHu(0, own[13], &res, 2), 0);
    // The same tiles with a pair in place of a four win.
    Rig w;
    w.Give(0, {1, 1, 1, 5, 5, 5, 5, 21, 21, 21, 31, 31, 31});
    EXPECT_EQ(w.CheckSpecialHu(0, w.Played(1, 1), &res, 1), 0);  // 1111 5555: still no pair
    Rig v;
    v.Give(0, {1, 1, 5, 5, 5, 5, 21, 21, 21, 31, 31, 31, 33});
    EXPECT_EQ(v.CheckSpecialHu(0, v.Played(1, 1), &res, 1), 0);  // 33 alone
    Rig u;
    u.Give(0, {1, 1, 5, 5, 5, 21, 21, 21, 31, 31, 31, 33, 33});
    EXPECT_EQ(u.CheckSpecialHu(0, u.Played(1, 33), &res, 1), 8);
}

// A seven-pairs hand is offered the win on a discard and its request is accepted.
TEST(KeptGuards, ASevenPairsHandIsOfferedAndAcceptedAsAWin) {
    Rig r;
    r.Give(2, {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25});
    auto t = r.Give(0, {25});
    r.Discard(0, &t[0], 1);
    r.OpenClaimWindow();
    EXPECT_TRUE(r.ClaimFlags(2) & 8);
    MJRequest hu = MJRequest::Hu(2, 0, t[0], 1);
    EXPECT_EQ(r.CheckHuRequest(hu), 8);
    EXPECT_EQ(r.OnHuRequest(hu), 1);
    EXPECT_EQ(r.FirstWinner(), 2);
}

// A result with no units is no hand, and no hand of triplets.
TEST(KeptGuards, AResultWithNoUnitsIsNoHandOfTriplets) {
    Rig r;
    HuResult none{};
    EXPECT_EQ(r.IsAllTriplets(0, -1, &none, 1), 0);
    EXPECT_EQ(none.handType & 0x1000, 0);
    HuResult one{};
    MJ_AddUnitTiles(&one, kUnitPair, 5, 5, 0, 0);
    EXPECT_EQ(r.IsAllTriplets(0, -1, &one, 1), 0x1000);
}

}  // namespace

namespace {

using namespace hqlv::rules;
using rig::idOf;
using rig::Rig;

// Chair 0 lays a meld of the 4th dragon kind by the table's own operations: a pung or an
// exposed kong of chair 2's discard, a concealed kong, or a pung of that discard and then its
// fourth tile added.
template <class Table>
void LayByTheRules(Table& t, MeldList list) {
    const int32_t a = t.GiveOne(0, 31), b = t.GiveOne(0, 31), c = t.GiveOne(0, 31);
    const int32_t d = t.GiveOne(list == kAnGang ? 0 : 2, 31);
    ASSERT_GE(std::min({a, b, c, d}), 0);
    if (list == kAnGang) {
        t.OnAnGang(MJRequest::Meld(0, 0, d, a, b, c, 4));
        return;
    }
    t.Discard(2, &d, 1);
    if (list == kMingGang) {
        t.OnMingGang(MJRequest::Meld(0, 2, d, a, b, c, 1));
        return;
    }
    t.OnPeng(MJRequest::Meld(0, 2, d, a, b));
    if (list == kBuGang) t.OnBuGang(MJRequest::Meld(0, 0, c, a, b, d, 2));
}

// A hand with an added kong is not concealed at the mahjong level either: the kong stands on
// its claimed pung, which stays in the pung list. A concealed kong keeps the hand concealed.
TEST(KeptGuards, AnAddedKongLeavesNoHandConcealed) {
    struct Row {
        MeldList list;
        int32_t bit;
    };
    for (const Row row :
         {Row{kBuGang, 0}, Row{kAnGang, 0x10000000}, Row{kPeng, 0}, Row{kMingGang, 0}}) {
        chain::MJ m(GameTableConfig().ruleFlags, 0x10000000);
        m.Fresh();
        LayByTheRules(m, row.list);
        ASSERT_EQ(m.melds_[0][row.list].size(), 1u) << row.list;
        HuResult res{};
        EXPECT_EQ(m.IsConcealedHand(0, -1, &res, 2), row.bit) << row.list;
        EXPECT_EQ(res.handType & 0x10000000, row.bit) << row.list;
        // This game's level, self-drawn, the same.
        Rig r;
        LayByTheRules(r, row.list);
        ASSERT_EQ(r.Melds(0, row.list).size(), 1u) << row.list;
        HuResult ex{};
        EXPECT_EQ(r.IsConcealedHand(0, -1, &ex, 2), row.bit) << row.list;
    }
}

// Numbers of "test.ini" past the 32-bit range stand at the range's end, as far as they go:
// a "Made" of 2^32 still switches the test deal on (cut to its low bits it would be 0, and
// the file would be written over), and a value keeps its sign.
TEST(KeptGuards, TestDealNumbersPastTheIntegerRangeStandAtItsEnd) {
    const TestIniFolder folder("hqlv_rules_ini_range");
    const std::filesystem::path& ini = folder.ini;
    CCardTable t(TableConfig{}, CardConfig{}, folder.hooks);
    for (const char* made : {"4294967296", "-4294967296", "99999999999999999999999", "1"}) {
        std::ofstream(ini) << "[Card]\nMade=" << made << "\nTotal=2|1|0|\n"
                           << "Big=4294967297\nLow=-4294967297\nSeven=7x\n";
        std::vector<int32_t> ids(136);
        for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
        EXPECT_EQ(t.LoadTestDeal(ids), 1) << made;
        EXPECT_EQ(ids[0], 2) << made;
        int32_t v = 0;
        EXPECT_EQ(t.TestIniInt("Big", v), INT32_MAX) << made;
        EXPECT_EQ(t.TestIniInt("Low", v), INT32_MIN) << made;
        EXPECT_EQ(t.TestIniInt("Seven", v), 7) << made;
        std::ifstream in(ini);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>{});
        EXPECT_NE(text.find("Total=2|1|0|\n"), std::string::npos) << made;  // not written over
    }
}

}  // namespace
