#pragma once
// A table-sized scene for the frame measurements and the frame picture test: a cached
// 744 × 710 background, 280 keyed 40 × 60 tiles in overlapping rows and 20 rotated tiles;
// each step moves 4 tiles (raised and lowered again, like a selected hand tile).
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/entity_kinds.h"
#include "engine/render/canvas.h"

namespace hqlv::engine::scene {

constexpr int kWidth = 744, kHeight = 710;
constexpr int kTileW = 40, kTileH = 60;
constexpr int kKeyedTiles = 280, kRotatedTiles = 20;
constexpr uint32_t kBackgroundId = 100;

class TableScene {
public:
    TableScene() {
        old_ = SetPictureLookup([this](uint32_t id) -> EnginePicture* {
            auto it = pictures_.find(id);
            return it == pictures_.end() ? nullptr : it->second.get();
        });
        pictures_[kBackgroundId] = Background();
        for (uint32_t face = 1; face <= 9; ++face) pictures_[face] = Tile(face);
        canvas.InitScreen(32, kWidth, kHeight);
        canvas.SetBackgroundImage(kBackgroundId, 0, 0, kWidth, kHeight, 1);
        uint32_t id = 1;
        for (int i = 0; i < kKeyedTiles; ++i) {
            const int col = i % 14, row = i / 14;
            tiles.push_back(
                Make(id++, 1 + uint32_t(i % 9), 60 + col * 44, 50 + row * 31, row + 1, 0.0, 1));
        }
        for (int i = 0; i < kRotatedTiles; ++i) {
            const double a = 2.0 * 3.14159 * i / kRotatedTiles;
            tiles.push_back(Make(id++, 1 + uint32_t(i % 9), kWidth / 2 + int(200 * std::cos(a)),
                                 kHeight / 2 + int(200 * std::sin(a)), 100, 18.0 * i + 9.0, 2));
        }
    }
    ~TableScene() {
        tiles.clear();
        SetPictureLookup(std::move(old_));
    }

    // Raises (odd steps lower) four tiles spread over the rows.
    void Step() {
        const int dy = (step_ % 2 == 0) ? -12 : 12;
        const int base = (step_ / 2) % 14;
        for (int k = 0; k < 4; ++k) {
            Entity& e = *tiles[size_t(base + k * 70)];
            e.MoveBy(0, dy);
            e.ApplyTransform();
        }
        ++step_;
    }

    Canvas canvas;
    std::vector<std::unique_ptr<ImageEntity>> tiles;

private:
    std::unique_ptr<ImageEntity> Make(uint32_t id, uint32_t face, int x, int y, int z, double angle,
                                      int layer) {
        auto e = std::make_unique<ImageEntity>();
        e->SetId(id);
        e->Init(x, y, kTileW, kTileH, angle, z, true, 1.0);
        e->SetImage(face, 0, 0, kTileW, kTileH, kNoColour);
        e->AttachToCanvas(&canvas, layer);
        return e;
    }

    static std::unique_ptr<EnginePicture> Blank(int w, int h, uint32_t flags) {
        auto p = std::make_unique<EnginePicture>();
        p->width = uint16_t(w);
        p->frameHeight = uint16_t(h);
        p->frameCount = 1;
        p->ownedPixels.assign(size_t(w) * h * 4, 0);
        p->pixels = p->ownedPixels.data();
        p->dataSize = uint32_t(p->ownedPixels.size());
        p->flags = flags;
        return p;
    }
    static std::unique_ptr<EnginePicture> Background() {
        auto p = Blank(kWidth, kHeight, 0);
        auto* px = reinterpret_cast<uint32_t*>(p->pixels);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                // Table felt: a green gradient with a faint weave.
                const uint32_t g = 90 + uint32_t(y * 60 / kHeight) + (((x ^ y) & 4) ? 6 : 0);
                const uint32_t r = 20 + uint32_t(x * 20 / kWidth);
                px[size_t(y) * kWidth + size_t(x)] = 0xFF000000u | r << 16 | g << 8 | 40u;
            }
        }
        return p;
    }
    // An ivory tile with rounded (keyed) corners, a dark edge and a coloured mark.
    static std::unique_ptr<EnginePicture> Tile(uint32_t face) {
        auto p = Blank(kTileW, kTileH, PIC_KEYED);
        auto* px = reinterpret_cast<uint32_t*>(p->pixels);
        const uint32_t marks[9] = {0xC02020, 0x208020, 0x2040C0, 0xC08020, 0x802080,
                                   0x208080, 0x404040, 0xC04080, 0x60A020};
        for (int y = 0; y < kTileH; ++y) {
            for (int x = 0; x < kTileW; ++x) {
                const int cx = std::min(x, kTileW - 1 - x), cy = std::min(y, kTileH - 1 - y);
                uint32_t c = 0xFFF4EED8;
                if (cx + cy < 3)
                    c = 0;  // corner: transparent
                else if (cx == 0 || cy == 0)
                    c = 0xFF5A4A30;
                else if (cy < 6 && y > kTileH / 2)
                    c = 0xFF2E7D5B;  // the tile's green back
                const int dx = x - kTileW / 2, dy = y - kTileH / 2 + 2;
                const int rr = 6 + int(face);
                if (dx * dx + dy * dy < rr * rr && dx * dx + dy * dy > (rr - 4) * (rr - 4))
                    c = 0xFF000000u | marks[face - 1];
                px[size_t(y) * kTileW + size_t(x)] = c;
            }
        }
        return p;
    }

    std::map<uint32_t, std::unique_ptr<EnginePicture>> pictures_;
    PictureLookup old_;
    int step_ = 0;
};

}  // namespace hqlv::engine::scene
