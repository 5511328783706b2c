#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/core/apply_callbacks.h"
#include "engine/core/clock.h"
#include "engine/core/kernel.h"
#include "log_capture.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

// Counts the blocks freed through it.
int g_freed = 0;
void CountingFree(void* block) {
    ++g_freed;
    std::free(block);
}
MessageData OwnedBlock() {
    return MessageData::Owned(std::malloc(16), CountingFree);
}

struct Recorder : ObjectBase {
    explicit Recorder(uint32_t answer, int* destroyed = nullptr)
        : answer(answer), destroyed(destroyed) {}
    ~Recorder() override {
        if (destroyed) ++*destroyed;
    }
    uint32_t HandleMessage(EngineMessage& m) override {
        codes.push_back(m.code);
        words.push_back(m.data.word());
        lengths.push_back(m.data.bytes());
        return answer;
    }
    uint32_t answer;
    int* destroyed;
    std::vector<uint32_t> codes;
    std::vector<uintptr_t> words;
    std::vector<size_t> lengths;
};

struct ClockFixture : ::testing::Test {
    void SetUp() override {
        old = platform::setClock(&clock);
        GetEngineTimeMs();
        g_freed = 0;
    }
    void TearDown() override { platform::setClock(old); }
    void Step(uint32_t ms) {
        clock.advance(ms);
        kernel.RunDueApplies();
    }
    platform::ManualClock clock{1000};
    platform::Clock* old = nullptr;
    GameKernel kernel;
};

Entity* Attached(GameKernel& k, uint32_t type = ENT_PLAIN, int layer = 1) {
    Entity* e = k.CreateEntity(type, 10, 10, 4, 4, 0.0, 1, true, 1.0);
    k.GetCanvas().InitScreen(32, 100, 100);
    e->AttachToCanvas(&k.GetCanvas(), layer);
    return e;
}

// ---- entities and controls ---------------------------------------------------------------------

using Kernel = ClockFixture;

TEST_F(Kernel, IdsFactoryAndChildrenLookups) {
    EXPECT_EQ(kernel.CreateEntity(3, 0, 0, 1, 1, 0, 1, true, 1), nullptr);
    Entity* a = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
    Entity* b = kernel.CreateEntity(ENT_IMAGE, 0, 0, 1, 1, 0, 1, true, 1);
    EXPECT_EQ(a->GetId(), 1u);
    EXPECT_EQ(b->GetId(), 2u);
    EXPECT_EQ(kernel.FindEntity(2), b);
    EXPECT_EQ(kernel.AddChildEntity(9, 2, LINK_MOVE), 0u);
    EXPECT_EQ(kernel.AddChildEntity(1, 9, LINK_MOVE), 0u);
    EXPECT_EQ(kernel.AddChildEntity(1, 2, LINK_MOVE), 1u);
    kernel.RemoveChildEntity(1, 2);
    EXPECT_EQ(a->GetChildCount(), 0u);
    EXPECT_EQ(kernel.PostMessage(0, MessageData::Number(5)), 0);
    EXPECT_EQ(kernel.GetMessageCount(), 0u);
    EXPECT_EQ(kernel.PostMessage(7, MessageData::Number(5)), 1);
    EXPECT_EQ(kernel.PopMessage().code, 7u);
    EXPECT_EQ(kernel.PopMessage().code, 0u);
}

TEST_F(Kernel, FrameDueTest) {
    kernel.SetFrameInterval(30);
    EXPECT_TRUE(kernel.IsFrameDue());
    clock.advance(10);
    EXPECT_FALSE(kernel.IsFrameDue());
    clock.advance(20);
    EXPECT_TRUE(kernel.IsFrameDue());
}

TEST_F(Kernel, BindingConflictsAndEventSlots) {
    Entity* e = Attached(kernel);
    ControlData* first = kernel.CreateControl();
    ControlData* second = kernel.CreateControl();
    EXPECT_EQ(kernel.BindControl(nullptr, e, 0), 0);
    EXPECT_EQ(kernel.BindControl(first, nullptr, 0), 0);
    first->SetEvent(8, 100, 0, 0);
    EXPECT_EQ(kernel.BindControl(first, e, 0), 1);
    EXPECT_EQ(e->GetHitMode(), 1u);
    {
        test::LogCapture log;
        EXPECT_EQ(kernel.BindControl(second, e, 0), 1);
        EXPECT_NE(log.text().find("控件申请冲突，申请绑定实体已被其他控件绑定!"),
                  std::string::npos);
        EXPECT_NE(log.text().find("强制解除原有绑定，可能造成逻辑错误，care!"), std::string::npos);
    }
    EXPECT_EQ(first->entityId, 0u);
    EXPECT_EQ(e->GetControlId(), second->id);
    // Slot rules.
    EXPECT_EQ(second->SetEvent(30, 1, 0, 0), 0u);
    second->SetEvent(8, 200, 0, 0);
    second->SetEvent(0, 0, 0, 0);
    EXPECT_EQ(e->GetHitMode(), 1u);
    second->SetEvent(8, 0, 0, 0);
    second->SetEvent(0, 0, 0, 0);
    EXPECT_EQ(e->GetHitMode(), 0u);
    second->SetEvent(8, 200, 0, 0);
    EXPECT_TRUE(second->IsClickable());
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    second->owner = owner;
    second->Enable(false);
    EXPECT_EQ(second->GetEvent(8), nullptr);
    EXPECT_EQ(owner->codes, (std::vector<uint32_t>{69}));
    EXPECT_EQ(kernel.ReleaseControl(999), 0);
    EXPECT_EQ(kernel.ReleaseControl(second->id), 1);
    EXPECT_EQ(e->GetControlId(), 0u);
    // Deleting a control without flag 16 unbinds its entity and keeps it.
    ASSERT_EQ(kernel.BindControl(first, e, 0), 1);
    EXPECT_EQ(kernel.DeleteControl(first->id), 1);
    EXPECT_EQ(e->GetControlId(), 0u);
    EXPECT_EQ(kernel.FindEntity(e->GetId()), e);
    first = kernel.CreateControl();
    EXPECT_EQ(kernel.AddChildControl(first->id, 999), 0u);
    EXPECT_EQ(kernel.AddChildControl(first->id, second->id), 999999u);
}

