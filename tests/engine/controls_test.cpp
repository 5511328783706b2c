#include "engine/core/controls.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/entity_kinds.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/plane.h"
#include "log_capture.h"
#include "platform/core/text.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Buttons : test::SceneTest<> {
    // A bare button added to the scene, not yet created.
    AdvButton* Plain() {
        return static_cast<AdvButton*>(scene.AddObject(std::make_unique<AdvButton>()));
    }
    uint32_t Send(AdvButton* b, uint32_t code, void* block) {
        EngineMessage m{code, MessageData::Number(reinterpret_cast<uintptr_t>(block)), 0};
        return b->HandleMessage(m);
    }
};

TEST_F(Buttons, PressAndReleaseAlphasWithOneDelivery) {
    AdvButton* b = scene.CreateAdvancedButton(600, 0, 100, 100, 60, 30, true);
    PlaneEntity* face = b->TextEntity();
    ASSERT_NE(face, nullptr);
    EXPECT_DOUBLE_EQ(face->GetAlpha(), 0.8);
    Frame();
    scene.OnMouseMove(0, 100, 100);
    EXPECT_DOUBLE_EQ(face->GetAlpha(), 1.0);
    scene.OnLButtonDown(0, 100, 100);
    EXPECT_DOUBLE_EQ(face->GetAlpha(), 0.3);
    EXPECT_TRUE(b->Look() & LOOK_PRESSED);
    const uint32_t faceId = face->GetId();
    scene.OnLButtonUp(0, 100, 100);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{600});
    // The message box's button destroyed its own entity (and itself) after the click.
    EXPECT_EQ(k().FindEntity(faceId), nullptr);
}

TEST_F(Buttons, WithoutReleaseParentAClickDestroysOnlyTheButton) {
    Entity* parent = k().CreateEntity(0, 10, 10, 4, 4, 0, 1, true, 1);
    AdvButton* b = scene.CreateAdvancedButton(0, 0, 100, 100, 60, 30, true);
    const uint32_t face = b->TextEntity()->GetId();
    k().LinkChildEntity(parent, b->TextEntity(), 0);
    EngineMessage click{8, MessageData{}, 0};
    b->HandleMessage(click);
    EXPECT_EQ(k().FindEntity(face), nullptr);
    EXPECT_EQ(k().FindEntity(parent->GetId()), parent);
}

TEST_F(Buttons, MovingAButtonUnderOrAwayFromTheCursorAsksForAHoverRefresh) {
    AdvButton* b = scene.CreateAdvancedButton(0, 0, 100, 100, 60, 30, true);
    Frame();
    scene.OnMouseMove(0, 300, 200);
    scene.PumpMessages();
    b->SetPosition(300, 200);  // now under the cursor, not hovered yet
    EXPECT_EQ(k().GetMessageCount(), 1u);
    scene.PumpMessages();  // 84: the hover is found again
    EXPECT_EQ(scene.GetMouseManager()->State().hoveredEntity, b->TextEntity()->GetId());
    b->MoveBy(1, 0);  // still under it
    EXPECT_EQ(k().GetMessageCount(), 0u);
    b->SetAlpha(0.5);
    b->MoveBy(100, 0);  // moved away while hovered
    EXPECT_EQ(k().GetMessageCount(), 1u);
    scene.PumpMessages();
    EXPECT_EQ(scene.GetMouseManager()->State().hoveredEntity, 0u);
    b->SetFocus();
    EXPECT_EQ(k().GetTopControl(), b->ControlId());
    b->ClearFocus();
    EXPECT_EQ(k().GetTopControl(), 0u);
}

TEST_F(Buttons, LooksOfDisableAndEnable) {
    AdvButton* b = scene.CreateAdvancedButton(600, 0, 100, 100, 60, 30, true);
    b->Enable(false);
    EXPECT_DOUBLE_EQ(b->TextEntity()->GetAlpha(), 0.3);
    b->Relayout();
    EXPECT_DOUBLE_EQ(b->TextEntity()->GetAlpha(), 0.3);
    b->Enable(true);
    EXPECT_DOUBLE_EQ(b->TextEntity()->GetAlpha(), 0.8);
}

