// The player list pane, the table view, the slide-up popups and the request popup under
// Qt's offscreen platform, driven by clicks.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "builders.h"
#include "framework/app/game_app.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/skin_settings.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_info_dlg.h"
#include "framework/panes/player_view.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/report_list.h"
#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/ui/ui_loop.h"
#include "platform_install.h"
#include "qt_test_app.h"
#ifdef HQLV_SERVER_EXE
#include "tools/server/game_server.h"
#endif

namespace hqlv::framework {
namespace {

using testing::Record;
using testing::SharedQtApp;

struct ChatLog : CChatViewHooks {
    std::vector<std::string> inputs;
    std::vector<std::vector<uint8_t>> calls;
    void SetInputText(const std::string& t) override { inputs.push_back(t); }
    void ShowCall(Body b) override { calls.emplace_back(b.data, b.data + b.size); }
};

struct ChatFrame : CGameFrameWnd {
    using CGameFrameWnd::CGameFrameWnd;
    ChatLog chat;
    bool withChat = true;
    CChatViewHooks* GetChatView() override { return withChat ? &chat : nullptr; }
};

struct TestApp : CGameApp {
    using CGameApp::CGameApp;
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
};

class PlayerPane : public ::testing::Test {
protected:
    void Start() {
        SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        testing::EntryLine e;
        e.chairNo = chair;
        e.optionA = optionA;
        e.optionB = optionB;
        e.lookerOn = lookerOn;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
        frame = std::make_unique<ChatFrame>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
        view = dynamic_cast<CGamePlayerView*>(frame->GetPlayerView());
        ASSERT_NE(view, nullptr);
        view->resize(500, 300);
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        unsetenv("HQLV_RUNTIME_DIR");
    }
    void Seat(int c, const std::string& name, int32_t silver = 0) {
        PlayerRecord* r = app.SeatMutable(c);
        *r = Record(1000 + c, c, name);
        r->setWord(PlayerRecord::kSilver, silver);
        r->setWord(PlayerRecord::kPortrait, 3 + c);
    }
    void Enter() { platform::send(view->hwnd(), {kMsgGameEntered, 0, 0, nullptr}); }
    // Players p0, p1 (this client) and p2 on chairs 0 to 2, listed by the pane on the screen.
    bool ShowThreeSeated() {
        for (int c = 0; c < 3; ++c) Seat(c, "p" + std::to_string(c));
        Enter();
        view->show();
        return QTest::qWaitForWindowExposed(view);
    }
    // Four seated players, this client on chair 1; chair 0 a friend, chair 2 an acquaintance
    // and chair 3 unwelcome, shown by `pane` with the relation colours on.
    void SeatMarkedPlayers(CGamePlayerView& pane) {
        for (int c = 0; c < 4; ++c) Seat(c, "p" + std::to_string(c));
        app.SeatMutable(0)->setWord(PlayerRecord::kMark1, 1);
        app.SeatMutable(2)->setWord(PlayerRecord::kMark3, 1);
        app.SeatMutable(3)->setWord(PlayerRecord::kMark2, 1);
        platform::send(pane.hwnd(), {kMsgGameEntered, 0, 0, nullptr});
        pane.EnableRelationColours(true);
    }
    static QColor RowColour(CGamePlayerView& pane, int row) {
        return pane.list()->row(row)->foreground(1).color();
    }
    QString Cell(int row, int col) { return view->list()->row(row)->text(col); }
    std::vector<int> Users() {
        std::vector<int> u;
        for (int i = 0; i < view->list()->rowCount(); ++i)
            u.push_back(view->list()->row(i)->data(0, kItemDataRole).toInt());
        return u;
    }
    QPoint RowPoint(int row) {
        return QPoint(20, view->list()->visualItemRect(view->list()->row(row)).center().y());
    }
    void RightClick(QWidget* w, QPoint p) {
        QTest::mouseClick(w, Qt::RightButton, {}, p);
        QContextMenuEvent e(QContextMenuEvent::Mouse, p, w->mapToGlobal(p));
        QApplication::sendEvent(w, &e);
    }
    void CloseMenu() {
        if (COwnerDrawMenu* m = view->openMenu()) m->hide();
    }

