// The picture of the whole screen: what the display reads back when it can, else the
// program's shown top-level windows drawn where they stand on a black screen of the screen's
// size (a hidden window stays out).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "platform/ui/screenshot.h"
#include "qt_env.h"

namespace hqlv::platform::ui {
namespace {

using testing::qtApp;

class Filled : public QWidget {
public:
    explicit Filled(QColor c) : colour_(c) { setWindowFlag(Qt::FramelessWindowHint); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};

TEST(ScreenShot, AReadBackPictureIsTakenAsItIs) {
    qtApp();
    QImage read(31, 17, QImage::Format_RGB32);
    read.fill(QColor(10, 20, 30));
    const QImage shot = ScreenOrWindows(read, QGuiApplication::primaryScreen());
    ASSERT_EQ(shot.size(), QSize(31, 17));
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(10, 20, 30));
}

TEST(ScreenShot, WithoutAReadBackTheShownWindowsStandOnABlackScreen) {
    qtApp();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    Filled red(QColor(255, 0, 0)), white(QColor(255, 255, 255));
    red.setGeometry(30, 40, 50, 20);
    red.show();
    white.setGeometry(200, 100, 40, 40);
    white.show();
    white.hide();
    QCoreApplication::processEvents();
    const QImage shot = ScreenOrWindows(QImage(), screen);
    ASSERT_EQ(shot.size(), screen->geometry().size());
    const QPoint at = red.geometry().topLeft() - screen->geometry().topLeft();
    EXPECT_EQ(QColor(shot.pixel(at.x() + 1, at.y() + 1)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(at.x() + 48, at.y() + 18)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(at.x() + 51, at.y() + 1)), QColor(0, 0, 0));
    // The hidden window is nowhere.
    EXPECT_EQ(QColor(shot.pixel(220, 120)), QColor(0, 0, 0));
}

TEST(ScreenShot, NoScreenNoPicture) {
    qtApp();
    EXPECT_TRUE(ScreenOrWindows(QImage(), nullptr).isNull());
    // The whole screen, as the platform gives it.
    EXPECT_EQ(GrabScreen().size(), QGuiApplication::primaryScreen()->geometry().size());
}

}  // namespace
}  // namespace hqlv::platform::ui
