// The end of the countdown and automatic play against the local server: the own turn played
// when it runs out, three missed turns switching automatic play on, the order in which the
// automatic player takes the offered buttons, and the silent seat's draw or discard sent for
// it only when nothing changed and never by a looker-on.
#include <climits>
#include <functional>

#include "play_fixture.h"

namespace hqlv::mahjong::test {
namespace {

TEST(SilentSeatDelay, SecondsInSixtyFourBitsNegativeWordsAsZeroCapped) {
    struct Case {
        int grace, claim;
        bool withClaim;
        uint32_t ms;
    };
    const Case cases[] = {
        {3, 8, true, 13000},
        {3, 8, false, 5000},
        {0, 0, false, 2000},
        {-5, 8, true, 10000},
        {3, -9, true, 5000},
        {INT_MIN, INT_MIN, true, 2000},
        {2147481, 0, false, 2147483000u},
        {2147482, 0, false, 0x7FFFFFFFu},
        {2147480, 1, true, 2147483000u},
        {2147480, 2, true, 0x7FFFFFFFu},
        {INT_MAX, INT_MAX, true, 0x7FFFFFFFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMJGameScene2::SilentSeatDelayMs(c.grace, c.claim, c.withClaim), c.ms)
            << c.grace << " " << c.claim << " " << c.withClaim;
}

class AutoPlay : public PlayTest {
protected:
    // The own turn with a drawn tile, the clock's hand at the own seat.
    void OwnTurn(int drawn = 30) {
        OwnHand({1, 2, 3}, drawn);
        scene.SetClockHand(6);
        scene.SetCountdown(0);
    }
    // A waited draw: the requests sent before it have arrived once it is answered.
    void Fence() {
        uint8_t out[32];
        Reply(229000, 10, Words(8, {{1, 99}}));
        scene.SendRequest229000(out);
        ++fences;
    }
    int fences = 0;
    const std::string& LastChat() const {
        static const std::string none;
        return play.chat.empty() ? none : play.chat.back();
    }
};

// Three missed turns in a row switch automatic play on; a button press between them starts
// the count again; a looker-on's countdown plays and counts nothing.
TEST_F(AutoPlay, ThreeMissedTurnsSwitchAutomaticPlayOn) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    Reply(221080, 10);
    auto miss = [&](int drawn) {
        OwnTurn(drawn);
        scene.OnCountdownEnd();
    };
    miss(30);
    miss(30);
    EXPECT_EQ(scene.GetTimeoutCount(), 2);
    Dispatch(210029);  // pass, though nothing is offered
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    play.lookerOn = 1;
    miss(30);
    play.lookerOn = 0;
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    for (int n = 1; n <= 3; ++n) {
        miss(30 + n);
        // The drawn tile was played for the player.
        EXPECT_EQ(GotWord(221080, 26, 2 + n), 30 + n) << n;
        EXPECT_EQ(scene.QZ_GetPointTo(), 4);
        EXPECT_EQ(scene.IsAutoPlayOn(), n == 3 ? 1 : 0) << n;
    }
    EXPECT_EQ(scene.GetTimeoutCount(), 3);
    EXPECT_NE(LastChat().find("游戏已进入系统托管状态，点击鼠标左键解除!"), std::string::npos);
    // A click on the table (the mouse event automatic play binds) ends it.
    Dispatch(210034);
    EXPECT_EQ(scene.IsAutoPlayOn(), 0);
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    EXPECT_EQ(LastChat(), "<c=255>[系统]<c=4953725>系统托管终止!\r\n");
}

TEST_F(AutoPlay, AnOpenChiPickingIsClearedOnlyWhenNoClaimWaits) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    OwnHand({1, 2, 3});
    scene.SetClockHand(2);
    MJTileInfo& r = scene.Tiles().m_hands[kOwnView][1];
    for (int mode : {0, 3}) {
        r.bLocked = 1;
        scene.SetSelectMode(mode);
        scene.OnCountdownEnd();
        EXPECT_EQ(r.bLocked, mode == 3 ? 0 : 1) << mode;
    }
}

TEST_F(AutoPlay, OwnTurnWithoutADrawnTileDrawsWhenTheDiscardWasNotClaimed) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    OwnHand({1, 2, 3});
    scene.SetClockHand(6);
    Reply(229000, 10, Words(8, {{1, 44}, {2, 9}}));
    // The discard before was claimed (its showcase is gone): nothing.
    scene.OnCountdownEnd();
    EXPECT_EQ(CountsAfterAHu({229000}), std::vector<int>{0});
    scene.Tiles().m_showcase[0].nCode = 70;
    scene.Tiles().m_showcase[0].bPresent = 1;
    scene.OnCountdownEnd();
    EXPECT_EQ(Count(229000), 1);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 44);
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(scene.IsCountdownSoundOn(), 1);
}

