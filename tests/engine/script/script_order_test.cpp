// The order in which a script's stamps and its posted error texts appear follows the engine
// clock alone. A posted error text is shown at the next pump of the engine queue, so the
// statements the caller runs before it next waits or ends come first: the same whether the
// engine is ticked every millisecond, a frame at a time, a frame at a time with real time
// passing unevenly in between (a loaded machine), or with ticks that come late.
//
// Late ticks are the one thing that can move a text: two waits that end at different engine
// times run in the same frame when the frame comes after both (every due timed action runs
// in one pass), and an error text the first run posts is then shown after the second run's
// next statements. hqlv-script steps its simulated clock one frame at a time, so its frames
// are never late.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "log_capture.h"
#include "platform/core/text.h"

namespace hqlv::engine::test {
namespace {

constexpr const char* kDivide = "!运算除数不能为0!";

struct Case {
    const char* name;
    const char* source;
    std::vector<std::string> trace;
    // With late ticks, when two waits of different runs then end in one frame.
    std::vector<std::string> lateTrace = {};
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"MissingScriptStartedByTriggerScript",
         "脚本开始 main(); 时间戳(a); 等待(40); 触发脚本(\"nope\"); 时间戳(b); 等待(100); "
         "时间戳(c); 脚本结束;",
         {"a", "b", "!<break;break;>   脚本运行错误,nope不存在!<break;break>", "c"}},
        {"DivisionByZeroInAStartedScript",
         "脚本开始 child(); 时间戳(c1); x = 1 / 0; 时间戳(c2); 脚本结束;\n"
         "脚本开始 main(); 等待(30); 触发脚本(\"child\"); 时间戳(after); 等待(60); "
         "时间戳(late); 脚本结束;",
         {"c1", "after", kDivide, "late"}},
        {"DivisionByZeroAfterAWaitInAStartedScript",
         "脚本开始 child(); 等待(45); x = 1 / 0; 脚本结束;\n"
         "脚本开始 main(); 触发脚本(\"child\"); 时间戳(after); 等待(45); 时间戳(late); "
         "等待(500); 时间戳(last); 脚本结束;",
         {"after", "late", kDivide, "last"}},
        {"ErrorInsideAParallelCalledFunction",
         "脚本开始 f(); 时间戳(f); x = 2 / 0; 脚本结束;\n"
         "脚本开始 main(); 并行; f(); 时间戳(after); 等待(10); 时间戳(late); 脚本结束;",
         {"after", "f", kDivide, "late"}},
        {"ErrorInsideASeriallyCalledFunctionEndsTheCaller",
         "脚本开始 f(); 等待(70); x = 2 / 0; 脚本结束;\n"
         "脚本开始 main(); 时间戳(before); f(); 时间戳(never); 脚本结束;\n"
         "脚本开始 outer(); 触发脚本(\"main\"); 时间戳(outer); 等待(200); 时间戳(end); 脚本结束;",
         {"before", "outer", kDivide, "end"},
         {"before", "outer", "end", kDivide}},
        {"EntityErrorInAStartedScript",
         "脚本开始 ent(); 操作实体(99, 显示); 时间戳(never); 脚本结束;\n"
         "脚本开始 main(); 触发脚本(\"ent\"); 时间戳(after); 等待(5); 时间戳(late); 脚本结束;",
         {"after",
          "!<color=255>脚本<rgb=0,0,255;>ent<rgb=255,255,255>调用函数<rgb=0,255,0>操作实体<rgb=255,"
          "255,255>失败!",
          "late"}},
    };
    return cases;
}

// How the host's ticks come: every millisecond, one frame apart, one frame apart with real
// time passing unevenly in between, or late and uneven.
enum class Ticks { kEveryMs, kFrames, kFramesUnderLoad, kLate };

