// Notifications whose tables, chairs, scores and amounts sit at the ends of the 32-bit range,
// through the real handlers into the real chat lines, player records and player list.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "builders.h"
#include "framework/app/notify_handler.h"
#include "framework/panes/player_list_model.h"
#include "framework/widgets/chat_lines.h"

namespace hqlv::framework {
namespace {

using testing::Entry;
using testing::Words;

// The chat pane's table lines as the pane builds them, kept in order.
struct LineChat : CChatViewHooks {
    explicit LineChat(CGameAppData& a) : app(a) {}
    ChatLineContext Context() const {
        ChatLineContext c;
        c.player = [this](int uid) { return app.GetPlayerRecord(uid); };
        c.ownUserId = app.GetUserID();
        c.ownTable = app.GetTableNo();
        return c;
    }
    void ShowTableEnter(const PlayerRecord& r) override {
        lines.push_back(TableEnterLine(Context(), r));
    }
    void ShowTableLeave(const PlayerRecord& r) override {
        lines.push_back(TableLeaveLine(Context(), r));
    }
    void ShowRandomTable(Body) override { lines.push_back(RandomTableLine(Context())); }
    void ShowTableChanged(Body) override { lines.push_back(TableChangedLine(Context())); }
    CGameAppData& app;
    std::vector<std::string> lines;
};

struct ListPane : CPlayerListHooks {
    explicit ListPane(CGameAppData& app) : model(app) { model.InitColumns(); }
    void AddPlayer(const PlayerRecord& r) override { model.AddPlayer(r); }
    void OnScoreAdded(Body b) override { model.OnScoreAdded(b); }
    PlayerListModel model;
};

struct Host : CNotifyHost {
    Host() : data("HqLv", 21303, 2, 1), chat(data), list(data) {
        testing::EntryLine e;
        e.chairNo = 1;
        data.ApplyHallCommandLine(e.line());
    }
    CGameAppData& appData() override { return data; }
    int IsPlaying() override { return 0; }
    bool HasMainWindow() override { return false; }
    void MessageBoxModeless(const std::string&, const std::string&, const std::string&, int, int,
                            int) override {}
    void MessageBoxModelessLink(const std::string&, const std::string&, const std::string&,
                                const std::string&, int, int, int) override {}
    void PlaySoundId(int, int) override {}
    void HideCommWait() override {}
    void RefreshTableView() override {}
    void CloseConnection() override {}
    void PostToHallWindow(uint32_t, uintptr_t, intptr_t) override {}
    uintptr_t MainWindowHandle() override { return 0; }
    void ClearTableActive() override {}
    int ScaleY(int n) override { return n; }
    CTableViewHooks* tableView() override { return nullptr; }
    CChatViewHooks* chatView() override { return &chat; }
    CPlayerListHooks* playerView() override { return &list; }
    CGameAppData data;
    LineChat chat;
    ListPane list;
};

// A table word of the wire and the table a player counts (from 1), as the lines show it.
struct TableCase {
    uint32_t wire;
    const char* shown;
};
constexpr TableCase kTables[] = {
    {0x80000000u, "-2147483647"},  // INT32_MIN
    {0xFFFFFFFFu, "0"},            // -1, as UINT32_MAX is read
    {0, "1"},
    {41, "42"},
    {0x7FFFFFFEu, "2147483647"},
    {0x7FFFFFFFu, "2147483648"},  // INT32_MAX: one past what an int holds
};

class HostileWords : public ::testing::Test {
protected:
    HostileWords() : handler(host) {}
    bool send(uint32_t code, const std::vector<uint8_t>& b) {
        return handler.OnNotify(code, b.data(), b.size());
    }
    Host host;
    CGameNotifyHandler handler;
};

TEST_F(HostileWords, APlayerSatAtAnyTableShowsTheTableCountedFromOne) {
    for (const TableCase& t : kTables) {
        SCOPED_TRACE(t.shown);
        host.chat.lines.clear();
        ASSERT_TRUE(send(211011, Entry(55, 3, "新人", 0, 0, int32_t(t.wire))));
        EXPECT_EQ(host.data.seat(3).table(), int32_t(t.wire));
        EXPECT_EQ(host.chat.lines, std::vector<std::string>{std::string(" <c=255>新人进入第") +
                                                            t.shown + "桌 \r\n"});
    }
}

TEST_F(HostileWords, APlayerLeavingAnyTableShowsTheTableCountedFromOne) {
    for (const TableCase& t : kTables) {
        SCOPED_TRACE(t.shown);
        ASSERT_TRUE(send(211011, Entry(55, 3, "新人", 0, 0, int32_t(t.wire))));
        host.chat.lines.clear();
        Words left(32);
        left.w(0, 55).w(1, 3).w(7, int32_t(t.wire));
        ASSERT_TRUE(send(211010, left.bytes));
        EXPECT_EQ(host.chat.lines, std::vector<std::string>{std::string(" <c=255>新人离开第") +
                                                            t.shown + "桌 \r\n"});
        EXPECT_EQ(host.data.GetSeatUserID(3), 0);
    }
}

TEST_F(HostileWords, SeatsAndTableInformationAtAnyTableShowTheOwnTableCountedFromOne) {
    for (const TableCase& t : kTables) {
        SCOPED_TRACE(t.shown);
        host.chat.lines.clear();
        Words seats(64 + 136);
        seats.w(1, int32_t(t.wire)).w(2, 1).w(3, 1001);
        seats.raw(64, Entry(1001, 0, "我", 0, 0, int32_t(t.wire)));
        ASSERT_TRUE(send(211028, seats.bytes));
        Words info(68 + 136);
        info.w(2, int32_t(t.wire)).w(3, 0).w(4, 1);
        info.raw(68, Entry(1001, 0, "我", 0, 0, int32_t(t.wire)));
        ASSERT_TRUE(send(211700, info.bytes));
        EXPECT_EQ(host.data.GetTableNo(), int32_t(t.wire));
        EXPECT_EQ(host.chat.lines,
                  (std::vector<std::string>{
                      std::string(" <c=255>您已经被随机分配到第") + t.shown + "桌\r\n",
                      std::string(" <c=255>您已经被换到第") + t.shown + "桌\r\n"}));
    }
}

// A score and its change at the ends of the range: the sum is kept at the int32 bounds, in the
// seat's record and in the list's cell alike.
TEST_F(HostileWords, AScoreAddedStaysWithinTheRangeItIsKeptIn) {
    struct Case {
        int32_t score, delta, kept;
    } cases[] = {
        {100, 23, 123},
        {0, -1, -1},
        {INT_MAX, 1, INT_MAX},
        {INT_MAX, INT_MAX, INT_MAX},
        {INT_MAX - 1, 1, INT_MAX},
        {INT_MIN, -1, INT_MIN},
        {INT_MIN, INT_MIN, INT_MIN},
        {INT_MIN + 1, -1, INT_MIN},
        {INT_MAX, INT_MIN, -1},
        {INT_MIN, INT_MAX, -1},
        {-1, int32_t(0xFFFFFFFFu), -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.score) + " + " + std::to_string(c.delta));
        ASSERT_TRUE(send(211011, Entry(9, 2, "丙", 0, c.score)));
        Words add(16);
        add.w(0, 9).w(2, 2).w(3, c.delta);
        ASSERT_TRUE(send(230002, add.bytes));
        EXPECT_EQ(host.data.seat(2).word(PlayerRecord::kScore), c.kept);
        const int row = host.list.model.FindRow(9);
        ASSERT_GE(row, 0);
        EXPECT_EQ(host.list.model.Cell(row, kColScore), std::to_string(c.kept));
    }
}

// A score added for a chair outside the table changes no seat and no row, whatever its word.
TEST_F(HostileWords, AScoreAddedForAChairOutsideTheTableChangesNothing) {
    ASSERT_TRUE(send(211011, Entry(9, 2, "丙", 0, 40)));
    for (int32_t chair : {INT_MIN, -1, 8, 9, INT_MAX}) {
        SCOPED_TRACE(chair);
        Words add(16);
        add.w(0, 9).w(2, chair).w(3, 5);
        ASSERT_TRUE(send(230002, add.bytes));
        EXPECT_EQ(host.data.seat(2).word(PlayerRecord::kScore), 40);
        EXPECT_EQ(host.list.model.Cell(host.list.model.FindRow(9), kColScore), "40");
    }
}

// The deal result's new score and silver are the old values plus the deal's change: kept at
// the int32 bounds, never wrapped into a debt.
TEST(HostileResult, ScoresAndSilverOfAResultStayWithinTheRange) {
    struct Case {
        int32_t before, change, kept;
    } cases[] = {
        {500, -20, 480},
        {INT_MAX, 1, INT_MAX},
        {INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, -1, INT_MIN},
        {INT_MIN, INT_MIN, INT_MIN},
        {INT_MAX, INT_MIN, -1},
        {0, int32_t(0xFFFFFFFFu), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " + " + std::to_string(c.change));
        CGameAppData app("HqLv", 21303, 2, 1);
        testing::EntryLine e;
        app.ApplyHallCommandLine(e.line());
        *app.SeatMutable(0) = testing::Record(1001, 0, "我");
        PlayerListModel model(app);
        model.InitColumns();
        model.Refill(false);
        // One seat: score = word 72 + word 40, silver = word 80 + word 48.
        Words result(432);
        result.w(2, 1).w(40, c.change).w(72, c.before).w(48, c.change).w(80, c.before);
        model.UpdateScores({result.data(), result.size()});
        EXPECT_EQ(app.seat(0).word(PlayerRecord::kScore), c.kept);
        EXPECT_EQ(app.seat(0).word(PlayerRecord::kSilver), c.kept);
        EXPECT_EQ(model.Cell(0, kColScore), std::to_string(c.kept));
        EXPECT_EQ(model.Cell(0, kColSilver), std::to_string(c.kept));
    }
}

TEST(HostileSum, SaturatedSumAtEachBound) {
    struct Case {
        int32_t a, b, sum;
    } cases[] = {
        {1, 2, 3},
        {-1, -2, -3},
        {INT_MAX, 0, INT_MAX},
        {INT_MAX, 1, INT_MAX},
        {INT_MAX - 1, 1, INT_MAX},
        {INT_MAX - 1, 2, INT_MAX},
        {INT_MIN, 0, INT_MIN},
        {INT_MIN, -1, INT_MIN},
        {INT_MIN + 1, -1, INT_MIN},
        {INT_MIN + 1, -2, INT_MIN},
        {INT_MAX, INT_MIN, -1},
        {INT_MIN, INT_MIN, INT_MIN},
        {INT_MAX, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(SaturatedSum(c.a, c.b), c.sum) << c.a << " + " << c.b;
}

}  // namespace
}  // namespace hqlv::framework
