#include "script_fixture.h"

namespace hqlv::engine::test {
namespace {

using Smoke = ScriptFixture;

TEST_F(Smoke, Basics) {
    const std::string src = R"(脚本开始 main();
x = 1 + 2 * 3;
时间戳(x);
i = 0; s = 0;
当 (i < 5) { s = s + i; i = i + 1; }
时间戳(s);
从 (j = 0; j < 3; j = j + 1) { 时间戳(j); }
如果 (s > 5) { 时间戳("big"); } 否则 { 时间戳("small"); }
等待(100);
时间戳("after");
脚本结束;)";
    std::string out = scripts.CompileLine(src);
    std::cout << out;
    EXPECT_EQ(Run(src), kScriptSuspended);
    for (auto& s : Stamps(true)) std::cout << s << "\n";
    for (auto& t : Texts()) std::cout << "!" << t << "\n";
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

}  // namespace
}  // namespace hqlv::engine::test
