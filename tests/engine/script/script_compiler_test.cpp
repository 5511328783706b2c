// The compiler's output, byte for byte, and the inputs it refuses.
#include <gtest/gtest.h>

#include "engine/script/script_manager.h"
#include "engine/script/script_text.h"

namespace hqlv::engine {
namespace {

// The indented lines of a compiled text, one statement each.
std::string Lines(std::initializer_list<const char*> statements) {
    std::string out;
    for (const char* s : statements) out += std::string("       ") + s + ";\r\n";
    return out;
}

struct Compile : ::testing::Test {
    ScriptManager scripts;  // without a kernel: errors have nowhere to go
};

// Each line flattened into its statements: products before sums, one rank left to right,
// unary minus as 0 - x, calls inside out, loops with their markers, hand-written statements
// copied, comparisons kept apart from assignments.
TEST_F(Compile, LinesFlattenIntoTheirStatements) {
    struct Row {
        const char* source;
        std::initializer_list<const char*> statements;
    } rows[] = {
        {"x = a + b * c;",
         {"传出 b,c", "运算 *", "传入 缓存0", "传出 a,缓存0", "运算 +", "传入 x"}},
        {"如果 (a > 1) {", {"传出 a,1", "运算 >", "传入 缓存0", "如果 缓存0", "{"}},
        {"如果 (a) {", {"传出 a", "传入 缓存0", "如果 缓存0", "{"}},
        {"x = -a;", {"传出 0,a", "运算 -", "传入 x"}},
        {"x = a - -b;", {"传出 0,b", "运算 -", "传入 缓存0", "传出 a,缓存0", "运算 -", "传入 x"}},
        {"x = a * -b;", {"传出 0,b", "运算 -", "传入 缓存0", "传出 a,缓存0", "运算 *", "传入 x"}},
        {"x = -a * b;", {"传出 0,a", "运算 -", "传入 缓存0", "传出 缓存0,b", "运算 *", "传入 x"}},
        {"x = f(-a);", {"传出 0,a", "运算 -", "传入 缓存0", "传出 缓存0", "函数 f", "传入 x"}},
        {"当 (i < 3) { i = i + 1; }",
         {"%WhileStart%", "传出 i,3", "运算 <", "传入 缓存0", "当 缓存0", "传出 i,1", "运算 +",
          "传入 i", "}"}},
        {"从 (i = 0; i < 3; i = i + 1) { f(i); }",
         {"传出 0", "传入 i", "%ForStart%", "传出 i,1", "运算 +", "传入 i", "%ForBeGin%",
          "传出 i,3", "运算 <", "传入 缓存0", "%ForIF% 缓存0", "传出 i", "函数 f", "}"}},
        // A counting loop without a first part starts with the marker.
        {"从 (; i < 3; i = i + 1) { }",
         {"%ForStart%", "传出 i,1", "运算 +", "传入 i", "%ForBeGin%", "传出 i,3", "运算 <",
          "传入 缓存0", "%ForIF% 缓存0", "}"}},
        {"f(g(x), y);", {"传出 x", "函数 g", "传入 缓存0", "传出 缓存0,y", "函数 f"}},
        // A call's name left below a closed "(" is not taken for the "(" of a call.
        {"x = (a + g(1)) * 2;",
         {"传出 1", "函数 g", "传入 缓存0", "传出 a,缓存0", "运算 +", "传入 缓存0", "传出 缓存0,2",
          "运算 *", "传入 x"}},
        {"f(1);", {"传出 1", "函数 f"}},
        // A call without arguments clears the value stack first: it is handed nothing an
        // earlier statement left there.
        {"f();", {"传出 ", "函数 f"}},
        {"x = f();", {"传出 ", "函数 f", "传入 x"}},
        {"传出 \"a;b\",c; 变量 v = 1 ;", {"传出 \"a;b\",c", "变量 v = 1 "}},
        {"a != b;", {"传出 a,b", "运算 !="}},
        {"a <= b;", {"传出 a,b", "运算 <="}},
        {"x = a == b;", {"传出 a,b", "运算 ==", "传入 x"}},
        {"x = a - b + c;",
         {"传出 a,b", "运算 -", "传入 缓存0", "传出 缓存0,c", "运算 +", "传入 x"}},
        {"x = a || b && c;",
         {"传出 a,b", "运算 ||", "传入 缓存0", "传出 缓存0,c", "运算 &&", "传入 x"}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(scripts.CompileLine(r.source), Lines(r.statements)) << r.source;
}

TEST_F(Compile, HeadAndEndStayAtTheStartOfTheirLines) {
    EXPECT_EQ(scripts.CompileLine("脚本开始 main(a); 并行; 跳出; 否则; 脚本结束;"),
              "脚本开始 main(a);\r\n" + Lines({"并行", "跳出", "否则"}) + "脚本结束;\r\n");
}

struct Refused {
    const char* source;
};

class CompileRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(CompileRefuses, WithAnEmptyResult) {
    ScriptManager scripts;
    EXPECT_EQ(scripts.CompileLine(GetParam().source), "") << GetParam().source;
}

INSTANTIATE_TEST_SUITE_P(
    Script, CompileRefuses,
    ::testing::Values(Refused{"从 (i = 0; i < 3) { }"}, Refused{"从 (i = 0) { }"},
                      Refused{"x = a +;"}, Refused{"= 5;"}, Refused{"x = ;"},
                      Refused{"x = (a + b;"}, Refused{"x = a = = b;"}, Refused{"x = !a;"},
                      Refused{"如果 (a {"}, Refused{"当 (a) x;"},
                      Refused{"从 (i = 0; i < 3; i = i + 1)"}, Refused{"x = f(a;"},
                      Refused{"传出 \"a;"},
                      // A call without arguments leaves no operand inside a larger expression.
                      Refused{"x = f() + 1;"}, Refused{"x = 1 + f();"}, Refused{"x = g(f());"}));

// Keeps the texts the compiler reports.
struct ReportingScripts : ScriptManager {
    std::vector<std::string> reported;
    void ReportError(std::string_view text) override { reported.emplace_back(text); }
};

// An expression statement whose right side does not flatten compiles to nothing, its store
// included, with its error reported; the statements around it compile as usual.
TEST(CompileDrops, AStatementThatDoesNotFlattenAndGoesOn) {
    const char* dropped[] = {"x = f() + 1", "x = 1 + f()", "x = g(f())",
                             "x = a +",     "x = (a + b",  "x = a = = b",
                             "x = !a",      "x = f(a",     "x = f() * f()"};
    for (const char* line : dropped) {
        ReportingScripts scripts;
        const std::string source =
            std::string("脚本开始 main(); y = 1; ") + line + "; w = f(2); 脚本结束;";
        EXPECT_EQ(scripts.CompileLine(source),
                  "脚本开始 main();\r\n" +
                      Lines({"传出 1", "传入 y", "传出 2", "函数 f", "传入 w"}) + "脚本结束;\r\n")
            << line;
        const std::string rhs = std::string(line).substr(4);
        EXPECT_EQ(scripts.reported, std::vector<std::string>{"运算格式错误:" + rhs}) << line;
    }
    // An empty right side would store a leftover value too.
    ReportingScripts scripts;
    EXPECT_EQ(scripts.CompileLine("y = 1; x = ; w = 2;"),
              Lines({"传出 1", "传入 y", "传出 2", "传入 w"}));
    EXPECT_EQ(scripts.reported, std::vector<std::string>{"运算格式错误:"});
}

// A missing target still ends the compilation: the body is refused.
TEST(CompileDrops, NotAStatementWithoutATarget) {
    ReportingScripts scripts;
    EXPECT_EQ(scripts.CompileLine("y = 1; = 5; w = 2;"), "");
    EXPECT_EQ(scripts.reported, std::vector<std::string>{"运算格式错误:= 5; w = 2;"});
    // The missing target is what is reported, also before a right side past its limit.
    ReportingScripts longer;
    EXPECT_EQ(longer.CompileLine("= " + std::string(1100, '1') + ";"), "");
    ASSERT_EQ(longer.reported.size(), 1u);
    EXPECT_EQ(longer.reported[0].rfind("运算格式错误:= 111", 0), 0u) << longer.reported[0];
}

// A broken condition or loop part refuses the body: left out, the test would read whatever
// an earlier statement left in the temporary.
TEST(CompileDrops, NotABrokenConditionWhichWouldTestAStaleValue) {
    for (const char* source :
         {"y = 1; 如果 (a +) { } w = 2;", "y = 1; 或者 (f() + 1) { } w = 2;",
          "y = 1; 当 (a *) { } w = 2;", "y = 1; 从 (i = 0; i <; i = i + 1) { } w = 2;",
          "y = 1; 从 (i = f() + 1; i < 3; i = i + 1) { } w = 2;",
          "y = 1; 从 (i = 0; i < 3; i = i +) { } w = 2;"}) {
        ReportingScripts scripts;
        EXPECT_EQ(scripts.CompileLine(source), "") << source;
        EXPECT_EQ(scripts.reported.size(), 1u) << source;
    }
}

TEST_F(Compile, TabsIndentLikeSpaces) {
    const std::string spaced = scripts.CompileLine("如果 (a) {\n  f(1);\n } 跳出;");
    EXPECT_EQ(spaced,
              Lines({"传出 a", "传入 缓存0", "如果 缓存0", "{", "传出 1", "函数 f", "}", "跳出"}));
    EXPECT_EQ(scripts.CompileLine("\t如果 (a)\t{\n\t\tf(1);\n\t}\t跳出;"), spaced);
    EXPECT_EQ(scripts.CompileLine("\t\tx\t=\ta\t+\tb;"), Lines({"传出 a,b", "运算 +", "传入 x"}));
}

TEST_F(Compile, QuotedSemicolonStaysInsideAHandWrittenStatement) {
    EXPECT_EQ(scripts.CompileLine("传出 \"x;y\"; 函数 f;"), Lines({"传出 \"x;y\"", "函数 f"}));
}

TEST_F(Compile, SectionTakesAComparisonForNoAssignment) {
    EXPECT_EQ(scripts.CompileSection("f(a == b);"),
              Lines({"传出 a,b", "运算 ==", "传入 缓存0", "传出 缓存0", "函数 f"}));
    EXPECT_EQ(scripts.CompileSection("i >= 0;"), Lines({"传出 i,0", "运算 >="}));
}

TEST_F(Compile, FiveTemporariesAreEnough) {
    EXPECT_NE(scripts.CompileLine("x = f(g(1),g(2),g(3),g(4),g(5));"), "");
}

// A sixth live result has no temporary: its 传入 is written without a name, which stops
// the run there, and the statement stays in its place.
TEST(CompileKeeps, ASixthTemporaryAsANamelessStore) {
    ReportingScripts scripts;
    EXPECT_EQ(scripts.CompileLine("y = 1; x = f(g(1),g(2),g(3),g(4),g(5),g(6)); w = 2;"),
              Lines({"传出 1", "传入 y",     "传出 1",
                     "函数 g", "传入 缓存0", "传出 2",
                     "函数 g", "传入 缓存1", "传出 3",
                     "函数 g", "传入 缓存2", "传出 4",
                     "函数 g", "传入 缓存3", "传出 5",
                     "函数 g", "传入 缓存4", "传出 6",
                     "函数 g", "传入 ",      "传出 缓存0,缓存1,缓存2,缓存3,缓存4,",
                     "函数 f", "传入 x",     "传出 2",
                     "传入 w"}));
    EXPECT_EQ(scripts.reported, std::vector<std::string>{});
}

std::string CallWithArguments(int n) {
    std::string call = "f(1";
    for (int i = 1; i < n; ++i) call += ",1";
    return call + ");";
}

std::string Nested(int n) {
    return "x = " + std::string(size_t(n), '(') + "1" + std::string(size_t(n), ')') + ";";
}

TEST_F(Compile, WorkAreasHoldSixtyOutputsAndFortyOperators) {
    EXPECT_NE(scripts.CompileLine(CallWithArguments(59)), "");  // 59 operands and the call
    EXPECT_EQ(scripts.CompileLine(CallWithArguments(60)), "");
    EXPECT_EQ(scripts.CompileLine(Nested(40)), Lines({"传出 1", "传入 x"}));
    EXPECT_EQ(scripts.CompileLine(Nested(41)), "");
}

TEST_F(Compile, SectionAssignsOrEvaluates) {
    EXPECT_EQ(scripts.CompileSection("i = i + 1;"), Lines({"传出 i,1", "运算 +", "传入 i"}));
    EXPECT_EQ(scripts.CompileSection("f(i);"), Lines({"传出 i", "函数 f"}));
    EXPECT_EQ(scripts.FlattenExpression("a + ;"), "");
}

TEST_F(Compile, BodiesAreCutAtTheSemicolonAfterTheirEnd) {
    const std::string text = "x 脚本开始 a(); 脚本结束 ; y 脚本开始 b(); 脚本结束";
    size_t offset = 0;
    const ValueString first = ScriptManager::ExtractScriptBody(text, offset);
    EXPECT_EQ(first.text(), "脚本开始 a(); 脚本结束 ;");
    EXPECT_EQ(first.type(), kValueText);
    const size_t after = offset;
    EXPECT_EQ(ScriptManager::ExtractScriptBody(text, offset).type(), kValueNone);
    EXPECT_EQ(offset, after);
}

TEST_F(Compile, CommentsRunToTheLineFeed) {
    struct Row {
        std::string in, out;
    } rows[] = {{"a // b\nc", "a c"},    {"a \"//x\" b\nc", "a \"c"}, {"a // last", "a "},
                {"a/ //x\n/b", "a/ /b"}, {"x///y\nz", "xz"},          {"a //1\n//2\nb", "a b"}};
    for (Row& r : rows) {
        ScriptManager::StripComments(r.in);
        EXPECT_EQ(r.in, r.out);
    }
}

// ---- readers

TEST(ScriptReaders, WordStopsAndConsumesOneSpaceOrSemicolon) {
    size_t pos = 0;
    EXPECT_EQ(script::ReadWord("  传出 a;", pos), "传出");
    EXPECT_EQ(pos, 9u);
    pos = 0;
    EXPECT_EQ(script::ReadWord("{;", pos), "{");
    EXPECT_EQ(pos, 1u);
    pos = 0;
    EXPECT_EQ(script::ReadWord("跳出;x", pos), "跳出");
    EXPECT_EQ(pos, 7u);
    pos = 0;
    EXPECT_EQ(script::ReadWord("f(1)", pos), "f");
    EXPECT_EQ(pos, 1u);
}

TEST(ScriptReaders, WordLimitCountsGbkBytes) {
    size_t pos = 0;
    EXPECT_EQ(script::ReadWord("一二三四五六七八 ", pos), "一二三四五六七八");  // 16 GBK bytes
    pos = 0;
    EXPECT_EQ(script::ReadWord("一二三四五六七八a ", pos), "");
    EXPECT_EQ(pos, 0u);
    pos = 0;
    EXPECT_EQ(script::ReadWord("abcdefghijklmnop;", pos), "abcdefghijklmnop");
    pos = 0;
    EXPECT_EQ(script::ReadWord("abcdefghijklmnopq;", pos), "");
}

TEST(ScriptReaders, FunctionNameLimit) {
    std::string error;
    size_t pos = 0;
    const std::string name16 = "名字名字名字名字名字名字名字名字";  // 32 GBK bytes
    EXPECT_EQ(script::ReadFunctionName(name16 + "(", pos, &error), name16);
    EXPECT_EQ(error, "");
    pos = 0;
    EXPECT_EQ(script::ReadFunctionName(name16 + "x(", pos, &error), "");
    EXPECT_EQ(error, "函数名超长:" + name16 + "x(");
    EXPECT_EQ(pos, 0u);
}

TEST(ScriptReaders, ConditionCountsNestingAndQuotes) {
    std::string error;
    size_t pos = 0;
    EXPECT_EQ(script::ReadCondition("如果 (f(a) == \")\") {", pos, &error), "f(a) == \")\"");
    EXPECT_EQ(pos, 20u);
    pos = 0;
    EXPECT_EQ(script::ReadCondition(" (a", pos, &error), "");
    EXPECT_EQ(error, "条件超长:(a");
    error.clear();
    pos = 0;
    EXPECT_EQ(script::ReadCondition("(" + std::string(1024, 'a') + ")", pos, &error).size(), 1024u);
    pos = 0;
    EXPECT_EQ(script::ReadCondition("(" + std::string(1025, 'a') + ")", pos, &error), "");
    EXPECT_NE(error, "");
}

TEST(ScriptReaders, PrefixAndSuffix) {
    std::string error;
    size_t pos = 0;
    const std::string_view text = "x  = \"a;b\"  ;next";
    EXPECT_EQ(script::ReadPrefix(text, pos, &error), "x");
    EXPECT_EQ(pos, 4u);
    EXPECT_EQ(script::ReadSuffix(text, pos, &error), "\"a;b\"");
    EXPECT_EQ(text.substr(pos), "next");
    pos = 0;
    EXPECT_EQ(script::ReadSuffix("end", pos, &error), "end");
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(error, "");
    pos = 0;
    EXPECT_EQ(script::ReadPrefix(std::string(256, 'p') + "=", pos, &error).size(), 256u);
    pos = 0;
    EXPECT_EQ(script::ReadPrefix(std::string(257, 'p') + "=", pos, &error), "");
    EXPECT_EQ(error.rfind("前缀超长:", 0), 0u);
    pos = 0;
    EXPECT_EQ(script::ReadSuffix(std::string(1024, 's') + ";", pos, &error).size(), 1024u);
    pos = 0;
    EXPECT_EQ(script::ReadSuffix(std::string(1025, 's') + ";", pos, &error), "");
    EXPECT_EQ(error.rfind("后缀超长:", 0), 0u);
}

TEST(ScriptReaders, AssignmentIsALoneEqualsSignBeforeTheSemicolon) {
    EXPECT_EQ(script::FindAssignment("x = 1;", 0), 2u);
    for (const char* s : {"a == b;", "a >= b;", "a <= b;", "a != b;", "f(\"=\");", "f(); x = 1;"})
        EXPECT_EQ(script::FindAssignment(s, 0), script::npos) << s;
}

TEST(ScriptReaders, ArgumentsCountTopLevelCommas) {
    EXPECT_EQ(script::CountArguments(""), 0);
    EXPECT_EQ(script::CountArguments("  "), 0);
    EXPECT_EQ(script::CountArguments("a"), 1);
    EXPECT_EQ(script::CountArguments("a,"), 1);
    EXPECT_EQ(script::CountArguments("g(x, y), \"p,q\""), 2);
    EXPECT_EQ(script::CountArguments("a,,b"), 3);
}

TEST(ScriptReaders, GbkLengthOfUtf8) {
    EXPECT_EQ(script::GbkLength("a脚"), 3u);
    EXPECT_EQ(script::GbkLength("é"), 2u);
    EXPECT_EQ(script::GbkLength("\xF0\x9F\x98\x80"), 4u);
    EXPECT_EQ(script::GbkLength("\xE8"), 1u);  // a cut character counts its byte
}

}  // namespace
}  // namespace hqlv::engine
