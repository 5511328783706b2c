// The notification router over the real deal state and the real table scene on a headless
// engine: a sequence of (id, body) from the fuzzer's bytes. Each step's first byte says
// whether the body is a well-formed record of a deal (its own length, chairs of the table,
// wall positions in the wall, tiles, counts and claim flags in their ranges; with extreme
// values put into its tables, chairs, counts, ids, amounts, tiles and wall positions when the
// byte after the pick says so), taken raw (any id, any length: truncated, empty or
// oversized), or an engine step (the clock hand's moves, the clock second, the end of the
// dealing). The chat pane writes its lines as the program's does. After every step the
// table must hold together: every tile binding points back to its record and that record to
// it, the records keep their binding indexes in range, and the clock hand stays on its eight
// positions.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "fuzz/hostile_words.h"
#include "fuzz/line_chat.h"
#include "fuzz/mahjong/router_ids.h"
#include "fuzz/quiet_diagnostics.h"
#include "fuzz/temp_logs.h"
#include "mahjong/scene/game_scene.h"
#include "netlib/log.h"
#include "platform/core/audio.h"
#include "platform/core/clock.h"
#include "platform/core/glyphs.h"
#include "tests/mahjong/router_doubles.h"

using namespace hqlv::mahjong;

namespace {

using hqlv::fuzz::kRouterIdCount;
using hqlv::fuzz::kRouterIds;
using IdSize = hqlv::fuzz::RouterId;

class Reader {
public:
    Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    bool empty() const { return pos_ >= n_; }
    uint8_t u8() { return pos_ < n_ ? d_[pos_++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(u8()) << (8 * i);
        return v;
    }
    // Up to n bytes of what is left.
    std::vector<uint8_t> take(size_t n) {
        size_t k = n < n_ - pos_ ? n : n_ - pos_;
        std::vector<uint8_t> out(d_ + pos_, d_ + pos_ + k);
        pos_ += k;
        return out;
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t pos_ = 0;
};

void PutWord(std::vector<uint8_t>& b, size_t i, int32_t v) {
    if (b.size() < (i + 1) * 4) return;
    for (size_t k = 0; k < 4; ++k) b[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
}

// A record of a deal as the server sends it: the id's length, its words in their ranges.
std::vector<uint8_t> DealRecord(uint32_t id, size_t size, Reader& in) {
    std::vector<uint8_t> b(size, 0);
    auto chair = [&] { return int32_t(in.u8() % 4); };
    auto tile = [&] { return int32_t(in.u8() % 152); };
    auto wall = [&] { return int32_t(in.u8() % 136); };
    switch (id) {
        case 211040:
            PutWord(b, 13, chair());
            PutWord(b, 14, int32_t(in.u8()) << 1);
            PutWord(b, 15, in.u8() & 0x2F);
            PutWord(b, 18, in.u8() % 40);
            PutWord(b, 27, in.u8() & 1);
            PutWord(b, 39, in.u8() % 20);
            for (size_t k = 0; k < 32; ++k) PutWord(b, 53 + k, k < 13 ? tile() : -1);
            break;
        case 211080:
            PutWord(b, 0, int32_t(in.u32() & 0x2000003));
            for (size_t c = 0; c < 4; ++c) PutWord(b, 165 + c, in.u8() % 3);
            PutWord(b, 169, in.u8() % 2 ? -1 : chair());
            PutWord(b, 170, in.u8() % 2 ? -1 : chair());
            PutWord(b, 171, tile());
            PutWord(b, 175, in.u8() & 1);
            for (size_t c = 0; c < 4; ++c)
                for (size_t k = 0; k < 32; ++k) PutWord(b, 212 + 32 * c + k, k < 14 ? tile() : -1);
            break;
        case 229160:
            PutWord(b, 0, chair());
            PutWord(b, 1, tile());
            PutWord(b, 2, wall());
            break;
        case 221170:
            PutWord(b, 1, chair());
            for (size_t c = 0; c < 4; ++c) PutWord(b, 6 + c, in.u8() & 0x2F);
            PutWord(b, 21, tile());
            break;
        case 229180:
            PutWord(b, 0, chair());
            PutWord(b, 1, chair());
            PutWord(b, 2, tile());
            PutWord(b, 3, 1 + in.u8() % 3);
            for (size_t c = 0; c < 4; ++c) PutWord(b, 4 + c, in.u8() & 0x28);
            break;
        case 229185:
        case 229190:
        case 229195:
        case 229197:
        case 229199:
            PutWord(b, 3, chair());
            PutWord(b, 4, chair());
            for (size_t k = 5; k <= 8; ++k) PutWord(b, k, tile());
            PutWord(b, 10, tile());
            PutWord(b, 11, wall());
            break;
        case 229210:
            PutWord(b, 3, chair());
            PutWord(b, 4, 136 + in.u8() % 16);
            PutWord(b, 5, in.u8() % 4 ? tile() : -1);
            PutWord(b, 6, wall());
            break;
        case 221200: {
            const int n = in.u8() % 15;
            PutWord(b, 1, chair());
            PutWord(b, 2, n);
            for (int k = 0; k < n; ++k) PutWord(b, 3 + size_t(k), tile());
            break;
        }
        case 221160:
        case 229170:
        case 229175:
        case 229500:
            PutWord(b, 3, chair());
            PutWord(b, 4, int32_t(in.u8() % 8));
            PutWord(b, 5, in.u8() & 1);
            break;
        case 211011: {
            // A player entry of a seated player: id, table, chair of the table, figures.
            PutWord(b, 0, int32_t(1000 + in.u8() % 8));
            PutWord(b, 3, 5);
            PutWord(b, 4, chair());
            PutWord(b, 21, int32_t(in.u32() % 100000));
            PutWord(b, 23, int32_t(in.u32() % 10000));
            b[36] = 'N';
            break;
        }
        case 211010:
            PutWord(b, 0, int32_t(1000 + in.u8() % 8));
            PutWord(b, 1, chair());
            PutWord(b, 7, 5);
            break;
        case 211420:
        case 230002:
            PutWord(b, 0, int32_t(1000 + in.u8() % 8));
            PutWord(b, 1, chair());
            PutWord(b, 2, chair());
            PutWord(b, 3, int32_t(in.u32() % 10000));
            PutWord(b, 4, int32_t(in.u32() % 100000));
            break;
        default: {
            std::vector<uint8_t> raw = in.take(size);
            std::copy(raw.begin(), raw.end(), b.begin());
            break;
        }
    }
    return b;
}

[[noreturn]] void Broken(const char* what, int a, int b) {
    std::fprintf(stderr, "table broken: %s (%d, %d)\n", what, a, b);
    std::abort();
}

// Every binding points back to its record and every bound record to its binding; the
// clock hand stays on its eight positions.
void CheckTable(CMJGameScene2& s) {
    for (int i = 1; i <= kBindingCount; ++i) {
        const MJBinding* b = s.Binding(i);
        if (!b->area) continue;
        const MJTileInfo* r = s.GetTileRecord(b->area, b->view, b->index);
        if (!r) Broken("binding without a record", i, b->area);
        if (r->nObject != i) Broken("record of a binding names another", i, r->nObject);
    }
    auto records = [&](MJTileInfo* first, int n) {
        for (int k = 0; k < n; ++k) {
            const int o = first[k].nObject;
            if (o < 0 || o > kBindingCount) Broken("binding index out of range", k, o);
            if (o && !s.Binding(o)->area) Broken("record names a free binding", k, o);
        }
    };
    CMJTileAreas& t = s.Tiles();
    records(t.m_wall, kWallRecords);
    for (int v = 0; v < 4; ++v) {
        records(t.m_hands[v], kHandRecords);
        records(t.m_flowers[v], kFlowerRecords);
        records(t.m_discards[v], kDiscardRecords);
    }
    records(t.m_showcase, 4);
    if (s.GetClockPosition() < 0 || s.GetClockPosition() > 7)
        Broken("clock hand", s.GetClockPosition(), 0);
    if (s.Clock().drawn < 0 || s.Clock().drawn > 7) Broken("drawn hand", s.Clock().drawn, 0);
}

// The world of one input: the deal state, the panes and the host; the scene is the
// process's own and outlives it.
struct LiveWorld : test::RouterWorld {
    explicit LiveWorld(CMJGameScene2& scene) : live(scene), lines(app) {}
    CMJGameScene2* Scene() override { return &live; }
    hqlv::framework::CChatViewHooks* chatView() override { return withPanes ? &lines : nullptr; }
    CMJGameScene2& live;
    hqlv::fuzz::LineChat lines;
};

// Which hot words of a notification get extreme values: read before the record, so that a
// seed names them without knowing how many bytes the record takes.
std::vector<uint8_t> ReadSpoil(Reader& in) {
    const uint8_t how = in.u8();
    if (!(how & 1)) return {};
    return in.take(2 * (1 + size_t((how >> 1) & 7)));
}

// Extreme values in the hot words of a notification that has them.
void Spoil(uint32_t id, std::vector<uint8_t>& body, const std::vector<uint8_t>& plan) {
    const hqlv::fuzz::HotNotification* n = hqlv::fuzz::FindHotNotification(id);
    if (plan.empty() || !n) return;
    size_t at = 0;
    hqlv::fuzz::SpoilWords(body, *n, plan.size() / 2,
                           [&]() -> uint8_t { return at < plan.size() ? plan[at++] : 0; });
}

constexpr uint32_t kClockStart = 0xFFFFFFFFu - 5000;

// The process's engine pieces: a clock that moves only when told, silent audio, a log
// folder, and one table scene on a headless engine. Making the scene's entities, buttons
// and canvas costs far more than an input; like the program across deals, the scene is
// made once and every input starts from a new deal.
struct Process {
    Process() {
        // Both logs (the engine's and the network library's) go to the process's own
        // folder, which goes when the process ends.
        const std::string& logs = hqlv::fuzz::TemporaryLogFolder("mahjong-router");
        hqlv::engine::SetEngineLogFolder(logs);
        hqlv::netlib::YrnLogSetFolder(logs);
        hqlv::platform::setClock(&clock);
        hqlv::platform::installAudio(std::make_shared<hqlv::platform::RecordingAudio>());
        // Each font face is looked up once, on first use, and fontconfig keeps what it
        // found: done here, no input seems to leak it.
        for (const char* face : {"宋体", "楷体_GB2312", "Arial"})
            hqlv::platform::glyphFaceFile(face);
        // The engine without pictures: the entities the handlers drive, made blank, on a
        // small screen.
        live.Init();
        live.InitScreen(160, 120);
        live.CreateTileEntities();
        live.CreateTileControls();
        live.CreateClockEntities();
        live.CreateToolbarButtons();
        live.ResetTable();
        made = NewestEntity();
    }
    // The id the next entity gets, less one: entity ids only grow.
    uint32_t NewestEntity() {
        hqlv::engine::GameKernel& k = live.GetKernel();
        hqlv::engine::Entity* probe =
            k.CreateEntity(hqlv::engine::ENT_PLANE, 0, 0, 1, 1, 0, 0, false, 1.0);
        const uint32_t id = probe ? probe->GetId() : 0;
        if (probe) k.DestroyEntityTree(id);
        return id;
    }
    // A new deal for the next input: nothing of the last one runs, shows or is kept.
    void NewDeal(test::FakeSceneHost& host) {
        hqlv::engine::GameKernel& k = live.GetKernel();
        live.SetSceneHost(&host);
        live.OnGameReset();
        k.CancelAllApplies();
        while (k.PopMessage().code != 0) {
        }
        // What the last input made (win effects, sprites) goes with it.
        for (uint32_t id = made + 1, last = NewestEntity(); id < last; ++id)
            if (k.FindEntity(id)) k.DestroyEntityTree(id);
        made = NewestEntity();
        live.ShowAllClaimButtons(0);
        live.SetSelectMode(0);
        live.SetTimeoutCount(0);
        live.SetGameRunning(0);
        clock.setTick(kClockStart);
    }
    hqlv::platform::ManualClock clock{kClockStart};
    CMJGameScene2 live;
    uint32_t made = 0;
};

}  // namespace

// fontconfig keeps part of its parsed configuration where the leak checker cannot see it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hqlv::fuzz::QuietDiagnostics();
    static Process process;
    CMJGameScene2& live = process.live;
    Reader in(data, size);
    auto w = std::make_unique<LiveWorld>(live);
    const uint8_t flags = in.u8();
    w->playing = flags & 1;
    w->rejectKanPai = (flags >> 1) & 1;
    w->withPanes = (flags & 4) == 0;
    w->mainWindow = (flags & 8) == 0;
    w->score.advertBet = (flags & 16) != 0;
    const int own = int(int8_t(in.u8())) % 9;
    w->app.SetChairNo(own);
    w->sceneHost.chair = (flags & 0x20) ? own : 2;
    w->sceneHost.lookerOn = (flags >> 6) & 1;
    w->sceneHost.scene = &live;
    auto router = test::MakeRouter(*w);
    process.NewDeal(w->sceneHost);
    CheckTable(live);
    auto runEngine = [&](uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            process.clock.advance(10);
            live.GetKernel().RunDueApplies();
            live.PumpMessages();
        }
    };
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const uint8_t mode = in.u8();
        if ((mode & 3) == 3) {
            // The engine's own steps between notifications.
            switch ((mode >> 2) & 3) {
                case 0:
                    runEngine(10u * in.u8());
                    break;
                case 1:
                    live.OnTimer(10000);
                    break;
                case 2: {
                    hqlv::engine::MessageData none;
                    live.OnMessage(210006, none, 0);
                    break;
                }
                default:
                    live.QZ_MoveClockHand(int(in.u8() % 10) - 1, 2 * (in.u8() % 4));
                    break;
            }
            CheckTable(live);
            continue;
        }
        const IdSize& pick = kRouterIds[in.u8() % kRouterIdCount];
        std::vector<uint8_t> body;
        uint32_t id = pick.id;
        if ((mode & 1) == 0) {
            const std::vector<uint8_t> plan = ReadSpoil(in);
            body = DealRecord(pick.id, pick.size, in);
            Spoil(pick.id, body, plan);
        } else {
            if (mode & 2) id = in.u32();
            size_t len = size_t(in.u8()) | size_t(in.u8() & 0x0F) << 8;
            body = in.take(len);
            if (mode & 4) body.resize(len * 2 + 1, 0xFF);  // oversized
        }
        router->OnNotify(id, body.empty() ? nullptr : body.data(), body.size());
        CheckTable(live);
        // Accessors over whatever was stored.
        MJList list{};
        w->info.GetRoundList(list);
        w->info.GetChairList(int(mode >> 4) - 2, list);
        w->info.GetRoundListItem(int(int8_t(mode)));
        std::string line;
        w->info.FormatHistory(line);
        (void)w->info.FormatRoundLine();
        (void)live.FormatTable("fuzz");
        w->lines.ShowStandingLines();
        if (!(mode & 0x40)) continue;
        // The table scene's own operations over the stored deal state and the body: the
        // game data of a rejoin stored whole, the wall, the hands and melds filled, a
        // rebuild, and the hand lists edited with the body's words.
        if ((mode & 8) && !body.empty()) {
            std::span<uint8_t> area = w->info.GetRoundRecordArea();
            std::memcpy(area.data(), body.data(), std::min(area.size(), body.size()));
        }
        live.MarkWall();
        live.FillOwnHandFromRound((mode >> 5) & 1);
        live.FillTableFromRound();
        if (mode & 0x80) live.RebuildTable();
        std::vector<int32_t> words(body.size() / 4);
        if (!words.empty()) std::memcpy(words.data(), body.data(), words.size() * 4);
        const int view = words.empty() ? 3 : int(uint32_t(words[0]) % 6) - 1;
        live.SetHandTiles(view, words);
        for (size_t k = 0; k < words.size() && k < 8; ++k) live.RemoveTileFromHand(view, words[k]);
        MJTileInfo* row = live.Tiles().HandRow(view);
        live.SortHand(row, 0, live.LastHandIndex(view));
        std::array<int32_t, 32> codes;
        live.GetHandCodes(view, codes);
        live.CopyOwnHandExcept(codes, int(mode % 40), words.empty() ? 0 : words.back());
        live.BindHandTiles(view);
        CheckTable(live);
    }
    runEngine(1000);
    CheckTable(live);
    // The world goes with this input: the scene keeps no pointer into it.
    live.SetSceneHost(nullptr);
    return 0;
}
