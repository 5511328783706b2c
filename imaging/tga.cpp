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

// A 16-bit field in the host's order, as the bytes of the file stand.
uint16_t asStored(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

}  // namespace

void CRasterTGA::SwapHeader(Header* h) {
    if (!h) return;
    for (uint16_t* f :
         {&h->cmapFirst, &h->cmapLength, &h->xOrigin, &h->yOrigin, &h->width, &h->height})
        *f = static_cast<uint16_t>(ntohs(static_cast<int16_t>(*f)));
}

void CRasterTGA::ExpandUncompressedLine(uint8_t* row, const Header& h, CRasterFile* f, int count,
                                        int y, int x) {
    if (h.depth == 8) {
        f->Read(row + x, 1, static_cast<size_t>(count));
        return;
    }
    if (h.depth == 24) {
        f->Read(row + 3 * x, 3, static_cast<size_t>(count));
        return;
    }
    for (int i = 0; i < count; ++i) {
        uint8_t px[4] = {0, 0, 0, 255};
        if (!readPixel(f, h.depth, px)) return;
        std::memcpy(row + 3 * (x + i), px, 3);
        if (h.depth == 32) AlphaSet(x + i, y, px[3]);
    }
}

int CRasterTGA::ExpandCompressedLine(uint8_t* row, const Header& h, CRasterFile* f, int width,
                                     int y, int leftover) {
    int x = 0;
    while (x < width) {
        int header;
        if (leftover != 255) {
            header = leftover;
            leftover = 255;
        } else {
            const long b = f->GetC();
            if (b < 0) return 255;
            header = static_cast<int>(b);
        }
        if (header & 0x80) {
            int count = header - 127;
            int64_t pos = -1;
            if (x + count > width) {
                leftover = 128 + (count - (width - x) - 1);
                pos = f->Tell();
                count = width - x;
            }
            uint8_t px[4] = {0, 0, 0, 255};
            readPixel(f, h.depth, px);
            for (int i = 0; i < count; ++i) {
                if (h.depth == 8) {
                    row[x + i] = px[0];
                } else {
                    std::memcpy(row + 3 * (x + i), px, 3);
                    if (h.depth == 32) AlphaSet(x + i, y, px[3]);
                }
            }
            // The next row reads the same value again for the rest of the run.
            if (pos >= 0) f->Seek(pos, 0);
            x += count;
        } else {
            int count = header + 1;
            if (x + count > width) {
                leftover = count - (width - x) - 1;
                count = width - x;
            }
            ExpandUncompressedLine(row, h, f, count, y, x);
            x += count;
        }
    }
    return leftover;
}

bool CRasterTGA::Decode(CRasterFile* file) {
    if (!file) return false;
    try {
        // A header cut short keeps zeros where the file ends; the checks below then refuse it
        // by the first field it lacks.
        uint8_t b[18] = {};
        if (file->Read(b, 1, 18) == 0) throw TgaFail{"Not a TGA"};
        Header h{.idLength = b[0],
                 .cmapType = b[1],
                 .imageType = b[2],
                 .cmapFirst = asStored(b + 3),
                 .cmapLength = asStored(b + 5),
                 .cmapEntrySize = b[7],
                 .xOrigin = asStored(b + 8),
                 .yOrigin = asStored(b + 10),
                 .width = asStored(b + 12),
                 .height = asStored(b + 14),
                 .depth = b[16],
                 .descriptor = b[17]};
        SwapHeader(&h);
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
            // Entries at their real size (2, 3 or 4 bytes), placed from the first index on:
            // read as 3 bytes each, a 16- or 32-bit map would leave the pixel data that follows
            // read from the wrong place, and the pixels' values name map entries counted from
            // the first index, so placing the map from 0 would colour every pixel wrongly.
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

        const bool topDown = (h.descriptor & 0x20) != 0;
        int leftover = 255;
        for (int y = 0; y < h.height; ++y) {
            if (info_.nEscape > 0) throw TgaFail{"Cancelled"};
            if (file->Eof()) throw TgaFail{"corrupted TGA"};
            uint8_t* row = GetBits(static_cast<uint32_t>(topDown ? h.height - 1 - y : y));
            if (rle)
                leftover = ExpandCompressedLine(row, h, file, h.width, y, leftover);
            else
                ExpandUncompressedLine(row, h, file, h.width, y, 0);
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
