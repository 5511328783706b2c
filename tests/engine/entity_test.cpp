#include <gtest/gtest.h>

#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

using test::Target;

struct Plain : Entity {
    explicit Plain(uint32_t id, int x = 0, int y = 0, int w = 10, int h = 10) : Entity(ENT_PLAIN) {
        SetId(id);
        Init(x, y, w, h, 0.0, 1, true, 1.0);
    }
};

TEST(EntityGeometry, RadiusEdgesAndUnchangedMoves) {
    Entity e(ENT_PLAIN);
    e.Init(10, 20, 0, 5, 0.0, 1, true, 1.0);
    EXPECT_EQ(e.GetTransform().radius, 0);
    e.Init(10, 20, 5, 4, 0.0, 1, true, 1.0);
    // a = 3, b = 2: sqrt(13) + 0.5 = 4.1
    EXPECT_EQ(e.GetTransform().radius, 4);
    EXPECT_EQ(e.GetLeft(), 7);
    EXPECT_EQ(e.GetRight(), 13);
    EXPECT_EQ(e.GetTop(), 18);
    EXPECT_EQ(e.GetBottom(), 22);
    e.SetPosition(10, 20);
    EXPECT_FALSE(e.GeometryChanged());
    e.Scale(1.0, 1.0);
    EXPECT_FALSE(e.GeometryChanged());
    e.SetZ(1);
    EXPECT_FALSE(e.GeometryChanged());
    e.Show();
    e.SetAlpha(0.5);
    EXPECT_FALSE(e.GeometryChanged());
    e.Scale(2.0, 1.0);
    EXPECT_TRUE(e.GeometryChanged());
    EXPECT_EQ(e.GetWidth(), 10);
    // A change of one side alone changes the geometry too.
    for (const auto& [dw, dh] : {std::pair{1, 0}, std::pair{0, 1}}) {
        Entity r(ENT_PLAIN);
        r.Init(0, 0, 4, 4, 0.0, 1, true, 1.0);
        r.ResizeBy(dw, dh);
        EXPECT_TRUE(r.GeometryChanged()) << dw << "," << dh;
    }
    // A turn changes the geometry when it turns: by a delta, to an angle, about a point.
    const struct {
        const char* turn;
        void (*apply)(Entity&);
        bool changed;
    } turns[] = {
        {"by 0", [](Entity& t) { t.RotateBy(0.0); }, false},
        {"by 1", [](Entity& t) { t.RotateBy(1.0); }, true},
        {"to 30", [](Entity& t) { t.SetRotation(30.0); }, false},
        {"to 31", [](Entity& t) { t.SetRotation(31.0); }, true},
        {"about by 0", [](Entity& t) { t.RotateAround(0, 0, 0.0); }, false},
        {"about by 1", [](Entity& t) { t.RotateAround(0, 0, 1.0); }, true},
    };
    for (const auto& row : turns) {
        Entity t(ENT_PLAIN);
        t.Init(10, 10, 4, 4, 30.0, 1, true, 1.0);
        row.apply(t);
        EXPECT_EQ(t.GeometryChanged(), row.changed) << row.turn;
    }
}

TEST(EntityGeometry, RotatePointAndSegments) {
    EXPECT_EQ(RotatePoint(5, 7, 0, 0, 0.0, 1), (IPoint{5, 7}));
    EXPECT_EQ(RotatePoint(110, 100, 100, 100, 90.0, 0), (IPoint{100, 110}));
    EXPECT_EQ(RotatePoint(110, 100, 100, 100, 90.0, 1), (IPoint{100, 90}));
    DPoint p;
    EXPECT_EQ(SegmentIntersect({0, 0}, {10, 0}, {5, 0}, {5, 5}, nullptr), 2);
    EXPECT_EQ(SegmentIntersect({0, 0}, {10, 10}, {0, 10}, {10, 0}, &p), 1);
    EXPECT_DOUBLE_EQ(p.x, 5);
    EXPECT_DOUBLE_EQ(p.y, 5);
    EXPECT_EQ(SegmentIntersect({0, 0}, {10, 0}, {0, 1}, {10, 1}, nullptr), 0);
    EXPECT_EQ(SegmentIntersect({0, 0}, {10, 0}, {11, 0}, {20, 0}, nullptr), 0);
    EXPECT_EQ(SegmentIntersect({0, 0}, {10, 0}, {10, 0}, {20, 0}, nullptr), 2);
}

