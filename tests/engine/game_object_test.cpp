#include "engine/core/game_object.h"

#include <gtest/gtest.h>

#include "engine/core/apply_callbacks.h"
#include "engine/core/clock.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Services : test::SceneTest<GameBase, 200, 200> {
    void SetUp() override {
        SceneTest::SetUp();
        // Four frames of 100 ms, 10 × 8 each.
        pictures.Add(7, test::SolidPicture(10, 8, {1, 2, 3, 4}, {100, 100, 100, 100}));
    }
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

TEST_F(Services, FramesPlayedForEverHaveNoTimeLimit) {
    ImageEntity* e = scene.CreateImageEntity(1, 30, 40, 7, 0, 0, 0, 0, kNoColour);
    ASSERT_NE(scene.PlayFrames(e, 0, uint32_t(-1), 1, 0, 0, MessageData{}, 0), 0u);
    for (int i = 0; i < 20; ++i) {
        clock.advance(100);
        k().RunDueApplies();
    }
    EXPECT_EQ(k().GetActiveApplyCount(), 1u);
}

// Before the scene's Init there is no kernel: nothing is made and nothing is posted.
TEST(GameObjectWithoutKernel, MakesAndPostsNothing) {
    GameBase loose;
    EXPECT_EQ(loose.CreateImageEntity(1, 0, 0, 7, 0, 0, 4, 4, kNoColour), nullptr);
    EXPECT_EQ(loose.CreatePlaneEntity(1, 0, 0, 4, 4, 0), nullptr);
    EXPECT_EQ(loose.CreateParticleEntity(1, 0, 0, 7, 0, 0, 4, 4, nullptr, nullptr), nullptr);
    EXPECT_EQ(loose.CreateFrameEntity(1, 0, 0, nullptr), nullptr);
    EXPECT_EQ(loose.PauseApply(1, 1), 0u);
    loose.PostKernelMessage(1, 0, 0);
    loose.Release();
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

// Steps the clock 1 ms at a time, running the due Applies after each.
void Step(platform::ManualClock& clock, GameKernel& k, int ms) {
    for (int i = 0; i < ms; ++i) {
        clock.advance(1);
        k.RunDueApplies();
    }
}

TEST_F(Services, MoveToExSpeedWords) {
    struct Case {
        int limit, step;
        double factor;
        int first, second;
    } cases[] = {
        {0, 0, 0.0, 10, 20},       // plain speed
        {0, 100, 0.0, 10, 21},     // step adds to speed * 100
        {0, 0, 0.5, 10, 25},       // factor scales by (1000 + factor * 1000) / 1000
        {1200, 500, 0.0, 10, 22},  // limit caps the grown speed
    };
    for (const Case& c : cases) {
        Entity* e = k().CreateEntity(0, 0, 0, 4, 4, 0, 1, true, 1);
        e->AttachToCanvas(&k().GetCanvas(), 1);
        ASSERT_NE(scene.MoveToEx(e, 0, 1000, 0, 10, c.limit, c.step, c.factor, 10, 0, MessageData{},
                                 0, 0),
                  0u);
        Step(clock, k(), 10);
        EXPECT_EQ(e->GetX(), c.first) << c.limit << " " << c.step << " " << c.factor;
        Step(clock, k(), 10);
        EXPECT_EQ(e->GetX(), c.second) << c.limit << " " << c.step << " " << c.factor;
        k().CancelAllApplies();
    }
}

TEST_F(Services, NoEntityOrNoKernelIsRefused) {
    EXPECT_EQ(scene.MoveToEx(nullptr, 0, 1, 1, 1, 0, 0, 0.0, 10, 0, MessageData{}, 0, 0), 0u);
    EXPECT_EQ(scene.ResizeTo(nullptr, 1, 1, 2, 2, 1, 1, 0, 10, 0, MessageData{}, 0), 0u);
    GameObject loose;
    EXPECT_EQ(loose.PauseApply(1, 1), 0u);
    EXPECT_EQ(loose.Wait(10, 1, MessageData{}, 0, 0), 0u);
    EXPECT_EQ(scene.PauseApply(1, 1), 999999u);
}

TEST_F(Services, MoveToExReplacesTheRunningMoveAndReleasesAtTheEnd) {
    Entity* e = k().CreateEntity(0, 0, 0, 4, 4, 0, 1, true, 1);
    e->AttachToCanvas(&k().GetCanvas(), 1);
    ASSERT_NE(scene.MoveTo(e, 0, -1000, 0, 10, 10, 0, MessageData{}, 0), 0u);
    ASSERT_NE(scene.MoveToEx(e, 0, 10, 0, 10, 0, 0, 0.0, 10, 0, MessageData{}, 0, 1), 0u);
    const size_t entities = k().GetEntityCount();
    Step(clock, k(), 10);
    EXPECT_EQ(k().GetActiveApplyCount(), 1u);  // the old move is gone
    EXPECT_EQ(e->GetX(), 10);
    Step(clock, k(), 10);
    EXPECT_EQ(k().GetActiveApplyCount(), 0u);
    EXPECT_EQ(k().GetEntityCount(), entities - 1);  // released with the Apply
}

TEST_F(Services, WaitEndsOnTheFirstFrameAfterItsDuration) {
    const uint32_t frame = k().GetFrameInterval();
    ASSERT_EQ(frame, 30u);
    // The first run (one frame in) starts the wait; it ends on a frame tick.
    struct Case {
        uint32_t duration;
        int endsAt;
    } cases[] = {{0, 30}, {90, 120}, {91, 150}};
    for (const Case& c : cases) {
        const size_t queued = k().GetMessageCount();
        ASSERT_NE(scene.Wait(c.duration, 77, MessageData{}, 0, 0), 0u);
        Step(clock, k(), c.endsAt - 1);
        EXPECT_EQ(k().GetMessageCount(), queued) << c.duration;
        Step(clock, k(), 1);
        EXPECT_EQ(k().GetMessageCount(), queued + 1) << c.duration;
        EXPECT_EQ(k().GetActiveApplyCount(), 0u);
    }
}

TEST_F(Services, ShowLaterShowsOrHidesAfterTheInterval) {
    struct Case {
        int show, interval, release;
        bool visible, remains;
    } cases[] = {{1, 50, 0, true, true}, {0, 20, 0, false, true}, {1, 0, 1, true, false}};
    for (const Case& c : cases) {
        Entity* e = k().CreateEntity(0, 0, 0, 4, 4, 0, 1, c.show == 0, 1);
        e->AttachToCanvas(&k().GetCanvas(), 1);
        const uint32_t id = e->GetId();
        const int wait = c.interval ? c.interval : 30;
        ASSERT_NE(scene.ShowLater(e, c.show, 0, c.interval, 0, MessageData{}, c.release), 0u);
        Step(clock, k(), wait - 1);
        EXPECT_EQ(e->IsVisible(), c.show == 0) << c.show << c.interval;
        Step(clock, k(), 1);
        Entity* after = k().FindEntity(id);
        EXPECT_EQ(after != nullptr, c.remains) << c.show << c.interval;
        if (after) {
            EXPECT_EQ(after->IsVisible(), c.visible);
        }
    }
}

TEST_F(Services, ResizeToStartsAtTheStartSizeAndStepsToTheTarget) {
    struct Case {
        int sw, sh, tw, th, dw, dh;
        std::vector<std::pair<int, int>> sizes;
    } cases[] = {
        {10, 10, 40, 20, 10, 5, {{20, 15}, {30, 20}, {40, 20}}},
        {40, 40, 10, 30, -20, -20, {{20, 30}, {10, 30}}},
    };
    for (const Case& c : cases) {
        Entity* e = k().CreateEntity(0, 0, 0, 4, 4, 0, 1, true, 1);
        e->AttachToCanvas(&k().GetCanvas(), 1);
        ASSERT_NE(scene.ResizeTo(e, c.sw, c.sh, c.tw, c.th, c.dw, c.dh, 0, 10, 0, MessageData{}, 0),
                  0u);
        EXPECT_EQ(e->GetWidth(), c.sw);
        EXPECT_EQ(e->GetHeight(), c.sh);
        for (auto [w, h] : c.sizes) {
            Step(clock, k(), 10);
            EXPECT_EQ(e->GetWidth(), w);
            EXPECT_EQ(e->GetHeight(), h);
        }
        EXPECT_EQ(k().GetActiveApplyCount(), 1u);
        Step(clock, k(), 10);
        EXPECT_EQ(k().GetActiveApplyCount(), 0u);
    }
}

TEST_F(Services, ParticleAndFrameEntitiesStartHiddenOnTheirLayer) {
    using StepFn = bool (*)(Particle&, const ParticleParams*);
    auto stepOf = [](ParticleEntity* e) {
        const StepFn* f = e->State()->step.target<StepFn>();
        return f ? *f : nullptr;
    };
    ParticleEntity* p = scene.CreateParticleEntity(3, 5, 6, 7, 0, 0, 4, 4, nullptr,
                                                   &ParticleEntity::DefaultStepParticle);
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->IsVisible());
    EXPECT_EQ(p->GetLayer(), 3);
    ASSERT_NE(p->State(), nullptr);
    EXPECT_NE(stepOf(p), &ParticleEntity::DefaultStepParticle);  // one callback alone is not taken
    ParticleEntity* both =
        scene.CreateParticleEntity(1, 0, 0, 7, 0, 0, 4, 4, &ParticleEntity::DefaultNewParticle,
                                   &ParticleEntity::DefaultStepParticle);
    EXPECT_EQ(stepOf(both), &ParticleEntity::DefaultStepParticle);

    EXPECT_EQ(scene.RunParticles(nullptr, 0, 0, MessageData{}, 0), 0u);
    EXPECT_NE(scene.RunParticles(both, 0, 0, MessageData{}, 0), 0u);
    EXPECT_EQ(both->State()->running, 1u);
    clock.advance(40);
    k().RunDueApplies();  // a fresh run is not finishing: it keeps running
    EXPECT_EQ(both->State()->running, 1u);
    EXPECT_EQ(k().GetActiveApplyCount(), 1u);

    auto seq = std::make_unique<FrameSequence>();
    seq->Build(2, 7, 12, 9, 50);
    FrameEntity* f = scene.CreateFrameEntity(2, 0, 0, std::move(seq));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetWidth(), 12);
    EXPECT_EQ(f->GetHeight(), 9);
    EXPECT_FALSE(f->IsVisible());
    EXPECT_FALSE(f->IsPlaying());
    EXPECT_EQ(f->Player()->flags & FP_OWNS_SEQUENCE, uint32_t(FP_OWNS_SEQUENCE));
    FrameEntity* empty = scene.CreateFrameEntity(1, 0, 0, nullptr);
    EXPECT_EQ(empty->GetWidth(), 0);
    EXPECT_EQ(empty->GetHeight(), 0);
}

}  // namespace
}  // namespace hqlv::engine
