// The claim buttons and the own turn against the local server: every request body byte for
// byte, what each answer changes on the table, and that a refused or unsent request changes
// nothing on the table, leaves the buttons as the press turned them off and ends the wait
// cursor.
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "engine/core/button_frame.h"
#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "platform/core/files.h"
#include "play_fixture.h"

namespace hqlv::mahjong::test {
namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
    return std::vector<uint8_t>(p, p + n);
}

// The machine id's 32 bytes at byte 32 of a play body.
void PutMachine(std::vector<uint8_t>& b) {
    std::memcpy(b.data() + 32, "0123456789abcdef0123456789ABCDEF", 32);
}

TEST_F(PlayTest, EveryBodyOfTheClaimsAndTheTurn) {
    NEED_ASSETS();
    StartDeal();
    Offer(1, 1, 40, {49, 58});
    Offer(2, 1, 40, {49, 58, 67});
    Offer(3, 1, 44, {45, 46});
    Offer(4, 1, 41, {});
    Offer(5, 0, 39, {});
    uint8_t reply[48], sent[64];
    Reply(229015, 10, std::vector<uint8_t>(48, 7));
    Reply(229025, 210050);
    Reply(229030, 10);
    Reply(229045, 10, std::vector<uint8_t>(32));
    Reply(229047, 229999);
    Reply(229049, 10, std::vector<uint8_t>(32));
    Reply(229080, 10);
    Reply(229000, 10, Words(8, {{1, 30}, {2, 5}}));
    Reply(229060, 10, Words(8, {{1, 31}}));
    Reply(221080, 10);
    const auto claim = Body(64, {{4, 1}, {5, 40}, {6, 49}, {7, 58}, {8, -1}});
    const auto chi = Body(64, {{4, 1}, {5, 44}, {6, 45}, {7, 46}, {8, -1}});
    const auto face = Body(64, {{4, 2}, {5, 40}, {6, 49}, {7, 58}, {8, 67}});
    const auto added = Body(64, {{4, 2}, {5, 58}, {6, 40}, {7, 49}, {8, 67}});
    auto play = Body(108, {{5, 17}, {6, 2}, {7, 123456}, {20, 1}, {25, 1}, {26, 40}});
    PutMachine(play);
    // The silent seat's requests carry that seat's user id and chair (view 0: chair 3).
    ASSERT_EQ(scene.ViewToChair(0), 3);
    const auto silentDraw =
        Words(24, {{0, 1003}, {1, 301}, {2, 17}, {3, 3}, {5, 17}, {6, 2}, {7, 123456}});
    auto silentPlay =
        Words(26, {{0, 1003}, {1, 301}, {2, 17}, {3, 3}, {4, 1}, {5, 17}, {6, 2}, {7, 123456}});
    PutMachine(silentPlay);
    // Each request as the server got it; a copied one also came back in `sent`.
    auto check = [&](int result, int want, int id, int nth, bool wait,
                     const std::vector<uint8_t>& body, bool copied = false) {
        EXPECT_EQ(result, want) << id << "#" << nth;
        const server::Request r = Got(id, nth);
        EXPECT_EQ(r.wait, wait) << id << "#" << nth;
        EXPECT_EQ(r.body, body) << id << "#" << nth;
        if (copied) {
            EXPECT_EQ(Bytes(sent, 64), body) << id;
        }
    };
    check(scene.SendPeng(), 1, 229010, 1, false, claim);
    check(scene.SendGang(reply), 1, 229015, 1, true,
          Body(64, {{4, 1}, {5, 40}, {6, 49}, {7, 58}, {8, 67}, {9, 1}}));
    check(scene.SendChi(), 1, 229020, 1, false, chi);
    check(scene.SendRequest229025(sent), 210050, 229025, 1, true, claim, true);
    check(scene.SendRequest229030(45, 46, sent), 10, 229030, 1, true, chi, true);
    check(scene.SendRequest229045(sent, std::span(reply, 32)), 10, 229045, 1, true,
          Body(64, {{4, 1}, {5, 40}, {6, 49}, {7, 58}, {8, 67}}), true);
    check(scene.SendRequest229047(40, sent, std::span(reply, 32)), 229999, 229047, 1, true, face,
          true);
    scene.Offer(2).tile = 58;
    check(scene.SendRequest229049(sent, std::span(reply, 32)), 10, 229049, 1, true, added, true);
    scene.Offer(2).fromChair = 2;
    check(scene.SendAddedGang(reply), 1, 229015, 2, true,
          Body(64, {{4, 2}, {5, 58}, {6, 40}, {7, 49}, {8, 67}, {9, 2}}));
    check(scene.SendHu(), 10, 229080, 1, true, Body(48, {{4, 2}, {5, 41}, {6, 2}}));
    check(scene.SendHuOnDiscard(), 10, 229080, 2, true, Body(48, {{4, 1}, {5, 41}, {6, 1}}));
    scene.Offer(4).kind = 2;
    check(scene.SendHuOnDiscard(), 10, 229080, 3, true,
          Body(48, {{4, 1}, {5, 41}, {6, 4}, {7, 2}}));
    check(scene.SendPass(), 1, 229005, 1, false, Body(40, {{4, 0}, {5, 39}}));
    check(scene.SendRequest229000(sent), 1, 229000, 1, true,
          Body(96, {{5, 17}, {6, 2}, {7, 123456}}));
    check(scene.SendRequest221080(40), 10, 221080, 1, true, play);
    check(scene.SendRequest229060(140, sent), 1, 229060, 1, true, Body(44, {{4, 140}}));
    scene.SendAutoAction10();
    check(0, 0, 229000, 2, false, silentDraw);
    scene.SendAutoAction11();
    check(0, 0, 221080, 2, false, silentPlay);
}

