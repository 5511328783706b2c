#pragma once
// Small process-wide helpers shared by the log, the network classes and the framework.
#include <cstddef>
#include <cstdint>
#include <string>

namespace hqlv::netlib {

// Number of halvings until n <= 1; 0 for n < 2.
int YrnIntLog2(int32_t n);
// 2 to the power n as a 32-bit value, by n doublings of 1: 1 for n < 1, the sign bit
// alone for 31, 0 above 31.
int32_t YrnPow2(int32_t n);
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
// The version record of the operating-system query: major, minor and build numbers and
// the platform (0 Win32s, 1 the 9x line, 2 the NT line).
struct YrnVersionRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platform = 0;
};
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;
constexpr uint32_t kPlatformNT = 2;

// The true version of the running system: here the kernel's release numbers on the NT
// line. 1 when they could be read; the record is zeroed first.
int YrnRtlGetVersion(YrnVersionRecord& record);
// The product bits of a product-type text: "WINNT" 0x10000, "SERVERNT" 0x40000, others 0.
uint32_t YrnProductTypeBits(const std::string& productType);
// The product bits of the running system.
uint32_t YrnGetProductType();

// Version-word bits.
constexpr uint32_t kOsWorkstation = 0x10000;
constexpr uint32_t kOsProductType1 = 0x20000;
constexpr uint32_t kOsServer = 0x40000;
constexpr uint32_t kOsDomainController = 0x80000;
// Product bits of the extended record's product type: 1 workstation (0x30000),
// 2 domain controller (0x80000), 3 server (0x40000); 0 for any other.
uint32_t YrnProductTypeWord(int productType);
// The version word of a version record and the product bits (the server-R2 metric for
// 5.2): the platform, major and minor give one version bit; "workstation" rows need
// 0x10000 among the product bits.
uint32_t YrnComposeOSVersion(const YrnVersionRecord& version, uint32_t productBits, bool serverR2);
// Stores the operating-system version word (computed once per process); 1 on success,
// 0 when the version could not be read (the word is then 0).
int YrnGetOSVersion(uint32_t& word);

}  // namespace hqlv::netlib
