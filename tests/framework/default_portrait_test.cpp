// The player records' default portrait is the program's icon of a person (bitmap resource
// 151), the picture the build makes for the client; the request popup's own picture is
// bitmap resource 162. Both come through the one loader of the program's bitmaps.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "platform/core/files.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

// Pixels in one format, so that a picture compares by what it shows.
QImage Shown(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

struct FolderApp : CGameApp {
    std::string folder;
    explicit FolderApp(std::string f) : CGameApp("HqLv", 21303, 2, 1), folder(std::move(f)) {}
    std::string PortraitFolder() const override { return folder; }
};

class DefaultPortrait : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        portraits = dir.path().toStdString() + "/portrait/";
        ASSERT_TRUE(platform::makeFolders(portraits));
        ASSERT_TRUE(platform::writeFile(portraits + "8_0.bmp", "BM not a picture"));
        // A picture of the right name that is no bitmap at all.
        ASSERT_TRUE(platform::writeFile(portraits + "9_0.bmp", ""));
    }

    QTemporaryDir dir;
    std::string portraits;
};

// The build's icon 151 is the face of a player without a portrait file and of one whose file
// is broken or empty, in both list sizes; a good file is still its own picture.
TEST_F(DefaultPortrait, MissingAndBrokenPortraitsShowTheProgramsPlayerIcon) {
    const std::optional<QImage> icon = LoadProgramBitmap(kIconPlayer);
    ASSERT_TRUE(icon) << GetResourceBitmapPath(kIconPlayer);
    ASSERT_EQ(icon->size(), QSize(32, 32));
    QImage own(32, 32, QImage::Format_RGB32);
    own.fill(QColor(10, 200, 30));
    ASSERT_TRUE(own.save(QString::fromStdString(portraits + "4_0.bmp"), "BMP"));
    FolderApp app(portraits);
    const int missing = app.AddPortrait(3), broken = app.AddPortrait(8), empty = app.AddPortrait(9),
              good = app.AddPortrait(4);
    for (int index : {missing, broken, empty}) {
        SCOPED_TRACE(index);
        ASSERT_GE(index, 0);
        EXPECT_EQ(Shown(*app.GetPortraitImage(index, false)), Shown(*icon));
        EXPECT_EQ(Shown(*app.GetPortraitImage(index, true)),
                  Shown(icon->scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    }
    EXPECT_EQ(Shown(*app.GetPortraitImage(good, false)), Shown(own));
}

// Without the icon there is no picture to add: the portrait has no image (-1), is recorded so
// and is not tried again, and a later portrait still gets its place.
TEST_F(DefaultPortrait, WithoutTheIconAMissingPortraitHasNoImage) {
    const std::string empty = dir.path().toStdString() + "/nothing/";
    ASSERT_TRUE(platform::makeFolders(empty));
    SetResourceBitmapFolder(empty);
    FolderApp app(portraits);
    EXPECT_EQ(app.AddPortrait(3), -1);
    EXPECT_EQ(app.GetPortraitIndex(3), -1);
    EXPECT_EQ(app.GetPortraitImage(-1, false), nullptr);
#ifdef HQLV_BITMAP_DIR
    SetResourceBitmapFolder(HQLV_BITMAP_DIR);
#else
    SetResourceBitmapFolder("");
#endif
    EXPECT_EQ(app.AddPortrait(3), -1);  // recorded: not tried again
    EXPECT_EQ(app.AddPortrait(5), 0);   // the icon is back: the next one has the first place
}

TEST(ProgramBitmaps, PathsComeFromTheFolderGiven) {
    SetResourceBitmapFolder("/tmp/pictures");
    EXPECT_EQ(GetResourceBitmapPath(151), "/tmp/pictures/151.bmp");
    SetResourceBitmapFolder("/tmp/pictures/");
    EXPECT_EQ(GetResourceBitmapPath(162), "/tmp/pictures/162.bmp");
    SetResourceBitmapFolder("");
    EXPECT_EQ(GetResourceBitmapPath(7), platform::programFolder() + "resources/bitmap/7.bmp");
#ifdef HQLV_BITMAP_DIR
    SetResourceBitmapFolder(HQLV_BITMAP_DIR);
#endif
}

}  // namespace
}  // namespace hqlv::framework
