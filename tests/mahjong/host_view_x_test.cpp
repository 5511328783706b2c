// The engine host view on a virtual X display: this program runs its HostViewUnderX cases
// again in a process of its own on Xvfb (the xcb platform). The view gives the engine its
// screen position, and keeps it when the window moves; a pointer that reaches the view's
// right edge over an entity whose move is bound to the edge scroll is put back ten pixels
// inside by the engine, at the screen point the position gives; the wheel turned up and
// down and a middle click reach the engine's handlers and the mouse manager's bindings.
// The offscreen run of the program skips the HostViewUnderX cases.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <dlfcn.h>
#include <unistd.h>

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <filesystem>
#include <memory>
#include <thread>

#include "engine/core/control_data.h"
#include "engine/core/game_base.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/table_draw.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/hall_run.h"
#include "tests/framework/qt_test_app.h"
#include "tests/self_rerun.h"

namespace hqlv::mahjong {
namespace {

struct XApp : CGameAppEx {
    std::string SettingsPath() override { return folder + "HqLv.ini"; }
    std::string folder = "/tmp/hqlv-host-x-" + std::to_string(getpid()) + "/";
};

// A scene that records what reaches it of the wheel and the middle button, and the codes
// the engine queue hands it.
struct XScene : engine::GameBase {
    int OnMessage(uint32_t code, engine::MessageData&, uint32_t) override {
        messages.push_back(code);
        return 1;
    }
    void OnMouseWheel(uint32_t flags, int delta, int x, int y) override {
        wheel.push_back(delta);
        engine::GameBase::OnMouseWheel(flags, delta, x, y);
    }
    void OnMButtonDown(uint32_t flags, int x, int y) override {
        middle.push_back(+1);
        engine::GameBase::OnMButtonDown(flags, x, y);
    }
    void OnMButtonUp(uint32_t flags, int x, int y) override {
        middle.push_back(-1);
        engine::GameBase::OnMButtonUp(flags, x, y);
    }
    std::vector<uint32_t> messages;
    std::vector<int> wheel;
    std::vector<int> middle;
};

// Moves the display's pointer to a screen point.
bool MoveOnDisplay(const std::string& display, int x, int y) {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    if (!x11 || !xtst) return false;
    using Open = void* (*)(const char*);
    using Close = int (*)(void*);
    using Flush = int (*)(void*);
    using Motion = int (*)(void*, int, int, int, unsigned long);
    auto open = reinterpret_cast<Open>(dlsym(x11, "XOpenDisplay"));
    auto close = reinterpret_cast<Close>(dlsym(x11, "XCloseDisplay"));
    auto flush = reinterpret_cast<Flush>(dlsym(x11, "XFlush"));
    auto motion = reinterpret_cast<Motion>(dlsym(xtst, "XTestFakeMotionEvent"));
    if (!open || !close || !flush || !motion) return false;
    void* dpy = open(display.c_str());
    if (!dpy) return false;
    motion(dpy, -1, x, y, 0);
    flush(dpy);
    close(dpy);
    return true;
}

// Runs an event loop as the application's (it waits when idle: the view's frame timer is
// armed each time it is about to) for some milliseconds.
void RunLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool PumpUntil(const std::function<bool()>& pred, int ms = 5000) {
    return e2e::WaitFor(
        [&] {
            RunLoop(20);
            return pred();
        },
        ms);
}

// The view in a window of its own (as the frame holds it), placed away from the screen's
// corner so that window and screen points differ.
class HostViewUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "runs on the X display";
        if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
        std::filesystem::create_directories(app.folder);
        window = std::make_unique<QWidget>();
        window->resize(kW + 40, kH + 60);
        window->move(150, 100);
        view = new CMJGameTableView2(app, window.get());
        view->setGeometry(20, 30, kW, kH);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(view->AttachEngine(&scene));
        view->OnInitialUpdate();
        view->OnStartEngine();
        RunLoop(200);
        display = std::getenv("DISPLAY");
    }
    void TearDown() override {
        window.reset();
        std::filesystem::remove_all(app.folder);
    }
    engine::GameBase::Point WindowPos() const { return scene.WindowPos(); }
    static constexpr int kW = 400, kH = 300;
    XApp app;
    XScene scene;
    std::unique_ptr<QWidget> window;
    CMJGameTableView2* view = nullptr;
    std::string display;
};

TEST_F(HostViewUnderX, TheEngineKnowsWhereTheViewIsOnTheScreen) {
    ASSERT_TRUE(scene.ScreenReady());
    ASSERT_TRUE(PumpUntil([&] { return window->pos() != QPoint(0, 0); }));
    QPoint at = view->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(WindowPos().x, at.x());
    EXPECT_EQ(WindowPos().y, at.y());
    EXPECT_NE(at, QPoint(0, 0));
    // The window moved: the engine follows without a resize.
    window->move(300, 220);
    ASSERT_TRUE(PumpUntil([&] { return view->mapToGlobal(QPoint(0, 0)) != at; }));
    at = view->mapToGlobal(QPoint(0, 0));
    ASSERT_TRUE(PumpUntil([&] { return WindowPos().x == at.x() && WindowPos().y == at.y(); }))
        << WindowPos().x << "," << WindowPos().y << " for " << at.x() << "," << at.y();
    // The view moved inside its window.
    view->move(10, 5);
    at = view->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(WindowPos().x, at.x());
    EXPECT_EQ(WindowPos().y, at.y());
    // The application the host belongs to.
    EXPECT_EQ(scene.GetCurrentWinApp(), static_cast<CMJGameApp*>(&app));
}

