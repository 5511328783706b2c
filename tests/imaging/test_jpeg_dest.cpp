// libjpeg's destination over a file object: a picture compressed into memory through the
// callbacks decodes back at its size and colours; short writes and a failing file are
// libjpeg's error 37.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

#include <jerror.h>

#include "imaging/decoders.h"
#include "imaging/jpeg_io.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

struct Trap {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void trapExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<Trap*>(cinfo->err)->jump, 1);
}

// A memory file that can be told to write short from its n-th write on, or to report an
// error after writing; it counts writes and flushes.
class FlakyFile : public CRasterMemFile {
public:
    FlakyFile() { Alloc(1); }
    size_t Write(const void* b, size_t size, size_t count) override {
        ++writes;
        if (shortFrom && writes >= shortFrom) return count ? count - 1 : 0;
        return CRasterMemFile::Write(b, size, count);
    }
    bool Flush() override {
        ++flushes;
        return true;
    }
    long Error() override { return error; }
    int writes = 0, flushes = 0, shortFrom = 0;
    long error = 0;
};

// Compresses width x height pixels of the test colours through the destination; 0 when
// it went through, else libjpeg's error code.
int Compress(CRasterFile* file, int width, int height, int quality = 90) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            RGBQUAD c = colourAt(x / 16, y / 16);  // plain blocks survive the compression
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = c.rgbRed, p[1] = c.rgbGreen, p[2] = c.rgbBlue;
        }
    CRasterFileJpg dest(file);
    jpeg_compress_struct cinfo;
    Trap err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = trapExit;
    if (setjmp(err.jump)) {
        const int code = err.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        return code;
    }
    jpeg_create_compress(&cinfo);
    dest.AttachDestination(&cinfo);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * width * 3];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

TEST(JpegDestination, WrittenIntoMemoryDecodesBackAtTheSameSize) {
    struct Case {
        int width, height;
        bool spansBuffers;  // more than one 4096-byte buffer of output
    };
    for (Case c : {Case{1024, 768, true}, Case{17, 9, false}, Case{1, 1, false}}) {
        SCOPED_TRACE(c.width);
        FlakyFile mem;
        ASSERT_EQ(Compress(&mem, c.width, c.height), 0);
        const size_t size = size_t(mem.Size());
        EXPECT_EQ(size > CRasterFileJpg::kBufferSize, c.spansBuffers) << size;
        // Every full buffer went out whole, then the rest once, then one flush.
        EXPECT_EQ(size_t(mem.writes), size / CRasterFileJpg::kBufferSize +
                                          (size % CRasterFileJpg::kBufferSize ? 1 : 0));
        EXPECT_EQ(mem.flushes, 1);
        const uint8_t* bytes = mem.GetBuffer();
        ASSERT_EQ(bytes[0], 0xFF);
        ASSERT_EQ(bytes[1], 0xD8);
        EXPECT_EQ(bytes[size - 2], 0xFF);
        EXPECT_EQ(bytes[size - 1], 0xD9);
        CRasterJPG img;
        CRasterMemFile in(mem.GetBuffer(), size);
        ASSERT_TRUE(img.Decode(&in)) << img.GetLastError();
        EXPECT_EQ(int(img.GetWidth()), c.width);
        EXPECT_EQ(int(img.GetHeight()), c.height);
        EXPECT_EQ(img.GetBpp(), 24u);
        // The colours come back close (a lossy code, high quality).
        // (at the middle of each block, clear of its edges).
        for (int y = std::min(8, c.height / 2); y < c.height; y += 16)
            for (int x = std::min(8, c.width / 2); x < c.width; x += 16) {
                RGBQUAD want = colourAt(x / 16, y / 16), got = topPixel(img, x, y);
                EXPECT_NEAR(got.rgbRed, want.rgbRed, 40) << x << "," << y;
                EXPECT_NEAR(got.rgbGreen, want.rgbGreen, 40) << x << "," << y;
                EXPECT_NEAR(got.rgbBlue, want.rgbBlue, 40) << x << "," << y;
            }
    }
}

TEST(JpegDestination, ShortWritesAndAFailingFileAreFileWriteErrors) {
    ASSERT_EQ(JERR_FILE_WRITE, 37);
    {
        FlakyFile full;  // a full buffer written short
        full.shortFrom = 1;
        EXPECT_EQ(Compress(&full, 400, 240), 37);
        EXPECT_EQ(full.flushes, 0);
    }
    {
        FlakyFile last;  // the last part written short
        ASSERT_EQ(Compress(&last, 400, 240), 0);
        last.shortFrom = last.writes;
        last.writes = 0;
        EXPECT_EQ(Compress(&last, 400, 240), 37);
        EXPECT_EQ(last.flushes, 1);  // the first run's only
    }
    {
        FlakyFile small;  // one short final write, no full buffer before it
        small.shortFrom = 1;
        EXPECT_EQ(Compress(&small, 8, 8), 37);
        EXPECT_EQ(small.writes, 1);
    }
    {
        FlakyFile failing;  // everything written, but the file reports an error
        failing.error = 5;
        EXPECT_EQ(Compress(&failing, 8, 8), 37);
        EXPECT_EQ(failing.flushes, 1);
    }
}

TEST(JpegDestination, TheSameObjectStillReadsAsTheDecodersSource) {
    FlakyFile mem;
    ASSERT_EQ(Compress(&mem, 40, 30), 0);
    CRasterMemFile in(mem.GetBuffer(), size_t(mem.Size()));
    CRasterFileJpg src(&in);
    jpeg_decompress_struct cinfo;
    Trap err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = trapExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        FAIL() << "libjpeg error " << err.pub.msg_code;
    }
    jpeg_create_decompress(&cinfo);
    src.AttachSource(&cinfo);
    ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(cinfo.image_width, 40u);
    EXPECT_EQ(cinfo.image_height, 30u);
    jpeg_destroy_decompress(&cinfo);
}

// The source needs a file: without one the decoder refuses before libjpeg is started.
TEST(JpegDestination, NoFileIsNoSource) {
    CRasterJPG img;
    EXPECT_FALSE(img.Decode(nullptr));
    EXPECT_EQ(img.GetWidth(), 0u);
}

}  // namespace
