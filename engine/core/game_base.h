#pragma once
// The engine object: one per hosted scene. It owns the kernel, the frame buffers (back,
// overlay and stretch, 32-bit 0x00RRGGBB), the mouse manager and the script engine, and is
// the single entry point of the host view: attach, screen, frame timer, input, paint and
// cleanup. Scenes derive from it and override the virtual hooks.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/game_object.h"

namespace hqlv::engine {

class AdvButton;
class ButtonFrame;
struct ButtonSkin;
class EngineHost;
class PlaneEntity;

// What a floating text (and the box drawn for it) is made of.
struct FloatingText {
    uint32_t options = 0;  // 1: an OK button; 8 with 1: OK and Cancel
    std::string text;      // at most kMaxFloatingTextBytes in GBK form
    uint32_t okCode = 0;
    uint32_t cancelCode = 0;
    uint32_t target = 0;  // control the buttons deliver to; 0: the engine queue
    int width = 0;
    int height = 0;
    uint32_t entityId = 0;
    int duration = 0;
};
constexpr size_t kMaxFloatingTextBytes = 1024;
constexpr int kScreenCentre = -1000;
// The script error texts (system callback 88) on screen at once; the ones past it go to the
// log. Each stays until its OK is clicked, and the runs of a script that keeps failing post
// them at every frame (up to sixteen an entry, an entry for each of hundreds of parallel runs):
// unbounded, they took the engine's memory and, their fades re-sorting the drawing order, its
// frames.
constexpr size_t kMaxScriptErrorTexts = 256;

// The alpha step of a floating text's fade-out for its duration in ms.
double FloatingFadeOutStep(int duration);
// Whether a point lies over a w × h box centred at (cx, cy) turned by degrees.
bool PointOverBox(int mx, int my, int cx, int cy, int w, int h, double degrees);
class MouseManager;
struct MouseState;
class ScriptEngine;

// engine/script registers the maker of its script engine; without one the engine runs
// without scripts. The object returned must also be a ScriptEngine.
using ScriptEngineFactory = std::unique_ptr<ObjectBase> (*)();
ScriptEngineFactory SetScriptEngineFactory(ScriptEngineFactory factory);

class GameBase : public GameObject {
public:
    GameBase();
    ~GameBase() override;
    GameBase(const GameBase&) = delete;
    GameBase& operator=(const GameBase&) = delete;

    void SetHost(EngineHost* host);
    EngineHost* Host() const { return host_; }

    // ---- hooks for the scene, in the order the host view calls them
    virtual int CanAttach() { return 1; }
    virtual void ResetSettings();
    virtual void OnAttach() {}
    virtual void OnScreenReady() {}
    virtual void OnPrepare() {}
    virtual void OnStart() {}
    virtual void OnStarted() {}
    virtual void OnTimer(uint32_t) {}
    virtual int OnMessage(uint32_t code, MessageData& data, uint32_t target);
    virtual void OnCleanup() {}
    virtual void OnInitDone() {}
    virtual void OnLogicTick() {}
    virtual void InitDefaultFont();
    // Draws the record's text into its plane entity, with the buttons its options ask for.
    virtual void MessageBox(const FloatingText& record);
    virtual int ExecCommand(std::string_view text);
    virtual void ReleaseMouseButtons();
    virtual void OnMouseEnter() {}
    virtual void SetScreen(int width, int height);
    virtual void OnDrawOverlay() {}
    virtual void OnExtraCommand() {}
    virtual int OnCustomCallback(MessageData& data);
    virtual int OnCustomSignal() { return 0; }
    virtual void CreateScriptEngine();
    virtual int TakeRedrawFlag();
    virtual void OnMouseMove(uint32_t flags, int x, int y);
    virtual void OnMouseWheel(uint32_t flags, int delta, int x, int y);
    virtual void OnLButtonDown(uint32_t flags, int x, int y);
    virtual void OnLButtonUp(uint32_t flags, int x, int y);
    virtual void OnRButtonDown(uint32_t flags, int x, int y);
    virtual void OnRButtonUp(uint32_t flags, int x, int y);
    virtual void OnMButtonDown(uint32_t flags, int x, int y);
    virtual void OnMButtonUp(uint32_t flags, int x, int y);
    virtual void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t flags);
    virtual void OnKeyUp(uint32_t key, uint32_t repeat, uint32_t flags);
    virtual void OnHoverTimer(uint32_t timerId);

