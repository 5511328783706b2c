#pragma once
// A headless engine with a script manager whose call errors are recorded, two pictures
// registered by name, and a way to call one built-in with text arguments the way 传出 and
// 函数 hand them over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/clock.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"
#include "engine/script/script_manager.h"
#include "picture_builders.h"
#include "platform/core/clock.h"
#include "recording_host.h"
#include "temp_folder.h"

namespace hqlv::engine::test {

class RecordingManager : public ScriptManager {
public:
    uint32_t ReportCallError(ScriptInstance* run, int kind) override {
        kinds.push_back(kind);
        return ScriptManager::ReportCallError(run, kind);
    }
    std::vector<int> kinds;
};

// "tiles": 2 × 2 frames red, green, blue (three frames stacked); "dot": one white pixel.
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

struct BuiltinTest : ::testing::Test {
    void SetUp() override {
        oldClock = platform::setClock(&clock);
        GetEngineTimeMs();
        scene.SetHost(&host);
        scene.Init();
        scene.InitScreen(200, 200);
        auto owned = std::make_unique<RecordingManager>();
        owned->SetKernel(&scene.GetKernel());
        m = static_cast<RecordingManager*>(scene.GetKernel().RegisterObject(std::move(owned)));
        m->EnableCreateFunctions();
        m->EnableObjectFunctions();
        m->EnableResourceFunctions();
        ResourceManager& rm = GetResourceManager();
        oldRoot = rm.GetRootDir();
        std::vector<uint32_t> rows;
        for (uint32_t c : {0xFF0000u, 0x00FF00u, 0x0000FFu}) rows.insert(rows.end(), 4, c);
        folder.put("tiles.bmp", Bmp24(2, 6, rows));
        folder.put("dot.bmp", Bmp24(1, 1, {0xFFFFFF}));
        tiles = rm.LoadImage(folder / "tiles.bmp", "", ".imge", true, 0);
        dot = rm.LoadImage(folder / "dot.bmp", "", ".imge", true, 0);
        EnginePicture* pic = rm.GetPicture(tiles);
        ASSERT_NE(pic, nullptr);
        pic->frameHeight = 2;
        pic->frameCount = 3;
    }
    void TearDown() override {
        GetResourceManager().SetRootDir(oldRoot);
        scene.Cleanup();
        platform::setClock(oldClock);
    }
    // Lets the engine clock run on and the due Applies run.
    void Tick(uint32_t ms) {
        clock.advance(ms);
        scene.GetKernel().RunDueApplies();
    }

    // A run about to call the function with these arguments (as 传出 and 函数 leave it).
    void Prepare(const std::string& function, const std::vector<std::string>& args) {
        run = std::make_unique<ScriptInstance>();
        EXPECT_TRUE(run->SetText("脚本开始 t();\r\n       函数 " + function + ";\r\n脚本结束;"));
        run->ExecuteStatement();
        EXPECT_EQ(run->ExecuteStatement(), kScriptCallPending);
        for (const std::string& a : args) run->PushValue(ValueString(a, kValueText));
        m->kinds.clear();
    }
    // Calls the function through the manager's dispatch; → its result code.
    uint32_t Call(const std::string& function, const std::vector<std::string>& args) {
        Prepare(function, args);
        return m->DispatchBuiltin(run.get());
    }
    // The call must fail with exactly this kind.
    void ExpectKind(const std::string& function, const std::vector<std::string>& args, int kind) {
        EXPECT_EQ(Call(function, args), kScriptError) << function;
        EXPECT_EQ(m->kinds, std::vector<int>{kind}) << function;
    }
    // The call must succeed.
    void ExpectOk(const std::string& function, const std::vector<std::string>& args) {
        EXPECT_EQ(Call(function, args), kScriptContinue) << function;
        EXPECT_TRUE(m->kinds.empty())
            << function << " kind " << (m->kinds.empty() ? 0 : m->kinds[0]);
    }
    std::vector<std::string> Results() const {
        std::vector<std::string> out;
        for (const ValueString& v : run->Values()) out.push_back(v.text());
        return out;
    }
    // Creates with the built-in and returns the new id as text.
    std::string NewPlane(int w = 4, int h = 3, uint32_t colour = 0xFF00FF) {
        EXPECT_EQ(Call("创建平面", {std::to_string(w), std::to_string(h), std::to_string(colour)}),
                  kScriptContinue);
        return run->GetArg(0).text();
    }
    std::string NewImage(const std::string& name = "tiles") {
        EXPECT_EQ(Call("创建图片", {name}), kScriptContinue);
        return run->GetArg(0).text();
    }
    Entity* Find(const std::string& id) {
        return scene.GetKernel().FindEntity(uint32_t(std::stoul(id)));
    }
    PlaneEntity* Plane(const std::string& id) { return static_cast<PlaneEntity*>(Find(id)); }
    ImageEntity* Image(const std::string& id) { return static_cast<ImageEntity*>(Find(id)); }
    uint32_t Pixel(const std::string& plane, int x, int y) {
        PlaneState* s = Plane(plane)->State();
        return s->pixels[size_t(y) * size_t(s->width) + size_t(x)];
    }

    platform::ManualClock clock{1000};
    platform::Clock* oldClock = nullptr;
    RecordingHost host;
    GameBase scene;
    RecordingManager* m = nullptr;
    std::unique_ptr<ScriptInstance> run;
    TempFolder folder;
    std::string oldRoot;
    uint32_t tiles = 0, dot = 0;
};

}  // namespace hqlv::engine::test
