#include "framework/web/safebox_flow.h"

#include <gtest/gtest.h>

#include "fake_safebox_ops.h"
#include "framework/web/safebox_model.h"

namespace hqlv::framework::web {
namespace {

using testing::FakeSafeBoxOps;
using V = std::vector<std::string>;

TEST(SafeBoxFlow, TakeProcedure) {
    struct Case {
        const char* name;
        int queryOk, queryCode;
        bool answer;
        int takeOk;
        TakeOutcome want;
        V log;
    } cases[] = {
        {"challenge", 1, 10, true, 1, TakeOutcome::kTaken,
         V{"query 4321", "challenge 12345678", "take 700 999"}},
        {"no protection", 0, kCodeNoProtection, true, 1, TakeOutcome::kTaken,
         V{"query 4321", "take 700 0"}},
        {"query fails", 0, 60001, true, 1, TakeOutcome::kQueryFailed, V{"query 4321"}},
        {"cancelled", 1, 10, false, 1, TakeOutcome::kCancelled,
         V{"query 4321", "challenge 12345678"}},
        {"take fails", 1, 10, true, 0, TakeOutcome::kTakeFailed,
         V{"query 4321", "challenge 12345678", "take 700 999"}},
    };
    for (const auto& c : cases) {
        FakeSafeBoxOps ops;
        ops.queryOk = c.queryOk;
        ops.queryCode = c.queryCode;
        ops.answerChallenge = c.answer;
        ops.takeOk = c.takeOk;
        std::string text;
        EXPECT_EQ(RunTakeProcedure(ops, 700, text), c.want) << c.name;
        EXPECT_EQ(ops.log, c.log) << c.name;
    }
}

TEST(SafeBoxFlow, SaveRewrittenAmount) {
    FakeSafeBoxOps ops;
    ops.saveOk = 0;
    ops.saveCode = kCodeAmountRewritten;
    ops.rewriteTo = 1500;
    int32_t amount = 2000;
    std::string text;
    EXPECT_EQ(RunSaveRequest(ops, amount, text), SaveOutcome::kRewritten);
    EXPECT_EQ(amount, 1500);
    ops.saveCode = 60005;
    amount = 2000;
    EXPECT_EQ(RunSaveRequest(ops, amount, text), SaveOutcome::kFailed);
    EXPECT_EQ(amount, 2000);
    EXPECT_EQ(text, "save failed");
}

TEST(SafeBoxFlow, FixAmountsFromTheUserFile) {
    FakeSafeBoxOps ops;
    for (int i = 0; i < 5; ++i) ops.settings["FIXDEPOSIT/Fix" + std::to_string(i)] = "7";
    EXPECT_EQ(LoadFixAmounts(ops, "u"), kFixDefaults);
    ops.settings["FIXDEPOSIT/Fix5"] = "60";
    ops.settings.erase("FIXDEPOSIT/Fix2");
    EXPECT_EQ(LoadFixAmounts(ops, "u"), (std::array<int32_t, 6>{7, 7, 0, 7, 7, 60}));
}

TEST(SafeBoxFlow, ApplyFixAmount) {
    FakeSafeBoxOps ops;
    EXPECT_EQ(ApplyFixAmount(ops, 3000), FixOutcome::kEqual);
    EXPECT_TRUE(ops.log.empty());
    EXPECT_EQ(ops.boxes, V{"当前银子等于设定值。"});

    ops.boxes.clear();
    EXPECT_EQ(ApplyFixAmount(ops, 1000), FixOutcome::kSaved);
    EXPECT_EQ(ops.log, V{"save 2000"});
    EXPECT_EQ(ops.boxes, V{"设定成功。\r\n\r\n(已经存入保险箱 2000 两，\r\nT当前有银子 1000 两)"});

    ops.log.clear();
    ops.boxes.clear();
    EXPECT_EQ(ApplyFixAmount(ops, 10000), FixOutcome::kTaken);
    EXPECT_EQ(ops.log, (V{"query 4321", "challenge 12345678", "take 7000 999"}));
    EXPECT_EQ(ops.boxes,
              V{"设定成功。\r\n\r\n(已经从保险箱中取出 7000 两，\r\nT当前有银子 10000 两)"});

    ops.log.clear();
    ops.boxes.clear();
    ops.answerChallenge = false;
    EXPECT_EQ(ApplyFixAmount(ops, 10000), FixOutcome::kCancelled);
    EXPECT_TRUE(ops.boxes.empty());
    ops.answerChallenge = true;
    ops.takeOk = 0;
    EXPECT_EQ(ApplyFixAmount(ops, 10000), FixOutcome::kFailed);
    EXPECT_EQ(ops.boxes, V{"take failed"});
    ops.boxes.clear();
    ops.saveOk = 0;
    EXPECT_EQ(ApplyFixAmount(ops, 0), FixOutcome::kFailed);
    EXPECT_EQ(ops.boxes, V{"save failed"});

    ops.log.clear();
    ops.silver = -10;
    EXPECT_EQ(ApplyFixAmount(ops, INT32_MAX), FixOutcome::kOutOfRange);
    EXPECT_TRUE(ops.log.empty());
}

}  // namespace
}  // namespace hqlv::framework::web
