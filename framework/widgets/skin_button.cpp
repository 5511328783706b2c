#include "framework/widgets/skin_button.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <QMouseEvent>

#include <algorithm>
#include <map>
#include <mutex>

#include "framework/app/shared_utils.h"
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

namespace {
std::mutex g_iconsMutex;
std::map<int, QImage>& Icons() {
    static std::map<int, QImage> icons;
    return icons;
}
}  // namespace

void RegisterIconResource(int id, const QImage& icon) {
    std::lock_guard lock(g_iconsMutex);
    if (icon.isNull())
        Icons().erase(id);
    else
        Icons()[id] = icon;
}

QImage FindIconResource(int id) {
    std::lock_guard lock(g_iconsMutex);
    auto it = Icons().find(id);
    return it == Icons().end() ? QImage() : it->second;
}

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    ResetColors(false);
    connect(this, &QAbstractButton::clicked, this, [this] { OnClicked(); });
}

void CSkinButton::SubclassType(uint32_t type) {
    type &= 0x1F;
    checkBox_ = (type & kBsCheckBit) != 0;
    default_ = type == kBsDefPushButton;
    update();
}

void CSkinButton::SetButtonStyle(uint32_t style, bool repaint) {
    default_ = (style & 0x0F) == kBsDefPushButton;
    if (repaint) update();
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

bool CSkinButton::SetAlign(int iconAlign, int bitmapAlign, bool repaint) {
    if (iconAlign < 0 || iconAlign > 3 || bitmapAlign < 0 || bitmapAlign > 3) return false;
    iconAlign_ = iconAlign;
    bitmapAlign_ = bitmapAlign;
    if (repaint) update();
    return true;
}

int CSkinButton::SetIcon(const QImage& in, std::optional<QImage> out, bool greyOut) {
    iconIn_ = QImage();
    iconOut_.reset();
    if (in.isNull() || (out && out->isNull())) {
        update();
        return 1;
    }
    iconIn_ = in;
    iconOut_ = greyOut ? std::optional<QImage>(GreyscaleCopy(in)) : std::move(out);
    update();
    return 0;
}

int CSkinButton::SetIconResource(int inId, int outId) {
    const QImage in = FindIconResource(inId);
    if (outId == kGreyCopy) return SetIcon(in, std::nullopt, true);
    if (outId == 0) return SetIcon(in, std::nullopt);
    return SetIcon(in, FindIconResource(outId));
}

int CSkinButton::SetBitmaps(const QImage& in, std::optional<QImage> out) {
    bitmapIn_ = QImage();
    bitmapOut_.reset();
    if (in.isNull() || (out && out->isNull())) {
        update();
        return 1;
    }
    bitmapIn_ = in;
    bitmapOut_ = std::move(out);
    update();
    return 0;
}

void CSkinButton::SetTooltipText(const std::string& text, bool activate) {
    setToolTip(QString::fromStdString(text));
    tipActive_ = activate;
}

bool CSkinButton::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && !tipActive_) {
        e->ignore();
        return true;
    }
    return QAbstractButton::event(e);
}

void CSkinButton::SetURL(const std::string& address) {
    url_ = address.substr(0, std::min<size_t>(address.size(), 259));
}

void CSkinButton::SetMenu(QMenu* menu, platform::Handle owner) {
    menu_ = menu;
    menuOwner_ = owner;
}

void CSkinButton::SetMenuCallback(platform::Handle window, uint32_t message, intptr_t parameter) {
    callbackWindow_ = window;
    callbackMessage_ = message;
    callbackParameter_ = parameter;
}

void CSkinButton::SetBtnCursor(std::optional<QCursor> cursor) {
    if (cursor)
        setCursor(*cursor);
    else
        unsetCursor();
}

void CSkinButton::SetSound(const std::string& file, uint32_t flags, bool onClick) {
    std::optional<Sound>& slot = onClick ? clickSound_ : enterSound_;
    if (file.empty())
        slot.reset();
    else
        slot = Sound{file, 0, flags};
}

