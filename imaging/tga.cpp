// Truevision TGA: colour-mapped, true-colour and grey, raw or run-length coded.
#include <cstring>

#include "imaging/bitfield.h"
#include "imaging/bytes_le.h"
#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

struct TgaFail {
    const char* text;
};

struct TgaHeader {
    uint8_t idLength, cmapType, imageType;
    uint16_t cmapFirst, cmapLength;
    uint8_t cmapEntrySize;
    uint16_t xOrigin, yOrigin, width, height;
    uint8_t depth, descriptor;
};

// Reads one pixel value of the file's depth into 4 bytes (blue, green, red, alpha).
bool readPixel(CRasterFile* f, uint8_t depth, uint8_t out[4]) {
    switch (depth) {
        case 8:
            return f->Read(out, 1, 1) == 1;
        case 15:
        case 16: {
            uint8_t b[2];
            if (f->Read(b, 1, 2) != 2) return false;
            const uint16_t w = le16(b);
            out[0] = maskedChannel(w, 0x001F);
            out[1] = maskedChannel(w, 0x03E0);
            out[2] = maskedChannel(w, 0x7C00);
            return true;
        }
        case 24:
            return f->Read(out, 1, 3) == 3;
        default:
            return f->Read(out, 1, 4) == 4;
    }
}

class TgaReader {
public:
    TgaReader(CRaster& img, const TgaHeader& h, CRasterFile* f) : img_(img), h_(h), f_(f) {}

    // `count` pixels of file row y into the image row starting at pixel x.
    void uncompressed(uint8_t* row, int count, int y, int x) {
        if (h_.depth == 8) {
            f_->Read(row + x, 1, static_cast<size_t>(count));
            return;
        }
        if (h_.depth == 24) {
            f_->Read(row + 3 * x, 3, static_cast<size_t>(count));
            return;
        }
        for (int i = 0; i < count; ++i) {
            uint8_t px[4] = {0, 0, 0, 255};
            if (!readPixel(f_, h_.depth, px)) return;
            std::memcpy(row + 3 * (x + i), px, 3);
            if (h_.depth == 32) img_.AlphaSet(x + i, y, px[3]);
        }
    }

    // One row of packets; a packet that crosses the row end carries over into the next row.
    int compressed(uint8_t* row, int width, int y, int leftover) {
        int x = 0;
        while (x < width) {
            int header;
            if (leftover != 255) {
                header = leftover;
                leftover = 255;
            } else {
                const long b = f_->GetC();
                if (b < 0) return 255;
                header = static_cast<int>(b);
            }
            if (header & 0x80) {
                int count = header - 127;
                int64_t pos = -1;
                if (x + count > width) {
                    leftover = 128 + (count - (width - x) - 1);
                    pos = f_->Tell();
                    count = width - x;
                }
                uint8_t px[4] = {0, 0, 0, 255};
                readPixel(f_, h_.depth, px);
                for (int i = 0; i < count; ++i) {
                    if (h_.depth == 8) {
                        row[x + i] = px[0];
                    } else {
                        std::memcpy(row + 3 * (x + i), px, 3);
                        if (h_.depth == 32) img_.AlphaSet(x + i, y, px[3]);
                    }
                }
                // The next row reads the same value again for the rest of the run.
                if (pos >= 0) f_->Seek(pos, 0);
                x += count;
            } else {
                int count = header + 1;
                if (x + count > width) {
                    leftover = count - (width - x) - 1;
                    count = width - x;
                }
                uncompressed(row, count, y, x);
                x += count;
            }
        }
        return leftover;
    }

private:
    CRaster& img_;
    const TgaHeader& h_;
    CRasterFile* f_;
};

}  // namespace

bool CRasterTGA::Decode(CRasterFile* file) {
    if (!file) return false;
    try {
        uint8_t b[18];
        if (file->Read(b, 1, 18) != 18) throw TgaFail{"Not a TGA"};
        TgaHeader h{b[0],        b[1],         b[2],         le16(b + 3),  le16(b + 5), b[7],
                    le16(b + 8), le16(b + 10), le16(b + 12), le16(b + 14), b[16],       b[17]};
        bool rle;
        switch (h.imageType) {
            case 1:
            case 2:
            case 3:
                rle = false;
                break;
            case 9:
            case 10:
            case 11:
                rle = true;
                break;
            default:
                throw TgaFail{"Unknown TGA image type"};
        }
        if (h.width == 0 || h.height == 0 || h.depth == 0 || h.cmapLength > 256)
            throw TgaFail{"bad TGA header"};
        if (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32)
            throw TgaFail{"bad TGA header"};
        if (info_.nEscape == -1) {
            head_.biWidth = h.width;
            head_.biHeight = h.height;
            info_.dwType = RASTER_FORMAT_TGA;
            return true;
        }
        file->Seek(h.idLength, 1);
        if (!Create(h.width, h.height, h.depth, RASTER_FORMAT_TGA))
            throw TgaFail{"TGA Create failed"};
        if (h.depth == 32) AlphaCreate();
        if (info_.nEscape > 0) throw TgaFail{"Cancelled"};
        if (h.cmapType != 0) {
            // Entries at their real size, placed from the first index on.
            const uint32_t entryBytes = (h.cmapEntrySize + 7u) / 8u;
            for (uint32_t i = 0; i < h.cmapLength; ++i) {
                uint8_t px[4] = {0, 0, 0, 0};
                bool ok;
                if (entryBytes == 2)
                    ok = readPixel(file, 16, px);
                else if (entryBytes == 3 || entryBytes == 4)
                    ok = file->Read(px, 1, entryBytes) == entryBytes;
                else
                    ok = file->Seek(entryBytes, 1);
                if (!ok) break;
                const uint32_t index = h.cmapFirst + i;
                if (index < 256) SetPaletteColor(static_cast<uint8_t>(index), px[2], px[1], px[0]);
            }
        }
        if (h.imageType == 3 || h.imageType == 11) SetGrayPalette();

        TgaReader reader(*this, h, file);
        const bool topDown = (h.descriptor & 0x20) != 0;
        int leftover = 255;
        for (int y = 0; y < h.height; ++y) {
            if (info_.nEscape > 0) throw TgaFail{"Cancelled"};
            if (file->Eof()) throw TgaFail{"corrupted TGA"};
            uint8_t* row = GetBits(static_cast<uint32_t>(topDown ? h.height - 1 - y : y));
            if (rle)
                leftover = reader.compressed(row, h.width, y, leftover);
            else
                reader.uncompressed(row, h.width, y, 0);
        }
        if (h.descriptor & 0x10) Mirror();
        if (topDown && h.depth == 32) AlphaFlip();
        return true;
    } catch (const TgaFail& e) {
        if (e.text[0]) SetLastError(e.text);
        return false;
    }
}

}  // namespace hqlv::imaging