// A claim the server refused stays off for the rest of its window: neither the automatic
// player nor the player can send it again (a refused hu pressed every second clock second
// would otherwise repeat its waited request until the window closed); the window runs out
// and the countdown's end draws the own tile as for any discard nobody took.
TEST_F(AutoPlay, ARefusedClaimStaysOffUntilItsWindowRunsOut) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    scene.SetClockHand(6);  // the seat in view 0 (chair 3) discarded; the own seat is next
    OwnHand({49, 58, 1, 2});
    MJTileInfo& showcase = scene.Tiles().m_showcase[0];
    showcase.nCode = 40, showcase.bPresent = 1;
    for (int kind : {1, 4, 5})
        Offer(kind, 3, 40,
              kind == 1 ? std::initializer_list<int>{49, 58} : std::initializer_list<int>{});
    Reply(229080, 1010);
    Reply(229025, 1010);
    struct Case {
        const char* what;
        std::vector<int> offered;
        int id;
        bool byClick;
    };
    // Automatic play presses hu; the player clicks peng.
    const Case cases[] = {{"hu by automatic play", {1, 4, 5}, 229080, false},
                          {"peng by a click", {1, 5}, 229025, true}};
    for (const Case& c : cases) {
        scene.ShowAllClaimButtons(0);
        for (int k : c.offered) scene.ShowClaimButton(k, 1);
        scene.SetTimeoutCount(3);
        if (c.byClick) {
            Dispatch(210026);
        } else {
            scene.AutoPlayTick();
            scene.AutoPlayTick();
        }
        Fence();
        EXPECT_EQ(Count(c.id), 1) << c.what;
        EXPECT_EQ(Buttons(), "00000") << c.what;
        EXPECT_EQ(scene.IsPending(), 0) << c.what;
        EXPECT_EQ(scene.GetSelectMode(), 0) << c.what;
        EXPECT_TRUE(scene.melds.empty()) << c.what;
        EXPECT_EQ(play.cursorDepth, 0) << c.what;
        // The clock seconds of the rest of the window send nothing more.
        scene.SetTimeoutCount(3);
        const size_t seen = server.Received().size();
        for (int tick = 0; tick < 6; ++tick) scene.AutoPlayTick();
        Fence();
        EXPECT_EQ(server.Received().size(), seen + 1) << c.what;  // the fence alone
        EXPECT_EQ(Count(c.id), 1) << c.what;
    }
    EXPECT_EQ(Count(229010), 1);  // the one peng claim of the click
    EXPECT_EQ(Count(229005), 0);
    // The window runs out: the own seat draws, the unclaimed tile goes to its discards.
    Reply(229000, 10, Words(8, {{1, 30}, {2, 5}}));
    scene.SetTimeoutCount(0);
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    EXPECT_EQ(Count(229000), fences + 1);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 30);
    EXPECT_EQ(showcase.bPresent, 0);
    EXPECT_EQ(scene.discards, std::vector<int>{40});
    EXPECT_EQ(scene.GetCountdown(), 15);
}

// The seat before the own seat plays while the dice roll and the tiles are dealt, and the
// server closes the claim window at once (nobody may claim): the own draw goes out as soon as
// the dealing is over, with the clock running, not at the server's time-out.
TEST_F(AutoPlay, TheFirstOwnTurnDrawsAsSoonAsTheTilesAreDealt) {
    NEED_ASSETS();
    StartDeal();
    deal.Set(11, 3);  // chair 3, the seat before the own one, deals first
    deal.Set(13, 3);
    for (int c = 0; c < 4; ++c) deal.Set(49 + size_t(c), c == 3 ? 14 : 13);
    for (int i = 0; i < 32; ++i) deal.Set(53 + size_t(i), i < 13 ? 4 * i : -1);
    scene.OnGameReset();
    ASSERT_EQ(scene.IsDealing(), 1);
    Run(1000);
    scene.OnNotify221170(Words(22, {{1, 3}, {21, 130}}));
    scene.OnNotify229165({});
    Reply(229000, 10, Words(8, {{1, 44}, {2, 9}}));
    Run(500);
    EXPECT_EQ(Count(229000), 0);  // still dealing
    for (int t = 0; t < 1000 && scene.IsDealing(); ++t) Run(10);
    ASSERT_EQ(scene.IsDealing(), 0);
    EXPECT_EQ(Count(229000), 1);
    EXPECT_EQ(GotWord(229000, 6), 2);  // the own chair draws
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 44);
    EXPECT_EQ(scene.Clock().started, 1);
    EXPECT_EQ(scene.Clock().shown, 1);
    EXPECT_EQ(scene.GetClockPosition(), 6);
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(scene.IsCountdownSoundOn(), 1);
}

