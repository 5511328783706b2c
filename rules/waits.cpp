#include "rules/waits.h"

#include <cstring>
#include <initializer_list>

#include "rules/internal.h"

namespace hqlv::rules {

using detail::canHu;
using detail::checkHu;
using detail::slotOf;

namespace {

// How the rest of a hand is asked whether it wins.
enum class Rest {
    Plain,  // jokers off: no pools
    Pools,  // jokers taken out of the hand into the pools
    Check,  // the full win check on the rest, no winning tile
};

struct Frame {
    const CountTable& hand;
    int32_t tile, jokerA, jokerB, flags, rule, mask;
    HuResult& result;
    int32_t indexA = 0, indexB = 0;
    int32_t i = 0;  // the winning tile's index
    int32_t j = 0;  // the index it plays as (joker A's kind for a substitute)
    Rest mode = Rest::Plain;
    CountTable c;
    int32_t poolA = 0, poolB = 0;

    Frame(const CountTable& h, int32_t t, int32_t a, int32_t b, int32_t f, int32_t r, HuResult& res,
          int32_t m)
        : hand(h), tile(t), jokerA(a), jokerB(b), flags(f), rule(r), mask(m), result(res) {
        MJ_JokerIndices(a, b, f, &indexA, &indexB);
        i = j = slotOf(t, f);
        std::memcpy(c, h, sizeof(CountTable));
    }

    bool jokersOn() const { return detail::jokersOn(jokerA, flags); }
    bool winIsJoker() const { return MJ_IsJoker(tile, jokerA, jokerB, flags) != 0; }

    // Takes the jokers out of c into the pools; substitutes join joker A's kind.
    void takeJokersOut() {
        int32_t unused = 0;
        poolA = MJ_AddTileTakeJokers(c, kNoTile, jokerA, jokerB, &unused, flags, 0, &poolB);
    }

    // Sets the frame up for a run wait: plain, or pools with the substitute mapped, or the
    // full check for a winning joker seen as its own kind.
    void setUpRunWait() {
        if (!(flags & kTileFlagJokers)) {
            mode = Rest::Plain;
        } else if (winIsJoker()) {
            mode = Rest::Check;
        } else {
            mode = Rest::Pools;
            if ((flags & kTileFlagStandIn) && i == MJ_StandInIndexOf(jokerA, jokerB, flags) &&
                indexA != 0)
                j = indexA;
            takeJokersOut();
        }
    }

    bool restWins(bool pairDone) {
        switch (mode) {
            case Rest::Plain:
                return canHu(c, 0, 0, kNoTile, kNoTile, i, flags, rule, result, mask, pairDone);
            case Rest::Pools:
                return canHu(c, poolA, poolB, jokerA, jokerB, i, flags, rule, result, mask,
                             pairDone);
            case Rest::Check:
                return checkHu(c, kNoTile, jokerA, jokerB, flags, rule, result, mask, pairDone);
        }
        return false;
    }

    // Takes one tile of each listed kind (and n jokers from the pools) out of c; when the
    // rest wins, keeps them out and returns true with usedA / usedB the jokers' pools.
    bool takeAndWin(std::initializer_list<int32_t> kinds, int32_t jokers, bool pairDone,
                    int32_t* usedA = nullptr, int32_t* usedB = nullptr) {
        for (int32_t k : kinds)
            if (!MJ_IsCountIndex(k)) return false;
        bool ok = true;
        for (int32_t k : kinds)
            if (--c[k] < 0) ok = false;
        if (ok && jokers > 0 && MJ_SumJokers(poolA, poolB) < jokers) ok = false;
        int32_t beforeA = poolA, beforeB = poolB;
        if (ok && jokers > 0) MJ_TakeJokers(&beforeA, &beforeB, &poolA, &poolB, jokers);
        if (ok && restWins(pairDone)) {
            if (usedA) *usedA = beforeA - poolA;
            if (usedB) *usedB = beforeB - poolB;
            return true;
        }
        MJ_RestoreJokers(beforeA, beforeB, &poolA, &poolB);
        for (int32_t k : kinds) ++c[k];
        return false;
    }

    // The winning joker's own pool for a unit it fills.
    void winningJoker(int32_t& usedA, int32_t& usedB) const {
        usedA = (i == indexA) ? 1 : 0;
        usedB = 1 - usedA;
    }

