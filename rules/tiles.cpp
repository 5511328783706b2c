#include "rules/tiles.h"

#include "rules/common.h"
#include "rules/internal.h"

namespace hqlv::rules {

namespace detail {

namespace {
constexpr auto makeIdIndexTable() {
    struct Table {
        int8_t v[kTileIdCount];
    } t{};
    for (int id = 0; id < kTileIdCount; ++id) {
        int shape = id < 108 ? id / 36 : (id < 136 ? 3 : 4);
        int value = id < 108 ? id % 9 + 1 : (id < 136 ? (id - 108) % 7 + 1 : id - 135);
        t.v[id] = static_cast<int8_t>(shape * 10 + value);
    }
    return t;
}
constexpr auto kIdIndexTable = makeIdIndexTable();

constexpr uint64_t kDefaultHonourMask = 0x7full << 31;        // 31..37
constexpr uint64_t kDefaultFlowerMask = ~((1ull << 40) - 1);  // 40..63
}  // namespace

const int8_t kDefaultIdIndex[kTileIdCount] = {
#define R(i) kIdIndexTable.v[i]
#define R8(i) R(i), R(i + 1), R(i + 2), R(i + 3), R(i + 4), R(i + 5), R(i + 6), R(i + 7)
    R8(0),  R8(8),  R8(16), R8(24),  R8(32),  R8(40),  R8(48),  R8(56),  R8(64), R8(72),
    R8(80), R8(88), R8(96), R8(104), R8(112), R8(120), R8(128), R8(136), R8(144)
#undef R8
#undef R
};

// Constant-initialised, so that rule objects built by other static initialisers already find
// the defaults.
constinit MJ_TileCallbacks g_callbacks{MJ_IsFlowerIndex,     MJ_IsHonourIndex, MJ_IsJokerIndex,
                                       MJ_JokerStandInIndex, MJ_TileShape,     MJ_TileValue};
constinit bool g_defaultCallbacks = true;

int32_t jokerKind(int32_t id, int32_t flags) {
    if (id < 0) return 0;
    if (g_defaultCallbacks) return id < kTileIdCount ? kDefaultIdIndex[id] : 0;
    int32_t index = MJ_MakeIndex(g_callbacks.Shape(id, flags), g_callbacks.Value(id, flags));
    return MJ_IsCountIndex(index) ? index : 0;
}

uint64_t honourMask(int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (g_defaultCallbacks) return kDefaultHonourMask;
    uint64_t mask = 0;
    for (int i = 1; i < kIndexCount; ++i)
        if (g_callbacks.IsHonour(i, jokerA, jokerB, flags)) mask |= 1ull << i;
    return mask;
}

uint64_t flowerMask(int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (g_defaultCallbacks) return kDefaultFlowerMask;
    uint64_t mask = 0;
    for (int i = 0; i < kIndexCount; ++i)
        if (g_callbacks.IsFlower(i, jokerA, jokerB, flags)) mask |= 1ull << i;
    return mask;
}

}  // namespace detail

using detail::g_callbacks;
using detail::indexOf;
using detail::slotOf;

// --- Callback table ----------------------------------------------------------------------

MJ_TileCallbacks MJ_DefaultTileCallbacks() {
    return MJ_TileCallbacks{MJ_IsFlowerIndex,     MJ_IsHonourIndex, MJ_IsJokerIndex,
                            MJ_JokerStandInIndex, MJ_TileShape,     MJ_TileValue};
}

const MJ_TileCallbacks& MJ_GetTileCallbacks() {
    return g_callbacks;
}

void MJ_SetTileCallbacks(const MJ_TileCallbacks& callbacks) {
    const MJ_TileCallbacks d = MJ_DefaultTileCallbacks();
    MJ_TileCallbacks c = callbacks;
    if (!c.IsFlower) c.IsFlower = d.IsFlower;
    if (!c.IsHonour) c.IsHonour = d.IsHonour;
    if (!c.IsJoker) c.IsJoker = d.IsJoker;
    if (!c.StandInIndex) c.StandInIndex = d.StandInIndex;
    if (!c.Shape) c.Shape = d.Shape;
    if (!c.Value) c.Value = d.Value;
    g_callbacks = c;
    detail::g_defaultCallbacks = c.IsFlower == d.IsFlower && c.IsHonour == d.IsHonour &&
                                 c.IsJoker == d.IsJoker && c.StandInIndex == d.StandInIndex &&
                                 c.Shape == d.Shape && c.Value == d.Value;
}

// --- Defaults ----------------------------------------------------------------------------

int32_t MJ_TileShape(int32_t id, int32_t) {
    if (id < 0 || id >= kTileIdCount) return -1;
    if (id < 108) return id / 36;
    return id < 136 ? 3 : 4;
}

int32_t MJ_TileValue(int32_t id, int32_t) {
    if (id < 0 || id >= kTileIdCount) return 0;
    if (id < 108) return id % 9 + 1;
    return id < 136 ? (id - 108) % 7 + 1 : id - 135;
}

int32_t MJ_IsFlowerIndex(int32_t index, int32_t, int32_t, int32_t) {
    return index / 10 >= 4;
}

int32_t MJ_IsHonourIndex(int32_t index, int32_t, int32_t, int32_t) {
    return (MJ_IsWindIndex(index) || MJ_IsDragonIndex(index)) ? 1 : 0;
}

int32_t MJ_IsJokerIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (index < 1 || !detail::jokersOn(jokerA, flags)) return 0;
    auto matches = [&](int32_t id) {
        return id >= 0 && index / 10 == g_callbacks.Shape(id, flags) &&
               index % 10 == g_callbacks.Value(id, flags);
    };
    return (matches(jokerA) || matches(jokerB)) ? 1 : 0;
}

