// The table scene on a headless engine: settings, pictures and creation, the pools, the
// dispatchers, the toolbar, the seat refresh and the action log.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "engine/core/button_frame.h"
#include "engine/core/controls.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/clock.h"
#include "platform/core/profile.h"
#include "rules/tiles.h"
#include "scene_fixture.h"
#include "tests/mahjong/words.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

TEST_F(SceneTest, WithoutIniEveryStyleIsClassicIndexZeroMusicOff) {
    NEED_ASSETS();
    Start();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(scene.GetStyleName(i), "Classic");
    EXPECT_EQ(scene.GetStyleIndex(), 0);
    EXPECT_EQ(scene.GetMusicOn(), 0);
    EXPECT_EQ(scene.GetCurrentStyle(), "Classic");
    EXPECT_NE(Log().find("游戏数据初始化开始"), std::string::npos);
    EXPECT_NE(Log().find("游戏数据初始化完毕"), std::string::npos);
    scene.Cleanup();
    EXPECT_EQ(platform::getProfileInt("SKIN", "Default", -1, host.ini), 0);
    EXPECT_EQ(platform::getProfileInt("GAMESET", "Music", -1, host.ini), 0);
}

// Before the engine runs there is nothing to make a button in: the scene says so with 0.
TEST_F(SceneTest, WithoutAnEngineNoButtonIsMade) {
    const engine::ImageInfo info{};
    EXPECT_EQ(scene.CreateImageButton(10, 10, info, 210036, 0xFF00FF), 0u);
}

TEST_F(SceneTest, StyleIndexOutsideTheThreeTakesTheFirst) {
    NEED_ASSETS();
    for (const char* value : {"3", "-1", "x7"}) {
        platform::writeProfileString("SKIN", "Default", value, host.ini);
        platform::writeProfileString("SKIN", "Style0", "Classic", host.ini);
        scene.LoadGameSettings();
        EXPECT_EQ(scene.GetStyleIndex(), 0) << value;
    }
    platform::writeProfileString("SKIN", "Default", "2", host.ini);
    platform::writeProfileString("GAMESET", "Music", "1", host.ini);
    scene.LoadGameSettings();
    EXPECT_EQ(scene.GetStyleIndex(), 2);
    EXPECT_EQ(scene.GetMusicOn(), 1);
}

TEST_F(SceneTest, AnEmptyStyleNameIsTheDefaultStyle) {
    NEED_ASSETS();
    platform::writeProfileString("SKIN", "Style0", "", host.ini);
    platform::writeProfileString("SKIN", "Style1", "Blue", host.ini);
    platform::writeProfileString("SKIN", "Style2", "", host.ini);
    scene.LoadGameSettings();
    EXPECT_EQ(scene.GetStyleName(0), "Classic");
    EXPECT_EQ(scene.GetStyleName(1), "Blue");
    EXPECT_EQ(scene.GetStyleName(2), "Classic");
    EXPECT_EQ(scene.GetCurrentStyle(), "Classic");
    EXPECT_NE(scene.Picture("桌面"), 0u);
    EXPECT_NE(Log().find("皮肤设置Style0为空"), std::string::npos);
    EXPECT_NE(Log().find("皮肤设置Style2为空"), std::string::npos);
    EXPECT_EQ(Log().find("皮肤设置Style1为空"), std::string::npos);
}

TEST_F(SceneTest, PicturesLoadKeyedUnderTheirDescriptions) {
    NEED_ASSETS();
    Start();
    struct Case {
        const char* description;
        int width, height;
    };
    const Case cases[] = {{"骰子1", 954, 99},  {"骰子12", 954, 99},     {"开始", 80, 30},
                          {"数字", 80, 17},    {"东南西北", 236, 61},   {"BUFF", 180, 30},
                          {"桌面", 744, 710},  {"正面大图", 2538, 77},  {"正面中图1", 1222, 36},
                          {"钟指针", 448, 56}, {"碰杠吃胡过", 240, 40}, {"系统栏右", 12, 36}};
    for (const Case& c : cases) {
        engine::EnginePicture* pic = scene.GetPicture(scene.Picture(c.description));
        ASSERT_NE(pic, nullptr) << c.description;
        EXPECT_EQ(pic->width, c.width) << c.description;
        EXPECT_EQ(int(pic->totalRows()), c.height) << c.description;
    }
    // The dice are keyed pure blue: their corner is transparent; the table cloth is not.
    auto alphaAt = [&](const char* d, int x, int y) {
        engine::EnginePicture* p = scene.GetPicture(scene.Picture(d));
        return p->pixels[(size_t(y) * p->width + size_t(x)) * 4 + 3];
    };
    EXPECT_EQ(alphaAt("骰子3", 0, 0), 0);
    EXPECT_EQ(alphaAt("开始", 0, 0), 0);
    EXPECT_EQ(alphaAt("桌面", 0, 0), 255);
    EXPECT_EQ(alphaAt("数字", 0, 0), 255);  // keyed green, and it has none
    // Releasing the style gives back its pictures only; the common ones stay.
    scene.ReleaseSkinPictures();
    for (const char* style : {"桌面", "正面大图", "系统栏右"}) EXPECT_EQ(scene.Picture(style), 0u);
    EXPECT_NE(scene.Picture("开始"), 0u);
}

TEST_F(SceneTest, MetricsCentreAndStakeFollowTheScreenHeight) {
    NEED_ASSETS();
    struct Case {
        int height, tileWidth, tileHeight, stripWidth, centreTop;
    };
    // Below 601 the small tiles and a centre lifted by 10 instead of 30.
    for (const Case& c :
         {Case{710, 54, 77, 2538, 355 - 60 - 30}, Case{600, 42, 60, 1974, 300 - 60 - 10}}) {
        SCOPED_TRACE(c.height);
        Start(c.height);
        EXPECT_EQ(scene.Metrics().largeWidth, c.tileWidth);
        EXPECT_EQ(scene.Metrics().largeHeight, c.tileHeight);
        EXPECT_EQ(scene.GetPicture(scene.Picture("正面大图"))->width, c.stripWidth);
        MJRect r, s;
        scene.GetCentreRect(r);
        EXPECT_EQ(r.left, 744 / 2 - 106);
        EXPECT_EQ(r.top, c.centreTop);
        EXPECT_EQ(r.right - r.left, 212);
        EXPECT_EQ(r.bottom - r.top, 120);
        scene.GetStakeTextRect(s);
        EXPECT_EQ(s.left, r.left + 10 + 65 + 10);
        EXPECT_EQ(s.top, r.top);
        EXPECT_EQ(s.right, r.right);
        EXPECT_EQ(s.bottom, r.bottom);
        scene.Cleanup();
    }
}