    int32_t win(int32_t waitFlag) {
        result.waitFlags |= waitFlag;
        return kResultWin;
    }
};

bool isSuitIndex(int32_t k, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (!MJ_IsCountIndex(k) || k >= 30 || k % 10 == 0) return false;
    const auto& cb = MJ_GetTileCallbacks();
    return !cb.IsHonour(k, jokerA, jokerB, flags) && !cb.IsFlower(k, jokerA, jokerB, flags);
}

HuResult& use(HuResult* result, HuResult& scratch) {
    if (result) return *result;
    std::memset(&scratch, 0, sizeof(scratch));
    return scratch;
}

// The pair wait (need 1) and the pung wait (need 2).
int32_t sameKindWait(const CountTable& hand, int32_t tile, int32_t jokerA, int32_t jokerB,
                     int32_t flags, int32_t rule, HuResult& result, int32_t mask, int32_t need) {
    if (!checkHu(hand, tile, jokerA, jokerB, flags, rule, result, mask, false)) return 0;
    Frame f(hand, tile, jokerA, jokerB, flags, rule, result, mask);
    const int32_t i = f.i;
    if (i == 0) return 0;
    const bool pairDone = need == 1;
    const int32_t type = need == 1 ? kUnitPair : kUnitTriplet;
    const int32_t waitFlag = need == 1 ? kWaitPair : kWaitPung;
    int32_t* c = f.c;

    if (!(flags & kTileFlagJokers)) {
        if (c[i] < need) return 0;
        c[i] -= need;
        if (!f.restWins(pairDone)) return 0;
        MJ_AddHuUnit(&result, type, i, 0, 0, f.indexA, f.indexB, 0, 0);
        return f.win(waitFlag);
    }
    if (f.winIsJoker()) {
        if ((flags & kTileFlagJokersNatural) && c[i] >= need) {
            c[i] -= need;
            f.mode = Rest::Check;
            if (f.restWins(pairDone)) {
                MJ_AddHuUnit(&result, type, i, 0, 0, f.indexA, f.indexB, 0, 0);
                return f.win(waitFlag);
            }
        }
        if (!(mask & kMaskSelfDrawn)) return 0;
        return need == 1
                   ? MJ_HuPairWaitJoker(hand, tile, jokerA, jokerB, flags, rule, &result, mask)
                   : MJ_HuPungWaitJoker(hand, tile, jokerA, jokerB, flags, rule, &result, mask);
    }
    if (c[i] >= need) {
        c[i] -= need;
        f.mode = Rest::Check;
        if (!f.restWins(pairDone)) return 0;
        MJ_AddHuUnit(&result, type, i, 0, 0, f.indexA, f.indexB, 0, 0);
        return f.win(waitFlag);
    }
    const int32_t missing = need - c[i];
    if (need == 1) {
        if ((flags & kTileFlagNoJokerPairUnlessSelfDrawn) && !(mask & kMaskSelfDrawn)) return 0;
        if ((flags & kTileFlagNoJokerPairWhenRobbing) && (mask & kMaskRobbingKong)) return 0;
    } else if (missing == 2) {
        if ((flags & kTileFlagNoTwoJokerPungUnlessSelfDrawn) && !(mask & kMaskSelfDrawn)) return 0;
    }
    c[i] = 0;
    f.takeJokersOut();
    f.mode = Rest::Pools;
    int32_t ua = 0, ub = 0;
    if (!f.takeAndWin({}, missing, pairDone, &ua, &ub)) return 0;
    MJ_AddHuUnit(&result, type, i, ua, ub, f.indexA, f.indexB, 0, 0);
    return f.win(waitFlag);
}

// Sets a joker-form frame up: the hand with its jokers in the pools; 0 when it does not apply.
bool jokerFormFrame(Frame& f) {
    if (f.i == 0 || !f.jokersOn() || !f.winIsJoker()) return false;
    f.mode = Rest::Pools;
    f.takeJokersOut();
    return true;
}

int32_t forced(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
               int32_t flags, int32_t rule, HuResult* result, int32_t mask, int32_t bit) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    if (!checkHu(counts, tile, jokerA, jokerB, flags, rule, r, mask | bit, false)) return 0;
    r.handType |= bit;
    return kResultWin;
}

}  // namespace

