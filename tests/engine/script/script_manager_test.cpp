// Loading, runs, calls and their limits, the value stack and the error reports.
#include "script_fixture.h"

#include <algorithm>

#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"
#include "platform/core/audio.h"

namespace hqlv::engine::test {
namespace {

using Manager = ScriptFixture;

TEST_F(Manager, LoadCountsBodiesAndRefusesANamelessOne) {
    EXPECT_EQ(Load("脚本开始 a(); 脚本结束; 脚本开始 b(); 脚本结束; 脚本开始 a(); 脚本结束;"), 3);
    EXPECT_EQ(scripts.GetLoadedCount(), 2);
    EXPECT_EQ(Load("脚本开始 (); 脚本结束; 脚本开始 c(); 脚本结束;"), -1);
    EXPECT_EQ(scripts.FindLoaded("c"), nullptr);
    EXPECT_EQ(Load("脚本开始 d; 脚本结束;"), -1);  // a name without its parentheses
    EXPECT_EQ(Load("脚本开始 e(); x = ; 脚本结束;"), 1);  // the statement is left out
    EXPECT_NE(scripts.FindLoaded("e"), nullptr);
    EXPECT_EQ(Load("no body here"), 0);
    engine.Pump(100);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"脚本名为空!", "运算格式错误:"}));
}

// A line whose expression compiles to nothing costs only that line: the script loads, the
// lines around it run, and its target keeps its value instead of taking a leftover one.
TEST_F(Manager, ALineThatCompilesToNothingLeavesTheRestOfTheScript) {
    ASSERT_EQ(Load("脚本开始 main(); z = 5; q = 7; 时间戳(\"a\"); z = 取值() + 1; 时间戳(z); "
                   "z = q + 1; 时间戳(z); 脚本结束;"),
              1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptFinished);
    engine.Pump(100);
    EXPECT_EQ(Stamps(), (std::vector<std::string>{"a", "5", "8"}));
    EXPECT_EQ(Texts(), std::vector<std::string>{"运算格式错误:取值() + 1"});
}

// A prefix minus binds tighter than a product, and a second minus is its own 0 - x.
TEST_F(Manager, UnaryMinusBindsTighterThanAProduct) {
    Run("脚本开始 main(); 时间戳(2 * -3); 时间戳(5 - -2); 时间戳(-2 * 3 + 1); 脚本结束;");
    EXPECT_EQ(Stamps(), (std::vector<std::string>{"-6", "7", "-5"}));
}

// "!=" compares: a statement holding it assigns nothing.
TEST_F(Manager, NotEqualIsAComparisonNotAnAssignment) {
    Run("脚本开始 main(); x = 1; 时间戳(x != 2); 时间戳(x != 1); 时间戳(x); 脚本结束;");
    EXPECT_EQ(Stamps(), (std::vector<std::string>{"TRUE", "FALSE", "1"}));
}

// A call without arguments empties the value stack first: it is handed nothing that an
// earlier statement left there.
TEST_F(Manager, CallWithoutArgumentsIsHandedNoLeftoverValues) {
    ASSERT_EQ(Load("脚本开始 sub(); 传入 a; 时间戳(a); 脚本结束;"
                   "脚本开始 main(); x = 3 + 4; sub(); 时间戳(\"after\"); 脚本结束;"),
              2);
    scripts.StartScript("main", "");
    engine.Pump(100);
    EXPECT_TRUE(Stamps().empty());
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_NE(Texts()[0].find("sub:GetParamValue错误,传入参数不足!"), std::string::npos)
        << Texts()[0];
}

TEST_F(Manager, DeclaredParametersAreCounted) {
    ASSERT_EQ(Load("脚本开始 p(a, b,c); 脚本结束; 脚本开始 q(); 脚本结束;"), 2);
    EXPECT_EQ(scripts.FindLoaded("p")->GetDeclaredParamCount(), 3);
    EXPECT_EQ(scripts.FindLoaded("q")->GetDeclaredParamCount(), 0);
    EXPECT_EQ(scripts.FindLoaded("p")->GetVersion(), 1.0);
}

TEST_F(Manager, StartOfAMissingScriptFails) {
    EXPECT_EQ(scripts.StartScript("nosuch", ""), kScriptError);
    engine.Pump(100);
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "<break;break;>   脚本运行错误,nosuch不存在!<break;break>"}));
}