std::vector<std::string> Trace(const Case& c, Ticks ticks) {
    LogCapture log;
    ScriptRunner engine;
    std::vector<std::string> trace;
    engine.TraceTo([&](const std::string& piece) { trace.push_back(piece); });
    const std::string source = c.source;
    EXPECT_GT(engine.Load(platform::utf8ToGbk(source)), 0) << c.name;
    const char* start = source.find("outer()") != std::string::npos ? "outer" : "main";
    engine.Scripts().StartScript(start, "");
    engine.FlushStamps();
    if (ticks == Ticks::kFrames) {
        EXPECT_TRUE(engine.Pump(60000)) << c.name;
    } else if (ticks == Ticks::kFramesUnderLoad) {
        static const int kSleepMs[] = {0, 3, 0, 1, 7, 0, 2};
        for (size_t i = 0; i < 1000 && (engine.Scripts().GetRunningCount() > 0 ||
                                        engine.GetKernel().GetMessageCount() > 0);
             ++i) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(kSleepMs[i % std::size(kSleepMs)]));
            engine.Step();
        }
        engine.PumpMessages();
        EXPECT_EQ(engine.Scripts().GetRunningCount(), 0) << c.name;
    } else {
        // A loaded machine: ticks bunch up and then come hundreds of milliseconds late.
        static const uint32_t kLate[] = {0, 1, 0, 250, 3, 0, 97, 31, 0, 0, 480, 2, 60, 1, 333};
        size_t i = 0;
        for (int guard = 0; guard < 200000 && (engine.Scripts().GetRunningCount() > 0 ||
                                               engine.GetKernel().GetMessageCount() > 0);
             ++guard) {
            engine.Tick();
            engine.Clock().advance(ticks == Ticks::kEveryMs ? 1 : kLate[i++ % std::size(kLate)]);
        }
        engine.PumpMessages();
        EXPECT_EQ(engine.Scripts().GetRunningCount(), 0) << c.name;
    }
    engine.FlushStamps();
    return trace;
}

struct ScriptOrder : ::testing::TestWithParam<size_t> {};

TEST_P(ScriptOrder, OneOrderWhateverTheTicks) {
    const Case& c = Cases()[GetParam()];
    EXPECT_EQ(Trace(c, Ticks::kFrames), c.trace);
    EXPECT_EQ(Trace(c, Ticks::kEveryMs), c.trace);
    EXPECT_EQ(Trace(c, Ticks::kFramesUnderLoad), c.trace);
    EXPECT_EQ(Trace(c, Ticks::kLate), c.lateTrace.empty() ? c.trace : c.lateTrace);
}

INSTANTIATE_TEST_SUITE_P(Script, ScriptOrder, ::testing::Range<size_t>(0, Cases().size()),
                         [](const auto& info) { return std::string(Cases()[info.param].name); });

TEST(ScriptTrace, EachStampOnceAcrossManyLooksAndNoneFromBeforeTheTrace) {
    LogCapture log;
    ScriptRunner engine;
    WriteLog("%d:%s", 1, "before");  // a stamp line written before the trace began
    std::vector<std::string> trace;
    engine.FlushStamps();  // without a sink: nothing happens
    engine.TraceTo([&](const std::string& piece) { trace.push_back(piece); });
    ASSERT_EQ(engine.Load(platform::utf8ToGbk(
                  "脚本开始 main(); 从 (i = 0; i < 60; i = i + 1) { 时间戳(i); } "
                  "触发脚本(\"nope\"); 等待(10); 时间戳(end); 等待(10); 触发脚本(\"nope\"); "
                  "脚本结束;")),
              1);
    engine.Scripts().StartScript("main", "");
    EXPECT_TRUE(engine.Pump(1000));
    engine.FlushStamps();
    std::vector<std::string> want;
    for (int i = 0; i < 60; ++i) want.push_back(std::to_string(i));
    const std::string missing = "!<break;break;>   脚本运行错误,nope不存在!<break;break>";
    want.push_back(missing);
    want.push_back("end");
    want.push_back(missing);
    EXPECT_EQ(trace, want);
}

}  // namespace
}  // namespace hqlv::engine::test
