// Feeds fuzzed bytes to the hall record parsers and to the notification handlers. The
// first byte picks the target; the rest is the record or body.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/app/app_data.h"
#include "framework/app/notify_handler.h"
#include "framework/hall/hall_records.h"
#include "fuzz/quiet_diagnostics.h"

namespace {

using namespace hqlv::framework;

class Host : public CNotifyHost {
public:
    Host() : data("HqLv", 21303, 2, 1) {
        data.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|1|0|0|t|0|0|64|0");
    }
    CGameAppData& appData() override { return data; }
    int IsPlaying() override { return 0; }
    bool HasMainWindow() override { return true; }
    void MessageBoxModeless(const std::string& t, const std::string&, const std::string&, int, int,
                            int) override {
        sink += t.size();
    }
    void MessageBoxModelessLink(const std::string& t, const std::string&, const std::string&,
                                const std::string& l, int, int, int) override {
        sink += t.size() + l.size();
    }
    void PlaySoundId(int, int) override {}
    void HideCommWait() override {}
    void RefreshTableView() override {}
    void CloseConnection() override {}
    void PostToHallWindow(uint32_t, uintptr_t, intptr_t) override {}
    uintptr_t MainWindowHandle() override { return 1; }
    void ClearTableActive() override {}
    int ScaleY(int n) override { return n; }
    CTableViewHooks* tableView() override { return &table; }
    CChatViewHooks* chatView() override { return &chat; }
    CPlayerListHooks* playerView() override { return &list; }

    CGameAppData data;
    CTableViewHooks table;
    CChatViewHooks chat;
    CPlayerListHooks list;
    size_t sink = 0;
};

const uint32_t kCodes[] = {211030, 211000, 201210, 211200, 201200, 211025, 211020, 211110, 211130,
                           211132, 211134, 211136, 211137, 211138, 211410, 211420, 211700, 211900,
                           211910, 230000, 230001, 230002, 211920, 211430, 211440, 214100, 214101,
                           214102, 214103, 60031,  211011, 211010, 211028};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    hqlv::fuzz::QuietDiagnostics();
    static Host* host = new Host;
    static CGameNotifyHandler* handler = new CGameNotifyHandler(*host);
    uint8_t pick = data[0];
    const uint8_t* body = data + 1;
    size_t len = size - 1;
    switch (pick % 6) {
        case 0:
            if (auto s = ParseHallTableState(body, len)) host->data.ApplyHallTableState(*s);
            break;
        case 1:
            ParseHallPlayerLeft(body, len);
            if (auto r = ParseHallPlayerJoined(body, len)) host->data.AddLookerOn(*r);
            break;
        case 2:
            ParseHallSignAnswer(body, len);
            DecryptHallData(body, len);
            break;
        default:
            handler->OnNotify(kCodes[(pick / 6) % (sizeof kCodes / sizeof kCodes[0])], body, len);
            break;
    }
    return 0;
}
