// The application, the main frame and the engine host view: settings, the playing flag,
// the scene mode, the network recovery, the layout and the game entry of the panes, the
// close questions, and the view's timers, hover and frame pacing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "engine/core/game_base.h"
#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"
#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/widgets/report_list.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/panes/mj_panes.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/panes/mj_tool_view.h"
#include "netlib/message.h"
#include "platform/core/audio.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/profile.h"
#include "platform/core/wait_pump.h"
#include "platform/ui/cursor.h"
#include "platform/ui/ui_loop.h"
#include "router_doubles.h"
#include "socket_owner.h"
#include "tests/framework/qt_test_app.h"
#include "tools/server/game_server.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

std::string TempIni() {
    std::string dir = "/tmp/hqlv-c1-app-" + std::to_string(getpid()) + "/";
    platform::makeFolders(dir);
    return dir + "HqLv.ini";
}

struct TestAppEx : CGameAppEx {
    bool ExecGameSetDialog(GameSetValues& v) override {
        ++dialogs;
        if (!accept) {
            v.silence = 9;  // a dialog that changes its copy and is cancelled
            return false;
        }
        v = offered;
        return true;
    }
    std::string SettingsPath() override { return ini; }
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    std::string ini = TempIni();
    bool accept = false;
    GameSetValues offered;
    int dialogs = 0;
};

class AppTest : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        std::remove(app.ini.c_str());
    }
    TestAppEx app;
};

TEST_F(AppTest, SettingsDefaultToQuickCatchOnlyAndAreAllWrittenBack) {
    app.LoadGameSet();
    // silence, rejectKanPaiAsk, quickCatch, voice as the accessors give them back
    EXPECT_EQ((std::vector<int>{app.IsSilent(), app.IsRejectKanPaiAsk(), app.IsQuickCatch(),
                                app.GetVoiceSetting()}),
              (std::vector<int>{0, 0, 1, 0}));
    app.SetSettings({1, 1, 0, 2});
    app.SaveGameSet();
    TestAppEx again;
    again.ini = app.ini;
    again.LoadGameSet();
    EXPECT_EQ((std::vector<int>{again.IsSilent(), again.IsRejectKanPaiAsk(), again.IsQuickCatch(),
                                again.GetVoiceSetting()}),
              (std::vector<int>{1, 1, 0, 2}));
}

TEST_F(AppTest, SettingsDialogCancelChangesNothingOkKeepsWithoutWriting) {
    app.SetSettings({0, 0, 1, 0});
    EXPECT_FALSE(app.DoGameSetDialog());
    EXPECT_EQ(app.settings().silence, 0);
    app.accept = true;
    app.offered = {1, 1, 0, 1};
    EXPECT_TRUE(app.DoGameSetDialog());
    EXPECT_EQ(app.settings().voice, 1);
    EXPECT_EQ(app.dialogs, 2);
    EXPECT_FALSE(std::ifstream(app.ini).good());
}

TEST_F(AppTest, IsPlayingFollowsTheScenesFlagInTheEngineMode) {
    struct Case {
        int mode, running, playing;
    } cases[] = {{2, 1, 1}, {2, 2, 0}, {2, 0, 0}, {1, 1, 0}};  // mode 1: the framework's answer
    for (const Case& c : cases) {
        app.SetSceneMode(c.mode);
        app.scene().SetGameRunning(c.running);
        EXPECT_EQ(app.IsPlaying(), c.playing) << c.mode << " " << c.running;
    }
}

TEST_F(AppTest, StartUpTakesTheScenesModeAndFourPlayers) {
    EXPECT_EQ(app.GetSceneMode(), 1);
    // Without the hall's command line the framework's start fails, after the mode is set.
    EXPECT_FALSE(app.InitInstance(""));
    const CSeatGeometry* holders[] = {&app.tableDraw(), &app.gameInfo(), &app.scene().Geometry()};
    for (const CSeatGeometry* g : {holders[0], holders[1]}) EXPECT_EQ(g->GetSceneMode(), 2);
    EXPECT_EQ(app.GetSceneMode(), 2);
    app.SetSceneValue2(7);
    app.SetSceneValue3(2);
    app.SetPlayerCount(3);
    for (const CSeatGeometry* g : holders) {
        EXPECT_EQ(g->GetSceneValue2(), 7);
        EXPECT_EQ(g->GetSceneValue3(), 2);
        EXPECT_EQ(g->GetPlayerCount(), 3);
    }
}

TEST_F(AppTest, TheSceneHostAnswersFromTheEntryAndTheRecords) {
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|21303|0|0|0"));
    framework::PlayerRecord* seat = app.SeatMutable(1);
    seat->setWord(framework::PlayerRecord::kUserId, 555);
    seat->setWord(framework::PlayerRecord::kValue1, 1);
    seat->setText(framework::PlayerRecord::kNameOff, 32, "south");
    CMJSceneHost& host = app.SceneHost();
    EXPECT_EQ(host.GetChairNo(), 2);
    EXPECT_EQ(host.GetSeatName(1), "south");
    EXPECT_EQ(host.GetSeatVoiceKind(1), 1);
    EXPECT_EQ(host.GetSeatVoiceKind(8), -1);
    EXPECT_EQ(host.GetSeatVoiceKind(-1), -1);
    // No main window: no table pane to measure.
    EXPECT_EQ(host.GetTableViewWidth(), 0);
    app.SetSettings({1, 0, 1, 2});
    EXPECT_EQ(host.PlaySoundId(29015, 0), 1);  // muted: the mute value, nothing played
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(host.IsSmallScreen(), screen.height() < 601 ? 1 : 0);
    // The router's side without a main frame: no panes, and the window calls do nothing.
    CMJRouterHost& router = app.RouterHost();
    EXPECT_EQ(router.MJChat(), nullptr);
    EXPECT_EQ(router.ScorePane(), nullptr);
    router.BringMainWindowToFront();
    router.DestroyMainWindow();
}