// --- Supporting operations -------------------------------------------------------------------

namespace {
int32_t jokerAtOffset(int32_t shape, int32_t value, int32_t jokerA, int32_t jokerB, int32_t flags) {
    if (!detail::jokersOn(jokerA, flags) || (flags & kTileFlagStandIn)) return 0;
    const auto& cb = MJ_GetTileCallbacks();
    auto at = [&](int32_t id) {
        return id >= 0 && cb.Shape(id, flags) == shape && cb.Value(id, flags) == value;
    };
    return (at(jokerA) || at(jokerB)) ? 1 : 0;
}
}  // namespace

int32_t MJ_IsJokerThreeBelow(int32_t shape, int32_t value, int32_t jokerA, int32_t jokerB,
                             int32_t flags) {
    return jokerAtOffset(shape, value - 3, jokerA, jokerB, flags);
}

int32_t MJ_IsJokerThreeAbove(int32_t shape, int32_t value, int32_t jokerA, int32_t jokerB,
                             int32_t flags) {
    return jokerAtOffset(shape, value + 3, jokerA, jokerB, flags);
}

int32_t MJ_HonourGroupOthers(const CountTable& counts, int32_t index, int32_t extra, int32_t flags,
                             int32_t* marks, int32_t* low, int32_t* high) {
    if (!(flags & kTileFlagHonourRuns)) return 0;
    const int32_t lo = (index >= 31 && index <= 34) ? 31 : 35;
    const int32_t hi = lo == 31 ? 34 : 37;
    if (low) *low = lo;
    if (high) *high = hi;
    int32_t marked = 0;
    for (int32_t k = lo; k <= hi; ++k) {
        const bool m = k != index && counts[k] > 0;
        if (marks) marks[k] = m ? 1 : 0;
        if (m) ++marked;
    }
    return marked + extra >= 2 ? 1 : 0;
}

// --- Pair and pung waits ---------------------------------------------------------------------

int32_t MJ_HuPairWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    return sameKindWait(counts, tile, jokerA, jokerB, flags, rule, use(result, scratch), mask, 1);
}

int32_t MJ_HuPungWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    return sameKindWait(counts, tile, jokerA, jokerB, flags, rule, use(result, scratch), mask, 2);
}

int32_t MJ_HuJokerPairWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    if (!MJ_HuPairWait(counts, tile, jokerA, jokerB, flags, rule, &r, mask)) return 0;
    if (!detail::jokersOn(jokerA, flags) || (mask & (kMaskOnDiscard | kMaskRobbingKong))) return 0;
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (f.i == 0) return 0;
    f.takeJokersOut();
    f.mode = Rest::Pools;
    int32_t ua = 0, ub = 0;
    if (!f.takeAndWin({}, 1, true, &ua, &ub)) return 0;
    MJ_AddHuUnit(&r, kUnitPair, f.i, ua, ub, f.indexA, f.indexB, 0, 0);
    return f.win(kWaitJokerPair);
}

// --- Run waits -------------------------------------------------------------------------------

int32_t MJ_HuClosedWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                        int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    if (!checkHu(counts, tile, jokerA, jokerB, flags, rule, r, mask, false)) return 0;
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (f.i == 0) return 0;
    f.setUpRunWait();
    const int32_t j = f.j;
    const int32_t v = j % 10;
    const bool suit = isSuitIndex(j, jokerA, jokerB, flags) && v >= 2 && v <= 8;
    if (f.mode == Rest::Check) {
        if ((flags & kTileFlagJokersNatural) && suit && f.takeAndWin({j - 1, j + 1}, 0, false)) {
            MJ_AddHuUnit(&r, kUnitRun, j - 1, 0, 0, f.indexA, f.indexB, 0, 0);
            return f.win(kWaitClosed);
        }
        if (!(mask & kMaskSelfDrawn)) return 0;
        return MJ_HuClosedWaitJoker(counts, tile, jokerA, jokerB, flags, rule, &r, mask);
    }
    if (!suit) return 0;
    const bool below = f.c[j - 1] > 0, above = f.c[j + 1] > 0;
    if (below && above) {
        if (!f.takeAndWin({j - 1, j + 1}, 0, false)) return 0;
        MJ_AddHuUnit(&r, kUnitRun, j - 1, 0, 0, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitClosed);
    }
    if (f.mode != Rest::Pools || (!below && !above)) return 0;
    if ((flags & kTileFlagNoJokerClosedUnlessSelfDrawn) && !(mask & kMaskSelfDrawn)) return 0;
    int32_t ua = 0, ub = 0;
    if (below) {
        if (!f.takeAndWin({j - 1}, 1, false, &ua, &ub)) return 0;
        MJ_AddHuUnit(&r, kUnitRun, j - 1, ua, ub, f.indexA, f.indexB, 2, 0);  // j-1, j, J
    } else {
        if (!f.takeAndWin({j + 1}, 1, false, &ua, &ub)) return 0;
        MJ_AddHuUnit(&r, kUnitRun, j, ua, ub, f.indexA, f.indexB, 0, 0);  // J, j, j+1
    }
    return f.win(kWaitClosed);
}

