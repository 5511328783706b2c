// The window-drawn table (HQLV_SCENE_MODE=1) played deal after deal on a virtual X display,
// with the programs a player runs: the local game server, the stand-in hall and the client.
//  - A client left alone after one click on the start button plays three deals in a row: its
//    dice roll and its seats are dealt, its clock runs, its own turns run out until automatic
//    play takes over at the third, and after each result automatic play starts the next deal;
//    the server's record holds three deals in which the client's chair played.
//  - A clicking player on a fixed wall takes a peng, an exposed gang with its replacement and
//    a win on a tile drawn later through the window buttons, each clicked at its logged place
//    once the screen shows it offered; after the result it starts the next deal.
//  - Holding two concealed gangs in its own turn, the player presses the gang button: the
//    choice opens (the other tiles locked); a second press cancels it and sends nothing; a
//    third opens it again and a click on a tile of the first gang declares that gang.
// The pictures of the runs are kept in the build folder under gdi-play/.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "tests/framework/hall_run.h"
#include "tests/mahjong/play_walls.h"
#include "tests/mahjong/scene/shot_util.h"
#include "tests/mahjong/server_run.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"

namespace hqlv::mahjong {
namespace {

// The end-to-end runs' programs, display and waits.
using namespace e2e;
namespace mj = server::mj;
using Clock = std::chrono::steady_clock;
using namespace walls;

const e2e::KeptFolder kept(std::string(HQLV_BUILD_DIR) + "/gdi-play");

// The client's environment for the window-drawn table.
std::vector<std::string> ClientEnv(const VirtualDisplay& x, const std::string& shots,
                                   const std::string& trace = {}) {
    std::vector<std::string> env = {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                    "HQLV_SCENE_MODE=1", "HQLV_TABLE_SHOTS=" + shots,
                                    e2e::AsanOptionsUnderX()};
    if (!trace.empty()) env.push_back("HQLV_UI_TRACE=" + trace);
    return env;
}

// The window buttons' places from the client's log, once every one named is there.
bool ReadPlaces(const std::string& program, const std::map<std::string, size_t>& before,
                std::map<std::string, std::pair<int, int>>& at,
                std::initializer_list<const char*> names) {
    at = e2e::ButtonPoints(e2e::DayLogSince(program, before));
    for (const char* n : names)
        if (!at.count(n)) return false;
    return true;
}

// The client's display as its player sees and uses it.
struct Player {
    const VirtualDisplay& x;
    std::string fb;
    // The pointer's rest, off the table's buttons: it must not cover what is compared.
    static constexpr std::pair<int, int> kAway{5, 5};
    QImage Screen() const { return ReadScreen(fb + "/Xvfb_screen0"); }
    // The screen once two looks agree at the given places (null when they never do).
    QImage Still(const std::vector<std::pair<int, int>>& places, int ms = 30000) const {
        return SettledLook([&] { return Screen(); },
                           [&](const QImage& a, const QImage& b) { return AgreeAt(a, b, places); },
                           ms);
    }
    void Click(std::pair<int, int> p) const {
        e2e::XdoClick(x.name(), p);
        e2e::XdoMove(x.name(), kAway);
    }
    // Clicks the start button until started() says the deal is on its way; the pointer
    // rests afterwards.
    bool PressStart(std::pair<int, int> start, const std::function<bool()>& started) const {
        const bool ok = WaitFor(
            [&] {
                e2e::XdoClick(x.name(), start);
                return started();
            },
            30000);
        e2e::XdoMove(x.name(), kAway);
        return ok;
    }
};

// ---- a client left alone --------------------------------------------------------------------

TEST(GdiPlayOnScreen, ALeftAloneClientPlaysThreeDealsInARow) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    kept.Create();
    HallRun run("gdi-loop");
    const std::string record = run.dir() + "/record.txt", fb = run.dir() + "/fb",
                      shots = run.dir() + "/shots", trace = run.dir() + "/trace.txt";
    std::filesystem::create_directories(fb);
    std::filesystem::create_directories(shots);
    ServerProcess server;
    // Three turn seconds: the client's turns run out until automatic play takes over.
    ASSERT_TRUE(server.Start({"--seed", "7", "--record", record, "--turn", "3", "--claim", "1",
                              "--think", "100", "--grace", "0", "--deal", "12000"},
                             run.dir()));
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), ClientEnv(x, shots, trace)));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadPlaces(program, before, at, {"开始", "钟"});
        },
        60000))
        << run.ClientLog();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Player player{x, fb};
    kept.Picture(player.Screen(), "alone-idle.png");
    // The player presses start once; every later deal is started by the client itself.
    ASSERT_TRUE(player.PressStart(at["开始"], [&] {
        return WaitFor([&] { return server.Log().find("deal: started") != std::string::npos; },
                       1500);
    })) << server.Log();

    struct Deal {
        Clock::time_point started, over;
        bool isOver = false, shotStart = false, shotResult = false;
    };
    std::vector<Deal> deals;
    // The clock: pictures of its square 1.2 s apart while the first deal is played.
    int clockPairs = 0, clockChanged = 0;
    QImage lastClock;
    Clock::time_point lastClockAt;
    size_t read = 0;
    const auto deadline = Clock::now() + std::chrono::minutes(25);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        const std::string log = server.Log();
        const auto now = Clock::now();
        for (const std::string& line : NewLines(log, read)) {
            if (line.find("deal: started") != std::string::npos) {
                deals.push_back(Deal{});
                deals.back().started = now;
            }
            if (!deals.empty() && line.find("deal: over") != std::string::npos) {
                deals.back().isOver = true;
                deals.back().over = now;
            }
        }
        for (size_t i = 0; i < deals.size(); ++i) {
            Deal& d = deals[i];
            if (!d.shotStart && now - d.started > std::chrono::seconds(10)) {
                d.shotStart = true;
                kept.Picture(player.Screen(), "alone-deal" + std::to_string(i + 1) + "-start.png");
                if (i == 0) {
                    kept.Copy(shots + "/table-dice.png", "alone-dice.png");
                    kept.Copy(shots + "/table-start.png", "alone-dealt.png");
                }
            }
            if (d.isOver && !d.shotResult && now - d.over > std::chrono::milliseconds(1500)) {
                d.shotResult = true;
                kept.Picture(player.Screen(), "alone-deal" + std::to_string(i + 1) + "-result.png");
            }
        }
        if (deals.size() == 1 && !deals[0].isOver &&
            now - deals[0].started > std::chrono::seconds(12) && clockPairs < 12 &&
            now - lastClockAt > std::chrono::milliseconds(1200)) {
            const QImage shot = player.Screen();
            if (!lastClock.isNull()) {
                ++clockPairs;
                if (Differing(shot, lastClock, at["钟"], 20) > 10) {
                    if (++clockChanged == 1) {
                        kept.Picture(lastClock, "alone-clock-a.png");
                        kept.Picture(shot, "alone-clock-b.png");
                    }
                }
            }
            lastClock = shot;
            lastClockAt = now;
        }
        if (deals.size() >= 3 && deals[2].isOver && deals[2].shotResult) break;
    }
    const std::string log = server.Log(), records = ReadFile(record);
    kept.Copy(shots + "/table-result.png", "alone-last-result.png");
    std::ofstream(kept.path() + "/alone-server.log") << log;
    std::ofstream(kept.path() + "/alone-record.txt") << records;
    const std::string chat = ReadFile(trace);
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();

    ASSERT_GE(deals.size(), 3u) << log;
    EXPECT_GE(CountOf(records, "result:"), 3) << records;
    // Three starts: the first pressed by the player, the others by automatic play.
    EXPECT_GE(CountOf(log, "client 1: request 201160"), 3);
    // The client's chair played in every deal: each deal block lists its discards.
    EXPECT_EQ(DealsChairZeroPlayed(records, 3), 3) << records;
    // The client played its own turns (the server never had to), the clock counted, and
    // automatic play came at the third time-out of the first deal.
    EXPECT_EQ(log.find("chair 0 drawn for at its time-out"), std::string::npos) << log;
    EXPECT_GT(clockChanged, 0) << clockPairs;
    EXPECT_NE(chat.find("游戏已进入系统托管状态"), std::string::npos) << chat;
    EXPECT_EQ(chat.find("系统托管终止"), std::string::npos);
}