    // ---- the host view's operations
    void Init();
    void InitScreen(int width, int height);
    void Cleanup();
    // Hands the current buffer to the host; nothing before the screen is ready.
    void PaintTo();
    bool IsFrameDue() { return kernel_.IsFrameDue(); }
    // When the host should tick the engine next: 0 now (queued messages), the milliseconds
    // until a frame has work (the canvas changed, an Apply is due, the music's end is looked
    // for), never sooner than the next frame may run; -1 when nothing waits.
    int MsUntilWork();
    // Renders what changed into the back buffer, and stretches only that to the device size.
    void Render();
    // The device rectangles the last Render changed (empty when it drew nothing): what the
    // host repaints.
    const std::vector<Rect>& ChangedDeviceRects() const { return changed_; }
    void PumpMessages();
    // One tick of the frame timer: the pump, then, when a frame is due, logic, Applies,
    // render and the redraw flag. → the milliseconds the frame took, -1 when none was due.
    int Tick();
    int OnSystemCallback(uint32_t code, MessageData& data);

    void SetFrameInterval(uint32_t ms);
    // (0, 0, device width, device height): the host window's client area.
    Rect GetDeviceRect() const { return {0, 0, deviceWidth_, deviceHeight_}; }
    // The application the host belongs to (for the scene to reach it); none without a host.
    void* GetCurrentWinApp() const;
    MouseManager* GetMouseManager() const { return mouse_; }
    ScriptEngine* GetScriptEngine() const { return script_; }
    GameKernel& GetKernel() { return kernel_; }
    // ---- scene services
    // The kernel's entities and controls, reached through the engine object.
    Entity* GetEntity(uint32_t id) const { return kernel_.FindEntity(id); }
    uint32_t AddChildEntity(uint32_t parentId, uint32_t childId, uint32_t flags) {
        return kernel_.AddChildEntity(parentId, childId, flags);
    }
    uint32_t LinkChildEntity(Entity* parent, Entity* child, uint32_t flags) {
        return kernel_.LinkChildEntity(parent, child, flags);
    }
    ControlData* CreateControl() { return kernel_.CreateControl(); }
    ControlData* ApplyControl(uint32_t entityId, uint32_t flags) {
        return kernel_.ApplyControl(entityId, flags);
    }
    int BindControl(ControlData* control, Entity* entity, uint32_t flags) {
        return kernel_.BindControl(control, entity, flags);
    }
    int ReleaseControl(uint32_t id) { return kernel_.ReleaseControl(id); }
    // Binds one of the control's event slots to a message code (data 0, target 0), as it
    // stands or as an offset from a base (the Ex form); the slot's previous code, 0 for no
    // control or a slot past the table.
    uint32_t SetControlEvent(ControlData* control, uint32_t slot, uint32_t code);
    uint32_t SetControlEventEx(ControlData* control, uint32_t slot, uint32_t code);
    // Where the pointer is in logical pixels (the mouse manager's state); (0, 0) before
    // there is a mouse manager.
    struct Point {
        int x = 0;
        int y = 0;
    };
    Point GetMousePosition() const;
    // The canvas: the whole screen dirty; the background rebuilt when it is flagged; the
    // full screen presented every frame (1) or only the dirty areas (0).
    void InvalidateAll();
    void RefreshBackground();
    void SetInvalidateMode(bool full);
    void ShowEntity(Entity* e, bool show);
    int MoveEntity(Entity* e, int x, int y);
    int IsMouseOverEntity(const Entity* e) const;
    void SetMouseEvent(uint32_t slot, uint32_t code, uint32_t target);
    void SetHoverDelay(uint32_t ms);
    AdvButton* CreateAdvancedButton(uint32_t code, uint32_t target, int x, int y, int width,
                                    int height, bool visible);
    uint32_t ShowFloatingText(std::string_view text, uint32_t wait, int duration, int x, int y,
                              int width, int height, uint32_t okCode, uint32_t cancelCode,
                              uint32_t target);
    // The plane entity of the floating text ShowFloatingText made last (0: none).
    uint32_t LastFloatingTextEntity() const { return lastFloatingText_; }
    ButtonFrame* CreateButtonFrame(int slotCount, const ButtonSkin* skin);
    // Tint 0, enabled and a leave delivered to each button of the frame (by its control id).
    void ResetButtonFrame(uint32_t frameControl);
    // Fades the frame; a finished fade-in resets its buttons (system callback 67).
    void AnimateButtonFrame(uint32_t frameControl, double step, double target);
    // The console's statistics and screen-settings messages; → the rich text shown.
    std::string ShowSystemInfo();
    std::string ShowGameSet();
    void ShowControl(ControlData* control, bool show);
    int MoveControl(ControlData* control, int x, int y);
    void SetControlHighlight(ControlData* control, bool on);
    void BT_SetBackColor(ControlData* control, uint32_t colour);
    void AddPendingItem(uint32_t entityId) { pendingDestroy_.push_back(entityId); }
    void ProcessPendingItems();

