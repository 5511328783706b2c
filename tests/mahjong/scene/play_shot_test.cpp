// A deal played through the handlers on the engine clock: the dealing ends, a seat draws and
// discards, the next seat claims a peng and the clock's hand walks to it. The picture is kept
// for review as table-play-meld.png in the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "engine/core/entity_kinds.h"
#include "handler_scene.h"
#include "shot_util.h"

namespace hqlv::mahjong::test {
namespace {

TEST_F(HandlerTest, PlayedTableShowsTheMeldTheShowcaseAndTheClock) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(710);
    scene.OnStarted();
    // Own chair 2; chair 1 (view 2) is the banker and moves first.
    const int own[13] = {0, 13, 26, 40, 52, 66, 76, 88, 101, 110, 117, 124, 131};
    deal.Set(11, 1);
    deal.Set(13, 1);
    deal.Set(14, 0x100);
    deal.Set(49 + 2, 13);
    for (int k = 0; k < 32; ++k) deal.Set(53 + size_t(k), k < 13 ? own[k] : -1);
    deal.Set(23, 3), deal.Set(24, 5), deal.Set(25, 2), deal.Set(26, 6);
    scene.OnGameReset();
    Run(10000);
    ASSERT_EQ(scene.Clock().shown, 1);
    EXPECT_EQ(scene.GetClockPosition(), 4);
    // Chair 1 discards its fourteenth tile; chair 0 (view 1) pengs it and the hand walks on.
    scene.OnNotify221170(Body(30, {{1, 1}, {21, 44}}));
    Run(300);
    EXPECT_EQ(scene.Clock().drawn, 2);
    scene.OnNotify229185(Body(16, {{3, 0}, {4, 1}, {5, 44}, {6, 53}, {7, 62}}));
    scene.SetCountdown(12);
    Run(300);
    scene.DrawClock();
    EXPECT_EQ(scene.Clock().drawn, 2);
    EXPECT_EQ(scene.GetClockPosition(), 2);
    scene.OnNotify221170(Body(30, {{1, 0}, {21, 71}}));
    Run(600);
    EXPECT_EQ(scene.Clock().drawn, 0);
    for (int v = 0; v < 4; ++v) scene.BindHandTiles(v);
    scene.BindWallTiles();

    std::vector<uint32_t> px(size_t(744) * 710, 0);
    engine::DrawSurface surface{px.data(), 744, 710};
    engine::GameKernel& k = scene.GetKernel();
    k.GetCanvas().SetFullScreenInvalidate(true);
    k.GetCanvas().InvalidateAll();
    EXPECT_GE(k.Render(surface), 0);
    const std::string path = std::string(HQLV_BUILD_DIR) + "/table-play-meld.png";
    const std::string part = path + "." + std::to_string(getpid());
    EXPECT_TRUE(WritePng(part, px, 744, 710));
    EXPECT_EQ(std::rename(part.c_str(), path.c_str()), 0);
    // The clock's face sits in its square, drawn in the picture.
    MJRect r;
    scene.GetClockRect(r);
    const uint32_t centre = px[size_t(r.top + 32) * 744 + size_t(r.left + 32)] & 0xFFFFFF;
    EXPECT_NE(centre, px[5] & 0xFFFFFF);
}

// The sort's sweep half way along the own hand: its sparks rise over the hand and fade. The
// picture is kept for review as table-sort-sparks.png in the build folder.
TEST_F(HandlerTest, SortSparksRiseOverTheOwnHand) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(710);
    scene.ResetTable();
    const int own[13] = {9, 40, 18, 77, 37, 110, 38, 58, 130, 60, 75, 95, 97};
    for (int v = 0; v < 4; ++v)
        for (int i = 1; i <= 13; ++i) Hand(v)[i].bPresent = 1;
    for (int i = 1; i <= 13; ++i) Hand(3)[i].nCode = own[i - 1];
    scene.BindHand(kOwnView);
    scene.PumpMessages();
    MJRect h;
    scene.GetHandRect(kOwnView, h);
    const std::vector<uint32_t> before = Shoot("table-sort-before.png");
    std::srand(3);  // the same sparks on every run
    Dispatch(210032);
    Run(400);
    const std::vector<uint32_t> px = Shoot("table-sort-sparks.png");
    // Above the hand only the sparks change the picture: they rise at most 4 a step for 30
    // steps from at most half a tile above the sweep's centre, 10 across.
    const int sweepY = scene.GetKernel().FindEntity(scene.Entities().hand)->GetY();
    const int highest = sweepY - 38 - 4 * 29 - 10;
    int changed = 0;
    for (int y = 0; y < h.top; ++y)
        for (int x = 0; x < 744; ++x) {
            const size_t i = size_t(y) * 744 + size_t(x);
            if ((px[i] & 0xFFFFFF) == (before[i] & 0xFFFFFF)) continue;
            ++changed;
            EXPECT_GE(y, highest) << x;
            if (y < highest) return;
        }
    EXPECT_GT(changed, 50) << changed;
}

}  // namespace
}  // namespace hqlv::mahjong::test
