#include "engine/core/value_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "temp_folder.h"

namespace hqlv::engine {
namespace {

ValueString V(std::string text, uint8_t type, uint8_t flag = 0) {
    return ValueString(std::move(text), type, flag);
}

TEST(ValueString, DetectType) {
    struct Case {
        const char* text;
        uint8_t type;
    } cases[] = {{"12", 10}, {"-3.5", 30}, {"+7", 10}, {"1-2", 5}, {"", 10}, {"1.2.3", 30},
                 {"ab", 5},  {"-", 10},    {"1 ", 5},  {"/", 5},   {":", 5}};
    for (auto& c : cases) {
        ValueString v(c.text, kValueNone, 7);
        v.DetectType();
        EXPECT_EQ(v.type(), c.type) << c.text;
        EXPECT_EQ(v.flag(), 7) << c.text;
    }
}

// A text result is held in a block of its own length, not in its left operand's block (a long
// text less a short one, or a long one with a short one added): a run counts its texts by
// their lengths.
TEST(ValueString, ATextResultKeepsABlockOfItsLength) {
    const std::string longText(65536, 'x');
    const struct {
        ValueString r;
        size_t length;
    } rows[] = {
        {ValueString::Subtract(V(longText + "ab", 5), V(longText, 5)), 2},
        {ValueString::Subtract(V("ab" + longText, 5), V(longText, 5)), 2},
        {ValueString::Subtract(V(longText, 5), V(longText.substr(0, 65000), 5)), 536},
        {ValueString::Divide(V(longText + "cd", 5), V(longText, 5)), 2},
        {ValueString::Add(V(longText, 5), V("y", 5)), 65537},
        {ValueString::Multiply(V(longText, 5), V("y", 5)), 65537},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.r.text().size(), r.length);
        EXPECT_LE(r.r.text().capacity(), r.length + 16) << r.length;
    }
}

TEST(ValueString, ArithmeticFollowsTheLeftType) {
    struct Case {
        ValueString r;
        std::string text;
        uint8_t type, flag;
    } cases[] = {
        {ValueString::Add(V("2", 10, 3), V("3", 5, 4)), "5", 10, 3},
        {ValueString::Add(V("ab", 5, 3), V("2", 10, 4)), "ab2", 5, 3},
        {ValueString::Add(V("1.5", 30, 3), V("2", 10, 4)), "3.500000", 30, 4},
        {ValueString::Subtract(V("TRUE", 20), V("1", 10)), "-1", 10, 0},
        {ValueString::Subtract(V("7", 40), V("9", 10)), "-2", 10, 0},
        {ValueString::Multiply(V("ab", 5), V("cd", 5)), "abcd", 5, 0},
        {ValueString::Multiply(V("6", 10), V("7", 5)), "42", 10, 0},
        {ValueString::Multiply(V("1.5", 30), V("2", 5)), "3.000000", 30, 0},
        {ValueString::Subtract(V("1.5", 30), V("2", 5)), "-0.500000", 30, 0},
        {ValueString::Divide(V("3", 30), V("2", 5)), "1.500000", 30, 0},
        {ValueString::Divide(V("7", 10), V("2", 5)), "3", 10, 0},
        {ValueString::Divide(V("-7", 10), V("2", 5)), "-3", 10, 0},
        // Texts: the first occurrence of the right text is removed from the left.
        {ValueString::Subtract(V("hello", 5, 9), V("ll", 5)), "heo", 5, 0},
        {ValueString::Subtract(V("hello world", 5), V("world", 5)), "hello ", 5, 0},
        {ValueString::Subtract(V("abab", 5, 2), V("ab", 5)), "ab", 5, 0},
        {ValueString::Subtract(V("xab", 5), V("ab", 10)), "x", 5, 0},
        {ValueString::Subtract(V("abc", 5, 3), V("", 5)), "abc", 5, 0},
        {ValueString::Subtract(V("ab", 5), V("abc", 5)), "ab", 5, 0},
        {ValueString::Subtract(V("hello", 0, 9), V("xy", 5)), "hello", 0, 9},
        {ValueString::Divide(V("hello", 5, 9), V("el", 5)), "hlo", 5, 0},
        // Bytes, not C strings: a zero byte before the occurrence; a false start just before it.
        {ValueString::Subtract(V(std::string("a\0bcd", 5), 5), V("cd", 5)), std::string("a\0b", 3),
         5, 0},
        {ValueString::Subtract(V("aaab", 5), V("aab", 5)), "a", 5, 0},
        // Integer faults: no undefined behaviour, defined results.
        {ValueString::Divide(V("5", 10), V("0", 10)), "0", 10, 0},
        {ValueString::Divide(V("-2147483648", 10), V("-1", 10)), "0", 10, 0},
        {ValueString::Divide(V("-2147483648", 10), V("1", 10)), "-2147483648", 10, 0},
        {ValueString::Add(V("2147483647", 10), V("1", 10)), "-2147483648", 10, 0},
        {ValueString::Subtract(V("-2147483648", 10), V("1", 10)), "2147483647", 10, 0},
        {ValueString::Multiply(V("65536", 10), V("65536", 10)), "0", 10, 0},
        {ValueString::Multiply(V("99999999999", 10), V("1", 10)), "2147483647", 10, 0},
        // Floating division by zero: the floating-point standard's values, written out.
        {ValueString::Divide(V("1.5", 30), V("0", 10, 6)), "inf", 30, 6},
        {ValueString::Divide(V("-1.5", 30), V("0.0", 30)), "-inf", 30, 0},
        {ValueString::Divide(V("2.5", 30), V("-0.0", 30)), "-inf", 30, 0},
        {ValueString::Divide(V("-2.5", 30), V("-0.0", 30)), "inf", 30, 0},
        {ValueString::Divide(V("0.0", 30), V("0", 5)), "nan", 30, 0},
        {ValueString::Divide(V("2.5", 30), V("0.5", 30)), "5.000000", 30, 0},
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.r.text(), c.text);
        EXPECT_EQ(c.r.type(), c.type) << c.text;
        EXPECT_EQ(c.r.flag(), c.flag) << c.text;
    }
    ValueString cat = ValueString::Concat("x=", V("1", 10, 5));
    EXPECT_EQ(cat.text(), "x=1");
    EXPECT_EQ(cat.type(), 5);
    EXPECT_EQ(cat.flag(), 0);
}

