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

// The moves that end without success; the successful ones run against the local server
// in client_e2e_test.
TEST(SafeBoxFlow, FixAmountFailures) {
    struct Case {
        const char* name;
        int32_t silver, target;
        bool answer;
        int takeOk, saveOk;
        FixOutcome want;
        V boxes;
    } cases[] = {
        {"cancelled", 3000, 10000, false, 1, 1, FixOutcome::kCancelled, V{}},
        {"take fails", 3000, 10000, true, 0, 1, FixOutcome::kFailed, V{"take failed"}},
        {"save fails", 3000, 0, true, 1, 0, FixOutcome::kFailed, V{"save failed"}},
        {"too far", -10, INT32_MAX, true, 1, 1, FixOutcome::kOutOfRange, V{"请输入银子数额。"}},
    };
    for (const auto& c : cases) {
        FakeSafeBoxOps ops;
        ops.silver = c.silver;
        ops.answerChallenge = c.answer;
        ops.takeOk = c.takeOk;
        ops.saveOk = c.saveOk;
        EXPECT_EQ(ApplyFixAmount(ops, c.target), c.want) << c.name;
        EXPECT_EQ(ops.boxes, c.boxes) << c.name;
    }
    FakeSafeBoxOps ops;
    ops.settings["FIXDEPOSIT/Fix5"] = std::string(31, '0') + "9";  // 31 characters are read
    EXPECT_EQ(LoadFixAmounts(ops, "u")[5], 0);
}

}  // namespace
}  // namespace hqlv::framework::web
