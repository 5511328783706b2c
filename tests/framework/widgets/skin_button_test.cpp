// The skinned button in a window: its sounds through the recording audio double, the
// pointer tracking that waits for an active window, the transparent mode over the parent's
// own drawing, the default-button frame and dialog code, the focus hand-off when it is
// disabled, its cursor, the image alignments, icon resources and the menu callback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <filesystem>
#include <fstream>

#include "framework/app/shared_utils.h"
#include "framework/widgets/skin_button.h"
#include "platform/core/audio.h"
#include "platform/core/message.h"
#include "platform/ui/cursor.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::SharedQtApp;

void SaveShot(const QImage& img, const char* name) {
    EXPECT_TRUE(img.save(QString(HQLV_BUILD_DIR) + "/" + name));
}

QImage Filled(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// A window with the button, shown and active; the recording double takes the sounds.
class ButtonWindow : public ::testing::Test {
protected:
    void SetUp() override {
        previous = platform::installAudio(audio);
        window.resize(200, 100);
        button = new CSkinButton(&window);
        button->setGeometry(40, 30, 60, 24);
        button->setText("OK");
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override { platform::installAudio(previous); }
    std::vector<platform::RecordingAudio::Call> Sounds() {
        std::vector<platform::RecordingAudio::Call> out;
        for (const auto& c : audio->calls())
            if (c.kind == platform::RecordingAudio::Kind::kWaveFile ||
                c.kind == platform::RecordingAudio::Kind::kWaveBytes)
                out.push_back(c);
        return out;
    }
    struct AppFirst {
        AppFirst() { SharedQtApp(); }
    } appFirst;
    std::shared_ptr<platform::RecordingAudio> audio = std::make_shared<platform::RecordingAudio>();
    std::shared_ptr<platform::Audio> previous;
    QWidget window;
    CSkinButton* button = nullptr;
};

TEST_F(ButtonWindow, OneEnterSoundPerEntryAndOneClickSoundPerClick) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("skin-button-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    { std::ofstream(dir / "7.wav", std::ios::binary) << "RIFF-click"; }
    SetResourceSoundFolder(dir.string());
    button->SetSound("sound/enter.wav", kSndAsync, false);
    button->SetSoundResource(7, kSndAsync, true);
    for (int entry = 0; entry < 2; ++entry) {
        QTest::mouseMove(&window, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(10, 10));
        QTest::mouseMove(button, QPoint(20, 12));  // moving inside is no new entry
        QTest::mouseMove(button, QPoint(30, 14));
        EXPECT_TRUE(button->pointerIn());
    }
    QTest::mouseMove(&window, QPoint(5, 5));
    EXPECT_FALSE(button->pointerIn());
    auto sounds = Sounds();
    ASSERT_EQ(sounds.size(), 2u);
    for (const auto& s : sounds) {
        EXPECT_EQ(s.kind, platform::RecordingAudio::Kind::kWaveFile);
        EXPECT_EQ(s.data, "sound/enter.wav");
        EXPECT_TRUE(s.options.noStop);  // an entry never cuts a sound off
        EXPECT_TRUE(s.options.async);
    }
    audio->clear();
    QTest::mouseMove(button, QPoint(10, 10));
    for (int i = 0; i < 3; ++i) QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    sounds = Sounds();
    ASSERT_EQ(sounds.size(), 4u);  // one entry, then three clicks
    EXPECT_EQ(sounds[0].data, "sound/enter.wav");
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(sounds[i].kind, platform::RecordingAudio::Kind::kWaveBytes);
        EXPECT_EQ(sounds[i].data, "RIFF-click");
        EXPECT_FALSE(sounds[i].options.noStop);
    }
    // Without sounds nothing plays; a resource number of 0 clears.
    audio->clear();
    button->SetSound("", 0, false);
    button->SetSoundResource(0, kSndAsync, true);
    QTest::mouseMove(&window, QPoint(5, 5));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(Sounds().empty());
    SetResourceSoundFolder("");
    std::filesystem::remove_all(dir);
}

TEST_F(ButtonWindow, NoHoverWhileTheWindowIsInactiveUnlessAlwaysTracking) {
    QWidget other;
    other.resize(50, 50);
    other.move(400, 400);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_FALSE(window.isActiveWindow());
    button->SetSound("enter.wav", kSndAsync, false);
    QTest::mouseMove(&window, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(10, 10));
    QTest::mouseMove(button, QPoint(12, 10));
    EXPECT_FALSE(button->pointerIn());
    EXPECT_TRUE(Sounds().empty());
    button->SetAlwaysTrack(true);
    QTest::mouseMove(button, QPoint(14, 10));
    EXPECT_TRUE(button->pointerIn());
    EXPECT_EQ(Sounds().size(), 1u);
    // Once the window is active again an ordinary button tracks as well; losing the
    // activation takes the hover away even from one that tracks always.
    button->SetAlwaysTrack(false);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(button->pointerIn());
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(button->pointerIn());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::mouseMove(button, QPoint(16, 10));
    EXPECT_TRUE(button->pointerIn());
    // A button that is not flat does not track at all.
    QTest::mouseMove(&window, QPoint(5, 5));
    button->SetFlat(false);
    QTest::mouseMove(button, QPoint(18, 10));
    EXPECT_FALSE(button->pointerIn());
}

// A parent that paints stripes of its own.
class Striped : public QWidget {
public:
    QColor a = QColor(200, 40, 40), b = QColor(40, 40, 200);

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int x = 0; x < width(); x += 4) p.fillRect(x, 0, 2, height(), x % 8 ? a : b);
        for (int x = 2; x < width(); x += 4) p.fillRect(x, 0, 2, height(), Qt::white);
    }
};

