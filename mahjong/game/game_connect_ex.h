#pragma once
// CGameConnectEx: this game's connection: the mahjong requests and the exit request with
// its answer.
#include "mahjong/app/mj_client.h"

namespace hqlv::mahjong {

inline constexpr int kReqExitRequest = 400006;
inline constexpr int kReqExitAnswer = 400007;
inline constexpr size_t kExitReasonBytes = 64;

class CGameConnectEx : public CMJGameClient {
public:
    using CMJGameClient::CMJGameClient;
    // The reason's text (GBK) goes into bytes 16 to 79, cut to 63 bytes and terminated.
    int SendExitRequest(const std::string& reasonGbk);
    int SendExitAnswer(int requesterUserId, int agree);
};

}  // namespace hqlv::mahjong
