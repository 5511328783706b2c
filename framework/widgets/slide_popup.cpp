#include "framework/widgets/slide_popup.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

namespace hqlv::framework {
namespace {

std::function<QRect()>& WorkAreaSource() {
    static std::function<QRect()> source;
    return source;
}
int g_open = 0;
// Each hook of these fires at most once per process.
bool g_sinkTwoThirdsPending = true;
bool g_riseHalfPending = true;
bool g_sinkHalfPending = true;

int Channel(platform::ui::ColorRef c, int shift) {
    return int((c >> shift) & 0xFF);
}

}  // namespace

// ---- gradient

void CGradient::SetPegs(const std::vector<platform::ui::ColorRef>& colours) {
    pegs_ = colours;
    weights_.clear();
    if (pegs_.size() > 1) weights_.assign(pegs_.size() - 1, 100.0 / double(pegs_.size() - 1));
}

std::vector<CGradient::Band> CGradient::Bands(int length, int limit) const {
    std::vector<Band> bands;
    if (length <= 0 || pegs_.empty()) return bands;
    if (pegs_.size() == 1) {
        bands.push_back({0, length, pegs_[0]});
        return bands;
    }
    double sum = 0;
    int start = 0;
    for (size_t k = 0; k < weights_.size(); ++k) {
        sum += weights_[k];
        const int end = k + 1 == weights_.size() ? length : int(double(length) * sum / 100.0);
        const int len = end - start;
        const platform::ui::ColorRef a = pegs_[k], b = pegs_[k + 1];
        int n = 0;
        for (int shift : {0, 8, 16})
            n = std::max(n, std::abs(Channel(b, shift) - Channel(a, shift)));
        n = std::min(n, len);
        if (limit >= 0) n = std::min(n, limit);
        n = std::max(n, 1);
        for (int i = 0; i < n && len > 0; ++i) {
            const int s = start + int(int64_t(len) * i / n);
            const int e = i + 1 == n ? end : start + int(int64_t(len) * (i + 1) / n);
            platform::ui::ColorRef c = 0;
            for (int shift : {0, 8, 16}) {
                const int ca = Channel(a, shift), cb = Channel(b, shift);
                c |= platform::ui::ColorRef(ca + (cb - ca) * i / n) << shift;
            }
            if (e > s) bands.push_back({s, e, c});
        }
        start = end;
    }
    return bands;
}

void CGradient::Draw(platform::ui::DrawContext& dc, int x, int y, int width, int height,
                     int limit) const {
    for (const Band& b : Bands(height, limit))
        dc.FillSolidRect(QRect(x, y + b.start, width, b.end - b.start), b.colour);
}

// ---- popup

CPopupNotifyDlg::CPopupNotifyDlg(QWidget* parent)
    : platform::ui::Window(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    work_ = WorkArea();
    bottom_ = work_.y() + work_.height();
    top_ = bottom_;
    left_ = work_.x() + work_.width() - 250 - 10 * g_open;
}

CPopupNotifyDlg::~CPopupNotifyDlg() {
    if (shown_) --g_open;
}

void CPopupNotifyDlg::SetWorkAreaSource(std::function<QRect()> source) {
    WorkAreaSource() = std::move(source);
}

QRect CPopupNotifyDlg::WorkArea() {
    if (WorkAreaSource()) return WorkAreaSource()();
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}

int CPopupNotifyDlg::OpenCount() {
    return g_open;
}
bool CPopupNotifyDlg::RiseHalfPending() {
    return g_riseHalfPending;
}

void CPopupNotifyDlg::RaiseBottom(int n) {
    bottom_ = work_.y() + work_.height() - n;
    top_ = bottom_;
}

void CPopupNotifyDlg::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
}

uint32_t CPopupNotifyDlg::timerPeriod(uint32_t id) const {
    return id == kTimerSlide ? slidePeriod_ : id == kTimerStay ? stayPeriod_ : 0;
}

void CPopupNotifyDlg::startTimer(uint32_t id, uint32_t ms) {
    SetTimer(id, ms);
    (id == kTimerSlide ? slidePeriod_ : stayPeriod_) = ms;
}

void CPopupNotifyDlg::stopTimer(uint32_t id) {
    KillTimer(id);
    (id == kTimerSlide ? slidePeriod_ : stayPeriod_) = 0;
}

bool CPopupNotifyDlg::ShowPopup(int /*templateId*/, QWidget* bringToFront) {
    if (shown_) return false;
    top_ = bottom_;
    gradient_.SetMode(2);
    gradient_.SetPegs({gradientColour_, gradientColour_, back_});
    OnInitDialog();
    setGeometry(left_, top_, width_, 0);
    if (bringToFront) {
        bringToFront->raise();
        bringToFront->activateWindow();
    }
    startTimer(kTimerSlide, kSlideMs);
    shown_ = true;
    ++g_open;
    return true;
}

void CPopupNotifyDlg::StartHide() {
    if (gone_) return;
    stopTimer(kTimerStay);
    startTimer(kTimerSlide, kSlideMs);
    rising_ = false;
}

void CPopupNotifyDlg::onTimer(uint32_t id) {
    if (id == kTimerSlide) {
        OnSlideTick();
    } else if (id == kTimerStay) {
        StartHide();
    }
}

void CPopupNotifyDlg::OnSlideTick() {
    if (gone_) return;
    if (rising_) {
        top_ -= kStepPixels;
        const bool risen = top_ <= bottom_ - height_;
        if (risen) {
            stopTimer(kTimerSlide);
            startTimer(kTimerStay, uint32_t(std::max(0, stayMs_)));
        } else if (bottom_ - top_ >= height_ / 2 && g_riseHalfPending) {
            g_riseHalfPending = false;
            OnRiseHalf();
        }
        setGeometry(left_, top_, width_, bottom_ - top_);
        if (!isVisible()) show();
        if (risen) OnRisen();
        return;
    }
    top_ += kStepPixels;
    if (top_ >= bottom_) {
        stopTimer(kTimerSlide);
        gone_ = true;
        hide();
        deleteLater();
        return;
    }
    const int visible = bottom_ - top_;
    if (visible <= height_ * 2 / 3 && g_sinkTwoThirdsPending) {
        g_sinkTwoThirdsPending = false;
        OnSinkTwoThirds();
    }
    if (visible <= height_ / 2 && g_sinkHalfPending) {
        g_sinkHalfPending = false;
        OnSinkHalf();
    }
    setGeometry(left_, top_, width_, visible);
    if (!isVisible()) show();
}

void CPopupNotifyDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    gradient_.Draw(dc, 0, 0, width(), height());
}

}  // namespace hqlv::framework
