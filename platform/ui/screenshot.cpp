#include "platform/ui/screenshot.h"

#include <QPixmap>

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

}  // namespace hqlv::platform::ui