TEST_F(AppTest, PlayerInformationNeedsAWholeRecordAndATableChair) {
    struct Shown : TestAppEx {
        void ShowPlayerInfoDialog(const framework::PlayerRecord& r) override { shown.push_back(r); }
        std::vector<framework::PlayerRecord> shown;
    } a;
    a.SeatMutable(3)->setText(framework::PlayerRecord::kNameOff, 32, "seat3");
    std::vector<uint8_t> record(320, 0);
    a.ShowPlayerInfo(record.data(), 319);
    EXPECT_TRUE(a.shown.empty());
    a.ShowPlayerInfo(nullptr, 320);
    EXPECT_TRUE(a.shown.empty());
    test::PutWord(record, 37, 1);
    test::PutWord(record, 36, 3);
    a.ShowPlayerInfo(record.data(), record.size());
    ASSERT_EQ(a.shown.size(), 1u);
    EXPECT_EQ(a.shown[0].text(192, 128), "seat3");
    for (int chair : {-1, 8, 1 << 20}) {
        test::PutWord(record, 36, chair);
        a.ShowPlayerInfo(record.data(), record.size());
        EXPECT_EQ(a.shown.back().text(192, 128), "") << chair;
    }
    test::PutWord(record, 37, 0);
    test::PutWord(record, 36, 3);
    a.ShowPlayerInfo(record.data(), record.size());
    EXPECT_EQ(a.shown.back().text(192, 128), "");
}

// ---- network recovery ---------------------------------------------------------------------

struct RecoveryApp : CMJGameApp {
    using CMJGameApp::SetStandalone;
    RecoveryApp() : CMJGameApp("HqLv", 21303, 2, 1), scene(log), draw(log) {
        info.SetHost(&SceneHost());
        draw.SetHost(&SceneHost());
        scene.SetSceneHost(&SceneHost());
    }
    CMJGameScene2* GetGameScene() override { return &scene; }
    CMJTableDraw* GetTableDraw() override { return &draw; }
    CMJGameInfo* GetGameInfo() override { return &info; }
    void NetworkPause(int ms) override {
        log.push_back("pause " + std::to_string(ms));
        if (onPause) onPause();
    }
    void RealPause(int ms) { CMJGameApp::NetworkPause(ms); }
    std::function<void()> onPause;
    int NetworkErrorBox(const std::string& text) override {
        log.push_back("box " + text);
        if (onBox) onBox();
        return 1;
    }
    std::function<void()> onBox;
    test::CallLog log;
    test::RecordingScene scene;
    test::RecordingDraw draw;
    CGameInfoEx info;
};

// Starts the local server and connects the application to it, as the hall's command line
// names it.
void ConnectToServer(framework::CGameApp& app, server::GameServer& server,
                     test::SocketOwner& owner) {
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|" +
                                         std::to_string(server.Port()) + "|4|0|9"));
    framework::CGameConnection* conn = app.GetConnection();
    conn->InitCodec();
    conn->SetOwnerThread(owner.loop.threadId());
    int flag = 0;
    ASSERT_NE(conn->Connect("", "127.0.0.1", server.Port(), &flag), 0);
}

// The application's communication thread for one test (its wait dialog, and the pump of the
// UI thread's waits), with a hall channel of its own.
struct CommThreadRunning {
    explicit CommThreadRunning(framework::CGameApp& a) : app(a) {
        platform::makeFolders(runtime);
        setenv("HQLV_RUNTIME_DIR", runtime.c_str(), 1);
        previous = platform::setHallChannel(&hall);
        started = app.CreateCommThread();
    }
    ~CommThreadRunning() {
        app.StopCommThread();
        platform::setHallChannel(previous);
        unsetenv("HQLV_RUNTIME_DIR");
    }
    framework::CGameApp& app;
    const std::string runtime = "/tmp/hqlv-c1-app-" + std::to_string(getpid()) + "/run";
    platform::RecordingHallChannel hall;
    platform::HallChannel* previous = nullptr;
    bool started = false;
};

class Recovery : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ASSERT_NO_FATAL_FAILURE(ConnectToServer(app, server, owner));
        app.SetSceneMode(2);
    }
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    test::SocketOwner owner;
    RecoveryApp app;
};

TEST_F(Recovery, TriesUntilTheGameDataComesThenRebuildsTheTable) {
    struct Case {
        int mode, failures;
        test::CallLog log;
    } cases[] = {
        {2, 0, {"scene.ResetTable", "scene.RebuildTable", "scene.Redraw 100"}},
        {2, 1, {"pause 3000", "scene.ResetTable", "scene.RebuildTable", "scene.Redraw 100"}},
        {1, 0, {"draw.RefreshAll", "scene.RebuildTable"}},
        {2,
         3,
         {"pause 3000", "pause 3000", "pause 3000", "box 您的网络出现了异常，请重新登录大厅。"}},
    };
    int requests = 0;
    for (const Case& c : cases) {
        app.SetSceneMode(c.mode);
        app.log.clear();
        server.SetReply(201140, server::Reply{c.failures ? 99 : 10, test::Words(233, {{8, 12}})});
        int failed = 0;
        app.onPause = [&] {
            if (++failed == c.failures) server.SetReply(201140, server::Reply{10, {9}});
        };
        app.OnNetworkError();
        EXPECT_EQ(app.log, c.log) << c.mode << " " << c.failures;
        requests += std::min(c.failures + 1, 3);
    }
    EXPECT_EQ(app.info.GetDealNumber(), 12);  // the first reply landed in the deal area
    EXPECT_TRUE(server.WaitForRequest(201140, 1000, requests));
    EXPECT_FALSE(server.WaitForRequest(201140, 100, requests + 1));
}