// ---- a clicking player on a fixed wall ------------------------------------------------------

// The window buttons show only while offered: one is offered when its place differs clearly
// from the idle table.
bool Offered(const QImage& now, const QImage& idle, std::pair<int, int> at) {
    return Differing(now, idle, at, 8) > 120;
}

// Whether the square of half-size h around a point holds more than one colour: the window
// has drawn there (the cloth is grained, the bare root of a window not yet mapped is flat).
bool DrawnAt(const QImage& img, std::pair<int, int> p, int h = 8) {
    if (img.isNull()) return false;
    const QRgb first = img.pixel(std::clamp(p.first, 0, img.width() - 1),
                                 std::clamp(p.second, 0, img.height() - 1));
    for (int y = std::max(0, p.second - h); y < std::min(img.height(), p.second + h); ++y)
        for (int x = std::max(0, p.first - h); x < std::min(img.width(), p.first + h); ++x)
            if (img.pixel(x, y) != first) return true;
    return false;
}

// The idle table, drawn, once two looks agree at every button's place: the picture every
// claim button's offer is told against.
QImage IdleTable(const Player& player, const std::map<std::string, std::pair<int, int>>& at) {
    const std::vector<std::pair<int, int>> places = ClaimPlaces(at);
    return SettledLook([&] { return player.Screen(); },
                       [&](const QImage& a, const QImage& b) {
                           return AgreeAt(a, b, places) && DrawnAt(b, at.at("开始"));
                       },
                       60000);
}

