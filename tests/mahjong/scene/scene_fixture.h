#pragma once
// A table scene on a headless engine: a host double whose program folder (per process)
// holds the generated skins and sounds of the build, a log folder of its own, and the
// recording audio double.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/audio.h"
#include "tests/mahjong/fake_scene_host.h"

namespace hqlv::mahjong::test {

struct SceneHost : FakeSceneHost {
    std::string GetProgramFolder() override { return program; }
    std::string GetGameIniPath() override { return ini; }
    int TestCmdField13(uint32_t bits) override { return (field13 & bits) == bits; }
    bool SaveScreenShotJpeg(const std::string& path, int quality) override {
        shots.push_back(path + "@" + std::to_string(quality));
        if (!shotWorks) return false;
        std::ofstream(path) << "jpeg";
        return true;
    }
    int RequestChangeTable(std::string&) override { return ++changeTables; }
    int RequestTableOption(std::string&) override { return ++tableOptions; }
    void SetViewTimer(uint32_t id, uint32_t ms) override {
        timers.push_back(int(id) * 100000 + int(ms));
    }
    void KillViewTimer(uint32_t id) override { killed.push_back(int(id)); }
    int GetTableViewWidth() override { return viewWidth; }
    int RequestStartGame(std::string&, int) override {
        ++startRequests;
        return startWorks;
    }
    void StartIdleTimer() override { ++idleTimers; }

    std::string program, ini;
    uint32_t field13 = 0;
    bool shotWorks = true;
    int viewWidth = 0;
    int changeTables = 0, tableOptions = 0;
    int startRequests = 0, startWorks = 0, idleTimers = 0;
    std::vector<std::string> shots;
    std::vector<int> timers, killed;
};

inline std::string BuiltProgramFolder() {
    return std::string(HQLV_BUILD_DIR) + "/mahjong/";
}
inline bool HaveAssets() {
    return std::filesystem::exists(BuiltProgramFolder() + "skins/Classic/mj_large1024.bmp");
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The scene class is a parameter so a test may give it the deal's jokers.
template <class Scene>
class SceneTestOf : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() / ("hqlv-scene-" + std::to_string(getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "log");
        host.program = (root / "prog").string() + "/";
        std::filesystem::create_directories(host.program);
        if (HaveAssets()) {
            // Style folders one by one, so a test can add one of its own.
            std::filesystem::create_directories(host.program + "skins");
            for (const char* style : {"Common", "Classic"})
                std::filesystem::create_directory_symlink(BuiltProgramFolder() + "skins/" + style,
                                                          host.program + "skins/" + style);
            std::filesystem::create_directory_symlink(BuiltProgramFolder() + "sound",
                                                      host.program + "sound");
        }
        host.ini = host.program + "HqLv.ini";
        oldLog = engine::SetEngineLogFolder((root / "log").string());
        previousAudio = platform::installAudio(audio);
        draw.SetHost(&host);
        host.draw = &draw;
        host.scene = &scene;
        scene.SetSceneHost(&host);
    }
    void TearDown() override {
        scene.Cleanup();
        platform::installAudio(previousAudio);
        engine::SetEngineLogFolder(oldLog);
        std::filesystem::remove_all(root);
    }
    // The engine up to the scene's start, as the host view does it.
    void Start(int height = 710) {
        host.screenHeight = height < 710 ? 600 : 768;
        scene.Init();
        scene.InitScreen(744, height);
        scene.OnPrepare();
        scene.OnStart();
    }
    std::string Log() const {
        std::string all;
        for (auto& e : std::filesystem::directory_iterator(root / "log")) all += ReadText(e.path());
        return all;
    }
    int Dispatch(uint32_t code, uintptr_t data = 0) {
        engine::MessageData d = engine::MessageData::Number(data);
        return scene.OnMessage(code, d, 0);
    }

    std::filesystem::path root;
    std::string oldLog;
    std::shared_ptr<platform::RecordingAudio> audio = std::make_shared<platform::RecordingAudio>();
    std::shared_ptr<platform::Audio> previousAudio;
    SceneHost host;
    CMJTableDraw draw;
    Scene scene;
};
using SceneTest = SceneTestOf<CMJGameScene2>;

}  // namespace hqlv::mahjong::test
