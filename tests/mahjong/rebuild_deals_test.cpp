// A rebuilt table equals the live one. Recorded deals of the local server are played into a
// live client through the real router, in both scene modes. The rows are fixed seeds that
// between them lay every kind of meld and end a deal every way: the wall run out by the head
// alone, by tail draws meeting the head and by a kong's replacement, a win on a discard, a
// robbed kong and a win on the own draw. After every notification:
// - a client that comes back (a fresh scene entering with the 5028-byte state of 200500),
// - the client whose network recovered (201140's state, rebuilt on a scene that went on from
//   its last recovery with the same notifications, and made the live client's own moves),
// - a looker-on who comes in (the 948-byte state of a looker-on of the player's seat)
// must show what the live table shows (a looker-on's, for the one who comes in): every seat's
// hand, melds, discards, showcase tile and flowers, the wall, the clock's seat and seconds;
// the recovered client must ask what the live one asks. Besides, the clients are rebuilt while
// the tiles are dealt, while the replacement of the player's own kong is on its way, and
// before the deal's result, which they then take as the live ones do.
// What the state does not carry is compared as the player sees it: tiles by their faces (the
// copies of a kind look alike), the melds of a seat as a set (the state keeps each kind of
// meld in a list of its own, not the order in which the seat laid them), an own hand holding
// its drawn tile by its tiles and their places (the state does not name the tile drawn last),
// and a looker-on's table without melds and discards (its state holds neither).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
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
#include "rules/tiles.h"
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

// The result dialog waits for a click that no test gives.
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
// scene mode 1, the window's surface. A client that starts plays from the deal's start (its
// engine runs the dice, the dealing and the flights); one that does not only enters.
struct Client : test::RouterWorld {
    Client(int mode, int own, const uint64_t* now, const std::string& ini, bool start,
           bool looker = false) {
        host.program = test::BuiltProgramFolder();
        host.ini = ini;
        host.now = now;
        host.chair = own;
        host.userId = looker ? 200 : 100 + own;
        host.lookerOn = looker ? 1 : 0;
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
        // The result leaves the clock as the last step set it.
        if (n.code != 211080) lastNote = n.code;
        router->OnNotify(uint32_t(n.code), n.body.empty() ? nullptr : n.body.data(), n.body.size());
    }
    // The state an entry or a recovery brings, stored as the connection stores game data.
    void Store(const std::vector<uint8_t>& state) {
        std::span<uint8_t> area = info.GetRoundRecordArea();
        std::memcpy(area.data(), state.data(), std::min(state.size(), area.size()));
        info.SetStateBytes(state.size());
    }
    // The network recovers: the game data, then the table as the application rebuilds it.
    void Recover(const std::vector<uint8_t>& state) {
        Store(state);
        if (table.GetSceneMode() == 1) {
            draw.Redraw();
            table.RebuildTable();
        } else {
            table.ResetTable();
            table.RebuildTable();
            table.Redraw(100);
        }
    }
    // Comes in as the engine's start finds the deal running.
    void Enter(const std::vector<uint8_t>& state) {
        host.rejoining = host.lookerOn ? 0 : 1;
        host.playing = 0;
        Store(state);
        table.OnGameStart();
    }
    // Time on: the engine's due steps, the view's due timers, the clock's seconds. The clock's
    // seconds that a second took are counted until the table next sets them.
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
        if (host.clockRunning && at % 1000 == 0) {
            const int before = table.GetCountdown();
            if (before != lastTick) ticked = 0;
            table.OnTimer(host.GetClockTimerId());
            const bool tick = before > 0 && table.GetCountdown() == before - 1;
            ticked += tick;
            lastTick = tick ? table.GetCountdown() : kSet;
        }
    }
    // The seconds the step that last set the clock gave it: the seconds left, and those the
    // clock took since, unless something set it after its last second.
    int StepSeconds() {
        const int left = table.GetCountdown();
        return left == lastTick ? left + ticked : left;
    }

    Host host;
    Table table;
    Requests requests;
    std::unique_ptr<test::RasterSurface> surface;
    std::unique_ptr<CGameNotifyEx> router;
    static constexpr int kSet = -1000;
    int ticked = 0, lastTick = kSet;
    int lastNote = 0;
};

// A tile by the face it shows: copies of one kind look alike, and a client may hold them in
// another order or play the other copy.
std::string Tile(const MJTileInfo& r) {
    return std::to_string(r.nCode == kHiddenTile ? -1 : GetFaceIndex(r.nCode)) + "/" +
           std::to_string(r.nFace) + "/" + std::to_string(r.nDirection);
}

