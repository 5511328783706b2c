#pragma once
// Small per-pixel reference formulas and surfaces for the blitter tests. They work channel
// by channel, independently of the packed arithmetic of the code under test.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/render/blitter.h"

namespace hqlv::engine::test {

inline int Ch(uint32_t p, int i) {
    return int((p >> (8 * i)) & 255);
}  // 0 B, 1 G, 2 R, 3 A
inline uint32_t Px(int b, int g, int r, int a) {
    return uint32_t(b) | (uint32_t(g) << 8) | (uint32_t(r) << 16) | (uint32_t(a) << 24);
}
// (s × k + t × (255 − k)) / 256 for blue, green, red; alpha given.
inline uint32_t RefFade(uint32_t s, uint32_t t, int k, int alphaOut) {
    int c[3];
    for (int i = 0; i < 3; ++i) c[i] = (Ch(s, i) * k + Ch(t, i) * (255 - k)) / 256;
    return Px(c[0], c[1], c[2], alphaOut);
}
// COLORREF 0x00BBGGRR as a pixel colour with the given alpha.
inline uint32_t RefColorRef(uint32_t cr, int a) {
    return Px(int((cr >> 16) & 255), int((cr >> 8) & 255), int(cr & 255), a);
}

struct Surface {
    int w, h;
    std::vector<uint32_t> px;
    Surface(int w_, int h_, uint32_t fill = 0) : w(w_), h(h_), px(size_t(w_) * h_, fill) {}
    DrawSurface ds() { return DrawSurface{px.data(), w, h, 4, 0xFF00FF}; }
    BlitTarget target() { return BlitTarget{px.data(), w, h, Rect{0, 0, w, h}}; }
    BlitTarget target(Rect clip) { return BlitTarget{px.data(), w, h, clip}; }
    uint32_t& at(int x, int y) { return px[size_t(y) * w + x]; }
};

// A 32-bit picture buffer with a recognisable colour per pixel.
inline std::vector<uint32_t> Pattern(int w, int h, int alphaMode = 0) {
    std::vector<uint32_t> v(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int a = 255;
            if (alphaMode == 1) a = (x + y) % 3 == 0 ? 0 : 255;   // mask
            if (alphaMode == 2) a = (x * 37 + y * 91 + 5) % 256;  // real alpha
            v[size_t(y) * w + x] =
                Px((x * 17 + 3) & 255, (y * 29 + 7) & 255, (x * y + 11) & 255, a);
        }
    }
    return v;
}

inline BlitSource Src32(const std::vector<uint32_t>& v, int w, int h) {
    return BlitSource{reinterpret_cast<const uint8_t*>(v.data()), w, h, 0, 0, w, h};
}

// The source pixel a nearest rotation maps destination square cell (j, i) to, following the
// fixed-point recipe: trig truncated to 1/1024 with pi as 3.14159. False when outside.
inline bool RefNearest(double angle, int sw, int sh, int j, int i, int& col, int& row) {
    int c = int(std::cos(angle * 3.14159 / 180.0) * 1024.0);
    int s = int(std::sin(angle * 3.14159 / 180.0) * 1024.0);
    int hw = (sw + 1) / 2, hh = (sh + 1) / 2;
    int R = int(std::sqrt(double(hw * hw + hh * hh)) + 0.5);
    int dx = j - R, dy = R - i;
    // floor division by 1024 (an arithmetic shift)
    auto fl = [](int v) { return v >= 0 ? v / 1024 : -((-v + 1023) / 1024); };
    col = hw + fl(dx * c + dy * s);
    row = hh - fl(dy * c - dx * s);
    return col >= 0 && col < sw && row >= 0 && row < sh;
}

inline int RefRadius(int w, int h) {
    int hw = (w + 1) / 2, hh = (h + 1) / 2;
    return int(std::sqrt(double(hw * hw + hh * hh)) + 0.5);
}

}  // namespace hqlv::engine::test