TEST_F(PlayTest, DrawTileChecksTheAnswersTileAndWallPlace) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    for (int i = 0; i < 136; ++i)
        scene.Tiles().m_wall[i].bPresent = 1, scene.Tiles().m_wall[i].nCode = i;
    struct Case {
        int tile, wall, drew;
    };
    // A tile id past 151 or below -1 fails the draw; a wall place outside the wall marks
    // nothing but the draw stands.
    const Case cases[] = {{152, 5, 0}, {-2, 5, 0},    {30, 136, 1},
                          {30, -1, 1}, {151, 135, 1}, {0, 0, 1}};
    for (const Case& c : cases) {
        OwnHand({1, 2, 3});
        Reply(229000, 10, Words(8, {{1, c.tile}, {2, c.wall}, {3, 0}}));
        EXPECT_EQ(scene.DrawTile(), c.drew) << c.tile << "@" << c.wall;
        const MJTileInfo& slot = scene.Tiles().m_hands[kOwnView][0];
        EXPECT_EQ(slot.bPresent, c.drew) << c.tile;
        if (c.drew) {
            EXPECT_EQ(slot.nCode, c.tile);
        }
        int gone = 0;
        for (int i = 0; i < 136; ++i) gone += !scene.Tiles().m_wall[i].bPresent;
        EXPECT_EQ(gone, c.drew && c.wall >= 0 && c.wall < 136 ? 1 : 0) << c.wall;
        for (int i = 0; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
    }
    // The empty wall: 229101 marks the reply's tile -1 and nothing is drawn. It is the end
    // of the wall, not a bad answer: the log, which names a tile of no id, stays quiet.
    QTemporaryDir logs;
    ASSERT_TRUE(logs.isValid());
    const std::string before = engine::SetEngineLogFolder(logs.path().toStdString() + "/");
    auto logged = [&] {
        std::string all;
        for (const QString& f : QDir(logs.path()).entryList(QDir::Files)) {
            std::string text;
            if (platform::readFile(logs.filePath(f).toStdString(), &text)) all += text;
        }
        return all;
    };
    OwnHand({1, 2, 3});
    Reply(229000, 229101);
    EXPECT_EQ(scene.DrawTile(), 0);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0);
    // An answer of success whose tile is -1 is the same end of the wall.
    OwnHand({1, 2, 3});
    Reply(229000, 10, Words(8, {{1, -1}, {2, 5}, {3, 0}}));
    EXPECT_EQ(scene.DrawTile(), 0);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0);
    EXPECT_EQ(logged().find("摸牌应答的牌错误"), std::string::npos);
    OwnHand({1, 2, 3});
    Reply(229000, 10, Words(8, {{1, -2}, {2, 5}, {3, 0}}));
    EXPECT_EQ(scene.DrawTile(), 0);
    EXPECT_NE(logged().find("摸牌应答的牌错误:-2"), std::string::npos);
    engine::SetEngineLogFolder(before);
    // A draw settles the discard before it; word 3 is the hu offer of the drawn tile.
    MJTileInfo& showcase = scene.Tiles().m_showcase[0];
    showcase.nCode = 77, showcase.bPresent = 1;
    scene.SetPending(1);
    Reply(229000, 10, Words(8, {{1, 30}, {2, 5}, {3, 8}}));
    ASSERT_EQ(scene.DrawTile(), 1);
    EXPECT_EQ(showcase.bPresent, 0);
    EXPECT_EQ(scene.discards, std::vector<int>{77});
    EXPECT_EQ(scene.IsPending(), 0);
    EXPECT_EQ(Active(4), 1);
    EXPECT_EQ(scene.GetOwnDrawnTile(), 30);
}

