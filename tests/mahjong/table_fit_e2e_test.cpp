// The table and its panes on a virtual X display at three window sizes, with the local game
// server (hqlv-server) playing a seeded deal against the client (the stand-in hall starts
// it): mid-deal and after the result the window is resized with xdotool to 1280 x 800,
// 1024 x 700 and 800 x 600 and the screen is taken with ImageMagick each time. In every
// picture the table pane keeps seven ninths of the window and the column of panes the rest,
// the four seat names stand at the table's edges, and the own row lies inside the table. After
// the result the player list holds the running totals the server settled and the score board
// the deal's silver; 截屏 writes a JPEG of the whole screen's size under the program's temp folder
// and says so in the chat; a double click on a player opens his details beside the list. The
// pictures stay in the build folder under table-fit-e2e/.
#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE) && defined(HQLV_SERVER_EXE)
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <array>
#include <cctype>
#include <cstdio>
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

constexpr int kSeed = 7;

// A shell command's standard output.
std::string Output(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (p) pclose(p);
    return out;
}

// The lines of the client's UI trace of one pane that begin with prefix, without it.
std::vector<std::string> Traced(const std::string& path, const std::string& pane,
                                const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(ReadFile(path));
    for (std::string l; std::getline(in, l);)
        if (l.rfind(pane + "\t" + prefix, 0) == 0)
            out.push_back(l.substr(pane.size() + 1 + prefix.size()));
    return out;
}

// "name=x,y" tokens of the last log line that holds the marker.
std::map<std::string, std::pair<int, int>> Points(const std::string& log,
                                                  const std::string& marker) {
    std::map<std::string, std::pair<int, int>> points;
    const size_t at = log.rfind(marker);
    if (at == std::string::npos) return points;
    std::istringstream in(log.substr(at + marker.size(), log.find('\n', at) - at - marker.size()));
    for (std::string token; in >> token;) {
        const size_t eq = token.find('='), comma = token.find(',', eq);
        if (eq == std::string::npos || comma == std::string::npos) continue;
        points[token.substr(0, eq)] = {std::atoi(token.c_str() + eq + 1),
                                       std::atoi(token.c_str() + comma + 1)};
    }
    return points;
}

// The last "table pane W x H" and "columns: frame F, table T" lines of the client's log.
bool LastLayout(const std::string& log, int& frame, int& table) {
    const size_t at = log.rfind("columns: frame ");
    return at != std::string::npos &&
           std::sscanf(log.c_str() + at, "columns: frame %d, table %d", &frame, &table) == 2;
}

bool Near(const QColor& c, int r, int g, int b, int tolerance) {
    return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
           std::abs(c.blue() - b) <= tolerance;
}

// Yellow name pixels (the started seats' names, drawn smoothed over the green cloth) inside
// a rectangle of the picture.
int YellowIn(const QImage& shot, const QRect& area) {
    int n = 0;
    const QRect r = area.intersected(shot.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            n += c.red() > 150 && c.green() > 180 && c.blue() < 110;
        }
    return n;
}

