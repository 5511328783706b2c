#pragma once
// Recording doubles for the notification router: a scene, a table-drawing object and
// panes that write one line per call into a shared log, the application's side of the
// framework handlers, and the real deal state. Used by the router's tests and its fuzz
// harness.
#include <memory>
#include <string>
#include <vector>

#include "framework/app/app_data.h"
#include "framework/app/notify_handler.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/game_notify_ex.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_host.h"
#include "mahjong/scene/table_draw.h"
#include "tests/mahjong/fake_scene_host.h"

namespace hqlv::mahjong::test {

using CallLog = std::vector<std::string>;

inline std::string Sized(const char* what, MJData d) {
    return std::string(what) + "(" + std::to_string(d.size()) + ")";
}

struct RecordingScene : CMJGameScene2 {
    explicit RecordingScene(CallLog& l) : log(l) {}
    void OnGameReset() override { log.push_back("scene.OnGameReset"); }
    void OnGameEnd(MJData d) override { log.push_back(Sized("scene.OnGameEnd", d)); }
    void ResetForNextDeal() override { log.push_back("scene.ResetForNextDeal"); }
    void ShowWaitTableNotice() override { log.push_back("scene.ShowWaitTableNotice"); }
    void OnNotify221160(MJData d) override { log.push_back(Sized("scene.221160", d)); }
    void OnNotify221170(MJData d) override { log.push_back(Sized("scene.221170", d)); }
    void OnNotify221200(MJData d) override { log.push_back(Sized("scene.221200", d)); }
    void OnNotify229160(MJData d) override { log.push_back(Sized("scene.229160", d)); }
    void OnNotify229165(MJData d) override { log.push_back(Sized("scene.229165", d)); }
    void OnNotify229170(MJData d) override { log.push_back(Sized("scene.229170", d)); }
    void OnNotify229175(MJData d) override { log.push_back(Sized("scene.229175", d)); }
    void OnNotify229180(MJData d) override { log.push_back(Sized("scene.229180", d)); }
    void OnNotify229185(MJData d) override { log.push_back(Sized("scene.229185", d)); }
    void OnNotify229190(MJData d) override { log.push_back(Sized("scene.229190", d)); }
    void OnNotify229195(uint32_t id, MJData d) override {
        log.push_back(Sized(("scene.229195 id " + std::to_string(id)).c_str(), d));
    }
    void OnNotify229210(MJData d) override { log.push_back(Sized("scene.229210", d)); }
    void OnPlayerBackOrLeave(MJData d) override { log.push_back(Sized("scene.229500", d)); }
    void OnTableDrawReset() override { log.push_back("scene.OnTableDrawReset"); }
    void OnNotify211920(MJData d) override { log.push_back(Sized("scene.211920", d)); }
    void ResetTable() override { log.push_back("scene.ResetTable"); }
    void RebuildTable() override { log.push_back("scene.RebuildTable"); }
    void Redraw(int parts) override { log.push_back("scene.Redraw " + std::to_string(parts)); }
    CallLog& log;
};

struct RecordingDraw : CMJTableDraw {
    explicit RecordingDraw(CallLog& l) : log(l) {}
    void RefreshAll() override { log.push_back("draw.RefreshAll"); }
    void HighlightChair(int chair) override {
        log.push_back("draw.HighlightChair " + std::to_string(chair));
    }
    CallLog& log;
};

struct RecordingChat : CMJChatHooks, framework::CChatViewHooks {
    explicit RecordingChat(CallLog& l) : log(l) {}
    void OnGameStarted(MJData d) override { log.push_back(Sized("chat.OnGameStarted", d)); }
    void ShowRoundHistory(const std::string& line) override {
        log.push_back("chat.ShowRoundHistory " + line);
    }
    void OnScoresLine(MJData d) override { log.push_back(Sized("chat.OnScoresLine", d)); }
    void OnKanPaiAnswer(MJData d) override { log.push_back(Sized("chat.OnKanPaiAnswer", d)); }
    CallLog& log;
};

struct RecordingPlayers : CMJPlayerHooks, framework::CPlayerListHooks {
    explicit RecordingPlayers(CallLog& l) : log(l) {}
    void UpdateScores(MJData d) override { log.push_back(Sized("players.UpdateScores", d)); }
    void ShowKanPaiAsk(int userId) override {
        log.push_back("players.ShowKanPaiAsk " + std::to_string(userId));
    }
    void ShowExitAnswerDlg(int userId, const std::string& reason) override {
        log.push_back("players.ShowExitAnswerDlg " + std::to_string(userId) + " " + reason);
    }
    CallLog& log;
};

struct RecordingTable : CMJTableHooks, framework::CTableViewHooks {
    explicit RecordingTable(CallLog& l) : log(l) {}
    void RestartClockTimer() override { log.push_back("table.RestartClockTimer"); }
    void OnTableStop() override { log.push_back("table.OnTableStop"); }
    void OnRoundEnded() override { log.push_back("table.OnRoundEnded"); }
    bool IsClockTimerRunning() const override { return false; }
    void OnNotify211000() override { log.push_back("table.OnNotify211000"); }
    void OnNotify211700(framework::Body) override { log.push_back("table.OnNotify211700"); }
    void OnNotify211920(framework::Body) override { log.push_back("table.OnNotify211920"); }
    CallLog& log;
};

struct RecordingScore : CMJScoreHooks {
    explicit RecordingScore(CallLog& l) : log(l) {}
    bool PostScoreBoardText(const std::string& text) override {
        log.push_back("score.PostScoreBoardText " + text);
        return true;
    }
    bool IsAdvertBetView() override { return advertBet; }
    void RefreshRanking(const std::string& text) override {
        log.push_back("score.RefreshRanking " + text);
    }
    void OnDealResultEntry(MJData d) override { log.push_back(Sized("score.DealResult", d)); }
    bool advertBet = false;
    CallLog& log;
};

// The application's side of both the framework's handlers and the mahjong router.
struct RouterWorld : framework::CNotifyHost, CMJRouterHost {
    RouterWorld()
        : app("HqLv", 21303, 2, 1), scene(log), draw(log), chat(log), players(log), table(log),
          score(log) {
        app.CheckHallCommandLine("77|127.0.0.1|3|5000|0|1001|5|2|0|0|title|21303|0|0|0");
        for (int c = 0; c < 4; ++c) {
            framework::PlayerRecord* r = app.SeatMutable(c);
            r->setWord(framework::PlayerRecord::kUserId, 1000 + c);
            r->setWord(framework::PlayerRecord::kChair, c);
            r->setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen,
                       std::string("P") + char('0' + c));
        }
        sceneHost.names = {{0, "P0"}, {1, "P1"}, {2, "P2"}, {3, "P3"}};
        sceneHost.Wire(info, draw, scene);
    }

