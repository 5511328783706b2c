#pragma once
// A skinned strip of N slots into which buttons are seated; it can fade in when the cursor
// enters it and out when it leaves. Slots keep the seated buttons' control ids and look them
// up at each use: a button deleted elsewhere simply leaves its slot.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/controls.h"

namespace hqlv::engine {

struct SkinPiece {
    uint32_t resourceId = 0;
    int32_t sx = 0;
    int32_t sy = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t word = 0;
};

struct ButtonSkin {
    SkinPiece left;
    SkinPiece right;
    SkinPiece middle;
};

constexpr uint32_t FRAME_FADE_WITH_CURSOR = 0x1;
constexpr uint32_t FRAME_ENABLE_WHEN_SHOWN = 0x2;
constexpr uint32_t kFrameLinkFlags = 0x1806F;

class ButtonFrame : public ControlBase {
public:
    struct Slot {
        int dx = 0;
        int dy = 0;
        int width = 0;
        int height = 0;
        uint32_t controlId = 0;
    };

    uint32_t HandleMessage(EngineMessage& message) override;

    int Create(int count, const ButtonSkin* skin, uint32_t style);
    void SetStyle(uint32_t bits) { style_ |= bits; }
    int SetEvent(uint32_t slot, uint32_t code, uint32_t target);
    // → the control id of the button seated before, 0 for none or a bad index.
    uint32_t OnButton(uint32_t index, uint32_t buttonControl);
    uint32_t OffButton(uint32_t index);
    // The seated button's control, looked up now; a vanished one empties its slot.
    ControlData* GetButton(uint32_t index);
    int SetSlotCount(int count, const ButtonSkin* skin, int policy);
    void FadeTo(double step, double target);
    int PlaceButtons();
    void EnableButtons(bool on);
    void Layout();

    Entity* FrameEntity() const;
    const std::vector<Slot>& Slots() const { return slots_; }
    bool Shown() const { return shown_; }

private:
    void BuildPieces();
    void DestroyPieces();
    bool Inside(const MouseState& s) const;
    AdvButton* ButtonOf(ControlData* c) const;

    uint32_t frameEntity_ = 0;
    std::vector<Slot> slots_;
    std::vector<uint32_t> pieces_;
    bool initialised_ = false;
    uint32_t style_ = 0;
    std::optional<ButtonSkin> skin_;
    bool shown_ = false;
};

}  // namespace hqlv::engine
