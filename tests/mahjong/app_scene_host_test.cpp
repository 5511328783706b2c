// The application as the table scene's host: its timers, the clock second, the pane's
// enabling and the claims' window buttons reach the table pane of either scene mode; the
// entry's in-game mark is the host's answer to "rejoining"; the stored game data tells the
// deal state its length.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "mahjong/app/mj_client.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/table_draw.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

struct HostApp : CGameAppEx {
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
};

struct HostFrame : CGameFrameEx {
    explicit HostFrame(CGameAppEx& app) : CGameFrameEx(app) { CreateClient(); }
};

TEST(AppSceneHost, ReachesTheTablePaneOfEitherMode) {
    framework::testing::SharedQtApp();
    for (int mode : {2, 1}) {
        SCOPED_TRACE(mode);
        HostApp app;
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
        app.SetSceneMode(mode);
        app.scene().SetSceneMode(mode);
        CMJSceneHost& host = app.SceneHost();
        // Without a frame every call is harmless.
        host.SetViewTimer(3, 1000);
        host.StartClockTimer();
        host.EnableTablePane(0);
        host.ShowClaimWindowButton(1, 1);
        HostFrame frame(app);
        app.SetFrame(&frame);
        framework::CGameTableView* pane = frame.GetTablePane();
        ASSERT_NE(pane, nullptr);
        host.EnableTablePane(0);
        EXPECT_FALSE(pane->isEnabled());
        host.EnableTablePane(1);
        EXPECT_TRUE(pane->isEnabled());
        host.SetViewTimer(3, 1000);
        EXPECT_TRUE(pane->KillTimer(3));
        host.SetViewTimer(4, 60);
        host.KillViewTimer(4);
        EXPECT_FALSE(pane->KillTimer(4));
        auto clock = [&] {
            return mode == 1 ? frame.GetGdiTableView()->clockTimer()
                             : frame.GetMJTableView()->clockTimer();
        };
        host.StartClockTimer();
        EXPECT_EQ(clock(), 10000u);
        host.StopClockTimer();
        EXPECT_EQ(clock(), 0u);
        if (mode == 1) {
            QAbstractButton* peng = frame.GetGdiTableView()->button(1813);
            host.ShowClaimWindowButton(1, 1);
            EXPECT_TRUE(peng->isVisibleTo(pane));
            EXPECT_TRUE(peng->isEnabled());
            host.ShowClaimWindowButton(1, 0);
            EXPECT_FALSE(peng->isVisibleTo(pane));
            EXPECT_FALSE(peng->isEnabled());
        } else {
            host.ShowClaimWindowButton(1, 1);  // the engine's table has no window buttons
        }
        EXPECT_EQ(host.IsRejoining(), 0);
        app.SetInGame(1);
        EXPECT_EQ(host.IsRejoining(), 1);
        if (mode == 2) {
            // The engine's table maps its logical points onto the display only while shown.
            ASSERT_GT(app.scene().GetScreenWidth(), 0);
            int x = 372, y = 355;
            EXPECT_FALSE(host.MapToScreen(x, y));
            EXPECT_EQ(std::pair(x, y), std::pair(372, 355));
            frame.show();
            QCoreApplication::processEvents();
            CMJGameTableView2* view = frame.GetMJTableView();
            ASSERT_TRUE(view->isVisible());
            EXPECT_TRUE(host.MapToScreen(x, y));
            const QPoint expected =
                view->mapToGlobal(QPoint(372 * view->width() / app.scene().GetScreenWidth(),
                                         355 * view->height() / app.scene().GetScreenHeight()));
            EXPECT_EQ(std::pair(x, y), std::pair(expected.x(), expected.y()));
            frame.hide();
        }
        app.SetFrame(nullptr);
    }
}

