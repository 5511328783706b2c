// 32-bit loops of the blitter, the geometry of draw blocks and the entry's choices.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "engine/render/blitter.h"
#include "render_ref.h"

namespace hqlv::engine {
namespace {

using namespace test;

TEST(BlitGeometry, RadiusBoundsAndClip) {
    EXPECT_EQ(GetRotateRadius(0, 10), 0.0);
    EXPECT_EQ(GetRotateRadius(10, 0), 0.0);
    EXPECT_DOUBLE_EQ(GetRotateRadius(1, 1), std::sqrt(2.0) + 0.5);
    EXPECT_EQ(int(GetRotateRadius(1, 1)), 1);
    EXPECT_EQ(int(GetRotateRadius(3, 4)), 3);
    EXPECT_EQ(int(GetRotateRadius(10, 10)), 7);

    BlitParams fresh;  // a fresh block is centred on the origin
    fresh.width = fresh.height = 2;
    EXPECT_EQ(GetBlitBounds(fresh).left, -1);
    EXPECT_EQ(GetBlitBounds(fresh).top, -1);

    BlitParams p;
    p.drawX = 10;
    p.drawY = 20;
    p.width = 5;
    p.height = 4;
    Rect r = GetBlitBounds(p);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.right, 12);
    EXPECT_EQ(r.top, 18);
    EXPECT_EQ(r.bottom, 22);
    EXPECT_EQ(p.radius, 0);  // unrotated blocks keep their radius

    p.angle = 30.0;
    r = GetBlitBounds(p);
    EXPECT_EQ(p.radius, 4);  // half sizes 3, 2
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.bottom, 24);
    p.radius = 7;
    p.width = 100;
    r = GetBlitBounds(p);
    EXPECT_EQ(p.radius, 7);
    EXPECT_EQ(r.right, 17);

    DrawSurface s{nullptr, 50, 40, 4, 0xFF00FF};
    p.centreX = 15;
    p.centreY = 20;
    p.clip = Rect{-10, 5, 30, 100};
    r = GetBlitClipRect(s, p);  // moved by (5, 0), cut to the surface
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 35);
    EXPECT_EQ(r.bottom, 40);
    p.clip = Rect{60, 0, 70, 10};
    EXPECT_TRUE(GetBlitClipRect(s, p).empty());
}

EnginePicture Pic32(std::vector<uint32_t>& v, int w, int h, uint32_t flags, int frames = 1) {
    EnginePicture pic;
    pic.width = uint16_t(w);
    pic.frameHeight = uint16_t(h);
    pic.frameCount = uint16_t(frames);
    pic.flags = flags;
    pic.pixels = reinterpret_cast<uint8_t*>(v.data());
    pic.dataSize = uint32_t(v.size() * 4);
    pic.key = 0xFF00FF;
    return pic;
}

BlitParams Block(int cx, int cy, int w, int h, double angle = 0.0, uint32_t flags = 0) {
    BlitParams p;
    p.angle = angle;
    p.drawX = p.centreX = cx;
    p.drawY = p.centreY = cy;
    p.width = w;
    p.height = h;
    p.flags = flags;
    return p;
}

