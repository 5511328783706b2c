#include "rules/hu.h"

#include <gtest/gtest.h>

#include <random>

#include "hands.h"
#include "reference.h"

using namespace hqlv::rules;

namespace {

constexpr int kJokers = kTileFlagJokers;
constexpr int kEast = 108;  // a joker id of kind 31 for the joker cases

struct U {
    int type, t0, t1, t2, t3;
};

void expectUnits(const HuResult& r, std::initializer_list<U> units) {
    ASSERT_EQ(r.unitCount, static_cast<int>(units.size()));
    int n = 0;
    for (const U& u : units) {
        const HuUnit& got = r.units[n++];
        EXPECT_EQ(got.type, u.type) << "unit " << n;
        EXPECT_EQ(got.tiles[0], u.t0) << "unit " << n;
        EXPECT_EQ(got.tiles[1], u.t1) << "unit " << n;
        EXPECT_EQ(got.tiles[2], u.t2) << "unit " << n;
        EXPECT_EQ(got.tiles[3], u.t3) << "unit " << n;
    }
}

TEST(WinCheck, SplitRecordsInnermostFirst) {
    HuResult r;
    hands::Counts c{1, 1, 1, 2, 3, 4, 5};
    ASSERT_EQ(MJ_CheckHu(c, hands::id(5, 1), -1, -1, 0, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitPair, 5, 5, 0, 0}, {kUnitRun, 2, 3, 4, 0}, {kUnitTriplet, 1, 1, 1, 0}});
}

TEST(WinCheck, JokerPlacesInRuns) {
    HuResult r;
    // 1-2 with a joker, and 5-5.
    hands::Counts a{1, 2, 5, 5, 31};
    ASSERT_EQ(MJ_CheckHu(a, -1, kEast, -1, kJokers, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitPair, 5, 5, 0, 0}, {kUnitRun, 1, 2, -31, 0}});
    // 7-9 and 5-5: the triplet 5-5-joker fails first, then the closed run.
    hands::Counts b{7, 9, 5, 5, 31};
    ASSERT_EQ(MJ_CheckHu(b, -1, kEast, -1, kJokers, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitRun, 7, -31, 9, 0}, {kUnitPair, 5, 5, 0, 0}});
    // 8-9 and 5-5: the joker is placed above, never below the lowest tile.
    hands::Counts c{8, 9, 5, 5, 31};
    ASSERT_EQ(MJ_CheckHu(c, -1, kEast, -1, kJokers, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitRun, 8, 9, -31, 0}, {kUnitPair, 5, 5, 0, 0}});
    // The same hands without jokers do not win.
    EXPECT_EQ(MJ_CheckHu(c, -1, kEast, -1, 0, 0, &r, 0), 0);
}

// A normal hand needs exactly one pair: without it fours and triplets alone (or nothing at
// all) would be paid as a complete hand, fourteen tiles of 1111 5555 333 999 among them.
TEST(WinCheck, ExactlyOnePairSoMeldsWithoutAPairAreNoWin) {
    HuResult r;
    // Fours and triplets with no pair: not a win.
    hands::Counts noPair{1, 1, 1, 1, 5, 5, 5, 5, 3, 3, 3, 9, 9};
    EXPECT_EQ(MJ_CheckHu(noPair, hands::id(9, 2), -1, -1, 0, 0, &r, 0), 0);
    // 1111 2222 333 444 does win, but through its split with a pair: 111 123 222 33 444.
    hands::Counts other{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 4, 4};
    ASSERT_EQ(MJ_CheckHu(other, hands::id(4, 2), -1, -1, 0, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitTriplet, 4, 4, 4, 0},
                    {kUnitPair, 3, 3, 0, 0},
                    {kUnitTriplet, 2, 2, 2, 0},
                    {kUnitRun, 1, 2, 3, 0},
                    {kUnitTriplet, 1, 1, 1, 0}});
    // Nothing at all, or a four alone, is no hand either.
    hands::Counts empty{};
    EXPECT_EQ(MJ_CheckHu(empty, -1, -1, -1, 0, 0, &r, 0), 0);
    hands::Counts four{6, 6, 6, 6};
    EXPECT_EQ(MJ_CheckHu(four, -1, -1, -1, 0, 0, &r, 0), 0);
    // With the pair already made, melds alone complete it.
    r.unitCount = 0;
    EXPECT_EQ(MJ_SplitMelds(empty, 0, 0, 0, 0, 0, 0, 0, &r, 1), kResultWin);
    EXPECT_EQ(r.unitCount, 0);
    EXPECT_EQ(MJ_SplitMelds(four, 0, 0, 0, 0, 0, 0, 0, &r, 1), kResultWin);
    expectUnits(r, {{kUnitFour, 6, 6, 6, 6}});
    // Three fours and a pair do win (each four taken whole).
    hands::Counts fours{1, 1, 1, 1, 5, 5, 5, 5, 9, 9, 9, 9, 22};
    ASSERT_EQ(MJ_CheckHu(fours, hands::id(22, 1), -1, -1, 0, 0, &r, 0), kResultWin);
    EXPECT_EQ(MJ_CountFourUnits(&r), 3);
    // Two pairs are no normal hand.
    hands::Counts twoPairs{1, 1, 2, 2, 3};
    EXPECT_EQ(MJ_CheckHu(twoPairs, hands::id(3, 1), -1, -1, 0, 0, &r, 0), 0);
}

