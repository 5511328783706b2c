// The entry's choice of loop for every picture form, angle and flag combination, and draws of
// one frame out of a strip (a source rectangle that does not start at the buffer's origin).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "engine/render/blitter.h"
#include "render_ref.h"

namespace hqlv::engine {
namespace {

using namespace test;

enum Form { kPlain, kKeyed, kAlpha32, kIndex, kPairs };

std::vector<uint8_t> TestPalette() {
    std::vector<uint8_t> pal(kPaletteBytes);
    for (int i = 0; i < 256; ++i) {
        pal[i * 3] = uint8_t(i * 5);
        pal[i * 3 + 1] = uint8_t(200 - i);
        pal[i * 3 + 2] = uint8_t(i * 11 + 3);
    }
    return pal;
}

// Samples of a strip of `frames` frames in the form's layout.
std::vector<uint8_t> StripBytes(Form form, int w, int rows) {
    std::vector<uint8_t> b;
    if (form == kIndex || form == kPairs) {
        for (int i = 0; i < w * rows; ++i) {
            b.push_back(uint8_t((i * 4) % 9));  // indexes 0..8; 5 is the key
            if (form == kPairs) b.push_back(uint8_t(i % 5 == 0 ? 0 : (i * 47 + 20) % 256));
        }
        return b;
    }
    auto px = Pattern(w, rows, form == kAlpha32 ? 2 : 1);
    b.resize(px.size() * 4);
    std::memcpy(b.data(), px.data(), b.size());
    return b;
}

uint32_t FormFlags(Form form) {
    switch (form) {
        case kPlain:
            return 0;
        case kKeyed:
            return PIC_KEYED;
        case kAlpha32:
            return PIC_ALPHA;
        case kIndex:
            return PIC_OWN_PALETTE | PIC_KEYED;
        case kPairs:
            return PIC_OWN_PALETTE | PIC_ALPHA;
    }
    return 0;
}

int SampleBytes(Form form) {
    return form == kIndex ? 1 : form == kPairs ? 2 : 4;
}

// Nearest 10-bit scaling of a source rectangle, written out independently of the blitter.
std::vector<uint8_t> ScaleRef(const std::vector<uint8_t>& buf, int stride, int ss, int sx, int sy,
                              int sw, int sh, int dw, int dh) {
    std::vector<uint8_t> out(size_t(dw) * dh * ss);
    const int stepX = (sw << 10) / dw, stepY = (sh << 10) / dh;
    for (int i = 0; i < dh; ++i) {
        for (int j = 0; j < dw; ++j) {
            const int x = sx + std::min((j * stepX) >> 10, sw - 1);
            const int y = sy + std::min((i * stepY) >> 10, sh - 1);
            std::memcpy(&out[(size_t(i) * dw + j) * ss], &buf[(size_t(y) * stride + x) * ss], ss);
        }
    }
    return out;
}

// For every form, angle, flag set, alpha and size, DrawImageEx must give exactly what the loop
// that the selection table names gives when called directly.
TEST(BlitEntrySelection, EveryFormAngleAndFlagCombination) {
    const int W = 7, H = 5, FRAMES = 2;
    const auto pal = TestPalette();
    const int S = 24;
    std::vector<uint32_t> bg(S * S);
    for (int i = 0; i < S * S; ++i) bg[i] = Px(i * 3, 140, 255 - i, i % 3 == 0 ? 0 : 255);

    for (Form form : {kPlain, kKeyed, kAlpha32, kIndex, kPairs}) {
        const auto strip = StripBytes(form, W, H * FRAMES);
        const int ss = SampleBytes(form);
        EnginePicture pic;
        pic.width = W;
        pic.frameHeight = H;
        pic.frameCount = FRAMES;
        pic.flags = FormFlags(form);
        pic.pixels = const_cast<uint8_t*>(strip.data());
        pic.dataSize = uint32_t(strip.size());
        pic.key = form == kIndex || form == kPairs ? 5 : kNoColour;
        pic.palette = pal.data();
        for (double angle : {0.0, 0.4, -0.9, 30.0, 90.0}) {
            for (uint32_t flags :
                 {0u, BLIT_SMOOTH, BLIT_ONTO_OPAQUE, BLIT_SMOOTH | BLIT_ONTO_OPAQUE}) {
                for (double alpha : {1.0, 0.5}) {
                    for (bool scaled : {false, true}) {
                        const uint32_t tint = alpha < 1.0 ? 0x40203040u : kNoColour;
                        const int bw = scaled ? 10 : W, bh = scaled ? 8 : H;
                        SCOPED_TRACE("form " + std::to_string(form) + " angle " +
                                     std::to_string(angle) + " flags " + std::to_string(flags) +
                                     " alpha " + std::to_string(alpha) + (scaled ? " scaled" : ""));
                        Surface got(S, S), want(S, S);
                        got.px = bg;
                        want.px = bg;
                        BlitParams p;
                        p.angle = angle;
                        p.drawX = p.centreX = 12;
                        p.drawY = p.centreY = 11;
                        p.width = bw;
                        p.height = bh;
                        p.flags = flags;
                        DrawImageEx(got.ds(), p, pic, 0, H, W, H, alpha, tint);

                        // The working source: frame 1 in the strip, or its scaled copy.
                        std::vector<uint8_t> work;
                        BlitSource src{strip.data(), W, H * FRAMES, 0, H, W, H};
                        if (scaled) {
                            work = ScaleRef(strip, W, ss, 0, H, W, H, bw, bh);
                            src = BlitSource{work.data(), bw, bh, 0, 0, bw, bh};
                        }
                        const int ul = 12 - (bw + 1) / 2, ut = 11 - (bh + 1) / 2;
                        const int R = RefRadius(bw, bh);
                        const int cx = 12 - R, cy = 11 - R;
                        const bool wholeZero = int(angle) == 0;
                        const bool smooth = flags & BLIT_SMOOTH, onto = flags & BLIT_ONTO_OPAQUE;
                        const BlitTarget t = want.target();
                        switch (form) {
                            case kPlain:
                            case kKeyed:
                                if (wholeZero && form == kPlain && alpha >= 1.0) {
                                    for (int i = 0; i < bh; ++i) {
                                        std::memcpy(&want.at(ul, ut + i),
                                                    SourcePixelAt(src, 4, src.x, src.y + i),
                                                    size_t(bw) * 4);
                                    }
                                } else if (wholeZero) {
                                    BlitKeyed(t, ul, ut, src, alpha, tint);
                                } else if (smooth) {
                                    BlitRgbaSmoothRotated(t, cx, cy, src, angle, alpha, tint);
                                } else {
                                    BlitKeyedRotated(t, cx, cy, src, angle, alpha, tint);
                                }
                                break;
                            case kAlpha32:
                                if (angle != 0.0 && smooth) {
                                    BlitRgbaSmoothRotated(t, cx, cy, src, angle, alpha, tint);
                                } else if (angle != 0.0) {
                                    BlitRgbaRotated(t, cx, cy, src, angle, alpha, tint);
                                } else if (onto) {
                                    BlitRgbaOntoOpaque(t, ul, ut, src, alpha, tint);
                                } else {
                                    BlitRgba(t, ul, ut, src, alpha, tint);
                                }
                                break;
                            case kIndex:
                                if (wholeZero) {
                                    BlitIndexed(t, ul, ut, src, 5, pal.data(), alpha, tint);
                                } else if (smooth) {
                                    BlitIndexedSmoothRotated(t, cx, cy, src, pal.data(), angle,
                                                             alpha, tint);
                                } else {
                                    BlitIndexedRotated(t, cx, cy, src, 5, pal.data(), angle, alpha,
                                                       tint);
                                }
                                break;
                            case kPairs:
                                if (angle != 0.0 && smooth) {
                                    BlitIndexedAlphaSmoothRotated(t, cx, cy, src, pal.data(), angle,
                                                                  alpha, tint);
                                } else if (angle != 0.0) {
                                    BlitIndexedAlphaRotated(t, cx, cy, src, 5, pal.data(), angle,
                                                            alpha, tint);
                                } else if (onto) {
                                    BlitIndexedAlphaOntoOpaque(t, ul, ut, src, 5, pal.data(), alpha,
                                                               tint);
                                } else {
                                    BlitIndexedAlpha(t, ul, ut, src, 5, pal.data(), alpha, tint);
                                }
                                break;
                        }
                        ASSERT_NE(want.px, bg);  // every combination draws something
                        ASSERT_EQ(got.px, want.px);
                    }
                }
            }
        }
    }
}

// The nearest walk reads the source rectangle where it lies in its buffer: frame 1 of a strip
// draws exactly as the same pixels in a buffer of their own.
TEST(BlitEntrySelection, RotatedFramesReadTheirOwnRows) {
    const int W = 8, H = 6;
    const auto pal = TestPalette();
    for (Form form : {kKeyed, kAlpha32, kIndex, kPairs}) {
        const auto strip = StripBytes(form, W, H * 3);
        const int ss = SampleBytes(form);
        // Frame 1 alone, columns 2.. of it: the rectangle starts inside the buffer both ways.
        std::vector<uint8_t> alone(strip.begin() + size_t(H) * W * ss,
                                   strip.begin() + size_t(2 * H) * W * ss);
        for (double angle : {33.0, 90.0, -140.0}) {
            SCOPED_TRACE("form " + std::to_string(form) + " angle " + std::to_string(angle));
            Surface a(20, 20, 0xFF336699u), b(20, 20, 0xFF336699u);
            const BlitSource inStrip{strip.data(), W, H * 3, 2, H + 1, W - 2, H - 1};
            const BlitSource own{alone.data(), W, H, 2, 1, W - 2, H - 1};
            for (auto [surface, src] : {std::pair{&a, inStrip}, std::pair{&b, own}}) {
                const BlitTarget t = surface->target();
                switch (form) {
                    case kKeyed:
                        BlitKeyedRotated(t, 2, 3, src, angle, 1.0, kNoColour);
                        break;
                    case kAlpha32:
                        BlitRgbaRotated(t, 2, 3, src, angle, 0.75, kNoColour);
                        break;
                    case kIndex:
                        BlitIndexedRotated(t, 2, 3, src, 5, pal.data(), angle, 1.0, kNoColour);
                        break;
                    default:
                        BlitIndexedAlphaRotated(t, 2, 3, src, 5, pal.data(), angle, 1.0, kNoColour);
                        break;
                }
            }
            // And both as the reference walk over the rectangle's own pixels says.
            const int R = RefRadius(W - 2, H - 1);
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 20; ++x) {
                    int col, row;
                    if (x - 2 < 0 || y - 3 < 0 || x - 2 >= 2 * R || y - 3 >= 2 * R ||
                        !RefNearest(angle, W - 2, H - 1, x - 2, y - 3, col, row)) {
                        ASSERT_EQ(a.at(x, y), 0xFF336699u) << x << "," << y;
                        continue;
                    }
                    if (form == kKeyed) {
                        uint32_t sp;
                        std::memcpy(&sp, &alone[(size_t(1 + row) * W + 2 + col) * 4], 4);
                        ASSERT_EQ(a.at(x, y), Ch(sp, 3) ? sp : 0xFF336699u) << x << "," << y;
                    }
                }
            }
            ASSERT_EQ(a.px, b.px);
        }
    }
}

