#include "engine/core/game_base.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/core/clock.h"
#include "engine/core/engine_host.h"
#include "engine/core/engine_log.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/core/script_engine.h"
#include "platform/core/stretch.h"

namespace hqlv::engine {

namespace {
ScriptEngineFactory g_scriptFactory = nullptr;

constexpr uint32_t kOverlayPen = 0x0027FE2D;  // RGB(39, 254, 45)
constexpr uint32_t kOverlayTextColour = 255;  // COLORREF red
// How often an idle engine looks for the end of its looping music.
constexpr uint32_t kMusicPollMs = 250;

int NonNegative(int v) {
    return v < 0 ? 0 : v;
}

void OutlineRect(std::vector<uint32_t>& buf, int width, int height, const Rect& r) {
    auto put = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            buf[size_t(y) * size_t(width) + size_t(x)] = kOverlayPen;
    };
    const int right = r.right - 1;
    const int bottom = r.bottom - 1;
    for (int x = r.left; x <= right; ++x) put(x, r.top);
    for (int y = r.top; y <= bottom; ++y) put(right, y);
    for (int x = r.left; x <= right; ++x) put(x, bottom);
    for (int y = r.top; y <= bottom; ++y) put(r.left, y);
}
}  // namespace

ScriptEngineFactory SetScriptEngineFactory(ScriptEngineFactory factory) {
    const ScriptEngineFactory old = g_scriptFactory;
    g_scriptFactory = factory;
    return old;
}

GameBase::GameBase() = default;

GameBase::~GameBase() {
    UnhookHost();
}

namespace {

// The engines that have a host, in the order they got it, and the hooks found before the
// first of them.
struct HostedEngines {
    std::vector<GameBase*> engines;
    ResourceManager::MessageBoxHook oldBox;
    ResourceManager::QuitHook oldQuit;
    ErrorBoxHook oldErrorBox;
};

HostedEngines& hosted() {
    static HostedEngines h;
    return h;
}

}  // namespace

void GameBase::HookHost() {
    if (hostHooks_) return;
    HostedEngines& h = hosted();
    if (h.engines.empty()) {
        h.oldBox = ResourceManager::SetMessageBoxHook(&GameBase::ShowBoxOnHost);
        h.oldQuit = ResourceManager::SetQuitHook(&GameBase::QuitOnHost);
        h.oldErrorBox = SetErrorBoxHook(&GameBase::ShowErrorBoxOnHost);
    }
    h.engines.push_back(this);
    hostHooks_ = true;
}

void GameBase::UnhookHost() {
    if (!hostHooks_) return;
    hostHooks_ = false;
    HostedEngines& h = hosted();
    std::erase(h.engines, this);
    if (!h.engines.empty()) return;
    ResourceManager::SetMessageBoxHook(std::move(h.oldBox));
    ResourceManager::SetQuitHook(std::move(h.oldQuit));
    SetErrorBoxHook(std::move(h.oldErrorBox));
    h.oldBox = nullptr;
    h.oldQuit = nullptr;
    h.oldErrorBox = nullptr;
}

void GameBase::ShowBoxOnHost(const std::string& text) {
    const HostedEngines& h = hosted();
    if (!h.engines.empty() && h.engines.back()->host_)
        h.engines.back()->host_->ShowMessageBox(text, "");
}

void GameBase::ShowErrorBoxOnHost(const std::string& text, const std::string& caption) {
    const HostedEngines& h = hosted();
    if (!h.engines.empty() && h.engines.back()->host_)
        h.engines.back()->host_->ShowErrorBox(text, caption);
}

void GameBase::QuitOnHost() {
    const HostedEngines& h = hosted();
    if (!h.engines.empty() && h.engines.back()->host_) h.engines.back()->host_->Quit();
}

void GameBase::SetHost(EngineHost* host) {
    host_ = host;
    if (host)
        HookHost();
    else
        UnhookHost();
    if (mouse_) mouse_->SetHost(host);
}

void GameBase::ResetSettings() {
    scrollStep_ = 5;
    fixedLogicalSize_ = false;
    logicalWidth_ = logicalHeight_ = 0;
    deviceWidth_ = deviceHeight_ = 0;
}

