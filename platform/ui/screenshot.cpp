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
    if (!screen) return {};
    const QRect area = screen->geometry();
    if (area.isEmpty()) return {};
    // Window 0 is the whole screen (the desktop) on platforms that read the display back.
    QImage shot = screen->grabWindow(0).toImage();
    if (!shot.isNull()) return shot;
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
