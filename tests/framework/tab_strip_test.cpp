// The tab strip: its model (layout, buttons, hit codes, copies, notification records)
// and the widget's label editing, vertical mapping and drawing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <limits>
#include <set>

#include "framework/widgets/tab_strip.h"
#include "framework/widgets/tab_strip_model.h"
#include "platform/ui/cursor.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

// Every character 10 pixels wide.
TabStripModel Model(uint32_t style, int length, int height = 20) {
    TabStripModel m([](std::string_view s) {
        int n = 0;
        for (unsigned char c : s) n += (c & 0xC0) != 0x80;
        return n * 10;
    });
    m.ModifyStyle(0, style);
    m.SetFrame(length, height);
    return m;
}

std::string Chars(int n, const std::string& c = "a") {
    std::string s;
    for (int i = 0; i < n; ++i) s += c;
    return s;
}

TEST(TabStripModel, InsertChecksIndexAndLength) {
    TabStripModel m = Model(kTabTop | kTabAutoHide, 400);
    EXPECT_EQ(m.InsertItem(1, "x", 0), kTabBadIndex);
    EXPECT_EQ(m.InsertItem(-1, "x", 0), kTabBadIndex);
    EXPECT_EQ(m.InsertItem(0, Chars(30), 0), kTabLabelTooLong);
    EXPECT_EQ(m.InsertItem(0, Chars(30, "积"), 0), kTabLabelTooLong);
    EXPECT_EQ(m.InsertItem(0, Chars(29, "积"), 0), 0);
    EXPECT_EQ(m.InsertItem(1, "积分榜", 4), 1);
    EXPECT_EQ(m.SetItemData(2, 1), kTabBadIndex);
    EXPECT_EQ(m.SetItemData(1, 5), 0);
    EXPECT_EQ(m.item(1).data, 5u);
}

TEST(TabStripModel, InsertingBeforeTheCurrentKeepsIt) {
    TabStripModel m = Model(kTabTop, 400);
    m.InsertItem(0, "a", 1);
    m.InsertItem(1, "b", 2);
    m.SetCurSel(1);
    m.InsertItem(0, "c", 3);
    EXPECT_EQ(m.current(), 2);
    EXPECT_EQ(m.item(2).label, "b");
    m.InsertItem(3, "d", 4);  // behind: unchanged
    EXPECT_EQ(m.current(), 2);
    EXPECT_EQ(m.SetCurSel(4), kTabBadIndex);
}

TEST(TabStripModel, LayoutOfTabs) {
    TabStripModel m = Model(kTabAutoHide, 400);
    m.InsertItem(0, "abc", 0);
    m.InsertItem(1, "de", 0);
    m.SetCurSel(0);
    // Width H + w + 4, overlap H/2; a bottom strip runs from y 1 to H - 1.
    EXPECT_EQ(m.item(0).shape, (TabRect{0, 1, 54, 19}));
    EXPECT_EQ(m.item(0).text, (TabRect{10, 1, 44, 19}));
    EXPECT_EQ(m.item(1).shape, (TabRect{44, 1, 88, 19}));
    EXPECT_EQ(m.item(0).kind, 3);  // current
    EXPECT_EQ(m.item(1).kind, 3);  // last
    m.InsertItem(2, "f", 0);
    EXPECT_EQ(m.item(1).kind, 4);
    TabStripModel top = Model(kTabTop | kTabAutoHide, 400);
    top.InsertItem(0, "abc", 0);
    EXPECT_EQ(top.item(0).shape, (TabRect{0, 0, 54, 18}));
    TabStripModel fixed = Model(kTabFixedWidth | kTabAutoHide, 400);
    fixed.InsertItem(0, "abcd", 0);
    fixed.InsertItem(1, "a", 0);
    EXPECT_EQ(fixed.item(1).shape.right - fixed.item(1).shape.left, 64);
}

TEST(TabStripModel, AutoHideWithOneTabShowsNoScrollButtons) {
    TabStripModel m = Model(kTabAutoHide, 50);
    m.InsertItem(0, Chars(20), 0);  // far wider than the strip
    EXPECT_EQ(m.buttonState(TabStripModel::kPrevious), 0);
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 0);
    m.InsertItem(1, "b", 0);
    EXPECT_EQ(m.buttonState(TabStripModel::kPrevious), 1);
    EXPECT_EQ(m.buttonState(TabStripModel::kFirst), 0);
    TabStripModel fits = Model(kTabAutoHide, 400);
    fits.InsertItem(0, "a", 0);
    fits.InsertItem(1, "b", 0);
    EXPECT_EQ(fits.buttonState(TabStripModel::kNext), 0);
    // With a close button the tabs begin behind its area.
    TabStripModel closing = Model(kTabAutoHide | kTabCloseButton, 400);
    closing.InsertItem(0, "a", 0);
    EXPECT_EQ(closing.item(0).shape.left, 17 + 3);
    EXPECT_EQ(closing.HitTest(5, 10), kHitClose);
    TabStripModel always = Model(0, 400);
    always.InsertItem(0, "a", 0);
    EXPECT_EQ(always.buttonState(TabStripModel::kNext), 1);
}

TEST(TabStripModel, NextDoesNothingWhenTheLastTabIsInside) {
    TabStripModel m = Model(0, 400);
    for (int i = 0; i < 3; ++i) m.InsertItem(i, "ab", 0);
    m.PressButton(kHitNext, 0);
    EXPECT_EQ(m.firstShown(), 0);
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 3);
    m.ReleaseButtons();
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 1);
}

TEST(TabStripModel, HeldButtonRepeatsEvery250MsOnTheTimer) {
    TabStripModel m = Model(0, 120);
    for (int i = 0; i < 10; ++i) m.InsertItem(i, "abcd", 0);
    m.RecalcLayout(5);  // scrolled to the end
    const int start = m.firstShown();
    ASSERT_GE(start, 4);
    m.PressButton(kHitPrevious, 1000);
    EXPECT_EQ(m.firstShown(), start - 1);
    const std::pair<int64_t, int> ticks[] = {{1100, 1}, {1200, 1}, {1249, 1}, {1300, 2},
                                             {1400, 2}, {1500, 2}, {1550, 3}, {1600, 3}};
    for (auto [now, steps] : ticks) {
        m.OnRepeatTimer(now);
        EXPECT_EQ(m.firstShown(), start - steps) << now;
    }
    m.ReleaseButtons();
    m.OnRepeatTimer(5000);
    EXPECT_EQ(m.firstShown(), start - 3);
    // The close button steps once and never repeats.
    TabStripModel c = Model(kTabCloseButton, 120);
    c.InsertItem(0, "a", 0);
    c.PressButton(kHitClose, 0);
    EXPECT_EQ(c.buttonState(TabStripModel::kClose), 3);
    c.OnRepeatTimer(1000);
    EXPECT_EQ(c.pressed(), kHitClose);
}

TEST(TabStripModel, ButtonStatesUnderThePointer) {
    TabStripModel m = Model(kTabCloseButton, 120);
    for (int i = 0; i < 10; ++i) m.InsertItem(i, "abcd", 0);
    m.HoverButtons(kHitNext, false);
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 2);  // hot
    EXPECT_EQ(m.buttonState(TabStripModel::kPrevious), 1);
    EXPECT_EQ(m.buttonState(TabStripModel::kClose), 1);
    m.HoverButtons(kHitNext, true);  // the left button is down elsewhere: not hot
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 1);
    m.PressButton(kHitNext, 0);
    m.HoverButtons(kHitNext, true);
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 3);  // pressed and under the pointer
    m.HoverButtons(kHitPrevious, true);
    EXPECT_EQ(m.buttonState(TabStripModel::kNext), 1);
    EXPECT_EQ(m.buttonState(TabStripModel::kPrevious), 1);  // pressed is another button
    m.ReleaseButtons();
    EXPECT_EQ(m.buttonState(TabStripModel::kFirst), 0);  // absent stays absent
    EXPECT_EQ(m.pressed(), kHitNothing);
}