TEST_F(Buttons, HotKeyOnlyOnAVisibleEnabledButton) {
    AdvButton* b = scene.CreateAdvancedButton(601, 0, 100, 100, 60, 30, true);
    b->SetHotKey(0x0D);
    auto key = [&](uint32_t code) {
        MouseState s;
        s.keyDown = code;
        EngineMessage m{22, MessageData::Owned(new MouseState(s), &FreeMouseState), 0};
        b->OnMessage(m);
        scene.PumpMessages();
    };
    key(0x20);
    EXPECT_TRUE(scene.messages.empty());
    b->Hide();
    key(0x0D);
    EXPECT_TRUE(scene.messages.empty());
    b->Show();
    b->Enable(false);
    key(0x0D);
    EXPECT_TRUE(scene.messages.empty());
    b->Enable(true);
    key(0x0D);
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{601});
}

TEST_F(Buttons, CaptionsAndFloatingTextsAreCutOnACharacterBoundary) {
    // 150 double-byte characters are 300 GBK bytes: 127 fit in 255, never half of one.
    std::string wide;
    for (int i = 0; i < 150; ++i) wide += "中";
    const std::string cut = CutToGbkBytes(wide, kMaxCaptionBytes);
    EXPECT_EQ(platform::utf8ToGbk(cut).size(), 254u);
    EXPECT_EQ(CutToGbkBytes("a中b", 2), "a");
    EXPECT_EQ(CutToGbkBytes("a中b", 3), "a中");
    EXPECT_EQ(CutToGbkBytes("abc", 3), "abc");
    AdvButton* b = scene.CreateAdvancedButton(1, 0, 100, 100, 60, 30, true);
    std::string caption = "x" + wide;
    EngineMessage m{71, MessageData::Number(uintptr_t(caption.c_str())), 0};
    b->OnMessage(m);
    EXPECT_LE(platform::utf8ToGbk(b->Caption()).size(), kMaxCaptionBytes);
    EXPECT_EQ(b->Caption().find("\xE4\xB8"), 1u);
    EXPECT_EQ(CutToGbkBytes(std::string(1023, 'a') + "中", kMaxFloatingTextBytes).size(), 1023u);
}

TEST_F(Buttons, OkOnAFloatingTextClosesTheBoxOnce) {
    ASSERT_EQ(scene.ShowFloatingText("hello", 1 | 8, 1000, kScreenCentre, kScreenCentre, 100, 80,
                                     700, 701, 0),
              999999u);
    Frame();
    // The OK face is the left one of the two faces linked to the box.
    const size_t before = k().GetEntityCount();
    ASSERT_EQ(before, 3u);
    Entity* ok = nullptr;
    for (uint32_t id = 1; id <= 3; ++id)
        if (Entity* e = k().FindEntity(id); e && e->GetParent() && (!ok || e->GetX() < ok->GetX()))
            ok = e;
    ASSERT_NE(ok, nullptr);
    EXPECT_GE(ok->GetParent()->GetZ(), 10000);  // the box stands above the scene's items
    const int x = ok->GetX(), y = ok->GetY();
    Frame();
    scene.OnMouseMove(0, x, y);
    scene.OnLButtonDown(0, x, y);
    scene.OnLButtonUp(0, x, y);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{700});
    EXPECT_EQ(k().GetEntityCount(), 0u);
    for (int i = 0; i < 5; ++i) Frame();
}

TEST_F(Buttons, FloatingTextWithoutWaitFadesAndGoes) {
    const uint32_t out = scene.ShowFloatingText("bye", 0, 500, 50, 50, 100, 80, 0, 0, 0);
    EXPECT_NE(out, 0u);
    EXPECT_EQ(k().GetEntityCount(), 1u);
    for (int i = 0; i < 60; ++i) Frame();
    EXPECT_EQ(k().GetEntityCount(), 0u);
}

TEST_F(Buttons, FadeStepsAndRotatedHitTest) {
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(500), -0.1);
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(999), -0.1);
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(1000), -0.1);
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(5000), -0.02);
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(10000), -0.01);
    EXPECT_DOUBLE_EQ(FloatingFadeOutStep(20000), -0.01);
    EXPECT_TRUE(PointOverBox(100, 115, 100, 100, 40, 20, 90.0));
    EXPECT_FALSE(PointOverBox(115, 100, 100, 100, 40, 20, 90.0));
    EXPECT_FALSE(PointOverBox(100, 115, 100, 100, 40, 20, 0.0));
    EXPECT_TRUE(PointOverBox(115, 100, 100, 100, 40, 20, 0.0));
    EXPECT_FALSE(PointOverBox(120, 100, 100, 100, 40, 20, 0.0));  // strict edges
    EXPECT_TRUE(PointOverBox(119, 100, 100, 100, 40, 20, 0.0));
}