// Every own draw sounds; only a tile still shown before the own seat moves into the discard
// rows, an empty record adds no stale code there.
TEST_F(PlayTest, EveryDrawSoundsButOnlyAShownTileIsDiscarded) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    MJTileInfo& showcase = scene.Tiles().m_showcase[0];
    for (const int present : {0, 1}) {
        OwnHand({1, 2, 3});
        scene.discards.clear();
        play.sounds.clear();
        showcase.nCode = 77, showcase.bPresent = present;
        Reply(229000, 10, Words(8, {{1, 30 + present}, {2, 5}, {3, 0}}));
        ASSERT_EQ(scene.DrawTile(), 1);
        EXPECT_EQ(std::count(play.sounds.begin(), play.sounds.end(), 29104 * 100 + 0x11), 1)
            << present;
        EXPECT_EQ(showcase.bPresent, 0);
        EXPECT_EQ(scene.discards, present ? std::vector<int>{77} : std::vector<int>{});
    }
    // No draw, no sound.
    OwnHand({1, 2, 3});
    play.sounds.clear();
    Reply(229000, 10, Words(8, {{1, -1}, {2, 5}, {3, 0}}));
    EXPECT_EQ(scene.DrawTile(), 0);
    EXPECT_TRUE(play.sounds.empty());
}

// Only the gang and chi buttons change their picture cell: the other claim buttons have
// none to read (0) and setting one changes nothing, the gang's and chi's cells included.
TEST_F(PlayTest, OnlyTheGangAndChiButtonsHaveACellToChange) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClaimCell(2, 40);
    scene.SetClaimCell(3, 80);
    ASSERT_EQ(scene.GetClaimCell(2), 40);
    ASSERT_EQ(scene.GetClaimCell(3), 80);
    for (int kind : {0, 1, 4, 5, 6}) {
        SCOPED_TRACE(kind);
        scene.SetClaimCell(kind, 120);
        EXPECT_EQ(scene.GetClaimCell(kind), 0);
        EXPECT_EQ(scene.GetClaimCell(2), 40);
        EXPECT_EQ(scene.GetClaimCell(3), 80);
    }
}

TEST_F(PlayTest, ConcealedGangEndsTheWaitCursorOnEveryPath) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    // Two faces held four times: the gang press opens the choice and waits for a tile.
    OwnHand({0, 9, 18, 1, 10, 19, 28, 5}, 27);
    scene.ShowClaimButton(2, 1);
    scene.OnBtnGang();
    ASSERT_EQ(scene.GetSelectMode(), 2);
    ASSERT_EQ(scene.GetClaimCell(2), 200);
    Reply(229047, 1010);
    EXPECT_EQ(scene.DeclareConcealedGang(27), 0);
    EXPECT_EQ(play.cursorsBegun, 1);
    EXPECT_EQ(play.cursorDepth, 0);
    EXPECT_EQ(scene.IsActionWaiting(), 0);
    // The refusal left the choice: the picture is the gang's again and nothing is locked.
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.GetClaimCell(2), 40);
    EXPECT_TRUE(scene.melds.empty());
    // Not sent at all: the same.
    scene.OnBtnGang();
    play.requests = nullptr;
    EXPECT_EQ(scene.DeclareConcealedGang(27), 0);
    EXPECT_EQ(play.cursorDepth, 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    // Refused with no picking open (the gang button's own picture): nothing is pressed, so
    // no gang is claimed on a discard.
    play.requests = &conn;
    EXPECT_EQ(scene.GetClaimCell(2), 40);
    EXPECT_EQ(scene.DeclareConcealedGang(27), 0);
    EXPECT_EQ(CountsAfterAHu({229015}), std::vector<int>{0});
    EXPECT_EQ(play.cursorDepth, 0);
    // Accepted: the meld from the body sent, the replacement 200 ms later.
    play.requests = &conn;
    scene.OnBtnGang();
    scene.SetCountdown(4);
    Reply(229047, 10, Words(8, {{0, 2}, {1, 88}, {2, 0}, {3, 7}}));
    EXPECT_EQ(scene.DeclareConcealedGang(27), 1);
    EXPECT_EQ(play.cursorDepth, 0);
    EXPECT_EQ(play.cursorsBegun, 4);
    ASSERT_EQ(scene.melds.size(), 1u);
    EXPECT_EQ(scene.melds[0], "angang 3 2 2 27 0 9 18");
    EXPECT_EQ(scene.GetCountdown(), 7);
    EXPECT_EQ(Active(2), 0);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0);
    Run(150);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0);
    Run(100);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 88);
}

