// The table fits its logical screen and is drawn again whole: after a deal a resize releases
// every binding and the full redraw binds the same tiles again; the seats' name planes show
// their names; the own row (melds, hand, drawn tile) lies inside the screen and a click on a
// tile's centre picks that tile; the overlaps that are faults are gone. The own chair is 2
// (view 3); chair 3 sits at view 0, chair 0 at view 1, chair 1 at view 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>
#include <vector>

#include "engine/core/entity_kinds.h"
#include "engine/render/canvas.h"
#include "engine/render/draw_layer.h"
#include "engine/render/plane.h"
#include "handler_scene.h"
#include "shot_util.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

using Shown = std::set<std::tuple<int, int, int>>;

class TableFit : public TableTest {
protected:
    // The game's logical screen stays 744 x 710 whatever the pane's size.
    void SetUp() override {
        TableTest::SetUp();
        scene.SetFixedLogicalSize(744, 710);
    }
    // A new deal with banker chair 1 (view 2) dealt to its end: 13 tiles a seat, 14 at the
    // banker's.
    void DealToTheEnd(int banker = 1) {
        deal.Set(11, banker);
        deal.Set(13, banker);
        deal.Set(14, 0x101);
        for (int d = 0; d < 4; ++d) deal.Set(23 + size_t(d), d < 2 ? 3 : 0);
        for (int c = 0; c < 4; ++c) deal.Set(49 + size_t(c), c == banker ? 14 : 13);
        const int32_t own[14] = {9, 18, 37, 38, 58, 60, 75, 77, 95, 97, 110, 120, 130, 44};
        for (int i = 0; i < 32; ++i)
            deal.Set(53 + size_t(i), i < (banker == 2 ? 14 : 13) ? own[i] : -1);
        scene.OnGameReset();
        Run(10000);
    }
    // Whether the canvas draws the entity (what the last transform pushed).
    bool Drawn(uint32_t entityId) {
        const engine::Entity* e = scene.GetKernel().FindEntity(entityId);
        if (!e || !e->IsAttached()) return false;
        const engine::LayerItem* item =
            scene.GetKernel().GetCanvas().Layer(e->GetLayer()).FindItem(e->GetItemId());
        return item && item->visible;
    }
    // What the tile pool shows now: (area, view, index) of every binding the canvas draws.
    // A pooled entity that no binding holds is drawn nowhere.
    Shown ShownTiles() {
        Shown out;
        for (int i = 1; i <= kBindingCount; ++i) {
            const MJBinding* b = scene.Binding(i);
            if (!b || !Drawn(b->entityId)) continue;
            EXPECT_NE(b->area, 0) << "binding " << i << " is free but still drawn";
            out.insert({b->area, b->view, b->index});
        }
        return out;
    }
    engine::PlaneEntity* Panel(int view) {
        auto* e = scene.GetKernel().FindEntity(scene.Entities().panels[view]);
        return e && e->GetType() == engine::ENT_PLANE ? static_cast<engine::PlaneEntity*>(e)
                                                      : nullptr;
    }
    // The columns of the plane that hold a drawn pixel: first and last, -1 when none.
    std::pair<int, int> InkColumns(engine::PlaneEntity* p) {
        const uint32_t* px = p->GetPixels();
        const int w = p->GetWidth(), h = p->GetHeight();
        int first = -1, last = -1;
        for (int x = 0; x < w && px; ++x)
            for (int y = 0; y < h; ++y)
                if (px[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
};

TEST_F(TableFit, AResizeAfterADealBindsTheSameTilesAgain) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    DealToTheEnd();
    const Shown before = ShownTiles();
    // The whole wall (the record names no tile taken) and the 53 dealt tiles.
    EXPECT_EQ(before.size(), 189u);
    for (auto [w, h] : {std::pair{1000, 640}, {600, 560}, {744, 710}}) {
        scene.SetScreen(w, h);
        scene.OnInitDone();
        EXPECT_EQ(ShownTiles(), before) << w << " x " << h;
    }
    // A part redraws only its area: the wall released, the hands bound again by Redraw(2)
    // stay released.
    scene.ReleaseAllBindings();
    scene.Redraw(kAreaHand);
    Shown hands;
    for (const auto& t : before)
        if (std::get<0>(t) == kAreaHand) hands.insert(t);
    EXPECT_EQ(ShownTiles(), hands);
    scene.Redraw(kAreaWall);
    EXPECT_EQ(ShownTiles(), before);
}

// The full redraw binds one area after the other over all seats, wall, hands, discards,
// flowers and showcases in turn: the pool, which hands out its first free binding, then holds
// each area's tiles in one run of bindings, in that order.
TEST_F(TableFit, TheFullRedrawBindsAreaAfterAreaOverAllSeats) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    DealToTheEnd();
    for (int v = 0; v < 4; ++v) {
        for (int i = 0; i < 2; ++i) {
            MJTileInfo& r = scene.Tiles().m_flowers[v][i];
            r.nCode = 136 + 2 * v + i, r.bPresent = 1, r.nFace = 1;
        }
        for (int i = 0; i < 3; ++i) scene.AddDiscard(v, 4 * i + v);
        MJTileInfo& show = scene.Tiles().m_showcase[v];
        show.nCode = 20 + v, show.bPresent = 1, show.nFace = 1;
    }
    scene.ReleaseAllBindings();
    scene.Redraw(kRedrawAll);
    std::vector<int> areas;  // the area of every binding in use, by binding index
    for (int i = 1; i <= kBindingCount; ++i)
        if (const MJBinding* b = scene.Binding(i); b && b->area) areas.push_back(b->area);
    const std::vector<int> order = {kAreaWall, kAreaHand, kAreaDiscard, kAreaFlower, kAreaShowcase};
    std::vector<int> runs;
    for (int a : areas)
        if (runs.empty() || runs.back() != a) runs.push_back(a);
    EXPECT_EQ(runs, order);
    EXPECT_EQ(std::count(areas.begin(), areas.end(), kAreaDiscard), 12);
    EXPECT_EQ(std::count(areas.begin(), areas.end(), kAreaFlower), 8);
    EXPECT_EQ(std::count(areas.begin(), areas.end(), kAreaShowcase), 4);
    // A part binds its own area alone.
    for (int part : order) {
        SCOPED_TRACE(part);
        scene.ReleaseAllBindings();
        scene.Redraw(part);
        std::set<int> bound;
        for (int i = 1; i <= kBindingCount; ++i)
            if (const MJBinding* b = scene.Binding(i); b && b->area) bound.insert(b->area);
        EXPECT_EQ(bound, std::set<int>{part});
    }
}

// A part's redraw pushes again the transforms of the bound tiles among the first 136 bindings
// whose area is that part (the first binding too), and of no other area.
TEST_F(TableFit, APartsRedrawAppliesTheTransformsOfItsAreaAlone) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    DealToTheEnd();
    // The hands take the first bindings, the wall the next ones.
    scene.ReleaseAllBindings();
    scene.Redraw(kAreaHand);
    scene.Redraw(kAreaWall);
    const MJBinding* hand = scene.Binding(1);
    const MJBinding* wall = scene.Binding(60);
    ASSERT_TRUE(hand && hand->area == kAreaHand);
    ASSERT_TRUE(wall && wall->area == kAreaWall);
    engine::GameKernel& k = scene.GetKernel();
    for (uint32_t id : {hand->entityId, wall->entityId}) {
        k.FindEntity(id)->Hide();  // not yet pushed to the canvas
        EXPECT_TRUE(Drawn(id));
    }
    scene.Redraw(kAreaWall);
    EXPECT_FALSE(Drawn(wall->entityId));
    EXPECT_TRUE(Drawn(hand->entityId));
    scene.Redraw(kAreaHand);
    EXPECT_FALSE(Drawn(hand->entityId));
}

