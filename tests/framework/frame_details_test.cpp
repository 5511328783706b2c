// The frame's finishing details: the small-screen layouts (in a child run under a 1024 x 600
// screen), panes widened over their splitter cells and the splitters' borders, boxes whose
// Cancel is disabled, the table pane's refresh after 211000 and a lost connection, the skin
// page under its wait text, the relaunch at the application's end, and the end-of-table
// boxes that end the client.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/app/game_app.h"
#include "framework/hall/hall_records.h"
#include "framework/panes/form_view.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/panes/player_view.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/report_list.h"
#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/process.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"
#include "tests/self_rerun.h"
#ifdef HQLV_SERVER_EXE
#include "netlib/framing.h"
#include "tools/server/game_server.h"
#endif

namespace hqlv::framework {
namespace {

bool PumpUi(const std::function<bool()>& pred, int ms = 5000) {
    const uint32_t start = platform::tickMs();
    while (!pred()) {
        if (platform::tickElapsed(start, platform::tickMs()) > uint32_t(ms)) return false;
        platform::ui::processUiEvents(5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The application of these tests: the frame is set by hand, the relaunch flag can be set.
struct TestApp : CGameApp {
    using CGameApp::CGameApp;
    using CGameApp::SetStandalone;
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
    void RelaunchAtExit() { SetRelaunchAtExit(true); }
    int IsPlaying() override { return playing; }
    int playing = 0;
};

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// ---- the small screen

// Runs inside the child program only (see below): an application made under the screen it
// was given, its frame and player list.
TEST(SmallScreenChild, LayoutsFollowTheScreenHeight) {
    const char* want = std::getenv("HQLV_TEST_SCREEN_HEIGHT");
    if (!want) GTEST_SKIP() << "runs in the child program of SmallScreen.*";
    testing::SharedQtApp();
    platform::ui::uiDispatcher();
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().height(), std::atoi(want));
    const bool small = std::atoi(want) < 601;
    TestApp app{"Small", 21303, 2, 1};
    EXPECT_EQ(app.IsSmallScreen(), small);
    ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|0|0|0|0"));
    app.SetStandalone(true);
    CGameFrameWnd frame(app);
    ASSERT_TRUE(frame.Create());
    // Eight seats, four counted: 16 x 4 + 56 on a small screen, 32 x 4 + 72 otherwise.
    const int row = small ? 120 : 200;
    EXPECT_EQ(frame.GetPaneRowHeight(), row);
    ASSERT_TRUE(PumpUi([&] { return frame.rightSplitter()->sizes().value(0) == row; }, 2000))
        << frame.rightSplitter()->sizes().value(0) << " of " << frame.rightSplitter()->height();
    auto* operation = dynamic_cast<CGameFormView*>(frame.rightSplitter()->widget(0));
    ASSERT_NE(operation, nullptr);
    EXPECT_EQ(operation->cell().height(), row);
    // The player list's portraits: 16 pixels on a small screen, else 32.
    auto* list = frame.findChild<CSortListCtrl*>("playerList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->iconSize(), small ? QSize(16, 16) : QSize(32, 32));
    frame.grab().save(QString::fromStdString(std::string(HQLV_BUILD_DIR) + "/frame-screen-" +
                                             std::string(want) + ".png"));
}

// This program once more, with only the child test and a screen of the given size.
int RunChild(int width, int height, std::string& output) {
    QTemporaryDir dir;
    const std::string config = dir.path().toStdString() + "/screen.json";
    std::ofstream(config) << "{\"screens\":[{\"name\":\"s\",\"x\":0,\"y\":0,\"width\":" << width
                          << ",\"height\":" << height
                          << ",\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}";
    return hqlv::testing::RerunSelf({"--gtest_filter=SmallScreenChild.*"},
                                    {"QT_QPA_PLATFORM=offscreen:configfile=" + config,
                                     "HQLV_TEST_SCREEN_HEIGHT=" + std::to_string(height)},
                                    dir.path().toStdString() + "/out.txt", output);
}

TEST(SmallScreen, A1024By600ScreenGetsTheSmallLayoutsAndA601HighOneTheLarge) {
    for (auto [w, h] : {std::pair{1024, 600}, std::pair{1024, 601}}) {
        SCOPED_TRACE(h);
        std::string output;
        EXPECT_EQ(RunChild(w, h, output), 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    }
}

// ---- panes in splitter cells

TEST(SplitterCells, PanesTakeTheirCellWidenedAndOthersTheCellItself) {
    testing::SharedQtApp();
    struct Pane : CGameFormView {
        using CGameFormView::CGameFormView;
        std::vector<QSize> sizes;
        void resizeEvent(QResizeEvent* e) override {
            sizes.push_back(e->size());
            CGameFormView::resizeEvent(e);
        }
    };
    CSkinSplitterWnd split(Qt::Horizontal);
    auto* pane = new Pane("pane");
    auto* plain = new QWidget;
    auto* last = new Pane("last");
    split.addWidget(pane);
    split.addWidget(plain);
    split.addWidget(last);
    split.resize(400, 200);
    split.show();
    ASSERT_TRUE(PumpUi([&] { return !pane->cell().isNull() && !last->cell().isNull(); }));
    for (Pane* p : {pane, last}) {
        EXPECT_EQ(p->geometry(), CGameFormView::WidenedCell(p->cell())) << p->paneName();
        // The cells lie inside the splitter's one-pixel border.
        EXPECT_EQ(p->cell().top(), 1);
        EXPECT_EQ(p->cell().height(), 198);
        // The pane was only ever told of its widened sizes.
        for (QSize s : p->sizes) EXPECT_EQ(s.height(), 200) << p->paneName();
    }
    EXPECT_EQ(pane->cell().left(), 1);
    EXPECT_EQ(pane->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(last->geometry().right(), 399);
    EXPECT_EQ(split.CellOf(0), pane->cell());
    EXPECT_EQ(split.CellOf(1), plain->geometry());  // not a pane: not widened
    EXPECT_EQ(plain->geometry().top(), 1);
    EXPECT_EQ(plain->geometry().height(), 198);
    EXPECT_EQ(split.CellOf(7), QRect());
    // A new cell (the bar moved) is widened again.
    const int before = pane->cell().width();
    split.setSizes({before - 40, plain->width() + 40, last->cell().width()});
    ASSERT_TRUE(PumpUi([&] { return pane->cell().width() == before - 40; }))
        << pane->cell().width();
    EXPECT_EQ(pane->geometry(), CGameFormView::WidenedCell(pane->cell()));
    EXPECT_EQ(pane->width(), before - 38);
    EXPECT_EQ(last->geometry(), CGameFormView::WidenedCell(last->cell()));
    // Outside a splitter a pane stays where it is put.
    CGameFormView alone("alone");
    alone.setGeometry(10, 10, 100, 50);
    alone.show();
    PumpUi([] { return false; }, 50);
    EXPECT_EQ(alone.geometry(), QRect(10, 10, 100, 50));
    EXPECT_TRUE(alone.cell().isNull());
}

// A splitter with a plain child, drawn: the pixels just around the child's cell.
QImage DrawnSplitter(int mode, platform::ui::ColorRef face, QRect* cell) {
    CSkinSplitterWnd split(Qt::Horizontal);
    split.SetDrawMode(mode);
    split.SetFaceColor(face);
    auto* a = new QWidget;
    auto* b = new QWidget;
    for (QWidget* w : {a, b}) {
        w->setAutoFillBackground(true);
        QPalette p = w->palette();
        p.setColor(QPalette::Window, Qt::black);
        w->setPalette(p);
        split.addWidget(w);
    }
    split.resize(200, 100);
    split.show();
    PumpUi([&] { return a->width() > 0; });
    *cell = split.CellOf(1);
    QImage img = split.grab().toImage();
    img.save(QString::fromStdString(std::string(HQLV_BUILD_DIR) + "/splitter-mode" +
                                    std::to_string(mode) + ".png"));
    split.hide();
    return img;
}

TEST(SplitterCells, BordersOfModesZeroOneAndFourAroundTheCells) {
    testing::SharedQtApp();
    QRect cell;
    const QImage four = DrawnSplitter(4, 0x0000FF, &cell);  // face colour: red
    ASSERT_FALSE(cell.isNull());
    const QRect ring = cell.adjusted(-1, -1, 1, 1);
    // Every pixel of the ring around the cell, on all four sides, in the face colour.
    for (int x = ring.left(); x <= ring.right(); x += 7) {
        EXPECT_EQ(QColor(four.pixel(x, ring.top())), QColor(Qt::red)) << x;
        EXPECT_EQ(QColor(four.pixel(x, ring.bottom())), QColor(Qt::red)) << x;
    }
    for (int y = ring.top(); y <= ring.bottom(); y += 7) {
        EXPECT_EQ(QColor(four.pixel(ring.left(), y)), QColor(Qt::red)) << y;
        EXPECT_EQ(QColor(four.pixel(ring.right(), y)), QColor(Qt::red)) << y;
    }
    EXPECT_EQ(QColor(four.pixel(ring.right(), ring.bottom())), QColor(Qt::red));
    // Inside the cell: the child.
    EXPECT_EQ(QColor(four.pixel(cell.center())), QColor(Qt::black));
    // Modes 0 and 1: sunken, shadow above and left, highlight below and right.
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        const QImage img = DrawnSplitter(mode, 0x0000FF, &cell);
        EXPECT_EQ(QColor(img.pixel(ring.left() + 5, ring.top())), QColor(0x80, 0x80, 0x80));
        EXPECT_EQ(QColor(img.pixel(ring.left(), ring.top() + 5)), QColor(0x80, 0x80, 0x80));
        EXPECT_EQ(QColor(img.pixel(ring.left() + 5, ring.bottom())), QColor(Qt::white));
        EXPECT_EQ(QColor(img.pixel(ring.right(), ring.top() + 5)), QColor(Qt::white));
    }
    // Mode 2 draws no border: not the face colour there.
    const QImage two = DrawnSplitter(2, 0x0000FF, &cell);
    EXPECT_NE(QColor(two.pixel(ring.left() + 5, ring.bottom())), QColor(Qt::red));
    EXPECT_NE(QColor(two.pixel(ring.left() + 5, ring.bottom())), QColor(Qt::white));
}

TEST(SplitterCells, EveryPaneOfTheMainFrameSitsOnItsCellWidened) {
    testing::SharedQtApp();
    TestApp app{"Cells", 21303, 2, 1};
    ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|0|0|0|0"));
    app.SetStandalone(true);
    CGameFrameWnd frame(app);
    ASSERT_TRUE(frame.Create());
    ASSERT_FALSE(frame.panes().empty());
    ASSERT_TRUE(PumpUi([&] {
        for (CGameFormView* p : frame.panes())
            if (p->cell().isNull()) return false;
        return true;
    }));
    for (CGameFormView* p : frame.panes())
        EXPECT_EQ(p->geometry(), CGameFormView::WidenedCell(p->cell())) << p->paneName();
}

// ---- boxes whose Cancel is disabled

TEST(MsgBoxCancel, DisabledCancelGreysCloseAndKeepsTheBoxOnEscAndClose) {
    testing::SharedQtApp();
    struct Case {
        int style;
        bool cancelEnabled;
    };
    for (Case c :
         {Case{0, false}, Case{16, false}, Case{48, false}, Case{33, true}, Case{65, true}}) {
        SCOPED_TRACE(c.style);
        CGameMsgBoxDlg box;
        box.SetStyle(c.style);
        box.SetText("文字");
        box.InitDialog();
        box.show();
        EXPECT_EQ(box.cancelButton()->isEnabled(), c.cancelEnabled);
        EXPECT_EQ(bool(box.windowFlags() & Qt::WindowCloseButtonHint), c.cancelEnabled);
        // The window's close (Alt+F4, the title bar's Close) and Esc.
        box.close();
        EXPECT_EQ(box.isVisible(), !c.cancelEnabled);
        EXPECT_EQ(box.result(), c.cancelEnabled ? kMsgBoxCancel : 0);
        box.show();
        box.setResult(0);
        QTest::keyClick(&box, Qt::Key_Escape);
        EXPECT_EQ(box.isVisible(), !c.cancelEnabled);
        EXPECT_EQ(box.result(), c.cancelEnabled ? kMsgBoxCancel : 0);
        // OK still ends it.
        box.show();
        box.okButton()->click();
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), kMsgBoxOk);
    }
}

TEST(MsgBoxCancel, AModalStyleZeroBoxIgnoresCloseAndEscUntilOk) {
    testing::SharedQtApp();
    CGameMsgBoxDlg box;
    box.SetStyle(0);
    box.SetSeconds(0);  // no countdown: only the player ends it
    int stillUp = 0;
    QTimer::singleShot(50, &box, [&] {
        box.close();
        QTest::keyClick(&box, Qt::Key_Escape);
        QTimer::singleShot(50, &box, [&] {
            stillUp = box.isVisible() ? 1 : 0;
            box.okButton()->click();
        });
    });
    EXPECT_EQ(box.DoModal(), kMsgBoxOk);
    EXPECT_EQ(stillUp, 1);
}

// Enter and Space are OK from whichever item has the focus, Cancel included; Esc stays
// Cancel's.
TEST(MsgBoxKeys, EnterAndSpaceAnswerOkWithTheFocusOnAnyItem) {
    testing::SharedQtApp();
    struct Case {
        Qt::Key key;
        int focus;  // 0 OK, 1 Cancel, 2 the box itself
        int want;
    } cases[] = {{Qt::Key_Return, 1, kMsgBoxOk},     {Qt::Key_Enter, 1, kMsgBoxOk},
                 {Qt::Key_Space, 1, kMsgBoxOk},      {Qt::Key_Return, 0, kMsgBoxOk},
                 {Qt::Key_Space, 0, kMsgBoxOk},      {Qt::Key_Return, 2, kMsgBoxOk},
                 {Qt::Key_Escape, 1, kMsgBoxCancel}, {Qt::Key_Escape, 0, kMsgBoxCancel}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.key << " focus " << c.focus);
        CGameMsgBoxDlg box;
        box.SetStyle(33);  // question with OK and Cancel
        box.SetText("是否从保险箱划银？");
        box.SetSeconds(0);
        int answered = -1;
        QTimer::singleShot(50, &box, [&] {
            QWidget* target = c.focus == 0   ? static_cast<QWidget*>(box.okButton())
                              : c.focus == 1 ? static_cast<QWidget*>(box.cancelButton())
                                             : static_cast<QWidget*>(&box);
            target->setFocus();
            QTest::keyClick(target, c.key);
            answered = box.isVisible() ? 0 : box.result();
        });
        EXPECT_EQ(box.DoModal(), c.want);
        EXPECT_EQ(answered, c.want);
    }
}

TEST(MsgBoxKeys, AModelessBoxTakesEnterOnCancelAsOk) {
    testing::SharedQtApp();
    int closed = 0;
    std::vector<std::pair<std::string, int>> links;
    auto* box = new CGameMsgBoxModelessDlg(
        nullptr, [&] { ++closed; },
        [&](const std::string& link, int flag) { links.emplace_back(link, flag); });
    box->SetStyle(65);
    box->SetText("银子不够");
    box->SetLink("page.htm", 1);
    box->Show();
    QPointer<CGameMsgBoxModelessDlg> alive(box);
    box->cancelButton()->setFocus();
    QTest::keyClick(box->cancelButton(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(closed, 1);
    // OK opens the box's link; Cancel would not.
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].first, "page.htm");
}

// ---- the table pane's refresh

class RefreshFrame : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SharedQtApp();
        platform::ui::uiDispatcher();
        ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|0|0|0|0"));
        app.SetStandalone(true);
        frame = std::make_unique<CGameFrameWnd>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
        table = frame->GetGameTableView();
        ASSERT_NE(table, nullptr);
        ASSERT_TRUE(PumpUi([&] {
            return table->isVisible() && table->width() > 0 && frame->windowHandle() &&
                   frame->windowHandle()->isExposed();
        }));
        PumpUi([] { return false; }, 100);  // the first paints are done
        table->installEventFilter(&counter);
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<CGameMsgBoxModelessDlg*>(w)) delete w;
    }
    TestApp app{"Refresh", 21303, 2, 1};
    std::unique_ptr<CGameFrameWnd> frame;
    CGameTableView* table = nullptr;
    PaintCounter counter;
};

