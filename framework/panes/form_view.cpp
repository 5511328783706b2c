#include "framework/panes/form_view.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include "framework/app/game_app.h"
#include "framework/app/skin_library.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

using platform::ui::DrawContext;

int ScaleByDpi(int n, double dpi) {
    return static_cast<int>(n * dpi / 96.0);
}

namespace {

// The screen's logical dots per inch, horizontal and vertical, as first read.
const std::optional<QPointF>& ScreenDpi() {
    static std::optional<QPointF> dpi;
    if (!dpi && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* s = QGuiApplication::primaryScreen())
            dpi = QPointF(s->logicalDotsPerInchX(), s->logicalDotsPerInchY());
    }
    return dpi;
}

}  // namespace

int ScaleX(int n) {
    const std::optional<QPointF>& dpi = ScreenDpi();
    return dpi ? ScaleByDpi(n, dpi->x()) : n;
}

int ScaleY(int n) {
    const std::optional<QPointF>& dpi = ScreenDpi();
    return dpi ? ScaleByDpi(n, dpi->y()) : n;
}

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

bool CGameFormView::event(QEvent* e) {
    const bool move = e->type() == QEvent::Move, size = e->type() == QEvent::Resize;
    if ((move || size) && !widening_ && qobject_cast<QSplitter*>(parentWidget())) {
        if (geometry() != widened_) {
            // The splitter has just placed the pane in a cell: take the widened place (as
            // far as the pane's own size limits let it grow).
            cell_ = geometry();
            widening_ = true;
            setGeometry(WidenedCell(cell_));
            widening_ = false;
            widened_ = geometry();
            return true;
        }
        // A move or size that the widening has already overtaken tells nothing now.
        if ((move && static_cast<QMoveEvent*>(e)->pos() != pos()) ||
            (size && static_cast<QResizeEvent*>(e)->size() != this->size()))
            return true;
    }
    return platform::ui::Window::event(e);
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
        // The bar is drawn in the splitter's coordinates: its pictures are tiled on a grid
        // anchored at the splitter's origin, the same for every bar.
        p.translate(-pos());
        owner_->OnDrawSplitter(dc, geometry());
        // The cells' borders next to the bar lie partly under it: drawn over the bar too.
        owner_->DrawBorders(dc);
    }

private:
    CSkinSplitterWnd* owner_;
};
}  // namespace

CSkinSplitterWnd::CSkinSplitterWnd(Qt::Orientation o, QWidget* parent) : QSplitter(o, parent) {
    setHandleWidth(5);
    // The toolkit's splitter lays the panes out (the frames give them their shares by
    // stretch factors). No pane is ever hidden for falling below its minimum size: the
    // splitter's own minimum holds every pane's minimum and the bars, the frame's layout hands
    // it on, and the main window cannot be made smaller than that, so every pane always has
    // at least its minimum. Nor can a drag take a pane below it.
    setChildrenCollapsible(false);
    // A border of one pixel around the cells; the panes widen over it.
    setContentsMargins(1, 1, 1, 1);
}

QSize CSkinSplitterWnd::minimumSizeHint() const {
    // The toolkit's splitter leaves its border out: the last pane would lose its width.
    return QSplitter::minimumSizeHint().grownBy(contentsMargins());
}

QSplitterHandle* CSkinSplitterWnd::createHandle() {
    return new SkinSplitterHandle(orientation(), this);
}

namespace {
// The system colours the splitter's borders use (the classic scheme).
constexpr platform::ui::ColorRef kButtonShadow = 0x808080;
constexpr platform::ui::ColorRef kGrayText = 0x808080;
constexpr platform::ui::ColorRef kHighlight = 0xFFFFFF;
}  // namespace

QRect CSkinSplitterWnd::CellOf(int i) const {
    QWidget* w = widget(i);
    if (!w) return {};
    if (auto* pane = dynamic_cast<CGameFormView*>(w); pane && !pane->cell().isNull())
        return pane->cell();
    return w->geometry();
}

void CSkinSplitterWnd::DrawBorders(DrawContext& dc) const {
    if (mode_ != 0 && mode_ != 1 && mode_ != 4) return;
    for (int i = 0; i < count(); ++i) {
        if (!widget(i) || widget(i)->isHidden()) continue;
        // One pixel around the cell (the splitter's border width).
        OnDrawSplitter(dc, Part::kBorder, CellOf(i).adjusted(-1, -1, 1, 1));
    }
}

void CSkinSplitterWnd::paintEvent(QPaintEvent* e) {
    QSplitter::paintEvent(e);
    QPainter p(this);
    DrawContext dc(p);
    DrawBorders(dc);
}

void CSkinSplitterWnd::OnDrawSplitter(DrawContext& dc, Part kind, const QRect& bar) const {
    if (kind == Part::kBorder) {
        // Only these modes draw borders, and the platform draws none of its own.
        if (mode_ == 0) dc.Draw3dRect(bar, kButtonShadow, kHighlight);
        if (mode_ == 1) dc.Draw3dRect(bar, kGrayText, kHighlight);
        if (mode_ == 4) dc.Draw3dRect(bar, face_, face_);
        return;
    }
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
