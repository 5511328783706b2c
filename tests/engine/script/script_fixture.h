#pragma once
// A headless engine with the script manager, its log in a folder of its own, and helpers
// that load UTF-8 script texts as the GBK resources they stand for.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "log_capture.h"
#include "platform/core/text.h"

namespace hqlv::engine::test {

// The texts of the 时间戳 lines of a log's text, in order; with times when withTime.
inline std::vector<std::string> StampTexts(const std::string& logText, bool withTime = false) {
    std::vector<std::string> out;
    std::istringstream in(logText);
    std::string line;
    std::string text;
    while (std::getline(in, line))
        if (ScriptRunner::ParseStampLine(line, &text, withTime)) out.push_back(text);
    return out;
}

struct ScriptFixture : ::testing::Test {
    LogCapture log;
    ScriptRunner engine;
    ScriptManager& scripts = engine.Scripts();

    int Load(const std::string& utf8) { return engine.Load(platform::utf8ToGbk(utf8)); }
    // Loads, starts main and pumps simulated time; → the start's result code.
    uint32_t Run(const std::string& utf8, const std::string& args = "") {
        EXPECT_GT(Load(utf8), 0) << utf8;
        const uint32_t r = scripts.StartScript("main", args);
        engine.Pump(600000);
        return r;
    }
    // The texts of the 时间戳 lines, in order; with times when withTime.
    std::vector<std::string> Stamps(bool withTime = false) const {
        return StampTexts(log.text(), withTime);
    }
    // How many times the text stands in the engine's log.
    size_t LogCount(const std::string& text) const {
        const std::string all = log.text();
        size_t n = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
            ++n;
        return n;
    }
    // The on-screen texts so far, with the rich-text tags left in.
    const std::vector<std::string>& Texts() const { return engine.texts; }
};

}  // namespace hqlv::engine::test
