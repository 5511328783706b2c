// A deal on the window-drawn table (scene mode 1, no engine): the dice roll on the view's
// timer 4, the seats are dealt 500 ms apart, the opening flowers and the start of play follow
// on view timers of their own, each message once; then the clock runs. The own chair is 2
// (view 3); chair 3 sits at view 0, chair 0 at view 1, chair 1 at view 2.
#include <algorithm>
#include <cstring>

#include "gdi_table_fixture.h"

namespace hqlv::mahjong::test {
namespace {

using Timers = std::vector<std::pair<uint32_t, uint32_t>>;

class GdiDealFlow : public GdiTableTest {
protected:
    void SetUp() override {
        GdiTableTest::SetUp();
        host.chair = 2;
    }
    void Set(size_t word, int32_t v) { std::memcpy(deal.area.data() + word * 4, &v, 4); }
    // The start record of a deal whose banker (and first mover) is `banker`.
    void NewDeal(int banker) {
        Set(11, banker);
        Set(13, banker);
        Set(14, 0x101);
        Set(18, 15);
        Set(39, 8);
        Set(23, 3);
        Set(24, 5);
        for (int c = 0; c < 4; ++c) Set(49 + size_t(c), c == banker ? 14 : 13);
        const int count = banker == 2 ? 14 : 13;
        for (int i = 0; i < 32; ++i) Set(53 + size_t(i), i < count ? 4 * i : -1);
        scene.OnGameReset();
    }
    // The hands the paint pass draws, by the strips of their tiles.
    std::vector<int> PaintedHands() {
        dc.blits.clear();
        scene.PaintTableGdi(dc);
        std::vector<int> views;
        auto has = [&](const char* strip) {
            return std::any_of(dc.blits.begin(), dc.blits.end(),
                               [&](const std::string& b) { return b.rfind(strip, 0) == 0; });
        };
        if (has("MJ_SIDE0")) views.push_back(0);
        if (has("MJ_SIDE1")) views.push_back(1);
        if (has("MJ_SIDE2")) views.push_back(2);
        if (has("MJ_LARGE")) views.push_back(3);
        return views;
    }
    // Fires the dice timer until the roll is over (at most `ticks` times).
    void Roll(int ticks = 9) {
        for (int i = 0; i < ticks; ++i) scene.OnTimer(CMJGameScene2::kDiceTimer);
    }
    Timers Since(size_t from) const {
        return Timers(host.viewTimers.begin() + long(from), host.viewTimers.end());
    }
};

TEST_F(GdiDealFlow, DiceThenSeatsFiveHundredMsApartThenPlay) {
    NewDeal(0);  // the banker sits at view 1
    EXPECT_EQ(host.startWindowButton, std::vector<int>{0});
    EXPECT_EQ(scene.IsDealing(), 1);
    EXPECT_EQ(host.viewTimers, (Timers{{CMJGameScene2::kDiceTimer, 60}}));
    // No hand shows before its seat is dealt; the deal's two dice (3 and 5) roll.
    EXPECT_TRUE(PaintedHands().empty());
    EXPECT_NE(std::find(dc.blits.begin(), dc.blits.end(), "DICE3"), dc.blits.end());
    EXPECT_NE(std::find(dc.blits.begin(), dc.blits.end(), "DICE11"), dc.blits.end());
    Roll(8);
    EXPECT_EQ(host.viewTimers.size(), 1u);  // the last face still shows
    Roll(1);
    // The dealing: four seats from the banker's in turn order, then the end of it.
    const uint32_t t = CMJGameScene2::kDeferredTimer;
    EXPECT_EQ(Since(1),
              (Timers{{t, 0}, {t + 1, 500}, {t + 2, 1000}, {t + 3, 1500}, {t + 4, 2000}}));
    EXPECT_EQ(scene.DeferredCount(), 5u);
    const std::vector<std::vector<int>> dealt = {{1}, {0, 1}, {0, 1, 3}, {0, 1, 2, 3}};
    for (uint32_t k = 0; k < 4; ++k) {
        host.sounds.clear();
        scene.OnTimer(t + k);
        EXPECT_EQ(PaintedHands(), dealt[k]) << k;
        EXPECT_EQ(host.sounds, std::vector<int>{29103 * 100 + 1});
        EXPECT_EQ(host.viewKilled.back(), t + k);
        scene.OnTimer(t + k);  // a second expiry of the same id delivers nothing
        EXPECT_EQ(host.viewKilled.back(), t + k);
    }
    // No seat holds flowers: play begins 300 ms after the dealing.
    const size_t before = host.viewTimers.size();
    scene.OnTimer(t + 4);
    EXPECT_EQ(Since(before), (Timers{{t, 300}}));
    EXPECT_EQ(scene.IsDealing(), 1);
    EXPECT_EQ(scene.Clock().shown, 0);
    scene.OnTimer(t);
    EXPECT_EQ(scene.IsDealing(), 0);
    EXPECT_EQ(scene.DeferredCount(), 0u);
    EXPECT_EQ(scene.Clock().shown, 1);
    EXPECT_EQ(host.clockTimer.back(), "start");
    EXPECT_EQ(scene.GetClockPosition(), 2);  // the banker's view 1
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(PaintedHands(), (std::vector<int>{0, 1, 2, 3}));
    // The clock counts down on the view's second.
    scene.OnTimer(10000);
    EXPECT_EQ(scene.GetCountdown(), 14);
}

TEST_F(GdiDealFlow, FlowersWaitTheirTurnAndTheHeldCountdownEndRunsAtThePlay) {
    NewDeal(2);  // the own seat is the banker
    Roll();
    const uint32_t t = CMJGameScene2::kDeferredTimer;
    for (uint32_t k = 0; k < 4; ++k) scene.OnTimer(t + k);
    // Chair 3 (view 0) and the own seat reveal flowers: from the banker's view on, 300 ms
    // apart, and play 300 ms after the last.
    scene.Tiles().m_flowers[0][0].bPresent = 1;
    scene.Tiles().m_flowers[0][0].nCode = 136;
    scene.Tiles().m_flowers[3][0].bPresent = 1;
    scene.Tiles().m_flowers[3][0].nCode = 137;
    const size_t before = host.viewTimers.size();
    scene.OnTimer(t + 4);
    EXPECT_EQ(Since(before), (Timers{{t, 0}, {t + 1, 300}, {t + 2, 900}}));
    host.sounds.clear();
    scene.OnTimer(t);
    scene.OnTimer(t + 1);
    EXPECT_EQ(host.sounds, (std::vector<int>{29103 * 100 + 5, 29103 * 100 + 5}));
    // The server ends a countdown while the tiles are still dealt: it waits for the clock.
    scene.OnNotify229165({});
    EXPECT_EQ(scene.IsCountdownEndHeld(), 1);
    EXPECT_EQ(requests.plays, 0);
    scene.OnTimer(t + 2);
    EXPECT_EQ(scene.IsDealing(), 0);
    EXPECT_EQ(scene.IsCountdownEndHeld(), 0);
    // The own turn ran out at once: the drawn tile is played, and the play's end (the own
    // discard's event) follows on a timer of its own.
    EXPECT_EQ(requests.plays, 1);
    EXPECT_EQ(scene.GetTimeoutCount(), 1);
    EXPECT_EQ(scene.DeferredCount(), 1u);
    scene.OnTimer(t);
    EXPECT_EQ(scene.DeferredCount(), 0u);
}

TEST_F(GdiDealFlow, ThreeOwnTimeOutsSwitchAutomaticPlayOnWithoutAMarker) {
    NewDeal(2);
    Roll();
    for (uint32_t k = 0; k < 5; ++k) scene.OnTimer(CMJGameScene2::kDeferredTimer + k);
    scene.OnTimer(CMJGameScene2::kDeferredTimer);
    ASSERT_EQ(scene.IsDealing(), 0);
    auto inChat = [&](const std::string& text) {
        return std::any_of(host.chat.begin(), host.chat.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    for (int turn = 1; turn <= 3; ++turn) {
        MJTileInfo& slot = Hand(kOwnView)[0];
        slot.nCode = 100 + turn, slot.bPresent = 1, slot.bHand = 1;
        scene.SetClockHand(6);
        scene.SetCountdown(0);
        scene.OnCountdownEnd();
        EXPECT_EQ(requests.plays, turn);
        EXPECT_EQ(scene.IsAutoPlayOn(), turn == 3 ? 1 : 0) << turn;
    }
    EXPECT_TRUE(inChat("游戏已进入系统托管状态"));
    EXPECT_FALSE(inChat("系统托管终止"));
    EXPECT_EQ(scene.GetTimeoutCount(), 3);
    // A button press ends the count; the marker stays until the next toggle.
    scene.SetTimeoutCount(0);
    EXPECT_EQ(scene.IsAutoPlayOn(), 1);
    scene.ToggleAutoPlay();
    EXPECT_EQ(scene.IsAutoPlayOn(), 0);
    EXPECT_TRUE(inChat("系统托管终止"));
}

TEST_F(GdiDealFlow, WithoutAWindowTheDealGoesOnWithoutDice) {
    scene.SetGdiSurface(nullptr);
    NewDeal(1);
    EXPECT_EQ(host.viewTimers, (Timers{{CMJGameScene2::kDeferredTimer, 0}}));
    scene.OnTimer(CMJGameScene2::kDeferredTimer);
    EXPECT_EQ(scene.DeferredCount(), 5u);
}

TEST_F(GdiDealFlow, WaitingMessagesHaveSixtyFourTimersAndTheEngineModeNone) {
    const uint32_t t = CMJGameScene2::kDeferredTimer;
    for (uint32_t i = 0; i < CMJGameScene2::kDeferredTimers; ++i)
        EXPECT_EQ(scene.PostSceneMessage(10, 210061, engine::MessageData()), t + i);
    EXPECT_EQ(scene.PostSceneMessage(10, 210061, engine::MessageData()), 0u);
    EXPECT_EQ(scene.DeferredCount(), 64u);
    // A freed id is taken again; ids outside the range are not the waits'.
    scene.OnTimer(t + 7);
    EXPECT_EQ(scene.DeferredCount(), 63u);
    scene.OnTimer(t - 1);
    scene.OnTimer(t + 64);
    EXPECT_EQ(scene.DeferredCount(), 63u);
    EXPECT_EQ(scene.PostSceneMessage(10, 210061, engine::MessageData()), t + 7);
    // The engine's table waits in the engine: none of the view's timers.
    GdiScene engineScene;
    FakeSceneHost other;
    engineScene.SetSceneHost(&other);
    engineScene.SetSceneMode(2);
    EXPECT_EQ(engineScene.PostSceneMessage(10, 210061, engine::MessageData()), 0u);
    EXPECT_TRUE(other.viewTimers.empty());
    engineScene.OnTimer(t);
    EXPECT_EQ(engineScene.DeferredCount(), 0u);
}

// The drawn tile has landed at once: its message waits on a timer of its own and lands
// the tile (the hand is bound); it reports nothing into the chat.
TEST_F(GdiDealFlow, TheDrawnTileLandsOnItsOwnTimerAndSaysNothing) {
    OwnHand({5, 14, 23, 30});
    MJTileInfo& slot = Hand(kOwnView)[0];
    slot.nCode = 40, slot.bPresent = 1, slot.bHand = 1;
    const size_t before = host.viewTimers.size();
    scene.FlyDrawnTile(40);
    EXPECT_EQ(Since(before), (Timers{{CMJGameScene2::kDeferredTimer, 0}}));
    EXPECT_EQ(slot.nObject, 0);
    scene.OnTimer(CMJGameScene2::kDeferredTimer);
    EXPECT_EQ(scene.DeferredCount(), 0u);
    EXPECT_NE(slot.nObject, 0);
    EXPECT_TRUE(host.chat.empty());
}

TEST_F(GdiDealFlow, TheStartButtonIsTheWindowsAndTheCellsAreItsButtons) {
    scene.ShowStartButton();
    EXPECT_EQ(host.startWindowButton, std::vector<int>{1});
    host.windowCells[0] = 200, host.windowCells[1] = 200;
    EXPECT_EQ(scene.GetClaimCell(2), 200);
    EXPECT_EQ(scene.GetClaimCell(3), 200);
    EXPECT_EQ(scene.GetClaimCell(1), 0);
    // Every offer or withdrawal of the gang and chi buttons puts their own cells back.
    scene.ShowClaimButton(2, 1);
    scene.ShowClaimButton(3, 0);
    EXPECT_EQ(host.windowCells[0], 40);
    EXPECT_EQ(host.windowCells[1], 80);
    scene.SetClaimCell(1, 200);  // no cell of its own
    scene.SetClaimCell(2, 200);
    EXPECT_EQ(host.windowCells[0], 200);
    // In the engine's mode the window is not asked.
    scene.SetSceneMode(2);
    EXPECT_EQ(scene.GetClaimCell(2), 0);
    const size_t buttons = host.windowButtons.size();
    scene.ShowClaimButton(1, 1);
    scene.ShowClaimButton(2, 1);
    EXPECT_EQ(host.windowButtons.size(), buttons);
    EXPECT_EQ(host.windowCells[0], 200);
    scene.ShowStartButton();
    EXPECT_EQ(host.startWindowButton, std::vector<int>{1});
}

}  // namespace
}  // namespace hqlv::mahjong::test

namespace hqlv::mahjong::test {
namespace {

// The window-drawn table has no engine to speak with: each seat's voice and the tile names
// are its folder's wave files, played through the host's file sound call.
class GdiVoices : public GdiTableTest {
protected:
    void SetUp() override {
        GdiTableTest::SetUp();
        draw.SeatMutable(1)->voiceFolder = "/prog/Sound/0man/";
        draw.SeatMutable(3)->voiceFolder = "/prog/Sound/1woman/";
    }
};

TEST_F(GdiVoices, EachSeatSpeaksItsFolderWaveThroughTheHost) {
    scene.PlayActionSound(1, "peng0");
    scene.PlayActionSound(3, "gang0");
    scene.PlayNumberSound(1, 4);  // the first suit's 5: its sort key names the file
    EXPECT_EQ(host.soundFiles,
              (std::vector<std::string>{"/prog/Sound/0man/peng0.wav",
                                        "/prog/Sound/1woman/gang0.wav", "/prog/Sound/0man/5.wav"}));
    // No folder, no seat, or silence: nothing.
    host.soundFiles.clear();
    for (int view : {0, 2, -1, 4}) scene.PlayActionSound(view, "peng0");
    host.silent = true;
    scene.PlayActionSound(1, "peng0");
    EXPECT_TRUE(host.soundFiles.empty());
    // The engine's table without its engine plays nothing at all.
    host.silent = false;
    scene.SetSceneMode(2);
    scene.PlayActionSound(1, "peng0");
    EXPECT_TRUE(host.soundFiles.empty());
}

TEST_F(GdiVoices, APressSpeaksInTheOwnVoice) {
    scene.SetClockHand(6);
    scene.OnBtnPass();
    EXPECT_TRUE(host.soundFiles.empty());  // the pass has no voice
    scene.OnBtnHu();
    EXPECT_EQ(host.soundFiles, std::vector<std::string>{"/prog/Sound/1woman/hu0.wav"});
}

}  // namespace
}  // namespace hqlv::mahjong::test
