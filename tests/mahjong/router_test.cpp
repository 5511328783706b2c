// The notification router: every id reaches exactly its scene and pane calls, in order;
// bodies too short for what the router reads are refused and change nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "framework/app/text_edge.h"
#include "router_doubles.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using test::CallLog;
using test::PutWord;
using test::RouterWorld;
using test::Words;

std::vector<uint8_t> Bytes(size_t n) {
    return std::vector<uint8_t>(n, 0);
}

std::vector<uint8_t> ExitRequest(int user, const std::string& reasonUtf8) {
    std::vector<uint8_t> b = Words(20, {{0, user}});
    std::string gbk = framework::Utf8ToGbk(reasonUtf8);
    std::memcpy(b.data() + 16, gbk.data(), std::min<size_t>(gbk.size(), 64));
    return b;
}

std::vector<uint8_t> TextAt32(const std::string& utf8) {
    std::vector<uint8_t> b(32, 0);
    std::string gbk = framework::Utf8ToGbk(utf8);
    b.insert(b.end(), gbk.begin(), gbk.end());
    b.push_back(0);
    return b;
}

struct RouteCase {
    uint32_t id;
    std::vector<uint8_t> body;
    CallLog expected;
};

class RouteTest : public testing::TestWithParam<RouteCase> {};

TEST_P(RouteTest, CallsExactlyItsHandlersInOrder) {
    const RouteCase& c = GetParam();
    RouterWorld w;
    auto router = test::MakeRouter(w);
    EXPECT_TRUE(router->OnNotify(c.id, c.body.data(), c.body.size()));
    EXPECT_EQ(w.log, c.expected);
}

std::vector<RouteCase> Routes() {
    std::vector<RouteCase> r = {
        {201160, Words(4, {{3, 1}}), {"chat.OnGameStarted(16)", "draw.HighlightChair 1"}},
        {211040,
         Words(233, {{8, 3}, {10, 16}, {11, 1}}),
         {"chat.ShowRoundHistory 【第3局】庄：<c=255>P1 <>\r\n         番：<c=255>16<> 分\r\n",
          "draw.RefreshAll", "scene.OnGameReset"}},
        {211080,
         Bytes(1652),
         {"players.UpdateScores(1652)", "chat.OnScoresLine(1652)", "table.OnTableStop",
          "scene.OnGameEnd(1652)", "table.OnRoundEnded"}},
        {211300, {}, {"scene.ShowWaitTableNotice"}},
        {211400, TextAt32("排行"), {"score.PostScoreBoardText 排行"}},
        {221050, Words(1, {{0, 1003}}), {"players.ShowKanPaiAsk 1003"}},
        {221160, Bytes(40), {"scene.221160(40)", "chat.OnKanPaiAnswer(40)"}},
        {221170, Bytes(9), {"table.RestartClockTimer", "scene.221170(9)"}},
        {221200, Bytes(3), {"scene.221200(3)"}},
        {229160, Bytes(1), {"scene.229160(1)"}},
        {229165, {}, {"scene.229165(0)"}},
        {229170, Bytes(2), {"scene.229170(2)"}},
        {229175, Bytes(2), {"scene.229175(2)"}},
        {229180, Bytes(2), {"scene.229180(2)"}},
        {229185, Bytes(2), {"scene.229185(2)"}},
        {229190, Bytes(2), {"scene.229190(2)"}},
        {229195, Bytes(5), {"scene.229195 id 229195(5)"}},
        {229197, Bytes(5), {"scene.229195 id 229197(5)"}},
        {229199, Bytes(5), {"scene.229195 id 229199(5)"}},
        {229210, Bytes(6), {"scene.229210(6)"}},
        {229405,
         {},
         {"app.ReportToHall", "platformbox 网络连接中断，请重新登录大厅", "frame.Destroy"}},
        {229500, Bytes(7), {"scene.229500(7)"}},
        // The scene's hook (empty in this game) and nothing of the framework's.
        {211920, Bytes(8), {"scene.211920(8)"}},
        {400006,
         ExitRequest(1001, "回家"),
         {"players.ShowExitAnswerDlg 1001 回家", "chat+  <c=2906200>P1请求退出 \r\n"}},
        {400007,
         Words(6, {{0, 1000}, {4, 1001}, {5, 1}}),
         {"chat+  <c=2906200>P0答应P1的退出请求 \r\n"}},
        {400007,
         Words(6, {{0, 1000}, {4, 1001}, {5, 0}}),
         {"chat+  <c=2906200>P0拒绝P1的退出请求 \r\n"}},
        {211000,
         Words(7, {{1, 1}, {2, 0}}),
         {"frame.ClearTableActive", "table.OnNotify211000", "app.HideCommWait", "frame.ToFront",
          "box P1 已经离开，游戏结束。 [确定/取消 30s style 65]"}},
        {211000,
         Words(7, {{1, 3}, {2, 1}, {5, -20}, {6, -300}}),
         {"frame.ClearTableActive", "table.OnNotify211000", "app.HideCommWait", "frame.ToFront",
          "box P3 已经强行退出，游戏结束。(扣除300两,20分) [确定/取消 30s style 65]"}},
        // A chair outside the table names nobody.
        {211000,
         Words(7, {{1, 9}, {2, 0}}),
         {"frame.ClearTableActive", "table.OnNotify211000", "app.HideCommWait", "frame.ToFront",
          "box  已经离开，游戏结束。 [确定/取消 30s style 65]"}},
        // The server's most negative words still read as deductions.
        {211000,
         Words(7, {{1, 3}, {2, 1}, {5, INT32_MIN}, {6, INT32_MIN}}),
         {"frame.ClearTableActive", "table.OnNotify211000", "app.HideCommWait", "frame.ToFront",
          "box P3 已经强行退出，游戏结束。(扣除2147483648两,2147483648分) [确定/取消 30s style "
          "65]"}},
    };
    return r;
}

