#include "framework/widgets/skin_button.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>

#include "platform/core/process.h"

namespace hqlv::framework {

ColorRef OffsetColorRef(ColorRef c, int shade) {
    int ch[3] = {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
    if (shade > 0) {
        int top = std::max({ch[0], ch[1], ch[2]});
        shade = std::min(shade, 255 - top);
    } else if (shade < 0) {
        int low = std::min({ch[0], ch[1], ch[2]});
        shade = std::max(shade, -low);
    }
    return platform::ui::Rgb(ch[0] + shade, ch[1] + shade, ch[2] + shade);
}

int GreyOf(ColorRef c) {
    // In thousandths, so that the truncation is exact.
    return int((299 * (c & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * ((c >> 16) & 0xFF)) / 1000);
}

QImage GreyscaleCopy(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            QRgb p = row[x];
            if ((p & 0xFFFFFF) == 0) continue;
            int g = GreyOf(platform::ui::Rgb(qRed(p), qGreen(p), qBlue(p)));
            row[x] = qRgba(g, g, g, qAlpha(p));
        }
    }
    return out;
}

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    ResetColors(false);
    connect(this, &QAbstractButton::clicked, this, [this] { OnClicked(); });
}

int CSkinButton::SetColor(int index, ColorRef color, bool repaint) {
    if (index < 0 || index >= kColorCount) return 3;
    colors_[size_t(index)] = color;
    if (repaint) update();
    return 0;
}

int CSkinButton::OffsetColor(int index, int shade, bool repaint) {
    if (index < 0 || index >= kColorCount) return 3;
    if (shade < -255 || shade > 255) return 5;
    colors_[size_t(index)] = OffsetColorRef(colors_[size_t(index)], shade);
    if (repaint) update();
    return 0;
}

void CSkinButton::ResetColors(bool repaint) {
    const QPalette& pal = QApplication::palette();
    ColorRef face = platform::ui::FromQColor(pal.color(QPalette::Button));
    ColorRef text = platform::ui::FromQColor(pal.color(QPalette::ButtonText));
    for (int i = 0; i < kColorCount; ++i) colors_[size_t(i)] = (i % 2 == 0) ? face : text;
    if (repaint) update();
}

int CSkinButton::SetPressedStyle(int style, bool repaint) {
    if (style == 0)
        pressedOffset_ = {1, 1};
    else if (style == 1)
        pressedOffset_ = {0, 2};
    else
        return 6;
    if (repaint) update();
    return 0;
}

void CSkinButton::SetCheck(bool checked) {
    if (!checkBox_) return;
    checked_ = checked;
    update();
}

void CSkinButton::SetImages(const QImage& in, std::optional<QImage> out, bool greyOut) {
    in_ = in;
    out_ = greyOut ? std::optional<QImage>(GreyscaleCopy(in)) : std::move(out);
    update();
}

void CSkinButton::SetTooltipText(const std::string& text) {
    setToolTip(QString::fromStdString(text));
}

void CSkinButton::SetURL(const std::string& address) {
    url_ = address.substr(0, std::min<size_t>(address.size(), 259));
}

void CSkinButton::SetMenu(QMenu* menu, platform::Handle owner) {
    menu_ = menu;
    menuOwner_ = owner;
}

bool CSkinButton::Pressed() const {
    if (checkBox_) return isDown() || checked_;
    return isDown() || menuShown_;
}

ColorRef CSkinButton::CurrentBackground() const {
    if (pointerIn_ || Pressed()) return colors_[kBkIn];
    if (hasFocus()) return colors_[kBkFocus];
    return colors_[kBkOut];
}

ColorRef CSkinButton::CurrentTextColor() const {
    return (pointerIn_ || Pressed()) ? colors_[kFgIn] : colors_[kFgOut];
}

void CSkinButton::OnClicked() {
    setFocus(Qt::MouseFocusReason);
    if (checkBox_) {
        checked_ = !checked_;
        update();
        return;
    }
    if (menu_) {
        menuShown_ = true;
        repaint();
        QAction* chosen = menu_->exec(mapToGlobal(rect().bottomLeft()));
        menuShown_ = false;
        update();
        if (chosen && menuOwner_) {
            platform::Message m;
            m.id = kMsgCommand;
            m.w = uintptr_t(chosen->data().toUInt());
            platform::post(menuOwner_, m);
        }
        return;
    }
    if (!url_.empty()) platform::openUrl(url_);
}

void CSkinButton::OnDrawBackground(QPainter& p, const QRect& r) {
    p.fillRect(r, platform::ui::ToQColor(CurrentBackground()));
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    bool pressed = Pressed();
    OnDrawBackground(p, r);
    if (flat_ && (pressed || pointerIn_)) OnDrawBorder(p, r);
    if (!flat_ && !pressed) {
        p.setPen(QColor(255, 255, 255));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(QColor(64, 64, 64));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    } else if (!flat_ && pressed) {
        p.setPen(QColor(128, 128, 128));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    QPoint shift = pressed && !checkBox_ ? pressedOffset_ : QPoint();
    bool useOut = out_ && !pressed && !pointerIn_;
    const QImage& image = useOut ? *out_ : in_;
    QRect caption = r.translated(shift);
    if (!image.isNull()) {
        QImage shown = isEnabled() ? image : GreyscaleCopy(image);
        QPoint at((r.width() - shown.width()) / 2, (r.height() - shown.height()) / 2);
        if (!text().isEmpty()) at.setX(4);
        p.drawImage(at + shift, shown);
        caption.setLeft(at.x() + shown.width() + 2 + shift.x());
    }
    if (!text().isEmpty()) {
        if (!isEnabled()) {
            p.setPen(QColor(255, 255, 255));
            p.drawText(caption.translated(1, 1), Qt::AlignCenter | Qt::TextWordWrap, text());
            p.setPen(QColor(128, 128, 128));
        } else {
            p.setPen(platform::ui::ToQColor(CurrentTextColor()));
        }
        p.drawText(caption, Qt::AlignCenter | Qt::TextWordWrap, text());
    }
    if (hasFocus() && !flat_) {
        p.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
        p.drawRect(r.adjusted(3, 3, -4, -4));
    }
}

void CSkinButton::enterEvent(QEnterEvent* e) {
    if (flat_ && !pointerIn_) {
        pointerIn_ = true;
        update();
    }
    QAbstractButton::enterEvent(e);
}

void CSkinButton::leaveEvent(QEvent* e) {
    if (pointerIn_) {
        pointerIn_ = false;
        update();
    }
    QAbstractButton::leaveEvent(e);
}

void CSkinButton::focusOutEvent(QFocusEvent* e) {
    pointerIn_ = false;
    update();
    QAbstractButton::focusOutEvent(e);
}

void CSkinButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled()) {
        pointerIn_ = false;
        update();
    }
    QAbstractButton::changeEvent(e);
}

}  // namespace hqlv::framework
