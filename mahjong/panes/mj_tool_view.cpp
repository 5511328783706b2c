#include "mahjong/panes/mj_tool_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QSplitterHandle>

#include <filesystem>

#include "framework/app/game_app.h"
#include "framework/app/skin_settings.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/panes/advert_bet.h"
#include "platform/core/profile.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {

CMJToolView::CMJToolView(framework::web::SafeBoxOps& ops, QWidget* parent)
    : framework::web::CGameToolView(ops, parent) {
    OnInitialUpdate();
}

void CMJToolView::LoadHeaderBitmap() {
    header_.reset();
    framework::CGameApp* app = GetTheApp();
    framework::CSkinSettings* skin = app ? app->GetSkinSettings() : nullptr;
    if (!skin || skin->GetSkinPath().empty()) return;
    const std::string description = skin->GetSkinPath();
    char name[260] = {};
    platform::getProfileString("Headerbar", "Image", "", name, sizeof name, description.c_str());
    if (!name[0]) return;
    const std::string folder = std::filesystem::path(description).parent_path().string() + "/";
    header_ = platform::ui::LoadBitmapFile(folder + name);
}

void CMJToolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    dc.FillSolidRect(rect(), 0xFFFFF0);
    if (!header_ || header_->isNull()) return;
    const QImage& h = *header_;
    // The picture's first two columns make the left edge; from x = 2 the picture, less its
    // 300-pixel right part and its two bottom rows, is stretched over the rest.
    dc.StretchBlt(0, 0, 2, height(), h, 0, 0, 2, h.height());
    dc.StretchBlt(2, 0, width() - 2, height(), h, 2, 0, h.width() - 300, h.height() - 2);
}

void CMJToolView::resizeEvent(QResizeEvent* e) {
    framework::CGameFormView::resizeEvent(e);
    update();
    framework::CSkinButton* open = button(1);
    framework::CSkinButton* fix = button(2);
    if (e->size().width() == 0 || !open || !fix) return;
    const auto [safe, menu] = ToolButtonPlaces(e->size().width(), e->size().height());
    open->setGeometry(safe);
    fix->setGeometry(menu);
    open->show();
    fix->show();
}

int CMJToolSplitterWnd::OnNcHitTest(const QPoint& screen) const {
    framework::CGameApp* app = framework::CGameApp::Current();
    const bool toolRow = hasToolRow ? hasToolRow() : app && app->IsSpecialOption();
    if (count() < 5) return 1;
    const QWidget* row3 = widget(3);
    const QWidget* row4 = widget(4);
    const QRect r3(row3->mapToGlobal(QPoint(0, 0)), row3->size());
    const QRect r4(row4->mapToGlobal(QPoint(0, 0)), row4->size());
    return ToolSplitterGap(toolRow, screen, r3, r4) ? 0 : 1;
}

QSplitterHandle* CMJToolSplitterWnd::createHandle() {
    QSplitterHandle* h = framework::CSkinSplitterWnd::createHandle();
    h->installEventFilter(this);
    return h;
}

bool CMJToolSplitterWnd::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (t == QEvent::MouseButtonPress || t == QEvent::MouseMove ||
        t == QEvent::MouseButtonDblClick) {
        const auto* m = static_cast<QMouseEvent*>(event);
        // A press on "nowhere" never reaches the bar, so it is never dragged.
        if (OnNcHitTest(m->globalPosition().toPoint()) == 0) return true;
    }
    return framework::CSkinSplitterWnd::eventFilter(watched, event);
}

}  // namespace hqlv::mahjong
