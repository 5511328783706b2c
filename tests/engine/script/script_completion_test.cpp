// A run started with a completion message delivers it exactly once when the run ends,
// whether it finishes or fails; the runs it calls carry none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "log_capture.h"
#include "platform/core/text.h"

namespace hqlv::engine::test {
namespace {

// Records what its control receives; may start another script from the delivery.
struct Waiter : ObjectBase {
    uint32_t HandleMessage(EngineMessage& m) override {
        got->push_back({m.code, m.data.word()});
        runningAtDelivery = scripts->GetRunningCount();
        if (!startOnDelivery.empty()) scripts->StartScript(std::exchange(startOnDelivery, ""), "");
        return 1;
    }
    ScriptManager* scripts = nullptr;
    // Kept by the test: the waiter goes with the engine.
    std::vector<std::pair<uint32_t, uintptr_t>>* got = nullptr;
    int runningAtDelivery = -1;
    std::string startOnDelivery;
};

struct Engine : ScriptRunner {
    using GameBase::AddObject;
    int OnMessage(uint32_t code, MessageData& data, uint32_t) override {
        queued.push_back({code, data.word()});
        return 1;
    }
    std::vector<std::pair<uint32_t, uintptr_t>> queued;
};

struct Completion : ::testing::Test {
    void SetUp() override {
        waiter = static_cast<Waiter*>(engine.AddObject(std::make_unique<Waiter>()));
        waiter->scripts = &engine.Scripts();
        waiter->got = &got;
        ASSERT_EQ(engine.Load(platform::utf8ToGbk(
                      "脚本开始 done(); 时间戳(d); 脚本结束;\n"
                      "脚本开始 later(); 等待(100); 时间戳(l); 脚本结束;\n"
                      "脚本开始 fails(); x = 1 / 0; 时间戳(never); 脚本结束;\n"
                      "脚本开始 failsLater(); 等待(50); x = 1 / 0; 脚本结束;\n"
                      "脚本开始 child(); 等待(20); 时间戳(c); 脚本结束;\n"
                      "脚本开始 calls(); child(); child(); 时间戳(back); 脚本结束;\n"
                      "脚本开始 callsFailing(); failsLater(); 时间戳(never); 脚本结束;\n"
                      "脚本开始 waitsForever(); 等待(100000000); 脚本结束;\n")),
                  8);
    }
    ScriptCompletion To(uint32_t code, uintptr_t data) const {
        return ScriptCompletion{code, data, waiter->ControlId()};
    }
    using Got = std::vector<std::pair<uint32_t, uintptr_t>>;
    Got got;
    LogCapture log;
    Engine engine;
    Waiter* waiter = nullptr;
};

TEST_F(Completion, AFinishedRunDeliversItOnceAtItsEnd) {
    const ScriptCompletion m = To(7001, 42);
    EXPECT_EQ(engine.Scripts().StartScript("done", "", &m), kScriptFinished);
    EXPECT_EQ(got, (Got{{7001, 42}}));
    // Delivered before the run leaves the running list.
    EXPECT_EQ(waiter->runningAtDelivery, 1);
    EXPECT_EQ(engine.Scripts().GetRunningCount(), 0);
    engine.Pump(1000);
    EXPECT_EQ(got.size(), 1u);
}

TEST_F(Completion, AWaitingRunDeliversWhenItFinishesNotBefore) {
    const ScriptCompletion m = To(7002, 1);
    EXPECT_EQ(engine.Scripts().StartScript("later", "", &m), kScriptSuspended);
    EXPECT_TRUE(got.empty());
    engine.Pump(60);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(engine.Pump(1000));
    EXPECT_EQ(got, (Got{{7002, 1}}));
}

TEST_F(Completion, AFailedRunDeliversItOnceToo) {
    const ScriptCompletion now = To(7003, 3);
    const ScriptCompletion later = To(7004, 4);
    EXPECT_EQ(engine.Scripts().StartScript("fails", "", &now), kScriptError);
    EXPECT_EQ(got, (Got{{7003, 3}}));
    EXPECT_EQ(engine.Scripts().StartScript("failsLater", "", &later), kScriptSuspended);
    EXPECT_TRUE(engine.Pump(1000));
    EXPECT_EQ(got, (Got{{7003, 3}, {7004, 4}}));
    EXPECT_EQ(engine.texts, (std::vector<std::string>{"运算除数不能为0!", "运算除数不能为0!"}));
}

TEST_F(Completion, CalledRunsCarryNoneAndACallerEndingWithItsChildDeliversOnce) {
    const ScriptCompletion a = To(7005, 5);
    const ScriptCompletion b = To(7006, 6);
    engine.Scripts().StartScript("calls", "", &a);
    engine.Scripts().StartScript("callsFailing", "", &b);
    EXPECT_TRUE(engine.Pump(1000));
    // Each only when its own run ends: after both children, after the failed child.
    EXPECT_EQ(got, (Got{{7006, 6}, {7005, 5}}));
}

TEST_F(Completion, WithoutATargetItJoinsTheQueue) {
    const ScriptCompletion m{7007, 77, 0};
    engine.Scripts().StartScript("done", "", &m);
    EXPECT_TRUE(engine.queued.empty());
    engine.PumpMessages();
    EXPECT_EQ(engine.queued, (Got{{7007, 77}}));
    EXPECT_TRUE(got.empty());
}

TEST_F(Completion, AMissingScriptMakesNoRunAndDeliversNothing) {
    const ScriptCompletion m = To(7008, 8);
    EXPECT_EQ(engine.Scripts().StartScript("absent", "", &m), kScriptError);
    engine.Pump(100);
    EXPECT_TRUE(got.empty());
}

TEST_F(Completion, ADeliveryMayStartAnotherRun) {
    const ScriptCompletion m = To(7009, 9);
    waiter->startOnDelivery = "later";
    engine.Scripts().StartScript("done", "", &m);
    EXPECT_EQ(engine.Scripts().GetRunningCount(), 1);  // "later" waits; "done" is gone
    EXPECT_TRUE(engine.Pump(1000));
    EXPECT_EQ(got, (Got{{7009, 9}}));
}

TEST_F(Completion, ARunLeftWaitingWhenTheEngineEndsDeliversNothing) {
    const ScriptCompletion m = To(7010, 10);
    engine.Scripts().StartScript("waitsForever", "", &m);
    engine.Pump(100);
    engine.Cleanup();
    EXPECT_TRUE(got.empty());
}

}  // namespace
}  // namespace hqlv::engine::test
