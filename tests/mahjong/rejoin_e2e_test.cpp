// A running deal rebuilt from the entry's table state, end to end on a virtual X display: a
// player starts a seeded deal of the local game server (hqlv-server), a looker-on comes in
// at that chair (the 948-byte state), the player leaves (the client is killed) and the
// server plays the chair on; once a meld lies on the table the same player comes back
// (enter: 200500 with the 5028-byte state). Each client's table record at its rebuild
// (HQLV_TABLE_DUMP) must equal the table as the server's state gave it (the server writes
// that with its deal record): every chair's melds (an added kong on its pung), discards (the
// one still on offer in front of its seat) and flowers, its standing tiles, the own hand, the
// wall taken and the clock at the seat to move with the state's seconds; a
// looker-on's state carries no melds and no discards, so its table has none. The table
// pictures at the rebuilds are kept in the build folder under rejoin-e2e/.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::ReadFile;
using e2e::ServerProcess;
using e2e::VirtualDisplay;
using e2e::WaitFor;

// "key: values" lines by chair (-1 before the first "chair" line) of the first block that
// begins with a line starting with head; "chair N ..." lines also give "view" when they
// name one.
using Block = std::map<int, std::map<std::string, std::string>>;

Block FirstBlock(const std::string& text, const std::string& head) {
    Block out;
    std::istringstream in(text);
    bool inside = false;
    int chair = -1;
    for (std::string l; std::getline(in, l);) {
        if (!inside) {
            inside = l.rfind(head, 0) == 0;
            continue;
        }
        if (l.empty() || l.rfind("table ", 0) == 0 || l.rfind("deal ", 0) == 0 ||
            l.rfind("state ", 0) == 0)
            break;
        if (l.rfind("chair ", 0) == 0) {
            chair = std::atoi(l.c_str() + 6);
            const size_t v = l.find(" view ");
            if (v != std::string::npos) out[chair]["view"] = l.substr(v + 6);
            continue;
        }
        const size_t colon = l.find(':');
        if (l.rfind("  ", 0) != 0 || colon == std::string::npos) continue;
        const std::string key = l.substr(2, colon - 2);
        out[key.rfind("wall", 0) == 0 ? -1 : chair][key] = l.substr(colon + 1);
    }
    return out;
}

std::vector<int> Ids(const std::string& ids) {
    std::istringstream in(ids);
    std::vector<int> v;
    for (int id; in >> id;) v.push_back(id);
    return v;
}

std::string Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    std::string out;
    for (int id : v) out += ' ' + std::to_string(id);
    return out;
}

// "peng(1 2 3)<2 angang(4 5 6 7)<0" → each meld with its tiles sorted, the melds sorted: the
// client lists a meld's tiles in its own order.
std::string Melds(const std::string& line) {
    std::vector<std::string> melds;
    std::istringstream in(line);
    std::string m, all;
    for (std::string word; in >> word;) all += (all.empty() ? "" : " ") + word;
    size_t at = 0;
    while ((at = all.find('(', at)) != std::string::npos) {
        const size_t start = all.rfind(' ', at) == std::string::npos ? 0 : all.rfind(' ', at) + 1;
        const size_t close = all.find(')', at);
        if (close == std::string::npos) break;
        const size_t end = all.find(' ', close);
        melds.push_back(
            all.substr(start, at - start) + '(' + Sorted(Ids(all.substr(at + 1, close - at - 1))) +
            ')' +
            all.substr(close + 1, end == std::string::npos ? std::string::npos : end - close - 1));
        at = close;
    }
    std::sort(melds.begin(), melds.end());
    std::string out;
    for (const auto& s : melds) out += ' ' + s;
    return out;
}

