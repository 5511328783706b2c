// The end-of-table notices against the whole client, mid-deal: the local game server
// (hqlv-server) deals, the stand-in hall starts the client on a virtual X display, its start
// button is pressed, and two seconds into the deal the server sends a notice that ends the
// table. The notice's box counts down and the client must then end within a few seconds:
// no running-game question, no exit dialog; the leave notice reaches the server while the
// connection stands, and the hall hears the report. The first run is the sequence that once
// left the client up for good: 211110 with the body e9030000, and 211410 with 32 zero bytes
// forty seconds later, if the client were still there to get it.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <string>
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
using Clock = std::chrono::steady_clock;

struct Notice {
    const char* name;
    const char* command;  // the server's command, for client 1
    int seconds;          // the box's countdown
    bool closesConnection;
};

void PrintTo(const Notice& n, std::ostream* os) {
    *os << n.name;
}

// The client in a deal: started through the hall on a display of its own, the start button
// pressed until the server deals, and two seconds more.
class TableOverEndToEnd : public ::testing::TestWithParam<Notice> {
protected:
    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
        if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
        ASSERT_TRUE(server.Start({"--seed", "11"}, run.dir()));
        ASSERT_TRUE(x.Start());
        // Under X the platform's libraries keep blocks of their own at exit: leaks are the
        // offscreen runs' job; these runs are for the ending.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                        (asan && *asan ? ":" : "") +
                                        "intercept_strndup=0:detect_leaks=0";
        ASSERT_TRUE(
            run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", asanOptions}));
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
        // The start button at (372, 608) of the 744 x 710 table, stretched over the pane.
        bool dealt = false;
        for (int attempt = 0; attempt < 10 && !dealt; ++attempt) {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), 372 * paneW / 744, 608 * paneH / 710, 1));
            dealt = WaitFor(
                [&] { return run.ClientLog().find("banker chair") != std::string::npos; }, 8000);
        }
        ASSERT_TRUE(dealt) << run.ClientLog() << server.Log();
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    // Seconds until the client (and with it the hall) ended; -1 when it did not within ms.
    double EndsWithin(int ms) {
        const auto start = Clock::now();
        if (run.Wait(ms) < 0) return -1;
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    // What the server received after the notice went out.
    std::string ServerLogSince(size_t from) const {
        const std::string log = server.Log();
        return from < log.size() ? log.substr(from) : std::string();
    }

    HallRun run{"over"};
    ServerProcess server;
    VirtualDisplay x;
};

TEST_P(TableOverEndToEnd, TheBoxEndsTheClientMidDeal) {
    const Notice n = GetParam();
    const size_t before = server.Log().size();
    ASSERT_TRUE(server.Command(n.command));
    const double took = EndsWithin((n.seconds + 15) * 1000);
    ASSERT_GE(took, 0) << n.name << " left the client up\n" << run.ClientLog();
    // The box ran its countdown, then the client ended at once.
    EXPECT_GE(took, n.seconds - 2) << n.name;
    EXPECT_LE(took, n.seconds + 8) << n.name;
    const std::string client = run.ClientLog();
    EXPECT_NE(client.find("the table is over: the client ends"), std::string::npos) << client;
    const std::string served = ServerLogSince(before);
    // No running-game question; the leave notice when the connection still stood.
    EXPECT_EQ(served.find("request 201130"), std::string::npos) << served;
    EXPECT_EQ(served.find("request 201120") != std::string::npos, !n.closesConnection) << served;
    const std::string hall = run.HallLog();
    EXPECT_NE(hall.find("kind 2: window"), std::string::npos) << hall;
    const std::string errors = ReadFile(run.dir() + "/stderr.txt");
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
}

// The bodies: user 1001 (e9030000) where the notice names a player; 211137 with two opening
// windows; 211138 with its text at byte 8; 211410 with a message and a link from byte 32.
INSTANTIATE_TEST_SUITE_P(
    Notices, TableOverEndToEnd,
    ::testing::Values(Notice{"NoSilver", "notify 1 211110 e9030000", 30, false},
                      Notice{"NoScore", "notify 1 211130 e9030000", 30, false},
                      Notice{"ScoreLimit", "notify 1 211132 e9030000", 30, false},
                      Notice{"PlayerRounds", "notify 1 211134 e90300000000000000000000c8000000", 30,
                             false},
                      Notice{"TableRounds", "notify 1 211136 0000000000000000c8000000", 30, false},
                      Notice{"TimeWindow",
                             "notify 1 211137 "
                             "000000000000000002000000000000000000000000000000000000003e03000032050"
                             "00000000000000000000000"
                             "0000000000000000000000000000b0040000600900000000000000000000000000000"
                             "00000000000000000000000",
                             60, false},
                      Notice{"ServerText", "text 1 211138 8 这一桌到此为止。", 60, false},
                      Notice{"GameResult",
                             "notify 1 211410 "
                             "0000000000000000000000000000000000000000000000000000000000000000"
                             "73636f72657c687474703a2f2f3132372e302e302e312f726573756c7400",
                             60, true}),
    [](const ::testing::TestParamInfo<Notice>& info) { return std::string(info.param.name); });

// The sequence that once stuck: 211110, then 211410 forty seconds later. The client must be
// gone before the second notice is due.
class StuckSequence : public TableOverEndToEnd {};

TEST_F(StuckSequence, NoSilverThenTheResultNoLongerLeavesTheClientUp) {
    const size_t before = server.Log().size();
    ASSERT_TRUE(server.Command("notify 1 211110 e9030000"));
    const double took = EndsWithin(40000);
    if (took < 0) {
        // Still there: the rest of the old sequence, and a last chance to end.
        server.Command("notify 1 211410 " + std::string(64, '0'));
        EXPECT_GE(EndsWithin(70000), 0) << "the client stayed up\n" << run.ClientLog();
        FAIL() << "the client outlived its 30-second box by ten seconds";
    }
    EXPECT_GE(took, 28);
    const std::string served = ServerLogSince(before);
    EXPECT_EQ(served.find("request 201130"), std::string::npos) << served;
    EXPECT_NE(served.find("request 201120"), std::string::npos) << served;
    EXPECT_NE(run.HallLog().find("kind 2: window"), std::string::npos) << run.HallLog();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
