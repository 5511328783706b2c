// A rebuilt table equals the live one. Recorded deals of the local server (fixed seeds that
// between them lay pungs of discards, exposed, concealed and added kongs, the player's own
// peng and added kong, rob an added kong and run the wall to its end) are played into a live
// client through the real router, in both scene modes. After every notification:
// - a client that comes back (a fresh scene entering with the 5028-byte state of 200500),
// - the client whose network recovered (201140's state, rebuilt on a scene that went on from
//   its last recovery with the same notifications, and made the live client's own moves)
// must show the live client's tiles of every seat (hand, melds, discards, showcase tile,
// flowers, the wall) and its clock, and the recovered client must ask what the live one asks.
// What the state does not carry is compared as the player sees it: tiles by their faces (the
// copies of a kind look alike), the melds of a seat as a set (the state keeps each kind of
// meld in a list of its own, not the order in which the seat laid them), and an own hand
// holding its drawn tile by its tiles (the state does not name the tile drawn last).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/game_scene_ex.h"
#include "platform/core/audio.h"
#include "platform/core/clock.h"
#include "rules/common.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/router_doubles.h"
#include "tests/mahjong/scene/gdi_table_fixture.h"
#include "tests/mahjong/scene/scene_fixture.h"
#include "tools/server/mahjong/deal.h"

