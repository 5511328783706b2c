#include "framework/connection/framework_requests.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "framework/connection/request_result.h"
#include "framework/connection/wire_text.h"

namespace hqlv::framework {

namespace {

std::string Format(const char* fmt, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

int ToIntPrefix(std::string_view s) {
    long long v = 0;
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 0x7fffffffLL) v = 0x80000000LL;
    }
    if (neg) v = -v;
    return static_cast<int>(std::clamp<long long>(v, -0x7fffffffLL - 1, 0x7fffffffLL));
}

// The common head H.
void PutHead(RequestBody& b, const RequestContext& c) {
    b.Put32(0, c.entry.GetUserID());
    b.Put32(4, c.entry.GetRoomID());
    b.Put32(8, c.entry.GetTableNo());
    b.Put32(12, c.entry.GetChairNo());
}

void PutMachineId(RequestBody& b, const RequestContext& c, size_t offset) {
    b.PutText(offset, c.machineId, kMachineIdBytes);
}

int ShortReply(std::string& text) {
    text = kTextSendFailed;
    return 0;
}

}  // namespace

void RequestStats::Add(uint32_t elapsed) {
    sumMs += elapsed;
    count += 1;
    maxMs = std::max(maxMs, elapsed);
}

void RequestBody::Put32(size_t offset, int32_t value) {
    if (offset + 4 > bytes_.size()) return;
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

void RequestBody::PutText(size_t offset, std::string_view wire, size_t fieldBytes) {
    if (fieldBytes == 0 || offset >= bytes_.size()) return;
    fieldBytes = std::min(fieldBytes, bytes_.size() - offset);
    size_t n = std::min(wire.size(), fieldBytes - 1);
    std::memcpy(bytes_.data() + offset, wire.data(), n);
    std::memset(bytes_.data() + offset + n, 0, fieldBytes - n);
}

std::vector<uint8_t> BuildHeadBody(const RequestContext& c) {
    RequestBody b(32);
    PutHead(b, c);
    return b.Take();
}

std::vector<uint8_t> BuildLeaveBody(const RequestContext& c, int userId, int chair) {
    RequestBody b(96);
    b.Put32(0, userId);
    b.Put32(4, c.entry.GetRoomID());
    b.Put32(8, c.entry.GetTableNo());
    b.Put32(12, chair);
    b.Put32(16, userId != c.entry.GetUserID() ? 1 : 0);
    b.Put32(20, c.entry.GetTableNo());
    b.Put32(24, c.entry.GetChairNo());
    b.Put32(28, c.entry.GetUserID());
    PutMachineId(b, c, 32);
    return b.Take();
}

std::vector<uint8_t> BuildClaimSilverRewardBody(const RequestContext& c, int index) {
    RequestBody b(192);
    b.Put32(0, c.entry.GetUserID());
    b.Put32(4, c.entry.GetGameID());
    b.Put32(8, c.entry.GetRoomID());
    b.Put32(12, c.entry.GetTableNo());
    b.Put32(16, c.entry.GetChairNo());
    b.Put32(20, index);
    PutMachineId(b, c, 28);
    return b.Take();
}

std::vector<uint8_t> BuildChatBody(const RequestContext& c, std::string_view utf8Text) {
    RequestBody b(128);
    PutHead(b, c);
    PutMachineId(b, c, 16);
    b.PutText(48, TextToWire(utf8Text, kChatTextBytes - 1), kChatTextBytes);
    return b.Take();
}

std::vector<uint8_t> BuildCallPlayerBody(const RequestContext& c, int userId, int chair) {
    RequestBody b(40);
    PutHead(b, c);
    b.Put32(16, userId);
    b.Put32(20, chair);
    return b.Take();
}

std::vector<uint8_t> Build201180Body(const RequestContext& c, int value) {
    RequestBody b(36);
    PutHead(b, c);
    b.Put32(16, value);
    return b.Take();
}

std::vector<uint8_t> BuildKeepAliveBody(int userId, const RequestStats& stats) {
    RequestBody b(16);
    uint32_t avg = stats.count ? stats.sumMs / stats.count : 0;
    b.Put32(0, userId);
    b.Put32(4, static_cast<int32_t>(std::min<uint32_t>(avg, kMaxMeasuredWaitMs)));
    b.Put32(8, static_cast<int32_t>(std::min<uint32_t>(stats.maxMs, kMaxMeasuredWaitMs)));
    return b.Take();
}

std::vector<uint8_t> Build214102Body(const RequestContext& c, std::string_view ownName) {
    RequestBody b(428);
    PutHead(b, c);
    b.PutText(20, TextToWire(ownName, 23), 24);  // the machine id follows at +44
    PutMachineId(b, c, 44);
    return b.Take();
}

std::vector<uint8_t> BuildSafeBoxBody(const RequestContext& c) {
    RequestBody b(76);
    b.Put32(0, c.entry.GetUserID());
    b.Put32(4, c.entry.GetGameID());
    PutMachineId(b, c, 12);
    return b.Take();
}

std::vector<uint8_t> BuildSilverTransferBody(const RequestContext& c, int amount, int protection,
                                             int ownSilver, int direction) {
    RequestBody b(112);
    b.Put32(0, c.entry.GetUserID());
    b.Put32(4, c.entry.GetGameID());
    b.Put32(8, c.entry.GetRoomID());
    b.Put32(12, c.entry.GetTableNo());
    b.Put32(16, c.entry.GetChairNo());
    b.Put32(20, amount);
    if (direction == 2) b.Put32(24, protection);
    PutMachineId(b, c, 48);
    b.Put32(80, ownSilver);
    b.Put32(84, direction);
    return b.Take();
}

std::vector<uint8_t> BuildDoleConfigBody(const RequestContext& c, int value) {
    RequestBody b(320);
    PutHead(b, c);
    b.Put32(20, value);
    return b.Take();
}

std::vector<uint8_t> BuildClaimDoleBody(const RequestContext& c, std::string_view ownName,
                                        int value, int kind) {
    RequestBody b(104);
    PutHead(b, c);
    b.PutText(16, TextToWire(ownName, 31), 32);
    b.Put32(52, value);
    b.Put32(56, kind);
    return b.Take();
}

std::vector<uint8_t> BuildClaimDole2Body(const RequestContext& c, std::string_view ownName,
                                         int value, int kind) {
    RequestBody b(136);
    PutHead(b, c);
    b.PutText(16, TextToWire(ownName, 31), 32);
    b.Put32(56, value);
    b.Put32(60, kind);
    return b.Take();
}

std::vector<uint8_t> BuildEnterGameHeadBody(const RequestContext& c, int ownUserId, int ownFlagWord,
                                            bool quickCatch) {
    RequestBody b(kEnterHeadBytes);
    b.Put32(0, ownUserId);
    b.Put32(4, ownFlagWord);
    b.Put32(8, c.entry.GetGameID());
    b.Put32(12, c.entry.GetRoomID());
    b.Put32(16, c.entry.GetTableNo());
    b.Put32(20, c.entry.GetChairNo());
    PutMachineId(b, c, 24);
    b.Put32(56, c.entry.GetCmdField8());
    b.Put32(72, quickCatch ? 1 : 0);
    b.Put32(88, c.entry.GetEnterParam());
    return b.Take();
}

bool ReplyWord(const uint8_t* data, size_t length, size_t word, int32_t& out) {
    out = 0;
    if (!data || (word + 1) * 4 > length) return false;
    const uint8_t* p = data + word * 4;
    out = static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                               uint32_t(p[3]) << 24);
    return true;
}