// The table as the records show it, a line a part: per seat its standing tiles, its melds
// (each group by its own records, relative to its top record, the groups sorted), its
// discards, showcase tile and flowers; the wall; the clock's hand and, with `seconds`, the
// seconds its step gave it. A looker-on's table leaves out the melds, discards and showcase
// tiles.
std::vector<std::string> Records(Client& c, bool seconds,
                                 bool lookerOn = false) {
    CMJGameScene2& s = c.table;
    std::vector<std::string> lines;
    for (int v = 0; v < kViewCount; ++v) {
        const MJTileInfo* row = s.Tiles().m_hands[v];
        std::string hand = "view " + std::to_string(v) + " hand:";
        // The state does not say which of the own tiles came last: a rebuilt hand holding
        // its drawn tile is sorted with it. Such a hand is compared by its tiles and places.
        if (v == kOwnView && row[0].bPresent && row[0].bHand && row[1].nCode != kHiddenTile) {
            std::vector<int> codes;
            std::string places;
            for (int i = 0; i < kHandSlotCount; ++i)
                if (row[i].bPresent && row[i].bHand) {
                    codes.push_back(GetFaceIndex(row[i].nCode));
                    places += " " + std::to_string(i) + "@" + std::to_string(row[i].nX) + "," +
                              std::to_string(row[i].nY) + "/" + std::to_string(row[i].nFace);
                }
            std::sort(codes.begin(), codes.end());
            hand += " drawn, holding";
            for (int code : codes) hand += " " + std::to_string(code);
            hand += " at" + places;
        } else {
            for (int i = 0; i < kHandSlotCount; ++i)
                if (row[i].bPresent && row[i].bHand)
                    hand += " " + std::to_string(i) + "=" + Tile(row[i]) + "@" +
                            std::to_string(row[i].nX) + "," + std::to_string(row[i].nY);
        }
        lines.push_back(hand);
        if (!lookerOn) {
            std::vector<std::string> groups;
            for (int top = kHandSlotCount - 1; top >= 5; top -= 4) {
                if (!row[top].bPresent || row[top].bHand) continue;
                std::string g = "(";
                for (int k = 0; k < 4; ++k) {
                    const MJTileInfo& r = row[top - k];
                    if (!r.bPresent) continue;
                    g += " " + Tile(r) + " m" + std::to_string(r.nMeld) + (r.bClaimed ? "c" : "") +
                         " " + std::to_string(r.nX - row[top].nX) + "," +
                         std::to_string(r.nY - row[top].nY) + "," +
                         std::to_string(r.nZ - row[top].nZ);
                }
                groups.push_back(g + " )");
            }
            std::sort(groups.begin(), groups.end());
            std::string melds = "view " + std::to_string(v) + " melds:";
            for (const std::string& g : groups) melds += " " + g;
            lines.push_back(melds);
            std::string rows = "view " + std::to_string(v) + " discards:";
            for (const MJTileInfo& r : s.Tiles().m_discards[v])
                rows += r.bPresent ? " " + Tile(r) : " .";
            lines.push_back(rows);
            const MJTileInfo& shown = s.Tiles().m_showcase[v];
            lines.push_back("view " + std::to_string(v) +
                            " showcase: " + (shown.bPresent ? Tile(shown) : "-"));
        }
        std::string flowers = "view " + std::to_string(v) + " flowers:";
        for (const MJTileInfo& r : s.Tiles().m_flowers[v])
            if (r.bPresent) flowers += " " + std::to_string(r.nCode);
        lines.push_back(flowers);
    }
    const int total = std::min(s.GetTotalTiles(), kWallRecords);
    std::string wall = "wall taken:";
    for (int i = 0; i < total; ++i) {
        const MJTileInfo& r = s.Tiles().m_wall[i];
        if (!r.bPresent) wall += " " + std::to_string(i);
        if (r.nFace == 1) wall += " up" + std::to_string(i) + "=" + Tile(r);
    }
    lines.push_back(wall);
    lines.push_back("clock: " + std::to_string(s.QZ_GetPointTo()) +
                    (seconds ? ", " + std::to_string(c.StepSeconds()) + " s" : ""));
    return lines;
}

// The lines that differ, the live client's first.
std::string Diff(const std::vector<std::string>& live, const std::vector<std::string>& other,
                 const std::string& what) {
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
    uint32_t seed;
    int own;      // the player's chair
    bool driven;  // the server plays the player's seat (else the client's automatic play)
    std::vector<const char*> want;  // what the deal must have shown
};

// How the deal ended, told by the deal's last state and result.
void Ending(const mj::Deal& deal, const std::vector<uint8_t>& last, bool inTurn, bool kongLast,
            std::vector<std::string>& shown) {
    const std::vector<uint8_t>& result = deal.Result();
    if (Word(result, 700 / 4) == 0) {
        shown.push_back("drawn");
        // The wall ran out at a kong's replacement; the head back at its start (it took the
        // whole wall, the tail one tile at most); or stopped where the tail's draws began.
        const int start = Word(last, 32), head = Word(last, 37);
        shown.push_back(kongLast ? "kong last" : head == start ? "head round" : "tail met");
        return;
    }
    bool robbed = false;
    for (size_t c = 0; c < 4; ++c) robbed |= Word(result, 1652 / 4 + 43 * c + 3 + 16) > 0;
    shown.push_back(robbed ? "robbed" : inTurn ? "self-drawn" : "discard win");
}

