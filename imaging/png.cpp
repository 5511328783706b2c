// PNG over libpng's row reader: every colour type becomes an 8-bit indexed or a 24-bit image,
// alpha becomes the alpha plane, tRNS a transparent index, colour or palette alpha.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "imaging/decoders.h"
#include "imaging/saturate.h"

namespace hqlv::imaging {

namespace {

struct PngErr {
    char* text;  // the image's last-error text
    jmp_buf jump;
};

void pngRead(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<CRasterFile*>(png_get_io_ptr(png));
    if (!file || file->Read(data, 1, length) != length) png_error(png, "Read Error");
}

[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    auto* err = static_cast<PngErr*>(png_get_error_ptr(png));
    std::strncpy(err->text, message ? message : "", 255);
    err->text[255] = 0;
    longjmp(err->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Widens 2-bit samples to 4-bit ones in place, from the right so nothing is overwritten.
void expand2to4(uint8_t* row, uint32_t width) {
    for (int64_t x = static_cast<int64_t>(width) - 1; x >= 0; --x) {
        const uint8_t v = (row[x / 4] >> (2 * (3 - x % 4))) & 3;
        uint8_t& d = row[x / 2];
        const int shift = 4 * (1 - static_cast<int>(x % 2));
        d = static_cast<uint8_t>((d & ~(0x0F << shift)) | (v << shift));
    }
}

void swapRedBlueScalar(uint8_t* p, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, p += 3) {
        const uint8_t t = p[0];
        p[0] = p[2];
        p[2] = t;
    }
}

#if defined(__x86_64__)
// Sixteen pixels (48 bytes) per step through byte shuffles; bytes that cross a 16-byte lane
// come from the neighbouring lane.
__attribute__((target("ssse3"))) void swapRedBlueSsse3(uint8_t* p, uint32_t width) {
    const __m128i m0a = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, -1);
    const __m128i m0b =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1);
    const __m128i m1a =
        _mm_setr_epi8(-1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m1b = _mm_setr_epi8(0, -1, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, -1, 15);
    const __m128i m1c =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1);
    const __m128i m2b =
        _mm_setr_epi8(14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m2c = _mm_setr_epi8(-1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16, p += 48) {
        auto* v = reinterpret_cast<__m128i*>(p);
        const __m128i a = _mm_loadu_si128(v), b = _mm_loadu_si128(v + 1),
                      c = _mm_loadu_si128(v + 2);
        _mm_storeu_si128(v, _mm_or_si128(_mm_shuffle_epi8(a, m0a), _mm_shuffle_epi8(b, m0b)));
        _mm_storeu_si128(
            v + 1, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m1a), _mm_shuffle_epi8(b, m1b)),
                                _mm_shuffle_epi8(c, m1c)));
        _mm_storeu_si128(v + 2, _mm_or_si128(_mm_shuffle_epi8(b, m2b), _mm_shuffle_epi8(c, m2c)));
    }
    swapRedBlueScalar(p, width - x);
}
#endif

// Red and blue of a row of 3-byte pixels change places: a good part of the decode time of a
// large colour picture, so it uses a byte shuffle where the processor has one.
void swapRedBlue(uint8_t* row, uint32_t width) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        swapRedBlueSsse3(row, width);
        return;
    }
#endif
    swapRedBlueScalar(row, width);
}

}  // namespace

