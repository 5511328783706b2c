// The table-drawing object's live seat data: seats from the player records, highlights,
// banker marks and the voice folders of both rules.
#include <gtest/gtest.h>

#include <set>

#include "fake_scene_host.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/table_draw_ex.h"
#include "mahjong/scene/game_scene.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

struct RecordingScene : CMJGameScene2 {
    void DrawSeatInfo(int view) override { drawn.push_back(view); }
    std::vector<int> drawn;
};

class TableDrawTest : public testing::Test {
protected:
    void SetUp() override {
        host.Wire(info, draw, scene);
        draw.SetSceneMode(2);
    }
    test::FakeSceneHost host;
    CGameInfoEx info;
    RecordingScene scene;
    CTableDrawEx draw;
};

TEST_F(TableDrawTest, SeatsComeFromTheSeatedRecordsAroundTheOwnChair) {
    draw.LoadSeatData();
    EXPECT_EQ(draw.Seat(3)->chair, 2);
    EXPECT_EQ(draw.Seat(3)->name, "西家");
    EXPECT_EQ(draw.Seat(0)->chair, 3);
    EXPECT_EQ(draw.Seat(0)->userId, 1003);
    EXPECT_EQ(draw.Seat(1)->chair, 0);
    EXPECT_EQ(draw.Seat(2)->chair, 1);
    EXPECT_EQ(draw.Seat(4), nullptr);
    EXPECT_EQ(draw.Seat(-1), nullptr);
}

TEST_F(TableDrawTest, ThreePlayersLeaveTheOppositeRecordEmpty) {
    draw.SetPlayerCount(3);
    host.chair = 0;
    draw.LoadSeatData();
    EXPECT_EQ(draw.Seat(1)->name, "");
    EXPECT_EQ(draw.Seat(0)->name, "南家");
    EXPECT_EQ(draw.Seat(2)->name, "西家");
    draw.RefreshAll();
    EXPECT_EQ(scene.drawn, (std::vector<int>{0, 2, 3}));
    // Own chair 1: chair 3 would be the opposite, but there is no chair 3.
    host.chair = 1;
    host.voices0 = {"0a"};
    draw.LoadSeatData();
    EXPECT_EQ(draw.GetVoiceFolder(1), "");
    EXPECT_EQ(draw.GetVoiceFolder(3), "/prog/Sound/0a/");
}

TEST_F(TableDrawTest, RefreshMarksTheBankerAndHighlightsEverySeat) {
    draw.LoadSeatData();
    ASSERT_TRUE(info.SetRoundResult(test::Words(kDealRecordWords, {{11, 3}})));
    draw.SetBanker(2, 1);
    draw.RefreshAll();
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(draw.Seat(v)->highlight, 1);
        EXPECT_EQ(draw.Seat(v)->banker, v == 0 ? 1 : 0) << v;
    }
    EXPECT_EQ(scene.drawn, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(TableDrawTest, ChairsWithoutAViewChangeNothing) {
    draw.LoadSeatData();
    for (int chair : {-1, 4, 100}) {
        draw.HighlightChair(chair);
        draw.SetSeatName(chair, "x");
        draw.SetBanker(chair, 1);
    }
    host.chair = -1;
    draw.HighlightChair(0);
    EXPECT_TRUE(scene.drawn.empty());
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(draw.Seat(v)->highlight, 0);
        EXPECT_EQ(draw.Seat(v)->banker, 0);
        EXPECT_NE(draw.Seat(v)->name, "x");
    }
    host.chair = 2;
    draw.HighlightChair(3);
    EXPECT_EQ(draw.Seat(0)->highlight, 1);
    EXPECT_EQ(scene.drawn, std::vector<int>{0});
}

TEST_F(TableDrawTest, GdiModePaintsInsteadOfTheScene) {
    draw.SetSceneMode(1);
    draw.DrawSeatInfo(3);
    draw.DrawSeatInfo(4);
    EXPECT_EQ(draw.GdiSeatsDrawn(), 1);
    EXPECT_TRUE(scene.drawn.empty());
}

TEST_F(TableDrawTest, BankerBitmapFromTheSkin) {
    draw.LoadBankerBitmap();
    EXPECT_FALSE(draw.HasBankerBitmap());
    host.bitmaps["MJ_ZHUANG"] = 1;
    draw.LoadBankerBitmap();
    EXPECT_TRUE(draw.HasBankerBitmap());
}

struct VoiceCase {
    int voice;
    std::vector<std::string> list0, list1;
    int kind;
    std::string folder;  // "" for: any of list0
};

class VoiceFolderTest : public TableDrawTest, public testing::WithParamInterface<VoiceCase> {};

