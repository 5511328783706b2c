#pragma once
// CMJToolView: the framework's safe-box tool bar with a header picture from the skin and
// its two buttons centred when the pane is narrow.
#include <QImage>

#include <optional>

#include "framework/web/tool_view.h"

namespace hqlv::mahjong {

class CMJToolView : public framework::web::CGameToolView {
public:
    using framework::web::CGameToolView::CGameToolView;
    // "Image" of section "Headerbar" in the skin description, beside it.
    void LoadHeaderBitmap();
    void SetHeaderBitmap(std::optional<QImage> image) { header_ = std::move(image); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    std::optional<QImage> header_;
};

}  // namespace hqlv::mahjong
