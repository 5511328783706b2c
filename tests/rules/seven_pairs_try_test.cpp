// The entry win check reports the seven-pairs outcome it found, so that the scored win check
// need not find it again: tried only when no ordinary split wins, and then its own answer.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "table_rig.h"

namespace {

using namespace rig;

struct Row {
    const char* name;
    std::initializer_list<int> hand;  // thirteen concealed tiles
    int win;
    bool tried;
    bool won;
};

TEST(SevenPairsTry, ReportedOnlyWhenNoOrdinarySplitWins) {
    const Row rows[] = {
        // 11 22 33 44 55 66 7 on 7: an ordinary hand (123 123 456 456 77) and seven pairs;
        // the ordinary split wins first, so seven pairs is left for the caller.
        {"both", {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7}, 7, false, false},
        {"ordinary", {1, 2, 3, 14, 15, 16, 27, 28, 29, 31, 31, 31, 5}, 5, false, false},
        {"seven pairs", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 25, true, true},
        {"nothing", {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25}, 27, true, false},
    };
    for (const Row& row : rows) {
        Rig r;
        for (int k : row.hand) r.GiveOne(0, k);
        const int32_t tile = r.Played(1, row.win);
        CountTable counts;
        std::memcpy(counts, r.Counts(0), sizeof counts);
        HuResult res{};
        CMJTableEx::SevenPairsTry seven;
        const int32_t won = r.CheckHuCounts(counts, tile, &res, 1, 0, true, &seven);
        EXPECT_EQ(seven.tried, row.tried) << row.name;
        EXPECT_EQ(seven.won != 0, row.won) << row.name;
        EXPECT_EQ(won != 0, row.name != std::string("nothing")) << row.name;
        // The scored check reaches the same answer whichever way it got it.
        Rig again;
        for (int k : row.hand) again.GiveOne(0, k);
        HuResult best{};
        EXPECT_EQ(again.BestHu(0, again.Played(1, row.win), &best, 1) > 0, won != 0) << row.name;
    }
}

}  // namespace
