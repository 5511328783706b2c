// The window kit under Qt's offscreen platform: the report list and its header, and the
// owner-drawn menus (measuring, accelerator column, default item, records freed).
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTest>

#include <initializer_list>
#include <utility>

#include "framework/panes/form_view.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/report_list.h"
#include "netlib/util.h"
#include "platform/core/message.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

// A pane's picture is tiled from the device origin; without one (or an empty one) the
// rectangle is filled with the colour.
TEST(FormView, BitmapTilesFromTheOriginOrFills) {
    SharedQtApp();
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.fill(Qt::blue);
    tile.setPixel(0, 0, qRgb(255, 255, 255));
    const QImage empty;
    {
        QPainter p(&img);
        platform::ui::DrawContext dc(p);
        DrawBitmapInRect(dc, QRect(0, 0, 2, 2), nullptr, 0x0000FF);
        DrawBitmapInRect(dc, QRect(6, 6, 2, 2), &empty, 0x00FF00);
        DrawBitmapInRect(dc, QRect(3, 3, 3, 3), &tile, 0);
    }
    EXPECT_EQ(img.pixelColor(1, 1), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(7, 7), QColor(0, 255, 0));
    EXPECT_EQ(img.pixelColor(4, 4), QColor(255, 255, 255));  // even: the tile's first pixel
    EXPECT_EQ(img.pixelColor(3, 3), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(6, 3), QColor(0, 0, 0));  // outside the rectangle
}

