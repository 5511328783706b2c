#pragma once
// Draws a picture a harness made into a small guarded plane, the selector byte choosing the
// blit: a stretched size (bit 0), a rotation (1), smoothing (2), inversion (3), the frame
// (bits 4-5), half alpha (6) and a tint (7). A picture can also be laid as the canvas's
// tiled background, whose rows are copied straight from its pixels.
#include <cstdint>
#include <vector>

#include "engine/core/entity.h"
#include "engine/render/blitter.h"
#include "engine/render/canvas.h"
#include "engine/render/picture.h"

namespace hqlv::engine::fuzz {

inline void DrawAnyWay(const EnginePicture& pic, uint8_t sel) {
    std::vector<uint32_t> pixels(32 * 32, 0x80808080u);
    DrawSurface surface{pixels.data(), 32, 32, 4, kNoColour};
    BlitParams p;
    p.drawX = p.centreX = 16;
    p.drawY = p.centreY = 16;
    p.width = (sel & 1) ? 24 : pic.width;
    p.height = (sel & 1) ? 20 : pic.frameHeight;
    p.angle = (sel & 2) ? 37.0 : 0.0;
    p.flags = (sel & 4) ? BLIT_SMOOTH : 0;
    if (sel & 8) p.flags |= BLIT_INVERT;
    const int frame = pic.frameCount ? ((sel >> 4) & 3) % pic.frameCount : 0;
    DrawImageEx(surface, p, pic, 0, frame * pic.frameHeight, pic.width, pic.frameHeight,
                (sel & 0x40) ? 0.5 : 1.0, (sel & 0x80) ? 0x40102030u : kNoColour);
}

// The picture as the one background tile of a 32 × 32 canvas, drawn once.
inline void DrawAsTiledBackground(const EnginePicture& pic) {
    static Canvas canvas;
    static const bool ready = (canvas.InitScreen(32, 32, 32), true);
    (void)ready;
    auto* shown = const_cast<EnginePicture*>(&pic);
    PictureLookup old =
        SetPictureLookup([shown](uint32_t id) { return id == 1 ? shown : nullptr; });
    if (canvas.SetBackgroundImage(1, 0, 0, pic.width, int(pic.totalRows()), 0)) {
        canvas.SetBackgroundMode(3);
        canvas.InvalidateAll();
        std::vector<uint32_t> pixels(32 * 32, 0);
        DrawSurface target{pixels.data(), 32, 32, 4, kNoColour};
        canvas.Render(1, target);
    }
    SetPictureLookup(std::move(old));
}

}  // namespace hqlv::engine::fuzz
