#pragma once
// The 32-bit rectangle loops of the unrotated blits, as a table of variants: the plain C++
// reference, and SSE2 and AVX2 builds of one templated row kernel. The table in use is
// chosen once, at load time, by what the processor offers. Every variant computes exactly
// the reference's pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hqlv::engine::blit {

// The per-sample rules of the unrotated 32-bit loops ("Scaled": k = (a × f) >> 8).
enum RowKind {
    kKeyedCopy,
    kKeyedFadeDst,
    kKeyedFadeTint,
    kRgbaTintScaled,
    kRgbaTint,
    kRgbaBlendScaled,
    kRgbaBlend,
    kOntoOpaqueTintScaled,
    kOntoOpaqueTint,
    kOntoOpaqueScaled,
    kOntoOpaque,
    kRowKinds
};

// The constants of one draw: the alpha factor f, the tint colour as a pixel and the tint's
// alpha threshold.
struct RowArgs {
    uint32_t f = 0;
    uint32_t tc = 0;
    uint32_t tt = 0;
};

// Strides are in pixels. `op` rectangles: d = rule(s, d) for w × h pixels.
using RectFn = void (*)(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w,
                        int h, const RowArgs& args);
using CopyFn = void (*)(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w,
                        int h);
// Destination row i, column j gets source row rows[i], column cols[j].
using GatherFn = void (*)(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride,
                          const int* rows, int h, const int* cols, int n);

struct RowKernels {
    const char* name;
    RectFn op[kRowKinds];
    CopyFn copy;
    GatherFn gather;
};

// The plain loops every variant is checked against.
const RowKernels& ReferenceRows();
// The vector variants; null where the build has none.
const RowKernels* Sse2Rows();
const RowKernels* Avx2Rows();
// The variant the blitter uses.
const RowKernels& ActiveRows();
// Every variant this processor can run, the reference first.
std::vector<const RowKernels*> RunnableRows();

}  // namespace hqlv::engine::blit
