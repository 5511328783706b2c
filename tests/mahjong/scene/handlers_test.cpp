// The handlers of the mahjong notifications: records in, the table model, the clock, the
// offers and the claim buttons out; and the malformed records that must change nothing.
// The own chair is 2: chair 3 sits at view 0, chair 0 at view 1, chair 1 at view 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>

#include "engine/core/button_frame.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "gdi_table_fixture.h"
#include "handler_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

constexpr int kChairOfView[4] = {3, 0, 1, 2};

class Handlers : public HandlerTest {
protected:
    // A running deal: every seat holds 13 tiles (the others face down), the wall is full,
    // the clock is reset and shown.
    void Deal() {
        Start();
        scene.ResetTable();
        scene.ClockReset();
        for (int v = 0; v < 4; ++v)
            for (int i = 1; i <= 13; ++i) Hand(v)[i].bPresent = 1;
        for (int i = 1; i <= 13; ++i) Hand(3)[i].nCode = own[size_t(i - 1)];
        scene.SetHandMoved(0);
        // The deal's start turns every claim button off.
        scene.ShowAllClaimButtons(0);
        scene.ClearOffers();
        host.sounds.clear();
        scene.calls.clear();
    }
    bool Active(int kind) {
        const uint32_t ids[] = {0,
                                scene.Entities().peng,
                                scene.Entities().gang,
                                scene.Entities().chi,
                                scene.Entities().hu,
                                scene.Entities().pass};
        engine::GameKernel& k = scene.GetKernel();
        engine::ControlData* c = k.FindControl(ids[kind]);
        engine::Entity* e = c ? k.FindEntity(c->entityId) : nullptr;
        const bool on = scene.IsClaimButtonActive(kind) != 0;
        // The picture says the same as the scene's word.
        if (e) {
            EXPECT_EQ(e->GetAlpha() > 0.5, on) << "kind " << kind;
        }
        return on;
    }
    std::string Actives() {
        std::string s;
        for (int k = 1; k <= 5; ++k) s += Active(k) ? "1" : "0";
        return s;
    }
    // A record to its handler, as the router hands it over.
    void Deliver(uint32_t id, MJData body) {
        using Fn = void (CMJGameScene2::*)(MJData);
        static const std::map<uint32_t, Fn> kHandlers = {
            {229160, &CMJGameScene2::OnNotify229160},      {221170, &CMJGameScene2::OnNotify221170},
            {229185, &CMJGameScene2::OnNotify229185},      {229190, &CMJGameScene2::OnNotify229190},
            {229210, &CMJGameScene2::OnNotify229210},      {229170, &CMJGameScene2::OnNotify229170},
            {229175, &CMJGameScene2::OnNotify229175},      {229180, &CMJGameScene2::OnNotify229180},
            {221200, &CMJGameScene2::OnNotify221200},      {221160, &CMJGameScene2::OnNotify221160},
            {229500, &CMJGameScene2::OnPlayerBackOrLeave}, {211080, &CMJGameScene2::OnGameEnd}};
        if (auto at = kHandlers.find(id); at != kHandlers.end())
            (scene.*(at->second))(body);
        else
            scene.OnNotify229195(id, body);
    }
    // The own hand: no two tiles of a face but the pair of face 1 (ids 9, 18) and the
    // 2-3 of suit 1 (ids 37, 38) for a chi on 36.
    std::array<int32_t, 13> own{9, 18, 37, 38, 58, 60, 75, 77, 95, 97, 110, 120, 130};
};

// ---- draws -----------------------------------------------------------------------------------

TEST_F(Handlers, DrawOfEveryViewTakesTheWallRecordAndMovesTheClock) {
    NEED_ASSETS();
    for (int v = 0; v < 4; ++v) {
        Deal();
        scene.SetClockHand(2 * ((v + 1) % 4));
        scene.SetTurnTimer(11, 300);
        host.killed.clear();
        scene.OnNotify229160(Body(10, {{0, kChairOfView[v]}, {1, 44}, {2, 50 + v}}));
        EXPECT_EQ(host.killed, std::vector<int>{11}) << v;
        EXPECT_EQ(Hand(v)[0].bPresent, 1) << v;
        EXPECT_EQ(Hand(v)[0].bHand, 1) << v;
        // Only a known hand learns the drawn tile.
        EXPECT_EQ(Hand(v)[0].nCode, v == 3 ? 44 : kHiddenTile) << v;
        EXPECT_EQ(scene.GetClockPosition(), 2 * v);
        EXPECT_EQ(scene.GetCountdown(), 15);
        EXPECT_EQ(scene.IsCountdownSoundOn(), 1);
        EXPECT_EQ(scene.Tiles().m_wall[50 + v].bPresent, 0);
        EXPECT_EQ(scene.Tiles().m_wall[49 + v].bPresent, 1);
    }
}

TEST_F(Handlers, DrawSettlesTheUnclaimedDiscardOfTheSeatBefore) {
    NEED_ASSETS();
    Deal();
    // View 1 draws; view 2 played before it and its showcase is still on the table.
    MJTileInfo& shown = scene.Tiles().m_showcase[2];
    shown.nCode = 77;
    shown.bPresent = 1;
    scene.OnNotify229160(Body(10, {{0, kChairOfView[1]}, {1, 5}, {2, 3}}));
    EXPECT_EQ(shown.bPresent, 0);
    EXPECT_EQ(scene.LastDiscardIndex(2), 0);
    EXPECT_EQ(scene.Tiles().m_discards[2][0].nCode, 77);
    EXPECT_EQ(host.sounds, std::vector<int>{29104 * 100 + 17});
    // Without a showcase nothing moves and nothing sounds.
    host.sounds.clear();
    scene.OnNotify229160(Body(10, {{0, kChairOfView[0]}, {1, 6}, {2, 4}}));
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_EQ(scene.LastDiscardIndex(1), -1);
}

TEST_F(Handlers, OwnDrawAlreadyShownOnlyStopsTheTimers) {
    NEED_ASSETS();
    Deal();
    Hand(3)[0] = Hand(3)[1];
    Hand(3)[0].nCode = 100;
    scene.SetTurnTimer(10, 300);
    const Snapshot before(scene);
    host.killed.clear();
    scene.OnNotify229160(Body(10, {{0, 2}, {1, 44}, {2, 9}}));
    EXPECT_EQ(host.killed, std::vector<int>{10});
    EXPECT_TRUE(Snapshot(scene) == before);
    // A looker-on's client never draws for itself: the same record is shown.
    host.lookerOn = 1;
    scene.OnNotify229160(Body(10, {{0, 2}, {1, 44}, {2, 9}}));
    EXPECT_EQ(scene.Tiles().m_wall[9].bPresent, 0);
}

// ---- discards --------------------------------------------------------------------------------