    QTemporaryDir dir;
    int chair = 1, optionA = 0, optionB = 0, lookerOn = 0;
    TestApp app{"HqLv", 21303, 2, 1};
    std::unique_ptr<ChatFrame> frame;
    CGamePlayerView* view = nullptr;
};

TEST_F(PlayerPane, ChairOrderLookerOnLastWithoutPortrait) {
    Start();
    Enter();
    EXPECT_EQ(view->list()->rowCount(), 0);
    ASSERT_EQ(view->list()->columnCount(), 5);
    for (int c : {2, 0, 3, 1}) Seat(c, "座" + std::to_string(c));
    app.LoadSeatPortraits();
    PlayerRecord* looker = app.LookerMutable(0);
    *looker = Record(2000, 3, "看客", 1);
    view->AddLookerOn(*looker);
    for (int c : {2, 0, 3, 1}) view->AddPlayer(app.seat(c));
    EXPECT_EQ(Users(), (std::vector<int>{1000, 1001, 1002, 1003, 2000}));
    for (int r = 0; r < 4; ++r) EXPECT_FALSE(view->list()->row(r)->icon(0).isNull()) << r;
    EXPECT_TRUE(view->list()->row(4)->icon(0).isNull());
    EXPECT_EQ(Cell(4, 4), "座3");
    EXPECT_EQ(Cell(0, 4), "");
    // The seats come back in chair order when the game is entered again.
    Enter();
    EXPECT_EQ(Users(), (std::vector<int>{1000, 1001, 1002, 1003, 2000}));
}

// The columns keep the widths their column text gives, in a wide pane and in the right-hand
// column's widths of three screens alike: a pane too narrow for them scrolls sideways to the
// columns it cannot show, and names or figures too wide for their cell end in an ellipsis.
TEST_F(PlayerPane, ColumnsKeepTheirGivenWidthsAndANarrowPaneScrolls) {
    Start();
    for (int c = 0; c < 4; ++c)
        Seat(c, "游戏玩家【" + std::string(c % 2 ? "乙" : "丙") + "】的名字很长很长", 10192);
    Enter();
    ASSERT_EQ(view->list()->rowCount(), 4);
    CSortListCtrl* list = view->list();
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    auto widths = [&] {
        std::vector<int> w;
        for (int c = 0; c < list->columnCount(); ++c) w.push_back(list->columnWidth(c));
        return w;
    };
    const std::vector<int> given{140, 60, 80, 60, 100};
    for (int width : {700, 284, 227, 186}) {
        SCOPED_TRACE(width);
        view->resize(width, 300);
        platform::ui::processUiEvents(10);
        EXPECT_EQ(widths(), given);
        EXPECT_EQ(list->horizontalScrollBar()->isVisible(), width < 440 + 2);
    }
    EXPECT_EQ(list->textElideMode(), Qt::ElideRight);
    EXPECT_GT(list->CellsWidth(0), 140);  // the long names are cut, not the column widened
    // New rows with wider figures change no width.
    Seat(2, "游戏玩家【丙】", 1234567890);
    view->AddPlayer(app.seat(2));
    EXPECT_EQ(widths(), given);
}

TEST_F(PlayerPane, SilverRoomColumnsAndSilverAboveLevelInTheMenu) {
    optionA = kOptionSilverRoom;
    Start();
    Seat(0, "甲", 345);
    Seat(1, "乙");
    app.LoadSeatPortraits();
    Enter();
    EXPECT_EQ(view->list()->headerItem()->text(1), "银子");
    EXPECT_EQ(Cell(0, 1), "345");
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    RightClick(view->list()->viewport(), RowPoint(0));
    COwnerDrawMenu* menu = view->openMenu();
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts.push_back(a->text().toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"甲", "详细信息", "银子：345两", "级别：",
                                               "积分：0分", "允许看牌", "呼叫玩家"}));
    EXPECT_EQ(menu->defaultAction(), menu->actionOf(1901));
    EXPECT_TRUE(menu->actionOf(1905)->isEnabled());
    EXPECT_FALSE(menu->actionAt(0)->icon().isNull());
    CloseMenu();
}

