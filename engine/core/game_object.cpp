#include "engine/core/game_object.h"

#include "engine/core/apply_callbacks.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"

namespace hqlv::engine {

uint32_t PlayFramesLimit(uint32_t count, uint32_t total, uint32_t beforeStart) {
    return count * count * total - beforeStart;
}

void GameObject::Release() {
    GameKernel* k = Kernel();
    if (!k) return;
    if (ControlId() && k->FindControl(ControlId()))
        k->DeleteControl(ControlId());
    else
        k->UnregisterObject(this);
}

void GameObject::SetCursorById(uint32_t id) {
    if (MouseManager* m = GetMouseManager()) m->SetCursorById(id);
}

MouseManager* GameObject::GetMouseManager() const {
    GameKernel* k = Kernel();
    if (!k || !k->GetMouseControl()) return nullptr;
    ControlData* c = k->FindControl(k->GetMouseControl());
    return c ? dynamic_cast<MouseManager*>(c->owner) : nullptr;
}

const MouseState* GameObject::GetMouseState() const {
    const MouseManager* m = GetMouseManager();
    return m ? &m->State() : nullptr;
}

uint32_t GameObject::Interval(int interval) const {
    if (interval >= 1) return uint32_t(interval);
    return Kernel() ? Kernel()->GetFrameInterval() : 30;
}

uint32_t GameObject::Post(uint32_t entityId, Apply a, ApplyCallback callback, uint32_t eventId,
                          uint32_t flags) {
    GameKernel* k = Kernel();
    if (!k) return 0;
    a.callback = callback;
    a.eventId = eventId;
    a.flags = flags;
    a.pauseWord = 0;
    a.level = 2;
    return eventId ? k->PostCallbackApply(entityId, std::move(a))
                   : k->PostApply(entityId, std::move(a));
}

uint32_t GameObject::MoveTo(Entity* e, uint32_t eventId, int x, int y, int speed, int interval,
                            uint32_t code, MessageData data, uint32_t target) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(4, x);
    a.set(5, y);
    a.set(7, speed * 100);
    return Post(e->GetId(), std::move(a), &ApplyMove, eventId, 0);
}

uint32_t GameObject::MoveToEx(Entity* e, uint32_t eventId, int x, int y, int speed, int limit,
                              int step, double factor, int interval, uint32_t code,
                              MessageData data, uint32_t target, int release) {
    if (!e) return 0;
    // Without a chain the new move replaces whatever runs on the entity.
    if (!eventId) PostKernelMessage(e->GetId(), 3, 1);
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(4, x);
    a.set(5, y);
    a.set(7, speed * 100);
    a.set(8, limit);
    a.set(9, step);
    a.set(10, int32_t(factor * 1000));
    return Post(e->GetId(), std::move(a), &ApplyMove, eventId, release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::Wait(uint32_t duration, uint32_t code, MessageData data, uint32_t target,
                          uint32_t eventId) {
    Apply a = MakeApplyTimer(Interval(0), code, std::move(data), target);
    a.p[1] = duration;
    a.p[6] = 0;
    return Post(0, std::move(a), &ApplyWait, eventId, 0);
}

uint32_t GameObject::PostNopApply(int interval, uint32_t code, MessageData data, uint32_t target,
                                  uint32_t eventId) {
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    return Post(0, std::move(a), &ApplyNop, eventId, 0);
}

uint32_t GameObject::ShowLater(Entity* e, int show, uint32_t eventId, int interval, uint32_t code,
                               MessageData data, int release) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), 0);
    a.set(7, show);
    return Post(e->GetId(), std::move(a), &ApplyShowHide, eventId,
                release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::ZoomAlphaTo(Entity* e, double step, double target, uint32_t eventId,
                                 int interval, uint32_t code, MessageData data, int release,
                                 uint32_t targetControl) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), targetControl);
    a.set(7, int32_t(step * 100));
    a.set(8, int32_t(target * 100));
    return Post(e->GetId(), std::move(a), &ApplyFade, eventId, release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::ResizeTo(Entity* e, int startW, int startH, int w, int h, int stepW, int stepH,
                              uint32_t eventId, int interval, uint32_t code, MessageData data,
                              uint32_t target) {
    if (!e) return 0;
    e->SetSize(startW, startH);
    e->ApplyTransform();
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(7, w);
    a.set(8, h);
    a.set(9, stepW);
    a.set(10, stepH);
    return Post(e->GetId(), std::move(a), &ApplyResize, eventId, 0);
}

uint32_t GameObject::PlayFrames(ImageEntity* e, uint32_t mode, uint32_t count, uint32_t start,
                                uint32_t eventId, uint32_t code, MessageData data,
                                uint32_t target) {
    if (!e || mode > 3) return 0;
    e->SetFrame(start & 0xFFFF);
    Apply a = MakeApplyTimer(e->FrameDelay(start), code, std::move(data), target);
    a.p[7] = mode;
    a.p[8] = count;
    if (mode == 0 && count != uint32_t(-1))
        a.p[1] = PlayFramesLimit(count, e->TotalDuration(), e->DurationBetween(0, start));
    return Post(e->GetId(), std::move(a), &ApplyPlayFrames, eventId, 0);
}

uint32_t GameObject::ReleaseEntityLater(Entity* e, uint32_t eventId, uint32_t target, uint32_t code,
                                        MessageData data) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(0), code, std::move(data), target);
    return Post(e->GetId(), std::move(a), &ApplyInstant, eventId, APPLY_DESTROY_ENTITY);
}

