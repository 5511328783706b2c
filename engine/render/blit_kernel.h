#pragma once
// The one row kernel behind the vector variants of the 32-bit loops. It is written once over
// a lane type V (the instruction set's 32-bit lanes and the operations on them) and built
// in one source file per instruction set. Included only by those files: everything here is
// instantiated with a V of internal linkage, so no code built for one instruction set can
// be shared with another.
//
// The colour arithmetic is the reference's exactly: a fade's products and sums fit 16 bits
// (k × s + (255 − k) × d <= 255 × 255), so each colour byte is worked in its own 16-bit lane
// and >> 8 there is the reference's >> 8.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/render/blit_rows.h"

namespace hqlv::engine::blit {

// A fade factor k as the multipliers of both halves of every 32-bit lane: k in the low byte
// (for blue and red), k in the high byte (for green, through the high half of the product),
// and the same for 255 − k.
template <class V>
struct Factor {
    using R = typename V::R;
    R k2, ik2, k2hi, ik2hi;
    // k2: k (0..255) in both 16-bit halves of each lane.
    static Factor Of(R k2) { return WithHigh(k2, V::template Sll16<8>(k2)); }
    static Factor WithHigh(R k2, R k2hi) {
        return Factor{k2, V::Sub16(V::Set(0x00FF00FFu), k2), k2hi,
                      V::Sub16(V::Set(0xFF00FF00u), k2hi)};
    }
};

template <class V>
struct Lanes {
    using R = typename V::R;
    explicit Lanes(const RowArgs& a)
        : f(V::Set(a.f)),
          fade(Factor<V>::Of(V::Set(a.f | (a.f << 16)))),
          tc(V::Set(a.tc)),
          tt(V::Set(a.tt)) {}
    R f;
    Factor<V> fade;
    R tc, tt;
};

// (s × k + d × (255 − k)) >> 8 for blue, green and red; alpha of the result is 0. Blue and
// red: products of the low bytes, >> 8 in each half. Green: (g << 8) × (k << 8) >> 16 is
// g × k exactly, and the sum's high byte is green's result in place.
template <class V>
inline typename V::R Fade(typename V::R s, typename V::R d, const Factor<V>& k) {
    const auto lo = V::Set(0x00FF00FFu), hi = V::Set(0xFF00FF00u);
    const auto rb = V::template Srl16<8>(
        V::Add16(V::Mul16(V::And(s, lo), k.k2), V::Mul16(V::And(d, lo), k.ik2)));
    const auto g = V::Add16(V::MulHi16(V::And(s, hi), k.k2hi), V::MulHi16(V::And(d, hi), k.ik2hi));
    return V::Or(rb, V::And(g, V::Set(0x0000FF00u)));
}

// k of every lane (0..255 in the low half) in both halves.
template <class V>
inline typename V::R Both(typename V::R k) {
    return V::Or(k, V::template Sll32<16>(k));
}

template <class V, RowKind K>
inline typename V::R Pixel(typename V::R s, typename V::R d, const Lanes<V>& c) {
    const auto zero = V::Set(0);
    const auto opaque = V::Set(0xFF000000u);
    if constexpr (K == kRgbaBlend) {
        // k is the sample's alpha: the copy onto a clear pixel is the sample itself, and
        // the blended alpha max(da, a) is the larger alpha byte.
        const auto k = V::AlphaFactor(s);
        const auto blended = V::Or(Fade<V>(s, d, k), V::And(V::MaxU8(s, d), opaque));
        const auto r = V::Select(V::Eq(V::And(d, opaque), zero), s, blended);
        return V::Select(V::Eq(k.k2, zero), d, r);
    }
    const auto a = V::template Srl32<24>(s);
    const auto transparent = V::Eq(a, zero);
    if constexpr (K == kKeyedCopy) {
        return V::Select(transparent, d, s);
    } else if constexpr (K == kKeyedFadeDst || K == kKeyedFadeTint) {
        const auto to = K == kKeyedFadeDst ? d : c.tc;
        return V::Select(transparent, d, V::Or(Fade<V>(s, to, c.fade), opaque));
    } else {
        constexpr bool scaled = K == kRgbaTintScaled || K == kRgbaBlendScaled ||
                                K == kOntoOpaqueTintScaled || K == kOntoOpaqueScaled;
        auto k = a;
        if constexpr (scaled) k = V::template Srl16<8>(V::Mul16(a, c.f));
        const auto kf = Factor<V>::Of(Both<V>(k));
        const auto da = V::template Srl32<24>(d);
        if constexpr (K == kRgbaTintScaled || K == kRgbaTint) {
            return V::Select(V::Gt(a, c.tt), V::Or(Fade<V>(s, c.tc, kf), opaque), d);
        } else if constexpr (K == kRgbaBlendScaled) {
            const auto blended = V::Or(Fade<V>(s, d, kf), V::template Sll32<24>(V::Max16(da, k)));
            const auto copied = V::Or(V::And(s, V::Set(0x00FFFFFFu)), V::template Sll32<24>(k));
            return V::Select(transparent, d, V::Select(V::Eq(da, zero), copied, blended));
        } else {
            const auto onOpaque = V::Eq(da, V::Set(255));
            const auto draw = (K == kOntoOpaqueTintScaled || K == kOntoOpaqueTint)
                                  ? V::And(V::Gt(a, c.tt), onOpaque)
                                  : V::AndNot(transparent, onOpaque);
            const auto to = (K == kOntoOpaqueTintScaled || K == kOntoOpaqueTint) ? c.tc : d;
            return V::Select(draw, V::Or(Fade<V>(s, to, kf), opaque), d);
        }
    }
}

// Pixels from dr to the next boundary of a whole vector.
template <class V>
inline int HeadToBoundary(const uint32_t* dr) {
    return int((0 - reinterpret_cast<uintptr_t>(dr)) / 4 % V::N);
}

template <class V, RowKind K>
inline void Step(uint32_t* dr, const uint32_t* sr, const Lanes<V>& c) {
    V::Store(dr, Pixel<V, K>(V::Load(sr), V::Load(dr), c));
}

// Fewer pixels than a vector holds, through a lane-wide scratch copy.
template <class V, RowKind K>
inline void Scratch(uint32_t* dr, const uint32_t* sr, int n, const Lanes<V>& c) {
    const size_t bytes = size_t(n) * 4;
    uint32_t sb[V::N] = {}, db[V::N] = {};
    std::memcpy(sb, sr, bytes);
    std::memcpy(db, dr, bytes);
    Step<V, K>(db, sb, c);
    std::memcpy(dr, db, bytes);
}

template <class V>
concept HasHalf = requires {
    typename V::Half;
};

template <class V, RowKind K>
void RectKernel(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w, int h,
                const RowArgs& args) {
    constexpr int N = V::N;
    const Lanes<V> c(args);
    for (int i = 0; i < h; ++i) {
        uint32_t* dr = d + size_t(i) * dstride;
        const uint32_t* sr = s + size_t(i) * sstride;
        int j = 0;
        if constexpr (HasHalf<V>) {
            using H = typename V::Half;
            const Lanes<H> ch(args);
            // The keyed copy is bound by its stores, so it aligns them; the fading rules are
            // bound by their arithmetic, and the extra half step would cost more than the
            // stores that straddle cache lines.
            if (K == kKeyedCopy && HeadToBoundary<V>(dr) == H::N && w >= N) {
                Step<H, K>(dr, sr, ch);
                j = H::N;
            }
            for (; j + N <= w; j += N) Step<V, K>(dr + j, sr + j, c);
            if (j + H::N <= w) {
                Step<H, K>(dr + j, sr + j, ch);
                j += H::N;
            }
            if (j < w) Scratch<H, K>(dr + j, sr + j, w - j, ch);
        } else {
            for (; j + N <= w; j += N) Step<V, K>(dr + j, sr + j, c);
            if (j < w) Scratch<V, K>(dr + j, sr + j, w - j, c);
        }
    }
}

// Long rows go to the library's copy (it knows the cache's tricks); short rows, most
// sprites, stay in an inline loop that beats the call.
template <class V>
void CopyKernel(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w, int h) {
    constexpr int N = V::N;
    for (int i = 0; i < h; ++i) {
        uint32_t* dr = d + size_t(i) * dstride;
        const uint32_t* sr = s + size_t(i) * sstride;
        if (w >= 256) {
            std::memcpy(dr, sr, size_t(w) * 4);
            continue;
        }
        if (w < N) {
            for (int j = 0; j < w; ++j) dr[j] = sr[j];
            continue;
        }
        // A copy may write a pixel twice: one unaligned vector, then whole vectors from the
        // boundary on, and the last vector ending at the row's end.
        V::Store(dr, V::Load(sr));
        int j = HeadToBoundary<V>(dr);
        for (; j + N <= w; j += N) V::Store(dr + j, V::Load(sr + j));
        if (j < w) V::Store(dr + w - N, V::Load(sr + w - N));
    }
}

template <class V>
void GatherKernel(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, const int* rows,
                  int h, const int* cols, int n) {
    constexpr int N = V::N;
    for (int i = 0; i < h; ++i) {
        uint32_t* dr = d + size_t(i) * dstride;
        const uint32_t* sr = s + size_t(rows[i]) * sstride;
        int j = 0;
        for (; j + N <= n; j += N) V::Store(dr + j, V::Gather(sr, cols + j));
        for (; j < n; ++j) dr[j] = sr[cols[j]];
    }
}

// The table of one instruction set.
template <class V>
constexpr RowKernels MakeRowKernels(const char* name) {
    return RowKernels{
        name,
        {&RectKernel<V, kKeyedCopy>, &RectKernel<V, kKeyedFadeDst>, &RectKernel<V, kKeyedFadeTint>,
         &RectKernel<V, kRgbaTintScaled>, &RectKernel<V, kRgbaTint>,
         &RectKernel<V, kRgbaBlendScaled>, &RectKernel<V, kRgbaBlend>,
         &RectKernel<V, kOntoOpaqueTintScaled>, &RectKernel<V, kOntoOpaqueTint>,
         &RectKernel<V, kOntoOpaqueScaled>, &RectKernel<V, kOntoOpaque>},
        &CopyKernel<V>,
        &GatherKernel<V>};
}

}  // namespace hqlv::engine::blit
