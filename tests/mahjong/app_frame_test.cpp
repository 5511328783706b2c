// The application, the main frame and the engine host view: settings, the playing flag,
// the scene mode, the network recovery, the layout and the game entry of the panes, the
// close questions, and the view's timers, hover and frame pacing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <cstdio>
#include <fstream>
#include <mutex>

#include "engine/core/game_base.h"
#include "framework/game_app.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/mj_panes.h"
#include "mahjong/mj_table_view.h"
#include "netlib/message.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/ui_loop.h"
#include "router_doubles.h"
#include "socket_owner.h"
#include "words.h"
#include "tests/framework/qt_test_app.h"
#include "tools/server/game_server.h"

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
    EXPECT_EQ(app.settings().quickCatch, 1);
    EXPECT_EQ(app.settings().silence, 0);
    EXPECT_EQ(app.settings().rejectKanPaiAsk, 0);
    EXPECT_EQ(app.settings().voice, 0);
    EXPECT_TRUE(app.IsQuickCatch());
    app.SetSettings({1, 1, 0, 2});
    app.SaveGameSet();
    for (const char* key : {"QuickCatch", "Silence", "RejectKanPaiAsk", "Voice"})
        EXPECT_NE(platform::getProfileInt("GAMESET", key, -7, app.ini), -7) << key;
    EXPECT_EQ(platform::getProfileInt("GAMESET", "QuickCatch", -7, app.ini), 0);
    EXPECT_EQ(platform::getProfileInt("GAMESET", "Voice", -7, app.ini), 2);
    TestAppEx again;
    again.ini = app.ini;
    again.LoadGameSet();
    EXPECT_EQ(again.settings().silence, 1);
    EXPECT_EQ(again.settings().rejectKanPaiAsk, 1);
    EXPECT_EQ(again.IsRejectKanPaiAsk(), 1);
    EXPECT_TRUE(again.IsSilent());
    EXPECT_EQ(again.GetVoiceSetting(), 2);
    EXPECT_FALSE(again.IsQuickCatch());
}

TEST_F(AppTest, SettingsDialogCancelChangesNothingOkKeepsWithoutWriting) {
    app.SetSettings({0, 0, 1, 0});
    EXPECT_FALSE(app.DoGameSetDialog());
    EXPECT_EQ(app.settings().silence, 0);
    app.accept = true;
    app.offered = {1, 1, 0, 1};
    EXPECT_TRUE(app.DoGameSetDialog());
    EXPECT_EQ(app.settings().voice, 1);
    EXPECT_EQ(app.settings().quickCatch, 0);
    EXPECT_EQ(app.dialogs, 2);
    std::ifstream file(app.ini);
    EXPECT_FALSE(file.good());
}

TEST_F(AppTest, IsPlayingFollowsTheScenesFlagInTheEngineMode) {
    app.SetSceneMode(2);
    app.scene().SetGameRunning(1);
    EXPECT_EQ(app.IsPlaying(), 1);
    app.scene().SetGameRunning(2);
    EXPECT_EQ(app.IsPlaying(), 0);
    app.scene().SetGameRunning(0);
    EXPECT_EQ(app.IsPlaying(), 0);
    app.SetSceneMode(1);
    app.scene().SetGameRunning(1);
    EXPECT_EQ(app.IsPlaying(), 0);  // the framework's answer in the GDI mode
}

