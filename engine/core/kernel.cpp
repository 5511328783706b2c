#include "engine/core/kernel.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/clock.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"

namespace hqlv::engine {
namespace {
constexpr uint32_t kIdWarning = 2000000000u;
}

Apply MakeApplyTimer(uint32_t interval, uint32_t code, MessageData data, uint32_t target) {
    Apply a;
    const uint32_t now = GetCachedTimeMs();
    a.p[0] = now;
    a.p[2] = now;
    a.p[3] = interval;
    a.set(4, -100);
    a.set(5, -100);
    a.p[19] = code;
    a.messageData = std::move(data);
    a.p[21] = target;
    return a;
}

GameKernel::GameKernel() : canvas_(std::make_unique<Canvas>()) {
    std::remove("GameLog.ini");
}

GameKernel::~GameKernel() {
    ClearAll();
    objects_.clear();
}

// ---- entities -------------------------------------------------------------------------------

Entity* GameKernel::CreateEntity(uint32_t type, int x, int y, int width, int height,
                                 double rotation, int z, bool visible, double alpha) {
    std::unique_ptr<Entity> e = MakeEntityOfType(type);
    if (!e) return nullptr;
    e->Init(x, y, width, height, rotation, z, visible, alpha);
    const uint32_t id = ++entityCounter_;
    e->SetId(id);
    Entity* raw = e.get();
    entities_[id] = std::move(e);
    return raw;
}

Entity* GameKernel::FindEntity(uint32_t id) const {
    auto it = entities_.find(id);
    return it == entities_.end() ? nullptr : it->second.get();
}

void GameKernel::DestroyEntityTree(uint32_t id) {
    CancelAppliesOfEntity(id, 7, 0);
    Entity* e = FindEntity(id);
    if (!e) return;
    if (e->GetLayer() == 4) canvas_->RemoveTopItem(e->GetItemId());
    DestroyEntity(e);
}

void GameKernel::DestroyEntity(Entity* e) {
    const uint32_t id = e->GetId();
    while (e->GetChildCount() > 0) {
        const ChildLink link = e->Children()[0];
        if ((link.flags & LINK_OWNED) && FindEntity(link.childId) == link.child) {
            DestroyEntityTree(link.childId);
            // An unregistered owner's hook may have taken this entity with it.
            if (!FindEntity(id)) return;  // ids are never reused
        }
        // The destroyed child unlinked itself; any link still first is only removed, so the
        // loop always advances.
        if (e->GetChildCount() > 0 && e->Children()[0].child == link.child)
            e->RemoveChild(link.childId);
    }
    // Cut the binding both ways before deleting the control, whose own deletion could
    // otherwise come back here.
    const uint32_t controlId = e->GetControlId();
    e->SetControlId(0);
    if (ControlData* c = FindControl(controlId); c && c->entityId == id) {
        c->entityId = 0;
        if (c->flags & CTRL_DELETE_WITH_ENTITY) {
            DeleteControl(controlId);
            if (!FindEntity(id)) return;  // ids are never reused
        }
    }
    e->SetHitMode(0);
    auto it = entities_.find(id);
    if (it == entities_.end()) return;
    std::unique_ptr<Entity> owned = std::move(it->second);
    entities_.erase(it);
    owned->Release();
}

uint32_t GameKernel::AddChildEntity(uint32_t parentId, uint32_t childId, uint32_t flags) {
    Entity* parent = FindEntity(parentId);
    if (!parent) {
        WriteLogText("添加子实体错误，父体不存在");
        return 0;
    }
    Entity* child = FindEntity(childId);
    if (!child) {
        WriteLogText("添加子实体错误，子体不存在");
        return 0;
    }
    return parent->AddChild(child, flags);
}

uint32_t GameKernel::LinkChildEntity(Entity* parent, Entity* child, uint32_t flags) {
    return parent ? parent->AddChild(child, flags) : 0;
}

void GameKernel::RemoveChildEntity(uint32_t parentId, uint32_t childId) {
    Entity* parent = FindEntity(parentId);
    if (!parent) {
        WriteLogText("去除子实体错误，父体不存在");
        return;
    }
    parent->RemoveChild(childId);
}

// ---- controls -------------------------------------------------------------------------------

ControlData* GameKernel::CreateControl() {
    auto c = std::make_unique<ControlData>();
    c->id = ++controlCounter_;
    c->kernel = this;
    ControlData* raw = c.get();
    controls_[raw->id] = std::move(c);
    return raw;
}

ControlData* GameKernel::FindControl(uint32_t id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.get();
}

static void ForceRelease(GameKernel& k, Entity& e) {
    if (ControlData* older = k.FindControl(e.GetControlId())) {
        WriteLogText("控件申请冲突，申请绑定实体已被其他控件绑定!");
        WriteLogText("强制解除原有绑定，可能造成逻辑错误，care!");
        older->entityId = 0;
    }
}

int GameKernel::BindControl(ControlData* control, Entity* entity, uint32_t flags) {
    if (!control) {
        WriteLogText("控件绑定失败，控件不存在");
        return 0;
    }
    if (!entity) {
        WriteLogText("控件绑定失败，指定实体不能为空");
        return 0;
    }
    // Only another control is released. The conflict step comes after the control has taken
    // the entity, so for a control that binds its own entity again it would clear the binding
    // just made: the entity would name a control that no longer names it, and the callbacks
    // and deletions that go from the control to its entity would miss it.
    if (entity->GetControlId() != control->id) ForceRelease(*this, *entity);
    control->entityId = entity->GetId();
    entity->SetControlId(control->id);
    if (entity->GetHitMode() == 0 && control->HasAnyEvent()) entity->SetHitMode(1);
    control->flags = flags;
    return 1;
}

ControlData* GameKernel::ApplyControl(uint32_t entityId, uint32_t flags) {
    Entity* e = FindEntity(entityId);
    if (!e) {
        WriteLogText("控件申请失败，未能获取指定实体");
        return nullptr;
    }
    ForceRelease(*this, *e);
    ControlData* c = CreateControl();
    c->flags = flags;
    c->entityId = entityId;
    e->SetControlId(c->id);
    if (e->GetHitMode() == 0 && c->HasAnyEvent()) e->SetHitMode(1);
    return c;
}

void GameKernel::UnbindEntity(ControlData& c) {
    if (Entity* e = FindEntity(c.entityId); e && e->GetControlId() == c.id) {
        e->SetControlId(0);
        e->SetHitMode(0);
    }
    c.entityId = 0;
}

int GameKernel::ReleaseControl(uint32_t id) {
    ControlData* c = FindControl(id);
    if (!c) {
        WriteLogText("控件解除失败，控件不存在");
        return 0;
    }
    return ReleaseControlRecord(c);
}

int GameKernel::ReleaseControlRecord(ControlData* c) {
    if (!c) return 0;
    if (c->entityId != 0) {
        Entity* e = FindEntity(c->entityId);
        if (!e) {
            WriteLogText("控件解除失败，未能获取指定实体");
            return 0;
        }
        if (e->GetControlId() == c->id) e->SetControlId(0);
        e->SetHitMode(0);
    }
    c->entityId = 0;
    c->flags = 0;
    return 1;
}

int GameKernel::DeleteControl(uint32_t id) {
    ControlData* c = FindControl(id);
    if (!c) {
        WriteLogText("控件删除错误：目标控件不存在");
        return 0;
    }
    const uint32_t entityId = c->entityId;
    Entity* e = FindEntity(entityId);
    if ((c->flags & CTRL_DESTROY_ENTITY) && e && e->GetControlId() == id) {
        // Cut the binding first: the entity's destruction must not come back to delete this
        // control again.
        e->SetControlId(0);
        c->entityId = 0;
        DestroyEntityTree(entityId);
    }
    if (ControlData* again = FindControl(id)) {
        UnbindEntity(*again);
        if (ObjectBase* owner = std::exchange(again->owner, nullptr)) UnregisterObject(owner);
    }
    controls_.erase(id);
    return 1;
}

uint32_t GameKernel::AddChildControl(uint32_t parentId, uint32_t childId) {
    return AddChildControlRecord(FindControl(parentId), FindControl(childId));
}

uint32_t GameKernel::AddChildControlRecord(ControlData* parent, ControlData* child) {
    if (!parent) {
        WriteLogText("控件添加错误：父控件不存在");
        return 0;
    }
    if (!child) {
        WriteLogText("控件添加错误：子控件不存在");
        return 0;
    }
    child->parentId = parent->id;
    return 999999;
}

uint32_t GameKernel::GetTopItemControl() const {
    const Entity* e = FindEntity(canvas_->GetTopItem());
    return e ? e->GetControlId() : 0;
}

void GameKernel::BringControlToTop(uint32_t id) {
    ControlData* c = FindControl(id);
    Entity* e = c ? FindEntity(c->entityId) : nullptr;
    if (!e || e->GetLayer() != 4) return;
    const uint32_t previous = GetTopItemControl();
    if (previous) {
        const uint32_t entityId = e->GetId();
        PostControlMessage(previous, 16, MessageData{}, 0);
        // The handler may have destroyed the entity or its control: look them up again.
        c = FindControl(id);
        e = c ? FindEntity(c->entityId) : nullptr;
        if (!e || e->GetId() != entityId || e->GetLayer() != 4) return;
    } else {
        PostMessage(16, MessageData{});
    }
    canvas_->SetTopItem(e->GetItemId());
    PostControlMessage(id, 15, MessageData{}, 0);
}

void GameKernel::RemoveControlFromTop(uint32_t id) {
    ControlData* c = FindControl(id);
    Entity* e = c ? FindEntity(c->entityId) : nullptr;
    if (!e || e->GetLayer() != 4) return;
    canvas_->RemoveTopItem(e->GetItemId());
    PostControlMessage(id, 16, MessageData{}, 0);
    if (const uint32_t top = GetTopItemControl()) PostControlMessage(top, 15, MessageData{}, 0);
}

// ---- messages -------------------------------------------------------------------------------

int GameKernel::PostMessage(uint32_t code, MessageData data) {
    if (code == 0) return 0;
    queue_.push_back(EngineMessage{code, std::move(data), 0});
    return 1;
}

int GameKernel::PostControlMessage(uint32_t target, uint32_t code, MessageData data, int mode) {
    if (code == 0) return 0;
    if (target && mode == 0) return DeliverMessage(EngineMessage{code, std::move(data), target}, 0);
    queue_.push_back(EngineMessage{code, std::move(data), target});
    return 1;
}

int GameKernel::DeliverMessage(EngineMessage m, int mode) {
    if (m.code == 0) return 0;
    if (m.target == 0 || mode == 1) {
        queue_.push_back(std::move(m));
        return 1;
    }
    ControlData* c = FindControl(m.target);
    // An undeliverable owned block is freed as the message goes out of scope.
    if (!c) return 0;
    const uint32_t handled = c->owner ? c->owner->HandleMessage(m) : 0;
    if (handled) m.data.Free();
    return 1;
}

EngineMessage GameKernel::PopMessage() {
    if (queue_.empty()) return EngineMessage{};
    EngineMessage m = std::move(queue_.front());
    queue_.pop_front();
    return m;
}

// ---- objects --------------------------------------------------------------------------------

ObjectBase* GameKernel::RegisterObject(std::unique_ptr<ObjectBase> object) {
    ObjectBase* raw = object.get();
    if (raw) objects_.push_back(std::move(object));
    return raw;
}

void GameKernel::UnregisterObject(ObjectBase* object) {
    if (!object) return;
    auto it = std::find_if(objects_.begin(), objects_.end(),
                           [&](const auto& o) { return o.get() == object; });
    if (it == objects_.end()) {
        delete object;
        return;
    }
    std::unique_ptr<ObjectBase> owned = std::move(*it);
    objects_.erase(it);
    owned->OnUnregister();
}

// ---- frame ----------------------------------------------------------------------------------

uint32_t GameKernel::Now() {
    return GetEngineTimeMs();
}

bool GameKernel::IsFrameDue() {
    const uint32_t now = Now();
    now_ = now;
    if (now - lastFrame_ < frameInterval_) return false;
    lastFrame_ = now;
    return true;
}

uint32_t GameKernel::MsUntilFrameDue(uint32_t now) const {
    const uint32_t since = now - lastFrame_;
    return since >= frameInterval_ ? 0 : frameInterval_ - since;
}

uint32_t GameKernel::MsUntilApplyDue(uint32_t now) const {
    if (!pending_.empty()) return 0;
    uint32_t soonest = kNothingDue;
    for (const auto& a : active_) {
        if (a->done) continue;
        if (a->id == 0) return 0;
        if (a->paused) continue;
        // The same unsigned difference as the run: correct across the 32-bit wrap.
        const uint32_t since = now - a->p[0];
        if (since >= a->p[3]) return 0;
        soonest = std::min(soonest, a->p[3] - since);
    }
    return soonest;
}

int GameKernel::Render(DrawSurface& target) {
    return canvas_->Render(Now(), target);
}

void GameKernel::ClearAll() {
    CancelAllApplies();
    std::vector<uint32_t> ids;
    for (const auto& [id, c] : controls_) ids.push_back(id);
    for (uint32_t id : ids) {
        if (FindControl(id)) DeleteControl(id);
    }
    while (!entities_.empty()) {
        std::unique_ptr<Entity> e = std::move(entities_.begin()->second);
        entities_.erase(entities_.begin());
        e->Release();
    }
}

// ---- Applies --------------------------------------------------------------------------------

uint32_t GameKernel::NewEventId() {
    const uint32_t id = ++eventCounter_;
    if (id > kIdWarning) WriteLogText("Event数量超过2亿，警戒!");
    return id;
}

uint32_t GameKernel::PostApply(uint32_t entityId, Apply a) {
    if (entityId) {
        const Entity* e = FindEntity(entityId);
        if (!e || !e->IsAttached()) return 0;
    }
    a.id = ++applyCounter_;
    if (a.id > kIdWarning) WriteLogText("Apply数量超过2亿，警戒!");
    a.entityId = entityId;
    a.paused = 0;
    a.successor = 0;
    a.done = false;
    const uint32_t id = a.id;
    pending_.push_back(std::move(a));
    return id;
}

uint32_t GameKernel::PostCallbackApply(uint32_t entityId, Apply a) {
    if (a.eventId > eventCounter_) return 0;
    return PostApply(entityId, std::move(a));
}

void GameKernel::PostCommand(Apply command) {
    command.id = 0;
    pending_.push_back(std::move(command));
}

Apply* GameKernel::FindActive(uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& a : active_) {
        if (a->id == id && !a->done) return a.get();
    }
    return nullptr;
}

