#include "framework/app/notify_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "builders.h"
#include "platform/core/diag.h"

namespace hqlv::framework {
namespace {

using testing::Entry;
using testing::Words;

// Records every call the handlers make, in order, as short texts.
struct Log {
    std::vector<std::string> calls;
    void add(std::string s) { calls.push_back(std::move(s)); }
};

struct Table : CTableViewHooks {
    Log& log;
    explicit Table(Log& l) : log(l) {}
    void OnPlayerSat(const PlayerRecord& r) override {
        log.add("table.sat " + std::to_string(r.userId()));
    }
    void OnLookOnEnded(const PlayerRecord& r) override {
        log.add("table.lookend " + std::to_string(r.userId()));
    }
    void OnSeatsAssigned(Body) override { log.add("table.seats"); }
    void OnNotify211700(Body) override { log.add("table.211700"); }
    void OnAmuletNotice(Body) override { log.add("table.amulet"); }
    void OnSilverChanged(Body) override { log.add("table.silver"); }
    void OnSeatNamesChanged() override { log.add("table.names"); }
    void OnNotify211920(Body) override { log.add("table.211920"); }
    void OnClothesChanged(Body) override { log.add("table.clothes"); }
    void OnMembershipChanged(Body) override { log.add("table.member"); }
    void OnLotteryInfo(Body) override { log.add("table.lottery"); }
    void OnLotteryInfo2(Body) override { log.add("table.lottery2"); }
    void OnLotteryResult(Body) override { log.add("table.lotteryresult"); }
    void OnBroadcast(Body) override { log.add("table.broadcast"); }
    void OnSystemLine(Body) override { log.add("table.system"); }
    void OnNotify211000() override { log.add("table.211000"); }
};

struct Chat : CChatViewHooks {
    Log& log;
    explicit Chat(Log& l) : log(l) {}
    void ShowSystemLine(Body) override { log.add("chat.system"); }
    void ShowCall(Body) override { log.add("chat.call"); }
    void ShowPlayerChat(Body b) override { log.add("chat.chat " + std::to_string(b.size)); }
    void ShowTableLeave(const PlayerRecord& r) override {
        log.add("chat.leave " + std::to_string(r.userId()));
    }
    void ShowTableEnter(const PlayerRecord& r) override {
        log.add("chat.enter " + std::to_string(r.userId()));
    }
    void ShowLookerOnLeave(const PlayerRecord& r) override {
        log.add("chat.lookerleave " + std::to_string(r.userId()));
    }
    void ShowRandomTable(Body) override { log.add("chat.random"); }
    void ShowMessageLine(Body) override { log.add("chat.message"); }
    void ShowSilverNotice(Body) override { log.add("chat.silver"); }
    void ShowNewClothes(Body) override { log.add("chat.clothes"); }
    void ShowMembership(Body) override { log.add("chat.member"); }
    void ShowTableChanged(Body) override { log.add("chat.tablechanged"); }
    void ShowAmuletNotice(Body) override { log.add("chat.amulet"); }
    void OnSeatNamesChanged() override { log.add("chat.names"); }
    void ShowLotteryInfo(Body) override { log.add("chat.lottery"); }
    void ShowLotteryInfo2(Body) override { log.add("chat.lottery2"); }
    void ShowLotteryResult(Body) override { log.add("chat.lotteryresult"); }
    void ShowBroadcast(Body) override { log.add("chat.broadcast"); }
    void ShowPrizeNotice(Body) override { log.add("chat.prize"); }
    void ShowGameResult(Body) override { log.add("chat.result"); }
};

struct Players : CPlayerListHooks {
    Log& log;
    explicit Players(Log& l) : log(l) {}
    void AddPlayer(const PlayerRecord& r) override {
        log.add("list.add " + std::to_string(r.userId()));
    }
    void RemovePlayer(const PlayerRecord& r) override {
        log.add("list.remove " + std::to_string(r.userId()));
    }
    void RemoveLookerOn(const PlayerRecord& r) override {
        log.add("list.removelooker " + std::to_string(r.userId()));
    }
    void OnSeatsAssigned(Body) override { log.add("list.seats"); }
    void OnPlayersUpdate(Body) override { log.add("list.update"); }
    void OnSilverChanged(Body) override { log.add("list.silver"); }
    void OnNotify211700(Body) override { log.add("list.211700"); }
    void OnPrizeNotice(Body) override { log.add("list.prize"); }
    void OnSeatRecordChanged(Body) override { log.add("list.record"); }
    void OnScoreAdded(Body) override { log.add("list.score"); }
    void OnClothesChanged(Body) override { log.add("list.clothes"); }
    void OnMembershipChanged(Body) override { log.add("list.member"); }
    void OnLotteryInfo(Body) override { log.add("list.lottery"); }
    void OnLotteryInfo2(Body) override { log.add("list.lottery2"); }
    void OnLotteryResult(Body) override { log.add("list.lotteryresult"); }
    void OnBroadcast(Body) override { log.add("list.broadcast"); }
    void OnSystemLine(Body) override { log.add("list.system"); }
};

struct Box {
    std::string text, ok, cancel, link;
    int seconds = 0, style = 0, extra = 0, linkFlag = 0;
};

struct Host : CNotifyHost {
    Host() : data("HqLv", 21303, 2, 1), table(log), chat(log), players(log) {
        testing::EntryLine e;
        e.chairNo = 1;
        data.ApplyHallCommandLine(e.line());
    }
    CGameAppData& appData() override { return data; }
    int IsPlaying() override { return playing; }
    bool HasMainWindow() override { return mainWindow; }
    void MessageBoxModeless(const std::string& t, const std::string& ok, const std::string& c,
                            int s, int st, int extra) override {
        boxes.push_back({t, ok, c, "", s, st, extra, 0});
        log.add("box");
    }
    void MessageBoxModelessLink(const std::string& t, const std::string& ok, const std::string& c,
                                const std::string& link, int flag, int s, int st) override {
        boxes.push_back({t, ok, c, link, s, st, 0, flag});
        log.add(connectionOpen ? "linkbox (connected)" : "linkbox");
    }
    void PlaySoundId(int id, int flags) override {
        log.add("sound " + std::to_string(id) + "," + std::to_string(flags));
    }
    void HideCommWait() override { log.add("hidewait"); }
    void RefreshTableView() override { log.add("refresh"); }
    void CloseConnection() override {
        connectionOpen = false;
        log.add("close");
    }
    void PostToHallWindow(uint32_t m, uintptr_t w, intptr_t l) override {
        log.add("hall " + std::to_string(m) + "," + std::to_string(w) + "," + std::to_string(l));
    }
    uintptr_t MainWindowHandle() override { return 88; }
    void ClearTableActive() override { log.add("tableinactive"); }
    int ScaleY(int n) override { return n * dpi / 96; }
    CTableViewHooks* tableView() override { return withPanes ? &table : nullptr; }
    CChatViewHooks* chatView() override { return withPanes ? &chat : nullptr; }
    CPlayerListHooks* playerView() override { return withPanes ? &players : nullptr; }

