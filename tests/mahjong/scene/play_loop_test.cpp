// Deal after deal as a player meets it: the result ends the deal and the reset offers the
// next one (pressed at once under automatic play), the clock words go with the table, a
// countdown end sent while the tiles are dealt waits for the clock, the own tiles rise under
// the pointer and are dragged into another order, a tile that comes up under a resting
// pointer takes its click, the sort's sweep, the toolbar's tips and the automatic-play
// notice's blink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/button_frame.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/draw_layer.h"
#include "engine/render/plane.h"
#include "handler_scene.h"
#include "shot_util.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

struct LoopScene : HandlerScene {
    void ShowFloatingTip(const std::string& text) override {
        tips.push_back(text);
        HandlerScene::ShowFloatingTip(text);
    }
    void HideFloatingTip() override {
        tips.push_back("-");
        HandlerScene::HideFloatingTip();
    }
    std::vector<std::string> tips;
};

class PlayLoop : public TableTestOf<LoopScene, DealAndResult> {
protected:
    void SetUp() override {
        TableTestOf<LoopScene, DealAndResult>::SetUp();
        deal.Set(18, 15);
        deal.Set(39, 8);
    }
    // A running deal: 13 tiles a seat (the own ones known and bound), the wall full.
    void Deal() {
        Start();
        scene.ResetTable();
        for (int v = 0; v < 4; ++v)
            for (int i = 1; i <= 13; ++i) Hand(v)[i].bPresent = 1;
        for (int i = 1; i <= 13; ++i) Hand(3)[i].nCode = own[size_t(i - 1)];
        scene.BindHand(kOwnView);
        scene.PumpMessages();
        host.sounds.clear();
        scene.got.clear();
        scene.calls.clear();
    }
    engine::Entity* EntityOfControl(uint32_t control) {
        engine::GameKernel& k = scene.GetKernel();
        engine::ControlData* c = k.FindControl(control);
        return c ? k.FindEntity(c->entityId) : nullptr;
    }
    engine::Entity* TileEntity(int index) {
        const MJBinding* b = scene.Binding(Hand(3)[index].nObject);
        return b ? scene.GetKernel().FindEntity(b->entityId) : nullptr;
    }
    uintptr_t TileControl(int index) {
        const MJBinding* b = scene.Binding(Hand(3)[index].nObject);
        return b ? uintptr_t(b->control) : 0;
    }
    // The centre of an own record at its resting height.
    std::pair<int, int> TileCentre(int index) {
        MJRect h;
        scene.GetHandRect(kOwnView, h);
        return {h.left + Hand(3)[index].nX + 27, h.top + Hand(3)[index].nY + 38};
    }
    std::vector<int32_t> OwnCodes(int from, int to) {
        std::vector<int32_t> v;
        for (int i = from; i <= to; ++i) v.push_back(Hand(3)[i].nCode);
        return v;
    }
    bool Got(uint32_t code) const {
        return std::any_of(scene.got.begin(), scene.got.end(),
                           [&](const TableScene::Got& g) { return g.code == code; });
    }
    // A 211080 body of 176 words with nobody winning.
    std::vector<uint8_t> Result() { return Body(176, {{169, -1}, {171, -1}}); }
    std::array<int32_t, 13> own{9, 40, 18, 77, 37, 110, 38, 58, 130, 60, 75, 95, 97};
};

// ---- the next deal ---------------------------------------------------------------------------

TEST_F(PlayLoop, TheResultEndsTheDealAndTheResetOffersTheNextOne) {
    NEED_ASSETS();
    Deal();
    engine::Entity* start = EntityOfControl(scene.Entities().start);
    ASSERT_NE(start, nullptr);
    scene.OnGameReset();
    EXPECT_EQ(scene.IsGameRunning(), 1);
    EXPECT_EQ(scene.IsDealing(), 1);
    // While the deal runs the reset does nothing.
    host.playing = scene.IsGameRunning();
    scene.ResetForNextDeal();
    EXPECT_FALSE(start->IsVisible());
    scene.OnGameEnd(Result());
    EXPECT_EQ(scene.IsGameRunning(), 0);
    EXPECT_EQ(scene.IsDealing(), 0);
    host.playing = scene.IsGameRunning();
    scene.ResetForNextDeal();
    EXPECT_TRUE(start->IsVisible());
    EXPECT_EQ(host.idleTimers, 1);  // the start button arms the view's idle timer
    EXPECT_EQ(host.startRequests, 0);
    // Under automatic play the reset presses the start itself.
    scene.OnGameReset();
    scene.ToggleAutoPlay();
    ASSERT_EQ(scene.IsAutoPlayOn(), 1);
    scene.OnGameEnd(Result());
    host.startWorks = 1;
    scene.ResetForNextDeal();
    EXPECT_EQ(host.startRequests, 1);
    EXPECT_FALSE(start->IsVisible());  // the start went through
    // A result too short to read still ends the deal.
    scene.OnGameReset();
    scene.OnGameEnd(Body(10, {}));
    EXPECT_EQ(scene.IsGameRunning(), 0);
}

// The reset before the next deal takes the last deal's tiles off the screen: the frames that
// follow draw only what changed, and the released tiles are among it.
TEST_F(PlayLoop, TheResetTakesTheLastDealsTilesOffTheScreen) {
    NEED_ASSETS();
    Deal();
    std::vector<uint32_t> px(size_t(744) * 710, 0);
    engine::DrawSurface surface{px.data(), 744, 710};
    engine::GameKernel& k = scene.GetKernel();
    k.GetCanvas().InvalidateAll();
    ASSERT_GE(k.Render(surface), 0);
    auto faces = [&] {
        MJRect h;
        scene.GetHandRect(kOwnView, h);
        int n = 0;
        for (int y = std::max(h.top, 0); y < std::min(h.bottom, 710); ++y)
            for (int x = std::max(h.left, 0); x < std::min(h.right, 744); ++x)
                n += FaceOf(px[size_t(y) * 744 + size_t(x)]) >= 0;
        return n;
    };
    ASSERT_GT(faces(), 0);
    scene.ResetTable();
    ASSERT_GE(k.Render(surface), 0);  // only the dirty areas
    EXPECT_EQ(faces(), 0);
}

