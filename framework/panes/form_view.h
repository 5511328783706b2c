#pragma once
// The document and view the single-document frame needs, the base of every pane, and the
// skinned splitter the main frame divides its client area with.
#include <QSplitter>
#include <QSplitterHandle>

#include <optional>
#include <string>

#include "platform/ui/draw_context.h"
#include "platform/ui/window.h"

namespace hqlv::framework {

inline constexpr uint32_t kMsgGameEntered = 0x85B1;

class CGameApp;

// Tiles a picture over a rectangle on a grid anchored at the device origin; without a
// picture (or one of no width) the rectangle is filled with the fill colour.
void DrawBitmapInRect(platform::ui::DrawContext& dc, const QRect& r, const QImage* bitmap,
                      platform::ui::ColorRef fill);

// n × dpi / 96, truncated towards zero: a length of a 96-dpi layout on a screen of dpi.
int ScaleByDpi(int n, double dpi);
// n scaled by the screen's logical pixels per inch, horizontal and vertical. The factors
// are read from the screen once and kept; before there is a screen n comes back as it is.
int ScaleX(int n);
int ScaleY(int n);

// The framework's empty document: no data of its own.
class CGameDoc {
public:
    virtual ~CGameDoc() = default;
};

// The framework's empty view: draws nothing.
class CGameView : public platform::ui::Window {
public:
    using platform::ui::Window::Window;
};

class CGameFormView : public platform::ui::Window {
public:
    explicit CGameFormView(std::string name, QWidget* parent = nullptr);

    const std::string& paneName() const { return name_; }
    // Shows or hides the pane; the skin layer lets go of it first when hiding.
    virtual void ShowPane(bool show);
    // Repaints the whole pane at once.
    virtual void Refresh();
    CGameApp* GetTheApp() const;

    // The size step: false when a side is 0 or the size did not change; true (and the
    // size kept) otherwise. Derived panes lay themselves out only on true.
    bool OnSize(int cx, int cy);
    // Where the pane really goes for a cell: one pixel wider on every side, so that its
    // own border lies outside the splitter cell (over the splitter's border there).
    static QRect WidenedCell(const QRect& cell) { return cell.adjusted(-1, -1, 1, 1); }
    // The splitter cell the pane was last given (its geometry narrowed back); empty when
    // it is not in a splitter's cell.
    const QRect& cell() const { return cell_; }
    // Times the pane was told that the game was entered.
    int gameEnteredCount() const { return gameEntered_; }

protected:
    // In a splitter's cell the pane takes the widened place of every cell it is given;
    // only moves and sizes of that place reach the pane's own handlers.
    bool event(QEvent* e) override;
    intptr_t handleMessage(const platform::Message& msg) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    virtual void OnGameEntered();

private:
    std::string name_;
    QRect cell_, widened_;
    bool widening_ = false;
    int lastCx_ = 0, lastCy_ = 0;
    int gameEntered_ = 0;
};

class CSkinSplitterWnd : public QSplitter {
public:
    explicit CSkinSplitterWnd(Qt::Orientation o, QWidget* parent = nullptr);
    void SetDrawMode(int mode) { mode_ = mode; }
    int drawMode() const { return mode_; }
    void SetBarBitmaps(std::optional<QImage> vertical, std::optional<QImage> horizontal) {
        vertical_ = std::move(vertical);
        horizontal_ = std::move(horizontal);
    }
    void SetGripBitmap(std::optional<QImage> grip) { grip_ = std::move(grip); }
    void SetFaceColor(platform::ui::ColorRef c) { face_ = c; }
    platform::ui::ColorRef faceColor() const { return face_; }
    enum class Part { kBorder, kBar };
    // Draws a part of the given rectangle the way the draw mode asks: a bar, or the border
    // around a pane's cell.
    void OnDrawSplitter(platform::ui::DrawContext& dc, Part kind, const QRect& r) const;
    void OnDrawSplitter(platform::ui::DrawContext& dc, const QRect& bar) const {
        OnDrawSplitter(dc, Part::kBar, bar);
    }
    // The cell of child widget i (as the splitter placed it; a pane's widening undone).
    QRect CellOf(int i) const;
    // The borders around the cells (modes 0, 1 and 4; the others draw none).
    void DrawBorders(platform::ui::DrawContext& dc) const;
    // The panes' minimums and the bars, and the border around them.
    QSize minimumSizeHint() const override;

protected:
    QSplitterHandle* createHandle() override;
    // The borders around the cells (modes 0, 1 and 4).
    void paintEvent(QPaintEvent* e) override;

private:
    int mode_ = 0;
    platform::ui::ColorRef face_ = 0x808080;  // button shadow
    std::optional<QImage> vertical_, horizontal_, grip_;
};

}  // namespace hqlv::framework
