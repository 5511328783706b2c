// hqlv-script FILE [NAME [ARGS]]: loads FILE as a ".script" resource (GBK) on a headless
// 744 × 710 engine, starts NAME (main by default) with the argument text ARGS and moves
// simulated time on until no run waits (at most ten minutes). Prints, in order, the text
// of each 时间戳 line and each on-screen text after "!".
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "engine/core/engine_log.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"

namespace {

using hqlv::engine::FloatingText;
using hqlv::engine::ScriptRunner;

constexpr uint32_t kTenMinutes = 10 * 60 * 1000;

// Prints the 时间戳 lines the log has gained since the last look, then each shown text.
class PrintingRunner : public ScriptRunner {
public:
    explicit PrintingRunner(std::string logFolder) : folder_(std::move(logFolder)) {}
    void MessageBox(const FloatingText& record) override {
        FlushStamps();
        std::cout << '!' << record.text << '\n';
    }
    void FlushStamps() {
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            std::ifstream in(entry.path(), std::ios::binary);
            in.seekg(std::streamoff(read_));
            std::string line;
            while (std::getline(in, line)) {
                read_ += line.size() + 1;
                std::string text;
                if (ScriptRunner::ParseStampLine(line, &text, false)) std::cout << text << '\n';
            }
        }
    }

private:
    std::string folder_;
    size_t read_ = 0;  // the simulated clock keeps one date: one log file
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hqlv-script FILE [NAME [ARGS]]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "hqlv-script: cannot read %s\n", argv[1]);
        return 2;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    char folder[] = "/tmp/hqlv-script-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("hqlv-script");
        return 2;
    }
    const std::string oldFolder = hqlv::engine::SetEngineLogFolder(folder);
    int status = 0;
    {
        PrintingRunner engine(folder);
        if (engine.Load(bytes.str()) < 1) {
            engine.PumpMessages();
            std::fprintf(stderr, "hqlv-script: %s holds no script that compiles\n", argv[1]);
            status = 1;
        } else {
            engine.Scripts().StartScript(argc > 2 ? argv[2] : "main", argc > 3 ? argv[3] : "");
            engine.FlushStamps();
            if (!engine.Pump(kTenMinutes)) {
                std::fprintf(stderr, "hqlv-script: runs still wait after ten minutes\n");
                status = 1;
            }
            engine.FlushStamps();
        }
    }
    hqlv::engine::SetEngineLogFolder(oldFolder);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return status;
}