INSTANTIATE_TEST_SUITE_P(Ids, RouteTest, testing::ValuesIn(Routes()));

TEST(Router, ExitRequestReasonFillingAll64BytesStopsAtItsField) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> b = Words(21, {{0, 1001}, {20, 0x41414141}});
    std::memset(b.data() + 16, 'x', 64);
    ASSERT_TRUE(router->OnNotify(400006, b.data(), b.size()));
    EXPECT_EQ(w.log[0], "players.ShowExitAnswerDlg 1001 " + std::string(64, 'x'));
}

TEST(Router, ScoreBoardTextEndsWithTheBody) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> b(36, 'y');
    ASSERT_TRUE(router->OnNotify(211400, b.data(), b.size()));
    EXPECT_EQ(w.scoreBoard, "yyyy");
    EXPECT_EQ(w.log, CallLog{"score.PostScoreBoardText yyyy"});
}

// A text without its end mark stops at the body's end even where more text follows the body
// in the caller's block.
TEST(Router, ScoreBoardTextStopsAtTheBodysEndInsideALargerBlock) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> block(48, 'y');
    block.push_back(0);
    ASSERT_TRUE(router->OnNotify(211400, block.data(), 35));
    EXPECT_EQ(w.scoreBoard, "yyy");
}

struct ShortCase {
    uint32_t id;
    size_t need;
};

class ShortBodyTest : public testing::TestWithParam<ShortCase> {};

