// The skinned splitter: the room its panes keep, and where its bar pictures are tiled from.
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QImage>
#include <QTest>

#include "framework/panes/form_view.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

// No pane is hidden for want of room: the window that holds the splitter cannot be made
// smaller than every pane's minimum and the bars need, so each pane keeps its minimum.
TEST(SkinSplitter, TheWindowKeepsRoomForEveryPanesMinimumSoNoPaneIsHidden) {
    SharedQtApp();
    QWidget frame;
    auto* layout = new QHBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* split = new CSkinSplitterWnd(Qt::Vertical);
    layout->addWidget(split);
    QWidget* panes[3];
    for (QWidget*& w : panes) {
        w = new QWidget;
        split->addWidget(w);
    }
    panes[0]->setMinimumHeight(30);
    panes[1]->setMinimumHeight(50);
    frame.resize(100, 300);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    split->setSizes({30, 100, 40});
    // 30 + 50 + 0, two bars of 5 and the splitter's border of 1 on each side.
    EXPECT_EQ(frame.minimumSize().height(), 92);
    frame.resize(100, 70);
    QTest::qWait(10);
    EXPECT_EQ(frame.height(), 92);
    EXPECT_EQ(split->sizes(), (QList<int>{30, 50, 0}));
    for (QWidget* w : panes) EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(panes[1]->height(), 50);
    // A drag cannot take a pane below its minimum either.
    frame.resize(100, 300);
    QTest::qWait(10);
    split->setSizes({30, 20, 228});
    EXPECT_EQ(split->sizes()[1], 50);
}

// The bar pictures are tiled on one grid from the splitter's origin, not from each bar's
// own corner.
TEST(SkinSplitter, BarPicturesTileFromTheSplittersOrigin) {
    SharedQtApp();
    CSkinSplitterWnd split(Qt::Horizontal);
    split.SetDrawMode(2);
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(Qt::blue);
    for (int y = 0; y < 4; ++y) tile.setPixel(0, y, qRgb(255, 255, 255));
    split.SetBarBitmaps(tile, std::nullopt);
    split.addWidget(new QWidget);
    split.addWidget(new QWidget);
    split.resize(200, 40);
    split.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&split));
    split.setSizes({61, 133});
    QSplitterHandle* bar = split.handle(1);
    const int x0 = bar->geometry().x();
    ASSERT_NE(x0 % 4, 0) << x0;  // a bar away from the grid tells the two anchors apart
    const QImage shot = bar->grab().toImage();
    ASSERT_GE(shot.width(), 5);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(shot.pixelColor(x, 10) == QColor(Qt::white), (x0 + x) % 4 == 0) << x;
}

}  // namespace
}  // namespace hqlv::framework
