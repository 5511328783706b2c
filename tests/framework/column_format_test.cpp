// The report lists' column text.
#include <gtest/gtest.h>

#include "framework/widgets/column_format.h"

namespace hqlv::framework {
namespace {

TEST(ColumnSpec, TriplesMakeColumns) {
    auto c = ParseColumnSpec("用户名|100|0|总成绩|75|2|");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].title, "用户名");
    EXPECT_EQ(c[0].width, 100);
    EXPECT_EQ(c[0].align, kColumnLeft);
    EXPECT_EQ(c[1].title, "总成绩");
    EXPECT_EQ(c[1].width, 75);
    EXPECT_EQ(c[1].align, kColumnCentre);
}

TEST(ColumnSpec, IncompleteTriplesAreIgnored) {
    struct Case {
        const char* spec;
        size_t columns;
    } cases[] = {{"a|1|1|b", 1}, {"a|1|1", 1},     {"a|1", 0},
                 {"", 0},        {"a|1|1|b|2", 1}, {"a|1|1|b|2|1", 2}};
    for (auto& k : cases) EXPECT_EQ(ParseColumnSpec(k.spec).size(), k.columns) << k.spec;
    auto c = ParseColumnSpec("a|x1|-1|");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].width, 0);
    EXPECT_EQ(c[0].align, -1);
    EXPECT_EQ(ParseColumnSpec("a|99999999999|1|")[0].width, 0x7FFFFFFF);
}

TEST(ColumnSpec, AtMost1024FieldsAreRead) {
    std::string spec;
    for (int i = 0; i < 400; ++i) spec += "t|1|0|";  // 1200 fields
    EXPECT_EQ(ParseColumnSpec(spec).size(), 341u);
}

TEST(ColumnSpec, FindIgnoresCase) {
    auto c = ParseColumnSpec("Name|1|0|Score|2|0|score|3|0|");
    EXPECT_EQ(FindColumnTitle(c, "SCORE"), 1);
    EXPECT_EQ(FindColumnTitle(c, "name"), 0);
    EXPECT_EQ(FindColumnTitle(c, "nam"), -1);
    EXPECT_EQ(FindColumnTitle(c, "Score "), -1);
    EXPECT_EQ(FindColumnTitle({}, "x"), -1);
}

// The player list's columns (140, 60, 80, 60, 100) in panes of the three screen widths, and
// the edges of each rule.
TEST(FitColumnWidths, GivenNeededNarrowedOrFirstShrunk) {
    const std::vector<int> given = {140, 60, 80, 60, 100};
    const std::vector<int> needs = {130, 36, 36, 47, 60};
    struct Case {
        const char* name;
        std::vector<int> given, needs;
        int available;
        std::vector<int> want;
    } cases[] = {
        {"all fit as given", given, needs, 440, given},
        {"a column too narrow for its text grows",
         given,
         {130, 36, 90, 47, 60},
         500,
         {140, 60, 90, 60, 100}},
        {"one pixel short: the others narrow to their texts",
         given,
         needs,
         439,
         {140, 36, 36, 47, 60}},
        {"1024: the names keep 140 while three columns fit",
         given,
         needs,
         212,
         {140, 36, 36, 47, 60}},
        {"800: the names take what the next two leave", given, needs, 177, {105, 36, 36, 47, 60}},
        {"never below the least", given, needs, 80, {50, 36, 36, 47, 60}},
        {"the names need more than given", {100, 60}, {120, 30}, 140, {110, 30}},
        {"no columns", {}, {}, 10, {}},
        {"needs missing count as none", {50, 50}, {60}, 60, {60, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitColumnWidths(c.given, c.needs, c.available, 3, 50), c.want) << c.name;
    // Only the first column's neighbours up to keepWhole count for its room.
    EXPECT_EQ(FitColumnWidths(given, needs, 177, 2, 50), (std::vector<int>{140, 36, 36, 47, 60}));
    EXPECT_EQ(FitColumnWidths(given, needs, 175, 2, 50), (std::vector<int>{139, 36, 36, 47, 60}));
}

}  // namespace
}  // namespace hqlv::framework