// A control that binds its own entity again keeps it: no conflict is logged, both ends still
// name each other, and the new flags stand, so deleting the control with flag 16 takes the
// entity with it.
TEST_F(Kernel, RebindingAControlToItsOwnEntityKeepsTheBinding) {
    Entity* e = Attached(kernel);
    const uint32_t entityId = e->GetId();
    ControlData* c = kernel.CreateControl();
    c->SetEvent(8, 100, 0, 0);
    ASSERT_EQ(kernel.BindControl(c, e, 0), 1);
    test::LogCapture log;
    EXPECT_EQ(kernel.BindControl(c, e, CTRL_DESTROY_ENTITY), 1);
    EXPECT_TRUE(log.text().empty()) << log.text();
    EXPECT_EQ(c->entityId, entityId);
    EXPECT_EQ(e->GetControlId(), c->id);
    EXPECT_EQ(e->GetHitMode(), 1u);
    EXPECT_EQ(c->flags, CTRL_DESTROY_ENTITY);
    EXPECT_EQ(kernel.DeleteControl(c->id), 1);
    EXPECT_EQ(kernel.FindEntity(entityId), nullptr);
}

TEST_F(Kernel, TopControlsTradeMessages15And16) {
    auto* a = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    auto* b = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    Entity* ea = Attached(kernel, ENT_PLAIN, 4);
    Entity* eb = kernel.CreateEntity(ENT_PLAIN, 30, 30, 4, 4, 0.0, 3, true, 1.0);
    eb->AttachToCanvas(&kernel.GetCanvas(), 4);
    Entity* low = kernel.CreateEntity(ENT_PLAIN, 50, 50, 4, 4, 0.0, 3, true, 1.0);
    low->AttachToCanvas(&kernel.GetCanvas(), 1);
    ControlData* ca = kernel.ApplyControl(ea->GetId(), 0);
    ControlData* cb = kernel.ApplyControl(eb->GetId(), 0);
    ControlData* cl = kernel.ApplyControl(low->GetId(), 0);
    ca->owner = a;
    cb->owner = b;
    kernel.BringControlToTop(cl->id);  // not on layer 4: nothing
    EXPECT_EQ(kernel.GetMessageCount(), 0u);
    kernel.BringControlToTop(ca->id);
    EXPECT_EQ(kernel.PopMessage().code, 16u);  // no previous top: queued
    EXPECT_EQ(a->codes, (std::vector<uint32_t>{15}));
    kernel.BringControlToTop(cb->id);
    EXPECT_EQ(a->codes, (std::vector<uint32_t>{15, 16}));
    EXPECT_EQ(b->codes, (std::vector<uint32_t>{15}));
    EXPECT_EQ(kernel.GetTopItemControl(), cb->id);
    kernel.RemoveControlFromTop(cb->id);
    EXPECT_EQ(b->codes, (std::vector<uint32_t>{15, 16}));
    EXPECT_EQ(a->codes, (std::vector<uint32_t>{15, 16, 15}));
    EXPECT_EQ(kernel.GetTopItemControl(), ca->id);
}

TEST_F(Kernel, ALosingTopControlMayDestroyTheNewcomer) {
    // The old top control's handler of 16 deletes the newcomer (a closing dialog taking its
    // buttons with it): nothing is made top and nothing reads the gone entity.
    struct Closer : ObjectBase {
        uint32_t HandleMessage(EngineMessage& m) override {
            if (m.code == 16 && kernel) kernel->DeleteControl(victim);
            return 1;
        }
        GameKernel* kernel = nullptr;
        uint32_t victim = 0;
    };
    auto* closer = static_cast<Closer*>(kernel.RegisterObject(std::make_unique<Closer>()));
    Entity* ea = Attached(kernel, ENT_PLAIN, 4);
    Entity* eb = kernel.CreateEntity(ENT_PLAIN, 30, 30, 4, 4, 0.0, 3, true, 1.0);
    eb->AttachToCanvas(&kernel.GetCanvas(), 4);
    ControlData* ca = kernel.ApplyControl(ea->GetId(), 0);
    ControlData* cb = kernel.ApplyControl(eb->GetId(), 16 | 128);
    ca->owner = closer;
    kernel.BringControlToTop(ca->id);
    kernel.PopMessage();
    closer->kernel = &kernel;
    closer->victim = cb->id;
    const uint32_t cbId = cb->id, ebId = eb->GetId();
    kernel.BringControlToTop(cbId);
    EXPECT_EQ(kernel.FindEntity(ebId), nullptr);
    EXPECT_EQ(kernel.FindControl(cbId), nullptr);
    EXPECT_EQ(kernel.GetTopItemControl(), ca->id);
}

