#include "framework/app/shared_utils.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "framework/app/paths.h"
#include "platform/core/audio.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"

namespace hqlv::framework {

std::string& TrimBlanks(std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) {
        text.clear();
        return text;
    }
    size_t e = text.find_last_not_of(' ');
    text = text.substr(b, e - b + 1);
    return text;
}

std::string TrimBlanksCopy(std::string_view text) {
    std::string s(text);
    return TrimBlanks(s);
}

SplitResult SplitFields(std::string_view text, size_t n) {
    SplitResult r;
    if (n == 0) {
        r.rest = text;
        return r;
    }
    size_t pos = 0;
    for (;;) {
        size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos) {
            r.fields.push_back(text.substr(pos));
            return r;
        }
        r.fields.push_back(text.substr(pos, bar - pos));
        if (r.fields.size() == n) {
            r.rest = text.substr(bar + 1);
            return r;
        }
        pos = bar + 1;
    }
}

std::string GetWealthTitle(int32_t v) {
    static const char* const kTitles[19] = {"临时工", "合同工",   "正式工",     "副主管",  "主管",
                                            "副经理", "经理",     "副总经理",   "总经理",  "副总裁",
                                            "总裁",   "董事",     "副董事长",   "董事长",  "富豪",
                                            "大富豪", "超级富豪", "超级大富豪", "世界首富"};
    if (v < 0) return "负债";
    int64_t threshold = 100LL << 18;
    for (int k = 18; k >= 0; --k, threshold >>= 1) {
        if (v >= threshold) return kTitles[k];
    }
    return "待业";
}

Color ParseColor(std::string_view text, Color fallback) {
    if (text.empty()) return fallback;
    std::string s(text);
    int parts[3] = {0, 0, 0};
    const char* p = s.c_str();
    for (int i = 0; i < 3 && *p; ++i) {
        while (*p == ' ') ++p;
        if (!*p) break;
        // atoi semantics: digits after an optional sign; garbage gives 0.
        parts[i] = std::atoi(p);
        while (*p && *p != ' ') ++p;
    }
    auto byte = [](int v) { return static_cast<Color>(static_cast<uint8_t>(v % 256)); };
    return byte(parts[0]) | byte(parts[1]) << 8 | byte(parts[2]) << 16;
}

std::string IntToString(int n) {
    return std::to_string(n);
}

void EnsureHttpPrefix(std::string& address) {
    if (address.size() >= 7 && strncasecmp(address.c_str(), "http://", 7) == 0) return;
    address.insert(0, "http://");
}

std::string AppendQuery(std::string_view page, std::string_view query) {
    std::string out(page);
    if (query.empty()) return out;
    out += page.find('?') != std::string_view::npos ? '&' : '?';
    out += query;
    return out;
}

bool PlayWave(std::string_view fileOrBytes, uint32_t flags) {
    platform::WaveOptions options;
    options.async = (flags & kSndAsync) != 0;
    options.noStop = (flags & kSndNoStop) != 0;
    const bool memory = (flags & kSndMemory) != 0 && (flags & kSndFileName) == 0;
    auto service = platform::audio();
    return memory ? service->playWaveBytes(fileOrBytes, options)
                  : service->playWaveFile(fileOrBytes, options);
}

void SetResourceSoundFolder(const std::string& folder) {
    platform::setResourceSoundFolder(folder);
}

std::string GetResourceSoundPath(int id) {
    return platform::resourceSoundPath(id);
}

bool PlayResourceSoundEx(int id, uint32_t flags) {
    // Like a resource of the program's own, the wave is played from memory: the file is
    // read whole first, so a missing resource never reaches the audio service.
    std::string bytes, error;
    if (!platform::readFile(GetResourceSoundPath(id), &bytes, &error)) {
        platform::diagf("sound resource %d: %s", id, error.c_str());
        return false;
    }
    return PlayWave(bytes, (flags & ~kSndFileName) | kSndNoDefault | kSndMemory);
}

bool PlayResourceSound(int id) {
    return PlayResourceSoundEx(id, kSndAsync | kSndNoStop);
}

bool PlayShareSound(const std::string& folder, const std::string& name, uint32_t flags) {
    const std::string root = GetInstallRoot();
    if (root.empty()) return false;
    return PlayWave(root + "share\\sound\\" + folder + "\\" + name, flags | kSndFileName);
}

uint32_t TimerPeriodMs(int64_t seconds) {
    constexpr int64_t kLongest = 0x7FFFFFFF;
    // Bounded before the multiplication, which then cannot overflow.
    const int64_t bounded = std::clamp<int64_t>(seconds, 0, kLongest / 1000 + 1);
    return static_cast<uint32_t>(std::min(bounded * 1000, kLongest));
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
    }
    va_end(ap2);
    return out;
}

}  // namespace hqlv::framework
