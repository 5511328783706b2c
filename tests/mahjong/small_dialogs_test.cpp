// The small dialogs: the settings round trip, the exit request's caption, buttons and
// reason bytes, and the player information texts read inside their record.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "tests/framework/platform_install.h"
#include "tests/framework/qt_test_app.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

class SmallDialogs : public testing::Test {
protected:
    void SetUp() override { framework::testing::SharedQtApp(); }
};

TEST_F(SmallDialogs, SettingsRoundTripStoresAnUnknownVoiceAsRandom) {
    const struct {
        GameSetValues in;
        int radio;
    } cases[] = {{{1, 0, 1, 0}, 0},
                 {{0, 1, 0, 1}, 1},
                 {{0, 0, 0, 2}, 2},
                 {{1, 1, 1, 5}, 2},
                 {{0, 0, 0, -1}, 2}};
    for (const auto& c : cases) {
        CGameSetDlg dlg(c.in);
        EXPECT_TRUE(dlg.voiceButton(c.radio)->isChecked()) << c.in.voice;
        EXPECT_EQ(dlg.silence()->isChecked(), c.in.silence != 0);
        EXPECT_EQ(dlg.rejectAsk()->isChecked(), c.in.rejectKanPaiAsk != 0);
        EXPECT_EQ(dlg.quickCatch()->isChecked(), c.in.quickCatch != 0);
        dlg.OnOK();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        const GameSetValues out = dlg.values();
        EXPECT_EQ(out.voice, c.radio);
        EXPECT_EQ(out.silence, c.in.silence);
        EXPECT_EQ(out.rejectKanPaiAsk, c.in.rejectKanPaiAsk);
        EXPECT_EQ(out.quickCatch, c.in.quickCatch);
    }
}

TEST_F(SmallDialogs, SettingsOkReadsTheBoxes) {
    CGameSetDlg dlg({0, 0, 0, 0});
    dlg.silence()->setChecked(true);
    dlg.voiceButton(1)->setChecked(true);
    dlg.OnOK();
    EXPECT_EQ(dlg.values().silence, 1);
    EXPECT_EQ(dlg.values().voice, 1);
    EXPECT_EQ(dlg.values().quickCatch, 0);
}

TEST(ExitRequestText, CaptionAndReasonBytes) {
    for (auto [made, shown] : {std::pair{0, 2}, {1, 1}, {2, 0}, {3, 0}})
        EXPECT_EQ(ExitRequestCaption(made), framework::Format("请求退出(%d)", shown));
    std::string thirty, thirtyOne;
    for (int i = 0; i < 30; ++i) thirty += "走";
    thirtyOne = "a" + thirty;
    EXPECT_EQ(ExitReasonBytes(thirty), framework::Utf8ToGbk(thirty));
    EXPECT_EQ(ExitReasonBytes(thirty).size(), 60u);
    // 61 bytes would not fit: the last character goes whole.
    EXPECT_EQ(ExitReasonBytes(thirtyOne).size(), 59u);
    EXPECT_EQ(ExitReasonBytes(std::string(70, 'x')).size(), 60u);
}

TEST_F(SmallDialogs, ExitRequestSendsRaisesAndCloses) {
    int count = 1;
    std::string sent;
    int chats = 0;
    CExitRequestDlg dlg(
        &count, false, [&](const std::string& r) { sent = r; }, [&] { ++chats; });
    EXPECT_EQ(dlg.requestButton()->text().toStdString(), "请求退出(1)");
    EXPECT_TRUE(dlg.requestButton()->isEnabled());
    EXPECT_EQ(dlg.requestButton()->geometry(), QRect(22, 115, 82, 25));
    EXPECT_EQ(dlg.forceButton()->geometry(), QRect(127, 115, 80, 25));
    EXPECT_EQ(dlg.continueButton()->geometry(), QRect(227, 115, 80, 25));
    dlg.reason()->setText("家里有事");
    dlg.OnSendRequest();
    EXPECT_EQ(sent, framework::Utf8ToGbk("家里有事"));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(chats, 1);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(SmallDialogs, ExitRequestAtTwoIsDisabledAndForbiddenForceNeverEnds) {
    int count = 2;
    CExitRequestDlg dlg(&count, true, {}, {});
    EXPECT_EQ(dlg.requestButton()->text().toStdString(), "请求退出(0)");
    EXPECT_FALSE(dlg.requestButton()->isEnabled());
    EXPECT_TRUE(dlg.forceButton()->isHidden());
    EXPECT_EQ(dlg.requestButton()->geometry(), QRect(62, 115, 82, 25));
    EXPECT_EQ(dlg.continueButton()->geometry(), QRect(187, 115, 80, 25));
    dlg.setResult(-1);
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), -1);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    EXPECT_EQ(dlg.result(), -1);
}

