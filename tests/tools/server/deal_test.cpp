// The deal library without sockets: four server-driven players on a fake clock.
#include "tools/server/mahjong/deal.h"

#include <gtest/gtest.h>

#include <cstring>

#include "deal_rig.h"
#include "platform/core/text.h"
#include "rules/common.h"
#include "rules/table_ex.h"
#include "tools/stand_ins.h"

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

namespace {

// Settled deals carry the players' standing: each result names every chair's score and
// silver before the deal (words 40 and 48 on), its level (96 on) and level title (16 bytes
// from byte 416); the next deal starts from the sums. With a silver stake the silver moves
// too, and every deal's changes balance.
TEST(MahjongDeal, SettledDealsCarryTheStandingAndTheLevelTitles) {
    hqlv::rules::SeedRandom(11);
    DealOptions o = DealRig::Fast();
    o.stakeMultiple = 1;
    DealRig rig(o);
    const int32_t score[4] = {120, 0, 35, 9990}, silver[4] = {5000, 10000, 800, 10000};
    for (int c = 0; c < kChairs; ++c) {
        rig.deal.SetSeat(c, 900001 + c, true);
        rig.deal.SetStanding(c, score[c], silver[c]);
    }
    Standing before[4];
    for (int c = 0; c < kChairs; ++c) before[c] = rig.deal.StandingOf(c);
    EXPECT_EQ(before[0].level, 4);  // 120 points: from 100
    EXPECT_EQ(before[3].level, 12);  // 9990: from 7390
    bool silverMoved = false;
    for (int deal = 0; deal < 2; ++deal) {
        SCOPED_TRACE(deal);
        ASSERT_TRUE(rig.deal.Start());
        for (int k = 0; k < 300 && rig.deal.Running(); ++k) rig.Advance(1);
        ASSERT_TRUE(rig.deal.Over());
        const auto& r = rig.deal.Result();
        int64_t silverSum = 0;
        for (int c = 0; c < kChairs; ++c) {
            const size_t i = size_t(c);
            EXPECT_EQ(testrig::Word(r, 40 + i), before[c].score) << c;
            EXPECT_EQ(testrig::Word(r, 48 + i), before[c].silver) << c;
            const Standing after = rig.deal.StandingOf(c);
            EXPECT_EQ(after.score, before[c].score + testrig::Word(r, 72 + i)) << c;
            EXPECT_EQ(after.silver, before[c].silver + testrig::Word(r, 80 + i)) << c;
            EXPECT_EQ(after.level, testrig::Word(r, 96 + i)) << c;
            EXPECT_EQ(after.level, hqlv::rules::LevelFromScore(after.score, 1)) << c;
            const char* title = reinterpret_cast<const char*>(r.data()) + 416 + 16 * i;
            EXPECT_EQ(hqlv::platform::gbkToUtf8(std::string_view(title, strnlen(title, 16))),
                      std::vector<std::string>({"新手", "入门", "熟练", "高手", "精英", "专家",
                                                "大师", "宗师", "名家", "传奇", "雀士", "雀豪",
                                                "雀杰", "雀俊", "雀圣", "雀神", "至尊", "天王",
                                                "霸主", "雀皇"})[size_t(after.level)])
                << c;
            silverSum += testrig::Word(r, 80 + i);
            silverMoved |= testrig::Word(r, 80 + i) != 0;
            before[c] = after;
        }
        EXPECT_EQ(silverSum, 0);
    }
    EXPECT_TRUE(silverMoved);
}

// Without a silver stake only the points move.
TEST(MahjongDeal, APointsTableMovesNoSilver) {
    hqlv::rules::SeedRandom(11);
    DealRig rig;
    for (int c = 0; c < kChairs; ++c) {
        rig.deal.SetSeat(c, 900001 + c, true);
        rig.deal.SetStanding(c, 50, 1000);
    }
    ASSERT_TRUE(rig.deal.Start());
    for (int k = 0; k < 300 && rig.deal.Running(); ++k) rig.Advance(1);
    ASSERT_TRUE(rig.deal.Over());
    for (int c = 0; c < kChairs; ++c) {
        EXPECT_EQ(testrig::Word(rig.deal.Result(), 80 + size_t(c)), 0) << c;
        EXPECT_EQ(rig.deal.StandingOf(c).silver, 1000) << c;
    }
    EXPECT_EQ(rig.deal.StandingOf(7).score, 0);  // no such chair
}

}  // namespace

namespace {

// The hall names the server-driven players as the server lists them: by the table rules.
TEST(StandIns, TheHallsComputerNamesAreTheTablesNames) {
    DealRig rig;
    for (int k = -1; k <= 8; ++k)
        EXPECT_EQ(hqlv::tools::ComputerPlayerName(k), rig.deal.Table().ComputerName(k)) << k;
}

}  // namespace