// The recovery runs inside the failed request's call: its tries and the pauses between them
// block the table behind the wait cursor, as the request did, with no wait text of their
// own; the cursor is gone once the table is rebuilt, and before the box after the third
// failure.
TEST_F(Recovery, TheTriesAndPausesRunUnderTheWaitCursorWithoutAWaitText) {
    CommThreadRunning comm(app);
    ASSERT_TRUE(comm.started);
    for (int failures : {2, 3}) {
        SCOPED_TRACE(failures);
        std::vector<int> cursors;
        std::vector<bool> shown;
        app.onPause = [&] {
            app.PumpFor(150);  // the pause, as the recovery makes it
            cursors.push_back(platform::ui::WaitCursor::depth());
            shown.push_back(app.waitDialog()->isVisible());
            if (int(cursors.size()) == failures) server.SetReply(201140, server::Reply{10, {9}});
        };
        app.onBox = [&] { cursors.push_back(platform::ui::WaitCursor::depth()); };
        server.SetReply(201140, server::Reply{99, {}});
        app.log.clear();
        app.OnNetworkError();
        if (failures == 2) {
            EXPECT_EQ(cursors, (std::vector<int>{1, 1}));
            EXPECT_EQ(app.log.back(), "scene.Redraw 100");
        } else {
            EXPECT_EQ(cursors, (std::vector<int>{1, 1, 1, 0}));  // the box comes without it
            EXPECT_EQ(app.log.back(), "box 您的网络出现了异常，请重新登录大厅。");
        }
        EXPECT_EQ(shown, std::vector<bool>(size_t(failures), false));
        EXPECT_EQ(platform::ui::WaitCursor::depth(), 0);
        EXPECT_FALSE(app.waitDialog()->isVisible());
    }
}

// The real pause keeps the windows painting: the pump runs all through it.
TEST(RecoveryPause, ThePausePumps) {
    framework::testing::SharedQtApp();
    RecoveryApp app;
    int pumped = 0;
    platform::WaitPump previous = platform::setWaitPump([&] { ++pumped; });
    const uint32_t start = platform::tickMs();
    app.RealPause(200);
    EXPECT_GE(platform::tickElapsed(start, platform::tickMs()), 200u);
    EXPECT_GE(pumped, 3);
    platform::setWaitPump(std::move(previous));
}

TEST_F(Recovery, WithoutTheHallNothingHappens) {
    app.SetStandalone(true);
    app.OnNetworkError();
    EXPECT_TRUE(app.log.empty());
    EXPECT_FALSE(server.WaitForRequest(201140, 100));
}

// ---- this game's application on a connection ---------------------------------------------

class ConnectedApp : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ASSERT_NO_FATAL_FAILURE(ConnectToServer(app, server, owner));
        // The user sits at chair 0 of table 17 (the entry request is made from the own record).
        const std::vector<uint8_t> seats =
            test::Words(16 + 34, {{1, 17}, {2, 1}, {3, 123456}, {16, 123456}});
        ASSERT_TRUE(app.OnSeatAssigned(seats.data(), seats.size()));
    }
    // A table-full answer: the player list (the user, then user 7) and the table data.
    static std::vector<uint8_t> PlayerList(const std::vector<uint8_t>& tableData) {
        std::vector<uint8_t> list =
            test::Words(15 + 2 * 34, {{2, 2}, {15, 123456}, {15 + 34, 7}, {15 + 34 + 4, 1}});
        list.insert(list.end(), tableData.begin(), tableData.end());
        return list;
    }
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    test::SocketOwner owner;
    TestAppEx app;
};

// A waited mahjong request whose answer is slow blocks the table behind the wait cursor
// alone: however long it waits, no wait text comes up.
TEST_F(ConnectedApp, ASlowAnswerWaitsUnderTheCursorWithoutAWaitText) {
    CommThreadRunning comm(app);
    ASSERT_TRUE(comm.started);
    const platform::WaitPump appPump = platform::setWaitPump({});
    std::vector<int> cursors;
    int shown = 0;
    platform::setWaitPump([&] {
        appPump();
        cursors.push_back(platform::ui::WaitCursor::depth());
        shown += app.waitDialog()->isVisible();
    });
    server.SetReply(229000, server::Reply{10, test::Words(8, {{1, 33}})});
    server.SetReplyDelay(229000, 700);
    std::string error;
    std::array<uint8_t, 32> out{};
    const std::vector<uint8_t> body = test::Words(24, {{0, 123456}, {1, 301}, {2, 17}, {3, 2}});
    EXPECT_EQ(app.GetMJClient()->SendDrawTile(error, body, out), 1) << error;
    EXPECT_EQ(test::Words(8, {{1, 33}}), std::vector<uint8_t>(out.begin(), out.end()));
    ASSERT_GE(cursors.size(), 20u);  // pumped through the whole wait, past its first 300 ms
    EXPECT_EQ(std::count(cursors.begin(), cursors.end(), 2), std::ptrdiff_t(cursors.size()));
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(app.waitDialog()->isVisible());
}

// A table that is full answers the entry with its player list (200510); table data after the
// entries land in the deal area, as far as it reaches.
TEST_F(ConnectedApp, TableDataAfterThePlayerListFillTheDealArea) {
    const struct {
        size_t tail;
        size_t copied;
    } cases[] = {
        {233 * 4, 233 * 4},
        {kDealAreaBytes, kDealAreaBytes},
        {kDealAreaBytes + 9, kDealAreaBytes},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        ++round;
        std::vector<uint8_t> tableData;
        for (size_t k = 0; k < c.tail; ++k) tableData.push_back(uint8_t(k * 7 + size_t(round)));
        server.SetReply(200110, server::Reply{200510, PlayerList(tableData)});
        std::string text;
        ASSERT_EQ(app.GetConnection()->EnterGame(text), 1) << text;
        EXPECT_EQ(app.GetSeatUserID(0), 123456);
        EXPECT_EQ(app.GetSeatUserID(1), 7);
        EXPECT_TRUE(app.HasTableData());
        const std::span<const uint8_t> deal = app.GetGameInfo()->GetRoundRecord();
        ASSERT_EQ(deal.size(), kDealAreaBytes);
        EXPECT_TRUE(
            std::equal(tableData.begin(), tableData.begin() + long(c.copied), deal.begin()));
    }
    // The deal state reads from there: its deal number is word 8.
    server.SetReply(200110, server::Reply{200510, PlayerList(test::Words(233, {{8, 12}}))});
    std::string text;
    ASSERT_EQ(app.GetConnection()->EnterGame(text), 1) << text;
    EXPECT_EQ(app.GetGameInfo()->GetDealNumber(), 12);
}

