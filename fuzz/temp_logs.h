#pragma once
// Where a harness's logs go. The code under test writes its daily log (the network
// library's lines and the engine's) beside the program unless told otherwise, and a long
// run of bad inputs would fill the build tree with it. A harness takes a folder of its own
// under the system's temporary folder, named after it and its process, and points every log
// it links there; the folder goes when the process ends. A run that crashed or was killed
// cannot remove its folder: the next harness to start removes the folders of processes that
// are gone.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace hqlv::fuzz {

inline constexpr const char* kLogFolderPrefix = "hqlv-fuzz-";

// The process id a folder's name ends with ("hqlv-fuzz-<name>-<pid>"); 0 when it has none.
inline pid_t LogFolderOwner(const std::string& folderName) {
    if (folderName.rfind(kLogFolderPrefix, 0) != 0) return 0;
    const size_t dash = folderName.rfind('-');
    if (dash == std::string::npos || dash + 1 >= folderName.size()) return 0;
    pid_t pid = 0;
    for (size_t i = dash + 1; i < folderName.size(); ++i) {
        const char c = folderName[i];
        if (c < '0' || c > '9' || pid > 100000000) return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Removes the log folders under `temp` whose process is gone; the folders of live processes
// (harnesses running side by side) stay.
inline void RemoveLeftLogFolders(const std::filesystem::path& temp) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(temp, ec)) {
        const pid_t pid = LogFolderOwner(e.path().filename().string());
        if (pid <= 0 || pid == getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove_all(e.path(), ignored);
    }
}

// The process's log folder (ending in '/'), made on the first call and removed at exit.
inline const std::string& TemporaryLogFolder(const char* name) {
    // Never destroyed: the exit handler that removes the folder may run after the
    // process's other statics are gone.
    static const std::string* folder = [name] {
        std::error_code ec;
        const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
        const std::filesystem::path base = ec ? std::filesystem::path("/tmp") : temp;
        RemoveLeftLogFolders(base);
        const std::filesystem::path mine =
            base / (std::string(kLogFolderPrefix) + name + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(mine, ec);
        auto* path = new std::string(mine.string() + "/");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*folder, ignored);
        });
        return path;
    }();
    return *folder;
}

}  // namespace hqlv::fuzz