TEST_F(SceneTest, CreationMakesTheFixedEntitiesAndControls) {
    NEED_ASSETS();
    Start();
    engine::GameKernel& k = scene.GetKernel();
    const auto& made = scene.Entities();
    // Every binding and the dragged tile have their entity, hidden, showing the back.
    for (int i = 1; i <= kBindingCount; ++i) {
        engine::Entity* e = k.FindEntity(scene.Binding(i)->entityId);
        ASSERT_NE(e, nullptr) << i;
        EXPECT_FALSE(e->IsVisible());
        EXPECT_EQ(e->GetWidth(), 54);
    }
    EXPECT_NE(k.FindEntity(made.dragTile), nullptr);
    for (int i = 1; i <= kTileControlCount; ++i)
        EXPECT_NE(k.FindControl(scene.TileControl(i)->controlId), nullptr);
    ASSERT_NE(made.operationBar, nullptr);
    ASSERT_NE(made.systemBar, nullptr);
    EXPECT_EQ(made.operationBar->Slots().size(), 5u);
    EXPECT_EQ(made.systemBar->Slots().size(), 6u);
    // Operation bar places: pass 0, hu 1, gang 2, peng 3, chi 4.
    const uint32_t order[] = {made.pass, made.hu, made.gang, made.peng, made.chi};
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(made.operationBar->Slots()[i].controlId, order[i]) << i;
    // Five different tool buttons, each in its own place of the system bar.
    const std::set<uint32_t> tools(std::begin(made.toolButtons), std::end(made.toolButtons));
    EXPECT_EQ(tools.size(), 5u);
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_NE(k.FindControl(made.toolButtons[i]), nullptr) << i;
        EXPECT_EQ(made.systemBar->Slots()[i].controlId, made.toolButtons[i]) << i;
    }
    // The screenshot button's caption stands at (0, 8) of the 30 × 30 button in the plane's
    // own style (15 high: one line of two characters across the button); the other
    // captions at 0.
    for (uint32_t i = 0; i < 5; ++i) {
        auto* b = dynamic_cast<engine::AdvButton*>(k.FindControl(made.toolButtons[i])->owner);
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(b->SaveState().captionX, 0) << i;
        EXPECT_EQ(b->SaveState().captionY, i == 4 ? 8 : 0) << i;
    }
    auto* shot = dynamic_cast<engine::AdvButton*>(k.FindControl(made.toolButtons[4])->owner);
    EXPECT_EQ(shot->Caption(), "截屏");
    ASSERT_NE(shot->TextEntity(), nullptr);
    EXPECT_EQ(shot->TextEntity()->State()->style.height, 15);
    EXPECT_EQ(scene.IsGameRunning(), 0);
    // The claim buttons show their cells of the claim strip.
    auto* peng =
        static_cast<engine::ImageEntity*>(k.FindEntity(k.FindControl(made.peng)->entityId));
    EXPECT_EQ(peng->GetWidth(), 40);
    // The start button shows the 80 x 30 cell at the picture's origin.
    engine::Entity* start = k.FindEntity(k.FindControl(made.start)->entityId);
    EXPECT_EQ(std::pair(start->GetWidth(), start->GetHeight()), std::pair(80, 30));
    EXPECT_EQ(k.FindControl(made.peng)->GetEvent(25)->code, 210026u);
    EXPECT_EQ(k.FindControl(made.start)->GetEvent(25)->code, 210023u);
    EXPECT_EQ(k.FindEntity(made.clockFace)->GetZ(), 5000);
    EXPECT_EQ(k.FindEntity(made.clockHand)->GetZ(), 5001);
    for (uint32_t w : made.windMarks) EXPECT_EQ(k.FindEntity(w)->GetWidth(), 59);
    EXPECT_DOUBLE_EQ(k.FindEntity(made.panels[0])->GetRotation(), 270.0);
    EXPECT_DOUBLE_EQ(k.FindEntity(made.panels[2])->GetRotation(), 90.0);
    EXPECT_EQ(k.FindEntity(made.panels[1])->GetChildCount(), 10u);
    EXPECT_EQ(k.FindEntity(made.hand)->GetChildCount(), 5u);
    for (uint32_t p : made.particles) {
        auto* sparks = static_cast<engine::ParticleEntity*>(k.FindEntity(p));
        ASSERT_NE(sparks->State(), nullptr);
        ASSERT_NE(sparks->State()->params, nullptr);
        EXPECT_EQ(*sparks->State()->params, (engine::ParticleParams{54, 77, 30, 4, 0}));
    }
    for (uint32_t d : made.dice) EXPECT_EQ(k.FindEntity(d)->GetWidth(), 106);
    // A rolling sequence for each of the twelve dice pictures: nine frames of 106 × 99 side
    // by side, 60 ms each.
    for (int n = 0; n < 12; ++n) {
        const engine::FrameSequence* face = scene.DiceFace(n);
        ASSERT_NE(face, nullptr) << n;
        EXPECT_EQ(face->frameWidth, 106);
        EXPECT_EQ(face->frameHeight, 99);
        ASSERT_EQ(face->frames.size(), 9u) << n;
        for (size_t f = 0; f < 9; ++f) {
            EXPECT_EQ(face->frames[f].resourceId, scene.Picture("骰子" + std::to_string(n + 1)));
            EXPECT_EQ(face->frames[f].srcX, int32_t(106 * f));
            EXPECT_EQ(face->frames[f].duration, 60u);
        }
        EXPECT_NE(face->frames[0].resourceId, 0u);
    }
    EXPECT_EQ(scene.DiceFace(12), nullptr);
    EXPECT_EQ(scene.DiceFace(-1), nullptr);
    // The auto-play notice sits in the middle of the table centre; the note board over the
    // system bar.
    MJRect centre;
    scene.GetCentreRect(centre);
    EXPECT_EQ(k.FindEntity(made.autoPlay)->GetX(), (centre.left + centre.right) / 2);
    EXPECT_EQ(k.FindEntity(made.autoPlay)->GetY(), (centre.top + centre.bottom) / 2);
    EXPECT_EQ(k.FindEntity(made.note)->GetZ(), made.systemBar->FrameEntity()->GetZ() + 50);
    EXPECT_EQ(k.FindEntity(made.arrow)->GetZ(), made.systemBar->FrameEntity()->GetZ() + 100);
}

