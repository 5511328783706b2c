// The application's operations that reach the main frame's panes: leaving the table, the
// playing word, the silver-bound boxes and the table pane's size; and the table pane's
// failure box over the pane itself.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "builders.h"
#include "framework/app/game_app.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/panes/table_view.h"
#include "netlib/log.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using Log = std::vector<std::string>;

// A connection that only records the leave notice and the close.
struct RecordingConnection : CGameConnection {
    RecordingConnection(GameConnectionHost* host, Log& log) : CGameConnection(host), log_(log) {}
    int NotifyLeave(int userId, int chair) override {
        log_.push_back("leave " + std::to_string(userId) + "," + std::to_string(chair));
        return 1;
    }
    void Disconnect() override { log_.push_back("close"); }
    Log& log_;
};

struct TestApp : CGameApp {
    using CGameApp::CGameApp;
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
    template <class Connection, class... Args>
    void Connect(Args&... args) {
        conn_ = std::make_unique<Connection>(connHost_.get(), args...);
    }
};

// A table pane of a game: it hears the user leave.
struct LeavingTable : CTableViewHooks {
    explicit LeavingTable(Log& l) : log(l) {}
    void OnLeaveTable() override { log.push_back("table leaves"); }
    Log& log;
};

// The tool pane that moves silver through the safe box.
struct ToolPane : QWidget, CToolViewHooks {
    FixOutcome ApplyFixAmount(int32_t target) override {
        targets.push_back(target);
        return FixOutcome::kSaved;
    }
    std::vector<int32_t> targets;
};

// A frame whose panes the test chooses; it is never shown.
struct PaneFrame : CGameFrameWnd {
    using CGameFrameWnd::CGameFrameWnd;
    CTableViewHooks* GetTableView() override { return table; }
    QWidget* GetToolView() override { return tool; }
    CTableViewHooks* table = nullptr;
    QWidget* tool = nullptr;
};

class AppOperations : public ::testing::Test {
protected:
    void SetUp() override { testing::SharedQtApp(); }
    void TearDown() override {
        app.SetFrame(nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<CGameMsgBoxModelessDlg*>(w)) delete w;
    }
    void Enter(int lookerOn = 0, int optionA = 0, int optionB = 0) {
        testing::EntryLine e;
        e.chairNo = 3;
        e.lookerOn = lookerOn;
        e.optionA = optionA;
        e.optionB = optionB;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
    }
    static std::vector<uint8_t> Bound(int32_t carried, int32_t limit) {
        testing::Words w(16);
        w.w(2, carried).w(3, limit);
        return w.bytes;
    }
    std::vector<CGameMsgBoxModelessDlg*> ModelessBoxes() {
        std::vector<CGameMsgBoxModelessDlg*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = dynamic_cast<CGameMsgBoxModelessDlg*>(w); b && b->isVisible())
                boxes.push_back(b);
        return boxes;
    }
    // Answers the next modal box with OK and keeps its text.
    void AnswerModalWithOk(std::string* text) {
        QTimer::singleShot(0, [text] {
            auto* box = dynamic_cast<CGameMsgBoxDlg*>(QApplication::activeModalWidget());
            if (!box) return;
            *text = box->textItem()->text().toStdString();
            box->okButton()->click();
        });
    }

    TestApp app{"HqLv", 21303, 2, 1};
};

// Leaving: the leave notice, then the table pane's leave hook, then the connection closes;
// without a frame the notice and the close still go.
TEST_F(AppOperations, LeaveTableTellsTheTablePaneBetweenNoticeAndClose) {
    Enter();
    Log log;
    app.Connect<RecordingConnection>(log);
    LeavingTable table(log);
    PaneFrame frame(app);
    frame.table = &table;
    app.SetFrame(&frame);
    app.LeaveTable();
    EXPECT_EQ(log, (Log{"leave 1001,3", "table leaves", "close"}));
    log.clear();
    app.SetFrame(nullptr);
    app.LeaveTable();
    EXPECT_EQ(log, (Log{"leave 1001,3", "close"}));
}

