// The advert-bet pane as a window: its settings with their fallbacks, the tabs it shows,
// the results list by chair with the newest deal first, the switches the mouse makes and
// the return timer, the router's address message and the drawn tabs.
#include <gtest/gtest.h>

#include <QTreeWidgetItem>

#include <unistd.h>
#include <cstring>
#include <filesystem>

#include "framework/app/shared_utils.h"
#include "framework/app/skin_settings.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/report_list.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/panes/advert_bet_view.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/qt_test_app.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

TEST(AdvertTabs, ColourFallsBackToTheSkinThenTheDefaultAndOptionEightHidesResults) {
    for (auto [setting, skin, want] :
         {std::tuple{0x10u, 0x20u, 0x10u}, {0u, 0x20u, 0x20u}, {0u, 0u, 0x30u}, {0x10u, 0u, 0x10u}})
        EXPECT_EQ(AdvertTabColour(setting, skin, 0x30), want) << setting << " " << skin;
    // Hidden only for a player (not a watcher) with the option bit.
    for (auto [bit, watcher, shown] : {std::tuple{false, false, true},
                                       {true, false, false},
                                       {true, true, true},
                                       {false, true, true}})
        EXPECT_EQ(AdvertResultsTabShown(bit, watcher), shown) << bit << " " << watcher;
}

TEST(AdvertTabs, FivePointsWithSlantsHalfTheHeight) {
    EXPECT_EQ(AdvertTabPolygon(1, 2, 200, 20),
              (std::array<QPoint, 5>{QPoint(100, 19), QPoint(110, 0), QPoint(189, 0),
                                     QPoint(199, 19), QPoint(100, 19)}));
    EXPECT_EQ(AdvertTabPolygon(0, 1, 81, 21)[1], QPoint(10, 0));  // 21 / 2
    EXPECT_EQ(AdvertTabPolygon(0, 0, 81, 21)[3], QPoint(80, 20));
}

class ColourSkin : public framework::CSkinSettings {
public:
    ColourSkin() : framework::CSkinSettings("", "") {}
    uint32_t GetColor(const std::string& section, const std::string& key,
                      uint32_t fallback) const override {
        if (section != "CommColors") return fallback;
        if (key == "WaitBarfg") return fg;
        if (key == "WaitBarbg") return bg;
        return fallback;
    }
    uint32_t fg = 0, bg = 0;
};

class BetApp : public CGameAppEx {
public:
    using CGameAppEx::SetSmallScreen;
    framework::CSkinSettings* GetSkinSettings() override { return &skin; }
    ColourSkin skin;
};

framework::PlayerRecord Seat(int userId, int chair, const char* name) {
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, userId);
    r.setWord(framework::PlayerRecord::kChair, chair);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, name);
    return r;
}

std::string Line(int looker, int option13) {
    return framework::Format("77|127.0.0.1|301|5|0|1001|17|2|%d|0|t|9000|4|%d|9", looker, option13);
}

class AdvertPane : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ini = "/tmp/hqlv-advert-" + std::to_string(getpid()) + ".ini";
        std::filesystem::remove(ini);
    }
    void TearDown() override { std::filesystem::remove(ini); }
    BetApp app;
    std::string ini;
};

TEST_F(AdvertPane, SettingsAndTheirFallbacks) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0)));
    CAdvertBetView pane;
    pane.LoadSettings(ini);
    EXPECT_EQ(pane.returnSeconds(), 5);
    EXPECT_EQ(pane.switchesLeft(), 3);
    EXPECT_EQ(pane.selectedColour(), kAdvertTabSelDefault);
    EXPECT_EQ(pane.unselectedColour(), kAdvertTabUnSelDefault);
    app.skin.fg = 0x111111;
    app.skin.bg = 0x222222;
    pane.LoadSettings(ini);
    EXPECT_EQ(pane.selectedColour(), 0x111111u);
    EXPECT_EQ(pane.unselectedColour(), 0x222222u);
    for (auto [k, v] : {std::pair{"AdvertACSencond", "7"},
                        {"AdvertACMaxCount", "1"},
                        {"TabSelColor", "4660"},
                        {"TabUnSelColor", "22136"}})
        ASSERT_TRUE(platform::writeProfileString("GAMESET", k, v, ini));
    pane.LoadSettings(ini);
    EXPECT_EQ(pane.returnSeconds(), 7);
    EXPECT_EQ(pane.switchesLeft(), 1);
    EXPECT_EQ(pane.selectedColour(), 0x1234u);
    EXPECT_EQ(pane.unselectedColour(), 0x5678u);
}

