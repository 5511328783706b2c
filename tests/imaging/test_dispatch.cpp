#include <gtest/gtest.h>

#include "codec_writers.h"
#include "gif_writer.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

// A file that records every position it is asked to seek to.
class TracingFile : public CRasterMemFile {
public:
    using CRasterMemFile::CRasterMemFile;
    bool Seek(int64_t offset, int origin) override {
        seeks.push_back({offset, origin});
        return CRasterMemFile::Seek(offset, origin);
    }
    std::vector<std::pair<int64_t, int>> seeks;
};

Bytes prefixed(const Bytes& data, size_t junk) {
    Bytes out(junk, 0xAB);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace

TEST(Dispatch, UnknownFormatTriesEveryDecoderFromTheSamePosition) {
    PngSpec s{.width = 3, .height = 2, .colorType = 0, .samples = {1, 2, 3, 4, 5, 6}};
    Bytes data = prefixed(makePng(s), 5);
    CRasterMemFile f(data.data(), data.size());
    f.Seek(5, 0);
    CRaster img;
    ASSERT_TRUE(img.Decode(&f, 0)) << img.GetLastError();
    EXPECT_EQ(img.GetType(), static_cast<uint32_t>(RASTER_FORMAT_PNG));
    EXPECT_EQ(img.GetPixelIndex(2, 1), 3);

    Bytes junk(64, 0x5A);
    TracingFile t(junk.data(), junk.size());
    t.Seek(7, 0);
    t.seeks.clear();
    CRaster none;
    EXPECT_FALSE(none.Decode(&t, 0));
    EXPECT_STREQ(none.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(t.Tell(), 7);
    ASSERT_FALSE(t.seeks.empty());
    EXPECT_EQ(t.seeks.back(), std::make_pair(int64_t{7}, 0));
}

TEST(Dispatch, EveryFormatByIdAndByGuess) {
    BmpSpec b{.width = 2,
              .height = 2,
              .bpp = 24,
              .colour = {colourAt(0, 0), colourAt(1, 0), colourAt(0, 1), colourAt(1, 1)}};
    JpegSpec j;
    j.width = j.height = 8;
    j.samples.assign(8 * 8 * 3, 90);
    GifSpec g;
    g.width = g.height = 2;
    g.globalPalette = {0, 0, 0, 255, 255, 255};
    GifFrame gf;
    gf.width = gf.height = 2;
    gf.index = {0, 1, 1, 0};
    g.frames = {gf};
    const Bytes wbmp = {0, 0, 9, 2, 0xA5, 0x80, 0x01, 0x00};
    const std::pair<Bytes, uint32_t> cases[] = {{makeBmp(b), RASTER_FORMAT_BMP},
                                                {makeJpeg(j), RASTER_FORMAT_JPG},
                                                {makeGif(g), RASTER_FORMAT_GIF},
                                                {wbmp, RASTER_FORMAT_WBMP}};
    for (const auto& [data, id] : cases) {
        for (uint32_t asked : {id, 0u}) {
            CRaster img;
            ASSERT_TRUE(decodeAs(img, data, asked)) << id << " " << img.GetLastError();
            ASSERT_TRUE(img.IsValid());
            EXPECT_EQ(img.GetType(), id);
        }
    }
}

TEST(Dispatch, BadIdsNullFilesAndEmptyBuffers) {
    BmpSpec b;
    b.width = b.height = 1;
    b.colour = {colourAt(0, 0)};
    Bytes data = makeBmp(b);
    for (uint32_t id : {8u, 10u, 13u, 17u}) {
        TracingFile t(data.data(), data.size());
        CRaster img;
        EXPECT_FALSE(img.Decode(&t, id));
        EXPECT_STREQ(img.GetLastError(), "Decode: Unknown or wrong format");
        EXPECT_EQ(t.Tell(), 0);  // nothing read
    }
    CRaster img;
    EXPECT_FALSE(img.Decode(nullptr, 1));
    EXPECT_STREQ(img.GetLastError(), "null file handler");
    uint8_t nothing[1] = {0};
    CRaster empty(nothing, 0, 0);
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetWidth(), 0u);
    CRaster nullBuffer(nullptr, 0, 0);
    EXPECT_FALSE(nullBuffer.IsValid());
    EXPECT_TRUE(img.SetType(12));
    EXPECT_FALSE(img.SetType(8));
    EXPECT_EQ(img.GetType(), 0u);
}

TEST(Dispatch, FailureLeavesTheImageAsItWas) {
    CRaster img(4, 4, 8, 0);
    img.SetPixelIndex(1, 1, 42);
    Bytes junk(10, 1);
    EXPECT_FALSE(decodeAs(img, junk, RASTER_FORMAT_PNG));
    EXPECT_TRUE(img.IsValid());
    EXPECT_EQ(img.GetPixelIndex(1, 1), 42);
}

// Pictures above the pixel cap are refused before their pixels are allocated, with each
// decoder's own text.
TEST(Dispatch, CreateFailuresCarryTheDecodersTexts) {
    PixelCap cap(10);
    BmpSpec b{.width = 4, .height = 4};
    b.colour.assign(16, colourAt(1, 1));
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
    tga.resize(tga.size() + 48, 9);
    GifSpec g;
    g.width = g.height = 4;
    g.globalPalette = {0, 0, 0, 255, 255, 255};
    GifFrame f;
    f.width = f.height = 4;
    f.index.assign(16, 1);
    g.frames = {f};
    const struct {
        Bytes data;
        uint32_t id;
        const char* text;
    } cases[] = {{makeBmp(b), RASTER_FORMAT_BMP, "RASTER_MAX_MEMORY exceeded"},
                 {tga, RASTER_FORMAT_TGA, "TGA Create failed"},
                 {{0, 0, 4, 4, 0, 0, 0, 0}, RASTER_FORMAT_WBMP, "WBMP Create failed"},
                 {makeGif(g), RASTER_FORMAT_GIF, "RASTER_MAX_MEMORY exceeded"}};
    for (const auto& c : cases) {
        CRaster img;
        EXPECT_FALSE(decodeAs(img, c.data, c.id));
        EXPECT_STREQ(img.GetLastError(), c.text);
    }
}