// A destroyed layer-4 entity that was the top item leaves no top item behind; an entity of
// another layer does not take the top item with it.
TEST_F(Kernel, DestroyingTheTopItemClearsIt) {
    Entity* ea = Attached(kernel, ENT_PLAIN, 4);
    ControlData* ca = kernel.ApplyControl(ea->GetId(), 0);
    kernel.BringControlToTop(ca->id);
    kernel.PopMessage();
    ASSERT_EQ(kernel.GetCanvas().GetTopItem(), ea->GetItemId());
    // Another layer's entity leaves the top item alone, even with the same item number.
    Entity* other = nullptr;
    for (int i = 0; i < 8 && !other; ++i) {
        Entity* e = Attached(kernel, ENT_PLAIN, 2);
        if (e->GetItemId() == ea->GetItemId()) other = e;
    }
    ASSERT_NE(other, nullptr);
    kernel.DestroyEntityTree(other->GetId());
    EXPECT_EQ(kernel.GetCanvas().GetTopItem(), ea->GetItemId());
    kernel.DestroyEntityTree(ea->GetId());
    EXPECT_EQ(kernel.GetCanvas().GetTopItem(), 0u);
    EXPECT_EQ(kernel.GetTopItemControl(), 0u);
}

// A child is not hung under a parent that does not exist.
TEST_F(Kernel, AChildNeedsAnExistingParent) {
    ControlData* parent = kernel.CreateControl();
    ControlData* child = kernel.CreateControl();
    EXPECT_EQ(kernel.AddChildControl(parent->id + 100, child->id), 0u);
    EXPECT_EQ(child->parentId, 0u);
    EXPECT_EQ(kernel.AddChildControl(parent->id, child->id), 999999u);
    EXPECT_EQ(child->parentId, parent->id);
}

// DeleteControl and DestroyEntityTree of a 16 | 128 binding meet once each.
TEST_F(Kernel, DeleteControlOfA144BindingDestroysEverythingOnce) {
    for (int viaEntity = 0; viaEntity < 2; ++viaEntity) {
        int destroyed = 0;
        Entity* e = Attached(kernel);
        Entity* owned = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
        Entity* grand = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
        Entity* loose = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
        e->AddChild(owned, LINK_OWNED);
        owned->AddChild(grand, LINK_OWNED);
        e->AddChild(loose, LINK_MOVE);
        ControlData* c = kernel.ApplyControl(e->GetId(), 16 | 128);
        c->owner = kernel.RegisterObject(std::make_unique<Recorder>(1, &destroyed));
        const size_t entities = kernel.GetEntityCount();
        const uint32_t cid = c->id, eid = e->GetId(), looseId = loose->GetId();
        if (viaEntity)
            kernel.DestroyEntityTree(eid);
        else
            EXPECT_EQ(kernel.DeleteControl(cid), 1);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(kernel.FindControl(cid), nullptr);
        EXPECT_EQ(kernel.FindEntity(eid), nullptr);
        EXPECT_EQ(kernel.GetEntityCount(), entities - 3);
        EXPECT_EQ(kernel.GetObjectCount(), 0u);
        EXPECT_EQ(kernel.FindEntity(looseId)->GetParent(), nullptr);
    }
}

TEST_F(Kernel, AnOwnerHookThatDestroysTheEntityBeingDestroyed) {
    // The unregistered owner tears down its own entity tree from its hook, while the kernel
    // is already destroying it (directly, and as an owned child): each goes once.
    struct SelfCloser : ObjectBase {
        void OnUnregister() override { kernel->DestroyEntityTree(entityId); }
        GameKernel* kernel = nullptr;
        uint32_t entityId = 0;
    };
    for (int asChild = 0; asChild < 2; ++asChild) {
        Entity* parent = Attached(kernel);
        Entity* e = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
        Entity* child = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
        parent->AddChild(e, LINK_OWNED);
        e->AddChild(child, LINK_OWNED);
        ControlData* c = kernel.ApplyControl(e->GetId(), 128);
        auto* hook =
            static_cast<SelfCloser*>(kernel.RegisterObject(std::make_unique<SelfCloser>()));
        hook->kernel = &kernel;
        hook->entityId = asChild ? parent->GetId() : e->GetId();
        c->owner = hook;
        const uint32_t ids[] = {parent->GetId(), e->GetId(), child->GetId()};
        kernel.DestroyEntityTree(asChild ? e->GetId() : parent->GetId());
        for (uint32_t id : ids) EXPECT_EQ(kernel.FindEntity(id), nullptr) << asChild;
        EXPECT_EQ(kernel.GetObjectCount(), 0u);
    }
}

TEST_F(Kernel, ClearAllOverNested144Controls) {
    int destroyed = 0;
    Entity* outer = Attached(kernel);
    Entity* inner = kernel.CreateEntity(ENT_PLAIN, 0, 0, 1, 1, 0, 1, true, 1);
    inner->AttachToCanvas(&kernel.GetCanvas(), 1);
    outer->AddChild(inner, LINK_OWNED);
    for (Entity* e : {outer, inner}) {
        ControlData* c = kernel.ApplyControl(e->GetId(), 144);
        c->owner = kernel.RegisterObject(std::make_unique<Recorder>(1, &destroyed));
    }
    kernel.ClearAll();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(kernel.GetEntityCount(), 0u);
    EXPECT_EQ(kernel.GetControlCount(), 0u);
    EXPECT_EQ(kernel.GetCanvas().Layer(1).ItemCount(), 0u);
}

// ---- messages and owned blocks ---------------------------------------------------------------