TEST_F(Manager, StartReturnsTheRunsCode) {
    ASSERT_EQ(Load("脚本开始 f(); 脚本结束; 脚本开始 w(); 等待(10); 脚本结束; "
                   "脚本开始 e(); x = 1 / 0; 脚本结束;"),
              3);
    EXPECT_EQ(scripts.StartScript("f", ""), kScriptFinished);
    EXPECT_EQ(scripts.StartScript("w", ""), kScriptSuspended);
    EXPECT_EQ(scripts.GetRunningCount(), 1);
    EXPECT_EQ(scripts.StartScript("e", ""), kScriptError);
    EXPECT_EQ(scripts.GetRunningCount(), 1);
    engine.Pump(1000);
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

TEST_F(Manager, WaitsResumeAtTheirTimes) {
    ASSERT_EQ(Load("脚本开始 main(); 时间戳(\"a\"); 等待(100); 时间戳(\"b\"); 等待(30); 时间戳(\"c\"); 脚本结束;"),
              1);
    scripts.StartScript("main", "");
    engine.Pump(10000);
    // Waits end on the first frame at or after their time (frames every 30 ms).
    EXPECT_EQ(Stamps(true), (std::vector<std::string>{"1000:a", "1120:b", "1150:c"}));
}

TEST_F(Manager, ResumeMessagesGoToTheManagerAndNameTheRunById) {
    ASSERT_EQ(Load("脚本开始 main(); 等待(100000); 时间戳(\"on\"); 脚本结束;"), 1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptSuspended);
    EngineMessage other{5, MessageData::Number(1), 0};
    EXPECT_EQ(scripts.OnMessage(other), 1u);
    EngineMessage dead{kScriptMessageResume, MessageData::Number(99), 0};
    EXPECT_EQ(scripts.OnMessage(dead), 0u);
    EXPECT_EQ(scripts.GetRunningCount(), 1);
    // The manager's own control takes the resume: the run goes on at once.
    engine.GetKernel().PostControlMessage(scripts.ControlId(), kScriptMessageResume,
                                          MessageData::Number(1), 0);
    EXPECT_EQ(Stamps(), std::vector<std::string>{"on"});
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

TEST_F(Manager, EndlessLoopStopsAtTheStatementBudget) {
    scripts.SetStatementBudget(1000);
    ASSERT_EQ(Load("脚本开始 main(); 当 (1) { } 脚本结束;"), 1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptError);
    EXPECT_LE(scripts.GetExecutedCount(), 1000u);
    EXPECT_GE(scripts.GetExecutedCount(), 999u);
    engine.Pump(100);
    // The budget is the client's own bound: its text goes to the log, none to the screen.
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(LogCount("脚本main运行超时,已中止!"), 1u);
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

TEST_F(Manager, DefaultBudgetIsOneMillionStatements) {
    EXPECT_EQ(scripts.GetStatementBudget(), 1000000u);
    ASSERT_EQ(Load("脚本开始 main(); 标记 top; 跳转 top; 脚本结束;"), 1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptError);
    EXPECT_EQ(scripts.GetExecutedCount(), 1000000u);
}

TEST_F(Manager, EachResumeGetsAFreshBudgetAndNestedRunsShareIt) {
    scripts.SetStatementBudget(100);
    // 30 rounds of 2 statements, a wait, 30 more: each entry stays below 100.
    const std::string loop = "i = 0; 当 (i < 10) { i = i + 1; } ";
    ASSERT_EQ(Load("脚本开始 main(); " + loop + "等待(10); " + loop + "时间戳(\"done\"); 脚本结束;"
                   "脚本开始 child(); " + loop + "脚本结束;"
                   "脚本开始 both(); " + loop + "child(); 时间戳(\"no\"); 脚本结束;"),
              3);
    scripts.StartScript("main", "");
    engine.Pump(1000);
    EXPECT_EQ(Stamps(), std::vector<std::string>{"done"});
    scripts.StartScript("both", "");
    engine.Pump(1000);
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(LogCount("脚本child运行超时,已中止!"), 1u);
    EXPECT_EQ(LogCount("脚本both运行超时"), 0u);
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

// A run holds at most kMaxRunBytes in its value stack and variables, each copy counted with
// what holds it: a start's argument of exactly that many bytes with its slot runs, one byte
// more stops the run. Bound to a name, the text is held twice, the second time in a variable's
// node; a name bound again holds only its new value, a value passed out again replaces the
// stack, and a value 否则 takes off the stack is gone.
TEST_F(Manager, ARunsTextsStopAtTheirBoundCopiesIncluded) {
    ASSERT_EQ(Load("脚本开始 main(); 时间戳(\"ok\"); 脚本结束;"
                   "脚本开始 bound(a); 传入 a; 传入 a; 传出 a; 时间戳(\"ok\"); 脚本结束;"
                   "脚本开始 popped(); 否则; { 传出 x; 传入 a; 时间戳(\"ok\"); } 脚本结束;"),
              3);
    constexpr size_t kSlot = RunHeldBytes::kSlot;
    constexpr size_t kBound = (kMaxRunBytes - kSlot - RunHeldBytes::kVariableNode - 1) / 2;
    const struct {
        const char* name;
        size_t bytes;
        bool runs;
    } rows[] = {
        {"main", kMaxRunBytes - kSlot, true}, {"main", kMaxRunBytes - kSlot + 1, false},
        {"bound", kBound, true},              {"bound", kBound + 1, false},
        {"popped", kMaxRunBytes - kSlot, true},
    };
    std::vector<std::string> stamps;
    size_t logged = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(scripts.StartScript(r.name, std::string(r.bytes, 'a')),
                  r.runs ? kScriptFinished : kScriptError)
            << r.name << " " << r.bytes;
        if (r.runs)
            stamps.push_back("ok");
        else
            ++logged;
        engine.Pump(100);
        EXPECT_EQ(Stamps(), stamps) << r.name << " " << r.bytes;
        // The bound is the client's own: its text goes to the log, none to the screen.
        EXPECT_TRUE(Texts().empty()) << r.name << " " << r.bytes;
        EXPECT_EQ(LogCount("占用内存过多,已中止!"), logged) << r.name << " " << r.bytes;
        if (!r.runs) {
            EXPECT_EQ(LogCount("脚本" + std::string(r.name) + "占用内存过多"), 1u);
        }
        EXPECT_EQ(scripts.GetRunningCount(), 0);
    }
}

// The name of the function a run calls is a copy it holds too: a name taken from a variable
// holds its text a third time.
TEST_F(Manager, TheCalledNameCountsAgainstTheBound) {
    ASSERT_EQ(Load("脚本开始 called(x); 函数 @x; 脚本结束;"), 1);
    constexpr size_t kThird =
        (kMaxRunBytes - RunHeldBytes::kSlot - RunHeldBytes::kVariableNode - 1) / 3;
    EXPECT_EQ(scripts.StartScript("called", std::string(kThird, 'a')), kScriptError);
    engine.Pump(100);
    EXPECT_EQ(Texts().size(), 1u);  // no script or family has that name
    EXPECT_EQ(LogCount("占用内存过多"), 0u);
    EXPECT_EQ(scripts.StartScript("called", std::string(kThird + 1, 'a')), kScriptError);
    engine.Pump(100);
    EXPECT_EQ(Texts().size(), 1u);
    EXPECT_EQ(LogCount("脚本called占用内存过多,已中止!"), 1u);
}

// A call's results arrive between the caller's statements: a caller they take past its bound
// stops before its next statement, though that statement would clear them. Here the callee
// hands back its argument twice, and the caller holds it and another text besides.
TEST_F(Manager, ResultsPastTheBoundStopTheCallerBeforeItGoesOn) {
    ASSERT_EQ(Load("脚本开始 g(x); 传出 x, x; 脚本结束;"
                   "脚本开始 main(a, c); g(a); 时间戳(\"m\"); 脚本结束;"),
              2);
    EXPECT_EQ(scripts.StartScript("main", std::string(80000, 'a') + "," + std::string(20000, 'c')),
              kScriptFinished);
    EXPECT_EQ(Stamps(), std::vector<std::string>{"m"});
    EXPECT_EQ(scripts.StartScript("main", std::string(80000, 'a') + "," + std::string(30000, 'c')),
              kScriptError);
    engine.Pump(100);
    EXPECT_EQ(Stamps(), std::vector<std::string>{"m"});
    EXPECT_EQ(LogCount("脚本main占用内存过多,已中止!"), 1u);
    EXPECT_TRUE(Texts().empty());
}

// Values go over to a callee as their joined text split again at ",": a text of n commas
// arrives as n + 1 empty values, each a slot of the callee's stack. 6,553 slots fit the bound
// (the callee's own statements after them included), one more does not: the callee takes none
// of them and stops before its first statement, a parallel one at once, without waiting in the
// queue; a serial one's caller fails with it. The caller's text is 819 commas eight times,
// 6,552, or one more; a last empty value adds a piece too.
TEST_F(Manager, ValuesHandedOverCountOneSlotEach) {
    ASSERT_EQ(kMaxRunBytes / RunHeldBytes::kSlot, 6553u);
    const struct {
        const char* call;
        const char* more;  // what the caller adds to its text
        bool callee;       // whether the callee runs
    } rows[] = {
        {"并行; f(s);", "", true},
        {"并行; f(s);", "s = s + \",\";", false},
        {"f(s);", "", true},
        {"f(s);", "s = s + \",\";", false},
        {"f(s, \"\");", "", false},
    };
    const std::string commas(819, ',');
    for (const auto& r : rows) {
        ScriptRunner fresh;
        LogCapture captured;
        ScriptManager& s = fresh.Scripts();
        const std::string main = "脚本开始 main(); s = \"" + commas +
                                 "\"; s = s + s + s + s + s + s + s + s; " + r.more + " " +
                                 r.call + " 时间戳(\"m\"); 脚本结束;";
        ASSERT_EQ(fresh.Load(platform::utf8ToGbk("脚本开始 f(); 时间戳(\"f\"); 脚本结束; " + main)),
                  2);
        s.StartScript("main", "");
        const bool parallel = r.call[0] != 'f';
        // A parallel callee past its bound is gone before the queue is pumped.
        EXPECT_EQ(s.GetRunningCount(), parallel && r.callee ? 1 : 0) << r.call << r.more;
        fresh.Pump(1000);
        const std::vector<std::string> got = StampTexts(captured.text());
        std::vector<std::string> expected;
        if (parallel)
            expected = r.callee ? std::vector<std::string>{"m", "f"} : std::vector<std::string>{"m"};
        else if (r.callee)
            expected = {"f", "m"};
        EXPECT_EQ(got, expected) << r.call << r.more;
        EXPECT_EQ(captured.text().find("脚本f占用内存过多,已中止!") != std::string::npos,
                  !r.callee)
            << r.call << r.more;
        EXPECT_TRUE(fresh.texts.empty()) << r.call << r.more;
        EXPECT_EQ(s.GetRunningCount(), 0);
    }
}

// The values a 传出 pushes, a call takes in, or a run hands back, count a statement for every
// kValuesPerStatement: a built-in's arguments (when the 传出 pushes them, and again at every
// later call that takes them where the last one left them), the values of a 传出 no call takes,
// the names a 传入 binds, and the pieces a script's arguments and results are cut into. Each
// pair of bodies runs the same statements, and the first counts that many more. A handover
// refused as past the bound counts the pieces up to it, not all of them. The texts a statement
// copies count a statement for every kCopiedBytesPerStatement bytes: the sum's operands and
// the sum of two texts of 512 bytes, 2,048 bytes, count one; so does a text of 2,048 bytes
// read as a number by a condition or a 跳转.
TEST_F(Manager, ValuesOfACallCountAStatementForEverySixteen) {
    ASSERT_EQ(kValuesPerStatement, 16u);
    ASSERT_EQ(kCopiedBytesPerStatement, 2048u);
    const auto numbers = [](int n) {
        std::string list = "0";
        for (int k = 1; k < n; ++k) list += "," + std::to_string(k);
        return list;
    };
    const std::string doubled = " s = s + s; s = s + s; s = s + s; s = s + s;";
    const auto names = [](int n) {
        std::string list = "n0";
        for (int k = 1; k < n; ++k) list += ",n" + std::to_string(k);
        return list;
    };
    // p: 2,048 blanks, which a number read walks over whole.
    const std::string blanks = " p = \"" + std::string(1000, ' ') + "\"; p = p + p; p = p + \"" +
                               std::string(48, ' ') + "\";";
    const struct {
        std::string more, less;
        uint64_t counted;
    } rows[] = {
        {"时间戳(" + numbers(16) + ");", "时间戳(" + numbers(15) + ");", 1},
        // Pushed by a 传出 that no call takes: the next 传出 drops them.
        {"传出 " + numbers(16) + "; 传出 1;", "传出 " + numbers(15) + "; 传出 1;", 1},
        {"传出 " + numbers(32) + "; 传出 " + numbers(32) + ";",
         "传出 " + numbers(31) + "; 传出 " + numbers(31) + ";", 2},
        {"s = \"" + std::string(15, ',') + "\"; 并行; f(s);",
         "s = \"" + std::string(14, ',') + "\"; 并行; f(s);", 1},
        // Handed over, and handed back as the results.
        {"s = \"" + std::string(15, ',') + "\"; f(s);",
         "s = \"" + std::string(14, ',') + "\"; f(s);", 2},
        // 64,000 commas, refused, against one piece of 64,000 bytes.
        {"s = \"" + std::string(1000, ',') + "\"; s = s + s; s = s + s;" + doubled +
             " 并行; f(s);",
         "s = \"" + std::string(1000, 'a') + "\"; s = s + s; s = s + s;" + doubled +
             " 并行; f(s);",
         kMaxRunBytes / RunHeldBytes::kSlot / kValuesPerStatement},
        {"s = \"" + std::string(512, 'a') + "\"; t = s + s;",
         "s = \"" + std::string(511, 'a') + "\"; t = s + s;", 1},
        // A built-in leaves its arguments on the stack; the second call takes them again.
        {"传出 " + numbers(16) + "; 函数 时间戳; 函数 时间戳;",
         "传出 " + numbers(15) + "; 函数 时间戳; 函数 时间戳;", 2},
        {"传出 " + numbers(16) + "; 传入 " + names(16) + ";",
         "传出 " + numbers(15) + "; 传入 " + names(15) + ";", 2},
        // The condition's value is pushed and bound to the condition's own variable (a copy
        // each), then read as a number.
        {blanks + " 如果 (p) { }", blanks + " 如果 (q) { }", 3},
        {"k = 0; 标记 t;" + blanks + " u = p + t; k = k + 1; 如果 (k < 2) { 跳转 u; }",
         "k = 0; 标记 t;" + blanks + " u = p + t; k = k + 1; 如果 (k < 2) { 跳转 t; }", 1},
    };
    for (const auto& r : rows) {
        uint64_t executed[2];
        for (int k = 0; k < 2; ++k) {
            ScriptRunner fresh;
            ScriptManager& s = fresh.Scripts();
            ASSERT_EQ(fresh.Load(platform::utf8ToGbk(
                          "脚本开始 f(); 脚本结束; 脚本开始 main(); " +
                          (k == 0 ? r.more : r.less) + " 脚本结束;")),
                      2);
            EXPECT_EQ(s.StartScript("main", ""), kScriptFinished) << r.more;
            executed[k] = s.GetExecutedCount();
        }
        EXPECT_EQ(executed[0] - executed[1], r.counted) << r.more;
    }
}

// The statements a walk passes over count a statement for every
// kWalkedStatementsPerStatement: a branch not taken, a 否则 after a branch taken, a loop not
// entered, 跳出 and 匹配 without a case. Each pair of bodies runs the same statements; the
// first passes thirty-two more (sixteen blocks "{}"), which count two.
TEST_F(Manager, StatementsAWalkPassesCountAStatementForEverySixteen) {
    ASSERT_EQ(kWalkedStatementsPerStatement, 16u);
    std::string blocks;
    for (int n = 0; n < 16; ++n) blocks += "{ } ";
    const struct {
        std::string before, after;
    } rows[] = {
        {"如果 (0) { ", "}"},
        {"如果 (1) { } 否则 { ", "}"},
        {"当 (0) { ", "}"},
        {"当 (1) { 跳出; ", "}"},
        {"v = 7; 匹配 v; ", "匹配完毕;"},
    };
    for (const auto& r : rows) {
        uint64_t executed[2];
        for (int k = 0; k < 2; ++k) {
            ScriptRunner fresh;
            ScriptManager& s = fresh.Scripts();
            ASSERT_EQ(fresh.Load(platform::utf8ToGbk("脚本开始 main(); " + r.before +
                                                     (k == 0 ? blocks : "") + r.after +
                                                     " 脚本结束;")),
                      1);
            EXPECT_EQ(s.StartScript("main", ""), kScriptFinished) << r.before;
            executed[k] = s.GetExecutedCount();
        }
        EXPECT_EQ(executed[0] - executed[1], 2u) << r.before;
    }
}

TEST_F(Manager, LiveRunsAreLimited) {
    ASSERT_EQ(Load("脚本开始 w(); 等待(10); 脚本结束; 脚本开始 main(); 当 (1) { 并行; w(); } 脚本结束;"), 2);
    scripts.StartScript("main", "");
    EXPECT_EQ(scripts.GetRunningCount(), int(kMaxLiveRuns) - 1);  // main has ended
    engine.Pump(10000);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "<color=255>脚本<rgb=0,0,255;>main<rgb=255,255,255>调用函数<rgb=0,255,0>w"
                           "<rgb=255,255,255>失败!"});
    EXPECT_EQ(scripts.GetRunningCount(), 0);
}

TEST_F(Manager, SerialCallsNestSixtyFourDeep) {
    // d(n) calls itself until n reaches 0; 63 calls below the started run fit.
    ASSERT_EQ(Load("脚本开始 d(n); 如果 (n > 0) { d(n - 1); } 时间戳(n); 脚本结束;"), 1);
    scripts.StartScript("d", "63");
    EXPECT_EQ(Stamps().size(), 64u);
    EXPECT_TRUE(Texts().empty());
    scripts.StartScript("d", "64");
    engine.Pump(100);
    EXPECT_EQ(Stamps().size(), 64u);
    EXPECT_EQ(Texts().size(), 1u);
}

TEST_F(Manager, ParallelCountIsUsedOnlyByScriptCalls) {
    ASSERT_EQ(Load("脚本开始 p(); 时间戳(\"p\"); 脚本结束;"
                   "脚本开始 main(); 并行; 并行; RGB(1,2,3); p(); 时间戳(\"m\"); p(); 时间戳(\"n\"); p(); "
                   "时间戳(\"o\"); 脚本结束;"),
              2);
    scripts.StartScript("main", "");
    engine.Pump(1000);
    EXPECT_EQ(Stamps(), (std::vector<std::string>{"m", "n", "p", "o", "p", "p"}));
}

TEST_F(Manager, CallErrorKindsAndAnUnknownKind) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n"));
    run.ExecuteStatement();
    EXPECT_EQ(scripts.ReportCallError(&run, 20), kScriptError);
    EXPECT_EQ(scripts.ReportCallError(&run, 2), kScriptError);
    scripts.ReportError("");
    engine.Pump(100);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "<color=255>脚本<rgb=0,0,255;>s<rgb=255,255,255>调用函数<rgb=0,255,0>"
                           "<rgb=255,255,255>失败,参数不合法!"});
}