TEST(ValueString, Comparisons) {
    EXPECT_TRUE(ValueString::Less(V("abc", 5), V("abd", 5)));
    EXPECT_TRUE(ValueString::Less(V("ab", 5), V("abc", 5)));
    EXPECT_FALSE(ValueString::Less(V("abc", 5), V("ab", 5)));
    EXPECT_FALSE(ValueString::Less(V("10", 10), V("9", 10)));
    EXPECT_TRUE(ValueString::Less(V("10", 5), V("9", 5)));    // text: byte order
    EXPECT_TRUE(ValueString::Less(V("a", 5), V("\xB0", 5)));  // bytes compared unsigned
    EXPECT_TRUE(ValueString::GreaterOrEqual(V("10", 10), V("9", 10)));
    EXPECT_TRUE(ValueString::GreaterOrEqual(V("9", 10), V("9", 10)));
    EXPECT_FALSE(ValueString::GreaterOrEqual(V("8", 10), V("9", 10)));
    EXPECT_TRUE(ValueString::Equal(V("1", 10), V("01", 5)));
    EXPECT_FALSE(ValueString::Equal(V("1", 5), V("01", 5)));
    EXPECT_TRUE(ValueString::NotEqual(V("1", 5), V("01", 5)));
    EXPECT_FALSE(ValueString::NotEqual(V("1", 40), V("01", 5)));
    EXPECT_TRUE(ValueString::Equal(V("1.0", 30), V("1", 10)));
    EXPECT_TRUE(ValueString::Less(V("1.5", 30), V("1.6", 10)));
    EXPECT_FALSE(ValueString::Less(V("1.6", 30), V("1.5", 10)));
    EXPECT_TRUE(ValueString::GreaterOrEqual(V("1.6", 30), V("1.6", 10)));
    EXPECT_FALSE(ValueString::GreaterOrEqual(V("1.5", 30), V("1.6", 10)));
    EXPECT_TRUE(ValueString::Equal(V("TRUE", 20), V("0", 10)));  // a bool reads as atoi of its text
    EXPECT_TRUE(ValueString::TextEqual(V("ab", 10), "ab"));
    EXPECT_TRUE(ValueString::TextNotEqual(V("ab", 10), "abc"));
    EXPECT_EQ(ValueString::FloatCompare(V("2.5", 5), 2.4), 1);
    EXPECT_EQ(ValueString::FloatCompare(V("2.5", 5), 2.5), 0);
}

