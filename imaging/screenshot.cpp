#include "imaging/screenshot.h"

#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <mutex>
#include <vector>

#include <jpeglib.h>

namespace hqlv::imaging {

namespace {

std::mutex g_handlerMutex;
std::function<void(const std::string&)> g_handler;

void showMessage(const std::string& text) {
    std::function<void(const std::string&)> h;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        h = g_handler;
    }
    if (h)
        h(text);
    else
        std::fputs(text.c_str(), stderr);
}

struct WriteError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void writeErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<WriteError*>(cinfo->err)->jump, 1);
}
void silent(j_common_ptr) {}

// 5-bit to 8-bit channel table of 16-bit captures.
uint8_t widen5(unsigned v) {
    return v == 0 ? 0 : v == 31 ? 255 : static_cast<uint8_t>(8 * (v + 1));
}

// Removes what a failed write left, but only an ordinary file (never a device).
void removePartial(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

// The part under libjpeg: plain locals only, so the long jump skips no destructor.
bool compress(FILE* out, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    jpeg_compress_struct cinfo;
    WriteError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = writeErrorExit;
    err.pub.output_message = silent;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    // Row 0 of the buffer is the bottom of the picture; the JPEG is written top row first.
    while (cinfo.next_scanline < cinfo.image_height) {
        const size_t i = height - 1 - cinfo.next_scanline;
        JSAMPROW row = const_cast<JSAMPROW>(rgb + i * rowBytes);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

void JpegFile::SetMessageHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    g_handler = std::move(handler);
}

bool JpegFile::SaveRgb24(const std::string& path, const uint8_t* rgb, uint32_t width,
                         uint32_t height, int quality) {
    // Sizes libjpeg cannot write (none, or beyond its largest) are its errors, met after the
    // file is opened like every other failure of the write.
    if (!rgb) return false;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        showMessage("JpegFile :\nCan't open " + path + "\n");
        return false;
    }
    bool ok = compress(out, rgb, width, height, quality);
    if (std::fflush(out) != 0 || std::ferror(out)) ok = false;
    if (std::fclose(out) != 0) ok = false;
    if (!ok) removePartial(path);
    return ok;
}

bool SaveScreenShotJpeg(const char* path, int quality, const ScreenCapture& cap) {
    if (!path || !cap.pixels || cap.width == 0 || cap.height == 0) return false;
    if (cap.bitsPerPixel != 16 && cap.bitsPerPixel != 32) return false;
    const size_t stride = cap.stride
                              ? cap.stride
                              : ((static_cast<size_t>(cap.width) * cap.bitsPerPixel + 31) / 32) * 4;
    if (stride < static_cast<size_t>(cap.width) * (cap.bitsPerPixel / 8)) return false;
    std::vector<uint8_t> rgb(static_cast<size_t>(cap.width) * cap.height * 3);
    for (uint32_t y = 0; y < cap.height; ++y) {
        // Every capture row starts one padded stride after the previous one.
        const uint8_t* src = cap.pixels + y * stride;
        uint8_t* dst = rgb.data() + static_cast<size_t>(y) * cap.width * 3;
        for (uint32_t x = 0; x < cap.width; ++x) {
            if (cap.bitsPerPixel == 32) {
                dst[3 * x] = src[4 * x + 2];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x];
            } else {
                const unsigned w = src[2 * x] | (src[2 * x + 1] << 8);
                dst[3 * x] = widen5((w >> 10) & 31);
                dst[3 * x + 1] = widen5((w >> 5) & 31);
                dst[3 * x + 2] = widen5(w & 31);
            }
        }
    }
    return JpegFile::SaveRgb24(path, rgb.data(), cap.width, cap.height, quality);
}

}  // namespace hqlv::imaging
