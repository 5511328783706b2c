#pragma once
// Controls: an engine object with a control record bound to one entity, and the text button
// built on it (hover, press and disabled looks, sounds, a bound message that a click
// delivers, an optional hot key). The button the message box uses destroys its box after a
// click. Objects are found again by id after every handler: a handler may delete them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/game_object.h"

namespace hqlv::engine {

class PlaneEntity;

// The longest caption in GBK bytes (the field holds 256 with its terminator).
constexpr size_t kMaxCaptionBytes = 255;

// The longest prefix of a UTF-8 text whose GBK form has at most maxBytes bytes: a
// character is never split.
std::string CutToGbkBytes(std::string_view utf8, size_t maxBytes);

constexpr uint32_t kControlBindFlags = CTRL_DESTROY_ENTITY | CTRL_DELETE_WITH_ENTITY;  // 144

class ControlBase : public GameObject {
public:
    int Bind(Entity* entity);
    Entity* BoundEntity() const;
    // Each changes the bound entity and pushes it; all but SetAlpha and SetClipRect then
    // have the hover looked at again when the cursor's side of the entity changed.
    void MoveBy(int dx, int dy);
    void SetPosition(int x, int y);
    void SetZ(int z);
    void SetSize(int w, int h);
    void Scale(double fx, double fy);
    void SetAlpha(double alpha);
    void SetDrawFlags(uint32_t flags);
    void SetClipRect(const Rect& rect);
    void RotateBy(double delta);
    void SetRotation(double angle);
    void RotateAround(int cx, int cy, double delta);
    void Show();
    void Hide();
    void Enable(bool on);
    void BringToTop();
    void RemoveFromTop();
    void SetFocus();
    void ClearFocus();
    uint32_t AddChildControl(uint32_t childId);
    // The child record takes this control as its parent.
    uint32_t AddChildRecord(ControlData* child);
    // Posts the hover refresh (84) when the cursor entered or left the entity's box.
    void OnGeometryChanged();
    // Slots below 30; code 0 means the slot's own number; the message comes back here.
    uint32_t SetEvent(uint32_t slot, uint32_t code, uintptr_t data);
};

constexpr uint32_t LOOK_HOVER = 0x1;
constexpr uint32_t LOOK_NORMAL = 0x2;
constexpr uint32_t LOOK_PRESSED = 0x4;  // pressed or disabled
constexpr uint32_t kNoButtonColour = 0xFF00FF;

// The picture a button in image mode pastes under its caption: the source region and a word
// its owner keeps with it.
struct ButtonImage {
    uint32_t resourceId = 0;
    int32_t sx = 0;
    int32_t sy = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t extra = 0;
};

// What messages 72 and 73 copy out of and into a button: its looks, caption, colours, bound
// message, hot key and sounds. A button that takes a state keeps its own kernel, control and
// plane: those are what make it this button.
struct AdvButtonState {
    uint32_t textEntity = 0;
    uint32_t mode = 0;
    char caption[kMaxCaptionBytes + 1] = {};
    int32_t captionX = 0;
    int32_t captionY = 0;
    uint32_t backColour = 0;
    uint32_t baseColour = kNoButtonColour;
    uint32_t borderColour = kNoButtonColour;
    ButtonImage image;
    double imageAlpha = 1.0;
    double imageAngle = 0.0;
    uint32_t look = 0;
    uint32_t hotKey = 0;
    uint32_t boundCode = 0;
    uintptr_t boundData = 0;
    uint32_t boundTarget = 0;
    uint32_t soundEnter = 0;
    uint32_t soundPress = 0;
    uint32_t soundLeave = 0;
    uint32_t ownerWord = 0;
};

class AdvButton : public ControlBase {
public:
    uint32_t HandleMessage(EngineMessage& message) override { return OnMessage(message); }
    void OnCreated() override;  // binds enter, leave, press, release and click to itself
    void OnUnregister() override;

    // A plane of its own on layer 4 (alpha 1.0 until the normal look), bound message code only.
    void Create(uint32_t code, int x, int y, int width, int height, bool visible);
    void CreateEx(uint32_t target, uint32_t code, uintptr_t data, int x, int y, int width,
                  int height, bool visible);
    void SetTextFitted(std::string_view text, int marginX, int marginY, bool relayout,
                       int forcedHeight);
    void SetText(int x, int y, std::string_view text, bool relayout);
    void SetBackColor(uint32_t colour);
    void SetCaptionColor(uint32_t colour, bool relayout);
    void SetBaseColor(uint32_t colour, bool relayout);
    void SetBorderColor(uint32_t colour, bool relayout);
    // Image mode: the picture region is pasted under the caption at each relayout.
    void SetStateImages(const ButtonImage& image, double angle, double alpha, bool relayout);
    void SetSounds(uint32_t enter, uint32_t press, uint32_t leave);
    void SetOwnerWord(uint32_t word) { ownerWord_ = word; }
    uint32_t OwnerWord() const { return ownerWord_; }
    // The block that messages 75 and 76 copy out of and into, zeroed; size 0 drops it.
    void SetUserBlockSize(size_t size) { userBlock_.assign(size, 0); }
    std::vector<uint8_t>& UserBlock() { return userBlock_; }
    AdvButtonState SaveState() const;
    void LoadState(const AdvButtonState& state);
    void SetHotKey(uint32_t key) { hotKey_ = key; }
    void SetReleaseParent(bool on) { releaseParent_ = on; }
    void Relayout();

    uint32_t OnMessage(EngineMessage& message);
    PlaneEntity* TextEntity() const;
    uint32_t Look() const { return look_; }
    const std::string& Caption() const { return caption_; }

protected:
    void ApplyAlpha(double alpha);
    void PlaySound(uint32_t id);
    void DeliverBound();

    uint32_t textEntity_ = 0;  // the plane, found again by id
    uint32_t mode_ = 0;        // 2 base colour, 3 image, other values only the caption
    std::string caption_;
    int captionX_ = 0;
    int captionY_ = 0;
    uint32_t backColour_ = 0;
    uint32_t baseColour_ = kNoButtonColour;
    uint32_t borderColour_ = kNoButtonColour;
    uint32_t look_ = LOOK_HOVER | LOOK_NORMAL;
    uint32_t hotKey_ = 0;
    uint32_t boundCode_ = 0;
    uintptr_t boundData_ = 0;
    uint32_t boundTarget_ = 0;
    uint32_t soundEnter_ = 0;
    uint32_t soundPress_ = 0;
    uint32_t soundLeave_ = 0;
    ButtonImage image_;
    double imageAlpha_ = 1.0;
    double imageAngle_ = 0.0;
    uint32_t ownerWord_ = 0;
    std::vector<uint8_t> userBlock_;
    bool releaseParent_ = false;
};

// After a click the box it belongs to (its parent, with release-parent) or the button itself
// is destroyed.
class MessageBoxButton : public AdvButton {
public:
    uint32_t HandleMessage(EngineMessage& message) override;
};

}  // namespace hqlv::engine
