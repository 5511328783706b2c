// The GDI table view of scene mode 1: the frame makes it in mode 1, the paint pass lands
// in its back buffer through the skin library's bitmaps (faces found by their marker
// colours), its window buttons call the scene's operations, the mouse goes to the scene,
// and the clock and ask timers.
#include "mahjong/panes/mj_gdi_table_view.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/chat_view.h"
#include "mahjong/game/dialog_units.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "netlib/log.h"
#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/scene/shot_util.h"
#include "tests/mahjong/server_run.h"

namespace hqlv::mahjong {
namespace {

void Mouse(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
           QPoint at) {
    QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

struct RecordingScene : CMJGameScene2 {
    void OnBtnStart() override { calls.push_back("start"); }
    void OnBtnPass() override { calls.push_back("pass"); }
    void OnBtnHu() override { calls.push_back("hu"); }
    void OnBtnGang() override { calls.push_back("gang"); }
    void OnBtnPeng() override { calls.push_back("peng"); }
    void OnBtnChi() override { calls.push_back("chi"); }
    bool GdiAskToSeeTiles() override {
        calls.push_back("ask");
        return askAnswer;
    }
    int GdiMouseMove(uint32_t flags, int x, int y) override {
        calls.push_back("move " + std::to_string(flags) + " " + std::to_string(x) + "," +
                        std::to_string(y));
        return 0;
    }
    void GdiRButtonDown(uint32_t, int, int) override { calls.push_back("rdown"); }
    void GdiRButtonUp(uint32_t, int, int) override { calls.push_back("rup"); }
    int GdiLButtonDown(uint32_t, int, int) override {
        calls.push_back("ldown");
        return 2;
    }
    void OnTimer(uint32_t id) override { calls.push_back("timer " + std::to_string(id)); }
    void RebuildTable() override { calls.push_back("rebuild"); }
    // The clip box as the table is painted.
    void PaintTableGdi(CMJGdiSurface&) override { paintedClips.push_back(PaintClipBox()); }
    bool askAnswer = true;
    std::vector<std::string> calls;
    std::vector<MJRect> paintedClips;
};

struct GdiApp : CGameAppEx {
    GdiApp() { recording.SetSceneHost(&SceneHost()); }
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    CMJGameScene2* GetGameScene() override {
        return useRecording ? static_cast<CMJGameScene2*>(&recording) : &scene();
    }
    std::string SettingsPath() override { return folder + "HqLv.ini"; }
    std::string folder = "/tmp/hqlv-gdi-view-" + std::to_string(getpid()) + "/";
    bool useRecording = false;
    RecordingScene recording;
};

struct Frame : CGameFrameEx {
    explicit Frame(CGameAppEx& app) : CGameFrameEx(app) { CreateClient(); }
};

class GdiViewTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string skin = std::string(HQLV_BUILD_DIR) + "/mahjong/skins/skin1/skin.ini";
        if (platform::profileString("BitmapResource", "MJ_LARGE1", "", skin).empty())
            GTEST_SKIP() << "no generated default skin";
        framework::testing::SharedQtApp();
        std::filesystem::create_directories(app.folder);
        ASSERT_TRUE(framework::CSkinLibrary::instance().Load(skin, 1));
        app.SetSceneMode(1);
        app.scene().SetSceneMode(1);
    }
    void TearDown() override {
        framework::CSkinLibrary::instance().Unload();
        std::filesystem::remove_all(app.folder);
    }
    GdiApp app;
};

TEST_F(GdiViewTest, FrameMakesTheGdiViewOnlyInModeOne) {
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
    {
        Frame frame(app);
        ASSERT_NE(frame.GetGdiTableView(), nullptr);
        EXPECT_EQ(frame.GetMJTableView(), nullptr);
        EXPECT_EQ(frame.GetTableView(), frame.GetGdiTableView());
        EXPECT_EQ(frame.GetMJTableHooks(), frame.GetGdiTableView());
    }
    app.SetSceneMode(2);
    Frame frame(app);
    EXPECT_EQ(frame.GetGdiTableView(), nullptr);
    EXPECT_NE(frame.GetMJTableView(), nullptr);
}

TEST_F(GdiViewTest, SurfaceFramesJustInsideTheRectangle) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    CQImageGdiSurface surface(nullptr);
    surface.SetImage(&img);
    surface.FrameRect(2, 3, 12, 13, kGdiRed);
    const QRgb red = qRgb(255, 0, 0), black = qRgb(0, 0, 0);
    const struct {
        int x, y;
        QRgb colour;
    } cases[] = {{2, 3, red},    {11, 12, red}, {11, 8, red},  {7, 12, red}, {12, 8, black},
                 {7, 13, black}, {1, 8, black}, {7, 2, black}, {3, 4, black}};
    for (auto c : cases) EXPECT_EQ(img.pixel(c.x, c.y), c.colour) << c.x << "," << c.y;
    // Without a buffer (or a window) nothing is drawn.
    CQImageGdiSurface bare(nullptr);
    bare.FrameRect(0, 0, 5, 5, kGdiRed);
    bare.TextOut(0, 0, "x");
    EXPECT_FALSE(bare.TransparentBlt(0, 0, 42, 60, "MJ_LARGE1", 0, 0, kGdiBlueKey));
    EXPECT_EQ(bare.Width() + bare.Height(), 0);
}

