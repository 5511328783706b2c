#include "platform/core/text.h"

#include <random>

#include <gtest/gtest.h>

using namespace hqlv::platform;

TEST(GbkText, ByteExactRoundTrip) {
    const std::string utf8 = "中文 mahjong 碰杠胡";
    std::string gbk = utf8ToGbk(utf8);
    // 中 D6D0, 文 CEC4; ASCII passes through.
    EXPECT_EQ(gbk.substr(0, 4), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(gbk.size(), 4u + 9 + 6);
    EXPECT_EQ(gbkToUtf8(gbk), utf8);
    EXPECT_EQ(gbkToUtf8("plain"), "plain");
    EXPECT_EQ(utf8ToGbk(""), "");
    // GB18030 four-byte sequences decode too.
    EXPECT_EQ(gbkToUtf8("\x81\x30\x81\x30"), "\xC2\x80");  // U+0080, the first four-byte code
    EXPECT_EQ(gbkToUtf8("a\x81\x30\x81\x30z"), "a\xC2\x80z");
}

TEST(GbkText, BadInputBecomesQuestionMarks) {
    EXPECT_EQ(utf8ToGbk("A\xF0\x9F\x98\x80"
                        "B"),
              "A?B");  // an emoji has no GBK code
    EXPECT_EQ(utf8ToGbk("\xFF"
                        "A\xC3"),
              "?A?");                                  // malformed UTF-8
    EXPECT_EQ(utf8ToGbk("\xF5\x80\x80\x80"), "????");  // no lead byte from F5 on: four bad bytes
    EXPECT_EQ(utf8ToGbk("\xE4"
                        "AB"),
              "?AB");                     // a lead byte without its continuation bytes goes alone
    EXPECT_EQ(gbkToUtf8("A\xD6"), "A?");  // lead byte cut off at the end
    // 80 is no GBK byte nor a UTF-8 lead byte, even as the only high one.
    EXPECT_EQ(gbkToUtf8("a\x80"), "a?");
    EXPECT_EQ(utf8ToGbk("a\x80"), "a?");
    std::string out = gbkToUtf8("\x80\xD6\xD0");
    EXPECT_EQ(out, "?中");
}

TEST(GbkText, TruncateKeepsDoubleByteCharactersWhole) {
    const std::string gbk = utf8ToGbk("a中b文");  // 61 D6D0 62 CEC4
    EXPECT_EQ(gbkTruncate(gbk, 0), "");
    EXPECT_EQ(gbkTruncate(gbk, 1), "a");
    EXPECT_EQ(gbkTruncate(gbk, 2), "a");
    EXPECT_EQ(gbkTruncate(gbk, 3), "a\xD6\xD0");
    EXPECT_EQ(gbkTruncate(gbk, 5),
              "a\xD6\xD0"
              "b");
    EXPECT_EQ(gbkTruncate(gbk, 6), gbk);
    EXPECT_EQ(gbkTruncate(gbk, 100), gbk);
    // A trail byte in the ASCII range (丂 is 81 40) still belongs to its lead byte.
    EXPECT_EQ(gbkTruncate("\x81\x40\x81\x40", 3), "\x81\x40");
    EXPECT_EQ(gbkTruncate("\x81\x30\x81\x30x", 3), "");
    EXPECT_EQ(gbkTruncate("\x81\x30\x81\x30x", 4), "\x81\x30\x81\x30");
    // An incomplete last character is dropped.
    EXPECT_EQ(gbkTruncate("ab\xD6", 10), "ab");
    EXPECT_EQ(utf8ToGbkFit("麻将", 3), "\xC2\xE9");
    // UTF-8 is cut on a character boundary: 中 is E4 B8 AD.
    EXPECT_EQ(utf8Truncate("a中", 1), "a");
    EXPECT_EQ(utf8Truncate("a中", 3), "a");
    EXPECT_EQ(utf8Truncate("a中", 4), "a中");
}

TEST(GbkText, TruncationNeverSplitsACharacterInMixedText) {
    std::mt19937 rng(12345);
    const char* pieces[] = {"a", "Z", "中", "丂", "@", "麻", "将", " "};
    for (int round = 0; round < 50; ++round) {
        std::string utf8;
        for (int i = 0; i < 20; ++i) utf8 += pieces[rng() % 8];
        std::string gbk = utf8ToGbk(utf8);
        for (size_t max = 0; max <= gbk.size(); ++max) {
            std::string_view cut = gbkTruncate(gbk, max);
            ASSERT_LE(cut.size(), max);
            ASSERT_GE(cut.size() + 1, max < gbk.size() ? max : gbk.size());  // loses < 2 bytes
            std::string back = gbkToUtf8(cut);
            ASSERT_EQ(back.find('?'), std::string::npos);
            ASSERT_EQ(utf8.compare(0, back.size(), back), 0);
        }
    }
}