TEST_F(SceneTest, PoolsRefuseTheNextAfterTheLastWithALogLine) {
    NEED_ASSETS();
    Start();
    for (int i = 1; i <= kBindingCount; ++i) {
        const int b = scene.AllocEntity();
        ASSERT_EQ(b, i);
        scene.Binding(b)->area = kAreaWall;
    }
    EXPECT_EQ(scene.AllocEntity(), 0);
    EXPECT_NE(Log().find("实体请求错误，已无空闲实体!"), std::string::npos);
    for (int i = 1; i <= kTileControlCount; ++i) {
        const int c = scene.AllocControl();
        ASSERT_EQ(c, i);
        scene.TileControl(c)->inUse = 1;
    }
    EXPECT_EQ(scene.AllocControl(), 0);
    EXPECT_NE(Log().find("控件请求错误，已无空闲实体!"), std::string::npos);
    // A released binding is the next one given out.
    scene.ReleaseBinding(nullptr, scene.Binding(200));
    EXPECT_EQ(scene.AllocEntity(), 200);
}

// Binds own-hand record `index` to binding b with tile control c, as the binding code does.
void BindOwnTile(CMJGameScene2& scene, int b, int c, int index, int code) {
    MJTileInfo* r = scene.GetTileRecord(kAreaHand, kOwnView, index);
    *r = MJTileInfo{};
    r->nCode = code, r->bPresent = 1, r->bHand = 1, r->nFace = 2, r->nView = kOwnView,
    r->nObject = b;
    MJBinding* m = scene.Binding(b);
    m->area = kAreaHand, m->view = kOwnView, m->index = index, m->face = 2, m->code = code;
    m->control = c;
    scene.SetTileControl(m);
}

TEST_F(SceneTest, ReleaseBindingFreesEntityAndControl) {
    NEED_ASSETS();
    Start();
    BindOwnTile(scene, 5, 3, 1, 12);
    engine::GameKernel& k = scene.GetKernel();
    engine::Entity* e = k.FindEntity(scene.Binding(5)->entityId);
    e->Show();
    e->SetAlpha(0.3);
    EXPECT_EQ(k.FindControl(scene.TileControl(3)->controlId)->entityId, e->GetId());
    MJTileInfo* r = scene.GetTileRecord(kAreaHand, kOwnView, 1);
    scene.ReleaseRecordBinding(r);
    EXPECT_EQ(r->nObject, 0);
    EXPECT_EQ(scene.Binding(5)->area, 0);
    EXPECT_EQ(scene.Binding(5)->code, kHiddenTile);
    EXPECT_EQ(scene.Binding(5)->control, 0);
    EXPECT_FALSE(e->IsVisible());
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 1.0);
    EXPECT_EQ(static_cast<engine::ImageEntity*>(e)->GetColorWord(), 0xFF00FFu);
    EXPECT_EQ(scene.TileControl(3)->inUse, 0);
    EXPECT_EQ(k.FindControl(scene.TileControl(3)->controlId)->entityId, 0u);
    // A record without a binding is left alone.
    scene.ReleaseRecordBinding(r);
    scene.SetTileControl(nullptr);
    EXPECT_NE(Log().find("麻将牌控件设置错误，一个为空的麻将结构!"), std::string::npos);
    MJBinding loose;
    scene.SetTileControl(&loose);
    EXPECT_NE(Log().find("麻将牌控件设置错误，麻将控件未绑定!"), std::string::npos);
}

TEST_F(SceneTest, CheckBindingsReleasesChangedRecordsAndLogsADuplicate) {
    NEED_ASSETS();
    Start();
    // One binding per way its record can stop matching, and one that still matches.
    struct Change {
        const char* what;
        void (*apply)(MJTileInfo&);
    };
    const Change changes[] = {
        {"absent", [](MJTileInfo& r) { r.bPresent = 0; }},
        {"melded in the hand area", [](MJTileInfo& r) { r.nMeld = 1; }},
        {"left the hand", [](MJTileInfo& r) { r.bHand = 0; }},
        {"face", [](MJTileInfo& r) { r.nFace = 1; }},
        {"direction", [](MJTileInfo& r) { r.nDirection = 2; }},
        {"code", [](MJTileInfo& r) { r.nCode = 13; }},
        {"locked", [](MJTileInfo& r) { r.bLocked = 1; }},
        {"view", [](MJTileInfo& r) { r.nView = 1; }},
        {"selected", [](MJTileInfo& r) { r.bSelected = 1; }},
    };
    int b = 1;
    for (const Change& c : changes) {
        BindOwnTile(scene, b, 0, b, 12);
        c.apply(*scene.GetTileRecord(kAreaHand, kOwnView, b));
        ++b;
    }
    BindOwnTile(scene, 20, 0, 12, 30);  // unchanged
    BindOwnTile(scene, 21, 0, 13, 31);
    scene.GetTileRecord(kAreaHand, kOwnView, 13)->nObject = 99;  // points elsewhere
    scene.CheckBindings();
    for (int i = 1; i < b; ++i) EXPECT_EQ(scene.Binding(i)->area, 0) << changes[i - 1].what;
    EXPECT_EQ(scene.Binding(20)->area, kAreaHand);
    EXPECT_EQ(scene.Binding(21)->area, kAreaHand);
    EXPECT_NE(Log().find("麻将实体绑定错误，一个重复的可用绑定:mj->nObject:99,i:21"),
              std::string::npos);
    // A meld-area binding of a concealed record is stale; a meld record is not.
    BindOwnTile(scene, 30, 0, 14, 40);
    scene.Binding(30)->area = kAreaMeld;
    scene.GetTileRecord(kAreaHand, kOwnView, 14)->nObject = 30;
    BindOwnTile(scene, 31, 0, 15, 41);
    scene.Binding(31)->area = kAreaMeld;
    scene.GetTileRecord(kAreaHand, kOwnView, 15)->nMeld = 1;
    scene.GetTileRecord(kAreaHand, kOwnView, 15)->bHand = 1;
    scene.CheckBindings();
    EXPECT_EQ(scene.Binding(30)->area, 0);
    EXPECT_EQ(scene.Binding(31)->area, kAreaMeld);
}

