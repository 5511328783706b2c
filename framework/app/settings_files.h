#pragma once
// Machine id, the signature of activity links and the activity list: the parts of the
// program's settings and link signing that need no window.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hqlv::framework {

struct NetAdapter {
    int type = 0;  // 6: Ethernet
    std::vector<uint8_t> address;
};

// The first 31 lower-case hexadecimal digits of a 128-byte zeroed buffer filled with the
// hardware addresses of the Ethernet adapters, in order; empty when there is none.
std::string MachineIdFromAdapters(const std::vector<NetAdapter>& adapters);

// Where the id comes from when no adapter gives one: the stored id, and a way to store a
// fresh one.
struct MachineIdStore {
    std::function<std::string()> readStored;              // "SYSTEM"/"UniqueID"
    std::function<void(const std::string&)> writeStored;  // writes it back
    std::function<std::string()> newUuid;                 // a fresh UUID text; empty: none
};
std::string GetMachineID(const std::vector<NetAdapter>& adapters, const MachineIdStore& store);

// MD5 of the text's bytes as 32 lower-case hexadecimal digits.
std::string SignUrlParams(const std::string& text);

// The activity list: the seven keys in index order.
inline constexpr std::array<const char*, 7> kActivityKeys = {
    "atv_signin", "atv_low",     "atv_recharge", "atv_exchange",
    "atv_quest",  "atv_lottery", "atv_rankmatch"};

struct SignedLinkInput {
    int hallId = 0;
    int gameId = 0;
    std::string gameCode;
    int userId = 0;
    int64_t unixTime = 0;
    std::string signKey;
};
// "&v_sign=<md5>&unix_time=<t>" for the recharge activity's source text
// "hall_id%dgame_id%dgame_code%suser_id%dunix_time%ld%s".
std::string RechargeSignature(const SignedLinkInput& in);

// The signed page of an activity: its page, for the recharge activity (index 2) the
// signature and time, then the page passed through the web-address builder (which adds
// the user id and the hall's sign), then "&game_id=%d&game_code=%s&hall_id=%d". An index
// outside 0 to 6 gives an empty text.
std::string BuildSignedActivityUrl(int index, const std::string& page, const SignedLinkInput& in,
                                   const std::function<std::string(const std::string&)>& webUrl);

}  // namespace hqlv::framework
