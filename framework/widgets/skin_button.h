#pragma once
// The skinned push button of the panes and dialogs (the chat's face button and face cells,
// the tool view's buttons among them): it paints its own background, image and caption in
// colours that depend on whether the pointer is over it or it has the focus, tracks the
// pointer (only while its window is active, unless told to track always), can act as a
// check box, can open a pop-up menu (posting the chosen command to its owner) or a web
// address, plays a sound when the pointer enters and one on a click, shows its own cursor
// and a tooltip, and can lie transparently on its parent's background.
#include <QAbstractButton>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "framework/widgets/command_message.h"
#include "platform/core/message.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

using platform::ui::ColorRef;

// The colour `c` with `shade` added to each channel; a shade that would push a channel out
// of 0..255 is first reduced in magnitude to the largest that keeps every channel inside.
ColorRef OffsetColorRef(ColorRef c, int shade);
// The grey of a pixel: 0.299 red + 0.587 green + 0.114 blue, truncated.
int GreyOf(ColorRef c);
// A grey copy of an image: every pixel that is not black becomes its grey; alpha stays.
QImage GreyscaleCopy(const QImage& image);

// The program's icon resources by number, which `CSkinButton::SetIconResource` reads. The
// program carries none of its own; whoever has icons (a game, a test) registers them. A
// null picture removes the number.
void RegisterIconResource(int id, const QImage& icon);
QImage FindIconResource(int id);

class CSkinButton : public QAbstractButton {
public:
    enum ColorIndex { kBkIn = 0, kFgIn, kBkOut, kFgOut, kBkFocus, kFgFocus, kColorCount };
    // Where an image stands against the caption (one value for icons, one for bitmaps): the
    // 2 bit side by side (else stacked), the 1 bit the image first (left or above, else
    // right or below). Without a caption the image is centred.
    enum Align { kAlignBelow = 0, kAlignAbove = 1, kAlignRight = 2, kAlignLeft = 3 };
    // The "out" image argument that asks for a grey copy of the "in" image.
    static constexpr int kGreyCopy = -2;
    // Answers to the dialog manager's question for a dialog code.
    static constexpr uint32_t kDlgcDefPushButton = 0x0010;
    static constexpr uint32_t kDlgcUndefPushButton = 0x0020;
    // Button types as a dialog template gives them (the low five style bits).
    static constexpr uint32_t kBsDefPushButton = 0x0001;
    static constexpr uint32_t kBsCheckBit = 0x0002;

    explicit CSkinButton(QWidget* parent = nullptr);

    // The type the button was made with: the check bit makes a check box, the default
    // push-button type the default button; from then on the button draws itself.
    // A button knows no type of its own to read here (it is made in code, not from a
    // dialog's template), so the type is something its maker says, like its caption; one
    // made without it is a plain push button, which is what the type 0 of a template gives.
    void SubclassType(uint32_t type);
    // A new style keeps the button drawing itself; only the default flag follows it.
    void SetButtonStyle(uint32_t style, bool repaint = true);
    bool isDefaultButton() const { return default_; }
    uint32_t GetDlgCode() const { return default_ ? kDlgcDefPushButton : kDlgcUndefPushButton; }

    // 0, or 3 for an index of 6 or more.
    int SetColor(int index, ColorRef color, bool repaint = true);
    // The colour at an index; 0 for an index outside 0..5.
    ColorRef color(int index) const {
        return index >= 0 && index < kColorCount ? colors_[size_t(index)] : 0;
    }
    // 0, 3 for a bad index, 5 for a shade outside -255..255.
    int OffsetColor(int index, int shade, bool repaint = true);
    void ResetColors(bool repaint = true);
    // 0, or 6 for a style other than 0 and 1 (0: pressed contents move by (1,1); 1: (0,2)).
    int SetPressedStyle(int style, bool repaint = true);
    QPoint pressedOffset() const { return pressedOffset_; }
    void SetCheckBoxMode(bool on) { checkBox_ = on; }
    bool checkBoxMode() const { return checkBox_; }
    void SetCheck(bool checked);
    bool GetCheck() const { return checked_; }
    void SetFlat(bool flat) { flat_ = flat; }
    // Track the pointer even while the button's window is not the active one.
    void SetAlwaysTrack(bool on) { alwaysTrack_ = on; }
    // Alignment values (kAlign*) of the icon and of the bitmap; false for a value outside
    // 0..3, which changes nothing.
    bool SetAlign(int iconAlign, int bitmapAlign, bool repaint = true);
    int iconAlign() const { return iconAlign_; }
    int bitmapAlign() const { return bitmapAlign_; }

