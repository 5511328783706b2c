#pragma once
// A scene host double: the hall entry, the seated players, the voice folders and the
// screen are plain fields; what the scene asks of the application is recorded.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_host.h"
#include "mahjong/scene/table_draw.h"

namespace hqlv::mahjong::test {

struct FakeSceneHost : CMJSceneHost {
    // The window buttons of scene mode 1: the start button's state and the two cells.
    void ShowStartWindowButton(int show) override { startWindowButton.push_back(show); }
    int GetClaimWindowCell(int kind) override {
        return kind == 2 || kind == 3 ? windowCells[kind - 2] : 0;
    }
    void SetClaimWindowCell(int kind, int x) override {
        if (kind == 2 || kind == 3) windowCells[kind - 2] = x;
    }
    int PlaySoundFile(const std::string& path) override {
        soundFiles.push_back(path);
        return 1;
    }
    std::vector<int> startWindowButton;
    int windowCells[2] = {};
    std::vector<std::string> soundFiles;

    int GetUserID() override { return userId; }
    int GetRoomID() override { return roomId; }
    int GetTableNo() override { return tableNo; }
    int GetChairNo() override { return chair; }
    int GetCmdField8() override { return lookerOn; }
    int TestCmdField13Bit8() override { return field13Bit8; }
    int IsStandalone() override { return standalone; }
    int IsPlaying() override { return playing; }
    int PlaySoundId(int id, int flags) override {
        sounds.push_back(id * 100 + flags);
        return 0;
    }
    bool IsSilent() override { return silent; }
    int IsQuickCatch() override { return 1; }
    int IsRejectKanPaiAsk() override { return rejectKanPai; }
    int GetVoiceSetting() override { return voice; }
    std::string GetGameIniPath() override { return "/tmp/HqLv.ini"; }
    std::string GetProgramFolder() override { return "/prog/"; }
    void ScanSoundFiles(std::vector<std::string>& a, std::vector<std::string>& b) override {
        a = voices0;
        b = voices1;
    }
    int GetSeatUserID(int c) override { return c >= 0 && c < 8 ? 1000 + c : 0; }
    std::string GetSeatName(int c) override {
        auto it = names.find(c);
        return it == names.end() ? std::string() : it->second;
    }
    int GetSeatVoiceKind(int c) override {
        auto it = voiceKinds.find(c);
        return it == voiceKinds.end() ? 0 : it->second;
    }
    std::string GetPlayerNameById(int id) override { return GetSeatName(id - 1000); }
    void AppendChatLine(const std::string& m) override { chat.push_back(m); }
    int GetScreenWidth() override { return screenWidth; }
    int GetScreenHeight() override { return screenHeight; }
    int IsSmallScreen() override { return screenHeight < 601 ? 1 : 0; }
    int GetTableViewWidth() override { return 796; }
    int GetTableViewHeight() override { return 700; }
    bool HasSkinBitmap(const std::string& name) override { return bitmaps.count(name) != 0; }
    CMJGameInfo* GetGameInfo() override { return info; }
    CMJTableDraw* GetTableDraw() override { return draw; }
    CMJGameScene2* GetGameScene() override { return scene; }
    CMJRequests* GetRequests() override { return requests; }
    void SetViewTimer(uint32_t id, uint32_t ms) override { viewTimers.push_back({id, ms}); }
    void KillViewTimer(uint32_t id) override { viewKilled.push_back(id); }
    void StartClockTimer() override {
        clockTimer.push_back("start");
        clockRunning = true;
    }
    void StopClockTimer() override {
        clockTimer.push_back("stop");
        clockRunning = false;
    }
    bool IsClockTimerRunning() override { return clockRunning; }
    bool clockRunning = false;
    void EnableTablePane(int enable) override { paneEnabled.push_back(enable); }
    void ShowClaimWindowButton(int kind, int on) override { windowButtons.push_back({kind, on}); }
    int IsRejoining() override { return rejoining; }
    int TestCmdField13(uint32_t bits) override { return (cmdField13 & bits) == bits; }
    int GetCmdField9() override { return cmdField9; }
    std::string GetGameCode() override { return "HqLv"; }
    bool SaveScreenShotJpeg(const std::string& path, int) override {
        screenShots.push_back(path);
        return false;
    }
    int RequestChangeTable(std::string&) override { return ++tableRequests, 0; }
    int RequestTableOption(std::string&) override { return ++tableRequests, 0; }
    uint32_t GetClockTimerId() override { return 10000; }
    void StartIdleTimer() override { ++idleStarts; }
    bool SaveTableShot(const std::string&, int) override { return false; }
    void BeginWaitCursor() override { ++waitCursors; }
    void EndWaitCursor() override { --waitCursors; }
    std::string GetMachineID() override { return {}; }
    int RequestStartGame(std::string&, int checkSilver) override {
        startRequests.push_back(checkSilver);
        return 0;
    }
    void OnOwnGameStarted(MJData record) override {
        ownStarts.emplace_back(record.begin(), record.end());
    }
    void ShowMessageText(const std::string& text) override { messages.push_back(text); }
    bool MapToScreen(int&, int&) override { return false; }

    int userId = 1002, roomId = 7, tableNo = 3, chair = 2;
    int lookerOn = 0, field13Bit8 = 0, standalone = 0, playing = 0, rejoining = 0;
    int rejectKanPai = 0, voice = 0;
    uint32_t cmdField13 = 0;
    int cmdField9 = 0, tableRequests = 0, waitCursors = 0, idleStarts = 0;
    std::vector<std::string> screenShots, messages;
    std::vector<int> startRequests;
    std::vector<std::vector<uint8_t>> ownStarts;
    bool silent = false;
    int screenWidth = 1024, screenHeight = 768;
    std::map<int, std::string> names{{0, "东家"}, {1, "南家"}, {2, "西家"}, {3, "北家"}};
    std::map<int, int> voiceKinds;
    std::vector<std::string> voices0, voices1;
    std::map<std::string, int> bitmaps;
    std::vector<int> sounds;
    std::vector<std::string> chat;
    std::vector<std::pair<uint32_t, uint32_t>> viewTimers;
    std::vector<uint32_t> viewKilled;
    std::vector<std::string> clockTimer;
    std::vector<int> paneEnabled;
    std::vector<std::pair<int, int>> windowButtons;
    CMJGameInfo* info = nullptr;
    CMJTableDraw* draw = nullptr;
    CMJGameScene2* scene = nullptr;
    CMJRequests* requests = nullptr;

    // Knows the deal state, the table-drawing object and the scene, and each of them knows
    // this host, as the application wires its own.
    void Wire(CMJGameInfo& i, CMJTableDraw& d, CMJGameScene2& s) {
        info = &i;
        draw = &d;
        scene = &s;
        i.SetHost(this);
        d.SetHost(this);
        s.SetSceneHost(this);
    }
};

}  // namespace hqlv::mahjong::test
