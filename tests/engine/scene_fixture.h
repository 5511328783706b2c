#pragma once
// Pictures registered by id for the scene tests, a canvas on a sentinel-filled target,
// helpers to make entities and the fixture of a whole scene on a manual clock.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "engine/core/clock.h"
#include "engine/core/entity.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/render/canvas.h"
#include "engine/render/plane.h"
#include "platform/core/clock.h"
#include "recording_host.h"

namespace hqlv::engine::test {

constexpr uint32_t kSentinel = 0x12345678;

// A 32-bit picture of frames stacked vertically, filled with one colour per frame.
inline std::unique_ptr<EnginePicture> SolidPicture(int w, int h, std::vector<uint32_t> frames,
                                                   std::vector<uint32_t> delays = {}) {
    auto pic = std::make_unique<EnginePicture>();
    pic->width = uint16_t(w);
    pic->frameHeight = uint16_t(h);
    pic->frameCount = uint16_t(frames.size());
    pic->ownedPixels.resize(size_t(w) * h * 4 * frames.size());
    auto* px = reinterpret_cast<uint32_t*>(pic->ownedPixels.data());
    for (size_t f = 0; f < frames.size(); ++f)
        for (int i = 0; i < w * h; ++i) px[f * size_t(w * h) + size_t(i)] = frames[f];
    pic->pixels = pic->ownedPixels.data();
    pic->dataSize = uint32_t(pic->ownedPixels.size());
    pic->flags = PIC_ALPHA;
    if (!delays.empty()) {
        pic->ownedDelays = std::move(delays);
        pic->frameDelays = pic->ownedDelays.data();
        pic->flags |= PIC_DELAYS;
    }
    return pic;
}

class PictureTable {
public:
    PictureTable() {
        old_ = SetPictureLookup([this](uint32_t id) -> EnginePicture* {
            ++lookups;
            auto it = pics_.find(id);
            return it == pics_.end() ? nullptr : it->second.get();
        });
    }
    ~PictureTable() { SetPictureLookup(std::move(old_)); }
    void Add(uint32_t id, std::unique_ptr<EnginePicture> pic) { pics_[id] = std::move(pic); }
    void Remove(uint32_t id) { pics_.erase(id); }
    EnginePicture* Get(uint32_t id) { return pics_.count(id) ? pics_[id].get() : nullptr; }
    int lookups = 0;

private:
    std::map<uint32_t, std::unique_ptr<EnginePicture>> pics_;
    PictureLookup old_;
};

struct Target {
    Target(int w, int h) : pixels(size_t(w) * h, kSentinel) {
        surface.pixels = pixels.data();
        surface.width = w;
        surface.height = h;
    }
    uint32_t at(int x, int y) const {
        return pixels[size_t(y) * size_t(surface.width) + size_t(x)];
    }
    std::vector<uint32_t> pixels;
    DrawSurface surface;
};

inline std::unique_ptr<ImageEntity> MakeImage(uint32_t id, uint32_t res, int x, int y, int w, int h,
                                              int z = 1) {
    auto e = std::make_unique<ImageEntity>();
    e->SetId(id);
    e->Init(x, y, w, h, 0.0, z, true, 1.0);
    e->SetImage(res, 0, 0, w, h, kNoColour);
    return e;
}

// A scene that records the codes it is sent and counts its logic ticks.
struct RecordingScene : GameBase {
    using GameBase::AddObject;
    int OnMessage(uint32_t code, MessageData&, uint32_t) override {
        messages.push_back(code);
        return 1;
    }
    void OnLogicTick() override { ++logicTicks; }
    std::vector<uint32_t> messages;
    int logicTicks = 0;
};

// A scene of W x H (no screen when W is 0) on a manual clock, drawn for a recording host.
template <class SceneT = RecordingScene, int W = 400, int H = 300>
struct SceneTest : ::testing::Test {
    void SetUp() override {
        old = platform::setClock(&clock);
        GetEngineTimeMs();
        scene.SetHost(&host);
        scene.Init();
        if (W) scene.InitScreen(W, H);
    }
    void TearDown() override {
        scene.Cleanup();
        platform::setClock(old);
    }
    // One frame 40 ms on, everything redrawn.
    void Frame() {
        scene.GetKernel().GetCanvas().InvalidateAll();
        clock.advance(40);
        scene.Tick();
    }
    GameKernel& k() { return scene.GetKernel(); }
    platform::ManualClock clock{1000};
    platform::Clock* old = nullptr;
    RecordingHost host;
    PictureTable pictures;
    SceneT scene;
};

}  // namespace hqlv::engine::test
