// The real client on a virtual X display, started by the stand-in hall against the local
// mahjong server on a fixed wall: a scripted player reads the claim buttons' places from the
// client's log line and clicks them with xdotool; the server confirms what each click sent
// (a pass on the first honour let go; peng claimed and confirmed on the second, the meld
// laid), and a picture of the screen shows the own peng.
#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "rules/common.h"
#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"

namespace hqlv::mahjong {
namespace {

using e2e::ButtonPoints;
using e2e::HallRun;
using e2e::ReadFile;
using e2e::VirtualDisplay;
using e2e::WaitFor;
namespace mj = server::mj;

constexpr uint32_t kSeed = 20261207;

// A wall in which chair 0 holds two pairs of honours and the highest honour alone, the next
// two chairs to draw after it each hold one of those honours as their only honour (they let
// it go first), and every other honour lies at the far end of the wall.
std::vector<int32_t> FixedWall(const std::string& folder) {
    auto write = [&](const std::vector<int32_t>& wall) {
        std::ofstream out(folder + "/test.ini");
        out << "[Card]\nMade=1\nTotal=";
        for (int32_t id : wall) out << id << "|";
        out << "\n";
    };
    std::vector<int32_t> identity(136);
    for (int32_t k = 0; k < 136; ++k) identity[size_t(k)] = k;
    write(identity);
    mj::DealOptions o;
    o.testIniFolder = folder;
    uint64_t now = 1000;
    std::vector<int32_t> dealt[mj::kChairs];
    std::map<int, std::vector<int32_t>> ofKind;
    rules::SeedRandom(kSeed);
    {
        mj::Deal probe(
            o, [&] { return now; }, [](const mj::Note&) {});
        for (int c = 0; c < mj::kChairs; ++c) probe.SetSeat(c, 100 + c, c != 0);
        if (!probe.Start()) return {};
        for (int c = 0; c < mj::kChairs; ++c) {
            int32_t held[32];
            const int32_t n = probe.Table().ListHeld(c, held, 32);
            dealt[c].assign(held, held + n);
        }
        for (int32_t id = 0; id < 136; ++id) ofKind[probe.Table().KindIndexOf(id)].push_back(id);
    }
    auto take = [&](int kind) {
        std::vector<int32_t>& v = ofKind[kind];
        const int32_t id = v.back();
        v.pop_back();
        return id;
    };
    std::vector<int> honours, suits;
    for (auto& [k, ids] : ofKind) (k > 30 ? honours : suits).push_back(k);
    const int a = honours[honours.size() - 3], b = honours[honours.size() - 2], z = honours.back();
    std::vector<int32_t> hands[mj::kChairs];
    hands[0] = {take(a), take(a), take(b), take(b), take(z)};
    // Chair 0's other tiles: one of each suit kind, every third kind, so it holds no pair.
    for (size_t s = 0; hands[0].size() < dealt[0].size() && s < suits.size(); s += 3)
        hands[0].push_back(take(suits[s]));
    hands[1] = {take(a)};
    hands[2] = {take(b)};
    // The suits mixed (the same way every run), so that no seat starts with sets.
    std::vector<int32_t> rest;
    for (int k : suits)
        for (int32_t id : ofKind[k]) rest.push_back(id);
    std::mt19937 mix(kSeed);
    std::shuffle(rest.begin(), rest.end(), mix);
    for (int k : honours)
        for (int32_t id : ofKind[k]) rest.push_back(id);
    std::vector<int32_t> wall(136, -1);
    size_t next = 0;
    for (int c = 0; c < mj::kChairs; ++c)
        for (size_t k = 0; k < dealt[c].size(); ++k)
            wall[size_t(dealt[c][k])] = k < hands[c].size() ? hands[c][k] : rest[next++];
    for (int32_t& id : wall)
        if (id < 0) id = rest[next++];
    write(wall);
    return wall;
}

TEST(ClaimsOnScreen, PassThenPengClickedAtTheLoggedButtons) {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    HallRun run("claims");
    const std::string folder = run.dir() + "/deal";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(FixedWall(folder).size(), 136u);

    mj::MahjongOptions opt;
    opt.seed = kSeed;
    // The server's players wait until the client has dealt its tiles on the screen (the
    // start of play turns every claim button off, some 10 s after the deal starts); a
    // server-driven seat is also played at the turn's deadline (turn + grace + 2 s), so the
    // turn outlasts the thinking.
    opt.deal.thinkMs = 15000;
    opt.deal.turnSeconds = 13;
    opt.deal.claimSeconds = 20;
    opt.deal.graceSeconds = 1;
    opt.deal.testIniFolder = folder;
    opt.recordFile = run.dir() + "/deals.txt";
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    server.SetGameHandler(std::make_shared<mj::MahjongHandler>(opt));
    ASSERT_TRUE(server.Start());

    const std::string fb = run.dir() + "/fb";
    std::filesystem::create_directories(fb);
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    const std::string program = run.dir() + "/log";  // the client logs where the hall sends it
    const auto before = e2e::DayLogSizes(program);
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    (asan && *asan ? ":" : "") +
                                    "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(
        run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", asanOptions}));

    std::map<std::string, std::pair<int, int>> at;
    ASSERT_TRUE(WaitFor(
        [&] {
            at = ButtonPoints(e2e::DayLogSince(program, before));
            return at.count("开始") && at.count("碰") && at.count("过");
        },
        60000))
        << e2e::DayLogSince(program, before) << run.ClientLog();
    // Start: the server seats its players and deals.
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["开始"]);
            return server.WaitForRequest(201160, 1500).has_value();
        },
        30000));
    // The first of the two honours let go offers peng and pass: pass. The clicks go out
    // only once the button is live.
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["过"]);
            return server.WaitForRequest(229005, 400).has_value();
        },
        60000))
        << run.ClientLog();
    EXPECT_FALSE(server.WaitForRequest(229010, 100).has_value());
    // The second honour: peng, claimed and confirmed.
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::XdoClick(x.name(), at["碰"]);
            return server.WaitForRequest(229010, 400).has_value();
        },
        // The own turn, then up to two server seats' draws and plays, each after thinking.
        150000))
        << run.ClientLog() << ReadFile(run.dir() + "/deals.txt");
    auto confirm = server.WaitForRequest(229025, 5000);
    ASSERT_TRUE(confirm);
    auto claim = server.WaitForRequest(229010, 100);
    ASSERT_TRUE(claim);
    ASSERT_EQ(claim->body.size(), 64u);
    ASSERT_GE(confirm->body.size(), 36u);
    // The claim and its confirm name the same discarder, tile and hand tiles.
    EXPECT_EQ(std::vector<uint8_t>(claim->body.begin() + 16, claim->body.begin() + 36),
              std::vector<uint8_t>(confirm->body.begin() + 16, confirm->body.begin() + 36));
    EXPECT_FALSE(claim->wait);
    EXPECT_TRUE(confirm->wait);
    // The meld is on the table: a picture of the screen for review.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string shot =
        std::string(HQLV_BUILD_DIR) + "/claims-peng." + std::to_string(getpid()) + ".png";
    const std::string grab = "DISPLAY=" + x.name() + " import -window root '" + shot + "'";
    EXPECT_EQ(std::system(grab.c_str()), 0);
    // Every play the client made named a tile it held: none was refused.
    run.Command("close");
    run.Wait(30000);
    server.Stop();
    if (std::filesystem::exists(shot))
        std::filesystem::rename(shot, std::string(HQLV_BUILD_DIR) + "/claims-peng.png");
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