void GameKernel::FlushPending() {
    std::vector<Apply> pending = std::move(pending_);
    pending_.clear();
    for (Apply& a : pending) {
        if (a.id == 0) {
            if (a.flags == CMD_CANCEL) CancelAppliesOfEntity(a.successor, a.level, a.paused);
            if (a.flags == CMD_PAUSE) PauseApply(a.successor, a.pauseWord);
            continue;
        }
        bool found = false;
        if (a.eventId) {
            for (auto& other : active_) {
                if (other->id != 0 && !other->done && other->eventId == a.eventId &&
                    other->successor == 0) {
                    other->successor = a.id;
                    found = true;
                    break;
                }
            }
            if (!found) a.flags |= APPLY_HEADS_CHAIN;
        }
        a.paused = (found || a.pauseWord != 0) ? 1 : 0;
        active_.push_back(std::make_unique<Apply>(std::move(a)));
    }
}

void GameKernel::Complete(Apply& a, bool withMessage) {
    a.done = true;
    if (withMessage && a.p[19] != 0)
        DeliverMessage(EngineMessage{a.p[19], std::move(a.messageData), a.p[21]}, 0);
    if (a.successor) {
        if (Apply* next = FindActive(a.successor); next && (a.flags & APPLY_HEADS_CHAIN))
            next->flags |= APPLY_HEADS_CHAIN;
        ResumeApply(a.successor);
    }
    a.block.Free();
    a.messageData.Free();
    // The entity may already be gone (destroyed while this Apply was cancelled): ids are
    // never reused, so a failed lookup means there is nothing left to destroy.
    if (withMessage && (a.flags & APPLY_DESTROY_ENTITY) && a.entityId) {
        if (Entity* e = FindEntity(a.entityId)) DestroyEntity(e);
    }
}