class RebuildDeals : public ::testing::TestWithParam<std::tuple<int, int>> {
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
    const std::string name = "seed " + std::to_string(row.seed) + " chair " +
                             std::to_string(row.own) + (row.driven ? " driven" : "") + " mode " +
                             std::to_string(mode);
    uint64_t now = 1000;
    clock.setTick(uint32_t(now));
    // Each notification with the states an entry would have got when it was sent, in the
    // order of the server's steps; the table a live client shows is that of the last step it
    // has seen (a notification it took, or a request it made).
    struct Sent {
        mj::Note note;
        bool toPlayer, toLooker;
        std::vector<uint8_t> state, lookerState;
        int order;
        bool ended = false;  // sent by the step that ended the deal
    };
    std::deque<Sent> notes;
    int order = 0, seen = -1;
    std::vector<uint8_t> shownState, lookerState;
    // A step that ends the deal leaves no state to come in with: the server gives none once
    // the deal is over. Its notifications are compared as the clients went on with them.
    bool stale = false;
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
            const bool toPlayer = (n.to & (1u << row.own)) != 0, toLooker = (n.to & mj::kToLookers);
            if (toPlayer || toLooker)
                notes.push_back({n, toPlayer, toLooker, playing->PlayerState(row.own),
                                 playing->DealRecord(row.own, false), order});
            ++order;
        });
    playing = &deal;
    // After a step of the deal (from the order of its first notification): had it ended the
    // deal, its notifications are marked.
    auto ending = [&](int first) {
        if (!deal.Over()) return;
        for (Sent& n : notes) n.ended |= n.order >= first;
    };
    for (int c = 0; c < mj::kChairs; ++c) deal.SetSeat(c, 100 + c, c != row.own || row.driven);
    Client live(mode, row.own, &now, ini, true), recovered(mode, row.own, &now, ini, true);
    Client looker(mode, row.own, &now, ini, true, true);
    // The live client's requests go to the deal; the recovered one must ask the same, in the
    // same order, and gets the same answers.
    struct Asked {
        int id;
        std::vector<uint8_t> body;
        mj::Answer answer;
    };
    std::deque<Asked> asked;
    std::string faults;
    std::vector<std::string> shown;  // what the live table showed
    bool ownKongLaid = false;        // the live client's added kong, its announcement not yet in
    bool kongAnswered = false;       // the live client's own kong, its replacement on its way
    bool inTurn = false, kongLast = false;
    uint64_t askedAt = 0;
    // The state carries no seconds left: a rebuilt clock gives the turn its time afresh, the
    // turn's or the claim's. The seconds a live step gave are compared where it gave the one
    // or the other from the deal's words (a quick close gives 1 second, a concealed kong adds
    // 3 to what was left) and where the state tells which: it does not tell a kong that waits
    // for those who may rob it (their time is the claim's), nor a countdown the server ended
    // (229165: the seat to draw gets its turn's time when it draws), from the turn before.
    auto timed = [&](Client& c) {
        const int s = c.StepSeconds();
        return (s == options.turnSeconds || s == options.claimSeconds) && c.lastNote != 229180 &&
               c.lastNote != 229165 && c.lastNote != 229197;
    };
    // The clients that come in: one of each. At the deal's first step, and every kFreshEntry
    // steps from a step the deal's seed sets, each is set up afresh, as a player who comes
    // back or a looker-on who enters starts a new client; at the steps between, the one there
    // comes in again on the scene it has, as a client whose network recovers rebuilds. Set up
    // afresh at every step, their scenes, screen buffers and pictures would cost more than all
    // the rest (every sixteen steps, still half a case's time); the rows' seeds together set
    // 63 of the 64 steps, so that a fresh client still comes in at almost every point.
    constexpr int kFreshEntry = 64;
    const int freshAt = int(row.seed % kFreshEntry);
    std::unique_ptr<Client> back, lookerIn;
    // They came in while the tiles were dealt, and went on until the live client's first move
    // after (which they do not see) or the step's end.
    bool entered = false;
    std::string early;
    auto compareEntered = [&] {
        if (!entered) return;
        entered = false;
        early += Diff(Records(live, timed(live)), Records(*back, timed(live)), "came back before");
        early += Diff(Records(looker, timed(looker), true),
                      Records(*lookerIn, timed(looker), true), "looker-on came before");
    };
    live.requests.send = [&](int id, std::vector<uint8_t> body) {
        compareEntered();
        if (deal.Running()) inTurn = deal.AwaitsDiscard();
        const int first = order;
        mj::Answer a = deal.Request(row.own, id, body);
        ending(first);
        asked.push_back({id, body, a});
        static const std::map<int, const char*> kOwn = {{229000, "own draw"},
                                                        {229025, "own peng"},
                                                        {229045, "own minggang"},
                                                        {229047, "own angang"},
                                                        {229049, "own bugang"}};
        if (a.code == mj::kDone && kOwn.count(id)) shown.push_back(kOwn.at(id));
        const bool kong = (id == 229045 || id == 229047 || id == 229049) && a.code == mj::kDone;
        ownKongLaid |= id == 229049 && a.code == mj::kDone;
        // The own concealed kong adds its seconds as its notification does to the others.
        if (id == 229047 && a.code == mj::kDone) live.lastNote = 229197;
        kongAnswered |= kong && Word(a.data, 1) >= 0;
        // A replacement of tile 0: the wall records hold code 0 too.
        if (kong && Word(a.data, 1) == 0) shown.push_back("own replacement 0");
        kongLast = kong;
        seen = order++;
        if (deal.Over())
            stale = true;
        else
            shownState = deal.PlayerState(row.own);
        askedAt = now;
        return a;
    };
    // A recovery while the replacement of the own kong was on its way puts the own tile drawn
    // last at stake after all: the rebuilt hand holds it sorted in, where the live hand holds
    // it apart, and the state offers no win on it. The automatic player may then discard
    // another tile of the same worth, or discard where the live one won. What it asks that
    // the live one did not is refused, and the server's notifications of the live one's moves
    // play them (the tables are compared once they have), until the client next recovers.
    bool sortedIn = false, refused = false;
    recovered.requests.send = [&](int id, std::vector<uint8_t> body) {
        if (sortedIn && !asked.empty() &&
            (asked.front().id != id || !Alike(asked.front().body, body))) {
            asked.pop_front();
            refused = true;
            return mj::Answer{mj::kRefused, {}};
        }
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
    // Where the player plays his seat, the recovered client is to go on making the live one's
    // moves; but the state names neither the claims on offer (a client rebuilt while a claim
    // button is on shows it no more: the server takes the silence for a pass) nor the own tile
    // drawn last (the rebuilt hand holds it sorted in, and the automatic player's first best
    // discard may then be another). There the client recovers only where neither is at stake.
    auto mayRecover = [&] {
        bool offered = live.table.Tiles().m_hands[kOwnView][0].bPresent != 0;
        for (int kind = CMJGameScene2::kClaimPeng; kind <= CMJGameScene2::kClaimPass; ++kind)
            offered |= live.table.IsClaimButtonActive(kind) != 0;
        return row.driven || !offered;
    };
    auto enter = [&](const std::vector<uint8_t>& state, const std::vector<uint8_t>& lookers) {
        if (steps % kFreshEntry == freshAt) back.reset(), lookerIn.reset();
        if (!back) back = std::make_unique<Client>(mode, row.own, &now, ini, false);
        if (!lookerIn) lookerIn = std::make_unique<Client>(mode, row.own, &now, ini, false, true);
        back->Enter(state);
        // Before the looker-on's first notification there is no deal to come into.
        if (!lookers.empty()) lookerIn->Enter(lookers);
    };
    auto run = [&](uint64_t at) {
        live.Run(at);
        recovered.Run(at);
        looker.Run(at);
        if (entered) back->Run(at), lookerIn->Run(at);
    };
    auto check = [&](const std::string& step, const mj::Note* result) {
        compareEntered();
        const bool liveTimed = timed(live), lookerTimed = timed(looker);
        const std::vector<std::string> want = Records(live, liveTimed);
        const std::vector<std::string> seenByLooker = Records(looker, lookerTimed, true);
        std::string out = early;
        early.clear();
        if (!asked.empty() && !sortedIn)
            out += "  the recovered client did not ask " + std::to_string(asked.front().id) +
                   " as the live one did\n";
        asked.clear();
        out += faults;
        faults.clear();
        // Going on from the last recovery with the same notifications.
        if (steps > 0 && !refused) out += Diff(want, Records(recovered, liveTimed), "went on");
        refused = false;
        // After the deal's end no state is given: the clients came in just before it, and
        // took the result as the live ones did.
        if (stale) {
            // The step ended the deal: there was no state to come in with after it.
        } else if (result) {
            enter(shownState, lookerState);
            back->Notify(*result);
            lookerIn->Notify(*result);
            out += Diff(want, Records(*back, liveTimed), "came back");
            out +=
                Diff(seenByLooker, Records(*lookerIn, lookerTimed, true), "looker-on came");
        } else {
            if (mayRecover()) {
                recovered.Recover(shownState);
                sortedIn = false;
                out += Diff(want, Records(recovered, liveTimed), "recovered");
            }
            enter(shownState, lookerState);
            out += Diff(want, Records(*back, liveTimed), "came back");
            out +=
                Diff(seenByLooker, Records(*lookerIn, lookerTimed, true), "looker-on came");
        }
        if (!out.empty() && ++failures <= 3)
            ADD_FAILURE() << name << ", step " << steps << " (" << step << "):\n" << out;
        ++steps;
    };
    bool dealing = false;  // the clients were rebuilt while the tiles were dealt
    for (int guard = 0; guard < 20000; ++guard) {
        while (!notes.empty()) {
            // A step's notification, with the copy the others get (a draw's tile hidden, the
            // lookers-on's deal record) when it comes next.
            const Sent sent = notes.front();
            const mj::Note& n = sent.note;
            notes.pop_front();
            const bool result = n.code == 211080;
            bool toPlayer = false, toLooker = false;
            for (const Sent* copy = &sent; copy;) {
                if (copy->ended && !result) stale = true;
                if (!copy->ended && copy->toPlayer && copy->order > seen)
                    seen = copy->order, shownState = copy->state;
                if (!copy->ended && copy->toLooker) lookerState = copy->lookerState;
                if (copy->toPlayer) {
                    live.Notify(copy->note);
                    recovered.Notify(copy->note);
                }
                if (copy->toLooker) looker.Notify(copy->note);
                toPlayer |= copy->toPlayer;
                toLooker |= copy->toLooker;
                if (copy != &sent) notes.pop_front();
                copy = !notes.empty() && notes.front().note.code == n.code &&
                               !(notes.front().toPlayer && toPlayer) &&
                               !(notes.front().toLooker && toLooker)
                           ? &notes.front()
                           : nullptr;
            }
            // The announcement of the player's own added kong, sent while he asked for it,
            // comes in after the kong was laid: his turn goes on with the turn's seconds.
            if (n.code == 229180 && ownKongLaid) {
                ownKongLaid = false;
                EXPECT_LE(live.table.GetCountdown(), options.turnSeconds) << name;
                EXPECT_GE(live.table.GetCountdown(), options.turnSeconds - 1) << name;
            }
            static const std::map<int, const char*> kMelds = {
                {229185, "peng"}, {229195, "minggang"}, {229197, "angang"}, {229199, "bugang"}};
            if (toPlayer && kMelds.count(n.code)) shown.push_back(kMelds.at(n.code));
            if (!result) kongLast = kMelds.count(n.code) && n.code != 229185;
            // Each client's animations and waits run out before the tables are compared: the
            // dice and the dealing (the server waits for them), and the 200 ms before an own
            // kong's replacement, also where the live client asked for the kong late in the
            // step. While the tiles are dealt, the clients are rebuilt and come in once.
            const int settle = n.code == 211040 ? 20000 : 300;
            for (int t = 0, started = 0; (t < settle / 10 || now < askedAt + 300) && started < 400;
                 ++t) {
                // The dealing ends with the clock's start and the own hand's sorting sweep.
                started += n.code != 211040 || ((!toPlayer || live.host.clockRunning) &&
                                                (!toLooker || looker.host.clockRunning));
                now += 10;
                clock.advance(10);
                run(now);
                if (!dealing && std::popcount(unsigned(live.table.DealtViews())) == 2) {
                    dealing = true;
                    shown.push_back("dealing");
                    if (mayRecover()) recovered.Recover(shownState);
                    enter(shownState, lookerState);
                    entered = true;
                }
                // The network recovers while the replacement of the live client's own kong
                // is on its way: the recovered client's, asked for as the live one did, is too.
                if (kongAnswered) {
                    kongAnswered = false;
                    if (mayRecover()) {
                        shown.push_back("own kong recovered");
                        recovered.Recover(shownState);
                        sortedIn = true;
                    }
                }
            }
            check(std::to_string(n.code), result ? &n : nullptr);
        }
        if (deal.Over()) break;
        now += 10;
        clock.advance(10);
        run(now);
        if (deal.Over()) continue;
        inTurn = deal.AwaitsDiscard();
        const int first = order;
        deal.Tick();
        ending(first);
    }
    ASSERT_TRUE(deal.Over()) << name;
    Ending(deal, shownState, inTurn, kongLast, shown);
    EXPECT_TRUE(dealing) << name << ": nothing came in while the tiles were dealt";
    for (const char* kind : row.want)
        EXPECT_NE(std::find(shown.begin(), shown.end(), kind), shown.end())
            << name << ": no " << kind;
}

