#include "rules/claims.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "hands.h"
#include "reference.h"
#include "rules/common.h"

using namespace hqlv::rules;

namespace {

constexpr int kSlots = 32;

struct Seat {
    int32_t hand[kSlots];
    int32_t out[kSlots];
    explicit Seat(const std::vector<int>& ids) {
        FillMinusOne(hand, kSlots);
        std::copy(ids.begin(), ids.end(), hand);
        std::fill(std::begin(out), std::end(out), 12345);
    }
    int valid() const { return CountValid(out, kSlots); }
};

TEST(ClaimChecks, PungAndExposedKong) {
    Seat s(hands::ids({5, 7, 5, 9, 5}));
    const int discard = hands::id(5, 3);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, discard, -1, -1, 0, s.out), kResultPung);
    EXPECT_EQ(s.out[0], s.hand[0]);  // the first two of the kind, in list order
    EXPECT_EQ(s.out[1], s.hand[2]);
    EXPECT_EQ(s.valid(), 2);
    EXPECT_EQ(MJ_CanMingGang(s.hand, kSlots, discard, -1, -1, 0, s.out), kResultKong);
    EXPECT_EQ(s.out[2], s.hand[4]);
    EXPECT_EQ(s.valid(), 3);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, hands::id(7, 1), -1, -1, 0, s.out), 0);
    EXPECT_EQ(s.valid(), 0);  // a refused claim leaves out all -1
    EXPECT_EQ(MJ_CanMingGang(s.hand, kSlots, hands::id(7, 1), -1, -1, 0, s.out), 0);

    // A discarded joker is not claimed, unless jokers are also ordinary tiles.
    const int joker = hands::id(5, 1);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, discard, joker, -1, kTileFlagJokers, s.out), 0);
    EXPECT_EQ(MJ_CanMingGang(s.hand, kSlots, discard, joker, -1, kTileFlagJokers, s.out), 0);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, discard, joker, -1,
                         kTileFlagJokers | kTileFlagJokersNatural, s.out),
              kResultPung);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, discard, joker, -1, 0, s.out), kResultPung);

    // Ids that are no tiles: a foreign discard is refused, foreign hand ids are empty slots.
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, 152, -1, -1, 0, s.out), 0);
    EXPECT_EQ(MJ_CanPeng(s.hand, kSlots, -1, -1, -1, 0, s.out), 0);
    Seat junk({200, 201, 9999, -5});
    CountTable c = {};
    c[kIndexCount - 1] = 9;
    EXPECT_EQ(MJ_HasPair(c, 9999, -1, -1, 0), 0);
    EXPECT_EQ(MJ_CanPeng(junk.hand, kSlots, 200, -1, -1, 0, junk.out), 0);
}

