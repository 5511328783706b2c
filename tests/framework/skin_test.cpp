#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <array>
#include <cstdlib>
#include <functional>

#include "framework/app/paths.h"
#include "framework/app/skin_library.h"
#include "framework/app/skin_settings.h"
#include "framework/app/text_edge.h"
#include "framework/panes/form_view.h"
#include "netlib/crc32.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform_install.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

class Skins : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString() + "/";
        ini = root + "HqLv.ini";
        CSkinLibrary::instance().Unload();
    }
    void TearDown() override { CSkinLibrary::instance().Unload(); }
    std::string skin(const std::string& folder, const std::string& body) {
        std::string f = root + "skins/" + folder;
        platform::makeFolders(f);
        platform::writeFile(f + "/skin.ini", Utf8ToGbk(body));  // skin files are GBK
        return f + "/skin.ini";
    }
    QTemporaryDir dir;
    std::string root, ini;
};

TEST_F(Skins, NoSkinAtAllLeavesTheLayerAlone) {
    CSkinSettings s(ini, root);
    EXPECT_FALSE(s.Load());
    EXPECT_FALSE(s.HasSkin());
    EXPECT_FALSE(CSkinLibrary::instance().IsLoaded());
    EXPECT_EQ(s.GetBitmapResource("SplitterVerBK"), "");
    EXPECT_EQ(s.GetSplitterWidth(), 8);
    EXPECT_EQ(s.GetSplitterHeight(), 6);
    EXPECT_EQ(s.GetFrameColors(), (std::array<uint32_t, 4>{0, 0x808080, 0xC8D0D4, 0xFFFFFF}));
    s.Unload();  // nothing to remove
    EXPECT_FALSE(CSkinLibrary::instance().IsLoaded());
}

TEST_F(Skins, MissingConfiguredSkinFallsBackToSkinOneAndRewritesTheIni) {
    std::string first = skin("skin1", "[SKIN]\r\nName=经典\r\n");
    skin("blue", "[SKIN]\r\n");
    platform::makeFolders(root + "skins/empty");  // no skin.ini: not listed
    platform::writeProfileString("SKIN", "Path", (root + "skins/gone/skin.ini").c_str(), ini);
    CSkinSettings s(ini, root);
    EXPECT_TRUE(s.Load());
    EXPECT_EQ(s.GetSkinPath(), first);
    EXPECT_EQ(platform::profileString("SKIN", "Path", "", ini), first);
    EXPECT_TRUE(CSkinLibrary::instance().IsLoaded());
    ASSERT_EQ(s.skins().size(), 2u);
    EXPECT_EQ(s.GetCurrentSkinIndex(), 1);  // "blue" sorts before "skin1"
    EXPECT_EQ(s.GetSkinName(s.skins().at(0)), "方案");
    EXPECT_EQ(s.GetSkinName(first), "经典");
    std::string upper = first;
    for (auto& c : upper) c = char(toupper(c));
    EXPECT_TRUE(s.IsCurrentSkin(upper));
    s.SetSkinPath("/elsewhere/skin.ini");
    EXPECT_EQ(s.GetCurrentSkinIndex(), -1);
    s.Unload();
    EXPECT_FALSE(CSkinLibrary::instance().IsLoaded());
}

TEST_F(Skins, ValuesPicturesAndColours) {
    std::string path = skin("skin1",
                            "[SKIN]\r\nName=Red\r\n[BitmapResource]\r\nSplitterVerBK= ver.bmp \r\n"
                            "Broken=broken.bmp\r\nDlgBarBKLeftWidth=17\r\n[SPLITTER]\r\n"
                            "VerWidth=5\r\n[FRAMECOLOR]\r\nLeftIn=1 2 3\r\n[CommColors]\r\n"
                            "WaitBarfg=0 128 255\r\n[Colors]\r\n9=10 20 30\r\n");
    QImage ver(2, 3, QImage::Format_RGB32);
    ver.fill(QColor(1, 2, 3));
    ASSERT_TRUE(ver.save(QString::fromStdString(root + "skins/skin1/ver.bmp"), "BMP"));
    platform::writeFile(root + "skins/skin1/broken.bmp", "BMxx");
    CSkinSettings s(ini, root);
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.GetBitmapResource("SplitterVerBK"), root + "skins/skin1/ver.bmp");
    EXPECT_EQ(s.GetDlgBarLeftWidth(), 17);
    EXPECT_EQ(s.GetSplitterWidth(), 5);
    EXPECT_EQ(s.GetFrameColors()[0], 0x030201u);
    EXPECT_EQ(s.GetColor("CommColors", "WaitBarfg", 7), 16744448u);
    EXPECT_EQ(s.GetColor("CommColors", "WaitBarbg", 0x429473), 0x429473u);

    CSkinLibrary& lib = CSkinLibrary::instance();
    auto bmp = lib.GetBitmap("SplitterVerBK");
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->size(), QSize(2, 3));
    EXPECT_FALSE(lib.GetBitmap("Broken"));
    EXPECT_FALSE(lib.GetBitmap("SplitterHorBK"));
    EXPECT_EQ(lib.GetColor(9), std::optional<uint32_t>(0x1E140Au));
    EXPECT_FALSE(lib.GetColor(3));
    EXPECT_TRUE(lib.SwitchTo("red", 1));
    EXPECT_FALSE(lib.SwitchTo("blue", 1));
    (void)path;
}