TEST_F(RefreshFrame, Notice211000RepaintsTheTablePaneAtOnce) {
    ASSERT_TRUE(frame->tableActive());
    std::vector<uint8_t> body(32, 0);
    ASSERT_TRUE(app.GetGameNotify()->OnNotify(211000, body.data(), body.size()));
    // Painted inside the handler, before any event loop ran.
    EXPECT_EQ(counter.paints, 1);
    EXPECT_FALSE(frame->tableActive());
}

TEST_F(RefreshFrame, ALostConnectionRepaintsTheTablePaneToo) {
    frame->OnConnectionLost();
    EXPECT_EQ(counter.paints, 1);
    app.RefreshTableView();
    EXPECT_EQ(counter.paints, 2);
    // Without a frame nothing is painted, and nothing breaks.
    app.SetFrame(nullptr);
    app.RefreshTableView();
    EXPECT_EQ(counter.paints, 2);
}

// ---- the skin page

TEST(SkinPage, Command20000OpensThePageUnderItsWaitText) {
    testing::SharedQtApp();
    platform::ui::uiDispatcher();
    QTemporaryDir dir;
    setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
    // The browser opens only when the test has seen the wait text.
    struct HeldRunner : platform::RecordingProcessRunner {
        std::atomic<bool> release{false};
        bool openUrl(std::string_view url) override {
            for (int i = 0; i < 500 && !release; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return platform::RecordingProcessRunner::openUrl(url);
        }
    } runner;
    platform::ProcessRunner* prev = platform::setProcessRunner(&runner);
    {
        TestApp app{"SkinPage", 21303, 2, 1};
        ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|0|0|0|0"));
        app.SetStandalone(true);
        ASSERT_TRUE(app.CreateCommThread());
        CGameFrameWnd frame(app);
        ASSERT_TRUE(frame.Create());
        app.SetFrame(&frame);
        CCommWaitDlg* wait = app.waitDialog();
        ASSERT_NE(wait, nullptr);
        const std::string url = app.GetWebSkinUrl();
        const std::string text = "正在打开" + url.substr(0, 32) + "...";
        frame.OnSkinCommand(20000);
        // The text shows while the page opens, with its 15 seconds; it goes once the page's
        // thread is done (0x8618).
        EXPECT_TRUE(PumpUi([&] { return wait->isVisible() && wait->text() == text; }))
            << wait->text();
        EXPECT_TRUE(wait->autoHideRunning());
        runner.release = true;
        EXPECT_TRUE(PumpUi([&] { return !wait->isVisible(); }));
        ASSERT_EQ(runner.calls.size(), 1u);
        EXPECT_EQ(runner.calls[0].program, "");
        EXPECT_EQ(runner.calls[0].argument, url);
        app.SetFrame(nullptr);
        app.StopCommThread();
    }
    platform::setProcessRunner(prev);
    unsetenv("HQLV_RUNTIME_DIR");
}

// ---- the relaunch at the end

TEST(Relaunch, TheApplicationsEndStartsTheProgramAgainOnlyWhenAsked) {
    testing::SharedQtApp();
    platform::RecordingProcessRunner runner;
    platform::ProcessRunner* prev = platform::setProcessRunner(&runner);
    const std::string line = "77|127.0.0.1|3|4242|0|1001|5|2|1|0|title|9000|4|16|0";
    {
        TestApp app{"Relaunch", 21303, 2, 1};
        ASSERT_TRUE(app.ApplyHallCommandLine(line));
    }
    EXPECT_TRUE(runner.calls.empty());
    {
        TestApp app{"Relaunch", 21303, 2, 1};
        ASSERT_TRUE(app.ApplyHallCommandLine(line));
        app.RelaunchAtExit();
    }
    platform::setProcessRunner(prev);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].program, platform::programFile());
    // The same entry, no longer looking on, marked as a relaunch.
    EXPECT_EQ(runner.calls[0].argument, "\"77|127.0.0.1|3|4242|0|1001|5|2|0|1|title|9000|4|16|0\"");
}

