// A deal from its start record through the dice and the dealing animation: what the table
// holds when the server's notifications arrive before, during and after the dealing.
// The own chair is 2 (view 3); chair 3 sits at view 0, chair 0 at view 1, chair 1 at view 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "gdi_table_fixture.h"
#include "handler_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

class DealFlow : public HandlerTest {
protected:
    // The start record of a deal whose banker is chair `banker`; the own chair's 13 or 14
    // tiles listed, the banker holding its drawn tile (status bit 0x100).
    void NewDeal(int banker) {
        deal.Set(11, banker);
        deal.Set(13, banker);
        deal.Set(14, 0x101);
        for (int d = 0; d < 4; ++d) deal.Set(23 + size_t(d), d < 2 ? 3 : 0);
        const int count = banker == 2 ? 14 : 13;
        for (int c = 0; c < 4; ++c) deal.Set(49 + size_t(c), c == banker ? 14 : 13);
        for (int i = 0; i < 32; ++i) deal.Set(53 + size_t(i), i < count ? own[size_t(i)] : -1);
        scene.OnGameReset();
    }
    std::vector<int32_t> OwnHand() {
        std::vector<int32_t> ids;
        for (int i = 0; i < kHandSlotCount; ++i)
            if (Hand(3)[i].bPresent && Hand(3)[i].bHand) ids.push_back(Hand(3)[i].nCode);
        return ids;
    }
    int Present(int view) {
        int n = 0;
        for (int i = 0; i < kHandSlotCount; ++i) n += Hand(view)[i].bPresent && Hand(view)[i].bHand;
        return n;
    }
    std::array<int32_t, 14> own{9, 18, 37, 38, 58, 60, 75, 77, 95, 97, 110, 120, 130, 44};
};

// The server plays the banker's 14th tile (the draw slot's) at its time-out, before or
// during the client's dice and dealing: the own hand loses it and keeps 13 tiles, and the
// dealing does not put the draw slot back.
TEST_F(DealFlow, TheServersFirstDiscardDuringTheDealingIsShownInFull) {
    NEED_ASSETS();
    Start();
    for (uint32_t at : {0u, 1000u, 3000u, 6000u}) {
        NewDeal(2);
        Run(at);
        scene.OnNotify221170(Body(22, {{1, 2}, {21, 9}}));
        Run(10000);
        SCOPED_TRACE(at);
        // The dealing's end sorts the hand (its sweep ends within the time run).
        std::vector<int32_t> kept(own.begin() + 1, own.end()), held = OwnHand();
        std::sort(kept.begin(), kept.end());
        std::sort(held.begin(), held.end());
        EXPECT_EQ(held, kept);
        EXPECT_EQ(scene.Tiles().m_showcase[3].bPresent, 1);
        EXPECT_EQ(scene.Tiles().m_showcase[3].nCode, 9);
    }
    // The own discard the client made itself (the draw slot already empty) is not repeated.
    NewDeal(2);
    Run(8000);
    Hand(3)[0].bPresent = 0;
    scene.Tiles().m_showcase[3] = MJTileInfo{};
    scene.OnNotify221170(Body(22, {{1, 2}, {21, 9}}));
    EXPECT_EQ(scene.Tiles().m_showcase[3].bPresent, 0);
}

// The seat after the banker draws and discards while the tiles are dealt; the next draw
// settles that discard into its rows, and a peng laid then keeps its records.
TEST_F(DealFlow, PlayDuringTheDealingSettlesIntoTheFinalTable) {
    NEED_ASSETS();
    Start();
    for (uint32_t at : {0u, 1500u, 3000u}) {
        NewDeal(2);
        Run(at);
        scene.OnNotify221170(Body(22, {{1, 2}, {21, 9}}));
        scene.OnNotify229160(Body(3, {{0, 1}, {1, -1}, {2, 60}}));
        scene.OnNotify221170(Body(22, {{1, 1}, {21, 108}}));
        scene.OnNotify229160(Body(3, {{0, 0}, {1, -1}, {2, 61}}));
        scene.OnNotify221170(Body(22, {{1, 0}, {21, 100}}));
        // Chair 3 (view 0) takes it: a peng of three tiles out of its hidden hand.
        scene.OnNotify229185(Body(12, {{3, 3}, {4, 0}, {5, 100}, {6, 101}, {7, 102}}));
        Run(8000);
        SCOPED_TRACE(at);
        EXPECT_EQ(scene.Tiles().m_discards[2][0].bPresent, 1);
        EXPECT_EQ(scene.Tiles().m_discards[2][0].nCode, 108);
        EXPECT_EQ(scene.Tiles().m_showcase[2].bPresent, 0);
        // View 0: 13 dealt, the three top records out for the peng, the draw slot holds the
        // tile to play.
        EXPECT_EQ(Present(0), 11);
        int meld = 0;
        for (int i = 1; i < kHandSlotCount; ++i) meld += Hand(0)[i].bPresent && !Hand(0)[i].bHand;
        EXPECT_EQ(meld, 3);
    }
}

