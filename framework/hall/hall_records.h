#pragma once
// The records exchanged with the game hall, byte for byte: the table state (kind 1), a
// joining looker-on (4), a leaving player (6), the end report (2 and 5), a text for the
// hall (11), a room-change wish (15) and the answer to a sign request (14). Kinds 1, 4,
// 6, 7, 11, 13, 14 and 15 travel AES-128 coded with the hall key. The parsers check every
// length, count and chair before anything is used.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/app/app_data.h"

namespace hqlv::framework {

enum HallKind : uint32_t {
    kHallTableState = 1,
    kHallReport = 2,
    kHallPlayerJoined = 4,
    kHallReportDisconnected = 5,
    kHallPlayerLeft = 6,
    kHallGameData = 7,
    kHallText = 11,
    kHallData13 = 13,
    kHallSignAnswer = 14,
    kHallRoomChange = 15,
};

// Window messages to the hall window.
inline constexpr uint32_t kMsgHallAttach = 0x9105;
inline constexpr uint32_t kMsgHallNotice = 0x9107;
inline constexpr uint32_t kMsgHallPlayerInfo = 0x9108;
inline constexpr uint32_t kMsgHallSign = 0x910C;

// AES-128-ECB with the hall key over whole 16-byte blocks; the output is as long as the
// input. A length that is not a multiple of 16 is refused (nullopt).
std::optional<std::vector<uint8_t>> EncryptHallData(const void* in, size_t len);
std::optional<std::vector<uint8_t>> DecryptHallData(const void* in, size_t len);
// Zero-pads a plain record to the next multiple of 16 bytes.
void PadHallRecord(std::vector<uint8_t>& record);

struct HallRooms {
    int mode = 0;
    std::vector<RoomRecord> records;
};

struct HallTableState {
    HallRecord hall;
    TableRecord table;
    std::vector<PlayerRecord> seated;   // at most 8, chairs 0 to 7
    std::vector<PlayerRecord> lookers;  // at most 64
    std::vector<std::string> texts;     // level titles (GBK), pieces before the first empty
    std::optional<HallRooms> rooms;     // when R > 0 and the block's count agrees
};

inline constexpr size_t kHallStateHead = 444 + 176;
inline constexpr size_t kHallTextBlock = 360;

// Parses a decrypted kind-1 payload; nullopt (with a diagnostic) when it is malformed:
// short, more than 8 seated or 64 looker-on records, a seated chair outside 0 to 7.
std::optional<HallTableState> ParseHallTableState(const void* data, size_t len);
// Builds the plain kind-1 payload (the hall's side; padded to a multiple of 16).
std::vector<uint8_t> BuildHallTableState(const HallTableState& state);

struct HallPlayerLeft {
    uint32_t hallWnd;
    int32_t userId;
    int32_t table;
    int32_t chair;
};
std::optional<HallPlayerLeft> ParseHallPlayerLeft(const void* data, size_t len);
std::optional<PlayerRecord> ParseHallPlayerJoined(const void* data, size_t len);

// Kind 2 or 5 (188 bytes, plain): the kind is 5 when the client lost the connection
// while a game ran.
struct HallReport {
    uint32_t kind;
    std::vector<uint8_t> record;
};
HallReport BuildHallReport(const CGameAppData& app, uint32_t window);

// Kind 11 (544 bytes before coding); the text is cut to 255 GBK bytes.
std::vector<uint8_t> BuildHallText(const CGameAppData& app, uint32_t window,
                                   const std::string& utf8Text, int32_t value);
// Kind 15 (160 bytes before coding).
std::vector<uint8_t> BuildRoomChange(const CGameAppData& app, int32_t targetRoom);

// Kind 14, the hall's answer to a sign request (at least 272 bytes after decoding): the
// user id, the sign text (at most 255 bytes) and the id of the request it answers.
struct HallSignAnswer {
    int32_t userId = 0;
    std::string sign;  // GBK as sent
    uint32_t requestId = 0;
};
std::optional<HallSignAnswer> ParseHallSignAnswer(const void* data, size_t len);
std::vector<uint8_t> BuildHallSignAnswer(const HallSignAnswer& answer);

}  // namespace hqlv::framework
