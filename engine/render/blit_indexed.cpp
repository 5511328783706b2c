// The blitter's loops for palette pictures, the bilinear rotation loops, the palette scaling
// and the point list.
#include <cstring>

#include "engine/render/blit_internal.h"
#include "engine/render/blitter.h"

namespace hqlv::engine {

using namespace blit;

namespace {

bool Faded(double alpha) {
    return alpha > 0.0 && alpha < 1.0;
}

// The palette as pixel colours (alpha 0) and the key as an index (-1: none).
struct Lut {
    uint32_t colour[256];
    int key;
    Lut(const uint8_t* pal, uint32_t k) : key(k < 256 ? int(k) : -1) {
        for (int i = 0; i < 256; ++i) {
            colour[i] = uint32_t(pal[i * 3 + 2]) | (uint32_t(pal[i * 3 + 1]) << 8) |
                        (uint32_t(pal[i * 3]) << 16);
        }
    }
};

// ---- one index per sample ----
struct IdxCopy {
    const Lut* lut;
    uint32_t operator()(const uint8_t* p, uint32_t d) const {
        int i = p[0];
        return i == lut->key ? d : (lut->colour[i] | 0xFF000000u);
    }
};
struct IdxFade {
    const Lut* lut;
    uint32_t f;
    uint32_t tc;
    bool towardsTint;
    uint32_t operator()(const uint8_t* p, uint32_t d) const {
        int i = p[0];
        if (i == lut->key) return d;
        return FadeRgb(lut->colour[i], towardsTint ? tc : d, f) | 0xFF000000u;
    }
};

// ---- index + alpha pairs ----
template <bool Scale>
struct PairTint {
    const Lut* lut;
    uint32_t f, tc, tt;
    bool all;  // every sample with a != 0 instead of a >= TT
    uint32_t operator()(const uint8_t* p, uint32_t d) const {
        int i = p[0];
        uint32_t a = p[1];
        if (i == lut->key || !(all ? a != 0 : a >= tt)) return d;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        return FadeRgb(lut->colour[i], tc, k) | 0xFF000000u;
    }
};
template <bool Scale>
struct PairBlend {
    const Lut* lut;
    uint32_t f;
    uint32_t operator()(const uint8_t* p, uint32_t d) const {
        int i = p[0];
        uint32_t a = p[1];
        if (i == lut->key || a == 0) return d;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        uint32_t c = lut->colour[i];
        uint32_t da = d >> 24;
        if (da == 0) return c | (k << 24);
        return FadeRgb(c, d, k) | (std::max(da, k) << 24);
    }
};
template <bool Scale>
struct PairOntoOpaque {
    const Lut* lut;
    uint32_t f, tc, tt;
    bool tinted;
    uint32_t operator()(const uint8_t* p, uint32_t d) const {
        int i = p[0];
        uint32_t a = p[1];
        if (i == lut->key || (d >> 24) != 255u) return d;
        if (tinted ? a < tt : a == 0) return d;
        uint32_t k = Scale ? (a * f) >> 8 : a;
        return FadeRgb(lut->colour[i], tinted ? tc : d, k) | 0xFF000000u;
    }
};

// Bilinear sample of four 0xAARRGGBB words with 8-bit fractions.
uint32_t Bilinear(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                  uint32_t fy) {
    const uint32_t w11 = (fx * fy) >> 8;
    const uint32_t w01 = fx - w11;
    const uint32_t w10 = fy - w11;
    const uint32_t w00 = 256 - w01 - w10 - w11;
    const uint32_t rb = (p00 & 0x00FF00FFu) * w00 + (p01 & 0x00FF00FFu) * w01 +
                        (p10 & 0x00FF00FFu) * w10 + (p11 & 0x00FF00FFu) * w11;
    const uint32_t ag = ((p00 & 0xFF00FF00u) >> 8) * w00 + ((p01 & 0xFF00FF00u) >> 8) * w01 +
                        ((p10 & 0xFF00FF00u) >> 8) * w10 + ((p11 & 0xFF00FF00u) >> 8) * w11;
    return (ag & 0xFF00FF00u) | ((rb & 0xFF00FF00u) >> 8);
}

// The bilinear walk shared by the smooth loops; fetch(x, y) gives the sample at a position
// of the working source as a 0xAARRGGBB word.
template <class Fetch>
void WalkSmooth(const BlitTarget& t, int ox, int oy, BlitSource s, double angle, double alpha,
                Fetch fetch) {
    if (!CutSource(s)) return;
    Rect clip = TargetClip(t);
    if (clip.empty()) return;
    // The smooth loops blend towards the destination only (they take no tint).
    const uint8_t f = AlphaFactor(alpha);
    int64_t cs, sn;
    if (!FixedTrig(angle, 65536.0, cs, sn)) return;
    const int64_t x0 = int64_t(s.width + 1) << 15;
    const int64_t y0 = int64_t(s.height + 1) << 15;
    const int64_t R = static_cast<int64_t>(GetRotateRadius(s.width, s.height));
    const int64_t D = 2 * R;
    const int64_t i0 = std::max<int64_t>(0, int64_t(clip.top) - oy);
    const int64_t i1 = std::min<int64_t>(D, int64_t(clip.bottom) - oy);
    const int64_t j0 = std::max<int64_t>(0, int64_t(clip.left) - ox);
    const int64_t j1 = std::min<int64_t>(D, int64_t(clip.right) - ox);
    for (int64_t i = i0; i < i1; ++i) {
        const int64_t dy = R - i;
        uint32_t* row = t.pixels + size_t(oy + i) * size_t(t.width);
        for (int64_t j = j0; j < j1; ++j) {
            const int64_t dx = j - R;
            const int64_t X = x0 + dx * cs + dy * sn;
            const int64_t Y = y0 - (dy * cs - dx * sn);
            const int64_t col = X >> 16, srow = Y >> 16;
            if (col < 0 || col >= s.width || srow < 0 || srow >= s.height) continue;
            const int px = s.x + int(col), py = s.y + int(srow);
            uint32_t colour;
            if (px > 0 && px < s.stride - 1 && py > 0 && py < s.rows - 1) {
                colour = Bilinear(fetch(px, py), fetch(px + 1, py), fetch(px, py + 1),
                                  fetch(px + 1, py + 1), uint32_t(X >> 8) & 255u,
                                  uint32_t(Y >> 8) & 255u);
            } else {
                colour = fetch(px, py);
            }
            row[ox + j] = BlendPixel(row[ox + j], colour, f);
        }
    }
}

}  // namespace

uint32_t BlendPixel(uint32_t d, uint32_t colour, uint8_t f) {
    const uint32_t k = (uint32_t(f) * (colour >> 24)) >> 8;
    const uint32_t da = d >> 24;
    if (da == 0) return (colour & 0xFFFFFFu) | (k << 24);
    return FadeRgb(colour, d, k) | (std::max(da, k) << 24);
}

void BlitIndexed(const BlitTarget& t, int left, int top, const BlitSource& s, uint32_t key,
                 const uint8_t* palette, double alpha, uint32_t tint) {
    if (!palette) return;
    const Lut lut(palette, key);
    if (alpha >= 1.0) {
        ForEachUnrotated<1>(t, left, top, s, IdxCopy{&lut});
    } else if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        ForEachUnrotated<1>(t, left, top, s, IdxFade{&lut, f, TintColour(tint), HasTint(tint)});
    }
}

void BlitIndexedRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s, uint32_t key,
                        const uint8_t* palette, double angle, double alpha, uint32_t tint) {
    if (!palette) return;
    const Lut lut(palette, key);
    if (alpha >= 1.0) {
        WalkNearest<1>(t, ox, oy, s, angle, IdxCopy{&lut});
    } else if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        WalkNearest<1>(t, ox, oy, s, angle, IdxFade{&lut, f, TintColour(tint), HasTint(tint)});
    }
}

void BlitIndexedAlpha(const BlitTarget& t, int left, int top, const BlitSource& s, uint32_t key,
                      const uint8_t* palette, double alpha, uint32_t tint) {
    if (!palette) return;
    const Lut lut(palette, key);
    const bool tinted = HasTint(tint);
    const uint32_t tc = TintColour(tint), tt = Threshold(tint);
    if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        if (tinted) {
            ForEachUnrotated<2>(t, left, top, s, PairTint<true>{&lut, f, tc, tt, false});
        } else {
            ForEachUnrotated<2>(t, left, top, s, PairBlend<true>{&lut, f});
        }
    } else if (tinted) {
        ForEachUnrotated<2>(t, left, top, s, PairTint<false>{&lut, 0, tc, tt, false});
    } else if (alpha != 0.0 && alpha == alpha) {
        ForEachUnrotated<2>(t, left, top, s, PairBlend<false>{&lut, 0});
    }
}

void BlitIndexedAlphaOntoOpaque(const BlitTarget& t, int left, int top, const BlitSource& s,
                                uint32_t key, const uint8_t* palette, double alpha, uint32_t tint) {
    if (!palette) return;
    const Lut lut(palette, key);
    const bool tinted = HasTint(tint);
    const uint32_t tc = TintColour(tint), tt = Threshold(tint);
    if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        ForEachUnrotated<2>(t, left, top, s, PairOntoOpaque<true>{&lut, f, tc, tt, tinted});
    } else if (tinted || (alpha != 0.0 && alpha == alpha)) {
        ForEachUnrotated<2>(t, left, top, s, PairOntoOpaque<false>{&lut, 0, tc, tt, tinted});
    }
}

void BlitIndexedAlphaRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s, uint32_t key,
                             const uint8_t* palette, double angle, double alpha, uint32_t tint) {
    if (!palette || alpha != alpha) return;
    const Lut lut(palette, key);
    const bool tinted = HasTint(tint);
    const uint32_t tc = TintColour(tint);
    // The faded regime of the rotated loop takes in an alpha of exactly 0 (factor 0).
    if (alpha >= 0.0 && alpha < 1.0) {
        const uint32_t f = AlphaFactor(alpha);
        if (tinted) {
            WalkNearest<2>(t, ox, oy, s, angle, PairTint<true>{&lut, f, tc, 0, true});
        } else {
            WalkNearest<2>(t, ox, oy, s, angle, PairBlend<true>{&lut, f});
        }
    } else if (tinted) {
        WalkNearest<2>(t, ox, oy, s, angle, PairTint<false>{&lut, 0, tc, 0, true});
    } else {
        WalkNearest<2>(t, ox, oy, s, angle, PairBlend<false>{&lut, 0});
    }
}

void InvertUnderIndexed(const BlitTarget& t, int ox, int oy, const BlitSource& s, bool pairs,
                        uint32_t key, const uint8_t* /*palette*/, double angle) {
    const int k = key < 256 ? int(key) : -1;
    auto invert = [](uint32_t d) { return (~d & 0xFFFFFFu) | 0xFF000000u; };
    if (pairs) {
        WalkNearest<2>(t, ox, oy, s, angle, [&](const uint8_t* p, uint32_t d) {
            return (p[0] != k && p[1] != 0) ? invert(d) : d;
        });
    } else {
        WalkNearest<1>(t, ox, oy, s, angle,
                       [&](const uint8_t* p, uint32_t d) { return p[0] != k ? invert(d) : d; });
    }
}

void BlitRgbaSmoothRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s, double angle,
                           double alpha, uint32_t /*tint*/) {
    WalkSmooth(t, ox, oy, s, angle, alpha,
               [&](int x, int y) { return Load32(SourcePixelAt(s, 4, x, y)); });
}

void BlitIndexedSmoothRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s,
                              const uint8_t* palette, double angle, double alpha,
                              uint32_t /*tint*/) {
    if (!palette) return;
    const Lut lut(palette, 256);
    WalkSmooth(t, ox, oy, s, angle, alpha,
               [&](int x, int y) { return lut.colour[*SourcePixelAt(s, 1, x, y)] | 0xFF000000u; });
}

void BlitIndexedAlphaSmoothRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s,
                                   const uint8_t* palette, double angle, double alpha,
                                   uint32_t /*tint*/) {
    if (!palette) return;
    const Lut lut(palette, 256);
    WalkSmooth(t, ox, oy, s, angle, alpha, [&](int x, int y) {
        const uint8_t* p = SourcePixelAt(s, 2, x, y);
        return lut.colour[p[0]] | (uint32_t(p[1]) << 24);
    });
}

std::vector<uint8_t> ScaleIndexedRect(const BlitSource& src, int dw, int dh, bool pairs) {
    BlitSource s = src;
    if (dw <= 0 || dh <= 0 || !CutSource(s)) return {};
    std::vector<uint8_t> out(size_t(dw) * size_t(dh) * 2, 0);
    const int ss = pairs ? 2 : 1;
    const int64_t stepX = (int64_t(s.width) << 10) / dw;
    const int64_t stepY = (int64_t(s.height) << 10) / dh;
    std::vector<int> cols(static_cast<size_t>(dw));
    for (int j = 0; j < dw; ++j) {
        cols[j] = s.x + int(std::min<int64_t>((j * stepX) >> 10, s.width - 1));
    }
    for (int i = 0; i < dh; ++i) {
        const int row = s.y + int(std::min<int64_t>((i * stepY) >> 10, s.height - 1));
        const uint8_t* sr = SourcePixelAt(s, ss, 0, row);
        uint8_t* dr = out.data() + size_t(i) * dw * ss;
        if (pairs) {
            for (int j = 0; j < dw; ++j) {
                dr[2 * j] = sr[2 * cols[j]];
                dr[2 * j + 1] = sr[2 * cols[j] + 1];
            }
        } else {
            for (int j = 0; j < dw; ++j) dr[j] = sr[cols[j]];
        }
    }
    return out;
}

void DrawPointList(const DrawSurface& surface, int originX, int originY, const Rect& area,
                   const PointNode* list, double alpha) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return;
    const uint32_t f = AlphaFactor(alpha);
    for (const PointNode* n = list; n; n = n->next) {
        if (n->x < area.left || n->x >= area.right || n->y < area.top || n->y >= area.bottom) {
            continue;
        }
        const int64_t px = int64_t(n->x) - originX, py = int64_t(n->y) - originY;
        if (px < 0 || px >= surface.width || py < 0 || py >= surface.height) continue;
        uint32_t& d = surface.pixels[size_t(py) * size_t(surface.width) + size_t(px)];
        const uint32_t na = n->colour >> 24;
        const uint32_t k = f == 255 ? na : (f * na) >> 8;
        if (k == 255) {
            d = n->colour | 0xFF000000u;
        } else {
            d = FadeRgb(n->colour, d, k) | 0xFF000000u;
        }
    }
}

}  // namespace hqlv::engine
