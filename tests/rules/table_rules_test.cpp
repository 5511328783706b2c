// The wall's shuffle, the groups of chairs, a game table on its own, the settlement at other
// table sizes, the robbing list's kind word, the card level's shapes and values, the draw
// from the head past the joker's place, and which kinds form runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "hands.h"
#include "rules/claims.h"
#include "rules/common.h"
#include "rules/table_card.h"
#include "rules/table_ex.h"
#include "rules/tiles.h"
#include "table_rig.h"

namespace {

using namespace hqlv::rules;
using rig::Rig;

std::vector<int32_t> iotaOf(int32_t n) {
    std::vector<int32_t> v(static_cast<size_t>(std::max(n, 0)));
    std::iota(v.begin(), v.end(), 0);
    return v;
}

// --- The wall -------------------------------------------------------------------------------

TEST(Wall, ShuffleWallOrdersEveryValueOnce) {
    const struct {
        int32_t n, extra, want;
    } rows[] = {{136, 0, 136}, {4, 2, 6}, {1, 0, 1}, {0, 1, 1}, {0, 0, 0}, {-3, 2, 0}, {5, -5, 0}};
    for (const auto& row : rows) {
        std::vector<int32_t> order;
        EXPECT_EQ(CMJTableEx::ShuffleWall(order, row.n, 7, row.extra), row.want) << row.n;
        EXPECT_TRUE(std::ranges::is_permutation(order, iotaOf(row.want)))
            << row.n << " " << row.extra;
    }
    // An order of 136 tiles that came out sorted would be no shuffle.
    SeedRandom(3);
    std::vector<int32_t> order;
    CMJTableEx::ShuffleWall(order, 136, 0, 0);
    EXPECT_NE(order, iotaOf(136));
}

// Seats in chair 0 a user whose record carries `further1` and `further2`.
void seatFirst(CMJTableEx& t, int32_t further1, int32_t further2) {
    auto u = std::make_unique<TableUser>();
    u->userId = 9;
    u->further1 = further1;
    u->further2 = further2;
    ASSERT_EQ(t.AddPlayer(std::move(u), 0), 1);
}

TEST(Wall, TheGameTablesWallIsShuffleWallsOrder) {
    CMJTableEx t;
    seatFirst(t, 3, 4);
    EXPECT_EQ(t.ShuffleSeed(), 3 + 10 * 4);
    SeedRandom(11);
    std::vector<int32_t> want;
    ASSERT_EQ(CMJTableEx::ShuffleWall(want, 136, t.ShuffleSeed(), 0), 136);
    SeedRandom(11);
    t.Shuffle();
    for (int32_t pos = 0; pos < 136; ++pos)
        ASSERT_EQ(t.TileAt(pos), want[static_cast<size_t>(pos)]) << pos;
    EXPECT_EQ(t.IsCompleteSet(), 1);
}

// The game server that the client's tests play against fixes its walls through the test deal
// of this game's table, so its shuffle takes one like the card table's.
TEST(Wall, TheGameTablesShuffleTakesTheTestDealTheServerFixesItsWallsWith) {
    const rig::TestIniFolder folder("hqlv_rules_wall_deal");
    std::string reversed;
    for (int k = 135; k >= 0; --k) reversed += std::to_string(k) + "|";
    std::ofstream(folder.ini) << "[Card]\nMade=1\nTotal=" << reversed << "\n";
    CMJTableEx t(folder.hooks);
    t.Shuffle();
    for (int32_t pos = 0; pos < 136; ++pos) ASSERT_EQ(t.TileAt(pos), 135 - pos) << pos;
}

TEST(Wall, TheShuffleSeedWrapsAndIsZeroForAnEmptyChair) {
    CMJTableEx t;
    EXPECT_EQ(t.ShuffleSeed(), 0);
    seatFirst(t, INT32_MAX, 1);
    EXPECT_EQ(t.ShuffleSeed(), INT32_MIN + 9);
}

// --- Groups of chairs -----------------------------------------------------------------------

TEST(Groups, EightChairsInTheirOwnGroupsAreEightGroups) {
    TableConfig eight;
    eight.chairCount = 8;
    CCommonTable t(eight);
    EXPECT_EQ(t.CountGroups(), 0);  // no chair in a group yet
    t.OwnGroups();
    EXPECT_EQ(t.CountGroups(), 8);
    for (int32_t n = 0; n < 8; ++n) EXPECT_EQ(t.CountInGroup(n), 1) << n;
    EXPECT_EQ(t.CountInGroup(8), 0);
    EXPECT_EQ(t.CountInGroup(-1), 0);
    // An id outside 0 to 7 is no group, the chair in it counted nowhere.
    t.SetGroup(7, 8);
    EXPECT_EQ(t.CountGroups(), 7);
    t.SetGroup(6, -1);
    EXPECT_EQ(t.CountGroups(), 6);
    // Two chairs share group 0: the first group holds both.
    t.SetGroup(5, 0);
    EXPECT_EQ(t.CountGroups(), 5);
    EXPECT_EQ(t.CountInGroup(0), 2);
    EXPECT_EQ(t.CountInGroup(4), 1);  // group 4, the last one in use
    EXPECT_EQ(t.CountInGroup(5), 0);
}

// --- This game's table on its own -----------------------------------------------------------

TEST(GameTable, BuiltAndDestroyedAloneLeavesOnlyTheTileCallbacks) {
    MJ_TileCallbacks other = MJ_DefaultTileCallbacks();
    other.Shape = [](int32_t, int32_t) { return 2; };
    MJ_SetTileCallbacks(other);
    {
        CMJTableEx t;  // no hooks, no players, no clock set
        EXPECT_EQ(t.ChairCount(), 4);
        EXPECT_EQ(t.RuleFlags(), 0x900C2100u);
        EXPECT_EQ(t.Config().gameId, -1);
        EXPECT_EQ(t.Config().tableKey, -1);
        EXPECT_EQ(t.Config().counterLimit, 3);
        EXPECT_EQ(t.Banker(), 0);
        EXPECT_EQ(t.KongFeeder(), -1);
    }
    const MJ_TileCallbacks& now = MJ_GetTileCallbacks();
    EXPECT_EQ(now.Shape, MJ_DefaultTileCallbacks().Shape);
    EXPECT_EQ(now.Shape(108, 0), 3);
}

// --- Settlement at any table size -----------------------------------------------------------

// The points of a settlement at a table of `chairs` chairs after `lay` set the deal up; the
// zero-sum check must log nothing.
std::vector<int32_t> settled(int32_t chairs, void (*lay)(Rig&)) {
    std::vector<std::string> lines;
    TableHooks hooks;
    hooks.log = [&](const std::string& l) { lines.push_back(l); };
    TableConfig config = GameTableConfig();
    config.chairCount = chairs;
    Rig r(hooks, config);
    lay(r);
    int32_t points[4] = {};
    r.SettleWinPoints(nullptr, 0, 0, points);
    EXPECT_TRUE(lines.empty()) << chairs;
    return std::vector<int32_t>(points, points + 4);
}

TEST(Settlement, ASelfDrawnWinCreatesNoPointsAtAnyTableSize) {
    auto selfDrawn = [](Rig& r) {
        r.SetFans(1, {{2, 10}});
        r.winners_ = 1, r.firstWinner_ = 1, r.mode_ = 0x2000000;
    };
    EXPECT_EQ(settled(4, selfDrawn), (std::vector<int32_t>{-10, 30, -10, -10}));
    EXPECT_EQ(settled(3, selfDrawn), (std::vector<int32_t>{-10, 20, -10, 0}));
    EXPECT_EQ(settled(2, selfDrawn), (std::vector<int32_t>{-10, 10, 0, 0}));
}

TEST(Settlement, AConcealedKongCreatesNoPointsAtAnyTableSize) {
    auto kongs = [](Rig& r) {
        r.Lay(0, kAnGang, 5, 0);
        r.kongUnits_[0] = 1;  // one unit more, paid like a concealed kong
    };
    EXPECT_EQ(settled(4, kongs), (std::vector<int32_t>{6, -2, -2, -2}));
    EXPECT_EQ(settled(3, kongs), (std::vector<int32_t>{4, -2, -2, 0}));
}

// --- Robbing a kong ------------------------------------------------------------------------

TEST(RobbingList, TheHeadNamesTheKongsKindNotAHandTile) {
    // Chair 0 adds the fourth 21 to its pung; chair 2 waits on 21 through 22-23.
    Rig s;
    const MJRequest bu = s.AddedKongOf21();
    const int32_t t4 = bu.tile();
    ASSERT_EQ(s.CheckBuGangRequest(bu), 1);
    s.RecordGang(bu);
    int32_t out[8] = {};
    EXPECT_EQ(s.ListHuClaims(bu, out), 1);
    const int32_t head[4] = {0, 0, t4, 2};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(out[k], head[k]) << k;
    EXPECT_EQ(out[4 + 1], 0);
    // The plain mahjong table's list has the same head.
    int32_t plain[8] = {};
    EXPECT_EQ(s.CMJTable::ListHuClaims(bu, plain), 1);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(plain[k], head[k]) << k;
    // A kong on a discard names kind 1, where a table lets such a kong be robbed.
    TableConfig robExposed = GameTableConfig();
    robExposed.ruleFlags |= 0x1000u;
    Rig e({}, robExposed);
    const auto three = e.Give(1, {21, 21, 21});
    e.Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
    const int32_t tile = e.Played(0, 21);
    const auto ming = MJRequest::Meld(1, 0, tile, three[0], three[1], three[2], 1);
    int32_t list[8] = {};
    EXPECT_EQ(e.ListHuClaims(ming, list), 1);
    EXPECT_EQ(list[3], 1);
    EXPECT_EQ(list[4 + 2], 8);
}

// --- Claim waiting -------------------------------------------------------------------------

TEST(ClaimWaiting, AnAnsweredChairsFlagsStillOutrankARequest) {
    Rig r;
    const MJRequest pung = r.PungBehindAWin();
    r.OpenClaimWindow();
    ASSERT_TRUE(r.ClaimFlags(1) & 8);
    // Chair 1 has answered: it asked for its win, which waits.
    r.passed_[1] = 1;
    r.waitOpe_[1] = 400;
    EXPECT_EQ(r.OthersMayStillHu(pung), 1);
    EXPECT_EQ(r.WaitOpe(2), 200 - 1);
    EXPECT_TRUE(r.Answered(2));
    EXPECT_EQ(r.CheckPengRequest(pung), 0);
    // Had chair 1 passed (its flags cleared), nothing would outrank the pung.
    r.pgch_[1] = 0;
    r.waitOpe_[1] = r.waitOpe_[2] = 0;
    EXPECT_EQ(r.OthersMayStillHu(pung), 0);
    EXPECT_EQ(r.CheckPengRequest(pung), 1);
}

// Only a chair that the request does not name can make it wait: neither the requester's own
// flags nor the discarder's count, whatever they rank.
TEST(ClaimWaiting, OnlyAChairTheRequestDoesNotNameMakesItWait) {
    using Op = int32_t (CMJTableEx::*)(const MJRequest&);
    for (Op op : {&CMJTableEx::OthersMayStillHu, &CMJTableEx::OthersMayStillClaim,
                  &CMJTableEx::SomeoneCanHuDiscard}) {
        Rig r;
        auto t = r.Give(3, {19});
        r.Discard(3, &t[0], 1);
        const auto req = MJRequest::Meld(2, 3, t[0], -1, -1);
        for (int c = 0; c < 4; ++c) r.pgch_[c] = c == 2 || c == 3 ? 8 : 0;
        EXPECT_EQ((r.*op)(req), 0);
        r.pgch_[1] = 8;
        EXPECT_EQ((r.*op)(req), 1);
    }
}

// --- The card level's shapes and values -----------------------------------------------------

TEST(CardTable, EveryIdIsOfShapeZeroAndAnIdOfNoTileHasNoKind) {
    CCardTable t(TableConfig{}, CardConfig{});
    for (int32_t id : {-1, 0, 5, 135, INT32_MIN, INT32_MAX}) EXPECT_EQ(t.ShapeOf(id), 0) << id;
    EXPECT_EQ(t.KindIndexOf(-1), -1);
    EXPECT_EQ(t.KindIndexOf(INT32_MIN), -1);
    EXPECT_EQ(t.KindIndexOf(5), 6);
    EXPECT_EQ(t.ValueOf(-1), 0);
    EXPECT_EQ(t.ValueOf(11), 12);
    // An id from a request may be the largest number: its value wraps, no overflow.
    EXPECT_EQ(t.ValueOf(INT32_MAX), INT32_MIN);
    EXPECT_EQ(t.KindIndexOf(INT32_MAX), -1);
    EXPECT_EQ(t.CardPoints(INT32_MAX), 0);
}

// --- Drawing from the head -----------------------------------------------------------------

// A draw from the tail took the joker's tile out: the head steps over its place, and the draw
// ends the kong's feeding.
TEST(DrawTile, AJokerPlaceWhoseTileIsGoneIsSteppedOverNotAnsweredForEver) {
    Rig r;
    r.headPos_ = 30, r.jokerPos_ = 30;
    r.SetTileStatus(30, kTilePlayed);
    r.kongFeeder_ = 1;
    EXPECT_EQ(r.DrawTile(2), 31);
    EXPECT_EQ(r.StatusOf(31), kTileHeld);
    EXPECT_EQ(r.HeadPosition(), 32);
    EXPECT_EQ(r.KongFeeder(), -1);
    EXPECT_EQ(r.StatusOf(30), kTilePlayed);
}

// --- Runs ----------------------------------------------------------------------------------

TEST(TileModel, RunsAreOfSuitTilesOnlySoFlowersAndIndexesPastTheSuitsFormNone) {
    hands::Counts flowers{41, 42, 43, 44, 45};
    for (int k : {41, 42, 43, 44, 45}) EXPECT_EQ(MJ_CanFormSuitRun(flowers, k), 0) << k;
    // A chow on a flower is never offered, however many flowers the hand holds.
    const int32_t held[] = {136 + 0, 136 + 2, -1};  // flowers of index 41 and 43
    int32_t out[6];
    EXPECT_EQ(MJ_CanChi(held, 3, 136 + 1, -1, -1, 0, out, 6), 0);
    EXPECT_EQ(out[0], -1);
    // The top of the table: nothing is read past its 64 counts.
    hands::Counts top{61, 62, 63};
    for (int k : {61, 62, 63}) EXPECT_EQ(MJ_CanFormSuitRun(top, k), 0) << k;
    // The suits' last index still forms its run; the index after it forms none.
    hands::Counts last{27, 28, 29};
    EXPECT_EQ(MJ_CanFormSuitRun(last, 29), 1);
    last[30] = 1;
    EXPECT_EQ(MJ_CanFormSuitRun(last, 30), 0);
}

}  // namespace
