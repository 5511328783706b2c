#include "rules/common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

using namespace hqlv::rules;

namespace {

// Fixed clocks for the duration of a test.
struct FixedClocks {
    uint32_t tick = 0;
    int64_t seconds = 1700000000;
    FixedClocks() {
        SetRulesClock({[this] { return tick; }, [this] { return seconds; }});
        ResetRandom();
    }
    ~FixedClocks() {
        SetRulesClock({});
        ResetRandom();
    }
};

TEST(Random, RangesAndRemainders) {
    FixedClocks clocks;
    // A one-value range takes no draw: the sequence goes on as if it had not been asked.
    SeedRandom(1234);
    const int32_t first = RandomDraw();
    SeedRandom(1234);
    EXPECT_EQ(RandomInRange(4, 4), 4);
    EXPECT_EQ(RandomDraw(), first);
    ResetRandom();
    int histogram[7] = {};
    for (int n = 0; n < 6000; ++n) {
        int d = RandomInRange(1, 6);
        ASSERT_GE(d, 1);
        ASSERT_LE(d, 6);
        ++histogram[d];
    }
    for (int d = 1; d <= 6; ++d) EXPECT_GT(histogram[d], 800) << d;
    for (int n = 0; n < 1000; ++n) {
        int v = RandomBelow(10);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 10);
        int draw = RandomDraw();
        ASSERT_GE(draw, 0);
        ASSERT_LE(draw, 32767);
        // The signed remainder of a non-negative draw by a negative bound.
        int neg = RandomBelow(-7);
        ASSERT_GE(neg, 0);
        ASSERT_LT(neg, 7);
        int range = RandomInRange(-5, -3);
        ASSERT_GE(range, -5);
        ASSERT_LE(range, -3);
    }
    EXPECT_EQ(RandomBelow(0), 0);                    // no division by zero
    EXPECT_EQ(RandomInRange(5, 4), 5);               // an empty range
    int wide = RandomInRange(INT32_MIN, INT32_MAX);  // width beyond 32 bits
    (void)wide;
}

TEST(Random, DrawsInTheSameSecondAreIndependent) {
    FixedClocks clocks;
    // The clock stands still: reseeding every call would repeat the same die.
    std::set<int> seen;
    for (int n = 0; n < 60; ++n) seen.insert(RandomInRange(1, 6));
    EXPECT_EQ(seen.size(), 6u);
    std::set<std::pair<int, int>> dice;
    for (int seed : {0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 1}) {
        int a = 0, b = 0;
        EXPECT_EQ(RollTwoDice(&a, &b, seed), 1);
        ASSERT_TRUE(a >= 1 && a <= 6 && b >= 1 && b <= 6);
        dice.insert({a, b});
    }
    EXPECT_GT(dice.size(), 3u);
    std::vector<int32_t> p1, p2;
    RandomPermutation(p1, 136, 0);
    RandomPermutation(p2, 136, 0);
    EXPECT_NE(p1, p2);
}

TEST(Random, SeedReplaysADeal) {
    FixedClocks clocks;
    SeedRandom(12345);
    std::vector<int32_t> wall;
    RandomPermutation(wall, 136, 2);
    int a = 0, b = 0;
    RollTwoDice(&a, &b, 0);
    SeedRandom(12345);
    std::vector<int32_t> again;
    RandomPermutation(again, 136, 2);
    int c = 0, d = 0;
    RollTwoDice(&c, &d, 0);
    EXPECT_EQ(wall, again);
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
    // Without an explicit seed the calendar clock seeds the generator once.
    ResetRandom();
    int first = RandomDraw();
    ResetRandom();
    EXPECT_EQ(RandomDraw(), first);
    clocks.seconds += 1;  // another second seeds another sequence
    ResetRandom();
    EXPECT_NE(RandomDraw(), first);
}

