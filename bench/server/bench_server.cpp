// Whole deals of the local server's game layer without sockets: four server-driven players,
// each deal to its result and its text record.
#include <benchmark/benchmark.h>

#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

namespace {

using namespace hqlv::server::mj;

void BM_HeadlessDeals(benchmark::State& state) {
    uint64_t now = 0;
    size_t notes = 0, bytes = 0;
    DealOptions o;
    o.thinkMs = 0;
    Deal deal(
        o, [&] { return now; }, [&](const Note& n) { ++notes, bytes += n.body.size(); });
    for (int c = 0; c < kChairs; ++c) deal.SetSeat(c, 900001 + c, true);
    uint32_t seed = 1;
    for (auto _ : state) {
        hqlv::rules::SeedRandom(seed++);
        deal.Start();
        for (int k = 0; k < 300 && deal.Running(); ++k) {
            now += 1;
            deal.Tick();
        }
        if (!deal.Over()) state.SkipWithError("a deal did not end");
        std::string text = DealText(deal);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["notices"] =
        benchmark::Counter(static_cast<double>(notes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessDeals)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