TEST(EntityChildren, FlagsChooseWhatFollows) {
    Plain parent(1, 100, 100);
    Plain moved(2, 10, 10), sized(3), zed(4), none(5);
    parent.AddChild(&moved, LINK_MOVE | LINK_ALPHA);
    parent.AddChild(&sized, LINK_SIZE | LINK_SHOW);
    parent.AddChild(&zed, LINK_Z | LINK_HIDE_ONLY);
    parent.AddChild(&none, 0);
    parent.MoveBy(3, -4);
    parent.ResizeBy(2, 1);
    parent.ChangeZBy(5);
    parent.SetAlpha(0.25);
    EXPECT_EQ(moved.GetX(), 13);
    EXPECT_EQ(moved.GetY(), 6);
    EXPECT_EQ(moved.GetAlpha(), 0.25);
    EXPECT_EQ(sized.GetWidth(), 12);
    EXPECT_EQ(sized.GetHeight(), 11);
    EXPECT_EQ(sized.GetX(), 0);
    EXPECT_EQ(zed.GetZ(), 6);
    EXPECT_EQ(none.GetX(), 0);
    EXPECT_EQ(none.GetZ(), 1);
    EXPECT_EQ(sized.GetAlpha(), 1.0);
    // Hiding: LINK_SHOW follows, LINK_HIDE_ONLY marks the link, the others stay.
    parent.Hide();
    EXPECT_FALSE(sized.IsVisible());
    EXPECT_FALSE(zed.IsVisible());
    EXPECT_TRUE(parent.Children()[2].flags & LINK_HIDDEN_BY_PARENT);
    EXPECT_TRUE(none.IsVisible());
    parent.Show();
    EXPECT_TRUE(zed.IsVisible());
    EXPECT_FALSE(parent.Children()[2].flags & LINK_HIDDEN_BY_PARENT);
    // An already hidden 0x1000 child is not marked and stays hidden.
    zed.Hide();
    parent.Hide();
    EXPECT_FALSE(parent.Children()[2].flags & LINK_HIDDEN_BY_PARENT);
    parent.Show();
    EXPECT_FALSE(zed.IsVisible());
    // Removing from the middle keeps the order.
    EXPECT_EQ(parent.RemoveChild(3), 3u);
    EXPECT_EQ(parent.GetChild(0), &moved);
    EXPECT_EQ(parent.GetChild(1), &zed);
    EXPECT_EQ(parent.GetChild(2), &none);
    EXPECT_EQ(parent.GetChild(3), nullptr);
    EXPECT_EQ(parent.RemoveChild(99), 0u);
    EXPECT_EQ(sized.GetParent(), nullptr);
}

TEST(EntityChildren, TheFirstLinkFollowsShowAndHideToo) {
    Plain parent(1), first(2), second(3);
    parent.AddChild(&first, LINK_SHOW);
    parent.AddChild(&second, LINK_SHOW);
    parent.Hide();
    EXPECT_FALSE(first.IsVisible());
    EXPECT_FALSE(second.IsVisible());
    parent.Show();
    EXPECT_TRUE(first.IsVisible());
    EXPECT_TRUE(second.IsVisible());
}

TEST(EntityChildren, RotationTurnsChildrenAboutTheParent) {
    Plain parent(1, 100, 100);
    Plain child(2, 110, 100);
    Plain grand(3, 120, 100);
    parent.AddChild(&child, LINK_ROTATE);
    child.AddChild(&grand, LINK_MOVE);
    parent.RotateBy(90.0);
    EXPECT_EQ(child.GetX(), 100);
    EXPECT_EQ(child.GetY(), 90);
    EXPECT_EQ(child.GetRotation(), 90.0);
    EXPECT_EQ(grand.GetX(), 110);  // moved by the same delta as its parent
    EXPECT_EQ(grand.GetY(), 90);
    parent.SetRotation(90.0);
    EXPECT_EQ(child.GetY(), 90);
}

