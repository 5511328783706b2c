#pragma once
// A platform install of a test's own: the system folder, whose machine file names the hall's
// program, and the platform root beside it, made known to the client through HQLV_SYSTEM_DIR
// for as long as the object lives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/core/files.h"

namespace hqlv::framework::testing {

// HQLV_SYSTEM_DIR names `folder` while this lives; the variable's old value (or its absence)
// comes back after, also when the test ends early.
class SystemFolderVariable {
public:
    explicit SystemFolderVariable(const std::string& folder) {
        if (const char* old = std::getenv("HQLV_SYSTEM_DIR")) old_ = old;
        setenv("HQLV_SYSTEM_DIR", folder.c_str(), 1);
    }
    ~SystemFolderVariable() {
        if (old_)
            setenv("HQLV_SYSTEM_DIR", old_->c_str(), 1);
        else
            unsetenv("HQLV_SYSTEM_DIR");
    }
    SystemFolderVariable(const SystemFolderVariable&) = delete;
    SystemFolderVariable& operator=(const SystemFolderVariable&) = delete;

private:
    std::optional<std::string> old_;
};

// `<base>/system/vmkd.ini` names `<base>/platform/GameHall.exe`, so `<base>/platform/` is the
// platform root the client reads users' files, portraits and shared sounds below.
struct PlatformInstall {
    explicit PlatformInstall(const std::string& base)
        : root(base + "/platform/"), system(base + "/system"), variable(system) {
        EXPECT_TRUE(platform::makeFolders(root));
        EXPECT_TRUE(platform::makeFolders(system));
        EXPECT_TRUE(platform::writeFile(system + "/vmkd.ini",
                                        "[SYSTEM]\r\nExePath=" + root + "GameHall.exe\r\n"));
    }
    // Writes `text` to the file `relative` below the root, making the folders on its way.
    bool Write(const std::string& relative, const std::string& text) const {
        const std::string path = root + relative;
        return platform::makeFolders(std::filesystem::path(path).parent_path().string()) &&
               platform::writeFile(path, text);
    }
    const std::string root, system;
    SystemFolderVariable variable;
};

}  // namespace hqlv::framework::testing
