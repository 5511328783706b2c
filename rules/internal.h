#pragma once
// Helpers shared by the rules' own source files; not part of the public interface.
#include <cstdint>

#include "rules/tiles.h"

namespace hqlv::rules::detail {

// The callback table in force and whether it still holds the defaults (fast paths).
extern MJ_TileCallbacks g_callbacks;
extern bool g_defaultCallbacks;

extern const int8_t kDefaultIdIndex[kTileIdCount];

// The index of a tile id through the callbacks (-10 and the like for non-tiles).
inline int32_t indexOf(int32_t id, int32_t flags) {
    if (g_defaultCallbacks)
        return (id >= 0 && id < kTileIdCount) ? kDefaultIdIndex[id] : kNoTileIndex;
    return g_callbacks.Shape(id, flags) * 10 + g_callbacks.Value(id, flags);
}

// The count-table entry of a tile id, or 0 when the id is no tile.
inline int32_t slotOf(int32_t id, int32_t flags) {
    if (id < 0) return 0;
    int32_t index = indexOf(id, flags);
    return MJ_IsCountIndex(index) ? index : 0;
}

// The kind of a joker id: 0 when absent (negative id, negative shape, value below 1) or when
// the kind cannot address a count table.
int32_t jokerKind(int32_t id, int32_t flags);

// Bit i set when index i is an honour / a flower by the callbacks.
uint64_t honourMask(int32_t jokerA, int32_t jokerB, int32_t flags);
uint64_t flowerMask(int32_t jokerA, int32_t jokerB, int32_t flags);

inline bool jokersOn(int32_t jokerA, int32_t flags) {
    return (flags & kTileFlagJokers) != 0 && jokerA >= 0;
}

// The honour runs under tile flag 0x20, in the order a split tries them: three different winds
// or the three dragons, recorded as a run from `index` with the gap of the winds left out;
// then two of them with a joker in the `place` of the run.
struct HonourRun {
    int8_t a, b, c, index, gap;
};
inline constexpr HonourRun kHonourRuns[] = {
    {31, 32, 33, 31, 0}, {31, 32, 34, 31, 2}, {32, 33, 34, 32, 0},
    {31, 33, 34, 31, 1}, {35, 36, 37, 35, 0},
};
struct HonourJokerRun {
    int8_t a, b, index, place, gap;
};
inline constexpr HonourJokerRun kHonourJokerRuns[] = {
    {31, 32, 31, 2, 0}, {31, 33, 31, 1, 0}, {31, 34, 31, 1, 2},
    {32, 33, 32, 2, 0}, {32, 34, 32, 1, 0}, {33, 34, 33, 0, 0},
    {35, 36, 35, 2, 0}, {35, 37, 35, 1, 0}, {36, 37, 36, 0, 0},
};

}  // namespace hqlv::rules::detail

namespace hqlv::rules {
struct HuResult;
}

namespace hqlv::rules::detail {

// The win test and the win check with the pair possibly already made (pairDone): the wait
// classification takes the pair out of a hand and asks whether the rest is melds alone.
int32_t canHu(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t jokerA,
              int32_t jokerB, int32_t winningIndex, int32_t flags, int32_t rule, HuResult& result,
              int32_t mask, bool pairDone);
int32_t checkHu(const CountTable& counts, int32_t winningTile, int32_t jokerA, int32_t jokerB,
                int32_t flags, int32_t rule, HuResult& result, int32_t mask, bool pairDone);

}  // namespace hqlv::rules::detail
