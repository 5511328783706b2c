#include <gtest/gtest.h>

#include "builders.h"
#include "framework/app/app_data.h"
#include "platform/core/diag.h"

namespace hqlv::framework {
namespace {

using testing::Entry;
using testing::Record;
using testing::Words;

class Records : public ::testing::Test {
protected:
    Records() : app("HqLv", 21303, 2, 1) {
        testing::EntryLine e;
        e.chairNo = 2;
        app.ApplyHallCommandLine(e.line());
    }
    // A seat-list body: table, n user ids, entries from byte 64, then a tail.
    static Words SeatList(int table, const std::vector<std::vector<uint8_t>>& entries,
                          size_t tail = 0) {
        Words b(64 + 136 * entries.size() + tail);
        b.w(1, table).w(2, int32_t(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto& e = entries[i];
            b.w(3 + i, int32_t(uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 |
                               uint32_t(e[3]) << 24));
            b.raw(64 + 136 * i, entries[i]);
        }
        return b;
    }
    CGameAppData app;
};

TEST_F(Records, EntryRecordRoundTrip) {
    Words e(136);
    e.raw(0, Entry(42, 3, "张三", 500, -20, 9, 7, 4));
    e.w(1, 0x11).w(2, 12).w(5, 51).w(7, 53).w(8, 58).w(24, 52).w(25, 54).w(29, 3661);
    e.text(68, "阿三");
    PlayerEntry entry;
    ASSERT_TRUE(entry.loadFrom(e.data(), e.size()));
    PlayerRecord r;
    app.SetLevelTitle(4, Utf8ToGbk("高手"));
    app.ConvertEntry(r, entry);
    EXPECT_EQ(r.userId(), 42);
    EXPECT_EQ(r.chair(), 3);
    EXPECT_EQ(r.table(), 9);
    EXPECT_EQ(r.word(PlayerRecord::kSilver), 500);
    EXPECT_EQ(r.word(PlayerRecord::kScore), -20);
    EXPECT_EQ(r.word(PlayerRecord::kPortrait), 7);
    EXPECT_EQ(r.word(PlayerRecord::kValue1), 51);
    EXPECT_EQ(r.word(PlayerRecord::kValue3), 53);
    EXPECT_EQ(r.word(PlayerRecord::kStatus), 58);
    EXPECT_EQ(r.word(PlayerRecord::kValue2), 52);
    EXPECT_EQ(r.word(PlayerRecord::kMinutes), 61);
    EXPECT_EQ(GbkToUtf8(r.name()), "张三");
    EXPECT_EQ(GbkToUtf8(r.alias()), "阿三");
    EXPECT_EQ(GbkToUtf8(r.text(PlayerRecord::kLevelTitleOff, 16)), "高手");
    PlayerEntry back = MakePlayerEntry(r);
    EXPECT_EQ(back.raw, entry.raw);
}

TEST_F(Records, NegativeMinutesTruncateTowardZero) {
    Words e(136);
    e.w(0, 1).w(29, -119);
    PlayerEntry entry;
    entry.loadFrom(e.data(), e.size());
    PlayerRecord r;
    app.ConvertEntry(r, entry);
    EXPECT_EQ(r.word(PlayerRecord::kMinutes), -1);
}

TEST_F(Records, SeatAssignmentSetsChairTableAndSeats) {
    auto body = SeatList(12, {Entry(7, 0, "甲"), Entry(1001, 1, "我"), Entry(9, 2, "丙")});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    EXPECT_EQ(app.GetChairNo(), 1);
    EXPECT_EQ(app.GetTableNo(), 12);
    EXPECT_EQ(app.TableWord(0), 12);
    EXPECT_EQ(app.TableWord(2), 3);
    EXPECT_EQ(app.GetSeatUserID(2), 9);
    EXPECT_EQ(app.GetSeatName(0), "甲");
    EXPECT_EQ(app.GetSeatUserID(3), 0);
}

TEST_F(Records, SeatAssignmentRefusesTooManyOrShort) {
    std::vector<std::vector<uint8_t>> nine(9, Entry(5, 0, "x"));
    auto body = SeatList(1, nine);
    EXPECT_FALSE(app.OnSeatAssigned(body.data(), body.size()));
    // Eight players fill the eight seats: the last count taken.
    std::vector<std::vector<uint8_t>> eight;
    for (int c = 0; c < kSeatCount; ++c) eight.push_back(Entry(20 + c, c, "p"));
    auto full = SeatList(2, eight);
    ASSERT_TRUE(app.OnSeatAssigned(full.data(), full.size()));
    EXPECT_EQ(app.GetSeatUserID(kSeatCount - 1), 20 + kSeatCount - 1);
    auto two = SeatList(1, {Entry(5, 0, "x"), Entry(6, 1, "y")});
    EXPECT_FALSE(app.OnSeatAssigned(two.data(), two.size() - 1));
}

// A count below 1 fills no seat and is taken as it stands: the table and the count are
// stored, the seats emptied, the own chair left as it was, with or without entries behind.
TEST_F(Records, SeatAssignmentWithNoPlayersFillsNothing) {
    auto full = SeatList(3, {Entry(5, 0, "x"), Entry(1001, 1, "我")});
    ASSERT_TRUE(app.OnSeatAssigned(full.data(), full.size()));
    ASSERT_EQ(app.GetChairNo(), 1);
    for (int32_t n : {0, -1, INT32_MIN}) {
        SCOPED_TRACE(n);
        for (size_t size : {size_t(64), full.size()}) {
            ASSERT_TRUE(app.OnSeatAssigned(full.data(), full.size()));
            auto none = full;
            none.w(1, 77).w(2, n);
            ASSERT_TRUE(app.OnSeatAssigned(none.data(), size)) << size;
            EXPECT_EQ(app.GetTableNo(), 77);
            EXPECT_EQ(app.TableWord(0), 77);
            EXPECT_EQ(app.TableWord(2), n);
            EXPECT_EQ(app.GetChairNo(), 1);
            for (int c = 0; c < kSeatCount; ++c) EXPECT_EQ(app.GetSeatUserID(c), 0) << c;
        }
    }
    // Without its head (the 64 bytes before the entries) the body brings nothing.
    auto none = full;
    none.w(1, 78).w(2, 0);
    EXPECT_FALSE(app.OnSeatAssigned(none.data(), 63));
    EXPECT_EQ(app.GetTableNo(), 77);
    // One player is one entry, which must be there, all of it.
    auto one = SeatList(4, {Entry(5, 0, "x")});
    for (size_t size : {size_t(64), one.size() - 1}) {
        EXPECT_FALSE(app.OnSeatAssigned(one.data(), size)) << size;
        EXPECT_EQ(app.GetTableNo(), 77);
    }
    ASSERT_TRUE(app.OnSeatAssigned(one.data(), one.size()));
    EXPECT_EQ(app.GetSeatUserID(0), 5);
}

// Only the players' chairs are bounded: the user's own chair is stored as the server sends
// it, inside the table's range or on either side of it, and the players are placed the same.
TEST_F(Records, TableInfoPlacesByChairAndSkipsBadChairs) {
    Words b(68 + 136 * 3);
    b.w(2, 33).w(4, 3);
    b.raw(68, Entry(50, 7, "a"));
    b.raw(68 + 136, Entry(51, 8, "b"));  // outside the table: skipped
    b.raw(68 + 272, Entry(52, 0, "c"));
    for (int own : {-1, 1, 8}) {
        b.w(3, own);
        ASSERT_TRUE(app.OnTableInfo(b.data(), b.size())) << own;
        EXPECT_EQ(app.GetChairNo(), own);
        EXPECT_EQ(app.GetTableNo(), 33);
        EXPECT_EQ(app.GetSeatUserID(7), 50);
        EXPECT_EQ(app.GetSeatUserID(0), 52);
        EXPECT_EQ(app.GetPlayerRecord(51), nullptr);
    }
    EXPECT_FALSE(app.OnTableInfo(b.data(), 67));
    // Table words up to the record's last one; past it nothing is kept.
    const size_t last = kTableRecordBytes / 4 - 1;
    for (size_t i : {last, last + 1}) app.SetTableWord(i, 0x1020304);
    EXPECT_EQ(app.TableWord(last), 0x1020304);
    EXPECT_EQ(app.TableWord(last + 1), 0);
}

// A full table at its exact size is taken; a byte short of it is not.
TEST_F(Records, TableInfoFullTableAtExactSize) {
    for (const auto& [n, cut, ok] : {std::tuple{9, 1, false}, {8, 1, false}, {8, 0, true}}) {
        Words b(68 + 136 * size_t(n));
        b.w(2, 40).w(4, n);
        for (int i = 0; i < 8; ++i) b.raw(68 + 136 * size_t(i), Entry(60 + i, i, "p"));
        EXPECT_EQ(app.OnTableInfo(b.data(), b.size() - size_t(cut)), ok) << n << " " << cut;
        EXPECT_EQ(app.GetSeatUserID(7), ok ? 67 : 0) << n << " " << cut;
    }
}

// Each entry goes to its own chair, so a count beyond the eight chairs is taken with the
// entries the body holds for it, and one below 1 places nobody; the count is stored as given.
TEST_F(Records, TableInfoTakesAnyCountItsBodyHolds) {
    struct Case {
        int32_t n;
        size_t entries;
        std::vector<int> users;  // by chair 0 to 7
    } cases[] = {
        {9, 9, {60, 61, 62, 63, 64, 65, 66, 68}},  // the ninth entry names chair 7 again
        {10, 10, {60, 61, 62, 63, 64, 65, 66, 68}}, {0, 9, {0, 0, 0, 0, 0, 0, 0, 0}},
        {-1, 9, {0, 0, 0, 0, 0, 0, 0, 0}},          {INT32_MIN, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        Words full(68 + 136 * 8);
        full.w(2, 40).w(4, 8);
        for (int i = 0; i < 8; ++i) full.raw(68 + 136 * size_t(i), Entry(70 + i, i, "q"));
        ASSERT_TRUE(app.OnTableInfo(full.data(), full.size()));
        Words b(68 + 136 * c.entries);
        b.w(2, 41).w(3, 5).w(4, c.n);
        for (size_t i = 0; i < c.entries; ++i)
            b.raw(68 + 136 * i, Entry(60 + int(i), i < 8 ? int(i) : 7, "p"));
        if (c.entries > 9) b.raw(68 + 136 * 9, Entry(69, 12, "off"));  // off the table
        ASSERT_TRUE(app.OnTableInfo(b.data(), b.size()));
        EXPECT_EQ(app.GetTableNo(), 41);
        EXPECT_EQ(app.GetChairNo(), 5);
        EXPECT_EQ(app.TableWord(2), c.n);
        for (int chair = 0; chair < kSeatCount; ++chair)
            EXPECT_EQ(app.GetSeatUserID(chair), c.users[size_t(chair)]) << chair;
        EXPECT_EQ(app.GetPlayerRecord(69), nullptr);
        // One entry short of the count is refused, and the table stays as it was.
        if (c.entries > 0 && c.n > 0) {
            b.w(2, 42);
            EXPECT_FALSE(app.OnTableInfo(b.data(), b.size() - 1));
            EXPECT_EQ(app.GetTableNo(), 41);
        }
    }
    // Without its head (the 68 bytes before the entries) the body brings nothing.
    Words head(68);
    head.w(2, 43).w(4, 0);
    EXPECT_FALSE(app.OnTableInfo(head.data(), 67));
    EXPECT_TRUE(app.OnTableInfo(head.data(), 68));
}

TEST_F(Records, UpdatePlayersKeepsOwnRecordAndCopiesTableData) {
    struct WithBlock : CGameAppData {
        using CGameAppData::CGameAppData;
        // The block is the front of a larger buffer: what lies after it must stay as it is.
        std::vector<uint8_t> buffer = std::vector<uint8_t>(8, 0x11);
        size_t size = 5;
        std::span<uint8_t> GetTableDataBlock() override { return {buffer.data(), size}; }
    } data("HqLv", 21303, 2, 1);
    testing::EntryLine e;
    e.chairNo = 1;
    ASSERT_TRUE(data.ApplyHallCommandLine(e.line()));
    auto seats = SeatList(3, {Entry(7, 0, "甲"), Entry(1001, 1, "我")});
    ASSERT_TRUE(data.OnSeatAssigned(seats.data(), seats.size()));

    Words b(60 + 136 * 2 + 3);
    b.w(2, 2);
    b.raw(60, Entry(70, 0, "新", 0, 0, 0, 3));
    b.raw(60 + 136, Entry(1001, 1, "冒名"));
    b.bytes[60 + 272] = 0xAA;
    b.bytes[60 + 273] = 0xBB;
    b.bytes[60 + 274] = 0xCC;
    ASSERT_TRUE(data.UpdatePlayers(b.data(), b.size()));
    EXPECT_EQ(data.GetSeatUserID(0), 70);
    EXPECT_EQ(data.GetSeatName(1), "我");
    EXPECT_TRUE(data.HasTableData());
    EXPECT_EQ(data.buffer, (std::vector<uint8_t>{0xAA, 0xBB, 0xCC, 0x11, 0x11, 0x11, 0x11, 0x11}));
    EXPECT_EQ(data.GetPortraitIndex(3), 0);  // seat 0 first, then seat 1's portrait 0
    EXPECT_EQ(data.GetPortraitIndex(0), 1);
    // Table data longer than the block fill it and stop at its end, with a line that says
    // what was dropped (no block at all keeps nothing, and says nothing).
    const struct {
        size_t tail, blockSize;
        std::vector<uint8_t> want;
        const char* line;
    } bounds[] = {
        {3, 3, {1, 2, 3, 0, 0, 0, 0, 0}, nullptr},
        {3, 2, {1, 2, 0, 0, 0, 0, 0, 0}, "table data cut: 3 bytes, the block holds 2"},
        {4, 3, {1, 2, 3, 0, 0, 0, 0, 0}, "table data cut: 4 bytes, the block holds 3"},
        {1, 0, {0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
    };
    std::vector<std::string> lines;
    const platform::DiagSink previous =
        platform::setDiagSink([&lines](std::string_view l) { lines.emplace_back(l); });
    for (const auto& c : bounds) {
        Words t(60 + 136 * 2 + c.tail);
        t.w(2, 2);
        for (size_t i = 0; i < c.tail; ++i) t.bytes[60 + 272 + i] = uint8_t(i + 1);
        data.buffer.assign(8, 0);
        data.size = c.blockSize;
        lines.clear();
        ASSERT_TRUE(data.UpdatePlayers(t.data(), t.size())) << c.tail << " " << c.blockSize;
        EXPECT_EQ(data.buffer, c.want) << c.tail << " " << c.blockSize;
        EXPECT_EQ(lines, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{})
            << c.tail << " " << c.blockSize;
    }
    platform::setDiagSink(previous);
    EXPECT_FALSE(data.UpdatePlayers(b.data(), 60 + 100));
    EXPECT_FALSE(data.UpdatePlayers(nullptr, 0));
}

TEST_F(Records, LookUpsPreferSeatedAndDisplayNames) {
    auto body = SeatList(1, {Entry(7, 0, "甲")});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    PlayerRecord looker = Record(7, 0, "旁观");
    app.AddLookerOn(looker);
    app.AddLookerOn(Record(8, 0, "乙"));
    EXPECT_EQ(app.GetPlayerNameById(7), "甲");
    EXPECT_EQ(app.IsLookerOn(7), 0);
    EXPECT_EQ(app.IsLookerOn(8), 1);
    EXPECT_EQ(app.GetPlayerChair(99), -1);
    EXPECT_EQ(app.GetPlayerNameById(99), "");
    PlayerRecord* seat = app.SeatMutable(0);
    seat->setText(PlayerRecord::kAliasOff, PlayerRecord::kAliasLen, Utf8ToGbk("小甲"));
    EXPECT_EQ(app.GetSeatDisplayName(0), "甲[小甲]");
    EXPECT_EQ(app.GetPlayerDisplayName(8), "乙");
    EXPECT_EQ(app.GetSeatUserID(8), 0);
    EXPECT_EQ(app.GetSeatUserID(-1), 0);
    // A chair off the table names nobody, not the looker-on whose record lies next in line.
    for (int chair : {8, -1}) {
        EXPECT_EQ(app.GetSeatName(chair), "") << chair;
        EXPECT_EQ(app.GetSeatDisplayName(chair), "") << chair;
    }
}

TEST_F(Records, SeatSilverAndRecordUpdatesAreChecked) {
    auto body = SeatList(1, {Entry(7, 0, "甲", 100, 10)});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    Words silver(116);
    silver.w(0, 7).w(1, 2).w(2, 0).w(3, 77).w(6, 900).w(28, 0);
    EXPECT_TRUE(app.UpdateSeatSilver(silver.data(), silver.size()));
    EXPECT_EQ(app.seat(0).word(PlayerRecord::kSilver), 900);
    silver.w(2, 1).w(6, 55);
    EXPECT_TRUE(app.UpdateSeatSilver(silver.data(), silver.size()));
    EXPECT_EQ(app.seat(0).word(PlayerRecord::kScore), 55);
    silver.w(3, 78).w(6, 1);  // another game
    EXPECT_FALSE(app.UpdateSeatSilver(silver.data(), silver.size()));
    silver.w(3, 77).w(28, 8);  // chair 8
    EXPECT_FALSE(app.UpdateSeatSilver(silver.data(), silver.size()));
    silver.w(28, -1);
    EXPECT_FALSE(app.UpdateSeatSilver(silver.data(), silver.size()));
    silver.w(28, 0);
    EXPECT_FALSE(app.UpdateSeatSilver(silver.data(), 115));
    EXPECT_EQ(app.seat(0).word(PlayerRecord::kScore), 55);

    Words rec(156);
    rec.w(0, 7).w(1, 2).w(2, 0).w(3, 77).w(6, 4321).w(38, 0);
    EXPECT_TRUE(app.UpdateSeatRecord(rec.data(), rec.size()));
    EXPECT_EQ(app.seat(0).word(PlayerRecord::kSilver), 4321);

    Words add(16);
    add.w(0, 7).w(2, 0).w(3, -5);
    EXPECT_TRUE(app.AddSeatScore(add.data(), add.size()));
    EXPECT_EQ(app.seat(0).word(PlayerRecord::kScore), 50);
    add.w(0, 8);
    EXPECT_FALSE(app.AddSeatScore(add.data(), add.size()));
}

// User id 0 is no player: the look-ups find no record for it, and a status, flag or score
// for "user 0" leaves the empty seats as they are.
TEST_F(Records, EmptyRecordsAreNobodysAndUserIdZeroFindsNone) {
    auto body = SeatList(1, {Entry(7, 1, "甲")});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    ASSERT_EQ(app.seat(1).userId(), 0);  // the first empty seat, its chair word 0
    EXPECT_EQ(app.GetPlayerRecord(0), nullptr);
    EXPECT_EQ(app.GetPlayerChair(0), -1);
    EXPECT_EQ(app.GetPlayerNameById(0), "");
    EXPECT_EQ(app.IsLookerOn(0), 0);
    Words st(12);
    st.w(0, 0).w(1, 0).w(2, 3);
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 0);
    EXPECT_EQ(app.SetPlayerFlag(st.data(), st.size()), 0);
    Words add(16);
    add.w(0, 0).w(2, 1).w(3, 9);
    EXPECT_FALSE(app.AddSeatScore(add.data(), add.size()));
    EXPECT_EQ(app.seat(1).word(PlayerRecord::kStatus), 0);
    EXPECT_EQ(app.seat(1).word(PlayerRecord::kFlags), 0);
    EXPECT_EQ(app.seat(1).word(PlayerRecord::kScore), 0);
}

TEST_F(Records, StatusAndFlagReportChanges) {
    auto body = SeatList(1, {Entry(7, 0, "甲")});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    Words st(12);
    st.w(0, 7).w(1, 0).w(2, 3);
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 1);
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 0);
    st.w(1, 1).w(2, 4);  // wrong chair
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 0);
    st.w(0, 99).w(1, 0);  // nobody of that id
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 0);
    st.w(0, 7);
    st.w(1, 0).w(2, -1);
    EXPECT_EQ(app.SetPlayerStatus(st.data(), st.size()), 0);
    EXPECT_EQ(app.SetPlayerStatus(st.data(), 8), 0);
    Words fl(12);
    fl.w(0, 7).w(1, 0).w(2, 1);
    EXPECT_EQ(app.SetPlayerFlag(fl.data(), fl.size()), 1);
    EXPECT_EQ(app.IsPlayerFlag1(7), 1);
    EXPECT_EQ(app.SetPlayerFlag(fl.data(), fl.size()), 0);
    fl.w(2, 0);
    EXPECT_EQ(app.SetPlayerFlag(fl.data(), fl.size()), 1);
    EXPECT_EQ(app.IsPlayerFlag1(7), 0);
}

TEST_F(Records, SeatNamesAreBoundedAndMatchedById) {
    auto body = SeatList(1, {Entry(7, 0, "甲"), Entry(8, 1, "乙")});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    Words names(8 * 52);
    names.w(0, 7);
    std::string longName(47, 'n');
    names.text(4, longName);
    names.w(13, 99).text(56, "不是");  // chair 1's entry carries another id
    ASSERT_TRUE(app.UpdateSeatNames(names.data(), names.size()));
    EXPECT_EQ(app.GetSeatName(0), std::string(31, 'n'));
    EXPECT_EQ(app.GetSeatName(1), "乙");
    EXPECT_FALSE(app.UpdateSeatNames(names.data(), 8 * 52 - 1));
}

TEST_F(Records, PortraitsAreAddedOnce) {
    EXPECT_EQ(app.GetPortraitIndex(4), -1);
    EXPECT_EQ(app.AddPortrait(4), 0);
    EXPECT_EQ(app.AddPortrait(9), 1);
    EXPECT_EQ(app.AddPortrait(4), 0);
    EXPECT_EQ(app.GetPortraitIndex(9), 1);
}

TEST_F(Records, FindRoomByModeAndPosition) {
    auto body = SeatList(5, {Entry(1001, 0, "我", 500, 40)});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    testing::EntryLine e;
    e.roomId = 20;
    e.chairNo = 0;
    ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
    auto room = [](int id, int w1, int w2, int w3, int w4) {
        RoomRecord r;
        r.setWord(0, id);
        r.setWord(1, w1);
        r.setWord(2, w2);
        r.setWord(3, w3);
        r.setWord(4, w4);
        return r;
    };
    app.SetRoomListMode(0);
    app.AppendRoom(room(10, 0, 0, 0, 100));
    app.AppendRoom(room(20, 0, 0, 0, 0));
    app.AppendRoom(room(30, 0, 0, 50, 100));
    EXPECT_EQ(app.FindRoom(1), 10);
    EXPECT_EQ(app.FindRoom(0), -1);  // score 40 is not above 50
    app.SetRoomListMode(1);
    app.AppendRoom(room(20, 0, 0, 0, 0));
    app.AppendRoom(room(30, 400, 40, 0, 0));
    EXPECT_EQ(app.FindRoom(0), 30);
    EXPECT_EQ(app.FindRoom(1), -1);  // first in the list
}

// The bounds are those of the user's seated record: his looker-on record, whatever it
// carries, is not taken; without a seated record silver and score count as 0.
TEST_F(Records, FindRoomTakesTheOwnSeatedRecordNotTheLookerOnOne) {
    auto body = SeatList(5, {Entry(7, 0, "甲", 900, 90)});
    ASSERT_TRUE(app.OnSeatAssigned(body.data(), body.size()));
    testing::EntryLine e;
    e.roomId = 20;
    ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
    PlayerRecord looker = testing::Record(1001, 0, "我", 1);
    looker.setWord(PlayerRecord::kSilver, 500);
    looker.setWord(PlayerRecord::kScore, 40);
    ASSERT_NE(app.AddLookerOn(looker), nullptr);
    ASSERT_EQ(app.GetSeatedRecord(1001), nullptr);
    EXPECT_EQ(app.GetSeatedRecord(0), nullptr);  // no user, though the empty chairs hold 0
    ASSERT_EQ(app.GetSeatedRecord(7)->word(PlayerRecord::kSilver), 900);
    RoomRecord here, next;
    here.setWord(0, 20);
    next.setWord(0, 30);
    next.setWord(1, -1);  // silver above -1
    next.setWord(2, 10);  // score not above 10
    app.SetRoomListMode(1);
    app.AppendRoom(here);
    app.AppendRoom(next);
    // Silver 0 and score 0: the looker-on record's 500 and 40 would fail the score bound.
    EXPECT_EQ(app.FindRoom(0), 30);
    // Seated with the same values: the score bound fails.
    auto seated = SeatList(5, {Entry(1001, 0, "我", 500, 40)});
    ASSERT_TRUE(app.OnSeatAssigned(seated.data(), seated.size()));
    EXPECT_EQ(app.FindRoom(0), -1);
}

}  // namespace
}  // namespace hqlv::framework
