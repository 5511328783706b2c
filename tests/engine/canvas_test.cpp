#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>

#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

using test::kSentinel;
using test::MakeImage;
using test::PictureTable;
using test::SolidPicture;
using test::Target;

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00;
// What an opaque pixel becomes at alpha 1.0: each byte × 255 >> 8.
constexpr uint32_t kRedDrawn = 0xFFFE0000, kGreenDrawn = 0xFF00FE00;

struct Scene {
    Scene(int w = 64, int h = 48) : target(w, h) {
        canvas.InitScreen(32, w, h);
        pics.Add(1, SolidPicture(8, 6, {kRed, kGreen}));
    }
    PictureTable pics;
    Canvas canvas;
    Target target;
};

// ---- canvas ----------------------------------------------------------------------------

TEST(Canvas, NothingDirtyDrawsNothing) {
    Scene s;
    EXPECT_EQ(s.canvas.Render(5, s.target.surface), -1);
    auto a = MakeImage(1, 1, 10, 10, 8, 6);
    a->AttachToCanvas(&s.canvas, 1);
    ASSERT_EQ(s.canvas.Render(6, s.target.surface), 0);
    s.target.pixels.assign(s.target.pixels.size(), kSentinel);
    a->SetPosition(10, 10);
    a->ApplyTransform();  // unchanged and already shown: redraws its area
    EXPECT_EQ(s.canvas.Render(7, s.target.surface), 0);
    EXPECT_EQ(s.target.at(0, 0), kSentinel);
    EXPECT_EQ(s.canvas.Render(8, s.target.surface), -1);
    s.target.pixels.assign(s.target.pixels.size(), kSentinel);
    EXPECT_EQ(s.canvas.Render(6, s.target.surface), -1);
    for (uint32_t p : s.target.pixels) ASSERT_EQ(p, kSentinel);
    // Added hidden, or shown but out of view: nothing to draw and nothing dirty.
    auto hidden = MakeImage(2, 1, 30, 30, 8, 6);
    hidden->Hide();
    hidden->AttachToCanvas(&s.canvas, 1);
    auto away = MakeImage(3, 1, 500, 30, 8, 6);
    away->AttachToCanvas(&s.canvas, 1);
    EXPECT_EQ(s.canvas.Layer(1).OrderedIds(), (std::vector<uint32_t>{a->GetItemId()}));
    EXPECT_EQ(s.canvas.Render(9, s.target.surface), -1);
}

TEST(Canvas, MovingOneSpriteTouchesOnlyTheMergedRectangles) {
    Scene s;
    auto sprite = MakeImage(1, 1, 20, 20, 8, 6);
    sprite->AttachToCanvas(&s.canvas, 1);
    s.canvas.Render(1, s.target.surface);
    EXPECT_EQ(s.target.at(20, 20), kRedDrawn);
    EXPECT_EQ(s.target.at(2, 2), kSentinel);  // outside the only dirty rectangle
    s.target.pixels.assign(s.target.pixels.size(), kSentinel);
    sprite->MoveBy(0, 10);
    sprite->ApplyTransform();
    ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
    // Old area (16..24, 17..23) and new (16..24, 27..33) share left and right: one rectangle.
    ASSERT_EQ(s.canvas.DirtyRects().size(), 1u);
    const Rect r = s.canvas.DirtyRects()[0];
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.top, 17);
    EXPECT_EQ(r.right, 24);
    EXPECT_EQ(r.bottom, 33);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            const bool sprite_px = x >= 16 && x < 24 && y >= 27 && y < 33;
            const uint32_t want = !inside ? kSentinel : sprite_px ? kRedDrawn : 0xFF000000u;
            ASSERT_EQ(s.target.at(x, y), want) << x << "," << y;
        }
    }
}

TEST(Canvas, FullScreenModeRedrawsAll) {
    Scene s;
    auto a = MakeImage(1, 1, 10, 10, 8, 6);
    auto b = MakeImage(2, 1, 40, 30, 8, 6);
    a->AttachToCanvas(&s.canvas, 1);
    b->AttachToCanvas(&s.canvas, 2);
    s.canvas.Render(1, s.target.surface);
    s.canvas.SetFullScreenInvalidate(true);
    s.target.pixels.assign(s.target.pixels.size(), kSentinel);
    a->MoveBy(1, 0);
    a->ApplyTransform();
    ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
    EXPECT_EQ(s.canvas.ItemsDrawn(), 2u);
    for (uint32_t p : s.target.pixels) ASSERT_NE(p, kSentinel);
    EXPECT_EQ(s.target.at(40, 30), kRedDrawn);
}

TEST(Canvas, AReleasedPictureDrawsNothing) {
    Scene s;
    auto a = MakeImage(1, 1, 10, 10, 8, 6);
    a->AttachToCanvas(&s.canvas, 1);
    s.pics.Remove(1);
    s.canvas.Render(1, s.target.surface);
    EXPECT_EQ(s.target.at(10, 10), 0xFF000000u);
    // A picture registered again under the same id is found again.
    s.pics.Add(1, SolidPicture(8, 6, {kGreen}));
    s.canvas.InvalidateAll();
    s.canvas.Render(2, s.target.surface);
    EXPECT_EQ(s.target.at(10, 10), kGreenDrawn);
}

TEST(Canvas, ViewClampAndFixedLayers) {
    Canvas c;
    c.InitScreen(32, 100, 80);
    c.SetScrollArea(400, 300);
    c.SetViewCenter(0, 0, true);
    EXPECT_EQ(c.GetViewRect().centreX, 50);
    EXPECT_EQ(c.GetViewRect().centreY, 40);
    c.SetViewCenter(1000, 1000, true);
    EXPECT_EQ(c.GetViewRect().centreX, 350);
    EXPECT_EQ(c.GetViewRect().centreY, 260);
    c.SetScrollArea(20, 20);  // smaller than the view: the lower bound wins
    EXPECT_EQ(c.GetViewRect().centreX, 50);
    c.SetScrollArea(400, 300);
    c.SetViewCenter(150, 140, false);
    EXPECT_EQ(c.ScreenToLayer(1, 0, 0), (IPoint{100, 100}));
    EXPECT_EQ(c.ScreenToLayer(3, 0, 0), (IPoint{0, 0}));
    EXPECT_EQ(c.LayerToScreen(2, 100, 100), (IPoint{0, 0}));
}

