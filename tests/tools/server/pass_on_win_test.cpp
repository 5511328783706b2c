// A chair that lets a win on a discard pass is not made a winner when another chair wins on
// that discard: only the chairs that ask to win do. Were every chair that could win made one,
// a player who declined (or let the clock run out) would be paid for a win it never declared
// and the discarder would pay for it.
#include <gtest/gtest.h>

#include "deal_rig.h"
#include "rules/common.h"

namespace {

using namespace hqlv::server::mj;
using testrig::Word;

struct Played {
    bool both = false;  // the last offer gave a win to chair 0 and to a server-driven chair
    int32_t tile = -1, discarder = -1;
};

// Four server players, who win whenever they can; but the first time chair 0 is offered a win
// on a discard that another chair may win too, chair 0 falls silent: its offer runs out and
// the server lets it pass.
Played Play(testrig::DealRig& rig, uint32_t seed) {
    hqlv::rules::SeedRandom(seed);
    for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, true);
    Played p;
    rig.onNote = [&] {
        const Note& n = rig.notes.back();
        if (p.both || n.code != 221170 || !(Word(n.body, 6) & 8)) return;
        for (int c = 1; c < kChairs; ++c) p.both |= (Word(n.body, 6 + size_t(c)) & 8) != 0;
        if (!p.both) return;
        p.tile = Word(n.body, 21);
        p.discarder = Word(n.body, 1);
        rig.deal.SetDriven(0, false);
    };
    if (!rig.deal.Start()) return p;
    for (int k = 0; k < 2000 && rig.deal.Running(); ++k) rig.Advance(1000);
    return p;
}

// Seed 152: chair 2 discards the tile 82, on which chairs 0 and 3 may both win (several
// winners are allowed at this table). Chair 3 asks; chair 0 stays silent and its offer runs out.
TEST(PassOnWin, AChairThatLetsItsWinPassIsPaidNothingForIt) {
    testrig::DealRig rig;
    const Played p = Play(rig, 152);
    ASSERT_TRUE(p.both);
    ASSERT_TRUE(rig.deal.Over());
    EXPECT_EQ(p.discarder, 2);
    EXPECT_EQ(p.tile, 82);
    const auto& r = rig.deal.Result();
    EXPECT_EQ(Word(r, 684 / 4), 82);  // won on that discard
    EXPECT_EQ(Word(r, 676 / 4), 2);   // which the discarder pays
    EXPECT_EQ(Word(r, 700 / 4), 1);   // one winner: the chair that asked
    EXPECT_EQ(Word(r, 680 / 4), 3);
    EXPECT_EQ(Word(r, 644 / 4 + 3), 3);
    EXPECT_EQ(Word(r, 660 / 4 + 3), 1);
    EXPECT_EQ(Word(r, 644 / 4 + 0), 0);  // chair 0 won nothing
    EXPECT_EQ(Word(r, 660 / 4 + 0), 0);
    EXPECT_EQ(Word(r, 692 / 4), 3);  // the one winner deals next
    const hqlv::rules::CMJTableEx& t = rig.deal.Table();
    EXPECT_TRUE(t.HuAsked(3));
    EXPECT_FALSE(t.HuAsked(0));
    // The points: 3 from the discarder to the winner; chair 0's +1 and chair 1's -1 are the
    // exposed kong chair 0 claimed from chair 1.
    ASSERT_EQ(t.Melds(0, hqlv::rules::kMingGang).size(), 1u);
    EXPECT_EQ(t.Melds(0, hqlv::rules::kMingGang)[0].source, 1);
    EXPECT_EQ(Word(r, 14 + 0), 1);
    EXPECT_EQ(Word(r, 14 + 1), -1);
    EXPECT_EQ(Word(r, 14 + 2), -3);
    EXPECT_EQ(Word(r, 14 + 3), 3);
    // What chair 0 let pass was a win worth 3 as well: made a winner, it would have been paid
    // for it by the discarder.
    hqlv::rules::CMJTableEx copy = t;
    hqlv::rules::HuResult h{};
    EXPECT_EQ(copy.WinValue(0, 82, &h, 1), 3);
}

}  // namespace