TEST_F(GdiViewTest, SurfaceCursorIsInTheWindowsClientCoordinates) {
    int x = 5, y = 6;
    CQImageGdiSurface bare(nullptr);
    EXPECT_FALSE(bare.CursorPos(x, y));
    EXPECT_EQ(x + y, 11);
    QWidget window;
    window.setGeometry(40, 50, 300, 200);
    CQImageGdiSurface surface(&window);
    QCursor::setPos(140, 170);
    ASSERT_TRUE(surface.CursorPos(x, y));
    const QPoint expected = window.mapFromGlobal(QCursor::pos());
    EXPECT_EQ(QPoint(x, y), expected);
}

TEST_F(GdiViewTest, ButtonsCallTheSceneOperations) {
    app.useRecording = true;
    CMJGameTableView view(app);
    view.resize(796, 700);
    view.OnInitialUpdate();
    const struct {
        int id;
        const char* caption;
        const char* call;
    } cases[] = {{1800, "", "start"},  {1810, "过", "pass"}, {1811, "胡", "hu"},
                 {1812, "豆", "gang"}, {1813, "碰", "peng"}, {1814, "吃", "chi"}};
    for (const auto& c : cases) {
        QAbstractButton* b = view.button(c.id);
        ASSERT_NE(b, nullptr) << c.id;
        EXPECT_FALSE(b->isVisibleTo(&view)) << c.id;
        EXPECT_EQ(b->text().toStdString(), c.caption);
        EXPECT_EQ(b->font().weight(), QFont::Bold);
        app.recording.calls.clear();
        b->click();
        EXPECT_EQ(app.recording.calls, std::vector<std::string>{c.call}) << c.id;
    }
    // The claim buttons stand where the view's form puts them (dialog units).
    const struct {
        int id, x, y, w, h;
    } places[] = {{1810, 114, 82, 20, 18},
                  {1811, 141, 82, 20, 18},
                  {1812, 168, 82, 20, 18},
                  {1813, 195, 82, 20, 18},
                  {1814, 222, 82, 20, 18}};
    for (const auto& p : places)
        EXPECT_EQ(view.button(p.id)->geometry(), DluRect(p.x, p.y, p.w, p.h)) << p.id;
    EXPECT_EQ(view.button(1801)->text().toStdString(), "请求看牌");
    EXPECT_EQ(view.button(1801)->geometry(), QRect(0, 700 - 24, 70, 24));
    EXPECT_EQ(view.button(1800)->geometry(), QRect(796 / 2 - 40, 700 - 160, 80, 30));
    EXPECT_EQ(view.buttonFont().face, "楷体_GB2312");
    EXPECT_EQ(view.clockFont().height, 40);
    EXPECT_EQ(view.button(999), nullptr);
}

