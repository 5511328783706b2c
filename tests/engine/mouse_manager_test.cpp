#include "engine/core/mouse_manager.h"

#include <gtest/gtest.h>

#include "engine/core/clock.h"
#include "engine/core/game_base.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

// Records the codes it receives, with the state the message carried.
struct Listener : ObjectBase {
    uint32_t HandleMessage(EngineMessage& m) override {
        codes.push_back(m.code);
        if (const MouseState* s = AsMouseState(m.data)) states.push_back(*s);
        const uint32_t result = answer;
        // Deleting the own control deletes this object: nothing of it is read after.
        if (deleteOn && m.code == deleteOn) Kernel()->DeleteControl(ControlId());
        return result;
    }
    std::vector<uint32_t> codes;
    std::vector<MouseState> states;
    uint32_t answer = 1;
    uint32_t deleteOn = 0;  // deletes its own control (and so itself) on this code
};

struct MouseScene : GameBase {
    using GameBase::AddObject;
};

struct Mouse : test::SceneTest<MouseScene, 200, 200> {
    void SetUp() override {
        SceneTest::SetUp();
        own = Listen(scene.GetMouseManager()->ControlId());
    }
    // Binds slots 1..23 of the control to themselves as codes, delivered to a listener.
    Listener* Listen(uint32_t controlId) {
        auto* l = static_cast<Listener*>(scene.AddObject(std::make_unique<Listener>()));
        ControlData* c = scene.GetKernel().FindControl(controlId);
        for (uint32_t slot = 1; slot <= 23; ++slot) c->SetEvent(slot, slot, l->ControlId(), 0);
        return l;
    }
    // An entity with a control of its own whose events reach a fresh listener.
    std::pair<uint32_t, Listener*> Target(int x, int y, int z = 1) {
        Entity* e = scene.GetKernel().CreateEntity(0, x, y, 20, 20, 0.0, z, true, 1.0);
        e->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
        ControlData* c = scene.GetKernel().ApplyControl(e->GetId(), 0);
        Listener* l = Listen(c->id);
        scene.GetKernel().BindControl(c, e, 0);
        e->ApplyTransform();
        return {e->GetId(), l};
    }
    MouseManager& mm() { return *scene.GetMouseManager(); }

    Listener* own = nullptr;
};

using Codes = std::vector<uint32_t>;

TEST_F(Mouse, EnterMoveAndLeaveWithStateCopies) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    EXPECT_EQ(la->codes, (Codes{2, 1}));
    ASSERT_EQ(la->states.size(), 2u);
    EXPECT_EQ(la->states[0].hoveredEntity, a);
    EXPECT_EQ(la->states[0].x, 50);
    EXPECT_EQ(la->states[0].dx, 50);
    scene.OnMouseMove(0, 52, 50);
    EXPECT_EQ(la->codes, (Codes{2, 1, 1}));
    scene.OnMouseMove(0, 150, 150);
    EXPECT_EQ(la->codes, (Codes{2, 1, 1, 3}));
    EXPECT_EQ(own->codes, (Codes{1, 1, 1, 3}));
    EXPECT_EQ(mm().State().hoveredEntity, 0u);
}

TEST_F(Mouse, PressOnOneReleaseOnAnotherClicksNeither) {
    auto [a, la] = Target(50, 50);
    auto [b, lb] = Target(120, 50);
    la->answer = 0;  // A does not take the drag
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    EXPECT_EQ(mm().State().pressedEntity, a);
    scene.OnMouseMove(0, 120, 50);  // capture: B hears nothing while A is pressed
    EXPECT_TRUE(lb->codes.empty());
    scene.OnLButtonUp(0, 120, 50);
    EXPECT_EQ(std::count(la->codes.begin(), la->codes.end(), 8u), 0);
    EXPECT_EQ(std::count(lb->codes.begin(), lb->codes.end(), 8u), 0);
    // After the release the hover is found again: B is entered.
    EXPECT_EQ(mm().State().hoveredEntity, b);
    EXPECT_EQ(lb->codes.front(), 2u);
}

