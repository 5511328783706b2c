#pragma once
// The thread of a window that is busy elsewhere: it takes deliveries but runs none of them
// until told, so tests can hold messages in flight deterministically.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/core/message.h"

class StalledDispatcher : public hqlv::platform::Dispatcher {
public:
    using Delivery = hqlv::platform::Delivery;
    using Handle = hqlv::platform::Handle;

    ~StalledDispatcher() override {
        detachAllTargets();
        dropHeld();
    }
    bool enqueue(Delivery& d) override {
        {
            std::lock_guard lock(mu_);
            held_.push_back(std::move(d));
        }
        cv_.notify_all();
        return true;
    }
    bool onDispatcherThread() const override { return false; }
    bool setTimer(Handle, uint32_t, uint32_t) override { return false; }
    bool killTimer(Handle, uint32_t) override { return false; }
    void forgetTarget(Handle) override {}

    // Waits until at least n deliveries are held.
    bool waitHeld(size_t n, int timeoutMs) {
        std::unique_lock lock(mu_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return held_.size() >= n; });
    }
    // Runs what is held, in order, on the calling thread.
    void runHeld() {
        for (auto& d : take()) d.run();
    }
    // Drops what is held without running it, as a loop that goes away does.
    void dropHeld() { take().clear(); }

private:
    std::vector<Delivery> take() {
        std::vector<Delivery> batch;
        std::lock_guard lock(mu_);
        batch.swap(held_);
        return batch;
    }
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<Delivery> held_;
};