TEST_F(Manager, CapabilitiesAreAllOnInTheEngine) {
    EXPECT_EQ(scripts.GetCapabilities(),
              kScriptCreateFunctions | kScriptObjectFunctions | kScriptResourceFunctions);
    ScriptManager bare;
    EXPECT_EQ(bare.GetCapabilities(), 0u);
    bare.EnableObjectFunctions();
    EXPECT_EQ(bare.GetCapabilities(), kScriptObjectFunctions);
}

TEST_F(Manager, WaitWithoutAKernelFails) {
    ScriptManager bare;
    ASSERT_EQ(bare.LoadScriptText("脚本开始 main(); 等待(10); 脚本结束;"), 1);
    EXPECT_EQ(bare.StartScript("main", ""), kScriptError);
    EXPECT_EQ(bare.GetRunningCount(), 0);
}

// ---- the run's own statements and stack

TEST(ScriptRun, UnknownWordFails) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n       乱码 1;\r\n"));
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);
    EXPECT_EQ(run.ExecuteStatement(), kScriptError);
    EXPECT_EQ(run.GetErrorText(), "脚本调用了一个无法识别的符号:乱码!");
}

TEST(ScriptRun, EndOfTextFinishesAndStaysFinished) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n"));
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);  // the line end
    EXPECT_EQ(run.ExecuteStatement(), kScriptFinished);
    EXPECT_EQ(run.GetState(), kScriptFinished);
    EXPECT_EQ(run.ExecuteStatement(), kScriptFinished);
}

