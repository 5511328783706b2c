#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/game_base.h"
#include "engine/core/game_object.h"
#include "engine/core/resource_manager.h"
#include "engine/render/picture.h"
#include "picture_builders.h"
#include "platform/core/files.h"
#include "scene_fixture.h"
#include "temp_folder.h"

namespace hqlv::engine {
namespace {

EnginePicture Rgba(std::vector<uint32_t> px) {
    EnginePicture p;
    p.width = uint16_t(px.size());
    p.frameHeight = 1;
    p.frameCount = 1;
    p.ownedPixels.resize(px.size() * 4);
    std::memcpy(p.ownedPixels.data(), px.data(), px.size() * 4);
    p.pixels = p.ownedPixels.data();
    p.dataSize = uint32_t(p.ownedPixels.size());
    return p;
}

uint32_t Px(const EnginePicture& p, int i) {
    uint32_t v;
    std::memcpy(&v, p.pixels + i * 4, 4);
    return v;
}

TEST(KeyColour, RgbaPictureKeyBecomesTransparentOthersOpaque) {
    // Key COLORREF 0x00332211 is the pixel 0x112233.
    EnginePicture p = Rgba({0x00112233, 0x7F112233, 0x00445566, 0x80445566, 0x00332211});
    ApplyKeyColour(p, 0x00332211);
    EXPECT_EQ(p.flags, uint32_t(PIC_KEYED | PIC_ALPHA));
    EXPECT_EQ(p.key, 0x00332211u);
    const uint32_t want[] = {0x00112233, 0x00112233, 0xFF445566, 0x80445566, 0xFF332211};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Px(p, i), want[i]) << i;
}

TEST(KeyColour, MagentaLeavesThePictureUnchanged) {
    EnginePicture p = Rgba({0x00FF00FF, 0x00000000});
    ApplyKeyColour(p, kNoColour);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(Px(p, 0), 0x00FF00FFu);
    EXPECT_EQ(Px(p, 1), 0u);
}

TEST(KeyColour, ShortBufferIsNotReadPastItsEnd) {
    EnginePicture p = Rgba({0x00112233, 0x00112233});
    p.width = 8;  // claims more pixels than the buffer holds
    p.dataSize = 8;
    ApplyKeyColour(p, 0);
    EXPECT_EQ(Px(p, 0), 0xFF112233u);
    EXPECT_EQ(Px(p, 1), 0xFF112233u);
}

struct PalettePicture {
    EnginePicture p;
    explicit PalettePicture(bool pairs) {
        p.width = 4;
        p.frameHeight = 1;
        p.frameCount = 1;
        p.ownedPalette.assign(kPaletteBytes, 0);
        const uint8_t rgb[] = {0, 0, 0, 250, 10, 10, 10, 250, 10};
        std::memcpy(p.ownedPalette.data(), rgb, sizeof rgb);
        p.palette = p.ownedPalette.data();
        p.paletteEntries = 3;
        p.flags = PIC_OWN_PALETTE | (pairs ? uint32_t(PIC_ALPHA) : 0u);
        if (pairs)
            p.ownedPixels = {1, 0, 1, 200, 2, 0, 2, 77};
        else
            p.ownedPixels = {1, 2, 0, 1};
        p.pixels = p.ownedPixels.data();
        p.dataSize = uint32_t(p.ownedPixels.size());
    }
};

TEST(KeyColour, PalettePictureTakesTheNearestIndex) {
    PalettePicture single(false);
    ApplyKeyColour(single.p, 0x0000F0);  // red 240 → entry 1
    EXPECT_EQ(single.p.key, 1u);
    EXPECT_EQ(single.p.flags & (PIC_KEYED | PIC_ALPHA), uint32_t(PIC_KEYED));
    EXPECT_EQ(single.p.ownedPixels, (std::vector<uint8_t>{1, 2, 0, 1}));

    PalettePicture pairs(true);
    ApplyKeyColour(pairs.p, 0x00F000);  // green 240 → entry 2
    EXPECT_EQ(pairs.p.key, 2u);
    EXPECT_EQ(pairs.p.ownedPixels, (std::vector<uint8_t>{1, 255, 1, 200, 2, 0, 2, 0}));
}

TEST(ImageInfo, FrameWrapsAndMissingPictureIsAllZero) {
    auto pic = test::SolidPicture(10, 8, {1, 2, 3, 4});
    pic->resourceId = 7;
    const ImageInfo i = ImageInfoOf(pic.get(), 6);
    EXPECT_EQ(i.resourceId, 7u);
    EXPECT_EQ(i.sx, 0);
    EXPECT_EQ(i.sy, 16);  // frame 6 mod 4 = 2
    EXPECT_EQ(i.width, 10);
    EXPECT_EQ(i.height, 8);
    EXPECT_EQ(i.pixels, pic->pixels);
    pic->frameCount = 0;  // a count of 0 is one frame, not a division by zero
    EXPECT_EQ(ImageInfoOf(pic.get(), 5).sy, 0);
    const ImageInfo none = ImageInfoOf(nullptr, 3);
    EXPECT_EQ(none.resourceId, 0u);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.pixels, nullptr);
}

