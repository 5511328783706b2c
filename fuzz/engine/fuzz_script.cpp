// Script resources of any bytes: compiled as a ".script" resource (GBK), every body started
// with two argument texts, and simulated time moved on for at most 100 frames. Each entry
// into the interpreter may run 10,000 statements, an input at most 200,000 (plane work counts
// as statements, one per 1,024 pixels, each 64 of the input's); the engine shows at most 256
// script error texts at once.
// Two pictures ("tiles", "dot") are registered and a plane with an image linked to it exists
// first, so that the object family's calls find what they work on.
#include <sys/stat.h>
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "fuzz/temp_logs.h"
#include "fuzz_pictures.h"

namespace {

using namespace hqlv::engine;

constexpr uint32_t kEntryBudget = 10000;
// Under the address sanitizer with coverage a statement costs about 7 us where a failing
// call writes its log line and unwinds a run, so a million of them (a few lines that call
// each other in a loop) took longer than the fuzzer's 10 s limit for one input. Twenty
// entries' worth still reaches every path the interpreter has.
constexpr uint64_t kInputStatements = 200000;
// The manager counts 1,024 pixels of plane work as one statement, about their time in an
// optimised build. Here every pixel loop is traced: a plain statement took 1.3 us, 1,024
// pixels of making or filling a plane 100 us, and twenty entries of plane work (a dozen
// scripts that each make a plane of ten million pixels) took 20 s. Against the input's
// allowance the statements that plane work counts as stand for this many.
constexpr uint64_t kPixelWorkWeight = 64;
constexpr int kFrames = 100;
constexpr int kScreenWidth = 64, kScreenHeight = 48;

// The functions whose work walks a plane's pixels.
bool WalksPixels(const std::string& function) {
    return function == "创建平面" || function == "操作平面" || function == "贴图";
}

// Refuses new runs once the input's allowance is spent; an entry begun before that may
// still use its whole budget, so the allowance leaves room for one.
class BoundedManager : public ScriptManager {
public:
    uint32_t RunScript(ScriptInstance* instance) override {
        if (Spent() + kEntryBudget >= kInputStatements) return kScriptHalted;
        return ScriptManager::RunScript(instance);
    }
    // The statements run, with plane work weighed as kPixelWorkWeight says.
    uint64_t Spent() const { return GetExecutedCount() + pixelExtra_; }
    // 动态加载 loads at once, and a picture that cannot be loaded ends the process on the
    // resource manager's fatal path, which is the engine's to take: the harness hands it only
    // the pictures of its folder, and puts the root folder back after 设置资源目录.
    uint32_t CallFunction(ScriptInstance* instance) override {
        const std::string function = instance->FunctionNameText();
        if (function == "动态加载") {
            std::vector<ValueString> values = instance->Values();
            instance->ClearValues();
            for (const ValueString& v : values) {
                const bool known = v.text() == "tiles.bmp" || v.text() == "dot.bmp";
                instance->PushValue(known ? v : ValueString("tiles.bmp", kValueText));
            }
        }
        const uint64_t before = GetExecutedCount();
        const uint32_t result = ScriptManager::CallFunction(instance);
        if (WalksPixels(function))
            pixelExtra_ += (GetExecutedCount() - before) * (kPixelWorkWeight - 1);
        if (function == "设置资源目录") GetResourceManager().SetRootDir(root);
        return result;
    }

    std::string root;

private:
    uint64_t pixelExtra_ = 0;
};

// The folder of this process: the engine's log and the pictures; it goes when the process
// ends.
const std::string& ProcessFolder() {
    return hqlv::fuzz::TemporaryLogFolder("script");
}

std::unique_ptr<ObjectBase> MakeBoundedManager() {
    auto manager = std::make_unique<BoundedManager>();
    manager->SetStatementBudget(kEntryBudget);
    return manager;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // 时间戳 lines go to a folder of this process, not the program folder; the folder goes
    // when the process ends.
    static const bool logSet = [] {
        SetEngineLogFolder(ProcessFolder());
        return true;
    }();
    (void)logSet;
    // A folder of the pictures alone, the only ones 动态加载 is given (see BoundedManager).
    static const std::string pictures = [] {
        const std::string folder = ProcessFolder() + "pics/";
        fuzz::WritePictures(folder);
        return folder;
    }();
    // Without a host nothing is drawn, so a small screen serves: building the 744 x 710
    // screen buffers (each pixel a traced comparison) was two thirds of every run.
    ScriptRunner engine(1000, &MakeBoundedManager, kScreenWidth, kScreenHeight);
    ScriptManager& scripts = engine.Scripts();
    // The engine's clean-up after the previous input released every resource.
    const uint32_t tiles = fuzz::RegisterPictures(pictures);
    GetResourceManager().SetRootDir(pictures);
    static_cast<BoundedManager&>(scripts).root = pictures;
    PlaneEntity* plane = scripts.CreatePlaneEntity(4, 372, 355, 40, 20, 255);
    ImageEntity* image = scripts.CreateImageEntityEx(4, 372, 355, tiles, 0, 0, 0, 0, 0, kNoColour);
    engine.GetKernel().LinkChildEntity(plane, image, 0x1802E);
    engine.Load(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : scripts.GetLoadedNames()) {
        if (static_cast<BoundedManager&>(scripts).Spent() >= kInputStatements) break;
        scripts.StartScript(name, "甲{,\"乙}\"");
    }
    for (int frame = 0; frame < kFrames && scripts.GetRunningCount() > 0; ++frame) engine.Step();
    engine.PumpMessages();
    return 0;
}
