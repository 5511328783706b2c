// The advert-bet pane's results table, its automatic switches, the tool bar's button
// places and the tool splitter's fixed bar.
#include <gtest/gtest.h>

#include "mahjong/panes/advert_bet.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

std::vector<std::string> Names(const AdvertBetResults& t) {
    std::vector<std::string> out;
    for (const auto& r : t.rows()) out.push_back(r.name);
    return out;
}

TEST(AdvertBetResults, RowsByChairReplacedAndRemoved) {
    AdvertBetResults t;
    t.AddPlayer(10, 2, "c");
    t.AddPlayer(11, 0, "a");
    t.AddPlayer(12, 3, "d");
    t.AddPlayer(13, 2, "c2");  // same chair: after the first of it
    t.AddPlayer(0, 1, "nobody");
    t.AddPlayer(14, 1, "");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "c", "c2", "d"}));
    t.AddPlayer(10, 1, "b");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "b", "c2", "d"}));
    t.RemovePlayer(13);
    t.RemovePlayer(99);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "b", "d"}));
}

TEST(AdvertBetResults, SeatsReloadedKeepTheRowsOfThoseStillSeated) {
    AdvertBetResults t;
    t.AddPlayer(1, 0, "a");
    t.AddPlayer(2, 1, "b");
    t.AddPlayer(3, 2, "c");
    t.AddPlayer(4, 3, "d");
    t.OnDealResult(5, false, test::Words(413, {{72, 10}, {73, -10}, {74, 3}, {75, -3}}));
    // a stays; b moved to another chair; c's chair went empty; d was renamed; e is new.
    t.SyncSeats({{1, 0, "a"}, {2, 3, "b"}, {4, 3, "d2"}, {5, 1, "e"}, {0, 2, "nobody"}});
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "e", "b", "d2"}));
    EXPECT_EQ(t.rows()[0].deals, std::vector<std::string>{"10"});
    EXPECT_EQ(t.rows()[0].total, "10");
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(t.rows()[i].deals, std::vector<std::string>{""}) << i;
        EXPECT_EQ(t.rows()[i].total, "0") << i;
    }
    t.SyncSeats({});
    EXPECT_TRUE(t.rows().empty());
}

TEST(AdvertBetResults, DealColumnsNewestFirstInScoreOrSilver) {
    AdvertBetResults t;
    t.AddPlayer(1, 0, "a");
    t.AddPlayer(2, 3, "d");
    t.AddPlayer(4, 6, "beyond");  // a chair outside the table takes no change
    const auto r = test::Words(413, {{72, 5}, {75, -5}, {80, 2000000000}, {83, -7}});
    t.OnDealResult(1, false, r);
    t.OnDealResult(0, true, r);   // no deal number: nothing
    t.OnDealResult(-3, true, r);
    t.OnDealResult(2, true, r);
    t.OnDealResult(3, true, r);
    EXPECT_EQ(t.dealColumns(), (std::vector<std::string>{"第3局", "第2局", "第1局"}));
    EXPECT_EQ(t.rows()[0].deals, (std::vector<std::string>{"2000000000", "2000000000", "5"}));
    EXPECT_EQ(t.rows()[0].total, "4000000005");
    EXPECT_EQ(t.rows()[1].deals, (std::vector<std::string>{"-7", "-7", "-5"}));
    EXPECT_EQ(t.rows()[1].total, "-19");
    EXPECT_EQ(t.rows()[2].deals, (std::vector<std::string>{"0", "0", "0"}));
    EXPECT_EQ(t.rows()[2].total, "0");
    t.AddPlayer(3, 1, "late");
    EXPECT_EQ(t.rows()[1].deals.size(), 3u);
    EXPECT_EQ(t.rows()[1].total, "0");
    t.Reset();
    EXPECT_TRUE(t.dealColumns().empty());
    EXPECT_EQ(t.rows()[0].total, "0");
    EXPECT_TRUE(t.rows()[0].deals.empty());
    EXPECT_EQ(t.total(0), 0);
}

