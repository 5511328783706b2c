// hqlv-assetgen <folder>: writes the program's wave resources as <id>.wav into the folder
// (created when missing). The build runs it so the client finds them beside itself.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/assetgen/wave_synth.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: hqlv-assetgen <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "hqlv-assetgen: cannot create %s: %s\n", argv[1],
                     ec.message().c_str());
        return 1;
    }
    for (const auto& res : hqlv::assetgen::waveResources()) {
        const std::string bytes = hqlv::assetgen::waveFile(hqlv::assetgen::synthesize(res.tone));
        const std::filesystem::path file = folder / (std::to_string(res.id) + ".wav");
        const std::filesystem::path part = file.string() + ".part";
        {
            std::ofstream out(part, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!out.flush()) {
                std::fprintf(stderr, "hqlv-assetgen: cannot write %s\n", part.c_str());
                return 1;
            }
        }
        std::filesystem::rename(part, file, ec);
        if (ec) {
            std::fprintf(stderr, "hqlv-assetgen: cannot write %s: %s\n", file.c_str(),
                         ec.message().c_str());
            return 1;
        }
    }
    return 0;
}
