#pragma once
// Message targets, dispatchers and worker-thread message loops.
//
// A message target is an object that receives messages on one thread: the thread of the
// dispatcher it is attached to. Attaching gives it a 32-bit handle from a process-wide
// registry; code that keeps handles instead of pointers asks isAlive() before use, and a
// post to a handle whose target is gone simply returns false.
//
// Ownership of what a message carries (w and l may hold heap pointers):
//  - post() returns false: nothing was queued; the sender still owns everything.
//  - post() returns true and the message is delivered: the receiver owns it.
//  - post() returns true but the message can no longer be delivered (the target went away
//    or its dispatcher shut down while it was queued): the message's disposer, when it has
//    one, is called exactly once so the blocks are freed. A message without a disposer is
//    dropped as it is.
//  - send() never transfers ownership: the handler only borrows what the message points to.
//
// Messages for one target are delivered in the order they were posted (per posting thread),
// always on the target's thread. A handler may post to its own target, send to it, or
// destroy it (delete this). Targets must be destroyed on their own thread, or while their
// dispatcher is not running.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/core/clock.h"

namespace hqlv::platform {

using Handle = uint32_t;    // 0 is never a valid handle
using ThreadId = uint32_t;  // a loop's thread id for postToThread; 0 is none

struct Message;
// Frees the blocks a queued message owns when it cannot be delivered.
using Disposer = void (*)(const Message& msg);

struct Message {
    uint32_t id = 0;
    uintptr_t w = 0;
    intptr_t l = 0;
    Disposer dispose = nullptr;
};

// The id of the message a timer delivers: w is the timer id, l is 0.
inline constexpr uint32_t kTimerMessage = 0x0113;

// Socket readiness, delivered as {the id given to watchSocket, w = the socket,
// l = event | (error << 16)}. An error is an errno value; 0 means none.
inline constexpr uint32_t kSocketRead = 0x01;
inline constexpr uint32_t kSocketWrite = 0x02;
inline constexpr uint32_t kSocketConnect = 0x10;
inline constexpr uint32_t kSocketClose = 0x20;
inline uint32_t socketEvent(intptr_t l) {
    return static_cast<uint32_t>(l) & 0xFFFF;
}
inline int socketError(intptr_t l) {
    return static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0xFFFF);
}
inline intptr_t makeSocketParam(uint32_t event, int error) {
    return static_cast<intptr_t>((event & 0xFFFF) | (static_cast<uint32_t>(error & 0xFFFF) << 16));
}

namespace detail {
struct SendState;
}

// One queued delivery of a message to a target. A dispatcher keeps these in its queue and
// calls run() on its thread. Destroying a Delivery that never ran disposes its message (or,
// for a send, tells the waiting sender that it failed), so dropping a queue is always safe.
class Delivery {
public:
    Delivery() = default;
    Delivery(Handle target, const Message& msg, std::shared_ptr<detail::SendState> send = {});
    Delivery(Delivery&& other) noexcept;
    Delivery& operator=(Delivery&& other) noexcept;
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;
    ~Delivery();

    Handle target() const { return target_; }
    const Message& message() const { return msg_; }
    // Delivers on the calling thread (the target's): the target's onMessage runs, or the
    // message is disposed when the target is gone. Runs at most once.
    void run();
    // Forgets the message without disposing it (the sender keeps ownership).
    void release();

private:
    void drop();
    Handle target_ = 0;
    Message msg_;
    std::shared_ptr<detail::SendState> send_;
    bool pending_ = false;
};

// How a target's messages reach its thread. MessageLoop implements it for worker threads;
// the UI layer implements it over its own event loop. Implementations must be thread-safe:
// every member may be called from any thread, and enqueue, setTimer, killTimer and
// forgetTarget are called while the target registry is locked, so they must not call
// post, send, isAlive, attach or detach themselves, nor run or drop a Delivery there.
class Dispatcher {
public:
    virtual ~Dispatcher();
    // Queues d to run on the dispatcher's thread and takes it (moves from d). Returns false
    // when the dispatcher accepts no more work; then d is left untouched.
    virtual bool enqueue(Delivery& d) = 0;
    // True on the dispatcher's own thread.
    virtual bool onDispatcherThread() const = 0;
    // Starts or restarts timer (target, id) with the period; the dispatcher delivers
    // kTimerMessage to the target every period. Returns false when it cannot.
    virtual bool setTimer(Handle target, uint32_t id, uint32_t periodMs) = 0;
    virtual bool killTimer(Handle target, uint32_t id) = 0;
    // The target detached: drop its timers and anything else kept for it.
    virtual void forgetTarget(Handle target) = 0;

protected:
    // Implementations call this first thing in their destructor (and may call it earlier
    // when shutting down): every target attached to this dispatcher stops receiving; posts
    // to them return false from then on.
    void detachAllTargets();
};

class MessageTarget {
public:
    MessageTarget() = default;
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;
    virtual ~MessageTarget();

    // Registers the target with a dispatcher and returns its new handle (detaching first
    // when attached). The dispatcher must outlive the attachment or detach it itself.
    Handle attach(Dispatcher& dispatcher);
    // Unregisters: the handle dies, timers stop, queued messages get disposed. Idempotent.
    void detach();
    Handle handle() const { return handle_; }

    // Runs on the target's thread. The result is what send() returns to its caller.
    virtual intptr_t onMessage(const Message& msg) = 0;

private:
    Handle handle_ = 0;
};

