// First byte: which body, and (bit 3) whether the body is the notification's own length
// with extreme values put into its tables, chairs, counts, ids and amounts; second: the
// room's options; the rest: the body. The list is filled from fixed seats first so that
// every update finds rows to change.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/panes/player_list_model.h"
#include "framework/widgets/column_format.h"
#include "fuzz/hostile_words.h"
#include "fuzz/quiet_diagnostics.h"

namespace {

// The notification whose body each kind takes (the result record for kind 6).
uint32_t NotificationOfKind(uint8_t kind) {
    static const uint32_t kIds[8] = {230001, 211028, 211030, 211700,
                                     211420, 230000, 211080, 211011};
    return kIds[kind % 8];
}

// The body at the notification's own length: the input's bytes, then extreme words.
std::vector<uint8_t> HostileBody(uint32_t id, const uint8_t* data, size_t size) {
    const auto& hot = hqlv::fuzz::HotNotifications();
    auto n = std::find_if(hot.begin(), hot.end(), [id](const auto& h) { return h.id == id; });
    std::vector<uint8_t> body(n->bytes, 0);
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    const size_t spoiled = 1 + next() % 8;
    hqlv::fuzz::SpoilWords(body, *n, spoiled, next);
    for (size_t k = 0; k < body.size() && at < size; ++k) body[k] ^= next();
    return body;
}

}  // namespace

using namespace hqlv::framework;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    hqlv::fuzz::QuietDiagnostics();
    const uint8_t kind = data[0], options = data[1];
    std::vector<uint8_t> hostile;
    if (kind & 8) hostile = HostileBody(NotificationOfKind(kind), data + 2, size - 2);
    const Body body = (kind & 8) ? Body{hostile.data(), hostile.size()} : Body{data + 2, size - 2};
    CGameAppData app("HqLv", 21303, 2, 1);
    std::string line = "77|127.0.0.1|0|1|0|1001|5|" + std::to_string(options & 7) + "|" +
                       std::to_string((options >> 3) & 1) + "|0|t|0|" +
                       std::to_string(options & 0x10 ? kOptionSilverRoom : 0) + "|" +
                       std::to_string(options & 0x20 ? 8 : 0) + "|0";
    app.ApplyHallCommandLine(line);
    for (int c = 0; c < 8; ++c) {
        PlayerRecord* r = app.SeatMutable(c);
        r->setWord(PlayerRecord::kUserId, 1000 + c);
        r->setWord(PlayerRecord::kChair, c);
        r->setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen, "p");
    }
    PlayerListModel model(app);
    model.InitColumns();
    model.Refill(true);
    switch (kind % 8) {
        case 0:
            app.UpdateSeatRecord(body.data, body.size);
            app.AddSeatScore(body.data, body.size);
            model.OnSeatRecordChanged(body);
            break;
        case 1:
            app.OnSeatAssigned(body.data, body.size);
            model.Refill(false);
            break;
        case 2:
            model.OnPlayersUpdate(body);
            break;
        case 3:
            app.OnTableInfo(body.data, body.size);
            model.Refill(false);
            break;
        case 4:
            model.OnSilverChanged(body);
            break;
        case 5:
            model.OnPrizeNotice(body);
            model.OnSeatRecordChanged(body);
            model.OnScoreAdded(body);
            break;
        case 6:
            model.UpdateScores(body);
            break;
        case 7: {
            auto columns = ParseColumnSpec(
                std::string_view(reinterpret_cast<const char*>(body.data), body.size));
            FindColumnTitle(columns, "级别");
            break;
        }
    }
    for (size_t r = 0; r < model.rows().size(); ++r) {
        model.LookOf(int(r));
        model.MenuPlan(int(r));
    }
    return 0;
}
