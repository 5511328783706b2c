#include "platform/core/message.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <unordered_map>
#include <vector>

#include "platform/core/diag.h"

namespace hqlv::platform {

namespace detail {
struct SendState {
    enum State { Pending, Running, Done, Failed, Abandoned };
    std::mutex mu;
    std::condition_variable cv;
    State state = Pending;
    intptr_t result = 0;

    void finish(State s, intptr_t r) {
        {
            std::lock_guard lock(mu);
            if (state == Abandoned) return;
            state = s;
            result = r;
        }
        cv.notify_all();
    }
};
}  // namespace detail

namespace {

struct Entry {
    MessageTarget* target;
    Dispatcher* dispatcher;
    Handle parent = 0;
};

// The registry lives for the whole process (never destroyed, so targets destroyed during
// static destruction still find it).
struct Registry {
    std::mutex mu;
    std::unordered_map<Handle, Entry> map;
    Handle next = firstHandle();

    // Handles start at a random point so that two processes rarely hand out the same
    // numbers (window handles travel between the hall and the client).
    static Handle firstHandle() {
        uint32_t v = 0;
        if (getrandom(&v, sizeof v, 0) != sizeof v) v = static_cast<uint32_t>(getpid()) << 12;
        return 0x10000u + v % 0x3FFF0000u;
    }
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

MessageTarget* lookupTarget(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(h);
    return it == r.map.end() ? nullptr : it->second.target;
}

// The target behind a loop's thread id: hands thread messages to the loop's handler.
class LoopThreadTarget : public MessageTarget {
public:
    ~LoopThreadTarget() override { detach(); }
    void set(std::function<void(const Message&)> h) {
        std::lock_guard lock(mu_);
        handler_ = std::move(h);
        has_ = static_cast<bool>(handler_);
    }
    bool hasHandler() const { return has_; }
    intptr_t onMessage(const Message& m) override {
        std::function<void(const Message&)> h;
        {
            std::lock_guard lock(mu_);
            h = handler_;
        }
        if (h) {
            h(m);
        } else if (m.dispose) {
            m.dispose(m);
        }
        return 0;
    }

private:
    std::mutex mu_;
    std::function<void(const Message&)> handler_;
    std::atomic<bool> has_{false};
};

}  // namespace

// ---- Delivery ----

Delivery::Delivery(Handle target, const Message& msg, std::shared_ptr<detail::SendState> send)
    : target_(target), msg_(msg), send_(std::move(send)), pending_(true) {}

Delivery::Delivery(Delivery&& o) noexcept
    : target_(o.target_), msg_(o.msg_), send_(std::move(o.send_)), pending_(o.pending_) {
    o.pending_ = false;
}

Delivery& Delivery::operator=(Delivery&& o) noexcept {
    if (this != &o) {
        drop();
        target_ = o.target_;
        msg_ = o.msg_;
        send_ = std::move(o.send_);
        pending_ = o.pending_;
        o.pending_ = false;
    }
    return *this;
}

Delivery::~Delivery() {
    drop();
}

void Delivery::release() {
    pending_ = false;
    send_.reset();
}

void Delivery::drop() {
    if (!pending_) return;
    pending_ = false;
    if (send_) {
        // The sender keeps ownership of a sent message; it only learns of the failure.
        send_->finish(detail::SendState::Failed, 0);
        send_.reset();
    } else if (msg_.dispose) {
        msg_.dispose(msg_);
    }
}

void Delivery::run() {
    if (!pending_) return;
    pending_ = false;
    if (send_) {
        auto state = std::move(send_);
        {
            std::lock_guard lock(state->mu);
            if (state->state == detail::SendState::Abandoned) return;
            state->state = detail::SendState::Running;
        }
        MessageTarget* t = lookupTarget(target_);
        intptr_t r = t ? t->onMessage(msg_) : 0;
        state->finish(t ? detail::SendState::Done : detail::SendState::Failed, r);
        return;
    }
    if (MessageTarget* t = lookupTarget(target_)) {
        t->onMessage(msg_);
    } else if (msg_.dispose) {
        msg_.dispose(msg_);
    }
}

// ---- Dispatcher and targets ----

Dispatcher::~Dispatcher() {
    detachAllTargets();
}

void Dispatcher::detachAllTargets() {
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    for (auto& [h, e] : r.map) {
        if (e.dispatcher == this) e.dispatcher = nullptr;
    }
}

MessageTarget::~MessageTarget() {
    detach();
}

Handle MessageTarget::attach(Dispatcher& dispatcher) {
    detach();
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    Handle h;
    do {
        h = r.next++;
        if (r.next == 0 || r.next >= 0x7FFFFFFFu) r.next = 0x10000;
    } while (h == 0 || r.map.count(h));
    r.map[h] = Entry{this, &dispatcher};
    handle_ = h;
    return h;
}

void MessageTarget::detach() {
    if (!handle_) return;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(handle_);
    if (it != r.map.end()) {
        Dispatcher* d = it->second.dispatcher;
        r.map.erase(it);
        if (d) d->forgetTarget(handle_);
    }
    handle_ = 0;
}

bool isAlive(Handle h) {
    if (!h) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    return r.map.count(h) != 0;
}

bool setParent(Handle child, Handle parent) {
    if (!child) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(child);
    if (it == r.map.end()) return false;
    it->second.parent = parent;
    return true;
}

Handle parentOf(Handle child) {
    if (!child) return 0;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(child);
    if (it == r.map.end() || !it->second.parent) return 0;
    return r.map.count(it->second.parent) ? it->second.parent : 0;
}

bool post(Handle target, const Message& msg) {
    if (!target) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(target);
    if (it == r.map.end() || !it->second.dispatcher) return false;
    Delivery d(target, msg);
    if (!it->second.dispatcher->enqueue(d)) {
        d.release();
        return false;
    }
    return true;
}

bool postToThread(ThreadId thread, const Message& msg) {
    if (!thread) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(thread);
    if (it == r.map.end() || !it->second.dispatcher) return false;
    auto* tt = dynamic_cast<LoopThreadTarget*>(it->second.target);
    if (!tt || !tt->hasHandler()) return false;
    Delivery d(thread, msg);
    if (!it->second.dispatcher->enqueue(d)) {
        d.release();
        return false;
    }
    return true;
}

bool send(Handle target, const Message& msg, intptr_t* result, int timeoutMs) {
    if (!target) return false;
    auto state = std::make_shared<detail::SendState>();
    {
        Registry& r = registry();
        std::unique_lock lock(r.mu);
        auto it = r.map.find(target);
        if (it == r.map.end() || !it->second.dispatcher) return false;
        if (it->second.dispatcher->onDispatcherThread()) {
            MessageTarget* t = it->second.target;
            lock.unlock();
            intptr_t res = t->onMessage(msg);
            if (result) *result = res;
            return true;
        }
        Delivery d(target, msg, state);
        if (!it->second.dispatcher->enqueue(d)) {
            d.release();
            return false;
        }
    }
    std::unique_lock lock(state->mu);
    auto finished = [&] {
        return state->state == detail::SendState::Done || state->state == detail::SendState::Failed;
    };
    if (timeoutMs < 0) {
        state->cv.wait(lock, finished);
    } else if (!state->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished)) {
        if (state->state == detail::SendState::Pending) {
            state->state = detail::SendState::Abandoned;
            return false;
        }
        // Already running: the handler may be reading the sender's data; wait for it.
        state->cv.wait(lock, finished);
    }
    if (state->state != detail::SendState::Done) return false;
    if (result) *result = state->result;
    return true;
}

bool setTimer(Handle target, uint32_t id, uint32_t periodMs) {
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(target);
    if (it == r.map.end() || !it->second.dispatcher) return false;
    return it->second.dispatcher->setTimer(target, id, periodMs);
}

bool killTimer(Handle target, uint32_t id) {
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.map.find(target);
    if (it == r.map.end() || !it->second.dispatcher) return false;
    return it->second.dispatcher->killTimer(target, id);
}

// ---- MessageLoop ----

MessageLoop::MessageLoop(Clock* clock) : clock_(clock) {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) diagf("message loop: eventfd failed (errno %d)", errno);
    threadTarget_ = std::make_unique<LoopThreadTarget>();
    threadTarget_->attach(*this);
}

