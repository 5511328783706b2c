#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/clock.h"
#include "engine/core/controls.h"
#include "engine/core/game_base.h"
#include "engine/render/plane.h"
#include "platform/core/clock.h"
#include "recording_host.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

struct Scene : GameBase {
    using GameBase::AddObject;
    int OnMessage(uint32_t code, MessageData&, uint32_t) override {
        messages.push_back(code);
        return 1;
    }
    std::vector<uint32_t> messages;
};

struct ButtonParts : ::testing::Test {
    void SetUp() override {
        old = platform::setClock(&clock);
        GetEngineTimeMs();
        scene.SetHost(&host);
        scene.Init();
        scene.InitScreen(400, 300);
    }
    void TearDown() override {
        scene.Cleanup();
        platform::setClock(old);
    }
    AdvButton* Plain() {
        return static_cast<AdvButton*>(scene.AddObject(std::make_unique<AdvButton>()));
    }
    uint32_t Send(AdvButton* b, uint32_t code, void* block) {
        EngineMessage m{code, MessageData::Number(reinterpret_cast<uintptr_t>(block)), 0};
        return b->HandleMessage(m);
    }
    platform::ManualClock clock{1000};
    platform::Clock* old = nullptr;
    test::RecordingHost host;
    test::PictureTable pictures;
    Scene scene;
};

TEST_F(ButtonParts, CreateMakesAPlaneOnTheTopLayerBoundToTheCode) {
    AdvButton* shown = Plain();
    shown->Create(700, 50, 60, 40, 20, true);
    PlaneEntity* face = shown->TextEntity();
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->GetLayer(), 4);
    EXPECT_TRUE(face->IsVisible());
    EXPECT_EQ(face->GetX(), 50);
    EXPECT_EQ(face->GetWidth(), 40);
    EXPECT_DOUBLE_EQ(face->GetAlpha(), 0.8);
    ASSERT_NE(scene.GetKernel().FindControl(shown->ControlId()), nullptr);
    EXPECT_EQ(scene.GetKernel().FindControl(shown->ControlId())->entityId, face->GetId());
    EXPECT_EQ(Send(shown, 8, nullptr), 1u);
    scene.PumpMessages();
    EXPECT_EQ(scene.messages, std::vector<uint32_t>{700});

    AdvButton* hidden = Plain();
    hidden->Create(701, 0, 0, 10, 10, false);
    ASSERT_NE(hidden->TextEntity(), nullptr);
    EXPECT_FALSE(hidden->TextEntity()->IsVisible());
}

TEST_F(ButtonParts, StateImagesArePastedUnderTheCaption) {
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

TEST_F(ButtonParts, StateCopyOutAndInKeepsTheButtonsOwnPlane) {
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

TEST_F(ButtonParts, UserBlockCopiesBothWays) {
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
