// Each look of the mahjong layer's claim buttons, pinned by the pixels the engine draws, on
// the normal and the small screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "claim_looks.h"
#include "engine/core/button_frame.h"
#include "scene_fixture.h"
#include "shot_util.h"

namespace hqlv::mahjong::test {
namespace {

class ClaimLooksTest : public SceneTest, public testing::WithParamInterface<int> {};

TEST_P(ClaimLooksTest, IdleLiveHoverPressedAndOffAgain) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(GetParam());
    // The claim frame, placed low on the table and shown as the deal's start does.
    engine::ButtonFrame* bar = scene.Entities().operationBar;
    ASSERT_NE(bar, nullptr);
    scene.MoveEntity(bar->FrameEntity(), 400, 560);
    bar->Layout();
    scene.ShowToolbars(1);
    scene.ShowAllClaimButtons(0);
    scene.PumpMessages();
    ClaimLooks looks(scene);
    const auto& m = scene.Entities();
    looks.Check(1, m.peng);
    looks.Check(4, m.hu);
    looks.Check(5, m.pass);
    looks.Check(2, m.gang);
    if (GetParam() != 710) return;
    // For review: the frame with every button idle, then every button offered, one above
    // the other (claim-looks.png in the build folder).
    engine::Entity* f = bar->FrameEntity();
    const int left = f->GetLeft(), top = f->GetTop(), w = f->GetWidth(), h = f->GetHeight();
    std::vector<uint32_t> strip(size_t(w) * size_t(2 * h), 0);
    for (int row = 0; row < 2; ++row) {
        scene.ShowAllClaimButtons(row);
        std::vector<uint32_t> px(size_t(ClaimLooks::kW) * ClaimLooks::kH, 0);
        engine::DrawSurface surface{px.data(), ClaimLooks::kW, ClaimLooks::kH};
        scene.GetKernel().GetCanvas().InvalidateAll();
        ASSERT_GE(scene.GetKernel().Render(surface), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                strip[size_t(row * h + y) * size_t(w) + size_t(x)] =
                    px[size_t(top + y) * ClaimLooks::kW + size_t(left + x)];
    }
    const std::string path = std::string(HQLV_BUILD_DIR) + "/claim-looks.png";
    const std::string part = path + "." + std::to_string(getpid());
    ASSERT_TRUE(WritePng(part, strip, w, 2 * h));
    ASSERT_EQ(std::rename(part.c_str(), path.c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, ClaimLooksTest, testing::Values(710, 600));

}  // namespace
}  // namespace hqlv::mahjong::test
