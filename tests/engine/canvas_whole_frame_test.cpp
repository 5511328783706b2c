// Frames that redraw the whole view are drawn straight into the target; they must leave
// exactly what the back-buffer path leaves, and the dirty-area frames after them too.
#include <gtest/gtest.h>

#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

using test::MakeImage;
using test::PictureTable;
using test::SolidPicture;
using test::Target;

constexpr int kW = 40, kH = 30;

// A background picture whose every pixel differs, so a misplaced copy shows.
std::unique_ptr<EnginePicture> Noise() {
    auto pic = SolidPicture(kW, kH, {0});
    auto* px = reinterpret_cast<uint32_t*>(pic->ownedPixels.data());
    for (uint32_t i = 0; i < uint32_t(kW * kH); ++i) px[i] = 0xFF000000u | ((i * 2654435761u) >> 8);
    return pic;
}

// A cached picture background (flag 1) or one drawn afresh each frame (flag 0), and a
// sprite across the middle of the view.
struct Scene {
    explicit Scene(uint32_t bgFlags) : target(kW, kH) {
        canvas.InitScreen(32, kW, kH);
        pics.Add(1, SolidPicture(8, 6, {0xFFFF0000}));
        pics.Add(9, Noise());
        EXPECT_EQ(canvas.SetBackgroundImage(9, 0, 0, kW, kH, bgFlags), 999999);
        sprite = MakeImage(1, 1, kW / 2, kH / 2, 8, 6);
        sprite->AttachToCanvas(&canvas, 1);
    }
    PictureTable pics;
    Canvas canvas;
    Target target;
    std::unique_ptr<ImageEntity> sprite;
};

TEST(CanvasWholeFrame, EqualsTheSameFrameDrawnInTwoHalves) {
    for (uint32_t flags : {0u, 1u}) {
        Scene whole(flags), halves(flags);
        whole.canvas.InvalidateAll();
        ASSERT_EQ(whole.canvas.Render(1, whole.target.surface), 0);
        // Each half alone leaves the back buffer path; the sprite straddles both.
        ASSERT_EQ(halves.canvas.Render(1, halves.target.surface), 0);
        halves.canvas.InvalidateRect(0, 0, kW / 2, kH);
        ASSERT_EQ(halves.canvas.Render(2, halves.target.surface), 0);
        halves.canvas.InvalidateRect(kW / 2, 0, kW, kH);
        ASSERT_EQ(halves.canvas.Render(3, halves.target.surface), 0);
        EXPECT_EQ(whole.target.pixels, halves.target.pixels) << "flags " << flags;
        EXPECT_EQ(whole.target.at(kW / 2, kH / 2), 0xFFFE0000u);  // the sprite, drawn
    }
}

TEST(CanvasWholeFrame, DirtyFramesAfterItStillRestoreTheBackground) {
    for (uint32_t flags : {0u, 1u}) {
        Scene s(flags);
        s.canvas.InvalidateAll();
        ASSERT_EQ(s.canvas.Render(1, s.target.surface), 0);
        // Moving the sprite redraws only its old and new areas.
        s.sprite->MoveBy(7, 5);
        s.sprite->ApplyTransform();
        ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
        ASSERT_FALSE(s.canvas.DirtyRects().empty());
        const std::vector<uint32_t> moved = s.target.pixels;
        s.canvas.InvalidateAll();
        ASSERT_EQ(s.canvas.Render(3, s.target.surface), 0);
        EXPECT_EQ(s.target.pixels, moved) << "flags " << flags;
    }
}

TEST(CanvasWholeFrame, AnEdgeStripIsNoWholeFrame) {
    // The lower sprite reaches into a strip along the left edge (full height); the upper
    // one covers its right part outside the strip. The strip's frame draws the lower sprite
    // whole, but only the strip may reach the target: the upper sprite stays on top.
    Scene s(1);
    s.pics.Add(2, SolidPicture(8, 6, {0xFF0000FF}));
    auto upper = MakeImage(2, 2, 12, 15, 8, 6);
    upper->AttachToCanvas(&s.canvas, 2);
    s.sprite->MoveBy(-kW / 2 + 6, 0);  // the lower sprite now spans x 2..10
    s.sprite->ApplyTransform();
    s.canvas.InvalidateAll();
    ASSERT_EQ(s.canvas.Render(1, s.target.surface), 0);
    const std::vector<uint32_t> whole = s.target.pixels;
    ASSERT_EQ(s.target.at(9, 15), 0xFF0000FEu);  // the upper sprite over the lower one
    s.canvas.InvalidateRect(0, 0, 5, kH);
    ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
    EXPECT_EQ(s.target.pixels, whole);
}

}  // namespace
}  // namespace hqlv::engine
