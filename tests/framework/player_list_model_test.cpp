// The player list's rows without a window: order, cells, looks, menu content and the
// bodies of the notifications that change them, short and malformed ones included.
#include <gtest/gtest.h>

#include "builders.h"
#include "framework/panes/player_list_model.h"

namespace hqlv::framework {
namespace {

using testing::Record;
using testing::Words;

struct Fixture {
    explicit Fixture(int optionA = 0, int optionB = 0, int lookerOn = 0, int chair = 1) {
        testing::EntryLine e;
        e.optionA = optionA;
        e.optionB = optionB;
        e.lookerOn = lookerOn;
        e.chairNo = chair;
        e.userId = 1001;
        app.ApplyHallCommandLine(e.line());
        model.InitColumns();
    }
    // A seated player in chair c (user 1000 + c when not given).
    PlayerRecord& Seat(int c, const std::string& name, int32_t uid = 0) {
        PlayerRecord* r = app.SeatMutable(c);
        *r = Record(uid ? uid : 1000 + c, c, name);
        return *r;
    }
    PlayerRecord& Looker(int i, int32_t uid, int chair, const std::string& name) {
        PlayerRecord* r = app.LookerMutable(i);
        *r = Record(uid, chair, name, 1);
        return *r;
    }
    std::vector<int32_t> Users() const {
        std::vector<int32_t> u;
        for (auto& r : model.rows()) u.push_back(r.userId);
        return u;
    }
    CGameAppData app{"HqLv", 21303, 2, 1};
    PlayerListModel model{app};
};

Body B(const Words& w) {
    return {w.data(), w.size()};
}

TEST(PlayerListModel, SeatsGoInChairOrderAndLookersOnLast) {
    Fixture f;
    f.Seat(2, "丙");
    f.Seat(0, "甲");
    f.Seat(3, "丁");
    f.Seat(1, "乙");
    f.model.AddPlayer(f.Looker(0, 2000, 3, "看客"));
    for (int c : {2, 0, 3, 1}) f.model.AddPlayer(f.app.seat(c));
    EXPECT_EQ(f.Users(), (std::vector<int32_t>{1000, 1001, 1002, 1003, 2000}));
    const PlayerRow& looker = f.model.rows().back();
    EXPECT_EQ(looker.image, -1);
    EXPECT_TRUE(looker.lookerOn);
    EXPECT_EQ(f.model.Cell(4, kColLookedOn), "丁");
    EXPECT_EQ(f.model.Cell(0, kColLookedOn), "");
    // Adding a listed user again moves, not doubles, the row.
    f.model.AddPlayer(f.app.seat(0));
    EXPECT_EQ(f.Users().size(), 5u);
    EXPECT_EQ(f.Users()[0], 1000);
}

TEST(PlayerListModel, RowsOfUsersWithoutRecordNeverStopTheWalk) {
    Fixture f;
    f.Seat(1, "乙");
    f.model.AddPlayer(f.app.seat(1));
    f.app.SeatMutable(1)->clear();  // the record went, the row stays
    f.Seat(3, "丁");
    f.model.AddPlayer(f.app.seat(3));
    EXPECT_EQ(f.Users(), (std::vector<int32_t>{1001, 1003}));
}

TEST(PlayerListModel, NoRowForEmptyIdOrName) {
    Fixture f;
    EXPECT_EQ(f.model.AddPlayer(Record(0, 1, "名")), -1);
    EXPECT_EQ(f.model.AddPlayer(Record(5, 1, "")), -1);
    EXPECT_TRUE(f.model.rows().empty());
}

TEST(PlayerListModel, SilverRoomColumnOrder) {
    Fixture plain;
    Fixture silver(kOptionSilverRoom);
    std::vector<std::string> a, b;
    for (auto& c : plain.model.columns()) a.push_back(c.title);
    for (auto& c : silver.model.columns()) b.push_back(c.title);
    EXPECT_EQ(a, (std::vector<std::string>{"用户名", "级别", "积分", "银子", "旁观对象"}));
    EXPECT_EQ(b, (std::vector<std::string>{"用户名", "银子", "级别", "积分", "旁观对象"}));
    PlayerRecord& r = silver.Seat(0, "甲");
    r.setWord(PlayerRecord::kSilver, 345);
    r.setWord(PlayerRecord::kScore, -7);
    silver.model.AddPlayer(r);
    EXPECT_EQ(silver.model.rows()[0].cells[1], "345");
    EXPECT_EQ(silver.model.rows()[0].cells[3], "-7");
    auto plan = silver.model.MenuPlan(0);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->silverFirst);
    EXPECT_EQ(plan->silver, "银子：345两");
    EXPECT_EQ(plan->score, "积分：-7分");
    EXPECT_FALSE(plain.model.MenuPlan(0));
}

TEST(PlayerListModel, OwnRowBoldAndRelationColoursInOrder) {
    Fixture f;
    for (int c = 0; c < 4; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    // chair 0: friend + acquaintance + unwelcome; chair 2: acquaintance + unwelcome;
    // chair 3: unwelcome only. Chair 1 is the client.
    f.app.SeatMutable(0)->setWord(PlayerRecord::kMark1, 1);
    f.app.SeatMutable(0)->setWord(PlayerRecord::kMark3, 1);
    f.app.SeatMutable(0)->setWord(PlayerRecord::kMark2, 1);
    f.app.SeatMutable(2)->setWord(PlayerRecord::kMark3, 1);
    f.app.SeatMutable(2)->setWord(PlayerRecord::kMark2, 1);
    f.app.SeatMutable(3)->setWord(PlayerRecord::kMark2, 1);
    f.app.SeatMutable(1)->setWord(PlayerRecord::kMark1, 1);
    EXPECT_TRUE(f.model.LookOf(1).bold);
    for (int r : {0, 2, 3}) {
        EXPECT_FALSE(f.model.LookOf(r).bold);
        EXPECT_FALSE(f.model.LookOf(r).colour);
    }
    f.model.SetColours(1, 2, 3);
    f.model.EnableRelationColours(true);
    EXPECT_EQ(f.model.LookOf(0).colour, 1u);
    EXPECT_EQ(f.model.LookOf(2).colour, 2u);
    EXPECT_EQ(f.model.LookOf(3).colour, 3u);
    EXPECT_FALSE(f.model.LookOf(1).colour);  // the own row stays bold only
    f.model.InitColumns();
    EXPECT_FALSE(f.model.LookOf(0).colour);
}

TEST(PlayerListModel, OwnOnlyRoomListsTheClientAloneAndCallsNobody) {
    Fixture f(0, 0x8);
    for (int c = 0; c < 4; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    EXPECT_EQ(f.Users(), (std::vector<int32_t>{1001}));
    EXPECT_FALSE(f.model.CanCall(1002));
    // A looker-on client in the same room sees everyone.
    Fixture l(0, 0x8, 1);
    for (int c = 0; c < 4; ++c) l.model.AddPlayer(l.Seat(c, "p" + std::to_string(c)));
    EXPECT_EQ(l.Users().size(), 4u);
    Fixture plain;
    plain.Seat(2, "丙");
    EXPECT_TRUE(plain.model.CanCall(1002));
    EXPECT_FALSE(plain.model.CanCall(4242));
}

TEST(PlayerListModel, CallMenuAndRecord) {
    Fixture f;
    for (int c = 0; c < 3; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    f.model.AddPlayer(f.Looker(0, 2000, 0, "看"));
    EXPECT_TRUE(f.model.MenuPlan(0)->callEnabled);
    EXPECT_FALSE(f.model.MenuPlan(1)->callEnabled);  // the client
    EXPECT_FALSE(f.model.MenuPlan(3)->callEnabled);  // a looker-on
    Fixture looking(0, 0, 1);
    looking.model.AddPlayer(looking.Seat(0, "p0"));
    EXPECT_FALSE(looking.model.MenuPlan(0)->callEnabled);
    auto rec = f.model.CallRecord(1002);
    Words want(40);
    want.w(0, 1001).w(1, 0).w(2, 5).w(3, 1).w(4, 1002).w(5, 2);
    EXPECT_EQ(std::vector<uint8_t>(rec.begin(), rec.end()), want.bytes);
}

// A result record for n seats of `size` bytes with seat i's values derived from i.
Words Result(int32_t n, size_t size = 560) {
    Words w(size);
    w.w(2, n);
    for (size_t i = 0; i < 8; ++i) {
        if (size >= (104 + i) * 4) {
            w.w(40 + i, 10 * int(i)).w(48 + i, 100 * int(i)).w(72 + i, 1).w(80 + i, 2);
            w.w(96 + i, 30 + int(i));
        }
        if (416 + 16 * i + 16 <= size) w.text(416 + 16 * i, "L" + std::to_string(i));
    }
    return w;
}

TEST(PlayerListModel, UpdateScoresWritesSeatsBelowTheCountOnly) {
    Fixture f;
    for (int c = 0; c < 8; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    f.model.UpdateScores(B(Result(3)));
    EXPECT_EQ(f.model.Cell(2, kColScore), "21");
    EXPECT_EQ(f.model.Cell(2, kColSilver), "202");
    EXPECT_EQ(f.model.Cell(2, kColLevel), "L2");
    EXPECT_EQ(f.app.seat(2).word(PlayerRecord::kLevel), 32);
    EXPECT_EQ(f.model.Cell(3, kColScore), "0");
    EXPECT_EQ(f.app.seat(3).word(PlayerRecord::kLevel), 0);
}

TEST(PlayerListModel, UpdateScoresNeverPastEightSeatsOrTheBody) {
    Fixture f;
    for (int c = 0; c < 8; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    f.model.UpdateScores(B(Result(9)));
    EXPECT_EQ(f.model.Cell(7, kColScore), "71");
    // Cut inside seat 2's level text: seats 0 and 1 only.
    Fixture g;
    for (int c = 0; c < 8; ++c) g.model.AddPlayer(g.Seat(c, "p" + std::to_string(c)));
    Words cut = Result(8);
    cut.bytes.resize(416 + 16 * 2 + 8);
    g.model.UpdateScores(B(cut));
    EXPECT_EQ(g.model.Cell(1, kColScore), "11");
    EXPECT_EQ(g.model.Cell(2, kColScore), "0");
    // Exactly seat 2's end is enough for seat 2.
    cut.bytes.resize(416 + 16 * 3);
    g.model.UpdateScores(B(cut));
    EXPECT_EQ(g.model.Cell(2, kColScore), "21");
    EXPECT_EQ(g.model.Cell(3, kColScore), "0");
    g.model.UpdateScores(B(Words(11)));  // not even the count
    g.model.UpdateScores(B(Result(-3)));
    EXPECT_EQ(g.model.Cell(0, kColScore), "1");
}

TEST(PlayerListModel, UpdateScoresOwnOnlyTouchesTheOwnSeat) {
    Fixture f(0, 0x8);
    for (int c = 0; c < 4; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    f.model.UpdateScores(B(Result(4)));
    EXPECT_EQ(f.model.Cell(0, kColScore), "11");
    EXPECT_EQ(f.app.seat(0).word(PlayerRecord::kScore), 0);
    Fixture g(0, 0x8);
    g.model.AddPlayer(g.Seat(1, "me"));
    g.model.UpdateScores(B(Result(1)));  // own chair 1 is not below the count
    EXPECT_EQ(g.model.Cell(0, kColScore), "0");
}

TEST(PlayerListModel, UpdateScoresWithAnEmptyChairKeepsRowsToTheirSeats) {
    Fixture f;
    f.model.AddPlayer(f.Seat(0, "a"));
    f.model.AddPlayer(f.Seat(2, "c"));
    f.model.UpdateScores(B(Result(3)));
    EXPECT_EQ(f.model.Cell(1, kColScore), "21");  // chair 2's figures on chair 2's row
}

TEST(PlayerListModel, PlayersUpdateChecksEntriesAgainstTheBody) {
    Fixture f;
    for (int c = 0; c < 3; ++c) f.model.AddPlayer(f.Seat(c, "p" + std::to_string(c)));
    for (int c = 0; c < 3; ++c) f.app.SeatMutable(c)->setWord(PlayerRecord::kScore, 50 + c);
    Words w(20 + 52 * 2);
    w.w(0, 3).w(5, 1000).w(5 + 13, 1001);
    f.model.OnPlayersUpdate(B(w));  // claims 3, carries 2
    EXPECT_EQ(f.model.Cell(0, kColScore), "50");
    EXPECT_EQ(f.model.Cell(1, kColScore), "51");
    EXPECT_EQ(f.model.Cell(2, kColScore), "0");
    // Own-only: the entry at the own chair, when it is the client.
    Fixture g(0, 0x8);
    g.model.AddPlayer(g.Seat(1, "me"));
    g.app.SeatMutable(1)->setWord(PlayerRecord::kSilver, 9);
    Words wrong(20 + 52 * 2);
    wrong.w(0, 2).w(5, 1001).w(5 + 13, 1000);
    g.model.OnPlayersUpdate(B(wrong));
    EXPECT_EQ(g.model.Cell(0, kColSilver), "0");
    Words right(20 + 52 * 2);
    right.w(0, 2).w(5 + 13, 1001);
    Words oneShort = right;
    oneShort.w(0, 1);
    g.model.OnPlayersUpdate(B(oneShort));  // own chair 1 is not below the count
    EXPECT_EQ(g.model.Cell(0, kColSilver), "0");
    g.model.OnPlayersUpdate(B(right));
    EXPECT_EQ(g.model.Cell(0, kColSilver), "9");
}

struct SeatCase {
    const char* what;
    size_t size;
    std::vector<std::pair<size_t, int32_t>> words;
    const char* column;
    const char* want;
    int row = 2;  // the row (chair) read back
};

TEST(PlayerListModel, SeatNoticesCheckLengthChairAndUser) {
    const SeatCase cases[] = {
        {"211420", 20, {{0, 1002}, {1, 2}, {2, 1}, {4, 77}}, kColSilver, "77"},
        {"211420", 19, {{0, 1002}, {1, 2}, {2, 1}}, kColSilver, "0"},
        {"211420", 20, {{0, 1002}, {1, 8}, {4, 77}}, kColSilver, "0"},
        {"211420", 20, {{0, 1002}, {1, -1}, {4, 77}}, kColSilver, "0"},
        {"230000", 116, {{0, 1002}, {1, 2}, {2, 0}, {3, 77}, {28, 2}}, kColSilver, "40"},
        {"230000", 116, {{0, 1002}, {1, 2}, {2, 1}, {3, 77}, {28, 2}}, kColScore, "30"},
        {"230000", 115, {{0, 1002}, {1, 2}, {2, 0}, {3, 77}}, kColSilver, "0"},
        {"230000", 116, {{0, 1002}, {1, 1}, {2, 0}, {3, 77}, {28, 2}}, kColSilver, "0"},
        {"230000", 116, {{0, 1002}, {1, 2}, {2, 0}, {3, 78}, {28, 2}}, kColSilver, "0"},
        {"230000", 116, {{0, 1003}, {1, 2}, {2, 0}, {3, 77}, {28, 2}}, kColSilver, "0"},
        {"230000", 116, {{0, 1002}, {1, 2}, {2, 0}, {3, 77}, {28, 9}}, kColSilver, "0"},
        {"230002", 12, {{0, 1002}, {2, 2}}, kColScore, "30"},
        {"230002", 11, {{0, 1002}}, kColScore, "0"},
        {"230002", 12, {{0, 1002}, {2, 8}}, kColScore, "0"},
        {"230001", 156, {{0, 1002}, {38, 2}}, kColSilver, "40"},
        {"230001", 155, {{0, 1002}}, kColSilver, "0"},
        {"230001", 156, {{0, 1003}, {38, 2}}, kColSilver, "0"},
        {"230001", 156, {{0, 1002}, {38, -8}}, kColSilver, "0"},
        // Cut inside the chair word, which would read as chair 0: refused all the same.
        {"230001", 155, {{0, 1000}}, kColSilver, "0", 0},
    };
    for (const SeatCase& c : cases) {
        Fixture f;
        for (int s = 0; s < 4; ++s) f.model.AddPlayer(f.Seat(s, "p" + std::to_string(s)));
        f.app.SeatMutable(2)->setWord(PlayerRecord::kSilver, 40);
        f.app.SeatMutable(2)->setWord(PlayerRecord::kScore, 30);
        f.app.SeatMutable(0)->setWord(PlayerRecord::kSilver, 40);
        Words w(c.size);
        for (auto [i, v] : c.words) w.w(i, v);
        std::string what = c.what;
        if (what == "211420") f.model.OnSilverChanged(B(w));
        if (what == "230000") f.model.OnPrizeNotice(B(w));
        if (what == "230002") f.model.OnScoreAdded(B(w));
        if (what == "230001") f.model.OnSeatRecordChanged(B(w));
        EXPECT_EQ(f.model.Cell(c.row, c.column), c.want) << c.what << " size " << c.size;
    }
}

TEST(PlayerListModel, RefillAndLookerOnRemoval) {
    Fixture f;
    f.Looker(5, 2000, 1, "看");
    f.Seat(3, "丁");
    f.Seat(0, "甲");
    f.model.Refill(true);
    EXPECT_EQ(f.Users(), (std::vector<int32_t>{1000, 1003, 2000}));
    f.model.Refill(false);
    EXPECT_EQ(f.Users(), (std::vector<int32_t>{1000, 1003}));
    f.model.Refill(true);
    f.model.AddToUserSet(2000);
    f.model.RemoveLookerOn(2000);
    EXPECT_FALSE(f.model.IsInUserSet(2000));
    EXPECT_EQ(f.model.FindRow(2000), -1);
    EXPECT_FALSE(f.model.RemovePlayer(2000));
}

}  // namespace
}  // namespace hqlv::framework