TEST(TabStripWidget, HeldButtonRepeatsOnTheInjectedClock) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop);
    strip.resize(120, 20);
    for (int i = 0; i < 10; ++i) strip.InsertItem(i, "abcd", 0);
    int64_t now = 0;
    strip.clock = [&] { return now; };
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const TabRect next = strip.model().ButtonRect(TabStripModel::kNext);
    const QPoint at((next.left + next.right) / 2, 10);
    QTest::mousePress(&strip, Qt::LeftButton, {}, at);
    EXPECT_EQ(strip.model().firstShown(), 1);
    now = 200;
    QTest::qWait(150);  // the 100 ms timer looked, too early for a step
    EXPECT_EQ(strip.model().firstShown(), 1);
    now = 260;
    for (int waited = 0; strip.model().firstShown() != 2 && waited < 3000; waited += 20)
        QTest::qWait(20);
    EXPECT_EQ(strip.model().firstShown(), 2);
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, at);
    now = 2000;
    QTest::qWait(150);
    EXPECT_EQ(strip.model().firstShown(), 2);
    EXPECT_EQ(strip.model().buttonState(TabStripModel::kNext), 1);
}

TEST(TabStripModel, ScrolledStripShowsNoRoomBehindTheLastTab) {
    TabStripModel m = Model(0, 200);
    for (int i = 0; i < 8; ++i) m.InsertItem(i, "abcd", 0);
    m.RecalcLayout(5);
    const int p = m.firstShown();
    EXPECT_GT(p, 0);
    EXPECT_LT(m.item(7).shape.right, m.stripEnd());
    EXPECT_EQ(m.item(p - 1).kind, 2);  // the sliver in front
    EXPECT_TRUE(m.item(p - 1).text.empty());
    if (p >= 2) {
        EXPECT_EQ(m.item(p - 2).kind, 0);
    }
    m.RecalcLayout(4);
    EXPECT_EQ(m.firstShown(), 0);
}

struct HitCase {
    uint32_t style;
    std::vector<std::pair<int, int>> expect;  // (x, hit)
};

TEST(TabStripModel, HitCodesOfEveryButtonLayout) {
    // H = 20, bw = 17; W = 300.
    const HitCase cases[] = {
        {0, {{0, kHitPrevious}, {17, kHitPrevious}, {18, kHitNext}, {36, kHitNext}}},
        {kTabCloseButton,
         {{0, kHitClose},
          {16, kHitClose},
          {17, kHitClose},
          {18, kHitPrevious},
          {35, kHitNext},
          {53, kHitNext}}},
        {kTabFourButtons,
         {{0, kHitFirst},
          {17, kHitFirst},
          {18, kHitPrevious},
          {34, kHitPrevious},
          {35, kHitNext},
          {52, kHitNext},
          {53, kHitLast},
          {70, kHitLast}}},
        {kTabFourButtons | kTabCloseButton,
         {{5, kHitClose},
          {17, kHitClose},
          {18, kHitFirst},
          {35, kHitPrevious},
          {52, kHitNext},
          {70, kHitLast},
          {87, kHitLast}}},
        {kTabButtonsAfter,
         {{299, kHitNext}, {281, kHitNext}, {280, kHitPrevious}, {263, kHitPrevious}}},
        {kTabButtonsAfter | kTabCloseButton,
         {{299, kHitClose},
          {282, kHitClose},
          {281, kHitNext},
          {264, kHitNext},
          {263, kHitPrevious},
          {246, kHitPrevious}}},
        {kTabButtonsAfter | kTabFourButtons,
         {{299, kHitLast},
          {282, kHitLast},
          {281, kHitNext},
          {264, kHitNext},
          {263, kHitPrevious},
          {247, kHitPrevious},
          {246, kHitFirst},
          {229, kHitFirst}}},
    };
    for (const HitCase& c : cases) {
        TabStripModel m = Model(c.style, 300);
        m.InsertItem(0, "a", 0);
        for (auto [x, hit] : c.expect)
            EXPECT_EQ(m.HitTest(x, 10), hit) << "style " << c.style << " x " << x;
        EXPECT_EQ(m.HitTest(5, -1), kHitNothing);
        EXPECT_EQ(m.HitTest(5, 20), kHitNothing);
    }
    // Tabs by their slanted outline; the strip behind the last tab is nothing.
    TabStripModel m = Model(kTabAutoHide, 300);
    m.InsertItem(0, "abc", 0);
    m.InsertItem(1, "abc", 0);
    EXPECT_EQ(m.HitTest(27, 10), 0);
    EXPECT_EQ(m.HitTest(1, 17), kHitNothing);  // outside the slant at the bottom left
    EXPECT_EQ(m.HitTest(60, 10), 1);
    EXPECT_EQ(m.HitTest(200, 10), kHitNothing);
}

TEST(TabStripModel, CopiesAreNumbered) {
    struct Case {
        std::vector<std::string> labels;
        std::string from, want;
    } cases[] = {{{"Abc"}, "Abc", "Abc (2)"},        {{"Abc", "Abc (2)"}, "Abc", "Abc (3)"},
                 {{"Abc(2)"}, "Abc(2)", "Abc(3)"},   {{"Abc(1)"}, "Abc(1)", "Abc(1) (2)"},
                 {{"Abc(12)"}, "Abc(12)", "Abc(2)"}, {{"Abc(09)"}, "Abc(09)", "Abc(09) (2)"},
                 {{"(5)"}, "(5)", "(5) (2)"},        {{"(10)"}, "(10)", "(2)"},
                 {{"(10)", "(2)"}, "(10)", "(3)"}};
    for (const Case& c : cases) EXPECT_EQ(CopiedLabel(c.from, c.labels), c.want) << c.from;
    TabStripModel m = Model(kTabTop, 400);
    m.InsertItem(0, "Abc", 7);
    std::vector<TabNotify> sent;
    m.notify = [&](const TabNotify& n) {
        sent.push_back(n);
        return 0;
    };
    EXPECT_EQ(m.CopyItem(0, 1, true), 1);
    EXPECT_EQ(m.CopyItem(0, 2, true), 2);
    EXPECT_EQ(m.item(1).label, "Abc (2)");
    EXPECT_EQ(m.item(2).label, "Abc (3)");
    EXPECT_EQ(m.item(2).data, 7u);
    EXPECT_EQ(m.current(), 2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].code, kTabCopied);
    EXPECT_EQ(sent[1].item, 2);
    EXPECT_STREQ(sent[1].label, "Abc (3)");
    EXPECT_EQ(m.CopyItem(3, 0, true), kTabBadIndex);
    EXPECT_EQ(m.CopyItem(0, 4, true), kTabBadIndex);
    m.InsertItem(3, Chars(26), 0);
    EXPECT_EQ(m.CopyItem(3, 0, true), kTabLabelTooLong);  // the numbered copy is too long
}

TEST(TabStripModel, MoveMakesTheTabCurrent) {
    TabStripModel m = Model(kTabTop, 400);
    for (const char* l : {"a", "b", "c"}) m.InsertItem(m.count(), l, 0);
    int moved = -1;
    m.notify = [&](const TabNotify& n) {
        if (n.code == kTabMoved) moved = n.item;
        return 0;
    };
    EXPECT_EQ(m.MoveItem(0, 1, true), 0);  // in place: nothing
    EXPECT_EQ(moved, -1);
    EXPECT_EQ(m.MoveItem(0, 3, true), 2);
    EXPECT_EQ(moved, 2);
    EXPECT_EQ(m.item(2).label, "a");
    EXPECT_EQ(m.current(), 2);
    EXPECT_EQ(m.MoveItem(2, 0, false), 0);
    EXPECT_EQ(m.item(0).label, "a");
    EXPECT_EQ(m.MoveItem(3, 0, false), kTabBadIndex);
}

