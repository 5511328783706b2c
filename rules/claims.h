#pragma once
// Claim checks: whether a seat's concealed tiles allow a pung, chow or kong on a discard, or a
// concealed kong from the hand, and which of its tiles the claim would use.
//
// Every check takes the seat's list of concealed tile ids (-1 for an empty slot; the table
// scene passes a 32-slot list and n = 32), the discarded tile, the deal's two joker ids and
// the tile flags. It first fills the first n words of out with -1, then counts the hand.
// Results are bits that callers test by their own bit: pung 1, kong 2, chow 4; 0 when the
// claim is not possible. A discard that is not a tile is refused.
#include <cstdint>

#include "rules/tiles.h"

namespace hqlv::rules {

// --- Tests on a count table ----------------------------------------------------------------
// 1 when the hand holds two of the tile's kind. A joker is not claimed (jokers on, flag 0x8
// clear).
int32_t MJ_HasPair(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                   int32_t flags);
// 2 when the hand holds three of the tile's kind; the same joker gate.
int32_t MJ_HasTriplet(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags);
// 2 and *found = the lowest index held exactly four times that is acceptable (jokers off,
// flag 0x8, or not the joker kind); 0 and *found = 0 when none. Tile is not looked at.
int32_t MJ_FindFourOfKind(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                          int32_t flags, int32_t* found);
// 4 when the counted hand plus the tile completes a run through the tile (its suit, or the
// winds / dragons under flag 0x20), after the flag gate of the rule set; else 0.
int32_t MJ_IsChowWith(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags);

// --- Checks on a seat's list ---------------------------------------------------------------
// Out receives the first two ids of the tile's kind, in list order. Out holds n words.
int32_t MJ_CanPeng(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                   int32_t flags, int32_t* out);
// Out receives the first three ids of the tile's kind. Out holds n words.
int32_t MJ_CanMingGang(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                       int32_t flags, int32_t* out);
// Out receives the four ids of the kind found. Out holds n words. Tile is not looked at.
int32_t MJ_FindAnGang(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                      int32_t flags, int32_t* out);
int32_t MJ_FindAnGangInHand(const int32_t* hand, int32_t n, int32_t jokerA, int32_t jokerB,
                            int32_t flags, int32_t* out);
// 4 when the whole hand can chow the tile. Out (outCapacity words; its first min(n,
// outCapacity) are set to -1) receives, two ids a pair, every pair of hand tiles (i < j in
// list order) that makes a chow with the tile on its own; pairs stop when out is full.
int32_t MJ_CanChi(const int32_t* hand, int32_t n, int32_t tile, int32_t jokerA, int32_t jokerB,
                  int32_t flags, int32_t* out, int32_t outCapacity);

}  // namespace hqlv::rules
