// The GDI table view's mouse in the scene: hovering selects, a right-button drag reorders
// the own hand as the engine drag does, a click on the selected tile discards, and the
// looker-on's ask to see the watched hand.
#include <cstdlib>
#include <cstring>

#include "gdi_table_fixture.h"

namespace hqlv::mahjong::test {
namespace {

constexpr uint32_t kRight = 0x2;

class GdiMouseTest : public GdiTableTest {
protected:
    void SetUp() override {
        GdiTableTest::SetUp();
        OwnHand({5, 14, 23, 30});
        scene.GetHandRect(kOwnView, h);
    }
    // The own turn: the clock hand at the own seat, which holds its drawn tile.
    void OwnTurn(int drawn = 77) {
        scene.SetClockPosition(6);
        MJTileInfo& slot = Hand(3)[0];
        slot.nCode = drawn, slot.bPresent = 1, slot.bHand = 1;
    }
    // A point inside own record i, dx from its left edge.
    int X(int i, int dx = 5) { return h.left + scene.Tiles().m_hands[3][i].nX + dx; }
    int Y() { return h.top + scene.Tiles().m_hands[3][1].nY + 5; }
    std::vector<int> Codes() {
        std::vector<int> c;
        for (int i = 1; i <= 4; ++i) c.push_back(Hand(3)[i].nCode);
        return c;
    }
    MJRect h;
};

TEST_F(GdiMouseTest, HoverSelectsTheTileUnderThePointer) {
    scene.GdiMouseMove(0, X(2), Y());
    EXPECT_EQ(scene.FirstSelectedIndex(3), 2);
    EXPECT_EQ(host.sounds, std::vector<int>{29100 * 100 + 17});
    EXPECT_GE(dc.invalidated, 1);
    scene.GdiMouseMove(0, X(2, 30), Y());  // the same tile: nothing new
    EXPECT_EQ(host.sounds.size(), 1u);
    scene.GdiMouseMove(0, X(3), Y());
    EXPECT_EQ(scene.FirstSelectedIndex(3), 3);
    EXPECT_EQ(Hand(3)[2].bSelected, 0);
    scene.GdiMouseMove(0, h.left - 5, Y());  // out of the hand: unselected
    EXPECT_EQ(scene.FirstSelectedIndex(3), -1);
    EXPECT_EQ(host.sounds.size(), 3u);
}

// Each side of the hand rectangle's edges: one pixel out is off the hand (the sound), the
// edge pixel itself is in it (on no tile there: silent).
TEST_F(GdiMouseTest, OffTheHandEveryMoveSoundsAndRedrawsNothingSelected) {
    const int midX = (h.left + h.right) / 2, midY = (h.top + h.bottom) / 2;
    const struct {
        int x, y;
        bool off;
    } cases[] = {{h.left - 1, midY, true},
                 {h.right, midY, true},
                 {midX, h.top - 1, true},
                 {midX, h.bottom, true},
                 {h.right - 1, h.bottom - 1, false},
                 {h.left, h.top, false}};
    for (const auto& c : cases) {
        ASSERT_EQ(scene.HitTestOwnHand(c.x, c.y), -1) << c.x << "," << c.y;
        host.sounds.clear();
        const int redraws = dc.invalidated;
        EXPECT_EQ(scene.GdiMouseMove(0, c.x, c.y), 0);
        EXPECT_EQ(host.sounds, c.off ? std::vector<int>{29100 * 100 + 17} : std::vector<int>{})
            << c.x << "," << c.y;
        EXPECT_EQ(dc.invalidated, redraws + (c.off ? 1 : 0)) << c.x << "," << c.y;
        EXPECT_EQ(scene.FirstSelectedIndex(3), -1);
    }
}

TEST_F(GdiMouseTest, InTheHandBesideTheTilesTheSelectedTileGoesDownSilently) {
    scene.GdiMouseMove(0, X(2), Y());
    ASSERT_EQ(scene.FirstSelectedIndex(3), 2);
    // Left of the leftmost tile, still inside the hand rectangle.
    int beside = h.left;
    while (scene.HitTestOwnHand(beside, Y()) < 0 && beside < h.right) ++beside;
    ASSERT_GT(beside, h.left + 1);  // both h.left and h.left + 1 are on no tile
    host.sounds.clear();
    const int redraws = dc.invalidated;
    scene.GdiMouseMove(0, h.left, Y());
    EXPECT_EQ(scene.FirstSelectedIndex(3), -1);
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_EQ(dc.invalidated, redraws + 1);
    // Nothing selected there: nothing at all.
    scene.GdiMouseMove(0, h.left + 1, Y());
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_EQ(dc.invalidated, redraws + 1);
    // The drawn tile, the row's first record, goes down the same way, in the hand and off it.
    OwnTurn();
    for (int x : {h.left, h.left - 1}) {
        ASSERT_EQ(scene.HitTestOwnHand(x, Y()), -1) << x;
        Hand(3)[0].bSelected = 1;
        scene.GdiMouseMove(0, x, Y());
        EXPECT_EQ(Hand(3)[0].bSelected, 0) << x;
    }
}

TEST_F(GdiMouseTest, LookerOnAndWaitingActionIgnoreTheMouse) {
    for (int which = 0; which < 2; ++which) {
        host.lookerOn = which == 0;
        scene.waiting = which == 1;
        scene.GdiMouseMove(0, X(2), Y());
        scene.GdiRButtonDown(kRight, X(2), Y());
        scene.GdiLButtonDown(0, X(2), Y());
        EXPECT_EQ(scene.FirstSelectedIndex(3), -1);
        EXPECT_TRUE(host.sounds.empty());
        EXPECT_TRUE(scene.clicks.empty());
    }
}

TEST_F(GdiMouseTest, RightDragReordersLikeTheEngineDrag) {
    // The right button on a tile not selected starts no drag.
    scene.GdiRButtonDown(kRight, X(1), Y());
    scene.GdiMouseMove(kRight, X(3), Y());
    scene.GdiRButtonUp(0, X(3), Y());
    EXPECT_TRUE(dc.captures.empty());
    scene.GdiMouseMove(0, X(1), Y());
    scene.GdiRButtonDown(kRight, X(1), Y());
    EXPECT_FALSE(scene.IsDragging());
    // Onto the left half of record 3: record 1's tile goes there, the others move right.
    const int to = X(3, 5) + 1;
    scene.GdiMouseMove(kRight, to, Y());
    EXPECT_TRUE(scene.IsDragging());
    EXPECT_EQ(Hand(3)[1].nX, to - 5 - h.left);
    EXPECT_EQ(Hand(3)[1].nWord7, 1);
    scene.GdiRButtonUp(0, to, Y());
    EXPECT_EQ(Codes(), (std::vector<int>{14, 23, 5, 30}));
    EXPECT_FALSE(scene.IsDragging());
    EXPECT_EQ(dc.captures, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.sounds.back(), 29100 * 100 + 17);
    // The first move after the drop only ends it.
    const size_t sounds = host.sounds.size();
    scene.GdiMouseMove(0, X(4), Y());
    EXPECT_EQ(host.sounds.size(), sounds);
    scene.GdiMouseMove(0, X(4), Y());
    EXPECT_EQ(host.sounds.size(), sounds + 1);
}

// Where the dragged tile lands is where its left edge is, wherever the pointer held it.
TEST_F(GdiMouseTest, TheDropFollowsTheTilesLeftEdgeWhereverItWasHeld) {
    const int w = std::abs(Hand(3)[2].nX - Hand(3)[1].nX);  // a tile's width
    ASSERT_GE(w, 12);
    for (int held : {5, w / 2 - 1, w - 3}) {
        OwnHand({5, 14, 23, 30});
        scene.GdiMouseMove(0, X(1, held), Y());
        scene.GdiRButtonDown(kRight, X(1, held), Y());
        // The left edge one pixel into record 3: before it, the others move right.
        const int to = X(3, held) + 1;
        scene.GdiMouseMove(kRight, to, Y());
        ASSERT_TRUE(scene.IsDragging()) << held;
        scene.GdiRButtonUp(0, to, Y());
        EXPECT_EQ(Codes(), (std::vector<int>{14, 23, 5, 30})) << held;
        scene.GdiMouseMove(0, X(4), Y());  // the move that ends the drop
    }
}

TEST_F(GdiMouseTest, TheMousePointIsTheCursorOnlyWhileATileIsDragged) {
    dc.cursor = {321, 654};
    int x = -7, y = -8;
    EXPECT_FALSE(scene.GetMousePoint(x, y));  // no drag
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(-7, -8));
    scene.GdiMouseMove(0, X(1), Y());
    scene.GdiRButtonDown(kRight, X(1), Y());
    scene.GdiMouseMove(kRight, X(2), Y());
    ASSERT_TRUE(scene.IsDragging());
    EXPECT_TRUE(scene.GetMousePoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(321, 654));
    dc.cursorKnown = false;  // the window cannot say
    x = y = 0;
    EXPECT_FALSE(scene.GetMousePoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0, 0));
    dc.cursorKnown = true;
    scene.GdiRButtonUp(0, X(2), Y());
    EXPECT_FALSE(scene.GetMousePoint(x, y));
}