// Draws an unrotated picture partly outside each edge and inside a clip box; every pixel is
// compared with where it must land.
TEST(BlitStraightCopy, CopiesAllFourBytesAndClipsAtEveryEdge) {
    const int W = 7, H = 5;
    auto src = Pattern(W, H, 1);  // alpha bytes 0 and 255: copied as they are
    EnginePicture pic = Pic32(src, W, H, 0);
    struct Case {
        int cx, cy;
        Rect clip;
        bool useClip;
    } cases[] = {{4, 3, {}, false},   {1, 3, {}, false},           {18, 3, {}, false},
                 {9, 0, {}, false},   {9, 14, {}, false},          {9, 7, {6, 5, 11, 8}, true},
                 {-20, 3, {}, false}, {9, 7, {0, 0, 20, 16}, true}};
    for (const Case& c : cases) {
        Surface s(20, 16, 0x11223344u);
        BlitParams p = Block(c.cx, c.cy, W, H, 0.0, c.useClip ? BLIT_CLIP : 0);
        p.clip = c.clip;
        DrawImageEx(s.ds(), p, pic, 0, 0, W, H, 1.0, kNoColour);
        Rect clip = c.useClip ? IntersectRect(c.clip, Rect{0, 0, 20, 16}) : Rect{0, 0, 20, 16};
        const int left = c.cx - (W + 1) / 2, top = c.cy - (H + 1) / 2;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 20; ++x) {
                int sx = x - left, sy = y - top;
                bool in = sx >= 0 && sx < W && sy >= 0 && sy < H && x >= clip.left &&
                          x < clip.right && y >= clip.top && y < clip.bottom;
                uint32_t want = in ? src[size_t(sy) * W + sx] : 0x11223344u;
                ASSERT_EQ(s.at(x, y), want)
                    << "centre " << c.cx << "," << c.cy << " at " << x << "," << y;
            }
        }
    }
}

TEST(BlitKeyed, MasksFadesAndTints) {
    const int W = 6, H = 4;
    auto src = Pattern(W, H, 1);
    // A target without pixels takes nothing, whatever size it claims.
    BlitKeyed(BlitTarget{nullptr, W, H, Rect{0, 0, W, H}}, 0, 0, Src32(src, W, H), 1.0, kNoColour);
    // Keyed copy: alpha-0 samples leave the destination.
    {
        Surface s(W, H, 0x80FFFFFFu);
        BlitKeyed(s.target(), 0, 0, Src32(src, W, H), 1.0, 0x123456);
        for (int i = 0; i < W * H; ++i) {
            EXPECT_EQ(s.px[i], (src[i] >> 24) ? src[i] : 0x80FFFFFFu);
        }
    }
    // The documented case: black at 0.5 over opaque white gives 127, alpha 255.
    {
        std::vector<uint32_t> black(1, 0xFF000000u);
        Surface s(1, 1, 0xFFFFFFFFu);
        BlitKeyed(s.target(), 0, 0, Src32(black, 1, 1), 0.5, kNoColour);
        EXPECT_EQ(s.px[0], Px(127, 127, 127, 255));
    }
    // Faded towards the destination and towards a tint.
    for (uint32_t tint : {uint32_t(kNoColour), 0x00336699u}) {
        Surface s(W, H);
        for (int i = 0; i < W * H; ++i) s.px[i] = Px(i * 9, 200 - i, 50 + i, i);
        Surface before = s;
        BlitKeyed(s.target(), 0, 0, Src32(src, W, H), 0.3, tint);
        const int f = int(0.3 * 255);
        for (int i = 0; i < W * H; ++i) {
            uint32_t towards = tint == kNoColour ? before.px[i] : RefColorRef(tint, 0);
            uint32_t want = (src[i] >> 24) ? RefFade(src[i], towards, f, 255) : before.px[i];
            EXPECT_EQ(s.px[i], want) << i;
        }
    }
    // Alpha 0 and a negative alpha draw nothing.
    for (double a : {0.0, -0.5}) {
        Surface s(W, H, 0xFF808080u);
        BlitKeyed(s.target(), 0, 0, Src32(src, W, H), a, kNoColour);
        for (uint32_t v : s.px) EXPECT_EQ(v, 0xFF808080u) << a;
    }
    // An alpha whose factor truncates to 0 still fades, with k = 0: the covered pixels keep
    // (destination × 255) >> 8 and become opaque.
    {
        Surface s(W, H, 0x00808080u);
        BlitKeyed(s.target(), 0, 0, Src32(src, W, H), 0.001, kNoColour);
        for (int i = 0; i < W * H; ++i)
            EXPECT_EQ(s.px[i], (src[i] >> 24) ? Px(127, 127, 127, 255) : 0x00808080u) << i;
    }
}

