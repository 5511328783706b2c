// Feeds arbitrary bytes to the picture import under one of its extensions (chosen by the
// first byte) and draws what it made, so the blitter meets every picture shape the import
// can produce.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/picture_import.h"
#include "fuzz_draw.h"
#include "imaging/decoders.h"
#include "imaging/raster.h"
#include "platform/core/diag.h"

using namespace hqlv::engine;

namespace {
constexpr const char* kExtensions[] = {".gif", ".bmp", ".png", ".jpg",  ".ico", ".tif",
                                       ".tga", ".mng", ".pcx", ".wbmp", ".wmf", ".jpeg"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        hqlv::platform::setDiagSink([](std::string_view) {});
        SetEngineLogFolder("/nonexistent-hqlv-fuzz-log");
        // The import walks every pixel one call at a time, each a handful of traced
        // comparisons under the sanitizers, and a large picture reaches nothing a small one
        // does not: 4,096 pixels (64 x 64, whole JPEG blocks, PNG interlace passes and TIFF
        // strips of every kind) as in the decode harness. At a million pixels this walk took
        // nearly all of the run.
        hqlv::imaging::CRaster::SetMaxPixels(1u << 12);
        // A strip or tile buffer follows the file's tile length and sample count, not the
        // picture's pixels: a one-pixel file may ask for one of 512 MiB, the decoders' bound
        // for a player, which the fuzzer's allocation limit of 512 MB reports. A small picture
        // needs no such buffer; 64 MiB refuses them as the bound does, with its text.
        hqlv::imaging::CRasterTIF::SetMaxBufferBytes(uint64_t{64} << 20);
        hqlv::imaging::CRasterJAS::SetMaxBufferBytes(uint64_t{64} << 20);
        return true;
    }();
    (void)quiet;
    if (size < 2) return 0;
    const uint8_t sel = data[0];
    const char* ext = kExtensions[sel % (sizeof kExtensions / sizeof kExtensions[0])];
    EnginePicture pic;
    pic.key = kNoColour;
    pic.flags = PIC_KEYED;
    if (!PictureImporter().DecodeImageByExtension({data + 1, size - 1}, ext, pic)) return 0;
    if (pic.dataSize != 0 && pic.ownedPixels.size() != pic.dataSize) __builtin_trap();
    if (uint64_t(pic.width) * pic.totalRows() * pic.sampleSize() != pic.dataSize) __builtin_trap();
    if (pic.dataSize == 0) return 0;

    fuzz::DrawAnyWay(pic, sel);
    return 0;
}