TEST_F(GdiMouseTest, ClickOnTheSelectedTileDiscardsAndChoiceStatesTakeTheirs) {
    // Outside the own turn, or in it without a drawn tile, a click plays nothing.
    scene.GdiMouseMove(0, X(2), Y());
    scene.GdiLButtonDown(0, X(2), Y());
    scene.SetClockPosition(6);
    scene.GdiLButtonDown(0, X(2), Y());
    EXPECT_TRUE(scene.clicks.empty());
    OwnTurn();
    scene.SetClockPosition(4);
    scene.GdiLButtonDown(0, X(2), Y());
    EXPECT_TRUE(scene.clicks.empty());
    scene.SetClockPosition(6);
    scene.GdiMouseMove(0, h.left - 5, Y());  // off the hand: nothing selected
    scene.GdiLButtonDown(0, X(2), Y());      // not selected: nothing
    EXPECT_TRUE(scene.clicks.empty());
    scene.GdiMouseMove(0, X(2), Y());
    scene.GdiLButtonDown(0, X(2), Y());
    EXPECT_EQ(scene.clicks, std::vector<int>{14});
    // A looker-on's click plays nothing.
    scene.clicks.clear();
    host.lookerOn = 1;
    scene.GdiLButtonDown(0, X(2), Y());
    host.lookerOn = 0;
    EXPECT_TRUE(scene.clicks.empty());
    const struct { int mode, click; } cases[] = {{1, -1}, {2, 1014}, {3, 2014}};
    for (auto c : cases) {
        scene.clicks.clear();
        scene.SetSelectMode(c.mode);
        scene.GdiLButtonDown(0, X(2), Y());
        EXPECT_EQ(scene.clicks, c.click < 0 ? std::vector<int>{} : std::vector<int>{c.click})
            << c.mode;
        // The picks too belong to the own turn.
        scene.clicks.clear();
        scene.SetClockPosition(2);
        scene.GdiLButtonDown(0, X(2), Y());
        EXPECT_TRUE(scene.clicks.empty()) << c.mode;
        scene.SetClockPosition(6);
    }
    scene.SetSelectMode(0);
    scene.clicks.clear();
    EXPECT_EQ(scene.GdiLButtonDown(0, h.left - 3, Y()), 0);  // no tile
    EXPECT_TRUE(scene.clicks.empty());
}