    CGameAppData data;
    Log log;
    Table table;
    Chat chat;
    Players players;
    std::vector<Box> boxes;
    int playing = 0;
    bool mainWindow = true;
    bool withPanes = true;
    bool connectionOpen = true;
    int dpi = 96;
};

class Notify : public ::testing::Test {
protected:
    Notify() : handler(host) {}
    bool send(uint32_t code, const Words& w) { return handler.OnNotify(code, w.data(), w.size()); }
    bool send(uint32_t code, const std::vector<uint8_t>& b) {
        return handler.OnNotify(code, b.data(), b.size());
    }
    // Seats 0 and 1 (own) taken, table 5.
    void seat() {
        Words b(64 + 136 * 3);
        b.w(1, 5).w(2, 3).w(3, 7).w(4, 1001).w(5, 9);
        b.raw(64, Entry(7, 0, "甲", 100, 0, 5));
        b.raw(64 + 136, Entry(1001, 1, "我", 200, 0, 5));
        b.raw(64 + 272, Entry(9, 2, "丙", 300, 0, 5));
        ASSERT_TRUE(host.data.OnSeatAssigned(b.data(), b.size()));
        host.log.calls.clear();
    }
    Host host;
    CGameNotifyHandler handler;
};

// Each fixed-size notification: one byte short is refused, the exact size is taken.
TEST_F(Notify, ExactMinimumBodies) {
    const std::vector<uint8_t> zero(160, 0);
    for (auto [code, min] : std::vector<std::pair<uint32_t, size_t>>{{211025, 4},
                                                                     {211030, 20},
                                                                     {211110, 4},
                                                                     {211130, 4},
                                                                     {211132, 4},
                                                                     {211134, 16},
                                                                     {211136, 12},
                                                                     {211137, 12},
                                                                     {211138, 8},
                                                                     {211410, 32}}) {
        EXPECT_FALSE(handler.OnNotify(code, zero.data(), min - 1)) << code;
        EXPECT_TRUE(handler.OnNotify(code, zero.data(), min)) << code;
    }
}

TEST_F(Notify, UnknownCodesAndNullBodies) {
    EXPECT_FALSE(handler.OnNotify(123456, nullptr, 0));
    EXPECT_FALSE(handler.OnNotify(211110, nullptr, 100));
    EXPECT_TRUE(host.log.calls.empty());
}

TEST_F(Notify, SystemLineChatAndMessageReachEveryPane) {
    Words b(40);
    EXPECT_TRUE(send(60031, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"table.system", "list.system", "chat.system"}));
    host.log.calls.clear();
    EXPECT_TRUE(send(201210, b));
    EXPECT_TRUE(send(211200, b));
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"chat.chat 40", "chat.message"}));
    host.withPanes = false;
    host.log.calls.clear();
    EXPECT_TRUE(send(60031, b));
    EXPECT_TRUE(host.log.calls.empty());
}

