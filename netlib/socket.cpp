#include "netlib/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <vector>

#include "netlib/codec.h"
#include "netlib/log.h"
#include "platform/core/clock.h"
#include "platform/core/wait_pump.h"

namespace hqlv::netlib {
namespace {

std::atomic<uint32_t> g_objectIds{0};

// The worker's timer that looks for a packet stopped halfway.
constexpr uint32_t kStallTimerId = 1;

int32_t getI32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                (uint32_t(p[3]) << 24));
}

bool setNonBlocking(int fd, bool on) {
    int fl = fcntl(fd, F_GETFL, 0);
    if (fl < 0) return false;
    fl = on ? (fl | O_NONBLOCK) : (fl & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, fl) == 0;
}

// Resolves an IPv4 address: empty means any, a dotted address is taken as it is,
// otherwise the name is looked up and its first address used.
bool resolve(const std::string& host, int port, sockaddr_in& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (host.empty()) {
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) {
        errno = EINVAL;
        return false;
    }
    addr.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return true;
}

}  // namespace

uint32_t YrnNewObjectId() {
    return g_objectIds.fetch_add(1) + 1;
}

std::string YrnMakeHostKey(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

int YrnRegisterSocketWindowClass() {
    return 1;
}
int YrnUnregisterSocketWindowClass() {
    return 1;
}

int YrnSocketStartup() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        YrnLogWrite("socket start-up: SIGPIPE cannot be ignored: %s", std::strerror(errno));
        return 0;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        YrnLogWrite("socket start-up: no socket: %s", std::strerror(errno));
        return 0;
    }
    ::close(fd);
    return 1;
}

CYrnSocket::CYrnSocket(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags,
                       int crcFlag, int maxData)
    : key_(key),
      keyBits_(keyBits),
      aesFlags_(aesFlags),
      zlibFlags_(zlibFlags),
      crcFlag_(crcFlag),
      maxData_(maxData < 1 || maxData > kMaxPacketData ? kMaxPacketData : maxData) {}

CYrnSocket::~CYrnSocket() {
    Close();
}

int CYrnSocket::SetCodec(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags) {
    std::lock_guard g(codecLock_);
    key_ = key;
    keyBits_ = keyBits;
    aesFlags_ = aesFlags;
    zlibFlags_ = zlibFlags;
    return 1;
}

CYrnSocket::CodecSettings CYrnSocket::codec() {
    std::lock_guard g(codecLock_);
    return {key_, keyBits_, aesFlags_, zlibFlags_};
}

// ---- connecting -------------------------------------------------------------------------

int CYrnSocket::CreateSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

int CYrnSocket::Connect(const std::string& host, int port, int connectTimeoutSec,
                        platform::Handle ownerTarget, platform::ThreadId ownerThread,
                        int waitFirstData, const void* hello, size_t helloLength,
                        int firstDataTimeoutMs) {
    // A connection still running is closed first; a socket already made (and perhaps
    // bound) but never connected is used; otherwise a new one.
    if (loop_) Close();
    int fd = fd_.load();
    if (fd < 0) fd = CreateSocket();
    if (fd < 0) return 0;
    return Create(fd, ownerTarget, ownerThread, waitFirstData, hello, helloLength,
                  firstDataTimeoutMs, host, port, connectTimeoutSec, 0);
}

int CYrnSocket::AttachConnected(int socketHandle, platform::Handle ownerTarget,
                                platform::ThreadId ownerThread, int waitFirstData,
                                const void* hello, size_t helloLength, int firstDataTimeoutMs,
                                const std::string& host, int port, int connectTimeoutSec) {
    if (loop_ || (fd_.load() >= 0 && fd_.load() != socketHandle)) Close();
    return Create(socketHandle, ownerTarget, ownerThread, waitFirstData, hello, helloLength,
                  firstDataTimeoutMs, host, port, connectTimeoutSec, 1);
}