TEST_P(ShortBodyTest, OneByteShortIsRefusedAndChangesNothing) {
    const ShortCase& c = GetParam();
    RouterWorld w;
    auto router = test::MakeRouter(w);
    // Deal areas with something in them, to see that nothing is replaced.
    std::vector<uint8_t> deal = Words(233, {{8, 7}});
    std::vector<uint8_t> result = Words(413, {{0, 2}});
    ASSERT_TRUE(w.info.SetRoundResult(deal));
    ASSERT_TRUE(w.info.SetGameResult(result));
    std::vector<uint8_t> body(c.need - 1, 0x11);
    EXPECT_FALSE(router->OnNotify(c.id, body.data(), body.size()));
    EXPECT_TRUE(w.log.empty()) << w.log.front();
    EXPECT_EQ(w.info.GetDealNumber(), 7);
    EXPECT_TRUE(w.info.IsNoWinner());
    EXPECT_EQ(w.scoreBoard, "");
    // No body at all is refused the same way.
    EXPECT_FALSE(router->OnNotify(c.id, nullptr, c.need));
    EXPECT_TRUE(w.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Bounds, ShortBodyTest,
                         testing::Values(ShortCase{201160, 16}, ShortCase{211040, 932},
                                         ShortCase{211080, 1652}, ShortCase{211400, 33},
                                         ShortCase{221050, 4}, ShortCase{400006, 80},
                                         ShortCase{400007, 24}));

// The player is gone and the game at the table over, whatever the body holds: the
// framework's part (which reads none of it) and the window to the front run for a body
// one byte short of the box's words, and for no body at all; the box alone is refused.
TEST(Router, PlayerGoneTooShortForTheBoxStillEndsTheGameAtTheTable) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    const CallLog ended{"frame.ClearTableActive", "table.OnNotify211000", "app.HideCommWait",
                        "frame.ToFront"};
    std::vector<uint8_t> body(27, 0x11);
    EXPECT_FALSE(router->OnNotify(211000, body.data(), body.size()));
    EXPECT_EQ(w.log, ended);
    w.log.clear();
    EXPECT_FALSE(router->OnNotify(211000, nullptr, 28));
    EXPECT_EQ(w.log, ended);
}

TEST(Router, KanPaiAskIgnoredWhenRejectedOrFlaggedAtByte164) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> ask = Words(1, {{0, 1003}});
    w.rejectKanPai = 1;
    EXPECT_TRUE(router->OnNotify(221050, ask.data(), ask.size()));
    EXPECT_TRUE(w.log.empty());
    w.rejectKanPai = 0;
    w.app.SeatMutable(3)->setWord(framework::PlayerRecord::kMark2, 1);
    EXPECT_TRUE(router->OnNotify(221050, ask.data(), ask.size()));
    EXPECT_TRUE(w.log.empty());
    // Another asker without the flag is shown.
    ask = Words(1, {{0, 1002}});
    EXPECT_TRUE(router->OnNotify(221050, ask.data(), ask.size()));
    EXPECT_EQ(w.log, CallLog{"players.ShowKanPaiAsk 1002"});
}

TEST(Router, WaitNoticeAndTableInfoOnlyWhenNotPlaying) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> b(2000, 0);
    w.playing = 1;
    EXPECT_FALSE(router->OnNotify(211300, nullptr, 0));  // no wait notice while playing
    EXPECT_FALSE(router->OnNotify(211700, b.data(), b.size()));
    w.playing = 0;
    w.mainWindow = false;
    EXPECT_FALSE(router->OnNotify(211700, b.data(), b.size()));
    EXPECT_TRUE(w.log.empty());
}

TEST(Router, TableInfoResetsTheDrawingSeatsAndTellsAnAdvertScorePane) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> info = Words(17, {{2, 5}, {3, 2}, {4, 0}});
    ASSERT_TRUE(router->OnNotify(211700, info.data(), info.size()));
    EXPECT_EQ(w.log, (CallLog{"table.OnNotify211700", "scene.OnTableDrawReset"}));
    w.log.clear();
    w.score.advertBet = true;
    ASSERT_TRUE(router->OnNotify(211700, info.data(), info.size()));
    EXPECT_EQ(w.log.back(), "score.DealResult(68)");
    w.log.clear();
    w.withPanes = false;
    ASSERT_TRUE(router->OnNotify(211700, info.data(), info.size()));
    EXPECT_EQ(w.log, CallLog{"scene.OnTableDrawReset"});
}

// Table information the framework refuses (a player more than the body holds) is refused
// whole: no seat reset, nothing for an advert score pane.
TEST(Router, TableInfoTheFrameworkRefusesIsRefusedWhole) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    w.score.advertBet = true;
    std::vector<uint8_t> info = Words(17, {{2, 5}, {3, 2}, {4, 1}});
    EXPECT_FALSE(router->OnNotify(211700, info.data(), info.size()));
    EXPECT_TRUE(w.log.empty()) << w.log.front();
}

