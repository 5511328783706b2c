// The create and resource families on a headless engine.
#include "builtin_test_fixture.h"
#include "engine/script/builtin_call.h"
#include "platform/core/files.h"

namespace hqlv::engine::test {
namespace {

using CreateFamily = BuiltinTest;

TEST_F(CreateFamily, PlaneWithTwoArgumentsIsTransparentHiddenAndParkedOnLayerFour) {
    ASSERT_EQ(Call("创建平面", {"5", "3"}), kScriptContinue);
    ASSERT_EQ(run->GetArgCount(), 1);
    EXPECT_EQ(run->GetArg(0).type(), kValueUnsigned);
    PlaneEntity* p = Plane(run->GetArg(0).text());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetType(), uint32_t(ENT_PLANE));
    EXPECT_EQ(p->GetLayer(), 4);
    EXPECT_EQ(p->GetX(), -100000);
    EXPECT_EQ(p->GetY(), -100000);
    EXPECT_EQ(p->GetWidth(), 5);
    EXPECT_EQ(p->GetHeight(), 3);
    EXPECT_FALSE(p->IsVisible());
    for (uint32_t px : p->State()->pixels) EXPECT_EQ(px, 0u);
}

TEST_F(CreateFamily, PlaneColourAndLayerAreReadWhenGiven) {
    ASSERT_EQ(Call("创建平面", {"2", "2", "255", "1"}), kScriptContinue);
    PlaneEntity* p = Plane(run->GetArg(0).text());
    EXPECT_EQ(p->GetLayer(), 1);
    EXPECT_EQ(p->State()->pixels[3], 0xFFFF0000u);  // COLORREF 255 is red
    ASSERT_EQ(Call("创建平面", {"2", "2", "255"}), kScriptContinue);
    EXPECT_EQ(Plane(run->GetArg(0).text())->GetLayer(), 4);
}

// A side the plane cannot take or a layer the canvas does not have fails the creation (kind
// 10) and makes nothing.
TEST_F(CreateFamily, PlaneSidesAndLayersOutsideTheirRangesFailTheCreation) {
    const size_t before = scene.GetKernel().GetEntityCount();
    struct Row {
        std::vector<std::string> args;
        uint32_t code;
    } rows[] = {
        {{"1", "1"}, kScriptContinue},
        {{"4096", "1"}, kScriptContinue},
        {{"1", "4096"}, kScriptContinue},
        {{"0", "1"}, kScriptError},
        {{"1", "0"}, kScriptError},
        {{"4097", "1"}, kScriptContinue},
        {{"5000", "20"}, kScriptContinue},
        {{"65535", "1"}, kScriptContinue},
        {{"1", "65535"}, kScriptContinue},
        {{"65536", "1"}, kScriptError},
        {{"1", "65536"}, kScriptError},
        {{"8193", "8192"}, kScriptError},  // one row past 256 MiB
        {{"65535", "1025"}, kScriptError},
        {{"65536", "65536"}, kScriptError},
        {{"-1", "5"}, kScriptError},
        {{"1", "1", "0", "0"}, kScriptContinue},
        {{"1", "1", "0", "4"}, kScriptContinue},
        {{"1", "1", "0", "5"}, kScriptError},
        {{"1", "1", "0", "-1"}, kScriptError},
    };
    size_t made = 0;
    for (const Row& r : rows) {
        EXPECT_EQ(Call("创建平面", r.args), r.code) << r.args[0] << "," << r.args[1];
        const std::vector<int> kinds =
            r.code == kScriptError ? std::vector<int>{10} : std::vector<int>{};
        EXPECT_EQ(m->kinds, kinds);
        made += r.code == kScriptContinue;
    }
    EXPECT_EQ(scene.GetKernel().GetEntityCount(), before + made);
}

TEST_F(CreateFamily, PictureTakesTheFrameModuloItsCountAndTheLayer) {
    struct Row {
        std::vector<std::string> args;
        int sy, layer;
    } rows[] = {
        {{"tiles"}, 0, 4},       {{"tiles", "1"}, 2, 4},      {{"tiles", "4"}, 2, 4},
        {{"tiles", "-1"}, 4, 4}, {{"tiles", "2", "0"}, 4, 0},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(Call("创建图片", r.args), kScriptContinue);
        EXPECT_EQ(run->GetArg(0).type(), kValueUnsigned);
        ImageEntity* e = Image(run->GetArg(0).text());
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->State()->resourceId, tiles);
        EXPECT_EQ(e->State()->srcY, r.sy) << r.args.size();
        EXPECT_EQ(e->State()->tint, kNoColour);
        EXPECT_EQ(e->GetWidth(), 2);
        EXPECT_EQ(e->GetHeight(), 2);
        EXPECT_EQ(e->GetLayer(), r.layer);
        EXPECT_EQ(e->GetX(), -100000);
        EXPECT_FALSE(e->IsVisible());
    }
}

TEST_F(CreateFamily, PictureErrors) {
    const size_t before = scene.GetKernel().GetEntityCount();
    ExpectKind("创建图片", {}, 1);
    ExpectKind("创建图片", {"tiles", "0", "5"}, 10);
    ExpectKind("创建图片", {"tiles", "0", "-1"}, 10);
    ExpectKind("创建平面", {"3"}, 1);
    EXPECT_EQ(scene.GetKernel().GetEntityCount(), before);
}

