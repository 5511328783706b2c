// The button frames as the engine draws them after the deal-start layout: the live claim
// buttons' faces show over the claim frame's pieces (its slot count is set again there), a
// faded one does not, and the toolbar's badges carry no caption over them. The picture is
// kept for review as claim-frame.png in the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "engine/core/button_frame.h"
#include "engine/core/kernel.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/game_scene_ex.h"
#include "tests/framework/qt_test_app.h"
#include "tests/mahjong/scene/claim_looks.h"
#include "tests/mahjong/scene/scene_fixture.h"

namespace hqlv::mahjong::test {
namespace {

class ClaimFrameShot : public SceneTestOf<CGameSceneEx> {
protected:
    static constexpr int kW = 744, kH = 710;
    void SetUp() override {
        framework::testing::SharedQtApp();
        SceneTestOf<CGameSceneEx>::SetUp();
        host.info = &info;
    }
    engine::Entity* ControlEntity(uint32_t control) {
        engine::ControlData* c = scene.Kernel()->FindControl(control);
        return c ? scene.Kernel()->FindEntity(c->entityId) : nullptr;
    }
    void Render() {
        px.assign(size_t(kW) * kH, 0);
        engine::DrawSurface surface{px.data(), kW, kH};
        engine::GameKernel& k = scene.GetKernel();
        k.GetCanvas().SetFullScreenInvalidate(true);
        k.GetCanvas().InvalidateAll();
        ASSERT_GE(k.Render(surface), 0);
    }
    uint32_t At(int x, int y) const { return px[size_t(y) * kW + size_t(x)] & 0xFFFFFF; }
    // The claim strip's cells are discs of their own colour: 10 pixels right of the face's
    // centre lies inside the disc and clear of the white label.
    uint32_t DiscOf(uint32_t control) {
        engine::Entity* e = ControlEntity(control);
        return e ? At(e->GetX() + 13, e->GetY()) : 0;
    }
    static int R(uint32_t c) { return int(c >> 16) & 0xFF; }
    static int G(uint32_t c) { return int(c >> 8) & 0xFF; }
    static int B(uint32_t c) { return int(c) & 0xFF; }
    CGameInfoEx info;
    std::vector<uint32_t> px;
};

TEST_F(ClaimFrameShot, LiveClaimFacesShowOverTheFrameAfterTheDealStartLayout) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(kH);
    scene.DealStartLayout();  // four places: no chi in this deal
    scene.ShowClaimButton(1, 1);
    scene.ShowClaimButton(4, 1);
    scene.PumpMessages();
    Render();
    const std::string path = std::string(HQLV_BUILD_DIR) + "/claim-frame.png";
    const std::string part = path + "." + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(QImage(reinterpret_cast<const uchar*>(px.data()), kW, kH, QImage::Format_RGB32)
                    .save(QString::fromStdString(part)));
    ASSERT_EQ(std::rename(part.c_str(), path.c_str()), 0);

    const auto& made = scene.Entities();
    // Each face keeps its cell's size and sits inside the frame.
    engine::Entity* frame = made.operationBar->FrameEntity();
    for (uint32_t id : {made.peng, made.gang, made.hu, made.pass}) {
        engine::Entity* e = ControlEntity(id);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->GetWidth(), 40);
        EXPECT_EQ(e->GetHeight(), 40);
        EXPECT_GT(e->GetZ(), frame->GetZ() + 1);  // above the pieces
        EXPECT_GT(e->GetLeft(), frame->GetLeft());
        EXPECT_LT(e->GetRight(), frame->GetRight());
    }
    // Each live face is drawn: with it hidden, the spot shows the frame's piece instead.
    for (uint32_t id : {made.peng, made.hu}) {
        const uint32_t shown = DiscOf(id);
        std::vector<uint32_t> with = px;
        ControlEntity(id)->Hide();
        ControlEntity(id)->ApplyTransform();
        Render();
        const uint32_t piece = DiscOf(id);
        ControlEntity(id)->Show();
        ControlEntity(id)->ApplyTransform();
        px = with;
        EXPECT_GT(std::abs(R(shown) - R(piece)) + std::abs(G(shown) - G(piece)) +
                      std::abs(B(shown) - B(piece)),
                  60)
            << std::hex << shown << " " << piece;
    }

    // The toolbar's four badges: white glyph on blue, cream rim; no dark caption pixel.
    for (int i = 0; i < 4; ++i) {
        engine::Entity* e = ControlEntity(made.toolButtons[i]);
        ASSERT_NE(e, nullptr);
        int dark = 0;
        for (int y = e->GetTop(); y < e->GetBottom(); ++y)
            for (int x = e->GetLeft(); x < e->GetRight(); ++x) {
                const uint32_t c = At(x, y);
                if (R(c) < 50 && G(c) < 50 && B(c) < 50) ++dark;
            }
        EXPECT_EQ(dark, 0) << i;
    }
}

// This game's frame, laid out by the deal's start: every look of each claim button, pinned
// by the pixels the engine draws.
TEST_F(ClaimFrameShot, EachClaimButtonLookIsDrawnAsItsOwn) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(kH);
    scene.DealStartLayout();
    scene.PumpMessages();
    ClaimLooks looks(scene);
    const auto& m = scene.Entities();
    looks.Check(1, m.peng);
    looks.Check(2, m.gang);
    looks.Check(4, m.hu);
    looks.Check(5, m.pass);
}

}  // namespace
}  // namespace hqlv::mahjong::test
