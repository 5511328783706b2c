#pragma once
// CMJToolView: the framework's safe-box tool bar with a header picture from the skin and
// its two buttons centred when the pane is narrow.
#include <QImage>

#include <functional>
#include <optional>

#include "framework/panes/form_view.h"
#include "framework/web/tool_view.h"

namespace hqlv::mahjong {

class CMJToolView : public framework::web::CGameToolView {
public:
    // The two buttons are made with the pane (its initial update), whoever makes it.
    explicit CMJToolView(framework::web::SafeBoxOps& ops = framework::web::AppSafeBoxOps(),
                         QWidget* parent = nullptr);
    // "Image" of section "Headerbar" in the skin description, beside it.
    void LoadHeaderBitmap();
    void SetHeaderBitmap(std::optional<QImage> image) { header_ = std::move(image); }
    const std::optional<QImage>& header() const { return header_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    std::optional<QImage> header_;
};

// The inner splitter of the layout with a tool row: the bar between the tool row (row 3)
// and the chat row (row 4) cannot be grabbed.
class CMJToolSplitterWnd : public framework::CSkinSplitterWnd {
public:
    using framework::CSkinSplitterWnd::CSkinSplitterWnd;
    // 0 ("nowhere") for a screen point in the gap between rows 3 and 4 of a layout with a
    // tool row; 1 (the default answer) elsewhere.
    int OnNcHitTest(const QPoint& screen) const;
    // Whether the application's layout has a tool row; the application's unless set.
    std::function<bool()> hasToolRow;
    // Mouse presses and moves on the bars: swallowed where the bar is "nowhere".
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    QSplitterHandle* createHandle() override;
};

}  // namespace hqlv::mahjong