TEST_F(TableFit, TheFullRedrawShowsEverySeatsNameOnItsPanel) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    DealToTheEnd();
    scene.SetScreen(1000, 640);
    scene.OnInitDone();
    for (int v = 0; v < 4; ++v) {
        SCOPED_TRACE(v);
        engine::PlaneEntity* p = Panel(v);
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->IsVisible());
        const auto [first, last] = InkColumns(p);
        ASSERT_GE(first, 0);
        // The name is centred on the plane's point (100, 25): two characters of 16 pixels.
        EXPECT_NEAR((first + last) / 2, 100, 4);
        EXPECT_NEAR(last - first + 1, 32, 4);
    }
    // A seat without a name draws nothing on its plane.
    draw.SeatMutable(1)->name.clear();
    draw.DrawSeatInfo(1);
    EXPECT_EQ(InkColumns(Panel(1)).first, -1);
    Shoot("table-seat-names.png");
}

// A seat's melds take records out of its standing hand and the end lays the rest down: no
// tile the seat no longer holds stays drawn, standing under the melds or the laid-down row.
TEST_F(TableFit, ReleasedTilesAreNoLongerDrawn) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    DealToTheEnd();
    // Chair 3 (view 0) pengs three times from chair 0 (view 1) and ends with four tiles.
    for (int k = 0; k < 3; ++k) {
        scene.AddPengMeld(0, Body(11, {{4, 0}, {5, 100 + k}, {6, 104 + k}, {7, 108 + k}}));
        scene.BindHandTiles(0);
        Hand(0)[0].bPresent = 0;  // its discard
    }
    scene.LayOutEndHand(0, std::vector<int32_t>{1, 2, 3, 4});
    scene.BindHandTiles(0);
    int standing = 0, laid = 0;
    for (const auto& [area, view, index] : ShownTiles()) {
        if (view != 0 || (area != kAreaHand && area != kAreaMeld)) continue;
        const MJTileInfo& r = Hand(0)[index];
        EXPECT_EQ(r.bPresent, 1) << index;
        standing += r.nFace == 2;
        laid += r.nFace == 1;
    }
    EXPECT_EQ(standing, 0);
    EXPECT_EQ(laid, 9 + 4);
}

