// This game's layer of the table scene on a headless engine: the weights from the INI file,
// the presence notices, the end of a deal (winner's voice, tallies, the result dialog only
// without automatic play), the toolbar's placement and slide, and the quit message.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>

#include "engine/core/button_frame.h"
#include "engine/core/kernel.h"
#include "engine/script/script_manager.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/game_scene_ex.h"
#include "mahjong/game/result_dlg.h"
#include "mahjong/game/silver_tally.h"
#include "platform/core/clock.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/scene/scene_fixture.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

struct SceneEx : CGameSceneEx {
    void RunResultDialog(CGameResultDlg& d) override {
        dialogs.push_back({d.result().Word(170), d.result().Word(80)});
    }
    void QuitProgram() override { ++quits; }
    int IsAutoPlayOn() const override { return autoPlay; }
    std::vector<std::pair<int, int>> dialogs;
    int quits = 0;
    int autoPlay = 0;
};

class SceneExTest : public SceneTestOf<SceneEx> {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        before = platform::setClock(&clock);
        SceneTestOf<SceneEx>::SetUp();
        host.info = &info;
        ResetSilverTallies();
    }
    void TearDown() override {
        SceneTestOf<SceneEx>::TearDown();
        platform::setClock(before);
    }
    // Steps the engine clock in 10 ms steps: the due Applies run, their messages are handled.
    void Run(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            clock.advance(10);
            scene.GetKernel().RunDueApplies();
            scene.PumpMessages();
        }
    }
    std::vector<uint8_t> Words(std::initializer_list<std::pair<size_t, int32_t>> set,
                               size_t words) {
        std::vector<uint8_t> b(words * 4);
        for (auto [i, v] : set) std::memcpy(b.data() + i * 4, &v, 4);
        return b;
    }
    // A result record with the winner and the four silver changes.
    void EndDeal(int winner, std::array<int32_t, 4> silver) {
        auto r = Words({{170, winner}, {80, silver[0]}, {81, silver[1]}, {82, silver[2]},
                        {83, silver[3]}},
                       kResultWords);
        ASSERT_TRUE(info.SetGameResult(r));
        scene.OnGameEnd(r);
    }
    std::vector<std::string> Waves() {
        std::vector<std::string> v;
        for (const auto& c : audio->calls())
            if (c.kind == platform::RecordingAudio::Kind::kWaveFile ||
                c.kind == platform::RecordingAudio::Kind::kLoadSampleFile)
                v.push_back(c.data);
        return v;
    }
    engine::Entity* Entity(uint32_t id) { return scene.Kernel()->FindEntity(id); }
    engine::Entity* ControlEntity(uint32_t control) {
        engine::ControlData* c = scene.Kernel()->FindControl(control);
        return c ? Entity(c->entityId) : nullptr;
    }

    CGameInfoEx info;
    platform::ManualClock clock{1000};
    platform::Clock* before = nullptr;
};

TEST_F(SceneExTest, WeightsComeFromSectionAiOrTheirDefaults) {
    NEED_ASSETS();
    std::ofstream(host.ini) << "[AI]\r\nweight_shape=0\r\nweight_Jiang=-7\r\nweight_use=2147483647"
                               "\r\nweight_7dui=9\r\nweight_Gang=x\r\n[GAMESET]\r\nweight_PnPn=1\r\n";
    Start(710);
    const AutoPlayWeights& w = scene.Weights();
    EXPECT_EQ(w.shape, 0);
    EXPECT_EQ(w.jiang, -7);
    EXPECT_EQ(w.use, INT_MAX);
    EXPECT_EQ(w.qidui, 9);
    EXPECT_EQ(w.gang, 0);     // a value without digits reads as 0
    EXPECT_EQ(w.pnpn, 200);   // another section's key is not the AI's
    EXPECT_EQ(w.shun, 50);
    EXPECT_EQ(w.w258, 100);
    EXPECT_EQ(w.w258Jiang, 20);
    EXPECT_EQ(w.feng, 100);
}