// The three seconds a concealed gang adds stop at the largest count: the count may come
// from the server's words.
TEST_F(PlayTest, ConcealedGangTimeStopsAtTheLargestCount) {
    NEED_ASSETS();
    StartDeal();
    struct Case {
        int before, after;
    } cases[] = {{4, 7},
                 {INT_MAX - 4, INT_MAX - 1},
                 {INT_MAX - 3, INT_MAX},
                 {INT_MAX - 2, INT_MAX},
                 {INT_MAX, INT_MAX}};
    for (const Case& c : cases) {
        scene.SetClockHand(6);
        OwnHand({0, 9, 18, 1, 10, 19, 28, 5}, 27);
        scene.ShowClaimButton(2, 1);
        scene.OnBtnGang();
        scene.SetCountdown(c.before);
        Reply(229047, 10, Words(8, {{0, 2}, {1, 88}, {2, 0}, {3, 7}}));
        ASSERT_EQ(scene.DeclareConcealedGang(27), 1) << c.before;
        EXPECT_EQ(scene.GetCountdown(), c.after) << c.before;
    }
}

TEST_F(PlayTest, GangPressedTwiceInTheOwnTurnSendsNothing) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    OwnHand({0, 9, 18, 1, 10, 19, 28, 5}, 27);
    scene.ShowClaimButton(2, 1);
    Dispatch(210027);
    EXPECT_EQ(scene.GetClaimCell(2), 200);
    // While a gang claim of the choice waits (held back), the second press keeps it open.
    scene.SetPending(1);
    Dispatch(210027);
    EXPECT_EQ(scene.GetClaimCell(2), 200);
    EXPECT_EQ(scene.GetSelectMode(), 2);
    scene.SetPending(0);
    int locked = 0;
    for (int i = 0; i < 14; ++i) locked += scene.Tiles().m_hands[kOwnView][i].bLocked;
    EXPECT_EQ(locked, 1);  // only tile 5 takes no part in a gang
    Dispatch(210027);
    EXPECT_EQ(scene.GetClaimCell(2), 40);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    locked = 0;
    for (int i = 0; i < 14; ++i) locked += scene.Tiles().m_hands[kOwnView][i].bLocked;
    EXPECT_EQ(locked, 0);
    // The presses sent nothing.
    EXPECT_EQ(CountsAfterAHu({229047, 229015}), (std::vector<int>{0, 0}));
}

TEST_F(PlayTest, OneGangCandidateIsDeclaredAtOnceAndOnlyOnce) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    struct Case {
        std::initializer_list<int> hand;
        int drawn, tile, first, second, third;
    };
    // The last record of the face in the hand is picked; its companions may include the
    // draw slot's tile.
    const Case cases[] = {{{0, 9, 18, 1, 2, 3, 5}, 27, 18, 0, 9, 27},
                          {{9, 18, 27, 1, 2, 3, 5}, 0, 27, 0, 9, 18}};
    int n = 0;
    for (const Case& c : cases) {
        OwnHand(c.hand, c.drawn);
        scene.ShowClaimButton(2, 1);
        Reply(229047, 10, Words(8, {{0, 2}, {1, 88}}));
        Dispatch(210027);
        ASSERT_EQ(Count(229047), ++n);
        EXPECT_EQ(Got(229047, n).body,
                  Body(64, {{4, 2}, {5, c.tile}, {6, c.first}, {7, c.second}, {8, c.third}}));
        EXPECT_EQ(scene.GetSelectMode(), 0);
        EXPECT_EQ(scene.melds.size(), size_t(n));
    }
}

// The own turn offers a gang only with a drawn tile, and never to a looker-on; a refused
// gang confirm lays nothing.
TEST_F(PlayTest, TheOwnGangIsOfferedOnlyWithADrawnTile) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    struct Case {
        int drawn, lookerOn, offered;
    };
    for (const Case& c : {Case{27, 0, 1}, Case{-1, 0, 0}, Case{27, 1, 0}}) {
        OwnHand({0, 9, 18, 1, 2, 3}, c.drawn);
        scene.ShowClaimButton(2, 0);
        play.lookerOn = c.lookerOn;
        scene.CheckOwnGang();
        EXPECT_EQ(Active(2), c.offered) << c.drawn << " " << c.lookerOn;
    }
    play.lookerOn = 0;
    Offer(2, 1, 40, {49, 58, 67});
    Reply(229045, 1010);
    EXPECT_EQ(scene.ConfirmGangClaim(), 0);
    EXPECT_TRUE(scene.melds.empty());
}