// The dealing marks the records once: a direct call (no deal reset before it) still marks
// the dealt hands, a reset's marking is not repeated.
TEST_F(DealFlow, DealingMarksTheHandsOnlyWhenTheResetDidNot) {
    NEED_ASSETS();
    Start();
    NewDeal(2);
    Hand(0)[5].bPresent = 0;
    scene.StartDealAnimation();
    EXPECT_EQ(Hand(0)[5].bPresent, 0);
    scene.StartDealAnimation();
    EXPECT_EQ(Hand(0)[5].bPresent, 1);
}

// A new deal marks every seat's dealt records whichever chair is the banker: 13 each, and
// the banker's draw slot too.
TEST_F(DealFlow, EverySeatIsDealtWhicheverChairIsTheBanker) {
    NEED_ASSETS();
    Start();
    // Chair 3 sits at view 0, chair 0 at view 1, chair 1 at view 2, the own chair 2 at 3.
    const int viewOfChair[4] = {1, 2, 3, 0};
    for (int banker = 0; banker < 4; ++banker) {
        NewDeal(banker);
        for (int v = 0; v < 4; ++v)
            EXPECT_EQ(Present(v), v == viewOfChair[banker] ? 14 : 13)
                << "banker " << banker << " view " << v;
    }
}

// The result's list of a chair holds more than its count (a concealed kong's tiles after the
// hand's): only the count is laid down.
TEST_F(DealFlow, TheResultLaysDownOnlyTheCountedTiles) {
    NEED_ASSETS();
    Start();
    NewDeal(2);
    Run(8000);
    deal.result.fill(0);
    for (int ch = 0; ch < 4; ++ch) {
        for (int k = 0; k < 32; ++k) deal.SetResult(212 + 32 * size_t(ch) + size_t(k), -1);
        for (int k = 0; k < 6; ++k) deal.SetResult(212 + 32 * size_t(ch) + size_t(k), 10 * ch + k);
    }
    const int counts[4] = {2, 0, 6, 40};  // 40: more than a list holds, cut at 32
    for (int ch = 0; ch < 4; ++ch) deal.SetResult(208 + size_t(ch), counts[ch]);
    for (int v = 0; v < 4; ++v) Hand(v)[0].bPresent = 0;
    scene.calls.clear();
    scene.OnGameEnd(Body(413, {{175, 1}}));
    EXPECT_EQ(scene.calls,
              (std::vector<std::string>{"end 1 0 1", "end 2", "end 3 20 21 22 23 24 25",
                                        "end 0 30 31 32 33 34 35"}));
    EXPECT_NE(Log().find("chair 3 count 40"), std::string::npos);
    deal.SetResult(208, -1);
    scene.calls.clear();
    scene.OnGameEnd(Body(413, {{175, 1}}));
    EXPECT_EQ(scene.calls.front(), "end 1");
}

// A kong's replacement arrives from the answer (event 210008): the wall record it names goes,
// once; a position outside the wall marks nothing. Tile 0 is no other: the standing wall
// records hold code 0 as well, and none of them goes with it.
TEST_F(DealFlow, TheReplacementTakesTheWallRecordItsAnswerNames) {
    NEED_ASSETS();
    Start();
    NewDeal(2);
    Run(8000);
    auto replace = [&](int32_t tile, int32_t wall) {
        auto* w = static_cast<int32_t*>(std::calloc(8, sizeof(int32_t)));
        w[1] = tile, w[3] = wall;
        engine::MessageData d = engine::MessageData::Owned(w, &std::free, 8 * sizeof(int32_t));
        scene.OnMessage(210008, d, 0);
    };
    Hand(3)[0].bPresent = 0;
    replace(55, 40);
    EXPECT_EQ(scene.Tiles().m_wall[40].bPresent, 0);
    EXPECT_EQ(Hand(3)[0].bPresent, 1);
    EXPECT_EQ(Hand(3)[0].nCode, 55);
    int absent = 0;
    for (int i = 0; i < 136; ++i) absent += !scene.Tiles().m_wall[i].bPresent;
    for (int32_t wall : {40, 136, -1}) replace(56, wall);
    auto taken = [&] {
        int n = 0;
        for (int i = 0; i < 136; ++i) n += !scene.Tiles().m_wall[i].bPresent;
        return n;
    };
    EXPECT_EQ(taken(), absent);
    for (int32_t wall : {41, -1, 136}) replace(0, wall);
    EXPECT_EQ(scene.Tiles().m_wall[41].bPresent, 0);
    EXPECT_EQ(taken(), absent + 1);
    EXPECT_EQ(Hand(3)[0].nCode, 0);
    const std::string text = scene.FormatTable("t");
    EXPECT_NE(text.find("  wall: 40 41\n"), std::string::npos) << text;
}

