#pragma once
// Whole scripts with what each writes with 时间戳, shows on screen and leaves running: the
// corpus test runs them, the script fuzz harness starts from them.
#include <string>
#include <vector>

namespace hqlv::engine::test {

struct Case {
    const char* name;
    std::string source;  // the body of main(), or whole resources when it holds 脚本开始
    std::vector<std::string> stamps;
    std::vector<std::string> texts = {};  // each shown text starts with the expected one
    int running = 0;
    std::string args = "";
    int loaded = 0;  // 0: one script per body
};

inline std::string Source(const Case& c) {
    if (c.source.find("脚本开始") != std::string::npos) return c.source;
    return "脚本开始 main();\n" + c.source + "\n脚本结束;";
}

inline const char* kKind10 =
    "<color=255>脚本<rgb=0,0,255;>main<rgb=255,255,255>调用函数<rgb=0,255,0>";

inline const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // ---- statement words
        {"VariableTakesItsTextLiterally", "变量 a = hello world ;\n时间戳(a);", {"hello world"}},
        {"GlobalIsSeenByAnotherScriptAndInExpressions",
         "脚本开始 other(); 时间戳(g); x = g + 1; 时间戳(x); 脚本结束;\n"
         "脚本开始 main(); 全局变量 g = 5; other(); 脚本结束;",
         {"5", "6"}},
        {"GlobalDefinedTwiceFails",
         "全局变量 g = 1;\n全局变量 g = 2;\n时间戳(\"no\");",
         {},
         {"脚本main全局变量g重复定义!"}},
        {"HandWrittenPassOutAndIn", "传出 1,2;\n传入 a,b;\n时间戳(b);", {"2"}},
        {"PassInWithTooFewValuesFails",
         "传出 1;\n传入 a,b;",
         {},
         {"main:GetParamValue错误,传入参数不足!"}},
        {"PassInWithAnEmptyNameFails", "传出 1,2;\n传入 a,,b;", {}, {"传入：接受参数名不能为空!"}},
        {"CallThroughAVariableName", "变量 f = 时间戳;\n传出 \"hi\";\n函数 @f;", {"hi"}},
        {"JumpBackToALabelLeavesItsBlocks",
         "i = 0;\n标记 top;\ni = i + 1;\n如果 (i < 3) { 跳转 top; }\n时间戳(i);\n}",
         {"3"},
         {"右括号匹配错误!少了一个左括号,大哥!"}},
        {"JumpToALabelNotYetRunGoesOn",
         "跳转 later;\n时间戳(\"a\");\n标记 later;\n时间戳(\"b\");",
         {"a", "b"}},
        {"OperateRemainderAsIntegers", "整数;\n传出 7,3;\n运算 %;\n传入 r;\n时间戳(r);", {"1"}},
        {"ParametersBindTheStartArguments",
         "脚本开始 main(a,b); 时间戳(a); 时间戳(b); 脚本结束;",
         {"x", "y z"},
         {},
         0,
         "x,  y z"},
        {"ReturnEndsTheRun", "时间戳(1);\n返回;\n时间戳(2);", {"1"}},
        {"InterpreterVersionOneRuns", "解释器 1.0;\n时间戳(\"ok\");", {"ok"}},
        {"InterpreterVersionTooHighFails",
         "解释器 1.5;\n时间戳(\"no\");",
         {},
         {"脚本版本号过高,请换用更高级的脚本解释器!"}},
        {"MatchRunsTheCaseOfTheValue",
         "v = 2;\n匹配 v;\n标记 1;\n时间戳(\"one\");\n标记 "
         "2;\n时间戳(\"two\");\n匹配完毕;\n时间戳(\"end\");",
         {"two", "end"}},
        // A case label is taken whole: searched as a plain text, 1 would find 标记 10 first
        // and run the wrong case.
        {"MatchTakesTheWholeLabelSoOneNeverRunsTheCaseOfTen",
         "v = 1;\n匹配 v;\n标记 10;\n时间戳(\"ten\");\n标记 "
         "1;\n时间戳(\"one\");\n匹配完毕;\n时间戳(\"end\");",
         {"one", "end"}},
        {"MatchWithoutACaseGoesPastTheEnd",
         "v = 3;\n匹配 v;\n标记 1;\n时间戳(\"one\");\n匹配完毕;\n时间戳(\"end\");",
         {"end"}},
        {"MatchIgnoresLabelsAfterItsEnd",
         "v = 2;\n匹配 v;\n标记 1;\n匹配完毕;\n时间戳(\"end\");\n标记 2;\n时间戳(\"after\");",
         {"end", "after"}},
        {"MatchWithoutItsEndFails",
         "v = 1;\n匹配 v;\n标记 1;",
         {},
         {"匹配错误，没有正确的结束语."}},
        {"MatchOnAnEmptyValueFails",
         "传出 ,;\n传入 e;\n匹配 e;\n匹配完毕;",
         {},
         {"匹配语句不能匹配空."}},
        // ---- conditions and blocks
        {"IfRunsItsBlockOrElse",
         "如果 (1) { 时间戳(\"if\"); } 否则 { 时间戳(\"else\"); }\n"
         "如果 (0) { 时间戳(\"if\"); } 否则 { 时间戳(\"else\"); }\n时间戳(\"end\");",
         {"if", "else", "end"}},
        {"OrElseIsTestedOnItsOwn",
         "a = 0;\n如果 (a == 1) { 时间戳(\"1\"); } 或者 (a == 0) { 时间戳(\"0\"); } 否则 { "
         "时间戳(\"x\"); }",
         {"0"}},
        {"ElseWithoutAConditionFails",
         "否则 { 时间戳(\"x\"); }",
         {},
         {"Else语法错误，缺乏前置条件"}},
        {"ThirteenNestedBlocksFail",
         "{ { { { { { { { { { { { 从 (i = 0; i < 1; i = i + 1) { 时间戳(\"deep\"); } } } } } } } } "
         "} } } } }",
         {},
         {"段落嵌套过多!"}},
        {"TwelveNestedBlocksRun",
         "{ { { { { { { { { { { { 时间戳(\"deep\"); } } } } } } } } } } } }",
         {"deep"}},
        {"AStrayClosingBraceFails",
         "}\n时间戳(\"x\");",
         {},
         {"右括号匹配错误!少了一个左括号,大哥!"}},
        {"AnUnclosedIfBlockFailsWhenSkipped",
         "如果 (0) { 时间戳(\"x\");",
         {},
         {"条件句括号匹配错误!"}},
        // ---- loops
        {"WhileSums", "i = 0; s = 0;\n当 (i < 5) { s = s + i; i = i + 1; }\n时间戳(s);", {"10"}},
        {"ForSums",
         "s = 0;\n从 (i = 1; i <= 4; i = i + 1) { s = s + i; }\n时间戳(s); 时间戳(i);",
         {"10", "5"}},
        {"ForWithAFalseConditionRunsNothing",
         "从 (i = 5; i < 5; i = i + 1) { 时间戳(i); }\n时间戳(\"end\");",
         {"end"}},
        {"FalseIfAroundAWhileSkipsAll",
         "i = 0;\n如果 (0) { 当 (i < 2) { i = i + 1; } 时间戳(\"in\"); }\n时间戳(\"out\");",
         {"out"}},
        {"FalseIfAroundAForSkipsAll",
         "如果 (0) { 从 (i = 0; i < 2; i = i + 1) { 时间戳(i); } 时间戳(\"in\"); "
         "}\n时间戳(\"out\");",
         {"out"}},
        {"LoopEndingInsideAnIfClosesTheIf",
         "如果 (1) { i = 0; 当 (i < 2) { i = i + 1; } 时间戳(i); }\n否则 { 时间戳(\"else\"); "
         "}\n时间戳(\"end\");",
         {"2", "end"}},
        {"NestedLoopsRunFully",
         "n = 0;\n从 (i = 0; i < 3; i = i + 1) { j = 0; 当 (j < 2) { n = n + 1; j = j + 1; } "
         "}\n时间戳(n);",
         {"6"}},
        {"FalseWhileSkipsANestedLoop",
         "当 (0) { 从 (i = 0; i < 2; i = i + 1) { 时间戳(i); } 时间戳(\"in\"); }\n时间戳(\"out\");",
         {"out"}},
        {"BreakLeavesTheLoop",
         "i = 0;\n当 (1) { i = i + 1; 如果 (i == 3) { 跳出; } }\n时间戳(i);",
         {"3"}},
        {"BreakFromAPlainBlockLeavesTheLoopToo",
         "从 (i = 0; i < 9; i = i + 1) { { 跳出; } }\n时间戳(i);",
         {"0"}},
        {"BreakPassesABlockAfterIt",
         "i = 0;\n当 (i < 5) { i = i + 1; 跳出; { 时间戳(\"skipped\"); } 时间戳(\"x\"); "
         "}\n时间戳(i);",
         {"1"}},
        {"BreakPassesALoopAfterIt",
         "i = 0;\n当 (i < 5) { i = i + 1; 跳出; 当 (0) { } 时间戳(\"x\"); }\n时间戳(i);",
         {"1"}},
        // "$5" compares below 5 as a text, and each pass doubles it: the run stops once its
        // texts would pass their bound, after the fifteenth pass (49,151 bytes), long before
        // it would take the machine's memory. The bound is the client's own: nothing is shown.
        {"ALoopThatDoublesATextStopsAtTheBound",
         "n = 0;\n从 (i =$5; i < 5; i = i + i + 1) { n = n + 1; 时间戳(n); }\n时间戳(\"end\");",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}},
        {"BreakWithoutABlockDoesNothing", "跳出;\n时间戳(\"on\");", {"on"}},
        {"BreakOutOfPlainBlocksOnlyFails", "{ 跳出; }\n时间戳(\"x\");", {}, {"跳出失败!"}},
        // ---- operators and type words
        {"OperatorsByTheLeftOperandsType",
         "p = 2 + 3 * 4 - 6 / 2; a = 5; b = 2; u = a - -b; v = a * -b; w = -a + b; d = 7 / 2;\n"
         "r = -7 % 3; f = 1.5 + 2; g = 2 + 1.5; t = \"ab\" + \"cd\"; s = \"abc\" - \"x\"; "
         "时间戳(p);\n"
         "时间戳(u); 时间戳(v); 时间戳(w); 时间戳(d); 时间戳(r); 时间戳(f); 时间戳(g); 时间戳(t); "
         "时间戳(s);",
         {"11", "7", "-10", "-3", "3", "-1", "3.500000", "3", "abcd", "abc"}},
        // Text "-" removes the first occurrence of the right text from the left.
        {"TextSubtractionRemovesTheFirstOccurrence",
         "s = \"abcabc\" - \"bc\"; 时间戳(s); t = \"hello world\" - \"o w\"; 时间戳(t);",
         {"aabc", "hellorld"}},
        {"ParenthesesAndAnUnbalancedOneThatIsShown",
         "x = (2 + 3) * 4);\n时间戳(x);",
         {"20"},
         {"运算格式括号不匹配!"}},
        // ">" compares the values by their type like the other comparisons: compared as
        // integers, 0.5 > 0.2 and 1.5 > 1 would be false.
        {"GreaterComparesDecimalsNotTheirIntegerParts",
         "a = 0.5 > 0.2; b = 1.5 > 1; c = 1 > 1.5; 时间戳(a); 时间戳(b); 时间戳(c);",
         {"TRUE", "TRUE", "FALSE"}},
        {"ComparisonsLogicAndBits",
         "c1 = 1.5 > 1.2; c2 = 2 > 2; c3 = \"b\" > \"a\"; c4 = 2 <= 2; c5 = 3 <= 2; c6 = 1.1 <= "
         "1.2;\n"
         "c7 = 3 >= 3; c8 = \"abc\" < \"abd\"; c9 = 2 == 2.0; c10 = \"a\" != \"b\"; l1 = 1 && 0;\n"
         "l2 = 0 || 2; l3 = TRUE && TRUE; b1 = 6 & 3; b2 = 6 | 3; l4 = 2 > 1 && 0 > 1;\n"
         "l5 = 0 && 0 | 1; b3 = 1 | 2 == 2; 时间戳(c1); 时间戳(c2); 时间戳(c3); 时间戳(c4); "
         "时间戳(c5);\n"
         "时间戳(c6); 时间戳(c7); 时间戳(c8); 时间戳(c9); 时间戳(c10); 时间戳(l1); 时间戳(l2); "
         "时间戳(l3);\n"
         "时间戳(b1); 时间戳(b2); 时间戳(l4); 时间戳(l5); 时间戳(b3);",
         {"TRUE", "FALSE", "TRUE", "TRUE", "FALSE", "TRUE", "TRUE", "TRUE", "TRUE", "TRUE", "FALSE",
          "TRUE", "TRUE", "2", "7", "FALSE", "FALSE", "1"}},
        {"TypeWords",
         "整数; x = 1.5 + 1; 小数; y = 1 / 4; 句柄; w = 5 + 1; 字符; z = 1 + 2; 默认类型; v = 1 + "
         "2;\n"
         "时间戳(x); 时间戳(y); 时间戳(w); 时间戳(z); 时间戳(v);",
         {"2", "0.250000", "6", "12", "3"}},
        {"DivisionByZeroFails", "x = 5 / 0;\n时间戳(\"no\");", {}, {"运算除数不能为0!"}},
        {"DecimalDivisionByZeroFails", "x = 1.5 / 0.0;", {}, {"运算除数不能为0!"}},
        {"RemainderByZeroFails", "x = 5 % 0;", {}, {"运算除数不能为0!"}},
        {"MinimumIntegerDividedByMinusOneWraps",
         "传出 -2147483648,-1;\n运算 /;\n传入 x;\n传出 -2147483648,-1;\n运算 %;\n传入 y;\n"
         "时间戳(x); 时间戳(y);",
         {"-2147483648", "0"}},
        {"TextDividedByZeroIsNoNumber", "x = \"ab\" / 0;\n时间戳(x);", {"ab"}},
        {"UnknownOperatorFails", "传出 1,2;\n运算 ^;", {}, {"无法匹配的运算操作符^!"}},
        {"OperateWithOneValueFails", "传出 1;\n运算 +;", {}, {"运算传入参数不能小于2,"}},
        // ---- calls
        {"SerialCallReturnsTwoValues",
         "脚本开始 two(); 传出 3,4; 脚本结束;\n脚本开始 main(); two(); 传入 a,b; 时间戳(a); "
         "时间戳(b); 脚本结束;",
         {"3", "4"}},
        {"ResultOfACallWithoutArgumentsIsAWholeRightSide",
         "脚本开始 f(); 传出 41; 脚本结束;\n脚本开始 main(); x = f(); x = x + 1; 时间戳(x); "
         "脚本结束;",
         {"42"}},
        {"ACallWithoutArgumentsIsHandedNothingLeftOnTheStack",
         "脚本开始 f(a); 时间戳(a); 脚本结束;\n脚本开始 main(); x = 7; f(); 脚本结束;",
         {},
         {"f:GetParamValue错误,传入参数不足!"}},
        {"NestedCallsPassTemporaries",
         "脚本开始 f(a,b); 传出 a; 脚本结束;\n脚本开始 g(a); x = a * 2; 传出 x; 脚本结束;\n"
         "脚本开始 main(); x = f(g(5), 1) + g(1); 时间戳(x); 脚本结束;",
         {"12"}},
        {"EmptyTrailingArgumentArrives",
         "脚本开始 f(a,b); 时间戳(a); 时间戳(b); 传出 \"r\",\"\"; 脚本结束;\n"
         "脚本开始 main(); f(\"x\", \"\"); 传入 p,q; 时间戳(p); 时间戳(q); 脚本结束;",
         {"x", "", "r", ""}},
        {"ATextWithACommaSplits",
         "脚本开始 f(a,b); 时间戳(b); 脚本结束;\n脚本开始 main(); f(\"p,q\"); 脚本结束;",
         {"q"}},
        {"UnsupportedFunctionFails",
         "nosuch(1);\n时间戳(\"no\");",
         {},
         {"<color=255>脚本<rgb=0,0,255;>main<rgb=255,255,255>调用了一个不支持的函数<rgb=0,255,0>"
          "nosuch"}},
        {"ChildErrorEndsTheCallerWithOneMessage",
         "脚本开始 bad(); x = 1 / 0; 脚本结束;\n脚本开始 main(); bad(); 时间戳(\"no\"); 脚本结束;",
         {},
         {"运算除数不能为0!"}},
        {"SerialChildThatWaitsSuspendsItsCaller",
         "脚本开始 child(x); 等待(50); 传出 x,\"done\"; 脚本结束;\n"
         "脚本开始 main(); r = child(7); 时间戳(r); 传出 r; 脚本结束;",
         {"7"}},
        {"AWaitingChainResumesEveryCaller",
         "脚本开始 c(); 等待(30); 时间戳(\"c\"); 脚本结束;\n脚本开始 b(); c(); 时间戳(\"b\"); "
         "脚本结束;\n"
         "脚本开始 main(); b(); 时间戳(\"main\"); 脚本结束;",
         {"c", "b", "main"}},
        {"ChildFailingAfterAResumeEndsItsCallers",
         "脚本开始 c(); 等待(30); x = 1 % 0; 脚本结束;\n脚本开始 b(); c(); 时间戳(\"b\"); "
         "脚本结束;\n"
         "脚本开始 main(); b(); 时间戳(\"main\"); 脚本结束;",
         {},
         {"运算除数不能为0!"}},
        {"ParallelRunsInterleaveByTheirWaits",
         "脚本开始 a(); 等待(100); 时间戳(\"a\"); 脚本结束;\n脚本开始 b(); 等待(50); "
         "时间戳(\"b\"); 脚本结束;\n"
         "脚本开始 main(); 并行; 并行; a(); RGB(1,2,3); b(); 时间戳(\"main\"); 脚本结束;",
         {"main", "b", "a"}},
        {"ParallelChildStartsAfterItsParent",
         "脚本开始 p(x); 时间戳(x); 脚本结束;\n脚本开始 main(); 并行; p(\"child\"); "
         "时间戳(\"parent\"); 脚本结束;",
         {"parent", "child"}},
        {"RecursionStopsAtTheNestingLimit",
         "main();",
         {},
         {std::string(kKind10) + "main<rgb=255,255,255>失败!"}},
        {"StartedScriptRunsOnItsOwn",
         "脚本开始 s(a,b); 时间戳(a); 时间戳(b); x = 1 / 0; 脚本结束;\n"
         "脚本开始 main(); 触发脚本(\"s\", \"x\", \"\"); RUNSCRIPT(\"s\", 1, 2); 时间戳(\"main\"); "
         "脚本结束;",
         {"x", "", "1", "2", "main"},
         {"运算除数不能为0!", "运算除数不能为0!"}},
        {"StartedScriptsNestSixtyFourDeep",
         "触发脚本(\"main\");\n时间戳(\"back\");",
         std::vector<std::string>(63, "back"),
         {std::string(kKind10) + "触发脚本<rgb=255,255,255>失败!"}},
        {"StartingAMissingScriptShowsItsName",
         "触发脚本(\"nosuch\");\n时间戳(\"on\");",
         {"on"},
         {"<break;break;>   脚本运行错误,nosuch不存在!<break;break>"}},
        // Six results alive at once: the sixth has no temporary, and the run stops at its
        // store with the message rather than go on with x's old value.
        {"ASixthTemporaryStopsTheRunAtItsStore",
         "脚本开始 g(a); 传出 a; 脚本结束;\n"
         "脚本开始 main(); x = 7; 时间戳(x);\n"
         "x = g(1) + (g(2) + (g(3) + (g(4) + (g(5) + g(6)))));\n时间戳(x); 脚本结束;",
         {"7"},
         {"传入：接受参数名不能为空!"}},
        // ---- system built-ins
        {"ColourTakesLowBytes",
         "a = RGB(300, 0, 0); b = 颜色(1, 2, 3); c = 红黄绿(0, 0, 255);\n"
         "时间戳(a); 时间戳(b); 时间戳(c);",
         {"44", "197121", "16711680"}},
        {"ScreenSize", "获取当前屏幕大小();\n传入 w,h;\n时间戳(w); 时间戳(h);", {"744", "710"}},
        {"WaitAliasAndOrder",
         "时间戳(\"a\");\nWAIT(100);\n时间戳(\"b\");\n等待(0);\n时间戳(\"c\");",
         {"a", "b", "c"}},
        {"ColourWithTwoArgumentsFails",
         "RGB(1, 2);",
         {},
         {std::string(kKind10) + "RGB<rgb=255,255,255>参数不足!"}},
        {"WaitWithoutArgumentFails",
         "等待();",
         {},
         {std::string(kKind10) + "等待<rgb=255,255,255>参数不足!"}},
        {"SoundWithoutArgumentFails",
         "播放音效();",
         {},
         {std::string(kKind10) + "播放音效<rgb=255,255,255>参数不足!"}},
        {"StampWithoutArgumentFails",
         "时间戳();",
         {},
         {std::string(kKind10) + "时间戳<rgb=255,255,255>参数不足!"}},
        {"RunScriptWithoutArgumentFails",
         "触发脚本();",
         {},
         {std::string(kKind10) + "触发脚本<rgb=255,255,255>参数不足!"}},
        {"PlayingASoundGoesOn", "播放音效(\"none.wav\");\n时间戳(\"on\");", {"on"}},
        // ---- texts
        {"NamesWithGbkBraceTrailBytes",
         "脚本开始 亄亇(亅); 时间戳(亅); 脚本结束;\n"
         "脚本开始 main(); 亄亇(\"倇{\"); 如果 (1) { 时间戳(\"亅}\"); } 脚本结束;",
         {"倇{", "亅}"}},
        {"CommentsAreRemovedEvenInQuotes",
         "时间戳(\"a\"); // 时间戳(\"b\");\n时间戳(\"c//d\");\n\");\n时间戳(\"f\");",
         {"a", "c", "f"}},
        {"TheSameNameTwiceKeepsTheFirst",
         "脚本开始 main(); 时间戳(\"first\"); 脚本结束;\n脚本开始 main(); 时间戳(\"second\"); "
         "脚本结束;",
         {"first"},
         {},
         0,
         "",
         1},
    };
    return cases;
}

}  // namespace hqlv::engine::test