// A negative source origin is cut off before scaling: the part of the rectangle that lies in
// the picture is what gets scaled to the block.
TEST(BlitEntrySelection, NegativeOriginsAreCutBeforeScaling) {
    const int W = 6, H = 4;
    auto src = Pattern(W, H);
    EnginePicture pic;
    pic.width = W;
    pic.frameHeight = H;
    pic.frameCount = 1;
    pic.flags = PIC_KEYED;
    pic.pixels = reinterpret_cast<uint8_t*>(src.data());
    pic.dataSize = uint32_t(src.size() * 4);
    for (auto [sx, sy] : {std::pair{-3, 0}, std::pair{0, -2}, std::pair{-5, -3}}) {
        Surface s(16, 12, 0x01010101u);
        BlitParams p;
        p.drawX = p.centreX = 8;
        p.drawY = p.centreY = 6;
        p.width = 14;
        p.height = 10;
        DrawImageEx(s.ds(), p, pic, sx, sy, W + 1, H, 1.0, kNoColour);
        // What is left of the rectangle: from (0, 0), its size cut by the origin and the edges.
        const int cw = std::min(W + 1 + std::min(sx, 0), W), ch = std::min(H + std::min(sy, 0), H);
        const int stepX = (cw << 10) / 14, stepY = (ch << 10) / 10;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) {
                uint32_t want = 0x01010101u;
                const int j = x - 1, i = y - 1;  // box at (8 - 7, 6 - 5)
                if (j >= 0 && j < 14 && i >= 0 && i < 10) {
                    want = src[size_t(std::min((i * stepY) >> 10, ch - 1)) * W +
                               std::min((j * stepX) >> 10, cw - 1)];
                }
                ASSERT_EQ(s.at(x, y), want) << sx << "," << sy << " at " << x << "," << y;
            }
        }
    }
}