TEST_F(Skins, SkinIconBesideTheDescription) {
    std::string blue = skin("blue", "[SKIN]\r\nName=Blue\r\n");
    std::string plain = skin("plain", "[SKIN]\r\n");
    std::string broken = skin("broken", "[SKIN]\r\n");
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(QColor(10, 200, 30));
    icon.setPixelColor(3, 5, QColor(250, 1, 2));
    // Spelt as on the system the skin was made on.
    ASSERT_TRUE(icon.save(QString::fromStdString(root + "skins/blue/Skin.ICO"), "ICO"));
    platform::writeFile(root + "skins/broken/skin.ico", std::string("\0\0\1\0\1\0", 6));
    CSkinSettings s(ini, root);
    QImage got = s.LoadSkinIcon(blue);
    ASSERT_FALSE(got.isNull());
    EXPECT_EQ(got.size(), QSize(16, 16));
    EXPECT_EQ(got.pixelColor(0, 0), QColor(10, 200, 30));
    EXPECT_EQ(got.pixelColor(3, 5), QColor(250, 1, 2));
    EXPECT_TRUE(s.LoadSkinIcon(plain).isNull());   // no icon
    EXPECT_TRUE(s.LoadSkinIcon(broken).isNull());  // a head without its pictures
    EXPECT_TRUE(s.LoadSkinIcon("").isNull());
}

// An icon larger than the 256 pixels of a classic icon entry (a PNG one) is loaded whole; one
// whose header claims a picture too large for memory is refused.
TEST_F(Skins, ALargeSkinIconLoadsAndAnImpossibleOneIsRefused) {
    auto icoWithPng = [](const QImage& picture) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        std::string f("\0\0\1\0\1\0", 6);
        const uint32_t size = uint32_t(png.size()), offset = 6 + 16;
        f += std::string("\0\0\0\0\1\0\x20\0", 8);  // 256 (0) by 256 (0), 32 bits
        for (uint32_t v : {size, offset})
            for (int b = 0; b < 4; ++b) f += char((v >> (8 * b)) & 0xFF);
        return f + png.toStdString();
    };
    std::string big = skin("big", "[SKIN]\r\n");
    QImage picture(300, 280, QImage::Format_ARGB32);
    picture.fill(QColor(40, 50, 60));
    ASSERT_TRUE(platform::writeFile(root + "skins/big/skin.ico", icoWithPng(picture)));
    CSkinSettings s(ini, root);
    QImage got = s.LoadSkinIcon(big);
    ASSERT_FALSE(got.isNull());
    EXPECT_EQ(got.size(), QSize(300, 280));
    EXPECT_EQ(got.pixelColor(299, 279), QColor(40, 50, 60));
    // A PNG head claiming 60000 by 60000 pixels.
    std::string huge = icoWithPng(QImage(1, 1, QImage::Format_ARGB32));
    const size_t ihdr = huge.find("IHDR");
    ASSERT_NE(ihdr, std::string::npos);
    for (size_t at : {ihdr + 4, ihdr + 8}) {
        huge[at] = 0;
        huge[at + 1] = 0;
        huge[at + 2] = char(0xEA);
        huge[at + 3] = char(0x60);
    }
    // The chunk's check sum over its type and its 13 bytes, so that only the size is wrong.
    const uint32_t crc = netlib::CYrnCrc32().Compute(huge.data() + ihdr, 4 + 13);
    for (int b = 0; b < 4; ++b) huge[ihdr + 17 + size_t(b)] = char((crc >> (8 * (3 - b))) & 0xFF);
    std::string hugeSkin = skin("huge", "[SKIN]\r\n");
    ASSERT_TRUE(platform::writeFile(root + "skins/huge/skin.ico", huge));
    EXPECT_TRUE(s.LoadSkinIcon(hugeSkin).isNull());
}

