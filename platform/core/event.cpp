#include "platform/core/event.h"

#include <chrono>

namespace hqlv::platform {

void Event::set() {
    // Notify under the lock: a waiter that returns may destroy the event at once, so the
    // condition variable must not be touched after the lock is given up.
    std::lock_guard lock(mu_);
    set_ = true;
    if (manual_) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

void Event::reset() {
    std::lock_guard lock(mu_);
    set_ = false;
}

bool Event::isSet() const {
    std::lock_guard lock(mu_);
    return set_;
}

bool Event::wait(int timeoutMs) {
    std::unique_lock lock(mu_);
    auto ready = [this] { return set_; };
    if (timeoutMs < 0) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (!manual_) set_ = false;
    return true;
}

}  // namespace hqlv::platform
