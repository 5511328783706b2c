// The screenshot of the client: a picture written as a JPEG of its size (top row first,
// colours kept), the whole primary screen with the client's window where it stands, and the
// JPEG writer's messages shown in the platform's message box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cstdio>
#include <string>
#include <vector>

#include "imaging/screenshot.h"
#include "mahjong/app/mj_app.h"
#include "platform/core/diag.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

// A window red in its top half and blue below, green in its right quarter.
class Painted : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(0, 0, width(), height() / 2, QColor(255, 0, 0));
        p.fillRect(0, height() / 2, width(), height() - height() / 2, QColor(0, 0, 255));
        p.fillRect(width() * 3 / 4, 0, width() - width() * 3 / 4, height(), QColor(0, 255, 0));
    }
};

class WindowShot : public ::testing::Test {
protected:
    void SetUp() override { framework::testing::SharedQtApp(); }
};

std::string TempPath(const char* name) {
    return "/tmp/hqlv-window-shot-" + std::to_string(getpid()) + "-" + name;
}

// The colours where the painted window's top half, bottom half and right quarter lie, at
// its top-left (x, y) in a picture.
void ExpectPainted(const QImage& jpeg, int x, int y) {
    const QColor top = jpeg.pixelColor(x + 20, y + 10), bottom = jpeg.pixelColor(x + 20, y + 85),
                 right = jpeg.pixelColor(x + 150, y + 48);
    EXPECT_GT(top.red(), 200);
    EXPECT_LT(top.blue(), 60);
    EXPECT_GT(bottom.blue(), 200);
    EXPECT_LT(bottom.red(), 60);
    EXPECT_GT(right.green(), 200);
    EXPECT_LT(right.red(), 60);
}

TEST_F(WindowShot, TheJpegHasThePicturesSizeAndItsColours) {
    Painted window;
    window.resize(161, 97);
    const std::string path = TempPath("a.jpg");
    ASSERT_TRUE(SaveImageJpeg(window.grab().toImage(), path, 75));
    QImage jpeg(QString::fromStdString(path));
    std::remove(path.c_str());
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(jpeg.size(), QSize(161, 97));
    ExpectPainted(jpeg, 0, 0);
}

// A window that is not shown, all white, where the screenshot must not show it.
class White : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

TEST_F(WindowShot, TheScreenShotIsTheWholeScreenWithTheWindowWhereItStands) {
    Painted window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(30, 40, 161, 97);
    window.show();
    White hidden;
    hidden.setGeometry(300, 300, 80, 60);
    hidden.show();
    hidden.hide();
    QApplication::processEvents();
    const std::string path = TempPath("screen.jpg");
    ASSERT_TRUE(SaveScreenJpeg(path, 75));
    QImage jpeg(QString::fromStdString(path));
    std::remove(path.c_str());
    ASSERT_FALSE(jpeg.isNull());
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(jpeg.size(), screen->geometry().size());
    EXPECT_GT(jpeg.width(), window.width());
    const QPoint at = window.geometry().topLeft() - screen->geometry().topLeft();
    ExpectPainted(jpeg, at.x(), at.y());
    // Outside the window the screen shows no part of it, nor of the hidden one.
    const QColor outside = jpeg.pixelColor(at.x() + 161 + 10, at.y() + 10);
    EXPECT_LT(outside.red(), 200);
    const QColor notShown = jpeg.pixelColor(340, 330);
    EXPECT_FALSE(notShown.red() > 200 && notShown.green() > 200 && notShown.blue() > 200);
}

TEST_F(WindowShot, NoPictureWritesNothing) {
    const std::string path = TempPath("none.jpg");
    EXPECT_FALSE(SaveImageJpeg(QImage(), path, 75));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST_F(WindowShot, AFileThatCannotBeOpenedIsToldInABox) {
    std::vector<std::string> lines;
    platform::DiagSink before =
        platform::setDiagSink([&](std::string_view l) { lines.emplace_back(l); });
    ShowJpegMessagesInBoxes("HqLv");
    Painted window;
    window.resize(20, 20);
    const std::string path = "/nonexistent-hqlv-folder/shot.jpg";
    EXPECT_FALSE(SaveImageJpeg(window.grab().toImage(), path, 75));
    imaging::JpegFile::SetMessageHandler({});
    platform::setDiagSink(before);
    // The box (headless: its line) carries the writer's text with the path.
    bool shown = false;
    for (const std::string& l : lines)
        shown |= l == "message box: JpegFile :\nCan't open " + path + "\n";
    EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace hqlv::mahjong
