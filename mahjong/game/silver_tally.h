#pragma once
// The silver tallies the score board shows: by chair, the silver a player has won or
// lost over every deal since the program started, and in the last deal. The table
// scene adds each deal result; the panes only read. The running total is 64 bits wide
// so that a long session of large amounts never wraps.
#include <array>
#include <cstdint>

namespace hqlv::mahjong {

inline constexpr int kTallyChairs = 4;

extern std::array<int64_t, kTallyChairs> g_nTotalSilver;
extern std::array<int32_t, kTallyChairs> g_nRoundSilver;

// One deal result: each chair's silver change becomes its round value and is added to
// its total.
void AddDealSilver(const std::array<int32_t, kTallyChairs>& change);
// Back to the start of the program (tests).
void ResetSilverTallies();

}  // namespace hqlv::mahjong