    // The "in" icon and the "out" icon (shown while the pointer is away and the button is
    // not pressed): 0, or 1 when an icon cannot be read (a null picture), and then both are
    // dropped. greyOut makes the out icon a grey copy of the in icon.
    int SetIcon(const QImage& in, std::optional<QImage> out, bool greyOut = false);
    // The same from the icon resources: an out id of 0 means none, kGreyCopy a grey copy.
    int SetIconResource(int inId, int outId);
    void SetImages(const QImage& in, std::optional<QImage> out, bool greyOut = false) {
        SetIcon(in, std::move(out), greyOut);
    }
    // Bitmaps drawn through their mask (the alpha channel): 0, or 1 as for icons.
    int SetBitmaps(const QImage& in, std::optional<QImage> out);

    // The tooltip's text; an inactive tooltip keeps its text but does not show.
    void SetTooltipText(const std::string& text, bool activate = true);
    bool tooltipActive() const { return tipActive_; }
    void SetURL(const std::string& address);
    const std::string& url() const { return url_; }
    // A pop-up menu whose chosen command goes to `owner` as a command message.
    void SetMenu(QMenu* menu, platform::Handle owner);
    // Sent to `window` (message, w: the menu about to show, l: parameter) just before the
    // pop-up menu shows, so that its owner can adjust it. A window of 0 sends nothing.
    void SetMenuCallback(platform::Handle window, uint32_t message, intptr_t parameter);
    // The cursor shown over the button (the button keeps it); none restores the arrow.
    void SetBtnCursor(std::optional<QCursor> cursor);
    // Sounds: a wave file (empty: none), or a wave resource of the program, with the wave
    // call's flags; one plays when the pointer enters (never cutting off a sound that is
    // playing), the other on a click.
    void SetSound(const std::string& file, uint32_t flags, bool onClick);
    void SetSoundResource(int id, uint32_t flags, bool onClick);
    // Draws the parent's background under the button instead of a colour. The background
    // is copied once, at the next drawing; calling this again takes it afresh, and so do a
    // change of the system colours and a move or resize of the button (the panes place
    // their buttons anew at every resize).
    void DrawTransparent(bool repaint = true);
    bool transparent() const { return transparent_; }

    // The "in" icon as set (null when none).
    const QImage& iconIn() const { return iconIn_; }
    bool pointerIn() const { return pointerIn_; }
    bool menuShown() const { return menuShown_; }
    // The colours a paint uses now: background and caption.
    ColorRef CurrentBackground() const;
    ColorRef CurrentTextColor() const;

    QSize sizeHint() const override { return {24, 24}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void changeEvent(QEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool event(QEvent*) override;
    void nextCheckState() override {}
    virtual void OnDrawBackground(QPainter& p, const QRect& r);
    virtual void OnDrawBorder(QPainter&, const QRect&) {}
    virtual void DrawTheIcon(QPainter& p, bool hasCaption, const QRect& item, QRect* caption,
                             bool pressed, bool disabled);
    virtual void DrawTheBitmap(QPainter& p, bool hasCaption, const QRect& item, QRect* caption,
                               bool pressed, bool disabled);
    virtual void DrawTheText(QPainter& p, const QString& text, const QRect& caption, bool pressed,
                             bool disabled);

private:
    struct Sound {
        std::string file;
        int resource = 0;
        uint32_t flags = 0;
    };
    void OnClicked();
    bool Pressed() const;
    void Track(const QPoint& pos);
    void ClearPointer();
    void Play(const std::optional<Sound>& sound, uint32_t extraFlags);
    // Places an image of `size` by an alignment value; `caption` shrinks to the rest.
    QPoint PlaceImage(QSize size, int align, bool hasCaption, const QRect& item,
                      QRect* caption) const;
    void HandFocusOn();
    void DropBackground();

    std::array<ColorRef, kColorCount> colors_{};
    bool flat_ = true, pointerIn_ = false, checkBox_ = false, checked_ = false;
    bool menuShown_ = false, default_ = false, alwaysTrack_ = false, drawBorder_ = true;
    bool transparent_ = false, focusLost_ = false, tipActive_ = true;
    int iconAlign_ = kAlignLeft, bitmapAlign_ = kAlignLeft;
    QPoint pressedOffset_{1, 1};
    QImage iconIn_, bitmapIn_;
    std::optional<QImage> iconOut_, bitmapOut_;
    QPixmap background_;  // the parent's pixels under the button, once taken
    std::string url_;
    QPointer<QMenu> menu_;
    platform::Handle menuOwner_ = 0;
    platform::Handle callbackWindow_ = 0;
    uint32_t callbackMessage_ = 0;
    intptr_t callbackParameter_ = 0;
    std::optional<Sound> enterSound_, clickSound_;
};

}  // namespace hqlv::framework
