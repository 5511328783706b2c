// The window-drawn table (scene mode 1) on a virtual X display: this program runs its
// GdiUnderX cases again in a process of its own on Xvfb (the xcb platform), where the
// skinned claim buttons take their colour 214 when their claim is on offer, a press on the
// marked wall tile (a real X click) shows it at the own tiles' size for a second, and the
// dice roll runs its nine frames 60 ms apart while the window goes on answering. The
// pictures are kept in the build folder under gdi-x/. The offscreen run of the program
// skips the GdiUnderX cases.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <dlfcn.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <set>

#include "framework/app/skin_library.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "platform/core/profile.h"
#include "platform/ui/ui_loop.h"
#include "tests/framework/hall_run.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/scene/shot_util.h"
#include "tests/self_rerun.h"

namespace hqlv::mahjong {
namespace {

struct XApp : CGameAppEx {
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    std::string SettingsPath() override { return folder + "HqLv.ini"; }
    std::string folder = "/tmp/hqlv-gdi-x-" + std::to_string(getpid()) + "/";
};

struct XFrame : CGameFrameEx {
    explicit XFrame(CGameAppEx& app) : CGameFrameEx(app) { CreateClient(); }
};

std::string Kept() {
    const std::string dir = std::string(HQLV_BUILD_DIR) + "/gdi-x/";
    std::filesystem::create_directories(dir);
    return dir;
}

// The faces whose markers show inside the rectangle.
std::set<int> FacesIn(const QImage& img, const MJRect& r) {
    std::set<int> faces;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            if (int f = test::FaceOf(img.pixel(x, y) & 0xFFFFFF); f >= 0) faces.insert(f);
    return faces;
}

// A player at chair 2 of a silver-less room, the frame of scene mode 1 shown on the display.
class GdiUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "runs on the X display";
        const std::string skin = std::string(HQLV_BUILD_DIR) + "/mahjong/skins/skin1/skin.ini";
        if (platform::profileString("BitmapResource", "MJ_LARGE1", "", skin).empty())
            GTEST_SKIP() << "no generated default skin";
        std::filesystem::create_directories(app.folder);
        ASSERT_TRUE(framework::CSkinLibrary::instance().Load(skin, 1));
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
        app.SetSceneMode(1);
        app.scene().SetSceneMode(1);
        frame = std::make_unique<XFrame>(app);
        app.SetFrame(frame.get());
        view = frame->GetGdiTableView();
        ASSERT_NE(view, nullptr);
        frame->resize(1100, 760);
        frame->move(0, 0);
        frame->show();
        platform::ui::processUiEvents(300);
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        framework::CSkinLibrary::instance().Unload();
        std::filesystem::remove_all(app.folder);
    }
    XApp app;
    std::unique_ptr<XFrame> frame;
    CMJGameTableView* view = nullptr;
};

TEST_F(GdiUnderX, SkinnedClaimButtonsTakeTheirColourWhenOffered) {
    CMJGameScene2& scene = app.scene();
    const QColor offered(214, 0, 0);
    // Kind → button: peng 1813, gang 1812, chi 1814, hu 1811, pass 1810.
    const struct {
        int kind, id;
    } cases[] = {{1, 1813}, {2, 1812}, {3, 1814}, {4, 1811}, {5, 1810}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        auto* b = dynamic_cast<framework::CSkinButton*>(view->button(c.id));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(view->ClaimButton(c.kind), b);
        EXPECT_FALSE(b->isVisible());
        const QColor before = b->grab().toImage().pixelColor(2, 2);
        EXPECT_NE(before, offered);
        scene.ShowClaimButton(c.kind, 1);
        platform::ui::processUiEvents(50);
        EXPECT_TRUE(b->isVisible());
        EXPECT_TRUE(b->isEnabled());
        for (int slot : {0, 2, 4}) EXPECT_EQ(b->color(slot), 214u) << slot;
        EXPECT_EQ(b->grab().toImage().pixelColor(2, 2), offered);
        if (c.kind == 1) {
            EXPECT_TRUE(frame->grab().save(QString::fromStdString(Kept() + "claims.png")));
        }
        scene.ShowClaimButton(c.kind, 0);
        platform::ui::processUiEvents(50);
        EXPECT_FALSE(b->isVisible());
        EXPECT_FALSE(b->isEnabled());
        EXPECT_EQ(b->color(2), b->color(0));
        EXPECT_NE(b->color(2), 214u);
    }
    EXPECT_EQ(view->ClaimButton(0), nullptr);
    EXPECT_EQ(view->ClaimButton(6), nullptr);
}

