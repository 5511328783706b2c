// Small pictures in the formats the dispatcher knows, written by the tests' picture writers
// and libtiff through our glue: the seeds of the picture harnesses.
#include "seed_pictures.h"

#include <tiffio.h>

#include "codec_writers.h"
#include "gif_writer.h"
#include "imaging/tiff_glue.h"
#include "jp2_writer.h"
#include "test_util.h"

namespace {

std::vector<uint8_t> Tiff(int bits, int samples, uint16_t photometric, uint16_t compression) {
    hqlv::imaging::CRasterMemFile mem;
    mem.Alloc(1);
    TIFF* tif = hqlv::imaging::TiffOpenOnCRasterFile(&mem, "w");
    if (!tif) return {};
    const uint32_t w = 6, h = 4;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
    std::vector<uint16_t> map(size_t{1} << bits);
    if (photometric == PHOTOMETRIC_PALETTE) {
        for (size_t i = 0; i < map.size(); ++i) map[i] = uint16_t(i * 4000);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    }
    std::vector<uint8_t> row((w * samples * bits + 7) / 8);
    for (uint32_t y = 0; y < h; ++y) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 37 + y * 11);
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    return std::vector<uint8_t>(mem.GetBuffer(), mem.GetBuffer() + mem.Size());
}

// An icon of one bitmap entry with a colour table before its pixels (true-colour entries may
// carry one too) and a mask with one pixel set.
std::vector<uint8_t> Icon(int bpp) {
    imgtest::BmpSpec b;
    b.width = 6;
    b.height = 4;
    b.bpp = bpp;
    b.fileHeader = false;
    b.zeroImageSize = true;
    for (int i = 0; i < 5; ++i) b.palette.push_back({uint8_t(i * 50), uint8_t(i), 7, 0});
    b.clrUsed = 5;
    for (int i = 0; i < 24; ++i) {
        b.index.push_back(uint8_t(i % 5));
        b.colour.push_back({uint8_t(i * 9), uint8_t(i * 3), uint8_t(250 - i), 0});
        b.alpha.push_back(uint8_t(i * 10));
    }
    imgtest::Out o;
    o.raw(imgtest::makeBmp(b));
    o.b[8] = uint8_t(2 * b.height);  // the height counts the mask too
    for (int r = 0; r < b.height; ++r) o.raw({uint8_t(r == 1 ? 0x20 : 0), 0, 0, 0});
    imgtest::Out ico;
    ico.u16(0);
    ico.u16(1);
    ico.u16(1);
    ico.u8(uint32_t(b.width));
    ico.u8(uint32_t(b.height));
    ico.u16(0);
    ico.u16(1);
    ico.u16(uint32_t(bpp));
    ico.u32(uint32_t(o.size()));
    ico.u32(6 + 16);
    ico.raw(o.b);
    return ico.b;
}

// JPEG-2000: `comps` components of `prec` bits, as a code stream or in a JP2 file with the
// colour box given (none: the encoder's own).
std::vector<uint8_t> Jpeg2000(uint32_t comps, uint32_t prec, bool jp2,
                              const std::vector<uint8_t>& colr = {}, int alphaComp = -1) {
    imgtest::J2kSpec s;
    s.width = 6;
    s.height = 4;
    s.comps = comps;
    s.prec = prec;
    s.jp2 = jp2 && colr.empty();
    s.alphaComp = alphaComp;
    s.space = comps >= 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY;
    const int32_t max = (1 << prec) - 1;
    s.sample = [max](uint32_t x, uint32_t y, uint32_t c) {
        return int32_t((x * 53 + y * 29 + c * 97) % uint32_t(max + 1));
    };
    const std::vector<uint8_t> stream = imgtest::makeJ2k(s);
    if (colr.empty()) return stream;
    return imgtest::wrapJp2(stream, s.width, s.height, uint16_t(comps), colr, uint8_t(prec));
}

}  // namespace

