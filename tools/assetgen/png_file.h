#pragma once
// RGBA PNG files through libpng, and the reverse for tests and the contact sheet's check.
#include <cstdint>
#include <string>

#include "tools/assetgen/raster.h"

namespace hqlv::assetgen {

// An 8-bit RGBA PNG of the raster; empty when libpng fails.
std::string PngFile(const Raster& r);

}  // namespace hqlv::assetgen