TEST(Canvas, LayerZeroIsNeverDrawnAndReferencesFollowTheirTarget) {
    Scene s;
    auto hidden = MakeImage(1, 1, 10, 10, 8, 6);
    hidden->AttachToCanvas(&s.canvas, 0);
    auto target = MakeImage(2, 1, 40, 10, 8, 6);
    target->AttachToCanvas(&s.canvas, 1);
    RefEntity ref;
    ref.SetId(3);
    ref.Init(40, 35, 8, 6, 0.0, 1, true, 1.0);
    EXPECT_FALSE(ref.SetTarget(nullptr, false));
    ASSERT_TRUE(ref.SetTarget(target.get(), false));
    ref.AttachToCanvas(&s.canvas, 1);
    s.canvas.Render(1, s.target.surface);
    EXPECT_EQ(s.target.at(10, 10), 0xFF000000u);
    EXPECT_EQ(s.target.at(40, 35), kRedDrawn);
    target.reset();  // the referenced item is gone: the reference draws nothing
    s.canvas.InvalidateAll();
    s.canvas.Render(2, s.target.surface);
    EXPECT_EQ(s.target.at(40, 35), 0xFF000000u);
}

TEST(Canvas, ScreenDepthConversions) {
    const uint32_t px[2] = {0xFFFF0000, 0x00123456};
    EXPECT_EQ(ConvertTo565(px, 2)[0], 0xF800);
    EXPECT_EQ(ConvertTo565(px, 2)[1],
              uint16_t(((0x56 & 0xF8) >> 3) | ((0x34 & 0xFC) << 3) | ((0x12 & 0xF8) << 8)));
    EXPECT_EQ(PackTo24(px, 2), (std::vector<uint8_t>{0, 0, 0xFF, 0x56, 0x34, 0x12}));
}

TEST(Canvas, BackgroundImageIsCutAndNegativeOriginsRefused) {
    Scene s(16, 12);
    s.pics.Add(9, SolidPicture(16, 12, {kGreen}));
    EXPECT_EQ(s.canvas.SetBackgroundImage(9, 17, 0, 16, 12, 1), 0);
    EXPECT_EQ(s.canvas.SetBackgroundImage(9, -1, 0, 16, 12, 1), 0);
    EXPECT_EQ(s.canvas.SetBackgroundImage(9, 0, -4, 16, 12, 1), 0);
    EXPECT_EQ(s.canvas.SetBackgroundImage(99, 0, 0, 16, 12, 1), 0);
    EXPECT_EQ(s.canvas.BackgroundMode(), 4u);  // unchanged
    EXPECT_EQ(s.canvas.SetBackgroundImage(9, 0, 0, 16, 12, 1), 999999);
    EXPECT_EQ(s.canvas.BackgroundMode(), 2u);
    s.canvas.Render(1, s.target.surface);
    // Drawn onto the cleared (transparent) buffer, the picture is copied as it is.
    EXPECT_EQ(s.target.at(0, 0), kGreen);
    EXPECT_EQ(s.target.at(15, 11), kGreen);
    // Without flag 1 the background is drawn afresh each frame, never from the old cache.
    s.pics.Add(10, SolidPicture(16, 12, {kRed}));
    EXPECT_EQ(s.canvas.SetBackgroundImage(10, 0, 0, 16, 12, 0), 999999);
    s.canvas.Render(2, s.target.surface);
    EXPECT_EQ(s.target.at(0, 0), kRed);
    // A target without pixels is drawn nothing, however dirty the canvas.
    s.canvas.InvalidateAll();
    DrawSurface none{nullptr, 16, 12};
    EXPECT_EQ(s.canvas.Render(3, none), 0);
}

// The tiled background copies rows straight from the picture's pixels: a picture whose
// buffer is smaller than its size claims (a damaged file) is not read, the honest one is.
TEST(Canvas, TiledBackgroundReadsNoPictureShorterThanItsSize) {
    Scene s(16, 12);
    s.pics.Add(9, SolidPicture(16, 12, {kGreen}));
    auto liar = SolidPicture(16, 12, {kRed});
    liar->dataSize = 16 * 4;  // one row of the twelve it claims
    s.pics.Add(10, std::move(liar));
    for (uint32_t id : {9u, 10u}) {
        ASSERT_EQ(s.canvas.SetBackgroundImage(id, 0, 0, 16, 12, 0), 999999);
        s.canvas.SetBackgroundMode(3);
        s.canvas.InvalidateAll();
        s.canvas.Render(id, s.target.surface);
        const uint32_t want = id == 9 ? kGreen : 0u;
        EXPECT_EQ(s.target.at(0, 0), want) << id;
        EXPECT_EQ(s.target.at(15, 11), want) << id;
    }
}

// ---- draw layers -----------------------------------------------------------------------

TEST(DrawLayer, MergeRule) {
    std::vector<Rect> list;
    MergeDirtyRect(list, {0, 0, 10, 10});
    MergeDirtyRect(list, {0, 100, 10, 110});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].bottom, 110);
    MergeDirtyRect(list, {20, 20, 30, 30});
    ASSERT_EQ(list.size(), 2u);
    MergeDirtyRect(list, {2, 2, 5, 5});  // covered
    EXPECT_EQ(list.size(), 2u);
    MergeDirtyRect(list, {-5, -5, 50, 200});  // covers the first
    EXPECT_EQ(list[0].left, -5);
    EXPECT_EQ(list.size(), 2u);
    MergeDirtyRect(list, {100, 20, 120, 30});  // same top and bottom as the second
    EXPECT_EQ(list[1].right, 120);
}