// The invert walk starts at the draw centre less the block's stored radius, whatever value the
// block's owner left there; a radius far beyond the surface puts the walk off it.
TEST(BlitEntrySelection, InvertWithAStoredRadiusFarOffTheSurface) {
    auto src = Pattern(4, 4, 1);
    EnginePicture pic;
    pic.width = pic.frameHeight = 4;
    pic.frameCount = 1;
    pic.flags = PIC_KEYED;
    pic.pixels = reinterpret_cast<uint8_t*>(src.data());
    pic.dataSize = uint32_t(src.size() * 4);
    for (int radius : {INT32_MAX, 1 << 30}) {
        for (double angle : {0.0, 45.0}) {
            Surface s(8, 8, 0x12345678u);
            BlitParams p;
            p.angle = angle;
            p.drawX = p.centreX = -1000;
            p.drawY = p.centreY = 4;
            p.width = p.height = 4;
            p.radius = radius;
            p.flags = BLIT_INVERT;
            DrawImageEx(s.ds(), p, pic, 0, 0, 4, 4, 1.0, kNoColour);
            for (uint32_t v : s.px) ASSERT_EQ(v, 0x12345678u);
        }
    }
}

// Every loop of the blitter over one small picture of each form: 14 loops, the rotated ones
// at 40 degrees with their square at (0, 0), the unrotated ones at (2, 3).
struct LoopFamily {
    static constexpr int W = 6, H = 5;
    const std::vector<uint8_t> pal = TestPalette();
    const std::vector<uint8_t> keyed = StripBytes(kKeyed, W, H), rgba = StripBytes(kAlpha32, W, H);
    const std::vector<uint8_t> idx = StripBytes(kIndex, W, H), pairs = StripBytes(kPairs, W, H);
    static BlitSource Src(const std::vector<uint8_t>& b) {
        return BlitSource{b.data(), W, H, 0, 0, W, H};
    }
    static bool Rotated(int loop) { return loop == 1 || loop == 4 || loop == 7 || loop == 10; }
    void Run(int loop, Surface& s, double alpha, uint32_t tint) const {
        const BlitTarget t = s.target();
        const uint8_t* p = pal.data();
        switch (loop) {
            case 0:
                return BlitKeyed(t, 2, 3, Src(keyed), alpha, tint);
            case 1:
                return BlitKeyedRotated(t, 0, 0, Src(keyed), 40.0, alpha, tint);
            case 2:
                return BlitRgba(t, 2, 3, Src(rgba), alpha, tint);
            case 3:
                return BlitRgbaOntoOpaque(t, 2, 3, Src(rgba), alpha, tint);
            case 4:
                return BlitRgbaRotated(t, 0, 0, Src(rgba), 40.0, alpha, tint);
            case 5:
                return BlitRgbaSmoothRotated(t, 0, 0, Src(rgba), 40.0, alpha, tint);
            case 6:
                return BlitIndexed(t, 2, 3, Src(idx), 5, p, alpha, tint);
            case 7:
                return BlitIndexedRotated(t, 0, 0, Src(idx), 5, p, 40.0, alpha, tint);
            case 8:
                return BlitIndexedAlpha(t, 2, 3, Src(pairs), 5, p, alpha, tint);
            case 9:
                return BlitIndexedAlphaOntoOpaque(t, 2, 3, Src(pairs), 5, p, alpha, tint);
            case 10:
                return BlitIndexedAlphaRotated(t, 0, 0, Src(pairs), 5, p, 40.0, alpha, tint);
            case 11:
                return BlitIndexedSmoothRotated(t, 0, 0, Src(idx), p, 40.0, alpha, tint);
            case 12:
                return BlitIndexedAlphaSmoothRotated(t, 0, 0, Src(pairs), p, 40.0, alpha, tint);
            default: {
                PointNode b{3, 3, Px(1, 2, 3, 40), nullptr};
                PointNode a{2, 2, Px(1, 2, 3, 255), &b};
                return DrawPointList(s.ds(), 0, 0, Rect{0, 0, 12, 12}, &a, alpha);
            }
        }
    }
};

