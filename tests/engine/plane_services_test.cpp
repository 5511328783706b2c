#include <gtest/gtest.h>

#include <climits>

#include "engine/core/clock.h"
#include "engine/core/game_base.h"
#include "engine/render/plane.h"
#include "log_capture.h"
#include "platform/core/clock.h"
#include "scene_fixture.h"

namespace hqlv::engine {
namespace {

constexpr uint32_t kPic = 0xFF112233;
constexpr uint32_t kBack = 0xFF000000;  // the plane's black

struct PlaneServices : test::SceneTest<GameBase, 200, 200> {
    void SetUp() override {
        SceneTest::SetUp();
        ASSERT_EQ(ColorToPixel(0, kNoColour), kBack);
        pictures.Add(5, test::SolidPicture(4, 4, {kPic}));
        plane = scene.CreatePlaneEntity(1, 50, 50, 20, 20, 0);
    }
    // Drawn over: the blend may be a step off the picture's colour.
    bool At(int x, int y) { return plane->GetPixels()[y * 20 + x] != kBack; }
    int Painted() {
        int n = 0;
        for (int i = 0; i < 400; ++i) n += plane->GetPixels()[i] != kBack;
        return n;
    }
    PlaneEntity* plane = nullptr;
};

TEST_F(PlaneServices, DrawPlaneCentresThePictureAndTakesTheSourceSize) {
    EXPECT_EQ(scene.DrawPlane(plane->GetId(), 10, 10, 0, 0, 5, 0, 0, 0, 0, 0.0, 1.0, kNoColour),
              999999u);
    EXPECT_TRUE(At(8, 8));
    EXPECT_TRUE(At(11, 11));
    EXPECT_FALSE(At(7, 8));
    EXPECT_FALSE(At(12, 11));
    EXPECT_EQ(Painted(), 16);
}

TEST_F(PlaneServices, CenteredTakesTheTopLeftCorner) {
    EXPECT_EQ(
        scene.DrawPlaneCentered(plane->GetId(), 0, 0, 4, 4, 5, 0, 0, 0, 0, 0.0, 1.0, kNoColour),
        999999u);
    EXPECT_TRUE(At(0, 0));
    EXPECT_TRUE(At(3, 3));
    EXPECT_EQ(Painted(), 16);
    EXPECT_EQ(scene.DrawPlaneCentered(plane->GetId(), INT_MAX, INT_MAX, 4, 4, 5, 0, 0, 0, 0, 0.0,
                                      1.0, kNoColour),
              0u);
}

TEST_F(PlaneServices, DrawPlaneRunsOnlyWhenTheExtentMeetsThePlane) {
    struct Case {
        int x;
        double degrees;
        uint32_t result;
    } cases[] = {
        {-2, 0.0, 0},        // 4 wide from -4: ends at the left edge
        {-1, 0.0, 999999},   // one column in
        {21, 0.0, 999999},   // starts at 19
        {22, 0.0, 0},        // starts at 20, past the right edge
        {-3, 30.0, 0},       // radius 3 reaches 0
        {-2, 30.0, 999999},  // radius 3 reaches 1
        {INT_MAX, 0.0, 0},   // no wrap into the plane
        {INT_MIN, 45.0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scene.DrawPlane(plane->GetId(), c.x, 10, 4, 4, 5, 0, 0, 0, 0, c.degrees, 1.0,
                                  kNoColour),
                  c.result)
            << c.x << " " << c.degrees;
}

TEST_F(PlaneServices, MissingPlaneIsLoggedAndRefused) {
    test::LogCapture log;
    Entity* notPlane = scene.GetKernel().CreateEntity(0, 0, 0, 4, 4, 0, 1, true, 1);
    EXPECT_EQ(scene.DrawPlane(9999, 0, 0, 4, 4, 5, 0, 0, 0, 0, 0.0, 1.0, kNoColour), 0u);
    EXPECT_EQ(scene.WritePlane(notPlane->GetId(), 0, 0, "x", nullptr), 0u);
    const std::string text = log.text();
    EXPECT_NE(text.find("画平面错误,目标不存在!"), std::string::npos);
    EXPECT_NE(text.find("写平面错误,目标不存在!"), std::string::npos);
    // A missing picture is refused without a line.
    EXPECT_EQ(scene.DrawPlane(plane->GetId(), 0, 0, 4, 4, 77, 0, 0, 0, 0, 0.0, 1.0, kNoColour), 0u);
}

TEST_F(PlaneServices, WritePlaneDrawsTheTextIntoThePixels) {
    scene.SetTextColor(0xFFFFFF);
    const std::vector<uint32_t> before(plane->GetPixels(), plane->GetPixels() + 400);
    EXPECT_EQ(scene.WritePlane(plane->GetId(), 0, 0, "W", nullptr), 999999u);
    const std::vector<uint32_t> after(plane->GetPixels(), plane->GetPixels() + 400);
    EXPECT_NE(before, after);
}

}  // namespace
}  // namespace hqlv::engine
