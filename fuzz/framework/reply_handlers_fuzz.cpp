// Feeds arbitrary replies to every reply handler of the framework's requests, both the
// free handlers and the connection's request operations behind a socket layer that
// answers with the fuzzed bytes. The first byte picks a result code (one the handlers
// know, or the raw next four bytes), the rest is the reply data with its length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "framework/connection/framework_requests.h"
#include "framework/connection/game_connection.h"
#include "framework/connection/request_result.h"
#include "netlib/log.h"

using namespace hqlv::framework;

namespace {

constexpr int32_t kCodes[] = {10,     1000,   1010,   1011,   1030,   1031,   10000,  10100,
                              60005,  60019,  60029,  60031,  60042,  60070,  60071,  60086,
                              60092,  60095,  200500, 200510, 210030, 210070, 210085, 210086,
                              210087, 210090, 210091, 210092, 211421, 211422, 211424, 211425};

struct FuzzHost : GameConnectionHost {
    HallEntry entry{"HqLv", 21303, 2, 1};
    std::vector<uint8_t> block = std::vector<uint8_t>(40, 0);
    FuzzHost() {
        // Looker-on 0, silver room, option B with every bit the requests test.
        entry.ApplyHallCommandLine("1|127.0.0.1|2|3|4|5|6|7|0|0|t|0|4|16777410|0");
    }
    HallEntry& Entry() override { return entry; }
    std::string MachineId() override { return "m"; }
    bool MakeOwnPlayerEntry(std::vector<uint8_t>& e, int& flag) override {
        e.assign(136, 0);
        e[0] = 5;
        flag = 0;
        return true;
    }
    int PlayerChair(int) override { return 1; }
    int OwnSeatSilver() override { return 100; }
    std::string OwnPlayerName() override { return "n"; }
    void SetActivityConfig(bool, const std::vector<ActivityEntry>&) override {}
    void SetInGame(int) override {}
    std::span<uint8_t> GameDataBlock() override { return block; }
    // The application's handlers of these answers get exactly the reply's bytes.
    void TakePlayerList(const uint8_t* d, size_t n) override { Touch(d, n); }
    void SilverBelowRoomMinimum(const uint8_t* d, size_t n) override { Touch(d, n); }
    void SilverAboveRoomMaximum(const uint8_t* d, size_t n) override { Touch(d, n); }
    void AppendChatMarkup(const std::string&) override {}
    static void Touch(const uint8_t* d, size_t n) {
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < n; ++i) sum = sum + d[i];
    }
};

// Answers every request with the fuzzed code and a fresh heap copy of exactly the data.
struct FuzzConnection : CGameConnection {
    using CGameConnection::CGameConnection;
    int32_t code = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
    int IsConnected() const override { return 1; }
    int SendRequestWait(const hqlv::netlib::YrnEnvelope* env, const hqlv::netlib::YrnRecord*,
                        hqlv::netlib::YrnRecord* resp, int*, int, uint32_t, uint32_t, int,
                        const std::string&, int) override {
        if (!env->waitFlag) return 1;
        resp->head[1] = code;
        resp->length = static_cast<int32_t>(size);
        resp->data = nullptr;
        if (size) {
            resp->data = new uint8_t[size];
            std::memcpy(resp->data, data, size);
        }
        return 1;
    }
};

void RunFreeHandlers(int32_t code, const uint8_t* p, size_t n) {
    std::string text;
    int amount = 0;
    EvaluateVersionReply(true, p, n, 2, 1);
    ParseActivityConfig(p, n, 7);
    EvaluateLeaveReply(code, p, n, text);
    EvaluateClaimSilverReply(code, p, n, "t", text);
    EvaluateSilverTransferReply(1, code, p, n, "t", text, amount);
    EvaluateSilverTransferReply(2, code, p, n, "t", text, amount);
    uint8_t box[kSafeBoxBytes];
    CopySafeBoxReply(code, p, n, box, sizeof box, text);
    CopySafeBoxReply(code, p, n, box, kProtectionBytes, text);
    int32_t w;
    ReplyWord(p, n, static_cast<size_t>(code) & 0xFF, w);
    ServerTextFromReply(p, n);
    GameResultText(text, code);
    GeneralResultText(text, code);
    HallErrorText(text, code);
}

void RunRequests(int32_t code, const uint8_t* p, size_t n) {
    FuzzHost host;
    FuzzConnection conn(&host);
    conn.code = code;
    conn.data = p;
    conn.size = n;
    std::string text;
    int major = 0, minor = 0, amount = 50, out = 0;
    uint8_t box[32], protection[24], dole[124];
    conn.CheckVersion(text, &major, &minor);
    conn.GetActivityConfig();
    conn.EnterGame(text);
    conn.IsGameRunning();
    conn.RefreshGameData();
    conn.ClaimSilverReward(text, 1);
    conn.LeaveGame(text, 5, 7);
    conn.CheckSilverRange(text);
    conn.ChangeTable(text);
    conn.SendRequest201302(text);
    conn.OpenSafeBox(text, box);
    conn.QueryProtection(text, protection);
    conn.SaveSilver(text, amount);
    conn.TakeSilver(text, 50, 1);
    conn.GetDoleConfig(text, 0, dole);
    conn.ClaimDole(text, 0, 0, &out);
    conn.ClaimDole2(text, 0, 1, &out);
    conn.SendKeepAlive();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The activity log line stays in memory; no daily file per input.
    hqlv::netlib::YrnLogOpen(nullptr, hqlv::netlib::kLogLineEnd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int32_t code;
    size_t used = 1;
    if (data[0] < sizeof kCodes / sizeof kCodes[0]) {
        code = kCodes[data[0]];
    } else {
        if (size < 5) return 0;
        std::memcpy(&code, data + 1, 4);
        used = 5;
    }
    // A copy of exactly the reply's length, so any read past it is caught.
    std::vector<uint8_t> reply(data + used, data + size);
    const uint8_t* p = reply.empty() ? nullptr : reply.data();
    RunFreeHandlers(code, p, reply.size());
    RunRequests(code, p, reply.size());
    return 0;
}