int32_t MJ_HuEdgeWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    if (!checkHu(counts, tile, jokerA, jokerB, flags, rule, r, mask, false)) return 0;
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (f.i == 0) return 0;
    f.setUpRunWait();
    const int32_t j = f.j;
    const int32_t v = j % 10;
    const bool suit = isSuitIndex(j, jokerA, jokerB, flags);
    bool low = v == 3, high = v == 7;
    if (f.mode == Rest::Check) {
        if ((flags & kTileFlagJokersNatural) && suit &&
            ((low && f.takeAndWin({j - 2, j - 1}, 0, false)) ||
             (high && f.takeAndWin({j + 1, j + 2}, 0, false)))) {
            MJ_AddHuUnit(&r, kUnitRun, low ? j - 2 : j, 0, 0, f.indexA, f.indexB, 0, 0);
            return f.win(kWaitEdge);
        }
        if (!(mask & kMaskSelfDrawn)) return 0;
        return MJ_HuEdgeWaitJoker(counts, tile, jokerA, jokerB, flags, rule, &r, mask);
    }
    if (!suit) return 0;
    if (f.mode == Rest::Pools) {
        // A joker kind three below (above) makes the far end of the run a joker's place.
        low = low || MJ_IsJokerThreeBelow(j / 10, v, jokerA, jokerB, flags);
        high = !low && (high || MJ_IsJokerThreeAbove(j / 10, v, jokerA, jokerB, flags));
    }
    if (low) {
        if (!f.takeAndWin({j - 2, j - 1}, 0, false)) return 0;
        MJ_AddHuUnit(&r, kUnitRun, j - 2, 0, 0, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitEdge);
    }
    if (high) {
        if (!f.takeAndWin({j + 1, j + 2}, 0, false)) return 0;
        MJ_AddHuUnit(&r, kUnitRun, j, 0, 0, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitEdge);
    }
    return 0;
}

namespace {
// The open-end and honour-run attempts shared by the plain, pooled and checked frames.
bool openOrHonourRun(Frame& f) {
    const int32_t j = f.j;
    const int32_t v = j % 10;
    HuResult& r = f.result;
    const auto& cb = MJ_GetTileCallbacks();
    if (isSuitIndex(j, f.jokerA, f.jokerB, f.flags)) {
        if (v > 3 && f.takeAndWin({j - 2, j - 1}, 0, false)) {
            MJ_AddHuUnit(&r, kUnitRun, j - 2, 0, 0, f.indexA, f.indexB, 0, 0);
            return true;
        }
        if (v < 7 && f.takeAndWin({j + 1, j + 2}, 0, false)) {
            MJ_AddHuUnit(&r, kUnitRun, j, 0, 0, f.indexA, f.indexB, 0, 0);
            return true;
        }
        return false;
    }
    if (!cb.IsHonour(j, f.jokerA, f.jokerB, f.flags)) return false;
    int32_t marks[kIndexCount] = {};
    int32_t lo = 0, hi = 0;
    if (!MJ_HonourGroupOthers(f.c, j, 0, f.flags, marks, &lo, &hi)) return false;
    for (int32_t a = lo; a <= hi; ++a) {
        if (!marks[a]) continue;
        for (int32_t b = a + 1; b <= hi; ++b) {
            if (!marks[b] || !f.takeAndWin({a, b}, 0, false)) continue;
            MJ_AddUnitTiles(&r, kUnitRun, a, b, j, 0);
            return true;
        }
    }
    return false;
}
}  // namespace

