#pragma once
// What the game connection needs from the application and its panes. The application
// class implements it (the frame and panes are reached through it); tests implement it
// with records of their own. Every call runs on the UI thread.
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
    virtual std::string GetMachineID() = 0;
    // The application's wait cursor; calls nest.
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}

    // The own player record in its 136-byte entry form, and its flag word; false when
    // the application holds no record for the own user id.
    virtual bool MakeOwnPlayerEntry(std::vector<uint8_t>& entry136, int& flagWord) = 0;
    // Chair of a player, -1 when there is no record.
    virtual int GetPlayerChair(int userId) = 0;
    virtual int GetOwnSeatSilver() = 0;
    virtual std::string GetOwnPlayerName() = 0;  // UTF-8
    virtual bool IsQuickCatch() { return false; }

    // Activities: how many the application knows, and the configuration to store (the
    // enabled flag and the entries whose index is valid, in order).
    virtual int GetActivityCount() { return 7; }
    virtual void SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& entries) = 0;

    // Entering the game: the table pane's hook, the application's in-game word, its
    // game-data block (empty span: none) and its player list update.
    virtual void OnEnteredGame() {}
    virtual void SetInGame(int value) = 0;
    virtual std::span<uint8_t> GameDataBlock() = 0;
    virtual void UpdatePlayers(const uint8_t* data, size_t length) = 0;

    // Silver range answers and the table pane's idle timer.
    virtual void CheckSilverTooLittle(const uint8_t* data, size_t length) = 0;
    virtual void CheckSilverTooMuch(const uint8_t* data, size_t length) = 0;
    virtual void StopIdleTimer() {}
    // A line of chat markup for the chat pane.
    virtual void AppendChatMarkup(const std::string& markup) = 0;
};

}  // namespace hqlv::framework