#ifdef HQLV_SERVER_EXE
// ---- the end-of-table boxes

// A frame whose close question can be watched (and answered while the table ends).
class EndFrame : public CGameFrameWnd {
public:
    using CGameFrameWnd::CGameFrameWnd;
    std::function<int()> confirm;
    int asked = 0;
    int ConfirmQuit() override {
        ++asked;
        return confirm ? confirm() : 0;
    }
};

class TableOver : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SharedQtApp();
        platform::ui::uiDispatcher();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        prevHall = platform::setHallChannel(&hall);
        prevRunner = platform::setProcessRunner(&runner);
        ASSERT_TRUE(server.Start());
    }
    void Connect(int optionB = 0, int lookerOn = 0) {
        ASSERT_TRUE(app.ApplyHallCommandLine(
            "77|127.0.0.1|3|4242|0|1001|5|0|" + std::to_string(lookerOn) + "|0|title|" +
            std::to_string(server.Port()) + "|0|" + std::to_string(optionB) + "|0"));
        hall.alive.insert(app.HallWindow());
        ASSERT_TRUE(app.CreateCommThread());
        ASSERT_EQ(app.ConnectGameServer(), 1);
        frame = std::make_unique<EndFrame>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<CGameMsgBoxModelessDlg*>(w)) delete w;
        app.StopCommThread();
        app.CloseConnection();
        server.Stop();
        platform::setProcessRunner(prevRunner);
        platform::setHallChannel(prevHall);
        unsetenv("HQLV_RUNTIME_DIR");
    }
    CGameMsgBoxModelessDlg* Box() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = dynamic_cast<CGameMsgBoxModelessDlg*>(w); b && b->isVisible()) return b;
        return nullptr;
    }
    int Requests(int id) {
        int n = 0;
        for (const auto& r : server.Received()) n += r.id == id;
        return n;
    }
    int HallReports() {
        std::lock_guard g(hall.mu);
        int n = 0;
        for (const auto& c : hall.calls)
            n += c.type == platform::RecordingHallChannel::Call::CopyData && c.msg == kHallReport;
        return n;
    }
    bool Notify(int code, std::vector<uint8_t> body) {
        return app.GetGameNotify()->OnNotify(uint32_t(code), body.data(), body.size());
    }

    QTemporaryDir dir;
    platform::RecordingHallChannel hall;
    platform::HallChannel* prevHall = nullptr;
    platform::RecordingProcessRunner runner;
    platform::ProcessRunner* prevRunner = nullptr;
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    TestApp app{"TableOver" + std::to_string(getpid()), 21303, 2, 1};
    std::unique_ptr<EndFrame> frame;
};

