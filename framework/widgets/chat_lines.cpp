#include "framework/widgets/chat_lines.h"

#include <algorithm>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "framework/widgets/chat_markup.h"

namespace hqlv::framework {
namespace {

int32_t W(Body b, size_t i) {
    return LoadWordLE(b.data, b.data ? b.size : 0, i);
}

bool Has(Body b, size_t n) {
    return b.data && b.size >= n;
}

// The zero-terminated GBK text at `off`, at most `max` bytes and never past the body, as
// UTF-8.
std::string Text(Body b, size_t off, size_t max = static_cast<size_t>(-1)) {
    if (!b.data || off >= b.size) return {};
    size_t n = 0;
    while (off + n < b.size && n < max && b.data[off + n]) ++n;
    return GbkToUtf8(std::string_view(reinterpret_cast<const char*>(b.data + off), n));
}

std::string RecordName(const PlayerRecord& r) {
    return NeutraliseMarkup(GbkToUtf8(r.name()), false);
}

// The name of a user id, empty when unknown.
std::string NameOrEmpty(const ChatLineContext& c, int userId) {
    std::string name;
    ChatPlayerName(c, userId, &name);
    return name;
}

// The table number as the player counts: the server's word is counted from 0, and the
// count from 1 is taken in 64 bits, so that the top word shows 2147483648, not an overflow.
long long CountedFromOne(int32_t number) {
    return static_cast<long long>(number) + 1;
}

bool SkipLookerOn(const ChatLineContext& c, int userId) {
    const PlayerRecord* r = c.player ? c.player(userId) : nullptr;
    return r && r->word(PlayerRecord::kLookerOn) != 0 && userId != c.ownUserId;
}

}  // namespace

bool ChatPlayerName(const ChatLineContext& c, int userId, std::string* name) {
    const PlayerRecord* r = c.player ? c.player(userId) : nullptr;
    if (!r) return false;
    *name = RecordName(*r);
    return true;
}

std::string PlayerChatLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kPlayerChatTextOffset + 1)) return {};
    std::string name;
    if (!ChatPlayerName(c, W(b, 0), &name)) return {};
    std::string text = NeutraliseMarkup(Text(b, kPlayerChatTextOffset), true);
    return Format(" %s说：<c=%u>%s\r\n", name.c_str(), kChatTalkColor, text.c_str());
}

std::string ChatRecordLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kChatRecordTextOffset + 1)) return {};
    int kind = W(b, 2);
    std::string text = Text(b, kChatRecordTextOffset);
    if (kind == 2) return text;
    if (kind != 8) return {};
    int sender = W(b, 0);
    std::string name;
    if (sender == c.ownUserId)
        name = "我";
    else if (!ChatPlayerName(c, sender, &name))
        return {};
    // A player's line ends its line like every other chat line; without the break the
    // next player's words ran on after it.
    return Format(" %s说：%s\r\n", name.c_str(), NeutraliseMarkup(text, true).c_str());
}

std::string ChatInputText(std::string_view utf8) {
    size_t bytes = 0, at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        len = std::min(len, utf8.size() - at);
        bytes += Utf8ToGbk(utf8.substr(at, len)).size();
        if (bytes > kChatInputBytes) break;
        at += len;
    }
    return std::string(utf8.substr(0, at));
}

std::string OwnChatLine(const std::string& text) {
    return Format(" 我说：<c=%u>%s<>\r\n", kChatTalkColor, NeutraliseMarkup(text, true).c_str());
}

std::string OwnFaceText(int face) {
    return Format("<><z=%d>", face);
}

std::string OwnFaceLine(int face) {
    return Format(" 我说：%s\r\n", OwnFaceText(face).c_str());
}

std::string LookerOnEnterLine(const ChatLineContext&, const PlayerRecord& r) {
    return Format(" <c=%u>%s进入旁观 \r\n", kChatLookerColor, RecordName(r).c_str());
}

std::string LookerOnLeaveLine(const ChatLineContext&, const PlayerRecord& r) {
    return Format(" <c=%u>%s退出旁观 \r\n", kChatLookerColor, RecordName(r).c_str());
}

std::string CallLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kCallBodyMin)) return {};
    return Format(" %s呼叫 <c=%u>%s\r\n", NameOrEmpty(c, W(b, 0)).c_str(), kChatCallColor,
                  NameOrEmpty(c, W(b, 4)).c_str());
}

std::string TableEnterLine(const ChatLineContext& c, const PlayerRecord& r) {
    if (c.randomSeating) return {};
    return Format(" <c=%d>%s进入第%lld桌 \r\n", 255, RecordName(r).c_str(),
                  CountedFromOne(r.table()));
}