// The own row (melds, standing tiles, drawn tile) lies inside the 744-pixel screen and off
// the table cloth's frame for 13 and 14 tiles with 0 to 4 melds; at each standing tile's
// centre the canvas picks that tile's entity, which holds a tile control, and the own hit
// test names the same record.
TEST_F(TableFit, TheOwnRowLiesInsideTheScreenAndEachTileIsHitAtItsCentre) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    for (int melds = 0; melds <= 4; ++melds)
        for (bool drawn : {false, true}) {
            SCOPED_TRACE(std::to_string(melds) + (drawn ? " melds, 14 tiles" : " melds, 13"));
            scene.ResetTable();
            // Honours of five faces (record 1 goes to the draw slot and out after a peng),
            // then two copies of four faces for the pengs.
            std::vector<int32_t> hand;
            for (int32_t id = 108; id < 113; ++id) hand.push_back(id);
            int32_t copies[4][4];
            for (int k = 0; k < 4; ++k) {
                CMJGameScene::FaceCopies(k, copies[k]);
                hand.push_back(copies[k][0]);
                hand.push_back(copies[k][1]);
            }
            for (size_t i = 0; i < hand.size(); ++i) {
                MJTileInfo& r = Hand(3)[i + 1];
                r.nCode = hand[i], r.bPresent = r.bHand = 1;
            }
            for (int k = 0; k < melds; ++k) {
                scene.AddPengMeld(
                    3, Body(11, {{4, 3}, {5, copies[k][2]}, {6, copies[k][0]}, {7, copies[k][1]}}));
                Hand(3)[0].bPresent = Hand(3)[0].bHand = 0;  // the discard after the peng
            }
            if (drawn) Hand(3)[0].nCode = 120, Hand(3)[0].bPresent = Hand(3)[0].bHand = 1;
            scene.BindHandTiles(3);
            MJRect area;
            scene.GetHandRect(3, area);
            int standing = 0, laid = 0;
            for (int i = 0; i < kHandSlotCount; ++i) {
                const MJTileInfo& r = Hand(3)[i];
                if (!r.bPresent) continue;
                ASSERT_NE(r.nObject, 0) << i;
                const MJBinding* b = scene.Binding(r.nObject);
                const engine::Entity* e = scene.GetKernel().FindEntity(b->entityId);
                ASSERT_NE(e, nullptr);
                const int left = e->GetX() - e->GetWidth() / 2, right = left + e->GetWidth();
                EXPECT_GE(left, kOwnRowMargin) << i;
                EXPECT_LE(right, 744 - kOwnRowMargin) << i;
                if (!r.bHand) {
                    ++laid;
                    continue;
                }
                ++standing;
                const int cx = area.left + r.nX + 54 / 2, cy = area.top + r.nY + 77 / 2;
                EXPECT_EQ(scene.GetKernel().GetCanvas().HitTest(cx, cy), b->entityId) << i;
                EXPECT_NE(b->control, 0) << i;
                EXPECT_EQ(scene.HitTestOwnHand(cx, cy), i);
            }
            EXPECT_EQ(standing, 13 - 3 * melds + (drawn ? 1 : 0));
            EXPECT_EQ(laid, 3 * melds);
            if (melds == 1 && drawn) Shoot("table-own-row.png");
        }
}

