// The whole client against the local game server: the stand-in hall starts the client,
// which connects, checks its version, takes the hall's table state, enters the game, tells
// its panes, keeps the connection alive and, when closed, runs the close sequence.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(HQLV_SERVER_EXE) && defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include "builders.h"
#include "framework/app/text_edge.h"
#include "hall_run.h"
#include "http_test_server.h"
#include "platform/core/files.h"
#include "tools/server/game_server.h"
#include "tools/stand_ins.h"
#include "tools/standings.h"

namespace {

using hqlv::e2e::HallRun;
using hqlv::e2e::LastTrace;
using hqlv::e2e::ReadFile;
using hqlv::e2e::VirtualDisplay;
using hqlv::e2e::WaitFor;

bool ProcessGone(int pid) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return true;
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    close(fd);  // nobody listens there now
    return port;
}

// The client's environment on a virtual display. libxkbcommon-x11 reads its atom names
// with strndup beyond the block it got from xcb (harmless, but an address-sanitised client
// would stop there).
std::vector<std::string> ClientEnv(const VirtualDisplay& x, const std::string& shot) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_SCREENSHOT=" + shot,
            std::string("ASAN_OPTIONS=") + (asan ? asan : "") + (asan && *asan ? ":" : "") +
                "intercept_strndup=0"};
}

// The stand-in hall starts nothing without a client or with an option it does not know: it
// prints its usage.
TEST(StandInHall, UsageErrorsAndARootItCannotMake) {
    const std::string hall = HQLV_HALL_EXE;
    for (const char* args :
         {" --server 127.0.0.1:1", " --client /bin/true --bogus --root /dev/null/x/"}) {
        const int status = std::system((hall + args + " 2>/dev/null").c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2) << args;
    }
    // A root it cannot make: it stops at the first folder, with one line.
    FILE* f = popen(
        (hall + " --client /bin/true --server 127.0.0.1:1 --root /dev/null/x/ 2>&1").c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, f)) out += buf;
    const int rootStatus = pclose(f);
    EXPECT_EQ(WEXITSTATUS(rootStatus), 1);
    EXPECT_EQ(out, "hall: cannot create /dev/null/x/\n");
}

