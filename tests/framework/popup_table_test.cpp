// The slide-up popups with their gradient, the link label, the player request popup and
// the table view, under Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "builders.h"
#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_info_dlg.h"
#include "framework/panes/player_view.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "framework/widgets/slide_popup.h"
#include "platform/core/message.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"
#ifdef HQLV_SERVER_EXE
#include "tools/server/game_server.h"
#endif

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

// A fixed work area for the popups of a test; the screen's again afterwards.
struct WorkArea {
    explicit WorkArea(QRect r) {
        CPopupNotifyDlg::SetWorkAreaSource([r] { return r; });
    }
    ~WorkArea() { CPopupNotifyDlg::SetWorkAreaSource(nullptr); }
};

struct Hooks : CPopupNotifyDlg {
    int riseHalf = 0, risen = 0, sinkHalf = 0, sinkTwoThirds = 0;
    void OnRiseHalf() override { ++riseHalf; }
    void OnRisen() override { ++risen; }
    void OnSinkHalf() override { ++sinkHalf; }
    void OnSinkTwoThirds() override { ++sinkTwoThirds; }
};

void Settle() {
    platform::ui::processUiEvents(5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(SlidePopup, EachOpenPopupShiftsTheNextTenPixelsLeft) {
    SharedQtApp();
    WorkArea area(QRect(0, 0, 1000, 700));
    const int open = CPopupNotifyDlg::OpenCount();
    ASSERT_EQ(open, 0);
    std::vector<Hooks*> popups;
    for (int i = 0; i < 3; ++i) {
        auto* p = new Hooks;
        EXPECT_EQ(p->left(), 1000 - 250 - 10 * i);
        ASSERT_TRUE(p->ShowPopup(0, nullptr));
        EXPECT_FALSE(p->ShowPopup(0, nullptr));  // shown once
        popups.push_back(p);
    }
    EXPECT_EQ(CPopupNotifyDlg::OpenCount(), 3);
    for (Hooks* p : popups) delete p;
    EXPECT_EQ(CPopupNotifyDlg::OpenCount(), 0);
    // A popup that was never shown does not count.
    { Hooks hidden; }
    EXPECT_EQ(CPopupNotifyDlg::OpenCount(), 0);
}

TEST(SlidePopup, RisesInTwentyFourTicksStaysAndSinksAway) {
    SharedQtApp();
    WorkArea area(QRect(0, 0, 1000, 700));
    const bool pending = CPopupNotifyDlg::RiseHalfPending();
    QPointer<Hooks> p = new Hooks;
    p->SetStayTime(5);
    EXPECT_EQ(p->stayMs(), 5000);
    p->RaiseBottom(40);
    ASSERT_TRUE(p->ShowPopup(0, nullptr));
    EXPECT_EQ(p->timerPeriod(CPopupNotifyDlg::kTimerSlide), 20u);
    EXPECT_EQ(p->gradient().mode(), 2);
    EXPECT_EQ(p->gradient().pegs(), (std::vector<platform::ui::ColorRef>{0, 0, 0xFFFFFF}));
    int ticks = 0;
    while (p->risen == 0 && ticks < 100) {
        p->OnSlideTick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 24);
    EXPECT_EQ(p->popupRect(), QRect(750, 660 - 120, 240, 120));
    EXPECT_EQ(p->geometry(), p->popupRect());
    // Its face is the gradient drawn from its own corner over all of it.
    QImage face(p->size(), QImage::Format_RGB32);
    {
        QPainter qp(&face);
        platform::ui::DrawContext dc(qp);
        p->gradient().Draw(dc, 0, 0, p->width(), p->height());
    }
    EXPECT_EQ(p->grab().toImage().convertToFormat(QImage::Format_RGB32), face);
    EXPECT_EQ(p->riseHalf, pending ? 1 : 0);
    EXPECT_FALSE(CPopupNotifyDlg::RiseHalfPending());
    EXPECT_EQ(p->timerPeriod(CPopupNotifyDlg::kTimerSlide), 0u);
    EXPECT_EQ(p->timerPeriod(CPopupNotifyDlg::kTimerStay), 5000u);
    // The stay runs out: sinking starts.
    platform::send(p->hwnd(), {platform::kTimerMessage, CPopupNotifyDlg::kTimerStay, 0, nullptr});
    EXPECT_FALSE(p->rising());
    EXPECT_EQ(p->timerPeriod(CPopupNotifyDlg::kTimerStay), 0u);
    EXPECT_EQ(p->timerPeriod(CPopupNotifyDlg::kTimerSlide), 20u);
    for (int i = 0; i < 23; ++i) p->OnSlideTick();
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p->popupRect().height(), 5);
    p->OnSlideTick();
    Settle();
    EXPECT_TRUE(p.isNull());  // gone and deleted
    EXPECT_EQ(CPopupNotifyDlg::OpenCount(), 0);

    // A later popup never calls the rise-half hook.
    QPointer<Hooks> q = new Hooks;
    q->ShowPopup(0, nullptr);
    for (int i = 0; i < 24; ++i) q->OnSlideTick();
    EXPECT_EQ(q->risen, 1);
    EXPECT_EQ(q->riseHalf, 0);
    q->StartHide();
    for (int i = 0; i < 24; ++i) q->OnSlideTick();
    EXPECT_EQ(q->sinkHalf + q->sinkTwoThirds, 0);  // each fired at most once per process
    Settle();
    EXPECT_TRUE(q.isNull());
}

TEST(Gradient, BandsRunThroughThePegsInOrder) {
    CGradient g;
    g.SetPegs({0x000000, 0x000010, 0x0000FF});
    auto bands = g.Bands(100);
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().start, 0);
    EXPECT_EQ(bands.back().end, 100);
    for (size_t i = 1; i < bands.size(); ++i) EXPECT_EQ(bands[i].start, bands[i - 1].end);
    // First segment (0-50): 16 steps of red; second (50-100): cut to its length of 50.
    int first = 0;
    for (auto& b : bands) first += b.end <= 50;
    EXPECT_EQ(first, 16);
    EXPECT_EQ(bands.size(), 16u + 50u);
    EXPECT_EQ(bands[0].colour, 0x000000u);
    EXPECT_EQ(bands[15].colour, 0x00000Fu);
    EXPECT_EQ(bands[16].colour, 0x000010u);
    EXPECT_EQ(g.Bands(100, 4).size(), 8u);
    CGradient same;
    same.SetPegs({0x808000, 0x808000});
    ASSERT_EQ(same.Bands(30).size(), 1u);
    EXPECT_EQ(same.Bands(30)[0].end, 30);
    EXPECT_TRUE(same.Bands(0).empty());
}