TEST(SkinButton, TransparentModeShowsTheParentsPixelsTakenOnce) {
    SharedQtApp();
    Striped parent;
    parent.resize(160, 60);
    auto* b = new CSkinButton(&parent);
    b->setGeometry(30, 10, 80, 30);
    b->SetColor(CSkinButton::kBkOut, 0x00FF00);  // green unless transparent
    b->setFocusPolicy(Qt::NoFocus);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QImage plain = parent.grab().toImage();
    EXPECT_EQ(plain.pixelColor(50, 20), QColor(0, 255, 0));
    b->DrawTransparent();
    const QImage shot = parent.grab().toImage();
    // The parent alone, to compare with.
    Striped alone;
    alone.resize(160, 60);
    const QImage bare = alone.grab().toImage();
    int same = 0, total = 0;
    for (int y = 11; y < 39; ++y)
        for (int x = 31; x < 109; ++x, ++total) same += shot.pixel(x, y) == bare.pixel(x, y);
    EXPECT_EQ(same, total);
    // With a caption the stripes stay around the text.
    b->setText("透明");
    b->SetColor(CSkinButton::kFgOut, 0x000000);
    const QImage captioned = parent.grab().toImage();
    SaveShot(captioned, "kit-skin-button-transparent.png");
    EXPECT_EQ(captioned.pixel(32, 12), bare.pixel(32, 12));
    EXPECT_EQ(captioned.pixel(106, 36), bare.pixel(106, 36));
    // The background is kept: new stripes show only once it is taken again.
    parent.a = QColor(250, 200, 0);
    parent.b = QColor(250, 200, 0);
    const QImage kept = parent.grab().toImage();
    EXPECT_NE(kept.pixel(32, 12), kept.pixel(28, 12)) << "the cache was taken again";
    EXPECT_EQ(kept.pixel(32, 12), bare.pixel(32, 12));
    b->DrawTransparent();
    const QImage fresh = parent.grab().toImage();
    EXPECT_EQ(fresh.pixelColor(32, 12), QColor(250, 200, 0));
}

// The background under a transparent button is taken again where the button stands now
// after a move or resize (a pane re-places its buttons at every resize), and after the
// colours change.
TEST(SkinButton, TransparentBackgroundTakenAgainAfterAMoveOrAColourChange) {
    SharedQtApp();
    Striped parent;
    parent.resize(160, 60);
    auto* b = new CSkinButton(&parent);
    b->setGeometry(30, 10, 80, 30);
    b->setFocusPolicy(Qt::NoFocus);
    b->DrawTransparent();
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    Striped alone;
    alone.resize(160, 60);
    auto matches = [&](const QImage& bare) {
        const QImage shot = parent.grab().toImage();
        const QRect g = b->geometry();
        int same = 0;
        for (int x = g.left() + 1; x < g.right(); ++x)
            same += shot.pixel(x, 20) == bare.pixel(x, 20);
        return same == g.width() - 2;
    };
    ASSERT_TRUE(matches(alone.grab().toImage()));
    // Two pixels on, the stripes under the button are the other way round.
    b->move(32, 10);
    EXPECT_TRUE(matches(alone.grab().toImage()));
    b->resize(86, 30);
    EXPECT_TRUE(matches(alone.grab().toImage()));
    // New system colours: the parent paints others, and the button shows them.
    parent.a = alone.a = QColor(250, 200, 0);
    parent.b = alone.b = QColor(0, 120, 0);
    const QPalette before = QApplication::palette();
    QPalette system = before;
    system.setColor(QPalette::Button, QColor(4, 5, 6));
    QApplication::setPalette(system);
    // The new colours reach the widgets from the event loop.
    const bool reached = QTest::qWaitFor(
        [&] { return b->palette().color(QPalette::Button) == QColor(4, 5, 6); }, 2000);
    const bool followed = matches(alone.grab().toImage());
    QApplication::setPalette(before);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return b->palette().color(QPalette::Button) == before.color(QPalette::Button); },
        2000));
    EXPECT_TRUE(reached);
    EXPECT_TRUE(followed);
    // The same when the parent's colours change.
    parent.a = alone.a = QColor(90, 0, 90);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    parent.setPalette(pal);
    EXPECT_TRUE(matches(alone.grab().toImage()));
}

