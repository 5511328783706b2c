// The operate bar: the row and stacked layouts, the button size from the skin (0 by 0
// without one), what each command does and the help page's address.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QPushButton>

#include <filesystem>

#include "framework/app/skin_library.h"
#include "framework/app/skin_settings.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/panes/mj_tool_view.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "tests/framework/qt_test_app.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::mahjong {
namespace {

TEST(OperateLayout, RowAndColumn) {
    const struct {
        int cx, cy, w, h;
        bool stacked;
        std::array<QRect, 4> want;
    } cases[] = {
        // gap (250 - 200) / 5 = 10, y (40 - 36) / 2 = 2
        {250,
         40,
         50,
         36,
         false,
         {QRect(10, 2, 50, 36), QRect(70, 2, 50, 36), QRect(130, 2, 50, 36),
          QRect(190, 2, 50, 36)}},
        // 204: gap 4 / 5 truncates to 0; y -1 / 2 truncates to 0
        {204,
         35,
         51,
         36,
         false,
         {QRect(0, 0, 51, 36), QRect(51, 0, 51, 36), QRect(102, 0, 51, 36), QRect(153, 0, 51, 36)}},
        // narrower than four buttons: -14 / 5 = -2, nothing clamped
        {186,
         20,
         50,
         36,
         false,
         {QRect(-2, -8, 50, 36), QRect(46, -8, 50, 36), QRect(94, -8, 50, 36),
          QRect(142, -8, 50, 36)}},
        {250,
         40,
         0,
         0,
         false,
         {QRect(50, 20, 0, 0), QRect(100, 20, 0, 0), QRect(150, 20, 0, 0), QRect(200, 20, 0, 0)}},
        // stacked from the top: 1002, 1004, 1001, 1003
        {250,
         40,
         50,
         36,
         true,
         {QRect(0, 72, 50, 36), QRect(0, 0, 50, 36), QRect(0, 108, 50, 36), QRect(0, 36, 50, 36)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OperateLayout(c.cx, c.cy, c.w, c.h, c.stacked), c.want)
            << c.cx << " " << c.stacked;
}

class SizedSkin : public framework::CSkinSettings {
public:
    SizedSkin(int w, int h) : framework::CSkinSettings("", ""), w_(w), h_(h) {}
    int GetButtonWidth() const override { return w_; }
    int GetButtonHeight() const override { return h_; }
    int w_, h_;
};

class LinkApp : public CGameAppEx {
public:
    void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    framework::CSkinSettings* GetSkinSettings() override { return skin.get(); }
    void OpenWebPage(const std::string& page, int withSign) override {
        opened.push_back(page + "|" + std::to_string(withSign));
    }
    bool ExecGameSetDialog(GameSetValues& v) override {
        ++settingsDialogs;
        if (accept) v = offered;
        return accept;
    }
    bool accept = false;
    GameSetValues offered;
    std::unique_ptr<framework::CSkinSettings> skin;
    std::vector<std::string> opened;
    int settingsDialogs = 0;
};

// A main window whose table pane is the given view (none: a window without one).
struct TableFrame : framework::CGameFrameWnd {
    using framework::CGameFrameWnd::CGameFrameWnd;
    framework::CTableViewHooks* GetTableView() override { return table; }
    framework::CGameTableView* table = nullptr;
};

class OperateBar : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        // No skin but the one a test loads (an application made earlier in this process
        // may have loaded the program folder's default skin).
        framework::CSkinLibrary::instance().Unload();
        bar = std::make_unique<CMyOperateView>();
        // The main window with the engine's table view, which has no table colour.
        frame = std::make_unique<TableFrame>(app);
        engineTable = std::make_unique<framework::CGameTableView>(app);
        frame->table = engineTable.get();
        app.SetFrame(frame.get());
    }
    void TearDown() override { app.SetFrame(nullptr); }
    // The bar drawn over a picture of the marker colour: where the bar paints nothing the
    // marker stays.
    QImage Rendered(QRgb marker = qRgb(1, 2, 3)) {
        QImage img(bar->size(), QImage::Format_RGB32);
        img.fill(marker);
        bar->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        return img;
    }
    LinkApp app;
    std::unique_ptr<CMyOperateView> bar;
    std::unique_ptr<TableFrame> frame;
    std::unique_ptr<framework::CGameTableView> engineTable;
};

TEST_F(OperateBar, SkinSizesOrNoneGiveZero) {
    EXPECT_EQ(bar->buttonWidth(), 50);
    EXPECT_EQ(bar->buttonHeight(), 36);
    app.skin = std::make_unique<SizedSkin>(40, 30);
    bar->LoadBackground();
    EXPECT_EQ(bar->buttonWidth(), 40);
    EXPECT_EQ(bar->buttonHeight(), 30);
    bar->Layout(200, 40);
    EXPECT_EQ(bar->button(1004)->geometry(), QRect(3 * 40 + 4 * 8, 5, 40, 30));
    app.skin = std::make_unique<SizedSkin>(0, 0);
    bar->LoadBackground();
    bar->Layout(200, 40);
    EXPECT_EQ(bar->button(1001)->geometry().size(), QSize(0, 0));
    EXPECT_FALSE(bar->background().has_value());
}

TEST_F(OperateBar, ZeroWidthSizeKeepsTheButtons) {
    bar->show();
    bar->resize(250, 40);
    const QRect before = bar->button(1002)->geometry();
    EXPECT_EQ(before, QRect(70, 2, 50, 36));
    bar->resize(0, 40);
    EXPECT_EQ(bar->button(1002)->geometry(), before);
}

TEST_F(OperateBar, EachButtonRunsItsOwnCommandAndHelpIsThisGamesPage) {
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|9000|4|0|9"));
    bar->button(1003)->click();
    EXPECT_TRUE(app.opened.empty());
    EXPECT_EQ(app.settingsDialogs, 0);
    bar->button(1002)->click();
    EXPECT_EQ(app.settingsDialogs, 1);
    EXPECT_TRUE(app.opened.empty());
    bar->button(1001)->click();
    ASSERT_EQ(app.opened.size(), 1u);
    EXPECT_EQ(app.settingsDialogs, 1);
    EXPECT_EQ(app.opened[0], CMyOperateView::HelpUrl(app.WebBaseText(), app.GetGameCode()) + "|0");
    EXPECT_EQ(CMyOperateView::HelpUrl("http://127.0.0.1/w/", "HqLv"),
              "http://127.0.0.1/w/game/HqLv228.html");
    // The mahjong layer's own help is the rules page; its settings are the application's.
    CMJOperateView plain;
    plain.OnCommand(1001);
    ASSERT_EQ(app.opened.size(), 2u);
    EXPECT_EQ(app.opened[1], app.GetRulesUrl() + "|0");
    EXPECT_EQ(app.settingsDialogs, 1);
    plain.OnCommand(1002);
    EXPECT_EQ(app.settingsDialogs, 2);
    EXPECT_EQ(app.opened.size(), 2u);
}

// The settings dialog is the application's operation, which this game's application fills:
// the mahjong layer's bar reaches it as this game's bar does, once per press, and an OK
// keeps the values.
TEST_F(OperateBar, SettingsAreTheApplicationsReachedByEitherBar) {
    CMJOperateView layerBar;
    layerBar.button(1002)->click();
    EXPECT_EQ(app.settingsDialogs, 1);
    bar->button(1002)->click();
    EXPECT_EQ(app.settingsDialogs, 2);
    bar->button(1002)->click();
    EXPECT_EQ(app.settingsDialogs, 3);
    EXPECT_TRUE(app.opened.empty());
    app.accept = true;
    app.offered.silence = 1;
    app.offered.voice = 2;
    layerBar.button(1002)->click();
    EXPECT_EQ(app.settingsDialogs, 4);
    EXPECT_EQ(app.settings().silence, 1);
    EXPECT_EQ(app.settings().voice, 2);
}

TEST_F(OperateBar, PaintsTheEngineTablesColourBlackWithoutABackground) {
    bar->resize(120, 40);
    EXPECT_EQ(bar->FallbackColour(), std::optional<uint32_t>(0));
    EXPECT_EQ(Rendered().pixelColor(100, 1), QColor(0, 0, 0));
}

// Without a background picture the bar shows the table colour of the window-drawn table,
// which that view takes from the skin.
TEST_F(OperateBar, PaintsTheWindowDrawnTablesColourWithoutABackground) {
    const std::string folder = "/tmp/hqlv-operate-colour-" + std::to_string(getpid()) + "/";
    ASSERT_TRUE(platform::makeFolders(folder));
    // 0x123456 as a colour reference: red 0x56, green 0x34, blue 0x12.
    ASSERT_TRUE(
        platform::writeProfileString("CommColors", "TableColor", "1193046", folder + "skin.ini"));
    ASSERT_TRUE(framework::CSkinLibrary::instance().Load(folder + "skin.ini", 1));
    {
        CMJGameTableView gdi(app);
        gdi.ApplySkin();
        ASSERT_EQ(gdi.tableColor(), 0x123456u);
        frame->table = &gdi;
        bar->resize(120, 40);
        EXPECT_EQ(bar->FallbackColour(), std::optional<uint32_t>(0x123456));
        EXPECT_EQ(Rendered().pixelColor(100, 1), QColor(0x56, 0x34, 0x12));
        frame->table = engineTable.get();
    }
    framework::CSkinLibrary::instance().Unload();
    std::filesystem::remove_all(folder);
}

// With no main window, or one without a table view, the bar paints nothing at all.
TEST_F(OperateBar, PaintsNothingWithoutTheMainWindowOrItsTableView) {
    bar->resize(120, 40);
    frame->table = nullptr;
    EXPECT_EQ(bar->FallbackColour(), std::nullopt);
    EXPECT_EQ(Rendered().pixel(100, 1), qRgb(1, 2, 3));
    frame->table = engineTable.get();
    app.SetFrame(nullptr);
    EXPECT_EQ(bar->FallbackColour(), std::nullopt);
    EXPECT_EQ(Rendered().pixel(100, 1), qRgb(1, 2, 3));
}

// The real frames: the engine's table view (this game's) gives 0, the window-drawn one its
// skin colour.
TEST_F(OperateBar, TheFramesOwnTableViewGivesTheColour) {
    struct Frame : CGameFrameEx {
        explicit Frame(CGameAppEx& a) : CGameFrameEx(a) { CreateClient(); }
    };
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|21303|0|0|0"));
    for (int mode : {2, 1}) {
        app.SetSceneMode(mode);
        app.scene().SetSceneMode(mode);
        Frame real(app);
        app.SetFrame(&real);
        auto* own = dynamic_cast<CMJOperateView*>(real.GetOperateView());
        ASSERT_NE(own, nullptr);
        // No skin: the window-drawn view's colour is its default.
        EXPECT_EQ(own->FallbackColour(), std::optional<uint32_t>(mode == 1 ? 0x4000u : 0u)) << mode;
        app.SetFrame(frame.get());
    }
}

TEST_F(OperateBar, ThirdGeometryValueTwoStacksOnlyOnASmallScreen) {
    app.SetSceneValue3(2);
    ASSERT_EQ(app.gameInfo().GetSceneValue3(), 2);
    ASSERT_FALSE(app.IsSmallScreen());
    bar->Layout(250, 40);
    EXPECT_EQ(bar->button(1002)->geometry(), QRect(70, 2, 50, 36));
}

TEST(OperateBarAlone, WithoutAnApplicationCommandsDoNothing) {
    framework::testing::SharedQtApp();
    ASSERT_EQ(framework::CGameApp::Current(), nullptr);
    CMJOperateView plain;
    for (int id : {1001, 1002, 1003, 1004}) plain.OnCommand(id);
    CMyOperateView mine;
    for (int id : {1001, 1002}) mine.OnCommand(id);
}

// The generated default skin as the bar and the tool pane read it.
class GeneratedSkin : public OperateBar {
protected:
    void SetUp() override {
        OperateBar::SetUp();
        folder = "/tmp/hqlv-operate-skin-" + std::to_string(getpid()) + "/";
        ASSERT_TRUE(platform::makeFolders(folder));
        ASSERT_TRUE(assetgen::writeOperateSkin(folder));
        auto settings = std::make_unique<framework::CSkinSettings>("", folder);
        settings->SetSkinPath(folder + "skin.ini");
        app.skin = std::move(settings);
        ASSERT_TRUE(framework::CSkinLibrary::instance().Load(folder + "skin.ini", 1));
    }
    void TearDown() override {
        framework::CSkinLibrary::instance().Unload();
        std::filesystem::remove_all(folder);
        OperateBar::TearDown();
    }
    std::string folder;
};

TEST_F(GeneratedSkin, GivesTheBarItsBackgroundButtonsAndSize) {
    for (int i = 0; i < kOperateButtons; ++i)
        EXPECT_STREQ(assetgen::kOperateButtonKeys[i], kOperateButtonSkinKeys[i]);
    bar->LoadBackground();
    EXPECT_EQ(bar->buttonWidth(), assetgen::kOperateButtonW);
    EXPECT_EQ(bar->buttonHeight(), assetgen::kOperateButtonH);
    // The right-hand column of an 800-pixel screen holds all four, the close button whole.
    bar->Layout(186, 41);
    EXPECT_GE(bar->button(1001)->geometry().left(), 0);
    EXPECT_LE(bar->button(1004)->geometry().right(), 185);
    ASSERT_TRUE(bar->background().has_value());
    for (int id = 1001; id <= 1004; ++id) EXPECT_TRUE(bar->HasButtonPicture(id)) << id;
    EXPECT_FALSE(bar->HasButtonPicture(1000));
    EXPECT_FALSE(bar->HasButtonPicture(1005));
    bar->resize(260, 41);
    bar->Layout(260, 41);
    const QImage shot = bar->grab().toImage();
    // Without the main window not even the picture is painted.
    app.SetFrame(nullptr);
    EXPECT_EQ(Rendered().pixel(3, 40), qRgb(1, 2, 3));
    app.SetFrame(frame.get());
    // The tile's stripe at its rows 39-40 (tiled from the origin) and a button's face.
    EXPECT_EQ(shot.pixel(3, 40) & 0xFFFFFF, assetgen::kOperateStripeColour);
    EXPECT_EQ(shot.pixel(3, 38) & 0xFFFFFF, 0x304862u);
    const QRect quit = bar->button(1004)->geometry();
    EXPECT_EQ(shot.pixel(quit.left() + 6, quit.top() + 6) & 0xFFFFFF, assetgen::kOperateFaceColour);
}

TEST_F(GeneratedSkin, AButtonWithoutItsPictureKeepsThePlainLook) {
    ASSERT_TRUE(platform::writeProfileString("BitmapResource", "OperateIdle", nullptr,
                                             folder + "skin.ini"));
    ASSERT_TRUE(framework::CSkinLibrary::instance().Load(folder + "skin.ini", 1));
    bar->LoadBackground();
    EXPECT_TRUE(bar->HasButtonPicture(1002));
    EXPECT_FALSE(bar->HasButtonPicture(1003));
}

TEST_F(GeneratedSkin, GivesTheToolPaneAWideHeader) {
    CMJToolView tool;
    tool.LoadHeaderBitmap();
    ASSERT_TRUE(tool.header().has_value());
    EXPECT_GE(tool.header()->width(), 302);
}

}  // namespace
}  // namespace hqlv::mahjong
