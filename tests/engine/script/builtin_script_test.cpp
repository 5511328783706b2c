// The families called from script text: arguments through 传出, results through 传入, and
// the call errors shown on screen with the script's and the function's names.
#include "engine/core/entity.h"
#include "script_fixture.h"

namespace hqlv::engine::test {
namespace {

using BuiltinScript = ScriptFixture;

TEST_F(BuiltinScript, CreatePlaceShowAndReadBack) {
    EXPECT_EQ(Run(R"(脚本开始 main();
p = 创建平面(6, 4);
操作实体(p, 坐标, 100, 200, 显示);
读取实体(p, 坐标, 宽度, 显示);
传入 x, y, w, v;
时间戳(x); 时间戳(y); 时间戳(w); 时间戳(v);
时间戳(p);
脚本结束;)"),
              kScriptFinished);
    const std::vector<std::string> stamps = Stamps();
    ASSERT_EQ(stamps.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(stamps.begin(), stamps.begin() + 4),
              (std::vector<std::string>{"100", "200", "6", "TRUE"}));
    const Entity* e = engine.GetKernel().FindEntity(uint32_t(std::stoul(stamps[4])));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), uint32_t(ENT_PLANE));
    EXPECT_TRUE(e->IsVisible());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(BuiltinScript, EachKindIsShownWithTheScriptAndFunctionNames) {
    const std::string head =
        "<color=255>脚本<rgb=0,0,255;>s%d<rgb=255,255,255>调用函数<rgb=0,255,0>";
    struct Row {
        const char* call;
        const char* text;  // after the function's name
    } rows[] = {
        {"操作实体(p);", "操作实体<rgb=255,255,255>参数不足!"},
        {"创建平面(0, 2);", "创建平面<rgb=255,255,255>失败!"},
        {"操作图片(p, 跳帧);", "操作图片<rgb=255,255,255>失败!"},
        {"操作平面(p, 变形);", "操作平面<rgb=255,255,255>失败,参数不合法!"},
    };
    for (int i = 0; i < int(std::size(rows)); ++i) {
        engine.texts.clear();
        const std::string name = "s" + std::to_string(i);
        ASSERT_EQ(Load("脚本开始 " + name + "();\np = 创建平面(2, 2);\n" + rows[i].call +
                       "\n时间戳(after);\n脚本结束;"),
                  1);
        EXPECT_EQ(scripts.StartScript(name, ""), kScriptError) << rows[i].call;
        engine.Pump(1000);
        std::string want = head;
        want.replace(want.find("s%d"), 3, name);
        ASSERT_FALSE(Texts().empty()) << rows[i].call;
        EXPECT_EQ(Texts()[0], want + rows[i].text);
    }
    EXPECT_TRUE(Stamps().empty());  // a failed call ends the run
}

}  // namespace
}  // namespace hqlv::engine::test