int32_t MJ_HuHonourSequences(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    if (!checkHu(counts, tile, jokerA, jokerB, flags, rule, r, mask, false)) return 0;
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (f.i == 0 || MJ_GetTileCallbacks().IsFlower(f.i, jokerA, jokerB, flags)) return 0;
    f.setUpRunWait();
    if (f.mode == Rest::Check) {
        if ((flags & kTileFlagJokersNatural) && openOrHonourRun(f)) return f.win(kWaitOpen);
        if (!(mask & kMaskSelfDrawn)) return 0;
        return MJ_HuHonourSequencesJoker(counts, tile, jokerA, jokerB, flags, rule, &r, mask);
    }
    return openOrHonourRun(f) ? f.win(kWaitOpen) : 0;
}

// --- Joker forms -----------------------------------------------------------------------------

int32_t MJ_HuPairWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (!jokerFormFrame(f)) return 0;
    int32_t wa, wb;
    f.winningJoker(wa, wb);
    bool empty = true;
    for (int32_t k = 1; k < kIndexCount; ++k) {
        if (f.c[k] <= 0) continue;
        empty = false;
        if (!f.takeAndWin({k}, 0, true)) continue;
        MJ_AddHuUnit(&r, kUnitPair, k, wa, wb, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitPair);
    }
    int32_t ua = 0, ub = 0;
    if (empty && MJ_SumJokers(f.poolA, f.poolB) == 1 && f.takeAndWin({}, 1, true, &ua, &ub)) {
        MJ_AddJokerUnit(&r, kUnitPair, wa + ua, wb + ub, f.indexA, f.indexB);
        return f.win(kWaitPair);
    }
    return 0;
}

int32_t MJ_HuPungWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (!jokerFormFrame(f)) return 0;
    int32_t wa, wb;
    f.winningJoker(wa, wb);
    for (int32_t k = 1; k < kIndexCount; ++k) {
        if (f.c[k] < 2 || !f.takeAndWin({k, k}, 0, false)) continue;
        MJ_AddHuUnit(&r, kUnitTriplet, k, wa, wb, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitPung);
    }
    if (MJ_SumJokers(f.poolA, f.poolB) < 1) return 0;
    for (int32_t k = 1; k < kIndexCount; ++k) {
        int32_t ua = 0, ub = 0;
        if (f.c[k] < 1 || !f.takeAndWin({k}, 1, false, &ua, &ub)) continue;
        MJ_AddHuUnit(&r, kUnitTriplet, k, wa + ua, wb + ub, f.indexA, f.indexB, 0, 0);
        return f.win(kWaitPung);
    }
    return 0;
}

int32_t MJ_HuClosedWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (!jokerFormFrame(f)) return 0;
    int32_t wa, wb;
    f.winningJoker(wa, wb);
    for (int32_t suit = 0; suit < 3; ++suit) {
        for (int32_t v = 1; v <= 7; ++v) {
            const int32_t k = suit * 10 + v;
            if (!f.c[k] || !f.c[k + 2] || !f.takeAndWin({k, k + 2}, 0, false)) continue;
            MJ_AddHuUnit(&r, kUnitRun, k, wa, wb, f.indexA, f.indexB, 1, 0);
            return f.win(kWaitClosed);
        }
    }
    return 0;
}

int32_t MJ_HuEdgeWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (!jokerFormFrame(f)) return 0;
    int32_t wa, wb;
    f.winningJoker(wa, wb);
    for (int32_t suit = 0; suit < 3; ++suit) {
        const int32_t base = suit * 10;
        if (f.c[base + 1] && f.c[base + 2] && f.takeAndWin({base + 1, base + 2}, 0, false)) {
            MJ_AddHuUnit(&r, kUnitRun, base + 1, wa, wb, f.indexA, f.indexB, 2, 0);
            return f.win(kWaitEdge);
        }
        if (f.c[base + 8] && f.c[base + 9] && f.takeAndWin({base + 8, base + 9}, 0, false)) {
            MJ_AddHuUnit(&r, kUnitRun, base + 8, wa, wb, f.indexA, f.indexB, 0, 0);
            return f.win(kWaitEdge);
        }
    }
    return 0;
}