TEST(GdiPlayOnScreen, AClickingPlayerTakesPengGangAndTheWinThroughTheWindowButtons) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    kept.Create();
    HallRun run("gdi-clicks");
    const std::string folder = run.dir() + "/deal";
    std::filesystem::create_directories(folder);
    mj::DealOptions o;
    o.testIniFolder = folder;
    o.thinkMs = 1500;
    o.turnSeconds = 30;
    o.claimSeconds = 20;
    o.graceSeconds = 1;
    o.dealMs = 12000;
    uint32_t seed = 0;
    const std::vector<int32_t> wall = FindPengGangWinWall(folder, o, seed);
    ASSERT_FALSE(wall.empty()) << "no wall found on which the plan plays out";

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
    ASSERT_TRUE(x.Start(fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), ClientEnv(x, shots, trace)));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadPlaces(program, before, at, {"开始", "碰", "杠", "胡", "过", "摸牌"});
        },
        60000))
        << run.ClientLog();
    const Player player{x, fb};
    // The table before the deal: no claim button stands anywhere.
    const QImage idle = IdleTable(player, at);
    kept.Picture(idle, "clicks-idle.png");
    ASSERT_FALSE(idle.isNull()) << "the idle table never held still";
    ASSERT_TRUE(player.PressStart(at["开始"],
                                  [&] { return server.WaitForRequest(201160, 1500).has_value(); }));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 60000))
        << run.ClientLog();
    // The dealt hands; the first mover is one of the server's seats: nothing is offered yet.
    const QImage dealt = player.Still(ClaimPlaces(at));
    kept.Picture(dealt, "clicks-start.png");
    ASSERT_FALSE(dealt.isNull()) << "the dealt table never held still";
    for (const char* b : {"碰", "杠", "胡", "过"}) EXPECT_FALSE(Offered(dealt, idle, at[b])) << b;

    // The player: an offered button (the strongest) is clicked; otherwise the tile in the
    // draw slot, once one stands there; each on what two looks show.
    std::vector<std::string> clicked;
    const auto deadline = Clock::now() + std::chrono::minutes(6);
    bool afterPeng = false, afterGang = false;
    auto shown = [&](const QImage& img, const char* b) { return Offered(img, idle, at[b]); };
    while (Clock::now() < deadline && !logged("notification 211080")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const QImage first = player.Screen();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const QImage now = player.Screen();
        const std::string settled = SettledChoice(first, now, shown);
        if (settled.empty()) continue;
        const char* choice = settled == "摸牌" ? nullptr : settled.c_str();
        if (choice && std::string(choice) != "过") {
            const std::string name = choice == std::string("碰")   ? "peng"
                                     : choice == std::string("杠") ? "gang"
                                                                   : "hu";
            kept.Picture(now, "clicks-" + name + "-offer.png");
            clicked.push_back(name);
        }
        player.Click(choice ? at[choice] : at["摸牌"]);
        // A claim's confirm is awaited before the next look: the gang's replacement comes
        // after it.
        const bool peng = choice && std::string(choice) == "碰";
        const bool gang = choice && std::string(choice) == "杠";
        if (!afterPeng && server.WaitForRequest(229025, peng ? 5000 : 10).has_value()) {
            afterPeng = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            kept.Picture(player.Screen(), "clicks-after-peng.png");
        }
        if (!afterGang && server.WaitForRequest(229045, gang ? 5000 : 10).has_value()) {
            afterGang = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            kept.Picture(player.Screen(), "clicks-after-gang.png");
        }
    }
    std::ofstream(kept.path() + "/clicks-deals.txt") << ReadFile(opt.recordFile);
    std::ofstream(kept.path() + "/clicks-client.log") << e2e::DayLogSince(program, before);
    std::ofstream(kept.path() + "/clicks-trace.txt") << ReadFile(trace);
    kept.Copy(folder + "/test.ini", "clicks-test.ini");
    {
        std::lock_guard<std::mutex> g(logMu);
        std::ofstream(kept.path() + "/clicks-server.log") << serverLog;
    }
    ASSERT_GT(logged("notification 211080"), 0) << ReadFile(opt.recordFile);
    std::vector<std::string> claims = clicked;
    claims.erase(std::unique(claims.begin(), claims.end()), claims.end());
    EXPECT_EQ(claims, (std::vector<std::string>{"peng", "gang", "hu"}));
    EXPECT_TRUE(server.WaitForRequest(229010, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229025, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229015, 100).has_value());
    EXPECT_TRUE(server.WaitForRequest(229045, 100).has_value());
    auto hu = server.WaitForRequest(229080, 100);
    ASSERT_TRUE(hu.has_value());
    EXPECT_EQ(W(hu->body, 6), 2);  // self-drawn
    const std::string record = ReadFile(opt.recordFile);
    EXPECT_NE(record.find("minggang("), std::string::npos) << record;
    EXPECT_NE(record.find("peng("), std::string::npos) << record;

    // The result dialog over the table; its OK, then the start button for the next deal.
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(trace).find("result\tshown, ok at") != std::string::npos; }, 30000));
    const std::string t = ReadFile(trace);
    int okx = 0, oky = 0;
    ASSERT_EQ(std::sscanf(t.c_str() + t.rfind("shown, ok at"), "shown, ok at %d,%d", &okx, &oky),
              2);
    // The dialog says it is shown before X has it on the screen: its OK is clicked once the
    // screen shows it there, still.
    const QImage result = ShownStill([&] { return player.Screen(); }, dealt, {okx, oky}, 30000);
    kept.Picture(result, "clicks-result.png");
    ASSERT_FALSE(result.isNull()) << "the result dialog never showed its OK";
    e2e::XdoClick(x.name(), {okx, oky});
    QImage next;
    EXPECT_TRUE(WaitFor(
        [&] {
            next = player.Screen();
            return Offered(next, dealt, at["开始"]);
        },
        10000));
    kept.Picture(next, "clicks-next-start-button.png");
    ASSERT_TRUE(player.PressStart(at["开始"], [&] {
        return server.WaitForRequest(201160, 1500, 2).has_value();
    })) << run.ClientLog();
    ASSERT_TRUE(WaitFor([&] { return logged("deal: started") >= 2; }, 10000));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    kept.Picture(player.Screen(), "clicks-second-deal.png");
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    server.Stop();
}

