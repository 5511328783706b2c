#include "framework/connection/framework_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/connection/request_result.h"
#include "framework/connection/wire_text.h"
#include "wire_client.h"

namespace hqlv::framework {
namespace {

using hqlv::testing::ExpectWords;
using hqlv::testing::W;
std::string T(const std::vector<uint8_t>& b, size_t off, size_t n) {
    const char* s = reinterpret_cast<const char*>(b.data() + off);
    return std::string(s, strnlen(s, n));
}
// Every byte outside the listed [offset, offset + width) ranges must be zero.
void ExpectZeroOutside(const std::vector<uint8_t>& b,
                       std::initializer_list<std::pair<size_t, size_t>> used) {
    for (size_t i = 0; i < b.size(); ++i) {
        bool in = false;
        for (auto [o, w] : used) in = in || (i >= o && i < o + w);
        if (!in) {
            EXPECT_EQ(b[i], 0) << "byte " << i;
        }
    }
}
std::vector<uint8_t> Words(std::initializer_list<int32_t> w) {
    std::vector<uint8_t> v;
    for (int32_t x : w)
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(uint32_t(x) >> (8 * i)));
    return v;
}

struct Fixture : ::testing::Test {
    HallEntry entry{"HqLv", 21303, 2, 1};
    std::string mid = "0123456789abcdef0123456700000000";  // 32 characters: one too many
    void SetUp() override {
        ASSERT_TRUE(entry.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|0|0|t|0|4|0|9"));
    }
    RequestContext Ctx() { return RequestContext{entry, mid}; }
};

using RequestBodies = Fixture;

TEST_F(RequestBodies, HeadAndLeave) {
    auto h = BuildHeadBody(Ctx());
    ASSERT_EQ(h.size(), 32u);
    ExpectWords(h, {{0, 123456}, {4, 301}, {8, 17}, {12, 2}});
    ExpectZeroOutside(h, {{0, 16}});

    auto own = BuildLeaveBody(Ctx(), 123456, 2);
    ASSERT_EQ(own.size(), 96u);
    EXPECT_EQ(W(own, 16), 0);
    auto other = BuildLeaveBody(Ctx(), 888, 3);
    ExpectWords(other,
                {{0, 888}, {4, 301}, {8, 17}, {12, 3}, {16, 1}, {20, 17}, {24, 2}, {28, 123456}});
    // The machine id keeps its terminator inside its 32 bytes.
    EXPECT_EQ(T(other, 32, 32), mid.substr(0, 31));
    EXPECT_EQ(other[63], 0);
    ExpectZeroOutside(other, {{0, 63}});
}

TEST_F(RequestBodies, ChatIsCutTo61Bytes) {
    std::string text(80, 'a');
    auto b = BuildChatBody(Ctx(), text);
    ASSERT_EQ(b.size(), 128u);
    EXPECT_EQ(T(b, 48, 80), std::string(61, 'a'));
    ExpectZeroOutside(b, {{0, 16}, {16, 31}, {48, 61}});
    // Chinese text goes out as GBK and is never cut inside a character.
    std::string zh;
    for (int i = 0; i < 40; ++i) zh += "中";
    auto c = BuildChatBody(Ctx(), zh);
    std::string wire = T(c, 48, 80);
    EXPECT_EQ(wire.size(), 60u);
    EXPECT_EQ(static_cast<uint8_t>(wire[0]), 0xD6);  // "中" in GBK is D6 D0
    EXPECT_EQ(static_cast<uint8_t>(wire[1]), 0xD0);
}

TEST_F(RequestBodies, SmallBodies) {
    auto call = BuildCallPlayerBody(Ctx(), 555, -1);
    ASSERT_EQ(call.size(), 40u);
    EXPECT_EQ(W(call, 16), 555);
    EXPECT_EQ(W(call, 20), -1);
    auto v = Build201180Body(Ctx(), 42);
    ASSERT_EQ(v.size(), 36u);
    EXPECT_EQ(W(v, 16), 42);
    auto reward = BuildClaimSilverRewardBody(Ctx(), 3);
    ASSERT_EQ(reward.size(), 192u);
    ExpectWords(reward, {{0, 123456}, {4, 77}, {8, 301}, {12, 17}, {16, 2}, {20, 3}});
    EXPECT_EQ(T(reward, 28, 32), mid.substr(0, 31));
    ExpectZeroOutside(reward, {{0, 24}, {28, 31}});
    auto box = BuildSafeBoxBody(Ctx());
    ASSERT_EQ(box.size(), 76u);
    EXPECT_EQ(W(box, 4), 77);
    EXPECT_EQ(T(box, 12, 32), mid.substr(0, 31));
    ExpectZeroOutside(box, {{0, 8}, {12, 31}});
    auto dole = BuildDoleConfigBody(Ctx(), 6);
    ASSERT_EQ(dole.size(), 320u);
    EXPECT_EQ(W(dole, 20), 6);
    ExpectZeroOutside(dole, {{0, 16}, {20, 4}});
}

TEST_F(RequestBodies, SilverTransferAndDole) {
    auto save = BuildSilverTransferBody(Ctx(), 500, 99, 7000, 1);
    ASSERT_EQ(save.size(), 112u);
    EXPECT_EQ(W(save, 20), 500);
    EXPECT_EQ(W(save, 24), 0);  // the protection answer goes with taking only
    EXPECT_EQ(W(save, 80), 7000);
    EXPECT_EQ(W(save, 84), 1);
    auto take = BuildSilverTransferBody(Ctx(), 500, 99, 7000, 2);
    EXPECT_EQ(W(take, 24), 99);
    EXPECT_EQ(W(take, 84), 2);
    EXPECT_EQ(T(take, 48, 32), mid.substr(0, 31));
    ExpectZeroOutside(take, {{0, 28}, {48, 31}, {80, 8}});

    auto d1 = BuildClaimDoleBody(Ctx(), "张三", 5, 1);
    ASSERT_EQ(d1.size(), 104u);
    EXPECT_EQ(T(d1, 16, 32), TextToWire("张三"));
    EXPECT_EQ(W(d1, 52), 5);
    EXPECT_EQ(W(d1, 56), 1);
    auto d2 = BuildClaimDole2Body(Ctx(), std::string(50, 'n'), 5, 0);
    ASSERT_EQ(d2.size(), 136u);
    EXPECT_EQ(T(d2, 16, 40), std::string(31, 'n'));
    EXPECT_EQ(W(d2, 56), 5);
    EXPECT_EQ(W(d2, 60), 0);
    auto lot = Build214102Body(Ctx(), std::string(50, 'n'));
    ASSERT_EQ(lot.size(), 428u);
    EXPECT_EQ(T(lot, 20, 40), std::string(23, 'n'));  // never runs into the machine id
    EXPECT_EQ(T(lot, 44, 32), mid.substr(0, 31));
}

TEST_F(RequestBodies, EnterGameHead) {
    entry.SetHallWord(76, 0x515253);  // the hall's enter parameter
    auto h = BuildEnterGameHeadBody(Ctx(), 123456, 0x11, true);
    ASSERT_EQ(h.size(), 108u);
    ExpectWords(h, {{0, 123456}, {4, 0x11}, {8, 77}, {12, 301}, {16, 17}, {20, 2}});
    EXPECT_EQ(T(h, 24, 32), mid.substr(0, 31));
    ExpectWords(h, {{56, 0}, {72, 1}, {88, 0x515253}});
    ExpectZeroOutside(h, {{0, 24}, {24, 31}, {72, 4}, {88, 4}});
    // A looker-on says so at +56; without quick-catch +72 stays zero.
    HallEntry looker{"HqLv", 21303, 2, 1};
    ASSERT_TRUE(looker.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|1"));
    auto l = BuildEnterGameHeadBody(RequestContext{looker, mid}, 123456, 0, false);
    ExpectWords(l, {{56, 1}, {72, 0}, {88, 0}});
}

// Equal, newer minor and newer major go through the connection's own tests.
TEST(VersionReply, OlderServerIsBeingUpdated) {
    for (auto reply : {Words({1, 9}), Words({2, 0})}) {
        auto o = EvaluateVersionReply(true, reply.data(), reply.size(), 2, 1);
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.text, "服务正在更新中，请稍候再试。");
    }
}

TEST(VersionReply, ShortOrMissingReplyIsBusy) {
    auto shortReply = Words({2});
    for (size_t len : {size_t{0}, size_t{4}, size_t{7}}) {
        auto o = EvaluateVersionReply(true, shortReply.data(), len, 2, 1);
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.text, "服务器繁忙，请稍候再试。");
    }
    auto ok = Words({2, 1});
    EXPECT_EQ(EvaluateVersionReply(false, ok.data(), ok.size(), 2, 1).result, 0);
    EXPECT_EQ(EvaluateVersionReply(true, nullptr, 8, 2, 1).result, 0);
}

std::vector<uint8_t> ActivityRecord(int enabled, std::vector<int32_t> indexes,
                                    const std::string& text, int n = -1) {
    std::vector<uint8_t> r(kActivityRecordBytes, 0);
    auto put = [&](size_t off, int32_t v) {
        for (int i = 0; i < 4; ++i) r[off + i] = static_cast<uint8_t>(uint32_t(v) >> (8 * i));
    };
    put(0, enabled);
    put(4, n < 0 ? static_cast<int32_t>(indexes.size()) : n);
    for (size_t i = 0; i < indexes.size() && i < 10; ++i) put(8 + 4 * i, indexes[i]);
    std::memcpy(r.data() + 48, text.data(), text.size());
    return r;
}

TEST(ActivityConfigReply, PiecesValuesAndTexts) {
    auto r =
        ActivityRecord(5, {0, 2, 9, -1, 3, 4}, TextToWire("10x20!签到|!low|1!x|3!t|x5!a|7x8!"));
    auto c = ParseActivityConfig(r.data(), r.size(), 7);
    ASSERT_TRUE(c.ok);
    EXPECT_TRUE(c.enabled);
    EXPECT_EQ(c.count, 6);
    ASSERT_EQ(c.entries.size(), 4u);  // index 9 and -1 are skipped
    EXPECT_EQ(c.entries[0].index, 0);
    EXPECT_EQ(c.entries[0].valueA, 10);
    EXPECT_EQ(c.entries[0].valueB, 20);
    EXPECT_EQ(c.entries[0].text, "签到");
    EXPECT_EQ(c.entries[1].index, 2);
    EXPECT_EQ(c.entries[1].text, "low");  // "!" first: no values
    EXPECT_EQ(c.entries[1].valueA, 0);
    EXPECT_EQ(c.entries[2].index, 3);  // piece 4: "x" first, no values
    EXPECT_EQ(c.entries[2].valueA, 0);
    EXPECT_EQ(c.entries[2].text, "a");
    EXPECT_EQ(c.entries[3].index, 4);
    EXPECT_EQ(c.entries[3].valueA, 7);
    EXPECT_EQ(c.entries[3].valueB, 8);
    EXPECT_EQ(c.entries[3].text, "");  // "!" ends the piece
}

TEST(ActivityConfigReply, BoundedCountsAndLengths) {
    // A count far beyond the ten index words reads no further than the index area.
    auto r = ActivityRecord(1, {0, 1, 2, 3, 4, 5, 6, 0, 1, 2}, "a!1|b!2", 1000000);
    auto c = ParseActivityConfig(r.data(), r.size(), 7);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.count, 1000000);
    EXPECT_EQ(c.entries.size(), 10u);
    // Text without a terminator ends at the reply's end.
    std::vector<uint8_t> shortRec(60, 'z');
    std::memset(shortRec.data(), 0, 48);
    shortRec[4] = 1;
    auto s = ParseActivityConfig(shortRec.data(), shortRec.size(), 7);
    ASSERT_TRUE(s.ok);
    ASSERT_EQ(s.entries.size(), 1u);
    EXPECT_EQ(s.entries[0].text, "");
    EXPECT_FALSE(ParseActivityConfig(r.data(), 47, 7).ok);
    EXPECT_FALSE(ParseActivityConfig(nullptr, 0, 7).ok);
}