TEST_F(Handlers, DiscardOfEveryViewGoesToItsShowcaseAndOpensTheClaimWindow) {
    NEED_ASSETS();
    for (int v = 0; v < 4; ++v) {
        Deal();
        Hand(v)[0] = Hand(v)[1];
        Hand(v)[0].nCode = v == 3 ? 100 : kHiddenTile;
        scene.SetSelectMode(2);
        scene.OnNotify221170(Body(30, {{1, kChairOfView[v]}, {21, v == 3 ? 9 : 61}}));
        const MJTileInfo& shown = scene.Tiles().m_showcase[v];
        EXPECT_EQ(shown.bPresent, 1) << v;
        EXPECT_EQ(shown.nCode, v == 3 ? 9 : 61) << v;
        EXPECT_EQ(shown.nFace, 1);
        EXPECT_EQ(Hand(v)[0].bPresent, 0) << v;
        EXPECT_EQ(scene.GetSelectMode(), 0);
        EXPECT_EQ(scene.IsCountdownSoundOn(), 0);
        EXPECT_EQ(scene.GetCountdown(), 8);
        EXPECT_EQ(scene.IsClaimWindowOpen(), 1);
        EXPECT_EQ(scene.GetClockPosition(), 2 * ((v + 3) % 4)) << v;
        EXPECT_EQ(host.sounds, std::vector<int>{29103 * 100});
        EXPECT_EQ(scene.calls.front(), "tile " + std::to_string(v) + " " + (v == 3 ? "9" : "61"));
    }
    // The own known hand lost the tile and sorted the drawn one in: 100 sits among the 13.
    EXPECT_EQ(std::count_if(Hand(3) + 1, Hand(3) + 14,
                            [](const MJTileInfo& r) { return r.bPresent && r.nCode == 100; }),
              1);
    EXPECT_EQ(std::count_if(Hand(3), Hand(3) + 18,
                            [](const MJTileInfo& r) { return r.bPresent && r.nCode == 9; }),
              0);
}

TEST_F(Handlers, OwnDiscardAlreadyShownVersusShownInFull) {
    NEED_ASSETS();
    Deal();
    const Snapshot before(scene);
    scene.OnNotify221170(Body(30, {{1, 2}, {21, 9}}));
    EXPECT_TRUE(Snapshot(scene) == before);
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_TRUE(scene.calls.empty());
    // After an automatic play by the server the drawn tile is still in the slot.
    Hand(3)[0] = Hand(3)[1];
    Hand(3)[0].nCode = 100;
    scene.OnNotify221170(Body(30, {{1, 2}, {21, 9}}));
    EXPECT_EQ(scene.Tiles().m_showcase[3].nCode, 9);
    EXPECT_EQ(host.sounds, std::vector<int>{29103 * 100});
    EXPECT_EQ(scene.GetClockPosition(), 4);
}

TEST_F(Handlers, GangAndChiButtonsTakeTheirOwnCellsBackAtEveryCall) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    auto cell = [&](uint32_t control) {
        auto* e = static_cast<engine::ImageEntity*>(k.FindEntity(k.FindControl(control)->entityId));
        return e->State()->srcX;
    };
    const uint32_t ids[] = {scene.Entities().peng, scene.Entities().gang, scene.Entities().chi};
    const int w = scene.Metrics().claimCell[0];
    const int before[] = {cell(ids[0]), cell(ids[1]), cell(ids[2])};
    for (int i = 0; i < 3; ++i) {
        auto* e = static_cast<engine::ImageEntity*>(k.FindEntity(k.FindControl(ids[i])->entityId));
        e->SetImage(e->State()->resourceId, 999, 0, 40, 40, 0xFF00FF);  // a choice's cell
    }
    for (int on : {1, 0}) {
        scene.ShowAllClaimButtons(on);
        EXPECT_EQ(cell(ids[0]), 999);  // peng keeps whatever it shows
        EXPECT_EQ(cell(ids[1]), w);
        EXPECT_EQ(cell(ids[2]), 2 * w);
    }
    // The same cells the buttons were made with.
    EXPECT_EQ(before[1], w);
    EXPECT_EQ(before[2], 2 * w);
}

// Hiding the claim buttons leaves an open choice (its picks and locks cleared); with no
// choice open the own hand's marks stay as they are; a looker-on has nothing to hide.
TEST_F(Handlers, HidingTheClaimButtonsLeavesAnOpenChoice) {
    NEED_ASSETS();
    for (int mode : {2, 3, 0}) {
        Deal();
        for (int kind = 1; kind <= 5; ++kind) scene.ShowClaimButton(kind, 1);
        scene.SetSelectMode(mode);
        Hand(3)[2].bLocked = 1;
        Hand(3)[3].bSelected = 1;
        scene.HideClaimButtons();
        for (int kind = 1; kind <= 5; ++kind) EXPECT_FALSE(Active(kind)) << mode << " " << kind;
        EXPECT_EQ(scene.GetSelectMode(), 0) << mode;
        EXPECT_EQ(Hand(3)[2].bLocked, mode ? 0 : 1) << mode;
        EXPECT_EQ(Hand(3)[3].bSelected, mode ? 0 : 1) << mode;
    }
    host.lookerOn = 1;
    scene.ShowClaimButton(5, 1);
    scene.SetSelectMode(2);
    scene.HideClaimButtons();
    EXPECT_TRUE(Active(5));
    EXPECT_EQ(scene.GetSelectMode(), 2);
    host.lookerOn = 0;
}

TEST_F(Handlers, OfferKindsOutsideTheTableShareAnEmptyScratchRecord) {
    scene.Offer(8).tile = 18;
    scene.Offer(9).tile = 7;
    scene.Offer(-1).tile = 7;
    EXPECT_EQ(scene.Offer(9).tile, 0);
    EXPECT_EQ(scene.Offer(-1).tile, 0);
    EXPECT_EQ(scene.Offer(8).tile, 18);
    scene.ClearOffers();
    EXPECT_EQ(scene.Offer(8).tile, 0);
}

TEST_F(Handlers, ClaimFlagsMakeExactlyTheFlaggedButtonsActive) {
    NEED_ASSETS();
    struct Case {
        int32_t flags;
        const char* active;  // peng gang chi hu pass
    };
    const Case cases[] = {{0x01 | 0x08 | 0x20, "10011"},
                          {0x02, "01000"},
                          {0x04, "00100"},
                          {0x08, "00010"},
                          {0x20, "00001"},
                          {0, "00000"},
                          {0x2F, "11111"},
                          {0x10 | 0x40, "00000"}};
    for (const Case& c : cases) {
        Deal();
        scene.ShowAllClaimButtons(1);
        // View 0 (chair 3) discards; the own flags are word 6 + 2.
        scene.OnNotify221170(Body(30, {{1, 3}, {8, c.flags}, {21, 0}}));
        EXPECT_EQ(Actives(), c.active) << std::hex << c.flags;
        for (int k = 1; k <= 5; ++k) {
            EXPECT_EQ(scene.Offer(k).fromChair, 3);
            EXPECT_EQ(scene.Offer(k).tile, 0);
            EXPECT_EQ(scene.Offer(k).shown, c.active[k - 1] - '0');
        }
    }
}

