// An added kong stands on its pung: the pung stays in the pung list, so the table state a
// returning client rebuilds from carries both, the kong's feeder is found by it, and every
// reader that adds up the melds takes the kong once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table_rig.h"

namespace {

using namespace rig;

// Words of the player's table state: chair blocks of 282 words from word 49 (lists of six
// 7-word entries, 42 words a list), then seven counts a chair.
constexpr size_t kBlock = 49, kChairWords = 282, kCounts = 49 + 4 * 282;

TEST(AddedKong, StandsOnItsPungAndCountsOnce) {
    std::vector<std::string> lines;
    TableHooks hooks;
    hooks.log = [&](const std::string& l) { lines.push_back(l); };
    Rig r(hooks);
    const MJRequest bu = r.AddedKongOf21();  // the pung was claimed from chair 1
    ASSERT_EQ(r.CheckBuGangRequest(bu), 1);
    r.OnBuGang(bu);
    const Meld pung = r.Melds(0, kPeng).at(0);
    const Meld kong = r.Melds(0, kBuGang).at(0);
    EXPECT_EQ((std::vector<int32_t>{kong.tiles[0], kong.tiles[1], kong.tiles[2], kong.tiles[3]}),
              (std::vector<int32_t>{pung.tiles[0], pung.tiles[1], pung.tiles[2], bu.tile()}));
    EXPECT_EQ(kong.source, 1);
    EXPECT_EQ(r.KongFeeder(), 1);
    r.OnBuGang(bu);  // carried out again: the pung holds its kong already
    EXPECT_EQ(r.Melds(0, kBuGang).size(), 1u);
    // The player's state carries the pung and the kong, each in its list.
    std::vector<int32_t> state(Rig::kPlayerStateBytes / 4);
    r.FillPlayerState(state.data(), Rig::kPlayerStateBytes, 0, false);
    EXPECT_EQ(state[kCounts + kPeng], 1);
    EXPECT_EQ(state[kCounts + kBuGang], 1);
    EXPECT_EQ(state[kBlock + 42 * kPeng + 2], pung.tiles[2]);
    EXPECT_EQ(state[kBlock + 42 * kBuGang + 3], bu.tile());
    EXPECT_EQ(state[kBlock + kChairWords + 42 * kBuGang + 3], -1);  // chair 1 has none
    // Four tiles of the kind, one triplet of a win.
    int32_t all[64];
    EXPECT_EQ(r.HeldWithMelds(0, all), 4);
    EXPECT_EQ(all[21], 4);
    HuResult res{};
    EXPECT_EQ(r.UnitsFromMelds(0, &res, 1), 1);
    EXPECT_EQ(res.units[0].tiles[0], 21);
    // The pung's chair pays the kong and its extra, once.
    int32_t points[4] = {};
    r.SettleKongs(nullptr, 0, 0, points);
    EXPECT_EQ((std::vector<int32_t>(points, points + 4)), (std::vector<int32_t>{2, -2, 0, 0}));
    // The state's log lists the pung and the kong.
    r.LogGameInfo();
    bool listed = false;
    for (const std::string& l : lines)
        listed |= l == "LayDownUnit碰" + std::to_string(pung.tiles[2]) + ",碰杠" +
                           std::to_string(bu.tile()) + ",";
    EXPECT_TRUE(listed);
}

// What only the pung's staying could let in: another tile added to a pung that already holds
// its kong; and what the settlement does without the pung: nothing to pay.
TEST(AddedKong, APungUnderItsKongTakesNoMoreAndAKongWithoutItsPungPaysNothing) {
    Rig r;
    r.Lay(0, kPeng, 7, 2);
    const Meld pung = r.Melds(0, kPeng)[0];
    const int32_t held = r.GiveOne(0, 7);
    const MJRequest bu =
        MJRequest::Meld(0, 0, held, pung.tiles[0], pung.tiles[1], pung.tiles[2], 2);
    ASSERT_EQ(r.CheckBuGangRequest(bu), 1);
    Meld kong = pung;
    kong.tiles[3] = idOf(8, 0);  // a kong already laid on the pung
    r.melds_[0][kBuGang].push_back(kong);
    EXPECT_EQ(r.CheckBuGangRequest(bu), 0);
    Rig k;
    Meld alone;
    for (int c = 0; c < 4; ++c) alone.tiles[c] = idOf(9, c);
    alone.source = 3;
    k.melds_[0][kBuGang].push_back(alone);
    int32_t points[4] = {};
    k.SettleKongs(nullptr, 0, 0, points);
    EXPECT_EQ((std::vector<int32_t>(points, points + 4)), (std::vector<int32_t>{0, 0, 0, 0}));
}

}  // namespace
