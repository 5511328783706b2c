#include "framework/hall/hall_sign.h"

#include <chrono>

#include "platform/core/wait_pump.h"

namespace hqlv::framework {

uint32_t CHallSignBroker::Begin(int userId) {
    std::lock_guard<std::mutex> lock(mu_);
    uint32_t id = next_++;
    if (next_ == 0) next_ = 1;
    pending_[id] = Pending{userId, false, {}};
    return id;
}

bool CHallSignBroker::Wait(uint32_t id, int timeoutMs, std::string* sign) {
    std::unique_lock<std::mutex> lock(mu_);
    auto done = [&] {
        auto it = pending_.find(id);
        return it == pending_.end() || it->second.answered;
    };
    platform::waitForPumped(cv_, lock, timeoutMs, done);
    auto it = pending_.find(id);
    if (it == pending_.end()) return false;
    bool answered = it->second.answered;
    if (sign) *sign = answered ? it->second.sign : std::string();
    pending_.erase(it);
    return answered;
}

bool CHallSignBroker::Answer(const HallSignAnswer& a) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = pending_.find(a.requestId);
    if (it == pending_.end() || it->second.answered) return false;
    // An answer for another user still releases the request, without a text.
    if (a.userId == it->second.userId) it->second.sign = a.sign.substr(0, 255);
    it->second.answered = true;
    cv_.notify_all();
    return true;
}

size_t CHallSignBroker::waiting() const {
    std::lock_guard<std::mutex> lock(mu_);
    return pending_.size();
}

}  // namespace hqlv::framework