TEST_F(PlayLoop, TheTableResetClearsTheClockWords) {
    NEED_ASSETS();
    Deal();
    deal.Set(13, 2);
    scene.ClockStart();
    scene.SetCountdown(7);
    scene.SetClaimWindowOpen(1);
    scene.QZ_MoveClockHand(6, 4);
    scene.SetSelectMode(2);
    ASSERT_EQ(scene.Clock().shown, 1);
    ASSERT_EQ(scene.IsHandMoved(), 1);
    scene.ResetTable();
    const CMJGameScene2::ClockWords& c = scene.Clock();
    EXPECT_EQ(c.shown, 0);
    EXPECT_EQ(c.sounds, 0);
    EXPECT_EQ(c.seconds, 0);
    EXPECT_EQ(c.started, 0);
    EXPECT_EQ(c.drawn, 0);
    EXPECT_EQ(c.claimWindow, 0);
    EXPECT_EQ((std::vector<int32_t>(c.layout, c.layout + 4)), (std::vector<int32_t>{4, 4, 24, 25}));
    EXPECT_EQ(scene.GetClockPosition(), 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.IsHandMoved(), 0);
}

// The server closes the claim window of the seat before the own seat (nobody may claim)
// while the dice roll: the countdown's end waits until the dealing is over and the clock
// runs; a new countdown in between replaces it.
TEST_F(PlayLoop, ACountdownEndDuringTheDealingWaitsForTheClock) {
    NEED_ASSETS();
    Deal();
    auto ends = [&] { return std::count(scene.calls.begin(), scene.calls.end(), "countdown end"); };
    scene.OnGameReset();
    scene.calls.clear();
    scene.OnNotify229165({});
    EXPECT_EQ(ends(), 0);
    EXPECT_EQ(scene.IsCountdownEndHeld(), 1);
    Run(9000);
    ASSERT_EQ(scene.IsDealing(), 0);
    EXPECT_EQ(ends(), 1);
    // After the layout of the deal's start (its toolbar), with the clock started.
    const auto toolbar = std::find(scene.calls.begin(), scene.calls.end(), "toolbar");
    const auto end = std::find(scene.calls.begin(), scene.calls.end(), "countdown end");
    EXPECT_LT(toolbar, end);
    EXPECT_EQ(scene.Clock().started, 1);
    EXPECT_EQ(scene.IsCountdownEndHeld(), 0);
    // Once dealt, the end runs at once.
    scene.OnNotify229165({});
    EXPECT_EQ(ends(), 2);
    // A discard after the held end sets a new countdown: the old end is dropped.
    scene.OnGameReset();
    scene.calls.clear();
    scene.OnNotify229165({});
    scene.OnNotify221170(Body(22, {{1, 3}, {21, 100}}));
    EXPECT_EQ(scene.IsCountdownEndHeld(), 0);
    Run(9000);
    EXPECT_EQ(ends(), 0);
}

// The seat before the own seat lets a tile go while the tiles are dealt and the own seat may
// take it: the offer still stands when the dealing is over; one withdrawn meanwhile does not.
TEST_F(PlayLoop, AClaimOfferedWhileTheTilesAreDealtStandsAfterTheDealing) {
    NEED_ASSETS();
    for (bool withdrawn : {false, true}) {
        Deal();
        scene.OnGameReset();
        scene.OnNotify221170(Body(22, {{1, 3}, {6, 0}, {8, 0x21}, {21, 100}}));  // peng, pass
        ASSERT_EQ(scene.IsClaimButtonActive(1), 1);
        if (withdrawn) scene.OnNotify229160(Body(3, {{0, 0}, {1, -1}, {2, 60}}));
        Run(9000);
        ASSERT_EQ(scene.IsDealing(), 0);
        EXPECT_EQ(scene.IsClaimButtonActive(1), withdrawn ? 0 : 1) << withdrawn;
        EXPECT_EQ(scene.IsClaimButtonActive(5), withdrawn ? 0 : 1) << withdrawn;
        EXPECT_EQ(scene.IsClaimButtonActive(2), 0) << withdrawn;
        EXPECT_EQ(scene.IsClaimButtonActive(4), 0) << withdrawn;
    }
}

// ---- the own tiles under the pointer -----------------------------------------------------

