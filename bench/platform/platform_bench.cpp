// Costs that sit on hot paths: a cross-thread post and its delivery (every received
// packet travels this way), a cross-thread send, and GBK conversion of chat-sized text.
#include <benchmark/benchmark.h>

#include <atomic>

#include "platform/core/event.h"
#include "platform/core/message.h"
#include "platform/core/text.h"

using namespace hqlv::platform;

static void BM_PostAcrossThreads(benchmark::State& state) {
    MessageLoop loop;
    std::atomic<int64_t> received{0};
    Event drained;
    int64_t target = 0;
    FunctionTarget t([&](const Message& m) -> intptr_t {
        if (++received == static_cast<int64_t>(m.w)) drained.set();
        return 0;
    });
    t.attach(loop);
    loop.start();
    for (auto _ : state) {
        ++target;
        if (!post(t.handle(), Message{1, static_cast<uintptr_t>(target), 0}))
            state.SkipWithError("post");
    }
    drained.wait(10000);
    state.SetItemsProcessed(state.iterations());
    t.detach();
}
BENCHMARK(BM_PostAcrossThreads);

static void BM_SendAcrossThreads(benchmark::State& state) {
    MessageLoop loop;
    FunctionTarget t([](const Message& m) -> intptr_t { return m.l + 1; });
    t.attach(loop);
    loop.start();
    intptr_t r = 0;
    for (auto _ : state) {
        send(t.handle(), Message{1, 0, r}, &r, 5000);
    }
    benchmark::DoNotOptimize(r);
    state.SetItemsProcessed(state.iterations());
    t.detach();
}
BENCHMARK(BM_SendAcrossThreads);

static void BM_GbkRoundTrip(benchmark::State& state) {
    std::string utf8;
    while (utf8.size() < 240) utf8 += "碰了一张东风 ok ";
    for (auto _ : state) {
        std::string g = utf8ToGbk(utf8);
        benchmark::DoNotOptimize(gbkToUtf8(gbkTruncate(g, 200)));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(utf8.size()));
}
BENCHMARK(BM_GbkRoundTrip);

BENCHMARK_MAIN();
