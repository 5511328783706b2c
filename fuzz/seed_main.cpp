// The entry of every seed program: `program <folder>` writes the seeds into the folder.
#include <cstdio>
#include <string>

#include "seed_writer.h"

namespace hqlv::fuzzseed {
namespace {
std::string g_folder;
int g_count = 0;
}  // namespace

bool Seed(std::string_view name, const std::vector<uint8_t>& bytes) {
    const std::string path = g_folder + "/" + std::string(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "seeds: cannot write %s\n", path.c_str());
    g_count += ok;
    return ok;
}

}  // namespace hqlv::fuzzseed

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    hqlv::fuzzseed::g_folder = argv[1];
    if (!WriteSeeds()) return 1;
    std::printf("seeds: %d files in %s\n", hqlv::fuzzseed::g_count, argv[1]);
    return 0;
}
