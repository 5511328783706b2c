#pragma once
// What the notification handlers tell the panes. The framework's panes do nothing with
// these; the table, player-list and chat panes of the games override what they need.
// Every body comes with its length; a pane that reads a body checks the length first.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/panes/player_records.h"

namespace hqlv::framework {

struct Body {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// What bringing the silver in hand to an amount did.
enum class FixOutcome { kEqual, kSaved, kTaken, kFailed, kCancelled, kOutOfRange };

// The tool pane as the application reaches it (the frame's GetToolView): it brings the
// silver in hand to an amount, saving the surplus in the safe box or taking the shortfall.
class CToolViewHooks {
public:
    virtual ~CToolViewHooks() = default;
    virtual FixOutcome ApplyFixAmount(int32_t target) = 0;
};

class CTableViewHooks {
public:
    virtual ~CTableViewHooks() = default;
    virtual void OnPlayerSat(const PlayerRecord&) {}
    virtual void OnLookOnEnded(const PlayerRecord&) {}
    virtual void OnSeatsAssigned(Body) {}
    virtual void OnNotify211700(Body) {}
    virtual void OnAmuletNotice(Body) {}
    virtual void OnSilverChanged(Body) {}
    virtual void OnSeatNamesChanged() {}
    virtual void OnNotify211920(Body) {}
    virtual void OnClothesChanged(Body) {}
    virtual void OnMembershipChanged(Body) {}
    virtual void OnLotteryInfo(Body) {}
    virtual void OnLotteryInfo2(Body) {}
    virtual void OnLotteryResult(Body) {}
    virtual void OnBroadcast(Body) {}
    virtual void OnSystemLine(Body) {}
    virtual void OnNotify211000() {}
    // The game ended without a result (connection lost, a player left).
    virtual void OnGameAborted() {}
    // The user leaves the table: the leave notice has gone out and the connection closes
    // next. Nothing in the framework's pane; a game's pane ends its table scene here.
    virtual void OnLeaveTable() {}
};

class CChatViewHooks {
public:
    virtual ~CChatViewHooks() = default;
    virtual void ShowSystemLine(Body) {}
    virtual void ShowCall(Body) {}
    virtual void ShowPlayerChat(Body) {}
    virtual void ShowTableLeave(const PlayerRecord&) {}
    virtual void ShowTableEnter(const PlayerRecord&) {}
    virtual void ShowLookerOnLeave(const PlayerRecord&) {}
    virtual void ShowRandomTable(Body) {}
    virtual void ShowMessageLine(Body) {}
    virtual void ShowSilverNotice(Body) {}
    virtual void ShowNewClothes(Body) {}
    virtual void ShowMembership(Body) {}
    virtual void ShowTableChanged(Body) {}
    virtual void ShowAmuletNotice(Body) {}
    virtual void OnSeatNamesChanged() {}
    virtual void ShowLotteryInfo(Body) {}
    virtual void ShowLotteryInfo2(Body) {}
    virtual void ShowLotteryResult(Body) {}
    virtual void ShowBroadcast(Body) {}
    virtual void ShowPrizeNotice(Body) {}
    virtual void ShowGameResult(Body) {}
    virtual void OnPlayerJoined(const PlayerRecord&) {}
    // A notice of the platform's web server (larger text and links allowed).
    virtual void ShowText(const std::string& /*utf8Markup*/) {}
    // A line of chat markup to append (message 0x85B5).
    virtual void AppendMarkup(const std::string& /*utf8Markup*/) {}
    // Replaces the text of the input box (message 0x85B6), e.g. to address a player.
    virtual void SetInputText(const std::string& /*utf8*/) {}
};

class CPlayerListHooks {
public:
    virtual ~CPlayerListHooks() = default;
    virtual void AddPlayer(const PlayerRecord&) {}
    virtual void RemovePlayer(const PlayerRecord&) {}
    virtual void RemoveLookerOn(const PlayerRecord&) {}
    virtual void OnSeatsAssigned(Body) {}
    virtual void OnPlayersUpdate(Body) {}
    virtual void OnSilverChanged(Body) {}
    virtual void OnNotify211700(Body) {}
    virtual void OnPrizeNotice(Body) {}
    virtual void OnSeatRecordChanged(Body) {}
    virtual void OnScoreAdded(Body) {}
    virtual void OnClothesChanged(Body) {}
    virtual void OnMembershipChanged(Body) {}
    virtual void OnLotteryInfo(Body) {}
    virtual void OnLotteryInfo2(Body) {}
    virtual void OnLotteryResult(Body) {}
    virtual void OnBroadcast(Body) {}
    virtual void OnSystemLine(Body) {}
};

}  // namespace hqlv::framework
