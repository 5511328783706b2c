#pragma once
// Helpers shared by the blitter's loops (not part of the renderer's interface).
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/render/blitter.h"

namespace hqlv::engine::blit {

// (s × k + d × (255 − k)) >> 8 for blue, green and red at once; the result has alpha 0.
// Blue and red share one word: each product sum stays below 65536, so the lanes never carry.
inline uint32_t FadeRgb(uint32_t s, uint32_t d, uint32_t k) {
    uint32_t rb = (((s & 0xFF00FFu) * k + (d & 0xFF00FFu) * (255u - k)) >> 8) & 0xFF00FFu;
    uint32_t g = (((s & 0xFF00u) * k + (d & 0xFF00u) * (255u - k)) >> 8) & 0xFF00u;
    return rb | g;
}

inline bool HasTint(uint32_t tint) {
    return (tint & 0xFFFFFFu) != kNoColour;
}

// The tint's COLORREF as a pixel colour (red from the low byte, blue from bits 16..23).
inline uint32_t TintColour(uint32_t tint) {
    return ((tint >> 16) & 0xFFu) | (tint & 0xFF00u) | ((tint & 0xFFu) << 16);
}

inline uint32_t Threshold(uint32_t tint) {
    return tint >> 24;
}

// Cuts a source rectangle to its buffer. False when nothing is left.
inline bool CutSource(BlitSource& s) {
    if (!s.pixels || s.stride <= 0 || s.rows <= 0) return false;
    if (s.x < 0) {
        s.width += s.x;
        s.x = 0;
    }
    if (s.y < 0) {
        s.height += s.y;
        s.y = 0;
    }
    if (s.x >= s.stride || s.y >= s.rows) return false;
    if (s.width > s.stride - s.x) s.width = s.stride - s.x;
    if (s.height > s.rows - s.y) s.height = s.rows - s.y;
    return s.width > 0 && s.height > 0;
}

// The clip box cut to the surface.
inline Rect TargetClip(const BlitTarget& t) {
    if (!t.pixels || t.width <= 0 || t.height <= 0) return Rect{};
    return IntersectRect(t.clip, Rect{0, 0, t.width, t.height});
}

// Clipping of the unrotated loops: afterwards source (x + j, y + i) goes to (bx + j, by + i)
// for j < width, i < height. False when nothing is drawn.
inline bool ClipUnrotated(const BlitTarget& t, int& bx, int& by, BlitSource& s) {
    if (!CutSource(s)) return false;
    Rect c = TargetClip(t);
    if (c.empty()) return false;
    if (bx < c.left) {
        int64_t w = int64_t(s.width) + bx - c.left;
        if (w <= 0) return false;
        s.width = int(w);
        s.x += c.left - bx;
        bx = c.left;
    }
    if (int64_t(bx) + s.width >= c.right)
        s.width = int(std::max<int64_t>(0, int64_t(c.right) - bx));
    if (by < c.top) {
        int64_t h = int64_t(s.height) + by - c.top;
        if (h <= 0) return false;
        s.height = int(h);
        s.y += c.top - by;
        by = c.top;
    }
    if (int64_t(by) + s.height >= c.bottom) {
        s.height = int(std::max<int64_t>(0, int64_t(c.bottom) - by));
    }
    return s.width > 0 && s.height > 0;
}

// Runs `op(source sample pointer, destination pixel) -> new pixel` over the clipped rectangle.
// The op returns the destination unchanged for samples it skips, so the inner loop stores
// unconditionally and vectorises.
template <int SampleSize, class Op>
inline void ForEachUnrotated(const BlitTarget& t, int bx, int by, BlitSource s, Op op) {
    if (!ClipUnrotated(t, bx, by, s)) return;
    for (int i = 0; i < s.height; ++i) {
        uint32_t* __restrict d = t.pixels + size_t(by + i) * size_t(t.width) + size_t(bx);
        const uint8_t* __restrict sp = SourcePixelAt(s, SampleSize, s.x, s.y + i);
        const int w = s.width;
        if constexpr (SampleSize == 4) {
            const uint32_t* __restrict sp32 = reinterpret_cast<const uint32_t*>(sp);
            for (int j = 0; j < w; ++j) d[j] = op(sp32[j], d[j]);
        } else {
            for (int j = 0; j < w; ++j) d[j] = op(sp + j * SampleSize, d[j]);
        }
    }
}

// Fixed-point cosine and sine of the nearest walk: trunc(cos(angle × 3.14159 / 180) × scale).
// False for an angle that is not a finite number.
inline bool FixedTrig(double angle, double scale, int64_t& c, int64_t& s) {
    if (!std::isfinite(angle)) return false;
    double rad = angle * 3.14159 / 180.0;
    c = static_cast<int64_t>(std::cos(rad) * scale);
    s = static_cast<int64_t>(std::sin(rad) * scale);
    return true;
}

// The nearest-rotation walk: every pixel of the square of side 2R at the corner that maps
// into the source rectangle and lies in the clip box gets op(source sample, pixel) -> pixel.
template <int SampleSize, class Op>
inline void WalkNearest(const BlitTarget& t, int ox, int oy, BlitSource s, double angle, Op op) {
    if (!CutSource(s)) return;
    Rect c = TargetClip(t);
    if (c.empty()) return;
    int64_t cs, sn;
    if (!FixedTrig(angle, 1024.0, cs, sn)) return;
    const int64_t R = static_cast<int64_t>(GetRotateRadius(s.width, s.height));
    const int64_t D = 2 * R;
    const int64_t hw = (s.width + 1) / 2, hh = (s.height + 1) / 2;
    const int64_t i0 = std::max<int64_t>(0, int64_t(c.top) - oy);
    const int64_t i1 = std::min<int64_t>(D, int64_t(c.bottom) - oy);
    const int64_t j0 = std::max<int64_t>(0, int64_t(c.left) - ox);
    const int64_t j1 = std::min<int64_t>(D, int64_t(c.right) - ox);
    for (int64_t i = i0; i < i1; ++i) {
        const int64_t dy = R - i;
        uint32_t* row = t.pixels + size_t(oy + i) * size_t(t.width);
        for (int64_t j = j0; j < j1; ++j) {
            const int64_t dx = j - R;
            const int64_t col = hw + ((dx * cs + dy * sn) >> 10);
            const int64_t srow = hh - ((dy * cs - dx * sn) >> 10);
            if (col < 0 || col >= s.width || srow < 0 || srow >= s.height) continue;
            const uint8_t* sp = SourcePixelAt(s, SampleSize, s.x + int(col), s.y + int(srow));
            row[ox + j] = op(sp, row[ox + j]);
        }
    }
}

// ---- per-sample operations of the keyed loops (source alpha byte only masks) ----

struct KeyedCopy {
    uint32_t operator()(uint32_t s, uint32_t d) const { return (s >> 24) ? s : d; }
};
struct KeyedFadeDst {
    uint32_t f;
    uint32_t operator()(uint32_t s, uint32_t d) const {
        return (s >> 24) ? (FadeRgb(s, d, f) | 0xFF000000u) : d;
    }
};
struct KeyedFadeTint {
    uint32_t f, tc;
    uint32_t operator()(uint32_t s, uint32_t d) const {
        return (s >> 24) ? (FadeRgb(s, tc, f) | 0xFF000000u) : d;
    }
};

// ---- per-sample operations of the per-pixel-alpha loops ----
// k of a sample with alpha a: (a × f) >> 8 in the faded regime, a otherwise (Scale false).

template <bool Scale>
struct RgbaTint {
    uint32_t f, tc, tt;
    bool all;  // draw every sample with a != 0 instead of a > TT
    uint32_t operator()(uint32_t s, uint32_t d) const {
        uint32_t a = s >> 24;
        bool draw = all ? a != 0 : a > tt;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        return draw ? (FadeRgb(s, tc, k) | 0xFF000000u) : d;
    }
};

template <bool Scale>
struct RgbaBlend {
    uint32_t f;
    uint32_t operator()(uint32_t s, uint32_t d) const {
        uint32_t a = s >> 24;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        uint32_t da = d >> 24;
        uint32_t blended = FadeRgb(s, d, k) | (std::max(da, k) << 24);
        uint32_t copied = (s & 0xFFFFFFu) | (k << 24);
        uint32_t r = da ? blended : copied;
        return a ? r : d;
    }
};

template <bool Scale>
struct RgbaOntoOpaqueTint {
    uint32_t f, tc, tt;
    uint32_t operator()(uint32_t s, uint32_t d) const {
        uint32_t a = s >> 24;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        bool draw = a > tt && (d >> 24) == 255u;
        return draw ? (FadeRgb(s, tc, k) | 0xFF000000u) : d;
    }
};

template <bool Scale>
struct RgbaOntoOpaque {
    uint32_t f;
    uint32_t operator()(uint32_t s, uint32_t d) const {
        uint32_t a = s >> 24;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        bool draw = a != 0 && (d >> 24) == 255u;
        return draw ? (FadeRgb(s, d, k) | 0xFF000000u) : d;
    }
};

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;
}

}  // namespace hqlv::engine::blit
