#pragma once
// What the game connection needs from the application and its panes. The application
// implements it (best as a small adapter object over the application, so these names
// never meet the application's own); tests implement it with records of their own.
// Every call runs on the UI thread. What each call stands for in the application:
//   MakeOwnPlayerEntry   the own player record converted to the entry form
//                        (CGameApp::MakePlayerEntry of GetPlayerRecord(GetUserID()))
//   PlayerChair          CGameApp::GetPlayerChair
//   OwnSeatSilver        silver of the own seat record
//   QuickCatch           the application's quick-catch setting
//   SetActivityConfig    the activity state and configuration entries
//   TableViewEnteredGame CGameTableView::OnEnteredGame of the frame's table pane
//   SetInGame            the application's in-game word
//   GameDataBlock        the application's game-data block (its virtual accessor)
//   TakePlayerList       CGameApp::UpdatePlayers
//   SilverBelowRoomMinimum / SilverAboveRoomMaximum
//                        CGameApp::CheckSilverTooLittle / CheckSilverTooMuch
//   TableViewStopIdleTimer  CGameTableView::StopIdleTimer
//   AppendChatMarkup     markup text for the chat pane (message 0x85B5)
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/connection/framework_requests.h"
#include "framework/connection/hall_entry.h"

namespace hqlv::framework {

class GameConnectionHost {
public:
    virtual ~GameConnectionHost() = default;

    // The entry record (command line and hall record).
    virtual HallEntry& Entry() = 0;
    // The platform's machine id text.
    virtual std::string MachineId() = 0;
    // The application's wait cursor; calls nest.
    virtual void WaitCursorBegin() {}
    virtual void WaitCursorEnd() {}

    // The own player record in its 136-byte entry form, and its flag word; false when
    // the application holds no record for the own user id.
    virtual bool MakeOwnPlayerEntry(std::vector<uint8_t>& entry136, int& flagWord) = 0;
    // Chair of a player, -1 when there is no record.
    virtual int PlayerChair(int userId) = 0;
    virtual int OwnSeatSilver() = 0;
    virtual std::string OwnPlayerName() = 0;  // UTF-8
    virtual bool QuickCatch() { return false; }

    // Activities: how many the application knows, and the configuration to store (the
    // enabled flag and the entries whose index is valid, in order).
    virtual int ActivityCount() { return 7; }
    virtual void SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& entries) = 0;

    // Entering the game: the table pane's hook, the application's in-game word, its
    // game-data block (empty span: none) and its player list update.
    virtual void TableViewEnteredGame() {}
    virtual void SetInGame(int value) = 0;
    virtual std::span<uint8_t> GameDataBlock() = 0;
    virtual void TakePlayerList(const uint8_t* data, size_t length) = 0;

    // Silver range answers and the table pane's idle timer.
    virtual void SilverBelowRoomMinimum(const uint8_t* data, size_t length) = 0;
    virtual void SilverAboveRoomMaximum(const uint8_t* data, size_t length) = 0;
    virtual void TableViewStopIdleTimer() {}
    // A line of chat markup for the chat pane.
    virtual void AppendChatMarkup(const std::string& markup) = 0;
};

}  // namespace hqlv::framework
