// Saves a captured screen (or window) as a JPEG file. The capture is a bottom-up pixel buffer
// of 16 (5-5-5) or 32 bits per pixel, rows padded to 4 bytes, such as a back buffer or a
// window grab hands over.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hqlv::imaging {

struct ScreenCapture {
    const uint8_t* pixels = nullptr;  // row 0 = bottom row
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 32;  // 32 (blue, green, red, unused) or 16 (5-5-5)
    uint32_t stride = 0;         // bytes per row; 0 = ((width * bits + 31) / 32) * 4
};

// Converts the capture to bottom-up RGB and writes it with the given quality. False when the
// depth is neither 16 nor 32 bits (nothing written) or the file could not be written.
bool SaveScreenShotJpeg(const char* path, int quality, const ScreenCapture& capture);

class JpegFile {
public:
    // Compresses width x height RGB pixels (bottom-up rows, no padding) into a JPEG file.
    // A failed write leaves no file behind.
    static bool SaveRgb24(const std::string& path, const uint8_t* rgb, uint32_t width,
                          uint32_t height, int quality);
    // Where the "Can't open" message goes; the client shows it in a message box.
    static void SetMessageHandler(std::function<void(const std::string&)> handler);
};

}  // namespace hqlv::imaging
