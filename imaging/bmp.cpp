// Windows and OS/2 bitmaps, with or without the 14-byte file header.
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/bitfield.h"
#include "imaging/bytes_le.h"
#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

struct BmpFail {
    const char* text;
};

void rle8(CRaster& img, CRasterFile* f) {
    const int64_t h = img.GetHeight();
    const int64_t w = img.GetWidth() < img.GetEffWidth() ? img.GetWidth() : img.GetEffWidth();
    int64_t x = 0, y = 0;
    for (;;) {
        const long first = f->GetC();
        if (first < 0) return;
        if (first == 0) {
            const long cmd = f->GetC();
            if (cmd < 0) return;
            if (cmd == 0) {
                x = 0;
                ++y;
            } else if (cmd == 1) {
                return;
            } else if (cmd == 2) {
                const long dx = f->GetC(), dy = f->GetC();
                if (dx < 0 || dy < 0) return;
                x += dx;
                y += dy;
            } else {
                for (long i = 0; i < cmd; ++i) {
                    const long v = f->GetC();
                    if (v < 0) return;
                    if (y >= 0 && y < h && x + i < w)
                        img.GetBits(static_cast<uint32_t>(y))[x + i] = static_cast<uint8_t>(v);
                }
                if (cmd & 1) f->GetC();
                x += cmd;
            }
        } else {
            const long v = f->GetC();
            if (v < 0) return;
            for (long i = 0; i < first && x < w; ++i, ++x) {
                if (y >= 0 && y < h)
                    img.GetBits(static_cast<uint32_t>(y))[x] = static_cast<uint8_t>(v);
            }
        }
    }
}

void rle4(CRaster& img, CRasterFile* f) {
    const int64_t stride = img.GetEffWidth();
    const int64_t area = stride * img.GetHeight();  // bytes of the pixel area
    uint8_t* const bits = img.GetBits();
    int64_t x = 0, y = 0;  // x counts bytes
    bool low = false;
    auto put = [&](uint8_t nibble) {
        // The rows lie one after the other: a run that passes the end of its row goes on at
        // the start of the next one. Only what falls past the whole area is dropped.
        const int64_t at = y * stride + x;
        if (at >= 0 && at < area) {
            uint8_t& b = bits[at];
            if (!low)
                b = static_cast<uint8_t>(nibble << 4);
            else
                b = static_cast<uint8_t>(b | (nibble & 0x0F));
        }
        if (low) ++x;
        low = !low;
    };
    for (;;) {
        const long first = f->GetC();
        if (first < 0) return;
        if (first == 0) {
            const long cmd = f->GetC();
            if (cmd < 0) return;
            if (cmd == 0) {
                x = 0;
                ++y;
                low = false;
            } else if (cmd == 1) {
                return;
            } else if (cmd == 2) {
                const long dx = f->GetC(), dy = f->GetC();
                if (dx < 0 || dy < 0) return;
                x += dx / 2;
                y += dy;
            } else {
                long b = f->GetC();
                if (b < 0) return;
                for (long i = 0; i < cmd; ++i) {
                    put(static_cast<uint8_t>((i & 1) ? (b & 0x0F) : ((b >> 4) & 0x0F)));
                    if ((i & 1) && i != cmd - 1) {
                        b = f->GetC();
                        if (b < 0) return;
                    }
                }
                if (((cmd + 1) & 2) == 2) f->GetC();
            }
        } else {
            const long v = f->GetC();
            if (v < 0) return;
            for (long i = 0; i < first; ++i)
                put(static_cast<uint8_t>((i & 1) ? (v & 0x0F) : ((v >> 4) & 0x0F)));
        }
    }
}

}  // namespace

