#pragma once
// The engine's own text drawing: rich text laid out in lines (wrapping, margins, character
// pitch, row space, tags that change the look in mid-text) and blended glyph by glyph into a
// 32-bit pixel buffer, or only measured.
//
// Text is UTF-8. The layout's byte rules count the text in its GBK form: an ASCII character is
// "single-byte" (advance: half the height), any other character "double-byte" (advance: the
// height); a malformed UTF-8 byte stands for one single-byte '?'.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::engine {

// Fonts are never made taller than this; a layout whose height reaches it draws nothing.
constexpr int kMaxFontHeight = 300;
// The longest face name, counted in GBK bytes.
constexpr size_t kMaxFaceBytes = 31;

// Which font file draws a face ("" when none can): fontconfig's answer unless a test puts
// its own. Returns the previous lookup (null for fontconfig's).
using FaceFileLookup = std::string (*)(std::string_view face);
FaceFileLookup SetFaceFileLookup(FaceFileLookup lookup);

struct TextStyle {
    std::string face;         // UTF-8, at most kMaxFaceBytes in GBK form
    uint32_t colour = 0;      // COLORREF 0x00BBGGRR
    int32_t height = 0;       // pixels
    int32_t lineHeight = 0;   // equal to height whenever a font is made or a layout starts
    int32_t weight = 0;       // 400 normal, 700 bold
    int32_t pitch = 0;        // extra pixels between characters (twice for double-byte)
    int32_t rowSpace = 0;     // extra pixels between lines
    int32_t leftMargin = 0;   // a line starts here when it is 1 or more
    int32_t rightMargin = 0;  // lines end at target width - right margin
    int32_t wrap = 0;         // 0: the layout stops at the first character past the limit
    int32_t underline = 0;
    int32_t italic = 0;
};

class TextLayout {
public:
    TextLayout() = default;
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // Default colour 0xFF7D327D, pitch and row space 0, no scripts. Makes no font. → 0.
    // Without any face to draw with, the log line and the error box "字体创建" (once until
    // a face can be found again: every plane drawn without a layout of its own makes one).
    int Init();
    // → the half height, or 0 when a font exists and nothing differs.
    int SetFont(int height, int weight, std::string_view face, int italic, int underline);
    // Font and colour from the style, then the whole style copied in. → the colour.
    uint32_t SetStyle(const TextStyle& style);
    void GetStyle(TextStyle& out) const { out = style_; }
    const TextStyle& Style() const { return style_; }
    uint32_t SetColor(uint32_t colour);
    // Italic and underline are cleared.
    void SetFontSize(int height);
    int UpdateLineMetrics();
    // Lays out and draws into a width × height buffer of 0xAARRGGBB pixels (rows of width
    // words). The last argument is not used.
    void DrawText(uint32_t* pixels, int width, int height, int x, int y, std::string_view text,
                  int unused = 0);
    // Height: the bottom of the last line, in the coordinates of y.
    void MeasureText(int x, int y, std::string_view text, int& width, int& height);
    void Release();
    void ClearRuns();

    // The texts of the script groups met so far and the index into them (-1 when empty).
    const std::vector<std::string>& Scripts() const { return scripts_; }
    int ScriptIndex() const { return scriptIndex_; }

    // The owner's lock; the layout's own operations never take it.
    void Lock();
    void Unlock();

private:
    friend int ApplyTextTag(TextLayout&, std::string_view, std::string_view);
    friend int ParseRichText(TextLayout&, std::string_view);

    struct Char;
    bool NextChar(std::string_view text, size_t index, Char& c) const;
    static constexpr size_t kNoIndex = size_t(-1);
    // wrappedAt: the index of the character that did not fit on the line being ended.
    void NewLine(size_t wrappedAt = kNoIndex);
    void DrawRun(const Char& c, int64_t rowY);
    void Blend(char32_t codePoint, int64_t advance, int64_t rowY);
    void Stop();

    int halfHeight_ = 0;
    TextStyle style_;
    TextStyle entry_;
    bool hasFont_ = false;
    // The last face asked for and its fitted form: every size or weight tag sets the font
    // again with the same face, and fitting a non-ASCII face is two conversions.
    std::string askedFace_;
    std::string fittedFace_;
    int fontHeight_ = 0;  // what the font was made with (capped)
    uint32_t drawColour_ = 0;

    uint32_t* pixels_ = nullptr;
    int64_t targetW_ = 0;
    int64_t targetH_ = 0;

    // Pen state in 64 bits: margins, pitch and row space are any 32-bit values, so sums of
    // them must not overflow.
    int64_t penX_ = 0;
    int64_t lineTop_ = 0;
    int64_t tallest_ = 1;
    int64_t lineBottom_ = 0;
    size_t index_ = 0;
    size_t lineStartIndex_ = 0;
    int64_t lineStartX_ = 0;
    TextStyle lineStartStyle_;
    bool drawPass_ = false;
    bool measureOnly_ = false;
    // The character whose not fitting began the current line (kNoIndex when a tag, the text's
    // start or a line's own drawing pass began it).
    size_t wrappedAt_ = kNoIndex;
    int64_t measuredW_ = 0;
    int64_t measuredH_ = 0;

    std::mutex lock_;
    bool lockHeld_ = false;
    std::vector<std::string> scripts_;
    int scriptIndex_ = -1;
};

// Applies one group of rich-text tags (the bytes between '<' and '>'). → 1 accepted, 0 not
// (the group is then drawn as text).
int ParseRichText(TextLayout& layout, std::string_view group);
// One tag: → 1 when the name is known (and "rgb" has three parts), else 0.
int ApplyTextTag(TextLayout& layout, std::string_view name, std::string_view value);

struct TextOffset {
    int x = 0;
    int y = 0;
};
// Chooses height, pitch, row space and left margin of the style for a short caption in a
// width × height box and returns the text's offset; shortens the text (ending it in "..")
// when it cannot fit. marginX, marginY and forcedHeight are 0 for automatic.
TextOffset FitTextInBox(int width, int height, std::string& text, TextStyle& style, int marginX,
                        int marginY, int forcedHeight);

}  // namespace hqlv::engine
