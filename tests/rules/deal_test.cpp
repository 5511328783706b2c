// Whole deals played by the headless driver: every deal ends, the tiles stay in one place
// each, the points sum to zero, and every kind of claim and win occurs.
#include <gtest/gtest.h>

#include "deal_driver.h"

namespace {

constexpr int kDeals = 10000;

TEST(Deals, SeededDealsEndBalancedWithEveryClaimKind) {
    driver::Driver d;
    int peng = 0, ming = 0, an = 0, bu = 0, discardWin = 0, selfDrawn = 0, robbed = 0, two = 0,
        liability = 0, drawn = 0, flower = 0, lastTile = 0, lastDiscard = 0;
    for (int seed = 1; seed <= kDeals; ++seed) {
        const driver::DealOutcome o = d.Play(static_cast<uint32_t>(seed));
        ASSERT_TRUE(o.ended) << "seed " << seed;
        ASSERT_LE(o.actions, 300) << "seed " << seed;
        ASSERT_TRUE(o.placesOk) << "seed " << seed << ": " << o.placeError;
        ASSERT_EQ(o.pointSum, 0) << "seed " << seed;
        ASSERT_FALSE(o.zeroSumLogged) << "seed " << seed;
        peng += o.peng, ming += o.mingGang, an += o.anGang, bu += o.buGang;
        discardWin += o.discardWin, selfDrawn += o.selfDrawn, robbed += o.robbed;
        two += o.winners >= 2, liability += o.liability, drawn += o.winners == 0;
        flower += o.gangFlower, lastTile += o.lastTile, lastDiscard += o.lastDiscard;
    }
    EXPECT_GT(peng, 0);
    EXPECT_GT(ming, 0);
    EXPECT_GT(an, 0);
    EXPECT_GT(bu, 0);
    EXPECT_GT(discardWin, 0);
    EXPECT_GT(selfDrawn, 0);
    EXPECT_GT(robbed, 0);
    EXPECT_GT(two, 0);
    EXPECT_GT(liability, 0);
    EXPECT_GT(drawn, 0);
    EXPECT_GT(flower, 0);
    EXPECT_GT(lastTile + lastDiscard, 0);
    std::printf(
        "deals %d: pung %d, exposed kong %d, concealed kong %d, added kong %d, "
        "discard win %d, self-drawn %d, robbing %d, two winners %d, liability %d, "
        "drawn %d, kong flower %d, last tile %d, last discard %d\n",
        kDeals, peng, ming, an, bu, discardWin, selfDrawn, robbed, two, liability, drawn, flower,
        lastTile, lastDiscard);
}

}  // namespace