namespace hqlv::mahjong {
namespace {

namespace mj = server::mj;

int32_t Word(const std::vector<uint8_t>& b, size_t w) {
    int32_t v = 0;
    if (w * 4 + 4 <= b.size()) std::memcpy(&v, b.data() + w * 4, 4);
    return v;
}

// The result dialog is the deal's end, which is not compared.
struct Table : CGameSceneEx {
    void RunResultDialog(CGameResultDlg&) override {}
};

// A client's requests as the request sender makes them (lengths, waits, answers), handed to
// `send`: the deal for the live client, the live client's answers for the recovered one.
struct Requests : CMJRequests {
    std::function<mj::Answer(int id, std::vector<uint8_t> body)> send;
    mj::Answer Send(int id, MJData body, size_t n) {
        if (n == 0 || body.size() < n) return {mj::kMalformed, {}};
        return send(id, std::vector<uint8_t>(body.begin(), body.begin() + std::ptrdiff_t(n)));
    }
    static int Copy(const mj::Answer& a, std::span<uint8_t> out, size_t n) {
        if (a.data.size() < n || out.size() < n) return 0;
        std::memcpy(out.data(), a.data.data(), n);
        return 1;
    }
    static size_t PlayLength(MJData b) {
        int32_t n = -1;
        if (b.size() >= 104) std::memcpy(&n, b.data() + 100, 4);
        return n < 0 ? 0 : 104 + size_t(n) * 4;
    }
    int SendKanPaiAsk() override { return 0; }
    int SendKanPaiAnswer(int, int) override { return 0; }
    int SendPass(std::string&, MJData b) override { return Send(229005, b, 40), 1; }
    int SendHu(std::string&, MJData b) override { return Send(229080, b, 48).code; }
    int QueryRequest(std::string&, int id, MJData b, std::span<uint8_t> reply,
                     int* result) override {
        const mj::Answer a = Send(id, b, 64);
        if (result) *result = a.code;
        return a.code == mj::kDone ? Copy(a, reply, 32) : 0;
    }
    int SendPengConfirm(std::string&, MJData b, int* result) override {
        const int code = Send(229025, b, 64).code;
        if (result) *result = code;
        return code == mj::kDone;
    }
    int SendChiConfirm(std::string&, MJData b, int* result) override {
        const int code = Send(229030, b, 64).code;
        if (result) *result = code;
        return code == mj::kDone;
    }
    void SendChi(std::string&, MJData b) override { Send(229020, b, 64); }
    void SendPeng(std::string&, MJData b) override { Send(229010, b, 64); }
    int SendGang(std::string&, MJData b, std::span<uint8_t> reply) override {
        const mj::Answer a = Send(229015, b, 64);
        return a.code == mj::kDone ? Copy(a, reply, 48) : 0;
    }
    int SendPlayTile(std::string&, MJData b) override { return Send(221080, b, PlayLength(b)), 1; }
    int SendPlayTileWait(std::string&, MJData b) override {
        return Send(221080, b, PlayLength(b)).code;
    }
    void SendPlayTileNoWait(std::string&, MJData b) override { Send(221080, b, PlayLength(b)); }
    int SendDrawTile(std::string&, MJData b, std::span<uint8_t> reply) override {
        const mj::Answer a = Send(229000, b, 96);
        if (a.code == mj::kDone && Copy(a, reply, 32)) return 1;
        if (reply.size() >= 8) std::memset(reply.data() + 4, 0xFF, 4);
        return 0;
    }
    void SendDrawTileNoWait(std::string&, MJData b) override { Send(229000, b, 96); }
    int SendFlower(std::string&, MJData b, std::span<uint8_t> reply) override {
        return Copy(Send(229060, b, 44), reply, 32);
    }
    int SendNetworkBroken() override { return 0; }
    int Send229500(int) override { return 0; }
    int Send229505() override { return 0; }
};

// The client's host: the seat, the view's timers on the test's clock, the requests.
struct Host : test::SceneHost {
    void SetViewTimer(uint32_t id, uint32_t ms) override { due[id] = {*now + ms, ms}; }
    void KillViewTimer(uint32_t id) override { due.erase(id); }
    const uint64_t* now = nullptr;
    std::map<uint32_t, std::pair<uint64_t, uint32_t>> due;  // the next time, the interval
};

// One client: the router over its scene, its deal state, its table-drawing object and, in
// scene mode 1, the window's surface.
struct Client : test::RouterWorld {
    Client(int mode, int own, const uint64_t* now, const std::string& ini, bool start) {
        host.program = test::BuiltProgramFolder();
        host.ini = ini;
        host.now = now;
        host.chair = own;
        host.userId = 100 + own;
        host.playing = 1;
        host.requests = &requests;
        host.Wire(info, draw, table);
        table.SetSceneMode(mode);
        app.SetChairNo(own);
        if (mode == 1) {
            // The window's surface, for a client that plays; the view's size is the same.
            if (start) {
                surface = std::make_unique<test::RasterSurface>(796, 700);
                test::AddGdiBitmaps(*surface);
                for (auto& [name, strip] : surface->strips) host.bitmaps[name] = 1;
                table.SetGdiSurface(surface.get());
            }
            table.LoadSkinBitmaps();
            table.InitFont();
        } else {
            // The table's logical screen sizes the own row; the pictures and the controls
            // only a client that plays needs.
            host.screenHeight = 768;
            table.Init();
            table.InitScreen(kSceneWidth, kSceneHeight);
            if (start) {
                table.OnPrepare();
                table.OnStart();
            }
        }
        router = test::MakeRouter(*this);
    }
    ~Client() { table.Cleanup(); }
    CMJGameScene2* Scene() override { return &table; }
    int SceneMode() override { return table.GetSceneMode(); }
    void Notify(const mj::Note& n) {
        router->OnNotify(uint32_t(n.code), n.body.empty() ? nullptr : n.body.data(), n.body.size());
    }
    // The state an entry or a recovery brings, stored as the connection stores game data.
    void Store(const std::vector<uint8_t>& state) {
        std::span<uint8_t> area = info.GetRoundRecordArea();
        std::memcpy(area.data(), state.data(), std::min(state.size(), area.size()));
        info.SetStateBytes(state.size());
    }
    // Time on: the engine's due steps, the view's due timers, the clock's seconds.
    void Run(uint64_t at) {
        if (table.GetSceneMode() != 1 && table.Kernel()) {
            table.GetKernel().RunDueApplies();
            table.PumpMessages();
        }
        // A view's timer goes off again after its interval until it is killed.
        for (bool fired = true; fired;) {
            fired = false;
            for (auto& [id, timer] : host.due)
                if (timer.first <= at) {
                    timer.first += std::max<uint32_t>(timer.second, 10);
                    table.OnTimer(id);
                    fired = true;
                    break;
                }
        }
        if (host.clockRunning && at % 1000 == 0) table.OnTimer(host.GetClockTimerId());
    }