std::string TableLeaveLine(const ChatLineContext& c, const PlayerRecord& r) {
    if (c.randomSeating) return {};
    std::string name = r.userId() == c.ownUserId ? std::string("您") : RecordName(r);
    return Format(" <c=%d>%s离开第%lld桌 \r\n", 255, name.c_str(), CountedFromOne(r.table()));
}

std::string TableChangedLine(const ChatLineContext& c) {
    if (c.randomSeating) return {};
    return Format(" <c=255>您已经被换到第%lld桌\r\n", CountedFromOne(c.ownTable));
}

std::string RandomTableLine(const ChatLineContext& c) {
    if (c.randomSeating) return " <c=255>随机分桌成功，游戏开始\r\n";
    return Format(" <c=255>您已经被随机分配到第%lld桌\r\n", CountedFromOne(c.ownTable));
}

std::vector<std::string> SilverNoticeLines(const ChatLineContext& c, Body b) {
    std::vector<std::string> lines;
    if (!Has(b, kSilverBodyMin)) return lines;
    int kind = W(b, 2), amount = W(b, 3), balance = W(b, 4), base = W(b, 5);
    std::string name = NameOrEmpty(c, W(b, 0));
    switch (kind) {
        case 1:
            lines.push_back(
                Format("【保险箱】<c=255>%s<>从保险箱中取出<c=255>%d<>两银子, "
                       "现有<c=255>%d<>两银子 \r\n",
                       name.c_str(), amount, balance));
            break;
        case 2:
            lines.push_back(
                Format("【保险箱】<c=255>%s<>存入<c=255>%d<>两银子到保险箱, "
                       "现有<c=255>%d<>两银子 \r\n",
                       name.c_str(), amount, balance));
            break;
        case 3:
            lines.push_back(Format("<c=255>【系统】<>%s领取了低保到%s, 共<c=255>%d<>两银子 \r\n",
                                   name.c_str(), W(b, 6) ? "后备箱" : "游戏", amount));
            break;
        case 4:
            lines.push_back(
                Format(" <z=qz系统通知> <c=255>%s<>领取了<c=255>%d<>两银子奖励到游戏, "
                       "现有<c=255>%d<>两银子 \r\n",
                       name.c_str(), amount, balance));
            break;
        default:
            break;
    }
    if (base > 0) {
        if (kind == 3 || kind == 4)
            lines.push_back(Format("<c=255>【系统】<>当前基础银为<c=255>%d<>两 \r\n", base));
        else
            lines.push_back(Format("【保险箱】当前基础银为<c=255>%d<>两 \r\n", base));
    }
    return lines;
}

std::string PrizeNoticeLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kPrizeBodyMin)) return {};
    int user = W(b, 0), dest = W(b, 1), kind = W(b, 2), game = W(b, 3), balance = W(b, 6),
        amount = W(b, 8), flags = W(b, 10);
    const char* prefix = (flags & 1) ? "充值成功 " : (flags & 2) ? "充值活动奖励成功 " : "";
    std::string shortText, longText;
    switch (kind) {
        case 0:
            shortText = Format("银子<c=255>%d<>两", amount);
            longText = Format("%s得到了<c=255>%d<>两银子, 现有<c=255>%d<>两银子 \r\n", prefix,
                              amount, balance);
            break;
        case 1:
            shortText = Format("积分<c=255>%d<>", amount);
            longText = Format("%s得到了<c=255>%d<>积分, 现有<c=255>%d<>积分 \r\n", prefix, amount,
                              balance);
            break;
        case 2:
            shortText = Format("通宝<c=255>%d<>", amount);
            longText = Format("%s得到了<c=255>%d<>通宝, 现有<c=255>%d<>通宝 \r\n", prefix, amount,
                              balance);
            break;
        default:
            return {};
    }
    switch (dest) {
        case 0:
            return Format(" <z=qz系统通知> 您%s得到了%s, 请到后备箱领取 \r\n", prefix,
                          shortText.c_str());
        case 1:
            return Format(" <z=qz系统通知> 您%s得到了%s, 请到保险箱领取 \r\n", prefix,
                          shortText.c_str());
        case 2:
            if (game != c.gameId) return " <z=qz系统通知> 您在其他游戏" + longText;
            if (user == c.ownUserId) return " <z=qz系统通知> 您" + longText;
            return Format(" <z=qz系统通知> 玩家[%s]%s", NameOrEmpty(c, user).c_str(),
                          longText.c_str());
        default:
            return {};
    }
}

std::string GameResultLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kResultBodyMin)) return {};
    return Format(
        "<c=255>【系统】<>您刚刚进行的[%s]游戏桌号[%d]，椅子号[%d],结果为：积分<c=255>"
        "%d<>。 \r\n",
        c.title.c_str(), W(b, 1), W(b, 2), W(b, 3));
}

