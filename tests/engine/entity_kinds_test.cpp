#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "engine/core/clock.h"
#include "engine/core/resource_manager.h"
#include "log_capture.h"
#include "picture_builders.h"
#include "scene_fixture.h"
#include "temp_folder.h"

namespace hqlv::engine {
namespace {

using test::MakeImage;
using test::PictureTable;
using test::SolidPicture;

// ---- images ------------------------------------------------------------------------------

TEST(ImageEntity, FramesWrapAndDelays) {
    PictureTable pics;
    pics.Add(1, SolidPicture(4, 3, {1, 2, 3}, {10, 20, 30}));
    pics.Add(2, SolidPicture(4, 3, {1, 2}));
    auto e = MakeImage(1, 1, 0, 0, 4, 3);
    EXPECT_EQ(e->GetFrameCount(), 3u);
    EXPECT_EQ(e->SetFrame(4), 20u);  // count + 1 selects frame 1
    EXPECT_EQ(e->GetFrame(), 1u);
    EXPECT_EQ(e->State()->srcY, 3);
    EXPECT_EQ(e->SetFrame(0x10002), 30u);  // only the low 16 bits count
    EXPECT_EQ(e->NextFrame(), 10u);
    EXPECT_EQ(e->GetFrame(), 0u);
    EXPECT_EQ(e->TotalDuration(), 60u);
    EXPECT_EQ(e->DurationBetween(0, 2), 30u);
    EXPECT_EQ(e->DurationBetween(0, 3), 0u);
    EXPECT_EQ(e->FrameDelay(5), 30u);
    // t equal to the total selects frame 0 (already current: 0).
    EXPECT_EQ(e->SetFrameAtTime(60), 0u);
    EXPECT_EQ(e->SetFrameAtTime(10), 20u);
    EXPECT_EQ(e->SetFrameAtTime(29), 0u);  // still frame 1
    EXPECT_EQ(e->SetFrameAtTime(30), 30u);
    EXPECT_EQ(e->SetFrameAtTime(0), 0u);  // no time yet: the frame stays
    EXPECT_EQ(e->GetFrame(), 2u);
    auto plain = MakeImage(2, 2, 0, 0, 4, 3);
    EXPECT_EQ(plain->FrameDelay(0), 100u);
    EXPECT_EQ(plain->SetFrame(1), 0u);
    auto none = MakeImage(3, 0, 0, 0, 4, 3);
    EXPECT_EQ(none->SetFrame(1), 0u);
    EXPECT_EQ(none->FrameDelay(1), 0u);
    EXPECT_EQ(none->GetFrameCount(), 0u);
}

// Stepping the frame pushes the change only for an image that is shown and in view: a
// hidden one, or one out of view, pushes nothing (and so no child pushed with it).
TEST(ImageEntity, NextFramePushesOnlyWhenShownAndInView) {
    PictureTable pics;
    pics.Add(1, SolidPicture(8, 6, {1, 2}, {10, 20}));
    Canvas canvas;
    canvas.InitScreen(32, 64, 48);
    auto parent = MakeImage(1, 1, 20, 20, 8, 6);
    auto child = MakeImage(2, 1, 30, 20, 8, 6);
    parent->AttachToCanvas(&canvas, 1);
    child->AttachToCanvas(&canvas, 1);
    parent->AddChild(child.get(), LINK_APPLY);
    const LayerItem* item = canvas.Layer(1).FindItem(child->GetItemId());
    ASSERT_NE(item, nullptr);
    parent->Hide();
    parent->ApplyTransform();
    child->SetPosition(40, 20);  // not pushed
    parent->NextFrame();
    EXPECT_EQ(item->copy.centreX, 30);
    parent->Show();
    parent->SetPosition(1000, 20);
    parent->ApplyTransform();  // out of view now; the child's move goes with it
    EXPECT_EQ(item->copy.centreX, 40);
    child->SetPosition(50, 20);
    parent->NextFrame();
    EXPECT_EQ(item->copy.centreX, 40);
    parent->SetPosition(20, 20);
    parent->ApplyTransform();
    child->SetPosition(60, 20);
    parent->NextFrame();  // shown and in view: pushed, the child with it
    EXPECT_EQ(item->copy.centreX, 60);
}

// Zero delays: no division by a zero total.
TEST(ImageEntity, ZeroDelaysNeverDivideByZero) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {1, 2, 3}, {0, 0, 0}));
    auto e = MakeImage(1, 1, 0, 0, 2, 2);
    EXPECT_EQ(e->TotalDuration(), 0u);
    EXPECT_EQ(e->SetFrameAtTime(1234), 0u);
    EXPECT_EQ(e->GetFrame(), 0u);
}