TEST_F(TableOver, EachEndOfTableBoxEndsTheClientWithTheLeaveNotice) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    std::vector<uint8_t> body(96, 0);
    body[0] = 0xE9;
    body[1] = 0x03;  // user 1001
    ASSERT_TRUE(Notify(211110, body));
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetSeconds(), 30);
    box->okButton()->click();
    ASSERT_TRUE(PumpUi([&] { return frame->endingClient(); }));
    // No close question, the leave notice to the server, the report to the hall; the
    // communication thread is gone.
    EXPECT_EQ(frame->asked, 0);
    EXPECT_TRUE(server.WaitForRequest(201120, 5000).has_value());
    EXPECT_EQ(HallReports(), 1);
    EXPECT_EQ(app.commThread(), nullptr);
    EXPECT_FALSE(frame->isVisible());
    // A second end changes nothing.
    frame->EndClient();
    PumpUi([] { return false; }, 100);
    EXPECT_EQ(Requests(201120), 1);
    EXPECT_EQ(HallReports(), 1);
}

TEST_F(TableOver, TheCountdownEndsItTooAndWithBit40TheLeaveIsTheWaitedOne) {
    ASSERT_NO_FATAL_FAILURE(Connect(0x40));
    std::vector<uint8_t> body(12, 0);
    body[8] = 9;
    ASSERT_TRUE(Notify(211136, body));
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    for (int i = 0; i < 30; ++i) box->OnCountdownTick();
    ASSERT_TRUE(PumpUi([&] { return frame->endingClient(); }));
    EXPECT_TRUE(server.WaitForRequest(201125, 5000).has_value());
    EXPECT_EQ(Requests(201120), 0);
    EXPECT_EQ(HallReports(), 1);
}