int CYrnSocket::Create(int socketHandle, platform::Handle ownerTarget,
                       platform::ThreadId ownerThread, int waitFirstData, const void* hello,
                       size_t helloLength, int firstDataTimeoutMs, const std::string& host,
                       int port, int connectTimeoutSec, int alreadyConnected) {
    if (socketHandle < 0) return 0;
    ownerTarget_ = ownerTarget;
    ownerThread_ = ownerThread;
    waitFirstData_ = waitFirstData;
    {
        std::lock_guard g(sigLock_);
        stopped_ = false;
        broken_ = false;
        writable_ = false;
        ready_ = false;
    }
    unfinished_ = false;
    fd_.store(socketHandle);
    objectId_.store(YrnNewObjectId());
    if (!ConnectWithTimeout(host, port, connectTimeoutSec, alreadyConnected) ||
        !AddConnection(host, port)) {
        Close();
        return 0;
    }
    if (!waitFirstData && !SendRaw(hello, helloLength)) {
        Close();
        return 0;
    }
    if (!StartWorker() || !WaitThreadStart()) {
        Close();
        return 0;
    }
    if (!waitFirstData) return 1;
    return WaitFirstData(firstDataTimeoutMs, host, port);
}

int CYrnSocket::ConnectWithTimeout(const std::string& host, int port, int timeoutSec,
                                   int alreadyConnected) {
    int fd = fd_.load();
    if (alreadyConnected) return setNonBlocking(fd, false) ? 1 : 0;
    sockaddr_in addr;
    if (!resolve(host, port, addr)) return 0;
    // A non-blocking connect, a bounded wait, and the real outcome from SO_ERROR: a refused
    // or unreachable peer is a failure, and the wait really ends at the time-out.
    if (!setNonBlocking(fd, true)) return 0;
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (r != 0 && errno != EINPROGRESS) return 0;
    if (r != 0) {
        // A thread with a wait pump (the UI thread) keeps its wait dialog alive meanwhile.
        int n = platform::pollPumped(fd, POLLOUT, timeoutSec > 0 ? timeoutSec * 1000 : 0);
        if (n <= 0) return 0;
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            errno = err;
            return 0;
        }
    }
    // The hello goes out in blocking mode; the worker switches to non-blocking.
    return setNonBlocking(fd, false) ? 1 : 0;
}

int CYrnSocket::StartWorker() {
    loop_ = std::make_unique<platform::MessageLoop>();
    try {
        worker_ = std::thread([this] { ThreadLoop(); });
    } catch (const std::system_error& e) {
        YrnLogWrite("socket: no worker thread: %s", e.what());
        return 0;
    }
    return 1;
}

platform::Handle CYrnSocket::CreateSocketWindow() {
    window_ = std::make_unique<platform::FunctionTarget>([this](const platform::Message& m) {
        if (m.id == kMsgSocketNetwork)
            OnNetworkEvent(m);
        else if (m.id == platform::kTimerMessage && m.w == kStallTimerId)
            CheckPacketStall();
        return intptr_t{0};
    });
    return window_->attach(*loop_);
}

int CYrnSocket::ThreadLoop() {
    const platform::Handle h = CreateSocketWindow();
    const int fd = fd_.load();
    // A few looks for a stalled packet within the stall limit; once a second at most.
    const uint32_t look = std::clamp<uint32_t>(stallLimitMs_.load() / 5, 20, 1000);
    if (!h || !setNonBlocking(fd, true) ||
        !loop_->watchSocket(
            fd, h, kMsgSocketNetwork,
            platform::kSocketRead | platform::kSocketWrite | platform::kSocketClose) ||
        !loop_->setTimer(h, kStallTimerId, look)) {
        YrnLogWrite("socket: the worker cannot watch the socket");
        loop_->quit();
        window_.reset();
        return 0;
    }
    // Only now is the start handshake answered: until then the start message is refused and
    // WaitThreadStart tries again.
    loop_->setThreadHandler([this](const platform::Message& m) {
        if (m.id == kMsgSocketStart) {
            std::lock_guard g(sigLock_);
            ready_ = true;
            sigCv_.notify_all();
        }
    });
    loop_->run();
    // The window goes on the thread it lived on.
    window_.reset();
    return 0;
}

int CYrnSocket::WaitThreadStart() {
    for (int failures = 0;;) {
        {
            // The calling thread (the UI thread while it connects) keeps its wait pump going.
            std::unique_lock lk(sigLock_);
            if (platform::waitForPumped(sigCv_, lk, 100, [this] { return stopped_; })) return 0;
        }
        platform::Message m;
        m.id = kMsgSocketStart;
        if (platform::postToThread(loop_->threadId(), m)) break;
        if (++failures > 50) return 0;
    }
    std::unique_lock lk(sigLock_);
    sigCv_.wait_for(lk, std::chrono::milliseconds(100), [this] { return ready_ || stopped_; });
    return 1;
}