TEST_F(PlayerPane, TheListSelectsWholeRowsInTheDefaultFontAndTheOwnRowIsBold) {
    Start();
    CSortListCtrl* list = view->list();
    EXPECT_EQ(list->extendedStyle(), CSortListCtrl::kFullRowSelect);
    EXPECT_EQ(list->iconSize(), QSize(32, 32));
    Seat(0, "p0");
    Seat(1, "p1");
    Enter();
    QFont bold = QApplication::font();
    bold.setWeight(QFont::Weight(700));
    EXPECT_EQ(list->row(1)->font(0), bold);
    EXPECT_EQ(list->row(0)->font(0), QApplication::font());
}

TEST_F(PlayerPane, OwnRowBoldRelationColoursOnlyWhenSwitchedOn) {
    Start();
    for (int c = 0; c < 4; ++c) Seat(c, "p" + std::to_string(c));
    app.SeatMutable(0)->setWord(PlayerRecord::kMark1, 1);
    app.SeatMutable(0)->setWord(PlayerRecord::kMark3, 1);
    app.SeatMutable(2)->setWord(PlayerRecord::kMark3, 1);
    app.SeatMutable(2)->setWord(PlayerRecord::kMark2, 1);
    app.SeatMutable(3)->setWord(PlayerRecord::kMark2, 1);
    Enter();
    EXPECT_TRUE(view->list()->row(1)->font(0).bold());
    for (int r : {0, 2, 3}) {
        EXPECT_FALSE(view->list()->row(r)->font(2).bold()) << r;
        EXPECT_FALSE(view->list()->row(r)->data(0, Qt::ForegroundRole).isValid()) << r;
    }
    view->EnableRelationColours(true);
    auto colour = [&](int r) { return view->list()->row(r)->foreground(1).color(); };
    EXPECT_EQ(colour(0), platform::ui::ToQColor(kDefaultFriendColor));
    EXPECT_EQ(colour(2), platform::ui::ToQColor(kDefaultKnowColor));
    EXPECT_EQ(colour(3), platform::ui::ToQColor(kDefaultUnwelcomeColor));
    Enter();  // columns anew: the switch is off again
    EXPECT_FALSE(view->list()->row(0)->data(0, Qt::ForegroundRole).isValid());
}

// The relation colours come from the user's data file as the pane is made: no maker has to
// remember a further call.
TEST_F(PlayerPane, ThePaneReadsItsColoursAsItIsMade) {
    const testing::PlatformInstall install(dir.path().toStdString());
    ASSERT_TRUE(
        install.Write("users/1001.dat", "[PLAYER]\r\nFriendColor=255\r\nKnowColor=65280\r\n"));
    Start();
    CGamePlayerView pane(app);
    SeatMarkedPlayers(pane);
    EXPECT_EQ(RowColour(pane, 0), platform::ui::ToQColor(255));
    EXPECT_EQ(RowColour(pane, 2), platform::ui::ToQColor(65280));
    EXPECT_EQ(RowColour(pane, 3), platform::ui::ToQColor(kDefaultUnwelcomeColor));
}

// The relation colours are the user's: a skin whose description has a "PLAYER" section
// with colours changes none of them; a key the user's file lacks takes its default.
TEST_F(PlayerPane, RelationColoursComeFromTheUserFileNotTheSkin) {
    const testing::PlatformInstall install(dir.path().toStdString());
    ASSERT_TRUE(install.Write("users/1001.dat", "[PLAYER]\r\nFriendColor=255\r\n"));
    const std::string skin = dir.path().toStdString() + "/skin/skin.ini";
    ASSERT_TRUE(platform::makeFolders(dir.path().toStdString() + "/skin"));
    ASSERT_TRUE(platform::writeFile(skin,
                                    "[PLAYER]\r\nFriendColor=16711680\r\nKnowColor=65535\r\n"
                                    "UnwelcomeColor=16776960\r\n"));
    ASSERT_TRUE(CSkinLibrary::instance().Load(skin, 1));
    Start();
    if (CSkinSettings* settings = app.GetSkinSettings()) settings->SetSkinPath(skin);
    CGamePlayerView pane(app);
    SeatMarkedPlayers(pane);
    EXPECT_EQ(RowColour(pane, 0), platform::ui::ToQColor(255));
    EXPECT_EQ(RowColour(pane, 2), platform::ui::ToQColor(kDefaultKnowColor));
    EXPECT_EQ(RowColour(pane, 3), platform::ui::ToQColor(kDefaultUnwelcomeColor));
    CSkinLibrary::instance().Unload();
}

