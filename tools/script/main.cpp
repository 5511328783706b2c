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

constexpr uint32_t kTenMinutes = 10 * 60 * 1000;

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
        hqlv::engine::ScriptRunner engine;
        engine.TraceTo([](const std::string& piece) { std::cout << piece << '\n'; });
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