TEST_F(HostViewUnderX, TheEdgeScrollPutsThePointerAtTheScreenPointOfTheWindow) {
    // The whole scene is one entity whose moves run the edge scroll (system code 86).
    engine::GameKernel& k = scene.GetKernel();
    engine::Entity* e = k.CreateEntity(0, kW / 2, kH / 2, kW, kH, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&k.GetCanvas(), 4);
    engine::ControlData* c = scene.ApplyControl(e->GetId(), 0);
    ASSERT_NE(c, nullptr);
    scene.SetControlEvent(c, 1, 86);
    k.GetCanvas().SetScrollArea(2000, 2000);
    k.GetCanvas().SetViewCenter(1000, 1000, true);
    RunLoop(100);
    // Into the band at the right edge, half way down.
    const QPoint inside = view->mapToGlobal(QPoint(kW / 2, kH / 2));
    ASSERT_TRUE(MoveOnDisplay(display, inside.x(), inside.y()));
    RunLoop(200);
    const QPoint edge = view->mapToGlobal(QPoint(kW - 4, kH / 2));
    ASSERT_TRUE(MoveOnDisplay(display, edge.x(), edge.y()));
    const QPoint want = view->mapToGlobal(QPoint(kW - 10, kH / 2));
    EXPECT_TRUE(PumpUntil([&] { return QCursor::pos() == want; }))
        << QCursor::pos().x() << "," << QCursor::pos().y() << " for " << want.x() << ","
        << want.y();
    EXPECT_GT(k.GetCanvas().GetViewRect().centreX, 1000);
    EXPECT_EQ(k.GetCanvas().GetViewRect().centreY, 1000);
}

TEST_F(HostViewUnderX, TheWheelAndTheMiddleButtonReachTheEngine) {
    // The mouse manager's own bindings hand their codes to the scene.
    scene.SetMouseEvent(17, 217, 0);
    scene.SetMouseEvent(18, 218, 0);
    scene.SetMouseEvent(19, 219, 0);
    scene.SetMouseEvent(20, 220, 0);
    const QPoint at = view->mapToGlobal(QPoint(kW / 3, kH / 3));
    ASSERT_TRUE(e2e::ClickOnDisplay(display, at.x(), at.y(), 4));  // wheel up
    ASSERT_TRUE(PumpUntil([&] { return scene.wheel.size() == 1; }));
    ASSERT_TRUE(e2e::ClickOnDisplay(display, at.x(), at.y(), 5));  // wheel down
    ASSERT_TRUE(PumpUntil([&] { return scene.wheel.size() == 2; }));
    ASSERT_TRUE(e2e::ClickOnDisplay(display, at.x(), at.y(), 2));  // middle
    ASSERT_TRUE(PumpUntil([&] { return scene.middle.size() == 2; }));
    EXPECT_GT(scene.wheel[0], 0);
    EXPECT_LT(scene.wheel[1], 0);
    EXPECT_EQ(scene.middle, (std::vector<int>{+1, -1}));
    ASSERT_TRUE(PumpUntil([&] { return scene.messages.size() >= 4; }))
        << scene.messages.size() << " codes";
    EXPECT_EQ(scene.messages, (std::vector<uint32_t>{217, 218, 219, 220}));
}