// An agreed gang whose answer is too short to name the replacement lays the meld but draws
// nothing: the answer buffer's zeros are no tile 0.
TEST_F(PlayTest, AGangAnswerTooShortDrawsNoReplacement) {
    NEED_ASSETS();
    StartDeal();
    OwnHand({0, 9, 18, 49, 58, 1, 2}, 27);
    Offer(2, 1, 40, {49, 58, 67});
    struct Case {
        int id;
        std::function<int()> act;
    };
    const Case cases[] = {{229045, [&] { return scene.ConfirmGangClaim(); }},
                          {229047, [&] { return scene.DeclareConcealedGang(27); }},
                          {229049, [&] { return scene.DeclareAddedGang(67); }}};
    for (const Case& c : cases) {
        scene.SetPending(1);  // the added gang's first request went out before
        scene.melds.clear();
        Reply(c.id, 10, std::vector<uint8_t>(4, 7));
        EXPECT_EQ(c.act(), 1) << c.id;
        EXPECT_EQ(scene.melds.size(), 1u) << c.id;
        Run(250);
        EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0) << c.id;
        EXPECT_NE(Log().find(std::to_string(c.id) + "的应答太短"), std::string::npos) << c.id;
    }
}

TEST_F(PlayTest, PickingIgnoresLockedAndMissingTilesAndLookersOn) {
    NEED_ASSETS();
    StartDeal();
    using Click = void (CMJGameScene2::*)(MJTileInfo*, MJBinding*);
    for (Click click : {&CMJGameScene2::OnTileClickSelect, &CMJGameScene2::OnTileClickGang}) {
        OwnHand({1, 2, 3});
        MJTileInfo* r = &scene.Tiles().m_hands[kOwnView][2];
        r->bLocked = 1;
        (scene.*click)(r, nullptr);
        (scene.*click)(nullptr, nullptr);
        EXPECT_EQ(r->bSelected, 0);
        r->bLocked = 0;
        play.lookerOn = 1;
        (scene.*click)(r, nullptr);
        EXPECT_EQ(r->bSelected, 0);
        play.lookerOn = 0;
        (scene.*click)(r, nullptr);
        EXPECT_EQ(r->bSelected, 1);
    }
}

TEST_F(PlayTest, HeldBackPengWaitsAndIsConfirmedAgainAtTheCountdownsEnd) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    scene.SetClockHand(4);
    OwnHand({49, 58, 1, 2});
    MJTileInfo& showcase = scene.Tiles().m_showcase[2];
    showcase.nCode = 40, showcase.bPresent = 1;
    Offer(1, 1, 40, {49, 58});
    Offer(5, 1, 40, {});
    scene.ShowClaimButton(1, 1);
    scene.ShowClaimButton(2, 1);
    scene.ShowClaimButton(5, 1);
    Reply(229025, 210050);
    Dispatch(210026);
    EXPECT_EQ(Got(229010).body, Body(64, {{4, 1}, {5, 40}, {6, 49}, {7, 58}, {8, -1}}));
    EXPECT_EQ(Count(229025), 1);
    EXPECT_EQ(scene.IsPending(), 1);
    EXPECT_EQ(scene.GetSelectMode(), 1);
    EXPECT_TRUE(scene.melds.empty());
    EXPECT_EQ(Buttons(), "00000");
    Reply(229025, 10);
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    EXPECT_EQ(Count(229025), 2);
    EXPECT_EQ(scene.IsPending(), 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    ASSERT_EQ(scene.melds.size(), 1u);
    EXPECT_EQ(scene.melds[0], "peng 3 2 1 40 49 58 -1");
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(scene.QZ_GetPointTo(), 6);
    // The showcase of the seat the tile came from (chair 1: view 2) is cleared.
    EXPECT_EQ(showcase.bPresent, 0);
}

