// Script resources of any bytes: compiled as a ".script" resource (GBK), every body started
// with two argument texts, and simulated time moved on for at most 100 frames. Each entry
// into the interpreter may run 10,000 statements, an input at most a million.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/engine_log.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"

namespace {

using namespace hqlv::engine;

constexpr uint32_t kEntryBudget = 10000;
constexpr uint64_t kInputStatements = 1000000;
constexpr int kFrames = 100;

// Refuses new runs once the input's allowance is spent; an entry begun before that may
// still use its whole budget, so the allowance leaves room for one.
class BoundedManager : public ScriptManager {
public:
    uint32_t RunScript(ScriptInstance* instance) override {
        if (GetExecutedCount() + kEntryBudget >= kInputStatements) return kScriptHalted;
        return ScriptManager::RunScript(instance);
    }
};

std::unique_ptr<ObjectBase> MakeBoundedManager() {
    auto manager = std::make_unique<BoundedManager>();
    manager->SetStatementBudget(kEntryBudget);
    return manager;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // 时间戳 lines go to a folder of this process, not the program folder.
    static const bool logSet = [] {
        const std::string folder = "/tmp/hqlv-fuzz-script-" + std::to_string(getpid());
        mkdir(folder.c_str(), 0700);
        SetEngineLogFolder(folder);
        return true;
    }();
    (void)logSet;
    ScriptRunner engine(1000, &MakeBoundedManager);
    ScriptManager& scripts = engine.Scripts();
    engine.Load(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : scripts.GetLoadedNames()) {
        if (scripts.GetExecutedCount() >= kInputStatements) break;
        scripts.StartScript(name, "甲{,\"乙}\"");
    }
    for (int frame = 0; frame < kFrames && scripts.GetRunningCount() > 0; ++frame) engine.Step();
    engine.PumpMessages();
    return 0;
}
