#pragma once
// The hall channel: window messages and copy-data records between the hall and the client,
// which are separate processes.
//
// Every window that other processes may address is a HallEndpoint: a Unix-domain stream
// socket named by its 32-bit handle, "hall-<8 lower-case hex digits>.sock", in the runtime
// folder. A class name ("GameHallFrame") maps to a handle through the file
// "class-<name>" in the same folder, holding the handle as decimal text.
//
// The runtime folder is $HQLV_RUNTIME_DIR when set (tests), else $XDG_RUNTIME_DIR/hqlv,
// else /tmp/hqlv-<uid>; it is created with mode 0700 and must belong to the user.
//
// Each call is one connection: the caller connects, writes one request record, reads one
// reply record and closes. All integers are little-endian.
//
// Request record (48 bytes, then the payload):
//   +0  u32 magic 0x4C514843 ("CHQL")
//   +4  u32 type: 1 post, 2 send, 3 copy-data, 4 ping
//   +8  u32 the addressed handle
//   +12 u32 the sender's handle (copy-data: the source window; else 0 or the sender's)
//   +16 u32 message id (post, send) or record kind (copy-data)
//   +20 u32 payload length n (copy-data only, at most kHallMaxPayload; 0 otherwise)
//   +24 u64 w (post, send)
//   +32 i64 l (post, send)
//   +40 u32 time-out in ms the caller waits for the answer (0xFFFFFFFF: no limit)
//   +44 u32 reserved, 0
//   +48 n bytes payload
// Reply record (16 bytes):
//   +0  u32 magic 0x52514843 ("CHQR")
//   +4  u32 status: 0 delivered, 1 nobody receives (target gone), 2 bad request,
//       3 the receiver did not handle it in time
//   +8  i64 the handler's answer (send and copy-data; 0 otherwise)
//
// On the receiving side the endpoint hands each request to a local message target:
// a post as post(target, {id, w, l}); a send as send(target, {id, w, l}); a copy-data
// record as send(target, {kCopyDataMessage, w = sender's handle, l = const CopyData*}),
// the CopyData and its bytes valid only during the handler. The reply is written when the
// post is queued or the handler has returned.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/core/message.h"

namespace hqlv::platform {

inline constexpr uint32_t kCopyDataMessage = 0x004A;
inline constexpr uint32_t kHallMaxPayload = 4u << 20;
inline constexpr uint32_t kHallRequestMagic = 0x4C514843;
inline constexpr uint32_t kHallReplyMagic = 0x52514843;
inline constexpr size_t kHallRequestSize = 48;
inline constexpr size_t kHallReplySize = 16;

struct CopyData {
    uint32_t kind;
    const uint8_t* data;
    uint32_t size;
};

// One request head as laid out above.
struct HallRequest {
    uint32_t type = 0;  // 1 post, 2 send, 3 copy-data, 4 ping
    Handle to = 0;
    Handle from = 0;
    uint32_t msg = 0;   // message id or record kind
    uint32_t size = 0;  // payload length
    uint64_t w = 0;
    int64_t l = 0;
    uint32_t timeoutMs = 0xFFFFFFFFu;
};

// The request record: the head followed by the `size` payload bytes.
std::vector<uint8_t> encodeHallRequest(const HallRequest& req, const void* payload);

// Reads a request head from the first kHallRequestSize bytes. False when there are fewer,
// the magic or type is wrong, the payload is too long, or a payload comes with a type
// other than copy-data.
bool decodeHallRequestHead(const uint8_t* data, size_t size, HallRequest* out);

// The runtime folder described above, created on first use; "" (with a diagnostic) when
// it cannot be made safe.
std::string hallRuntimeFolder();

// Calls from this process to windows of other processes. Thread-safe.
class HallChannel {
public:
    virtual ~HallChannel() = default;
    // Queues a message in the other process. False when nobody will receive it.
    virtual bool post(Handle to, uint32_t msg, uintptr_t w, intptr_t l) = 0;
    // Runs the other window's handler and waits for its answer, at most timeoutMs
    // (kWaitForever: no limit). False on a missing, dead or unanswering peer.
    virtual bool send(Handle to, uint32_t msg, uintptr_t w, intptr_t l, int timeoutMs,
                      intptr_t* result) = 0;
    // Sends a copy-data record (kind and bytes) from window `from`; as send().
    virtual bool sendCopyData(Handle to, Handle from, uint32_t kind, const void* data, size_t size,
                              int timeoutMs, intptr_t* result) = 0;
    // True while a window with that handle is listening.
    virtual bool isAlive(Handle h) = 0;
    // The live window registered under the class name, else 0.
    virtual Handle findByClass(std::string_view className) = 0;
};

// The channel over the runtime folder's sockets.
class SocketHallChannel : public HallChannel {
public:
    // folder "" means hallRuntimeFolder() at each call.
    explicit SocketHallChannel(std::string folder = {}) : folder_(std::move(folder)) {}
    bool post(Handle to, uint32_t msg, uintptr_t w, intptr_t l) override;
    bool send(Handle to, uint32_t msg, uintptr_t w, intptr_t l, int timeoutMs,
              intptr_t* result) override;
    bool sendCopyData(Handle to, Handle from, uint32_t kind, const void* data, size_t size,
                      int timeoutMs, intptr_t* result) override;
    bool isAlive(Handle h) override;
    Handle findByClass(std::string_view className) override;

