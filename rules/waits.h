#pragma once
// Wait classification: once a hand wins, how the winning tile completed it.
//
// Every check takes (counts of the concealed hand without the winning tile, winning tile,
// joker A, joker B, tile flags, rule word, result, mask), first confirms the win with
// MJ_CheckHu, then tries its own way of completing the hand: it takes the unit that the
// winning tile completed out of the hand and asks whether the rest wins. On success it
// records that unit after the rest's units in the result, sets its wait flag and returns 8.
//
//   MJ_HuJokerPairWait      the winning tile pairs with a joker             flag 0x1
//   MJ_HuPairWait           the winning tile pairs with a held copy          flag 0x10
//   MJ_HuPungWait           the winning tile completes a triplet             flag 0x20
//   MJ_HuClosedWait         a suit 2..8 between its two neighbours           flag 0x40
//   MJ_HuEdgeWait           a 3 after 1-2 or a 7 before 8-9                   flag 0x80
//   MJ_HuHonourSequences    an open run end, or an honour run (flag 0x20)    flag 0x100
//   MJ_HuForce...           a special hand, forced through the check mask    hand-type bit
//
// For a pair wait the rest must be melds alone (the pair is the one the winning tile made);
// for the others it must be melds and exactly one pair.
//
// Jokers: a winning tile that is not a joker may find its partner or a run neighbour among
// the jokers, within the tile-flag limits (0x4000, 0x1000000, 0x2000000, 0x4000000). A
// winning tile that is a joker is looked at as its own kind under tile flag 0x8; otherwise,
// or when that fails, the joker forms (mask bit 2) let it fill any place of the named unit.
// Under tile flag 0x4 a winning substitute tile counts as joker A's kind in the run waits.
#include <cstdint>

#include "rules/hu.h"

namespace hqlv::rules {

int32_t MJ_HuJokerPairWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuPairWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuPungWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuClosedWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                        int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuEdgeWait(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuHonourSequences(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask);

// The joker forms, for a winning tile that is a joker: the winning joker fills the place.
int32_t MJ_HuPairWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuPungWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuClosedWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuEdgeWaitJoker(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                           int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuHonourSequencesJoker(const CountTable& counts, int32_t tile, int32_t jokerA,
                                  int32_t jokerB, int32_t flags, int32_t rule, HuResult* result,
                                  int32_t mask);

// The forced special hands: MJ_CheckHu with the hand-type bit added to the mask; on a win the
// bit is ORed into the result's hand-type word.
int32_t MJ_HuForceSevenPairs(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuForceThirteenUnrelated(const CountTable& counts, int32_t tile, int32_t jokerA,
                                    int32_t jokerB, int32_t flags, int32_t rule, HuResult* result,
                                    int32_t mask);
int32_t MJ_HuForceAllHonoursSeven(const CountTable& counts, int32_t tile, int32_t jokerA,
                                  int32_t jokerB, int32_t flags, int32_t rule, HuResult* result,
                                  int32_t mask);
int32_t MJ_HuForceAllHonours(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t flags, int32_t rule, HuResult* result, int32_t mask);
int32_t MJ_HuForceAll258(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                         int32_t flags, int32_t rule, HuResult* result, int32_t mask);

// Runs the checks above in the order of the table (joker pair, pair, pung, closed, edge,
// open/honour run, then the forced seven pairs, thirteen unrelated, all seven honours, all
// honours and all 2-5-8) and returns 8 at the first that holds, else 0. The forced all-honours
// hand is tried only when extra is 0 or has bit 1, all 2-5-8 only when it is 0 or has bit 2.
int32_t MJ_IsSpecialHu(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t flags, int32_t rule, HuResult* result, int32_t mask, int32_t extra);

// 1 when jokers are on, tile flag 0x4 is clear, and a joker kind has this shape and a value
// three below (above) value.
int32_t MJ_IsJokerThreeBelow(int32_t shape, int32_t value, int32_t jokerA, int32_t jokerB,
                             int32_t flags);
int32_t MJ_IsJokerThreeAbove(int32_t shape, int32_t value, int32_t jokerA, int32_t jokerB,
                             int32_t flags);
// Under tile flag 0x20: *low / *high = 31 / 34 for a wind, 35 / 37 otherwise; marks[k] (a
// 64-entry array by tile index) = 1 for each other kind of that range that counts holds, 0 for
// the rest of the range; true when the marks plus extra are at least 2.
int32_t MJ_HonourGroupOthers(const CountTable& counts, int32_t index, int32_t extra, int32_t flags,
                             int32_t* marks, int32_t* low, int32_t* high);

}  // namespace hqlv::rules
