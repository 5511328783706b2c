// The engine hosted in a Qt window as the table view will host it: a 1024 × 768 window
// whose 1 ms frame timer drives an 800 × 600 scene, painted stretched to the window. The
// picture is saved as engine_host.png in the build folder and checked at known points.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "engine/core/clock.h"
#include "engine/core/controls.h"
#include "engine/core/engine_host.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"
#include "platform/ui/screenshot.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_engine_ui";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: Qt's input devices must not outlive it at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The host view: frame timer, paint at device size.
class HostView : public QWidget, public EngineHost {
public:
    explicit HostView(GameBase& engine) : engine_(engine) {
        resize(1024, 768);
        setAttribute(Qt::WA_OpaquePaintEvent);
        engine_.SetHost(this);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (engine_.Tick() >= 0) update();
        });
    }
    void Start() { timer_.start(1); }

    bool IsMainWindowVisible() override { return isVisible(); }
    void SetCursorById(uint32_t) override {}
    void SetCursorPos(int, int) override {}
    void Quit() override {}
    void ChatLine(std::string_view) override {}
    void StopTimers() override { timer_.stop(); }
    void ShowMessageBox(std::string_view, std::string_view) override {}
    void* CurrentApp() override { return nullptr; }
    void PresentFrame(const uint32_t* pixels, int width, int height) override {
        QImage frame(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                     QImage::Format_RGB32);
        QPainter(this).drawImage(rect(), frame);
    }

protected:
    void paintEvent(QPaintEvent*) override { engine_.PaintTo(); }

private:
    GameBase& engine_;
    QTimer timer_;
};

std::unique_ptr<EnginePicture> Gradient(int w, int h) {
    auto pic = test::SolidPicture(w, h, {0xFF000000});
    auto* px = reinterpret_cast<uint32_t*>(pic->ownedPixels.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] =
                0xFF000000u | uint32_t(x * 255 / w) << 16 | 0x6000u | uint32_t(y * 255 / h);
    pic->flags = 0;
    return pic;
}

TEST(EngineHost, AStretchedSceneInAWindow) {
    App();
    test::PictureTable pictures;
    pictures.Add(1, Gradient(800, 600));
    pictures.Add(2, test::SolidPicture(40, 60, {0xFFF4EED8}));
    pictures.Add(3, test::SolidPicture(40, 60, {0xFF2E7D5B}));
    pictures.Add(4, test::SolidPicture(120, 40, {0xFFC02020}));

    GameBase engine;
    HostView view(engine);
    engine.ResetSettings();
    engine.Init();
    engine.SetFixedLogicalSize(800, 600);
    view.show();
    engine.InitScreen(view.width(), view.height());
    Canvas& canvas = engine.GetKernel().GetCanvas();
    canvas.SetBackgroundImage(1, 0, 0, 800, 600, 1);
    for (int i = 0; i < 8; ++i) {
        engine.ShowEntity(engine.CreateImageEntity(1, 100 + i * 44, 500, 2, 0, 0, 0, 0, kNoColour),
                          true);
        engine.ShowEntity(engine.CreateImageEntity(2, 100 + i * 44, 430, 3, 0, 0, 0, 0, kNoColour),
                          true);
    }
    ImageEntity* turned = engine.CreateImageEntity(2, 650, 200, 4, 0, 0, 0, 0, kNoColour);
    turned->SetRotation(30.0);
    engine.ShowEntity(turned, true);
    PlaneEntity* text = engine.CreatePlaneEntity(3, 250, 120, 360, 120, kNoColour);
    text->SetTextLayout(&GetResourceManager().GetTextLayout(), true);
    text->DrawText(0, 0, "<color=255;size=28>红色大字<color=65535;size=16;break>yellow small text");
    engine.ShowEntity(text, true);
    AdvButton* button = engine.CreateAdvancedButton(0, 0, 120, 300, 120, 40, true);
    button->SetBaseColor(0x00FF00, false);
    button->SetTextFitted("开始", 0, 0, true, 0);
    engine.ShowFloatingText("floating text", 1 | 8, 1000, 560, 330, 160, 60, 1, 2, 0);

    view.Start();
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 1500) App().processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(engine.Current(), GameBase::Buffer::Stretch);

    const std::string path = std::string(HQLV_BUILD_DIR) + "/engine_host.png";
    ASSERT_TRUE(platform::ui::SaveWindowPng(&view, path));
    QImage shot(QString::fromStdString(path));
    ASSERT_EQ(shot.size(), QSize(1024, 768));
    // The background at logical (10, 10) lies at window (13, 13): red 3, blue 4.
    const QColor bg = shot.pixelColor(13, 13);
    EXPECT_LE(bg.red(), 12);
    EXPECT_NEAR(bg.green(), 0x60, 3);
    // The button face left of its caption, at logical (70, 290): green at the alpha of 0.8.
    const QColor face = shot.pixelColor(70 * 1024 / 800, 290 * 768 / 600);
    EXPECT_GT(face.green(), 150);
    EXPECT_LT(face.red(), 120);
    // Some red glyph pixels of the large line inside the text plane.
    int red = 0;
    for (int y = 60 * 768 / 600; y < 90 * 768 / 600; ++y)
        for (int x = 70 * 1024 / 800; x < 250 * 1024 / 800; ++x) {
            const QColor c = shot.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_GT(red, 30);
    int yellow = 0;
    for (int y = 90 * 768 / 600; y < 106 * 768 / 600; ++y)
        for (int x = 70 * 1024 / 800; x < 250 * 1024 / 800; ++x) {
            const QColor c = shot.pixelColor(x, y);
            yellow += c.red() > 160 && c.green() > 160 && c.blue() < 100;
        }
    EXPECT_GT(yellow, 10);
    engine.Cleanup();
}

}  // namespace
}  // namespace hqlv::engine