// The client's run: its application goes from start-up to its end and is destroyed (its
// objects still reach the sound service as they go), then the service is let go of.
int RunClientCheck() {
    static int argc = 1;
    static char name[] = "hqlv";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    struct ExitingApp : CMJGameApp {
        ExitingApp() : CMJGameApp("HqLv", 21303, 2, 1) {}
        ~ExitingApp() override { platform::audio()->closeMusic(); }
        bool InitInstance(const std::string&) override { return false; }
    };
    auto rec = std::make_shared<platform::RecordingAudio>();
    platform::installAudio(rec);
    int runs = 0;
    const int rc = RunClient(
        [&runs]() -> std::unique_ptr<framework::CGameApp> {
            ++runs;
            return std::make_unique<ExitingApp>();
        },
        argc, argv);
    int failures = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "failed: %s\n", what);
            ++failures;
        }
    };
    check(rc == 0 && runs == 1, "one application, run to its end");
    const auto calls = rec->calls();
    check(calls.size() == 1 && calls[0].kind == platform::RecordingAudio::Kind::kCloseMusic,
          "the application's teardown reached the service");
    check(rec.use_count() == 1, "the service was let go of");
    return failures;
}

TEST(ClientExit, TheSoundServiceIsLetGoOfOnceTheApplicationIsGone) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(RunClientCheck()), ::testing::ExitedWithCode(0), "");
}

// ---- the frame -----------------------------------------------------------------------------

struct DiagCapture {
    DiagCapture() {
        previous = platform::setDiagSink([this](std::string_view line) {
            std::lock_guard<std::mutex> g(mu);
            lines.emplace_back(line);
        });
    }
    ~DiagCapture() { platform::setDiagSink(previous); }
    std::vector<std::string> Entered() {
        std::lock_guard<std::mutex> g(mu);
        std::vector<std::string> out;
        for (const std::string& l : lines)
            if (l.rfind("pane ", 0) == 0 && l.find(": game entered") != std::string::npos)
                out.push_back(l.substr(5, l.find(':') - 5));
        return out;
    }
    platform::DiagSink previous;
    std::mutex mu;
    std::vector<std::string> lines;
};

struct TestFrame : CGameFrameEx {
    TestFrame(CGameAppEx& app, bool chatFails) : CGameFrameEx(app), chatFails_(chatFails) {
        CreateClient();
    }
    framework::CGameFormView* CreateChatPane() override {
        return chatFails_ ? nullptr : CGameFrameEx::CreateChatPane();
    }
    int DoExitRequestDialog() override {
        log.push_back("exit dialog");
        return exitAnswer;
    }
    int ConfirmBox(const std::string& text, int style) override {
        log.push_back(text + " " + std::to_string(style));
        return boxAnswer;
    }
    bool chatFails_;
    int exitAnswer = 2, boxAnswer = 1;
    std::vector<std::string> log;
};

class FrameTest : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
        app.SetSceneMode(2);
    }
    TestAppEx app;
};

TEST_F(FrameTest, GameEnteredGoesToChatPlayersTableThenOneAdvertBlock) {
    TestFrame frame(app, false);
    DiagCapture diag;
    platform::Message m;
    m.id = framework::kMsgGameEntered;
    platform::send(frame.hwnd(), m);
    EXPECT_EQ(diag.Entered(), (std::vector<std::string>{"chat", "players", "table"}));
    platform::ui::processUiEvents(50);
    EXPECT_EQ(diag.Entered(), (std::vector<std::string>{"chat", "players", "table", "score"}));
    auto* score = dynamic_cast<CAdHistoryView*>(frame.GetInfoPane());
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->advertUrl(), app.GetAdvertWindowUrl());
    EXPECT_EQ(frame.GetOperateView()->gameEnteredCount(), 0);
    EXPECT_NE(frame.GetChatView(), nullptr);
    EXPECT_NE(frame.GetMJChat(), nullptr);
    EXPECT_EQ(frame.GetToolView(), nullptr);
    EXPECT_TRUE(frame.GetMJTableView()->started());
}

TEST_F(FrameTest, ScoreBoardTextsAreTakenAndFreedByTheScorePane) {
    CAdHistoryView pane;
    ASSERT_TRUE(pane.PostScoreBoardText("排行"));
    ASSERT_TRUE(pane.PostScoreBoardText("第二"));
    platform::ui::processUiEvents(50);
    EXPECT_EQ(pane.textsTaken(), 2);
    EXPECT_EQ(pane.scoreBoardText(), "第二");
    // A game entry without an advert block is the plain pane's.
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    platform::send(pane.hwnd(), entered);
    EXPECT_EQ(pane.gameEnteredCount(), 1);
    EXPECT_EQ(pane.advertUrl(), "");
    // A pane that goes before its message is handled: the text is freed with the message.
    auto* gone = new CAdHistoryView();
    ASSERT_TRUE(gone->PostScoreBoardText(std::string(300, 'x')));
    delete gone;
    platform::ui::processUiEvents(50);
}