// The calls that tell the skin about windows change nothing on screen; each is counted and
// kept with its window and argument.
TEST(SkinLibraryCalls, EachCallIsCountedWithItsWindowAndArgument) {
    testing::SharedQtApp();
    using Call = CSkinLibrary::Call;
    CSkinLibrary& lib = CSkinLibrary::instance();
    QWidget window, dialog, button;
    QImage buffer(4, 4, QImage::Format_RGB32);
    std::array<int, CSkinLibrary::kCallKinds> before{};
    for (int k = 0; k < CSkinLibrary::kCallKinds; ++k) before[size_t(k)] = lib.CallCount(Call(k));
    const struct {
        std::function<void()> make;
        Call call;
        const void* window;
        intptr_t arg;
    } cases[] = {
        {[&] { lib.SkinWindow(&window, 0x80); }, Call::kSkinWindow, &window, 0x80},
        {[&] { lib.ReleasePane(&window); }, Call::kReleasePane, &window, 0},
        {[&] { lib.SetDialogEraseBkgnd(&dialog, 1); }, Call::kDialogEraseBkgnd, &dialog, 1},
        {[&] { lib.SkinControl(&button, 0); }, Call::kSkinControl, &button, 0},
        {[&] { lib.SetBackgroundDC(&window, buffer); }, Call::kBackgroundDC, &window,
         reinterpret_cast<intptr_t>(&buffer)},
    };
    for (const auto& c : cases) {
        c.make();
        for (int k = 0; k < CSkinLibrary::kCallKinds; ++k)
            EXPECT_EQ(lib.CallCount(Call(k)), before[size_t(k)] + (Call(k) == c.call ? 1 : 0))
                << int(c.call) << " " << k;
        ++before[size_t(c.call)];
        ASSERT_FALSE(lib.RecentCalls().empty());
        const CSkinLibrary::CallTrace& last = lib.RecentCalls().back();
        EXPECT_EQ(last.call, c.call);
        EXPECT_EQ(last.window, c.window);
        EXPECT_EQ(last.arg, c.arg);
    }
    // Removing the skin forgets no call.
    lib.Unload();
    EXPECT_EQ(lib.CallCount(Call::kSkinControl), before[size_t(Call::kSkinControl)]);
}

TEST(SkinLibraryCalls, OnlyTheLatestCallsAreKept) {
    testing::SharedQtApp();
    CSkinLibrary& lib = CSkinLibrary::instance();
    QWidget button;
    const int kept = int(CSkinLibrary::kRecentCalls);
    ASSERT_EQ(kept, 64);
    for (int i = 0; i < kept; ++i) lib.SkinControl(&button, 1000 + i);
    ASSERT_EQ(lib.RecentCalls().size(), size_t(kept));
    EXPECT_EQ(lib.RecentCalls().front().arg, 1000);
    lib.SkinControl(&button, 2000);
    ASSERT_EQ(lib.RecentCalls().size(), size_t(kept));
    EXPECT_EQ(lib.RecentCalls().front().arg, 1001);
    EXPECT_EQ(lib.RecentCalls().back().arg, 2000);
}

// A pane is let go just before it is hidden, never when it is shown.
TEST(SkinLibraryCalls, APaneIsLetGoOnlyWhenHidden) {
    testing::SharedQtApp();
    CSkinLibrary& lib = CSkinLibrary::instance();
    CGameFormView pane("pane");
    const int released = lib.CallCount(CSkinLibrary::Call::kReleasePane);
    pane.ShowPane(true);
    EXPECT_EQ(lib.CallCount(CSkinLibrary::Call::kReleasePane), released);
    pane.ShowPane(false);
    EXPECT_EQ(lib.CallCount(CSkinLibrary::Call::kReleasePane), released + 1);
    EXPECT_EQ(lib.RecentCalls().back().window, static_cast<const void*>(&pane));
    EXPECT_FALSE(pane.isVisible());
}

TEST(Paths, PlatformRootFromTheMachineFile) {
    QTemporaryDir dir;
    std::string sys = dir.path().toStdString() + "/sys";
    const testing::SystemFolderVariable variable(sys);
    EXPECT_EQ(GetInstallRoot(), "");
    platform::makeFolders(sys);
    platform::writeProfileString("SYSTEM", "ExePath", "C:\\Games\\Hall\\hall.exe",
                                 GetMachineFilePath());
    EXPECT_EQ(GetInstallRoot(), "C:/Games/Hall/");
    EXPECT_EQ(GetHallIniPath(), "C:/Games/Hall/GameHall.ini");
    EXPECT_EQ(GetUserDataFile(42), "C:/Games/Hall/users/42.dat");
    EXPECT_EQ(GetPortraitFolder(), "C:/Games/Hall/Share/Image/portrait/");
    std::string id = GetMachineID();
    EXPECT_FALSE(id.empty());
    EXPECT_LE(id.size(), 31u);
    EXPECT_EQ(GetMachineID(), id);  // stable: stored or from the same adapters
}

}  // namespace
}  // namespace hqlv::framework
