// A whole seeded deal end to end on a virtual X display: the local game server (hqlv-server)
// plays three chairs and, at each time-out, the client's own; the stand-in hall starts the
// client, whose start button is pressed through the X test extension. The client's table
// record (HQLV_TABLE_DUMP) must equal the server's record of the deal: every chair's melds
// with their givers, discards in order and flowers, the own concealed hand before the
// lay-down, the laid-down hands and the wall positions taken. Pictures of the table at the
// deal's start, at its first meld and at the result (HQLV_TABLE_SHOTS), and of the whole
// screen with the result dialog, are kept in the build folder under deal-e2e/.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"

namespace hqlv::mahjong {
namespace {

// The end-to-end runs' programs, display and waits.
using namespace e2e;

constexpr int kSeed = 7;

// One block of a record: "chair N ..." lines followed by "  key: values" lines; the keys
// outside a chair go under chair -1.
using Block = std::map<int, std::map<std::string, std::string>>;

// The blocks of a text that begin with a line starting with head.
std::vector<Block> Blocks(const std::string& text, const std::string& head) {
    std::vector<Block> out;
    std::istringstream in(text);
    int chair = -1;
    bool collecting = false;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind(head, 0) == 0) {
            out.emplace_back();
            collecting = true;
            chair = -1;
            continue;
        }
        // Another block begins: nothing more of this one.
        if (l.rfind("table ", 0) == 0 || l.rfind("deal ", 0) == 0) collecting = false;
        if (!collecting) continue;
        if (l.rfind("chair ", 0) == 0) {
            chair = std::atoi(l.c_str() + 6);
            continue;
        }
        if (l.rfind("  ", 0) != 0) {
            chair = -1;
            if (l.rfind("result:", 0) == 0) out.back()[-1]["result"] = l.substr(7);
            continue;
        }
        const size_t colon = l.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = l.substr(2, colon - 2);
        // The wall belongs to the table, not to the chair listed last.
        out.back()[key.rfind("wall", 0) == 0 ? -1 : chair][key] = l.substr(colon + 1);
    }
    return out;
}

std::string Sorted(const std::string& ids) {
    std::istringstream in(ids);
    std::vector<int> v;
    for (int id; in >> id;) v.push_back(id);
    std::sort(v.begin(), v.end());
    std::string out;
    for (int id : v) out += ' ' + std::to_string(id);
    return out;
}

std::vector<int> Ids(const std::string& ids) {
    std::istringstream in(ids);
    std::vector<int> v;
    for (int id; in >> id;) v.push_back(id);
    return v;
}

struct Meld {
    std::string kind;
    std::vector<int> tiles;  // as listed
    int giver = -1;
};

// "peng(1 2 3)<2 angang(...)<0" → the melds as listed.
std::vector<Meld> Melds(const std::string& line) {
    std::vector<Meld> out;
    std::istringstream in(line);
    for (std::string m; in >> m;) {
        const size_t open = m.find('(');
        if (open == std::string::npos) continue;
        Meld meld{m.substr(0, open), {}, -1};
        std::string rest = m.substr(open + 1);
        while (rest.find(')') == std::string::npos) {
            std::string more;
            if (!(in >> more)) break;
            rest += ' ' + more;
        }
        const size_t close = rest.find(')');
        meld.tiles = Ids(rest.substr(0, close));
        const size_t lt = rest.find('<', close);
        if (lt != std::string::npos) meld.giver = std::atoi(rest.c_str() + lt + 1);
        out.push_back(meld);
    }
    return out;
}

// A meld with its tiles sorted: the client lists the claimed tile first, the server last.
std::string Normal(const std::vector<Meld>& melds) {
    std::string out;
    for (Meld m : melds) {
        std::sort(m.tiles.begin(), m.tiles.end());
        out += ' ' + m.kind + '(';
        for (size_t i = 0; i < m.tiles.size(); ++i)
            out += (i ? " " : "") + std::to_string(m.tiles[i]);
        out += ")<" + std::to_string(m.giver);
    }
    return out;
}

// The melds a table shows: the server's record keeps a pung in its list under the added kong
// laid on it, where the table shows the kong alone.
std::vector<Meld> Shown(const std::vector<Meld>& melds) {
    std::vector<Meld> out;
    for (const Meld& m : melds) {
        bool under = false;
        for (const Meld& kong : melds)
            under |= m.kind == "peng" && kong.kind == "bugang" &&
                     std::all_of(m.tiles.begin(), m.tiles.end(), [&](int id) {
                         return std::find(kong.tiles.begin(), kong.tiles.end(), id) !=
                                kong.tiles.end();
                     });
        if (!under) out.push_back(m);
    }
    return out;
}

std::string Join(const std::vector<int>& ids) {
    std::string out;
    for (int id : ids) out += ' ' + std::to_string(id);
    return out;
}