MessageLoop::~MessageLoop() {
    quit();
    join();
    threadTarget_.reset();
    detachAllTargets();
    std::deque<Delivery> rest;
    {
        std::lock_guard lock(mu_);
        accepting_ = false;
        rest.swap(queue_);
        timers_.clear();
        watches_.clear();
    }
    rest.clear();  // disposes what never got delivered
    if (wakeFd_ >= 0) close(wakeFd_);
}

uint32_t MessageLoop::now() const {
    return clock_ ? clock_->tickMs() : tickMs();
}

void MessageLoop::wake() {
    if (wakeFd_ < 0) return;
    uint64_t one = 1;
    ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;  // a full counter already means "wake up"
}

bool MessageLoop::start() {
    std::lock_guard lock(mu_);
    if (threadStarted_ || quit_) return false;
    threadStarted_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void MessageLoop::run() {
    while (processPending(kWaitForever)) {
    }
}

void MessageLoop::quit() {
    {
        std::lock_guard lock(mu_);
        quit_ = true;
        accepting_ = false;
    }
    wake();
}

void MessageLoop::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

ThreadId MessageLoop::threadId() const {
    return threadTarget_ ? threadTarget_->handle() : 0;
}

void MessageLoop::setThreadHandler(std::function<void(const Message&)> handler) {
    static_cast<LoopThreadTarget*>(threadTarget_.get())->set(std::move(handler));
}

bool MessageLoop::enqueue(Delivery& d) {
    {
        std::lock_guard lock(mu_);
        if (!accepting_) return false;
        queue_.push_back(std::move(d));
    }
    wake();
    return true;
}

bool MessageLoop::onDispatcherThread() const {
    return loopThread_.load() == std::this_thread::get_id();
}

bool MessageLoop::setTimer(Handle target, uint32_t id, uint32_t periodMs) {
    {
        std::lock_guard lock(mu_);
        if (quit_) return false;
        timers_[{target, id}] = Timer{std::max<uint32_t>(periodMs, 1), now()};
    }
    wake();
    return true;
}

bool MessageLoop::killTimer(Handle target, uint32_t id) {
    std::lock_guard lock(mu_);
    return timers_.erase({target, id}) != 0;
}

void MessageLoop::forgetTarget(Handle target) {
    std::lock_guard lock(mu_);
    for (auto it = timers_.begin(); it != timers_.end();) {
        it = it->first.first == target ? timers_.erase(it) : std::next(it);
    }
    for (auto it = watches_.begin(); it != watches_.end();) {
        it = it->second.target == target ? watches_.erase(it) : std::next(it);
    }
}

bool MessageLoop::watchSocket(int fd, Handle target, uint32_t msgId, uint32_t events) {
    if (fd < 0) return false;
    {
        std::lock_guard lock(mu_);
        if (events == 0) {
            watches_.erase(fd);
            return true;
        }
        if (!target) return false;
        Watch w{target,
                msgId,
                events,
                (events & kSocketConnect) != 0,
                (events & kSocketWrite) != 0,
                nextGeneration_++};
        watches_[fd] = w;
    }
    wake();
    return true;
}

void MessageLoop::wantWrite(int fd) {
    {
        std::lock_guard lock(mu_);
        auto it = watches_.find(fd);
        if (it == watches_.end()) return;
        it->second.writeArmed = true;
    }
    wake();
}

int MessageLoop::nextTimerWait() const {
    if (timers_.empty()) return kWaitForever;
    uint32_t t = now();
    uint32_t best = UINT32_MAX;
    for (const auto& [k, tm] : timers_) {
        uint32_t elapsed = t - tm.last;
        uint32_t left = elapsed >= tm.period ? 0 : tm.period - elapsed;
        best = std::min(best, left);
    }
    return static_cast<int>(std::min<uint32_t>(best, 0x7FFFFFFF));
}

namespace {
short pollMask(uint32_t events, bool connecting, bool writeArmed) {
    short m = 0;
    if (connecting) return POLLOUT;
    if (events & kSocketRead) m |= POLLIN;
    if (events & (kSocketRead | kSocketClose)) m |= POLLRDHUP;
    if ((events & kSocketWrite) && writeArmed) m |= POLLOUT;
    return m;
}

int pendingError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
    return err;
}
}  // namespace