    // ---- framework::CNotifyHost
    framework::CGameAppData& appData() override { return app; }
    int IsPlaying() override { return playing; }
    bool HasMainWindow() override { return mainWindow; }
    void MessageBoxModeless(const std::string& text, const std::string& ok,
                            const std::string& cancel, int seconds, int style, int) override {
        log.push_back("box " + text + " [" + ok + "/" + cancel + " " + std::to_string(seconds) +
                      "s style " + std::to_string(style) + "]");
    }
    void MessageBoxModelessLink(const std::string& text, const std::string&, const std::string&,
                                const std::string&, int, int, int) override {
        log.push_back("linkbox " + text);
    }
    void PlaySoundId(int id, int) override { log.push_back("sound " + std::to_string(id)); }
    void HideCommWait() override { log.push_back("app.HideCommWait"); }
    void RefreshTableView() override {}
    void CloseConnection() override { log.push_back("app.CloseConnection"); }
    void PostToHallWindow(uint32_t, uintptr_t, intptr_t) override {}
    uintptr_t MainWindowHandle() override { return 0; }
    void ClearTableActive() override { log.push_back("frame.ClearTableActive"); }
    int ScaleY(int n) override { return n; }
    framework::CTableViewHooks* tableView() override { return withPanes ? &table : nullptr; }
    framework::CChatViewHooks* chatView() override { return withPanes ? &chat : nullptr; }
    framework::CPlayerListHooks* playerView() override { return withPanes ? &players : nullptr; }

    // ---- CMJRouterHost
    CMJGameScene2* Scene() override { return &scene; }
    CMJTableDraw* TableDraw() override { return &draw; }
    CMJGameInfo* GameInfo() override { return &info; }
    CMJChatHooks* MJChat() override { return withPanes ? &chat : nullptr; }
    CMJPlayerHooks* MJPlayers() override { return withPanes ? &players : nullptr; }
    CMJTableHooks* MJTable() override { return withPanes ? &table : nullptr; }
    CMJScoreHooks* ScorePane() override { return withPanes ? &score : nullptr; }
    int IsRejectKanPaiAsk() override { return rejectKanPai; }
    int SceneMode() override { return 2; }
    std::string& ScoreBoardText() override { return scoreBoard; }
    void AppendChat(const std::string& markup) override { log.push_back("chat+ " + markup); }
    void BringMainWindowToFront() override { log.push_back("frame.ToFront"); }
    void ReportToHall() override { log.push_back("app.ReportToHall"); }
    void PlatformBox(const std::string& text) override { log.push_back("platformbox " + text); }
    void DestroyMainWindow() override { log.push_back("frame.Destroy"); }

    CallLog log;
    FakeSceneHost sceneHost;
    framework::CGameAppData app;
    CGameInfoEx info;
    RecordingScene scene;
    RecordingDraw draw;
    RecordingChat chat;
    RecordingPlayers players;
    RecordingTable table;
    RecordingScore score;
    std::string scoreBoard;
    int playing = 0;
    int rejectKanPai = 0;
    bool mainWindow = true;
    bool withPanes = true;
};

// The router over a world: this game's router with its two hosts.
inline std::unique_ptr<CGameNotifyEx> MakeRouter(RouterWorld& w) {
    return std::make_unique<CGameNotifyEx>(static_cast<framework::CNotifyHost&>(w),
                                           static_cast<CMJRouterHost&>(w));
}

}  // namespace hqlv::mahjong::test