TEST_F(AutoPlay, TheAutomaticPlayerTakesHuThenGangThenPengThenPass) {
    NEED_ASSETS();
    StartDeal();
    scene.SetTimeoutCount(3);
    scene.SetClockHand(4);
    OwnHand({49, 58, 67, 1});
    Offer(1, 1, 40, {49, 58});
    Offer(2, 1, 40, {49, 58, 67});
    Offer(4, 1, 40, {});
    Offer(5, 1, 40, {});
    Reply(229080, 10);
    Reply(229015, 1010);
    Reply(229025, 210050);
    struct Case {
        std::vector<int> offered;
        int id;
    };
    const Case cases[] = {
        {{1, 2, 4, 5}, 229080}, {{1, 2, 5}, 229015}, {{1, 5}, 229010}, {{5}, 229005}};
    for (const Case& c : cases) {
        scene.SetPending(0);
        scene.SetSelectMode(0);
        scene.ShowAllClaimButtons(0);
        for (int k : c.offered) scene.ShowClaimButton(k, 1);
        const int before = Count(c.id);
        // Every second clock second acts.
        scene.AutoPlayTick();
        Fence();
        EXPECT_EQ(Count(c.id), before) << c.id << " first tick";
        scene.AutoPlayTick();
        Fence();
        EXPECT_EQ(Count(c.id), before + 1) << c.id;
    }
    // Nothing offered and not the own turn: no tick counts.
    scene.ShowAllClaimButtons(0);
    const size_t seen = server.Received().size();
    scene.AutoPlayTick();
    scene.AutoPlayTick();
    scene.ShowClaimButton(5, 1);
    scene.AutoPlayTick();
    Fence();
    EXPECT_EQ(server.Received().size(), seen + 1);
}

// With more than one gang in the hand the press leaves the choice open: the automatic
// player adds the last playable tile to its peng.
TEST_F(AutoPlay, TheAutomaticPlayerAddsTheLastTileToItsPeng) {
    NEED_ASSETS();
    StartDeal();
    OwnTurn(27);
    OwnHand({0, 9, 18, 2, 3, 28}, 27);
    MJTileInfo* h = scene.Tiles().m_hands[kOwnView];
    for (int i = 7, t = 1; i < 10; ++i, t += 9)
        h[i].nCode = t, h[i].bPresent = 1, h[i].bHand = 0, h[i].nMeld = kMeldPeng;
    scene.BindHand(kOwnView);
    scene.ShowClaimButton(2, 1);
    Reply(229015, 10, std::vector<uint8_t>(48));
    Reply(229049, 10, Words(8, {{1, 88}}));
    scene.AutoPlayTick();
    scene.AutoPlayTick();
    EXPECT_EQ(GotWord(229015, 9), 2);
    EXPECT_EQ(GotWord(229049, 5), 28);
    ASSERT_EQ(scene.melds.size(), 1u);
    EXPECT_EQ(scene.melds[0].rfind("bugang", 0), 0u) << scene.melds[0];
}

TEST_F(AutoPlay, TheAutomaticPlayerDiscardsTheChosenTile) {
    NEED_ASSETS();
    StartDeal();
    scene.SetTimeoutCount(3);
    OwnTurn(30);
    scene.choice = 2;
    Reply(221080, 10);
    // Without a drawn tile the own turn has nothing to play.
    scene.Tiles().m_hands[kOwnView][0].bPresent = 0;
    scene.AutoPlayTick();
    scene.AutoPlayTick();
    Fence();
    EXPECT_EQ(Count(221080), 0);
    scene.Tiles().m_hands[kOwnView][0].bPresent = 1;
    scene.AutoPlayTick();
    scene.AutoPlayTick();
    EXPECT_EQ(GotWord(221080, 26), 2);
    EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].nCode, 2);
}