TEST_F(GdiMouseTest, WhileTilesArePickedThePointerPicksNothing) {
    for (int mode : {2, 3}) {
        scene.SetSelectMode(mode);
        host.sounds.clear();
        EXPECT_EQ(scene.GdiMouseMove(0, X(2), Y()), 0);  // the arrow cursor
        EXPECT_EQ(scene.FirstSelectedIndex(3), -1) << mode;
        EXPECT_TRUE(host.sounds.empty());
    }
    // The real gang pick: one click on the tile of a concealed four sends it at once.
    scene.recordClicks = false;
    scene.useGangClick = true;
    OwnHand({0, 9, 18, 27, 40});
    OwnTurn();
    scene.SetSelectMode(2);
    scene.GdiMouseMove(0, X(1), Y());
    scene.GdiLButtonDown(0, X(1), Y());
    EXPECT_EQ(scene.concealedGangs, std::vector<int>{0});
    scene.SetSelectMode(0);
    scene.GdiMouseMove(0, X(2), Y());  // the normal state: the hover selects again
    EXPECT_EQ(scene.FirstSelectedIndex(3), 2);
}

TEST_F(GdiMouseTest, TheDrawnTileInTheDrawSlotIsClickedLikeAnother) {
    OwnTurn(77);
    scene.GdiMouseMove(0, X(0), Y());
    ASSERT_EQ(scene.FirstSelectedIndex(3), 0);
    EXPECT_EQ(scene.GdiLButtonDown(0, X(0), Y()), 1);
    EXPECT_EQ(scene.clicks, std::vector<int>{77});
}