TEST(SkinButton, ColourAtAnIndexOutsideTheSixIsNone) {
    SharedQtApp();
    CSkinButton b;
    ASSERT_EQ(b.SetColor(5, 0x123456), 0);
    EXPECT_EQ(b.color(5), 0x123456u);
    for (int bad : {-1, -7, 6, 11}) EXPECT_EQ(b.color(bad), 0u) << bad;
}

TEST(SkinButton, AnInactiveTooltipKeepsItsTextButDoesNotShow) {
    SharedQtApp();
    QWidget window;
    window.resize(120, 60);
    auto* b = new CSkinButton(&window);
    b->setGeometry(10, 10, 60, 24);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto help = [&] {
        QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(b, &e);
    };
    b->SetTooltipText("存入银子", false);
    EXPECT_FALSE(b->tooltipActive());
    EXPECT_EQ(b->toolTip(), "存入银子");
    help();
    QTest::qWait(50);
    EXPECT_FALSE(QToolTip::isVisible());
    b->SetTooltipText("存入银子", true);
    help();
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(QToolTip::text(), "存入银子");
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

// Made without a type, the button is what a template's plain push button (type 0) makes:
// no check box, not the default button, and a click checks nothing.
TEST(SkinButtonType, AButtonMadeWithoutATypeIsAPlainPushButton) {
    SharedQtApp();
    CSkinButton b;
    EXPECT_FALSE(b.checkBoxMode());
    EXPECT_FALSE(b.isDefaultButton());
    EXPECT_EQ(b.GetDlgCode(), CSkinButton::kDlgcUndefPushButton);
    b.resize(30, 20);
    b.click();
    EXPECT_FALSE(b.GetCheck());
    b.SubclassType(2);
    b.click();
    EXPECT_TRUE(b.GetCheck());  // the same click checks a check box
}

TEST(SkinButton, DefaultFrameAndDialogCode) {
    SharedQtApp();
    // The check bit (2) of the type makes a check box; the default push-button type (1)
    // makes the default button.
    const struct {
        uint32_t type;
        bool check, isDefault;
    } types[] = {{0, false, false},   {1, false, true},   {2, true, false}, {3, true, false},
                 {4, false, false},   {5, false, false},  {6, true, false}, {9, false, false},
                 {0x21, false, true}, {0x22, true, false}};
    for (const auto& t : types) {
        CSkinButton b;
        b.SubclassType(t.type);
        EXPECT_EQ(b.checkBoxMode(), t.check) << t.type;
        EXPECT_EQ(b.isDefaultButton(), t.isDefault) << t.type;
        EXPECT_EQ(b.GetDlgCode(), t.isDefault ? 0x10u : 0x20u) << t.type;
    }
    CSkinButton b;
    b.SubclassType(2);
    b.SetButtonStyle(1);  // a new style changes only the default flag
    EXPECT_TRUE(b.isDefaultButton());
    EXPECT_TRUE(b.checkBoxMode());
    b.SetButtonStyle(0x10001);
    EXPECT_TRUE(b.isDefaultButton());
    b.SetButtonStyle(0);
    EXPECT_FALSE(b.isDefaultButton());

    QWidget dialog;
    dialog.resize(120, 60);
    auto* ok = new CSkinButton(&dialog);
    ok->setGeometry(10, 10, 60, 24);
    ok->SetFlat(false);
    ok->setText("确定");
    QPalette pal = ok->palette();
    pal.setColor(QPalette::Light, QColor(255, 255, 255));
    pal.setColor(QPalette::Shadow, QColor(64, 64, 64));
    ok->setPalette(pal);
    ok->setFocusPolicy(Qt::NoFocus);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage normal = ok->grab().toImage();
    EXPECT_EQ(normal.pixelColor(0, 0), QColor(255, 255, 255));  // the raised edge
    EXPECT_EQ(normal.pixelColor(59, 23), QColor(64, 64, 64));
    for (int x = 3; x <= 56; ++x) EXPECT_NE(normal.pixelColor(x, 3), QColor(0, 0, 0)) << x;
    ok->SetButtonStyle(1);
    const QImage framed = ok->grab().toImage();
    SaveShot(framed.scaled(240, 96), "kit-skin-button-default.png");
    for (QPoint p : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 23), QPoint(59, 23), QPoint(30, 0)})
        EXPECT_EQ(framed.pixelColor(p), QColor(0, 0, 0)) << p.x() << "," << p.y();
    EXPECT_EQ(framed.pixelColor(1, 1), QColor(255, 255, 255));  // the edge one pixel in
    EXPECT_EQ(framed.pixelColor(58, 22), QColor(64, 64, 64));
    // The focus frames a button that is not the default one, with the dotted focus
    // rectangle 3 pixels in.
    ok->SetButtonStyle(0);
    ok->setFocusPolicy(Qt::StrongFocus);
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ok->SetColor(CSkinButton::kBkFocus, platform::ui::Rgb(0, 128, 255));
    EXPECT_NE(normal.pixelColor(10, 12), QColor(0, 128, 255));
    ok->setFocus();
    ASSERT_TRUE(ok->hasFocus());
    const QImage focused = ok->grab().toImage();
    EXPECT_EQ(focused.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(ok->CurrentBackground(), platform::ui::Rgb(0, 128, 255));  // the focus colour
    EXPECT_EQ(focused.pixelColor(10, 12), QColor(0, 128, 255));
    int dots = 0;
    for (int x = 3; x <= 56; ++x) dots += focused.pixelColor(x, 3) == QColor(0, 0, 0);
    EXPECT_GT(dots, 10);
    EXPECT_LT(dots, 54);  // dotted, not solid
    // Its left side stands in column 3, with nothing of it in column 4.
    int left = 0, inside = 0;
    for (int y = 5; y <= 18; ++y) {
        left += focused.pixelColor(3, y) == QColor(0, 0, 0);
        inside += focused.pixelColor(4, y) == QColor(0, 0, 0);
    }
    EXPECT_GT(left, 3);
    EXPECT_EQ(inside, 0);
    EXPECT_EQ(focused.pixelColor(1, 1), QColor(255, 255, 255));
    // A flat default button has no frame.
    ok->clearFocus();
    ok->SetButtonStyle(1);
    ok->SetFlat(true);
    const QImage flat = ok->grab().toImage();
    EXPECT_NE(flat.pixelColor(0, 0), QColor(0, 0, 0));
    for (int x = 0; x < 60; ++x) EXPECT_NE(flat.pixelColor(x, 3), QColor(0, 0, 0)) << x;
}