// The application plays while its table pane's playing word says so, and the frame gives
// that pane's size; without a frame or without a table pane of the framework's kind the
// application does not play and the size is 0.
TEST_F(AppOperations, IsPlayingAndTheSizeAreTheTablePanes) {
    Enter();
    EXPECT_EQ(app.IsPlaying(), 0);
    CGameTableView view(app);
    PaneFrame frame(app);
    frame.table = &view;
    app.SetFrame(&frame);
    EXPECT_EQ(app.IsPlaying(), 0);
    view.SetPlaying(1);
    EXPECT_EQ(app.IsPlaying(), 1);
    view.resize(321, 123);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(frame.GetTableViewWidth(), 321);
    EXPECT_EQ(frame.GetTableViewHeight(), 123);
    // Room changes are refused while it plays.
    RoomRecord here, next;
    here.setWord(0, app.GetRoomID());
    next.setWord(0, 99);
    app.SetRoomListMode(2);
    app.AppendRoom(here);
    app.AppendRoom(next);
    EXPECT_EQ(app.FindRoom(0), -1);
    view.SetPlaying(0);
    EXPECT_EQ(app.FindRoom(0), 99);
    Log log;
    LeavingTable hooksOnly(log);
    frame.table = &hooksOnly;
    view.SetPlaying(1);
    EXPECT_EQ(app.IsPlaying(), 0);
    EXPECT_EQ(frame.GetTableViewWidth(), 0);
    EXPECT_EQ(frame.GetTableViewHeight(), 0);
}

// A looker-on, or a room where the safe box may not make up the difference, gets the
// modeless notice; a record too short for its fourth word shows nothing.
TEST_F(AppOperations, SilverBoundsOutsideTheSafeBoxOfferAreANotice) {
    Enter(1, kOptionSilverRoom, 0x1000000);
    ASSERT_FALSE(app.IsSpecialOption());
    auto little = Bound(100, 500);
    app.CheckSilverTooLittle(little.data(), little.size());
    auto much = Bound(900, 500);
    app.CheckSilverTooMuch(much.data(), much.size());
    auto boxes = ModelessBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    std::set<std::string> texts;
    for (auto* b : boxes) texts.insert(b->textItem()->text().toStdString());
    EXPECT_EQ(texts, (std::set<std::string>{"客官您的银子不够啦，取点银子再来吧！",
                                            "客官，您的银子也太多了，快去存起来吧！"}));
    EXPECT_EQ(boxes[0]->GetSeconds(), 10);
    app.CheckSilverTooLittle(little.data(), 15);
    app.CheckSilverTooMuch(nullptr, 16);
    EXPECT_EQ(ModelessBoxes().size(), 2u);
}

// Where the safe box may make up the difference the user is asked, and OK has the tool
// pane bring the silver to the room's bound. The difference is the true one even where no
// int holds it.
TEST_F(AppOperations, SilverBoundsOfferTheSafeBoxAndMoveToTheBound) {
    Enter(0, kOptionSilverRoom, 0x1000000);
    ASSERT_TRUE(app.IsSpecialOption());
    ToolPane tool;
    PaneFrame frame(app);
    frame.tool = &tool;
    app.SetFrame(&frame);
    std::string text;
    AnswerModalWithOk(&text);
    auto little = Bound(-1, INT32_MAX);
    app.CheckSilverTooLittle(little.data(), little.size());
    EXPECT_NE(text.find("本房间最少需携带银子2147483647两"), std::string::npos) << text;
    EXPECT_NE(text.find("仍少了2147483648两,是否从保险箱划银？"), std::string::npos) << text;
    AnswerModalWithOk(&text);
    auto much = Bound(900, 500);
    app.CheckSilverTooMuch(much.data(), much.size());
    EXPECT_NE(text.find("本房间最多可携带银子500两"), std::string::npos) << text;
    EXPECT_NE(text.find("仍超了400两,是否将银子存入保险箱？"), std::string::npos) << text;
    EXPECT_EQ(tool.targets, (std::vector<int32_t>{INT32_MAX, 500}));
    EXPECT_TRUE(ModelessBoxes().empty());
}