TEST_F(AutoPlay, SilentSeatRequestsOnlyWhenNothingChanged) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    OwnHand({1, 2, 3});
    MJTileInfo& drawn = scene.Tiles().m_hands[0][0];
    // Not drawn, no claim window: grace + 2 + the claim seconds.
    scene.SetClockHand(0);
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    EXPECT_EQ(play.timers.back(), 10 * 100000 + 13000);
    scene.OnTurnTimer(10);
    EXPECT_EQ(GotWord(229000, 3), 3);  // the silent chair's draw
    // The handle is gone: a second firing sends nothing.
    scene.OnTurnTimer(10);
    // The seat drew meanwhile, the countdown was set again, the clock moved on: nothing.
    scene.OnCountdownEnd();
    drawn.bPresent = 1;
    scene.OnTurnTimer(10);
    drawn.bPresent = 0;
    scene.OnCountdownEnd();
    scene.SetCountdown(5);
    scene.OnTurnTimer(10);
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    scene.SetClockHand(2);
    scene.OnTurnTimer(10);
    EXPECT_EQ(CountsAfterAHu({229000}), std::vector<int>{1});
    // Drawn and silent: the discard after grace + 2, the server choosing the tile.
    scene.SetClockHand(0);
    scene.SetClaimWindowOpen(1);
    drawn.bPresent = 1;
    scene.OnCountdownEnd();
    EXPECT_EQ(play.timers.back(), 11 * 100000 + 5000);
    scene.OnTurnTimer(11);
    // The own machine id's first 32 bytes at byte 32.
    const std::vector<uint8_t> silent = Got(221080).body;
    ASSERT_EQ(silent.size(), 104u);
    EXPECT_EQ(std::string(silent.begin() + 32, silent.begin() + 64), play.machine.substr(0, 32));
    // With the claim window open an undrawn seat waits grace + 2 only.
    drawn.bPresent = 0;
    scene.OnCountdownEnd();
    EXPECT_EQ(play.timers.back(), 10 * 100000 + 5000);
    // Not playing, or a looker-on: no request and, for a looker-on, no timer.
    play.playing = 0;
    scene.OnTurnTimer(10);
    play.playing = 1;
    play.lookerOn = 1;
    const size_t timers = play.timers.size();
    scene.OnCountdownEnd();
    EXPECT_EQ(play.timers.size(), timers);
    scene.OnTurnTimer(10);
    scene.OnTurnTimer(11);
    EXPECT_EQ(CountsAfterAHu({229000, 221080}), (std::vector<int>{1, 1}));
}

// An own claim that the server holds back decides the turn: the silent seat's request waits.
// With nothing pending the same timers send.
TEST_F(AutoPlay, SilentSeatRequestsWaitWhileAnOwnClaimIsPending) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    OwnHand({1, 2, 3});
    MJTileInfo& drawn = scene.Tiles().m_hands[0][0];
    scene.SetClockHand(0);
    scene.SetCountdown(0);
    for (int pending : {1, 0}) {
        for (int timer : {10, 11}) {
            SCOPED_TRACE("pending " + std::to_string(pending) + " timer " + std::to_string(timer));
            drawn.bPresent = timer == 11;
            scene.OnCountdownEnd();
            ASSERT_EQ(play.timers.back() / 100000, timer);
            scene.SetPending(pending);
            scene.SetSelectMode(pending ? (timer == 10 ? 1 : 4) : 0);
            scene.OnTurnTimer(uint32_t(timer));
            scene.SetPending(0);
            scene.SetSelectMode(0);
            EXPECT_EQ(scene.GetTurnTimer(uint32_t(timer)), 0u);  // gone all the same
        }
        EXPECT_EQ(CountsAfterAHu({229000, 221080}), (std::vector<int>{1 - pending, 1 - pending}))
            << pending;
    }
}

// A held-back peng whose repeat the server refuses leaves its pending word without a claim
// to finish: the silent seat before the own seat is acted for all the same.
TEST_F(AutoPlay, APendingWordWithoutItsClaimHoldsTheSilentSeatBackNoLonger) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    OwnHand({49, 58, 1, 2});
    Offer(1, 1, 40, {49, 58});
    scene.ShowClaimButton(1, 1);
    Reply(229025, 210050);
    Dispatch(210026);
    ASSERT_EQ(scene.IsPending(), 1);
    scene.SetClockHand(0);
    scene.SetCountdown(0);
    Reply(229025, 229999);
    scene.OnCountdownEnd();
    ASSERT_EQ(Count(229025), 2);
    ASSERT_EQ(scene.GetSelectMode(), 0);
    scene.OnTurnTimer(10);
    EXPECT_EQ(GotWord(229000, 3), 3);
}