// ---- the gang choice pressed twice ------------------------------------------------------------

// Chair 0 is dealt four of the first suit's 2 and four of the second suit's 2 (two concealed
// gangs) and five lone tiles of other kinds; everything else is mixed.
std::vector<int32_t> TwoGangsWall(WallPlan p, uint32_t seed, int32_t& firstGangTile) {
    std::vector<int32_t> hand;
    for (int kind : {2, 12})
        for (int i = 0; i < 4; ++i) {
            hand.push_back(p.ofKind[kind].back());
            p.ofKind[kind].pop_back();
        }
    firstGangTile = hand[0];
    for (int kind : {5, 9, 17, 24, 28}) {
        hand.push_back(p.ofKind[kind].back());
        p.ofKind[kind].pop_back();
    }
    std::vector<int32_t> rest;
    for (auto& [k, ids] : p.ofKind)
        for (int32_t id : ids) rest.push_back(id);
    std::mt19937 mix(seed);
    std::shuffle(rest.begin(), rest.end(), mix);
    std::vector<int32_t> wall(136, -1);
    size_t next = 0;
    for (int c = 0; c < mj::kChairs; ++c)
        for (size_t k = 0; k < p.dealt[c].size(); ++k)
            wall[size_t(p.dealt[c][k])] = c == 0 && k < hand.size() ? hand[k] : rest[next++];
    for (int32_t& id : wall)
        if (id < 0) id = rest[next++];
    return wall;
}

