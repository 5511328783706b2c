// A table copies as a value: the copy plays on exactly as the original would, owns its own user
// records seated where the originals sit, and leaves the original untouched.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"

namespace {

using namespace hqlv::rules;

struct AwayUser : TableUser {
    bool IsConnected() const override { return false; }
    std::unique_ptr<TableUser> Clone() const override { return std::make_unique<AwayUser>(*this); }
};

std::unique_ptr<TableUser> User(int32_t id) {
    auto u = std::make_unique<TableUser>();
    u->userId = id;
    return u;
}

std::unique_ptr<CMJTableEx> Dealt(uint32_t seed) {
    TableHooks hooks;
    hooks.uniqueId = [] { return std::string("copy"); };
    auto t = std::make_unique<CMJTableEx>(hooks);
    for (int c = 0; c < 4; ++c) t->AddPlayer(User(11 + c), c);
    SeedRandom(seed);
    int32_t chair = -1;
    EXPECT_EQ(t->StartGame(&chair, {}), 1);
    return t;
}

// Plays to the end of the wall (each chair discards its first tile, nobody claims) and
// returns every tile's place and chair after each step, and the result record.
std::vector<int32_t> PlayOut(CMJTableEx& t) {
    std::vector<int32_t> trace;
    for (int step = 0; step < 200; ++step) {
        const int32_t cur = t.GetCurrentChair();
        int32_t held[32];
        if (t.ListHeld(cur, held, 32) <= 0) break;
        t.Discard(cur, &held[0], 1);
        t.OpenClaimWindow();
        for (int c = 0; c < 4; ++c) t.AnswerPass(c, 0);
        const int32_t next = t.NextChair(cur);
        t.SwitchActiveChair(next);
        const int32_t pos = t.DrawTile(next);
        trace.push_back(pos);
        if (pos < 0) break;
        t.BeginTurn();
        for (const auto& r : t.Tiles()) trace.insert(trace.end(), {r.status, r.chair});
    }
    t.SetOutcomeMode();
    std::vector<int32_t> rec(static_cast<size_t>(t.ResultRecordSize() / 4));
    t.FillResultRecord(rec.data(), t.ResultRecordSize(), 0, 0);
    trace.insert(trace.end(), rec.begin(), rec.end());
    return trace;
}

TEST(TableCopy, PlaysOnAsTheOriginalAndLeavesItAlone) {
    auto original = Dealt(5);
    const CMJTableEx copy(*original);
    CMJTableEx played(copy);
    const std::vector<int32_t> fromCopy = PlayOut(played);
    ASSERT_GT(fromCopy.size(), 1000u);
    // The copy that was not played still holds the deal as dealt.
    for (size_t k = 0; k < copy.Tiles().size(); ++k) {
        EXPECT_EQ(copy.Tiles()[k].status, original->Tiles()[k].status) << k;
        EXPECT_EQ(copy.Tiles()[k].chair, original->Tiles()[k].chair) << k;
    }
    EXPECT_EQ(PlayOut(*original), fromCopy);
}

TEST(TableCopy, AssignmentReplacesTheDealAndTheUsers) {
    auto a = Dealt(5);
    auto b = Dealt(9);
    b->AddLookerOn(User(77), 2);
    *b = *a;
    EXPECT_FALSE(b->IsLookerOn(77));
    EXPECT_EQ(PlayOut(*b), PlayOut(*a));
    CMJTableEx& self = *b;
    *b = self;
    EXPECT_EQ(b->UserIdAt(3), 14);
}

TEST(TableCopy, KeepsTheHooks) {
    auto t = Dealt(5);
    CMJTableEx copy(*t);
    copy.Reset(false);
    ASSERT_EQ(copy.StartGame(nullptr, {}), 1);
    EXPECT_EQ(copy.GameIdText(), "copy");
}

TEST(TableCopy, OwnsItsRecordsSeatedAsTheOriginals) {
    CMJTableEx t;
    t.AddPlayer(User(1), 0);
    auto away = std::make_unique<AwayUser>();
    away->userId = 2;
    t.AddPlayer(std::move(away), 1);
    t.AddPlayer(User(3), 3);
    t.AddLookerOn(User(40), 1);
    t.AddLookerOn(User(41), 3);
    // A seated record whose id changed after seating keeps its seat in the copy.
    t.Seat(3)->userId = 33;
    t.ClearChair(0);  // the record stays, the seat is empty

    CMJTableEx copy(t);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(copy.UserIdAt(c), t.UserIdAt(c)) << c;
        if (t.Seat(c)) {
            EXPECT_NE(copy.Seat(c), t.Seat(c)) << c;
        }
    }
    EXPECT_EQ(copy.Seat(0), nullptr);
    EXPECT_EQ(copy.UserIdAt(3), 33);
    EXPECT_TRUE(copy.IsPlayer(1));
    EXPECT_FALSE(copy.Seat(1)->IsConnected());
    EXPECT_TRUE(copy.IsLookerOn(40));
    EXPECT_TRUE(copy.IsLookerOn(41));

    copy.Seat(1)->score = 500;
    copy.RemoveLookerOn(40, 1);
    copy.RemovePlayer(33);
    EXPECT_EQ(t.Seat(1)->score, 0);
    EXPECT_TRUE(t.IsLookerOn(40));
    EXPECT_EQ(t.UserIdAt(3), 33);
    EXPECT_FALSE(copy.IsLookerOn(40));
    EXPECT_EQ(copy.UserIdAt(3), 0);
}

}  // namespace
