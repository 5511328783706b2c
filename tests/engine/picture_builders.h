#pragma once
// BMP files built byte by byte for the import tests.
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::engine::test {

inline void le16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
inline void le32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

// rgb: width × height pixels of 0xRRGGBB, top row first.
inline std::string Bmp24(int w, int h, const std::vector<uint32_t>& rgb) {
    const int stride = (w * 3 + 3) & ~3;
    std::string s = "BM";
    le32(s, 54 + stride * h);
    le32(s, 0);
    le32(s, 54);
    le32(s, 40);
    le32(s, w);
    le32(s, h);
    le16(s, 1);
    le16(s, 24);
    le32(s, 0);
    le32(s, stride * h);
    le32(s, 2835);
    le32(s, 2835);
    le32(s, 0);
    le32(s, 0);
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            const uint32_t c = rgb[y * w + x];
            row += char(c & 0xFF);
            row += char((c >> 8) & 0xFF);
            row += char((c >> 16) & 0xFF);
        }
        row.resize(stride, 0);
        s += row;
    }
    return s;
}

// A 16-bit BMP of packed pixels, top row first: 5-5-5 without masks, else with the given
// red, green and blue masks (bit fields).
inline std::string Bmp16(int w, int h, const std::vector<uint16_t>& packed,
                         const std::vector<uint32_t>& masks = {}) {
    const int stride = (w * 2 + 3) & ~3;
    const uint32_t offset = 54 + 4 * uint32_t(masks.size());
    std::string s = "BM";
    le32(s, offset + stride * h);
    le32(s, 0);
    le32(s, offset);
    le32(s, 40);
    le32(s, w);
    le32(s, h);
    le16(s, 1);
    le16(s, 16);
    le32(s, masks.empty() ? 0 : 3);
    le32(s, stride * h);
    le32(s, 2835);
    le32(s, 2835);
    le32(s, 0);
    le32(s, 0);
    for (uint32_t m : masks) le32(s, m);
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) le16(row, packed[y * w + x]);
        row.resize(stride, 0);
        s += row;
    }
    return s;
}

// An 8-bit BMP: palette of 0xRRGGBB colours, index per pixel, top row first.
inline std::string Bmp8(int w, int h, const std::vector<uint32_t>& palette,
                        const std::vector<uint8_t>& index) {
    const int stride = (w + 3) & ~3;
    const uint32_t offset = 54 + 4 * uint32_t(palette.size());
    std::string s = "BM";
    le32(s, offset + stride * h);
    le32(s, 0);
    le32(s, offset);
    le32(s, 40);
    le32(s, w);
    le32(s, h);
    le16(s, 1);
    le16(s, 8);
    le32(s, 0);
    le32(s, stride * h);
    le32(s, 2835);
    le32(s, 2835);
    le32(s, uint32_t(palette.size()));
    le32(s, 0);
    for (uint32_t c : palette) {
        s += char(c & 0xFF);
        s += char((c >> 8) & 0xFF);
        s += char((c >> 16) & 0xFF);
        s += char(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) row += char(index[y * w + x]);
        row.resize(stride, 0);
        s += row;
    }
    return s;
}

}  // namespace hqlv::engine::test
