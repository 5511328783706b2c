// The entry win check asks the full seven-pairs check only for a hand that could be seven
// pairs (12 or 14 tiles, every kind an even number of times): whatever it skips, the full
// check would have refused, and what it asks gets the full check's own answer.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>

#include "rules/waits.h"
#include "table_rig.h"

namespace {

using namespace rig;

struct Row {
    const char* name;
    std::initializer_list<int> hand;  // kinds held, one entry a tile
    int win;
    bool won;  // seven pairs, as the full check finds it
};

// The seven-pairs outcome of the entry check on `counts`, and the full check's on the same.
void Compare(Rig& r, const CountTable& counts, int32_t tile, bool* tried, int32_t* entry,
             int32_t* full) {
    HuResult res{};
    CMJTableEx::SevenPairsTry seven;
    r.CheckHuCounts(counts, tile, &res, 1, 0, true, &seven);
    HuResult direct{};
    *full = MJ_HuForceSevenPairs(counts, tile, r.JokerId(), r.JokerId2(),
                                 static_cast<int32_t>(r.RuleFlags()), r.MJ().huRule, &direct, 1);
    *tried = seven.tried;
    *entry = seven.won;
    if (seven.won) {
        EXPECT_EQ(seven.result.unitCount, direct.unitCount);
        EXPECT_EQ(std::memcmp(seven.result.units, direct.units, sizeof direct.units), 0);
    }
}

TEST(SevenPairsFilter, AsksTheFullCheckOnlyForAHandThatCouldBeSevenPairs) {
    const Row rows[] = {
        {"seven pairs", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 25, true},
        {"with a four", {1, 1, 1, 1, 3, 3, 15, 15, 21, 21, 23, 23, 25}, 25, true},
        {"twelve tiles", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 25}, 25, true},
        {"odd kinds", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 27, false},
        {"odd honours", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 37}, 31, false},
        {"sixteen tiles", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25, 25, 27}, 27, false},
        {"ten tiles", {1, 1, 3, 3, 15, 15, 17, 17, 25}, 25, false},
    };
    for (const Row& row : rows) {
        Rig r;
        for (int k : row.hand) r.GiveOne(0, k);
        const int32_t tile = r.Played(1, row.win);
        CountTable counts;
        std::memcpy(counts, r.Counts(0), sizeof counts);
        bool tried = false;
        int32_t entry = -1, full = -1;
        Compare(r, counts, tile, &tried, &entry, &full);
        EXPECT_TRUE(tried) << row.name;
        EXPECT_EQ(entry != 0, row.won) << row.name;
        EXPECT_EQ(entry, full) << row.name;
    }
}

// Counts of 0 to 4 of a few kinds, 10 to 16 tiles: whenever the entry check tried seven pairs,
// its answer is the full check's.
TEST(SevenPairsFilter, AgreesWithTheFullCheckOnScatteredHands) {
    static const int kinds[] = {1, 3, 5, 9, 12, 15, 19, 22, 26, 29, 31, 34, 37};
    std::mt19937 rng(2024);
    int wins = 0, tries = 0;
    for (int n = 0; n < 3000; ++n) {
        Rig r;
        CountTable counts{};
        // Half the hands are pairs but for the tile to come, so that many are seven pairs.
        const bool paired = n % 2 == 0;
        const int want = 9 + static_cast<int>(rng() % 7);
        int held = 0;
        while (held + (paired ? 2 : 1) <= want) {
            const int k = kinds[rng() % 13];
            const int add = paired ? 2 : 1;
            if (counts[k] + add <= 4) counts[k] += add, held += add;
        }
        int last = kinds[rng() % 13];
        if (paired && counts[last] < 4)
            ++counts[last];
        else
            last = kinds[rng() % 13];
        const int32_t tile = idOf(last, 3);
        bool tried = false;
        int32_t entry = -1, full = -1;
        Compare(r, counts, tile, &tried, &entry, &full);
        if (!tried) continue;
        ++tries;
        wins += entry != 0;
        ASSERT_EQ(entry, full) << n;
    }
    EXPECT_GT(tries, 1000);
    EXPECT_GT(wins, 10);
}

}  // namespace