TEST(TabStripModel, HighlightRules) {
    TabStripModel m = Model(kTabTop, 400);
    for (const char* l : {"a", "b", "c"}) m.InsertItem(m.count(), l, 0);
    EXPECT_EQ(m.HighlightItem(0, true, false), kTabNoHighlightStyle);
    m.ModifyStyle(0, kTabMultiHighlight);
    m.SelectItem(0, true, false);
    EXPECT_TRUE(m.item(0).highlighted);
    m.HighlightItem(2, true, true);  // Ctrl toggles another tab
    EXPECT_TRUE(m.item(2).highlighted);
    EXPECT_TRUE(m.item(2).highlightChanged);
    m.HighlightItem(0, true, true);  // not the current one
    EXPECT_TRUE(m.item(0).highlighted);
    m.SelectItem(1, true, false);  // a plain click keeps only the new and the current
    EXPECT_TRUE(m.item(1).highlighted);
    EXPECT_FALSE(m.item(2).highlighted);
    EXPECT_TRUE(m.item(2).highlightChanged);
    m.ModifyStyle(kTabMultiHighlight, 0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(m.item(i).highlighted);
}

TEST(TabStripModel, NotificationLabelIsBoundedOnACharacter) {
    TabStripModel m = Model(kTabTop, 2000);
    m.InsertItem(0, Chars(29, "积"), 9);  // 87 bytes
    TabNotify n = m.MakeNotify(kTabSelChanged, 0, {3, 4});
    EXPECT_EQ(std::string(n.label), Chars(10, "积"));  // 30 bytes fit, the 11th does not
    EXPECT_EQ(n.label[31], 0);
    EXPECT_EQ(n.data, 9u);
    EXPECT_EQ(n.point, (TabPoint{3, 4}));
    TabNotify none = m.MakeNotify(kTabLButtonDown, kHitNext, {1, 1});
    EXPECT_EQ(none.label[0], 0);
    EXPECT_EQ(none.data, 0u);
    char small[4];
    CopyLabelBounded("ab积", small, sizeof small);
    EXPECT_STREQ(small, "ab");
    CopyLabelBounded("abc", small, sizeof small);
    EXPECT_STREQ(small, "abc");
    // No room, or nowhere to write: nothing is written.
    char untouched[4] = {'x', 'y', 'z', 0};
    CopyLabelBounded("abc", untouched, 0);
    EXPECT_STREQ(untouched, "xyz");
    CopyLabelBounded("abc", nullptr, 4);
}

TEST(TabStripModel, VerticalPointsTurnAQuarter) {
    // A window 20 wide and 300 high: the strip's start at the bottom, its top edge left.
    EXPECT_EQ(TabStripModel::VerticalToStrip({0, 299}, 300), (TabPoint{0, 0}));
    EXPECT_EQ(TabStripModel::VerticalToStrip({19, 0}, 300), (TabPoint{299, 19}));
    EXPECT_EQ(TabStripModel::VerticalToStrip({5, 250}, 300), (TabPoint{49, 5}));
    for (TabPoint p : {TabPoint{0, 0}, TabPoint{7, 123}, TabPoint{19, 299}})
        EXPECT_EQ(TabStripModel::StripToVertical(TabStripModel::VerticalToStrip(p, 300), 300), p);
}

TEST(TabStripWidget, VerticalClickReachesTheTabUnderIt) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabVertical | kTabAutoHide);
    strip.resize(20, 300);
    strip.InsertItem(0, "积分榜", 4);
    strip.InsertItem(1, "Vellor", 5);
    strip.SetCurSel(0);
    std::vector<TabNotify> sent;
    strip.model().notify = [&](const TabNotify& n) {
        sent.push_back(n);
        return 0;
    };
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    // Tab 1 lies along the strip after tab 0: near the window's top part.
    const TabRect t1 = strip.model().item(1).shape;
    const TabPoint w = TabStripModel::StripToVertical({(t1.left + t1.right) / 2, 10}, 300);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(w.x, w.y));
    EXPECT_EQ(strip.model().current(), 1);
    ASSERT_GE(sent.size(), 2u);
    sent.resize(2);
    EXPECT_EQ(sent[0].code, kTabLButtonDown);
    EXPECT_EQ(sent[1].code, kTabSelChanged);
    EXPECT_STREQ(sent[1].label, "Vellor");
    // Ctrl without the multi-highlight style still selects.
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::ControlModifier, [&] {
        const TabRect t0 = strip.model().item(0).shape;
        const TabPoint p = TabStripModel::StripToVertical({(t0.left + t0.right) / 2, 10}, 300);
        return QPoint(p.x, p.y);
    }());
    EXPECT_EQ(strip.model().current(), 0);
    EXPECT_EQ(strip.EditLabel(0, false), kTabNoEditStyle);
    strip.ModifyStyle(0, kTabEditLabels);
    EXPECT_EQ(strip.EditLabel(0, false), kTabVerticalStrip);
    // The window shows the strip turned: its first column is the strip's first row read
    // from the bottom up.
    const QImage lying = strip.RenderStrip();
    const QImage shown = strip.grab().toImage();
    for (int x : {0, 40, 150, 299}) EXPECT_EQ(shown.pixel(5, 299 - x), lying.pixel(x, 5)) << x;
}

class TabEditing : public ::testing::Test {
protected:
    void SetUp() override {
        SharedQtApp();
        strip.ModifyStyle(0, kTabTop | kTabEditLabels | kTabAutoHide);
        strip.resize(400, 24);
        strip.InsertItem(0, "积分榜", 4);
        strip.InsertItem(1, "Vellor", 5);
        strip.SetCurSel(0);
        strip.model().notify = [this](const TabNotify& n) {
            sent.push_back(n);
            return n.code == kTabLabelEdited ? refuse : 0;
        };
        strip.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    }
    QPoint TabCentre(int i) {
        const TabRect t = strip.model().item(i).text;
        return QPoint((t.left + t.right) / 2, (t.top + t.bottom) / 2);
    }
    // Runs `steps` inside the editor's loop, one after the other.
    void During(std::vector<std::function<void()>> steps) {
        for (size_t i = 0; i < steps.size(); ++i)
            QTimer::singleShot(int(20 * (i + 1)), &strip, steps[i]);
    }
    // The application must exist before the strip, which is a widget; ctest runs each
    // test in a process of its own.
    struct AppFirst {
        AppFirst() { SharedQtApp(); }
    } appFirst;
    CCustomTabCtrl strip;
    std::vector<TabNotify> sent;
    int refuse = 0;
};

TEST_F(TabEditing, ChecksBeforeEditing) {
    EXPECT_EQ(strip.EditLabel(5, false), kTabBadIndex);
    EXPECT_EQ(strip.EditLabel(1, false), kTabNotCurrent);
}

TEST_F(TabEditing, EscapeRestoresTheLabel) {
    During({[&] {
                ASSERT_NE(strip.editor(), nullptr);
                EXPECT_EQ(strip.EditLabel(0, false), kTabEditorOpen);
                EXPECT_EQ(strip.editor()->maxLength(), 30);
                EXPECT_EQ(strip.editor()->selectedText(), "积分榜");
                strip.editor()->insert("新的名字");
                EXPECT_EQ(strip.model().item(0).label, "新的名字");
            },
            [&] { QTest::keyClick(strip.editor(), Qt::Key_Escape); }});
    EXPECT_EQ(strip.EditLabel(0, false), 0);
    EXPECT_EQ(strip.editor(), nullptr);
    EXPECT_EQ(strip.model().item(0).label, "积分榜");
    for (const TabNotify& n : sent) EXPECT_NE(n.code, kTabLabelEdited);
}

TEST_F(TabEditing, RefusedLabelKeepsEditingUntilAccepted) {
    refuse = 1;
    bool stillOpen = false;
    During({[&] {
                strip.editor()->setText("Abc");
                QTest::keyClick(strip.editor(), Qt::Key_Return);
            },
            [&] {
                stillOpen = strip.editor() != nullptr;
                refuse = 0;
                QTest::keyClick(strip.editor(), Qt::Key_Return);
            }});
    EXPECT_EQ(strip.EditLabel(0, false), 0);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(strip.model().item(0).label, "Abc");
    int edits = 0;
    for (const TabNotify& n : sent)
        if (n.code == kTabLabelEdited) {
            ++edits;
            EXPECT_EQ(n.item, 0);
            EXPECT_STREQ(n.label, "Abc");
        }
    EXPECT_EQ(edits, 2);
}

TEST_F(TabEditing, ClickOnAnotherTabCommitsThenSelects) {
    During({[&] {
                strip.editor()->setText("改名");
                // A click on the current tab is swallowed; the editor stays.
                QTest::mouseClick(&strip, Qt::LeftButton, {}, TabCentre(0) + QPoint(0, 0));
            },
            [&] {
                ASSERT_NE(strip.editor(), nullptr);
                QTest::mouseClick(&strip, Qt::LeftButton, {}, TabCentre(1));
            }});
    EXPECT_EQ(strip.EditLabel(0, false), 0);
    EXPECT_EQ(strip.model().item(0).label, "改名");
    EXPECT_EQ(strip.model().current(), 1);
    bool edited = false, selected = false;
    for (const TabNotify& n : sent) {
        if (n.code == kTabLabelEdited) edited = true;
        if (n.code == kTabSelChanged) {
            EXPECT_TRUE(edited);  // the commit came first
            selected = n.item == 1;
        }
    }
    EXPECT_TRUE(selected);
}

