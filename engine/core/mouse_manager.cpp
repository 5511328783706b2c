#include "engine/core/mouse_manager.h"

#include "engine/core/engine_host.h"
#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"

namespace hqlv::engine {

void FreeMouseState(void* block) {
    delete static_cast<MouseState*>(block);
}

const MouseState* AsMouseState(const MessageData& data) {
    if (data.empty() || data.freeFn() != &FreeMouseState) return nullptr;
    return static_cast<const MouseState*>(data.block());
}

MouseManager::MouseManager() {
    SetCursorById(kSystemArrow);
    ResetState();
}

int MouseManager::ResetState() {
    state_ = MouseState{};
    return 0;
}

uint32_t MouseManager::Fire(uint32_t controlId, uint32_t slot) {
    GameKernel* k = Kernel();
    if (!k || !controlId) return 0;
    ControlData* c = k->FindControl(controlId);
    if (!c) return 0;
    const EventSlot* e = c->GetEvent(slot);
    if (!e) return 0;
    EngineMessage m{e->code,
                    e->data ? MessageData::Number(e->data)
                            : MessageData::Owned(new MouseState(state_), &FreeMouseState),
                    e->target};
    if (m.code == 0) return 0;
    // Without a target the message joins the queue for the engine object, and the kernel's
    // answer (1) is the result: the event counts as taken, so a drag bound this way keeps
    // the hover on the dragged entity and a double click bound this way replaces the press.
    if (m.target == 0) return uint32_t(k->DeliverMessage(std::move(m), 0));
    ControlData* to = k->FindControl(m.target);
    if (!to || !to->owner) return 0;
    // The handler may delete its own control and object: only the message is touched after.
    const uint32_t handled = to->owner->HandleMessage(m);
    if (handled) m.data.Free();
    return handled;
}

uint32_t MouseManager::PostToSelf(uint32_t slot) {
    return Fire(ControlId(), slot);
}

uint32_t MouseManager::PostToTarget(uint32_t controlId, uint32_t slot) {
    if (state_.pressedEntity && state_.pressedEntity != state_.hoveredEntity) return 0;
    return Fire(controlId, slot);
}

uint32_t MouseManager::HoveredControl() {
    GameKernel* k = Kernel();
    if (!k || !state_.hoveredEntity) return 0;
    const Entity* e = k->FindEntity(state_.hoveredEntity);
    if (!e || !e->GetControlId() || !k->FindControl(e->GetControlId())) return 0;
    return e->GetControlId();
}

void MouseManager::ClearHover() {
    state_.hoveredEntity = 0;
    state_.hoveredControl = 0;
    state_.pressedEntity = 0;
}

void MouseManager::ClearHoverHold() {
    hoverTime_ = 0;
    state_.bits &= ~MS_HOVER_HOLD;
}

void MouseManager::OnMouseMove(int x, int y, uint32_t) {
    if (x != state_.x || y != state_.y) {
        sincePress_ = 5000;
        state_.bits |= MS_MOVED;
    }
    state_.dx = x - state_.x;
    state_.dy = y - state_.y;
    state_.x = x;
    state_.y = y;
    PostToSelf(1);
    if (state_.bits & MS_LEFT_DOWN) PostToSelf(10);
    if (state_.bits & MS_RIGHT_DOWN) PostToSelf(11);
    if (state_.bits & MS_HOVER_HOLD) PostToSelf(13);
    for (auto [bit, slot] : {std::pair{MS_RIGHT_DOWN, 11u}, std::pair{MS_LEFT_DOWN, 10u}}) {
        if ((state_.bits & bit) && (state_.bits & MS_MOVED)) {
            if (uint32_t c = HoveredControl(); c && PostToTarget(c, slot)) {
                state_.bits &= ~MS_MOVED;
                return;
            }
        }
    }
    GameKernel* k = Kernel();
    if (!k) return;
    const uint32_t hit = k->GetCanvas().HitTest(x, y);
    state_.hitEntity = hit;
    if (state_.hoveredEntity) {
        if (hit == state_.hoveredEntity) {
            if (uint32_t c = HoveredControl()) {
                PostToTarget(c, 1);
                state_.bits &= ~MS_MOVED;
            }
            return;
        }
        PostToSelf(3);
        if (uint32_t c = HoveredControl()) {
            PostToTarget(c, 3);
            if (state_.bits & MS_HOVER_HOLD) PostToTarget(c, 13);
        }
        ClearHoverHold();
        state_.hoveredEntity = 0;
        state_.hoveredControl = 0;
    }
    state_.hoveredEntity = hit;
    if (!hit) return;
    const Entity* e = k->FindEntity(hit);
    if (!e) return;
    state_.hoveredControl = e->GetControlId();
    state_.transform = e->GetTransform();
    if (uint32_t c = HoveredControl()) {
        PostToTarget(c, 2);
        if (state_.bits & MS_MOVED) {
            PostToTarget(HoveredControl(), 1);
            state_.bits &= ~MS_MOVED;
        }
    }
}

void MouseManager::OnLButtonDown(int, int, uint32_t) {
    state_.bits &= ~MS_HOVER_HOLD;
    state_.bits |= MS_LEFT_DOWN;
    const bool dbl = sincePress_ < clickTime_;
    if (dbl) {
        sincePress_ = 5000;
        if (!PostToSelf(9)) PostToSelf(4);
    } else {
        PostToSelf(4);
    }
    const uint32_t c = HoveredControl();
    if (dbl && c && PostToTarget(c, 9)) return;
    sincePress_ = 0;
    if ((state_.bits & MS_LEFT_DOWN) && !(state_.bits & MS_MOVED)) {
        if (uint32_t now = HoveredControl()) {
            PostToTarget(now, 4);
            state_.pressedEntity = state_.hoveredEntity;
        }
    }
}

void MouseManager::OnLButtonUp(int, int, uint32_t) {
    state_.bits &= ~(MS_HOVER_HOLD | MS_LEFT_DOWN);
    PostToSelf(5);
    PostToSelf(8);
    // Nothing hovered and nothing pressed are the same entity: the release ends no capture,
    // so there is no hover to find again.
    if (state_.hoveredEntity == state_.pressedEntity) {
        state_.pressedEntity = 0;
        // Each firing finds the control again: the up handler may have deleted it.
        PostToTarget(HoveredControl(), 5);
        PostToTarget(HoveredControl(), 8);
    } else {
        ClearHover();
        RefreshHover();
    }
}

void MouseManager::OnRButtonDown(int, int, uint32_t) {
    state_.bits &= ~MS_HOVER_HOLD;
    state_.bits |= MS_RIGHT_DOWN;
    PostToSelf(6);
    if (!(state_.bits & MS_MOVED)) PostToTarget(HoveredControl(), 6);
}

void MouseManager::OnRButtonUp(int, int, uint32_t) {
    state_.bits &= ~(MS_HOVER_HOLD | MS_RIGHT_DOWN);
    PostToSelf(7);
    PostToTarget(HoveredControl(), 7);
}

void MouseManager::OnMButtonDown(int, int, uint32_t) {
    state_.bits &= ~MS_HOVER_HOLD;
    state_.bits |= MS_MIDDLE_DOWN;
    PostToSelf(19);
    if (!(state_.bits & MS_MOVED)) {
        if (uint32_t c = HoveredControl()) {
            PostToTarget(c, 19);
            state_.pressedEntity = state_.hoveredEntity;
        }
    }
}

void MouseManager::OnMButtonUp(int, int, uint32_t) {
    state_.bits &= ~(MS_HOVER_HOLD | MS_MIDDLE_DOWN);
    PostToSelf(20);
    PostToTarget(HoveredControl(), 20);
}

void MouseManager::OnMouseWheel(int, int, int delta, uint32_t) {
    if (delta == 0) return;
    const uint32_t slot = delta < 0 ? 18 : 17;
    PostToSelf(slot);
    if (GameKernel* k = Kernel()) Fire(k->GetTopItemControl(), slot);
}

void MouseManager::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t flags) {
    state_.keyFlags = flags;
    state_.keyDown = key;
    if (state_.keyUp == key) state_.keyUp = 0;
    state_.keyRepeat = repeat;
    PostToSelf(22);
    if (GameKernel* k = Kernel()) Fire(k->GetTopControl(), 22);
    keyHoldTime_ = 0;
}

