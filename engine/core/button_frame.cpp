#include "engine/core/button_frame.h"

#include <cmath>
#include <cstring>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/plane.h"

namespace hqlv::engine {

Entity* ButtonFrame::FrameEntity() const {
    return Kernel() && frameEntity_ ? Kernel()->FindEntity(frameEntity_) : nullptr;
}

AdvButton* ButtonFrame::ButtonOf(ControlData* c) const {
    return c ? dynamic_cast<AdvButton*>(c->owner) : nullptr;
}

int ButtonFrame::Create(int count, const ButtonSkin* skin, uint32_t style) {
    GameKernel* k = Kernel();
    if (!k) return 0;
    style_ = style;
    if (skin) skin_ = *skin;
    Entity* e = k->CreateEntity(ENT_PLAIN, 0, 0, 0, 0, 0.0, 1, false, 1.0);
    e->AttachToCanvas(&k->GetCanvas(), 4);
    frameEntity_ = e->GetId();
    Bind(e);
    initialised_ = true;
    slots_.assign(size_t(std::max(count, 0)), Slot{});
    if (skin_) BuildPieces();
    return 1;
}

int ButtonFrame::SetEvent(uint32_t slot, uint32_t code, uint32_t target) {
    if (!initialised_) {
        WriteLogText("按键框控件设定错误，框体尚未初始化");
        return 0;
    }
    ControlData* c = Kernel()->FindControl(ControlId());
    return c ? int(c->SetEvent(slot, code, target, 0)) : 0;
}

uint32_t ButtonFrame::OnButton(uint32_t index, uint32_t buttonControl) {
    if (index >= slots_.size()) {
        WriteLogText("BUTTONFRAME::OnButton()错误,一个越界的请求");
        return 0;
    }
    Slot& slot = slots_[index];
    if (slot.controlId == buttonControl) return buttonControl;
    GameKernel* k = Kernel();
    ControlData* c = k->FindControl(buttonControl);
    Entity* frame = FrameEntity();
    Entity* face = c && c->entityId ? k->FindEntity(c->entityId) : nullptr;
    if (!face || !frame) return 0;
    const uint32_t previous = slot.controlId;
    slot.controlId = buttonControl;
    face->SetZ(frame->GetZ() + 2);
    k->LinkChildEntity(frame, face, kFrameLinkFlags);
    PlaceButtons();
    return previous;
}

uint32_t ButtonFrame::OffButton(uint32_t index) {
    if (index >= slots_.size()) {
        WriteLogText("BUTTONFRAME::OffButton()错误,一个越界的请求");
        return 0;
    }
    const uint32_t removed = std::exchange(slots_[index].controlId, 0);
    if (!removed) return 0;
    GameKernel* k = Kernel();
    ControlData* c = k->FindControl(removed);
    if (c && c->entityId) k->RemoveChildEntity(frameEntity_, c->entityId);
    PlaceButtons();
    return removed;
}

ControlData* ButtonFrame::GetButton(uint32_t index) {
    if (index >= slots_.size()) {
        WriteLogText("BUTTONFRAME::GetButton错误,一个越界的请求");
        return nullptr;
    }
    if (!slots_[index].controlId) return nullptr;
    ControlData* c = Kernel()->FindControl(slots_[index].controlId);
    if (!c) OffButton(index);
    return c;
}

int ButtonFrame::PlaceButtons() {
    Entity* frame = FrameEntity();
    if (!frame) return 0;
    int seated = 0;
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        ControlData* c = GetButton(i);
        Entity* face = c && c->entityId ? Kernel()->FindEntity(c->entityId) : nullptr;
        if (!face) continue;
        ++seated;
        const Slot& s = slots_[i];
        face->SetPosition(frame->GetX() + s.dx, frame->GetY() + s.dy);
        if ((s.width || s.height) && (s.width != face->GetWidth() || s.height != face->GetHeight()))
            face->SetSize(s.width, s.height);
        face->ApplyTransform();
        Kernel()->PostControlMessage(c->id, 14, MessageData{}, 0);
    }
    return seated;
}

void ButtonFrame::BuildPieces() {
    GameKernel* k = Kernel();
    Entity* frame = FrameEntity();
    if (!skin_ || !frame) return;
    const ButtonSkin& s = *skin_;
    const int n = int(slots_.size());
    frame->SetSize(s.left.width + s.right.width + n * s.middle.width, s.left.height);
    frame->ApplyTransform();
    pieces_.clear();
    for (int i = 0; i < n + 2; ++i) {
        const SkinPiece& p = i == 0 ? s.left : i == 1 ? s.right : s.middle;
        auto* e = static_cast<ImageEntity*>(k->CreateEntity(ENT_IMAGE, 0, 0, p.width, p.height, 0.0,
                                                            frame->GetZ() + 1, false, 1.0));
        e->SetImageEx(p.resourceId, p.sx, p.sy, p.width, p.height, p.word, kNoColour);
        e->AttachToCanvas(&k->GetCanvas(), 4);
        k->LinkChildEntity(frame, e, kFrameLinkFlags);
        pieces_.push_back(e->GetId());
    }
    Layout();
}

void ButtonFrame::DestroyPieces() {
    for (uint32_t id : pieces_) Kernel()->DestroyEntityTree(id);
    pieces_.clear();
}

