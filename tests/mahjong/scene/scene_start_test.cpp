// The start of the table, the drawn tile's arrival, notices and seat panels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/plane.h"
#include "platform/core/clock.h"
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
    void DealStep(int view) override { got.push_back("deal" + std::to_string(view)); }
    void QZ_Moveing(const engine::MessageData&) override { got.push_back("clock"); }
    void OnToolbarSlideInEnd() override { got.push_back("slid"); }
    void OnToolbarPointer(int over) override { got.push_back("over" + std::to_string(over)); }
    void OnOwnDiscardEnd() override { got.push_back("discard"); }
    void OnSortSweepEnd() override { got.push_back("sort"); }
    void HideFloatingTip() override { got.push_back("untip"); }
    void OnCountdownTimer() override { got.push_back("second"); }
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
    // The answer names the wall record its tile came from (word 3).
    steps.Tiles().m_wall[5].bPresent = 1;
    int32_t words[8] = {0, 20, 3, 5};
    auto* block = static_cast<int32_t*>(std::malloc(sizeof words));
    std::memcpy(block, words, sizeof words);
    engine::MessageData d = engine::MessageData::Owned(block, std::free, sizeof words);
    EXPECT_EQ(steps.OnMessage(210008, d, 0), 1);  // the engine frees the record
    EXPECT_EQ(steps.got, (V{"wall", "gang", "hu3", "hand3"}));
    EXPECT_EQ(steps.Tiles().m_wall[5].bPresent, 0);
    const MJTileInfo& slot = steps.Tiles().m_hands[kOwnView][0];
    EXPECT_EQ(slot.nCode, 20);
    EXPECT_EQ(slot.bPresent, 1);
    EXPECT_EQ(slot.bHand, 1);
    // A win on the replacement names the tile that arrived.
    EXPECT_EQ(steps.GetOwnDrawnTile(), 20);
    // 210007 (the tile in the slot already) offers the win its flag word names and takes
    // the wall record its answer names, that one alone: a record standing for tile 0 stays.
    steps.got.clear();
    steps.Tiles().m_wall[0].bPresent = 1;
    steps.Tiles().m_wall[5].bPresent = 1;
    block = static_cast<int32_t*>(std::malloc(sizeof words));
    std::memcpy(block, words, sizeof words);
    engine::MessageData drawn = engine::MessageData::Owned(block, std::free, sizeof words);
    steps.OnMessage(210007, drawn, 0);
    EXPECT_EQ(steps.got, (V{"wall", "gang", "hu3", "hand3"}));
    EXPECT_EQ(steps.Tiles().m_wall[5].bPresent, 0);
    EXPECT_EQ(steps.Tiles().m_wall[0].bPresent, 1);
    // A flower in the hand offers neither gang nor hu; with jokers on (not in this game's
    // rule word) a drawn joker flashes once the hand is bound.
    steps.got.clear();
    steps.joker = 20;
    steps.Tiles().m_hands[kOwnView][1] = slot;
    steps.Tiles().m_hands[kOwnView][1].nCode = 137;
    steps.Tiles().m_wall[0].bPresent = 1;
    engine::MessageData number = engine::MessageData::Number(7);  // no record: tile 0
    steps.OnMessage(210007, number, 0);
    EXPECT_EQ(steps.got, (V{"wall", "claims0", "hand3"}));
    EXPECT_EQ(steps.Tiles().m_wall[0].bPresent, 1);  // no record names no wall record
    // Nor does a record too short to hold word 3, of either event.
    for (uint32_t code : {210007u, 210008u}) {
        auto* shortBlock = static_cast<int32_t*>(std::malloc(3 * sizeof(int32_t)));
        std::memcpy(shortBlock, words, 3 * sizeof(int32_t));
        engine::MessageData cut =
            engine::MessageData::Owned(shortBlock, std::free, 3 * sizeof(int32_t));
        steps.OnMessage(code, cut, 0);
        EXPECT_EQ(steps.Tiles().m_wall[0].bPresent, 1) << code;
    }
    steps.got.clear();
    steps.flags |= 0x1;
    block = static_cast<int32_t*>(std::malloc(sizeof words));
    std::memcpy(block, words, sizeof words);
    engine::MessageData again = engine::MessageData::Owned(block, std::free, sizeof words);
    steps.OnMessage(210007, again, 0);
    EXPECT_EQ(steps.got.back(), "flash");
}