// A window that is not drawn for a long time keeps few changed areas, and the frame that
// finally comes redraws every place any sprite stood meanwhile.
TEST(Canvas, ManyTransformsWithoutAFrameStayBoundedAndAllChangedAreasAreRedrawn) {
    Scene s;
    std::vector<std::unique_ptr<ImageEntity>> sprites;
    for (uint32_t i = 0; i < 4; ++i) {
        sprites.push_back(MakeImage(i + 1, 1, 8 + int(i) * 12, 10, 8, 6, int(i)));
        sprites.back()->AttachToCanvas(&s.canvas, i < 3 ? 1 : 2);
    }
    ASSERT_EQ(s.canvas.Render(1, s.target.surface), 0);
    s.target.pixels.assign(s.target.pixels.size(), kSentinel);
    // Every pixel a sprite covered since that frame, now and before.
    std::vector<bool> touched(s.target.pixels.size(), false);
    auto mark = [&](const ImageEntity& e) {
        for (int y = e.GetY() - 3; y < e.GetY() + 3; ++y)
            for (int x = e.GetX() - 4; x < e.GetX() + 4; ++x)
                if (x >= 0 && x < 64 && y >= 0 && y < 48)
                    touched[size_t(y) * 64 + size_t(x)] = true;
    };
    for (const auto& e : sprites) mark(*e);
    size_t most = 0;
    uint32_t seed = 7;
    for (int n = 0; n < 100000; ++n) {
        seed = seed * 1103515245u + 12345u;
        ImageEntity& e = *sprites[(seed >> 8) % sprites.size()];
        // Mostly small steps inside the screen; now and then far out and back.
        const int x = int((seed >> 12) % 60) + 2, y = int((seed >> 20) % 44) + 2;
        if ((seed >> 28) == 0)
            e.SetPosition(x + 500, y);
        else
            e.SetPosition(x, y);
        e.ApplyTransform();
        mark(e);
        for (int l = 0; l < 5; ++l) most = std::max(most, s.canvas.Layer(l).PendingCount());
    }
    EXPECT_LE(most, kMaxPendingDirty);
    EXPECT_GE(most, kMaxPendingDirty / 2);  // the run did fill the list up to its fold
    ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
    // The same sprites where they ended, drawn whole on a canvas of their own.
    Scene ref;
    std::vector<std::unique_ptr<ImageEntity>> again;
    for (uint32_t i = 0; i < 4; ++i) {
        again.push_back(MakeImage(i + 1, 1, sprites[i]->GetX(), sprites[i]->GetY(), 8, 6, int(i)));
        again.back()->AttachToCanvas(&ref.canvas, i < 3 ? 1 : 2);
    }
    ref.canvas.InvalidateAll();
    ASSERT_EQ(ref.canvas.Render(1, ref.target.surface), 0);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint32_t got = s.target.at(x, y), want = ref.target.at(x, y);
            if (touched[size_t(y) * 64 + size_t(x)])
                ASSERT_EQ(got, want) << x << "," << y;
            else
                ASSERT_TRUE(got == kSentinel || got == want) << x << "," << y;
        }
    }
    EXPECT_EQ(s.canvas.Render(3, s.target.surface), -1);
}

// Folding keeps exactly the rectangle that covers every area folded, for odd and even
// sides, and an area that is empty still asks for the frame.
TEST(DrawLayer, FoldedAreasCoverExactlyWhatWasMarked) {
    DrawLayer l;
    Rect want{1000, 1000, -1000, -1000};
    for (int i = 0; i < 1000; ++i) {
        BlitParams b;
        b.drawX = 3 + i % 37;
        b.drawY = -20 + i % 53;
        b.width = 1 + i % 6;
        b.height = 2 + i % 5;
        l.MarkParamsDirty(b);
        ASSERT_LE(l.PendingCount(), kMaxPendingDirty);
        const int left = b.drawX - (b.width + 1) / 2, top = b.drawY - (b.height + 1) / 2;
        want = Rect{std::min(want.left, left), std::min(want.top, top),
                    std::max(want.right, left + b.width), std::max(want.bottom, top + b.height)};
    }
    std::vector<Rect> list;
    l.TakeDirtyRects(list);
    Rect got{1000, 1000, -1000, -1000};
    for (const Rect& r : list)
        got = Rect{std::min(got.left, r.left), std::min(got.top, r.top),
                   std::max(got.right, r.right), std::max(got.bottom, r.bottom)};
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
    EXPECT_FALSE(l.HasDirty());
    // Areas at both ends of the int range fold without wrapping: what is taken still covers
    // every screen between them.
    BlitParams far;
    far.width = far.height = 2;
    for (size_t i = 0; i <= kMaxPendingDirty; ++i) {
        far.drawX = i % 2 ? INT32_MAX - 2 : INT32_MIN + 2;
        far.drawY = i % 2 ? INT32_MIN + 2 : INT32_MAX - 2;
        l.MarkParamsDirty(far);
    }
    list.clear();
    l.TakeDirtyRects(list);
    bool covered = false;
    for (const Rect& r : list) {
        EXPECT_LE(r.left, r.right);
        covered =
            covered || (r.left <= -4096 && r.top <= -4096 && r.right >= 4096 && r.bottom >= 4096);
    }
    EXPECT_TRUE(covered);
    // Only empty areas: one empty block remains, so the frame still comes.
    BlitParams none;
    for (size_t i = 0; i <= kMaxPendingDirty; ++i) l.MarkParamsDirty(none);
    EXPECT_TRUE(l.HasDirty());
    EXPECT_EQ(l.PendingCount(), 2u);
}