TEST_F(AdvertPane, OptionEightKeepsAPlayerOnThePage) {
    const struct {
        int looker, option;
        int tabs, current;
    } cases[] = {{0, 0, 2, 1}, {0, 8, 1, 0}, {1, 8, 2, 1}, {0, 0x7, 2, 1}};
    for (const auto& c : cases) {
        ASSERT_TRUE(app.CheckHallCommandLine(Line(c.looker, c.option)));
        CAdvertBetView pane;
        EXPECT_EQ(pane.tabCount(), c.tabs) << c.looker << " " << c.option;
        EXPECT_EQ(pane.currentTab(), c.current) << c.looker << " " << c.option;
        EXPECT_EQ(pane.tabLabels()[0], "Vellor");
        if (c.tabs == 2) {
            EXPECT_EQ(pane.tabLabels()[1], "战绩榜");
        }
    }
}

std::vector<std::string> Row(const framework::CSortListCtrl* list, int i) {
    std::vector<std::string> out;
    for (int c = 0; c < list->columnCount(); ++c)
        out.push_back(list->row(i)->text(c).toStdString());
    return out;
}

std::vector<std::string> Titles(const framework::CSortListCtrl* list) {
    std::vector<std::string> out;
    for (int c = 0; c < list->columnCount(); ++c)
        out.push_back(list->headerItem()->text(c).toStdString());
    return out;
}

TEST_F(AdvertPane, RowsByChairAndDealsNewestFirstInScoreOrSilver) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0)));
    *app.SeatMutable(0) = Seat(30, 3, "d");
    *app.SeatMutable(1) = Seat(10, 1, "b");
    *app.SeatMutable(2) = Seat(0, 2, "nobody");
    *app.SeatMutable(5) = Seat(5, 0, "a");
    CAdvertBetView pane;
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    platform::send(pane.hwnd(), entered);
    framework::CSortListCtrl* list = pane.list();
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"用户名", "总成绩"}));
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"a", "0"}));
    EXPECT_EQ(list->FindItemByData(30), 2);
    const auto result =
        test::Words(413, {{72, 4}, {73, -6}, {75, 2}, {80, 1000}, {81, -3000}, {83, 2000}});
    app.gameInfo().SetRoundWord(8, 1);
    pane.OnDealResult(result);
    app.gameInfo().SetRoundWord(8, 2);
    app.gameInfo().SetRoundWord(21, 1);
    pane.OnDealResult(result);
    app.gameInfo().SetRoundWord(8, 0);
    pane.OnDealResult(result);  // no deal number: nothing
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"用户名", "总成绩", "第2局", "第1局"}));
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"a", "1004", "1000", "4"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"b", "-3006", "-3000", "-6"}));
    EXPECT_EQ(Row(list, 2), (std::vector<std::string>{"d", "2002", "2000", "2"}));
    pane.OnPlayerRemoved(10);
    pane.OnPlayerAdded(Seat(11, 2, "c"));
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"c", "0", "", ""}));
    // The router's 211700: everything starts again from the seats.
    pane.OnDealResultEntry(MJData(result));
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"用户名", "总成绩"}));
    EXPECT_EQ(list->rowCount(), 3);
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"b", "0"}));
    EXPECT_TRUE(pane.IsAdvertBetView());
}