TEST_P(VoiceFolderTest, ThisGamesRule) {
    const VoiceCase& c = GetParam();
    host.voice = c.voice;
    host.voices0 = c.list0;
    host.voices1 = c.list1;
    for (int chair = 0; chair < 4; ++chair) host.voiceKinds[chair] = c.kind;
    draw.LoadSeatData();
    for (int v = 0; v < 4; ++v) {
        if (c.folder.empty()) {
            std::set<std::string> allowed;
            for (const std::string& f : c.list0) allowed.insert("/prog/Sound/" + f + "/");
            EXPECT_TRUE(allowed.count(draw.GetVoiceFolder(v))) << draw.GetVoiceFolder(v);
        } else {
            EXPECT_EQ(draw.GetVoiceFolder(v), c.folder) << v;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Voices, VoiceFolderTest,
    testing::Values(VoiceCase{0, {"0a", "0b"}, {"1a"}, 0, "/prog/Sound/0a/"},
                    VoiceCase{1, {"0a", "0b", "0c"}, {"1a"}, 0, "/prog/Sound/0b/"},
                    VoiceCase{1, {"0a"}, {"1a"}, 0, "/prog/Sound/0a/"},
                    VoiceCase{1, {"0a", "0b"}, {"1a", "1b"}, 1, "/prog/Sound/1b/"},
                    VoiceCase{2, {"0a", "0b", "0c"}, {}, 0, ""},
                    VoiceCase{0, {}, {"1a"}, 0, "/prog/Sound//"},
                    VoiceCase{0, {"0a"}, {"1a"}, 2, "/prog/Sound//"},
                    VoiceCase{0, {"0a"}, {"1a"}, -1, "/prog/Sound//"}));

TEST_F(TableDrawTest, NoVoiceFoldersKeepThePreviousOnes) {
    host.voices0 = {"0a"};
    draw.LoadSeatData();
    host.voices0.clear();
    draw.PickRandomSound();
    EXPECT_EQ(draw.GetVoiceFolder(3), "/prog/Sound/0a/");
    EXPECT_EQ(draw.GetVoiceFolder(7), "");
}

TEST_F(TableDrawTest, NotSeatedLeavesEveryFolderAlone) {
    host.voices0 = {"0a"};
    host.chair = -1;
    draw.LoadSeatData();
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(draw.GetVoiceFolder(v), "");
        EXPECT_EQ(draw.Seat(v)->chair, -1);  // no seat takes a player's record
        EXPECT_EQ(draw.Seat(v)->name, "");
    }
}

TEST(TableDrawAlone, WithoutAHostNothingIsLoadedOrDrawn) {
    CMJTableDraw draw;
    draw.LoadSeatData();
    draw.PickRandomSound();
    draw.LoadBankerBitmap();
    draw.RefreshAll();
    draw.HighlightChair(0);
    EXPECT_EQ(draw.GetGameInfo(), nullptr);
    EXPECT_EQ(draw.Seat(3)->name, "");
    EXPECT_EQ(draw.GetVoiceFolder(3), "");
    EXPECT_FALSE(draw.HasBankerBitmap());
    CTableDrawEx ex;
    ex.PickRandomSound();
    EXPECT_EQ(ex.GetVoiceFolder(0), "");
}

TEST(MahjongVoiceRule, NoTwoSeatsShareAVoiceWhileFoldersRemain) {
    test::FakeSceneHost host;
    CMJTableDraw draw;
    draw.SetHost(&host);
    host.voices0 = {"0a", "0b", "0c"};
    host.voices1 = {};
    host.voiceKinds = {{3, 1}};
    draw.LoadSeatData();
    std::set<std::string> seen;
    for (int chair : {0, 1, 2}) seen.insert(draw.GetVoiceFolder(draw.ChairToView(chair)));
    EXPECT_EQ(seen, (std::set<std::string>{"/prog/Sound/0a/", "/prog/Sound/0b/", "/prog/Sound/0c/"}));
    // Kind 1 has no folders from the start: the base alone.
    EXPECT_EQ(draw.GetVoiceFolder(draw.ChairToView(3)), "/prog/Sound//");
    host.voices0 = {"0a"};
    host.voiceKinds = {{3, 0}, {1, 2}};
    draw.LoadSeatData();
    // A kind other than 0 and 1 takes no folder; the others share the one there is.
    for (int chair = 0; chair < 4; ++chair)
        EXPECT_EQ(draw.GetVoiceFolder(draw.ChairToView(chair)),
                  chair == 1 ? "/prog/Sound//" : "/prog/Sound/0a/")
            << chair;
}

}  // namespace
}  // namespace hqlv::mahjong