TEST_F(SceneExTest, ChooseDiscardReadsTheSceneRecordsWithItsWeights) {
    NEED_ASSETS();
    Start(710);
    MJTileInfo* own = scene.Tiles().HandRow(kOwnView);
    const int codes[] = {0, 1, 2, 108, 40, 49};  // 1-2-3, east, a pair of 5s
    for (int i = 0; i < 6; ++i) own[i + 1] = MJTileInfo{.nCode = codes[i], .bHand = 1, .bPresent = 1};
    EXPECT_EQ(scene.ChooseDiscard(), 4);
    // With pairs worth a fortune, breaking the run is better than breaking the pair.
    AutoPlayWeights w = scene.Weights();
    w.shun = 0, w.shape = 0;
    scene.SetWeights(w);
    EXPECT_EQ(scene.ChooseDiscard(), 1);
}

TEST_F(SceneExTest, PresenceNoticesAreExactLines) {
    const struct {
        int chair, kind;
        std::vector<std::string> chat;
        std::vector<int> sounds;
    } cases[] = {
        {1, 1, {"<c=255>[系统]<c=4953725>南家重新回到了游戏!\r\n"}, {}},
        {3, 2, {"<c=255>[系统]<c=4953725>北家离开了游戏!\r\n"}, {}},
        {0, 6, {"<c=255>闲家跟庄成功!\r\n"}, {29012 * 100 + 0x11}},
        {9, 6, {"<c=255>闲家跟庄成功!\r\n"}, {29012 * 100 + 0x11}},
        {2, 3, {}, {}},
        {2, 0, {}, {}},
        {8, 1, {}, {}},   // no such seat
        {-1, 2, {}, {}},
    };
    for (const auto& c : cases) {
        host.chat.clear();
        host.sounds.clear();
        auto r = Words({{3, c.chair}, {4, c.kind}}, 5);
        scene.OnPlayerBackOrLeave(r);
        EXPECT_EQ(host.chat, c.chat) << c.chair << "/" << c.kind;
        EXPECT_EQ(host.sounds, c.sounds) << c.chair << "/" << c.kind;
    }
    // Kind 6 is announced to looker-ons too.
    host.lookerOn = 1;
    host.chat.clear();
    scene.OnPlayerBackOrLeave(Words({{3, 0}, {4, 6}}, 5));
    EXPECT_EQ(host.chat.size(), 1u);
    // A record too short for the kind changes nothing.
    host.chat.clear();
    host.sounds.clear();
    auto shortRecord = Words({{3, 1}}, 5);
    shortRecord.resize(19);
    scene.OnPlayerBackOrLeave(shortRecord);
    EXPECT_TRUE(host.chat.empty());
    EXPECT_TRUE(host.sounds.empty());
}

TEST_F(SceneExTest, DealEndTalliesSilverAndShowsTheDialogOnlyWithoutAutoPlay) {
    NEED_ASSETS();
    Start(710);
    EndDeal(1, {120, -40, -40, -40});
    EndDeal(-1, {0, 15, -5, INT_MIN});
    EXPECT_EQ(g_nRoundSilver, (std::array<int32_t, 4>{0, 15, -5, INT_MIN}));
    EXPECT_EQ(g_nTotalSilver, (std::array<int64_t, 4>{120, -25, -45, int64_t(INT_MIN) - 40}));
    EXPECT_EQ(scene.dialogs, (std::vector<std::pair<int, int>>{{1, 120}, {-1, 0}}));

    scene.dialogs.clear();
    scene.autoPlay = 1;
    EndDeal(2, {1, 1, 1, 1});
    EXPECT_TRUE(scene.dialogs.empty());
    EXPECT_EQ(g_nTotalSilver[3], int64_t(INT_MIN) - 39);  // the tallies count all the same
    // The automatic-play notice on the table says the same as the switch.
    scene.autoPlay = 0;
    engine::Entity* notice = Entity(scene.Entities().autoPlay);
    ASSERT_NE(notice, nullptr);
    notice->Show();
    EndDeal(2, {1, 1, 1, 1});
    EXPECT_TRUE(scene.dialogs.empty());
    notice->Hide();
    EndDeal(2, {1, 1, 1, 1});
    EXPECT_EQ(scene.dialogs.size(), 1u);
}

TEST_F(SceneExTest, TheWinnerSpeaksHuOnceAndAChairOutsideTheTableIsSkipped) {
    NEED_ASSETS();
    Start(710);
    for (int v = 0; v < 4; ++v) draw.SeatMutable(v)->voiceFolder = "/v/" + std::to_string(v) + "/";
    const struct {
        int winner;
        std::vector<std::string> waves;
    } cases[] = {
        {1, {"/v/" + std::to_string(scene.ChairToView(1)) + "/hu1.wav"}},
        {2, {"/v/3/hu1.wav"}},  // the own chair
        {-1, {}},
        {4, {}},
        {-2, {}},
        {INT_MAX, {}},
    };
    for (const auto& c : cases) {
        audio->clear();
        EndDeal(c.winner, {0, 0, 0, 0});
        EXPECT_EQ(Waves(), c.waves) << c.winner;
    }
    EXPECT_NE(Log().find("胡牌座位4无效"), std::string::npos);
}