TEST(ScriptRun, LabelHoldsThePositionAfterIt) {
    ScriptInstance run;
    const std::string text = "脚本开始 s();\r\n       标记 L;\r\n";
    ASSERT_TRUE(run.SetText(text));
    run.ExecuteStatement();
    run.ExecuteStatement();
    const ValueString* label = run.FindVariable("L");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->type(), kValueUnsigned);
    EXPECT_EQ(label->ToInt(), int(text.size() - 2));
}

TEST(ScriptRun, GlobalsAreReadAfterTheRunsOwnVariables) {
    ScriptVariables globals{{"g", ValueString("1", kValueText)}, {"v", ValueString("2", kValueText)}};
    ScriptInstance run;
    run.SetGlobals(&globals);
    run.SetVariable("v", ValueString("3", kValueInt));
    EXPECT_EQ(run.GetValue("g").text(), "1");
    EXPECT_EQ(run.GetValue("v").text(), "3");
    EXPECT_EQ(run.GetValue("name").text(), "name");
    EXPECT_EQ(run.GetValue("name").type(), kValueText);
    EXPECT_EQ(run.GetValue("").type(), kValueNone);
}

TEST(ScriptRun, ValueStackOperations) {
    ScriptInstance run;
    EXPECT_EQ(run.PushValue(ValueString("a", kValueText)), 1);
    EXPECT_EQ(run.PushResult(ValueString::FromInt(2)), 1);
    EXPECT_EQ(run.PushUnsigned(7), 1);
    EXPECT_EQ(run.PushValue(ValueString("", kValueText)), 4);
    EXPECT_EQ(run.GetArgCount(), 4);
    EXPECT_EQ(run.JoinValues(), "a,2,7,");
    EXPECT_EQ(run.GetArg(2).type(), kValueUnsigned);
    EXPECT_EQ(run.GetArg(4).type(), kValueNone);  // just past the stack's storage
    EXPECT_EQ(run.GetArg(-1).type(), kValueNone);
    EXPECT_EQ(run.PopValue().type(), kValueText);
    EXPECT_EQ(run.PopValue().text(), "7");
    run.ClearValues();
    EXPECT_EQ(run.PopValue().type(), kValueNone);
}