// The key-state word of the mouse messages: 0x1 left, 0x2 right, 0x4 Shift, 0x8 Ctrl, 0x10
// middle; the wheel's point is on the screen, the buttons' in the window.
TEST(HostViewInput, TheMouseMessagesCarryTheKeyStateWord) {
    framework::testing::SharedQtApp();
    struct FlagScene : XScene {
        void OnMButtonDown(uint32_t flags, int x, int y) override {
            seen.push_back({flags, x, y});
            XScene::OnMButtonDown(flags, x, y);
        }
        void OnMouseWheel(uint32_t flags, int delta, int x, int y) override {
            seen.push_back({flags, x, y});
            XScene::OnMouseWheel(flags, delta, x, y);
        }
        void OnRButtonUp(uint32_t flags, int x, int y) override {
            seen.push_back({flags, x, y});
            XScene::OnRButtonUp(flags, x, y);
        }
        struct Seen {
            uint32_t flags;
            int x, y;
        };
        std::vector<Seen> seen;
    } scene;
    XApp app;
    std::filesystem::create_directories(app.folder);
    {
        CMJGameTableView2 view(app);
        view.resize(200, 150);
        ASSERT_TRUE(view.AttachEngine(&scene));
        view.OnInitialUpdate();
        const QPointF at(30, 40), screen(530, 640);
        QMouseEvent middle(QEvent::MouseButtonPress, at, screen, Qt::MiddleButton,
                           Qt::MiddleButton | Qt::RightButton,
                           Qt::ShiftModifier | Qt::ControlModifier);
        QCoreApplication::sendEvent(&view, &middle);
        QWheelEvent wheel(at, screen, QPoint(), QPoint(0, -120), Qt::LeftButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &wheel);
        QMouseEvent right(QEvent::MouseButtonRelease, at, screen, Qt::RightButton, Qt::LeftButton,
                          Qt::ShiftModifier);
        QCoreApplication::sendEvent(&view, &right);
        ASSERT_EQ(scene.seen.size(), 3u);
        EXPECT_EQ(scene.seen[0].flags, 0x2u | 0x4u | 0x8u | 0x10u);
        EXPECT_EQ(scene.seen[0].x, 30);
        EXPECT_EQ(scene.seen[0].y, 40);
        EXPECT_EQ(scene.seen[1].flags, 0x1u);
        EXPECT_EQ(scene.seen[1].x, 530);
        EXPECT_EQ(scene.seen[1].y, 640);
        EXPECT_EQ(scene.wheel, std::vector<int>{-120});
        EXPECT_EQ(scene.seen[2].flags, 0x1u | 0x4u);
        // A wheel turned sideways only is no turn for the engine.
        QWheelEvent sideways(at, screen, QPoint(), QPoint(120, 0), Qt::NoButton, Qt::NoModifier,
                             Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &sideways);
        EXPECT_EQ(scene.seen.size(), 3u);
    }
    std::filesystem::remove_all(app.folder);
}

// A view moved into another window, whose first window is then destroyed: the engine
// follows the new window, and nothing of the gone one is touched.
TEST(HostViewInput, AViewMovedToAnotherWindowFollowsThatWindow) {
    framework::testing::SharedQtApp();
    XScene scene;
    XApp app;
    std::filesystem::create_directories(app.folder);
    {
        auto first = std::make_unique<QWidget>();
        first->resize(300, 240);
        first->move(40, 30);
        auto* view = new CMJGameTableView2(app, first.get());
        view->setGeometry(10, 20, 200, 150);
        first->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(first.get()));
        ASSERT_TRUE(view->AttachEngine(&scene));
        view->OnInitialUpdate();
        ASSERT_TRUE(scene.ScreenReady());
        QWidget second;
        second.resize(300, 240);
        second.move(400, 300);
        second.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
        // Moved over as it stands, and shown only once its first window has gone.
        view->setParent(&second);
        first.reset();
        view->show();
        // A new size: the view's place is stored again, from the window it is in now.
        view->resize(220, 160);
        platform::ui::processUiEvents(50);
        QPoint at = view->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(scene.WindowPos().x, at.x());
        EXPECT_EQ(scene.WindowPos().y, at.y());
        // The new window's moves reach the engine.
        const QPoint before = at;
        second.move(500, 320);
        platform::ui::processUiEvents(50);
        at = view->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(at - before, QPoint(100, 20));
        EXPECT_EQ(scene.WindowPos().x, at.x());
        EXPECT_EQ(scene.WindowPos().y, at.y());
    }
    std::filesystem::remove_all(app.folder);
}

// Without a frame there is no score pane: a player who sits down or leaves reaches the
// table's seat names alone.
TEST(HostViewInput, SeatsChangeWithoutAFrameReachTheTableOnly) {
    framework::testing::SharedQtApp();
    XApp app;
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|9000|4|0|9"));
    ASSERT_EQ(app.GetMJFrame(), nullptr);
    CMJTableDraw* draw = app.GetTableDraw();
    ASSERT_NE(draw, nullptr);
    int chair = 0;
    while (chair < 4 && draw->ChairToView(chair) < 0) ++chair;
    ASSERT_LT(chair, 4);
    CMJGameTableView2 view(app);
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, 4321);
    r.setWord(framework::PlayerRecord::kChair, chair);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, "east");
    view.OnPlayerSat(r);
    ASSERT_NE(draw->Seat(draw->ChairToView(chair)), nullptr);
    EXPECT_EQ(draw->Seat(draw->ChairToView(chair))->name, "east");
    view.OnSeatsAssigned({});
    view.OnLookOnEnded(r);
    EXPECT_EQ(draw->Seat(draw->ChairToView(chair))->name, "");
}

// The offscreen program's side: the cases above, again, on a display of their own.
TEST(HostViewOnX, CasesPassOnAVirtualDisplay) {
    framework::testing::SharedQtApp();
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (QGuiApplication::platformName() == "xcb") GTEST_SKIP() << "already on the display";
    e2e::VirtualDisplay x;
    ASSERT_TRUE(x.Start());
    const std::string dir = std::string(HQLV_BUILD_DIR) + "/host-view-x/";
    std::filesystem::create_directories(dir);
    std::string text;
    const int status = hqlv::testing::RerunSelf(
        {"--gtest_filter=HostViewUnderX.*"},
        {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", e2e::AsanOptionsUnderX()}, dir + "run.txt",
        text);
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("[  PASSED  ] 3 tests"), std::string::npos) << text;
    EXPECT_EQ(text.find("SKIPPED"), std::string::npos) << text;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
