#pragma once
// The software blitter: DrawImageEx draws a rectangle of a picture onto a 32-bit surface,
// scaled to the block's size, optionally rotated, clipped, faded by an alpha factor or towards
// a tint colour, with key or per-pixel-alpha transparency. The loops it chooses from are
// public too: the canvas draws particles with them directly.
//
// Colour arithmetic: fading with k (0..255) towards a colour gives
// (source × k + colour × (255 − k)) >> 8 per colour byte; f = trunc(alpha × 255) as a byte.
// The tint is 0xTTBBGGRR: a COLORREF to fade towards instead of the destination, and an
// alpha threshold TT for the per-pixel-alpha loops; 0xFF00FF in the low bytes means none.
#include <cstdint>
#include <vector>

#include "engine/render/picture.h"

namespace hqlv::engine {

// Where the loops write: the surface's pixels and size, and the clip box (already cut to the
// surface by the caller; the loops cut it again).
struct BlitTarget {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    Rect clip;
};

// What the loops read: a buffer of `rows` rows of `stride` samples and the source rectangle
// in it. A rectangle that reaches past the buffer is cut to it.
struct BlitSource {
    const uint8_t* pixels = nullptr;
    int stride = 0;
    int rows = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Sample (x, y) of a buffer of `stride` samples per row and `sampleSize` bytes per sample.
inline const uint8_t* SourcePixelAt(const BlitSource& s, int sampleSize, int x, int y) {
    return s.pixels + (size_t(y) * size_t(s.stride) + size_t(x)) * size_t(sampleSize);
}

// f = trunc(alpha × 255) taken as a byte (negative and large factors wrap like a byte).
uint8_t AlphaFactor(double alpha);

// ---- 32-bit pictures ------------------------------------------------------------------
// Unrotated loops: (left, top) is where the source rectangle's top-left pixel lands.
void BlitKeyed(const BlitTarget& dst, int left, int top, const BlitSource& src, double alpha,
               uint32_t tint);
void BlitRgba(const BlitTarget& dst, int left, int top, const BlitSource& src, double alpha,
              uint32_t tint);
void BlitRgbaOntoOpaque(const BlitTarget& dst, int left, int top, const BlitSource& src,
                        double alpha, uint32_t tint);
// Rotated (nearest) loops: (cornerX, cornerY) is the top-left of the walked square.
void BlitKeyedRotated(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                      double angle, double alpha, uint32_t tint);
void BlitRgbaRotated(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                     double angle, double alpha, uint32_t tint);
// Inverts the colour under every sample with a non-zero alpha byte (nearest walk).
void InvertUnderRgba(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                     double angle);

// ---- palette pictures -----------------------------------------------------------------
// `palette` is 256 entries R, G, B; a key outside 0..255 makes no index transparent.
void BlitIndexed(const BlitTarget& dst, int left, int top, const BlitSource& src, uint32_t key,
                 const uint8_t* palette, double alpha, uint32_t tint);
void BlitIndexedAlpha(const BlitTarget& dst, int left, int top, const BlitSource& src, uint32_t key,
                      const uint8_t* palette, double alpha, uint32_t tint);
void BlitIndexedAlphaOntoOpaque(const BlitTarget& dst, int left, int top, const BlitSource& src,
                                uint32_t key, const uint8_t* palette, double alpha, uint32_t tint);
void BlitIndexedRotated(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                        uint32_t key, const uint8_t* palette, double angle, double alpha,
                        uint32_t tint);
void BlitIndexedAlphaRotated(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                             uint32_t key, const uint8_t* palette, double angle, double alpha,
                             uint32_t tint);
// `pairs`: the samples are index + alpha pairs.
void InvertUnderIndexed(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                        bool pairs, uint32_t key, const uint8_t* palette, double angle);

// ---- bilinear rotation (BLIT_SMOOTH) ----------------------------------------------------
// The tint is accepted and not used.
void BlitRgbaSmoothRotated(const BlitTarget& dst, int cornerX, int cornerY, const BlitSource& src,
                           double angle, double alpha, uint32_t tint);
void BlitIndexedSmoothRotated(const BlitTarget& dst, int cornerX, int cornerY,
                              const BlitSource& src, const uint8_t* palette, double angle,
                              double alpha, uint32_t tint);
void BlitIndexedAlphaSmoothRotated(const BlitTarget& dst, int cornerX, int cornerY,
                                   const BlitSource& src, const uint8_t* palette, double angle,
                                   double alpha, uint32_t tint);
// k = (f × colour alpha) >> 8; onto a pixel of some alpha fade, onto alpha 0 copy with alpha k.
uint32_t BlendPixel(uint32_t destination, uint32_t colour, uint8_t f);

// ---- scaling ----------------------------------------------------------------------------
// Nearest-neighbour copy of a source rectangle of a palette picture at the destination size,
// in 10-bit fixed point; one byte per sample, or two with `pairs`. Empty when a side is 0.
std::vector<uint8_t> ScaleIndexedRect(const BlitSource& src, int destWidth, int destHeight,
                                      bool pairs);

// ---- points -----------------------------------------------------------------------------
struct PointNode {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t colour = 0;  // 0xAARRGGBB
    const PointNode* next = nullptr;
};
// Draws the listed points with left <= x < right, top <= y < bottom at (x, y) - origin.
void DrawPointList(const DrawSurface& surface, int originX, int originY, const Rect& area,
                   const PointNode* list, double alpha);

// ---- the entry ----------------------------------------------------------------------------
// Largest temporary scaled copy a draw makes (pixels, 256 MB): a larger one could fail to be
// made and end the program, so such a block draws nothing. The straight copy needs no copy
// and draws at any size.
constexpr int64_t kMaxScaledPixels = int64_t(1) << 26;
// Whether a draw of `pic` at a size other than its own scales it into a copy of that size
// first: all but the straight copy (a true-colour picture, neither keyed nor with alpha,
// drawn unturned and opaque).
bool ScalesIntoACopy(const EnginePicture& pic, double angle, double alpha);
// Draws the source rectangle (frames stacked vertically: frame n of height h at sy = n × h).
// May store the radius into `params`. Never fails its caller; draws nothing where it cannot.
void DrawImageEx(const DrawSurface& surface, BlitParams& params, const EnginePicture& picture,
                 int sx, int sy, int sw, int sh, double alpha, uint32_t tint);

}  // namespace hqlv::engine
