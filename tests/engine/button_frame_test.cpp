#include "engine/core/button_frame.h"

#include <gtest/gtest.h>

#include "engine/core/clock.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "log_capture.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Frames : test::SceneTest<GameBase> {
    void SetUp() override {
        SceneTest::SetUp();
        pictures.Add(9, test::SolidPicture(30, 20, {0xFF808080}));
        skin.left = {9, 0, 0, 10, 20, 0};
        skin.right = {9, 0, 0, 10, 20, 0};
        skin.middle = {9, 0, 0, 30, 20, 0};
    }
    uint32_t Button() { return scene.CreateAdvancedButton(1, 0, 0, 0, 20, 10, true)->ControlId(); }
    void Frame() {
        clock.advance(40);
        scene.Tick();
    }
    ButtonSkin skin;
};

TEST_F(Frames, SlotsFollowThePiecesAndBadIndexesAreLogged) {
    test::LogCapture log;
    ButtonFrame* f = scene.CreateButtonFrame(3, &skin);
    EXPECT_EQ(f->FrameEntity()->GetWidth(), 10 + 10 + 3 * 30);
    const uint32_t b = Button();
    EXPECT_EQ(f->OnButton(3, b), 0u);
    EXPECT_NE(log.text().find("BUTTONFRAME::OnButton()错误,一个越界的请求"), std::string::npos);
    EXPECT_EQ(f->OnButton(1, b), 0u);
    EXPECT_EQ(f->OnButton(1, b), b);  // seated again: unchanged
    Entity* face = k().FindEntity(k().FindControl(b)->entityId);
    EXPECT_EQ(face->GetX(), f->FrameEntity()->GetX() + f->Slots()[1].dx);
    EXPECT_EQ(f->Slots()[1].dx, 0);  // the middle of three middle pieces
    EXPECT_EQ(f->Slots()[0].dx, -30);
    f->FrameEntity()->SetPosition(200, 50);  // the offsets stay relative to the frame
    f->Layout();
    EXPECT_EQ(f->Slots()[0].dx, -30);
    EXPECT_EQ(f->SetSlotCount(-1, &skin, 1), -1);
    EXPECT_EQ(f->SetSlotCount(3, nullptr, 1), -1);
    EXPECT_EQ(f->OffButton(1), b);
    EXPECT_EQ(f->OffButton(1), 0u);
    EXPECT_EQ(f->GetButton(7), nullptr);
}

TEST_F(Frames, ButtonsDroppedByAShrinkAreNotWrittenThroughAfterwards) {
    ButtonFrame* f = scene.CreateButtonFrame(3, &skin);
    const uint32_t a = Button(), b = Button(), c = Button();
    f->OnButton(0, a);
    f->OnButton(1, b);
    f->OnButton(2, c);
    EXPECT_EQ(f->SetSlotCount(1, nullptr, 1), 2);
    EXPECT_EQ(k().FindControl(b), nullptr);
    EXPECT_EQ(k().FindControl(c), nullptr);
    f->Layout();
    f->PlaceButtons();
    f->EnableButtons(false);
    EXPECT_EQ(f->SetSlotCount(3, nullptr, 2), 0);
    EXPECT_EQ(f->PlaceButtons(), 1);
    // A button deleted elsewhere leaves its slot at the next use.
    k().DeleteControl(a);
    EXPECT_EQ(f->GetButton(0), nullptr);
    EXPECT_EQ(f->Slots()[0].controlId, 0u);
    EXPECT_EQ(f->PlaceButtons(), 0);
}

TEST_F(Frames, PolicyTwoKeepsTheDroppedButtons) {
    ButtonFrame* f = scene.CreateButtonFrame(2, &skin);
    const uint32_t a = Button(), b = Button();
    f->OnButton(0, a);
    f->OnButton(1, b);
    EXPECT_EQ(f->SetSlotCount(1, nullptr, 2), 1);
    EXPECT_NE(k().FindControl(b), nullptr);
    EXPECT_EQ(f->Slots()[0].controlId, a);
}

TEST_F(Frames, AHundredFadeInsLeaveNoBlockBehind) {
    ButtonFrame* f = scene.CreateButtonFrame(2, &skin);
    f->SetStyle(FRAME_ENABLE_WHEN_SHOWN);
    for (int i = 0; i < 100; ++i) {
        f->FadeTo(0.5, 1.0);
        Frame();
        Frame();
        Frame();
    }
    EXPECT_DOUBLE_EQ(f->FrameEntity()->GetAlpha(), 1.0);
}

TEST_F(Frames, PiecesSitJustAboveTheFrameAndFollowANewCount) {
    ButtonFrame* f = scene.CreateButtonFrame(2, &skin);
    Entity* frame = f->FrameEntity();
    ASSERT_EQ(frame->GetChildCount(), 4u);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(frame->GetChild(i)->GetZ(), frame->GetZ() + 1);
    const uint32_t a = Button(), b = Button();
    f->OnButton(0, a);
    f->OnButton(1, b);
    EXPECT_EQ(f->SetSlotCount(4, nullptr, 2), 0);
    EXPECT_EQ(frame->GetWidth(), 10 + 10 + 4 * 30);
    EXPECT_EQ(f->SetSlotCount(0, nullptr, 2), 2);  // no slot left: both dropped, both alive
    EXPECT_TRUE(f->Slots().empty());
    EXPECT_NE(k().FindControl(a), nullptr);
    scene.AnimateButtonFrame(987654, 0.5, 1.0);  // no such frame: nothing
}