TEST_F(AppTest, StartUpTakesTheScenesModeAndFourPlayers) {
    EXPECT_EQ(app.GetSceneMode(), 1);
    // Without the hall's command line the framework's start fails, after the mode is set.
    EXPECT_FALSE(app.InitInstance(""));
    EXPECT_EQ(app.GetSceneMode(), 2);
    EXPECT_EQ(app.tableDraw().GetSceneMode(), 2);
    EXPECT_EQ(app.gameInfo().GetSceneMode(), 2);
    EXPECT_EQ(app.tableDraw().GetPlayerCount(), 4);
    EXPECT_EQ(app.scene().Geometry().GetPlayerCount(), 4);
    app.SetSceneValue2(7);
    app.SetSceneValue3(2);
    EXPECT_EQ(app.gameInfo().GetSceneValue2(), 7);
    EXPECT_EQ(app.scene().Geometry().GetSceneValue2(), 7);
    EXPECT_EQ(app.tableDraw().GetSceneValue3(), 2);
    EXPECT_EQ(app.gameInfo().GetSceneValue3(), 2);
    app.SetPlayerCount(3);
    EXPECT_EQ(app.gameInfo().GetPlayerCount(), 3);
}

TEST_F(AppTest, TheSceneHostAnswersFromTheEntryAndTheRecords) {
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|21303|0|0|0"));
    framework::PlayerRecord* seat = app.SeatMutable(1);
    seat->setWord(framework::PlayerRecord::kUserId, 555);
    seat->setWord(framework::PlayerRecord::kValue1, 1);
    seat->setText(framework::PlayerRecord::kNameOff, 32, "south");
    CMJSceneHost& host = app.SceneHost();
    EXPECT_EQ(host.GetUserID(), 1001);
    EXPECT_EQ(host.GetRoomID(), 301);
    EXPECT_EQ(host.GetTableNo(), 17);
    EXPECT_EQ(host.GetChairNo(), 2);
    EXPECT_EQ(host.GetSeatUserID(1), 555);
    EXPECT_EQ(host.GetSeatName(1), "south");
    EXPECT_EQ(host.GetPlayerNameById(555), "south");
    EXPECT_EQ(host.GetSeatVoiceKind(1), 1);
    EXPECT_EQ(host.GetSeatVoiceKind(8), -1);
    EXPECT_EQ(host.GetSeatVoiceKind(-1), -1);
    // No main window: no table pane to measure.
    EXPECT_EQ(host.GetTableViewWidth(), 0);
    EXPECT_EQ(host.GetTableViewHeight(), 0);
    EXPECT_EQ(host.GetGameScene(), &app.scene());
    EXPECT_EQ(host.GetGameInfo(), &app.gameInfo());
    EXPECT_EQ(host.GetTableDraw(), &app.tableDraw());
    EXPECT_EQ(host.GetRequests(), app.GetMJClient());
    app.SetSettings({1, 0, 1, 2});
    EXPECT_EQ(host.PlaySoundId(29015, 0), 1);  // muted: the mute value, nothing played
    EXPECT_EQ(host.GetVoiceSetting(), 2);
    EXPECT_EQ(host.IsQuickCatch(), 1);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(host.GetScreenWidth(), screen.width());
    EXPECT_EQ(host.IsSmallScreen(), screen.height() < 601 ? 1 : 0);
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
    std::function<void()> onPause;
    int NetworkErrorBox(const std::string& text) override {
        log.push_back("box " + text);
        return 1;
    }
    test::CallLog log;
    test::RecordingScene scene;
    test::RecordingDraw draw;
    CGameInfoEx info;
};


class Recovery : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|" +
                                             std::to_string(server.Port()) + "|4|0|9"));
        framework::CGameConnection* conn = app.GetConnection();
        conn->InitCodec();
        conn->SetOwnerThread(owner.loop.threadId());
        int flag = 0;
        ASSERT_NE(conn->Connect("", "127.0.0.1", server.Port(), &flag), 0);
        app.SetSceneMode(2);
    }
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    test::SocketOwner owner;
    RecoveryApp app;
};

TEST_F(Recovery, ThreeFailedTriesThenTheBox) {
    server.SetReply(201140, server::Reply{99, {}});
    app.OnNetworkError();
    EXPECT_EQ(app.log, (test::CallLog{"pause 3000", "pause 3000", "pause 3000",
                                      "box 您的网络出现了异常，请重新登录大厅。"}));
    EXPECT_TRUE(server.WaitForRequest(201140, 1000, 3));
    EXPECT_FALSE(server.WaitForRequest(201140, 100, 4));
}

