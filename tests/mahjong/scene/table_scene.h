#pragma once
// What the table tests share: a deal state over a 5028-byte area whose words a test sets,
// a scene that may have another tile total and the deal's jokers, and a clock that stands
// just before the 32-bit wrap and steps the engine.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/clock.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"
#include "shot_util.h"

namespace hqlv::mahjong::test {

struct DealState : CMJGameInfo {
    std::span<const uint8_t> GetRoundRecord() const override { return area; }
    std::span<uint8_t> GetRoundRecordArea() override { return area; }
    void Set(size_t word, int32_t v) { SetRoundWord(word, v); }
    std::array<uint8_t, kDealAreaBytes> area{};
};

struct TableScene : CMJGameScene2 {
    int GetTotalTiles() const override { return total; }
    void GetJokers(int& a, int& b) const override { a = joker, b = -1; }
    uint32_t GetGameFlags() const override { return flags; }
    int OnMessage(uint32_t code, engine::MessageData& data, uint32_t target) override {
        const int32_t* w = data.owned() ? static_cast<const int32_t*>(data.block()) : nullptr;
        got.push_back({code, w ? w[0] : -1, engine::GetCachedTimeMs()});
        return CMJGameScene2::OnMessage(code, data, target);
    }
    struct Got {
        uint32_t code;
        int32_t word0;
        uint32_t at;
    };
    std::vector<Got> got;
    int total = 136;
    int joker = -1;
    uint32_t flags = 0x900C2100;
};

// The scene and the deal state are parameters so other tests may record more or keep a
// result record as well.
template <class Scene, class Info = DealState>
class TableTestOf : public SceneTestOf<Scene> {
protected:
    void SetUp() override {
        SceneTestOf<Scene>::SetUp();
        this->host.info = &deal;
        before = platform::setClock(&clock);
    }
    void TearDown() override {
        SceneTestOf<Scene>::TearDown();
        platform::setClock(before);
    }
    // Steps the engine clock in 10 ms steps: the due Applies run, their messages are handled.
    void Run(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            clock.advance(10);
            this->scene.GetKernel().RunDueApplies();
            this->scene.PumpMessages();
        }
    }
    MJTileInfo* Hand(int view) { return this->scene.Tiles().m_hands[view]; }
    // The whole 744 x 710 table rendered afresh; kept for review as name in the build folder
    // (written under a temporary name first, so parallel runs never read half a file).
    std::vector<uint32_t> Shoot(const std::string& name) {
        std::vector<uint32_t> px(size_t(744) * 710, 0);
        engine::DrawSurface surface{px.data(), 744, 710};
        engine::GameKernel& k = this->scene.GetKernel();
        k.GetCanvas().SetFullScreenInvalidate(true);
        k.GetCanvas().InvalidateAll();
        EXPECT_GE(k.Render(surface), 0);
        const std::string path = std::string(HQLV_BUILD_DIR) + "/" + name;
        const std::string part = path + "." + std::to_string(getpid());
        EXPECT_TRUE(WritePng(part, px, 744, 710));
        EXPECT_EQ(std::rename(part.c_str(), path.c_str()), 0);
        return px;
    }

    Info deal;
    platform::ManualClock clock{0xFFFFFFFFu - 700};
    platform::Clock* before = nullptr;
};
using TableTest = TableTestOf<TableScene>;

}  // namespace hqlv::mahjong::test