std::vector<uint32_t> Background() {
    std::vector<uint32_t> bg(144);
    for (int i = 0; i < 144; ++i) bg[i] = Px(i, 2 * i, 255 - i, i % 2 ? 255 : 0);
    return bg;
}

// A fade whose factor is 0 (alpha exactly 0 in the rotated per-pixel-alpha loops, or an
// alpha so small that trunc(alpha × 255) is 0) is still a fade, with k = 0: towards the
// destination every covered sample leaves (destination × 255) >> 8, the loops' own alpha
// rules unchanged (opaque for the keyed and one-byte loops, the destination's own or, onto a
// transparent pixel, the sample's colour with alpha 0 for the per-pixel-alpha ones); with a
// tint it paints (tint × 255) >> 8, alpha 255. The smooth loops and the point list blend
// with k = 0 alike. Only the regimes the rules leave out draw nothing: alpha 0 or below in
// the keyed and one-byte loops, and alpha exactly 0 without a tint in the unrotated
// per-pixel-alpha loops (with a tint these draw with the samples' own alpha).
TEST(BlitEntrySelection, FadesOfFactorZeroStillFadeWithKZero) {
    const LoopFamily L;
    const std::vector<uint32_t> bg = Background();
    const uint32_t painted = Px(0x40 * 255 / 256, 0x50 * 255 / 256, 0x60 * 255 / 256, 255);
    auto dim = [](uint32_t d, int a) { return RefFade(0, d, 0, a); };
    auto palColour = [&](size_t index) {
        return Px(L.pal[index * 3 + 2], L.pal[index * 3 + 1], L.pal[index * 3], 0);
    };
    // Whether source sample i is drawn; the destination alpha matters only onto opaque.
    auto drawn = [&](int loop, size_t i, uint32_t dst, bool tinted) {
        const bool opaque = (dst >> 24) == 255;
        const bool pairAlpha = tinted || L.pairs[i * 2 + 1] != 0;
        switch (loop) {
            case 0:
            case 1:
                return L.keyed[i * 4 + 3] != 0;
            case 2:
            case 4:
                return L.rgba[i * 4 + 3] != 0;  // a > TT, or every a != 0 rotated
            case 3:
                return L.rgba[i * 4 + 3] != 0 && opaque;
            case 6:
            case 7:
                return L.idx[i] != 5;
            case 8:
                return L.pairs[i * 2] != 5 && pairAlpha;  // a >= TT holds for every a
            case 9:
                return L.pairs[i * 2] != 5 && pairAlpha && opaque;
            default:
                return L.pairs[i * 2] != 5 && L.pairs[i * 2 + 1] != 0;
        }
    };
    // What an untinted fade with k = 0 leaves on a drawn pixel.
    auto faded = [&](int loop, size_t i, uint32_t before) {
        const int da = Ch(before, 3);
        switch (loop) {
            case 2:
            case 4:
                return da ? dim(before, da)
                          : (Px(L.rgba[i * 4], L.rgba[i * 4 + 1], L.rgba[i * 4 + 2], 0));
            case 8:
            case 10:
                return da ? dim(before, da) : palColour(L.pairs[i * 2]);
            default:
                return dim(before, 255);
        }
    };
    for (double alpha : {0.0, 0.001, 1.0 / 256}) {
        for (uint32_t tint : {uint32_t(kNoColour), 0x00405060u}) {  // the tint's threshold is 0
            const bool tinted = tint != kNoColour;
            for (int loop = 0; loop < 14; ++loop) {
                SCOPED_TRACE("loop " + std::to_string(loop) + " alpha " + std::to_string(alpha) +
                             (tinted ? " tinted" : ""));
                Surface s(12, 12);
                s.px = bg;
                L.Run(loop, s, alpha, tint);
                const bool perPixelAlpha = loop == 2 || loop == 3 || loop == 8 || loop == 9;
                if (alpha == 0.0 && perPixelAlpha) {
                    if (tinted)
                        EXPECT_NE(s.px, bg);
                    else
                        EXPECT_EQ(s.px, bg);
                    continue;
                }
                if (alpha == 0.0 && (loop == 0 || loop == 1 || loop == 6 || loop == 7)) {
                    EXPECT_EQ(s.px, bg);
                    continue;
                }
                int count = 0;
                if (loop == 5 || loop == 11 || loop == 12) {
                    // Bilinear samples: a covered pixel keeps its alpha and is dimmed, or on a
                    // transparent one stays transparent.
                    for (size_t i = 0; i < bg.size(); ++i) {
                        if (s.px[i] == bg[i]) continue;
                        ++count;
                        const int da = Ch(bg[i], 3);
                        if (da)
                            EXPECT_EQ(s.px[i], dim(bg[i], da)) << i;
                        else
                            EXPECT_EQ(Ch(s.px[i], 3), 0) << i;
                    }
                    EXPECT_GT(count, 4);
                    continue;
                }
                if (loop == 13) {
                    for (int y = 0; y < 12; ++y) {
                        for (int x = 0; x < 12; ++x) {
                            const uint32_t before = bg[size_t(y) * 12 + x];
                            const bool point = (x == 2 && y == 2) || (x == 3 && y == 3);
                            EXPECT_EQ(s.at(x, y), point ? dim(before, 255) : before)
                                << " at " << x << "," << y;
                        }
                    }
                    continue;
                }
                for (int y = 0; y < 12; ++y) {
                    for (int x = 0; x < 12; ++x) {
                        const uint32_t before = bg[size_t(y) * 12 + x];
                        int col = x - 2, row = y - 3;
                        bool inside = col >= 0 && col < L.W && row >= 0 && row < L.H;
                        if (LoopFamily::Rotated(loop))
                            inside = RefNearest(40.0, L.W, L.H, x, y, col, row);
                        const size_t i = size_t(row) * L.W + col;
                        const bool paint = inside && drawn(loop, i, before, tinted);
                        count += paint;
                        const uint32_t want = !paint   ? before
                                              : tinted ? painted
                                                       : faded(loop, i, before);
                        EXPECT_EQ(s.at(x, y), want) << " at " << x << "," << y;
                    }
                }
                EXPECT_GT(count, 4);
            }
        }
    }
}