void GameKernel::RunDueApplies() {
    const uint32_t now = GetEngineTimeMs();
    now_ = now;
    FlushPending();
    running_ = true;
    for (size_t i = 0; i < active_.size(); ++i) {
        Apply& a = *active_[i];
        if (a.done) continue;
        if (a.id == 0) {
            Complete(a, true);
            continue;
        }
        if (a.paused) continue;
        // Elapsed time by unsigned difference: correct across the 32-bit wrap.
        if (now - a.p[0] < a.p[3]) continue;
        a.p[0] = now;
        Entity* e = nullptr;
        if (a.entityId) {
            e = FindEntity(a.entityId);
            if (!e) {
                Complete(a, true);  // its entity is gone: no callback
                continue;
            }
        }
        if (!a.callback || a.callback(e, a, *this, now)) Complete(a, true);
    }
    running_ = false;
    std::erase_if(active_, [](const auto& a) { return a->done; });
}

uint32_t GameKernel::PauseApply(uint32_t id, uint32_t value) {
    Apply* a = FindActive(id);
    if (!a) return 0;
    a->paused = 1;
    a->pauseWord = value ? value : id;
    return a->pauseWord;
}

int GameKernel::ResumeApply(uint32_t id) {
    Apply* a = FindActive(id);
    if (!a) return 0;
    a->paused = 0;
    if (a->p[2] == a->p[0]) a->p[2] = now_;
    a->p[0] = now_;
    return 1;
}

