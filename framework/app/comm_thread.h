#pragma once
// The communication thread and the wait dialog. The thread relays every message the game
// connection's socket delivers to it (message 2025) on to the main frame, and passes the
// wait texts to the wait dialog. The dialog is a window of the UI thread (the window system
// lets only that thread draw): a text and an animated wait bar over the skin's "CommDlgBK"
// picture. While the UI thread is blocked in a wait (a request's answer, the connect, a
// pause), the wait's pump runs the dialog: its texts arrive, it paints, its bar turns by
// the clock and its auto-hide time is kept (OnBlockedWait).
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include <memory>
#include <mutex>
#include <thread>

#include "platform/core/event.h"
#include "platform/core/hall.h"
#include "platform/core/message.h"
#include "platform/ui/window.h"

namespace hqlv::framework {

class CHallSignBroker;

inline constexpr uint32_t kMsgCommSetTarget = 0x854D;  // w: the target window's handle
inline constexpr uint32_t kMsgCommEnd = 0x854E;
inline constexpr uint32_t kMsgCommWaitText = 0x8550;  // w: heap std::string* or 0, l: seconds
inline constexpr uint32_t kMsgSkinPath = 0x85B4;      // w: heap std::string* (skin path)
// The wait bar's period.
inline constexpr uint32_t kWaitBarPeriodMs = 200;

// A heap text travelling with a posted message, freed by whoever ends up with it.
platform::Message MakeTextMessage(uint32_t id, const std::string& text, intptr_t l);
void DisposeTextMessage(const platform::Message& msg);

// The six colours of the wait bar: the bright segment in the foreground colour, each
// segment further out a step closer to the background, never past it.
std::array<uint32_t, 6> WaitBarColors(uint32_t fg, uint32_t bg, int brightIndex = 3);
// One animation step: the colours move one place up (direction 1) or down (0).
void RotateWaitBar(std::array<uint32_t, 6>& colors, int direction);

class CCommWaitDlg : public platform::ui::Window {
public:
    CCommWaitDlg();
    ~CCommWaitDlg() override;

    void LoadSkin(const std::string& skinPath);
    void ShowText(const std::string& text, int seconds);
    void HideWait();
    std::string text() const { return text_; }
    bool autoHideRunning() const { return autoHideTimer_ != 0; }
    // One step while the UI thread waits: the bar turns when its period has passed, the
    // dialog hides when its time is up, and it paints at once.
    void OnBlockedWait();
    // Turns of the bar so far, and how many of them were painted since the dialog showed.
    int turns() const { return turns_; }
    int paintedTurns() const { return paintedTurns_; }
    const std::array<uint32_t, 6>& barColors() const { return colors_; }

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void onTimer(uint32_t id) override;
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void Turn();
    std::string text_;
    uint32_t autoHideTimer_ = 0;
    uint32_t autoHideStart_ = 0, autoHideMs_ = 0;
    uint32_t lastTurn_ = 0;
    int turns_ = 0, paintedTurns_ = 0, lastPaintedTurn_ = 0;
    QImage background_;
    std::array<uint32_t, 6> colors_;
    uint32_t barBg_ = 0x429473;
};

class CGameCommThread {
public:
    CGameCommThread();
    ~CGameCommThread();

    bool Start();
    // Posts the end message and waits up to waitMs for the thread. A thread that has not
    // ended by then is let go: it keeps what it works on and ends by itself (or with the
    // process); nothing it does reaches this object any more. True when it ended in time.
    bool Stop(int waitMs = 1000);
    platform::ThreadId threadId() const;
    // Opens the window of this thread that the hall sends its sign answers (record kind 14)
    // to, and hands them to the broker. Its handle for the hall; 0 when it cannot be opened.
    platform::Handle OpenSignWindow(CHallSignBroker* broker);
    // Where wait texts go (the wait dialog's handle).
    void SetWaitDialog(platform::Handle dialog) { core_->waitDialog = dialog; }
    platform::Handle target() const { return core_->target; }
    // Messages relayed and dropped so far (diagnostics and tests).
    int relayed() const { return core_->relayed; }
    int dropped() const { return core_->dropped; }

private:
    // What the thread works on: it lives as long as the thread or this object needs it.
    struct Core {
        platform::MessageLoop loop;
        std::atomic<platform::Handle> target{0};
        std::atomic<platform::Handle> waitDialog{0};
        std::atomic<int> relayed{0}, dropped{0};
        // Guards broker: a late stop lets go of it only once no answer is being handed to it.
        std::mutex brokerLock;
        CHallSignBroker* broker = nullptr;
        std::unique_ptr<platform::FunctionTarget> signTarget;
        platform::Event ended{true};
        void onThreadMessage(const platform::Message& msg);
    };
    std::shared_ptr<Core> core_;
    std::thread thread_;
    bool started_ = false;
    std::unique_ptr<platform::HallEndpoint> signEndpoint_;
};

}  // namespace hqlv::framework
