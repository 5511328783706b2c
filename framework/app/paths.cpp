#include "framework/app/paths.h"

#include <cstdlib>

#include "framework/app/settings_files.h"
#include "netlib/util.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/core/sysinfo.h"

namespace hqlv::framework {

std::string GetProgramFolder() {
    return platform::programFolder();
}

std::string GetTempFolder() {
    std::string folder = GetProgramFolder() + "temp/";
    platform::makeFolders(folder);
    return folder;
}

std::string GetSystemFolder() {
    const char* env = std::getenv("HQLV_SYSTEM_DIR");
    std::string folder;
    if (env && *env) {
        folder = env;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && *home ? home : "/tmp") + "/.hqlv/system";
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string GetMachineFilePath() {
    return GetSystemFolder() + "vmkd.ini";
}

std::string GetGameIniPath(const std::string& gameCode) {
    return GetProgramFolder() + gameCode + ".ini";
}

std::string GetSkinIniSetting(const std::string& gameCode) {
    return platform::profileString("SKIN", "Path", "", GetGameIniPath(gameCode));
}

std::string GetInstallPath() {
    return platform::profileString("SYSTEM", "ExePath", "", GetMachineFilePath());
}

std::string GetInstallRoot() {
    std::string path = platform::normalizePath(GetInstallPath());
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string GetHallIniPath() {
    return GetInstallRoot() + "GameHall.ini";
}

std::string GetUserDataFile(int userId) {
    return GetInstallRoot() + "users/" + std::to_string(userId) + ".dat";
}

std::string GetAdvertDomainFile() {
    return GetInstallRoot() + "Share/advert/domain.dat";
}

std::string GetPortraitFolder() {
    return GetInstallRoot() + "Share/Image/portrait/";
}

std::string GetMachineID() {
    std::vector<NetAdapter> adapters;
    for (const auto& a : platform::hardwareAddresses())
        adapters.push_back({6, {a.begin(), a.end()}});
    const std::string file = GetMachineFilePath();
    MachineIdStore store{[file] { return platform::profileString("SYSTEM", "UniqueID", "", file); },
                         [file](const std::string& id) {
                             platform::makeFolders(GetSystemFolder());
                             platform::writeProfileString("SYSTEM", "UniqueID", id.c_str(), file);
                         },
                         MakeMachineUniqueId};
    return framework::GetMachineID(adapters, store);
}

std::string MakeMachineUniqueId() {
    // No UUID (no random bytes): no id, rather than one of zeros.
    char id[32] = "";
    if (!netlib::YrnMakeUniqueId(id)) return {};
    return id;
}

}  // namespace hqlv::framework