TEST_F(TableOver, TheResultBoxOpensItsLinkAndEndsWithTheConnectionClosed) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    std::vector<uint8_t> body(32, 0);
    for (char c : std::string("done|http://127.0.0.1/r")) body.push_back(uint8_t(c));
    body.push_back(0);
    ASSERT_TRUE(Notify(211410, body));
    EXPECT_EQ(app.GetConnection()->IsConnected(), 0);
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    // The hall is gone meanwhile: the link goes without its sign, and nobody is told.
    {
        std::lock_guard g(hall.mu);
        hall.alive.clear();
    }
    box->okButton()->click();
    ASSERT_TRUE(PumpUi([&] { return frame->endingClient(); }));
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].argument, "http://127.0.0.1/r?uid=1001&sign=");
    EXPECT_EQ(Requests(201120), 0);  // nothing can go out any more
    EXPECT_EQ(HallReports(), 0);
}

TEST_F(TableOver, AnEndDuringTheCloseQuestionEndsOnceAndTheQuestionChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    server.SetReply(201130, {210030, std::vector<uint8_t>(4, 0)});  // a game is running
    std::vector<uint8_t> body(16, 0);
    ASSERT_TRUE(Notify(211134, body));
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    // The player closes the window; while the question is up the table's box runs out.
    frame->confirm = [&] {
        box->okButton()->click();
        PumpUi([&] { return frame->endingClient(); });
        return 1;  // and then says "leave"
    };
    frame->close();
    EXPECT_EQ(frame->asked, 1);
    EXPECT_TRUE(frame->endingClient());
    PumpUi([] { return false; }, 200);
    EXPECT_EQ(Requests(201120), 1);
    EXPECT_EQ(HallReports(), 1);
}

