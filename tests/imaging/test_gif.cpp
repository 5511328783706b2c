#include <gtest/gtest.h>

#include "gif_writer.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

std::vector<uint8_t> palette(int n, int seed) {
    std::vector<uint8_t> p;
    for (int i = 0; i < n; ++i) {
        const RGBQUAD c = colourAt(i, seed, seed);
        p.push_back(c.rgbRed);
        p.push_back(c.rgbGreen);
        p.push_back(c.rgbBlue);
    }
    return p;
}

// A logical screen of w x h with a global table of `colours` entries.
GifSpec screen(uint32_t w, uint32_t h, int colours, int seed) {
    GifSpec s{.width = w, .height = h, .globalPalette = palette(colours, seed)};
    return s;
}

GifFrame frame(uint32_t w, uint32_t h, int colours, int seed = 0) {
    GifFrame f{.width = w, .height = h};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            f.index.push_back(static_cast<uint8_t>(((x / 3) * 7 + y * 3 + seed) % colours));
    return f;
}

bool decode(CRaster& img, const Bytes& data, uint32_t id = RASTER_FORMAT_GIF) {
    return decodeAs(img, data, id);
}

RGBQUAD palColour(const std::vector<uint8_t>& p, int i) {
    RGBQUAD c;
    c.rgbRed = p[3 * i];
    c.rgbGreen = p[3 * i + 1];
    c.rgbBlue = p[3 * i + 2];
    return c;
}

// The canvas of frame `base` with frame `over` drawn at its place: over's pixels inside it,
// base's everywhere else.
void expectDrawnOver(const CRaster& img, const GifFrame& base, const GifFrame& over) {
    for (uint32_t y = 0; y < base.height; ++y)
        for (uint32_t x = 0; x < base.width; ++x) {
            const bool inside = x >= over.left && x < over.left + over.width && y >= over.top &&
                                y < over.top + over.height;
            const uint8_t want = inside ? over.index[(y - over.top) * over.width + x - over.left]
                                        : base.index[y * base.width + x];
            ASSERT_EQ(img.GetPixelIndex(static_cast<int>(x), static_cast<int>(base.height - 1 - y)),
                      want)
                << "frame at " << over.left << "," << over.top << " pixel " << x << "," << y;
        }
}

}  // namespace

TEST(Gif, SinglePicturesAtEachDepthAndInterlaced) {
    for (int colours : {2, 16, 256}) {
        for (bool inter : {false, true}) {
            GifSpec s{.width = 37, .height = 23, .globalPalette = palette(colours, 1)};
            s.frames.push_back(frame(37, 23, colours));
            s.frames[0].interlace = inter;
            CRaster img;
            ASSERT_TRUE(decode(img, makeGif(s))) << colours << inter;
            EXPECT_EQ(img.GetBpp(), colours == 2 ? 1u : colours == 16 ? 4u : 8u);
            EXPECT_EQ(img.GetNumFrames(), 1);
            for (uint32_t y = 0; y < 23; ++y)
                for (uint32_t x = 0; x < 37; ++x) {
                    const uint8_t want = s.frames[0].index[y * 37 + x];
                    ASSERT_EQ(img.GetPixelIndex(static_cast<int>(x), static_cast<int>(22 - y)),
                              want)
                        << x << "," << y;
                    ASSERT_TRUE(sameRgb(topPixel(img, static_cast<int>(x), static_cast<int>(y)),
                                        palColour(s.globalPalette, want)));
                }
        }
    }
}

TEST(Gif, InterlacedSmallHeightsPlaceEveryLine) {
    for (uint32_t h = 1; h <= 9; ++h) {
        GifSpec s = screen(3, h, 16, 2);
        GifFrame f{.width = 3, .height = h, .interlace = true};
        for (uint32_t y = 0; y < h; ++y)
            f.index.insert(f.index.end(), {uint8_t(y), uint8_t(y), uint8_t(y)});
        s.frames.push_back(f);
        CRaster img;
        ASSERT_TRUE(decode(img, makeGif(s)));
        for (uint32_t y = 0; y < h; ++y)
            EXPECT_EQ(img.GetPixelIndex(1, static_cast<int>(h - 1 - y)), y) << h;
    }
}