int CYrnSocket::SignalFirstData(YrnConnection& record) {
    if (!waitFirstData_) return 0;
    std::lock_guard g(sigLock_);
    setEventLocked(record);
    return 1;
}

int CYrnSocket::WaitFirstData(int timeoutMs, const std::string& host, int port) {
    YrnConnectionPtr rec = FindConnection(host, port);
    if (!rec) return 0;
    std::unique_lock lk(sigLock_);
    // A stream that ended before any data (the peer closed at once) never brings its first
    // data: the wait fails then rather than at the end of its time.
    if (!platform::waitForPumped(sigCv_, lk, timeoutMs,
                                 [&] { return rec->eventSet || stopped_ || broken_; }) ||
        !rec->eventSet)
        return 0;
    rec->eventSet = false;
    return 1;
}

int CYrnSocket::Bind(const std::string& host, int port) {
    int fd = fd_.load();
    if (fd < 0) {
        fd = CreateSocket();
        if (fd < 0) return 0;
        fd_.store(fd);
    }
    sockaddr_in addr;
    if (!resolve(host, port, addr)) return 0;
    return ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? 1 : 0;
}

// Whether the socket still has its peer. Linux keeps no connect time for a socket, so the
// question is put as whether it has a peer address: getpeername fails (ENOTCONN) for a socket
// that was never connected or whose connection has gone down, and succeeds while it stands.
// A stream that ended (IsStreamBroken) is over whatever the system still says.
int CYrnSocket::IsConnected() const {
    int fd = fd_.load();
    if (fd <= 0 || broken_.load()) return 0;
    sockaddr_storage ss;
    socklen_t len = sizeof ss;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&ss), &len) == 0 ? 1 : 0;
}

int CYrnSocket::IsStreamBroken() const {
    return broken_.load() ? 1 : 0;
}

// ---- closing ----------------------------------------------------------------------------

void CYrnSocket::Close() {
    {
        std::lock_guard g(sigLock_);
        stopped_ = true;
        sigCv_.notify_all();
    }
    if (loop_) {
        if (worker_.joinable() && worker_.get_id() == std::this_thread::get_id()) {
            // Closing from inside the worker cannot join it; the owner's next Close does.
            YrnLogWrite("socket closed from its own worker; worker left running");
            return;
        }
        loop_->quit();
        if (worker_.joinable()) worker_.join();
    }
    int fd = fd_.load();
    // Wake anything still blocked in a system call on the socket; the descriptor itself
    // stays ours until every sender is gone, so it cannot be reused under them.
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    CloseConnections();
    {
        std::unique_lock lk(sigLock_);
        sigCv_.wait(lk, [this] { return pendingSends_ == 0; });
    }
    // Senders touch the (stopped) loop until they are gone; only now is it freed.
    if (window_) window_->detach();
    loop_.reset();
    window_.reset();
    fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
    objectId_.store(0);
    totalReceived_.store(0);
    readEvents_.store(0);
    ClearConnections();
}

// ---- connection records -----------------------------------------------------------------

void CYrnSocket::CloseConnections() {
    std::lock_guard g(mapLock_);
    for (auto& [key, rec] : connections_) rec->closed.fetch_add(1);
}

void CYrnSocket::ClearConnections() {
    std::lock_guard g(mapLock_);
    connections_.clear();
}

int CYrnSocket::AddConnection(const std::string& host, int port) {
    auto rec = std::make_shared<YrnConnection>();
    std::lock_guard g(mapLock_);
    connections_[YrnMakeHostKey(host, port)] = std::move(rec);
    return 1;
}

YrnConnectionPtr CYrnSocket::FindConnection(const std::string& host, int port, std::string* key) {
    std::string k = YrnMakeHostKey(host, port);
    std::lock_guard g(mapLock_);
    auto it = connections_.find(k);
    YrnConnectionPtr rec = it == connections_.end() ? nullptr : it->second;
    if (key) *key = std::move(k);
    return rec;
}

YrnConnectionPtr CYrnSocket::GetFirstConnection(std::string* key) {
    std::lock_guard g(mapLock_);
    if (connections_.empty()) {
        if (key) key->clear();
        return nullptr;
    }
    if (key) *key = connections_.begin()->first;
    return connections_.begin()->second;
}

