#include "rules/hu.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rules/internal.h"

namespace hqlv::rules {

using detail::slotOf;

namespace {

// --- The split ---------------------------------------------------------------------------
// A depth-first search from the lowest kind held, taking tiles out of one table in place and
// putting them back when an attempt fails. The kinds below the current one are always empty,
// so each level starts its scan where the level above found its kind.

struct Split {
    int32_t* c;     // the caller's table: changed while searching, restored unless it wins
    uint64_t held;  // bit i set while c[i] > 0: the lowest kind held is one bit scan away
    int32_t poolA, poolB;
    int32_t indexA, indexB;
    bool honourRuns;
    HuResult* result;
};

using detail::HonourJokerRun;
using detail::HonourRun;
using detail::kHonourJokerRuns;
using detail::kHonourRuns;

inline int32_t pool(const Split& s) {
    return MJ_SumJokers(s.poolA, s.poolB);
}

inline void take(Split& s, int32_t i, int32_t n) {
    if ((s.c[i] -= n) == 0) s.held &= ~(1ull << i);
}

inline void put(Split& s, int32_t i, int32_t n) {
    if (s.c[i] == 0) s.held |= 1ull << i;
    s.c[i] += n;
}

uint64_t heldMask(const int32_t* c) {
    uint64_t m = 0;
#if defined(__SSE2__)
    // Four counts at a time: one compare and one sign-bit gather per group.
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < kIndexCount; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
        int empty = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, zero)));
        m |= static_cast<uint64_t>(~empty & 0xF) << i;
    }
    m &= ~1ull;
#else
    for (int i = 1; i < kIndexCount; ++i) m |= static_cast<uint64_t>(c[i] != 0) << i;
#endif
    return m;
}

// Takes n jokers from the pools; usedA / usedB receive how many came from each.
inline void takeJokers(Split& s, int32_t n, int32_t& usedA, int32_t& usedB) {
    int32_t beforeA, beforeB;
    MJ_TakeJokers(&beforeA, &beforeB, &s.poolA, &s.poolB, n);
    usedA = beforeA - s.poolA;
    usedB = beforeB - s.poolB;
}

inline void giveJokers(Split& s, int32_t usedA, int32_t usedB) {
    s.poolA += usedA;
    s.poolB += usedB;
}

inline void record(Split& s, int32_t type, int32_t index, int32_t usedA = 0, int32_t usedB = 0,
                   int32_t place = 0, int32_t gap = 0) {
    MJ_AddHuUnit(s.result, type, index, usedA, usedB, s.indexA, s.indexB, place, gap);
}

bool split(Split& s, bool pairDone);

bool splitJokersOnly(Split& s, bool pairDone) {
    const int32_t p = pool(s);
    if (p == 0) return pairDone;  // a normal hand needs exactly one pair
    int32_t ua, ub;
    if (p >= 3) {
        takeJokers(s, 3, ua, ub);
        if (splitJokersOnly(s, pairDone)) {
            MJ_AddJokerUnit(s.result, kUnitTriplet, ua, ub, s.indexA, s.indexB);
            return true;
        }
        giveJokers(s, ua, ub);
    }
    if (!pairDone && p >= 2) {
        takeJokers(s, 2, ua, ub);
        if (splitJokersOnly(s, true)) {
            MJ_AddJokerUnit(s.result, kUnitPair, ua, ub, s.indexA, s.indexB);
            return true;
        }
        giveJokers(s, ua, ub);
    }
    return false;
}

bool splitHonourRuns(Split& s, bool pairDone) {
    int32_t* c = s.c;
    for (const HonourRun& r : kHonourRuns) {
        if (!c[r.a] || !c[r.b] || !c[r.c]) continue;
        take(s, r.a, 1), take(s, r.b, 1), take(s, r.c, 1);
        if (split(s, pairDone)) {
            record(s, kUnitRun, r.index, 0, 0, 0, r.gap);
            return true;
        }
        put(s, r.a, 1), put(s, r.b, 1), put(s, r.c, 1);
    }
    for (const HonourJokerRun& r : kHonourJokerRuns) {
        if (!c[r.a] || !c[r.b] || pool(s) < 1) continue;
        int32_t ua, ub;
        take(s, r.a, 1), take(s, r.b, 1);
        takeJokers(s, 1, ua, ub);
        if (split(s, pairDone)) {
            record(s, kUnitRun, r.index, ua, ub, r.place, r.gap);
            return true;
        }
        giveJokers(s, ua, ub);
        put(s, r.a, 1), put(s, r.b, 1);
    }
    return false;
}

