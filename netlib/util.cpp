#include "netlib/util.h"

#include <array>
#include <atomic>
#include <cstring>

#include "platform/core/files.h"
#include "platform/core/sysinfo.h"

namespace hqlv::netlib {

int YrnIntLog2(int32_t n) {
    int k = 0;
    while (n > 1) {
        n /= 2;
        ++k;
    }
    return k;
}

int32_t YrnPow2(int32_t n) {
    if (n < 1) return 1;
    // Doubled n times in 32 bits: bit 31 alone for 31, nothing left above it.
    return n > 31 ? 0 : static_cast<int32_t>(uint32_t{1} << n);
}

void YrnSafeCopy(char* destination, const char* source, int length) {
    if (!destination || !source) return;
    if (length == -1) {
        std::strcpy(destination, source);
    } else if (length > 0) {
        std::strncpy(destination, source, static_cast<size_t>(length));
    }
}

void YrnSplitPath(const std::string& path, int parts, std::string& output) {
    output.clear();
    size_t pos = 0;
    std::string drive;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        drive = path.substr(0, 2);
        pos = 2;
    }
    size_t lastSep = path.find_last_of("\\/");
    std::string folder, file;
    if (lastSep != std::string::npos && lastSep >= pos) {
        folder = path.substr(pos, lastSep + 1 - pos);
        file = path.substr(lastSep + 1);
    } else {
        file = path.substr(pos);
    }
    size_t dot = file.find_last_of('.');
    std::string name = dot == std::string::npos ? file : file.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
    if (parts & kPathDrive) output += drive;
    if (parts & kPathFolder) output += folder;
    if (parts & kPathName) output += name;
    if (parts & kPathExt) output += ext;
}

int YrnFileExists(const std::string& path, int folderFlag) {
    return platform::pathExists(path, folderFlag == 1) ? 1 : 0;
}

int YrnGetModuleFolder(std::string& output) {
    output = platform::programFolder();
    return 1;
}

void YrnBytesToHex(const void* bytes, size_t count, std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    auto* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[p[i] >> 4];
        text += kDigits[p[i] & 15];
    }
}

int YrnRandomBytes(void* output, size_t count) {
    auto* p = static_cast<uint8_t*>(output);
    while (count > 0) {
        std::array<uint8_t, 16> u;
        if (!platform::newUuid(&u)) return 0;
        size_t k = count < 16 ? count : 16;
        std::memcpy(p, u.data(), k);
        p += k;
        count -= k;
    }
    return 1;
}

int YrnMakeUniqueId(char* buffer) {
    if (!buffer || buffer[0] != 0) return 0;
    uint8_t bytes[32];
    // Without random bytes there is no unique id to give: the buffer stays empty.
    if (!YrnRandomBytes(bytes, sizeof bytes)) return 0;
    std::string hex;
    YrnBytesToHex(bytes, sizeof bytes, hex);
    std::memcpy(buffer, hex.data(), 30);
    buffer[30] = 0;
    return 1;
}

int YrnRtlGetVersion(YrnVersionRecord& record) {
    record = YrnVersionRecord{};
    platform::KernelRelease k;
    if (!platform::kernelRelease(&k)) return 0;
    record.major = k.major;
    record.minor = k.minor;
    record.build = k.build;
    record.platform = kPlatformNT;
    return 1;
}

uint32_t YrnProductTypeBits(const std::string& productType) {
    if (productType == "WINNT") return kOsWorkstation;
    if (productType == "SERVERNT") return kOsServer;
    return 0;
}

uint32_t YrnGetProductType() {
    return YrnProductTypeBits(platform::productTypeText());
}

uint32_t YrnProductTypeWord(int productType) {
    switch (productType) {
        case 1:
            return kOsWorkstation | kOsProductType1;
        case 2:
            return kOsDomainController;
        case 3:
            return kOsServer;
        default:
            return 0;
    }
}

uint32_t YrnComposeOSVersion(const YrnVersionRecord& v, uint32_t productBits, bool serverR2) {
    const bool ws = (productBits & kOsWorkstation) != 0;
    uint32_t word = productBits;
    if (v.platform == kPlatformWin32s) return word | 0x1;
    if (v.platform == kPlatformWindows) {
        if (v.major < 5 && !(v.major == 4 && v.minor != 0)) word |= 0x2;
        if (v.minor == 10) word |= 0x4;
        if (v.minor == 90) word |= 0x8;
        return word;
    }
    if (v.platform != kPlatformNT) return word;
    if (v.major < 5) return word | 0x10;
    if (v.major >= 11) return word | 0x10000000;
    if (v.major == 5) {
        if (v.minor == 0) word |= 0x20;
        if (v.minor == 1) word |= 0x40;
        if (v.minor == 2) word |= serverR2 ? 0x800 : 0x400;
    } else if (v.major == 6) {
        static constexpr uint32_t kWs[4] = {0x80, 0x100, 0x200, 0x8000};
        static constexpr uint32_t kServer[4] = {0x1000, 0x2000, 0x4000, 0x100000};
        if (v.minor < 4) word |= ws ? kWs[v.minor] : kServer[v.minor];
    } else if (v.major == 10 && v.minor == 0) {
        word |= ws ? 0x200000 : 0x400000;
    }
    return word;
}

namespace {

uint32_t ComputeOSVersion() {
    YrnVersionRecord v;
    if (!YrnRtlGetVersion(v)) return 0;
    // The version query has no product type of its own here: the product bits come from
    // the system's product-type text, and there is no server-R2 metric.
    return YrnComposeOSVersion(v, YrnGetProductType(), false);
}

}  // namespace

int YrnGetOSVersion(uint32_t& word) {
    // Kept once known; a failed query is tried again by the next call.
    static std::atomic<uint32_t> cached{0};
    word = cached.load();
    if (word == 0) {
        word = ComputeOSVersion();
        cached.store(word);
    }
    return word != 0 ? 1 : 0;
}

}  // namespace hqlv::netlib
