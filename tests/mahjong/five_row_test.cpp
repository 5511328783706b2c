// The mahjong layer's own layout: five rows in the right-hand column (operate bar,
// advert-bet pane, player list, the tool row of a silver room's player, chat), and the
// advert-bet pane following the table: a player sitting down adds his row, one leaving
// takes it away, a reload of the seats keeps the rows of those still seated, and a deal's
// result adds its "第n局" column and the running "总成绩".
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <filesystem>

#include <vector>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/report_list.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/panes/advert_bet.h"
#include "mahjong/panes/advert_bet_view.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/panes/mj_tool_view.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/bytes.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/words.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::mahjong {
namespace {

struct FiveRowApp : CGameAppEx {
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
};

struct FiveRowFrame : CMJGameFrameWnd {
    explicit FiveRowFrame(CMJGameApp& app) : CMJGameFrameWnd(app) { CreateClient(); }
};

// The hall's line: silver room (field 12 bit 0x4), option bits of field 13.
std::string Line(int looker, int option13) {
    return framework::Format("77|127.0.0.1|301|5|0|1001|17|2|%d|0|t|9000|4|%d|9", looker, option13);
}

// A seat-taken notification (211011): the player's 136-byte entry.
std::vector<uint8_t> Entry(int userId, int chair, const std::string& name) {
    std::vector<uint8_t> e(framework::PlayerEntry::kSize, 0);
    auto put = [&](size_t w, int32_t v) {
        for (size_t k = 0; k < 4; ++k) e[w * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
    };
    put(0, userId);
    put(3, 17);
    put(4, chair);
    const std::string gbk = framework::Utf8ToGbk(name);
    std::copy(gbk.begin(), gbk.end(), e.begin() + 36);
    return e;
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

class FiveRows : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        app.SetSceneMode(2);
    }
    void TearDown() override { app.SetFrame(nullptr); }
    FiveRowApp app;
};

TEST_F(FiveRows, ASilverRoomsPlayerHasTheToolRowUnderThePlayerList) {
    const struct {
        int looker, option;
        int rows;
    } cases[] = {{0, 0x1000000, 5}, {0, 0, 4}, {1, 0x1000000, 4}};
    for (const auto& c : cases) {
        ASSERT_TRUE(app.CheckHallCommandLine(Line(c.looker, c.option)));
        FiveRowFrame frame(app);
        SCOPED_TRACE(std::to_string(c.looker) + " " + std::to_string(c.option));
        ASSERT_EQ(frame.rightSplitter()->count(), c.rows);
        EXPECT_NE(dynamic_cast<CAdvertBetView*>(frame.GetInfoPane()), nullptr);
        EXPECT_EQ(frame.rightSplitter()->widget(1), frame.GetInfoPane());
        EXPECT_EQ(frame.rightSplitter()->widget(2), frame.GetPlayerPane());
        EXPECT_EQ(frame.rightSplitter()->widget(c.rows - 1), frame.GetChatPane());
        const bool tool = c.rows == 5;
        EXPECT_EQ(frame.GetToolView() != nullptr, tool);
        EXPECT_EQ(dynamic_cast<CMJToolSplitterWnd*>(frame.rightSplitter()) != nullptr, tool);
        if (tool) {
            EXPECT_EQ(frame.rightSplitter()->widget(3), frame.GetToolView());
            EXPECT_NE(dynamic_cast<CMJToolView*>(frame.GetToolView()), nullptr);
            // Shown on the screen the layout is sized for.
            frame.resize(QGuiApplication::primaryScreen()->geometry().size());
            frame.show();
            platform::ui::processUiEvents(50);
            // The rows above the chat keep their heights; the chat takes the rest.
            const QList<int> sizes = frame.rightSplitter()->sizes();
            EXPECT_EQ(QList<int>(sizes.begin(), sizes.begin() + 4),
                      (QList<int>{app.gameInfo().GetOperateBarHeight(), 190,
                                  app.gameInfo().GetPlayerListHeight(), 20}));
        }
    }
}

// The tool row of a special-option room shows its two buttons (the safe box and the
// amounts) from the start: the picture of the frame holds them where the row places them.
TEST_F(FiveRows, TheToolRowShowsItsSafeBoxAndAmountButtons) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0x1000000)));
    ASSERT_TRUE(app.IsSpecialOption());
    FiveRowFrame frame(app);
    auto* tool = dynamic_cast<CMJToolView*>(frame.GetToolView());
    ASSERT_NE(tool, nullptr);
    framework::CSkinButton* safe = tool->button(1);
    framework::CSkinButton* amounts = tool->button(2);
    ASSERT_NE(safe, nullptr);
    ASSERT_NE(amounts, nullptr);
    frame.resize(QGuiApplication::primaryScreen()->geometry().size());
    frame.show();
    platform::ui::processUiEvents(100);
    ASSERT_GT(tool->width(), 159);
    EXPECT_TRUE(safe->isVisible());
    EXPECT_TRUE(amounts->isVisible());
    const auto [safeAt, amountsAt] = ToolButtonPlaces(tool->width(), tool->height());
    EXPECT_EQ(safe->geometry(), safeAt);
    EXPECT_EQ(amounts->geometry(), amountsAt);
    // In the frame's picture: the buttons' faces (the program's pictures 165 and 166, as the
    // build writes them), not the row's background, at their places.
    const QImage shot = frame.grab().toImage();
    const std::string dir = std::string(HQLV_BUILD_DIR) + "/tool-row/";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(shot.save(QString::fromStdString(dir + "special-room.png")));
    auto faceAt = [&](const QRect& r) {
        const QPoint p = tool->mapTo(&frame, QPoint(r.left() + 2, r.top() + 2));
        return QColor(shot.pixel(p));
    };
    EXPECT_EQ(faceAt(safeAt), QColor::fromRgb(assetgen::kSafeBoxPlateColour));
    EXPECT_EQ(faceAt(amountsAt), QColor::fromRgb(assetgen::kFixAmountPlateColour));
}

