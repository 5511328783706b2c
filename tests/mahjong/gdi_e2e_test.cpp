// The window-drawn table (HQLV_SCENE_MODE=1) watching a whole deal on a virtual X display: a
// player on one display starts a seeded deal of the local game server (hqlv-server); once the
// deal runs, a looker-on of mode 1 is started by the stand-in hall on a second display at the
// same chair. Its view rebuilds the table from the game data and paints the deal as it goes;
// after the result the screen is kept (build folder, gdi-e2e/looker-result.png) and the faces
// read by their markers must be the server's: each seat's edge only that chair's melds and
// laid-down hand (and a winner's winning tile), the own seat every one of them, the table's
// middle nothing but discarded tiles. A meld made before the looker-on came is not on its
// table (the looker-on's state holds no melds): the seat stands only the tiles the state
// counts, so no stray backs show after the lay-down.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "mahjong/scene/tile_records.h"
#include "tests/framework/hall_run.h"
#include "tests/mahjong/scene/shot_util.h"
#include "tests/mahjong/server_run.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::ReadFile;
using e2e::ReadScreen;
using e2e::ServerProcess;
using e2e::VirtualDisplay;
using e2e::WaitFor;

// The faces whose markers show inside the rectangle; the back (46) is left out.
std::set<int> FacesIn(const QImage& img, const QRect& r) {
    std::set<int> out;
    const QRect in = r.intersected(img.rect());
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x)
            if (int f = test::FaceOf(img.pixel(x, y) & 0xFFFFFF); f >= 0 && f != 46) out.insert(f);
    return out;
}

// The faces of the tile ids in a record line ("peng(1 2 3)<2 ..." or "1 2 3").
std::set<int> FacesOf(const std::string& line) {
    std::string digits = line;
    for (size_t i = 0; i < digits.size(); ++i) {
        // The giver after '<' is a chair, not a tile.
        if (digits[i] == '<') {
            while (i < digits.size() && digits[i] != ' ') digits[i++] = ' ';
            continue;
        }
        if (!std::isdigit(uint8_t(digits[i]))) digits[i] = ' ';
    }
    std::set<int> out;
    std::istringstream in(digits);
    for (int id; in >> id;)
        if (GetFaceIndex(id) != 46) out.insert(GetFaceIndex(id));
    return out;
}

// "  key: values" of each "chair N" block of the server's deal record.
std::map<int, std::map<std::string, std::string>> Chairs(const std::string& record) {
    std::map<int, std::map<std::string, std::string>> out;
    std::istringstream in(record);
    int chair = -1;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("chair ", 0) == 0) chair = std::atoi(l.c_str() + 6);
        const size_t colon = l.find(':');
        if (l.rfind("  ", 0) == 0 && colon != std::string::npos && chair >= 0)
            out[chair][l.substr(2, colon - 2)] = l.substr(colon + 1);
    }
    return out;
}

std::string Text(const std::set<int>& faces) {
    std::string s;
    for (int f : faces) s += ' ' + std::to_string(f);
    return s;
}

