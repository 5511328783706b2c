// The application's own scene host in the rooms the stand-in hall starts the client in, with
// the whole client in this process (the application, its main frame, its communication thread
// and the engine's table) against the local game server and its mahjong layer:
//  - where the system seats the players (command-line field 13 bits 0x2 and 0x80, field 9
//    zero) the table shows "请耐心等候系统分桌。。。" and no start button; once the server
//    seats the player (211028 with the deal behind the seats) the notice is gone and the
//    deal runs at the table and chair the server chose; out of a deal the table option
//    (control event 210039, or the table pane's own operation) asks the system again (201302);
//  - where the start checks the silver (bits 0x40 and 0x80) the start button sends 201161;
//    refused, the player reads the refusal's text in a box; allowed, the deal starts, and the
//    own start reaches the router, which marks the own seat; the change of table (control
//    event 210038, or the table pane's own operation) changes the table (201300).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/controls.h"
#include "engine/core/kernel.h"
#include "framework/hall/hall_records.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/msgbox_dlg.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/clock.h"
#include "platform/core/hall.h"
#include "platform/core/process.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/qt_test_app.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"
#include "tools/stand_ins.h"

namespace hqlv::mahjong {
namespace {

constexpr int kRoom = 301, kUser = 1001, kHallTable = 5, kHallChair = 2;

struct RoomApp : CGameAppEx {
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
};

// The event loop runs as the client's does, waiting between events (the table's frames are
// scheduled as the loop is about to wait), until the condition holds or the time is out.
bool PumpUi(const std::function<bool()>& pred, int ms = 20000) {
    const uint32_t start = platform::tickMs();
    while (!pred()) {
        if (platform::tickElapsed(start, platform::tickMs()) > uint32_t(ms)) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

class AppRooms : public ::testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        platform::ui::uiDispatcher();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        prevHall = platform::setHallChannel(&hall);
        prevRunner = platform::setProcessRunner(&runner);
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<framework::CGameMsgBoxModelessDlg*>(w)) delete w;
        app.StopCommThread();
        app.CloseConnection();
        if (server) server->Stop();
        platform::setProcessRunner(prevRunner);
        platform::setHallChannel(prevHall);
        unsetenv("HQLV_RUNTIME_DIR");
    }