// On a small screen each seat's flower row lines up with a neighbour's discard rows: view 0's
// top with view 1's rows (at four players), view 1's right edge with view 2's, view 2's bottom
// with view 3's, view 3's left edge with view 0's; the other sides follow from the row's size.
// A normal screen keeps the rows at the hands' inner sides.
TEST_F(TableFit, SmallScreenFlowerRowsLineUpWithTheNeighboursDiscards) {
    NEED_ASSETS();
    Start(600);
    scene.OnStarted();
    MJRect f, d, h;
    scene.GetFlowerAreaBase(0, f), scene.GetDiscardRect(1, d), scene.GetHandRect(0, h);
    EXPECT_EQ(f.top, d.top);
    EXPECT_EQ(f.bottom, d.top + 8 * 21 + 11);
    EXPECT_EQ(f.left, h.right);
    EXPECT_EQ(f.right, h.right + 33);
    scene.GetFlowerAreaBase(1, f), scene.GetDiscardRect(2, d), scene.GetHandRect(1, h);
    EXPECT_EQ(f.right, d.right);
    EXPECT_EQ(f.left, d.right - 8 * 26);
    EXPECT_EQ(f.top, h.bottom);
    EXPECT_EQ(f.bottom, h.bottom + 36);
    scene.GetFlowerAreaBase(2, f), scene.GetDiscardRect(3, d), scene.GetHandRect(2, h);
    EXPECT_EQ(f.bottom, d.bottom);
    EXPECT_EQ(f.top, d.bottom - 8 * 21 - 11);
    EXPECT_EQ(f.right, h.left);
    EXPECT_EQ(f.left, h.left - 33);
    scene.GetFlowerAreaBase(3, f), scene.GetDiscardRect(0, d), scene.GetHandRect(3, h);
    EXPECT_EQ(f.left, d.left);
    EXPECT_EQ(f.right, d.left + 8 * 26);
    EXPECT_EQ(f.bottom, h.top);
    EXPECT_EQ(f.top, h.top - 36);
    // Three seats: view 0 starts 21 below its hand's top.
    scene.Geometry().SetPlayerCount(3);
    scene.GetFlowerAreaBase(0, f), scene.GetHandRect(0, h);
    EXPECT_EQ(f.top, h.top + 21);
    EXPECT_EQ(f.bottom, h.top + 21 + 8 * 21 + 11);
    scene.Geometry().SetPlayerCount(4);
    // Every seat with three flowers and ten discards, for the picture.
    for (int v = 0; v < 4; ++v) {
        for (int i = 0; i < 3; ++i) {
            MJTileInfo& r = scene.Tiles().m_flowers[v][i];
            r.nCode = 136 + i, r.bPresent = 1, r.nFace = 1;
        }
        for (int i = 0; i < 10; ++i) scene.AddDiscard(v, 4 * i + v);
    }
    scene.Redraw(kRedrawAll);
    Shoot("table-small-flowers.png");
}