TEST(GameObjectMemory, LinkRecordAndGrownArray) {
    GameBase obj;
    uint32_t* link = obj.NewLinkRecord(0xABCD);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link[0] | link[1] | link[2], 0u);
    EXPECT_EQ(link[3], 0xABCDu);
    GetResourceManager().ReleaseMemRes(link);

    uint32_t count = 3;
    auto* a = static_cast<uint16_t*>(obj.NewMemBlock(count * 2));
    a[0] = 1, a[1] = 2, a[2] = 3;
    auto* b = static_cast<uint16_t*>(obj.GrowMemArray(a, 2, count, 0));
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(b[3] | b[4] | b[5], 0);
    auto* c = static_cast<uint16_t*>(obj.GrowMemArray(b, 2, count, 2));
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(c[1], 2);
    EXPECT_EQ(c[7], 0);
    GetResourceManager().ReleaseMemRes(c);
}

TEST(GameObjectResources, LoadByNameReusesTheAliasAndReleaseSkipsZeros) {
    GameBase obj;
    ResourceManager& rm = GetResourceManager();
    const uint32_t id = rm.LoadImage("pics/tile_a.png", "", ".imge", false, 0);
    ASSERT_NE(id, 0u);
    // Registered under the file's title: reused, nothing loads.
    EXPECT_EQ(obj.LoadImageByName("elsewhere/tile_a.bmp", "", 0), id);
    EXPECT_EQ(obj.LoadImageByName("x/y.png", "tile_a", 0), id);
    const size_t before = rm.GetResourceCount();
    const uint32_t ids[] = {0, id, 0};
    obj.ReleaseResources(ids, 0, 1);  // id lies outside [0, 1)
    EXPECT_EQ(rm.GetResourceCount(), before);
    obj.ReleaseResources(ids, 0, 3);
    EXPECT_EQ(rm.GetResourceCount(), before - 1);
    EXPECT_FALSE(rm.HasId(id));
}

TEST(GameObjectResources, LoadWithAKeyKeysThePictureWithoutOneLeavesIt) {
    test::TempFolder dir;
    dir.put("k.bmp", test::Bmp24(2, 1, {0x112233, 0x445566}));
    GameBase obj;
    ResourceManager& rm = GetResourceManager();
    const uint32_t keyed = obj.LoadImageResource(dir / "k.bmp", true, "keyed", 0x00332211, 0);
    ASSERT_NE(rm.GetPicture(keyed), nullptr);
    EXPECT_EQ(rm.GetPicture(keyed)->flags & PIC_KEYED, uint32_t(PIC_KEYED));
    EXPECT_EQ(Px(*rm.GetPicture(keyed), 0) >> 24, 0u);
    const uint32_t plain = obj.LoadImageResource(dir / "k.bmp", true, "plain", kNoColour, 0);
    ASSERT_NE(rm.GetPicture(plain), nullptr);
    EXPECT_EQ(rm.GetPicture(plain)->flags & PIC_KEYED, 0u);
}

TEST(GameObjectResources, GrowRefusesACountThatWraps) {
    GameBase obj;
    ResourceManager& rm = GetResourceManager();
    struct Case {
        uint32_t count, extra;
    } cases[] = {{0xFFFFFFFFu, 2}, {0x80000000u, 0}, {0x80000001u, 0x7FFFFFFFu}};
    for (const Case& c : cases) {
        void* a = obj.NewMemBlock(4);
        ASSERT_NE(a, nullptr);
        uint32_t count = c.count;
        void* b = obj.GrowMemArray(a, 1, count, c.extra);
        EXPECT_EQ(b, nullptr) << c.count;
        EXPECT_EQ(count, c.count);
        rm.ReleaseMemRes(a);
    }
}

TEST(GameObjectResources, ReleaseFromANegativeStartReadsNothingBeforeTheArray) {
    GameBase obj;
    ResourceManager& rm = GetResourceManager();
    const uint32_t id = rm.LoadImage("pics/tile_a.png", "neg_start", ".imge", false, 0);
    ASSERT_NE(id, 0u);
    const size_t before = rm.GetResourceCount();
    std::vector<uint32_t> ids{id};
    obj.ReleaseResources(ids.data(), -1, 1);
    EXPECT_EQ(rm.GetResourceCount(), before - 1);
}

TEST(GameObjectResources, ModulePathIsUnderTheProgramFolder) {
    GameBase obj;
    ResourceManager& rm = GetResourceManager();
    const std::string old = rm.GetRootDir();
    obj.MakeModulePath("mj");
    EXPECT_EQ(rm.GetRootDir(), platform::programFolder() + "mj/");
    rm.SetRootDir(old);
}

}  // namespace
}  // namespace hqlv::engine
