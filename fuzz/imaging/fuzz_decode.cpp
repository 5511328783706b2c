// Any bytes through the decode dispatcher with the format unknown, the way the engine's
// picture import uses it: a first decode, and for animations a second one keeping every
// frame. What one input may cost is capped, since under the sanitizers every pixel is a
// handful of traced comparisons and a large picture reaches nothing a small one does not:
// pictures are capped at 4,096 pixels (64 x 64, still whole JPEG blocks, PNG interlace
// passes and TIFF strips of every kind), the second decode keeping every frame runs while
// frames times pixels stay within 256 (each frame is composed onto the whole picture, and the
// frames of a small animation take every path a large one does), and only pictures of up to
// 256 pixels are turned and mirrored (those walk every pixel one call at a time). With four
// times the pixels these steps took most of each run's time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "imaging/decoders.h"
#include "imaging/raster.h"

using hqlv::imaging::CRaster;

namespace {
volatile uint32_t g_sink;  // keeps the reads from being optimised away
constexpr uint64_t kAllFramesPixels = 256, kTurnPixels = 256;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = [] {
        CRaster::SetMaxPixels(1u << 12);
        // A strip or tile buffer follows the file's tile length and sample count, not the
        // picture's pixels: a one-pixel file may ask for one of 512 MiB, the decoders' bound
        // for a player, which the fuzzer's allocation limit of 512 MB reports. A small picture
        // needs no such buffer; 64 MiB refuses them as the bound does, with its text.
        hqlv::imaging::CRasterTIF::SetMaxBufferBytes(uint64_t{64} << 20);
        hqlv::imaging::CRasterJAS::SetMaxBufferBytes(uint64_t{64} << 20);
        // The JPEG marker walk reports some damage on standard output; keep the log readable.
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)limited;
    std::vector<uint8_t> copy(data, data + size);
    CRaster img(copy.data(), static_cast<uint32_t>(copy.size()), 0);
    if (!img.IsValid()) return 0;
    const int w = static_cast<int>(img.GetWidth()), h = static_cast<int>(img.GetHeight());
    uint32_t sink = 0;
    sink += img.GetPixelColor(w / 2, h / 2, true).rgbRed + img.GetPixelIndex(w - 1, 0) +
            img.AlphaGet(0, h - 1);
    const uint64_t pixels = uint64_t(w) * uint64_t(h);
    if (img.GetNumFrames() > 1 && pixels * uint64_t(img.GetNumFrames()) <= kAllFramesPixels) {
        img.SetRetrieveAllFrames(true);
        img.SetFrame(img.GetNumFrames() - 1);
        if (img.DecodeBuffer(copy.data(), static_cast<uint32_t>(copy.size()), img.GetType())) {
            for (int i = 0; i < img.GetNumFrames(); ++i)
                if (CRaster* f = img.GetFrame(i)) {
                    CRaster frame(*f, true, true, true);
                    sink += frame.GetPixelColor(0, 0, false).rgbBlue + frame.GetFrameDelay();
                }
        }
    }
    if (pixels > kTurnPixels) {
        g_sink = sink;
        return 0;
    }
    CRaster rotated(img);
    rotated.RotateLeft();
    rotated.Mirror();
    sink += rotated.GetPixelIndex(0, 0);
    g_sink = sink;
    return 0;
}
