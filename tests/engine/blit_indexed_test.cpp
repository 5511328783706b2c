// Palette loops, the bilinear rotation, the blend of the smooth loops and the point list.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/render/blitter.h"
#include "log_capture.h"
#include "render_ref.h"

namespace hqlv::engine {
namespace {

using namespace test;

std::vector<uint8_t> MakePalette() {
    std::vector<uint8_t> pal(kPaletteBytes);
    for (int i = 0; i < 256; ++i) {
        pal[i * 3] = uint8_t(i);              // R
        pal[i * 3 + 1] = uint8_t(255 - i);    // G
        pal[i * 3 + 2] = uint8_t(i * 7 + 1);  // B
    }
    return pal;
}
uint32_t PalColour(const std::vector<uint8_t>& pal, int i, int a) {
    return Px(pal[i * 3 + 2], pal[i * 3 + 1], pal[i * 3], a);
}

std::vector<uint8_t> Indexes(int w, int h) {
    std::vector<uint8_t> v(size_t(w) * h);
    for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t((i * 4) % 9);  // 0..8, so also 5
    return v;
}
std::vector<uint8_t> Pairs(int w, int h) {
    std::vector<uint8_t> v(size_t(w) * h * 2);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        v[2 * i] = uint8_t((i * 4) % 9);
        v[2 * i + 1] = uint8_t((i * 53 + 7) % 256);
    }
    return v;
}

std::vector<uint32_t> Background(int n) {
    std::vector<uint32_t> v(n);
    for (int i = 0; i < n; ++i) v[i] = Px(i * 5, 77, 255 - i, i % 3 == 0 ? 0 : 255);
    return v;
}

uint32_t RefIndexed(int idx, uint32_t d, const std::vector<uint8_t>& pal, int key, double alpha,
                    uint32_t tint) {
    if (idx == key) return d;
    uint32_t c = PalColour(pal, idx, 0);
    if (alpha >= 1.0) return c | 0xFF000000u;
    if (!(alpha > 0.0)) return d;
    int f = int(alpha * 255);
    bool tinted = (tint & 0xFFFFFF) != 0xFF00FF;
    return RefFade(c, tinted ? RefColorRef(tint, 0) : d, f, 255);
}

// The rules of the index + alpha loops; `rotated` draws every a != 0 with a tint.
uint32_t RefPair(int idx, int a, uint32_t d, const std::vector<uint8_t>& pal, int key, double alpha,
                 uint32_t tint, bool onto, bool rotated) {
    if (idx == key) return d;
    const bool tinted = (tint & 0xFFFFFF) != 0xFF00FF;
    const bool faded = alpha > 0 && alpha < 1;
    if (alpha == 0.0 && (rotated || !tinted)) return d;
    const int k = faded ? (a * (int(alpha * 255) & 255)) / 256 : a;
    const int da = Ch(d, 3);
    const uint32_t c = PalColour(pal, idx, 0);
    if (tinted) {
        if (rotated ? a == 0 : a < int(tint >> 24)) return d;
        if (onto && da != 255) return d;
        return RefFade(c, RefColorRef(tint, 0), k, 255);
    }
    if (a == 0) return d;
    if (onto) return da == 255 ? RefFade(c, d, k, 255) : d;
    if (da == 0) return c | (uint32_t(k) << 24);
    return RefFade(c, d, k, std::max(da, k));
}

TEST(BlitIndexed, OneByteSamplesWithKeyAlphaAndTint) {
    auto pal = MakePalette();
    const int W = 7, H = 5;
    auto idx = Indexes(W, H);
    BlitSource src{idx.data(), W, H, 0, 0, W, H};
    for (uint32_t key : {5u, 256u, 0xFFFFFFFFu}) {
        for (double alpha : {1.0, 0.4, 0.0}) {
            for (uint32_t tint : {uint32_t(kNoColour), 0x00ABCDEFu}) {
                Surface s(W, H);
                s.px = Background(W * H);
                BlitIndexed(s.target(), 0, 0, src, key, pal.data(), alpha, tint);
                auto bg = Background(W * H);
                for (int i = 0; i < W * H; ++i) {
                    ASSERT_EQ(s.px[i], RefIndexed(idx[i], bg[i], pal, key < 256 ? int(key) : -1,
                                                  alpha, tint))
                        << key << " " << alpha << " " << i;
                }
            }
        }
    }
}

TEST(BlitIndexed, PairsEveryRegimeAndThreshold) {
    auto pal = MakePalette();
    const int W = 9, H = 7;
    auto pairs = Pairs(W, H);
    BlitSource src{pairs.data(), W, H, 0, 0, W, H};
    for (bool onto : {false, true}) {
        for (double alpha : {1.0, 0.6, 0.0, -2.0}) {
            for (uint32_t tint : {uint32_t(kNoColour), 0x00102030u, 0x80102030u}) {
                Surface s(W, H);
                s.px = Background(W * H);
                if (onto) {
                    BlitIndexedAlphaOntoOpaque(s.target(), 0, 0, src, 5, pal.data(), alpha, tint);
                } else {
                    BlitIndexedAlpha(s.target(), 0, 0, src, 5, pal.data(), alpha, tint);
                }
                auto bg = Background(W * H);
                for (int i = 0; i < W * H; ++i) {
                    ASSERT_EQ(s.px[i], RefPair(pairs[2 * i], pairs[2 * i + 1], bg[i], pal, 5, alpha,
                                               tint, onto, false))
                        << onto << " " << alpha << " " << std::hex << tint << std::dec << " " << i;
                }
            }
        }
    }
    // Threshold 128: alpha 128 drawn, 127 skipped (the 32-bit loop skips both).
    std::vector<uint8_t> two{1, 128, 1, 127};
    Surface t(2, 1, 0xFF000000u);
    BlitIndexedAlpha(t.target(), 0, 0, BlitSource{two.data(), 2, 1, 0, 0, 2, 1}, 256, pal.data(),
                     1.0, 0x80FFFFFFu);
    EXPECT_NE(t.px[0], 0xFF000000u);
    EXPECT_EQ(t.px[1], 0xFF000000u);
}

TEST(BlitIndexed, RotatedLoopsFollowTheWalk) {
    auto pal = MakePalette();
    const int W = 8, H = 5;
    auto idx = Indexes(W, H);
    auto pairs = Pairs(W, H);
    for (double angle : {90.0, 47.0, -200.0}) {
        for (int form = 0; form < 2; ++form) {
            for (uint32_t tint : {uint32_t(kNoColour), 0x00202020u}) {
                const double alpha = 0.7;
                Surface s(20, 20);
                s.px = Background(400);
                auto bg = s.px;
                Rect clip{1, 3, 19, 18};
                if (form == 0) {
                    BlitIndexedRotated(s.target(clip), 1, 1,
                                       BlitSource{idx.data(), W, H, 0, 0, W, H}, 5, pal.data(),
                                       angle, alpha, tint);
                } else {
                    BlitIndexedAlphaRotated(s.target(clip), 1, 1,
                                            BlitSource{pairs.data(), W, H, 0, 0, W, H}, 5,
                                            pal.data(), angle, alpha, tint);
                }
                const int R = RefRadius(W, H);
                for (int y = 0; y < 20; ++y) {
                    for (int x = 0; x < 20; ++x) {
                        uint32_t want = bg[size_t(y) * 20 + x];
                        int col, row, j = x - 1, i = y - 1;
                        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom &&
                            j < 2 * R && i < 2 * R && j >= 0 && i >= 0 &&
                            RefNearest(angle, W, H, j, i, col, row)) {
                            size_t k = size_t(row) * W + col;
                            want = form == 0 ? RefIndexed(idx[k], want, pal, 5, alpha, tint)
                                             : RefPair(pairs[2 * k], pairs[2 * k + 1], want, pal, 5,
                                                       alpha, tint, false, true);
                        }
                        ASSERT_EQ(s.at(x, y), want) << angle << " " << form << " " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(BlitIndexed, EntryDrawsPalettePicturesAndRefusesMissingPalettes) {
    auto pal = MakePalette();
    auto idx = Indexes(4, 4);
    EnginePicture pic;
    pic.width = 4;
    pic.frameHeight = 4;
    pic.frameCount = 1;
    pic.flags = PIC_OWN_PALETTE | PIC_KEYED;
    pic.key = 5;
    pic.pixels = idx.data();
    pic.dataSize = 16;
    pic.palette = pal.data();
    // Scaled to 8 × 8 through the palette scaler.
    Surface s(8, 8, 0);
    BlitParams p;
    p.drawX = p.drawY = p.centreX = p.centreY = 4;
    p.width = p.height = 8;
    DrawImageEx(s.ds(), p, pic, 0, 0, 4, 4, 1.0, kNoColour);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(s.at(x, y), RefIndexed(idx[(y / 2) * 4 + x / 2], 0, pal, 5, 1.0, kNoColour));
        }
    }
    // No palette: a log line and nothing drawn.
    test::LogCapture log;
    pic.palette = nullptr;
    Surface n(8, 8, 3);
    DrawImageEx(n.ds(), p, pic, 0, 0, 4, 4, 1.0, kNoColour);
    EXPECT_NE(log.text().find("256color pic without rgbquad!"), std::string::npos);
    for (uint32_t v : n.px) EXPECT_EQ(v, 3u);

    // Index + alpha pairs: scaled draws go through the palette scaler; an unscaled source
    // rectangle cut at the picture's edge draws nothing.
    auto pairs = Pairs(4, 4);
    EnginePicture pp;
    pp.width = pp.frameHeight = 4;
    pp.frameCount = 1;
    pp.flags = PIC_OWN_PALETTE | PIC_ALPHA;
    pp.key = 256;
    pp.pixels = pairs.data();
    pp.dataSize = 32;
    pp.palette = pal.data();
    Surface sp(8, 8, 0);
    BlitParams p8 = p;
    DrawImageEx(sp.ds(), p8, pp, 0, 0, 4, 4, 1.0, kNoColour);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            size_t k = size_t(y / 2) * 4 + x / 2;
            EXPECT_EQ(sp.at(x, y), RefPair(pairs[2 * k], pairs[2 * k + 1], 0, pal, -1, 1.0,
                                           kNoColour, false, false));
        }
    }
    Surface cut(4, 4, 6);
    BlitParams p4;
    p4.drawX = p4.drawY = p4.centreX = p4.centreY = 2;
    p4.width = p4.height = 4;
    DrawImageEx(cut.ds(), p4, pp, 1, 0, 4, 4, 1.0, kNoColour);
    for (uint32_t v : cut.px) EXPECT_EQ(v, 6u);

    // Invert under an index picture: key samples leave the destination.
    pic.palette = pal.data();
    Surface inv(4, 4, 0x00102030u);
    BlitParams pi;
    pi.drawX = pi.drawY = pi.centreX = pi.centreY = 2;
    pi.width = pi.height = 4;
    pi.flags = BLIT_INVERT;
    pi.radius = RefRadius(4, 4);
    DrawImageEx(inv.ds(), pi, pic, 0, 0, 4, 4, 1.0, kNoColour);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            int col, row;
            bool cov = RefNearest(0.0, 4, 4, x - 2 + pi.radius, y - 2 + pi.radius, col, row) &&
                       idx[row * 4 + col] != 5;
            EXPECT_EQ(inv.at(x, y), cov ? 0xFFEFDFCFu : 0x00102030u) << x << "," << y;
        }
    }
}