// A per-pixel-alpha picture with a tint at alpha exactly 0 shows both unrotated (with the
// samples' own alpha) and rotated (in the tint colour).
TEST(BlitEntrySelection, TintedAlphaPictureAtAlphaZeroShowsRotatedToo) {
    const int W = 6, H = 5;
    auto rgba = StripBytes(kAlpha32, W, H);
    EnginePicture pic;
    pic.width = W;
    pic.frameHeight = H;
    pic.frameCount = 1;
    pic.flags = PIC_ALPHA;
    pic.pixels = rgba.data();
    pic.dataSize = uint32_t(rgba.size());
    const uint32_t painted = Px(0x40 * 255 / 256, 0x50 * 255 / 256, 0x60 * 255 / 256, 255);
    for (double angle : {0.0, 90.0}) {
        Surface s(16, 16, Px(9, 9, 9, 255));
        BlitParams p;
        p.angle = angle;
        p.drawX = p.drawY = p.centreX = p.centreY = 8;
        p.width = W;
        p.height = H;
        DrawImageEx(s.ds(), p, pic, 0, 0, W, H, 0.0, 0x00405060u);
        const auto n = std::count(s.px.begin(), s.px.end(), painted);
        const auto unchanged = std::count(s.px.begin(), s.px.end(), Px(9, 9, 9, 255));
        if (angle == 0.0) {
            EXPECT_EQ(n, 0);  // k = a: each sample at its own strength
            EXPECT_LT(unchanged, 16 * 16 - 20);
        } else {
            EXPECT_EQ(n + unchanged, 16 * 16);
            EXPECT_GT(n, 20);
        }
    }
}