TEST_F(Recovery, GameDataLandsInTheDealAreaAndTheTableIsRebuilt) {
    std::vector<uint8_t> data = test::Words(233, {{8, 12}});
    server.SetReply(201140, server::Reply{10, data});
    app.OnNetworkError();
    EXPECT_EQ(app.log,
              (test::CallLog{"scene.ResetTable", "scene.RebuildTable", "scene.Redraw 100"}));
    EXPECT_EQ(app.info.GetDealNumber(), 12);
}

TEST_F(Recovery, GdiModeRedrawsTheTableDrawingObject) {
    app.SetSceneMode(1);
    server.SetReply(201140, server::Reply{10, {1, 2, 3, 4}});
    app.OnNetworkError();
    EXPECT_EQ(app.log, (test::CallLog{"draw.RefreshAll", "scene.RebuildTable"}));
}

TEST_F(Recovery, SecondTrySucceeds) {
    server.SetReply(201140, server::Reply{99, {}});
    app.onPause = [&] { server.SetReply(201140, server::Reply{10, {9}}); };
    app.OnNetworkError();
    EXPECT_EQ(app.log, (test::CallLog{"pause 3000", "scene.ResetTable", "scene.RebuildTable",
                                      "scene.Redraw 100"}));
}

TEST_F(Recovery, WithoutTheHallNothingHappens) {
    server.SetReply(201140, server::Reply{99, {}});
    app.SetStandalone(true);
    app.OnNetworkError();
    EXPECT_TRUE(app.log.empty());
    EXPECT_FALSE(server.WaitForRequest(201140, 100));
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

TEST_F(FrameTest, TwoExitRequestsThenTheConfirmationBox) {
    TestFrame frame(app, false);
    frame.exitAnswer = 1;
    EXPECT_EQ(frame.ConfirmQuit(), 1);
    frame.exitAnswer = 2;
    EXPECT_EQ(frame.ConfirmQuit(), 0);
    app.ExitRequestCount(app.GetChairNo()) = 2;
    frame.boxAnswer = 2;
    EXPECT_EQ(frame.ConfirmQuit(), 0);
    frame.boxAnswer = 1;
    EXPECT_EQ(frame.ConfirmQuit(), 1);
    const std::string text = "游戏还没有结束，现在退出要扣你分，还要扣你银子。确定退出吗？ 33";
    EXPECT_EQ(frame.log, (std::vector<std::string>{"exit dialog", "exit dialog", text, text}));
    // Another chair's count does not count.
    app.ExitRequestCount(1) = 5;
    app.ExitRequestCount(app.GetChairNo()) = 1;
    frame.log.clear();
    frame.ConfirmQuit();
    EXPECT_EQ(frame.log, std::vector<std::string>{"exit dialog"});
    EXPECT_EQ(&app.ExitRequestCount(-1), &app.ExitRequestCount(99));
}

TEST_F(FrameTest, LeavingForbiddenKeepsPlaying) {
    ASSERT_TRUE(app.CheckHallCommandLine(
        "77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|16384|0|0"));
    ASSERT_TRUE(app.IsLeaveForbidden());
    TestFrame frame(app, false);
    app.ExitRequestCount(app.GetChairNo()) = 3;
    frame.boxAnswer = 1;
    EXPECT_EQ(frame.ConfirmQuit(), 0);
    ASSERT_EQ(frame.log.size(), 1u);
    EXPECT_EQ(frame.log[0].substr(frame.log[0].size() - 2), " 0");
}

// ---- the host view -------------------------------------------------------------------------

struct CountingScene : CMJGameScene2 {
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
    int frames = 0;
    int starts = 0, gameStarts = 0, initDone = 0, enters = 0, releases = 0, hovers = 0;
    std::vector<uint32_t> timers;
};

struct TestView : CMJGameTableView2 {
    using CMJGameTableView2::CMJGameTableView2;
    QPoint PointerPos() const override { return pointer; }
    QRect ScreenRect() const override { return QRect(0, 0, 100, 100); }
    using CMJGameTableView2::onTimer;
    using CMJGameTableView2::mousePressEvent;
    using CMJGameTableView2::mouseReleaseEvent;
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

TEST_F(ViewTest, SecondGameEntryRestartsTimersButSetsUpOnce) {
    ASSERT_TRUE(view.AttachEngine(&scene));
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
    scene.Cleanup();
}

TEST_F(ViewTest, PointerLeavesOnceAndEntersOnce) {
    ASSERT_TRUE(view.AttachEngine(&scene));
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
    scene.Cleanup();
}

TEST_F(ViewTest, OtherTimersGoToTheScene) {
    ASSERT_TRUE(view.AttachEngine(&scene));
    view.OnStartEngine();
    view.onTimer(CMJGameTableView2::kClockTimerId);
    view.onTimer(7);
    EXPECT_EQ(scene.timers, (std::vector<uint32_t>{10000, 7}));
    scene.Cleanup();
}

TEST_F(ViewTest, ClockTimerStartsStopsAndRestartsOnlyWhenRunning) {
    view.RestartClockTimer();
    EXPECT_EQ(view.clockTimer(), 0u);
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

TEST_F(ViewTest, FrameDurationAcrossTheTickWrap) {
    ASSERT_TRUE(view.AttachEngine(&scene));
    view.OnInitialUpdate();
    SteppingClock clock;
    platform::Clock* previous = platform::setClock(&clock);
    scene.SetFrameInterval(0);
    view.OnFrame();
    platform::setClock(previous);
    EXPECT_GT(view.lastFrameDuration(), 0u);
    EXPECT_LT(view.lastFrameDuration(), 1000u);
    EXPECT_LT(clock.now, 0x1000u);  // the wrap happened
    scene.Cleanup();
}

TEST_F(ViewTest, OneFramePerThirtyMilliseconds) {
    ASSERT_TRUE(view.AttachEngine(&scene));
    view.OnInitialUpdate();
    platform::ManualClock clock(5000);
    platform::Clock* previous = platform::setClock(&clock);
    view.OnFrame();
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
    scene.Cleanup();
}

TEST_F(ViewTest, AFrameRunsTheDueAppliesAndTheNextPumpsTheirMessages) {
    ASSERT_TRUE(view.AttachEngine(&scene));
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
    scene.Cleanup();
}

TEST_F(ViewTest, InputReachesTheEngineOnceItsScreenIsUp) {
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(12, 34), QPointF(12, 34), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent right(QEvent::MouseButtonRelease, QPointF(5, 6), QPointF(5, 6), Qt::RightButton,
                      Qt::NoButton, Qt::NoModifier);
    ASSERT_TRUE(view.AttachEngine(&scene));
    view.mousePressEvent(&left);
    EXPECT_TRUE(scene.presses.empty());
    view.OnInitialUpdate();
    view.mousePressEvent(&left);
    view.mouseReleaseEvent(&right);
    view.mouseReleaseEvent(&left);
    EXPECT_EQ(scene.presses, (std::vector<std::pair<int, int>>{{12, 34}, {-5, -6}}));
    scene.Cleanup();
}

TEST_F(ViewTest, AverageFrameTimeOverTheRing) {
    EXPECT_EQ(view.ComputeAverageFrameTime(100), 1);
    for (int i = 0; i < 99; ++i) view.ComputeAverageFrameTime(100);
    EXPECT_EQ(view.ComputeAverageFrameTime(0), 99);
    EXPECT_EQ(view.ComputeAverageFrameTime(200), 100);
}

}  // namespace
}  // namespace hqlv::mahjong