TEST_F(SmallDialogs, ExitRequestWithoutACountShowsTwoAndRaisesNothing) {
    CExitRequestDlg dlg(nullptr, false, {}, {});
    EXPECT_EQ(dlg.requestButton()->text().toStdString(), "请求退出(2)");
    dlg.OnSendRequest();
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(SmallDialogs, ReasonEditKeepsSixtyGbkBytes) {
    CExitRequestDlg dlg(nullptr, false, {}, {});
    std::string typed;
    for (int i = 0; i < 31; ++i) typed += "走";
    dlg.reason()->setText(QString::fromStdString(typed));
    Q_EMIT dlg.reason()->textEdited(dlg.reason()->text());
    EXPECT_EQ(dlg.reason()->text().size(), 30);
}

framework::PlayerRecord InfoRecord() {
    framework::PlayerRecord r;
    r.setText(20, 32, framework::Utf8ToGbk("张三"));
    r.setText(52, 16, "zs");
    r.setText(88, 16, framework::Utf8ToGbk("九段"));
    r.setText(192, 128, "watch");
    const std::pair<size_t, int32_t> words[] = {{0, 31}, {18, 999}, {20, -50}, {26, 7},
                                                {27, 8}, {28, 1},   {29, 3},   {30, 3},
                                                {31, 1}, {32, 0},   {40, 1}};
    for (auto [i, v] : words) r.setWord(i, v);
    return r;
}

TEST(PlayerInfoTexts, FieldsFromTheRecord) {
    const auto t = PlayerInfoTexts(InfoRecord().raw);
    const std::array<std::string, 16> want = {"张三",   "zs",     "负债", "-50两", "九段", "7",
                                              "8",      "25.00%", "3",    "3",     "1",    "0",
                                              "75.00%", "是",     "",     "watch"};
    EXPECT_EQ(t, want);
}

TEST(PlayerInfoTexts, RatesOverGamesSummedIn64Bits) {
    const struct {
        int32_t wins, losses, draws, cuts;
        const char *cutRate, *winRate;
    } cases[] = {
        {0, 0, 0, 0, "0.00%", "100%"},
        {2000000000, 2000000000, 0, 2000000000, "50.00%", "50.00%"},
        {-5, 0, 0, 0, "0.00%", "100%"},    // games below 0: no rates
        {0, 0, 1, 1, "100.00%", "0.00%"},  // one game, a draw: rates are computed
    };
    for (const auto& c : cases) {
        framework::PlayerRecord r;
        for (auto [w, v] : {std::pair{30, c.wins}, {31, c.losses}, {32, c.draws}, {28, c.cuts}})
            r.setWord(size_t(w), v);
        const auto t = PlayerInfoTexts(r.raw);
        EXPECT_EQ(t[7], c.cutRate) << c.wins;
        EXPECT_EQ(t[12], c.winRate) << c.wins;
    }
}

TEST(PlayerInfoTexts, UnterminatedTextsStopAtTheirFieldAndTheRecordEnd) {
    std::vector<uint8_t> raw(320, 'q');
    const auto t = PlayerInfoTexts(raw);
    EXPECT_EQ(t[15], std::string(128, 'q'));
    EXPECT_EQ(t[0], std::string(32, 'q'));
    EXPECT_EQ(t[1], std::string(16, 'q'));
    EXPECT_EQ(t[4], std::string(16, 'q'));
    EXPECT_EQ(PlayerInfoTexts(std::span<const uint8_t>(raw).first(100))[15], "");
}

TEST_F(SmallDialogs, PlayerInfoRefreshPostsToTheHall) {
    CPlayerInfoDlg dlg;
    std::vector<std::pair<uint32_t, intptr_t>> posted;
    dlg.postToHall = [&](uint32_t m, uintptr_t, intptr_t l) { posted.push_back({m, l}); };
    dlg.SetPlayer(InfoRecord().raw);
    EXPECT_EQ(dlg.field(0)->text().toStdString(), "张三");
    dlg.OnRefresh();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], (std::pair<uint32_t, intptr_t>{0x9108, 31}));
    dlg.show();
    dlg.OnClose();
    EXPECT_TRUE(dlg.isHidden());
}