TEST_F(StartTest, SystemEventsReadOnlyWhatTheirDataHolds) {
    struct Case {
        size_t bytes;  // a heap block of this size; 0: the number 2 as data
        const char* got;
    };
    // A block shorter than the record gives only its own words (the sanitizer sees any
    // read past it); a number is the first word itself.
    const Case cases[] = {{0, "deal2"}, {4, "deal5"}, {32, "deal5"}, {3, "deal5"}};
    for (const Case& c : cases) {
        steps.got.clear();
        engine::MessageData d = engine::MessageData::Number(2);
        if (c.bytes) {
            auto* block = static_cast<uint8_t*>(std::calloc(1, c.bytes));
            block[0] = 5;
            d = engine::MessageData::Owned(block, std::free, c.bytes);
        }
        EXPECT_EQ(steps.OnMessage(210003, d, 0), 1);
        EXPECT_EQ(steps.got, std::vector<std::string>{c.got}) << c.bytes;
    }
    EXPECT_EQ(Log().find("数据不是记录"), std::string::npos);
    // A block of another kind (the mouse manager's state) carries no record: logged.
    steps.got.clear();
    engine::MessageData mouse = engine::MessageData::Owned(
        [] {
            auto* m = new engine::MouseState;
            m->hoveredEntity = m->hitEntity = m->pressedEntity = 7;
            return m;
        }(),
        &engine::FreeMouseState);
    steps.OnMessage(210003, mouse, 0);
    EXPECT_EQ(steps.got, std::vector<std::string>{"deal0"});
    EXPECT_NE(Log().find("系统事件210003的数据不是记录"), std::string::npos);
    // The drawn tile from an eight-byte record: the tile word, no hu flags.
    steps.got.clear();
    auto* two = static_cast<int32_t*>(std::malloc(8));
    two[0] = 0, two[1] = 21;
    engine::MessageData drawn = engine::MessageData::Owned(two, std::free, 8);
    steps.OnMessage(210008, drawn, 0);
    EXPECT_EQ(steps.Tiles().m_hands[kOwnView][0].nCode, 21);
    EXPECT_EQ(steps.got, (std::vector<std::string>{"wall", "gang", "hu0", "hand3"}));
}

// A record is read as far as its maker wrote it, not as far as the allocator's room for it
// goes: a three-word record in a block with room for eight leaves the rest unread, though
// that room holds a wall record (0) and a table serial from what was there before.
TEST_F(StartTest, AnEventRecordIsReadNoFurtherThanItsMakerWrote) {
    const int32_t stale[8] = {0, 20, 3, 0, 9, 9, 9, 77};
    for (uint32_t code : {210007u, 210008u}) {
        steps.got.clear();
        steps.Tiles().m_wall[0].bPresent = 1;
        steps.Tiles().m_hands[kOwnView][0].nCode = 0;
        auto* block = static_cast<int32_t*>(std::malloc(sizeof stale));
        std::memcpy(block, stale, sizeof stale);
        engine::MessageData d = engine::MessageData::Owned(block, std::free, 3 * sizeof(int32_t));
        steps.OnMessage(code, d, 0);
        EXPECT_EQ(steps.Tiles().m_wall[0].bPresent, 1) << code;
        EXPECT_EQ(steps.got, (std::vector<std::string>{"wall", "gang", "hu3", "hand3"})) << code;
        EXPECT_EQ(steps.GetOwnDrawnTile(), 20) << code;
    }
    EXPECT_EQ(steps.Tiles().m_hands[kOwnView][0].nCode, 20);
    EXPECT_EQ(Log().find("已重建的牌桌"), std::string::npos);
    // A block whose maker gave no length holds no words at all: none is guessed.
    steps.got.clear();
    steps.Tiles().m_wall[5].bPresent = 1;
    const int32_t named[8] = {0, 21, 3, 5};
    auto* block = static_cast<int32_t*>(std::malloc(sizeof named));
    std::memcpy(block, named, sizeof named);
    engine::MessageData untold = engine::MessageData::Owned(block, std::free);
    steps.OnMessage(210008, untold, 0);
    EXPECT_NE(Log().find("系统事件210008的记录没有长度"), std::string::npos);
    EXPECT_EQ(steps.Tiles().m_wall[5].bPresent, 1);
    EXPECT_NE(steps.Tiles().m_hands[kOwnView][0].nCode, 21);
    // A block of another kind than a record, its length given, holds no words either.
    steps.got.clear();
    auto* other = new int32_t[8]{0, 22, 3, 5};
    engine::MessageData foreign = engine::MessageData::Owned(
        other, [](void* p) { delete[] static_cast<int32_t*>(p); }, 4 * sizeof(int32_t));
    steps.OnMessage(210007, foreign, 0);
    EXPECT_NE(Log().find("系统事件210007的数据不是记录"), std::string::npos);
    EXPECT_EQ(steps.Tiles().m_wall[5].bPresent, 1);
    EXPECT_NE(steps.Tiles().m_hands[kOwnView][0].nCode, 22);
}

