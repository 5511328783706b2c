// A table frame drawn two ways: only the dirty rectangles after 4 tiles moved, and the same
// scene with the whole screen invalidated. After the runs, the medians of both and their
// ratio are printed; a dirty frame must cost at most 0.4 of the full one.
// Then the same 300 tiles as entities of an engine object with controls: 1,000 mouse moves
// through the engine (hit test, hover events, state copies, deliveries) against the bare
// canvas hit test of the same points, which may cost at most twice as much; and a whole tick
// with everything dirty (pump, 100 Applies, the whole scene drawn, stretched to 1024 × 768).
// A tick costs a multiple of a full frame because it is more than one: the engine draws into
// its logical buffer and then scales that bilinearly to the window, every pixel of both; the
// breakdown is printed at the end (tick = full render + stretch + the rest).
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/engine/table_scene.h"
#include "engine/core/engine_host.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "platform/core/clock.h"
#include "platform/core/stretch.h"

using namespace hqlv::engine;

namespace {

struct Frame {
    scene::TableScene scene;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(scene::kWidth) * scene::kHeight);
    DrawSurface target{pixels.data(), scene::kWidth, scene::kHeight};
    uint32_t now = 1;
    Frame() { scene.canvas.Render(now++, target); }
    void Dirty() {
        scene.Step();
        scene.canvas.Render(now++, target);
    }
    void Full() {
        scene.canvas.SetFullScreenInvalidate(true);
        scene.Step();
        scene.canvas.Render(now++, target);
        scene.canvas.SetFullScreenInvalidate(false);
    }
};

void BM_SceneDirtyFrame(benchmark::State& state) {
    Frame f;
    for (auto _ : state) f.Dirty();
    state.counters["items"] = double(f.scene.canvas.ItemsDrawn());
}
BENCHMARK(BM_SceneDirtyFrame)->Unit(benchmark::kMicrosecond);

void BM_SceneFullFrame(benchmark::State& state) {
    Frame f;
    for (auto _ : state) f.Full();
    state.counters["items"] = double(f.scene.canvas.ItemsDrawn());
}
BENCHMARK(BM_SceneFullFrame)->Unit(benchmark::kMicrosecond);

double MedianMicros(Frame& f, bool full, int n) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const auto a = std::chrono::steady_clock::now();
        full ? f.Full() : f.Dirty();
        t.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a)
                        .count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

struct NullHost : EngineHost {
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

// Takes every event and keeps nothing.
struct Sink : ObjectBase {
    uint32_t HandleMessage(EngineMessage&) override {
        ++count;
        return 1;
    }
    uint64_t count = 0;
};

struct SinkScene : GameBase {
    using GameBase::AddObject;
};

// The table's tiles as engine entities, each with a control whose move, enter and leave reach
// one sink; fixed at the table's size in a 1024 × 768 window.
struct EngineTable {
    scene::TableScene pictures;  // the pictures and their lookup
    NullHost host;
    SinkScene engine;
    Sink* sink = nullptr;
    std::vector<std::pair<int, int>> points;