// Reference of the per-pixel-alpha rules for one sample.
uint32_t RefRgba(uint32_t s, uint32_t d, double alpha, uint32_t tint, bool ontoOpaque) {
    const bool tinted = (tint & 0xFFFFFF) != 0xFF00FF;
    const int a = Ch(s, 3), da = Ch(d, 3), tt = int(tint >> 24);
    const bool faded = alpha > 0 && alpha < 1;
    const int f = int(alpha * 255) & 255;
    if (!faded && !tinted && alpha == 0.0) return d;
    const int k = faded ? (a * f) / 256 : a;
    if (tinted) {
        if (a <= tt) return d;
        if (ontoOpaque && da != 255) return d;
        return RefFade(s, RefColorRef(tint, 0), k, 255);
    }
    if (a == 0) return d;
    if (ontoOpaque) return da == 255 ? RefFade(s, d, k, 255) : d;
    if (da == 0) return (s & 0xFFFFFF) | (uint32_t(k) << 24);
    return RefFade(s, d, k, std::max(da, k));
}

TEST(BlitRgba, EveryRegimeMatchesTheReference) {
    const int W = 16, H = 16;
    auto src = Pattern(W, H, 2);
    std::vector<uint32_t> dst(W * H);
    for (int i = 0; i < W * H; ++i) {
        dst[i] = Px(i * 7, 255 - i, i * 3, (i % 4 == 0) ? 0 : (i % 4 == 1 ? 255 : i));
    }
    for (bool onto : {false, true}) {
        for (double alpha : {1.0, 0.5, 0.2, 0.0, -1.0, 3.0}) {
            for (uint32_t tint : {uint32_t(kNoColour), 0x00102030u, 0x80102030u}) {
                Surface s(W, H);
                s.px = dst;
                if (onto) {
                    BlitRgbaOntoOpaque(s.target(), 0, 0, Src32(src, W, H), alpha, tint);
                } else {
                    BlitRgba(s.target(), 0, 0, Src32(src, W, H), alpha, tint);
                }
                for (int i = 0; i < W * H; ++i) {
                    ASSERT_EQ(s.px[i], RefRgba(src[i], dst[i], alpha, tint, onto))
                        << "onto " << onto << " alpha " << alpha << " tint " << std::hex << tint
                        << " pixel " << std::dec << i;
                }
            }
        }
    }
}

TEST(BlitRgba, DocumentedCases) {
    std::vector<uint32_t> src{Px(10, 20, 30, 200)};
    Surface clear(1, 1, 0);
    BlitRgba(clear.target(), 0, 0, Src32(src, 1, 1), 0.5, kNoColour);
    EXPECT_EQ(clear.px[0], Px(10, 20, 30, (200 * 127) >> 8));

    std::vector<uint32_t> src100{Px(0, 0, 0, 100)};
    Surface half(1, 1, Px(255, 255, 255, 200));
    BlitRgba(half.target(), 0, 0, Src32(src100, 1, 1), 1.0, kNoColour);
    EXPECT_EQ(Ch(half.px[0], 3), 200);
    EXPECT_EQ(Ch(half.px[0], 0), (255 * 155) >> 8);

    // A tint threshold of 128 skips samples of alpha 128 and 127.
    std::vector<uint32_t> two{Px(1, 2, 3, 128), Px(1, 2, 3, 127), Px(1, 2, 3, 129)};
    Surface t(3, 1, 0xFF000000u);
    BlitRgba(t.target(), 0, 0, Src32(two, 3, 1), 1.0, 0x80FFFFFFu);
    EXPECT_EQ(t.px[0], 0xFF000000u);
    EXPECT_EQ(t.px[1], 0xFF000000u);
    EXPECT_NE(t.px[2], 0xFF000000u);

    // Alpha exactly 0: nothing without a tint; with a tint the source alpha rules.
    Surface z(1, 1, 0xFF404040u);
    BlitRgba(z.target(), 0, 0, Src32(src, 1, 1), 0.0, kNoColour);
    EXPECT_EQ(z.px[0], 0xFF404040u);
    BlitRgba(z.target(), 0, 0, Src32(src, 1, 1), 0.0, 0x00000000u);
    EXPECT_EQ(z.px[0], RefFade(src[0], 0, 200, 255));
}