TEST(Gif, LongRunsUseTheNextFreeCode) {
    GifSpec s = screen(300, 40, 4, 3);
    // One colour: every code after the first is the free slot.
    GifFrame f{.width = 300, .height = 40, .index = std::vector<uint8_t>(300 * 40, 2)};
    for (int i = 0; i < 300 * 40; i += 97) f.index[static_cast<size_t>(i)] = 1;
    s.frames.push_back(f);
    CRaster img;
    ASSERT_TRUE(decode(img, makeGif(s)));
    for (uint32_t i = 0; i < 300 * 40; ++i)
        ASSERT_EQ(img.GetPixelIndex(static_cast<int>(i % 300), static_cast<int>(39 - i / 300)),
                  f.index[i])
            << i;
}

TEST(Gif, AnimationFramesDelaysDisposalAndTransparency) {
    GifSpec s = screen(8, 6, 16, 4);
    GifFrame bg = frame(8, 6, 15);
    bg.gce = bg.transparent = true;
    bg.delay = 10;
    bg.transIndex = 15;
    const GifFrame patch{.left = 2,
                         .top = 1,
                         .width = 3,
                         .height = 2,
                         .index = {15, 5, 15, 6, 6, 6},  // 15 = see-through
                         .gce = true,
                         .disposal = 2,
                         .delay = 20,
                         .transparent = true,
                         .transIndex = 15};
    const GifFrame third{.width = 1,
                         .height = 1,
                         .index = {9},
                         .gce = true,
                         .delay = 30,
                         .transparent = true,
                         .transIndex = 15};
    s.frames = {bg, patch, third};
    const Bytes data = makeGif(s);

    CRaster all;
    all.SetRetrieveAllFrames(true);
    all.SetFrame(2);
    ASSERT_TRUE(decode(all, data));
    ASSERT_EQ(all.GetNumFrames(), 3);
    ASSERT_NE(all.GetFrame(0), nullptr);
    EXPECT_EQ(all.GetFrame(-1), all.GetFrame(2));
    EXPECT_EQ(all.GetFrame(3), nullptr);
    EXPECT_EQ(all.GetFrame(0)->GetFrameDelay(), 10u);
    EXPECT_EQ(all.GetFrame(1)->GetFrameDelay(), 20u);
    EXPECT_EQ(all.GetFrame(2)->GetFrameDelay(), 30u);
    const CRaster& f1 = *all.GetFrame(1);
    EXPECT_EQ(f1.GetWidth(), 8u);
    EXPECT_EQ(f1.GetTransIndex(), 15);
    // Frame 1: the background shows through the patch's transparent pixels.
    EXPECT_EQ(topPixel(f1, 2, 1).rgbRed, palColour(s.globalPalette, bg.index[1 * 8 + 2]).rgbRed);
    EXPECT_EQ(f1.GetPixelIndex(3, 6 - 1 - 1), 5);
    EXPECT_EQ(f1.GetPixelIndex(4, 6 - 1 - 2), 6);
    EXPECT_EQ(f1.GetPixelIndex(0, 0), bg.index[5 * 8]);
    // Frame 2: the patch's disposal 2 cleared the whole canvas to the transparent index.
    const CRaster& f2 = *all.GetFrame(2);
    EXPECT_EQ(f2.GetPixelIndex(0, 5), 9);
    EXPECT_EQ(f2.GetPixelIndex(3, 4), 15);
    EXPECT_EQ(f2.GetPixelIndex(7, 0), 15);

    CRaster second;
    second.SetFrame(1);
    ASSERT_TRUE(decode(second, data));
    EXPECT_EQ(second.GetPixelIndex(3, 4), 5);
    EXPECT_EQ(second.GetFrameDelay(), 20u);
    EXPECT_EQ(second.GetFrame(0), nullptr);  // frames are kept only when asked for

    CRaster beyond;
    beyond.SetFrame(3);
    EXPECT_FALSE(decode(beyond, data));
    EXPECT_EQ(beyond.GetNumFrames(), 3);
}

