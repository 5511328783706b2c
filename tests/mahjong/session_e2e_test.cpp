// A session as the README's run command plays it, on a virtual X display: the local game
// server and the stand-in hall with the server's standings file, the client entering the
// table and three deals played to their end (the own turns run out, then the automatic
// player goes on). Afterwards the client's log holds no error line, the hall's notice was
// downloaded, the player list shows each player's standing as the server settled it, and the
// details the hall gives of another player (double click on his row) are the list's own
// figures. The screen with the score board chosen is kept in the build folder.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <unistd.h>

#include <QImage>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"
#include "tools/stand_ins.h"
#include "tools/standings.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::LastTrace;
using e2e::ReadFile;
using e2e::ServerProcess;
using e2e::VirtualDisplay;
using e2e::WaitFor;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The lines of a log that tell of a fault.
std::vector<std::string> ErrorLines(const std::string& log) {
    static const std::regex fault("错误|失败|异常|无效|error|fail|cannot|invalid",
                                  std::regex::icase);
    std::vector<std::string> out;
    std::istringstream in(log);
    for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, fault)) out.push_back(l);
    return out;
}

// A row of the list trace: "name 级别=.. 积分=.. 银子=.. 旁观对象=.." (the own row ends
// in " (own)"); the cells by title.
std::map<std::string, std::string> Cells(const std::string& row, std::string* name) {
    std::map<std::string, std::string> cells;
    std::istringstream in(row);
    in >> *name;
    for (std::string w; in >> w;) {
        const size_t eq = w.find('=');
        if (eq != std::string::npos) cells[w.substr(0, eq)] = w.substr(eq + 1);
    }
    return cells;
}

// The user id a listed name stands for: the hall's own user, or a server-driven chair.
int32_t UserOf(const std::string& name) {
    if (name == "玩家1001") return 1001;
    for (int c = 0; c < 4; ++c)
        if (name == tools::ComputerPlayerName(c)) return tools::kFirstComputerUserId + c;
    return 0;
}