TEST_F(Notify, CallPlayerSoundsOnlyForThisClient) {
    Words b(40);
    b.w(0, 7).w(4, 9);
    EXPECT_TRUE(send(201200, b));
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"chat.call"}));
    b.w(4, 1001);
    host.log.calls.clear();
    EXPECT_TRUE(send(201200, b));
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"chat.call", "sound 29012,1"}));
    // Word 4 is all the handler reads: a body that ends after it is taken, one byte less
    // is not.
    host.log.calls.clear();
    EXPECT_TRUE(handler.OnNotify(201200, b.data(), 20));
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"chat.call", "sound 29012,1"}));
    host.log.calls.clear();
    EXPECT_FALSE(handler.OnNotify(201200, b.data(), 19));
    EXPECT_TRUE(host.log.calls.empty());
}

TEST_F(Notify, TableCloseNoticeHidesWaitAndRefreshes) {
    EXPECT_TRUE(send(211000, Words(0)));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"tableinactive", "table.211000", "hidewait", "refresh"}));
}

TEST_F(Notify, PlayerSatFillsTheSeatOfItsChair) {
    auto e = Entry(55, 3, "新人", 10, 20, 5, 8);
    EXPECT_TRUE(send(211011, e));
    EXPECT_EQ(host.data.GetSeatUserID(3), 55);
    EXPECT_EQ(host.data.GetSeatName(3), "新人");
    EXPECT_EQ(host.data.GetPortraitIndex(8), 0);
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"chat.enter 55", "list.add 55", "table.sat 55"}));
    // While playing it is ignored; a chair outside the table and short bodies are refused.
    host.log.calls.clear();
    host.playing = 1;
    EXPECT_FALSE(send(211011, Entry(56, 4, "x")));
    host.playing = 0;
    EXPECT_FALSE(send(211011, Entry(57, 8, "x")));
    EXPECT_FALSE(send(211011, Entry(58, -1, "x")));
    auto shortBody = Entry(59, 2, "x");
    EXPECT_FALSE(handler.OnNotify(211011, shortBody.data(), 135));
    EXPECT_EQ(host.data.GetSeatUserID(4), 0);
    EXPECT_EQ(host.data.GetSeatUserID(2), 0);
    EXPECT_TRUE(host.log.calls.empty());
}