// The refresh goes to the hall window of the command line (not another hall window found by
// its class), naming the main window by the handle the hall reaches it at.
TEST_F(SmallDialogs, PlayerInfoRefreshAsksTheCommandLinesHallForTheMainWindow) {
    struct InfoApp : CGameAppEx {
        void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
    platform::RecordingHallChannel hall;
    platform::HallChannel* prev = platform::setHallChannel(&hall);
    {
        InfoApp app;
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|21303|0|0|0"));
        ASSERT_NE(app.HallWindow(), 0u);
        hall.classes["GameHallFrame"] = app.HallWindow() + 1;
        framework::CGameFrameWnd frame(app);
        ASSERT_TRUE(frame.Create());
        ASSERT_NE(frame.hallHandle(), 0u);
        app.SetFrame(&frame);
        CPlayerInfoDlg dlg;
        dlg.SetPlayer(InfoRecord().raw);
        dlg.OnRefresh();
        std::vector<platform::RecordingHallChannel::Call> posts;
        {
            std::lock_guard g(hall.mu);
            for (const auto& c : hall.calls)
                if (c.type == platform::RecordingHallChannel::Call::Post && c.msg == 0x9108)
                    posts.push_back(c);
        }
        ASSERT_EQ(posts.size(), 1u);
        EXPECT_EQ(posts[0].to, app.HallWindow());
        EXPECT_EQ(posts[0].w, uintptr_t(frame.hallHandle()));
        EXPECT_EQ(posts[0].l, 31);
        app.SetFrame(nullptr);
    }
    platform::setHallChannel(prev);
    unsetenv("HQLV_RUNTIME_DIR");
}

// The window's start tells the skin to paint its background, once, with switch 1; being
// filled for another player tells it nothing more.
TEST_F(SmallDialogs, PlayerInfoHandsItsBackgroundToTheSkinAsItStarts) {
    using Call = framework::CSkinLibrary::Call;
    framework::CSkinLibrary& lib = framework::CSkinLibrary::instance();
    const int before = lib.CallCount(Call::kDialogEraseBkgnd);
    CPlayerInfoDlg dlg;
    EXPECT_EQ(lib.CallCount(Call::kDialogEraseBkgnd), before + 1);
    ASSERT_FALSE(lib.RecentCalls().empty());
    const auto& last = lib.RecentCalls().back();
    EXPECT_EQ(last.call, Call::kDialogEraseBkgnd);
    EXPECT_EQ(last.window, static_cast<const void*>(static_cast<QWidget*>(&dlg)));
    EXPECT_EQ(last.arg, 1);
    dlg.SetPlayer(InfoRecord().raw);
    dlg.show();
    EXPECT_EQ(lib.CallCount(Call::kDialogEraseBkgnd), before + 1);
}

TEST(PortraitMask, OnlyTheMaskColourTurnsTransparent) {
    QImage face(3, 1, QImage::Format_RGB32);
    face.setPixel(0, 0, qRgb(0, 0x80, 0x80));  // the colour reference 0x808000
    face.setPixel(1, 0, qRgb(0x80, 0x80, 0));
    face.setPixel(2, 0, qRgb(0, 0x80, 0x81));
    const QImage masked = MaskPortrait(face);
    EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 0);
    EXPECT_EQ(masked.pixel(1, 0), qRgb(0x80, 0x80, 0));
    EXPECT_EQ(masked.pixel(2, 0), qRgb(0, 0x80, 0x81));
}