// The deal is played once for the suite; its records and pictures are read by the tests.
class DealEndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() { Play(); }
    static void Play();
    void SetUp() override {
        if (skip) GTEST_SKIP() << skip;
        ASSERT_TRUE(played) << "the deal was not played to its end";
        served = Blocks(recordText, "deal ");
        const std::vector<Block> b = Blocks(dumpText, "table before");
        const std::vector<Block> a = Blocks(dumpText, "table after");
        ASSERT_EQ(served.size(), 1u) << recordText;
        ASSERT_EQ(b.size(), 1u) << dumpText;
        ASSERT_EQ(a.size(), 1u) << dumpText;
        before = b[0];
        after = a[0];
        for (int c = -1; c < 4; ++c) {
            ASSERT_TRUE(served[0].count(c)) << c;
            ASSERT_TRUE(before.count(c) || c == -1) << c;
        }
        // "result: flags F winners N points a b c d won w0 w1 w2 w3"
        const std::string result = served[0].at(-1).at("result");
        ASSERT_NE(result.find(" won "), std::string::npos) << result;
        won = Ids(result.substr(result.find(" won ") + 5));
        ASSERT_EQ(won.size(), 4u) << result;
    }
    // A failed check shows the whole deal as both sides saw it.
    void TearDown() override {
        if (HasFailure() && played)
            std::cout << "server's record:\n"
                      << recordText << "\nclient's record:\n"
                      << dumpText << "\nclient's log:\n"
                      << clientLog << "\nserver's log:\n"
                      << serverLog;
    }
    const std::map<std::string, std::string>& Server(int c) const { return served[0].at(c); }

    static constexpr int kOwn = 0;  // the hall seats the client at chair 0
    static inline const char* skip = nullptr;
    static inline bool played = false;
    static inline std::string recordText, dumpText, clientErrors, serverLog, clientLog;
    static inline bool meldShot = false;
    std::vector<Block> served;
    Block before, after;
    std::vector<int> won;
};

void DealEndToEnd::Play() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        skip = "Xvfb is not installed";
        return;
    }
    if (!dlopen("libXtst.so.6", RTLD_NOW)) {
        skip = "libXtst is not installed";
        return;
    }
    HallRun run("deal");
    // Both tests of the suite play a deal of their own, at the same time or one after the
    // other, and keep their pictures in the same folder: it is not emptied, since the other
    // may be copying into it, and what the tests check is read from the run's own folder.
    const std::string kept = std::string(HQLV_BUILD_DIR) + "/deal-e2e";
    std::error_code ignored;
    std::filesystem::create_directories(kept, ignored);
    const std::string record = run.dir() + "/record.txt", dump = run.dir() + "/dump.txt",
                      shots = run.dir() + "/shots", fb = run.dir() + "/fb";
    mkdir(shots.c_str(), 0700);
    mkdir(fb.c_str(), 0700);
    ServerProcess server;
    // Three turn seconds: the client's own turns run out three times (it plays the drawn tile
    // itself, long before the server's deadline of turn + grace + 2 seconds, which a loaded
    // machine must not reach), then its automatic player chooses its discards on the second
    // clock second of each turn.
    ASSERT_TRUE(server.Start({"--seed", std::to_string(kSeed), "--record", record, "--turn", "3",
                              "--claim", "1", "--think", "100", "--grace", "15"},
                             run.dir()));
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    // Under X the platform's libraries keep blocks of their own at exit: leaks are the
    // offscreen runs' job; this run is for the deal and its pictures.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    (asan && *asan ? ":" : "") +
                                    "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(),
                          {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_TABLE_DUMP=" + dump,
                           "HQLV_TABLE_SHOTS=" + shots, asanOptions}));
    int paneW = 0, paneH = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string log = run.ClientLog();
            const size_t at = log.rfind("table pane ");
            return at != std::string::npos &&
                   std::sscanf(log.c_str() + at, "table pane %d x %d", &paneW, &paneH) == 2;
        },
        60000))
        << run.ClientLog();
    // The start button stands at (372, 608) of the 744 × 710 table, stretched to the pane at
    // the screen's top left. Pressed until the server starts the deal.
    const int bx = 372 * paneW / 744, by = 608 * paneH / 710;
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), bx, by, 1));
        started =
            WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 8000);
    }
    ASSERT_TRUE(started) << run.ClientLog() << server.Log();
    // The deal plays to its end; the result picture is taken a second after the result.
    ASSERT_TRUE(
        WaitFor([&] { return ReadFile(record).find("result:") != std::string::npos; }, 900000))
        << server.Log();
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadFile(dump).find("table after") != std::string::npos &&
                   std::filesystem::exists(shots + "/table-result.png");
        },
        30000))
        << run.ClientLog();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const QImage screen = ReadScreen(fb + "/Xvfb_screen0");
    EXPECT_FALSE(screen.isNull());
    screen.save(QString::fromStdString(kept + "/screen-result.png"));
    meldShot = std::filesystem::exists(shots + "/table-meld.png");
    for (const std::string& name : {shots + "/table-start.png", shots + "/table-meld.png",
                                    shots + "/table-result.png", dump, record})
        std::filesystem::copy_file(name, kept + name.substr(name.rfind('/')),
                                   std::filesystem::copy_options::overwrite_existing, ignored);
    clientLog = run.ClientLog();
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();

    recordText = ReadFile(record);
    dumpText = ReadFile(dump);
    serverLog = server.Log();
    clientErrors = ReadFile(run.dir() + "/stderr.txt");
    played = true;
}

