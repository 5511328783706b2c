// The mahjong chat lines: the exact texts and colours of 201160 and 221160, names by user
// id, bodies too short for their words, and the plain pane that stands in for the chat.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "framework/app/program_bitmaps.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/panes/mj_panes.h"
#include "tests/framework/qt_test_app.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

std::string Named(int id) {
    return id == 7 ? "东家" : id == 9 ? "西家[阿西]" : "";
}

struct LineCase {
    const char* what;
    std::vector<uint8_t> body;
    std::optional<std::string> want;
};

TEST(MJChatLines, GameStarted) {
    const LineCase cases[] = {
        {"known user", test::Words(1, {{0, 9}}), "<c=8421504> 西家[阿西] 已经开始\r\n"},
        {"unknown user", test::Words(1, {{0, 5}}), "<c=8421504>  已经开始\r\n"},
        {"longer body", test::Words(6, {{0, 7}, {3, 2}}), "<c=8421504> 东家 已经开始\r\n"},
        {"three bytes", std::vector<uint8_t>{7, 0, 0}, std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(GameStartedLine(c.body, Named), c.want) << c.what;
}

TEST(MJChatLines, KanPaiAnswer) {
    const LineCase cases[] = {
        {"allowed", test::Words(6, {{0, 7}, {4, 9}, {5, 1}}),
         " <c=2906200>东家允许西家[阿西]看牌 \r\n"},
        {"any non-zero allows", test::Words(6, {{0, 7}, {4, 9}, {5, -3}}),
         " <c=2906200>东家允许西家[阿西]看牌 \r\n"},
        {"denied", test::Words(6, {{0, 9}, {4, 7}, {5, 0}}),
         " <c=2906200>西家[阿西]禁止东家看牌 \r\n"},
        {"unknown asker", test::Words(6, {{0, 7}, {4, 3}, {5, 1}}),
         " <c=2906200>东家允许看牌 \r\n"},
        {"23 bytes", std::vector<uint8_t>(23, 1), std::nullopt},
        {"exactly 24 bytes", std::vector<uint8_t>(24, 0), " <c=2906200>禁止看牌 \r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(KanPaiAnswerLine(c.body, Named), c.want) << c.what;
}

class MJChatPane : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        pane_ = std::make_unique<CMJGameChatView>();
    }
    std::string Shown() const { return pane_->display()->toPlainText().toStdString(); }
    CGameAppEx app;
    std::unique_ptr<CMJGameChatView> pane_;
};

TEST_F(MJChatPane, ShortBodiesAddNoLineAndUnknownIdsGiveEmptyNames) {
    pane_->OnGameStarted(test::Words(1, {{0, 4242}}));
    pane_->OnKanPaiAnswer(std::vector<uint8_t>(20, 0));
    pane_->OnGameStarted({});
    EXPECT_EQ(Shown(), "  已经开始\n");
    pane_->OnKanPaiAnswer(test::Words(6, {{0, 1}, {4, 2}, {5, 1}}));
    EXPECT_NE(Shown().find("允许看牌"), std::string::npos);
}

TEST_F(MJChatPane, ListBackgroundAndRoundLines) {
    EXPECT_EQ(pane_->display()->palette().color(QPalette::Base), QColor(0xF0, 0xFF, 0xFF));
    pane_->ShowRoundHistory("【第3局】庄：x\r\n");
    ASSERT_TRUE(app.gameInfo().SetGameResult(test::Words(413, {{0, 2}})));
    pane_->OnScoresLine({});
    EXPECT_NE(Shown().find("【第3局】庄：x"), std::string::npos);
    EXPECT_NE(Shown().find("流局"), std::string::npos);
}

TEST(MJChatPaneAlone, WithoutAnApplicationNamesAreEmpty) {
    framework::testing::SharedQtApp();
    ASSERT_EQ(framework::CGameApp::Current(), nullptr);
    CMJGameChatView pane;
    pane.OnGameStarted(test::Words(1, {{0, 7}}));
    pane.OnKanPaiAnswer(test::Words(6, {{0, 7}, {4, 9}, {5, 0}}));
    pane.OnScoresLine({});
    EXPECT_EQ(pane.display()->toPlainText().toStdString(), "  已经开始\n 禁止看牌 \n");
}

// Two pictures with the same pixels, whatever their formats.
bool SamePicture(const QImage& a, const QImage& b) {
    return !a.isNull() &&
           a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

// The face button shows the program's picture 152, the one the build writes.
TEST(MJChatPaneFace, TheFaceButtonShowsTheProgramsPicture152) {
    framework::testing::SharedQtApp();
    const std::optional<QImage> icon = framework::LoadProgramBitmap(kFaceButtonIcon);
    ASSERT_TRUE(icon.has_value());
    CMJGameChatView pane;
    EXPECT_TRUE(SamePicture(pane.faceButton()->iconIn(), *icon));
}

// Without picture 152 the button keeps the framework's drawn face rather than an empty
// square, so the player still sees where the faces are.
TEST(MJChatPaneFace, WithoutPicture152TheFaceButtonKeepsTheDrawnFace) {
    framework::testing::SharedQtApp();
    const std::optional<QImage> icon = framework::LoadProgramBitmap(kFaceButtonIcon);
    ASSERT_TRUE(icon.has_value());
    QTemporaryDir empty;
    framework::SetResourceBitmapFolder(empty.path().toStdString());
    CMJGameChatView pane;
    framework::testing::SharedQtApp();  // the program's pictures again
    const QImage& shown = pane.faceButton()->iconIn();
    EXPECT_FALSE(shown.isNull());
    EXPECT_FALSE(SamePicture(shown, *icon));
    EXPECT_EQ(shown.size(), QSize(16, 16));
    EXPECT_FALSE(pane.SetFaceButtonIcon(999999));  // a missing one changes nothing
    EXPECT_EQ(pane.faceButton()->iconIn(), shown);
    EXPECT_TRUE(pane.SetFaceButtonIcon(kFaceButtonIcon));
    EXPECT_TRUE(SamePicture(pane.faceButton()->iconIn(), *icon));
}

TEST(MJChatView2, PaintsWhiteOnly) {
    framework::testing::SharedQtApp();
    CMJChatView2 pane;
    pane.resize(40, 30);
    QImage shot = pane.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(39, 29), QColor(Qt::white));
}

}  // namespace
}  // namespace hqlv::mahjong
