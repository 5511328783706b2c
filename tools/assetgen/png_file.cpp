#include "tools/assetgen/png_file.h"

#include <png.h>

namespace hqlv::assetgen {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}
void Flush(png_structp) {}

}  // namespace

std::string PngFile(const Raster& r) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return {};
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(r.width) * 4);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, Flush);
    png_set_IHDR(png, info, png_uint_32(r.width), png_uint_32(r.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            const uint32_t p = r.at(x, y);
            row[size_t(x) * 4 + 0] = uint8_t(p >> 16);
            row[size_t(x) * 4 + 1] = uint8_t(p >> 8);
            row[size_t(x) * 4 + 2] = uint8_t(p);
            row[size_t(x) * 4 + 3] = uint8_t(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace hqlv::assetgen
