#include "framework/app/shared_utils.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/app/text_edge.h"

namespace hqlv::framework {
namespace {

TEST(SharedUtils, TrimBlanksOnlyRemovesSpaces) {
    std::string s = "  a b \t ";
    EXPECT_EQ(TrimBlanks(s), "a b \t");
    std::string blanks = "    ";
    EXPECT_EQ(TrimBlanks(blanks), "");
    EXPECT_EQ(TrimBlanksCopy("\tx "), "\tx");
}

TEST(SharedUtils, SplitFieldsCountsRestAndEmptyFields) {
    SplitResult r = SplitFields("a|b|c|d", 3);
    ASSERT_EQ(r.fields.size(), 3u);
    EXPECT_EQ(r.fields[2], "c");
    ASSERT_TRUE(r.rest.has_value());
    EXPECT_EQ(*r.rest, "d");

    r = SplitFields("a|b|", 30);
    ASSERT_EQ(r.fields.size(), 3u);
    EXPECT_EQ(r.fields[2], "");
    EXPECT_FALSE(r.rest.has_value());

    r = SplitFields("", 30);
    ASSERT_EQ(r.fields.size(), 1u);
    EXPECT_EQ(r.fields[0], "");

    // Exactly n fields: no rest.
    r = SplitFields("1|2|3", 3);
    EXPECT_EQ(r.fields.size(), 3u);
    EXPECT_FALSE(r.rest.has_value());
}

TEST(SharedUtils, WealthTitleThresholds) {
    EXPECT_EQ(GetWealthTitle(99), "待业");
    EXPECT_EQ(GetWealthTitle(0), "待业");
    EXPECT_EQ(GetWealthTitle(100), "临时工");
    EXPECT_EQ(GetWealthTitle(199), "临时工");
    EXPECT_EQ(GetWealthTitle(200), "合同工");
    EXPECT_EQ(GetWealthTitle(26214399), "超级大富豪");
    EXPECT_EQ(GetWealthTitle(26214400), "世界首富");
    EXPECT_EQ(GetWealthTitle(INT32_MAX), "世界首富");
    EXPECT_EQ(GetWealthTitle(-1), "负债");
    EXPECT_EQ(GetWealthTitle(819200), "董事长");
    EXPECT_EQ(GetWealthTitle(819199), "副董事长");
}

TEST(SharedUtils, ParseColorChannelsAndDefaults) {
    EXPECT_EQ(ParseColor("0 128 255", 7), 16744448u);
    EXPECT_EQ(ParseColor("255 0 0", 7), 255u);
    EXPECT_EQ(ParseColor("", 7), 7u);
    EXPECT_EQ(ParseColor("256 257", 7), 0u | (1u << 8));
    EXPECT_EQ(ParseColor("12", 7), 12u);
    EXPECT_EQ(ParseColor("abc 5 6", 7), (5u << 8) | (6u << 16));
}

TEST(SharedUtils, HttpPrefixAndQuery) {
    std::string a = "HTTP://x.org/";
    EnsureHttpPrefix(a);
    EXPECT_EQ(a, "HTTP://x.org/");
    std::string b = "x.org";
    EnsureHttpPrefix(b);
    EXPECT_EQ(b, "http://x.org");
    std::string c = "http:/";
    EnsureHttpPrefix(c);
    EXPECT_EQ(c, "http://http:/");
    EXPECT_EQ(AppendQuery("p.htm?a=1", "uid=3"), "p.htm?a=1&uid=3");
    EXPECT_EQ(AppendQuery("p.htm", "uid=3"), "p.htm?uid=3");
    EXPECT_EQ(AppendQuery("p.htm", ""), "p.htm");
}

TEST(TextEdge, GbkRoundTripAndCharacterBoundaries) {
    std::string gbk = Utf8ToGbk("银子a");
    ASSERT_EQ(gbk.size(), 5u);
    EXPECT_EQ(GbkToUtf8(gbk), "银子a");
    EXPECT_EQ(GbkCut(gbk, 3), gbk.substr(0, 2));  // never half a character
    EXPECT_EQ(GbkCut(gbk, 4), gbk.substr(0, 4));
    EXPECT_EQ(Utf8ToGbkCut("银子", 1), "");
    // A lone lead byte decodes to a replacement, never past the end.
    EXPECT_EQ(GbkToUtf8(std::string("\xD2", 1)), "?");
}

}  // namespace
}  // namespace hqlv::framework

namespace hqlv::framework {
namespace {

// A period in seconds as a timer's milliseconds: exact up to the longest period a timer
// keeps, that longest period beyond it (never a wrapped short one), none below 0.
TEST(TimerPeriod, SecondsToMillisecondsWithinWhatATimerKeeps) {
    struct Case {
        int64_t seconds;
        uint32_t ms;
    } cases[] = {
        {INT64_MIN, 0},
        {INT32_MIN, 0},
        {-1, 0},
        {0, 0},
        {1, 1000},
        {300, 300000},
        {2147483, 2147483000u},    // the last whole second below the bound
        {2147484, 0x7FFFFFFFu},    // 2147484000 ms would be past it
        {4294968, 0x7FFFFFFFu},    // wrapped in 32 bits this was 704 ms
        {INT32_MAX, 0x7FFFFFFFu},  // wrapped in 32 bits this was a negative period
        {int64_t(UINT32_MAX), 0x7FFFFFFFu},
        {INT64_MAX, 0x7FFFFFFFu},
    };
    for (const Case& c : cases) EXPECT_EQ(TimerPeriodMs(c.seconds), c.ms) << c.seconds;
}

}  // namespace
}  // namespace hqlv::framework