VersionCheckOutcome EvaluateVersionReply(bool answered, const uint8_t* data, size_t length,
                                         int clientMajor, int clientMinor) {
    VersionCheckOutcome o;
    int32_t major = 0, minor = 0;
    if (!answered || !ReplyWord(data, length, 0, major) || !ReplyWord(data, length, 1, minor)) {
        o.text = kVersionBusyText;
        return o;
    }
    if (major == clientMajor && minor == clientMinor) {
        o.result = 1;
    } else if (major > clientMajor) {
        o.text = "您的游戏程序太旧了,必须下载新的程序才能玩游戏。";
        o.newerMajor = major;
    } else if (major < clientMajor) {
        o.text = "服务正在更新中，请稍候再试。";
    } else if (minor > clientMinor) {
        o.text = "您的游戏程序需要更新。";
        o.newerMinor = minor;
    } else {
        o.text = "服务正在更新中，请稍候再试。";
    }
    return o;
}

ActivityConfig ParseActivityConfig(const uint8_t* data, size_t length, int activityCount) {
    ActivityConfig cfg;
    constexpr size_t kTextOffset = 48;
    constexpr int kMaxIndexes = (kTextOffset - 8) / 4;  // ten index words fit before the text
    if (!data || length < kTextOffset) return cfg;
    int32_t enabled = 0, n = 0;
    ReplyWord(data, length, 0, enabled);
    ReplyWord(data, length, 1, n);
    cfg.ok = true;
    cfg.enabled = enabled != 0;
    cfg.count = n;
    size_t textLen = std::min(length, kActivityRecordBytes) - kTextOffset;
    const char* text = reinterpret_cast<const char*>(data + kTextOffset);
    std::string_view all(text, strnlen(text, textLen));
    std::vector<std::string_view> pieces;
    for (size_t pos = 0;;) {
        size_t bar = all.find('|', pos);
        pieces.push_back(all.substr(pos, bar == std::string_view::npos ? all.npos : bar - pos));
        if (bar == std::string_view::npos) break;
        pos = bar + 1;
    }
    int limit = std::min<int>(n, kMaxIndexes);
    for (int i = 0; i < limit; ++i) {
        int32_t index = 0;
        ReplyWord(data, length, 2 + i, index);
        if (index < 0 || index >= activityCount) continue;
        ActivityEntry e;
        e.index = index;
        std::string_view piece = i < static_cast<int>(pieces.size()) ? pieces[i] : "";
        size_t bang = piece.find('!');
        if (bang != std::string_view::npos) {
            e.text = WireToText(piece.substr(bang + 1));
            if (bang > 0) {
                std::string_view head = piece.substr(0, bang);
                size_t x = head.find('x');
                if (x != std::string_view::npos && x > 0) {
                    e.valueA = ToIntPrefix(head.substr(0, x));
                    e.valueB = ToIntPrefix(head.substr(x + 1));
                }
            }
        }
        cfg.entries.push_back(std::move(e));
    }
    return cfg;
}