TEST_F(FrameTest, FallbackChatPaneAnswersNothingAndIsSkipped) {
    TestFrame frame(app, true);
    EXPECT_TRUE(frame.fallbackChat());
    EXPECT_EQ(frame.GetChatView(), nullptr);
    EXPECT_EQ(frame.GetMJChat(), nullptr);
    DiagCapture diag;
    frame.OnGameEntered();
    EXPECT_EQ(diag.Entered(), (std::vector<std::string>{"players", "table"}));
    // Chat lines of the router have nowhere to go.
    EXPECT_FALSE(app.SendChatViewMessage("x\r\n"));
}

TEST_F(FrameTest, LayoutSizesComeFromTheDealState) {
    TestFrame frame(app, false);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    int expected = screen.width() * 14 / 18 - (screen.height() < 601 ? 10 : 0);
    EXPECT_EQ(frame.tableWidth(), expected);
    EXPECT_EQ(frame.GetPaneRowHeight(), app.gameInfo().GetPlayerListHeight());
    EXPECT_EQ(frame.GetMJTableView()->engine(), &app.scene());
    EXPECT_EQ(app.scene().LogicalSize().width, kSceneWidth);
    EXPECT_EQ(app.scene().LogicalSize().height, kSceneHeight);
}

// The frame gives its table view the initial update once the view stands in its cell: the
// engine's screen is up when the frame is made, at the view's size.
TEST_F(FrameTest, TheFrameGivesItsTableViewItsInitialUpdateInItsCell) {
    TestFrame frame(app, false);
    CMJGameTableView2* view = frame.GetMJTableView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(app.scene().ScreenReady());
    EXPECT_EQ(app.scene().DeviceSize().width, view->width());
    EXPECT_EQ(app.scene().DeviceSize().height, view->height());
}

// A frame of any width gives the table seven ninths of it (10 less on a small screen) and
// the column of panes the rest, down to the 800 pixels of the smallest screen; a change of
// height alone leaves a dragged bar where it is.
TEST_F(FrameTest, TheColumnsFollowTheFramesWidth) {
    TestFrame frame(app, false);
    frame.show();
    for (int w : {1280, 1024, 800, 1100}) {
        frame.resize(w, 650);
        platform::ui::processUiEvents(20);
        const QList<int> sizes = frame.mainSplitter()->sizes();
        ASSERT_EQ(sizes.size(), 2);
        const int table = app.gameInfo().GetTableWidth(w);
        EXPECT_EQ(table, w * 7 / 9 - (app.IsSmallScreen() ? 10 : 0));
        EXPECT_EQ(frame.tableWidth(), table) << w;
        EXPECT_EQ(sizes[0], table) << w;
        // The column takes what is left beside the bar, inside the splitter's border.
        const QMargins border = frame.mainSplitter()->contentsMargins();
        EXPECT_EQ(sizes[0] + sizes[1] + frame.mainSplitter()->handleWidth() + border.left() +
                      border.right(),
                  w)
            << w;
        EXPECT_GT(sizes[1], 150) << w;
    }
    frame.mainSplitter()->setSizes({700, 400});
    frame.resize(1100, 700);
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame.mainSplitter()->sizes()[0], 700);
    frame.LayoutColumns(0);  // no width: nothing changes
    EXPECT_EQ(frame.mainSplitter()->sizes()[0], 700);
}

// The player list and the tool row as this game's frame and the mahjong layer's frame
// make them, and as any other maker does: each pane has its initial update with its making.
TEST_F(FrameTest, PanesHaveTheirInitialUpdateWhoeverMakesThem) {
    const QColor listColour(0xF0, 0xFF, 0xFF);  // the application's 0xFFFFF0
    TestFrame frame(app, false);
    auto* list = dynamic_cast<CGamePlayerViewEx*>(frame.GetPlayerPane());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->list()->palette().color(QPalette::Base), listColour);
    CGamePlayerViewEx alone(app);
    EXPECT_EQ(alone.list()->palette().color(QPalette::Base), listColour);
    CMJGamePlayerView layer(app);
    EXPECT_EQ(layer.list()->palette().color(QPalette::Base), listColour);
    CMJToolView tool;
    ASSERT_NE(tool.button(1), nullptr);
    ASSERT_NE(tool.button(2), nullptr);
    tool.show();
    tool.resize(200, 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(tool.button(1)->geometry(), QRect(8, 7, 55, 16));
    EXPECT_EQ(tool.button(2)->geometry(), QRect(88, 8, 71, 15));
}

// A player-gone body too short for the box's words still ends the game at the table: the
// real frame's engine table stops its turn clock, and no box comes up.
TEST_F(FrameTest, APlayerGoneTooShortForTheBoxStillStopsTheTurnClock) {
    TestFrame frame(app, false);
    app.SetFrame(&frame);
    CMJGameTableView2* table = frame.GetMJTableView();
    ASSERT_NE(table, nullptr);
    table->StartClockTimer();
    ASSERT_EQ(table->clockTimer(), CMJGameTableView2::kClockTimerId);
    auto boxes = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<framework::CGameMsgBoxModelessDlg*>(w)) ++n;
        return n;
    };
    const int before = boxes();
    const std::vector<uint8_t> body = test::Words(6, {{1, 1}, {2, 1}});
    EXPECT_FALSE(app.GetGameNotify()->OnNotify(211000, body.data(), body.size()));
    EXPECT_EQ(table->clockTimer(), 0u);
    EXPECT_EQ(boxes(), before);
    app.SetFrame(nullptr);
}