// Whether the server's first deal with this seed deals chair 0 (the client's, not played
// by the server) the four tiles of both kinds.
bool DealsBothGangs(const mj::DealOptions& o, uint32_t seed) {
    rules::SeedRandom(seed);
    uint64_t now = 1000;
    mj::Deal d(
        o, [&] { return now; }, [](const mj::Note&) {});
    for (int c = 0; c < mj::kChairs; ++c) d.SetSeat(c, 100 + c, c != 0);
    if (!d.Start()) return false;
    int32_t held[32];
    const int32_t n = d.Table().ListHeld(0, held, 32);
    std::map<int, int> kinds;
    for (int32_t i = 0; i < n; ++i) ++kinds[d.Table().KindIndexOf(held[i])];
    return kinds[2] == 4 && kinds[12] == 4;
}

// The leftmost place of the own row (the screen's lowest 90 pixels) where a face's marker
// shows; {-1, -1} when it shows nowhere.
std::pair<int, int> FaceAt(const QImage& img, int face) {
    for (int x = 0; x < img.width(); ++x)
        for (int y = img.height() - 90; y < img.height(); ++y)
            if (y >= 0 && test::FaceOf(img.pixel(x, y) & 0xFFFFFF) == face) return {x, y};
    return {-1, -1};
}

