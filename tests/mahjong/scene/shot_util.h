#pragma once
// Pictures of the rendered table: written as PNG files for review, and the tile faces read
// back from the generator's markers.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace hqlv::mahjong::test {

inline bool WritePng(const std::string& path, const std::vector<uint32_t>& px, int w, int h) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(size_t(w) * 3);
    const bool ok = png && info && !setjmp(png_jmpbuf(png));
    if (ok) {
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
                row[size_t(x) * 3] = uint8_t(p >> 16), row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
                row[size_t(x) * 3 + 2] = uint8_t(p);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(f);
    return ok;
}

// The face a marker colour stands for: (246, 242, 0xE3 - face).
inline int FaceOf(uint32_t rgb) {
    if ((rgb & 0xFFFF00) != 0xF6F200) return -1;
    const int face = 0xE3 - int(rgb & 0xFF);
    return face >= 0 && face < 47 ? face : -1;
}

}  // namespace hqlv::mahjong::test
