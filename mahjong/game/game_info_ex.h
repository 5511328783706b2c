#pragma once
// CGameInfoEx: this game's deal state. It keeps the copies of the last deal record and
// the last result record that the accessors of CMJGameInfo read, and names the fan unit.
#include <array>

#include "mahjong/scene/game_info.h"

namespace hqlv::mahjong {

class CGameInfoEx : public CMJGameInfo {
public:
    // Takes words 0 to 232 of a deal record; a shorter record is refused whole.
    bool SetRoundResult(MJData record) override;
    // Takes words 0 to 412 and the entries that follow (word 181 of them, at most 4 and
    // at most what the record holds); a record shorter than 413 words is refused whole.
    bool SetGameResult(MJData record) override;
    std::span<const uint8_t> GetRoundRecord() const override { return m_deal; }
    std::span<const uint8_t> GetResultRecord() const override { return m_result; }
    std::span<uint8_t> GetRoundRecordArea() override { return m_deal; }
    std::span<const uint8_t> GetResultEntries() const { return m_entries; }
    int GetResultEntryCount() const { return m_nEntries; }
    std::string GetFanUnit() const override { return "番"; }

private:
    std::array<uint8_t, kDealAreaBytes> m_deal{};
    std::array<uint8_t, kResultBytes> m_result{};
    std::array<uint8_t, kResultEntryBytes * kResultMaxEntries> m_entries{};
    int m_nEntries = 0;
};

}  // namespace hqlv::mahjong
