// Deal after deal on a virtual X display, with the programs a player runs: the local game
// server, the stand-in hall and the client.
//  - A client left alone on a seeded table plays three deals in a row: its own turns run
//    out until automatic play takes over at the third, the start button comes back after
//    each result and automatic play presses it, and the server's record holds three deals
//    in which the client's chair played. Each first own turn of a deal sends its draw
//    within two seconds, and the server never has to draw for the client.
//  - A clicking player on a fixed wall takes a peng, an exposed gang with its replacement
//    and the win on that replacement, each clicked at the button's logged place once a
//    picture of the screen shows the button lit against the idle strip; after the result
//    it presses the start button and the next deal starts.
// The pictures of the runs are kept in the build folder under play-loop/.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "mahjong/scene/game_scene.h"
#include "rules/common.h"
#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::ReadFile;
using e2e::ReadScreen;
using e2e::ServerProcess;
using e2e::VirtualDisplay;
using e2e::WaitFor;
namespace mj = server::mj;
using Clock = std::chrono::steady_clock;

std::string Kept() {
    return std::string(HQLV_BUILD_DIR) + "/play-loop";
}

void Keep(const QImage& screen, const std::string& name) {
    EXPECT_FALSE(screen.isNull()) << name;
    screen.save(QString::fromStdString(Kept() + "/" + name));
}

std::string AsanOptions() {
    // Under X the platform's libraries keep blocks of their own at exit: leaks are the
    // offscreen runs' job.
    const char* asan = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (asan ? asan : "") + (asan && *asan ? ":" : "") +
           "intercept_strndup=0:detect_leaks=0";
}

