#include "platform/core/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/core/diag.h"

namespace hqlv::platform {
namespace {

// The three faces the program draws with; every face name maps onto one of them.
enum FaceId { kSong = 0, kKai = 1, kSans = 2, kFaceCount = 3 };
constexpr const char* kFamilies[kFaceCount] = {"AR PL UMing CN", "AR PL UKai CN",
                                               "WenQuanYi Micro Hei"};
// Enough for every character of several screens of text in a few fonts; the cache starts
// afresh when it is full, by count or by bytes.
constexpr size_t kCacheLimit = 16384;

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

FaceId faceIdOf(std::string_view face) {
    if (face == "宋体") return kSong;
    if (equalsIgnoreAsciiCase(face, "楷体_GB2312")) return kKai;
    return kSans;
}

// fontconfig's answer for a family; the path stays empty unless the match really is that
// family (fontconfig offers some Latin face for anything it does not know).
GlyphFaceFile matchFamily(FcConfig* config, const char* family) {
    GlyphFaceFile out;
    if (!config) return out;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(config, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return out;
    FcChar8* fam = nullptr;
    bool same = false;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
        if (equalsIgnoreAsciiCase(reinterpret_cast<const char*>(fam), family)) same = true;
    }
    FcChar8* file = nullptr;
    int index = 0;
    if (same && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        out.family = family;
        out.path = reinterpret_cast<const char*>(file);
        out.index = index;
    }
    FcPatternDestroy(match);
    return out;
}

struct Key {
    int face;
    int height;
    int flags;
    char32_t codePoint;
    bool operator==(const Key&) const = default;
};
struct KeyHash {
    size_t operator()(const Key& k) const {
        uint64_t v = (uint64_t(uint32_t(k.height)) << 32) ^ (uint64_t(k.codePoint) << 5) ^
                     (uint64_t(k.flags) << 2) ^ uint64_t(k.face);
        return std::hash<uint64_t>()(v * 0x9E3779B97F4A7C15ull);
    }
};

class GlyphService {
public:
    ~GlyphService() {
        for (FT_Face f : faces_) {
            if (f) FT_Done_Face(f);
        }
        if (library_) FT_Done_FreeType(library_);
        if (config_) FcConfigDestroy(config_);
    }

    GlyphFaceFile file(FaceId id) {
        std::lock_guard lock(mutex_);
        return fileLocked(id);
    }

    std::shared_ptr<const GlyphBitmap> render(const GlyphFont& font, char32_t cp) {
        if (font.height < 1) return nullptr;
        const int flags =
            (font.weight >= 600 ? 1 : 0) | (font.italic ? 2 : 0) | (font.underline ? 4 : 0);
        const Key key{faceIdOf(font.face), font.height, flags, cp};
        std::lock_guard lock(mutex_);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        auto glyph = renderLocked(key);
        if (!glyph) return nullptr;
        if (cache_.size() >= kCacheLimit ||
            cacheBytes_ + glyph->coverage.size() > kGlyphCacheBytes) {
            cache_.clear();
            cacheBytes_ = 0;
        }
        cache_.emplace(key, glyph);
        cacheBytes_ += glyph->coverage.size();
        return glyph;
    }

private:
    const GlyphFaceFile& fileLocked(FaceId id) {
        if (!resolved_[id]) {
            resolved_[id] = true;
            // A configuration of our own, so that the widgets' use of fontconfig and ours
            // never meet.
            if (!config_) config_ = FcInitLoadConfigAndFonts();
            files_[id] = matchFamily(config_, kFamilies[id]);
            if (files_[id].path.empty() && id != kSans) files_[id] = fileLocked(kSans);
            if (files_[id].path.empty()) diagf("glyphs: no font file for \"%s\"", kFamilies[id]);
        }
        return files_[id];
    }

    FT_Face faceLocked(FaceId id) {
        if (opened_[id]) return faces_[id];
        opened_[id] = true;
        const GlyphFaceFile& f = fileLocked(id);
        if (f.path.empty()) return nullptr;
        if (!library_ && FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            diag("glyphs: FreeType did not start");
            return nullptr;
        }
        if (FT_New_Face(library_, f.path.c_str(), f.index, &faces_[id]) != 0) {
            faces_[id] = nullptr;
            diagf("glyphs: cannot open %s", f.path.c_str());
        }
        return faces_[id];
    }