// Carried silver and a room's bound at the ends of the range: the difference shown is the
// true one, both ways.
TEST_F(AppOperations, SilverBoundDifferencesAtTheEndsOfTheRange) {
    Enter(0, kOptionSilverRoom, 0x1000000);
    ASSERT_TRUE(app.IsSpecialOption());
    struct Case {
        bool tooLittle;
        int32_t carried, limit;
        const char* difference;
    } cases[] = {
        {true, INT32_MIN, INT32_MAX, "仍少了4294967295两"},
        {true, -1, INT32_MAX, "仍少了2147483648两"},
        {true, 0, 1, "仍少了1两"},
        {true, INT32_MAX, INT32_MIN, "仍少了-4294967295两"},
        {false, INT32_MAX, INT32_MIN, "仍超了4294967295两"},
        {false, INT32_MAX, -1, "仍超了2147483648两"},
        {false, 0, -1, "仍超了1两"},
        {false, INT32_MIN, INT32_MAX, "仍超了-4294967295两"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.difference);
        std::string text;
        AnswerModalWithOk(&text);
        auto record = Bound(c.carried, c.limit);
        if (c.tooLittle)
            app.CheckSilverTooLittle(record.data(), record.size());
        else
            app.CheckSilverTooMuch(record.data(), record.size());
        EXPECT_NE(text.find(std::string(c.difference) + ","), std::string::npos) << text;
        EXPECT_NE(text.find("您" + std::string(c.tooLittle ? "只携带了" : "携带了") +
                            std::to_string(c.carried) + "两"),
                  std::string::npos)
            << text;
    }
}

// The silver reward's failure box is the platform's box owned by the table pane.
TEST_F(AppOperations, SilverRewardFailureBoxIsOwnedByTheTablePane) {
    Enter();
    std::mutex mu;
    std::vector<std::string> lines;
    platform::DiagSink previous = platform::setDiagSink([&](std::string_view line) {
        std::lock_guard<std::mutex> g(mu);
        lines.emplace_back(line);
    });
    CGameTableView view(app);
    view.ClaimSilverReward(0);  // not connected: the request fails
    platform::setDiagSink(previous);
    std::lock_guard<std::mutex> g(mu);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "message box over table: 与服务器连接断开。"),
              lines.end());
}

// The table pane is a plain widget, not a scrolling view: it has no scroll sizes to set, and
// what it draws stays at its origin whatever its size.
TEST_F(AppOperations, TablePaneIsNoScrollingViewSoItNeedsNoInitialUpdate) {
    CGameTableView view(app);
    EXPECT_EQ(qobject_cast<QAbstractScrollArea*>(&view), nullptr);
    QImage pic(2, 2, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    pic.setPixelColor(0, 0, Qt::red);
    view.resize(300, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetBackgroundPicture(pic);
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(149, 59), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(299, 119), QColor(Qt::blue));
}

// The log closes after the communication thread and the connection: what they write on
// their way out still reaches the daily log.
TEST_F(AppOperations, ExitClosesTheLogLastSoTheShutdownLinesAreKept) {
    struct SayingConnection : CGameConnection {
        using CGameConnection::CGameConnection;
        void Disconnect() override { platform::diag("connection closed on the way out"); }
    };
    app.Connect<SayingConnection>();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    netlib::YrnLogSetFolder(dir.path().toStdString());
    netlib::YrnLogOpen("Game", 0xA001D);
    app.ExitInstance();
    platform::diag("after the close");
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string log;
    EXPECT_TRUE(platform::readFile(netlib::YrnLogPathFor(local), &log));
    netlib::YrnLogSetFolder("");
    EXPECT_NE(log.find("connection closed on the way out"), std::string::npos) << log;
    EXPECT_EQ(log.find("after the close"), std::string::npos) << log;
}

// An application of the framework alone has a router, skin settings and a connection of its
// own: the framework's notifications keep its records without a game's router.
TEST_F(AppOperations, TheFrameworkSuppliesItsOwnRouterSkinAndConnection) {
    Enter();
    ASSERT_NE(app.GetSkinSettings(), nullptr);
    ASSERT_NE(app.GetConnection(), nullptr);
    CGameNotifyHandler* router = app.GetGameNotify();
    ASSERT_NE(router, nullptr);
    testing::Words b(68 + 136);
    b.w(2, 12).w(3, 4).w(4, 1);
    b.raw(68, testing::Entry(55, 6, "x"));
    ASSERT_TRUE(router->OnNotify(211700, b.data(), b.size()));
    EXPECT_EQ(app.GetTableNo(), 12);
    EXPECT_EQ(app.GetChairNo(), 4);
    EXPECT_EQ(app.GetSeatUserID(6), 55);
}

}  // namespace
}  // namespace hqlv::framework