TEST_F(SceneTest, MessagesGoToTheirDispatcherByRange) {
    struct Probe : CMJGameScene2 {
        int OnTileEvent(uint32_t c, engine::MessageData&, uint32_t) override {
            return got.push_back(1000000 + c), 1;
        }
        int OnControlEvent(uint32_t c, engine::MessageData&, uint32_t) override {
            return got.push_back(2000000 + c), 1;
        }
        int OnSystemEvent(uint32_t c, engine::MessageData&, uint32_t) override {
            return got.push_back(3000000 + c), 1;
        }
        int OnEngineNotify(uint32_t c, engine::MessageData&, uint32_t) override {
            return got.push_back(4000000 + c), 0;
        }
        int OnOtherMessage(uint32_t c, engine::MessageData&, uint32_t) override {
            return got.push_back(5000000 + c), 1;
        }
        std::vector<uint32_t> got;
    } probe;
    const uint32_t codes[] = {210000, 210001, 210009, 210010, 210022, 210023,
                              210040, 210041, 210063, 210064, 0};
    for (uint32_t c : codes) {
        engine::MessageData d;
        probe.OnMessage(c, d, 0);
    }
    EXPECT_EQ(probe.got,
              (std::vector<uint32_t>{5210000, 3210001, 3210009, 1210010, 1210022, 2210023, 2210040,
                                     4210041, 4210063, 5210064, 5000000}));
}

TEST_F(SceneTest, ButtonsButTheHoverAndTheLastEndTheMissedTurnCount) {
    struct Quiet : CMJGameScene2 {
        void AskToSeeTiles() override {}
        void SaveScreenshot() override {}
        void ToggleMusic() override {}
        void NextSkin() override {}
        void ToggleAutoPlay() override {}  // it sets the count itself
    } quiet;
    quiet.SetSceneHost(&host);
    for (uint32_t code = 210023; code <= 210040; ++code) {
        quiet.SetTimeoutCount(3);
        engine::MessageData d;
        EXPECT_EQ(quiet.OnMessage(code, d, 0), 1);
        const bool keeps = code == 210036 || code == 210040;
        EXPECT_EQ(quiet.GetTimeoutCount(), keeps ? 3 : 0) << code;
    }
}

TEST_F(SceneTest, TileClickCodeFollowsSelectModeAndClock) {
    struct Case {
        int clock, mode, drawn;
        uint32_t code;
    };
    const Case cases[] = {{6, 0, 1, 210018}, {6, 0, 0, 0}, {6, 1, 0, 210015}, {6, 2, 0, 210016},
                          {6, 3, 0, 210017}, {6, 4, 1, 0}, {4, 0, 1, 0},      {0, 3, 0, 0}};
    for (const Case& c : cases) {
        scene.SetClockPosition(c.clock);
        scene.SetSelectMode(c.mode);
        scene.GetTileRecord(kAreaHand, kOwnView, 0)->bPresent = c.drawn;
        EXPECT_EQ(scene.TileClickCode(), c.code) << c.clock << " " << c.mode << " " << c.drawn;
    }
}

TEST_F(SceneTest, TileControlEventsPerPlayerAndLookerOn) {
    NEED_ASSETS();
    Start();
    scene.SetClockPosition(6);
    BindOwnTile(scene, 1, 1, 0, 12);  // record 0 present: a drawn tile
    engine::ControlData* c = scene.GetKernel().FindControl(scene.TileControl(1)->controlId);
    const uint32_t player[][2] = {{2, 210013}, {3, 210014},  {6, 210019},
                                  {7, 210021}, {11, 210020}, {8, 210018}};
    for (auto [slot, code] : player) {
        EXPECT_EQ(c->GetEvent(slot)->code, code) << slot;
        EXPECT_EQ(c->GetEvent(slot)->data, 1u) << slot;    // names the tile control
        EXPECT_EQ(c->GetEvent(slot)->target, 0u) << slot;  // to the scene's message hook
    }
    host.lookerOn = 1;
    scene.SetTileControl(scene.Binding(1));
    EXPECT_EQ(c->GetEvent(2)->code, 210011u);
    EXPECT_EQ(c->GetEvent(3)->code, 210012u);
    for (uint32_t slot : {6u, 7u, 8u, 11u}) {
        const engine::EventSlot* ev = c->GetEvent(slot);
        EXPECT_TRUE(!ev || ev->code == 0) << slot;
    }
}

