// The runner's screen: 744 × 710 unless the caller names a size (the script harness uses a
// small one, as nothing is drawn without a host); scripts run alike on either.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"

namespace hqlv::engine {
namespace {

struct ScreenCase {
    int width, height;  // -1: the default
    int wantWidth, wantHeight;
};

class ScriptRunnerScreen : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScriptRunnerScreen, CanvasAndLogicalScreenTakeTheSize) {
    const ScreenCase c = GetParam();
    auto make = [&] {
        return c.width < 0 ? std::make_unique<ScriptRunner>()
                           : std::make_unique<ScriptRunner>(1000, nullptr, c.width, c.height);
    };
    std::unique_ptr<ScriptRunner> runner = make();
    EXPECT_EQ(runner->GetKernel().GetCanvas().Width(), c.wantWidth);
    EXPECT_EQ(runner->GetKernel().GetCanvas().Height(), c.wantHeight);
    EXPECT_EQ(runner->LogicalSize().width, c.wantWidth);
    EXPECT_EQ(runner->LogicalSize().height, c.wantHeight);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScriptRunnerScreen,
                         ::testing::Values(ScreenCase{-1, -1, 744, 710},
                                           ScreenCase{64, 48, 64, 48},
                                           ScreenCase{1, 2, 1, 2}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                             const ScreenCase& c = info.param;
                             return c.width < 0 ? std::string("Default")
                                                : std::to_string(c.width) + "x" +
                                                      std::to_string(c.height);
                         });

// An error text shows on either screen, and the runs end alike.
TEST(ScriptRunnerScreen, ScriptsRunAlikeOnASmallScreen) {
    const std::string source = "脚本开始 main(); 未知函数(); 脚本结束;";
    std::vector<std::vector<std::string>> texts;
    for (int side : {0, 32}) {
        auto runner = side ? std::make_unique<ScriptRunner>(1000, nullptr, side, side)
                           : std::make_unique<ScriptRunner>();
        ASSERT_EQ(runner->Scripts().LoadScriptText(source), 1);
        runner->Scripts().StartScript("main", "");
        EXPECT_TRUE(runner->Pump(1000));
        texts.push_back(runner->texts);
    }
    EXPECT_FALSE(texts[0].empty());
    EXPECT_EQ(texts[0], texts[1]);
}

}  // namespace
}  // namespace hqlv::engine
