#include "platform/ui/window.h"

#include "platform/ui/ui_loop.h"

namespace hqlv::platform::ui {

Window::Window(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    attach(uiDispatcher());
}

Window::~Window() {
    detach();
}

bool Window::SetTimer(uint32_t id, uint32_t periodMs) {
    return platform::setTimer(handle(), id, periodMs);
}

bool Window::KillTimer(uint32_t id) {
    return platform::killTimer(handle(), id);
}

intptr_t Window::onMessage(const Message& msg) {
    if (msg.id == kTimerMessage) {
        onTimer(static_cast<uint32_t>(msg.w));
        return 0;
    }
    return handleMessage(msg);
}

intptr_t Window::handleMessage(const Message&) {
    return 0;
}

void Window::onTimer(uint32_t) {}

}  // namespace hqlv::platform::ui
