#pragma once
// Turns a picture file of a common format, decoded by the imaging library, into an engine
// picture: pixels top-down, 32-bit (blue, green, red, alpha) or palette indices (with an
// alpha byte each when the picture has alpha), the palette as RGB triples, the key colour
// or key index, and every frame of an animation with its delay in milliseconds.
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "engine/render/picture.h"
#include "imaging/raster.h"

namespace hqlv::engine {

// The most bytes the samples of all frames of a picture may take together: the bound the
// image object puts on the pixel data of one picture (RASTER_MAX_MEMORY), taken for the
// engine's picture buffers as for the library's own. The sizes come from the file, and the
// samples are four bytes a pixel where the library may keep three or fewer, so a picture the
// library decodes can still ask for more. Such a picture, and one whose sides or frame count
// do not fit the engine picture's 16-bit fields, comes out empty with a line in the log, like
// data the library cannot decode: the resource manager ends the program for a picture that
// fails, and one picture too large is no reason to end it.
constexpr uint64_t kMaxImportBytes = imaging::RASTER_MAX_MEMORY;

// The library's format code of a lower-case extension with its dot; 0 when the import
// does not take it (upper case and the four-letter ".jpeg" and ".tiff" included).
uint32_t ImportFormatCode(std::string_view extension);

class PictureImporter {
public:
    // Reads the whole file (logging "文件<path> 打开失败!" when it cannot) and decodes it.
    int DecodeImageFile(std::string_view path, std::string_view extension, EnginePicture& picture);
    // 0 only for an extension outside the table (the picture untouched). Data the library
    // cannot decode, and pictures past the limits above, give the empty picture and 1.
    int DecodeImageByExtension(std::span<const uint8_t> bytes, std::string_view extension,
                               EnginePicture& picture);
    // The import proper, over a decoded raster; decodeAllFrames decodes the data again
    // keeping every frame (called only for a picture of more than one frame).
    int ImportRaster(imaging::CRaster& raster, uint32_t formatCode,
                     const std::function<void(imaging::CRaster&)>& decodeAllFrames,
                     EnginePicture& picture);
};

}  // namespace hqlv::engine