TEST(BlitSmooth, BlendPixelRules) {
    // f 255 and colour alpha 255 give k 254.
    uint32_t c = Px(200, 100, 50, 255);
    EXPECT_EQ(BlendPixel(Px(10, 20, 30, 255), c, 255), RefFade(c, Px(10, 20, 30, 0), 254, 255));
    EXPECT_EQ(BlendPixel(0, c, 255), Px(200, 100, 50, 254));
    EXPECT_EQ(BlendPixel(Px(10, 20, 30, 250), Px(1, 2, 3, 40), 128),
              RefFade(Px(1, 2, 3, 0), Px(10, 20, 30, 0), 20, 250));
    // A weight of 0 still blends: onto a pixel of some alpha it is dimmed to (d × 255) >> 8
    // and keeps its alpha, onto a transparent one the colour comes with alpha 0.
    EXPECT_EQ(BlendPixel(Px(10, 20, 30, 255), Px(1, 2, 3, 0), 255), Px(9, 19, 29, 255));
    EXPECT_EQ(BlendPixel(Px(10, 20, 30, 40), c, 0), Px(9, 19, 29, 40));
    EXPECT_EQ(BlendPixel(Px(10, 20, 30, 0), Px(1, 2, 3, 0), 255), Px(1, 2, 3, 0));
}