// The tiles of the melds of a record line; a pung listed under the added kong laid on it
// lies in the kong.
std::vector<int> MeldTiles(const std::string& line) {
    std::vector<std::vector<int>> melds;
    size_t at = 0;
    while ((at = line.find('(', at)) != std::string::npos) {
        const size_t close = line.find(')', at);
        if (close == std::string::npos) break;
        melds.push_back(Ids(line.substr(at + 1, close - at - 1)));
        at = close;
    }
    std::vector<int> out;
    for (const auto& m : melds) {
        bool under = false;
        for (const auto& kong : melds)
            under |=
                m.size() == 3 && kong.size() == 4 && std::all_of(m.begin(), m.end(), [&](int id) {
                    return std::find(kong.begin(), kong.end(), id) != kong.end();
                });
        if (!under) out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

class RejoinEndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() { Play(); }
    static void Play();
    void SetUp() override {
        if (skip) GTEST_SKIP() << skip;
        ASSERT_TRUE(played) << failure;
    }
    // The client's rebuilt table against the server's state of that entry.
    void Compare(const std::string& dump, bool looker);

    static inline const char* skip = nullptr;
    static inline bool played = false;
    static inline std::string failure, recordText, playerDump, lookerDump, errors;
};

void RejoinEndToEnd::Play() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        skip = "Xvfb is not installed";
        return;
    }
    if (!dlopen("libXtst.so.6", RTLD_NOW)) {
        skip = "libXtst is not installed";
        return;
    }
    // Both tests of the suite play, maybe at the same time, into the same folder: it is not
    // emptied under the other's copies, and a copy that fails costs only a picture.
    const std::string kept = std::string(HQLV_BUILD_DIR) + "/rejoin-e2e";
    std::error_code ignored;
    std::filesystem::create_directories(kept, ignored);
    HallRun first("rejoin-first"), back("rejoin-back"), looker("rejoin-looker");
    const std::string record = first.dir() + "/record.txt";
    ServerProcess server;
    // Slow enough server-driven players that the deal is still running when both clients
    // have come in.
    if (!server.Start({"--seed", "7", "--record", record, "--think", "1200", "--turn", "20",
                       "--claim", "2", "--grace", "0"},
                      first.dir())) {
        failure = "the server did not start";
        return;
    }
    VirtualDisplay x;
    if (!x.Start()) {
        failure = "no virtual display";
        return;
    }
    const std::string asanOptions = e2e::AsanOptionsUnderX();
    const std::vector<std::string> seat = {"--table", "2", "--chair", "0"};
    auto env = [&](HallRun& run, const std::string& name) {
        mkdir((run.dir() + "/shots").c_str(), 0700);
        return std::vector<std::string>{"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                        "HQLV_TABLE_DUMP=" + run.dir() + "/" + name,
                                        "HQLV_TABLE_SHOTS=" + run.dir() + "/shots", asanOptions};
    };
    auto paneSize = [](HallRun& run, int& w, int& h) {
        const std::string log = run.ClientLog();
        const size_t at = log.rfind("table pane ");
        return at != std::string::npos &&
               std::sscanf(log.c_str() + at, "table pane %d x %d", &w, &h) == 2;
    };
    // The first client starts the deal with its start button, then goes.
    if (!first.Start(server.Port(), env(first, "first.txt"), seat)) {
        failure = "the first client did not start";
        return;
    }
    int paneW = 0, paneH = 0;
    if (!WaitFor([&] { return paneSize(first, paneW, paneH); }, 60000)) {
        failure = "the first client has no table";
        return;
    }
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        e2e::ClickOnDisplay(x.name(), 372 * paneW / 744, 608 * paneH / 710, 1);
        started =
            WaitFor([&] { return server.Log().find("deal: started") != std::string::npos; }, 6000);
    }
    if (!started) {
        failure = "the deal did not start";
        return;
    }
    // The looker-on comes in while the player still plays; it hears the deal go on.
    auto rebuilt = [](HallRun& run, const std::string& name) {
        return WaitFor(
            [&] {
                return ReadFile(run.dir() + "/" + name).find("table rebuilt") != std::string::npos;
            },
            90000);
    };
    std::vector<std::string> lookerSeat = seat;
    lookerSeat.insert(lookerSeat.end(), {"--user", "1002", "--looker", "1"});
    if (!looker.Start(server.Port(), env(looker, "looker.txt"), lookerSeat) ||
        !rebuilt(looker, "looker.txt")) {
        failure = "the looker-on's table was not rebuilt";
        return;
    }
    const int firstClient = first.ClientPid();
    if (firstClient <= 0) {
        failure = "the first client's process is not known";
        return;
    }
    kill(firstClient, SIGKILL);
    first.Wait(30000);
    // The chair is played by the server now; a meld (the looker-on is told), then the player
    // comes back.
    if (!WaitFor(
            [&] {
                const std::string log = server.Log();
                return log.find("notification 229185") != std::string::npos ||
                       log.find("notification 229195") != std::string::npos ||
                       log.find("notification 229197") != std::string::npos;
            },
            300000)) {
        failure = "no meld was made";
        return;
    }
    // The server's players think a minute a turn from here on: on a busy machine the client
    // may take many seconds to come up, and the deal must still run when it comes in.
    if (!server.Command("think 60000")) {
        failure = "the server took no think command";
        return;
    }
    if (!back.Start(server.Port(), env(back, "back.txt"), seat) || !rebuilt(back, "back.txt")) {
        failure = "the player's table was not rebuilt (the deal over first?)";
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (HallRun* run : {&back, &looker})
        for (const char* name : {"table-rebuilt.png"}) {
            const std::string shot = run->dir() + "/shots/" + name;
            if (std::filesystem::exists(shot))
                std::filesystem::copy_file(
                    shot, kept + "/" + (run == &back ? "player-" : "looker-") + name,
                    std::filesystem::copy_options::overwrite_existing, ignored);
        }
    playerDump = ReadFile(back.dir() + "/back.txt");
    lookerDump = ReadFile(looker.dir() + "/looker.txt");
    errors = ReadFile(back.dir() + "/stderr.txt") + ReadFile(looker.dir() + "/stderr.txt");
    looker.Command("close");
    back.Command("close");
    looker.Wait(60000);
    back.Wait(60000);
    recordText = ReadFile(record);
    std::filesystem::copy_file(record, kept + "/record.txt",
                               std::filesystem::copy_options::overwrite_existing, ignored);
    played = true;
}