// The picture is found by id at each use: an unloaded one is never read.
TEST(ImageEntity, APictureGoneAfterSetImageIsNotRead) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {1, 2}, {5, 6}));
    auto e = MakeImage(1, 1, 0, 0, 2, 2);
    pics.Remove(1);
    EXPECT_EQ(e->SetFrame(1), 0u);
    EXPECT_EQ(e->NextFrame(), 0u);
    EXPECT_EQ(e->FrameDelay(1), 0u);
    EXPECT_EQ(e->GetFrameCount(), 0u);
    pics.Add(1, SolidPicture(2, 2, {1, 2, 3}, {7, 8, 9}));  // a skin change
    EXPECT_EQ(e->SetFrame(2), 9u);
}

// Setting the image looks its picture up, which loads a picture registered to be loaded
// when first needed: a change of the file afterwards is not seen.
TEST(ImageEntity, SettingAnImageLoadsAPictureThatWaitsToBeNeeded) {
    test::TempFolder dir;
    dir.put("wait.bmp", test::Bmp24(1, 1, {0x123456}));
    ResourceManager& rm = GetResourceManager();
    const uint32_t id = rm.LoadImage(dir / "wait.bmp", "等待载入", ".imge", false, 0);
    ASSERT_NE(id, 0u);
    ImageEntity e;
    e.SetImage(id, 0, 0, 1, 1, kNoColour);
    dir.put("wait.bmp", test::Bmp24(2, 2, {0, 0, 0, 0}));
    EXPECT_EQ(rm.GetPicture(id)->width, 1);
    rm.ReleaseResource(id);
}

// The six-word form of SetImage: the word before the tint changes nothing.
TEST(ImageEntity, SetImageExIgnoresTheWordBeforeTheTint) {
    PictureTable pics;
    pics.Add(5, SolidPicture(8, 4, {1, 2}));
    ImageEntity e;
    e.SetImageEx(5, 1, 2, 6, 3, 0xDEADBEEF, 0x123456);
    const ImageState* s = e.State();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ((std::array<uint32_t, 6>{s->resourceId, uint32_t(s->srcX), uint32_t(s->srcY),
                                       uint32_t(s->width), uint32_t(s->height), s->tint}),
              (std::array<uint32_t, 6>{5, 1, 2, 6, 3, 0x123456}));
    EXPECT_EQ(e.Descriptor().extra, 0x123456u);
    // Set again, the state is reused and shows frame 0.
    e.SetFrame(1);
    e.SetImageEx(5, 0, 0, 8, 4, 0, kNoColour);
    EXPECT_EQ(e.State(), s);
    EXPECT_EQ(e.GetFrame(), 0u);
}

// ---- frame sequences ---------------------------------------------------------------------

struct Player {
    explicit Player(uint32_t flags, uint32_t count = 3, uint32_t duration = 100) {
        seq.Build(count, 7, 10, 8, duration);
        e.Create(&seq, 1.0, flags);
    }
    FrameSequence seq;
    FrameEntity e;
};

TEST(FrameSequence, BuildPlayPauseFinishLoopRewind) {
    Player p(FP_PLAYING);
    EXPECT_EQ(p.seq.frames[2].srcX, 20);
    EXPECT_EQ(p.seq.total, 300u);
    EXPECT_EQ(p.e.FrameAt(1000), 1u);
    EXPECT_EQ(p.e.Player()->index, 0u);
    EXPECT_EQ(p.e.FrameAt(1150), 1u);
    EXPECT_EQ(p.e.Player()->srcX, 10);
    EXPECT_EQ(p.e.Player()->frameHeight, 8);
    // Paused: 2, and resumes on the same frame.
    p.e.Player()->flags &= ~uint32_t(FP_PLAYING);
    EXPECT_EQ(p.e.FrameAt(5000), 2u);
    p.e.Play();
    EXPECT_EQ(p.e.FrameAt(5010), 1u);
    EXPECT_EQ(p.e.Player()->index, 1u);
    // No next, no repeats, no loop: finished.
    EXPECT_EQ(p.e.FrameAt(5400), 0u);
    EXPECT_FALSE(p.e.IsPlaying());

    Player loop(FP_PLAYING | FP_LOOP);
    loop.e.FrameAt(1000);
    EXPECT_EQ(loop.e.FrameAt(1000 + 650), 1u);
    EXPECT_EQ(loop.e.Player()->index, 0u);

    Player rewind(FP_PLAYING | FP_REWIND | FP_REPORT_REWIND);
    rewind.e.FrameAt(1000);
    EXPECT_EQ(rewind.e.FrameAt(1400), 4096u);
    EXPECT_EQ(rewind.e.Player()->index, 0u);
    Player rewind1(FP_PLAYING | FP_REWIND);
    rewind1.e.FrameAt(1000);
    EXPECT_EQ(rewind1.e.FrameAt(1400), 1u);

    Player still(FP_PLAYING);
    still.e.Player()->speed = 0.0;
    EXPECT_EQ(still.e.FrameAt(1000), 0u);
}