// An unrotated block never has its radius computed, so the invert walk of an unrotated draw
// uses the radius of the block's size: the picture is inverted where a draw would put it.
TEST(BlitEntrySelection, UnrotatedInvertUsesTheRadiusOfTheBlockSize) {
    const int W = 5, H = 3;
    auto src = Pattern(W, H, 1);
    EnginePicture pic;
    pic.width = W;
    pic.frameHeight = H;
    pic.frameCount = 1;
    pic.flags = PIC_KEYED;
    pic.pixels = reinterpret_cast<uint8_t*>(src.data());
    pic.dataSize = uint32_t(src.size() * 4);
    Surface s(12, 10, 0x00102030u);
    BlitParams p;
    p.drawX = p.centreX = 6;
    p.drawY = p.centreY = 5;
    p.width = W;
    p.height = H;
    p.flags = BLIT_INVERT;
    DrawImageEx(s.ds(), p, pic, 0, 0, W, H, 1.0, kNoColour);
    EXPECT_EQ(p.radius, 0);
    // The walk at angle 0 maps the square's cell (j, i) to (j - R + hw, i - R + hh): with the
    // corner at the centre less R, source (0, 0) lands at the centre less the half sizes.
    const int left = 6 - (W + 1) / 2, top = 5 - (H + 1) / 2;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            const int sx = x - left, sy = y - top;
            const bool covered =
                sx >= 0 && sx < W && sy >= 0 && sy < H && Ch(src[size_t(sy) * W + sx], 3) != 0;
            ASSERT_EQ(s.at(x, y), covered ? 0xFFEFDFCFu : 0x00102030u) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace hqlv::engine