// A pressed button that is not flat (here a checked check box) has a one-pixel shadow
// frame instead of the raised edge.
TEST(SkinButton, PressedButtonThatIsNotFlatHasAShadowFrame) {
    SharedQtApp();
    QWidget dialog;
    dialog.resize(100, 40);
    auto* b = new CSkinButton(&dialog);
    b->setGeometry(0, 0, 60, 24);
    b->SetFlat(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->SubclassType(2);
    b->SetColor(CSkinButton::kBkIn, platform::ui::Rgb(250, 250, 250));
    QPalette pal = b->palette();
    pal.setColor(QPalette::Dark, QColor(10, 100, 10));
    b->setPalette(pal);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    b->SetCheck(true);
    const QImage img = b->grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(0, 12), QPoint(59, 12), QPoint(30, 23), QPoint(59, 23)})
        EXPECT_EQ(img.pixelColor(p), QColor(10, 100, 10)) << p.x() << "," << p.y();
    EXPECT_EQ(img.pixelColor(1, 12), QColor(250, 250, 250));
}

TEST(SkinButton, GreyCopyTurnsEveryPixelThatIsNotBlack) {
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(100, 200, 50, 255));
    img.setPixel(1, 0, qRgba(0, 0, 0, 255));
    img.setPixel(2, 0, qRgba(200, 0, 0, 128));
    const QImage grey = GreyscaleCopy(img);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(153, 153, 153, 255));
    EXPECT_EQ(grey.pixel(1, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(grey.pixel(2, 0), qRgba(59, 59, 59, 128));  // alpha kept
}

TEST(SkinButton, DisablingHandsTheFocusToTheNextItemOfItsParentOrTheParent) {
    SharedQtApp();
    QWidget top;
    top.resize(300, 100);
    auto* panel = new QWidget(&top);
    panel->setGeometry(0, 0, 150, 100);
    panel->setFocusPolicy(Qt::ClickFocus);
    auto* first = new CSkinButton(panel);
    first->setGeometry(5, 5, 40, 20);
    auto* second = new CSkinButton(panel);
    second->setGeometry(50, 5, 40, 20);
    auto* elsewhere = new QLineEdit(&top);
    elsewhere->setGeometry(160, 5, 100, 20);
    top.show();
    top.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&top));
    first->setFocus();
    ASSERT_TRUE(first->hasFocus());
    first->setEnabled(false);
    EXPECT_TRUE(second->hasFocus());
    // The last focusable item of the panel gives the focus to the panel, not to the edit
    // of the other part of the window.
    second->setEnabled(false);
    EXPECT_TRUE(panel->hasFocus());
    EXPECT_FALSE(elsewhere->hasFocus());
    // A button without the focus takes nobody's focus away.
    first->setEnabled(true);
    elsewhere->setFocus();
    first->setEnabled(false);
    EXPECT_TRUE(elsewhere->hasFocus());
}