TEST(FrameSequence, ZeroTotalWithLoopFinishes) {
    Player p(FP_PLAYING | FP_LOOP, 2, 0);
    EXPECT_EQ(p.e.FrameAt(1000), 0u);
    EXPECT_EQ(p.e.FrameAt(2000), 2u);  // stopped: it stays where it was
    EXPECT_FALSE(p.e.IsPlaying());
    Player owned(0);
    auto* seq = new FrameSequence;
    seq->Build(1, 3, 4, 4, 10);
    owned.e.Create(seq, 1.0, FP_OWNS_SEQUENCE | FP_PLAYING);  // freed with the entity (ASan)
    EXPECT_EQ(owned.e.Descriptor().resourceId, 3u);
}

// The repeats left start from the sequence's repeat count (nothing else sets them): a
// sequence of three 100 ms frames with two repeats plays 900 ms before it finishes.
TEST(FrameSequence, TheRepeatsLeftStartFromTheSequencesOwnCount) {
    FrameSequence seq;
    seq.Build(3, 7, 10, 8, 100);
    seq.repeat = 2;
    FrameEntity e;
    e.Create(&seq, 1.0, FP_PLAYING);
    EXPECT_EQ(e.Player()->repeatsLeft, 2u);
    EXPECT_EQ(e.FrameAt(1000), 1u);
    EXPECT_EQ(e.FrameAt(1000 + 350), 1u);  // in the second pass
    EXPECT_EQ(e.Player()->index, 0u);
    EXPECT_EQ(e.Player()->repeatsLeft, 1u);
    EXPECT_EQ(e.FrameAt(1000 + 899), 1u);
    EXPECT_EQ(e.Player()->index, 2u);
    EXPECT_EQ(e.Player()->repeatsLeft, 0u);
    EXPECT_EQ(e.FrameAt(1000 + 900), 0u);
    EXPECT_FALSE(e.IsPlaying());
    // The next sequence takes its own count when the first hands over.
    FrameSequence next;
    next.Build(1, 9, 5, 5, 50);
    next.repeat = 1;
    seq.next = &next;
    e.SetFrames(&seq, 1.0, FP_PLAYING);
    EXPECT_EQ(e.FrameAt(5000), 1u);
    EXPECT_EQ(e.FrameAt(5000 + 900), 1u);
    EXPECT_EQ(e.Player()->resourceId, 9u);
    EXPECT_EQ(e.Player()->repeatsLeft, 1u);
    EXPECT_EQ(e.FrameAt(5000 + 960), 1u);  // its one repeat
    EXPECT_EQ(e.Player()->repeatsLeft, 0u);
    EXPECT_EQ(e.FrameAt(5000 + 1000), 0u);
}

TEST(FrameSequence, ChainsToTheNextSequence) {
    FrameSequence second;
    second.Build(2, 9, 5, 5, 50);
    Player p(FP_PLAYING);
    p.seq.next = &second;
    p.e.SetFrames(&p.seq, 1.0, FP_PLAYING);
    p.e.FrameAt(1000);
    EXPECT_EQ(p.e.FrameAt(1000 + 360), 1u);
    EXPECT_EQ(p.e.Player()->resourceId, 9u);
    EXPECT_EQ(p.e.Player()->index, 1u);
}