void GameBase::SetFixedLogicalSize(int width, int height) {
    fixedLogicalSize_ = true;
    logicalWidth_ = NonNegative(width);
    logicalHeight_ = NonNegative(height);
    // Once the screen is up the buffers must take the new size at once: the next frame is
    // rendered into them at this size.
    if (!screenReady_) return;
    if (logicalWidth_ > Canvas::kMaxSide || logicalHeight_ > Canvas::kMaxSide)
        logicalWidth_ = logicalHeight_ = 0;
    kernel_.GetCanvas().EnsureBackBuffer(logicalWidth_, logicalHeight_);
    BuildLogicalBuffers();
    current_ = Buffer::None;
}

void* GameBase::GetCurrentWinApp() const {
    return host_ ? host_->CurrentApp() : nullptr;
}

void GameBase::SetWindowPos(int x, int y) {
    windowX_ = x;
    windowY_ = y;
}

void GameBase::Log(std::string_view text) {
    if (logOn_) WriteLogText(text);
}

ObjectBase* GameBase::AddObject(std::unique_ptr<ObjectBase> object) {
    ObjectBase* o = kernel_.RegisterObject(std::move(object));
    if (!o) return nullptr;
    o->SetKernel(&kernel_);
    ControlData* c = kernel_.CreateControl();
    c->owner = o;
    o->SetControlId(c->id);
    o->OnCreated();
    return o;
}

void GameBase::Init() {
    Log("GameBase系统初始化开始...");
    SetKernel(&kernel_);
    auto mouse = std::make_unique<MouseManager>();
    mouse_ = mouse.get();
    mouse_->SetHost(host_);
    AddObject(std::move(mouse));
    kernel_.SetMouseControl(mouse_->ControlId());
    CreateScriptEngine();
    SetFrameInterval(30);
    kernel_.GetCanvas().SetRenderMode(1);
    kernel_.GetCanvas().SetBackgroundMode(4);
    pendingDestroy_.clear();
    InitDefaultFont();
    GetResourceManager().AddUser();
    showFrameTime_ = false;
}

void GameBase::CreateScriptEngine() {
    if (!g_scriptFactory) return;
    std::unique_ptr<ObjectBase> object = g_scriptFactory();
    auto* engine = dynamic_cast<ScriptEngine*>(object.get());
    if (!engine) return;
    AddObject(std::move(object));
    script_ = engine;
    GetResourceManager().SetScriptEngine(engine);
    engine->EnableCreateFunctions();
    engine->EnableObjectFunctions();
    engine->EnableResourceFunctions();
}

void GameBase::InitDefaultFont() {
    TextLayout& layout = GetResourceManager().GetTextLayout();
    layout.SetFont(20, 400, "宋体", 0, 0);
    TextStyle style;
    layout.GetStyle(style);
    style.wrap = 1;
    layout.SetStyle(style);
}

void GameBase::SetFrameInterval(uint32_t ms) {
    frameInterval_ = ms;
    kernel_.SetFrameInterval(ms);
}

void GameBase::BuildLogicalBuffers() {
    const size_t n = size_t(logicalWidth_) * size_t(logicalHeight_);
    back_.assign(n, 0);
    overlay_.assign(n, 0);
}

void GameBase::BuildStretchBuffer() {
    stretch_.assign(size_t(deviceWidth_) * size_t(deviceHeight_), 0);
    stretchStale_ = true;
}

void GameBase::InitScreen(int width, int height) {
    Log("GameBase初始化屏幕...");
    deviceWidth_ = NonNegative(width);
    deviceHeight_ = NonNegative(height);
    if (fixedLogicalSize_) {
        if (logicalWidth_ == 0 || logicalHeight_ == 0) Log("警告，0值初始化逻辑屏幕!");
    } else {
        logicalWidth_ = deviceWidth_;
        logicalHeight_ = deviceHeight_;
    }
    if (logicalWidth_ > Canvas::kMaxSide || logicalHeight_ > Canvas::kMaxSide) {
        logicalWidth_ = logicalHeight_ = 0;
    }
    kernel_.GetCanvas().InitScreen(32, logicalWidth_, logicalHeight_);
    BuildLogicalBuffers();
    DrawSurface surface{back_.data(), logicalWidth_, logicalHeight_};
    if (kernel_.Render(surface) >= 0) current_ = Buffer::Back;
    BuildStretchBuffer();
    screenReady_ = true;
    Log("GameBase图形引擎初始化完毕...!");
}