// In a strip whose tabs hang down (text from y 1) the editor stands in the middle of
// the tab's text rectangle.
TEST(TabStripWidget, EditorCentredInABottomStrip) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabEditLabels | kTabAutoHide);
    strip.resize(300, 30);
    strip.InsertItem(0, "Abc", 0);
    strip.SetCurSel(0);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    QRect editor;
    QTimer::singleShot(20, &strip, [&] {
        editor = strip.editor()->geometry();
        QTest::keyClick(strip.editor(), Qt::Key_Escape);
    });
    EXPECT_EQ(strip.EditLabel(0, false), 0);
    const TabRect t = strip.model().item(0).text;
    ASSERT_EQ(t.top, 1);
    const int above = editor.top() - t.top, below = t.bottom - (editor.bottom() + 1);
    EXPECT_GE(above, 0);
    EXPECT_LE(std::abs(above - below), 1);
    EXPECT_EQ(editor.left(), t.left + 2);
}

// The label editor of a tab near the strip's end: while the editor would pass the end the
// strip scrolls on a tab at a time, as long as the tab lies behind the first shown one;
// then the editor's width is cut at the end.
TEST(TabStripModel, LabelEditorScrollsTheStripThenIsCutAtItsEnd) {
    // Tabs of 3 letters: 20 + 30 + 4 = 54 wide, 44 apart; two scroll buttons take 2 × 17 + 3.
    TabStripModel m = Model(kTabTop, 200);
    for (int i = 0; i < 5; ++i) m.InsertItem(i, "abc", 0);
    m.SetCurSel(3);
    m.RecalcLayout(3);
    const int first = m.firstShown();
    const int end = m.stripEnd();
    ASSERT_EQ(end, 200);
    ASSERT_LT(first, 3);
    // An editor that fits stays where the text is and keeps its width.
    const int left = m.item(3).text.left + 2;
    ASSERT_LT(left + 20, end);
    EXPECT_EQ(m.PlaceLabelEditor(3, 20), std::make_pair(left, 20));
    EXPECT_EQ(m.firstShown(), first);
    // Too wide where it is: the strip scrolls until the tab is the first shown one.
    const auto [l2, w2] = m.PlaceLabelEditor(3, 120);
    EXPECT_EQ(m.firstShown(), 3);
    EXPECT_EQ(l2, m.item(3).text.left + 2);
    EXPECT_EQ(l2, m.tabsStart() + 10 + 2);
    EXPECT_EQ(w2, 120);
    // Wider than the whole strip: no further than the tab itself, then cut at the end.
    const auto [l3, w3] = m.PlaceLabelEditor(3, 1000);
    EXPECT_EQ(m.firstShown(), 3);
    EXPECT_EQ(l3 + w3, end);
    // Exactly at the end: no scroll and no cut.
    m.SetCurSel(0);
    m.RecalcLayout(4);
    const int l0 = m.item(0).text.left + 2;
    EXPECT_EQ(m.PlaceLabelEditor(0, end - l0), std::make_pair(l0, end - l0));
    EXPECT_EQ(m.firstShown(), 0);
    EXPECT_EQ(m.PlaceLabelEditor(0, end - l0 + 1), std::make_pair(l0, end - l0));
    // A bad index places nothing.
    EXPECT_EQ(m.PlaceLabelEditor(5, 10), std::make_pair(0, 0));
    EXPECT_EQ(m.PlaceLabelEditor(-1, 10), std::make_pair(0, 0));
}

// Typing a long label into the last tab of a crowded strip scrolls the strip so that the
// editor stays inside it.
TEST(TabStripWidget, TypingPastTheStripsEndScrollsIt) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop | kTabEditLabels);
    strip.resize(260, 24);
    for (int i = 0; i < 6; ++i) strip.InsertItem(i, "Tab" + std::to_string(i), 0);
    strip.SetCurSel(4);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const int before = strip.model().firstShown();
    int after = -1;
    QRect editor;
    QTimer::singleShot(20, &strip, [&] {
        strip.editor()->end(false);
        QTest::keyClicks(strip.editor(), "abcdefghijklmnop");
        after = strip.model().firstShown();
        editor = strip.editor()->geometry();
        QTest::keyClick(strip.editor(), Qt::Key_Return);
    });
    EXPECT_EQ(strip.EditLabel(4, false), 0);
    EXPECT_GT(after, before);
    EXPECT_LE(after, 4);
    EXPECT_LE(editor.right() + 1, strip.model().stripEnd());
    EXPECT_EQ(strip.model().item(4).label, "Tab4abcdefghijklmnop");
}

// A font from a description: the tabs are measured in its bold form; with redraw the strip
// is laid out at once, without it at the next layout.
TEST(TabStripWidget, ControlFontFromADescription) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop | kTabAutoHide);
    strip.resize(600, 30);
    strip.InsertItem(0, "积分榜", 4);
    strip.InsertItem(1, "Vellor", 5);
    strip.SetCurSel(0);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const int normalWidth = strip.model().item(1).shape.right - strip.model().item(1).shape.left;
    ASSERT_EQ(normalWidth, 30 + QFontMetrics(strip.boldFont()).horizontalAdvance("Vellor") + 4);
    EXPECT_EQ(strip.controlFont(), QApplication::font());
    platform::ui::FontSpec big;
    big.face = "宋体";
    big.height = -24;
    strip.SetControlFont(&big, false);
    EXPECT_EQ(strip.controlFont().pixelSize(), 24);
    EXPECT_EQ(strip.boldFont().pixelSize(), 24);
    EXPECT_EQ(strip.boldFont().weight(), QFont::Bold);
    EXPECT_FALSE(strip.controlFont().bold());
    // Not laid out yet.
    EXPECT_EQ(strip.model().item(1).shape.right - strip.model().item(1).shape.left, normalWidth);
    strip.SetControlFont(&big, true);
    const int bigWidth = strip.model().item(1).shape.right - strip.model().item(1).shape.left;
    EXPECT_EQ(bigWidth, 30 + QFontMetrics(strip.boldFont()).horizontalAdvance("Vellor") + 4);
    EXPECT_GT(bigWidth, normalWidth);
    // Without a description: the default GUI font again.
    strip.SetControlFont(nullptr, true);
    EXPECT_EQ(strip.controlFont(), QApplication::font());
    EXPECT_EQ(strip.model().item(1).shape.right - strip.model().item(1).shape.left, normalWidth);
}

// The base line runs from the tabs' start to the last tab's right edge, open under the
// current tab; past the last tab the strip's own colour.
TEST(TabStripWidget, TheBaseLineEndsAtTheLastTabsRightEdge) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop | kTabAutoHide);
    strip.resize(400, 24);
    for (int i = 0; i < 3; ++i) strip.InsertItem(i, "Tab" + std::to_string(i), 0);
    strip.SetCurSel(0);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const QImage img = strip.RenderStrip();
    const int y = 24 - 2;
    const QRgb line = strip.palette().color(QPalette::ButtonText).rgb();
    const TabItem& last = strip.model().item(2);
    const TabItem& middle = strip.model().item(1);
    EXPECT_EQ(img.pixel(last.shape.right, y), line);
    EXPECT_EQ(img.pixel((middle.shape.right + last.shape.right) / 2, y), line);
    EXPECT_NE(img.pixel(last.shape.right + 2, y), line);
    // Open under the current tab.
    const TabItem& current = strip.model().item(0);
    EXPECT_NE(img.pixel((current.shape.left + current.shape.right) / 2, y), line);
}

// A strip destroyed while its label is edited (its window closed under the editor): the
// editing loop ends and nothing of the strip is read after it has gone.
TEST(TabStripWidget, AStripDestroyedWhileEditingEndsTheEdit) {
    SharedQtApp();
    QWidget parent;
    parent.resize(300, 40);
    auto* strip = new CCustomTabCtrl(&parent);
    strip->ModifyStyle(0, kTabTop | kTabEditLabels | kTabAutoHide);
    strip->resize(300, 24);
    strip->InsertItem(0, "积分榜", 4);
    strip->SetCurSel(0);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QPointer<CCustomTabCtrl> alive(strip);
    bool edited = false;
    QTimer::singleShot(20, &parent, [&] {
        edited = strip->editor() != nullptr;
        strip->editor()->setText("新");
        delete strip;
    });
    EXPECT_EQ(strip->EditLabel(0, false), 0);
    EXPECT_TRUE(edited);
    EXPECT_TRUE(alive.isNull());
    // The application's event filter of the loop is gone with it: input goes on as usual.
    QLineEdit other(&parent);
    other.show();
    QTest::keyClicks(&other, "ok");
    EXPECT_EQ(other.text(), "ok");
}