// The own concealed kong's replacement comes 200 ms after the answer. A new deal that begins
// within them has a table of its own: the replacement of the one before does not land on it.
TEST_F(DealFlow, AReplacementQueuedByTheTableBeforeDoesNotLandOnTheNextOne) {
    NEED_ASSETS();
    struct Answering : GdiRequests {
        int QueryRequest(std::string&, int id, MJData, std::span<uint8_t> reply,
                         int* result) override {
            const int32_t answer[8] = {2, 100, 0, 61};
            std::memcpy(reply.data(), answer, std::min(reply.size(), sizeof answer));
            *result = 10;
            return id == 229047;
        }
    } requests;
    host.requests = &requests;
    own = {0, 9, 18, 27, 58, 60, 75, 77, 95, 97, 110, 120, 130, 44};
    Start();
    for (bool again : {false, true}) {
        SCOPED_TRACE(again);
        NewDeal(2);
        Run(8000);
        ASSERT_EQ(scene.DeclareConcealedGang(0), 1);
        Run(100);
        if (again) {
            NewDeal(2);
            Run(8000);
            std::vector<int32_t> dealt(own.begin(), own.end()), held = OwnHand();
            std::sort(dealt.begin(), dealt.end());
            std::sort(held.begin(), held.end());
            EXPECT_EQ(held, dealt);
            EXPECT_EQ(scene.Tiles().m_wall[61].bPresent, 1);
            EXPECT_NE(Log().find("补牌100属于已重建的牌桌"), std::string::npos);
        } else {
            Run(200);
            EXPECT_EQ(Hand(3)[0].nCode, 100);
            EXPECT_EQ(Hand(3)[0].bPresent, 1);
            EXPECT_EQ(scene.Tiles().m_wall[61].bPresent, 0);
        }
    }
}

// A side seat's kong carries no meld kind: the table's record still lists its tiles as meld
// tiles, before and after the lay-down, and never as laid-down hand tiles.
TEST_F(DealFlow, TheRecordTellsASideSeatsKongFromItsLaidDownHand) {
    NEED_ASSETS();
    Start();
    NewDeal(2);
    Run(8000);
    // Chair 3 (view 0) takes chair 2's discard 100 for an exposed kong.
    scene.OnNotify221170(Body(22, {{1, 2}, {21, 100}}));
    scene.OnNotify229195(
        229195, Body(12, {{3, 3}, {4, 2}, {5, 100}, {6, 101}, {7, 102}, {8, 103}, {11, 70}}));
    auto block = [](const std::string& text, const char* key) {
        const size_t chair = text.find("chair 3 view 0");
        const size_t at = text.find(std::string("  ") + key + ":", chair);
        return text.substr(at, text.find('\n', at) - at);
    };
    const std::string before = scene.FormatTable("before");
    EXPECT_EQ(block(before, "meldtiles").size(), std::string("  meldtiles: 100 101 102 103").size())
        << before;
    deal.result.fill(0);
    for (int ch = 0; ch < 4; ++ch)
        for (int k = 0; k < 32; ++k) deal.SetResult(212 + 32 * size_t(ch) + size_t(k), -1);
    for (int k = 0; k < 10; ++k) deal.SetResult(212 + 32 * 3 + size_t(k), 10 + k);
    deal.SetResult(208 + 3, 10);
    scene.OnGameEnd(Body(413, {{175, 1}}));
    const std::string after = scene.FormatTable("after");
    EXPECT_EQ(block(after, "meldtiles"), block(before, "meldtiles")) << after;
    // The lay-down itself is the recording scene's: only the kong's records are face up.
    EXPECT_NE(scene.calls.back().find(" 10 11 12 13 14 15 16 17 18 19"), std::string::npos);
    EXPECT_EQ(block(after, "laid"), "  laid:") << after;
}

}  // namespace
}  // namespace hqlv::mahjong::test
