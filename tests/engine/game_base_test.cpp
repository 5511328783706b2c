#include "engine/core/game_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/core/clock.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/core/script_engine.h"
#include "log_capture.h"
#include "platform/core/clock.h"
#include "platform/core/stretch.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

using test::LogCapture;
using test::RecordingHost;

int g_freed = 0;
void CountingFree(void* block) {
    ++g_freed;
    std::free(block);
}

struct Recorder : ObjectBase {
    explicit Recorder(uint32_t answer = 1) : answer(answer) {}
    uint32_t HandleMessage(EngineMessage& m) override {
        codes.push_back(m.code);
        return answer;
    }
    uint32_t answer;
    std::vector<uint32_t> codes;
};

struct Engine : test::SceneTest<test::RecordingScene, 0> {
    void SetUp() override {
        g_freed = 0;
        scene.ResetSettings();
        SceneTest::SetUp();
    }
    // An entity on layer 1 with a control owned by a recorder.
    std::pair<Entity*, Recorder*> Button(int x, int y, int w, int h) {
        Entity* e = scene.GetKernel().CreateEntity(0, x, y, w, h, 0.0, 1, true, 1.0);
        e->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
        auto* r = static_cast<Recorder*>(scene.AddObject(std::make_unique<Recorder>()));
        ControlData* c = scene.GetKernel().FindControl(r->ControlId());
        for (uint32_t slot = 1; slot <= 23; ++slot) c->SetEvent(slot, 100 + slot, c->id, 0);
        scene.GetKernel().BindControl(c, e, 0);
        return {e, r};
    }
    MessageData State(const MouseState& s) {
        return MessageData::Owned(new MouseState(s), &FreeMouseState);
    }
};

TEST_F(Engine, FixedLogicalSizeConvertsMovesAndStretchesTheFrame) {
    scene.SetFixedLogicalSize(800, 600);
    scene.InitScreen(1024, 768);
    scene.OnMouseMove(0, 512, 384);
    EXPECT_EQ(scene.GetMouseManager()->State().x, 400);
    EXPECT_EQ(scene.GetMouseManager()->State().y, 300);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Stretch);
    scene.PaintTo();
    ASSERT_EQ(host.frames.size(), 1u);
    EXPECT_EQ(host.frames[0].width, 1024);
    EXPECT_EQ(host.frames[0].height, 768);
    EXPECT_EQ(host.frames[0].pixels, scene.StretchBuffer().data());
}

TEST_F(Engine, EqualSizesPaintTheBackBufferWithoutScaling) {
    scene.InitScreen(64, 48);
    scene.OnMouseMove(0, 63, 47);
    EXPECT_EQ(scene.GetMouseManager()->State().x, 63);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Back);
    scene.PaintTo();
    ASSERT_EQ(host.frames.size(), 1u);
    EXPECT_EQ(host.frames[0].pixels, scene.BackBuffer().data());
    EXPECT_EQ(host.frames[0].width, 64);
}

TEST_F(Engine, NothingIsPaintedBeforeTheScreenOrWhileTheWindowIsHidden) {
    scene.PaintTo();
    EXPECT_TRUE(host.frames.empty());
    scene.SetFixedLogicalSize(80, 60);
    scene.InitScreen(160, 120);
    host.visible = false;
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_NE(scene.Current(), GameBase::Buffer::Stretch);
}