// The in-view test at each of the four edges: a box that just reaches the view's first
// column or row is in, one pixel further out is out; likewise at the far edges.
TEST(DrawLayer, TheInViewTestAtEachEdgeExactly) {
    DrawLayer l;
    l.SetView(ViewBlock{32, 24, 64, 48, 32, 24, 64, 48});
    const struct {
        int x, y;
        int in;
    } rows[] = {
        {-4, 20, 1}, {-5, 20, 0},  // 8 wide: half 4 to the left of the centre
        {67, 20, 1}, {68, 20, 0},  // the last column is 63
        {20, -3, 1}, {20, -4, 0},  // 6 high: half 3 above
        {20, 50, 1}, {20, 51, 0},  // the last row is 47
    };
    for (const auto& r : rows) {
        BlitParams b;
        b.centreX = r.x;
        b.centreY = r.y;
        b.width = 8;
        b.height = 6;
        EXPECT_EQ(l.CalcItemBounds(b), r.in) << r.x << "," << r.y;
    }
}

// The top item's hit threshold: another item's update leaves it, and when the top item goes
// the one before it takes its place with its own z less one.
TEST(DrawLayer, TheTopItemsThresholdFollowsOnlyTheTopItem) {
    Scene s;
    auto first = MakeImage(1, 1, 10, 10, 4, 4, 5);
    auto second = MakeImage(2, 1, 20, 10, 4, 4, 9);
    auto other = MakeImage(3, 1, 30, 10, 4, 4, 12);
    for (auto* e : {first.get(), second.get(), other.get()}) e->AttachToCanvas(&s.canvas, 4);
    DrawLayer& l = s.canvas.Layer(4);
    l.SetTopItem(first->GetItemId());
    EXPECT_EQ(l.HitThreshold(), 4u);
    other->MoveBy(1, 0);
    other->ApplyTransform();
    EXPECT_EQ(l.HitThreshold(), 4u);
    EXPECT_EQ(l.GetTopItem(), 1u);
    l.SetTopItem(second->GetItemId());
    EXPECT_EQ(l.HitThreshold(), 8u);
    l.RemoveTopItem(second->GetItemId());
    EXPECT_EQ(l.GetTopItem(), 1u);
    EXPECT_EQ(l.HitThreshold(), 4u);
}

// Updates of an id the layer does not hold change nothing; an item out of view marks no
// area when only its visibility or alpha changes.
TEST(DrawLayer, UpdatesOfUnknownOrUnseenItemsMarkNothing) {
    DrawLayer l;
    l.SetView(ViewBlock{32, 24, 64, 48, 32, 24, 64, 48});
    BlitParams away;
    away.centreX = 500;
    away.centreY = 20;
    away.width = 8;
    away.height = 6;
    const uint32_t id = l.AddItem(7, &away, 1.0, 1, nullptr);
    EXPECT_EQ(l.PendingCount(), 0u);
    l.UpdateItemTransform(id, 0, 1, 0.5);
    l.UpdateItemTransform(id, 0, 0, 0.5);
    EXPECT_EQ(l.PendingCount(), 0u);
    BlitParams other = away;
    other.centreX = 20;
    l.UpdateItemGeometry(id + 100, 0, 1, 1.0, &other);
    l.UpdateItemTransform(id + 100, 0, 1, 1.0);
    EXPECT_EQ(l.PendingCount(), 0u);
    EXPECT_EQ(l.ItemCount(), 1u);
}

// Removing an item redraws the area it was last pushed with and the one of its live block:
// a picture that has shrunk since without a push still stands in the old area.
TEST(DrawLayer, RemovalRedrawsTheAreaLastPushedAndTheLiveOne) {
    DrawLayer l;
    l.SetView(ViewBlock{32, 24, 64, 48, 32, 24, 64, 48});
    RenderDescriptor d;
    BlitParams live;
    live.centreX = 20;
    live.centreY = 20;
    live.width = 10;
    live.height = 8;
    const uint32_t id = l.AddItem(7, &live, 1.0, 1, &d);
    std::vector<Rect> first;
    l.TakeDirtyRects(first);
    live.width = 2;  // shrunk on the entity, not pushed
    live.height = 2;
    l.RemoveItem(id);
    std::vector<Rect> dirty;
    l.TakeDirtyRects(dirty);
    ASSERT_EQ(dirty.size(), 1u);
    EXPECT_EQ((std::array<int, 4>{dirty[0].left, dirty[0].top, dirty[0].right, dirty[0].bottom}),
              (std::array<int, 4>{15, 16, 25, 24}));
    EXPECT_TRUE(l.OrderedIds().empty());
    // Grown and moved since its push: both areas.
    BlitParams grown = live;
    grown.width = 10;
    grown.height = 8;
    const uint32_t again = l.AddItem(8, &grown, 1.0, 1, &d);
    l.TakeDirtyRects(first);
    grown.width = 30;
    grown.height = 4;
    l.RemoveItem(again);
    dirty.clear();
    l.TakeDirtyRects(dirty);
    std::vector<std::array<int, 4>> got;
    for (const Rect& r : dirty) got.push_back({r.left, r.top, r.right, r.bottom});
    EXPECT_EQ(got, (std::vector<std::array<int, 4>>{{5, 18, 35, 22}, {15, 16, 25, 24}}));
}

// An entity grown without a push is drawn at its new size wherever a neighbour's change
// redraws it; when it goes, all of that goes with it.
TEST(Canvas, ARemovedEntityTakesWhatItGrewIntoWithoutAPush) {
    Scene s;
    auto grower = MakeImage(1, 1, 20, 20, 8, 6);
    auto mover = MakeImage(2, 1, 28, 27, 8, 6);  // covers (24..32, 24..30)
    grower->AttachToCanvas(&s.canvas, 1);
    mover->AttachToCanvas(&s.canvas, 1);
    s.canvas.Render(1, s.target.surface);
    grower->SetSize(24, 18);  // (8..32, 11..29), not pushed
    mover->SetPosition(50, 40);
    mover->ApplyTransform();
    s.canvas.Render(2, s.target.surface);
    ASSERT_EQ(s.target.at(26, 26), kRedDrawn);  // the grown picture, where the mover was
    grower.reset();
    s.canvas.Render(3, s.target.surface);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (x >= 46 && x < 54 && y >= 37 && y < 43) continue;  // the mover
            ASSERT_NE(s.target.at(x, y), kRedDrawn) << x << "," << y;
            ASSERT_NE(s.target.at(x, y), kGreenDrawn) << x << "," << y;
        }
    }
}

