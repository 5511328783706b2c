// A copied deal goes on from where the original was: the same notices, the same record and
// result, and its table's hooks count its own deals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deal_rig.h"
#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

namespace {

using namespace hqlv::server::mj;
using testrig::DealRig;

struct Played {
    std::vector<int> codes;
    std::vector<std::vector<uint8_t>> bodies;
    std::string text;
    std::vector<uint8_t> result;
};

// Runs `deal` to its end on the rig's clock, 700 ms a step (past the think delay, and past a
// silent human's time now and then), from the rig's notices as they are now.
Played Finish(DealRig& rig, Deal& deal) {
    const size_t from = rig.notes.size();
    for (int k = 0; k < 2000 && deal.Running(); ++k) {
        rig.now += 700;
        deal.Tick();
    }
    Played r;
    for (size_t k = from; k < rig.notes.size(); ++k) {
        r.codes.push_back(rig.notes[k].code);
        r.bodies.push_back(rig.notes[k].body);
    }
    r.text = DealText(deal);
    r.result = deal.Result();
    return r;
}

TEST(MahjongDealCopy, GoesOnAsTheOriginalFromAnyPoint) {
    for (int at : {0, 3, 12, 40}) {
        hqlv::rules::SeedRandom(77);
        DealOptions o;
        o.thinkMs = 500;
        o.turnSeconds = 1;
        o.claimSeconds = 1;
        o.graceSeconds = 0;
        DealRig rig(o);
        // Chair 0 is a person who never answers: claims wait on it and its turns time out.
        rig.deal.SetSeat(0, 5000, false);
        for (int c = 1; c < kChairs; ++c) rig.deal.SetSeat(c, 5001 + c, true);
        ASSERT_TRUE(rig.deal.Start());
        for (int k = 0; k < at && rig.deal.Running(); ++k) rig.Advance(700);
        ASSERT_TRUE(rig.deal.Running()) << at;

        Deal copy(rig.deal);
        const uint64_t now = rig.now;
        const size_t notes = rig.notes.size();
        const Played original = Finish(rig, rig.deal);
        ASSERT_TRUE(rig.deal.Over()) << at;
        rig.now = now;
        rig.notes.resize(notes);
        const Played copied = Finish(rig, copy);
        EXPECT_EQ(copied.codes, original.codes) << at;
        EXPECT_EQ(copied.bodies, original.bodies) << at;
        EXPECT_EQ(copied.text, original.text) << at;
        EXPECT_EQ(copied.result, original.result) << at;
        EXPECT_EQ(copy.Steps(), rig.deal.Steps()) << at;

        // Each counts its own deals in the next game id.
        hqlv::rules::SeedRandom(78);
        ASSERT_TRUE(copy.Start());
        hqlv::rules::SeedRandom(78);
        ASSERT_TRUE(rig.deal.Start());
        EXPECT_EQ(copy.Table().GameIdText(), rig.deal.Table().GameIdText()) << at;
        EXPECT_NE(&copy.Table(), &rig.deal.Table());
    }
}

}  // namespace
