#pragma once
// The table's pictures, drawn here so the client carries no third-party art: the common set
// (dice, buttons, clock digits, wind marks, badges, effects) under skins/Common/ and the
// Classic style (table cloth, every tile strip, backs and sides, clock, bar frames) under
// skins/Classic/. BMP files are 24-bit with transparent areas exactly the key colour and
// hard edges; PNG files are RGBA with the key colour at alpha 0 where transparent.
//
// Tile strips hold 47 cells: faces 0-8 characters (numeral over 万), 9-17 bamboo (drawn
// sticks), 18-26 circles (drawn dots), 27-33 the honours 东南西北中发白, 34-41 the flowers
// 春夏秋冬梅兰竹菊, 42-45 琴棋书画, 46 the back. Every face carries a 2 × 2 marker whose
// blue channel steps with the face index, close enough to the face colour to go unseen in
// play, so that tests can read faces back from screenshots.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/raster.h"

namespace hqlv::assetgen {

constexpr int kFaceCells = 47;
constexpr int kBackFace = 46;

// The face colour of every tile, and the marker colour of face f (0-46).
constexpr uint32_t kTileFace = Rgb(246, 242, 228);
constexpr uint32_t MarkerColour(int face) {
    return Rgb(246, 242, 0xE3 - face);
}
// The face a pixel's marker colour stands for, or -1 when the colour is no marker.
int FaceOfMarker(uint32_t rgb);

// One generated file: its path under the program folder ('/' separated) and its bytes.
struct ArtFile {
    std::string path;
    std::string bytes;
};

// Every picture of skins/Common/ and skins/Classic/, in a fixed order, same bytes every run.
std::vector<ArtFile> TableArt();

// The pixels of one picture by its path as TableArt names it (empty raster when unknown);
// TableArt writes these.
Raster DrawPicture(const std::string& path);

}  // namespace hqlv::assetgen
