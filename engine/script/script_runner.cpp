#include "engine/script/script_runner.h"

#include <filesystem>
#include <fstream>

#include "engine/core/clock.h"
#include "engine/core/engine_log.h"
#include "engine/script/script_manager.h"

namespace hqlv::engine {

ScriptRunner::ScriptRunner(uint32_t startMs, ScriptEngineFactory factory, int screenWidth,
                           int screenHeight)
    : clock_(startMs) {
    oldClock_ = platform::setClock(&clock_);
    GetEngineTimeMs();
    if (factory)
        SetScriptEngineFactory(factory);
    else
        InstallScriptManager();
    Init();
    InitScreen(screenWidth, screenHeight);
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

void ScriptRunner::MessageBox(const FloatingText& record) {
    texts.push_back(record.text);
    if (!trace_) return;
    // The stamps written before the text was shown come first.
    FlushStamps();
    trace_("!" + record.text);
}

std::string ScriptRunner::LogFile() {
    const platform::LocalTime t = clock_.localTime();
    return EngineLogPath(t.year, t.month, t.day);
}

void ScriptRunner::TraceTo(TraceSink sink) {
    trace_ = std::move(sink);
    std::error_code ec;
    const auto size = std::filesystem::file_size(LogFile(), ec);
    traceRead_ = ec ? 0 : size_t(size);
}

void ScriptRunner::FlushStamps() {
    if (!trace_) return;
    std::ifstream in(LogFile(), std::ios::binary);
    if (!in) return;
    in.seekg(std::streamoff(traceRead_));
    std::string line;
    std::string text;
    // Only whole lines: a line is written in one piece, with its end.
    while (std::getline(in, line) && !in.eof()) {
        traceRead_ += line.size() + 1;
        if (ParseStampLine(line, &text, false)) trace_(text);
    }
}

bool ScriptRunner::ParseStampLine(std::string_view line, std::string* text, bool withTime) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    // The log's own stamp ends with six spaces after the time of day.
    const size_t at = line.find("      ", 19);
    if (at == std::string_view::npos) return false;
    const std::string_view message = line.substr(at + 6);
    const size_t colon = message.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        message.find_first_not_of("-0123456789") != colon)
        return false;
    *text = std::string(withTime ? message : message.substr(colon + 1));
    return true;
}

}  // namespace hqlv::engine
