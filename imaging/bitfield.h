// One colour channel picked out of a packed pixel by its mask.
#pragma once

#include <cstdint>

namespace hqlv::imaging {

// The channel that `mask` selects from `pixel`, stretched to 0..255 so that the largest value
// the mask can hold comes out as 255 whatever its width: 5-bit white is 255, not 248, and
// matches a key colour given in 8-bit terms. The engine keys a picture by the exact colour
// 0xFF00FF; taken as 248, 0, 248, the magenta of a 16-bit picture would never be keyed away
// and its white would not be white. Each mask is taken at its own position and width, so
// channels that are no whole bytes (10 bits of a 32-bit pixel) take no bits of their
// neighbours.
inline uint8_t maskedChannel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask);
    const uint64_t max = mask >> shift;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

}  // namespace hqlv::imaging
