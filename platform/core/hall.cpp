#include "platform/core/hall.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/bytes.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"

namespace hqlv::platform {
namespace {

enum RequestType : uint32_t { kPost = 1, kSend = 2, kCopy = 3, kPing = 4 };
enum Status : uint32_t { kDelivered = 0, kNobody = 1, kBadRequest = 2, kNotInTime = 3 };

// How long the receiving side waits for the rest of a request that has begun.
constexpr int kReceiveTimeoutMs = 2000;
// The endpoint hands a send to its target in slices of this length, so that close() on the
// target's own thread (which then cannot handle it) never waits for the send to end.
constexpr int kSendSliceMs = 50;

using SteadyClock = std::chrono::steady_clock;

struct Deadline {
    bool forever;
    SteadyClock::time_point at;
    explicit Deadline(int ms)
        : forever(ms < 0), at(SteadyClock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms)) {}
    // Milliseconds left for poll(): -1 forever, 0 when passed.
    int left() const {
        if (forever) return -1;
        auto d = std::chrono::duration_cast<std::chrono::milliseconds>(at - SteadyClock::now());
        return d.count() <= 0 ? 0 : static_cast<int>(std::min<int64_t>(d.count(), 0x7FFFFFFF));
    }
};

bool waitFor(int fd, short events, const Deadline& dl) {
    for (;;) {
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, dl.left());
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool writeAll(int fd, const uint8_t* data, size_t size, const Deadline& dl) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, dl)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Reads exactly size bytes; false on end of stream, error or time-out.
bool readAll(int fd, uint8_t* data, size_t size, const Deadline& dl) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n == 0) {
            return false;
        } else if (errno == EINTR) {
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLIN, dl)) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool makeAddress(const std::string& path, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, path.data(), path.size());
    return true;
}

// A connected non-blocking socket to the path, or -1.
int connectTo(const std::string& path) {
    sockaddr_un addr;
    if (!makeAddress(path, &addr)) return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ensurePrivateFolder(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        diagf("hall channel: cannot create %s: %s", dir.c_str(), std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        diagf("hall channel: %s is not a folder of this user", dir.c_str());
        return false;
    }
    if ((st.st_mode & 077) != 0) chmod(dir.c_str(), 0700);
    return true;
}

Handle randomHandle() {
    uint32_t v = 0;
    if (getrandom(&v, sizeof v, 0) != sizeof v) {
        v = static_cast<uint32_t>(SteadyClock::now().time_since_epoch().count()) ^
            static_cast<uint32_t>(getpid() << 16);
    }
    // Keep handles positive as 32-bit ints and clear of small numbers.
    return 0x10000u + v % (0x7FFFFFFFu - 0x10000u);
}

std::atomic<HallChannel*> g_channel{nullptr};

}  // namespace

std::string hallRuntimeFolder() {
    if (const char* env = std::getenv("HQLV_RUNTIME_DIR"); env && *env) {
        std::string dir(env);
        if (!makeFolders(dir)) {
            diagf("hall channel: cannot create %s", dir.c_str());
            return {};
        }
        return dir;
    }
    std::string dir;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        dir = joinPath(xdg, "hqlv");
    } else {
        dir = "/tmp/hqlv-" + std::to_string(getuid());
    }
    return ensurePrivateFolder(dir) ? dir : std::string();
}

std::string hallSocketPath(const std::string& folder, Handle h) {
    char name[32];
    std::snprintf(name, sizeof name, "hall-%08x.sock", h);
    return joinPath(folder, name);
}

std::string hallClassPath(const std::string& folder, std::string_view className) {
    std::string name = "class-";
    for (unsigned char c : className) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-' || c == '.') {
            name.push_back(static_cast<char>(c));
        } else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            name += esc;
        }
    }
    return joinPath(folder, name);
}

std::vector<uint8_t> encodeHallRequest(const HallRequest& req, const void* payload) {
    ByteWriter w;
    w.u32(kHallRequestMagic);
    w.u32(req.type);
    w.u32(req.to);
    w.u32(req.from);
    w.u32(req.msg);
    w.u32(req.size);
    w.u64(req.w);
    w.u64(static_cast<uint64_t>(req.l));
    w.u32(req.timeoutMs);
    w.u32(0);
    if (req.size) w.bytes(payload, req.size);
    return w.take();
}

bool decodeHallRequestHead(const uint8_t* data, size_t size, HallRequest* out) {
    ByteReader r(data, size < kHallRequestSize ? size : kHallRequestSize);
    uint32_t magic = r.u32();
    HallRequest q;
    q.type = r.u32();
    q.to = r.u32();
    q.from = r.u32();
    q.msg = r.u32();
    q.size = r.u32();
    q.w = r.u64();
    q.l = static_cast<int64_t>(r.u64());
    q.timeoutMs = r.u32();
    r.u32();
    if (!r.ok() || magic != kHallRequestMagic || q.type < kPost || q.type > kPing ||
        q.size > kHallMaxPayload || (q.type != kCopy && q.size != 0))
        return false;
    *out = q;
    return true;
}

// ---- caller side ----