// A turned block's area is the square of its radius about its draw centre.
TEST(DrawLayer, ATurnedBlocksAreaIsTheSquareOfItsRadius) {
    DrawLayer l;
    BlitParams b;
    b.angle = 30.0;
    b.drawX = 20;
    b.drawY = 10;
    b.width = 6;
    b.height = 4;
    b.radius = 5;
    const Rect r = l.ParamsToRect(b);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 25);
    EXPECT_EQ(r.bottom, 15);
}

// A turned thin bar whose edges cross a strip, while neither centre lies in the other, meets
// the strip.
TEST(DrawLayer, ATurnedBarMeetsAStripItsEdgesCross) {
    BlitParams b;
    b.drawX = b.drawY = 50;
    b.width = 40;
    b.height = 4;
    b.angle = 45.0;
    EXPECT_TRUE(BlockMeetsRect(b, {59, 0, 61, 100}));
    EXPECT_FALSE(BlockMeetsRect(b, {90, 0, 92, 100}));  // past the bar's end
}

// The view's rectangle test: a rectangle wholly beyond any one side is outside; one inside
// is turned into screen coordinates and cut to the view.
TEST(DrawLayer, ARectangleBeyondOneSideOfTheViewIsOutside) {
    DrawLayer l;
    l.SetView(ViewBlock{32, 24, 64, 48, 32, 24, 64, 48});
    for (Rect r : {Rect{-20, 10, -10, 20}, Rect{70, 10, 80, 20}, Rect{10, -20, 20, -10},
                   Rect{10, 50, 20, 60}})
        EXPECT_EQ(l.RectToScreen(r), 0) << r.left << "," << r.top;
    Rect in{-5, 10, 20, 60};
    EXPECT_EQ(l.RectToScreen(in), 1);
    EXPECT_EQ(in.left, 0);
    EXPECT_EQ(in.top, 10);
    EXPECT_EQ(in.right, 20);
    EXPECT_EQ(in.bottom, 48);
}

// Pixel hits on a picture of palette indexes with an alpha byte each: the key index and
// alpha 0 are both see-through.
TEST(DrawLayer, IndexAndAlphaPixelsHitUnlessKeyedOrClear) {
    Scene s;
    auto pic = std::make_unique<EnginePicture>();
    pic->width = 4;
    pic->frameHeight = 4;
    pic->frameCount = 1;
    pic->flags = PIC_OWN_PALETTE | PIC_ALPHA;
    pic->key = 0;
    pic->ownedPalette.assign(256 * 4, 0x40);
    pic->palette = pic->ownedPalette.data();
    pic->paletteEntries = 256;
    pic->ownedPixels.assign(4 * 4 * 2, 0);
    for (size_t i = 0; i < 16; ++i) {
        pic->ownedPixels[i * 2] = 5;        // index
        pic->ownedPixels[i * 2 + 1] = 255;  // alpha
    }
    pic->ownedPixels[(1 + 1 * 4) * 2 + 1] = 0;  // (1, 1): clear
    pic->ownedPixels[(2 + 1 * 4) * 2] = 0;      // (2, 1): the key index
    pic->pixels = pic->ownedPixels.data();
    pic->dataSize = uint32_t(pic->ownedPixels.size());
    s.pics.Add(9, std::move(pic));
    // Hit between its bounds 8 and 12 (both left out): pixel (u, v) at (8 + u, 8 + v).
    auto e = MakeImage(1, 9, 10, 10, 4, 4, 2);
    e->SetDrawFlags(BLIT_PIXEL_HIT);
    e->AttachToCanvas(&s.canvas, 1);
    e->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(8 + 1, 8 + 2), 1u);
    EXPECT_EQ(s.canvas.HitTest(8 + 1, 8 + 1), 0u);
    EXPECT_EQ(s.canvas.HitTest(8 + 2, 8 + 1), 0u);
    EXPECT_EQ(s.canvas.HitTest(8 + 3, 8 + 2), 1u);
}

// Pixel hits on a picture of palette indexes alone: only the key index is see-through.
TEST(DrawLayer, IndexPixelsHitUnlessKeyed) {
    Scene s;
    auto pic = std::make_unique<EnginePicture>();
    pic->width = 4;
    pic->frameHeight = 4;
    pic->frameCount = 1;
    pic->flags = PIC_OWN_PALETTE;
    pic->key = 7;
    pic->ownedPalette.assign(256 * 4, 0x40);
    pic->palette = pic->ownedPalette.data();
    pic->paletteEntries = 256;
    pic->ownedPixels.assign(4 * 4, 3);
    pic->ownedPixels[1 + 2 * 4] = 7;  // (1, 2): the key index
    pic->ownedPixels[2 + 2 * 4] = 0;  // (2, 2): index 0 is no key here
    pic->pixels = pic->ownedPixels.data();
    pic->dataSize = uint32_t(pic->ownedPixels.size());
    ASSERT_EQ(pic->sampleSize(), 1);
    s.pics.Add(9, std::move(pic));
    auto e = MakeImage(1, 9, 10, 10, 4, 4, 2);
    e->SetDrawFlags(BLIT_PIXEL_HIT);
    e->AttachToCanvas(&s.canvas, 1);
    e->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(8 + 1, 8 + 2), 0u);
    EXPECT_EQ(s.canvas.HitTest(8 + 2, 8 + 2), 1u);
    EXPECT_EQ(s.canvas.HitTest(8 + 1, 8 + 1), 1u);
}