TEST(ScriptRun, PassArgumentsSplitsOutsideQuotes) {
    struct Row {
        const char* text;
        std::vector<std::string> values;
    } rows[] = {{"", {}},
                {"a", {"a"}},
                {"  a  ,  b", {"a", "b"}},
                {"a,", {"a"}},
                {",a", {"", "a"}},
                {"a,,b", {"a", "", "b"}},
                {"\"x,y\",z", {"\"x,y\"", "z"}},
                {"a ,b ", {"a", "b "}}};
    for (const Row& r : rows) {
        ScriptInstance run;
        const int n = run.PassArguments(r.text);
        EXPECT_EQ(n, int(r.values.size())) << r.text;
        for (size_t i = 0; i < r.values.size(); ++i) {
            EXPECT_EQ(run.GetArg(int(i)).text(), r.values[i]) << r.text;
            EXPECT_EQ(run.GetArg(int(i)).type(), kValueText);
        }
    }
}

// Pieces that would take a run past its memory bound are taken none of, however many there
// are: 6,553 empty values fit an empty run, 6,554 do not, and a million commas are refused
// without a value made.
TEST(ScriptRun, PassedPiecesPastTheMemoryBoundAreRefused) {
    ScriptInstance fits;
    EXPECT_EQ(fits.PassArguments(std::string(6552, ','), true), 6553);
    EXPECT_FALSE(fits.OverMemoryBound());
    for (const size_t commas : {size_t(6553), size_t(1000000)}) {
        ScriptInstance past;
        past.PushValue(ValueString("a", kValueText));
        EXPECT_EQ(past.PassArguments(std::string(commas - 1, ','), true), 1) << commas;
        EXPECT_TRUE(past.OverMemoryBound()) << commas;
        EXPECT_LT(past.HeldBytes(), 64u) << commas;
    }
    // Without the last empty piece, one fewer.
    ScriptInstance dropped;
    EXPECT_EQ(dropped.PassArguments(std::string(6553, ','), false), 6553);
    EXPECT_FALSE(dropped.OverMemoryBound());
}