TEST(ReportList, ColumnTextMakesColumns) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("用户名|100|0|总成绩|75|2|");
    list.ApplyColumnSpec();
    ASSERT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.headerItem()->text(0), "用户名");
    EXPECT_EQ(list.headerItem()->text(1), "总成绩");
    EXPECT_EQ(list.header()->sectionSize(0), 100);
    EXPECT_EQ(list.header()->sectionSize(1), 75);
    EXPECT_EQ(list.headerItem()->textAlignment(0) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(list.headerItem()->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    list.SetColumnSpec("名|10|1|x");
    list.ApplyColumnSpec();
    ASSERT_EQ(list.columnCount(), 1);
    EXPECT_EQ(list.headerItem()->textAlignment(0) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    list.SetColumnSpec("Name|10|0|Score|20|0|");
    EXPECT_EQ(list.FindColumn("SCORE"), 1);
    EXPECT_EQ(list.FindColumn("none"), -1);
    list.InsertColumns2({{"a", 30}});
    EXPECT_EQ(list.columnCount(), 2);
    list.DeleteAllColumns();
    EXPECT_EQ(list.columnCount(), 0);
}

// Column i goes to position i: before the columns already there, which keep their titles,
// widths, alignments and cells; a row's item data stays with the row.
TEST(ReportList, InsertedColumnsGoBeforeThoseThere) {
    SharedQtApp();
    CSortListCtrl list;
    list.InsertColumns3({{"X", 60, kColumnRight}});
    auto* row = new QTreeWidgetItem(&list, QStringList{"x0"});
    row->setData(0, kItemDataRole, 42);
    row->setForeground(0, QColor(1, 2, 3));
    list.LockColumn(1, true);
    list.InsertColumns3({{"A", 30, kColumnLeft}, {"B", 35, kColumnCentre}});
    ASSERT_EQ(list.columnCount(), 3);
    auto titles = [&] {
        std::vector<std::string> out;
        for (int c = 0; c < list.columnCount(); ++c)
            out.push_back(list.headerItem()->text(c).toStdString());
        return out;
    };
    EXPECT_EQ(titles(), (std::vector<std::string>{"A", "B", "X"}));
    EXPECT_EQ(list.header()->sectionSize(0), 30);
    EXPECT_EQ(list.header()->sectionSize(1), 35);
    EXPECT_EQ(list.header()->sectionSize(2), 60);
    EXPECT_EQ(list.headerItem()->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(list.headerItem()->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(row->text(2), "x0");
    EXPECT_EQ(row->foreground(2).color(), QColor(1, 2, 3));
    EXPECT_EQ(row->text(0), "");
    EXPECT_EQ(row->data(0, Qt::ForegroundRole), QVariant());
    EXPECT_EQ(row->data(0, kItemDataRole).toInt(), 42);
    EXPECT_EQ(row->data(2, kItemDataRole), QVariant());
    EXPECT_EQ(list.FindItemByData(42), 0);
    // Locks belong to the position: column 1 is now B, and still locked.
    EXPECT_EQ(list.header()->sectionResizeMode(1), QHeaderView::Fixed);
    EXPECT_EQ(list.header()->sectionResizeMode(2), QHeaderView::Interactive);
    // Past the end: at the end; before the start: first.
    list.InsertColumn(9, {"Z", 45, kColumnLeft});
    list.InsertColumn(-3, {"F", 46, kColumnLeft});
    list.InsertColumn(2, {"M", 47, kColumnLeft});
    EXPECT_EQ(titles(), (std::vector<std::string>{"F", "A", "M", "B", "X", "Z"}));
    EXPECT_EQ(row->text(4), "x0");
    EXPECT_EQ(row->data(0, kItemDataRole).toInt(), 42);
    EXPECT_EQ(list.header()->sectionSize(2), 47);
    EXPECT_EQ(list.header()->sectionSize(4), 60);
    EXPECT_EQ(list.header()->sectionSize(5), 45);
    list.InsertColumns2({{"L", 30}});
    EXPECT_EQ(titles().front(), "L");
    EXPECT_EQ(row->data(0, kItemDataRole).toInt(), 42);  // the item data stays in column 0
    EXPECT_EQ(row->data(1, kItemDataRole), QVariant());
    EXPECT_EQ(list.headerItem()->textAlignment(0) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

// Added bits join those set; setting the style replaces them all.
TEST(ReportList, AddedStyleBitsJoinThoseSet) {
    SharedQtApp();
    CSortListCtrl list;
    list.AddExStyle(CSortListCtrl::kFullRowSelect);
    EXPECT_EQ(list.extendedStyle(), 0x20u);
    list.AddExStyle(CSortListCtrl::kGridLines);
    EXPECT_EQ(list.extendedStyle(), 0x21u);
    list.AddExStyle(CSortListCtrl::kGridLines);
    EXPECT_EQ(list.extendedStyle(), 0x21u);
    list.SetExtendedStyle(CSortListCtrl::kGridLines);
    EXPECT_EQ(list.extendedStyle(), 0x1u);
}

TEST(ReportList, GridLinesAndRowsAsHighAsTheirPictures) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("a|60|0|b|50|0|");
    list.ApplyColumnSpec();
    QPalette pal = list.palette();
    pal.setColor(QPalette::Base, QColor(0xF0, 0xFF, 0xFF));
    list.setPalette(pal);
    list.resize(200, 160);
    for (int i = 0; i < 3; ++i) new QTreeWidgetItem(&list, QStringList{"x", "y"});
    list.show();
    const int text = list.visualItemRect(list.row(0)).height();
    // A list of pictures higher than the text makes every row that high; a lower one none.
    list.SetRowImageSize(1, text + 9);
    EXPECT_EQ(list.rowImageSize(), QSize(1, text + 9));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.visualItemRect(list.row(i)).height(), text + 9);
    list.SetRowImageSize(1, 2);
    EXPECT_EQ(list.visualItemRect(list.row(1)).height(), text);
    list.SetRowImageSize(-1, -5);
    EXPECT_EQ(list.rowImageSize(), QSize(0, 0));
    // The grid: a line under each row and at each column's right edge, only with the bit.
    const QRect r = list.visualItemRect(list.row(0));
    auto at = [&](int x, int y) {
        const QImage img = list.viewport()->grab().toImage();
        return img.pixelColor(x, y);
    };
    const QColor base(0xF0, 0xFF, 0xFF);
    EXPECT_EQ(list.extendedStyle(), 0u);
    EXPECT_EQ(at(20, r.bottom()), base);
    EXPECT_EQ(at(59, r.top() + 2), base);
    list.SetExtendedStyle(CSortListCtrl::kGridLines | CSortListCtrl::kFullRowSelect);
    EXPECT_EQ(list.extendedStyle(), 33u);
    EXPECT_NE(at(20, r.bottom()), base);
    EXPECT_NE(at(59, r.top() + 2), base);   // column a's right edge
    EXPECT_NE(at(109, r.top() + 2), base);  // column b's
    EXPECT_EQ(at(20, r.top() + 2), base);
    EXPECT_EQ(at(58, r.top() + 2), base);
    list.SetExtendedStyle(CSortListCtrl::kFullRowSelect);
    EXPECT_EQ(at(20, r.bottom()), base);
}

TEST(ReportList, RightPressesOnRowsOnlyAndEveryContextMenuOnce) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("a|60|0|");
    list.ApplyColumnSpec();
    list.resize(200, 200);
    for (int i = 0; i < 2; ++i) new QTreeWidgetItem(&list, QStringList{"x"});
    list.show();
    auto rightPress = [](QWidget* w, QPoint at) {
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(at), w->mapToGlobal(QPointF(at)),
                         Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(w, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(at), w->mapToGlobal(QPointF(at)),
                       Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &up);
    };
    const QRect r0 = list.visualItemRect(list.row(0)), r1 = list.visualItemRect(list.row(1));
    list.row(0)->setSelected(true);
    // On a row the list takes the press; below the rows and on the header it is left alone.
    rightPress(list.viewport(), r1.center());
    EXPECT_TRUE(list.row(1)->isSelected());
    EXPECT_FALSE(list.row(0)->isSelected());
    rightPress(list.viewport(), QPoint(5, r1.bottom() + 30));
    EXPECT_TRUE(list.row(1)->isSelected());
    rightPress(list.header()->viewport(), QPoint(5, 5));
    EXPECT_TRUE(list.row(1)->isSelected());
    // A context menu, on the rows or from the keyboard on the list, is offered once.
    int menus = 0;
    bool keyboard = true;
    list.onContextMenu = [&](const QPoint&, bool k) { ++menus, keyboard = k; };
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, r0.center(),
                            list.viewport()->mapToGlobal(r0.center()));
    QApplication::sendEvent(list.viewport(), &mouse);
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(keyboard);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1),
                          list.mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(&list, &key);
    EXPECT_EQ(menus, 2);
    EXPECT_TRUE(keyboard);
    list.onContextMenu = nullptr;  // none: nothing happens
    QApplication::sendEvent(&list, &key);
    QApplication::sendEvent(list.viewport(), &mouse);
    EXPECT_EQ(menus, 2);
}

TEST(ReportList, ItemDataAndSelection) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("a|50|0|");
    list.ApplyColumnSpec();
    EXPECT_EQ(list.FindItemByData(0), -1);
    for (int v : {7, 9, 7}) {
        auto* item = new QTreeWidgetItem(&list);
        item->setData(0, kItemDataRole, v);
    }
    EXPECT_EQ(list.FindItemByData(7), 0);
    EXPECT_EQ(list.FindItemByData(9), 1);
    EXPECT_EQ(list.FindItemByData(8), -1);
    list.row(1)->setSelected(true);
    EXPECT_EQ(list.DeselectAll(), 3);
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

TEST(ReportList, LockFlagsOnlyForColumnsZeroTo255) {
    SharedQtApp();
    CSortListCtrl list;
    for (int c : {-1, 0, 255, 256, 341}) list.LockColumn(c, true);
    EXPECT_FALSE(list.IsColumnLocked(-1));
    EXPECT_TRUE(list.IsColumnLocked(0));
    EXPECT_TRUE(list.IsColumnLocked(255));
    EXPECT_FALSE(list.IsColumnLocked(256));
    EXPECT_FALSE(list.IsColumnLocked(341));
    EXPECT_TRUE(list.OnBeginTrack(0));
    EXPECT_FALSE(list.OnBeginTrack(1));
    list.LockColumn(0, false);
    EXPECT_FALSE(list.IsColumnLocked(0));
}

// Drags the divider at the right end of a column 40 pixels to the right.
// The list at the given size with the columns of `spec`, on the screen; false when it never
// shows.
bool ShowWithColumns(CSortListCtrl& list, int w, int h, const std::string& spec) {
    list.resize(w, h);
    list.SetColumnSpec(spec);
    list.ApplyColumnSpec();
    list.show();
    return QTest::qWaitForWindowExposed(&list);
}

void DragDivider(CSortListCtrl& list, int column) {
    QWidget* hv = list.header()->viewport();
    const int edge =
        list.header()->sectionViewportPosition(column) + list.header()->sectionSize(column) - 1;
    const int y = list.header()->height() / 2;
    QTest::mousePress(hv, Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(hv, QPoint(edge + 20, y));
    QTest::mouseMove(hv, QPoint(edge + 40, y));
    QTest::mouseRelease(hv, Qt::LeftButton, {}, QPoint(edge + 40, y));
}

TEST(ReportList, LockedColumnRefusesADrag) {
    SharedQtApp();
    CSortListCtrl list;
    ASSERT_TRUE(ShowWithColumns(list, 400, 200, "a|100|0|b|100|0|"));
    list.LockColumn(0, true);
    DragDivider(list, 0);
    EXPECT_EQ(list.header()->sectionSize(0), 100);
    DragDivider(list, 1);
    EXPECT_GT(list.header()->sectionSize(1), 100);
}

TEST(ReportList, HeaderDrawsTheSortArrowOnlyWhenAsked) {
    SharedQtApp();
    CSortListCtrl list;
    ASSERT_TRUE(ShowWithColumns(list, 300, 100, "abc|150|0|def|150|0|"));
    auto grab = [&] { return list.header()->grab().toImage(); };
    const QImage plain = grab();
    list.sortHeader()->SetSortColumn(1, true);
    const QImage up = grab();
    list.sortHeader()->SetSortColumn(1, false);
    const QImage down = grab();
    // Only the sort column's right end changes, and the two directions differ.
    const int o = list.sortHeader()->Unit();
    const QRect arrow(300 - 2 * o - 2, 0, 2 * o + 2, plain.height());
    EXPECT_NE(plain.copy(arrow), up.copy(arrow));
    EXPECT_NE(up.copy(arrow), down.copy(arrow));
    EXPECT_EQ(plain.copy(0, 0, 150, plain.height()), up.copy(0, 0, 150, up.height()));
}

// Header pixels that are not the section's face.
int Marked(const QImage& img, const QRect& area, const QColor& face) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) != face) ++n;
    return n;
}

