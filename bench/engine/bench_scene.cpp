// A table frame drawn two ways: only the dirty rectangles after 4 tiles moved, and the same
// scene with the whole screen invalidated. After the runs, the medians of both and their
// ratio are printed; a dirty frame must cost at most 0.4 of the full one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/engine/table_scene.h"

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
    return ratio <= 0.4 ? 0 : 1;
}