TEST_F(Notify, LookOnEndedChecksTableAndChairAndClosesTheWatcher) {
    seat();
    Words b(32);
    b.w(0, 9).w(1, 2).w(7, 6);  // wrong table
    EXPECT_FALSE(send(211010, b));
    b.w(7, 5).w(1, 3);  // wrong chair
    EXPECT_FALSE(send(211010, b));
    EXPECT_TRUE(host.log.calls.empty());
    b.w(1, 2);
    EXPECT_TRUE(send(211010, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"chat.leave 9", "list.remove 9", "table.lookend 9"}));
    EXPECT_EQ(host.data.GetSeatUserID(2), 0);
    EXPECT_TRUE(host.boxes.empty());

    // This client looks on at chair 0: its player leaving ends the look-on with a box.
    testing::EntryLine e;
    e.chairNo = 0;
    e.lookerOn = 1;
    ASSERT_TRUE(host.data.ApplyHallCommandLine(e.line()));
    b.w(0, 7).w(1, 0);
    EXPECT_TRUE(send(211010, b));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "甲 已经离开，旁观结束。");
    EXPECT_EQ(host.boxes[0].seconds, 30);
    EXPECT_EQ(host.boxes[0].style, 65);
    EXPECT_EQ(host.data.GetSeatUserID(0), 0);
    // The look-on's end is no end-of-table box: it shows with or without a main window.
    host.mainWindow = false;
    seat();
    ASSERT_TRUE(host.data.ApplyHallCommandLine(e.line()));
    EXPECT_TRUE(send(211010, b));
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[1].text, "甲 已经离开，旁观结束。");
}

TEST_F(Notify, LookerOnLeftClearsTheRecord) {
    host.data.AddLookerOn(testing::Record(600, 0, "看"));
    Words b(4);
    b.w(0, 600);
    EXPECT_TRUE(send(211020, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"chat.lookerleave 600", "list.removelooker 600"}));
    EXPECT_EQ(host.data.GetPlayerRecord(600), nullptr);
    EXPECT_FALSE(send(211020, b));
}

TEST_F(Notify, HallNoticeIsPostedToTheHallWindow) {
    Words b(4);
    b.w(0, 31);
    EXPECT_TRUE(send(211025, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"hall " + std::to_string(0x9107) + ",88,31"}));
}

TEST_F(Notify, SeatsAssignedWithTailAndBound) {
    struct Tail : CGameNotifyHandler {
        using CGameNotifyHandler::CGameNotifyHandler;
        std::vector<uint8_t> tail;
        void OnSeatsAssignedTail(Body b) override { tail.assign(b.data, b.data + b.size); }
    } h(host);
    Words b(64 + 136 * 2 + 4);
    b.w(1, 8).w(2, 2).w(3, 1001).w(4, 7);
    b.raw(64, Entry(1001, 0, "我"));
    b.raw(64 + 136, Entry(7, 1, "甲", 0, 0, 0, 4));
    b.bytes[64 + 272] = 0x5A;
    EXPECT_TRUE(h.OnNotify(211028, b.data(), b.size()));
    EXPECT_EQ(host.data.GetChairNo(), 0);
    EXPECT_EQ(host.data.GetTableNo(), 8);
    EXPECT_EQ(host.data.GetSeatUserID(1), 7);
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"chat.random", "list.seats", "table.seats"}));
    EXPECT_EQ(h.tail, (std::vector<uint8_t>{0x5A, 0, 0, 0}));
    EXPECT_NE(host.data.GetPortraitIndex(4), -1);
    host.log.calls.clear();
    b.w(2, 9);
    EXPECT_FALSE(h.OnNotify(211028, b.data(), b.size()));
    b.w(2, 3);  // three entries announced, two present
    EXPECT_FALSE(h.OnNotify(211028, b.data(), b.size()));
    EXPECT_TRUE(host.log.calls.empty());
}