TEST(GdiLookerOn, PaintsTheServersDealFromItsRebuiltTable) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
    HallRun player("gdi-player"), looker("gdi-looker");
    const std::string kept = std::string(HQLV_BUILD_DIR) + "/gdi-e2e";
    std::filesystem::remove_all(kept);
    std::filesystem::create_directories(kept);
    const std::string record = player.dir() + "/record.txt", shots = player.dir() + "/shots",
                      fb = looker.dir() + "/fb";
    mkdir(shots.c_str(), 0700);
    mkdir(fb.c_str(), 0700);
    ServerProcess server;
    // The server's players think a minute a turn until the looker-on is in: what it can show
    // of a seat depends on when it came (the melds and discards made before are not on its
    // table), and on a busy machine its client comes up many seconds later than on a quiet
    // one. Once its state is sent, they think 300 ms.
    ASSERT_TRUE(server.Start({"--seed", "7", "--record", record, "--think", "60000", "--turn", "1",
                              "--claim", "1", "--grace", "0"},
                             player.dir()));
    VirtualDisplay playerX, lookerX;
    ASSERT_TRUE(playerX.Start());
    ASSERT_TRUE(lookerX.Start(fb));
    const std::string asanOptions = e2e::AsanOptionsUnderX();
    const std::vector<std::string> seat = {"--table", "1", "--chair", "0"};
    ASSERT_TRUE(player.Start(server.Port(),
                             {"DISPLAY=" + playerX.name(), "QT_QPA_PLATFORM=xcb",
                              "HQLV_TABLE_SHOTS=" + shots, asanOptions},
                             seat));
    int paneW = 0, paneH = 0;
    auto pane = [&](const HallRun& run) {
        const std::string log = run.ClientLog();
        const size_t at = log.rfind("table pane ");
        return at != std::string::npos &&
               std::sscanf(log.c_str() + at, "table pane %d x %d", &paneW, &paneH) == 2;
    };
    ASSERT_TRUE(WaitFor([&] { return pane(player); }, 60000)) << player.ClientLog();
    // The engine table's start button stands at (372, 608) of its 744 × 710 table, stretched
    // to the pane; pressed until the server starts the deal.
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ASSERT_TRUE(e2e::ClickOnDisplay(playerX.name(), 372 * paneW / 744, 608 * paneH / 710, 1));
        started =
            WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 8000);
    }
    ASSERT_TRUE(started) << player.ClientLog() << server.Log();
    std::vector<std::string> lookerSeat = seat;
    lookerSeat.insert(lookerSeat.end(), {"--user", "1002", "--looker", "1"});
    ASSERT_TRUE(looker.Start(
        server.Port(),
        {"DISPLAY=" + lookerX.name(), "QT_QPA_PLATFORM=xcb", "HQLV_SCENE_MODE=1", asanOptions},
        lookerSeat));
    ASSERT_TRUE(WaitFor([&] { return pane(looker); }, 60000)) << looker.ClientLog();
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(record).find("state chair 0 looker 1") != std::string::npos; },
        60000))
        << looker.ClientLog() << server.Log();
    // The state the looker-on came in with is the record's first block: the players held
    // their turns, so no meld lies on the table yet (what a meld made before would hide from
    // it is what the seats' checks below count on).
    const std::string state = ReadFile(record).substr(0, ReadFile(record).find("\n\n"));
    const auto entered = Chairs(state);
    ASSERT_EQ(entered.size(), 4u) << state;
    for (const auto& [chair, lines] : entered)
        ASSERT_EQ(lines.at("melds"), "") << "chair " << chair << " melded before the looker-on";
    ASSERT_FALSE(ReadFile(record).find("result:") != std::string::npos)
        << "the deal ended before the looker-on came";
    ASSERT_TRUE(server.Command("think 300"));
    // The deal's record ends with its result line.
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string text = ReadFile(record);
            const size_t at = text.find("result:");
            return at != std::string::npos && text.find('\n', at) != std::string::npos;
        },
        600000))
        << server.Log();
    // The looker-on watches chair 0 from the bottom; chairs 1-3 sit left, across and right.
    const int kEdge = 55, kFoot = 70;
    const QRect edges[4] = {
        QRect(QPoint(kEdge, paneH - kFoot), QPoint(paneW - kEdge, paneH - 1)),
        QRect(QPoint(0, kEdge), QPoint(kEdge - 1, paneH - kFoot - 1)),
        QRect(QPoint(kEdge, 0), QPoint(paneW - kEdge, kEdge - 1)),
        QRect(QPoint(paneW - kEdge, kEdge), QPoint(paneW - 1, paneH - kFoot - 1))};
    const auto chairs = Chairs(ReadFile(record));
    ASSERT_EQ(chairs.size(), 4u) << ReadFile(record);
    // "result: ... won w0 w1 w2 w3": a winner also shows the tile it won on, the last discard
    // of the chair that gave it.
    const std::string text = ReadFile(record);
    std::istringstream wonIn(text.substr(text.find(" won ") + 5));
    int won[4] = {};
    for (int& w : won) wonIn >> w;
    // The faces a seat may show at the end: its melds, its laid-down hand and a won tile.
    auto shownBy = [&](int c) {
        const auto& sc = chairs.at(c);
        std::set<int> shown = FacesOf(sc.at("melds"));
        for (int f : FacesOf(sc.at("laid"))) shown.insert(f);
        if (won[c] >= 1)
            for (int o = 0; o < 4; ++o)
                if (o != c && !chairs.at(o).at("discards").empty())
                    shown.insert(
                        GetFaceIndex(std::atoi(chairs.at(o)
                                                   .at("discards")
                                                   .substr(chairs.at(o).at("discards").rfind(' '))
                                                   .c_str())));
        return shown;
    };
    // The view paints its buffer again every 250 ms; the result is in after a few, later on
    // a busy machine, and one seat may show its laid-down hand before the others: the screen
    // is looked at until every seat shows what is checked below, for up to 20 s.
    const std::string laidDown =
        Text(FacesOf(chairs.at(0).at("melds") + " " + chairs.at(0).at("laid")));
    auto laidOut = [&](const QImage& img) {
        if (img.isNull() || Text(FacesIn(img, edges[0])) != laidDown) return false;
        for (int c = 1; c < 4; ++c) {
            const std::set<int> read = FacesIn(img, edges[c]), shown = shownBy(c);
            if (read.size() < 3) return false;
            for (int f : read)
                if (!shown.count(f)) return false;
        }
        return true;
    };
    QImage screen;
    const bool painted = WaitFor(
        [&] {
            screen = ReadScreen(fb + "/Xvfb_screen0");
            return laidOut(screen);
        },
        20000);
    ASSERT_FALSE(screen.isNull());
    // What the looker-on's client went through, where its screen did not come to the result.
    const std::string lookerLog = painted ? std::string() : looker.ClientLog();
    screen.save(QString::fromStdString(kept + "/looker-result.png"));
    std::filesystem::copy_file(record, kept + "/record.txt",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string lookerErrors = ReadFile(looker.dir() + "/stderr.txt");
    looker.Command("close");
    player.Command("close");
    EXPECT_EQ(looker.Wait(60000), 0) << looker.HallLog() << lookerLog;
    EXPECT_EQ(player.Wait(60000), 0) << player.HallLog();

    std::set<int> tabled;  // every face the deal put on the table
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("chair " + std::to_string(c));
        const auto& sc = chairs.at(c);
        const std::set<int> shown = shownBy(c);
        // The own seat lies flat at the foot and shows every face; at the side seats the
        // tiles overlap, so only a part of the markers shows there.
        const std::set<int> read = FacesIn(screen, edges[c]);
        if (c == 0) {
            EXPECT_EQ(Text(read), Text(FacesOf(sc.at("melds") + " " + sc.at("laid"))));
        }
        EXPECT_GE(read.size(), 3u) << Text(read);
        for (int f : read) EXPECT_TRUE(shown.count(f)) << "face " << f << " is not the seat's";
        for (const char* key : {"melds", "discards", "flowers"})
            for (int f : FacesOf(sc.at(key))) tabled.insert(f);
    }
    const std::set<int> middle =
        FacesIn(screen, QRect(QPoint(kEdge, kEdge), QPoint(paneW - kEdge - 1, paneH - kFoot - 1)));
    EXPECT_GE(middle.size(), 10u) << Text(middle) << lookerLog;
    for (int f : middle) EXPECT_TRUE(tabled.count(f)) << "face " << f << " was never discarded";
    EXPECT_EQ(lookerErrors.find("runtime error"), std::string::npos) << lookerErrors;
    EXPECT_EQ(lookerErrors.find("Sanitizer"), std::string::npos) << lookerErrors;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