TEST(WinCheck, HonourRunsNeedTheirFlag) {
    HuResult r;
    hands::Counts c{31, 33, 34, 7};
    EXPECT_EQ(MJ_CheckHu(c, hands::id(7, 1), -1, -1, 0, 0, &r, 0), 0);
    ASSERT_EQ(MJ_CheckHu(c, hands::id(7, 1), -1, -1, kTileFlagHonourRuns, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitRun, 31, 33, 34, 0}, {kUnitPair, 7, 7, 0, 0}});
    hands::Counts d{31, 32, 34, 35, 36, 37, 7};
    ASSERT_EQ(MJ_CheckHu(d, hands::id(7, 1), -1, -1, kTileFlagHonourRuns, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitRun, 35, 36, 37, 0}, {kUnitRun, 31, 32, 34, 0}, {kUnitPair, 7, 7, 0, 0}});
    // A dragon run with a joker: (J, 36, 37).
    hands::Counts e{36, 37, 7, 7, 3};
    ASSERT_EQ(MJ_CheckHu(e, -1, hands::id(3), -1, kJokers | kTileFlagHonourRuns, 0, &r, 0),
              kResultWin);
    expectUnits(r, {{kUnitRun, -3, 36, 37, 0}, {kUnitPair, 7, 7, 0, 0}});
    // East and North with the won joker between them (the gap of South).
    hands::Counts en{31, 34, 7, 7};
    const int joker = hands::id(5), won = hands::id(5, 1);
    EXPECT_EQ(MJ_CheckHu(en, won, joker, -1, kJokers, 0, &r, 0), 0);
    ASSERT_EQ(MJ_CheckHu(en, won, joker, -1, kJokers | kTileFlagHonourRuns, 0, &r, 0), kResultWin);
    expectUnits(r, {{kUnitRun, 31, -5, 34, 0}, {kUnitPair, 7, 7, 0, 0}});
}

