// The cost of one frame of the table in the middle of a deal: four hands (the own one face
// up, three hidden), a meld at every seat, 60 discards, the wall with its taken tiles and
// the clock, drawn by the real scene from the pictures the build generates. Measured: a
// full redraw at the scene's own 744 × 710, the same stretched into a 995 × 772 table pane
// (what the frame timer does on a 1280 × 800 screen), and the frame after one second of
// the clock (only its dirty area). The frame budget is the engine's 30 ms; the target is
// 1 ms (a ratio of 0.033) on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/engine_host.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/audio.h"
#include "tests/mahjong/fake_scene_host.h"

using namespace hqlv;
using namespace hqlv::mahjong;

namespace {

constexpr int kWidth = 744, kHeight = 710;
constexpr double kBudgetMs = 30.0;

struct Host : test::FakeSceneHost {
    std::string GetProgramFolder() override { return std::string(HQLV_BUILD_DIR) + "/mahjong/"; }
    std::string GetGameIniPath() override { return "/nonexistent/HqLv.ini"; }
};

struct ShownHost : engine::EngineHost {
    bool IsMainWindowVisible() override { return true; }
    void SetCursorById(uint32_t) override {}
    void SetCursorPos(int, int) override {}
    void Quit() override {}
    void ChatLine(std::string_view) override {}
    void StopTimers() override {}
    void ShowMessageBox(std::string_view, std::string_view) override {}
    void PresentFrame(const uint32_t*, int, int) override {}
    void* CurrentApp() override { return nullptr; }
};

struct DealState : CMJGameInfo {
    std::span<const uint8_t> GetRoundRecord() const override { return area; }
    std::span<uint8_t> GetRoundRecordArea() override { return area; }
    std::array<uint8_t, kDealAreaBytes> area{};
};

// Builds the table through the scene's own operations, as the handlers would leave it.
struct MidDeal {
    Host host;
    ShownHost shown;
    DealState deal;
    CMJTableDraw draw;
    CMJGameScene2 scene;
    std::shared_ptr<platform::Audio> oldAudio =
        platform::installAudio(std::make_shared<platform::RecordingAudio>());

    explicit MidDeal(int deviceWidth, int deviceHeight) {
        host.chair = 2;
        host.Wire(deal, draw, scene);
        scene.SetHost(&shown);
        deal.SetRoundWord(13, 2);  // the own seat moves
        deal.SetRoundWord(18, 15);
        deal.SetRoundWord(39, 8);
        scene.Init();
        scene.SetFixedLogicalSize(kWidth, kHeight);
        scene.InitScreen(deviceWidth, deviceHeight);
        scene.OnPrepare();
        scene.OnStart();
        scene.ResetTable();
        int next = 0;  // tile ids handed out in order, so no id shows twice
        for (int v = 0; v < 4; ++v) {
            MJTileInfo* row = scene.Tiles().HandRow(v);
            const int held = v == kOwnView ? 11 : 10;
            for (int i = 1; i <= held; ++i) {
                row[i].nCode = v == kOwnView ? next++ : kHiddenTile;
                row[i].bPresent = row[i].bHand = 1;
            }
            if (v == kOwnView) row[0].nCode = next++, row[0].bPresent = row[0].bHand = 1;
            // A peng claimed from the seat before: word 5 the claimed tile, 6-7 the hand's.
            int32_t work[16] = {};
            work[0] = v, work[3] = scene.ViewToChair(v), work[4] = scene.ViewToChair((v + 1) % 4);
            work[5] = next++, work[6] = next++, work[7] = next++, work[8] = -1;
            work[10] = work[11] = -1;
            scene.AddPengMeld(v, MJData(reinterpret_cast<const uint8_t*>(work), sizeof work));
            for (int d = 0; d < 15; ++d) scene.AddDiscard(v, (next++) % 136);
        }
        for (int p = 0; p < 54; ++p) scene.Tiles().m_wall[(20 + p) % 136].bPresent = 0;
        for (int v = 0; v < 4; ++v) {
            scene.BindHandTiles(v);
            scene.BindDiscards(v);
        }
        scene.BindWallTiles();
        scene.ClockStart();
        scene.SetCountdown(60);
        scene.DrawClock();
        FullFrame();
    }
    ~MidDeal() {
        scene.Cleanup();
        platform::installAudio(oldAudio);
    }
    engine::Canvas& Canvas() { return scene.GetKernel().GetCanvas(); }
    void FullFrame() {
        Canvas().InvalidateAll();
        scene.Render();
    }
    // One clock second: the digits change, only their area is drawn again.
    void ClockFrame() {
        if (scene.GetCountdown() < 10) scene.SetCountdown(60);
        scene.OnCountdownTimer();
        scene.Render();
    }
    int Items() { return int(Canvas().ItemsDrawn()); }
};

void BM_FullRedraw744x710(benchmark::State& state) {
    MidDeal t(kWidth, kHeight);
    for (auto _ : state) t.FullFrame();
    state.counters["items"] = t.Items();
}
BENCHMARK(BM_FullRedraw744x710)->Unit(benchmark::kMicrosecond);

void BM_FullRedrawStretched995x772(benchmark::State& state) {
    MidDeal t(995, 772);
    for (auto _ : state) t.FullFrame();
    state.counters["items"] = t.Items();
}
BENCHMARK(BM_FullRedrawStretched995x772)->Unit(benchmark::kMicrosecond);

void BM_ClockStepFrame(benchmark::State& state) {
    MidDeal t(kWidth, kHeight);
    for (auto _ : state) t.ClockFrame();
    state.counters["items"] = t.Items();
}
BENCHMARK(BM_ClockStepFrame)->Unit(benchmark::kMicrosecond);

template <class F>
double MedianMs(F&& frame, int n) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const auto a = std::chrono::steady_clock::now();
        frame();
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a)
                        .count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void Report(const char* what, double ms, int items) {
    const double ratio = ms / kBudgetMs;
    std::printf("%-34s %7.3f ms  %3d items  ratio %.4f of 30 ms (target 0.033): %s\n", what, ms,
                items, ratio, ratio <= 1.0 / kBudgetMs ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    {
        MidDeal t(kWidth, kHeight);
        MedianMs([&] { t.FullFrame(); }, 10);
        const double full = MedianMs([&] { t.FullFrame(); }, 101);
        Report("full redraw 744 x 710", full, t.Items());
        const double clock = MedianMs([&] { t.ClockFrame(); }, 101);
        Report("clock step (dirty area)", clock, t.Items());
    }
    {
        MidDeal t(995, 772);
        MedianMs([&] { t.FullFrame(); }, 10);
        const double full = MedianMs([&] { t.FullFrame(); }, 101);
        Report("full redraw stretched 995 x 772", full, t.Items());
    }
    return 0;
}
