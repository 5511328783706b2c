#pragma once
// Tiles and hands.
//
// A tile id names one physical tile: 0..151, four copies of every suit and honour kind and one
// of every flower; -1 marks an empty slot in every tile-id array. A tile index names the kind:
// shape * 10 + value, with the suits at 1..9, 11..19 and 21..29, the honours at 31..37 (winds
// 31..34, dragons 35..37) and the flowers at 41..56; 0 is "no tile" and an id outside 0..151
// has the index -10. A hand is a count table: 64 counts by tile index.
//
//   ids   0..35   shape 0, value id % 9 + 1          index 1..9
//   ids  36..71   shape 1, value id % 9 + 1          index 11..19
//   ids  72..107  shape 2, value id % 9 + 1          index 21..29
//   ids 108..135  shape 3, value (id - 108) % 7 + 1  index 31..37
//   ids 136..151  shape 4, value id - 135            index 41..56
//
// Every operation here is a free function over plain integers and arrays; nothing allocates.
// The only state is the process-wide table of six tile callbacks (MJ_TileCallbacks), through
// which a rule set may redefine what a shape, a value, a flower, an honour, a joker or the
// joker's substitute is. Ids and indices that are not tiles never index a count table: they
// are treated as empty slots, and a check given such a tile refuses.
//
// Operations run on one thread at a time (the UI thread in the client); the callback table is
// written only while a rule set is being installed.
#include <cstdint>

