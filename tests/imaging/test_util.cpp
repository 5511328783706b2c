#include "test_util.h"

namespace imgtest {

Bytes makeBmp(const BmpSpec& s) {
    Out px;
    if (!s.rawPixels.empty()) {
        px.raw(s.rawPixels);
    } else {
        const int stride = ((s.width * s.bpp + 31) / 32) * 4;
        for (int r = 0; r < s.height; ++r) {
            // file rows are bottom-up unless top-down
            const int y = s.topDown ? r : s.height - 1 - r;
            Bytes row(static_cast<size_t>(stride), 0);
            for (int x = 0; x < s.width; ++x) {
                const size_t i = static_cast<size_t>(y) * s.width + x;
                switch (s.bpp) {
                    case 1:
                        row[x / 8] |= static_cast<uint8_t>((s.index[i] & 1) << (7 - x % 8));
                        break;
                    case 4:
                        row[x / 2] |= static_cast<uint8_t>((s.index[i] & 15) << ((x & 1) ? 0 : 4));
                        break;
                    case 8:
                        row[x] = s.index[i];
                        break;
                    case 16:
                        row[2 * x] = static_cast<uint8_t>(pack555(s.colour[i]));
                        row[2 * x + 1] = static_cast<uint8_t>(pack555(s.colour[i]) >> 8);
                        break;
                    case 24:
                        row[3 * x] = s.colour[i].rgbBlue;
                        row[3 * x + 1] = s.colour[i].rgbGreen;
                        row[3 * x + 2] = s.colour[i].rgbRed;
                        break;
                    case 32:
                        row[4 * x] = s.colour[i].rgbBlue;
                        row[4 * x + 1] = s.colour[i].rgbGreen;
                        row[4 * x + 2] = s.colour[i].rgbRed;
                        row[4 * x + 3] = s.alpha.empty() ? 0 : s.alpha[i];
                        break;
                }
            }
            px.raw(row);
        }
    }
    Out h;
    const uint32_t palCount = static_cast<uint32_t>(s.palette.size());
    const uint32_t entry = s.core ? 3 : 4;
    const uint32_t headerSize = s.core ? 12 : s.headerSize;
    // A 40-byte header is followed by the bit-field masks; longer ones hold them.
    const uint32_t maskBytes = s.compression == 3 && headerSize == 40 ? 12 : 0;
    const uint32_t offBits = 14 + headerSize + maskBytes + palCount * entry;
    if (s.fileHeader) {
        h.str("BM");
        h.u32(offBits + static_cast<uint32_t>(px.size()));
        h.u32(0);
        h.u32(offBits);
    }
    if (s.core) {
        h.u32(12);
        h.u16(static_cast<uint32_t>(s.width));
        h.u16(static_cast<uint32_t>(s.height));
        h.u16(1);
        h.u16(static_cast<uint32_t>(s.bpp));
    } else {
        h.u32(headerSize);
        h.u32(static_cast<uint32_t>(s.width));
        h.u32(static_cast<uint32_t>(s.topDown ? -s.height : s.height));
        h.u16(1);
        h.u16(static_cast<uint32_t>(s.bpp));
        h.u32(s.compression);
        h.u32(s.zeroImageSize ? 0 : static_cast<uint32_t>(px.size()));
        h.u32(static_cast<uint32_t>(s.ppmX));
        h.u32(static_cast<uint32_t>(s.ppmY));
        h.u32(s.clrUsed);
        h.u32(0);
        for (uint32_t at = 40, i = 0; at < headerSize; at += 4, ++i) h.u32(i < 4 ? s.masks[i] : 0);
        if (maskBytes)
            for (int i = 0; i < 3; ++i) h.u32(s.masks[i]);
    }
    for (const auto& c : s.palette) {
        h.u8(c.rgbBlue);
        h.u8(c.rgbGreen);
        h.u8(c.rgbRed);
        if (!s.core) h.u8(0);
    }
    h.raw(px.b);
    return h.b;
}

}  // namespace imgtest