// A claim held back when its deal ends (here the own win on a discard) waits for nothing on
// the next table: the first own turn there opens and closes the gang choice by the button,
// plays its drawn tile when the countdown ends with the choice open, and the seat before it
// is acted for when it stays silent before that turn.
TEST_F(AutoPlay, AHeldBackClaimEndsWithItsTable) {
    NEED_ASSETS();
    StartDeal();
    OwnHand({1, 2, 3});
    Offer(CMJGameScene2::kClaimHu, 1, 40, {});
    Reply(229080, 210050);
    scene.OnBtnHu();
    ASSERT_EQ(scene.IsPending(), 1);
    ASSERT_EQ(scene.GetSelectMode(), 4);
    scene.ResetTable();
    EXPECT_EQ(scene.IsPending(), 0);
    scene.ClockStart();
    scene.SetClockHand(0);
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    scene.OnTurnTimer(10);
    EXPECT_EQ(GotWord(229000, 3), 3);
    OwnTurn(30);
    Reply(221080, 10);
    scene.OnBtnGang();
    ASSERT_EQ(scene.GetSelectMode(), 2);
    scene.OnBtnGang();
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.GetClaimCell(CMJGameScene2::kClaimGang), CMJGameScene2::kCellGang);
    scene.OnBtnGang();
    scene.OnCountdownEnd();
    EXPECT_EQ(GotWord(221080, 26), 30);
    EXPECT_EQ(scene.GetSelectMode(), 0);
}

// The clock timer stopped (the deal's end, the table's stop, an aborted game): a countdown end
// that comes later (the server's 229165) hides the buttons and does nothing else: no own tile
// played, no missed turn counted, no draw, no held-back claim sent again, no silent-seat
// timer. The clock's started word, which the stops leave set, does not decide it.
TEST_F(AutoPlay, ACountdownEndAfterTheClockTimerStoppedPlaysNothing) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    ASSERT_EQ(scene.Clock().started, 1);
    Reply(221080, 10);
    Reply(229000, 10, Words(8, {{1, 44}, {2, 9}}));
    Reply(229025, 10);
    struct Case {
        const char* name;
        std::function<void()> set;
        int request;  // what the end sends while the timer runs
    };
    const std::vector<Case> cases = {
        {"own turn, drawn tile", [&] { OwnTurn(30); }, 221080},
        {"own turn, no drawn tile",
         [&] {
             OwnHand({1, 2, 3});
             scene.SetClockHand(6);
             scene.Tiles().m_showcase[0].nCode = 70;
             scene.Tiles().m_showcase[0].bPresent = 1;
         },
         229000},
        {"held-back peng",
         [&] {
             OwnHand({1, 2, 3});
             scene.SetClockHand(2);
             Offer(CMJGameScene2::kClaimPeng, 1, 5, {1, 2});
             scene.SetPending(1);
             scene.SetSelectMode(1);
         },
         229025},
    };
    for (const Case& c : cases) {
        for (bool running : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (running ? ", timer running" : ", timer stopped"));
            if (running)
                scene.ClockStart();
            else
                play.StopClockTimer();
            c.set();
            scene.SetTimeoutCount(0);
            scene.ShowClaimButton(CMJGameScene2::kClaimPass, 1);
            const int before = Count(c.request);
            const size_t timers = play.timers.size();
            scene.OnNotify229165({});
            EXPECT_EQ(scene.IsClaimButtonActive(CMJGameScene2::kClaimPass), 0);
            EXPECT_EQ(scene.GetTimeoutCount(), running && c.request == 221080 ? 1 : 0);
            EXPECT_EQ(play.timers.size(), timers);
            EXPECT_EQ(CountsAfterAHu({c.request})[0] - before, running ? 1 : 0);
            scene.SetPending(0);
            scene.SetSelectMode(0);
        }
    }
    // The seat before the own seat: its grace timer only while the clock runs.
    OwnHand({1, 2, 3});
    scene.SetClockHand(0);
    play.StopClockTimer();
    const size_t timers = play.timers.size();
    scene.OnNotify229165({});
    EXPECT_EQ(play.timers.size(), timers);
    scene.ClockStart();
    scene.SetClockHand(0);
    scene.OnNotify229165({});
    EXPECT_EQ(play.timers.size(), timers + 1);
}

}  // namespace
}  // namespace hqlv::mahjong::test