int32_t MJ_JokerStandInIndex(int32_t, int32_t, int32_t) {
    return 37;
}

// --- Conversions -------------------------------------------------------------------------

int32_t MJ_TileIndex(int32_t id, int32_t flags) {
    return indexOf(id, flags);
}

int32_t MJ_MakeIndex(int32_t shape, int32_t value) {
    if (shape < 0 || value < 1) return 0;
    return shape * 10 + value;
}

int32_t MJ_FindTileOfIndex(int32_t index, int32_t flags) {
    if (index < 1) return -1;
    for (int32_t id = 0; id < 168; ++id)
        if (indexOf(id, flags) == index) return id;
    return -1;
}

int32_t MJ_IsSameKind(int32_t a, int32_t b, int32_t flags) {
    return indexOf(a, flags) == indexOf(b, flags) ? 1 : 0;
}

int32_t MJ_IsWindIndex(int32_t index) {
    return (index >= 31 && index <= 34) ? index : 0;
}
int32_t MJ_IsDragonIndex(int32_t index) {
    return (index >= 35 && index <= 37) ? index : 0;
}

int32_t MJ_Is258Tile(int32_t index) {
    if (index < 1 || index > 29) return 0;
    int32_t v = index % 10;
    return (v == 2 || v == 5 || v == 8) ? 1 : 0;
}

// --- Lists -------------------------------------------------------------------------------

int32_t MJ_CountTiles(const int32_t* list, int32_t n, CountTable& counts, int32_t flags) {
    if (!list) return 0;
    int32_t counted = 0;
    for (int32_t k = 0; k < n; ++k) {
        int32_t slot = slotOf(list[k], flags);
        if (slot == 0) continue;
        ++counts[slot];
        ++counted;
    }
    return counted;
}

int32_t MJ_CollectSameKind(const int32_t* list, int32_t n, int32_t tile, int32_t* out, int32_t max,
                           int32_t flags) {
    int32_t slot = slotOf(tile, flags);
    if (slot == 0) return 0;
    return MJ_CollectIndex(list, n, slot, out, max, flags);
}