TEST_F(SceneExTest, ToolbarPlacesOnALargeScreen) {
    NEED_ASSETS();
    Start(710);
    EXPECT_EQ(ControlEntity(scene.Entities().start)->GetX(), 372);
    EXPECT_EQ(ControlEntity(scene.Entities().start)->GetY(), 608);  // 6 × 710 / 7
    EXPECT_EQ(ControlEntity(scene.Entities().ask)->GetX(), 40);
    EXPECT_EQ(ControlEntity(scene.Entities().ask)->GetY(), 694);
    engine::ButtonFrame* tools = scene.Entities().systemBar;
    engine::Entity* f = tools->FrameEntity();
    // 50 in from the left edge, 4 above the bottom.
    EXPECT_EQ(f->GetX() - f->GetWidth() / 2, 50);
    EXPECT_EQ(f->GetY() + f->GetHeight() / 2, 706);
    engine::ControlData* c = scene.Kernel()->FindControl(tools->ControlId());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetEvent(2)->code, 2u);
    EXPECT_EQ(c->GetEvent(2)->target, tools->ControlId());
    EXPECT_EQ(c->GetEvent(3)->code, 3u);
    EXPECT_EQ(c->GetEvent(3)->target, tools->ControlId());
    // The claim bar: four places without chi; its right edge the width of view 2's hand
    // and half a button in from the screen's edge, its bottom 10 above the own hand's top
    // (the canvas is the screen here).
    engine::ButtonFrame* claims = scene.Entities().operationBar;
    EXPECT_EQ(claims->Slots().size(), 4u);
    MJRect right, own;
    scene.GetHandRect(2, right);
    scene.GetHandRect(kOwnView, own);
    engine::Entity* cf = claims->FrameEntity();
    EXPECT_EQ(cf->GetX() + cf->GetWidth() / 2, 744 - (right.right - right.left) - 20);
    EXPECT_EQ(cf->GetY(), own.top - 20 - 10);
    EXPECT_EQ(scene.IsToolbarOut(), 0);
    // Nothing slides on a large screen.
    Run(3000);
    EXPECT_EQ(f->GetX() - f->GetWidth() / 2, 50);
}

// On a large screen the pointer's coming and going reaches the bar itself: on the bar's empty
// place (the sixth slot holds no button) it lights no button, and the bar fades out once the
// pointer has left it and back in when it returns. The scene is numbered as in the program,
// whose script interpreter takes the second control: the 截屏 button's control then bears the
// number of the bar's entity.
TEST_F(SceneExTest, ThePointerOnALargeScreensBarFadesTheBarAndLightsNoButton) {
    NEED_ASSETS();
    const engine::ScriptEngineFactory old = engine::SetScriptEngineFactory(nullptr);
    engine::InstallScriptManager();
    Start(710);
    engine::SetScriptEngineFactory(old);
    scene.ShowToolbars(1);
    engine::ButtonFrame* tools = scene.Entities().systemBar;
    engine::Entity* f = tools->FrameEntity();
    ASSERT_EQ(scene.Entities().toolButtons[4], f->GetId());
    ASSERT_EQ(tools->Slots().size(), 6u);
    ASSERT_EQ(tools->Slots()[5].controlId, 0u);
    std::vector<double> alphas;
    for (uint32_t b : scene.Entities().toolButtons) alphas.push_back(ControlEntity(b)->GetAlpha());
    const int emptyX = f->GetX() + tools->Slots()[5].dx, emptyY = f->GetY();
    ASSERT_EQ(scene.GetKernel().GetCanvas().HitTest(emptyX, emptyY), f->GetId());
    scene.OnMouseMove(0, emptyX, emptyY);
    Run(500);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(ControlEntity(scene.Entities().toolButtons[i])->GetAlpha(), alphas[i]) << i;
    EXPECT_TRUE(tools->Shown());
    EXPECT_EQ(f->GetAlpha(), 1.0);
    scene.OnMouseMove(0, 372, 300);
    Run(2000);
    EXPECT_FALSE(tools->Shown());
    EXPECT_EQ(f->GetAlpha(), 0.0);
    scene.OnMouseMove(0, emptyX, emptyY);
    Run(2000);
    EXPECT_TRUE(tools->Shown());
    EXPECT_EQ(f->GetAlpha(), 1.0);
}