// A room kind adds its bits to option word B (command-line field 13), given before or after
// the word itself; an unknown kind only prints the usage.
TEST(StandInHall, RoomKindsAddTheirBitsToFieldThirteen) {
    const std::string hall = HQLV_HALL_EXE;
    struct Case {
        const char* args;
        int field13;
    } cases[] = {{" --room-kind system --option-b 8", 0x8A},
                 {" --option-b 8 --room-kind silver", 0xC8},
                 {" --room-kind plain --option-b 8", 0x8},
                 {" --room-kind system", 0x82}};
    for (const Case& c : cases) {
        char tmpl[] = "/tmp/hqlv-hall-kind-XXXXXX";
        const std::string dir = mkdtemp(tmpl);
        const std::string cmd = "HQLV_RUNTIME_DIR=" + dir + "/run " + hall +
                                " --client /bin/true --server 127.0.0.1:1 --root " + dir +
                                "/root --log " + dir + "/hall.log" + c.args + " 2>/dev/null";
        const int status = std::system(cmd.c_str());
        const std::string log = ReadFile(dir + "/hall.log");
        std::system(("rm -rf '" + dir + "'").c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.args;
        EXPECT_EQ(WEXITSTATUS(status), 0) << c.args;
        // The client's line ends with option word A, option word B and field 14.
        const std::string tail = "|0|" + std::to_string(c.field13) + "|0\"";
        EXPECT_NE(log.find(tail), std::string::npos) << c.args << "\n" << log;
    }
    const int status =
        std::system((hall + " --client /bin/true --room-kind bogus 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

class ClientEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        hqlv::server::ServerOptions opt;
        opt.port = 0;
        server_ = std::make_unique<hqlv::server::GameServer>(opt);
        ASSERT_TRUE(server_->Start());
    }
    void TearDown() override { server_->Stop(); }
    std::unique_ptr<hqlv::server::GameServer> server_;
};

TEST_F(ClientEndToEnd, EntersTheGameKeepsAliveAndClosesCleanly) {
    HallRun run("enter");
    ASSERT_TRUE(run.Start(server_->Port()));
    ASSERT_TRUE(server_->WaitForClients(1, 20000)) << run.HallLog();
    EXPECT_TRUE(server_->WaitForRequest(201001, 20000)) << "version check";
    ASSERT_TRUE(run.HallLogHas("0x9105: client window", 20000)) << run.HallLog();
    ASSERT_TRUE(run.HallLogHas("sent kind 1", 20000));
    auto enter = server_->WaitForRequest(200110, 30000);
    ASSERT_TRUE(enter) << run.ClientLog();
    ASSERT_TRUE(server_->WaitForRequest(201020, 20000)) << "keep-alive";
    ASSERT_TRUE(WaitFor(
        [&] { return run.ClientLog().find("pane score: game entered") != std::string::npos; },
        10000))
        << run.ClientLog();
    std::string client = run.ClientLog();
    // The game's frame tells the chat, players and table panes, then posts the score pane
    // its block; the operate bar is not told.
    for (const char* pane : {"chat", "table", "score", "players"})
        EXPECT_NE(client.find(std::string("pane ") + pane + ": game entered"), std::string::npos);
    EXPECT_NE(client.find("hall record of kind 1"), std::string::npos);

    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    std::string hall = run.HallLog();
    EXPECT_NE(hall.find("kind 2: window"), std::string::npos) << hall;
    EXPECT_NE(hall.find("user 1001 table 5 chair 0 looker 0 lost 0 game 77 room 3"),
              std::string::npos)
        << hall;
    EXPECT_TRUE(server_->WaitForRequest(201120, 5000)) << "the leave notice";
    EXPECT_TRUE(server_->WaitForClosed(enter->client, 10000));
}

// A user the standings file knows is listed with his settled figures, as the table last
// showed them (a player who comes back, or starts again); one it does not know, with a
// newcomer's.
TEST_F(ClientEndToEnd, TheHallListsItsUserWithHisSettledStanding) {
    const struct {
        int32_t user, score;
    } cases[] = {{1001, 96}, {1002, hqlv::tools::kPlayerStartScore}};
    for (const auto& c : cases) {
        HallRun run("standing");
        const std::string standings = run.dir() + "/standings.txt", trace = run.dir() + "/trace";
        ASSERT_TRUE(hqlv::tools::WriteStandingsFile(standings, {{1001, {96, 8464, 3, 0, 1, 0}}}));
        ASSERT_TRUE(run.Start(server_->Port(), {"HQLV_UI_TRACE=" + trace},
                              {"--standings", standings, "--user", std::to_string(c.user)}));
        const std::string row = "玩家" + std::to_string(c.user) + " ";
        std::string rows;
        EXPECT_TRUE(WaitFor(
            [&] {
                rows = LastTrace(trace, "players\trows 1: ");
                return rows.rfind(row, 0) == 0;
            },
            30000))
            << rows;
        EXPECT_NE(rows.find("积分=" + std::to_string(c.score) + " "), std::string::npos) << rows;
        run.Command("close");
        EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    }
}

// A player who comes back finds the server-driven players of his table listed by the hall, as
// its standings file names them; the one of his own chair is no seat of theirs.
TEST_F(ClientEndToEnd, TheHallListsTheServerDrivenPlayersItsStandingsName) {
    HallRun run("computers");
    const std::string standings = run.dir() + "/standings.txt", trace = run.dir() + "/trace";
    const int32_t first = hqlv::tools::kFirstComputerUserId;
    ASSERT_TRUE(hqlv::tools::WriteStandingsFile(
        standings, {{1001, {96, 8464, 3, 0, 1, 0}},
                    {first, {5, 100, 0, 0, 0, 0}},
                    {first + 2, {-40, 9000, 0, 1, 0, 0}},
                    {first + 4, {7, 100, 0, 0, 0, 0}}}));
    ASSERT_TRUE(run.Start(server_->Port(), {"HQLV_UI_TRACE=" + trace},
                          {"--standings", standings, "--chair", "0"}));
    std::string rows;
    EXPECT_TRUE(WaitFor(
        [&] {
            rows = LastTrace(trace, "players\trows ");
            return rows.find(hqlv::tools::ComputerPlayerName(2)) != std::string::npos;
        },
        30000))
        << rows;
    EXPECT_EQ(rows.rfind("2: 玩家1001 ", 0), 0u) << rows;
    EXPECT_NE(rows.find(" | " + hqlv::tools::ComputerPlayerName(2) + " "), std::string::npos)
        << rows;
    EXPECT_NE(rows.find("积分=-40 "), std::string::npos) << rows;
    EXPECT_EQ(rows.find(hqlv::tools::ComputerPlayerName(0)), std::string::npos) << rows;
    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
}

// A version check answered 1.5 s late: the wait dialog shows the connect text and turns
// its bar, painted, all through the blocked start-up, and goes when the client is in.
TEST_F(ClientEndToEnd, TheWaitDialogTurnsThroughASlowStartUp) {
    server_->SetReplyDelay(201001, 1500);
    HallRun run("slow");
    ASSERT_TRUE(run.Start(server_->Port()));
    int turns = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string log = run.ClientLog();
            const size_t at = log.find("wait dialog hidden: ");
            return at != std::string::npos &&
                   std::sscanf(log.c_str() + at, "wait dialog hidden: %d", &turns) == 1;
        },
        30000))
        << run.ClientLog();
    const std::string log = run.ClientLog();
    const size_t shown = log.find("wait: 正在连接游戏服务器......");
    ASSERT_NE(shown, std::string::npos) << log;
    EXPECT_LT(shown, log.find("wait dialog hidden: "));
    EXPECT_GE(turns, 5) << log;
    ASSERT_TRUE(server_->WaitForRequest(200110, 30000)) << run.ClientLog();
    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
}

