// Whole deals played by the headless driver: every deal ends, the tiles stay in one place
// each, the points sum to zero, and every kind of claim and win occurs.
#include <gtest/gtest.h>

#include "deal_driver.h"

namespace {

// FNV-1a over the bytes of a record.
uint64_t digestOf(const std::vector<int32_t>& record, uint64_t h) {
    for (int32_t w : record)
        for (int b = 0; b < 4; ++b)
            h = (h ^ ((static_cast<uint32_t>(w) >> (8 * b)) & 0xFF)) * 1099511628211ull;
    return h;
}

// The seeds 1 to 10000 in two halves, which ctest runs side by side. The result records of
// each half hash to `digest`: a change of the rules that is not meant to change how a deal
// plays or settles must leave every one of them as it is.
void playSeeds(int first, int last, uint64_t digest) {
    driver::Driver d;
    uint64_t h = 1469598103934665603ull;
    int peng = 0, ming = 0, an = 0, bu = 0, discardWin = 0, selfDrawn = 0, robbed = 0, two = 0,
        liability = 0, drawn = 0, flower = 0, lastTile = 0, lastDiscard = 0;
    for (int seed = first; seed <= last; ++seed) {
        const driver::DealOutcome o = d.Play(static_cast<uint32_t>(seed));
        ASSERT_TRUE(o.ended) << "seed " << seed;
        ASSERT_LE(o.actions, 300) << "seed " << seed;
        ASSERT_TRUE(o.placesOk) << "seed " << seed << ": " << o.placeError;
        ASSERT_EQ(o.pointSum, 0) << "seed " << seed;
        ASSERT_FALSE(o.zeroSumLogged) << "seed " << seed;
        h = digestOf(o.record, h);
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
    EXPECT_EQ(h, digest) << std::hex << h;
    std::printf(
        "deals %d: pung %d, exposed kong %d, concealed kong %d, added kong %d, "
        "discard win %d, self-drawn %d, robbing %d, two winners %d, liability %d, "
        "drawn %d, kong flower %d, last tile %d, last discard %d\n",
        last - first + 1, peng, ming, an, bu, discardWin, selfDrawn, robbed, two, liability, drawn,
        flower, lastTile, lastDiscard);
}

TEST(Deals, SeededDealsEndBalancedWithEveryClaimKind) {
    playSeeds(1, 5000, 0x93fc1a63a9f1d301ull);
}

TEST(Deals, MoreSeededDealsEndBalancedWithEveryClaimKind) {
    playSeeds(5001, 10000, 0xeb76fbf97c55c62eull);
}

}  // namespace

namespace {

// Fixed deals (seeds of the driver) in which the rarer outcomes happen.

const int32_t* rowOf(const driver::DealOutcome& o, int chair) {
    return o.record.data() + (1652 + 172 * chair) / 4;
}

TEST(Deals, FixedDealRobbingAnAddedKong) {
    driver::Driver d;
    const auto o = d.Play(200);
    ASSERT_TRUE(o.robbed);
    const int32_t winner = o.record[680 / 4], loser = o.record[676 / 4];
    ASSERT_GE(winner, 0);
    EXPECT_EQ(rowOf(o, winner)[3 + 16], 9);  // 抢杠胡
    EXPECT_NE(o.record[0] & 0x4000000, 0);
    // The robbed chair pays; the kong was never laid.
    EXPECT_LT(o.record[56 / 4 + loser], 0);
    EXPECT_TRUE(d.table().Melds(loser, hqlv::rules::kBuGang).empty() ||
                d.table().Melds(loser, hqlv::rules::kBuGang).back().tiles[3] != o.record[684 / 4]);
    EXPECT_EQ(o.pointSum, 0);
}

TEST(Deals, FixedDealLiability) {
    driver::Driver d;
    const auto o = d.Play(61);
    ASSERT_TRUE(o.liability);
    const int32_t winner = o.record[680 / 4];
    const int32_t liableUser = o.record[696 / 4];
    int32_t liable = -1;
    for (int c = 0; c < 4; ++c)
        if (d.table().UserIdAt(c) == liableUser) liable = c;
    ASSERT_GE(liable, 0);
    EXPECT_GE(d.table().PungFeed(liable, winner) + d.table().KongFeed(liable, winner), 3);
    EXPECT_LT(o.record[56 / 4 + liable], 0);
    EXPECT_EQ(o.pointSum, 0);
}

TEST(Deals, FixedDealKongFlowerAndLastTiles) {
    driver::Driver d;
    const auto flower = d.Play(95);
    ASSERT_TRUE(flower.gangFlower);
    const int32_t w = flower.record[680 / 4];
    EXPECT_EQ(rowOf(flower, w)[3 + 5], 16);  // 杠上花
    EXPECT_NE(flower.record[0] & 0x2000000, 0);
    EXPECT_EQ(flower.pointSum, 0);
    const auto last = d.Play(441);
    ASSERT_TRUE(last.lastTile);
    EXPECT_EQ(rowOf(last, last.record[680 / 4])[3 + 6], 8);  // 海底捞月
    EXPECT_TRUE(d.table().IsWallUsedUp());
    const auto cannon = d.Play(82);
    ASSERT_TRUE(cannon.lastDiscard);
    bool seen = false;
    for (int c = 0; c < 4; ++c)
        if (cannon.record[660 / 4 + c]) {
            EXPECT_EQ(rowOf(cannon, c)[3 + 13], 9);  // 海底炮
            EXPECT_NE(rowOf(cannon, c)[1] & 0x400000, 0);
            seen = true;
        }
    EXPECT_TRUE(seen);
    EXPECT_EQ(cannon.pointSum, 0);
}

}  // namespace
