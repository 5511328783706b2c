#pragma once
// CGameNotifyEx: this game's router. It takes the exit request (400006) and the answer to
// one (400007) and passes every other id to the mahjong router.
#include "mahjong/app/mj_notify.h"

namespace hqlv::mahjong {

inline constexpr uint32_t kNotifyExitRequest = 400006;
inline constexpr uint32_t kNotifyExitAnswer = 400007;
inline constexpr size_t kExitRequestBytes = 80;  // the reason's 64 bytes from byte 16
inline constexpr size_t kExitAnswerBytes = 24;
inline constexpr int kExitChatColour = 2906200;

class CGameNotifyEx : public CMJGameNotify {
public:
    using CMJGameNotify::CMJGameNotify;
    bool OnNotify(uint32_t code, const void* data, size_t len) override;
    virtual bool OnExitRequest(framework::Body b);
    virtual bool OnExitAnswer(framework::Body b);
};

}  // namespace hqlv::mahjong