TEST(DrawLayer, DrawingOrderAndHiddenOrTransparentItems) {
    Scene s;
    auto a = MakeImage(5, 1, 10, 10, 8, 6, 2);
    auto b = MakeImage(3, 1, 10, 10, 8, 6, 2);
    auto c = MakeImage(9, 1, 10, 10, 8, 6, 1);
    for (auto* e : {a.get(), b.get(), c.get()}) e->AttachToCanvas(&s.canvas, 1);
    const DrawLayer& l = s.canvas.Layer(1);
    EXPECT_EQ(l.OrderedIds(),
              (std::vector<uint32_t>{c->GetItemId(), b->GetItemId(), a->GetItemId()}));
    a->SetAlpha(0.0);
    a->ApplyTransform();
    EXPECT_EQ(l.OrderedIds().size(), 2u);
    a->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(10, 10), 5u);  // registered and hittable, never drawn
    s.canvas.Render(1, s.target.surface);
    b->Hide();
    b->ApplyTransform();
    EXPECT_TRUE(s.canvas.HasDirtyRects());
    s.canvas.Render(2, s.target.surface);
    b->ApplyTransform();  // hidden and unchanged: nothing more
    EXPECT_FALSE(s.canvas.HasDirtyRects());
    b->Show();
    b->ApplyTransform();
    EXPECT_TRUE(s.canvas.HasDirtyRects());
}

TEST(DrawLayer, InsertionWalksTheLiveZOfTheItemsStillThere) {
    Scene s;
    auto a = MakeImage(5, 1, 10, 10, 8, 6, 1);
    auto b = MakeImage(3, 1, 10, 10, 8, 6, 2);
    auto c = MakeImage(9, 1, 10, 10, 8, 6, 3);
    for (auto* e : {a.get(), b.get(), c.get()}) e->AttachToCanvas(&s.canvas, 1);
    const DrawLayer& l = s.canvas.Layer(1);
    b->DetachFromCanvas();
    // c's z changes without a push: a fade step of a walks c's z as it is now, not as it
    // was when c went in, so a goes after c (z 0 < 1), and the walk never meets b.
    c->SetZ(0);
    a->SetAlpha(0.5);
    a->ApplyTransform();
    EXPECT_EQ(l.OrderedIds(), (std::vector<uint32_t>{c->GetItemId(), a->GetItemId()}));
}

TEST(DrawLayer, BlockMeetsRectAndTheInViewTest) {
    BlitParams b;
    b.drawX = 10;
    b.drawY = 10;
    b.width = 9;  // box 5..15 (w + 1 wide)
    b.height = 9;
    EXPECT_TRUE(BlockMeetsRect(b, {14, 0, 20, 20}));
    EXPECT_FALSE(BlockMeetsRect(b, {15, 0, 20, 20}));  // touching is not meeting
    b.angle = 10.0;
    EXPECT_TRUE(BlockMeetsRect(b, {0, 0, 100, 100}));    // the item inside the rectangle
    EXPECT_FALSE(BlockMeetsRect(b, {0, 0, 3, 100}));     // left of the item
    EXPECT_FALSE(BlockMeetsRect(b, {30, 0, 100, 100}));  // right of the item
    b.drawX = b.drawY = 200;
    b.width = b.height = 60;
    EXPECT_TRUE(BlockMeetsRect(b, {215, 215, 217, 217}));  // the rectangle inside the item
    EXPECT_FALSE(BlockMeetsRect(b, {300, 300, 302, 302}));
    // Out of view on one side only is out of view.
    Scene s;
    auto right = MakeImage(1, 1, 100, 20, 8, 6);
    auto below = MakeImage(2, 1, 20, 80, 8, 6);
    auto inside = MakeImage(3, 1, 63, 47, 8, 6);
    for (auto* e : {right.get(), below.get(), inside.get()}) e->AttachToCanvas(&s.canvas, 1);
    auto above = MakeImage(4, 1, 20, -2, 8, 8);  // partly over the top edge
    above->AttachToCanvas(&s.canvas, 1);
    EXPECT_TRUE(above->IsInView());
    EXPECT_FALSE(right->IsInView());
    EXPECT_FALSE(below->IsInView());
    EXPECT_TRUE(inside->IsInView());
}

// A particle emitter at (20, 20) on layer 1 of the scene's canvas, its particle a red
// picture of width x height.
void AttachRedEmitter(Scene& s, ParticleEntity& p, int width, int height) {
    s.pics.Add(2, SolidPicture(width, height, {kRed}));
    p.SetId(1);
    p.Init(20, 20, width, height, 0.0, 1, true, 1.0);
    ASSERT_EQ(p.Create(2, 0, 0, width, height), 999999u);
    p.AttachToCanvas(&s.canvas, 1);
}

TEST(Canvas, ParticleTicksInvalidateTheirBox) {
    Scene s;
    ParticleEntity p;
    ASSERT_NO_FATAL_FAILURE(AttachRedEmitter(s, p, 4, 2));
    s.canvas.Render(1, s.target.surface);
    static int next = 0;
    next = 0;
    p.SetCallbacks(
        [](const ParticleParams*) {
            Particle q;
            q.life = 5;
            q.originX = next;  // 0, then 10
            next += 10;
            return q;
        },
        [](Particle&, const ParticleParams*) { return true; });
    p.SetEmission(2, 10, nullptr);
    p.State()->lastEmission = 1000;
    p.Tick(1025);
    ASSERT_EQ(p.State()->live, 2u);
    s.canvas.TakeDirtyRects();
    // Particles at layer x 20 and 30, y 20; grown by half the particle size.
    ASSERT_EQ(s.canvas.DirtyRects().size(), 1u);
    const Rect r = s.canvas.DirtyRects()[0];
    EXPECT_EQ(r.left, 18);
    EXPECT_EQ(r.right, 32);
    EXPECT_EQ(r.top, 19);
    EXPECT_EQ(r.bottom, 21);
}