TEST_F(TableFit, NormalScreenFlowerRowsStayAtTheHands) {
    NEED_ASSETS();
    Start(710);
    MJRect f, h;
    scene.GetFlowerAreaBase(0, f), scene.GetHandRect(0, h);
    EXPECT_EQ(f.top, h.top);
    scene.GetFlowerAreaBase(1, f), scene.GetHandRect(1, h);
    EXPECT_EQ(f.right, h.right);
    scene.GetFlowerAreaBase(2, f), scene.GetHandRect(2, h);
    EXPECT_EQ(f.bottom, h.bottom);
    scene.GetFlowerAreaBase(3, f), scene.GetHandRect(3, h);
    EXPECT_EQ(f.left, h.left);
}

// The table-drawing object's calls draw the seats' planes: a refresh of the deal (211040) all
// of them yellow, a started player's (201160) his seat alone, a seat's new name (211011) its
// plane with that name.
TEST_F(TableFit, TheTableDrawingObjectsCallsDrawTheNamePlanes) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    // The colour of a plane's ink: 'y' yellow, 'w' white, '-' none.
    auto ink = [&](int view) {
        engine::PlaneEntity* p = Panel(view);
        const uint32_t* px = p ? p->GetPixels() : nullptr;
        uint32_t best = 0;
        for (int i = 0; px && i < p->GetWidth() * p->GetHeight(); ++i) {
            const uint32_t c = px[size_t(i)] & 0xFFFFFF;
            const auto sum = [](uint32_t v) { return (v & 0xFF) + ((v >> 8) & 0xFF) + (v >> 16); };
            if (sum(c) > sum(best)) best = c;
        }
        if (!best) return '-';
        return (best & 0xFF) < 0x80 || (best >> 16) < 0x80 ? 'y' : 'w';
    };
    auto inks = [&] { return std::string{ink(0), ink(1), ink(2), ink(3)}; };
    draw.RefreshAll();
    EXPECT_EQ(inks(), "yyyy");
    draw.SetAllHighlights(0);
    scene.Redraw(kRedrawAll);
    EXPECT_EQ(inks(), "wwww");
    draw.HighlightChair(0);  // chair 0 sits at view 1
    EXPECT_EQ(inks(), "wyww");
    const int before = InkColumns(Panel(0)).second - InkColumns(Panel(0)).first;
    draw.SetSeatName(3, "一个很长的名字");  // chair 3 sits at view 0
    const auto [first, last] = InkColumns(Panel(0));
    EXPECT_GT(last - first, before + 60);
    EXPECT_NEAR((first + last) / 2, 100, 4);
    draw.SetSeatName(3, "");
    EXPECT_EQ(ink(0), '-');
    // The banker's mark: one icon on the banker's plane alone, after its name, never over it.
    draw.SetSeatName(3, "北家");
    scene.SetBankerMark(2);
    scene.Redraw(kRedrawAll);
    for (int v = 0; v < 4; ++v) {
        int shown = 0;
        for (uint32_t id : scene.Entities().icons[v])
            if (engine::Entity* e = scene.GetKernel().FindEntity(id); e && e->IsVisible()) {
                ++shown;
                const engine::Entity* p = Panel(v);
                const int along = std::abs(e->GetX() - p->GetX()) + std::abs(e->GetY() - p->GetY());
                EXPECT_GE(along, scene.SeatNameWidth(v) / 2 + 6 + 15 - 1) << v;
            }
        EXPECT_EQ(shown, v == 2 ? 1 : 0) << v;
    }
}

// At a three-seat table the side walls end at the centre's bottom and the own wall stands
// centred under it; four seats keep the walls around the centre.
TEST_F(TableFit, ThreeSeatWallsEndAtTheCentresBottomAndTheOwnWallIsCentred) {
    NEED_ASSETS();
    Start();
    MJRect c, r;
    scene.GetCentreRect(c);
    scene.Geometry().SetPlayerCount(3);
    for (int v : {0, 2}) {
        const int n = scene.GetWallStacksOfView(v);
        scene.GetWallRect(v, r);
        EXPECT_EQ(r.bottom, c.bottom) << v;
        EXPECT_EQ(r.top, c.bottom - 20 - 13 * n) << v;
    }
    const int n3 = scene.GetWallStacksOfView(3);
    ASSERT_GT(n3, 0);
    scene.GetWallRect(3, r);
    EXPECT_EQ(r.left, c.left + (c.right - c.left) / 2 - 17 * n3 / 2);
    EXPECT_EQ(r.right, r.left + 17 * n3);
    scene.Geometry().SetPlayerCount(4);
    scene.GetWallRect(3, r);
    EXPECT_EQ(r.left, c.left);
    scene.GetWallRect(0, r);
    EXPECT_EQ(r.top, c.top - 20);
}

