// A silent seat is played after its time, the grace and two seconds, never before; the
// seat before it may then ask for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deal_rig.h"
#include "rules/common.h"

namespace {

using namespace hqlv::server::mj;
using testrig::PutWord;

constexpr uint64_t kSilentMs = (20 + 2 + 2) * 1000;

std::vector<uint8_t> Head(int headChair, size_t bytes) {
    std::vector<uint8_t> b(bytes, 0);
    PutWord(b, 0, 100 + headChair);
    PutWord(b, 3, headChair);
    return b;
}

// Chairs 0 and 1 are people; chair 0 plays simply, chair 1 stays silent.
bool ReachSilentTurn(testrig::DealRig& rig, bool wantDraw) {
    for (int guard = 0; guard < 500 && rig.deal.Running(); ++guard) {
        const int c = rig.deal.Turn();
        if (c == 1 && (wantDraw ? rig.deal.AwaitsDraw() : rig.deal.AwaitsDiscard())) return true;
        if (c == 0 && rig.deal.AwaitsDraw()) {
            rig.deal.Request(0, 229000, Head(0, 96));
        } else if (c == 0 && rig.deal.AwaitsDiscard()) {
            rig.deal.Request(0, 221080, Head(0, 104));  // no tile named: the server chooses
        } else {
            const int steps = rig.deal.Steps();
            for (int k = 0; k < 2; ++k) rig.deal.Request(k, 229005, Head(k, 40));
            if (rig.deal.Steps() == steps) rig.Advance(kSilentMs);
        }
    }
    return false;
}

TEST(MahjongTimeouts, SilentSeatIsPlayedAfterItsTimeAndNotBefore) {
    bool sawDraw = false, sawDiscard = false;
    for (uint32_t seed = 1; seed <= 20 && !(sawDraw && sawDiscard); ++seed) {
        hqlv::rules::SeedRandom(seed);
        testrig::DealRig rig;
        rig.deal.SetSeat(0, 100, false);
        rig.deal.SetSeat(1, 101, false);
        rig.deal.SetSeat(2, 102, true);
        rig.deal.SetSeat(3, 103, true);
        ASSERT_TRUE(rig.deal.Start());
        const bool draw = !sawDraw;
        if (!ReachSilentTurn(rig, draw)) continue;
        const int steps = rig.deal.Steps();
        rig.Advance(kSilentMs - 1);
        ASSERT_EQ(rig.deal.Steps(), steps) << "played before its time";
        // The seat before it may not act for it yet.
        auto early = draw ? rig.deal.Request(0, 229000, Head(1, 96))
                          : rig.deal.Request(0, 221080, Head(1, 104));
        EXPECT_EQ(early.code, kRefused);
        if (draw) {
            // Once the time is over, the seat before it asks the draw for it.
            rig.now += 1;
            EXPECT_EQ(rig.deal.Request(2, 229000, Head(1, 96)).code, kRefused);  // not beside
            EXPECT_EQ(rig.deal.Request(0, 229000, Head(1, 96)).code, kDone);
            EXPECT_TRUE(rig.deal.AwaitsDiscard());
            EXPECT_EQ(rig.deal.Turn(), 1);
            sawDraw = true;
        } else {
            rig.Advance(1);
            EXPECT_GT(rig.deal.Steps(), steps) << "not played after its time";
            EXPECT_FALSE(rig.deal.Turn() == 1 && rig.deal.AwaitsDiscard());
            sawDiscard = true;
        }
        EXPECT_EQ(rig.deal.CheckTiles(), "");
    }
    EXPECT_TRUE(sawDraw);
    EXPECT_TRUE(sawDiscard);
}

// The claims window closes after the claim time when a person with an offer stays silent.
TEST(MahjongTimeouts, ClaimWindowClosesAfterTheClaimTime) {
    bool seen = false;
    for (uint32_t seed = 1; seed <= 40 && !seen; ++seed) {
        hqlv::rules::SeedRandom(seed);
        testrig::DealRig rig;
        rig.deal.SetSeat(0, 100, false);
        for (int c = 1; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, true);
        ASSERT_TRUE(rig.deal.Start());
        for (int guard = 0; guard < 300 && rig.deal.Running(); ++guard) {
            if (rig.deal.Turn() == 0 && rig.deal.AwaitsDraw()) {
                rig.deal.Request(0, 229000, Head(0, 96));
            } else if (rig.deal.Turn() == 0 && rig.deal.AwaitsDiscard()) {
                rig.deal.Request(0, 221080, Head(0, 104));
            } else if (!rig.deal.AwaitsDraw() && !rig.deal.AwaitsDiscard()) {
                // Only chair 0 can hold the window open: it has an offer and is silent.
                const int steps = rig.deal.Steps();
                rig.Advance(20 * 1000 - 1);
                ASSERT_EQ(rig.deal.Steps(), steps) << "closed before the claim time";
                // Only the person is awaited now: the next due time is the window's end.
                EXPECT_EQ(rig.deal.NextDue(), rig.now + 1);
                rig.Advance(1);
                ASSERT_GT(rig.deal.Steps(), steps) << "open after the claim time";
                seen = true;
                break;
            } else {
                rig.Advance(1);
            }
        }
    }
    EXPECT_TRUE(seen);
}

// Server-driven players discard a lone honour first, else the tile with the fewest held
// neighbours (the lowest id on ties).
TEST(MahjongBots, FirstDiscardFollowsTheRule) {
    int checked = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        hqlv::rules::SeedRandom(seed);
        DealOptions o;
        o.thinkMs = 800;
        testrig::DealRig rig(o);
        for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, true);
        rig.deal.SetSeat(0, 0, true);  // user 0 is nobody: the seat keeps its player
        ASSERT_TRUE(rig.deal.Start());
        const auto& t = rig.deal.Table();
        const int b = rig.deal.Turn();
        int32_t hand[32];
        const int32_t n = t.ListHeld(b, hand, 32);
        int32_t counts[64] = {};
        for (int32_t i = 0; i < n; ++i) ++counts[t.KindIndexOf(hand[i])];
        int32_t want = -1, best = 1 << 30;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t k = t.KindIndexOf(hand[i]);
            int32_t s = counts[k] - 1;
            if (k > 30 && counts[k] == 1) s = -1;
            if (k < 30)
                for (int d : {-2, -1, 1, 2})
                    if ((k + d) / 10 == k / 10 && (k + d) % 10 >= 1 && (k + d) % 10 <= 9)
                        s += counts[k + d];
            if (s < best || (s == best && hand[i] < want)) best = s, want = hand[i];
        }
        // A win or a kong may come first; otherwise the first notice after the think time
        // is the discard.
        EXPECT_EQ(rig.deal.NextDue(), rig.now + 800) << "seed " << seed;
        rig.Advance(799);
        ASSERT_EQ(rig.Count(221170), 0) << "acted before its think time";
        rig.Advance(1);
        for (const auto& note : rig.notes) {
            if (note.code == 229197 || note.code == 229180 || note.code == 211080) break;
            if (note.code == 221170) {
                EXPECT_EQ(testrig::Word(note.body, 21), want) << "seed " << seed;
                ++checked;
                break;
            }
        }
    }
    EXPECT_GT(checked, 40);
}