TEST_F(TableOver, TheLookedOnPlayerLeavingEndsALookerOn) {
    ASSERT_NO_FATAL_FAILURE(Connect(0, 1));
    PlayerRecord* seat = app.SeatMutable(0);
    seat->setWord(PlayerRecord::kUserId, 2002);
    seat->setWord(PlayerRecord::kValue9, 5);  // the table
    seat->setWord(PlayerRecord::kChair, 0);
    std::vector<uint8_t> body(32, 0);
    body[0] = 0xD2;
    body[1] = 0x07;  // user 2002, chair 0
    body[28] = 5;    // table 5
    ASSERT_TRUE(Notify(211010, body));
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    box->cancelButton()->click();
    ASSERT_TRUE(PumpUi([&] { return frame->endingClient(); }));
    EXPECT_EQ(HallReports(), 1);
}

TEST_F(TableOver, AnOrdinaryBoxStillAsksTheFrameToClose) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    app.MessageBoxModeless("普通", "确定", "取消", 10, 65);
    CGameMsgBoxModelessDlg* box = Box();
    ASSERT_NE(box, nullptr);
    box->okButton()->click();
    // The close runs its sequence (no game running: no question) and is not an end.
    ASSERT_TRUE(PumpUi([&] { return HallReports() == 1; }));
    EXPECT_FALSE(frame->endingClient());
    EXPECT_EQ(frame->asked, 0);
}