TEST_F(Buttons, MouseEventSlotsPast29AreRefused) {
    test::LogCapture log;
    scene.ExecCommand("/logon");
    scene.SetMouseEvent(30, 5, 0);
    EXPECT_NE(log.text().find("鼠标控件设置错误，不合理的状态值"), std::string::npos);
    scene.SetMouseEvent(29, 5, 0);
    EXPECT_NE(k().FindControl(scene.GetMouseManager()->ControlId())->GetEvent(29), nullptr);
}

TEST_F(Buttons, StatisticsAndScreenSettingsAreShownInABox) {
    k().CreateEntity(0, 1, 1, 1, 1, 0, 1, true, 1);
    EXPECT_EQ(scene.ExecCommand("/showsystem"), 1);
    EXPECT_EQ(k().GetEntityCount(), 3u);  // the entity, the box and its OK button
    const std::string info = scene.ShowSystemInfo();
    EXPECT_EQ(info.rfind("<rightmargin=20;leftmargin=20> 实体：<color=255>3<color=16777215;break> "
                         "控件：<color=255>",
                         0),
              0u);
    EXPECT_NE(info.find(" 运行脚本：<color=255>0<color=16777215;break>"), std::string::npos);
    const std::string set = scene.ShowGameSet();
    EXPECT_EQ(
        set.rfind("屏幕逻辑宽度:/c(255)400/c(16777215)/n 屏幕逻辑高度:/c(255)300/c(16777215)/n\t",
                  0),
        0u);
    EXPECT_NE(set.find("鼠标移动速度:/c(255)5/c(16777215)/n"), std::string::npos);
}

TEST_F(Buttons, ControlOperationsOfTheScene) {
    test::LogCapture log;
    scene.ExecCommand("/logon");
    scene.ShowControl(nullptr, true);
    ControlData* loose = k().CreateControl();
    scene.ShowControl(loose, true);
    EXPECT_EQ(scene.MoveControl(nullptr, 1, 1), 0);
    scene.BT_SetBackColor(nullptr, 1);
    scene.BT_SetBackColor(loose, 1);
    for (const char* line :
         {"控件操作（显示）错误，控件不存在", "控件操作（显示）错误，控件未与实体绑定",
          "控件移动错误，控件不存在", "BT_SetBackColor::error，控件不存在",
          "BT_SetBackColor::error,Object is not a BIT_SINGLE"})
        EXPECT_NE(log.text().find(line), std::string::npos) << line;
    Entity* e = scene.CreateImageEntity(1, 50, 50, 0, 0, 0, 10, 10, kNoColour);
    e->SetAlpha(0.5);
    ControlData* c = k().ApplyControl(e->GetId(), 0);
    scene.ShowControl(c, true);
    EXPECT_TRUE(e->IsVisible());
    EXPECT_EQ(scene.MoveControl(c, 70, 80), 0);
    EXPECT_EQ(e->GetX(), 70);
    scene.BT_SetBackColor(c, 0x123456);
    EXPECT_EQ(static_cast<ImageEntity*>(e)->GetColorWord(), 0x123456u);
    scene.SetControlHighlight(c, true);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.7);
    EXPECT_EQ(c->GetEvent(8)->code, 43u);
    EXPECT_EQ(c->GetEvent(4)->code, 39u);
    EXPECT_EQ(c->GetEvent(5)->code, 40u);
    e->SetAlpha(1.1);
    scene.SetControlHighlight(c, false);
    EXPECT_DOUBLE_EQ(e->GetAlpha(), 0.8);
    EXPECT_EQ(c->GetEvent(8), nullptr);
}

TEST_F(Buttons, FloatingTextCallbackShowsTheText) {
    char* text = static_cast<char*>(std::malloc(8));
    std::strcpy(text, "note");
    k().PostMessage(88, MessageData::Owned(text, std::free));
    scene.PumpMessages();
    EXPECT_EQ(k().GetEntityCount(), 2u);  // the box and its OK button
}

