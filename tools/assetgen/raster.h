#pragma once
// A small drawing surface for the generated art: 0xAARRGGBB pixels, solid shapes with hard
// edges (no blended fringe, so a colour key stays exact), text through the platform's glyph
// service, quarter turns and copies between surfaces.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::assetgen {

constexpr uint32_t kOpaque = 0xFF000000;
// Pure magenta: the key colour of most pictures.
constexpr uint32_t kKeyMagenta = 0xFFFF00FF;
// Pure blue: the dice pictures' key.
constexpr uint32_t kKeyBlue = 0xFF0000FF;

// 0xAARRGGBB from components.
constexpr uint32_t Rgb(int r, int g, int b, int a = 255) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

struct Raster {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;

    Raster() = default;
    Raster(int w, int h, uint32_t fill) : width(w), height(h), px(size_t(w) * size_t(h), fill) {}
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
    void set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            px[size_t(y) * size_t(width) + size_t(x)] = c;
    }
    void fillRect(int x, int y, int w, int h, uint32_t c);
    // A filled rectangle whose corners are cut by the radius (hard edge).
    void fillRound(int x, int y, int w, int h, int radius, uint32_t c);
    void frameRect(int x, int y, int w, int h, uint32_t c);
    void fillCircle(double cx, double cy, double r, uint32_t c);
    void fillTriangle(double x0, double y0, double x1, double y1, double x2, double y2, uint32_t c);
    // Copies every pixel of src whose alpha is not 0 to (x, y).
    void paste(const Raster& src, int x, int y);
    // Exact copy of src's pixels to (x, y), transparent ones included.
    void copy(const Raster& src, int x, int y);
};

// The raster turned by quarter turns clockwise (1, 2 or 3; 0 copies).
Raster Turned(const Raster& src, int quarterTurns);

// UTF-8 text set in one line with its cell centred on (cx, cy); every pixel whose glyph
// coverage reaches half becomes the colour. face is a scene face name ("宋体", "楷体_GB2312",
// anything else for the sans face). Returns false when no font draws it.
bool DrawText(Raster& r, std::string_view utf8, const std::string& face, int height, bool bold,
              double cx, double cy, uint32_t colour);

}  // namespace hqlv::assetgen
