// The link label binds itself: whoever makes one gives its text, place, colours and cursor
// choice, and the first polish (before the first show, or the event loop's first turn)
// takes the link text, shrinks the label to its text, sets the cursor and the tooltip.
#include <gtest/gtest.h>

#include <QTest>

#include "framework/widgets/hyperlink_static.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

QSize TextSize(const CHyperLinkStatic* link) {
    return link->fontMetrics().size(Qt::TextSingleLine, link->text());
}

CHyperLinkStatic* MakeLink(QWidget* parent, const char* text, QRect place,
                           Qt::Alignment align = Qt::AlignLeft) {
    auto* link = new CHyperLinkStatic(parent);
    link->setText(QString::fromUtf8(text));
    link->setAlignment(align);
    link->setGeometry(place);
    return link;
}

TEST(HyperLinkBinding, FirstShowBindsEveryLinkWithoutAnyCallOfItsMaker) {
    SharedQtApp();
    QWidget parent;
    parent.resize(400, 200);
    auto* left = MakeLink(&parent, "刷新", QRect(10, 10, 120, 40));
    auto* centre = MakeLink(&parent, "关闭", QRect(10, 60, 121, 40), Qt::AlignHCenter);
    auto* right = MakeLink(&parent, "拒绝", QRect(10, 110, 120, 40), Qt::AlignRight);
    for (auto* link : {left, centre, right}) {
        EXPECT_FALSE(link->bound());
        EXPECT_TRUE(link->toolTip().isEmpty());
        EXPECT_EQ(link->width(), link == centre ? 121 : 120);
    }
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    for (auto* link : {left, centre, right}) {
        const QString name = link->text();
        ASSERT_TRUE(link->bound()) << name.toStdString();
        EXPECT_EQ(link->toolTip(), name);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << name.toStdString();
        EXPECT_EQ(link->size(), TextSize(link)) << name.toStdString();
    }
    const int w = TextSize(left).width();
    ASSERT_LT(w, 120);
    EXPECT_EQ(left->geometry().topLeft(), QPoint(10, 10));
    EXPECT_EQ(centre->geometry().topLeft(), QPoint(10 + (121 - w) / 2, 60));
    EXPECT_EQ(right->geometry().topLeft(), QPoint(10 + 120 - w, 110));
}

// A link made and left to the event loop binds on the loop's next turn, shown or not.
TEST(HyperLinkBinding, TheEventLoopsFirstTurnBindsAHiddenLink) {
    SharedQtApp();
    QWidget parent;
    auto* link = MakeLink(&parent, "同意", QRect(0, 0, 90, 30));
    EXPECT_FALSE(link->bound());
    QCoreApplication::processEvents();
    ASSERT_TRUE(link->bound());
    EXPECT_FALSE(link->isVisible());
    EXPECT_EQ(link->toolTip(), "同意");
    EXPECT_EQ(link->size(), TextSize(link));
}

// The choices made before the binding hold: a link text of its own for the tooltip, no
// link cursor, an underlined font (measured underlined), and a place smaller than the text,
// which the binding never widens.
TEST(HyperLinkBinding, ChoicesMadeBeforeTheBindingHold) {
    SharedQtApp();
    QWidget parent;
    parent.resize(300, 100);
    auto* name = MakeLink(&parent, "某位玩家", QRect(5, 5, 200, 20));
    name->SetColors(0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
    name->SetLinkCursor(false);
    name->SetLinkText("http://example.invalid/who");
    auto* under = MakeLink(&parent, "保护密码计算器", QRect(5, 30, 250, 30));
    under->SetUnderline(true, false);
    auto* narrow = MakeLink(&parent, "很长的一段链接文字", QRect(5, 70, 20, 4));
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(name->toolTip(), "http://example.invalid/who");
    EXPECT_NE(name->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(name->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(name->CurrentColour(), 0xFFFFFFu);
    EXPECT_TRUE(under->font().underline());
    EXPECT_EQ(under->size(), TextSize(under));
    EXPECT_EQ(under->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(narrow->geometry(), QRect(5, 70, 20, 4));
    EXPECT_EQ(narrow->toolTip(), "很长的一段链接文字");
}

// The binding happens once: a text given after it changes neither the link text nor the
// place, as a label bound to its first text keeps both.
TEST(HyperLinkBinding, BindsOnlyOnce) {
    SharedQtApp();
    QWidget parent;
    parent.resize(300, 100);
    auto* link = MakeLink(&parent, "同意", QRect(5, 5, 200, 20));
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const QRect fitted = link->geometry();
    link->setText("更长一些的文字");
    link->hide();
    link->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(link->geometry(), fitted);
    EXPECT_EQ(link->toolTip(), "同意");
}

}  // namespace
}  // namespace hqlv::framework