TEST_F(Handlers, EveryOwnChairReadsItsOwnFlagWordChairZeroToo) {
    NEED_ASSETS();
    for (int own : {0, 1, 2, 3}) {
        host.chair = own;
        Deal();
        // The next chair discards; every chair's word is full but the own one's.
        const int next = (own + 1) % 4;
        scene.OnNotify221170(Body(30, {{1, next},
                                       {6, 0x2F},
                                       {7, 0x2F},
                                       {8, 0x2F},
                                       {9, 0x2F},
                                       {6 + size_t(own), 0x01 | 0x20},
                                       {21, 0}}));
        EXPECT_EQ(Actives(), "10001") << own;
        EXPECT_EQ(scene.Offer(1).fromChair, next) << own;
    }
}

TEST_F(Handlers, OffersListTheCandidatesOfTheOwnHand) {
    NEED_ASSETS();
    Deal();
    // Chair 3 (view 0) plays before the own seat: peng on face 1 (the pair 9, 18) and chi.
    scene.OnNotify221170(Body(30, {{1, 3}, {8, 0x05}, {21, 0}}));
    EXPECT_EQ(scene.Offer(1).count, 2);
    EXPECT_EQ(scene.Offer(2).count, 0);
    EXPECT_EQ(scene.Offer(1).candidates[2], -1);
    EXPECT_EQ(scene.Offer(5).count, 0);
    // This game's rules know no chi; with a rule set that does, the pair 37, 38 is offered.
    Deal();
    scene.OnNotify221170(Body(30, {{1, 3}, {8, 0x04}, {21, 36}}));
    EXPECT_EQ(scene.Offer(3).count, 0);
    scene.flags = 0x900C2000;
    Deal();
    scene.OnNotify221170(Body(30, {{1, 3}, {8, 0x04}, {21, 36}}));
    EXPECT_EQ(scene.Offer(3).count, 2);
    EXPECT_EQ(scene.Offer(3).candidates[0], 37);
    EXPECT_EQ(scene.Offer(3).candidates[1], 38);
    // The seat across (view 1) does not play before the own seat: no chi is looked for.
    Deal();
    scene.OnNotify221170(Body(30, {{1, 0}, {8, 0x04}, {21, 36}}));
    EXPECT_EQ(scene.Offer(3).count, 0);
    EXPECT_EQ(scene.Offer(3).candidates[0], -1);
    EXPECT_EQ(Actives(), "00100");
}

TEST_F(Handlers, QuickCloseWhenNobodyMayClaim) {
    NEED_ASSETS();
    deal.Set(27, 1);
    // The seat before the own seat: the own turn comes with one second and no offer.
    Deal();
    scene.OnNotify221170(Body(30, {{1, 3}, {21, 0}}));
    EXPECT_EQ(scene.IsClaimWindowOpen(), 0);
    EXPECT_EQ(scene.GetCountdown(), 1);
    EXPECT_EQ(scene.Offer(1).fromChair, 0);  // the offers were not touched
    EXPECT_EQ(Actives(), "00000");
    // Another seat: the window closes, the claim seconds stay, the offers are made empty.
    Deal();
    scene.OnNotify221170(Body(30, {{1, 1}, {21, 0}}));
    EXPECT_EQ(scene.IsClaimWindowOpen(), 0);
    EXPECT_EQ(scene.GetCountdown(), 8);
    EXPECT_EQ(scene.Offer(1).fromChair, 1);
    EXPECT_EQ(scene.Offer(1).count, 2);  // the pair 9, 18 of the tile's face
    EXPECT_EQ(Actives(), "00000");
    // A flag anywhere else keeps the window open; each other seat's word counts.
    for (size_t word : {6u, 7u}) {
        Deal();
        scene.OnNotify221170(Body(30, {{1, 3}, {word, 0x20}, {21, 0}}));
        EXPECT_EQ(scene.IsClaimWindowOpen(), 1) << word;
        EXPECT_EQ(scene.GetCountdown(), 8) << word;
    }
    // The discarder's own word is not another seat's.
    Deal();
    scene.OnNotify221170(Body(30, {{1, 3}, {9, 0x20}, {21, 0}}));
    EXPECT_EQ(scene.IsClaimWindowOpen(), 0);
    // Without the option the window stays open.
    deal.Set(27, 0);
    Deal();
    scene.OnNotify221170(Body(30, {{1, 3}, {21, 0}}));
    EXPECT_EQ(scene.IsClaimWindowOpen(), 1);
    EXPECT_EQ(scene.GetCountdown(), 8);
}

TEST_F(Handlers, LookerOnGetsTheDiscardButNoOffer) {
    NEED_ASSETS();
    Deal();
    host.lookerOn = 1;
    scene.OnNotify221170(Body(30, {{1, 3}, {8, 0x2F}, {21, 0}}));
    EXPECT_EQ(scene.Tiles().m_showcase[0].bPresent, 1);
    EXPECT_EQ(Actives(), "00000");
    EXPECT_EQ(scene.Offer(1).fromChair, 0);
}

// ---- claims ----------------------------------------------------------------------------------

TEST_F(Handlers, AnnouncementsPlayTheirVoicesAndSetTheSeconds) {
    NEED_ASSETS();
    struct Case {
        uint32_t id;
        std::vector<uint8_t> body;
        const char* voice;
        int seconds;
        int lookerOn = 0;
    };
    const Case cases[] = {
        {229170, Body(16, {{3, 1}}), "voice 2 peng1", 30},
        {229175, Body(16, {{3, 1}}), "voice 2 chi1", 8},
        {229180, Body(16, {{0, 0}, {3, 1}}), "voice 1 gang2", 30},
        {229180, Body(16, {{0, 0}, {3, 2}}), "voice 1 gang2", 8},
        {229180, Body(16, {{0, 0}, {3, 3}}), "voice 1 gang2", 30},
        // The player's own added kong keeps the seconds his confirm's answer gave; a
        // looker-on of his seat counts the claim window.
        {229180, Body(16, {{0, 2}, {3, 2}}), "voice 3 gang2", 30},
        {229180, Body(16, {{0, 2}, {3, 2}}), "voice 3 gang2", 8, 1},
    };
    for (const Case& c : cases) {
        Deal();
        host.lookerOn = c.lookerOn;
        scene.SetCountdown(30);
        scene.SetTurnTimer(10, 100);
        host.killed.clear();
        if (c.id == 229170) scene.OnNotify229170(c.body);
        if (c.id == 229175) scene.OnNotify229175(c.body);
        if (c.id == 229180) scene.OnNotify229180(c.body);
        EXPECT_EQ(scene.calls, std::vector<std::string>{c.voice}) << c.id;
        EXPECT_EQ(scene.GetCountdown(), c.seconds) << c.id;
        EXPECT_EQ(host.killed.size(), c.id == 229180 ? 0u : 1u) << c.id;
        host.lookerOn = 0;
    }
}

