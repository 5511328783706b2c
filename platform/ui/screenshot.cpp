#include "platform/ui/screenshot.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace hqlv::platform::ui {

QImage GrabWindow(QWidget* window) {
    if (!window) return {};
    return window->grab().toImage();
}

bool SaveWindowPng(QWidget* window, const std::string& path) {
    QImage img = GrabWindow(window);
    if (img.isNull()) return false;
    return img.save(QString::fromStdString(path), "PNG");
}

QImage GrabScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    // Window 0 is the whole screen (the desktop) on platforms that read the display back.
    return screen ? ScreenOrWindows(screen->grabWindow(0).toImage(), screen) : QImage();
}

QImage ScreenOrWindows(const QImage& readBack, QScreen* screen) {
    if (!readBack.isNull()) return readBack;
    const QRect area = screen ? screen->geometry() : QRect();
    if (area.isEmpty()) return {};
    QImage composed(area.size(), QImage::Format_RGB32);
    composed.fill(Qt::black);
    QPainter painter(&composed);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->screen() != screen) continue;
        painter.drawPixmap(w->geometry().topLeft() - area.topLeft(), w->grab());
    }
    return composed;
}

}  // namespace hqlv::platform::ui