TEST_F(PlayLoop, TheTileUnderThePointerRisesAndGoesBackToRest) {
    NEED_ASSETS();
    struct Case {
        int locked, selected;
        int afterEnter, afterLeave;  // 1 lifted, 0 at rest
    };
    const Case cases[] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}};
    for (const Case& c : cases) {
        Deal();
        const int index = 4;
        Hand(3)[index].bLocked = c.locked;
        Hand(3)[index].bSelected = c.selected;
        scene.Binding(Hand(3)[index].nObject)->locked = c.locked;
        scene.Binding(Hand(3)[index].nObject)->selected = c.selected;
        engine::Entity* e = TileEntity(index);
        ASSERT_NE(e, nullptr);
        const int rest = scene.GetOwnHandMidY2(), lifted = scene.GetOwnHandMidY();
        ASSERT_EQ(lifted, rest - 10);
        ASSERT_EQ(e->GetY(), rest);
        // A locked or selected tile does not rise.
        scene.GetMouseManager()->SetCursorById(0);
        Dispatch(210013, TileControl(index));
        EXPECT_EQ(e->GetY(), c.afterEnter ? lifted : rest) << c.locked << c.selected;
        // The lifted look also takes the tile's sound and the hand cursor.
        EXPECT_EQ(host.sounds.size(), c.afterEnter ? 1u : 0u);
        EXPECT_EQ(scene.GetMouseManager()->CurrentCursor(), c.afterEnter ? 32649u : 0u);
        // Leaving puts any tile but a selected one back to rest, a locked one too, with the
        // arrow cursor and the sound.
        e->SetPosition(e->GetX(), lifted);
        host.sounds.clear();
        Dispatch(210014, TileControl(index));
        EXPECT_EQ(e->GetY(), c.afterLeave || c.selected ? lifted : rest) << c.locked << c.selected;
        EXPECT_EQ(host.sounds,
                  c.selected ? std::vector<int>{} : std::vector<int>{29100 * 100 + 0x11})
            << c.locked << c.selected;
        EXPECT_EQ(scene.GetMouseManager()->CurrentCursor(),
                  c.selected ? (c.afterEnter ? 32649u : 0u) : 32512u)
            << c.locked << c.selected;
    }
}

TEST_F(PlayLoop, ADragMovesTheTileToWhereItIsDropped) {
    NEED_ASSETS();
    Deal();
    const std::vector<int32_t> before = OwnCodes(1, 13);
    const uintptr_t c2 = TileControl(2);
    auto [x2, y2] = TileCentre(2);
    scene.OnMouseMove(0, x2 + 20, y2);  // taken 20 pixels right of its centre
    Dispatch(210019, c2);
    ASSERT_EQ(scene.IsDragging(), 1);
    EXPECT_EQ(TileEntity(2)->GetZ(), 2900);
    // Another tile that the pointer comes onto meanwhile rises and goes back all the same.
    Dispatch(210013, TileControl(6));
    EXPECT_EQ(TileEntity(6)->GetY(), scene.GetOwnHandMidY());
    Dispatch(210014, TileControl(6));
    EXPECT_EQ(TileEntity(6)->GetY(), scene.GetOwnHandMidY2());
    // The pointer over the right half of record 5: the tile's middle follows it at the tile's
    // own height (the point it was taken by does not count).
    auto [x5, y5] = TileCentre(5);
    scene.OnMouseMove(0, x5 + 10, y5 - 20);
    Dispatch(210020, c2);
    EXPECT_EQ(TileEntity(2)->GetX(), x5 + 10);
    EXPECT_EQ(TileEntity(2)->GetY(), y2);
    Dispatch(210021, c2);
    EXPECT_EQ(scene.IsDragging(), 0);
    // Dropped where the pointer is, right of record 5's middle: records 3 and 4 move one
    // place towards the start, the dragged tile takes record 4.
    EXPECT_EQ(OwnCodes(1, 6), (std::vector<int32_t>{before[0], before[2], before[3], before[1],
                                                    before[4], before[5]}));
    EXPECT_EQ(OwnCodes(7, 13), std::vector<int32_t>(before.begin() + 6, before.end()));
    EXPECT_EQ(host.sounds.back(), 29100 * 100 + 17);
}

// The real pointer: a right drag that crosses the neighbour between two frames stays with the
// dragged tile (the neighbour neither rises nor takes the drag) and drops where it ends.
TEST_F(PlayLoop, AQuickRightDragAcrossTheNeighbourStaysWithTheDraggedTile) {
    NEED_ASSETS();
    Deal();
    const std::vector<int32_t> before = OwnCodes(1, 13);
    const uint32_t dragged = TileEntity(2)->GetId();
    const int neighbourY = TileEntity(3)->GetY();
    auto count = [&](uint32_t code) {
        return std::count_if(scene.got.begin(), scene.got.end(),
                             [&](const TableScene::Got& g) { return g.code == code; });
    };
    auto [x2, y2] = TileCentre(2);
    scene.OnMouseMove(0, x2 - 5, y2);
    scene.PumpMessages();
    scene.OnRButtonDown(0, x2 - 5, y2);
    scene.PumpMessages();
    ASSERT_EQ(scene.IsDragging(), 1);
    scene.got.clear();
    // Onto the neighbour's centre in one step, then on to record 5 before any frame.
    auto [x3, y3] = TileCentre(3);
    auto [x5, y5] = TileCentre(5);
    scene.OnMouseMove(0, x3 - 5, y3);
    scene.OnMouseMove(0, x5 - 5, y5 - 20);
    scene.PumpMessages();
    EXPECT_EQ(scene.IsDragging(), 1);
    EXPECT_EQ(scene.GetMouseManager()->State().hoveredEntity, dragged);
    EXPECT_EQ(count(210013), 0);  // no tile entered
    EXPECT_EQ(count(210014), 0);  // none left
    EXPECT_EQ(count(210020), 2);
    EXPECT_EQ(TileEntity(3)->GetY(), neighbourY);
    EXPECT_EQ(TileEntity(2)->GetX(), x5 - 5);
    scene.OnRButtonUp(0, x5 - 5, y5 - 20);
    scene.PumpMessages();
    EXPECT_EQ(scene.IsDragging(), 0);
    EXPECT_EQ(OwnCodes(1, 6), (std::vector<int32_t>{before[0], before[2], before[3], before[4],
                                                    before[1], before[5]}));
}

