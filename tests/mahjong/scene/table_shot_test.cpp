// The table after start-up, drawn by the engine from the generated pictures: the cloth,
// a row of own tiles bound to pooled entities, the clock and the wind marks. The faces are
// read back from the picture by their markers; the picture is kept for review as
// table-after-start.png in the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "engine/core/entity_kinds.h"
#include "scene_fixture.h"
#include "shot_util.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

TEST_F(SceneTest, TableAfterStartShowsTheDealtFacesReadableByMarker) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start();
    scene.OnStarted();
    engine::GameKernel& k = scene.GetKernel();
    const uint32_t large = scene.Picture("正面大图");
    const int w = scene.Metrics().largeWidth, h = scene.Metrics().largeHeight;
    // Thirteen own tiles, one of each suit's numbers and some honours, as a deal leaves them.
    const int ids[] = {0, 4, 8, 36, 40, 44, 72, 76, 80, 108, 112, 136, 144};
    std::set<int> placed;
    for (int i = 0; i < 13; ++i) {
        const int b = scene.AllocEntity();
        ASSERT_GT(b, 0);
        MJBinding* m = scene.Binding(b);
        m->area = kAreaHand, m->view = kOwnView, m->index = i + 1, m->code = ids[i];
        auto* e = static_cast<engine::ImageEntity*>(k.FindEntity(m->entityId));
        ASSERT_NE(e, nullptr);
        e->SetImage(large, w * scene.GetFaceIndex(ids[i]), 0, w, h, 0xFF00FF);
        e->SetPosition(40 + w / 2 + i * w, 700 - h / 2 - 10);
        e->Show();
        e->ApplyTransform();
        placed.insert(scene.GetFaceIndex(ids[i]));
    }
    MJRect centre;
    scene.GetCentreRect(centre);
    engine::Entity* clock = k.FindEntity(scene.Entities().clockFace);
    clock->SetPosition(centre.left + 10 + 32, (centre.top + centre.bottom) / 2);
    clock->Show();
    clock->ApplyTransform();
    const int wx[] = {60, 372, 684, 372}, wy[] = {355, 60, 355, 560};
    for (int i = 0; i < 4; ++i) {
        engine::Entity* mark = k.FindEntity(scene.Entities().windMarks[i]);
        mark->SetPosition(wx[i], wy[i]);
        mark->Show();
        mark->ApplyTransform();
    }
    std::vector<uint32_t> px(size_t(744) * 710, 0);
    engine::DrawSurface surface{px.data(), 744, 710};
    k.GetCanvas().SetFullScreenInvalidate(true);
    k.GetCanvas().InvalidateAll();
    ASSERT_GE(k.Render(surface), 0);
    std::set<int> seen;
    for (uint32_t p : px)
        if (int f = FaceOf(p); f >= 0) seen.insert(f);
    EXPECT_EQ(seen, placed);
    // The cloth is under everything: its border colour at the corner.
    EXPECT_EQ(px[0] & 0xFFFFFF, 0x462C18u);
    const std::string path = std::string(HQLV_BUILD_DIR) + "/table-after-start.png";
    const std::string part = path + "." + std::to_string(getpid());
    ASSERT_TRUE(WritePng(part, px, 744, 710));
    ASSERT_EQ(std::rename(part.c_str(), path.c_str()), 0);
}

// The toolbar's five buttons in a row over the cloth; the picture is kept for review as
// table-toolbar.png in the build folder.
TEST_F(TableTest, ToolbarButtonsShowTheirFacesAndTheShotCaption) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start();
    engine::GameKernel& k = scene.GetKernel();
    const uint32_t codes[] = {210030, 210031, 210032, 210033};
    for (int i = 0; i < 5; ++i) {
        engine::ControlData* c = k.FindControl(scene.Entities().toolButtons[i]);
        ASSERT_NE(c, nullptr);
        engine::Entity* e = k.FindEntity(c->entityId);
        ASSERT_NE(e, nullptr);
        if (i < 4) {  // each face is its own cell of the badge picture
            MJRect r;
            scene.GetButtonPicture(r, codes[i]);
            EXPECT_EQ(e->GetWidth(), r.right - r.left) << i;
            EXPECT_EQ(e->GetHeight(), r.bottom - r.top) << i;
        }
        e->SetPosition(100 + 40 * i, 100);
        e->Show();
        e->ApplyTransform();
    }
    const std::vector<uint32_t> px = Shoot("table-toolbar.png");
    // The 截屏 button (centre (260, 100), 30 × 30): its black caption, characters half the box
    // high from 8 below the box's top, is one line across both halves of the box.
    int left = 0, right = 0;
    for (int y = 85; y < 115; ++y)
        for (int x = 245; x < 275; ++x) {
            const uint32_t p = px[size_t(y) * 744 + size_t(x)];
            if (((p >> 16) & 0xFF) > 0x08 || ((p >> 8) & 0xFF) > 0x20 || (p & 0xFF) > 0x20)
                continue;
            ++(x < 260 ? left : right);
            EXPECT_GE(y, 85 + 8) << x;
            EXPECT_LT(y, 85 + 8 + 15) << x;
        }
    EXPECT_GT(left, 20);
    EXPECT_GT(right, 20);
}

}  // namespace
}  // namespace hqlv::mahjong::test