// A click where no entity is hovered and none is pressed: the own control hears the
// press, the release and the click, and no move of a hover refresh after them.
TEST_F(Mouse, AClickOverNoEntityFiresNoRefreshMove) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 150, 150);
    own->codes.clear();
    scene.OnLButtonDown(0, 150, 150);
    scene.OnLButtonUp(0, 150, 150);
    EXPECT_EQ(own->codes, (Codes{4, 5, 8}));
    EXPECT_TRUE(la->codes.empty());
    EXPECT_EQ(mm().State().hoveredEntity, 0u);
}

TEST_F(Mouse, ATakenDragKeepsTheHoverOnThePressedEntity) {
    auto [a, la] = Target(50, 50);
    auto [b, lb] = Target(120, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    scene.OnMouseMove(0, 120, 50);
    EXPECT_EQ(la->codes.back(), 10u);
    EXPECT_EQ(mm().State().hoveredEntity, a);
    EXPECT_TRUE(lb->codes.empty());
    scene.OnLButtonUp(0, 120, 50);
    EXPECT_EQ(la->codes.back(), 8u);
}

// A scene that keeps the codes of the messages that reach it without a target.
struct QueueScene : GameBase {
    int OnMessage(uint32_t code, MessageData& data, uint32_t target) override {
        heard.push_back({code, uint32_t(data.word())});
        return GameBase::OnMessage(code, data, target);
    }
    std::vector<std::pair<uint32_t, uint32_t>> heard;  // code, the binding's data word
};

struct QueuedDrag : test::SceneTest<QueueScene, 200, 200> {
    // An entity whose control sends its enter, leave, move and right drag to the scene's
    // queue (no target), the data word naming the entity, as the table's own tiles do.
    uint32_t QueuedTarget(int x, int y) {
        Entity* e = k().CreateEntity(0, x, y, 20, 20, 0.0, 1, true, 1.0);
        e->AttachToCanvas(&k().GetCanvas(), 1);
        ControlData* c = k().ApplyControl(e->GetId(), 0);
        for (uint32_t slot : {1u, 2u, 3u, 11u}) c->SetEvent(slot, 5000 + slot, 0, e->GetId());
        k().BindControl(c, e, 0);
        e->ApplyTransform();
        return e->GetId();
    }
    using Heard = std::vector<std::pair<uint32_t, uint32_t>>;
};

// A drag bound without a target is taken as soon as it joins the queue: the move stops
// there, so a quick right drag across the neighbour neither leaves the dragged entity nor
// enters the other one, and every later drag event still names the dragged one.
TEST_F(QueuedDrag, ARightDragQueuedWithoutTargetKeepsTheHoverOnTheDraggedEntity) {
    const uint32_t a = QueuedTarget(50, 50);
    const uint32_t b = QueuedTarget(80, 50);
    Frame();
    MouseManager& mm = *scene.GetMouseManager();
    scene.OnMouseMove(0, 50, 50);
    scene.PumpMessages();
    EXPECT_EQ(scene.heard, (Heard{{5002, a}, {5001, a}}));
    scene.heard.clear();
    scene.OnRButtonDown(0, 50, 50);
    scene.OnMouseMove(0, 80, 50);  // straight onto the neighbour
    scene.OnMouseMove(0, 80, 90);  // then down, off both
    scene.PumpMessages();
    EXPECT_EQ(scene.heard, (Heard{{5011, a}, {5011, a}}));
    EXPECT_EQ(mm.State().hoveredEntity, a);
    EXPECT_EQ(mm.State().bits & MS_MOVED, 0u);  // taken by the drag
    // The release ends the drag; without a button the next move goes on to the hit test and
    // leaves one entity for the other.
    scene.OnRButtonUp(0, 80, 90);
    scene.OnMouseMove(0, 80, 50);
    scene.PumpMessages();
    EXPECT_EQ(scene.heard, (Heard{{5011, a}, {5011, a}, {5003, a}, {5002, b}, {5001, b}}));
    EXPECT_EQ(mm.State().hoveredEntity, b);
}

// An own binding without a target counts as taken too: a double click bound so fires no
// left-down of its own.
TEST_F(QueuedDrag, AnOwnDoubleClickQueuedWithoutTargetTakesThePlaceOfTheOwnPress) {
    ControlData* own = k().FindControl(scene.GetMouseManager()->ControlId());
    own->SetEvent(4, 6004, 0, 4);
    own->SetEvent(9, 6009, 0, 9);
    scene.OnLButtonDown(0, 10, 10);
    scene.OnLButtonUp(0, 10, 10);
    scene.OnLButtonDown(0, 10, 10);
    scene.PumpMessages();
    EXPECT_EQ(scene.heard, (Heard{{6004, 4}, {6009, 9}}));
}

TEST_F(Mouse, ClickOnTheSameEntityAndDoubleClickWithin500ms) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    la->codes.clear();
    scene.OnLButtonDown(0, 50, 50);
    scene.OnLButtonUp(0, 50, 50);
    EXPECT_EQ(la->codes, (Codes{4, 5, 8}));
    for (int i = 0; i < 4; ++i) scene.OnHoverTimer(0);  // 400 ms
    la->codes.clear();
    scene.OnLButtonDown(0, 50, 50);
    EXPECT_EQ(la->codes, (Codes{9}));
    scene.OnLButtonUp(0, 50, 50);
    // 500 ms is no longer a double click.
    for (int i = 0; i < 5; ++i) scene.OnHoverTimer(0);
    la->codes.clear();
    scene.OnLButtonDown(0, 50, 50);
    EXPECT_EQ(la->codes, (Codes{4}));
}