TEST(LeaveReply, RefusalsAndShortReplies) {
    std::string text;
    auto w = Words({45});
    EXPECT_EQ(EvaluateLeaveReply(210085, w.data(), 3, text), 0);
    EXPECT_EQ(text, kTextSendFailed);
    EXPECT_EQ(EvaluateLeaveReply(210087, nullptr, 0, text), 1);
    EXPECT_EQ(text, "离开游戏失败，请等待本局结果提交。");
    EXPECT_EQ(EvaluateLeaveReply(210086, nullptr, 0, text), 1);
    EXPECT_EQ(EvaluateLeaveReply(10, nullptr, 0, text), 0);  // leaving is allowed
}

TEST(SilverReplies, SaveTexts) {
    std::string text;
    int amount = 900;
    auto w = Words({1000, 300});
    EXPECT_EQ(EvaluateSilverTransferReply(1, 60092, w.data(), w.size(), "t", text, amount), 0);
    EXPECT_EQ(
        text,
        "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出700两。(至少保留300两)");
    EXPECT_EQ(amount, 700);
    amount = 900;
    EXPECT_EQ(EvaluateSilverTransferReply(1, 60092, w.data(), 7, "t", text, amount), 0);
    EXPECT_EQ(text, kTextSendFailed);
    EXPECT_EQ(amount, 900);
    EXPECT_EQ(EvaluateSilverTransferReply(1, 211424, w.data(), 4, "t", text, amount), 0);
    EXPECT_EQ(text, "低于房间最低银子限制【1000两】。");
    EXPECT_EQ(EvaluateSilverTransferReply(1, 60042, nullptr, 0, "欢乐", text, amount), 0);
    EXPECT_EQ(text, "系统禁止在【欢乐】里存放银子。");
    EXPECT_EQ(EvaluateSilverTransferReply(1, 60005, nullptr, 0, "t", text, amount), 0);
    EXPECT_EQ(text, "您的划帐数额超过现在拥有的金额。");
    EXPECT_EQ(EvaluateSilverTransferReply(1, 1011, nullptr, 0, "t", text, amount), 0);
    EXPECT_EQ(text, "操作失败！");  // a take code only
    text = "keep";
    EXPECT_EQ(EvaluateSilverTransferReply(1, 10, nullptr, 0, "t", text, amount), 1);
    EXPECT_EQ(text, "keep");
}

