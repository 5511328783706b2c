// The table scene fed by a deal of the local server in this process, as the router hands
// the notifications on, its requests answered by that deal: a banker dealt a winning hand
// wins with 胡, the dealt 白板 stands last among the honours, and every discarded tile is
// spoken from a file of the seat's voice folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/core/files.h"
#include "play_walls.h"
#include "rules/tiles.h"
#include "tests/mahjong/scene/gdi_table_fixture.h"
#include "tests/mahjong/scene/table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

namespace mj = server::mj;

// The scene's win request goes to the deal, from the scene's own chair.
struct DealRequests : GdiRequests {
    int SendHu(std::string&, MJData body) override {
        answers.push_back(deal->Request(chair, 229080, {body.begin(), body.end()}).code);
        return answers.back();
    }
    mj::Deal* deal = nullptr;
    int chair = -1;
    std::vector<int> answers;
};

class DealtHand : public TableTestOf<CMJGameScene2> {
protected:
    void SetUp() override {
        TableTestOf<CMJGameScene2>::SetUp();
        folder = (root / "deal").string();
        std::filesystem::create_directories(folder);
        host.requests = &requests;
        host.playing = 1;
    }
    // A deal of the seed on the folder's wall (none: shuffled), the given chairs played by
    // the server, its notes kept.
    std::unique_ptr<mj::Deal> StartServer(uint32_t seed, bool withWall, uint32_t driven) {
        auto d = walls::StartDeal(
            seed, withWall ? folder : std::string(), driven, [this] { return now; },
            [this](const mj::Note& n) { notes.push_back(n); });
        EXPECT_NE(d, nullptr);
        return d;
    }
    // The deal record into the deal state, and the deal's start up to the end of the dealing.
    void NewDeal(const std::vector<uint8_t>& record) {
        std::copy(record.begin(), record.end(), deal.area.begin());
        scene.OnGameReset();
        for (int t = 0; t < 3000 && scene.IsDealing(); ++t) Run(10);
        ASSERT_FALSE(scene.IsDealing());
        Run(4000);  // the sort's sweep
    }

    std::string folder;
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
    DealRequests requests;
};

// The wall gives the seed's banker 一二三四五六七八九万, 东东东 and 白白; nobody has drawn when
// the dealing ends, so the win is on a tile he was dealt.
TEST_F(DealtHand, ABankerDealtAWinningHandWinsWithHu) {
    NEED_ASSETS();
    const uint32_t seed = 7;
    const int32_t win[14] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 108, 115, 122, 114, 121};
    const int banker = walls::DealTheBanker(folder, seed, win);
    ASSERT_GE(banker, 0);
    Start();
    host.chair = banker, host.userId = 1000 + banker;
    notes.clear();
    auto server = StartServer(seed, true, 0xF & ~(1u << banker));
    requests.deal = server.get(), requests.chair = banker;
    ASSERT_EQ(server->Turn(), banker);
    const std::vector<uint8_t> record = server->DealRecord(banker, true);
    ASSERT_EQ(walls::W(record, 15), 8);  // the server offers the win
    NewDeal(record);
    // The 13 sorted tiles read from the hand's right end: 白 (index 37) first, then down.
    std::vector<int> kinds;
    for (int i = 1; i <= 13; ++i) kinds.push_back(rules::MJ_TileIndex(Hand(3)[i].nCode, 0));
    EXPECT_EQ(kinds.front(), 37);
    EXPECT_TRUE(std::is_sorted(kinds.rbegin(), kinds.rend()));
    ASSERT_EQ(scene.IsClaimButtonActive(4), 1);
    scene.OnBtnHu();
    EXPECT_EQ(requests.answers, std::vector<int>{10});
    EXPECT_TRUE(server->Over());
    EXPECT_GE(walls::W(server->Result(), 165 + size_t(banker)), 1);
}

// A looker-on hears every discard of a whole deal of server-driven players, the 白板 among
// them, in the seat's voice folder.
TEST_F(DealtHand, EveryDiscardIsSpokenFromAFileOfTheVoiceFolder) {
    NEED_ASSETS();
    Start();
    host.lookerOn = 1, host.chair = 0;
    host.voices0 = {"0fy"};
    draw.LoadSeatData();
    auto server = StartServer(11, false, 0xF);
    NewDeal(server->DealRecord(0, false));
    // The voice files played from a call on: a sample is played by the id its load gave.
    std::map<platform::SampleId, std::string> loaded;
    auto playedFrom = [&](size_t first) {
        std::vector<std::string> out;
        const auto& calls = audio->calls();
        for (size_t i = 0; i < calls.size(); ++i) {
            using Kind = platform::RecordingAudio::Kind;
            if (calls[i].kind == Kind::kLoadSampleFile) loaded[calls[i].sample] = calls[i].data;
            if (i < first) continue;
            if (calls[i].kind == Kind::kWaveFile) out.push_back(calls[i].data);
            if (calls[i].kind == Kind::kPlaySample) out.push_back(loaded[calls[i].sample]);
        }
        return out;
    };
    int whites = 0, spoken = 0;
    for (int step = 0; step < 5000 && !server->Over(); ++step) {
        for (const mj::Note& n : notes) {
            if (n.code != 221170 || !(n.to & mj::kToLookers)) continue;
            const size_t mark = audio->calls().size();
            scene.OnNotify221170(n.body);
            const int tile = walls::W(n.body, 21), kind = rules::MJ_TileIndex(tile, 0);
            const std::vector<std::string> waves = playedFrom(mark);
            ASSERT_EQ(waves.size(), 1u) << tile;
            EXPECT_TRUE(waves[0].ends_with("/0fy/" + std::to_string(kind) + ".wav")) << waves[0];
            EXPECT_TRUE(platform::pathExists(waves[0])) << waves[0];
            whites += kind == 37, ++spoken;
        }
        notes.clear();
        now += 500;
        server->Tick();
    }
    EXPECT_GT(spoken, 20);
    EXPECT_GE(whites, 1);
}

}  // namespace
}  // namespace hqlv::mahjong::test
