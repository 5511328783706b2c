// The gang press of a deal of the local server, played into this game's scene through the
// real router: the banker is dealt the four copies of 一万, the 一万 of tile id 0 among them,
// and presses gang (or lets automatic play press it). The press takes the hand's own tile,
// never a face-down wall tile (whose record carries code 0 too): the own wall stays whole
// and in its place.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "mahjong/game/game_scene_ex.h"
#include "platform/core/audio.h"
#include "platform/core/clock.h"
#include "play_walls.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/router_doubles.h"
#include "tests/mahjong/scene/gdi_table_fixture.h"
#include "tests/mahjong/scene/scene_fixture.h"

namespace hqlv::mahjong::test {
namespace {

namespace mj = server::mj;

struct Table : CGameSceneEx {
    void RunResultDialog(CGameResultDlg&) override {}
};

// The kong request goes to the deal, from the scene's own chair; every request the scene
// made is kept by its id.
struct KongRequests : GdiRequests {
    int QueryRequest(std::string&, int id, MJData body, std::span<uint8_t> reply,
                     int* result) override {
        asked.push_back(id);
        const mj::Answer a = deal->Request(chair, id, {body.begin(), body.begin() + 64});
        if (result) *result = a.code;
        if (a.code != mj::kDone || a.data.size() < 32 || reply.size() < 32) return 0;
        std::copy(a.data.begin(), a.data.begin() + 32, reply.begin());
        return 1;
    }
    mj::Deal* deal = nullptr;
    int chair = -1;
    std::vector<int> asked;
};

// The client of the banker: the router over the scene, the deal state and the table-drawing
// object; the host's timers are not run.
struct Client : RouterWorld {
    explicit Client(int own) {
        host.program = BuiltProgramFolder();
        host.chair = own;
        host.userId = 1000 + own;
        host.playing = 1;
        host.screenHeight = 768;
        host.requests = &requests;
        host.Wire(info, draw, table);
        app.SetChairNo(own);
        table.Init();
        table.InitScreen(kSceneWidth, kSceneHeight);
        table.OnPrepare();
        table.OnStart();
        router = MakeRouter(*this);
    }
    ~Client() { table.Cleanup(); }
    CMJGameScene2* Scene() override { return &table; }
    SceneHost host;
    Table table;
    KongRequests requests;
    std::unique_ptr<CGameNotifyEx> router;
};

class OwnKongPress : public ::testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        root = std::filesystem::temp_directory_path() /
               ("hqlv-kong-press-" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "log");
        std::filesystem::create_directories(root / "deal");
        oldLog = engine::SetEngineLogFolder((root / "log").string());
        previousAudio = platform::installAudio(std::make_shared<platform::RecordingAudio>());
        before = platform::setClock(&clock);
    }
    void TearDown() override {
        platform::setClock(before);
        platform::installAudio(previousAudio);
        engine::SetEngineLogFolder(oldLog);
        std::filesystem::remove_all(root);
    }
    // The deal on the wall of the test's folder, the chairs of `driven` played by the server.
    std::unique_ptr<mj::Deal> StartServer(uint32_t driven) {
        auto d = walls::StartDeal(
            kSeed, (root / "deal").string(), driven, [this] { return now; },
            [this](const mj::Note& n) { notes.push_back(n); });
        EXPECT_NE(d, nullptr);
        return d;
    }
    // The notes for the client's chair through its router, each followed by the engine's
    // time for its animations (the dice and the dealing).
    void Deliver(Client& c, int own) {
        for (const mj::Note& n : notes) {
            if (!(n.to & (1u << own))) continue;
            c.router->OnNotify(uint32_t(n.code), n.body.empty() ? nullptr : n.body.data(),
                               n.body.size());
            for (int t = 0; t < (n.code == 211040 ? 2000 : 30); ++t) {
                clock.advance(10);
                c.table.GetKernel().RunDueApplies();
                c.table.PumpMessages();
            }
        }
        notes.clear();
    }
    // Every present wall record of the own side shown by its own binding, at its place.
    void ExpectOwnWallWhole(Client& c) {
        MJRect side;
        c.table.GetWallRect(kOwnView, side);
        int shown = 0;
        for (int i = 0; i < kWallRecords; ++i) {
            const MJTileInfo& r = c.table.Tiles().m_wall[i];
            if (!r.bPresent || r.nView != kOwnView) continue;
            const MJBinding* b = c.table.Binding(r.nObject);
            ASSERT_NE(b, nullptr) << "wall record " << i << " is not shown";
            EXPECT_EQ(b->area, kAreaWall) << i;
            EXPECT_EQ(b->index, i) << i;
            EXPECT_EQ(b->selected, 0) << i;
            const engine::Entity* e = c.table.GetKernel().FindEntity(b->entityId);
            ASSERT_NE(e, nullptr) << i;
            EXPECT_TRUE(e->IsVisible()) << i;
            EXPECT_EQ(e->GetX(), side.left + r.nX + 16 / 2 + 1) << i;
            EXPECT_EQ(e->GetY(), side.top + r.nY + 27 / 2 + 1) << i;
            ++shown;
        }
        EXPECT_GT(shown, 0);
    }

