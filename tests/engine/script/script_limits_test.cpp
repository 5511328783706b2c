// What scripts may take of the engine: the entities and plane pixels they keep, and the time
// their plane work counts as.
#include "script_fixture.h"

#include <cstdlib>
#include <cstring>

#include "engine/core/kernel.h"
#include "engine/render/plane.h"

namespace hqlv::engine::test {
namespace {

using Limits = ScriptFixture;

// A fresh engine with a log of its own and one script text loaded from UTF-8, with the
// statement budget given; `loaded` says how many scripts it held.
struct FreshEngine {
    explicit FreshEngine(const std::string& utf8, uint32_t budget = kDefaultStatementBudget) {
        scripts.SetStatementBudget(budget);
        loaded = runner.Load(platform::utf8ToGbk(utf8));
    }
    ScriptRunner runner;
    LogCapture log;
    ScriptManager& scripts = runner.Scripts();
    int loaded = 0;
};

std::string Kind10(const std::string& function) {
    return "<color=255>脚本<rgb=0,0,255;>main<rgb=255,255,255>调用函数<rgb=0,255,0>" + function +
           "<rgb=255,255,255>失败!";
}

// The entities scripts made stay within kMaxScriptEntities: the 4,096th is made and a plane
// among them may still be resized, the next creation fails and stops the run; one destroyed
// leaves room for another. Below the bound, creations walk nothing: 4,096 of them fit a
// budget of 60,000 statements.
TEST_F(Limits, EntitiesScriptsKeepStopAtTheirBound) {
    ASSERT_EQ(kMaxScriptEntities, 4096u);
    scripts.SetStatementBudget(60000);
    Run("脚本开始 main(); n = 0;"
        "当 (n < 4095) { a = 创建图片(\"tiles\"); n = n + 1; } p = 创建平面(1, 1); 时间戳(n);"
        "操作平面(p, 宽高, 2, 2); 时间戳(\"resized\");"
        "操作实体(a, 删除); 创建图片(\"tiles\"); 时间戳(\"again\");"
        "创建图片(\"tiles\"); 时间戳(\"more\"); 脚本结束;");
    EXPECT_EQ(Stamps(), (std::vector<std::string>{"4095", "resized", "again"}));
    EXPECT_EQ(Texts(), std::vector<std::string>{Kind10("创建图片")});
}

// Sixteen planes of 2048 x 2048 hold exactly kMaxScriptPlaneBytes (an image among them holds
// none); one pixel more fails, made or resized, and a plane shrunk or destroyed gives its
// pixels back.
TEST_F(Limits, PlanePixelsStopAtTheirBound) {
    ASSERT_EQ(kMaxScriptPlaneBytes, 16u * 2048 * 2048 * 4);
    const std::string sixteen =
        "创建图片(\"tiles\"); 从 (n = 0; n < 16; n = n + 1) { p = 创建平面(2048, 2048); } "
        "时间戳(n);";
    const struct {
        const char* rest;
        std::vector<std::string> stamps;
        std::vector<std::string> texts;
    } rows[] = {
        {"创建图片(\"tiles\"); 时间戳(\"image\"); 创建平面(1, 1); 时间戳(\"more\");",
         {"16", "image"},
         {Kind10("创建平面")}},
        {"操作平面(p, 宽高, 2048, 2047); 时间戳(\"less\"); 创建平面(2049, 1); 时间戳(\"more\");",
         {"16", "less"},
         {Kind10("创建平面")}},
        {"操作平面(p, 宽高, 0, 2048, 宽高, 2048, 0); 时间戳(\"zero\"); 创建平面(1, 1);"
         "时间戳(\"more\");",
         {"16", "zero"},
         {Kind10("创建平面")}},
        {"操作平面(p, 宽高, 2048, 2047); 时间戳(\"less\"); 创建平面(2048, 1); 时间戳(\"row\");"
         "创建平面(1, 1); 时间戳(\"more\");",
         {"16", "less", "row"},
         {Kind10("创建平面")}},
        {"操作平面(p, 宽高, 2049, 2048); 时间戳(\"wider\");", {"16"}, {Kind10("操作平面")}},
        {"操作平面(p, 宽高, 2048, 2048, 宽高, 2047, 2048, 宽高, 2048, 2048); 时间戳(\"same\");"
         "操作实体(p, 删除); 创建平面(2048, 2048); 时间戳(\"again\");",
         {"16", "same", "again"},
         {}},
    };
    for (const auto& r : rows) {
        FreshEngine fresh("脚本开始 main(); " + sixteen + r.rest + " 脚本结束;");
        ASSERT_EQ(fresh.loaded, 1);
        fresh.scripts.StartScript("main", "");
        fresh.runner.Pump(1000);
        EXPECT_EQ(StampTexts(fresh.log.text()), r.stamps) << r.rest;
        EXPECT_EQ(fresh.runner.texts, r.texts) << r.rest;
    }
}

// Work on a plane's pixels counts one statement per kPixelsPerStatement pixels: with a
// budget of 10,000 statements a loop on a plane of a million pixels stops after a few passes
// whichever pixel-walking sub-command it repeats.
TEST_F(Limits, PlaneWorkCountsAgainstTheStatementBudget) {
    scripts.SetStatementBudget(10000);
    const char* work[] = {
        "操作平面(p, 底色, 1);",
        "操作平面(p, 文字, 0, 0, \"x\");",
        "操作平面(p, 贴图, 0, 0, \"tiles\", 0);",
        "贴图(p, \"tiles\");",
        "操作平面(p, 宽高, 1024, 1024);",
    };
    size_t expected = 0, timedOut = 0;
    for (const char* w : work) {
        ASSERT_GT(Load(std::string("脚本开始 main(); p = 创建平面(1024, 1024); n = 0;"
                                   "当 (1) { ") +
                       w + " n = n + 1; 时间戳(n); } 脚本结束;"),
                  0);
        engine.texts.clear();
        const size_t before = Stamps().size();
        const uint64_t executed = scripts.GetExecutedCount();
        EXPECT_EQ(scripts.StartScript("main", ""), kScriptError) << w;
        engine.Pump(100);
        const size_t passes = Stamps().size() - before;
        // What the work counted as is among the statements the manager ran: the passes' work,
        // and no more than the budget and one pass's work past it.
        const int64_t ran = int64_t(scripts.GetExecutedCount() - executed);
        EXPECT_GE(ran, int64_t(passes) * 1024) << w;
        EXPECT_LE(ran, 10000 + 1024) << w;
        if (!expected) expected = passes;
        EXPECT_EQ(passes, expected) << w;
        EXPECT_TRUE(Texts().empty()) << w;
        EXPECT_EQ(LogCount("脚本main运行超时,已中止!"), ++timedOut) << w;
    }
    EXPECT_EQ(expected, 8u);
}

// Turning the head of a chain turns every entity linked below it, and each turn counts a
// statement for each of them, in the turn and in the push that follows: with a budget of
// 100,000 statements a loop that turns the head of a chain of a thousand stops after a few
// dozen turns, where plain statements alone would let it turn thousands of times.
TEST_F(Limits, LinkedWorkCountsAgainstTheStatementBudget) {
    scripts.SetStatementBudget(100000);
    ASSERT_EQ(
        Load("脚本开始 main(); r = 创建图片(\"x\"); p = r; k = 0;"
             "当 (k < 999) { c = 创建图片(\"x\"); 绑定实体(p, c); p = c; k = k + 1; }"
             "等待(1); n = 0; 当 (1) { 操作实体(r, 旋转, 1); n = n + 1; 时间戳(n); } 脚本结束;"),
        1);
    scripts.StartScript("main", "");
    const uint64_t executed = scripts.GetExecutedCount();
    engine.Pump(100);
    const size_t turns = Stamps().size();
    const int64_t ran = int64_t(scripts.GetExecutedCount() - executed);
    EXPECT_GE(ran, int64_t(turns) * 2 * 999);
    EXPECT_LE(ran, 100000 + 2 * 999);
    EXPECT_GT(turns, 0u);
    EXPECT_EQ(LogCount("脚本main运行超时,已中止!"), 1u);
    EXPECT_TRUE(Texts().empty());
}

// Every call that pushes an entity's change to the canvas hands it down the links the same
// way: a picture loaded or coloured, a frame chosen, a plane written on or pasted into. Each
// call on the head of a chain of 999 counts at least a statement for each linked entity.
TEST_F(Limits, EveryPushToTheCanvasCountsItsLinkedWork) {
    const struct {
        const char* head;
        const char* call;
    } rows[] = {
        {"创建图片(\"x\")", "操作图片(r, 背景色, 1)"},
        {"创建图片(\"x\")", "操作图片(r, 载入, \"x\")"},
        {"创建图片(\"x\")", "操作图片(r, 切帧, 1)"},
        {"创建图片(\"x\")", "操作图片(r, 跳帧, 0)"},
        {"创建平面(2, 2)", "操作平面(r, 文字, 0, 0, \"a\")"},
        {"创建平面(2, 2)", "操作平面(r, 贴图, 0, 0, \"x\", 0)"},
        {"创建平面(2, 2)", "贴图(r, \"x\")"},
    };
    for (const auto& row : rows) {
        FreshEngine fresh(std::string("脚本开始 main(); r = ") + row.head +
                              "; p = r; k = 0; 当 (k < 999) { c = 创建图片(\"x\"); 绑定实体(p, c);"
                              " p = c; k = k + 1; } 等待(1); n = 0; 当 (1) { " +
                              row.call + "; n = n + 1; 时间戳(n); } 脚本结束;",
                          100000);
        ASSERT_EQ(fresh.loaded, 1) << row.call;
        ScriptManager& s = fresh.scripts;
        s.StartScript("main", "");
        const uint64_t executed = s.GetExecutedCount();
        fresh.runner.Pump(100);
        const std::string logged = fresh.log.text();
        const size_t calls = StampTexts(logged).size();
        const int64_t ran = int64_t(s.GetExecutedCount() - executed);
        EXPECT_GT(calls, 0u) << row.call;
        EXPECT_GE(ran, int64_t(calls) * 999) << row.call;
        EXPECT_NE(logged.find("脚本main运行超时,已中止!"), std::string::npos) << row.call;
    }
}

// One call may repeat pixel work as often as its arguments allow: the sub-command whose work
// would pass the budget is not done, and the run fails there as timed out, with its text in
// the log and none on screen. Each fill of the plane of a million pixels counts 1,024
// statements, so with the plane's making (1,024 more) and the statements before it eight
// fills fit a budget of 10,000 and the ninth would pass it.
TEST_F(Limits, OneCallStopsWhereItsWorkSpendsTheBudget) {
    scripts.SetStatementBudget(10000);
    std::string fills;
    for (int n = 1; n <= 30; ++n) fills += ", 底色, " + std::to_string(n);
    ASSERT_EQ(Load("脚本开始 main(); p = 创建平面(1024, 1024, 0); 时间戳(p); 传出 p" + fills +
                   "; 函数 操作平面; 时间戳(\"after\"); 脚本结束;"),
              1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptError);
    engine.Pump(100);
    const std::vector<std::string> stamps = Stamps();
    ASSERT_EQ(stamps.size(), 1u);
    const Entity* e = engine.GetKernel().FindEntity(uint32_t(std::stoul(stamps[0])));
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->GetType(), ENT_PLANE);
    const PlaneState* plane = static_cast<const PlaneEntity*>(e)->State();
    EXPECT_EQ(plane->base, 8u);
    EXPECT_EQ(plane->pixels[0], ColorToPixel(8, plane->key));
    EXPECT_LE(scripts.GetExecutedCount(), 10000u + 1024u);
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(LogCount("脚本main运行超时,已中止!"), 1u);
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

// Work that would take the entry past its budget is not begun: a plane of 4096 x 4096 is
// 16,384 statements of pixels, more than a budget of 10,000 holds, so neither its making nor
// a resize or fill to it is done, and the run stops as timed out. Left to count after the
// work, one such call took an entry far past its budget.
TEST_F(Limits, WorkPastTheBudgetIsNotBegun) {
    const struct {
        const char* call;
        int width, height;  // the plane p's size after the call
        uint32_t base;      // and its colour
        size_t entities;    // made after p
    } rows[] = {
        {"操作平面(p, 宽高, 4096, 4096);", 64, 64, 7, 0},
        {"操作平面(p, 底色, 9, 宽高, 4096, 4096, 底色, 5);", 64, 64, 9, 0},
        {"操作平面(p, 宽高, 2048, 2048, 宽高, 4096, 4096);", 2048, 2048, 7, 0},
        {"q = 创建平面(4096, 4096);", 64, 64, 7, 0},
        {"q = 创建平面(2048, 2048); 时间戳(\"made\");", 64, 64, 7, 1},
    };
    for (const auto& r : rows) {
        FreshEngine run(std::string("脚本开始 main(); p = 创建平面(64, 64, 7); 时间戳(p); ") +
                            r.call + " 创建平面(4096, 4096); 脚本结束;",
                        10000);
        ASSERT_EQ(run.loaded, 1);
        ScriptRunner& fresh = run.runner;
        ScriptManager& s = run.scripts;
        const size_t before = fresh.GetKernel().GetEntityCount();
        EXPECT_EQ(s.StartScript("main", ""), kScriptError) << r.call;
        const std::vector<std::string> stamps = StampTexts(run.log.text());
        ASSERT_FALSE(stamps.empty()) << r.call;
        const Entity* e = fresh.GetKernel().FindEntity(uint32_t(std::stoul(stamps[0])));
        ASSERT_NE(e, nullptr);
        const PlaneState* plane = static_cast<const PlaneEntity*>(e)->State();
        EXPECT_EQ(plane->width, r.width) << r.call;
        EXPECT_EQ(plane->height, r.height) << r.call;
        EXPECT_EQ(plane->base, r.base) << r.call;
        EXPECT_EQ(fresh.GetKernel().GetEntityCount(), before + 1 + r.entities) << r.call;
        EXPECT_LE(s.GetExecutedCount(), 10000u + 16384u) << r.call;
        EXPECT_TRUE(fresh.texts.empty()) << r.call;
    }
}

// 跳转 may go to any byte of the text: runs that go to each 传出 of a list of three hundred
// decode there a statement of the rest of the list, ninety thousand values in all, kept for
// every later run of the script. What the decoded statements hold stays within a bound that
// grows with the text, and the runs still do what their statements say.
TEST_F(Limits, StatementsDecodedAtAnyByteStayWithinABoundOfTheText) {
    std::string list;
    for (int n = 0; n < 300; ++n) list += n ? ",传出 1" : "传出 1";
    ASSERT_EQ(Load("脚本开始 main(p); 跳转 p; " + list + "; 函数 时间戳; 脚本结束;"), 1);
    const ScriptInstance* record = scripts.FindLoaded("main");
    ASSERT_NE(record, nullptr);
    const std::string& text = record->GetText();
    const size_t bound = std::max<size_t>(64 * 1024, 64 * text.size());
    size_t runs = 0, most = 0;
    for (size_t at = text.find("传出"); at != std::string::npos; at = text.find("传出", at + 1)) {
        EXPECT_EQ(scripts.StartScript("main", std::to_string(at)), kScriptFinished);
        most = std::max(most, record->DecodedBytes());
        ++runs;
    }
    EXPECT_EQ(runs, 300u);
    EXPECT_LE(most, 2 * bound);
    EXPECT_EQ(Stamps(), std::vector<std::string>(300, "1"));
    EXPECT_TRUE(Texts().empty());
}

// The engine shows at most kMaxScriptErrorTexts script error texts at once, whichever entries
// post them; the rest go to the log. A text closed (its entity gone) leaves room for one more
// from the next frame on.
TEST_F(Limits, TheEngineShowsAtMost256ScriptErrorTextsAtOnce) {
    ASSERT_EQ(kMaxScriptErrorTexts, 256u);
    const auto post = [&](const std::string& text) {
        engine.GetKernel().PostMessage(kScriptMessageShowText,
                                       MessageData::Owned(strdup(text.c_str()), std::free));
    };
    for (int n = 0; n < 300; ++n) post("text " + std::to_string(n));
    engine.PumpMessages();
    ASSERT_EQ(Texts().size(), 256u);
    EXPECT_EQ(Texts().back(), "text 255");
    EXPECT_EQ(LogCount("text 256"), 1u);
    EXPECT_EQ(LogCount("text 299"), 1u);
    engine.GetKernel().DestroyEntityTree(engine.LastFloatingTextEntity());
    engine.Step();
    post("text 300");
    post("text 301");
    engine.PumpMessages();
    EXPECT_EQ(Texts().size(), 257u);
    EXPECT_EQ(Texts().back(), "text 300");
    EXPECT_EQ(LogCount("text 300"), 0u);
    EXPECT_EQ(LogCount("text 301"), 1u);
}

// One entry shows at most kMaxShownErrors texts, the rest go to the log; the next entry (the
// resume after a wait) shows again.
TEST_F(Limits, AnEntryShowsSixteenErrorTextsAndLogsTheRest) {
    ASSERT_EQ(kMaxShownErrors, 16);
    Run("脚本开始 main(); 从 (n = 0; n < 20; n = n + 1) { 触发脚本(\"s\" + n); }"
        "等待(10); 触发脚本(\"again\"); 时间戳(\"end\"); 脚本结束;");
    EXPECT_EQ(Stamps(), std::vector<std::string>{"end"});
    const auto missing = [](const std::string& name) {
        return "<break;break;>   脚本运行错误," + name + "不存在!<break;break>";
    };
    std::vector<std::string> shown;
    for (int n = 0; n < 16; ++n) shown.push_back(missing("s" + std::to_string(n)));
    shown.push_back(missing("again"));
    EXPECT_EQ(Texts(), shown);
    const std::string logged = log.text();
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(logged.find(missing("s" + std::to_string(n))) != std::string::npos, n >= 16) << n;
    // After an entry that showed its sixteen, a host's start and a load are entries of their
    // own: their errors are shown.
    engine.texts.clear();
    ASSERT_EQ(Load("脚本开始 many(); 从 (n = 0; n < 17; n = n + 1) { 触发脚本(\"t\"); } 脚本结束;"),
              1);
    scripts.StartScript("many", "");
    EXPECT_EQ(scripts.StartScript("nosuch", ""), kScriptError);
    scripts.StartScript("many", "");
    std::string bad = "脚本开始 bad();";
    for (int n = 0; n < 17; ++n) bad += " x = ;";
    EXPECT_EQ(Load(bad + " 脚本结束;"), 1);
    engine.Pump(100);
    std::vector<std::string> expected(16, missing("t"));
    expected.push_back(missing("nosuch"));
    expected.insert(expected.end(), 16, missing("t"));
    expected.insert(expected.end(), 16, "运算格式错误:");
    EXPECT_EQ(Texts(), expected);
}

}  // namespace
}  // namespace hqlv::engine::test