TEST_F(PlayLoop, ADragEndsWithoutAMoveOnAnotherTileOrWhenThePointerLeavesTheHand) {
    NEED_ASSETS();
    for (int leave : {0, 1}) {
        Deal();
        const std::vector<int32_t> before = OwnCodes(1, 13);
        auto [x2, y2] = TileCentre(2);
        scene.OnMouseMove(0, x2, y2);
        Dispatch(210019, TileControl(2));
        auto [x6, y6] = TileCentre(6);
        if (leave) {
            MJRect h;
            scene.GetHandRect(kOwnView, h);
            scene.OnMouseMove(0, x6, h.top - 1);  // above the hand
            Dispatch(210020, TileControl(2));
        } else {
            scene.OnMouseMove(0, x6, y6);
            Dispatch(210020, TileControl(6));  // another tile's drag event
        }
        EXPECT_EQ(scene.IsDragging(), 0) << leave;
        EXPECT_EQ(OwnCodes(1, 13), before) << leave;
        EXPECT_EQ(TileEntity(2)->GetX(), x2) << leave;
        EXPECT_LT(TileEntity(2)->GetZ(), 2900) << leave;
        // The button's release finds no drag to end.
        Dispatch(210021, TileControl(2));
        EXPECT_EQ(OwnCodes(1, 13), before) << leave;
    }
}

// The hand rectangle holds its left and top edges and not its right and bottom ones: the
// tile follows the pointer up to the last pixel inside and drops at the first outside.
TEST_F(PlayLoop, TheDraggedTileFollowsThePointerToTheHandsEdges) {
    NEED_ASSETS();
    struct Case {
        const char* name;
        std::function<std::pair<int, int>(const MJRect&)> point;
        bool inside;
    };
    const Case cases[] = {
        {"left edge",
         [](const MJRect& h) {
             return std::pair{h.left, h.top + 40};
         },
         true},
        {"left of it",
         [](const MJRect& h) {
             return std::pair{h.left - 1, h.top + 40};
         },
         false},
        {"last column",
         [](const MJRect& h) {
             return std::pair{h.right - 1, h.top + 40};
         },
         true},
        {"right edge",
         [](const MJRect& h) {
             return std::pair{h.right, h.top + 40};
         },
         false},
        {"top edge",
         [](const MJRect& h) {
             return std::pair{h.left + 300, h.top};
         },
         true},
        {"last row",
         [](const MJRect& h) {
             return std::pair{h.left + 300, h.bottom - 1};
         },
         true},
        {"bottom edge",
         [](const MJRect& h) {
             return std::pair{h.left + 300, h.bottom};
         },
         false},
    };
    for (const Case& c : cases) {
        Deal();
        MJRect h;
        scene.GetHandRect(kOwnView, h);
        auto [x2, y2] = TileCentre(2);
        scene.OnMouseMove(0, x2, y2);
        Dispatch(210019, TileControl(2));
        ASSERT_EQ(scene.IsDragging(), 1) << c.name;
        const auto [x, y] = c.point(h);
        scene.OnMouseMove(0, x, y);
        Dispatch(210020, TileControl(2));
        EXPECT_EQ(scene.IsDragging(), c.inside ? 1 : 0) << c.name;
        EXPECT_EQ(TileEntity(2)->GetX(), c.inside ? x : x2) << c.name;
    }
}

// A drawn flower that comes in mid-drag leaves only the flowers playable: the drag ends there,
// the dragged tile is back in its place at its own depth, and once the lock is gone the
// tiles lift and drag again.
TEST_F(PlayLoop, ALockThatComesInMidDragEndsTheDrag) {
    NEED_ASSETS();
    Deal();
    const std::vector<int32_t> before = OwnCodes(1, 13);
    auto [x2, y2] = TileCentre(2);
    scene.OnMouseMove(0, x2, y2);
    Dispatch(210013, TileControl(2));  // the tile rises under the pointer
    Dispatch(210019, TileControl(2));
    ASSERT_EQ(scene.IsDragging(), 1);
    auto [x5, y5] = TileCentre(5);
    scene.OnMouseMove(0, x5, y5);
    Dispatch(210020, TileControl(2));
    ASSERT_EQ(TileEntity(2)->GetX(), x5);
    // The replacement of a gang brings a flower (tile 136) into the draw slot.
    auto* w = static_cast<int32_t*>(std::calloc(8, sizeof(int32_t)));
    w[1] = 136, w[3] = -1;
    engine::MessageData d = engine::MessageData::Owned(w, &std::free, 8 * sizeof(int32_t));
    scene.OnMessage(210008, d, 0);
    ASSERT_EQ(scene.AnyLockedOwnTile(), 1);
    EXPECT_EQ(scene.IsDragging(), 0);
    EXPECT_EQ(OwnCodes(1, 13), before);
    EXPECT_EQ(TileEntity(2)->GetX(), x2);
    EXPECT_EQ(TileEntity(2)->GetY(), scene.GetOwnHandMidY2());
    EXPECT_LT(TileEntity(2)->GetZ(), 2900);
    // The flower goes (its lock with it): another tile rises and is dragged.
    scene.ClearChoiceMarks();
    Hand(3)[0].bPresent = 0;
    scene.BindHand(kOwnView);
    Dispatch(210013, TileControl(4));
    EXPECT_EQ(TileEntity(4)->GetY(), scene.GetOwnHandMidY());
    Dispatch(210019, TileControl(4));
    EXPECT_EQ(scene.IsDragging(), 1);
}

struct WaitingLoopScene : LoopScene {
    int IsActionWaiting() const override { return waiting || LoopScene::IsActionWaiting(); }
    int waiting = 0;
};

class DropLoop : public TableTestOf<WaitingLoopScene, DealAndResult> {};

