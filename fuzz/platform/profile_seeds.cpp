// Seeds of the platform harness: INI files written by the profile writer (sections, keys,
// numbers, quoted and GBK values, comments), read back as bytes.
#include <unistd.h>

#include <string>

#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/core/text.h"
#include "seed_writer.h"

using namespace hqlv::platform;

bool WriteSeeds() {
    const std::string file = "/tmp/hqlv-profile-seed-" + std::to_string(getpid()) + ".ini";
    bool ok = true;
    int n = 0;
    auto take = [&](const std::string& prefix, const std::string& suffix = "") {
        std::string bytes;
        if (!readFile(file, &bytes)) return false;
        unlink(file.c_str());
        return hqlv::fuzzseed::Seed("ini-" + std::to_string(n++), prefix + bytes + suffix);
    };
    // Settings as the client writes them.
    ok &= writeProfileString("Setup", "Volume", "80", file);
    ok &= writeProfileString("Setup", "Skin", "\"classic\"", file);
    ok &= writeProfileString("Window", "Left", "-12", file);
    ok &= writeProfileString("Window", "Top", "0x20", file);
    ok &= take("\n");
    // A skin description with GBK names, comments and a repeated section.
    ok &= writeFile(file, std::string("; skin\r\n[Skin]\r\nName = ") +
                              utf8ToGbk("\xE7\xBB\x8F\xE5\x85\xB8") +
                              "\r\nFont=12\r\n\r\n[skin]\r\nFont = 14\r\nColor='#FF00FF'\r\n");
    ok &= take("\n");
    ok &= writeProfileString("Sound", "Enabled", "1", file);
    ok &= writeProfileString("Sound", "Enabled", nullptr, file);
    ok &= writeProfileString("Last Server", "Host", "127.0.0.1", file);
    ok &= take("\n");
    // The harness's own key already there, the text ending in a comment without a line break
    // (a last byte that takes the harness through the file functions).
    ok &= writeProfileString("Fuzz Section", "Key", "old", file);
    ok &= writeProfileString("Other", "A", "1", file);
    ok &= take("\n", "; end");
    return ok;
}
