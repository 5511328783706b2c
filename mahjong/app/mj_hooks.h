#pragma once
// What the mahjong notification router asks of the panes and the application, on top of
// the framework's pane hooks. The frame's panes and the application implement these; the
// router's tests implement them with recording doubles.
#include <cstdint>
#include <string>

#include "mahjong/scene/scene_host.h"

namespace hqlv::framework {
struct PlayerRecord;
}

namespace hqlv::mahjong {

class CMJGameInfo;
class CMJTableDraw;
class CMJGameScene2;

// Message ids of the mahjong panes.
inline constexpr uint32_t kMsgScoreBoardText = 0x85BA;  // w: heap text, the pane frees it
inline constexpr uint32_t kMsgKanPaiReply = 0x867A;     // w: user id, l: 1 allow, 0 refuse
inline constexpr uint32_t kMsgExitAnswer = 0x8D20;      // w: requester, l: 1 agree, 0 refuse
inline constexpr uint32_t kMsgAppendChat = 0x85B5;

class CMJChatHooks {
public:
    virtual ~CMJChatHooks() = default;
    virtual void OnGameStarted(MJData) {}
    virtual void ShowRoundHistory(const std::string& /*line*/) {}
    virtual void OnScoresLine(MJData) {}
    virtual void OnKanPaiAnswer(MJData) {}
};

class CMJPlayerHooks {
public:
    virtual ~CMJPlayerHooks() = default;
    virtual void UpdateScores(MJData) {}
    // The ask-to-see-tiles popup for the asking user.
    virtual void ShowKanPaiAsk(int /*userId*/) {}
    // The slide-up exit answer popup: the requester and the reason's 64 bytes (as text).
    virtual void ShowExitAnswerDlg(int /*userId*/, const std::string& /*reason*/) {}
};

class CMJTableHooks {
public:
    virtual ~CMJTableHooks() = default;
    virtual void StartClockTimer() {}
    virtual void StopClockTimer() {}
    // Whether the clock timer runs now.
    virtual bool IsClockTimerRunning() const = 0;
    virtual void RestartClockTimer() {}
    virtual void OnTableStop() {}
    virtual void OnRoundEnded() {}
};

// The score-history pane as the router sees it.
class CMJScoreHooks {
public:
    virtual ~CMJScoreHooks() = default;
    // Takes a heap copy of the score-board text (message 0x85BA); false when the post
    // could not be made (the copy is freed then).
    virtual bool PostScoreBoardText(const std::string& text) = 0;
    // An advert score-board pane (its ranking refresh and deal entries); none here.
    virtual bool IsAdvertBetView() { return false; }
    virtual void RefreshRanking(const std::string& /*text*/) {}
    virtual void OnDealResultEntry(MJData) {}
    // The advert-bet pane's results follow the table: a player took a seat or left it, the
    // seats were reloaded, a deal's result came (the result record).
    virtual void OnSeatTaken(const framework::PlayerRecord&) {}
    virtual void OnSeatLeft(const framework::PlayerRecord&) {}
    virtual void OnSeatsReload() {}
    virtual void OnDealResult(MJData) {}
};

// The application's side of the router.
class CMJRouterHost {
public:
    virtual ~CMJRouterHost() = default;
    virtual CMJGameScene2* Scene() = 0;
    virtual CMJTableDraw* TableDraw() = 0;
    virtual CMJGameInfo* GameInfo() = 0;
    virtual CMJChatHooks* MJChat() = 0;
    virtual CMJPlayerHooks* MJPlayers() = 0;
    virtual CMJTableHooks* MJTable() = 0;
    virtual CMJScoreHooks* ScorePane() = 0;
    virtual int IsRejectKanPaiAsk() = 0;
    virtual int SceneMode() = 0;
    // The application's score-board text (notification 211400).
    virtual std::string& ScoreBoardText() = 0;
    // Appends a line of chat markup to the chat pane (0x85B5).
    virtual void AppendChat(const std::string& markup) = 0;
    virtual void BringMainWindowToFront() = 0;
    virtual void ReportToHall() = 0;
    virtual void PlatformBox(const std::string& text) = 0;
    virtual void DestroyMainWindow() = 0;
};

}  // namespace hqlv::mahjong
