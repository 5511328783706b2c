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

// The engine logs into the run's log folder: what each of its day files holds now.
std::map<std::string, size_t> EngineLogSizes(const std::string& folder) {
    std::map<std::string, size_t> sizes;
    if (!std::filesystem::is_directory(folder)) return sizes;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename();
        if (name.rfind("Game", 0) == 0 && e.path().extension() == ".log")
            sizes[e.path()] = e.file_size();
    }
    return sizes;
}

// What the engine log files gained since the sizes were taken.
std::string EngineLogSince(const std::string& folder, const std::map<std::string, size_t>& before) {
    std::string added;
    for (const auto& [path, size] : EngineLogSizes(folder)) {
        const auto it = before.find(path);
        const std::string all = e2e::ReadFile(path);
        added += all.substr(it == before.end() ? 0 : std::min(it->second, all.size()));
    }
    return added;
}

TEST(TableSceneEndToEnd, TheRealSceneStartsFromTheBuiltProgramFolder) {
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    ASSERT_TRUE(server.Start());
    const std::string shot =
        std::string(HQLV_BUILD_DIR) + "/table-scene-e2e." + std::to_string(getpid()) + ".png";
    e2e::HallRun run("scene");
    const std::string program = run.dir() + "/log";  // the client logs where the hall sends it
    const auto before = EngineLogSizes(program);
    ASSERT_TRUE(run.Start(server.Port(), {"QT_QPA_PLATFORM=offscreen", "HQLV_SCREENSHOT=" + shot}));
    EXPECT_TRUE(e2e::WaitFor(
        [&] { return run.ClientLog().find("screenshot") != std::string::npos; }, 60000))
        << run.ClientLog();
    const std::string log = EngineLogSince(program, before);
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
