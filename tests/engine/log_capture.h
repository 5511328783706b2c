#pragma once
// Points the engine log at a fresh folder for one scope and reads back what was written.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "temp_folder.h"

namespace hqlv::engine::test {

struct LogCapture {
    TempFolder dir;
    std::string old;
    LogCapture() { old = SetEngineLogFolder(dir.path()); }
    ~LogCapture() { SetEngineLogFolder(old); }
    // Every line of every file, in file name order.
    std::string text() const {
        std::string all;
        std::vector<std::filesystem::path> files;
        for (auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.is_regular_file()) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            all.append(std::istreambuf_iterator<char>(in), {});
        }
        return all;
    }
};

}  // namespace hqlv::engine::test