TEST_F(PlayerPane, RightClickRulesKeepTheSelection) {
    Start();
    ASSERT_TRUE(ShowThreeSeated());
    CSortListCtrl* list = view->list();
    // The menu key without a selection opens nothing.
    view->OnContextMenu(QPoint(), true);
    EXPECT_EQ(view->openMenu(), nullptr);
    // A left click selects and addresses the player in the chat input.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(1));
    ASSERT_TRUE(list->row(1)->isSelected());
    EXPECT_EQ(frame->chat.inputs, (std::vector<std::string>{"p1,"}));
    // The header and the space below the last row: no menu, the selection stays.
    RightClick(list->header()->viewport(), QPoint(20, list->header()->height() / 2));
    EXPECT_EQ(view->openMenu(), nullptr);
    const QPoint below(20, list->visualItemRect(list->row(2)).bottom() + 30);
    ASSERT_EQ(list->itemAt(below), nullptr);
    RightClick(list->viewport(), below);
    EXPECT_EQ(view->openMenu(), nullptr);
    EXPECT_TRUE(list->row(1)->isSelected());
    // The menu key with a selection opens the selected row's menu.
    view->OnContextMenu(QPoint(), true);
    ASSERT_NE(view->openMenu(), nullptr);
    EXPECT_EQ(view->currentUser(), 1001);
    CloseMenu();
    // A right click on a row opens its menu and makes it current.
    RightClick(list->viewport(), RowPoint(2));
    ASSERT_NE(view->openMenu(), nullptr);
    EXPECT_EQ(view->currentRow(), 2);
    EXPECT_EQ(view->currentUser(), 1002);
    CloseMenu();
    // Outside the list: everything is deselected, nothing opens.
    view->OnContextMenu(list->mapToGlobal(QPoint(-50, -50)), false);
    EXPECT_EQ(view->openMenu(), nullptr);
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

// A left click on any row addresses its player, the first and the last rows included.
TEST_F(PlayerPane, AClickOnTheFirstOrLastRowAddressesItsPlayer) {
    Start();
    ASSERT_TRUE(ShowThreeSeated());
    QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, RowPoint(0));
    QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, RowPoint(2));
    EXPECT_EQ(frame->chat.inputs, (std::vector<std::string>{"p0,", "p2,"}));
}

TEST_F(PlayerPane, CommandsOfTheMenuReachChatAndHallByHandle) {
    Start();
    ASSERT_TRUE(ShowThreeSeated());
    // A double click on the first row makes it the current one.
    QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, RowPoint(0));
    QTest::mouseDClick(view->list()->viewport(), Qt::LeftButton, {}, RowPoint(0));
    EXPECT_EQ(view->currentRow(), 0);
    EXPECT_EQ(view->currentUser(), view->list()->row(0)->data(0, kItemDataRole).toInt());
    frame->chat.inputs.clear();  // the click addressed the player in the chat line
    RightClick(view->list()->viewport(), RowPoint(2));
    COwnerDrawMenu* menu = view->openMenu();
    ASSERT_NE(menu, nullptr);
    menu->actionOf(1900)->trigger();
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame->chat.inputs, (std::vector<std::string>{"p2,"}));
    // Without a chat pane the command is simply not shown anywhere.
    frame->withChat = false;
    view->OnCommand(1900);
    EXPECT_EQ(frame->chat.inputs.size(), 1u);
    frame->withChat = true;
    // Details go to the hall for a listed player only.
    platform::RecordingHallChannel hall;
    hall.alive.insert(app.HallWindow());
    platform::HallChannel* prev = platform::setHallChannel(&hall);
    view->OnCommand(1901);
    ASSERT_EQ(hall.calls.size(), 1u);
    EXPECT_EQ(hall.calls[0].l, 1002);
    // The row went: its commands do nothing.
    view->RemovePlayer(app.seat(2));
    view->OnCommand(1900);
    view->OnCommand(1901);
    platform::setHallChannel(prev);
    EXPECT_EQ(frame->chat.inputs.size(), 1u);
    EXPECT_EQ(hall.calls.size(), 1u);
    CloseMenu();
}

