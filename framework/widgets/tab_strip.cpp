#include "framework/widgets/tab_strip.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <chrono>

namespace hqlv::framework {
namespace {

constexpr QRgb kStripFill = qRgb(38, 114, 80);
constexpr QRgb kTabFill = qRgb(47, 135, 95);
constexpr QRgb kTabFillCurrent = qRgb(24, 85, 58);

// The button glyphs (8 x 7 each): first, previous, next, last, close; a 0 bit is drawn.
constexpr uint8_t kArrowRows[7][6] = {
    {0xBD, 0xFB, 0xDF, 0xBD, 0x3C, 0x00}, {0xB9, 0xF3, 0xCF, 0x9D, 0x99, 0x00},
    {0xB1, 0xE3, 0xC7, 0x8D, 0xC3, 0x00}, {0xA3, 0xC7, 0xE3, 0xC5, 0xE7, 0x00},
    {0xB1, 0xE3, 0xC7, 0x8D, 0xC3, 0x00}, {0xB9, 0xF3, 0xCF, 0x9D, 0x99, 0x00},
    {0xBD, 0xFB, 0xDF, 0xBD, 0x3C, 0x00}};

void DrawGlyph(QPainter& p, int glyph, int x, int y, const QColor& colour) {
    p.setPen(colour);
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 8; ++col)
            if (!(kArrowRows[row][glyph] & (0x80 >> col))) p.drawPoint(x + col, y + row);
}

QPolygon ToPolygon(const std::array<TabPoint, 6>& pts) {
    QPolygon poly;
    for (const TabPoint& t : pts) poly << QPoint(t.x, t.y);
    return poly;
}

}  // namespace

CCustomTabCtrl::CCustomTabCtrl(QWidget* parent) : QWidget(parent) {
    normal_ = QApplication::font();
    bold_ = normal_;
    bold_.setWeight(QFont::Bold);
    model_ = std::make_unique<TabStripModel>([this](std::string_view label) {
        return QFontMetrics(bold_).horizontalAdvance(
            QString::fromUtf8(label.data(), qsizetype(label.size())));
    });
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    repeat_ = new QTimer(this);
    repeat_->setInterval(100);
    QObject::connect(repeat_, &QTimer::timeout, this, [this] {
        model_->OnRepeatTimer(Now());
        update();
    });
}

CCustomTabCtrl::~CCustomTabCtrl() {
    if (editor_) qApp->removeEventFilter(this);
}

int64_t CCustomTabCtrl::Now() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CCustomTabCtrl::ModifyStyle(uint32_t remove, uint32_t add) {
    model_->ModifyStyle(remove, add);
    resizeEvent(nullptr);
    update();
}

int CCustomTabCtrl::InsertItem(int index, const std::string& label, uint32_t data) {
    const int r = model_->InsertItem(index, label, data);
    update();
    return r;
}

int CCustomTabCtrl::SetCurSel(int index) {
    const int r = model_->SetCurSel(index);
    update();
    return r;
}

void CCustomTabCtrl::resizeEvent(QResizeEvent*) {
    if (width() > 0 && height() > 0)
        model_->SetFrame(vertical() ? height() : width(), vertical() ? width() : height());
}

TabPoint CCustomTabCtrl::ToStrip(const QPoint& p) const {
    if (!vertical()) return {p.x(), p.y()};
    return TabStripModel::VerticalToStrip({p.x(), p.y()}, height());
}

