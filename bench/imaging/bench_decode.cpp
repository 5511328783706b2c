// Decode throughput of a 1024 x 768 picture in PNG, JPEG, GIF and TIFF through CRaster,
// each beside the bare library (libpng, libjpeg, giflib, libtiff) decoding the same bytes
// into a plain buffer. The rate is in megapixels per second ("items" are pixels).
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "codec_writers.h"
#include "gif_writer.h"
#include "imaging/raster.h"
#include "imaging/tiff_glue.h"

using namespace hqlv::imaging;

namespace {

constexpr uint32_t W = 1024, H = 768;
using Bytes = std::vector<uint8_t>;

// A smooth picture with some texture, so the codecs do realistic work.
uint8_t channel(uint32_t x, uint32_t y, int c) {
    const uint32_t n = (x * 7919u + y * 104729u + static_cast<uint32_t>(c) * 13u) % 23u;
    return static_cast<uint8_t>(((x * (c + 1)) / 5 + (y * (3 - c)) / 4 + n) & 0xFF);
}

const Bytes& pngBytes() {
    static const Bytes b = [] {
        imgtest::PngSpec s;
        s.width = W;
        s.height = H;
        s.colorType = 2;
        s.samples.reserve(W * H * 3);
        for (uint32_t y = 0; y < H; ++y)
            for (uint32_t x = 0; x < W; ++x)
                for (int c = 0; c < 3; ++c) s.samples.push_back(channel(x, y, c));
        return imgtest::makePng(s);
    }();
    return b;
}

const Bytes& jpegBytes() {
    static const Bytes b = [] {
        imgtest::JpegSpec s;
        s.width = W;
        s.height = H;
        s.quality = 85;
        for (uint32_t y = 0; y < H; ++y)
            for (uint32_t x = 0; x < W; ++x)
                for (int c = 0; c < 3; ++c) s.samples.push_back(channel(x, y, c));
        return imgtest::makeJpeg(s);
    }();
    return b;
}

const Bytes& gifBytes() {
    static const Bytes b = [] {
        imgtest::GifSpec s;
        s.width = W;
        s.height = H;
        for (int i = 0; i < 256; ++i)
            s.globalPalette.insert(s.globalPalette.end(),
                                   {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
        imgtest::GifFrame f;
        f.width = W;
        f.height = H;
        f.index.reserve(W * H);
        for (uint32_t y = 0; y < H; ++y)
            for (uint32_t x = 0; x < W; ++x)
                f.index.push_back(
                    static_cast<uint8_t>(channel(x, y, 0) / 4 + channel(x, y, 1) / 2));
        s.frames = {f};
        return imgtest::makeGif(s);
    }();
    return b;
}

const Bytes& tiffBytes() {
    static const Bytes b = [] {
        CRasterMemFile mem;
        mem.Alloc(1);
        TIFF* tif = TiffOpenOnCRasterFile(&mem, "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, W);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, H);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        std::vector<uint8_t> row(W * 3);
        for (uint32_t y = 0; y < H; ++y) {
            for (uint32_t x = 0; x < W; ++x)
                for (int c = 0; c < 3; ++c) row[x * 3 + c] = channel(x, y, c);
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFClose(tif);
        return Bytes(mem.GetBuffer(), mem.GetBuffer() + mem.Size());
    }();
    return b;
}

void viaRaster(benchmark::State& state, const Bytes& src, uint32_t id) {
    Bytes data = src;
    for (auto _ : state) {
        CRaster img(data.data(), static_cast<uint32_t>(data.size()), id);
        if (!img.IsValid()) state.SkipWithError(img.GetLastError());
        benchmark::DoNotOptimize(img.GetBits());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}

// ---- bare libraries ----

struct PngMem {
    const Bytes* b;
    size_t pos;
};
void pngMemRead(png_structp png, png_bytep out, png_size_t n) {
    auto* m = static_cast<PngMem*>(png_get_io_ptr(png));
    if (m->pos + n > m->b->size()) png_error(png, "short");
    std::memcpy(out, m->b->data() + m->pos, n);
    m->pos += n;
}

void BM_Png_Library(benchmark::State& state) {
    const Bytes& data = pngBytes();
    for (auto _ : state) {
        std::vector<uint8_t> out(W * H * 3);  // a new picture each time, as CRaster makes
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        PngMem m{&data, 0};
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            state.SkipWithError("png");
            break;
        }
        png_set_read_fn(png, &m, pngMemRead);
        png_read_info(png, info);
        for (uint32_t y = 0; y < H; ++y) png_read_row(png, out.data() + y * W * 3, nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Png_Raster(benchmark::State& state) {
    viaRaster(state, pngBytes(), RASTER_FORMAT_PNG);
}

void BM_Jpeg_Library(benchmark::State& state) {
    const Bytes& data = jpegBytes();
    for (auto _ : state) {
        std::vector<uint8_t> out(W * H * 3);
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&c, TRUE);
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = out.data() + c.output_scanline * W * 3;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Jpeg_Raster(benchmark::State& state) {
    viaRaster(state, jpegBytes(), RASTER_FORMAT_JPG);
}

// giflib reading the same bytes from memory: every frame with its raster, as CRaster keeps.
struct GifMem {
    const Bytes* b;
    size_t pos;
};
int gifMemRead(GifFileType* gif, GifByteType* out, int n) {
    auto* m = static_cast<GifMem*>(gif->UserData);
    const size_t k = std::min(static_cast<size_t>(n), m->b->size() - m->pos);
    std::memcpy(out, m->b->data() + m->pos, k);
    m->pos += k;
    return static_cast<int>(k);
}

void BM_Gif_Library(benchmark::State& state) {
    const Bytes& data = gifBytes();
    for (auto _ : state) {
        GifMem m{&data, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&m, gifMemRead, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount != 1) {
            state.SkipWithError("giflib");
            if (gif) DGifCloseFile(gif, &error);
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Gif_Raster(benchmark::State& state) {
    viaRaster(state, gifBytes(), RASTER_FORMAT_GIF);
}

void BM_Tiff_Library(benchmark::State& state) {
    Bytes data = tiffBytes();
    for (auto _ : state) {
        std::vector<uint32_t> out(W * H);
        CRasterMemFile mem(data.data(), data.size());
        TIFF* tif = TiffOpenOnCRasterFile(&mem, "r");
        TIFFReadRGBAImage(tif, W, H, out.data(), 1);
        TIFFClose(tif);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Tiff_Raster(benchmark::State& state) {
    viaRaster(state, tiffBytes(), RASTER_FORMAT_TIF);
}

}  // namespace

BENCHMARK(BM_Png_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