void MouseManager::OnKeyUp(uint32_t key, uint32_t repeat, uint32_t flags) {
    state_.keyFlags = flags;
    state_.keyUp = key;
    if (state_.keyDown == key) state_.keyDown = 0;
    state_.keyRepeat = repeat;
    PostToSelf(23);
    if (GameKernel* k = Kernel()) Fire(k->GetTopControl(), 23);
    keyHoldTime_ = 0;
}

void MouseManager::OnHoverTimer() {
    sincePress_ += 100;
    if (state_.hoveredEntity) {
        hoverTime_ += 100;
        if (hoverTime_ > hoverDelay_ && !(state_.bits & MS_HOVER_HOLD)) {
            state_.bits |= MS_HOVER_HOLD;
            PostToSelf(12);
            PostToTarget(HoveredControl(), 12);
        }
    }
    if (state_.keyDown) {
        keyHoldTime_ += 100;
        if (keyHoldTime_ > clickTime_) {
            state_.keyFlags |= KEY_HELD;
            PostToSelf(21);
            if (GameKernel* k = Kernel()) Fire(k->GetTopControl(), 21);
        }
    }
}

void MouseManager::ReleaseButtons() {
    if (state_.bits & MS_RIGHT_DOWN) OnRButtonUp(-10000, -10000, 0);
    if (state_.bits & MS_LEFT_DOWN) OnLButtonUp(-10000, -10000, 0);
    OnMouseMove(-10000, -10000, 0);
}

void MouseManager::RefreshHover() {
    if (!Kernel()) return;
    if (state_.bits & (MS_LEFT_DOWN | MS_RIGHT_DOWN)) return;
    OnMouseMove(state_.x, state_.y, 0);
}

void MouseManager::SetCursorById(uint32_t id) {
    cursor_ = id;
    named_ = nullptr;
    cursorSet_ = true;
    ApplyCursor();
}

void MouseManager::SetCursorByName(std::string_view name) {
    CursorHandle cursor = GetResourceManager().GetCursorByName(name);
    // Setting no cursor would leave the window without a pointer: a name the table does not
    // hold (a script's typing error, a skin without it) keeps the cursor shown.
    if (!cursor) return;
    named_ = std::move(cursor);
    cursorSet_ = true;
    ApplyCursor();
}

void MouseManager::ApplyCursor() {
    if (!cursorSet_ || !host_) return;
    if (named_)
        host_->ShowCursor(*named_);
    else
        host_->SetCursorById(cursor_);
}

}  // namespace hqlv::engine