    std::shared_ptr<const GlyphBitmap> renderLocked(const Key& key) {
        FT_Face primary = faceLocked(FaceId(key.face));
        FT_Face sans = faceLocked(kSans);
        if (!primary) primary = sans;
        if (!primary) return nullptr;
        FT_Face face = primary;
        FT_UInt index = FT_Get_Char_Index(primary, key.codePoint);
        if (index == 0 && sans && sans != primary) {
            const FT_UInt other = FT_Get_Char_Index(sans, key.codePoint);
            if (other != 0) face = sans, index = other;
        }
        auto out = std::make_shared<GlyphBitmap>();
        // The baseline follows the asked face, so that borrowed characters share its line.
        if (FT_Set_Pixel_Sizes(primary, 0, FT_UInt(key.height)) != 0) return out;
        out->baseline = int((primary->size->metrics.ascender + 63) >> 6);
        if (face != primary && FT_Set_Pixel_Sizes(face, 0, FT_UInt(key.height)) != 0) return out;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0) return out;
        FT_GlyphSlot slot = face->glyph;
        if (key.flags & 1) FT_GlyphSlot_Embolden(slot);
        if (key.flags & 2) FT_GlyphSlot_Oblique(slot);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return out;
        out->advance = int((slot->advance.x + 32) >> 6);

        const FT_Bitmap& bm = slot->bitmap;
        int gl = slot->bitmap_left, gt = out->baseline - slot->bitmap_top;
        int gw = int(bm.width), gr = int(bm.rows);
        // The underline spans the character's advance below the baseline.
        int ul = 0, ut = 0, uw = 0, ur = 0;
        if (key.flags & 4) {
            const FT_Fixed scale = primary->size->metrics.y_scale;
            int thick = int((FT_MulFix(primary->underline_thickness, scale) + 32) >> 6);
            int pos = int((FT_MulFix(-primary->underline_position, scale) + 32) >> 6);
            thick = std::max(thick, 1);
            pos = std::max(pos, 1);
            thick = std::min(thick, key.height);
            // Below the baseline, but inside the em height, where the engine cuts every
            // glyph.
            ut = std::min(out->baseline + pos - thick / 2, key.height - thick);
            uw = std::max(out->advance, 1);
            ur = thick;
        }
        int left = gw ? gl : ul, top = gr ? gt : ut, right = gw ? gl + gw : ul,
            bottom = gr ? gt + gr : ut;
        if (uw > 0) {
            if (gw == 0 || gr == 0) left = ul, top = ut, right = ul + uw, bottom = ut + ur;
            left = std::min(left, ul), top = std::min(top, ut);
            right = std::max(right, ul + uw), bottom = std::max(bottom, ut + ur);
        }
        if (right <= left || bottom <= top) return out;
        out->left = left, out->top = top, out->width = right - left, out->rows = bottom - top;
        out->coverage.assign(size_t(out->width) * size_t(out->rows), 0);
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (int r = 0; r < gr; ++r) {
                const uint8_t* src = bm.buffer + ptrdiff_t(r) * bm.pitch;
                uint8_t* dst = out->coverage.data() + size_t(gt - top + r) * size_t(out->width) +
                               size_t(gl - left);
                std::copy(src, src + gw, dst);
            }
        }
        for (int r = 0; r < ur; ++r) {
            uint8_t* dst = out->coverage.data() + size_t(ut - top + r) * size_t(out->width) +
                           size_t(ul - left);
            std::fill(dst, dst + uw, uint8_t(255));
        }
        return out;
    }

    std::mutex mutex_;
    FcConfig* config_ = nullptr;
    FT_Library library_ = nullptr;
    bool resolved_[kFaceCount] = {};
    GlyphFaceFile files_[kFaceCount];
    bool opened_[kFaceCount] = {};
    FT_Face faces_[kFaceCount] = {};
    std::unordered_map<Key, std::shared_ptr<const GlyphBitmap>, KeyHash> cache_;
    size_t cacheBytes_ = 0;  // coverage bytes held by the cache
};

GlyphService& service() {
    static GlyphService s;
    return s;
}

}  // namespace

GlyphFaceFile glyphFaceFile(std::string_view face) {
    return service().file(faceIdOf(face));
}

std::shared_ptr<const GlyphBitmap> renderGlyph(const GlyphFont& font, char32_t codePoint) {
    return service().render(font, codePoint);
}

}  // namespace hqlv::platform
