#pragma once
// The window-drawn table (scene mode 1) without an engine: a scene whose discard and
// showcase areas stand at fixed places, a deal state, the host double with its 796 × 700
// table view and a raster surface holding every GDI skin bitmap.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "gdi_raster.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "tests/mahjong/fake_scene_host.h"

namespace hqlv::mahjong::test {

struct GdiDeal : CMJGameInfo {
    std::span<const uint8_t> GetRoundRecord() const override { return area; }
    std::span<uint8_t> GetRoundRecordArea() override { return area; }
    std::array<uint8_t, kDealAreaBytes> area{};
};

struct GdiScene : CMJGameScene2 {
    void GetDiscardRect(int view, MJRect& out) const override {
        out = {300 + 40 * view, 200, 300 + 40 * view + 36, 240};
    }
    void GetShowcaseRect(int view, MJRect& out) const override {
        out = {100 + 60 * view, 300, 100 + 60 * view + 42, 360};
    }
    int IsActionWaiting() const override { return waiting; }
    void OnTileClickDiscard(MJTileInfo* r, MJBinding* b) override {
        if (!recordClicks) return CMJGameScene2::OnTileClickDiscard(r, b);
        clicks.push_back(r->nCode);
    }
    void OnTileClickGang(MJTileInfo* r, MJBinding* b) override {
        if (useGangClick) return CMJGameScene2::OnTileClickGang(r, b);
        clicks.push_back(1000 + r->nCode);
    }
    int DeclareConcealedGang(int tile) override {
        concealedGangs.push_back(tile);
        return 1;
    }
    void OnTileClickSelect(MJTileInfo* r, MJBinding*) override {
        clicks.push_back(2000 + r->nCode);
    }
    int waiting = 0;
    bool recordClicks = true, useGangClick = false;
    std::vector<int> clicks, concealedGangs;
};

// The requests the window-drawn table's actions reach: the asks are counted.
struct GdiRequests : CMJRequests {
    int SendKanPaiAsk() override { return ++asks; }
    int SendKanPaiAnswer(int, int) override { return 0; }
    int SendPass(std::string&, MJData) override { return 0; }
    int SendHu(std::string&, MJData) override { return 0; }
    int QueryRequest(std::string&, int, MJData, std::span<uint8_t>, int*) override { return 0; }
    int SendPengConfirm(std::string&, MJData, int*) override { return 0; }
    int SendChiConfirm(std::string&, MJData, int*) override { return 0; }
    void SendChi(std::string&, MJData) override {}
    void SendPeng(std::string&, MJData) override {}
    int SendGang(std::string&, MJData, std::span<uint8_t>) override { return 0; }
    int SendPlayTile(std::string&, MJData) override { return ++plays; }
    int SendPlayTileWait(std::string&, MJData body) override {
        ++plays;
        played.assign(body.begin(), body.end());
        return 10;
    }
    void SendPlayTileNoWait(std::string&, MJData) override { ++plays; }
    int SendDrawTile(std::string&, MJData, std::span<uint8_t>) override { return 0; }
    void SendDrawTileNoWait(std::string&, MJData) override {}
    int SendFlower(std::string&, MJData, std::span<uint8_t>) override { return 0; }
    int SendNetworkBroken() override { return 0; }
    int Send229500(int) override { return 0; }
    int Send229505() override { return 0; }
    int asks = 0, plays = 0;
    std::vector<uint8_t> played;
};

// Every GDI bitmap with its cell size; strips hold 47 cells, pictures one.
inline void AddGdiBitmaps(RasterSurface& s) {
    struct B {
        const char* name;
        int w, h, cells;
    };
    const B all[] = {
        {"MJ_LARGE1", 42, 60, 47},  {"MJ_LARGE2", 42, 60, 47},    {"MJ_MIDDLE0", 33, 32, 47},
        {"MJ_MIDDLE1", 26, 36, 47}, {"MJ_MIDDLE2", 33, 32, 47},   {"MJ_MIDDLE3", 26, 36, 47},
        {"MJ_SIDE0", 19, 49, 1},    {"MJ_SIDE1", 26, 37, 1},      {"MJ_SIDE2", 19, 49, 1},
        {"MJ_BACK0", 33, 32, 1},    {"MJ_BACK1", 26, 36, 1},      {"MJ_SMALL0", 22, 23, 47},
        {"MJ_SMALL1", 17, 26, 47},  {"MJ_SMALLBACK0", 22, 23, 1}, {"MJ_SMALLBACK1", 17, 26, 1},
        {"MJ_JOKER", 42, 60, 1},    {"MJ_HU", 42, 60, 1}};
    for (const B& b : all) s.AddStrip(b.name, b.w, b.h, b.cells);
    for (int i = 1; i <= 12; ++i) s.AddStrip("DICE" + std::to_string(i), 106, 99, 1);
    s.AddStrip("CLOCK", 65, 65, 1, kGdiMagentaKey);
    s.AddStrip("CLOCK_HAND", 56, 56, 8, kGdiMagentaKey);
    s.AddStrip("CLOCK_DIGIT", 8, 17, 10, kGdiMagentaKey);
    s.AddStrip("MJ_ZHUANG", 20, 20, 1, kGdiMagentaKey);
}

class GdiTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        log = std::filesystem::temp_directory_path() / ("hqlv-gdi-" + std::to_string(getpid()));
        std::filesystem::create_directories(log);
        oldLog = engine::SetEngineLogFolder(log.string());
        host.requests = &requests;
        host.Wire(deal, draw, scene);
        scene.SetSceneMode(1);
        draw.SetSceneMode(1);
        AddGdiBitmaps(dc);
        for (auto& [name, strip] : dc.strips) host.bitmaps[name] = 1;
        scene.SetGdiSurface(&dc);
        draw.SetGdiSurface(&dc);
        scene.Tiles().Clear();
        scene.LoadSkinBitmaps();
        scene.InitFont();
    }
    void TearDown() override {
        engine::SetEngineLogFolder(oldLog);
        std::filesystem::remove_all(log);
    }
    MJTileInfo* Hand(int view) { return scene.Tiles().m_hands[view]; }
    // The own hand of the given codes, records 1, 2, ... standing in their columns.
    void OwnHand(std::vector<int> codes) {
        scene.LayoutHands();
        for (size_t i = 0; i < codes.size(); ++i) {
            MJTileInfo& r = Hand(kOwnView)[i + 1];
            r.nCode = codes[i];
            r.bPresent = 1;
        }
    }
    // The marker found at the middle of a cell of w × h at (x, y).
    uint32_t Middle(int x, int y, int w, int h) const { return dc.At(x + w / 2, y + h / 2); }
    uint32_t Mark(const char* strip, int cell) const { return dc.Marker(dc.Strip(strip), cell); }

    std::filesystem::path log;
    std::string oldLog;
    FakeSceneHost host;
    GdiDeal deal;
    GdiRequests requests;
    CMJTableDraw draw;
    GdiScene scene;
    RasterSurface dc{796, 700};
};

}  // namespace hqlv::mahjong::test
