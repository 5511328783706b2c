// The engine object's services that reach the kernel and the canvas for a scene: entities
// and controls by the engine object, the event bindings of a control, the pointer's place,
// the canvas's invalidation and background, the device rectangle and the host's
// application; and a floating text whose plane refuses its size.
#include <gtest/gtest.h>

#include "engine/core/control_data.h"
#include "engine/core/mouse_manager.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

using KernelServices = test::SceneTest<>;

TEST_F(KernelServices, EntitiesAndControlsThroughTheEngineObject) {
    Entity* parent = k().CreateEntity(0, 50, 50, 20, 20, 0, 1, true, 1);
    Entity* child = k().CreateEntity(0, 60, 60, 4, 4, 0, 1, true, 1);
    Entity* other = k().CreateEntity(0, 70, 70, 4, 4, 0, 1, true, 1);
    EXPECT_EQ(scene.GetEntity(parent->GetId()), parent);
    EXPECT_EQ(scene.GetEntity(child->GetId()), child);
    EXPECT_EQ(scene.GetEntity(9999), nullptr);
    EXPECT_NE(scene.AddChildEntity(parent->GetId(), child->GetId(), 0x1), 0u);
    EXPECT_EQ(child->GetParent(), parent);
    EXPECT_EQ(scene.AddChildEntity(parent->GetId(), 9999, 0x1), 0u);
    EXPECT_NE(scene.LinkChildEntity(parent, other, 0x1), 0u);
    EXPECT_EQ(other->GetParent(), parent);
    EXPECT_EQ(scene.LinkChildEntity(nullptr, other, 0x1), 0u);

    ControlData* made = scene.CreateControl();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(k().FindControl(made->id), made);
    EXPECT_NE(scene.BindControl(made, child, 0), 0);
    EXPECT_EQ(made->entityId, child->GetId());
    ControlData* applied = scene.ApplyControl(other->GetId(), 0);
    ASSERT_NE(applied, nullptr);
    EXPECT_EQ(applied->entityId, other->GetId());
    EXPECT_EQ(scene.ApplyControl(9999, 0), nullptr);
    // Released: the control stays, the binding goes both ways.
    const uint32_t id = applied->id;
    EXPECT_EQ(other->GetControlId(), id);
    EXPECT_NE(scene.ReleaseControl(id), 0);
    EXPECT_EQ(k().FindControl(id), applied);
    EXPECT_EQ(applied->entityId, 0u);
    EXPECT_EQ(other->GetControlId(), 0u);
    EXPECT_EQ(scene.ReleaseControl(98765), 0);
}

TEST_F(KernelServices, ControlEventsAreBoundWithNoDataAndNoTarget) {
    Entity* e = k().CreateEntity(0, 50, 50, 20, 20, 0, 1, true, 1);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ControlData* c = scene.ApplyControl(e->GetId(), 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(e->GetHitMode(), 0u);
    EXPECT_EQ(scene.SetControlEvent(c, 8, 700), 0u);
    const EventSlot* slot = c->GetEvent(8);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->code, 700u);
    EXPECT_EQ(slot->data, 0u);
    EXPECT_EQ(slot->target, 0u);
    EXPECT_EQ(e->GetHitMode(), 1u);  // a bound slot makes the entity hit-testable
    // The previous code comes back.
    EXPECT_EQ(scene.SetControlEvent(c, 8, 701), 700u);
    // The Ex form: the code is the slot plus the base (slot 10 on base 35: system code 45).
    EXPECT_EQ(scene.SetControlEventEx(c, 10, 35), 0u);
    ASSERT_NE(c->GetEvent(10), nullptr);
    EXPECT_EQ(c->GetEvent(10)->code, 45u);
    EXPECT_EQ(c->GetEvent(10)->target, 0u);
    // No control, or a slot past the table: nothing.
    EXPECT_EQ(scene.SetControlEvent(nullptr, 8, 5), 0u);
    EXPECT_EQ(scene.SetControlEventEx(nullptr, 8, 5), 0u);
    EXPECT_EQ(scene.SetControlEvent(c, 30, 5), 0u);
    EXPECT_EQ(c->GetEvent(30), nullptr);
    // A click on the entity delivers the bound code to the engine's queue.
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    scene.OnLButtonUp(0, 50, 50);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{701});
}

