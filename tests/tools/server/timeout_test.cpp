// A silent seat is played after its time, the grace and two seconds, never before; the
// seat before it may then ask for it.
#include <gtest/gtest.h>

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

}  // namespace
