#include "framework/widgets/tab_strip.h"

#include <QApplication>
#include <QEventLoop>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

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

void DrawGlyph(QPainter& p, int glyph, bool mirrored, int x, int y, const QColor& colour) {
    p.setPen(colour);
    for (int row = 0; row < 7; ++row) {
        const uint64_t bits = CCustomTabCtrl::GlyphRow(row, mirrored);
        for (int col = 0; col < 8; ++col)
            if (!((bits >> (47 - (glyph * 8 + col))) & 1)) p.drawPoint(x + col, y + row);
    }
}

// Draws `src` (the part `from` of it) into `to`: the margins' corners as they are, the
// edges stretched along them, the centre stretched both ways.
void DrawNineSlice(QPainter& p, const QImage& src, const QRect& from, const QRect& to,
                   const TabRect& margins) {
    const int l = std::clamp(margins.left, 0, std::min(from.width(), to.width()));
    const int r = std::clamp(margins.right, 0, std::min(from.width(), to.width()) - l);
    const int t = std::clamp(margins.top, 0, std::min(from.height(), to.height()));
    const int b = std::clamp(margins.bottom, 0, std::min(from.height(), to.height()) - t);
    const int xs[4] = {from.left(), from.left() + l, from.right() + 1 - r, from.right() + 1};
    const int ys[4] = {from.top(), from.top() + t, from.bottom() + 1 - b, from.bottom() + 1};
    const int xd[4] = {to.left(), to.left() + l, to.right() + 1 - r, to.right() + 1};
    const int yd[4] = {to.top(), to.top() + t, to.bottom() + 1 - b, to.bottom() + 1};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const QRect s(xs[i], ys[j], xs[i + 1] - xs[i], ys[j + 1] - ys[j]);
            const QRect d(xd[i], yd[j], xd[i + 1] - xd[i], yd[j + 1] - yd[j]);
            if (!s.isEmpty() && !d.isEmpty()) p.drawImage(d, src, s);
        }
}

QPolygon ToPolygon(const std::array<TabPoint, 6>& pts) {
    QPolygon poly;
    for (const TabPoint& t : pts) poly << QPoint(t.x, t.y);
    return poly;
}

}  // namespace

CCustomTabCtrl::CCustomTabCtrl(QWidget* parent) : QWidget(parent) {
    SetControlFont(nullptr, false);
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
    drag_ = new QTimer(this);
    drag_->setSingleShot(true);
    QObject::connect(drag_, &QTimer::timeout, this, [this] { OnDragTimer(); });
}

void CCustomTabCtrl::SetControlFont(const platform::ui::FontSpec* font, bool redraw) {
    // Without a description the default GUI font.
    normal_ = font ? platform::ui::MakeFont(*font) : QApplication::font();
    bold_ = normal_;
    bold_.setWeight(QFont::Bold);
    if (editor_) editor_->setFont(bold_);
    if (!redraw) return;
    model_->RecalcLayout(3);
    PlaceEditor();
    update();
}

uint64_t CCustomTabCtrl::GlyphRow(int row, bool mirrored) {
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits = bits << 8 | kArrowRows[std::clamp(row, 0, 6)][i];
    if (!mirrored) return bits;
    uint64_t out = 0;
    for (int x = 0; x < 48; ++x) out |= ((bits >> x) & 1) << (47 - x);
    return out;
}

std::array<int, 5> CCustomTabCtrl::GlyphNumbers(bool rightToLeft) {
    if (rightToLeft) return {1, 2, 3, 4, 5};
    return {4, 0, 1, 2, 3};
}

void CCustomTabCtrl::SetDragCursors(std::optional<QCursor> move, std::optional<QCursor> copy) {
    moveCursor_ = std::move(move);
    copyCursor_ = std::move(copy);
}

void CCustomTabCtrl::SetButtonFace(const QImage& picture, bool sideBySide, const TabRect& margins,
                                   bool mirrored) {
    Face& f = mirrored ? mirroredFace_ : face_;
    f.picture = picture;
    f.sideBySide = sideBySide;
    f.margins = margins;
    update();
}

bool CCustomTabCtrl::SetGlyphColor(int state, const QColor& colour) {
    if (state < 0 || state >= int(glyphColors_.size())) return false;
    glyphColors_[size_t(state)] = colour;
    update();
    return true;
}

