// Voices and resource sounds through the recording audio double, the dice on the engine
// clock, the opening flowers, the joker flash and the stake panel.
#include <gtest/gtest.h>

#include "engine/core/entity_kinds.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

using Kind = platform::RecordingAudio::Kind;

// The files asked for, as waves or as samples (the engine takes samples when offered).
std::vector<std::string> Waves(platform::RecordingAudio& a) {
    std::vector<std::string> v;
    for (const auto& c : a.calls())
        if (c.kind == Kind::kWaveFile || c.kind == Kind::kLoadSampleFile) v.push_back(c.data);
    return v;
}

TEST(ActionSoundNames, EveryCodeAndNoneOutside) {
    const char* const want[] = {"peng0", "peng1", "gang0", "gang1", "gang0", "gang2", "gang0",
                                "gang2", "chi0",  "chi1",  "hu0",   "hu1",   "hua0",  "hua1"};
    for (int code = 0; code < 14; ++code)
        EXPECT_EQ(CMJGameScene2::GetActionSoundName(code), want[code]) << code;
    EXPECT_EQ(CMJGameScene2::GetActionSoundName(-1), "");
    EXPECT_EQ(CMJGameScene2::GetActionSoundName(14), "");
}

TEST_F(TableTest, VoicesComeFromTheSeatFolderUnlessSilentOrNoSeat) {
    NEED_ASSETS();
    Start(710);
    draw.SeatMutable(1)->voiceFolder = "/v/0man/";
    draw.SeatMutable(3)->voiceFolder = "/v/1woman/";
    audio->clear();
    scene.PlayActionSound(1, CMJGameScene2::GetActionSoundName(1));
    scene.PlayActionSound(3, CMJGameScene2::GetActionSoundName(10));
    scene.PlayNumberSound(3, 108);      // east wind: shape 3, value 1
    scene.PlayNumberSound(1, 8);        // nine of the first suit
    scene.PlayActionSound(2, "peng0");  // a seat without a folder
    draw.SeatMutable(0)->voiceFolder = "/v/0left/";
    scene.PlayActionSound(0, "left");
    scene.PlayActionSound(4, "peng0");
    scene.PlayActionSound(-1, "peng0");
    EXPECT_EQ(Waves(*audio),
              (std::vector<std::string>{"/v/0man/peng1.wav", "/v/1woman/hu0.wav",
                                        "/v/1woman/31.wav", "/v/0man/9.wav", "/v/0left/left.wav"}));
    audio->clear();
    host.silent = true;
    scene.PlayActionSound(1, "peng1");
    scene.PlayNumberSound(1, 8);
    EXPECT_TRUE(Waves(*audio).empty());
    EXPECT_EQ(scene.GetSoundFolder(7), "");
    host.sounds.clear();
    EXPECT_EQ(scene.PlaySoundRes(29108, 0x11), 0);
    EXPECT_EQ(host.sounds, (std::vector<int>{29108 * 100 + 0x11}));
}

TEST_F(TableTest, DiceRollTwoOrFourAndAlwaysEndWith210002) {
    NEED_ASSETS();
    Start(710);
    struct Case {
        int values[4];
        int rolled;  // dice that were shown
    };
    const Case cases[] = {
        {{3, 5, 2, 6}, 4}, {{3, 5, 0, 4}, 2}, {{7, -1, 0, 0}, 0}, {{1, 6, 6, 1}, 4}};
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i) deal.Set(23 + size_t(i), c.values[i]);
        scene.got.clear();
        std::vector<uint32_t> shownAt(4, 0);
        scene.RollDice();
        for (int t = 0; t < 800 && (scene.got.empty() || scene.got.back().code != 210002); ++t) {
            Run(10);
            for (int i = 0; i < 4; ++i)
                if (scene.GetKernel().FindEntity(scene.Entities().dice[i])->IsVisible())
                    shownAt[size_t(i)] = 1;
        }
        ASSERT_FALSE(scene.got.empty()) << c.values[0];
        EXPECT_EQ(scene.got.back().code, 210002u);
        int shown = 0;
        for (uint32_t s : shownAt) shown += int(s);
        EXPECT_EQ(shown, c.rolled) << c.values[0] << c.values[2];
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(scene.GetKernel().FindEntity(scene.Entities().dice[i])->IsVisible());
        // 210002 is the only message, and it is followed by the deal.
        EXPECT_EQ(scene.got.size(), 1u);
        Run(100);
        EXPECT_EQ(scene.got[1].code, 210003u);
        // The dealing and the sort's sweep after it.
        Run(5500);
        scene.ResetTable();
    }
    MJRect d;
    scene.GetDiceRect(d);
    EXPECT_EQ(scene.GetKernel().FindEntity(scene.Entities().dice[1])->GetX(), d.left + 159);
    EXPECT_EQ(scene.GetKernel().FindEntity(scene.Entities().dice[2])->GetY(), d.top + 49);
}

