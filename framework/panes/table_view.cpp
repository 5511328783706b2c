#include "framework/panes/table_view.h"

#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <array>

#include "framework/app/game_app.h"
#include "framework/panes/game_frame.h"
#include "platform/ui/cursor.h"
#include "platform/ui/platform_box.h"

namespace hqlv::framework {

CGameFrameWnd* CGameTableView::MainWindow() {
    // The frame the pane sits in; before it is placed, the application's.
    if (auto* frame = dynamic_cast<CGameFrameWnd*>(window())) return frame;
    return app_.GetMainFrame();
}

CGameTableView::CGameTableView(CGameApp& app, QWidget* parent)
    : CGameFormView("table", parent), app_(app) {
    applyCursor();
}

CGameTableView::~CGameTableView() {
    StopIdleTimer();
}

void CGameTableView::SetCursorMode(int mode) {
    cursorMode_ = mode;
    applyCursor();
}

void CGameTableView::applyCursor() {
    using platform::ui::CursorShape;
    switch (cursorMode_) {
        case 0:
            platform::ui::SetWindowCursor(this, CursorShape::kArrow);
            break;
        case 1:
            platform::ui::SetWindowCursor(this, CursorShape::kHand);
            break;
        case 2:
            platform::ui::SetWindowCursor(this, CursorShape::kSizeAll);
            break;
        default:
            break;  // whatever is set stays
    }
}

void CGameTableView::enterEvent(QEnterEvent* e) {
    applyCursor();
    CGameFormView::enterEvent(e);
}

void CGameTableView::SetBackgroundPicture(std::optional<QImage> picture) {
    picture_ = std::move(picture);
    if (!picture_) cache_ = QImage();
    BuildBackground();
}

bool CGameTableView::BuildBackground() {
    if (!picture_ || picture_->isNull()) return false;
    cache_ = QImage();
    if (width_ <= 0 || height_ <= 0) return false;
    cache_ = picture_->scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ++cacheBuilds_;
    return true;
}

void CGameTableView::DrawBackground(platform::ui::DrawContext& dc, const QRect& r) const {
    if (cache_.width() == 0) {
        dc.FillSolidRect(r, background_);
        return;
    }
    dc.BitBlt(r.x(), r.y(), r.width(), r.height(), cache_, r.x(), r.y());
}

void CGameTableView::resizeEvent(QResizeEvent* e) {
    const int cx = e->size().width(), cy = e->size().height();
    platform::ui::Window::resizeEvent(e);
    if (!OnSize(cx, cy)) return;
    width_ = cx;
    height_ = cy;
    update(QRect(0, 0, cx, cy));
    BuildBackground();
}

void CGameTableView::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    DrawBackground(dc, e->rect());
}

void CGameTableView::StartSecondTimer() {
    KillTimer(kTimerSecond);
    SetTimer(kTimerSecond, 1000);
}

bool CGameTableView::RoomHasIdleCheck() const {
    return app_.TestCmdField13Bit40() && app_.TestCmdField13Bit80();
}

void CGameTableView::OnEnteredGame() {
    if (RoomHasIdleCheck()) idleSeconds_ = kIdleSeconds;
}

void CGameTableView::StartIdleTimer() {
    StopIdleTimer();
    if (!RoomHasIdleCheck() || idleSeconds_ < 1) return;
    CGameFrameWnd* frame = MainWindow();
    if (frame && frame->SetTimer(kIdleTimerId, uint32_t(idleSeconds_) * 1000)) {
        idleTimer_ = kIdleTimerId;
        idleTimerOwner_ = frame->hwnd();
    }
}

void CGameTableView::StopIdleTimer() {
    if (idleTimer_ == 0) return;
    // By the handle the timer was set on: the pane may be stopping it from inside the main
    // window's teardown, when that window is no longer one to call into.
    platform::killTimer(idleTimerOwner_, kIdleTimerId);
    idleTimer_ = 0;
    idleTimerOwner_ = 0;
}

int CGameTableView::RequestTableChange() {
    if (!RoomHasIdleCheck() || app_.TestCmdField13Bit2()) return 0;
    CGameConnection* conn = app_.GetConnection();
    if (!conn) return 0;
    std::string text;
    const int result = conn->ChangeTable(text);
    if (result == 1) RestartIdleTimer();
    return result;
}

int CGameTableView::Request201302() {
    if (!app_.TestCmdField13Bit2()) return 0;
    CGameConnection* conn = app_.GetConnection();
    std::string text;
    return conn ? conn->SendRequest201302(text) : 0;
}

void CGameTableView::FetchDoleConfig(int value) {
    CGameConnection* conn = app_.GetConnection();
    if (!conn) return;
    app_.ShowCommWait("正在获取低保配置，请稍等......", true);
    std::array<uint8_t, 124> config{};
    std::string text;
    const int result = conn->GetDoleConfig(text, value, config.data());
    app_.ShowCommWait("", false);
    app_.OnDoleConfigFailed(result, text);
}

void CGameTableView::ClaimDole(int value, int kind) {
    CGameConnection* conn = app_.GetConnection();
    if (!conn) return;
    app_.ShowCommWait("正在领取低保，请稍等......", true);
    std::string text;
    int amount = 0;
    const int result = conn->ClaimDole(text, value, kind, &amount);
    app_.ShowCommWait("", false);
    app_.OnClaimSilverResult(result, text, amount);
}

void CGameTableView::ClaimDole2(int value, int kind) {
    CGameConnection* conn = app_.GetConnection();
    if (!conn) return;
    app_.ShowCommWait("正在领取低保，请稍等......", true);
    std::string text;
    int amount = 0;
    const int result = conn->ClaimDole2(text, value, kind, &amount);
    app_.ShowCommWait("", false);
    app_.OnClaimSilverResult(result, text, amount);
}

void CGameTableView::ClaimSilverReward(int index) {
    CGameConnection* conn = app_.GetConnection();
    if (!conn) return;
    app_.ShowCommWait("正在领取银子奖励，请稍等......", true);
    std::string text;
    const int result = conn->ClaimSilverReward(text, index);
    app_.ShowCommWait("", false);
    app_.PumpFor(100);
    if (result == 0)
        platform::ui::PlatformMessageBox(this, text, app_.GetTitleText(), platform::ui::kBoxOk,
                                         platform::ui::PlatformBoxIcon::kInformation);
}

}  // namespace hqlv::framework
