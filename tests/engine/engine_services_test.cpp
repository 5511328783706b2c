// The engine object's plain pass-throughs: raw Apply posts, the resource manager and its
// script engine, records' data by id and by name, and child controls by record.
#include <gtest/gtest.h>

#include "engine/core/controls.h"
#include "engine/core/resource_manager.h"
#include "engine/core/script_engine.h"
#include "scene_fixture.h"
#include "temp_folder.h"

namespace hqlv::engine {
namespace {

struct Seen {
    std::array<uint32_t, 22> p{};
    uint32_t flags = 0, eventId = 0, pauseWord = 0, level = 0, entityId = 0;
    int runs = 0;
};
Seen g_seen;

uint32_t Record(Entity* e, Apply& a, GameKernel&, uint32_t) {
    g_seen.p = a.p;
    g_seen.flags = a.flags;
    g_seen.eventId = a.eventId;
    g_seen.pauseWord = a.pauseWord;
    g_seen.level = a.level;
    g_seen.entityId = e ? e->GetId() : 0;
    ++g_seen.runs;
    return 1;
}

using PassThrough = test::SceneTest<>;

TEST_F(PassThrough, RawPostsKeepWordsCallbackFlagsPauseWordAndLevel) {
    Entity* e = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    const uint32_t entity = e->GetId();
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    a.p[7] = 77;
    a.p[18] = 1818;
    g_seen = {};
    const uint32_t id =
        scene.PostApply(entity, std::move(a), &Record, 0, APPLY_DESTROY_ENTITY, 5, 6);
    ASSERT_NE(id, 0u);
    k().RunDueApplies();
    EXPECT_EQ(g_seen.runs, 0);  // a pause word starts it paused
    EXPECT_EQ(k().ResumeApply(id), 1);
    k().RunDueApplies();
    EXPECT_EQ(g_seen.runs, 1);
    EXPECT_EQ(g_seen.p[7], 77u);
    EXPECT_EQ(g_seen.p[18], 1818u);
    EXPECT_EQ(g_seen.flags, APPLY_DESTROY_ENTITY);
    EXPECT_EQ(g_seen.pauseWord, 5u);
    EXPECT_EQ(g_seen.level, 6u);
    EXPECT_EQ(g_seen.entityId, entity);
    EXPECT_EQ(k().FindEntity(entity), nullptr);  // the flag released it at the end

    // Under an Event: one the kernel has issued is taken, a later one refused.
    const uint32_t event = scene.NewEventId();
    g_seen = {};
    EXPECT_NE(
        scene.PostCallbackApply(0, MakeApplyTimer(0, 0, MessageData{}, 0), &Record, event, 0, 0, 3),
        0u);
    EXPECT_EQ(scene.PostCallbackApply(0, MakeApplyTimer(0, 0, MessageData{}, 0), &Record, event + 1,
                                      0, 0, 3),
              0u);
    k().RunDueApplies();
    EXPECT_EQ(g_seen.runs, 1);
    EXPECT_EQ(g_seen.eventId, event);
    EXPECT_EQ(g_seen.level, 3u);
    // Without an entity on the canvas, or without a kernel, nothing is posted.
    Entity* loose = k().CreateEntity(0, 1, 1, 1, 1, 0, 1, true, 1);
    EXPECT_EQ(scene.PostApply(loose->GetId(), Apply{}, &Record, 0, 0, 0, 2), 0u);
    GameObject bare;
    EXPECT_EQ(bare.PostApply(0, Apply{}, &Record, 0, 0, 0, 2), 0u);
    EXPECT_EQ(bare.PostCallbackApply(0, Apply{}, &Record, 0, 0, 0, 2), 0u);
}

TEST_F(PassThrough, StandardPostsRunAtLevelTwoUnderTheirEventOrNone) {
    // A move is a standard post: a cancel of the entity's level-2 Applies takes it, with or
    // without an Event.
    Entity* e = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    for (const uint32_t eventId : {0u, scene.NewEventId()}) {
        ASSERT_NE(scene.MoveTo(e, eventId, 900, 900, 1, 0, 0, MessageData{}, 0), 0u) << eventId;
        k().RunDueApplies();
        ASSERT_EQ(k().GetActiveApplyCount(), 1u) << eventId;
        Apply cancel;
        cancel.flags = CMD_CANCEL;
        cancel.successor = e->GetId();
        cancel.level = 2;
        k().PostCommand(std::move(cancel));
        k().RunDueApplies();
        EXPECT_EQ(k().GetActiveApplyCount(), 0u) << eventId;
        e->SetPosition(10, 10);
    }
}

TEST_F(PassThrough, TheResourceManagerAndItsScriptEngine) {
    GameObject bare;
    EXPECT_EQ(&bare.GetResourceManager(), &GetResourceManager());
    ScriptEngine* before = GetResourceManager().GetScriptEngine();
    EXPECT_EQ(bare.GetScriptEngine(), before);
    GetResourceManager().SetScriptEngine(nullptr);
    EXPECT_EQ(bare.GetScriptEngine(), nullptr);
    GetResourceManager().SetScriptEngine(before);
}

TEST(ResourceData, RawBytesByIdAndByNameNothingForUnknownOrUnloadable) {
    test::TempFolder dir;
    dir.put("a.txt", "hello");
    ResourceManager rm;
    const uint32_t id =
        rm.AddResourceHashed("a.text", dir / "a.txt", 0, RSHash(".text"), RSHash(".txt"), 0, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(rm.GetData(id).bytes, "hello");
    EXPECT_EQ(rm.GetData(id).picture, nullptr);
    EXPECT_EQ(rm.GetResource(id).bytes, "hello");
    EXPECT_EQ(rm.GetDataByName("a.text").bytes, "hello");
    EXPECT_EQ(rm.GetData(id + 1).bytes.data(), nullptr);
    EXPECT_EQ(rm.GetDataByName("b.text").bytes.data(), nullptr);
    // A raw file that cannot be read loads as nothing, without being fatal.
    const uint32_t gone =
        rm.AddResourceHashed("g.text", dir / "gone.txt", 0, RSHash(".text"), RSHash(".txt"), 0, 0);
    EXPECT_EQ(rm.GetData(gone).bytes.data(), nullptr);
    EXPECT_EQ(rm.GetBassState(), 0u);
}

TEST_F(PassThrough, AChildControlByRecordTakesItsParent) {
    ControlData* parent = k().CreateControl();
    ControlData* child = k().CreateControl();
    EXPECT_EQ(k().AddChildControlRecord(parent, child), 999999u);
    EXPECT_EQ(child->parentId, parent->id);
    EXPECT_EQ(k().AddChildControlRecord(nullptr, child), 0u);
    EXPECT_EQ(k().AddChildControlRecord(parent, nullptr), 0u);
    auto* control = static_cast<ControlBase*>(scene.AddObject(std::make_unique<ControlBase>()));
    ControlData* other = k().CreateControl();
    EXPECT_EQ(control->AddChildRecord(other), 999999u);
    EXPECT_EQ(other->parentId, control->ControlId());
    EXPECT_EQ(control->AddChildRecord(nullptr), 0u);
    ControlBase loose;
    EXPECT_EQ(loose.AddChildRecord(other), 0u);
    EXPECT_EQ(other->parentId, control->ControlId());
    // Without a bound entity the entity operations do nothing.
    loose.MoveBy(1, 1);
    loose.Show();
    EXPECT_EQ(loose.BoundEntity(), nullptr);
}

TEST_F(PassThrough, AControlAppliedWithoutEventsLeavesTheEntityUnhittable) {
    Entity* e = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    ASSERT_NE(k().ApplyControl(e->GetId(), 0), nullptr);
    EXPECT_EQ(e->GetHitMode(), 0u);
}

TEST(EngineScreen, ALogicalSideBeyondTheCanvasLimitLeavesNoLogicalScreen) {
    for (const int side : {Canvas::kMaxSide, Canvas::kMaxSide + 1}) {
        GameBase scene;
        scene.Init();
        scene.InitScreen(side, 4);
        const bool fits = side <= Canvas::kMaxSide;
        EXPECT_EQ(scene.LogicalSize().width, fits ? side : 0);
        EXPECT_EQ(scene.LogicalSize().height, fits ? 4 : 0);
        EXPECT_EQ(scene.DeviceSize().width, side);
        scene.Cleanup();
    }
}

}  // namespace
}  // namespace hqlv::engine
