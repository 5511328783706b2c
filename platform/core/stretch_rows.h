#pragma once
// The two row loops of the bilinear scaler, as a table of variants: the plain C++
// reference, and SSE2 and AVX2 builds. The table in use is chosen once, at load time, by
// what the processor offers. Every variant computes exactly the reference's pixels.
//
// The filter is separable: two source rows are first blended into one (vertical weight),
// then every target pixel blends two neighbouring pixels of that row (horizontal weight).
// Each blend is per byte, with a weight w of 0-128 for the second sample (sample positions
// in 1/128ths of a pixel): (a × (128 − w) + b × w + 64) >> 7.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/stretch.h"

namespace hqlv::platform::stretch {

// out[i] = blend(a[i], b[i], w) for n pixels.
using BlendRowsFn = void (*)(uint32_t* out, const uint32_t* a, const uint32_t* b, int n,
                             uint32_t w);
// out[j] = blend(in[x0[j]], in[x0[j] + 1], wb[8j + 1]) for n pixels. x0 never decreases.
// wb holds 8 bytes per column, 128 − w and w four times (once per byte of a pixel), the
// layout of a byte multiply-add. in must be readable kRowSlack pixels past the last
// x0 + 1: vector loops load whole windows.
using ScaleRowFn = void (*)(uint32_t* out, const uint32_t* in, const int32_t* x0, const uint8_t* wb,
                            int n);

constexpr int kRowSlack = 16;

struct StretchKernels {
    const char* name;
    BlendRowsFn blendRows;
    ScaleRowFn scaleRow;
};

// The plain loops every variant is checked against.
const StretchKernels& ReferenceKernels();
// The vector variants; null where the build has none.
const StretchKernels* Sse2Kernels();
const StretchKernels* Avx2Kernels();
// The variant the scaler uses.
const StretchKernels& ActiveKernels();
// Every variant this processor can run, the reference first.
std::vector<const StretchKernels*> RunnableKernels();
// StretchBilinear through the given variant.
bool StretchWith(const StretchKernels& k, const PixelBuffer32& src, const PixelBuffer32& dst);
// StretchBilinearRect through the given variant.
bool StretchRectWith(const StretchKernels& k, const PixelBuffer32& src, const PixelBuffer32& dst,
                     int left, int top, int right, int bottom);

}  // namespace hqlv::platform::stretch
