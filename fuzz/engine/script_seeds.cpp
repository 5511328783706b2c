// Seeds of the script harness: the script corpus of the tests, as the GBK resources they
// stand for, and the inputs the harness once failed on, byte for byte.
#include <cstdio>
#include <string>
#include <utility>

#include "engine/script/script_manager.h"
#include "platform/core/text.h"
#include "script_corpus.h"
#include "seed_writer.h"

namespace {

// A counting loop whose text doubles each pass ("$5" stays below 5 as a text): it took the
// harness past its memory limit before a run's texts were bounded.
constexpr const char* kDoublingLoop =
    "bdc5b1bebfaacabc206d61696e28293b0ab4d3202869203d24353b2069203c20353b2069203d2069202b2069"
    "202b203129207b20cab1bce4b4c12869293b207d0aca62bce4b4c12822656e642222656e6422293b0abdc5b1"
    "bebde1caf83b";

// A text of 65,536 commas handed to a function in parallel 2,000 times: each callee would wait
// in the queue with 65,537 empty values, counted as nothing, and the input passed the harness's
// memory limit.
constexpr const char* kCommasHandedOver =
    "bdc5b1bebfaacabc206628293b20bdc5b1bebde1caf83b20bdc5b1bebfaacabc206d61696e28293b2073203d"
    "20222c223b2073203d2073202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073"
    "202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073"
    "202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073"
    "202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073202b20733b2073203d2073"
    "202b20733b20b4d3202869203d20303b2069203c20323030303b2069203d2069202b203129207b20b2a2d0d0"
    "3b20662873293b207d20bdc5b1bebde1caf83b";

// A chain of 4,000 linked images whose head is turned in a loop: each turn carried the rest
// of the chain at every link, and the input outlasted the harness's time limit.
constexpr const char* kChainTurned =
    "bdc5b1bebfaacabc206d61696e28293b2072203d20b4b4bda8cdbcc6ac28227822293b2070203d20723b206b"
    "203d20303b20b5b120286b203c203430303029207b2063203d20b4b4bda8cdbcc6ac28227822293b20b0f3b6"
    "a8cab5cce528702c2063293b2070203d20633b206b203d206b202b20313b20c8e7b9fb20286b202520323030"
    "203d3d203029207b20b5c8b4fd2831293b207d207d20b5b120283129207b20b2d9d7f7cab5cce528722c20d0"
    "fdd7aa2c2031293b207d20bdc5b1bebde1caf83b";

// Loops that make planes and images, and that fill a plane, until their bounds stop them; and
// loops that copy a text doubled sixteen times at every pass, which took seconds of an entry
// before copies counted against the budget.
constexpr const char* kMakingLoops[] = {
    "脚本开始 main(); n = 0; 当 (1) { 创建平面(4000, 4000); n = n + 1; } 脚本结束;",
    "脚本开始 main(); 当 (1) { 创建图片(\"tiles\"); } 脚本结束;",
    "脚本开始 main(); p = 创建平面(4000, 4000); 当 (1) { 操作平面(p, 底色, 1); } 脚本结束;",
    "脚本开始 main(); s = \"x\"; k = 0; 当 (k < 16) { s = s + s; k = k + 1; } 当 (1) { 如果 (s) { } }"
    " 脚本结束; 脚本开始 b(); s = \"x\"; k = 0; 当 (k < 16) { s = s + s; k = k + 1; } 当 (1) { t = s; }"
    " 脚本结束;",
};

// One 传出 of a plane and 600 fills of it, called in a loop that pushes nothing again.
std::string ArgumentsTakenAgain() {
    std::string text = "脚本开始 main(); p = 创建平面(30, 30); 传出 p";
    for (int n = 0; n < 600; ++n) text += ",底色,1";
    return text + "; 标记 t; 函数 操作平面; 跳转 t; 脚本结束;";
}

// One call that resizes the harness's plane to 8192 x 8192 and fills it 480 times: the
// fills' work was counted only before the next statement, and the input outlasted the
// harness's time limit. 3,421 bytes in GBK.
std::string ManyFillsInOneCall() {
    std::string text = "脚本开始 b(); 传出 1,宽高,8192,8192";
    for (int n = 0; n < 480; ++n) text += ",底色,1";
    return text + "; 函数 操作平面; 脚本结束;";
}

// A loop that plays one image in every entry: each 播放 started one more endless animation,
// and tens of thousands ran at every frame.
constexpr const char* kPlaysKept =
    "脚本开始 main(); r = 创建图片(\"tiles\"); k = 0; 当 (1) { 操作图片(r, 播放); k = k + 1;"
    " 如果 (k % 300 == 0) { 等待(1); } } 脚本结束;";

// A loop of one 传出 of 1,750 short values that no call takes: millions of values pushed in
// each entry, counted as nothing.
std::string PushesDropped() {
    std::string list = "1";
    for (int n = 1; n < 1750; ++n) list += ",1";
    return "脚本开始 a(); k = 0; 标记 t; 传出 " + list +
           "; k = k + 1; 如果 (k > 650) { k = 0; 等待(1); } 跳转 t; 脚本结束;";
}

// Twenty-five scripts that each make a plane of 3100 x 3100 and destroy it: plane work close
// to a whole entry's budget in every one of them.
std::string PlanesMade() {
    std::string text;
    for (int n = 0; n < 25; ++n)
        text += "脚本开始 a" + std::to_string(n) +
                "(); p = 创建平面(3100, 3100); 操作实体(p, 删除); 脚本结束;";
    return text;
}

// A loop around a branch not taken of 3,700 statements, waiting every 500 passes: each pass
// walked the whole branch, uncounted, and twenty entries of it took 6 s.
std::string SkipsInALoop() {
    std::string blocks;
    for (int n = 0; n < 1850; ++n) blocks += "{}";
    return "脚本开始 a(); k = 0; 当(1) { 如果(0) { " + blocks +
           " } k = k + 1; 如果 (k % 500 == 0) { 等待(1); } } 脚本结束;";
}

// A loop that goes (跳转) to each 传出 of a list of them in turn, where each decodes the rest
// of the list: what the decoded statements of a text hold once grew with the square of it.
// The start is found in the compiled text, which numbers of five digits keep the same length.
std::string JumpsIntoAList() {
    std::string list = "传出 1";
    for (int n = 1; n < 300; ++n) list += ",传出 1";
    const std::string body = "脚本开始 main(); p = 00000; 标记 t; p = p + 9; 跳转 p; " + list +
                             "; 跳转 t; 脚本结束;";
    hqlv::engine::ScriptManager compiler;
    const std::string compiled = compiler.CompileLine(body);
    const size_t first = compiled.find("传出 1,传出");
    if (first == std::string::npos || first < 9 || first - 9 > 99999) return body;
    char start[6];
    std::snprintf(start, sizeof start, "%05zu", first - 9);
    std::string text = body;
    text.replace(text.find("00000"), 5, start);
    return text;
}

std::vector<uint8_t> FromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(uint8_t(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

}  // namespace

bool WriteSeeds() {
    bool ok = true;
    int n = 0;
    for (const auto& c : hqlv::engine::test::Cases()) {
        const std::string gbk = hqlv::platform::utf8ToGbk(hqlv::engine::test::Source(c));
        ok = hqlv::fuzzseed::Seed("script-" + std::to_string(n++),
                                  std::vector<uint8_t>(gbk.begin(), gbk.end())) &&
             ok;
    }
    for (const char* loop : kMakingLoops) {
        const std::string gbk = hqlv::platform::utf8ToGbk(loop);
        ok = hqlv::fuzzseed::Seed("making-loop-" + std::to_string(n++),
                                  std::vector<uint8_t>(gbk.begin(), gbk.end())) &&
             ok;
    }
    const std::pair<const char*, std::string> written[] = {
        {"many-fills", ManyFillsInOneCall()},
        {"plays-kept", kPlaysKept},
        {"pushes-dropped", PushesDropped()},
        {"planes-made", PlanesMade()},
        {"jumps-into-a-list", JumpsIntoAList()},
        {"skips-in-a-loop", SkipsInALoop()},
        // A built-in called again and again on the arguments the last call left on the stack,
        // which counted only when the 传出 pushed them.
        {"arguments-taken-again", ArgumentsTakenAgain()},
        // Conditions and jumps that read a text of 64,000 blanks as a number at every pass.
        {"blank-number-jumps",
         "脚本开始 main(); s = \"" + std::string(1000, ' ') +
             "\"; s = s + s; s = s + s; s = s + s; s = s + s; s = s + s; s = s + s;"
             " 标记 a; 如果 (u) { 跳转 u; } u = s + a; 跳转 a; 脚本结束;"},
        // A text of 49,152 letters less one of 16,384 and a last letter of its own: a search
        // that tries the right text at every place of the left took half a billion compares.
        {"long-text-less",
         "脚本开始 main(); t = \"a\"; k = 0; 当 (k < 14) { t = t + t; k = k + 1; }"
         " a = t + t; a = a + t; b = t + \"b\"; 当 (1) { c = a - b; } 脚本结束;"},
        // A chain of 2,000 shown images whose head starts an animation at every pass: each
        // start pushed the whole chain, and nothing counted it.
        {"chain-played",
         "脚本开始 main(); h = 创建图片(\"tiles\"); k = 0; 当 (k < 2000) {"
         " c = 创建图片(\"tiles\"); 操作实体(c, 坐标, 30, 20, 显示); 绑定实体(c, h); h = c;"
         " k = k + 1; 如果 (k % 200 == 0) { 等待(1); } } 当 (1) { 操作图片(h, 播放); } 脚本结束;"},
        // Six hundred parallel runs that fail, each showing its error text: the engine shows
        // 256 of them at once and writes the rest to its log.
        {"failing-runs",
         "脚本开始 f(); 传出 1, 0; 运算 /; 脚本结束; 脚本开始 main(); k = 0;"
         " 当 (k < 600) { 并行; f(); k = k + 1; } 脚本结束;"},
    };
    for (const auto& [name, text] : written) {
        const std::string gbk = hqlv::platform::utf8ToGbk(text);
        ok = hqlv::fuzzseed::Seed(name, std::vector<uint8_t>(gbk.begin(), gbk.end())) && ok;
    }
    ok = hqlv::fuzzseed::Seed("commas-handed-over", FromHex(kCommasHandedOver)) && ok;
    ok = hqlv::fuzzseed::Seed("chain-turned", FromHex(kChainTurned)) && ok;
    return hqlv::fuzzseed::Seed("doubling-loop", FromHex(kDoublingLoop)) && ok;
}