TEST(Gif, LocalTablesKeepEarlierColours) {
    // Frame 0 uses the global table; frame 1 covers part of the canvas with a table of its own.
    GifSpec s = screen(6, 4, 4, 5);
    GifFrame a = frame(6, 4, 4);
    GifFrame b{.left = 3, .width = 3, .height = 4, .localPalette = palette(4, 9)};
    for (size_t i = 0; i < 12; ++i) b.index.push_back(static_cast<uint8_t>(i % 4));
    s.frames = {a, b};
    CRaster img;
    img.SetFrame(1);
    ASSERT_TRUE(decode(img, makeGif(s)));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x) {
            const RGBQUAD want = x < 3 ? palColour(s.globalPalette, a.index[y * 6 + x])
                                       : palColour(b.localPalette, b.index[y * 3 + x - 3]);
            ASSERT_TRUE(sameRgb(topPixel(img, static_cast<int>(x), static_cast<int>(y)), want))
                << x << "," << y << " "
                << rgbText(topPixel(img, static_cast<int>(x), static_cast<int>(y)));
        }
}

TEST(Gif, OddStructures) {
    // A zero-sized frame is skipped, its data consumed.
    GifSpec s = screen(4, 4, 4, 6);
    const GifFrame empty{.height = 3};
    GifFrame good = frame(4, 4, 4, 1);
    s.frames = {empty, good};
    CRaster img;
    ASSERT_TRUE(decode(img, makeGif(s)));
    EXPECT_EQ(img.GetNumFrames(), 1);
    EXPECT_EQ(img.GetPixelIndex(2, 1), good.index[2 * 4 + 2]);

    // A logical screen of 0 x 0 takes the first image's size.
    GifSpec z{.globalPalette = palette(4, 7), .frames = {frame(5, 2, 4)}};
    CRaster zi;
    ASSERT_TRUE(decode(zi, makeGif(z)));
    EXPECT_EQ(zi.GetWidth(), 5u);

    // Signature and requested frame errors; dimension query.
    Bytes bad = makeGif(s);
    bad[3] = '7';
    bad[2] = 'X';
    CRaster b;
    EXPECT_FALSE(decode(b, bad));
    CRaster q;
    q.SetEscape(-1);
    ASSERT_TRUE(decode(q, makeGif(s)));
    EXPECT_EQ(q.GetWidth(), 4u);
    EXPECT_FALSE(q.IsValid());

    // A control block whose size byte is not 4 ends decoding after the frames read so far.
    GifSpec two = screen(2, 2, 4, 8);
    two.frames = {frame(2, 2, 4), frame(2, 2, 4, 2)};
    Bytes d = makeGif(two);
    Bytes broken(d.begin(), d.end() - 1);
    broken.insert(broken.end(), {0x21, 0xF9, 3, 0, 0, 0, 0, ';'});
    CRaster br;
    br.SetFrame(1);
    ASSERT_TRUE(decode(br, broken));
    EXPECT_EQ(br.GetPixelIndex(0, 1), two.frames[1].index[0]);

    // Truncated data keeps what was decoded; the rest of the frame stays zero.
    GifSpec big = screen(40, 40, 16, 9);
    big.frames = {frame(40, 40, 16)};
    Bytes cut = makeGif(big);
    cut.resize(cut.size() - 20);
    CRaster c;
    ASSERT_TRUE(decode(c, cut));
    EXPECT_EQ(c.GetPixelIndex(5, 39), big.frames[0].index[5]);
    EXPECT_EQ(c.GetPixelIndex(39, 0), 0);
}