// On a small screen the toolbar waits at the screen's left edge. Slid in, a shown bar keeps
// its right half in sight, where the pointer finds it: over it, the bar slides out whole; once
// the pointer has gone, it slides in again to the same place.
TEST_F(SceneExTest, ToolbarSlidesFromTheLeftEdgeOnASmallScreen) {
    NEED_ASSETS();
    Start(600);
    EXPECT_EQ(ControlEntity(scene.Entities().start)->GetY(), 6 * 600 / 7);
    EXPECT_EQ(ControlEntity(scene.Entities().ask)->GetY(), 584);
    engine::ButtonFrame* tools = scene.Entities().systemBar;
    engine::Entity* f = tools->FrameEntity();
    MJRect own;
    scene.GetHandRect(kOwnView, own);
    EXPECT_EQ(f->GetY() + f->GetHeight() / 2, own.top);
    engine::ControlData* c = scene.Kernel()->FindControl(tools->ControlId());
    EXPECT_EQ(c->GetEvent(2)->code, 210052u);
    EXPECT_EQ(c->GetEvent(3)->code, 210053u);
    // Laid out where its slide in starts, past the left edge: a bar shown by a later layout
    // never crosses the table on its way in.
    EXPECT_LE(f->GetX() + f->GetWidth() / 2, 0);
    // A bar that is not shown stays wholly past the edge, and its handle hidden.
    Run(3000);
    EXPECT_LE(f->GetX() + f->GetWidth() / 2, 0);
    EXPECT_FALSE(Entity(scene.Entities().arrow)->IsVisible());
    // Shown and slid in: the screen's left edge runs through the bar's middle.
    scene.ShowToolbars(1);
    scene.SlideToolbarIn();
    Run(3000);
    EXPECT_TRUE(Entity(scene.Entities().arrow)->IsVisible());
    EXPECT_EQ(f->GetX(), 0);
    // The pointer comes onto the half in sight, past the bar's buttons: the bar slides out.
    const int gapX = f->GetX() + tools->Slots()[5].dx, barY = f->GetY();
    ASSERT_GT(gapX, 0);
    ASSERT_EQ(scene.GetKernel().GetCanvas().HitTest(gapX, barY), f->GetId());
    scene.OnMouseMove(0, gapX, barY);
    Run(3000);
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    EXPECT_EQ(f->GetX() - f->GetWidth() / 2, 0);
    EXPECT_FALSE(Entity(scene.Entities().arrow)->IsVisible());
    // The pointer goes: in again, the right half in sight. Moved through the engine alone (not
    // the scene's own look at the bar), the frame's leave does it.
    scene.engine::GameBase::OnMouseMove(0, 700, 20);
    Run(3000);
    EXPECT_EQ(scene.IsToolbarOut(), 0);
    EXPECT_EQ(f->GetX(), 0);
    EXPECT_TRUE(Entity(scene.Entities().arrow)->IsVisible());
    // Out again, the pointer goes onto one of its buttons and straight off it: the button's
    // leave is the button's own, and the bar still slides in once the pointer has gone.
    scene.OnMouseMove(0, gapX, barY);
    Run(3000);
    ASSERT_EQ(scene.IsToolbarOut(), 1);
    const engine::Entity* button = ControlEntity(tools->Slots()[1].controlId);
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(scene.GetKernel().GetCanvas().HitTest(button->GetX(), button->GetY()),
              button->GetId());
    scene.OnMouseMove(0, button->GetX(), button->GetY());
    Run(3000);
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    scene.OnMouseMove(0, 700, 20);
    Run(3000);
    EXPECT_EQ(scene.IsToolbarOut(), 0);
    EXPECT_EQ(f->GetX(), 0);
    // The pointer's word alone does not move the bar: over it only while on it, away only
    // once it has gone.
    scene.OnMouseMove(0, gapX, barY);
    scene.OnToolbarPointer(1);
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    scene.OnToolbarPointer(1);  // already out
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    scene.OnToolbarPointer(0);  // the pointer is still there
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    scene.engine::GameBase::OnMouseMove(0, 700, 20);
    EXPECT_EQ(scene.IsToolbarOut(), 1);
    scene.OnToolbarPointer(0);
    EXPECT_EQ(scene.IsToolbarOut(), 0);
    scene.OnToolbarPointer(1);  // the pointer is elsewhere
    EXPECT_EQ(scene.IsToolbarOut(), 0);
}