// Highlighting a control that has no entity, or none at all, changes nothing.
TEST_F(KernelServices, HighlightWithoutAnEntityIsNothing) {
    ControlData* bare = scene.CreateControl();
    ASSERT_NE(bare, nullptr);
    scene.SetControlHighlight(bare, true);
    scene.SetControlHighlight(nullptr, true);
    scene.SetControlHighlight(bare, false);
    EXPECT_EQ(bare->GetEvent(8), nullptr);
    Entity* e = k().CreateEntity(0, 50, 50, 20, 20, 0, 1, true, 0.5);
    ControlData* c = scene.ApplyControl(e->GetId(), 0);
    scene.SetControlHighlight(c, true);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.7);
    ASSERT_NE(c->GetEvent(8), nullptr);
    EXPECT_EQ(c->GetEvent(8)->code, 43u);
}

TEST_F(KernelServices, ThePointersPlaceInLogicalPixels) {
    EXPECT_EQ(scene.GetMousePosition().x, 0);
    EXPECT_EQ(scene.GetMousePosition().y, 0);
    scene.OnMouseMove(0, 123, 45);
    EXPECT_EQ(scene.GetMousePosition().x, 123);
    EXPECT_EQ(scene.GetMousePosition().y, 45);
    EXPECT_EQ(scene.GetMousePosition().x, scene.GetMouseManager()->State().x);
    GameBase bare;  // no mouse manager before Init
    EXPECT_EQ(bare.GetMousePosition().x, 0);
    EXPECT_EQ(bare.GetMousePosition().y, 0);
}

TEST_F(KernelServices, CanvasInvalidationModeAndBackground) {
    Canvas& canvas = k().GetCanvas();
    Frame();
    canvas.TakeDirtyRects();
    ASSERT_FALSE(canvas.HasDirtyRects());
    scene.InvalidateAll();
    EXPECT_TRUE(canvas.HasDirtyRects());
    scene.SetInvalidateMode(true);
    EXPECT_TRUE(canvas.FullScreen());
    scene.SetInvalidateMode(false);
    EXPECT_FALSE(canvas.FullScreen());
    // The console's commands are the same switch.
    EXPECT_EQ(scene.ExecCommand("/invalidate fullscreen"), 1);
    EXPECT_TRUE(canvas.FullScreen());
    EXPECT_EQ(scene.ExecCommand("/invalidate need"), 1);
    EXPECT_FALSE(canvas.FullScreen());
    // The background is rebuilt only when it is flagged for it.
    pictures.Add(55, test::SolidPicture(400, 300, {0xFF102030}));
    ASSERT_EQ(canvas.SetBackgroundMode(2), 999999);
    canvas.SetBackgroundImage(55, 0, 0, 400, 300, 0);
    int before = pictures.lookups;
    scene.RefreshBackground();
    EXPECT_EQ(pictures.lookups, before);
    canvas.SetBackgroundImage(55, 0, 0, 400, 300, 1);
    before = pictures.lookups;
    scene.RefreshBackground();
    EXPECT_GT(pictures.lookups, before);
}

TEST_F(KernelServices, DeviceRectangleAndTheHostsApplication) {
    const Rect r = scene.GetDeviceRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 300);
    scene.SetScreen(640, 480);
    EXPECT_EQ(scene.GetDeviceRect().right, 640);
    EXPECT_EQ(scene.GetDeviceRect().bottom, 480);
    int application = 0;
    EXPECT_EQ(scene.GetCurrentWinApp(), nullptr);
    host.app = &application;
    EXPECT_EQ(scene.GetCurrentWinApp(), &application);
    GameBase alone;
    EXPECT_EQ(alone.GetCurrentWinApp(), nullptr);
}