TEST_F(StartTest, EngineNotificationsReachTheirHandlers) {
    struct Case {
        uint32_t code;
        int answer;
        const char* got;   // "" nothing
        const char* chat;  // "" none
    };
    const Case cases[] = {
        {210041, 1, "", ""},        {210042, 0, "clock", ""},   {210043, 1, "slid", ""},
        {210044, 1, "", "111\r\n"}, {210047, 1, "", "111\r\n"}, {210048, 1, "", "222\r\n"},
        {210051, 1, "", "222\r\n"}, {210052, 1, "over1", ""},   {210053, 1, "over0", ""},
        {210054, 1, "", ""},        {210055, 0, "", ""},        {210056, 0, "untip", ""},
        {210057, 1, "", "0\r\n"},   {210059, 1, "discard", ""}, {210060, 1, "sort", ""},
        {210061, 1, "hand3", ""},   {210062, 0, "hand3", ""},   {210063, 1, "", ""},
    };
    for (const Case& c : cases) {
        steps.got.clear();
        host.chat.clear();
        engine::MessageData d;  // a tip without its text shows nothing
        EXPECT_EQ(steps.OnMessage(c.code, d, 0), c.answer) << c.code;
        EXPECT_EQ(steps.got, *c.got ? std::vector<std::string>{c.got} : std::vector<std::string>{})
            << c.code;
        EXPECT_EQ(host.chat,
                  *c.chat ? std::vector<std::string>{c.chat} : std::vector<std::string>{})
            << c.code;
    }
}