// Per-channel bilinear reference of one destination pixel; returns false when not covered.
// `at` reads the whole buffer (stride × rows); the source rectangle starts at (sx, sy).
bool RefSmooth(double angle, int sw, int sh, int stride, int rows, int j, int i,
               const std::function<uint32_t(int, int)>& at, uint32_t& out, int sx = 0, int sy = 0) {
    int64_t c = int64_t(std::cos(angle * 3.14159 / 180.0) * 65536.0);
    int64_t s = int64_t(std::sin(angle * 3.14159 / 180.0) * 65536.0);
    int R = RefRadius(sw, sh);
    int64_t dx = j - R, dy = R - i;
    int64_t X = (int64_t(sw + 1) * 32768) + dx * c + dy * s;
    int64_t Y = (int64_t(sh + 1) * 32768) - (dy * c - dx * s);
    int64_t col = X >= 0 ? X / 65536 : -((-X + 65535) / 65536);
    int64_t row = Y >= 0 ? Y / 65536 : -((-Y + 65535) / 65536);
    if (col < 0 || col >= sw || row < 0 || row >= sh) return false;
    int px = sx + int(col), py = sy + int(row);
    if (px == 0 || py == 0 || px == stride - 1 || py == rows - 1) {
        out = at(px, py);
        return true;
    }
    int fx = int((X / 256) % 256), fy = int((Y / 256) % 256);
    int w11 = fx * fy / 256, w01 = fx - w11, w10 = fy - w11, w00 = 256 - w01 - w10 - w11;
    uint32_t p[4] = {at(px, py), at(px + 1, py), at(px, py + 1), at(px + 1, py + 1)};
    int w[4] = {w00, w01, w10, w11};
    int chans[4];
    for (int ch = 0; ch < 4; ++ch) {
        int sum = 0;
        for (int k = 0; k < 4; ++k) sum += Ch(p[k], ch) * w[k];
        chans[ch] = (sum / 256) & 255;
    }
    out = Px(chans[0], chans[1], chans[2], chans[3]);
    return true;
}