namespace hqlv::rules {

inline constexpr int kIndexCount = 64;  // entries of a count table
inline constexpr int32_t kTileIdCount = 152;
inline constexpr int32_t kNoTile = -1;        // empty slot in a tile-id list
inline constexpr int32_t kNoTileIndex = -10;  // index of an id that is not a tile

// A hand: how many tiles of each index are present. Entry 0 and the entries that no tile has
// stay 0.
using CountTable = int32_t[kIndexCount];

// Tile flags: one word of the rule set, passed to every operation.
// 0x1 jokers are in play; 0x4 the substitute kind plays as joker A's kind; 0x8 jokers are also
// ordinary tiles (claimable, kept as their own kind in claim checks, may win as their kind);
// 0x20 three different winds or the three dragons form a run; 0x100 no chow at all; 0x200 and
// 0x400 refuse a win asked with mask bit 1 (a discard) and 4 (robbing a kong); the rest limit
// jokers in the wait classification.
inline constexpr int32_t kTileFlagJokers = 0x1;
inline constexpr int32_t kTileFlagStandIn = 0x4;
inline constexpr int32_t kTileFlagJokersNatural = 0x8;
inline constexpr int32_t kTileFlagHonourRuns = 0x20;
inline constexpr int32_t kTileFlagNoChow = 0x100;
inline constexpr int32_t kTileFlagNoWinOnDiscard = 0x200;
inline constexpr int32_t kTileFlagNoWinRobbingKong = 0x400;
// Pair wait: no joker partner for a win robbing a kong.
inline constexpr int32_t kTileFlagNoJokerPairWhenRobbing = 0x4000;
// All seven honours: no joker may fill a missing honour.
inline constexpr int32_t kTileFlagNoJokersInSevenHonours = 0x400000;
// Pair wait: a joker partner only on the chair's own tile (mask bit 2).
inline constexpr int32_t kTileFlagNoJokerPairUnlessSelfDrawn = 0x1000000;
// Pung wait: two jokers only on the chair's own tile.
inline constexpr int32_t kTileFlagNoTwoJokerPungUnlessSelfDrawn = 0x2000000;
// Closed wait: a joker neighbour only on the chair's own tile.
inline constexpr int32_t kTileFlagNoJokerClosedUnlessSelfDrawn = 0x4000000;

// Result bits of the hand operations; callers test their own bit.
inline constexpr int32_t kResultPung = 1;
inline constexpr int32_t kResultKong = 2;
inline constexpr int32_t kResultChow = 4;
inline constexpr int32_t kResultWin = 8;
inline constexpr int32_t kResultFlowerHeld = 16;

// The six tile callbacks. Joker A and B are tile ids (-1 when absent); indexA/indexB of
// StandInIndex are tile indices (0 when absent).
struct MJ_TileCallbacks {
    int32_t (*IsFlower)(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
    int32_t (*IsHonour)(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
    int32_t (*IsJoker)(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
    int32_t (*StandInIndex)(int32_t indexA, int32_t indexB, int32_t flags);
    int32_t (*Shape)(int32_t id, int32_t flags);
    int32_t (*Value)(int32_t id, int32_t flags);
};

// The defaults that the table holds from process start.
MJ_TileCallbacks MJ_DefaultTileCallbacks();
// The table in force.
const MJ_TileCallbacks& MJ_GetTileCallbacks();
// Replaces the table; a null member keeps that callback's default. Changes the behaviour of
// every operation of the rules at once.
void MJ_SetTileCallbacks(const MJ_TileCallbacks& callbacks);

// --- Default callbacks -------------------------------------------------------------------
int32_t MJ_TileShape(int32_t id, int32_t flags);  // -1 for an id that is not a tile
int32_t MJ_TileValue(int32_t id, int32_t flags);  // 0 for an id that is not a tile
int32_t MJ_IsFlowerIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
int32_t MJ_IsHonourIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
// 1 when index is the kind of joker A or joker B, jokers are on (flag 0x1) and A is present.
int32_t MJ_IsJokerIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
// Always 37 (the kind that stands in for joker A under flag 0x4).
int32_t MJ_JokerStandInIndex(int32_t indexA, int32_t indexB, int32_t flags);

// --- Conversions and comparisons ---------------------------------------------------------
// Shape * 10 + value through the callbacks; -10 for an id outside 0..151.
int32_t MJ_TileIndex(int32_t id, int32_t flags);
// 0 when shape < 0 or value < 1, else shape * 10 + value.
int32_t MJ_MakeIndex(int32_t shape, int32_t value);
// The lowest id whose index is index; -1 when none (and for indices below 1).
int32_t MJ_FindTileOfIndex(int32_t index, int32_t flags);
// 1 when MJ_TileIndex of the two ids is equal: two tiles of one kind, or two ids that are
// no tile (both have the index -10).
int32_t MJ_IsSameKind(int32_t a, int32_t b, int32_t flags);
int32_t MJ_IsWindIndex(int32_t index);    // the index for 31..34, else 0
int32_t MJ_IsDragonIndex(int32_t index);  // the index for 35..37, else 0
int32_t MJ_Is258Tile(int32_t index);      // 1 for the 2, 5 and 8 of the three suits

// True when index can address a tile's entry of a count table (1..63).
inline bool MJ_IsCountIndex(int32_t index) {
    return index > 0 && index < kIndexCount;
}

// --- Lists and count tables --------------------------------------------------------------
// Adds every tile of the list to counts (not cleared first); returns how many were counted.
// Empty slots and ids that are not tiles are skipped.
int32_t MJ_CountTiles(const int32_t* list, int32_t n, CountTable& counts, int32_t flags);
// Copies, in list order, the ids of the same kind as tile into out, at most max of them;
// returns how many were copied. Out is not cleared. Nothing when tile is not a tile.
int32_t MJ_CollectSameKind(const int32_t* list, int32_t n, int32_t tile, int32_t* out, int32_t max,
                           int32_t flags);
// The same, selecting the ids whose index is index.
int32_t MJ_CollectIndex(const int32_t* list, int32_t n, int32_t index, int32_t* out, int32_t max,
                        int32_t flags);
// Sets the four ids of a group to -1.
void MJ_ClearGroup4(int32_t* group);

// --- Jokers and the substitute tile ------------------------------------------------------
// 0 for a negative tile, else IsJoker on its index.
int32_t MJ_IsJoker(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags);
// Writes the index of A into outA when A >= 0 and of B into outB when B >= 0 (an absent
// joker's word is left alone); returns how many were written.
int32_t MJ_JokerIndices(int32_t jokerA, int32_t jokerB, int32_t flags, int32_t* outA,
                        int32_t* outB);
// With jokers on and A present: the count of A's kind, and the count of B's kind added to
// *extraB. 0 otherwise.
int32_t MJ_JokerCounts(const CountTable& counts, int32_t jokerA, int32_t jokerB, int32_t flags,
                       int32_t* extraB);
// StandInIndex of the two joker kinds (0 for an absent one).
int32_t MJ_StandInIndexOf(int32_t jokerA, int32_t jokerB, int32_t flags);
// The index when it is the substitute kind, else 0. Neither looks at flag 0x4.
int32_t MJ_IsStandInIndex(int32_t index, int32_t jokerA, int32_t jokerB, int32_t flags);
int32_t MJ_IsJokerStandIn(int32_t tile, int32_t jokerA, int32_t jokerB, int32_t flags);

// --- Flowers -----------------------------------------------------------------------------
int32_t MJ_IsFlower(int32_t tile, int32_t jokerA = kNoTile, int32_t jokerB = kNoTile,
                    int32_t flags = 0);
// 16 when tile is a flower and the hand holds it, else 0.
int32_t MJ_HasFlowerTile(const CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                         int32_t flags);
// How many flowers the hand holds.
int32_t MJ_CountFlowers(const CountTable& counts, int32_t jokerA, int32_t jokerB, int32_t flags);

// --- Hand preparation and run tests ------------------------------------------------------
// Adds tile to counts (nothing for -1 or a non-tile) and stores its index in *tileIndex (0
// when nothing was added). With jokers on, unless flag 0x8 is set and claimMode is non-zero,
// takes the jokers out: returns the number of joker-A tiles and stores the joker-B tiles in
// *jokersB. Under flag 0x4 the substitute tiles then join joker A's kind. Joker B only counts
// while joker A is present.
int32_t MJ_AddTileTakeJokers(CountTable& counts, int32_t tile, int32_t jokerA, int32_t jokerB,
                             int32_t* tileIndex, int32_t flags, int32_t claimMode,
                             int32_t* jokersB);
// 1 when kind index takes part in a complete run of the counted tiles: a run within its suit,
// or under flag 0x20 three different winds or the three dragons. Under flag 0x4 the
// substitute kind is looked at as joker A's kind.
int32_t MJ_CanFormRun(const CountTable& counts, int32_t index, int32_t jokerA, int32_t jokerB,
                      int32_t flags);
int32_t MJ_CanFormSuitRun(const CountTable& counts, int32_t index);
int32_t MJ_CanFormHonourRun(const CountTable& counts, int32_t index, int32_t flags);

// --- The wall's tail ---------------------------------------------------------------------
// The wall position of the next tile taken from the tail: stacks of two walking backwards
// from start (counter 0 -> start-2, 1 -> start-1, 2 -> start-4, ...), wrapping once below 0.
// Advances *counter; when the position is skip, steps to the stack's other tile, sets
// *skipped to 1 and advances the counter once more. The result is always a position inside
// the wall (0..wallSize-1); -1 for an empty wall or a null counter.
int32_t MJ_NextTailWallPos(int32_t start, int32_t skip, int32_t wallSize, int32_t* counter,
                           int32_t* skipped);

}  // namespace hqlv::rules