// The first frame enlarges a screen too small for it; a later frame that reaches beyond the
// screen is counted and drawn clipped.
TEST(Gif, FramesBeyondTheScreen) {
    GifSpec one = screen(4, 4, 16, 3);
    GifFrame big = frame(6, 6, 16, 2);
    big.left = 0;
    one.frames = {big};
    CRaster img;
    ASSERT_TRUE(decode(img, makeGif(one)));
    EXPECT_EQ(img.GetNumFrames(), 1);
    ASSERT_EQ(img.GetWidth(), 6u);
    ASSERT_EQ(img.GetHeight(), 6u);
    EXPECT_EQ(img.GetPixelIndex(5, 0), big.index[5 * 6 + 5]);

    one.frames[0].left = 1;  // offset too: the screen reaches to the frame's far edge
    one.frames[0].top = 2;
    CRaster moved;
    ASSERT_TRUE(decode(moved, makeGif(one)));
    EXPECT_EQ(moved.GetWidth(), 7u);
    EXPECT_EQ(moved.GetHeight(), 8u);
    EXPECT_EQ(moved.GetPixelIndex(6, 0), big.index[5 * 6 + 5]);

    // An image without pixels ahead of it is no frame: the big one is still the first, on a
    // small screen and on one of 0 x 0.
    const GifFrame none{.height = 3};
    for (uint32_t side : {4u, 0u}) {
        GifSpec lead = one;
        lead.width = lead.height = side;
        lead.frames = {none, big};
        CRaster grown;
        ASSERT_TRUE(decode(grown, makeGif(lead))) << side << " " << grown.GetLastError();
        EXPECT_EQ(grown.GetNumFrames(), 1);
        EXPECT_EQ(grown.GetWidth(), 6u) << side;
        EXPECT_EQ(grown.GetHeight(), 6u) << side;
        EXPECT_EQ(grown.GetPixelIndex(5, 0), big.index[5 * 6 + 5]) << side;
    }

    GifSpec two = screen(4, 4, 16, 4);
    GifFrame off = frame(3, 3, 16, 5);
    off.left = 2;
    off.top = 3;
    for (uint8_t& i : off.index) i = static_cast<uint8_t>(i | 8);  // apart from frame 0's
    two.frames = {frame(4, 4, 8), off};
    CRaster second;
    second.SetFrame(1);
    ASSERT_TRUE(decode(second, makeGif(two)));
    EXPECT_EQ(second.GetNumFrames(), 2);
    ASSERT_EQ(second.GetWidth(), 4u);
    expectDrawnOver(second, two.frames[0], off);
    // Entirely off the screen: counted, nothing drawn.
    two.frames[1].left = 9;
    CRaster away;
    away.SetFrame(1);
    ASSERT_TRUE(decode(away, makeGif(two)));
    EXPECT_EQ(away.GetPixelIndex(3, 0), two.frames[0].index[3 * 4 + 3]);
}

// 256-colour frames go onto a 256-colour canvas row by row: a frame reaching past the right
// or bottom edge, or lying wholly beyond it, leaves every pixel outside itself alone.
TEST(Gif, EightBitFramesClippedAtEveryEdge) {
    const struct {
        uint32_t left, top;
    } places[] = {{1, 1}, {3, 3}, {5, 0}, {0, 4}, {5, 4}, {6, 0}, {0, 5}, {9, 9}};
    for (const auto& at : places) {
        GifSpec s = screen(6, 5, 256, 6);
        GifFrame over = frame(4, 3, 256, 11);
        for (uint8_t& i : over.index) i = static_cast<uint8_t>(i | 0x80);
        over.left = at.left;
        over.top = at.top;
        s.frames = {frame(6, 5, 100), over};
        CRaster img;
        img.SetFrame(1);
        ASSERT_TRUE(decode(img, makeGif(s))) << at.left << "," << at.top;
        ASSERT_EQ(img.GetBpp(), 8u);
        ASSERT_EQ(img.GetWidth(), 6u);
        expectDrawnOver(img, s.frames[0], over);
    }
}

// A 256-colour frame whose colours the 16-colour canvas already holds is drawn into that canvas
// pixel by pixel, not as whole bytes.
TEST(Gif, WideFrameOntoANarrowCanvas) {
    GifSpec s = screen(6, 3, 16, 8);
    GifFrame wide = frame(4, 2, 16, 3);
    wide.left = 1;
    wide.top = 1;
    wide.localPalette = palette(16, 8);
    wide.localPalette.resize(256 * 3, 0);
    s.frames = {frame(6, 3, 16), wide};
    CRaster img;
    img.SetFrame(1);
    ASSERT_TRUE(decode(img, makeGif(s)));
    ASSERT_EQ(img.GetBpp(), 4u);
    expectDrawnOver(img, s.frames[0], wide);
}