// This game takes no chi (its rules refuse every run): a chi still pending when the countdown
// ends is dropped unsent, its marks go, and the own seat draws instead.
TEST_F(PlayTest, PendingChiAtTheCountdownsEndIsDroppedAndTheOwnSeatDraws) {
    NEED_ASSETS();
    StartDeal();
    scene.ClockStart();
    scene.SetClockHand(6);
    OwnHand({43, 44, 1, 2});
    Offer(3, 1, 42, {43, 44});
    scene.Tiles().m_hands[kOwnView][1].bSelected = 1;
    scene.Tiles().m_hands[kOwnView][2].bSelected = 1;
    scene.SetPending(1);
    scene.SetSelectMode(3);
    Reply(229030, 10);
    Reply(229000, 10, Words(8, {{1, 30}, {2, 5}}));
    scene.SetCountdown(0);
    scene.OnCountdownEnd();
    EXPECT_EQ(Count(229030), 0);
    EXPECT_EQ(Count(229000), 1);
    EXPECT_EQ(scene.IsPending(), 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.GetCountdown(), 15);
}

TEST_F(PlayTest, RefusedOrUnsentClaimsLeaveTheButtonsOff) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(4);
    OwnHand({49, 58, 67, 1});
    Offer(1, 1, 40, {49, 58});
    Offer(2, 1, 40, {49, 58, 67});
    Offer(4, 1, 40, {});
    Offer(5, 1, 40, {});
    auto offer = [&] {
        for (int k : {1, 2, 4, 5}) scene.ShowClaimButton(k, 1);
    };
    // Refused: the buttons stay off and nothing is laid. Held back (a hu, then a peng while
    // it waits): the claim waits with the buttons off.
    struct Case {
        const char* what;
        uint32_t event;
        int id, code;
        const char* buttons;
        int pending, mode;
    };
    const Case cases[] = {{"peng", 210026, 229025, 1010, "00000", 0, 0},
                          {"gang", 210027, 229015, 1010, "00000", 0, 0},
                          {"hu", 210028, 229080, 1010, "00000", 0, 0},
                          {"hu held", 210028, 229080, 210050, "00000", 1, 4},
                          {"peng held", 210026, 229025, 210050, "00000", 1, 1}};
    for (const Case& c : cases) {
        offer();
        Reply(c.id, c.code);
        Dispatch(c.event);
        EXPECT_EQ(Buttons(), c.buttons) << c.what;
        EXPECT_EQ(scene.IsPending(), c.pending) << c.what;
        EXPECT_EQ(scene.GetSelectMode(), c.mode) << c.what;
        EXPECT_EQ(play.cursorDepth, 0) << c.what;
        EXPECT_TRUE(scene.melds.empty()) << c.what;
    }
    // A gang on the discard whose confirm is held back waits with the buttons off too.
    scene.SetPending(0);
    scene.SetSelectMode(0);
    offer();
    Reply(229015, 10, std::vector<uint8_t>(48));
    Reply(229045, 210050);
    Dispatch(210027);
    EXPECT_EQ(Buttons(), "00000");
    EXPECT_EQ(scene.IsPending(), 1);
    EXPECT_EQ(scene.GetSelectMode(), 2);
    // Nothing sent: no request object.
    scene.SetPending(0);
    scene.SetSelectMode(0);
    play.requests = nullptr;
    for (uint32_t event : {210026u, 210027u, 210028u, 210029u}) {
        offer();
        Dispatch(event);
        EXPECT_EQ(Buttons(), "00000") << event;
        EXPECT_EQ(scene.IsPending(), 0) << event;
        EXPECT_EQ(scene.GetSelectMode(), 0) << event;
    }
    // The confirms with nothing to send them: no answer read, nothing laid.
    scene.SetPending(1);
    EXPECT_EQ(scene.DeclareAddedGang(67), 0);
    EXPECT_EQ(scene.ConfirmPengClaim(), 0);
    EXPECT_TRUE(scene.melds.empty());
    scene.SetPending(0);
    scene.SetSelectMode(0);
    // A chi press with nothing sent opens no picking; gang and pass stay off as the press
    // turned them.
    scene.SetClockHand(6);
    Offer(3, 1, 44, {45, 46});
    scene.ShowClaimButton(3, 1);
    offer();
    Dispatch(210025);
    EXPECT_EQ(Buttons(), "10110");
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.GetClaimCell(3), 80);
    scene.SetClockHand(4);
    play.requests = &conn;
    // A hu pressed while none is offered only turns the buttons off.
    offer();
    scene.Offer(4).shown = 0;
    const int before = Count(229080);
    Dispatch(210028);
    EXPECT_EQ(Buttons(), "00000");
    EXPECT_EQ(scene.SendPass(), 1);
    Got(229005);
    EXPECT_EQ(Count(229080), before);
}