TEST(SilverReplies, TakeTexts) {
    std::string text;
    int amount = 0;
    auto reached = Words({3000, 3000});
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60086, reached.data(), 8, "房", text, amount), 0);
    EXPECT_EQ(text, "系统限定每日划入【房】不能超过3000两，\r\n今天您已经超限，到明天才能划银。");
    auto left = Words({1000, 3000});
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60086, left.data(), 8, "房", text, amount), 0);
    EXPECT_EQ(text, "系统限定每日划入【房】不能超过3000两，\r\n今天您最多还可以划入2000两。");
    auto month = Words({5, 0, 10000000, 1});  // limit 2^32 + 10000000
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60095, month.data(), 16, "t", text, amount), 0);
    EXPECT_EQ(
        text,
        "系统限定每月划入游戏总额不能超过4304967296两，\r\n本月您最多还可以划入4304967291两。");
    auto over = Words({7, 0, 7, 0});
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60095, over.data(), 16, "t", text, amount), 0);
    EXPECT_EQ(text, "系统限定每月划入游戏不能超过7两，\r\n本月您已经超限，到下个月才能划银。");
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60095, over.data(), 15, "t", text, amount), 0);
    EXPECT_EQ(text, kTextSendFailed);
    EXPECT_EQ(EvaluateSilverTransferReply(2, 10, nullptr, 0, "t", text, amount), 1);
    EXPECT_EQ(text, "银子已经成功划入您指定的游戏。");
    EXPECT_EQ(EvaluateSilverTransferReply(2, 60019, nullptr, 0, "t", text, amount), 0);
    EXPECT_EQ(text, "非常抱歉，系统正在维护中，请稍候再操作。");
}

