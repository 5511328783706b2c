#pragma once
// Win check and hand split.
//
// MJ_CheckHu answers whether a concealed hand (a count table, without the winning tile) plus
// one winning tile is complete under the tile flags and the rule word, and records how in a
// HuResult: the special hand it forms, or the melds and the pair it splits into, with the
// places that jokers fill. A win is reported as 8, anything else as 0.
//
// A normal (non-special) hand must split into units with exactly one pair: runs, triplets,
// natural fours (a count of exactly 4 taken whole) and the pair. Jokers, taken out of the hand
// into two pools (joker-A and joker-B tiles), fill one place of a run or one or two places of
// a triplet or pair, or form triplets and pairs on their own. The search is depth first from
// the lowest kind held, trying in order: the four, the triplet, the triplet with one and with
// two jokers, the pair and the pair with a joker, the run, the runs with a joker (i, i+1, J)
// and (i, J, i+2); honour runs under tile flag 0x20. Units are recorded from the innermost
// recursion outwards, so the first split found in that order is the one reported.
//
// Special hands, each enabled by its rule-word bit and tried before the split in this order:
// seven pairs (0x10), thirteen unrelated (0x20), all seven honours (0x40), all honours (0x80),
// all 2-5-8 (0x1000000). A hand that holds a flower never wins.
//
// Check mask bits: 1 a win on another chair's discard, 2 on the chair's own tile, 4 robbing a
// kong (1 and 4 restrict the use of jokers); a hand-type bit (0x10, 0x20, 0x40, 0x80,
// 0x1000000) makes the check test only that special hand.
//
// Nothing allocates; the search works on copies of the 64 counts on the caller's stack. The
// result record belongs to the caller; the checks keep no state between calls.
#include <cstdint>

#include "rules/tiles.h"