TEST_F(GdiMouseTest, ClickOnTheSelectedTileSends221080WithoutAnEngine) {
    scene.recordClicks = false;
    OwnTurn();
    scene.GdiMouseMove(0, X(2), Y());
    scene.GdiLButtonDown(0, X(2), Y());
    EXPECT_EQ(requests.plays, 1);
    ASSERT_GE(requests.played.size(), 27u * 4);
    int32_t tile = 0;
    std::memcpy(&tile, requests.played.data() + 26 * 4, 4);
    EXPECT_EQ(tile, 14);
    // The tile left the hand for the showcase.
    EXPECT_EQ(scene.Tiles().m_showcase[3].nCode, 14);
    EXPECT_EQ(scene.Tiles().m_showcase[3].bPresent, 1);
    EXPECT_EQ(scene.FindLastTile(3, 14), -1);
    host.lookerOn = 1;  // a looker-on's click sends nothing
    scene.GdiLButtonDown(0, X(1), Y());
    EXPECT_EQ(requests.plays, 1);
}

TEST_F(GdiMouseTest, AskToSeeTilesOnlyForALookerOnOfAHiddenRunningHand) {
    for (int i = 1; i <= 4; ++i) Hand(3)[i].nCode = kHiddenTile;
    // The application's playing answer is the framework's in this mode: never the test.
    host.playing = 1;
    scene.SetGameRunning(1);
    EXPECT_FALSE(scene.GdiAskToSeeTiles());  // a player
    host.lookerOn = 1;
    scene.SetGameRunning(0);
    EXPECT_FALSE(scene.GdiAskToSeeTiles());  // no deal
    scene.SetGameRunning(1);
    host.field13Bit8 = 1;
    EXPECT_FALSE(scene.GdiAskToSeeTiles());
    host.field13Bit8 = 0;
    Hand(3)[1].nCode = 5;
    EXPECT_FALSE(scene.GdiAskToSeeTiles());  // the hand is known
    EXPECT_EQ(requests.asks, 0);
    Hand(3)[1].nCode = kHiddenTile;
    EXPECT_TRUE(scene.GdiAskToSeeTiles());
    EXPECT_EQ(requests.asks, 1);
    EXPECT_EQ(host.sounds, std::vector<int>{29010 * 100 + 5});
    // The chat line is the view's (with the watched player's display name).
    EXPECT_TRUE(host.chat.empty());
    // A looker-on who came during a deal knows it from the table state's running flag.
    scene.SetGameRunning(0);
    host.playing = 0;
    EXPECT_FALSE(scene.GdiAskToSeeTiles());
    deal.SetStateBytes(kLookerStateBytes);
    deal.SetDealFlags(1);
    EXPECT_TRUE(scene.GdiAskToSeeTiles());
    EXPECT_EQ(requests.asks, 2);
}

}  // namespace
}  // namespace hqlv::mahjong::test