// The table view's clock timer as the scene asks for it: each of the three stops (the
// router's stop at a deal's result, the server's 211000, an aborted game) ends the engine
// table's (the window-drawn table of scene mode 1 stops its own at a deal's result), and the
// server's countdown end (229165) that comes after one of them, taken by the real router into
// the application's scene, plays no turn: the drawn tile stays and no missed turn is counted.
TEST(AppSceneHost, ACountdownEndAfterAnyClockStopPlaysNoTurn) {
    framework::testing::SharedQtApp();
    for (int mode : {2, 1}) {
        struct Stop {
            const char* name;
            std::function<void(HostFrame&)> stop;
            bool windowDrawn;  // a stop of the window-drawn table's view too
        };
        const Stop stops[] = {
            {"the deal's result", [](HostFrame& f) { f.GetMJTableHooks()->OnTableStop(); }, true},
            {"the table's stop (211000)", [](HostFrame& f) { f.GetTableView()->OnNotify211000(); },
             false},
            {"an aborted game", [](HostFrame& f) { f.GetTableView()->OnGameAborted(); }, false},
            {"none", [](HostFrame&) {}, true},
        };
        for (const Stop& s : stops) {
            // The window-drawn table's view stops its clock at a deal's result only.
            if (mode == 1 && !s.windowDrawn) continue;
            SCOPED_TRACE(std::to_string(mode) + ", " + s.name);
            HostApp app;
            ASSERT_TRUE(
                app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
            app.SetSceneMode(mode);
            app.scene().SetSceneMode(mode);
            CMJSceneHost& host = app.SceneHost();
            EXPECT_FALSE(host.IsClockTimerRunning());  // no table view yet
            HostFrame frame(app);
            app.SetFrame(&frame);
            EXPECT_FALSE(host.IsClockTimerRunning());
            // The deal's clock starts (its started word stays set whatever stops it later).
            CGameSceneEx& scene = app.scene();
            scene.ClockStart();
            EXPECT_TRUE(host.IsClockTimerRunning());
            s.stop(frame);
            const bool running = std::string(s.name) == "none";
            EXPECT_EQ(host.IsClockTimerRunning(), running);
            ASSERT_EQ(scene.Clock().started, 1);
            // The own turn with a drawn tile that the countdown's end would play.
            MJTileInfo& drawn = scene.Tiles().m_hands[kOwnView][0];
            drawn.nCode = 30, drawn.bHand = 1, drawn.bPresent = 1;
            scene.SetClockHand(6);
            const uint8_t body[4] = {};
            ASSERT_TRUE(app.GetGameNotify()->OnNotify(229165, body, sizeof body));
            EXPECT_EQ(scene.GetTimeoutCount(), running ? 1 : 0);
            app.SetFrame(nullptr);
        }
    }
}

// The room's bits and the relaunch mark come from the hall's command line (fields 13 and 9);
// every bit asked for must be there.
TEST(AppSceneHost, AnswersTheRoomFromTheCommandLine) {
    framework::testing::SharedQtApp();
    struct Case {
        int field13, field9;
        uint32_t bits;
        int has;
    } cases[] = {
        {0, 0, 0x2, 0},     {0x2, 0, 0x2, 1},   {0x82, 1, 0x2, 1},       {0x40, 0, 0xC0, 0},
        {0x80, 0, 0xC0, 0}, {0xC0, 0, 0xC0, 1}, {0x10000C2, 0, 0xC2, 1}, {0xC2, 0, 0x1, 0},
    };
    for (const Case& c : cases) {
        HostApp app;
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|" +
                                             std::to_string(c.field9) + "|t|21303|0|" +
                                             std::to_string(c.field13) + "|0"));
        CMJSceneHost& host = app.SceneHost();
        EXPECT_EQ(host.TestCmdField13(c.bits), c.has) << c.field13 << " " << c.bits;
        EXPECT_EQ(host.GetCmdField9(), c.field9);
        EXPECT_EQ(host.GetGameCode(), "HqLv");
        EXPECT_EQ(host.GetClockTimerId(), 10000u);
        // No table view on the screen: no point of it is mapped.
        int x = 1, y = 2;
        EXPECT_FALSE(host.MapToScreen(x, y));
        EXPECT_EQ(std::pair(x, y), std::pair(1, 2));
    }
}

// The own start record reaches the router's start handler: the own seat is marked started.
TEST(AppSceneHost, TheOwnStartRecordReachesTheRouter) {
    framework::testing::SharedQtApp();
    HostApp app;
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
    const int view = app.scene().ChairToView(2);
    ASSERT_EQ(app.tableDraw().Seat(view)->highlight, 0);
    std::vector<uint8_t> record(16, 0);
    record[12] = 2;  // the chair
    app.SceneHost().OnOwnGameStarted(record);
    EXPECT_EQ(app.tableDraw().Seat(view)->highlight, 1);
    // A record too short for its chair is refused by the router: nothing more is marked.
    const int other = app.scene().ChairToView(1);
    std::vector<uint8_t> shortRecord(15, 0);
    shortRecord[12] = 1;
    app.SceneHost().OnOwnGameStarted(shortRecord);
    EXPECT_EQ(app.tableDraw().Seat(other)->highlight, 0);
}

// 截屏 through the application: a JPEG of the whole primary screen's size.
TEST(AppSceneHost, TheScreenshotIsOfTheWholeScreen) {
    framework::testing::SharedQtApp();
    HostApp app;
    const std::string path = "/tmp/hqlv-host-shot-" + std::to_string(getpid()) + ".jpg";
    ASSERT_TRUE(app.SceneHost().SaveScreenShotJpeg(path, 75));
    const QImage jpeg(QString::fromStdString(path));
    std::remove(path.c_str());
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(jpeg.size(), QGuiApplication::primaryScreen()->geometry().size());
    EXPECT_FALSE(app.SceneHost().SaveScreenShotJpeg("/nonexistent-hqlv-folder/shot.jpg", 75));
}

TEST(AppSceneHost, StoredGameDataTellsTheDealStateItsLength) {
    framework::testing::SharedQtApp();
    HostApp app;
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
    CMJGameClient* client = app.GetMJClient();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(app.gameInfo().GetStateBytes(), 0u);
    std::vector<uint8_t> state(kLookerStateBytes, 0);
    state[14 * 4] = 1;
    client->StoreGameData(state.data(), state.size());
    EXPECT_EQ(app.gameInfo().GetStateBytes(), kLookerStateBytes);
    EXPECT_EQ(app.gameInfo().GetDealFlags(), 1);
    // Nothing stored: the length stays.
    client->StoreGameData(nullptr, 0);
    client->StoreGameData(state.data(), 0);
    EXPECT_EQ(app.gameInfo().GetStateBytes(), kLookerStateBytes);
    // A reply longer than the area: its whole length is told.
    std::vector<uint8_t> longer(kDealAreaBytes + 8, 0);
    client->StoreGameData(longer.data(), longer.size());
    EXPECT_EQ(app.gameInfo().GetStateBytes(), kDealAreaBytes + 8);
}

}  // namespace
}  // namespace hqlv::mahjong
