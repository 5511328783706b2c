// The daily log: stamping, cutting, line ends, modes and the day change.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "netlib/log.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"

using namespace hqlv::netlib;
namespace fs = std::filesystem;

namespace {

std::tm at(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return tm;
}

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("hqlv-log-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        YrnLogSetFolder(dir_.string());
        now_ = at(2016, 12, 22, 9, 5, 7);
        YrnLogSetClock([this] { return now_; });
    }
    void TearDown() override {
        // Name and mode are process-wide: put back the start-up values so that every
        // test (in any order, and repeated) begins where a fresh process begins.
        YrnLogOpen("YRNLog", kLogDefaultMode);
        YrnLogClose();
        YrnLogSetClock({});
        YrnLogSetFolder("");
        fs::remove_all(dir_);
    }
    fs::path dir_;
    std::tm now_{};
};

}  // namespace

TEST_F(LogTest, DefaultsThenFrameworkNameWithExactLineEnds) {
    YrnLogOpen(nullptr, 0);
    EXPECT_EQ(YrnLogName(), "YRNLog");
    EXPECT_EQ(YrnLogMode(), 0x80008u);
    YrnLogWrite("first %d", 1);
    EXPECT_EQ(readFile(dir_ / "YRNLog20161222.log"), "2016/12/22  09:05:07  first 1\r\n");

    YrnLogOpen("Game", 0xA001D);
    YrnLogWrite("rate 100%%");
    YrnLogWrite("%s", "literal %d stays");
    EXPECT_EQ(readFile(dir_ / "Game20161222.log"),
              "2016/12/22  09:05:07  rate 100%\r\n"
              "2016/12/22  09:05:07  literal %d stays\r\n");
    EXPECT_EQ(YrnLogPathFor(now_), (dir_ / "Game20161222.log").string());
}

TEST_F(LogTest, LongTextIsCutAt3999) {
    YrnLogOpen("Game", 0xA001D);
    std::string big(5000, 'x');
    YrnLogWrite("%s", big.c_str());
    std::string content = readFile(dir_ / "Game20161222.log");
    EXPECT_EQ(content, "2016/12/22  09:05:07  " + std::string(3999, 'x') + "\r\n");
}

TEST_F(LogTest, ModesAndMidnight) {
    YrnLogOpen("Game", 0x8);  // line ends, but no file
    YrnLogWrite("dropped");
    EXPECT_TRUE(fs::is_empty(dir_));
    YrnLogOpen(nullptr, 0x80000);  // file, no line ends
    YrnLogWrite("a");
    YrnLogWrite("b");
    EXPECT_EQ(readFile(dir_ / "Game20161222.log"),
              "2016/12/22  09:05:07  a2016/12/22  09:05:07  b");
    YrnLogOpen(nullptr, 0xA001D);
    now_ = at(2016, 12, 22, 23, 59, 59);
    YrnLogWrite("before");
    now_ = at(2016, 12, 23, 0, 0, 0);
    YrnLogWrite("after");
    EXPECT_NE(readFile(dir_ / "Game20161222.log").find("23:59:59  before\r\n"), std::string::npos);
    EXPECT_EQ(readFile(dir_ / "Game20161223.log"), "2016/12/23  00:00:00  after\r\n");
}

TEST_F(LogTest, ThreadsNeverInterleaveAndDiagnosticsJoin) {
    YrnLogOpen("Game", 0xA001D);
    hqlv::platform::diag("from the platform");
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([t] {
            for (int i = 0; i < 50; ++i) YrnLogWrite("thread %d line %d %s", t, i, "payload");
        });
    for (auto& t : ts) t.join();
    std::string content = readFile(dir_ / "Game20161222.log");
    std::istringstream in(content);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        EXPECT_EQ(line.rfind("2016/12/22  09:05:07  ", 0), 0u) << line;
        ++lines;
    }
    EXPECT_EQ(lines, 201);
    EXPECT_NE(content.find("from the platform\r\n"), std::string::npos);
    YrnLogClose();
    hqlv::platform::diag("after close goes back to the earlier sink");
    EXPECT_EQ(readFile(dir_ / "Game20161222.log"), content);
}

TEST_F(LogTest, ClosingRestoresTheEarlierDiagnosticsSink) {
    std::vector<std::string> seen;
    hqlv::platform::setDiagSink([&](std::string_view l) { seen.emplace_back(l); });
    YrnLogOpen("Game", 0xA001D);
    hqlv::platform::diag("into the log");
    YrnLogClose();
    hqlv::platform::diag("back to the earlier sink");
    hqlv::platform::setDiagSink({});
    EXPECT_EQ(seen, std::vector<std::string>{"back to the earlier sink"});
    EXPECT_NE(readFile(dir_ / "Game20161222.log").find("into the log\r\n"), std::string::npos);
}

TEST_F(LogTest, FollowsTheProcessClockDouble) {
    YrnLogSetClock({});
    hqlv::platform::ManualClock clock;
    hqlv::platform::LocalTime t;
    t.year = 2020;
    t.month = 2;
    t.day = 29;
    t.hour = 23;
    t.minute = 1;
    t.second = 2;
    clock.setLocalTime(t);
    hqlv::platform::Clock* old = hqlv::platform::setClock(&clock);
    YrnLogOpen("Game", 0xA001D);
    YrnLogWrite("leap day");
    hqlv::platform::setClock(old);
    EXPECT_EQ(readFile(dir_ / "Game20200229.log"), "2020/02/29  23:01:02  leap day\r\n");
}