    Host host;
    Table table;
    Requests requests;
    std::unique_ptr<test::RasterSurface> surface;
    std::unique_ptr<CGameNotifyEx> router;
};

// The table as the records show it, a line a part: per seat its standing tiles, its melds
// (each group by its own records, relative to its top record, the groups sorted), its
// discards, showcase tile and flowers; the wall; the clock's hand.
std::vector<std::string> Records(CMJGameScene2& s) {
    std::vector<std::string> lines;
    // A tile by the face it shows: copies of one kind look alike, and a client may hold
    // them in another order or play the other copy.
    auto tile = [](const MJTileInfo& r) {
        return std::to_string(r.nCode == kHiddenTile ? -1 : GetFaceIndex(r.nCode)) + "/" +
               std::to_string(r.nFace) + "/" + std::to_string(r.nDirection);
    };
    for (int v = 0; v < kViewCount; ++v) {
        const MJTileInfo* row = s.Tiles().m_hands[v];
        std::string hand = "view " + std::to_string(v) + " hand:";
        // The state does not say which of the own tiles came last: a rebuilt hand holding
        // its drawn tile is sorted with it. Such a hand is compared by its tiles.
        if (v == kOwnView && row[0].bPresent && row[0].bHand) {
            std::vector<int> codes;
            for (int i = 0; i < kHandSlotCount; ++i)
                if (row[i].bPresent && row[i].bHand) codes.push_back(GetFaceIndex(row[i].nCode));
            std::sort(codes.begin(), codes.end());
            hand += " drawn, holding";
            for (int c : codes) hand += " " + std::to_string(c);
        } else {
            for (int i = 0; i < kHandSlotCount; ++i)
                if (row[i].bPresent && row[i].bHand)
                    hand += " " + std::to_string(i) + "=" + tile(row[i]) + "@" +
                            std::to_string(row[i].nX) + "," + std::to_string(row[i].nY);
        }
        lines.push_back(hand);
        std::vector<std::string> groups;
        for (int top = kHandSlotCount - 1; top >= 5; top -= 4) {
            if (!row[top].bPresent || row[top].bHand) continue;
            std::string g = "(";
            for (int k = 0; k < 4; ++k) {
                const MJTileInfo& r = row[top - k];
                if (!r.bPresent) continue;
                g += " " + tile(r) + " m" + std::to_string(r.nMeld) + (r.bClaimed ? "c" : "") +
                     " " + std::to_string(r.nX - row[top].nX) + "," +
                     std::to_string(r.nY - row[top].nY) + "," + std::to_string(r.nZ - row[top].nZ);
            }
            groups.push_back(g + " )");
        }
        std::sort(groups.begin(), groups.end());
        std::string melds = "view " + std::to_string(v) + " melds:";
        for (const std::string& g : groups) melds += " " + g;
        lines.push_back(melds);
        std::string rows = "view " + std::to_string(v) + " discards:";
        for (const MJTileInfo& r : s.Tiles().m_discards[v])
            rows += r.bPresent ? " " + tile(r) : " .";
        lines.push_back(rows);
        const MJTileInfo& shown = s.Tiles().m_showcase[v];
        lines.push_back("view " + std::to_string(v) +
                        " showcase: " + (shown.bPresent ? tile(shown) : "-"));
        std::string flowers = "view " + std::to_string(v) + " flowers:";
        for (const MJTileInfo& r : s.Tiles().m_flowers[v])
            if (r.bPresent) flowers += " " + std::to_string(r.nCode);
        lines.push_back(flowers);
    }
    std::string wall = "wall taken:";
    for (int i = 0; i < s.GetTotalTiles() && i < kWallRecords; ++i) {
        const MJTileInfo& r = s.Tiles().m_wall[i];
        if (!r.bPresent) wall += " " + std::to_string(i);
        if (r.nFace == 1) wall += " up" + std::to_string(i) + "=" + tile(r);
    }
    lines.push_back(wall);
    lines.push_back("clock: " + std::to_string(s.QZ_GetPointTo()));
    return lines;
}

// The lines that differ, the live client's first.
std::string Diff(const std::vector<std::string>& live, const std::vector<std::string>& other,
                 const char* what) {
    std::string out;
    for (size_t i = 0; i < std::max(live.size(), other.size()); ++i) {
        const std::string a = i < live.size() ? live[i] : "", b = i < other.size() ? other[i] : "";
        if (a != b) out += "  live:    " + a + "\n  " + what + ": " + b + "\n";
    }
    return out;
}

// Two requests alike but for the copy of a kind they name.
bool Alike(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t w = 0; w < a.size() / 4; ++w) {
        const int32_t x = Word(a, w), y = Word(b, w);
        if (x != y &&
            !(x >= 0 && y >= 0 && x < 136 && y < 136 && GetFaceIndex(x) == GetFaceIndex(y)))
            return false;
    }
    return true;
}

struct DealRow {
    const char* name;
    uint32_t seed;
    int own;      // the player's chair
    bool driven;  // the server plays the player's seat (else the client's automatic play)
    std::vector<const char*> want;  // what the deal must have shown
};

class RebuildDeals : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        logs = std::filesystem::temp_directory_path() /
               ("hqlv-rebuild-deals-" + std::to_string(getpid()));
        std::filesystem::create_directories(logs);
        oldLog = engine::SetEngineLogFolder(logs.string());
        previousAudio = platform::installAudio(std::make_shared<platform::RecordingAudio>());
        before = platform::setClock(&clock);
        // The settings file beside the log folder: the log's folder holds the logs alone.
        ini = logs.string() + ".ini";
    }
    void TearDown() override {
        std::filesystem::remove(ini);
        platform::setClock(before);
        platform::installAudio(previousAudio);
        engine::SetEngineLogFolder(oldLog);
        std::filesystem::remove_all(logs);
    }
    // Plays the deal; every difference found is a failure naming its step.
    void Play(const DealRow& row, int mode);

    std::filesystem::path logs;
    std::string oldLog, ini;
    std::shared_ptr<platform::Audio> previousAudio;
    platform::ManualClock clock{1000};
    platform::Clock* before = nullptr;
};

