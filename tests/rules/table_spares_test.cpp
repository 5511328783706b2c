// The places each level of the rule chain keeps free for a later level answer their constant
// through every level's object, and this game's second set of win results is the table's own
// to keep and is cleared by every reset.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "chain_rig.h"

namespace {

using namespace hqlv::rules;
using namespace chain;
using rig::Rig;

std::vector<int32_t> StateOf(CCommonTable& t) {
    std::vector<int32_t> s(static_cast<size_t>(t.TableStateSize() / 4), 0);
    t.FillTableState(s.data(), t.TableStateSize(), 0);
    return s;
}

TEST(SparePlaces, AnswerTheirConstantsAtEveryLevel) {
    FixedTick clock;
    Rig ex;
    CMJTable& mj = ex;
    CCardTable& card = ex;
    CCommonTable& common = ex;
    runRows({
        {"card value", [&] { return card.SpareValue(); }, -1},
        {"before the points", [&] { return card.SparePointsBefore(); }, 0},
        {"after the points", [&] { return card.SparePointsAfter(); }, 0},
        {"before the kong record", [&] { return mj.SpareClaimBefore(); }, 0},
        {"after the kong record", [&] { return mj.SpareClaimAfter(); }, 0},
        {"before the units", [&] { return ex.SpareUnitsBefore(); }, 0},
        {"after the units", [&] { return ex.SpareUnitsAfter(); }, 0},
    });
    // The lower levels answer the same on their own.
    Card plain(TableConfig{}, CardConfig{});
    EXPECT_EQ(plain.SpareValue(), -1);
    EXPECT_EQ(plain.SparePointsBefore(), 0);
    EXPECT_EQ(plain.SparePointsAfter(), 0);
    MJ level(0, 0);
    EXPECT_EQ(level.SpareClaimBefore(), 0);
    EXPECT_EQ(level.SpareClaimAfter(), 0);
    // The common level's place changes nothing of the table.
    ex.SetStatusBits(0x400);
    ex.SetBanker(2);
    const std::vector<int32_t> before = StateOf(common);
    const uint32_t status = common.Status();
    common.SpareHook();
    EXPECT_EQ(StateOf(common), before);
    EXPECT_EQ(common.Status(), status);
    EXPECT_EQ(common.Banker(), 2);
}

TEST(SecondWinResults, HeldPerChairAndClearedByEveryReset) {
    FixedTick clock;
    Rig t;
    for (int c = 0; c < 4; ++c) {
        HuResult* r = t.SecondResult(c);
        ASSERT_NE(r, nullptr) << c;
        // Cleared when the table was made.
        EXPECT_EQ(r->handType, 0) << c;
        EXPECT_EQ(r->unitCount, 0) << c;
        r->handType = 0x2000 + c;
        r->tally1[7] = 8;
        r->unitCount = 3;
        r->reserve[3] = -1;
    }
    EXPECT_EQ(t.SecondResult(-1), nullptr);
    EXPECT_EQ(t.SecondResult(4), nullptr);
    // Distinct per chair, and apart from the table's own results.
    EXPECT_EQ(t.SecondResult(2)->handType, 0x2002);
    EXPECT_EQ(t.ResultOf(2).handType, 0);
    // A copied table keeps its own.
    Rig copy(t);
    EXPECT_EQ(copy.SecondResult(1)->handType, 0x2001);
    EXPECT_NE(copy.SecondResult(1), t.SecondResult(1));
    const HuResult zero{};
    t.Reset(false);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(std::memcmp(t.SecondResult(c), &zero, sizeof zero), 0) << c;
    copy.Reset(true);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(std::memcmp(copy.SecondResult(c), &zero, sizeof zero), 0) << c;
}

}  // namespace