TEST_F(Kernel, NumbersAreNeverFreedOwnedBlocksExactlyOnce) {
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    ControlData* c = kernel.CreateControl();
    c->owner = owner;
    // A number answered with 1 is left alone (an ASan abort if it were freed).
    EXPECT_EQ(kernel.PostControlMessage(c->id, 5, MessageData::Number(0x1234), 0), 1);
    EXPECT_EQ(owner->words.back(), 0x1234u);
    EXPECT_EQ(g_freed, 0);
    // Direct delivery, answered 1: freed once.
    kernel.PostControlMessage(c->id, 5, OwnedBlock(), 0);
    EXPECT_EQ(g_freed, 1);
    // Code 0 is no message: not handled, not queued, its block let go.
    EXPECT_EQ(kernel.DeliverMessage(EngineMessage{0, OwnedBlock(), c->id}, 0), 0);
    EXPECT_EQ(owner->codes.size(), 2u);
    EXPECT_EQ(kernel.GetMessageCount(), 0u);
    EXPECT_EQ(g_freed, 2);
    g_freed = 1;  // the counts below leave this block out
    // A deleted target: freed once, not leaked.
    EXPECT_EQ(kernel.PostControlMessage(999, 5, OwnedBlock(), 0), 0);
    EXPECT_EQ(g_freed, 2);
    // A handler that keeps the block takes it.
    struct Keeper : ObjectBase {
        uint32_t HandleMessage(EngineMessage& m) override {
            kept = m.data.Take();
            return 0;
        }
        void* kept = nullptr;
    } keeper;
    c->owner = &keeper;
    kernel.PostControlMessage(c->id, 5, OwnedBlock(), 0);
    EXPECT_EQ(g_freed, 2);
    CountingFree(keeper.kept);
    // Queued: freed once when the popped message is let go.
    kernel.PostMessage(9, OwnedBlock());
    { EngineMessage m = kernel.PopMessage(); }
    EXPECT_EQ(g_freed, 4);
    c->owner = owner;
}

// A block's length as its maker gave it reaches the handler by every road a message takes:
// straight to a control, through the queue and at an Apply's completion.
TEST_F(Kernel, AnOwnedBlockKeepsTheLengthItsMakerGave) {
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    ControlData* c = kernel.CreateControl();
    c->owner = owner;
    kernel.PostControlMessage(c->id, 5, MessageData::Owned(std::malloc(16), CountingFree, 12), 0);
    kernel.PostMessage(9, MessageData::Owned(std::malloc(16), CountingFree, 7));
    EngineMessage queued = kernel.PopMessage();
    EXPECT_EQ(queued.data.bytes(), 7u);
    Entity* e = Attached(kernel);
    kernel.PostApply(e->GetId(),
                     [&] {
                         Apply a = MakeApplyTimer(0, 40, MessageData::Owned(std::malloc(16),
                                                                            CountingFree, 3),
                                                  c->id);
                         a.callback = ApplyInstant;
                         a.level = 2;
                         return a;
                     }());
    clock.advance(1);
    kernel.RunDueApplies();
    EXPECT_EQ(owner->lengths, (std::vector<size_t>{12, 3}));
}

Apply Timer(uint32_t interval, uint32_t code, MessageData data, uint32_t target) {
    Apply a = MakeApplyTimer(interval, code, std::move(data), target);
    a.callback = ApplyInstant;
    a.level = 2;
    return a;
}

TEST_F(Kernel, OwnedBlocksThroughApplyCompletionAndCancelModes) {
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    ControlData* c = kernel.CreateControl();
    c->owner = owner;
    Entity* e = Attached(kernel);
    // Completion: delivered, answered 1, freed once.
    kernel.PostApply(e->GetId(), Timer(0, 40, OwnedBlock(), c->id));
    Step(1);
    EXPECT_EQ(g_freed, 1);
    EXPECT_EQ(owner->codes.back(), 40u);
    // Cancel modes 0, 1 and 2: each block freed once; mode 0 still delivers.
    for (uint32_t mode : {0u, 1u, 2u}) {
        const size_t before = owner->codes.size();
        Apply wait = Timer(1000000, 41, OwnedBlock(), c->id);
        wait.callback = ApplyWait;
        wait.p[1] = 1000000;
        kernel.PostApply(e->GetId(), std::move(wait));
        Step(1);
        kernel.CancelAppliesOfEntity(e->GetId(), 7, mode);
        // A cancelled Apply has id 0, which names no Apply to pause or resume.
        EXPECT_EQ(kernel.ResumeApply(0), 0);
        EXPECT_EQ(kernel.PauseApply(0, 5), 0u);
        Step(1);
        EXPECT_EQ(g_freed, int(2 + mode)) << mode;
        EXPECT_EQ(owner->codes.size(), before + (mode == 0 ? 1 : 0)) << mode;
    }
    // The block of p17 and the data of an Apply whose target control is gone.
    Apply withBlock = Timer(0, 42, OwnedBlock(), 999);
    withBlock.block = OwnedBlock();
    kernel.PostApply(0, std::move(withBlock));
    Step(1);
    EXPECT_EQ(g_freed, 6);
    // ClearAll drops pending Applies and their blocks once.
    kernel.PostApply(0, Timer(0, 43, OwnedBlock(), c->id));
    kernel.ClearAll();
    EXPECT_EQ(g_freed, 7);
}

// ---- Applies ---------------------------------------------------------------------------------

using Applies = ClockFixture;