void RebuildDeals::Play(const DealRow& row, int mode) {
    uint64_t now = 1000;
    clock.setTick(uint32_t(now));
    // Each notification with the state an entry would have got when it was sent, in the
    // order of the server's steps; the table the live client shows is that of the last step
    // it has seen (a notification it took, or a request it made).
    struct Sent {
        mj::Note note;
        std::vector<uint8_t> state;
        int order;
    };
    std::deque<Sent> notes;
    int order = 0, seen = -1;
    std::vector<uint8_t> shownState;
    mj::DealOptions options;
    options.thinkMs = 300;
    options.dealMs = mj::kDefaultDealMs;
    // A claim window of another length than a turn: a clock that counts the one for the
    // other shows.
    options.claimSeconds = options.turnSeconds + 5;
    rules::SeedRandom(row.seed);
    mj::Deal* playing = nullptr;
    mj::Deal deal(
        options, [&] { return now; },
        [&](const mj::Note& n) {
            if (n.to & (1u << row.own)) notes.push_back({n, playing->PlayerState(row.own), order});
            ++order;
        });
    playing = &deal;
    for (int c = 0; c < mj::kChairs; ++c) deal.SetSeat(c, 100 + c, c != row.own || row.driven);
    Client live(mode, row.own, &now, ini, true), recovered(mode, row.own, &now, ini, true);
    // The live client's requests go to the deal; the recovered one must ask the same, in the
    // same order, and gets the same answers.
    struct Asked {
        int id;
        std::vector<uint8_t> body;
        mj::Answer answer;
    };
    std::deque<Asked> asked;
    std::string faults;
    std::vector<std::string> shown;  // meld kinds the live table showed
    bool ownKongLaid = false;        // the live client's added kong, its announcement not yet in
    live.requests.send = [&](int id, std::vector<uint8_t> body) {
        mj::Answer a = deal.Request(row.own, id, body);
        asked.push_back({id, body, a});
        static const std::map<int, const char*> kOwn = {{229000, "own draw"},
                                                        {229025, "own peng"},
                                                        {229045, "own minggang"},
                                                        {229047, "own angang"},
                                                        {229049, "own bugang"}};
        if (a.code == mj::kDone && kOwn.count(id)) shown.push_back(kOwn.at(id));
        ownKongLaid |= id == 229049 && a.code == mj::kDone;
        seen = order++;
        shownState = deal.PlayerState(row.own);
        return a;
    };
    recovered.requests.send = [&](int id, std::vector<uint8_t> body) {
        if (asked.empty() || asked.front().id != id || !Alike(asked.front().body, body)) {
            faults += "  the recovered client asks " + std::to_string(id) + ", the live one " +
                      (asked.empty() ? "nothing" : std::to_string(asked.front().id)) + "\n";
            return mj::Answer{mj::kRefused, {}};
        }
        mj::Answer a = asked.front().answer;
        asked.pop_front();
        return a;
    };
    if (!row.driven) {
        live.table.ToggleAutoPlay();
        recovered.table.ToggleAutoPlay();
    }
    ASSERT_TRUE(deal.Start());
    int steps = 0, failures = 0;
    std::unique_ptr<Client> back;
    auto check = [&](const std::string& step) {
        const std::vector<uint8_t>& state = shownState;
        const std::vector<std::string> want = Records(live.table);
        std::string out;
        if (!asked.empty()) {
            out += "  the recovered client did not ask " + std::to_string(asked.front().id) +
                   " as the live one did\n";
            asked.clear();
        }
        out += faults;
        faults.clear();
        // Going on from the last recovery with the same notifications.
        if (steps > 0) out += Diff(want, Records(recovered.table), "went on");
        // The network recovers: the game data, then the table as the application rebuilds it.
        // Where the player plays his seat, the recovered client is to go on making the live
        // one's moves; but the state names neither the claims on offer (a client rebuilt
        // while a claim button is on shows it no more: the server takes the silence for a
        // pass) nor the own tile drawn last (the rebuilt hand holds it sorted in, and the
        // automatic player's first best discard may then be another). There the client
        // recovers only where neither is at stake.
        bool offered = live.table.Tiles().m_hands[kOwnView][0].bPresent != 0;
        for (int kind = CMJGameScene2::kClaimPeng; kind <= CMJGameScene2::kClaimPass; ++kind)
            offered |= live.table.IsClaimButtonActive(kind) != 0;
        if (row.driven || !offered) {
            recovered.Store(state);
            if (mode == 1) {
                recovered.draw.Redraw();
                recovered.table.RebuildTable();
            } else {
                recovered.table.ResetTable();
                recovered.table.RebuildTable();
                recovered.table.Redraw(100);
            }
            out += Diff(want, Records(recovered.table), "recovered");
        }
        // The player comes back: a client whose engine start finds the deal running. In scene
        // mode 2 it is one client, set up once, that comes back at every step: setting up the
        // engine's screen buffers would cost more than all the rest of the test.
        if (!back || mode == 1) back = std::make_unique<Client>(mode, row.own, &now, ini, false);
        back->host.rejoining = 1;
        back->host.playing = 0;
        back->Store(state);
        back->table.OnGameStart();
        out += Diff(want, Records(back->table), "came back");
        if (!out.empty() && ++failures <= 3)
            ADD_FAILURE() << row.name << " mode " << mode << ", step " << steps << " (" << step
                          << "):\n"
                          << out;
        ++steps;
    };
    for (int guard = 0; guard < 20000 && !deal.Over(); ++guard) {
        while (!notes.empty()) {
            const Sent sent = notes.front();
            const mj::Note& n = sent.note;
            notes.pop_front();
            if (n.code == 211080) continue;
            if (sent.order > seen) seen = sent.order, shownState = sent.state;
            live.Notify(n);
            recovered.Notify(n);
            // The announcement of the player's own added kong, sent while he asked for it,
            // comes in after the kong was laid: his turn goes on with the turn's seconds.
            if (n.code == 229180 && ownKongLaid) {
                ownKongLaid = false;
                EXPECT_LE(live.table.GetCountdown(), options.turnSeconds) << row.name;
                EXPECT_GE(live.table.GetCountdown(), options.turnSeconds - 1) << row.name;
            }
            static const std::map<int, const char*> kMelds = {
                {229185, "peng"}, {229195, "minggang"}, {229197, "angang"}, {229199, "bugang"}};
            if (kMelds.count(n.code)) shown.push_back(kMelds.at(n.code));
            // Each client's animations and waits run out before the tables are compared: the
            // dice and the dealing (the server waits for them) and the 200 ms before an own
            // kong's replacement.
            const int settle = n.code == 211040 ? 20000 : 300;
            for (int t = 0, started = 0; t < settle / 10 && started < 400; ++t) {
                // The dealing ends with the clock's start and the own hand's sorting sweep.
                started += n.code != 211040 || live.host.clockRunning;
                now += 10;
                clock.advance(10);
                live.Run(now);
                recovered.Run(now);
            }
            check(std::to_string(n.code));
        }
        now += 10;
        clock.advance(10);
        live.Run(now);
        recovered.Run(now);
        deal.Tick();
    }
    ASSERT_TRUE(deal.Over()) << row.name;
    // How the deal ended: nobody won (the wall ran out), or a win robbed an added kong.
    const std::vector<uint8_t>& result = deal.Result();
    if (Word(result, 700 / 4) == 0) shown.push_back("drawn");
    for (size_t c = 0; c < 4; ++c)
        if (Word(result, 1652 / 4 + 43 * c + 3 + 16) > 0) shown.push_back("robbed");
    for (const char* kind : row.want)
        EXPECT_NE(std::find(shown.begin(), shown.end(), kind), shown.end())
            << row.name << " mode " << mode << ": no " << kind;
}

const DealRow kRows[] = {
    // The server plays the player's seat: its three pungs, an added kong laid on one and, at
    // last, a second added kong robbed by a win; the seats beside it lay exposed and
    // concealed kongs; the player's client draws at the countdowns' ends.
    {"seed 1923", 1923, 1, true, {"peng", "minggang", "angang", "bugang", "robbed", "own draw"}},
    // The player's automatic play lays a peng and adds the fourth tile to it.
    {"seed 494", 494, 3, false, {"own peng", "own bugang", "own draw"}},
    // To the wall's end: the last tail draws meet the head.
    {"seed 121", 121, 2, false, {"own peng", "drawn"}},
};

TEST_P(RebuildDeals, EveryStepRebuildsTheLiveTable) {
    if (!test::HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    for (const DealRow& row : kRows) Play(row, GetParam());
}

INSTANTIATE_TEST_SUITE_P(BothSceneModes, RebuildDeals, ::testing::Values(2, 1));

}  // namespace
}  // namespace hqlv::mahjong
