#include "codec_writers.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

namespace imgtest {

namespace {
void pngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void pngFlush(png_structp) {}
int channelsOf(int colorType) {
    switch (colorType) {
        case 0:
        case 3:
            return 1;
        case 4:
            return 2;
        case 2:
            return 3;
        default:
            return 4;
    }
}
}  // namespace

std::vector<uint8_t> makePng(const PngSpec& s) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::abort();
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> pal;
    for (size_t i = 0; i + 2 < s.palette.size(); i += 3)
        pal.push_back({s.palette[i], s.palette[i + 1], s.palette[i + 2]});
    if (!pal.empty()) png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
    png_color_16 tc{};
    tc.gray = s.trnsGray;
    tc.red = s.trnsR;
    tc.green = s.trnsG;
    tc.blue = s.trnsB;
    if (!s.trnsAlpha.empty())
        png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()), nullptr);
    else if (s.trnsColour)
        png_set_tRNS(png, info, nullptr, 1, &tc);
    if (s.phys) png_set_pHYs(png, info, s.physX, s.physY, s.physUnit);
    png_write_info(png, info);
    const int ch = channelsOf(s.colorType);
    const size_t rowBytes = (static_cast<size_t>(s.width) * ch * s.bitDepth + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(s.height, std::vector<uint8_t>(rowBytes, 0));
    for (uint32_t y = 0; y < s.height; ++y) {
        for (uint32_t i = 0; i < s.width * ch; ++i) {
            const uint16_t v = s.samples[y * s.width * ch + i];
            auto& row = rows[y];
            if (s.bitDepth == 16) {
                row[2 * i] = static_cast<uint8_t>(v >> 8);
                row[2 * i + 1] = static_cast<uint8_t>(v);
            } else if (s.bitDepth == 8) {
                row[i] = static_cast<uint8_t>(v);
            } else {
                const int per = 8 / s.bitDepth;
                row[i / per] |= static_cast<uint8_t>(v << (8 - s.bitDepth * (1 + i % per)));
            }
        }
    }
    std::vector<png_bytep> ptrs;
    for (auto& r : rows) ptrs.push_back(r.data());
    png_write_image(png, ptrs.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> makeJpeg(const JpegSpec& s) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&c, &mem, &memSize);
    c.image_width = s.width;
    c.image_height = s.height;
    c.input_components = s.components;
    c.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, s.quality, TRUE);
    if (s.progressive) jpeg_simple_progression(&c);
    std::vector<jpeg_scan_info> script;
    for (const JpegScan& sc : s.scans) {
        jpeg_scan_info info{};
        info.comps_in_scan = sc.comps;
        for (int k = 0; k < 4; ++k) info.component_index[k] = sc.component[k];
        info.Ss = sc.ss;
        info.Se = sc.se;
        info.Ah = sc.ah;
        info.Al = sc.al;
        script.push_back(info);
    }
    if (!script.empty()) {
        c.scan_info = script.data();
        c.num_scans = static_cast<int>(script.size());
    }
    c.write_JFIF_header = s.writeJfif ? TRUE : FALSE;
    c.density_unit = static_cast<UINT8>(s.densityUnit);
    c.X_density = s.xDensity;
    c.Y_density = s.yDensity;
    jpeg_start_compress(&c, TRUE);
    if (!s.app1.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, s.app1.data(), static_cast<unsigned>(s.app1.size()));
    const size_t stride = static_cast<size_t>(s.width) * s.components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(s.samples.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

}  // namespace imgtest
