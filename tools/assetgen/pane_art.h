#pragma once
// The pictures of the panes and dialogs, drawn here: the score board (bitmap 276, 339 by
// 172, 8 bits per pixel, black as the transparent colour, a header band and four row
// bands under the rows the pane writes at 45 + 32c, with column rules at 15, 158, 190,
// 260 and 290), the default face (bitmap 162, 32 by 32) and the two small icons 151
// (player information) and 152 (the chat's face button).
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::assetgen {

struct PaletteImage {
    int w = 0, h = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB, at most 256
    std::vector<uint8_t> index;     // top-down
};

// An 8-bit bottom-up BMP file with its palette.
std::string bmp8File(const PaletteImage& image);
PaletteImage scoreBoardImage();
PaletteImage defaultFaceImage();
PaletteImage iconImage(int id);

// The marker colour of the score board's row bands (tests look for it on screen).
inline constexpr uint32_t kBoardBandColour = 0xC8A028;

}  // namespace hqlv::assetgen