TEST_F(Handlers, KongAnnouncementOffersHuOnlyToAFlaggedPlayer) {
    NEED_ASSETS();
    Deal();
    scene.OnNotify229180(Body(16, {{0, 0}, {1, 0}, {2, 77}, {3, 2}, {6, 0x08}}));
    EXPECT_EQ(Actives(), "00011");
    EXPECT_EQ(scene.Offer(4).kind, 2);
    EXPECT_EQ(scene.Offer(4).fromChair, 0);
    EXPECT_EQ(scene.Offer(4).tile, 77);
    EXPECT_EQ(scene.Offer(4).shown, 1);
    // Chair 0's own word is the first of the four.
    Deal();
    host.chair = 0;
    scene.OnNotify229180(Body(16, {{0, 1}, {3, 1}, {4, 0x08}}));
    EXPECT_EQ(Actives(), "00011");
    host.chair = 2;
    for (auto [word, looker] : {std::pair{5, 0}, std::pair{6, 1}}) {
        Deal();
        host.lookerOn = looker;
        scene.OnNotify229180(Body(16, {{0, 0}, {3, 2}, {size_t(word), 0x08}}));
        EXPECT_EQ(Actives(), "00000");
        EXPECT_EQ(scene.Offer(4).shown, 0);
        host.lookerOn = 0;
    }
}

TEST_F(Handlers, MeldsOfEveryViewAndGiver) {
    NEED_ASSETS();
    for (uint32_t id : {229185u, 229190u})
        for (int v = 0; v < 4; ++v)
            for (int g = 0; g < 4; ++g) {
                if (g == v) continue;
                Deal();
                MJTileInfo& shown = scene.Tiles().m_showcase[g];
                shown.bPresent = 1;
                shown.nCode = 5;
                scene.ShowAllClaimButtons(1);
                scene.SetCountdownSound(1);
                if (id == 229185)
                    scene.OnNotify229185(Body(
                        16,
                        {{3, kChairOfView[v]}, {4, kChairOfView[g]}, {5, 5}, {6, 14}, {7, 23}}));
                else
                    scene.OnNotify229190(Body(
                        16, {{3, kChairOfView[v]}, {4, kChairOfView[g]}, {5, 5}, {6, 6}, {7, 7}}));
                EXPECT_EQ(shown.bPresent, 0) << id << " " << v << " " << g;
                EXPECT_EQ(scene.GetClockPosition(), 2 * v);
                EXPECT_EQ(scene.GetCountdown(), 15);
                EXPECT_EQ(scene.IsCountdownSoundOn(), 0);
                EXPECT_EQ(Actives(), "00000");
                // The meld is logged for the table record with its giver.
                const std::string text = scene.FormatTable("t");
                const std::string meld =
                    std::string(id == 229185 ? "peng(5 14 23)<" : "chi(5 6 7)<") +
                    std::to_string(kChairOfView[g]);
                EXPECT_NE(text.find(meld), std::string::npos) << text;
            }
}

TEST_F(Handlers, KongKindsSetTheSecondsTheirOwnWay) {
    NEED_ASSETS();
    struct Case {
        uint32_t id;
        int seconds;  // from 10 left
        int showcaseGone;
        const char* voice;
    };
    const Case cases[] = {
        {229195, 15, 1, ""}, {229199, 15, 0, ""}, {229197, 13, 0, "voice 2 gang1"}};
    for (const Case& c : cases) {
        Deal();
        scene.SetCountdown(10);
        scene.SetCountdownSound(1);
        scene.Tiles().m_showcase[0].bPresent = 1;
        scene.ShowAllClaimButtons(1);
        scene.OnNotify229195(c.id, Body(16, {{3, 1}, {4, 3}, {5, 5}, {11, 120}}));
        EXPECT_EQ(scene.GetCountdown(), c.seconds) << c.id;
        EXPECT_EQ(scene.Tiles().m_showcase[0].bPresent, 1 - c.showcaseGone) << c.id;
        EXPECT_EQ(scene.IsCountdownSoundOn(), c.id == 229195 ? 0 : 1) << c.id;
        EXPECT_EQ(scene.GetClockPosition(), 4);
        EXPECT_EQ(scene.Tiles().m_wall[120].bPresent, 0);
        EXPECT_EQ(Actives(), "00000");
        EXPECT_EQ(scene.calls.empty() ? "" : scene.calls.front(), std::string(c.voice));
    }
    // The concealed kong's three seconds are not carried past the largest count.
    Deal();
    scene.SetCountdown(INT_MAX - 1);
    scene.OnNotify229195(229197, Body(16, {{3, 1}, {11, 7}}));
    EXPECT_EQ(scene.GetCountdown(), INT_MAX);
    scene.OnNotify229195(229197, Body(16, {{3, 1}, {11, 8}}));
    EXPECT_EQ(scene.GetCountdown(), INT_MAX);
    // Another id under the same call only moves the clock and takes the wall record.
    Deal();
    scene.SetCountdown(10);
    scene.OnNotify229195(229196, Body(16, {{3, 1}, {11, 7}}));
    EXPECT_EQ(scene.GetCountdown(), 10);
    EXPECT_EQ(scene.Tiles().m_wall[7].bPresent, 0);
    EXPECT_EQ(scene.GetClockPosition(), 4);
}

// ---- flowers ---------------------------------------------------------------------------------

TEST_F(Handlers, FlowerWithAReplacementTakesTheWall) {
    NEED_ASSETS();
    Deal();
    Hand(3)[0] = Hand(3)[1];
    Hand(3)[0].nCode = 140;
    scene.ShowAllClaimButtons(1);
    scene.OnNotify229210(Body(11, {{3, 2}, {4, 140}, {5, 33}, {6, 60}}));
    EXPECT_EQ(scene.Tiles().m_flowers[3][0].nCode, 140);
    EXPECT_EQ(scene.Tiles().m_flowers[3][0].bPresent, 1);
    EXPECT_EQ(Hand(3)[0].nCode, 33);
    EXPECT_EQ(Hand(3)[0].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_wall[60].bPresent, 0);
    EXPECT_EQ(scene.GetCountdown(), 15);
    EXPECT_EQ(scene.GetClockPosition(), 6);
    EXPECT_EQ(Actives(), "00000");
    EXPECT_EQ(scene.calls.front(), "voice 3 hua1");
    // A hidden hand keeps its records; the flower still shows.
    scene.OnNotify229210(Body(11, {{3, 1}, {4, 141}, {5, 34}, {6, 61}}));
    EXPECT_EQ(Hand(2)[0].bPresent, 0);
    EXPECT_EQ(scene.Tiles().m_flowers[2][0].nCode, 141);
}

