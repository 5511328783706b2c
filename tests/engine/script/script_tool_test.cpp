// The hqlv-script program on a resource of its own: its stamps and on-screen texts in the
// order they happen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/core/text.h"
#include "temp_folder.h"

namespace hqlv::engine::test {
namespace {

std::string RunTool(const std::string& arguments) {
    std::string out;
    FILE* p = popen(
        (std::string(HQLV_BUILD_DIR) + "/tools/script/hqlv-script " + arguments).c_str(), "r");
    if (!p) return out;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    pclose(p);
    return out;
}

TEST(ScriptTool, PrintsStampsAndShownTextsInOrder) {
    const std::string tool = std::string(HQLV_BUILD_DIR) + "/tools/script/hqlv-script";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "built without the programs";
    TempFolder dir;
    dir.put("s.script",
            platform::utf8ToGbk(
                "脚本开始 later(who); 等待(200); 时间戳(who); 脚本结束;\n"
                "脚本开始 main(n); s = 0; 从 (i = 1; i <= n; i = i + 1) { s = s + i; }\n"
                "时间戳(s); 并行; later(\"parallel\"); 等待(100); 时间戳(\"waited\");\n"
                "x = s / 0; 脚本结束;\n"));
    EXPECT_EQ(RunTool(dir / "s.script" + " main 10"), "55\nwaited\n!运算除数不能为0!\nparallel\n");
    EXPECT_EQ(RunTool(dir / "s.script" + " later x"), "x\n");
    // A failed start's text comes after the statements its caller runs before it waits.
    dir.put("t.script", platform::utf8ToGbk("脚本开始 main(); 触发脚本(\"nope\"); 时间戳(after); "
                                            "等待(30); 时间戳(late); 脚本结束;\n"));
    EXPECT_EQ(RunTool(dir / "t.script"),
              "after\n!<break;break;>   脚本运行错误,nope不存在!<break;break>\nlate\n");
}

}  // namespace
}  // namespace hqlv::engine::test
