// GIF cases the composing tests leave open: an extension of several sub-blocks before an
// image is stepped over block by block, and a first frame disposed back to the cleared
// screen.
#include <gtest/gtest.h>

#include "gif_writer.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

TEST(GifEdges, ExtensionOfSeveralBlocksBeforeTheImage) {
    GifSpec s{.width = 2, .height = 2, .globalPalette = {0, 0, 0, 255, 255, 255}};
    s.frames = {GifFrame{.width = 2, .height = 2, .index = {0, 1, 1, 0}}};
    Bytes data = makeGif(s);
    // After the header and the two-colour table: a comment in two sub-blocks.
    const Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    data.insert(data.begin() + 13 + 6, comment.begin(), comment.end());
    CRasterGIF gif;
    CRasterMemFile f(data.data(), data.size());
    ASSERT_TRUE(gif.Decode(&f));
    EXPECT_STREQ(gif.GetComment(), "abc");
    EXPECT_EQ(gif.GetNumFrames(), 1);
    EXPECT_EQ(gif.GetPixelIndex(1, 1), 1);  // top row, right
}

TEST(GifEdges, FirstFrameDisposedToTheClearedScreen) {
    GifSpec s{.width = 4, .height = 2};
    for (int i = 0; i < 4; ++i) {
        const RGBQUAD q = colourAt(i, 6, 6);
        s.globalPalette.insert(s.globalPalette.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
    const GifFrame first{.width = 4,
                         .height = 2,
                         .index = {1, 1, 1, 1, 1, 1, 1, 1},
                         .gce = true,
                         .disposal = 3,
                         .transIndex = 2};
    const GifFrame dot{.width = 1, .height = 1, .index = {3}};
    s.frames = {first, dot};
    CRaster img;
    img.SetFrame(1);
    ASSERT_TRUE(decodeAs(img, makeGif(s), RASTER_FORMAT_GIF));
    const RGBQUAD cleared = colourAt(2, 6, 6), dotColour = colourAt(3, 6, 6);
    EXPECT_TRUE(sameRgb(topPixel(img, 3, 1), cleared)) << rgbText(topPixel(img, 3, 1));
    EXPECT_TRUE(sameRgb(topPixel(img, 0, 0), dotColour)) << rgbText(topPixel(img, 0, 0));
}