// The rotated loops against the reference walk, with a clip box cutting the square.
TEST(BlitRotated, NearestWalkMatchesTheReference) {
    const int W = 9, H = 6;
    auto keyedSrc = Pattern(W, H, 1);
    auto alphaSrc = Pattern(W, H, 2);
    for (double angle : {90.0, 33.0, -125.5, 180.0, 1.0}) {
        for (int loop = 0; loop < 3; ++loop) {
            const auto& src = loop == 0 ? keyedSrc : alphaSrc;
            Surface s(24, 20);
            for (int i = 0; i < 24 * 20; ++i) s.px[i] = Px(i & 255, 90, 200, i % 3 ? 255 : 0);
            Surface before = s;
            // The square starts left of the surface; the clip box cuts the other sides.
            Rect clip{0, 2, 20, 17};
            const int ox = -2, oy = 1;
            const double alpha = loop == 2 ? 0.6 : 1.0;
            if (loop == 0) {
                BlitKeyedRotated(s.target(clip), ox, oy, Src32(src, W, H), angle, alpha, kNoColour);
            } else {
                BlitRgbaRotated(s.target(clip), ox, oy, Src32(src, W, H), angle, alpha, kNoColour);
            }
            const int R = RefRadius(W, H);
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 24; ++x) {
                    uint32_t want = before.at(x, y);
                    int col, row;
                    int j = x - ox, i = y - oy;
                    bool inClip =
                        x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                    if (inClip && j >= 0 && j < 2 * R && i >= 0 && i < 2 * R &&
                        RefNearest(angle, W, H, j, i, col, row)) {
                        uint32_t sp = src[size_t(row) * W + col];
                        if (loop == 0) {
                            if (Ch(sp, 3)) want = sp;
                        } else {
                            want = RefRgba(sp, want, alpha, kNoColour, false);
                        }
                    }
                    ASSERT_EQ(s.at(x, y), want)
                        << "angle " << angle << " loop " << loop << " at " << x << "," << y;
                }
            }
        }
    }
}

// A uniform square turned draws the colour the unturned keyed loop draws, tinted or not.
TEST(BlitRotated, KeyedFadeTakesTheTint) {
    std::vector<uint32_t> src(16, 0xFF336699u);
    for (uint32_t tint : {uint32_t(kNoColour), 0x00405060u}) {
        auto colours = [&](bool turned) {
            Surface s(12, 12, 0xFF000000u);
            if (turned)
                BlitKeyedRotated(s.target(), 2, 2, Src32(src, 4, 4), 90.0, 0.5, tint);
            else
                BlitKeyed(s.target(), 2, 2, Src32(src, 4, 4), 0.5, tint);
            std::set<uint32_t> seen(s.px.begin(), s.px.end());
            seen.erase(0xFF000000u);
            return seen;
        };
        EXPECT_EQ(colours(true), colours(false)) << tint;
        EXPECT_EQ(colours(true).size(), 1u) << tint;
    }
}

TEST(BlitRotated, QuarterTurnIsCounterClockwise) {
    // 10 × 10 with a marker below the centre; a 90 degree turn shows it right of the centre.
    std::vector<uint32_t> src(100, 0xFF000000u);
    src[size_t(6) * 10 + 5] = 0xFFFF0000u;  // one below the centre (5, 5)
    Surface s(14, 14, 0);
    BlitParams p = Block(7, 7, 10, 10, 90.0);
    EnginePicture pic = Pic32(src, 10, 10, 0);
    DrawImageEx(s.ds(), p, pic, 0, 0, 10, 10, 1.0, kNoColour);
    EXPECT_EQ(p.radius, 7);
    EXPECT_EQ(s.at(8, 7), 0xFFFF0000u);
    // The truncated sine (1023/1024) maps two neighbouring rows onto one source row: the
    // whole square follows the fixed-point walk exactly.
    for (int y = 0; y < 14; ++y) {
        for (int x = 0; x < 14; ++x) {
            int col, row;
            uint32_t want = RefNearest(90.0, 10, 10, x, y, col, row) ? src[row * 10 + col] : 0u;
            EXPECT_EQ(s.at(x, y), want) << x << "," << y;
        }
    }
}