TEST_F(Handlers, FlowerWithoutReplacementPassesTheClockOn) {
    NEED_ASSETS();
    Deal();
    scene.ShowClaimButton(4, 1);
    scene.OnNotify229210(Body(11, {{3, 3}, {4, 139}, {5, -1}, {6, 99999}}));
    EXPECT_EQ(scene.GetCountdown(), 8);
    EXPECT_EQ(scene.GetClockPosition(), 6);  // view 0, then on to view 3
    EXPECT_EQ(Actives(), "00010");
    for (int i = 0; i < 136; ++i) ASSERT_EQ(scene.Tiles().m_wall[i].bPresent, 1) << i;
    // Flowers fill the first free of the eight places and no more.
    for (int i = 0; i < 9; ++i) scene.AddFlowerTile(0, 136 + i % 8);
    EXPECT_EQ(scene.CountFlowers(0), 8);
    EXPECT_EQ(scene.Tiles().m_flowers[0][8].bPresent, 0);
    // A view that is no seat takes no flower.
    const Snapshot before(scene);
    scene.AddFlowerTile(4, 136);
    scene.AddFlowerTile(-1, 136);
    EXPECT_TRUE(Snapshot(scene) == before);
}

// ---- the watched hand and the see-hand answer -------------------------------------------------

TEST_F(Handlers, WatchedHandTilesReplaceTheOwnHand) {
    NEED_ASSETS();
    Deal();
    scene.OnNotify221200(Body(20, {{1, 2}, {2, 3}, {3, 40}, {4, 41}, {5, 42}}));
    // The sort's sweep sounds first; the hand is sorted when the sweep ends.
    EXPECT_EQ(host.sounds, (std::vector<int>{29108 * 100 + 0x11, 29102 * 100}));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(Hand(3)[i].nCode, 39 + i);
    EXPECT_EQ(Hand(3)[4].bPresent, 0);  // the list's end clears the next record
    Run(3000);
    std::vector<int> keys;
    for (int i = 1; i <= 13; ++i) keys.push_back(scene.SortKey(Hand(3)[i].nCode));
    EXPECT_TRUE(std::is_sorted(keys.rbegin(), keys.rend()));
    // Another chair's list is not ours.
    const Snapshot before(scene);
    scene.OnNotify221200(Body(20, {{1, 1}, {2, 3}, {3, 50}}));
    EXPECT_TRUE(Snapshot(scene) == before);
}

// A wall position outside the wall's 168 records marks no wall record; the draw, the meld or
// the flower it came with still stands. A record past the deal's 136 is one of the wall's,
// marked like any other.
TEST_F(Handlers, AWallPositionOutsideTheWallMarksNothingElseStands) {
    NEED_ASSETS();
    struct Case {
        const char* name;
        uint32_t id;
        std::vector<uint8_t> body;
        int wall;
    };
    const Case cases[] = {
        {"draw", 229160, Body(10, {{0, 1}, {1, 5}, {2, -1}}), -1},
        {"draw", 229160, Body(10, {{0, 1}, {1, 5}, {2, 168}}), 168},
        {"draw", 229160, Body(10, {{0, 1}, {1, 5}, {2, 136}}), 136},
        {"exposed kong", 229195, Body(16, {{3, 1}, {4, 3}, {11, 200}}), 200},
        {"concealed kong", 229197, Body(16, {{3, 1}, {11, -1}}), -1},
        {"added kong", 229199, Body(16, {{3, 1}, {11, 167}}), 167},
        {"flower", 229210, Body(11, {{3, 1}, {4, 137}, {5, 3}, {6, 1000}}), 1000},
        {"flower", 229210, Body(11, {{3, 1}, {4, 137}, {5, 3}, {6, -5}}), -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.wall));
        Deal();
        const int v = scene.ChairToView(1);
        const int ownPosition = 2 * kOwnView;
        scene.SetClockHand(ownPosition);
        const int inWall = c.wall >= 0 && c.wall < kWallRecords;
        const int absentBefore =
            int(std::count_if(std::begin(scene.Tiles().m_wall), std::end(scene.Tiles().m_wall),
                              [](const MJTileInfo& r) { return !r.bPresent; }));
        Deliver(c.id, c.body);
        const int absentAfter =
            int(std::count_if(std::begin(scene.Tiles().m_wall), std::end(scene.Tiles().m_wall),
                              [](const MJTileInfo& r) { return !r.bPresent; }));
        // The records past the deal's 136 stand absent already.
        EXPECT_EQ(absentAfter, absentBefore + (inWall && c.wall < 136));
        if (inWall) {
            EXPECT_EQ(scene.Tiles().m_wall[c.wall].bPresent, 0);
        }
        // The rest of the notification stood: the clock went to the seat that acted.
        EXPECT_EQ(scene.GetClockPosition(), 2 * v);
        if (c.id == 229160) {
            EXPECT_EQ(Hand(v)[0].bPresent, 1);
        }
        if (c.id == 229210) {
            EXPECT_EQ(scene.Tiles().m_flowers[v][0].nCode, 137);
        }
        if (c.id == 229195) {
            EXPECT_EQ(Hand(v)[17].bPresent, 1);
        }
        if (!inWall) {
            EXPECT_NE(Log().find("notification " + std::to_string(c.id) + ": wall record " +
                                 std::to_string(c.wall) + " is outside the wall; not marked"),
                      std::string::npos);
        }
    }
}

// A list longer than the hand: the hand takes the first 14 it can hold (the rest logged); a
// count past the list's 32 ids takes the first 32 of them.
TEST_F(Handlers, AWatchedListLongerThanTheHandFillsTheHand) {
    NEED_ASSETS();
    for (int count : {15, 32, 33, 1000}) {
        Deal();
        std::vector<uint8_t> body = Body(35, {{1, 2}, {2, count}});
        for (int i = 0; i < 32; ++i) {
            const int32_t id = 8 + i;
            std::memcpy(body.data() + (3 + i) * 4, &id, 4);
        }
        scene.OnNotify221200(body);
        for (int i = 1; i <= 13; ++i) EXPECT_EQ(Hand(3)[i].nCode, 7 + i) << count << " " << i;
        EXPECT_EQ(Hand(3)[14].bPresent, 0) << count;
        EXPECT_EQ(host.sounds.back(), 29102 * 100) << count;
        EXPECT_NE(Log().find("丢弃" + std::to_string(std::min(count, 32) - 13) + "张"),
                  std::string::npos)
            << count;
    }
    EXPECT_NE(Log().find("221200: 1000 tiles, the first 32 taken"), std::string::npos);
}