TEST(HyperLink, ColoursFollowHoverAndVisitedAndTheControlShrinks) {
    SharedQtApp();
    QWidget parent;
    parent.resize(300, 100);
    auto* link = new CHyperLinkStatic(&parent);
    link->setText("同意");
    link->setGeometry(10, 10, 200, 40);
    link->SetColors(0x000001, 0x000002, 0xFFFFFF);
    link->ensurePolished();  // binds it
    EXPECT_EQ(link->toolTip(), "同意");
    EXPECT_LE(link->width(), 200);
    EXPECT_EQ(link->width(), link->fontMetrics().size(Qt::TextSingleLine, "同意").width());
    EXPECT_EQ(link->x(), 10);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->CurrentColour(), 0x000001u);
    link->SetVisited(true);
    EXPECT_EQ(link->CurrentColour(), 0x000002u);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QTest::mouseMove(link, QPoint(2, 2));
    EXPECT_TRUE(link->hovering());
    EXPECT_EQ(QWidget::mouseGrabber(), link);  // held while hovered
    EXPECT_EQ(link->CurrentColour(), 0xFFFFFFu);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    link->SetColors(0x000001, 0x000002, 0);  // black is a hover colour like any other
    EXPECT_EQ(link->CurrentColour(), 0u);
    QMouseEvent out(QEvent::MouseMove, QPointF(-5, -5), link->mapToGlobal(QPointF(-5, -5)),
                    Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(link, &out);
    EXPECT_FALSE(link->hovering());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    // Right-aligned text keeps its right edge.
    auto* right = new CHyperLinkStatic(&parent);
    right->setText("拒绝");
    right->setAlignment(Qt::AlignRight);
    right->setGeometry(10, 60, 200, 20);
    right->PositionWindow();
    EXPECT_EQ(right->geometry().right(), 209);
    int clicks = 0;
    right->onClick = [&] { ++clicks; };
    QTest::mouseClick(right, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 1);
}