std::string SocketHallChannel::folder() const {
    return folder_.empty() ? hallRuntimeFolder() : folder_;
}

bool SocketHallChannel::call(Handle to, uint32_t type, Handle from, uint32_t msg, uint64_t w,
                             int64_t l, const void* data, size_t size, int timeoutMs,
                             intptr_t* result) {
    if (!to || size > kHallMaxPayload || (size && !data)) return false;
    std::string dir = folder();
    if (dir.empty()) return false;
    Deadline dl(timeoutMs);
    int fd = connectTo(hallSocketPath(dir, to));
    if (fd < 0) return false;
    HallRequest q;
    q.type = type;
    q.to = to;
    q.from = from;
    q.msg = msg;
    q.size = static_cast<uint32_t>(size);
    q.w = w;
    q.l = l;
    q.timeoutMs = timeoutMs < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(timeoutMs);
    std::vector<uint8_t> req = encodeHallRequest(q, data);
    uint8_t reply[kHallReplySize];
    bool ok = writeAll(fd, req.data(), req.size(), dl) && readAll(fd, reply, sizeof reply, dl);
    ::close(fd);
    if (!ok) return false;
    ByteReader r(reply, sizeof reply);
    uint32_t magic = r.u32();
    uint32_t status = r.u32();
    int64_t answer = static_cast<int64_t>(r.u64());
    if (!r.ok() || magic != kHallReplyMagic || status != kDelivered) return false;
    if (result) *result = static_cast<intptr_t>(answer);
    return true;
}

bool SocketHallChannel::post(Handle to, uint32_t msg, uintptr_t w, intptr_t l) {
    return call(to, kPost, 0, msg, w, l, nullptr, 0, kPostTimeoutMs, nullptr);
}

bool SocketHallChannel::send(Handle to, uint32_t msg, uintptr_t w, intptr_t l, int timeoutMs,
                             intptr_t* result) {
    return call(to, kSend, 0, msg, w, l, nullptr, 0, timeoutMs, result);
}

bool SocketHallChannel::sendCopyData(Handle to, Handle from, uint32_t kind, const void* data,
                                     size_t size, int timeoutMs, intptr_t* result) {
    return call(to, kCopy, from, kind, 0, 0, data, size, timeoutMs, result);
}

bool SocketHallChannel::isAlive(Handle h) {
    if (!h) return false;
    std::string dir = folder();
    if (dir.empty()) return false;
    int fd = connectTo(hallSocketPath(dir, h));
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

Handle SocketHallChannel::findByClass(std::string_view className) {
    std::string dir = folder();
    if (dir.empty()) return 0;
    std::string text;
    if (!readFile(hallClassPath(dir, className), &text)) return 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (end == text.c_str() || v == 0 || v > 0xFFFFFFFFul) return 0;
    Handle h = static_cast<Handle>(v);
    return isAlive(h) ? h : 0;
}

namespace {
HallChannel& realChannel() {
    static SocketHallChannel real;
    return real;
}
}  // namespace

HallChannel& hallChannel() {
    HallChannel* c = g_channel.load();
    return c ? *c : realChannel();
}

HallChannel* setHallChannel(HallChannel* channel) {
    HallChannel* old = g_channel.exchange(channel);
    return old ? old : &realChannel();
}

// ---- receiving side ----

HallEndpoint::HallEndpoint(std::string folder) : folder_(std::move(folder)) {}

HallEndpoint::~HallEndpoint() {
    close();
}

bool HallEndpoint::open(Handle target, Handle preferred) {
    close();
    std::string dir = folder_.empty() ? hallRuntimeFolder() : folder_;
    if (dir.empty()) return false;
    folder_ = dir;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    Handle h = preferred ? preferred : randomHandle();
    for (int attempt = 0; attempt < 16; ++attempt, h = randomHandle()) {
        std::string path = hallSocketPath(dir, h);
        sockaddr_un addr;
        if (!makeAddress(path, &addr)) {
            diagf("hall channel: socket path too long: %s", path.c_str());
            break;
        }
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            if (listen(fd, 16) != 0) break;
            listenFd_ = fd;
            path_ = path;
            handle_ = h;
            target_ = target;
            stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            thread_ = std::thread([this] { serve(); });
            return true;
        }
        if (errno != EADDRINUSE) {
            diagf("hall channel: cannot bind %s: %s", path.c_str(), std::strerror(errno));
            break;
        }
        // Taken: by a live window (try another handle) or left behind by a dead one.
        int probe = connectTo(path);
        if (probe >= 0) {
            ::close(probe);
            continue;
        }
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            if (listen(fd, 16) != 0) break;
            listenFd_ = fd;
            path_ = path;
            handle_ = h;
            target_ = target;
            stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            thread_ = std::thread([this] { serve(); });
            return true;
        }
    }
    ::close(fd);
    return false;
}

void HallEndpoint::close() {
    if (thread_.joinable()) {
        stopping_ = true;
        uint64_t one = 1;
        ssize_t n = write(stopFd_, &one, sizeof one);
        (void)n;
        thread_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        unlink(path_.c_str());
    }
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
    stopping_ = false;
    for (const std::string& f : classFiles_) {
        std::string text;
        if (readFile(f, &text) && text == std::to_string(handle_)) unlink(f.c_str());
    }
    classFiles_.clear();
    handle_ = 0;
    target_ = 0;
}