QImage CCustomTabCtrl::RenderStrip() const {
    const int W = model_->length(), H = model_->height();
    if (W <= 0 || H <= 0) return {};
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(kStripFill);
    QPainter p(&img);
    const QColor text = palette().color(QPalette::ButtonText);
    const bool top = model_->style() & kTabTop;
    auto drawTab = [&](const TabItem& t, bool bold) {
        const bool strong = t.current || t.highlighted;
        const QColor fill = QColor::fromRgb(strong ? kTabFillCurrent : kTabFill);
        const QPolygon poly = ToPolygon(model_->RegionPoints(t));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(poly, Qt::WindingFill);
        const int L = t.shape.left, R = t.shape.right, T = t.shape.top, B = t.shape.bottom;
        const int s = (B - T) / 2;
        const QPen a(text), b(QColor::fromRgb(kTabFill));
        if (t.kind == 1 || t.kind == 2) {
            const QLine line = top ? QLine(L, T, L + s, B) : QLine(L, B, L + s, T);
            p.setPen(a);
            p.drawLine(line);
            if (!t.current) {
                p.setPen(b);
                p.drawLine(line.translated(-1, 0));
            }
            return;
        }
        const QPoint p0 = top ? QPoint(L, B) : QPoint(L, T);
        const QPoint p1 = top ? QPoint(L + s, T) : QPoint(L + s, B);
        const QPoint p2 = top ? QPoint(R - s, T) : QPoint(R - s, B);
        const QPoint p3 = top ? QPoint(R + 1, B + 1) : QPoint(R, T);
        p.setPen(a);
        p.drawLine(p0, p1);
        p.setPen(b);
        p.drawLine(p1, p2);
        if (!t.current) p.drawLine(p2 - QPoint(1, 0), p3 - QPoint(1, 0));
        p.setPen(a);
        p.drawLine(p2, p3);
        const QRect label(QPoint(L + s, T + 2), QPoint(R - s, B - 2));
        p.setFont(bold ? bold_ : normal_);
        p.setPen(strong ? palette().color(QPalette::WindowText) : text);
        p.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(t.label));
    };
    for (int i = 0; i < model_->count(); ++i) {
        const TabItem& t = model_->item(i);
        if (t.kind != 0 && !t.current) drawTab(t, t.highlighted);
    }
    if (model_->current() >= 0 && model_->item(model_->current()).kind != 0)
        drawTab(model_->item(model_->current()), true);
    if (model_->buttonCount() > 0) {
        const TabRect area = model_->ButtonArea();
        p.setPen(text);
        p.setBrush(Qt::white);
        p.drawRect(QRect(QPoint(area.left, area.top), QPoint(area.right - 1, area.bottom - 1)));
        const std::pair<TabStripModel::Button, int> faces[] = {{TabStripModel::kClose, 4},
                                                               {TabStripModel::kFirst, 0},
                                                               {TabStripModel::kPrevious, 1},
                                                               {TabStripModel::kNext, 2},
                                                               {TabStripModel::kLast, 3}};
        for (auto [b, glyph] : faces) {
            const int state = model_->buttonState(b);
            if (!state) continue;
            const TabRect r = model_->ButtonRect(b);
            QRect face(QPoint(r.left + 1, top ? 1 : 2), QPoint(r.right - 2, top ? H - 2 : H - 1));
            p.setPen(state == 3 ? palette().color(QPalette::Dark)
                                : palette().color(QPalette::Light));
            p.setBrush(palette().color(QPalette::Button));
            p.drawRect(face.adjusted(0, 0, -1, -1));
            DrawGlyph(p, glyph, face.left() + (face.width() - 8) / 2,
                      face.top() + (face.height() - 7) / 2, text);
        }
    }
    // The base line, open under the current tab.
    if (model_->count() > 0) {
        const int y = top ? H - 2 : 1;
        const int from = model_->tabsStart(), to = model_->item(model_->count() - 1).shape.right;
        p.setPen(text);
        const int cur = model_->current();
        if (cur >= 0 && model_->item(cur).kind != 0) {
            p.drawLine(from, y, model_->item(cur).shape.left, y);
            p.drawLine(model_->item(cur).shape.right, y, to, y);
        } else {
            p.drawLine(from, y, to, y);
        }
    }
    return img;
}

void CCustomTabCtrl::paintEvent(QPaintEvent*) {
    const QImage strip = RenderStrip();
    if (strip.isNull()) return;
    QPainter p(this);
    if (!vertical()) {
        p.drawImage(0, 0, strip);
        return;
    }
    // Upper-left to the lower-left, upper-right to the upper-left.
    p.translate(0, height());
    p.rotate(-90);
    p.drawImage(0, 0, strip);
}

void CCustomTabCtrl::Press(const QPoint& pos, bool ctrl) {
    const TabPoint at = ToStrip(pos);
    const int hit = model_->HitTest(at.x, at.y);
    model_->Send(kTabLButtonDown, hit, at);
    if (hit <= kHitFirst && hit >= kHitClose) {
        model_->PressButton(hit, Now());
        if (hit != kHitClose) repeat_->start();
        update();
        return;
    }
    if (hit < 0) {
        model_->SetPressed(kHitNothing);
        return;
    }
    model_->SetPressed(kHitNothing);
    const bool multi = model_->style() & kTabMultiHighlight;
    if (!(multi && ctrl)) {
        const int before = model_->current();
        model_->SelectItem(hit, true, ctrl);
        if (model_->current() != before) model_->Send(kTabSelChanged, model_->current(), at);
    } else {
        model_->HighlightItem(hit, true, ctrl);
    }
    for (int i = 0; i < model_->count(); ++i)
        if (model_->item(i).highlightChanged) model_->Send(kTabHighlightChanged, i, at);
    update();
}

void CCustomTabCtrl::mousePressEvent(QMouseEvent* e) {
    const TabPoint at = ToStrip(e->position().toPoint());
    if (e->button() == Qt::RightButton) {
        model_->Send(kTabRButtonDown, model_->HitTest(at.x, at.y), at);
        return;
    }
    if (e->button() == Qt::LeftButton)
        Press(e->position().toPoint(), e->modifiers() & Qt::ControlModifier);
}

void CCustomTabCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    model_->ReleaseButtons();
    repeat_->stop();
    update();
}

void CCustomTabCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
    const TabPoint at = ToStrip(e->position().toPoint());
    const int hit = model_->HitTest(at.x, at.y);
    if (e->button() == Qt::RightButton) {
        model_->Send(kTabRButtonDblClk, hit, at);
        return;
    }
    Press(e->position().toPoint(), e->modifiers() & Qt::ControlModifier);
    if (hit >= 0 && model_->HitTest(at.x, at.y) == hit) EditLabel(hit, true);
    model_->Send(kTabLButtonDblClk, hit, at);
}

void CCustomTabCtrl::mouseMoveEvent(QMouseEvent* e) {
    const TabPoint at = ToStrip(e->position().toPoint());
    model_->HoverButtons(model_->HitTest(at.x, at.y), e->buttons() & Qt::LeftButton);
    update();
}

void CCustomTabCtrl::leaveEvent(QEvent*) {
    if (model_->buttonCount() == 0) return;
    model_->ReleaseButtons();
    repeat_->stop();
    update();
}

int CCustomTabCtrl::EditLabel(int index, bool fromMouse) {
    if (index < 0 || index >= model_->count()) return kTabBadIndex;
    if (!(model_->style() & kTabEditLabels)) return kTabNoEditStyle;
    if (index != model_->current()) return kTabNotCurrent;
    if (editor_) return kTabEditorOpen;
    if (vertical()) return kTabVerticalStrip;
    editing_ = index;
    savedLabel_ = model_->item(index).label;
    editor_ = new QLineEdit(this);
    editor_->setFont(bold_);
    editor_->setMaxLength(30);
    editor_->setFrame(false);
    editor_->setText(QString::fromStdString(savedLabel_));
    QObject::connect(editor_, &QLineEdit::textChanged, editor_, [this](const QString& t) {
        if (editing_ < 0) return;
        model_->items()[size_t(editing_)].label = t.toStdString();
        model_->RecalcLayout(6);
        PlaceEditor();
        update();
    });
    PlaceEditor();
    editor_->show();
    editor_->setFocus();
    editor_->selectAll();
    if (fromMouse && QWidget::mouseGrabber()) QWidget::mouseGrabber()->releaseMouse();
    editDone_ = false;
    QEventLoop loop;
    qApp->installEventFilter(this);
    QPointer<QLineEdit> guard(editor_);
    while (!editDone_ && guard) loop.processEvents(QEventLoop::WaitForMoreEvents);
    qApp->removeEventFilter(this);
    return 0;
}

void CCustomTabCtrl::PlaceEditor() {
    if (!editor_ || editing_ < 0) return;
    const TabItem& t = model_->item(editing_);
    const QFontMetrics fm(bold_);
    const int h = std::min(t.text.bottom - t.text.top, fm.height() + 2);
    const int y = t.text.top + ((t.text.bottom - t.text.top) - h) / 2;
    int width = fm.horizontalAdvance(QString::fromStdString(t.label) + "X");
    const int left = t.text.left + 2;
    if (left + width > model_->stripEnd()) width = std::max(1, model_->stripEnd() - left);
    editor_->setGeometry(left, y, width, h);
}

void CCustomTabCtrl::CloseEditor() {
    if (editor_) {
        editor_->hide();
        editor_->deleteLater();
    }
    editor_ = nullptr;
    editing_ = -1;
    editDone_ = true;
    model_->RecalcLayout(3);
    update();
}

bool CCustomTabCtrl::CommitEdit() {
    if (!editor_ || editing_ < 0) return true;
    const std::string text = editor_->text().toStdString();
    model_->items()[size_t(editing_)].label = text;
    if (model_->Send(kTabLabelEdited, editing_) != 0) return false;  // the parent refuses
    CloseEditor();
    return true;
}

bool CCustomTabCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (!editor_) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) return true;
            if (watched == editor_) return false;
            if (watched == this) {
                const TabPoint at = ToStrip(e->position().toPoint());
                if (model_->HitTest(at.x, at.y) == model_->current()) return true;
                return !CommitEdit();  // committed: the click goes on to select
            }
            if (watched->isWidgetType()) {
                CommitEdit();
                return true;
            }
            return false;
        }
        case QEvent::MouseButtonRelease:
            return watched != editor_ && watched->isWidgetType();
        case QEvent::MouseButtonDblClick:
            return watched->isWidgetType();
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (k->key() == Qt::Key_Escape) {
                model_->items()[size_t(editing_)].label = savedLabel_;
                CloseEditor();
                return true;
            }
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                CommitEdit();
                return true;
            }
            if (k->key() == Qt::Key_F4 && (k->modifiers() & Qt::AltModifier)) return true;
            return false;
        }
        default:
            return false;
    }
}

}  // namespace hqlv::framework
