// The client where X offers no OpenGL (QT_XCB_GL_INTEGRATION=none, as on a machine without
// GL drivers) and where the toolkit is told to draw Quick scenes in software: each time the
// stand-in hall starts it against the local game server (hqlv-server) on a virtual display,
// its start button is pressed, a seeded deal is played to its result, and the client ends
// cleanly when the hall closes it. The web pane's page is drawn all the same, and the
// client's log says how the browser engine runs and why. A picture of each screen is kept
// in the build folder under no-gl-e2e/.
#include <gtest/gtest.h>

#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>
#include <string>
#include <thread>

#include "tests/framework/hall_run.h"
#include "tests/mahjong/server_run.h"

namespace hqlv::mahjong {
namespace {

// The end-to-end runs' programs, display and waits.
using namespace e2e;

struct Setting {
    const char* name;      // the picture's name
    const char* variable;  // NAME=value given to the client
    const char* logged;    // what the engine's log line must say
};

void PrintTo(const Setting& s, std::ostream* os) {
    *os << s.variable;
}

class NoOpenGl : public testing::TestWithParam<Setting> {};

TEST_P(NoOpenGl, PlaysASeededDealAndEndsCleanly) {
    const Setting& s = GetParam();
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (!dlopen("libXtst.so.6", RTLD_NOW)) GTEST_SKIP() << "libXtst is not installed";
    HallRun run("nogl");
    const std::string record = run.dir() + "/record.txt", fb = run.dir() + "/fb";
    mkdir(fb.c_str(), 0700);
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--seed", "11", "--record", record, "--turn", "2", "--claim", "1",
                              "--think", "50", "--grace", "0"},
                             run.dir()));
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    // Under X the platform's libraries keep blocks of their own at exit: leaks are the
    // offscreen runs' job.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    (asan && *asan ? ":" : "") +
                                    "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(),
                          {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", s.variable, asanOptions}));
    int paneW = 0, paneH = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string log = run.ClientLog();
            const size_t at = log.rfind("table pane ");
            return at != std::string::npos &&
                   std::sscanf(log.c_str() + at, "table pane %d x %d", &paneW, &paneH) == 2;
        },
        60000))
        << run.ClientLog() << ReadFile(run.dir() + "/stderr.txt");
    // The start button at (372, 608) of the 744 × 710 table, pressed until the deal starts.
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), 372 * paneW / 744, 608 * paneH / 710, 1));
        started = WaitFor(
            [&] { return run.ClientLog().find("deal 1: banker") != std::string::npos; }, 8000);
    }
    ASSERT_TRUE(started) << run.ClientLog() << server.Log();
    ASSERT_TRUE(
        WaitFor([&] { return ReadFile(record).find("result:") != std::string::npos; }, 900000))
        << server.Log();
    // The score pane's advert page (the hall's local one: white text on green) is drawn
    // right of the table, below the pane's tabs. The software-drawn page may come late on a
    // busy machine: the screen is looked at until it shows there, for up to 30 s.
    QImage screen;
    int green = 0;
    WaitFor(
        [&] {
            screen = ReadScreen(fb + "/Xvfb_screen0");
            green = 0;
            for (int y = 80; y < std::min(screen.height(), 200); ++y)
                for (int x0 = paneW + 20; x0 < std::min(screen.width(), paneW + 200); ++x0)
                    green += screen.pixel(x0, y) == 0xFF1D7A5F;
            return green > 1000;
        },
        30000);
    ASSERT_FALSE(screen.isNull());
    const std::string kept = std::string(HQLV_BUILD_DIR) + "/no-gl-e2e";
    std::filesystem::create_directories(kept);
    screen.save(QString::fromStdString(kept + "/" + s.name + ".png"));
    EXPECT_GT(green, 1000) << "no advert page in the score pane";

    // The hall's exit code is the client's.
    run.Command("close");
    EXPECT_EQ(run.Wait(60000), 0) << run.HallLog();
    const std::string log = run.ClientLog(), errors = ReadFile(run.dir() + "/stderr.txt");
    EXPECT_NE(log.find(std::string("web page: the browser engine starts (") + s.logged),
              std::string::npos)
        << log;
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, NoOpenGl,
    testing::Values(Setting{"gl-integration-none", "QT_XCB_GL_INTEGRATION=none",
                            "pages drawn in software, no OpenGL (QT_XCB_GL_INTEGRATION=none)"},
                    Setting{"quick-backend-software", "QT_QUICK_BACKEND=software",
                            "pages drawn in software, no OpenGL,"}),
    [](const testing::TestParamInfo<Setting>& i) {
        return i.param.name[0] == 'g' ? std::string("GlIntegrationNone")
                                      : std::string("QuickBackendSoftware");
    });

}  // namespace
}  // namespace hqlv::mahjong
#endif
