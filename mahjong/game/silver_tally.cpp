#include "mahjong/game/silver_tally.h"

namespace hqlv::mahjong {

std::array<int64_t, kTallyChairs> g_nTotalSilver{};
std::array<int32_t, kTallyChairs> g_nRoundSilver{};

void AddDealSilver(const std::array<int32_t, kTallyChairs>& change) {
    for (int c = 0; c < kTallyChairs; ++c) {
        g_nRoundSilver[c] = change[c];
        g_nTotalSilver[c] += change[c];
    }
}

void ResetSilverTallies() {
    g_nTotalSilver.fill(0);
    g_nRoundSilver.fill(0);
}

}  // namespace hqlv::mahjong