// After a hand-over to a shorter sequence the start moves by the totals the time lost, so
// a second call at the same time finds the same frame instead of a wrapped, finished time.
TEST(FrameSequence, StartMovesByTheTotalOfEachPassAfterAHandOver) {
    FrameSequence second;
    second.Build(2, 9, 5, 5, 50);  // 100 ms
    second.repeat = 2;
    Player p(FP_PLAYING);  // 300 ms
    p.seq.next = &second;
    p.e.SetFrames(&p.seq, 1.0, FP_PLAYING);
    EXPECT_EQ(p.e.FrameAt(1000), 1u);
    // 450 ms: the first sequence once (300), the second once (100), 50 into it again.
    EXPECT_EQ(p.e.FrameAt(1450), 1u);
    EXPECT_EQ(p.e.Player()->start, 1400u);
    EXPECT_EQ(p.e.Player()->resourceId, 9u);
    EXPECT_EQ(p.e.Player()->srcX, 5);
    EXPECT_EQ(p.e.FrameAt(1450), 1u);
    EXPECT_EQ(p.e.Player()->srcX, 5);
    EXPECT_TRUE(p.e.IsPlaying());
}

// Time that lands exactly on the next sequence's total after a hand-over is one more whole
// pass of it: the looped sequence shows its first frame again, the unlooped one finishes.
TEST(FrameSequence, AHandOverLandingExactlyOnTheNextTotalPassesItWhole) {
    FrameSequence second;
    second.Build(2, 9, 5, 5, 50);         // 100 ms
    Player looped(FP_PLAYING | FP_LOOP);  // 300 ms
    looped.seq.next = &second;
    looped.e.SetFrames(&looped.seq, 1.0, FP_PLAYING | FP_LOOP);
    EXPECT_EQ(looped.e.FrameAt(1000), 1u);
    EXPECT_EQ(looped.e.FrameAt(1400), 1u);
    EXPECT_EQ(looped.e.Player()->active, 1u);
    EXPECT_EQ(looped.e.Player()->resourceId, 9u);
    EXPECT_EQ(looped.e.Player()->srcX, 0);
    EXPECT_EQ(looped.e.Player()->start, 1400u);
    Player once(FP_PLAYING);
    once.seq.next = &second;
    once.e.SetFrames(&once.seq, 1.0, FP_PLAYING);
    EXPECT_EQ(once.e.FrameAt(1000), 1u);
    EXPECT_EQ(once.e.FrameAt(1400), 0u);
    EXPECT_FALSE(once.e.IsPlaying());
}

// A frame table changed after its total was taken (shorter than the total says) is walked
// past its last frame: the player stops being active and has no frame.
TEST(FrameSequence, WalkingPastTheLastFrameLeavesThePlayerInactive) {
    Player p(FP_PLAYING | FP_LOOP);  // 300 ms in three frames
    EXPECT_EQ(p.e.FrameAt(1000), 1u);
    EXPECT_EQ(p.e.Player()->active, 1u);
    p.seq.frames.resize(1);  // the total still says 300
    EXPECT_EQ(p.e.FrameAt(1250), 0u);
    EXPECT_EQ(p.e.Player()->active, 0u);
}

// Setting frames on an entity whose player was never made fails with 0; a player made
// without a sequence has no frame to show.
TEST(FrameEntity, SetFramesWithoutAPlayerGivesZeroAndNoSequenceNoFrame) {
    FrameSequence seq;
    seq.Build(2, 7, 10, 8, 100);
    FrameEntity bare;
    EXPECT_EQ(bare.SetFrames(&seq, 1.0, FP_PLAYING), 0u);
    EXPECT_FALSE(bare.DescriptorMade());
    FrameEntity empty;
    EXPECT_EQ(empty.Create(nullptr, 1.0, FP_PLAYING), 999999u);
    EXPECT_EQ(empty.FrameAt(100), 0u);
    EXPECT_EQ(empty.Player()->resourceId, 0u);
    EXPECT_EQ(empty.SetFrames(&seq, 1.0, FP_PLAYING), 999999u);
    EXPECT_EQ(empty.FrameAt(200), 1u);
}

// A picture that says it has no frames is taken as one frame: no division by zero.
TEST(ImageEntity, APictureWithoutFramesCountsAsOne) {
    PictureTable pics;
    auto pic = SolidPicture(2, 2, {1}, {40});
    pic->frameCount = 0;
    pics.Add(1, std::move(pic));
    auto e = MakeImage(1, 1, 0, 0, 2, 2);
    EXPECT_EQ(e->SetFrame(3), 40u);
    EXPECT_EQ(e->GetFrame(), 0u);
    EXPECT_EQ(e->NextFrame(), 40u);
    EXPECT_EQ(e->FrameDelay(7), 40u);
    EXPECT_EQ(e->TotalDuration(), 0u);
}

// ---- particles ----------------------------------------------------------------------------

