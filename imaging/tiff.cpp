// One directory (page) of a TIFF file over libtiff. Colour photometrics go through
// libtiff's RGBA reader; bilevel, grey, palette, grey with alpha and CIELAB pictures are read
// strip by strip or tile by tile and converted here. The orientation tag is applied last.
#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/decoders.h"
#include "imaging/saturate.h"
#include "imaging/tiff_glue.h"

namespace hqlv::imaging {

namespace {

struct TiffFail {
    const char* text;
};

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif) TIFFClose(tif);
    }
};

bool isColourClass(uint16_t photometric) {
    switch (photometric) {
        case PHOTOMETRIC_RGB:
        case PHOTOMETRIC_SEPARATED:
        case PHOTOMETRIC_YCBCR:
        case PHOTOMETRIC_LOGL:
        case PHOTOMETRIC_LOGLUV:
            return true;
        default:
            return false;
    }
}

// The sample at `index` of a line, `bits` wide (1 to 32). libtiff hands whole-byte samples
// wider than a byte over in the host's byte order; other widths stay packed big-endian.
uint32_t sampleAt(const uint8_t* line, size_t lineBytes, uint64_t index, uint32_t bits) {
    if (bits > 8 && bits % 8 == 0) {
        const uint32_t n = bits / 8;
        const uint64_t at = index * n;
        uint32_t v = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t byte = at + i < lineBytes ? line[at + i] : 0;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            v = (v << 8) | byte;
#else
            v |= byte << (8 * i);
#endif
        }
        return v;
    }
    const uint64_t bit = index * bits;
    uint64_t acc = 0;
    const size_t first = static_cast<size_t>(bit / 8);
    const uint32_t need = static_cast<uint32_t>((bit % 8) + bits);
    const uint32_t bytes = (need + 7) / 8;
    for (uint32_t i = 0; i < bytes; ++i)
        acc = (acc << 8) | (first + i < lineBytes ? line[first + i] : 0);
    acc >>= bytes * 8 - need;
    return static_cast<uint32_t>(acc & ((bits >= 32) ? 0xFFFFFFFFull : ((1ull << bits) - 1)));
}

// The reader's words (red in the low byte, then green, blue, alpha) as blue, green, red
// bytes: each word byte-swapped and shifted holds the three in order, stored four bytes at
// a time with the next pixel writing over the fourth; the last pixel goes byte by byte, so
// nothing is written past the row.
void AbgrToBgr(const uint32_t* src, uint32_t width, uint8_t* row) {
    if (width == 0) return;
    uint32_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 1 < width; ++x) {
            const uint32_t bgr = __builtin_bswap32(src[x]) >> 8;
            std::memcpy(row + 3 * size_t(x), &bgr, 4);
        }
    }
    for (; x < width; ++x) {
        uint8_t* out = row + 3 * size_t(x);
        out[0] = static_cast<uint8_t>(TIFFGetB(src[x]));
        out[1] = static_cast<uint8_t>(TIFFGetG(src[x]));
        out[2] = static_cast<uint8_t>(TIFFGetR(src[x]));
    }
}

// A colour stored premultiplied by its alpha (associated alpha) back at full strength, so that
// the edges of a picture drawn with that alpha do not darken.
uint8_t unpremultiply(uint8_t c, uint8_t a) {
    if (a == 0) return c;
    const unsigned v = (c * 255u + a / 2u) / a;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

uint8_t labChannel(double v) {
    v = v > 0.00304 ? 1.055 * std::pow(v, 0.41667) - 0.055 : 12.92 * v;
    const int b = static_cast<int>(v * 255);
    return static_cast<uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
}

std::atomic<uint64_t> g_maxBufferBytes{0};

constexpr uint8_t kNoRowShift = 0xFF;  // a row no strip delivered

}  // namespace

void CRasterTIF::SetMaxBufferBytes(uint64_t bytes) {
    g_maxBufferBytes = bytes;
}

