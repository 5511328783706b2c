#include "framework/web/safebox_dialogs.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fake_safebox_ops.h"
#include "framework/widgets/hyperlink_static.h"
#include "framework/web/web_view.h"
#include "app_fixture.h"

namespace hqlv::framework::web {
namespace {

using testing::FakeSafeBoxOps;
using testing::SharedWebApp;
using V = std::vector<std::string>;

TEST(SafeBoxDialogs, KeypadButtonsDigitsAndResponse) {
    SharedWebApp();
    CSoftKeypadDlg dlg(nullptr, 7);
    EXPECT_EQ(dlg.size(), QSize(200, 220));
    dlg.SetChallenge(-12345678);
    // Press the button that shows 1, then the one that shows 2, by their labels.
    auto press = [&](int digit) {
        for (int id = 230; id < 240; ++id)
            if (dlg.button(id)->text() == QString::number(digit)) {
                QTest::mouseClick(dlg.button(id), Qt::LeftButton);
                return;
            }
    };
    for (int i = 0; i < 17; ++i) press(i % 10);
    EXPECT_EQ(dlg.model().digits(), "0123456789012345");
    EXPECT_EQ(dlg.echoText(), QString(16, '*'));
    QTest::mouseClick(dlg.button(240), Qt::LeftButton);
    EXPECT_EQ(dlg.model().digits(), "012345678901234");
    QTest::mouseClick(dlg.button(241), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetResponse(), 123 + 4567 + 8901 + 234 - 1234 - 5678);
    EXPECT_EQ(dlg.button(241)->geometry(),
              QRect(3 * (36 / 3 + 34) + 14, 2 * (50 / 2 + 34) + 56, 34, 34));
}

TEST(SafeBoxDialogs, VerifyCodeHidesItsTextAndDrawsEightDigits) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CVerifyCodeDlg dlg(ops);
    dlg.show();
    dlg.edit()->setText("12345");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dlg.edit());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Value), QString());
    EXPECT_EQ(a->textInterface(), nullptr);
    dlg.edit()->setText("99999999999");  // beyond 32 bits: no answer, still open
    dlg.OnOK();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(a->text(QAccessible::Value), QString("99999999999"));  // read now
    ASSERT_EQ(FindItem(&dlg, 205), dlg.link());
    dlg.link()->onClick();
    EXPECT_EQ(ops.log, V{"security page"});
    dlg.edit()->setText("0042x");
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetResponse(), 42);

    // Each glyph has ink, and no two digits look alike.
    const auto& g = CodeGlyphs();
    for (size_t i = 0; i < g.size(); ++i) {
        EXPECT_NE(g[i], Glyph{}) << i;
        for (size_t j = i + 1; j < g.size(); ++j) EXPECT_NE(g[i], g[j]) << i << " " << j;
    }
    dlg.SetChallenge(12345678);
    QImage plain = dlg.RenderCode();
    dlg.SetChallenge(-12345678);
    EXPECT_EQ(dlg.RenderCode(), plain);  // the sign has no glyph
    dlg.SetChallenge(INT32_MIN);
    QImage wide = dlg.RenderCode();  // nothing drawn past the eighth place
    for (int y = 0; y < wide.height(); ++y)
        for (int x = CodeGlyphX(0, 8); x < wide.width(); ++x)
            ASSERT_EQ(qAlpha(wide.pixel(x, y)), 0);
}

TEST(SafeBoxDialogs, ProtectedEditGivesNoCopyOrCut) {
    SharedWebApp();
    CProtectedEdit edit;
    edit.setText("4711");
    QClipboard* clip = QGuiApplication::clipboard();
    clip->setText("before");
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    } keys[] = {{Qt::Key_C, Qt::ControlModifier},
                {Qt::Key_Insert, Qt::ControlModifier},
                {Qt::Key_X, Qt::ControlModifier},
                {Qt::Key_Delete, Qt::ShiftModifier}};
    for (const auto& k : keys) {
        edit.selectAll();  // a selection is a copy on X (the primary selection): none stays
        EXPECT_FALSE(edit.hasSelectedText());
        QTest::keyClick(&edit, Qt::Key_Home, Qt::ShiftModifier);
        EXPECT_FALSE(edit.hasSelectedText());
        QTest::keyClick(&edit, k.key, k.mods);
        EXPECT_EQ(clip->text(), QString("before")) << k.key;
        EXPECT_EQ(edit.text(), QString("4711")) << k.key;
    }
    EXPECT_FALSE(edit.dragEnabled());
}