void CYrnSocket::SetConnection(const std::string& host, int port, YrnConnectionPtr record) {
    std::lock_guard g(mapLock_);
    connections_[YrnMakeHostKey(host, port)] = std::move(record);
}

void CYrnSocket::setEventLocked(YrnConnection& record) {
    record.eventSet = true;
    sigCv_.notify_all();
}

// ---- worker -----------------------------------------------------------------------------

void CYrnSocket::OnNetworkEvent(const platform::Message& msg) {
    uint32_t event = platform::socketEvent(msg.l);
    int error = platform::socketError(msg.l);
    if (error != 0) {
        breakStream(kNoticeError, "socket error");
        return;
    }
    // A read that fails ends the stream, whatever failed, and the owner hears of it once. A length
    // that breaks the framing leaves nothing to follow. A packet that fails its CRC and a response
    // out of order leave the framing sound and the server there, but they lose a message that the
    // protocol never sends again, and the owner takes any error notice for a lost connection: the
    // game frame aborts the game and tells the player the connection broke (in a game: to re-enter
    // the room and play on). Left open, the connection would meet the close that follows that box:
    // finding it connected, the close would ask whether to quit the running game and send the
    // leave, and the server would take the player out of the game, at the cost the question names,
    // and free the seat he was told to come back to. Ended here, the stream is to the server what
    // the box says, a client that dropped, whose seat plays on until he re-enters; and a request
    // waiting for the lost answer ends at once (see SendRequestWait).
    if (event & platform::kSocketRead) {
        if (!OnRead()) breakStream(kNoticeError, "the stream failed its packet check");
    }
    if (event & platform::kSocketWrite) OnWritable();
    if (event & platform::kSocketClose) breakStream(kNoticeClosed, "closed by the peer");
}

