// Chair ↔ view conversions for four and three players.
#include <gtest/gtest.h>

#include "fake_scene_host.h"
#include "mahjong/scene/seat_geometry.h"

namespace hqlv::mahjong {
namespace {

struct ChairView {
    int players, own, chair, view;
};

class ChairToViewTest : public testing::TestWithParam<ChairView> {};

TEST_P(ChairToViewTest, MapsAndMapsBack) {
    const ChairView c = GetParam();
    test::FakeSceneHost host;
    host.chair = c.own;
    CSeatGeometry g;
    g.SetHost(&host);
    g.SetPlayerCount(c.players);
    EXPECT_EQ(g.ChairToView(c.chair), c.view);
    if (c.view >= 0) {
        EXPECT_EQ(g.ViewToChair(c.view), c.chair);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Seats, ChairToViewTest,
    testing::Values(ChairView{4, 2, 3, 0}, ChairView{4, 2, 0, 1}, ChairView{4, 2, 1, 2},
                    ChairView{4, 2, 2, 3}, ChairView{3, 0, 1, 0}, ChairView{3, 0, 2, 2},
                    ChairView{3, 0, 0, 3},
                    // Not seated: no chair has a view.
                    ChairView{4, -1, 0, -1}, ChairView{4, 2, -1, -1}, ChairView{4, 2, 5, -1}));

TEST(SeatGeometry, ThreePlayersOppositeViewMapsToThePreviousChair) {
    test::FakeSceneHost host;
    host.chair = 0;
    CSeatGeometry g;
    g.SetHost(&host);
    g.SetPlayerCount(3);
    EXPECT_EQ(g.ViewToChair(1), 2);
    EXPECT_EQ(g.ViewToChair(4), -1);
    EXPECT_EQ(g.ViewToChair(-1), -1);
}

TEST(SeatGeometry, NeighbourViews) {
    CSeatGeometry g;
    struct Case {
        int players, view, a, b;
    } cases[] = {{4, 0, 1, 3}, {4, 1, 0, 2}, {4, 2, 1, 3}, {4, 3, 0, 2}, {3, 0, 2, 3},
                 {3, 1, 0, 2}, {3, 2, 0, 3}, {3, 3, 0, 2}, {5, 0, -1, -1}, {4, 4, -1, -1}};
    for (const Case& c : cases) {
        g.SetPlayerCount(c.players);
        int a = 9, b = 9;
        g.AdjacentViews(c.view, a, b);
        EXPECT_EQ(a, c.a) << c.players << " " << c.view;
        EXPECT_EQ(b, c.b) << c.players << " " << c.view;
    }
}

TEST(SeatGeometry, OtherViewsAndThreePlayerSwap) {
    CSeatGeometry g;
    struct Case {
        int players, view, inA, inB, a, b;
    } cases[] = {{4, 0, 7, 8, 2, 1}, {4, 1, 7, 8, 0, 2}, {4, 2, 7, 8, 0, 1},
                 {4, 3, 7, 8, 7, 8}, {4, 3, 1, 5, 1, 5}, {3, 0, 7, 8, 2, 1},
                 {3, 2, 7, 8, 0, 1}, {3, 3, 1, 5, 5, 1}, {3, 3, 7, 8, 7, 8}};
    for (const Case& c : cases) {
        g.SetPlayerCount(c.players);
        int a = c.inA, b = c.inB;
        g.OtherViews(c.view, a, b);
        EXPECT_EQ(a, c.a) << c.players << " " << c.view;
        EXPECT_EQ(b, c.b) << c.players << " " << c.view;
    }
}

TEST(SeatGeometry, PassingOrder) {
    CSeatGeometry g;
    EXPECT_EQ(g.PrevView(3), 2);
    EXPECT_EQ(g.PrevView(0), 3);
    EXPECT_EQ(g.NextView(3), 0);
    EXPECT_EQ(g.NextView(0), 1);
    g.SetPlayerCount(3);
    EXPECT_EQ(g.PrevView(2), 0);
    EXPECT_EQ(g.PrevView(3), 2);
    EXPECT_EQ(g.NextView(0), 2);
    EXPECT_EQ(g.NextView(2), 3);
    EXPECT_EQ(g.PrevChair(0), 2);
    EXPECT_EQ(g.NextChair(2), 0);
    g.SetPlayerCount(0);
    EXPECT_EQ(g.NextChair(1), -1);
    EXPECT_EQ(g.PrevChair(1), -1);
}

TEST(SeatGeometry, SoundAndViewSizeGoToTheHost) {
    test::FakeSceneHost host;
    CSeatGeometry g;
    EXPECT_EQ(g.GetTableViewWidth(), 0);
    EXPECT_EQ(g.PlaySoundRes(29015, 1), 0);
    g.SetHost(&host);
    g.PlaySoundRes(29015, 1);
    EXPECT_EQ(host.sounds, std::vector<int>{2901501});
    EXPECT_EQ(g.GetTableViewWidth(), 796);
    EXPECT_EQ(g.GetTableViewHeight(), 700);
}

}  // namespace
}  // namespace hqlv::mahjong