TEST_F(Handlers, SeeHandRefusalHidesTheWatchedFaces) {
    NEED_ASSETS();
    struct Case {
        int looker, chair, user, answer, hidden;
    };
    const Case cases[] = {{1, 2, 1002, 0, 1},
                          {0, 2, 1002, 0, 0},
                          {1, 1, 1002, 0, 0},
                          {1, 2, 1003, 0, 0},
                          {1, 2, 1002, 1, 0}};
    for (const Case& c : cases) {
        Deal();
        Hand(3)[0].nCode = 100;
        host.lookerOn = c.looker;
        scene.OnNotify221160(Body(10, {{3, c.chair}, {4, c.user}, {5, c.answer}}));
        EXPECT_EQ(Hand(3)[1].nCode == kHiddenTile, c.hidden != 0) << c.looker << c.chair << c.user;
        EXPECT_EQ(Hand(3)[0].nCode == kHiddenTile, c.hidden != 0);
        EXPECT_EQ(host.sounds.size(), size_t(c.hidden));
    }
    // Only present hand records of the first 14 turn: a meld record keeps its face.
    Hand(3)[5].bHand = 0;
    Hand(3)[5].nCode = 7;
    Hand(3)[14] = Hand(3)[1];
    Hand(3)[14].nCode = 8;
    scene.HideHandFaces(3);
    EXPECT_EQ(Hand(3)[5].nCode, 7);
    EXPECT_EQ(Hand(3)[14].nCode, 8);
    EXPECT_EQ(Hand(3)[13].nCode, kHiddenTile);
}

// A looker-on shown the watched hand sees two pengs made; the player then refuses him: the
// concealed tiles turn, the pengs stay open (the second lies among the first 14 records),
// and a fourth tile added to the second one still finds it.
TEST_F(Handlers, ARefusalLeavesTheWatchedPengsOpenForTheirAddedKong) {
    NEED_ASSETS();
    Deal();
    host.lookerOn = 1;
    std::vector<uint8_t> shown = Body(16, {{1, 2}, {2, 13}});
    const int32_t hand[13] = {0, 9, 1, 10, 2, 11, 36, 37, 38, 72, 73, 74, 108};
    std::memcpy(shown.data() + 12, hand, sizeof hand);
    scene.OnNotify221200(shown);
    scene.OnNotify229185(Body(16, {{3, 2}, {4, 1}, {5, 0}, {6, 9}, {7, 18}}));
    scene.OnNotify229185(Body(16, {{3, 2}, {4, 3}, {5, 1}, {6, 10}, {7, 19}}));
    ASSERT_EQ(Hand(3)[13].nMeld, kMeldPeng);
    scene.OnNotify221160(Body(10, {{3, 2}, {4, 1002}, {5, 0}}));
    EXPECT_EQ(scene.IsHandKnown(kOwnView), 0);
    scene.OnNotify229195(229199, Body(16, {{3, 2}, {4, 2}, {5, 28}, {11, 100}}));
    std::vector<int> second;
    for (int i = 10; i <= 13; ++i) {
        EXPECT_EQ(Hand(3)[i].nMeld, kMeldGang) << i;
        second.push_back(Hand(3)[i].nCode);
    }
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, (std::vector<int>{1, 10, 19, 28}));
}

// A looker-on who was shown the watched hand is not offered to ask for it again: the button
// that timer 7 gives back sends no second request and no second chat line.
TEST_F(Handlers, ALookerOnShownTheHandAsksNoMore) {
    NEED_ASSETS();
    Deal();
    GdiRequests requests;
    host.requests = &requests;
    host.lookerOn = 1;
    host.playing = 1;
    scene.HideHandFaces(kOwnView);
    Dispatch(210024);
    EXPECT_EQ(requests.asks, 1);
    ASSERT_EQ(host.chat.size(), 1u);
    // The watched player agrees: the hand comes.
    scene.OnNotify221200(Body(20, {{1, 2}, {2, 3}, {3, 40}, {4, 41}, {5, 42}}));
    ASSERT_EQ(scene.IsHandKnown(kOwnView), 1);
    scene.OnTimer(7);
    host.sounds.clear();
    Dispatch(210024);
    EXPECT_EQ(requests.asks, 1);
    EXPECT_EQ(host.chat.size(), 1u);
    EXPECT_EQ(host.timers.size(), 1u);
    EXPECT_TRUE(host.sounds.empty());
    // Hidden again (the player took it back): the ask is there again.
    scene.HideHandFaces(kOwnView);
    Dispatch(210024);
    EXPECT_EQ(requests.asks, 2);
    EXPECT_EQ(host.chat.size(), 2u);
}

TEST_F(Handlers, PresenceLinesOfKindsOneAndTwoOnly) {
    NEED_ASSETS();
    Deal();
    for (int kind : {1, 2, 6, 0, 3}) scene.OnPlayerBackOrLeave(Body(8, {{3, 1}, {4, kind}}));
    ASSERT_EQ(host.chat.size(), 2u);
    EXPECT_EQ(host.chat[0], "<c=255>[系统]<c=4953725>南家重新回到了游戏!\r\n");
    EXPECT_EQ(host.chat[1], "<c=255>[系统]<c=4953725>南家离开了游戏!\r\n");
    host.lookerOn = 1;
    scene.OnPlayerFollowedDealer();
    EXPECT_EQ(host.chat.back(), "<c=255>闲家跟庄成功!\r\n");
    EXPECT_EQ(host.sounds, std::vector<int>{29012 * 100 + 17});
}

// ---- the deal's start, its end ---------------------------------------------------------------

TEST_F(Handlers, NewDealClearsTheTableAndRollsTheDice) {
    NEED_ASSETS();
    Deal();
    scene.SetClaimWindowOpen(1);
    scene.Offer(1).count = 3;
    scene.SetHandMoved(1);
    scene.OnGameReset();
    EXPECT_EQ(scene.IsClaimWindowOpen(), 0);
    EXPECT_EQ(scene.Offer(1).count, 0);
    EXPECT_EQ(scene.IsHandMoved(), 0);
    EXPECT_EQ(scene.IsGameRunning(), 1);
    EXPECT_EQ(scene.Clock().layout[3], 25);
    engine::GameKernel& k = scene.GetKernel();
    EXPECT_FALSE(k.FindEntity(k.FindControl(scene.Entities().start)->entityId)->IsVisible());
    EXPECT_FALSE(k.FindEntity(scene.Entities().clockFace)->IsVisible());
    scene.ShowStartButton();
    EXPECT_TRUE(k.FindEntity(k.FindControl(scene.Entities().start)->entityId)->IsVisible());
}

