// Deal after deal on a virtual X display, with the programs a player runs: the local game
// server, the stand-in hall and the client.
//  - A client left alone on a seeded table plays three deals in a row: its own turns run
//    out until automatic play takes over at the third, the start button comes back after
//    each result and automatic play presses it, and the server's record holds three deals
//    in which the client's chair played. Each first own turn of a deal sends its draw
//    within two seconds, and the server never has to draw for the client.
//  - A clicking player on a fixed wall takes a peng, an exposed gang with its replacement
//    and a win on a tile drawn later, each clicked at the button's logged place once a
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
#include "tests/mahjong/play_walls.h"
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

const e2e::KeptFolder kept(std::string(HQLV_BUILD_DIR) + "/play-loop");

// ---- a client left alone --------------------------------------------------------------------

TEST(PlayLoopOnScreen, ALeftAloneClientPlaysThreeDealsInARow) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    kept.Create();
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
    ASSERT_TRUE(x.Start(fb));
    const std::string program = run.dir() + "/log";
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                          "HQLV_TABLE_SHOTS=" + shots, e2e::AsanOptionsUnderX()}));
    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            at = e2e::ButtonPoints(e2e::DayLogSince(program, before));
            return at.count("开始") != 0;
        },
        60000))
        << run.ClientLog();
    kept.Picture(ReadScreen(fb + "/Xvfb_screen0"), "alone-idle.png");
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
        for (const std::string& line : NewLines(log, read)) {
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
                kept.Picture(ReadScreen(fb + "/Xvfb_screen0"),
                             "alone-deal" + std::to_string(i + 1) + "-start.png");
            }
            if (d.isOver && !d.shotResult && now - d.over > std::chrono::milliseconds(1500)) {
                d.shotResult = true;
                kept.Picture(ReadScreen(fb + "/Xvfb_screen0"),
                             "alone-deal" + std::to_string(i + 1) + "-result.png");
            }
        }
        if (deals.size() >= 3 && deals[2].isOver && deals[2].shotResult) break;
    }
    const std::string log = server.Log(), records = ReadFile(record);
    for (const char* name : {"table-start.png", "table-meld.png", "table-result.png"})
        kept.Copy(shots + "/" + name, std::string("alone-last-") + name);
    std::ofstream(kept.path() + "/alone-server.log") << log;
    std::ofstream(kept.path() + "/alone-record.txt") << records;
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();

    ASSERT_GE(deals.size(), 3u) << log;
    EXPECT_GE(CountOf(records, "result:"), 3) << records;
    // Three starts: the first pressed by the player, the others by automatic play.
    EXPECT_GE(CountOf(log, "client 1: request 201160"), 3);
    // The client's chair played in every deal: each deal block lists its discards.
    EXPECT_EQ(DealsChairZeroPlayed(records, 3), 3) << records;
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

TEST(PlayLoopOnScreen, AClickingPlayerTakesPengGangAndTheWinThenStartsTheNextDeal) {
    if (!Tools()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    kept.Create();
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
    uint32_t seed = 0;
    const std::vector<int32_t> wall = walls::FindPengGangWinWall(folder, o, seed);
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
    ASSERT_TRUE(run.Start(
        server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_TABLE_SHOTS=" + shots,
                        "HQLV_UI_TRACE=" + trace, e2e::AsanOptionsUnderX()}));
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
    // The dealing ends with the client's picture of the table; the strip is idle then. The
    // screen may lag behind that picture: the idle strip is what two looks agree on.
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 60000))
        << run.ClientLog();
    for (const char* b : {"碰", "杠", "胡", "过"}) ASSERT_TRUE(at.count(b)) << b;
    const std::vector<std::pair<int, int>> places = walls::ClaimPlaces(at);
    const QImage idle = walls::SettledLook(
        screen, [&](const QImage& a, const QImage& b) { return walls::AgreeAt(a, b, places); },
        30000);
    kept.Picture(idle, "clicks-start.png");
    ASSERT_FALSE(idle.isNull()) << "the strip never held still";

    // The player: a lit button (the strongest) is clicked; otherwise the tile in the draw
    // slot, once one stands there; each on what two looks show.
    std::vector<std::string> clicked;
    const auto deadline = Clock::now() + std::chrono::minutes(6);
    bool afterPeng = false, afterGang = false;
    auto shown = [&](const QImage& img, const char* b) {
        return Differing(img, idle, at[b]) > 120;
    };
    while (Clock::now() < deadline && !logged("notification 211080")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const QImage first = screen();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const QImage now = screen();
        const std::string settled = walls::SettledChoice(first, now, shown);
        if (settled.empty()) continue;
        const char* choice = settled == "摸牌" ? nullptr : settled.c_str();
        if (choice && std::string(choice) != "过") {
            // The offered button against the idle strip: clearly lit, its neighbours' cells
            // aside.
            const std::string name = choice == std::string("碰")   ? "peng"
                                     : choice == std::string("杠") ? "gang"
                                                                   : "hu";
            kept.Picture(now, "clicks-" + name + "-offer.png");
            EXPECT_GT(Differing(now, idle, at[choice]), 200) << name;
            clicked.push_back(name);
        }
        click(choice ? at[choice] : at["摸牌"]);
        // A claim's confirm is awaited before the next look: until the client has taken the
        // click, both looks still show the button, and a second click would land on what
        // lies under it once it goes.
        const bool peng = choice && std::string(choice) == "碰";
        const bool gang = choice && std::string(choice) == "杠";
        if (!afterPeng && server.WaitForRequest(229025, peng ? 5000 : 10).has_value()) {
            afterPeng = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            kept.Picture(screen(), "clicks-after-peng.png");
        }
        if (!afterGang && server.WaitForRequest(229045, gang ? 5000 : 10).has_value()) {
            afterGang = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            kept.Picture(screen(), "clicks-after-gang.png");
        }
    }
    std::ofstream(kept.path() + "/clicks-deals.txt") << ReadFile(opt.recordFile);
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
    EXPECT_EQ(W(hu->body, 6), 2);  // self-drawn
    EXPECT_EQ(logged("request 229080 of chair 0 answered"), 0) << serverLog;
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
    const QImage result = walls::ShownStill(screen, idle, {okx, oky}, 30000);
    kept.Picture(result, "clicks-result.png");
    ASSERT_FALSE(result.isNull()) << "the result dialog never showed its OK";
    e2e::XdoClick(x.name(), {okx, oky});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    kept.Picture(screen(), "clicks-next-start-button.png");
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
    kept.Picture(screen(), "clicks-second-deal.png");
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    server.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
