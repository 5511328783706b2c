#pragma once
// Two small pictures for the script harnesses, written as BMP files into a folder of the
// fuzz process and registered by name: "tiles" (3 × 6, three frames of 3 × 2) and "dot"
// (1 × 1). Registration goes again after each engine clean-up, which releases every resource.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/core/resource_manager.h"

namespace hqlv::engine::fuzz {

inline std::string LittleEndian(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// A 24-bit BMP of w × h pixels of one colour.
inline std::string Bmp(int w, int h, uint32_t rgb) {
    const auto le = LittleEndian;
    const int stride = (w * 3 + 3) & ~3;
    std::string s = "BM" + le(54 + stride * h, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(w, 4) +
                    le(h, 4) + le(1, 2) + le(24, 2) + le(0, 4) + le(stride * h, 4) + le(2835, 4) +
                    le(2835, 4) + le(0, 4) + le(0, 4);
    std::string row;
    for (int x = 0; x < w; ++x) row += le(rgb, 3);
    row.resize(size_t(stride), 0);
    for (int y = 0; y < h; ++y) s += row;
    return s;
}

// The folder (ending in "/") holds only the two pictures.
inline void WritePictures(const std::string& folder) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "tiles.bmp", std::ios::binary) << Bmp(3, 6, 0x3366CC);
    std::ofstream(folder + "dot.bmp", std::ios::binary) << Bmp(1, 1, 0xFFFFFF);
}

// → the id of "tiles".
inline uint32_t RegisterPictures(const std::string& folder) {
    ResourceManager& rm = GetResourceManager();
    const uint32_t tiles = rm.LoadImage(folder + "tiles.bmp", "", ".imge", true, 0);
    rm.LoadImage(folder + "dot.bmp", "", ".imge", true, 0);
    EnginePicture* pic = rm.GetPicture(tiles);
    pic->frameHeight = 2;
    pic->frameCount = 3;
    return tiles;
}

}  // namespace hqlv::engine::fuzz