// The release of a drag that a waiting request or a lock on the dragged tile overtook ends
// the drag where it stands, moves nothing, and lets the hand drag again.
TEST_F(DropLoop, AReleaseAfterAWaitOrALockEndsTheDragWithoutAMove) {
    NEED_ASSETS();
    Start();
    for (int which : {0, 1}) {
        SCOPED_TRACE(which ? "locked" : "waiting");
        scene.ResetTable();
        const int32_t own[13] = {9, 40, 18, 77, 37, 110, 38, 58, 130, 60, 75, 95, 97};
        for (int i = 1; i <= 13; ++i) {
            Hand(3)[i].bPresent = 1;
            Hand(3)[i].nCode = own[i - 1];
        }
        scene.BindHand(kOwnView);
        scene.PumpMessages();
        const MJBinding* b = scene.Binding(Hand(3)[2].nObject);
        ASSERT_NE(b, nullptr);
        const uintptr_t control = uintptr_t(b->control);
        MJRect h;
        scene.GetHandRect(kOwnView, h);
        const int x2 = h.left + Hand(3)[2].nX + 27, y2 = h.top + Hand(3)[2].nY + 38;
        const int x6 = h.left + Hand(3)[6].nX + 27;
        scene.OnMouseMove(0, x2, y2);
        Dispatch(210019, control);
        ASSERT_EQ(scene.IsDragging(), 1);
        scene.OnMouseMove(0, x6, y2);
        Dispatch(210020, control);
        if (which)
            Hand(3)[2].bLocked = 1;  // the record's own mark, not yet bound
        else
            scene.waiting = 1;
        Dispatch(210021, control);
        EXPECT_EQ(scene.IsDragging(), 0);
        for (int i = 1; i <= 13; ++i) EXPECT_EQ(Hand(3)[i].nCode, own[i - 1]) << i;
        engine::Entity* e = scene.GetKernel().FindEntity(b->entityId);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->GetX(), x2);
        EXPECT_LT(e->GetZ(), 2900);
        scene.waiting = 0;
        Hand(3)[2].bLocked = 0;
        Dispatch(210019, control);
        EXPECT_EQ(scene.IsDragging(), 1);
        Dispatch(210021, control);
    }
}

// A looker-on's tile lights under the pointer: the alpha that the canvas draws changes, not
// only the entity's.
TEST_F(PlayLoop, ALookerOnsHoverLightReachesTheCanvas) {
    NEED_ASSETS();
    host.lookerOn = 1;
    Deal();
    const uintptr_t control = TileControl(3);
    ASSERT_NE(control, 0u);
    engine::Entity* e = TileEntity(3);
    ASSERT_NE(e, nullptr);
    auto drawnAlpha = [&] {
        const engine::LayerItem* item =
            scene.GetKernel().GetCanvas().Layer(e->GetLayer()).FindItem(e->GetItemId());
        return item ? item->alpha : -1.0;
    };
    ASSERT_DOUBLE_EQ(drawnAlpha(), 1.0);
    Dispatch(210011, control);
    EXPECT_DOUBLE_EQ(drawnAlpha(), 0.8);
    EXPECT_EQ(host.sounds.back(), 29100 * 100 + 0x11);
    Dispatch(210012, control);
    EXPECT_DOUBLE_EQ(drawnAlpha(), 1.0);
    // A looker-on's press drags nothing.
    Dispatch(210019, control);
    EXPECT_EQ(scene.IsDragging(), 0);
}

// The drawn tile comes up under a pointer that has not moved since: the first click is its.
TEST_F(PlayLoop, AFreshTileUnderTheRestingPointerTakesTheFirstClick) {
    NEED_ASSETS();
    Deal();
    scene.SetClockHand(6);  // the own turn
    auto [x, y] = TileCentre(0);
    scene.OnMouseMove(0, x, y);  // nothing there yet
    scene.PumpMessages();
    Hand(3)[0].nCode = 44;
    Hand(3)[0].bHand = Hand(3)[0].bPresent = 1;
    scene.BindHand(kOwnView);
    scene.PumpMessages();  // the hover is looked at again
    EXPECT_TRUE(Got(210013));
    EXPECT_EQ(TileEntity(0)->GetY(), scene.GetOwnHandMidY());
    scene.got.clear();
    scene.OnLButtonDown(1, x, y);
    scene.OnLButtonUp(0, x, y);
    scene.PumpMessages();
    EXPECT_TRUE(Got(210018));  // the discard click of the drawn tile
}

// ---- the toolbar ---------------------------------------------------------------------------

TEST_F(PlayLoop, TheSortSweepsAlongTheHandThenSortsIt) {
    NEED_ASSETS();
    Deal();
    engine::Entity* sweep = scene.GetKernel().FindEntity(scene.Entities().hand);
    ASSERT_NE(sweep, nullptr);
    const std::vector<int32_t> before = OwnCodes(1, 13);
    Dispatch(210032);
    EXPECT_EQ(host.sounds, std::vector<int>{29108 * 100 + 0x11});
    EXPECT_TRUE(sweep->IsVisible());
    EXPECT_EQ(sweep->GetWidth(), 3 * 54);
    EXPECT_EQ(sweep->GetHeight(), 77);
    const int from = sweep->GetX();
    EXPECT_EQ(from, TileCentre(13).first);  // it starts at the last own tile
    Run(300);
    EXPECT_GT(sweep->GetX(), from);
    EXPECT_EQ(OwnCodes(1, 13), before);  // sorted only when the sweep has passed
    Dispatch(210032);                    // a press while it runs does nothing
    EXPECT_EQ(host.sounds.size(), 1u);
    Run(3000);
    EXPECT_TRUE(Got(210060));
    std::vector<int32_t> sorted = OwnCodes(1, 13);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [&](int32_t a, int32_t b) {
        return scene.SortKey(a) > scene.SortKey(b);
    }));
    std::sort(sorted.begin(), sorted.end());
    std::vector<int32_t> all = before;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(sorted, all);
    // The entities show the sorted records again; the sweep has faded out and gone.
    for (int i = 1; i <= 13; ++i)
        EXPECT_EQ(scene.Binding(Hand(3)[i].nObject)->code, Hand(3)[i].nCode) << i;
    EXPECT_FALSE(sweep->IsVisible());
    EXPECT_EQ(sweep->GetAlpha(), 0.0);
    // Neither during a choice nor over a locked tile.
    host.sounds.clear();
    scene.SetSelectMode(2);
    Dispatch(210032);
    scene.SetSelectMode(0);
    Hand(3)[3].bLocked = 1;
    Dispatch(210032);
    EXPECT_TRUE(host.sounds.empty());
}