// A rolled die shows its frames from the first on and stays on the last (its face).
TEST_F(TableTest, ARolledDieRunsFromItsFirstFrameToItsFace) {
    NEED_ASSETS();
    Start(710);
    const int values[4] = {3, 5, 0, 0};
    for (int i = 0; i < 4; ++i) deal.Set(23 + size_t(i), values[i]);
    scene.RollDice();
    auto* die =
        static_cast<engine::FrameEntity*>(scene.GetKernel().FindEntity(scene.Entities().dice[0]));
    ASSERT_NE(die, nullptr);
    ASSERT_EQ(die->GetType(), engine::ENT_FRAMES);
    // The roll gives the die its face's sequence at speed 1.0 with flags 4; it is not played
    // before it is shown.
    ASSERT_NE(die->Player(), nullptr);
    EXPECT_EQ(die->Player()->sequence, scene.DiceFace(2));
    EXPECT_EQ(die->Player()->speed, 1.0);
    EXPECT_EQ(die->Player()->flags, 4u);
    for (int t = 0; t < 100 && !die->IsVisible(); ++t) Run(10);
    ASSERT_TRUE(die->IsVisible());
    const engine::FramePlayer* player = die->Player();
    ASSERT_NE(player, nullptr);
    ASSERT_NE(player->sequence, nullptr);
    const size_t frames = player->sequence->frames.size();
    ASSERT_GT(frames, 1u);
    EXPECT_EQ(player->index, 0u);
    EXPECT_EQ(player->srcX, player->sequence->frames[0].srcX);
    size_t last = 0;
    for (int t = 0; t < 200 && die->IsVisible(); ++t) {
        last = player->index;
        EXPECT_EQ(player->active, 1u) << t;
        Run(10);
    }
    EXPECT_EQ(last, frames - 1);
}

TEST_F(TableTest, StandaloneDiceTellTheValuesAndRollRandomFaces) {
    NEED_ASSETS();
    Start(710);
    host.standalone = 1;
    for (int i = 0; i < 4; ++i) deal.Set(23 + size_t(i), i);
    scene.RollDice();
    ASSERT_EQ(host.chat.size(), 1u);
    EXPECT_EQ(host.chat[0], "0,1,2,3\r\n");
    Run(7000);
    ASSERT_FALSE(scene.got.empty());
    EXPECT_EQ(scene.got[0].code, 210002u);
}

TEST_F(TableTest, OpeningFlowersSkipSeatsWithoutAndBindTheRow) {
    NEED_ASSETS();
    Start(710);
    deal.Set(11, 3);  // banker chair 3: view 0
    scene.Tiles().m_flowers[0][0].bPresent = 1;
    scene.Tiles().m_flowers[0][0].nCode = 137;
    scene.Tiles().m_flowers[2][1].bPresent = 1;
    scene.Tiles().m_flowers[2][1].nCode = 140;
    scene.Tiles().m_flowers[3][8].bPresent = 1;  // past the first eight: no flower to reveal
    host.sounds.clear();
    scene.RevealOpeningFlowers();
    Run(1200);
    std::vector<std::pair<uint32_t, int>> order;
    for (const auto& g : scene.got) order.push_back({g.code, g.word0});
    EXPECT_EQ(order,
              (std::vector<std::pair<uint32_t, int>>{{210005, 0}, {210005, 2}, {210006, -1}}));
    ASSERT_EQ(scene.got.size(), 3u);
    EXPECT_GE(scene.got[1].at - scene.got[0].at, 300u);
    EXPECT_LT(scene.got[1].at - scene.got[0].at, 350u);
    EXPECT_GE(scene.got[2].at - scene.got[0].at, 900u);
    // The start of play (210006) begins with the sort's sweep.
    EXPECT_EQ(host.sounds,
              (std::vector<int>{29103 * 100 + 5, 29103 * 100 + 5, 29108 * 100 + 0x11}));
    const MJTileInfo& f = scene.Tiles().m_flowers[2][1];
    ASSERT_NE(f.nObject, 0);
    engine::Entity* e = scene.GetKernel().FindEntity(scene.Binding(f.nObject)->entityId);
    MJRect base;
    scene.GetFlowerAreaBase(2, base);
    EXPECT_EQ(e->GetX(), base.left + f.nX + 33 / 2 + 1);
    EXPECT_EQ(e->GetY(), base.top + f.nY + 32 / 2 + 1);
    EXPECT_TRUE(e->IsVisible());
    scene.OnSeatFlowersRevealed(9);  // no such seat: nothing
    // Binding a row stays in it: the next seat's first record is not touched.
    scene.Tiles().m_flowers[3][0].bPresent = 1;
    scene.BindFlowerTiles(2);
    EXPECT_EQ(scene.Tiles().m_flowers[3][0].nObject, 0);
    scene.Tiles().m_discards[0][0].bPresent = 1;  // what follows the last flower row
    scene.BindFlowerTiles(4);
    EXPECT_EQ(scene.Tiles().m_discards[0][0].nObject, 0);
    EXPECT_EQ(host.sounds.size(), 3u);
}

