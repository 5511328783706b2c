// The bilinear scaler: where each target row and column samples the source, the reference
// row loops and the load-time choice among the loop variants.
#include "platform/core/stretch.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/core/stretch_rows.h"

namespace hqlv::platform {
namespace stretch {
namespace {

uint32_t Blend(uint32_t a, uint32_t b, uint32_t w) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * (128 - w) + cb * w + 64) >> 7) << shift;
    }
    return out;
}

void RefBlendRows(uint32_t* out, const uint32_t* a, const uint32_t* b, int n, uint32_t w) {
    for (int i = 0; i < n; ++i) out[i] = Blend(a[i], b[i], w);
}

void RefScaleRow(uint32_t* out, const uint32_t* in, const int32_t* x0, const uint8_t* wb, int n) {
    for (int j = 0; j < n; ++j) out[j] = Blend(in[x0[j]], in[x0[j] + 1], wb[8 * size_t(j) + 1]);
}

constexpr StretchKernels kReference{"reference", &RefBlendRows, &RefScaleRow};

bool CanRun(const StretchKernels* k) {
    if (!k) return false;
#if defined(__x86_64__) || defined(__i386__)
    if (k == Avx2Kernels()) return __builtin_cpu_supports("avx2");
#endif
    return true;
}

const StretchKernels& Choose() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();  // may run before the library has read the processor's features
#endif
    if (CanRun(Avx2Kernels())) return *Avx2Kernels();
    if (CanRun(Sse2Kernels())) return *Sse2Kernels();
    return kReference;
}

// Chosen while the program loads, before any frame.
const StretchKernels& gActive = Choose();

}  // namespace

const StretchKernels& ReferenceKernels() {
    return kReference;
}

const StretchKernels& ActiveKernels() {
    return gActive;
}

std::vector<const StretchKernels*> RunnableKernels() {
    std::vector<const StretchKernels*> out{&kReference};
    for (const StretchKernels* k : {Sse2Kernels(), Avx2Kernels()}) {
        if (CanRun(k)) out.push_back(k);
    }
    return out;
}

}  // namespace stretch

namespace {

// Far beyond any screen; keeps the position arithmetic below within 64 bits.
constexpr int kMaxSide = 1 << 20;

bool Usable(const PixelBuffer32& b) {
    return b.pixels && b.width > 0 && b.height > 0 && b.width <= kMaxSide && b.height <= kMaxSide;
}

struct Sample {
    int first;   // the first of the two source pixels
    uint32_t w;  // the second one's weight, 0-127
};

// Target index i of d samples source position (i + ½) × s / d − ½, in 1/128ths of a pixel,
// rounded; before the first pixel's centre and after the last one's the edge pixel alone.
Sample SampleAt(int i, int s, int d) {
    const int64_t twice = (2 * int64_t(i) + 1) * s - d;  // the position × 2d
    if (twice <= 0) return {0, 0};
    const int64_t f = (twice * 128 + d) / (2 * int64_t(d));
    if (f >= int64_t(s - 1) * 128) return {s - 1, 0};
    return {int(f >> 7), uint32_t(f & 0x7F)};
}

// The column table of one source and target width, kept while frames keep their size.
struct Columns {
    int from = 0, to = 0;
    std::vector<int32_t> x0;
    std::vector<uint8_t> wb;
    // The vertically blended row, one edge pixel longer, and the slack the loops may read.
    std::vector<uint32_t> row;

    void Prepare(int sw, int dw) {
        if (from == sw && to == dw) return;
        from = sw, to = dw;
        x0.resize(size_t(dw));
        wb.resize(8 * size_t(dw));
        for (int j = 0; j < dw; ++j) {
            const Sample s = SampleAt(j, sw, dw);
            x0[size_t(j)] = s.first;
            for (size_t b = 8 * size_t(j); b < 8 * size_t(j) + 8; b += 2) {
                wb[b] = uint8_t(128 - s.w);
                wb[b + 1] = uint8_t(s.w);
            }
        }
        row.assign(size_t(sw) + 1 + stretch::kRowSlack, 0);
    }
};

}  // namespace

bool stretch::StretchWith(const StretchKernels& k, const PixelBuffer32& src,
                          const PixelBuffer32& dst) {
    return StretchRectWith(k, src, dst, 0, 0, dst.width, dst.height);
}

bool stretch::StretchRectWith(const StretchKernels& k, const PixelBuffer32& src,
                              const PixelBuffer32& dst, int left, int top, int right, int bottom) {
    if (!Usable(src) || !Usable(dst)) return false;
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, dst.width), bottom = std::min(bottom, dst.height);
    if (left >= right || top >= bottom) return true;
    // The frame timer calls this on one thread; a table per thread keeps others apart.
    thread_local Columns cols;
    cols.Prepare(src.width, dst.width);
    const size_t sw = size_t(src.width), dw = size_t(dst.width);
    uint32_t* row = cols.row.data();
    // Only the source columns the rectangle's target columns blend are worked: x0 never
    // decreases, so they run from the first column's pair to the last one's.
    const int from = cols.x0[size_t(left)];
    const int to = std::min(cols.x0[size_t(right - 1)] + 1, src.width - 1);
    Sample last{-1, 0};
    for (int y = top; y < bottom; ++y) {
        const Sample s = SampleAt(y, src.height, dst.height);
        // Shrinking can sample the same rows with the same weight twice in a row.
        if (s.first != last.first || s.w != last.w) {
            const uint32_t* a = src.pixels + size_t(s.first) * sw;
            const uint32_t* b = s.first + 1 < src.height ? a + sw : a;
            k.blendRows(row + from, a + from, b + from, to - from + 1, s.w);
            if (to == src.width - 1) row[sw] = row[sw - 1];  // the right edge's neighbour
            last = s;
        }
        k.scaleRow(dst.pixels + size_t(y) * dw + size_t(left), row, cols.x0.data() + left,
                   cols.wb.data() + 8 * size_t(left), right - left);
    }
    return true;
}

bool StretchBilinear(const PixelBuffer32& src, const PixelBuffer32& dst) {
    return stretch::StretchWith(stretch::ActiveKernels(), src, dst);
}

bool StretchBilinearRect(const PixelBuffer32& src, const PixelBuffer32& dst, int left, int top,
                         int right, int bottom) {
    return stretch::StretchRectWith(stretch::ActiveKernels(), src, dst, left, top, right, bottom);
}

}  // namespace hqlv::platform
