#include "framework/widgets/report_list.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

#include "platform/ui/draw_context.h"

namespace hqlv::framework {
namespace {

// Rows at least as high as the list's row pictures.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    explicit RowHeightDelegate(CSortListCtrl* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(std::max(s.height(), list_->rowImageSize().height()));
        return s;
    }

private:
    CSortListCtrl* list_;
};

Qt::Alignment AlignOf(int format) {
    switch (format & 3) {
        case kColumnRight:
            return Qt::AlignRight;
        case kColumnCentre:
            return Qt::AlignHCenter;
        default:
            return Qt::AlignLeft;
    }
}

}  // namespace

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CSortHeaderCtrl::SetSortColumn(int column, bool ascending) {
    sortColumn_ = column;
    ascending_ = ascending;
    viewport()->update();
}

int CSortHeaderCtrl::Unit() const {
    return 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

int CSortHeaderCtrl::TitleWidth(int logicalIndex) const {
    const QString label =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                : QString();
    const int arrow = logicalIndex == sortColumn_ ? 3 * Unit() : 0;
    return fontMetrics().horizontalAdvance(label) + 2 * Unit() + arrow + 1;
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->setClipRect(rect);
    const QPalette& pal = palette();
    painter->fillRect(rect, pal.color(QPalette::Button));
    // The section's edge as the classic header draws it.
    painter->setPen(pal.color(QPalette::Light));
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(pal.color(QPalette::Dark));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    const int o = Unit();
    QRect text = rect;
    // A pressed section moves its text as a pushed button does.
    if (pressed_ == logicalIndex) text.translate(1, 2);
    const QVariant align =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole)
                : QVariant();
    Qt::Alignment h =
        align.isValid() ? Qt::Alignment(align.toInt()) & Qt::AlignHorizontal_Mask : Qt::AlignLeft;
    text.adjust(o, 0, -o, 0);
    if (logicalIndex == sortColumn_) text.adjust(0, 0, -3 * o, 0);
    const QString label =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                : QString();
    painter->setPen(pal.color(QPalette::ButtonText));
    painter->setFont(font());
    painter->drawText(text, int(h | Qt::AlignVCenter) | Qt::TextSingleLine,
                      fontMetrics().elidedText(label, Qt::ElideRight, std::max(0, text.width())));

    if (logicalIndex == sortColumn_) {
        // A small triangle near the right end: light edges toward the light, dark away.
        const int side = o;
        const int x = rect.right() - o - side;
        const int cy = rect.center().y();
        QPoint a, b, c;
        if (ascending_) {
            a = {x + side / 2, cy - side / 2};
            b = {x, cy + side / 2};
            c = {x + side, cy + side / 2};
        } else {
            a = {x, cy - side / 2};
            b = {x + side, cy - side / 2};
            c = {x + side / 2, cy + side / 2};
        }
        painter->setPen(pal.color(QPalette::Light));
        painter->drawLine(a, c);
        painter->drawLine(b, c);
        painter->setPen(pal.color(QPalette::Dark));
        painter->drawLine(a, b);
    }
    painter->restore();
}

void CSortHeaderCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = logicalIndexAt(e->position().toPoint());
    viewport()->update();
    QHeaderView::mousePressEvent(e);
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* e) {
    pressed_ = -1;
    viewport()->update();
    QHeaderView::mouseReleaseEvent(e);
}

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent) {
    header_ = new CSortHeaderCtrl(this);
    setHeader(header_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setColumnCount(0);
    setItemDelegate(new RowHeightDelegate(this));
    header_->installEventFilter(this);
    header_->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);
}

void CSortListCtrl::ApplyColumnSpec() {
    DeleteAllColumns();
    InsertColumns3(ParseColumnSpec(spec_));
}