bool split(Split& s, bool pairDone) {
    int32_t* c = s.c;
    if (s.held == 0) return splitJokersOnly(s, pairDone);
    const int32_t i = __builtin_ctzll(s.held);  // the lowest kind held

    const int32_t n = c[i];
    const int32_t p = pool(s);
    int32_t ua, ub;

    if (n == 4) {
        take(s, i, 4);
        if (split(s, pairDone)) {
            record(s, kUnitFour, i);
            return true;
        }
        put(s, i, 4);
    }
    if (n >= 3) {
        take(s, i, 3);
        if (split(s, pairDone)) {
            record(s, kUnitTriplet, i);
            return true;
        }
        put(s, i, 3);
    }
    if (n >= 2 && p >= 1) {
        take(s, i, 2);
        takeJokers(s, 1, ua, ub);
        if (split(s, pairDone)) {
            record(s, kUnitTriplet, i, ua, ub);
            return true;
        }
        giveJokers(s, ua, ub);
        put(s, i, 2);
    }
    if (p >= 2) {
        take(s, i, 1);
        takeJokers(s, 2, ua, ub);
        if (split(s, pairDone)) {
            record(s, kUnitTriplet, i, ua, ub);
            return true;
        }
        giveJokers(s, ua, ub);
        put(s, i, 1);
    }
    if (!pairDone) {
        if (n >= 2) {
            take(s, i, 2);
            if (split(s, true)) {
                record(s, kUnitPair, i);
                return true;
            }
            put(s, i, 2);
        }
        if (p >= 1) {
            take(s, i, 1);
            takeJokers(s, 1, ua, ub);
            if (split(s, true)) {
                record(s, kUnitPair, i, ua, ub);
                return true;
            }
            giveJokers(s, ua, ub);
            put(s, i, 1);
        }
    }
    if (i < 30) {
        const int32_t v = i % 10;
        if (v == 0) return false;
        if (v <= 7 && c[i + 1] && c[i + 2]) {
            take(s, i, 1), take(s, i + 1, 1), take(s, i + 2, 1);
            if (split(s, pairDone)) {
                record(s, kUnitRun, i);
                return true;
            }
            put(s, i, 1), put(s, i + 1, 1), put(s, i + 2, 1);
        }
        if (v <= 8 && c[i + 1] && p >= 1) {
            take(s, i, 1), take(s, i + 1, 1);
            takeJokers(s, 1, ua, ub);
            if (split(s, pairDone)) {
                record(s, kUnitRun, i, ua, ub, 2, 0);
                return true;
            }
            giveJokers(s, ua, ub);
            put(s, i, 1), put(s, i + 1, 1);
        }
        if (v <= 7 && c[i + 2] && p >= 1) {
            take(s, i, 1), take(s, i + 2, 1);
            takeJokers(s, 1, ua, ub);
            if (split(s, pairDone)) {
                record(s, kUnitRun, i, ua, ub, 1, 0);
                return true;
            }
            giveJokers(s, ua, ub);
            put(s, i, 1), put(s, i + 2, 1);
        }
        return false;
    }
    return s.honourRuns && splitHonourRuns(s, pairDone);
}

// --- Special hands -------------------------------------------------------------------------

int64_t tableTotal(const CountTable& c, int32_t jokersA, int32_t jokersB) {
    int64_t total = static_cast<int64_t>(jokersA) + jokersB;
    for (int i = 0; i < kIndexCount; ++i) total += c[i];
    return total;
}

