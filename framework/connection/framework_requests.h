#pragma once
// The framework's request bodies and the handling of their replies, kept free of the
// socket so that every layout and every reply check can be exercised on its own.
//
// Bodies are little-endian 32-bit words and zero-terminated GBK texts at fixed offsets;
// every byte not written is zero. Reply handlers take the reply's data and length and
// check the length before every field they read: a reply too short for what its result
// code needs fails like a request that could not be sent ("请求发送失败。").
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/connection/hall_entry.h"
#include "framework/connection/request_result.h"

namespace hqlv::framework {

// Request ids.
enum RequestId : int {
    kReqEnterGame = 200110,
    kReqOpenSafeBox = 200040,
    kReqTakeSilver = 200041,
    kReqSaveSilver = 200042,
    kReqQueryProtection = 200043,
    kReqCheckVersion = 201001,
    kReqKeepAlive = 201020,
    kReqNotifyLeave = 201120,
    kReqLeaveGame = 201125,
    kReqIsGameRunning = 201130,
    kReqRefreshGameData = 201140,
    kReqStartGame = 201160,
    kReqCheckSilverRange = 201161,
    kReqRequest201180 = 201180,
    kReqCallPlayer = 201200,
    kReqChat = 201210,
    kReqChat2 = 201211,
    kReqChangeTable = 201300,
    kReqRequest201302 = 201302,
    kReqClaimSilverReward = 201303,
    kReqActivityConfig = 201308,
    kReqClaimDole = 214000,
    kReqClaimDole2 = 214001,
    kReqDoleConfig = 214010,
    kReqRequest214102 = 214102,
    kReqRequest214104 = 214104,
};

// Result codes the requests interpret.
enum ResultCode : int {
    kResEnteredGame = 200500,
    kResTableFull = 200510,  // the reply is the table's player list
    kResGameRunning = 210030,
    kResLeaveKeepPlaying = 210086,
    kResLeaveWait = 210085,
    kResWaitResult = 210087,
    kResSilverTooLittle = 210090,
    kResSilverTooMuch = 210091,
    kResChangeTooOften = 210092,
};

inline constexpr size_t kMachineIdBytes = 32;
inline constexpr size_t kEnterHeadBytes = 108;
inline constexpr size_t kPlayerEntryBytes = 136;
inline constexpr size_t kChatTextBytes = 62;  // 61 bytes of text and the terminator
inline constexpr size_t kDoleConfigBytes = 124;
inline constexpr size_t kSafeBoxBytes = 32;
inline constexpr size_t kProtectionBytes = 24;
inline constexpr size_t kActivityRecordBytes = 1104;
inline constexpr int kMaxMeasuredWaitMs = 60000;

// The values every body is built from: the entry record and the platform's machine id.
struct RequestContext {
    const HallEntry& entry;
    std::string machineId;  // ASCII
};

// The waits the connection measured since the last keep-alive.
struct RequestStats {
    uint32_t sumMs = 0;
    uint32_t count = 0;
    uint32_t maxMs = 0;
    void Add(uint32_t elapsed);
    void Clear() { *this = RequestStats{}; }
};

// A fixed-size body with writes at byte offsets; writes outside the body are dropped.
class RequestBody {
public:
    explicit RequestBody(size_t size) : bytes_(size, 0) {}
    void Put32(size_t offset, int32_t value);
    // Zero-terminated text in a field of fieldBytes bytes (cut to fieldBytes - 1).
    void PutText(size_t offset, std::string_view wire, size_t fieldBytes);
    std::vector<uint8_t> Take() { return std::move(bytes_); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Body builders.
std::vector<uint8_t> BuildHeadBody(const RequestContext& c);  // 32 bytes: H
std::vector<uint8_t> BuildLeaveBody(const RequestContext& c, int userId, int chair);
std::vector<uint8_t> BuildClaimSilverRewardBody(const RequestContext& c, int index);
std::vector<uint8_t> BuildChatBody(const RequestContext& c, std::string_view utf8Text);
std::vector<uint8_t> BuildCallPlayerBody(const RequestContext& c, int userId, int chair);
std::vector<uint8_t> Build201180Body(const RequestContext& c, int value);
// Uses and does not clear the statistics.
std::vector<uint8_t> BuildKeepAliveBody(int userId, const RequestStats& stats);
std::vector<uint8_t> Build214102Body(const RequestContext& c, std::string_view ownName);
std::vector<uint8_t> BuildSafeBoxBody(const RequestContext& c);  // 200040, 200043
// direction 1 save (200042), 2 take (200041).
std::vector<uint8_t> BuildSilverTransferBody(const RequestContext& c, int amount, int protection,
                                             int ownSilver, int direction);
std::vector<uint8_t> BuildDoleConfigBody(const RequestContext& c, int value);
std::vector<uint8_t> BuildClaimDoleBody(const RequestContext& c, std::string_view ownName,
                                        int value, int kind);
std::vector<uint8_t> BuildClaimDole2Body(const RequestContext& c, std::string_view ownName,
                                         int value, int kind);
// The 108-byte enter-game head; word 0 and 1 of the own player record are given.
std::vector<uint8_t> BuildEnterGameHeadBody(const RequestContext& c, int ownUserId, int ownFlagWord,
                                            bool quickCatch);

// Reading one 32-bit word of a reply; false when the reply is too short.
bool ReplyWord(const uint8_t* data, size_t length, size_t word, int32_t& out);

// The version check. `answered` is false when the request failed or carried no data.
struct VersionCheckOutcome {
    int result = 0;      // 1: versions agree
    std::string text;    // failure text
    int newerMajor = 0;  // set when the server's major is ahead, else 0
    int newerMinor = 0;  // set when the server's minor is ahead, else 0
};
VersionCheckOutcome EvaluateVersionReply(bool answered, const uint8_t* data, size_t length,
                                         int clientMajor, int clientMinor);

// The activity configuration.
struct ActivityEntry {
    int index = 0;
    int valueA = 0;
    int valueB = 0;
    std::string text;  // UTF-8
};
struct ActivityConfig {
    bool ok = false;
    bool enabled = false;
    int count = 0;  // n as the server sent it (for the log line)
    std::vector<ActivityEntry> entries;
};
ActivityConfig ParseActivityConfig(const uint8_t* data, size_t length, int activityCount);

// Leave: 1 when leaving is refused and `text` is to be shown.
int EvaluateLeaveReply(int code, const uint8_t* data, size_t length, std::string& text);

// Where the texts of the codes a request does not name itself come from: the hall's
// error texts and the general result texts. The connection gives its own (virtual)
// lookups, so that a game's texts reach these requests too; by default the plain tables.
struct ResultTexts {
    std::function<void(std::string&, int)> hallError = HallErrorText;
    std::function<void(std::string&, int)> general = [](std::string& text, int code) {
        GeneralResultText(text, code);
    };
};

// Claiming the silver reward: 1 on success, else 0 with a text.
int EvaluateClaimSilverReply(int code, const uint8_t* data, size_t length, const std::string& title,
                             std::string& text, const ResultTexts& texts = {});

// Save (direction 1) or take (direction 2) silver: 1 on success. `amount` may change
// (the 60092 case of saving).
int EvaluateSilverTransferReply(int direction, int code, const uint8_t* data, size_t length,
                                const std::string& title, std::string& text, int& amount,
                                const ResultTexts& texts = {});

// Result 10 with at least `n` bytes: copies them into `out` and returns 1; otherwise the
// hall's error text (or the short-reply text) and 0.
int CopySafeBoxReply(int code, const uint8_t* data, size_t length, uint8_t* out, size_t n,
                     std::string& text, const ResultTexts& texts = {});

// The change-table refusal line for the chat pane.
inline constexpr const char* kChangeTableTooOftenLine =
    " <z=qz系统通知> <c=255>您的换桌操作过于频繁，请稍等片刻!\r\n";
inline constexpr const char* kVersionBusyText = "服务器繁忙，请稍候再试。";

}  // namespace hqlv::framework