TEST(Random, Permutations) {
    FixedClocks clocks;
    std::vector<int32_t> p;
    EXPECT_EQ(RandomPermutation(p, 4, 0), 1);
    ASSERT_EQ(p.size(), 4u);
    std::vector<int32_t> sorted = p;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{0, 1, 2, 3}));
    std::vector<int32_t> held{9};
    RandomPermutation(held, 4, 1);
    ASSERT_EQ(held.size(), 5u);
    EXPECT_EQ(held[4], 9);
    std::vector<int32_t> untouched{7, 8};
    RandomPermutation(untouched, 0, 0);
    RandomPermutation(untouched, -3, 0);
    EXPECT_EQ(untouched, (std::vector<int32_t>{7, 8}));
    // Longer than a 15-bit draw can reach: still a permutation, and it ends.
    std::vector<int32_t> big;
    RandomPermutation(big, 40000, 0);
    ASSERT_EQ(big.size(), 40000u);
    std::vector<uint8_t> seen(40000, 0);
    for (int32_t v : big) {
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 40000);
        ASSERT_EQ(seen[static_cast<size_t>(v)]++, 0);
    }
}

TEST(Common, ElapsedTime) {
    FixedClocks clocks;
    int s = -1, m = -1;
    EXPECT_EQ(ElapsedMinSec(0, &s, &m, 60000), 0);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(m, 0);
    clocks.tick = 1000 + 125000 + 999;
    EXPECT_EQ(ElapsedMinSec(1000, &s, &m, 60000), 1);
    EXPECT_EQ(s, 125);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(ElapsedMinSec(1000, &s, &m, 100), 1);  // above the cap
    EXPECT_EQ(s, 0);
    EXPECT_EQ(m, 0);
    clocks.tick = 5000;  // the tick wrapped after the start
    EXPECT_EQ(ElapsedMinSec(0xFFFFF000u, &s, &m, 60000), 1);
    EXPECT_EQ(s, 9);
}

TEST(Common, LevelsAndStakes) {
    EXPECT_EQ(LevelFromScore(0, 1), 0);
    EXPECT_EQ(LevelFromScore(-50, 1), 0);
    EXPECT_EQ(LevelFromScore(100, 1), 4);
    EXPECT_EQ(LevelFromScore(99, 1), 3);
    EXPECT_EQ(LevelFromScore(86640, 1), 19);
    EXPECT_EQ(LevelFromScore(INT32_MAX, 1), 19);
    EXPECT_EQ(LevelFromScore(1000, 10), 4);
    EXPECT_EQ(LevelFromScore(INT32_MAX, 1000000), 10);  // no overflow in threshold x factor
    const int32_t list[] = {5000, 700, 90000};
    EXPECT_EQ(LevelValueFromMin(list, 3, 1), 14);
    EXPECT_EQ(LevelValueFromMin(list, 1, 1), LevelValues[11]);  // the first entry only
    EXPECT_EQ(LevelValueFromMin(nullptr, 0, 1), 1);
    const int32_t low[] = {50, 80000};
    EXPECT_EQ(BaseStakeFromMin(low, 0, 2), 1);
    const int32_t mid[] = {1000, 1000};
    EXPECT_EQ(BaseStakeFromMin(mid, 25, 2), 24);
    const int32_t big[] = {2000000000};
    EXPECT_EQ(BaseStakeFromMin(big, 0, 1), 16777216);
    EXPECT_EQ(BaseStakeFromMin(nullptr, 0, 0), 1);
    EXPECT_EQ(IntLog2(1), 0);
    EXPECT_EQ(IntLog2(2), 1);
    EXPECT_EQ(IntLog2(10), 3);
    EXPECT_EQ(IntLog2(-8), 0);
    EXPECT_EQ(Pow2(0), 1);
    EXPECT_EQ(Pow2(-3), 1);
    EXPECT_EQ(Pow2(3), 8);
    EXPECT_EQ(Pow2(31), INT32_MIN);
    EXPECT_EQ(Pow2(32), 0);
}

