// The whole client against the local game server: the stand-in hall starts it, the panes
// get the game entry in order, the server pushes an exit request, a score-board text, a
// player's forced exit, a deal record, a deal result and the network break; the client
// tells the hall and ends, without a sanitizer report. Under a 1024 × 768 virtual display
// the frame is photographed with its table pane in a cell 796 pixels wide (the pane itself
// one pixel wider on each side).
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "framework/app/text_edge.h"
#include "platform/core/process.h"
#include "tests/framework/hall_run.h"
#include "tools/server/game_server.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::ReadFile;
using e2e::VirtualDisplay;
using e2e::WaitFor;
using test::Words;

size_t Find(const std::string& log, const std::string& text) {
    return log.find(text);
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    void TearDown() override { server.Stop(); }
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
};

TEST_F(EndToEnd, NotificationsThenTheNetworkBreakEndTheClient) {
    HallRun run("mj");
    ASSERT_TRUE(run.Start(server.Port()));
    auto enter = server.WaitForRequest(200110, 60000);
    ASSERT_TRUE(enter) << run.HallLog();
    ASSERT_TRUE(WaitFor(
        [&] { return Find(run.ClientLog(), "pane score: game entered") != std::string::npos; },
        20000))
        << run.ClientLog();
    std::string log = run.ClientLog();
    size_t chat = Find(log, "pane chat: game entered"),
           players = Find(log, "pane players: game entered"),
           table = Find(log, "pane table: game entered"),
           score = Find(log, "pane score: game entered");
    ASSERT_NE(chat, std::string::npos);
    EXPECT_LT(chat, players);
    EXPECT_LT(players, table);
    EXPECT_LT(table, score);
    // The advert window's page is the hall's local one, on the web base of its record.
    const std::string page = "file://" + run.dir() + "/root/web//advert/window/77/xy.htm";
    EXPECT_NE(Find(log, "advert page " + page), std::string::npos) << log;
    EXPECT_EQ(access((run.dir() + "/root/web/advert/window/77/xy.htm").c_str(), R_OK), 0);
    // The operate bar's "?" opens the game's help page there, which the platform opens.
    const std::string help = run.dir() + "/root/web/game/HqLv228.html";
    EXPECT_NE(ReadFile(help).find("红中麻将"), std::string::npos);
    EXPECT_TRUE(platform::isOpenableUrl("file://" + help));

    const int c = enter->client;
    std::vector<uint8_t> exit = Words(20, {{0, 1001}});
    std::string reason = framework::Utf8ToGbk("家里有事");
    std::memcpy(exit.data() + 16, reason.data(), reason.size());
    ASSERT_TRUE(server.Notify(c, 400006, exit));
    std::vector<uint8_t> text(32, 0);
    std::string board = framework::Utf8ToGbk("排行榜");
    text.insert(text.end(), board.begin(), board.end());
    text.push_back(0);
    ASSERT_TRUE(server.Notify(c, 211400, text));
    ASSERT_TRUE(server.Notify(c, 211000, Words(7, {{1, 0}, {2, 1}, {5, -20}, {6, -300}})));
    ASSERT_TRUE(server.Notify(c, 211040, Words(233, {{8, 4}, {11, 0}})));
    ASSERT_TRUE(server.Notify(c, 211080, Words(413, {{0, 2}})));
    ASSERT_TRUE(
        WaitFor([&] { return Find(run.ClientLog(), "deal result") != std::string::npos; }, 20000))
        << run.ClientLog();
    ASSERT_TRUE(server.Notify(c, 229405, {}));
    EXPECT_EQ(run.Wait(60000), 0) << run.HallLog() << ReadFile(run.dir() + "/stderr.txt");

    log = run.ClientLog();
    const char* expected[] = {"exit request of user 1001: 家里有事",
                              "已经强行退出，游戏结束。(扣除300两,20分)",
                              "deal 4: banker chair 0",
                              "deal result: no winner",
                              "network break: the server ends the game",
                              "report to the hall",
                              "网络连接中断，请重新登录大厅",
                              "main frame destroyed"};
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << log;
        if (found != std::string::npos) at = found;
    }
    EXPECT_NE(run.HallLog().find("kind 2: window"), std::string::npos) << run.HallLog();
    std::string errors = ReadFile(run.dir() + "/stderr.txt");
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
}

TEST_F(EndToEnd, ScreenshotOfTheFrameAt1024By768) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    VirtualDisplay x;
    ASSERT_TRUE(x.Start("", "1024x768x24"));
    const std::string dpy = x.name();

    std::string kept = std::string(HQLV_BUILD_DIR) + "/mahjong-frame.png";
    std::string shot =
        std::string(HQLV_BUILD_DIR) + "/mahjong-frame." + std::to_string(getpid()) + ".png";
    unlink(shot.c_str());
    HallRun run("mjshot");
    // libxkbcommon-x11 reads its atom names with strndup beyond xcb's block. On the X
    // display the platform also loads and unloads drivers whose blocks LeakSanitizer can
    // no longer name (an "unknown module"): leaks are the offscreen end-to-end run's job,
    // this run is for the picture.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                              (asan && *asan ? ":" : "") + "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(), {"DISPLAY=" + dpy, "QT_QPA_PLATFORM=xcb",
                                          "HQLV_SCREENSHOT=" + shot, asanOptions}));
    EXPECT_TRUE(
        WaitFor([&] { return run.ClientLog().find("screenshot") != std::string::npos; }, 60000))
        << run.ClientLog();
    EXPECT_NE(run.ClientLog().find("table pane 798 x "), std::string::npos) << run.ClientLog();
    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    EXPECT_EQ(access(shot.c_str(), R_OK), 0) << shot << "\n" << run.ClientLog();
    EXPECT_EQ(rename(shot.c_str(), kept.c_str()), 0) << kept;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
