// Decode throughput of a 1024 x 768 picture in PNG, JPEG, GIF and TIFF through CRaster,
// each beside the bare library (libpng, libjpeg, giflib, libtiff) decoding the same bytes
// into a plain buffer. The rate is in megapixels per second ("items" are pixels). The GIF
// baseline makes the same picture CRaster makes (8-bit rows, bottom-up, and the palette) and
// is checked to; TIFF is measured against libtiff's RGBA reader, which CRaster's colour path
// is built on, and against the rawest way to this file's picture (its strips read straight
// into the rows). The libraries' buffers are not cleared before they are filled. Each runs 9
// times, interleaved, and counts at its fastest run; the ratios are printed at the end.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "bench/fastest_runs.h"
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
        // A new picture each time, as CRaster makes, but not cleared first: the library
        // fills every byte.
        auto out = std::make_unique_for_overwrite<uint8_t[]>(W * H * 3);
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
        for (uint32_t y = 0; y < H; ++y) png_read_row(png, out.get() + y * W * 3, nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Png_Raster(benchmark::State& state) {
    viaRaster(state, pngBytes(), RASTER_FORMAT_PNG);
}

void BM_Jpeg_Library(benchmark::State& state) {
    const Bytes& data = jpegBytes();
    for (auto _ : state) {
        auto out = std::make_unique_for_overwrite<uint8_t[]>(W * H * 3);
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&c, TRUE);
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = out.get() + c.output_scanline * W * 3;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Jpeg_Raster(benchmark::State& state) {
    viaRaster(state, jpegBytes(), RASTER_FORMAT_JPG);
}

// giflib reading the same bytes from memory the way a program would that wants what
// CRaster gives: each row straight into a bottom-up 8-bit picture (rows padded to 4 bytes)
// and the colour table turned into its 256-entry blue-green-red palette.
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

struct IndexedPicture {
    uint32_t width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bits;  // bottom-up rows
    RGBQUAD palette[256] = {};
};

// The first image of the file; false when giflib refuses it.
bool GifWithGiflib(const Bytes& data, IndexedPicture& out) {
    GifMem m{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&m, gifMemRead, &error);
    if (!gif) return false;
    bool done = false;
    GifRecordType type;
    while (!done && DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) break;
            while (ext && DGifGetExtensionNext(gif, &ext) == GIF_OK) {
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) != GIF_OK) break;
        const GifImageDesc& d = gif->Image;
        out.width = uint32_t(d.Width);
        out.height = uint32_t(d.Height);
        out.stride = (out.width + 3) & ~3u;
        out.bits.resize(size_t(out.stride) * out.height);
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        for (int i = 0; map && i < map->ColorCount && i < 256; ++i)
            out.palette[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
        bool rows = !d.Interlace;  // the test picture is not interlaced
        for (uint32_t y = 0; rows && y < out.height; ++y)
            rows = DGifGetLine(gif, out.bits.data() + size_t(out.height - 1 - y) * out.stride,
                               d.Width) == GIF_OK;
        done = rows;
    }
    DGifCloseFile(gif, &error);
    return done;
}

void BM_Gif_Library(benchmark::State& state) {
    const Bytes& data = gifBytes();
    for (auto _ : state) {
        IndexedPicture p;  // a new picture each time, as CRaster makes
        if (!GifWithGiflib(data, p)) {
            state.SkipWithError("giflib");
            break;
        }
        benchmark::DoNotOptimize(p.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Gif_Raster(benchmark::State& state) {
    viaRaster(state, gifBytes(), RASTER_FORMAT_GIF);
}

// Both sides of the GIF rows must give the same picture, or the comparison means nothing.
void CheckSameGif() {
    IndexedPicture p;
    const bool ours = GifWithGiflib(gifBytes(), p);
    Bytes data = gifBytes();
    CRaster img(data.data(), static_cast<uint32_t>(data.size()), RASTER_FORMAT_GIF);
    bool same = ours && img.IsValid() && img.GetBpp() == 8 && img.GetWidth() == p.width &&
                img.GetHeight() == p.height && img.GetEffWidth() == p.stride &&
                std::memcmp(img.GetBits(), p.bits.data(), p.bits.size()) == 0;
    for (int i = 0; same && i < 256; ++i) {
        const RGBQUAD a = img.GetPaletteColor(uint8_t(i)), b = p.palette[i];
        same = a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
    }
    std::printf("gif: CRaster gives %u-bit indexed rows; giflib's rows and palette %s\n",
                img.GetBpp(), same ? "are the same" : "DIFFER");
}

// libtiff's RGBA reader, which CRaster's colour path is built on: every pixel as a word.
void BM_Tiff_Library(benchmark::State& state) {
    Bytes data = tiffBytes();
    for (auto _ : state) {
        auto out = std::make_unique_for_overwrite<uint32_t[]>(W * H);
        CRasterMemFile mem(data.data(), data.size());
        TIFF* tif = TiffOpenOnCRasterFile(&mem, "r");
        TIFFReadRGBAImage(tif, W, H, out.get(), 1);
        TIFFClose(tif);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}

// The least work that gives CRaster's picture from this file: the strips decoded straight
// into the bottom-up rows, then red and blue exchanged in place. It reads only this layout
// (8-bit RGB in strips), which is why the decoder goes through the general reader.
void BM_Tiff_LibraryStrips(benchmark::State& state) {
    Bytes data = tiffBytes();
    const uint32_t stride = (W * 3 + 3) & ~3u;
    for (auto _ : state) {
        auto out = std::make_unique_for_overwrite<uint8_t[]>(size_t(stride) * H);
        CRasterMemFile mem(data.data(), data.size());
        TIFF* tif = TiffOpenOnCRasterFile(&mem, "r");
        uint32_t rps = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
        auto strip = std::make_unique_for_overwrite<uint8_t[]>(size_t(W) * 3 * rps);
        for (uint32_t top = 0; top < H; top += rps) {
            const uint32_t n = std::min(rps, H - top);
            TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), strip.get(),
                                 tmsize_t(n) * W * 3);
            for (uint32_t i = 0; i < n; ++i) {
                const uint8_t* in = strip.get() + size_t(i) * W * 3;
                uint8_t* row = out.get() + size_t(H - 1 - top - i) * stride;
                for (uint32_t x = 0; x < W; ++x) {
                    row[3 * x] = in[3 * x + 2];
                    row[3 * x + 1] = in[3 * x + 1];
                    row[3 * x + 2] = in[3 * x];
                }
            }
        }
        TIFFClose(tif);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
void BM_Tiff_Raster(benchmark::State& state) {
    viaRaster(state, tiffBytes(), RASTER_FORMAT_TIF);
}

}  // namespace

// Prints, after the runs, each format's CRaster speed as a fraction of the library's, from
// the fastest runs' processor times.
class RatioReporter : public hqlv::bench::FastestRuns {
public:
    void Finalize() override {
        FastestRuns::Finalize();
        std::printf("\nspeed of CRaster as a fraction of the library's (higher is faster):\n");
        for (const char* f : {"Png", "Jpeg", "Gif", "Tiff"}) {
            const double lib = Cpu(std::string("BM_") + f + "_Library"),
                         ours = Cpu(std::string("BM_") + f + "_Raster");
            if (lib > 0 && ours > 0)
                std::printf("  %-4s %.2f%s\n", f, lib / ours,
                            std::string(f) == "Tiff"
                                ? (lib / ours >= 0.9 ? " (goal 0.9: ok)" : " (goal 0.9: MISSED)")
                                : "");
        }
        const double strips = Cpu("BM_Tiff_LibraryStrips"), tiff = Cpu("BM_Tiff_Raster");
        if (strips > 0 && tiff > 0)
            std::printf("  Tiff %.2f of libtiff's strips read straight into the rows\n",
                        strips / tiff);
    }
};

BENCHMARK(BM_Png_Library)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Png_Raster)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Jpeg_Library)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Jpeg_Raster)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Gif_Library)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Gif_Raster)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Tiff_Library)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Tiff_LibraryStrips)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Tiff_Raster)->Unit(benchmark::kMillisecond)->Apply(hqlv::bench::Repeated);

int main(int argc, char** argv) {
    CheckSameGif();
    std::vector<char*> args = hqlv::bench::InterleavedArguments(argc, argv);
    int count = int(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
