// Seeds of the picture-import harness: the shared small pictures, each behind the byte that
// picks its own extension, and a few behind another extension (the import then finds the
// format by the content or refuses it).
#include <string>
#include <string_view>

#include "seed_pictures.h"
#include "seed_writer.h"

namespace {

// The harness's extensions, in its order.
constexpr std::string_view kExtensions[] = {".gif", ".bmp", ".png", ".jpg",  ".ico", ".tif",
                                            ".tga", ".mng", ".pcx", ".wbmp", ".wmf", ".jpeg"};

uint8_t Selector(std::string_view ext) {
    for (size_t k = 0; k < std::size(kExtensions); ++k)
        if (kExtensions[k] == ext) return static_cast<uint8_t>(k);
    return 0;
}

uint8_t SelectorOf(const std::string& name) {
    if (name.starts_with("png")) return Selector(".png");
    if (name.starts_with("jpeg")) return Selector((name.back() - '0') % 2 ? ".jpeg" : ".jpg");
    if (name.starts_with("gif")) return Selector(".gif");
    if (name.starts_with("tiff")) return Selector(".tif");
    return Selector(".bmp");
}

}  // namespace

bool WriteSeeds() {
    bool ok = true;
    int n = 0;
    for (const SeedPicture& p : SeedPictures()) {
        for (bool own : {true, false}) {
            if (!own && n++ % 3 != 0) continue;
            std::vector<uint8_t> b{own ? SelectorOf(p.name) : Selector(".tga")};
            b.insert(b.end(), p.bytes.begin(), p.bytes.end());
            ok &= hqlv::fuzzseed::Seed((own ? "" : "as-tga-") + p.name, b);
        }
    }
    return ok;
}
