#pragma once
// Scaling of a 32-bit pixel buffer into another of a different size with a bilinear filter
// (the halftone scaling of the engine's frame to the window).
#include <cstdint>

namespace hqlv::platform {

struct PixelBuffer32 {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// Scales the whole of src onto the whole of dst. Target pixel (x, y) samples the source at
// ((x + ½) × sw / dw − ½, (y + ½) × sh / dh − ½); samples past an edge take the edge pixel.
// Each byte of a pixel is filtered alone; positions and weights are in 1/128ths of a
// pixel. False, with dst untouched, when either buffer is empty or has a side of 0 or less
// or more than 2^20.
bool StretchBilinear(const PixelBuffer32& src, const PixelBuffer32& dst);

}  // namespace hqlv::platform