// Alpha exactly 0 is in the rotated loop's faded regime with factor 0: towards the
// destination the covered opaque pixels keep (destination × 255) >> 8 (with a tint it paints
// the tint, as the fades of factor 0 show).
TEST(BlitRotated, AlphaZeroDimsTheCoveredPixelsTowardsTheDestination) {
    auto src = Pattern(8, 8, 2);
    Surface s(16, 16, 0xFF808080u);
    BlitRgbaRotated(s.target(), 0, 0, Src32(src, 8, 8), 45.0, 0.0, kNoColour);
    int dimmed = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int col, row;
            const bool covered =
                RefNearest(45.0, 8, 8, x, y, col, row) && (src[size_t(row) * 8 + col] >> 24);
            dimmed += covered;
            EXPECT_EQ(s.at(x, y), covered ? Px(127, 127, 127, 255) : 0xFF808080u) << x << "," << y;
        }
    }
    EXPECT_GT(dimmed, 30);
}

TEST(BlitEntry, ScalesByTenBitNearest) {
    const int W = 10, H = 10;
    auto src = Pattern(W, H);
    EnginePicture pic = Pic32(src, W, H, 0);
    for (int d : {20, 5, 7, 13}) {
        Surface s(d, d, 0);
        BlitParams p = Block((d + 1) / 2, (d + 1) / 2, d, d);
        DrawImageEx(s.ds(), p, pic, 0, 0, W, H, 1.0, kNoColour);
        const int step = (W << 10) / d;
        for (int y = 0; y < d; ++y) {
            for (int x = 0; x < d; ++x) {
                int sx = std::min((x * step) >> 10, W - 1), sy = std::min((y * step) >> 10, H - 1);
                ASSERT_EQ(s.at(x, y), src[size_t(sy) * W + sx]) << d << " " << x << "," << y;
            }
        }
    }
    // Scaled draws cut by the surface's edges and by a clip box, opaque and keyed.
    auto masked = Pattern(W, H, 1);
    EnginePicture keyed = Pic32(masked, W, H, PIC_KEYED);
    for (int variant = 0; variant < 4; ++variant) {
        const bool useKey = variant & 1;
        const int cx = (variant & 2) ? 2 : 14, cy = (variant & 2) ? 13 : 1;
        Surface s(16, 14, 0x55555555u);
        BlitParams p = Block(cx, cy, 17, 12, 0.0, BLIT_CLIP);
        p.clip = Rect{1, 0, 15, 12};
        DrawImageEx(s.ds(), p, useKey ? keyed : pic, 0, 0, W, H, 1.0, kNoColour);
        const int sx = (W << 10) / 17, sy = (H << 10) / 12;
        const int left = cx - 9, top = cy - 6;
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 16; ++x) {
                uint32_t want = 0x55555555u;
                int j = x - left, i = y - top;
                if (j >= 0 && j < 17 && i >= 0 && i < 12 && x >= 1 && x < 15 && y < 12) {
                    size_t k = size_t(std::min((i * sy) >> 10, H - 1)) * W +
                               std::min((j * sx) >> 10, W - 1);
                    uint32_t sp = useKey ? masked[k] : src[k];
                    if (!useKey || Ch(sp, 3)) want = sp;
                }
                ASSERT_EQ(s.at(x, y), want) << variant << " " << x << "," << y;
            }
        }
    }
    // 20 over 10 doubles each pixel, 5 over 10 takes every second one.
    Surface big(20, 20), small(5, 5);
    BlitParams pb = Block(10, 10, 20, 20), ps = Block(3, 3, 5, 5);
    DrawImageEx(big.ds(), pb, pic, 0, 0, W, H, 1.0, kNoColour);
    DrawImageEx(small.ds(), ps, pic, 0, 0, W, H, 1.0, kNoColour);
    EXPECT_EQ(big.at(13, 7), src[3 * W + 6]);
    EXPECT_EQ(small.at(4, 2), src[4 * W + 8]);
}

