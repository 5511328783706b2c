// The deal library without sockets: four server-driven players on a fake clock.
#include "tools/server/mahjong/deal.h"

#include <gtest/gtest.h>

#include <cstring>

#include "deal_rig.h"
#include "platform/core/text.h"
#include "rules/common.h"
#include "rules/table_ex.h"

namespace {

using namespace hqlv::server::mj;
using testrig::DealRig;

TEST(MahjongDeal, ThousandSeededBotDealsEndBalancedWithEveryTileInOnePlace) {
    int wins = 0, drawn = 0, pungs = 0, kongs = 0, replacedByTileZero = 0;
    for (uint32_t seed = 1; seed <= 1000; ++seed) {
        hqlv::rules::SeedRandom(seed);
        DealRig rig;
        // Every step sends a notice: the tiles are checked at each.
        std::string fault;
        rig.onNote = [&] {
            if (fault.empty()) fault = rig.deal.CheckTiles();
        };
        for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 900001 + c, true);
        ASSERT_TRUE(rig.deal.Start()) << seed;
        for (int k = 0; k < 300 && rig.deal.Running(); ++k) rig.Advance(1);
        ASSERT_TRUE(rig.deal.Over()) << "seed " << seed << " stalled";
        ASSERT_LE(rig.deal.Steps(), 300) << "seed " << seed;
        ASSERT_EQ(fault, "") << "seed " << seed;
        const auto& r = rig.deal.Result();
        ASSERT_EQ(r.size(), 4u * 172 + 1652);
        int64_t sum = 0;
        for (int c = 0; c < 4; ++c) sum += testrig::Word(r, 14 + c);
        ASSERT_EQ(sum, 0) << "seed " << seed;
        // A deal ends without a winner only when the wall is used up.
        if (testrig::Word(r, 700 / 4) == 0) {
            ASSERT_TRUE(rig.deal.Table().IsWallUsedUp()) << "seed " << seed;
        }
        // A server-driven drawer whose draw wins takes the win at once.
        for (size_t k = 0; k + 1 < rig.notes.size(); ++k) {
            const auto& n = rig.notes[k];
            if (n.code == 229160 && n.owner >= 0 && testrig::Word(n.body, 3) == 8) {
                size_t next = k + 1;  // past the others' copy of the draw
                while (next + 1 < rig.notes.size() && rig.notes[next].code == 229160) ++next;
                ASSERT_EQ(rig.notes[next].code, 211080) << "seed " << seed;
            }
        }
        // The drawer's copy of a kong names its replacement and that tile's wall position.
        for (const auto& n : rig.notes) {
            if ((n.code != 229195 && n.code != 229197 && n.code != 229199) || n.owner < 0) continue;
            const int32_t tile = testrig::Word(n.body, 10);
            if (tile < 0) continue;
            replacedByTileZero += tile == 0;
            ASSERT_EQ(testrig::Word(n.body, 11), rig.deal.Table().PositionOf(tile)) << seed;
        }
        wins += testrig::Word(r, 700 / 4) > 0;
        drawn += testrig::Word(r, 700 / 4) == 0;
        pungs += rig.Count(229185),
            kongs += rig.Count(229195) + rig.Count(229197) + rig.Count(229199);
        ASSERT_EQ(rig.Count(211080), 1);
        // Every pung laid was announced as a pung, every exposed kong as a kong.
        int kongAnnounced = 0, exposedLaid = 0;
        for (const auto& n : rig.notes) {
            kongAnnounced += n.code == 229180 && testrig::Word(n.body, 3) == 1;
            exposedLaid += n.code == 229195 && n.owner >= 0;
        }
        ASSERT_GE(rig.Count(229170), rig.Count(229185)) << seed;
        ASSERT_GE(kongAnnounced, exposedLaid) << seed;
    }
    EXPECT_GT(wins, 0);
    EXPECT_GT(drawn, 0);
    EXPECT_GT(pungs, 0);
    EXPECT_GT(kongs, 0);
    EXPECT_GT(replacedByTileZero, 0);  // tile id 0 is a tile like any other
}

// The clocks in a deal record are the server's options, so a client counts down as it does.
TEST(MahjongDeal, RecordsCarryTheConfiguredTurnClaimAndGraceSeconds) {
    hqlv::rules::SeedRandom(3);
    DealOptions o = DealRig::Fast();
    o.turnSeconds = 15;
    o.claimSeconds = 9;
    o.graceSeconds = 4;
    DealRig rig(o);
    for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 900001 + c, c != 0);
    ASSERT_TRUE(rig.deal.Start());
    int records = 0;
    for (const auto& n : rig.notes) {
        if (n.code != 211040) continue;
        ++records;
        EXPECT_EQ(testrig::Word(n.body, 18), 15);
        EXPECT_EQ(testrig::Word(n.body, 39), 9);
        EXPECT_EQ(testrig::Word(n.body, 40), 4);
    }
    EXPECT_EQ(records, 5);  // four chairs and the lookers-on
    const auto state = rig.deal.PlayerState(0);
    EXPECT_EQ(testrig::Word(state, 18), 15);
    EXPECT_EQ(testrig::Word(state, 39), 9);
    EXPECT_EQ(testrig::Word(state, 40), 4);
}

// The server's own players are the rules' computer-controlled players (user flag 1); a player
// whose seat the server only drives while the player is away stays a player.
TEST(MahjongDeal, ServerDrivenSeatsAreTheRulesComputerPlayers) {
    DealRig rig;
    rig.deal.SetSeat(0, 5001, false);
    for (int c = 1; c < kChairs; ++c) rig.deal.SetSeat(c, 900001 + c, true);
    rig.deal.SetDriven(0, true);
    const auto& t = rig.deal.Table();
    for (int c = 0; c < kChairs; ++c) EXPECT_EQ(t.Seat(c)->flags, c == 0 ? 0 : 1) << c;
    int32_t ids[kChairs] = {};
    const int32_t gains[kChairs] = {5, 5, 0, 5};
    ASSERT_EQ(t.ListComputerPlayers(ids, gains), 2);
    EXPECT_EQ(ids[0], 900002);
    EXPECT_EQ(ids[1], 900004);
    EXPECT_EQ(ids[2], -1);
}

}  // namespace

namespace {

// The result's fan names reach the client as GBK, the wire's text: every name of the rule
// classes, in order, between '|' separators, and a terminator inside the field.
TEST(MahjongDeal, ResultFanNamesAreGbkOnTheWire) {
    hqlv::rules::SeedRandom(3);
    DealRig rig;
    for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 900001 + c, true);
    ASSERT_TRUE(rig.deal.Start());
    for (int k = 0; k < 300 && rig.deal.Running(); ++k) rig.Advance(1);
    ASSERT_TRUE(rig.deal.Over());
    const auto& r = rig.deal.Result();
    const char* field = reinterpret_cast<const char*>(r.data()) + hqlv::rules::kFanNamesOffset;
    const size_t n = strnlen(field, hqlv::rules::kFanNamesBytes);
    ASSERT_LT(n, size_t(hqlv::rules::kFanNamesBytes));
    std::string expected;
    for (const auto& fan : hqlv::rules::kFans) {
        if (!expected.empty()) expected += '|';
        expected += fan.name;
    }
    EXPECT_EQ(hqlv::platform::gbkToUtf8(std::string_view(field, n)), expected);
    EXPECT_EQ(std::string_view(field, 4), "\xC6\xA8\xBA\xFA");  // 屁胡 in GBK
}

}  // namespace