// Overlaps on the side rows. A seat's melds grow from one end of its row and its standing
// tiles keep to the other: with one to four claims (pengs and exposed gangs, each followed by
// the discard) no meld tile lies over a standing one on any row. At the end of the deal the
// laid-down hand lies clear of the melds, and no standing tile is left under it, even when the
// server's list is shorter than what the seat still showed standing. The large showcase tile, 24
// inside the hand and centred along it, covers the wind disc 35 inside on the same axis: that is
// the table's own arrangement and is pinned here as such.
class TableOverlap : public TableFit {
protected:
    struct Box {
        int left, top, right, bottom;
    };
    static bool Meet(const Box& a, const Box& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
    Box BoxOf(int view, int i) {
        const MJTileInfo& r = Hand(view)[i];
        const MJBinding* b = r.nObject ? scene.Binding(r.nObject) : nullptr;
        const engine::Entity* e = b ? scene.GetKernel().FindEntity(b->entityId) : nullptr;
        if (!e) return {0, 0, 0, 0};
        const int l = e->GetX() - e->GetWidth() / 2, t = e->GetY() - e->GetHeight() / 2;
        return {l, t, l + e->GetWidth(), t + e->GetHeight()};
    }
    // A hidden hand of 13 at the view, then claims: even k a peng, odd k an exposed gang.
    void Claim(int view, int claims) {
        scene.ResetTable();
        for (int i = 1; i <= 13; ++i) {
            MJTileInfo& r = Hand(view)[i];
            r.nCode = 200, r.bPresent = r.bHand = 1;
        }
        const int giver = scene.ViewToChair((view + 2) % 4);
        for (int k = 0; k < claims; ++k) {
            const int32_t base = 4 * k;
            if (k % 2 == 0)
                scene.AddPengMeld(view,
                                  Body(11, {{4, giver}, {5, base}, {6, base + 1}, {7, base + 2}}));
            else
                scene.AddExposedGangMeld(view, Body(11, {{4, giver},
                                                         {5, base},
                                                         {6, base + 1},
                                                         {7, base + 2},
                                                         {8, base + 3},
                                                         {10, 120}}));
            Hand(view)[0].bPresent = Hand(view)[0].bHand = 0;  // the discard after the claim
        }
        scene.BindHandTiles(view);
    }
};

TEST_F(TableOverlap, MeldsNeverCoverTheStandingTilesOnAnyRow) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    for (int view = 0; view < 4; ++view)
        for (int claims = 1; claims <= 4; ++claims) {
            SCOPED_TRACE("view " + std::to_string(view) + ", claims " + std::to_string(claims));
            Claim(view, claims);
            int standing = 0, laid = 0;
            for (int i = 0; i < kHandSlotCount; ++i) {
                const MJTileInfo& s = Hand(view)[i];
                if (!s.bPresent) continue;
                if (!s.bHand) {
                    ++laid;
                    continue;
                }
                ++standing;
                const Box a = BoxOf(view, i);
                ASSERT_LT(a.left, a.right) << i;
                for (int j = 0; j < kHandSlotCount; ++j) {
                    const MJTileInfo& m = Hand(view)[j];
                    if (!m.bPresent || m.bHand) continue;
                    const Box b = BoxOf(view, j);
                    ASSERT_LT(b.top, b.bottom) << j;
                    EXPECT_FALSE(Meet(a, b)) << "standing " << i << " meld " << j;
                }
            }
            EXPECT_EQ(standing, 13 - 3 * claims);
            EXPECT_EQ(laid, 3 * claims + claims / 2);
        }
}