TEST_F(PlayLoop, TheSortSparksRiseOverTheHandAndFadeWithinThirtySteps) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    engine::Entity* sweep = k.FindEntity(scene.Entities().hand);
    ASSERT_NE(sweep, nullptr);
    MJRect h;
    scene.GetHandRect(kOwnView, h);
    Dispatch(210032);
    const int from = sweep->GetX(), y = sweep->GetY();
    size_t most = 0;
    // Each spark starts within one large tile (54 x 77) around the sweep's centre at its
    // emission, rises by its speed (1-4, no acceleration) and fades by its life of at most 30.
    auto check = [&] {
        size_t live = 0;
        for (uint32_t id : scene.Entities().particles) {
            auto* e = static_cast<engine::ParticleEntity*>(k.FindEntity(id));
            ASSERT_NE(e, nullptr);
            ASSERT_NE(e->State(), nullptr);
            EXPECT_EQ(e->GetX(), sweep->GetX());  // the emitters go with the sweep
            EXPECT_EQ(e->GetY(), y);
            for (const engine::Particle& p : e->State()->particles) {
                ++live;
                EXPECT_GE(p.originX, from - 27);
                EXPECT_LE(p.originX, h.right - 27 + 26);
                EXPECT_GE(p.originY, y - 38);
                EXPECT_LE(p.originY, y + 38);
                EXPECT_EQ(p.x, 0.0);
                EXPECT_EQ(p.velocityY, 0);
                ASSERT_GE(p.velocityX, 1);
                ASSERT_LE(p.velocityX, 4);
                ASSERT_GE(p.life, 1);
                // The step has run at least once: alpha is the life before it over 30.
                EXPECT_DOUBLE_EQ(p.alpha, (p.life + 1) / 30.0);
                const int rise = int(-p.y);
                EXPECT_EQ(rise % p.velocityX, 0);
                const int steps = rise / p.velocityX;
                EXPECT_GE(steps, 1);
                EXPECT_LE(steps + p.life, 30);
            }
        }
        most = std::max(most, live);
    };
    for (int i = 0; i < 40; ++i) {
        Run(50);
        check();
        if (HasFailure()) return;
    }
    EXPECT_GT(most, 5u);  // sparks were out together
    Run(5000);
    EXPECT_TRUE(Got(210060));
    for (uint32_t id : scene.Entities().particles) {
        auto* e = static_cast<engine::ParticleEntity*>(k.FindEntity(id));
        EXPECT_TRUE(e->State()->particles.empty());
        EXPECT_EQ(e->State()->live, 0u);
        EXPECT_EQ(e->State()->toEmit, 0u);
    }
}

// The frames draw only what changed. Once the sweep and its sparks are over, what they left on
// the screen is the table drawn afresh: no spark's last, faded picture stays behind.
TEST_F(PlayLoop, AfterTheSortSweepNoSparkStaysOnTheScreen) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    std::vector<uint32_t> shown(size_t(744) * 710, 0);
    engine::DrawSurface screen{shown.data(), 744, 710};
    k.GetCanvas().InvalidateAll();
    ASSERT_GE(k.Render(screen), 0);
    Dispatch(210032);
    for (int i = 0; i < 300; ++i) {  // 3 s of frames, each drawing only what changed
        Run(10);
        k.Render(screen);
    }
    ASSERT_TRUE(Got(210060));
    for (uint32_t id : scene.Entities().particles)
        ASSERT_EQ(static_cast<engine::ParticleEntity*>(k.FindEntity(id))->State()->live, 0u);
    std::vector<uint32_t> fresh(shown.size(), 0);
    engine::DrawSurface whole{fresh.data(), 744, 710};
    k.GetCanvas().InvalidateAll();
    ASSERT_GE(k.Render(whole), 0);
    int stale = 0, firstX = -1, firstY = -1;
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != fresh[i] && stale++ == 0) {
            firstX = int(i % 744);
            firstY = int(i / 744);
        }
    EXPECT_EQ(stale, 0) << "first at (" << firstX << ", " << firstY << ")";
}

TEST_F(PlayLoop, ASortKeepsEachTilesMarksWithIt) {
    NEED_ASSETS();
    Deal();
    Hand(3)[1].bLocked = 1;  // the 9 of the first suit is not to be played
    scene.OnSortSweepEnd();
    for (int i = 1; i <= 13; ++i) EXPECT_EQ(Hand(3)[i].bLocked, Hand(3)[i].nCode == 9 ? 1 : 0) << i;
}