// The bounding box of the pixels inside an area that `pick` picks.
template <class Pick>
QRect BoxWhere(const QImage& img, const QRect& area, Pick pick) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pick(img.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

// The bounding box of the header's dark (text) pixels inside an area.
QRect DarkInk(const QImage& img, const QRect& area) {
    return BoxWhere(img, area, [](const QColor& c) { return qGray(c.rgb()) < 100; });
}

// The arrow is a triangle one unit wide, one unit left of the section's right end: its
// point up for an ascending sort, down for a descending one.
TEST(ReportList, SortArrowPointsTheWayOfTheSort) {
    SharedQtApp();
    CSortListCtrl list;
    ASSERT_TRUE(ShowWithColumns(list, 300, 100, "a|120|0|b|120|0|"));
    list.headerItem()->setText(1, "");  // the arrow alone in its section
    CSortHeaderCtrl* header = list.sortHeader();
    const QColor face = header->palette().color(QPalette::Button);
    const int o = header->Unit();
    ASSERT_GE(o, 4);
    const int right = header->sectionViewportPosition(1) + header->sectionSize(1) - 1;
    const int x = right - 2 * o, cy = (header->height() - 1) / 2;
    const int top = cy - o / 2, bottom = cy + o / 2;
    // Between the text and the divider: the arrow alone.
    const QRect area(x - o / 2, 2, 2 * o, header->height() - 4);
    for (bool ascending : {true, false}) {
        header->SetSortColumn(1, ascending);
        const QImage img = header->grab().toImage();
        const QRect box = BoxWhere(img, area, [&](const QColor& c) { return c != face; });
        EXPECT_EQ(box, QRect(x, top, o + 1, bottom - top + 1)) << ascending;
        const int topRow = Marked(img, QRect(x, top, o + 1, 1), face);
        const int bottomRow = Marked(img, QRect(x, bottom, o + 1, 1), face);
        // The point: one or two pixels in the middle; the base: the whole width.
        EXPECT_LE(ascending ? topRow : bottomRow, 2) << ascending;
        EXPECT_EQ(ascending ? bottomRow : topRow, o + 1) << ascending;
        const int tip = ascending ? top : bottom;
        EXPECT_NE(img.pixelColor(x + o / 2, tip), face) << ascending;
    }
}

// The sort column's title leaves room for the arrow; the others run to their margin.
TEST(ReportList, OnlyTheSortColumnsTitleMakesRoomForTheArrow) {
    SharedQtApp();
    CSortListCtrl list;
    const std::string wide(40, 'W');
    ASSERT_TRUE(ShowWithColumns(list, 300, 100, wide + "|120|0|" + wide + "|120|0|"));
    CSortHeaderCtrl* header = list.sortHeader();
    header->SetSortColumn(1, true);
    const int o = header->Unit();
    const QImage img = header->grab().toImage();
    const int h = header->height();
    const QRect plain = DarkInk(img, QRect(0, 2, 120 - 2, h - 4));
    const QRect sorted = DarkInk(img, QRect(120, 2, 120 - 2 * o - 2, h - 4));
    ASSERT_FALSE(plain.isEmpty());
    ASSERT_FALSE(sorted.isEmpty());
    // Both begin one unit in; the sorted title stops three units earlier than the other.
    EXPECT_GE(plain.left(), o);
    EXPECT_GE(sorted.left(), 120 + o);
    EXPECT_LT(plain.right(), 120 - o);
    EXPECT_GT(plain.right(), 120 - 4 * o);
    EXPECT_LT(sorted.right(), 240 - 4 * o);
}

// A left press on a section pushes its title one right and two down, as a button's.
TEST(ReportList, APressedSectionPushesItsTitle) {
    SharedQtApp();
    CSortListCtrl list;
    ASSERT_TRUE(ShowWithColumns(list, 300, 100, "abc|120|0|def|120|0|"));
    QHeaderView* header = list.header();
    const QRect first(1, 1, 117, header->height() - 3);
    const QRect second(121, 1, 117, header->height() - 3);
    auto ink = [&](const QRect& area) { return DarkInk(header->grab().toImage(), area); };
    const QRect a = ink(first), b = ink(second);
    ASSERT_FALSE(a.isEmpty());
    // At rest the title starts one unit in and is centred on the section's whole height.
    // The title alone is drawn in the header's own colours: a smoothed edge pixel is then
    // as dark in both, whatever font draws it.
    {
        QImage alone(120, header->height(), QImage::Format_RGB32);
        alone.fill(header->palette().color(QPalette::Button));
        QPainter p(&alone);
        p.setFont(header->font());
        p.setPen(header->palette().color(QPalette::ButtonText));
        const int o = list.sortHeader()->Unit();
        p.drawText(QRect(o, 0, 120 - 2 * o, header->height()), Qt::AlignLeft | Qt::AlignVCenter,
                   "abc");
        p.end();
        EXPECT_EQ(a, DarkInk(alone, first));
    }
    const QPoint at(60, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(ink(first), a.translated(1, 2));
    EXPECT_EQ(ink(second), b);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(ink(first), a);
    // The middle button presses nothing.
    QTest::mousePress(header->viewport(), Qt::MiddleButton, {}, at);
    EXPECT_EQ(ink(first), a);
    QTest::mouseRelease(header->viewport(), Qt::MiddleButton, {}, at);
}

// What a section needs for its whole title: the title, a unit of margin at each end, the
// arrow's three units in the sort column and the divider's pixel.
TEST(ReportList, TitleWidthHoldsTheMarginsAndTheArrow) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("用户名|100|0|总成绩|75|2||20|0|");
    list.ApplyColumnSpec();
    CSortHeaderCtrl* header = list.sortHeader();
    const QFontMetrics fm = header->fontMetrics();
    const int o = header->Unit();
    EXPECT_EQ(o, 2 * fm.horizontalAdvance(' '));
    header->SetSortColumn(1, false);
    const struct {
        int column;
        QString title;
        int arrow;
    } cases[] = {{0, "用户名", 0}, {1, "总成绩", 3}, {2, "", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(header->TitleWidth(c.column),
                  fm.horizontalAdvance(c.title) + 2 * o + c.arrow * o + 1)
            << c.column;
}

// A column given no width (or less) takes no room; the header's least width is for
// columns given some.
TEST(ReportList, ColumnsOfNoWidth) {
    SharedQtApp();
    CSortListCtrl list;
    list.SetColumnSpec("a|0|0|b|-5|0|c|40|0|");
    list.ApplyColumnSpec();
    ASSERT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.header()->sectionSize(0), 0);
    EXPECT_EQ(list.header()->sectionSize(1), 0);
    EXPECT_EQ(list.header()->sectionSize(2), 40);
}

TEST(OwnerDrawMenu, SeparatorIsHalfTheMenuBar) {
    SharedQtApp();
    COwnerDrawMenu menu;
    menu.AppendItem("甲", 0, 1);
    menu.AppendItem("ignored", 0, 0);
    menu.AppendItem("乙", 0, 2);
    ASSERT_EQ(menu.itemCount(), 3);
    EXPECT_TRUE(menu.record(1)->flags & kMfSeparator);
    COwnerDrawMenu one;  // no record outside the items
    one.AppendItem("甲", 0, 1);
    EXPECT_EQ(one.record(1), nullptr);
    EXPECT_EQ(one.record(-1), nullptr);
    EXPECT_TRUE(menu.actionAt(1)->isSeparator());
    EXPECT_EQ(menu.actionGeometry(menu.actionAt(1)).height(), menu.MenuBarHeight() / 2);
    EXPECT_EQ(menu.actionGeometry(menu.actionAt(0)).height(), std::max(menu.MenuBarHeight(), 19));
    COwnerDrawMenuItem item;
    item.text = u"abc";
    const int text = QFontMetrics(menu.font()).horizontalAdvance("abc");
    EXPECT_EQ(menu.MeasureItem(item).width(), text + 33);
}

TEST(OwnerDrawMenu, AcceleratorsStartInOneColumnAfterLoading) {
    SharedQtApp();
    COwnerDrawMenu menu;
    MenuTemplateItem popup;
    popup.flags = kMfPopup | kMfEnd;
    popup.text = "文件";
    for (const char* t : {"开\tCtrl+O", "另存为文件\tF12", "无键", "关闭\tAlt+F4"}) {
        MenuTemplateItem i;
        i.id = int(popup.children.size()) + 10;
        i.text = t;
        popup.children.push_back(i);
    }
    popup.children.back().flags = kMfEnd;
    ASSERT_TRUE(menu.LoadMenuTemplate({popup}));
    COwnerDrawMenu* sub = menu.GetSubMenu(0);
    ASSERT_NE(sub, nullptr);
    const QFontMetrics fm(sub->font());
    const int target = fm.horizontalAdvance(QString("另存为文件 "));
    const int blank = fm.horizontalAdvance(QLatin1Char(' '));
    for (int i : {0, 1, 3}) {
        const QString t = QString::fromStdU16String(sub->record(i)->text);
        const int w = fm.horizontalAdvance(t.section('\t', 0, 0));
        EXPECT_GE(w, target) << t.toStdString();
        EXPECT_LT(w, target + blank) << t.toStdString();
    }
    EXPECT_EQ(QString::fromStdU16String(sub->record(0)->text).section('\t', 1), "Ctrl+O");
    EXPECT_EQ(QString::fromStdU16String(sub->record(2)->text), "无键");
}

// Pixels darker than mid-grey inside an item's rectangle of a rendered menu.
int Ink(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100) ++n;
    return n;
}

// A light window and the look's button colour (a grey of its own: the flat look; the
// window's: the raised one), then the colours in `more`.
void ColourMenu(QWidget& menu, bool flat,
                std::initializer_list<std::pair<QPalette::ColorRole, QColor>> more = {}) {
    QPalette pal = menu.palette();
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    pal.setColor(QPalette::Button, flat ? QColor(200, 200, 200) : QColor(240, 240, 240));
    for (const auto& [role, colour] : more) pal.setColor(role, colour);
    menu.setPalette(pal);
}

TEST(OwnerDrawMenu, DefaultItemIsBoldInBothLooks) {
    SharedQtApp();
    for (bool flat : {false, true}) {
        COwnerDrawMenu menu;
        ColourMenu(menu, flat, {{QPalette::Text, Qt::black}});
        EXPECT_EQ(menu.Look(), flat ? MenuLook::kFlat : MenuLook::kClassic);
        menu.AppendItem("详细信息", 0, 1);
        menu.AppendItem("详细信息", 0, 2);
        menu.SetDefaultItem(2);
        EXPECT_EQ(menu.defaultItem(), 2);
        menu.popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        const QImage img = menu.grab().toImage();
        const int normal = Ink(img, menu.actionGeometry(menu.actionAt(0)));
        const int bold = Ink(img, menu.actionGeometry(menu.actionAt(1)));
        EXPECT_GT(normal, 0) << flat;
        EXPECT_GT(bold, normal) << flat;
        menu.hide();
    }
}

// A selected item's highlight starts after the icon column: a checked item in the raised
// look, an item with an icon in the flat one.
TEST(OwnerDrawMenu, TheSelectionLeavesTheIconColumn) {
    SharedQtApp();
    COwnerDrawMenu menu;
    ColourMenu(menu, false, {{QPalette::Highlight, QColor(0, 0, 128)}});
    menu.AppendItem("a", kMfChecked, 1);
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(menu.actionAt(0));
    const QImage img = menu.grab().toImage();
    const QRect r = menu.actionGeometry(menu.actionAt(0));
    EXPECT_NE(img.pixelColor(r.left() + 20, r.top() + 1), QColor(0, 0, 128));
    EXPECT_EQ(img.pixelColor(r.left() + 21, r.top() + 1), QColor(0, 0, 128));
    menu.hide();
    // In the flat look the selection of an item with an icon leaves the icon strip alone.
    COwnerDrawMenu flat;
    ColourMenu(flat, true, {{QPalette::Highlight, QColor(0, 0, 128)}});
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(Qt::red);
    flat.AppendItem("b", 0, 2);
    ASSERT_TRUE(flat.ModifyItem("b", 2, &icon));
    flat.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&flat));
    flat.setActiveAction(flat.actionAt(0));
    const QImage shot = flat.grab().toImage();
    const QRect f = flat.actionGeometry(flat.actionAt(0));
    EXPECT_EQ(shot.pixelColor(f.left() + 20, f.top() + 1), QColor(200, 200, 200));
    EXPECT_NE(shot.pixelColor(f.left() + 21, f.top() + 1), QColor(200, 200, 200));
    flat.hide();
}