TEST_F(FrameTest, TwoExitRequestsThenTheConfirmationBox) {
    TestFrame frame(app, false);
    // {requests sent from the own chair, dialog answer, box answer} → close
    struct Case {
        int sent, exitAnswer, boxAnswer, close;
        const char* log;
    } cases[] = {
        {0, 1, 2, 1, "exit dialog"},
        {1, 2, 1, 0, "exit dialog"},
        {2, 1, 2, 0, "游戏还没有结束，现在退出要扣你分，还要扣你银子。确定退出吗？ 33"},
        {5, 2, 1, 1, "游戏还没有结束，现在退出要扣你分，还要扣你银子。确定退出吗？ 33"},
    };
    app.ExitRequestCount(1) = 5;  // another chair's count does not count
    for (const Case& c : cases) {
        app.ExitRequestCount(app.GetChairNo()) = c.sent;
        frame.exitAnswer = c.exitAnswer;
        frame.boxAnswer = c.boxAnswer;
        frame.log.clear();
        EXPECT_EQ(frame.ConfirmQuit(), c.close) << c.sent;
        EXPECT_EQ(frame.log, std::vector<std::string>{c.log});
    }
    EXPECT_EQ(&app.ExitRequestCount(-1), &app.ExitRequestCount(99));
    // Leaving forbidden: the other box, and the game goes on.
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|16384|0|0"));
    frame.log.clear();
    EXPECT_EQ(frame.ConfirmQuit(), 0);
    EXPECT_EQ(frame.log,
              std::vector<std::string>{"生命不息，战斗不止，请继续游戏。\r\n("
                                       "如果有玩家长时间不活动，请您等待2分钟后再退出) 0"});
}

// ---- the host view -------------------------------------------------------------------------

struct CountingScene : CMJGameScene2 {
    void OnScreenReady() override { ++screens; }
    void OnStart() override { ++starts; }
    void OnStarted() override { ++gameStarts; }
    void OnInitDone() override { ++initDone; }
    void OnMouseEnter() override { ++enters; }
    void ReleaseMouseButtons() override { ++releases; }
    void OnHoverTimer(uint32_t) override { ++hovers; }
    void OnTimer(uint32_t id) override { timers.push_back(id); }
    void OnLogicTick() override { ++frames; }
    int OnMessage(uint32_t code, engine::MessageData&, uint32_t) override {
        messages.push_back(code);
        return 1;
    }
    std::vector<uint32_t> messages;
    void OnLButtonDown(uint32_t, int x, int y) override { presses.emplace_back(x, y); }
    void OnRButtonUp(uint32_t, int x, int y) override { presses.emplace_back(-x, -y); }
    std::vector<std::pair<int, int>> presses;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t flags) override {
        keys.push_back({key, repeat, flags});
    }
    void OnKeyUp(uint32_t key, uint32_t repeat, uint32_t flags) override {
        keys.push_back({key | 0x80000000u, repeat, flags});
    }
    std::vector<std::array<uint32_t, 3>> keys;  // a release's key has the top bit set
    int frames = 0;
    int screens = 0, starts = 0, gameStarts = 0, initDone = 0, enters = 0, releases = 0, hovers = 0;
    std::vector<uint32_t> timers;
};

struct TestView : CMJGameTableView2 {
    using CMJGameTableView2::CMJGameTableView2;
    QPoint PointerPos() const override { return pointer; }
    QRect ScreenRect() const override { return QRect(0, 0, 100, 100); }
    using CMJGameTableView2::keyPressEvent;
    using CMJGameTableView2::keyReleaseEvent;
    using CMJGameTableView2::mousePressEvent;
    using CMJGameTableView2::mouseReleaseEvent;
    using CMJGameTableView2::onTimer;
    QPoint pointer{500, 500};
};

class ViewTest : public testing::Test {
protected:
    void SetUp() override { view.resize(200, 150); }
    QApplication& qt = framework::testing::SharedQtApp();
    TestAppEx app;
    CountingScene scene;
    TestView view{app};
};

TEST_F(ViewTest, WithoutAnEngineEverythingIsIgnored) {
    view.OnStartEngine();
    view.onTimer(0);
    view.onTimer(12345);
    view.OnHoverTick();
    view.pointer = {10, 10};
    view.OnHoverTick();
    view.OnFrame();
    EXPECT_FALSE(view.grab().isNull());
    EXPECT_FALSE(view.started());
    EXPECT_EQ(view.timersStarted(), 0);
    EXPECT_FALSE(view.frameTimerRunning());
}

// A view with the scene attached; the scene is cleaned up with the test.
class EngineView : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        ASSERT_TRUE(view.AttachEngine(&scene));
    }
    void TearDown() override { scene.Cleanup(); }
};

TEST_F(EngineView, SecondGameEntryRestartsTimersButSetsUpOnce) {
    view.OnInitialUpdate();
    view.OnStartEngine();
    view.OnStartEngine();
    EXPECT_EQ(scene.starts, 1);
    EXPECT_EQ(scene.gameStarts, 1);
    EXPECT_EQ(scene.initDone, 1);
    EXPECT_EQ(view.timersStarted(), 2);
    EXPECT_TRUE(view.frameTimerRunning());
    EXPECT_NE(view.hoverTimerId(), 0u);
    view.StopTimers();
    EXPECT_FALSE(view.frameTimerRunning());
}

// Until the engine has started every set-up of the screen reaches it; from then on none.
TEST_F(EngineView, TheScreenIsSetUpAgainOnlyUntilTheStart) {
    view.InitScreen();
    view.resize(240, 180);
    view.InitScreen();
    EXPECT_EQ(scene.screens, 2);
    EXPECT_EQ(scene.DeviceSize().width, 240);
    view.OnStartEngine();
    view.InitScreen();
    view.OnInitialUpdate();
    EXPECT_EQ(scene.screens, 2);
}