TEST_F(PlayLoop, ToolbarButtonsTellTheirTipsAndStayAfterAClick) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    const char* const tips[] = {"音乐", "换肤", "排序", "托管", "截屏"};
    auto fire = [&](uint32_t control, uint32_t slot) {
        engine::ControlData* c = k.FindControl(control);
        const engine::EventSlot* e = c ? c->GetEvent(slot) : nullptr;
        ASSERT_NE(e, nullptr) << slot;
        k.DeliverMessage(
            engine::EngineMessage{e->code, engine::MessageData::Number(e->data), e->target}, 0);
    };
    for (int i = 0; i < 5; ++i) {
        scene.tips.clear();
        fire(scene.Entities().toolButtons[i], 12);  // the hover hold
        scene.PumpMessages();
        EXPECT_EQ(scene.tips, std::vector<std::string>{tips[i]}) << i;
        EXPECT_TRUE(k.FindEntity(scene.Entities().note)->IsVisible()) << i;
        fire(scene.Entities().toolButtons[i], 13);  // the pointer moves on
        scene.PumpMessages();
        EXPECT_EQ(scene.tips.back(), "-") << i;
        EXPECT_FALSE(k.FindEntity(scene.Entities().note)->IsVisible()) << i;
    }
    // A click delivers the button's event and leaves the button where it was.
    const uint32_t sort = scene.Entities().toolButtons[2];
    const uint32_t face = k.FindControl(sort)->entityId;
    fire(sort, 8);
    scene.PumpMessages();
    EXPECT_TRUE(Got(210032));
    ASSERT_NE(k.FindControl(sort), nullptr);
    EXPECT_NE(k.FindEntity(face), nullptr);
    fire(sort, 8);
    EXPECT_NE(k.FindControl(sort), nullptr);
}

// The screenshot button: its base colour, a border all round, and the caption drawn last at
// (0, 8) in the plane's own style: one line of two characters 15 high, from the left edge
// across the button. Its strokes may cover the border's sides in their rows, and only there.
TEST_F(PlayLoop, TheScreenshotCaptionIsOneLineAcrossTheButtonDrawnOverItsBorder) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    engine::ControlData* c = k.FindControl(scene.Entities().toolButtons[4]);
    ASSERT_NE(c, nullptr);
    auto* plane = dynamic_cast<engine::PlaneEntity*>(k.FindEntity(c->entityId));
    ASSERT_NE(plane, nullptr);
    const engine::PlaneState* st = plane->State();
    ASSERT_EQ(st->width, 30);
    ASSERT_EQ(st->height, 30);
    const uint32_t border = engine::ColorToPixel(0x936DF3, 0xFF00FF);
    const uint32_t base = engine::ColorToPixel(0x37450E, 0xFF00FF);
    constexpr int kTop = 8, kHigh = 15;
    int left = 0, right = 0, first = 30, last = -1;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const uint32_t p = st->pixels[size_t(y) * 30 + size_t(x)];
            const bool edge = x == 0 || y == 0 || x == 29 || y == 29;
            if (p == (edge ? border : base)) continue;
            EXPECT_GE(y, kTop) << x;
            EXPECT_LT(y, kTop + kHigh) << x;
            ++(x < 15 ? left : right);
            first = std::min(first, x);
            last = std::max(last, x);
        }
    // Both characters' strokes, side by side, from near the left edge to near the right one:
    // characters of the plane's height, not a smaller face centred in the box.
    EXPECT_GT(left, 30);
    EXPECT_GT(right, 30);
    EXPECT_LE(first, 2);
    EXPECT_GE(last, 27);
}

// The tip a hover hold brings up leaves the screen when the hover ends: the frame drawn
// after it is the frame from before the tip.
TEST_F(PlayLoop, AToolbarTipLeavesTheScreenWhenTheHoverEnds) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    auto frame = [&] {
        std::vector<uint32_t> px(size_t(744) * 710, 0);
        engine::DrawSurface surface{px.data(), 744, 710};
        k.GetCanvas().InvalidateAll();
        EXPECT_GE(k.Render(surface), 0);
        return px;
    };
    auto fire = [&](uint32_t slot) {
        engine::ControlData* c = k.FindControl(scene.Entities().toolButtons[2]);
        const engine::EventSlot* e = c ? c->GetEvent(slot) : nullptr;
        ASSERT_NE(e, nullptr) << slot;
        k.DeliverMessage(
            engine::EngineMessage{e->code, engine::MessageData::Number(e->data), e->target}, 0);
        scene.PumpMessages();
    };
    const std::vector<uint32_t> before = frame();
    fire(12);
    Run(300);
    ASSERT_EQ(scene.tips, std::vector<std::string>{"排序"});
    EXPECT_NE(frame(), before);  // the tip shows
    fire(13);
    EXPECT_EQ(scene.tips.back(), "-");
    EXPECT_EQ(frame(), before);
}

// The banker's mark moves with the banker from deal to deal, and the table reset takes it
// off: the screen shows one mark, at the banker's seat, or none.
TEST_F(PlayLoop, TheBankersMarkLeavesTheScreenWhereItGoes) {
    NEED_ASSETS();
    Deal();
    engine::GameKernel& k = scene.GetKernel();
    auto frame = [&] {
        std::vector<uint32_t> px(size_t(744) * 710, 0);
        engine::DrawSurface surface{px.data(), 744, 710};
        k.GetCanvas().InvalidateAll();
        EXPECT_GE(k.Render(surface), 0);
        return px;
    };
    for (int v = 0; v < 4; ++v) scene.ShowSeatInfo(v);  // the panels the marks stand on
    scene.ResetSeatPanels();                            // the deal's own marks go
    const std::vector<uint32_t> none = frame();
    scene.SetBankerMark(1);
    const std::vector<uint32_t> atOne = frame();
    EXPECT_NE(atOne, none);
    scene.ResetSeatPanels();
    EXPECT_EQ(frame(), none);
    scene.SetBankerMark(0);
    EXPECT_NE(frame(), none);
    scene.SetBankerMark(1);
    EXPECT_EQ(frame(), atOne);
}