TEST(GdiPlayOnScreen, ASecondGangPressCancelsTheChoiceAndATileClickDeclaresTheGang) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    kept.Create();
    HallRun run("gdi-gang");
    const std::string folder = run.dir() + "/deal";
    std::filesystem::create_directories(folder);
    mj::MahjongOptions opt;
    opt.deal.testIniFolder = folder;
    opt.deal.thinkMs = 1500;
    opt.deal.turnSeconds = 60;
    opt.deal.claimSeconds = 20;
    opt.deal.graceSeconds = 1;
    opt.deal.dealMs = 12000;
    // A seed on which the wall's plan deals the client both gangs.
    int32_t gangTile = -1;
    for (uint32_t s = 20261207; s < 20261207 + 40 && !opt.seed; ++s) {
        WriteWall(folder, TwoGangsWall(Plan(folder, s), s, gangTile));
        if (DealsBothGangs(opt.deal, s)) opt.seed = s;
    }
    ASSERT_TRUE(opt.seed.has_value()) << "no seed deals the client both gangs";
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    server.SetGameHandler(std::make_shared<mj::MahjongHandler>(opt));
    ASSERT_TRUE(server.Start());

    const std::string fb = run.dir() + "/fb", shots = run.dir() + "/shots";
    std::filesystem::create_directories(fb);
    std::filesystem::create_directories(shots);
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), ClientEnv(x, shots)));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadPlaces(program, before, at, {"开始", "杠", "过", "摸牌"});
        },
        60000))
        << run.ClientLog();
    const Player player{x, fb};
    // The table before the deal: no claim button stands anywhere.
    const QImage idle = IdleTable(player, at);
    ASSERT_FALSE(idle.isNull()) << "the idle table never held still";
    ASSERT_TRUE(player.PressStart(at["开始"],
                                  [&] { return server.WaitForRequest(201160, 1500).has_value(); }));
    ASSERT_TRUE(
        WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 60000));
    // The own row's band at the foot of the screen.
    auto rowDiffers = [&](const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = a.height() - 90; y < a.height(); y += 2)
            for (int x = 0; x < a.width(); x += 2) n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    // What a press changed, once drawn: two looks that agree on the own row (a blinking
    // caret in the chat's edit line aside) and at the buttons. A single look after a fixed
    // pause may come before a busy machine's client has drawn the press at all.
    auto still = [&](int ms) {
        return SettledLook([&] { return player.Screen(); },
                           [&](const QImage& a, const QImage& b) {
                               return a.size() == b.size() && rowDiffers(a, b) < 20 &&
                                      AgreeAt(a, b, {at["杠"], at["过"]});
                           },
                           ms);
    };
    // Until the own turn offers the gang alone: another seat's discard is passed.
    QImage offered;
    ASSERT_TRUE(WaitFor(
        [&] {
            const QImage now = still(5000);
            if (now.isNull()) return false;
            if (Offered(now, idle, at["过"])) {
                player.Click(at["过"]);
                return false;
            }
            if (!Offered(now, idle, at["杠"])) return false;
            offered = now;
            return true;
        },
        180000))
        << run.ClientLog();
    kept.Picture(offered, "gang-offer.png");
    const int face = GetFaceIndex(gangTile);
    ASSERT_GE(FaceAt(offered, face).first, 0);
    // The screen once the own row holds still and differs from `from` by more than 200
    // samples (or the last look that held still, when it never differs within 10 s; the
    // screen as it is, when none held still).
    auto changedFrom = [&](const QImage& from) {
        QImage settled;
        WaitFor(
            [&] {
                const QImage now = still(5000);
                if (now.isNull()) return false;
                settled = now;
                return rowDiffers(now, from) > 200;
            },
            10000);
        return settled.isNull() ? player.Screen() : settled;
    };
    // First press: the choice opens, the tiles that take no part locked.
    player.Click(at["杠"]);
    const QImage choosing = changedFrom(offered);
    kept.Picture(choosing, "gang-choosing.png");
    EXPECT_GT(rowDiffers(choosing, offered), 200);
    // Second press: the choice is gone and nothing was sent.
    player.Click(at["杠"]);
    const QImage cancelled = changedFrom(choosing);
    kept.Picture(cancelled, "gang-cancelled.png");
    EXPECT_LT(rowDiffers(cancelled, offered), 40);
    EXPECT_GT(rowDiffers(cancelled, choosing), 200);
    EXPECT_FALSE(server.WaitForRequest(229047, 300).has_value());
    EXPECT_FALSE(server.WaitForRequest(229015, 10).has_value());
    // Third press opens it again; a click on a tile of the first gang declares it.
    player.Click(at["杠"]);
    const QImage again = changedFrom(cancelled);
    EXPECT_GT(rowDiffers(again, offered), 200);
    const std::pair<int, int> tile = FaceAt(again, face);
    ASSERT_GE(tile.first, 0);
    player.Click({tile.first + 12, tile.second + 25});
    auto gang = server.WaitForRequest(229047, 10000);
    ASSERT_TRUE(gang.has_value()) << run.ClientLog();
    std::set<int> kinds;
    for (size_t w = 5; w <= 8; ++w) kinds.insert(GetFaceIndex(W(gang->body, w)));
    EXPECT_EQ(kinds, std::set<int>{face});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kept.Picture(player.Screen(), "gang-declared.png");
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    server.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
