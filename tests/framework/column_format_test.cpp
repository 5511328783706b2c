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

}  // namespace
}  // namespace hqlv::framework
