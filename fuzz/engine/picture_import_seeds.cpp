// Seeds of the picture-import harness: the shared small pictures, each behind the byte that
// picks its own extension, and a few behind another extension (the import then finds the
// format by the content or refuses it).
//
// Every picture behind its own extension must come out of the import with pixels: a seed
// whose selector sends it to another decoder starts the run from bytes that decoder refuses
// at once, and the decoder the seed was made for is never reached from it. The program fails
// (and with it the build) when that happens, or when a picture's format has no selector.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/engine_log.h"
#include "engine/core/picture_import.h"
#include "imaging/raster.h"
#include "platform/core/diag.h"
#include "seed_pictures.h"
#include "seed_writer.h"

namespace {

// The harness's extensions, in its order.
constexpr std::string_view kExtensions[] = {".gif", ".bmp", ".png", ".jpg",  ".ico", ".tif",
                                            ".tga", ".mng", ".pcx", ".wbmp", ".wmf", ".jpeg"};

uint8_t Selector(std::string_view ext) {
    for (size_t k = 0; k < std::size(kExtensions); ++k)
        if (kExtensions[k] == ext) return static_cast<uint8_t>(k);
    std::fprintf(stderr, "picture import seeds: no selector for %.*s\n", int(ext.size()),
                 ext.data());
    std::abort();
}

// A picture's own extension by the format its name begins with; "" for JPEG 2000, which
// no extension of the import decodes (the decode harness starts from those pictures), and
// nothing for a format not known here.
std::optional<std::string_view> OwnExtension(const std::string& name) {
    const std::string_view format = std::string_view(name).substr(0, name.find('-'));
    if (format == "png") return ".png";
    if (format == "gif") return ".gif";
    if (format == "tiff") return ".tif";
    if (format == "bmp") return ".bmp";
    if (format == "ico") return ".ico";
    // Every other JPEG behind ".jpeg", which the import refuses by name.
    if (format == "jpeg") return (name.back() - '0') % 2 ? ".jpeg" : ".jpg";
    if (format == "jp2" || format == "jpc") return "";
    return std::nullopt;
}

// The import makes a picture with pixels of `bytes` behind `ext`.
bool ImportsWithPixels(const std::vector<uint8_t>& bytes, std::string_view ext) {
    hqlv::engine::EnginePicture pic;
    return hqlv::engine::PictureImporter().DecodeImageByExtension(bytes, ext, pic) == 1 &&
           pic.dataSize > 0;
}

}  // namespace

bool WriteSeeds() {
    hqlv::platform::setDiagSink([](std::string_view) {});
    hqlv::engine::SetEngineLogFolder("/nonexistent-hqlv-fuzz-log");
    hqlv::imaging::CRaster::SetMaxPixels(1u << 12);  // as in the harness
    bool ok = true;
    int n = 0;
    for (const SeedPicture& p : SeedPictures()) {
        const std::optional<std::string_view> own = OwnExtension(p.name);
        if (!own) {
            std::fprintf(stderr, "picture import seeds: no extension for %s\n", p.name.c_str());
            ok = false;
            continue;
        }
        if (own->empty()) continue;
        if (hqlv::engine::ImportFormatCode(*own) != 0 && !ImportsWithPixels(p.bytes, *own)) {
            std::fprintf(stderr, "picture import seeds: %s gives no pixels behind %.*s\n",
                         p.name.c_str(), int(own->size()), own->data());
            ok = false;
        }
        for (bool asOwn : {true, false}) {
            if (!asOwn && n++ % 3 != 0) continue;
            std::vector<uint8_t> b{asOwn ? Selector(*own) : Selector(".tga")};
            b.insert(b.end(), p.bytes.begin(), p.bytes.end());
            ok &= hqlv::fuzzseed::Seed((asOwn ? "" : "as-tga-") + p.name, b);
        }
    }
    return ok;
}