// No off-screen copy: the items paint through the painter Qt hands the menu, whose window
// Qt buffers itself, and each item's picture lies whole inside its own rectangle.
TEST(OwnerDrawMenu, ItemsPaintIntoTheBufferQtKeepsForTheMenu) {
    SharedQtApp();
    COwnerDrawMenu menu;
    ColourMenu(menu, false, {{QPalette::Highlight, QColor(0, 0, 128)}});
    menu.AppendItem("a", 0, 1);
    menu.AppendItem("b", 0, 2);
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    EXPECT_FALSE(menu.testAttribute(Qt::WA_PaintOnScreen));
    menu.setActiveAction(menu.actionAt(0));
    const QImage img = menu.grab().toImage();
    const QRect r = menu.actionGeometry(menu.actionAt(0));
    EXPECT_EQ(img.pixelColor(r.left(), r.top()), QColor(0, 0, 128));
    EXPECT_EQ(img.pixelColor(r.right(), r.bottom()), QColor(0, 0, 128));
    EXPECT_NE(img.pixelColor(r.left(), r.bottom() + 1), QColor(0, 0, 128));
    menu.hide();
}

TEST(OwnerDrawMenu, SeparatorLineRunsAtHalfHeightInBothLooks) {
    SharedQtApp();
    for (bool flat : {false, true}) {
        COwnerDrawMenu menu;
        ColourMenu(menu, flat, {{QPalette::Dark, QColor(40, 40, 40)}});
        menu.AppendItem("a", 0, 1);
        menu.AppendItem("", 0, 0);
        menu.AppendItem("b", 0, 2);
        menu.popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        const QImage img = menu.grab().toImage();
        const QRect sep = menu.actionGeometry(menu.actionAt(1));
        const int x = sep.right() - 3;
        EXPECT_EQ(img.pixelColor(x, sep.top() + sep.height() / 2), QColor(40, 40, 40)) << flat;
        EXPECT_NE(img.pixelColor(x, sep.top()), QColor(40, 40, 40)) << flat;
        if (flat) {  // the icon strip: 16 + 5 pixels of the button colour
            EXPECT_EQ(img.pixelColor(sep.left() + 20, sep.top()), QColor(200, 200, 200));
            EXPECT_EQ(img.pixelColor(sep.left() + 21, sep.top()), QColor(240, 240, 240));
        }
        menu.hide();
    }
}

