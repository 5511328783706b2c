// Untrusted bytes met by the platform layer: INI files (settings and skins come from disk),
// GBK text from the wire, and request heads from other processes on the hall channel.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/profile.h"
#include "platform/core/text.h"

using namespace hqlv::platform;

namespace {

// The INI file lives in memory (tmpfs) where the machine has it: on a disk file system every
// run's write and rename forced the file out to the disk, a millisecond and more per input.
std::string scratchFile() {
    struct stat st {};
    const char* folder = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/hqlv-fuzz-profile-" + std::to_string(getpid()) + ".ini";
}

// Every lookup reads and parses the whole file again; a few sections and keys reach all of
// the lookup's code, and a cap keeps a file of hundreds of keys from costing quadratic time.
constexpr size_t kMaxSections = 2, kMaxKeys = 3, kMaxNumbers = 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = scratchFile();
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string utf8 = gbkToUtf8(text);
    std::string gbk = utf8ToGbk(utf8);
    size_t max = size ? data[0] : 0;
    if (gbkTruncate(text, max).size() > max) abort();
    if (utf8Truncate(utf8, max).size() > max) abort();

    HallRequest q;
    decodeHallRequestHead(data, size, &q);

    if (!writeFile(file, text)) return 0;
    const std::vector<std::string> sections = profileSectionNames(file);
    for (size_t i = 0; i < sections.size() && i < kMaxSections; ++i) {
        const std::vector<std::string> keys = profileKeys(sections[i], file);
        for (size_t j = 0; j < keys.size() && j < kMaxKeys; ++j) {
            profileString(sections[i], keys[j], "", file);
            if (j < kMaxNumbers) getProfileInt(sections[i], keys[j], 0, file);
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