// Each button gets the button font as the view starts and right after it the skin's look;
// before the start the skin has not been told of them.
TEST_F(GdiViewTest, EachButtonIsSkinnedAfterItsFontAsTheViewStarts) {
    app.useRecording = true;
    using Call = framework::CSkinLibrary::Call;
    framework::CSkinLibrary& lib = framework::CSkinLibrary::instance();
    const int before = lib.CallCount(Call::kSkinControl);
    CMJGameTableView view(app);
    view.resize(796, 700);
    EXPECT_EQ(lib.CallCount(Call::kSkinControl), before);
    const int kIds[7] = {1800, 1801, 1810, 1811, 1812, 1813, 1814};
    view.OnInitialUpdate();
    EXPECT_EQ(lib.CallCount(Call::kSkinControl), before + 7);
    const auto& recent = lib.RecentCalls();
    ASSERT_GE(recent.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        const auto& c = recent[recent.size() - 7 + size_t(i)];
        QAbstractButton* b = view.button(kIds[i]);
        EXPECT_EQ(c.call, Call::kSkinControl) << kIds[i];
        EXPECT_EQ(c.window, static_cast<const void*>(static_cast<QWidget*>(b))) << kIds[i];
        EXPECT_EQ(c.arg, 0) << kIds[i];
        EXPECT_EQ(b->font().pixelSize(), 16) << kIds[i];
        EXPECT_FALSE(b->isVisibleTo(&view)) << kIds[i];
    }
}

// A paint records its clip box in the scene before the table is painted, and after the copy
// to the window hands the buffer to the skin as the view's background.
TEST_F(GdiViewTest, APaintRecordsItsClipBoxAndGivesTheSkinTheBuffer) {
    app.useRecording = true;
    using Call = framework::CSkinLibrary::Call;
    framework::CSkinLibrary& lib = framework::CSkinLibrary::instance();
    CMJGameTableView view(app);
    view.resize(300, 200);
    view.OnInitialUpdate();
    // Outside a paint event the pass covers the client area and nothing goes to the skin.
    const int given = lib.CallCount(Call::kBackgroundDC);
    view.PaintBuffer();
    ASSERT_EQ(app.recording.paintedClips.size(), 1u);
    const MJRect whole = app.recording.paintedClips.back();
    EXPECT_EQ(std::vector<int>({whole.left, whole.top, whole.right, whole.bottom}),
              std::vector<int>({0, 0, 300, 200}));
    EXPECT_EQ(lib.CallCount(Call::kBackgroundDC), given);
    view.show();
    platform::ui::processUiEvents(50);
    app.recording.paintedClips.clear();
    const int shown = lib.CallCount(Call::kBackgroundDC);
    view.repaint(QRect(10, 20, 30, 40));
    ASSERT_EQ(app.recording.paintedClips.size(), 1u);
    const MJRect part = app.recording.paintedClips.back();
    EXPECT_EQ(std::vector<int>({part.left, part.top, part.right, part.bottom}),
              std::vector<int>({10, 20, 40, 60}));
    EXPECT_EQ(lib.CallCount(Call::kBackgroundDC), shown + 1);
    const auto& last = lib.RecentCalls().back();
    EXPECT_EQ(last.call, Call::kBackgroundDC);
    EXPECT_EQ(last.window, static_cast<const void*>(static_cast<QWidget*>(&view)));
    EXPECT_EQ(last.arg, reinterpret_cast<intptr_t>(&view.backBuffer()));
}

// The start button is centred above the own hand, whole inside the table at every width.
TEST_F(GdiViewTest, TheStartButtonStaysInsideTheTable) {
    app.useRecording = true;
    CMJGameTableView view(app);
    view.OnInitialUpdate();
    for (QSize size : {QSize(796, 700), QSize(601, 480), QSize(80, 200)}) {
        view.resize(size);
        view.Layout(size.width(), size.height());
        const QRect start = view.button(1800)->geometry();
        EXPECT_EQ(start, QRect(size.width() / 2 - 40, size.height() - 160, 80, 30)) << size.width();
        EXPECT_GE(start.left(), 0) << size.width();
        EXPECT_LE(start.right(), size.width() - 1) << size.width();
    }
}

