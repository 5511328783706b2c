// First byte: which body; second: the room's options; the rest: the body. The list is
// filled from fixed seats first so that every update finds rows to change.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/panes/player_list_model.h"
#include "framework/widgets/column_format.h"
#include "fuzz/quiet_diagnostics.h"

using namespace hqlv::framework;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    hqlv::fuzz::QuietDiagnostics();
    const uint8_t kind = data[0], options = data[1];
    const Body body{data + 2, size - 2};
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