std::vector<std::string> AmuletLines(const ChatLineContext& c, Body b) {
    std::vector<std::string> lines;
    if (!Has(b, kAmuletBodyMin) || (W(b, 0) & 1) == 0) return lines;
    for (size_t i = 0; i < 8; ++i) {
        int user = W(b, 1 + i), points = W(b, 9 + i);
        std::string name;
        if (points < 1 || !ChatPlayerName(c, user, &name)) continue;
        lines.push_back(Format(" <c=%u>%s<>发动<c=%u>会员积分护身符<>技能，补回<c=%d>%d<>分\r\n",
                               kChatAmuletColor, name.c_str(), kChatAmuletColor, 255, points));
    }
    return lines;
}

std::string NewClothesLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kClothesBodyMin)) return {};
    int user = W(b, 0);
    if (SkipLookerOn(c, user)) return {};
    std::string name;
    if (!ChatPlayerName(c, user, &name)) return {};
    if (user == c.ownUserId) name = "我";
    return Format(" <c=255>%s穿上了一件新服装! \r\n", name.c_str());
}

std::string MembershipLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kMembershipBodyMin)) return {};
    int user = W(b, 0);
    if (SkipLookerOn(c, user)) return {};
    std::string name;
    if (!ChatPlayerName(c, user, &name)) return {};
    if (user == c.ownUserId) name = "我";
    return Format(W(b, 2) ? " <c=255>%s成为了会员 \r\n" : " <c=255>%s的会员身份到期 \r\n",
                  name.c_str());
}

namespace {
std::string LotteryNumbers(int own, int a, int b, int c, int d, int e, int f) {
    return Format("myID=%d, ntfID=%d, \r\n剩余：%d, 已玩：%d, %d局一抽, 最大：%d, 已用：%d\r\n",
                  own, a, b, c, d, e, f);
}
}  // namespace

std::string LotteryInfoLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kLotteryBodyMin)) return {};
    std::string text = Text(b, kLotteryBodyMin);
    if (!text.empty()) return text;
    return LotteryNumbers(c.ownUserId, W(b, 0), W(b, 1), W(b, 2), W(b, 3), W(b, 4), W(b, 5));
}

std::string LotteryInfoExLine(const ChatLineContext& c, Body b) {
    if (!Has(b, kLotteryBodyMin)) return {};
    std::string text = Text(b, kLotteryBodyMin);
    if (!text.empty()) return text;
    return LotteryNumbers(c.ownUserId, W(b, 0), W(b, 3), W(b, 4), W(b, 2), W(b, 1), W(b, 5));
}

std::string LotteryResultLine(const ChatLineContext&, Body b) {
    if (!Has(b, kLotteryResultBodyMin)) return {};
    int result = W(b, 1), prize = W(b, 2), remaining = W(b, 3), used = W(b, 4), played = W(b, 5),
        rounds = W(b, 6), most = W(b, 7);
    std::string name = Text(b, 32, 32), code = Text(b, 64, 32);
    if (result < 0 || (result == 0 && prize == 0))
        return Format("<c=255>【系统】<>%s\r\n", name.c_str());
    std::string head = code.empty() ? Format("抽中%s%d\r\n", name.c_str(), prize)
                                    : Format("抽中%s, 代号%s\r\n", name.c_str(), code.c_str());
    return head + Format("剩余：%d, 已玩：%d, %d局一抽, 最大：%d, 已用：%d\r\n", remaining, played,
                         rounds, most, used);
}

std::string BroadcastLine(Body b) {
    if (!Has(b, kBroadcastBodyMin) || W(b, 0) != 1) return {};
    std::string sender = NeutraliseMarkup(Text(b, 4, 32), false);
    std::string message = NeutraliseMarkup(Text(b, 36), false);
    return Format("<c=255>【系统】<>收到广播[抽奖]\r\n来自:%s, 信息:%s\r\n", sender.c_str(),
                  message.c_str());
}

std::string SystemLine(Body b) {
    if (!Has(b, 1)) return {};
    return Format("<c=255>【系统】<>%s\r\n", Text(b, 0).c_str());
}

std::string WelcomeLine(const ChatLineContext& c) {
    if (c.randomSeating)
        return Format(" 欢迎来到<s=180,c=%u,e=b>%s\r\n<> 您的位置：%s \r\n", kChatWelcomeColor,
                      c.welcomeName.c_str(), c.location.c_str());
    return Format(" 欢迎来到<s=180,c=%u,e=b>%s\r\n<> 您的位置：%s 第%lld桌\r\n", kChatWelcomeColor,
                  c.welcomeName.c_str(), c.location.c_str(), CountedFromOne(c.ownTable));
}

}  // namespace hqlv::framework