TEST_F(Engine, ALogicalSizeFixedAfterTheScreenIsReadyIsRenderedWithinItsBuffers) {
    scene.InitScreen(40, 30);
    scene.SetFixedLogicalSize(80, 60);
    Entity* e = scene.GetKernel().CreateEntity(0, 70, 50, 8, 8, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    scene.PaintTo();
    ASSERT_FALSE(host.frames.empty());
    const auto& f = host.frames.back();
    EXPECT_EQ(size_t(f.width) * size_t(f.height),
              f.width == 40 ? scene.StretchBuffer().size() : scene.BackBuffer().size());
    EXPECT_EQ(scene.BackBuffer().size(), size_t(80 * 60));
}

TEST_F(Engine, AMinimisedWindowNeitherDividesNorStretches) {
    scene.SetFixedLogicalSize(800, 600);
    scene.InitScreen(1024, 768);
    scene.SetScreen(0, 0);
    scene.OnMouseMove(0, 512, 384);  // no conversion without a device size
    EXPECT_EQ(scene.GetMouseManager()->State().x, 512);
    scene.SetScreen(1024, 0);
    scene.OnMouseMove(0, 100, 50);
    EXPECT_EQ(scene.GetMouseManager()->State().x, 100);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Back);
    EXPECT_EQ(scene.LogicalSize().width, 800);
}

TEST_F(Engine, ResizeFollowsTheWindowUnlessTheLogicalSizeIsFixed) {
    scene.InitScreen(100, 80);
    scene.SetScreen(200, 150);
    EXPECT_EQ(scene.LogicalSize().width, 200);
    EXPECT_EQ(scene.LogicalSize().height, 150);
    EXPECT_EQ(scene.BackBuffer().size(), 200u * 150u);
    EXPECT_EQ(scene.StretchBuffer().size(), 200u * 150u);
}

TEST_F(Engine, ConsoleCommandsMatchWholeAndCaseSensitive) {
    EXPECT_EQ(scene.ExecCommand("/SHOWFPS"), 0);
    EXPECT_EQ(scene.ExecCommand("/showfps "), 0);
    EXPECT_EQ(scene.ExecCommand("/showfp"), 0);
    EXPECT_FALSE(scene.ShowFrameTime());
    const struct {
        const char* command;
        bool (GameBase::*flag)() const;
        bool value;
    } rows[] = {
        {"/showfps", &GameBase::ShowFrameTime, true},
        {"/hidefps", &GameBase::ShowFrameTime, false},
        {"/logon", &GameBase::LogOn, true},
        {"/logoff", &GameBase::LogOn, false},
        {"/show invalidatearea", &GameBase::ShowDirtyAreas, true},
        {"/hide invalidatearea", &GameBase::ShowDirtyAreas, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(scene.ExecCommand(r.command), 1) << r.command;
        EXPECT_EQ((scene.*r.flag)(), r.value) << r.command;
    }
    EXPECT_EQ(scene.ExecCommand("/invalidate fullscreen"), 1);
    EXPECT_TRUE(scene.GetKernel().GetCanvas().FullScreen());
    EXPECT_EQ(scene.ExecCommand("/invalidate need"), 1);
    EXPECT_FALSE(scene.GetKernel().GetCanvas().FullScreen());
    EXPECT_EQ(scene.ExecCommand("/endgame"), 1);
    EXPECT_EQ(host.quits, 1);
}

TEST_F(Engine, LogWritesItsTextAsItStandsAndOnlyWhileSwitchedOn) {
    LogCapture log;
    scene.Log("before %s%n");
    EXPECT_EQ(log.text().find("before"), std::string::npos);
    scene.ExecCommand("/logon");
    scene.Log("path 100%s%n%d");
    EXPECT_NE(log.text().find("path 100%s%n%d"), std::string::npos);
}

TEST_F(Engine, FrameOverlayShowsTheFrameTimeInRed) {
    scene.InitScreen(120, 40);
    scene.SetFrameTime(17);
    scene.ExecCommand("/showfps");
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    ASSERT_EQ(scene.Current(), GameBase::Buffer::Overlay);
    int red = 0;
    for (uint32_t p : scene.OverlayBuffer())
        if ((p & 0xFF0000) > 0x800000 && (p & 0xFF00) < 0x4000) ++red;
    EXPECT_GT(red, 10);
    scene.ExecCommand("/hidefps");
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Back);
}

