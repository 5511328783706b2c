#include "mahjong/scene/tool_button.h"

#include <cstdlib>
#include <cstring>

#include "engine/core/kernel.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kHoverHold = 12, kHoverEnd = 13;
constexpr uint32_t kShowTip = 210055, kHideTip = 210056;

}  // namespace

uint32_t CMJToolButton::HandleMessage(engine::EngineMessage& m) {
    engine::GameKernel* k = Kernel();
    if (m.code == kHoverHold) {
        // The queue takes the copy; the scene's handler reads it and the engine frees it.
        if (k && !tip_.empty())
            if (char* text = strdup(tip_.c_str()))
                k->PostMessage(kShowTip, engine::MessageData::Owned(text, &std::free));
        return 1;
    }
    if (m.code == kHoverEnd) {
        if (k) k->PostMessage(kHideTip, engine::MessageData());
        return 1;
    }
    return OnMessage(m);
}

}  // namespace hqlv::mahjong