bool CRasterBMP::ReadBitmapInfo(CRasterFile* file, RasterHeader* out, uint32_t masks[4]) {
    if (!file || !out) return false;
    uint8_t b[40];
    const size_t got = file->Read(b, 1, 40);
    if (got < 12) return false;
    RasterHeader h;
    h.biSize = le32(b);
    if (h.biSize == 12) {
        // OS/2 core header: unsigned 16-bit size fields.
        h.biWidth = le16(b + 4);
        h.biHeight = le16(b + 6);
        h.biPlanes = le16(b + 8);
        h.biBitCount = le16(b + 10);
        file->Seek(-static_cast<int64_t>(got - 12), 1);
    } else {
        // A header cut short is refused rather than read from whatever follows it.
        if (got < 40) return false;
        h.biWidth = static_cast<int32_t>(le32(b + 4));
        h.biHeight = static_cast<int32_t>(le32(b + 8));
        h.biPlanes = le16(b + 12);
        h.biBitCount = le16(b + 14);
        h.biCompression = le32(b + 16);
        h.biSizeImage = le32(b + 20);
        h.biXPelsPerMeter = static_cast<int32_t>(le32(b + 24));
        h.biYPelsPerMeter = static_cast<int32_t>(le32(b + 28));
        h.biClrUsed = le32(b + 32);
        h.biClrImportant = le32(b + 36);
        if (h.biSize == 40) {
        } else if (h.biSize == 64) {
            file->Seek(24, 1);
        } else if (h.biSize > 40 && h.biPlanes == 1) {
            // The longer Windows headers (52, 56, 108 and 124 bytes, whatever their image size
            // and colour count): red, green and blue masks at bytes 40-51, the alpha mask at
            // 52-55. The palette follows the whole header.
            uint8_t m[16] = {};
            const uint32_t extra = h.biSize - 40;
            const size_t want = extra < 16 ? extra : 16;
            if (file->Read(m, 1, want) != want) return false;
            if (masks)
                for (int i = 0; i < 4; ++i) masks[i] = le32(m + 4 * i);
            if (extra > want) file->Seek(static_cast<int64_t>(extra - want), 1);
        } else {
            return false;
        }
    }
    if (h.biSizeImage == 0) {
        const int64_t absH = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
        int64_t row = ((static_cast<int64_t>(h.biBitCount) * h.biWidth + 31) / 8) & ~int64_t{3};
        __int128 size = static_cast<__int128>(row) * absH;
        if (size < 0 || size > 0xFFFFFFFFll) size = 0xFFFFFFFFll;  // Create refuses it anyway
        h.biSizeImage = static_cast<uint32_t>(size);
    }
    if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = 1u << h.biBitCount;
    *out = h;
    return true;
}