namespace hqlv::rules {

inline constexpr int32_t kUnitRun = 1;
inline constexpr int32_t kUnitTriplet = 2;
inline constexpr int32_t kUnitPair = 4;
inline constexpr int32_t kUnitFour = 8;
inline constexpr int32_t kUnitThirteenUnrelated = 32;
inline constexpr int32_t kUnitAllSevenHonours = 64;
inline constexpr int32_t kUnitAllHonours = 128;
inline constexpr int32_t kUnitAll258 = 256;

// Rule-word bits (and the matching hand-type bits of the check mask and of HuResult).
inline constexpr int32_t kRuleSevenPairs = 0x10;
inline constexpr int32_t kRuleThirteenUnrelated = 0x20;
inline constexpr int32_t kRuleAllSevenHonours = 0x40;
inline constexpr int32_t kRuleAllHonours = 0x80;
inline constexpr int32_t kRuleAll258 = 0x1000000;
inline constexpr int32_t kHandTypeBits =
    kRuleSevenPairs | kRuleThirteenUnrelated | kRuleAllSevenHonours | kRuleAllHonours | kRuleAll258;

inline constexpr int32_t kMaskOnDiscard = 1;
inline constexpr int32_t kMaskSelfDrawn = 2;
inline constexpr int32_t kMaskRobbingKong = 4;

// Wait flags, the second word of HuResult.
inline constexpr int32_t kWaitJokerPair = 0x1;
inline constexpr int32_t kWaitPair = 0x10;
inline constexpr int32_t kWaitPung = 0x20;
inline constexpr int32_t kWaitClosed = 0x40;
inline constexpr int32_t kWaitEdge = 0x80;
inline constexpr int32_t kWaitOpen = 0x100;  // open run end, or an honour run

inline constexpr int kMaxHuUnits = 8;
// Hands (tiles plus pooled jokers) above this size are refused: a concealed hand plus its
// winning tile has at most 14 tiles and the record has room for eight units.
inline constexpr int kMaxHandTiles = 18;

// One recorded unit. A tile word holds the kind's index when a real tile fills the place and
// minus the joker kind's index when a joker does; unused places hold 0. Special hands record
// a unit with no tile words.
struct HuUnit {
    int32_t type;
    int32_t tiles[4];
    int32_t extra[2];  // not written by the checks
};

// The result record: 129 signed 32-bit words (516 bytes). Cleared at the start of every
// MJ_CanHu.
struct HuResult {
    int32_t handType;    // forced special hand; the rule classes also keep the kind of win and
                         // the hand-feature bits here
    int32_t waitFlags;   // HuWaitFlag bits
    int32_t further[2];  // merged with the others, not written by the checks
    int32_t tally1[32];  // accumulated by the rule classes
    int32_t tally2[32];
    int32_t unitCount;  // 0..kMaxHuUnits
    HuUnit units[kMaxHuUnits];
    int32_t reserve[4];
};
static_assert(sizeof(HuResult) == 516, "HuResult is 129 words");

// --- Entry points ----------------------------------------------------------------------------
// The win check. winningTile may be -1 (the hand is complete as counted); any other id that is
// not a tile is refused.
int32_t MJ_CheckHu(const CountTable& counts, int32_t winningTile, int32_t jokerA, int32_t jokerB,
                   int32_t flags, int32_t rule, HuResult* result, int32_t mask);
// The win test on a table from which the jokers have already been taken out into the pools;
// the joker kinds come from the joker ids.
int32_t MJ_CanHu(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t jokerA,
                 int32_t jokerB, int32_t winningIndex, int32_t flags, int32_t rule,
                 HuResult* result, int32_t mask);
// Adds the tile, takes the jokers out as wild tiles and runs MJ_CanHu with the pools, which
// it also stores with the winning index.
int32_t MJ_HuAsWild(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                    int32_t* jokersA, int32_t* jokersB, int32_t* winningIndex, int32_t flags,
                    int32_t rule, HuResult* result, int32_t mask);
// Adds the tile keeping the jokers as their own kind (the substitutes still join joker A's
// kind under flag 0x4) and runs MJ_CanHu without jokers. *jokersB is set to 0.
int32_t MJ_HuAsNatural(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t* jokersB, int32_t* winningIndex, int32_t flags, int32_t rule,
                       HuResult* result, int32_t mask);

// --- Special hands: (counts, pools, joker kinds, winning index, flags, rule, result) -> 8/0 ---
int32_t MJ_IsSevenPairs(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t indexA,
                        int32_t indexB, int32_t winningIndex, int32_t flags, int32_t rule,
                        HuResult* result);
int32_t MJ_IsThirteenUnrelated(const CountTable& counts, int32_t jokersA, int32_t jokersB,
                               int32_t indexA, int32_t indexB, int32_t winningIndex, int32_t flags,
                               int32_t rule, HuResult* result);
int32_t MJ_IsAllSevenHonours(const CountTable& counts, int32_t jokersA, int32_t jokersB,
                             int32_t indexA, int32_t indexB, int32_t winningIndex, int32_t flags,
                             int32_t rule, HuResult* result);
int32_t MJ_IsAllHonours(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t indexA,
                        int32_t indexB, int32_t winningIndex, int32_t flags, int32_t rule,
                        HuResult* result);
int32_t MJ_IsAll258(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t indexA,
                    int32_t indexB, int32_t winningIndex, int32_t flags, int32_t rule,
                    HuResult* result);

// The split of a table without flowers into units (see above). pairDone non-zero means the
// pair is already made: the rest must then split into melds alone. Appends the units to
// result (it does not clear it).
int32_t MJ_SplitMelds(const CountTable& counts, int32_t jokersA, int32_t jokersB, int32_t indexA,
                      int32_t indexB, int32_t winningIndex, int32_t flags, int32_t rule,
                      HuResult* result, int32_t pairDone);

// --- Joker pools -----------------------------------------------------------------------------
// 0 when a < 0, else a + b when b >= 0, else 0.
int32_t MJ_SumJokers(int32_t a, int32_t b);
// Stores the pools in the two before words, then takes up to n jokers one at a time, each from
// the non-empty pool with fewer jokers (A when equal); returns how many it took.
int32_t MJ_TakeJokers(int32_t* beforeA, int32_t* beforeB, int32_t* poolA, int32_t* poolB,
                      int32_t n);
int32_t MJ_RestoreJokers(int32_t a, int32_t b, int32_t* poolA, int32_t* poolB);

// --- Units -----------------------------------------------------------------------------------
// Appends a unit of type at index with usedA + usedB joker places (see the tile-word layouts
// in hu.cpp); place (0..2) and gap (0..2) place the joker and the gap of a run. Units beyond
// kMaxHuUnits are dropped.
void MJ_AddHuUnit(HuResult* result, int32_t type, int32_t index, int32_t usedA, int32_t usedB,
                  int32_t indexA, int32_t indexB, int32_t jokerPlace, int32_t gap);
void MJ_AddUnitTiles(HuResult* result, int32_t type, int32_t t1, int32_t t2, int32_t t3,
                     int32_t t4);
// A pair or triplet of jokers alone.
void MJ_AddJokerUnit(HuResult* result, int32_t type, int32_t usedA, int32_t usedB, int32_t indexA,
                     int32_t indexB);
// Picks the joker kind for one place (the smaller non-zero counter first, A when equal),
// decrements that counter and returns the kind's index; 0 when both are 0.
int32_t MJ_TakeOneJoker(int32_t* usedA, int32_t* usedB, int32_t indexA, int32_t indexB);

// --- Reading a result ------------------------------------------------------------------------
int32_t MJ_CountFourUnits(const HuResult* result);
// Negative tile words over every unit.
int32_t MJ_CountJokerTiles(const HuResult* result);
// The number of units holding a joker, or 0 as soon as one of them would not be valid with
// each joker as its own kind.
int32_t MJ_CheckJokerUnits(const HuResult* result, int32_t jokerA, int32_t jokerB, int32_t flags);
int32_t MJ_IsUnitValidNatural(const HuUnit* unit, int32_t jokerA, int32_t jokerB, int32_t flags);
// ORs the four flag words and adds the two tallies entry by entry.
void MJ_MergeHuResult(HuResult* into, const HuResult* from);

}  // namespace hqlv::rules