TEST_F(Engine, DirtyAreasAreOutlinedWithTheOverlayPen) {
    scene.InitScreen(40, 40);
    scene.ExecCommand("/show invalidatearea");
    scene.GetKernel().GetCanvas().InvalidateRect(10, 10, 20, 20);
    scene.Render();
    ASSERT_EQ(scene.Current(), GameBase::Buffer::Overlay);
    // The outline runs on the rectangle's last row and column, not one past them.
    int left = 40, top = 40, right = -1, bottom = -1, pen = 0;
    for (int i = 0; i < 40 * 40; ++i)
        if ((scene.OverlayBuffer()[size_t(i)] & 0xFFFFFF) == 0x27FE2D) {
            ++pen;
            left = std::min(left, i % 40), right = std::max(right, i % 40);
            top = std::min(top, i / 40), bottom = std::max(bottom, i / 40);
        }
    EXPECT_EQ((std::vector<int>{left, top, right, bottom}), (std::vector<int>{10, 10, 19, 19}));
    EXPECT_EQ(pen, 4 * 9);
}

TEST_F(Engine, RedrawFlagIsTakenOnce) {
    scene.InitScreen(16, 16);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    EXPECT_EQ(scene.TakeRedrawFlag(), 1);
    EXPECT_EQ(scene.TakeRedrawFlag(), 0);
}

// Only what changed is stretched to the device and reported to the host; the stretch buffer
// always holds the whole frame as one stretch of the back buffer would give it.
TEST_F(Engine, OnlyTheChangedAreaIsStretchedAndReported) {
    scene.SetFixedLogicalSize(100, 80);
    scene.InitScreen(157, 131);
    pictures.Add(5, test::SolidPicture(10, 10, {0xFF20A040u}));
    ImageEntity* e = static_cast<ImageEntity*>(
        scene.GetKernel().CreateEntity(ENT_IMAGE, 30, 30, 10, 10, 0.0, 1, true, 1.0));
    e->SetImage(5, 0, 0, 10, 10, kNoColour);
    e->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
    e->ApplyTransform();
    auto whole = [&] {
        std::vector<uint32_t> out(size_t(157) * 131, 0);
        EXPECT_TRUE(platform::StretchBilinear(
            {const_cast<uint32_t*>(scene.BackBuffer().data()), 100, 80}, {out.data(), 157, 131}));
        return out;
    };
    // The first frame on a new device buffer: all of it.
    scene.Render();
    ASSERT_EQ(scene.ChangedDeviceRects().size(), 1u);
    const Rect all = scene.ChangedDeviceRects()[0];
    EXPECT_EQ(std::vector<int>({all.left, all.top, all.right, all.bottom}),
              std::vector<int>({0, 0, 157, 131}));
    EXPECT_EQ(scene.StretchBuffer(), whole());
    // A move: the old and the new place only, and the whole frame is still right.
    const std::vector<uint32_t> before = scene.StretchBuffer();
    scene.MoveEntity(e, 70, 60);
    scene.Render();
    const std::vector<Rect> changed = scene.ChangedDeviceRects();
    ASSERT_FALSE(changed.empty());
    const std::vector<uint32_t> after = scene.StretchBuffer();
    EXPECT_EQ(after, whole());
    size_t covered = 0;
    for (int y = 0; y < 131; ++y)
        for (int x = 0; x < 157; ++x) {
            bool in = false;
            for (const Rect& r : changed)
                in |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            covered += in;
            const size_t i = size_t(y) * 157 + size_t(x);
            if (!in) {
                EXPECT_EQ(after[i], before[i]) << x << "," << y;
            }
        }
    EXPECT_LT(covered, size_t(157) * 131 / 4);
    for (int p : {45, 100}) {  // both places' device pixels lie in the change
        const int x = p == 45 ? 30 * 157 / 100 : 70 * 157 / 100,
                  y = p == 45 ? 30 * 131 / 80 : 60 * 131 / 80;
        bool in = false;
        for (const Rect& r : changed)
            in |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        EXPECT_TRUE(in) << p;
    }
    // Nothing changed: nothing to repaint.
    scene.Render();
    EXPECT_TRUE(scene.ChangedDeviceRects().empty());
    // Equal sizes report the logical areas as they are.
    scene.SetScreen(100, 80);
    scene.Render();
    scene.MoveEntity(e, 20, 20);
    scene.Render();
    ASSERT_FALSE(scene.ChangedDeviceRects().empty());
    for (const Rect& r : scene.ChangedDeviceRects()) {
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 100);
        EXPECT_LT(r.width(), 100);
    }
}