// A name that finds no picture is no failed creation: the image entity is made, parked and
// hidden like any other, without a picture, and draws nothing.
TEST_F(CreateFamily, PictureWhoseNameFindsNothingIsAnImageWithoutAPicture) {
    const size_t before = scene.GetKernel().GetEntityCount();
    ASSERT_EQ(Call("创建图片", {"nothing", "2", "3"}), kScriptContinue);
    EXPECT_TRUE(m->kinds.empty());
    EXPECT_EQ(scene.GetKernel().GetEntityCount(), before + 1);
    ImageEntity* e = Image(run->GetArg(0).text());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), uint32_t(ENT_IMAGE));
    EXPECT_EQ(e->State()->resourceId, 0u);
    EXPECT_EQ(e->GetLayer(), 3);
    EXPECT_EQ(e->GetX(), -100000);
    EXPECT_FALSE(e->IsVisible());
}

TEST_F(CreateFamily, WithoutAKernelNothingIsMade) {
    RecordingManager loose;
    const std::pair<const char*, std::vector<std::string>> calls[] = {{"创建平面", {"2", "2"}},
                                                                      {"创建图片", {"tiles"}}};
    for (const auto& [function, args] : calls) {
        Prepare(function, args);
        loose.kinds.clear();
        EXPECT_EQ(loose.CallCreateFunction(run.get()), kScriptError);
        EXPECT_EQ(loose.kinds, std::vector<int>{10});
    }
    Prepare("操作实体", {"1", "显示"});
    EXPECT_EQ(loose.CallObjectFunction(run.get()), kScriptError);
}

TEST(FrameWrap, CountsBackFromTheEndAndStaysBelowTheCount) {
    struct Row {
        int64_t n;
        uint32_t count, frame;
    } rows[] = {{0, 3, 0},  {2, 3, 2},     {3, 3, 0}, {-1, 3, 2}, {-3, 3, 0},
                {-4, 3, 2}, {65536, 3, 1}, {5, 0, 0}, {-5, 1, 0}};
    for (const Row& r : rows) EXPECT_EQ(WrapFrame(r.n, r.count), r.frame) << r.n << "/" << r.count;
}

TEST_F(CreateFamily, OtherNamesAreNotHandledByEitherFamily) {
    Prepare("操作实体", {"1", "显示"});
    EXPECT_EQ(m->CallCreateFunction(run.get()), kScriptNotHandled);
    EXPECT_EQ(m->CallResourceFunction(run.get()), kScriptNotHandled);
    Prepare("创建平面", {"1", "1"});
    EXPECT_EQ(m->CallObjectFunction(run.get()), kScriptNotHandled);
    EXPECT_EQ(m->CallResourceFunction(run.get()), kScriptNotHandled);
    Prepare("动态加载", {"x"});
    EXPECT_EQ(m->CallCreateFunction(run.get()), kScriptNotHandled);
    EXPECT_EQ(m->CallObjectFunction(run.get()), kScriptNotHandled);
}

TEST_F(CreateFamily, ResourceFolderIsUnderTheProgramFolder) {
    ExpectKind("设置资源目录", {}, 1);
    ExpectOk("设置资源目录", {"pics"});
    EXPECT_EQ(GetResourceManager().GetRootDir(), platform::programFolder() + "pics/");
    EXPECT_TRUE(run->Values().size() == 1);  // no results: the stack stays
}

TEST_F(CreateFamily, LoadRegistersEachPictureUnderTheRootFolder) {
    folder.put("Sub/Extra.bmp", Bmp24(1, 2, {0x010203, 0x040506}));
    folder.put("Sub/More.BMP", Bmp24(3, 1, {1, 2, 3}));
    ResourceManager& rm = GetResourceManager();
    rm.SetRootDir(folder.path() + "/");
    ExpectOk("动态加载", {"Sub/Extra.bmp", "sub/More.BMP", "tiles.bmp"});
    const uint32_t extra = rm.FindImageId("Extra"), more = rm.FindImageId("More");
    ASSERT_NE(extra, 0u);
    ASSERT_NE(more, 0u);
    EXPECT_EQ(rm.GetPicture(extra)->frameHeight, 2);
    EXPECT_EQ(rm.GetPicture(more)->width, 3);
    EXPECT_EQ(rm.FindImageId("tiles"), tiles);  // already registered: reused
}

// 动态加载 loads now: a picture that cannot be loaded ends the program through the resource
// manager's fatal path, after the pictures named before it were loaded.
using CreateFamilyDeathTest = BuiltinTest;
TEST_F(CreateFamilyDeathTest, LoadOfAMissingFileEndsTheProgramThroughTheFatalPath) {
    folder.put("here.bmp", Bmp24(1, 1, {0}));
    ResourceManager& rm = GetResourceManager();
    rm.SetRootDir(folder.path() + "/");
    ExpectKind("动态加载", {}, 1);
    // The box goes to stderr here, where the test can read it.
    auto boxToStderr = [] {
        ResourceManager::SetMessageBoxHook(
            [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    };
    EXPECT_EXIT(
        {
            boxToStderr();
            Call("动态加载", {"here.bmp", "missing.bmp", "dot.bmp"});
        },
        testing::ExitedWithCode(1), "资源:.*missing.bmp未能正确的载入,请重新下载游戏!");
    // Nothing failed in this process: the calls above ran in the child.
    ExpectOk("动态加载", {"here.bmp"});
    EXPECT_NE(rm.FindImageId("here"), 0u);
}

}  // namespace
}  // namespace hqlv::engine::test
