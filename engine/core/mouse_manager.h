#pragma once
// Turns the host window's mouse and key input into control events: hit tests the canvas,
// tracks hover, press (capture), drag, double click, hover hold and key hold, and fires each
// event twice: in its own control (the global bindings) and in the control concerned. The
// entities and controls involved are kept by id and found again at each use, so a handler
// may delete its own control.
#include <cstdint>

#include "engine/core/cursor.h"
#include "engine/core/entity.h"
#include "engine/core/game_object.h"

namespace hqlv::engine {

class EngineHost;

constexpr uint32_t MS_LEFT_DOWN = 0x10;
constexpr uint32_t MS_RIGHT_DOWN = 0x20;
constexpr uint32_t MS_MOVED = 0x1000;
constexpr uint32_t MS_HOVER_HOLD = 0x10000;
constexpr uint32_t MS_MIDDLE_DOWN = 0x80000;
constexpr uint32_t KEY_HELD = 0x10000000;

// The state copied into every event whose binding carries no data of its own.
struct MouseState {
    uint32_t hoveredEntity = 0;
    uint32_t hitEntity = 0;
    uint32_t pressedEntity = 0;
    uint32_t hoveredControl = 0;
    uint32_t bits = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    uint32_t unused = 0;
    BlitParams transform;  // of the hovered entity, as the hover started
    uint32_t keyFlags = 0;
    uint32_t keyDown = 0;
    uint32_t keyUp = 0;
    uint32_t keyRepeat = 0;
};

// The free routine of a MouseState block; a message whose data is freed by it carries one.
void FreeMouseState(void* block);
// The state a message carries, or null when its data is not a MouseState block.
const MouseState* AsMouseState(const MessageData& data);

class MouseManager : public GameObject {
public:
    static constexpr uint32_t kSystemArrow = 32512;

    MouseManager();
    void OnCreated() override { ResetState(); }
    void SetHost(EngineHost* host) { host_ = host; }

    void OnMouseMove(int x, int y, uint32_t flags);
    void OnLButtonDown(int x, int y, uint32_t flags);
    void OnLButtonUp(int x, int y, uint32_t flags);
    void OnRButtonDown(int x, int y, uint32_t flags);
    void OnRButtonUp(int x, int y, uint32_t flags);
    void OnMButtonDown(int x, int y, uint32_t flags);
    void OnMButtonUp(int x, int y, uint32_t flags);
    void OnMouseWheel(int x, int y, int delta, uint32_t flags);
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t flags);
    void OnKeyUp(uint32_t key, uint32_t repeat, uint32_t flags);
    void OnHoverTimer();
    void ReleaseButtons();
    void RefreshHover();
    void ClearHover();
    void ClearHoverHold();
    int ResetState();
    void SetHoverDelay(uint32_t ms) { hoverDelay_ = ms; }

    void SetCursorById(uint32_t id) override;
    // The resource manager's cursor of that name. A name it does not hold changes nothing
    // (the cursor the window shows stays).
    void SetCursorByName(std::string_view name) override;
    // Shows the current cursor on the host whenever one was set.
    void ApplyCursor();
    // The system cursor last set by id (0 while a named cursor is current).
    uint32_t CurrentCursor() const { return named_ ? 0 : cursor_; }
    // The named cursor now current; null while a system cursor is.
    const CursorHandle& CurrentNamedCursor() const { return named_; }

    const MouseState& State() const { return state_; }

    // Fire a slot of the own control, or of another control (the latter refused while a
    // pressed entity other than the hovered one holds the capture). → the receiver's result.
    uint32_t PostToSelf(uint32_t slot);
    uint32_t PostToTarget(uint32_t controlId, uint32_t slot);

private:
    uint32_t Fire(uint32_t controlId, uint32_t slot);
    uint32_t HoveredControl();

    MouseState state_;
    uint32_t hoverDelay_ = 1500;
    uint32_t clickTime_ = 500;
    uint32_t cursor_ = 0;
    CursorHandle named_;
    uint32_t hoverTime_ = 0;
    uint32_t sincePress_ = 5000;
    uint32_t keyHoldTime_ = 0;
    bool cursorSet_ = false;
    EngineHost* host_ = nullptr;
};

}  // namespace hqlv::engine
