#include "netlib/util.h"

#include <array>
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

int64_t YrnPow2(int32_t n) {
    if (n < 1) return 1;
    if (n > 62) n = 62;
    return int64_t{1} << n;
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

int YrnGetOSVersion(uint32_t& word) {
    static const uint32_t cached = platform::osVersionWord();
    word = cached;
    return cached != 0 ? 1 : 0;
}

}  // namespace hqlv::netlib