TEST_F(DealEndToEnd, MeldsDiscardsFlowersAndTheWallEqualTheServersDeal) {
    // The seed makes melds: the picture of the first one exists.
    int melds = 0;
    for (int c = 0; c < 4; ++c) melds += int(Melds(Server(c).at("melds")).size());
    EXPECT_GT(melds, 0) << recordText;
    EXPECT_TRUE(meldShot);
    // The discards another chair claimed: the client lists a meld's claimed tile first, an
    // added kong's first the tile claimed for the pung beneath it.
    std::map<int, std::vector<int>> claimed;
    for (int c = 0; c < 4; ++c)
        for (const Meld& m : Melds(before.at(c).at("melds")))
            if (m.giver != c && m.kind != "angang" && !m.tiles.empty())
                claimed[m.giver].push_back(m.tiles[0]);
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("chair " + std::to_string(c));
        const auto& sc = Server(c);
        const auto& bc = before.at(c);
        // The melds as announced, and the tiles the table shows in them.
        EXPECT_EQ(Normal(Melds(bc.at("melds"))), Normal(Shown(Melds(sc.at("melds")))));
        std::vector<int> meldTiles;
        for (const Meld& m : Shown(Melds(sc.at("melds"))))
            if (m.kind != "angang" || c == kOwn)
                meldTiles.insert(meldTiles.end(), m.tiles.begin(), m.tiles.end());
        std::vector<int> shownMeld;
        for (int id : Ids(bc.at("meldtiles")))
            if (id != 200) shownMeld.push_back(id);
        EXPECT_EQ(Sorted(Join(shownMeld)), Sorted(Join(meldTiles)));
        // Every discard in order; the server keeps those nobody claimed.
        std::vector<int> kept = Ids(bc.at("discards"));
        for (int id : claimed[c]) kept.erase(std::find(kept.begin(), kept.end(), id));
        EXPECT_EQ(Join(kept), sc.at("discards"));
        EXPECT_EQ(bc.at("flowers"), sc.at("flowers"));
        // Only a winner's winning tile lies apart after the lay-down.
        EXPECT_EQ(!after.at(c).at("apart").empty(), won[size_t(c)] >= 1);
    }
    EXPECT_EQ(before.at(-1).at("wall"), Server(-1).at("wall"));
    // Every own discard was the client's own play, its time-outs' and its automatic
    // player's, and there were more than the three time-outs. Only the banker's first may be
    // the server's: its deadline (turn + grace + 2 seconds from the deal's start) can fall
    // before the client's dice and dealing end.
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = 0; (at = serverLog.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    // The server logs the requests it refuses; the bots here never leave a seat silent, so
    // every discard request the client sent was its own.
    const size_t played =
        count("client 1: request 221080 ") - count("request 221080 of chair 0 answered");
    const size_t own = Ids(before.at(kOwn).at("discards")).size();
    EXPECT_TRUE(played == own || played + 1 == own) << played << " of " << own << serverLog;
    EXPECT_GT(played, 3u);
    EXPECT_EQ(clientErrors.find("runtime error"), std::string::npos) << clientErrors;
    EXPECT_EQ(clientErrors.find("Sanitizer"), std::string::npos) << clientErrors;
}

// The rows, the showcases, the own hand and the laid-down hands as the server dealt them.
TEST_F(DealEndToEnd, TheHandsAndRowsOnTheTableEqualTheServersDeal) {
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("chair " + std::to_string(c));
        const auto& sc = Server(c);
        const auto& bc = before.at(c);
        // The rows (and the last discard still in front of the seat) hold what nobody claimed.
        EXPECT_EQ(bc.at("rows") + bc.at("showcase"), sc.at("discards"));
        if (c == kOwn) {
            EXPECT_EQ(Sorted(bc.at("hand")), Sorted(sc.at("hand")));
        }
        EXPECT_EQ(Sorted(after.at(c).at("laid")), Sorted(sc.at("laid")));
    }
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
