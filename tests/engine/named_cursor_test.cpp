// Named cursors: the resource manager's table, the mouse manager's named cursor, system
// callback 85 and a control whose hover sets its own cursor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/controls.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

EngineCursor Picture(int w, int h, int hx, int hy) {
    EngineCursor c;
    c.width = w;
    c.height = h;
    c.hotX = hx;
    c.hotY = hy;
    c.pixels.assign(size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0), 0xFF112233);
    return c;
}

EngineCursor System(uint32_t id) {
    EngineCursor c;
    c.systemId = id;
    return c;
}

void FreeName(void* block) {
    std::free(block);
}

MessageData OwnedName(const char* name) {
    return MessageData::Owned(strdup(name), &FreeName);
}

struct Cursors : test::SceneTest<test::RecordingScene, 200, 200> {
    void SetUp() override {
        SceneTest::SetUp();
        host.cursors.clear();
        ASSERT_TRUE(GetResourceManager().RegisterCursor("手", Picture(3, 2, 2, 1)));
    }
    MouseManager& mm() { return *scene.GetMouseManager(); }
};

TEST(CursorTable, OnlyWholeCursorsAreKept) {
    struct Row {
        const char* why;
        EngineCursor cursor;
        bool kept;
    };
    EngineCursor shortPixels = Picture(4, 4, 0, 0);
    shortPixels.pixels.pop_back();
    const Row rows[] = {
        {"system", System(32649), true},
        {"smallest picture", Picture(1, 1, 0, 0), true},
        {"hot spot in the far corner", Picture(4, 3, 3, 2), true},
        {"largest picture", Picture(kMaxCursorSide, kMaxCursorSide, 0, 0), true},
        {"no size", Picture(0, 0, 0, 0), false},
        {"no height", Picture(4, 0, 0, 0), false},
        {"too wide", Picture(kMaxCursorSide + 1, 1, 0, 0), false},
        {"too tall", Picture(1, kMaxCursorSide + 1, 0, 0), false},
        {"pixels short", shortPixels, false},
        {"hot x past the right", Picture(4, 3, 4, 0), false},
        {"hot y past the bottom", Picture(4, 3, 0, 3), false},
        {"hot x left of it", Picture(4, 3, -1, 0), false},
        {"hot y above it", Picture(4, 3, 0, -1), false},
    };
    ResourceManager& rm = GetResourceManager();
    for (const Row& r : rows) {
        EXPECT_EQ(rm.RegisterCursor("c", r.cursor), r.kept) << r.why;
        EXPECT_EQ(rm.GetCursorByName("c") != nullptr, r.kept) << r.why;
        rm.ReleaseAll();
    }
    EXPECT_FALSE(rm.RegisterCursor("", System(32512)));
    EXPECT_EQ(rm.GetCursorCount(), 0u);
}

TEST(CursorTable, ANameGivenAgainTakesTheNewCursorAndReleaseAllEmptiesTheTable) {
    ResourceManager& rm = GetResourceManager();
    ASSERT_TRUE(rm.RegisterCursor("a", System(32512)));
    const CursorHandle first = rm.GetCursorByName("a");
    ASSERT_TRUE(rm.RegisterCursor("a", System(32649)));
    ASSERT_TRUE(rm.RegisterCursor("b", Picture(2, 2, 1, 1)));
    EXPECT_EQ(rm.GetCursorCount(), 2u);
    EXPECT_EQ(rm.GetCursorByName("a")->systemId, 32649u);
    EXPECT_EQ(first->systemId, 32512u);  // a handle outlives its name
    EXPECT_EQ(rm.GetCursorByName("A"), nullptr);
    // A second user only counts off; the last one empties the table.
    rm.AddUser();
    rm.AddUser();
    rm.ReleaseAll();
    EXPECT_EQ(rm.GetCursorCount(), 2u);
    rm.ReleaseAll();
    EXPECT_EQ(rm.GetCursorCount(), 0u);
    EXPECT_EQ(rm.GetCursorByName("a"), nullptr);
    EXPECT_EQ(rm.GetCursorByName("b"), nullptr);
}

TEST_F(Cursors, SystemCallback85ShowsTheNamedCursorOnTheHost) {
    k().PostMessage(85, OwnedName("手"));
    scene.PumpMessages();
    ASSERT_EQ(host.shownCursors.size(), 1u);
    EXPECT_EQ(host.shownCursors[0].width, 3);
    EXPECT_EQ(host.shownCursors[0].hotX, 2);
    EXPECT_EQ(host.shownCursors[0].hotY, 1);
    EXPECT_EQ(host.shownCursors[0].pixels, std::vector<uint32_t>(6, 0xFF112233));
    EXPECT_TRUE(host.cursors.empty());
    EXPECT_EQ(mm().CurrentNamedCursor(), GetResourceManager().GetCursorByName("手"));
    EXPECT_EQ(mm().CurrentCursor(), 0u);
    // The host asks again (its set-cursor message): the same cursor.
    mm().ApplyCursor();
    EXPECT_EQ(host.shownCursors.size(), 2u);
}

