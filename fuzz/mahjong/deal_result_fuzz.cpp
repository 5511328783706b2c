// The deal result dialog's reading of its two copies: the first 1652 bytes are the result
// record, the next 688 the fan records (shorter input leaves the rest zero). Every row,
// every chair's items (also chairs outside 0-3) and the fan names are read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/temp_logs.h"
#include "mahjong/game/deal_result.h"
#include "netlib/log.h"

using namespace hqlv::mahjong;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The network library's log goes to the process's own folder, which goes when the
    // process ends.
    static const bool logs = [] {
        hqlv::netlib::YrnLogSetFolder(hqlv::fuzz::TemporaryLogFolder("mahjong-deal-result"));
        return true;
    }();
    (void)logs;
    std::span<const uint8_t> all(data, size);
    const size_t split = size < kDealResultBytes ? size : kDealResultBytes;
    DealResult r(all.first(split), all.subspan(split));
    size_t sink = 0;
    const auto rows = r.PlayerRows([](int c) { return std::string(size_t(c), 'n'); },
                                   [](int userId) { return userId % 9 - 2; });
    for (const auto& row : rows) sink += row.name.size() + row.status.size();
    bool noWinner = false;
    for (int c : {r.FirstChairShown(&noWinner), -1, 0, 1, 2, 3, 4, r.Winner()})
        if (auto items = r.ItemsOf(c))
            for (const FanRow& f : *items) sink += f.name.size() + f.points.size();
    for (const auto& n : r.FanNames()) sink += n.size();
    return sink == size_t(-1) ? 1 : 0;
}
