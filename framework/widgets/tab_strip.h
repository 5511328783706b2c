#pragma once
// The strip of slanted tabs as a widget: everything is drawn into one picture and copied
// in one piece (a vertical strip is drawn lying and turned a quarter turn); mouse input
// goes through the model's hit codes; the parent hears of everything through the
// notification record. A tab's label is edited in place in a loop of its own. Tabs are
// dragged to another place (or, with Ctrl, copied) under the owner's drag cursors, tools
// show tooltips, and the buttons can wear the owner's face pictures.
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "framework/widgets/tab_strip_model.h"
#include "platform/ui/draw_context.h"

class QLineEdit;
class QTimer;

namespace hqlv::framework {

class CCustomTabCtrl : public QWidget {
public:
    explicit CCustomTabCtrl(QWidget* parent = nullptr);
    ~CCustomTabCtrl() override;

    TabStripModel& model() { return *model_; }
    // The label font (and its bold form, weight 700) from a description; without one the
    // default GUI font. With redraw the strip is laid out again and repainted at once.
    void SetControlFont(const platform::ui::FontSpec* font, bool redraw);
    const QFont& controlFont() const { return normal_; }
    const QFont& boldFont() const { return bold_; }
    void ModifyStyle(uint32_t remove, uint32_t add);
    int InsertItem(int index, const std::string& label, uint32_t data);
    int SetCurSel(int index);
    // Starts editing the current tab's label; returns when editing has ended (0) or with
    // a failure code.
    int EditLabel(int index, bool fromMouse);
    QLineEdit* editor() const { return editor_; }
    // The strip as it is drawn before the turn of a vertical strip.
    QImage RenderStrip() const;
    // A window point in the strip frame.
    TabPoint ToStrip(const QPoint& p) const;
    // A strip rectangle in the window.
    QRect ToWindow(const TabRect& r) const;

    // The cursors shown while a tab is dragged to move it and to copy it (the strip keeps
    // them). Without the matching cursor a press does not start a drag.
    void SetDragCursors(std::optional<QCursor> move, std::optional<QCursor> copy);
    // Which drag cursor shows now: 0 none, 1 move, 2 copy.
    int dragCursor() const { return dragCursor_; }

    // A picture for the button faces: four state images (normal, hot, pressed, fourth) side
    // by side or one above the other, each drawn nine-slice into a face: the corners of the
    // margins as they are, the edges and the centre stretched. The mirrored picture serves
    // the right-to-left layout. A null picture removes it.
    void SetButtonFace(const QImage& picture, bool sideBySide, const TabRect& margins,
                       bool mirrored = false);
    // The glyph colour for a button state (1 normal, 2 hot, 3 pressed) over a face picture;
    // without one every glyph takes the button-text colour. False for a state outside 0..3.
    bool SetGlyphColor(int state, const QColor& colour);
    // The glyph numbers of the buttons (close, first, previous, next, last) for a layout:
    // 4 0 1 2 3 left to right; 1 2 3 4 5 of the mirrored set right to left.
    static std::array<int, 5> GlyphNumbers(bool rightToLeft);
    // One row of the glyph set (48 pixels, 8 per glyph, a 0 bit drawn), plain or mirrored.
    static uint64_t GlyphRow(int row, bool mirrored);

    // The frame's layout step: takes the strip's band (its own height, or a vertical
    // strip's width) off `remaining` at the side its style names (bottom, top, right, left),
    // moves the strip into the band across the whole rectangle and returns what remains.
    QRect OnSizeParent(const QRect& remaining);

    // The clock the auto-repeat looks at (milliseconds); the steady clock unless set.
    std::function<int64_t()> clock;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool vertical() const { return model_->style() & kTabVertical; }
    int64_t Now() const;
    void Press(const QPoint& p, bool ctrl);
    // Ends the edit with the editor's text unless the parent refuses; true when ended.
    bool CommitEdit();
    void CloseEditor();
    void PlaceEditor();
    // Timer 2: the drag starts or goes on under the cursor that fits the Ctrl key.
    void OnDragTimer();
    void EndDrag();
    void ShowDragCursor(int which);
    struct Face {
        QImage picture;
        bool sideBySide = true;
        TabRect margins;
    };
    void DrawButtonFace(QPainter& p, const QRect& face, int state) const;

    std::unique_ptr<TabStripModel> model_;
    QFont normal_, bold_;
    QTimer* repeat_ = nullptr;
    QTimer* drag_ = nullptr;
    std::optional<QCursor> moveCursor_, copyCursor_;
    int dragCursor_ = 0;
    Face face_, mirroredFace_;
    mutable std::array<QColor, 4> glyphColors_{};  // painting without a face resets them
    QLineEdit* editor_ = nullptr;
    int editing_ = -1;
    std::string savedLabel_;
    bool editDone_ = false;
};

}  // namespace hqlv::framework