// Turning the frame-time overlay (or the dirty outlines) on or off at a still table
// wakes the engine and repaints everything: the overlay shows at once, and its text
// leaves no pixel behind in the stretched frame.
TEST_F(Engine, TurningTheOverlayOnOrOffRepaintsTheWholeFrame) {
    scene.SetFixedLogicalSize(100, 80);
    scene.InitScreen(157, 131);
    scene.SetFrameTime(17);
    auto stretched = [&](const std::vector<uint32_t>& from) {
        std::vector<uint32_t> out(size_t(157) * 131, 0);
        EXPECT_TRUE(platform::StretchBilinear({const_cast<uint32_t*>(from.data()), 100, 80},
                                              {out.data(), 157, 131}));
        return out;
    };
    auto whole = [&] {
        ASSERT_EQ(scene.ChangedDeviceRects().size(), 1u);
        const Rect r = scene.ChangedDeviceRects()[0];
        EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
                  std::vector<int>({0, 0, 157, 131}));
    };
    scene.GetKernel().GetCanvas().InvalidateAll();
    for (int i = 0; i < 3; ++i) {  // the first frames, then a still table
        clock.advance(30);
        scene.Tick();
    }
    ASSERT_EQ(scene.MsUntilWork(), -1);
    struct Toggle {
        const char *on, *off;
    };
    for (const Toggle t :
         {Toggle{"/showfps", "/hidefps"}, Toggle{"/show invalidatearea", "/hide invalidatearea"}}) {
        SCOPED_TRACE(t.on);
        scene.ExecCommand(t.on);
        EXPECT_GE(scene.MsUntilWork(), 0);
        scene.Render();
        EXPECT_EQ(scene.Current(), GameBase::Buffer::Stretch);
        whole();
        EXPECT_EQ(scene.StretchBuffer(), stretched(scene.OverlayBuffer()));
        EXPECT_NE(scene.OverlayBuffer(), scene.BackBuffer());
        scene.ExecCommand(t.off);
        EXPECT_GE(scene.MsUntilWork(), 0);
        scene.Render();
        whole();
        EXPECT_EQ(scene.StretchBuffer(), stretched(scene.BackBuffer()));
        // Said twice, nothing more to draw: the table stays still.
        scene.ExecCommand(t.off);
        EXPECT_EQ(scene.MsUntilWork(), -1);
    }
}

