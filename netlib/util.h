#pragma once
// Small process-wide helpers shared by the log, the network classes and the framework.
#include <cstddef>
#include <cstdint>
#include <string>

namespace hqlv::netlib {

// Number of halvings until n <= 1; 0 for n < 2.
int YrnIntLog2(int32_t n);
// 2 to the power n; 1 for n < 1.
int64_t YrnPow2(int32_t n);
// Nothing when either pointer is null; length -1 copies the whole string with its
// terminator; otherwise strncpy of that length.
void YrnSafeCopy(char* destination, const char* source, int length);

// Part flags of YrnSplitPath.
constexpr int kPathDrive = 1;
constexpr int kPathFolder = 2;  // with its trailing separator
constexpr int kPathName = 4;
constexpr int kPathExt = 8;  // with its dot
// Writes the concatenation of the selected parts of the path into output (emptied first).
// Both '\\' and '/' separate folders; a drive is a letter and a colon at the start.
void YrnSplitPath(const std::string& path, int parts, std::string& output);

// 1 when the path exists and is a folder (folderFlag 1) or is not a folder (0).
int YrnFileExists(const std::string& path, int folderFlag);
// Folder of the running executable, ending in '/'; returns 1.
int YrnGetModuleFolder(std::string& output);
// Appends each byte as two lower-case hex digits.
void YrnBytesToHex(const void* bytes, size_t count, std::string& text);
// Fills count bytes from successive new UUIDs (16 bytes each, the last one cut); 1 on
// success, 0 when no random UUID could be made.
int YrnRandomBytes(void* output, size_t count);
// When buffer holds the empty string: 30 lower-case hex digits from random bytes, 1;
// otherwise the buffer is left alone and 0 returned. The buffer holds at least 31 chars.
int YrnMakeUniqueId(char* buffer);
// Stores the operating-system version word (computed once per process); 1 on success.
int YrnGetOSVersion(uint32_t& word);

}  // namespace hqlv::netlib
