// The client's panes on a virtual X display after a deal's result from the local server:
// the result dialog, then the main window with the operate bar's pictures and the score
// board chosen on "积分榜", each taken from the X root and checked for a colour of its
// generated pictures. The pictures stay in the build folder.
#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "framework/app/text_edge.h"
#include "platform/core/files.h"
#include "tests/framework/hall_run.h"
#include "tools/assetgen/pane_art.h"
#include "tools/server/game_server.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using e2e::HallRun;
using e2e::LastTrace;
using e2e::ReadFile;
using e2e::WaitFor;

// The whole screen through ImageMagick.
QImage Capture(const std::string& display, const std::string& png) {
    const std::string cmd = "DISPLAY=" + display + " import -window root '" + png + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return {};
    return QImage(QString::fromStdString(png));
}

// The skin colour of the generated default face.
constexpr uint32_t kFaceSkin = 0xF0C890;

int CountColour(const QImage& image, const QRect& area, uint32_t rgb) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == rgb;
    return n;
}

TEST(PaneShotsEndToEnd, ResultDialogThenOperateBarAndScoreBoard) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    if (std::system("command -v import >/dev/null") != 0) GTEST_SKIP() << "no ImageMagick";
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    ASSERT_TRUE(server.Start());
    HallRun run("panes");
    e2e::VirtualDisplay x;
    ASSERT_TRUE(x.Start());
    const std::string trace = run.dir() + "/ui-trace.txt";
    // The player's portrait (number 0): the generated default face.
    const std::string portraits = run.dir() + "/root/Share/Image/portrait/";
    ASSERT_TRUE(platform::makeFolders(portraits));
    ASSERT_TRUE(platform::writeFile(portraits + "0_0.bmp",
                                    assetgen::bmp8File(assetgen::defaultFaceImage())));
    const char* asan = std::getenv("ASAN_OPTIONS");
    // Under X the platform's libraries keep blocks of their own: leaks are the offscreen
    // runs' job, this run is for the pictures.
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    (asan && *asan ? ":" : "") +
                                    "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                          "HQLV_UI_TRACE=" + trace, asanOptions}));
    auto enter = server.WaitForRequest(200110, 60000);
    ASSERT_TRUE(enter) << run.HallLog();
    ASSERT_TRUE(WaitFor([&] { return !LastTrace(trace, "score\tboard tab at ").empty(); }, 30000))
        << run.ClientLog();
    const int c = enter->client;

    // A deal and its result: chair 0 won on chair 2's tile, 1200 silver from the other three.
    ASSERT_TRUE(server.Notify(c, 211040, test::Words(233, {{8, 1}, {11, 0}})));
    std::vector<uint8_t> result = test::Words(413, {{0, 1},
                                                    {169, 2},
                                                    {170, 0},
                                                    {72, 12},
                                                    {73, -4},
                                                    {74, -4},
                                                    {75, -4},
                                                    {80, 1200},
                                                    {81, -400},
                                                    {82, -400},
                                                    {83, -400}});
    const std::string fans = framework::Utf8ToGbk("自摸|清一色");
    std::memcpy(result.data() + 1360, fans.data(), fans.size());
    ASSERT_TRUE(server.Notify(c, 211080, result));
    ASSERT_TRUE(WaitFor([&] { return !LastTrace(trace, "result\tshown, ok at ").empty(); }, 30000))
        << run.ClientLog() << ReadFile(trace);
    const std::string build = HQLV_BUILD_DIR;
    int okX = 0, okY = 0;
    ASSERT_EQ(std::sscanf(LastTrace(trace, "result\tshown, ok at ").c_str(), "%d,%d", &okX, &okY),
              2);
    // The dialog says it is shown before X has it on the screen: it is taken (and its OK
    // clicked) once the screen shows the portrait in it, or after 20 s.
    const QRect portrait(okX - 180, okY - 320, 360, 320);
    QImage dialog;
    WaitFor(
        [&] {
            dialog = Capture(x.name(), build + "/result-dialog.png");
            return CountColour(dialog, portrait, kFaceSkin) > 100;
        },
        20000);
    ASSERT_FALSE(dialog.isNull());
    ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), okX, okY, 1));

    // The score board after the deal, then the bar's pictures on the same picture.
    int tabX = 0, tabY = 0;
    ASSERT_EQ(std::sscanf(LastTrace(trace, "score\tboard tab at ").c_str(), "%d,%d", &tabX, &tabY),
              2);
    ASSERT_TRUE(WaitFor(
        [&] {
            e2e::ClickOnDisplay(x.name(), tabX, tabY, 1);
            return LastTrace(trace, "score\ttab ") == "1";
        },
        10000))
        << ReadFile(trace);
    // The board is drawn after the tab says it is chosen: taken once both colours show, or
    // after 20 s.
    QImage frame;
    auto rightColumn = [&] { return QRect(frame.width() - 240, 0, 240, 260); };
    WaitFor(
        [&] {
            frame = Capture(x.name(), build + "/score-board.png");
            return CountColour(frame, rightColumn(), assetgen::kOperateFaceColour) > 200 &&
                   CountColour(frame, rightColumn(), assetgen::kBoardBandColour) > 200;
        },
        20000);
    ASSERT_FALSE(frame.isNull());
    EXPECT_GT(CountColour(frame, rightColumn(), assetgen::kOperateFaceColour), 200);
    EXPECT_GT(CountColour(frame, rightColumn(), assetgen::kBoardBandColour), 200);
    // The dialog (its OK button at the middle of its foot) shows the portrait.
    EXPECT_GT(CountColour(dialog, portrait, kFaceSkin), 100);

    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    server.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