void MessageLoop::updateWatch(int fd, uint64_t generation, bool remove, bool connected,
                              bool writeDone) {
    std::lock_guard lock(mu_);
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second.generation != generation) return;
    if (remove) {
        watches_.erase(it);
        return;
    }
    if (connected) {
        it->second.connecting = false;
        it->second.writeArmed = (it->second.events & kSocketWrite) != 0;
    }
    if (writeDone) it->second.writeArmed = false;
}

void MessageLoop::deliverSocket(int fd, short, const Watch& snapshot) {
    // Look at the socket again now: an earlier handler of this round may have read from it.
    Watch w;
    {
        std::lock_guard lock(mu_);
        auto it = watches_.find(fd);
        if (it == watches_.end() || it->second.generation != snapshot.generation) return;
        w = it->second;
    }
    pollfd p{fd, pollMask(w.events, w.connecting, w.writeArmed), 0};
    if (poll(&p, 1, 0) <= 0) return;
    short revents = p.revents;
    auto deliver = [&](uint32_t event, int err) {
        Delivery(w.target,
                 Message{w.msgId, static_cast<uintptr_t>(fd), makeSocketParam(event, err)})
            .run();
    };
    if (revents & POLLNVAL) {
        updateWatch(fd, w.generation, true, false, false);
        return;
    }
    if (w.connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        int err = pendingError(fd);
        if (err) {
            updateWatch(fd, w.generation, true, false, false);
            deliver(kSocketConnect, err);
            return;
        }
        updateWatch(fd, w.generation, false, true, false);
        deliver(kSocketConnect, 0);
        if (w.events & kSocketWrite) {
            {
                std::lock_guard lock(mu_);
                auto it = watches_.find(fd);
                if (it == watches_.end() || it->second.generation != w.generation ||
                    !it->second.writeArmed)
                    return;
                it->second.writeArmed = false;
            }
            deliver(kSocketWrite, 0);
        }
        return;
    }
    if (revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) {
        int err = (revents & POLLERR) ? pendingError(fd) : 0;
        int avail = 0;
        if (!err && ioctl(fd, FIONREAD, &avail) != 0) avail = 0;
        if (!err && avail > 0 && (w.events & kSocketRead)) {
            deliver(kSocketRead, 0);
            return;  // the close, if any, follows once the data has been taken
        }
        if (err || (revents & (POLLIN | POLLRDHUP | POLLHUP))) {
            updateWatch(fd, w.generation, true, false, false);
            if (w.events & kSocketClose) deliver(kSocketClose, err);
            return;
        }
    }
    if ((revents & POLLOUT) && (w.events & kSocketWrite) && w.writeArmed) {
        updateWatch(fd, w.generation, false, false, true);
        deliver(kSocketWrite, 0);
    }
}