TEST_F(AdvertPane, TheMouseSwitchesTabsAndOnlyThreeSwitchesStartTheTimer) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0)));
    CAdvertBetView pane;
    pane.resize(200, 120);
    bool over = true;
    pane.mouseOverPane = [&over] { return over; };
    EXPECT_EQ(pane.currentTab(), 1);
    EXPECT_TRUE(pane.list()->isVisibleTo(&pane));
    pane.OnMouseAt(QPoint(150, 5));  // already current: nothing used up
    EXPECT_EQ(pane.switchesLeft(), 3);
    EXPECT_FALSE(pane.returnTimerRunning());
    pane.OnMouseAt(QPoint(99, 19));
    EXPECT_EQ(pane.currentTab(), 0);
    EXPECT_FALSE(pane.returnTimerRunning());
    EXPECT_TRUE(pane.page()->isVisibleTo(&pane));
    EXPECT_FALSE(pane.list()->isVisibleTo(&pane));
    pane.OnMouseAt(QPoint(100, 20));  // below the strip
    EXPECT_EQ(pane.currentTab(), 0);
    pane.OnMouseAt(QPoint(100, 0));
    EXPECT_EQ(pane.currentTab(), 1);
    EXPECT_EQ(pane.switchesLeft(), 2);
    EXPECT_TRUE(pane.returnTimerRunning());
    pane.onTimer(kAdvertReturnTimer + 1);  // another timer
    pane.onTimer(kAdvertReturnTimer);      // the mouse still over the pane
    EXPECT_EQ(pane.currentTab(), 1);
    EXPECT_TRUE(pane.returnTimerRunning());
    over = false;
    pane.onTimer(kAdvertReturnTimer);
    EXPECT_EQ(pane.currentTab(), 0);
    EXPECT_FALSE(pane.returnTimerRunning());
    pane.OnMouseAt(QPoint(199, 10));
    pane.OnMouseAt(QPoint(200, 10));  // past the last tab
    pane.OnMouseAt(QPoint(-1, 10));
    EXPECT_EQ(pane.currentTab(), 1);
    pane.resize(1, 50);  // narrower than its two tabs: no tab is under the mouse
    pane.OnMouseAt(QPoint(0, 5));
    EXPECT_EQ(pane.currentTab(), 1);
}

TEST_F(AdvertPane, OnThePageTheTimerOnlyStops) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 8)));
    CAdvertBetView pane;
    pane.mouseOverPane = [] { return true; };
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    platform::send(pane.hwnd(), entered);
    EXPECT_TRUE(pane.returnTimerRunning());
    pane.onTimer(kAdvertReturnTimer);
    EXPECT_EQ(pane.currentTab(), 0);
    EXPECT_FALSE(pane.returnTimerRunning());
}

TEST_F(AdvertPane, RouterTextsAndTheEntryAreAddressesFreedByThePane) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0)));
    CAdvertBetView pane;
    const std::string page = "file:///tmp/advert-" + std::to_string(getpid()) + ".html";
    ASSERT_TRUE(pane.PostScoreBoardText(page));
    platform::ui::processUiEvents(50);
    EXPECT_EQ(pane.pageUrl(), page);
    char* copy = new char[7];
    std::memcpy(copy, "about:", 7);
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    entered.w = reinterpret_cast<uintptr_t>(copy);
    platform::send(pane.hwnd(), entered);
    EXPECT_EQ(pane.pageUrl(), "about:");
    EXPECT_EQ(pane.gameEnteredCount(), 1);  // the pane's own handling is the whole of it
    auto* gone = new CAdvertBetView();
    ASSERT_TRUE(gone->PostScoreBoardText(std::string(300, 'x')));
    delete gone;
    platform::ui::processUiEvents(50);
}