TEST(ValueString, ReadingAndAppending) {
    EXPECT_EQ(V("TRUE", 5).ToBool(), 1);
    EXPECT_EQ(V("FALSE", 5).ToBool(), 0);
    EXPECT_EQ(V("true", 5).ToBool(), 0);
    EXPECT_EQ(V("5", 5).ToBool(), 5);
    EXPECT_EQ(V("12ab", 5).ToInt(), 12);
    EXPECT_EQ(V("9999999999", 10).ToInt(), INT_MAX);
    EXPECT_DOUBLE_EQ(V("2.25x", 5).ToFloat(), 2.25);
    ValueString s = V("ab", 5);
    EXPECT_EQ(s.CharAt(1), 'b');
    EXPECT_EQ(s.CharAt(2), '\0');
    EXPECT_EQ(s.CharAt(1000), '\0');

    ValueString q("a,\"b,c\",d", 5);
    EXPECT_EQ(q.FindOutsideQuotes(',', 0), 1u);
    EXPECT_EQ(q.FindOutsideQuotes(',', 2), 7u);
    EXPECT_EQ(q.FindOutsideQuotes(';', 0), 9u);
    EXPECT_EQ(q.FindOutsideQuotes(',', 100), 9u);

    EXPECT_EQ(ValueString::FromInt(-5, 2).text(), "-5");
    EXPECT_EQ(ValueString::FromUnsigned(4000000000u).text(), "4000000000");
    EXPECT_EQ(ValueString::FromUnsigned(1).type(), 40);
    EXPECT_EQ(ValueString::FromBool(false).text(), "FALSE");
    EXPECT_EQ(ValueString::FromBool(true, 3).type(), 20);
    EXPECT_EQ(ValueString::FromFloat(0.5).text(), "0.500000");
    EXPECT_EQ(ValueString::FromFloat(1e300).text().size(), 308u);

    ValueString a = V("x", 10, 6);
    a.AppendInt(-1);
    EXPECT_EQ(a.text(), "x-1");
    EXPECT_EQ(a.type(), 10);
    a.AppendFloat(1.0);
    EXPECT_EQ(a.type(), 30);
    a.AppendUnsigned(7);
    EXPECT_EQ(a.type(), 40);
    a.AppendCStr("!");
    EXPECT_EQ(a.text(), "x-11.0000007!");
    EXPECT_EQ(a.type(), 5);
    EXPECT_EQ(a.flag(), 6);
    a.Append(V("?", 20, 8));
    EXPECT_EQ(a.type(), 20);
    EXPECT_EQ(a.flag(), 8);
    a.AssignCStr("c");
    EXPECT_EQ(a.flag(), 8);
    EXPECT_EQ(a.type(), 5);
    a.AssignText("t");
    EXPECT_EQ(a.flag(), 0);
    a.SetType(30, 4);
    a.ClearType();
    EXPECT_EQ(a.type(), 0);
    EXPECT_EQ(a.flag(), 4);
}

// The toolkit applies the environment's locale to the C library; one that writes "1,5"
// must not change how scripts read and write their numbers.
TEST(ValueString, NumbersIgnoreTheUsersLocale) {
    test::TempFolder dir;
    const std::string make =
        "localedef -i de_DE -f UTF-8 " + dir.path() + "/de_DE.UTF-8 >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "localedef (package locales) is needed";
    setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    char comma[16];
    std::snprintf(comma, sizeof comma, "%.1f", 1.5);
    const double read = V(" 1.5e1x", 5).ToFloat();
    const std::string written = ValueString::FromFloat(2.25).text();
    const std::string sum = ValueString::Add(V("1.5", 30), V("0.25", 5)).text();
    const bool less = ValueString::Less(V("1.25", 30), V("1.5", 30));
    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    ASSERT_STREQ(comma, "1,5");  // the locale really is in force
    EXPECT_EQ(read, 15.0);
    EXPECT_EQ(written, "2.250000");
    EXPECT_EQ(sum, "1.750000");
    EXPECT_TRUE(less);
}

}  // namespace
}  // namespace hqlv::engine
