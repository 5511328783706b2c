#include "rules/claims.h"

#include <algorithm>
#include <cstring>

#include "rules/common.h"
#include "rules/internal.h"

namespace hqlv::rules {

using detail::slotOf;

namespace {

// The claim gate shared by pung and kong: a joker is not claimed unless jokers are also
// ordinary tiles.
bool jokerRefused(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags) {
    return (flags & kTileFlagJokers) && !(flags & kTileFlagJokersNatural) &&
           MJ_IsJoker(tile, jokerA, jokerB, flags);
}

bool chowGateOpen(int32_t flags) {
    const bool jokers = flags & kTileFlagJokers;
    const bool standIn = flags & kTileFlagStandIn;
    const bool natural = flags & kTileFlagJokersNatural;
    if (!(flags & kTileFlagHonourRuns)) return (!standIn && !natural) || jokers;
    if (standIn) return false;
    if (natural) return jokers;
    return true;
}

int32_t countList(const int32_t* hand, int32_t n, CountTable& counts, int32_t flags) {
    std::memset(counts, 0, sizeof(CountTable));
    return MJ_CountTiles(hand, n, counts, flags);
}

}  // namespace

int32_t MJ_HasPair(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                   int32_t flags) {
    int32_t slot = slotOf(tile, flags);
    if (slot == 0 || jokerRefused(tile, jokerA, jokerB, flags)) return 0;
    return counts[slot] >= 2 ? kResultPung : 0;
}

int32_t MJ_HasTriplet(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags) {
    int32_t slot = slotOf(tile, flags);
    if (slot == 0 || jokerRefused(tile, jokerA, jokerB, flags)) return 0;
    return counts[slot] >= 3 ? kResultKong : 0;
}

int32_t MJ_FindFourOfKind(const CountTable& counts, int32_t, int32_t jokerA, int32_t jokerB,
                          int32_t flags, int32_t* found) {
    if (found) *found = 0;
    const auto& cb = MJ_GetTileCallbacks();
    for (int32_t i = 1; i < kIndexCount; ++i) {
        if (counts[i] != 4) continue;
        if ((flags & kTileFlagJokers) && !(flags & kTileFlagJokersNatural) &&
            cb.IsJoker(i, jokerA, jokerB, flags))
            continue;
        if (found) *found = i;
        return kResultKong;
    }
    return 0;
}

int32_t MJ_IsChowWith(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags) {
    if (flags & kTileFlagNoChow) return 0;
    if (slotOf(tile, flags) == 0) return 0;
    if (jokerRefused(tile, jokerA, jokerB, flags)) return 0;
    if (!chowGateOpen(flags)) return 0;
    CountTable copy;
    std::memcpy(copy, counts, sizeof(CountTable));
    int32_t index = 0, jokersB = 0;
    MJ_AddTileTakeJokers(copy, tile, jokerA, jokerB, &index, flags, 1, &jokersB);
    return MJ_CanFormRun(copy, index, jokerA, jokerB, flags) ? kResultChow : 0;
}

int32_t MJ_CanPeng(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                   int32_t flags, int32_t* out) {
    FillMinusOne(out, n);
    CountTable counts;
    countList(hand, n, counts, flags);
    if (!MJ_HasPair(counts, tile, jokerA, jokerB, flags)) return 0;
    MJ_CollectSameKind(hand, n, tile, out, std::min(n, 2), flags);
    return kResultPung;
}

int32_t MJ_CanMingGang(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t flags, int32_t* out) {
    FillMinusOne(out, n);
    CountTable counts;
    countList(hand, n, counts, flags);
    if (!MJ_HasTriplet(counts, tile, jokerA, jokerB, flags)) return 0;
    MJ_CollectSameKind(hand, n, tile, out, std::min(n, 3), flags);
    return kResultKong;
}

int32_t MJ_FindAnGang(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t* out) {
    FillMinusOne(out, n);
    CountTable counts;
    countList(hand, n, counts, flags);
    int32_t found = 0;
    if (!MJ_FindFourOfKind(counts, tile, jokerA, jokerB, flags, &found)) return 0;
    MJ_CollectIndex(hand, n, found, out, std::min(n, 4), flags);
    return kResultKong;
}

int32_t MJ_FindAnGangInHand(const int32_t* hand, int32_t n, int32_t jokerA, int32_t jokerB,
                            int32_t flags, int32_t* out) {
    return MJ_FindAnGang(hand, n, kNoTile, jokerA, jokerB, flags, out);
}

int32_t MJ_CanChi(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                  int32_t flags, int32_t* out, int32_t outCapacity) {
    if (outCapacity < 0) outCapacity = 0;
    FillMinusOne(out, std::min(n, outCapacity));
    CountTable counts;
    countList(hand, n, counts, flags);
    const int32_t result = MJ_IsChowWith(counts, tile, jokerA, jokerB, flags);
    if (!hand || !out) return result;
    int32_t written = 0;
    for (int32_t i = 0; i + 1 < n; ++i) {
        int32_t si = slotOf(hand[i], flags);
        if (si == 0) continue;
        for (int32_t j = i + 1; j < n; ++j) {
            int32_t sj = slotOf(hand[j], flags);
            if (sj == 0) continue;
            if (written + 2 > outCapacity) return result;
            CountTable two = {};
            ++two[si];
            ++two[sj];
            if (MJ_IsChowWith(two, tile, jokerA, jokerB, flags) != kResultChow) continue;
            out[written++] = hand[i];
            out[written++] = hand[j];
        }
    }
    return result;
}

}  // namespace hqlv::rules