// A packet that fails its CRC keeps the framing sound and the server there, yet the frame
// takes it for a lost connection: the connection is closed at once, so the server sees the
// client drop (and keeps its seat), and the close that follows the box asks no quit question
// and sends no leave that would end the running game the box tells the player to re-enter.
TEST_F(TableOver, ACrcMismatchClosesTheConnectionSoTheBoxsCloseSendsNoLeave) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    server.SetReply(201130, {210030, std::vector<uint8_t>(4, 0)});  // a game is running
    const int client = server.Clients().at(0);
    netlib::YrnPacketHead head;
    head.type = netlib::kPacketMessage;
    head.messageId = head.fragment = head.last = 1;
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    netlib::CYrnBuffer packet;
    ASSERT_TRUE(netlib::YrnBuildPacket(head, data, sizeof data, true, packet));
    packet.Data()[netlib::kPacketOverhead] ^= 1;  // a data byte changed under its CRC
    ASSERT_TRUE(server.SendRaw(client, {packet.Data(), packet.Data() + packet.Size()}));
    ASSERT_TRUE(PumpUi([&] { return Box() != nullptr; }));
    EXPECT_TRUE(server.WaitForClosed(client, 3000));
    Box()->okButton()->click();
    ASSERT_TRUE(PumpUi([&] { return HallReports() == 1; }));
    EXPECT_EQ(frame->asked, 0);
    EXPECT_EQ(Requests(201130) + Requests(201120) + Requests(201125), 0);
}
#endif

}  // namespace
}  // namespace hqlv::framework