TEST(ParticleEntity, RegionIsCutToThePictureAndPaletteSamplesConverted) {
    PictureTable pics;
    pics.Add(1, SolidPicture(10, 6, {0x80112233}));
    ParticleEntity e;
    pics.Get(1)->flags = PIC_KEYED;
    EXPECT_EQ(e.Create(1, 6, 0, 8, 6), 999999u);
    EXPECT_FALSE(e.State()->pictureFlags & PIC_ALPHA);  // 32-bit samples keep their flags
    EXPECT_EQ(e.Descriptor().width, 4);
    EXPECT_EQ(e.State()->pixels.size(), 24u);
    EXPECT_EQ(e.State()->pixels[0], 0x80112233u);
    EXPECT_EQ(e.Create(1, 11, 0, 8, 6), 0u);  // outside: nothing
    EXPECT_EQ(e.Create(1, -3, 0, 5, 2), 999999u);
    EXPECT_EQ(e.Descriptor().width, 2);
    // A one-byte palette picture: 4 bytes a pixel are never read from it.
    auto pal = std::make_unique<EnginePicture>();
    pal->width = 3;
    pal->frameHeight = 1;
    pal->frameCount = 1;
    pal->ownedPixels = {0, 1, 2};
    pal->pixels = pal->ownedPixels.data();
    pal->dataSize = 3;
    pal->flags = PIC_OWN_PALETTE;
    pal->key = 2;
    pal->ownedPalette.assign(kPaletteBytes, 0);
    pal->ownedPalette[3] = 0xAA;  // index 1 red
    pal->palette = pal->ownedPalette.data();
    pics.Add(2, std::move(pal));
    ASSERT_EQ(e.Create(2, 0, 0, 3, 1), 999999u);
    EXPECT_EQ(e.State()->pixels, (std::vector<uint32_t>{0xFF000000, 0xFFAA0000, 0x00000000}));
    EXPECT_TRUE(e.State()->pictureFlags & PIC_ALPHA);
}

TEST(ParticleEntity, ARegionReachingPastTheIntRangeIsCutNotWrapped) {
    PictureTable pics;
    pics.Add(1, SolidPicture(10, 6, {0x80112233}));
    ParticleEntity e;
    // The far edge sum passes INT_MAX: the region lies right of the picture.
    EXPECT_EQ(e.Create(1, INT32_MAX - 2, 0, 10, 6), 0u);
    EXPECT_EQ(e.Create(1, 0, INT32_MAX - 2, 10, 6), 0u);
    EXPECT_FALSE(e.DescriptorMade());
    // A region from far left to the int range's end keeps the whole picture.
    ASSERT_EQ(e.Create(1, -5, -5, INT32_MAX, INT32_MAX), 999999u);
    EXPECT_EQ(e.Descriptor().width, 10);
    EXPECT_EQ(e.Descriptor().height, 6);
}

TEST(ParticleEntity, EmitsOnTheIntervalAndRetiresDeadParticles) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {0xFFFFFFFF}));
    ParticleEntity e;
    e.Init(50, 60, 2, 2, 0.0, 1, true, 1.0);
    ASSERT_EQ(e.Create(1, 0, 0, 2, 2), 999999u);
    e.SetCallbacks(
        [](const ParticleParams*) {
            Particle p;
            p.life = 2;
            return p;
        },
        [](Particle& p, const ParticleParams*) { return --p.life > 0; });
    e.SetEmission(5, 0, nullptr);
    EXPECT_EQ(e.State()->interval, 1000000u);
    e.SetEmission(5, 10, nullptr);
    e.State()->lastEmission = 1000;
    e.Tick(1010);  // not past the interval
    EXPECT_EQ(e.State()->live, 0u);
    e.Tick(1031);  // three intervals
    EXPECT_EQ(e.State()->live, 3u);
    EXPECT_EQ(e.State()->toEmit, 2u);
    EXPECT_EQ(e.State()->particles.front().originX, 50);
    e.Tick(1032);
    EXPECT_EQ(e.State()->live, 0u);
}

// ---- planes -------------------------------------------------------------------------------

TEST(ParticleEntity, StartTakesTheCanvasClockOnlyWhileAttached) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {0xFFFFFFFF}));
    Canvas canvas;
    canvas.InitScreen(32, 8, 8);
    test::Target target(8, 8);
    canvas.InvalidateAll();
    canvas.Render(0x5EED5EED, target.surface);
    ParticleEntity e;
    ASSERT_EQ(e.Create(1, 0, 0, 2, 2), 999999u);
    ASSERT_NE(e.AttachToCanvas(&canvas, 1), 0u);
    e.Start(true);
    EXPECT_EQ(e.State()->lastEmission, 0x5EED5EEDu);
    e.DetachFromCanvas();  // the canvas is still remembered, but no longer drawn on
    e.Start(true);
    EXPECT_EQ(e.State()->lastEmission, GetCachedTimeMs());
}