TEST_F(Engine, TheHostIsToldWhenTheEngineHasWorkNext) {
    scene.InitScreen(64, 48);
    clock.advance(100);
    scene.Tick();                        // a frame now: the next one in 30 ms
    EXPECT_EQ(scene.MsUntilWork(), -1);  // nothing waits
    scene.GetKernel().PostMessage(3, MessageData::Number(0));
    EXPECT_EQ(scene.MsUntilWork(), 0);  // a message is pumped at once
    scene.PumpMessages();
    scene.GetKernel().GetCanvas().InvalidateRect(1, 1, 5, 5);
    EXPECT_EQ(scene.MsUntilWork(), 30);  // a change waits for the next frame
    clock.advance(12);
    EXPECT_EQ(scene.MsUntilWork(), 18);
    host.visible = false;  // not drawn while the window is hidden
    EXPECT_EQ(scene.MsUntilWork(), -1);
    host.visible = true;
    clock.advance(18);
    scene.Tick();
    EXPECT_EQ(scene.MsUntilWork(), -1);
    // A wait of half a second: due then, not sooner than a frame.
    scene.Wait(500, 77, MessageData(), 0, 0);
    EXPECT_EQ(scene.MsUntilWork(), 30);  // pending: taken at the next frame
    clock.advance(30);
    scene.Tick();
    const int due = scene.MsUntilWork();
    EXPECT_GE(due, 30);
    EXPECT_LE(due, 500);
    // A paused Apply has no work.
    const uint32_t id = scene.Wait(900, 78, MessageData(), 0, 0);
    clock.advance(30);
    scene.Tick();
    scene.GetKernel().PauseApply(id, 0);
    EXPECT_LE(scene.MsUntilWork(), 500);
}

TEST_F(Engine, RightAndMiddleButtonsReachTheHoveredControl) {
    scene.InitScreen(100, 100);
    auto [e, r] = Button(50, 50, 10, 10);
    scene.GetKernel().GetCanvas().InvalidateAll();
    scene.Render();
    scene.OnMouseMove(0, 50, 50);
    scene.PumpMessages();
    r->codes.clear();
    scene.OnRButtonDown(0, 50, 50);
    scene.OnRButtonUp(0, 50, 50);
    scene.OnMButtonDown(0, 50, 50);
    scene.OnMButtonUp(0, 50, 50);
    scene.PumpMessages();
    EXPECT_EQ(r->codes, (std::vector<uint32_t>{106, 107, 119, 120}));
}

TEST_F(Engine, ATickWithoutADueFrameStillDelivers) {
    scene.InitScreen(32, 32);
    auto* r = static_cast<Recorder*>(scene.AddObject(std::make_unique<Recorder>()));
    EXPECT_GE(scene.Tick(), 0);  // first tick: frame due
    clock.advance(10);
    scene.GetKernel().PostControlMessage(r->ControlId(), 7, MessageData::Number(0), 1);
    scene.GetKernel().PostMessage(3, MessageData::Number(0));
    EXPECT_EQ(scene.Tick(), -1);
    EXPECT_EQ(r->codes, std::vector<uint32_t>{7});
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{3});
    EXPECT_EQ(scene.logicTicks, 1);
    clock.advance(20);
    EXPECT_GE(scene.Tick(), 0);
    EXPECT_EQ(scene.logicTicks, 2);
}

TEST_F(Engine, MessagesOutsideTheSystemRangeGoToTheScene) {
    for (uint32_t code : {30u, 31u, 96u, 97u})
        scene.GetKernel().PostMessage(code, MessageData::Number(0));
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, (std::vector<uint32_t>{30, 97}));
}

TEST_F(Engine, UnansweredSystemCallbackFreesItsBlockAndLogsOnlyWhenOn) {
    LogCapture log;
    scene.GetKernel().PostMessage(33, MessageData::Owned(std::malloc(8), CountingFree));
    scene.PumpMessages();
    EXPECT_EQ(g_freed, 1);
    EXPECT_EQ(log.text().find("33"), std::string::npos);
    scene.ExecCommand("/logon");
    MessageData d = MessageData::Owned(std::malloc(8), CountingFree);
    EXPECT_EQ(scene.OnSystemCallback(33, d), 1);
    EXPECT_NE(log.text().find("警告：一个未响应的系统回调命令:33"), std::string::npos);
    for (uint32_t code : {31u, 34u, 69u, 80u, 89u, 90u, 96u}) {
        MessageData n = MessageData::Number(0);
        EXPECT_EQ(scene.OnSystemCallback(code, n), 1) << code;
    }
    for (uint32_t code : {66u, 67u, 68u, 81u, 87u}) {
        MessageData n = MessageData::Number(0);
        EXPECT_EQ(scene.OnSystemCallback(code, n), 0) << code;
    }
}

