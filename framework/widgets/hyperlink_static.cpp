#include "framework/widgets/hyperlink_static.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include "platform/ui/cursor.h"

namespace hqlv::framework {
namespace {

platform::ui::ColorRef Highlight() {
    return platform::ui::FromQColor(QApplication::palette().color(QPalette::Highlight));
}

}  // namespace

CHyperLinkStatic::CHyperLinkStatic(QWidget* parent) : QLabel(parent), hover_colour_(Highlight()) {
    setMouseTracking(true);
    applyColour();
}

void CHyperLinkStatic::SetColors(platform::ui::ColorRef link, platform::ui::ColorRef visited,
                                 int64_t hover) {
    link_colour_ = link;
    visited_colour_ = visited;
    hover_colour_ = hover < 0 ? Highlight() : platform::ui::ColorRef(hover);
    applyColour();
}

void CHyperLinkStatic::SetLinkCursor(bool hand) {
    handCursor_ = hand;
    if (hand)
        platform::ui::SetWindowCursor(this, platform::ui::CursorShape::kHand);
    else
        unsetCursor();
}

void CHyperLinkStatic::SetUnderline(bool on, bool repaint) {
    underline_ = on;
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
    if (repaint) update();
}

void CHyperLinkStatic::SetVisited(bool on) {
    visited_ = on;
    applyColour();
}

bool CHyperLinkStatic::event(QEvent* e) {
    const bool handled = QLabel::event(e);
    // After the base has polished: the style's font and palette are in place to measure.
    if (e->type() == QEvent::Polish) PreSubclassWindow();
    return handled;
}

void CHyperLinkStatic::PreSubclassWindow() {
    if (bound_) return;
    bound_ = true;
    if (link_.empty()) link_ = text().toStdString();
    SetUnderline(underline_, false);
    PositionWindow();
    SetDefaultCursor();
    setToolTip(QString::fromStdString(link_));
}

void CHyperLinkStatic::SetDefaultCursor() {
    SetLinkCursor(handCursor_);
}

void CHyperLinkStatic::PositionWindow() {
    const QSize extent = fontMetrics().size(Qt::TextSingleLine, text());
    QRect r = geometry();
    const int w = std::min(r.width(), extent.width());
    const int h = std::min(r.height(), extent.height());
    int x = r.left();
    if (alignment() & Qt::AlignHCenter)
        x = r.left() + (r.width() - w) / 2;
    else if (alignment() & Qt::AlignRight)
        x = r.right() + 1 - w;
    setGeometry(x, r.top(), w, h);
}

platform::ui::ColorRef CHyperLinkStatic::CurrentColour() const {
    return hover_ ? hover_colour_ : visited_ ? visited_colour_ : link_colour_;
}

void CHyperLinkStatic::applyColour() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, platform::ui::ToQColor(CurrentColour()));
    setPalette(pal);
}

void CHyperLinkStatic::setHover(bool on) {
    if (hover_ == on) return;
    hover_ = on;
    if (on) {
        applyColour();
        repaint();
        // Held while hovered, so the move that leaves the text still arrives here.
        if (isVisible()) grabMouse();
        return;
    }
    if (QWidget::mouseGrabber() == this) releaseMouse();
    applyColour();
    repaint();
}

void CHyperLinkStatic::enterEvent(QEnterEvent* e) {
    setHover(true);
    QLabel::enterEvent(e);
}

void CHyperLinkStatic::leaveEvent(QEvent* e) {
    setHover(false);
    QLabel::leaveEvent(e);
}

void CHyperLinkStatic::mouseMoveEvent(QMouseEvent* e) {
    setHover(rect().contains(e->position().toPoint()));
    QLabel::mouseMoveEvent(e);
}

void CHyperLinkStatic::mousePressEvent(QMouseEvent* e) {
    // A mark left by a double click whose release went elsewhere does not outlive the next
    // press.
    if (e->button() == Qt::LeftButton) doublePress_ = false;
    QLabel::mousePressEvent(e);
}

void CHyperLinkStatic::mouseDoubleClickEvent(QMouseEvent* e) {
    // The second press of a double click comes as this alone; the base hands it on to the
    // press handler, which clears the mark, so the mark is set after.
    QLabel::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton) doublePress_ = true;
}

void CHyperLinkStatic::mouseReleaseEvent(QMouseEvent* e) {
    QLabel::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    const bool secondOfADouble = doublePress_;
    doublePress_ = false;
    if (!secondOfADouble && rect().contains(e->position().toPoint()) && onClick) onClick();
}

}  // namespace hqlv::framework