// A strip that has no size yet lays nothing out.
TEST(TabStripModel, NoLayoutBeforeTheStripHasASize) {
    TabStripModel m([](std::string_view) { return 10; });
    m.InsertItem(0, "a", 0);
    m.InsertItem(1, "b", 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(m.item(i).kind, 0);
        EXPECT_TRUE(m.item(i).shape.empty());
    }
    m.SetFrame(200, 20);
    EXPECT_EQ(m.item(0).kind, 4);
}

TEST(TabStripModel, RoomMadeByWideningScrollsBackToTheFirstTab) {
    TabStripModel m([](std::string_view s) { return int(s.size()) * 6; });
    m.SetFrame(120, 20);
    for (int i = 0; i < 6; ++i) m.InsertItem(i, "Tab" + std::to_string(i), uint32_t(i));
    for (int i = 0; i < 4; ++i) m.RecalcLayout(1);
    ASSERT_GE(m.firstShown(), 2);
    m.SetFrame(2000, 20);
    EXPECT_EQ(m.firstShown(), 0);
}

TEST(TabStripWidget, CutTabsAreOneSlantedLineAndWholeTabsCarryTheirLabels) {
    SharedQtApp();
    for (int current : {0, 4}) {  // the cut tab current (kind 1) or not (kind 2)
        CCustomTabCtrl strip;
        strip.ModifyStyle(0, kTabTop);
        strip.resize(160, 20);
        for (int i = 0; i < 5; ++i) strip.InsertItem(i, "Tab" + std::to_string(i), uint32_t(i));
        strip.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
        strip.SetCurSel(current);
        strip.model().RecalcLayout(1);
        ASSERT_GE(strip.model().firstShown(), 1);
        const QImage img = strip.RenderStrip();
        const QRgb ink = strip.palette().color(QPalette::ButtonText).rgb();
        std::set<int> kinds;
        for (int i = 0; i < strip.model().count(); ++i) {
            const TabItem& t = strip.model().item(i);
            kinds.insert(t.kind);
            if (t.kind == 1 || t.kind == 2) {
                // The cut tab is the one line from its top left corner down to the right.
                const int s = (t.shape.bottom - t.shape.top) / 2;
                EXPECT_EQ(img.pixel(t.shape.left, t.shape.top), ink) << int(t.kind);
                EXPECT_EQ(img.pixel(t.shape.left + s, t.shape.bottom), ink) << int(t.kind);
            } else if (t.kind >= 3 && t.text.right <= strip.model().stripEnd()) {
                int text = 0;
                const QRgb bg = img.pixel(t.text.left + 2, t.text.top + 3);
                for (int y = t.text.top + 3; y < t.text.bottom - 2; ++y)
                    for (int x = t.text.left + 2; x < t.text.right - 2; ++x)
                        text += img.pixel(x, y) != bg;
                EXPECT_GT(text, 0) << "tab " << i;
            }
        }
        EXPECT_EQ(kinds.count(current == 0 ? 1 : 2), 1u);
    }
}

// ---- dragging, tooltips, faces, glyphs and the frame layout

TEST(TabStripModel, DragStepsFollowThePointer) {
    // Three labels of 20 pixels, H = 20: texts at 10..34, 44..68, 78..102; H/4 = 5.
    TabStripModel m = Model(kTabTop | kTabAutoHide, 400);
    for (const char* l : {"aa", "bb", "cc"}) m.InsertItem(m.count(), l, 0);
    EXPECT_FALSE(m.DragStep(200));  // no drag
    m.SetPressed(1);
    EXPECT_FALSE(m.DragStep(200));  // no target yet
    m.SetDropTarget(1);
    const struct {
        int x, target;
        bool changed;
    } steps[] = {{50, 1, false},  {39, 1, false}, {72, 1, false},  {73, 2, true},  {73, 2, false},
                 {106, 2, false}, {107, 3, true}, {110, 3, false}, {73, 3, false}, {72, 1, true},
                 {38, 0, true},   {-5, 0, false}, {399, 1, true},  {400, 2, true}, {400, 2, false}};
    for (const auto& st : steps) {
        EXPECT_EQ(m.DragStep(st.x), st.changed) << st.x;
        EXPECT_EQ(m.dropTarget(), st.target) << st.x;
    }
    // The marker: before the target's text, or behind the last tab; never past W - 7.
    const struct { int target, left; } marks[] = {{0, 2}, {1, 36}, {2, 70}, {3, 104}};
    for (const auto& mk : marks) {
        m.SetDropTarget(mk.target);
        EXPECT_EQ(m.DropMarkerLeft(), mk.left) << mk.target;
    }
    m.SetDropTarget(kHitNothing);
    EXPECT_EQ(m.DropMarkerLeft(), std::numeric_limits<int>::min());
    TabStripModel narrow = Model(kTabTop | kTabButtonsAfter, 110);
    for (const char* l : {"aa", "bb", "cc"}) narrow.InsertItem(narrow.count(), l, 0);
    narrow.SetDropTarget(3);
    EXPECT_EQ(narrow.DropMarkerLeft(), 103);
}

TEST(TabStripModel, TooltipToolsFollowTheirTabs) {
    TabStripModel m = Model(kTabTop | kTabAutoHide, 400);
    for (const char* l : {"aa", "bb", "cc"}) m.InsertItem(m.count(), l, 0);
    EXPECT_FALSE(m.toolTipWindow());
    EXPECT_FALSE(m.SetToolText(1, "x"));  // no window, no tools
    m.ModifyStyle(0, kTabTooltips);
    ASSERT_TRUE(m.toolTipWindow());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(m.SetToolText(i + 1, "tip " + m.item(i).label));
    EXPECT_FALSE(m.SetToolText(4, "x"));
    EXPECT_FALSE(m.SetToolText(0, "x"));
    // An auto-hidden button keeps its tool, with an empty rectangle.
    EXPECT_TRUE(m.SetToolText(kHitNext, "后一个"));
    EXPECT_TRUE(m.ToolRect(kHitNext).empty());
    EXPECT_FALSE(m.SetToolText(-7, "x"));
    EXPECT_EQ(m.ToolRect(2), (TabRect{44, 0, 68, 18}));
    EXPECT_EQ(m.ToolAt(50, 5), 2);
    EXPECT_EQ(m.ToolAt(36, 5), 0);  // between two texts
    // An insertion moves the tools behind it up; the new tab has none.
    m.InsertItem(1, "nn", 0);
    EXPECT_EQ(m.ToolText(1), "tip aa");
    EXPECT_EQ(m.ToolText(2), "");
    EXPECT_EQ(m.ToolText(3), "tip bb");
    EXPECT_EQ(m.ToolText(4), "tip cc");
    // Moves: the tab keeps its text and the others shift, both ways.
    m.MoveItem(0, 4, false);  // aa to the end: nn bb cc aa
    const std::vector<std::string> after = {"", "tip bb", "tip cc", "tip aa"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.ToolText(i + 1), after[size_t(i)]) << i;
    m.MoveItem(2, 0, false);  // cc to the front: cc nn bb aa
    const std::vector<std::string> back = {"tip cc", "", "tip bb", "tip aa"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.ToolText(i + 1), back[size_t(i)]) << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ("tip " + m.item(i).label == m.ToolText(i + 1), i != 1);
    // Back over tabs that have tools: aa from the end to just behind cc.
    ASSERT_TRUE(m.SetToolText(2, "tip nn"));
    m.MoveItem(3, 1, false);  // cc aa nn bb
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.ToolText(i + 1), "tip " + m.item(i).label) << i;
    // A tab behind the strip end has an empty rectangle; one cut by it is cut.
    m.SetFrame(120, 20);
    const TabRect last = m.item(m.count() - 1).text;
    ASSERT_GE(last.left, m.stripEnd());
    EXPECT_TRUE(m.ToolRect(m.count()).empty());
    for (int i = 0; i < m.count(); ++i) {
        const TabRect r = m.item(i).text;
        if (r.left < m.stripEnd() && r.right > m.stripEnd()) {
            EXPECT_EQ(m.ToolRect(i + 1).right, m.stripEnd());
        }
    }
    // Shown buttons' tools have their rectangles.
    EXPECT_EQ(m.ToolText(kHitNext), "后一个");
    EXPECT_EQ(m.ToolRect(kHitNext), m.ButtonRect(TabStripModel::kNext));
    const TabRect next = m.ButtonRect(TabStripModel::kNext);
    EXPECT_EQ(m.ToolAt(next.left + 1, 5), kHitNext);
    // Taking the style away destroys the window and its tools.
    m.ModifyStyle(kTabTooltips, 0);
    EXPECT_FALSE(m.toolTipWindow());
    EXPECT_EQ(m.ToolText(1), "");
    EXPECT_EQ(m.ToolAt(next.left + 1, 5), 0);
}