std::vector<SeedPicture> SeedPictures() {
    std::vector<SeedPicture> out;
    // PNG: grey, RGB, palette with transparency, grey + alpha, RGBA, interlaced, 16 bits.
    const struct {
        int type, depth, channels;
        bool interlace;
    } pngs[] = {{0, 8, 1, false}, {2, 8, 3, false},  {3, 4, 1, false}, {4, 8, 2, false},
                {6, 8, 4, true},  {2, 16, 3, false}, {0, 1, 1, false}};
    int n = 0;
    for (const auto& p : pngs) {
        imgtest::PngSpec s;
        s.width = 5;
        s.height = 3;
        s.colorType = p.type;
        s.bitDepth = p.depth;
        s.interlace = p.interlace;
        const int max = (1 << p.depth) - 1;
        for (uint32_t i = 0; i < s.width * s.height * p.channels; ++i)
            s.samples.push_back(uint16_t((i * 53) % (max + 1)));
        if (p.type == 3) {
            for (int i = 0; i < 16; ++i) s.palette.insert(s.palette.end(), {uint8_t(i * 16), 0, 9});
            s.trnsAlpha = {0, 128};
        }
        out.push_back({"png-" + std::to_string(n++), imgtest::makePng(s)});
    }
    // JPEG: grey, colour, progressive colour.
    for (int comps : {1, 3}) {
        for (bool progressive : {false, true}) {
            imgtest::JpegSpec s;
            s.width = 9;
            s.height = 7;
            s.components = comps;
            s.progressive = progressive;
            for (uint32_t i = 0; i < s.width * s.height * uint32_t(comps); ++i)
                s.samples.push_back(uint8_t(i * 29));
            out.push_back({"jpeg-" + std::to_string(n++), imgtest::makeJpeg(s)});
        }
    }
    // GIF: one frame, and an animation with a local palette, transparency and interlace.
    imgtest::GifSpec g;
    g.width = 8;
    g.height = 6;
    for (int i = 0; i < 4; ++i)
        g.globalPalette.insert(g.globalPalette.end(), {uint8_t(i * 60), 1, 2});
    imgtest::GifFrame f;
    f.width = 8;
    f.height = 6;
    for (int i = 0; i < 48; ++i) f.index.push_back(uint8_t(i % 4));
    g.frames = {f};
    out.push_back({"gif-still", imgtest::makeGif(g)});
    imgtest::GifFrame f2 = f;
    f2.left = 2;
    f2.top = 1;
    f2.width = 4;
    f2.height = 3;
    f2.index.resize(12);
    f2.localPalette = {9, 9, 9, 200, 100, 0};
    f2.interlace = true;
    f2.gce = true;
    f2.disposal = 2;
    f2.delay = 5;
    f2.transparent = true;
    f2.transIndex = 1;
    g.frames.push_back(f2);
    g.loops = 0;
    out.push_back({"gif-anim", imgtest::makeGif(g)});
    // A true-colour GIF (no global table, a first frame smaller than the screen): twenty frames
    // of 16 x 16, each with a table of its own, more pixels in all than the harnesses' cap of
    // 4,096 lets one decode draw.
    imgtest::GifSpec t;
    t.width = 32;
    t.height = 32;
    for (uint32_t k = 0; k < 20; ++k) {
        imgtest::GifFrame q;
        q.left = k % 2 * 16;
        q.top = k / 2 % 2 * 16;
        q.width = q.height = 16;
        q.localPalette = {uint8_t(k * 12), 0, 0, 0, uint8_t(k * 12), 0};
        q.index.assign(256, uint8_t(k % 2));
        t.frames.push_back(q);
    }
    out.push_back({"gif-true-colour-frames", imgtest::makeGif(t)});
    // TIFF: RGB uncompressed and LZW, 8-bit palette, 1-bit and 8-bit grey.
    out.push_back({"tiff-rgb", Tiff(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE)});
    out.push_back({"tiff-rgb-lzw", Tiff(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW)});
    out.push_back({"tiff-palette", Tiff(8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE)});
    out.push_back({"tiff-bilevel", Tiff(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_PACKBITS)});
    out.push_back({"tiff-grey", Tiff(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE)});
    // BMP: 24-bit bottom-up, 8-bit with a palette top-down, 32-bit with alpha.
    for (int bpp : {24, 8, 32}) {
        imgtest::BmpSpec b;
        b.width = 5;
        b.height = 3;
        b.bpp = bpp;
        b.topDown = bpp == 8;
        for (int i = 0; i < 15; ++i) {
            b.index.push_back(uint8_t(i % 6));
            b.colour.push_back({uint8_t(i * 17), uint8_t(i * 5), uint8_t(200 - i), 0});
            b.alpha.push_back(uint8_t(i * 16));
        }
        if (bpp == 8)
            for (int i = 0; i < 6; ++i) b.palette.push_back({uint8_t(i * 40), 9, 90, 0});
        out.push_back({"bmp-" + std::to_string(bpp), imgtest::makeBmp(b)});
    }
    // ICO: 8-bit and 24-bit entries, each with a colour table and a mask.
    out.push_back({"ico-8", Icon(8)});
    out.push_back({"ico-24", Icon(24)});
    // JPEG-2000: 12-bit grey code stream, sRGB with opacity, an embedded profile, sYCC, CMYK.
    out.push_back({"jpc-grey", Jpeg2000(1, 12, false)});
    out.push_back({"jp2-rgba", Jpeg2000(4, 8, true, {}, 3)});
    out.push_back({"jp2-icc",
                   Jpeg2000(3, 8, true, imgtest::profileColour(imgtest::swappedRedBlueProfile()))});
    out.push_back({"jp2-sycc", Jpeg2000(3, 8, true, imgtest::enumeratedColour(18))});
    out.push_back({"jp2-cmyk", Jpeg2000(4, 8, true, imgtest::enumeratedColour(12))});
    return out;
}