bool CRasterBMP::Decode(CRasterFile* file) {
    if (!file) return false;
    std::vector<uint8_t> buffer;
    // Set only where the size query is answered: the format id alone cannot tell, since the
    // caller's image (and with it its id) is copied in before the decode.
    bool answered = false;
    try {
        const int64_t start = file->Tell();
        uint8_t fh[14] = {};
        if (file->Read(fh, 1, 14) == 0) throw BmpFail{"Not a BMP"};
        uint32_t offBits = le32(fh + 10);
        if (le16(fh) != 0x4D42) {
            offBits = 0;
            file->Seek(start, 0);
        }
        RasterHeader bih;
        uint32_t headerMasks[4] = {};
        if (!ReadBitmapInfo(file, &bih, headerMasks)) throw BmpFail{"Error reading BMP info"};
        const bool core = bih.biSize == 12;
        // Bit-field masks: inside the longer headers, else the 12 bytes after the header.
        const bool masksInHeader = bih.biSize > 40 && bih.biSize != 64;
        auto readMasks = [&](uint32_t masks[4]) {
            if (masksInHeader) {
                for (int i = 0; i < 4; ++i) masks[i] = headerMasks[i];
                return;
            }
            uint8_t m[12] = {};
            file->Read(m, 1, 12);
            for (int i = 0; i < 3; ++i) masks[i] = le32(m + 4 * i);
        };
        // Sizes as the picture's creation takes them: a width of 0 or less, a height of 0 and
        // a height of -2^31 are refused there, with its own words.
        const uint32_t width = static_cast<uint32_t>(bih.biWidth);
        uint32_t height = static_cast<uint32_t>(bih.biHeight);
        bool topDown = false;
        if (bih.biHeight < 0) {
            topDown = true;
            height = 0u - height;
        }
        if (info_.nEscape == -1) {
            // A size no picture can have is no answer to a size query: the query fails with
            // the words the decode would end with (the creation refuses such a size before it
            // allocates anything), rather than reporting a width of 0 or less.
            if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
                Create(width, height, bih.biBitCount, RASTER_FORMAT_BMP);
                throw BmpFail{""};
            }
            head_.biWidth = static_cast<int32_t>(width);
            head_.biHeight = static_cast<int32_t>(height);
            info_.dwType = RASTER_FORMAT_BMP;
            answered = true;
            throw BmpFail{"output dimensions returned"};
        }
        if (!Create(width, height, bih.biBitCount, RASTER_FORMAT_BMP)) throw BmpFail{""};
        SetXDPI(static_cast<int32_t>(std::floor(bih.biXPelsPerMeter * 0.0254 + 0.5)));
        SetYDPI(static_cast<int32_t>(std::floor(bih.biYPelsPerMeter * 0.0254 + 0.5)));
        if (info_.nEscape > 0) throw BmpFail{"Cancelled"};

        if (RGBQUAD* pal = GetPalette()) {
            uint64_t count = bih.biClrUsed;
            if (count == 0 && bih.biBitCount <= 8) count = 1u << bih.biBitCount;
            const uint64_t stored = count < head_.biClrUsed ? count : head_.biClrUsed;
            const uint32_t entry = core ? 3 : 4;
            std::vector<uint8_t> raw(static_cast<size_t>(stored) * entry);
            file->Read(raw.data(), 1, raw.size());
            for (uint64_t i = 0; i < stored; ++i) {
                pal[i].rgbBlue = raw[i * entry];
                pal[i].rgbGreen = raw[i * entry + 1];
                pal[i].rgbRed = raw[i * entry + 2];
                pal[i].rgbReserved = 0;
            }
            // Entries beyond what the image holds are skipped, not read into memory.
            if (count > stored) file->Seek(static_cast<int64_t>((count - stored) * entry), 1);
        }
        if (info_.nEscape > 0) throw BmpFail{"Cancelled"};

        auto seekPixels = [&] {
            if (offBits) file->Seek(start + static_cast<int64_t>(offBits), 0);
        };
        const uint32_t w = GetWidth(), h = GetHeight();
        switch (bih.biBitCount) {
            case 32: {
                uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
                if (bih.biCompression == 3) readMasks(masks);
                seekPixels();
                if (bih.biCompression != 0 && bih.biCompression != 3)
                    throw BmpFail{"unknown compression"};
                const size_t n = static_cast<size_t>(w) * h * 4;
                try {
                    buffer.assign(n, 0);
                } catch (...) {
                    throw BmpFail{"can't allocate memory"};
                }
                file->Read(buffer.data(), 1, n);
                // Alpha from the fourth byte, or from the alpha mask of a bit-field file (such a
                // file carries its transparency there; taken as opaque it would lose it); alpha
                // that is 0 everywhere was never meant as alpha: opaque.
                if (bih.biCompression == 0 || masks[3] != 0) {
                    if (!AlphaCreate()) throw BmpFail{"can't allocate memory"};
                    bool any = false;
                    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
                        pAlpha_[i] = bih.biCompression == 0
                                         ? buffer[i * 4 + 3]
                                         : maskedChannel(le32(&buffer[i * 4]), masks[3]);
                        any |= pAlpha_[i] != 0;
                    }
                    if (!any) AlphaInvert();
                }
                Bitfield2RGB(buffer.data(), masks[0], masks[1], masks[2], 32);
                break;
            }
            case 24:
                seekPixels();
                if (bih.biCompression != 0) throw BmpFail{"unknown compression"};
                file->Read(GetBits(), 1, head_.biSizeImage);
                break;
            case 16: {
                uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
                if (bih.biCompression == 3) readMasks(masks);
                seekPixels();
                const size_t n = static_cast<size_t>(h) * ((w + 1) / 2) * 4;
                file->Read(GetBits(), 1, n);  // fits: the 24-bit rows are wider
                Bitfield2RGB(GetBits(), masks[0], masks[1], masks[2], 16);
                break;
            }
            case 1:
            case 4:
            case 8:
                seekPixels();
                switch (bih.biCompression) {
                    case 0:
                        file->Read(GetBits(), 1, head_.biSizeImage);
                        break;
                    case 1:
                        rle8(*this, file);
                        break;
                    case 2:
                        rle4(*this, file);
                        break;
                    default:
                        throw BmpFail{"compression type not supported"};
                }
                break;
            default:
                break;
        }
        if (topDown) Flip();
        return true;
    } catch (const BmpFail& e) {
        if (e.text[0]) SetLastError(e.text);
        return answered;
    }
}

}  // namespace hqlv::imaging
