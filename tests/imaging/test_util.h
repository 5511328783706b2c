// Small writers of test pictures and helpers shared by the imaging tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/raster.h"

namespace imgtest {

using Bytes = std::vector<uint8_t>;

struct Out {
    Bytes b{};
    void u8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void be16(uint32_t v) {
        u8(v >> 8);
        u8(v);
    }
    void be32(uint32_t v) {
        be16(v >> 16);
        be16(v);
    }
    void str(const std::string& s) {
        for (char c : s) b.push_back(static_cast<uint8_t>(c));
    }
    void raw(const Bytes& d) { b.insert(b.end(), d.begin(), d.end()); }
    size_t size() const { return b.size(); }
};

// A deterministic test colour for pixel (x, y) counted from the top.
inline hqlv::imaging::RGBQUAD colourAt(int x, int y, int seed = 0) {
    hqlv::imaging::RGBQUAD c;
    c.rgbRed = static_cast<uint8_t>(x * 37 + y * 11 + seed);
    c.rgbGreen = static_cast<uint8_t>(x * 5 + y * 53 + seed * 3);
    c.rgbBlue = static_cast<uint8_t>(x * 101 + y * 7 + seed * 7);
    return c;
}

// Colour of the image at (x, y) counted from the top.
inline hqlv::imaging::RGBQUAD topPixel(const hqlv::imaging::CRaster& img, int x, int y) {
    return img.GetPixelColor(x, static_cast<int>(img.GetHeight()) - 1 - y, false);
}

// A 5-bit channel as the decoders stretch it to 0..255.
inline uint8_t stretch5(uint8_t eightBit) {
    return static_cast<uint8_t>(((eightBit >> 3) * 255 + 15) / 31);
}

// A colour as it comes back from a 5-5-5 word (stretch5 on every channel), and that word.
inline hqlv::imaging::RGBQUAD stretched555(hqlv::imaging::RGBQUAD c) {
    c.rgbRed = stretch5(c.rgbRed);
    c.rgbGreen = stretch5(c.rgbGreen);
    c.rgbBlue = stretch5(c.rgbBlue);
    return c;
}
inline uint32_t pack555(hqlv::imaging::RGBQUAD c) {
    return ((c.rgbRed >> 3u) << 10) | ((c.rgbGreen >> 3u) << 5) | (c.rgbBlue >> 3u);
}

// Decodes a copy of the bytes as format id (0: let the decoders guess).
inline bool decodeAs(hqlv::imaging::CRaster& img, Bytes data, uint32_t id) {
    return img.DecodeBuffer(data.data(), static_cast<uint32_t>(data.size()), id);
}

inline bool sameRgb(hqlv::imaging::RGBQUAD a, hqlv::imaging::RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

inline std::string rgbText(hqlv::imaging::RGBQUAD c) {
    return std::to_string(c.rgbRed) + "," + std::to_string(c.rgbGreen) + "," +
           std::to_string(c.rgbBlue);
}

// BMP writer: pixels given top row first as indexes (<= 8 bits) or colours (24/32 bits).
struct BmpSpec {
    int width = 0, height = 0, bpp = 24;
    bool fileHeader = true;
    bool topDown = false;
    bool core = false;         // 12-byte OS/2 header
    uint32_t headerSize = 40;  // or 52, 56, 108, 124: masks at bytes 40-55, then zeros
    uint32_t masks[4] = {};    // red, green, blue, alpha; written for compression 3
    bool zeroImageSize = false;
    uint32_t clrUsed = 0;
    uint32_t compression = 0;
    int32_t ppmX = 2835, ppmY = 2835;
    std::vector<hqlv::imaging::RGBQUAD> palette{};
    std::vector<uint8_t> index{};                  // width * height, top row first
    std::vector<hqlv::imaging::RGBQUAD> colour{};  // width * height, top row first
    std::vector<uint8_t> alpha{};                  // for 32-bit
    Bytes rawPixels{};                             // when set, used as the pixel data as is
};

Bytes makeBmp(const BmpSpec& s);

// Holds a decoding limit at `n` while it lives, and lifts it (0) when it goes.
template <void (*Set)(uint64_t)>
struct ScopedLimit {
    explicit ScopedLimit(uint64_t n) { Set(n); }
    ~ScopedLimit() { Set(0); }
    ScopedLimit(const ScopedLimit&) = delete;
    ScopedLimit& operator=(const ScopedLimit&) = delete;
};

// The most pixels a picture may have.
using PixelCap = ScopedLimit<&hqlv::imaging::CRaster::SetMaxPixels>;

}  // namespace imgtest