// Honour bits as IsHonour sees them with the joker kinds given as tile ids.
uint64_t honoursFor(int32_t indexA, int32_t indexB, int32_t flags) {
    if (detail::g_defaultCallbacks) return detail::honourMask(-1, -1, flags);
    return detail::honourMask(MJ_FindTileOfIndex(indexA, flags), MJ_FindTileOfIndex(indexB, flags),
                              flags);
}

using SpecialTest = int32_t (*)(const CountTable&, int32_t, int32_t, int32_t, int32_t, int32_t,
                                int32_t, int32_t, HuResult*);

// Runs a special-hand test; when it fails under flag 0x4 with a single tile on joker A's kind,
// that tile goes back to the substitute kind and the test runs once more.
int32_t withStandIn(SpecialTest test, const CountTable& c, int32_t jokersA, int32_t jokersB,
                    int32_t jokerA, int32_t jokerB, int32_t indexA, int32_t indexB, int32_t wi,
                    int32_t flags, int32_t rule, HuResult* result) {
    if (test(c, jokersA, jokersB, indexA, indexB, wi, flags, rule, result)) return kResultWin;
    if (!(flags & kTileFlagStandIn) || indexA == 0 || c[indexA] != 1) return 0;
    int32_t s = MJ_StandInIndexOf(jokerA, jokerB, flags);
    if (!MJ_IsCountIndex(s) || s == indexA) return 0;
    CountTable moved;
    std::memcpy(moved, c, sizeof(CountTable));
    moved[indexA] = 0;
    moved[s] += 1;
    return test(moved, jokersA, jokersB, indexA, indexB, wi, flags, rule, result);
}

HuResult& scratchOr(HuResult* result, HuResult& scratch) {
    return result ? *result : scratch;
}

}  // namespace

// --- Joker pools and units ---------------------------------------------------------------

