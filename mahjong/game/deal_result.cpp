#include "mahjong/game/deal_result.h"

#include <algorithm>
#include <cstring>

#include "framework/panes/player_records.h"
#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"

namespace hqlv::mahjong {
namespace {

constexpr size_t kFanNamesLen = kDealResultBytes - kFanNamesOff;  // 292
constexpr size_t kFanRecordWords = kFanRecordBytes / 4;           // 43

bool IsChair(int c) { return c >= 0 && c < 4; }

// Points as the list shows them: a negative value without its sign, INT_MIN included.
std::string Points(int32_t p) {
    return framework::Format("%lld分", static_cast<long long>(p < 0 ? -int64_t(p) : int64_t(p)));
}

// The first "|" that is not the second byte of a GBK character (0x7C is a valid trail
// byte): a name holding such a character stays whole and the names after it keep their
// items.
size_t FindBar(std::string_view gbk) {
    for (size_t i = 0; i < gbk.size(); ++i) {
        if (uint8_t(gbk[i]) >= 0x81) ++i;
        else if (gbk[i] == '|') return i;
    }
    return std::string_view::npos;
}

}  // namespace

DealResult::DealResult(std::span<const uint8_t> result, std::span<const uint8_t> fans) {
    std::copy_n(result.begin(), std::min(result.size(), result_.size()), result_.begin());
    std::copy_n(fans.begin(), std::min(fans.size(), fans_.size()), fans_.begin());
}

int32_t DealResult::Word(size_t i) const {
    return framework::LoadWordLE(result_.data(), result_.size(), i);
}

int32_t DealResult::FanWord(int record, size_t i) const {
    return framework::LoadWordLE(&fans_[size_t(record) * kFanRecordBytes], kFanRecordBytes, i);
}

std::vector<std::string> DealResult::FanNames() const {
    const char* field = reinterpret_cast<const char*>(&result_[kFanNamesOff]);
    std::string_view text(field, strnlen(field, kFanNamesLen));
    std::vector<std::string> names;
    while (int(names.size()) < kFanItems) {
        const size_t bar = FindBar(text);
        if (bar == std::string_view::npos) {
            if (!text.empty()) names.push_back(framework::GbkToUtf8(text));
            break;
        }
        names.push_back(framework::GbkToUtf8(text.substr(0, bar)));
        text.remove_prefix(bar + 1);
    }
    return names;
}

std::array<ResultPlayerRow, 4> DealResult::PlayerRows(
    const std::function<std::string(int)>& seatName,
    const std::function<int(int)>& chairOfUser) const {
    std::array<ResultPlayerRow, 4> rows;
    const int giver = Word(169);
    for (int c = 0; c < 4; ++c) {
        ResultPlayerRow& r = rows[c];
        const std::string name = seatName(c);
        r.name = c == Word(4) ? name + "(庄)" : name;
        r.silver = framework::Format("%d两", Word(80 + c));
        r.score = framework::Format("%d分", Word(72 + c));
        const bool won = Word(165 + c) >= 1;
        if (won || (IsDrawn() && Word(176 + c) >= 1))
            r.status = won ? (giver != -1 ? "胡" : "自摸") : "听牌";
    }
    if (const int payer = Word(174); payer != 0) {
        const int chair = chairOfUser(payer);
        if (IsChair(chair)) rows[chair].status = "承包";
    }
    if (giver != -1 && !IsDrawn() && IsChair(giver)) rows[giver].status = "放冲";
    return rows;
}

int DealResult::FirstChairShown(bool* noWinner) const {
    *noWinner = Winner() == -1;
    if (!*noWinner) return Winner();
    for (int c = 0; c < 4; ++c)
        if (Word(176 + c) > 0) return c;
    return -1;
}

std::optional<std::vector<FanRow>> DealResult::ItemsOf(int chair) const {
    if (!IsChair(chair)) return std::nullopt;
    int record = -1;
    for (int k = 0; k < 4 && record < 0; ++k)
        if (FanWord(k, 0) == chair) record = k;
    if (record < 0) return std::nullopt;
    const std::vector<std::string> names = FanNames();
    std::vector<FanRow> rows;
    for (int n = 0; n < kFanItems; ++n) {
        const int32_t p = FanWord(record, 3 + size_t(n));
        if (p != 0) rows.push_back({size_t(n) < names.size() ? names[size_t(n)] : "", Points(p)});
    }
    if (const int32_t total = FanWord(record, 35); total > 0)
        rows.push_back({"总计", framework::Format("%d分", total)});
    rows.push_back({"", ""});
    const char* kongs[] = {"明杠", "补杠", "暗杠"};
    for (size_t k = 0; k < 3; ++k)
        if (const int32_t p = FanWord(record, 36 + k); p != 0)
            rows.push_back({kongs[k], framework::Format("%d分", p)});
    static_assert(kFanRecordWords == 43);
    return rows;
}

}  // namespace hqlv::mahjong