bool CRasterPNG::Decode(CRasterFile* file) {
    if (!file) return false;
    PngErr err;
    err.text = info_.szLastError;
    png_structp png = nullptr;
    png_infop pinfo = nullptr;
    uint8_t* volatile rowBuf = nullptr;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    pinfo = png_create_info_struct(png);
    if (!pinfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    // Locals changed after setjmp and read after the jump are volatile.
    volatile bool dimensionsOnly = false;
    if (setjmp(err.jump)) {
        std::free(rowBuf);
        png_destroy_read_struct(&png, &pinfo, nullptr);
        if (dimensionsOnly) return true;
        return false;
    }
    png_set_read_fn(png, file, pngRead);
    png_set_error_fn(png, &err, pngError, pngWarning);
    png_read_info(png, pinfo);

    const uint32_t width = png_get_image_width(png, pinfo);
    const uint32_t height = png_get_image_height(png, pinfo);
    if (info_.nEscape == -1) {
        head_.biWidth = static_cast<int32_t>(width);
        head_.biHeight = static_cast<int32_t>(height);
        info_.dwType = RASTER_FORMAT_PNG;
        dimensionsOnly = true;
        longjmp(err.jump, 1);
    }
    const int colorType = png_get_color_type(png, pinfo);
    const int bitDepth = png_get_bit_depth(png, pinfo);
    int channels = 0;
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            channels = 1;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            channels = 2;
            break;
        case PNG_COLOR_TYPE_RGB:
            channels = 3;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            channels = 4;
            break;
        default:
            SetLastError("unknown PNG color type");
            longjmp(err.jump, 1);
    }
    const int pixelDepth = bitDepth * channels;
    int depth = pixelDepth;
    if (channels == 1 && bitDepth > 8) depth = 8;
    if (channels == 2) depth = 8;
    if (channels >= 3) depth = 24;
    const int shift = bitDepth > 8 ? 8 : 0;

    if (!Create(width, height, static_cast<uint32_t>(depth), RASTER_FORMAT_PNG))
        longjmp(err.jump, 1);

    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, pinfo, &resX, &resY, &unit)) {
        if (unit == PNG_RESOLUTION_UNKNOWN) {
            SetXDPI(SaturateCast<int32_t>(resX));
            SetYDPI(SaturateCast<int32_t>(resY));
        } else if (unit == PNG_RESOLUTION_METER) {
            SetXDPI(static_cast<int32_t>(std::floor(resX * 0.0254 + 0.5)));
            SetYDPI(static_cast<int32_t>(std::floor(resY * 0.0254 + 0.5)));
        }
    }

    png_colorp palette = nullptr;
    int numPalette = 0;
    if (png_get_PLTE(png, pinfo, &palette, &numPalette) && GetPalette()) {
        const uint32_t n = static_cast<uint32_t>(numPalette) < head_.biClrUsed
                               ? static_cast<uint32_t>(numPalette)
                               : head_.biClrUsed;
        for (uint32_t i = 0; i < n; ++i)
            SetPaletteColor(static_cast<uint8_t>(i), palette[i].red, palette[i].green,
                            palette[i].blue);
        SetClrImportant(static_cast<uint32_t>(numPalette));
    } else if (bitDepth == 2 && GetPalette()) {
        const uint8_t greys[4] = {0, 85, 170, 255};
        for (uint8_t i = 0; i < 4; ++i) SetPaletteColor(i, greys[i], greys[i], greys[i]);
    } else {
        SetGrayPalette();
    }

    png_bytep transAlpha = nullptr;
    int numTrans = 0;
    png_color_16p transColor = nullptr;
    // A 16-bit grey or RGB key is matched on whole samples, which only libpng sees: it turns
    // the key into an alpha channel before the samples lose their low byte. Compared on the
    // high byte alone, 0x1299 would vanish with a key of 0x1234.
    const bool keyToAlpha = bitDepth == 16 &&
                            (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_RGB) &&
                            png_get_valid(png, pinfo, PNG_INFO_tRNS);
    if (keyToAlpha) {
        png_set_tRNS_to_alpha(png);
        ++channels;
    } else if (png_get_tRNS(png, pinfo, &transAlpha, &numTrans, &transColor)) {
        if (colorType == PNG_COLOR_TYPE_PALETTE && transAlpha && numTrans > 0) {
            // Every tRNS entry is palette alpha, a single one included. One fully transparent
            // entry also makes that index the transparent index; a single entry of any other
            // alpha does not: keyed away whole, an opaque entry would cut holes wherever its
            // colour stands, and a half-transparent one would vanish instead of showing its
            // alpha.
            RGBQUAD* pal = GetPalette();
            for (uint32_t i = 0; i < head_.biClrUsed; ++i)
                pal[i].rgbReserved = i < static_cast<uint32_t>(numTrans) ? transAlpha[i] : 255;
            info_.bAlphaPaletteEnabled = true;
            if (numTrans == 1 && transAlpha[0] == 0) info_.nBkgndIndex = 0;
        } else if (colorType == PNG_COLOR_TYPE_GRAY && transColor) {
            info_.nBkgndIndex = transColor->gray >> shift;
        } else if (colorType == PNG_COLOR_TYPE_RGB && transColor) {
            RGBQUAD c;
            c.rgbRed = static_cast<uint8_t>(transColor->red >> shift);
            c.rgbGreen = static_cast<uint8_t>(transColor->green >> shift);
            c.rgbBlue = static_cast<uint8_t>(transColor->blue >> shift);
            SetTransColor(c);
            info_.nBkgndIndex = 0;
        }
    }
    // Rows with alpha are wider than the image's; they may only be read through the plane.
    if ((channels == 2 || channels == 4) && !AlphaCreate()) {
        SetLastError("CRasterPNG can't allocate memory");
        longjmp(err.jump, 1);
    }
    // Three-channel rows are swapped to blue-green-red here after each pass, which is faster
    // than libpng's own per-pixel transform; rows with alpha go through our own copy anyway.
    const bool swapHere = channels == 3;
    if ((colorType & PNG_COLOR_MASK_COLOR) && !swapHere) png_set_bgr(png);
    // 16-bit samples keep their high byte.
    if (bitDepth == 16) png_set_strip_16(png);
    if (info_.nEscape > 0) {
        SetLastError("Cancelled");
        longjmp(err.jump, 1);
    }
    {
        const int passes = png_set_interlace_handling(png);
        png_read_update_info(png, pinfo);
        SetCodecOption(passes > 1 ? 1 : 0, RASTER_FORMAT_PNG);
        const size_t rowBytes = png_get_rowbytes(png, pinfo);
        const bool alpha = AlphaIsValid();
        if (alpha) {
            rowBuf = static_cast<uint8_t*>(std::malloc(rowBytes + 8));
            if (!rowBuf) {
                SetLastError("CRasterPNG can't allocate memory");
                longjmp(err.jump, 1);
            }
        }
        const uint32_t w = width;
        uint8_t* const buf = rowBuf;
        for (int pass = 0; pass < passes; ++pass) {
            for (uint32_t y = 0; y < height; ++y) {
                if (info_.nEscape > 0) {
                    SetLastError("Cancelled");
                    longjmp(err.jump, 1);
                }
                const uint32_t r = height - 1 - y;
                uint8_t* dst = GetBits(r);
                if (!alpha) {
                    // The image row is in libpng's own layout, so later passes combine in place.
                    if (swapHere && pass > 0) swapRedBlue(dst, w);  // back to libpng's order
                    png_read_row(png, dst, nullptr);
                    if (swapHere) swapRedBlue(dst, w);
                    if (bitDepth == 2 && pass == passes - 1) expand2to4(dst, w);
                    continue;
                }
                uint8_t* a = pAlpha_ + static_cast<size_t>(r) * w;
                if (pass > 0) {
                    for (uint32_t x = 0; x < w; ++x) {
                        if (channels == 2) {
                            buf[2 * x] = dst[x];
                            buf[2 * x + 1] = a[x];
                        } else {
                            std::memcpy(buf + 4 * x, dst + 3 * x, 3);
                            buf[4 * x + 3] = a[x];
                        }
                    }
                }
                png_read_row(png, buf, nullptr);
                if (channels == 2) {
                    for (uint32_t x = 0; x < w; ++x) {
                        dst[x] = buf[2 * x];
                        a[x] = buf[2 * x + 1];
                    }
                } else {
                    for (uint32_t x = 0; x < w; ++x) {
                        std::memcpy(dst + 3 * x, buf + 4 * x, 3);
                        a[x] = buf[4 * x + 3];
                    }
                }
            }
        }
    }
    std::free(rowBuf);
    rowBuf = nullptr;
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &pinfo, nullptr);
    return true;
}

}  // namespace hqlv::imaging
