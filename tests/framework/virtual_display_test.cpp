// The end-to-end runs' virtual displays: runs started at the same moment each get a display
// of their own, whose X server is really theirs (it keeps its screen in the run's folder).
#include <gtest/gtest.h>

// The runs' helpers come with the hall and client programs.
#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <QTemporaryDir>

#include <set>
#include <thread>

#include "tests/framework/hall_run.h"

namespace hqlv::e2e {
namespace {

TEST(VirtualDisplays, StartedTogetherEachHaveTheirOwnServer) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    constexpr int kRuns = 4;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    VirtualDisplay displays[kRuns];
    bool started[kRuns] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([&, i] {
            const std::string fb = dir.path().toStdString() + "/" + std::to_string(i);
            std::filesystem::create_directories(fb);
            started[i] = displays[i].Start(fb, "320x200x24");
        });
    for (auto& t : threads) t.join();
    std::set<std::string> names;
    for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(started[i]);
        names.insert(displays[i].name());
        // Its own server: the socket of the number it names, and the screen in its own folder
        // (an X window dump of the given size: width 320 at byte 16, height 200 at byte 20).
        EXPECT_EQ(access(("/tmp/.X11-unix/X" + displays[i].name().substr(1)).c_str(), F_OK), 0);
        const std::string screen =
            ReadFile(dir.path().toStdString() + "/" + std::to_string(i) + "/Xvfb_screen0");
        ASSERT_GE(screen.size(), 24u);
        auto word = [&](size_t at) {
            return (uint32_t(uint8_t(screen[at])) << 24) |
                   (uint32_t(uint8_t(screen[at + 1])) << 16) |
                   (uint32_t(uint8_t(screen[at + 2])) << 8) | uint8_t(screen[at + 3]);
        };
        EXPECT_EQ(word(16), 320u);
        EXPECT_EQ(word(20), 200u);
    }
    EXPECT_EQ(names.size(), size_t(kRuns));
}

}  // namespace
}  // namespace hqlv::e2e
#endif