TEST_F(Engine, ControlCallbacksReadOnlyAMouseState) {
    scene.InitScreen(100, 100);
    auto [e, r] = Button(50, 50, 10, 10);
    MouseState s;
    s.hoveredControl = r->ControlId();
    s.dx = 3;
    s.dy = -2;
    const struct {
        uint32_t code;
        double alpha;
    } alphas[] = {{38, 0.8}, {37, 1.0}, {39, 0.3}, {40, 1.0}};
    for (const auto& a : alphas) {
        MessageData d = State(s);
        EXPECT_EQ(scene.OnSystemCallback(a.code, d), 0);
        EXPECT_DOUBLE_EQ(e->GetAlpha(), a.alpha) << a.code;
    }
    // 35 to 65 are the control callbacks: answered even without a case of their own.
    for (uint32_t code : {34u, 35u, 65u}) {
        MessageData d = State(s);
        EXPECT_EQ(scene.OnSystemCallback(code, d), code == 34 ? 1 : 0) << code;
    }
    MessageData d = State(s);
    EXPECT_EQ(scene.OnSystemCallback(45, d), 0);
    EXPECT_EQ(e->GetX(), 53);
    EXPECT_EQ(e->GetY(), 48);
    // A number, a foreign block or a missing control: nothing, and the block goes.
    MessageData number = MessageData::Number(uintptr_t(&s));
    EXPECT_EQ(scene.OnSystemCallback(39, number), 1);
    MessageData foreign = MessageData::Owned(std::malloc(sizeof s), CountingFree);
    EXPECT_EQ(scene.OnSystemCallback(39, foreign), 1);
    MouseState gone = s;
    gone.hoveredControl = 999;
    MessageData missing = State(gone);
    EXPECT_EQ(scene.OnSystemCallback(39, missing), 1);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 1.0);
}

TEST_F(Engine, CornerEdgeScrollMovesTwiceAndPutsTheCursor) {
    scene.InitScreen(200, 100);
    Canvas& canvas = scene.GetKernel().GetCanvas();
    canvas.SetScrollArea(1000, 1000);
    canvas.SetViewCenter(500, 500, true);
    scene.SetWindowPos(1000, 2000);
    auto [e, r] = Button(50, 50, 10, 10);
    MouseState s;
    s.hoveredControl = r->ControlId();
    s.x = 195;  // right edge
    s.y = 3;    // top edge
    MessageData d = State(s);
    EXPECT_EQ(scene.OnSystemCallback(86, d), 1);
    EXPECT_EQ(canvas.GetViewRect().centreX, 505);
    EXPECT_EQ(canvas.GetViewRect().centreY, 495);
    EXPECT_EQ(host.cursorPositions, (std::vector<std::pair<int, int>>{{1190, 2003}, {1195, 2010}}));
    // Each edge band is ten pixels wide and ends at the screen's edge.
    const struct {
        int x, y, dx, dy;
    } points[] = {{5, 97, -5, 5}, {0, 91, -5, 5},  {200, 100, 5, 5}, {190, 90, 0, 0},
                  {10, 10, 0, 0}, {-1, 101, 0, 0}, {201, -1, 0, 0}};
    for (const auto& p : points) {
        canvas.SetViewCenter(500, 500, true);
        s.x = p.x;
        s.y = p.y;
        MessageData at = State(s);
        scene.OnSystemCallback(86, at);
        EXPECT_EQ(canvas.GetViewRect().centreX, 500 + p.dx) << p.x << "," << p.y;
        EXPECT_EQ(canvas.GetViewRect().centreY, 500 + p.dy) << p.x << "," << p.y;
    }
}

