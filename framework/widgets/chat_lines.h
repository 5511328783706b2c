#pragma once
// The chat pane's standard lines, built from the server's bodies without any window: each
// builder checks the length of what it reads, bounds its texts by the body, and pastes
// player-supplied names and texts only after neutralising them. Server texts (system
// lines, lottery texts, kind-2 messages) stay markup. An empty result shows nothing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/panes/pane_hooks.h"
#include "framework/panes/player_records.h"

namespace hqlv::framework {

// What the lines need to know about the application.
struct ChatLineContext {
    // The record of a user id (seated or looking on), or null.
    std::function<const PlayerRecord*(int userId)> player;
    int ownUserId = 0;
    int ownTable = 0;
    int gameId = 0;
    bool randomSeating = false;
    std::string title;        // the window title text
    std::string welcomeName;  // the hall record's game name
    std::string location;     // the hall record's room name
};

// Colours the lines carry.
inline constexpr uint32_t kChatTalkColor = 8421440;    // 0x808040
inline constexpr uint32_t kChatLookerColor = 2906200;  // 0x2C5858
inline constexpr uint32_t kChatCallColor = 32768;
inline constexpr uint32_t kChatAmuletColor = 15114240;  // 0xE6A000
inline constexpr uint32_t kChatWelcomeColor = 10715996;

// The smallest body each builder reads (one byte less shows nothing).
inline constexpr size_t kPlayerChatTextOffset = 48;
inline constexpr size_t kChatRecordTextOffset = 36;
inline constexpr size_t kCallBodyMin = 20;
inline constexpr size_t kSilverBodyMin = 28;
inline constexpr size_t kPrizeBodyMin = 44;
inline constexpr size_t kResultBodyMin = 16;
inline constexpr size_t kAmuletBodyMin = 68;
inline constexpr size_t kClothesBodyMin = 4;
inline constexpr size_t kMembershipBodyMin = 12;
inline constexpr size_t kLotteryBodyMin = 24;
inline constexpr size_t kLotteryResultBodyMin = 96;  // 8 words, prize name, code text
inline constexpr size_t kBroadcastBodyMin = 36;      // kind, sender (32 bytes), message

// What the input line gives a chat: at most 61 bytes of GBK (the request's text field),
// cut before the character that would not fit whole. The request, the line shown and the
// input history all take this text, so the player sees what the others get.
inline constexpr size_t kChatInputBytes = 61;
std::string ChatInputText(std::string_view utf8);

// A player's name as the lines show it (neutralised); nullopt-like empty + false when the
// user is unknown.
bool ChatPlayerName(const ChatLineContext& c, int userId, std::string* name);

std::string PlayerChatLine(const ChatLineContext& c, Body b);  // 201210
std::string ChatRecordLine(const ChatLineContext& c, Body b);  // 211200
std::string OwnChatLine(const std::string& text);              // own text, neutralised
std::string OwnFaceText(int face);                             // "<><z=n>"
std::string OwnFaceLine(int face);
std::string LookerOnEnterLine(const ChatLineContext& c, const PlayerRecord& r);
std::string LookerOnLeaveLine(const ChatLineContext& c, const PlayerRecord& r);
std::string CallLine(const ChatLineContext& c, Body b);
std::string TableEnterLine(const ChatLineContext& c, const PlayerRecord& r);
std::string TableLeaveLine(const ChatLineContext& c, const PlayerRecord& r);
std::string TableChangedLine(const ChatLineContext& c);
std::string RandomTableLine(const ChatLineContext& c);
std::vector<std::string> SilverNoticeLines(const ChatLineContext& c, Body b);
std::string PrizeNoticeLine(const ChatLineContext& c, Body b);
std::string GameResultLine(const ChatLineContext& c, Body b);
std::vector<std::string> AmuletLines(const ChatLineContext& c, Body b);
std::string NewClothesLine(const ChatLineContext& c, Body b);
std::string MembershipLine(const ChatLineContext& c, Body b);
std::string LotteryInfoLine(const ChatLineContext& c, Body b);
std::string LotteryInfoExLine(const ChatLineContext& c, Body b);
std::string LotteryResultLine(const ChatLineContext& c, Body b);
std::string BroadcastLine(Body b);
std::string SystemLine(Body b);
std::string WelcomeLine(const ChatLineContext& c);

}  // namespace hqlv::framework
