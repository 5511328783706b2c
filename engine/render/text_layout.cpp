#include "engine/render/text_layout.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include "engine/core/engine_log.h"
#include "engine/render/render_log.h"
#include "platform/core/glyphs.h"
#include "platform/core/text.h"

namespace hqlv::engine {
namespace {

constexpr uint32_t kDefaultColour = 0xFF7D327D;
// What MeasureText lays out into: wide and tall enough for any caption.
constexpr int kMeasureWidth = 9999999;
constexpr int kMeasureHeight = 999999;
// A tag group ends within this many bytes (GBK form) after its '<'.
constexpr size_t kGroupReach = 256;

int32_t Clamp32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The face name as the font field holds it: at most kMaxFaceBytes in GBK form.
std::string FitFace(std::string_view face) {
    for (unsigned char c : face) {
        if (c >= 0x80) return platform::gbkToUtf8(platform::utf8ToGbkFit(face, kMaxFaceBytes));
    }
    return std::string(face.substr(0, kMaxFaceBytes));
}

std::atomic<FaceFileLookup> g_faceLookup{nullptr};
// Whether the missing faces have been reported since a face was last found.
std::atomic<bool> g_noFaceReported{false};

std::string FaceFile(std::string_view face) {
    if (FaceFileLookup lookup = g_faceLookup.load()) return lookup(face);
    return platform::glyphFaceFile(face).path;
}

}  // namespace

FaceFileLookup SetFaceFileLookup(FaceFileLookup lookup) {
    return g_faceLookup.exchange(lookup);
}

// One character of the text: how many UTF-8 bytes it takes and whether the layout counts it
// double-byte.
struct TextLayout::Char {
    size_t bytes = 1;
    bool wide = false;
    char32_t codePoint = 0;
};

TextLayout::~TextLayout() {
    Release();
    if (lockHeld_) Unlock();
}

void TextLayout::Lock() {
    lock_.lock();
    lockHeld_ = true;
}

void TextLayout::Unlock() {
    lockHeld_ = false;
    lock_.unlock();
}

int TextLayout::Init() {
    // Without any face the layout can draw nothing. The condition holds for the whole
    // process, so it is told once, not at every plane drawn through a layout of its own.
    if (FaceFile("").empty()) {
        if (!g_noFaceReported.exchange(true)) {
            RenderLog("字体创建错误，m_hBitmap==NULL||m_data==NULL");
            errno = ENOENT;  // no font file
            ShowLastError("字体创建");
        }
    } else {
        g_noFaceReported = false;
    }
    style_.colour = kDefaultColour;
    drawColour_ = kDefaultColour;
    style_.pitch = 0;
    style_.rowSpace = 0;
    ClearRuns();
    lineStartStyle_ = TextStyle{};
    return 0;
}

int TextLayout::SetFont(int height, int weight, std::string_view face, int italic, int underline) {
    if (face != askedFace_) {
        fittedFace_ = FitFace(face);
        askedFace_ = face;
    }
    std::string fitted = fittedFace_;
    if (hasFont_ && height == style_.height && weight == style_.weight && italic == style_.italic &&
        underline == style_.underline && fitted == style_.face)
        return 0;
    hasFont_ = true;
    height = std::min(height, kMaxFontHeight);
    style_.height = height;
    style_.lineHeight = height;
    style_.weight = weight;
    style_.italic = italic;
    style_.underline = underline;
    style_.face = std::move(fitted);
    fontHeight_ = height;
    halfHeight_ = int((int64_t(style_.lineHeight) + 1) / 2);
    return halfHeight_;
}

uint32_t TextLayout::SetStyle(const TextStyle& style) {
    SetFont(style.height, style.weight, style.face, style.italic, style.underline);
    SetColor(style.colour);
    // The font was made from a capped height; the style keeps what it was given.
    std::string face = style_.face;
    style_ = style;
    style_.face = std::move(face);
    return style_.colour;
}

uint32_t TextLayout::SetColor(uint32_t colour) {
    style_.colour = colour;
    drawColour_ = colour;
    return colour;
}

void TextLayout::SetFontSize(int height) {
    SetFont(height, style_.weight, style_.face, 0, 0);
}

int TextLayout::UpdateLineMetrics() {
    style_.lineHeight = style_.height;
    halfHeight_ = int((int64_t(style_.lineHeight) + 1) / 2);
    return halfHeight_;
}

void TextLayout::Release() {
    hasFont_ = false;
}

void TextLayout::ClearRuns() {
    scriptIndex_ = -1;
    scripts_.clear();
}

bool TextLayout::NextChar(std::string_view text, size_t i, Char& c) const {
    const unsigned char b = text[i];
    c = Char{1, false, b};
    if (b < 0x80) return true;
    size_t n = b >= 0xF0 && b <= 0xF4   ? 4
               : b >= 0xE0 && b <= 0xEF ? 3
               : b >= 0xC2 && b <= 0xDF ? 2
                                        : 0;
    char32_t cp = n == 4 ? (b & 0x07) : n == 3 ? (b & 0x0F) : (b & 0x1F);
    bool ok = n != 0 && i + n <= text.size();
    for (size_t k = 1; ok && k < n; ++k) {
        const unsigned char t = text[i + k];
        if ((t & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are malformed too.
    if (ok && ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
        ok = false;
    if (!ok) {
        c.codePoint = '?';
        return true;
    }
    c = Char{n, true, cp};
    return true;
}

void TextLayout::Stop() {
    SetStyle(TextStyle(entry_));
}

void TextLayout::DrawText(uint32_t* pixels, int width, int height, int x, int y,
                          std::string_view text, int) {
    if (style_.height >= kMaxFontHeight) return;
    pixels_ = pixels;
    targetW_ = width;
    targetH_ = height;
    measuredW_ = measuredH_ = 0;
    penX_ = x;
    lineTop_ = y;
    entry_ = style_;
    UpdateLineMetrics();
    drawColour_ = style_.colour;
    if (int64_t(y) + style_.height > targetH_) return Stop();
    if (style_.leftMargin >= 1 && penX_ < style_.leftMargin) penX_ = style_.leftMargin;
    lineStartX_ = penX_;
    tallest_ = 1;
    lineBottom_ = int64_t(y) + 1;
    lineStartIndex_ = 0;
    index_ = 0;
    drawPass_ = false;
    wrappedAt_ = kNoIndex;
    lineStartStyle_ = style_;

    while (index_ < text.size()) {
        Char c;
        NextChar(text, index_, c);
        if (c.codePoint == '<' && !c.wide) {
            // The group's reach is counted in GBK bytes: one for ASCII, two for any other.
            size_t j = index_ + 1, n = 0;
            while (j < text.size() && n < kGroupReach && text[j] != '>') {
                Char g;
                NextChar(text, j, g);
                n += g.wide ? 2 : 1;
                j += g.bytes;
            }
            if (j < text.size() && n < kGroupReach && n >= 1 &&
                ParseRichText(*this, text.substr(index_ + 1, j - index_ - 1))) {
                index_ = j + 1;
                if (penX_ >= targetW_ - style_.rightMargin) {
                    NewLine();
                } else if (index_ >= text.size() && !measureOnly_ && !drawPass_) {
                    NewLine();
                }
                continue;
            }
        }
        const int64_t gap = c.wide ? 2 * int64_t(style_.pitch) : style_.pitch;
        const int64_t advance = c.wide ? style_.lineHeight : halfHeight_;
        if (penX_ + advance + gap > targetW_ - style_.rightMargin) {
            if (!style_.wrap) return Stop();
            if (drawPass_ && lineTop_ + style_.height + tallest_ + style_.rowSpace > targetH_)
                return Stop();
            // The character that ended the line before does not fit at the start of this one
            // either: it fits on no line. Starting yet another line for it would never end
            // when measuring (no bottom is reached there) or with a row space that moves no
            // line down.
            if (wrappedAt_ == index_) return Stop();
            NewLine(index_);
            if (penX_ + (c.wide ? style_.lineHeight : halfHeight_) > targetW_) return Stop();
            continue;
        }
        if (penX_ != lineStartX_) penX_ += gap;
        DrawRun(c, lineBottom_ - style_.height);
        index_ += c.bytes;
        measuredW_ = std::max(measuredW_, penX_ + style_.rightMargin);
        if (index_ >= text.size() && !drawPass_ && !measureOnly_) NewLine();
    }
    measuredH_ = lineBottom_;
}

void TextLayout::MeasureText(int x, int y, std::string_view text, int& width, int& height) {
    measureOnly_ = true;
    DrawText(nullptr, kMeasureWidth, kMeasureHeight, x, y, text);
    measureOnly_ = false;
    width = Clamp32(measuredW_);
    height = Clamp32(measuredH_);
}

void TextLayout::NewLine(size_t wrappedAt) {
    if (measureOnly_ || drawPass_) {
        lineTop_ += tallest_ + style_.rowSpace;
        penX_ = style_.leftMargin;
        lineStartX_ = penX_;
        if (measureOnly_) {
            tallest_ = 1;
            lineBottom_ = lineTop_ + 1;
        } else {
            tallest_ = style_.height;
            lineBottom_ = lineTop_ + style_.height;
        }
        lineStartIndex_ = index_;
        lineStartStyle_ = style_;
        drawPass_ = false;
        wrappedAt_ = wrappedAt;
        return;
    }
    // The line was measured: walk it again from its start and draw it.
    drawPass_ = true;
    index_ = lineStartIndex_;
    penX_ = lineStartX_;
    SetStyle(TextStyle(lineStartStyle_));
}

void TextLayout::DrawRun(const Char& c, int64_t rowY) {
    const int count = c.wide ? 2 : 1;
    int64_t advance = c.wide ? style_.lineHeight : halfHeight_;
    if (penX_ + advance >= targetW_) {
        advance = targetW_ - penX_;
        if (advance < 1) return;
    }
    if (style_.height > tallest_) {
        tallest_ = style_.height;
        lineBottom_ = lineTop_ + tallest_;
    }
    if (drawPass_) {
        if (penX_ < style_.leftMargin || rowY < 0) {
            penX_ += advance + int64_t(style_.pitch) * count;
            return;
        }
        if (pixels_ && !measureOnly_) Blend(c.codePoint, advance, rowY);
    }
    penX_ += advance;
}

void TextLayout::Blend(char32_t codePoint, int64_t advance, int64_t rowY) {
    auto glyph = platform::renderGlyph(
        {style_.face, fontHeight_, style_.weight, style_.italic != 0, style_.underline != 0},
        codePoint);
    if (!glyph || glyph->coverage.empty()) return;
    // The glyph is cut to its cell (the advance, the font height, the 300-pixel raster the
    // font was drawn into) and every pixel to the target.
    const int64_t r0 = std::max<int64_t>(0, glyph->top);
    const int64_t r1 = std::min<int64_t>(
        {int64_t(glyph->top) + glyph->rows, style_.height, targetH_ - rowY, kMaxFontHeight});
    const int64_t c0 = std::max<int64_t>({0, glyph->left, -penX_});
    const int64_t c1 = std::min<int64_t>(
        {int64_t(glyph->left) + glyph->width, advance, targetW_ - penX_, kMaxFontHeight});
    const uint32_t cr = drawColour_ & 255, cg = (drawColour_ >> 8) & 255,
                   cb = (drawColour_ >> 16) & 255;
    for (int64_t r = r0; r < r1; ++r) {
        const size_t src = size_t(r - glyph->top) * size_t(glyph->width);
        const int64_t dst = (rowY + r) * targetW_ + penX_;
        for (int64_t col = c0; col < c1; ++col) {
            const uint32_t k = glyph->coverage[src + size_t(col - glyph->left)];
            if (k == 0) continue;
            uint32_t& t = pixels_[dst + col];
            const uint32_t ta = t >> 24;
            if (ta == 0) {
                t = (k << 24) | (cr << 16) | (cg << 8) | cb;
                continue;
            }
            const uint32_t tb = t & 255, tg = (t >> 8) & 255, tr = (t >> 16) & 255;
            const uint32_t nb = (cb * k + tb * (255 - k)) >> 8;
            const uint32_t ng = (cg * k + tg * (255 - k)) >> 8;
            const uint32_t nr = (cr * k + tr * (255 - k)) >> 8;
            t = (std::max(ta, k) << 24) | (nr << 16) | (ng << 8) | nb;
        }
    }
}

}  // namespace hqlv::engine
