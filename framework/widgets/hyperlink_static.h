#pragma once
// A static text that behaves as a link: coloured text, a hover colour while the mouse is
// over it, a hand cursor, a tooltip with the link text and an optional underline. It
// opens nothing itself: a click goes to the owning dialog's command handler. A double click
// is one click, as on a static control: its second press comes as a double-click, which
// acts on nothing.
//
// The control binds itself: when Qt first polishes it (before it is first shown, or on the
// event loop's first turn after it was made) it takes its text as the link text unless one
// was set, builds its font, shrinks to its text, sets its cursor and its tooltip. Its maker
// only gives the text, the geometry, the colours and the cursor choice beforehand.
#include <QLabel>

#include <functional>
#include <string>

#include "platform/ui/draw_context.h"

namespace hqlv::framework {

class CHyperLinkStatic : public QLabel {
public:
    explicit CHyperLinkStatic(QWidget* parent = nullptr);

    // Hover -1: the system's highlight colour.
    void SetColors(platform::ui::ColorRef link, platform::ui::ColorRef visited, int64_t hover = -1);
    // Whether the hand cursor shows over the link.
    void SetLinkCursor(bool hand);
    void SetUnderline(bool on, bool repaint = true);
    void SetVisited(bool on);
    void SetLinkText(const std::string& utf8) { link_ = utf8; }
    // Shrinks the control to its text where its alignment puts the text; never grows.
    void PositionWindow();

    platform::ui::ColorRef CurrentColour() const;
    bool hovering() const { return hover_; }
    // Whether the control has bound itself (see above).
    bool bound() const { return bound_; }

    // The owning dialog's command handler for this control.
    std::function<void()> onClick;

protected:
    // The binding: takes the text as link text when none was set, builds the font, shrinks
    // the control to its text, makes sure of the cursor and sets up the tooltip. Once.
    void PreSubclassWindow();
    // The hand cursor unless the maker chose none.
    void SetDefaultCursor();
    bool event(QEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void applyColour();
    void setHover(bool on);

    platform::ui::ColorRef link_colour_ = 0xEE0000;
    platform::ui::ColorRef visited_colour_ = 0x8B1A55;
    platform::ui::ColorRef hover_colour_;
    bool hover_ = false;
    bool visited_ = false;
    bool underline_ = false;
    bool handCursor_ = true;
    bool bound_ = false;
    // The left button went down as the second press of a double click: its release is no
    // click of its own.
    bool doublePress_ = false;
    std::string link_;
};

}  // namespace hqlv::framework
