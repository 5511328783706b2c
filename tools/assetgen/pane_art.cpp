#include "tools/assetgen/pane_art.h"

#include <algorithm>

namespace hqlv::assetgen {
namespace {

void put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

PaletteImage blank(int w, int h, std::vector<uint32_t> palette) {
    return {w, h, std::move(palette), std::vector<uint8_t>(size_t(w) * size_t(h), 0)};
}

void fill(PaletteImage& im, int x0, int y0, int x1, int y1, uint8_t c) {
    for (int y = std::max(0, y0); y < std::min(im.h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(im.w, x1); ++x) im.index[size_t(y * im.w + x)] = c;
}

void disc(PaletteImage& im, int cx, int cy, int r, uint8_t c) {
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) fill(im, x, y, x + 1, y + 1, c);
}

}  // namespace

std::string bmp8File(const PaletteImage& im) {
    const uint32_t stride = (uint32_t(im.w) + 3) & ~3u;
    const uint32_t image = stride * uint32_t(im.h);
    const uint32_t colours = uint32_t(im.palette.size());
    const uint32_t offset = 54 + 4 * colours;
    std::string s = "BM";
    put32(s, offset + image);
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, uint32_t(im.w));
    put32(s, uint32_t(im.h));
    put16(s, 1);
    put16(s, 8);
    put32(s, 0);
    put32(s, image);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, colours);
    put32(s, 0);
    for (uint32_t c : im.palette) put32(s, c & 0xFFFFFF);  // blue, green, red, 0
    for (int y = im.h - 1; y >= 0; --y) {
        for (int x = 0; x < im.w; ++x) s.push_back(char(im.index[size_t(y * im.w + x)]));
        for (uint32_t p = uint32_t(im.w); p < stride; ++p) s.push_back(0);
    }
    return s;
}

PaletteImage scoreBoardImage() {
    // 0 black (transparent), 1 band, 2 header, 3 rule, 4 light text ground
    PaletteImage im = blank(339, 172, {0x000000, kBoardBandColour, 0x6A8CA0, 0x3C2814, 0xE8DCB4});
    fill(im, 4, 4, 335, 34, 2);
    for (int c = 0; c < 4; ++c) {
        const int y = 45 + 32 * c;
        fill(im, 4, y - 6, 335, y + 22, 4);
        fill(im, 4, y + 22, 335, y + 24, 1);
    }
    for (int x : {15, 158, 190, 260, 290}) fill(im, x - 3, 8, x - 2, 30, 3);
    return im;
}

PaletteImage defaultFaceImage() {
    PaletteImage im = blank(32, 32, {0xFFFFFF, 0xF0C890, 0x303030, 0xC04040});
    disc(im, 16, 16, 14, 1);
    disc(im, 11, 13, 2, 2);
    disc(im, 21, 13, 2, 2);
    fill(im, 11, 22, 22, 24, 3);
    return im;
}

PaletteImage iconImage(int id) {
    // 151: a person's head and shoulders; 152: a smiling face for the face button.
    if (id == 152) {
        PaletteImage im = blank(32, 32, {0xFFFFF0, 0xF8D030, 0x303030});
        disc(im, 16, 16, 13, 1);
        disc(im, 11, 12, 2, 2);
        disc(im, 21, 12, 2, 2);
        fill(im, 10, 21, 23, 23, 2);
        return im;
    }
    PaletteImage im = blank(32, 32, {0xFFFFFF, 0x4870B0, 0xF0C890});
    disc(im, 16, 11, 7, 2);
    fill(im, 6, 21, 27, 32, 1);
    return im;
}

}  // namespace hqlv::assetgen
