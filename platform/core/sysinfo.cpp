#include "platform/core/sysinfo.h"

#include <sys/random.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cerrno>

#include "platform/core/files.h"

namespace hqlv::platform {
namespace {

std::string firstLine(const std::string& path) {
    std::string s;
    if (!readFile(path, &s)) return {};
    size_t nl = s.find('\n');
    if (nl != std::string::npos) s.resize(nl);
    return s;
}

bool parseAddress(const std::string& text, HardwareAddress* out) {
    // "aa:bb:cc:dd:ee:ff"
    if (text.size() != 17) return false;
    for (size_t i = 0; i < 6; ++i) {
        unsigned v = 0;
        for (size_t k = 0; k < 2; ++k) {
            char c = text[i * 3 + k];
            v <<= 4;
            if (c >= '0' && c <= '9') {
                v |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        if (i < 5 && text[i * 3 + 2] != ':') return false;
        (*out)[i] = static_cast<uint8_t>(v);
    }
    return true;
}

}  // namespace

std::vector<HardwareAddress> hardwareAddresses(std::string_view netFolder) {
    std::vector<HardwareAddress> result;
    std::string base(netFolder);
    for (const std::string& name : listFolder(base)) {
        std::string dir = joinPath(base, name);
        if (firstLine(joinPath(dir, "type")) != "1") continue;  // ARPHRD_ETHER
        if (pathExists(joinPath(dir, "wireless"), true) ||
            pathExists(joinPath(dir, "phy80211"), true))
            continue;
        if (!pathExists(joinPath(dir, "device"), true)) continue;
        HardwareAddress a{};
        if (!parseAddress(firstLine(joinPath(dir, "address")), &a)) continue;
        if (std::all_of(a.begin(), a.end(), [](uint8_t b) { return b == 0; })) continue;
        result.push_back(a);
    }
    return result;
}

bool newUuid(std::array<uint8_t, 16>* out) {
    out->fill(0);
    size_t got = 0;
    while (got < out->size()) {
        ssize_t n = getrandom(out->data() + got, out->size() - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            out->fill(0);
            return false;
        }
        got += static_cast<size_t>(n);
    }
    (*out)[6] = static_cast<uint8_t>(((*out)[6] & 0x0F) | 0x40);  // version 4
    (*out)[8] = static_cast<uint8_t>(((*out)[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return true;
}

std::string bytesToHex(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        s.push_back(digits[bytes[i] >> 4]);
        s.push_back(digits[bytes[i] & 15]);
    }
    return s;
}

bool parseKernelRelease(std::string_view release, KernelRelease* out) {
    size_t pos = 0;
    auto number = [&](uint32_t* v) {
        const size_t start = pos;
        uint64_t n = 0;
        while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9') {
            n = n * 10 + uint64_t(release[pos] - '0');
            if (n > 0xFFFFFFFFu) return false;
            ++pos;
        }
        *v = uint32_t(n);
        return pos > start;
    };
    KernelRelease r;
    if (!number(&r.major) || pos >= release.size() || release[pos] != '.') return false;
    ++pos;
    if (!number(&r.minor)) return false;
    if (pos < release.size() && release[pos] == '.') {
        ++pos;
        if (!number(&r.build)) r.build = 0;
    }
    *out = r;
    return true;
}

bool kernelRelease(KernelRelease* out) {
    utsname u{};
    if (uname(&u) != 0) return false;
    return parseKernelRelease(u.release, out);
}

std::string productTypeText() {
    return "WINNT";
}

}  // namespace hqlv::platform