TEST(SessionEndToEnd, ThreeDealsLeaveACleanLogAndFiguresThatAgree) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
    HallRun run("session");
    const std::string standings = run.dir() + "/standings.txt", trace = run.dir() + "/ui-trace.txt";
    ServerProcess server;
    // One turn second: the own turns run out three times, then the automatic player plays
    // each own turn at the next clock second.
    ASSERT_TRUE(server.Start(
        {"--standings", standings, "--turn", "1", "--claim", "1", "--think", "50", "--grace", "0"},
        run.dir()));
    VirtualDisplay x;
    ASSERT_TRUE(x.Start());
    ASSERT_TRUE(run.Start(server.Port(),
                          {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_UI_TRACE=" + trace,
                           "SDL_AUDIODRIVER=dummy", e2e::AsanOptionsUnderX()},
                          {"--standings", standings}));
    int paneW = 0, paneH = 0;
    ASSERT_TRUE(e2e::WaitForTablePane(run, &paneW, &paneH)) << run.ClientLog();
    // The start button at (372, 608) of the 744 × 710 table, stretched to the pane.
    const int bx = 372 * paneW / 744, by = 608 * paneH / 710;
    // Without the automatic player the result dialog shows (and holds the table until its OK
    // closes it). It is traced before X has it on the screen, and a busy machine may bring it
    // late: the OK of a dialog traced since the last start is clicked again before each
    // further press of the start button, until a deal starts.
    int answered = 0;  // the result dialogs traced before the last deal started
    auto dialogs = [&] { return Count(ReadFile(trace), "result\tshown, ok at "); };
    // True when no such dialog waits; false when its OK's place cannot be read from the
    // trace or the OK cannot be clicked.
    auto clickOk = [&] {
        if (dialogs() <= answered) return true;
        int okX = 0, okY = 0;
        return std::sscanf(LastTrace(trace, "result\tshown, ok at ").c_str(), "%d,%d", &okX,
                           &okY) == 2 &&
               e2e::ClickOnDisplay(x.name(), okX, okY, 1);
    };
    for (int deal = 1; deal <= 3; ++deal) {
        SCOPED_TRACE(deal);
        bool started = false;
        for (int attempt = 0; attempt < 15 && !started; ++attempt) {
            ASSERT_TRUE(clickOk());
            ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), bx, by, 1));
            started = WaitFor([&] { return Count(server.Log(), "deal: started") >= deal; }, 3000);
        }
        ASSERT_TRUE(started) << server.Log();
        answered = dialogs();
        ASSERT_TRUE(WaitFor([&] { return Count(server.Log(), "deal: over") >= deal; }, 240000))
            << server.Log();
        if (WaitFor([&] { return dialogs() > answered; }, 5000)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ASSERT_TRUE(clickOk());
        }
    }
    // Each listed player at his standing in the server's file: what the hall answers with.
    const tools::Standings settled = tools::ReadStandingsFile(standings);
    ASSERT_EQ(settled.size(), 4u) << ReadFile(standings);
    int counted = 0;
    for (const auto& [user, s] : settled) counted += s.wins + s.losses + s.draws;
    EXPECT_EQ(counted, 12);
    std::string rows;
    ASSERT_TRUE(WaitFor(
        [&] {
            rows = LastTrace(trace, "players\trows 4: ");
            std::istringstream in(rows);
            bool agree = !rows.empty();
            for (std::string row; agree && std::getline(in, row, '|');) {
                std::string name;
                const auto cells = Cells(row, &name);
                const auto s = settled.find(UserOf(name));
                agree = s != settled.end() && cells.count("积分") &&
                        cells.at("积分") == std::to_string(s->second.score) &&
                        cells.at("银子") == std::to_string(s->second.silver);
            }
            return agree;
        },
        10000))
        << rows << "\n"
        << ReadFile(standings);
    // The details of the player in the second row, as the hall gives them.
    int rowX = 0, rowY = 0, step = 0;
    ASSERT_EQ(std::sscanf(LastTrace(trace, "players\trow 0 at ").c_str(), "%d,%d step %d", &rowX,
                          &rowY, &step),
              3);
    std::string second, secondName;
    {
        std::istringstream in(rows);
        std::getline(in, second, '|');
        std::getline(in, second, '|');
    }
    const auto cells = Cells(second, &secondName);
    const int32_t user = UserOf(secondName);
    ASSERT_NE(user, 0) << second;
    std::string info;
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::ClickOnDisplay(x.name(), rowX, rowY + step, 1);
            e2e::ClickOnDisplay(x.name(), rowX, rowY + step, 1);
            info = LastTrace(trace, "info\tdetails: ");
            return !info.empty();
        },
        20000))
        << run.HallLog();
    EXPECT_NE(run.HallLog().find("0x9108: details of user " + std::to_string(user)),
              std::string::npos);
    const tools::UserStanding& s = settled.at(user);
    EXPECT_EQ(info.rfind(secondName + " ", 0), 0u) << info;
    EXPECT_NE(info.find(" 银子=" + cells.at("银子") + "两 "), std::string::npos) << info;
    EXPECT_NE(info.find(" 积分=" + cells.at("积分") + " "), std::string::npos) << info;
    EXPECT_NE(info.find(" 级别=" + cells.at("级别") + " "), std::string::npos) << info;
    EXPECT_NE(info.find(" 赢=" + std::to_string(s.wins) + " 输=" + std::to_string(s.losses) +
                        " 和=" + std::to_string(s.draws)),
              std::string::npos)
        << info;
    // The score board at this screen's width, for whoever looks.
    int tabX = 0, tabY = 0;
    if (std::sscanf(LastTrace(trace, "score\tboard tab at ").c_str(), "%d,%d", &tabX, &tabY) == 2 &&
        e2e::ClickOnDisplay(x.name(), tabX, tabY, 1)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        const std::string shot = std::string(HQLV_BUILD_DIR) + "/session-board.png";
        std::system(
            ("DISPLAY=" + x.name() + " import -window root '" + shot + "' 2>/dev/null").c_str());
    }
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    // A clean log: the notice came, the stored game data was of the right kind, no faults.
    const std::string log = run.ClientLog();
    EXPECT_NE(log.find("//notify/game/77.txt: downloaded"), std::string::npos) << log;
    EXPECT_EQ(ErrorLines(log), std::vector<std::string>{}) << log;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
