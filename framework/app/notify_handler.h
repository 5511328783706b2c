#pragma once
// The dispatch of the server's framework notifications: one virtual handler per code,
// whose default updates the application's player records and tells the panes. A game's
// router handles its own codes and passes the rest to OnNotify. Every handler gets the
// body and its length and refuses a body too short for what it reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/app/app_data.h"
#include "framework/panes/pane_hooks.h"

namespace hqlv::framework {

// What the handlers need from the application and its main frame.
class CNotifyHost {
public:
    virtual ~CNotifyHost() = default;
    virtual CGameAppData& appData() = 0;
    virtual int IsPlaying() = 0;
    virtual bool HasMainWindow() = 0;
    // The program's modeless box (closing it ends the main window).
    virtual void MessageBoxModeless(const std::string& text, const std::string& ok,
                                    const std::string& cancel, int seconds, int style,
                                    int extraHeight) = 0;
    virtual void MessageBoxModelessLink(const std::string& text, const std::string& ok,
                                        const std::string& cancel, const std::string& link,
                                        int linkFlag, int seconds, int style) = 0;
    // The boxes of the notices that end the table: when such a box goes (a button, its
    // countdown, its window's close) the game client ends, whatever else is open then. By
    // default the plain modeless boxes.
    virtual void TableOverBox(const std::string& text, int seconds, int style, int extraHeight) {
        MessageBoxModeless(text, "确定", "取消", seconds, style, extraHeight);
    }
    virtual void TableOverBoxLink(const std::string& text, const std::string& ok,
                                  const std::string& cancel, const std::string& link, int linkFlag,
                                  int seconds, int style) {
        MessageBoxModelessLink(text, ok, cancel, link, linkFlag, seconds, style);
    }
    virtual void PlaySoundId(int id, int flags) = 0;
    virtual void HideCommWait() = 0;
    virtual void RefreshTableView() = 0;
    virtual void CloseConnection() = 0;
    virtual void PostToHallWindow(uint32_t msg, uintptr_t w, intptr_t l) = 0;
    virtual uintptr_t MainWindowHandle() = 0;
    // Clears the frame's table-active flag (its delayed close then does nothing).
    virtual void ClearTableActive() = 0;
    virtual int ScaleY(int n) = 0;
    virtual CTableViewHooks* tableView() = 0;
    virtual CChatViewHooks* chatView() = 0;
    virtual CPlayerListHooks* playerView() = 0;
};

class CGameNotifyHandler {
public:
    explicit CGameNotifyHandler(CNotifyHost& host) : host_(host) {}
    virtual ~CGameNotifyHandler() = default;

    // Routes a code to its handler; false for an unknown code or a refused body.
    virtual bool OnNotify(uint32_t code, const void* data, size_t len);

    virtual bool OnPlayersUpdate(Body b);      // 211030
    virtual bool OnNotify211000(Body b);       // 211000
    virtual bool OnPlayerChat(Body b);         // 201210
    virtual bool OnMessage(Body b);            // 211200
    virtual bool OnCallPlayer(Body b);         // 201200
    virtual bool OnHallNotice(Body b);         // 211025
    virtual bool OnLookerOnLeft(Body b);       // 211020
    virtual bool OnEndNoSilver(Body b);        // 211110
    virtual bool OnEndNoScore(Body b);         // 211130
    virtual bool OnEndScoreLimit(Body b);      // 211132
    virtual bool OnEndPlayerRounds(Body b);    // 211134
    virtual bool OnEndTableRounds(Body b);     // 211136
    virtual bool OnEndTimeWindow(Body b);      // 211137
    virtual bool OnServerText(Body b);         // 211138
    virtual bool OnGameResult(Body b);         // 211410
    virtual bool OnSilverChanged(Body b);      // 211420
    virtual bool OnNotify211700(Body b);       // 211700
    virtual bool OnAmuletNotice(Body b);       // 211900
    virtual bool OnSeatNamesChanged(Body b);   // 211910
    virtual bool OnPrizeNotice(Body b);        // 230000
    virtual bool OnSeatRecordChanged(Body b);  // 230001
    virtual bool OnScoreAdded(Body b);         // 230002
    virtual bool OnNotify211920(Body b);       // 211920
    virtual bool OnClothesChanged(Body b);     // 211430
    virtual bool OnMembershipChanged(Body b);  // 211440
    virtual bool OnLotteryInfo(Body b);        // 214100
    virtual bool OnLotteryInfo2(Body b);       // 214101
    virtual bool OnLotteryResult(Body b);      // 214102
    virtual bool OnBroadcast(Body b);          // 214103
    virtual bool OnSystemLine(Body b);         // 60031
    virtual bool OnPlayerSat(Body b);          // 211011
    virtual bool OnLookOnEnded(Body b);        // 211010
    virtual bool OnSeatsAssigned(Body b);      // 211028
    // The record behind the last entry of 211028; the game's start of a hand.
    virtual void OnSeatsAssignedTail(Body) {}

protected:
    bool endBox(const std::string& text, int seconds, int extraHeight = 0);
    CNotifyHost& host_;
};

}  // namespace hqlv::framework