void GameBase::SetScreen(int width, int height) {
    deviceWidth_ = NonNegative(width);
    deviceHeight_ = NonNegative(height);
    BuildStretchBuffer();
    if (!fixedLogicalSize_ && deviceWidth_ <= Canvas::kMaxSide &&
        deviceHeight_ <= Canvas::kMaxSide) {
        logicalWidth_ = deviceWidth_;
        logicalHeight_ = deviceHeight_;
        kernel_.GetCanvas().EnsureBackBuffer(logicalWidth_, logicalHeight_);
        BuildLogicalBuffers();
        current_ = Buffer::None;
    } else if (current_ == Buffer::Stretch) {
        current_ = Buffer::Back;
    }
}

bool GameBase::DrawFpsOverlay() {
    if (!showFrameTime_ && !showDirtyAreas_) return false;
    overlay_ = back_;
    OnDrawOverlay();
    if (showFrameTime_) {
        char text[32];
        std::snprintf(text, sizeof text, "FCT:%d", frameTime_);
        TextLayout& layout = GetResourceManager().GetTextLayout();
        const uint32_t old = layout.Style().colour;
        layout.SetColor(kOverlayTextColour);
        layout.DrawText(overlay_.data(), logicalWidth_, logicalHeight_, 0, 0, text);
        layout.SetColor(old);
    }
    if (showDirtyAreas_) {
        for (const Rect& r : kernel_.GetCanvas().DirtyRects())
            OutlineRect(overlay_, logicalWidth_, logicalHeight_, r);
    }
    return true;
}

void GameBase::SetOverlay(bool& shown, bool on) {
    if (shown == on) return;
    shown = on;
    // The overlay covers the whole screen and only frames that draw refresh it: the next
    // frame puts all of it on the screen again, so the overlay comes at once and leaves no
    // pixel behind.
    overlayChanged_ = true;
}

int GameBase::MsUntilWork() {
    if (kernel_.GetMessageCount() > 0) return 0;
    const uint32_t now = GetEngineTimeMs();
    uint32_t work = kernel_.MsUntilApplyDue(now);
    // A change of the canvas waits for the next frame only while frames are drawn.
    const bool drawn = host_ && host_->IsMainWindowVisible();
    if (drawn && (kernel_.GetCanvas().HasDirtyRects() || stretchStale_ || overlayChanged_))
        work = 0;
    // The looping music's end is looked for at the pump, a few times a second.
    if (kernel_.GetSoundPlayer().MusicLooping()) work = std::min(work, kMusicPollMs);
    if (work == GameKernel::kNothingDue) return -1;
    const uint32_t frame = kernel_.MsUntilFrameDue(now);
    return int(std::min<uint32_t>(std::max(work, frame), 0x7FFFFFFF));
}

