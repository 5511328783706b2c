#pragma once
// Engine objects and their control records. A control binds input events on one entity to
// messages: 30 event slots of {code, data, target control}. The object that owns a control
// receives the control's messages through HandleMessage.
#include <cstdint>
#include <vector>

#include "engine/core/engine_message.h"

namespace hqlv::engine {

class GameKernel;

// The base of every engine object that belongs to a kernel.
class ObjectBase {
public:
    virtual ~ObjectBase() = default;
    // Called by the kernel just before it deletes an unregistered object.
    virtual void OnUnregister() {}
    // Non-zero: the message's owned data may be freed now.
    virtual uint32_t HandleMessage(EngineMessage& message) {
        (void)message;
        return 1;
    }
    virtual GameKernel* SetKernel(GameKernel* kernel) { return kernel_ = kernel; }
    virtual void OnCreated() {}

    GameKernel* Kernel() const { return kernel_; }
    uint32_t ControlId() const { return controlId_; }
    void SetControlId(uint32_t id) { controlId_ = id; }

private:
    GameKernel* kernel_ = nullptr;
    uint32_t controlId_ = 0;  // the object's control record, found again at each use
};

struct EventSlot {
    uint32_t code = 0;
    uintptr_t data = 0;  // 0: the mouse manager hands a fresh copy of the mouse state
    uint32_t target = 0;
};

constexpr uint32_t kEventSlots = 30;
constexpr uint32_t CTRL_DESTROY_ENTITY = 16;  // deleting the control destroys its entity
constexpr uint32_t CTRL_OWNS_USER_BLOCK = 0x20;
constexpr uint32_t CTRL_DELETE_WITH_ENTITY = 128;  // destroying the entity deletes the control

class ControlData {
public:
    int InitTable();
    // The slot's previous code; 0 for a slot past the table.
    uint32_t SetEvent(uint32_t slot, uint32_t code, uint32_t target, uintptr_t data);
    uint32_t SetEventEx(uint32_t slot, uint32_t baseCode, uint32_t target, uintptr_t data);
    const EventSlot* GetEvent(uint32_t slot) const;
    bool HasAnyEvent() const;
    uint32_t GetHitMode() const;
    bool IsClickable() const;
    void Enable(bool on);
    uint32_t SendMessage(uint32_t code, MessageData data);
    uint32_t SendRawMessage(EngineMessage& message);
    void Reset();
    void FreeUserBlock();

    uint32_t flags = 0;
    uint32_t reserved = 0;
    uint32_t enabled = 1;
    std::vector<EventSlot> slots;  // empty until first use
    uint32_t id = 0;
    uint32_t entityId = 0;
    ObjectBase* owner = nullptr;
    MessageData userBlock;  // owned when flag 0x20
    uint32_t parentId = 0;
    GameKernel* kernel = nullptr;
};

}  // namespace hqlv::engine