TEST_F(PlayTest, ChiPressedTwiceCancelsTheChoiceAndClaimsOnce) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    OwnHand({1, 2, 30, 40, 50});
    Offer(3, 1, 0, {1, 2});
    scene.ShowClaimButton(3, 1);
    scene.ShowClaimButton(5, 1);
    EXPECT_EQ(scene.GetClaimCell(3), 80);
    Dispatch(210025);
    EXPECT_EQ(scene.GetClaimCell(3), 200);
    EXPECT_EQ(scene.GetClaimCell(2), 40);  // the gang button keeps its own cell
    EXPECT_EQ(scene.GetSelectMode(), 3);
    Dispatch(210025);
    EXPECT_EQ(scene.GetClaimCell(3), 80);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(Active(5), 1);
    EXPECT_EQ(CountsAfterAHu({229020}), std::vector<int>{1});
}

TEST_F(PlayTest, PassSendsAndTurnsEveryButtonOff) {
    NEED_ASSETS();
    StartDeal();
    Offer(5, 3, 12, {});
    for (int k = 1; k <= 5; ++k) scene.ShowClaimButton(k, 1);
    scene.SetTimeoutCount(2);
    Dispatch(210029);
    EXPECT_EQ(Got(229005).body, Body(40, {{4, 3}, {5, 12}}));
    EXPECT_EQ(Buttons(), "00000");
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
}

TEST_F(PlayTest, DiscardRefusedOrUnsentLeavesTheTileInTheHandElseMovesIt) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    OwnHand({1, 2, 3}, 30);
    scene.ShowClaimButton(2, 1);
    Reply(221080, 229450);
    EXPECT_EQ(scene.DiscardTile(0), 0);
    play.requests = nullptr;
    EXPECT_EQ(scene.DiscardTile(0), 0);
    play.requests = &conn;
    const MJTileInfo& slot = scene.Tiles().m_hands[kOwnView][0];
    EXPECT_EQ(slot.bPresent, 1);
    EXPECT_EQ(slot.nCode, 30);
    const MJTileInfo& own = scene.Tiles().m_showcase[kOwnView];
    EXPECT_EQ(own.bPresent, 0);
    EXPECT_EQ(Active(2), 1);
    EXPECT_EQ(scene.QZ_GetPointTo(), 6);
    // Agreed: a click on a hand tile plays it.
    Reply(221080, 10);
    scene.SetTimeoutCount(2);
    MJTileInfo* r = &scene.Tiles().m_hands[kOwnView][2];
    ASSERT_NE(r->nObject, 0);
    scene.OnTileClickDiscard(r, scene.Binding(r->nObject));
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    EXPECT_EQ(GotWord(221080, 26, 2), 2);
    EXPECT_EQ(own.bPresent, 1);
    EXPECT_EQ(own.nCode, 2);
    EXPECT_EQ(Active(2), 0);
    // The played tile flies from its place at z 1800 until the end of the discard (210059).
    engine::Entity* moving = scene.GetKernel().FindEntity(scene.Entities().dragTile);
    ASSERT_TRUE(moving);
    EXPECT_TRUE(moving->IsVisible());
    EXPECT_EQ(moving->GetZ(), 1800);
    scene.PumpMessages();
    EXPECT_FALSE(moving->IsVisible());
    EXPECT_EQ(slot.bPresent, 0);
    EXPECT_EQ(scene.GetCountdown(), 8);
    EXPECT_EQ(scene.QZ_GetPointTo(), 4);
    // The hand keeps 1, 3 and the drawn 30.
    int32_t codes[32];
    ASSERT_EQ(scene.GetHandCodes(kOwnView, codes), 3);
}

// Only the server's agreement plays the tile: any other answer is a refusal as well.
TEST_F(PlayTest, AnyAnswerButTheAgreementKeepsTheDiscardInTheHand) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    OwnHand({1, 2, 3}, 30);
    int sent = 0;
    for (int code : {1010, 9, 11, 210050}) {
        Reply(221080, code);
        EXPECT_EQ(scene.DiscardTile(0), 0) << code;
        EXPECT_EQ(GotWord(221080, 26, ++sent), 30) << code;  // asked, and answered so
        EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 1) << code;
        EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].bPresent, 0) << code;
    }
    // The agreement itself plays it.
    Reply(221080, 10);
    EXPECT_EQ(scene.DiscardTile(0), 1);
    EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].nCode, 30);
}

