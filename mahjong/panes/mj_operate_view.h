#pragma once
// CMJOperateView: the strip of four buttons at the top of the right-hand column, over a
// tiled background from the skin: help (1001), settings (1002), an unused button (1003)
// and quit (1004).
#include <QImage>

#include <array>
#include <optional>

#include "framework/panes/form_view.h"

class QPushButton;

namespace hqlv::mahjong {

inline constexpr int kOperateButtons = 4;
inline constexpr int kOperateFirstId = 1001;
// The skin's "BitmapResource" keys of the pictures of buttons 1001-1004.
inline constexpr const char* kOperateButtonSkinKeys[kOperateButtons] = {
    "OperateHelp", "OperateSet", "OperateIdle", "OperateQuit"};

// The places of buttons 1001-1004 for a client area of cx by cy and buttons of w by h:
// one column (1002, 1004, 1001, 1003 from the top) when stacked, else one row spaced by
// (cx - 4w) / 5, which may be negative.
std::array<QRect, kOperateButtons> OperateLayout(int cx, int cy, int w, int h, bool stacked);

class CMJOperateView : public framework::CGameFormView {
public:
    explicit CMJOperateView(QWidget* parent = nullptr);

    // The background, the button pictures and the button size from the current skin.
    virtual void LoadBackground();
    virtual void Layout(int cx, int cy);
    // Command 1001-1004.
    void OnCommand(int id);

    QPushButton* button(int id) const { return buttons_[size_t(id - kOperateFirstId)]; }
    int buttonWidth() const { return w_; }
    int buttonHeight() const { return h_; }
    const std::optional<QImage>& background() const { return bk_; }
    // Whether the skin gave button `id` a picture.
    bool HasButtonPicture(int id) const;
    // The colour the bar shows where the skin gives no background: the table view's table
    // colour (the window-drawn table's from the skin; the engine's table view has none, 0).
    // None when the main window or its table view cannot be found: then the bar paints
    // nothing.
    std::optional<uint32_t> FallbackColour() const;

protected:
    virtual void OnCommand1001();
    // Settings: the application's settings dialog.
    virtual void OnCommand1002();
    void OnQuit();
    // The stacked layout applies: third seat-geometry value 2 on a small screen.
    virtual bool Stacked() const;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::optional<QImage> bk_;
    int w_ = 50;
    int h_ = 36;
    std::array<QPushButton*, kOperateButtons> buttons_{};
};

}  // namespace hqlv::mahjong