TEST_F(SceneTest, ALookerOnsTileOnlyChangesAlphaAndCursor) {
    NEED_ASSETS();
    Start();
    host.lookerOn = 1;
    BindOwnTile(scene, 1, 1, 1, 12);
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Binding(1)->entityId);
    EXPECT_EQ(Dispatch(210011, 1), 1);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.8);
    EXPECT_EQ(scene.GetMouseManager()->CurrentCursor(), 32649u);
    EXPECT_EQ(host.sounds.back(), 29100 * 100 + 0x11);
    EXPECT_EQ(Dispatch(210012, 1), 1);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 1.0);
    EXPECT_EQ(scene.GetMouseManager()->CurrentCursor(), 32512u);
    // Clicks and drags of a looker-on do nothing; an unknown tile control is ignored.
    const size_t sounds = host.sounds.size();
    for (uint32_t code = 210013; code <= 210021; ++code) EXPECT_EQ(Dispatch(code, 1), 1);
    EXPECT_EQ(host.sounds.size(), sounds);
    EXPECT_EQ(Dispatch(210011, 0), 1);
    EXPECT_EQ(Dispatch(210011, 32), 1);
    EXPECT_EQ(Dispatch(210011, 2), 1);  // a control not in use
    EXPECT_EQ(host.sounds.size(), sounds);
}

TEST_F(SceneTest, NextSkinWithThreeEqualNamesChangesNothing) {
    NEED_ASSETS();
    Start();
    const uint32_t cloth = scene.Picture("桌面");
    audio->clear();
    scene.NextSkin();
    EXPECT_TRUE(audio->calls().empty());
    EXPECT_EQ(scene.GetStyleIndex(), 0);
    EXPECT_EQ(scene.Picture("桌面"), cloth);
    EXPECT_EQ(scene.GetKernel().GetMessageCount(), 0u);
}

TEST_F(SceneTest, NextSkinTakesTheNextDifferentName) {
    NEED_ASSETS();
    std::filesystem::create_directory_symlink(BuiltProgramFolder() + "skins/Classic",
                                              host.program + "skins/Other");
    platform::writeProfileString("SKIN", "Style1", "Classic", host.ini);
    platform::writeProfileString("SKIN", "Style2", "Other", host.ini);
    Start();
    scene.ToggleMusic();
    audio->clear();
    scene.NextSkin();
    EXPECT_EQ(scene.GetStyleIndex(), 2);
    EXPECT_EQ(scene.GetCurrentStyle(), "Other");
    EXPECT_TRUE(scene.Entities().operationBar->FrameEntity()->IsVisible());
    EXPECT_TRUE(scene.Entities().systemBar->FrameEntity()->IsVisible());
    // The playing music starts again from the new style's sound folder.
    bool reopened = false;
    for (const auto& call : audio->calls())
        reopened |= call.kind == platform::RecordingAudio::Kind::kOpenMusic &&
                    call.data == host.program + "sound/Other/default.mp3";
    EXPECT_TRUE(reopened);
    EXPECT_EQ(scene.GetKernel().GetMessageCount(), 1u);  // 210056: the tip goes
    scene.Cleanup();
    EXPECT_EQ(platform::getProfileInt("SKIN", "Default", -1, host.ini), 2);
}

TEST_F(SceneTest, ToggleMusicOpensPlaysAndClosesTheTune) {
    using Kind = platform::RecordingAudio::Kind;
    scene.ToggleMusic();  // no engine yet: nothing
    EXPECT_EQ(scene.GetMusicOn(), 0);
    EXPECT_TRUE(audio->calls().empty());
    NEED_ASSETS();
    Start();
    audio->clear();
    scene.ToggleMusic();
    EXPECT_EQ(scene.GetMusicOn(), 1);
    ASSERT_GE(audio->calls().size(), 2u);
    EXPECT_EQ(audio->calls()[0].kind, Kind::kOpenMusic);
    EXPECT_EQ(audio->calls()[0].data, host.program + "sound/Classic/default.mp3");
    scene.ToggleMusic();
    EXPECT_EQ(scene.GetMusicOn(), 0);
    EXPECT_EQ(audio->calls().back().kind, Kind::kCloseMusic);
    // A tune that is open but not playing is played again.
    scene.GetKernel().GetSoundPlayer().OpenMusic("default.mp3");
    scene.ToggleMusic();
    EXPECT_EQ(scene.GetMusicOn(), 1);
    EXPECT_EQ(audio->calls().back().kind, Kind::kPlayMusic);
    scene.ToggleMusic();
    scene.Cleanup();
    EXPECT_EQ(platform::getProfileInt("GAMESET", "Music", -1, host.ini), 0);
}

TEST_F(SceneTest, ScreenshotLineOnlyWhenTheFileWasWritten) {
    platform::ManualClock clock;
    clock.setLocalTime({2026, 12, 7, 9, 5, 3, 0, 1});
    platform::Clock* before = platform::setClock(&clock);
    scene.SaveScreenshot();
    platform::setClock(before);
    EXPECT_EQ(host.shots[0], host.program + "temp/HqLv_1002_20261207_90503.jpg@75");
    const std::string path = host.shots[0].substr(0, host.shots[0].find('@'));
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_EQ(host.chat.size(), 1u);
    EXPECT_EQ(host.chat[0], "<c=255>[系统]：<c=16711680>游戏截图已保存到" + path + "\r\n");
    host.shotWorks = false;
    scene.SaveScreenshot();
    EXPECT_EQ(host.chat.size(), 1u);
    EXPECT_NE(Log().find("游戏截图保存失败"), std::string::npos);
    // No temp folder can be made: nothing is asked of the writer.
    std::filesystem::remove_all(host.program + "temp");
    std::ofstream(host.program + "temp") << "a file where the folder goes";
    host.shotWorks = true;
    scene.SaveScreenshot();
    EXPECT_EQ(host.shots.size(), 2u);
    EXPECT_EQ(host.chat.size(), 1u);
    // Without the application there is nothing to write with.
    scene.SetSceneHost(nullptr);
    scene.SaveScreenshot();
    scene.SetSceneHost(&host);
    EXPECT_EQ(host.shots.size(), 2u);
}