void GameObject::PostKernelMessage(uint32_t entityId, uint32_t level, uint32_t mode) {
    if (!Kernel()) return;
    Apply command;
    command.flags = CMD_CANCEL;
    command.successor = entityId;
    command.level = level;
    command.paused = mode;
    Kernel()->PostCommand(std::move(command));
}

uint32_t GameObject::PauseApply(uint32_t applyId, uint32_t value) {
    if (!Kernel()) return 0;
    Apply command;
    command.flags = CMD_PAUSE;
    command.successor = applyId;
    command.pauseWord = value;
    Kernel()->PostCommand(std::move(command));
    return 999999;
}

uint32_t GameObject::NewEventId() {
    return Kernel() ? Kernel()->NewEventId() : 0;
}

int GameObject::FindActiveApply(uint32_t id) {
    return Kernel() ? Kernel()->FindActiveApply(id) : 0;
}

int GameObject::SendToControl(EngineMessage message, int mode) {
    if (!Kernel() || message.code == 0) return 0;
    return Kernel()->DeliverMessage(std::move(message), mode);
}

int GameObject::PostControlMessage(uint32_t code, MessageData data, uint32_t target, int mode) {
    return Kernel() ? Kernel()->PostControlMessage(target, code, std::move(data), mode) : 0;
}

ImageEntity* GameObject::CreateImageEntity(int layer, int x, int y, uint32_t resourceId, int sx,
                                           int sy, int width, int height, uint32_t tint) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    if (resourceId) {
        if (const EnginePicture* pic = LookupPicture(resourceId)) {
            if (width < 1) width = pic->width;
            if (height < 1) height = pic->frameHeight;
        }
    }
    auto* e = static_cast<ImageEntity*>(
        k->CreateEntity(ENT_IMAGE, x, y, width, height, 0.0, 1, false, 1.0));
    e->SetImage(resourceId, sx, sy, width, height, tint);
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

PlaneEntity* GameObject::CreatePlaneEntity(int layer, int x, int y, int width, int height,
                                           uint32_t colour) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    auto* e = static_cast<PlaneEntity*>(
        k->CreateEntity(ENT_PLANE, x, y, width, height, 0.0, 1, false, 1.0));
    e->Create(width, height, colour);
    e->SetTextLayout(&GetResourceManager().GetTextLayout(), false);
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

Canvas* GameObject::GetCanvas() const {
    return Kernel() ? &Kernel()->GetCanvas() : nullptr;
}

void GameObject::SetBackgroundOffset(int x, int y) {
    if (Canvas* c = GetCanvas()) c->SetViewCenter(x, y, true);
}

TextLayout& GameObject::GetTextLayout() {
    return GetResourceManager().GetTextLayout();
}

int GameObject::SetFont(int height, int weight, std::string_view face) {
    return GetTextLayout().SetFont(height, weight, face, 0, 0);
}

uint32_t GameObject::SetTextColor(uint32_t colour) {
    return GetTextLayout().SetColor(colour);
}

}  // namespace hqlv::engine
