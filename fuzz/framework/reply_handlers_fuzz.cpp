// Feeds arbitrary replies to every reply handler of the framework's requests: the first
// four bytes choose the result code, the rest is the reply data with its length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/connection/framework_requests.h"
#include "framework/connection/request_result.h"

using namespace hqlv::framework;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    int32_t code;
    std::memcpy(&code, data, 4);
    // A copy of exactly the reply's length, so any read past it is caught.
    std::vector<uint8_t> reply(data + 4, data + size);
    const uint8_t* p = reply.empty() ? nullptr : reply.data();
    size_t n = reply.size();

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
    return 0;
}
