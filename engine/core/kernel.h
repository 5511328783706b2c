#pragma once
// The engine's store and switchboard: the scene's entities, the controls that bind input to
// them, the timed actions (Applies), the message queue, the registered engine objects and
// the canvas. Everything refers to everything else by id and is found again at each use;
// ids are never reused.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/control_data.h"
#include "engine/core/engine_message.h"
#include "engine/core/entity.h"
#include "engine/core/sound.h"
#include "engine/render/canvas.h"

namespace hqlv::engine {

class GameKernel;
struct Apply;

// One run of an Apply: non-zero when finished. The entity is null for entity-less Applies.
using ApplyCallback = uint32_t (*)(Entity* entity, Apply& apply, GameKernel& kernel, uint32_t now);

constexpr uint32_t APPLY_DESTROY_ENTITY = 0x1;
constexpr uint32_t APPLY_HEADS_CHAIN = 0x10;
constexpr uint32_t CMD_CANCEL = 512;
constexpr uint32_t CMD_PAUSE = 8192;

// The timed-action record. p holds the 22 parameter words; the two that carry blocks (the
// block freed at completion, and the completion message's data) are kept beside them with
// their ownership.
struct Apply {
    uint32_t id = 0;  // 0: cancelled (or, pending, a kernel command)
    uint32_t flags = 0;
    std::array<uint32_t, 22> p{};
    MessageData block;        // freed when the Apply completes, when owned
    MessageData messageData;  // data of the completion message {p[19], data, p[21]}
    uint32_t entityId = 0;
    ApplyCallback callback = nullptr;
    uint32_t eventId = 0;
    uint32_t pauseWord = 0;
    uint32_t paused = 0;
    uint32_t level = 0;
    uint32_t successor = 0;
    bool done = false;

    int32_t s(int i) const { return static_cast<int32_t>(p[size_t(i)]); }
    void set(int i, int32_t v) { p[size_t(i)] = static_cast<uint32_t>(v); }
};

// The timer words: p0 = p2 = the engine's last clock value, p3 = interval, p4 = p5 = -100,
// completion message {code, data, target}.
Apply MakeApplyTimer(uint32_t interval, uint32_t code, MessageData data, uint32_t target);

class GameKernel {
public:
    GameKernel();
    ~GameKernel();
    GameKernel(const GameKernel&) = delete;
    GameKernel& operator=(const GameKernel&) = delete;

    Canvas& GetCanvas() { return *canvas_; }
    SoundPlayer& GetSoundPlayer() { return sound_; }

    // ---- entities
    Entity* CreateEntity(uint32_t type, int x, int y, int width, int height, double rotation, int z,
                         bool visible, double alpha);
    Entity* FindEntity(uint32_t id) const;
    void DestroyEntityTree(uint32_t id);
    uint32_t AddChildEntity(uint32_t parentId, uint32_t childId, uint32_t flags);
    uint32_t LinkChildEntity(Entity* parent, Entity* child, uint32_t flags);
    void RemoveChildEntity(uint32_t parentId, uint32_t childId);

    // ---- controls
    ControlData* CreateControl();
    ControlData* FindControl(uint32_t id);
    int BindControl(ControlData* control, Entity* entity, uint32_t flags);
    ControlData* ApplyControl(uint32_t entityId, uint32_t flags);
    int ReleaseControl(uint32_t id);
    int ReleaseControlRecord(ControlData* control);
    int DeleteControl(uint32_t id);
    uint32_t AddChildControl(uint32_t parentId, uint32_t childId);
    // The same by records: 999999, or 0 when either is missing.
    uint32_t AddChildControlRecord(ControlData* parent, ControlData* child);
    void BringControlToTop(uint32_t id);
    void RemoveControlFromTop(uint32_t id);
    uint32_t GetTopItemControl() const;
    uint32_t SetTopControl(uint32_t id) { return std::exchange(focus_, id); }
    uint32_t GetTopControl() const { return focus_; }
    // The mouse manager's control, through which every object finds the manager.
    void SetMouseControl(uint32_t id) { mouseControl_ = id; }
    uint32_t GetMouseControl() const { return mouseControl_; }

    // ---- messages
    int PostMessage(uint32_t code, MessageData data);
    int PostControlMessage(uint32_t target, uint32_t code, MessageData data, int mode);
    int DeliverMessage(EngineMessage message, int mode);
    EngineMessage PopMessage();
    size_t GetMessageCount() const { return queue_.size(); }

    // ---- objects
    ObjectBase* RegisterObject(std::unique_ptr<ObjectBase> object);
    // Removes, calls OnUnregister and deletes. An object not in the list is deleted all the
    // same (it must come from new), without the hook.
    void UnregisterObject(ObjectBase* object);
    size_t GetObjectCount() const { return objects_.size(); }

    // ---- frame
    void SetFrameInterval(uint32_t ms) { frameInterval_ = ms; }
    uint32_t GetFrameInterval() const { return frameInterval_; }
    bool IsFrameDue();
    // Milliseconds from now until the next frame may run (0: due now).
    uint32_t MsUntilFrameDue(uint32_t now) const;
    // Milliseconds from now until some Apply has work (0: now, also for pending ones and
    // cancelled ones waiting to be let go); kNothingDue when none has (none, or all paused).
    uint32_t MsUntilApplyDue(uint32_t now) const;
    static constexpr uint32_t kNothingDue = 0xFFFFFFFFu;
    int Render(DrawSurface& target);
    uint32_t Now();
    uint32_t LastNow() const { return now_; }
    void ClearAll();

    // ---- Applies
    uint32_t PostApply(uint32_t entityId, Apply apply);
    uint32_t PostCallbackApply(uint32_t entityId, Apply apply);
    void PostCommand(Apply command);
    uint32_t NewEventId();
    void RunDueApplies();
    bool HasApplies() const { return !active_.empty() || !pending_.empty(); }
    uint32_t PauseApply(uint32_t id, uint32_t value);
    int ResumeApply(uint32_t id);
    int FindActiveApply(uint32_t eventId) const;
    void CancelAppliesOfEntity(uint32_t entityId, uint32_t level, uint32_t mode);
    void CancelAllApplies();
    size_t GetActiveApplyCount() const { return active_.size(); }
    // The ids of the Applies posted and not yet finished or cancelled, pending ones included.
    std::vector<uint32_t> LiveApplyIds() const;

    size_t GetEntityCount() const { return entities_.size(); }
    size_t GetControlCount() const { return controls_.size(); }

private:
    void DestroyEntity(Entity* entity);
    void UnbindEntity(ControlData& control);
    void FlushPending();
    void Complete(Apply& apply, bool withMessage);
    Apply* FindActive(uint32_t id);

    std::unique_ptr<Canvas> canvas_;
    SoundPlayer sound_;
    std::map<uint32_t, std::unique_ptr<Entity>> entities_;
    std::map<uint32_t, std::unique_ptr<ControlData>> controls_;
    std::vector<std::unique_ptr<Apply>> active_;
    std::vector<Apply> pending_;
    std::deque<EngineMessage> queue_;
    std::vector<std::unique_ptr<ObjectBase>> objects_;
    uint32_t entityCounter_ = 0;
    uint32_t applyCounter_ = 0;
    uint32_t eventCounter_ = 0;
    uint32_t controlCounter_ = 0;
    uint32_t focus_ = 0;
    uint32_t mouseControl_ = 0;
    uint32_t now_ = 0;
    uint32_t frameInterval_ = 40;
    uint32_t lastFrame_ = 0;
    bool running_ = false;
};

}  // namespace hqlv::engine
