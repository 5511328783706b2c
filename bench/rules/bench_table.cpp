// Speed of the table rules: the result record with its settlement, the best win a chair waits
// on, and a whole deal played by the headless driver.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/rules/deal_driver.h"
#include "tests/rules/table_rig.h"

using namespace hqlv::rules;

namespace {

// The result record of a deal that ended in a win with kongs and a liable chair.
void BM_FillResultRecordWithSettlement(benchmark::State& state) {
    driver::Driver d;
    const auto o = d.Play(61, false);
    if (!o.liability) state.SkipWithError("the fixed deal changed");
    CMJTableEx& t = d.table();
    std::vector<int32_t> rec(static_cast<size_t>(t.ResultRecordSize() / 4));
    for (auto _ : state) {
        t.FillResultRecord(rec.data(), t.ResultRecordSize(), 0, 0);
        benchmark::DoNotOptimize(rec.data());
    }
}
BENCHMARK(BM_FillResultRecordWithSettlement);

// BestWin over hands that wait on one, several and all nine kinds of a suit.
void BM_BestWin(benchmark::State& state) {
    static const std::initializer_list<int> kHands[] = {
        {1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9},           // nine gates: waits on 1..9
        {2, 3, 4, 4, 5, 6, 6, 7, 8, 8, 12, 13, 14},        // several waits
        {1, 1, 3, 3, 15, 15, 17, 17, 21, 21, 23, 23, 25},  // seven pairs
        {1, 2, 3, 14, 15, 16, 27, 28, 29, 31, 31, 35, 35},
    };
    const auto& hand = kHands[state.range(0)];
    rig::Rig r;
    for (int k : hand) r.GiveOne(0, k);
    r.Played(1, 37);
    HuResult res{};
    int64_t total = 0;
    for (auto _ : state) total += r.BestWin(0, &res);
    benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_BestWin)->DenseRange(0, 3);

// A whole deal, without the per-action place check.
void BM_WholeDeal(benchmark::State& state) {
    driver::Driver d;
    uint32_t seed = 1;
    for (auto _ : state) benchmark::DoNotOptimize(d.Play(seed++, false).actions);
}
BENCHMARK(BM_WholeDeal);

}  // namespace

BENCHMARK_MAIN();
