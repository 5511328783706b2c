// The exit-answer popup: the reason shown disabled, the requester's name, the answer
// posted to the owner with 1 or 0, and the default face for a missing portrait.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "framework/app/program_bitmaps.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/game/exit_answer_dlg.h"
#include "mahjong/game/game_app_ex.h"
#include "platform/ui/ui_loop.h"
#include "platform/ui/window.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

class Owner : public platform::ui::Window {
public:
    std::vector<std::pair<uintptr_t, intptr_t>> answers;

protected:
    intptr_t handleMessage(const platform::Message& m) override {
        if (m.id == kMsgExitAnswer) answers.push_back({m.w, m.l});
        return 0;
    }
};

framework::PlayerRecord Requester() {
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, 42);
    r.setWord(framework::PlayerRecord::kChair, 1);
    r.setWord(framework::PlayerRecord::kPortrait, 987654);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, "leaver");
    return r;
}

// An answered popup slides away and deletes itself once gone, which a slow machine reaches
// while the test still waits for the answer: it is deleted here only if it is still there.
void DeleteIfThere(const QPointer<CExitAnswerDlg>& popup) {
    delete popup.data();
}

class ExitAnswer : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        *app.SeatMutable(1) = Requester();
        owner = std::make_unique<Owner>();
    }
    CGameAppEx app;
    std::unique_ptr<Owner> owner;
};

TEST_F(ExitAnswer, AgreeAndRefusePostTheRequesterWithOneAndZero) {
    for (int agree : {1, 0}) {
        QPointer<CExitAnswerDlg> popup = new CExitAnswerDlg(owner->hwnd(), 42, "家里有事");
        popup->SetStayTime(30);
        ASSERT_TRUE(popup->ShowPopup(267, nullptr));
        EXPECT_EQ(popup->reasonEdit()->text().toStdString(), "家里有事");
        EXPECT_FALSE(popup->reasonEdit()->isEnabled());
        EXPECT_EQ(popup->nameLink()->text().toStdString(), "leaver");
        if (agree)
            popup->OnAgree();
        else
            popup->OnRefuse();
        platform::ui::processUiEvents(30);
        ASSERT_FALSE(owner->answers.empty());
        EXPECT_EQ(owner->answers.back(), (std::pair<uintptr_t, intptr_t>{42, agree}));
        DeleteIfThere(popup);
    }
    EXPECT_EQ(owner->answers.size(), 2u);
}

// A double click on 同意 or 拒绝 is one click: the requester gets one answer.
TEST_F(ExitAnswer, ADoubleClickAnswersOnce) {
    for (int agree : {1, 0}) {
        owner->answers.clear();
        QPointer<CExitAnswerDlg> popup = new CExitAnswerDlg(owner->hwnd(), 42, "家里有事");
        popup->SetStayTime(30);
        ASSERT_TRUE(popup->ShowPopup(267, nullptr));
        while (popup->timerPeriod(framework::CPopupNotifyDlg::kTimerStay) == 0)
            popup->OnSlideTick();  // risen whole
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
        QWidget* link = nullptr;
        for (QLabel* l : popup->findChildren<QLabel*>())
            if (l->text() == (agree ? "同意" : "拒绝")) link = l;
        ASSERT_NE(link, nullptr);
        framework::testing::DoubleClick(link);
        platform::ui::processUiEvents(30);
        EXPECT_EQ(owner->answers, (std::vector<std::pair<uintptr_t, intptr_t>>{{42, agree}}));
        DeleteIfThere(popup);
    }
}

TEST_F(ExitAnswer, MissingPortraitGivesTheDefaultFaceOrNothing) {
    // No portrait file 987654: the program's default face when it is there, else none;
    // never a crash.
    const QImage face = CExitAnswerDlg::LoadFace(987654);
    EXPECT_TRUE(face.isNull() || face.size() == QSize(32, 32));
}

// The default face is the program's picture 162 as the build writes it.
TEST_F(ExitAnswer, MissingPortraitShowsTheProgramsPicture162) {
    const std::optional<QImage> face = framework::LoadProgramBitmap(kDefaultFaceBitmap);
    ASSERT_TRUE(face.has_value());
    EXPECT_EQ(face->size(), QSize(32, 32));
    EXPECT_EQ(CExitAnswerDlg::LoadFace(987654).convertToFormat(QImage::Format_ARGB32),
              face->convertToFormat(QImage::Format_ARGB32));
}

}  // namespace
}  // namespace hqlv::mahjong