int GameKernel::FindActiveApply(uint32_t eventId) const {
    for (const auto& a : active_) {
        if (!a->done && a->eventId == eventId) return 1;
    }
    return 0;
}

void GameKernel::CancelAppliesOfEntity(uint32_t entityId, uint32_t level, uint32_t mode) {
    for (auto& a : active_) {
        if (a->id == 0 || a->done || a->entityId == 0 || a->entityId != entityId ||
            a->level > level)
            continue;
        a->id = 0;
        if (mode & 0xFF) a->p[19] = 0;
        // Only a block handed over as owned is freed; a number is only dropped.
        if ((mode & 0xFF) == 1) a->messageData.Free();
    }
}

std::vector<uint32_t> GameKernel::LiveApplyIds() const {
    std::vector<uint32_t> ids;
    for (const auto& a : active_)
        if (a->id != 0 && !a->done) ids.push_back(a->id);
    for (const Apply& a : pending_)
        if (a.id != 0) ids.push_back(a.id);
    return ids;
}

void GameKernel::CancelAllApplies() {
    FlushPending();
    for (size_t i = 0; i < active_.size(); ++i) {
        if (!active_[i]->done) Complete(*active_[i], false);
    }
    if (!running_) active_.clear();
}

}  // namespace hqlv::engine
