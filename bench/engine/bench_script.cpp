// Statements per second of loop-heavy scripts, the same loop in C++ over ValueString, the time
// of statements whose work grows with what they reach (a chain of linked entities, a long
// text, a call of many values), and compile time per kilobyte of resource text.
#include <benchmark/benchmark.h>

#include <climits>
#include <string>

#include "engine/core/kernel.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "platform/core/text.h"

namespace {

using namespace hqlv::engine;

constexpr int kLoop = 100000;

const char* kWhileSum =
    "脚本开始 main(n); i = 0; s = 0; 当 (i < n) { s = s + i; i = i + 1; } 脚本结束;";
const char* kForSum =
    "脚本开始 main(n); s = 0; 从 (i = 0; i < n; i = i + 1) { s = s + i; } 脚本结束;";

void RunLoop(benchmark::State& state, const char* source) {
    ScriptRunner engine;
    ScriptManager& scripts = engine.Scripts();
    scripts.SetStatementBudget(UINT32_MAX);
    if (engine.Load(hqlv::platform::utf8ToGbk(source)) != 1) state.SkipWithError("no compile");
    const std::string n = std::to_string(kLoop);
    const uint64_t before = scripts.GetExecutedCount();
    for (auto _ : state) scripts.StartScript("main", n);
    state.counters["statements/s"] =
        benchmark::Counter(double(scripts.GetExecutedCount() - before), benchmark::Counter::kIsRate);
    state.counters["loops/s"] =
        benchmark::Counter(double(state.iterations()) * kLoop, benchmark::Counter::kIsRate);
}

void BM_ScriptWhileSum(benchmark::State& state) {
    RunLoop(state, kWhileSum);
}
BENCHMARK(BM_ScriptWhileSum)->Unit(benchmark::kMillisecond);

void BM_ScriptForSum(benchmark::State& state) {
    RunLoop(state, kForSum);
}
BENCHMARK(BM_ScriptForSum)->Unit(benchmark::kMillisecond);

// The loop of kWhileSum written in C++ over the script's values.
void BM_ValueStringSum(benchmark::State& state) {
    const ValueString n = ValueString::FromInt(kLoop);
    const ValueString one = ValueString::FromInt(1);
    for (auto _ : state) {
        ValueString i = ValueString::FromInt(0);
        ValueString s = ValueString::FromInt(0);
        while (ValueString::Less(i, n)) {
            s = ValueString::Add(s, i);
            i = ValueString::Add(i, one);
        }
        benchmark::DoNotOptimize(s);
    }
    state.counters["loops/s"] =
        benchmark::Counter(double(state.iterations()) * kLoop, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ValueStringSum)->Unit(benchmark::kMillisecond);

// A runner whose statements are not limited, with the source loaded: the bench fails when the
// source does not compile to that many bodies.
struct Loaded {
    Loaded(benchmark::State& state, const char* source, int bodies) {
        scripts.SetStatementBudget(UINT32_MAX);
        if (engine.Load(hqlv::platform::utf8ToGbk(source)) != bodies)
            state.SkipWithError("no compile");
    }
    ScriptRunner engine;
    ScriptManager& scripts = engine.Scripts();
};

// The doublings that take one character to at least n.
int Doublings(int64_t n) {
    int d = 0;
    while ((int64_t(1) << d) < n) ++d;
    return d;
}

// Turns of the head of a chain of linked entities, each its own statement: the chain's
// length (range) against the time of one turn.
void BM_ScriptTurnChain(benchmark::State& state) {
    Loaded run(state,
               "脚本开始 make(n); r = 创建图片(\"x\"); p = r; k = 0; 当 (k < n) { c = 创建图片(\"x\");"
               " 绑定实体(p, c); p = c; k = k + 1; } 脚本结束;"
               "脚本开始 turn(r, n); k = 0; 当 (k < n) { 操作实体(r, 旋转, 1); k = k + 1; } 脚本结束;",
               2);
    ScriptManager& scripts = run.scripts;
    scripts.StartScript("make", std::to_string(state.range(0)));
    // The head: the one entity without a parent that has a child.
    uint32_t head = 0;
    for (uint32_t id = 1; !head && id < 100000; ++id) {
        const Entity* e = run.engine.GetKernel().FindEntity(id);
        if (e && !e->GetParent() && e->GetChildCount() == 1) head = id;
    }
    const std::string args = std::to_string(head) + ",100";
    for (auto _ : state) scripts.StartScript("turn", args);
    state.counters["turns/s"] =
        benchmark::Counter(double(state.iterations()) * 100, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptTurnChain)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// Statements that read a text of `range` KiB held in a variable.
void BM_ScriptLongText(benchmark::State& state) {
    Loaded run(state,
               "脚本开始 main(n, d); s = \"x\"; k = 0; 当 (k < d) { s = s + s; k = k + 1; } k = 0;"
               " 当 (k < n) { 如果 (s) { } k = k + 1; } 脚本结束;",
               1);
    ScriptManager& scripts = run.scripts;
    const std::string args =
        std::to_string(kLoop / 10) + "," + std::to_string(Doublings(state.range(0) * 1024));
    const uint64_t before = scripts.GetExecutedCount();
    for (auto _ : state) scripts.StartScript("main", args);
    state.counters["statements/s"] =
        benchmark::Counter(double(scripts.GetExecutedCount() - before), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptLongText)->Arg(0)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// Calls that hand over, or read, about range(0) values each: a text of commas handed to a
// script (range(1) 0), or as many sub-commands of one built-in call (1).
void BM_ScriptManyValues(benchmark::State& state) {
    Loaded run(state,
               "脚本开始 f(); 脚本结束; 脚本开始 g(); 函数 操作实体; 脚本结束;"
               "脚本开始 main(n, m, w); s = \",\"; t = \"显示\"; k = 0; 当 (k < n) { s = s + s;"
               " t = t + \",\" + t; k = k + 1; } e = 创建图片(\"x\"); k = 0; 当 (k < m) {"
               " 如果 (w) { g(e, t); } 否则 { f(s); } k = k + 1; } 脚本结束;",
               3);
    ScriptManager& scripts = run.scripts;
    const std::string args =
        std::to_string(Doublings(state.range(0))) + ",100," + std::to_string(state.range(1));
    for (auto _ : state) scripts.StartScript("main", args);
    state.counters["calls/s"] =
        benchmark::Counter(double(state.iterations()) * 100, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptManyValues)
    ->Args({1, 0})
    ->Args({4096, 0})
    ->Args({1, 1})
    ->Args({2048, 1})
    ->Unit(benchmark::kMillisecond);

// A resource of about `kilobytes` KB: one big body, then small bodies, with comments.
std::string Resource(int kilobytes) {
    std::string text = "脚本开始 big(a, b);\n";
    const size_t bigPart = size_t(kilobytes) * 1024 / 2;
    for (int k = 0; text.size() < bigPart; ++k) {
        text += "// step " + std::to_string(k) + "\n";
        text += "x = a + b * (c - " + std::to_string(k) + ") / 2; 如果 (x > 3) { y = f(x, g(a)); }\n";
        text += "当 (i < 10) { i = i + 1; 跳出; }\n";
    }
    text += "脚本结束;\n";
    for (int k = 0; text.size() < size_t(kilobytes) * 1024; ++k) {
        text += "脚本开始 s" + std::to_string(k) + "(p); // a small one\n";
        text += "从 (i = 0; i < p; i = i + 1) { 时间戳(i); } 返回;\n脚本结束;\n";
    }
    return hqlv::platform::utf8ToGbk(text);
}

void BM_CompileResource(benchmark::State& state) {
    const std::string text = Resource(int(state.range(0)));
    for (auto _ : state) {
        ScriptManager scripts;
        benchmark::DoNotOptimize(scripts.LoadScript(ValueString(text, kValueText), 0));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["KB/s"] = benchmark::Counter(double(text.size()) / 1024.0,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CompileResource)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
