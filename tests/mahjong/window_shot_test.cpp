// The screenshot of the client: the main window as the platform grabs it, written as a JPEG
// of the window's size (top row first, colours kept), and the JPEG writer's messages shown
// in the platform's message box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
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

TEST_F(WindowShot, TheJpegHasTheWindowsSizeAndItsPicture) {
    Painted window;
    window.resize(161, 97);
    const std::string path = TempPath("a.jpg");
    ASSERT_TRUE(SaveWindowJpeg(&window, path, 75));
    QImage jpeg(QString::fromStdString(path));
    std::remove(path.c_str());
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(jpeg.size(), QSize(161, 97));
    const QColor top = jpeg.pixelColor(20, 10), bottom = jpeg.pixelColor(20, 85),
                 right = jpeg.pixelColor(150, 48);
    EXPECT_GT(top.red(), 200);
    EXPECT_LT(top.blue(), 60);
    EXPECT_GT(bottom.blue(), 200);
    EXPECT_LT(bottom.red(), 60);
    EXPECT_GT(right.green(), 200);
    EXPECT_LT(right.red(), 60);
}

TEST_F(WindowShot, NoWindowWritesNothing) {
    const std::string path = TempPath("none.jpg");
    EXPECT_FALSE(SaveWindowJpeg(nullptr, path, 75));
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
    EXPECT_FALSE(SaveWindowJpeg(&window, path, 75));
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
