// The error box: the system's text for the last error in a box captioned "错误" on the host,
// and the text layout's report when no face can be found.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "engine/core/engine_log.h"
#include "engine/core/game_base.h"
#include "engine/render/plane.h"
#include "engine/render/text_layout.h"
#include "log_capture.h"
#include "recording_host.h"
#include "temp_folder.h"

namespace hqlv::engine {
namespace {

std::string NoFace(std::string_view) {
    return "";
}
std::string SomeFace(std::string_view) {
    return "/fonts/face.ttf";
}

std::string Expected(int error) {
    return std::string("字体创建 由于以下错误而失败: ") + std::strerror(error);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ErrorBox, TheLastErrorsTextGoesThroughTheHook) {
    std::vector<std::pair<std::string, std::string>> shown;
    ErrorBoxHook old = SetErrorBoxHook([&](const std::string& text, const std::string& caption) {
        shown.emplace_back(text, caption);
    });
    errno = EACCES;
    ShowLastError("字体创建");
    errno = ENOENT;
    ShowLastError("");
    SetErrorBoxHook(std::move(old));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, Expected(EACCES));
    EXPECT_EQ(shown[0].second, "错误");
    EXPECT_EQ(shown[1].first, std::string(" 由于以下错误而失败: ") + std::strerror(ENOENT));
}

TEST(ErrorBox, AHostedEngineShowsItWithTheErrorIconAndGivesTheHookBack) {
    test::RecordingHost host;
    ErrorBoxHook before = SetErrorBoxHook(nullptr);
    {
        GameBase scene;
        scene.SetHost(&host);
        errno = EIO;
        ShowLastError("x");
        scene.SetHost(nullptr);
        errno = EIO;
        ShowLastError("x");  // no host any more: nothing reaches it
    }
    ErrorBoxHook after = SetErrorBoxHook(std::move(before));
    EXPECT_FALSE(after);
    ASSERT_EQ(host.errorBoxes.size(), 1u);
    EXPECT_EQ(host.errorBoxes[0].first, std::string("x 由于以下错误而失败: ") + std::strerror(EIO));
    EXPECT_EQ(host.errorBoxes[0].second, "错误");
    EXPECT_TRUE(host.boxes.empty());
}

TEST(ErrorBox, WithoutAFaceOneBoxAndOneLogLineUntilAFaceIsFoundAgain) {
    test::LogCapture log;
    test::RecordingHost host;
    GameBase scene;
    scene.SetHost(&host);
    FaceFileLookup old = SetFaceFileLookup(&NoFace);
    TextLayout a, b;
    a.Init();
    b.Init();
    // A plane without a layout of its own draws through a fresh one each time.
    PlaneEntity plane;
    plane.Create(40, 20, 0xFF00FF);
    plane.DrawText(0, 0, "字");
    plane.DrawText(0, 0, "字");
    EXPECT_EQ(host.errorBoxes,
              (std::vector<std::pair<std::string, std::string>>{{Expected(ENOENT), "错误"}}));
    EXPECT_EQ(Count(log.text(), "字体创建错误，m_hBitmap==NULL||m_data==NULL"), 1u);
    // The faces come back and go again: told once more.
    SetFaceFileLookup(&SomeFace);
    a.Init();
    EXPECT_EQ(host.errorBoxes.size(), 1u);
    SetFaceFileLookup(&NoFace);
    a.Init();
    a.Init();
    SetFaceFileLookup(old);
    a.Init();
    EXPECT_EQ(host.errorBoxes.size(), 2u);
    EXPECT_EQ(Count(log.text(), "字体创建错误"), 2u);
    scene.SetHost(nullptr);
}

// Prints each error box, so the death test below sees what the child showed.
struct PrintingHost : test::RecordingHost {
    void ShowErrorBox(std::string_view text, std::string_view caption) override {
        std::fprintf(stderr, "ERRORBOX[%.*s|%.*s]\n", int(text.size()), text.data(),
                     int(caption.size()), caption.data());
        RecordingHost::ShowErrorBox(text, caption);
    }
};

TEST(ErrorBox, FontconfigPointedAtAnEmptyFolderFindsNoFace) {
    // A process of its own: fontconfig reads its configuration once per process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempFolder dir;
    const std::string conf = dir / "fonts.conf";
    std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << dir.path()
                        << "/none</dir><cachedir>" << dir.path()
                        << "/cache</cachedir></fontconfig>\n";
    EXPECT_EXIT(
        {
            setenv("FONTCONFIG_FILE", conf.c_str(), 1);
            PrintingHost host;
            GameBase scene;
            scene.SetHost(&host);
            TextLayout layout;
            layout.Init();
            layout.Init();
            std::fflush(stderr);
            std::_Exit(host.errorBoxes.size() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "ERRORBOX\\[字体创建 由于以下错误而失败: [^]]+\\|错误\\]");
}

}  // namespace
}  // namespace hqlv::engine