TEST_F(SceneTest, AskToSeeTilesOnlyForALookerOnInADeal) {
    NEED_ASSETS();
    Start();
    struct Requests : CMJRequests {
        int SendKanPaiAsk() override { return ++asks; }
        int SendKanPaiAnswer(int, int) override { return 0; }
        int SendPass(std::string&, MJData) override { return 0; }
        int SendHu(std::string&, MJData) override { return 0; }
        int QueryRequest(std::string&, int, MJData, std::span<uint8_t>, int*) override { return 0; }
        int SendPengConfirm(std::string&, MJData, int*) override { return 0; }
        int SendChiConfirm(std::string&, MJData, int*) override { return 0; }
        void SendChi(std::string&, MJData) override {}
        void SendPeng(std::string&, MJData) override {}
        int SendGang(std::string&, MJData, std::span<uint8_t>) override { return 0; }
        int SendPlayTile(std::string&, MJData) override { return 0; }
        int SendPlayTileWait(std::string&, MJData) override { return 0; }
        void SendPlayTileNoWait(std::string&, MJData) override {}
        int SendDrawTile(std::string&, MJData, std::span<uint8_t>) override { return 0; }
        void SendDrawTileNoWait(std::string&, MJData) override {}
        int SendFlower(std::string&, MJData, std::span<uint8_t>) override { return 0; }
        int SendNetworkBroken() override { return 0; }
        int Send229500(int) override { return 0; }
        int Send229505() override { return 0; }
        int asks = 0;
    } requests;
    host.requests = &requests;
    host.playing = 1;
    scene.AskToSeeTiles();  // a player: nothing
    host.lookerOn = 1;
    host.field13Bit8 = 1;
    scene.AskToSeeTiles();  // field 13 bit 8: nothing
    host.field13Bit8 = 0;
    host.playing = 0;
    scene.AskToSeeTiles();  // no deal: nothing
    EXPECT_EQ(requests.asks, 0);
    host.playing = 1;
    Dispatch(210024);
    EXPECT_EQ(requests.asks, 1);
    EXPECT_EQ(host.timers, (std::vector<int>{7 * 100000 + 15000}));
    EXPECT_EQ(host.sounds.back(), 29010 * 100 + 5);
    ASSERT_EQ(host.chat.size(), 1u);
    EXPECT_EQ(host.chat[0], " <c=2906200>请求西家给我看牌\r\n");
    engine::Entity* ask =
        scene.GetKernel().FindEntity(scene.GetKernel().FindControl(scene.Entities().ask)->entityId);
    EXPECT_DOUBLE_EQ(ask->GetAlpha(), 0.3);
    scene.OnTimer(7);
    EXPECT_EQ(host.killed, (std::vector<int>{7}));
    EXPECT_DOUBLE_EQ(ask->GetAlpha(), 0.8);
    EXPECT_EQ(scene.GetKernel().FindControl(scene.Entities().ask)->GetEvent(2)->code, 210036u);
}

TEST_F(SceneTest, ChangeTableAndTableOptionFollowField13) {
    struct Case {
        uint32_t bits;
        int changes, options;
    };
    const Case cases[] = {{0, 0, 0},    {0x40, 0, 0}, {0x80, 0, 0},
                          {0xC0, 1, 0}, {0xC2, 0, 1}, {0x2, 0, 1}};
    for (const Case& c : cases) {
        host.changeTables = host.tableOptions = 0;
        host.field13 = c.bits;
        Dispatch(210038);
        Dispatch(210039);
        EXPECT_EQ(host.changeTables, c.changes) << c.bits;
        EXPECT_EQ(host.tableOptions, c.options) << c.bits;
    }
}

// A seat mark: 30 x 30, its centre 30 (farther: 60) right of the point and 25 below it.
TEST_F(SceneTest, ASeatMarkStandsRightOfAndBelowItsPoint) {
    if (!HaveAssets()) GTEST_SKIP();
    Start();
    auto* mark = static_cast<engine::ImageEntity*>(
        scene.GetKernel().FindEntity(scene.Entities().icons[0][0]));
    ASSERT_NE(mark, nullptr);
    mark->SetSize(7, 9);
    struct Case {
        int x, y, farther, cx, cy;
    } cases[] = {{100, 200, 0, 130, 225}, {100, 200, 1, 160, 225}, {-40, 0, 5, 20, 25}};
    for (const Case& c : cases) {
        scene.PlaceSeatMark(mark, c.x, c.y, c.farther);
        EXPECT_EQ(mark->GetX(), c.cx) << c.farther;
        EXPECT_EQ(mark->GetY(), c.cy) << c.farther;
        EXPECT_EQ(mark->GetWidth(), 30);
        EXPECT_EQ(mark->GetHeight(), 30);
    }
    scene.PlaceSeatMark(nullptr, 1, 2, 0);  // no mark: nothing
    // A seat's row: the marks one after another 30 apart, the first 6 past the name's end,
    // on the plane's middle line (view 1's plane is not turned).
    draw.SetSeatName(1, "南家");
    scene.ShowSeatInfo(1);
    for (int i = 0; i < 3; ++i) scene.SetSeatIcon(1, 1);
    const engine::Entity* panel = scene.GetKernel().FindEntity(scene.Entities().panels[1]);
    ASSERT_NE(panel, nullptr);
    const int first = panel->GetX() + scene.SeatNameWidth(1) / 2 + 6 + 15;
    for (int i = 0; i < 3; ++i) {
        const engine::Entity* icon = scene.GetKernel().FindEntity(scene.Entities().icons[1][i]);
        ASSERT_NE(icon, nullptr);
        EXPECT_TRUE(icon->IsVisible()) << i;
        EXPECT_EQ(icon->GetX(), first + 30 * i) << i;
        EXPECT_EQ(icon->GetY(), panel->GetY()) << i;
    }
}

