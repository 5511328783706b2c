#pragma once
// An independent scorer of this game's wins for the tests, written from the fan table and the
// feature definitions: it enumerates every split of the concealed tiles on its own (pair
// first, then melds over the rest) and scores each, keeping the best, and scores seven pairs
// separately. It shares nothing with the rule classes but the fan values it restates.
#include <array>
#include <vector>

namespace fanref {

using Counts = std::array<int, 64>;

enum MeldKind { kPung, kChow, kExposedKong, kConcealedKong, kAddedKong };

struct Meld {
    MeldKind kind;
    int kind0;  // the tile kind (the lowest for a chow)
};

struct Context {
    Counts concealed{};  // without the winning tile
    int winKind = 0;
    int mask = 1;  // 1 on a discard, 2 self-drawn, 4 robbing a kong
    std::vector<Meld> melds;
    bool robbing = false;   // a kong is being robbed
    bool gangDraw = false;  // the kong replacement counter is set
    bool kongFlag = false;  // the last action of the turn before the discard was a kong
    bool wallUsedUp = false;
    bool banker = false;
    bool tableUntouched = false;  // nobody has a meld or a discard
    bool chairUntouched = false;  // the chair has no meld, discard or flower
    int draws = 0;
    bool flowersOut = false;
    bool discarderSingle = false;  // the discarder holds one tile and no concealed kong
};

struct Score {
    bool wins = false;
    int points = 0;
};

Score score(const Context& ctx);

}  // namespace fanref