TEST_F(Applies, AChainWhoseSuccessorWasCancelledStillCompletes) {
    Entity* first = Attached(kernel);
    Entity* second = kernel.CreateEntity(ENT_PLAIN, 30, 30, 4, 4, 0.0, 1, true, 1.0);
    second->AttachToCanvas(&kernel.GetCanvas(), 1);
    const uint32_t ev = kernel.NewEventId();
    Apply head = Timer(0, 0, MessageData{}, 0);
    head.callback = ApplyWait;
    head.p[1] = 5;
    head.eventId = ev;
    Apply next = Timer(0, 0, MessageData{}, 0);
    next.eventId = ev;
    kernel.PostApply(first->GetId(), std::move(head));
    kernel.PostApply(second->GetId(), std::move(next));
    Step(1);
    EXPECT_EQ(kernel.GetActiveApplyCount(), 2u);
    kernel.CancelAppliesOfEntity(second->GetId(), 7, 2);
    Step(10);  // the head finishes; its successor is already cancelled and goes too
    EXPECT_EQ(kernel.GetActiveApplyCount(), 0u);
    EXPECT_EQ(kernel.FindActiveApply(ev), 0);
}

// Only a running Apply of the asked event counts; another event's running Apply does not.
TEST_F(Applies, FindActiveApplyAsksForOneEvent) {
    Entity* e = Attached(kernel);
    const uint32_t ev = kernel.NewEventId();
    const uint32_t other = kernel.NewEventId();
    Apply a = Timer(0, 0, MessageData{}, 0);
    a.callback = ApplyWait;
    a.p[1] = 50;
    a.eventId = ev;
    kernel.PostApply(e->GetId(), std::move(a));
    Step(1);
    EXPECT_EQ(kernel.FindActiveApply(ev), 1);
    EXPECT_EQ(kernel.FindActiveApply(other), 0);
    Step(60);
    EXPECT_EQ(kernel.FindActiveApply(ev), 0);
}

TEST_F(Applies, ChainsRunOneAfterAnother) {
    Entity* e = Attached(kernel);
    const uint32_t ev = kernel.NewEventId();
    std::vector<uint32_t> ids;
    for (int i = 0; i < 3; ++i) {
        Apply a = Timer(0, 0, MessageData{}, 0);
        a.eventId = ev;
        a.callback = ApplyWait;
        a.p[1] = 50;
        ids.push_back(kernel.PostCallbackApply(e->GetId(), std::move(a)));
    }
    Apply bad = Timer(0, 0, MessageData{}, 0);
    bad.eventId = ev + 1;
    EXPECT_EQ(kernel.PostCallbackApply(e->GetId(), std::move(bad)), 0u);
    EXPECT_EQ(kernel.PostApply(999, Timer(0, 0, MessageData{}, 0)), 0u);
    Step(0);
    EXPECT_EQ(kernel.GetActiveApplyCount(), 3u);
    uint32_t finishedAt[3] = {0, 0, 0};
    for (int t = 0; t < 40 && kernel.HasApplies(); ++t) {
        const size_t before = kernel.GetActiveApplyCount();
        Step(10);
        if (kernel.GetActiveApplyCount() < before) finishedAt[3 - before] = clock.tickMs();
    }
    EXPECT_FALSE(kernel.HasApplies());
    EXPECT_EQ(finishedAt[0], 1050u);
    EXPECT_EQ(finishedAt[1], 1100u);  // resumed at 1050 and first run in that same walk
    EXPECT_EQ(finishedAt[2], 1150u);
}

TEST_F(Applies, LevelsDueTimesAndCommands) {
    Entity* e = Attached(kernel);
    Apply high = Timer(100, 0, MessageData{}, 0);
    high.callback = ApplyNop;
    high.level = 3;
    kernel.PostApply(e->GetId(), std::move(high));
    Apply low = Timer(0, 0, MessageData{}, 0);
    low.callback = ApplyWait;
    low.p[1] = 100000;
    const uint32_t lowId = kernel.PostApply(e->GetId(), std::move(low));
    Step(99);
    EXPECT_EQ(kernel.GetActiveApplyCount(), 2u);  // interval 100 not yet passed
    Apply cancel;
    cancel.flags = CMD_CANCEL;
    cancel.successor = e->GetId();
    cancel.level = 2;
    kernel.PostCommand(std::move(cancel));
    Step(0);
    EXPECT_EQ(kernel.GetActiveApplyCount(), 1u);  // level 2 cancelled, level 3 waits
    EXPECT_EQ(kernel.PauseApply(lowId, 0), 0u);
    Step(1);
    EXPECT_EQ(kernel.GetActiveApplyCount(), 0u);
}

TEST_F(Applies, AnApplyWhoseEntityIsGoneCompletesWithoutItsCallback) {
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    ControlData* c = kernel.CreateControl();
    c->owner = owner;
    Entity* e = Attached(kernel);
    Apply move = Timer(0, 77, MessageData{}, c->id);
    move.callback = ApplyMove;
    move.set(4, 50);
    move.set(5, 50);
    move.set(7, 500);
    move.flags = APPLY_DESTROY_ENTITY;
    kernel.PostApply(e->GetId(), std::move(move));
    kernel.DestroyEntityTree(e->GetId());  // still pending: not cancelled by the destruction
    Step(1);
    EXPECT_EQ(owner->codes, (std::vector<uint32_t>{77}));
    EXPECT_EQ(kernel.GetActiveApplyCount(), 0u);
}

