#include "rules/waits.h"

#include <gtest/gtest.h>

#include <random>

#include "hands.h"
#include "reference.h"

using namespace hqlv::rules;

namespace {

constexpr int kEast = 108;  // joker id of kind 31
constexpr int kAllWaits =
    kWaitJokerPair | kWaitPair | kWaitPung | kWaitClosed | kWaitEdge | kWaitOpen;

struct Classified {
    int answer;
    HuResult r;
};

Classified classify(const hands::Counts& hand, int winningKind, int jokerA = -1, int flags = 0,
                    int rule = 0, int mask = 0, int extra = 0, int winningId = -1) {
    Classified c{};
    const int tile = winningId >= 0 ? winningId : hands::id(winningKind, 3);
    c.answer = MJ_IsSpecialHu(hand, tile, jokerA, -1, flags, rule, &c.r, mask, extra);
    return c;
}

const HuUnit& lastUnit(const HuResult& r) {
    return r.units[r.unitCount - 1];
}

// 11-12-13, 21-22-23 and 27-28-29: three melds of the other suits.
hands::Counts withMelds(std::initializer_list<int> kinds) {
    hands::Counts c{11, 12, 13, 21, 22, 23, 27, 28, 29};
    for (int k : kinds) ++c[k];
    return c;
}

TEST(Waits, RunEnds) {
    // A 3 completing 1-2-3: edge, not closed.
    auto edge = classify(withMelds({1, 2, 5, 5}), 3);
    ASSERT_EQ(edge.answer, kResultWin);
    EXPECT_EQ(edge.r.waitFlags & kAllWaits, kWaitEdge);
    EXPECT_EQ(lastUnit(edge.r).tiles[0], 1);
    // A 2 between 1 and 3: closed.
    auto closed = classify(withMelds({1, 3, 5, 5}), 2);
    ASSERT_EQ(closed.answer, kResultWin);
    EXPECT_EQ(closed.r.waitFlags & kAllWaits, kWaitClosed);
    EXPECT_EQ(lastUnit(closed.r).type, kUnitRun);
    EXPECT_EQ(lastUnit(closed.r).tiles[0], 1);
    // A 2 below 3-4 and a 5 above 3-4: open.
    auto low = classify(withMelds({3, 4, 9, 9}), 2);
    ASSERT_EQ(low.answer, kResultWin);
    EXPECT_EQ(low.r.waitFlags & kAllWaits, kWaitOpen);
    EXPECT_EQ(lastUnit(low.r).tiles[0], 2);
    auto high = classify(withMelds({3, 4, 9, 9}), 5);
    ASSERT_EQ(high.answer, kResultWin);
    EXPECT_EQ(high.r.waitFlags & kAllWaits, kWaitOpen);
    EXPECT_EQ(lastUnit(high.r).tiles[0], 3);
    // A 7 below 8-9: edge, recorded from 7.
    auto seven = classify(withMelds({8, 9, 5, 5}), 7);
    ASSERT_EQ(seven.answer, kResultWin);
    EXPECT_EQ(seven.r.waitFlags & kAllWaits, kWaitEdge);
    EXPECT_EQ(lastUnit(seven.r).tiles[0], 7);
    // Not a win: nothing is classified.
    EXPECT_EQ(classify(withMelds({1, 2, 5, 5}), 6).answer, 0);
}

TEST(Waits, PairAndPung) {
    auto pung = classify(withMelds({7, 7, 22, 22}), 7);
    ASSERT_EQ(pung.answer, kResultWin);
    EXPECT_EQ(pung.r.waitFlags & kAllWaits, kWaitPung);
    EXPECT_EQ(lastUnit(pung.r).type, kUnitTriplet);
    // The pair wait: the rest must be melds alone.
    auto pair = classify(withMelds({1, 2, 3, 7}), 7);
    ASSERT_EQ(pair.answer, kResultWin);
    EXPECT_EQ(pair.r.waitFlags & kAllWaits, kWaitPair);
    EXPECT_EQ(pair.r.unitCount, 5);
    EXPECT_EQ(lastUnit(pair.r).type, kUnitPair);
    // Seven pairs: the rest of 12 tiles passes the seven-pairs test.
    hands::Counts seven{1, 1, 4, 4, 9, 9, 13, 13, 22, 22, 31, 31, 37};
    auto sp = classify(seven, 37, -1, 0, kRuleSevenPairs);
    ASSERT_EQ(sp.answer, kResultWin);
    EXPECT_EQ(sp.r.waitFlags & kAllWaits, kWaitPair);
    EXPECT_EQ(sp.r.unitCount, 7);
}

TEST(Waits, HonourRuns) {
    hands::Counts hand{32, 33, 1, 2, 3, 4, 5, 6, 7, 8, 9, 5, 5};
    EXPECT_EQ(classify(hand, 31).answer, 0);  // no honour runs without flag 0x20
    auto run = classify(hand, 31, -1, kTileFlagHonourRuns);
    ASSERT_EQ(run.answer, kResultWin);
    EXPECT_EQ(run.r.waitFlags & kAllWaits, kWaitOpen);
    const HuUnit& u = lastUnit(run.r);
    EXPECT_EQ(u.type, kUnitRun);
    EXPECT_EQ(u.tiles[0], 32);
    EXPECT_EQ(u.tiles[1], 33);
    EXPECT_EQ(u.tiles[2], 31);
    int marks[64] = {};
    int lo = 0, hi = 0;
    hands::Counts g{31, 33, 35};
    EXPECT_EQ(MJ_HonourGroupOthers(g, 32, 0, kTileFlagHonourRuns, marks, &lo, &hi), 1);
    EXPECT_EQ(lo, 31);
    EXPECT_EQ(hi, 34);
    EXPECT_EQ(marks[31] + marks[33] + marks[34], 2);
    EXPECT_EQ(MJ_HonourGroupOthers(g, 36, 0, kTileFlagHonourRuns, marks, &lo, &hi), 0);
    EXPECT_EQ(MJ_HonourGroupOthers(g, 36, 1, kTileFlagHonourRuns, marks, &lo, &hi), 1);
    EXPECT_EQ(hi, 37);
    EXPECT_EQ(MJ_HonourGroupOthers(g, 32, 0, 0, marks, &lo, &hi), 0);
}

TEST(Waits, ForcedSpecialHands) {
    // Honours that win only as all honours.
    hands::Counts h{31, 31, 31, 32, 32, 33, 33, 35, 35, 36, 36, 36, 34};
    auto all = classify(h, 37, -1, 0, kRuleAllHonours);
    ASSERT_EQ(all.answer, kResultWin);
    EXPECT_EQ(all.r.handType & kHandTypeBits, kRuleAllHonours);
    EXPECT_EQ(all.r.waitFlags & kAllWaits, 0);
    EXPECT_EQ(classify(h, 37, -1, 0, kRuleAllHonours, 0, 2).answer, 0);
    EXPECT_EQ(classify(h, 37, -1, 0, kRuleAllHonours, 0, 1).answer, kResultWin);
    // A rest that passes a special test makes a pair wait, like seven pairs.
    hands::Counts rest258{2, 5, 8, 12, 15, 18, 22, 25, 28, 2, 5, 8, 12};
    auto pairWait = classify(rest258, 28, -1, 0, kRuleAll258);
    ASSERT_EQ(pairWait.answer, kResultWin);
    EXPECT_EQ(pairWait.r.waitFlags & kAllWaits, kWaitPair);
    // No copy of the winning 28: only the forced all-2-5-8 hand is left.
    hands::Counts e{2, 2, 5, 5, 8, 8, 12, 12, 15, 15, 18, 22, 25};
    auto e258 = classify(e, 28, -1, 0, kRuleAll258, 0, 2);
    ASSERT_EQ(e258.answer, kResultWin);
    EXPECT_EQ(e258.r.handType & kHandTypeBits, kRuleAll258);
    EXPECT_EQ(e258.r.waitFlags & kAllWaits, 0);
    EXPECT_EQ(classify(e, 28, -1, 0, kRuleAll258, 0, 1).answer, 0);
    HuResult r{};
    EXPECT_EQ(MJ_HuForceSevenPairs(e, hands::id(28), -1, -1, 0, kRuleAll258, &r, 0), 0);
}

TEST(Waits, JokerPartnersAndNeighbours) {
    // The winning 25 pairs with a held joker.
    hands::Counts hand{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 31};
    auto jp = classify(hand, 25, kEast, kTileFlagJokers);
    ASSERT_EQ(jp.answer, kResultWin);
    EXPECT_EQ(jp.r.waitFlags & kAllWaits, kWaitJokerPair);
    EXPECT_EQ(lastUnit(jp.r).tiles[0], 25);
    EXPECT_EQ(lastUnit(jp.r).tiles[1], -31);
    // On a discard (mask bit 1) the joker pair wait is never reported: a plain pair wait.
    auto onDiscard = classify(hand, 25, kEast, kTileFlagJokers, 0, kMaskOnDiscard);
    ASSERT_EQ(onDiscard.answer, kResultWin);
    EXPECT_EQ(onDiscard.r.waitFlags & kAllWaits, kWaitPair);
    // Rule limits on the joker partner.
    EXPECT_EQ(classify(hand, 25, kEast, kTileFlagJokers | kTileFlagNoJokerPairUnlessSelfDrawn, 0,
                       kMaskOnDiscard)
                  .answer,
              0);
    EXPECT_EQ(classify(hand, 25, kEast, kTileFlagJokers | kTileFlagNoJokerPairWhenRobbing, 0,
                       kMaskRobbingKong)
                  .answer,
              0);

    // A 5 between a held 4 and a joker: closed, the joker in the 6's place.
    hands::Counts closed{4, 31, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    auto c = classify(closed, 5, kEast, kTileFlagJokers);
    ASSERT_EQ(c.answer, kResultWin);
    EXPECT_EQ(c.r.waitFlags & kAllWaits, kWaitClosed);
    EXPECT_EQ(lastUnit(c.r).tiles[0], 4);
    EXPECT_EQ(lastUnit(c.r).tiles[1], 5);
    EXPECT_EQ(lastUnit(c.r).tiles[2], -31);
    EXPECT_EQ(
        classify(closed, 5, kEast, kTileFlagJokers | kTileFlagNoJokerClosedUnlessSelfDrawn).answer,
        0);
    EXPECT_EQ(classify(closed, 5, kEast, kTileFlagJokers | kTileFlagNoJokerClosedUnlessSelfDrawn, 0,
                       kMaskSelfDrawn)
                  .answer,
              kResultWin);

    // 2-3 waiting on 1 or 4 with the 1 the joker kind: an edge wait on 4.
    hands::Counts two3{2, 3, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    auto edge = classify(two3, 4, hands::id(1, 0), kTileFlagJokers);
    ASSERT_EQ(edge.answer, kResultWin);
    EXPECT_EQ(edge.r.waitFlags & kAllWaits, kWaitEdge);
    auto open = classify(two3, 4, -1, kTileFlagJokers);
    EXPECT_EQ(open.r.waitFlags & kAllWaits, kWaitOpen);
    EXPECT_EQ(MJ_IsJokerThreeBelow(0, 4, hands::id(1), -1, kTileFlagJokers), 1);
    EXPECT_EQ(MJ_IsJokerThreeBelow(0, 4, hands::id(1), -1, kTileFlagJokers | kTileFlagStandIn), 0);
    EXPECT_EQ(MJ_IsJokerThreeAbove(1, 3, -1, hands::id(16), kTileFlagJokers), 0);  // no joker A
    EXPECT_EQ(MJ_IsJokerThreeAbove(1, 3, 0, hands::id(16), kTileFlagJokers), 1);

    // Pung waits with one and with two jokers (the pair wait comes first in the
    // classification, so the checks are asked directly).
    hands::Counts one{7, 31, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    HuResult r{};
    ASSERT_EQ(MJ_HuPungWait(one, hands::id(7, 3), kEast, -1, kTileFlagJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(r.waitFlags, kWaitPung);
    EXPECT_EQ(lastUnit(r).tiles[0], 7);
    EXPECT_EQ(lastUnit(r).tiles[2], -31);
    hands::Counts two{31, 31, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    ASSERT_EQ(MJ_HuPungWait(two, hands::id(7, 3), kEast, -1, kTileFlagJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(lastUnit(r).tiles[1], -31);
    EXPECT_EQ(lastUnit(r).tiles[2], -31);
    EXPECT_EQ(MJ_HuPungWait(two, hands::id(7, 3), kEast, -1,
                            kTileFlagJokers | kTileFlagNoTwoJokerPungUnlessSelfDrawn, 0, &r, 0),
              0);
    EXPECT_EQ(MJ_HuPungWait(two, hands::id(7, 3), kEast, -1,
                            kTileFlagJokers | kTileFlagNoTwoJokerPungUnlessSelfDrawn, 0, &r,
                            kMaskSelfDrawn),
              kResultWin);
}

TEST(Waits, WinningJoker) {
    // The winning tile is a joker: the joker forms need mask bit 2.
    hands::Counts gap{1, 3, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    auto none = classify(gap, 0, kEast, kTileFlagJokers, 0, 0, 0, kEast + 7);
    EXPECT_EQ(none.answer, 0);
    auto closed = classify(gap, 0, kEast, kTileFlagJokers, 0, kMaskSelfDrawn, 0, kEast + 7);
    ASSERT_EQ(closed.answer, kResultWin);
    EXPECT_EQ(closed.r.waitFlags & kAllWaits, kWaitClosed);
    EXPECT_EQ(lastUnit(closed.r).tiles[1], -31);

    // A winning joker of B's kind fills the place as B's kind.
    HuResult rb{};
    ASSERT_EQ(MJ_HuClosedWaitJoker(gap, hands::id(35, 2), kEast, hands::id(35), kTileFlagJokers, 0,
                                   &rb, kMaskSelfDrawn),
              kResultWin);
    EXPECT_EQ(lastUnit(rb).tiles[1], -35);
    // A held joker takes the missing side of a closed wait, below or above the won 5.
    for (int side : {4, 6}) {
        hands::Counts held{side, 31, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
        HuResult rs{};
        EXPECT_EQ(MJ_HuClosedWait(held, hands::id(5), kEast, -1, kTileFlagJokers, 0, &rs, 0),
                  kResultWin)
            << side;
    }

    hands::Counts single{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 1, 1, 9};
    auto pair = classify(single, 0, kEast, kTileFlagJokers, 0, kMaskSelfDrawn, 0, kEast + 7);
    ASSERT_EQ(pair.answer, kResultWin);
    EXPECT_EQ(pair.r.waitFlags & kAllWaits, kWaitPair);
    EXPECT_EQ(lastUnit(pair.r).tiles[0], 9);
    EXPECT_EQ(lastUnit(pair.r).tiles[1], -31);

    // Jokers alone: one held joker and the winning one make the pair.
    hands::Counts lone{31};
    HuResult r{};
    EXPECT_EQ(
        MJ_HuPairWaitJoker(lone, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, kMaskSelfDrawn),
        kResultWin);
    ASSERT_EQ(r.unitCount, 1);
    EXPECT_EQ(r.units[0].tiles[0], -31);
    EXPECT_EQ(r.units[0].tiles[1], -31);
    // The winning joker pairs the 9; the three held jokers are a triplet on their own.
    hands::Counts three{9, 31, 31, 31};
    EXPECT_EQ(
        MJ_HuPairWaitJoker(three, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, kMaskSelfDrawn),
        kResultWin);

    hands::Counts edges{1, 2, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    EXPECT_EQ(MJ_HuEdgeWaitJoker(edges, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(lastUnit(r).tiles[2], -31);
    // 1-2 waiting on 3 is an edge, never an open wait.
    EXPECT_EQ(MJ_HuHonourSequences(edges, hands::id(3), -1, -1, 0, 0, &r, 0), 0);
    // A won joker of kind 3 seen as its own kind: 1-2-3 is a plain run, no joker place.
    r = HuResult{};
    EXPECT_EQ(MJ_HuEdgeWait(edges, hands::id(3, 1), hands::id(3), -1,
                            kTileFlagJokers | kTileFlagJokersNatural, 0, &r, 0),
              kResultWin);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(lastUnit(r).tiles[k], k + 1);
    hands::Counts opens{4, 5, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    EXPECT_EQ(MJ_HuHonourSequencesJoker(opens, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(lastUnit(r).tiles[0], 4);
    EXPECT_EQ(MJ_HuEdgeWaitJoker(opens, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, 0), 0);
    // The same open wait won by a joker of kind 3 taken as its own kind, on a discard.
    r = HuResult{};
    EXPECT_EQ(MJ_HuHonourSequences(opens, hands::id(3, 1), hands::id(3), -1,
                                   kTileFlagJokers | kTileFlagJokersNatural, 0, &r, 0),
              kResultWin);
    hands::Counts winds{32, 34, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    EXPECT_EQ(MJ_HuHonourSequencesJoker(winds, hands::id(5), hands::id(5), -1,
                                        kTileFlagJokers | kTileFlagHonourRuns, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(lastUnit(r).tiles[2], -5);
    hands::Counts pairs{3, 3, 11, 12, 13, 21, 22, 23, 27, 28, 29, 9, 9};
    EXPECT_EQ(MJ_HuPungWaitJoker(pairs, kEast + 7, kEast, -1, kTileFlagJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(lastUnit(r).tiles[0], 3);
    // Not a joker: the joker forms do not apply.
    EXPECT_EQ(MJ_HuPungWaitJoker(pairs, hands::id(3, 3), kEast, -1, kTileFlagJokers, 0, &r, 0), 0);
}

// Every winning hand without jokers or fours has exactly one wait, and the classified split
// (rest plus the winning unit) is a true split of the hand.
TEST(WaitsReference, EveryPlainWinHasOneWait) {
    std::mt19937 rng(424242);
    std::uniform_int_distribution<int> kindDist(0, 33), coin(0, 9);
    auto kindAt = [](int n) { return n < 27 ? (n / 9) * 10 + n % 9 + 1 : 31 + (n - 27); };
    int classified = 0;
    for (int n = 0; n < 1500; ++n) {
        int used[64] = {};
        std::vector<int> kinds;
        while (kinds.size() < 12) {
            int k = kindAt(kindDist(rng));
            if (coin(rng) < 6 && k < 30 && k % 10 <= 7) {
                if (used[k] < 3 && used[k + 1] < 3 && used[k + 2] < 3)
                    for (int d = 0; d < 3; ++d) ++used[k + d], kinds.push_back(k + d);
            } else if (used[k] == 0) {
                used[k] = 3, kinds.insert(kinds.end(), {k, k, k});
            }
        }
        kinds.resize(12);
        for (;;) {
            int k = kindAt(kindDist(rng));
            if (used[k] <= 1) {
                kinds.insert(kinds.end(), {k, k});
                break;
            }
        }
        std::shuffle(kinds.begin(), kinds.end(), rng);
        const int win = kinds.back();
        hands::Counts hand;
        for (size_t k = 0; k + 1 < kinds.size(); ++k) ++hand[kinds[k]];
        ref::Counts full{};
        bool four = false;
        for (int k : kinds) four |= ++full[static_cast<size_t>(k)] == 4;
        if (four) continue;
        const int flags = n % 2 ? kTileFlagHonourRuns : 0;
        HuResult r{};
        ASSERT_EQ(MJ_CheckHu(hand, hands::id(win, 3), -1, -1, flags, 0, &r, 0), kResultWin);
        auto c = classify(hand, win, -1, flags);
        ASSERT_EQ(c.answer, kResultWin) << "win " << win;
        const int waits = c.r.waitFlags & kAllWaits;
        EXPECT_TRUE(waits && !(waits & (waits - 1))) << waits;
        EXPECT_TRUE(ref::isSplitOf(c.r, full, 0, 0, 0, 0, flags & kTileFlagHonourRuns));
        const HuUnit& u = lastUnit(c.r);
        EXPECT_TRUE(u.tiles[0] == win || u.tiles[1] == win || u.tiles[2] == win);
        ++classified;
    }
    EXPECT_GT(classified, 1000);
}

// With jokers: whatever wait is reported, the recorded units are a true split of the hand
// with the jokers (the winning one included when it is a joker) in the joker places.
TEST(WaitsReference, JokerWaitsRecordTrueSplits) {
    std::mt19937 rng(9090);
    std::uniform_int_distribution<int> kindDist(0, 32), coin(0, 9);
    auto kindAt = [](int n) { return n < 27 ? (n / 9) * 10 + n % 9 + 1 : 32 + (n - 27); };
    int classified = 0, jokerWaits = 0;
    for (int n = 0; n < 1200; ++n) {
        int used[64] = {};
        std::vector<int> kinds;
        while (kinds.size() < 12) {
            int k = kindAt(kindDist(rng));
            if (coin(rng) < 6 && k < 30 && k % 10 <= 7) {
                if (used[k] < 4 && used[k + 1] < 4 && used[k + 2] < 4)
                    for (int d = 0; d < 3; ++d) ++used[k + d], kinds.push_back(k + d);
            } else if (used[k] <= 1) {
                used[k] += 3, kinds.insert(kinds.end(), {k, k, k});
            }
        }
        kinds.resize(12);
        for (;;) {
            int k = kindAt(kindDist(rng));
            if (used[k] <= 2) {
                kinds.insert(kinds.end(), {k, k});
                break;
            }
        }
        std::shuffle(kinds.begin(), kinds.end(), rng);
        const int jokers = 1 + coin(rng) % 3;  // 1..3 tiles become jokers (kind 31)
        for (int j = 0; j < jokers; ++j) kinds[static_cast<size_t>(j * 4)] = 31;
        std::vector<int> ids;
        int copies[64] = {};
        for (int k : kinds) ids.push_back(hands::id(k, copies[k]++));
        const int winning = ids.back();
        hands::Counts hand;
        for (size_t k = 0; k + 1 < kinds.size(); ++k) ++hand[kinds[k]];
        const int flags = kTileFlagJokers | (n % 2 ? kTileFlagHonourRuns : 0);
        const int mask = n % 3 ? kMaskSelfDrawn : 0;
        HuResult r{};
        const int answer = MJ_IsSpecialHu(hand, winning, kEast, -1, flags, 0, &r, mask, 0);
        HuResult check{};
        if (!answer) continue;
        ASSERT_EQ(MJ_CheckHu(hand, winning, kEast, -1, flags, 0, &check, mask), kResultWin);
        ref::Counts wild{};
        int pool = 0;
        for (int k : kinds) k == 31 ? ++pool : ++wild[static_cast<size_t>(k)];
        EXPECT_TRUE(ref::isSplitOf(r, wild, pool, 0, 31, 0, flags & kTileFlagHonourRuns))
            << "wait " << r.waitFlags << " jokers " << pool;
        ++classified;
        jokerWaits += (r.waitFlags & kWaitJokerPair) != 0 || MJ_CountJokerTiles(&r) > 0;
    }
    EXPECT_GT(classified, 800);
    EXPECT_GT(jokerWaits, 400);
}

}  // namespace