// A player count outside the table's chairs is no reason to refuse: every entry the body
// holds for it is placed by its own chair, so the table is reset and an advert score pane
// told as for any other count. Only a body without the entries its count names is refused.
TEST(Router, TableInfoWithACountOutsideTheChairsIsTaken) {
    struct Case {
        int32_t players;
        size_t words;
        bool taken;
    } cases[] = {{-1, 17, true},
                 {INT32_MIN, 17, true},
                 {9, 17 + 34 * 9, true},
                 {9, 17 + 34 * 9 - 1, false},
                 {INT32_MAX, 17 + 34 * 9, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.players) + " players in " + std::to_string(c.words));
        RouterWorld w;
        auto router = test::MakeRouter(w);
        w.score.advertBet = true;
        std::vector<uint8_t> info = Words(c.words, {{2, 5}, {3, 2}, {4, c.players}});
        EXPECT_EQ(router->OnNotify(211700, info.data(), info.size()), c.taken);
        if (c.taken)
            EXPECT_EQ(w.log, (CallLog{"table.OnNotify211700", "scene.OnTableDrawReset",
                                      "score.DealResult(" + std::to_string(c.words * 4) + ")"}));
        else
            EXPECT_TRUE(w.log.empty()) << w.log.front();
    }
}

TEST(Router, RankingRefreshOnlyWithTextAndAnAdvertScorePane) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> deal = Words(233, {});
    w.score.advertBet = true;
    ASSERT_TRUE(router->OnNotify(211040, deal.data(), deal.size()));
    EXPECT_EQ(w.log.back(), "scene.OnGameReset");
    w.scoreBoard = "x";
    w.score.advertBet = false;
    ASSERT_TRUE(router->OnNotify(211040, deal.data(), deal.size()));
    EXPECT_EQ(w.log.back(), "scene.OnGameReset");
    w.score.advertBet = true;
    std::vector<uint8_t> result = Bytes(1652);
    ASSERT_TRUE(router->OnNotify(211080, result.data(), result.size()));
    EXPECT_EQ(w.log.back(), "score.RefreshRanking 刷新排名");
}

TEST(Router, MissingPanesAndMainWindowAreSkipped) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> result = Bytes(1652);
    w.mainWindow = false;
    ASSERT_TRUE(router->OnNotify(211080, result.data(), result.size()));
    EXPECT_EQ(w.log.back(), "scene.OnGameEnd(1652)");  // no round end without a main window
    w.log.clear();
    w.withPanes = false;
    ASSERT_TRUE(router->OnNotify(211080, result.data(), result.size()));
    EXPECT_EQ(w.log, CallLog{"scene.OnGameEnd(1652)"});
    w.log.clear();
    std::vector<uint8_t> gone = Words(7, {{1, 1}});
    ASSERT_TRUE(router->OnNotify(211000, gone.data(), gone.size()));
    EXPECT_EQ(w.log, (CallLog{"frame.ClearTableActive", "app.HideCommWait", "frame.ToFront"}));
    w.log.clear();
    std::vector<uint8_t> text = TextAt32("a");
    ASSERT_TRUE(router->OnNotify(211400, text.data(), text.size()));
    EXPECT_EQ(w.scoreBoard, "a");
    EXPECT_TRUE(w.log.empty());
}

TEST(Router, DealRecordHookIsANewDeal) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> deal = Words(233, {{8, 2}});
    router->OnSeatsAssignedTail(framework::Body{deal.data(), deal.size()});
    EXPECT_EQ(w.info.GetDealNumber(), 2);
    EXPECT_EQ(w.log.back(), "scene.OnGameReset");
}

TEST(Router, UnknownIdsFallThroughAndDoNothing) {
    RouterWorld w;
    auto router = test::MakeRouter(w);
    std::vector<uint8_t> b = Bytes(64);
    EXPECT_FALSE(router->OnNotify(123456, b.data(), b.size()));
    EXPECT_TRUE(w.log.empty());
}

}  // namespace
}  // namespace hqlv::mahjong