// Each edge band puts the cursor ten pixels inside the scene, at the screen point the
// window's position gives.
TEST_F(KernelServices, EachEdgeBandPutsTheCursorTenPixelsInside) {
    scene.SetWindowPos(300, 200);
    Entity* e = k().CreateEntity(0, 200, 150, 400, 300, 0, 1, true, 1);
    ControlData* c = scene.ApplyControl(e->GetId(), 0);
    ASSERT_NE(c, nullptr);
    const struct {
        int x, y;
        std::pair<int, int> cursor;
    } bands[] = {{3, 150, {310, 350}},     // left: x to 10
                 {396, 150, {690, 350}},   // right: x to 390
                 {200, 4, {500, 210}},     // top: y to 10
                 {200, 295, {500, 490}}};  // bottom: y to 290
    for (const auto& b : bands) {
        host.cursorPositions.clear();
        MouseState s;
        s.hoveredControl = c->id;
        s.x = b.x;
        s.y = b.y;
        MessageData d = MessageData::Owned(new MouseState(s), &FreeMouseState);
        EXPECT_EQ(scene.OnSystemCallback(86, d), 1);
        EXPECT_EQ(host.cursorPositions, (std::vector<std::pair<int, int>>{b.cursor}))
            << b.x << "," << b.y;
    }
}

// A logical screen as large as the canvas allows is kept; one pixel more is no screen.
TEST_F(KernelServices, AFixedLogicalSizeUpToTheCanvasLimit) {
    scene.SetFixedLogicalSize(Canvas::kMaxSide, 8);
    EXPECT_EQ(scene.LogicalSize().width, Canvas::kMaxSide);
    EXPECT_EQ(scene.LogicalSize().height, 8);
    scene.SetFixedLogicalSize(8, Canvas::kMaxSide);
    EXPECT_EQ(scene.LogicalSize().width, 8);
    EXPECT_EQ(scene.LogicalSize().height, Canvas::kMaxSide);
    scene.SetFixedLogicalSize(8, Canvas::kMaxSide + 1);
    EXPECT_EQ(scene.LogicalSize().width, 0);
    EXPECT_EQ(scene.LogicalSize().height, 0);
}

// A logical screen as wide as the window but less high is still stretched to it.
TEST_F(KernelServices, ALogicalScreenOfTheWindowsWidthOnlyIsStretched) {
    scene.SetFixedLogicalSize(400, 150);
    scene.SetScreen(400, 300);
    Frame();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Stretch);
    scene.SetFixedLogicalSize(400, 300);
    Frame();
    EXPECT_EQ(scene.Current(), GameBase::Buffer::Back);
}

// A floating text whose plane refuses its size has no pixels to draw into: nothing is
// shown and nothing stays behind; the box drawn for a record whose plane has no pixels
// draws nothing either.
TEST_F(KernelServices, AFloatingTextOnARefusedPlaneIsNotDrawn) {
    const struct {
        int width, height;
    } sizes[] = {{0, 80}, {100, 0}, {-5, 40}, {kMaxPlaneSide + 1, 40}, {40, kMaxPlaneSide + 1}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(::testing::Message() << s.width << "x" << s.height);
        const size_t before = k().GetEntityCount();
        EXPECT_EQ(
            scene.ShowFloatingText("hello", 1 | 8, 1000, 100, 100, s.width, s.height, 700, 701, 0),
            0u);
        EXPECT_EQ(scene.ShowFloatingText("bye", 0, 500, 50, 50, s.width, s.height, 0, 0, 0), 0u);
        EXPECT_EQ(k().GetEntityCount(), before);
        // The box itself, asked for a plane without pixels.
        Entity* plane = scene.CreatePlaneEntity(4, 100, 100, s.width, s.height, kNoColour);
        ASSERT_NE(plane, nullptr);
        FloatingText record;
        record.options = 1 | 8;
        record.text = "hello";
        record.entityId = plane->GetId();
        scene.MessageBox(record);
        EXPECT_EQ(k().GetEntityCount(), before + 1);  // no buttons
        k().DestroyEntityTree(plane->GetId());
        Frame();
    }
    // A size the plane takes draws the box with its two buttons.
    const size_t before = k().GetEntityCount();
    EXPECT_EQ(scene.ShowFloatingText("hello", 1 | 8, 1000, 100, 100, 100, 80, 700, 701, 0),
              999999u);
    EXPECT_EQ(k().GetEntityCount(), before + 3);
}

}  // namespace
}  // namespace hqlv::engine