bool HallEndpoint::registerClass(std::string_view className) {
    if (!handle_ || className.empty()) return false;
    std::string f = hallClassPath(folder_, className);
    if (!writeFile(f, std::to_string(handle_))) return false;
    classFiles_.push_back(f);
    return true;
}

void HallEndpoint::serve() {
    for (;;) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        int n = poll(p, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            diagf("hall channel: poll failed: %s", std::strerror(errno));
            return;
        }
        if (p[1].revents) return;
        if (p[0].revents & POLLIN) {
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                handleConnection(fd);
                ::close(fd);
            }
        }
    }
}

void HallEndpoint::handleConnection(int fd) {
    Deadline dl(kReceiveTimeoutMs);
    uint8_t head[kHallRequestSize];
    if (!readAll(fd, head, sizeof head, dl)) return;  // a probe, or a peer that gave up
    HallRequest q;
    uint32_t status = kDelivered;
    intptr_t answer = 0;
    std::vector<uint8_t> payload;
    if (!decodeHallRequestHead(head, sizeof head, &q)) {
        status = kBadRequest;
    } else {
        payload.resize(q.size);
        if (q.size && !readAll(fd, payload.data(), q.size, dl)) return;
        int wait = q.timeoutMs == 0xFFFFFFFFu
                       ? kWaitForever
                       : static_cast<int>(std::min<uint32_t>(q.timeoutMs, 0x7FFFFFFF));
        Message plain{q.msg, static_cast<uintptr_t>(q.w), static_cast<intptr_t>(q.l), nullptr};
        if (q.to != handle_) {
            status = kNobody;
        } else if (q.type == kPing) {
        } else if (q.type == kPost) {
            if (!platform::post(target_, plain)) status = kNobody;
        } else {
            CopyData cd{q.msg, payload.data(), q.size};
            Message m = q.type == kSend ? plain
                                        : Message{kCopyDataMessage, q.from,
                                                  reinterpret_cast<intptr_t>(&cd), nullptr};
            if (!sendToTarget(m, &answer, wait)) {
                status = isAlive(target_) ? kNotInTime : kNobody;
            }
        }
    }
    ByteWriter reply;
    reply.u32(kHallReplyMagic);
    reply.u32(status);
    reply.u64(static_cast<uint64_t>(static_cast<int64_t>(answer)));
    writeAll(fd, reply.data().data(), reply.size(), Deadline(kReceiveTimeoutMs));
}

bool HallEndpoint::sendToTarget(const Message& m, intptr_t* answer, int timeoutMs) {
    // A send that is not handled within a slice is withdrawn before it starts (send()
    // guarantees that) and offered again; one that has started is waited for, as the
    // handler reads the payload.
    Deadline dl(timeoutMs);
    for (;;) {
        int left = dl.left();
        int slice = left < 0 || left > kSendSliceMs ? kSendSliceMs : left;
        auto started = SteadyClock::now();
        if (platform::send(target_, m, answer, slice)) return true;
        // Refused at once (target gone, its loop stopped): no point in asking again.
        if (SteadyClock::now() - started < std::chrono::milliseconds(slice)) return false;
        if (stopping_ || dl.left() == 0) return false;
    }
}

// ---- double ----

bool RecordingHallChannel::post(Handle to, uint32_t msg, uintptr_t w, intptr_t l) {
    std::lock_guard lock(mu);
    calls.push_back(Call{Call::Post, to, 0, msg, w, l, {}, 0});
    return alive.count(to) != 0;
}

bool RecordingHallChannel::send(Handle to, uint32_t msg, uintptr_t w, intptr_t l, int timeoutMs,
                                intptr_t* result) {
    std::lock_guard lock(mu);
    calls.push_back(Call{Call::Send, to, 0, msg, w, l, {}, timeoutMs});
    if (!alive.count(to)) return false;
    if (result) *result = answer;
    return true;
}

bool RecordingHallChannel::sendCopyData(Handle to, Handle from, uint32_t kind, const void* data,
                                        size_t size, int timeoutMs, intptr_t* result) {
    std::lock_guard lock(mu);
    const uint8_t* b = static_cast<const uint8_t*>(data);
    calls.push_back(Call{Call::CopyData, to, from, kind, 0, 0,
                         b ? std::vector<uint8_t>(b, b + size) : std::vector<uint8_t>{},
                         timeoutMs});
    if (!alive.count(to)) return false;
    if (result) *result = answer;
    return true;
}

bool RecordingHallChannel::isAlive(Handle h) {
    std::lock_guard lock(mu);
    return alive.count(h) != 0;
}

Handle RecordingHallChannel::findByClass(std::string_view className) {
    std::lock_guard lock(mu);
    auto it = classes.find(std::string(className));
    return it != classes.end() && alive.count(it->second) ? it->second : 0;
}

}  // namespace hqlv::platform