// Self, ancestor and re-linking must not create cycles or twin links.
TEST(EntityFaults, AddChildRefusesCyclesAndRelinkReplacesFlags) {
    Plain a(1), b(2), c(3);
    EXPECT_EQ(a.AddChild(&a, LINK_MOVE), 0u);
    EXPECT_EQ(a.AddChild(nullptr, LINK_MOVE), 0u);
    EXPECT_EQ(a.AddChild(&b, LINK_MOVE), 1u);
    EXPECT_EQ(b.AddChild(&c, LINK_MOVE), 1u);
    EXPECT_EQ(c.AddChild(&a, LINK_MOVE), 0u);
    EXPECT_EQ(b.AddChild(&a, LINK_MOVE), 0u);
    EXPECT_EQ(a.AddChild(&b, LINK_SIZE), 1u);
    EXPECT_EQ(a.Children()[0].flags, uint32_t(LINK_SIZE));
    a.MoveBy(1, 1);  // would loop for ever with a cycle
    EXPECT_EQ(b.GetX(), 0);
    // Linking to another parent moves the link.
    EXPECT_EQ(c.AddChild(&b, LINK_MOVE), 0u);  // b is c's ancestor
    Plain d(4);
    EXPECT_EQ(d.AddChild(&c, LINK_MOVE), 1u);
    EXPECT_EQ(b.GetChildCount(), 0u);
    EXPECT_EQ(c.GetParent(), &d);
}

TEST(EntityFaults, DestroyingALinkedChildDropsTheLinkThenMovesAreSafe) {
    auto parent = std::make_unique<Entity>(ENT_PLAIN);
    parent->SetId(1);
    parent->Init(50, 50, 10, 10, 0.0, 1, true, 1.0);
    auto child = std::make_unique<Entity>(ENT_PLAIN);
    child->SetId(2);
    parent->AddChild(child.get(), LINK_MOVE | LINK_OWNED);
    parent->AddChild(child.get(), LINK_MOVE | LINK_APPLY);  // twice
    EXPECT_EQ(parent->GetChildCount(), 1u);
    child.reset();
    EXPECT_EQ(parent->GetChildCount(), 0u);
    parent->MoveBy(5, 5);  // under ASan: no write through a gone child
    parent->ApplyTransform();
    EXPECT_EQ(parent->GetX(), 55);
    // And the other way round: a gone parent leaves its child free.
    auto orphan = std::make_unique<Entity>(ENT_PLAIN);
    parent->AddChild(orphan.get(), LINK_MOVE);
    parent.reset();
    EXPECT_EQ(orphan->GetParent(), nullptr);
}

TEST(EntityCanvas, AttachPushAndCheckedLinks) {
    test::PictureTable pics;
    pics.Add(7, test::SolidPicture(4, 4, {0xFFFF0000}));
    Canvas canvas;
    canvas.InitScreen(32, 100, 100);
    Entity typed(ENT_IMAGE);
    EXPECT_EQ(typed.AttachToCanvas(&canvas, 1), 0u);  // no descriptor
    auto img = test::MakeImage(3, 7, 20, 20, 4, 4);
    EXPECT_EQ(img->AttachToCanvas(&canvas, 9), 0u);
    EXPECT_NE(img->AttachToCanvas(&canvas, 1), 0u);
    EXPECT_TRUE(img->IsInView());
    auto child = test::MakeImage(4, 7, 30, 30, 4, 4);
    child->AttachToCanvas(&canvas, 1);
    EXPECT_EQ(img->AddChild(child.get(), LINK_MOVE | LINK_CHECK), 1u);
    child->DetachFromCanvas();
    img->MoveBy(1, 0);
    EXPECT_EQ(child->GetX(), 30);  // the registration check skips it
    Entity unattached(ENT_PLAIN);
    EXPECT_EQ(unattached.AddChild(img.get(), LINK_CHECK), 0u);
    unattached.ApplyTransform();  // nothing to push to
    EXPECT_EQ(canvas.ScreenToLayer(3, 5, 6), (IPoint{5, 6}));
}

}  // namespace
}  // namespace hqlv::engine