// The 32-bit wrap: an interval-30 Apply and a 200 ms wait stepped by 10 ms.
TEST_F(Applies, TimersKeepTheirPaceAcrossTheClockWrap) {
    clock.setTick(0xFFFFFF00u);
    GetEngineTimeMs();
    Entity* e = Attached(kernel);
    int calls = 0;
    static int* s_calls;
    s_calls = &calls;
    Apply ticker = Timer(30, 0, MessageData{}, 0);
    ticker.callback = [](Entity*, Apply&, GameKernel&, uint32_t) -> uint32_t {
        ++*s_calls;
        return 0;
    };
    kernel.PostApply(e->GetId(), std::move(ticker));
    Apply wait = Timer(0, 0, MessageData{}, 0);
    wait.callback = ApplyWait;
    wait.p[1] = 200;
    const uint32_t waitId = kernel.PostApply(e->GetId(), std::move(wait));
    (void)waitId;
    uint32_t waitDone = 0;
    for (int i = 1; i <= 60; ++i) {
        const size_t before = kernel.GetActiveApplyCount();
        Step(10);
        if (i > 1 && kernel.GetActiveApplyCount() < before) waitDone = clock.tickMs();
    }
    // 600 ms stepped from 0xFFFFFF00 + 10: calls at +30, +60, ..., +600.
    EXPECT_EQ(calls, 20);
    // First run at 0xFFFFFF0A, done 200 ms later: past the wrap.
    EXPECT_EQ(waitDone, 0xFFFFFF0Au + 200u);
    uint32_t p[4] = {0xFFFFFFF0u, 0, 0, 30};
    EXPECT_EQ(IsApplyDue(p, 0xFFFFFFF0u + 29u), 0);
    EXPECT_EQ(IsApplyDue(p, 0xFFFFFFF0u + 30u), 1);
    EXPECT_EQ(p[0], 14u);
}

// ---- built-in callbacks ----------------------------------------------------------------------

using Callbacks = ClockFixture;

TEST_F(Callbacks, MoveFadeResizeShowHide) {
    Entity* e = Attached(kernel);
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    a.set(4, 10);
    a.set(5, 13);
    a.set(7, 99);  // step 0
    EXPECT_EQ(ApplyMove(e, a, kernel, 0), 0u);
    EXPECT_EQ(e->GetY(), 10);
    a.set(7, 200);
    EXPECT_EQ(ApplyMove(e, a, kernel, 0), 0u);
    EXPECT_EQ(e->GetY(), 12);
    EXPECT_EQ(ApplyMove(e, a, kernel, 0), 0u);
    EXPECT_EQ(e->GetY(), 13);                   // placed on the target ...
    EXPECT_EQ(ApplyMove(e, a, kernel, 0), 1u);  // ... and finished on the next run
    a.set(4, 16);
    a.set(5, 21);
    a.set(7, 500);
    a.set(9, 100);
    a.set(8, 550);
    EXPECT_EQ(ApplyMove(e, a, kernel, 0), 0u);
    EXPECT_EQ(e->GetX(), 13);  // d = 10, step 5: (3, 4)
    EXPECT_EQ(e->GetY(), 17);
    EXPECT_EQ(a.s(7), 550);  // 600 limited to 550

    Apply f = MakeApplyTimer(0, 0, MessageData{}, 0);
    f.set(7, 0);
    f.set(8, 50);
    EXPECT_EQ(ApplyFade(e, f, kernel, 0), 1u);
    EXPECT_EQ(e->GetAlpha(), 1.0);
    f.set(7, -30);
    EXPECT_EQ(ApplyFade(e, f, kernel, 0), 0u);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.7);
    EXPECT_EQ(ApplyFade(e, f, kernel, 0), 0u);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.5);  // passed the target: exactly the target
    EXPECT_EQ(ApplyFade(e, f, kernel, 0), 1u);
    f.set(8, 80);  // started beyond its target
    EXPECT_EQ(ApplyFade(e, f, kernel, 0), 1u);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.8);

    Apply r = MakeApplyTimer(0, 0, MessageData{}, 0);
    r.set(7, 9);
    r.set(8, 1);
    r.set(9, 3);
    r.set(10, -2);
    EXPECT_EQ(ApplyResize(e, r, kernel, 0), 0u);
    EXPECT_EQ(e->GetWidth(), 7);
    EXPECT_EQ(e->GetHeight(), 2);
    ApplyResize(e, r, kernel, 0);
    EXPECT_EQ(e->GetWidth(), 9);
    EXPECT_EQ(e->GetHeight(), 1);
    EXPECT_EQ(ApplyResize(e, r, kernel, 0), 1u);

    Apply sh = MakeApplyTimer(0, 0, MessageData{}, 0);
    EXPECT_EQ(ApplyShowHide(e, sh, kernel, 0), 1u);
    EXPECT_FALSE(e->IsVisible());
}

TEST_F(Callbacks, WaitAndRepeatedMessages) {
    Apply w = MakeApplyTimer(0, 0, MessageData{}, 0);
    w.p[1] = 0;
    EXPECT_EQ(ApplyWait(nullptr, w, kernel, 500), 1u);
    auto* owner = static_cast<Recorder*>(kernel.RegisterObject(std::make_unique<Recorder>(1)));
    ControlData* c = kernel.CreateControl();
    c->owner = owner;
    Apply d = MakeApplyTimer(0, 12, OwnedBlock(), c->id);
    d.p[1] = 2;
    EXPECT_EQ(ApplyDeliverMessage(nullptr, d, kernel, 0), 0u);
    EXPECT_EQ(ApplyDeliverMessage(nullptr, d, kernel, 0), 0u);
    EXPECT_EQ(d.p[19], 0u);
    EXPECT_EQ(ApplyDeliverMessage(nullptr, d, kernel, 0), 1u);
    EXPECT_EQ(owner->codes.size(), 2u);
    EXPECT_EQ(g_freed, 0);  // each delivery only showed the block
    d.messageData.Free();
    EXPECT_EQ(g_freed, 1);
}

