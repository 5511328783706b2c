#pragma once
// What the window-drawn table (scene mode 1) paints on: a back buffer of the table view
// with the few GDI calls the scene and the table-drawing object make. Skin bitmaps are
// named as the skin library names them; colours are COLORREFs (red in the low byte). The
// Qt table view implements it over its back buffer; tests implement it over plain pixels.
#include <cstdint>
#include <string>

namespace hqlv::mahjong {

// A font as CreateFont describes it. Escapement is in tenths of a degree, counter-clockwise
// (2700: text running downward, 900: upward).
struct MJGdiFont {
    std::string face;
    int height = -16;
    int width = 0;
    int weight = 400;
    int escapement = 0;
    int clipPrecision = 0;
    bool operator==(const MJGdiFont&) const = default;
};

// The system's default GUI font at 16 pixels and weight 400: the seat and stake texts.
inline MJGdiFont DefaultGuiFont(int escapement = 0) {
    return MJGdiFont{"宋体", -16, 0, 400, escapement, escapement ? 16 : 0};
}

constexpr uint32_t kGdiBlueKey = 0xFF0000;     // COLORREF pure blue: tiles and dice
constexpr uint32_t kGdiMagentaKey = 0xFF00FF;  // the banker picture
constexpr uint32_t kGdiYellow = 0x00FFFF;
constexpr uint32_t kGdiWhite = 0xFFFFFF;
constexpr uint32_t kGdiRed = 0x0000FF;

class CMJGdiSurface {
public:
    virtual ~CMJGdiSurface() = default;
    // The size of the table the surface shows.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Copies the w × h cell at (sx, sy) of the named skin bitmap to (x, y), leaving out
    // the pixels of the key colour; false (nothing drawn) without such a bitmap.
    virtual bool TransparentBlt(int x, int y, int w, int h, const std::string& bitmap, int sx,
                                int sy, uint32_t key) = 0;
    // The size of a skin bitmap; false without one.
    virtual bool BitmapSize(const std::string& bitmap, int& w, int& h) = 0;
    // A one-pixel frame just inside the rectangle.
    virtual void FrameRect(int left, int top, int right, int bottom, uint32_t colour) = 0;
    virtual void SelectFont(const MJGdiFont& font) = 0;
    virtual void SetTextColor(uint32_t colour) = 0;
    // Text in transparent mode, its first character's top-left corner at (x, y) before
    // the font's escapement turns it.
    virtual void TextOut(int x, int y, const std::string& utf8) = 0;
    // The text's unturned width and height in the selected font.
    virtual void GetTextExtent(const std::string& utf8, int& w, int& h) = 0;
    // The window shows the buffer again (after drawing outside a paint).
    virtual void Invalidate() = 0;
    // The table window takes or gives up the mouse while an own tile is dragged.
    virtual void CaptureMouse(bool on) = 0;
    // The cursor's place in the table window's client coordinates; false when the window
    // cannot say.
    virtual bool CursorPos(int& x, int& y) = 0;
};

}  // namespace hqlv::mahjong
