// A kong confirm (229049) counts once, for the declarer's added kong that waits on the chairs
// that may rob it, and only with that kong's tile: the pung stays under its kong, and a
// confirm taken twice would lay the kong again and draw a second replacement.
#include <gtest/gtest.h>

#include "deal_rig.h"
#include "rules/common.h"

namespace {

using namespace hqlv::server::mj;
using testrig::DealRig;
using testrig::PutWord;
using testrig::Word;

std::vector<uint8_t> Confirm(int chair, std::initializer_list<int32_t> words) {
    std::vector<uint8_t> b(64, 0);
    PutWord(b, 0, 100 + chair);
    PutWord(b, 3, chair);
    size_t w = 4;
    for (int32_t v : words) PutWord(b, w++, v);
    return b;
}

TEST(MahjongAddedKong, AConfirmTakesThePendingKongOnlyOnce) {
    // Seed 1923: chair 1 adds fourth tiles to its pungs; its second added kong is robbed.
    hqlv::rules::SeedRandom(1923);
    DealOptions o;
    o.thinkMs = 500;
    DealRig rig(o);
    for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, true);
    ASSERT_TRUE(rig.deal.Start());
    int robbable = 0, laid = 0;
    for (int guard = 0; guard < 20000 && rig.deal.Running(); ++guard) {
        const size_t seen = rig.notes.size();
        rig.Advance(100);
        for (size_t k = seen; k < rig.notes.size() && rig.deal.Running(); ++k) {
            const Note n = rig.notes[k];
            const int chair = Word(n.body, 0);
            if (n.code == 229180 && Word(n.body, 3) == 2 && n.body.size() >= 32 &&
                (Word(n.body, 4) | Word(n.body, 5) | Word(n.body, 6) | Word(n.body, 7))) {
                // Another tile than the waiting kong's is no confirm of it.
                ++robbable;
                EXPECT_EQ(rig.deal
                              .Request(chair, 229049,
                                       Confirm(chair, {chair, Word(n.body, 2) ^ 1, -1, -1, -1, 2}))
                              .code,
                          kRefused);
            }
            if (n.code == 229199 && n.owner < 0) {
                // The kong is laid: the same confirm again lays nothing and draws nothing.
                ++laid;
                const int declarer = Word(n.body, 3);
                std::vector<uint8_t> again(n.body.begin(), n.body.begin() + 64);
                const int before = rig.Count(229199);
                EXPECT_EQ(rig.deal.Request(declarer, 229049, again).code, kRefused);
                EXPECT_EQ(rig.Count(229199), before);
                EXPECT_EQ(rig.deal.CheckTiles(), "");
            }
        }
    }
    EXPECT_GT(robbable, 0);
    EXPECT_GT(laid, 0);
}

}  // namespace