void RejoinEndToEnd::Compare(const std::string& dump, bool lookerOn) {
    const Block state =
        FirstBlock(recordText, std::string("state chair 0 looker ") + (lookerOn ? "1" : "0"));
    const Block table = FirstBlock(dump, "table rebuilt");
    ASSERT_FALSE(state.empty()) << recordText;
    ASSERT_FALSE(table.empty()) << dump;
    // The clock: at the view of the chair to move, with the turn's seconds when that chair
    // holds its drawn tile, else those of the claims and the draw.
    const int turn = std::atoi(state.at(-1).at("turn").c_str());
    const int status = std::atoi(state.at(-1).at("status").c_str());
    const std::vector<int> seconds = Ids(state.at(-1).at("seconds"));
    ASSERT_EQ(seconds.size(), 2u);
    const std::vector<int> clock = Ids(table.at(-1).at("clock"));
    ASSERT_EQ(clock.size(), 3u);
    ASSERT_TRUE(table.count(turn)) << turn;
    EXPECT_EQ(clock[0], 2 * std::atoi(table.at(turn).at("view").c_str()));
    EXPECT_EQ(clock[1], (status & 0x100) ? seconds[0] : seconds[1]);
    EXPECT_EQ(clock[2], 1);
    EXPECT_EQ(Sorted(Ids(table.at(-1).at("wallabsent"))),
              Sorted(Ids(state.at(-1).at("wallabsent"))));
    int melds = 0;
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(std::string(lookerOn ? "looker-on" : "player") + ", chair " +
                     std::to_string(c));
        const auto& s = state.at(c);
        const auto& t = table.at(c);
        melds += int(MeldTiles(s.at("melds")).size());
        // Standing tiles as many as the chair holds; the own hand's tiles for the player.
        const std::vector<int> hand = Ids(t.at("hand"));
        EXPECT_EQ(int(hand.size()), std::atoi(s.at("held").c_str()));
        if (c == 0 && !lookerOn) {
            EXPECT_EQ(Sorted(hand), Sorted(Ids(s.at("hand"))));
        }
        EXPECT_EQ(t.at("flowers"), s.at("flowers"));
        if (lookerOn) {
            // The looker-on's state holds neither melds nor discards.
            EXPECT_EQ(t.at("melds"), "");
            EXPECT_EQ(t.at("discards"), "");
            EXPECT_EQ(t.at("rows"), "");
            EXPECT_EQ(t.at("meldtiles"), "");
            continue;
        }
        EXPECT_EQ(Melds(t.at("melds")), Melds(s.at("melds")));
        // Face up where the state holds their tiles: the records hold the meld's tiles.
        EXPECT_EQ(Sorted(Ids(t.at("meldtiles"))), Sorted(MeldTiles(s.at("melds"))));
        EXPECT_EQ(t.at("discards"), s.at("discards"));
        // A discard still on offer (the seat to move holds no drawn tile) stands in front of
        // the seat before it; the rest lie in the rows.
        const bool offered = !(status & 0x100) && c == (turn + 1) % 4 && !s.at("discards").empty();
        EXPECT_EQ(Ids(t.at("showcase")).size(), offered ? 1u : 0u);
        EXPECT_EQ(t.at("rows") + t.at("showcase"), s.at("discards"));
    }
    if (!lookerOn) {
        EXPECT_GT(melds, 0) << "the state has no meld";
    }
}

TEST_F(RejoinEndToEnd, PlayerBackInTheDealSeesTheServersTable) {
    Compare(playerDump, false);
}

TEST_F(RejoinEndToEnd, LookerOnSeesWhatItsStateHolds) {
    Compare(lookerDump, true);
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