void ButtonFrame::Layout() {
    Entity* frame = FrameEntity();
    if (!initialised_ || !frame || pieces_.size() != slots_.size() + 2) return;
    GameKernel* k = Kernel();
    int cursor = frame->GetX() - (frame->GetWidth() + 1) / 2;
    auto place = [&](uint32_t id) -> Entity* {
        Entity* e = k->FindEntity(id);
        if (!e) return nullptr;
        e->SetPosition(cursor + (e->GetWidth() + 1) / 2, frame->GetY());
        e->ApplyTransform();
        cursor += e->GetWidth();
        return e;
    };
    place(pieces_[0]);
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (Entity* e = place(pieces_[i + 2])) {
            slots_[i].dx = e->GetX() - frame->GetX();
            slots_[i].dy = e->GetY() - frame->GetY();
        }
    }
    place(pieces_[1]);
    PlaceButtons();
}

int ButtonFrame::SetSlotCount(int count, const ButtonSkin* skin, int policy) {
    const bool sameCount = count < 0 || size_t(count) == slots_.size();
    const bool sameSkin = !skin || (skin_ && std::memcmp(&*skin_, skin, sizeof *skin) == 0);
    if (sameCount && sameSkin) return -1;
    // The seated buttons leave the frame while its pieces are rebuilt: the frame's new size
    // would otherwise be passed on to them through the size link, squeezing each face by the
    // width of the slots taken away (down to nothing).
    GameKernel* k = Kernel();
    std::vector<uint32_t> seated;
    for (const Slot& s : slots_) {
        seated.push_back(s.controlId);
        const ControlData* c = s.controlId ? k->FindControl(s.controlId) : nullptr;
        if (c && c->entityId) k->RemoveChildEntity(frameEntity_, c->entityId);
    }
    const size_t n = count < 0 ? slots_.size() : size_t(count);
    slots_.assign(n, Slot{});
    DestroyPieces();
    if (skin) skin_ = *skin;
    if (skin_) BuildPieces();
    int dropped = 0;
    for (size_t i = 0; i < seated.size(); ++i) {
        if (!seated[i]) continue;
        if (i < n) {
            OnButton(uint32_t(i), seated[i]);
            continue;
        }
        ++dropped;
        if (policy == 1) k->DeleteControl(seated[i]);
    }
    PlaceButtons();
    return dropped;
}

void ButtonFrame::EnableButtons(bool on) {
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        if (on ? !shown_ : shown_) return;
        ControlData* c = GetButton(i);
        Entity* face = c && c->entityId ? Kernel()->FindEntity(c->entityId) : nullptr;
        if (!face || (face->GetType() != ENT_IMAGE && face->GetType() != ENT_PLANE)) continue;
        const uint32_t id = c->id;
        c->Enable(on);
        Kernel()->PostControlMessage(id, 14, MessageData{}, 0);
    }
}

void ButtonFrame::FadeTo(double step, double target) {
    Entity* frame = FrameEntity();
    if (!frame) return;
    PostKernelMessage(frameEntity_, 3, 1);
    if (step <= 0) {
        for (uint32_t i = 0; i < slots_.size(); ++i) {
            ControlData* c = GetButton(i);
            Entity* face = c && c->entityId ? Kernel()->FindEntity(c->entityId) : nullptr;
            if (!face) continue;
            if (face->GetType() == ENT_IMAGE)
                static_cast<ImageEntity*>(face)->SetColorWord(kNoColour);
            else if (face->GetType() == ENT_PLANE)
                static_cast<PlaneEntity*>(face)->SetBackColor(kNoColour);
            else
                continue;
            face->ApplyTransform();
            c->Enable(false);
        }
        ZoomAlphaTo(frame, step, target, 0, 0, 0, MessageData{}, 0, 0);
        return;
    }
    // The completion block is the frame's own message; it is freed once delivered, whatever
    // the frame answers.
    MouseState block;
    block.hoveredControl = ControlId();
    ZoomAlphaTo(frame, step, target, 0, 0, 14,
                MessageData::Owned(new MouseState(block), &FreeMouseState), 0, ControlId());
}

bool ButtonFrame::Inside(const MouseState& s) const {
    const Entity* frame = FrameEntity();
    if (!frame) return false;
    double x = s.x, y = s.y;
    if (frame->GetRotation() != 0.0) {
        const double phi = frame->GetRotation() * 3.14159 / 180.0;
        const double dx = x - frame->GetX(), dy = y - frame->GetY();
        x = frame->GetX() + dx * std::cos(phi) - dy * std::sin(phi);
        y = frame->GetY() + dx * std::sin(phi) + dy * std::cos(phi);
    }
    return frame->GetLeft() < x && x < frame->GetRight() && frame->GetTop() < y &&
           y < frame->GetBottom();
}

uint32_t ButtonFrame::HandleMessage(EngineMessage& m) {
    const MouseState* s = AsMouseState(m.data);
    if (m.code == 2 && (style_ & FRAME_FADE_WITH_CURSOR) && s) {
        if (Inside(*s) && !shown_) {
            shown_ = true;
            FadeTo(0.1, 1.0);
        }
    } else if (m.code == 3 && (style_ & FRAME_FADE_WITH_CURSOR) && s) {
        if (!Inside(*s) && shown_) {
            shown_ = false;
            EnableButtons(false);
            FadeTo(-0.1, 0.0);
        }
    } else if (m.code == 14 && (style_ & FRAME_ENABLE_WHEN_SHOWN)) {
        EnableButtons(true);
    }
    return 0;
}

}  // namespace hqlv::engine
