#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "imaging/decoders.h"
#include "imaging/screenshot.h"
#include "test_util.h"

using namespace hqlv::imaging;
using namespace imgtest;

namespace {

std::string tempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/hqlv-shot-" + std::to_string(::getpid()) + "-" +
           name;
}

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

CRaster load(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CRaster img(data.data(), static_cast<uint32_t>(data.size()), RASTER_FORMAT_JPG);
    return CRaster(img);
}

int diff(int a, int b) {
    return a > b ? a - b : b - a;
}

}  // namespace

TEST(Screenshot, ThirtyTwoBitRedStaysRedAndBottomRowIsLast) {
    const uint32_t w = 16, h = 16;
    Bytes px(w * h * 4, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &px[(y * w + x) * 4];
            if (y < 8) {
                p[2] = 255;  // bottom half red (bytes blue, green, red, unused)
            } else {
                p[0] = 255;  // top half blue
            }
        }
    const std::string path = tempPath("32.jpg");
    ASSERT_TRUE(SaveScreenShotJpeg(path.c_str(), 90, {px.data(), w, h, 32, 0}));
    CRaster img = load(path);
    ASSERT_TRUE(img.IsValid());
    const RGBQUAD bottom = img.GetPixelColor(4, 2), top = img.GetPixelColor(4, 13);
    EXPECT_GT(bottom.rgbRed, 230);
    EXPECT_LT(bottom.rgbBlue, 30);
    EXPECT_GT(top.rgbBlue, 230);
    EXPECT_LT(top.rgbRed, 30);
    EXPECT_LT(top.rgbGreen, 30);
    EXPECT_LT(bottom.rgbGreen, 30);
    std::remove(path.c_str());
}

TEST(Screenshot, SixteenBitOddWidthHasNoShear) {
    const uint32_t w = 33, h = 12;
    const uint32_t stride = ((w * 16 + 31) / 32) * 4;  // 68: rows are padded
    Bytes px(stride * h, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint16_t v =
                x < 16 ? static_cast<uint16_t>(31 << 10) : static_cast<uint16_t>(1 << 10);
            px[y * stride + 2 * x] = static_cast<uint8_t>(v);
            px[y * stride + 2 * x + 1] = static_cast<uint8_t>(v >> 8);
        }
    const std::string path = tempPath("16.jpg");
    ASSERT_TRUE(SaveScreenShotJpeg(path.c_str(), 95, {px.data(), w, h, 16, 0}));
    CRaster img = load(path);
    ASSERT_TRUE(img.IsValid());
    for (uint32_t y = 1; y + 1 < h; ++y) {
        EXPECT_GT(img.GetPixelColor(4, static_cast<int>(y)).rgbRed, 235) << y;  // 31 -> 255
        EXPECT_LT(diff(img.GetPixelColor(28, static_cast<int>(y)).rgbRed, 16), 12) << y;  // 1 -> 16
    }
    std::remove(path.c_str());
}

TEST(Screenshot, FailuresReportAndLeaveNoFile) {
    Bytes px(4 * 4 * 4, 0);
    std::string message;
    JpegFile::SetMessageHandler([&](const std::string& m) { message = m; });
    const std::string bad = "/nonexistent-dir/shot.jpg";
    EXPECT_FALSE(SaveScreenShotJpeg(bad.c_str(), 75, {px.data(), 4, 4, 32, 0}));
    EXPECT_EQ(message, "JpegFile :\nCan't open " + bad + "\n");
    EXPECT_FALSE(exists(bad));

    const std::string path = tempPath("24.jpg");
    EXPECT_FALSE(SaveScreenShotJpeg(path.c_str(), 75, {px.data(), 4, 4, 24, 0}));
    ScreenCapture unsized;  // pixels without a size
    unsized.pixels = px.data();
    unsized.height = 4;
    EXPECT_FALSE(SaveScreenShotJpeg(path.c_str(), 75, unsized));
    EXPECT_FALSE(exists(path));

    // A device that refuses every write: libjpeg's error ends the write with a failure, and
    // the device is no partial file to remove. Reached through a link of our own, so that a
    // faulty removal takes the link, never the machine's device.
    if (exists("/dev/full")) {
        const std::string link = tempPath("full-link");
        std::remove(link.c_str());
        ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
        EXPECT_FALSE(JpegFile::SaveRgb24(link, px.data(), 4, 4, 75));
        struct stat st;
        EXPECT_EQ(::lstat(link.c_str(), &st), 0);  // the link was left alone
        std::remove(link.c_str());
    }
    EXPECT_FALSE(JpegFile::SaveRgb24(path, nullptr, 4, 4, 75));
    // Sizes libjpeg refuses fail the write once the file is open: an unwritable path is
    // reported first, and a written one is removed again.
    for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{0, 4}, {4, 0}, {65501, 1}}) {
        message.clear();
        EXPECT_FALSE(JpegFile::SaveRgb24(bad, px.data(), w, h, 75)) << w << "x" << h;
        EXPECT_EQ(message, "JpegFile :\nCan't open " + bad + "\n");
        EXPECT_FALSE(JpegFile::SaveRgb24(path, px.data(), w, h, 75)) << w << "x" << h;
        EXPECT_FALSE(exists(path)) << w << "x" << h;
    }
    JpegFile::SetMessageHandler(nullptr);
}

// A write cut short by the file-size limit fails and leaves no partial file behind.
TEST(Screenshot, FailedWriteRemovesThePartialFile) {
    const uint32_t w = 64, h = 64;
    Bytes px(w * h * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string path = tempPath("cut.jpg");
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 2000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = SaveScreenShotJpeg(path.c_str(), 95, {px.data(), w, h, 32, 0});
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(exists(path));
    std::remove(path.c_str());
}