// A call, a child's results and a start with values hand their values over as one joined
// text: a single empty value joins to an empty text, and must still arrive as one value.
TEST_F(Manager, ASingleEmptyValueIsHandedOverAsOne) {
    struct Row {
        const char* text;
        std::vector<ValueString> arguments;  // started with these, else "main" without any
        const char* stamp;
    } rows[] = {
        {"脚本开始 g(x); 时间戳(\"<\" + x + \">\"); 脚本结束;"
         "脚本开始 main(); g(\"\"); 脚本结束;",
         {}, "<>"},
        {"脚本开始 g(x, y); 时间戳(x + \"<\" + y + \">\"); 脚本结束;"
         "脚本开始 main(); g(\"a\", \"\"); 脚本结束;",
         {}, "a<>"},
        {"脚本开始 c(); 传出 \"\"; 脚本结束;"
         "脚本开始 main(); c(); 传入 r; 时间戳(\"<\" + r + \">\"); 脚本结束;",
         {}, "<>"},
        {"脚本开始 s(x); 时间戳(\"<\" + x + \">\"); 脚本结束;", {ValueString("", kValueText)},
         "<>"},
    };
    for (const Row& r : rows) {
        ScriptRunner fresh;
        LogCapture captured;
        ScriptManager& s = fresh.Scripts();
        ASSERT_GE(fresh.Load(platform::utf8ToGbk(r.text)), 1) << r.text;
        const uint32_t code = r.arguments.empty() ? s.StartScript("main", "")
                                                  : s.StartScriptWith("s", r.arguments);
        EXPECT_EQ(code, kScriptFinished) << r.text;
        fresh.Pump(100);
        EXPECT_EQ(StampTexts(captured.text()), std::vector<std::string>{r.stamp}) << r.text;
        EXPECT_TRUE(fresh.texts.empty()) << r.text;
    }
}

TEST(ScriptRun, HandedValuesKeepAnEmptyLastOne) {
    std::vector<ValueString> out;
    SplitArguments("", out, true);
    SplitArguments("x,", out, true);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].text(), "");
    EXPECT_EQ(out[1].text(), "x");
    EXPECT_EQ(out[2].text(), "");
}

TEST(ScriptRun, ParamValueTakesOneValueByIndex) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n"));
    run.PushValue(ValueString("a", kValueText));
    run.PushValue(ValueString::FromInt(7));
    ASSERT_TRUE(run.GetParamValue(1, "y"));
    EXPECT_EQ(run.GetValue("y").text(), "7");
    EXPECT_EQ(run.GetValue("y").type(), kValueInt);
    ASSERT_TRUE(run.GetParamValue(0, "x"));
    EXPECT_EQ(run.GetValue("x").text(), "a");
    EXPECT_EQ(run.GetErrorText(), "");
    // One past the last value, and a negative index, set nothing and say why.
    EXPECT_FALSE(run.GetParamValue(2, "z"));
    EXPECT_EQ(run.FindVariable("z"), nullptr);
    EXPECT_EQ(run.GetErrorText(), "s:GetParamValue错误,传入参数不足!");
    run.SetErrorText("");
    EXPECT_FALSE(run.GetParamValue(-1, "z"));
    EXPECT_EQ(run.FindVariable("z"), nullptr);
    EXPECT_EQ(run.GetErrorText(), "s:GetParamValue错误,传入参数不足!");
}

TEST(ScriptRun, BindingMoreNamesThanValuesFailsWithTheParamText) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n       传出 1;\r\n       传入 a,b;\r\n"));
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);
    EXPECT_EQ(run.ExecuteStatement(), kScriptError);
    EXPECT_EQ(run.GetErrorText(), "s:GetParamValue错误,传入参数不足!");
    EXPECT_EQ(run.GetValue("a").text(), "1");
}

// A plain block that closes leaves the text value "TRUE" alone on the stack.
TEST(ScriptRun, ClosedBlockLeavesTheTextTrue) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n       {;\r\n       };\r\n"));
    run.PushValue(ValueString("old", kValueText));
    while (run.GetPosition() < run.GetText().size()) {
        ASSERT_EQ(run.ExecuteStatement(), kScriptContinue);
    }
    ASSERT_EQ(run.GetArgCount(), 1);
    EXPECT_EQ(run.GetArg(0).text(), "TRUE");
    EXPECT_EQ(run.GetArg(0).type(), kValueText);
    EXPECT_EQ(run.GetBlockDepth(), 0);
}

