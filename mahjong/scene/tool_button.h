#pragma once
// A button of the table's toolbar: the engine's text button with a tip. Resting the pointer
// on it (hover hold) posts the tip for the scene to show (210055, a heap copy of the text);
// moving on or leaving after the hold posts 210056. Every other event is the engine
// button's.
#include <string>

#include "engine/core/controls.h"

namespace hqlv::mahjong {

class CMJToolButton : public engine::AdvButton {
public:
    uint32_t HandleMessage(engine::EngineMessage& message) override;
    // The button's text value, kept from the set-up: the tip it shows.
    void SetTipText(std::string text) { tip_ = std::move(text); }
    const std::string& TipText() const { return tip_; }
    // The event code its click posts (0: the click posts nothing).
    uint32_t ClickCode() const { return SaveState().boundCode; }
    void SetClickCode(uint32_t code) {
        engine::AdvButtonState state = SaveState();
        state.boundCode = code;
        LoadState(state);
    }

private:
    std::string tip_;
};

}  // namespace hqlv::mahjong