uint64_t CRasterTIF::GetMaxBufferBytes() {
    const uint64_t set = g_maxBufferBytes;
    return set ? set : static_cast<uint64_t>(kTiffMaxSingleAlloc);
}

void CRasterTIF::TileToStrip(uint8_t* out, const uint8_t* in, uint32_t rows, uint32_t columns,
                             int64_t outSkew, int64_t inSkew) {
    for (uint32_t r = 0; r < rows; ++r) {
        std::memcpy(out, in, columns);
        out += columns + outSkew;
        in += columns + inSkew;
    }
}

// Samples of 16, 24 and 32 bits come from libtiff in the host's byte order, packed samples of
// other widths as a big-endian bit stream; each is taken as delivered. Read as big-endian
// words throughout, the whole-byte samples would give the wrong byte on this host.
void CRasterTIF::MoveBits(uint8_t* dest, const uint8_t* src, uint32_t count, uint32_t bits) {
    const size_t bytes = (static_cast<uint64_t>(count) * bits + 7) / 8;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = sampleAt(src, bytes, i, bits);
        dest[i] = static_cast<uint8_t>(bits <= 8 ? v : v >> (bits - 8));
    }
}

// Indexes are taken as delivered, as in MoveBits: 16-bit ones in the host's order, packed
// ones (9 to 15 bits) as a big-endian bit stream whose bytes are not swapped, which would send
// them to the wrong entries.
void CRasterTIF::MoveBitsPal(uint8_t* dest, const uint8_t* src, uint32_t count, uint32_t bits,
                             const RGBQUAD* table) {
    const size_t bytes = (static_cast<uint64_t>(count) * bits + 7) / 8;
    for (uint32_t i = 0; i < count; ++i) {
        const RGBQUAD& c = table[sampleAt(src, bytes, i, bits)];
        dest[3 * size_t(i)] = c.rgbBlue;
        dest[3 * size_t(i) + 1] = c.rgbGreen;
        dest[3 * size_t(i) + 2] = c.rgbRed;
    }
}