TEST_F(SceneTest, ButtonPicturesCutTheirStrips) {
    struct Case {
        uint32_t code;
        int left, right, bottom;
    };
    const Case cases[] = {{210026, 0, 40, 40},    {210027, 40, 80, 40},   {210025, 80, 120, 40},
                          {210028, 120, 160, 40}, {210029, 160, 200, 40}, {210030, 60, 90, 30},
                          {210031, 90, 120, 30},  {210032, 120, 150, 30}, {210033, 150, 180, 30}};
    for (const Case& c : cases) {
        MJRect r{-1, -1, -1, -1};
        scene.GetButtonPicture(r, c.code);
        EXPECT_EQ(r.left, c.left) << c.code;
        EXPECT_EQ(r.top, 0) << c.code;
        EXPECT_EQ(r.right, c.right) << c.code;
        EXPECT_EQ(r.bottom, c.bottom) << c.code;
    }
    // Codes without a picture empty the rectangle.
    for (uint32_t code : {210024u, 210034u, 210037u}) {
        MJRect r{1, 2, 3, 4};
        scene.GetButtonPicture(r, code);
        EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0) << code;
    }
}

TEST_F(SceneTest, TableDrawResetNamesOnlySeatsWithAView) {
    host.chair = 1;
    host.names = {{0, "甲"}, {1, "乙"}, {2, "丙"}, {3, ""}, {5, "戊"}};
    draw.SeatMutable(0)->name = "old";
    draw.SetAllHighlights(1);
    scene.OnTableDrawReset();
    for (int v = 0; v < 4; ++v) EXPECT_EQ(draw.Seat(v)->highlight, 0) << v;
    // Own chair 1 → view 3; chair 2 → 0; chair 0 → 2; chair 3 (no name) stays empty.
    EXPECT_EQ(draw.Seat(3)->name, "乙");
    EXPECT_EQ(draw.Seat(0)->name, "丙");
    EXPECT_EQ(draw.Seat(2)->name, "甲");
    EXPECT_EQ(draw.Seat(1)->name, "");
    // Before seating no chair has a view: nothing is named.
    host.chair = -1;
    scene.OnTableDrawReset();
    for (int v = 0; v < 4; ++v) EXPECT_EQ(draw.Seat(v)->name, "") << v;
    // Without the application there is no table-drawing object to reset.
    draw.SetAllHighlights(1);
    scene.SetSceneHost(nullptr);
    scene.OnTableDrawReset();
    scene.SetSceneHost(&host);
    for (int v = 0; v < 4; ++v) EXPECT_EQ(draw.Seat(v)->highlight, 1) << v;
}

TEST_F(SceneTest, ActionLogKeepsItsIdsWithSequenceAndOwnCount) {
    host.chair = 2;
    const auto body = Words(16, {{0, 1002}, {11, 2}, {15, 77}});
    const auto other = Words(12, {{11, 1}});
    scene.RecordAction(229160, body);  // a draw: the empty hook
    EXPECT_TRUE(scene.ActionLog().empty());
    for (uint32_t id : {221170u, 229080u, 229185u, 229190u, 229195u, 229197u, 229199u})
        scene.RecordGameNotify(id, body);
    scene.RecordGameNotify(229210, body);
    ASSERT_EQ(scene.ActionLog().size(), 7u);
    EXPECT_EQ(scene.OwnActionCount(), 7);
    const MJActionEntry& e = scene.ActionLog()[1];
    EXPECT_EQ(e.sequence, 2);
    EXPECT_EQ(e.id, 229080);
    EXPECT_EQ(e.chair, 2);
    EXPECT_EQ(e.body[0], 1002);
    EXPECT_EQ(e.body[15], 77);
    // A hu body of 48 bytes: what there is, the rest zero.
    scene.RecordGameNotify(229080, other);
    EXPECT_EQ(scene.ActionLog().back().chair, 1);
    EXPECT_EQ(scene.ActionLog().back().body[12], 0);
    EXPECT_EQ(scene.OwnActionCount(), 7);
    // Too short for word 11: logged, no seat, not own.
    scene.RecordGameNotify(229080, Words(2, {{0, 5}}));
    EXPECT_EQ(scene.ActionLog().back().chair, -1);
    EXPECT_EQ(scene.ActionLog().back().body[0], 5);
    scene.RecordGameNotify(229185, MJData{});  // no bytes at all
    EXPECT_EQ(scene.ActionLog().back().body[0], 0);
    scene.ClearActionLog();
    scene.RecordGameNotify(221170, body);
    EXPECT_EQ(scene.ActionLog().back().sequence, 1);
    EXPECT_EQ(scene.OwnActionCount(), 1);
}

TEST_F(SceneTest, SeatArithmeticTakesTheOwnChairFromTheHost) {
    host.chair = 2;
    EXPECT_EQ(scene.ChairToView(3), 0);
    EXPECT_EQ(scene.ViewToChair(2), 1);
    CMJGameScene2 lonely;  // no host, no main window: no table view size
    EXPECT_EQ(lonely.GetTableViewWidth(), 0);
    EXPECT_EQ(lonely.GetTableViewHeight(), 0);
}

// Building the scene builds this game's rule table once, which puts this game's tile
// callbacks in force whatever was there before.
TEST(SceneRules, ASceneLeavesThisGamesTileCallbacksInForce) {
    const rules::MJ_TileCallbacks own = rules::MJ_DefaultTileCallbacks();
    rules::MJ_TileCallbacks odd = own;
    odd.IsFlower = [](int32_t, int32_t, int32_t, int32_t) -> int32_t { return 1; };
    odd.IsJoker = [](int32_t, int32_t, int32_t, int32_t) -> int32_t { return 1; };
    odd.Shape = [](int32_t, int32_t) -> int32_t { return 2; };
    rules::MJ_SetTileCallbacks(odd);
    int flowers = -1, jokers = -1;
    {
        CMJGameScene2 scene;
        flowers = scene.IsFlowerTile(0) + scene.IsFlowerTile(135);
        jokers = scene.IsJokerTile(5);
    }
    const rules::MJ_TileCallbacks now = rules::MJ_GetTileCallbacks();
    rules::MJ_SetTileCallbacks(own);  // whatever the outcome, the next test has the defaults
    EXPECT_EQ(now.IsFlower, own.IsFlower);
    EXPECT_EQ(now.IsJoker, own.IsJoker);
    EXPECT_EQ(now.Shape, own.Shape);
    EXPECT_EQ(flowers, 0);  // plain suit tiles
    EXPECT_EQ(jokers, 0);   // no joker in the deal
}