TEST_F(Engine, ChatCallbackWritesThePointAndTheControl) {
    MouseState s;
    s.x = 12;
    s.y = -3;
    s.hoveredControl = 42;
    MessageData d = State(s);
    EXPECT_EQ(scene.OnSystemCallback(82, d), 1);
    EXPECT_EQ(host.chat, (std::vector<std::string>{"MousePoint:(12,-3)\r\n", "GetObject:42\r\n"}));
}

TEST_F(Engine, DestroyAndDeleteCallbacks) {
    Entity* e = scene.GetKernel().CreateEntity(0, 1, 1, 2, 2, 0, 1, true, 1);
    const uint32_t id = e->GetId();
    MessageData d = MessageData::Number(uintptr_t(e));
    EXPECT_EQ(scene.OnSystemCallback(94, d), 0);
    EXPECT_EQ(scene.GetKernel().FindEntity(id), nullptr);
    ObjectBase* o = scene.AddObject(std::make_unique<Recorder>());
    const uint32_t cid = o->ControlId();
    MessageData od = MessageData::Number(uintptr_t(o));
    EXPECT_EQ(scene.OnSystemCallback(93, od), 0);
    EXPECT_EQ(scene.GetKernel().FindControl(cid), nullptr);
    ControlData* c = scene.GetKernel().CreateControl();
    const uint32_t plain = c->id;
    MessageData cd = MessageData::Number(uintptr_t(c));
    EXPECT_EQ(scene.OnSystemCallback(95, cd), 0);
    EXPECT_EQ(scene.GetKernel().FindControl(plain), nullptr);
}

// ---- script engine and cleanup -------------------------------------------------------------

int g_scriptDeleted = 0;
int g_scriptFlags = 0;
struct FakeScript : ObjectBase, ScriptEngine {
    ~FakeScript() override { ++g_scriptDeleted; }
    int LoadScript(const ValueString&, int) override { return 0; }
    int GetLoadedCount() const override { return 0; }
    int GetRunningCount() const override { return 0; }
    void EnableCreateFunctions() override { g_scriptFlags |= 1; }
    void EnableObjectFunctions() override { g_scriptFlags |= 2; }
    void EnableResourceFunctions() override { g_scriptFlags |= 4; }
};

TEST(EngineLife, CleanupDeletesEveryRegisteredObjectOnceAndStopsTheTimers) {
    g_scriptDeleted = g_scriptFlags = 0;
    auto old = SetScriptEngineFactory([] { return std::unique_ptr<ObjectBase>(new FakeScript); });
    RecordingHost host;
    {
        test::RecordingScene scene;
        scene.SetHost(&host);
        scene.Init();
        EXPECT_EQ(g_scriptFlags, 7);
        EXPECT_NE(scene.GetScriptEngine(), nullptr);
        EXPECT_EQ(scene.GetKernel().GetObjectCount(), 2u);
        EXPECT_EQ(scene.GetKernel().GetFrameInterval(), 30u);
        // The arrow is the manager's first cursor.
        scene.GetMouseManager()->ApplyCursor();
        EXPECT_EQ(host.cursors, std::vector<uint32_t>{32512});
        scene.Cleanup();
        EXPECT_EQ(g_scriptDeleted, 1);
        EXPECT_EQ(scene.GetKernel().GetObjectCount(), 0u);
        EXPECT_EQ(host.timerStops, 1);
        scene.Cleanup();
        EXPECT_EQ(host.timerStops, 1);
    }
    EXPECT_EQ(g_scriptDeleted, 1);
    SetScriptEngineFactory(old);
    test::RecordingScene bare;
    bare.Init();
    EXPECT_EQ(bare.GetScriptEngine(), nullptr);
    EXPECT_EQ(bare.GetKernel().GetObjectCount(), 1u);
    bare.Cleanup();
}

}  // namespace
}  // namespace hqlv::engine