TEST(BlitEntry, SourceRectanglesFramesAndEdges) {
    const int W = 4, H = 3;
    auto src = Pattern(W, H * 3, 2);  // three frames
    EnginePicture pic = Pic32(src, W, H, PIC_ALPHA, 3);
    // Frame 2 at source y 6.
    Surface s(W, H, 0);
    BlitParams p = Block(2, 2, W, H);
    DrawImageEx(s.ds(), p, pic, 0, 6, W, H, 1.0, kNoColour);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            EXPECT_EQ(s.at(x, y), RefRgba(src[size_t(6 + y) * W + x], 0, 1.0, kNoColour, false));
        }
    }
    // Beyond the total height, past the right edge (unscaled alpha), negative origins.
    for (auto [sx, sy] :
         {std::pair{0, 9}, std::pair{0, 40}, std::pair{2, 0}, std::pair{-9, 0}, std::pair{0, -5}}) {
        Surface e(W, H, 0x01020304u);
        BlitParams q = Block(2, 2, W, H);
        DrawImageEx(e.ds(), q, pic, sx, sy, W, H, 1.0, kNoColour);
        for (uint32_t v : e.px) EXPECT_EQ(v, 0x01020304u) << sx << "," << sy;
    }
    // A negative origin of a keyed picture is clipped to the picture: the rest is drawn.
    EnginePicture keyed = Pic32(src, W, H, PIC_KEYED, 3);
    Surface k(8, 8, 0);
    BlitParams q = Block(4, 4, 8, 8);
    DrawImageEx(k.ds(), q, keyed, -4, -5, 8, 8, 1.0, kNoColour);
    // The block has the requested size, so the clipped 4 × 3 rectangle is drawn unscaled.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint32_t want = 0;
            if (x < W && y < H) {
                uint32_t sp = src[size_t(y) * W + x];
                want = Ch(sp, 3) ? sp : 0u;
            }
            EXPECT_EQ(k.at(x, y), want) << x << "," << y;
        }
    }
    // Extreme origins and block sizes draw nothing and overflow nothing.
    for (int v : {INT32_MIN, INT32_MAX}) {
        Surface e(W, H, 9);
        BlitParams q1 = Block(2, 2, W, H);
        DrawImageEx(e.ds(), q1, keyed, v, v, W, H, 1.0, kNoColour);
        BlitParams q2 = Block(v, v, W, H);
        DrawImageEx(e.ds(), q2, keyed, 0, 0, W, H, 1.0, kNoColour);
        BlitParams q3 = Block(2, 2, v, v, 45.0);
        DrawImageEx(e.ds(), q3, keyed, 0, 0, W, H, 1.0, kNoColour);
        // Either side alone past the largest block.
        BlitParams tall = Block(2, 2, W, (1 << 20) + 1), wide = Block(2, 2, (1 << 20) + 1, H);
        DrawImageEx(e.ds(), tall, keyed, 0, 0, W, H, 1.0, kNoColour);
        DrawImageEx(e.ds(), wide, keyed, 0, 0, W, H, 1.0, kNoColour);
        for (uint32_t px : e.px) EXPECT_EQ(px, 9u);
    }
    // A buffer smaller than its size claims is not read.
    EnginePicture liar = Pic32(src, W, H, 0, 3);
    liar.dataSize = 8;
    Surface l(W, H, 7);
    BlitParams r = Block(2, 2, W, H);
    DrawImageEx(l.ds(), r, liar, 0, 0, W, H, 1.0, kNoColour);
    for (uint32_t v : l.px) EXPECT_EQ(v, 7u);
}