TEST(Canvas, TheStepThatRetiresTheLastParticleStillRedrawsWhereItWas) {
    Scene s;
    ParticleEntity p;
    ASSERT_NO_FATAL_FAILURE(AttachRedEmitter(s, p, 4, 2));
    p.SetCallbacks(
        [](const ParticleParams*) {
            Particle q;
            q.life = 2;  // alive after the first step, gone in the second
            return q;
        },
        [](Particle& q, const ParticleParams*) { return --q.life > 0; });
    p.SetEmission(1, 10, nullptr);
    p.State()->lastEmission = 1000;
    p.Tick(1015);
    ASSERT_EQ(p.State()->live, 1u);
    s.canvas.InvalidateAll();
    ASSERT_EQ(s.canvas.Render(2, s.target.surface), 0);
    const auto redPixels = [&] {
        int n = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                n += s.target.at(x, y) == kRedDrawn || s.target.at(x, y) == kRed;
        return n;
    };
    ASSERT_EQ(redPixels(), 8);  // the 4 x 2 spark, centred on (20, 20)

    p.Tick(1016);
    ASSERT_EQ(p.State()->live, 0u);
    ASSERT_EQ(s.canvas.Render(3, s.target.surface), 0);  // the frame takes the dirty area
    ASSERT_EQ(s.canvas.DirtyRects().size(), 1u);
    const Rect r = s.canvas.DirtyRects()[0];
    EXPECT_EQ(r.left, 18);
    EXPECT_EQ(r.right, 22);
    EXPECT_EQ(r.top, 19);
    EXPECT_EQ(r.bottom, 21);
    EXPECT_EQ(redPixels(), 0);

    p.Tick(1017);  // nothing lives any more: nothing to redraw
    EXPECT_EQ(s.canvas.Render(4, s.target.surface), -1);
}

TEST(Canvas, AParticleOfOddHeightIsCentredRoundingUp) {
    Scene s;
    ParticleEntity p;
    ASSERT_NO_FATAL_FAILURE(AttachRedEmitter(s, p, 1, 3));
    p.SetCallbacks(
        [](const ParticleParams*) {
            Particle q;  // moved 3 right and 2 down from where it started
            q.x = 3;
            q.y = 2;
            return q;
        },
        [](Particle&, const ParticleParams*) { return true; });
    p.SetEmission(1, 10, nullptr);
    p.State()->lastEmission = 1000;
    p.Tick(1015);
    ASSERT_EQ(p.State()->live, 1u);
    s.canvas.InvalidateAll();
    s.canvas.Render(2, s.target.surface);
    std::vector<int> rows, columns;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if (s.target.at(x, y) == kRedDrawn || s.target.at(x, y) == kRed) {
                rows.push_back(y);
                columns.push_back(x);
            }
    EXPECT_EQ(rows, (std::vector<int>{20, 21, 22}));  // centred on y 22, rounding up
    EXPECT_EQ(columns, (std::vector<int>{22, 22, 22}));
}

TEST(DrawLayer, EqualZAndEntityIdKeepTheirAddingOrder) {
    Scene s;
    auto a = MakeImage(4, 1, 10, 10, 8, 6, 3);
    auto b = MakeImage(4, 1, 20, 10, 8, 6, 3);
    auto c = MakeImage(2, 1, 30, 10, 8, 6, 3);
    for (auto* e : {a.get(), b.get(), c.get()}) e->AttachToCanvas(&s.canvas, 1);
    EXPECT_EQ(s.canvas.Layer(1).OrderedIds(),
              (std::vector<uint32_t>{c->GetItemId(), a->GetItemId(), b->GetItemId()}));
    // Layers 3 and 4 stay on the screen when the view scrolls.
    s.canvas.SetScrollArea(400, 400);
    auto fixed = MakeImage(5, 1, 10, 10, 8, 6);
    auto moving = MakeImage(6, 1, 10, 10, 8, 6);
    fixed->AttachToCanvas(&s.canvas, 3);
    moving->AttachToCanvas(&s.canvas, 2);
    s.canvas.SetViewCenter(200, 200, true);
    EXPECT_TRUE(fixed->IsInView());
    EXPECT_FALSE(moving->IsInView());
}

TEST(DrawLayer, HitTestBoundsZAndTopItems) {
    Scene s;
    auto a = MakeImage(1, 1, 10, 10, 4, 4, 1);
    a->AttachToCanvas(&s.canvas, 1);
    a->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(8, 10), 0u);
    EXPECT_EQ(s.canvas.HitTest(9, 10), 1u);
    EXPECT_EQ(s.canvas.HitTest(11, 10), 1u);
    EXPECT_EQ(s.canvas.HitTest(12, 10), 0u);
    a->SetZ(0);
    a->ApplyTransform();
    EXPECT_EQ(s.canvas.HitTest(10, 10), 0u);  // z 0 never hit
    auto top = MakeImage(2, 1, 30, 30, 4, 4, 5);
    auto low = MakeImage(3, 1, 40, 30, 4, 4, 4);
    auto high = MakeImage(4, 1, 20, 30, 4, 4, 6);
    for (auto* e : {top.get(), low.get(), high.get()}) {
        e->AttachToCanvas(&s.canvas, 4);
        e->SetHitMode(1);
    }
    s.canvas.SetTopItem(top->GetItemId());
    EXPECT_EQ(s.canvas.GetTopItem(), 2u);
    EXPECT_EQ(s.canvas.HitTest(40, 30), 0u);
    EXPECT_EQ(s.canvas.HitTest(30, 30), 2u);
    EXPECT_EQ(s.canvas.HitTest(20, 30), 4u);
    top->MoveBy(1, 0);
    top->ApplyTransform();
    EXPECT_EQ(s.canvas.Layer(4).HitThreshold(), 4u);
    top->Hide();
    top->ApplyTransform();
    EXPECT_EQ(s.canvas.GetTopItem(), 0u);
    EXPECT_EQ(s.canvas.HitTest(40, 30), 3u);
}