void MessageLoop::runTimers() {
    std::vector<std::pair<Handle, uint32_t>> due;
    {
        std::lock_guard lock(mu_);
        uint32_t t = now();
        for (auto& [k, tm] : timers_) {
            if (t - tm.last >= tm.period) {
                due.push_back(k);
                tm.last = t;
            }
        }
    }
    for (const auto& k : due) {
        {
            std::lock_guard lock(mu_);
            if (!timers_.count(k)) continue;  // killed by an earlier handler of this round
        }
        Delivery(k.first, Message{kTimerMessage, k.second, 0, nullptr}).run();
    }
}

bool MessageLoop::processPending(int waitMs) {
    loopThread_.store(std::this_thread::get_id());
    std::vector<pollfd> fds;
    std::vector<Watch> snap;
    int timeout;
    {
        std::lock_guard lock(mu_);
        if (quit_) return false;
        fds.push_back(pollfd{wakeFd_, POLLIN, 0});
        snap.push_back(Watch{});
        for (const auto& [fd, w] : watches_) {
            fds.push_back(pollfd{fd, pollMask(w.events, w.connecting, w.writeArmed), 0});
            snap.push_back(w);
        }
        timeout = queue_.empty() ? waitMs : 0;
        int tw = nextTimerWait();
        if (tw >= 0 && (timeout < 0 || tw < timeout)) timeout = tw;
    }
    int n = poll(fds.data(), fds.size(), timeout);
    if (n < 0 && errno != EINTR) diagf("message loop: poll failed (errno %d)", errno);
    if (n > 0 && (fds[0].revents & POLLIN)) {
        uint64_t v;
        ssize_t r = read(wakeFd_, &v, sizeof v);
        (void)r;
    }
    std::deque<Delivery> batch;
    {
        std::lock_guard lock(mu_);
        batch.swap(queue_);
    }
    for (auto& d : batch) d.run();
    batch.clear();
    if (n > 0) {
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents) deliverSocket(fds[i].fd, fds[i].revents, snap[i]);
        }
    }
    runTimers();
    std::lock_guard lock(mu_);
    return !quit_;
}

}  // namespace hqlv::platform
