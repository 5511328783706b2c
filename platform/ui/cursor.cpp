#include "platform/ui/cursor.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPixmap>

#include <algorithm>

namespace hqlv::platform::ui {
namespace {
int g_depth = 0;  // UI thread only

Qt::CursorShape toQt(CursorShape s) {
    switch (s) {
        case CursorShape::kHand:
            return Qt::PointingHandCursor;
        case CursorShape::kWait:
            return Qt::WaitCursor;
        case CursorShape::kIBeam:
            return Qt::IBeamCursor;
        case CursorShape::kSizeWE:
            return Qt::SizeHorCursor;
        case CursorShape::kSizeNS:
            return Qt::SizeVerCursor;
        case CursorShape::kSizeAll:
            return Qt::SizeAllCursor;
        case CursorShape::kArrow:
            break;
    }
    return Qt::ArrowCursor;
}
}  // namespace

void SetWindowCursor(QWidget* window, CursorShape shape) {
    if (window) window->setCursor(QCursor(toQt(shape)));
}

void SetWindowCursorImage(QWidget* window, const uint32_t* pixels, int width, int height, int hotX,
                          int hotY) {
    // A hot spot on the picture also means the picture has a size.
    if (!window || !pixels || hotX < 0 || hotY < 0 || hotX >= width || hotY >= height) return;
    // The picture is copied: the cursor outlives the caller's pixels.
    const QImage image = QImage(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                                QImage::Format_ARGB32)
                             .copy();
    window->setCursor(PictureCursor(image, QPoint(hotX, hotY)));
}

QCursor PictureCursor(const QImage& picture, QPoint hotSpot) {
    if (picture.isNull()) return QCursor(Qt::ArrowCursor);
    const int x = std::clamp(hotSpot.x(), 0, picture.width() - 1);
    const int y = std::clamp(hotSpot.y(), 0, picture.height() - 1);
    return QCursor(QPixmap::fromImage(picture), x, y);
}

WaitCursor::WaitCursor() {
    ++g_depth;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
    --g_depth;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

int WaitCursor::depth() {
    return g_depth;
}

}  // namespace hqlv::platform::ui