TEST(ScriptRun, CopyTakesTheRecordButNotTheLinks) {
    ScriptInstance record;
    ASSERT_TRUE(record.SetText("脚本开始 s(a);\r\n"));
    record.SetSequenceId(5);
    record.SetCallerId(4);
    record.SetAwaitedChild(6);
    record.PushValue(ValueString("v", kValueText));
    const ScriptInstance copy(record);
    EXPECT_EQ(copy.GetText(), record.GetText());
    // The text is the record's own, not a copy: a thousand runs of a long script hold it once.
    EXPECT_EQ(copy.GetText().data(), record.GetText().data());
    EXPECT_EQ(copy.NameText(), "s");
    EXPECT_EQ(copy.GetArgCount(), 1);
    EXPECT_EQ(copy.GetSequenceId(), 0u);
    EXPECT_EQ(copy.GetCallerId(), 0u);
    EXPECT_EQ(copy.GetAwaitedChild(), 0u);
}

TEST(ScriptRun, SetTextAgainResets) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n"));
    run.SetVariable("x", ValueString("1", kValueText));
    run.PushValue(ValueString("1", kValueText));
    ASSERT_TRUE(run.SetText("脚本开始 t();\r\n"));
    EXPECT_EQ(run.NameText(), "t");
    EXPECT_EQ(run.GetArgCount(), 0);
    EXPECT_EQ(run.FindVariable("x"), nullptr);
    // What the variables held before counts no more against the run's text bound.
    run.SetVariable("y", ValueString(std::string(kMaxRunBytes, 'y'), kValueText));
    ASSERT_TRUE(run.SetText("脚本开始 u();\r\n"));
    run.PushValue(ValueString(std::string(kMaxRunBytes - RunHeldBytes::kSlot, 'u'), kValueText));
    EXPECT_EQ(run.ExecuteStatement(), kScriptContinue);
}

// A variable given a shorter value holds only the new value's bytes, as the count takes it:
// the long text's block goes with it. Forty variables given a 64 KiB text and then "" would
// otherwise keep 2.5 MiB under a count of a few hundred bytes, and a thousand waiting runs
// gigabytes.
TEST(ScriptRun, AVariableGivenAShorterValueKeepsNoLongerBlock) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText("脚本开始 s();\r\n"));
    const std::string longText(65536, 'x');
    for (const char* shorter : {"", "a", "a text of some length beyond the string's own room"}) {
        run.SetVariable("v", ValueString(longText, kValueText));
        run.SetVariable("v", ValueString(shorter, kValueText));
        const ValueString* v = run.FindVariable("v");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->text(), shorter);
        EXPECT_LT(v->text().capacity(), longText.size() / 2) << shorter;
    }
}

TEST_F(Manager, ScriptResourcesCompileThroughTheResourceManager) {
    log.dir.put("t.xys", platform::utf8ToGbk("脚本开始 亄(); 时间戳(\"亇}\"); 脚本结束;"));
    ResourceManager& rm = GetResourceManager();
    EXPECT_EQ(rm.GetScriptEngine(), &scripts);
    const uint32_t id = rm.AddResourceHashed("t.script", log.dir / "t.xys", 0, kTypeScript, 0, 0, 0);
    rm.GetRecord(id);
    EXPECT_EQ(scripts.GetLoadedCount(), 1);
    EXPECT_EQ(scripts.StartScript("亄", ""), kScriptFinished);
    EXPECT_EQ(Stamps(), std::vector<std::string>{"亇}"});
}

// A host whose own function asks for a resume of the calling run while it is running.
struct ResumingHost : ScriptManager {
    uint32_t OnHostFunction(ScriptInstance* run) override {
        if (run->FunctionNameText() != "resumeMe") return kScriptNotHandled;
        EngineMessage m{kScriptMessageResume, MessageData::Number(run->GetSequenceId()), 0};
        answers.push_back(OnMessage(m));
        return kScriptContinue;
    }
    std::vector<uint32_t> answers;
};

TEST(ScriptHost, HostFunctionsAnswerAndARunningRunIsNotResumedAgain) {
    LogCapture log;
    ScriptRunner engine(1000, [] { return std::unique_ptr<ObjectBase>(new ResumingHost); });
    auto& host = static_cast<ResumingHost&>(engine.Scripts());
    ASSERT_EQ(host.LoadScriptText("脚本开始 main(); resumeMe(); 时间戳(\"once\"); 脚本结束;"), 1);
    EXPECT_EQ(host.StartScript("main", ""), kScriptFinished);
    EXPECT_EQ(host.answers, std::vector<uint32_t>{0});
    EXPECT_EQ(host.GetRunningCount(), 0);
    const std::string lines = log.text();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1);
}

// A host function that spends the entry's budget and then suspends or fails its run keeps
// that outcome: only a call that would go on is stopped as timed out.
struct SpendingHost : ScriptManager {
    uint32_t OnHostFunction(ScriptInstance* run) override {
        const std::string name = run->FunctionNameText();
        if (name != "spendAndWait" && name != "spendAndFail" && name != "spendAndGoOn")
            return kScriptNotHandled;
        Charge(uint64_t(GetStatementBudget()) + 1);
        if (name == "spendAndWait") return kScriptSuspended;
        if (name == "spendAndGoOn") return kScriptContinue;
        run->SetErrorText("mine");
        run->SetState(kScriptError);
        return kScriptError;
    }
};