bool Tools() {
    return access("/usr/bin/Xvfb", X_OK) == 0 && access("/usr/bin/xdotool", X_OK) == 0;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

// ---- a client left alone --------------------------------------------------------------------

TEST(PlayLoopOnScreen, ALeftAloneClientPlaysThreeDealsInARow) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    std::filesystem::create_directories(Kept());
    HallRun run("loop");
    const std::string record = run.dir() + "/record.txt", fb = run.dir() + "/fb",
                      shots = run.dir() + "/shots";
    std::filesystem::create_directories(fb);
    std::filesystem::create_directories(shots);
    ServerProcess server;
    // Three turn seconds: the client's turns run out (it plays its drawn tile before the
    // server's deadline of turn + grace + 2 seconds) until automatic play takes over.
    // The sanitizer's client deals slower than a player's build: more time before play.
    ASSERT_TRUE(server.Start({"--seed", "7", "--record", record, "--turn", "3", "--claim", "1",
                              "--think", "100", "--grace", "0", "--deal", "12000"},
                             run.dir()));
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(getpid(), fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                          "HQLV_TABLE_SHOTS=" + shots, AsanOptions()}));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            at = e2e::ButtonPoints(e2e::DayLogSince(program, before));
            return at.count("开始") != 0;
        },
        60000))
        << run.ClientLog();
    Keep(ReadScreen(fb + "/Xvfb_screen0"), "alone-idle.png");
    // The player presses start once; every later deal is started by the client itself.
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["开始"]);
            return WaitFor([&] { return server.Log().find("deal: started") != std::string::npos; },
                           1500);
        },
        30000))
        << server.Log();
    e2e::XdoMove(x.name(), {5, 5});  // the pointer rests off the table

    // The server's log, read as it grows: each line stamped with the time it was seen.
    struct Deal {
        Clock::time_point started, turn, drawn;
        bool haveTurn = false, haveDraw = false, shotStart = false, shotResult = false;
        Clock::time_point over;
        bool isOver = false;
    };
    std::vector<Deal> deals;
    size_t read = 0;
    const auto deadline = Clock::now() + std::chrono::minutes(25);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        const std::string log = server.Log();
        const auto now = Clock::now();
        while (true) {
            const size_t end = log.find('\n', read);
            if (end == std::string::npos) break;
            const std::string line = log.substr(read, end - read);
            read = end + 1;
            if (line.find("deal: started") != std::string::npos) {
                deals.push_back(Deal{});
                deals.back().started = now;
            }
            if (deals.empty()) continue;
            Deal& d = deals.back();
            if (line.find("deal: chair 0 draws next") != std::string::npos && !d.haveTurn) {
                d.haveTurn = true;
                d.turn = now;
            }
            if (line.find("client 1: request 229000") != std::string::npos && d.haveTurn &&
                !d.haveDraw) {
                d.haveDraw = true;
                d.drawn = now;
            }
            if (line.find("deal: over") != std::string::npos) {
                d.isOver = true;
                d.over = now;
            }
        }
        // The table after each deal's dealing, and each result.
        for (size_t i = 0; i < deals.size(); ++i) {
            Deal& d = deals[i];
            if (!d.shotStart && now - d.started > std::chrono::seconds(10)) {
                d.shotStart = true;
                Keep(ReadScreen(fb + "/Xvfb_screen0"),
                     "alone-deal" + std::to_string(i + 1) + "-start.png");
            }
            if (d.isOver && !d.shotResult && now - d.over > std::chrono::milliseconds(1500)) {
                d.shotResult = true;
                Keep(ReadScreen(fb + "/Xvfb_screen0"),
                     "alone-deal" + std::to_string(i + 1) + "-result.png");
            }
        }
        if (deals.size() >= 3 && deals[2].isOver && deals[2].shotResult) break;
    }
    const std::string log = server.Log(), records = ReadFile(record);
    for (const char* name : {"table-start.png", "table-meld.png", "table-result.png"})
        if (std::filesystem::exists(shots + "/" + name))
            std::filesystem::copy_file(shots + "/" + name, Kept() + "/alone-last-" + name,
                                       std::filesystem::copy_options::overwrite_existing);
    std::ofstream(Kept() + "/alone-server.log") << log;
    std::ofstream(Kept() + "/alone-record.txt") << records;
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();

    ASSERT_GE(deals.size(), 3u) << log;
    EXPECT_GE(CountOf(records, "result:"), 3) << records;
    // Three starts: the first pressed by the player, the others by automatic play.
    EXPECT_GE(CountOf(log, "client 1: request 201160"), 3);
    // The client's chair played in every deal: each deal block lists its discards.
    std::istringstream in(records);
    int deal = -1, played = 0;
    bool chair0 = false;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("deal ", 0) == 0) ++deal, chair0 = false;
        if (l.rfind("chair ", 0) == 0) chair0 = l.rfind("chair 0", 0) == 0;
        if (chair0 && l.find("discards:") != std::string::npos && l.size() > 14 && deal < 3)
            ++played;
    }
    EXPECT_EQ(played, 3) << records;
    // Each deal's first own turn drew within two seconds, with the clock running; the
    // server never drew for the client's chair.
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("deal " + std::to_string(i + 1));
        ASSERT_TRUE(deals[i].haveTurn && deals[i].haveDraw);
        EXPECT_LE(deals[i].drawn - deals[i].turn, std::chrono::milliseconds(2000));
    }
    EXPECT_EQ(log.find("chair 0 drawn for at its time-out"), std::string::npos) << log;
}

// ---- a clicking player on a fixed wall ------------------------------------------------------

int32_t W(const std::vector<uint8_t>& b, size_t i) {
    int32_t v = 0;
    if (i * 4 + 4 <= b.size()) std::memcpy(&v, b.data() + i * 4, 4);
    return v;
}

std::vector<uint8_t> Body(size_t bytes, std::initializer_list<int32_t> words) {
    std::vector<uint8_t> b(bytes, 0);
    const int32_t head[4] = {100, 0, 0, 0};
    std::memcpy(b.data(), head, sizeof head);
    size_t i = 4;
    for (int32_t v : words) {
        std::memcpy(b.data() + i * 4, &v, 4);
        ++i;
    }
    return b;
}

void WriteWall(const std::string& folder, const std::vector<int32_t>& wall) {
    std::ofstream out(folder + "/test.ini");
    out << "[Card]\nMade=1\nTotal=";
    for (int32_t id : wall) out << id << "|";
    out << "\n";
}

// The key by which the client sorts a tile into the own hand (greater keys first from the
// hand's right end); tiles the client takes for jokers go to its left end.
int ClientKey(int32_t id) {
    static CMJGameScene2 keys;
    return keys.IsJokerTile(id) && !keys.SortsJokers() ? -1 : keys.SortKey(id);
}