TEST_F(Notify, PlayersUpdateSetsValuesAndBoundsTheCount) {
    seat();
    Words b(20 + 52 * 2);
    b.w(0, 2);
    b.w(5, 9).w(7, 77).w(8, 888).w(9, 3).text(20 + 20, "高手");
    b.w(5 + 13, 12345).w(7 + 13, 1);  // nobody: skipped
    EXPECT_TRUE(send(211030, b));
    const PlayerRecord* r = host.data.GetPlayerRecord(9);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->word(PlayerRecord::kScore), 77);
    EXPECT_EQ(r->word(PlayerRecord::kSilver), 888);
    EXPECT_EQ(r->word(PlayerRecord::kLevel), 3);
    EXPECT_EQ(GbkToUtf8(r->text(PlayerRecord::kLevelTitleOff, 16)), "高手");
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"list.update"}));
    // A count beyond the entries the body holds: those it holds are applied, and the list
    // hears of it; a negative count names none, and the list hears of it too.
    b.w(7, 78).w(0, 3);
    EXPECT_TRUE(send(211030, b));
    EXPECT_EQ(r->word(PlayerRecord::kScore), 78);
    b.w(7, 79).w(0, 0x7fffffff);
    EXPECT_TRUE(send(211030, b));
    EXPECT_EQ(r->word(PlayerRecord::kScore), 79);
    b.w(7, 80).w(0, -1);
    EXPECT_TRUE(send(211030, b));
    EXPECT_EQ(r->word(PlayerRecord::kScore), 79);
    b.w(0, 0);
    EXPECT_TRUE(send(211030, b));
    EXPECT_EQ(r->word(PlayerRecord::kScore), 79);
    EXPECT_EQ(host.log.calls.size(), 5u);
    // Shorter than the count word and the head: refused.
    EXPECT_FALSE(handler.OnNotify(211030, b.data(), 19));
}

TEST_F(Notify, EndOfTableBoxes) {
    seat();
    Words b(16);
    b.w(0, 9).w(2, 12).w(3, 16);
    EXPECT_TRUE(send(211110, b));
    EXPECT_TRUE(send(211130, b));
    EXPECT_TRUE(send(211132, b));
    EXPECT_TRUE(send(211134, b));
    EXPECT_TRUE(send(211136, b));
    ASSERT_EQ(host.boxes.size(), 5u);
    EXPECT_EQ(host.boxes[0].text, "丙的银子不够了，这一桌游戏结束。");
    EXPECT_EQ(host.boxes[1].text, "丙的积分不够了，这一桌游戏结束。");
    EXPECT_EQ(host.boxes[2].text, "丙的积分超出限制，这一桌游戏结束。");
    EXPECT_EQ(host.boxes[3].text, "丙的总局数超出限制(16局)，这一桌游戏结束。");
    EXPECT_EQ(host.boxes[4].text, "这一桌的局数超出限制(12局)，游戏结束。");
    for (auto& box : host.boxes) {
        EXPECT_EQ(box.seconds, 30);
        EXPECT_EQ(box.style, 65);
        EXPECT_EQ(box.ok, "确定");
        EXPECT_EQ(box.cancel, "取消");
    }
    b.w(0, 4444);  // unknown player: empty name
    EXPECT_TRUE(send(211110, b));
    EXPECT_EQ(host.boxes.back().text, "的银子不够了，这一桌游戏结束。");
    host.mainWindow = false;
    size_t before = host.boxes.size();
    EXPECT_TRUE(send(211110, b));
    EXPECT_EQ(host.boxes.size(), before);
}

TEST_F(Notify, TimeWindowTextAndHeight) {
    Words none(12);
    EXPECT_TRUE(send(211137, none));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "已超出限定时间，不能继续游戏。");
    EXPECT_EQ(host.boxes[0].extra, 0);
    EXPECT_EQ(host.boxes[0].seconds, 60);

    Words two(92);
    two.w(2, 2).w(7, 830).w(8, 1330).w(15, 1200).w(16, 2400);
    host.dpi = 120;
    EXPECT_TRUE(send(211137, two));
    EXPECT_EQ(host.boxes[1].text,
              "已超出限定时间，不能继续游戏。下列时间段开放：\r\n\r\n"
              "8点30分 ~ 12点00分\r\n13点30分 ~ 24点00分\r\n");
    EXPECT_EQ(host.boxes[1].extra, 30);  // 2 x 12 px at 120 dpi
}