TEST_F(SceneTest, SideViewsOfANonViewLeaveTheOutputs) {
    struct Case {
        int players, view, a, b;
    };
    const Case cases[] = {{4, 0, 1, 3},  {4, 2, 1, 3},   {4, 3, 0, 2},   {3, 0, 2, 3},
                          {3, 2, 0, 3},  {4, 4, 7, 8},   {4, -1, 7, 8},  {3, 4, 7, 8},
                          {3, -1, 7, 8}, {5, 0, -1, -1}, {2, 4, -1, -1}, {0, -1, -1, -1}};
    for (const Case& c : cases) {
        scene.Geometry().SetPlayerCount(c.players);
        int a = 7, b = 8;
        scene.GetSideViews(c.view, a, b);
        EXPECT_EQ(a, c.a) << c.players << " " << c.view;
        EXPECT_EQ(b, c.b) << c.players << " " << c.view;
    }
}

// The scene has no window of the table view to look up: the host is the view for it.
TEST_F(SceneTest, TheTableViewIsReachedThroughTheHost) {
    scene.SetTurnTimer(11, 4000);
    EXPECT_EQ(host.timers, (std::vector<int>{11 * 100000 + 4000}));
    scene.StopTurnTimers();
    EXPECT_EQ(host.killed, (std::vector<int>{11}));
    host.viewWidth = 321;
    EXPECT_EQ(scene.GetTableViewWidth(), 321);
    EXPECT_EQ(scene.GetTableViewHeight(), 700);
    CMJGameScene2 lonely;  // no host: the timer's handle is kept, nothing else happens
    lonely.SetTurnTimer(10, 4000);
    EXPECT_EQ(lonely.GetTurnTimer(10), 10u);
    lonely.StopTurnTimers();
    EXPECT_EQ(lonely.GetTurnTimer(10), 0u);
}

TEST_F(SceneTest, ClaimChecksUseThisGamesRules) {
    int32_t hand[32];
    std::fill(std::begin(hand), std::end(hand), -1);
    hand[0] = 0, hand[1] = 9, hand[2] = 18, hand[3] = 1, hand[4] = 2;
    int32_t out[32];
    EXPECT_EQ(scene.CheckPeng(hand, 27, out), 1);
    EXPECT_EQ(scene.CheckGang(hand, 27, out), 1);
    EXPECT_EQ(scene.CheckPeng(hand, 28, out), 0);
    // This game's rule word refuses every chow.
    EXPECT_EQ(scene.CheckChi(hand, 3, out), 0);
    EXPECT_EQ(scene.IsFlowerTile(136), 1);
    EXPECT_EQ(scene.IsFlowerTile(135), 0);
    EXPECT_EQ(scene.SortKey(108), 31);
}

// The deal record's words 34 and 35 name the deal's jokers A and B. 白板 (114) takes joker A's
// key only with jokers in play (flag 0x1 and A dealt), the stand-in flag 0x4 and the deal
// not sorting jokers in; under this game's flags it is the last honour.
TEST(SceneRules, WhiteDragonTakesTheJokersKeyOnlyWhenEveryConditionHolds) {
    struct Record : CMJGameInfo {
        std::span<const uint8_t> GetRoundRecord() const override { return area; }
        std::span<uint8_t> GetRoundRecordArea() override { return area; }
        std::array<uint8_t, kDealRecordBytes> area{};
    } record;
    FakeSceneHost host;
    host.info = &record;
    struct Keys : CMJGameScene2 {
        uint32_t GetGameFlags() const override { return flags; }
        int SortsJokers() const override { return sorts; }
        uint32_t flags = 0;
        int sorts = 0;
    } scene;
    scene.SetSceneHost(&host);
    const uint32_t game = 0x900C2100;
    const struct {
        uint32_t flags;
        int a, b, sorts, key, jokerB;
    } cases[] = {{game, -1, -1, 0, 37, 0},     {game, 40, 80, 0, 37, 0},
                 {game | 5, 40, 80, 0, 15, 1}, {game | 1, 40, 80, 0, 37, 1},
                 {game | 4, 40, 80, 0, 37, 0}, {game | 5, -1, 80, 0, 37, 0},
                 {game | 5, 40, 80, 1, 37, 1}, {game | 5, 0, -1, 0, 1, 0}};
    for (const auto& c : cases) {
        record.SetRoundWord(34, c.a);
        record.SetRoundWord(35, c.b);
        scene.flags = c.flags, scene.sorts = c.sorts;
        EXPECT_EQ(scene.SortKey(114), c.key) << std::hex << c.flags << std::dec << " " << c.a;
        EXPECT_EQ(scene.IsJokerTile(80), c.jokerB) << std::hex << c.flags << std::dec << " " << c.a;
        EXPECT_EQ(scene.SortKey(108), 31);
    }
}

TEST_F(SceneTest, FlowerChoiceHidesTheClaimButtons) {
    struct Buttons : CMJGameScene2 {
        void ShowAllClaimButtons(int show) override { shown.push_back(show); }
        std::vector<int> shown;
    } s;
    s.SetSceneHost(&host);
    MJTileInfo* row = s.Tiles().HandRow(kOwnView);
    for (int i = 1; i <= 3; ++i) row[i].bPresent = row[i].bHand = 1, row[i].nCode = i;
    s.MoveTileToDrawSlot(kOwnView);
    EXPECT_TRUE(s.shown.empty());
    row[0].bPresent = 0;
    row[2].nCode = 140;
    row[3].bHand = row[3].bPresent = 1;
    s.MoveTileToDrawSlot(kOwnView);
    EXPECT_EQ(s.shown, (std::vector<int>{0}));
    // Another seat's draw marks nothing.
    s.Tiles().HandRow(0)[1].bPresent = s.Tiles().HandRow(0)[1].bHand = 1;
    s.Tiles().HandRow(0)[1].nCode = 140;
    s.MoveTileToDrawSlot(0);
    EXPECT_EQ(s.shown.size(), 1u);
}

}  // namespace
}  // namespace hqlv::mahjong::test