// What chair 0 did in a probe of a deal, played as the clicking player plays it: the
// strongest claim offered (win, gang, peng; else pass), the drawn tile played at once unless
// it wins, after a peng the tile the client moves into its draw slot (its highest kind).
struct ProbeRun {
    std::vector<std::string> events;
    int replacementAt = -1;  // the wall position of the first gang's replacement
    bool won = false;
    int banker = -1;
};

ProbeRun Probe(const mj::DealOptions& o, uint32_t seed) {
    ProbeRun out;
    rules::SeedRandom(seed);
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
    mj::Deal d(
        o, [&] { return now; }, [&](const mj::Note& n) { notes.push_back(n); });
    for (int c = 0; c < mj::kChairs; ++c) d.SetSeat(c, 100 + c, c != 0);
    if (!d.Start()) return out;
    out.banker = d.Turn();
    auto held = [&] {
        int32_t h[32];
        const int32_t n = d.Table().ListHeld(0, h, 32);
        return std::vector<int32_t>(h, h + n);
    };
    auto discard = [&](int32_t tile) {
        std::vector<uint8_t> b = Body(108, {0, 0, 0, 100});
        const int32_t words[3] = {1, 1, tile};
        std::memcpy(b.data() + 20 * 4, &words[0], 4);
        std::memcpy(b.data() + 25 * 4, &words[1], 4);
        std::memcpy(b.data() + 26 * 4, &words[2], 4);
        d.Request(0, 221080, b);
    };
    auto selfWin = [&](int32_t tile) {
        if (d.Request(0, 229080, Body(48, {0, tile, 2})).code == mj::kDone) {
            out.events.push_back("hu");
            return true;
        }
        return false;
    };
    size_t seen = 0;
    for (int guard = 0; guard < 20000 && d.Running(); ++guard) {
        while (seen < notes.size()) {
            const mj::Note n = notes[seen++];
            if (!(n.to & 1) || n.code != 221170) continue;
            const int32_t from = W(n.body, 1), tile = W(n.body, 21), f = W(n.body, 6);
            if (!f || from == 0) continue;
            std::vector<int32_t> same;
            for (int32_t id : held())
                if (d.Table().KindIndexOf(id) == d.Table().KindIndexOf(tile)) same.push_back(id);
            if (f & 8) {
                if (d.Request(0, 229080, Body(48, {from, tile, 1})).code == mj::kDone)
                    out.events.push_back("hu");
            } else if ((f & 2) && same.size() == 3) {
                auto body = Body(64, {from, tile, same[0], same[1], same[2], 1});
                d.Request(0, 229015, body);
                const mj::Answer a = d.Request(0, 229045, body);
                out.events.push_back("gang");
                if (a.code == mj::kDone) {
                    const int32_t rep = W(a.data, 1);
                    if (out.replacementAt < 0) out.replacementAt = W(a.data, 3);
                    if (!((W(a.data, 2) & 8) && selfWin(rep))) discard(rep);
                }
            } else if ((f & 1) && same.size() >= 2) {
                auto body = Body(64, {from, tile, same[0], same[1], -1});
                d.Request(0, 229010, body);
                d.Request(0, 229025, body);
                out.events.push_back("peng");
            } else {
                d.Request(0, 229005, Body(40, {from, tile}));
                out.events.push_back("pass");
            }
        }
        if (d.Running() && d.Turn() == 0 && d.AwaitsDraw()) {
            const mj::Answer a = d.Request(0, 229000, Body(96, {0, 0, 0, 100}));
            const int32_t tile = W(a.data, 1);
            if (a.code == mj::kDone && !((W(a.data, 3) & 8) && selfWin(tile))) discard(tile);
        }
        if (d.Running() && d.Turn() == 0 && d.AwaitsDiscard()) {
            std::vector<int32_t> h = held();
            if (h.empty()) break;
            const auto top = std::max_element(h.begin(), h.end(), [&](int32_t a, int32_t b) {
                return ClientKey(a) < ClientKey(b);
            });
            discard(*top);
        }
        now += 100;
        d.Tick();
    }
    out.won = d.Over() && W(d.Result(), 165) >= 1;
    return out;
}

// The dealt positions by chair and the order in which the wall's positions are drawn from
// its head, from a deal of server-driven players on the wall 0, 1, 2, ...
struct WallPlan {
    std::vector<int32_t> dealt[mj::kChairs];
    std::vector<int32_t> headOrder;
    std::map<int, std::vector<int32_t>> ofKind;
    int banker = -1;
};

