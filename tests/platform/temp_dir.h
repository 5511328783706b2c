#pragma once
// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/hqlv-test-XXXXXX";
        char* p = mkdtemp(tmpl);
        path_ = p ? p : "";
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Writes raw bytes to a file below the folder, creating its folders.
    void put(const std::string& rel, const std::string& bytes) const {
        std::filesystem::path full = path_ + "/" + rel;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
    }
    std::string get(const std::string& rel) const {
        std::ifstream in(path_ + "/" + rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};