TEST_F(Callbacks, PlayFramesModesIncludingZeroDelays) {
    test::PictureTable pics;
    pics.Add(1, test::SolidPicture(2, 2, {1, 2, 3}, {0, 0, 0}));
    pics.Add(2, test::SolidPicture(2, 2, {1, 2, 3}, {10, 20, 30}));
    auto* img =
        static_cast<ImageEntity*>(kernel.CreateEntity(ENT_IMAGE, 5, 5, 2, 2, 0, 1, true, 1));
    img->SetImage(1, 0, 0, 2, 2, kNoColour);
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    a.p[7] = 0;
    a.set(8, -1);
    EXPECT_EQ(ApplyPlayFrames(img, a, kernel, 100), 0u);
    EXPECT_EQ(ApplyPlayFrames(img, a, kernel, 150), 0u);  // zero delays: no division
    EXPECT_EQ(a.p[3], kernel.GetFrameInterval());
    // Zero delays with a loop count: the last frame shows and the loops run out.
    Apply counted = MakeApplyTimer(0, 0, MessageData{}, 0);
    counted.p[7] = 0;
    counted.set(8, 2);
    EXPECT_EQ(ApplyPlayFrames(img, counted, kernel, 200), 0u);
    EXPECT_EQ(img->GetFrame(), 2u);
    EXPECT_EQ(ApplyPlayFrames(img, counted, kernel, 240), 1u);
    Apply m2 = MakeApplyTimer(0, 0, MessageData{}, 0);
    m2.p[7] = 2;
    m2.set(8, 40);
    EXPECT_EQ(ApplyPlayFrames(img, m2, kernel, 100), 0u);
    EXPECT_EQ(ApplyPlayFrames(img, m2, kernel, 141), 1u);
    Apply zero = MakeApplyTimer(0, 0, MessageData{}, 0);
    zero.p[7] = 2;
    zero.set(8, 0);  // a limit of 0: over after the first millisecond
    EXPECT_EQ(ApplyPlayFrames(img, zero, kernel, 100), 0u);
    EXPECT_EQ(ApplyPlayFrames(img, zero, kernel, 101), 1u);
    img->SetImage(2, 0, 0, 2, 2, kNoColour);
    // Mode 0 counts the loops by the last frame: one loop, then finished there.
    Apply loops = MakeApplyTimer(0, 0, MessageData{}, 0);
    loops.p[7] = 0;
    loops.set(8, 1);
    EXPECT_EQ(ApplyPlayFrames(img, loops, kernel, 1000), 0u);
    EXPECT_EQ(ApplyPlayFrames(img, loops, kernel, 1035), 0u);
    EXPECT_EQ(img->GetFrame(), 2u);
    EXPECT_EQ(ApplyPlayFrames(img, loops, kernel, 1040), 1u);
    Apply m3 = MakeApplyTimer(0, 0, MessageData{}, 0);
    m3.p[7] = 3;
    m3.p[8] = 0x10002;
    EXPECT_EQ(ApplyPlayFrames(img, m3, kernel, 0), 1u);
    EXPECT_EQ(img->GetFrame(), 2u);
    Apply m1 = MakeApplyTimer(0, 0, MessageData{}, 0);
    m1.p[7] = 1;
    m1.set(8, 2);
    EXPECT_EQ(ApplyPlayFrames(img, m1, kernel, 0), 0u);
    EXPECT_EQ(img->GetFrame(), 0u);
    EXPECT_EQ(m1.p[3], 10u);
    EXPECT_EQ(ApplyPlayFrames(img, m1, kernel, 0), 1u);
}

TEST_F(Callbacks, ParticlesRunUntilNothingIsLeft) {
    test::PictureTable pics;
    pics.Add(1, test::SolidPicture(2, 2, {0xFFFFFFFF}));
    auto* p = static_cast<ParticleEntity*>(
        kernel.CreateEntity(ENT_PARTICLES, 50, 50, 2, 2, 0, 1, true, 1));
    ASSERT_EQ(p->Create(1, 0, 0, 2, 2), 999999u);
    p->SetCallbacks(
        [](const ParticleParams*) {
            Particle q;
            q.life = 1;
            return q;
        },
        [](Particle& q, const ParticleParams*) { return --q.life > 0; });
    p->SetEmission(1, 10, nullptr);
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    EXPECT_EQ(ApplyParticles(p, a, kernel, 1000), 0u);  // not running: waits
    p->Start(true);
    p->State()->lastEmission = 1000;
    EXPECT_EQ(ApplyParticles(p, a, kernel, 1005), 0u);  // one still to emit
    EXPECT_EQ(p->State()->finishing, 0u);
    EXPECT_EQ(ApplyParticles(p, a, kernel, 1011), 0u);  // emitted and retired
    EXPECT_EQ(p->State()->finishing, 1u);
    EXPECT_EQ(ApplyParticles(p, a, kernel, 1012), 1u);
    EXPECT_EQ(p->State()->running, 0u);
    EXPECT_EQ(ApplyParticles(nullptr, a, kernel, 0), 1u);
}