TEST(PlaneEntity, FillKeyReplaceBorderResize) {
    PlaneEntity p;
    TextLayout layout;
    p.SetTextLayout(&layout, true);  // no plane yet: nothing
    p.SetFont(12, 400, "x");
    p.Fill();
    p.DrawBorder(0x123456);
    p.ApplyColorKey();
    EXPECT_EQ(p.GetPixels(), nullptr);
    p.Create(0, 4, 0x0000FF);
    EXPECT_FALSE(p.DescriptorMade());
    p.Create(kMaxPlaneSide + 1, 4, 0x0000FF);
    EXPECT_FALSE(p.DescriptorMade());
    p.Create(2, 2, 0xFF00FF);
    EXPECT_EQ(p.State()->pixels, (std::vector<uint32_t>(4, 0u)));
    p.Create(2, 2, 0x0000FF);
    EXPECT_EQ(p.State()->pixels[0], 0xFFFF0000u);
    EXPECT_EQ(p.GetWidth(), 2);
    p.ReplaceColor(0x0000FF, 0x0000FF);
    EXPECT_EQ(p.State()->pixels[0], 0xFFFF0000u);
    p.SetPixel(1, 1, 0x00FF00);
    p.SetPixel(2, 0, 0x00FF00);  // outside: ignored
    p.SetPixel(-1, 0, 0x00FF00);
    EXPECT_EQ(p.State()->pixels[3], 0xFF00FF00u);
    p.Resize(4, 4);  // each pixel becomes a 2 × 2 block
    EXPECT_EQ(p.State()->pixels[0], 0xFFFF0000u);
    EXPECT_EQ(p.State()->pixels[1], 0xFFFF0000u);
    EXPECT_EQ(p.State()->pixels[2 * 4 + 2], 0xFF00FF00u);
    EXPECT_EQ(p.State()->pixels[3 * 4 + 3], 0xFF00FF00u);
    EXPECT_EQ(p.State()->pixels[2 * 4 + 1], 0xFFFF0000u);
    p.Resize(4, 2);  // one side alone changes the size too
    EXPECT_EQ(p.State()->height, 2);
    p.ReplaceColor(0x0000FF, 0xFF00FF);  // into the key: transparent
    EXPECT_EQ(p.State()->pixels[0], 0x00FF00FFu);
    PlaneEntity one;
    one.Create(1, 1, 0);
    one.DrawBorder(0x123456);
    EXPECT_EQ(one.State()->pixels[0], 0xFF563412u);
    EXPECT_EQ(ColorToPixel(0x0000FF, kNoColour), 0xFFFF0000u);
    EXPECT_EQ(ColorToPixel(kNoColour, kNoColour), 0x00FF00FFu);
}

// A plane takes any size whose sides fit the engine picture the canvas draws it through
// (16 bits) and whose buffer fits the one picture's limit of 256 MiB; a size past either is
// refused with a line in the log and leaves the plane as it was.
TEST(PlaneEntity, SizesAreHeldToSixteenBitSidesAndThePictureLimit) {
    const struct {
        int64_t w, h;
        bool fits;
    } cases[] = {
        {1, 1, true},          {0, 1, false},
        {1, 0, false},         {-1, 5, false},
        {65535, 1, true},      {65536, 1, false},
        {1, 65535, true},      {1, 65536, false},
        {8192, 8192, true},  // 256 MiB exactly
        {8193, 8192, false},   {8192, 8193, false},
        {65535, 1024, true},   {65535, 1025, false},
        {16384, 4096, true},   {16385, 4096, false},
        {INT32_MAX, 1, false}, {int64_t(1) << 40, 1, false},
    };
    for (const auto& c : cases) EXPECT_EQ(PlaneSizeFits(c.w, c.h), c.fits) << c.w << "x" << c.h;

    test::LogCapture log;
    PlaneEntity p;
    EXPECT_FALSE(p.Resize(4, 4));  // nothing made yet
    EXPECT_FALSE(p.Create(0, 1, 0x0000FF));
    EXPECT_EQ(log.text(), "");  // no pixels asked for: nothing to report
    EXPECT_FALSE(p.Create(65536, 1, 0x0000FF));
    EXPECT_FALSE(p.DescriptorMade());
    EXPECT_NE(log.text().find("平面尺寸过大:65536x1"), std::string::npos);
    ASSERT_TRUE(p.Create(5000, 20, 0x0000FF));
    EXPECT_EQ(p.State()->pixels.size(), 100000u);
    EXPECT_EQ(p.State()->pixels[99999], 0xFFFF0000u);
    EXPECT_TRUE(p.SetPlaneSize(4097, 1));
    EXPECT_EQ(p.State()->pixels.size(), 4097u);
    EXPECT_FALSE(p.SetPlaneSize(8193, 8192));
    EXPECT_FALSE(p.SetPlaneSize(1, 65536));
    EXPECT_NE(log.text().find("平面尺寸过大:8193x8192"), std::string::npos);
    EXPECT_EQ(p.State()->width, 4097);
    EXPECT_EQ(p.State()->height, 1);
    EXPECT_TRUE(p.SetPlaneSize(0, 9));  // a side below 1: left as it is
    EXPECT_TRUE(p.SetPlaneSize(4097, 1));
    EXPECT_EQ(p.State()->pixels.size(), 4097u);
    EXPECT_EQ(p.GetWidth(), 5000);  // the entity's own size is the caller's
}

