// The start of the table, the drawn tile's arrival, notices and seat panels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/core/entity_kinds.h"
#include "engine/render/plane.h"
#include "scene_fixture.h"

namespace hqlv::mahjong::test {
namespace {

struct Steps : CMJGameScene2 {
    void ShowStartButton() override { got.push_back("start"); }
    void ShowWaitTableNotice() override { got.push_back("wait"); }
    void ShowAskButton() override { got.push_back("ask"); }
    void RebuildTable() override { got.push_back("rebuild"); }
    void Redraw(int part) override { got.push_back("redraw" + std::to_string(part)); }
    void FlashJoker() override { got.push_back("flash"); }
    void BindWallTiles() override { got.push_back("wall"); }
    void CheckOwnGang() override { got.push_back("gang"); }
    void OfferHu(int flags) override { got.push_back("hu" + std::to_string(flags)); }
    void BindHand(int view) override { got.push_back("hand" + std::to_string(view)); }
    void ShowAllClaimButtons(int show) override { got.push_back("claims" + std::to_string(show)); }
    void GetJokers(int& a, int& b) const override { a = joker, b = -1; }
    void ToggleMusic() override { got.push_back("music"); }
    uint32_t GetGameFlags() const override { return flags; }
    void ResetTable() override { got.push_back("reset"); }
    void HideResultEntities() override { got.push_back("results"); }
    void ShowToolbars(int show) override { got.push_back("toolbars" + std::to_string(show)); }
    void OnBtnStart() override { got.push_back("press"); }
    int IsAutoPlayOn() const override { return autoPlay; }
    int autoPlay = 0;
    std::vector<std::string> got;
    int joker = -1;
    uint32_t flags = 0x900C2100;
};

class StartTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        steps.SetSceneHost(&host);
    }
    std::vector<std::string> Start() {
        steps.got.clear();
        steps.OnGameStart();
        return steps.got;
    }
    Steps steps;
};

TEST_F(StartTest, GameStartShowsStartWaitOrAskButton) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Start(), (V{"start", "redraw100"}));
    host.field13 = 0x2;  // the system seats the players
    EXPECT_EQ(Start(), (V{"wait", "redraw100"}));
    host.playing = 1;
    EXPECT_EQ(Start(), (V{"redraw100"}));
    host.playing = 0;
    host.field13 = 0x2;
    // Field 9 set: the start button after all. (The host double's field 9 is 0, so the
    // scene sees it through a host that says otherwise.)
    struct Field9 : SceneHost {
        int GetCmdField9() override { return 1; }
    } nine;
    nine.field13 = 0x2;
    steps.SetSceneHost(&nine);
    EXPECT_EQ(Start(), (V{"start", "redraw100"}));
    steps.SetSceneHost(&host);
    host.field13 = 0;
    // A looker-on is offered neither the start button nor the wait notice.
    host.lookerOn = 1;
    EXPECT_EQ(Start(), (V{"ask", "redraw100"}));
    host.field13 = 0x2;
    host.field13Bit8 = 1;
    EXPECT_EQ(Start(), (V{"redraw100"}));
    host.playing = 1;  // a looker-on at a running deal sees it rebuilt
    EXPECT_EQ(Start(), (V{"rebuild", "redraw100"}));
    EXPECT_EQ(draw.Seat(0)->highlight, 1);  // and the seats refreshed
}

TEST_F(StartTest, ChangedTableShowsTheStartButtonOnlyOnSuccess) {
    struct Refusing : SceneHost {
        int RequestChangeTable(std::string&) override { return 0; }
    } refusing;
    for (SceneHost* h : {static_cast<SceneHost*>(&refusing), &host}) {
        h->field13 = 0xC0;
        steps.SetSceneHost(h);
        engine::MessageData d;
        steps.OnMessage(210038, d, 0);
    }
    EXPECT_EQ(steps.got, (std::vector<std::string>{"start"}));
}

TEST_F(StartTest, DrawnTileArrivalPlaysOutTheOwnTurn) {
    using V = std::vector<std::string>;
    steps.Tiles().m_wall[5].nCode = 20;
    steps.Tiles().m_wall[5].bPresent = 1;
    int32_t words[8] = {0, 20, 3};
    auto* block = static_cast<int32_t*>(std::malloc(sizeof words));
    std::memcpy(block, words, sizeof words);
    engine::MessageData d = engine::MessageData::Owned(block, std::free);
    EXPECT_EQ(steps.OnMessage(210008, d, 0), 1);  // the engine frees the record
    EXPECT_EQ(steps.got, (V{"wall", "gang", "hu3", "hand3"}));
    EXPECT_EQ(steps.Tiles().m_wall[5].bPresent, 0);
    const MJTileInfo& slot = steps.Tiles().m_hands[kOwnView][0];
    EXPECT_EQ(slot.nCode, 20);
    EXPECT_EQ(slot.bPresent, 1);
    EXPECT_EQ(slot.bHand, 1);
    // A flower in the hand offers neither gang nor hu; with jokers on (not in this game's
    // rule word) a drawn joker flashes once the hand is bound.
    steps.got.clear();
    steps.joker = 20;
    steps.Tiles().m_hands[kOwnView][1] = slot;
    steps.Tiles().m_hands[kOwnView][1].nCode = 137;
    engine::MessageData number = engine::MessageData::Number(7);  // no record: tile 0
    steps.OnMessage(210007, number, 0);
    EXPECT_EQ(steps.got, (V{"wall", "claims0", "hand3"}));
    steps.got.clear();
    steps.flags |= 0x1;
    block = static_cast<int32_t*>(std::malloc(sizeof words));
    std::memcpy(block, words, sizeof words);
    engine::MessageData again = engine::MessageData::Owned(block, std::free);
    steps.OnMessage(210007, again, 0);
    EXPECT_EQ(steps.got.back(), "flash");
}