// The dealing time: after a deal's start nobody acts and no seat's time runs until the
// clients have dealt; then the first turn begins as it would have at the start.
TEST(MahjongDealing, TheFirstTurnBeginsAfterTheDealingTime) {
    for (bool bot : {true, false}) {
        SCOPED_TRACE(bot ? "a server-driven banker" : "a silent player as banker");
        hqlv::rules::SeedRandom(11);
        DealOptions o;
        o.thinkMs = 800;
        o.turnSeconds = 5;
        o.graceSeconds = 1;
        o.dealMs = 6000;
        testrig::DealRig rig(o);
        for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, bot);
        ASSERT_TRUE(rig.deal.Start());
        const uint64_t start = rig.now;
        // The banker's first act: the bot after its think time, the silent player at its
        // deadline (turn + grace + 2 seconds), each counted from the dealing's end.
        const uint64_t due = start + 6000 + (bot ? 800 : (5 + 1 + 2) * 1000);
        EXPECT_EQ(rig.deal.NextDue(), due);
        const int steps = rig.deal.Steps();
        rig.Advance(due - start - 1);
        EXPECT_EQ(rig.deal.Steps(), steps) << "acted during the dealing";
        EXPECT_EQ(rig.Count(221170) + rig.Count(229197) + rig.Count(229180) + rig.Count(211080), 0);
        rig.Advance(1);
        EXPECT_GT(rig.deal.Steps(), steps);
    }
}

// A player's turn to draw is logged as it begins, and so is the server's draw for a player
// who let the turn run out; server-driven seats are not logged.
TEST(MahjongDealing, APlayersDrawTurnAndItsTimeOutAreLogged) {
    hqlv::rules::SeedRandom(11);
    DealOptions o;
    o.thinkMs = 100;
    o.turnSeconds = 2;
    o.claimSeconds = 1;
    o.graceSeconds = 0;
    uint64_t now = 1000;
    std::vector<std::string> log;
    Deal deal(
        o, [&] { return now; }, [](const Note&) {},
        [&](const std::string& l) { log.push_back(l); });
    for (int c = 0; c < kChairs; ++c) deal.SetSeat(c, 100 + c, c != 0);
    ASSERT_TRUE(deal.Start());
    auto count = [&](const std::string& what) {
        return std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.find(what) != std::string::npos;
        });
    };
    // Chair 0 answers nothing: every one of its turns runs out.
    for (int t = 0; t < 600 && count("chair 0 drawn for") < 2; ++t) {
        now += 100;
        deal.Tick();
    }
    EXPECT_EQ(count("deal: chair 0 drawn for at its time-out"), 2);
    EXPECT_GE(count("deal: chair 0 draws next"), 2);
    EXPECT_EQ(count("deal: chair 1 draws next") + count("deal: chair 2 draws next") +
                  count("deal: chair 3 draws next"),
              0);
    // The draw's log line comes before the time-out's.
    const auto first = std::find_if(log.begin(), log.end(), [](const std::string& l) {
        return l.find("chair 0 draws next") != std::string::npos;
    });
    const auto late = std::find_if(log.begin(), log.end(), [](const std::string& l) {
        return l.find("chair 0 drawn for") != std::string::npos;
    });
    EXPECT_LT(first, late);
}

}  // namespace