// A double click is one click, as on a static control; the click after it acts again, also
// after a double-click whose release went elsewhere.
TEST(HyperLink, ADoubleClickIsOneClick) {
    SharedQtApp();
    QWidget parent;
    parent.resize(200, 60);
    auto* link = new CHyperLinkStatic(&parent);
    link->setText("刷新");
    link->setGeometry(10, 10, 100, 20);
    int clicks = 0;
    link->onClick = [&] { ++clicks; };
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    testing::DoubleClick(link);
    EXPECT_EQ(clicks, 1);
    QTest::mouseDClick(link, Qt::LeftButton, {}, QPoint(2, 2));  // the double-click alone
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks, 2);
    QTest::mouseClick(link, Qt::RightButton, {}, QPoint(2, 2));  // no click of the link's
    EXPECT_EQ(clicks, 2);
}

struct TestApp : CGameApp {
    using CGameApp::CGameApp;
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
};

class PaneViews : public ::testing::Test {
protected:
    void Start() {
        SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        testing::EntryLine e;
        e.chairNo = 1;
        e.optionB = optionB;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
        frame = std::make_unique<CGameFrameWnd>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
        table = frame->GetGameTableView();
        players = dynamic_cast<CGamePlayerView*>(frame->GetPlayerView());
        ASSERT_NE(table, nullptr);
        ASSERT_NE(players, nullptr);
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        unsetenv("HQLV_RUNTIME_DIR");
    }
    QTemporaryDir dir;
    int optionB = 0;
    TestApp app{"HqLv", 21303, 2, 1};
    std::unique_ptr<CGameFrameWnd> frame;
    CGameTableView* table = nullptr;
    CGamePlayerView* players = nullptr;
};

// Posted answers the player list received.
struct AnswerList : CGamePlayerView {
    using CGamePlayerView::CGamePlayerView;
    std::vector<std::pair<int, bool>> answers;
    void OnPlayerInfoAnswer(int user, bool agreed) override { answers.push_back({user, agreed}); }
};

