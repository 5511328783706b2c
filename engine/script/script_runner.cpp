#include "engine/script/script_runner.h"

#include "engine/core/clock.h"
#include "engine/script/script_manager.h"

namespace hqlv::engine {

namespace {
constexpr int kScreenWidth = 744;
constexpr int kScreenHeight = 710;
}  // namespace

ScriptRunner::ScriptRunner(uint32_t startMs) : clock_(startMs) {
    oldClock_ = platform::setClock(&clock_);
    GetEngineTimeMs();
    InstallScriptManager();
    Init();
    InitScreen(kScreenWidth, kScreenHeight);
    scripts_ = dynamic_cast<ScriptManager*>(GetScriptEngine());
}

ScriptRunner::~ScriptRunner() {
    Cleanup();
    platform::setClock(oldClock_);
}

int ScriptRunner::Load(std::string_view gbk) {
    return scripts_->LoadScript(ValueString(std::string(gbk), kValueText), 0);
}

void ScriptRunner::Step() {
    Tick();
    clock_.advance(GetKernel().GetFrameInterval());
}

bool ScriptRunner::Pump(uint32_t maxMs, int maxFrames) {
    const uint32_t start = clock_.tickMs();
    for (int frame = 0; maxFrames == 0 || frame < maxFrames; ++frame) {
        Step();
        if (scripts_->GetRunningCount() == 0 && GetKernel().GetMessageCount() == 0) {
            PumpMessages();  // the last texts
            return true;
        }
        if (platform::tickElapsed(start, clock_.tickMs()) > maxMs) break;
    }
    PumpMessages();
    return scripts_->GetRunningCount() == 0;
}

}  // namespace hqlv::engine