// Image data longer than the decoder's 16 KB read buffer: a second frame after it is found,
// and a file cut beyond the first buffer keeps the rows decoded so far.
TEST(Gif, DataBeyondTheReadBuffer) {
    GifSpec s = screen(160, 160, 256, 5);
    GifFrame noisy{.width = 160, .height = 160};
    uint32_t r = 12345;
    for (int i = 0; i < 160 * 160; ++i) {
        r = r * 1103515245 + 12345;
        noisy.index.push_back(static_cast<uint8_t>(r >> 16));
    }
    s.frames = {noisy, frame(160, 160, 256, 7)};
    const Bytes data = makeGif(s);
    ASSERT_GT(data.size(), 2u * 16383);
    CRaster second;
    second.SetFrame(1);
    ASSERT_TRUE(decode(second, data));
    EXPECT_EQ(second.GetNumFrames(), 2);
    EXPECT_EQ(second.GetPixelIndex(100, 0), s.frames[1].index[159 * 160 + 100]);

    // Rows that come out whole from the first `size` bytes of the file.
    s.frames.resize(1);
    auto rowsFrom = [&](size_t size) {
        Bytes cut = makeGif(s);
        cut.resize(size);
        CRaster part;
        EXPECT_TRUE(decode(part, cut));
        EXPECT_EQ(part.GetPixelIndex(159, 0), 0);  // the rest stays blank
        int rows = 0;
        for (bool same = true; same && rows < 160; rows += same) {
            for (uint32_t x = 0; x < 160; ++x)
                same &= part.GetPixelIndex(static_cast<int>(x), 159 - rows) ==
                        noisy.index[static_cast<size_t>(rows) * 160 + x];
        }
        // Nothing past the cut: the partly decoded row is blank from its first wrong pixel
        // on (not the rest of the line before it), and the rows after it stay blank.
        int after = 0;
        if (rows < 160) {
            int x = 0;
            while (x < 160 && part.GetPixelIndex(x, 159 - rows) ==
                                  noisy.index[static_cast<size_t>(rows) * 160 + x])
                ++x;
            for (; x < 160; ++x) after += part.GetPixelIndex(x, 159 - rows) != 0;
        }
        for (int y = rows + 1; y < 160; ++y)
            for (int x = 0; x < 160; ++x) after += part.GetPixelIndex(x, 159 - y) != 0;
        EXPECT_EQ(after, 0);
        return rows;
    };
    const int inFirstBuffer = rowsFrom(16000), beyond = rowsFrom(30000);
    EXPECT_GT(inFirstBuffer, 0);
    EXPECT_GT(beyond, inFirstBuffer + 40);
    EXPECT_LT(beyond, 160);
}

TEST(Gif, TrueColourGifBecomes24Bit) {
    GifSpec s{.width = 4, .height = 2};
    const GifFrame a{.width = 2, .height = 1, .localPalette = palette(4, 10), .index = {1, 2}};
    const GifFrame b{.left = 2,
                     .top = 1,
                     .width = 2,
                     .height = 1,
                     .localPalette = palette(4, 11),
                     .index = {3, 0}};
    s.frames = {a, b};
    CRaster img;
    ASSERT_TRUE(decode(img, makeGif(s)));
    ASSERT_EQ(img.GetBpp(), 24u);
    EXPECT_TRUE(sameRgb(topPixel(img, 1, 0), palColour(a.localPalette, 2)));
    EXPECT_TRUE(sameRgb(topPixel(img, 2, 1), palColour(b.localPalette, 3)));
    EXPECT_EQ(rgbText(topPixel(img, 0, 1)), "0,0,0");  // below frame a: nothing drawn

    GifSpec one = s;
    one.frames = {a};
    CRaster single;
    ASSERT_TRUE(decode(single, makeGif(one)));
    EXPECT_EQ(single.GetBpp(), 4u);

    // With a global table the small first frame is one point only: the animation stays
    // indexed.
    s.globalPalette = palette(4, 12);
    CRaster global;
    ASSERT_TRUE(decode(global, makeGif(s)));
    EXPECT_EQ(global.GetBpp(), 4u);
    // An image without pixels ahead of them is no first frame that could add a point.
    s.frames.insert(s.frames.begin(), GifFrame{.height = 1});
    CRaster led;
    ASSERT_TRUE(decode(led, makeGif(s)));
    EXPECT_EQ(led.GetBpp(), 4u);
    EXPECT_EQ(led.GetNumFrames(), 2);
}