TEST_F(GdiUnderX, APressOnTheMarkedWallTileShowsItEnlargedForASecond) {
    if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
    CMJGameScene2& scene = app.scene();
    std::vector<uint8_t> deal(kDealRecordBytes, 0);
    auto put = [&](size_t w, int32_t v) { std::memcpy(deal.data() + w * 4, &v, 4); };
    put(14, 1), put(33, 60), put(36, 130);
    app.gameInfo().SetRoundResult(deal);
    scene.LayoutWall();
    for (int i = 30; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
    MJTileInfo& marked = scene.Tiles().m_wall[60];
    marked.nFace = 1, marked.nCode = 130;
    MJRect small, big;
    scene.GetMarkedWallTileRect(small);
    scene.GetMarkedWallTileBigRect(big);
    ASSERT_LT(small.left, small.right);
    EXPECT_EQ(big.right - big.left, 42);
    EXPECT_EQ(big.bottom - big.top, 60);
    // The large cell's marker sits just inside its top-left corner, outside the wall tile.
    const int face = GetFaceIndex(130);
    auto cornerFace = [&] {
        view->repaint();
        return test::FaceOf(view->grab().toImage().pixel(big.left + 3, big.top + 3) & 0xFFFFFF);
    };
    EXPECT_NE(cornerFace(), face);
    EXPECT_EQ(FacesIn(view->grab().toImage(), small).count(face), 1u);
    const QPoint at =
        view->mapToGlobal(QPoint((small.left + small.right) / 2, (small.top + small.bottom) / 2));
    ASSERT_TRUE(e2e::ClickOnDisplay(std::getenv("DISPLAY"), at.x(), at.y(), 1));
    ASSERT_TRUE(e2e::WaitFor(
        [&] {
            platform::ui::processUiEvents(20);
            return scene.IsMarkedTileBig() == 1;
        },
        5000));
    EXPECT_EQ(cornerFace(), face);
    EXPECT_TRUE(view->grab().toImage().save(QString::fromStdString(Kept() + "marked-tile.png")));
    // A second later it is gone.
    ASSERT_TRUE(e2e::WaitFor(
        [&] {
            platform::ui::processUiEvents(20);
            return scene.IsMarkedTileBig() == 0;
        },
        5000));
    EXPECT_NE(cornerFace(), face);
}

TEST_F(GdiUnderX, TheDiceRollNineFramesWhileTheWindowAnswers) {
    CMJGameScene2& scene = app.scene();
    std::vector<uint8_t> deal(kDealRecordBytes, 0);
    const int32_t dice[2] = {3, 5};
    std::memcpy(deal.data() + 23 * 4, dice, sizeof dice);
    app.gameInfo().SetRoundResult(deal);
    int ticks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
    other.start(10);
    std::set<int> frames;
    QImage during;
    QElapsedTimer clock;
    clock.start();
    scene.RollDice();
    while (scene.GdiDiceFrame() >= 0 && clock.elapsed() < 10000) {
        frames.insert(scene.GdiDiceFrame());
        if (scene.GdiDiceFrame() == 4 && during.isNull()) {
            view->repaint();
            during = view->grab().toImage();
        }
        platform::ui::processUiEvents(5);
    }
    const qint64 took = clock.elapsed();
    other.stop();
    EXPECT_EQ(scene.GdiDiceFrame(), -1);
    EXPECT_EQ(frames, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // Nine frames 60 ms apart: the roll ends after about 9 × 60 ms, not at once.
    EXPECT_GE(took, 9 * 60 * 9 / 10);
    EXPECT_LT(took, 5000);
    // The other timer of the window kept running through the roll.
    EXPECT_GE(ticks, int(took / 10 / 3));
    ASSERT_FALSE(during.isNull());
    EXPECT_TRUE(during.save(QString::fromStdString(Kept() + "dice.png")));
    MJRect r;
    scene.GetDiceRect(r);
    const QRgb die = during.pixel(r.left + 53, r.top + 49);
    view->repaint();
    EXPECT_NE(view->grab().toImage().pixel(r.left + 53, r.top + 49), die);  // gone after the roll
}

// The offscreen program's side: the cases above, again, on a display of their own.
TEST(GdiOnX, ModeOneCasesPassOnAVirtualDisplay) {
    framework::testing::SharedQtApp();
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (QGuiApplication::platformName() == "xcb") GTEST_SKIP() << "already on the display";
    e2e::VirtualDisplay x;
    ASSERT_TRUE(x.Start());
    std::string text;
    const int status = hqlv::testing::RerunSelf(
        {"--gtest_filter=GdiUnderX.*"},
        {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", e2e::AsanOptionsUnderX()},
        Kept() + "run.txt", text);
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("[  PASSED  ] 3 tests"), std::string::npos) << text;
    EXPECT_EQ(text.find("SKIPPED"), std::string::npos) << text;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