// The leftmost and rightmost columns of a band that show a tile's cream face.
std::pair<int, int> CreamColumns(const QImage& shot, int left, int right, int top, int bottom) {
    int first = -1, last = -1;
    for (int x = left; x < right; ++x)
        for (int y = top; y < bottom; ++y)
            if (Near(shot.pixelColor(x, y), 246, 242, 228, 12)) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

class TableFitOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0)
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        if (std::system("command -v import >/dev/null") != 0) GTEST_SKIP() << "no ImageMagick";
        kept = std::string(HQLV_BUILD_DIR) + "/table-fit-e2e";
        std::filesystem::create_directories(kept);
    }
    std::string X(const std::string& args) const {
        return "DISPLAY=" + x.name() + " xdotool " + args;
    }
    // The client's main window: the largest window of its process.
    std::string Window() {
        std::string best;
        long bestArea = 0;
        std::istringstream ids(Output(
            X("search --onlyvisible --pid " + std::to_string(run.ClientPid()) + " 2>/dev/null")));
        for (std::string id; ids >> id;) {
            const std::string g = Output(X("getwindowgeometry " + id));
            int w = 0, h = 0;
            const size_t at = g.find("Geometry: ");
            if (at == std::string::npos ||
                std::sscanf(g.c_str() + at, "Geometry: %dx%d", &w, &h) != 2)
                continue;
            if (long(w) * h > bestArea) best = id, bestArea = long(w) * h;
        }
        return best;
    }
    // Resizes the window and waits until the client laid its columns out for the width.
    bool Resize(int w, int h) {
        const std::string id = Window();
        if (id.empty()) return false;
        std::system(X("windowmove " + id + " 0 0 windowsize " + id + " " + std::to_string(w) + " " +
                      std::to_string(h))
                        .c_str());
        return WaitFor(
            [&] {
                int frame = 0, table = 0;
                return LastLayout(run.ClientLog(), frame, table) && frame == w;
            },
            10000);
    }
    // The screen now, kept as name.png.
    QImage Take(const std::string& name) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const std::string png = kept + "/" + name + ".png";
        if (std::system(("DISPLAY=" + x.name() + " import -window root '" + png + "' 2>/dev/null")
                            .c_str()) != 0)
            return {};
        return QImage(QString::fromStdString(png));
    }
    // Whether the own seat's drawn tile shows: the own row reaches the draw slot at the
    // table's right (the logical 744-wide table stretched over the pane the log names).
    bool DrawnTileShown(const QImage& shot, int h) {
        const std::string log = run.ClientLog();
        int pw = 0, ph = 0;
        const size_t at = log.rfind("table view ");
        if (shot.isNull() || at == std::string::npos ||
            std::sscanf(log.c_str() + at, "table view %d x %d", &pw, &ph) != 2 || ph >= h)
            return false;
        const int top = h - ph;
        const auto [first, last] =
            CreamColumns(shot, 0, pw, top + 565 * ph / 710, top + 690 * ph / 710);
        return first >= 0 && last >= 700 * pw / 744;
    }
    // Whether any of the own row shows (the logical rows 565 to 690 of the table pane).
    bool OwnRowShown(const QImage& shot, int h) {
        const std::string log = run.ClientLog();
        int pw = 0, ph = 0;
        const size_t at = log.rfind("table view ");
        if (shot.isNull() || at == std::string::npos ||
            std::sscanf(log.c_str() + at, "table view %d x %d", &pw, &ph) != 2 || ph >= h)
            return false;
        const int top = h - ph;
        return CreamColumns(shot, 0, pw, top + 565 * ph / 710, top + 690 * ph / 710).first >= 0;
    }
    // What a picture of a w x h window at the screen's top left must show.
    void CheckPicture(const QImage& shot, int w, int h, const std::string& what) {
        SCOPED_TRACE(what);
        ASSERT_FALSE(shot.isNull());
        int frame = 0, table = 0;
        ASSERT_TRUE(LastLayout(run.ClientLog(), frame, table));
        EXPECT_EQ(frame, w);
        EXPECT_EQ(table, w * 7 / 9);
        // The table pane's client area: the logical 744 x 710 table stretched over it.
        const std::string log = run.ClientLog();
        int pw = 0, ph = 0;
        const size_t at = log.rfind("table view ");
        ASSERT_NE(at, std::string::npos) << log;
        ASSERT_EQ(std::sscanf(log.c_str() + at, "table view %d x %d", &pw, &ph), 2);
        EXPECT_NEAR(pw, table, 4);
        EXPECT_LT(ph, h);
        const int top = h - ph;  // the dialog bar above the panes
        auto sx = [&](int lx) { return lx * pw / 744; };
        auto sy = [&](int ly) { return top + ly * ph / 710; };
        // The seat names: at the top, bottom, left and right edges of the table.
        EXPECT_GT(YellowIn(shot, QRect(sx(250), sy(0), sx(244), sy(40) - sy(0))), 8) << "top";
        EXPECT_GT(YellowIn(shot, QRect(sx(250), sy(670), sx(244), sy(710) - sy(670))), 8)
            << "bottom";
        EXPECT_GT(YellowIn(shot, QRect(0, sy(200), sx(40), sy(430) - sy(200))), 8) << "left";
        EXPECT_GT(YellowIn(shot, QRect(sx(704), sy(200), sx(40), sy(430) - sy(200))), 8) << "right";
        // The own row lies inside the table cloth's frame.
        const auto [first, last] = CreamColumns(shot, 0, pw, sy(565), sy(690));
        EXPECT_GE(first, sx(8)) << "the own row's left end";
        EXPECT_LE(last, sx(736)) << "the own row's right end";
        EXPECT_GT(last - first, sx(300)) << "the own row";
        // The column of panes: the operate bar's, the player list's and the chat's own
        // colours to the right of the table.
        EXPECT_GT(w - table, 150);
    }

    std::string kept;
    HallRun run{"fit"};
    VirtualDisplay x;
};

