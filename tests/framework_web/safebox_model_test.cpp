#include "framework/web/safebox_model.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace hqlv::framework::web {
namespace {

TEST(SafeBoxNumbers, LeadingIntAndRange) {
    struct Case {
        const char* text;
        size_t max;
        std::optional<int32_t> want;
    } cases[] = {
        {"123abc", 29, 123}, {"-45", 29, -45}, {"+7", 29, 7}, {"abc", 29, 0}, {"", 29, 0},
        {"-", 29, 0}, {"2147483647", 29, INT32_MAX}, {"2147483648", 29, std::nullopt},
        {"-2147483648", 29, INT32_MIN}, {"-2147483649", 29, std::nullopt},
        {"4294967396", 29, std::nullopt}, {"00000000000000000000000000042", 29, 42},
        {"123456", 3, 123}, {"999999999999999", 15, std::nullopt}, {"000000000000012", 15, 12},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseLeadingInt(c.text, c.max), c.want) << c.text;
    EXPECT_EQ(ParseAmountText("4294967396"), 0);  // saves nothing, asks for an amount
    EXPECT_EQ(ParseAmountText("100 两"), 100);
}

TEST(SafeBoxNumbers, History) {
    std::vector<int32_t> h;
    for (int32_t a : {100, 200}) EXPECT_TRUE(AddToHistory(h, a));
    for (int32_t a : {100, 0}) EXPECT_FALSE(AddToHistory(h, a));
    EXPECT_EQ(FormatHistory(h), "100|200|");
    h.clear();
    for (int i = 1; i <= 17; ++i) AddToHistory(h, i);  // the 17th drops the oldest
    EXPECT_EQ(h.size(), 16u);
    EXPECT_EQ(h.front(), 2);
    EXPECT_EQ(h.back(), 17);
    EXPECT_EQ(ParseHistory("100|0|x|500|99999999999|"), (std::vector<int32_t>{100, 500}));
    EXPECT_EQ(ParseHistory(""), std::vector<int32_t>{});
}

TEST(SafeBoxNumbers, FixAmountsAndMoves) {
    std::array<std::string, 6> t = {"1", "2", "3", "4", "5", ""};
    EXPECT_EQ(FixAmountsFromTexts(t), kFixDefaults);
    t = {"4294967396", "2", "", "4", "5x", "6"};
    EXPECT_EQ(FixAmountsFromTexts(t), (std::array<int32_t, 6>{0, 2, 0, 4, 5, 6}));
    struct Case {
        int32_t current, target;
        std::optional<FixMove::Kind> kind;  // none: does not fit in 32 bits
        int32_t amount;
    } cases[] = {
        {3000, 3000, FixMove::kNone, 0},     {3000, 1000, FixMove::kSave, 2000},
        {3000, 10000, FixMove::kTake, 7000}, {0, INT32_MAX, FixMove::kTake, INT32_MAX},
        {INT32_MAX, 0, FixMove::kSave, INT32_MAX}, {-1, INT32_MAX, std::nullopt, 0},
        {-2, INT32_MAX, std::nullopt, 0},    {INT32_MAX, -1, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        auto m = PlanFixMove(c.current, c.target);
        ASSERT_EQ(m.has_value(), c.kind.has_value()) << c.current << " " << c.target;
        if (!m) continue;
        EXPECT_EQ(m->kind, *c.kind) << c.current << " " << c.target;
        EXPECT_EQ(m->amount, c.amount) << c.current << " " << c.target;
    }
}

TEST(SafeBoxKeypad, GroupsAndArithmetic) {
    struct Case {
        const char* digits;
        int32_t challenge;
        int32_t want;
    } cases[] = {
        {"1111222233334444", 0, 1111 + 2222 + 3333 + 4444}, {"111122223333", 0, 1111 + 2222 + 3333},
        {"12345", 0, 1234 + 5}, {"0012", 0, 12}, {"", 12345678, 1234 + 5678},
        {"", -12345678, -1234 - 5678}, {"9", -5, 9 - 5}, {"12345678", 0, 1234 + 5678},
    };
    for (const auto& c : cases) {
        KeypadModel k;
        k.TypeDigits(c.digits);
        EXPECT_EQ(k.digits(), c.digits);
        EXPECT_EQ(k.Response(c.challenge), c.want) << c.digits << " " << c.challenge;
    }
}

TEST(SafeBoxKeypad, MapLimitAndErase) {
    KeypadModel k;
    k.Shuffle(12345);
    auto m = k.map();
    std::sort(m.begin(), m.end());
    EXPECT_EQ(m, (std::array<int, 10>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    k.SetMap({9, 8, 7, 6, 5, 4, 3, 2, 1, 0});
    for (int b : {0, 3, 10, -1}) k.PressButton(b);  // 10 and -1 are no digit buttons
    EXPECT_EQ(k.digits(), "96");
    EXPECT_EQ(k.Echo(), "**");
    for (int i = 0; i < 3; ++i) k.Erase();  // erasing nothing does nothing
    EXPECT_EQ(k.digits(), "");
}

TEST(SafeBoxCode, PictureHasOnlyEightDigits) {
    const std::pair<int32_t, const char*> codes[] = {
        {12345678, "12345678"}, {42, "00000042"},        {-12345678, "12345678"},
        {-5, "0000005"},        {123456789, "12345678"}, {INT32_MIN, "21474836"}};
    for (const auto& [challenge, text] : codes) EXPECT_EQ(CodePictureText(challenge), text);
    for (char c : std::string("0123456789")) EXPECT_EQ(GlyphIndex(c), 1 + (c - '0'));
    EXPECT_EQ(GlyphIndex('-'), kSeparatorGlyph);
    EXPECT_EQ(CodeGlyphX(10, 3), 55);
    EXPECT_EQ(CodeGlyphX(10, 4), 90);
    EXPECT_EQ(CodeSeparatorX(10), 74);
}

}  // namespace
}  // namespace hqlv::framework::web