TEST_F(Buttons, CreateMakesAPlaneOnTheTopLayerBoundToTheCode) {
    EXPECT_EQ(Plain()->TextEntity(), nullptr);  // not created yet
    AdvButton* shown = Plain();
    shown->Create(700, 50, 60, 40, 20, true);
    PlaneEntity* face = shown->TextEntity();
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->GetLayer(), 4);
    EXPECT_TRUE(face->IsVisible());
    EXPECT_EQ(face->GetX(), 50);
    EXPECT_EQ(face->GetWidth(), 40);
    EXPECT_DOUBLE_EQ(face->GetAlpha(), 0.8);
    ASSERT_NE(k().FindControl(shown->ControlId()), nullptr);
    EXPECT_EQ(k().FindControl(shown->ControlId())->entityId, face->GetId());
    EXPECT_EQ(Send(shown, 8, nullptr), 1u);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{700});

    AdvButton* hidden = Plain();
    hidden->Create(701, 0, 0, 10, 10, false);
    ASSERT_NE(hidden->TextEntity(), nullptr);
    EXPECT_FALSE(hidden->TextEntity()->IsVisible());
}

TEST_F(Buttons, StateImagesArePastedUnderTheCaption) {
    pictures.Add(9, test::SolidPicture(4, 4, {0xFF112233}));
    AdvButton* b = Plain();
    b->Create(1, 100, 100, 20, 20, true);
    b->SetStateImages(ButtonImage{9, 0, 0, 4, 4, 0}, 0.0, 1.0, true);
    const uint32_t* px = b->TextEntity()->GetPixels();
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(px[3 * 20 + 3] & 0xFFFFFF, 0x112233u);
    // Stretched over the whole face.
    EXPECT_EQ(px[19 * 20 + 19] & 0xFFFFFF, 0x112233u);
    AdvButton* plain = Plain();
    plain->Create(1, 100, 100, 20, 20, true);
    plain->Relayout();
    EXPECT_NE(plain->TextEntity()->GetPixels()[0] & 0xFFFFFF, 0x112233u);
}

TEST_F(Buttons, StateCopyOutAndInKeepsTheButtonsOwnPlane) {
    AdvButton* a = Plain();
    a->Create(11, 0, 0, 30, 20, true);
    a->SetText(2, 3, "ok", false);
    a->SetHotKey(13);
    a->SetSounds(4, 5, 6);
    a->SetOwnerWord(77);
    AdvButtonState st;
    EXPECT_EQ(Send(a, 72, &st), 0u);
    EXPECT_STREQ(st.caption, "ok");
    EXPECT_EQ(st.hotKey, 13u);
    EXPECT_EQ(st.boundCode, 11u);
    EXPECT_EQ(st.textEntity, a->TextEntity()->GetId());

    AdvButton* b = Plain();
    b->Create(12, 0, 0, 30, 20, true);
    const uint32_t ownFace = b->TextEntity()->GetId();
    EXPECT_EQ(Send(b, 73, &st), 0u);
    EXPECT_EQ(b->Caption(), "ok");
    EXPECT_EQ(b->OwnerWord(), 77u);
    EXPECT_EQ(b->TextEntity()->GetId(), ownFace);
    Send(b, 8, nullptr);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{11});

    // A caption field without terminator is taken up to its end, not past it.
    std::memset(st.caption, 'x', sizeof st.caption);
    Send(b, 73, &st);
    EXPECT_EQ(b->Caption(), std::string(kMaxCaptionBytes, 'x'));
    EXPECT_EQ(Send(b, 72, nullptr), 0u);  // no block: nothing written
}

TEST_F(Buttons, UserBlockCopiesBothWays) {
    AdvButton* b = Plain();
    b->Create(1, 0, 0, 10, 10, true);
    uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(Send(b, 75, buf), 0u);  // no block yet: untouched
    EXPECT_EQ(buf[0], 9);
    b->SetUserBlockSize(3);
    uint8_t in[3] = {1, 2, 3};
    EXPECT_EQ(Send(b, 76, in), 0u);
    EXPECT_EQ(b->UserBlock(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Send(b, 75, buf), 0u);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(buf[3], 9);  // only the block's size
    EXPECT_EQ(Send(b, 74, buf), 1u);
}

}  // namespace
}  // namespace hqlv::engine