TEST_F(ClientEndToEnd, APlayerLeavingTheTableEndsTheGame) {
    HallRun run("left");
    ASSERT_TRUE(run.Start(server_->Port()));
    ASSERT_TRUE(server_->WaitForRequest(200110, 30000)) << run.HallLog();
    run.Command("join 600 0");  // a looker-on
    run.Command("data");        // kinds 7 and 13
    run.Command("leave 7 2");   // a player of this table left
    // The client tells the server, shows the text for 3 s, then closes on its own.
    EXPECT_TRUE(server_->WaitForRequest(201120, 10000));
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    std::string hall = run.HallLog();
    EXPECT_NE(hall.find("sent kind 4 (320 bytes): delivered"), std::string::npos) << hall;
    EXPECT_NE(hall.find("sent kind 6"), std::string::npos) << hall;
    EXPECT_NE(hall.find("kind 2: window"), std::string::npos) << hall;
    std::string client = run.ClientLog();
    EXPECT_NE(client.find("已经退出,游戏结束。"), std::string::npos) << client;
    EXPECT_NE(client.find("hall record of kind 7"), std::string::npos) << client;
    EXPECT_NE(client.find("hall record of kind 13"), std::string::npos) << client;
}

TEST_F(ClientEndToEnd, ServerDownEndsTheClientAndTellsTheHall) {
    HallRun run("down");
    ASSERT_TRUE(run.Start(ClosedPort()));
    EXPECT_EQ(run.Wait(40000), 0) << run.HallLog();
    EXPECT_NE(run.ClientLog().find("无法连接游戏服务器，请稍后再试。"), std::string::npos)
        << run.ClientLog();
    EXPECT_NE(run.HallLog().find("kind 2: window 0 "), std::string::npos) << run.HallLog();
}

TEST_F(ClientEndToEnd, WrongVersionEndsTheClientWithTheNewerVersion) {
    server_->SetVersion(3, 0);
    HallRun run("version");
    ASSERT_TRUE(run.Start(server_->Port()));
    EXPECT_EQ(run.Wait(40000), 0) << run.HallLog();
    EXPECT_NE(run.ClientLog().find("start-up failed"), std::string::npos) << run.ClientLog();
    EXPECT_NE(run.HallLog().find("newer version 3.0"), std::string::npos) << run.HallLog();
    EXPECT_EQ(run.HallLog().find("0x9105"), std::string::npos);  // no window was made
}

TEST_F(ClientEndToEnd, ClientQuitsWhenTheHallIsGone) {
    HallRun run("gone");
    ASSERT_TRUE(run.Start(server_->Port()));
    auto enter = server_->WaitForRequest(200110, 30000);
    ASSERT_TRUE(enter) << run.HallLog();
    int pid = run.ClientPid();
    ASSERT_GT(pid, 0);
    run.Kill();
    EXPECT_TRUE(WaitFor([&] { return ProcessGone(pid); }, 10000));
    EXPECT_TRUE(server_->WaitForClosed(enter->client, 10000));
    EXPECT_NE(run.ClientLog().find("the hall is gone"), std::string::npos) << run.ClientLog();
}