TEST_F(FiveRows, TheAdvertBetPaneFollowsTheSeatsAndTheDealResults) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0x1000000)));
    FiveRowFrame frame(app);
    app.SetFrame(&frame);
    auto* pane = dynamic_cast<CAdvertBetView*>(frame.GetInfoPane());
    ASSERT_NE(pane, nullptr);
    const framework::CSortListCtrl* list = pane->list();
    EXPECT_EQ(list->rowCount(), 0);
    // Two players sit down (211011): a row each, by chair.
    const auto east = Entry(2001, 1, "东风"), south = Entry(2002, 0, "南风");
    ASSERT_TRUE(app.GetGameNotify()->OnNotify(211011, east.data(), east.size()));
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"东风", "0"}));
    ASSERT_TRUE(app.GetGameNotify()->OnNotify(211011, south.data(), south.size()));
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"南风", "0"}));
    EXPECT_EQ(list->FindItemByData(2001), 1);
    // A deal's result: its column, newest first after the total, and the totals.
    app.gameInfo().SetRoundWord(8, 3);
    app.gameInfo().SetRoundWord(21, 0);
    const auto result = test::Words(413, {{72, 12}, {73, -12}, {80, 500}});
    frame.GetMJPlayers()->UpdateScores(result);
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"用户名", "总成绩", "第3局"}));
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"南风", "12", "12"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"东风", "-12", "-12"}));
    app.gameInfo().SetRoundWord(8, 4);
    frame.GetMJPlayers()->UpdateScores(result);
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"用户名", "总成绩", "第4局", "第3局"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"东风", "-24", "-12", "-12"}));
    // The seats reloaded (211028): a player still on his chair keeps his row; the one
    // whose chair went empty loses it; a newcomer gets a fresh one.
    app.SeatMutable(1)->clear();
    framework::PlayerRecord& west = *app.SeatMutable(2);
    west.setWord(framework::PlayerRecord::kUserId, 2003);
    west.setWord(framework::PlayerRecord::kChair, 2);
    west.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen,
                 framework::Utf8ToGbk("西风"));
    frame.GetMJTableView()->OnSeatsAssigned({});
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"南风", "24", "12", "12"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"西风", "0", "", ""}));
    // A player leaves (211010): his row goes.
    platform::ByteWriter w;
    w.i32(2002);
    w.i32(0);
    for (int k = 0; k < 5; ++k) w.i32(0);
    w.i32(17);
    const std::vector<uint8_t> left = w.take();
    ASSERT_TRUE(app.GetGameNotify()->OnNotify(211010, left.data(), left.size()));
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(Row(list, 0)[0], "西风");
}

TEST_F(FiveRows, ThisGamesLayoutHasNoAdvertBetPaneToTell) {
    ASSERT_TRUE(app.CheckHallCommandLine(Line(0, 0x1000000)));
    CGameFrameEx* frame = nullptr;
    struct Frame : CGameFrameEx {
        explicit Frame(CGameAppEx& a) : CGameFrameEx(a) { CreateClient(); }
    } four(app);
    frame = &four;
    app.SetFrame(frame);
    EXPECT_EQ(frame->rightSplitter()->count(), 4);
    EXPECT_EQ(frame->GetToolView(), nullptr);
    const auto east = Entry(2001, 1, "东风");
    // The score-history pane is not an advert-bet pane: the seat is only the table's.
    EXPECT_TRUE(app.GetGameNotify()->OnNotify(211011, east.data(), east.size()));
    EXPECT_EQ(app.seat(1).userId(), 2001);
}

}  // namespace
}  // namespace hqlv::mahjong