// Every present button's tool has the button's rectangle; an absent button's is empty.
TEST(TabStripModel, ButtonToolsHaveTheButtonsRectangles) {
    TabStripModel m = Model(kTabFourButtons | kTabCloseButton, 300);
    m.InsertItem(0, "a", 0);
    m.ModifyStyle(0, kTabTooltips);
    const std::pair<int, TabStripModel::Button> buttons[] = {
        {kHitFirst, TabStripModel::kFirst},
        {kHitPrevious, TabStripModel::kPrevious},
        {kHitNext, TabStripModel::kNext},
        {kHitLast, TabStripModel::kLast},
        {kHitClose, TabStripModel::kClose}};
    for (auto [hit, b] : buttons) {
        ASSERT_TRUE(m.SetToolText(hit, "tool " + std::to_string(hit)));
        EXPECT_FALSE(m.ToolRect(hit).empty()) << hit;
        EXPECT_EQ(m.ToolRect(hit), m.ButtonRect(b)) << hit;
        const TabRect r = m.ButtonRect(b);
        EXPECT_EQ(m.ToolAt((r.left + r.right) / 2, 10), hit);
    }
    m.ModifyStyle(kTabCloseButton, 0);
    EXPECT_TRUE(m.ToolRect(kHitClose).empty());
    EXPECT_EQ(m.ToolRect(kHitNothing), TabRect{});
}

// The tab cut to a sliver at the start is hit before the tab that begins over it, and a
// click on it scrolls it back into view.
TEST(TabStripModel, TheSliverOfTheCurrentTabIsHitAndShownAgain) {
    TabStripModel m = Model(0, 120);
    for (int i = 0; i < 5; ++i) m.InsertItem(i, "Tab" + std::to_string(i), 0);
    m.SetCurSel(0);
    m.RecalcLayout(1);
    ASSERT_EQ(m.firstShown(), 1);
    const TabItem& sliver = m.item(0);
    ASSERT_EQ(sliver.kind, 1);
    EXPECT_EQ(m.HitTest(sliver.shape.left + 1, sliver.shape.top + 2), 0);
    EXPECT_EQ(m.SelectItem(0, true, false), 0);
    EXPECT_EQ(m.firstShown(), 0);
    EXPECT_EQ(m.item(0).kind, 3);
}

// Strip rectangles in the window: as they are in a horizontal strip, turned in a vertical
// one (its start at the bottom, its top edge at the left).
TEST(TabStripWidget, StripRectanglesInTheWindow) {
    SharedQtApp();
    CCustomTabCtrl flat;
    flat.resize(300, 24);
    EXPECT_EQ(flat.ToWindow(TabRect{10, 2, 30, 20}), QRect(10, 2, 20, 18));
    EXPECT_EQ(flat.ToWindow(TabRect{10, 2, 10, 20}), QRect());
    CCustomTabCtrl standing;
    standing.ModifyStyle(0, kTabVertical);
    standing.resize(24, 300);
    const QRect r = standing.ToWindow(TabRect{10, 2, 30, 20});
    EXPECT_EQ(r, QRect(QPoint(2, 270), QPoint(19, 289)));
    for (QPoint corner : {r.topLeft(), r.bottomRight()}) {
        const TabPoint at = standing.ToStrip(corner);
        EXPECT_TRUE((TabRect{10, 2, 30, 20}).contains(at.x, at.y)) << at.x << "," << at.y;
    }
}

// The slant at the end of the last tab, when it is not the current one, stops at its
// corner: behind it the strip's own green.
TEST(TabStripWidget, TheLastTabsSlantEndsAtItsCorner) {
    SharedQtApp();
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabAutoHide);
    strip.resize(300, 20);
    strip.InsertItem(0, "Abc", 0);
    strip.InsertItem(1, "Def", 0);
    strip.SetCurSel(0);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const TabItem& last = strip.model().item(1);
    ASSERT_EQ(last.kind, 3);
    const QImage img = strip.RenderStrip();
    EXPECT_EQ(img.pixelColor(last.shape.right + 1, last.shape.top), QColor(38, 114, 80));
    EXPECT_EQ(img.pixelColor(last.shape.right, last.shape.top),
              strip.palette().color(QPalette::ButtonText));
}

QImage Picture(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// A strip with three tabs and the test's own drag cursors.
class TabDragging : public ::testing::Test {
protected:
    void SetUp() override {
        strip.ModifyStyle(0, kTabTop | kTabAutoHide | kTabDragMove | kTabDragCopy);
        strip.resize(400, 24);
        for (const char* l : {"Abc", "Def", "Ghi"}) strip.InsertItem(strip.model().count(), l, 0);
        strip.SetCurSel(0);
        strip.model().notify = [this](const TabNotify& n) {
            sent.push_back(n);
            return 0;
        };
        strip.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    }
    void GiveCursors() {
        strip.SetDragCursors(platform::ui::PictureCursor(move, QPoint(1, 1)),
                             platform::ui::PictureCursor(copy, QPoint(1, 1)));
    }
    QPoint TextCentre(int i) {
        const TabRect t = strip.model().item(i).text;
        return QPoint((t.left + t.right) / 2, (t.top + t.bottom) / 2);
    }
    QPoint PastTab(int i) {
        const TabRect t = strip.model().item(i).text;
        return QPoint(t.right + strip.model().height() / 4 + 2, (t.top + t.bottom) / 2);
    }
    std::vector<TabNotify> Sent(int code) {
        std::vector<TabNotify> out;
        for (const TabNotify& n : sent)
            if (n.code == code) out.push_back(n);
        return out;
    }
    std::vector<std::string> Labels() {
        std::vector<std::string> out;
        for (int i = 0; i < strip.model().count(); ++i) out.push_back(strip.model().item(i).label);
        return out;
    }
    struct AppFirst {
        AppFirst() { SharedQtApp(); }
    } appFirst;
    CCustomTabCtrl strip;
    std::vector<TabNotify> sent;
    QImage move = Picture(12, 12, QColor(0, 160, 0));
    QImage copy = Picture(12, 12, QColor(160, 0, 160));
};

TEST_F(TabDragging, PressTabOneDragPastTabTwoAndReleaseMovesIt) {
    GiveCursors();
    QTest::mousePress(&strip, Qt::LeftButton, {}, TextCentre(1));
    EXPECT_EQ(strip.model().pressed(), 1);
    EXPECT_EQ(strip.dragCursor(), 0);  // the drag shows itself after 300 ms
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.dragCursor() == 1; }, 2000));
    EXPECT_EQ(strip.model().dropTarget(), 1);
    EXPECT_EQ(strip.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(strip.cursor().pixmap().toImage().pixelColor(5, 5), QColor(0, 160, 0));
    QTest::mouseMove(&strip, TextCentre(2));
    EXPECT_EQ(strip.model().dropTarget(), 2);
    QTest::mouseMove(&strip, PastTab(2));
    EXPECT_EQ(strip.model().dropTarget(), 3);
    // The drop marker stands behind the last tab.
    const QImage shot = strip.RenderStrip();
    shot.scaled(shot.size() * 2).save(QString(HQLV_BUILD_DIR) + "/kit-tab-drag.png");
    const int x = strip.model().DropMarkerLeft();
    const QRgb ink = strip.palette().color(QPalette::ButtonText).rgb();
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(shot.pixel(x + row, 1 + row), ink) << row;
        EXPECT_EQ(shot.pixel(x + 6 - row, 1 + row), ink) << row;
        EXPECT_NE(shot.pixel(x + row - 1, 1 + row), ink) << row;
    }
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, PastTab(2));
    const auto moved = Sent(kTabMoved);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].item, 2);
    EXPECT_STREQ(moved[0].label, "Def");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Abc", "Ghi", "Def"}));
    EXPECT_EQ(strip.model().current(), 2);
    EXPECT_EQ(strip.dragCursor(), 0);
    EXPECT_EQ(strip.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(strip.model().pressed(), kHitNothing);
    EXPECT_EQ(strip.model().dropTarget(), kHitNothing);
    // No marker once the drag is over.
    EXPECT_NE(strip.RenderStrip().pixel(x + 3, 4), ink);
}

