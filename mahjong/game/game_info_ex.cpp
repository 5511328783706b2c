#include "mahjong/game/game_info_ex.h"

#include <algorithm>
#include <cstring>

#include "platform/core/diag.h"

namespace hqlv::mahjong {

bool CGameInfoEx::SetRoundResult(MJData record) {
    if (record.size() < kDealRecordBytes) {
        platform::diagf("deal record refused: %zu bytes, %zu needed", record.size(),
                        kDealRecordBytes);
        return false;
    }
    std::memcpy(m_deal.data(), record.data(), kDealRecordBytes);
    return true;
}

bool CGameInfoEx::SetGameResult(MJData record) {
    if (record.size() < kResultBytes) {
        platform::diagf("result record refused: %zu bytes, %zu needed", record.size(),
                        kResultBytes);
        return false;
    }
    std::memcpy(m_result.data(), record.data(), kResultBytes);
    int n = std::clamp(ResultWord(kResultCountWord), 0, kResultMaxEntries);
    int held = int((record.size() - kResultBytes) / kResultEntryBytes);
    if (n > held) {
        platform::diagf("result record: %d entries announced, %d held", n, held);
        n = held;
    }
    m_entries.fill(0);
    if (n > 0)
        std::memcpy(m_entries.data(), record.data() + kResultBytes,
                    size_t(n) * kResultEntryBytes);
    m_nEntries = n;
    return true;
}

}  // namespace hqlv::mahjong