// Data that does not fit its frame: extra lines, a frame that is cleared and ended at once,
// an application block of the wrong size.
TEST(Gif, MalformedBlocksStayInside) {
    GifSpec s = screen(2, 2, 4, 13);
    GifFrame extra = frame(2, 2, 4, 1);
    const std::vector<uint8_t> shown = extra.index;
    extra.index.insert(extra.index.end(), {3, 3, 3, 3});  // two lines more than the frame
    s.frames = {extra};
    CRaster img;
    ASSERT_TRUE(decode(img, makeGif(s)));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(img.GetPixelIndex(i % 2, 1 - i / 2), shown[i]);

    // Clear code, then end code: nothing is drawn.
    Bytes cleared = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x81, 0, 0};
    for (int i = 0; i < 12; ++i) cleared.push_back(static_cast<uint8_t>(0x40 + i));
    cleared.insert(cleared.end(), {',', 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 1, 0x2C, 0, ';'});
    CRaster c;
    ASSERT_TRUE(decode(c, cleared));
    EXPECT_EQ(c.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(c.GetPixelIndex(1, 0), 0);

    // Code sizes outside 2..9 are refused: the frame stays blank.
    for (int size : {10, 11}) {
        GifSpec odd = s;
        odd.frames = {frame(2, 2, 4, 1)};
        odd.frames[0].minCodeSize = size;
        CRaster o;
        ASSERT_TRUE(decode(o, makeGif(odd)));
        EXPECT_EQ(o.GetPixelIndex(1, 1), 0) << size;
    }
    // A byte that is no block start hides the blocks after it until a zero byte: the frame
    // behind it is neither counted nor drawn.
    s.frames = {frame(2, 2, 4)};
    Bytes hidden = makeGif(s);
    const Bytes one = makeGif(s);
    hidden.insert(hidden.end() - 1, 'X');
    hidden.insert(hidden.end() - 1, one.begin() + 13 + 12, one.end() - 1);
    CRaster h;
    ASSERT_TRUE(decode(h, hidden));
    EXPECT_EQ(h.GetNumFrames(), 1);

    // An application block whose identifier is not 11 bytes ends the file there.
    s.frames = {frame(2, 2, 4)};
    const size_t second = makeGif(s).size() - 1;  // where the trailer of one frame stands
    s.frames.push_back(frame(2, 2, 4, 2));
    Bytes data = makeGif(s);
    const Bytes bad = {0x21, 0xFF, 10,  'N', 'E', 'T', 'S', 'C', 'A',
                       'P',  'E',  '2', '.', 3,   1,   0,   0,   0};
    data.insert(data.begin() + static_cast<long>(second), bad.begin(), bad.end());
    CRaster app;
    ASSERT_TRUE(decode(app, data));
    EXPECT_EQ(app.GetNumFrames(), 1);
}

// A frame whose colours are new to a full canvas palette takes the nearest ones; the distance
// weighs every channel.
TEST(Gif, FullCanvasPaletteTakesTheNearestColour) {
    GifSpec s;
    s.width = s.height = 16;
    for (int i = 0; i < 256; ++i)
        s.globalPalette.insert(s.globalPalette.end(), 3, static_cast<uint8_t>(i));
    GifFrame all{.width = 16, .height = 16};
    for (int i = 0; i < 256; ++i) all.index.push_back(static_cast<uint8_t>(i));
    for (const Bytes& colour : {Bytes{0, 90, 0}, Bytes{0, 0, 90}}) {
        GifFrame one{.width = 1, .height = 1, .localPalette = colour, .index = {0}};
        one.localPalette.insert(one.localPalette.end(), 3, 0);
        s.frames = {all, one};
        CRaster img;
        img.SetFrame(1);
        ASSERT_TRUE(decode(img, makeGif(s)));
        EXPECT_EQ(rgbText(img.GetPixelColor(0, 15)), "30,30,30");  // the nearest grey
        EXPECT_EQ(rgbText(img.GetPixelColor(1, 15)), "1,1,1");
    }
}

TEST(Gif, FrameMemoryIsBounded) {
    GifSpec s = screen(16000, 16000, 2, 1);
    for (int i = 0; i < 3; ++i) s.frames.push_back(frame(1, 1, 2));
    CRaster img;
    img.SetRetrieveAllFrames(true);
    EXPECT_FALSE(decode(img, makeGif(s)));
    EXPECT_STREQ(img.GetLastError(), "GIF frames exceed the memory limit");

    // A later frame, far beyond a small screen, too big to hold: counted, and reaching it
    // fails with the image's own reason rather than drawing into nothing.
    GifSpec big = screen(4, 4, 2, 1);
    GifFrame huge = frame(1, 1, 2);
    huge.width = huge.height = 60000;
    big.frames = {frame(4, 4, 2), huge};
    CRaster first;
    ASSERT_TRUE(decode(first, makeGif(big)));
    EXPECT_EQ(first.GetNumFrames(), 2);
    CRaster second;
    second.SetFrame(1);
    EXPECT_FALSE(decode(second, makeGif(big)));
    EXPECT_STREQ(second.GetLastError(), "RASTER_MAX_MEMORY exceeded");
}