    // The server with the room's rules; the client started in the room with field 13 and
    // field 9, entered, its table up.
    void Enter(const server::RoomRules& rules, int field13, int field9 = 0) {
        server::mj::MahjongOptions game;
        game.seed = 7;
        game.deal.thinkMs = 1500;  // the server-driven seats leave the deal standing
        handler = std::make_shared<server::mj::MahjongHandler>(game);
        server::ServerOptions options;
        options.port = 0;
        options.log = [](const std::string&) {};
        options.rooms[kRoom] = rules;
        server = std::make_unique<server::GameServer>(options);
        server->SetGameHandler(handler);
        ASSERT_TRUE(server->Start());
        ASSERT_TRUE(app.CheckHallCommandLine(
            "77|127.0.0.1|" + std::to_string(kRoom) + "|4242|0|" + std::to_string(kUser) + "|" +
            std::to_string(kHallTable) + "|" + std::to_string(kHallChair) + "|0|" +
            std::to_string(field9) + "|t|" + std::to_string(server->Port()) + "|0|" +
            std::to_string(field13) + "|0"));
        hall.alive.insert(app.HallWindow());
        // The engine's table, as the start-up takes the scene's mode.
        app.SetSceneMode(app.scene().GetSceneMode());
        ASSERT_TRUE(app.CreateCommThread());
        ASSERT_EQ(app.ConnectGameServer(), 1);
        frame = std::make_unique<CGameFrameEx>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
        // The hall's table state, as the stand-in hall sends it (option word B kept).
        framework::HallTableState state;
        state.hall.setWord(73, field13);
        state.table.setWord(0, kHallTable);
        framework::PlayerRecord own;
        own.setWord(framework::PlayerRecord::kUserId, kUser);
        own.setWord(framework::PlayerRecord::kChair, kHallChair);
        own.setWord(framework::PlayerRecord::kSilver, tools::kPlayerStartSilver);
        own.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, "own");
        state.seated.push_back(own);
        ASSERT_EQ(app.ApplyHallTableState(state), 1);
        platform::Message enter;
        enter.id = framework::kMsgEnterGame;
        platform::post(frame->hwnd(), enter);
        ASSERT_TRUE(PumpUi([&] { return View() && View()->started(); }));
    }
    CMJGameTableView2* View() { return frame ? frame->GetMJTableView() : nullptr; }
    CGameSceneEx& Scene() { return app.scene(); }
    engine::GameKernel& Kernel() { return Scene().GetKernel(); }
    engine::Entity* ControlEntity(uint32_t control) {
        engine::ControlData* c = Kernel().FindControl(control);
        return c ? Kernel().FindEntity(c->entityId) : nullptr;
    }
    bool Shown(uint32_t entity) {
        const engine::Entity* e = Kernel().FindEntity(entity);
        return e && e->IsVisible();
    }
    // A control event queued on the engine, as a bound control queues it: the table view's
    // own frames take it through the scene's dispatch.
    void Queue(uint32_t code) { Kernel().PostMessage(code, engine::MessageData()); }
    // A click on a button of the table: the event the button delivers (an image button's
    // own event, a tool button's click).
    void Click(uint32_t control) {
        engine::ControlData* c = Kernel().FindControl(control);
        ASSERT_NE(c, nullptr);
        const engine::EventSlot* e = c->GetEvent(25) ? c->GetEvent(25) : c->GetEvent(8);
        ASSERT_NE(e, nullptr);
        Kernel().DeliverMessage(
            engine::EngineMessage{e->code, engine::MessageData::Number(e->data), e->target}, 0);
        Scene().PumpMessages();
    }
    int Requests(int id) {
        int n = 0;
        for (const auto& r : server->Received()) n += r.id == id;
        return n;
    }
    framework::CGameMsgBoxModelessDlg* Box() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = dynamic_cast<framework::CGameMsgBoxModelessDlg*>(w); b && b->isVisible())
                return b;
        return nullptr;
    }

    QTemporaryDir dir;
    platform::RecordingHallChannel hall;
    platform::HallChannel* prevHall = nullptr;
    platform::RecordingProcessRunner runner;
    platform::ProcessRunner* prevRunner = nullptr;
    std::shared_ptr<server::mj::MahjongHandler> handler;
    std::unique_ptr<server::GameServer> server;
    RoomApp app;
    std::unique_ptr<CGameFrameEx> frame;
};

#define NEED_TABLE()                                            \
    if (!QFile::exists(QCoreApplication::applicationDirPath() + \
                       "/skins/Classic/mj_large1024.bmp"))      \
    GTEST_SKIP() << "the build wrote no table pictures (programs off)"

TEST_F(AppRooms, TheSystemSeatsThePlayerWhoWaitsForIt) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.systemSeated = true;
    rules.seatWaitMs = 1500;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x2 | 0x80));
    // The wait: the notice stands, the start button does not.
    const uint32_t notice = Scene().WaitNoticeEntity();
    EXPECT_NE(notice, 0u);
    EXPECT_TRUE(Shown(notice));
    engine::Entity* start = ControlEntity(Scene().Entities().start);
    ASSERT_NE(start, nullptr);
    EXPECT_FALSE(start->IsVisible());
    EXPECT_EQ(Scene().IsGameRunning(), 0);
    // Seated: the server's table and chair, the deal of the seats' notice running, the notice
    // gone with the last table.
    ASSERT_TRUE(PumpUi([&] { return Scene().IsGameRunning() == 1; }));
    EXPECT_EQ(app.GetTableNo(), 0);
    EXPECT_EQ(app.GetChairNo(), kUser % 4);
    EXPECT_TRUE(PumpUi([&] { return !Shown(notice); }, 3000));
    EXPECT_EQ(Kernel().FindEntity(notice), nullptr);
    EXPECT_FALSE(start->IsVisible());
    EXPECT_EQ(Requests(201160), 0);
    EXPECT_EQ(Requests(201161), 0);
    // The seats came from the server's notice: the server-driven players sit in the others.
    for (int chair = 0; chair < 4; ++chair) {
        if (chair == kUser % 4) continue;
        EXPECT_EQ(app.GetSeatUserID(chair), tools::kFirstComputerUserId + chair) << chair;
    }
    // In the deal the system keeps the player where he is: an ask for another table is
    // answered and changes nothing.
    Queue(210039);
    ASSERT_TRUE(PumpUi([&] { return Requests(201302) >= 1; }, 5000));
    PumpUi([] { return false; }, 500);
    EXPECT_EQ(Scene().IsGameRunning(), 1);
    EXPECT_EQ(app.GetTableNo(), 0);
    EXPECT_FALSE(Shown(Scene().WaitNoticeEntity()));
}