void GameBase::Render() {
    changed_.clear();
    if (!host_ || !host_->IsMainWindowVisible()) return;
    DrawSurface surface{back_.data(), logicalWidth_, logicalHeight_};
    const bool drew = kernel_.Render(surface) >= 0;
    const bool overlayChanged = overlayChanged_;
    overlayChanged_ = false;
    if (!drew && !stretchStale_ && !overlayChanged) return;
    if (drew) current_ = Buffer::Back;
    const bool overlay = DrawFpsOverlay();
    if (overlay)
        current_ = Buffer::Overlay;
    else if (current_ == Buffer::Overlay)
        current_ = Buffer::Back;
    const Rect logical{0, 0, logicalWidth_, logicalHeight_};
    // The canvas's dirty rectangles are what it copied into the back buffer this frame; the
    // overlay (frame time, dirty outlines) covers the whole screen.
    std::vector<Rect> areas;
    if (drew && !overlay && !overlayChanged && !kernel_.GetCanvas().FullScreen()) {
        for (const Rect& r : kernel_.GetCanvas().DirtyRects())
            if (const Rect c = IntersectRect(r, logical); !c.empty()) areas.push_back(c);
    } else {
        areas.push_back(logical);
    }
    if (logicalWidth_ == deviceWidth_ && logicalHeight_ == deviceHeight_) {
        if (drew || overlayChanged) changed_ = std::move(areas);
        stretchStale_ = false;
        return;
    }
    // A minimised window has no device size to scale to.
    if (deviceWidth_ == 0 || deviceHeight_ == 0) return;
    if (current_ == Buffer::None) return;
    const std::vector<uint32_t>& from = current_ == Buffer::Overlay ? overlay_ : back_;
    const platform::PixelBuffer32 src{const_cast<uint32_t*>(from.data()), logicalWidth_,
                                      logicalHeight_};
    const platform::PixelBuffer32 dst{stretch_.data(), deviceWidth_, deviceHeight_};
    if (stretchStale_) {
        if (!platform::StretchBilinear(src, dst)) return;
        stretchStale_ = false;
        changed_.push_back(Rect{0, 0, deviceWidth_, deviceHeight_});
        current_ = Buffer::Stretch;
        return;
    }
    // Each area's device pixels, with a pixel of the filter's reach around it: they are all
    // worked from the whole back buffer, so a wider area only costs time.
    const int64_t lw = logicalWidth_, lh = logicalHeight_, dw = deviceWidth_, dh = deviceHeight_;
    for (const Rect& r : areas) {
        const Rect d{int(std::max<int64_t>((r.left - 1) * dw / lw - 1, 0)),
                     int(std::max<int64_t>((r.top - 1) * dh / lh - 1, 0)),
                     int(std::min<int64_t>(((r.right + 1) * dw + lw - 1) / lw + 1, dw)),
                     int(std::min<int64_t>(((r.bottom + 1) * dh + lh - 1) / lh + 1, dh))};
        if (d.empty()) continue;
        platform::StretchBilinearRect(src, dst, d.left, d.top, d.right, d.bottom);
        changed_.push_back(d);
    }
    current_ = Buffer::Stretch;
}

void GameBase::PaintTo() {
    if (!screenReady_ || !host_) return;
    switch (current_) {
        case Buffer::None:
            return;
        case Buffer::Back:
            host_->PresentFrame(back_.data(), logicalWidth_, logicalHeight_);
            return;
        case Buffer::Overlay:
            host_->PresentFrame(overlay_.data(), logicalWidth_, logicalHeight_);
            return;
        case Buffer::Stretch:
            host_->PresentFrame(stretch_.data(), deviceWidth_, deviceHeight_);
            return;
    }
}

int GameBase::TakeRedrawFlag() {
    return kernel_.GetCanvas().TakeFrameDrawn() ? 1 : 0;
}

int GameBase::Tick() {
    PumpMessages();
    if (!IsFrameDue()) return -1;
    const uint32_t start = GetEngineTimeMs();
    OnLogicTick();
    if (kernel_.HasApplies()) kernel_.RunDueApplies();
    Render();
    TakeRedrawFlag();
    return int(GetEngineTimeMs() - start);
}

void GameBase::Cleanup() {
    if (cleaned_) return;
    cleaned_ = true;
    OnCleanup();
    if (host_) host_->StopTimers();
    kernel_.ClearAll();
    kernel_.SetMouseControl(0);
    mouse_ = nullptr;
    if (script_ && GetResourceManager().GetScriptEngine() == script_)
        GetResourceManager().SetScriptEngine(nullptr);
    script_ = nullptr;
    GetResourceManager().ReleaseAll();
    back_.clear();
    overlay_.clear();
    current_ = Buffer::None;
    Log("GameBase系统清理完毕...!");
}

int GameBase::OnMessage(uint32_t, MessageData&, uint32_t) {
    return 1;
}

int GameBase::OnCustomCallback(MessageData&) {
    return 0;
}

int GameBase::ExecCommand(std::string_view text) {
    if (text == "/showsystem")
        ShowSystemInfo();
    else if (text == "/logon")
        logOn_ = true;
    else if (text == "/logoff")
        logOn_ = false;
    else if (text == "/showfps")
        SetOverlay(showFrameTime_, true);
    else if (text == "/hidefps")
        SetOverlay(showFrameTime_, false);
    else if (text == "/invalidate need")
        SetInvalidateMode(false);
    else if (text == "/invalidate fullscreen")
        SetInvalidateMode(true);
    else if (text == "/show invalidatearea")
        SetOverlay(showDirtyAreas_, true);
    else if (text == "/hide invalidatearea")
        SetOverlay(showDirtyAreas_, false);
    else if (text == "/endgame") {
        if (host_) host_->Quit();
    } else if (text == "/showgameset")
        ShowGameSet();
    else if (text == "/shinynova")
        OnExtraCommand();
    else
        return 0;
    return 1;
}