namespace hqlv::engine {
namespace {

// Prints each box, so a death test can see what the dying engine showed.
struct PrintingHost : test::RecordingHost {
    void ShowMessageBox(std::string_view text, std::string_view caption) override {
        std::fprintf(stderr, "BOX[%.*s]\n", int(text.size()), text.data());
        RecordingHost::ShowMessageBox(text, caption);
    }
};

TEST(HostMessageBoxes, AFatalResourceIsShownByTheHostBeforeTheEnd) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            PrintingHost host;
            GameBase scene;
            scene.SetHost(&host);
            GetResourceManager().FatalResourceError("pics/gone.png");
        },
        ::testing::ExitedWithCode(1), "BOX\\[资源:pics/gone.png未能正确的载入,请重新下载游戏!\\]");
}

TEST(HostMessageBoxes, HooksFollowTheHostAndComeBackWhenItGoes) {
    std::vector<std::string> before;
    auto old = ResourceManager::SetMessageBoxHook(
        [&](const std::string& text) { before.push_back(text); });
    test::RecordingHost host;
    {
        GameBase scene;
        scene.SetHost(&host);
        ResourceManager::MessageBoxHook mine = ResourceManager::SetMessageBoxHook(nullptr);
        ASSERT_TRUE(mine);
        mine("a");
        ResourceManager::QuitHook quit = ResourceManager::SetQuitHook(nullptr);
        ASSERT_TRUE(quit);
        quit();
        ResourceManager::SetQuitHook(std::move(quit));
        ResourceManager::SetMessageBoxHook(std::move(mine));
        EXPECT_EQ(host.boxes, std::vector<std::string>{"a"});
        EXPECT_EQ(host.quits, 1);
        ResourceManager::MessageBoxHook keptBox = ResourceManager::SetMessageBoxHook(nullptr);
        ResourceManager::SetMessageBoxHook(keptBox);
        ResourceManager::QuitHook keptQuit = ResourceManager::SetQuitHook(nullptr);
        ResourceManager::SetQuitHook(keptQuit);
        scene.SetHost(nullptr);
        keptBox("late");  // a hook kept past the last hosted scene reaches nobody
        keptQuit();
        EXPECT_EQ(host.boxes, std::vector<std::string>{"a"});
        EXPECT_EQ(host.quits, 1);
        ResourceManager::MessageBoxHook back = ResourceManager::SetMessageBoxHook(nullptr);
        back("b");
        ResourceManager::SetMessageBoxHook(std::move(back));
        EXPECT_EQ(before, std::vector<std::string>{"b"});
        scene.SetHost(&host);
    }
    // The scene ended with its host set: the earlier hook is back.
    ResourceManager::MessageBoxHook back = ResourceManager::SetMessageBoxHook(std::move(old));
    back("c");
    EXPECT_EQ(before, (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(host.boxes, std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace hqlv::engine

namespace hqlv::engine {
namespace {

// Shows a box the way the resource manager does, through whatever hook is set.
void Box(const std::string& text) {
    ResourceManager::MessageBoxHook hook = ResourceManager::SetMessageBoxHook(nullptr);
    if (hook) hook(text);
    ResourceManager::SetMessageBoxHook(std::move(hook));
}

TEST(HostMessageBoxes, EnginesEndingInAnyOrderLeaveTheEarlierHookBack) {
    std::vector<std::string> before;
    auto old = ResourceManager::SetMessageBoxHook(
        [&](const std::string& text) { before.push_back(text); });
    test::RecordingHost hostA, hostB;
    auto a = std::make_unique<GameBase>();
    auto b = std::make_unique<GameBase>();
    a->SetHost(&hostA);
    b->SetHost(&hostB);
    Box("1");
    a.reset();  // the first to get a host ends first
    Box("2");
    b.reset();
    Box("3");
    EXPECT_TRUE(hostA.boxes.empty());
    EXPECT_EQ(hostB.boxes, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(before, std::vector<std::string>{"3"});
    ResourceManager::SetMessageBoxHook(std::move(old));
}

}  // namespace
}  // namespace hqlv::engine