// The main frame's layout as a person sees it: a real window on a virtual X display,
// written into the build folder.
TEST_F(ClientEndToEnd, ScreenshotOfTheMainFrameUnderXvfb) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    VirtualDisplay x;
    ASSERT_TRUE(x.Start()) << "Xvfb did not start";

    // Kept in the build folder as the test's artefact.
    // Written under a name of this process first, so that test programs running side by
    // side do not remove each other's picture.
    std::string kept = std::string(HQLV_BUILD_DIR) + "/main-frame.png";
    std::string shot =
        std::string(HQLV_BUILD_DIR) + "/main-frame." + std::to_string(getpid()) + ".png";
    unlink(shot.c_str());
    HallRun run("shot");
    ASSERT_TRUE(run.Start(server_->Port(), ClientEnv(x, shot)));
    EXPECT_TRUE(
        WaitFor([&] { return run.ClientLog().find("screenshot") != std::string::npos; }, 30000))
        << run.ClientLog();
    run.Command("close");
    run.Wait(30000);
    EXPECT_EQ(access(shot.c_str(), R_OK), 0) << shot << "\n" << run.ClientLog();
    EXPECT_NE(run.ClientLog().find("screenshot " + shot + ": written"), std::string::npos);
    EXPECT_EQ(rename(shot.c_str(), kept.c_str()), 0) << kept;
}

// The chat pane filled: the hall names the tests' notice server, the server seats a second
// player, relays a chat line with a face and an injection attempt; the opt-in trace shows
// the plain lines and the Xvfb screenshot shows the pane.
TEST_F(ClientEndToEnd, ChatPaneShowsWelcomeChatLiteralTagsAndTheNotice) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    hqlv::framework::testing::HttpServer notices;
    notices.Script(
        "//notify/game/77.txt",
        {200, hqlv::framework::Utf8ToGbk("<notify><c=255>今日公告：周末双倍积分"), {}, 0, "", {}});
    VirtualDisplay x;
    ASSERT_TRUE(x.Start()) << "Xvfb did not start";

    std::string kept = std::string(HQLV_BUILD_DIR) + "/chat-pane.png";
    std::string shot =
        std::string(HQLV_BUILD_DIR) + "/chat-pane." + std::to_string(getpid()) + ".png";
    unlink(shot.c_str());
    HallRun run("chat");
    std::string trace = run.dir() + "/trace.txt";
    std::vector<std::string> env = ClientEnv(x, shot);
    env.push_back("HQLV_SCREENSHOT_MS=4000");
    env.push_back("HQLV_UI_TRACE=" + trace);
    ASSERT_TRUE(run.Start(server_->Port(), env, {"--notice-base", notices.base()}));
    auto enter = server_->WaitForRequest(200110, 30000);
    ASSERT_TRUE(enter) << run.HallLog();
    auto entry = hqlv::framework::testing::Entry(2002, 1, "李四", 0, 0, 5);
    ASSERT_TRUE(server_->Notify(enter->client, 211011, entry));
    auto chat = [&](const std::string& text) {
        hqlv::framework::testing::Words w(128);
        w.w(0, 2002).text(48, text);
        return server_->Notify(enter->client, 201210, w.bytes);
    };
    ASSERT_TRUE(chat("你好<z=3>"));
    ASSERT_TRUE(chat("<c=255,s=3000>【系统】<e=l,l=http://x>点我"));
    auto traced = [&](const std::string& text) {
        return ReadFile(trace).find("chat\t" + text) != std::string::npos;
    };
    EXPECT_TRUE(
        WaitFor([&] { return traced(" 欢迎来到红中麻将   您的位置：测试房间 第6桌"); }, 20000))
        << ReadFile(trace);
    EXPECT_TRUE(WaitFor([&] { return traced(" 李四进入第6桌 "); }, 10000)) << ReadFile(trace);
    EXPECT_TRUE(WaitFor([&] { return traced(" 李四说：你好 "); }, 10000)) << ReadFile(trace);
    EXPECT_TRUE(WaitFor(
        [&] { return traced(" 李四说：＜c=255,s=3000>【系统】＜e=l,l=http://x>点我 "); }, 10000))
        << ReadFile(trace);
    EXPECT_TRUE(WaitFor([&] { return traced("今日公告：周末双倍积分"); }, 20000))
        << ReadFile(trace);
    EXPECT_TRUE(WaitFor(
        [&] { return run.ClientLog().find("screenshot " + shot) != std::string::npos; }, 30000))
        << run.ClientLog();
    run.Command("close");
    run.Wait(30000);
    EXPECT_NE(run.HallLog().find("face files copied"), std::string::npos) << run.HallLog();
    EXPECT_EQ(access(shot.c_str(), R_OK), 0) << shot;
    EXPECT_EQ(rename(shot.c_str(), kept.c_str()), 0) << kept;
}

}  // namespace
#endif