bool CRasterTIF::Decode(CRasterFile* file) {
    if (!file) return false;
    TiffCloser h{nullptr};
    // Set only where the size query is answered: the format id alone cannot tell, since the
    // caller's image (and with it its id) is copied in before the decode.
    bool answered = false;
    try {
        h.tif = TiffOpenOnCRasterFile(file, "rb");
        TIFF* tif = h.tif;
        if (!tif) throw TiffFail{"Error encountered while opening TIFF file"};
        const tdir_t dirs = TIFFNumberOfDirectories(tif);
        info_.nNumFrames = static_cast<int32_t>(dirs);
        if (info_.nFrame < 0 || !TIFFSetDirectory(tif, static_cast<tdir_t>(info_.nFrame)))
            throw TiffFail{"Error: page not present in TIFF file"};

        uint32_t width = 0, height = 0, rowsPerStrip = 0;
        uint16_t samples = 1, bits = 1, photometric = 0, orientation = 1, compression = 1,
                 resUnit = 2;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        // Orientations 5 to 8 exchange the axes. The size query answers with the size the
        // decode gives, turned as the picture is turned below.
        const bool swapped = orientation >= 5 && orientation <= 8;

        if (info_.nEscape == -1) {
            head_.biWidth = static_cast<int32_t>(swapped ? height : width);
            head_.biHeight = static_cast<int32_t>(swapped ? width : height);
            info_.dwType = RASTER_FORMAT_TIF;
            answered = true;
            throw TiffFail{"output dimensions returned"};
        }
        // No samples or no bits make no pixels. Samples wider than 32 bits are refused as
        // well: read by the top byte of their first 32-bit word, as narrower ones are, they
        // would give no brightness (that byte of a 64-bit floating-point sample is mantissa)
        // but noise.
        if (bits == 0 || samples == 0 || bits > 32) throw TiffFail{"Corrupted TIFF file!"};

        float xres = 0, yres = 0, xpos = 0, ypos = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &resUnit);
        if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres)) {
            SetXDPI(
                SaturateCast<int32_t>(resUnit == RESUNIT_CENTIMETER ? xres * 2.54 + 0.5 : xres));
        }
        if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres)) {
            SetYDPI(
                SaturateCast<int32_t>(resUnit == RESUNIT_CENTIMETER ? yres * 2.54 + 0.5 : yres));
        }
        if (TIFFGetField(tif, TIFFTAG_XPOSITION, &xpos))
            info_.xOffset = SaturateCast<int32_t>(xpos);
        if (TIFFGetField(tif, TIFFTAG_YPOSITION, &ypos))
            info_.yOffset = SaturateCast<int32_t>(ypos);
        head_.biClrUsed = 0;
        info_.nBkgndIndex = -1;
        if (rowsPerStrip > height) {
            rowsPerStrip = height;
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
        }
        if (rowsPerStrip == 0) rowsPerStrip = height;  // a strip of no rows never ends the loop

        const bool colour = isColourClass(photometric);
        const bool largePalette = photometric == PHOTOMETRIC_PALETTE && bits > 8;
        uint32_t depth;
        if (colour) {
            depth = 24;
        } else if (photometric <= PHOTOMETRIC_PALETTE) {
            depth = bits == 1 ? 1 : bits == 4 ? 4 : largePalette ? 24 : 8;
        } else {
            depth = bits == 4 ? 4 : 8;
        }
        if (info_.nEscape > 0) throw TiffFail{"Cancelled"};
        if (!Create(width, height, depth, RASTER_FORMAT_TIF))
            throw TiffFail{"CRasterTIF can't create image"};
        if (samples == 4 || (samples == 2 && bits == 8)) AlphaCreate();
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        SetCodecOption(compression, RASTER_FORMAT_TIF);
        uint16_t extraCount = 0;
        uint16_t* extra = nullptr;
        const uint16_t extraSample =
            TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount == 1 && extra
                ? extra[0]
                : EXTRASAMPLE_UNSPECIFIED;
        const bool associated = extraSample == EXTRASAMPLE_ASSOCALPHA;

        if (colour) {
            // libtiff's reader handles flips itself for 1-4 but not the axis exchange of 5-8;
            // it gets the stored layout and the orientation is applied below for every value.
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
            // Colours of unassociated alpha stay as stored (the alpha goes to its own plane),
            // rather than being premultiplied by libtiff's reader: drawn again with that alpha,
            // premultiplied colours would darken every part that is not fully opaque.
            if (extraSample == EXTRASAMPLE_UNASSALPHA) {
                uint16_t assoc = EXTRASAMPLE_ASSOCALPHA;
                TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &assoc);
            }
            // A striped file goes through the reader a strip at a time, each strip converted
            // while it is still in the cache (and only a strip's words are held); a tiled one
            // whole. The reader's rows come bottom-up, as the image's: the band's row i is
            // image row base + i.
            const bool striped = !TIFFIsTiled(tif);
            const uint32_t band = striped ? rowsPerStrip : height;
            // Filled by libtiff for the rows asked (or refused), so it needs no clearing.
            std::unique_ptr<uint32_t[]> raster(new (std::nothrow)
                                                   uint32_t[static_cast<size_t>(width) * band]);
            if (!raster) throw TiffFail{"No space for raster buffer"};
            if (!striped && !TIFFReadRGBAImage(tif, width, height, raster.get(), 1))
                throw TiffFail{"Corrupted TIFF file!"};
            const bool undo = associated && samples == 4;
            uint32_t base = 0;  // the image row of the band's first row
            for (uint32_t top = 0; top < height; top += band) {
                const uint32_t n = std::min(band, height - top);
                if (striped) {
                    if (info_.nEscape > 0) throw TiffFail{"Cancelled"};
                    if (!TIFFReadRGBAStripExt(tif, top, raster.get(), 1))
                        throw TiffFail{"Corrupted TIFF file!"};
                    base = height - top - n;
                }
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t y = base + i;
                    if (info_.nEscape > 0) throw TiffFail{"Cancelled"};
                    uint8_t* row = GetBits(y);
                    const uint32_t* src = raster.get() + static_cast<size_t>(i) * width;
                    if (undo) {
                        for (uint32_t x = 0; x < width; ++x) {
                            const uint8_t a = static_cast<uint8_t>(TIFFGetA(src[x]));
                            row[3 * x] = unpremultiply(static_cast<uint8_t>(TIFFGetB(src[x])), a);
                            row[3 * x + 1] =
                                unpremultiply(static_cast<uint8_t>(TIFFGetG(src[x])), a);
                            row[3 * x + 2] =
                                unpremultiply(static_cast<uint8_t>(TIFFGetR(src[x])), a);
                        }
                    } else {
                        AbgrToBgr(src, width, row);
                    }
                    if (samples == 4 && pAlpha_) {
                        uint8_t* alpha = pAlpha_ + static_cast<size_t>(y) * width;
                        for (uint32_t x = 0; x < width; ++x)
                            alpha[x] = static_cast<uint8_t>(TIFFGetA(src[x]));
                    }
                }
            }
        } else {
            // Palette or grey ramp.
            if (largePalette && bits > 24) throw TiffFail{"Too big palette to handle"};
            const size_t entries = largePalette ? size_t{1} << bits : 256;
            std::vector<RGBQUAD> table;
            if (entries * sizeof(RGBQUAD) > GetMaxBufferBytes())
                throw TiffFail{"Unable to allocate TIFF palette"};
            try {
                table.resize(entries);
            } catch (const std::exception&) {
                throw TiffFail{"Unable to allocate TIFF palette"};
            }
            const uint32_t d = bits < 8 ? bits : 8;
            if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) {
                if (bits == 1) {
                    const int white = photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0;
                    table[white].rgbRed = table[white].rgbGreen = table[white].rgbBlue = 255;
                } else {
                    const uint32_t n = 1u << d;
                    for (uint32_t i = 0; i < n; ++i) {
                        uint8_t g = static_cast<uint8_t>(i * (255 / (n - 1)));
                        if (photometric == PHOTOMETRIC_MINISWHITE)
                            g = static_cast<uint8_t>(255 - g);
                        table[i].rgbRed = table[i].rgbGreen = table[i].rgbBlue = g;
                    }
                }
            } else if (photometric == PHOTOMETRIC_PALETTE) {
                uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
                if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green &&
                    blue) {
                    const size_t n = largePalette ? table.size() : (size_t{1} << d);
                    bool wide = largePalette;
                    for (size_t i = 0; i < n && !wide; ++i)
                        wide = red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
                    for (size_t i = n; i-- > 0;) {
                        auto v = [&](uint16_t c) {
                            return static_cast<uint8_t>(wide ? c * 255u / 65535u : c);
                        };
                        table[i].rgbRed = v(red[i]);
                        table[i].rgbGreen = v(green[i]);
                        table[i].rgbBlue = v(blue[i]);
                    }
                }
            }
            if (!largePalette && GetPalette()) SetPalette(table.data(), 1u << d);

            const bool tiled = TIFFIsTiled(tif) != 0;
            uint32_t tileW = 0, tileL = 0;
            if (tiled) {
                TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
                TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileL);
                if (tileW == 0 || tileL == 0) throw TiffFail{"Corrupted tiled TIFF file!"};
                rowsPerStrip = tileL;
            }
            // Pixels of several samples are read as whole bytes or 16-bit words; packed samples
            // of other widths would be taken apart at the wrong places.
            if (samples > 1 && bits != 8 && bits != 16) throw TiffFail{"Corrupted TIFF file!"};
            // 16-bit samples other than palette indexes are brought to bytes line by line.
            const bool sixteen = bits == 16 && !(largePalette && samples == 1);
            // One-sample grey in strips is scaled so that the brightest row keeps 8 significant
            // bits, each row by its own shift first and all of them to the smallest shift
            // afterwards. Other 16-bit samples (tiles, and grey with alpha or CIELAB, whose
            // samples are no greys of one scale) keep their high byte.
            const bool levelRows = sixteen && !tiled && samples == 1;
            const uint64_t lineBytes = (static_cast<uint64_t>(samples) * bits * width + 7) / 8;
            const uint64_t scan =
                tiled ? static_cast<uint64_t>(TIFFScanlineSize64(tif)) : lineBytes;
            const uint64_t stripBytes = std::max<uint64_t>(lineBytes, scan) * rowsPerStrip;
            if (stripBytes > GetMaxBufferBytes())
                throw TiffFail{"CRasterTIF can't allocate memory"};
            std::vector<uint8_t> strip, tile, line8, rowShift;
            try {
                strip.resize(static_cast<size_t>(stripBytes) + 8);
                if (tiled) {
                    const uint64_t tileBytes = TIFFTileSize64(tif);
                    if (tileBytes > GetMaxBufferBytes())
                        throw TiffFail{"CRasterTIF can't allocate memory"};
                    tile.resize(static_cast<size_t>(tileBytes));
                }
                if (sixteen) line8.resize(static_cast<size_t>(width) * samples);
                if (levelRows) rowShift.assign(height, kNoRowShift);
            } catch (const std::exception&) {
                throw TiffFail{"CRasterTIF can't allocate memory"};
            }
            if (samples > 2 && GetBpp() != 24) {
                if (!Create(width, height, 24, RASTER_FORMAT_TIF))
                    throw TiffFail{"CRasterTIF can't create image"};
                if (samples == 4) AlphaCreate();
            }
            const size_t stride = GetEffWidth();
            for (uint32_t ys = 0; ys < height; ys += rowsPerStrip) {
                if (info_.nEscape > 0) throw TiffFail{"Cancelled"};
                const uint32_t n = std::min(rowsPerStrip, height - ys);
                if (!tiled) {
                    const tmsize_t got =
                        TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, ys, 0), strip.data(),
                                             static_cast<tmsize_t>(n * lineBytes));
                    if (got < 0) break;  // rows not read stay blank
                } else {
                    const uint64_t t = static_cast<uint64_t>(TIFFTileRowSize64(tif));
                    for (uint32_t col = 0, b = 0; col < width;
                         col += tileW, b += static_cast<uint32_t>(t)) {
                        // Tile widths that are not a whole number of bytes can put a tile
                        // column past the end of the line; nothing of it is then copied.
                        if (b >= scan) break;
                        if (TIFFReadTile(tif, tile.data(), col, ys, 0, 0) < 0)
                            throw TiffFail{"Corrupted tiled TIFF file!"};
                        const uint64_t w = b + t > scan ? scan - b : t;
                        TileToStrip(strip.data() + b, tile.data(), n, static_cast<uint32_t>(w),
                                    static_cast<int64_t>(scan - w), static_cast<int64_t>(t - w));
                    }
                }
                const uint64_t srcLine = tiled ? scan : lineBytes;
                for (uint32_t y = 0; y < n; ++y) {
                    const uint8_t* src = strip.data() + y * srcLine;
                    uint64_t srcBytes = srcLine;
                    uint32_t srcBits = bits;
                    const uint32_t imageRow = height - 1 - (ys + y);
                    uint8_t* dst = GetBits(imageRow);
                    if (sixteen) {
                        // libtiff delivers 16-bit samples in the host's order.
                        const size_t count = std::min<size_t>(line8.size(), srcLine / 2);
                        auto word = [&](size_t i) {
                            uint16_t v;
                            std::memcpy(&v, src + 2 * i, 2);
                            return v;
                        };
                        uint32_t shift = 8;  // right shift that leaves 8 bits of the line
                        if (levelRows) {
                            uint8_t top = 0;
                            for (size_t i = 0; i < count; ++i)
                                top = std::max<uint8_t>(top, static_cast<uint8_t>(word(i) >> 8));
                            const uint32_t lead =
                                top ? static_cast<uint32_t>(std::countl_zero(top)) : 8;
                            shift = 8 - lead;
                            rowShift[imageRow] = static_cast<uint8_t>(lead);
                        }
                        for (size_t i = 0; i < count; ++i)
                            line8[i] = static_cast<uint8_t>(word(i) >> shift);
                        src = line8.data();
                        srcBytes = line8.size();
                        srcBits = 8;
                    }
                    if (samples == 1) {
                        if (largePalette) {
                            MoveBitsPal(dst, src, width, bits, table.data());
                        } else if (srcBits == GetBpp()) {
                            std::memcpy(dst, src,
                                        static_cast<size_t>(std::min<uint64_t>(srcBytes, stride)));
                        } else {
                            MoveBits(dst, src, width, srcBits);
                        }
                    } else if (samples == 2) {
                        if (!AlphaCreate()) throw TiffFail{"CRasterTIF can't allocate memory"};
                        for (uint32_t x = 0; x < width; ++x) {
                            const uint8_t a = src[2 * size_t(x) + 1];
                            // A palette index is no colour that could be premultiplied.
                            const uint8_t idx = associated && photometric != PHOTOMETRIC_PALETTE
                                                    ? unpremultiply(src[2 * size_t(x)], a)
                                                    : src[2 * size_t(x)];
                            SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(imageRow),
                                          idx);
                            AlphaSet(static_cast<int32_t>(x), static_cast<int32_t>(imageRow), a);
                        }
                    } else {
                        for (uint32_t x = 0; x < width; ++x) {
                            const uint8_t* p = src + static_cast<size_t>(x) * samples;
                            const double L = p[0], a = static_cast<int8_t>(p[1]),
                                         bb = static_cast<int8_t>(p[2]);
                            const double q = (L / 2.55 + 16) / 116;
                            const double X = std::pow(q + a * 0.002, 3) * 0.95047, Y = q * q * q,
                                         Z = std::pow(q - bb * 0.005, 3) * 1.0883;
                            dst[3 * x + 2] = labChannel(3.240479 * X - 1.53715 * Y - 0.498535 * Z);
                            dst[3 * x + 1] =
                                labChannel(-0.969256 * X + 1.875992 * Y + 0.041556 * Z);
                            dst[3 * x] = labChannel(0.055648 * X - 0.204043 * Y + 1.057311 * Z);
                            if (samples >= 4)
                                AlphaSet(static_cast<int32_t>(x), static_cast<int32_t>(imageRow),
                                         p[3]);
                        }
                    }
                }
            }
            if (levelRows) {
                uint8_t least = kNoRowShift;
                for (uint8_t lead : rowShift) least = std::min(least, lead);
                for (uint32_t r = 0; r < height; ++r) {
                    const uint8_t lead = rowShift[r];
                    if (lead == kNoRowShift || lead <= least) continue;
                    uint8_t* row = GetBits(r);
                    for (uint32_t x = 0; x < width; ++x)
                        row[x] = static_cast<uint8_t>(row[x] >> (lead - least));
                }
            }
        }

        // The stored picture turned into place by the tag's meaning: orientation 6 stores the
        // picture's right-hand column as its first row, so the rows are turned clockwise into
        // place (with 5 mirrored after), and 8 stores the left-hand column first, turned
        // counter-clockwise (7 mirrored after). Turned the other way round, such pictures
        // would stand on their heads.
        switch (orientation) {
            case 2:
                Mirror();
                break;
            case 3:
                Flip();
                Mirror();
                break;
            case 4:
                Flip();
                break;
            case 5:
                RotateRight();
                Mirror();
                break;
            case 6:
                RotateRight();
                break;
            case 7:
                RotateLeft();
                Mirror();
                break;
            case 8:
                RotateLeft();
                break;
            default:
                break;
        }
        return true;
    } catch (const TiffFail& e) {
        if (e.text[0]) SetLastError(e.text);
        return answered;
    }
}

}  // namespace hqlv::imaging