void CSkinButton::SetSoundResource(int id, uint32_t flags, bool onClick) {
    std::optional<Sound>& slot = onClick ? clickSound_ : enterSound_;
    if (id <= 0)
        slot.reset();
    else
        slot = Sound{std::string(), id, flags};
}

void CSkinButton::Play(const std::optional<Sound>& sound, uint32_t extraFlags) {
    if (!sound) return;
    if (sound->resource > 0)
        PlayResourceSoundEx(sound->resource, sound->flags | extraFlags);
    else
        PlayWave(sound->file, (sound->flags | extraFlags | kSndFileName) & ~kSndMemory);
}

void CSkinButton::DrawTransparent(bool repaint) {
    transparent_ = true;
    background_ = QPixmap();
    if (repaint) update();
}

void CSkinButton::DropBackground() {
    if (background_.isNull()) return;
    background_ = QPixmap();  // taken again, from where the button is now, at the next paint
    update();
}

void CSkinButton::moveEvent(QMoveEvent* e) {
    DropBackground();
    QAbstractButton::moveEvent(e);
}

void CSkinButton::resizeEvent(QResizeEvent* e) {
    DropBackground();
    QAbstractButton::resizeEvent(e);
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
    Play(clickSound_, 0);
    if (checkBox_) {
        checked_ = !checked_;
        update();
        return;
    }
    if (menu_) {
        menuShown_ = true;
        repaint();
        if (callbackWindow_) {
            platform::Message m;
            m.id = callbackMessage_;
            m.w = reinterpret_cast<uintptr_t>(menu_.data());
            m.l = callbackParameter_;
            platform::send(callbackWindow_, m);
        }
        QAction* chosen = menu_ ? menu_->exec(mapToGlobal(rect().bottomLeft())) : nullptr;
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

QPoint CSkinButton::PlaceImage(QSize size, int align, bool hasCaption, const QRect& item,
                               QRect* caption) const {
    const int w = size.width(), h = size.height();
    QPoint at(item.left() + (item.width() - w) / 2, item.top() + (item.height() - h) / 2);
    if (!hasCaption) return at;
    const bool beside = align & 2, first = align & 1;
    constexpr int kMargin = 4, kGap = 2;
    if (beside && first) {
        at.setX(item.left() + kMargin);
        caption->setLeft(at.x() + w + kGap);
    } else if (beside) {
        at.setX(item.right() + 1 - kMargin - w);
        caption->setRight(at.x() - 1 - kGap);
    } else if (first) {
        at.setY(item.top() + kMargin);
        caption->setTop(at.y() + h + kGap);
    } else {
        at.setY(item.bottom() + 1 - kMargin - h);
        caption->setBottom(at.y() - 1 - kGap);
    }
    return at;
}

void CSkinButton::DrawTheIcon(QPainter& p, bool hasCaption, const QRect& item, QRect* caption,
                              bool pressed, bool disabled) {
    const bool useOut = iconOut_ && !pressed && !pointerIn_;
    const QImage& icon = useOut ? *iconOut_ : iconIn_;
    QPoint at = PlaceImage(icon.size(), iconAlign_, hasCaption, item, caption);
    if (pressed) at += pressedOffset_;
    p.drawImage(at, disabled ? GreyscaleCopy(icon) : icon);
}

void CSkinButton::DrawTheBitmap(QPainter& p, bool hasCaption, const QRect& item, QRect* caption,
                                bool pressed, bool) {
    const bool useOut = bitmapOut_ && !pressed && !pointerIn_;
    const QImage& bitmap = useOut ? *bitmapOut_ : bitmapIn_;
    QPoint at = PlaceImage(bitmap.size(), bitmapAlign_, hasCaption, item, caption);
    if (pressed) at += pressedOffset_;
    p.drawImage(at, bitmap);  // the alpha channel is the mask
}

void CSkinButton::DrawTheText(QPainter& p, const QString& text, const QRect& caption, bool pressed,
                              bool disabled) {
    QRect r = caption;
    if (pressed && !checkBox_) r.translate(pressedOffset_);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    if (disabled) {
        p.setPen(palette().color(QPalette::Light));
        p.drawText(r.translated(1, 1), flags, text);
        p.setPen(palette().color(QPalette::Dark));
    } else {
        p.setPen(platform::ui::ToQColor(CurrentTextColor()));
    }
    p.drawText(r, flags, text);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    const bool pressed = Pressed();
    const bool focus = hasFocus();
    const bool disabled = !isEnabled();
    if (!flat_ && (focus || default_)) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (transparent_) {
        if (background_.isNull() && parentWidget()) {
            // The parent's own drawing under the button, without its children (this button
            // among them).
            background_ = QPixmap(size());
            background_.fill(Qt::transparent);
            parentWidget()->render(&background_, QPoint(), QRegion(geometry()),
                                   QWidget::DrawWindowBackground);
        }
        p.drawPixmap(r, background_, r);
    } else {
        OnDrawBackground(p, r);
    }
    const QPalette& pal = palette();
    if (!pressed && !flat_) {
        // A raised edge: light outside and lighter inside at the top left, the darkest
        // shadow outside and the shadow inside at the bottom right.
        const QRect in = r.adjusted(1, 1, -1, -1);
        p.setPen(pal.color(QPalette::Shadow));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
        p.drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(in.bottomLeft(), in.bottomRight());
        p.drawLine(in.topRight(), in.bottomRight());
        p.setPen(pal.color(QPalette::Midlight));
        p.drawLine(in.topLeft(), in.topRight() - QPoint(1, 0));
        p.drawLine(in.topLeft(), in.bottomLeft() - QPoint(0, 1));
    } else if (!pressed && flat_ && pointerIn_ && drawBorder_) {
        OnDrawBorder(p, r);
    } else if (pressed && flat_ && drawBorder_) {
        OnDrawBorder(p, r);
    } else if (pressed && !flat_) {
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    const QString caption = text();
    const bool hasCaption = !caption.isEmpty();
    QRect captionRect = r;
    if (!iconIn_.isNull()) DrawTheIcon(p, hasCaption, r, &captionRect, pressed, disabled);
    if (!bitmapIn_.isNull()) DrawTheBitmap(p, hasCaption, r, &captionRect, pressed, disabled);
    if (hasCaption) DrawTheText(p, caption, captionRect, pressed, disabled);
    if (focus && !flat_) {
        p.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void CSkinButton::Track(const QPoint& pos) {
    if (!flat_) return;
    if (!rect().contains(pos)) {
        ClearPointer();
        return;
    }
    if (pointerIn_ || !(alwaysTrack_ || isActiveWindow())) return;
    pointerIn_ = true;
    update();
    Play(enterSound_, kSndNoStop);
}

void CSkinButton::ClearPointer() {
    if (!pointerIn_) return;
    pointerIn_ = false;
    update();
}

void CSkinButton::enterEvent(QEnterEvent* e) {
    Track(e->position().toPoint());
    QAbstractButton::enterEvent(e);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* e) {
    Track(e->position().toPoint());
    QAbstractButton::mouseMoveEvent(e);
}

void CSkinButton::leaveEvent(QEvent* e) {
    ClearPointer();
    QAbstractButton::leaveEvent(e);
}

void CSkinButton::focusOutEvent(QFocusEvent* e) {
    // Qt moves the focus off a widget it disables before telling it of the change.
    if (!isEnabled()) focusLost_ = true;
    ClearPointer();
    QAbstractButton::focusOutEvent(e);
}

void CSkinButton::HandFocusOn() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    // The next item of the parent that takes the focus by the tab key, else the parent.
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w != parent && parent->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(parent) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    parent->setFocus(Qt::OtherFocusReason);
}

void CSkinButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled()) {
        ClearPointer();
        // Only a button that held the focus gives it on: a disabled button cannot keep it,
        // and nobody else's focus is taken.
        QWidget* focused = QApplication::focusWidget();
        if (focused == this || focusLost_) HandFocusOn();
        focusLost_ = false;
    } else if (e->type() == QEvent::ActivationChange && !isActiveWindow()) {
        ClearPointer();
    } else if (e->type() == QEvent::PaletteChange) {
        // The system colours (or the parent's) changed, and the parent's background with them.
        DropBackground();
    }
    QAbstractButton::changeEvent(e);
}

}  // namespace hqlv::framework