TEST_F(TabDragging, CtrlDragCopiesWithTheNumberedLabel) {
    GiveCursors();
    QTest::mousePress(&strip, Qt::LeftButton, Qt::ControlModifier, TextCentre(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.dragCursor() == 2; }, 2000));
    EXPECT_EQ(strip.cursor().pixmap().toImage().pixelColor(5, 5), QColor(160, 0, 160));
    for (int i : {1, 2}) QTest::mouseMove(&strip, TextCentre(i), -1);
    QTest::mouseMove(&strip, PastTab(2));
    EXPECT_EQ(strip.model().dropTarget(), 3);
    QTest::mouseRelease(&strip, Qt::LeftButton, Qt::ControlModifier, PastTab(2));
    const auto copied = Sent(kTabCopied);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].item, 3);
    EXPECT_STREQ(copied[0].label, "Abc (2)");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Abc", "Def", "Ghi", "Abc (2)"}));
    EXPECT_TRUE(Sent(kTabMoved).empty());
}

TEST_F(TabDragging, NoDragWithoutTheCursorsOrBeforeTheTimer) {
    // Without the owner's cursors a press only selects.
    QTest::mousePress(&strip, Qt::LeftButton, {}, TextCentre(1));
    EXPECT_EQ(strip.model().pressed(), kHitNothing);
    QTest::qWait(400);
    EXPECT_EQ(strip.dragCursor(), 0);
    QTest::mouseMove(&strip, PastTab(2));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, PastTab(2));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Abc", "Def", "Ghi"}));
    EXPECT_EQ(strip.model().current(), 1);
    // With them, a release before the drag showed moves nothing.
    GiveCursors();
    QTest::mousePress(&strip, Qt::LeftButton, {}, TextCentre(0));
    EXPECT_EQ(strip.model().pressed(), 0);
    QTest::mouseMove(&strip, PastTab(2));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, PastTab(2));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Abc", "Def", "Ghi"}));
    EXPECT_EQ(strip.model().pressed(), kHitNothing);
    QTest::qWait(400);
    EXPECT_EQ(strip.dragCursor(), 0);
    // A move drag released with Ctrl held (the copy cursor not showing) moves nothing.
    QTest::mousePress(&strip, Qt::LeftButton, {}, TextCentre(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.dragCursor() == 1; }, 2000));
    QTest::mouseMove(&strip, PastTab(2));
    QTest::mouseRelease(&strip, Qt::LeftButton, Qt::ControlModifier, PastTab(2));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Abc", "Def", "Ghi"}));
    EXPECT_EQ(strip.dragCursor(), 0);
    // Without the move style a plain press does not drag; without the copy style a Ctrl
    // press does not.
    strip.ModifyStyle(kTabDragMove, 0);
    QTest::mousePress(&strip, Qt::LeftButton, {}, TextCentre(1));
    EXPECT_EQ(strip.model().pressed(), kHitNothing);
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, TextCentre(1));
    strip.ModifyStyle(kTabDragCopy, kTabDragMove);
    QTest::mousePress(&strip, Qt::LeftButton, Qt::ControlModifier, TextCentre(1));
    EXPECT_EQ(strip.model().pressed(), kHitNothing);
    QTest::mouseRelease(&strip, Qt::LeftButton, Qt::ControlModifier, TextCentre(1));
    EXPECT_TRUE(Sent(kTabMoved).empty());
    EXPECT_TRUE(Sent(kTabCopied).empty());
}

TEST_F(TabDragging, TooltipOverATab) {
    strip.ModifyStyle(0, kTabTooltips);
    ASSERT_TRUE(strip.model().SetToolText(2, "第二个标签"));
    auto help = [&](QPoint at) {
        QHelpEvent e(QEvent::ToolTip, at, strip.mapToGlobal(at));
        QApplication::sendEvent(&strip, &e);
    };
    help(TextCentre(1));
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(QToolTip::text(), "第二个标签");
    // The strip with its tooltip, as the player sees them.
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
    ASSERT_NE(tip, nullptr);
    const QPoint offset = tip->pos() - strip.mapToGlobal(QPoint(0, 0));
    QImage both(std::max(400, offset.x() + tip->width()), offset.y() + tip->height(),
                QImage::Format_RGB32);
    both.fill(Qt::white);
    {
        QPainter p(&both);
        p.drawImage(0, 0, strip.grab().toImage());
        p.drawImage(offset, tip->grab().toImage());
    }
    both.save(QString(HQLV_BUILD_DIR) + "/kit-tab-tooltip.png");
    help(TextCentre(0));  // a tab without a text
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    strip.ModifyStyle(kTabTooltips, 0);
    help(TextCentre(1));
    QTest::qWait(50);
    EXPECT_FALSE(QToolTip::isVisible());
}

// Face pictures: four 12 x 12 state images, each a 3-pixel border of its own colour round
// a centre, with a yellow 3 x 3 top-left corner.
QImage FacePicture(bool sideBySide, const QColor (&borders)[4], QColor centre) {
    QImage img(sideBySide ? 48 : 12, sideBySide ? 12 : 48, QImage::Format_RGB32);
    QPainter p(&img);
    for (int i = 0; i < 4; ++i) {
        const QPoint at = sideBySide ? QPoint(12 * i, 0) : QPoint(0, 12 * i);
        p.fillRect(QRect(at, QSize(12, 12)), borders[i]);
        p.fillRect(QRect(at + QPoint(3, 3), QSize(6, 6)), centre);
        p.fillRect(QRect(at, QSize(3, 3)), Qt::yellow);
    }
    return img;
}

// The corners of a face picture are copied pixel for pixel: a mark in each of the state
// image's four corner pixels lands in the face's four corner pixels.
TEST(TabStripWidget, FaceCornersArePixelForPixel) {
    SharedQtApp();
    const QColor grey(90, 90, 90);
    QImage picture(48, 12, QImage::Format_RGB32);
    picture.fill(grey);
    const QColor marks[4] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
    picture.setPixelColor(0, 0, marks[0]);
    picture.setPixelColor(11, 0, marks[1]);
    picture.setPixelColor(0, 11, marks[2]);
    picture.setPixelColor(11, 11, marks[3]);
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop);
    strip.resize(300, 24);
    strip.InsertItem(0, "积分榜", 4);
    strip.InsertItem(1, "Vellor", 5);
    strip.SetButtonFace(picture, true, TabRect{3, 3, 3, 3});
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const TabRect r = strip.model().ButtonRect(TabStripModel::kNext);
    const QRect face(QPoint(r.left + 1, 1), QPoint(r.right - 2, 22));
    const QImage img = strip.RenderStrip();
    EXPECT_EQ(img.pixelColor(face.topLeft()), marks[0]);
    EXPECT_EQ(img.pixelColor(face.topRight()), marks[1]);
    EXPECT_EQ(img.pixelColor(face.bottomLeft()), marks[2]);
    EXPECT_EQ(img.pixelColor(face.bottomRight()), marks[3]);
    EXPECT_EQ(img.pixelColor(face.topLeft() + QPoint(3, 3)), grey);
}

