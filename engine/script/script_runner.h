#pragma once
// A headless engine that runs scripts on simulated time: a 744 × 710 engine object with
// the script manager, a manual clock installed for its lifetime, and the on-screen texts
// (engine message 88) collected instead of drawn. The script runner program, the fuzz
// harness, the benchmark and the tests drive scripts through it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/game_base.h"
#include "platform/core/clock.h"

namespace hqlv::engine {

class ScriptManager;

class ScriptRunner : public GameBase {
public:
    // The factory makes the script engine (a ScriptManager or a class of its own); none:
    // the standard manager.
    explicit ScriptRunner(uint32_t startMs = 1000, ScriptEngineFactory factory = nullptr,
                          int screenWidth = kScreenWidth, int screenHeight = kScreenHeight);
    static constexpr int kScreenWidth = 744;
    static constexpr int kScreenHeight = 710;
    ~ScriptRunner() override;

    ScriptManager& Scripts() { return *scripts_; }
    platform::ManualClock& Clock() { return clock_; }
    // Compiles the bytes as a ".script" resource's (GBK) would be.
    int Load(std::string_view gbk);
    // One engine tick at the current time, then the clock moves on by one frame interval.
    void Step();
    // Steps until no run is left waiting, at most maxMs of simulated time and maxFrames
    // frames (0: no frame limit); true when no run is left.
    bool Pump(uint32_t maxMs, int maxFrames = 0);

    void MessageBox(const FloatingText& record) override;
    // The texts shown on screen, in order.
    std::vector<std::string> texts;

    // What the runs leave for others to see, in the order it happens: the text of each
    // 时间戳 line written from now on (read back from the engine log) and each on-screen
    // text with "!" in front. Each piece goes to the sink once.
    using TraceSink = std::function<void(const std::string&)>;
    void TraceTo(TraceSink sink);
    // Hands the 时间戳 lines the log has gained since the last look to the sink.
    void FlushStamps();

    // The text of a 时间戳 line of the engine log ("<stamp>      <ms>:<text>"); false for
    // any other line.
    static bool ParseStampLine(std::string_view line, std::string* text, bool withTime);

private:
    std::string LogFile();
    TraceSink trace_;
    size_t traceRead_ = 0;  // the simulated clock keeps one date: one log file
    platform::ManualClock clock_;
    platform::Clock* oldClock_ = nullptr;
    ScriptManager* scripts_ = nullptr;
};

}  // namespace hqlv::engine