TEST(SafeBoxDialogs, SaveDialog) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CDepositSaveDlg dlg(ops);
    dlg.SetCaption("Acct");
    for (const char* bad : {"abc", "0", "4294967396", "-5"}) {
        dlg.combo()->setEditText(bad);
        dlg.OnOK();
    }
    EXPECT_TRUE(ops.log.empty());
    EXPECT_EQ(ops.boxes, V(4, "请输入银子数额。"));
    ops.boxes.clear();
    ops.confirm = false;
    dlg.combo()->setEditText("100");
    dlg.OnOK();
    EXPECT_TRUE(ops.log.empty());
    EXPECT_EQ(ops.boxes, V{"确定要从【Acct】划出【100两】银子到保险箱?"});
    ops.confirm = true;
    for (const char* a : {"100", "200", "100"}) {
        dlg.combo()->setEditText(a);
        dlg.OnOK();
    }
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ops.settings["DEPOSIT/Save"], "100|200|");
    EXPECT_EQ(dlg.combo()->count(), 2);
    CDepositSaveDlg again(ops);  // the next one starts from the stored history
    EXPECT_EQ(again.combo()->count(), 2);
    EXPECT_EQ(again.combo()->itemText(1), "200");
}

TEST(SafeBoxDialogs, TakeDialogStaysOpenOnAFailedQueryAndEndsOnAFailedTake) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    ops.queryOk = 0;
    ops.queryCode = 60001;
    CDepositTakeDlg dlg(ops);
    dlg.combo()->setEditText("700");
    dlg.OnOK();
    EXPECT_EQ(ops.boxes, V{"query failed"});
    EXPECT_EQ(dlg.result(), 0);
    ops.answerChallenge = false;  // cancelled: no box, still open
    ops.queryOk = 1;
    dlg.OnOK();
    EXPECT_EQ(ops.boxes.size(), 1u);
    EXPECT_EQ(dlg.result(), 0);
    ops.answerChallenge = true;
    ops.takeOk = 0;
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(ops.boxes.back(), "take failed");
    EXPECT_EQ(ops.settings.count("DEPOSIT/Take"), 0u);
}

TEST(SafeBoxDialogs, FixDepositWritesWhatWasTyped) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CFixDepositDlg dlg(ops);
    dlg.SetAmounts(kFixDefaults);
    EXPECT_EQ(dlg.box(5)->text(), "30000");
    dlg.box(0)->setText("12abc");
    dlg.box(1)->setText("4294967396");
    dlg.box(3)->setText(QString::fromUtf8("一").repeated(30));  // cut at 29 characters
    dlg.OnOK();
    EXPECT_EQ(ops.settings["FIXDEPOSIT/Fix3"], QString::fromUtf8("一").repeated(29).toStdString());
    EXPECT_EQ(dlg.amounts(), (std::array<int32_t, 6>{12, 0, 500, 0, 10000, 30000}));
    EXPECT_EQ(ops.settings["FIXDEPOSIT/Fix0"], "12abc");
    EXPECT_EQ(LoadFixAmounts(ops, ""), dlg.amounts());
}

TEST(SafeBoxDialogs, EveryButtonLiesInsideItsDialog) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CSafeBoxDlg box(ops);
    CDepositSaveDlg save(ops);
    CDepositTakeDlg take(ops);
    CFixDepositDlg fix(ops);
    CVerifyCodeDlg code(ops);
    CSoftKeypadDlg keypad;
    for (QDialog* d : std::initializer_list<QDialog*>{&box, &save, &take, &fix, &code, &keypad})
        for (QPushButton* b : d->findChildren<QPushButton*>())
            EXPECT_TRUE(d->rect().contains(b->geometry())) << b->text().toStdString();
}

}  // namespace
}  // namespace hqlv::framework::web
