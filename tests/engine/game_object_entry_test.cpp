#include <gtest/gtest.h>

#include "engine/core/game_base.h"
#include "engine/core/game_object.h"
#include "engine/render/picture.h"
#include "engine/render/plane.h"
#include "engine/render/text_layout.h"
#include "recording_host.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Entries : ::testing::Test {
    void SetUp() override {
        scene.SetHost(&host);
        scene.Init();
        scene.InitScreen(320, 240);
        pictures.Add(7, test::SolidPicture(10, 8, {1, 2, 3}, {100, 100, 100}));
    }
    void TearDown() override { scene.Cleanup(); }
    test::RecordingHost host;
    test::PictureTable pictures;
    GameBase scene;
};

TEST_F(Entries, ResourceRecordCopiesEveryField) {
    EnginePicture* p = scene.GetPicture(7);
    ASSERT_NE(p, nullptr);
    p->resourceId = 7;
    p->key = 0x123456;
    p->flags = 0x11;
    p->paletteEntries = 9;
    p->trailerHigh = 0xAAAA;
    p->trailerLow = 0x5555;
    PictureRecord r;
    ASSERT_TRUE(scene.GetResourceRecord(r, 7));
    EXPECT_EQ(r.resourceId, 7u);
    EXPECT_EQ(r.width, 10);
    EXPECT_EQ(r.frameHeight, 8);
    EXPECT_EQ(r.pixels, p->pixels);
    EXPECT_EQ(r.dataSize, p->dataSize);
    EXPECT_EQ(r.key, 0x123456u);
    EXPECT_EQ(r.frameCount, 3);
    EXPECT_EQ(r.flags, 0x11u);
    EXPECT_EQ(r.palette, p->palette);
    EXPECT_EQ(r.paletteEntries, 9u);
    EXPECT_EQ(r.frameDelays, p->frameDelays);
    EXPECT_EQ(r.trailerHigh, 0xAAAA);
    EXPECT_EQ(r.trailerLow, 0x5555);
    // An unknown id leaves nothing of the last record behind.
    EXPECT_FALSE(scene.GetResourceRecord(r, 99));
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.pixels, nullptr);
}

TEST_F(Entries, ExAndDefaultCreateAsTheirPlainForms) {
    ImageEntity* e = scene.CreateImageEntityEx(2, 30, 40, 7, 0, 8, 0, 0, 1234, kNoColour);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetWidth(), 10);
    EXPECT_EQ(e->GetHeight(), 8);
    EXPECT_EQ(e->GetLayer(), 2);
    EXPECT_EQ(e->GetZ(), 1);
    EXPECT_FALSE(e->IsVisible());
    PlaneEntity* p = scene.CreatePlaneEntityDefault(3, 5, 6, 40, 20, 0x00FF00);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetWidth(), 40);
    EXPECT_EQ(p->GetHeight(), 20);
    EXPECT_EQ(p->GetLayer(), 3);
    EXPECT_EQ(p->GetZ(), 1);
    EXPECT_FALSE(p->IsVisible());
}

TEST_F(Entries, CanvasInfoWordsAndTextHeight) {
    scene.GetCanvas()->SetScrollArea(1000, 700);
    const ViewBlock v = scene.GetCanvasInfo();
    EXPECT_EQ(v.width, 320);
    EXPECT_EQ(v.height, 240);
    EXPECT_EQ(scene.GetScreenWidth(), 320);
    EXPECT_EQ(scene.GetScreenHeight(), 240);
    EXPECT_EQ(scene.GetCanvasInfo6(), 1000);
    EXPECT_EQ(scene.GetCanvasInfo7(), 700);
    scene.SetFont(23, 700, "SimSun");
    EXPECT_EQ(scene.GetTextLayoutWord10(), 23);
    scene.SetFont(12, 400, "SimSun");
    EXPECT_EQ(scene.GetTextLayoutWord10(), 12);
}

TEST(EntriesWithoutKernel, CanvasInfoIsZero) {
    GameObject lone;
    EXPECT_EQ(lone.GetScreenWidth(), 0);
    EXPECT_EQ(lone.GetCanvasInfo7(), 0);
    EXPECT_EQ(lone.CreatePlaneEntityDefault(1, 0, 0, 4, 4, 0), nullptr);
    EXPECT_EQ(lone.CreateImageEntityEx(1, 0, 0, 0, 0, 0, 4, 4, 0, kNoColour), nullptr);
}

}  // namespace
}  // namespace hqlv::engine