TEST(ScriptHost, AHostCallThatSpendsTheBudgetKeepsItsOwnOutcome) {
    const struct {
        const char* call;
        uint32_t started;
        int running;
        bool timedOut;
    } rows[] = {
        {"spendAndWait", kScriptSuspended, 1, false},
        {"spendAndFail", kScriptError, 0, false},
        {"spendAndGoOn", kScriptError, 0, true},
    };
    for (const auto& r : rows) {
        LogCapture log;
        ScriptRunner engine(1000, [] { return std::unique_ptr<ObjectBase>(new SpendingHost); });
        auto& host = static_cast<SpendingHost&>(engine.Scripts());
        ASSERT_EQ(host.LoadScriptText(std::string("脚本开始 main(); ") + r.call +
                                      "(); 时间戳(\"after\"); 脚本结束;"),
                  1);
        EXPECT_EQ(host.StartScript("main", ""), r.started) << r.call;
        EXPECT_EQ(host.GetRunningCount(), r.running) << r.call;
        EXPECT_EQ(log.text().find("运行超时") != std::string::npos, r.timedOut) << r.call;
        EXPECT_EQ(log.text().find("after"), std::string::npos) << r.call;
    }
}

// Compiled texts written by hand: every scan stops at the end of the text.
struct HandText {
    const char* text;
    const char* error;  // the start of the error text; "" when the run finishes
};

class ScriptScans : public ::testing::TestWithParam<HandText> {};

TEST_P(ScriptScans, StopAtTheEnd) {
    ScriptInstance run;
    ASSERT_TRUE(run.SetText(std::string("脚本开始 s();\r\n") + GetParam().text));
    uint32_t r = kScriptContinue;
    for (int i = 0; i < 100 && r == kScriptContinue; ++i) r = run.ExecuteStatement();
    if (*GetParam().error == '\0') {
        EXPECT_EQ(r, kScriptFinished) << run.GetErrorText();
    } else {
        EXPECT_EQ(r, kScriptError);
        EXPECT_EQ(run.GetErrorText().rfind(GetParam().error, 0), 0u) << run.GetErrorText();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Script, ScriptScans,
    ::testing::Values(HandText{"%WhileStart%;\r\n传出 0;\r\n传入 c;\r\n当 c;\r\n传出 1;\r\n",
                               "While条件句括号匹配错误!"},
                      HandText{"传出 0;\r\n传入 c;\r\n%ForStart%;\r\n%ForBeGin%;\r\n%ForIF% c;\r\n{;\r\n",
                               "条件句括号匹配错误!"},
                      HandText{"%ForStart%;\r\n传出 1;\r\n", "条件句括号匹配错误!"},
                      HandText{"{;\r\n};\r\n否则;\r\n{;\r\n", "条件句Else括号匹配错误!"},
                      HandText{"传出 0;\r\n传入 c;\r\n如果 c;\r\n{;\r\n", "条件句括号匹配错误!"},
                      HandText{"%WhileStart%;\r\n跳出;\r\n{;\r\n", "跳出失败!"},
                      HandText{"变量 x;\r\n传出 x;\r\n传入 y;\r\n", ""},
                      HandText{"传出 \"a;b\";\r\n传入 y;\r\n", ""},
                      HandText{"传出 1;\r\n传入 y", ""},
                      HandText{"匹配 1;\r\n匹配 2;\r\n匹配完毕;\r\n", "匹配错误，没有正确的结束语."},
                      HandText{"跳转", ""}, HandText{"脚本开始 ;\r\n", "脚本名为空!"},
                      HandText{"跳出", ""}));


TEST_F(Manager, SoundEffectPlaysFromTheSoundFolder) {
    auto audio = std::make_shared<platform::RecordingAudio>();
    platform::installAudio(audio);
    engine.GetKernel().GetSoundPlayer().SetSoundDir("snd/");
    ASSERT_EQ(Load("脚本开始 main(); 播放音效(\"ding.wav\", \"x.wav\"); 脚本结束;"), 1);
    EXPECT_EQ(scripts.StartScript("main", ""), kScriptFinished);
    platform::installAudio(nullptr);
    ASSERT_EQ(audio->calls().size(), 1u);
    EXPECT_EQ(audio->calls()[0].kind, platform::RecordingAudio::Kind::kWaveFile);
    EXPECT_EQ(audio->calls()[0].data, "snd/ding.wav");
}


TEST(ScriptStampLines, OnlyANumberAndAColonMakeAStamp) {
    const std::string head = "1970/01/01     00:00:00      ";
    std::string text;
    EXPECT_TRUE(ScriptRunner::ParseStampLine(head + "-12:a:b\r\n", &text, false));
    EXPECT_EQ(text, "a:b");
    EXPECT_TRUE(ScriptRunner::ParseStampLine(head + "12:", &text, true));
    EXPECT_EQ(text, "12:");
    for (const std::string& line : {head + ":x", head + "123", head + "1x:y", std::string("12:a")})
        EXPECT_FALSE(ScriptRunner::ParseStampLine(line, &text, false)) << line;
}


TEST_F(Manager, ParallelStartsGoOnWithTheirStartersBudget) {
    scripts.SetStatementBudget(1000);
    ASSERT_EQ(Load("脚本开始 main(); 并行; main(); 脚本结束; 脚本开始 w(); 等待(1); 并行; w(); 脚本结束;"), 2);
    scripts.StartScript("main", "");
    engine.PumpMessages();  // returns: the chain of starts stops at the budget
    EXPECT_TRUE(Texts().empty());
    const size_t timedOut = LogCount("运行超时,已中止!");
    EXPECT_GT(timedOut, 0u);
    EXPECT_EQ(LogCount("脚本main运行超时,已中止!"), timedOut);
    EXPECT_EQ(scripts.GetRunningCount(), 0);
    EXPECT_GE(scripts.GetExecutedCount(), 1000u);
    EXPECT_LT(scripts.GetExecutedCount(), 2000u);
    // A wait in between gives each start a budget of its own.
    scripts.StartScript("w", "");
    engine.Pump(3000);
    EXPECT_EQ(LogCount("运行超时,已中止!"), timedOut);
    EXPECT_GT(scripts.GetRunningCount(), 0);
}

}  // namespace
}  // namespace hqlv::engine::test