// The real scene: its game data is made at the first game entry only. A second entry
// makes no second set of the table's entities and controls and leaves a running deal
// running.
TEST(EngineViewRealScene, ASecondGameEntryMakesTheTableOnceAndKeepsTheDealRunning) {
    framework::testing::SharedQtApp();
    if (!std::filesystem::exists(std::string(HQLV_BUILD_DIR) +
                                 "/mahjong/skins/Classic/mj_large1024.bmp"))
        GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    TestAppEx app;
    CMJGameScene2& scene = app.scene();
    {
        CMJGameTableView2 view(app);
        view.resize(744, 710);
        ASSERT_TRUE(view.AttachEngine(&scene));
        view.OnInitialUpdate();
        view.OnStartEngine();
        engine::GameKernel& kernel = scene.GetKernel();
        const size_t entities = kernel.GetEntityCount(), controls = kernel.GetControlCount();
        ASSERT_GT(entities, 336u);
        scene.SetGameRunning(1);
        view.OnStartEngine();
        EXPECT_EQ(kernel.GetEntityCount(), entities);
        EXPECT_EQ(kernel.GetControlCount(), controls);
        EXPECT_EQ(scene.IsGameRunning(), 1);
        EXPECT_EQ(view.timersStarted(), 2);
    }
    std::remove(app.ini.c_str());
}

// The game entry starts the 100-ms hover timer on the view: its ticks reach the engine while
// the pointer is over the view.
TEST_F(EngineView, TheGameEntryStartsTheHoverTimer) {
    view.pointer = {10, 10};
    view.OnStartEngine();
    EXPECT_TRUE(QTest::qWaitFor([&] { return scene.hovers >= 2; }, 5000));
    EXPECT_EQ(scene.enters, 1);
}

TEST_F(EngineView, PointerLeavesOnceAndEntersOnce) {
    view.OnStartEngine();
    view.pointer = {10, 10};
    view.OnHoverTick();
    view.OnHoverTick();
    EXPECT_EQ(scene.enters, 1);
    EXPECT_EQ(scene.hovers, 2);
    view.pointer = {300, 10};
    view.OnHoverTick();
    view.OnHoverTick();
    EXPECT_EQ(scene.releases, 1);
    EXPECT_EQ(scene.hovers, 2);
    view.pointer = {99, 99};
    view.OnHoverTick();
    EXPECT_EQ(scene.enters, 2);
    view.pointer = {100, 50};
    view.OnHoverTick();
    EXPECT_EQ(scene.releases, 2);
}

TEST_F(EngineView, OtherTimersGoToTheScene) {
    view.OnStartEngine();
    view.onTimer(CMJGameTableView2::kClockTimerId);
    view.onTimer(7);
    EXPECT_EQ(scene.timers, (std::vector<uint32_t>{10000, 7}));
}

TEST_F(ViewTest, ClockTimerStartsStopsAndRestartsOnlyWhenRunning) {
    view.RestartClockTimer();
    EXPECT_EQ(view.clockTimer(), 0u);
    EXPECT_FALSE(view.KillTimer(0));  // no timer was started in its place
    view.StartClockTimer();
    EXPECT_EQ(view.clockTimer(), CMJGameTableView2::kClockTimerId);
    view.RestartClockTimer();
    EXPECT_EQ(view.clockTimer(), CMJGameTableView2::kClockTimerId);
    view.OnTableStop();
    EXPECT_EQ(view.clockTimer(), 0u);
}

// A tick counter that moves on with every reading and wraps in the middle of a frame.
struct SteppingClock : platform::Clock {
    uint32_t tickMs() override {
        uint32_t t = now;
        now += 7;
        return t;
    }
    platform::LocalTime localTime() override { return {}; }
    // The frame check reads 0xFFFFFFF6, the frame start 0xFFFFFFFD; its end comes after 0.
    uint32_t now = 0xFFFFFFF6u;
};

TEST_F(EngineView, FrameDurationAcrossTheTickWrap) {
    view.OnInitialUpdate();
    SteppingClock clock;
    platform::Clock* previous = platform::setClock(&clock);
    scene.SetFrameInterval(0);
    view.OnFrame();
    platform::setClock(previous);
    EXPECT_GT(view.lastFrameDuration(), 0u);
    EXPECT_LT(view.lastFrameDuration(), 1000u);
    EXPECT_LT(clock.now, 0x1000u);  // the wrap happened
}

TEST_F(EngineView, OneFramePerThirtyMilliseconds) {
    view.OnInitialUpdate();
    platform::ManualClock clock(5000);
    platform::Clock* previous = platform::setClock(&clock);
    view.onTimer(0);  // the frame timer's id
    EXPECT_EQ(scene.frames, 1);
    view.OnFrame();
    EXPECT_EQ(scene.frames, 1);
    // The frame painted: the engine's buffer, stretched over the whole view.
    QImage painted = view.grab().toImage();
    EXPECT_EQ(painted.size(), view.size());
    clock.advance(29);
    view.OnFrame();
    EXPECT_EQ(scene.frames, 1);
    clock.advance(1);
    view.OnFrame();
    EXPECT_EQ(scene.frames, 2);
    platform::setClock(previous);
}

TEST_F(EngineView, AFrameRunsTheDueAppliesAndTheNextPumpsTheirMessages) {
    view.OnInitialUpdate();
    platform::ManualClock clock(5000);
    platform::Clock* previous = platform::setClock(&clock);
    scene.Wait(0, 7777, engine::MessageData{}, 0, 0);
    for (int i = 0; i < 3; ++i) {
        view.OnFrame();
        clock.advance(30);
    }
    platform::setClock(previous);
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{7777});
}

TEST_F(EngineView, InputReachesTheEngineOnceItsScreenIsUp) {
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(12, 34), QPointF(12, 34), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent right(QEvent::MouseButtonRelease, QPointF(5, 6), QPointF(5, 6), Qt::RightButton,
                      Qt::NoButton, Qt::NoModifier);
    view.mousePressEvent(&left);
    view.mouseReleaseEvent(&right);
    EXPECT_TRUE(scene.presses.empty());
    view.OnInitialUpdate();
    view.mousePressEvent(&left);
    view.mouseReleaseEvent(&right);
    view.mouseReleaseEvent(&left);
    EXPECT_EQ(scene.presses, (std::vector<std::pair<int, int>>{{12, 34}, {-5, -6}}));
}

