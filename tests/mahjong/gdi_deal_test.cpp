// A whole deal's notifications, as the local server's deal sends them to a looker-on, run
// through the router into the real table scene in scene mode 1: no engine was ever set up,
// so every engine call of the handlers must stay harmless and reach no kernel; the
// window-drawn table then paints the discards the deal made.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "platform/core/audio.h"
#include "tests/mahjong/router_doubles.h"
#include "tests/mahjong/scene/gdi_table_fixture.h"
#include "tools/server/mahjong/deal.h"

namespace hqlv::mahjong {
namespace {

struct LiveWorld : test::RouterWorld {
    CMJGameScene2* Scene() override { return &live; }
    CMJGameScene2 live;
};

int32_t Word(const std::vector<uint8_t>& b, size_t w) {
    if (w * 4 + 4 > b.size()) return 0;
    int32_t v;
    std::memcpy(&v, b.data() + w * 4, 4);
    return v;
}

TEST(GdiDeal, AWholeDealInModeOneReachesNoKernel) {
    const auto logs = std::filesystem::temp_directory_path() / ("hqlv-gdi-deal-" + std::to_string(getpid()));
    std::filesystem::create_directories(logs);
    const std::string oldLog = engine::SetEngineLogFolder(logs.string());
    auto previousAudio = platform::installAudio(std::make_shared<platform::RecordingAudio>());

    auto w = std::make_unique<LiveWorld>();
    w->playing = 1;
    w->app.SetChairNo(2);
    w->sceneHost.chair = 2;
    w->sceneHost.lookerOn = 1;
    w->sceneHost.scene = &w->live;
    CMJGameScene2& live = w->live;
    live.SetSceneHost(&w->sceneHost);
    live.SetSceneMode(1);
    test::RasterSurface dc(796, 700);
    test::AddGdiBitmaps(dc);
    for (auto& [name, strip] : dc.strips) w->sceneHost.bitmaps[name] = 1;
    live.SetGdiSurface(&dc);
    live.LoadSkinBitmaps();
    live.InitFont();
    auto router = test::MakeRouter(*w);

    uint64_t now = 1000;
    std::vector<server::mj::Note> notes;
    server::mj::DealOptions options;
    options.thinkMs = 0;
    server::mj::Deal deal(options, [&] { return now; },
                          [&](const server::mj::Note& n) { notes.push_back(n); });
    for (int c = 0; c < 4; ++c) deal.SetSeat(c, 1000 + c, true);
    ASSERT_TRUE(deal.Start());
    // The looker-on's deal record (the server sends it with the table's data).
    const std::vector<uint8_t> record = deal.DealRecord(2, false);
    router->OnNotify(211040, record.data(), record.size());
    size_t fed = 0;
    int discards = 0;
    int steps = 0;
    for (; steps < 5000; ++steps) {
        for (; fed < notes.size(); ++fed) {
            const server::mj::Note& n = notes[fed];
            // What a looker-on receives: the copies for the lookers-on without a private tile.
            if (!(n.to & server::mj::kToLookers) || n.owner >= 0) continue;
            if (n.code == 211040) continue;
            router->OnNotify(uint32_t(n.code), n.body.empty() ? nullptr : n.body.data(),
                             n.body.size());
            live.PaintTableGdi(dc);
            if (n.code != 221170) continue;
            // The discard shows as the seat's showcase tile, its face found by its marker.
            const int chair = Word(n.body, 1), tile = Word(n.body, 21);
            ++discards;
            const int view = live.ChairToView(chair);
            ASSERT_GE(view, 0);
            MJRect r;
            live.GetShowcaseRect(view, r);
            EXPECT_EQ(dc.At(r.left + 21, r.top + 30),
                      dc.Marker(dc.Strip("MJ_LARGE1"), GetFaceIndex(tile)))
                << "discard " << discards << " chair " << chair << " tile " << tile;
        }
        if (deal.Over()) break;
        now += 500;
        deal.Tick();
        live.OnTimer(10000);
    }
    EXPECT_TRUE(deal.Over()) << steps;
    EXPECT_GT(discards, 4);
    // Nothing reached the engine.
    engine::GameKernel& k = live.GetKernel();
    EXPECT_EQ(k.GetEntityCount(), 0u);
    EXPECT_EQ(k.GetControlCount(), 0u);
    EXPECT_EQ(k.GetObjectCount(), 0u);
    EXPECT_EQ(k.GetMessageCount(), 0u);
    EXPECT_EQ(k.GetActiveApplyCount(), 0u);

    platform::installAudio(previousAudio);
    engine::SetEngineLogFolder(oldLog);
    std::filesystem::remove_all(logs);
}

}  // namespace
}  // namespace hqlv::mahjong