TEST_F(Handlers, DealStartOffersHuWhenTheOwnSeatMovesFirst) {
    NEED_ASSETS();
    struct Case {
        int first, looker;
        int32_t flags;
        const char* active;
        bool ownGang;
    };
    const Case cases[] = {{2, 0, 0x08, "00010", true},
                          {2, 0, 0x01, "00000", true},
                          {3, 0, 0x08, "00000", false},
                          {2, 1, 0x08, "00000", false}};
    for (const Case& c : cases) {
        Deal();
        deal.Set(13, c.first);
        deal.Set(15, c.flags);
        host.lookerOn = c.looker;
        // The first mover's fourteenth tile stands in his draw slot; the last draw was of
        // the previous deal.
        Hand(3)[0].nCode = 66, Hand(3)[0].bPresent = Hand(3)[0].bHand = 1;
        scene.SetOwnDrawnTile(12);
        scene.ClearOffers();
        scene.ShowAllClaimButtons(1);
        scene.DealStartLayout();
        EXPECT_EQ(Actives(), c.active) << c.first << c.looker;
        EXPECT_EQ(std::count(scene.calls.begin(), scene.calls.end(), "own gang"),
                  c.ownGang ? 1 : 0);
        EXPECT_EQ(scene.Offer(4).tile, c.ownGang ? 66 : 0);
        for (engine::ButtonFrame* bar : {scene.Entities().operationBar, scene.Entities().systemBar})
            EXPECT_EQ(bar->FrameEntity()->IsVisible(), !c.looker);
        host.lookerOn = 0;
    }
    // A first mover without a tile in his draw slot has no tile to win on.
    Deal();
    deal.Set(13, 2);
    deal.Set(15, 0);
    scene.SetOwnDrawnTile(12);
    scene.DealStartLayout();
    EXPECT_EQ(scene.Offer(4).tile, -1);
    // A looker-on is never offered hu, whoever asks.
    host.lookerOn = 1;
    scene.ClearOffers();
    scene.OfferHu(0x08);
    EXPECT_EQ(Actives(), "00000");
    EXPECT_EQ(scene.Offer(4).tile, 0);
}

TEST_F(Handlers, DealingFinishedLaysOutTheStartAndShowsTheClock) {
    NEED_ASSETS();
    for (int standalone : {0, 1}) {
        Deal();
        host.standalone = standalone;
        scene.redraws.clear();
        scene.OnDealingFinished();
        EXPECT_EQ(scene.calls.front(), "toolbar");
        EXPECT_EQ(scene.Clock().shown, 1);
        EXPECT_EQ(scene.redraws, std::vector<int>{100});
        // Without a server the table shows ten sample discards a seat.
        for (int v = 0; v < 4; ++v)
            for (int i = 0; i < 11; ++i) {
                const MJTileInfo& d = scene.Tiles().m_discards[v][i];
                EXPECT_EQ(d.bPresent, standalone && i < 10) << v << " " << i;
                if (d.bPresent) {
                    EXPECT_EQ(d.nFace, 1);
                    EXPECT_TRUE(d.nCode >= 0 && d.nCode < 136) << d.nCode;
                }
            }
    }
}

TEST_F(Handlers, Request229505GoesOutForPlayersOnly) {
    struct Requests : CMJRequests {
        int SendKanPaiAsk() override { return 0; }
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
        int Send229505() override { return ++sent; }
        int sent = 0;
    } requests;
    scene.SendRequest229505();  // no requests object: nothing
    host.requests = &requests;
    scene.SendRequest229505();
    host.lookerOn = 1;
    scene.SendRequest229505();
    EXPECT_EQ(requests.sent, 1);
}

TEST_F(Handlers, ResultLaysDownEveryHandByItsCase) {
    NEED_ASSETS();
    struct Case {
        const char* name;
        int32_t flags, word169;
        int won[4];
        int drawn[4];  // by view
        std::vector<std::string> calls;
    };
    // Chair c's list: 10c+1, 10c+2, and the winning tile 77 for chair 0.
    const Case cases[] = {
        {"winner keeps the winning tile",
         0,
         0,
         {1, 0, 0, 0},
         {0, 0, 0, 0},
         {"win 1", "end 1 1 2 77", "slot 1 77", "end 2 11 12", "end 3 21 22", "end 0 31 32"}},
        {"winning tile shown apart",
         0x2000000,
         0,
         {1, 0, 0, 0},
         {0, 0, 0, 0},
         {"win 1", "end 1 1 2", "slot 1 77", "end 2 11 12", "end 3 21 22", "end 0 31 32"}},
        {"a loser holding a drawn tile, nobody named",
         0,
         -1,
         {0, 0, 0, 0},
         {0, 0, 1, 0},
         {"end 1 1 2 77", "endall 2 11 12", "end 3 21 22", "end 0 31 32"}},
        {"a loser holding a drawn tile beside a winner",
         0,
         3,
         {0, 0, 0, 2},
         {0, 0, 1, 0},
         {"end 1 1 2 77", "winning 2 77 11 12", "end 3 21 22", "win 0", "end 0 31 32",
          "slot 0 77"}},
    };
    for (const Case& c : cases) {
        Deal();
        deal.result.fill(0);
        deal.SetResult(0, c.flags);
        for (int ch = 0; ch < 4; ++ch) {
            for (int k = 0; k < 32; ++k) deal.SetResult(212 + 32 * ch + k, -1);
            deal.SetResult(212 + 32 * ch, 10 * ch + 1);
            deal.SetResult(212 + 32 * ch + 1, 10 * ch + 2);
            deal.SetResult(208 + ch, ch == 0 ? 3 : 2);
        }
        deal.SetResult(214, 77);
        for (int v = 0; v < 4; ++v) Hand(v)[0].bPresent = c.drawn[v];
        std::vector<uint8_t> body = Body(413, {{0, c.flags}, {169, c.word169}, {171, 77}});
        for (int ch = 0; ch < 4; ++ch) std::memcpy(body.data() + (165 + ch) * 4, &c.won[ch], 4);
        scene.ShowAllClaimButtons(1);
        scene.OnGameEnd(body);
        EXPECT_EQ(scene.calls, c.calls) << c.name;
        EXPECT_EQ(host.sounds, std::vector<int>{29106 * 100}) << c.name;
        EXPECT_EQ(Actives(), "00000");
    }
    // Word 175: no end sound.
    Deal();
    scene.OnGameEnd(Body(413, {{175, 1}}));
    EXPECT_TRUE(host.sounds.empty());
}