TEST(DrawLayer, RotatedAndPixelHits) {
    Scene s;
    // A long thin item turned by 90 degrees stands upright.
    auto bar = MakeImage(1, 1, 30, 30, 20, 2, 1);
    bar->SetRotation(90.0);
    bar->AttachToCanvas(&s.canvas, 1);
    bar->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(30, 36), 1u);
    EXPECT_EQ(s.canvas.HitTest(36, 30), 0u);
    // Pixel hits: a transparent pixel passes the click to the item below.
    auto under = MakeImage(2, 1, 10, 10, 8, 6, 1);
    under->AttachToCanvas(&s.canvas, 2);
    under->SetHitMode(1);
    s.pics.Add(2, SolidPicture(8, 6, {0x00000000}));
    auto clear = MakeImage(3, 2, 10, 10, 8, 6, 2);
    clear->SetDrawFlags(BLIT_PIXEL_HIT);
    clear->AttachToCanvas(&s.canvas, 2);
    clear->SetHitMode(1);
    EXPECT_EQ(s.canvas.HitTest(10, 10), 2u);
    s.pics.Get(2)->ownedPixels[(1 + 1 * 8) * 4 + 3] = 0xFF;  // pixel (1, 1) opaque
    EXPECT_EQ(s.canvas.HitTest(7, 8), 3u);
}

TEST(DrawLayer, SidesAndPlacesAtTheIntRangesEndStayInOrOutOfView) {
    Scene s;
    // Half of INT_MAX rounded up is 2^30: the item spans the view.
    auto wide = MakeImage(1, 1, 32, 24, INT32_MAX, 4, 1);
    wide->AttachToCanvas(&s.canvas, 1);
    wide->SetHitMode(1);
    EXPECT_TRUE(wide->IsInView());
    EXPECT_EQ(s.canvas.HitTest(0, 24), 1u);
    EXPECT_EQ(s.canvas.HitTest(63, 24), 1u);
    s.canvas.TakeDirtyRects();
    ASSERT_EQ(s.canvas.DirtyRects().size(), 1u);
    EXPECT_EQ(s.canvas.DirtyRects()[0].left, 32 - (1 << 30));
    EXPECT_EQ(s.canvas.DirtyRects()[0].right, (1 << 30) + 31);
    // A top item at the lowest z: its threshold is the unsigned word below it, and only it
    // is hit through the top list.
    wide->SetZ(INT32_MIN);
    wide->ApplyTransform();
    s.canvas.Layer(1).SetTopItem(wide->GetItemId());
    EXPECT_EQ(s.canvas.Layer(1).HitThreshold(), 0x7FFFFFFFu);
    EXPECT_EQ(s.canvas.HitTest(10, 24), 1u);
    // Far past the right end of the layer: out of view, not wrapped into it.
    auto far = MakeImage(2, 1, INT32_MAX, 24, 8, 6, 1);
    far->AttachToCanvas(&s.canvas, 1);
    EXPECT_FALSE(far->IsInView());
    far->SetPosition(INT32_MIN, 24);
    far->ApplyTransform();
    EXPECT_FALSE(far->IsInView());
    far->SetPosition(4, 3);
    far->ApplyTransform();
    EXPECT_TRUE(far->IsInView());
}

// A plane wider than the canvas's own largest side is drawn whole: its far end lands where
// it belongs.
TEST(Canvas, APlaneOfFortyThousandColumnsIsDrawnToItsLastColumn) {
    Scene s;
    PlaneEntity plane;
    plane.SetId(1);
    plane.Init(0, 0, 40000, 2, 0.0, 1, true, 1.0);
    ASSERT_TRUE(plane.Create(40000, 2, 0x0000FF));
    plane.SetPixel(39999, 0, 0x00FF00);
    plane.SetPixel(39998, 1, 0x00FF00);
    // Centre 20000 to the left of x = 30: the last column falls on x = 29.
    plane.SetPosition(30 - 20000, 10);
    plane.AttachToCanvas(&s.canvas, 1);
    s.canvas.Render(1, s.target.surface);
    EXPECT_EQ(s.target.at(29, 9), kGreenDrawn);
    EXPECT_EQ(s.target.at(28, 9), kRedDrawn);
    EXPECT_EQ(s.target.at(28, 10), kGreenDrawn);
    EXPECT_EQ(s.target.at(30, 9), kSentinel);  // past its last column: not even redrawn
}

TEST(DrawLayer, PixelHitOnAPlaneStaysInsideItsBuffer) {
    Scene s;
    PlaneEntity plane;
    plane.SetId(1);
    plane.Init(20, 20, 5, 4, 0.0, 1, true, 1.0);
    plane.Create(5, 4, 0x0000FF);
    plane.SetDrawFlags(BLIT_PIXEL_HIT);
    plane.AttachToCanvas(&s.canvas, 1);
    plane.SetHitMode(1);
    // Width 5: half 3, so layer x 22 gives u = 5 = the width (one past the buffer).
    const LayerItem* item = s.canvas.Layer(1).FindItem(plane.GetItemId());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(s.canvas.Layer(1).PixelHit(22, 20, *item), 0);
    EXPECT_EQ(s.canvas.Layer(1).PixelHit(21, 20, *item), 1);
    // The entity grows, the buffer does not: outside the buffer is transparent.
    plane.Entity::SetSize(40, 40);
    plane.ApplyTransform();
    EXPECT_EQ(s.canvas.Layer(1).PixelHit(35, 35, *item), 0);
    EXPECT_EQ(s.canvas.HitTest(35, 35), 0u);
}

}  // namespace
}  // namespace hqlv::engine
