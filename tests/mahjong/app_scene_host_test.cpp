// The application as the table scene's host: its timers, the clock second, the pane's
// enabling and the claims' window buttons reach the table pane of either scene mode; the
// entry's in-game mark is the host's answer to "rejoining"; the stored game data tells the
// deal state its length.
#include <gtest/gtest.h>

#include <QAbstractButton>

#include <vector>

#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/app/mj_client.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/game_info.h"
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
        app.SetFrame(nullptr);
    }
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
