#include "platform/ui/draw_context.h"

#include <QFile>
#include <QFontMetrics>
#include <QImageReader>

#include <algorithm>

namespace hqlv::platform::ui {

QColor ToQColor(ColorRef c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

ColorRef FromQColor(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

QFont MakeFont(const FontSpec& spec) {
    QFont f;
    QStringList families;
    if (!spec.face.empty()) families << QString::fromStdString(spec.face);
    // The faces the Windows program names are not here; these stand in for them.
    if (spec.face == "宋体" || spec.face == "新宋体") families << "AR PL UMing CN";
    if (spec.face.rfind("楷体", 0) == 0) families << "AR PL UKai CN";
    families << "WenQuanYi Micro Hei";
    f.setFamilies(families);
    int px = spec.height < 0 ? -spec.height : spec.height;
    if (px == 0) px = 12;
    f.setPixelSize(px);
    int w = spec.weight <= 0 ? 400 : spec.weight;
    if (w < 100) w = 100;
    if (w > 900) w = 900;
    f.setWeight(static_cast<QFont::Weight>(w));
    f.setItalic(spec.italic);
    f.setUnderline(spec.underline);
    if (spec.width > 0) {
        // The face's characters stretched to the asked average width.
        const int natural = QFontMetrics(f).averageCharWidth();
        if (natural > 0)
            f.setStretch(int(std::clamp<int64_t>(int64_t(spec.width) * 100 / natural, 1, 4000)));
    }
    return f;
}

std::optional<QImage> LoadBitmapFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    QImage img = reader.read();
    if (img.isNull()) return std::nullopt;
    return img.convertToFormat(QImage::Format_RGB32);
}

DrawContext::DrawContext(QPainter& painter) : p_(painter) {}

void DrawContext::FillSolidRect(const QRect& r, ColorRef color) {
    p_.fillRect(r, ToQColor(color));
}

void DrawContext::Draw3dRect(const QRect& r, ColorRef tl, ColorRef br) {
    if (r.width() <= 0 || r.height() <= 0) return;
    int x = r.x(), y = r.y(), w = r.width(), h = r.height();
    p_.fillRect(QRect(x, y, w - 1, 1), ToQColor(tl));
    p_.fillRect(QRect(x, y, 1, h - 1), ToQColor(tl));
    p_.fillRect(QRect(x + w - 1, y, 1, h), ToQColor(br));
    p_.fillRect(QRect(x, y + h - 1, w, 1), ToQColor(br));
}

void DrawContext::DrawHLine(ColorRef color, int x1, int x2, int y) {
    if (x2 == x1) return;
    int left = x1 < x2 ? x1 : x2 + 1;
    int width = x1 < x2 ? x2 - x1 : x1 - x2;
    p_.fillRect(QRect(left, y, width, 1), ToQColor(color));
}

void DrawContext::MoveTo(int x, int y) {
    pos_ = QPoint(x, y);
}

void DrawContext::LineTo(int x, int y) {
    p_.drawLine(pos_, QPoint(x, y));
    pos_ = QPoint(x, y);
}

void DrawContext::BitBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy) {
    if (src.isNull() || w <= 0 || h <= 0) return;
    p_.drawImage(QPoint(x, y), src, QRect(sx, sy, w, h));
}

void DrawContext::StretchBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy, int sw,
                             int sh) {
    if (src.isNull() || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    p_.drawImage(QRect(x, y, w, h), src, QRect(sx, sy, sw, sh));
}

void DrawContext::TransparentBlt(int x, int y, int w, int h, const QImage& src, int sx, int sy,
                                 ColorRef key) {
    if (src.isNull() || w <= 0 || h <= 0) return;
    QImage part = src.copy(sx, sy, w, h).convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = qRgb(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF);
    for (int row = 0; row < part.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(row));
        for (int col = 0; col < part.width(); ++col) {
            if ((line[col] & 0xFFFFFF) == (keyRgb & 0xFFFFFF)) line[col] = 0;
        }
    }
    p_.drawImage(QPoint(x, y), part);
}

