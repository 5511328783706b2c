#pragma once
// Pictures of what the display shows: a window as it is shown now, and the whole primary
// screen; writing a window's picture to a PNG file.
#include <QImage>
#include <QScreen>
#include <QWidget>

#include <string>

namespace hqlv::platform::ui {

QImage GrabWindow(QWidget* window);
// False when the window is missing or the file cannot be written.
bool SaveWindowPng(QWidget* window, const std::string& path);
// The primary screen at its size: read back from the display where the platform can; where
// it cannot (a display with no frame buffer to read), the program's visible top-level
// windows drawn where they stand on a black screen. Null without a screen.
QImage GrabScreen();
// What GrabScreen makes of a screen's read-back picture: the picture when there is one,
// else the screen's picture drawn from the program's visible top-level windows on it.
QImage ScreenOrWindows(const QImage& readBack, QScreen* screen);

}  // namespace hqlv::platform::ui
