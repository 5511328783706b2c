#include "tools/assetgen/gdi_art.h"

#include <cctype>

#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "tools/assetgen/face_art.h"
#include "tools/assetgen/table_art.h"

namespace hqlv::assetgen {

namespace {

constexpr uint32_t kGdiKey = 0xFF0000FF;  // COLORREF 0xFF0000

Raster Rekeyed(Raster r, uint32_t from, uint32_t to) {
    for (uint32_t& p : r.px)
        if ((p | kOpaque) == (from | kOpaque) || (p >> 24) == 0) p = to;
    return r;
}

// A piece of a picture: (x, y, w, h) of src.
Raster Crop(const Raster& src, int x, int y, int w, int h) {
    Raster r(w, h, kGdiKey);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (x + i < src.width && y + j < src.height) r.set(i, j, src.at(x + i, y + j));
    return r;
}

// A table strip of cells w × h every `pitch` pixels as the GDI cells cw × ch, keyed blue.
Raster Strip(const std::string& path, int pitch, int w, int h, int cw, int ch) {
    return Rekeyed(ResampleCells(DrawPicture(path), pitch, w, h, cw, ch), kKeyMagenta, kGdiKey);
}

// The locked own tiles: the large strip greyed, the markers kept.
Raster Greyed(Raster r) {
    for (uint32_t& p : r.px) {
        if (p == kGdiKey || FaceOfMarker(p & 0xFFFFFF) >= 0) continue;
        const uint32_t g = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3 * 3 / 4;
        p = Rgb(int(g), int(g), int(g));
    }
    return r;
}

}  // namespace

Raster ResampleCells(const Raster& src, int pitch, int w, int h, int cw, int ch) {
    const int cells = pitch > 0 && src.width >= w ? (src.width - w) / pitch + 1 : 0;
    Raster r(cw * cells, ch, kGdiKey);
    for (int c = 0; c < cells; ++c)
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                r.set(c * cw + x, y, src.at(c * pitch + x * w / cw, y * h / ch));
    return r;
}

std::vector<GdiPicture> gdiSkinPictures() {
    const std::string common = "skins/Common/", classic = "skins/Classic/";
    std::vector<GdiPicture> v;
    const Raster large = Strip(classic + "mj_large800.bmp", 42, 42, 60, 42, 60);
    v.push_back({"MJ_LARGE1", "gdi_large1.bmp", large});
    v.push_back({"MJ_LARGE2", "gdi_large2.bmp", Greyed(large)});
    const struct {
        const char* key;
        const char* source;
        int pitch, w, h, cw, ch;
    } strips[] = {
        {"MJ_MIDDLE0", "mj_middle0.bmp", 33, 33, 32, 33, 32},
        {"MJ_MIDDLE1", "mj_middle1.bmp", 26, 26, 36, 26, 36},
        {"MJ_MIDDLE2", "mj_middle2.bmp", 33, 33, 32, 33, 32},
        {"MJ_MIDDLE3", "mj_middle3.bmp", 26, 26, 36, 26, 36},
        {"MJ_SIDE0", "mj_side0.bmp", 19, 19, 49, 19, 49},
        {"MJ_SIDE1", "mj_side1.bmp", 26, 26, 30, 26, 37},
        {"MJ_SIDE2", "mj_side2.bmp", 19, 19, 49, 19, 49},
        {"MJ_BACK0", "mj_back0.bmp", 33, 33, 32, 33, 32},
        {"MJ_BACK1", "mj_back1.bmp", 26, 26, 36, 26, 36},
        {"MJ_SMALL0", "mj_small0.bmp", 22, 23, 22, 22, 23},
        {"MJ_SMALL1", "mj_small1.bmp", 17, 16, 27, 17, 26},
        {"MJ_SMALLBACK0", "mj_smallback0.bmp", 23, 23, 22, 22, 23},
        {"MJ_SMALLBACK1", "mj_smallback1.bmp", 16, 16, 27, 17, 26},
        {"MJ_JOKER", "mj_joker.bmp", 54, 54, 77, 42, 60},
    };
    for (const auto& s : strips) {
        std::string file = "gdi_" + std::string(s.key + 3) + ".bmp";
        for (char& c : file) c = char(std::tolower(static_cast<unsigned char>(c)));
        v.push_back({s.key, file, Strip(classic + s.source, s.pitch, s.w, s.h, s.cw, s.ch)});
    }
    v.push_back({"MJ_HU", "gdi_hu.bmp", Strip(common + "hu.bmp", 54, 54, 72, 42, 60)});
    v.push_back({"CLOCK", "gdi_clock.bmp", DrawPicture(classic + "clock.bmp")});
    v.push_back({"CLOCK_HAND", "gdi_clock_hand.bmp", DrawPicture(classic + "clock_hand.bmp")});
    v.push_back({"CLOCK_DIGIT", "gdi_clock_digit.bmp", DrawPicture(common + "clock_digit.bmp")});
    // The die as it lands (the last of the roll's frames).
    for (int n = 1; n <= 12; ++n)
        v.push_back({"DICE" + std::to_string(n), "gdi_dice" + std::to_string(n) + ".bmp",
                     Crop(DrawPicture(common + "dice" + std::to_string(n) + ".bmp"), 106 * 8, 0,
                          106, 99)});
    // The banker mark: the stake panel's 庄 badge.
    v.push_back({"MJ_ZHUANG", "gdi_zhuang.bmp", Crop(DrawPicture(common + "buff.bmp"), 0, 0, 30, 30)});
    v.push_back({"TableCloth", "gdi_tablecloth.bmp", DrawPicture(classic + "TableCloth0.bmp")});
    return v;
}

bool writeGdiSkin(const std::string& skinFolder) {
    for (const GdiPicture& p : gdiSkinPictures()) {
        std::vector<uint32_t> rgb(p.image.px.size());
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = p.image.px[i] & 0xFFFFFF;
        if (!platform::writeFile(skinFolder + p.file, bmpFile(p.image.width, p.image.height, rgb)))
            return false;
        if (!platform::writeProfileString("BitmapResource", p.key.c_str(), p.file.c_str(),
                                          skinFolder + "skin.ini"))
            return false;
    }
    return platform::writeProfileString("CommColors", "TableColor", "16384",
                                        skinFolder + "skin.ini");
}

}  // namespace hqlv::assetgen