    // Text and pictures drawn into a plane entity's own pixels: 999999, or 0 (with a log
    // line) when there is no such plane; a picture wholly outside the plane draws nothing
    // and returns 0 without one. A width or height of 0 takes the source's.
    uint32_t WritePlane(uint32_t entityId, int x, int y, std::string_view text, TextLayout* layout);
    uint32_t DrawPlane(uint32_t entityId, int x, int y, int width, int height, uint32_t resourceId,
                       int sx, int sy, int sw, int sh, double degrees, double alpha, uint32_t tint);
    // The same with (x, y) the top-left corner.
    uint32_t DrawPlaneCentered(uint32_t entityId, int x, int y, int width, int height,
                               uint32_t resourceId, int sx, int sy, int sw, int sh, double degrees,
                               double alpha, uint32_t tint);

    // Written only while the log switch is on; the text is written as it stands.
    void Log(std::string_view text);

    struct Size {
        int width = 0;
        int height = 0;
    };
    Size DeviceSize() const { return {deviceWidth_, deviceHeight_}; }
    Size LogicalSize() const { return {logicalWidth_, logicalHeight_}; }
    void SetFixedLogicalSize(int width, int height);
    void SetWindowPos(int x, int y);
    Point WindowPos() const { return {windowX_, windowY_}; }
    void SetFrameTime(int ms) { frameTime_ = ms; }
    bool ScreenReady() const { return screenReady_; }
    bool LogOn() const { return logOn_; }
    bool ShowFrameTime() const { return showFrameTime_; }
    bool ShowDirtyAreas() const { return showDirtyAreas_; }
    int ScrollStep() const { return scrollStep_; }

    enum class Buffer { None, Back, Overlay, Stretch };
    Buffer Current() const { return current_; }
    const std::vector<uint32_t>& BackBuffer() const { return back_; }
    const std::vector<uint32_t>& OverlayBuffer() const { return overlay_; }
    const std::vector<uint32_t>& StretchBuffer() const { return stretch_; }

protected:
    // Registers an engine object with a control of its own that it owns, and calls its
    // creation hook.
    ObjectBase* AddObject(std::unique_ptr<ObjectBase> object);

private:
    bool DrawFpsOverlay();
    void BuildLogicalBuffers();
    void BuildStretchBuffer();
    int SystemControlCallback(uint32_t code, const MouseState& s);
    void EdgeScroll(const MouseState& s);

    int scrollStep_ = 5;
    bool fixedLogicalSize_ = false;
    int logicalWidth_ = 0;
    int logicalHeight_ = 0;
    int deviceWidth_ = 0;
    int deviceHeight_ = 0;
    int windowX_ = 0;
    int windowY_ = 0;
    int frameTime_ = 0;
    GameKernel kernel_;
    std::vector<uint32_t> back_;
    std::vector<uint32_t> overlay_;
    std::vector<uint32_t> stretch_;
    // The stretch buffer does not hold the frame (new size, new buffers): all of it is
    // stretched at the next Render.
    bool stretchStale_ = true;
    std::vector<Rect> changed_;
    // An overlay part was turned on or off: the next frame repaints the whole screen.
    bool overlayChanged_ = false;
    // Turns one of the overlay's parts on or off.
    void SetOverlay(bool& shown, bool on);
    Buffer current_ = Buffer::None;
    uint32_t frameInterval_ = 30;
    bool showFrameTime_ = false;
    bool screenReady_ = false;
    bool logOn_ = false;
    bool showDirtyAreas_ = false;
    bool cleaned_ = false;
    std::vector<uint32_t> pendingDestroy_;
    uint32_t lastFloatingText_ = 0;
    std::vector<uint32_t> scriptErrorTexts_;  // the entities of those on screen
    uint32_t scriptErrorTextsSeen_ = 0;       // the frame time they were last looked at
    MouseManager* mouse_ = nullptr;
    ScriptEngine* script_ = nullptr;
    EngineHost* host_ = nullptr;
    // While a host is set, the resource manager's fatal and out-of-memory boxes (and its
    // request to end) go to it (to the latest engine given one, when several have one); the
    // hooks found before come back when the last host goes, whatever order engines end in.
    void HookHost();
    void UnhookHost();
    static void ShowBoxOnHost(const std::string& text);
    static void ShowErrorBoxOnHost(const std::string& text, const std::string& caption);
    static void QuitOnHost();
    bool hostHooks_ = false;
};

}  // namespace hqlv::engine