TEST_F(Handlers, TableDumpIsAppendedBeforeAndAfterTheLayDown) {
    NEED_ASSETS();
    const std::string path = (root / "dump.txt").string();
    setenv("HQLV_TABLE_DUMP", path.c_str(), 1);
    Deal();
    scene.OnNotify229160(Body(10, {{0, 1}, {1, 44}, {2, 12}}));
    scene.OnNotify221170(Body(30, {{1, 1}, {21, 44}}));
    scene.OnNotify229185(Body(16, {{3, 3}, {4, 1}, {5, 44}, {6, 53}, {7, 62}}));
    scene.OnNotify229195(229199, Body(16, {{3, 3}, {4, 3}, {5, 71}, {11, 135}}));
    scene.OnNotify229210(Body(11, {{3, 0}, {4, 137}, {5, 2}, {6, 13}}));
    scene.OnGameEnd(Body(413, {}));
    unsetenv("HQLV_TABLE_DUMP");
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("table before\n"), std::string::npos);
    EXPECT_NE(text.find("table after\n"), std::string::npos);
    EXPECT_NE(text.find("chair 1 view 2\n  melds:\n  discards: 44\n"), std::string::npos) << text;
    EXPECT_NE(text.find("chair 3 view 0\n  melds: bugang(44 53 62 71)<1\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("chair 0 view 1\n  melds:\n  discards:\n  flowers: 137\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  wall: 12 135 13\n  wallabsent: 12 13 135\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  hand: 9 18 37 38 58 60 75 77 95 97 110 120 130\n"), std::string::npos)
        << text;
}

TEST_F(Handlers, TableRecordListsEachRowsOwnDiscardsOnly) {
    NEED_ASSETS();
    Deal();
    scene.AddDiscard(1, 44);  // view 1's first slot lies right after view 0's last
    const std::string text = scene.FormatTable("t");
    const size_t own = text.find("chair 3 view 0\n");
    ASSERT_NE(own, std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find("  rows:", own), 8), "  rows:\n") << text;
    EXPECT_NE(text.find("  rows: 44\n"), std::string::npos) << text;
}

// ---- malformed records change nothing ---------------------------------------------------------

TEST_F(Handlers, MalformedRecordsLeaveTheTableAsItIs) {
    NEED_ASSETS();
    struct Case {
        const char* name;
        uint32_t id;
        std::vector<uint8_t> body;
    };
    const Case cases[] = {
        // Chairs without a seat: beyond the table, negative, and a fifth chair.
        {"draw chair -1", 229160, Body(10, {{0, -1}, {2, 5}})},
        {"draw chair 4", 229160, Body(10, {{0, 4}, {2, 5}})},
        {"discard chair -1", 221170, Body(30, {{1, -1}, {21, 5}})},
        {"discard chair 9", 221170, Body(30, {{1, 9}, {21, 5}})},
        {"peng by chair -1", 229185, Body(16, {{3, -1}, {4, 1}})},
        {"peng from chair 7", 229185, Body(16, {{3, 1}, {4, 7}})},
        {"chi by chair 5", 229190, Body(16, {{3, 5}, {4, 1}})},
        {"exposed kong from chair -1", 229195, Body(16, {{3, 1}, {4, -1}, {11, 5}})},
        {"concealed kong chair -2", 229197, Body(16, {{3, -2}, {11, 5}})},
        {"added kong chair 4", 229199, Body(16, {{3, 4}, {11, 5}})},
        {"flower chair -1", 229210, Body(11, {{3, -1}, {4, 137}, {5, 3}, {6, 5}})},
        {"peng announced chair -1", 229170, Body(16, {{3, -1}})},
        {"chi announced chair 8", 229175, Body(16, {{3, 8}})},
        {"kong announced chair -1", 229180, Body(16, {{0, -1}, {3, 2}, {6, 8}})},
        // The watched hand's count.
        {"watched -1", 221200, Body(40, {{1, 2}, {2, -1}})},
        {"watched 33 past the body", 221200, Body(34, {{1, 2}, {2, 33}})},
        {"watched past the body", 221200, Body(10, {{1, 2}, {2, 8}})},
        {"watched one id short", 221200, Body(4, {{1, 2}, {2, 2}, {3, 40}})},
        // Bodies shorter than the words read.
        {"draw short", 229160, Body(2, {{0, 1}})},
        {"discard short", 221170, Body(21, {{1, 1}})},
        {"peng short", 229185, Body(8, {{3, 1}, {4, 3}})},
        {"kong short", 229195, Body(11, {{3, 1}, {4, 3}})},
        {"flower short", 229210, Body(6, {{3, 1}, {5, -1}})},
        {"kong announced short", 229180, Body(7, {{0, 1}, {3, 2}})},
        {"watched short", 221200, Body(2, {{1, 2}})},
        {"result short", 211080, Body(175, {})},
        {"see-hand short", 221160, Body(5, {{3, 2}, {4, 1002}})},
        {"presence short", 229500, Body(4, {{3, 1}})},
        {"empty", 229160, {}},
    };
    for (const Case& c : cases) {
        Deal();
        scene.ShowClaimButton(5, 1);
        scene.SetCountdown(12);
        scene.Tiles().m_showcase[0].bPresent = 1;
        host.lookerOn = c.id == 221160;
        const Snapshot before(scene);
        const size_t sounds = host.sounds.size(), chat = host.chat.size();
        Deliver(c.id, c.body);
        EXPECT_TRUE(Snapshot(scene) == before) << c.name;
        EXPECT_EQ(host.sounds.size(), sounds) << c.name;
        EXPECT_EQ(host.chat.size(), chat) << c.name;
        EXPECT_TRUE(scene.calls.empty()) << c.name;
        host.lookerOn = 0;
    }
    EXPECT_NE(Log().find("chair 7 has no seat"), std::string::npos);
    EXPECT_NE(Log().find("221200: 33 tiles in 136 bytes"), std::string::npos);
}

TEST_F(Handlers, ChairWithoutASeatInTheResultIsSkipped) {
    NEED_ASSETS();
    Deal();
    // A watched chair outside the table: chair 1 has no view (the others do).
    host.chair = 5;
    scene.OnGameEnd(Body(413, {{166, 1}}));
    for (const std::string& call : scene.calls) EXPECT_EQ(call.find("win"), std::string::npos);
    EXPECT_EQ(scene.calls.size(), 3u);
    EXPECT_NE(Log().find("211080: chair 1 has no seat"), std::string::npos);
    // Not seated: nothing is laid down.
    scene.calls.clear();
    host.chair = -1;
    scene.OnGameEnd(Body(413, {{165, 1}}));
    EXPECT_TRUE(scene.calls.empty());
}

}  // namespace
}  // namespace hqlv::mahjong::test
