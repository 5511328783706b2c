#include "engine/core/game_object.h"

#include <gtest/gtest.h>

#include "engine/core/apply_callbacks.h"
#include "engine/core/clock.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "platform/core/clock.h"
#include "recording_host.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Services : ::testing::Test {
    void SetUp() override {
        old = platform::setClock(&clock);
        GetEngineTimeMs();
        scene.SetHost(&host);
        scene.Init();
        scene.InitScreen(200, 200);
        // Four frames of 100 ms, 10 × 8 each.
        pictures.Add(7, test::SolidPicture(10, 8, {1, 2, 3, 4}, {100, 100, 100, 100}));
    }
    void TearDown() override {
        scene.Cleanup();
        platform::setClock(old);
    }
    GameKernel& k() { return scene.GetKernel(); }
    platform::ManualClock clock{1000};
    platform::Clock* old = nullptr;
    test::RecordingHost host;
    test::PictureTable pictures;
    GameBase scene;
};

TEST_F(Services, ImageEntityTakesThePictureSizeAndStartsHidden) {
    ImageEntity* e = scene.CreateImageEntity(2, 30, 40, 7, 0, 0, 0, 0, kNoColour);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetWidth(), 10);
    EXPECT_EQ(e->GetHeight(), 8);
    EXPECT_FALSE(e->IsVisible());
    EXPECT_EQ(e->GetLayer(), 2);
    ImageEntity* sized = scene.CreateImageEntity(1, 0, 0, 7, 0, 0, 5, 6, kNoColour);
    EXPECT_EQ(sized->GetWidth(), 5);
    EXPECT_EQ(sized->GetHeight(), 6);
}

TEST_F(Services, PlayFramesLimitAndRefusedMode) {
    ImageEntity* e = scene.CreateImageEntity(1, 30, 40, 7, 0, 0, 0, 0, kNoColour);
    EXPECT_EQ(scene.PlayFrames(e, 4, 3, 1, 0, 0, MessageData{}, 0), 0u);
    EXPECT_EQ(scene.PlayFrames(nullptr, 0, 3, 1, 0, 0, MessageData{}, 0), 0u);
    const uint32_t id = scene.PlayFrames(e, 0, 3, 1, 0, 0, MessageData{}, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(e->GetFrame(), 1u);
    // 3 * 3 * 400 - 100 over the picture's own durations.
    EXPECT_EQ(PlayFramesLimit(3, e->TotalDuration(), e->DurationBetween(0, 1)), 3500u);
    EXPECT_EQ(PlayFramesLimit(2, 400, 0), 1600u);
    clock.advance(1);
    k().RunDueApplies();
    EXPECT_EQ(k().GetActiveApplyCount(), 1u);
}

TEST_F(Services, IntervalBelowOneIsTheFrameInterval) {
    Entity* e = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ASSERT_NE(scene.MoveTo(e, 0, 100, 10, 1, 0, 0, MessageData{}, 0), 0u);
    clock.advance(29);
    k().RunDueApplies();
    k().RunDueApplies();
    const int before = e->GetX();
    clock.advance(1);
    k().RunDueApplies();
    EXPECT_GT(e->GetX(), before);
    EXPECT_EQ(scene.MoveTo(nullptr, 0, 1, 1, 1, 0, 0, MessageData{}, 0), 0u);
    EXPECT_EQ(scene.ReleaseEntityLater(nullptr, 0, 0, 0, MessageData{}), 0u);
    EXPECT_EQ(scene.ShowLater(nullptr, 1, 0, 0, 0, MessageData{}, 0), 0u);
    Entity* loose = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    EXPECT_EQ(scene.MoveTo(loose, 0, 1, 1, 1, 0, 0, MessageData{}, 0), 0u);  // not on the canvas
}

TEST_F(Services, CursorGoesThroughTheMouseManagerToTheHost) {
    host.cursors.clear();
    scene.SetCursorById(32649);
    EXPECT_EQ(host.cursors, std::vector<uint32_t>{32649});
    EXPECT_EQ(scene.GameObject::GetMouseManager(), scene.GetMouseManager());
    EXPECT_EQ(scene.GetMouseState(), &scene.GetMouseManager()->State());
}

TEST_F(Services, ReleaseDeletesTheControlOrUnregisters) {
    int deleted = 0;
    struct Counted : GameObject {
        explicit Counted(int* d) : d(d) {}
        ~Counted() override { ++*d; }
        int* d;
    };
    auto* withControl = new Counted(&deleted);
    k().RegisterObject(std::unique_ptr<ObjectBase>(withControl));
    withControl->SetKernel(&k());
    ControlData* c = k().CreateControl();
    c->owner = withControl;
    withControl->SetControlId(c->id);
    const uint32_t id = c->id;
    withControl->Release();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(k().FindControl(id), nullptr);
    auto* bare = new Counted(&deleted);
    k().RegisterObject(std::unique_ptr<ObjectBase>(bare));
    bare->SetKernel(&k());
    const size_t objects = k().GetObjectCount();
    bare->Release();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(k().GetObjectCount(), objects - 1);
}

}  // namespace
}  // namespace hqlv::engine
