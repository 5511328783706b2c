#include "mahjong/game/game_connect_ex.h"

#include <cstring>

#include "framework/panes/player_records.h"
#include "framework/app/text_edge.h"

namespace hqlv::mahjong {

int CGameConnectEx::SendExitRequest(const std::string& reasonGbk) {
    std::vector<uint8_t> b = MakeBody(16 + kExitReasonBytes);
    std::string cut = framework::GbkCut(reasonGbk, kExitReasonBytes - 1);
    std::memcpy(b.data() + 16, cut.data(), cut.size());
    framework::RequestResult r;
    return SendRequest(r, kReqExitRequest, b, 0);
}

int CGameConnectEx::SendExitAnswer(int requesterUserId, int agree) {
    std::vector<uint8_t> b = MakeBody(40);
    framework::StoreWordLE(b.data(), b.size(), 4, requesterUserId);
    framework::StoreWordLE(b.data(), b.size(), 5, agree ? 1 : 0);
    framework::RequestResult r;
    return SendRequest(r, kReqExitAnswer, b, 0);
}

}  // namespace hqlv::mahjong