TEST_F(StartTest, NextDealResetOnlyWhenNothingRuns) {
    using V = std::vector<std::string>;
    draw.SetBanker(host.chair, 1);
    draw.SeatMutable(0)->highlight = 1;
    steps.ResetForNextDeal();
    EXPECT_EQ(steps.got, (V{"reset", "results", "redraw100", "toolbars0", "start"}));
    EXPECT_EQ(draw.Seat(3)->banker, 0);
    EXPECT_EQ(draw.Seat(0)->highlight, 0);
    steps.got.clear();
    steps.autoPlay = 1;
    steps.ResetForNextDeal();
    EXPECT_EQ(steps.got.back(), "press");
    steps.got.clear();
    host.lookerOn = 1;  // a looker-on gets neither toolbars nor the start button
    steps.ResetForNextDeal();
    EXPECT_EQ(steps.got, (V{"reset", "results", "redraw100"}));
    steps.got.clear();
    host.playing = 1;
    steps.ResetForNextDeal();
    host.playing = 0;
    steps.SetGameRunning(1);
    steps.ResetForNextDeal();
    EXPECT_TRUE(steps.got.empty());
}

TEST_F(SceneTest, WaitNoticeIsCentredLowAndPending) {
    if (!HaveAssets()) GTEST_SKIP();
    Start();
    scene.ShowWaitTableNotice();
    engine::Entity* e = scene.GetKernel().FindEntity(scene.WaitNoticeEntity());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetWidth(), 24 * 30 / 2);  // twelve characters, 24 bytes
    EXPECT_EQ(e->GetHeight(), 30);
    EXPECT_EQ(e->GetX(), 372);
    EXPECT_EQ(e->GetY(), 710 * 3 / 4);
    EXPECT_TRUE(e->IsVisible());
    host.playing = 1;
    const uint32_t first = scene.WaitNoticeEntity();
    scene.ShowWaitTableNotice();
    EXPECT_EQ(scene.WaitNoticeEntity(), first);  // nothing while a game runs
}

TEST_F(SceneTest, SeatIconsShowTheirMarksAndResetClearsThem) {
    if (!HaveAssets()) GTEST_SKIP();
    Start();
    EXPECT_EQ(scene.GetSeatMark(1).name, "庄家");
    EXPECT_EQ(scene.GetSeatMark(1).picture, "BUFF");
    EXPECT_EQ(scene.ShowSeatIcons(2), 0);
    scene.SetSeatIcon(2, 1);
    scene.SetSeatIcon(2, 7);  // an entry of the table that names nothing
    EXPECT_EQ(scene.GetSeatIcon(2, 0), 1);
    EXPECT_EQ(scene.GetSeatIcon(2, 1), 7);
    EXPECT_EQ(scene.ShowSeatIcons(2), 1);
    engine::GameKernel& k = scene.GetKernel();
    auto* banker = static_cast<engine::ImageEntity*>(k.FindEntity(scene.Entities().icons[2][0]));
    EXPECT_TRUE(banker->IsVisible());
    EXPECT_EQ(banker->State()->srcX, 0);  // the first cell of the badge strip
    EXPECT_FALSE(k.FindEntity(scene.Entities().icons[2][1])->IsVisible());
    EXPECT_EQ(scene.ShowSeatIcons(4), 0);
    scene.SetSeatIcon(-1, 1);
    // A view outside the four touches no entity.
    engine::Entity* panel = k.FindEntity(scene.Entities().panels[0]);
    panel->Show();
    EXPECT_EQ(scene.ShowSeatIcons(-1), 0);
    EXPECT_TRUE(panel->IsVisible());
    scene.ResetSeatPanels();
    EXPECT_EQ(scene.GetSeatIcon(2, 0), 0);
    EXPECT_FALSE(k.FindEntity(scene.Entities().icons[2][0])->IsVisible());
}

TEST_F(SceneTest, FloatingTipShowsAndHides) {
    if (!HaveAssets()) GTEST_SKIP();
    Start();
    char* text = static_cast<char*>(std::malloc(8));
    std::strcpy(text, "音乐");
    engine::MessageData tip = engine::MessageData::Owned(text, std::free);
    EXPECT_EQ(scene.OnMessage(210055, tip, 0), 0);
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Entities().note);
    EXPECT_TRUE(e->IsVisible());
    EXPECT_EQ(Dispatch(210056), 0);
    EXPECT_FALSE(e->IsVisible());
    // Other notifications answer 1 and the chat ones say their lines.
    EXPECT_EQ(Dispatch(210044), 1);
    EXPECT_EQ(Dispatch(210051), 1);
    EXPECT_EQ(host.chat, (std::vector<std::string>{"111\r\n", "222\r\n"}));
}

}  // namespace
}  // namespace hqlv::mahjong::test
