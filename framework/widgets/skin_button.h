#pragma once
// The skinned push button of the panes and dialogs (the chat's face button and face cells
// among them): it paints its own background, image and caption in colours that depend on
// whether the pointer is over it or it has the focus, tracks the pointer, can act as a
// check box, can open a pop-up menu (posting the chosen command to its owner) or a web
// address, and shows a tooltip.
#include <QAbstractButton>
#include <QImage>
#include <QMenu>
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

class CSkinButton : public QAbstractButton {
public:
    enum ColorIndex { kBkIn = 0, kFgIn, kBkOut, kFgOut, kBkFocus, kFgFocus, kColorCount };

    explicit CSkinButton(QWidget* parent = nullptr);

    // 0, or 3 for an index of 6 or more.
    int SetColor(int index, ColorRef color, bool repaint = true);
    ColorRef color(int index) const { return colors_[static_cast<size_t>(index % kColorCount)]; }
    // 0, 3 for a bad index, 5 for a shade outside -255..255.
    int OffsetColor(int index, int shade, bool repaint = true);
    void ResetColors(bool repaint = true);
    // 0, or 6 for a style other than 0 and 1 (0: pressed contents move by (1,1); 1: (0,2)).
    int SetPressedStyle(int style, bool repaint = true);
    QPoint pressedOffset() const { return pressedOffset_; }
    void SetCheckBoxMode(bool on) { checkBox_ = on; }
    void SetCheck(bool checked);
    bool GetCheck() const { return checked_; }
    void SetFlat(bool flat) { flat_ = flat; }
    // The "in" image and the "out" image (shown while the pointer is away); greyOut makes
    // the out image a grey copy of the in image.
    void SetImages(const QImage& in, std::optional<QImage> out, bool greyOut = false);
    void SetTooltipText(const std::string& text);
    void SetURL(const std::string& address);
    const std::string& url() const { return url_; }
    // A pop-up menu whose chosen command goes to `owner` as a command message.
    void SetMenu(QMenu* menu, platform::Handle owner);
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
    void focusOutEvent(QFocusEvent*) override;
    void changeEvent(QEvent*) override;
    void nextCheckState() override {}
    virtual void OnDrawBackground(QPainter& p, const QRect& r);
    virtual void OnDrawBorder(QPainter&, const QRect&) {}

private:
    void OnClicked();
    bool Pressed() const;

    std::array<ColorRef, kColorCount> colors_{};
    bool flat_ = true, pointerIn_ = false, checkBox_ = false, checked_ = false;
    bool menuShown_ = false;
    QPoint pressedOffset_{1, 1};
    QImage in_;
    std::optional<QImage> out_;
    std::string url_;
    QPointer<QMenu> menu_;
    platform::Handle menuOwner_ = 0;
};

}  // namespace hqlv::framework