// Keys reach the engine as Windows key messages carry them: Enter as 0x0D with its scan
// code, a held key as repeated presses without the releases the window system puts
// between them, and a key Windows has no code for not at all.
TEST_F(EngineView, KeysReachTheEngineAsWindowsKeyCodes) {
    view.OnInitialUpdate();
    const uint32_t enter = 28 + 8;  // the X key code of evdev 28
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, enter, 0xFF0D, 0, "\r");
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, enter, 0xFF0D, 0, "\r", true);
    QKeyEvent between(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, enter, 0xFF0D, 0, "\r",
                      true);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, enter, 0xFF0D, 0);
    QKeyEvent none(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 0, 0, 0);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 30 + 8, 0x61, 0, "a");
    for (QKeyEvent* e : {&down, &between, &again, &up, &none, &letter}) {
        if (e->type() == QEvent::KeyPress)
            view.keyPressEvent(e);
        else
            view.keyReleaseEvent(e);
    }
    using Key = std::array<uint32_t, 3>;
    EXPECT_EQ(scene.keys,
              (std::vector<Key>{
                  {0x0D, 1, 0x1C}, {0x0D, 1, 0x401C}, {0x8000000D, 1, 0xC01C}, {0x41, 1, 0x1E}}));
}

// The frame timer sleeps while the engine has nothing to do, and whatever gives it work on
// the UI thread wakes it before the event loop waits: at once for a message, at the next
// frame for a change of the canvas. Frames that change nothing repaint nothing.
TEST_F(EngineView, TheFrameTimerWakesOnlyForTheEnginesWork) {
    view.show();  // frames are drawn only for a shown window
    view.OnInitialUpdate();
    view.OnStartEngine();
    auto settle = [&] {
        for (int i = 0; i < 100 && view.frameDueMs() >= 0; ++i) QTest::qWait(10);
    };
    settle();
    EXPECT_EQ(view.frameDueMs(), -1);  // a still table: no timer
    const auto still = view.frameStats();
    QTest::qWait(200);
    EXPECT_EQ(view.frameStats().wakes, still.wakes);
    // A message posted from outside the frame: the loop's hook arms the timer at once.
    scene.GetKernel().PostMessage(7777, engine::MessageData{});
    view.ScheduleFrame();
    EXPECT_EQ(view.frameDueMs(), 0);
    for (int i = 0; i < 50 && scene.messages.empty(); ++i) QTest::qWait(10);
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{7777});
    // A change of the canvas is drawn and painted at the next frame, then all is still.
    const auto before = view.frameStats();
    scene.GetKernel().GetCanvas().InvalidateAll();
    view.ScheduleFrame();
    EXPECT_GE(view.frameDueMs(), 0);
    EXPECT_LE(view.frameDueMs(), 30);
    settle();
    EXPECT_EQ(view.frameDueMs(), -1);
    EXPECT_EQ(view.frameStats().drawn, before.drawn + 1);
    // A frame that finds nothing changed repaints nothing.
    platform::ManualClock clock(5000);
    platform::Clock* previous = platform::setClock(&clock);
    const auto quiet = view.frameStats();
    clock.advance(100);
    view.OnFrame();
    platform::setClock(previous);
    EXPECT_EQ(view.frameStats().frames, quiet.frames + 1);
    EXPECT_EQ(view.frameStats().drawn, quiet.drawn);
    // Stopped, nothing arms it.
    view.StopTimers();
    scene.GetKernel().PostMessage(7778, engine::MessageData{});
    view.ScheduleFrame();
    EXPECT_EQ(view.frameDueMs(), -1);
}

TEST_F(EngineView, NamedCursorsShowAsTheirPictureOrTheirSystemShape) {
    view.OnInitialUpdate();
    engine::EngineCursor picture;
    picture.width = 2;
    picture.height = 3;
    picture.hotX = 1;
    picture.hotY = 2;
    picture.pixels.assign(6, 0xFF00FF00);
    engine::EngineCursor hand;
    hand.systemId = 32649;
    engine::ResourceManager& rm = engine::GetResourceManager();
    ASSERT_TRUE(rm.RegisterCursor("绿", picture));
    ASSERT_TRUE(rm.RegisterCursor("手", hand));
    static const char kGreen[] = "绿";
    static const char kHand[] = "手";
    scene.GetKernel().PostMessage(85, engine::MessageData::Number(uintptr_t(kGreen)));
    view.OnFrame();
    ASSERT_EQ(view.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(view.cursor().hotSpot(), QPoint(1, 2));
    EXPECT_EQ(view.cursor().pixmap().size(), QSize(2, 3));
    // The pointer leaves and comes back: the engine's cursor is shown again, not the view's.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &leave);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&view, &enter);
    ASSERT_EQ(view.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(view.cursor().hotSpot(), QPoint(1, 2));
    scene.GetKernel().PostMessage(85, engine::MessageData::Number(uintptr_t(kHand)));
    view.OnFrame();
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(ViewTest, TheErrorBoxComesUpFromTheEventLoopNotInsideTheCall) {
    std::vector<std::string> lines;
    platform::DiagSink old =
        platform::setDiagSink([&](std::string_view line) { lines.emplace_back(line); });
    view.ShowErrorBox("字体创建 由于以下错误而失败: x", "错误");
    const size_t before = lines.size();
    QCoreApplication::processEvents();
    platform::setDiagSink(std::move(old));
    EXPECT_EQ(before, 0u);
    EXPECT_EQ(lines, std::vector<std::string>{"message box: 字体创建 由于以下错误而失败: x"});
}

TEST_F(ViewTest, AverageFrameTimeOverTheRing) {
    EXPECT_EQ(view.ComputeAverageFrameTime(100), 1);
    for (int i = 0; i < 99; ++i) view.ComputeAverageFrameTime(100);
    EXPECT_EQ(view.ComputeAverageFrameTime(0), 99);
    EXPECT_EQ(view.ComputeAverageFrameTime(200), 100);
}

}  // namespace
}  // namespace hqlv::mahjong