TEST_F(AppRooms, ARelaunchedClientInASystemRoomIsOfferedTheStart) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.systemSeated = true;
    rules.seatWaitMs = 60000;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x2 | 0x80, /*field9=*/1));
    EXPECT_EQ(Scene().WaitNoticeEntity(), 0u);
    engine::Entity* start = ControlEntity(Scene().Entities().start);
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->IsVisible());
}

// Out of a deal the table option (210039) asks the system for another table: the server's
// wait notice (211300), then the seat with the deal.
TEST_F(AppRooms, TheTableOptionOfASystemRoomAsksForAnotherTable) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.systemSeated = true;
    rules.seatWaitMs = 60000;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x2 | 0x80, /*field9=*/1));
    ASSERT_EQ(Scene().WaitNoticeEntity(), 0u);
    Queue(210039);
    ASSERT_TRUE(PumpUi([&] { return Requests(201302) >= 1; }, 5000));
    ASSERT_TRUE(PumpUi([&] { return Shown(Scene().WaitNoticeEntity()); }, 5000));
    // A second ask while the notice stands does not double it.
    const uint32_t notice = Scene().WaitNoticeEntity();
    Queue(210039);
    ASSERT_TRUE(PumpUi([&] { return Requests(201302) >= 2; }, 5000));
    PumpUi([] { return false; }, 500);
    EXPECT_EQ(Scene().WaitNoticeEntity(), notice);
    EXPECT_EQ(Scene().IsGameRunning(), 0);
    // Not a change of table: the room has the system's seating.
    Queue(210038);
    PumpUi([] { return false; }, 300);
    EXPECT_EQ(Requests(201300), 0);
}

// The table pane is the other caller of the same request: its own ask sends 201302 and the
// server's wait notice stands, then the system seats the player and the deal runs.
TEST_F(AppRooms, TheTablePaneAsksTheSystemForATable) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.systemSeated = true;
    rules.seatWaitMs = 1500;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x2 | 0x80, /*field9=*/1));
    ASSERT_EQ(Scene().WaitNoticeEntity(), 0u);
    EXPECT_EQ(View()->RequestTableChange(), 0);  // not where the system seats the players
    EXPECT_EQ(Requests(201300), 0);
    View()->Request201302();
    EXPECT_EQ(Requests(201302), 1);
    ASSERT_TRUE(PumpUi([&] { return Shown(Scene().WaitNoticeEntity()); }, 5000));
    ASSERT_TRUE(PumpUi([&] { return Scene().IsGameRunning() == 1; }));
    EXPECT_EQ(app.GetChairNo(), kUser % 4);
}

TEST_F(AppRooms, ARefusedSilverCheckShowsItsTextAndStartsNothing) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.silverMin = tools::kPlayerStartSilver + 1;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x40 | 0x80));
    engine::Entity* start = ControlEntity(Scene().Entities().start);
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(start->IsVisible());
    Click(Scene().Entities().start);
    EXPECT_EQ(Requests(201161), 1);
    EXPECT_EQ(Requests(201160), 0);
    ASSERT_TRUE(PumpUi([&] { return Box() != nullptr; }, 5000));
    EXPECT_EQ(Box()->textItem()->text().toStdString(), "客官您的银子不够啦，取点银子再来吧！");
    // The start stays offered; no seat is marked started.
    EXPECT_TRUE(start->IsVisible());
    for (int view = 0; view < 4; ++view) EXPECT_EQ(app.tableDraw().Seat(view)->highlight, 0);
    EXPECT_EQ(Scene().IsGameRunning(), 0);
}