TEST(PlaneEntity, PastesReachingPastTheIntRangeLandOutsideThePlane) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {0xFF0000FF}));
    PlaneEntity p;
    p.Create(4, 4, 0x00FF00);
    const std::vector<uint32_t> before = p.State()->pixels;
    p.PasteImage(INT32_MAX - 1, 0, 1, 0, 0, 2, 2, 4, 4, 0.0, 1.0, kNoColour);
    p.PasteImage(0, INT32_MAX - 1, 1, 0, 0, 2, 2, 4, 4, 30.0, 1.0, kNoColour);
    p.PasteImage(INT32_MIN, 0, 1, 0, 0, 2, 2, INT32_MAX, 4, 0.0, 1.0, kNoColour);
    EXPECT_EQ(p.State()->pixels, before);
    // A box ending exactly at x = 0 still meets the plane's first column.
    p.PasteImage(-2, 0, 1, 0, 0, 2, 2, 2, 2, 0.0, 1.0, kNoColour);
    p.PasteImage(-1, 0, 1, 0, 0, 2, 2, 2, 2, 0.0, 1.0, kNoColour);
    EXPECT_NE(p.State()->pixels[0], before[0]);
    EXPECT_EQ(p.State()->pixels[1], before[1]);
}

TEST(PlaneEntity, FitToTextSizesTheBufferToTheMeasuredTextOnly) {
    PlaneEntity p;
    p.Create(4, 30, 0);
    TextLayout layout;
    layout.Init();
    layout.SetStyle(p.State()->style);
    int w = 0, h = 0;
    layout.MeasureText(0, 0, "mahjong", w, h);
    ASSERT_GT(w, 4);
    p.FitToText("mahjong");
    EXPECT_EQ(p.State()->width, w);
    EXPECT_EQ(p.State()->height, h);
    EXPECT_EQ(p.GetWidth(), 4);  // the entity keeps its size
}

TEST(PlaneEntity, StyleStartsFromThePlaneAndFaceNamesAreCut) {
    PlaneEntity p;
    p.Create(8, 20, 0);
    EXPECT_EQ(p.State()->style.face, "宋体");
    EXPECT_EQ(p.State()->style.height, 10);
    EXPECT_EQ(p.State()->style.weight, 400);
    EXPECT_EQ(p.State()->style.wrap, 1);
    p.SetFont(12, 700, std::string(30, 'a') + "宋");  // 30 + 3 bytes: the character goes
    EXPECT_EQ(p.State()->style.face, std::string(30, 'a'));
    EXPECT_EQ(p.State()->style.height, 12);
    p.SetFont(12, 700, std::string(31, 'b'));
    EXPECT_EQ(p.State()->style.face.size(), 31u);
}

TEST(PlaneEntity, ColourKeyAfterTextAndPasteBounds) {
    PictureTable pics;
    pics.Add(1, SolidPicture(2, 2, {0xFF0000FF}));
    PlaneEntity p;
    p.Create(4, 4, 0x00FF00);
    p.PasteImage(4, 0, 1, 0, 0, 2, 2, 2, 2, 0.0, 1.0, kNoColour);  // at x = width: nothing
    EXPECT_EQ(p.State()->pixels[3], 0xFF00FF00u);
    p.PasteImage(0, 0, 1, 0, 0, 2, 2, 2, 2, 0.0, 1.0, kNoColour);
    EXPECT_NE(p.State()->pixels[0], 0xFF00FF00u);
    EXPECT_EQ(p.State()->pixels[3], 0xFF00FF00u);
    p.SetPixel(3, 3, kNoColour);
    p.State()->pixels[15] |= 0xFF000000;  // a key-coloured pixel made opaque by drawing
    p.DrawText(0, 0, "");
    EXPECT_EQ(p.State()->pixels[15], 0x00FF00FFu);
}