// Anything but a menu item, or drawn for another widget, is left to the base style.
TEST(OwnerDrawMenu, OtherElementsGoToTheBaseStyle) {
    SharedQtApp();
    COwnerDrawMenu menu;
    auto* proxy = qobject_cast<QProxyStyle*>(menu.style());
    ASSERT_NE(proxy, nullptr);
    QStyle* base = proxy->baseStyle();
    ASSERT_NE(base, nullptr);
    // What a style draws of one element, for one widget, on a plain background.
    auto drawn = [](QStyle* style, QStyle::ControlElement ce, const QStyleOption& o,
                    const QWidget* w) {
        QImage img(60, 24, QImage::Format_ARGB32);
        img.fill(Qt::magenta);
        QPainter p(&img);
        style->drawControl(ce, &o, &p, w);
        p.end();
        return img;
    };
    QStyleOptionButton button;
    button.rect = QRect(0, 0, 60, 24);
    button.palette = menu.palette();
    button.text = "ok";
    EXPECT_EQ(drawn(proxy, QStyle::CE_PushButton, button, &menu),
              drawn(base, QStyle::CE_PushButton, button, &menu));
    QStyleOptionMenuItem item;
    item.rect = QRect(0, 0, 60, 24);
    item.palette = menu.palette();
    item.text = "item";
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.state = QStyle::State_Enabled;
    EXPECT_EQ(drawn(proxy, QStyle::CE_MenuItem, item, nullptr),
              drawn(base, QStyle::CE_MenuItem, item, nullptr));
    // The same item drawn for the menu itself is the menu's own drawing.
    EXPECT_NE(drawn(proxy, QStyle::CE_MenuItem, item, &menu),
              drawn(base, QStyle::CE_MenuItem, item, &menu));
}

TEST(OwnerDrawMenu, RemovingAPopupFreesEverythingUnderIt) {
    SharedQtApp();
    const int records = COwnerDrawMenuItem::LiveCount();
    const int submenus = COwnerDrawMenu::LiveSubmenus();
    {
        COwnerDrawMenu menu;
        auto inner = std::make_unique<COwnerDrawMenu>();
        inner->AppendItem("x", 0, 31);
        inner->AppendItem("", 0, 0);
        auto outer = std::make_unique<COwnerDrawMenu>();
        outer->AppendItem("y", 0, 21);
        outer->AppendItem("inner", kMfPopup, 0, -1, std::move(inner));
        menu.AppendItem("top", 0, 11);
        menu.AppendItem("outer", kMfPopup, 0, -1, std::move(outer));
        EXPECT_EQ(COwnerDrawMenuItem::LiveCount(), records + 6);
        EXPECT_EQ(COwnerDrawMenu::LiveSubmenus(), submenus + 2);
        EXPECT_EQ(menu.FindItem(31).second, 0);
        EXPECT_NE(menu.FindItem(31).first, &menu);
        EXPECT_TRUE(menu.RemoveItem(1, kMfByPosition));
        EXPECT_EQ(COwnerDrawMenuItem::LiveCount(), records + 1);
        EXPECT_EQ(COwnerDrawMenu::LiveSubmenus(), submenus);
        EXPECT_EQ(menu.FindItem(31).first, nullptr);
        EXPECT_EQ(menu.itemCount(), 1);
        EXPECT_EQ(menu.actions().size(), 1);
        EXPECT_FALSE(menu.RemoveItem(5, kMfByPosition));
        EXPECT_FALSE(menu.RemoveItem(99, kMfByCommand));
        EXPECT_TRUE(menu.RemoveItem(11, kMfByCommand));
        EXPECT_EQ(COwnerDrawMenuItem::LiveCount(), records);
    }
    EXPECT_EQ(COwnerDrawMenuItem::LiveCount(), records);
}

// Every place of a command, depth first in position order, each once: the next place skips
// those already found; modifying a command reaches all of them.
TEST(OwnerDrawMenu, FindNextItemWalksEveryPlaceOfACommandOnce) {
    SharedQtApp();
    COwnerDrawMenu menu;
    auto inner = std::make_unique<COwnerDrawMenu>();
    inner->AppendItem("in a", 0, 7);
    inner->AppendItem("in b", 0, 8);
    inner->AppendItem("in a again", 0, 7);
    menu.AppendItem("top a", 0, 7);
    menu.AppendItem("", 0, 0);  // a separator is no place of a command
    menu.AppendItem("sub", kMfPopup, 0, -1, std::move(inner));
    menu.AppendItem("top b", 0, 7);
    COwnerDrawMenu* sub = menu.GetSubMenu(2);
    ASSERT_NE(sub, nullptr);
    std::vector<COwnerDrawMenu::Place> found;
    for (auto p = menu.FindNextItem(7, found); p.first; p = menu.FindNextItem(7, found))
        found.push_back(p);
    const std::vector<COwnerDrawMenu::Place> want = {{&menu, 0}, {sub, 0}, {sub, 2}, {&menu, 3}};
    EXPECT_EQ(found, want);
    EXPECT_EQ(menu.FindNextItem(7, {}), menu.FindItem(7));
    EXPECT_EQ(menu.FindNextItem(7, {{&menu, 0}}), (COwnerDrawMenu::Place{sub, 0}));
    EXPECT_EQ(menu.FindNextItem(9, {}), (COwnerDrawMenu::Place{nullptr, -1}));
    EXPECT_EQ(menu.FindNextItem(0, {}), (COwnerDrawMenu::Place{nullptr, -1}));
    // Modified: all four places, and no new item.
    ASSERT_TRUE(menu.ModifyItem("七", 7, nullptr));
    EXPECT_EQ(menu.itemCount(), 4);
    EXPECT_EQ(sub->itemCount(), 3);
    for (auto [m, pos] : want) EXPECT_EQ(m->actionAt(pos)->text(), "七") << pos;
    EXPECT_EQ(sub->actionAt(1)->text(), "in b");
    // A command nowhere: the call fails and no item comes.
    EXPECT_FALSE(menu.ModifyItem("新", 12, nullptr));
    EXPECT_EQ(menu.itemCount(), 4);
    EXPECT_EQ(menu.FindItem(12), (COwnerDrawMenu::Place{nullptr, -1}));
}