uint32_t RefBlend(uint32_t d, uint32_t c, int f) {
    int k = f * Ch(c, 3) / 256;
    if (Ch(d, 3) == 0) return (c & 0xFFFFFF) | (uint32_t(k) << 24);
    return RefFade(c, d, k, std::max(Ch(d, 3), k));
}

TEST(BlitSmooth, AllThreeFormsMatchTheReference) {
    auto pal = MakePalette();
    const int W = 9, H = 7;
    auto rgba = Pattern(W, H, 2);
    auto idx = Indexes(W, H);
    auto pairs = Pairs(W, H);
    for (double angle : {30.0, 90.0, -77.0}) {
        for (int form = 0; form < 3; ++form) {
            for (double alpha : {1.0, 0.5}) {
                Surface s(20, 20);
                s.px = Background(400);
                auto bg = s.px;
                Rect clip{0, 2, 18, 20};
                std::function<uint32_t(int, int)> at;
                if (form == 0) {
                    BlitRgbaSmoothRotated(s.target(clip), 1, 0, Src32(rgba, W, H), angle, alpha,
                                          0x123456);
                    at = [&](int x, int y) { return rgba[size_t(y) * W + x]; };
                } else if (form == 1) {
                    BlitIndexedSmoothRotated(s.target(clip), 1, 0,
                                             BlitSource{idx.data(), W, H, 0, 0, W, H}, pal.data(),
                                             angle, alpha, kNoColour);
                    at = [&](int x, int y) { return PalColour(pal, idx[size_t(y) * W + x], 255); };
                } else {
                    BlitIndexedAlphaSmoothRotated(s.target(clip), 1, 0,
                                                  BlitSource{pairs.data(), W, H, 0, 0, W, H},
                                                  pal.data(), angle, alpha, kNoColour);
                    at = [&](int x, int y) {
                        size_t k = size_t(y) * W + x;
                        return PalColour(pal, pairs[2 * k], pairs[2 * k + 1]);
                    };
                }
                const int R = RefRadius(W, H), f = int(alpha * 255);
                for (int y = 0; y < 20; ++y) {
                    for (int x = 0; x < 20; ++x) {
                        uint32_t want = bg[size_t(y) * 20 + x], colour;
                        int j = x - 1, i = y;
                        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom &&
                            j >= 0 && j < 2 * R && i < 2 * R &&
                            RefSmooth(angle, W, H, W, H, j, i, at, colour)) {
                            want = RefBlend(want, colour, f);
                        }
                        ASSERT_EQ(s.at(x, y), want)
                            << angle << " form " << form << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// A source rectangle in the middle of a strip: the walk reads the rectangle's own rows, and
// only the buffer's outer rows and columns are taken unfiltered, so the rectangle's edge rows
// are filtered with their neighbours from the frames around it.
TEST(BlitSmooth, FrameInsideAStripFiltersAcrossTheFrameEdge) {
    const int W = 9, H = 6, ROWS = 3 * H;
    auto rgba = Pattern(W, ROWS, 2);
    for (double angle : {25.0, 90.0, -160.0}) {
        Surface s(20, 20);
        s.px = Background(400);
        auto bg = s.px;
        const BlitSource src{
            reinterpret_cast<const uint8_t*>(rgba.data()), W, ROWS, 1, H, W - 1, H};
        BlitRgbaSmoothRotated(s.target(), 2, 1, src, angle, 1.0, kNoColour);
        const int R = RefRadius(W - 1, H);
        auto at = [&](int x, int y) { return rgba[size_t(y) * W + x]; };
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                uint32_t want = bg[size_t(y) * 20 + x], colour;
                const int j = x - 2, i = y - 1;
                if (j >= 0 && i >= 0 && j < 2 * R && i < 2 * R &&
                    RefSmooth(angle, W - 1, H, W, ROWS, j, i, at, colour, 1, H)) {
                    want = RefBlend(want, colour, 255);
                }
                ASSERT_EQ(s.at(x, y), want) << angle << " at " << x << "," << y;
            }
        }
    }
}

TEST(BlitSmooth, EntryPicksSmoothOnlyForWholeAngles) {
    auto pal = MakePalette();
    auto idx = Indexes(6, 6);
    EnginePicture pic;
    pic.width = pic.frameHeight = 6;
    pic.frameCount = 1;
    pic.flags = PIC_OWN_PALETTE;
    pic.key = 256;
    pic.pixels = idx.data();
    pic.dataSize = 36;
    pic.palette = pal.data();
    BlitParams p;
    p.drawX = p.drawY = p.centreX = p.centreY = 5;
    p.width = p.height = 6;
    p.angle = 0.5;
    p.flags = BLIT_SMOOTH;
    Surface a(10, 10, 0), b(10, 10, 0);
    DrawImageEx(a.ds(), p, pic, 0, 0, 6, 6, 1.0, kNoColour);
    BlitIndexed(b.target(), 2, 2, BlitSource{idx.data(), 6, 6, 0, 0, 6, 6}, 256, pal.data(), 1.0,
                kNoColour);
    EXPECT_EQ(a.px, b.px);
}

TEST(PointList, DrawsInsideTheAreaWithAlphaRules) {
    PointNode n3{9, 9, Px(1, 2, 3, 255), nullptr};  // outside the area
    PointNode n2{4, 3, Px(200, 100, 50, 100), &n3};
    PointNode n1{2, 2, Px(10, 20, 30, 255), &n2};
    PointNode n0{50, 2, Px(10, 20, 30, 255), &n1};  // inside the area, off the surface
    for (double alpha : {1.0, 0.5, 0.0}) {
        Surface s(6, 6, Px(90, 90, 90, 10));
        DrawPointList(s.ds(), 1, 1, Rect{0, 0, 60, 8}, &n0, alpha);
        const int f = int(alpha * 255);
        uint32_t bg = Px(90, 90, 90, 10);
        uint32_t want1 = f == 255 ? n1.colour : RefFade(n1.colour, bg, f * 255 / 256, 255);
        int k2 = f == 255 ? 100 : f * 100 / 256;
        uint32_t want2 = RefFade(n2.colour, bg, k2, 255);
        // At alpha 0 both fade with k = 0: the pixel dimmed to (bg × 255) >> 8, made opaque.
        if (f == 0) {
            EXPECT_EQ(want1, Px(89, 89, 89, 255));
        }
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 6; ++x) {
                uint32_t want = (x == 1 && y == 1) ? want1 : (x == 3 && y == 2) ? want2 : bg;
                EXPECT_EQ(s.at(x, y), want) << alpha << " " << x << "," << y;
            }
        }
    }
    // Area edges bound the points, and a point left of the surface is not drawn on the row above.
    const uint32_t white = Px(255, 255, 255, 255);
    PointNode e5{6, 3, white, nullptr};  // in the area, right of the surface
    PointNode e4{-1, 3, white, &e5};     // in the area, left of the surface
    PointNode e3{1, 4, white, &e4};      // on the area's bottom edge
    PointNode e2{1, 1, white, &e3};      // above the area
    PointNode e1{5, 3, white, &e2};
    PointNode e0{2, 2, white, &e1};
    Surface s(6, 6, 0);
    DrawPointList(s.ds(), 0, 0, Rect{-5, 2, 10, 4}, &e0, 1.0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(s.at(x, y), (x == 2 && y == 2) || (x == 5 && y == 3) ? white : 0u)
                << x << "," << y;
    // The area's right edge is outside it too.
    PointNode r0{3, 2, white, nullptr};
    Surface t(6, 6, 0);
    DrawPointList(t.ds(), 0, 0, Rect{0, 0, 3, 6}, &r0, 1.0);
    EXPECT_EQ(t.at(3, 2), 0u);
}

// The invert walk over palette samples: a sample covers its pixel unless its index is the
// key, and in the index + alpha form also unless its alpha is 0 (each condition alone keeps
// the pixel). At angle 0 the walk puts source (c, 0) of a 3 × 1 picture at (c, 1).
TEST(BlitIndexed, InvertCoversUnlessKeyedOrClear) {
    const auto pal = MakePalette();
    const std::vector<uint8_t> pairs = {5, 200, 3, 0, 4, 9};
    const std::vector<uint8_t> one = {5, 3, 4};
    const uint32_t bg = 0x00102030u, inverted = 0xFFEFDFCFu;
    Surface s(4, 3, bg);
    InvertUnderIndexed(s.target(), 0, 0, BlitSource{pairs.data(), 3, 1, 0, 0, 3, 1}, true, 5,
                       pal.data(), 0.0);
    EXPECT_EQ(s.at(0, 1), bg);  // the key, however opaque
    EXPECT_EQ(s.at(1, 1), bg);  // alpha 0
    EXPECT_EQ(s.at(2, 1), inverted);
    Surface t(4, 3, bg);
    InvertUnderIndexed(t.target(), 0, 0, BlitSource{one.data(), 3, 1, 0, 0, 3, 1}, false, 5,
                       pal.data(), 0.0);
    EXPECT_EQ(t.at(0, 1), bg);
    EXPECT_EQ(t.at(1, 1), inverted);
    EXPECT_EQ(t.at(2, 1), inverted);
    EXPECT_EQ(std::count(t.px.begin(), t.px.end(), inverted), 2);
}

// Every palette loop draws nothing without a palette.
TEST(BlitIndexed, NoPaletteDrawsNothing) {
    auto idx = Indexes(4, 4);
    auto pairs = Pairs(4, 4);
    const BlitSource one{idx.data(), 4, 4, 0, 0, 4, 4}, two{pairs.data(), 4, 4, 0, 0, 4, 4};
    for (int loop = 0; loop < 6; ++loop) {
        Surface s(6, 6, 7);
        const BlitTarget t = s.target();
        switch (loop) {
            case 0:
                BlitIndexed(t, 1, 1, one, 5, nullptr, 1.0, kNoColour);
                break;
            case 1:
                BlitIndexedRotated(t, 0, 0, one, 5, nullptr, 30.0, 1.0, kNoColour);
                break;
            case 2:
                BlitIndexedAlpha(t, 1, 1, two, 5, nullptr, 1.0, kNoColour);
                break;
            case 3:
                BlitIndexedAlphaOntoOpaque(t, 1, 1, two, 5, nullptr, 1.0, kNoColour);
                break;
            case 4:
                BlitIndexedSmoothRotated(t, 0, 0, one, nullptr, 30.0, 1.0, kNoColour);
                break;
            default:
                BlitIndexedAlphaSmoothRotated(t, 0, 0, two, nullptr, 30.0, 1.0, kNoColour);
        }
        for (uint32_t v : s.px) ASSERT_EQ(v, 7u) << "loop " << loop;
    }
}

}  // namespace
}  // namespace hqlv::engine
