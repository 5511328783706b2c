#pragma once
// A drawing context over QPainter with the GDI-style calls the panes and dialogs make:
// colours as COLORREF (red in the low byte), solid fills, 3-D rectangles, bit blits with
// stretching and a colour key, text with the usual DrawText flags, fonts by face, height,
// weight and charset, pens, brushes and polygons.
//
// There is no off-screen drawing context that draws into a memory picture and copies it
// back over the window when it goes: Qt paints every window into its backing store and
// shows the finished picture at once, which is all such a context was for (no flicker), so
// the owner-drawn menus and the panes draw straight through the painter Qt hands them.
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hqlv::platform::ui {

using ColorRef = uint32_t;
inline constexpr ColorRef Rgb(int r, int g, int b) {
    return ColorRef(uint8_t(r)) | ColorRef(uint8_t(g)) << 8 | ColorRef(uint8_t(b)) << 16;
}
QColor ToQColor(ColorRef c);
ColorRef FromQColor(const QColor& c);

// DrawText flags.
enum : unsigned {
    DT_TOP = 0x0,
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_END_ELLIPSIS = 0x8000,
};

struct FontSpec {
    std::string face;  // UTF-8 face name ("宋体", "楷体_GB2312", ...)
    int height = -12;  // negative: character height in pixels; positive: cell height
    int weight = 400;  // 100 .. 900; 700 bold
    bool italic = false;
    bool underline = false;
    int charset = 134;   // GB2312
    int escapement = 0;  // tenths of a degree, counter-clockwise (2700: text running down)
    int width = 0;       // average character width in pixels; 0: the face's own
};
QFont MakeFont(const FontSpec& spec);

// A picture loaded from a file (BMP, PNG, JPEG); nullopt when missing or broken.
std::optional<QImage> LoadBitmapFile(const std::string& path);

class DrawContext {
public:
    explicit DrawContext(QPainter& painter);

    QPainter& painter() { return p_; }

    void FillSolidRect(const QRect& r, ColorRef color);
    // Top and left edges in one colour, bottom and right in the other.
    void Draw3dRect(const QRect& r, ColorRef topLeft, ColorRef bottomRight);
    // A one-pixel line from (x1, y) to (x2, y), the end point excluded as GDI draws it.
    void DrawHLine(ColorRef color, int x1, int x2, int y);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);

    void BitBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy);
    void StretchBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy, int sw, int sh);
    // Copies the source area leaving out the pixels of the transparent colour.
    void TransparentBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy,
                        ColorRef transparent);

    void SelectPen(ColorRef color, int width = 1, Qt::PenStyle style = Qt::SolidLine);
    void SelectBrush(ColorRef color);
    void SelectNullBrush();
    void Polygon(const std::vector<QPoint>& points);
    void Rectangle(const QRect& r);

    void SelectFont(const FontSpec& font);
    void SelectFont(const QFont& font);
    void SetTextColor(ColorRef color) { textColor_ = color; }
    // Opaque mode fills the text's rectangle with the background colour first.
    void SetBkMode(bool transparent) { transparentBk_ = transparent; }
    void SetBkColor(ColorRef color) { bkColor_ = color; }
    // Draws (or with DT_CALCRECT measures: r gets the text's size, nothing is drawn) and
    // returns the text's height.
    int DrawText(const std::string& utf8, QRect& r, unsigned flags);
    // One line from its reference point (the top-left corner of the unturned text),
    // turned by the selected font's escapement.
    void TextOut(int x, int y, const std::string& utf8);
    QSize GetTextExtent(const std::string& utf8);
    // The size of the text in the given font; the font selected before stays selected.
    QSize GetTextExtent(const QFont& font, const std::string& utf8);
    QSize GetTextExtent(const FontSpec& font, const std::string& utf8);

private:
    QPainter& p_;
    QPoint pos_;
    ColorRef textColor_ = 0;
    ColorRef bkColor_ = 0xFFFFFF;
    bool transparentBk_ = false;
    int escapement_ = 0;
};

}  // namespace hqlv::platform::ui
