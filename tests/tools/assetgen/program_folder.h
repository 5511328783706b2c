#pragma once
// The program folder the build wrote the table's assets into, and reading its files.
#include <fstream>
#include <iterator>
#include <string>

namespace hqlv::assetgen::test {

inline std::string ProgramFolder() {
    return std::string(HQLV_BUILD_DIR) + "/mahjong/";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace hqlv::assetgen::test
