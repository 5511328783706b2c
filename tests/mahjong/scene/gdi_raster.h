#pragma once
// A GDI surface over plain COLORREF pixels for the window-drawn table's tests. Its skin
// bitmaps are made here: every cell of a strip is one marker colour that names the strip
// and the cell, inside a two-pixel border of the key colour blue, so a painted cell is
// found by its marker and the key pixels must leave the background as it was. Texts are
// recorded, not rasterised.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mahjong/scene/gdi_surface.h"

namespace hqlv::mahjong::test {

constexpr uint32_t kRasterBackground = 0x123456;

struct RasterSurface : CMJGdiSurface {
    struct Bitmap {
        int width = 0, height = 0;
        std::vector<uint32_t> px;
    };
    struct Text {
        int x, y;
        std::string text;
        MJGdiFont font;
        uint32_t colour;
    };

    RasterSurface(int w, int h) : width(w), height(h), px(size_t(w * h), kRasterBackground) {}

    // The marker of cell `cell` of the strip with number `strip` (never the key colours).
    static uint32_t Marker(int strip, int cell) {
        return uint32_t(0x10 + strip) | uint32_t(cell + 1) << 8 | 0x400000;
    }
    // A strip of `cells` cells of w × h; its number is the order of adding.
    void AddStrip(const std::string& name, int w, int h, int cells = 47,
                  uint32_t key = kGdiBlueKey) {
        Bitmap b{w * cells, h, std::vector<uint32_t>(size_t(w * cells * h), key)};
        const int strip = int(strips.size());
        for (int c = 0; c < cells; ++c)
            for (int y = 2; y < h - 2; ++y)
                for (int x = 2; x < w - 2; ++x) b.px[size_t(y * b.width + c * w + x)] = Marker(strip, c);
        strips[name] = strip;
        bitmaps[name] = std::move(b);
    }
    int Strip(const std::string& name) const {
        auto it = strips.find(name);
        return it == strips.end() ? -1 : it->second;
    }
    uint32_t At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height ? px[size_t(y * width + x)] : 0;
    }

    int Width() const override { return width; }
    int Height() const override { return height; }
    bool TransparentBlt(int x, int y, int w, int h, const std::string& name, int sx, int sy,
                        uint32_t key) override {
        blits.push_back(name);
        auto it = bitmaps.find(name);
        if (it == bitmaps.end()) return false;
        const Bitmap& b = it->second;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const int bx = sx + i, by = sy + j, dx = x + i, dy = y + j;
                if (bx < 0 || by < 0 || bx >= b.width || by >= b.height) continue;
                if (dx < 0 || dy < 0 || dx >= width || dy >= height) continue;
                const uint32_t c = b.px[size_t(by * b.width + bx)];
                if (c != key) px[size_t(dy * width + dx)] = c;
            }
        return true;
    }
    bool BitmapSize(const std::string& name, int& w, int& h) override {
        auto it = bitmaps.find(name);
        if (it == bitmaps.end()) return false;
        w = it->second.width, h = it->second.height;
        return true;
    }
    void FrameRect(int l, int t, int r, int b, uint32_t colour) override {
        for (int x = l; x < r; ++x) Set(x, t, colour), Set(x, b - 1, colour);
        for (int y = t; y < b; ++y) Set(l, y, colour), Set(r - 1, y, colour);
    }
    void SelectFont(const MJGdiFont& f) override { font = f; }
    void SetTextColor(uint32_t c) override { colour = c; }
    void TextOut(int x, int y, const std::string& t) override {
        texts.push_back({x, y, t, font, colour});
    }
    // Every character 16 × 16 (UTF-8 lead bytes counted).
    void GetTextExtent(const std::string& t, int& w, int& h) override {
        int n = 0;
        for (unsigned char c : t) n += (c & 0xC0) != 0x80;
        w = 16 * n, h = 16;
    }
    void Invalidate() override { ++invalidated; }
    void CaptureMouse(bool on) override { captures.push_back(on); }
    bool CursorPos(int& x, int& y) override {
        if (!cursorKnown) return false;
        x = cursor.first, y = cursor.second;
        return true;
    }
    bool cursorKnown = true;
    std::pair<int, int> cursor{0, 0};

    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) px[size_t(y * width + x)] = c;
    }

    int width, height;
    std::vector<uint32_t> px;
    std::map<std::string, Bitmap> bitmaps;
    std::map<std::string, int> strips;
    std::vector<std::string> blits;
    std::vector<Text> texts;
    std::vector<bool> captures;
    MJGdiFont font;
    uint32_t colour = 0;
    int invalidated = 0;
};

}  // namespace hqlv::mahjong::test