struct EnteredView : CMJGameTableView {
    using CMJGameTableView::CMJGameTableView;
    using CMJGameTableView::OnGameEntered;
    using CMJGameTableView::onTimer;
};

TEST_F(GdiViewTest, GameEnteredRebuildsARunningDealForALookerOn) {
    app.useRecording = true;
    const struct {
        int looker, dealNumber;
        bool rebuilt;
        int shown;
    } cases[] = {{1, 3, true, 1801}, {1, 0, false, 1801}, {0, 3, false, 1800}};
    for (auto c : cases) {
        GdiApp a;
        a.useRecording = true;
        ASSERT_TRUE(a.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|" +
                                           std::to_string(c.looker) + "|0|t|21303|0|0|0"));
        std::vector<uint8_t> deal(kDealRecordBytes, 0);
        std::memcpy(deal.data() + 8 * 4, &c.dealNumber, 4);
        a.gameInfo().SetRoundResult(deal);
        EnteredView view(a);
        view.OnGameEntered();
        const bool rebuilt = std::find(a.recording.calls.begin(), a.recording.calls.end(),
                                       "rebuild") != a.recording.calls.end();
        EXPECT_EQ(rebuilt, c.rebuilt) << c.looker << " " << c.dealNumber;
        EXPECT_TRUE(view.button(c.shown)->isVisibleTo(&view)) << c.shown;
        EXPECT_FALSE(view.button(c.shown == 1800 ? 1801 : 1800)->isVisibleTo(&view));
    }
}

TEST_F(GdiViewTest, GameEnteredRebuildsForAPlayerBackInARunningDeal) {
    // {entered with the table's state, its length, rebuilt, start button shown}
    const struct {
        int inGame;
        size_t bytes;
        bool rebuilt, start;
    } cases[] = {{1, kPlayerStateBytes, true, false},
                 {1, 560, false, true},
                 {0, kPlayerStateBytes, false, true}};
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.inGame) + " " + std::to_string(c.bytes));
        GdiApp a;
        a.useRecording = true;
        ASSERT_TRUE(a.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
        a.SetInGame(c.inGame);
        a.gameInfo().SetRoundWord(14, 1);
        a.gameInfo().SetStateBytes(c.bytes);
        EnteredView view(a);
        view.OnGameEntered();
        const bool rebuilt = std::find(a.recording.calls.begin(), a.recording.calls.end(),
                                       "rebuild") != a.recording.calls.end();
        EXPECT_EQ(rebuilt, c.rebuilt);
        EXPECT_EQ(view.button(1800)->isVisibleTo(&view), c.start);
        EXPECT_FALSE(view.button(1801)->isVisibleTo(&view));
    }
}

TEST_F(GdiViewTest, TimersRepaintRestartTheClockAndEnableTheAsk) {
    app.useRecording = true;
    EnteredView view(app);
    view.onTimer(CMJGameTableView::kRepaintTimerId);  // only repaints
    EXPECT_TRUE(app.recording.calls.empty());
    view.RestartClockTimer();  // none running: stays off
    EXPECT_EQ(view.clockTimer(), 0u);
    view.StartClockTimer();
    view.RestartClockTimer();
    EXPECT_EQ(view.clockTimer(), 10000u);
    view.OnTableStop();
    EXPECT_EQ(view.clockTimer(), 0u);
    // The ask disables its button until timer 7, only when the scene asked.
    app.recording.askAnswer = false;
    view.OnCommand(1801);
    EXPECT_TRUE(view.button(1801)->isEnabled());
    app.recording.askAnswer = true;
    view.OnCommand(1801);
    EXPECT_FALSE(view.button(1801)->isEnabled());
    view.onTimer(7);
    EXPECT_TRUE(view.button(1801)->isEnabled());
    EXPECT_EQ(app.recording.calls, (std::vector<std::string>{"ask", "ask", "timer 7"}));
}

