#include "engine/core/control_data.h"

#include "engine/core/kernel.h"

namespace hqlv::engine {

int ControlData::InitTable() {
    slots.assign(kEventSlots, EventSlot{});
    return 0;
}

static Entity* BoundEntity(const ControlData& c) {
    return (c.kernel && c.entityId) ? c.kernel->FindEntity(c.entityId) : nullptr;
}

uint32_t ControlData::SetEvent(uint32_t slot, uint32_t code, uint32_t target, uintptr_t data) {
    if (slot >= kEventSlots) return 0;
    if (slots.empty()) InitTable();
    const uint32_t old = slots[slot].code;
    slots[slot] = EventSlot{code, data, target};
    Entity* e = BoundEntity(*this);
    if (slot != 0) {
        if (e && e->GetHitMode() == 0) e->SetHitMode(1);
    } else if (e && !HasAnyEvent()) {
        e->SetHitMode(0);
    }
    return old;
}

uint32_t ControlData::SetEventEx(uint32_t slot, uint32_t baseCode, uint32_t target,
                                 uintptr_t data) {
    return SetEvent(slot, slot + baseCode, target, data);
}

const EventSlot* ControlData::GetEvent(uint32_t slot) const {
    if (!enabled || slots.empty() || slot >= kEventSlots || slots[slot].code == 0) return nullptr;
    return &slots[slot];
}

bool ControlData::HasAnyEvent() const {
    for (const EventSlot& s : slots) {
        if (s.code) return true;
    }
    return false;
}

uint32_t ControlData::GetHitMode() const {
    const Entity* e = BoundEntity(*this);
    return e ? e->GetHitMode() : 0;
}

bool ControlData::IsClickable() const {
    return enabled && !slots.empty() && slots[8].code != 0;
}

void ControlData::Enable(bool on) {
    enabled = on ? 1 : 0;
    SendMessage(on ? 70 : 69, MessageData{});
}

uint32_t ControlData::SendMessage(uint32_t code, MessageData data) {
    EngineMessage m{code, std::move(data), 0};
    return SendRawMessage(m);
}

uint32_t ControlData::SendRawMessage(EngineMessage& message) {
    return owner ? owner->HandleMessage(message) : 0;
}

void ControlData::Reset() {
    id = 0;
    reserved = 0;
    if (Entity* e = BoundEntity(*this)) {
        e->SetHitMode(0);
        e->SetControlId(0);
    }
    FreeUserBlock();
    entityId = 0;
    flags = 0;
}

void ControlData::FreeUserBlock() {
    if (flags & CTRL_OWNS_USER_BLOCK)
        userBlock.Free();
    else
        userBlock.Take();
}

}  // namespace hqlv::engine