// The frames one decode draws walk no more pixels in all than one picture may hold: under a
// cap of 4,096 pixels the first sixteen frames of 16 x 16 are drawn and the rest are not, as
// if the file ended there. Twenty frames of a true-colour GIF, each one colour of its own,
// take the quadrants of a 32 x 32 screen in turn.
TEST(Gif, FramesDrawnWalkNoMorePixelsThanOnePicture) {
    GifSpec s{.width = 32, .height = 32};
    for (uint32_t k = 0; k < 20; ++k) {
        GifFrame f{.left = (k % 2) * 16, .top = (k / 2 % 2) * 16, .width = 16, .height = 16};
        f.localPalette = palette(4, int(k) + 20);
        f.index.assign(16 * 16, 1);
        s.frames.push_back(f);
    }
    const Bytes data = makeGif(s);
    for (const auto& [cap, last] : {std::pair<uint64_t, uint32_t>{4096, 15}, {4352, 16}, {0, 19}}) {
        PixelCap c(cap);
        CRaster img;
        ASSERT_TRUE(decode(img, data)) << cap;
        ASSERT_EQ(img.GetBpp(), 24u);
        EXPECT_EQ(img.GetNumFrames(), 20) << cap;
        for (uint32_t q = 0; q < 4; ++q) {
            const uint32_t shown = last - (last + 4 - q) % 4;
            EXPECT_TRUE(sameRgb(topPixel(img, int(q % 2) * 16 + 3, int(q / 2) * 16 + 5),
                                palColour(s.frames[shown].localPalette, 1)))
                << "cap " << cap << " quadrant " << q << " frame " << shown;
        }
    }
}

// A frame asked for alone that lies past the frames' pixel allowance is not handed back as an
// earlier one: under a cap of ten 16 x 16 frames, frame 9 is drawn, frames 10 and 15 fail with
// the reason. Asked for all of them, the frames drawn stand in the list and the rest are absent.
TEST(Gif, AFramePastThePixelAllowanceFailsRatherThanShowAnEarlierOne) {
    GifSpec s = screen(16, 16, 32, 3);
    for (int k = 0; k < 20; ++k) {
        GifFrame f{.width = 16, .height = 16};
        f.index.assign(16 * 16, uint8_t(k));
        s.frames.push_back(f);
    }
    const Bytes data = makeGif(s);
    PixelCap c(10 * 16 * 16);
    const struct {
        int32_t frame;
        bool drawn;
    } rows[] = {{0, true}, {9, true}, {10, false}, {15, false}};
    for (const auto& r : rows) {
        CRaster img;
        img.SetFrame(r.frame);
        EXPECT_EQ(decode(img, data), r.drawn) << r.frame;
        if (r.drawn) {
            EXPECT_EQ(img.GetPixelIndex(5, 5), uint8_t(r.frame));
        } else {
            EXPECT_STREQ(img.GetLastError(), "GIF frames exceed the pixel limit") << r.frame;
        }
    }
    CRaster all;
    all.SetRetrieveAllFrames(true);
    all.SetFrame(19);
    ASSERT_TRUE(decode(all, data));
    EXPECT_EQ(all.GetNumFrames(), 20);
    for (int32_t f = 0; f < 20; ++f) {
        const CRaster* frame = all.GetFrame(f);
        ASSERT_EQ(frame != nullptr, f < 10) << f;
        if (frame) {
            EXPECT_EQ(frame->GetPixelIndex(5, 5), uint8_t(f)) << f;
        }
    }
}

TEST(Gif, LoopCountAndComment) {
    GifSpec s = screen(2, 2, 2, 1);
    s.loops = 3;
    s.frames = {frame(2, 2, 2)};
    Bytes data = makeGif(s);
    // A comment extension before the trailer.
    data.pop_back();
    data.insert(data.end(), {0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0, ';'});
    CRasterGIF gif;
    CRasterMemFile f(data.data(), data.size());
    ASSERT_TRUE(gif.Decode(&f));
    EXPECT_EQ(gif.GetLoopCount(), 3);
    EXPECT_STREQ(gif.GetComment(), "hello");
}