// ---- input ----------------------------------------------------------------------------------

void GameBase::ReleaseMouseButtons() {
    if (mouse_) mouse_->ReleaseButtons();
}

void GameBase::OnMouseMove(uint32_t flags, int x, int y) {
    // A minimised window has a device side of 0: nothing to convert by.
    if (deviceWidth_ != 0 && deviceHeight_ != 0 &&
        (logicalWidth_ != deviceWidth_ || logicalHeight_ != deviceHeight_)) {
        x = int(int64_t(x) * logicalWidth_ / deviceWidth_);
        y = int(int64_t(y) * logicalHeight_ / deviceHeight_);
    }
    if (mouse_) mouse_->OnMouseMove(x, y, flags);
}

void GameBase::OnMouseWheel(uint32_t flags, int delta, int x, int y) {
    if (mouse_) mouse_->OnMouseWheel(x, y, delta, flags);
}
void GameBase::OnLButtonDown(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnLButtonDown(x, y, flags);
}
void GameBase::OnLButtonUp(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnLButtonUp(x, y, flags);
}
void GameBase::OnRButtonDown(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnRButtonDown(x, y, flags);
}
void GameBase::OnRButtonUp(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnRButtonUp(x, y, flags);
}
void GameBase::OnMButtonDown(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnMButtonDown(x, y, flags);
}
void GameBase::OnMButtonUp(uint32_t flags, int x, int y) {
    if (mouse_) mouse_->OnMButtonUp(x, y, flags);
}
void GameBase::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t flags) {
    if (mouse_) mouse_->OnKeyDown(key, repeat, flags);
}
void GameBase::OnKeyUp(uint32_t key, uint32_t repeat, uint32_t flags) {
    if (mouse_) mouse_->OnKeyUp(key, repeat, flags);
}
void GameBase::OnHoverTimer(uint32_t) {
    if (mouse_) mouse_->OnHoverTimer();
}

// ---- the pump and the system callbacks ------------------------------------------------------

void GameBase::PumpMessages() {
    for (;;) {
        EngineMessage m = kernel_.PopMessage();
        if (m.code == 0) break;
        if (m.target) {
            kernel_.DeliverMessage(std::move(m), 0);
            continue;
        }
        const int handled = (m.code < 31 || m.code > 96) ? OnMessage(m.code, m.data, 0)
                                                         : OnSystemCallback(m.code, m.data);
        // A block the handler kept was taken out of the message; what is left is freed.
        if (handled) m.data.Free();
    }
    kernel_.GetSoundPlayer().PollMusicLoop();
}

void GameBase::EdgeScroll(const MouseState& s) {
    Canvas& canvas = kernel_.GetCanvas();
    const int w = canvas.Width();
    const int h = canvas.Height();
    const int step = scrollStep_;
    auto cursorTo = [&](int x, int y) {
        if (host_) host_->SetCursorPos(x + windowX_, y + windowY_);
    };
    if (s.x > w - 10 && s.x <= w) {
        cursorTo(w - 10, s.y);
        canvas.MoveViewCenter(step, 0);
    }
    if (s.x >= 0 && s.x < 10) {
        cursorTo(10, s.y);
        canvas.MoveViewCenter(-step, 0);
    }
    if (s.y >= 0 && s.y < 10) {
        cursorTo(s.x, 10);
        canvas.MoveViewCenter(0, -step);
    }
    if (s.y > h - 10 && s.y <= h) {
        cursorTo(s.x, h - 10);
        canvas.MoveViewCenter(0, step);
    }
}

