// The blitter's entry and its loops for 32-bit pictures.
#include "engine/render/blitter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/render/blit_internal.h"
#include "engine/render/blit_rows.h"
#include "engine/render/render_log.h"

namespace hqlv::engine {

using namespace blit;

namespace {

// Alpha regimes of the colour rules.
bool Faded(double alpha) {
    return alpha > 0.0 && alpha < 1.0;
}

// Adapts a 32-bit operation to the nearest walk, which hands over sample pointers.
template <class Op>
struct FromPtr {
    Op op;
    uint32_t operator()(const uint8_t* p, uint32_t d) const { return op(Load32(p), d); }
};
template <class Op>
FromPtr<Op> ptr(Op op) {
    return FromPtr<Op>{op};
}

// The unrotated loops run the chosen variant's rectangle loop: one call per draw.
void Unrotated32(const BlitTarget& t, int bx, int by, BlitSource s, RowKind kind,
                 const RowArgs& args = {}) {
    if (!ClipUnrotated(t, bx, by, s)) return;
    ActiveRows().op[kind](t.pixels + size_t(by) * size_t(t.width) + size_t(bx), size_t(t.width),
                          reinterpret_cast<const uint32_t*>(SourcePixelAt(s, 4, s.x, s.y)),
                          size_t(s.stride), s.width, s.height, args);
}

void StraightCopy(const BlitTarget& t, int bx, int by, BlitSource s) {
    if (!ClipUnrotated(t, bx, by, s)) return;
    ActiveRows().copy(t.pixels + size_t(by) * size_t(t.width) + size_t(bx), size_t(t.width),
                      reinterpret_cast<const uint32_t*>(SourcePixelAt(s, 4, s.x, s.y)),
                      size_t(s.stride), s.width, s.height);
}

// Source columns of nearest scaling in 10-bit fixed point, for destination columns
// first .. first + n - 1 of a destination of width dw.
std::vector<int> ScaleColumns(const BlitSource& s, int dw, int first, int n) {
    const int64_t step = (int64_t(s.width) << 10) / dw;
    std::vector<int> cols(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) {
        cols[j] = s.x + int(std::min<int64_t>(((first + j) * step) >> 10, s.width - 1));
    }
    return cols;
}

int ScaleRow(const BlitSource& s, int dh, int i) {
    const int64_t step = (int64_t(s.height) << 10) / dh;
    return s.y + int(std::min<int64_t>((i * step) >> 10, s.height - 1));
}

// Source rows of nearest scaling for destination rows first .. first + n - 1, relative to
// the buffer's first row.
std::vector<int> ScaleRows(const BlitSource& s, int dh, int first, int n) {
    std::vector<int> rows(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) rows[i] = ScaleRow(s, dh, first + i);
    return rows;
}

// Nearest-neighbour copy of a 32-bit source rectangle at the destination size. Every pixel
// of the copy is written.
std::unique_ptr<uint32_t[]> ScaleRgbaRect(const BlitSource& s, int dw, int dh) {
    auto out = std::make_unique_for_overwrite<uint32_t[]>(size_t(dw) * size_t(dh));
    const std::vector<int> cols = ScaleColumns(s, dw, 0, dw);
    const std::vector<int> rows = ScaleRows(s, dh, 0, dh);
    ActiveRows().gather(out.get(), size_t(dw), reinterpret_cast<const uint32_t*>(s.pixels),
                        size_t(s.stride), rows.data(), dh, cols.data(), dw);
    return out;
}

// The scaled straight copy written directly into the surface, only where it is visible: the
// same pixels as scaling into a copy and copying that, without the copy.
void ScaledStraightCopy(const BlitTarget& t, int bx, int by, int dw, int dh, const BlitSource& s) {
    const Rect c = TargetClip(t);
    if (c.empty()) return;
    const int64_t x0 = std::max<int64_t>(bx, c.left),
                  x1 = std::min<int64_t>(int64_t(bx) + dw, c.right);
    const int64_t y0 = std::max<int64_t>(by, c.top),
                  y1 = std::min<int64_t>(int64_t(by) + dh, c.bottom);
    if (x1 <= x0 || y1 <= y0) return;
    const int n = int(x1 - x0), h = int(y1 - y0);
    const std::vector<int> cols = ScaleColumns(s, dw, int(x0 - bx), n);
    const std::vector<int> rows = ScaleRows(s, dh, int(y0 - by), h);
    ActiveRows().gather(t.pixels + size_t(y0) * size_t(t.width) + size_t(x0), size_t(t.width),
                        reinterpret_cast<const uint32_t*>(s.pixels), size_t(s.stride), rows.data(),
                        h, cols.data(), n);
}

}  // namespace

uint8_t AlphaFactor(double alpha) {
    if (!(alpha == alpha)) return 0;
    double v = std::clamp(alpha * 255.0, -2147483648.0, 2147483647.0);
    return static_cast<uint8_t>(static_cast<int32_t>(v));
}

void BlitKeyed(const BlitTarget& t, int left, int top, const BlitSource& s, double alpha,
               uint32_t tint) {
    if (alpha >= 1.0) {
        Unrotated32(t, left, top, s, kKeyedCopy);
    } else if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        if (HasTint(tint)) {
            Unrotated32(t, left, top, s, kKeyedFadeTint, {f, TintColour(tint), 0});
        } else {
            Unrotated32(t, left, top, s, kKeyedFadeDst, {f, 0, 0});
        }
    }
}

void BlitKeyedRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s, double angle,
                      double alpha, uint32_t tint) {
    if (alpha >= 1.0) {
        WalkNearest<4>(t, ox, oy, s, angle, ptr(KeyedCopy{}));
    } else if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        if (HasTint(tint)) {
            WalkNearest<4>(t, ox, oy, s, angle, ptr(KeyedFadeTint{f, TintColour(tint)}));
        } else {
            WalkNearest<4>(t, ox, oy, s, angle, ptr(KeyedFadeDst{f}));
        }
    }
}

void BlitRgba(const BlitTarget& t, int left, int top, const BlitSource& s, double alpha,
              uint32_t tint) {
    const bool tinted = HasTint(tint);
    if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        if (tinted) {
            Unrotated32(t, left, top, s, kRgbaTintScaled, {f, TintColour(tint), Threshold(tint)});
        } else {
            Unrotated32(t, left, top, s, kRgbaBlendScaled, {f, 0, 0});
        }
    } else if (tinted) {
        Unrotated32(t, left, top, s, kRgbaTint, {0, TintColour(tint), Threshold(tint)});
    } else if (alpha != 0.0 && alpha == alpha) {
        Unrotated32(t, left, top, s, kRgbaBlend);
    }
}

void BlitRgbaOntoOpaque(const BlitTarget& t, int left, int top, const BlitSource& s, double alpha,
                        uint32_t tint) {
    const bool tinted = HasTint(tint);
    if (Faded(alpha)) {
        const uint32_t f = AlphaFactor(alpha);
        if (tinted) {
            Unrotated32(t, left, top, s, kOntoOpaqueTintScaled,
                        {f, TintColour(tint), Threshold(tint)});
        } else {
            Unrotated32(t, left, top, s, kOntoOpaqueScaled, {f, 0, 0});
        }
    } else if (tinted) {
        Unrotated32(t, left, top, s, kOntoOpaqueTint, {0, TintColour(tint), Threshold(tint)});
    } else if (alpha != 0.0 && alpha == alpha) {
        Unrotated32(t, left, top, s, kOntoOpaque);
    }
}

void BlitRgbaRotated(const BlitTarget& t, int ox, int oy, const BlitSource& s, double angle,
                     double alpha, uint32_t tint) {
    if (alpha != alpha) return;
    const bool tinted = HasTint(tint);
    // The faded regime of the rotated loop takes in an alpha of exactly 0: factor 0, so a
    // tint paints every covered sample in the tint colour, and without one the covered
    // pixels keep only (destination × 255) >> 8.
    if (alpha >= 0.0 && alpha < 1.0) {
        const uint32_t f = AlphaFactor(alpha);
        if (tinted) {
            WalkNearest<4>(t, ox, oy, s, angle, ptr(RgbaTint<true>{f, TintColour(tint), 0, true}));
        } else {
            WalkNearest<4>(t, ox, oy, s, angle, ptr(RgbaBlend<true>{f}));
        }
    } else if (tinted) {
        WalkNearest<4>(t, ox, oy, s, angle, ptr(RgbaTint<false>{0, TintColour(tint), 0, true}));
    } else {
        WalkNearest<4>(t, ox, oy, s, angle, ptr(RgbaBlend<false>{0}));
    }
}