TEST_F(Mouse, AMoveBetweenPressesPreventsTheDoubleClick) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    scene.OnLButtonUp(0, 50, 50);
    scene.OnMouseMove(0, 51, 50);
    scene.OnMouseMove(0, 51, 50);  // the moved bit is taken by the hovered control's move
    la->codes.clear();
    scene.OnLButtonDown(0, 51, 50);
    EXPECT_EQ(la->codes, (Codes{4}));
}

TEST_F(Mouse, HoverHoldFiresOnceOnThe16thTick) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    for (int i = 0; i < 15; ++i) scene.OnHoverTimer(0);
    EXPECT_EQ(std::count(la->codes.begin(), la->codes.end(), 12u), 0);
    scene.OnHoverTimer(0);
    EXPECT_EQ(std::count(la->codes.begin(), la->codes.end(), 12u), 1);
    for (int i = 0; i < 10; ++i) scene.OnHoverTimer(0);
    EXPECT_EQ(std::count(la->codes.begin(), la->codes.end(), 12u), 1);
    scene.OnMouseMove(0, 150, 150);  // leave after a hold: 3 and 13
    EXPECT_EQ(la->codes.back(), 13u);
}

TEST_F(Mouse, WheelGoesToTheTopItemNotTheHoveredOne) {
    auto [a, la] = Target(50, 50);
    Entity* top = scene.GetKernel().CreateEntity(0, 150, 150, 10, 10, 0, 1, true, 1);
    top->AttachToCanvas(&scene.GetKernel().GetCanvas(), 4);
    ControlData* c = scene.GetKernel().ApplyControl(top->GetId(), 0);
    Listener* lt = Listen(c->id);
    scene.GetKernel().BringControlToTop(c->id);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    lt->codes.clear();
    scene.OnMouseWheel(0, -120, 50, 50);
    scene.OnMouseWheel(0, 120, 50, 50);
    scene.OnMouseWheel(0, 0, 50, 50);
    EXPECT_EQ(lt->codes, (Codes{18, 17}));
    EXPECT_EQ(std::count(la->codes.begin(), la->codes.end(), 18u), 0);
}

