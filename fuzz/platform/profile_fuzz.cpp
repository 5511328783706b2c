// Untrusted bytes met by the platform layer: INI files (settings and skins come from disk),
// GBK text from the wire, and request heads from other processes on the hall channel.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/profile.h"
#include "platform/core/text.h"

using namespace hqlv::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = "/tmp/hqlv-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string utf8 = gbkToUtf8(text);
    std::string gbk = utf8ToGbk(utf8);
    size_t max = size ? data[0] : 0;
    if (gbkTruncate(text, max).size() > max) abort();
    if (utf8Truncate(utf8, max).size() > max) abort();

    HallRequest q;
    decodeHallRequestHead(data, size, &q);

    if (!writeFile(file, text)) return 0;
    for (const std::string& section : profileSectionNames(file)) {
        for (const std::string& key : profileKeys(section, file)) {
            profileString(section, key, "", file);
            getProfileInt(section, key, 0, file);
        }
    }
    char buf[16];
    getProfileString(nullptr, nullptr, "", buf, sizeof buf, file);
    // Whatever the file held, a value just written reads back.
    if (!writeProfileString("Fuzz Section", "Key", "value 1", file)) abort();
    if (profileString("fuzz section", "KEY", "", file) != "value 1") abort();
    if (!writeProfileString("Fuzz Section", "Key", nullptr, file)) abort();
    if (profileString("fuzz section", "KEY", "gone", file) != "gone") abort();
    unlink(file.c_str());
    return 0;
}