TEST_F(AppRooms, AnAllowedSilverCheckStartsAndTheOwnStartReachesTheRouter) {
    NEED_TABLE();
    server::RoomRules rules;
    rules.silverMin = 1000;
    rules.silverMax = 100000;
    ASSERT_NO_FATAL_FAILURE(Enter(rules, 0x40 | 0x80));
    Click(Scene().Entities().start);
    EXPECT_EQ(Requests(201161), 1);
    EXPECT_EQ(Requests(201160), 0);
    // The server does not tell the starter of his own start: the mark is the router's.
    const int own = Scene().ChairToView(kHallChair);
    EXPECT_EQ(app.tableDraw().Seat(own)->highlight, 1);
    EXPECT_FALSE(ControlEntity(Scene().Entities().start)->IsVisible());
    ASSERT_TRUE(PumpUi([&] { return Scene().IsGameRunning() == 1; }));
    EXPECT_EQ(Box(), nullptr);
}

// The change of table (210038) in a room whose tables change: 201300, the server moves the
// player (211700) and the start is offered at the new table.
TEST_F(AppRooms, TheChangeOfTableOfASilverRoomMovesThePlayer) {
    NEED_TABLE();
    ASSERT_NO_FATAL_FAILURE(Enter(server::RoomRules{}, 0x40 | 0x80));
    // The start comes back with the change: it is hidden first.
    Scene().ShowControl(Kernel().FindControl(Scene().Entities().start), false);
    ASSERT_FALSE(ControlEntity(Scene().Entities().start)->IsVisible());
    Queue(210039);  // not the system's seating here
    Queue(210038);
    ASSERT_TRUE(PumpUi([&] { return Requests(201300) >= 1; }, 5000));
    ASSERT_TRUE(PumpUi([&] { return app.GetTableNo() != kHallTable; }));
    EXPECT_EQ(Requests(201300), 1);
    EXPECT_EQ(Requests(201302), 0);
    EXPECT_TRUE(ControlEntity(Scene().Entities().start)->IsVisible());
    // Too soon after the last change: the server's refusal is the chat's line, and the
    // player stays where he is.
    const int table = app.GetTableNo();
    Queue(210038);
    ASSERT_TRUE(PumpUi([&] { return Requests(201300) >= 2; }, 5000));
    PumpUi([] { return false; }, 300);
    EXPECT_EQ(app.GetTableNo(), table);
}

// The table pane's own change of table is the same request; a change made restarts the
// pane's idle timer.
TEST_F(AppRooms, TheTablePaneChangesTheTable) {
    NEED_TABLE();
    ASSERT_NO_FATAL_FAILURE(Enter(server::RoomRules{}, 0x40 | 0x80));
    View()->Request201302();  // not where the player changes tables himself
    EXPECT_EQ(Requests(201302), 0);
    View()->StopIdleTimer();
    ASSERT_FALSE(View()->idleTimerRunning());
    EXPECT_EQ(View()->RequestTableChange(), 1);
    EXPECT_EQ(Requests(201300), 1);
    EXPECT_TRUE(View()->idleTimerRunning());
    ASSERT_TRUE(PumpUi([&] { return app.GetTableNo() != kHallTable; }));
}

// A plain room changes no table and asks the system for none; its start is the plain 201160.
TEST_F(AppRooms, APlainRoomStartsWithoutACheck) {
    NEED_TABLE();
    ASSERT_NO_FATAL_FAILURE(Enter(server::RoomRules{}, 0));
    Queue(210038);
    Queue(210039);
    Click(Scene().Entities().start);
    ASSERT_TRUE(server->WaitForRequest(201160, 5000));
    EXPECT_EQ(Requests(201161), 0);
    EXPECT_EQ(Requests(201300), 0);
    EXPECT_EQ(Requests(201302), 0);
    ASSERT_TRUE(PumpUi([&] { return Scene().IsGameRunning() == 1; }));
}

}  // namespace
}  // namespace hqlv::mahjong
