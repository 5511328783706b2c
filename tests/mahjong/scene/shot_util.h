#pragma once
// Pictures of the rendered table: written as PNG files for review, and the tile faces read
// back from the generator's markers.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tools/assetgen/png_file.h"

namespace hqlv::mahjong::test {

// Opaque RGB pixels, written through the generator's PNG writer.
inline bool WritePng(const std::string& path, const std::vector<uint32_t>& px, int w, int h) {
    assetgen::Raster picture(w, h, 0);
    for (size_t i = 0; i < picture.px.size() && i < px.size(); ++i)
        picture.px[i] = px[i] | 0xFF000000u;
    const std::string png = assetgen::PngFile(picture);
    if (png.empty()) return false;
    std::ofstream out(path, std::ios::binary);
    out << png;
    return bool(out);
}

// The face a marker colour stands for: (246, 242, 0xE3 - face).
inline int FaceOf(uint32_t rgb) {
    if ((rgb & 0xFFFF00) != 0xF6F200) return -1;
    const int face = 0xE3 - int(rgb & 0xFF);
    return face >= 0 && face < 47 ? face : -1;
}

}  // namespace hqlv::mahjong::test
