// The engine object's services for scenes: showing, moving and hit-testing entities, the
// mouse bindings, the engine's own buttons, the floating text and its box, and the entities
// left to be destroyed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/core/button_frame.h"
#include "engine/core/controls.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/core/script_engine.h"
#include "engine/render/blitter.h"
#include "engine/render/plane.h"

namespace hqlv::engine {

double FloatingFadeOutStep(int duration) {
    if (duration < 1000) return -0.1;
    if (duration <= 10000) return -100.0 / duration;
    return -0.01;
}

bool PointOverBox(int mx, int my, int cx, int cy, int w, int h, double degrees) {
    int x = mx, y = my;
    if (degrees != 0.0) {
        const double phi = degrees * 3.14159 / 180.0;
        const double dx = mx - cx, dy = cy - my;
        const double rx = std::round(dx * std::cos(phi) + dy * std::sin(phi));
        const double ry = std::round(dy * std::cos(phi) - dx * std::sin(phi));
        x = cx + int(rx);
        y = cy - int(ry);
    }
    const int hw = (w + 1) / 2, hh = (h + 1) / 2;
    return cx - hw < x && x < cx + hw && cy - hh < y && y < cy + hh;
}

uint32_t GameBase::SetControlEvent(ControlData* control, uint32_t slot, uint32_t code) {
    return control ? control->SetEvent(slot, code, 0, 0) : 0;
}

uint32_t GameBase::SetControlEventEx(ControlData* control, uint32_t slot, uint32_t code) {
    return control ? control->SetEventEx(slot, code, 0, 0) : 0;
}

GameBase::Point GameBase::GetMousePosition() const {
    if (!mouse_) return {};
    const MouseState& s = mouse_->State();
    return {s.x, s.y};
}

void GameBase::InvalidateAll() {
    kernel_.GetCanvas().InvalidateAll();
}

void GameBase::RefreshBackground() {
    kernel_.GetCanvas().RebuildBackgroundIfNeeded();
}

void GameBase::SetInvalidateMode(bool full) {
    kernel_.GetCanvas().SetFullScreenInvalidate(full);
}

int GameBase::IsMouseOverEntity(const Entity* e) const {
    if (!e || !mouse_) return 0;
    const MouseState& s = mouse_->State();
    return PointOverBox(s.x, s.y, e->GetX(), e->GetY(), e->GetWidth(), e->GetHeight(),
                        e->GetRotation())
               ? 1
               : 0;
}

void GameBase::ShowEntity(Entity* e, bool show) {
    if (!e) {
        Log("物体隐藏错误，一个不存在的物体");
        return;
    }
    if (show) {
        e->Show();
        e->ApplyTransform();
        if (e->GetHitMode() && IsMouseOverEntity(e) && mouse_) mouse_->RefreshHover();
    } else {
        e->Hide();
        e->ApplyTransform();
        if (e->GetHitMode() && mouse_ && mouse_->State().hoveredEntity == e->GetId())
            mouse_->RefreshHover();
    }
}

int GameBase::MoveEntity(Entity* e, int x, int y) {
    if (!e) {
        Log("物体移动错误，一个不存在的物体");
        return 0;
    }
    const uint32_t id = e->GetId();
    e->SetPosition(x, y);
    e->ApplyTransform();
    if (e->GetHitMode() && !IsMouseOverEntity(e) && mouse_) mouse_->RefreshHover();
    return mouse_ && mouse_->State().hoveredEntity == id ? 1 : 0;
}

void GameBase::SetMouseEvent(uint32_t slot, uint32_t code, uint32_t target) {
    if (slot >= kEventSlots) {
        Log("鼠标控件设置错误，不合理的状态值");
        return;
    }
    if (ControlData* c = mouse_ ? kernel_.FindControl(mouse_->ControlId()) : nullptr)
        c->SetEvent(slot, code, target, 0);
}

void GameBase::SetHoverDelay(uint32_t ms) {
    if (mouse_) mouse_->SetHoverDelay(ms);
}

AdvButton* GameBase::CreateAdvancedButton(uint32_t code, uint32_t target, int x, int y, int width,
                                          int height, bool visible) {
    auto* button = static_cast<AdvButton*>(AddObject(std::make_unique<MessageBoxButton>()));
    button->CreateEx(target, code, 0, x, y, width, height, visible);
    return button;
}

ButtonFrame* GameBase::CreateButtonFrame(int slotCount, const ButtonSkin* skin) {
    auto* frame = static_cast<ButtonFrame*>(AddObject(std::make_unique<ButtonFrame>()));
    frame->Create(slotCount, skin, 0);
    return frame;
}

namespace {
ButtonFrame* FrameOf(GameKernel& k, uint32_t control) {
    ControlData* c = k.FindControl(control);
    return c ? dynamic_cast<ButtonFrame*>(c->owner) : nullptr;
}
}  // namespace

void GameBase::ResetButtonFrame(uint32_t frameControl) {
    ButtonFrame* frame = FrameOf(kernel_, frameControl);
    if (!frame) return;
    for (uint32_t i = 0; i < frame->Slots().size(); ++i) {
        ControlData* c = frame->GetButton(i);
        Entity* face = c && c->entityId ? kernel_.FindEntity(c->entityId) : nullptr;
        if (!face || face->GetType() != ENT_IMAGE) continue;
        static_cast<ImageEntity*>(face)->SetColorWord(0);
        face->ApplyTransform();
        const uint32_t id = c->id;
        c->Enable(true);
        // The leave binding, found again: enabling may have changed the record.
        if (ControlData* again = kernel_.FindControl(id))
            if (const EventSlot* leave = again->GetEvent(3))
                kernel_.DeliverMessage(
                    EngineMessage{leave->code, MessageData::Number(leave->data), leave->target}, 0);
        if (!FrameOf(kernel_, frameControl)) return;
    }
}

void GameBase::AnimateButtonFrame(uint32_t frameControl, double step, double target) {
    ButtonFrame* frame = FrameOf(kernel_, frameControl);
    Entity* e = frame ? frame->FrameEntity() : nullptr;
    if (!e) return;
    PostKernelMessage(e->GetId(), 3, 1);
    if (step <= 0) {
        for (uint32_t i = 0; i < frame->Slots().size(); ++i) {
            ControlData* c = frame->GetButton(i);
            Entity* face = c && c->entityId ? kernel_.FindEntity(c->entityId) : nullptr;
            if (!face || face->GetType() != ENT_IMAGE) continue;
            static_cast<ImageEntity*>(face)->SetColorWord(kNoColour);
            face->ApplyTransform();
            c->Enable(false);
        }
        ZoomAlphaTo(e, step, target, 0, 0, 0, MessageData{}, 0, 0);
        return;
    }
    ZoomAlphaTo(e, step, target, 0, 0, 67, MessageData::Number(frameControl), 0, 0);
}

void GameBase::MessageBox(const FloatingText& r) {
    auto* plane = static_cast<PlaneEntity*>(kernel_.FindEntity(r.entityId));
    if (!plane || plane->GetType() != ENT_PLANE) return;
    // A plane that refused its size has no pixels to draw the box into.
    if (!plane->State()) {
        WriteLog("浮动文字的平面%dx%d无法建立", r.width, r.height);
        return;
    }
    plane->SetZ(10000 + std::rand() % 10000);
    plane->SetBaseColor(255);
    TextLayout& layout = GetResourceManager().GetTextLayout();
    plane->SetTextLayout(&layout, true);
    const int line = layout.Style().height;
    plane->FitToText(r.text);
    const bool buttons = (r.options & 1) || (r.options & 8);
    if (buttons) plane->Resize(plane->State()->width, plane->State()->height + 2 * line);
    plane->SetSize(plane->State()->width, plane->State()->height + line);
    plane->SetBaseColor(4178025);
    plane->SetTextColor(0xFFFFFF);
    plane->DrawText(0, 0, r.text);
    plane->DrawBorder(0);
    plane->ApplyTransform();
    if (ControlData* c = kernel_.ApplyControl(r.entityId, kControlBindFlags))
        c->SetEventEx(10, 35, 0, 0);  // dragging the box moves it (system code 45)
    struct Place {
        uint32_t code;
        int x;
        const char* caption;
    };
    std::vector<Place> places;
    const int left = plane->GetLeft(), width = plane->State()->width;
    if ((r.options & 1) && (r.options & 8)) {
        places = {{r.okCode, left + width / 3, "确定"},
                  {r.cancelCode, left + 2 * width / 3, "取消"}};
    } else if (r.options & 1) {
        places = {{r.okCode, plane->GetX(), "确定"}};
    }
    for (const Place& p : places) {
        AdvButton* b = CreateAdvancedButton(p.code, r.target, p.x, plane->GetBottom() - line,
                                            3 * line, 2 * line, true);
        b->SetBaseColor(0xFFFFFF, false);
        b->SetBorderColor(0, false);
        b->SetTextFitted(p.caption, 0, 0, true, 0);
        if (PlaneEntity* face = b->TextEntity()) {
            face->SetZ(plane->GetZ() + 1);
            face->ApplyTransform();
            b->SetReleaseParent(true);
            kernel_.LinkChildEntity(plane, face, 0x1802F);
        }
    }
}

uint32_t GameBase::ShowFloatingText(std::string_view text, uint32_t wait, int duration, int x,
                                    int y, int width, int height, uint32_t okCode,
                                    uint32_t cancelCode, uint32_t target) {
    FloatingText r;
    r.options = wait;
    r.text = CutToGbkBytes(text, kMaxFloatingTextBytes);
    r.okCode = okCode;
    r.cancelCode = cancelCode;
    r.target = target;
    r.width = width;
    r.height = height;
    r.duration = duration;
    if (x == kScreenCentre) x = kernel_.GetCanvas().Width() / 2;
    if (y == kScreenCentre) y = kernel_.GetCanvas().Height() / 2;
    lastFloatingText_ = 0;
    PlaneEntity* e = CreatePlaneEntity(4, x, y, width, height, kNoButtonColour);
    if (!e) return 0;
    r.entityId = e->GetId();
    if (!e->State()) {
        // A size the plane refuses: there is nothing to show.
        WriteLog("浮动文字的平面%dx%d无法建立", width, height);
        kernel_.DestroyEntityTree(r.entityId);
        return 0;
    }
    MessageBox(r);
    e = static_cast<PlaneEntity*>(kernel_.FindEntity(r.entityId));
    if (!e) return 0;
    lastFloatingText_ = r.entityId;
    e->SetAlpha(0.1);
    ShowEntity(e, true);
    const double step = FloatingFadeOutStep(duration);
    if (wait) {
        ZoomAlphaTo(e, 0.1, 1.0, 0, 0, 0, MessageData{}, 0, 0);
        const uint32_t out = ZoomAlphaTo(e, step, 0.0, 0, 0, 0, MessageData{}, 0, 0);
        PauseApply(out, 0);
        return 999999;
    }
    const uint32_t event = NewEventId();
    ZoomAlphaTo(e, 0.1, 1.0, event, 0, 0, MessageData{}, 0, 0);
    return ZoomAlphaTo(e, step, 0.0, event, 0, 0, MessageData{}, 1, 0);
}

std::string GameBase::ShowSystemInfo() {
    ResourceManager& rm = GetResourceManager();
    const ScriptEngine* script = rm.GetScriptEngine();
    const long counts[11] = {long(kernel_.GetEntityCount()),
                             long(kernel_.GetControlCount()),
                             long(kernel_.GetActiveApplyCount()),
                             long(rm.GetResourceCount()),
                             long(rm.GetPaletteCount()),
                             long(kernel_.GetObjectCount()),
                             long(rm.GetMemResBytes()),
                             long(kernel_.GetMessageCount()),
                             long(rm.GetSampleCount()),
                             script ? long(script->GetLoadedCount()) : 0L,
                             script ? long(script->GetRunningCount()) : 0L};
    const char* names[11] = {"实体",     "控件", "动画申请", "资源",     "调色板",  "核心类",
                             "系统内存", "消息", "音效",     "加载脚本", "运行脚本"};
    std::string text = "<rightmargin=20;leftmargin=20>";
    char item[96];
    for (int i = 0; i < 11; ++i) {
        std::snprintf(item, sizeof item, " %s：<color=%d>%ld<color=%d;break>", names[i], 255,
                      counts[i], 16777215);
        text += item;
    }
    ShowFloatingText(text, 1, 1000, kScreenCentre, kScreenCentre, 100, 80, 0, 0, 0);
    return text;
}

std::string GameBase::ShowGameSet() {
    char text[512];
    std::snprintf(
        text, sizeof text,
        "屏幕逻辑宽度:/c(%d)%d/c(%d)/n 屏幕逻辑高度:/c(%d)%d/c(%d)/n\t屏幕设备宽度:/c(%d)%d/"
        "c(%d)/n 屏幕设备高度:/c(%d)%d/c(%d)/n 鼠标移动速度:/c(%d)%d/c(%d)/n",
        255, logicalWidth_, 16777215, 255, logicalHeight_, 16777215, 255, deviceWidth_, 16777215,
        255, deviceHeight_, 16777215, 255, scrollStep_, 16777215);
    ShowFloatingText(text, 1, 1000, kScreenCentre, kScreenCentre, 100, 80, 0, 0, 0);
    return text;
}

namespace {
Entity* ControlEntity(GameKernel& k, const ControlData* c) {
    return c && c->entityId ? k.FindEntity(c->entityId) : nullptr;
}
}  // namespace

void GameBase::ShowControl(ControlData* control, bool show) {
    if (!control) {
        Log("控件操作（显示）错误，控件不存在");
        return;
    }
    Entity* e = ControlEntity(kernel_, control);
    if (!e) {
        Log("控件操作（显示）错误，控件未与实体绑定");
        return;
    }
    ShowEntity(e, show);
}

int GameBase::MoveControl(ControlData* control, int x, int y) {
    if (!control) {
        Log("控件移动错误，控件不存在");
        return 0;
    }
    return MoveEntity(ControlEntity(kernel_, control), x, y);
}

void GameBase::SetControlHighlight(ControlData* control, bool on) {
    Entity* e = ControlEntity(kernel_, control);
    if (!e) return;
    if (on) {
        e->SetAlpha(e->GetAlpha() + 0.2);
        e->ApplyTransform();
        // Click, press and release lighten and darken it (system codes 43, 39 and 40).
        control->SetEventEx(8, 35, 0, 0);
        control->SetEventEx(4, 35, 0, 0);
        control->SetEventEx(5, 35, 0, 0);
    } else {
        for (uint32_t slot : {8u, 4u, 5u}) control->SetEvent(slot, 0, 0, 0);
        e->SetAlpha(std::min(e->GetAlpha(), 1.0) - 0.2);
        e->ApplyTransform();
    }
}

void GameBase::BT_SetBackColor(ControlData* control, uint32_t colour) {
    if (!control) {
        Log("BT_SetBackColor::error，控件不存在");
        return;
    }
    Entity* e = ControlEntity(kernel_, control);
    if (!e || e->GetType() != ENT_IMAGE) {
        Log("BT_SetBackColor::error,Object is not a BIT_SINGLE");
        return;
    }
    static_cast<ImageEntity*>(e)->SetColorWord(colour);
    e->ApplyTransform();
}

void GameBase::ProcessPendingItems() {
    for (uint32_t id : pendingDestroy_) {
        PostKernelMessage(id, 3, 1);
        if (Entity* e = kernel_.FindEntity(id)) ReleaseEntityLater(e, 0, 0, 0, MessageData{});
    }
    pendingDestroy_.clear();
}

namespace {
PlaneState* PlaneOf(GameKernel& k, uint32_t entityId) {
    Entity* e = k.FindEntity(entityId);
    auto* plane = (e && e->GetType() == ENT_PLANE) ? static_cast<PlaneEntity*>(e) : nullptr;
    return plane ? plane->State() : nullptr;
}
}  // namespace

uint32_t GameBase::WritePlane(uint32_t entityId, int x, int y, std::string_view text,
                              TextLayout* layout) {
    PlaneState* s = PlaneOf(kernel_, entityId);
    if (!s) {
        WriteLogText("写平面错误,目标不存在!");
        return 0;
    }
    TextLayout& tl = layout ? *layout : GetResourceManager().GetTextLayout();
    tl.DrawText(s->pixels.data(), s->width, s->height, x, y, text);
    return 999999;
}

uint32_t GameBase::DrawPlane(uint32_t entityId, int x, int y, int width, int height,
                             uint32_t resourceId, int sx, int sy, int sw, int sh, double degrees,
                             double alpha, uint32_t tint) {
    PlaneState* s = PlaneOf(kernel_, entityId);
    if (!s) {
        WriteLogText("画平面错误,目标不存在!");
        return 0;
    }
    const EnginePicture* pic = LookupPicture(resourceId);
    if (!pic || s->pixels.empty()) return 0;
    const int srcW = sw > 0 ? sw : pic->width;
    const int srcH = sh > 0 ? sh : pic->frameHeight;
    if (width == 0) width = srcW;
    if (height == 0) height = srcH;
    // Worked out wide: a centre or size near the int range's end lands outside, not wrapped in.
    int64_t left, top, right, bottom;
    int32_t radius = 0;
    if (degrees != 0.0) {
        radius = int32_t(GetRotateRadius(width < 1 ? srcW : width, height < 1 ? srcH : height));
        left = int64_t(x) - radius, top = int64_t(y) - radius;
        right = int64_t(x) + radius, bottom = int64_t(y) + radius;
    } else {
        left = int64_t(x) - (int64_t(width) + 1) / 2, top = int64_t(y) - (int64_t(height) + 1) / 2;
        right = left + width, bottom = top + height;
    }
    if (right <= 0 || bottom <= 0 || left >= s->width || top >= s->height) return 0;
    DrawSurface dst;
    dst.pixels = s->pixels.data();
    dst.width = s->width;
    dst.height = s->height;
    dst.key = kNoColour;
    BlitParams b;
    b.angle = degrees;
    b.drawX = x;
    b.drawY = y;
    b.width = width;
    b.height = height;
    b.radius = radius;
    // A source side of 0 is the whole picture's.
    DrawImageEx(dst, b, *pic, sx, sy, srcW, srcH, alpha, tint);
    return 999999;
}

uint32_t GameBase::DrawPlaneCentered(uint32_t entityId, int x, int y, int width, int height,
                                     uint32_t resourceId, int sx, int sy, int sw, int sh,
                                     double degrees, double alpha, uint32_t tint) {
    const int64_t cx = int64_t(x) + width / 2, cy = int64_t(y) + height / 2;
    // A corner so far out that its centre leaves the int range is outside every plane.
    if (cx < INT32_MIN || cx > INT32_MAX || cy < INT32_MIN || cy > INT32_MAX) return 0;
    return DrawPlane(entityId, int32_t(cx), int32_t(cy), width, height, resourceId, sx, sy, sw, sh,
                     degrees, alpha, tint);
}

}  // namespace hqlv::engine