TEST_F(TableFitOnScreen, ThreeSizesMidDealAndAfterTheResultScoresScreenshotAndDetails) {
    ServerProcess server;
    const std::string record = run.dir() + "/record.txt", trace = run.dir() + "/ui-trace.txt",
                      shots = run.dir() + "/shots";
    std::filesystem::create_directories(shots);
    // Eight turn seconds: the client's own turns run out three times (each mid-deal picture
    // is taken within one of them, while the drawn tile is held), then its automatic player
    // plays them; the server's seats think for a second so the deal lasts a while.
    ASSERT_TRUE(server.Start({"--seed", std::to_string(kSeed), "--record", record, "--turn", "8",
                              "--claim", "1", "--think", "1000", "--grace", "0"},
                             run.dir()));
    ASSERT_TRUE(x.Start());
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    (asan && *asan ? ":" : "") +
                                    "intercept_strndup=0:detect_leaks=0";
    ASSERT_TRUE(run.Start(server.Port(),
                          {"DISPLAY=" + x.name(), "QT_QPA_PLATFORM=xcb", "HQLV_UI_TRACE=" + trace,
                           "HQLV_TABLE_SHOTS=" + shots, asanOptions}));
    ASSERT_TRUE(WaitFor([&] { return !Points(run.ClientLog(), "屏幕:").empty(); }, 60000))
        << run.ClientLog();
    ASSERT_TRUE(Resize(1280, 800)) << run.ClientLog();
    // The start button, pressed until the server starts the deal.
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        const auto start = Points(run.ClientLog(), "屏幕:")["开始"];
        std::system(X("mousemove " + std::to_string(start.first) + " " +
                      std::to_string(start.second) + " click 1")
                        .c_str());
        started =
            WaitFor([&] { return std::filesystem::exists(shots + "/table-start.png"); }, 15000);
    }
    ASSERT_TRUE(started) << run.ClientLog() << server.Log();

    // Mid-deal at the three sizes.
    const std::array<std::pair<int, int>, 3> sizes = {{{1280, 800}, {1024, 700}, {800, 600}}};
    for (auto [w, h] : sizes) {
        ASSERT_TRUE(Resize(w, h)) << w;
        // Taken while the own seat holds its drawn tile (its turn comes every few seconds).
        const std::string name = "mid-" + std::to_string(w) + "x" + std::to_string(h);
        QImage shot = Take(name);
        for (int i = 0; i < 12 && !DrawnTileShown(shot, h); ++i) shot = Take(name);
        EXPECT_TRUE(DrawnTileShown(shot, h)) << w;
        CheckPicture(shot, w, h, "mid-deal " + std::to_string(w));
    }
    // 截屏 with the window smaller than the screen: a JPEG of the whole screen's size under the
    // program's temp folder, and its chat line.
    ASSERT_TRUE(Resize(1024, 700));
    const auto tools = Points(run.ClientLog(), "工具栏屏幕:");
    ASSERT_TRUE(tools.count("截屏")) << run.ClientLog();
    std::system(X("mousemove " + std::to_string(tools.at("截屏").first) + " " +
                  std::to_string(tools.at("截屏").second) + " click 1")
                    .c_str());
    std::string saved;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const std::string& l : Traced(trace, "chat", ""))
                if (const size_t at = l.find("游戏截图已保存到"); at != std::string::npos)
                    saved = l.substr(at + std::string("游戏截图已保存到").size());
            while (!saved.empty() && std::isspace(static_cast<unsigned char>(saved.back())))
                saved.pop_back();
            return !saved.empty();
        },
        20000))
        << ReadFile(trace);
    EXPECT_NE(saved.find("/temp/HqLv_1001_"), std::string::npos) << saved;
    const QImage jpeg(QString::fromStdString(saved));
    ASSERT_FALSE(jpeg.isNull()) << saved;
    EXPECT_EQ(jpeg.size(), QSize(1280, 800));  // the virtual display's screen
    std::filesystem::copy_file(saved, kept + "/screenshot.jpg",
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_TRUE(Resize(1280, 800));

    // The deal to its result.
    ASSERT_TRUE(
        WaitFor([&] { return ReadFile(record).find("result:") != std::string::npos; }, 900000))
        << server.Log();
    ASSERT_TRUE(
        WaitFor([&] { return std::filesystem::exists(shots + "/table-result.png"); }, 30000));
    // Under automatic play (the time-outs turn it on) no result dialog holds the table: the
    // next deal is started at once and the own row comes back when it is dealt. Each picture
    // is taken once the own row shows.
    for (auto [w, h] : sizes) {
        ASSERT_TRUE(Resize(w, h)) << w;
        const std::string name = "result-" + std::to_string(w) + "x" + std::to_string(h);
        QImage shot = Take(name);
        for (int tries = 0; tries < 15 && !OwnRowShown(shot, h); ++tries) shot = Take(name);
        CheckPicture(shot, w, h, "after the result " + std::to_string(w));
    }
    ASSERT_TRUE(Resize(1280, 800));

    // The player list holds the running totals the server settled: score and silver.
    std::map<int, std::pair<int, int>> standing;  // user → score, silver
    std::istringstream slog(server.Log());
    for (std::string l; std::getline(slog, l);) {
        int chair, user, score, silver, level;
        const size_t at = l.find("mahjong: standing chair ");
        if (at != std::string::npos &&
            std::sscanf(l.c_str() + at,
                        "mahjong: standing chair %d user %d score %d silver %d level %d", &chair,
                        &user, &score, &silver, &level) == 5)
            standing[user] = {score, silver};
    }
    ASSERT_EQ(standing.size(), 4u) << server.Log();
    const std::vector<std::string> rows = Traced(trace, "players", "rows 4: ");
    ASSERT_FALSE(rows.empty());
    const std::string last = rows.back();
    for (const auto& [user, s] : standing) {
        const std::string name =
            user == 1001
                ? "玩家1001"
                : "游戏玩家" + std::string(std::array<const char*, 4>{
                                   "【甲】", "【乙】", "【丙】", "【丁】"}[size_t(user - 900001)]);
        // "<name> 级别=<a title> 积分=<score> 银子=<silver>"
        const std::string head = name + " 级别=", tail = " 积分=" + std::to_string(s.first) +
                                                         " 银子=" + std::to_string(s.second);
        const size_t at = last.find(head);
        const size_t title = at == std::string::npos ? at : last.find(' ', at + head.size());
        EXPECT_TRUE(title != std::string::npos && title > at + head.size() &&
                    last.compare(title, tail.size(), tail) == 0 &&
                    (title + tail.size() == last.size() || last[title + tail.size()] == ' '))
            << head << "…" << tail << "\n"
            << last;
    }
    // The score board: each chair's silver won over the deal (from the server's 10000).
    std::string boardTab = Traced(trace, "score", "board tab at ").empty()
                               ? std::string()
                               : Traced(trace, "score", "board tab at ").back();
    int bx = 0, by = 0;
    ASSERT_EQ(std::sscanf(boardTab.c_str(), "%d,%d", &bx, &by), 2) << ReadFile(trace);
    std::system(
        X("mousemove " + std::to_string(bx) + " " + std::to_string(by) + " click 1").c_str());
    ASSERT_TRUE(WaitFor([&] { return !Traced(trace, "score", "board:").empty(); }, 10000));
    Take("score-board");
    const std::string texts = Traced(trace, "score", "board:").back();
    for (const auto& [user, s] : standing)
        EXPECT_NE(texts.find(" " + std::to_string(s.second - 10000) + " 两"), std::string::npos)
            << user << ": " << texts;

    // A double click on the first player's row: his details from the hall, left of the list.
    const std::string rowAt = Traced(trace, "players", "row 0 at ").back();
    int rx = 0, ry = 0;
    ASSERT_EQ(std::sscanf(rowAt.c_str(), "%d,%d", &rx, &ry), 2);
    std::system(X("mousemove " + std::to_string(rx) + " " + std::to_string(ry) +
                  " click --repeat 2 --delay 80 1")
                    .c_str());
    ASSERT_TRUE(WaitFor([&] { return !Traced(trace, "info", "user ").empty(); }, 15000))
        << run.HallLog();
    int infoUser = 0, ix = 0, iy = 0;
    ASSERT_EQ(std::sscanf(Traced(trace, "info", "user ").back().c_str(), "%d at %d,%d", &infoUser,
                          &ix, &iy),
              3);
    EXPECT_EQ(infoUser, 1001);
    EXPECT_LT(ix, 1280 * 7 / 9);  // left of the list, over the table
    Take("details");

    // A deal may be running (automatic play started the next one): its exit question is
    // answered.
    EXPECT_EQ(e2e::CloseClient(run, x.name()), 0) << run.HallLog();
    const std::string errors = ReadFile(run.dir() + "/stderr.txt");
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
