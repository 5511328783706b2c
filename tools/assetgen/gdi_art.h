#pragma once
// The GDI table's share of the generated default skin (scene mode 1): the tile strips,
// backs, sides, small wall tiles, joker and hu marks, clock, dice, banker mark and table
// cloth under the skin library's names ("MJ_LARGE1" ... "TableCloth") in section
// "BitmapResource", and "CommColors" "TableColor". The pictures come from the table's own
// painters, resampled to the GDI cells and re-keyed to pure blue (the clock and the banker
// mark keep magenta), so the faces carry the same markers.
#include <string>
#include <vector>

#include "tools/assetgen/raster.h"

namespace hqlv::assetgen {

struct GdiPicture {
    std::string key;   // the skin library's name
    std::string file;  // beside the skin's description
    Raster image;
};

// Every GDI picture, in a fixed order.
std::vector<GdiPicture> gdiSkinPictures();
// Each cell of the strip (cells of w × h every `pitch` pixels) resampled to cells of
// cw × ch side by side, nearest pixel.
Raster ResampleCells(const Raster& src, int pitch, int w, int h, int cw, int ch);
// Writes the pictures and keys into the skin folder (ending in '/'); false on a failed write.
bool writeGdiSkin(const std::string& skinFolder);

}  // namespace hqlv::assetgen