int32_t MJ_SumJokers(int32_t a, int32_t b) {
    if (a < 0 || b < 0) return 0;
    const int64_t sum = static_cast<int64_t>(a) + b;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

int32_t MJ_TakeJokers(int32_t* beforeA, int32_t* beforeB, int32_t* poolA, int32_t* poolB,
                      int32_t n) {
    if (!beforeA || !beforeB || !poolA || !poolB) return 0;
    *beforeA = *poolA;
    *beforeB = *poolB;
    int32_t taken = 0;
    while (taken < n) {
        const bool a = *poolA > 0, b = *poolB > 0;
        if (!a && !b) break;
        if (a && (!b || *poolA <= *poolB))
            --*poolA;
        else
            --*poolB;
        ++taken;
    }
    return taken;
}

int32_t MJ_RestoreJokers(int32_t a, int32_t b, int32_t* poolA, int32_t* poolB) {
    if (!poolA || !poolB) return 0;
    *poolA = a;
    *poolB = b;
    return 1;
}

int32_t MJ_TakeOneJoker(int32_t* usedA, int32_t* usedB, int32_t indexA, int32_t indexB) {
    if (!usedA || !usedB) return 0;
    if (*usedA > 0 && (*usedB <= 0 || *usedA <= *usedB)) {
        --*usedA;
        return indexA;
    }
    if (*usedB > 0) {
        --*usedB;
        return indexB;
    }
    return 0;
}

namespace {
HuUnit* appendUnit(HuResult* result, int32_t type) {
    if (!result) return nullptr;
    if (result->unitCount < 0) result->unitCount = 0;
    if (result->unitCount >= kMaxHuUnits) return nullptr;
    HuUnit& u = result->units[result->unitCount++];
    u.type = type;
    u.tiles[0] = u.tiles[1] = u.tiles[2] = u.tiles[3] = 0;
    return &u;
}
}  // namespace

// Tile words by type and joker places (J = minus a joker kind):
//   four     0: i i i i      1: i i i J
//   triplet  0: i i i        1: i i J       2: i J J
//   pair     0: i i          1: i J         2: J J
//   run, no joker, gap 0/1/2:           i i+1 i+2 / i i+2 i+3 / i i+1 i+3
//   run, one joker, place 0/1/2 (gap 0): J i i+1 / i J i+2 / i i+1 J;  place 1 gap 2: i J i+3
// Other combinations store the type alone.
void MJ_AddHuUnit(HuResult* result, int32_t type, int32_t i, int32_t usedA, int32_t usedB,
                  int32_t indexA, int32_t indexB, int32_t place, int32_t gap) {
    HuUnit* u = appendUnit(result, type);
    if (!u) return;
    const int32_t jokers = usedA + usedB;
    auto J = [&] { return -MJ_TakeOneJoker(&usedA, &usedB, indexA, indexB); };
    int32_t* t = u->tiles;
    switch (type) {
        case kUnitFour:
            if (jokers == 0) t[0] = t[1] = t[2] = t[3] = i;
            if (jokers == 1) t[0] = t[1] = t[2] = i, t[3] = J();
            break;
        case kUnitTriplet:
            if (jokers == 0) t[0] = t[1] = t[2] = i;
            if (jokers == 1) t[0] = t[1] = i, t[2] = J();
            if (jokers == 2) t[0] = i, t[1] = J(), t[2] = J();
            break;
        case kUnitPair:
            if (jokers == 0) t[0] = t[1] = i;
            if (jokers == 1) t[0] = i, t[1] = J();
            if (jokers == 2) t[0] = J(), t[1] = J();
            break;
        case kUnitRun:
            if (jokers == 0) {
                if (gap == 0) t[0] = i, t[1] = i + 1, t[2] = i + 2;
                if (gap == 1) t[0] = i, t[1] = i + 2, t[2] = i + 3;
                if (gap == 2) t[0] = i, t[1] = i + 1, t[2] = i + 3;
            } else if (jokers == 1) {
                if (gap == 0 && place == 0) t[0] = J(), t[1] = i, t[2] = i + 1;
                if (gap == 0 && place == 1) t[0] = i, t[1] = J(), t[2] = i + 2;
                if (gap == 0 && place == 2) t[0] = i, t[1] = i + 1, t[2] = J();
                if (gap == 2 && place == 1) t[0] = i, t[1] = J(), t[2] = i + 3;
            }
            break;
        default:
            break;
    }
}

void MJ_AddUnitTiles(HuResult* result, int32_t type, int32_t t1, int32_t t2, int32_t t3,
                     int32_t t4) {
    HuUnit* u = appendUnit(result, type);
    if (!u) return;
    u->tiles[0] = t1, u->tiles[1] = t2, u->tiles[2] = t3, u->tiles[3] = t4;
}

void MJ_AddJokerUnit(HuResult* result, int32_t type, int32_t usedA, int32_t usedB, int32_t indexA,
                     int32_t indexB) {
    HuUnit* u = appendUnit(result, type);
    if (!u) return;
    const int32_t places = type == kUnitPair ? 2 : (type == kUnitTriplet ? 3 : 0);
    for (int32_t k = 0; k < places; ++k)
        u->tiles[k] = -MJ_TakeOneJoker(&usedA, &usedB, indexA, indexB);
}

// --- Special hands -------------------------------------------------------------------------

int32_t MJ_IsSevenPairs(const CountTable& c, int32_t jokersA, int32_t jokersB, int32_t indexA,
                        int32_t indexB, int32_t, int32_t, int32_t rule, HuResult* result) {
    if (!(rule & kRuleSevenPairs)) return 0;
    const int64_t total = tableTotal(c, jokersA, jokersB);
    if (total != 12 && total != 14) return 0;
    int32_t odd = 0;
    for (int i = 1; i < kIndexCount; ++i)
        if (c[i] > 0 && (c[i] & 1)) ++odd;
    if (odd > MJ_SumJokers(jokersA, jokersB)) return 0;
    int32_t poolA = jokersA, poolB = jokersB;
    for (int32_t i = 1; i < kIndexCount; ++i) {
        int32_t n = c[i];
        for (; n >= 4; n -= 4) MJ_AddHuUnit(result, kUnitFour, i, 0, 0, indexA, indexB, 0, 0);
        if (n == 0) continue;
        int32_t beforeA = 0, beforeB = 0, usedA = 0, usedB = 0;
        if (n & 1) {
            MJ_TakeJokers(&beforeA, &beforeB, &poolA, &poolB, 1);
            usedA = beforeA - poolA;
            usedB = beforeB - poolB;
        }
        MJ_AddHuUnit(result, n == 3 ? kUnitFour : kUnitPair, i, usedA, usedB, indexA, indexB, 0, 0);
    }
    return kResultWin;
}

int32_t MJ_IsThirteenUnrelated(const CountTable& c, int32_t jokersA, int32_t jokersB,
                               int32_t indexA, int32_t indexB, int32_t, int32_t flags, int32_t rule,
                               HuResult* result) {
    if (!(rule & kRuleThirteenUnrelated)) return 0;
    if (tableTotal(c, jokersA, jokersB) != 14) return 0;
    for (int i = 1; i < kIndexCount; ++i)
        if (c[i] >= 2) return 0;
    const uint64_t honours = honoursFor(indexA, indexB, flags);
    for (int i = 1; i < kIndexCount; ++i) {
        if (c[i] == 0 || (honours >> i & 1) || i % 10 == 9) continue;
        if ((i + 1 < kIndexCount && c[i + 1]) || (i + 2 < kIndexCount && c[i + 2])) return 0;
    }
    appendUnit(result, kUnitThirteenUnrelated);
    return kResultWin;
}

int32_t MJ_IsAllSevenHonours(const CountTable& c, int32_t jokersA, int32_t jokersB, int32_t,
                             int32_t, int32_t, int32_t flags, int32_t rule, HuResult* result) {
    if (!(rule & kRuleAllSevenHonours)) return 0;
    int32_t poolA = jokersA, poolB = jokersB, beforeA, beforeB;
    for (int i = 31; i <= 37; ++i) {
        if (c[i] != 0) continue;
        if (flags & kTileFlagNoJokersInSevenHonours) return 0;
        if (MJ_TakeJokers(&beforeA, &beforeB, &poolA, &poolB, 1) != 1) return 0;
    }
    appendUnit(result, kUnitAllSevenHonours);
    return kResultWin;
}

int32_t MJ_IsAllHonours(const CountTable& c, int32_t jokersA, int32_t jokersB, int32_t indexA,
                        int32_t indexB, int32_t, int32_t flags, int32_t rule, HuResult* result) {
    if (!(rule & kRuleAllHonours)) return 0;
    if (tableTotal(c, jokersA, jokersB) == 0) return 0;
    const uint64_t honours = honoursFor(indexA, indexB, flags);
    for (int i = 0; i < kIndexCount; ++i)
        if (c[i] > 0 && !(honours >> i & 1)) return 0;
    appendUnit(result, kUnitAllHonours);
    return kResultWin;
}

int32_t MJ_IsAll258(const CountTable& c, int32_t jokersA, int32_t jokersB, int32_t indexA,
                    int32_t indexB, int32_t, int32_t flags, int32_t rule, HuResult* result) {
    if (!(rule & kRuleAll258)) return 0;
    if (tableTotal(c, jokersA, jokersB) == 0) return 0;
    const uint64_t honours = honoursFor(indexA, indexB, flags);
    for (int i = 0; i < kIndexCount; ++i)
        if (c[i] > 0 && ((honours >> i & 1) || !MJ_Is258Tile(i))) return 0;
    appendUnit(result, kUnitAll258);
    return kResultWin;
}

int32_t MJ_SplitMelds(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t indexA,
                      int32_t indexB, int32_t, int32_t flags, int32_t, HuResult* result,
                      int32_t pairDone) {
    if (jokersA < 0 || jokersB < 0) return 0;
    int64_t total = static_cast<int64_t>(jokersA) + jokersB;
    for (int i = 0; i < kIndexCount; ++i) {
        if (counts[i] < 0 || counts[i] > kMaxHandTiles) return 0;
        total += counts[i];
    }
    if (counts[0] != 0 || total > kMaxHandTiles) return 0;
    HuResult scratch;
    CountTable copy;
    std::memcpy(copy, counts, sizeof(CountTable));
    Split s;
    s.c = copy;
    s.held = heldMask(copy);
    s.poolA = jokersA;
    s.poolB = jokersB;
    s.indexA = indexA;
    s.indexB = indexB;
    s.honourRuns = (flags & kTileFlagHonourRuns) != 0;
    s.result = result ? result : &scratch;
    if (!result) scratch.unitCount = 0;
    return split(s, pairDone != 0) ? kResultWin : 0;
}

// --- The win test --------------------------------------------------------------------------

namespace {

// The win test on a table that the caller lets it search in place (restored unless it wins).
int32_t canHuOn(CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t jokerA,
                int32_t jokerB, int32_t wi, int32_t flags, int32_t rule, HuResult& result,
                int32_t mask, bool pairDone) {
    std::memset(&result, 0, sizeof(HuResult));
    // Counts and pools come from callers: refuse what no hand can be. One pass gathers the
    // total, any negative entry, any oversized entry and, with the default callbacks, flowers.
    // The total is summed wide: callers' counts are checked, not trusted not to overflow.
    int64_t total = static_cast<int64_t>(jokersA) + jokersB;
    int32_t signs = jokersA | jokersB | counts[0], big = 0;
    for (int i = 1; i < kIndexCount; ++i) {
        total += counts[i];
        signs |= counts[i];
        big |= counts[i] > kMaxHandTiles;
    }
    if (signs < 0 || counts[0] != 0 || big || total > kMaxHandTiles) return 0;
    if (detail::g_defaultCallbacks) {
        int32_t flowers = 0;
        for (int i = 40; i < kIndexCount; ++i) flowers |= counts[i];
        if (flowers) return 0;
    } else if (MJ_CountFlowers(counts, jokerA, jokerB, flags) > 0) {
        return 0;
    }

    int32_t ia = 0, ib = 0;
    if (jokerA >= 0 || jokerB >= 0) MJ_JokerIndices(jokerA, jokerB, flags, &ia, &ib);
    auto special = [&](SpecialTest test, bool standIn) {
        if (standIn)
            return withStandIn(test, counts, jokersA, jokersB, jokerA, jokerB, ia, ib, wi, flags,
                               rule, &result);
        return test(counts, jokersA, jokersB, ia, ib, wi, flags, rule, &result);
    };

    if (const int32_t forced = mask & kHandTypeBits) {
        if (forced & kRuleSevenPairs) return special(MJ_IsSevenPairs, true);
        if (forced & kRuleThirteenUnrelated) return special(MJ_IsThirteenUnrelated, true);
        if (forced & kRuleAllSevenHonours) return special(MJ_IsAllSevenHonours, true);
        if (forced & kRuleAllHonours) return special(MJ_IsAllHonours, true);
        return special(MJ_IsAll258, false);
    }
    if (rule & kHandTypeBits) {
        if (special(MJ_IsSevenPairs, true)) return kResultWin;
        if (special(MJ_IsThirteenUnrelated, true)) return kResultWin;
        if (special(MJ_IsAllSevenHonours, true)) return kResultWin;
        if (special(MJ_IsAllHonours, true)) return kResultWin;
        if (special(MJ_IsAll258, false)) return kResultWin;
    }
    Split s;
    s.c = counts;
    s.held = heldMask(counts);
    s.poolA = jokersA;
    s.poolB = jokersB;
    s.indexA = ia;
    s.indexB = ib;
    s.honourRuns = (flags & kTileFlagHonourRuns) != 0;
    s.result = &result;
    return split(s, pairDone) ? kResultWin : 0;
}

}  // namespace

int32_t detail::canHu(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t jokerA,
                      int32_t jokerB, int32_t wi, int32_t flags, int32_t rule, HuResult& result,
                      int32_t mask, bool pairDone) {
    CountTable copy;
    std::memcpy(copy, counts, sizeof(CountTable));
    return canHuOn(copy, jokersA, jokersB, jokerA, jokerB, wi, flags, rule, result, mask, pairDone);
}

namespace {

int32_t huAsWild(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                 int32_t* jokersA, int32_t* jokersB, int32_t* wi, int32_t flags, int32_t rule,
                 HuResult& result, int32_t mask, bool pairDone) {
    CountTable copy;
    std::memcpy(copy, counts, sizeof(CountTable));
    int32_t index = 0, poolB = 0;
    int32_t poolA = MJ_AddTileTakeJokers(copy, tile, jokerA, jokerB, &index, flags, 0, &poolB);
    if (jokersA) *jokersA = poolA;
    if (jokersB) *jokersB = poolB;
    if (wi) *wi = index;
    return canHuOn(copy, poolA, poolB, jokerA, jokerB, index, flags, rule, result, mask, pairDone);
}

int32_t huAsNatural(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                    int32_t* jokersB, int32_t* wi, int32_t flags, int32_t rule, HuResult& result,
                    int32_t mask, bool pairDone) {
    CountTable copy;
    std::memcpy(copy, counts, sizeof(CountTable));
    int32_t index = 0, poolB = 0;
    // Natural: the jokers stay in the counts as their own kind whatever flag 0x8 says.
    MJ_AddTileTakeJokers(copy, tile, jokerA, jokerB, &index, flags | kTileFlagJokersNatural, 1,
                         &poolB);
    if (jokersB) *jokersB = poolB;
    if (wi) *wi = index;
    return canHuOn(copy, 0, 0, kNoTile, kNoTile, index, flags, rule, result, mask, pairDone);
}

}  // namespace

int32_t detail::checkHu(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                        int32_t flags, int32_t rule, HuResult& result, int32_t mask,
                        bool pairDone) {
    if ((flags & kTileFlagNoWinOnDiscard) && (mask & kMaskOnDiscard)) return 0;
    if ((flags & kTileFlagNoWinRobbingKong) && (mask & kMaskRobbingKong)) return 0;
    if (tile != kNoTile && slotOf(tile, flags) == 0) return 0;
    int32_t pa, pb, wi;
    if (!(flags & kTileFlagJokers)) {
        CountTable copy;
        std::memcpy(copy, counts, sizeof(CountTable));
        MJ_AddTileTakeJokers(copy, tile, jokerA, jokerB, &wi, flags, 0, &pb);
        return canHuOn(copy, 0, 0, kNoTile, kNoTile, wi, flags, rule, result, mask, pairDone);
    }
    const bool restricted = (mask & (kMaskOnDiscard | kMaskRobbingKong)) != 0;
    const bool winJoker = MJ_IsJoker(tile, jokerA, jokerB, flags);
    int32_t heldB = 0;
    const int32_t held = MJ_JokerCounts(counts, jokerA, jokerB, flags, &heldB) + heldB;
    if (!winJoker) {
        if ((flags & kTileFlagJokersNatural) && held >= 1 &&
            huAsNatural(counts, tile, jokerA, jokerB, &pb, &wi, flags, rule, result, mask,
                        pairDone))
            return kResultWin;
        return huAsWild(counts, tile, jokerA, jokerB, &pa, &pb, &wi, flags, rule, result, mask,
                        pairDone);
    }
    if (!(flags & kTileFlagJokersNatural)) {
        if (restricted) return 0;
        return huAsWild(counts, tile, jokerA, jokerB, &pa, &pb, &wi, flags, rule, result, mask,
                        pairDone);
    }
    const int32_t natural =
        huAsNatural(counts, tile, jokerA, jokerB, &pb, &wi, flags, rule, result, mask, pairDone);
    if (natural || restricted) return natural;
    return huAsWild(counts, tile, jokerA, jokerB, &pa, &pb, &wi, flags, rule, result, mask,
                    pairDone);
}

int32_t MJ_CheckHu(const CountTable& counts, int32_t winningTile, int32_t jokerA, int32_t jokerB,
                   int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    return detail::checkHu(counts, winningTile, jokerA, jokerB, flags, rule,
                           scratchOr(result, scratch), mask, false);
}

int32_t MJ_CanHu(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t jokerA,
                 int32_t jokerB, int32_t winningIndex, int32_t flags, int32_t rule,
                 HuResult* result, int32_t mask) {
    HuResult scratch;
    return detail::canHu(counts, jokersA, jokersB, jokerA, jokerB, winningIndex, flags, rule,
                         scratchOr(result, scratch), mask, false);
}

int32_t MJ_HuAsWild(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                    int32_t* jokersA, int32_t* jokersB, int32_t* winningIndex, int32_t flags,
                    int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    return huAsWild(counts, tile, jokerA, jokerB, jokersA, jokersB, winningIndex, flags, rule,
                    scratchOr(result, scratch), mask, false);
}

int32_t MJ_HuAsNatural(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t* jokersB, int32_t* winningIndex, int32_t flags, int32_t rule,
                       HuResult* result, int32_t mask) {
    HuResult scratch;
    return huAsNatural(counts, tile, jokerA, jokerB, jokersB, winningIndex, flags, rule,
                       scratchOr(result, scratch), mask, false);
}

// --- Reading a result ----------------------------------------------------------------------

namespace {
int32_t unitsOf(const HuResult* r) {
    if (!r || r->unitCount < 0) return 0;
    return r->unitCount > kMaxHuUnits ? kMaxHuUnits : r->unitCount;
}
}  // namespace

int32_t MJ_CountFourUnits(const HuResult* result) {
    int32_t n = 0;
    for (int32_t k = 0; k < unitsOf(result); ++k)
        if (result->units[k].type == kUnitFour) ++n;
    return n;
}

int32_t MJ_CountJokerTiles(const HuResult* result) {
    int32_t n = 0;
    for (int32_t k = 0; k < unitsOf(result); ++k)
        for (int32_t t : result->units[k].tiles)
            if (t < 0) ++n;
    return n;
}

int32_t MJ_IsUnitValidNatural(const HuUnit* unit, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (!unit) return 0;
    int32_t t[4];
    for (int k = 0; k < 4; ++k) t[k] = unit->tiles[k] < 0 ? -unit->tiles[k] : unit->tiles[k];
    switch (unit->type) {
        case kUnitRun: {
            CountTable c = {};
            for (int k = 0; k < 3; ++k) {
                if (!MJ_IsCountIndex(t[k])) return 0;
                ++c[t[k]];
            }
            return MJ_CanFormRun(c, t[0], jokerA, jokerB, flags) ? 1 : 0;
        }
        case kUnitPair:
            return t[0] == t[1] ? 1 : 0;
        case kUnitTriplet:
            return (t[0] == t[1] && t[1] == t[2]) ? 1 : 0;
        case kUnitFour:
            return (t[0] == t[1] && t[1] == t[2] && t[2] == t[3]) ? 1 : 0;
        default:
            return 0;
    }
}

int32_t MJ_CheckJokerUnits(const HuResult* result, int32_t jokerA, int32_t jokerB, int32_t flags) {
    int32_t n = 0;
    for (int32_t k = 0; k < unitsOf(result); ++k) {
        const HuUnit& u = result->units[k];
        if (u.tiles[0] >= 0 && u.tiles[1] >= 0 && u.tiles[2] >= 0 && u.tiles[3] >= 0) continue;
        if (!MJ_IsUnitValidNatural(&u, jokerA, jokerB, flags)) return 0;
        ++n;
    }
    return n;
}

void MJ_MergeHuResult(HuResult* into, const HuResult* from) {
    if (!into || !from) return;
    into->handType |= from->handType;
    into->waitFlags |= from->waitFlags;
    into->further[0] |= from->further[0];
    into->further[1] |= from->further[1];
    for (int k = 0; k < 32; ++k) {
        into->tally1[k] = static_cast<int32_t>(static_cast<uint32_t>(into->tally1[k]) +
                                               static_cast<uint32_t>(from->tally1[k]));
        into->tally2[k] = static_cast<int32_t>(static_cast<uint32_t>(into->tally2[k]) +
                                               static_cast<uint32_t>(from->tally2[k]));
    }
}

}  // namespace hqlv::rules