bool CYrnSocket::breakStream(int32_t code, const char* why) {
    {
        std::lock_guard g(sigLock_);
        if (broken_) return false;
        broken_ = true;
        sigCv_.notify_all();
    }
    YrnLogWrite("connection ended: %s", why);
    if (int fd = fd_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    if (code == kNoticeClosed)
        NotifyClosed();
    else
        NotifyError();
    return true;
}

int CYrnSocket::CheckPacketStall() {
    if (!unfinished_.load() || broken_.load()) return 0;
    const uint32_t idle = platform::tickElapsed(lastByteTick_.load(), platform::tickMs());
    if (idle < stallLimitMs_.load()) return 0;
    YrnLogWrite("a packet stopped halfway: no byte for %u ms", idle);
    return breakStream(kNoticeError, "the stream stalled in the middle of a packet") ? 1 : 0;
}

int CYrnSocket::OnWritable() {
    std::lock_guard g(sigLock_);
    writable_ = true;
    sigCv_.notify_all();
    return 1;
}

int CYrnSocket::OnReceiveData(YrnConnection&, const uint8_t*, size_t) {
    return 0;
}

ssize_t CYrnSocket::Receive(int socket, uint8_t* buffer, size_t length, const std::string&, int) {
    return ::recv(socket, buffer, length, 0);
}

ssize_t CYrnSocket::Send(int socket, const uint8_t* data, size_t length, const std::string&, int) {
    // Start-up ignores SIGPIPE for the program; a socket used without it (tools, tests) must
    // not end the process either when the peer has gone.
    return ::send(socket, data, length, MSG_NOSIGNAL);
}

size_t CYrnSocket::ReadAvailable(std::map<std::string, YrnConnectionPtr>& records) {
    const int fd = fd_.load();
    if (fd < 0) return 0;
    std::vector<uint8_t> block(GetRecvBlockSize());
    size_t total = 0;
    for (int blocks = 0; blocks < kReadBlocksPerEvent;) {
        std::string key;
        YrnConnectionPtr rec = FindConnection("", 0, &key);
        if (!rec) rec = GetFirstConnection(&key);
        // No record to take the bytes: they stay in the socket.
        if (!rec) break;
        const ssize_t got = Receive(fd, block.data(), block.size(), {}, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        ++blocks;
        total += static_cast<size_t>(got);
        if (!OnReceiveData(*rec, block.data(), static_cast<size_t>(got)))
            rec->receive.Append(block.data(), static_cast<size_t>(got));
        records[key] = rec;
    }
    return total;
}

int CYrnSocket::OnRead() {
    const bool first = readEvents_.fetch_add(1) == 0;
    std::map<std::string, YrnConnectionPtr> records;
    const size_t got = ReadAvailable(records);
    totalReceived_.fetch_add(got);
    for (auto& [key, rec] : records) {
        // The first data is only a signal; a stream that ended is read to nothing.
        if ((first && SignalFirstData(*rec)) || rec->broken || broken_.load()) {
            rec->receive.Reset();
            continue;
        }
        lastByteTick_ = platform::tickMs();
        const int parsed = parseReceived(*rec);
        unfinished_ = rec->receive.Size() > 0;
        if (!parsed) return 0;
    }
    return 1;
}

int CYrnSocket::parseReceived(YrnConnection& record) {
    CYrnBuffer& buf = record.receive;
    for (;;) {
        size_t size = 0;
        YrnFrame f = YrnNextPacket(buf.Data(), buf.Size(), maxData_, &size);
        if (f == YrnFrame::NeedMore) return 1;
        if (f == YrnFrame::Error) {
            // Without a sound length the stream cannot be followed any further.
            YrnLogWrite("packet length error! len = %ld",
                        static_cast<long>(buf.Size() >= 4 ? getI32(buf.Data()) : 0));
            record.broken = true;
            buf.Reset();
            return 0;
        }
        int ok = CheckPacket(buf.Data(), size) && DispatchPacket(buf.Data(), size, record);
        buf.RemoveFront(size);
        if (!ok) return 0;
    }
}

int CYrnSocket::CheckPacket(const uint8_t* packet, size_t size) {
    if (YrnCheckPacket(packet, size, maxData_)) return 1;
    YrnLogWrite("packet check failed (%zu bytes)", size);
    return 0;
}

void CYrnSocket::SetExpectedResponse(int32_t id, YrnConnection& record) {
    std::lock_guard g(record.responseAsmLock);
    record.responses.Expect(id);
}

void CYrnSocket::GetExpectedResponse(YrnConnection& record, int32_t* id, int32_t* fragment) {
    std::lock_guard g(record.responseAsmLock);
    if (id) *id = record.responses.ExpectedId();
    if (fragment) *fragment = record.responses.ExpectedFragment();
}

int CYrnSocket::DispatchPacket(const uint8_t* packet, size_t size, YrnConnection& record) {
    YrnPacketHead head = YrnReadHead(packet + 4);
    const uint8_t* data = packet + kPacketOverhead;
    const size_t n = std::min(YrnPacketDataLength(packet), size - kPacketOverhead);
    if (head.type != kPacketMessage && head.type != kPacketResponse) return 0;
    if (head.messageId <= 0 || head.fragment <= 0) return 0;
    if (head.type == kPacketMessage) {
        auto outcome = record.messages.Feed(head, data, n, fd_.load(), objectId_.load());
        if (outcome == CYrnMessageAssembler::kTooLarge) return 0;
        if (outcome == CYrnMessageAssembler::kComplete) {
            PostMessageToOwner(record.messages.Message());
            record.messages.Clear();
        }
        return 1;
    }
    CYrnBuffer complete;
    {
        std::lock_guard g(record.responseAsmLock);
        switch (record.responses.Feed(head, data, n, fd_.load(), objectId_.load())) {
            case CYrnResponseAssembler::kStray:
                // Nobody waits (or the answer was already stored): not worth a disconnect.
                YrnLogWrite("stray response dropped: id %d fragment %d", head.messageId,
                            head.fragment);
                return 1;
            case CYrnResponseAssembler::kError:
                return 0;
            case CYrnResponseAssembler::kComplete:
                complete.Swap(record.responses.Message());
                break;
            default:
                return 1;
        }
    }
    StoreResponse(complete, record);
    return 1;
}

bool CYrnSocket::postToOwner(YrnEnvelope* env, YrnRecord* rec) {
    platform::Message m = YrnMakeSocketMessage(env, rec);
    bool ok = false;
    if (ownerTarget_) {
        ok = platform::post(ownerTarget_, m);
    } else if (ownerThread_) {
        ok = platform::postToThread(ownerThread_, m);
    }
    if (!ok) YrnFreeSocketMessage(env, rec);
    return ok;
}

int CYrnSocket::PostMessageToOwner(const CYrnBuffer& message) {
    CodecSettings c = codec();
    YrnEnvelope* env = nullptr;
    YrnRecord* rec = nullptr;
    if (!YrnDecodeMessage(message.Data(), message.Size(), &env, &rec, c.key, c.keyBits, c.aes,
                          c.zlib, maxData_))
        return 0;
    postToOwner(env, rec);
    return 1;
}

int CYrnSocket::StoreResponse(const CYrnBuffer& message, YrnConnection& record) {
    if (message.Size() < kEnvelopeSize) return 0;
    int32_t id = YrnEnvelopeFromBytes(message.Data()).messageId;
    CodecSettings c = codec();
    YrnEnvelope* env = nullptr;
    YrnRecord* rec = nullptr;
    int ok = YrnDecodeMessage(message.Data(), message.Size(), &env, &rec, c.key, c.keyBits, c.aes,
                              c.zlib, maxData_);
    delete env;
    std::lock_guard asmGuard(record.responseAsmLock);
    // While this answer was being decoded a newer request may have taken the slot; then
    // the answer is stale and must neither fill the slot nor wake the new waiter.
    if (record.responses.ExpectedId() != id) {
        YrnFreeSocketMessage(nullptr, rec);
        return 0;
    }
    record.responses.Expect(0);
    if (!ok) return 0;  // undecodable: the waiter runs into its time-out
    {
        std::lock_guard g(record.responseLock);
        YrnFreeResponseData(&record.response);
        record.response = *rec;  // takes over the data block
    }
    delete rec;
    std::lock_guard g(sigLock_);
    setEventLocked(record);
    return 1;
}

int CYrnSocket::notice(int32_t code) {
    if (!ownerTarget_ && !ownerThread_) return 1;
    auto* env = new YrnEnvelope;
    env->socket = fd_.load();
    env->objectId = objectId_.load();
    auto* rec = new YrnRecord;
    rec->head[1] = code;
    postToOwner(env, rec);
    return 1;
}

int CYrnSocket::NotifyError() {
    return notice(kNoticeError);
}
int CYrnSocket::NotifyClosed() {
    return notice(kNoticeClosed);
}

// ---- sending ----------------------------------------------------------------------------

size_t CYrnSocket::SendAll(const uint8_t* data, size_t n) {
    size_t sent = 0;
    int fd = fd_.load();
    while (sent < n) {
        ssize_t r = Send(fd, data + sent, n - sent, {}, 0);
        if (r >= 0) {
            sent += static_cast<size_t>(r);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) break;
        // Would block: wait up to a second for the worker to report the socket writable.
        {
            std::lock_guard g(sigLock_);
            writable_ = false;
        }
        if (loop_) loop_->wantWrite(fd);
        std::unique_lock lk(sigLock_);
        bool woke = sigCv_.wait_for(lk, std::chrono::milliseconds(1000),
                                    [this] { return writable_ || stopped_; });
        if (!woke || stopped_) break;
        writable_ = false;
    }
    return sent;
}

int CYrnSocket::SendRaw(const void* data, size_t n) {
    CYrnBuffer b;
    YrnBuildHello(data, n, b);
    return SendAll(b.Data(), b.Size()) == b.Size() ? 1 : 0;
}

int CYrnSocket::SendPacket(const uint8_t* data, size_t n, const YrnPacketHead& head, int forceCrc) {
    if (!IsConnected()) return 0;
    CYrnBuffer b;
    if (!YrnBuildPacket(head, data, n, forceCrc == 1 || crcFlag_, b)) return 0;
    return SendAll(b.Data(), b.Size()) == b.Size() ? 1 : 0;
}

int CYrnSocket::SendFragments(CYrnBuffer& chunks, int32_t messageId, int waitFlag, int forceCrc,
                              YrnConnection& record) {
    int fd = fd_.load();
    if (record.closed.load() > 0 || fd == -1 || fd == 0 || !IsConnected()) return 0;
    YrnPacketHead head;
    head.type = kPacketMessage;
    head.waitFlag = waitFlag;
    head.messageId = messageId;
    const uint8_t* p = chunks.Data();
    size_t size = chunks.Size();
    size_t pos = 0;
    std::lock_guard g(record.sendLock);
    while (size - pos > 4) {
        int32_t n = getI32(p + pos);
        pos += 4;
        if (n <= 0 || static_cast<size_t>(n) > size - pos) return 0;
        head.sequence = record.sequence.fetch_add(1) + 1;
        head.fragment += 1;
        head.last = size - pos - static_cast<size_t>(n) < 5 ? 1 : 0;
        if (!SendPacket(p + pos, static_cast<size_t>(n), head, forceCrc)) return 0;
        pos += static_cast<size_t>(n);
    }
    return 1;
}

int CYrnSocket::SendRequestWait(const YrnEnvelope* envelope, const YrnRecord* request,
                                YrnRecord* response, int* timedOut, int timeoutMs,
                                uint32_t aesOverride, uint32_t zlibOverride, int forceCrc,
                                const std::string& host, int port) {
    {
        std::lock_guard g(sigLock_);
        ++pendingSends_;
    }
    struct Pending {
        CYrnSocket* s;
        ~Pending() {
            std::lock_guard g(s->sigLock_);
            --s->pendingSends_;
            s->sigCv_.notify_all();
        }
    } pending{this};
    if (timedOut) *timedOut = 0;
    if (!request) return 0;
    {
        std::lock_guard g(sigLock_);
        if (stopped_ || broken_) return 0;
    }
    YrnConnectionPtr rec = FindConnection(host, port);
    if (!rec) rec = GetFirstConnection();
    if (!rec || rec->closed.load() > 0) return 0;
    bool wait = envelope && envelope->waitFlag;

    CodecSettings c = codec();
    CYrnBuffer encoded, chunks;
    if (!YrnEncodeMessage(*request, c.key, c.keyBits, aesOverride ? aesOverride : c.aes,
                          zlibOverride ? zlibOverride : c.zlib, encoded))
        return 0;
    SplitChunks(encoded, chunks, maxData_);

    // One waiting request per connection: the expectation, the event and the stored
    // response are single slots. The time-out covers the whole request, including a wait
    // for the slot while another thread's request holds it.
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    struct Slot {
        CYrnSocket* s;
        YrnConnection* rec;
        bool held = false;
        ~Slot() {
            if (!held) return;
            std::lock_guard g(s->sigLock_);
            rec->requestBusy = false;
            s->sigCv_.notify_all();
        }
    } slot{this, rec.get()};
    if (wait) {
        std::unique_lock lk(sigLock_);
        if (!platform::waitUntilPumped(sigCv_, lk, deadline,
                                       [&] { return !rec->requestBusy || stopped_ || broken_; }) ||
            stopped_ || broken_) {
            // An end of the stream wakes this wait too, for the reason given below.
            if (timedOut) *timedOut = stopped_ || !broken_ ? 1 : 0;
            return 0;
        }
        rec->requestBusy = true;
        slot.held = true;
    }
    int32_t id = rec->messageCounter.fetch_add(1) + 1;
    if (wait) {
        SetExpectedResponse(id, *rec);
        std::lock_guard g(sigLock_);
        rec->eventSet = false;
    }
    if (!SendFragments(chunks, id, wait ? 1 : 0, forceCrc, *rec)) {
        if (wait) SetExpectedResponse(0, *rec);
        return 0;
    }
    if (!wait) return 1;
    {
        std::unique_lock lk(sigLock_);
        bool got = platform::waitUntilPumped(sigCv_, lk, deadline,
                                             [&] { return rec->eventSet || stopped_ || broken_; });
        if (!got || !rec->eventSet || stopped_) {
            // A stream that ended wakes the wait at once, and not as a time-out. Its answer
            // cannot come any more, and the sender is the UI thread, whose window neither
            // paints nor takes input while it waits: waiting on would hold the table frozen
            // for the rest of the time-out (up to 30 s for entering the game), with the notice
            // of the end queued behind the wait, and would then report a server too slow to
            // answer where the connection is gone. The caller finds the socket no longer
            // connected and answers as for a request made after the end.
            if (timedOut) *timedOut = stopped_ || !broken_ ? 1 : 0;
            return 0;
        }
        rec->eventSet = false;
    }
    std::lock_guard g(rec->responseLock);
    if (response) YrnCopyRecord(response, &rec->response);
    YrnFreeResponseData(&rec->response);
    return 1;
}

}  // namespace hqlv::netlib
