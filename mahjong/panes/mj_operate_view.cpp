#include "mahjong/panes/mj_operate_view.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>

#include "framework/app/game_app.h"
#include "framework/app/skin_library.h"
#include "framework/app/skin_settings.h"
#include "framework/panes/game_frame.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/scene/game_info.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {

std::array<QRect, kOperateButtons> OperateLayout(int cx, int cy, int w, int h, bool stacked) {
    if (stacked) {
        // From the top: settings, quit, help, the unused one.
        return {QRect(0, 2 * h, w, h), QRect(0, 0, w, h), QRect(0, 3 * h, w, h), QRect(0, h, w, h)};
    }
    const int gap = (cx - 4 * w) / 5;
    const int y = (cy - h) / 2;
    return {QRect(gap, y, w, h), QRect(w + 2 * gap, y, w, h), QRect(2 * w + 3 * gap, y, w, h),
            QRect(3 * w + 4 * gap, y, w, h)};
}

CMJOperateView::CMJOperateView(QWidget* parent) : framework::CGameFormView("operation", parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int i = 0; i < kOperateButtons; ++i) {
        auto* b = new QPushButton(this);
        b->setFlat(true);
        b->setFocusPolicy(Qt::NoFocus);
        const int id = kOperateFirstId + i;
        connect(b, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        buttons_[size_t(i)] = b;
    }
}

void CMJOperateView::LoadBackground() {
    bk_ = framework::CSkinLibrary::instance().GetBitmap("OperateBK");
    framework::CGameApp* app = GetTheApp();
    framework::CSkinSettings* skin = app ? app->GetSkinSettings() : nullptr;
    w_ = skin ? skin->GetButtonWidth() : 0;
    h_ = skin ? skin->GetButtonHeight() : 0;
    // The skin draws the buttons: its picture fills the face; without one the button
    // keeps the plain look.
    for (int i = 0; i < kOperateButtons; ++i) {
        QPushButton* b = buttons_[size_t(i)];
        const auto picture =
            framework::CSkinLibrary::instance().GetBitmap(kOperateButtonSkinKeys[i]);
        b->setIcon(picture ? QIcon(QPixmap::fromImage(*picture)) : QIcon());
        b->setIconSize(QSize(w_, h_));
        b->setStyleSheet(picture ? QStringLiteral("QPushButton{border:none;padding:0;}")
                                 : QString());
    }
}

bool CMJOperateView::HasButtonPicture(int id) const {
    return id >= kOperateFirstId && id < kOperateFirstId + kOperateButtons &&
           !button(id)->icon().isNull();
}

bool CMJOperateView::Stacked() const {
    auto* app = dynamic_cast<CMJGameApp*>(GetTheApp());
    CMJGameInfo* info = app ? app->GetGameInfo() : nullptr;
    return info && info->GetSceneValue3() == 2 && app->IsSmallScreen();
}

void CMJOperateView::Layout(int cx, int cy) {
    const auto places = OperateLayout(cx, cy, w_, h_, Stacked());
    for (int i = 0; i < kOperateButtons; ++i) {
        buttons_[size_t(i)]->setGeometry(places[size_t(i)]);
        buttons_[size_t(i)]->update();
    }
}

void CMJOperateView::resizeEvent(QResizeEvent* e) {
    framework::CGameFormView::resizeEvent(e);
    update();
    // A pane squeezed to nothing keeps its buttons where they were.
    if (e->size().width() != 0) Layout(e->size().width(), e->size().height());
}

std::optional<uint32_t> CMJOperateView::FallbackColour() const {
    framework::CGameApp* app = GetTheApp();
    framework::CGameFrameWnd* frame = app ? app->GetMainFrame() : nullptr;
    framework::CGameTableView* table = frame ? frame->GetGameTableView() : nullptr;
    if (!table) return std::nullopt;
    if (auto* gdi = dynamic_cast<CMJGameTableView*>(table)) return gdi->tableColor();
    return 0;
}

void CMJOperateView::paintEvent(QPaintEvent*) {
    const std::optional<uint32_t> fill = FallbackColour();
    if (!fill) return;
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    framework::DrawBitmapInRect(dc, rect(), bk_ ? &*bk_ : nullptr, *fill);
}

void CMJOperateView::OnCommand(int id) {
    switch (id) {
        case 1001:
            OnCommand1001();
            break;
        case 1002:
            OnCommand1002();
            break;
        case 1004:
            OnQuit();
            break;
        default:
            break;  // 1003 does nothing
    }
}

void CMJOperateView::OnCommand1001() {
    framework::CGameApp* app = GetTheApp();
    if (!app) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    app->OpenWebPage(app->GetRulesUrl(), 0);
    QApplication::restoreOverrideCursor();
}

void CMJOperateView::OnCommand1002() {
    if (auto* app = dynamic_cast<CMJGameApp*>(GetTheApp())) app->DoGameSetDialog();
}

void CMJOperateView::OnQuit() {
    framework::CGameApp* app = GetTheApp();
    if (framework::CGameFrameWnd* frame = app ? app->GetMainFrame() : nullptr) frame->close();
}

}  // namespace hqlv::mahjong