void CCustomTabCtrl::DrawButtonFace(QPainter& p, const QRect& face, int state) const {
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const Face& f = rtl && !mirroredFace_.picture.isNull() ? mirroredFace_ : face_;
    const QImage& pic = f.picture;
    const int index = std::clamp(state - 1, 0, 3);
    const QRect from = f.sideBySide
                           ? QRect(index * (pic.width() / 4), 0, pic.width() / 4, pic.height())
                           : QRect(0, index * (pic.height() / 4), pic.width(), pic.height() / 4);
    DrawNineSlice(p, pic, from, face, f.margins);
}

QRect CCustomTabCtrl::OnSizeParent(const QRect& remaining) {
    QRect rest = remaining;
    const uint32_t side = model_->style() & (kTabTop | kTabVertical);
    QRect band;
    if (side & kTabVertical) {
        const int w = std::min(width(), rest.width());
        if (side & kTabTop) {
            band = QRect(rest.left(), rest.top(), w, rest.height());
            rest.setLeft(rest.left() + w);
        } else {
            band = QRect(rest.right() + 1 - w, rest.top(), w, rest.height());
            rest.setRight(rest.right() - w);
        }
    } else {
        const int h = std::min(height(), rest.height());
        if (side & kTabTop) {
            band = QRect(rest.left(), rest.top(), rest.width(), h);
            rest.setTop(rest.top() + h);
        } else {
            band = QRect(rest.left(), rest.bottom() + 1 - h, rest.width(), h);
            rest.setBottom(rest.bottom() - h);
        }
    }
    setGeometry(band);
    return rest;
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
    if ((remove & kTabTooltips) && model_->toolTipWindow()) QToolTip::hideText();
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

QRect CCustomTabCtrl::ToWindow(const TabRect& r) const {
    if (r.empty()) return {};
    if (!vertical()) return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    const TabPoint a = TabStripModel::StripToVertical({r.left, r.top}, height());
    const TabPoint b = TabStripModel::StripToVertical({r.right - 1, r.bottom - 1}, height());
    return QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
                 QPoint(std::max(a.x, b.x), std::max(a.y, b.y)));
}

