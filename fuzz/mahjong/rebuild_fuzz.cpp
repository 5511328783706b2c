// The table rebuilt from an entry's table state as the server sends it: any bytes as a
// player's state or a looker-on's, for any own chair, with melds, discards, flowers, held
// counts, wall positions and the clock's words of any value. The rebuild may log what it
// refuses; it must never read or write outside the records and the state.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "fuzz/temp_logs.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"

namespace {

using namespace hqlv::mahjong;

struct State : CMJGameInfo {
    std::span<const uint8_t> GetRoundRecord() const override { return area; }
    std::span<uint8_t> GetRoundRecordArea() override { return area; }
    uint8_t area[kDealAreaBytes] = {};
};

// The host of a table without a window: the chair and the kind of user come from the input.
struct Host : CMJSceneHost {
    // No window buttons: the engine's table.
    void ShowStartWindowButton(int) override {}
    int GetClaimWindowCell(int) override { return 0; }
    void SetClaimWindowCell(int, int) override {}
    int PlaySoundFile(const std::string&) override { return 0; }
    int GetUserID() override { return 1; }
    int GetRoomID() override { return 1; }
    int GetTableNo() override { return 1; }
    int GetChairNo() override { return chair; }
    int GetCmdField8() override { return looker; }
    int TestCmdField13Bit8() override { return 0; }
    int IsStandalone() override { return 0; }
    int IsPlaying() override { return 1; }
    int PlaySoundId(int, int) override { return 0; }
    bool IsSilent() override { return true; }
    int IsQuickCatch() override { return 0; }
    int IsRejectKanPaiAsk() override { return 0; }
    int GetVoiceSetting() override { return 0; }
    std::string GetGameIniPath() override { return "/nonexistent/HqLv.ini"; }
    std::string GetProgramFolder() override { return "/nonexistent/"; }
    void ScanSoundFiles(std::vector<std::string>&, std::vector<std::string>&) override {}
    int GetSeatUserID(int) override { return 0; }
    std::string GetSeatName(int) override { return {}; }
    int GetSeatVoiceKind(int) override { return 0; }
    std::string GetPlayerNameById(int) override { return {}; }
    void AppendChatLine(const std::string&) override {}
    int GetScreenWidth() override { return 1024; }
    int GetScreenHeight() override { return 768; }
    int IsSmallScreen() override { return 0; }
    int GetTableViewWidth() override { return 796; }
    int GetTableViewHeight() override { return 700; }
    bool HasSkinBitmap(const std::string&) override { return false; }
    CMJGameInfo* GetGameInfo() override { return &state; }
    CMJTableDraw* GetTableDraw() override { return nullptr; }
    CMJGameScene2* GetGameScene() override { return nullptr; }
    CMJRequests* GetRequests() override { return nullptr; }
    int TestCmdField13(uint32_t) override { return 0; }
    int GetCmdField9() override { return 0; }
    int IsRejoining() override { return 0; }
    std::string GetGameCode() override { return "HqLv"; }
    bool SaveScreenShotJpeg(const std::string&, int) override { return false; }
    int RequestChangeTable(std::string&) override { return 0; }
    int RequestTableOption(std::string&) override { return 0; }
    void SetViewTimer(uint32_t, uint32_t) override {}
    void KillViewTimer(uint32_t) override {}
    uint32_t GetClockTimerId() override { return 10000; }
    void StartClockTimer() override {}
    void StopClockTimer() override {}
    bool IsClockTimerRunning() override { return false; }
    void StartIdleTimer() override {}
    void EnableTablePane(int) override {}
    void ShowClaimWindowButton(int, int) override {}
    bool SaveTableShot(const std::string&, int) override { return false; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    std::string GetMachineID() override { return {}; }
    int RequestStartGame(std::string&, int) override { return 0; }
    void OnOwnGameStarted(MJData) override {}
    void ShowMessageText(const std::string&) override {}
    bool MapToScreen(int&, int&) override { return false; }
    int chair = 0, looker = 0;
    State state;
};

// This game's layer step counts the standing tiles.
struct Scene : CMJGameScene2 {
    void RestoreLayerState() override { RestoreHeldCounts(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The engine's log goes to the process's own folder, which goes when the process ends.
    static const bool logs = [] {
        hqlv::engine::SetEngineLogFolder(hqlv::fuzz::TemporaryLogFolder("mahjong-rebuild"));
        return true;
    }();
    (void)logs;
    static Host* host = new Host;
    static Scene* scene = [] {
        auto* s = new Scene;
        s->SetSceneHost(host);
        return s;
    }();
    if (size < 2) return 0;
    host->looker = data[0] & 1;
    host->chair = int(data[1] % 6) - 1;  // -1 to 4: chairs without a seat too
    std::memset(host->state.area, 0, sizeof host->state.area);
    const size_t n = std::min(size - 2, sizeof host->state.area);
    std::memcpy(host->state.area, data + 2, n);
    host->state.SetStateBytes(host->looker ? kLookerStateBytes : kPlayerStateBytes);
    scene->RebuildTable();
    (void)scene->IsDealInProgress();
    (void)scene->FormatTable("fuzz");
    return 0;
}
