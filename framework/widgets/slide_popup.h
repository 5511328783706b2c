#pragma once
// A small notice that slides up out of the bottom-right corner of the desktop's work
// area, stays a while and slides down again, over a colour-gradient background. Frameless,
// shown without taking the focus; each open popup shifts the next one 10 pixels left. It
// deletes itself once it has sunk.
#include <functional>
#include <vector>

#include "platform/ui/draw_context.h"
#include "platform/ui/window.h"

namespace hqlv::framework {

// Colour pegs joined by weighted segments, drawn as bands of solid colour.
class CGradient {
public:
    struct Band {
        int start = 0, end = 0;  // [start, end) along the gradient's length
        platform::ui::ColorRef colour = 0;
    };

    void SetPegs(const std::vector<platform::ui::ColorRef>& colours);
    void SetMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }
    const std::vector<platform::ui::ColorRef>& pegs() const { return pegs_; }

    // The bands over a length; `limit` caps the bands of a segment (-1: no cap).
    std::vector<Band> Bands(int length, int limit = -1) const;
    // Fills the rectangle top to bottom with the bands.
    void Draw(platform::ui::DrawContext& dc, int x, int y, int width, int height,
              int limit = -1) const;

private:
    std::vector<platform::ui::ColorRef> pegs_;
    std::vector<double> weights_;  // percent per segment
    int mode_ = 0;
};

class CPopupNotifyDlg : public platform::ui::Window {
public:
    static constexpr uint32_t kTimerSlide = 10;
    static constexpr uint32_t kTimerStay = 100;
    static constexpr int kStepPixels = 5;
    static constexpr int kSlideMs = 20;

    explicit CPopupNotifyDlg(QWidget* parent = nullptr);
    ~CPopupNotifyDlg() override;

    // Where the popups rise; the primary screen's available area unless a test sets one.
    static void SetWorkAreaSource(std::function<QRect()> source);
    static QRect WorkArea();
    // Popups shown and not yet gone.
    static int OpenCount();
    // Whether the first-rise-past-half hook has still to fire in this process.
    static bool RiseHalfPending();

    void RaiseBottom(int n);
    void SetSize(int width, int height);
    void SetStayTime(int seconds) { stayMs_ = seconds * 1000; }
    void SetBackColor(platform::ui::ColorRef c) { back_ = c; }
    void SetGradientColor(platform::ui::ColorRef c) { gradientColour_ = c; }
    bool ShowPopup(int templateId, QWidget* bringToFront);
    void StartHide();

    // One step of the slide timer (public so that tests can drive it tick by tick).
    void OnSlideTick();

    int left() const { return left_; }
    int stayMs() const { return stayMs_; }
    bool rising() const { return rising_; }
    QRect popupRect() const {
        return QRect(QPoint(left_, top_), QPoint(left_ + width_ - 1, bottom_ - 1));
    }
    // The period the last timer was started with, by timer id (0 when not running).
    uint32_t timerPeriod(uint32_t id) const;
    const CGradient& gradient() const { return gradient_; }

protected:
    virtual void OnSinkTwoThirds() {}
    virtual void OnRiseHalf() {}
    virtual void OnRisen() {}
    virtual void OnSinkHalf() {}
    // Builds the controls of the template; the base has none.
    virtual void OnInitDialog() {}

    void onTimer(uint32_t id) override;
    void paintEvent(QPaintEvent* e) override;

    int left_ = 0;

private:
    void startTimer(uint32_t id, uint32_t ms);
    void stopTimer(uint32_t id);

    platform::ui::ColorRef back_ = 0xFFFFFF;
    platform::ui::ColorRef gradientColour_ = 0;
    QRect work_;
    int top_ = 0, bottom_ = 0;
    int width_ = 240, height_ = 120;
    int stayMs_ = 3000;
    bool rising_ = true;
    bool shown_ = false;
    bool gone_ = false;
    uint32_t slidePeriod_ = 0, stayPeriod_ = 0;
    CGradient gradient_;
};

}  // namespace hqlv::framework