// Modifying a command that no item has fails and changes nothing, with or without a text
// and an icon: no item shows, no record is kept, and the items appended afterwards keep
// their own records at their positions.
TEST(OwnerDrawMenu, ModifyingACommandNoItemHasFailsAndChangesNothing) {
    SharedQtApp();
    COwnerDrawMenu menu;
    menu.AppendItem("一", 0, 1);
    auto inner = std::make_unique<COwnerDrawMenu>();
    inner->AppendItem("二", 0, 2);
    menu.AppendItem("子", kMfPopup, 0, -1, std::move(inner));
    COwnerDrawMenu* sub = menu.GetSubMenu(1);
    ASSERT_NE(sub, nullptr);
    QImage icon(16, 15, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    const int records = COwnerDrawMenuItem::LiveCount();
    for (const QImage* image : std::initializer_list<const QImage*>{nullptr, &icon}) {
        for (const char* text : {"", "某人"}) {
            EXPECT_FALSE(menu.ModifyItem(text, 1900, image)) << text;
            EXPECT_FALSE(sub->ModifyItem(text, 1, image)) << text;  // only in the parent
        }
    }
    EXPECT_EQ(COwnerDrawMenuItem::LiveCount(), records);
    EXPECT_EQ(menu.itemCount(), 2);
    EXPECT_EQ(menu.actions().size(), 2);
    EXPECT_EQ(sub->itemCount(), 1);
    EXPECT_EQ(sub->actions().size(), 1);
    EXPECT_EQ(menu.actionAt(0)->text(), "一");
    EXPECT_EQ(sub->actionAt(0)->text(), "二");
    menu.AppendItem("三", 0, 3);
    ASSERT_EQ(menu.itemCount(), 3);
    EXPECT_EQ(menu.record(2)->commandId, 3);
    EXPECT_EQ(menu.record(2)->text, u"三");
    ASSERT_TRUE(menu.SetItemText(2, "叁", kMfByPosition));
    EXPECT_EQ(menu.actionAt(2)->text(), "叁");
    EXPECT_EQ(menu.record(0)->text, u"一");
    // A command an item has, in the submenu, is still found from the top; an empty text
    // keeps the label, an image becomes the item's icon (offset and index 0), none drops it.
    EXPECT_TRUE(menu.ModifyItem("贰", 2, nullptr));
    EXPECT_EQ(sub->actionAt(0)->text(), "贰");
    EXPECT_TRUE(menu.ModifyItem("", 2, &icon));
    const COwnerDrawMenuItem* r = sub->record(0);
    EXPECT_EQ(r->text, u"贰");
    EXPECT_EQ(r->iconOffset, 0);
    EXPECT_EQ(r->iconIndex, 0);
    EXPECT_EQ(r->icon, icon);
    EXPECT_FALSE(sub->actionAt(0)->icon().isNull());
    EXPECT_TRUE(menu.ModifyItem("", 2, nullptr));
    EXPECT_EQ(r->iconOffset, -1);
    EXPECT_EQ(r->iconIndex, -1);
    EXPECT_TRUE(r->icon.isNull());
    EXPECT_TRUE(sub->actionAt(0)->icon().isNull());
}

TEST(OwnerDrawMenu, OperatingSystemClassAndTheNewShell) {
    const struct {
        bool consumer, known;
        uint32_t major;
        int want;
    } rows[] = {{true, true, 4, 1},  {true, true, 3, 0},   {true, false, 5, 1}, {false, true, 4, 3},
                {false, true, 3, 2}, {false, false, 6, 2}, {false, true, 6, 3}, {true, true, 0, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(OsClassOf(r.consumer, r.known, r.major), r.want)
            << r.consumer << r.known << r.major;
    // Here: the NT line from the kernel's release, a new shell whose menus take the 3-D
    // face colour as colour A.
    netlib::YrnVersionRecord v;
    ASSERT_EQ(netlib::YrnRtlGetVersion(v), 1);
    EXPECT_EQ(GetOsClass(), v.major >= 4 ? 3 : 2);
    EXPECT_EQ(IsNewShell(), GetOsClass() == 3);
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(1, 2, 3));
    pal.setColor(QPalette::Window, QColor(4, 5, 6));
    EXPECT_EQ(MenuColourA(pal), IsNewShell() ? QColor(1, 2, 3) : QColor(4, 5, 6));
}

// A menu resource by name: "#" and the id names the program's menus; other names are the
// menus registered under them, whatever their letter case; a name of nothing loads nothing.
TEST(OwnerDrawMenu, LoadMenuByResourceName) {
    SharedQtApp();
    {
        COwnerDrawMenu menu;
        ASSERT_TRUE(menu.LoadMenu("#129"));
        COwnerDrawMenu* amounts = menu.GetSubMenu(0);
        ASSERT_NE(amounts, nullptr);
        EXPECT_EQ(amounts->FindItem(222).second, 0);
        EXPECT_NE(amounts->FindItem(228).first, nullptr);
    }
    for (const char* name : {"#128", "#", "#12a", "129", "#99999999999", "TOOLMENU", ""}) {
        COwnerDrawMenu menu;
        EXPECT_FALSE(menu.LoadMenu(name)) << name;
        EXPECT_EQ(menu.itemCount(), 0) << name;
    }
    MenuTemplate tool = {
        {kMfPopup, 0, "amounts", {{0, 301, "一\tCtrl+1", {}}, {kMfEnd, 302, "二", {}}}}};
    RegisterMenuResource("ToolMenu", tool);
    for (const char* name : {"ToolMenu", "TOOLMENU", "toolmenu"}) {
        COwnerDrawMenu menu;
        ASSERT_TRUE(menu.LoadMenu(name)) << name;
        COwnerDrawMenu* sub = menu.GetSubMenu(0);
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->FindItem(302).second, 1);
        EXPECT_EQ(sub->record(1)->flags & kMfEnd, 0u);  // the end mark is the template's
    }
    EXPECT_FALSE(COwnerDrawMenu().LoadMenu("ToolMenu2"));
    RegisterMenuResource("toolmenu", {});
    EXPECT_FALSE(COwnerDrawMenu().LoadMenu("ToolMenu"));
    ASSERT_TRUE(FindMenuTemplate("#130"));
    EXPECT_EQ(FindMenuTemplate("#130")->size(), FindMenuTemplate(130)->size());
}

TEST(OwnerDrawMenu, PlayerMenuTableEditsAndPostsTheChoice) {
    SharedQtApp();
    COwnerDrawMenu top;
    ASSERT_TRUE(top.LoadMenuId(130));
    EXPECT_FALSE(top.LoadMenuId(128));
    COwnerDrawMenu* menu = top.GetSubMenu(0);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->itemCount(), 11);
    EXPECT_EQ(menu->FindItem(1905).second, 10);
    // Silver above level: 1904 out, a new 1904 before 1902.
    ASSERT_TRUE(menu->RemoveItem(1904, kMfByCommand));
    ASSERT_TRUE(menu->InsertItem(1902, kMfByCommand, 1904, "银子：5两"));
    EXPECT_EQ(menu->FindItem(1904).second, 4);
    EXPECT_EQ(menu->FindItem(1902).second, 5);
    // A position past the end (or before the start) appends.
    ASSERT_TRUE(menu->InsertItem(40, kMfByPosition, 1990, "末"));
    ASSERT_TRUE(menu->InsertItem(-3, kMfByPosition, 1991, "尾"));
    EXPECT_EQ(menu->FindItem(1990).second, 11);
    EXPECT_EQ(menu->FindItem(1991).second, 12);
    ASSERT_TRUE(menu->RemoveItem(1990, kMfByCommand));
    ASSERT_TRUE(menu->RemoveItem(1991, kMfByCommand));
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(Qt::red);
    ASSERT_TRUE(menu->ModifyItem("某人", 1900, &icon));
    EXPECT_EQ(menu->record(0)->iconOffset, 0);
    EXPECT_FALSE(menu->actionAt(0)->icon().isNull());
    EXPECT_EQ(menu->actionAt(0)->text(), "某人");
    ASSERT_TRUE(menu->ModifyItem("", 1900, nullptr));
    EXPECT_EQ(menu->record(0)->iconOffset, -1);
    EXPECT_EQ(menu->actionAt(0)->text(), "某人");
    EXPECT_TRUE(menu->SetItemText(1903, "积分：3分", kMfByCommand));
    EXPECT_FALSE(menu->SetItemText(11, "x", kMfByPosition));
    EXPECT_EQ(menu->actionOf(1903)->text(), "积分：3分");
    EXPECT_TRUE(menu->EnableItem(1905, false));
    EXPECT_FALSE(menu->actionOf(1905)->isEnabled());

    std::vector<platform::Message> got;
    platform::FunctionTarget owner([&](const platform::Message& m) {
        got.push_back(m);
        return intptr_t(0);
    });
    owner.attach(platform::ui::uiDispatcher());
    menu->TrackPopup(QPoint(10, 10), owner.handle());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->actionOf(1901)->trigger();
    for (int i = 0; i < 20 && got.empty(); ++i) platform::ui::processUiEvents(5);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, kMsgCommand);
    EXPECT_EQ(got[0].w, 1901u);
    menu->hide();
}