// A source rectangle that starts at the picture's right edge or below its last row is cut
// to nothing: also a scaled draw of it draws nothing (sampling it would take the column or
// row just before the rectangle), for each picture form.
TEST(BlitEntry, AScaledSourceCutToNothingDrawsNothing) {
    const int W = 4, H = 3;
    auto src = Pattern(W, H, 2);
    std::vector<uint8_t> idx(size_t(W) * H, 1);
    std::vector<uint8_t> pal(kPaletteBytes, 200);
    for (uint32_t flags : {0u, uint32_t(PIC_KEYED), uint32_t(PIC_ALPHA)}) {
        EnginePicture pic = Pic32(src, W, H, flags);
        for (auto [sx, sy] : {std::pair{W, 0}, std::pair{0, H}}) {
            Surface e(8, 8, 0x01020304u);
            BlitParams q = Block(4, 4, 8, 8);
            DrawImageEx(e.ds(), q, pic, sx, sy, 2, 2, 1.0, kNoColour);
            for (uint32_t v : e.px) EXPECT_EQ(v, 0x01020304u) << flags << " " << sx << "," << sy;
        }
    }
    EnginePicture indexed;
    indexed.width = W;
    indexed.frameHeight = H;
    indexed.frameCount = 1;
    indexed.flags = PIC_OWN_PALETTE;
    indexed.pixels = idx.data();
    indexed.dataSize = uint32_t(idx.size());
    indexed.palette = pal.data();
    indexed.key = 256;
    Surface e(8, 8, 0x01020304u);
    BlitParams q = Block(4, 4, 8, 8);
    DrawImageEx(e.ds(), q, indexed, W, 0, 2, 2, 1.0, kNoColour);
    for (uint32_t v : e.px) EXPECT_EQ(v, 0x01020304u);
    // The same rectangle one column further in is drawn.
    DrawImageEx(e.ds(), q, indexed, W - 1, 0, 2, 2, 1.0, kNoColour);
    EXPECT_EQ(e.at(0, 0), 0xFFC8C8C8u);
}

// A block larger than the biggest scaled copy: the straight copy, which makes no copy,
// still draws what lies on the surface; a keyed picture, which would need the copy, does not.
TEST(BlitEntry, AStraightCopyScaledPastTheLargestCopyStillDraws) {
    std::vector<uint32_t> src = {0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu};
    const int side = 8193;  // 8193² pixels: more than 2²⁶
    for (uint32_t flags : {0u, uint32_t(PIC_KEYED)}) {
        EnginePicture pic = Pic32(src, 2, 2, flags);
        Surface s(4, 4, 7);
        BlitParams p = Block(side / 2 + 1, side / 2 + 1, side, side);  // top-left at (0, 0)
        DrawImageEx(s.ds(), p, pic, 0, 0, 2, 2, 1.0, kNoColour);
        for (uint32_t v : s.px) EXPECT_EQ(v, flags ? 7u : 0xFF112233u) << flags;
    }
    // The widest block drawn at all: 2²⁰ pixels; one more draws nothing.
    for (int wide : {1 << 20, (1 << 20) + 1}) {
        EnginePicture pic = Pic32(src, 2, 2, 0);
        Surface s(4, 4, 7);
        BlitParams p = Block((wide + 1) / 2, 2, wide, 4);  // top-left at (0, 0)
        DrawImageEx(s.ds(), p, pic, 0, 0, 2, 2, 1.0, kNoColour);
        EXPECT_EQ(s.at(0, 0), wide == 1 << 20 ? 0xFF112233u : 7u) << wide;
        EXPECT_EQ(s.at(3, 3), wide == 1 << 20 ? 0xFF778899u : 7u) << wide;
    }
}

TEST(BlitEntry, FrameRowsAreCountedInThirtyTwoBits) {
    // 3 frames of 30000 rows: the last frame starts at row 60000, beyond 16 bits.
    const int W = 1, H = 30000;
    std::vector<uint32_t> src(size_t(W) * H * 3, 0xFF000001u);
    src[size_t(60000)] = 0xFF00ABCDu;
    EnginePicture pic = Pic32(src, W, H, 0, 3);
    Surface s(1, 1, 0);
    BlitParams p = Block(1, 1, 1, 1);  // a 1 × 1 box centred at 1 starts at 0
    DrawImageEx(s.ds(), p, pic, 0, 60000, 1, 1, 1.0, kNoColour);
    EXPECT_EQ(s.px[0], 0xFF00ABCDu);
}

