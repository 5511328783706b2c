// A second frame drawn over the first at every pair of depths (1, 4 and 8 bits), with the
// frame's own table equal to the canvas's or holding the same colours in another order, so
// that every way of composing (rows unpacked and packed again, the canvas widened to 8 bits,
// straight bytes) is checked colour for colour, at odd widths, clipped at the edge and wholly
// beyond it.
#include <gtest/gtest.h>

#include "gif_writer.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

struct DepthCase {
    int canvasColours, frameColours;
    bool reordered;  // the frame's table lists the canvas's first colours backwards
    uint32_t left, top, width, height;
    bool transparent;
};

}  // namespace

TEST(GifDepths, SecondFrameOverTheFirstAtEveryDepth) {
    const DepthCase cases[] = {
        {2, 2, false, 3, 1, 5, 3, true},    {2, 2, true, 3, 1, 5, 3, false},
        {2, 2, true, 6, 2, 5, 3, true},     {16, 16, false, 1, 1, 7, 3, true},
        {16, 16, true, 2, 0, 5, 5, false},  {16, 2, false, 3, 1, 5, 3, true},
        {16, 2, true, 6, 1, 5, 2, false},   {256, 16, false, 3, 1, 5, 3, true},
        {256, 2, true, 0, 0, 9, 5, true},   {16, 16, false, 6, 1, 5, 3, false},
        {16, 16, false, 12, 1, 3, 2, true}, {2, 2, true, 9, 0, 4, 4, false},
    };
    constexpr uint32_t kW = 9, kH = 5;
    for (const DepthCase& c : cases) {
        GifSpec s{.width = kW, .height = kH};
        for (int i = 0; i < c.canvasColours; ++i) {
            const RGBQUAD q = colourAt(i, 3, 3);
            s.globalPalette.insert(s.globalPalette.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
        }
        GifFrame a{.width = kW, .height = kH};
        for (uint32_t y = 0; y < kH; ++y)
            for (uint32_t x = 0; x < kW; ++x)
                a.index.push_back(static_cast<uint8_t>((x * 5 + y * 3) % c.canvasColours));
        GifFrame b{.left = c.left, .top = c.top, .width = c.width, .height = c.height};
        // Entry i of the frame's table is this entry of the canvas's.
        auto canvasEntry = [&](int i) { return c.reordered ? c.frameColours - 1 - i : i; };
        for (int i = 0; i < c.frameColours; ++i) {
            const RGBQUAD q = colourAt(canvasEntry(i), 3, 3);
            b.localPalette.insert(b.localPalette.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
        }
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x)
                b.index.push_back(static_cast<uint8_t>((x + 2 * y) % c.frameColours));
        b.gce = c.transparent;
        b.transparent = c.transparent;
        b.transIndex = 1;
        s.frames = {a, b};
        CRaster img;
        img.SetFrame(1);
        ASSERT_TRUE(decodeAs(img, makeGif(s), RASTER_FORMAT_GIF)) << c.canvasColours;
        for (uint32_t y = 0; y < kH; ++y)
            for (uint32_t x = 0; x < kW; ++x) {
                const bool inside =
                    x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
                const int over = inside ? b.index[(y - c.top) * c.width + x - c.left] : -1;
                const RGBQUAD want = over >= 0 && !(c.transparent && over == 1)
                                         ? colourAt(canvasEntry(over), 3, 3)
                                         : colourAt(a.index[y * kW + x], 3, 3);
                const RGBQUAD got = topPixel(img, static_cast<int>(x), static_cast<int>(y));
                ASSERT_TRUE(sameRgb(got, want))
                    << c.canvasColours << "/" << c.frameColours << (c.reordered ? " reordered" : "")
                    << " at " << c.left << "," << c.top << " pixel " << x << "," << y << ": "
                    << rgbText(got);
            }
    }
}