int EvaluateLeaveReply(int code, const uint8_t* data, size_t length, std::string& text) {
    switch (code) {
        case kResLeaveKeepPlaying:
            text =
                "生命不息，战斗不止，请继续游戏。\r\n("
                "如果有玩家长时间不活动，请您等待2分钟后再退出)";
            return 1;
        case kResLeaveWait: {
            int32_t seconds;
            if (!ReplyWord(data, length, 0, seconds)) return ShortReply(text);
            text =
                Format("系统已经为您分配了随机桌位，\r\n\r\n必须再等 %d 秒钟才能离开。", seconds);
            return 1;
        }
        case kResWaitResult:
            text = "离开游戏失败，请等待本局结果提交。";
            return 1;
        default:
            return 0;
    }
}

int EvaluateClaimSilverReply(int code, const uint8_t* data, size_t length, const std::string& title,
                             std::string& text, const ResultTexts& texts) {
    int32_t w0;
    switch (code) {
        case kResultOk:
            return 1;
        case 10100:
            text = "请求处理失败。";
            return 0;
        case 211425:
            if (!ReplyWord(data, length, 0, w0)) return ShortReply(text);
            text = Format("高于房间最高银子限制【%d两】。", w0);
            return 0;
        case 60042:
            text = Format("系统禁止在【%s】里存放银子。", title.c_str());
            return 0;
        default:
            texts.general(text, code);
            return 0;
    }
}

