// Untrusted bytes met by the platform layer: INI files (settings and skins come from disk),
// GBK text from the wire, and request heads from other processes on the hall channel.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
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
// Each run replaces the file; it is removed when the program ends.
struct ScratchFile {
    ScratchFile() {
        struct stat st {};
        const char* folder =
            stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        path = std::string(folder) + "/hqlv-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    }
    ~ScratchFile() { unlink(path.c_str()); }
    std::string path;
};

// The lookups run on the text parsed once in memory (the file functions read through the
// same parser); a cap keeps a file of hundreds of keys from costing quadratic time.
constexpr size_t kMaxSections = 16, kMaxKeys = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    const std::string& file = scratch.path;
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string utf8 = gbkToUtf8(text);
    std::string gbk = utf8ToGbk(utf8);
    size_t max = size ? data[0] : 0;
    if (gbkTruncate(text, max).size() > max) abort();
    if (utf8Truncate(utf8, max).size() > max) abort();

    HallRequest q;
    decodeHallRequestHead(data, size, &q);

    const ProfileText profile(text);
    const std::vector<std::string> sections = profile.sectionNames();
    for (size_t i = 0; i < sections.size() && i < kMaxSections; ++i) {
        const std::vector<std::string> keys = profile.keys(sections[i]);
        for (size_t j = 0; j < keys.size() && j < kMaxKeys; ++j) {
            // Every listed key is found again, under its own name.
            if (!profile.value(sections[i], keys[j])) abort();
            profile.integer(sections[i], keys[j], 0);
        }
    }

    // A key deleted from the text in memory: the text changes exactly when the key is there.
    if (rewriteProfileText(text, "FUZZ SECTION", "key", nullptr).has_value() !=
        profile.value("Fuzz Section", "Key").has_value())
        abort();

    // The write in memory, every run: the rewritten text holds the new value under the names
    // asked for, in any case.
    const std::optional<std::string> written =
        rewriteProfileText(text, "Fuzz Section", "Key", "value 1");
    if (!written || ProfileText(*written).value("fuzz section", "KEY") != "value 1") abort();

    // The file functions (each parses the file anew through the same parser) on a quarter of
    // the inputs, picked by their last byte: their own steps (reading, the list into a short
    // buffer, the write through a file) are reached in the first runs, and each round trip
    // costs a dozen system calls, more than all the rest of a run.
    if (size == 0 || (data[size - 1] & 3) != 0) return 0;
    if (!writeFile(file, text)) return 0;
    char buf[16];
    getProfileString(nullptr, nullptr, "", buf, sizeof buf, file);
    if (!writeProfileString("Fuzz Section", "Key", "value 1", file)) abort();
    if (getProfileString("fuzz section", "KEY", "", buf, sizeof buf, file) != 7 ||
        std::string(buf) != "value 1")
        abort();
    return 0;
}