// Chosen from a run over seeds 1 to 700, each with the player's chair the seed modulo 4, so
// that between them the rows reach every way a deal ends and every kind of meld, the
// player's own among them, in both scene modes; each row lists what it must reach.
const DealRow kRows[] = {
    // The server plays the player's seat: its three pungs, an added kong laid on one and, at
    // last, a second added kong robbed by a win; the seats beside it lay exposed and
    // concealed kongs; the player's client draws at the countdowns' ends.
    {1923, 1, true, {"peng", "minggang", "angang", "bugang", "robbed", "own draw"}},
    // The player's automatic play lays a peng and adds the fourth tile to it.
    {494, 3, false, {"own peng", "own bugang", "own draw"}},
    // To the wall's end: the last tail draws meet the head.
    {121, 2, false, {"own peng", "drawn"}},
    // The wall's end by the head alone: back at its start, it took the whole wall.
    {65, 1, true, {"head round", "drawn"}},
    // The network recovers while the replacement of the player's own kong is on its way.
    {557, 1, false, {"own bugang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {22, 2, false, {"own minggang", "own kong recovered", "minggang", "discard win"}},
    {54, 2, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {77, 1, false, {"own minggang", "self-drawn", "own kong recovered"}},
    {92, 0, false, {"own minggang", "self-drawn", "own kong recovered", "own peng"}},
    // The replacement of the player's own kong is tile 0.
    {606, 2, false, {"own replacement 0", "own minggang", "own kong recovered", "discard win"}},
    // More of every kind, the rarest first, then by seed.
    {382, 2, true, {"robbed", "minggang"}},
    {191, 3, true, {"robbed", "bugang", "minggang"}},
    {422, 2, true, {"robbed"}},
    {4, 0, true, {"minggang", "discard win"}},
    {7, 3, true, {"discard win"}},
    {9, 1, false, {"own minggang", "own kong recovered", "minggang", "discard win"}},
    {13, 1, false, {"own peng", "discard win"}},
    {14, 2, true, {"minggang", "discard win"}},
    {15, 3, false, {"tail met", "own bugang", "drawn", "own kong recovered", "bugang", "own peng"}},
    {20, 0, false, {"discard win"}},
    {23, 3, true, {"minggang", "discard win"}},
    {26, 2, false, {"bugang", "own peng", "discard win"}},
    {29, 1, false, {"own bugang", "angang", "own kong recovered", "own peng", "discard win"}},
    {30, 2, false, {"own peng", "discard win"}},
    {32, 0, true, {"robbed", "minggang"}},
    {34, 2, false, {"minggang", "own peng", "discard win"}},
    {38, 2, false, {"bugang", "minggang", "own peng", "discard win"}},
    {40, 0, false, {"self-drawn", "own peng"}},
    {46, 2, false, {"own bugang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {48,
     0,
     false,
     {"own bugang", "angang", "self-drawn", "own kong recovered", "bugang", "own peng"}},
    {50, 2, false, {"bugang", "minggang", "own peng", "discard win"}},
    {50, 2, true, {"self-drawn", "minggang"}},
    {51, 3, false, {"own minggang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {52, 0, false, {"own peng", "discard win"}},
    {53, 1, true, {"angang", "self-drawn", "bugang"}},
    {59,
     3,
     false,
     {"tail met", "own bugang", "angang", "drawn", "own kong recovered", "bugang", "minggang",
      "own peng"}},
    {63, 3, true, {"bugang", "minggang", "discard win"}},
    {72, 0, false, {"angang", "own peng", "discard win"}},
    {73, 1, false, {"bugang", "minggang", "own peng", "discard win"}},
    {75, 3, true, {"discard win"}},
    {78, 2, false, {"self-drawn", "bugang", "own peng"}},
    {86, 2, false, {"head round", "own minggang", "drawn", "own kong recovered", "own peng"}},
    {87, 3, false, {"own peng", "discard win"}},
    {98, 2, true, {"head round", "drawn", "minggang"}},
    {99, 3, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {100, 0, true, {"discard win"}},
    {103,
     3,
     false,
     {"tail met", "own minggang", "drawn", "own kong recovered", "minggang", "own peng"}},
    {105, 1, false, {"self-drawn"}},
    {106, 2, true, {"angang", "discard win"}},
    {113, 1, true, {"angang", "discard win"}},
    {114, 2, false, {"bugang", "own peng", "discard win"}},
    {115, 3, false, {"own minggang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {116, 0, false, {"bugang", "own peng", "discard win"}},
    {122, 2, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {126, 2, true, {"minggang", "discard win"}},
    {131, 3, false, {"head round", "drawn", "own peng"}},
    {131, 3, true, {"head round", "drawn", "bugang"}},
    {137, 1, false, {"own angang", "own kong recovered", "own peng", "discard win"}},
    {138, 2, true, {"discard win"}},
    {139,
     3,
     false,
     {"own bugang", "self-drawn", "own kong recovered", "bugang", "minggang", "own peng"}},
    {141, 1, false, {"minggang", "own peng", "self-drawn"}},
    {141, 1, true, {"tail met", "drawn", "bugang"}},
    {146, 2, false, {"own peng", "discard win"}},
    {148, 0, false, {"self-drawn", "minggang", "own peng"}},
    {149, 1, true, {"head round", "drawn"}},
    {154, 2, true, {"robbed"}},
    {163, 3, false, {"self-drawn", "minggang", "own peng"}},
    {164, 0, true, {"discard win"}},
    {167,
     3,
     false,
     {"own angang", "tail met", "drawn", "own kong recovered", "minggang", "own peng"}},
    {174, 2, true, {"bugang", "minggang", "discard win"}},
    {176, 0, true, {"bugang", "minggang", "discard win"}},
    {177, 1, true, {"minggang", "discard win"}},
    {180, 0, false, {"tail met", "drawn", "bugang", "minggang", "own peng"}},
    {180, 0, true, {"discard win"}},
    {190, 2, true, {"discard win"}},
    {192, 0, false, {"minggang", "discard win"}},
    {192, 0, true, {"discard win"}},
    {193, 1, false, {"own angang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {196, 0, false, {"own peng", "discard win"}},
    {199, 3, true, {"tail met", "angang", "drawn", "bugang", "minggang"}},
    {205, 1, false, {"own angang", "own kong recovered", "own peng", "discard win"}},
    {208, 0, false, {"own minggang", "self-drawn", "own kong recovered", "bugang"}},
    {208, 0, true, {"discard win"}},
    {211, 3, false, {"own bugang", "self-drawn", "own kong recovered", "own peng"}},
    {212, 0, false, {"own peng", "self-drawn"}},
    {215,
     3,
     false,
     {"own angang", "own bugang", "self-drawn", "own kong recovered", "bugang", "own peng"}},
    {217, 1, false, {"minggang", "own peng", "discard win"}},
    {217, 1, true, {"discard win"}},
    {222, 2, true, {"bugang", "discard win"}},
    {224, 0, true, {"angang", "self-drawn"}},
    {225, 1, false, {"own peng", "discard win"}},
    {225, 1, true, {"angang", "bugang", "minggang", "discard win"}},
    {231, 3, true, {"discard win"}},
    {235, 3, true, {"discard win"}},
    {238, 2, false, {"kong last", "own minggang", "drawn", "bugang", "minggang", "own peng"}},
    {239,
     3,
     false,
     {"own bugang", "own kong recovered", "bugang", "minggang", "own peng", "discard win"}},
    {241, 1, false, {"own bugang", "own kong recovered", "own peng", "discard win"}},
    {245,
     1,
     false,
     {"own bugang", "angang", "self-drawn", "own kong recovered", "bugang", "own peng"}},
    {248, 0, true, {"self-drawn"}},
    {250, 2, false, {"own peng", "discard win"}},
    {251, 3, true, {"head round", "angang", "drawn"}},
    {252, 0, false, {"own peng", "discard win"}},
    {256, 0, true, {"self-drawn"}},
    {258, 2, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {267, 3, false, {"own peng", "discard win"}},
    {267, 3, true, {"minggang", "discard win"}},
    {268, 0, true, {"self-drawn"}},
    {269, 1, false, {"discard win"}},
    {270, 2, true, {"discard win"}},
    {272, 0, true, {"bugang", "discard win"}},
    {273, 1, true, {"angang", "minggang", "discard win"}},
    {274, 2, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {275, 3, true, {"tail met", "angang", "drawn", "bugang"}},
    {276, 0, false, {"own bugang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {277, 1, true, {"minggang", "discard win"}},
    {280, 0, true, {"self-drawn"}},
    {281, 1, true, {"self-drawn", "bugang"}},
    {284, 0, false, {"tail met", "drawn", "bugang", "minggang", "own peng"}},
    {289, 1, false, {"own bugang", "own kong recovered", "own peng", "discard win"}},
    {293, 1, false, {"robbed", "own peng"}},
    {294, 2, false, {"self-drawn", "own peng"}},
    {299, 3, false, {"bugang", "own peng", "discard win"}},
    {300, 0, false, {"discard win"}},
    {303, 3, false, {"own peng", "discard win"}},
    {303, 3, true, {"discard win"}},
    {308, 0, true, {"discard win"}},
    {310, 2, false, {"minggang", "own peng", "discard win"}},
    {313, 1, true, {"discard win"}},
    {318,
     2,
     false,
     {"own bugang", "angang", "self-drawn", "own kong recovered", "minggang", "own peng"}},
    {325, 1, true, {"bugang", "minggang", "discard win"}},
    {330, 2, false, {"head round", "drawn", "own peng"}},
    {332, 0, true, {"self-drawn"}},
    {334, 2, true, {"bugang", "discard win"}},
    {335, 3, true, {"bugang", "minggang", "discard win"}},
    {336, 0, false, {"minggang", "own peng", "discard win"}},
    {340, 0, true, {"bugang", "discard win"}},
    {341, 1, false, {"robbed", "own peng"}},
    {344, 0, true, {"discard win"}},
    {347, 3, true, {"self-drawn", "minggang"}},
    {351, 3, true, {"discard win"}},
    {353, 1, true, {"self-drawn", "minggang"}},
    {354, 2, false, {"own minggang", "self-drawn", "own kong recovered", "own peng"}},
    {358, 2, false, {"minggang", "own peng", "discard win"}},
    {358, 2, true, {"discard win"}},
    {363, 3, true, {"discard win"}},
    {376, 0, false, {"bugang", "minggang", "own peng", "discard win"}},
    {376, 0, true, {"tail met", "drawn", "minggang"}},
    {383, 3, false, {"discard win"}},
    {384, 0, false, {"own replacement 0", "own minggang", "own kong recovered", "discard win"}},
    {386, 2, true, {"minggang", "discard win"}},
    {387, 3, true, {"bugang", "minggang", "discard win"}},
    {391, 3, true, {"discard win"}},
    {394, 2, false, {"own peng", "discard win"}},
    {395, 3, true, {"self-drawn"}},
    {396, 0, true, {"self-drawn"}},
    {401, 1, false, {"own peng", "discard win"}},
    {401, 1, true, {"bugang", "minggang", "discard win"}},
    {403, 3, false, {"kong last", "drawn", "bugang", "own peng"}},
    {403, 3, true, {"head round", "drawn"}},
    {407, 3, true, {"minggang", "discard win"}},
    {412, 0, true, {"bugang", "minggang", "discard win"}},
    {421, 1, true, {"minggang", "discard win"}},
    {424, 0, false, {"own angang", "own kong recovered", "own peng", "discard win"}},
    {425, 1, false, {"self-drawn", "own peng"}},
    {428, 0, true, {"bugang", "minggang", "discard win"}},
    {432, 0, false, {"own bugang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {432, 0, true, {"self-drawn"}},
    {434, 2, true, {"self-drawn", "minggang"}},
    {435, 3, true, {"minggang", "discard win"}},
    {436,
     0,
     false,
     {"own angang", "angang", "own kong recovered", "bugang", "own peng", "discard win"}},
    {438, 2, false, {"own peng", "discard win"}},
    {444, 0, false, {"own peng", "discard win"}},
    {444, 0, true, {"discard win"}},
    {447, 3, false, {"bugang", "minggang", "own peng", "discard win"}},
    {451, 3, true, {"bugang", "minggang", "discard win"}},
    {452, 0, false, {"angang", "bugang", "minggang", "discard win"}},
    {452, 0, true, {"tail met", "angang", "drawn", "minggang"}},
    {453, 1, false, {"own peng", "discard win"}},
    {454, 2, false, {"own minggang", "own kong recovered", "own peng", "discard win"}},
    {455, 3, false, {"own peng", "discard win"}},
    {456,
     0,
     false,
     {"own angang", "own minggang", "self-drawn", "own kong recovered", "minggang", "own peng"}},
    {457, 1, false, {"own minggang", "own kong recovered", "discard win"}},
    {461, 1, false, {"own peng", "discard win"}},
    {462, 2, true, {"angang", "discard win"}},
    {465, 1, false, {"minggang", "own peng", "discard win"}},
    {467, 3, true, {"tail met", "drawn", "bugang", "minggang"}},
    {470, 2, true, {"tail met", "angang", "drawn", "minggang"}},
    {474, 2, true, {"bugang", "discard win"}},
    {475, 3, false, {"minggang", "own peng", "discard win"}},
    {482, 2, true, {"angang", "minggang", "discard win"}},
    {484, 0, false, {"own peng", "discard win"}},
    {486, 2, false, {"own peng", "discard win"}},
    {490, 2, false, {"bugang", "own peng", "discard win"}},
    {491, 3, false, {"tail met", "drawn", "bugang", "minggang", "own peng"}},
    {494, 2, true, {"tail met", "angang", "drawn", "bugang", "minggang"}},
    {495, 3, false, {"self-drawn", "own peng"}},
    {496, 0, true, {"minggang", "discard win"}},
    {498, 2, true, {"self-drawn", "bugang", "minggang"}},
    {499, 3, true, {"bugang", "discard win"}},
    {505, 1, false, {"own angang", "own kong recovered", "own peng", "discard win"}},
    {506, 2, true, {"angang", "minggang", "discard win"}},
    {509, 1, true, {"bugang", "discard win"}},
    {512, 0, false, {"own minggang", "own bugang", "self-drawn", "own kong recovered", "own peng"}},
    {512, 0, true, {"angang", "self-drawn", "bugang"}},
    {522, 2, true, {"discard win"}},
    {524, 0, true, {"discard win"}},
    {525, 1, true, {"discard win"}},
    {526, 2, false, {"own peng", "discard win"}},
    {534, 2, true, {"discard win"}},
    {538,
     2,
     false,
     {"own angang", "own minggang", "own kong recovered", "own peng", "discard win"}},
    {544, 0, false, {"discard win"}},
    {550, 2, false, {"bugang", "own peng", "discard win"}},
    {553, 1, false, {"own bugang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {554, 2, true, {"self-drawn"}},
    {556, 0, false, {"own peng", "discard win"}},
    {565, 1, true, {"angang", "self-drawn"}},
    {566, 2, true, {"discard win"}},
    {571, 3, true, {"bugang", "discard win"}},
    {572, 0, false, {"bugang", "minggang", "own peng", "discard win"}},
    {576, 0, true, {"discard win"}},
    {580, 0, true, {"discard win"}},
    {585, 1, false, {"self-drawn"}},
    {586, 2, true, {"tail met", "angang", "drawn", "bugang", "minggang"}},
    {594, 2, false, {"own peng", "discard win"}},
    {595, 3, false, {"own peng", "discard win"}},
    {597, 1, true, {"bugang", "discard win"}},
    {598, 2, false, {"minggang", "own peng", "discard win"}},
    {604, 0, true, {"kong last", "drawn", "bugang", "minggang"}},
    {609, 1, true, {"discard win"}},
    {611, 3, false, {"own bugang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {619, 3, false, {"head round", "drawn", "minggang", "own peng"}},
    {619, 3, true, {"angang", "minggang", "discard win"}},
    {620, 0, false, {"own bugang", "angang", "own kong recovered", "own peng", "discard win"}},
    {620, 0, true, {"angang", "bugang", "discard win"}},
    {621, 1, true, {"angang", "discard win"}},
    {622, 2, false, {"robbed", "own minggang", "own bugang", "own kong recovered", "own peng"}},
    {629, 1, false, {"self-drawn", "own peng"}},
    {629, 1, true, {"self-drawn"}},
    {632, 0, true, {"minggang", "discard win"}},
    {635, 3, false, {"tail met", "drawn", "bugang", "minggang"}},
    {635, 3, true, {"head round", "drawn"}},
    {643, 3, false, {"self-drawn", "bugang", "minggang", "own peng"}},
    {644, 0, false, {"head round", "drawn", "bugang", "own peng"}},
    {644, 0, true, {"head round", "drawn", "bugang"}},
    {645, 1, false, {"own peng", "discard win"}},
    {645, 1, true, {"bugang", "minggang", "discard win"}},
    {649, 1, false, {"own peng", "discard win"}},
    {652, 0, true, {"bugang", "discard win"}},
    {653,
     1,
     false,
     {"own bugang", "angang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {655, 3, false, {"self-drawn", "own peng"}},
    {657, 1, true, {"discard win"}},
    {661, 1, false, {"head round", "drawn", "minggang", "own peng"}},
    {668, 0, false, {"tail met", "drawn", "minggang", "own peng"}},
    {668, 0, true, {"head round", "drawn"}},
    {669, 1, false, {"discard win"}},
    {670, 2, false, {"self-drawn", "bugang", "minggang", "own peng"}},
    {670, 2, true, {"tail met", "drawn", "bugang", "minggang"}},
    {673, 1, false, {"own bugang", "angang", "self-drawn", "own kong recovered", "own peng"}},
    {675, 3, false, {"discard win"}},
    {676, 0, true, {"self-drawn"}},
    {677, 1, false, {"own peng", "discard win"}},
    {678, 2, false, {"own bugang", "own kong recovered", "minggang", "own peng", "discard win"}},
    {687, 3, false, {"self-drawn", "own peng"}},
    {688, 0, false, {"robbed"}},
    {688, 0, true, {"robbed"}},
    {689, 1, false, {"own peng", "discard win"}},
    {698, 2, false, {"self-drawn", "minggang", "own peng"}},
};

// The rows of a group, in both scene modes: a group's deals take half a minute of processor
// time under the sanitizers, well inside a case's time-out on a busy machine.
constexpr int kGroups = 24;

TEST_P(RebuildDeals, EveryStepRebuildsTheLiveTable) {
    if (!test::HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    const auto [mode, group] = GetParam();
    for (size_t i = size_t(group); i < std::size(kRows); i += kGroups) Play(kRows[i], mode);
}

INSTANTIATE_TEST_SUITE_P(BothSceneModes, RebuildDeals,
                         ::testing::Combine(::testing::Values(2, 1), ::testing::Range(0, kGroups)));

}  // namespace
}  // namespace hqlv::mahjong
