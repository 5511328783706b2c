#pragma once
// The report-style list of the panes: columns from one column text, item data per row,
// per-row fonts and colours for the pane's own look, and a header that draws its own
// sections with an optional sort arrow. Columns can be locked against resizing.
#include <QHeaderView>
#include <QTreeWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "framework/widgets/column_format.h"

namespace hqlv::framework {

// Item data (the user id in the player list) sits in this role of column 0.
inline constexpr int kItemDataRole = Qt::UserRole;

class CSortHeaderCtrl : public QHeaderView {
public:
    explicit CSortHeaderCtrl(QWidget* parent = nullptr);
    // -1: no arrow. The framework sets none; whoever adds sorting does.
    void SetSortColumn(int column, bool ascending);
    int sortColumn() const { return sortColumn_; }
    bool ascending() const { return ascending_; }
    // Twice the width of a blank in the header's font: the unit of the margins and arrow.
    int Unit() const;
    // The width a section needs to show its title whole (margins and arrow included).
    int TitleWidth(int logicalIndex) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    int pressed_ = -1;
    int sortColumn_ = -1;
    bool ascending_ = false;
};

class CSortListCtrl : public QTreeWidget {
public:
    static constexpr int kLockSlots = 256;

    explicit CSortListCtrl(QWidget* parent = nullptr);
    CSortHeaderCtrl* sortHeader() const { return header_; }

    void SetColumnSpec(const std::string& spec) { spec_ = spec; }
    const std::string& columnSpec() const { return spec_; }
    // Every column anew from the column text.
    void ApplyColumnSpec();
    // One column at a position (past the last: at the end). The columns from there on move
    // one to the right with their cells; a row's item data stays with the row.
    void InsertColumn(int position, const ColumnSpec& column);
    // Column i of the given ones goes to position i: before any columns already there.
    void InsertColumns3(const std::vector<ColumnSpec>& columns);
    // Title and width only: left-aligned.
    void InsertColumns2(const std::vector<std::pair<std::string, int>>& columns);
    void DeleteAllColumns();
    // The first column of the column text with this title, ignoring case; -1 when none.
    int FindColumn(const std::string& title) const;
    // The width the column's cells need (their widest text, icon and margins).
    int CellsWidth(int column) const { return sizeHintForColumn(column); }
    // Clears every row's selection; the number of rows.
    int DeselectAll();
    // The first row whose item data equals the value; -1 when none.
    int FindItemByData(int value) const;
    // The list's extended style bits: kGridLines draws lines between the rows and the
    // columns; kFullRowSelect (the rows are always selected whole here) is kept as given.
    static constexpr uint32_t kGridLines = 0x1, kFullRowSelect = 0x20;
    // All the bits as given.
    void SetExtendedStyle(uint32_t style);
    // These bits besides those already set.
    void AddExStyle(uint32_t bits);
    uint32_t extendedStyle() const { return exStyle_; }
    // The rows' small image list: a list of pictures this high makes every row at least as
    // high (0: rows as high as their text).
    void SetRowImageSize(int width, int height);
    QSize rowImageSize() const { return rowImage_; }
    // Columns 0-255 can be locked; any other column is never locked.
    void LockColumn(int column, bool locked);
    bool IsColumnLocked(int column) const;
    // The start of a divider drag: true when the column refuses it.
    bool OnBeginTrack(int column) const { return IsColumnLocked(column); }

    int rowCount() const { return topLevelItemCount(); }
    QTreeWidgetItem* row(int i) const { return topLevelItem(i); }

    // Right clicks and the menu key, with the point in screen coordinates; the pane
    // decides what opens.
    std::function<void(const QPoint& global, bool fromKeyboard)> onContextMenu;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void applyLocks();
    uint32_t exStyle_ = 0;
    QSize rowImage_{0, 0};

    CSortHeaderCtrl* header_;
    std::string spec_;
    std::vector<ColumnSpec> columns_;
    std::array<int, kLockSlots> locks_{};
};

}  // namespace hqlv::framework