// New callbacks empty the particle list and its live count with it: a particle Apply that
// was waiting for the emitted particles to die finishes once nothing is left to emit.
TEST_F(Callbacks, NewParticleCallbacksTakeTheLiveCountWithTheList) {
    test::PictureTable pics;
    pics.Add(1, test::SolidPicture(2, 2, {0xFFFFFFFF}));
    auto* p = static_cast<ParticleEntity*>(
        kernel.CreateEntity(ENT_PARTICLES, 50, 50, 2, 2, 0, 1, true, 1));
    ASSERT_EQ(p->Create(1, 0, 0, 2, 2), 999999u);
    p->SetEmission(2, 10, nullptr);
    p->Start(true);
    p->State()->lastEmission = 1000;
    p->Tick(1025);  // two emitted; the default particles live 100 steps
    ASSERT_EQ(p->State()->live, 2u);
    p->SetCallbacks(ParticleEntity::DefaultNew, ParticleEntity::DefaultStep);
    EXPECT_EQ(p->State()->live, 0u);
    EXPECT_TRUE(p->State()->particles.empty());
    p->Start(true);
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    EXPECT_EQ(ApplyParticles(p, a, kernel, 2000), 0u);
    EXPECT_EQ(p->State()->finishing, 1u);
    EXPECT_EQ(ApplyParticles(p, a, kernel, 2010), 1u);
}

// Mode 0 with a time limit goes on while the time since its first run is the limit or less,
// and shows the last frame and finishes once it is past it.
TEST_F(Callbacks, PlayFramesStopsOnlyPastItsTimeLimit) {
    test::PictureTable pics;
    pics.Add(1, test::SolidPicture(2, 2, {1, 2, 3}, {10, 20, 30}));
    auto* img =
        static_cast<ImageEntity*>(kernel.CreateEntity(ENT_IMAGE, 5, 5, 2, 2, 0, 1, true, 1));
    img->SetImage(1, 0, 0, 2, 2, kNoColour);
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    a.p[7] = 0;
    a.set(8, -1);
    a.p[1] = 70;
    EXPECT_EQ(ApplyPlayFrames(img, a, kernel, 1000), 0u);
    EXPECT_EQ(ApplyPlayFrames(img, a, kernel, 1070), 0u);
    EXPECT_EQ(img->GetFrame(), 1u);  // by time: 70 mod 60 = 10, frame 1
    EXPECT_EQ(ApplyPlayFrames(img, a, kernel, 1071), 1u);
    EXPECT_EQ(img->GetFrame(), 2u);  // the last frame, not frame 1 of 71 mod 60
}

// A particle Apply on an entity that is no emitter, or on an emitter never made, finishes
// on its first run instead of holding its chain for ever.
TEST_F(Callbacks, AParticleApplyWithoutAnEmitterFinishesAtOnce) {
    Entity* plain = Attached(kernel);
    auto* unmade = static_cast<ParticleEntity*>(
        kernel.CreateEntity(ENT_PARTICLES, 50, 50, 2, 2, 0, 1, true, 1));
    Apply a = MakeApplyTimer(0, 0, MessageData{}, 0);
    EXPECT_EQ(ApplyParticles(plain, a, kernel, 10), 1u);
    EXPECT_EQ(ApplyParticles(unmade, a, kernel, 10), 1u);
}

TEST_F(Kernel, UserBlocksAreFreedOnlyWhenOwned) {
    ControlData* c = kernel.CreateControl();
    void* mine = std::malloc(4);
    c->userBlock = MessageData::Owned(mine, CountingFree);
    c->Reset();
    EXPECT_EQ(g_freed, 0);  // not the record's: left with whoever made it
    CountingFree(mine);
    c->flags = CTRL_OWNS_USER_BLOCK;
    c->userBlock = OwnedBlock();
    c->Reset();
    EXPECT_EQ(g_freed, 2);
}

// When the next Apply has work: by its interval from its last run, across the clock's wrap;
// a pending or cancelled one at once, a paused one never.
TEST_F(ClockFixture, TheNextApplyDueAndTheNextFrameDue) {
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), GameKernel::kNothingDue);
    clock.setTick(0xFFFFFFFFu - 20);  // the wrap falls inside the intervals below
    GetEngineTimeMs();
    Entity* e = Attached(kernel);
    Apply slow = MakeApplyTimer(300, 0, MessageData(), 0);
    const ApplyCallback never = [](Entity*, Apply&, GameKernel&, uint32_t) -> uint32_t {
        return 0;
    };
    slow.callback = never;
    const uint32_t slowId = kernel.PostApply(e->GetId(), std::move(slow));
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 0u);  // pending: taken now
    kernel.RunDueApplies();
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 300u);
    clock.advance(120);
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 180u);
    Apply fast = MakeApplyTimer(100, 0, MessageData(), 0);
    fast.callback = never;
    const uint32_t fastId = kernel.PostApply(e->GetId(), std::move(fast));
    kernel.RunDueApplies();
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 100u);  // the sooner one counts
    kernel.PauseApply(fastId, 0);
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 180u);
    clock.advance(180);
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 0u);  // due exactly now
    kernel.PauseApply(slowId, 0);
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), GameKernel::kNothingDue);
    kernel.CancelAppliesOfEntity(e->GetId(), ~0u, 0);
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), 0u);  // to be let go
    kernel.RunDueApplies();
    EXPECT_EQ(kernel.MsUntilApplyDue(GetEngineTimeMs()), GameKernel::kNothingDue);
    // Frames: the interval from the last frame, 0 once it has passed.
    kernel.SetFrameInterval(30);
    ASSERT_TRUE(kernel.IsFrameDue());
    EXPECT_EQ(kernel.MsUntilFrameDue(GetEngineTimeMs()), 30u);
    clock.advance(29);
    EXPECT_EQ(kernel.MsUntilFrameDue(GetEngineTimeMs()), 1u);
    clock.advance(1);
    EXPECT_EQ(kernel.MsUntilFrameDue(GetEngineTimeMs()), 0u);
}

}  // namespace
}  // namespace hqlv::engine