    EngineTable() {
        engine.SetHost(&host);
        engine.Init();
        engine.SetFixedLogicalSize(scene::kWidth, scene::kHeight);
        engine.InitScreen(1024, 768);
        GameKernel& k = engine.GetKernel();
        k.GetCanvas().SetBackgroundImage(scene::kBackgroundId, 0, 0, scene::kWidth, scene::kHeight,
                                         1);
        sink = static_cast<Sink*>(engine.AddObject(std::make_unique<Sink>()));
        for (const auto& t : pictures.tiles) {
            auto* e = static_cast<ImageEntity*>(
                k.CreateEntity(ENT_IMAGE, t->GetX(), t->GetY(), scene::kTileW, scene::kTileH,
                               t->GetRotation(), t->GetZ(), true, 1.0));
            e->SetImage(t->State()->resourceId, 0, 0, scene::kTileW, scene::kTileH, kNoColour);
            e->AttachToCanvas(&k.GetCanvas(), t->GetLayer());
            ControlData* c = k.ApplyControl(e->GetId(), 0);
            for (uint32_t slot : {1u, 2u, 3u}) c->SetEvent(slot, slot, sink->ControlId(), 0);
            k.BindControl(c, e, 0);
            e->ApplyTransform();
        }
        k.GetCanvas().InvalidateAll();
        engine.Render();
        // A path over the table crossing many tiles, in window coordinates.
        for (int i = 0; i < 1000; ++i)
            points.emplace_back(20 + (i * 37) % 980, 20 + (i * 53) % 720);
    }
};

double MovesMicros(EngineTable& t, bool bare) {
    const Canvas& canvas = t.engine.GetKernel().GetCanvas();
    uint32_t sum = 0;
    const auto a = std::chrono::steady_clock::now();
    for (const auto& [x, y] : t.points) {
        if (bare)
            sum += canvas.HitTest(x * scene::kWidth / 1024, y * scene::kHeight / 768);
        else
            t.engine.OnMouseMove(0, x, y);
    }
    const auto b = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(sum);
    return std::chrono::duration<double, std::micro>(b - a).count();
}

void BM_EngineMouseMoves(benchmark::State& state) {
    EngineTable t;
    for (auto _ : state) MovesMicros(t, false);
    state.counters["events"] = double(t.sink->count);
}
BENCHMARK(BM_EngineMouseMoves)->Unit(benchmark::kMicrosecond);

// One tick of the engine with 100 tiles set moving (for 100 ms) and the whole scene dirty;
// the caller may leave out the Applies and messages, or the drawing. The engine's clock
// moves on by the frame time (30 ms) at every tick, as in the client: a move then ends after
// four ticks. On the wall clock, ticks a few milliseconds apart would keep every move of the
// last 100 ms running, thousands of Applies, as many as the machine's speed allows.
struct Ticker {
    hqlv::platform::ManualClock clock{1000};
    hqlv::platform::Clock* old = hqlv::platform::setClock(&clock);
    EngineTable t;
    std::vector<ImageEntity*> tiles;
    int dy = 4;
    Ticker() {
        GameKernel& k = t.engine.GetKernel();
        for (uint32_t id = 1; id <= 100; ++id)
            tiles.push_back(static_cast<ImageEntity*>(k.FindEntity(id)));
    }
    ~Ticker() { hqlv::platform::setClock(old); }
    void Tick(bool logic = true, bool draw = true) {
        GameKernel& k = t.engine.GetKernel();
        clock.advance(30);
        if (logic) {
            for (ImageEntity* e : tiles)
                t.engine.MoveTo(e, 0, e->GetX(), e->GetY() + dy, 100, 1, 0, MessageData{}, 0);
            dy = -dy;
            k.RunDueApplies();  // the Applies join the active list
            k.PostMessage(3, MessageData::Number(0));
            t.engine.PumpMessages();
            k.RunDueApplies();
        }
        if (draw) {
            k.GetCanvas().InvalidateAll();
            t.engine.Render();
            t.engine.TakeRedrawFlag();
        }
    }
};

void BM_EngineTick(benchmark::State& state) {
    Ticker t;
    for (auto _ : state) t.Tick();
    state.counters["stretched"] = t.t.engine.Current() == GameBase::Buffer::Stretch ? 1 : 0;
    state.counters["active_applies"] = double(t.t.engine.GetKernel().GetActiveApplyCount());
}
BENCHMARK(BM_EngineTick)->Unit(benchmark::kMicrosecond);

// The scaling of the logical frame to the 1024 × 768 window alone.
void BM_EngineStretch(benchmark::State& state) {
    std::vector<uint32_t> from(size_t(scene::kWidth) * scene::kHeight, 0x336699u),
        to(size_t(1024) * 768);
    for (auto _ : state) {
        hqlv::platform::StretchBilinear({from.data(), scene::kWidth, scene::kHeight},
                                        {to.data(), 1024, 768});
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(BM_EngineStretch)->Unit(benchmark::kMicrosecond);

// The median processor time of n calls, in microseconds.
template <typename F>
double MedianOf(int n, F f) {
    auto now = [] {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
    };
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const double a = now();
        f();
        t.push_back(now() - a);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Frame f;
    MedianMicros(f, false, 20);
    const double dirty = MedianMicros(f, false, 200);
    const double full = MedianMicros(f, true, 200);
    const double ratio = dirty / full;
    std::printf(
        "scene 744x710, 300 entities, 4 tiles moved: dirty %.1f us, full %.1f us, "
        "ratio %.3f (limit 0.4): %s\n",
        dirty, full, ratio, ratio <= 0.4 ? "ok" : "FAILED");
    EngineTable t;
    MovesMicros(t, false);
    MovesMicros(t, true);
    std::vector<double> engine, bare;
    for (int i = 0; i < 21; ++i) {
        engine.push_back(MovesMicros(t, false));
        bare.push_back(MovesMicros(t, true));
    }
    std::sort(engine.begin(), engine.end());
    std::sort(bare.begin(), bare.end());
    const double moves = engine[10] / bare[10];
    std::printf(
        "1000 mouse moves over 300 entities: engine %.1f us, bare hit test %.1f us, ratio %.2f "
        "(limit 2): %s\n",
        engine[10], bare[10], moves, moves <= 2.0 ? "ok" : "FAILED");
    Ticker ticker;
    std::vector<uint32_t> from(size_t(scene::kWidth) * scene::kHeight, 0x336699u),
        to(size_t(1024) * 768);
    const double tick = MedianOf(101, [&] { ticker.Tick(); });
    const double logic = MedianOf(101, [&] { ticker.Tick(true, false); });
    const double drawn = MedianOf(101, [&] { ticker.Tick(false, true); });
    const double stretch = MedianOf(101, [&] {
        hqlv::platform::StretchBilinear({from.data(), scene::kWidth, scene::kHeight},
                                        {to.data(), 1024, 768});
    });
    const double bareFull = MedianOf(101, [&] { f.Full(); });
    std::printf(
        "engine tick, everything dirty (processor time): %.0f us = Applies and messages %.0f us + "
        "drawing %.0f us; the drawing is the full frame (bare canvas: %.0f us) and its stretch to "
        "1024x768 (%.0f us)\n",
        tick, logic, drawn, bareFull, stretch);
    return ratio <= 0.4 && moves <= 2.0 ? 0 : 1;
}