TEST_F(SceneExTest, ChiTakesTheFifthPlaceOnlyWhenTheDealAllowsIt) {
    NEED_ASSETS();
    Start(710);
    std::vector<uint8_t> deal(kDealRecordBytes);
    const int32_t on = 1;
    std::memcpy(deal.data() + 28 * 4, &on, 4);
    ASSERT_TRUE(info.SetRoundResult(deal));
    scene.LayoutToolbar();
    engine::ButtonFrame* claims = scene.Entities().operationBar;
    ASSERT_EQ(claims->Slots().size(), 5u);
    EXPECT_EQ(claims->Slots()[4].controlId, scene.Entities().chi);
    std::fill(deal.begin(), deal.end(), 0);
    ASSERT_TRUE(info.SetRoundResult(deal));
    scene.LayoutToolbar();
    EXPECT_EQ(claims->Slots().size(), 4u);
    EXPECT_EQ(ControlEntity(scene.Entities().chi)->GetX(), -100);
}

TEST_F(SceneExTest, ALookerOnsToolbarStaysWhereItWas) {
    NEED_ASSETS();
    host.lookerOn = 1;
    Start(710);
    engine::Entity* f = scene.Entities().systemBar->FrameEntity();
    const int x = f->GetX(), y = f->GetY();
    f->SetPosition(x + 7, y);
    scene.LayoutToolbar();
    EXPECT_EQ(f->GetX(), x + 7);
}

TEST_F(SceneExTest, TheRebuildCountsTheStandingTilesAndShowsAPlayersToolbars) {
    NEED_ASSETS();
    Start(710);
    host.chair = 0;
    info.SetRoundWord(14, 1);
    info.SetRoundWord(13, 2);
    info.SetStateBytes(kPlayerStateBytes);
    const int held[4] = {13, 7, 13, 4};
    for (size_t c = 0; c < 4; ++c) info.SetRoundWord(1205 + c, held[c]);
    engine::ButtonFrame* bars[2] = {scene.Entities().operationBar, scene.Entities().systemBar};
    for (engine::ButtonFrame* bar : bars) bar->Hide();
    scene.ShowClaimButton(CMJGameScene2::kClaimPeng, 1);
    scene.RebuildTable();
    auto standing = [&](int view) {
        int n = 0;
        for (int i = 0; i < kHandSlotCount; ++i) {
            const MJTileInfo& r = scene.Tiles().m_hands[view][i];
            n += r.bPresent && r.bHand;
        }
        return n;
    };
    // Chair 1 at view 0, chair 2 at view 1, chair 3 at view 2, the own chair at view 3.
    EXPECT_EQ((std::vector<int>{standing(0), standing(1), standing(2), standing(3)}),
              (std::vector<int>{7, 13, 4, 13}));
    for (engine::ButtonFrame* bar : bars) EXPECT_TRUE(bar->FrameEntity()->IsVisible());
    EXPECT_EQ(scene.IsClaimButtonActive(CMJGameScene2::kClaimPeng), 0);
    // A looker-on's toolbars stay hidden; its state counts from word 49.
    host.lookerOn = 1;
    info.SetStateBytes(kLookerStateBytes);
    for (size_t c = 0; c < 4; ++c) info.SetRoundWord(49 + c, held[3 - c]);
    scene.RebuildTable();
    EXPECT_EQ((std::vector<int>{standing(0), standing(1), standing(2), standing(3)}),
              (std::vector<int>{13, 7, 13, 4}));
    for (engine::ButtonFrame* bar : bars) EXPECT_FALSE(bar->FrameEntity()->IsVisible());
}

TEST_F(SceneExTest, OnlyTheQuitMessageEndsTheProgram) {
    EXPECT_EQ(Dispatch(210065), 1);
    EXPECT_EQ(Dispatch(210000), 1);
    EXPECT_EQ(scene.quits, 0);
    EXPECT_EQ(Dispatch(210064), 1);
    EXPECT_EQ(scene.quits, 1);
}

}  // namespace
}  // namespace hqlv::mahjong::test