void InvertUnderRgba(const BlitTarget& t, int ox, int oy, const BlitSource& s, double angle) {
    WalkNearest<4>(t, ox, oy, s, angle, [](const uint8_t* p, uint32_t d) {
        return (p[3] != 0) ? ((~d & 0xFFFFFFu) | 0xFF000000u) : d;
    });
}

bool ScalesIntoACopy(const EnginePicture& pic, double angle, double alpha) {
    const bool intAngleZero = !std::isfinite(angle) || std::trunc(angle) == 0.0;
    return pic.isPalette() || (pic.flags & (PIC_ALPHA | PIC_KEYED)) || !intAngleZero ||
           alpha < 1.0;
}

void DrawImageEx(const DrawSurface& surface, BlitParams& params, const EnginePicture& pic, int sx,
                 int sy, int sw, int sh, double alpha, uint32_t tint) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return;
    if (!pic.pixels || pic.width == 0) return;
    const int ss = pic.sampleSize();
    // Frame count × frame height in 32 bits: cut to 16 bits, the frames of a strip taller
    // than 65535 rows could not be selected and would draw nothing or the wrong rows.
    const int64_t totalRows = pic.totalRows();
    // A buffer smaller than the picture's size claims (a damaged file) would be read past its
    // end: such a picture is not drawn.
    if (uint64_t(pic.width) * uint64_t(totalRows) * uint64_t(ss) > pic.dataSize) return;

    // Blocks far beyond any surface are refused before their arithmetic can overflow.
    constexpr int kMaxSide = 1 << 20;
    if (params.width < 0 || params.width > kMaxSide || params.height < 0 ||
        params.height > kMaxSide || std::abs(int64_t(params.drawX)) > kMaxSide * 16 ||
        std::abs(int64_t(params.drawY)) > kMaxSide * 16) {
        return;
    }

    const int reqW = sw, reqH = sh;
    // A negative origin is cut off: the rest of the rectangle is drawn.
    int64_t x = sx, y = sy, w = sw, h = sh;
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (totalRows - y < h) h = totalRows - y;
    if (int64_t(pic.width) - x < w) w = int64_t(pic.width) - x;
    // A source cut to nothing draws nothing, also when scaled: sampling an empty rectangle
    // would take the column or row just before it, outside what was asked for.
    if (w <= 0 || h <= 0) return;
    sx = int(x), sy = int(y), sw = int(w), sh = int(h);

    const bool palette = pic.isPalette();
    if (palette && !pic.palette) {
        RenderLog("256color pic without rgbquad!");
        return;
    }

    BlitSource work{pic.pixels, pic.width, int(totalRows), sx, sy, sw, sh};
    const double angle = params.angle;
    const bool intAngleZero = !std::isfinite(angle) || std::trunc(angle) == 0.0;
    // Unrotated loops draw at the unrotated box even for a small non-zero angle.
    const int ul = params.drawX - (params.width + 1) / 2;
    const int ut = params.drawY - (params.height + 1) / 2;
    const bool straightCopy = !ScalesIntoACopy(pic, angle, alpha);

    std::vector<uint8_t> scaledIdx;
    std::unique_ptr<uint32_t[]> scaled32;
    if (params.width != reqW || params.height != reqH) {
        const int dw = params.width, dh = params.height;
        if (dw <= 0 || dh <= 0) return;
        if (straightCopy) {
            GetBlitBounds(params);
            BlitTarget t{surface.pixels, surface.width, surface.height,
                         (params.flags & BLIT_CLIP) ? GetBlitClipRect(surface, params)
                                                    : Rect{0, 0, surface.width, surface.height}};
            ScaledStraightCopy(t, ul, ut, dw, dh, work);
            return;
        }
        if (int64_t(dw) * dh > kMaxScaledPixels) return;
        const uint8_t* buf;
        if (palette) {
            scaledIdx = ScaleIndexedRect(work, dw, dh, ss == 2);
            buf = scaledIdx.data();
        } else {
            scaled32 = ScaleRgbaRect(work, dw, dh);
            buf = reinterpret_cast<const uint8_t*>(scaled32.get());
        }
        work = BlitSource{buf, dw, dh, 0, 0, dw, dh};
    }

    const Rect box = GetBlitBounds(params);
    BlitTarget t{surface.pixels, surface.width, surface.height,
                 (params.flags & BLIT_CLIP) ? GetBlitClipRect(surface, params)
                                            : Rect{0, 0, surface.width, surface.height}};
    if (t.clip.empty()) return;

    if ((params.flags & BLIT_INVERT) && (pic.flags & PIC_KEYED)) {
        int64_t r = params.radius;
        // Only turned blocks get their radius stored: with none the walk's corner would be
        // the draw centre itself, and the inverted area would land half a box down and right.
        if (r < 1) r = static_cast<int64_t>(GetRotateRadius(params.width, params.height));
        // The stored radius is whatever the block's owner left; keep the corner in range.
        auto corner = [r](int32_t centre) {
            return static_cast<int>(std::clamp<int64_t>(centre - r, INT32_MIN, INT32_MAX));
        };
        const int cx = corner(params.drawX), cy = corner(params.drawY);
        if (palette) {
            InvertUnderIndexed(t, cx, cy, work, ss == 2, pic.key, pic.palette, params.angle);
        } else if (alpha != 0.0) {
            InvertUnderRgba(t, cx, cy, work, params.angle);
        }
        return;
    }

    const bool smooth = (params.flags & BLIT_SMOOTH) != 0;
    const int cx = box.left, cy = box.top;
    const bool sameSize = params.width == work.width && params.height == work.height;

    if (!palette) {
        if (!(pic.flags & PIC_ALPHA)) {
            if (intAngleZero) {
                if (straightCopy) {
                    StraightCopy(t, ul, ut, work);
                } else {
                    BlitKeyed(t, ul, ut, work, alpha, tint);
                }
            } else if (!smooth) {
                BlitKeyedRotated(t, cx, cy, work, angle, alpha, tint);
            } else {
                BlitRgbaSmoothRotated(t, cx, cy, work, angle, alpha, tint);
            }
        } else if (angle != 0.0) {
            if (smooth) {
                BlitRgbaSmoothRotated(t, cx, cy, work, angle, alpha, tint);
            } else {
                BlitRgbaRotated(t, cx, cy, work, angle, alpha, tint);
            }
        } else if (sameSize) {
            if (params.flags & BLIT_ONTO_OPAQUE) {
                BlitRgbaOntoOpaque(t, ul, ut, work, alpha, tint);
            } else {
                BlitRgba(t, ul, ut, work, alpha, tint);
            }
        }
        return;
    }

    if (!(pic.flags & PIC_ALPHA)) {
        if (intAngleZero) {
            BlitIndexed(t, ul, ut, work, pic.key, pic.palette, alpha, tint);
        } else if (!smooth) {
            BlitIndexedRotated(t, cx, cy, work, pic.key, pic.palette, angle, alpha, tint);
        } else {
            BlitIndexedSmoothRotated(t, cx, cy, work, pic.palette, angle, alpha, tint);
        }
        return;
    }
    if (!sameSize) return;
    if (angle != 0.0) {
        if (smooth) {
            BlitIndexedAlphaSmoothRotated(t, cx, cy, work, pic.palette, angle, alpha, tint);
        } else {
            BlitIndexedAlphaRotated(t, cx, cy, work, pic.key, pic.palette, angle, alpha, tint);
        }
    } else if (params.flags & BLIT_ONTO_OPAQUE) {
        BlitIndexedAlphaOntoOpaque(t, ul, ut, work, pic.key, pic.palette, alpha, tint);
    } else {
        BlitIndexedAlpha(t, ul, ut, work, pic.key, pic.palette, alpha, tint);
    }
}

}  // namespace hqlv::engine
