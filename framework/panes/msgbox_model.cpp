#include "framework/panes/msgbox_model.h"

namespace hqlv::framework {

MsgBoxStyle StyleOf(int style) {
    switch (style) {
        case 0:
            return {MsgBoxIcon::kInformation, false};
        case 16:
            return {MsgBoxIcon::kStop, false};
        case 48:
            return {MsgBoxIcon::kExclamation, false};
        case 65:
            return {MsgBoxIcon::kInformation, true};
        case 33:
            return {MsgBoxIcon::kQuestion, true};
        default:
            return {MsgBoxIcon::kNone, true};
    }
}

MsgBoxCountdown::MsgBoxCountdown(int seconds, int style, bool modeless, Clock clock)
    : seconds_(seconds),
      cancelEnabled_(StyleOf(style).cancelEnabled),
      running_(true),
      clock_(std::move(clock)),
      last_(clock_ ? clock_() : 0) {
    if (modeless && seconds_ <= 0) seconds_ = 10;
    if (seconds_ <= 0) running_ = false;
}

MsgBoxResult MsgBoxCountdown::tick() {
    if (!running_) return kMsgBoxNone;
    --seconds_;
    if (seconds_ > 0) return kMsgBoxNone;
    seconds_ = 0;
    running_ = false;
    return cancelEnabled_ ? kMsgBoxCancel : kMsgBoxOk;
}

MsgBoxResult MsgBoxCountdown::poll() {
    if (!running_ || !clock_) return kMsgBoxNone;
    uint32_t now = clock_();
    uint32_t elapsed = now - last_;  // wraps correctly
    while (elapsed >= 1000 && running_) {
        elapsed -= 1000;
        last_ += 1000;
        MsgBoxResult r = tick();
        if (r != kMsgBoxNone) return r;
    }
    return kMsgBoxNone;
}

int FitExtraHeight(int measuredHeight, int itemHeight, int extraHeight, int extraWidth) {
    if (extraHeight != 0 || extraWidth != 0) return extraHeight;
    return measuredHeight > itemHeight ? measuredHeight - itemHeight : 0;
}

}  // namespace hqlv::framework