TEST(WinCheck, FlowersAndBadInput) {
    HuResult r;
    hands::Counts c{1, 1, 1, 2, 3, 4, 5, 41};
    EXPECT_EQ(MJ_CheckHu(c, hands::id(5, 1), -1, -1, 0, 0, &r, 0), 0);
    hands::Counts ok{1, 1, 1, 2, 3, 4, 5};
    EXPECT_EQ(MJ_CheckHu(ok, 152, -1, -1, 0, 0, &r, 0), 0);  // not a tile
    EXPECT_EQ(MJ_CheckHu(ok, -77, -1, -1, 0, 0, &r, 0), 0);
    hands::Counts negative = ok;
    negative[9] = -1;
    negative[8] = 1;
    EXPECT_EQ(MJ_CheckHu(negative, hands::id(5, 1), -1, -1, 0, 0, &r, 0), 0);
    hands::Counts huge = ok;
    huge[7] = 1000000;
    EXPECT_EQ(MJ_CheckHu(huge, hands::id(5, 1), -1, -1, 0, 0, &r, 0), 0);
    hands::Counts slot0 = ok;
    slot0[0] = 2;
    EXPECT_EQ(MJ_CheckHu(slot0, hands::id(5, 1), -1, -1, 0, 0, &r, 0), 0);
    EXPECT_EQ(MJ_CanHu(ok, -1, 0, -1, -1, 5, 0, 0, &r, 0), 0);
    // Counts and pools whose sum does not fit 32 bits are refused, not summed past the range.
    hands::Counts wide;
    for (int k = 1; k < 64; ++k) wide[k] = INT32_MAX;
    EXPECT_EQ(MJ_CanHu(wide, INT32_MAX, INT32_MAX, -1, -1, 5, 0, kHandTypeBits, &r, 0), 0);
    EXPECT_EQ(MJ_SplitMelds(ok, INT32_MAX, INT32_MAX, 0, 0, 5, 0, 0, &r, 0), 0);
    EXPECT_EQ(MJ_IsSevenPairs(wide, INT32_MAX, INT32_MAX, 0, 0, 5, 0, kRuleSevenPairs, &r), 0);
    EXPECT_EQ(MJ_SumJokers(INT32_MAX, INT32_MAX), INT32_MAX);
    // No result record: the answer alone.
    EXPECT_EQ(MJ_CheckHu(ok, hands::id(5, 1), -1, -1, 0, 0, nullptr, 0), kResultWin);
    // The unit record never overflows.
    HuResult full{};
    for (int k = 0; k < 12; ++k) MJ_AddHuUnit(&full, kUnitPair, 1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(full.unitCount, kMaxHuUnits);
    EXPECT_EQ(full.reserve[0], 0);
}

TEST(WinCheck, RefusalsByMask) {
    HuResult r;
    hands::Counts c{1, 1, 1, 2, 3, 4, 5};
    const int win = hands::id(5, 1);
    EXPECT_EQ(MJ_CheckHu(c, win, -1, -1, kTileFlagNoWinOnDiscard, 0, &r, kMaskOnDiscard), 0);
    EXPECT_EQ(MJ_CheckHu(c, win, -1, -1, kTileFlagNoWinOnDiscard, 0, &r, kMaskSelfDrawn),
              kResultWin);
    EXPECT_EQ(MJ_CheckHu(c, win, -1, -1, kTileFlagNoWinRobbingKong, 0, &r, kMaskRobbingKong), 0);
    // A joker won on a discard is refused unless it also counts as its own kind.
    hands::Counts j{1, 1, 1, 2, 3, 4, 31};
    EXPECT_EQ(MJ_CheckHu(j, kEast + 7, kEast, -1, kJokers, 0, &r, kMaskOnDiscard), 0);
    EXPECT_EQ(MJ_CheckHu(j, kEast + 7, kEast, -1, kJokers, 0, &r, kMaskSelfDrawn), kResultWin);
    EXPECT_EQ(MJ_CheckHu(j, kEast + 7, kEast, -1, kJokers | kTileFlagJokersNatural, 0, &r,
                         kMaskOnDiscard),
              kResultWin);
}

TEST(WinCheck, JokersAsTheirOwnKindAreTriedFirst) {
    HuResult r;
    // Joker A is kind 5; the hand is complete with the three 5s as 5s.
    const int five = hands::id(5, 0);
    const int nine = hands::id(9, 1);
    hands::Counts c{1, 2, 3, 5, 5, 5, 11, 12, 13, 21, 22, 23, 9};
    const int natural = kJokers | kTileFlagJokersNatural;
    ASSERT_EQ(MJ_CheckHu(c, nine, five, -1, natural, 0, &r, 0), kResultWin);
    EXPECT_EQ(MJ_CountJokerTiles(&r), 0) << "the split with the jokers as their own kind wins";
    ASSERT_EQ(MJ_CheckHu(c, nine, five, -1, kJokers, 0, &r, 0), kResultWin);
    EXPECT_GE(MJ_CountJokerTiles(&r), 3);  // wild only: every joker fills a place
    // The natural reading asked for directly ignores flag 0x8: a won joker completes the pung.
    hands::Counts p{3, 4, 5, 5, 11, 12, 13, 21, 22, 23, 9, 9, 9};
    int jb = -1, wi = -1;
    ASSERT_EQ(MJ_HuAsNatural(p, hands::id(5, 2), five, -1, &jb, &wi, kJokers, 0, &r, 0),
              kResultWin);
    EXPECT_EQ(MJ_CountJokerTiles(&r), 0);
    EXPECT_EQ(wi, 5);

    // All seven honours without jokers standing in: only the natural reading holds when
    // the joker kind is itself one of the honours.
    hands::Counts h{31, 32, 33, 34, 35, 36, 37, 1, 1, 1, 2, 2, 2};
    const int three = hands::id(3, 0);
    const int strict = natural | kTileFlagNoJokersInSevenHonours;
    ASSERT_EQ(MJ_CheckHu(h, three, kEast, -1, strict, kRuleAllSevenHonours, &r, 0), kResultWin);
    EXPECT_EQ(r.units[0].type, kUnitAllSevenHonours);
    EXPECT_EQ(MJ_CheckHu(h, three, kEast, -1, kJokers | kTileFlagNoJokersInSevenHonours,
                         kRuleAllSevenHonours, &r, 0),
              0);
}

TEST(SpecialHands, SevenPairs) {
    HuResult r;
    hands::Counts c{1, 1, 4, 4, 9, 9, 13, 13, 22, 22, 31, 31, 37};
    EXPECT_EQ(MJ_CheckHu(c, hands::id(37, 1), -1, -1, 0, 0, &r, 0), 0);
    ASSERT_EQ(MJ_CheckHu(c, hands::id(37, 1), -1, -1, 0, kRuleSevenPairs, &r, 0), kResultWin);
    EXPECT_EQ(r.unitCount, 7);
    // A pair of fours and singles with jokers: count 3 is a four with a joker, 1 a pair.
    hands::Counts j{2, 2, 2, 5, 5, 5, 5, 7, 8, 8, 9, 9, 31};
    ASSERT_EQ(MJ_CheckHu(j, kEast + 14, kEast, -1, kJokers, kRuleSevenPairs, &r, 0), kResultWin);
    expectUnits(r, {{kUnitFour, 2, 2, 2, -31},
                    {kUnitFour, 5, 5, 5, 5},
                    {kUnitPair, 7, -31, 0, 0},
                    {kUnitPair, 8, 8, 0, 0},
                    {kUnitPair, 9, 9, 0, 0}});
    // The same pairs also win as melds when they are runs: 112233 445566 99.
    hands::Counts runs{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 9};
    ASSERT_EQ(MJ_CheckHu(runs, hands::id(9, 1), -1, -1, 0, 0, &r, 0), kResultWin);
    EXPECT_EQ(r.units[0].type, kUnitPair);
}

TEST(SpecialHands, ThirteenHonoursAnd258) {
    HuResult r;
    hands::Counts t{1, 4, 7, 11, 14, 17, 21, 24, 27, 31, 32, 33, 34};
    ASSERT_EQ(MJ_CheckHu(t, hands::id(35), -1, -1, 0, kRuleThirteenUnrelated, &r, 0), kResultWin);
    expectUnits(r, {{kUnitThirteenUnrelated, 0, 0, 0, 0}});
    t[7] = 0;
    t[8] = 1;  // 7 -> 8: still unrelated; 8 beside 9 is not
    EXPECT_EQ(MJ_CheckHu(t, hands::id(35), -1, -1, 0, kRuleThirteenUnrelated, &r, 0), kResultWin);
    EXPECT_EQ(MJ_CheckHu(t, hands::id(9), -1, -1, 0, kRuleThirteenUnrelated, &r, 0), 0);

    hands::Counts s{31, 32, 33, 34, 35, 36, 2, 2, 2, 5, 5, 5, 8};
    EXPECT_EQ(MJ_CheckHu(s, hands::id(9), -1, -1, 0, kRuleAllSevenHonours, &r, 0), 0);
    ASSERT_EQ(MJ_CheckHu(s, hands::id(37), -1, -1, 0, kRuleAllSevenHonours, &r, 0), kResultWin);
    // A joker fills the missing honour unless flag 0x400000 forbids it.
    EXPECT_EQ(
        MJ_CheckHu(s, hands::id(9, 3), hands::id(9), -1, kJokers, kRuleAllSevenHonours, &r, 0),
        kResultWin);
    EXPECT_EQ(MJ_CheckHu(s, hands::id(9, 3), hands::id(9), -1,
                         kJokers | kTileFlagNoJokersInSevenHonours, kRuleAllSevenHonours, &r, 0),
              0);

    hands::Counts h{31, 31, 32, 33, 33, 35, 35, 35, 36, 37, 37, 34, 34};
    ASSERT_EQ(MJ_CheckHu(h, hands::id(36, 1), -1, -1, 0, kRuleAllHonours, &r, 0), kResultWin);
    expectUnits(r, {{kUnitAllHonours, 0, 0, 0, 0}});
    EXPECT_EQ(MJ_CheckHu(h, hands::id(9), -1, -1, 0, kRuleAllHonours, &r, 0), 0);

    hands::Counts e{2, 5, 8, 12, 15, 18, 22, 25, 28, 2, 5, 8, 12};
    ASSERT_EQ(MJ_CheckHu(e, hands::id(15, 1), -1, -1, 0, kRuleAll258, &r, 0), kResultWin);
    expectUnits(r, {{kUnitAll258, 0, 0, 0, 0}});
    EXPECT_EQ(MJ_CheckHu(e, hands::id(3), -1, -1, 0, kRuleAll258, &r, 0), 0);
    // A hand-type bit in the mask tests that hand only.
    hands::Counts both{2, 2, 5, 5, 8, 8, 12, 12, 15, 15, 18, 18, 22};
    EXPECT_EQ(MJ_CheckHu(both, hands::id(22, 1), -1, -1, 0, kRuleSevenPairs | kRuleAll258, &r,
                         kRuleAll258),
              kResultWin);
    EXPECT_EQ(r.units[0].type, kUnitAll258);
    EXPECT_EQ(MJ_CheckHu(both, hands::id(22, 1), -1, -1, 0, kRuleAll258, &r, kRuleSevenPairs), 0);
}

TEST(SpecialHands, SubstituteMovesBackForSpecialHands) {
    HuResult r;
    // Joker A is a 5 (id 4); the single substitute (index 37) would play as a 5, which spoils
    // all honours; the check moves it back.
    hands::Counts h{31, 31, 31, 32, 32, 32, 33, 33, 33, 35, 35, 37, 36};
    const int flags = kJokers | kTileFlagStandIn;
    ASSERT_EQ(MJ_CheckHu(h, hands::id(36, 1), 4, -1, flags, kRuleAllHonours, &r, 0), kResultWin);
    EXPECT_EQ(r.units[0].type, kUnitAllHonours);
    // Ordinary hands use the substitute as the 5: 4-37-6 is a run.
    hands::Counts run{4, 37, 6, 9, 9, 9, 11, 12, 13, 21, 21, 21, 28};
    ASSERT_EQ(MJ_CheckHu(run, hands::id(28, 1), 4, -1, flags, 0, &r, 0), kResultWin);
    EXPECT_EQ(MJ_CheckHu(run, hands::id(28, 1), 4, -1, kJokers, 0, &r, 0), 0);
    // A prepared table with one tile on joker A's kind: moved back only under flag 0x4.
    hands::Counts lone5{31, 31, 31, 32, 32, 32, 33, 33, 33, 35, 35, 36, 36, 5};
    EXPECT_EQ(MJ_CanHu(lone5, 0, 0, 4, -1, 36, flags, kRuleAllHonours, &r, 0), kResultWin);
    EXPECT_EQ(MJ_CanHu(lone5, 0, 0, 4, -1, 36, kJokers, kRuleAllHonours, &r, 0), 0);
}

TEST(WinCheck, ResultUtilities) {
    int pa = 2, pb = 1, ba = 0, bb = 0;
    EXPECT_EQ(MJ_TakeJokers(&ba, &bb, &pa, &pb, 2), 2);
    EXPECT_EQ(ba, 2);
    EXPECT_EQ(bb, 1);
    EXPECT_EQ(pa, 1);  // B had fewer: B first, then A (equal)
    EXPECT_EQ(pb, 0);
    EXPECT_EQ(MJ_TakeJokers(&ba, &bb, &pa, &pb, 5), 1);
    EXPECT_EQ(MJ_RestoreJokers(3, 4, &pa, &pb), 1);
    EXPECT_EQ(pa + pb, 7);
    EXPECT_EQ(MJ_SumJokers(-1, 5), 0);
    EXPECT_EQ(MJ_SumJokers(2, 3), 5);
    int ua = 1, ub = 2;
    EXPECT_EQ(MJ_TakeOneJoker(&ua, &ub, 5, 15), 5);
    EXPECT_EQ(MJ_TakeOneJoker(&ua, &ub, 5, 15), 15);
    EXPECT_EQ(MJ_TakeOneJoker(&ua, &ub, 5, 15), 15);
    EXPECT_EQ(MJ_TakeOneJoker(&ua, &ub, 5, 15), 0);
    int32_t one = 1;
    EXPECT_EQ(MJ_TakeOneJoker(nullptr, &one, 5, 15), 0);  // no counter: no joker taken
    EXPECT_EQ(MJ_TakeOneJoker(&one, nullptr, 5, 15), 0);
    EXPECT_EQ(one, 1);

    HuResult r{};
    MJ_AddHuUnit(&r, kUnitRun, 31, 1, 0, 5, 15, 1, 2);  // 31 J 34
    MJ_AddHuUnit(&r, kUnitRun, 3, 0, 1, 5, 15, 0, 0);   // J 3 4
    MJ_AddHuUnit(&r, kUnitFour, 7, 1, 0, 5, 15, 0, 0);  // 7 7 7 J
    MJ_AddJokerUnit(&r, kUnitTriplet, 2, 1, 5, 15);     // J J J
    MJ_AddUnitTiles(&r, kUnitPair, 9, 9, 0, 0);
    expectUnits(r, {{kUnitRun, 31, -5, 34, 0},
                    {kUnitRun, -15, 3, 4, 0},
                    {kUnitFour, 7, 7, 7, -5},
                    {kUnitTriplet, -15, -5, -5, 0},
                    {kUnitPair, 9, 9, 0, 0}});
    EXPECT_EQ(MJ_CountJokerTiles(&r), 6);
    EXPECT_EQ(MJ_CountFourUnits(&r), 1);
    // With the jokers as their own kind: 31 5 34 no run, so the check fails at once.
    EXPECT_EQ(MJ_CheckJokerUnits(&r, 4, 40, kJokers), 0);
    HuResult good{};
    MJ_AddUnitTiles(&good, kUnitRun, 3, 4, -5, 0);
    MJ_AddUnitTiles(&good, kUnitPair, 5, -5, 0, 0);
    MJ_AddUnitTiles(&good, kUnitTriplet, 9, 9, 9, 0);
    EXPECT_EQ(MJ_CheckJokerUnits(&good, 4, -1, kJokers), 2);
    EXPECT_EQ(MJ_IsUnitValidNatural(&good.units[2], 4, -1, kJokers), 1);
    HuUnit odd{99, {1, 1, 1, 1}, {0, 0}};
    EXPECT_EQ(MJ_IsUnitValidNatural(&odd, 4, -1, kJokers), 0);
    for (HuUnit bad :
         {HuUnit{kUnitTriplet, {1, 1, 2, 0}, {0, 0}}, HuUnit{kUnitTriplet, {2, 1, 1, 0}, {0, 0}},
          HuUnit{kUnitFour, {1, 1, 1, 2}, {0, 0}}})
        EXPECT_EQ(MJ_IsUnitValidNatural(&bad, 4, -1, kJokers), 0) << bad.tiles[0] << bad.tiles[3];

    HuResult a{}, b{};
    a.handType = 0x10;
    b.handType = 0x2;
    b.waitFlags = 0x40;
    b.further[1] = 8;
    a.tally1[3] = 5;
    b.tally1[3] = 7;
    b.tally2[31] = -2;
    b.unitCount = 3;
    MJ_MergeHuResult(&a, &b);
    EXPECT_EQ(a.handType, 0x12);
    EXPECT_EQ(a.waitFlags, 0x40);
    EXPECT_EQ(a.further[1], 8);
    EXPECT_EQ(a.tally1[3], 12);
    EXPECT_EQ(a.tally2[31], -2);
    EXPECT_EQ(a.unitCount, 0);
}

// --- Agreement with the independent reference ------------------------------------------------

struct Case {
    std::vector<int> hand;
    int winning;
    int jokerA, jokerB;
};

// A hand built from random melds and a pair (so that many win), then partly disturbed.
Case builtHand(std::mt19937& rng, bool withJokers) {
    std::uniform_int_distribution<int> kindDist(0, 33), coin(0, 9);
    auto kindAt = [](int n) { return n < 27 ? (n / 9) * 10 + n % 9 + 1 : 31 + (n - 27); };
    int used[64] = {};
    std::vector<int> kinds;
    auto put = [&](int k) {
        if (k < 1 || k > 37 || k % 10 == 0 || used[k] >= 4) return false;
        ++used[k];
        kinds.push_back(k);
        return true;
    };
    int guard = 0;
    while (kinds.size() < 12 && ++guard < 200) {
        int k = kindAt(kindDist(rng));
        if (coin(rng) < 5 && k < 30 && k % 10 <= 7) {
            if (used[k] < 4 && used[k + 1] < 4 && used[k + 2] < 4) put(k), put(k + 1), put(k + 2);
        } else if (used[k] <= 1) {
            put(k), put(k), put(k);
        }
    }
    while (kinds.size() < 14 && ++guard < 400) {
        int k = kindAt(kindDist(rng));
        if (used[k] <= 2) put(k), put(k);
    }
    while (kinds.size() < 14) put(kindAt(kindDist(rng)));
    kinds.resize(14);
    if (coin(rng) < 3) {  // disturb: change one tile
        int k = kindAt(kindDist(rng));
        if (used[k] < 4) kinds[static_cast<size_t>(coin(rng))] = k;
    }
    Case c;
    int copies[64] = {};
    for (int k : kinds) c.hand.push_back(hands::id(k, copies[k]++ % 4));
    std::shuffle(c.hand.begin(), c.hand.end(), rng);
    c.winning = c.hand.back();
    c.hand.pop_back();
    c.jokerA = c.jokerB = -1;
    if (withJokers) {
        // Jokers: the kind of one or two held tiles, so that 0 to 4 jokers are in the hand.
        c.jokerA = c.hand[static_cast<size_t>(coin(rng))];
        if (coin(rng) < 4) c.jokerB = c.hand[static_cast<size_t>(coin(rng) + 1)];
    }
    return c;
}

Case randomHand(std::mt19937& rng, bool withJokers, bool withFlowers) {
    Case c;
    auto ids = hands::drawIds(rng, 14, withFlowers ? 152 : 136);
    c.winning = ids.back();
    ids.pop_back();
    c.hand = ids;
    c.jokerA = c.jokerB = -1;
    if (withJokers) {
        std::uniform_int_distribution<int> any(0, 135);
        c.jokerA = any(rng);
        if (any(rng) % 2) c.jokerB = any(rng);
    }
    return c;
}

void checkAgreement(const Case& k, int flags, int rule, int mask, int& wins) {
    hqlv::rules::CountTable counts;
    hands::countIds(k.hand, counts);
    HuResult r;
    const int got = MJ_CheckHu(counts, k.winning, k.jokerA, k.jokerB, flags, rule, &r, mask);
    const bool want = ref::checkHu(k.hand, k.winning, k.jokerA, k.jokerB, flags, rule, mask);
    ASSERT_EQ(got == kResultWin, want) << "flags " << flags << " rule " << rule << " mask " << mask
                                       << " jokers " << k.jokerA << "," << k.jokerB;
    if (!got) return;
    ++wins;
    if (rule != 0) return;
    // The recorded split is a true split of the hand, natural or with the jokers pooled.
    ref::Counts all{};
    for (int id : k.hand) ++all[static_cast<size_t>(ref::kindOf(id))];
    ++all[static_cast<size_t>(ref::kindOf(k.winning))];
    const bool jokersOn = (flags & 1) && k.jokerA >= 0;
    const int ka = jokersOn ? ref::kindOf(k.jokerA) : 0;
    const int kb = jokersOn && k.jokerB >= 0 ? ref::kindOf(k.jokerB) : 0;
    ref::Counts wild = all;
    int pa = ka ? wild[static_cast<size_t>(ka)] : 0;
    if (ka) wild[static_cast<size_t>(ka)] = 0;
    int pb = kb ? wild[static_cast<size_t>(kb)] : 0;
    if (kb) wild[static_cast<size_t>(kb)] = 0;
    const bool honourRuns = flags & kTileFlagHonourRuns;
    EXPECT_TRUE(
        ref::isSplitOf(r, wild, pa, pb, ka, kb, honourRuns) ||
        ((flags & kTileFlagJokersNatural) && ref::isSplitOf(r, all, 0, 0, 0, 0, honourRuns)))
        << "split does not cover the hand";
}

TEST(WinCheckReference, RandomHandsWithoutJokers) {
    std::mt19937 rng(20261206);
    int wins = 0;
    for (int n = 0; n < 1500; ++n) {
        Case k = n % 3 ? builtHand(rng, false) : randomHand(rng, false, n % 7 == 0);
        for (int flags : {0, kTileFlagHonourRuns}) checkAgreement(k, flags, 0, 0, wins);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(wins, 300);  // the corpus exercises wins as well as refusals
}

TEST(WinCheckReference, RandomHandsWithJokers) {
    std::mt19937 rng(77);
    int wins = 0;
    const int flagSets[] = {kJokers, kJokers | kTileFlagHonourRuns,
                            kJokers | kTileFlagJokersNatural,
                            kJokers | kTileFlagJokersNatural | kTileFlagHonourRuns};
    for (int n = 0; n < 900; ++n) {
        Case k = n % 4 ? builtHand(rng, true) : randomHand(rng, true, n % 8 == 0);
        for (int flags : flagSets)
            for (int mask : {0, kMaskOnDiscard}) checkAgreement(k, flags, 0, mask, wins);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(wins, 500);
}

TEST(WinCheckReference, SpecialHandsAgree) {
    std::mt19937 rng(5);
    int wins = 0;
    const int rules[] = {kRuleSevenPairs,      kRuleThirteenUnrelated,
                         kRuleAllSevenHonours, kRuleAllHonours,
                         kRuleAll258,          kHandTypeBits};
    for (int n = 0; n < 600; ++n) {
        Case k;
        std::uniform_int_distribution<int> pick(0, 5);
        int shape = pick(rng);
        std::vector<int> kinds;
        std::uniform_int_distribution<int> any(0, 33);
        auto kindAt = [](int x) { return x < 27 ? (x / 9) * 10 + x % 9 + 1 : 31 + (x - 27); };
        if (shape == 0)
            for (int p = 0; p < 7; ++p) {
                int kd = kindAt(any(rng));
                kinds.push_back(kd), kinds.push_back(kd);
            }
        else if (shape == 1)
            for (int kd : {1, 4, 7, 12, 15, 18, 23, 26, 29, 31, 33, 35, 36, 37})
                kinds.push_back(kd);
        else if (shape == 2)
            for (int p = 0; p < 14; ++p) kinds.push_back(31 + any(rng) % 7);
        else if (shape == 3)
            for (int p = 0; p < 14; ++p)
                kinds.push_back((any(rng) % 3) * 10 + 2 + 3 * (any(rng) % 3));
        else
            for (int p = 0; p < 14; ++p) kinds.push_back(kindAt(any(rng)));
        int copies[64] = {};
        for (int kd : kinds)
            if (copies[kd] < 4) k.hand.push_back(hands::id(kd, copies[kd]++));
        while (k.hand.size() < 14) {
            int kd = kindAt(any(rng));
            if (copies[kd] < 4) k.hand.push_back(hands::id(kd, copies[kd]++));
        }
        std::shuffle(k.hand.begin(), k.hand.end(), rng);
        k.winning = k.hand.back();
        k.hand.pop_back();
        k.jokerA = pick(rng) < 2 ? k.hand[0] : -1;
        k.jokerB = -1;
        for (int rule : rules)
            for (int flags : {kJokers, kJokers | kTileFlagNoJokersInSevenHonours})
                checkAgreement(k, flags, rule, 0, wins);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(wins, 400);
}

}  // namespace
