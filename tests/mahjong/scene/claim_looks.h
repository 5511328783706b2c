#pragma once
// The looks of a claim button, read back from the engine's picture of the table: idle (off),
// live (offered: alpha 0.8 with the red tint), under the pointer (alpha 1.0), pressed (0.3
// with the tint) and off again after the press. Each look's pixel is computed from the
// button's picture and the frame under it by the blit's rule and compared exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/button_frame.h"
#include "engine/core/entity.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/picture.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong::test {

class ClaimLooks {
public:
    static constexpr int kW = 744, kH = 710;
    explicit ClaimLooks(CMJGameScene2& scene) : scene_(scene) {}

    // The whole table drawn afresh; its pixel at (x, y) as 0x00RRGGBB.
    uint32_t RenderAt(int x, int y) {
        std::vector<uint32_t> px(size_t(kW) * kH, 0);
        engine::DrawSurface surface{px.data(), kW, kH};
        engine::GameKernel& k = scene_.GetKernel();
        k.GetCanvas().SetFullScreenInvalidate(true);
        k.GetCanvas().InvalidateAll();
        EXPECT_GE(k.Render(surface), 0);
        return px[size_t(y) * kW + size_t(x)] & 0xFFFFFFu;
    }
    engine::Entity* Face(uint32_t control) {
        engine::GameKernel& k = scene_.GetKernel();
        engine::ControlData* c = k.FindControl(control);
        return c ? k.FindEntity(c->entityId) : nullptr;
    }
    // One colour byte faded with k (0..255) towards another, as the blit does it.
    static uint32_t Fade(uint32_t s, uint32_t to, uint32_t k) {
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t a = (s >> shift) & 0xFF, b = (to >> shift) & 0xFF;
            out |= ((a * k + b * (255 - k)) >> 8) << shift;
        }
        return out;
    }
    // The sum of the colour bytes' differences.
    static uint32_t Distance(uint32_t a, uint32_t b) {
        uint32_t sum = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
            sum += uint32_t(d < 0 ? -d : d);
        }
        return sum;
    }
    struct Expected {
        uint32_t idle, live, hover, pressed;
    };
    // The looks of a sample of picture colour s (alpha a) over a background d, by the
    // picture's form: a per-pixel-alpha picture fades by a × alpha, a keyed one by alpha.
    static Expected Looks(uint32_t s, uint32_t a, uint32_t d, bool perPixelAlpha) {
        const uint32_t red = 0xFF0000;  // the tint COLORREF 0xFF as a pixel colour
        auto f = [](double alpha) { return uint32_t(alpha * 255.0); };
        if (perPixelAlpha)
            return {Fade(s, d, (a * f(0.3)) >> 8), Fade(s, red, (a * f(0.8)) >> 8), Fade(s, red, a),
                    Fade(s, red, (a * f(0.3)) >> 8)};
        return {Fade(s, d, f(0.3)), Fade(s, red, f(0.8)), s, Fade(s, red, f(0.3))};
    }

    // Checks every look of the button of a kind (1-5) at a point 13 pixels right of its
    // centre; the frame must be placed and shown.
    void Check(int kind, uint32_t control) {
        SCOPED_TRACE("claim kind " + std::to_string(kind));
        engine::Entity* e = Face(control);
        ASSERT_NE(e, nullptr);
        const int x = e->GetX() + 13, y = e->GetY();
        // The picture's sample under the point, and the frame under the button.
        ASSERT_EQ(e->GetType(), engine::ENT_IMAGE);
        const engine::ImageState* st = static_cast<engine::ImageEntity*>(e)->State();
        ASSERT_NE(st, nullptr);
        const engine::EnginePicture* pic = engine::LookupPicture(st->resourceId);
        ASSERT_NE(pic, nullptr);
        const int sx = st->srcX + 13 + (e->GetWidth() + 1) / 2,
                  sy = st->srcY + (e->GetHeight() + 1) / 2;
        uint32_t sample = 0;
        std::memcpy(&sample, pic->pixels + (size_t(sy) * pic->width + size_t(sx)) * 4, 4);
        const uint32_t s = sample & 0xFFFFFF, a = sample >> 24;
        ASSERT_GT(a, 0u);
        e->Hide();
        e->ApplyTransform();
        const uint32_t d = RenderAt(x, y);
        e->Show();
        e->ApplyTransform();
        const Expected want = Looks(s, a, d, (pic->flags & engine::PIC_ALPHA) != 0);
        // The offered look stands out from the idle one: a player tells them apart.
        EXPECT_GE(Distance(want.idle, want.live), 40u);
        EXPECT_NE(want.live, want.hover);

        scene_.ShowClaimButton(kind, 0);
        EXPECT_EQ(RenderAt(x, y), want.idle) << "idle";
        scene_.ShowClaimButton(kind, 1);
        EXPECT_EQ(RenderAt(x, y), want.live) << "live";
        // The pointer comes onto it: the hover event lights it.
        scene_.OnMouseMove(0, e->GetX(), e->GetY());
        scene_.PumpMessages();
        EXPECT_EQ(RenderAt(x, y), want.hover) << "hover";
        scene_.OnLButtonDown(1, e->GetX(), e->GetY());
        scene_.PumpMessages();
        EXPECT_EQ(RenderAt(x, y), want.pressed) << "pressed";
        // Turned off while pressed and under the pointer: the idle look, not a lit one.
        scene_.ShowClaimButton(kind, 0);
        EXPECT_EQ(RenderAt(x, y), want.idle) << "off";
        scene_.OnLButtonUp(0, -100, -100);
        scene_.OnMouseMove(0, -100, -100);
        scene_.PumpMessages();
        EXPECT_EQ(RenderAt(x, y), want.idle) << "off, pointer gone";
    }

private:
    CMJGameScene2& scene_;
};

}  // namespace hqlv::mahjong::test