    // The seed's banker is chair 1, whose own wall (records 0-33) is bound ahead of the
    // hand.
    static constexpr uint32_t kSeed = 2;
    std::filesystem::path root;
    std::string oldLog;
    std::shared_ptr<platform::Audio> previousAudio;
    platform::ManualClock clock{1000};
    platform::Clock* before = nullptr;
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
};

TEST_F(OwnKongPress, TakesTheHandsTileAndLeavesTheOwnWallWhole) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    for (bool automatic : {false, true}) {
        SCOPED_TRACE(automatic ? "automatic play" : "the player's press");
        // The four 一万 (ids 0, 9, 18, 27), 0 the last of them in the order the deal lists
        // the banker's tiles, and ten tiles of other kinds.
        const int32_t dealt[14] = {27, 18, 9, 0, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130};
        const int banker = walls::DealTheBanker((root / "deal").string(), kSeed, dealt);
        ASSERT_GE(banker, 0);
        Client client(banker);
        auto server = StartServer(0xF & ~(1u << banker));
        client.requests.deal = server.get(), client.requests.chair = banker;
        Deliver(client, banker);
        Table& t = client.table;
        const MJTileInfo* hand = t.Tiles().m_hands[kOwnView];
        ASSERT_EQ(t.IsClaimButtonActive(CMJGameScene2::kClaimGang), 1);
        ExpectOwnWallWhole(client);
        // A face-down tile of the own wall (code 0) is bound ahead of the hand's tile 0.
        int wallFirst = 0;
        for (int i = 1; i <= kBindingCount && !wallFirst; ++i) {
            const MJBinding* b = t.Binding(i);
            if (b->area == kAreaWall && b->view == kOwnView && b->code == 0) wallFirst = i;
        }
        ASSERT_EQ(hand[13].nCode, 0);
        ASSERT_GT(wallFirst, 0);
        ASSERT_LT(wallFirst, hand[13].nObject);
        if (automatic) {
            t.ToggleAutoPlay();
            t.AutoPlayTick();
            t.AutoPlayTick();
        } else {
            engine::MessageData none;
            t.OnMessage(210027, none, 0);
        }
        // The concealed kong of the four went out and was laid.
        EXPECT_EQ(client.requests.asked, std::vector<int>{229047});
        int laid = 0;
        for (int i = 0; i < kHandSlotCount; ++i)
            laid += hand[i].bPresent && !hand[i].bHand && hand[i].nMeld == kMeldGang;
        EXPECT_EQ(laid, 4);
        ExpectOwnWallWhole(client);
        clock.advance(300);
        t.GetKernel().RunDueApplies();
        t.PumpMessages();
        ExpectOwnWallWhole(client);
    }
}

}  // namespace
}  // namespace hqlv::mahjong::test