WallPlan Plan(const std::string& folder, uint32_t seed) {
    WallPlan p;
    std::vector<int32_t> identity(136);
    for (int32_t k = 0; k < 136; ++k) identity[size_t(k)] = k;
    WriteWall(folder, identity);
    mj::DealOptions o;
    o.testIniFolder = folder;
    o.thinkMs = 0;
    rules::SeedRandom(seed);
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
    mj::Deal d(
        o, [&] { return now; }, [&](const mj::Note& n) { notes.push_back(n); });
    for (int c = 0; c < mj::kChairs; ++c) d.SetSeat(c, 100 + c, true);
    if (!d.Start()) return p;
    p.banker = d.Turn();
    for (int c = 0; c < mj::kChairs; ++c) {
        int32_t h[32];
        const int32_t n = d.Table().ListHeld(c, h, 32);
        p.dealt[c].assign(h, h + n);
    }
    for (int32_t id = 0; id < 136; ++id) p.ofKind[d.Table().KindIndexOf(id)].push_back(id);
    for (int guard = 0; guard < 5000 && d.Running(); ++guard) {
        now += 100;
        d.Tick();
    }
    for (const mj::Note& n : notes)
        if (n.code == 229160) {
            const int32_t pos = W(n.body, 2);
            if (std::find(p.headOrder.begin(), p.headOrder.end(), pos) == p.headOrder.end())
                p.headOrder.push_back(pos);
        }
    // Positions the probe's deal never reached follow in their order.
    for (int32_t pos = 0; pos < 136; ++pos) {
        bool dealt = false;
        for (const auto& v : p.dealt) dealt |= std::find(v.begin(), v.end(), pos) != v.end();
        if (!dealt && std::find(p.headOrder.begin(), p.headOrder.end(), pos) == p.headOrder.end())
            p.headOrder.push_back(pos);
    }
    return p;
}

// Chair 0 holds a pair of honour A, three of honour B, the highest honour X alone, two runs
// and a lone y; the chair aHolder holds the third A, bHolder the fourth B, each its only
// honour (let go first). Every other copy of A, X and y lies where the wall is drawn last.
// With `tail` given, the y there is swapped onto that position.
std::vector<int32_t> BuildWall(WallPlan p, uint32_t seed, int aHolder, int bHolder, int tail = -1) {
    auto take = [&](int kind) {
        std::vector<int32_t>& v = p.ofKind[kind];
        const int32_t id = v.back();
        v.pop_back();
        return id;
    };
    // Honours by the client's key, those it takes for jokers left out: X has the greatest
    // (the client plays it after the peng, from the hand's right end), B the least.
    std::vector<int> honours;
    for (auto& [k, ids] : p.ofKind)
        if (k > 30 && ClientKey(ids.front()) >= 0) honours.push_back(k);
    std::sort(honours.begin(), honours.end(), [&](int a, int b) {
        return ClientKey(p.ofKind[a].front()) < ClientKey(p.ofKind[b].front());
    });
    const int B = honours.front(), A = honours[1], X = honours.back();
    const int y = 29;  // the nine of the third suit
    std::vector<int32_t> hands[mj::kChairs];
    hands[0] = {take(A), take(A), take(B), take(B), take(B), take(X)};
    for (int k : {1, 2, 3, 14, 15, 16}) hands[0].push_back(take(k));
    hands[0].push_back(take(y));
    hands[aHolder] = {take(A)};
    hands[bHolder] = {take(B)};
    std::vector<int32_t> last;
    for (int i = 0; i < 2; ++i) last.push_back(take(y));
    const int32_t yTail = take(y);
    std::vector<int32_t> rest;
    for (auto& [k, ids] : p.ofKind)
        if (k <= 30)
            for (int32_t id : ids) rest.push_back(id);
    std::mt19937 mix(seed);
    std::shuffle(rest.begin(), rest.end(), mix);
    for (auto& [k, ids] : p.ofKind)
        if (k > 30)
            for (int32_t id : ids) last.push_back(id);
    std::vector<int32_t> wall(136, -1);
    size_t next = 0;
    for (int c = 0; c < mj::kChairs; ++c)
        for (size_t k = 0; k < p.dealt[c].size(); ++k)
            wall[size_t(p.dealt[c][k])] = k < hands[c].size() ? hands[c][k] : rest[next++];
    std::vector<int32_t> fill(rest.begin() + long(next), rest.end());
    fill.push_back(yTail);
    fill.insert(fill.end(), last.begin(), last.end());
    size_t f = 0;
    for (int32_t pos : p.headOrder)
        if (wall[size_t(pos)] < 0) wall[size_t(pos)] = fill[f++];
    if (tail >= 0 && tail < 136) {
        const auto at = std::find(wall.begin(), wall.end(), yTail);
        std::swap(*at, wall[size_t(tail)]);
    }
    return wall;
}