TEST_F(TableOverlap, TheLaidDownHandLiesClearOfTheMelds) {
    NEED_ASSETS();
    Start();
    scene.OnStarted();
    // short: the server's list holds fewer tiles than the seat still shows standing; held: the
    // seat holds a drawn tile and the list takes it too (laid from record 0).
    for (int view = 0; view < 4; ++view)
        for (int claims = 0; claims <= 4; ++claims)
            for (int shape = 0; shape < 3; ++shape) {
                const bool shortList = shape == 1, held = shape == 2;
                if (shortList && claims == 4) continue;  // an empty list lays nothing down
                SCOPED_TRACE("view " + std::to_string(view) + ", claims " + std::to_string(claims) +
                             ", shape " + std::to_string(shape));
                Claim(view, claims);
                if (held)
                    Hand(view)[0].nCode = 200, Hand(view)[0].bPresent = Hand(view)[0].bHand = 1;
                std::vector<bool> meld(kHandSlotCount);
                for (int i = 0; i < kHandSlotCount; ++i)
                    meld[size_t(i)] = Hand(view)[i].bPresent && !Hand(view)[i].bHand;
                std::vector<int32_t> list;
                const int count = 13 - 3 * claims - (shortList ? 1 : 0) + (held ? 1 : 0);
                for (int k = 0; k < count; ++k) list.push_back(60 + k);
                if (held)
                    scene.LayOutEndHandAll(view, list);
                else
                    scene.LayOutEndHand(view, list);
                scene.BindHandTiles(view);
                int laidDown = 0;
                for (int i = 0; i < kHandSlotCount; ++i)
                    laidDown += Hand(view)[i].bPresent && !Hand(view)[i].bHand && !meld[size_t(i)];
                EXPECT_EQ(laidDown, count);
                int stillStanding = 0;
                for (int i = 0; i < kHandSlotCount; ++i) {
                    const MJTileInfo& r = Hand(view)[i];
                    if (!r.bPresent || meld[size_t(i)]) continue;
                    stillStanding += r.bHand;
                    ASSERT_LT(BoxOf(view, i).left, BoxOf(view, i).right) << i;
                    for (int j = 0; j < kHandSlotCount; ++j) {
                        if (!meld[size_t(j)]) continue;
                        EXPECT_FALSE(Meet(BoxOf(view, i), BoxOf(view, j))) << i << " over " << j;
                    }
                }
                EXPECT_EQ(stillStanding, 0);
            }
}

TEST_F(TableOverlap, TheShowcaseStandsOverTheWindDiscByTheTablesNumbers) {
    NEED_ASSETS();
    Start();
    for (int view = 0; view < 4; ++view) {
        MJRect h, s;
        scene.GetHandRect(view, h);
        scene.GetShowcaseRect(view, s);
        int x = 0, y = 0;
        scene.GetWindMarkPos(view, x, y);
        EXPECT_TRUE(x >= s.left && x < s.right && y >= s.top && y < s.bottom) << view;
        // 24 and 35 inside the hand's inner side, both centred along the hand.
        switch (view) {
            case 0:
                EXPECT_EQ(s.left, h.right + 24);
                EXPECT_EQ(x, h.right + 35);
                break;
            case 1:
                EXPECT_EQ(s.top, h.bottom + 24);
                EXPECT_EQ(y, h.bottom + 35);
                break;
            case 2:
                EXPECT_EQ(s.right, h.left - 24);
                EXPECT_EQ(x, h.left - 35);
                break;
            default:
                EXPECT_EQ(s.bottom, h.top - 24);
                EXPECT_EQ(y, h.top - 35);
                break;
        }
    }
}

// The toolbar's places go to the log only with a host that maps them to the display; a scene
// that lost its host writes nothing and does not fall over.
TEST_F(TableFit, TheToolbarIsLoggedOnlyThroughAHost) {
    NEED_ASSETS();
    Start();
    scene.OnInitDone();
    auto lines = [&] {
        const std::string log = Log();
        int n = 0;
        for (size_t at = log.find("工具栏屏幕:"); at != std::string::npos;
             at = log.find("工具栏屏幕:", at + 1))
            ++n;
        return n;
    };
    const int before = lines();
    scene.SetSceneHost(nullptr);
    scene.LogToolbar();
    scene.SetSceneHost(&host);
    EXPECT_EQ(lines(), before);
    scene.LogToolbar();
    EXPECT_EQ(lines(), before + 1);
}

}  // namespace
}  // namespace hqlv::mahjong::test
