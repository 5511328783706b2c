#include "engine/core/controls.h"

#include <algorithm>
#include <cstring>

#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/plane.h"
#include "platform/core/text.h"

namespace hqlv::engine {

std::string CutToGbkBytes(std::string_view utf8, size_t maxBytes) {
    size_t used = 0, i = 0;
    while (i < utf8.size()) {
        size_t len = 1;
        const uint8_t lead = uint8_t(utf8[i]);
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        len = std::min(len, utf8.size() - i);
        const size_t gbk = len == 1 ? 1 : platform::utf8ToGbk(utf8.substr(i, len)).size();
        if (used + gbk > maxBytes) break;
        used += gbk;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

// ---- ControlBase ----------------------------------------------------------------------------

int ControlBase::Bind(Entity* entity) {
    GameKernel* k = Kernel();
    return k ? k->BindControl(k->FindControl(ControlId()), entity, kControlBindFlags) : 0;
}

Entity* ControlBase::BoundEntity() const {
    GameKernel* k = Kernel();
    const ControlData* c = k ? k->FindControl(ControlId()) : nullptr;
    return c && c->entityId ? k->FindEntity(c->entityId) : nullptr;
}

namespace {
template <typename F>
void Change(ControlBase& c, bool geometry, F&& f) {
    Entity* e = c.BoundEntity();
    if (!e) return;
    f(*e);
    e->ApplyTransform();
    if (geometry) c.OnGeometryChanged();
}
}  // namespace

void ControlBase::MoveBy(int dx, int dy) {
    Change(*this, true, [&](Entity& e) { e.MoveBy(dx, dy); });
}
void ControlBase::SetPosition(int x, int y) {
    Change(*this, true, [&](Entity& e) { e.SetPosition(x, y); });
}
void ControlBase::SetZ(int z) {
    Change(*this, true, [&](Entity& e) { e.SetZ(z); });
}
void ControlBase::SetSize(int w, int h) {
    Change(*this, true, [&](Entity& e) { e.SetSize(w, h); });
}
void ControlBase::Scale(double fx, double fy) {
    Change(*this, true, [&](Entity& e) { e.Scale(fx, fy); });
}
void ControlBase::SetAlpha(double alpha) {
    Change(*this, false, [&](Entity& e) { e.SetAlpha(alpha); });
}
void ControlBase::SetDrawFlags(uint32_t flags) {
    Change(*this, true, [&](Entity& e) { e.SetDrawFlags(flags); });
}
void ControlBase::SetClipRect(const Rect& rect) {
    Change(*this, false, [&](Entity& e) { e.SetClipRect(rect); });
}
void ControlBase::RotateBy(double delta) {
    Change(*this, true, [&](Entity& e) { e.RotateBy(delta); });
}
void ControlBase::SetRotation(double angle) {
    Change(*this, true, [&](Entity& e) { e.SetRotation(angle); });
}
void ControlBase::RotateAround(int cx, int cy, double delta) {
    Change(*this, true, [&](Entity& e) { e.RotateAround(cx, cy, delta); });
}
void ControlBase::Show() {
    Change(*this, true, [](Entity& e) { e.Show(); });
}
void ControlBase::Hide() {
    Change(*this, true, [](Entity& e) { e.Hide(); });
}

void ControlBase::BringToTop() {
    if (!Kernel()) return;
    Kernel()->BringControlToTop(ControlId());
    Kernel()->PostMessage(84, MessageData{});
}

void ControlBase::RemoveFromTop() {
    if (!Kernel()) return;
    Kernel()->RemoveControlFromTop(ControlId());
    Kernel()->PostMessage(84, MessageData{});
}

void ControlBase::SetFocus() {
    if (Kernel()) Kernel()->SetTopControl(ControlId());
}

void ControlBase::ClearFocus() {
    if (Kernel()) Kernel()->SetTopControl(0);
}

uint32_t ControlBase::AddChildControl(uint32_t childId) {
    // The kernel is handed the given id first and this control second, as it always was.
    return Kernel() ? Kernel()->AddChildControl(childId, ControlId()) : 0;
}

uint32_t ControlBase::AddChildRecord(ControlData* child) {
    GameKernel* k = Kernel();
    return k ? k->AddChildControlRecord(k->FindControl(ControlId()), child) : 0;
}

void ControlBase::OnGeometryChanged() {
    Entity* e = BoundEntity();
    const MouseState* s = GetMouseState();
    if (!e || !s || !e->GetHitMode()) return;
    const bool inside = PointOverBox(s->x, s->y, e->GetX(), e->GetY(), e->GetWidth(),
                                     e->GetHeight(), e->GetRotation());
    const bool hovered = s->hoveredEntity == e->GetId();
    if (hovered != inside) Kernel()->PostMessage(84, MessageData{});
}

void ControlBase::Enable(bool on) {
    GameKernel* k = Kernel();
    ControlData* c = k ? k->FindControl(ControlId()) : nullptr;
    if (!c) return;
    // Enabling sends the look messages to the owner, which may be this very object.
    const uint32_t id = ControlId();
    c->Enable(on);
    if (k->FindControl(id)) OnGeometryChanged();
}

uint32_t ControlBase::SetEvent(uint32_t slot, uint32_t code, uintptr_t data) {
    GameKernel* k = Kernel();
    ControlData* c = k ? k->FindControl(ControlId()) : nullptr;
    if (!c || slot >= kEventSlots) return 0;
    return c->SetEvent(slot, code ? code : slot, ControlId(), data);
}

// ---- AdvButton ------------------------------------------------------------------------------

void AdvButton::OnCreated() {
    for (uint32_t slot : {2u, 3u, 4u, 5u, 8u}) SetEvent(slot, slot, 0);
}

void AdvButton::OnUnregister() {
    userBlock_ = {};
}

PlaneEntity* AdvButton::TextEntity() const {
    GameKernel* k = Kernel();
    Entity* e = k && textEntity_ ? k->FindEntity(textEntity_) : nullptr;
    return e && e->GetType() == ENT_PLANE ? static_cast<PlaneEntity*>(e) : nullptr;
}

void AdvButton::ApplyAlpha(double alpha) {
    if (PlaneEntity* e = TextEntity()) {
        e->SetAlpha(alpha);
        e->ApplyTransform();
    }
}

void AdvButton::PlaySound(uint32_t id) {
    if (id && Kernel()) Kernel()->GetSoundPlayer().PlayResourceSound(int(id), "sound");
}

void AdvButton::DeliverBound() {
    if (boundCode_ && Kernel())
        Kernel()->DeliverMessage(
            EngineMessage{boundCode_, MessageData::Number(boundData_), boundTarget_}, 0);
}

void AdvButton::Create(uint32_t code, int x, int y, int width, int height, bool visible) {
    GameKernel* k = Kernel();
    if (!k) return;
    auto* e = static_cast<PlaneEntity*>(
        k->CreateEntity(ENT_PLANE, x, y, width, height, 0.0, 1, visible, 1.0));
    e->Create(width, height, kNoButtonColour);
    e->AttachToCanvas(&k->GetCanvas(), 4);
    textEntity_ = e->GetId();
    e->SetBackColor(backColour_);
    ApplyAlpha(0.8);
    Bind(e);
    boundCode_ = code;
}

void AdvButton::CreateEx(uint32_t target, uint32_t code, uintptr_t data, int x, int y, int width,
                         int height, bool visible) {
    PlaneEntity* e = CreatePlaneEntity(4, x, y, width, height, kNoButtonColour);
    if (!e) return;
    textEntity_ = e->GetId();
    e->SetBackColor(backColour_);
    if (visible)
        e->Show();
    else
        e->Hide();
    e->ApplyTransform();
    ApplyAlpha(0.8);
    Bind(e);
    boundCode_ = code;
    boundData_ = data;
    boundTarget_ = target;
}

void AdvButton::SetText(int x, int y, std::string_view text, bool relayout) {
    caption_ = CutToGbkBytes(text, kMaxCaptionBytes);
    captionX_ = x;
    captionY_ = y;
    if (relayout) Relayout();
}

void AdvButton::SetTextFitted(std::string_view text, int marginX, int marginY, bool relayout,
                              int forcedHeight) {
    caption_ = CutToGbkBytes(text, kMaxCaptionBytes);
    if (PlaneEntity* e = TextEntity()) {
        PlaneState* s = e->State();
        const TextOffset at =
            FitTextInBox(s->width, s->height, caption_, s->style, marginX, marginY, forcedHeight);
        captionX_ = at.x;
        captionY_ = at.y;
    }
    if (relayout) Relayout();
}

void AdvButton::SetBackColor(uint32_t colour) {
    backColour_ = colour;
    if (PlaneEntity* e = TextEntity()) e->SetBackColor(colour);
}

void AdvButton::SetCaptionColor(uint32_t colour, bool relayout) {
    if (PlaneEntity* e = TextEntity()) e->SetTextColor(colour);
    if (relayout) Relayout();
}

void AdvButton::SetBaseColor(uint32_t colour, bool relayout) {
    baseColour_ = colour;
    mode_ = 2;
    if (relayout) Relayout();
}

void AdvButton::SetBorderColor(uint32_t colour, bool relayout) {
    borderColour_ = colour;
    if (relayout) Relayout();
}

void AdvButton::SetStateImages(const ButtonImage& image, double angle, double alpha,
                               bool relayout) {
    image_ = image;
    imageAngle_ = angle;
    imageAlpha_ = alpha;
    mode_ = 3;
    if (relayout) Relayout();
}

AdvButtonState AdvButton::SaveState() const {
    AdvButtonState st;
    st.textEntity = textEntity_;
    st.mode = mode_;
    const size_t n = std::min(caption_.size(), kMaxCaptionBytes);
    std::memcpy(st.caption, caption_.data(), n);
    st.captionX = captionX_;
    st.captionY = captionY_;
    st.backColour = backColour_;
    st.baseColour = baseColour_;
    st.borderColour = borderColour_;
    st.image = image_;
    st.imageAlpha = imageAlpha_;
    st.imageAngle = imageAngle_;
    st.look = look_;
    st.hotKey = hotKey_;
    st.boundCode = boundCode_;
    st.boundData = boundData_;
    st.boundTarget = boundTarget_;
    st.soundEnter = soundEnter_;
    st.soundPress = soundPress_;
    st.soundLeave = soundLeave_;
    st.ownerWord = ownerWord_;
    return st;
}

void AdvButton::LoadState(const AdvButtonState& st) {
    mode_ = st.mode;
    // The caption is read only up to its terminator or the end of its field.
    caption_.assign(st.caption, strnlen(st.caption, kMaxCaptionBytes));
    captionX_ = st.captionX;
    captionY_ = st.captionY;
    backColour_ = st.backColour;
    baseColour_ = st.baseColour;
    borderColour_ = st.borderColour;
    image_ = st.image;
    imageAlpha_ = st.imageAlpha;
    imageAngle_ = st.imageAngle;
    look_ = st.look;
    hotKey_ = st.hotKey;
    boundCode_ = st.boundCode;
    boundData_ = st.boundData;
    boundTarget_ = st.boundTarget;
    soundEnter_ = st.soundEnter;
    soundPress_ = st.soundPress;
    soundLeave_ = st.soundLeave;
    ownerWord_ = st.ownerWord;
}

void AdvButton::SetSounds(uint32_t enter, uint32_t press, uint32_t leave) {
    soundEnter_ = enter;
    soundPress_ = press;
    soundLeave_ = leave;
}

void AdvButton::Relayout() {
    PlaneEntity* e = TextEntity();
    if (!e) return;
    e->SetBackColor(backColour_);
    e->Fill();
    if (mode_ == 2) e->SetBaseColor(baseColour_);
    if (mode_ == 3)
        e->PasteImage(0, 0, image_.resourceId, image_.sx, image_.sy, image_.width, image_.height, 0,
                      0, imageAngle_, imageAlpha_, kNoButtonColour);
    if (borderColour_ != kNoButtonColour) e->DrawBorder(borderColour_);
    double alpha;
    if (e->IsVisible()) {
        alpha = (look_ & LOOK_PRESSED) ? 0.3 : (look_ & LOOK_HOVER) ? 1.0 : 0.8;
    } else {
        look_ = (look_ | LOOK_NORMAL) & ~LOOK_HOVER;
        const ControlData* c = Kernel()->FindControl(ControlId());
        alpha = c && c->IsClickable() ? 0.8 : 0.3;
    }
    e->DrawText(captionX_, captionY_, caption_);
    e->SetAlpha(alpha);
    e->ApplyTransform();
}

uint32_t AdvButton::OnMessage(EngineMessage& m) {
    const MouseState* s = AsMouseState(m.data);
    switch (m.code) {
        case 2:
            look_ = (look_ | LOOK_HOVER) & ~LOOK_NORMAL;
            PlaySound(soundEnter_);
            ApplyAlpha(1.0);
            break;
        case 3:
            look_ = (look_ & ~LOOK_HOVER) | LOOK_NORMAL;
            PlaySound(soundLeave_);
            ApplyAlpha(0.8);
            break;
        case 4:
            look_ |= LOOK_PRESSED;
            PlaySound(soundPress_);
            ApplyAlpha(0.3);
            break;
        case 5:
            look_ = LOOK_NORMAL;
            ApplyAlpha(1.0);
            break;
        case 8:
            DeliverBound();
            break;
        case 10:
            if (s) SetPosition(s->x, s->y);
            break;
        case 14:
            Relayout();
            break;
        case 22: {
            const ControlData* c = Kernel() ? Kernel()->FindControl(ControlId()) : nullptr;
            const PlaneEntity* e = TextEntity();
            if (s && hotKey_ && s->keyDown == hotKey_ && c && c->IsClickable() && e &&
                e->IsVisible()) {
                PlaySound(soundPress_);
                DeliverBound();
            }
            break;
        }
        case 69:
            look_ |= LOOK_PRESSED;
            ApplyAlpha(0.3);
            break;
        case 70:
            look_ &= ~LOOK_PRESSED;
            ApplyAlpha(0.8);
            break;
        case 71:
            if (const char* text = static_cast<const char*>(m.data.block()))
                SetTextFitted(text, 0, 0, true, 0);
            break;
        case 72:
            if (auto* out = static_cast<AdvButtonState*>(m.data.block())) *out = SaveState();
            return 0;
        case 73:
            if (const auto* in = static_cast<const AdvButtonState*>(m.data.block())) LoadState(*in);
            return 0;
        case 75:
            if (m.data.block() && !userBlock_.empty())
                std::memcpy(m.data.block(), userBlock_.data(), userBlock_.size());
            return 0;
        case 76:
            if (m.data.block() && !userBlock_.empty())
                std::memcpy(userBlock_.data(), m.data.block(), userBlock_.size());
            return 0;
        default:
            break;
    }
    return 1;
}

uint32_t MessageBoxButton::HandleMessage(EngineMessage& m) {
    // The bound message may delete this button (its box closed by whoever receives it):
    // everything needed afterwards is taken now, and nothing of this object is read after.
    GameKernel* k = Kernel();
    const uint32_t entity = textEntity_;
    const bool releaseParent = releaseParent_;
    const uint32_t result = OnMessage(m);
    if (m.code != 8 || !k) return result;
    Entity* e = k->FindEntity(entity);
    if (!e) return result;
    const uint32_t doomed = releaseParent && e->GetParent() ? e->GetParent()->GetId() : entity;
    k->DestroyEntityTree(doomed);  // deletes this button with its control
    return result;
}

}  // namespace hqlv::engine
