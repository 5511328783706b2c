// Windows icons and cursors: one entry, chosen by the requested frame. PNG entries are
// recognised by their signature and decoded as PNG; bitmap entries get their AND mask as
// alpha, a transparent colour or a transparent index.
#include <cstring>
#include <vector>

#include "imaging/bytes_le.h"
#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

struct IcoEntry {
    uint8_t width, height, colours, reserved;
    uint16_t planes, bitCount;
    uint32_t size, offset;
};

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

bool CRasterICO::Decode(CRasterFile* file) {
    if (!file) return false;
    const int64_t start = file->Tell();
    uint8_t hdr[6];
    if (file->Read(hdr, 1, 6) != 6) return false;
    const uint16_t reserved = le16(hdr), type = le16(hdr + 2), count = le16(hdr + 4);
    if (reserved != 0 || (type != 1 && type != 2)) return false;
    // Every entry is read, but only the one asked for is kept (a count is up to 65,535, and a
    // table that size was made and cleared for any six bytes that look like a head). Entries
    // after it that the file no longer holds are not needed; the one asked for must be whole.
    // The frames are the head's count cut to the whole 16-byte entries the file holds after
    // the head (past the true entries those are picture data, which a file cannot tell from
    // entries): taken from the count alone, six bytes made an importer set aside and clear
    // 65,535 frames that no entry stands behind.
    IcoEntry e{};
    bool haveEntry = false;
    int held = 0;
    for (int i = 0; i < count; ++i, ++held) {
        uint8_t b[16];
        if (file->Read(b, 1, 16) != 16) break;
        if (i == info_.nFrame) {
            e = {b[0], b[1], b[2], b[3], le16(b + 4), le16(b + 6), le32(b + 8), le32(b + 12)};
            haveEntry = true;
        }
    }
    info_.nNumFrames = held;
    if (info_.nFrame < 0 || info_.nFrame >= count || !haveEntry) return false;
    // The size query takes the entry's width and height as they stand; only an entry whose
    // size bytes leave the size open (0 stands for 256 or more) has its data looked at.
    if (info_.nEscape == -1 && e.width && e.height) {
        head_.biWidth = e.width;
        head_.biHeight = e.height;
        info_.dwType = RASTER_FORMAT_ICO;
        return true;
    }

    if (!file->Seek(start + e.offset, 0)) return false;
    // An entry is PNG by its signature, not by size bytes of 0: writers store PNG entries of
    // any size with their true size bytes, and a 256-pixel bitmap entry has size bytes of 0;
    // by the size bytes alone the one would be read as a bitmap and the other as PNG.
    uint8_t sig[8] = {};
    const bool isPng = file->Read(sig, 1, 8) == 8 && std::memcmp(sig, kPngSignature, 8) == 0;
    file->Seek(start + e.offset, 0);
    if (isPng) {
        CRaster png;
        png.SetEscape(info_.nEscape);
        png.SetCodecOption(GetCodecOption(RASTER_FORMAT_PNG), RASTER_FORMAT_PNG);
        // A PNG entry that does not decode fails the icon: answered as a success, it would
        // hand the caller an image with no pixels as the decoded picture.
        if (!png.Decode(file, RASTER_FORMAT_PNG)) {
            SetLastError(png.GetLastError());
            return false;
        }
        const int32_t frames = info_.nNumFrames, frame = info_.nFrame, escape = info_.nEscape;
        Transfer(png, false);
        info_.nNumFrames = frames;
        info_.nFrame = frame;
        info_.nEscape = escape;
        SetType(RASTER_FORMAT_ICO);
        return true;
    }

    uint8_t bih[40];
    if (file->Read(bih, 1, 40) != 40) return false;
    const int32_t bihWidth = static_cast<int32_t>(le32(bih + 4));
    const int32_t bihHeight = static_cast<int32_t>(le32(bih + 8));
    const uint16_t c = le16(bih + 14);
    const uint32_t clrUsed = le32(bih + 32);
    // A size byte of 0 means 256 or more: the info header's size (its height counts both
    // the colour rows and the mask rows) tells then.
    const uint32_t w = e.width ? e.width : (bihWidth > 0 ? static_cast<uint32_t>(bihWidth) : 0);
    const uint32_t h =
        e.height ? e.height : (bihHeight > 0 ? static_cast<uint32_t>(bihHeight / 2) : 0);
    if (info_.nEscape == -1) {
        head_.biWidth = static_cast<int32_t>(w);
        head_.biHeight = static_cast<int32_t>(h);
        info_.dwType = RASTER_FORMAT_ICO;
        return true;
    }
    if (!Create(w, h, c, RASTER_FORMAT_ICO)) return false;

    // The colour table comes before the pixels at every depth: a true-colour entry may carry
    // one as well (for displays of fewer colours), and it is read over like the rest.
    const uint32_t tableEntries = clrUsed ? clrUsed : head_.biClrUsed;
    const uint32_t stored = tableEntries < 256 ? tableEntries : 256;
    uint8_t table[256 * 4] = {};
    file->Read(table, 4, stored);
    if (tableEntries > stored) file->Seek(static_cast<int64_t>(tableEntries - stored) * 4, 1);
    if (RGBQUAD* pal = GetPalette()) {
        for (uint32_t i = 0; i < head_.biClrUsed; ++i) {
            pal[i].rgbBlue = table[i * 4];
            pal[i].rgbGreen = table[i * 4 + 1];
            pal[i].rgbRed = table[i * 4 + 2];
            pal[i].rgbReserved = 0;
        }
    }
    bool ownAlpha = false;
    if (c == 16) {
        // 5-5-5 words, two bytes a pixel: read into the wider 24-bit rows as they are, they
        // would make a scrambled picture and take the mask's bytes with them.
        file->Read(GetBits(), 1, static_cast<size_t>(h) * ((w + 1) / 2) * 4);
        Bitfield2RGB(GetBits(), 0x7C00, 0x03E0, 0x001F, 16);
    } else if (c <= 24) {
        file->Read(GetBits(), 1, head_.biSizeImage);
    } else {
        std::vector<uint8_t> buf(static_cast<size_t>(w) * h * 4, 0);
        file->Read(buf.data(), 1, buf.size());
        if (!AlphaCreate()) return false;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* p = &buf[(static_cast<size_t>(y) * w + x) * 4];
                std::memcpy(GetBits(y) + x * 3, p, 3);
                pAlpha_[static_cast<size_t>(y) * w + x] = p[3];
                ownAlpha |= p[3] != 0;
            }
        // Alpha 0 everywhere is no alpha (older programs wrote 32-bit pixels without it): kept,
        // it would hide the whole picture. The mask decides, as for the other depths.
        if (!ownAlpha) AlphaDelete();
    }

    const size_t maskStride = ((w + 31) / 32) * 4;
    std::vector<uint8_t> mask(maskStride * h);
    if (file->Read(mask.data(), 1, mask.size()) != mask.size()) return true;  // no mask: done
    auto masked = [&](uint32_t x, uint32_t y) {
        return (mask[y * maskStride + x / 8] >> (7 - x % 8)) & 1;
    };

    bool allSet = true;
    for (uint8_t m : mask) allSet &= m == 0xFF;
    if (allSet) {
        info_.nBkgndIndex = 0;
        Negative();
        return true;
    }
    AlphaCreate();
    bool anyMasked = false;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            if (masked(x, y)) {
                AlphaSet(static_cast<int32_t>(x), static_cast<int32_t>(y), 0);
                anyMasked = true;
            }
    if (!anyMasked && !ownAlpha) AlphaDelete();
    // An entry with alpha of its own keeps it: a single key colour in its place would erase
    // its soft edges and make every opaque pixel of that colour (mostly black outlines, as the
    // masked pixels are mostly stored black) a hole.
    if (anyMasked && !ownAlpha) {
        bool found = false, differs = false;
        RGBQUAD key;
        uint8_t keyIndex = 0;
        for (uint32_t y = 0; y < h && !differs; ++y)
            for (uint32_t x = 0; x < w && !differs; ++x) {
                if (!masked(x, y)) continue;
                const RGBQUAD px =
                    GetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y), false);
                if (!found) {
                    key = px;
                    keyIndex = GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
                    found = true;
                } else if (std::memcmp(&px, &key, 4) != 0) {
                    differs = true;
                }
            }
        if (found && !differs) {
            SetTransColor(key);
            info_.nBkgndIndex = head_.biClrUsed ? keyIndex : 0;
            AlphaDelete();
        }
    }
    if (c <= 8 && head_.biClrUsed) {
        bool used[256] = {};
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                used[GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y))] = true;
        int unused = -1;
        for (int i = static_cast<int>(head_.biClrUsed) - 1; i >= 0 && unused < 0; --i)
            if (!used[i]) unused = i;
        if (unused >= 0) {
            bool set = false;
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    if (masked(x, y)) {
                        SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                      static_cast<uint8_t>(unused));
                        set = true;
                    }
            if (set) info_.nBkgndIndex = unused;
            AlphaDelete();
        }
    }
    return true;
}

}  // namespace hqlv::imaging