TEST_F(GdiViewTest, MouseGoesToTheScene) {
    app.useRecording = true;
    CMJGameTableView view(app);
    view.resize(300, 200);
    view.show();
    Mouse(view, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(40, 50));
    Mouse(view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(41, 51));
    EXPECT_EQ(view.cursorMode(), 2);
    Mouse(view, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, QPoint(42, 52));
    Mouse(view, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, QPoint(43, 53));
    app.recording.SetSelectMode(2);  // a choice is open: the release is not passed on
    Mouse(view, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, QPoint(44, 54));
    std::vector<std::string> mouse;
    for (const auto& c : app.recording.calls)
        if (c.rfind("move", 0) != 0) mouse.push_back(c);
    EXPECT_EQ(mouse, (std::vector<std::string>{"ldown", "rdown", "rup"}));
    bool moved = false;
    for (const auto& c : app.recording.calls) moved |= c == "move 0 40,50";
    EXPECT_TRUE(moved);
}

TEST_F(GdiViewTest, GangAndChiButtonsKeepTheirCellAndStayDownForTheChoice) {
    app.useRecording = true;
    CMJGameTableView view(app);
    EXPECT_EQ(view.GetClaimCell(2), 40);
    EXPECT_EQ(view.GetClaimCell(3), 80);
    for (int other : {0, 1, 4, 5}) EXPECT_EQ(view.GetClaimCell(other), 0) << other;
    view.SetClaimCell(2, 200);
    view.SetClaimCell(5, 200);  // no cell of its own
    EXPECT_EQ(view.GetClaimCell(2), 200);
    EXPECT_EQ(view.GetClaimCell(5), 0);
    EXPECT_TRUE(view.button(1812)->isDown());
    EXPECT_FALSE(view.button(1814)->isDown());
    EXPECT_FALSE(view.button(1810)->isDown());
    // A click lets the button up; after the command it looks as its cell says.
    view.button(1812)->click();
    EXPECT_TRUE(view.button(1812)->isDown());
    view.SetClaimCell(2, 40);
    EXPECT_FALSE(view.button(1812)->isDown());
    view.SetClaimCell(3, 200);
    EXPECT_TRUE(view.button(1814)->isDown());
    view.SetClaimCell(3, 80);
    EXPECT_FALSE(view.button(1814)->isDown());
}

TEST_F(GdiViewTest, TheApplicationHostPlaysAVoiceFileUnlessSilent) {
    auto rec = std::make_shared<platform::RecordingAudio>();
    auto previous = platform::installAudio(rec);
    CMJSceneHost& host = app.SceneHost();
    app.SetSettings({0, 0, 1, 0});
    EXPECT_EQ(host.PlaySoundFile("/prog/Sound/0man/peng0.wav"), 1);
    app.SetSettings({1, 0, 1, 0});
    EXPECT_EQ(host.PlaySoundFile("/prog/Sound/0man/gang0.wav"), 0);
    platform::installAudio(previous);
    const auto calls = rec->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, platform::RecordingAudio::Kind::kWaveFile);
    EXPECT_EQ(calls[0].data, "/prog/Sound/0man/peng0.wav");
    EXPECT_TRUE(calls[0].options.async);
    EXPECT_FALSE(calls[0].options.noStop);
}

TEST_F(GdiViewTest, TheApplicationHostReachesTheWindowButtons) {
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
    CMJSceneHost& host = app.SceneHost();
    // Without a frame: nothing to reach, no cell.
    host.ShowStartWindowButton(1);
    host.SetClaimWindowCell(2, 200);
    EXPECT_EQ(host.GetClaimWindowCell(2), 0);
    Frame frame(app);
    app.SetFrame(&frame);
    CMJGameTableView* view = frame.GetGdiTableView();
    ASSERT_NE(view, nullptr);
    host.ShowStartWindowButton(1);
    EXPECT_TRUE(view->button(1800)->isVisibleTo(view));
    host.ShowStartWindowButton(0);
    EXPECT_FALSE(view->button(1800)->isVisibleTo(view));
    host.SetClaimWindowCell(3, 200);
    EXPECT_EQ(view->GetClaimCell(3), 200);
    EXPECT_EQ(host.GetClaimWindowCell(3), 200);
    EXPECT_EQ(host.GetClaimWindowCell(2), 40);
    app.SetFrame(nullptr);
}