// The player list's menu under the pointer: in the classic look the disabled 呼叫玩家 (1905)
// becomes the current item and is drawn selected in the highlight, and the item the pointer
// left loses its bar; in the flat look it is current but never drawn selected. A click on it
// chooses nothing in either look.
TEST(OwnerDrawMenu, ADisabledItemUnderThePointerIsDrawnSelectedInTheClassicLook) {
    SharedQtApp();
    const QColor highlight(0, 0, 128);
    for (bool flat : {false, true}) {
        SCOPED_TRACE(flat);
        COwnerDrawMenu top;
        ASSERT_TRUE(top.LoadMenuId(130));
        COwnerDrawMenu* menu = top.GetSubMenu(0);
        ASSERT_NE(menu, nullptr);
        ColourMenu(*menu, flat, {{QPalette::Highlight, highlight}});
        // As the platform's palettes do, the disabled group greys its highlight.
        QPalette greyed = menu->palette();
        greyed.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
        menu->setPalette(greyed);
        ASSERT_TRUE(menu->EnableItem(1905, false));
        int chosen = 0;
        QObject::connect(menu, &QMenu::triggered, menu, [&chosen](QAction*) { ++chosen; });
        menu->popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QRect details = menu->actionGeometry(menu->actionOf(1901));
        const QRect call = menu->actionGeometry(menu->actionOf(1905));
        // A menu takes the pointer as moved after a few motions (or a long way from where it
        // opened): each hover is a short walk.
        auto hover = [menu](QPoint at) {
            for (int step = 8; step >= 0; --step) QTest::mouseMove(menu, at + QPoint(step, 0));
        };
        hover(details.center());
        ASSERT_EQ(menu->activeAction(), menu->actionOf(1901));
        hover(call.center());
        EXPECT_EQ(menu->activeAction(), menu->actionOf(1905));
        const QImage shot = menu->grab().toImage();
        shot.save(QString(HQLV_BUILD_DIR) +
                  (flat ? "/kit-menu-disabled-flat.png" : "/kit-menu-disabled-classic.png"));
        // The fill reaches the item's right edge; the item left behind has none.
        EXPECT_EQ(shot.pixelColor(call.right() - 1, call.top() + 1) == highlight, !flat);
        EXPECT_EQ(shot.pixelColor(call.left() + 1, call.center().y()) == highlight, !flat);
        EXPECT_NE(shot.pixelColor(details.right() - 1, details.top() + 1), highlight);
        QTest::mouseClick(menu, Qt::LeftButton, {}, call.center());
        EXPECT_EQ(chosen, 0);
        menu->hide();
    }
}

// The player's 16 x 16 portrait on item 1900 is drawn whole, at its own size, at
// (left + 2, top + dy + 2): its first and last rows and columns all show.
TEST(OwnerDrawMenu, ThePortraitIconIsDrawnAtItsOwnSize) {
    SharedQtApp();
    COwnerDrawMenu top;
    ASSERT_TRUE(top.LoadMenuId(130));
    COwnerDrawMenu* menu = top.GetSubMenu(0);
    ASSERT_NE(menu, nullptr);
    ColourMenu(*menu, false);
    QImage portrait(16, 16, QImage::Format_ARGB32);
    portrait.fill(Qt::red);
    for (int i = 0; i < 16; ++i) {
        portrait.setPixelColor(15, i, Qt::blue);
        portrait.setPixelColor(i, 15, Qt::blue);
    }
    portrait.setPixelColor(0, 0, Qt::green);
    ASSERT_TRUE(menu->ModifyItem("某人", 1900, &portrait));
    EXPECT_EQ(menu->record(0)->icon.size(), QSize(16, 16));
    menu->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QImage shot = menu->grab().toImage();
    shot.scaled(shot.size() * 4).save(QString(HQLV_BUILD_DIR) + "/kit-menu-portrait.png");
    const QRect item = menu->actionGeometry(menu->actionOf(1900));
    const int x = item.left() + 2, y = item.top() + std::max(0, (item.height() - 15 - 4) / 2) + 2;
    const struct {
        int dx, dy;
        QColor colour;
    } pixels[] = {
        {0, 0, Qt::green},
        {1, 1, Qt::red},
        {14, 14, Qt::red},
        {15, 7, Qt::blue},
        {7, 15, Qt::blue},
        {15, 15, Qt::blue},
        {-1, 7, QColor(240, 240, 240)},
        {16, 7, QColor(240, 240, 240)},
    };
    for (const auto& px : pixels)
        EXPECT_EQ(shot.pixelColor(x + px.dx, y + px.dy), px.colour) << px.dx << "," << px.dy;
    menu->hide();
}

// A toolbar of three 16 x 15 buttons on the grey background, each with a 10 x 10 square
// of its own colour at (3, 2): red for command 100, blue for 101, green for 102, and a
// separator between the first two.
ToolBarResource TestToolBar() {
    ToolBarResource tb;
    tb.picture = QImage(48, 15, QImage::Format_RGB32);
    tb.picture.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&tb.picture);
    const QColor colours[] = {Qt::red, Qt::blue, Qt::green};
    for (int i = 0; i < 3; ++i) p.fillRect(16 * i + 3, 2, 10, 10, colours[i]);
    tb.commands = {100, 0, 101, 102};
    return tb;
}