TEST_F(PaneViews, RequestPopupAnswersOnceAndNotAtAll) {
    Start();
    WorkArea area(QRect(0, 0, 1000, 700));
    AnswerList list(app);
    *app.SeatMutable(2) = testing::Record(1002, 2, "问者");
    auto* dlg = CGamePlayerInfoDlg::Show(app, list.hwnd(), 1002);
    QPointer<CGamePlayerInfoDlg> guard(dlg);
    EXPECT_EQ(dlg->nameLink()->text(), "问者");
    EXPECT_NE(dlg->nameLink()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(dlg->stayMs(), 30000);
    EXPECT_EQ(dlg->popupRect().width(), 160);
    // No portrait file: the popup's own picture, the program's bitmap resource 162.
    const std::optional<QImage> face = LoadProgramBitmap(kBitmapPopupFace);
    ASSERT_TRUE(face);
    EXPECT_EQ(dlg->background(), *face);
    EXPECT_EQ(dlg->picture()->pixmap().toImage().convertToFormat(QImage::Format_RGB32), *face);
    for (int i = 0; i < 16; ++i) dlg->OnSlideTick();
    EXPECT_EQ(dlg->popupRect().height(), 80);
    // Two clicks on "同意": one answer, and the popup sinks.
    QTest::mouseClick(dlg->agreeLink(), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseClick(dlg->agreeLink(), Qt::LeftButton, {}, QPoint(1, 1));
    dlg->OnCommand(CGamePlayerInfoDlg::kIdRefuse);
    EXPECT_FALSE(dlg->rising());
    platform::ui::processUiEvents(20);
    ASSERT_EQ(list.answers.size(), 1u);
    EXPECT_EQ(list.answers[0], std::make_pair(1002, true));
    for (int i = 0; i < 16; ++i)
        if (guard) guard->OnSlideTick();
    Settle();
    EXPECT_TRUE(guard.isNull());

    // A popup that runs out of time says nothing.
    auto* quiet = CGamePlayerInfoDlg::Show(app, list.hwnd(), 1002);
    QPointer<CGamePlayerInfoDlg> qg(quiet);
    for (int i = 0; i < 16; ++i) quiet->OnSlideTick();
    platform::send(quiet->hwnd(),
                   {platform::kTimerMessage, CPopupNotifyDlg::kTimerStay, 0, nullptr});
    for (int i = 0; i < 16; ++i)
        if (qg) qg->OnSlideTick();
    Settle();
    EXPECT_TRUE(qg.isNull());
    platform::ui::processUiEvents(20);
    EXPECT_EQ(list.answers.size(), 1u);

    // The list went before the answer: the post fails and nothing dangles.
    platform::Handle gone = 0;
    {
        AnswerList shortLived(app);
        gone = shortLived.hwnd();
    }
    auto* orphan = CGamePlayerInfoDlg::Show(app, gone, 1002);
    orphan->OnCommand(CGamePlayerInfoDlg::kIdAgree);
    EXPECT_TRUE(orphan->answered());
    delete orphan;
}

// The popup's three links bind themselves as it rises: the answers with the hand cursor and
// their text as tooltip, each shrunk to its text at its place; the name without the cursor.
TEST_F(PaneViews, RequestPopupLinksAreBoundWhenItRises) {
    Start();
    WorkArea area(QRect(0, 0, 1000, 700));
    AnswerList list(app);
    *app.SeatMutable(2) = testing::Record(1002, 2, "问者");
    QPointer<CGamePlayerInfoDlg> dlg(CGamePlayerInfoDlg::Show(app, list.hwnd(), 1002));
    const QRect agreeAt = dlg->agreeLink()->geometry(), refuseAt = dlg->refuseLink()->geometry();
    for (int i = 0; i < 16; ++i) dlg->OnSlideTick();
    ASSERT_TRUE(dlg->isVisible());
    CHyperLinkStatic* name = dlg->nameLink();
    ASSERT_TRUE(name->bound());
    EXPECT_EQ(name->toolTip(), "问者");
    EXPECT_FALSE(name->testAttribute(Qt::WA_SetCursor));
    for (auto [link, at] :
         {std::pair{dlg->agreeLink(), agreeAt}, std::pair{dlg->refuseLink(), refuseAt}}) {
        ASSERT_TRUE(link->bound());
        EXPECT_EQ(link->toolTip(), link->text());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        const QSize text = link->fontMetrics().size(Qt::TextSingleLine, link->text());
        EXPECT_EQ(link->geometry(),
                  QRect(at.topLeft(), QSize(std::min(text.width(), at.width()),
                                            std::min(text.height(), at.height()))));
    }
    delete dlg.data();
}

TEST_F(PaneViews, PopupPlacedAboveTheMainWindowCorner) {
    Start();
    WorkArea area(QRect(0, 0, 1000, 700));
    frame->setGeometry(100, 50, 600, 500);
    const QRect main = frame->frameGeometry();
    auto* dlg = CGamePlayerInfoDlg::Show(app, players->hwnd(), 7);
    EXPECT_EQ(dlg->left(), main.x() + main.width() - 170);
    for (int i = 0; i < 16; ++i) dlg->OnSlideTick();
    EXPECT_EQ(dlg->popupRect().bottom() + 1, main.y() + main.height() - 10);
    EXPECT_EQ(dlg->nameLink()->text(), "");
    delete dlg;
}

// The main window owns the popup: the window system keeps it with its owner (down with it
// when it is minimised), and it goes when the main window goes. Without a main window it
// stands alone.
TEST_F(PaneViews, RequestPopupIsOwnedByTheMainWindow) {
    Start();
    WorkArea area(QRect(0, 0, 1000, 700));
    frame->show();
    QPointer<CGamePlayerInfoDlg> dlg(CGamePlayerInfoDlg::Show(app, players->hwnd(), 7));
    for (int i = 0; i < 4; ++i) dlg->OnSlideTick();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->isWindow());
    EXPECT_EQ(dlg->parentWidget(), frame.get());
    ASSERT_NE(dlg->windowHandle(), nullptr);
    EXPECT_EQ(dlg->windowHandle()->transientParent(), frame->windowHandle());
    EXPECT_EQ(dlg->popupRect().width(), 160);
    app.SetFrame(nullptr);
    QPointer<CGamePlayerInfoDlg> alone(CGamePlayerInfoDlg::Show(app, players->hwnd(), 7));
    EXPECT_EQ(alone->parentWidget(), nullptr);
    frame.reset();
    EXPECT_TRUE(dlg.isNull());
    ASSERT_FALSE(alone.isNull());
    delete alone.data();
}

TEST_F(PaneViews, TableViewCacheCursorAndBackground) {
    Start();
    CGameTableView view(app);
    QImage pic(4, 4, QImage::Format_RGB32);
    pic.fill(Qt::red);
    view.resize(200, 100);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetBackgroundPicture(pic);
    const int builds = view.cacheBuilds();
    EXPECT_EQ(view.cachedBackground().size(), QSize(200, 100));
    view.resize(200, 100);  // the same size: the cache stays
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(view.cacheBuilds(), builds);
    view.resize(300, 120);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(view.cacheBuilds(), builds + 1);
    EXPECT_EQ(view.GetWidth(), 300);
    EXPECT_EQ(view.cachedBackground().size(), QSize(300, 120));
    EXPECT_EQ(view.grab().toImage().pixelColor(150, 60), QColor(Qt::red));
    view.SetBackgroundPicture(std::nullopt);
    view.SetBackgroundColor(0xFF0000);  // blue
    view.update();
    EXPECT_EQ(view.grab().toImage().pixelColor(150, 60), QColor(Qt::blue));
    view.SetCursorMode(1);
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
    view.SetCursorMode(2);
    EXPECT_EQ(view.cursor().shape(), Qt::SizeAllCursor);
    view.setCursor(Qt::IBeamCursor);
    view.SetCursorMode(3);
    EXPECT_EQ(view.cursor().shape(), Qt::IBeamCursor);
    view.SetCursorMode(0);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PaneViews, RequestsWithoutAConnectionDoNothing) {
    SharedQtApp();
    struct NoConnection : CGameApp {
        using CGameApp::CGameApp;
        CGameConnection* GetConnection() override { return nullptr; }
    } bare("HqLv", 21303, 2, 1);
    testing::EntryLine e;
    e.optionB = 0xC2;
    ASSERT_TRUE(bare.ApplyHallCommandLine(e.line()));
    CGameTableView view(bare);
    view.FetchDoleConfig(1);
    view.ClaimDole(1, 2);
    view.ClaimDole2(1, 2);
    view.ClaimSilverReward(0);
    EXPECT_EQ(view.Request201302(), 0);
    EXPECT_EQ(view.RequestTableChange(), 0);
    EXPECT_EQ(bare.waitDialog(), nullptr);
    // Nor is there a main window to run the idle timer on.
    view.OnEnteredGame();
    view.StartIdleTimer();
    EXPECT_FALSE(view.idleTimerRunning());
}

TEST_F(PaneViews, NoIdleTimerWithoutBothIdleBits) {
    for (int bits : {0x00, 0x40, 0x80}) {
        optionB = bits;
        Start();
        table->OnEnteredGame();
        table->StartIdleTimer();
        EXPECT_FALSE(table->idleTimerRunning()) << bits;
        EXPECT_EQ(table->RequestTableChange(), 0) << bits;
        app.SetFrame(nullptr);
        frame.reset();
    }
}

TEST_F(PaneViews, MainWindowGoesWhileTheIdleTimerRuns) {
    optionB = 0xC0;
    Start();
    table->OnEnteredGame();
    table->StartIdleTimer();
    ASSERT_TRUE(table->idleTimerRunning());
    // As at the end of a run: the application still names the frame while it is deleted,
    // and the table pane stops its timer from inside the frame's teardown.
    frame.reset();
    app.SetFrame(nullptr);
}

#ifdef HQLV_SERVER_EXE
TEST_F(PaneViews, SuccessfulTableChangeRestartsTheIdleTimer) {
    server::GameServer srv{server::ServerOptions{0, 2, 1, 4, 50, 4, [](const std::string&) {}}};
    ASSERT_TRUE(srv.Start());
    optionB = 0xC0;
    Start();
    CGameConnection* conn = app.GetConnection();
    conn->InitCodec();
    int flag = 0;
    ASSERT_NE(conn->Connect("", "127.0.0.1", srv.Port(), &flag), 0);
    ASSERT_TRUE(srv.WaitForClients(1, 3000));
    table->OnEnteredGame();
    EXPECT_EQ(table->idleSeconds(), 120);
    srv.SetReply(201300, {1010, {}});
    EXPECT_EQ(table->RequestTableChange(), 0);
    EXPECT_FALSE(table->idleTimerRunning());
    srv.SetReply(201300, {10, {}});
    EXPECT_EQ(table->RequestTableChange(), 1);
    EXPECT_TRUE(table->idleTimerRunning());
    ASSERT_TRUE(srv.WaitForRequest(201300, 1000, 2));
    // The timer is the main window's 1005; its expiry ends the table view's timer too.
    platform::send(frame->hwnd(), {platform::kTimerMessage, kTimerIdle, 0, nullptr});
    EXPECT_FALSE(table->idleTimerRunning());
    conn->Disconnect();
    srv.Stop();
}

TEST_F(PaneViews, Request201302GoesOutInRoomsWithBit2) {
    server::GameServer srv{server::ServerOptions{0, 2, 1, 4, 50, 4, [](const std::string&) {}}};
    ASSERT_TRUE(srv.Start());
    optionB = 0x82;
    Start();
    CGameConnection* conn = app.GetConnection();
    conn->InitCodec();
    int flag = 0;
    ASSERT_NE(conn->Connect("", "127.0.0.1", srv.Port(), &flag), 0);
    ASSERT_TRUE(srv.WaitForClients(1, 3000));
    srv.SetReply(201302, {10, {}});
    EXPECT_EQ(table->Request201302(), 0);
    EXPECT_TRUE(srv.WaitForRequest(201302, 1000));
    conn->Disconnect();
    srv.Stop();
}

TEST_F(PaneViews, TableChangeOnlyWithBothIdleBitsAndWithoutBit2) {
    // One idle bit only, or both with bit 0x2: nothing goes to the server.
    for (int bits : {0x40, 0xC2}) {
        SCOPED_TRACE(bits);
        server::GameServer srv{server::ServerOptions{0, 2, 1, 4, 50, 4, [](const std::string&) {}}};
        ASSERT_TRUE(srv.Start());
        optionB = bits;
        Start();
        CGameConnection* conn = app.GetConnection();
        conn->InitCodec();
        int flag = 0;
        ASSERT_NE(conn->Connect("", "127.0.0.1", srv.Port(), &flag), 0);
        ASSERT_TRUE(srv.WaitForClients(1, 3000));
        table->OnEnteredGame();
        srv.SetReply(201300, {10, {}});
        EXPECT_EQ(table->RequestTableChange(), 0);
        EXPECT_FALSE(table->idleTimerRunning());
        EXPECT_FALSE(srv.WaitForRequest(201300, 300));
        conn->Disconnect();
        srv.Stop();
        app.SetFrame(nullptr);
        frame.reset();
    }
}
#endif

}  // namespace
}  // namespace hqlv::framework