TEST_F(SmallDialogs, InfoLinksHoldTheMouseWhileHoveredAndLetGoWhenClicked) {
    CPlayerInfoDlg dlg;
    dlg.postToHall = [](uint32_t, uintptr_t, intptr_t) {};
    dlg.SetPlayer(InfoRecord().raw);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    for (int i : {0, 1}) {
        framework::CHyperLinkStatic* link = dlg.link(i);
        dlg.show();
        QTest::mouseMove(link, QPoint(2, 2));
        ASSERT_TRUE(link->hovering()) << i;
        EXPECT_EQ(QWidget::mouseGrabber(), link) << i;
        QMouseEvent out(QEvent::MouseMove, QPointF(-5, -5), link->mapToGlobal(QPointF(-5, -5)),
                        Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(link, &out);
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr) << i;
        QTest::mouseMove(link, QPoint(3, 3));
        EXPECT_EQ(QWidget::mouseGrabber(), link) << i;
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr) << i;
    }
    EXPECT_TRUE(dlg.isHidden());  // the second link closed it
}

}  // namespace
}  // namespace hqlv::mahjong

namespace hqlv::mahjong {
namespace {

// The information window stands left of the player list, 5 pixels apart, its top level with
// the table pane's, wherever the main window is.
TEST(PlayerInfoPlace, LeftOfThePlayerListAtTheTablesTop) {
    framework::testing::SharedQtApp();
    QWidget main;
    main.setGeometry(40, 30, 900, 600);
    QWidget table(&main), list(&main);
    table.setGeometry(0, 12, 700, 588);
    list.setGeometry(705, 250, 195, 200);
    main.show();
    const QPoint origin = main.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(PlayerInfoPlace(&list, &table, 160),
              QPoint(origin.x() + 705 - 160 - 5, origin.y() + 12));
    main.move(140, 80);
    const QPoint moved = main.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(PlayerInfoPlace(&list, &table, 158),
              QPoint(moved.x() + 705 - 158 - 5, moved.y() + 12));
}

}  // namespace
}  // namespace hqlv::mahjong

namespace hqlv::mahjong {
namespace {

// The same player, without a portrait file or with a broken one, has one face: the player
// list's (the application's portrait list) is the picture the information window shows.
TEST_F(SmallDialogs, PlayerListAndInformationWindowShowOneDefaultFace) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const framework::testing::PlatformInstall install(dir.path().toStdString());
    ASSERT_TRUE(install.Write("Share/Image/portrait/8_0.bmp", "BM broken"));
    {
        framework::CGameApp app("HqLv", 21303, 2, 1);
        for (int portrait : {5, 8}) {
            SCOPED_TRACE(portrait);
            framework::PlayerRecord record = InfoRecord();
            record.setWord(framework::PlayerRecord::kPortrait, portrait);
            CPlayerInfoDlg dlg;
            dlg.SetPlayer(record.raw);
            const QImage* listed = app.GetPortraitImage(app.AddPortrait(portrait), false);
            ASSERT_NE(listed, nullptr);
            ASSERT_FALSE(dlg.face().isNull());
            EXPECT_EQ(dlg.face().convertToFormat(QImage::Format_ARGB32),
                      listed->convertToFormat(QImage::Format_ARGB32));
            EXPECT_EQ(dlg.face(), *framework::LoadProgramBitmap(kPlayerInfoIcon));
        }
    }
}

}  // namespace
}  // namespace hqlv::mahjong