TEST_F(Mouse, KeysGoToTheKeyboardControlAndHoldAfter500ms) {
    auto [a, la] = Target(50, 50);
    const uint32_t control = scene.GetKernel().FindEntity(a)->GetControlId();
    scene.GetKernel().SetTopControl(control);
    scene.OnKeyDown(0x41, 1, 0);
    EXPECT_EQ(la->codes, (Codes{22}));
    EXPECT_EQ(la->states.back().keyDown, 0x41u);
    for (int i = 0; i < 5; ++i) scene.OnHoverTimer(0);
    EXPECT_EQ(la->codes, (Codes{22}));
    scene.OnHoverTimer(0);
    EXPECT_EQ(la->codes, (Codes{22, 21}));
    EXPECT_TRUE(la->states.back().keyFlags & KEY_HELD);
    scene.OnKeyUp(0x41, 1, 0);
    EXPECT_EQ(la->states.back().keyDown, 0u);
    EXPECT_EQ(la->states.back().keyUp, 0x41u);
}

TEST_F(Mouse, ShowingAnEntityUnderTheCursorRefreshesOnlyWhenItCanBeHit) {
    auto [a, la] = Target(50, 50);
    Entity* plain = scene.GetKernel().CreateEntity(0, 120, 120, 20, 20, 0.0, 1, false, 1.0);
    plain->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
    Frame();
    scene.OnMouseMove(0, 120, 120);
    own->codes.clear();
    scene.ShowEntity(plain, true);
    EXPECT_TRUE(own->codes.empty());
    Entity* hit = scene.GetKernel().FindEntity(a);
    scene.ShowEntity(hit, false);
    scene.ShowEntity(hit, true);
    EXPECT_TRUE(own->codes.empty());  // the cursor is not over it
    scene.OnMouseMove(0, 50, 50);
    own->codes.clear();
    scene.ShowEntity(hit, true);
    EXPECT_EQ(own->codes, Codes{1});  // re-evaluated: a move at the same point
}

TEST_F(Mouse, ReleaseButtonsEndsTheHover) {
    auto [a, la] = Target(50, 50);
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.ReleaseMouseButtons();
    EXPECT_EQ(la->codes.back(), 3u);
    EXPECT_EQ(mm().State().x, -10000);
}

TEST_F(Mouse, AControlDeletedByItsOwnHandlerIsNotTouchedAgain) {
    // The entity's control is owned by the listener itself, as a button owns its control.
    Entity* e = scene.GetKernel().CreateEntity(0, 50, 50, 20, 20, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&scene.GetKernel().GetCanvas(), 1);
    auto* l = static_cast<Listener*>(scene.AddObject(std::make_unique<Listener>()));
    ControlData* c = scene.GetKernel().FindControl(l->ControlId());
    for (uint32_t slot = 1; slot <= 23; ++slot) c->SetEvent(slot, slot, c->id, 0);
    scene.GetKernel().BindControl(c, e, 0);
    e->ApplyTransform();
    const uint32_t control = c->id;
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    l->deleteOn = 5;  // the release deletes the control and the listener with it
    scene.OnLButtonUp(0, 50, 50);
    EXPECT_EQ(scene.GetKernel().FindControl(control), nullptr);
    EXPECT_EQ(own->codes.back(), 8u);
    scene.OnMouseMove(0, 51, 51);
    scene.OnHoverTimer(0);
    scene.ReleaseMouseButtons();
}

TEST_F(Mouse, EventsForAControlWithoutOwnerAreDropped) {
    Entity* e = k().CreateEntity(0, 50, 50, 20, 20, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ControlData* c = k().ApplyControl(e->GetId(), 0);
    const uint32_t bare = k().CreateControl()->id;
    for (uint32_t slot = 1; slot <= 23; ++slot) c->SetEvent(slot, slot, bare, 0);
    k().BindControl(c, e, 0);
    e->ApplyTransform();
    Frame();
    scene.OnMouseMove(0, 50, 50);
    scene.OnLButtonDown(0, 50, 50);
    scene.OnLButtonUp(0, 50, 50);
    scene.PumpMessages();
    EXPECT_EQ(mm().State().hoveredEntity, e->GetId());
}

}  // namespace
}  // namespace hqlv::engine
