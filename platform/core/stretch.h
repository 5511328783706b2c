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

// The same scaling for the target pixels of one rectangle only (left and top included, right
// and bottom not; cut to dst): they come out exactly as StretchBilinear gives them, and no
// other target pixel is written. False, with dst untouched, for the buffers StretchBilinear
// refuses; an empty rectangle writes nothing and answers true.
bool StretchBilinearRect(const PixelBuffer32& src, const PixelBuffer32& dst, int left, int top,
                         int right, int bottom);

}  // namespace hqlv::platform
