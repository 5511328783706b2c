#pragma once
// The window base: a Qt widget that is also a message target, so that any thread can post
// to it by handle (the hand-off between threads), and that has numbered timers like the
// windows the framework was written for. Messages and timers run on the UI thread.
#include <QWidget>

#include "platform/core/message.h"

namespace hqlv::platform::ui {

class Window : public QWidget, public MessageTarget {
public:
    explicit Window(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~Window() override;

    Handle hwnd() const { return handle(); }

    // Numbered timers: onTimer(id) every period until killed or the window goes.
    bool SetTimer(uint32_t id, uint32_t periodMs);
    bool KillTimer(uint32_t id);

    // MessageTarget: timers go to onTimer, everything else to handleMessage.
    intptr_t onMessage(const Message& msg) override;

protected:
    virtual intptr_t handleMessage(const Message& msg);
    virtual void onTimer(uint32_t id);
};

}  // namespace hqlv::platform::ui