TEST_F(StartTest, OnlyTheViewsClockTimerCountsDown) {
    struct ClockHost : SceneHost {
        uint32_t GetClockTimerId() override { return clock; }
        uint32_t clock = 10000;
    } clockHost;
    steps.SetSceneHost(&clockHost);
    struct Case {
        uint32_t clock, id;
        bool counts;
    };
    const Case cases[] = {{10000, 10000, true},  {10000, 9999, false}, {10000, 10001, false},
                          {10000, 20000, false}, {10001, 10001, true}, {10001, 10000, false},
                          {9999, 9999, false}};
    for (const Case& c : cases) {
        clockHost.clock = c.clock;
        steps.got.clear();
        steps.OnTimer(c.id);
        EXPECT_EQ(steps.got.size(), c.counts ? 1u : 0u) << c.clock << " " << c.id;
    }
    steps.SetSceneHost(nullptr);  // no view, no clock
    steps.got.clear();
    steps.OnTimer(10000);
    EXPECT_TRUE(steps.got.empty());
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
    scene.SetSeatIcon(0, 1);  // the first view takes icons as well
    EXPECT_EQ(scene.GetSeatIcon(0, 0), 1);
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

// Automatic play going on stops the tip coming up where it stands; going off leaves the tip
// alone.
TEST_F(SceneTest, AutoPlayGoingOnStopsTheTipComingUp) {
    if (!HaveAssets()) GTEST_SKIP();
    Start();
    platform::ManualClock clock(platform::tickMs());
    platform::Clock* real = platform::setClock(&clock);
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Entities().note);
    auto tipFor = [&](int steps) {
        char* text = static_cast<char*>(std::malloc(8));
        std::strcpy(text, "托管");
        engine::MessageData tip = engine::MessageData::Owned(text, std::free);
        scene.OnMessage(210055, tip, 0);
        for (int i = 0; i < steps; ++i) {
            clock.advance(40);
            scene.GetKernel().RunDueApplies();
        }
    };
    auto alphaAfter = [&](int steps) {
        for (int i = 0; i < steps; ++i) {
            clock.advance(40);
            scene.GetKernel().RunDueApplies();
        }
        return e->GetAlpha();
    };
    tipFor(2);
    const double on = e->GetAlpha();
    ASSERT_GT(on, 0.1);
    ASSERT_LT(on, 1.0);
    scene.ToggleAutoPlay();
    ASSERT_TRUE(scene.IsAutoPlayOn());
    EXPECT_DOUBLE_EQ(alphaAfter(30), on);
    EXPECT_TRUE(e->IsVisible());
    tipFor(2);
    scene.ToggleAutoPlay();
    ASSERT_FALSE(scene.IsAutoPlayOn());
    EXPECT_DOUBLE_EQ(alphaAfter(30), 1.0);
    platform::setClock(real);
}

TEST_F(SceneTest, FloatingTipShowsAndHides) {
    if (!HaveAssets()) GTEST_SKIP();
    EXPECT_EQ(Dispatch(210056), 0);  // before set-up there is no tip to hide
    Start();
    char* text = static_cast<char*>(std::malloc(8));
    std::strcpy(text, "音乐");
    engine::MessageData tip = engine::MessageData::Owned(text, std::free);
    platform::ManualClock clock(platform::tickMs());
    platform::Clock* real = platform::setClock(&clock);
    EXPECT_EQ(scene.OnMessage(210055, tip, 0), 0);
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Entities().note);
    EXPECT_TRUE(e->IsVisible());
    // It comes up faint and fades in step by step to full strength.
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.1);
    std::vector<double> seen;
    for (int i = 0; i < 30 && e->GetAlpha() < 1.0; ++i) {
        clock.advance(40);
        scene.GetKernel().RunDueApplies();
        seen.push_back(e->GetAlpha());
    }
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 1.0);
    EXPECT_GE(seen.size(), 5u);
    EXPECT_LT(seen.front(), 0.5);
    clock.advance(40);
    scene.GetKernel().RunDueApplies();
    ASSERT_EQ(scene.GetKernel().FindEntity(scene.Entities().note), e);  // the tip stays
    // Hidden while coming up: the fade stops with it.
    char* again = static_cast<char*>(std::malloc(8));
    std::strcpy(again, "排序");
    engine::MessageData tip2 = engine::MessageData::Owned(again, std::free);
    scene.OnMessage(210055, tip2, 0);
    clock.advance(40);
    scene.GetKernel().RunDueApplies();
    EXPECT_EQ(Dispatch(210056), 0);
    EXPECT_FALSE(e->IsVisible());
    const double left = e->GetAlpha();
    for (int i = 0; i < 5; ++i) {
        clock.advance(40);
        scene.GetKernel().RunDueApplies();
    }
    EXPECT_DOUBLE_EQ(e->GetAlpha(), left);
    platform::setClock(real);
    // The mouse manager's state word goes to the chat.
    scene.OnLButtonDown(0, 10, 10);
    const engine::MouseState* mouse = scene.GetMouseState();
    ASSERT_NE(mouse, nullptr);
    EXPECT_TRUE(mouse->bits & engine::MS_LEFT_DOWN);
    EXPECT_EQ(Dispatch(210057), 1);
    EXPECT_EQ(host.chat, std::vector<std::string>{std::to_string(mouse->bits) + "\r\n"});
}

}  // namespace
}  // namespace hqlv::mahjong::test