int32_t MJ_CollectIndex(const int32_t* list, int32_t n, int32_t index, int32_t* out, int32_t max,
                        int32_t flags) {
    if (!list || !out || !MJ_IsCountIndex(index)) return 0;
    int32_t copied = 0;
    for (int32_t k = 0; k < n && copied < max; ++k) {
        if (list[k] < 0 || slotOf(list[k], flags) != index) continue;
        out[copied++] = list[k];
    }
    return copied;
}

void MJ_ClearGroup4(int32_t* group) {
    FillMinusOne(group, 4);
}

// --- Jokers ------------------------------------------------------------------------------

int32_t MJ_IsJoker(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (tile < 0) return 0;
    return g_callbacks.IsJoker(indexOf(tile, flags), jokerA, jokerB, flags) ? 1 : 0;
}

int32_t MJ_JokerIndices(int32_t jokerA, int32_t jokerB, int32_t flags, int32_t* outA,
                        int32_t* outB) {
    int32_t written = 0;
    if (jokerA >= 0) {
        if (outA) *outA = detail::jokerKind(jokerA, flags);
        ++written;
    }
    if (jokerB >= 0) {
        if (outB) *outB = detail::jokerKind(jokerB, flags);
        ++written;
    }
    return written;
}

int32_t MJ_JokerCounts(const CountTable& counts, int32_t jokerA, int32_t jokerB, int32_t flags,
                       int32_t* extraB) {
    if (!detail::jokersOn(jokerA, flags)) return 0;
    int32_t ia = detail::jokerKind(jokerA, flags);
    int32_t ib = detail::jokerKind(jokerB, flags);
    if (ib != 0 && extraB) *extraB += counts[ib];
    return ia != 0 ? counts[ia] : 0;
}

int32_t MJ_StandInIndexOf(int32_t jokerA, int32_t jokerB, int32_t flags) {
    return g_callbacks.StandInIndex(detail::jokerKind(jokerA, flags),
                                    detail::jokerKind(jokerB, flags), flags);
}

int32_t MJ_IsStandInIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags) {
    return index == MJ_StandInIndexOf(jokerA, jokerB, flags) ? index : 0;
}

int32_t MJ_IsJokerStandIn(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (tile < 0) return 0;
    return MJ_IsStandInIndex(indexOf(tile, flags), jokerA, jokerB, flags);
}

// --- Flowers -----------------------------------------------------------------------------

int32_t MJ_IsFlower(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (tile < 0) return 0;
    return g_callbacks.IsFlower(indexOf(tile, flags), jokerA, jokerB, flags) ? 1 : 0;
}

int32_t MJ_HasFlowerTile(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                         int32_t flags) {
    int32_t slot = slotOf(tile, flags);
    if (slot == 0 || !g_callbacks.IsFlower(slot, jokerA, jokerB, flags)) return 0;
    return counts[slot] >= 1 ? kResultFlowerHeld : 0;
}

int32_t MJ_CountFlowers(const CountTable& counts, int32_t jokerA, int32_t jokerB, int32_t flags) {
    uint64_t mask = detail::flowerMask(jokerA, jokerB, flags);
    int32_t total = 0;
    for (int i = 0; i < kIndexCount; ++i)
        if ((mask >> i & 1) && counts[i] > 0) total += counts[i];
    return total;
}

// --- Hand preparation ----------------------------------------------------------------------

