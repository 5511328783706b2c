#pragma once
// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace hqlv::engine::test {

class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/hqlv-engine-XXXXXX";
        char* p = mkdtemp(tmpl);
        path_ = p ? p : "";
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }
    void put(const std::string& rel, const std::string& bytes) const {
        std::filesystem::path full = path_ + "/" + rel;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
    }

private:
    std::string path_;
};

}  // namespace hqlv::engine::test