TEST(SkinButton, OwnCursorOverTheButton) {
    SharedQtApp();
    CSkinButton b;
    QImage arrow = Filled(16, 16, Qt::transparent);
    for (int i = 0; i < 16; ++i) arrow.setPixelColor(i, i, Qt::black);
    b.SetBtnCursor(platform::ui::PictureCursor(arrow, QPoint(3, 4)));
    EXPECT_EQ(b.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(b.cursor().hotSpot(), QPoint(3, 4));
    EXPECT_EQ(b.cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              arrow.convertToFormat(QImage::Format_ARGB32));
    b.SetBtnCursor(std::nullopt);
    EXPECT_EQ(b.cursor().shape(), Qt::ArrowCursor);
    // A hot spot outside the picture is kept inside it; no picture is the arrow.
    EXPECT_EQ(platform::ui::PictureCursor(arrow, QPoint(40, -2)).hotSpot(), QPoint(15, 0));
    EXPECT_EQ(platform::ui::PictureCursor(QImage(), QPoint()).shape(), Qt::ArrowCursor);
}

// Where the red image lands for each alignment value beside a caption.
TEST(SkinButton, AlignmentValuesPlaceTheImageAgainstTheCaption) {
    SharedQtApp();
    CSkinButton b;
    b.resize(80, 50);
    b.setText("W");
    b.SetColor(CSkinButton::kBkOut, 0xFFFFFF);
    b.SetColor(CSkinButton::kFgOut, 0x000000);
    ASSERT_EQ(b.SetIcon(Filled(8, 8, Qt::red), std::nullopt), 0);
    EXPECT_EQ(b.iconAlign(), CSkinButton::kAlignLeft);
    EXPECT_EQ(b.bitmapAlign(), CSkinButton::kAlignLeft);
    auto redBox = [&] {
        const QImage img = b.grab().toImage();
        QRect box;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y) == QColor(Qt::red)) box |= QRect(x, y, 1, 1);
        return box;
    };
    const struct {
        int align;
        QRect box;
    } cases[] = {{CSkinButton::kAlignLeft, QRect(4, 21, 8, 8)},
                 {CSkinButton::kAlignRight, QRect(68, 21, 8, 8)},
                 {CSkinButton::kAlignAbove, QRect(36, 4, 8, 8)},
                 {CSkinButton::kAlignBelow, QRect(36, 38, 8, 8)}};
    for (const auto& c : cases) {
        ASSERT_TRUE(b.SetAlign(c.align, CSkinButton::kAlignLeft));
        EXPECT_EQ(redBox(), c.box) << c.align;
    }
    EXPECT_FALSE(b.SetAlign(4, 0));
    EXPECT_FALSE(b.SetAlign(0, -1));
    EXPECT_EQ(b.iconAlign(), CSkinButton::kAlignBelow);
    // Without a caption the image is centred whatever the value.
    b.setText("");
    EXPECT_EQ(redBox(), QRect(36, 21, 8, 8));
    // A bitmap follows its own value.
    ASSERT_EQ(b.SetIcon(QImage(), std::nullopt), 1);
    ASSERT_EQ(b.SetBitmaps(Filled(8, 8, Qt::red), std::nullopt), 0);
    b.setText("W");
    ASSERT_TRUE(b.SetAlign(CSkinButton::kAlignLeft, CSkinButton::kAlignRight));
    EXPECT_EQ(redBox(), QRect(68, 21, 8, 8));
    EXPECT_EQ(b.SetBitmaps(Filled(8, 8, Qt::red), QImage()), 1);
    EXPECT_EQ(redBox(), QRect());
}