// The square of half-size h around a point: how many pixels differ clearly between two
// pictures of the screen.
int Differing(const QImage& a, const QImage& b, std::pair<int, int> c, int h = 16) {
    if (a.isNull() || b.isNull()) return 0;
    int n = 0;
    for (int y = c.second - h; y < c.second + h; ++y)
        for (int x = c.first - h; x < c.first + h; ++x) {
            if (x < 0 || y < 0 || x >= a.width() || y >= a.height()) continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q)) >
                 60;
        }
    return n;
}

TEST(PlayLoopOnScreen, AClickingPlayerTakesPengGangAndTheWinThenStartsTheNextDeal) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    std::filesystem::create_directories(Kept());
    HallRun run("clicks");
    const std::string folder = run.dir() + "/deal";
    std::filesystem::create_directories(folder);
    mj::DealOptions o;
    o.testIniFolder = folder;
    o.thinkMs = 1500;
    o.turnSeconds = 30;
    o.claimSeconds = 20;
    o.graceSeconds = 1;
    // The sanitizer's client deals slower than a player's build: more time before play.
    o.dealMs = 12000;
    // A seed whose banker is a server-driven seat and a wall on which the plan plays out:
    // peng, then the gang, then the win on its replacement.
    uint32_t seed = 0;
    std::vector<int32_t> wall;
    for (uint32_t s = 20261207; s < 20261207 + 40 && wall.empty(); ++s) {
        const WallPlan plan = Plan(folder, s);
        if (plan.banker <= 0) continue;
        for (int a = 1; a < 4 && wall.empty(); ++a)
            for (int b = 1; b < 4 && wall.empty(); ++b) {
                if (a == b) continue;
                WriteWall(folder, BuildWall(plan, s, a, b));
                const ProbeRun first = Probe(o, s);
                if (first.replacementAt < 0) continue;
                const std::vector<int32_t> w = BuildWall(plan, s, a, b, first.replacementAt);
                WriteWall(folder, w);
                const ProbeRun second = Probe(o, s);
                std::vector<std::string> claims;
                for (const std::string& e : second.events)
                    if (e != "pass") claims.push_back(e);
                if (second.won && claims == std::vector<std::string>{"peng", "gang", "hu"}) {
                    seed = s;
                    wall = w;
                }
            }
    }
    ASSERT_FALSE(wall.empty()) << "no wall found on which the plan plays out";
    WriteWall(folder, wall);

    mj::MahjongOptions opt;
    opt.seed = seed;
    opt.deal = o;
    opt.recordFile = run.dir() + "/deals.txt";
    std::mutex logMu;
    std::string serverLog;
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [&](const std::string& l) {
                                                        std::lock_guard<std::mutex> g(logMu);
                                                        serverLog += l + "\n";
                                                    }}};
    server.SetGameHandler(std::make_shared<mj::MahjongHandler>(opt));
    ASSERT_TRUE(server.Start());
    auto logged = [&](const std::string& what) {
        std::lock_guard<std::mutex> g(logMu);
        return CountOf(serverLog, what);
    };

    const std::string fb = run.dir() + "/fb", shots = run.dir() + "/shots",
                      trace = run.dir() + "/trace.txt";
    std::filesystem::create_directories(fb);
    std::filesystem::create_directories(shots);
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(getpid() + 7, fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(
        server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_TABLE_SHOTS=" + shots,
                        "HQLV_UI_TRACE=" + trace, AsanOptions()}));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            at = e2e::ButtonPoints(e2e::DayLogSince(program, before));
            return at.count("开始") && at.count("碰") && at.count("摸牌");
        },
        60000))
        << run.ClientLog();
    const std::pair<int, int> away{5, 5};  // the pointer's rest, off the table's buttons
    auto screen = [&] { return ReadScreen(fb + "/Xvfb_screen0"); };
    auto click = [&](std::pair<int, int> p) {
        e2e::XdoClick(x.name(), p);
        e2e::XdoMove(x.name(), away);  // the pointer must not cover what is compared
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["开始"]);
            return server.WaitForRequest(201160, 1500).has_value();
        },
        30000));
    e2e::XdoMove(x.name(), away);
    // The dealing ends with the client's picture of the table; the strip is idle then.
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 60000))
        << run.ClientLog();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const QImage idle = screen();
    Keep(idle, "clicks-start.png");
    for (const char* b : {"碰", "杠", "胡", "过"}) ASSERT_TRUE(at.count(b)) << b;

    // The player: a lit button (the strongest) is clicked; otherwise the drawn tile.
    std::vector<std::string> clicked;
    const auto deadline = Clock::now() + std::chrono::minutes(6);
    bool afterPeng = false, afterGang = false;
    while (Clock::now() < deadline && !logged("notification 211080")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const QImage now = screen();
        auto lit = [&](const char* b) { return Differing(now, idle, at[b]) > 120; };
        const char* choice = nullptr;
        for (const char* b : {"胡", "杠", "碰", "过"})
            if (!choice && lit(b)) choice = b;
        if (choice && std::string(choice) != "过") {
            // The offered button against the idle strip: clearly lit, its neighbours' cells
            // aside.
            const std::string name = choice == std::string("碰")   ? "peng"
                                     : choice == std::string("杠") ? "gang"
                                                                   : "hu";
            Keep(now, "clicks-" + name + "-offer.png");
            EXPECT_GT(Differing(now, idle, at[choice]), 200) << name;
            clicked.push_back(name);
        }
        click(choice ? at[choice] : at["摸牌"]);
        if (!afterPeng && server.WaitForRequest(229025, 10).has_value()) {
            afterPeng = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            Keep(screen(), "clicks-after-peng.png");
        }
        if (!afterGang && server.WaitForRequest(229045, 10).has_value()) {
            afterGang = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            Keep(screen(), "clicks-after-gang.png");
        }
    }
    std::ofstream(Kept() + "/clicks-deals.txt") << ReadFile(opt.recordFile);
    ASSERT_GT(logged("notification 211080"), 0) << ReadFile(opt.recordFile);
    std::vector<std::string> claims = clicked;
    claims.erase(std::unique(claims.begin(), claims.end()), claims.end());
    EXPECT_EQ(claims, (std::vector<std::string>{"peng", "gang", "hu"}));
    // Each claim went out, was confirmed, and the win was answered 10 before the result.
    EXPECT_TRUE(server.WaitForRequest(229010, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229025, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229015, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229045, 100).has_value());
    auto hu = server.WaitForRequest(229080, 100);
    ASSERT_TRUE(hu.has_value());
    EXPECT_EQ(W(hu->body, 6), 2);  // self-drawn: the replacement
    EXPECT_EQ(logged("request 229080 of chair 0 answered"), 0) << serverLog;
    const std::string record = ReadFile(opt.recordFile);
    EXPECT_NE(record.find("minggang("), std::string::npos) << record;
    EXPECT_NE(record.find("peng("), std::string::npos) << record;

    // The result dialog over the table; its OK, then the start button for the next deal.
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(trace).find("result\tshown, ok at") != std::string::npos; }, 30000));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Keep(screen(), "clicks-result.png");
    const std::string t = ReadFile(trace);
    int okx = 0, oky = 0;
    ASSERT_EQ(std::sscanf(t.c_str() + t.rfind("shown, ok at"), "shown, ok at %d,%d", &okx, &oky),
              2);
    e2e::XdoClick(x.name(), {okx, oky});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Keep(screen(), "clicks-next-start-button.png");
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["开始"]);
            return server.WaitForRequest(201160, 1500, 2).has_value();
        },
        30000))
        << run.ClientLog();
    e2e::XdoMove(x.name(), away);
    ASSERT_TRUE(WaitFor([&] { return logged("deal: started") >= 2; }, 10000));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    Keep(screen(), "clicks-second-deal.png");
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    server.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
