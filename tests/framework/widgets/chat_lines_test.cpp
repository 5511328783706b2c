// The chat pane's standard lines, byte for byte, from bodies built field by field.
#include <gtest/gtest.h>

#include <map>

#include "builders.h"
#include "framework/widgets/chat_lines.h"

namespace hqlv::framework {
namespace {

using testing::Record;
using testing::Words;

Body B(const Words& w) {
    return {w.data(), w.bytes.size()};
}

class ChatLines : public ::testing::Test {
protected:
    void SetUp() override {
        players[1001] = Record(1001, 0, "我自己");
        players[2002] = Record(2002, 1, "<c=255>管理员");
        players[3003] = Record(3003, 2, "张三");
        players[4004] = Record(4004, 0, "看客", 1);
        ctx.player = [this](int uid) -> const PlayerRecord* {
            auto it = players.find(uid);
            return it == players.end() ? nullptr : &it->second;
        };
        ctx.ownUserId = 1001;
        ctx.ownTable = 4;
        ctx.gameId = 77;
        ctx.title = "红中麻将";
        ctx.welcomeName = "红中麻将";
        ctx.location = "测试房间";
    }
    std::map<int, PlayerRecord> players;
    ChatLineContext ctx;
};

// The input gives at most 61 GBK bytes, cut before a character that would not fit whole.
TEST(ChatInput, CutToSixtyOneGbkBytesOnACharacter) {
    const std::string a60(60, 'a');
    struct Case {
        std::string in, want;
    } cases[] = {
        {"", ""},
        {std::string(61, 'a'), std::string(61, 'a')},
        {std::string(62, 'a'), std::string(61, 'a')},
        {a60 + "字", a60},  // 62 bytes: the whole character goes
        {std::string(59, 'a') + "字", std::string(59, 'a') + "字"},   // exactly 61
        {std::string(59, 'a') + "！b", std::string(59, 'a') + "！"},  // a lead byte of 0xEF
        {a60 + "\xF0\x9F\x98\x80x", a60 + "\xF0\x9F\x98\x80"},        // no GBK form: one '?'
        {a60 + "\xE0\xA0\x80x", a60 + "\xE0\xA0\x80"},  // a lead byte of 0xE0, no GBK form
    };
    for (const auto& c : cases) EXPECT_EQ(ChatInputText(c.in), c.want) << c.in;
}

TEST_F(ChatLines, SilverKindsWithBaseSilver) {
    struct Case {
        int kind, trunk, base;
        std::vector<std::string> lines;
    } cases[] = {
        {1,
         0,
         0,
         {"【保险箱】<c=255>张三<>从保险箱中取出<c=255>50<>两银子, 现有<c=255>900<>两银子 \r\n"}},
        {2,
         0,
         20,
         {"【保险箱】<c=255>张三<>存入<c=255>50<>两银子到保险箱, 现有<c=255>900<>两银子 \r\n",
          "【保险箱】当前基础银为<c=255>20<>两 \r\n"}},
        {3,
         1,
         20,
         {"<c=255>【系统】<>张三领取了低保到后备箱, 共<c=255>50<>两银子 \r\n",
          "<c=255>【系统】<>当前基础银为<c=255>20<>两 \r\n"}},
        {3, 0, 0, {"<c=255>【系统】<>张三领取了低保到游戏, 共<c=255>50<>两银子 \r\n"}},
        {4,
         0,
         1,
         {" <z=qz系统通知> <c=255>张三<>领取了<c=255>50<>两银子奖励到游戏, 现有<c=255>900<>两银子 "
          "\r\n",
          "<c=255>【系统】<>当前基础银为<c=255>1<>两 \r\n"}},
        {9, 0, 5, {"【保险箱】当前基础银为<c=255>5<>两 \r\n"}},
        {9, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        Words w(28);
        w.w(0, 3003).w(2, c.kind).w(3, 50).w(4, 900).w(5, c.base).w(6, c.trunk);
        EXPECT_EQ(SilverNoticeLines(ctx, B(w)), c.lines);
    }
}

TEST_F(ChatLines, PrizeKindsByDestination) {
    struct Case {
        int user, dest, kind, game, flags;
        const char* line;
    } cases[] = {
        {1001, 0, 0, 77, 1,
         " <z=qz系统通知> 您充值成功 得到了银子<c=255>30<>两, 请到后备箱领取 \r\n"},
        {1001, 1, 1, 77, 2,
         " <z=qz系统通知> 您充值活动奖励成功 得到了积分<c=255>30<>, 请到保险箱领取 \r\n"},
        {1001, 0, 2, 77, 3,
         " <z=qz系统通知> 您充值成功 得到了通宝<c=255>30<>, 请到后备箱领取 \r\n"},
        {1001, 2, 0, 12, 0,
         " <z=qz系统通知> 您在其他游戏得到了<c=255>30<>两银子, 现有<c=255>800<>两银子 \r\n"},
        {1001, 2, 1, 77, 0, " <z=qz系统通知> 您得到了<c=255>30<>积分, 现有<c=255>800<>积分 \r\n"},
        {3003, 2, 2, 77, 1,
         " <z=qz系统通知> 玩家[张三]充值成功 得到了<c=255>30<>通宝, 现有<c=255>800<>通宝 \r\n"},
        {1001, 3, 0, 77, 0, ""},
        {1001, 0, 3, 77, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Words w(44);
        w.w(0, c.user).w(1, c.dest).w(2, c.kind).w(3, c.game).w(6, 800).w(8, 30).w(10, c.flags);
        EXPECT_EQ(PrizeNoticeLine(ctx, B(w)), c.line);
    }
}

// A table word at either end of the range shows the table a player counts (from 1) in every
// line that names one, the welcome line too: counted in 64 bits, never an overflow.
TEST_F(ChatLines, TablesAtTheEndsOfTheRangeCountFromOne) {
    struct Case {
        int32_t table;
        std::string shown;
    } cases[] = {
        {INT32_MIN, "-2147483647"}, {-2, "-1"}, {-1, "0"}, {0, "1"}, {INT32_MAX - 1, "2147483647"},
        {INT32_MAX, "2147483648"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        PlayerRecord r = Record(3003, 2, "张三");
        r.setWord(PlayerRecord::kValue9, c.table);
        ctx.ownTable = c.table;
        EXPECT_EQ(TableEnterLine(ctx, r), " <c=255>张三进入第" + c.shown + "桌 \r\n");
        EXPECT_EQ(TableLeaveLine(ctx, r), " <c=255>张三离开第" + c.shown + "桌 \r\n");
        EXPECT_EQ(TableChangedLine(ctx), " <c=255>您已经被换到第" + c.shown + "桌\r\n");
        EXPECT_EQ(RandomTableLine(ctx), " <c=255>您已经被随机分配到第" + c.shown + "桌\r\n");
        EXPECT_EQ(WelcomeLine(ctx),
                  " 欢迎来到<s=180,c=10715996,e=b>红中麻将\r\n<> 您的位置：测试房间 第" + c.shown +
                      "桌\r\n");
    }
}

TEST_F(ChatLines, RandomSeatingOnAndOff) {
    PlayerRecord r = Record(3003, 2, "张三");
    r.setWord(PlayerRecord::kValue9, 8);
    PlayerRecord own = Record(1001, 0, "我自己");
    own.setWord(PlayerRecord::kValue9, 4);
    EXPECT_EQ(TableEnterLine(ctx, r), " <c=255>张三进入第9桌 \r\n");
    EXPECT_EQ(TableLeaveLine(ctx, r), " <c=255>张三离开第9桌 \r\n");
    EXPECT_EQ(TableLeaveLine(ctx, own), " <c=255>您离开第5桌 \r\n");
    EXPECT_EQ(TableChangedLine(ctx), " <c=255>您已经被换到第5桌\r\n");
    EXPECT_EQ(RandomTableLine(ctx), " <c=255>您已经被随机分配到第5桌\r\n");
    EXPECT_EQ(WelcomeLine(ctx),
              " 欢迎来到<s=180,c=10715996,e=b>红中麻将\r\n<> 您的位置：测试房间 第5桌\r\n");
    ctx.randomSeating = true;
    EXPECT_EQ(TableEnterLine(ctx, r), "");
    EXPECT_EQ(TableLeaveLine(ctx, r), "");
    EXPECT_EQ(TableChangedLine(ctx), "");
    EXPECT_EQ(RandomTableLine(ctx), " <c=255>随机分桌成功，游戏开始\r\n");
    EXPECT_EQ(WelcomeLine(ctx),
              " 欢迎来到<s=180,c=10715996,e=b>红中麻将\r\n<> 您的位置：测试房间 \r\n");
}

TEST_F(ChatLines, AmuletSkipsZeroPointsAbsentUsersAndAnUnsetFlag) {
    Words w(68);
    w.w(0, 1).w(1, 3003).w(9, 5).w(2, 1001).w(10, 0).w(3, 9999).w(11, 7).w(4, 1001).w(12, 1);
    EXPECT_EQ(
        AmuletLines(ctx, B(w)),
        (std::vector<std::string>{
            " <c=15114240>张三<>发动<c=15114240>会员积分护身符<>技能，补回<c=255>5<>分\r\n",
            " <c=15114240>我自己<>发动<c=15114240>会员积分护身符<>技能，补回<c=255>1<>分\r\n"}));
    w.w(0, 2);
    EXPECT_TRUE(AmuletLines(ctx, B(w)).empty());
}

TEST_F(ChatLines, NamesAreNeutralisedAndChatTextsKeepOnlyFaces) {
    Words chat(128);
    chat.w(0, 2002).text(48, "<c=255,s=3000>【系统】<e=l,l=http://x>点我\r\n<><z=7>");
    EXPECT_EQ(PlayerChatLine(ctx, B(chat)),
              " ＜c=255>管理员说：<c=8421440>＜c=255,s=3000>【系统】＜e=l,l=http://x>点我  "
              "<><z=7>\r\n");
    Words unknown(128);
    unknown.w(0, 5555).text(48, "hi");
    EXPECT_EQ(PlayerChatLine(ctx, B(unknown)), "");
    Words kind8(64);
    kind8.w(0, 1001).w(2, 8).text(36, "你好<z=3>");
    EXPECT_EQ(ChatRecordLine(ctx, B(kind8)), " 我说：你好<z=3>\r\n");
    kind8.w(0, 3003);
    EXPECT_EQ(ChatRecordLine(ctx, B(kind8)), " 张三说：你好<z=3>\r\n");
    // A break inside the text is neutralised; the line's own break stays last.
    Words broken(64);
    broken.w(0, 3003).w(2, 8).text(36, "a\r\nb");
    EXPECT_EQ(ChatRecordLine(ctx, B(broken)), " 张三说：a  b\r\n");
    kind8.w(0, 5555);  // an unknown sender is silent
    EXPECT_EQ(ChatRecordLine(ctx, B(kind8)), "");
    Words kind2(64);
    kind2.w(0, 0).w(2, 2).text(36, "<c=255>服务器");
    EXPECT_EQ(ChatRecordLine(ctx, B(kind2)), "<c=255>服务器");
    kind2.w(2, 3);
    EXPECT_EQ(ChatRecordLine(ctx, B(kind2)), "");
    EXPECT_EQ(OwnChatLine("<s=900>x"), " 我说：<c=8421440>＜s=900>x<>\r\n");
    EXPECT_EQ(OwnFaceLine(3), " 我说：<><z=3>\r\n");
    EXPECT_EQ(LookerOnEnterLine(ctx, players[2002]), " <c=2906200>＜c=255>管理员进入旁观 \r\n");
    EXPECT_EQ(LookerOnLeaveLine(ctx, players[3003]), " <c=2906200>张三退出旁观 \r\n");
    Words bc(80);
    bc.w(0, 1).text(4, "<c=1>甲").text(36, "<s=3000>乙\n");
    EXPECT_EQ(BroadcastLine(B(bc)),
              "<c=255>【系统】<>收到广播[抽奖]\r\n来自:＜c=1>甲, 信息:＜s=3000>乙 \r\n");
    bc.w(0, 2);
    EXPECT_EQ(BroadcastLine(B(bc)), "");
}

TEST_F(ChatLines, OtherLines) {
    Words call(40);
    call.w(0, 3003).w(4, 1001);
    EXPECT_EQ(CallLine(ctx, B(call)), " 张三呼叫 <c=32768>我自己\r\n");
    Words result(16);
    result.w(1, 4).w(2, 1).w(3, -12);
    EXPECT_EQ(GameResultLine(ctx, B(result)),
              "<c=255>【系统】<>您刚刚进行的[红中麻将]游戏桌号[4]，椅子号[1],结果为：积分<c=255>-"
              "12<>。 \r\n");
    Words clothes(4);
    clothes.w(0, 3003);
    EXPECT_EQ(NewClothesLine(ctx, B(clothes)), " <c=255>张三穿上了一件新服装! \r\n");
    clothes.w(0, 1001);
    EXPECT_EQ(NewClothesLine(ctx, B(clothes)), " <c=255>我穿上了一件新服装! \r\n");
    clothes.w(0, 4004);  // a looker-on other than oneself
    EXPECT_EQ(NewClothesLine(ctx, B(clothes)), "");
    Words member(12);
    member.w(0, 3003).w(2, 1);
    EXPECT_EQ(MembershipLine(ctx, B(member)), " <c=255>张三成为了会员 \r\n");
    member.w(2, 0);
    EXPECT_EQ(MembershipLine(ctx, B(member)), " <c=255>张三的会员身份到期 \r\n");
    member.w(0, 1001);
    EXPECT_EQ(MembershipLine(ctx, B(member)), " <c=255>我的会员身份到期 \r\n");
    member.w(0, 4004);  // a looker-on other than oneself
    EXPECT_EQ(MembershipLine(ctx, B(member)), "");
    member.w(0, 5555);
    EXPECT_EQ(MembershipLine(ctx, B(member)), "");
    Words lotA(64);
    lotA.w(0, 11).w(1, 12).w(2, 13).w(3, 14).w(4, 15).w(5, 16);
    EXPECT_EQ(LotteryInfoLine(ctx, B(lotA)),
              "myID=1001, ntfID=11, \r\n剩余：12, 已玩：13, 14局一抽, 最大：15, 已用：16\r\n");
    EXPECT_EQ(LotteryInfoExLine(ctx, B(lotA)),
              "myID=1001, ntfID=11, \r\n剩余：14, 已玩：15, 13局一抽, 最大：12, 已用：16\r\n");
    lotA.text(24, "<c=255>抽奖");
    EXPECT_EQ(LotteryInfoLine(ctx, B(lotA)), "<c=255>抽奖");
    Words lotR(96);
    lotR.w(1, 1).w(2, 5).w(3, 1).w(4, 2).w(5, 3).w(6, 4).w(7, 9).text(32, "大奖");
    EXPECT_EQ(LotteryResultLine(ctx, B(lotR)),
              "抽中大奖5\r\n剩余：1, 已玩：3, 4局一抽, 最大：9, 已用：2\r\n");
    lotR.text(64, "AB");
    EXPECT_EQ(LotteryResultLine(ctx, B(lotR)),
              "抽中大奖, 代号AB\r\n剩余：1, 已玩：3, 4局一抽, 最大：9, 已用：2\r\n");
    lotR.w(1, 0).w(2, 0);
    EXPECT_EQ(LotteryResultLine(ctx, B(lotR)), "<c=255>【系统】<>大奖\r\n");
    lotR.w(1, -1).w(2, 3);
    EXPECT_EQ(LotteryResultLine(ctx, B(lotR)), "<c=255>【系统】<>大奖\r\n");
    lotR.w(1, 0).w(2, 3);
    EXPECT_NE(LotteryResultLine(ctx, B(lotR)).find("抽中大奖"), std::string::npos);
    Words sys(8);
    sys.text(0, "<c=1>好");
    EXPECT_EQ(SystemLine(B(sys)), "<c=255>【系统】<><c=1>好\r\n");
}

// Every builder with a body one byte short shows nothing (and reads nothing past it).
TEST_F(ChatLines, ABodyOneByteShortShowsNothing) {
    using Fn = std::function<std::string(Body)>;
    auto join = [](const std::vector<std::string>& v) {
        std::string s;
        for (auto& l : v) s += l;
        return s;
    };
    auto user = [](Words& w) { w.w(0, 3003); };
    struct Case {
        const char* name;
        size_t min;
        std::function<void(Words&)> fill;
        Fn fn;
    } cases[] = {
        {"chat", 49,
         [&](Words& w) {
             user(w);
             w.bytes[48] = 'x';
         },
         [&](Body b) { return PlayerChatLine(ctx, b); }},
        {"record", 37, [](Words& w) { w.w(2, 2).bytes[36] = 'x'; },
         [&](Body b) { return ChatRecordLine(ctx, b); }},
        {"call", 20, user, [&](Body b) { return CallLine(ctx, b); }},
        {"silver", 28, [&](Words& w) { w.w(2, 1); },
         [&](Body b) { return join(SilverNoticeLines(ctx, b)); }},
        {"prize", 44, [&](Words& w) { w.w(1, 1).w(2, 1); },
         [&](Body b) { return PrizeNoticeLine(ctx, b); }},
        {"result", 16, user, [&](Body b) { return GameResultLine(ctx, b); }},
        {"amulet", 68, [&](Words& w) { w.w(0, 1).w(1, 3003).w(9, 1); },
         [&](Body b) { return join(AmuletLines(ctx, b)); }},
        {"clothes", 4, user, [&](Body b) { return NewClothesLine(ctx, b); }},
        {"member", 12, user, [&](Body b) { return MembershipLine(ctx, b); }},
        {"lotteryA", 24, user, [&](Body b) { return LotteryInfoLine(ctx, b); }},
        {"lotteryB", 24, user, [&](Body b) { return LotteryInfoExLine(ctx, b); }},
        {"lotteryR", 96, user, [&](Body b) { return LotteryResultLine(ctx, b); }},
        {"broadcast", 36, [](Words& w) { w.w(0, 1); }, [&](Body b) { return BroadcastLine(b); }},
        {"system", 1, [](Words& w) { w.bytes[0] = 'x'; }, [&](Body b) { return SystemLine(b); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Words w(c.min);
        c.fill(w);
        // Exactly the minimum shows something; one byte less shows nothing.
        EXPECT_NE(c.fn({w.data(), c.min}), "");
        std::vector<uint8_t> shorter(w.bytes.begin(), w.bytes.end() - 1);
        EXPECT_EQ(c.fn({shorter.data(), shorter.size()}), "");
    }
    EXPECT_EQ(SystemLine({nullptr, 10}), "");
}

}  // namespace
}  // namespace hqlv::framework