TEST(TabStripWidget, FacePicturesDrawnNineSliceMirroredRightToLeft) {
    SharedQtApp();
    const QColor borders[4] = {QColor(0, 0, 160), QColor(0, 160, 0), QColor(160, 0, 0),
                               QColor(90, 90, 90)};
    const QColor mirroredBorders[4] = {QColor(0, 100, 100), QColor(0, 100, 100),
                                       QColor(0, 100, 100), QColor(0, 100, 100)};
    for (bool sideBySide : {true, false}) {
        CCustomTabCtrl strip;
        strip.ModifyStyle(0, kTabTop);
        strip.resize(300, 24);
        strip.InsertItem(0, "积分榜", 4);
        strip.InsertItem(1, "Vellor", 5);
        strip.SetButtonFace(FacePicture(sideBySide, borders, QColor(230, 230, 255)), sideBySide,
                            TabRect{3, 3, 3, 3});
        EXPECT_TRUE(strip.SetGlyphColor(1, Qt::white));
        EXPECT_TRUE(strip.SetGlyphColor(3, Qt::yellow));
        EXPECT_FALSE(strip.SetGlyphColor(4, Qt::red));
        EXPECT_FALSE(strip.SetGlyphColor(-1, Qt::red));
        strip.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
        // The next button's face: one pixel into its area, from y 1 to H - 2.
        const TabRect r = strip.model().ButtonRect(TabStripModel::kNext);
        const QRect face(QPoint(r.left + 1, 1), QPoint(r.right - 2, 22));
        const QImage img = strip.RenderStrip();
        if (sideBySide)
            img.scaled(img.size() * 2).save(QString(HQLV_BUILD_DIR) + "/kit-tab-faces.png");
        // Corners as they are, edges and the centre stretched.
        for (QPoint p : {face.topLeft(), face.topLeft() + QPoint(2, 2)})
            EXPECT_EQ(img.pixelColor(p), QColor(Qt::yellow)) << sideBySide;
        EXPECT_EQ(img.pixelColor(face.topLeft() + QPoint(3, 0)), borders[0]);
        EXPECT_EQ(img.pixelColor(face.topLeft() + QPoint(0, 3)), borders[0]);
        EXPECT_EQ(img.pixelColor(face.right(), face.center().y()), borders[0]);
        EXPECT_EQ(img.pixelColor(face.center().x(), face.bottom()), borders[0]);
        EXPECT_EQ(img.pixelColor(face.center().x(), face.top() + 2), borders[0]);
        EXPECT_EQ(img.pixelColor(face.center().x(), face.top() + 3), QColor(230, 230, 255));
        EXPECT_EQ(img.pixelColor(face.right() - 3, face.bottom() - 3), QColor(230, 230, 255));
        // The glyph in the state's colour, centred.
        const QPoint glyph(face.left() + (face.width() - 8) / 2,
                           face.top() + (face.height() - 7) / 2);
        EXPECT_EQ(img.pixelColor(glyph + QPoint(2, 0)), QColor(Qt::white));  // next, row 0
        // The pressed state's image and glyph colour.
        strip.model().PressButton(kHitNext, 0);
        const QImage pressed = strip.RenderStrip();
        EXPECT_EQ(pressed.pixelColor(face.topLeft() + QPoint(3, 0)), borders[2]);
        EXPECT_EQ(pressed.pixelColor(glyph + QPoint(2, 0)), QColor(Qt::yellow));
        strip.model().ReleaseButtons();
        // Right to left: the mirrored picture where there is one.
        strip.setLayoutDirection(Qt::RightToLeft);
        EXPECT_EQ(strip.RenderStrip().pixelColor(face.topLeft() + QPoint(3, 0)), borders[0]);
        strip.SetButtonFace(FacePicture(sideBySide, mirroredBorders, Qt::white), sideBySide,
                            TabRect{3, 3, 3, 3}, true);
        EXPECT_EQ(strip.RenderStrip().pixelColor(face.topLeft() + QPoint(3, 0)),
                  mirroredBorders[0]);
        strip.setLayoutDirection(Qt::LeftToRight);
        EXPECT_EQ(strip.RenderStrip().pixelColor(face.topLeft() + QPoint(3, 0)), borders[0]);
        // Margins wider than the picture: the top and left ones take what they ask, the
        // bottom and right ones what is left, and the middle (none in the picture) is not
        // painted from it.
        strip.SetButtonFace(FacePicture(sideBySide, borders, QColor(230, 230, 255)), sideBySide,
                            TabRect{8, 8, 8, 8});
        const QImage wide = strip.RenderStrip();
        EXPECT_EQ(wide.pixelColor(face.topLeft() + QPoint(2, 2)), QColor(Qt::yellow));
        EXPECT_EQ(wide.pixelColor(face.topLeft() + QPoint(4, 4)), QColor(230, 230, 255));
        EXPECT_EQ(wide.pixelColor(face.right() - 3, face.bottom() - 3), QColor(230, 230, 255));
        EXPECT_EQ(wide.pixelColor(face.right(), face.bottom()), borders[0]);
        EXPECT_EQ(wide.pixelColor(face.left() + 1, face.bottom() - 5), QColor(Qt::white));
        EXPECT_EQ(wide.pixelColor(face.right() - 5, face.top() + 1), QColor(Qt::white));
        EXPECT_EQ(wide.pixelColor(face.center()), QColor(Qt::white));
        // Without a picture the glyphs take the button-text colour again.
        strip.SetButtonFace(QImage(), true, {});
        const QImage plain = strip.RenderStrip();
        EXPECT_EQ(plain.pixelColor(glyph + QPoint(2, 0)),
                  strip.palette().color(QPalette::ButtonText));
    }
}

TEST(TabStripWidget, RightToLeftGlyphsComeFromTheMirroredSet) {
    SharedQtApp();
    EXPECT_EQ(CCustomTabCtrl::GlyphNumbers(false), (std::array<int, 5>{4, 0, 1, 2, 3}));
    EXPECT_EQ(CCustomTabCtrl::GlyphNumbers(true), (std::array<int, 5>{1, 2, 3, 4, 5}));
    // The mirrored row holds the glyphs in the other order, each turned round.
    for (int row = 0; row < 7; ++row) {
        const uint64_t plain = CCustomTabCtrl::GlyphRow(row, false);
        const uint64_t mirrored = CCustomTabCtrl::GlyphRow(row, true);
        for (int x = 0; x < 48; ++x)
            EXPECT_EQ((plain >> (47 - x)) & 1, (mirrored >> x) & 1) << row << " " << x;
    }
    EXPECT_EQ(CCustomTabCtrl::GlyphRow(0, false), 0xBDFBDFBD3C00ull);
    EXPECT_EQ(CCustomTabCtrl::GlyphRow(3, false), 0xA3C7E3C5E700ull);
    // So the buttons of a right-to-left strip show the same close cross and the same
    // arrows, and only its labels read the other way.
    CCustomTabCtrl strip;
    strip.ModifyStyle(0, kTabTop | kTabFourButtons | kTabCloseButton);
    strip.resize(300, 24);
    strip.InsertItem(0, "abc", 0);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    const QImage ltr = strip.RenderStrip();
    strip.setLayoutDirection(Qt::RightToLeft);
    const QImage rtl = strip.RenderStrip();
    const TabRect area = strip.model().ButtonArea();
    EXPECT_EQ(ltr.copy(0, 0, area.right, 24), rtl.copy(0, 0, area.right, 24));
    // The close glyph's first row in the close face: XX....XX.
    const TabRect close = strip.model().ButtonRect(TabStripModel::kClose);
    const QRect face(QPoint(close.left + 1, 1), QPoint(close.right - 2, 22));
    const QPoint g(face.left() + (face.width() - 8) / 2, face.top() + (face.height() - 7) / 2);
    const QRgb ink = strip.palette().color(QPalette::ButtonText).rgb();
    for (int x = 0; x < 8; ++x) EXPECT_EQ(rtl.pixel(g.x() + x, g.y()) == ink, x < 2 || x > 5) << x;
}

TEST(TabStripWidget, OnSizeParentTakesItsBandOffTheLayout) {
    SharedQtApp();
    const struct {
        uint32_t style;
        QRect band, rest;
    } cases[] = {
        {0, QRect(10, 166, 280, 24), QRect(10, 10, 280, 156)},
        {kTabTop, QRect(10, 10, 280, 24), QRect(10, 34, 280, 156)},
        {kTabVertical, QRect(266, 10, 24, 180), QRect(10, 10, 256, 180)},
        {kTabVertical | kTabTop, QRect(10, 10, 24, 180), QRect(34, 10, 256, 180)},
    };
    for (const auto& c : cases) {
        QWidget frame;
        frame.resize(300, 200);
        auto* strip = new CCustomTabCtrl(&frame);
        strip->ModifyStyle(0, c.style);
        strip->resize(24, 24);
        EXPECT_EQ(strip->OnSizeParent(QRect(10, 10, 280, 180)), c.rest) << c.style;
        EXPECT_EQ(strip->geometry(), c.band) << c.style;
    }
    // A band taller than what remains takes all of it.
    QWidget frame;
    auto* strip = new CCustomTabCtrl(&frame);
    strip->resize(100, 30);
    EXPECT_TRUE(strip->OnSizeParent(QRect(0, 0, 100, 20)).isEmpty());
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 100, 20));
}
}  // namespace
}  // namespace hqlv::framework