int32_t MJ_AddTileTakeJokers(CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t* tileIndex, int32_t flags, int32_t claimMode,
                             int32_t* jokersB) {
    if (tileIndex) *tileIndex = 0;
    if (jokersB) *jokersB = 0;
    int32_t slot = slotOf(tile, flags);
    if (slot != 0) {
        ++counts[slot];
        if (tileIndex) *tileIndex = slot;
    }
    if (!(flags & kTileFlagJokers)) return 0;
    // Joker B is only a joker while joker A is present; without A there are no jokers.
    if (jokerA < 0) return 0;
    int32_t ia = detail::jokerKind(jokerA, flags);
    int32_t ib = detail::jokerKind(jokerB, flags);
    int32_t takenA = 0;
    if (!((flags & kTileFlagJokersNatural) && claimMode)) {
        if (ia != 0) {
            takenA = counts[ia];
            counts[ia] = 0;
        }
        if (jokerB >= 0 && ib != 0) {
            if (jokersB) *jokersB += counts[ib];
            counts[ib] = 0;
        }
    }
    if (flags & kTileFlagStandIn) {
        int32_t s = MJ_StandInIndexOf(jokerA, jokerB, flags);
        // The substitutes join joker A's kind; never move tiles onto a missing kind or onto
        // themselves, and never drop tiles already counted there.
        if (ia != 0 && MJ_IsCountIndex(s) && s != ia) {
            counts[ia] += counts[s];
            counts[s] = 0;
        }
    }
    return takenA;
}

int32_t MJ_CanFormSuitRun(const CountTable& counts, int32_t index) {
    // A run is three neighbouring values of one suit, and only the suits' indexes (1 to 29)
    // have them: the other kinds that are no honours, the flowers (41 to 56), are single
    // tiles that never join a run, though their indexes also end in 1 to 9. (The chow test
    // and the win check count runs of suit tiles only, the win check's below index 30.) Read
    // by value alone, an index near the top of the table would also look past its 64 counts.
    if (index < 1 || index > 29) return 0;
    const int32_t i = index;
    const int32_t v = i % 10;
    if (v == 0) return 0;
    auto has = [&](int32_t a, int32_t b, int32_t c) {
        return counts[a] != 0 && counts[b] != 0 && counts[c] != 0;
    };
    bool low = v >= 3 && has(i - 2, i - 1, i);
    bool mid = v >= 2 && v <= 8 && has(i - 1, i, i + 1);
    bool high = v <= 7 && has(i, i + 1, i + 2);
    return (low || mid || high) ? 1 : 0;
}

int32_t MJ_CanFormHonourRun(const CountTable& counts, int32_t index, int32_t flags) {
    if (!(flags & kTileFlagHonourRuns)) return 0;
    int32_t lo = 35, hi = 37;
    if (index >= 31 && index <= 34) lo = 31, hi = 34;
    int32_t others = 0;
    for (int32_t k = lo; k <= hi; ++k)
        if (k != index && counts[k] != 0) ++others;
    return others >= 2 ? 1 : 0;
}

int32_t MJ_CanFormRun(const CountTable& counts, int32_t index, int32_t jokerA, int32_t jokerB,
                      int32_t flags) {
    int32_t i = index;
    if ((flags & kTileFlagStandIn) && index == MJ_StandInIndexOf(jokerA, jokerB, flags))
        i = detail::jokerKind(jokerA, flags);
    if (!MJ_IsCountIndex(i)) return 0;
    if (!g_callbacks.IsHonour(i, jokerA, jokerB, flags)) return MJ_CanFormSuitRun(counts, i);
    return (flags & kTileFlagHonourRuns) ? MJ_CanFormHonourRun(counts, i, flags) : 0;
}

// --- Wall ----------------------------------------------------------------------------------

int32_t MJ_NextTailWallPos(int32_t start, int32_t skip, int32_t wallSize, int32_t* counter,
                           int32_t* skipped) {
    if (skipped) *skipped = 0;
    if (!counter || wallSize <= 0) return -1;
    int32_t c = *counter;
    int64_t wide = static_cast<int64_t>(start) - 2 - 2 * static_cast<int64_t>(c / 2) + (c % 2);
    if (wide < 0) wide += wallSize;
    // A start or counter outside the wall still names a position inside it.
    if (wide < 0 || wide >= wallSize) wide = ((wide % wallSize) + wallSize) % wallSize;
    int32_t p = static_cast<int32_t>(wide);
    if (p == skip) {
        if (skipped) *skipped = 1;
        ++*counter;
        ++p;
        if (p == wallSize) p = 0;
    }
    ++*counter;
    return p;
}

}  // namespace hqlv::rules
