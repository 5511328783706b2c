#include "framework/panes/form_view.h"

#include <QPainter>
#include <QResizeEvent>

#include "framework/app/game_app.h"
#include "framework/app/skin_library.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

using platform::ui::DrawContext;

void DrawBitmapInRect(DrawContext& dc, const QRect& r, const QImage* bmp,
                      platform::ui::ColorRef fill) {
    if (!bmp || bmp->width() <= 0 || bmp->height() <= 0) {
        dc.FillSolidRect(r, fill);
        return;
    }
    const int bw = bmp->width(), bh = bmp->height();
    // The grid is anchored at the device origin: the first tile starts inside the picture.
    auto mod = [](int a, int b) { return ((a % b) + b) % b; };
    int y = r.top();
    int sy = mod(r.top(), bh);
    while (y <= r.bottom()) {
        int h = std::min(bh - sy, r.bottom() + 1 - y);
        int x = r.left();
        int sx = mod(r.left(), bw);
        while (x <= r.right()) {
            int w = std::min(bw - sx, r.right() + 1 - x);
            dc.BitBlt(x, y, w, h, *bmp, sx, sy);
            x += w;
            sx = 0;
        }
        y += h;
        sy = 0;
    }
}

CGameFormView::CGameFormView(std::string name, QWidget* parent)
    : platform::ui::Window(parent), name_(std::move(name)) {
    setObjectName(QString::fromStdString(name_));
}

void CGameFormView::ShowPane(bool show) {
    if (!show) CSkinLibrary::instance().ReleasePane(this);
    setVisible(show);
}

void CGameFormView::Refresh() {
    repaint();
}

CGameApp* CGameFormView::GetTheApp() const {
    return CGameApp::Current();
}

bool CGameFormView::OnSize(int cx, int cy) {
    if (cx == 0 || cy == 0) return false;
    if (cx == lastCx_ && cy == lastCy_) return false;
    lastCx_ = cx;
    lastCy_ = cy;
    return true;
}

void CGameFormView::resizeEvent(QResizeEvent* e) {
    OnSize(e->size().width(), e->size().height());
    platform::ui::Window::resizeEvent(e);
}

void CGameFormView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawContext dc(p);
    dc.FillSolidRect(rect(), 0xF5F0E8);
    dc.Draw3dRect(rect(), 0x808080, 0xFFFFFF);
}

intptr_t CGameFormView::handleMessage(const platform::Message& msg) {
    if (msg.id == kMsgGameEntered) {
        OnGameEntered();
        return 1;
    }
    return 0;
}

void CGameFormView::OnGameEntered() {
    ++gameEntered_;
    platform::diagf("pane %s: game entered", name_.c_str());
}

namespace {
class SkinSplitterHandle : public QSplitterHandle {
public:
    SkinSplitterHandle(Qt::Orientation o, CSkinSplitterWnd* parent)
        : QSplitterHandle(o, parent), owner_(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        DrawContext dc(p);
        owner_->OnDrawSplitter(dc, rect());
    }

private:
    CSkinSplitterWnd* owner_;
};
}  // namespace

CSkinSplitterWnd::CSkinSplitterWnd(Qt::Orientation o, QWidget* parent) : QSplitter(o, parent) {
    setHandleWidth(5);
    setChildrenCollapsible(false);
}

QSplitterHandle* CSkinSplitterWnd::createHandle() {
    return new SkinSplitterHandle(orientation(), this);
}

void CSkinSplitterWnd::OnDrawSplitter(DrawContext& dc, const QRect& bar) const {
    // The platform's own bar first.
    dc.FillSolidRect(bar, 0xD4D0C8);
    switch (mode_) {
        case 1:
        case 4:
            dc.FillSolidRect(bar, face_);
            break;
        case 2:
        case 3: {
            const std::optional<QImage>& pic =
                bar.height() >= bar.width() ? vertical_ : horizontal_;
            if (pic) DrawBitmapInRect(dc, bar, &*pic, 0);
            if (mode_ == 3 && grip_)
                dc.BitBlt(bar.x(), bar.y(), grip_->width(), grip_->height(), *grip_, 0, 0);
            break;
        }
        default:
            break;
    }
}

}  // namespace hqlv::framework
