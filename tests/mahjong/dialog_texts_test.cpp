// Every text of the game's dialogs is drawn whole: for each label, check box, radio button,
// push button, link and group box, the width its text takes in the control's font (with a
// box's indicator and a button's margins) fits the control, every line of a label fits its
// height, and every control lies inside its dialog. The dialogs are drawn for review as
// dialog-*.png in the build folder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstring>
#include <string>
#include <vector>

#include "framework/panes/player_records.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/game/exit_answer_dlg.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/result_dlg.h"
#include "mahjong/game/small_dialogs.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

struct Fit {
    std::string text;
    int need = 0, have = 0;  // pixels across
    int needHigh = 0, haveHigh = 0;
    bool inside = true;
};

// The room the text of one control needs, and what the control has.
Fit Measure(QWidget* w, const QWidget* dialog) {
    Fit f;
    const QFontMetrics fm = w->fontMetrics();
    QString text;
    int extra = 0;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        text = b->text();
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            const bool check = qobject_cast<QCheckBox*>(w) != nullptr;
            extra = w->style()->pixelMetric(check ? QStyle::PM_IndicatorWidth
                                                  : QStyle::PM_ExclusiveIndicatorWidth) +
                    w->style()->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing
                                                  : QStyle::PM_RadioButtonLabelSpacing);
        } else {
            // A push button keeps its frame and margins beside the text.
            extra = 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin) +
                    2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        }
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        text = l->text();
        extra = 2 * l->margin() + (l->frameWidth() * 2);
        if (l->wordWrap() && !text.isEmpty()) {
            // Its lines break where the label ends: the widest character must fit, and the
            // lines the label's height.
            f.text = text.toStdString();
            for (const QChar ch : text) f.need = std::max(f.need, fm.horizontalAdvance(ch));
            f.needHigh = l->heightForWidth(l->width());
            f.have = w->width();
            f.haveHigh = w->height();
            f.inside = dialog->rect().contains(QRect(w->mapTo(dialog, QPoint(0, 0)), w->size()));
            return f;
        }
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        text = e->text();
        // The edit's frame and its text margins.
        extra = 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        text = g->title();
        extra = 16;  // the frame's corner before the title and after it
    }
    text.replace("\r\n", "\n");
    const QStringList lines = text.split('\n');
    for (const QString& line : lines) f.need = std::max(f.need, fm.horizontalAdvance(line) + extra);
    f.needHigh = int(lines.size()) * fm.height();
    f.have = w->width();
    f.haveHigh = qobject_cast<QGroupBox*>(w) ? w->height() : w->height();
    f.text = text.toStdString();
    const QRect r(w->mapTo(dialog, QPoint(0, 0)), w->size());
    f.inside = dialog->rect().contains(r);
    return f;
}

// Every text control of a dialog that shows a text (hidden ones too: they show later).
std::vector<Fit> Texts(QWidget* dialog) {
    std::vector<Fit> out;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        const bool textual = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                             qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w);
        if (!textual || w->isHidden()) continue;
        const Fit f = Measure(w, dialog);
        if (f.text.empty()) continue;
        out.push_back(f);
    }
    return out;
}

void ExpectAllFit(QWidget* dialog, const char* name) {
    const std::vector<Fit> texts = Texts(dialog);
    EXPECT_FALSE(texts.empty()) << name;
    for (const Fit& f : texts) {
        EXPECT_LE(f.need, f.have) << name << ": \"" << f.text << "\" is cut across";
        EXPECT_LE(f.needHigh, f.haveHigh) << name << ": \"" << f.text << "\" is cut below";
        EXPECT_TRUE(f.inside) << name << ": \"" << f.text << "\" lies outside the dialog";
    }
    dialog->grab().save(QString(HQLV_BUILD_DIR) + "/dialog-" + name + ".png");
}

class DialogTexts : public ::testing::Test {
protected:
    void SetUp() override { framework::testing::SharedQtApp(); }
};

TEST_F(DialogTexts, Settings) {
    CGameSetDlg dlg(GameSetValues{});
    ExpectAllFit(&dlg, "settings");
}

TEST_F(DialogTexts, ExitRequestWithAndWithoutTheForcedExit) {
    for (bool forbidden : {false, true}) {
        int count = 1;
        CExitRequestDlg dlg(&count, forbidden, {}, {});
        ExpectAllFit(&dlg, forbidden ? "exit-request-forbidden" : "exit-request");
    }
}

TEST_F(DialogTexts, PlayerInformation) {
    CPlayerInfoDlg dlg;
    framework::PlayerRecord r;
    r.setWord(0, 1001);
    r.setText(20, 32, framework::Utf8ToGbk("游戏玩家【甲】"));
    r.setWord(20, 123456789);
    r.setWord(30, 1234), r.setWord(31, 2345), r.setWord(32, 345);
    dlg.SetPlayer({r.raw.data(), r.raw.size()});
    ExpectAllFit(&dlg, "player-info");
}

// The deal's result with the winner's items and a long name, and a drawn deal's note.
TEST_F(DialogTexts, DealResult) {
    CGameAppEx app;
    for (int c = 0; c < 4; ++c)
        app.SeatMutable(c)->setText(framework::PlayerRecord::kNameOff,
                                    framework::PlayerRecord::kNameLen,
                                    framework::Utf8ToGbk(c == 1 ? "游戏玩家【乙】大赢家"
                                                                : "玩家" + std::to_string(c)));
    std::vector<uint8_t> result(1652, 0), fans(688, 0);
    auto put = [](std::vector<uint8_t>& b, size_t w, int32_t v) {
        std::memcpy(b.data() + w * 4, &v, 4);
    };
    put(result, 169, -1);
    put(result, 170, 1);
    put(result, 166, 1);
    const std::string names = framework::Utf8ToGbk("屁胡|自摸|杠上开花");
    std::memcpy(result.data() + 1360, names.data(), names.size());
    for (int k = 0; k < 4; ++k) put(fans, size_t(k) * 43, k);
    put(fans, 43 + 3, 2), put(fans, 43 + 5, 4), put(fans, 43 + 35, 6), put(fans, 43 + 36, 1);
    CGameResultDlg dlg(result, fans);
    ASSERT_EQ(dlg.shownName()->text().toStdString(), "游戏玩家【乙】大赢家");
    ExpectAllFit(&dlg, "result");
    put(result, 0, 2), put(result, 170, -1), put(result, 166, 0);
    CGameResultDlg drawn(result, fans);
    ASSERT_EQ(drawn.note()->text().toStdString(), "流局");
    ExpectAllFit(&drawn, "result-drawn");
}

// The slide-up answer to another player's exit request, at the size its creator gives it.
struct OpenAnswer : CExitAnswerDlg {
    OpenAnswer() : CExitAnswerDlg(0, 1002, "我有急事要先走") {}
    void Init() {
        SetSize(200, 105);
        resize(200, 105);
        OnInitDialog();
    }
};

TEST_F(DialogTexts, ExitAnswer) {
    OpenAnswer popup;
    popup.Init();
    ExpectAllFit(&popup, "exit-answer");
}

}  // namespace
}  // namespace hqlv::mahjong