// A target whose handler is a function; handy for hidden-window-like helpers and tests.
class FunctionTarget : public MessageTarget {
public:
    using Handler = std::function<intptr_t(const Message&)>;
    explicit FunctionTarget(Handler h) : handler_(std::move(h)) {}
    ~FunctionTarget() override { detach(); }
    intptr_t onMessage(const Message& msg) override { return handler_ ? handler_(msg) : 0; }

private:
    Handler handler_;
};

// True while a target holds the handle.
bool isAlive(Handle h);

// The parent of a target, as a child window has one (progress windows report to their
// parent). setParent is false when the child is not alive; the link goes with the child.
// parentOf gives 0 when there is none or the parent is gone.
bool setParent(Handle child, Handle parent);
Handle parentOf(Handle child);

// Queues msg for the target. Thread-safe. False when nobody will receive it (no such
// target, or its dispatcher is gone or stopped); the sender keeps ownership then.
bool post(Handle target, const Message& msg);

// Posts a thread message to a loop's thread handler (MessageLoop::threadId()). False when
// the id is no loop's, or the loop is gone, stopped or has no thread handler.
bool postToThread(ThreadId thread, const Message& msg);

inline constexpr int kWaitForever = -1;
// Runs the target's handler with msg and waits for it. On the target's own thread the
// handler runs at once; from another thread the call waits, at most timeoutMs when that
// is not kWaitForever. A time-out cancels a send that has not started; one that has
// started is waited for, so the handler never sees freed data. Returns false when the
// target is gone, its dispatcher refuses, or the time ran out; *result gets the handler's
// answer otherwise. Do not send between two threads that wait on each other.
bool send(Handle target, const Message& msg, intptr_t* result = nullptr,
          int timeoutMs = kWaitForever);

// Timers keyed by (target, id); setting an existing one restarts it with the new period.
// Thread-safe. False when the target is gone (setTimer) or had no such timer (killTimer).
bool setTimer(Handle target, uint32_t id, uint32_t periodMs);
bool killTimer(Handle target, uint32_t id);

// A message loop for a worker thread: a queue woken through an eventfd, the sockets it
// watches (poll) and its timers. Run it on a thread of its own with start(), or drive it
// from the calling thread with run() or processPending(). All members are thread-safe
// except that run()/processPending() must only ever be called from one thread at a time.
class MessageLoop : public Dispatcher {
public:
    // Timers use the given clock, or the process clock (clock.h) when null.
    explicit MessageLoop(Clock* clock = nullptr);
    // Quits, joins its thread and disposes what is still queued. Never destroy a loop from
    // inside one of its own handlers.
    ~MessageLoop() override;

    // Starts a thread that runs the loop. False when it is already running or has quit.
    bool start();
    // Runs until quit() on the calling thread.
    void run();
    // Stops accepting messages and ends run() after the current round. Thread-safe.
    void quit();
    // One round: waits up to waitMs (kWaitForever: until something happens, 0: not at
    // all) for queued messages, socket readiness or a due timer, then delivers what is
    // there. Returns false once quit() was called.
    bool processPending(int waitMs);
    // Blocks until the loop thread started by start() has ended (after quit()).
    void join();

    // The id for postToThread; thread messages go to the handler set here, on the loop's
    // thread. While no handler is set postToThread returns false; a message queued before
    // the handler was cleared is disposed.
    ThreadId threadId() const;
    void setThreadHandler(std::function<void(const Message&)> handler);

    // Watches a non-blocking socket for the target (like an asynchronous select):
    // events is a mask of kSocket*; 0 stops watching. Readiness arrives as msgId:
    //  - kSocketConnect once when a pending connect finishes (error in the high half; a
    //    failed connect ends the watch), followed by kSocketWrite when that is watched;
    //  - kSocketRead while data is waiting (again after each round that leaves data);
    //  - kSocketWrite once when the watch starts on a connected socket, and again only
    //    after wantWrite() (call it when a send would block);
    //  - kSocketClose once when the peer closed or the socket failed (error in the high
    //    half), after the data before it was offered as kSocketRead; the watch then ends.
    // Stop watching before closing the socket. Returns false for a bad socket or target.
    bool watchSocket(int fd, Handle target, uint32_t msgId, uint32_t events);
    void wantWrite(int fd);

    // Dispatcher
    bool enqueue(Delivery& d) override;
    bool onDispatcherThread() const override;
    bool setTimer(Handle target, uint32_t id, uint32_t periodMs) override;
    bool killTimer(Handle target, uint32_t id) override;
    void forgetTarget(Handle target) override;

private:
    struct Timer {
        uint32_t period;
        uint32_t last;
    };
    struct Watch {
        Handle target;
        uint32_t msgId;
        uint32_t events;
        bool connecting;
        bool writeArmed;
        uint64_t generation;
    };
    uint32_t now() const;
    void wake();
    void deliverSocket(int fd, short revents, const Watch& w);
    void updateWatch(int fd, uint64_t generation, bool remove, bool connected, bool writeDone);
    void runTimers();
    int nextTimerWait() const;  // under mu_

    Clock* clock_;
    int wakeFd_ = -1;
    mutable std::mutex mu_;
    std::deque<Delivery> queue_;
    bool accepting_ = true;
    bool quit_ = false;
    std::map<std::pair<Handle, uint32_t>, Timer> timers_;
    std::map<int, Watch> watches_;
    uint64_t nextGeneration_ = 1;
    std::thread thread_;
    std::atomic<std::thread::id> loopThread_{};
    bool threadStarted_ = false;
    std::unique_ptr<MessageTarget> threadTarget_;
};

}  // namespace hqlv::platform