TEST_F(GdiViewTest, EveryButtonEndsTheCountOfMissedTurns) {
    app.useRecording = true;
    CMJGameTableView view(app);
    for (int id : {1800, 1801, 1810, 1811, 1812, 1813, 1814}) {
        app.recording.SetTimeoutCount(2);
        view.OnCommand(id);
        EXPECT_EQ(app.recording.GetTimeoutCount(), 0) << id;
    }
}

TEST_F(GdiViewTest, AClickOnTheTableEndsAutomaticPlayAndOnlyThat) {
    app.useRecording = true;
    CMJGameTableView view(app);
    view.resize(300, 200);
    view.show();
    app.recording.SetSceneMode(1);
    app.recording.ToggleAutoPlay();
    ASSERT_EQ(app.recording.IsAutoPlayOn(), 1);
    Mouse(view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(41, 51));
    EXPECT_EQ(app.recording.IsAutoPlayOn(), 0);
    EXPECT_EQ(app.recording.GetTimeoutCount(), 0);
    auto presses = [&] {
        return std::count(app.recording.calls.begin(), app.recording.calls.end(), "ldown");
    };
    EXPECT_EQ(presses(), 0);
    Mouse(view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(41, 51));
    EXPECT_EQ(presses(), 1);
}

TEST_F(GdiViewTest, RoundEndClearsTheTableAndAutomaticPlayStartsTheNextDeal) {
    for (int looker : {0, 1}) {
        SCOPED_TRACE(looker);
        GdiApp a;
        a.useRecording = true;
        ASSERT_TRUE(a.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|" +
                                           std::to_string(looker) + "|0|t|21303|0|0|0"));
        a.SetSceneMode(1);
        a.recording.SetSceneMode(1);
        Frame frame(a);
        a.SetFrame(&frame);
        CMJGameTableView& view = *frame.GetGdiTableView();
        view.ShowClaimButton(1, 1);
        view.ShowClaimButton(5, 1);
        view.SetClaimCell(2, 200);
        a.gameInfo().SetDealFlags(1);
        a.GetTableDraw()->SetAllBankers(1);
        view.OnRoundEnded();
        EXPECT_FALSE(view.button(1813)->isVisibleTo(&view));
        EXPECT_FALSE(view.button(1810)->isVisibleTo(&view));
        EXPECT_EQ(view.GetClaimCell(2), 40);
        EXPECT_EQ(a.gameInfo().GetDealFlags(), 0);
        EXPECT_EQ(a.GetTableDraw()->Seat(0)->banker, 0);
        EXPECT_EQ(view.button(1800)->isVisibleTo(&view), looker == 0);
        auto starts = [&] {
            return std::count(a.recording.calls.begin(), a.recording.calls.end(), "start");
        };
        EXPECT_EQ(starts(), 0);
        // With automatic play on, the next deal is started at once (a player only).
        a.recording.ToggleAutoPlay();
        view.OnRoundEnded();
        EXPECT_EQ(starts(), looker == 0 ? 1 : 0);
        EXPECT_EQ(a.recording.GetTimeoutCount(), looker == 0 ? 3 : 0);  // a looker-on has none
        a.SetFrame(nullptr);
    }
}

