#pragma once
// A picture of a window as it is shown now, and writing it to a PNG file.
#include <QImage>
#include <QWidget>

#include <string>

namespace hqlv::platform::ui {

QImage GrabWindow(QWidget* window);
// False when the window is missing or the file cannot be written.
bool SaveWindowPng(QWidget* window, const std::string& path);

}  // namespace hqlv::platform::ui