TEST_F(AdvertPane, TheResultListHasGridLinesAndRowsOfItsPicturesHeight) {
    for (bool small : {false, true}) {
        SCOPED_TRACE(small);
        BetApp a;
        ASSERT_TRUE(a.CheckHallCommandLine(Line(0, 0)));
        a.SetSmallScreen(small);
        CAdvertBetView pane;
        EXPECT_EQ(pane.list()->extendedStyle(), 33u);
        EXPECT_EQ(pane.list()->rowImageSize(), QSize(0, 0));
        platform::Message entered;
        entered.id = framework::kMsgGameEntered;
        platform::send(pane.hwnd(), entered);
        EXPECT_EQ(pane.list()->rowImageSize(), QSize(1, small ? 16 : 24));
    }
}

TEST_F(AdvertPane, DrawsTheCurrentTabInTheSelectedColour) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0)));
    app.skin.fg = 0x0000C0;
    app.skin.bg = 0x00C000;
    CAdvertBetView pane;
    pane.resize(200, 100);
    const QImage shot = pane.grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 2), QColor(0xC0, 0, 0));  // colour references are BGR
    EXPECT_EQ(shot.pixelColor(20, 2), QColor(0, 0xC0, 0));
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(0x08, 0x3E, 0x29));  // outside the slant
}

}  // namespace
}  // namespace hqlv::mahjong

#include <QMouseEvent>
#include <QSplitterHandle>

#include "mahjong/panes/mj_tool_view.h"

namespace hqlv::mahjong {
namespace {

TEST(ToolSplitter, TheBarUnderTheToolRowIsNowhereOnlyWithAToolRow) {
    framework::testing::SharedQtApp();
    CMJToolSplitterWnd split(Qt::Vertical);
    bool toolRow = true;
    split.hasToolRow = [&toolRow] { return toolRow; };
    EXPECT_EQ(split.OnNcHitTest(QPoint(0, 0)), 1);  // fewer than five rows
    for (int i = 0; i < 5; ++i) split.addWidget(new QWidget);
    split.setHandleWidth(6);
    split.resize(100, 500);
    split.setSizes({90, 90, 90, 90, 90});
    split.show();
    QSplitterHandle* bar = split.handle(4);
    QSplitterHandle* other = split.handle(3);
    const QPoint mid = bar->mapToGlobal(bar->rect().center());
    EXPECT_EQ(split.OnNcHitTest(mid), 0);
    EXPECT_EQ(split.OnNcHitTest(bar->mapToGlobal(QPoint(0, bar->height() / 2))), 0);  // left edge
    EXPECT_EQ(split.OnNcHitTest(other->mapToGlobal(other->rect().center())), 1);
    const QPoint row3Bottom =
        split.widget(3)->mapToGlobal(QPoint(5, split.widget(3)->height() - 1));
    EXPECT_EQ(split.OnNcHitTest(row3Bottom), 1);
    EXPECT_EQ(split.OnNcHitTest(row3Bottom + QPoint(0, 1)), 0);
    const QPoint row4Top = split.widget(4)->mapToGlobal(QPoint(5, 0));
    EXPECT_EQ(split.OnNcHitTest(row4Top), 1);
    EXPECT_EQ(split.OnNcHitTest(row4Top - QPoint(0, 1)), 0);
    // The press on the bar goes nowhere; the same press without a tool row reaches it.
    const QList<int> before = split.sizes();
    QMouseEvent press(QEvent::MouseButtonPress, bar->rect().center(), mid, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(split.eventFilter(bar, &press));
    toolRow = false;
    EXPECT_EQ(split.OnNcHitTest(mid), 1);
    split.hasToolRow = nullptr;  // nor without an application to ask
    ASSERT_EQ(framework::CGameApp::Current(), nullptr);
    EXPECT_EQ(split.OnNcHitTest(mid), 1);
    EXPECT_FALSE(split.eventFilter(bar, &press));
    EXPECT_EQ(split.sizes(), before);
}

}  // namespace
}  // namespace hqlv::mahjong