void CSortListCtrl::InsertColumn(int position, const ColumnSpec& column) {
    const int n = columnCount();
    const int at = std::clamp(position, 0, n);
    setColumnCount(n + 1);
    QAbstractItemModel* m = model();
    // A cell's roles go one column to the right; the row's item data (column 0) stays.
    auto moveCell = [&](int row, int from, int to) {
        QMap<int, QVariant> roles = m->itemData(m->index(row, from));
        if (from == 0) roles.remove(kItemDataRole);
        for (int role : m->itemData(m->index(row, to)).keys())
            if (to != 0 || role != kItemDataRole) m->setData(m->index(row, to), QVariant(), role);
        for (auto it = roles.begin(); it != roles.end(); ++it)
            m->setData(m->index(row, to), it.value(), it.key());
    };
    for (int row = 0; row < topLevelItemCount(); ++row) {
        for (int c = n; c > at; --c) moveCell(row, c - 1, c);
        for (int role : m->itemData(m->index(row, at)).keys())
            if (at != 0 || role != kItemDataRole) m->setData(m->index(row, at), QVariant(), role);
    }
    QTreeWidgetItem* h = headerItem();
    for (int c = n; c > at; --c) {
        h->setText(c, h->text(c - 1));
        h->setTextAlignment(c, Qt::Alignment(h->textAlignment(c - 1)));
        header_->resizeSection(c, header_->sectionSize(c - 1));
    }
    h->setText(at, QString::fromStdString(column.title));
    h->setTextAlignment(at, AlignOf(column.align) | Qt::AlignVCenter);
    header_->resizeSection(at, std::max(0, column.width));
    columns_.insert(columns_.begin() + std::min(size_t(at), columns_.size()), column);
    applyLocks();
}

void CSortListCtrl::InsertColumns3(const std::vector<ColumnSpec>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) InsertColumn(int(i), columns[i]);
}

void CSortListCtrl::InsertColumns2(const std::vector<std::pair<std::string, int>>& columns) {
    std::vector<ColumnSpec> three;
    for (const auto& [title, width] : columns) three.push_back({title, width, kColumnLeft});
    InsertColumns3(three);
}

void CSortListCtrl::DeleteAllColumns() {
    clear();
    columns_.clear();
    setColumnCount(0);
}

int CSortListCtrl::FindColumn(const std::string& title) const {
    return FindColumnTitle(ParseColumnSpec(spec_), title);
}

int CSortListCtrl::DeselectAll() {
    clearSelection();
    return topLevelItemCount();
}

int CSortListCtrl::FindItemByData(int value) const {
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->data(0, kItemDataRole).toInt() == value) return i;
    return -1;
}

void CSortListCtrl::SetExtendedStyle(uint32_t style) {
    exStyle_ = style;
    viewport()->update();
}

void CSortListCtrl::AddExStyle(uint32_t bits) {
    SetExtendedStyle(exStyle_ | bits);
}

void CSortListCtrl::SetRowImageSize(int width, int height) {
    rowImage_ = QSize(std::max(width, 0), std::max(height, 0));
    // Every row is measured again.
    doItemsLayout();
}

void CSortListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    if (!(exStyle_ & kGridLines)) return;
    // The lines of the classic grid: under the row and at each column's right edge.
    painter->save();
    painter->setPen(palette().color(QPalette::Midlight).darker(110));
    const QRect r = option.rect;
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    for (int c = 0; c < columnCount(); ++c) {
        const int x = header_->sectionViewportPosition(c) + header_->sectionSize(c) - 1;
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}

void CSortListCtrl::LockColumn(int column, bool locked) {
    if (column < 0 || column >= kLockSlots) return;
    locks_[size_t(column)] = locked ? 1 : 0;
    applyLocks();
}

bool CSortListCtrl::IsColumnLocked(int column) const {
    return column >= 0 && column < kLockSlots && locks_[size_t(column)] == 1;
}

// A locked column's divider cannot be dragged: the header keeps its section fixed.
void CSortListCtrl::applyLocks() {
    for (int c = 0; c < columnCount(); ++c)
        header_->setSectionResizeMode(
            c, IsColumnLocked(c) ? QHeaderView::Fixed : QHeaderView::Interactive);
}

bool CSortListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        auto* e = static_cast<QContextMenuEvent*>(event);
        if (onContextMenu)
            onContextMenu(e->globalPos(), e->reason() == QContextMenuEvent::Keyboard);
        return true;
    }
    // A right press on the header or below the last row leaves the selection alone.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::RightButton &&
            (watched == header_->viewport() ||
             (watched == viewport() && !itemAt(e->position().toPoint()))))
            return true;
    }
    return QTreeWidget::eventFilter(watched, event);
}

void CSortListCtrl::contextMenuEvent(QContextMenuEvent* e) {
    if (onContextMenu) onContextMenu(e->globalPos(), e->reason() == QContextMenuEvent::Keyboard);
    e->accept();
}

}  // namespace hqlv::framework