// Whatever the count of time windows, the table is over and the box shows: a count not
// above 0 lists nothing, a count above 8 lists the eight windows the body has, and a body
// too short for its count lists the windows it holds whole. Any count above 0 announces
// the windows, even when the body holds none of them.
TEST_F(Notify, TimeWindowBoxShowsForAnyCount) {
    Words full(92);
    for (int i = 0; i < 8; ++i)
        full.w(7 + size_t(i), 100 * (i + 1)).w(15 + size_t(i), 100 * (i + 1) + 30);
    const std::string base = "已超出限定时间，不能继续游戏。";
    const std::string head = "下列时间段开放：\r\n\r\n";
    auto lines = [](int k) {
        std::string t;
        for (int i = 1; i <= k; ++i)
            t += std::to_string(i) + "点00分 ~ " + std::to_string(i) + "点30分\r\n";
        return t;
    };
    struct Case {
        int32_t n;
        size_t size;
        int listed;
    } cases[] = {{0, 92, 0}, {-1, 92, 0}, {INT32_MIN, 92, 0}, {1, 92, 1},
                 {8, 92, 8}, {9, 92, 8},  {INT32_MAX, 92, 8}, {2, 64, 1},
                 {2, 63, 0}, {1, 12, 0},  {8, 91, 7}};
    int cut = 0;  // the lines telling of windows named but not listed
    struct Restore {
        platform::DiagSink previous;
        ~Restore() { platform::setDiagSink(previous); }
    } restore{platform::setDiagSink([&](std::string_view line) {
        cut += line.find("time windows named") != std::string_view::npos;
    })};
    for (const Case& c : cases) {
        full.w(2, c.n);
        host.boxes.clear();
        cut = 0;
        EXPECT_TRUE(handler.OnNotify(211137, full.data(), c.size)) << c.n << " " << c.size;
        ASSERT_EQ(host.boxes.size(), 1u) << c.n << " " << c.size;
        EXPECT_EQ(host.boxes[0].text, c.n > 0 ? base + head + lines(c.listed) : base)
            << c.n << " " << c.size;
        EXPECT_EQ(host.boxes[0].extra, 12 * c.listed) << c.n << " " << c.size;
        EXPECT_EQ(host.boxes[0].seconds, 60);
        EXPECT_EQ(cut, c.listed != std::max(c.n, 0) ? 1 : 0) << c.n << " " << c.size;
    }
}

TEST_F(Notify, ServerTextIsBoundedByTheBody) {
    Words b(8 + 4);
    b.text(8, "维护");  // exactly four bytes, no terminator inside the body
    EXPECT_TRUE(send(211138, b));
    EXPECT_EQ(host.boxes.back().text, "维护");
}

TEST_F(Notify, GameResultClosesFirstAndSplitsOnCharacters) {
    Words b(32 + 64);
    b.text(32, "本局结束|http://r/a|b");
    EXPECT_TRUE(send(211410, b));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"close", "linkbox"}));
    EXPECT_EQ(host.boxes[0].text, "本局结束");
    EXPECT_EQ(host.boxes[0].link, "http://r/a|b");
    EXPECT_EQ(host.boxes[0].ok, "查看成绩");
    EXPECT_EQ(host.boxes[0].cancel, "退出");
    EXPECT_EQ(host.boxes[0].linkFlag, 1);
    EXPECT_EQ(host.boxes[0].seconds, 60);

    // "亅" is 0x81 0x7C in GBK: its trail byte is '|', which must not split the text.
    Words c(32 + 16);
    c.bytes[32] = 0x81;
    c.bytes[33] = 0x7C;
    c.text(34, "|u");
    EXPECT_TRUE(send(211410, c));
    EXPECT_EQ(host.boxes[1].text, GbkToUtf8(std::string("\x81\x7C", 2)));
    EXPECT_EQ(host.boxes[1].link, "u");

    Words d(32 + 8);
    d.text(32, "only");
    EXPECT_TRUE(send(211410, d));
    EXPECT_EQ(host.boxes[2].text, "");
    EXPECT_EQ(host.boxes[2].link, "only");
}