TEST(RecordListEntity, EachRecordIsReleasedOnceWithTheEntity) {
    static std::vector<uintptr_t> released;
    released.clear();
    ListRecord records[2] = {{1, 10, 0, [](uintptr_t d) { released.push_back(d); }},
                             {2, 20, 0, [](uintptr_t d) { released.push_back(d); }}};
    {
        RecordListEntity e;
        e.Create(records, 2, 0);
        EXPECT_EQ(e.Descriptor().kind, uint32_t(ENT_RECORDS));
        e.Create(records, 1, 0);  // the first set is released when replaced
        EXPECT_EQ(released, (std::vector<uintptr_t>{10, 20}));
    }
    EXPECT_EQ(released, (std::vector<uintptr_t>{10, 20, 10}));
}

// With free input 1 the records' array, a memory block of the resource manager, is released
// once copied; with 0 it stays the caller's.
TEST(RecordListEntity, FreeInputReleasesTheCopiedArray) {
    static std::vector<uintptr_t> released;
    released.clear();
    ResourceManager& rm = GetResourceManager();
    const size_t before = rm.GetMemResBytes();
    auto block = [&] {
        auto* r = static_cast<ListRecord*>(rm.NewMemRes(2 * sizeof(ListRecord), nullptr));
        r[0] = {1, 30, 0, [](uintptr_t d) { released.push_back(d); }};
        r[1] = {2, 40, 0, nullptr};
        return r;
    };
    ListRecord* kept = block();
    {
        RecordListEntity e;
        e.Create(kept, 2, 0);
        const RenderDescriptor& d = e.Descriptor();
        EXPECT_EQ(d.kind, uint32_t(ENT_RECORDS));
        EXPECT_EQ(d.stateSize, 4u);
        EXPECT_EQ(d.extra, 2u);
        EXPECT_EQ(rm.GetMemResBytes(), before + 2 * sizeof(ListRecord));
        kept[0].data = 99;  // the entity holds its own copy
        e.Create(block(), 2, 1);
        EXPECT_EQ(rm.GetMemResBytes(), before + 2 * sizeof(ListRecord));
        EXPECT_EQ(released, std::vector<uintptr_t>{30});
    }
    EXPECT_EQ(released, (std::vector<uintptr_t>{30, 30}));
    EXPECT_EQ(rm.ReleaseMemRes(kept), 2 * sizeof(ListRecord));
    EXPECT_EQ(rm.GetMemResBytes(), before);
}

// The point list's nodes live in a pool of 16-byte entries, 32 a block: one block of
// (16 + 8) x 32 bytes is there from the start; a new list replaces the old pool.
TEST(PointListEntity, CreateMakesAPoolOfOneBlockAndAnEmptyList) {
    PointListEntity e;
    e.Create();
    const RenderDescriptor& d = e.Descriptor();
    EXPECT_EQ(d.kind, uint32_t(ENT_POINTS));
    EXPECT_EQ(d.stateSize, 36u);
    EXPECT_EQ(d.extra, 2u);
    auto* s = dynamic_cast<PointListState*>(d.state.get());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->head, nullptr);
    EXPECT_EQ(s->pool.defaultBlockSize(), 768u);
    EXPECT_EQ(s->pool.blockCount(), 1u);
    s->pool.AllocBlock();
    e.Create();  // the old pool and its two blocks go with the old state (ASan)
    auto* again = dynamic_cast<PointListState*>(e.Descriptor().state.get());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->pool.blockCount(), 1u);
}

TEST(EntityFactory, KnownTypesOnly) {
    for (uint32_t t : {0u, 1u, 16u, 256u, 512u, 1024u, 4096u, 0x10000u}) {
        auto e = MakeEntityOfType(t);
        ASSERT_NE(e, nullptr) << t;
        EXPECT_EQ(e->GetType(), t);
    }
    EXPECT_EQ(MakeEntityOfType(2), nullptr);
    EXPECT_EQ(MakeEntityOfType(4097), nullptr);
}

}  // namespace
}  // namespace hqlv::engine