TEST_F(Frames, ANewCountKeepsTheSeatedFacesTheirSizeAndTheirPlaceInTheFrame) {
    ButtonFrame* f = scene.CreateButtonFrame(3, &skin);
    Entity* frame = f->FrameEntity();
    const uint32_t a = Button(), b = Button(), c = Button();
    f->OnButton(0, a);
    f->OnButton(1, b);
    f->OnButton(2, c);
    auto face = [&](uint32_t id) { return k().FindEntity(k().FindControl(id)->entityId); };
    // Shrunk by one slot (30 narrower), then grown by two, the faces stay 20 × 10.
    EXPECT_EQ(f->SetSlotCount(2, nullptr, 2), 1);
    EXPECT_EQ(f->SetSlotCount(4, nullptr, 2), 0);
    for (uint32_t id : {a, b}) {
        EXPECT_EQ(face(id)->GetWidth(), 20);
        EXPECT_EQ(face(id)->GetHeight(), 10);
        EXPECT_EQ(face(id)->GetZ(), frame->GetZ() + 2);
    }
    // The kept buttons still move with the frame; the dropped one no longer does.
    const int cx = face(c)->GetX();
    frame->MoveBy(7, 0);
    EXPECT_EQ(face(a)->GetX(), frame->GetX() + f->Slots()[0].dx);
    EXPECT_EQ(face(b)->GetX(), frame->GetX() + f->Slots()[1].dx);
    EXPECT_EQ(face(c)->GetX(), cx);
    EXPECT_EQ(f->Slots()[2].controlId, 0u);
    // A new skin at the same count builds the pieces again, to its own widths.
    ButtonSkin wide = skin;
    wide.middle.width = 40;
    EXPECT_EQ(f->SetSlotCount(-1, &wide, 2), 0);
    EXPECT_EQ(frame->GetWidth(), 10 + 10 + 4 * 40);
    EXPECT_EQ(face(a)->GetWidth(), 20);
}

TEST_F(Frames, ASkinlessFrameLaysOutNothing) {
    ButtonFrame* f = scene.CreateButtonFrame(2, nullptr);
    f->Layout();
    EXPECT_EQ(f->FrameEntity()->GetWidth(), 0);
}

TEST_F(Frames, FadesWithTheCursorInsideItsTurnedBox) {
    ButtonFrame* f = scene.CreateButtonFrame(3, &skin);  // 130 × 20
    f->SetStyle(FRAME_FADE_WITH_CURSOR);
    Entity* e = f->FrameEntity();
    e->SetPosition(200, 150);
    e->SetRotation(90.0);
    e->ApplyTransform();
    auto at = [&](uint32_t code, int x, int y) {
        MouseState s;
        s.x = x;
        s.y = y;
        EngineMessage m{code, MessageData::Owned(new MouseState(s), &FreeMouseState), 0};
        f->HandleMessage(m);
    };
    at(2, 250, 150);  // outside once the box stands upright
    EXPECT_FALSE(f->Shown());
    e->SetAlpha(0.2);
    at(2, 200, 200);
    EXPECT_TRUE(f->Shown());
    // The fade-in steps once a frame interval.
    const double before = e->GetAlpha();
    clock.advance(10);
    k().RunDueApplies();
    EXPECT_DOUBLE_EQ(e->GetAlpha(), before);
    clock.advance(30);
    k().RunDueApplies();
    EXPECT_NE(e->GetAlpha(), before);
    at(3, 200, 140);  // still inside: no fade-out
    EXPECT_TRUE(f->Shown());
    at(3, 200, 260);
    EXPECT_FALSE(f->Shown());
}

TEST_F(Frames, SetEventBeforeCreateIsRefused) {
    test::LogCapture log;
    ButtonFrame bare;
    bare.SetKernel(&k());
    EXPECT_EQ(bare.SetEvent(2, 2, 0), 0);
    EXPECT_NE(log.text().find("按键框控件设定错误，框体尚未初始化"), std::string::npos);
}

TEST_F(Frames, FadeInEndsInAResetThroughCallback67) {
    ButtonFrame* f = scene.CreateButtonFrame(2, &skin);
    auto* img = scene.CreateImageEntity(4, 10, 10, 9, 0, 0, 0, 0, kNoColour);
    ControlData* c = k().ApplyControl(img->GetId(), 0);
    f->OnButton(1, c->id);    // slot 0 stays empty
    f->EnableButtons(false);  // hidden or not, the seated buttons are disabled
    EXPECT_FALSE(k().FindControl(c->id)->enabled);
    c->Enable(true);
    // A step of 0 hides at once: the faces lose their colour and the buttons are disabled.
    scene.AnimateButtonFrame(f->ControlId(), 0, 0.0);
    EXPECT_EQ(img->GetColorWord(), kNoColour);
    EXPECT_FALSE(k().FindControl(c->id)->enabled);
    f->EnableButtons(true);  // not shown: stays disabled
    EXPECT_FALSE(k().FindControl(c->id)->enabled);
    scene.AnimateButtonFrame(f->ControlId(), 0.5, 1.0);
    for (int i = 0; i < 4; ++i) Frame();
    EXPECT_TRUE(k().FindControl(c->id)->enabled);
    EXPECT_EQ(img->GetColorWord(), 0u);
}

}  // namespace
}  // namespace hqlv::engine