TEST(Gif, DamagedDataCountsOnlyTheFramesTheDecoderReaches) {
    // Frame 1 holds a bad code, so the decoder looks for the next "," after a zero byte. Its
    // data hides one: an image outside the screen followed by a trailer. A second, good
    // frame follows the data; the decoder never gets there, so it must not be counted. When
    // the hidden "," follows another byte than zero, the search passes it by and reaches the
    // good frame.
    for (uint8_t beforeComma : {0, 1}) {
        Out o;
        o.str("GIF89a");
        o.u16(2);
        o.u16(2);
        o.u8(0x80);  // global table of 2 entries
        o.u8(0);
        o.u8(0);
        o.raw({0, 0, 0, 255, 255, 255});
        auto descriptor = [&](uint32_t left) {
            o.u8(',');
            o.u16(left);
            o.u16(0);
            o.u16(2);
            o.u16(2);
            o.u8(0);
        };
        descriptor(0);
        o.u8(2);   // minimum code size
        o.u8(14);  // one sub-block
        // Codes clear, 0, 7 (beyond the next free slot), end.
        o.raw({0xC4, 0x0B, beforeComma, ',', 0xFF, 0xFF, 0, 0, 2, 0, 2, 0, 0, ';'});
        o.u8(0);
        descriptor(0);
        o.u8(2);
        o.raw(lzwEncode({1, 0, 0, 1}, 2));
        o.u8(';');

        CRaster img;
        ASSERT_TRUE(decode(img, o.b));
        const int frames = img.GetNumFrames();
        EXPECT_EQ(frames, beforeComma ? 2 : 3);
        img.SetRetrieveAllFrames(true);
        img.SetFrame(frames - 1);
        ASSERT_TRUE(decode(img, o.b));
        EXPECT_EQ(img.GetNumFrames(), frames);
        for (int i = 0; i < frames; ++i) EXPECT_NE(img.GetFrame(i), nullptr) << "frame " << i;
    }
}

TEST(Gif, AFrameTooLargeToHoldIsSkippedByItsBlocks) {
    // Frame 1 is beyond the pixel cap, so decoding can never pass it; its data is skipped by
    // its sub-blocks, not run through the decoder. The data holds a bad code that would make
    // the decoder look for a hidden ","; followed block by block, the good frame after the
    // data is the one counted.
    Out o;
    o.str("GIF89a");
    o.u16(2);
    o.u16(2);
    o.u8(0x80);
    o.u8(0);
    o.u8(0);
    o.raw({0, 0, 0, 255, 255, 255});
    auto descriptor = [&](uint32_t side) {
        o.u8(',');
        o.u16(0);
        o.u16(0);
        o.u16(side);
        o.u16(side);
        o.u8(0);
    };
    descriptor(2);
    o.u8(2);
    o.raw(lzwEncode({1, 0, 0, 1}, 2));
    descriptor(101);  // 10,201 pixels
    o.u8(2);
    o.u8(14);
    o.raw({0xC4, 0x0B, 0x00, ',', 0xFF, 0xFF, 0, 0, 2, 0, 2, 0, 0, ';'});
    o.u8(0);
    descriptor(2);
    o.u8(2);
    o.raw(lzwEncode({0, 1, 1, 0}, 2));
    o.u8(';');

    // Caps: frame 1 beyond it; frame 1 held but beyond what the count may decode in all
    // (4 + 10,201 pixels); both decoded. Decoded, the bad code makes the walk find the
    // hidden image as well; skipped, the frames behind it are counted by blocks.
    const std::pair<uint64_t, int> cases[] = {{10200, 3}, {10204, 3}, {10205, 4}};
    for (const auto& [cap, frames] : cases) {
        PixelCap c(cap);
        CRaster img;
        ASSERT_TRUE(decode(img, o.b)) << cap;
        EXPECT_EQ(img.GetPixelIndex(0, 1), 1u);
        EXPECT_EQ(img.GetNumFrames(), frames) << cap;
    }
    // The frames behind it are counted, but decoding cannot reach them.
    PixelCap c(10200);
    CRaster last;
    last.SetFrame(2);
    EXPECT_FALSE(decode(last, o.b));
}