int GameBase::SystemControlCallback(uint32_t code, const MouseState& s) {
    ControlData* c = kernel_.FindControl(s.hoveredControl);
    Entity* e = c ? kernel_.FindEntity(c->entityId) : nullptr;
    if (!e) return 1;
    switch (code) {
        case 37:
        case 40:
            e->SetAlpha(1.0);
            e->ApplyTransform();
            return 0;
        case 38:
            e->SetAlpha(0.8);
            e->ApplyTransform();
            return 0;
        case 39:
            e->SetAlpha(0.3);
            e->ApplyTransform();
            return 0;
        case 43:
            if (const EventSlot* slot = c->GetEvent(25))
                kernel_.DeliverMessage(
                    EngineMessage{slot->code, MessageData::Number(slot->data), slot->target}, 0);
            return 0;
        case 45:
            e->MoveBy(s.dx, s.dy);
            e->ApplyTransform();
            return 0;
        default:
            return 0;
    }
}

int GameBase::OnSystemCallback(uint32_t code, MessageData& data) {
    const MouseState* s = AsMouseState(data);
    if (code >= 35 && code <= 65) return s ? SystemControlCallback(code, *s) : 1;
    switch (code) {
        case 67:
            // The frame is named by its control id, found again now.
            if (!data.empty()) ResetButtonFrame(uint32_t(data.word()));
            return 0;
        case 66:
        case 68:
        case 81:
        case 87:
            return 0;
        case 82:
            if (s && host_) {
                char line[96];
                std::snprintf(line, sizeof line, "MousePoint:(%d,%d)\r\n", s->x, s->y);
                host_->ChatLine(line);
                std::snprintf(line, sizeof line, "GetObject:%u\r\n", s->hoveredControl);
                host_->ChatLine(line);
            }
            return 1;
        case 83:
            if (s) {
                ControlData* c = kernel_.FindControl(s->hoveredControl);
                if (Entity* e = c ? kernel_.FindEntity(c->entityId) : nullptr) {
                    const IPoint p = e->ScreenToLayer(s->x, s->y);
                    e->SetPosition(p.x, p.y);
                    e->ApplyTransform();
                }
            }
            return 1;
        case 84:
            if (mouse_) mouse_->RefreshHover();
            return 0;
        case 85:
            // The data names the cursor (a text the sender keeps or hands over). A control
            // event bound to 85 without data of its own carries the pointer's state: no name.
            if (s) return 0;
            if (const char* name = static_cast<const char*>(data.block())) SetCursorByName(name);
            return 0;
        case 86:
            if (s && kernel_.FindControl(s->hoveredControl)) EdgeScroll(*s);
            return 1;
        case 88:
            if (const char* text = static_cast<const char*>(data.block())) {
                // The texts closed since (their entities gone) leave room. A text closes in
                // a frame of the engine (its fade-out ends there): once a frame is enough to
                // look, where a look for every text posted walked them all each time.
                if (scriptErrorTexts_.size() >= kMaxScriptErrorTexts &&
                    scriptErrorTextsSeen_ != kernel_.LastNow()) {
                    scriptErrorTextsSeen_ = kernel_.LastNow();
                    std::erase_if(scriptErrorTexts_,
                                  [this](uint32_t id) { return !kernel_.FindEntity(id); });
                }
                if (scriptErrorTexts_.size() >= kMaxScriptErrorTexts) {
                    WriteLogText(text);
                    return 1;
                }
                ShowFloatingText(text, 1, 1000, kScreenCentre, kScreenCentre, 100, 80, 0, 0, 0);
                if (lastFloatingText_) scriptErrorTexts_.push_back(lastFloatingText_);
            }
            return 1;
        case 91:
            return OnCustomCallback(data);
        case 92:
            return OnCustomSignal();
        case 93:
            if (auto* object = reinterpret_cast<ObjectBase*>(data.word())) {
                if (object->ControlId() && kernel_.FindControl(object->ControlId()))
                    kernel_.DeleteControl(object->ControlId());
                else
                    kernel_.UnregisterObject(object);
            }
            return 0;
        case 94:
            if (auto* entity = reinterpret_cast<Entity*>(data.word()))
                kernel_.DestroyEntityTree(entity->GetId());
            return 0;
        case 95:
            if (auto* control = reinterpret_cast<ControlData*>(data.word()))
                kernel_.DeleteControl(control->id);
            return 0;
        default: {
            char line[96];
            std::snprintf(line, sizeof line, "警告：一个未响应的系统回调命令:%u", code);
            Log(line);
            return 1;
        }
    }
}

}  // namespace hqlv::engine