TEST_F(PlayTest, FlowerAnsweredWithNoReplacementPassesTheTurn) {
    NEED_ASSETS();
    StartDeal();
    scene.SetClockHand(6);
    ASSERT_TRUE(scene.IsFlowerTile(136));
    OwnHand({1, 2, 136}, 30);
    scene.SetCountdownSound(1);
    Reply(229060, 229101);
    EXPECT_EQ(scene.PlayFlower(3), 0);
    EXPECT_EQ(scene.IsCountdownSoundOn(), 0);
    EXPECT_EQ(Got(229060).body, Body(44, {{4, 136}}));
    EXPECT_EQ(scene.GetCountdown(), 8);
    EXPECT_EQ(scene.QZ_GetPointTo(), 4);
    EXPECT_EQ(scene.Tiles().m_flowers[kOwnView][0].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_flowers[kOwnView][0].nCode, 136);
    EXPECT_EQ(scene.FindLastTile(kOwnView, 136), -1);
    // Refused for another reason: nothing moves.
    OwnHand({1, 2, 137}, 30);
    Reply(229060, 1010);
    EXPECT_EQ(scene.PlayFlower(3), 0);
    EXPECT_EQ(scene.FindLastTile(kOwnView, 137), 3);
    // With a replacement: drawn 200 ms later.
    Reply(229060, 10, Words(8, {{1, 33}}));
    EXPECT_EQ(scene.PlayFlower(3), 1);
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(scene.QZ_GetPointTo(), 6);
    Run(250);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 33);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 1);
}

TEST_F(PlayTest, StartPressAsksTheServerAndHidesTheButton) {
    NEED_ASSETS();
    StartDeal();
    scene.SetTimeoutCount(2);
    Dispatch(210023);
    ASSERT_EQ(play.starts, std::vector<int>{0});
    EXPECT_EQ(play.started, Body(16, {}));
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][13].bPresent, 0);  // dealt by the server
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    play.field13 = 0xC0;
    play.startWorks = 0;
    Dispatch(210023);
    EXPECT_EQ(play.starts, (std::vector<int>{0, 1}));
    play.lookerOn = 1;
    Dispatch(210023);
    EXPECT_EQ(play.starts.size(), 2u);
    // Alone, without a server, the own hand is dealt the tiles from 36 on.
    play.lookerOn = 0, play.standalone = 1, play.field13 = 0, play.startWorks = 1;
    Dispatch(210023);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 36);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][13].nCode, 49);
}

TEST_F(PlayTest, TheClaimFrameLineNamesTheFrameAndTheButtons) {
    NEED_ASSETS();
    StartDeal();
    engine::Entity* f = scene.Entities().operationBar->FrameEntity();
    const int left = f->GetX() - f->GetWidth() / 2, top = f->GetY() - f->GetHeight() / 2;
    char want[128];
    std::snprintf(want, sizeof want, "操作按钮框:%d,%d,%d,%d 过=", left, top, left + f->GetWidth(),
                  top + f->GetHeight());
    scene.LogClaimFrame();
    EXPECT_NE(Log().find(want), std::string::npos) << Log();
    // On the display: the frame's corners and the buttons' centres moved by the host's map.
    play.mapped = true;
    scene.LogClaimFrame();
    engine::ControlData* peng = scene.GetKernel().FindControl(scene.Entities().peng);
    ASSERT_TRUE(peng);
    engine::Entity* face = scene.GetKernel().FindEntity(peng->entityId);
    std::snprintf(want, sizeof want, "操作按钮框:%d,%d,%d,%d 屏幕:%d,%d,%d,%d", left, top,
                  left + f->GetWidth(), top + f->GetHeight(), left + 1000, top + 2000,
                  left + f->GetWidth() + 1000, top + f->GetHeight() + 2000);
    EXPECT_NE(Log().find(want), std::string::npos) << Log();
    std::snprintf(want, sizeof want, " 碰=%d,%d", face->GetX() + 1000, face->GetY() + 2000);
    EXPECT_NE(Log().find(want), std::string::npos) << Log();
    // The own draw slot's tile: the hand's right end, at rest.
    MJRect own;
    scene.GetHandRect(kOwnView, own);
    const MJTileInfo& slot = scene.Tiles().m_hands[kOwnView][0];
    std::snprintf(want, sizeof want, " 摸牌=%d,%d", own.left + slot.nX + 27 + 1000,
                  own.top + slot.nY + 38 + 2000);
    EXPECT_NE(Log().find(want), std::string::npos) << Log();
    EXPECT_EQ(own.left + slot.nX + 54, own.right);
}

}  // namespace
}  // namespace hqlv::mahjong::test
