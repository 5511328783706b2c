// Marker segments the JPEG library skips over: one longer than the read buffer is passed
// across buffer refills, and one cut by the end of the file ends the decode cleanly.
#include <gtest/gtest.h>

#include "codec_writers.h"
#include "imaging/decoders.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

// The picture with an APP15 segment of n bytes right after its start marker.
Bytes withLongSegment(const Bytes& jpeg, size_t n) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    const size_t len = n + 2;
    out.insert(out.end(), {0xFF, 0xEF, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)});
    for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(i * 7));
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace

TEST(JpegSkip, LongSegmentsAcrossRefillsAndCutAtTheEnd) {
    JpegSpec s{.width = 16, .height = 8, .components = 1};
    for (uint32_t i = 0; i < 16 * 8; ++i) s.samples.push_back(static_cast<uint8_t>(i * 2));
    const Bytes plain = makeJpeg(s);
    CRaster want;
    ASSERT_TRUE(decodeAs(want, plain, RASTER_FORMAT_JPG));
    for (const size_t n : {size_t(4000), size_t(4094), size_t(9000), size_t(60000)}) {
        CRaster got;
        ASSERT_TRUE(decodeAs(got, withLongSegment(plain, n), RASTER_FORMAT_JPG)) << n;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(got.GetPixelIndex(x, y), want.GetPixelIndex(x, y)) << n;
    }
    // The segment announces 60,000 bytes; the file ends 1,000 bytes into it.
    Bytes cut = withLongSegment(plain, 60000);
    cut.resize(6 + 1000);
    CRaster none;
    EXPECT_FALSE(decodeAs(none, cut, RASTER_FORMAT_JPG));
}
