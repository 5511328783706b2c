#pragma once
// The logic of the program's own message boxes, without a window: which icon a style
// gives and whether Cancel is enabled, and the countdown that presses a button by itself.
// The window layer drives it once a second (or from any clock: it counts whole seconds
// of an injected millisecond clock, so a late timer loses no second).
#include <cstdint>
#include <functional>

namespace hqlv::framework {

enum class MsgBoxIcon { kNone, kInformation, kStop, kExclamation, kQuestion };
enum MsgBoxResult : int { kMsgBoxNone = 0, kMsgBoxOk = 1, kMsgBoxCancel = 2 };

struct MsgBoxStyle {
    MsgBoxIcon icon;
    bool cancelEnabled;
};
MsgBoxStyle StyleOf(int style);

class MsgBoxCountdown {
public:
    using Clock = std::function<uint32_t()>;  // wrapping milliseconds
    // seconds <= 0 on a modeless box keeps the default 10; a modal box with 0 seconds
    // never presses a button by counting down.
    MsgBoxCountdown(int seconds, int style, bool modeless, Clock clock);

    int seconds() const { return seconds_; }
    bool running() const { return running_; }
    // Counts the whole seconds passed since the last call; returns the button pressed
    // when the count reached 0 (Cancel when enabled, else OK), kMsgBoxNone otherwise.
    MsgBoxResult poll();
    // One timer tick of one second.
    MsgBoxResult tick();
    void stop() { running_ = false; }

private:
    int seconds_;
    bool cancelEnabled_;
    bool running_;
    Clock clock_;
    uint32_t last_;
};

// The extra height a text needs: measured height minus the text item's height, when
// neither an extra height nor an extra width was asked for.
int FitExtraHeight(int measuredHeight, int itemHeight, int extraHeight, int extraWidth);

}  // namespace hqlv::framework