TEST(AdvertAutoSwitch, ThreeSwitchesThenNoTimer) {
    AdvertAutoSwitch s;
    int current = 0;
    EXPECT_FALSE(s.OnHover(0, &current));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(s.OnHover(1, &current)) << i;
        EXPECT_EQ(current, 1);
        EXPECT_FALSE(s.OnHover(0, &current));
        EXPECT_EQ(current, 0);
    }
    EXPECT_FALSE(s.OnHover(1, &current));
    EXPECT_EQ(current, 1);
    EXPECT_EQ(s.left(), 0);
    EXPECT_FALSE(s.OnHover(-1, &current));
    EXPECT_EQ(current, 1);
}

TEST(AdvertAutoSwitch, TimerReturnsOnlyWhenTheMouseLeft) {
    const struct {
        int current;
        bool over;
        int shown;
        bool kill;
    } cases[] = {{1, false, 0, true}, {1, true, 1, false}, {0, false, 0, true}, {0, true, 0, true}};
    for (const auto& c : cases) {
        bool kill = !c.kill;
        EXPECT_EQ(AdvertAutoSwitch::OnTimer(c.current, c.over, &kill), c.shown);
        EXPECT_EQ(kill, c.kill);
    }
}

TEST(ToolButtonPlaces, WideAndNarrow) {
    const struct {
        int cx, cy;
        QRect safe, menu;
    } cases[] = {
        {159, 30, QRect(8, 7, 55, 16), QRect(88, 8, 71, 15)},
        {158, 30, QRect(10, 7, 55, 16), QRect(75, 8, 71, 15)},   // x = 32 / 3
        {100, 10, QRect(-8, -3, 55, 16), QRect(39, -2, 71, 15)},  // -26 / 3, -6 / 2
    };
    for (const auto& c : cases) {
        const auto [safe, menu] = ToolButtonPlaces(c.cx, c.cy);
        EXPECT_EQ(safe, c.safe) << c.cx;
        EXPECT_EQ(menu, c.menu) << c.cx;
    }
}

TEST(ToolSplitterGap, OnlyTheGapWithAToolRow) {
    const QRect row3(10, 100, 50, 20);  // bottom 119
    const QRect row4(10, 128, 50, 20);
    const struct {
        bool toolRow;
        QPoint p;
        bool want;
    } cases[] = {{true, {30, 124}, true},  {false, {30, 124}, false}, {true, {30, 119}, false},
                 {true, {30, 120}, true},  {true, {30, 127}, true},   {true, {30, 128}, false},
                 {true, {9, 124}, false},  {true, {10, 124}, true},   {true, {59, 124}, true},
                 {true, {60, 124}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(ToolSplitterGap(c.toolRow, c.p, row3, row4), c.want) << c.p.x() << "," << c.p.y();
}

}  // namespace
}  // namespace hqlv::mahjong

#include <QResizeEvent>

#include "framework/web/safebox_flow.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/panes/mj_tool_view.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

TEST(MJToolView, NarrowPaneCentresTheButtonsAndPaintsTheHeader) {
    framework::testing::SharedQtApp();
    CMJToolView view;
    view.LoadHeaderBitmap();  // no application, so no skin: no header
    EXPECT_FALSE(view.header().has_value());
    view.OnInitialUpdate();
    view.show();
    view.resize(140, 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.button(1)->geometry(), QRect(4, 7, 55, 16));
    EXPECT_EQ(view.button(2)->geometry(), QRect(63, 8, 71, 15));
    QImage header(302, 20, QImage::Format_RGB32);
    header.fill(QColor(10, 200, 30));
    for (int y = 0; y < 20; ++y) header.setPixelColor(0, y, QColor(200, 0, 0));
    view.SetHeaderBitmap(header);
    view.button(1)->hide();
    view.button(2)->hide();
    QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 10), QColor(200, 0, 0));
    EXPECT_EQ(shot.pixelColor(70, 10), QColor(10, 200, 30));
}

}  // namespace
}  // namespace hqlv::mahjong
