#include "tools/assetgen/raster.h"

#include <algorithm>
#include <cmath>

#include "platform/core/glyphs.h"

namespace hqlv::assetgen {

void Raster::fillRect(int x, int y, int w, int h, uint32_t c) {
    for (int j = std::max(0, y); j < std::min(height, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width, x + w); ++i)
            px[size_t(j) * size_t(width) + size_t(i)] = c;
}

void Raster::fillRound(int x, int y, int w, int h, int radius, uint32_t c) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            // Distance from the nearest corner centre, for the pixels in a corner square.
            const int cx = i < radius ? radius : (i >= w - radius ? w - 1 - radius : i);
            const int cy = j < radius ? radius : (j >= h - radius ? h - 1 - radius : j);
            const double d = std::hypot(i - cx, j - cy);
            if (d <= radius + 0.25) set(x + i, y + j, c);
        }
}

void Raster::frameRect(int x, int y, int w, int h, uint32_t c) {
    fillRect(x, y, w, 1, c);
    fillRect(x, y + h - 1, w, 1, c);
    fillRect(x, y, 1, h, c);
    fillRect(x + w - 1, y, 1, h, c);
}

void Raster::fillCircle(double cx, double cy, double r, uint32_t c) {
    for (int j = int(std::floor(cy - r)); j <= int(std::ceil(cy + r)); ++j)
        for (int i = int(std::floor(cx - r)); i <= int(std::ceil(cx + r)); ++i)
            if (std::hypot(i + 0.5 - cx, j + 0.5 - cy) <= r) set(i, j, c);
}

void Raster::fillTriangle(double x0, double y0, double x1, double y1, double x2, double y2,
                          uint32_t c) {
    auto edge = [](double ax, double ay, double bx, double by, double px, double py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    const int minX = int(std::floor(std::min({x0, x1, x2})));
    const int maxX = int(std::ceil(std::max({x0, x1, x2})));
    const int minY = int(std::floor(std::min({y0, y1, y2})));
    const int maxY = int(std::ceil(std::max({y0, y1, y2})));
    for (int j = minY; j <= maxY; ++j)
        for (int i = minX; i <= maxX; ++i) {
            const double px = i + 0.5, py = j + 0.5;
            const double a = edge(x0, y0, x1, y1, px, py);
            const double b = edge(x1, y1, x2, y2, px, py);
            const double d = edge(x2, y2, x0, y0, px, py);
            if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) set(i, j, c);
        }
}

void Raster::paste(const Raster& src, int x, int y) {
    for (int j = 0; j < src.height; ++j)
        for (int i = 0; i < src.width; ++i) {
            const uint32_t p = src.at(i, j);
            if (p >> 24) set(x + i, y + j, p);
        }
}

void Raster::copy(const Raster& src, int x, int y) {
    for (int j = 0; j < src.height; ++j)
        for (int i = 0; i < src.width; ++i) set(x + i, y + j, src.at(i, j));
}

Raster Turned(const Raster& src, int quarterTurns) {
    const int q = ((quarterTurns % 4) + 4) % 4;
    const bool swap = q % 2 == 1;
    Raster out(swap ? src.height : src.width, swap ? src.width : src.height, 0);
    for (int j = 0; j < src.height; ++j)
        for (int i = 0; i < src.width; ++i) {
            int x = i, y = j;
            if (q == 1) x = src.height - 1 - j, y = i;
            if (q == 2) x = src.width - 1 - i, y = src.height - 1 - j;
            if (q == 3) x = j, y = src.width - 1 - i;
            out.set(x, y, src.at(i, j));
        }
    return out;
}

namespace {

// The code points of a UTF-8 text (ill-formed bytes are skipped).
std::u32string CodePoints(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const auto b = uint8_t(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + size_t(n) > s.size()) {
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (uint8_t(s[i + size_t(k)]) & 0x3F);
        out.push_back(cp);
        i += size_t(n);
    }
    return out;
}

}  // namespace

bool DrawText(Raster& r, std::string_view utf8, const std::string& face, int height, bool bold,
              double cx, double cy, uint32_t colour) {
    platform::GlyphFont font;
    font.face = face;
    font.height = height;
    font.weight = bold ? 700 : 400;
    std::vector<std::shared_ptr<const platform::GlyphBitmap>> glyphs;
    int total = 0;
    // The ink box of the whole line, so the text is centred by what is drawn.
    int inkTop = 1 << 20, inkBottom = -(1 << 20), inkLeft = 1 << 20, inkRight = -(1 << 20);
    for (char32_t cp : CodePoints(utf8)) {
        auto g = platform::renderGlyph(font, cp);
        if (!g) return false;
        if (g->width > 0 && g->rows > 0) {
            inkTop = std::min(inkTop, g->top);
            inkBottom = std::max(inkBottom, g->top + g->rows);
            inkLeft = std::min(inkLeft, total + g->left);
            inkRight = std::max(inkRight, total + g->left + g->width);
        }
        total += g->advance;
        glyphs.push_back(std::move(g));
    }
    if (inkRight < inkLeft) return true;  // only blanks
    const int ox = int(std::lround(cx - (inkLeft + inkRight) / 2.0));
    const int oy = int(std::lround(cy - (inkTop + inkBottom) / 2.0));
    int pen = 0;
    for (const auto& g : glyphs) {
        for (int y = 0; y < g->rows; ++y)
            for (int x = 0; x < g->width; ++x)
                if (g->coverage[size_t(y) * size_t(g->width) + size_t(x)] >= 128)
                    r.set(ox + pen + g->left + x, oy + g->top + y, colour);
        pen += g->advance;
    }
    return true;
}

}  // namespace hqlv::assetgen
