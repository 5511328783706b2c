#pragma once
// Where the framework finds its files: the program folder (where the program lies), its
// temp folder, the game's INI file, and the platform root, named by the platform's machine
// file "vmkd.ini" ("SYSTEM"/"ExePath": the hall program). The machine file lives in the
// system folder: $HQLV_SYSTEM_DIR when set, else ~/.hqlv/system. All paths end in '/'
// where they name a folder.
#include <string>

namespace hqlv::framework {

std::string GetProgramFolder();
std::string GetTempFolder();  // created when missing
std::string GetSystemFolder();
std::string GetMachineFilePath();  // "<system folder>/vmkd.ini"
std::string GetGameIniPath(const std::string& gameCode);
std::string GetSkinIniSetting(const std::string& gameCode);  // "SKIN"/"Path" of the game INI
std::string GetInstallPath();  // "SYSTEM"/"ExePath" of the machine file
std::string GetInstallRoot();  // folder of the install path, "" when none
std::string GetHallIniPath();  // "<root>GameHall.ini"
std::string GetUserDataFile(int userId);
std::string GetAdvertDomainFile();
std::string GetPortraitFolder();

// The machine id: Ethernet hardware addresses, else the stored "UniqueID", else a fresh
// unique id written back.
std::string GetMachineID();
// A fresh unique id for a machine without one: the utility library's 30 lower-case
// hexadecimal digits from UUIDs; empty when the system can make none.
std::string MakeMachineUniqueId();

}  // namespace hqlv::framework