QImage CCustomTabCtrl::RenderStrip() const {
    const int W = model_->length(), H = model_->height();
    if (W <= 0 || H <= 0) return {};
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(kStripFill);
    QPainter p(&img);
    const QColor text = palette().color(QPalette::ButtonText);
    const bool top = model_->style() & kTabTop;
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    p.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
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
    const bool faced = !face_.picture.isNull() || (rtl && !mirroredFace_.picture.isNull());
    if (!faced) glyphColors_.fill(text);
    if (model_->buttonCount() > 0) {
        const TabRect area = model_->ButtonArea();
        p.setPen(text);
        p.setBrush(Qt::white);
        p.drawRect(QRect(QPoint(area.left, area.top), QPoint(area.right - 1, area.bottom - 1)));
        const std::array<int, 5> glyphs = GlyphNumbers(rtl);
        const TabStripModel::Button order[] = {TabStripModel::kClose, TabStripModel::kFirst,
                                               TabStripModel::kPrevious, TabStripModel::kNext,
                                               TabStripModel::kLast};
        for (size_t i = 0; i < 5; ++i) {
            const TabStripModel::Button b = order[i];
            const int state = model_->buttonState(b);
            if (!state) continue;
            const TabRect r = model_->ButtonRect(b);
            QRect face(QPoint(r.left + 1, top ? 1 : 2), QPoint(r.right - 2, top ? H - 2 : H - 1));
            if (faced) {
                DrawButtonFace(p, face, state);
            } else {
                p.setPen(state == 3 ? palette().color(QPalette::Dark)
                                    : palette().color(QPalette::Light));
                p.setBrush(palette().color(QPalette::Button));
                p.drawRect(face.adjusted(0, 0, -1, -1));
            }
            DrawGlyph(p, glyphs[i], rtl, face.left() + (face.width() - 8) / 2,
                      face.top() + (face.height() - 7) / 2, glyphColors_[size_t(state)]);
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
    // While a tab is dragged under a drag cursor: the drop marker, a small downward
    // triangle where the tab would land.
    if (model_->pressed() >= 0 && dragCursor_ != 0 && model_->dropTarget() >= 0) {
        const int x = model_->DropMarkerLeft();
        p.setPen(text);
        for (int row = 0; row < 4; ++row) p.drawLine(x + row, 1 + row, x + 6 - row, 1 + row);
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
    // A tab press becomes a drag when the style fits the Ctrl key and its cursor exists;
    // the drag shows itself after 300 ms.
    const uint32_t style = model_->style();
    const bool drags =
        ctrl ? (style & kTabDragCopy) && copyCursor_ : (style & kTabDragMove) && moveCursor_;
    if (drags) {
        model_->SetPressed(hit);
        model_->SetDropTarget(kHitNothing);
        drag_->start(300);
    } else {
        model_->SetPressed(kHitNothing);
    }
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
    const int source = model_->pressed();
    if (source >= 0) {
        const bool ctrl = e->modifiers() & Qt::ControlModifier;
        const int target = model_->dropTarget();
        const int shown = dragCursor_;
        EndDrag();
        if (target >= 0 && shown == 2 && ctrl)
            model_->CopyItem(source, target, true);
        else if (target >= 0 && shown == 1 && !ctrl)
            model_->MoveItem(source, target, true);
        update();
    }
}

void CCustomTabCtrl::OnDragTimer() {
    drag_->stop();
    const int source = model_->pressed();
    if (source < 0) return;
    // The target starts at the source; later rounds only follow the Ctrl key.
    if (model_->dropTarget() < 0) model_->SetDropTarget(source);
    drag_->start(10);
    const bool ctrl = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    const uint32_t style = model_->style();
    if ((style & kTabDragCopy) && ctrl && copyCursor_)
        ShowDragCursor(2);
    else if ((style & kTabDragMove) && !ctrl && moveCursor_)
        ShowDragCursor(1);
    else
        EndDrag();
}

void CCustomTabCtrl::ShowDragCursor(int which) {
    if (dragCursor_ == which) return;
    dragCursor_ = which;
    setCursor(which == 2 ? *copyCursor_ : *moveCursor_);
    update();
}

void CCustomTabCtrl::EndDrag() {
    drag_->stop();
    model_->SetPressed(kHitNothing);
    model_->SetDropTarget(kHitNothing);
    if (dragCursor_) unsetCursor();
    dragCursor_ = 0;
    if (QWidget::mouseGrabber() == this) releaseMouse();
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
    if (hit >= 0) {
        if (model_->pressed() >= 0) EndDrag();
        if (model_->HitTest(at.x, at.y) == hit) EditLabel(hit, true);
    }
    model_->Send(kTabLButtonDblClk, hit, at);
}

void CCustomTabCtrl::mouseMoveEvent(QMouseEvent* e) {
    const TabPoint at = ToStrip(e->position().toPoint());
    model_->HoverButtons(model_->HitTest(at.x, at.y), e->buttons() & Qt::LeftButton);
    if (model_->pressed() >= 0 && model_->dropTarget() >= 0) model_->DragStep(at.x);
    update();
}

bool CCustomTabCtrl::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    auto* help = static_cast<QHelpEvent*>(e);
    const TabPoint at = ToStrip(help->pos());
    const int id = (model_->style() & kTabTooltips) ? model_->ToolAt(at.x, at.y) : 0;
    if (id == 0) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), QString::fromStdString(model_->ToolText(id)), this,
                       ToWindow(model_->ToolRect(id)));
    return true;
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
    // The strip may be destroyed by what runs in this loop: nothing of it is read once it
    // has gone.
    QPointer<CCustomTabCtrl> self(this);
    QPointer<QLineEdit> guard(editor_);
    while (self && guard && !editDone_) loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (!self) return 0;
    qApp->removeEventFilter(this);
    return 0;
}

void CCustomTabCtrl::PlaceEditor() {
    if (!editor_ || editing_ < 0) return;
    const QFontMetrics fm(bold_);
    const auto [left, width] = model_->PlaceLabelEditor(
        editing_, fm.horizontalAdvance(QString::fromStdString(model_->item(editing_).label) + "X"));
    const TabItem& t = model_->item(editing_);
    const int h = std::min(t.text.bottom - t.text.top, fm.height() + 2);
    const int y = t.text.top + ((t.text.bottom - t.text.top) - h) / 2;
    editor_->setGeometry(left, y, width, h);
    // With the caret at the end and nothing selected, the whole label is brought into view.
    if (!editor_->hasSelectedText() && editor_->cursorPosition() == editor_->text().size()) {
        editor_->setCursorPosition(0);
        editor_->setCursorPosition(int(editor_->text().size()));
    }
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
