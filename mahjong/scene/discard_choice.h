#pragma once
// The automatic player's choice of a discard: every tile of the own hand is tried out, the
// hand left without it is scored (pairs, triplets, runs and run starts, one suit), and the
// tile whose removal leaves the best hand goes. The weights come from the game's settings.
// Only the scene's own tile records are read; nothing here needs the engine.
#include <array>
#include <cstdint>

#include "mahjong/scene/tile_records.h"

namespace hqlv::mahjong {

// The ten weights of the settings section "AI", in the order of its keys. Five of them take
// no part in any decision; they are kept as read.
struct AutoPlayWeights {
    int32_t shape = 1;       // "weight_shape": same-suit bonus
    int32_t jiang = 100;     // "weight_Jiang": the eye and every further live pair
    int32_t pnpn = 200;      // "weight_PnPn": a concealed triplet
    int32_t shun = 50;       // "weight_Shun": a run (twice) and a run start (once)
    int32_t w258 = 100;      // "weight_258"
    int32_t w258Jiang = 20;  // "weight_258Jiang"
    int32_t feng = 100;      // "weight_Feng"
    int32_t gang = 205;      // "weight_Gang"
    int32_t qidui = 200;     // "weight_7dui"
    int32_t use = 5;         // "weight_use": a pair or triplet whose next copy is unseen
};

inline constexpr int kCountIndexes = 49;  // tile index = shape × 10 + value
inline constexpr int kShapeCounts = 5;    // three suits, honours, flowers
inline constexpr int kCandidateCount = 32;

using CandidateHand = std::array<int32_t, kCandidateCount>;
using UnseenCounts = std::array<int32_t, kCountIndexes>;
using ShapeCounts = std::array<int32_t, kShapeCounts>;

// The count index of a tile id: 1-48 for a tile that can be counted (suits, honours and
// the first eight flowers); 0 for anything else (no tile, the hidden tile, ids past 143).
int CountIndexOf(int id);

// The score of the hand without the tile at skip. Sums run in 64 bits; the result is
// clamped to the int range, so weights up to INT_MAX never wrap.
int ScoreHand(const AutoPlayWeights& w, const CandidateHand& hand, const UnseenCounts& unseen,
              const ShapeCounts& exposed, int skip);

// What the choice reads of the scene besides its records.
struct DiscardContext {
    std::array<int, 4> chairViews{};  // the view of chairs 0-3; a chair without one: -1
    int maxHandTiles = kMaxHandTiles;
    int handSlotCount = kHandSlotCount;
};

// What the choice knows of the table: by tile index, 4 minus the copies in sight (face-up
// discards and melds of every seated chair, the own concealed hand); by shape, the own
// meld tiles.
void CountTiles(const CMJTileAreas& tiles, const DiscardContext& ctx, UnseenCounts& unseen,
                ShapeCounts& exposed);

// The index (0-31) of the own-hand record to discard; 0 when no record is a candidate.
// Jokers are never candidates.
int ChooseDiscard(const CMJTileAreas& tiles, const DiscardContext& ctx, const CMJTileTests& tests,
                  const AutoPlayWeights& w);

}  // namespace hqlv::mahjong