int32_t MJ_HuHonourSequencesJoker(const CountTable& counts, int32_t tile, int32_t jokerA,
                                  int32_t jokerB, int32_t flags, int32_t rule, HuResult* result,
                                  int32_t mask) {
    HuResult scratch;
    HuResult& r = use(result, scratch);
    Frame f(counts, tile, jokerA, jokerB, flags, rule, r, mask);
    if (!jokerFormFrame(f)) return 0;
    int32_t wa, wb;
    f.winningJoker(wa, wb);
    for (int32_t k = 1; k <= 29; ++k) {
        const int32_t v = k % 10;
        if (v < 2 || v > 7) continue;
        if (!f.c[k] || !f.c[k + 1] || !f.takeAndWin({k, k + 1}, 0, false)) continue;
        MJ_AddHuUnit(&r, kUnitRun, k, wa, wb, f.indexA, f.indexB, 2, 0);
        return f.win(kWaitOpen);
    }
    if (!(flags & kTileFlagHonourRuns)) return 0;
    static constexpr int8_t kPairs[][2] = {{31, 32}, {31, 33}, {31, 34}, {32, 33}, {32, 34},
                                           {33, 34}, {35, 36}, {35, 37}, {36, 37}};
    for (const auto& p : kPairs) {
        if (!f.c[p[0]] || !f.c[p[1]] || !f.takeAndWin({p[0], p[1]}, 0, false)) continue;
        // The winning joker fills the third place.
        MJ_AddUnitTiles(&r, kUnitRun, p[0], p[1], -f.i, 0);
        return f.win(kWaitOpen);
    }
    return 0;
}

// --- Forced special hands and the classification ------------------------------------------

int32_t MJ_HuForceSevenPairs(const CountTable& c, int32_t t, int32_t a, int32_t b, int32_t f,
                             int32_t rule, HuResult* r, int32_t m) {
    return forced(c, t, a, b, f, rule, r, m, kRuleSevenPairs);
}
int32_t MJ_HuForceThirteenUnrelated(const CountTable& c, int32_t t, int32_t a, int32_t b, int32_t f,
                                    int32_t rule, HuResult* r, int32_t m) {
    return forced(c, t, a, b, f, rule, r, m, kRuleThirteenUnrelated);
}
int32_t MJ_HuForceAllHonoursSeven(const CountTable& c, int32_t t, int32_t a, int32_t b, int32_t f,
                                  int32_t rule, HuResult* r, int32_t m) {
    return forced(c, t, a, b, f, rule, r, m, kRuleAllSevenHonours);
}
int32_t MJ_HuForceAllHonours(const CountTable& c, int32_t t, int32_t a, int32_t b, int32_t f,
                             int32_t rule, HuResult* r, int32_t m) {
    return forced(c, t, a, b, f, rule, r, m, kRuleAllHonours);
}
int32_t MJ_HuForceAll258(const CountTable& c, int32_t t, int32_t a, int32_t b, int32_t f,
                         int32_t rule, HuResult* r, int32_t m) {
    return forced(c, t, a, b, f, rule, r, m, kRuleAll258);
}

int32_t MJ_IsSpecialHu(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t flags, int32_t rule, HuResult* result, int32_t mask, int32_t extra) {
    using Check = int32_t (*)(const CountTable&, int32_t, int32_t, int32_t, int32_t, int32_t,
                              HuResult*, int32_t);
    static constexpr Check kChecks[] = {
        MJ_HuJokerPairWait,
        MJ_HuPairWait,
        MJ_HuPungWait,
        MJ_HuClosedWait,
        MJ_HuEdgeWait,
        MJ_HuHonourSequences,
        MJ_HuForceSevenPairs,
        MJ_HuForceThirteenUnrelated,
        MJ_HuForceAllHonoursSeven,
    };
    for (Check check : kChecks)
        if (check(counts, tile, jokerA, jokerB, flags, rule, result, mask)) return kResultWin;
    if ((extra == 0 || (extra & 1)) &&
        MJ_HuForceAllHonours(counts, tile, jokerA, jokerB, flags, rule, result, mask))
        return kResultWin;
    if ((extra == 0 || (extra & 2)) &&
        MJ_HuForceAll258(counts, tile, jokerA, jokerB, flags, rule, result, mask))
        return kResultWin;
    return 0;
}

}  // namespace hqlv::rules
