#pragma once
// A plain, independent model of the hand rules for the tests: kinds computed from suit and
// copy positions, an exhaustive search over every unit that can hold the lowest remaining
// kind (any position of any run, any number of joker places), and the special hands written
// from their definitions. It knows nothing of the library's search order; it answers only
// whether a hand wins and whether a recorded split is a true split of the hand.
#include <array>
#include <cstdint>
#include <vector>

#include "rules/hu.h"

namespace ref {

using Counts = std::array<int, 64>;

// The kind (shape * 10 + value) of a tile id, 0 for anything else.
int kindOf(int id);
bool isSuitKind(int k);
bool isHonourKind(int k);
bool isFlowerKind(int k);

// Melds and exactly one pair (or melds alone when pairDone) with `jokers` wild tiles.
// Fours are natural only; runs hold at most one joker (two jokers and a tile consume the same
// as a triplet with two jokers).
bool splits(const Counts& c, int jokers, bool honourRuns, bool pairDone);

struct Special {
    bool sevenPairs, thirteen, sevenHonours, allHonours, all258;
};
Special specials(const Counts& c, int jokers, int rule, bool noJokersInSevenHonours);

// The table after the jokers were taken out, with the pools.
struct Prepared {
    Counts c{};
    int poolA = 0, poolB = 0;
    int kindA = 0, kindB = 0;
};

// The whole win check on a list of held ids plus a winning id (-1 for none).
// Tile flags understood: 0x1, 0x8, 0x20, 0x200, 0x400, 0x400000; no substitute (0x4).
bool checkHu(const std::vector<int>& hand, int winning, int jokerA, int jokerB, int flags, int rule,
             int mask);

// True when the result's units are a split of c with poolA / poolB jokers of kinds kindA /
// kindB: every unit well formed, real tiles and joker places adding up exactly, one pair.
bool isSplitOf(const hqlv::rules::HuResult& r, const Counts& c, int poolA, int poolB, int kindA,
               int kindB, bool honourRuns);

}  // namespace ref