TEST_F(Notify, SilverChangedChecksFlagChairAndSeat) {
    seat();
    Words b(20);
    b.w(0, 9).w(1, 2).w(2, 0).w(4, 50);
    EXPECT_FALSE(send(211420, b));
    b.w(2, 1).w(1, 8);
    EXPECT_FALSE(send(211420, b));
    b.w(1, 5);  // empty seat
    EXPECT_FALSE(send(211420, b));
    EXPECT_TRUE(host.log.calls.empty());
    b.w(1, 2);
    EXPECT_TRUE(send(211420, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"list.silver", "chat.silver", "table.silver"}));
}

TEST_F(Notify, ClothesAndMembershipOnlyOnChange) {
    seat();
    Words b(12);
    b.w(0, 9).w(1, 2).w(2, 4);
    EXPECT_TRUE(send(211430, b));
    EXPECT_FALSE(send(211430, b));
    EXPECT_TRUE(send(211440, b));
    EXPECT_FALSE(send(211440, b));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"table.clothes", "list.clothes", "chat.clothes",
                                        "table.member", "list.member", "chat.member"}));
    EXPECT_FALSE(handler.OnNotify(211430, b.data(), 11));
}

TEST_F(Notify, TableInformationWhenNotPlaying) {
    Words b(68 + 136);
    b.w(2, 6).w(3, 3).w(4, 1);
    b.raw(68, Entry(70, 3, "x", 0, 0, 6, 2));
    host.playing = 1;
    EXPECT_FALSE(send(211700, b));
    EXPECT_EQ(host.data.GetTableNo(), 5);
    host.playing = 0;
    EXPECT_TRUE(send(211700, b));
    EXPECT_EQ(host.data.GetTableNo(), 6);
    EXPECT_EQ(host.data.GetChairNo(), 3);
    EXPECT_EQ(host.data.GetSeatUserID(3), 70);
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{"chat.tablechanged", "table.211700", "list.211700"}));
    b.w(4, 9);
    EXPECT_FALSE(send(211700, b));
}

TEST_F(Notify, NamesAmuletLotteryAndOtherPassThroughs) {
    seat();
    Words names(8 * 52);
    names.w(13, 1001).text(56, "新名");
    EXPECT_TRUE(send(211910, names));
    EXPECT_EQ(host.data.GetSeatName(1), "新名");
    EXPECT_FALSE(handler.OnNotify(211910, names.data(), 100));
    Words any(8);
    EXPECT_TRUE(send(211900, any));
    EXPECT_TRUE(send(211920, any));
    EXPECT_TRUE(send(214100, any));
    EXPECT_TRUE(send(214101, any));
    EXPECT_TRUE(send(214102, any));
    EXPECT_TRUE(send(214103, any));
    EXPECT_EQ(host.log.calls,
              (std::vector<std::string>{
                  "chat.names", "table.names", "chat.amulet", "table.amulet", "table.211920",
                  "table.lottery", "list.lottery", "chat.lottery", "table.lottery2",
                  "list.lottery2", "chat.lottery2", "table.lotteryresult", "list.lotteryresult",
                  "chat.lotteryresult", "table.broadcast", "list.broadcast", "chat.broadcast"}));
}

TEST_F(Notify, PrizeRecordAndScoreUpdateTheSeat) {
    seat();
    Words prize(116);
    prize.w(0, 9).w(1, 2).w(2, 0).w(3, 77).w(6, 1234).w(28, 2);
    EXPECT_TRUE(send(230000, prize));
    Words rec(156);
    rec.w(0, 9).w(1, 2).w(2, 1).w(3, 77).w(6, 66).w(38, 2);
    EXPECT_TRUE(send(230001, rec));
    Words add(16);
    add.w(0, 9).w(2, 2).w(3, 4);
    EXPECT_TRUE(send(230002, add));
    // The seat's values themselves are the records' concern; here only the last one.
    EXPECT_EQ(host.data.seat(2).word(PlayerRecord::kScore), 70);
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"list.prize", "chat.prize", "list.record",
                                                        "list.score", "chat.result"}));
    host.log.calls.clear();
    EXPECT_FALSE(handler.OnNotify(230000, prize.data(), 115));
    EXPECT_FALSE(handler.OnNotify(230001, rec.data(), 155));
    EXPECT_FALSE(handler.OnNotify(230002, add.data(), 15));
    EXPECT_TRUE(host.log.calls.empty());
}

}  // namespace
}  // namespace hqlv::framework
