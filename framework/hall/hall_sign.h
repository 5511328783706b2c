#pragma once
// Sign requests to the hall: the UI thread asks the hall for a sign text (message 0x910C)
// and waits; the hall's answer (record kind 14) arrives on the communication thread. Each
// request has an id of its own that travels to the hall and back, so an answer finds its
// request by id only; an answer for a request that is no longer waiting (it timed out, or
// never was) touches nothing.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "framework/hall/hall_records.h"

namespace hqlv::framework {

class CHallSignBroker {
public:
    // A new request for the user; its id (never 0).
    uint32_t Begin(int userId);
    // Waits up to timeoutMs for the answer and ends the request either way. True when an
    // answer came; *sign gets its text (empty when the answer was for another user).
    bool Wait(uint32_t id, int timeoutMs, std::string* sign);
    // Hands an answer to its request. False when no request with that id is waiting.
    bool Answer(const HallSignAnswer& answer);
    size_t waiting() const;

private:
    struct Pending {
        int userId = 0;
        bool answered = false;
        std::string sign;
    };
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::map<uint32_t, Pending> pending_;
    uint32_t next_ = 1;
};

}  // namespace hqlv::framework