TEST(OwnerDrawMenu, ToolBarImagesByCommand) {
    SharedQtApp();
    RegisterToolBarResource(9001, TestToolBar());
    const struct {
        int toolbar, command, image;
    } cases[] = {{9001, 100, 0}, {9001, 101, 1},  {9001, 102, 2},
                 {9001, 0, -1},  {9001, 103, -1}, {9002, 100, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(GetToolBarImage(c.toolbar, c.command), c.image) << c.toolbar << " " << c.command;
    const QImage blue = ToolBarButtonImage(9001, 101);
    ASSERT_EQ(blue.size(), QSize(16, 15));
    EXPECT_EQ(blue.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(qAlpha(blue.pixel(0, 0)), 0);  // the grey background is the mask
    EXPECT_EQ(qAlpha(blue.pixel(15, 14)), 0);
    EXPECT_TRUE(ToolBarButtonImage(9001, 103).isNull());
    RegisterToolBarResource(0, TestToolBar());  // 0 is a toolbar id like any other
    EXPECT_EQ(GetToolBarImage(0, 102), 2);
    COwnerDrawMenu menu;
    menu.AppendItem("绿色", 0, 102, 0);
    EXPECT_EQ(menu.record(0)->iconIndex, 2);
    EXPECT_EQ(menu.record(0)->icon.pixelColor(5, 5), QColor(Qt::green));
    RegisterToolBarResource(0, ToolBarResource{});
    // A picture too small for its buttons gives no image.
    ToolBarResource cut = TestToolBar();
    cut.picture = cut.picture.copy(0, 0, 20, 15);
    RegisterToolBarResource(9003, cut);
    EXPECT_FALSE(ToolBarButtonImage(9003, 100).isNull());
    EXPECT_TRUE(ToolBarButtonImage(9003, 101).isNull());
    RegisterToolBarResource(9003, ToolBarResource{});
    EXPECT_EQ(GetToolBarImage(9003, 100), -1);
}

// The colour at the middle of an item's icon square (the icon is drawn 2 pixels into the
// item, its square 3 and 2 pixels into the icon).
QColor IconSquare(const QImage& shot, const QRect& item) {
    const int dy = std::max(0, (item.height() - 15 - 4) / 2);
    return shot.pixelColor(item.left() + 2 + 3 + 5, item.top() + dy + 2 + 2 + 5);
}

TEST(OwnerDrawMenu, ItemsAppendedOrInsertedWithAnIconIndexDrawTheToolbarImage) {
    SharedQtApp();
    RegisterToolBarResource(9001, TestToolBar());
    COwnerDrawMenu menu;
    ColourMenu(menu, false);
    menu.AppendItem("蓝色", 0, 101, 9001);
    menu.InsertItem(0, kMfByPosition, 102, "绿色", 9001);
    menu.InsertItem(101, kMfByCommand, 100, "红色", 9001);  // before the blue one
    menu.AppendItem("没有", 0, 103, 9001);                  // no button on the toolbar
    menu.AppendItem("无图", 0, 104);
    ASSERT_EQ(menu.itemCount(), 5);
    const struct {
        int position, offset, index;
    } records[] = {{0, 0, 2}, {1, 0, 0}, {2, 0, 1}, {3, 0, -1}, {4, -1, -1}};
    for (const auto& r : records) {
        EXPECT_EQ(menu.record(r.position)->iconOffset, r.offset) << r.position;
        EXPECT_EQ(menu.record(r.position)->iconIndex, r.index) << r.position;
    }
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shot = menu.grab().toImage();
    shot.scaled(shot.size() * 2).save(QString(HQLV_BUILD_DIR) + "/kit-menu-icons.png");
    EXPECT_EQ(IconSquare(shot, menu.actionGeometry(menu.actionAt(0))), QColor(Qt::green));
    // The icon stands 2 pixels into the item: its square's left column is 5 in.
    const QRect green = menu.actionGeometry(menu.actionAt(0));
    const int y = green.top() + std::max(0, (green.height() - 19) / 2) + 2 + 2 + 5;
    EXPECT_EQ(shot.pixelColor(green.left() + 5, y), QColor(Qt::green));
    EXPECT_NE(shot.pixelColor(green.left() + 4, y), QColor(Qt::green));
    EXPECT_EQ(IconSquare(shot, menu.actionGeometry(menu.actionAt(1))), QColor(Qt::red));
    EXPECT_EQ(IconSquare(shot, menu.actionGeometry(menu.actionAt(2))), QColor(Qt::blue));
    for (int i : {3, 4})
        EXPECT_EQ(IconSquare(shot, menu.actionGeometry(menu.actionAt(i))), QColor(240, 240, 240));
    // The toolbar's grey stays out of the menu.
    const QRect blue = menu.actionGeometry(menu.actionAt(2));
    const int dy = std::max(0, (blue.height() - 19) / 2);
    EXPECT_EQ(shot.pixelColor(blue.left() + 3, blue.top() + dy + 3), QColor(240, 240, 240));
    menu.hide();
}

TEST(OwnerDrawMenu, CheckMarkImagesForCheckedItemsInBothLooks) {
    SharedQtApp();
    auto marks = std::make_shared<std::vector<QImage>>();
    for (QColor c : {QColor(255, 128, 0), QColor(128, 0, 255)}) {
        QImage img(14, 13, QImage::Format_ARGB32);
        img.fill(c);
        marks->push_back(img);
    }
    for (bool flat : {false, true}) {
        COwnerDrawMenu menu;
        ColourMenu(menu, flat);
        menu.AppendItem("已选", kMfChecked, 1);
        menu.AppendItem("也选", kMfChecked, 2);
        menu.AppendItem("未选", 0, 3);
        EXPECT_EQ(menu.CheckMarkImage(false), nullptr);
        menu.popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        // The tick: dark pixels in the icon frame, no orange.
        const QImage tick = menu.grab().toImage();
        const QRect first = menu.actionGeometry(menu.actionAt(0));
        EXPECT_GT(Ink(tick, QRect(first.left() + 1, first.top() + 1, 19, first.height() - 2)), 0);
        menu.SetCheckMarkImages(marks, 0, 1);
        menu.setActiveAction(menu.actionAt(1));
        const QImage shot = menu.grab().toImage();
        if (!flat)
            shot.scaled(shot.size() * 2).save(QString(HQLV_BUILD_DIR) + "/kit-menu-checkmark.png");
        const QColor notSelected = IconSquare(shot, first);
        const QColor selected = IconSquare(shot, menu.actionGeometry(menu.actionAt(1)));
        EXPECT_EQ(notSelected, QColor(255, 128, 0)) << flat;
        EXPECT_EQ(selected, QColor(128, 0, 255)) << flat;
        // An unchecked item has no mark.
        EXPECT_NE(IconSquare(shot, menu.actionGeometry(menu.actionAt(2))), QColor(255, 128, 0));
        // An index outside the list keeps the tick.
        menu.SetCheckMarkImages(marks, 2, -1);
        EXPECT_EQ(menu.CheckMarkImage(false), nullptr);
        EXPECT_EQ(menu.CheckMarkImage(true), nullptr);
        const QImage back = menu.grab().toImage();
        EXPECT_NE(IconSquare(back, first), QColor(255, 128, 0)) << flat;
        menu.hide();
    }
    EXPECT_EQ(marks.use_count(), 1);  // the menus let go of the shared list
}

TEST(OwnerDrawMenu, LightenColor) {
    EXPECT_EQ(LightenColor(0x000000, 0.5), 0x7F7F7Fu);
    EXPECT_EQ(LightenColor(0x0000FF, 1.0), 0xFFFFFFu);
    EXPECT_EQ(LightenColor(0x102030, 0.0), 0x102030u);
    EXPECT_EQ(LightenColor(0x102030, 1.5), 0x102030u);
    EXPECT_EQ(LightenColor(0x102030, -0.1), 0x102030u);
}

}  // namespace
}  // namespace hqlv::framework
