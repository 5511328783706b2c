#pragma once
// What the handler and clock tests share: a table scene that records the calls that belong
// to neighbouring work (voices, lay-downs, the countdown's end), a deal state with a result
// record, notification bodies built word by word, and a snapshot of everything a handler may
// change, for the malformed records that must change nothing.
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "table_scene.h"

namespace hqlv::mahjong::test {

struct HandlerScene : TableScene {
    void PlayActionSound(int view, const std::string& name) override {
        calls.push_back("voice " + std::to_string(view) + " " + name);
    }
    void PlayNumberSound(int view, int tile) override {
        calls.push_back("tile " + std::to_string(view) + " " + std::to_string(tile));
    }
    void ShowWinEffect(int view) override { calls.push_back("win " + std::to_string(view)); }
    void LayOutEndHand(int view, std::span<const int32_t> codes) override {
        calls.push_back("end " + std::to_string(view) + List(codes));
    }
    void LayOutEndHandAll(int view, std::span<const int32_t> codes) override {
        calls.push_back("endall " + std::to_string(view) + List(codes));
    }
    void LayOutWinningHand(int view, int tile, std::span<const int32_t> codes) override {
        calls.push_back("winning " + std::to_string(view) + " " + std::to_string(tile) +
                        List(codes));
    }
    void PlaceDrawSlotTile(int view, int code) override {
        calls.push_back("slot " + std::to_string(view) + " " + std::to_string(code));
    }
    void OnCountdownEnd() override { calls.push_back("countdown end"); }
    void AutoPlayTick() override { calls.push_back("auto"); }
    void CheckOwnGang() override { calls.push_back("own gang"); }
    void RebindTileControls() override {
        ++rebinds;
        TableScene::RebindTileControls();
    }
    void LayoutToolbar() override { calls.push_back("toolbar"); }
    void Redraw(int parts) override { redraws.push_back(parts); }
    // Each step of the clock hand: the drawn position after it and the engine time.
    void QZ_Moveing(const engine::MessageData& path) override {
        TableScene::QZ_Moveing(path);
        steps.push_back({Clock().drawn, engine::GetCachedTimeMs()});
    }
    void DrawClock() override {
        TableScene::DrawClock();
        if (onDraw) onDraw();
    }
    struct Step {
        int drawn;
        uint32_t at;
    };
    std::vector<Step> steps;
    std::function<void()> onDraw;  // after every drawing of the clock
    static std::string List(std::span<const int32_t> codes) {
        std::string s;
        for (int32_t c : codes)
            if (c != -1) s += " " + std::to_string(c);
        return s;
    }
    std::vector<std::string> calls;
    std::vector<int> redraws;
    int rebinds = 0;
};

struct DealAndResult : DealState {
    std::span<const uint8_t> GetResultRecord() const override { return result; }
    void SetResult(size_t word, int32_t v) { std::memcpy(result.data() + word * 4, &v, 4); }
    std::array<uint8_t, kResultBytes> result{};
};

// A notification body of n words, zero but for the given words.
inline std::vector<uint8_t> Body(size_t words,
                                 std::initializer_list<std::pair<size_t, int32_t>> set) {
    std::vector<uint8_t> b(words * 4, 0);
    for (auto [w, v] : set)
        if (w < words) std::memcpy(b.data() + w * 4, &v, 4);
    return b;
}

// Everything a handler may change.
struct Snapshot {
    explicit Snapshot(CMJGameScene2& s)
        : tiles(std::make_unique<CMJTileAreas>(s.Tiles())),
          clock(s.Clock()),
          hand(s.GetClockPosition()),
          select(s.GetSelectMode()),
          moved(s.IsHandMoved()) {
        for (int k = 0; k < CMJGameScene2::kClaimOfferCount; ++k) offers.push_back(s.Offer(k));
        for (int k = 1; k <= 5; ++k) active.push_back(s.IsClaimButtonActive(k));
    }
    bool operator==(const Snapshot& o) const {
        return std::memcmp(tiles.get(), o.tiles.get(), sizeof(CMJTileAreas)) == 0 &&
               std::memcmp(&clock, &o.clock, sizeof clock) == 0 && hand == o.hand &&
               select == o.select && moved == o.moved && active == o.active &&
               std::memcmp(offers.data(), o.offers.data(),
                           offers.size() * sizeof(CMJGameScene2::ClaimOffer)) == 0;
    }
    std::unique_ptr<CMJTileAreas> tiles;
    CMJGameScene2::ClockWords clock;
    int hand, select, moved;
    std::vector<CMJGameScene2::ClaimOffer> offers;
    std::vector<int> active;
};

class HandlerTest : public TableTestOf<HandlerScene, DealAndResult> {
protected:
    void SetUp() override {
        TableTestOf<HandlerScene, DealAndResult>::SetUp();
        deal.Set(18, 15);  // turn seconds
        deal.Set(39, 8);   // claim seconds
    }
};

}  // namespace hqlv::mahjong::test