TEST_F(PlayerPane, OwnOnlyRoomShowsOneRowAndCallsNobody) {
    optionB = 0x8;
    Start();
    for (int c = 0; c < 4; ++c) Seat(c, "p" + std::to_string(c));
    Enter();
    EXPECT_EQ(Users(), (std::vector<int>{1001}));
    view->OnContextMenu(QPoint(), false);
    view->OnCommand(1905);
    EXPECT_TRUE(frame->chat.calls.empty());
}

TEST_F(PlayerPane, UpdateScoresTouchesSeatsZeroToSevenOnly) {
    Start();
    for (int c = 0; c < 8; ++c) Seat(c, "p" + std::to_string(c));
    Enter();
    testing::Words result(560);
    result.w(2, 9);
    for (size_t i = 0; i < 8; ++i) result.w(72 + i, 100 + int(i));
    view->UpdateScores({result.data(), result.size()});
    EXPECT_EQ(Cell(7, 2), "107");
    result.bytes.resize(416 + 16 * 4 + 3);
    result.w(72, 5);
    view->UpdateScores({result.data(), result.size()});
    EXPECT_EQ(Cell(0, 2), "5");
    EXPECT_EQ(Cell(7, 2), "107");
}

#ifdef HQLV_SERVER_EXE
TEST_F(PlayerPane, CallingAPlayerSendsTheRequestPlaysTheSoundAndShowsTheCall) {
    server::GameServer srv{server::ServerOptions{0, 2, 1, 4, 50, 4, [](const std::string&) {}}};
    ASSERT_TRUE(srv.Start());
    Start();
    for (int c = 0; c < 3; ++c) Seat(c, "p" + std::to_string(c));
    Enter();
    const std::string sounds = (dir.path() + "/sound/").toStdString();
    std::filesystem::create_directories(sounds);
    std::ofstream(sounds + "29013.wav", std::ios::binary) << "wave-29013";
    SetResourceSoundFolder(sounds);
    auto rec = std::make_shared<platform::RecordingAudio>();
    auto previous = platform::installAudio(rec);
    CGameConnection* conn = app.GetConnection();
    conn->InitCodec();
    int flag = 0;
    ASSERT_NE(conn->Connect("", "127.0.0.1", srv.Port(), &flag), 0);
    ASSERT_TRUE(srv.WaitForClients(1, 3000));

    view->OnContextMenu(QPoint(), false);  // nothing current yet: nothing happens

    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    RightClick(view->list()->viewport(), RowPoint(2));
    ASSERT_NE(view->openMenu(), nullptr);
    view->openMenu()->actionOf(1905)->trigger();
    platform::ui::processUiEvents(20);
    CloseMenu();
    auto req = srv.WaitForRequest(201200, 3000);
    ASSERT_TRUE(req);
    EXPECT_FALSE(req->wait);
    bool played = false;
    for (const auto& c : rec->calls()) played |= c.data == "wave-29013";
    EXPECT_TRUE(played);
    ASSERT_EQ(frame->chat.calls.size(), 1u);
    testing::Words want(40);
    want.w(0, 1001).w(1, 0).w(2, 5).w(3, 1).w(4, 1002).w(5, 2);
    EXPECT_EQ(frame->chat.calls[0], want.bytes);
    platform::installAudio(previous);
    SetResourceSoundFolder("");
    conn->Disconnect();
    srv.Stop();
}
#endif

}  // namespace
}  // namespace hqlv::framework
