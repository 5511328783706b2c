#include "mahjong/game/game_notify_ex.h"

#include <cstring>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "netlib/log.h"

namespace hqlv::mahjong {

using framework::Body;

bool CGameNotifyEx::OnNotify(uint32_t code, const void* data, size_t len) {
    Body b{static_cast<const uint8_t*>(data), data ? len : 0};
    if (code == kNotifyExitRequest) return OnExitRequest(b);
    if (code == kNotifyExitAnswer) return OnExitAnswer(b);
    return CMJGameNotify::OnNotify(code, data, len);
}

bool CGameNotifyEx::OnExitRequest(Body b) {
    if (!Need(b, kExitRequestBytes, kNotifyExitRequest)) return false;
    int requester = Word(b, 0);
    // The reason may fill its 64 bytes without a terminator.
    const char* p = reinterpret_cast<const char*>(b.data + 16);
    std::string reason = framework::GbkToUtf8(std::string_view(p, strnlen(p, 64)));
    if (CMJPlayerHooks* players = mj_.MJPlayers()) players->ShowExitAnswerDlg(requester, reason);
    std::string name = host_.appData().GetPlayerNameById(requester);
    mj_.AppendChat(framework::Format(" <c=%d>%s请求退出 \r\n", kExitChatColour, name.c_str()));
    return true;
}

bool CGameNotifyEx::OnExitAnswer(Body b) {
    if (!Need(b, kExitAnswerBytes, kNotifyExitAnswer)) return false;
    std::string answering = host_.appData().GetPlayerNameById(Word(b, 0));
    std::string requester = host_.appData().GetPlayerNameById(Word(b, 4));
    mj_.AppendChat(framework::Format(" <c=%d>%s%s%s的退出请求 \r\n", kExitChatColour,
                                     answering.c_str(), Word(b, 5) ? "答应" : "拒绝",
                                     requester.c_str()));
    return true;
}

}  // namespace hqlv::mahjong