TEST_F(GdiViewTest, TheAskLineNamesTheWatchedPlayerWithItsAlias) {
    app.useRecording = true;
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|1|0|t|21303|0|0|0"));
    framework::PlayerRecord* watched = app.SeatMutable(2);
    ASSERT_NE(watched, nullptr);
    using R = framework::PlayerRecord;
    watched->setText(R::kNameOff, R::kNameLen, framework::Utf8ToGbk("西家"));
    watched->setText(R::kAliasOff, R::kAliasLen, framework::Utf8ToGbk("小西"));
    Frame frame(app);
    app.SetFrame(&frame);
    auto* chat = dynamic_cast<framework::CGameChatView*>(frame.GetChatView());
    ASSERT_NE(chat, nullptr);
    CMJGameTableView& view = *frame.GetGdiTableView();
    app.recording.askAnswer = false;
    view.OnCommand(1801);
    EXPECT_EQ(chat->display()->toPlainText().indexOf("给我看牌"), -1);
    app.recording.askAnswer = true;
    view.OnCommand(1801);
    EXPECT_NE(chat->display()->toPlainText().indexOf("请求西家[小西]给我看牌"), -1)
        << chat->display()->toPlainText().toStdString();
    EXPECT_FALSE(view.button(1801)->isEnabled());
    app.SetFrame(nullptr);
}

TEST_F(GdiViewTest, TheButtonsDrawSlotAndClockPlacesGoToTheLogOncePerChange) {
    const std::string logs = app.folder + "logs";
    std::filesystem::create_directories(logs);
    netlib::YrnLogSetFolder(logs);
    auto Count = [](const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
        return n;
    };
    auto lines = [&] {
        std::string all;
        for (const auto& e : std::filesystem::directory_iterator(logs))
            all += e2e::ReadFile(e.path());
        return all;
    };
    {
        CMJGameTableView view(app);
        view.resize(796, 700);
        view.OnInitialUpdate();
        EXPECT_EQ(Count(lines(), "窗口按钮"), 0);  // not on the screen yet
        view.show();
        platform::ui::processUiEvents(50);
        view.LogButtonPlaces();  // the window may have moved since it showed
        const int shown = Count(lines(), "窗口按钮 屏幕:");
        EXPECT_GE(shown, 1);
        // Asked again with nothing moved: no new line.
        view.LogButtonPlaces();
        view.LogButtonPlaces();
        std::string text = lines();
        EXPECT_EQ(Count(text, "窗口按钮 屏幕:"), shown) << text;
        auto at = e2e::ButtonPoints(text);
        auto global = [&](QPoint p) {
            return std::make_pair(view.mapToGlobal(p).x(), view.mapToGlobal(p).y());
        };
        EXPECT_EQ(at["开始"], global(view.button(1800)->geometry().center()));
        EXPECT_EQ(at["杠"], global(view.button(1812)->geometry().center()));
        EXPECT_EQ(at["看牌"], global(view.button(1801)->geometry().center()));
        MJRect own, clock;
        app.scene().GetHandRect(3, own);
        app.scene().GetClockRect(clock);
        EXPECT_EQ(at["摸牌"], global(QPoint(own.right - 21, own.top + 10 + 30)));
        EXPECT_EQ(at["钟"],
                  global(QPoint((clock.left + clock.right) / 2, (clock.top + clock.bottom) / 2)));
        // Another size: another line with the places of that size.
        view.resize(700, 600);
        platform::ui::processUiEvents(50);
        text = lines();
        EXPECT_GT(Count(text, "窗口按钮 屏幕:"), shown);
        app.scene().GetHandRect(3, own);
        EXPECT_EQ(e2e::ButtonPoints(text)["摸牌"], global(QPoint(own.right - 21, own.top + 40)));
    }
    netlib::YrnLogSetFolder("");
}

TEST_F(GdiViewTest, TheClockFontIsTwentyFourWide) {
    CMJGameTableView view(app);
    EXPECT_EQ(view.clockFont().face, "System");
    EXPECT_EQ(view.clockFont().height, 40);
    EXPECT_EQ(view.clockFont().width, 24);
    EXPECT_EQ(view.clockFont().weight, 700);
    EXPECT_EQ(view.buttonFont().width, 0);
}

TEST_F(GdiViewTest, ResetTableWithoutAMainWindowChangesNothing) {
    app.useRecording = true;
    CMJGameTableView view(app);
    app.GetTableDraw()->SetAllBankers(1);
    view.ResetTable();
    EXPECT_EQ(app.GetTableDraw()->Seat(0)->banker, 1);
    EXPECT_FALSE(view.button(1800)->isVisibleTo(&view));
}

