// The player list of the real client against the local game server and the stand-in
// hall, on a virtual X display: players sit down, one's silver changes, a looker-on
// joins; the list (through the opt-in UI trace) and pictures of the screen show it, and a
// right click on a row opens the row's menu.
#if defined(HQLV_SERVER_EXE) && defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <QImage>

#include <cstring>

#include "builders.h"
#include "hall_run.h"
#include "tools/server/game_server.h"

namespace hqlv::framework {
namespace {

using e2e::HallRun;
using e2e::ReadFile;
using e2e::VirtualDisplay;
using e2e::WaitFor;

// The screen of an XWD dump (32 bits per pixel, as the virtual display keeps it).
QImage ReadXwd(const std::string& path) {
    const std::string f = ReadFile(path);
    auto be = [&](size_t i) -> uint32_t {
        if (i * 4 + 4 > f.size()) return 0;
        const auto* p = reinterpret_cast<const uint8_t*>(f.data() + i * 4);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    const uint32_t header = be(0), width = be(4), height = be(5), order = be(7), bpp = be(11),
                   line = be(12), colours = be(19);
    const size_t start = size_t(header) + size_t(colours) * 12;
    if (bpp != 32 || width == 0 || height == 0 || start + size_t(line) * height > f.size())
        return {};
    QImage img(int(width), int(height), QImage::Format_RGB32);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(f.data() + start + y * line + x * 4);
            const uint32_t v = order == 0 ? uint32_t(p[0]) | uint32_t(p[1]) << 8 |
                                                uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                                          : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 |
                                                uint32_t(p[2]) << 8 | p[3];
            img.setPixel(int(x), int(y), v | 0xFF000000u);
        }
    return img;
}

std::vector<std::string> TraceLines(const std::string& path, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string l; std::getline(in, l);)
        if (l.rfind(prefix, 0) == 0) lines.push_back(l.substr(prefix.size()));
    return lines;
}

TEST(PlayersEndToEnd, ListFillsInChairOrderAndTheRowMenuOpens) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    server::ServerOptions opt;
    opt.port = 0;
    opt.log = [](const std::string&) {};
    server::GameServer server(opt);
    ASSERT_TRUE(server.Start());
    HallRun run("players");
    const std::string fb = run.dir() + "/fb";
    mkdir(fb.c_str(), 0700);
    VirtualDisplay x;
    ASSERT_TRUE(x.Start(fb));
    const std::string trace = run.dir() + "/ui-trace.txt";
    const char* asan = std::getenv("ASAN_OPTIONS");
    // Under X the platform's session bus library keeps a block of its own at exit: the
    // client's leak check is left to the offscreen tests.
    std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                              (asan && *asan ? ":" : "") + "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(), {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb",
                                          "HQLV_UI_TRACE=" + trace, asanOptions}));
    auto enter = server.WaitForRequest(200110, 30000);
    ASSERT_TRUE(enter) << run.HallLog();
    ASSERT_TRUE(WaitFor([&] { return !TraceLines(trace, "players\trows").empty(); }, 10000))
        << run.ClientLog();

    // Chairs 1-3 sit down (the client is chair 0 of table 5), chair 2's silver changes.
    for (int chair : {3, 1, 2})
        server.Notify(enter->client, 211011,
                      testing::Entry(1000 + 10 * chair, chair, "座" + std::to_string(chair),
                                     100 * chair, chair, 5, chair));
    testing::Words silver(20);
    silver.w(0, 1020).w(1, 2).w(2, 1).w(4, 9999);
    server.Notify(enter->client, 211420, silver.bytes);
    run.Command("join 600 0");
    std::string last;
    ASSERT_TRUE(WaitFor(
        [&] {
            auto rows = TraceLines(trace, "players\trows 5: ");
            if (rows.empty()) return false;
            last = rows.back();
            return last.find("guest600") != std::string::npos;
        },
        15000))
        << ReadFile(trace) << "\nhall:\n" << run.HallLog() << "\nclient:\n" << run.ClientLog();
    // Chair order, the new silver, the looker-on last looking on chair 0.
    const size_t own = last.find("(own)"), c1 = last.find("座1"), c2 = last.find("座2"),
                 c3 = last.find("座3"), guest = last.find("guest600");
    EXPECT_LT(own, c1) << last;
    EXPECT_LT(c1, c2) << last;
    EXPECT_LT(c2, c3) << last;
    EXPECT_LT(c3, guest) << last;
    EXPECT_NE(last.find("座2 级别=新手 积分=2 银子=9999"), std::string::npos) << last;
    // The list as drawn: the screen once two looks 400 ms apart agree (the trace comes
    // before the paint, and a busy machine paints late).
    const std::string shots = std::string(HQLV_BUILD_DIR);
    QImage list;
    WaitFor(
        [&] {
            const QImage before = ReadXwd(fb + "/Xvfb_screen0");
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            list = ReadXwd(fb + "/Xvfb_screen0");
            return !list.isNull() && list == before;
        },
        20000);
    ASSERT_FALSE(list.isNull());
    EXPECT_TRUE(list.save(QString::fromStdString(shots + "/players-list.png")));

    // A right click on chair 1's row opens its menu.
    auto where = TraceLines(trace, "players\trow 0 at ");
    ASSERT_FALSE(where.empty());
    int x0 = 0, y0 = 0, step = 0;
    ASSERT_EQ(std::sscanf(where.back().c_str(), "%d,%d step %d", &x0, &y0, &step), 3);
    ASSERT_TRUE(e2e::ClickOnDisplay(x.name(), x0, y0 + step, 3));
    ASSERT_TRUE(WaitFor([&] { return !TraceLines(trace, "players\tmenu: ").empty(); }, 10000))
        << ReadFile(trace);
    const std::string menu = TraceLines(trace, "players\tmenu: ").back();
    // The game's list offers "允许看牌" only for a looker-on of the own chair: a seated
    // player's item is off.
    EXPECT_EQ(menu,
              "座1 | 详细信息 | 级别：新手 | 积分：1分 | 银子：100两 | 允许看牌 (off) | 呼叫玩家");
    // The menu is drawn after it is traced: the screen is looked at until it differs from
    // the list's by more than a blinking caret would, for up to 20 s.
    auto differing = [](const QImage& a, const QImage& b) {
        int n = 0;
        if (a.size() != b.size()) return a.width() * a.height();
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    QImage open;
    WaitFor(
        [&] {
            open = ReadXwd(fb + "/Xvfb_screen0");
            return !open.isNull() && differing(open, list) > 500;
        },
        20000);
    ASSERT_FALSE(open.isNull());
    EXPECT_GT(differing(open, list), 500);
    EXPECT_TRUE(open.save(QString::fromStdString(shots + "/players-menu.png")));

    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    server.Stop();
}

}  // namespace
}  // namespace hqlv::framework
#endif
