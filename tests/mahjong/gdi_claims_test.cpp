// The claim presses of the window-drawn table (scene mode 1, no engine) against the local
// server: the gang and chi buttons keep their cell in the window's buttons, so a second gang
// press in the own turn and a second chi press cancel their choices and send nothing; one
// gang candidate is still declared at once, its replacement arriving on a view timer.
#include "play_fixture.h"

namespace hqlv::mahjong::test {
namespace {

class GdiClaims : public PlayTest {
protected:
    void SetUp() override {
        PlayTest::SetUp();
        scene.SetSceneMode(1);
        play.windowCells[0] = 40;
        play.windowCells[1] = 80;
    }
    int Locked() {
        int n = 0;
        for (int i = 0; i < 14; ++i) n += scene.Tiles().m_hands[kOwnView][i].bLocked;
        return n;
    }
    // A waited request answered: whatever was sent before it has arrived.
    void Fence() {
        Reply(229080, 10);
        Offer(4, 2, 27, {});
        EXPECT_EQ(scene.SendHu(), 10);
    }
};

TEST_F(GdiClaims, GangPressedTwiceInTheOwnTurnCancelsAndSendsNothing) {
    scene.SetClockHand(6);
    // Two concealed gangs: the choice stays open for a tile click.
    OwnHand({0, 9, 18, 1, 10, 19, 28, 5}, 27);
    scene.ShowClaimButton(2, 1);
    EXPECT_EQ(play.windowCells[0], 40);
    scene.OnBtnGang();
    EXPECT_EQ(play.windowCells[0], 200);
    EXPECT_EQ(scene.GetSelectMode(), 2);
    EXPECT_EQ(Locked(), 1);  // only tile 5 takes no part in a gang
    scene.OnBtnGang();
    EXPECT_EQ(play.windowCells[0], 40);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(Locked(), 0);
    // A third press opens the choice again.
    scene.OnBtnGang();
    EXPECT_EQ(play.windowCells[0], 200);
    EXPECT_EQ(scene.GetSelectMode(), 2);
    Fence();
    EXPECT_EQ(Count(229047), 0);
    EXPECT_EQ(Count(229015), 0);
}

TEST_F(GdiClaims, ChiPressedTwiceCancelsTheChoiceAndClaimsOnce) {
    scene.SetClockHand(6);
    OwnHand({1, 2, 30, 40, 50});
    Offer(3, 1, 0, {1, 2});
    scene.ShowClaimButton(3, 1);
    scene.ShowClaimButton(5, 1);
    scene.OnBtnChi();
    EXPECT_EQ(play.windowCells[1], 200);
    EXPECT_EQ(scene.GetSelectMode(), 3);
    EXPECT_EQ(Active(5), 0);
    scene.OnBtnChi();
    EXPECT_EQ(play.windowCells[1], 80);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(Active(5), 1);
    EXPECT_EQ(Locked(), 0);
    Fence();
    EXPECT_EQ(Count(229020), 1);
}

TEST_F(GdiClaims, OneGangCandidateIsDeclaredAtOnceAndItsReplacementComesOnATimer) {
    scene.SetClockHand(6);
    OwnHand({0, 9, 18, 1, 2, 3, 5}, 27);
    scene.ShowClaimButton(2, 1);
    Reply(229047, 10, Words(8, {{0, 2}, {1, 88}}));
    scene.OnBtnGang();
    ASSERT_EQ(Count(229047), 1);
    EXPECT_EQ(Got(229047).body, Body(64, {{4, 2}, {5, 18}, {6, 0}, {7, 9}, {8, 27}}));
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.melds.size(), 1u);
    EXPECT_EQ(play.windowCells[0], 40);
    // The replacement 200 ms later, on the first of the waiting messages' timers.
    const uint32_t t = CMJGameScene2::kDeferredTimer;
    ASSERT_FALSE(play.timers.empty());
    EXPECT_EQ(play.timers.back(), int(t) * 100000 + 200);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 0);
    scene.OnTimer(t);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].bPresent, 1);
    EXPECT_EQ(scene.Tiles().m_hands[kOwnView][0].nCode, 88);
    EXPECT_EQ(scene.DeferredCount(), 0u);
}

TEST_F(GdiClaims, TheOwnDrawAndPlayEndOnTimersAtOnce) {
    scene.ResetTable();  // the areas laid out as for a deal
    scene.SetClockHand(6);
    OwnHand({1, 2, 30});
    // The own last play still shows; the own voice speaks from its folder.
    draw.SeatMutable(kOwnView)->voiceFolder = "/v/";
    MJTileInfo& shown = scene.Tiles().m_showcase[kOwnView];
    shown.nCode = 30, shown.bPresent = 1, shown.nFace = 1;
    const uint32_t t = CMJGameScene2::kDeferredTimer;
    Reply(229000, 10, Words(8, {{1, 88}, {2, 40}}));
    ASSERT_EQ(scene.DrawTile(), 1);
    // No flight on this table: the tile has landed, at once.
    EXPECT_EQ(play.timers.back(), int(t) * 100000);
    scene.OnTimer(t);
    EXPECT_EQ(scene.DeferredCount(), 0u);
    // A landing is no play: nothing is spoken.
    EXPECT_TRUE(play.soundFiles.empty());
    Reply(221080, 10);
    ASSERT_EQ(scene.DiscardTile(0), 1);
    EXPECT_EQ(play.timers.back(), int(t) * 100000);
    EXPECT_EQ(scene.DeferredCount(), 1u);
    EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].nObject, 0);
    scene.OnTimer(t);
    EXPECT_EQ(scene.DeferredCount(), 0u);
    // The play's end shows the tile as the own showcase tile and speaks its name (the third
    // suit's 8).
    EXPECT_EQ(scene.Tiles().m_showcase[kOwnView].nCode, 88);
    EXPECT_NE(scene.Tiles().m_showcase[kOwnView].nObject, 0);
    EXPECT_EQ(play.soundFiles, std::vector<std::string>{"/v/28.wav"});
}

}  // namespace
}  // namespace hqlv::mahjong::test