TEST(SkinButton, IconResourcesWithTheOutIconOrAGreyCopy) {
    SharedQtApp();
    RegisterIconResource(501, Filled(10, 10, QColor(200, 0, 0)));
    RegisterIconResource(502, Filled(10, 10, QColor(0, 0, 200)));
    CSkinButton b;
    b.resize(30, 30);
    b.SetAlwaysTrack(true);
    auto centre = [&] { return b.grab().toImage().pixelColor(15, 15); };
    EXPECT_EQ(b.SetIconResource(501, 502), 0);
    EXPECT_EQ(centre(), QColor(0, 0, 200));  // pointer away: the out icon
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_EQ(centre(), QColor(200, 0, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_EQ(b.SetIconResource(501, CSkinButton::kGreyCopy), 0);
    const int g = GreyOf(platform::ui::Rgb(200, 0, 0));
    EXPECT_EQ(centre(), QColor(g, g, g));
    EXPECT_EQ(b.SetIconResource(501, 0), 0);
    EXPECT_EQ(centre(), QColor(200, 0, 0));
    // A missing icon drops both.
    const QColor face = b.grab().toImage().pixelColor(1, 1);
    EXPECT_EQ(b.SetIconResource(501, 503), 1);
    EXPECT_EQ(centre(), face);
    EXPECT_EQ(b.SetIconResource(503, 0), 1);
    EXPECT_EQ(centre(), face);
    RegisterIconResource(501, QImage());
    EXPECT_TRUE(FindIconResource(501).isNull());
    EXPECT_FALSE(FindIconResource(502).isNull());
    RegisterIconResource(502, QImage());
}

TEST(SkinButton, MenuCallbackComesBeforeTheMenuShows) {
    SharedQtApp();
    QMenu menu;
    menu.addAction("x")->setData(77);
    struct Seen {
        uint32_t id = 0;
        uintptr_t w = 0;
        intptr_t l = 0;
        bool menuVisible = true;
    } seen;
    std::vector<uintptr_t> commands;
    platform::FunctionTarget callback([&](const platform::Message& m) {
        seen = {m.id, m.w, m.l, menu.isVisible()};
        // The owner adjusts the menu before it shows: one more command.
        menu.addAction("added")->setData(88);
        return intptr_t(0);
    });
    platform::FunctionTarget owner([&](const platform::Message& m) {
        if (m.id == kMsgCommand) commands.push_back(m.w);
        return intptr_t(0);
    });
    callback.attach(platform::ui::uiDispatcher());
    owner.attach(platform::ui::uiDispatcher());
    CSkinButton b;
    b.SetMenu(&menu, owner.handle());
    b.SetMenuCallback(callback.handle(), 0x8123, 42);
    QTimer::singleShot(50, [&] {
        for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
            QKeyEvent key(QEvent::KeyPress, k, Qt::NoModifier);
            QApplication::sendEvent(&menu, &key);
        }
    });
    b.click();
    EXPECT_EQ(seen.id, 0x8123u);
    EXPECT_EQ(seen.w, reinterpret_cast<uintptr_t>(&menu));
    EXPECT_EQ(seen.l, 42);
    EXPECT_FALSE(seen.menuVisible);
    for (int i = 0; i < 200 && commands.empty(); ++i) platform::ui::processUiEvents(5);
    EXPECT_EQ(commands, std::vector<uintptr_t>{88});
    // A menu closed without a choice sends no command.
    QTimer::singleShot(50, [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&menu, &key);
    });
    b.click();
    EXPECT_FALSE(b.menuShown());
    platform::ui::processUiEvents(20);
    EXPECT_EQ(commands, std::vector<uintptr_t>{88});
}

}  // namespace
}  // namespace hqlv::framework