    // How long a post waits for the peer to confirm it queued the message.
    static constexpr int kPostTimeoutMs = 2000;

private:
    bool call(Handle to, uint32_t type, Handle from, uint32_t msg, uint64_t w, int64_t l,
              const void* data, size_t size, int timeoutMs, intptr_t* result);
    std::string folder() const;
    std::string folder_;
};

// The process's channel (a SocketHallChannel unless replaced) and its replacement for tests
// (null restores the real one; returns the old one).
HallChannel& hallChannel();
HallChannel* setHallChannel(HallChannel* channel);

// Makes a local message target reachable from other processes under a handle of its own.
class HallEndpoint {
public:
    // folder "" means hallRuntimeFolder().
    explicit HallEndpoint(std::string folder = {});
    ~HallEndpoint();
    HallEndpoint(const HallEndpoint&) = delete;
    HallEndpoint& operator=(const HallEndpoint&) = delete;

    // Starts listening for `target`. The endpoint's handle is `preferred` when that is
    // free (for instance the target's own handle), else a fresh random one. A socket left
    // behind by a dead process is replaced. False when the folder or the socket fails.
    bool open(Handle target, Handle preferred = 0);
    // Stops listening, removes the socket and the class names this endpoint registered.
    void close();
    // The handle other processes use; 0 when closed.
    Handle handle() const { return handle_; }
    // Registers the class name for this endpoint (replacing an earlier owner).
    bool registerClass(std::string_view className);

private:
    void serve();
    void handleConnection(int fd);
    bool sendToTarget(const Message& m, intptr_t* answer, int timeoutMs);

    std::string folder_;
    std::string path_;
    Handle target_ = 0;
    Handle handle_ = 0;
    int listenFd_ = -1;
    int stopFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::vector<std::string> classFiles_;
};

// Path of a handle's socket and of a class file in a folder (for tools and tests).
std::string hallSocketPath(const std::string& folder, Handle h);
std::string hallClassPath(const std::string& folder, std::string_view className);

// A double for code above: records every call and answers from its own tables.
class RecordingHallChannel : public HallChannel {
public:
    struct Call {
        enum Type { Post, Send, CopyData } type;
        Handle to;
        Handle from;
        uint32_t msg;  // message id, or kind for copy-data
        uintptr_t w;
        intptr_t l;
        std::vector<uint8_t> data;
        int timeoutMs;
    };
    bool post(Handle to, uint32_t msg, uintptr_t w, intptr_t l) override;
    bool send(Handle to, uint32_t msg, uintptr_t w, intptr_t l, int timeoutMs,
              intptr_t* result) override;
    bool sendCopyData(Handle to, Handle from, uint32_t kind, const void* data, size_t size,
                      int timeoutMs, intptr_t* result) override;
    bool isAlive(Handle h) override;
    Handle findByClass(std::string_view className) override;

    // Under mu: the calls so far, the live handles, the class table, the answer of sends.
    std::mutex mu;
    std::vector<Call> calls;
    std::set<Handle> alive;
    std::map<std::string, Handle> classes;
    intptr_t answer = 1;
};

}  // namespace hqlv::platform