void DrawContext::SelectPen(ColorRef color, int width, Qt::PenStyle style) {
    p_.setPen(QPen(ToQColor(color), width, style));
}
void DrawContext::SelectBrush(ColorRef color) {
    p_.setBrush(ToQColor(color));
}
void DrawContext::SelectNullBrush() {
    p_.setBrush(Qt::NoBrush);
}

void DrawContext::Polygon(const std::vector<QPoint>& points) {
    if (points.size() < 2) return;
    p_.drawPolygon(points.data(), static_cast<int>(points.size()));
}

void DrawContext::Rectangle(const QRect& r) {
    p_.drawRect(r.adjusted(0, 0, -1, -1));
}

void DrawContext::SelectFont(const FontSpec& font) {
    p_.setFont(MakeFont(font));
    escapement_ = font.escapement;
}
void DrawContext::SelectFont(const QFont& font) {
    p_.setFont(font);
    escapement_ = 0;
}

void DrawContext::TextOut(int x, int y, const std::string& utf8) {
    const QString text = QString::fromStdString(utf8);
    QFontMetrics fm(p_.font());
    p_.save();
    p_.translate(x, y);
    // GDI turns counter-clockwise, Qt clockwise.
    p_.rotate(-escapement_ / 10.0);
    if (!transparentBk_)
        p_.fillRect(QRect(0, 0, fm.horizontalAdvance(text), fm.height()), ToQColor(bkColor_));
    p_.setPen(ToQColor(textColor_));
    p_.drawText(0, fm.ascent(), text);
    p_.restore();
}

static int qtFlags(unsigned f) {
    int q = 0;
    q |= (f & DT_CENTER) ? Qt::AlignHCenter : (f & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (f & DT_SINGLELINE) {
        q |= Qt::TextSingleLine;
        q |= (f & DT_VCENTER) ? Qt::AlignVCenter : (f & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
    } else {
        q |= Qt::AlignTop;
        if (f & DT_WORDBREAK) q |= Qt::TextWordWrap;
    }
    if (f & DT_NOCLIP) q |= Qt::TextDontClip;
    return q;
}

int DrawContext::DrawText(const std::string& utf8, QRect& r, unsigned flags) {
    QString text = QString::fromStdString(utf8);
    text.replace("\r\n", "\n");
    QFontMetrics fm(p_.font());
    if (flags & DT_CALCRECT) {
        QRect bound =
            fm.boundingRect(QRect(r.x(), r.y(), r.width() > 0 ? r.width() : 1 << 20, 1 << 20),
                            qtFlags(flags) & ~(Qt::AlignHCenter | Qt::AlignRight), text);
        if (!(flags & DT_WORDBREAK) || (flags & DT_SINGLELINE)) r.setWidth(bound.width());
        r.setHeight(bound.height());
        return bound.height();
    }
    if (flags & DT_END_ELLIPSIS) text = fm.elidedText(text, Qt::ElideRight, r.width());
    if (!transparentBk_) p_.fillRect(fm.boundingRect(r, qtFlags(flags), text), ToQColor(bkColor_));
    p_.save();
    p_.setPen(ToQColor(textColor_));
    QRect drawn;
    p_.drawText(r, qtFlags(flags), text, &drawn);
    p_.restore();
    return drawn.height();
}

QSize DrawContext::GetTextExtent(const std::string& utf8) {
    QFontMetrics fm(p_.font());
    QString text = QString::fromStdString(utf8);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

QSize DrawContext::GetTextExtent(const QFont& font, const std::string& utf8) {
    const QFont previous = p_.font();
    p_.setFont(font);
    const QSize size = GetTextExtent(utf8);
    p_.setFont(previous);
    return size;
}

QSize DrawContext::GetTextExtent(const FontSpec& font, const std::string& utf8) {
    return GetTextExtent(MakeFont(font), utf8);
}

}  // namespace hqlv::platform::ui