TEST(BlitEntry, ChoosesTheLoopByFormAngleAndFlags) {
    const int W = 6, H = 6;
    auto src = Pattern(W, H, 2);
    EnginePicture alphaPic = Pic32(src, W, H, PIC_ALPHA);
    // A small non-zero angle rotates a per-pixel-alpha picture (square box) ...
    Surface a(16, 16, 0), b(16, 16, 0);
    BlitParams pa = Block(8, 8, W, H, 0.4);
    DrawImageEx(a.ds(), pa, alphaPic, 0, 0, W, H, 1.0, kNoColour);
    BlitRgbaRotated(b.target(), 8 - pa.radius, 8 - pa.radius, Src32(src, W, H), 0.4, 1.0,
                    kNoColour);
    EXPECT_EQ(a.px, b.px);
    // ... but a mask picture uses the unrotated loop at the unrotated position.
    EnginePicture maskPic = Pic32(src, W, H, PIC_KEYED);
    Surface c(16, 16, 0), d(16, 16, 0);
    BlitParams pc = Block(8, 8, W, H, 0.4);
    DrawImageEx(c.ds(), pc, maskPic, 0, 0, W, H, 1.0, kNoColour);
    BlitKeyed(d.target(), 8 - 3, 8 - 3, Src32(src, W, H), 1.0, kNoColour);
    EXPECT_EQ(c.px, d.px);
    // Onto-opaque: transparent destination pixels stay.
    Surface o(W, H, 0);
    o.px[7] = 0xFF000000u;
    BlitParams po = Block(3, 3, W, H, 0.0, BLIT_ONTO_OPAQUE);
    DrawImageEx(o.ds(), po, alphaPic, 0, 0, W, H, 1.0, kNoColour);
    for (int i = 0; i < W * H; ++i) {
        EXPECT_EQ(o.px[i], i == 7 ? RefRgba(src[7], 0xFF000000u, 1.0, kNoColour, true) : 0u);
    }
}

TEST(BlitInvert, InvertsUnderCoveredPixelsOnly) {
    const int W = 5, H = 4;
    auto src = Pattern(W, H, 1);
    EnginePicture pic = Pic32(src, W, H, PIC_KEYED);
    for (int R : {RefRadius(W, H), 1}) {  // a stored radius of 1 is used as it stands
        Surface s(5, 4);
        for (int i = 0; i < 20; ++i) s.px[i] = Px(i * 10, 100, 255 - i, 30);
        Surface before = s;
        BlitParams p = Block(2, 2, W, H, 0.0, BLIT_INVERT);
        p.radius = R;
        DrawImageEx(s.ds(), p, pic, 0, 0, W, H, 0.5, kNoColour);
        // The walk at angle 0 covers the picture placed by its square's corner.
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                int col, row;
                uint32_t want = before.at(x, y);
                int j = x - (2 - R), i = y - (2 - R);
                if (RefNearest(0.0, W, H, j, i, col, row) && Ch(src[size_t(row) * W + col], 3)) {
                    want = Px(255 - Ch(want, 0), 255 - Ch(want, 1), 255 - Ch(want, 2), 255);
                }
                EXPECT_EQ(s.at(x, y), want) << R << ": " << x << "," << y;
            }
        }
    }
    // Alpha exactly 0 inverts nothing.
    Surface z(5, 4);
    for (int i = 0; i < 20; ++i) z.px[i] = Px(i * 10, 100, 255 - i, 30);
    Surface before = z;
    BlitParams pz = Block(2, 2, W, H, 0.0, BLIT_INVERT);
    DrawImageEx(z.ds(), pz, pic, 0, 0, W, H, 0.0, kNoColour);
    EXPECT_EQ(z.px, before.px);
}

}  // namespace
}  // namespace hqlv::engine
