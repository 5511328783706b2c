#include "mahjong/scene/game_info.h"

#include <cstdio>

#include "platform/core/bytes.h"

namespace hqlv::mahjong {

namespace {

int32_t WordAt(std::span<const uint8_t> r, size_t i) {
    if (i >= r.size() / 4) return 0;
    platform::ByteReader in(r.data() + i * 4, 4);
    return in.i32();
}

std::string Format(const char* fmt, auto... args) {
    int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return {};
    std::string s(size_t(n), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

}  // namespace

int CopyList(std::span<const uint8_t> record, size_t word, MJList& out) {
    // A list the record does not hold whole reads as ended where the record ends.
    out.fill(-1);
    for (size_t i = 0; i < kListLength && word + i < record.size() / 4; ++i)
        out[i] = WordAt(record, word + i);
    int count = 0;
    while (count < int(kListLength) && out[size_t(count)] != -1) ++count;
    return count;
}

std::span<const uint8_t> CMJGameInfo::GetRoundRecordPart() const {
    std::span<const uint8_t> r = GetRoundRecord();
    return r.size() > kDealChairWord * 4 ? r.subspan(kDealChairWord * 4) : std::span<const uint8_t>{};
}

int CMJGameInfo::RoundWord(size_t i) const {
    return WordAt(GetRoundRecord(), i);
}

int CMJGameInfo::ResultWord(size_t i) const {
    return WordAt(GetResultRecord(), i);
}

void CMJGameInfo::SetRoundWord(size_t i, int32_t v) {
    std::span<uint8_t> area = GetRoundRecordArea();
    if (i >= area.size() / 4) return;
    uint32_t u = uint32_t(v);
    for (size_t k = 0; k < 4; ++k) area[i * 4 + k] = uint8_t(u >> (8 * k));
}

void CMJGameInfo::GetDealWords23(int out[4]) const {
    for (size_t k = 0; k < 4; ++k) out[k] = RoundWord(23 + k);
}

int CMJGameInfo::GetRoundList(MJList& out) const {
    return CopyList(GetRoundRecord(), kDealListWord, out);
}

int CMJGameInfo::GetChairList(int chair, MJList& out) const {
    if (chair < 0 || chair > 3) {
        out.fill(-1);
        return 0;
    }
    return CopyList(GetResultRecord(), kResultChairListWord + kListLength * size_t(chair), out);
}

int CMJGameInfo::GetRoundListItem(int i) const {
    if (i < 0 || kDealChairWord + size_t(i) >= kDealRecordWords) return 0;
    return RoundWord(kDealChairWord + size_t(i));
}

std::string CMJGameInfo::SeatName(int chair) const {
    if (!m_pHost || chair < 0 || chair > 7) return {};
    return m_pHost->GetSeatName(chair);
}

void CMJGameInfo::FormatHistory(std::string& text) const {
    std::string banker = SeatName(GetBankerChair());
    std::string unit = GetFanUnit();
    if (!IsSilverHistory()) {
        text = Format("【第%d局】庄：<c=255>%s <>\r\n         %s：<c=255>%d<> 分\r\n",
                      GetDealNumber(), banker.c_str(), unit.c_str(), GetScoreAmount());
    } else {
        text = Format("【第%d局】庄：<c=255>%s <>\r\n         %s：<c=255>%d<> 两\r\n",
                      GetDealNumber(), banker.c_str(), unit.c_str(), GetSilverAmount());
    }
}

std::string CMJGameInfo::FormatRoundLine() const {
    if (IsNoWinner()) return Format("【第%d局】流局。<>\r\n", GetDealNumber());
    std::string names;
    for (int c = 0; c < 4; ++c) {
        if (ResultWord(165 + size_t(c)) > 0) names += SeatName(c) + ",";
    }
    if (!names.empty()) names.pop_back();
    return Format("【第%d局】胡：<c=255>%s <>\r\n", GetDealNumber(), names.c_str());
}

bool CMJGameInfo::IsSmall() const {
    return m_pHost && m_pHost->IsSmallScreen() != 0;
}

int CMJGameInfo::GetTableWidth() const {
    return m_pHost ? GetTableWidth(m_pHost->GetScreenWidth()) : 0;
}

int CMJGameInfo::GetTableWidth(int frameWidth) const {
    const int w = frameWidth * 14 / 18;
    return IsSmall() ? w - 10 : w;
}

int CMJGameInfo::GetScreenSixth() const {
    return m_pHost ? m_pHost->GetScreenHeight() / 6 : 0;
}

int CMJGameInfo::GetOperateBarHeight() const {
    if (IsSmall() && m_nValue3 == 2) return 72;
    return 36;
}

int CMJGameInfo::GetPlayerListHeight() const {
    if (!m_pHost) return 0;
    bool small = IsSmall();
    if (m_pHost->TestCmdField13Bit8() && m_pHost->GetCmdField8() == 0) return small ? 72 : 104;
    return small ? m_nPlayerCount * 16 + 56 : m_nPlayerCount * 32 + 72;
}

int CMJGameInfo::GetInfoRowHeight() const {
    return IsSmall() ? m_nPlayerCount * 16 + 68 : m_nPlayerCount * 24 + 68;
}

}  // namespace hqlv::mahjong