// The faces whose markers lie inside the rectangle.
std::set<int> FacesIn(const QImage& img, const MJRect& r) {
    std::set<int> faces;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            if (int f = test::FaceOf(img.pixel(x, y) & 0xFFFFFF); f >= 0) faces.insert(f);
    return faces;
}

// The generated default skin painted by the real surface: a mid-deal table written for
// review, each area's faces read back from the generator's markers.
TEST_F(GdiViewTest, GeneratedSkinShowsEveryAreasFaces) {
    app.SetChairNo(2);
    CMJGameTableView view(app);
    view.resize(796, 700);
    view.OnInitialUpdate();
    CMJGameScene2& scene = app.scene();
    CGameInfoEx& info = app.gameInfo();
    std::vector<uint8_t> deal(kDealRecordBytes, 0);
    auto put = [&](size_t w, int32_t v) { std::memcpy(deal.data() + w * 4, &v, 4); };
    put(10, 20), put(11, 2), put(14, 1);
    info.SetRoundResult(deal);
    scene.LayoutWall();
    for (int i = 30; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
    MJTileInfo& shownWall = scene.Tiles().m_wall[60];
    shownWall.nFace = 1, shownWall.nCode = 130;
    scene.LayoutHands();
    const int own[] = {0, 9, 18, 27, 31, 36, 40, 44, 50, 60, 72, 80, 100};
    std::set<int> ownFaces;
    for (int i = 0; i < 13; ++i) {
        MJTileInfo& r = scene.Tiles().m_hands[3][i + 1];
        r.nCode = own[i], r.bPresent = 1;
        ownFaces.insert(GetFaceIndex(own[i]));
    }
    for (int v = 0; v < 3; ++v)
        for (int i = 1; i <= 13; ++i) scene.Tiles().m_hands[v][i].bPresent = 1;
    scene.LayoutDiscards();
    std::set<int> discarded[4];
    for (int v = 0; v < 4; ++v)
        for (int k = 0; k < 6; ++k) {
            const int tile = (v * 37 + k * 13) % 136;
            scene.AddDiscard(v, tile);
            discarded[v].insert(GetFaceIndex(tile));
        }
    MJTileInfo& show = scene.Tiles().m_showcase[1];
    show.nCode = 115, show.bPresent = 1, show.nFace = 1;
    scene.ClockStart();
    scene.SetClockPosition(6);
    scene.SetCountdown(15);
    CMJTableDraw& draw = *app.GetTableDraw();
    const char* names[4] = {"下家", "对家", "上家", "自己"};
    for (int v = 0; v < 4; ++v) draw.SeatMutable(v)->name = names[v];
    draw.SeatMutable(3)->banker = 1;
    draw.SeatMutable(0)->highlight = 1;
    view.PaintBuffer();
    const QImage& shot = view.backBuffer();
    const std::string path =
        std::string(HQLV_BUILD_DIR) + "/gdi-table." + std::to_string(getpid()) + ".png";
    EXPECT_TRUE(shot.save(QString::fromStdString(path)));
    MJRect h;
    scene.GetHandRect(3, h);
    EXPECT_EQ(FacesIn(shot, h), ownFaces);
    for (int v = 0; v < 4; ++v) {
        MJRect d;
        scene.GetDiscardRect(v, d);
        EXPECT_EQ(FacesIn(shot, d), discarded[v]) << "view " << v;
    }
    MJRect s;
    scene.GetShowcaseRect(1, s);
    EXPECT_EQ(FacesIn(shot, s), std::set<int>{GetFaceIndex(115)});
    // The key colour never shows; the window shows the buffer; the skin's table colour.
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ASSERT_NE(shot.pixel(x, y) & 0xFFFFFF, 0x0000FFu) << x << "," << y;
    EXPECT_EQ(view.grab().toImage().pixel(h.left + 30, h.top + 30),
              shot.pixel(h.left + 30, h.top + 30));
    EXPECT_EQ(view.tableColor(), 16384u);
}

}  // namespace
}  // namespace hqlv::mahjong