TEST(Common, Lists) {
    int32_t list[5] = {1, 2, 3, 4, 5};
    FillMinusOne(list, 3);
    EXPECT_EQ(list[2], -1);
    EXPECT_EQ(list[3], 4);
    FillMinusOne(list, 0);
    FillMinusOne(list, -4);
    const int32_t v[] = {-1, 0, 5, -3};
    EXPECT_EQ(CountValid(v, 4), 2);
    EXPECT_EQ(SumInts(v, 4), 1);
    EXPECT_EQ(SumInts(v, 0), 0);
    const int32_t ov[] = {INT32_MAX, 1};
    EXPECT_EQ(SumInts(ov, 2), INT32_MIN);
    const int32_t d1[] = {-1, 3, -1}, d2[] = {3, 4, 3};
    EXPECT_EQ(AllDistinct(d1, 3), 1);
    EXPECT_EQ(AllDistinct(d2, 3), 0);
    EXPECT_EQ(AllDistinct(d2, 0), 1);
    EXPECT_EQ(ContainsValue(d1, 3, -1), 0);
    EXPECT_EQ(ContainsValue(d1, 3, 3), 1);
    EXPECT_EQ(ContainsValue(d1, 0, 3), 0);
    const int32_t a[] = {1, 2, 2}, b[] = {2, 1, 1}, c[] = {1, 2}, e[] = {1, 2, -1};
    EXPECT_EQ(SameSet(a, 3, b, 3), 1);
    EXPECT_EQ(SameSet(c, 2, e, 3), 0);
    EXPECT_EQ(ContainsAll(c, 2, e, 3), 1);
    EXPECT_EQ(ContainsAll(e, 3, d2, 3), 0);
    EXPECT_EQ(ContainsAll(c, 2, nullptr, 0), 1);
    const int32_t flags[] = {0x4006, 0x4004, 0x6};
    EXPECT_EQ(AllHaveFlags(flags, 3, 0x4), 1);
    EXPECT_EQ(AllHaveFlag4(flags, 3), 1);
    EXPECT_EQ(AllHaveFlag2(flags, 3), 0);
    EXPECT_EQ(AllHaveFlag4000(flags, 3), 0);
    EXPECT_EQ(AllHaveFlag4000(flags, 2), 1);
    EXPECT_EQ(AllHaveFlags(flags, 0, 0xFF), 1);
    EXPECT_EQ(AnyHasFlags(flags, 3, 0x4002), 1);
    EXPECT_EQ(AnyHasFlags(flags, 3, 0x4001), 0);
    EXPECT_EQ(AnyHasFlags(flags, 0, 0), 0);
}

TEST(Common, NamesAndTags) {
    UserNameMap users;
    UserNameRecord rec;
    std::strcpy(rec.name, "玩家一");
    users[1001] = rec;
    UserNameRecord full;
    std::memset(full.name, 'x', sizeof(full.name));  // no terminator at all
    users[7] = full;
    char dest[64] = "unchanged";
    EXPECT_EQ(LookupNameById(users, 42, dest, sizeof(dest)), 0);
    EXPECT_STREQ(dest, "unchanged");
    EXPECT_EQ(LookupNameById(users, 1001, dest, sizeof(dest)), 1);
    EXPECT_STREQ(dest, "玩家一");
    EXPECT_EQ(LookupNameById(users, 7, dest, sizeof(dest)), 1);
    EXPECT_EQ(std::strlen(dest), 32u);
    char small[5];
    EXPECT_EQ(LookupNameById(users, 7, small, sizeof(small)), 1);
    EXPECT_STREQ(small, "xxxx");
    EXPECT_EQ(EmoticonTags.size(), 11u);
    EXPECT_EQ(EmoticonTags[1], "#便便");
    EXPECT_EQ(EmoticonTags[10], "#sexy");
}

}  // namespace