int EvaluateSilverTransferReply(int direction, int code, const uint8_t* data, size_t length,
                                const std::string& title, std::string& text, int& amount,
                                const ResultTexts& texts) {
    const bool save = direction == 1;
    int32_t w0 = 0, w1 = 0;
    if (code == kResultOk) {
        if (!save) text = "银子已经成功划入您指定的游戏。";
        return 1;
    }
    switch (code) {
        case 60042:
            text = Format("系统禁止在【%s】里存放银子。", title.c_str());
            return 0;
        case 60005:
            text = save ? "您的划帐数额超过现在拥有的金额。" : "您的保险箱里的银子不够。";
            return 0;
        case 211422:
            text = "正在玩的游戏不能划帐。";
            return 0;
        case 211421:
            text = "已经准备的游戏不能划帐。";
            return 0;
        default:
            break;
    }
    if (save) {
        switch (code) {
            case 211424:
                if (!ReplyWord(data, length, 0, w0)) return ShortReply(text);
                text = Format("低于房间最低银子限制【%d两】。", w0);
                return 0;
            case 60070:
                if (!ReplyWord(data, length, 0, w0)) return ShortReply(text);
                text = Format(
                    "很抱歉，由于您在初次进入游戏房间时获赠了银两，\r\n请您至少玩 %d 局才能转出。",
                    w0);
                return 0;
            case 60071:
                if (!ReplyWord(data, length, 0, w0)) return ShortReply(text);
                text = Format(
                    "很抱歉，由于您在初次进入游戏房间时获赠了银两，\r\n请您至少玩 %d "
                    "分钟才能转出。",
                    w0);
                return 0;
            case 60092: {
                if (!ReplyWord(data, length, 0, w0) || !ReplyWord(data, length, 1, w1))
                    return ShortReply(text);
                // Shown as it is; the amount to move stays within what a request carries.
                const long long allowed = static_cast<long long>(w0) - w1;
                text = Format(
                    "很抱歉，由于您在初次进入游戏房间时获赠了银两,系统只允许你转出%lld两。("
                    "至少保留%"
                    "d两)",
                    allowed, w1);
                amount = static_cast<int>(std::clamp<long long>(allowed, INT32_MIN, INT32_MAX));
                return 0;
            }
            default:
                break;
        }
    } else {
        switch (code) {
            case 1011:
                text = "保护密码计算结果错误。";
                return 0;
            case 211425:
                if (!ReplyWord(data, length, 0, w0)) return ShortReply(text);
                text = Format("高于房间最高银子限制【%d两】。", w0);
                return 0;
            case 60029:
                text = "由于您连续的保护密码计算结果错误,系统禁止您在这段时间内取银子。";
                return 0;
            case 60086: {
                if (!ReplyWord(data, length, 0, w0) || !ReplyWord(data, length, 1, w1))
                    return ShortReply(text);
                const long long left = static_cast<long long>(w1) - w0;
                if (left < 1)
                    text = Format(
                        "系统限定每日划入【%s】不能超过%d两，\r\n今天您已经超限，到明天才能划银。",
                        title.c_str(), w1);
                else
                    text = Format(
                        "系统限定每日划入【%s】不能超过%d两，\r\n今天您最多还可以划入%lld两。",
                        title.c_str(), w1, left);
                return 0;
            }
            case 60095: {
                if (!data || length < 16) return ShortReply(text);
                int32_t lo, hi;
                ReplyWord(data, length, 0, lo);
                ReplyWord(data, length, 1, hi);
                long long used = static_cast<long long>(
                    (static_cast<uint64_t>(static_cast<uint32_t>(hi)) << 32) |
                    static_cast<uint32_t>(lo));
                ReplyWord(data, length, 2, lo);
                ReplyWord(data, length, 3, hi);
                long long limit = static_cast<long long>(
                    (static_cast<uint64_t>(static_cast<uint32_t>(hi)) << 32) |
                    static_cast<uint32_t>(lo));
                // Below a limit the remainder is positive and under 2^64: the unsigned
                // difference is the true one for any pair of values.
                unsigned long long left =
                    static_cast<unsigned long long>(limit) - static_cast<unsigned long long>(used);
                bool exceeded = limit <= used;
                if (exceeded)
                    text = Format(
                        "系统限定每月划入游戏不能超过%"
                        "lld两，\r\n本月您已经超限，到下个月才能划银。",
                        limit);
                else
                    text = Format(
                        "系统限定每月划入游戏总额不能超过%lld两，\r\n本月您最多还可以划入%llu两。",
                        limit, left);
                return 0;
            }
            default:
                break;
        }
    }
    texts.hallError(text, code);
    return 0;
}

int CopySafeBoxReply(int code, const uint8_t* data, size_t length, uint8_t* out, size_t n,
                     std::string& text, const ResultTexts& texts) {
    if (code == kResultOk && data && length > 0) {
        // The readers of these bytes (the safe box's dialogs) take the balance and the
        // protection question from fixed places in them: a shorter answer lacks them, and
        // whatever filled the gap would be shown as the player's silver. It fails instead.
        if (length < n) return ShortReply(text);
        std::memcpy(out, data, n);
        return 1;
    }
    texts.hallError(text, code);
    return 0;
}

}  // namespace hqlv::framework