// Amounts and limits at the ends of the range: the remainders shown are the true ones (in 64
// bits, or unsigned for the monthly 64-bit pair), and the amount a save may move stays within
// what a request's word carries.
TEST(SilverReplies, RemaindersAtTheEndsOfTheRange) {
    struct Case {
        int direction, code;
        std::vector<int32_t> words;
        std::string text;
        int amount;
    } cases[] = {
        {1,
         60092,
         {INT32_MAX, INT32_MIN},
         "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出4294967295两。(至少保留-"
         "2147483648两)",
         INT32_MAX},
        {1,
         60092,
         {INT32_MIN, INT32_MAX},
         "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出-4294967295两。(至少保留"
         "2147483647两)",
         INT32_MIN},
        {1,
         60092,
         {-1, 0},
         "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出-1两。(至少保留0两)",
         -1},
        {1,
         60092,
         {INT32_MAX, -1},
         "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出2147483648两。(至少保留-"
         "1两)",
         INT32_MAX},
        {2,
         60086,
         {INT32_MIN, INT32_MAX},
         "系统限定每日划入【房】不能超过2147483647两，\r\n今天您最多还可以划入4294967295两。",
         7},
        {2,
         60086,
         {-1, INT32_MAX},
         "系统限定每日划入【房】不能超过2147483647两，\r\n今天您最多还可以划入2147483648两。",
         7},
        {2,
         60086,
         {INT32_MAX, INT32_MIN},
         "系统限定每日划入【房】不能超过-2147483648两，\r\n今天您已经超限，到明天才能划银。",
         7},
        {2, 60086, {0, 1}, "系统限定每日划入【房】不能超过1两，\r\n今天您最多还可以划入1两。", 7},
        // Used INT64_MIN, limit INT64_MAX: the remainder is 2^64 - 1.
        {2,
         60095,
         {0, INT32_MIN, -1, INT32_MAX},
         "系统限定每月划入游戏总额不能超过9223372036854775807两，\r\n本月您最多还可以划入"
         "18446744073709551615两。",
         7},
        // Used -1, limit 0.
        {2,
         60095,
         {-1, -1, 0, 0},
         "系统限定每月划入游戏总额不能超过0两，\r\n本月您最多还可以划入1两。",
         7},
        {2,
         60095,
         {-1, INT32_MAX, 0, INT32_MIN},
         "系统限定每月划入游戏不能超过-"
         "9223372036854775808两，\r\n本月您已经超限，到下个月才能划银。",
         7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> reply;
        for (int32_t w : c.words)
            for (int b = 0; b < 4; ++b) reply.push_back(uint8_t(uint32_t(w) >> (8 * b)));
        std::string text;
        int amount = 7;
        EXPECT_EQ(EvaluateSilverTransferReply(c.direction, c.code, reply.data(), reply.size(), "房",
                                              text, amount),
                  0);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(amount, c.amount);
    }
}

TEST(SafeBoxReply, CopiesOnlyWhatIsThere) {
    std::string text;
    uint8_t out[32];
    std::memset(out, 0xEE, sizeof out);
    std::vector<uint8_t> reply(32);
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(CopySafeBoxReply(10, reply.data(), 31, out, 32, text), 0);
    EXPECT_EQ(text, kTextSendFailed);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(CopySafeBoxReply(10, reply.data(), 32, out, 32, text), 1);
    EXPECT_EQ(std::memcmp(out, reply.data(), 32), 0);
    EXPECT_EQ(CopySafeBoxReply(10, nullptr, 0, out, 32, text), 0);
    EXPECT_EQ(text, "操作失败！");
}

TEST(ClaimSilverReply, Texts) {
    std::string text;
    auto w = Words({20000});
    EXPECT_EQ(EvaluateClaimSilverReply(211425, w.data(), 4, "t", text), 0);
    EXPECT_EQ(text, "高于房间最高银子限制【20000两】。");
    EXPECT_EQ(EvaluateClaimSilverReply(211425, w.data(), 2, "t", text), 0);
    EXPECT_EQ(text, kTextSendFailed);
    EXPECT_EQ(EvaluateClaimSilverReply(10100, nullptr, 0, "t", text), 0);
    EXPECT_EQ(text, "请求处理失败。");
    text = "preset";
    EXPECT_EQ(EvaluateClaimSilverReply(424242, nullptr, 0, "t", text), 0);
    EXPECT_EQ(text, "preset");
    EXPECT_EQ(EvaluateClaimSilverReply(10, nullptr, 0, "t", text), 1);
}

TEST(ResultTexts, GeneralAndHallTexts) {
    std::string t = "caller";
    EXPECT_FALSE(GameResultText(t, 1011));  // a general code, not a game one
    EXPECT_TRUE(GeneralResultText(t, 1011));
    EXPECT_EQ(t, "无效的参数。");
    HallErrorText(t, 1000);
    EXPECT_EQ(t, "操作失败！");
    HallErrorText(t, 60101);
    EXPECT_EQ(t, "帐户已被禁用，请与管理员联系。");
    HallErrorText(t, 60035);  // general, but not a hall code
    EXPECT_EQ(t, "操作失败！");
}

TEST(ResultTexts, ServerTextIsBoundedByTheReply) {
    std::string gbk = TextToWire("桌子已满");
    std::vector<uint8_t> r(gbk.begin(), gbk.end());  // no terminator
    EXPECT_EQ(ServerTextFromReply(r.data(), r.size()), "桌子已满");
    r.push_back(0);
    r.push_back('X');
    EXPECT_EQ(ServerTextFromReply(r.data(), r.size()), "桌子已满");
    EXPECT_EQ(ServerTextFromReply(r.data(), 2), "桌");
    EXPECT_EQ(ServerTextFromReply(nullptr, 5), "");
}

}  // namespace
}  // namespace hqlv::framework
