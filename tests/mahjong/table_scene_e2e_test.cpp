// The client started by the stand-in hall runs the real table scene from the built program
// folder: every picture loads (no fatal box: the client runs on and photographs itself),
// the scene's set-up lines reach the engine log, and the table pane shows the generated
// table cloth.
#if defined(HQLV_HALL_EXE) && defined(HQLV_CLIENT_EXE)
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <map>

#include "tests/framework/hall_run.h"
#include "tools/server/game_server.h"

namespace hqlv::mahjong {
namespace {

TEST(TableSceneEndToEnd, TheRealSceneStartsFromTheBuiltProgramFolder) {
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    ASSERT_TRUE(server.Start());
    const std::string shot =
        std::string(HQLV_BUILD_DIR) + "/table-scene-e2e." + std::to_string(getpid()) + ".png";
    e2e::HallRun run("scene");
    const std::string program = run.dir() + "/log";  // the client logs where the hall sends it
    const auto before = e2e::DayLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), {"QT_QPA_PLATFORM=offscreen", "HQLV_SCREENSHOT=" + shot}));
    EXPECT_TRUE(e2e::WaitFor(
        [&] { return run.ClientLog().find("screenshot") != std::string::npos; }, 60000))
        << run.ClientLog();
    const std::string log = e2e::DayLogSince(program, before);
    EXPECT_NE(log.find("游戏数据初始化开始"), std::string::npos) << log;
    EXPECT_NE(log.find("游戏数据初始化完毕"), std::string::npos) << log;
    EXPECT_NE(log.find("游戏开始!..."), std::string::npos) << log;
    EXPECT_EQ(log.find("未能正确的载入"), std::string::npos) << log;
    run.Command("close");
    EXPECT_EQ(run.Wait(30000), 0) << run.HallLog();
    QImage image(QString::fromStdString(shot));
    ASSERT_FALSE(image.isNull()) << shot;
    // The cloth's dark border band at the table pane's top left corner.
    EXPECT_EQ(image.pixel(3, 3) & 0xFFFFFF, 0x462C18u);
    std::filesystem::rename(shot, std::string(HQLV_BUILD_DIR) + "/table-scene-e2e.png");
    server.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
#endif
