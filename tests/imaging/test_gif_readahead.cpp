// The GIF decoder reads each image's data through a small read-ahead: frames whose data runs
// over many fills, and frames of a few bytes between them, decode to their own pixels, and
// every frame after them is found where it starts.
#include <gtest/gtest.h>

#include <random>

#include "gif_writer.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

GifFrame noisy(uint32_t w, uint32_t h, uint32_t seed, int colours) {
    GifFrame f{.width = w, .height = h};
    std::mt19937 rng(seed);
    for (uint32_t k = 0; k < w * h; ++k) f.index.push_back(static_cast<uint8_t>(rng() % colours));
    return f;
}

void expectFrame(const CRaster& img, const GifFrame& f) {
    for (uint32_t y = 0; y < f.height; ++y)
        for (uint32_t x = 0; x < f.width; ++x)
            ASSERT_EQ(img.GetPixelIndex(static_cast<int>(x), static_cast<int>(f.height - 1 - y)),
                      f.index[y * f.width + x])
                << x << "," << y;
}

TEST(GifReadAhead, LongAndShortFramesDecodeToTheirPixels) {
    GifSpec s{.width = 160, .height = 120};
    for (int i = 0; i < 256; ++i)
        s.globalPalette.insert(s.globalPalette.end(),
                               {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    // 19,200 pixels of noise on 256 colours: well over 16 KB of data each.
    const GifFrame big1 = noisy(160, 120, 1, 256), big2 = noisy(160, 120, 2, 256);
    // A whole-screen frame of one colour: a few bytes of data.
    GifFrame flat{.width = 160, .height = 120};
    flat.index.assign(160 * 120, 7);
    GifFrame smallNoise = noisy(160, 120, 3, 4);
    s.frames = {big1, flat, big2, smallNoise, flat};
    const Bytes data = makeGif(s);
    ASSERT_GT(data.size(), 40000u);

    CRaster all;
    all.SetRetrieveAllFrames(true);
    all.SetFrame(4);
    ASSERT_TRUE(decodeAs(all, data, RASTER_FORMAT_GIF));
    ASSERT_EQ(all.GetNumFrames(), 5);
    const GifFrame* want[] = {&big1, &flat, &big2, &smallNoise, &flat};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(all.GetFrame(i), nullptr);
        expectFrame(*all.GetFrame(i), *want[i]);
    }
    for (int i : {0, 2, 3}) {
        SCOPED_TRACE(i);
        CRaster one;
        one.SetFrame(i);
        ASSERT_TRUE(decodeAs(one, data, RASTER_FORMAT_GIF));
        expectFrame(one, *want[i]);
    }
}

}  // namespace