// The drawn tile arrives in the draw slot at once (210007), or flies there and lands with
// 210058; either way a joker flashes for one second on its hand entity, another tile does not.
TEST_F(TableTest, ADrawnJokerFlashesForOneSecondAnotherTileDoesNot) {
    NEED_ASSETS();
    Start(710);
    scene.joker = 4;
    scene.flags = 0x900C2101;
    engine::GameKernel& k = scene.GetKernel();
    auto* flyer = static_cast<engine::ImageEntity*>(k.FindEntity(scene.Entities().dragTile));
    MJRect h;
    scene.GetHandRect(3, h);
    for (bool fly : {false, true})
        for (int tile : {13, 14}) {
            const bool joker = tile == 13;
            scene.ResetTable();
            scene.got.clear();
            MJTileInfo& slot = Hand(3)[0];
            slot.nCode = tile;
            slot.bHand = 1;
            if (fly) {
                slot.bPresent = 1;
                const int x = h.left + slot.nX + 27, y = h.top + slot.nY + 38;
                scene.FlyDrawnTile(tile);
                EXPECT_TRUE(flyer->IsVisible());
                EXPECT_EQ(flyer->GetX(), x - 10);
                EXPECT_EQ(flyer->GetY(), y - 10);
                EXPECT_EQ(flyer->GetZ(), slot.nZ);
                EXPECT_EQ(flyer->Descriptor().resourceId,
                          scene.Picture(joker ? "财神" : "正面大图"));
                EXPECT_EQ(slot.nObject, 0);
                for (int t = 0; t < 300 && scene.got.empty(); ++t) Run(10);
                ASSERT_FALSE(scene.got.empty()) << tile;
                EXPECT_EQ(scene.got[0].code, 210058u);
                EXPECT_EQ(flyer->GetX(), x);
                EXPECT_EQ(flyer->GetY(), y);
                EXPECT_FALSE(flyer->IsVisible());
                scene.got.clear();
            } else {
                scene.OnDrawnTileArrived(tile, 0, -1);
            }
            EXPECT_EQ(slot.bJoker, joker ? 1 : 0) << tile;
            ASSERT_NE(slot.nObject, 0);
            auto* e = static_cast<engine::ImageEntity*>(
                k.FindEntity(scene.Binding(slot.nObject)->entityId));
            EXPECT_EQ(e->Descriptor().resourceId == scene.Picture("财神"), joker) << tile;
            Run(900);
            EXPECT_TRUE(scene.got.empty());
            Run(200);
            if (!joker) {
                EXPECT_TRUE(scene.got.empty());
                continue;
            }
            ASSERT_EQ(scene.got.size(), 1u);
            EXPECT_EQ(scene.got[0].code, 210062u);
            auto* again = static_cast<engine::ImageEntity*>(
                k.FindEntity(scene.Binding(slot.nObject)->entityId));
            EXPECT_EQ(again->Descriptor().resourceId, scene.Picture("正面大图"));
        }
}

TEST_F(TableTest, StakePanelTextsPlaceAndBankerMark) {
    NEED_ASSETS();
    deal.Set(10, 5);
    deal.Set(9, 300);
    EXPECT_EQ(scene.FormatStakeText(), " 5 分");
    deal.Set(21, 1);
    EXPECT_EQ(scene.FormatStakeText(), " 300 两");
    scene.ShowStakePanel();  // no engine yet: nothing to draw on
    host.info = nullptr;
    EXPECT_EQ(scene.FormatStakeText(), " 0 分");
    Start(710);
    scene.ShowStakePanel();  // no deal state: no banker mark anywhere
    for (int v = 0; v < 4; ++v) EXPECT_EQ(scene.GetSeatIcon(v, 0), 0) << v;
    host.info = &deal;
    deal.Set(11, 1);  // banker chair 1: view 2
    scene.ShowStakePanel();
    MJRect r;
    scene.GetStakeTextRect(r);
    engine::Entity* p = scene.GetKernel().FindEntity(scene.Entities().stake);
    EXPECT_EQ(p->GetX(), (r.right - r.left) / 2 + r.left + 1);
    EXPECT_EQ(p->GetY(), (r.bottom - r.top) / 2 + r.top + 1);
    EXPECT_EQ(p->GetWidth(), r.right - r.left);
    EXPECT_EQ(p->GetHeight(), r.bottom - r.top);
    EXPECT_TRUE(p->IsVisible());
    for (int v = 0; v < 4; ++v) EXPECT_EQ(scene.GetSeatIcon(v, 0), v == 2 ? 1 : 0) << v;
    int x, y;
    scene.GetWindMarkPos(2, x, y);
    engine::Entity* east = scene.GetKernel().FindEntity(scene.Entities().windMarks[0]);
    EXPECT_EQ(east->GetX(), x);
    EXPECT_EQ(east->GetY(), y);
    scene.GetWindMarkPos(1, x, y);
    engine::Entity* south = scene.GetKernel().FindEntity(scene.Entities().windMarks[1]);
    EXPECT_EQ(south->GetY(), y);
    // A banker with no seat: no mark anywhere, the winds stay.
    deal.Set(11, 9);
    scene.ShowStakePanel();
    for (int v = 0; v < 4; ++v) EXPECT_EQ(scene.GetSeatIcon(v, 0), 0) << v;
    EXPECT_EQ(south->GetY(), y);
}

}  // namespace
}  // namespace hqlv::mahjong::test