TEST(ClaimChecks, ConcealedKong) {
    Seat s(hands::ids({12, 3, 12, 3, 3, 12, 3, 12, 7}));
    EXPECT_EQ(MJ_FindAnGangInHand(s.hand, kSlots, -1, -1, 0, s.out), kResultKong);
    EXPECT_EQ(s.valid(), 4);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(MJ_TileIndex(s.out[k], 0), 3);
    EXPECT_EQ(s.out[0], s.hand[1]);
    // The joker kind is skipped with jokers on and flag 0x8 clear.
    const int joker = hands::id(3, 0);
    EXPECT_EQ(MJ_FindAnGang(s.hand, kSlots, -1, joker, -1, kTileFlagJokers, s.out), kResultKong);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(MJ_TileIndex(s.out[k], 0), 12);
    EXPECT_EQ(MJ_FindAnGang(s.hand, kSlots, -1, joker, -1, kTileFlagJokers | kTileFlagJokersNatural,
                            s.out),
              kResultKong);
    EXPECT_EQ(MJ_TileIndex(s.out[0], 0), 3);
    Seat none(hands::ids({1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(MJ_FindAnGangInHand(none.hand, kSlots, -1, -1, 0, none.out), 0);
    EXPECT_EQ(none.valid(), 0);
    int found = -7;
    CountTable five = {};
    five[4] = 5;  // exactly four is needed
    EXPECT_EQ(MJ_FindFourOfKind(five, -1, -1, -1, 0, &found), 0);
    EXPECT_EQ(found, 0);
}

TEST(ClaimChecks, ChowShapes) {
    auto chow = [](std::initializer_list<int> kinds, int discardKind, int flags = 0,
                   int jokerA = -1) {
        Seat s(hands::ids(kinds));
        return MJ_CanChi(s.hand, kSlots, hands::id(discardKind, 3), jokerA, -1, flags, s.out,
                         kSlots);
    };
    EXPECT_EQ(chow({2, 3}, 1), kResultChow);
    EXPECT_EQ(chow({2, 4}, 1), 0);
    EXPECT_EQ(chow({7, 8}, 9), kResultChow);
    EXPECT_EQ(chow({8, 11}, 9), 0);  // never across suits
    EXPECT_EQ(chow({6, 7}, 8), kResultChow);
    EXPECT_EQ(chow({7, 9}, 8), kResultChow);
    EXPECT_EQ(chow({9, 11}, 8), 0);
    EXPECT_EQ(chow({2, 3}, 1, kTileFlagNoChow), 0);
    // Winds and dragons under flag 0x20, but not together with flag 0x4.
    EXPECT_EQ(chow({32, 34}, 31), 0);
    EXPECT_EQ(chow({32, 34}, 31, kTileFlagHonourRuns), kResultChow);
    EXPECT_EQ(chow({32, 35}, 31, kTileFlagHonourRuns), 0);
    EXPECT_EQ(chow({36, 37}, 35, kTileFlagHonourRuns), kResultChow);
    EXPECT_EQ(chow({36, 37}, 35, kTileFlagHonourRuns | kTileFlagStandIn | kTileFlagJokers), 0);
    // Flowers never chow.
    EXPECT_EQ(chow({42, 43}, 41), 0);
    // A discarded joker is refused; the joker kind held cannot serve as a neighbour.
    EXPECT_EQ(chow({2, 3}, 1, kTileFlagJokers, hands::id(1)), 0);
    EXPECT_EQ(chow({2, 3}, 1, kTileFlagJokers | kTileFlagJokersNatural, hands::id(1)), kResultChow);
    EXPECT_EQ(chow({2, 3}, 4, kTileFlagJokers, hands::id(2)), 0);
    // Under flag 0x4 a held substitute plays as joker A's kind (a 2): 37-3 chows a 1.
    EXPECT_EQ(chow({37, 3}, 1, kTileFlagJokers | kTileFlagStandIn, hands::id(2)), kResultChow);
    EXPECT_EQ(chow({37, 3}, 1, kTileFlagJokers, hands::id(2)), 0);
}

TEST(ClaimChecks, ChowFlagGate) {
    // Rows: flag 0x20, 0x8, 0x4; with 0x1 clear and set (the discard is never a joker here).
    struct Row {
        int flags;
        bool clear, set;
    } rows[] = {
        {0, true, true},
        {kTileFlagStandIn, false, true},
        {kTileFlagJokersNatural, false, true},
        {kTileFlagStandIn | kTileFlagJokersNatural, false, true},
        {kTileFlagHonourRuns, true, true},
        {kTileFlagHonourRuns | kTileFlagJokersNatural, false, true},
        {kTileFlagHonourRuns | kTileFlagStandIn, false, false},
        {kTileFlagHonourRuns | kTileFlagStandIn | kTileFlagJokersNatural, false, false},
    };
    CountTable c = {};
    c[12] = c[13] = 1;
    for (const Row& r : rows) {
        EXPECT_EQ(MJ_IsChowWith(c, hands::id(11), hands::id(25), -1, r.flags) != 0, r.clear)
            << r.flags;
        EXPECT_EQ(
            MJ_IsChowWith(c, hands::id(11), hands::id(25), -1, r.flags | kTileFlagJokers) != 0,
            r.set)
            << r.flags;
    }
}

TEST(ClaimChecks, ChowPairsListed) {
    // Slots: 2, 3, 3, 6 and a discarded 4: slot 0 with slot 1, then slot 0 with slot 2.
    Seat s(hands::ids({2, 3, 3, 6}));
    EXPECT_EQ(MJ_CanChi(s.hand, kSlots, hands::id(4, 3), -1, -1, 0, s.out, kSlots), kResultChow);
    EXPECT_EQ(s.out[0], s.hand[0]);
    EXPECT_EQ(s.out[1], s.hand[1]);
    EXPECT_EQ(s.out[2], s.hand[0]);
    EXPECT_EQ(s.out[3], s.hand[2]);
    EXPECT_EQ(s.valid(), 4);
    // Two copies each of 4 and 5 give four pairs for a discarded 6.
    Seat d(hands::ids({4, 4, 5, 5}));
    EXPECT_EQ(MJ_CanChi(d.hand, kSlots, hands::id(6, 3), -1, -1, 0, d.out, kSlots), kResultChow);
    EXPECT_EQ(d.valid(), 8);
    // The list stops when out is full, and never writes past it.
    Seat many(hands::ids({2, 2, 2, 2, 3, 3, 3, 3, 5, 5, 5, 5}));
    int32_t small[7];
    std::fill(std::begin(small), std::end(small), 777);
    EXPECT_EQ(MJ_CanChi(many.hand, kSlots, hands::id(4, 0), -1, -1, 0, small, 6), kResultChow);
    EXPECT_EQ(CountValid(small, 6), 6);
    EXPECT_EQ(small[6], 777);
    FillMinusOne(nullptr, 6);  // no list: nothing written, nothing counted
    EXPECT_EQ(CountValid(nullptr, 6), 0);
    // No chow: nothing listed.
    Seat no(hands::ids({2, 9}));
    EXPECT_EQ(MJ_CanChi(no.hand, kSlots, hands::id(4, 0), -1, -1, 0, no.out, kSlots), 0);
    EXPECT_EQ(no.valid(), 0);
}

// Claims decided directly from the list by kind arithmetic.
struct RefClaims {
    int pung, kong, chow, four;
    std::vector<std::pair<int, int>> pairs;
};

RefClaims refClaims(const std::vector<int>& hand, int discard, int jokerA, int flags) {
    RefClaims r{};
    const int d = ref::kindOf(discard);
    const bool jokers = (flags & 1) && jokerA >= 0;
    const int jk = jokers ? ref::kindOf(jokerA) : 0;
    const bool natural = flags & 8;
    const bool discardJoker = jokers && d == jk;
    int same = 0;
    int per[64] = {};
    for (int id : hand) {
        if (ref::kindOf(id) == d) ++same;
        ++per[ref::kindOf(id)];
    }
    if (!(discardJoker && !natural)) {
        r.pung = same >= 2;
        r.kong = same >= 3;
    }
    for (int k = 1; k < 64 && !r.four; ++k)
        if (per[k] == 4 && !(jokers && !natural && k == jk)) r.four = k;
    if (discardJoker && !natural) return r;
    if (flags & 0x100) return r;
    auto usable = [&](int k) { return !(jokers && !natural && k == jk); };
    auto isRun = [&](int a, int b) {
        int k[3] = {a, b, d};
        std::sort(k, k + 3);
        if (!usable(a) || !usable(b)) return false;
        if (ref::isSuitKind(k[0]) && k[1] == k[0] + 1 && k[2] == k[1] + 1 && k[2] / 10 == k[0] / 10)
            return true;
        if ((flags & 0x20) && ref::isHonourKind(k[0]) && k[0] != k[1] && k[1] != k[2])
            return k[2] <= 34 || k[0] >= 35;
        return false;
    };
    for (size_t i = 0; i < hand.size(); ++i)
        for (size_t j = i + 1; j < hand.size(); ++j)
            if (isRun(ref::kindOf(hand[i]), ref::kindOf(hand[j])))
                r.pairs.push_back({hand[i], hand[j]});
    r.chow = !r.pairs.empty();
    return r;
}

TEST(ClaimChecksReference, RandomHands) {
    std::mt19937 rng(31337);
    const int flagSets[] = {0, 0x1, 0x1 | 0x8, 0x20, 0x21, 0x21 | 0x8, 0x100};
    int chows = 0, pungs = 0, kongs = 0, fours = 0;
    for (int n = 0; n < 2500; ++n) {
        // Dense hands: kinds from a window of four neighbours (a suit, the winds or the
        // dragons), so that every claim is common.
        std::uniform_int_distribution<int> size(1, 14), window(0, 29), pick(0, 3), copy(0, 3);
        const int w = window(rng);
        const int first = w < 21 ? (w / 7) * 10 + w % 6 + 1 : (w < 26 ? 31 : 34);
        std::vector<int> hand;
        int used[64] = {};
        const int want = size(rng);
        while (static_cast<int>(hand.size()) < want) {
            const int k = std::min(first + pick(rng), first >= 31 ? 37 : 99);
            if (used[k] >= 4) continue;
            ++used[k];
            hand.push_back(hands::id(k, copy(rng)));
        }
        const int discard =
            hands::id(std::min(first + pick(rng), first >= 31 ? 37 : 99), copy(rng));
        const int jokerA = n % 3 ? hand[0] : (n % 5 ? discard : -1);
        Seat s(hand);
        for (int flags : flagSets) {
            RefClaims want = refClaims(hand, discard, jokerA, flags);
            ASSERT_EQ(MJ_CanPeng(s.hand, kSlots, discard, jokerA, -1, flags, s.out) != 0,
                      want.pung != 0);
            ASSERT_EQ(MJ_CanMingGang(s.hand, kSlots, discard, jokerA, -1, flags, s.out) != 0,
                      want.kong != 0);
            ASSERT_EQ(MJ_FindAnGangInHand(s.hand, kSlots, jokerA, -1, flags, s.out) != 0,
                      want.four != 0);
            if (want.four) {
                ASSERT_EQ(MJ_TileIndex(s.out[0], 0), want.four);
            }
            int32_t out[200];
            FillMinusOne(out, 200);
            const int got = MJ_CanChi(s.hand, kSlots, discard, jokerA, -1, flags, out, 200);
            ASSERT_EQ(got != 0, want.chow) << "flags " << flags;
            ASSERT_EQ(CountValid(out, 200), static_cast<int>(want.pairs.size()) * 2);
            for (size_t p = 0; p < want.pairs.size(); ++p) {
                ASSERT_EQ(out[2 * p], want.pairs[p].first);
                ASSERT_EQ(out[2 * p + 1], want.pairs[p].second);
            }
            chows += want.chow, pungs += want.pung, kongs += want.kong, fours += want.four != 0;
        }
    }
    EXPECT_GT(chows, 1000);
    EXPECT_GT(pungs, 1000);
    EXPECT_GT(kongs, 300);
    EXPECT_GT(fours, 100);
}

}  // namespace