// Automatic play through the engine's own mouse manager: a left click anywhere on the table
// ends it, once, whether the engine handles the press before the release comes or not; a
// right click (on the table or on an own tile, where it starts a drag) leaves it on; the
// toolbar's 托管 button ends it like any other click and, once it is off, switches it on.
TEST_F(PlayLoop, AutomaticPlayEndsWithALeftClickAndNotWithARightOne) {
    NEED_ASSETS();
    Deal();
    scene.ShowToolbars(1);
    scene.PumpMessages();
    auto ended = [&] {
        return int(std::count(host.chat.begin(), host.chat.end(),
                              "<c=255>[系统]<c=4953725>系统托管终止!\r\n"));
    };
    auto on = [&] {
        scene.ToggleAutoPlay();
        scene.PumpMessages();
        ASSERT_EQ(scene.IsAutoPlayOn(), 1);
        ASSERT_EQ(scene.GetTimeoutCount(), 3);
    };
    // Half a second of the hover timer: the next press is no double click.
    auto settle = [&] {
        for (int t = 0; t < 6; ++t) scene.OnHoverTimer(0);
    };
    // A left click; pumped: the engine takes the press before the release comes.
    auto leftClick = [&](int x, int y, bool pumped) {
        scene.OnMouseMove(0, x, y);
        scene.PumpMessages();
        scene.OnLButtonDown(1, x, y);
        if (pumped) scene.PumpMessages();
        scene.OnLButtonUp(0, x, y);
        scene.PumpMessages();
    };
    const std::pair<int, int> table{372, 330};
    auto [tx, ty] = TileCentre(5);
    // Right clicks: on the table, then on an own tile (its drag starts and ends).
    on();
    for (auto [x, y] : {table, std::pair{tx, ty}}) {
        settle();
        scene.OnMouseMove(0, x, y);
        scene.PumpMessages();
        scene.OnRButtonDown(0, x, y);
        scene.PumpMessages();
        scene.OnRButtonUp(0, x, y);
        scene.PumpMessages();
        EXPECT_EQ(scene.IsAutoPlayOn(), 1) << x;
        EXPECT_EQ(scene.GetTimeoutCount(), 3) << x;
    }
    EXPECT_EQ(ended(), 0);
    // A left click ends it, whether the engine takes the press before the release or both in
    // one pass; off, the table's clicks do nothing more.
    for (bool pumped : {true, false}) {
        settle();
        leftClick(table.first, table.second, pumped);
        EXPECT_EQ(scene.IsAutoPlayOn(), 0) << pumped;
        EXPECT_EQ(scene.GetTimeoutCount(), 0) << pumped;
        EXPECT_EQ(ended(), pumped ? 1 : 2);
        settle();
        leftClick(table.first, table.second, pumped);
        EXPECT_EQ(scene.IsAutoPlayOn(), 0) << pumped;
        on();
    }
    // A double click taken in one pass posts an end with its first release, its second press
    // and its second release: it ends automatic play all the same.
    settle();
    for (int i = 0; i < 2; ++i) {
        scene.OnLButtonDown(1, table.first, table.second);
        scene.OnLButtonUp(0, table.first, table.second);
    }
    scene.PumpMessages();
    EXPECT_EQ(scene.IsAutoPlayOn(), 0);
    EXPECT_EQ(scene.GetTimeoutCount(), 0);
    // The toolbar's 托管 button: on → off → on → off, one step a click. The toolbar stands
    // where this game's layout puts it on a large screen.
    engine::ButtonFrame* tools = scene.Entities().systemBar;
    ASSERT_NE(tools, nullptr);
    engine::Entity* frame = tools->FrameEntity();
    ASSERT_NE(frame, nullptr);
    frame->SetPosition(frame->GetWidth() / 2 + 50, 710 - frame->GetHeight() / 2 - 4);
    frame->ApplyTransform();
    tools->Layout();
    scene.PumpMessages();
    engine::Entity* button = EntityOfControl(scene.Entities().toolButtons[3]);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->IsVisible());
    const int endedBefore = ended();
    for (int expected : {1, 0, 1, 0}) {
        settle();
        leftClick(button->GetX(), button->GetY(), true);
        EXPECT_EQ(scene.IsAutoPlayOn(), expected);
        EXPECT_EQ(scene.GetTimeoutCount(), 3 * expected);
    }
    EXPECT_EQ(ended(), endedBefore + 2);
}

// The notice's blink runs from the scene's set-up, hidden, and the end of automatic play
// cancels it: shown again, the notice stands still.
TEST_F(PlayLoop, TheAutoPlayNoticeBlinksFromItsMakingUntilAutomaticPlayFirstEnds) {
    NEED_ASSETS();
    Deal();
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Entities().autoPlay);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->GetType(), engine::ENT_PLANE);
    auto* plane = static_cast<engine::PlaneEntity*>(e);
    const engine::PlaneState* st = plane->State();
    const size_t at = size_t(st->height / 2) * size_t(st->width) + 4;
    const size_t faceCount =
        size_t(std::count(st->pixels.begin(), st->pixels.end(), st->pixels[at]));
    uint32_t last = st->pixels[at];
    auto changesIn = [&](int ms) {
        int changes = 0;
        for (int t = 0; t < ms; t += 10) {
            Run(10);
            if (st->pixels[at] != last) ++changes, last = st->pixels[at];
        }
        return changes;
    };
    ASSERT_FALSE(e->IsVisible());
    EXPECT_GE(changesIn(500), 3);  // hidden, it blinks already
    scene.ToggleAutoPlay();
    ASSERT_TRUE(e->IsVisible());
    const int shown = changesIn(1000);
    EXPECT_GE(shown, 8);
    EXPECT_LE(shown, 11);
    // The whole face changes colour together.
    EXPECT_EQ(size_t(std::count(st->pixels.begin(), st->pixels.end(), last)), faceCount);
    scene.ToggleAutoPlay();
    ASSERT_FALSE(e->IsVisible());
    EXPECT_EQ(changesIn(500), 0);
    scene.ToggleAutoPlay();
    ASSERT_TRUE(e->IsVisible());
    EXPECT_EQ(changesIn(500), 0);
}

}  // namespace
}  // namespace hqlv::mahjong::test