TEST_F(Cursors, AnUnknownNameOrNoNameChangesNothing) {
    mm().SetCursorById(32649);
    host.cursors.clear();
    k().PostMessage(85, OwnedName("无此光标"));
    k().PostMessage(85, MessageData{});
    scene.PumpMessages();
    EXPECT_TRUE(host.shownCursors.empty());
    EXPECT_TRUE(host.cursors.empty());
    EXPECT_EQ(mm().CurrentCursor(), 32649u);
    mm().ApplyCursor();
    EXPECT_EQ(host.cursors, std::vector<uint32_t>{32649});
}

TEST_F(Cursors, AfterReleaseAllTheNameSetsNothing) {
    GetResourceManager().ReleaseAll();
    EXPECT_EQ(GetResourceManager().GetCursorByName("手"), nullptr);
    k().PostMessage(85, OwnedName("手"));
    scene.PumpMessages();
    EXPECT_TRUE(host.shownCursors.empty());
}

TEST_F(Cursors, ASystemCursorByIdReplacesTheNamedOne) {
    scene.SetCursorByName("手");
    ASSERT_EQ(host.shownCursors.size(), 1u);
    scene.SetCursorById(32512);
    EXPECT_EQ(host.cursors, std::vector<uint32_t>{32512});
    EXPECT_EQ(mm().CurrentNamedCursor(), nullptr);
    mm().ApplyCursor();
    EXPECT_EQ(host.shownCursors.size(), 1u);
    EXPECT_EQ(host.cursors, (std::vector<uint32_t>{32512, 32512}));
}

TEST_F(Cursors, ANamedSystemCursorReachesAHostThatDrawsNoPictures) {
    ASSERT_TRUE(GetResourceManager().RegisterCursor("等", System(32514)));
    host.EngineHost::ShowCursor(*GetResourceManager().GetCursorByName("等"));
    host.EngineHost::ShowCursor(*GetResourceManager().GetCursorByName("手"));
    EXPECT_EQ(host.cursors, std::vector<uint32_t>{32514});
}

TEST_F(Cursors, AControlWithItsOwnNamedCursorSetsItOnHover) {
    // The control's enter event is bound to the system message 85 with its cursor's name.
    static const char kName[] = "手";
    Entity* e = k().CreateEntity(0, 100, 100, 20, 20, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ControlData* c = k().ApplyControl(e->GetId(), 0);
    c->SetEvent(2, 85, 0, reinterpret_cast<uintptr_t>(kName));
    e->ApplyTransform();
    scene.OnMouseMove(0, 10, 10);
    scene.PumpMessages();
    EXPECT_TRUE(host.shownCursors.empty());
    scene.OnMouseMove(0, 100, 100);
    scene.PumpMessages();
    ASSERT_EQ(host.shownCursors.size(), 1u);
    EXPECT_EQ(host.shownCursors[0].width, 3);
    // The name stays the control's: the pump did not free it.
    EXPECT_STREQ(kName, "手");
}

TEST_F(Cursors, AnEventBoundWithoutANameCarriesThePointerStateWhichNamesNoCursor) {
    Entity* e = k().CreateEntity(0, 100, 100, 20, 20, 0.0, 1, true, 1.0);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ASSERT_LT(e->GetId(), 256u);
    // The state's first word is the hovered entity's id: read as a text, this name.
    const std::string stateAsText(1, char(e->GetId()));
    ASSERT_TRUE(GetResourceManager().RegisterCursor(stateAsText, Picture(1, 1, 0, 0)));
    ControlData* c = k().ApplyControl(e->GetId(), 0);
    c->SetEvent(2, 85, 0, 0);
    e->ApplyTransform();
    scene.OnMouseMove(0, 100, 100);
    scene.PumpMessages();
    EXPECT_TRUE(host.shownCursors.empty());
}

TEST_F(Cursors, ControlsAndObjectsSetNamedCursorsThroughTheMouseManager) {
    auto* control = static_cast<ControlBase*>(scene.AddObject(std::make_unique<ControlBase>()));
    control->SetCursorByName("手");
    EXPECT_EQ(host.shownCursors.size(), 1u);
    GameObject loose;  // no kernel, no mouse manager: nothing happens
    loose.SetCursorByName("手");
    EXPECT_EQ(host.shownCursors.size(), 1u);
}

}  // namespace
}  // namespace hqlv::engine
