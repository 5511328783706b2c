#include "tools/server/game_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/message.h"
#include "tools/stand_ins.h"

namespace hqlv::server {

namespace {

constexpr int kKeyBits = 128;
constexpr size_t kMaxHello = 1024;
constexpr size_t kEntryBytes = 136;

const uint8_t* GameKey() {
    return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
}

void Put32(std::vector<uint8_t>& b, size_t off, int32_t v) {
    if (off + 4 > b.size()) b.resize(off + 4, 0);
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
int32_t Get32(const std::vector<uint8_t>& b, size_t off) {
    if (off + 4 > b.size()) return 0;
    return static_cast<int32_t>(b[off] | b[off + 1] << 8 | b[off + 2] << 16 |
                                static_cast<uint32_t>(b[off + 3]) << 24);
}
void PutText(std::vector<uint8_t>& b, size_t off, const std::string& s, size_t field) {
    if (off + field > b.size()) b.resize(off + field, 0);
    size_t n = std::min(s.size(), field - 1);
    std::memcpy(b.data() + off, s.data(), n);
}

}  // namespace

struct GameServer::Client {
    int id = 0;
    int fd = -1;
    bool hello = false;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    netlib::CYrnMessageAssembler assembler;
    std::atomic<int32_t> sequence{0};
    int32_t messageCounter = 0;
    SeatInfo seat;
    bool seated = false;
    bool ready = false;
    std::vector<uint8_t> entry;  // the player's 136-byte entry
    uint64_t lastTableChange = 0;
    int silver = tools::kPlayerStartSilver;
    int safeBox = 50000;
    // A spoil asked for (SpoilNext), and the request whose answer it waits for (0: the next
    // packet); the answer being queued now is to that request; nothing more goes out.
    std::optional<Spoil> spoil;
    int spoilRequest = 0;
    bool answeringSpoiled = false;
    bool stalled = false;
};

GameServer::GameServer(ServerOptions options) : opt_(std::move(options)) {}

GameServer::~GameServer() {
    Stop();
}

uint64_t GameServer::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void GameServer::Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMu_);
    if (opt_.log)
        opt_.log(line);
    else
        std::cerr << "hqlv-server: " << line << std::endl;
}

bool GameServer::Start() {
    if (thread_.joinable()) return false;
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(opt_.port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        Log("cannot listen on 127.0.0.1:" + std::to_string(opt_.port) + ": " +
            std::strerror(errno));
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::fcntl(listenFd_, F_SETFL, O_NONBLOCK);
    if (::pipe2(wakeFd_, O_NONBLOCK | O_CLOEXEC) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    Log("listening on 127.0.0.1:" + std::to_string(port_));
    return true;
}

void GameServer::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    Wake();
    thread_.join();
    std::lock_guard<std::recursive_mutex> lock(mu_);
    for (auto& [id, c] : clients_) ::close(c->fd);
    clients_.clear();
    ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
    listenFd_ = wakeFd_[0] = wakeFd_[1] = -1;
    cv_.notify_all();
}

void GameServer::Wake() {
    if (wakeFd_[1] >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t r = ::write(wakeFd_[1], &b, 1);
    }
}

void GameServer::SetGameHandler(std::shared_ptr<GameHandler> handler) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    handler_ = std::move(handler);
}

std::vector<int> GameServer::Clients() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    std::vector<int> ids;
    for (auto& [id, c] : clients_)
        if (c->hello) ids.push_back(id);
    return ids;
}

bool GameServer::WaitForClients(size_t n, int timeoutMs) {
    std::unique_lock<std::recursive_mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        size_t k = 0;
        for (auto& [id, c] : clients_) k += c->hello ? 1 : 0;
        return k >= n;
    });
}

std::optional<SeatInfo> GameServer::Seat(int client) const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end() || !it->second->seated) return std::nullopt;
    return it->second->seat;
}

bool GameServer::Notify(int client, int code, const std::vector<uint8_t>& body) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end()) return false;
    Client& c = *it->second;
    QueueMessage(c, netlib::kPacketMessage, ++c.messageCounter, code, body);
    Log("client " + std::to_string(client) + ": notification " + std::to_string(code) + ", " +
        std::to_string(body.size()) + " bytes");
    Wake();
    return true;
}

int GameServer::NotifyTable(int room, int table, int code, const std::vector<uint8_t>& body,
                            int exceptClient) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    int n = 0;
    for (auto& [id, c] : clients_) {
        if (id == exceptClient || !c->seated || c->seat.room != room || c->seat.table != table)
            continue;
        QueueMessage(*c, netlib::kPacketMessage, ++c->messageCounter, code, body);
        ++n;
    }
    Wake();
    return n;
}

bool GameServer::Disconnect(int client) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (!clients_.count(client)) return false;
    DropClient(client, "closed by the server");
    return true;
}

void GameServer::SetVersion(int major, int minor) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    opt_.versionMajor = major;
    opt_.versionMinor = minor;
}

void GameServer::SetReply(int requestId, Reply reply) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    replies_[requestId] = std::move(reply);
}

void GameServer::ClearReply(int requestId) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    replies_.erase(requestId);
}

void GameServer::SetSilent(int requestId, bool silent) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    silent_[requestId] = silent;
}

void GameServer::SetReplyDelay(int requestId, int delayMs) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    delays_[requestId] = delayMs;
}

bool GameServer::SendRaw(int client, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end()) return false;
    it->second->out.insert(it->second->out.end(), bytes.begin(), bytes.end());
    Wake();
    return true;
}

bool GameServer::SpoilNext(int client, Spoil kind, int requestId) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end()) return false;
    it->second->spoil = kind;
    it->second->spoilRequest = requestId;
    return true;
}

bool GameServer::ApplySpoil(Client& c, int type, netlib::CYrnBuffer& packets) {
    if (c.stalled) return false;
    const bool armed =
        c.spoil && (c.spoilRequest == 0 || (type == netlib::kPacketResponse && c.answeringSpoiled));
    if (!armed || packets.Size() < 4) return true;
    const Spoil kind = *c.spoil;
    c.spoil.reset();
    c.answeringSpoiled = false;
    uint8_t* p = packets.Data();
    const size_t first = 4 + size_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                    uint32_t(p[3]) << 24);
    const size_t half = std::min(first, packets.Size()) / 2;
    std::string what;
    switch (kind) {
        case Spoil::kShortLength: {
            // Sixteen bytes short: the packet's last bytes then read as the next one's front.
            const uint32_t l = uint32_t(first - 4 - 16);
            for (int i = 0; i < 4; ++i) p[i] = uint8_t(l >> (8 * i));
            what = "its length word 16 bytes short";
            break;
        }
        case Spoil::kDroppedTail: {
            netlib::CYrnBuffer cut;
            cut.Append(p, half);
            if (packets.Size() > first) cut.Append(p + first, packets.Size() - first);
            packets.Swap(cut);
            what = "its back half dropped";
            break;
        }
        case Spoil::kStall: {
            netlib::CYrnBuffer cut;
            cut.Append(p, half);
            packets.Swap(cut);
            c.stalled = true;
            what = "its front half sent, then nothing more";
            break;
        }
    }
    Log("client " + std::to_string(c.id) + ": packet spoiled, " + what);
    return true;
}

std::vector<Request> GameServer::Received() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return received_;
}

std::optional<Request> GameServer::WaitForRequest(int requestId, int timeoutMs, int nth) {
    std::unique_lock<std::recursive_mutex> lock(mu_);
    std::optional<Request> found;
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        int k = 0;
        for (const Request& r : received_) {
            if (r.id == requestId && ++k == nth) {
                found = r;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool GameServer::WaitForClosed(int client, int timeoutMs) {
    std::unique_lock<std::recursive_mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return clients_.count(client) == 0; });
}

void GameServer::Run() {
    std::vector<pollfd> fds;
    std::vector<int> ids;
    while (!stop_) {
        fds.clear();
        ids.clear();
        fds.push_back({wakeFd_[0], POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        int timeout = 100;
        {
            std::lock_guard<std::recursive_mutex> lock(mu_);
            for (auto& [id, c] : clients_) {
                short ev = POLLIN;
                if (!c->out.empty()) ev |= POLLOUT;
                fds.push_back({c->fd, ev, 0});
                ids.push_back(id);
            }
            uint64_t now = NowMs();
            for (const PendingReply& p : pending_)
                timeout = std::min<int>(timeout, p.dueMs > now ? int(p.dueMs - now) : 0);
        }
        ::poll(fds.data(), fds.size(), timeout);
        if (fds[0].revents & POLLIN) {
            char buf[64];
            while (::read(wakeFd_[0], buf, sizeof buf) > 0) {
            }
        }
        std::lock_guard<std::recursive_mutex> lock(mu_);
        if (fds[1].revents & POLLIN) Accept();
        for (size_t i = 0; i < ids.size(); ++i) {
            auto it = clients_.find(ids[i]);
            if (it == clients_.end()) continue;
            Client& c = *it->second;
            short re = fds[i + 2].revents;
            if (re & (POLLIN | POLLHUP | POLLERR)) {
                if (!ReadClient(c)) continue;  // dropped
            }
            if (re & POLLOUT) FlushClient(c);
        }
        // Replies whose delay ran out.
        uint64_t now = NowMs();
        for (size_t i = 0; i < pending_.size();) {
            if (pending_[i].dueMs <= now) {
                PendingReply p = std::move(pending_[i]);
                pending_.erase(pending_.begin() + i);
                auto it = clients_.find(p.client);
                if (it != clients_.end()) {
                    QueueMessage(*it->second, netlib::kPacketResponse, p.messageId, p.reply.code,
                                 p.reply.data);
                    FlushClient(*it->second);
                }
            } else {
                ++i;
            }
        }
        if (handler_) handler_->OnTick(*this);
        for (auto& [id, c] : clients_)
            if (!c->out.empty()) FlushClient(*c);
    }
}

void GameServer::Accept() {
    while (true) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        auto c = std::make_unique<Client>();
        c->id = nextClient_++;
        c->fd = fd;
        Log("client " + std::to_string(c->id) + ": connected");
        clients_[c->id] = std::move(c);
    }
}

bool GameServer::ReadClient(Client& c) {
    uint8_t buf[4096];
    // A bounded number of reads per round keeps one busy client from starving the rest.
    for (int round = 0; round < 16; ++round) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            // Parse as the bytes come, so a flood never piles up unparsed.
            c.in.insert(c.in.end(), buf, buf + n);
            if (!ParseClient(c)) return false;
            continue;
        }
        if (n == 0) {
            DropClient(c.id, "closed by the client");
            return false;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        if (errno == EINTR) continue;
        DropClient(c.id, std::string("read error: ") + std::strerror(errno));
        return false;
    }
    return true;
}

// Returns false when the client was dropped.
bool GameServer::ParseClient(Client& c) {
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        DropClient(c.id, "malformed packet: " + why);
        return false;
    };
    if (!c.hello) {
        if (c.in.size() < 4) return true;
        int32_t n = Get32(c.in, 0);
        if (n <= 0 || static_cast<size_t>(n) > kMaxHello) return fail("bad hello length");
        if (c.in.size() < 4 + static_cast<size_t>(n)) return true;
        std::string hello(reinterpret_cast<const char*>(c.in.data() + 4),
                          strnlen(reinterpret_cast<const char*>(c.in.data() + 4), n));
        Log("client " + std::to_string(c.id) + ": hello \"" + hello + "\" (" + std::to_string(n) +
            " bytes)");
        c.hello = true;
        pos = 4 + n;
        cv_.notify_all();
    }
    while (pos < c.in.size()) {
        size_t size = 0;
        netlib::YrnFrame f = netlib::YrnNextPacket(c.in.data() + pos, c.in.size() - pos,
                                                   netlib::kGameMaxData, &size);
        if (f == netlib::YrnFrame::NeedMore) break;
        if (f == netlib::YrnFrame::Error) return fail("bad length");
        const uint8_t* p = c.in.data() + pos;
        if (!netlib::YrnCheckPacket(p, size, netlib::kGameMaxData)) return fail("bad check");
        netlib::YrnPacketHead head = netlib::YrnReadHead(p + 4);
        if (head.type != netlib::kPacketMessage) return fail("unexpected packet type");
        if (head.messageId <= 0 || head.fragment <= 0) return fail("bad message id");
        size_t dataLen = netlib::YrnPacketDataLength(p);
        auto outcome = c.assembler.Feed(head, p + netlib::kPacketOverhead, dataLen, c.fd,
                                        static_cast<uint32_t>(c.id));
        pos += size;
        if (outcome == netlib::CYrnMessageAssembler::kTooLarge) return fail("message too large");
        if (outcome == netlib::CYrnMessageAssembler::kDropped) {
            Log("client " + std::to_string(c.id) + ": fragment out of order dropped");
            continue;
        }
        if (outcome != netlib::CYrnMessageAssembler::kComplete) continue;
        netlib::YrnEnvelope* env = nullptr;
        netlib::YrnRecord* rec = nullptr;
        netlib::CYrnBuffer& m = c.assembler.Message();
        int ok = netlib::YrnDecodeMessage(m.Data(), m.Size(), &env, &rec, GameKey(), kKeyBits,
                                          netlib::kCodecAes, 0, netlib::kGameMaxData);
        c.assembler.Clear();
        if (!ok) return fail("message does not decode");
        std::vector<uint8_t> body;
        if (rec->length > 0 && rec->data) body.assign(rec->data, rec->data + rec->length);
        int code = rec->head[1];
        int messageId = env->messageId;
        bool wait = env->waitFlag != 0;
        netlib::YrnFreeSocketMessage(env, rec);
        int id = c.id;
        HandleMessage(c, messageId, wait, code, std::move(body));
        if (!clients_.count(id)) return false;
    }
    c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(std::min(pos, c.in.size())));
    return true;
}

void GameServer::QueueMessage(Client& c, int type, int messageId, int code,
                              const std::vector<uint8_t>& data) {
    netlib::YrnRecord rec;
    rec.head[1] = code;
    rec.length = static_cast<int32_t>(data.size());
    rec.data = data.empty() ? nullptr : const_cast<uint8_t*>(data.data());
    netlib::CYrnBuffer packets;
    if (netlib::YrnEncodeMessagePackets(rec, GameKey(), kKeyBits, netlib::kCodecAes, 0,
                                        netlib::kGameMaxData, type, messageId, 0, true, c.sequence,
                                        packets) <= 0) {
        Log("client " + std::to_string(c.id) + ": cannot encode message " + std::to_string(code));
        return;
    }
    if (!ApplySpoil(c, type, packets)) return;
    c.out.insert(c.out.end(), packets.Data(), packets.Data() + packets.Size());
}

void GameServer::FlushClient(Client& c) {
    while (!c.out.empty()) {
        ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            c.out.erase(c.out.begin(), c.out.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // would block, or an error the next read reports
    }
}

void GameServer::DropClient(int id, const std::string& why) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    Log("client " + std::to_string(id) + ": " + why);
    if (c.seated) LeaveSeat(c, true);
    if (handler_) handler_->OnClientClosed(*this, id);
    FlushClient(c);
    ::close(c.fd);
    clients_.erase(it);
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [&](const PendingReply& p) { return p.client == id; }),
                   pending_.end());
    cv_.notify_all();
}

void GameServer::HandleMessage(Client& c, int messageId, bool wait, int code,
                               std::vector<uint8_t> body) {
    Request r;
    r.client = c.id;
    r.id = code;
    r.messageId = messageId;
    r.wait = wait;
    r.body = std::move(body);
    Log("client " + std::to_string(c.id) + ": request " + std::to_string(code) + " message " +
        std::to_string(messageId) + (wait ? " waits" : " no wait") + ", " +
        std::to_string(r.body.size()) + " bytes");
    received_.push_back(r);
    cv_.notify_all();

    Reply reply;
    bool handled = false;
    if (auto it = replies_.find(code); it != replies_.end()) {
        reply = it->second;
        handled = true;
    }
    if (!handled && handler_) handled = handler_->OnRequest(*this, r, reply);
    if (!handled) handled = HandleFrameworkRequest(r, reply);
    if (!wait) return;                 // requests that are not waited for get no answer
    if (!handled) reply.code = 10000;  // "不支持的请求。"
    if (silent_[code]) {
        Log("client " + std::to_string(c.id) + ": request " + std::to_string(code) +
            " left unanswered");
        return;
    }
    if (c.spoil && c.spoilRequest == code) c.answeringSpoiled = true;
    if (int d = delays_[code]; d > 0) {
        pending_.push_back({c.id, messageId, std::move(reply), NowMs() + static_cast<uint64_t>(d)});
        Wake();
        return;
    }
    QueueMessage(c, netlib::kPacketResponse, messageId, reply.code, reply.data);
    FlushClient(c);
}

GameServer::Client* GameServer::SeatHolder(int room, int table, int chair) {
    for (auto& [id, c] : clients_)
        if (c->seated && !c->seat.lookerOn && c->seat.room == room && c->seat.table == table &&
            c->seat.chair == chair)
            return c.get();
    return nullptr;
}

std::vector<uint8_t> GameServer::EntryOf(int client) const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end() || !it->second->seated) return {};
    return PlayerEntry(*it->second);
}

void GameServer::SetStanding(int client, int32_t score, int32_t silver, int32_t level) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    c.entry.resize(kEntryBytes, 0);
    c.silver = silver;
    Put32(c.entry, 22 * 4, level);
    Put32(c.entry, 23 * 4, score);
}

std::vector<uint8_t> GameServer::PlayerEntry(const Client& c) const {
    std::vector<uint8_t> e = c.entry;
    e.resize(kEntryBytes, 0);
    Put32(e, 0, c.seat.userId);
    Put32(e, 3 * 4, c.seat.table);
    Put32(e, 4 * 4, c.seat.chair);
    Put32(e, 21 * 4, c.silver);
    return e;
}

std::vector<uint8_t> GameServer::PlayerList(int room, int table, int excludeClient) {
    std::vector<uint8_t> b(60, 0);
    int n = 0;
    for (auto& [id, c] : clients_) {
        if (id == excludeClient || !c->seated || c->seat.lookerOn || c->seat.room != room ||
            c->seat.table != table)
            continue;
        auto e = PlayerEntry(*c);
        b.insert(b.end(), e.begin(), e.end());
        ++n;
    }
    if (handler_) {
        // A chair a connection holds is listed once, by its connection.
        const auto extra = handler_->UnconnectedPlayers(*this, room, table);
        for (size_t at = 0; at + kEntryBytes <= extra.size(); at += kEntryBytes) {
            const std::vector<uint8_t> e(extra.begin() + static_cast<long>(at),
                                         extra.begin() + static_cast<long>(at + kEntryBytes));
            bool held = false;
            for (int k = 0; k < n; ++k)
                held |= Get32(b, 60 + static_cast<size_t>(k) * kEntryBytes + 16) == Get32(e, 16);
            if (held) continue;
            b.insert(b.end(), e.begin(), e.end());
            ++n;
        }
    }
    Put32(b, 0, table);
    Put32(b, 8, n);
    return b;
}

std::vector<uint8_t> GameServer::ServerGameData(const Client& c) {
    if (handler_)
        if (auto d = handler_->GameData(*this, c.id)) return *std::move(d);
    // Table, own chair, chairs and the seated players.
    std::vector<uint8_t> d(16, 0);
    Put32(d, 0, c.seat.table);
    Put32(d, 4, c.seat.chair);
    Put32(d, 8, opt_.chairs);
    auto list = PlayerList(c.seat.room, c.seat.table);
    Put32(d, 12, Get32(list, 8));
    d.insert(d.end(), list.begin() + 60, list.end());
    return d;
}

void GameServer::LeaveSeat(Client& c, bool tell) {
    if (!c.seated) return;
    c.seated = false;
    c.ready = false;
    if (tell && !c.seat.lookerOn) {
        std::vector<uint8_t> b(32, 0);
        Put32(b, 0, c.seat.userId);
        Put32(b, 4, c.seat.chair);
        Put32(b, 28, c.seat.table);
        for (auto& [id, o] : clients_)
            if (o.get() != &c && o->seated && o->seat.room == c.seat.room &&
                o->seat.table == c.seat.table)
                QueueMessage(*o, netlib::kPacketMessage, ++o->messageCounter, 211010, b);
    }
}

RoomRules GameServer::RulesOf(int room) const {
    const auto it = opt_.rooms.find(room);
    return it == opt_.rooms.end() ? RoomRules{} : it->second;
}

bool GameServer::MoveSeat(int client, int table, int chair) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = clients_.find(client);
    if (it == clients_.end() || it->second->seat.lookerOn || table < 0 || table >= opt_.tables ||
        chair < 0 || chair >= opt_.chairs)
        return false;
    Client& c = *it->second;
    LeaveSeat(c, true);
    c.seat.table = table;
    c.seat.chair = chair;
    c.seated = true;
    return true;
}

void GameServer::CheckSilverRange(const Client& c, Reply& reply) {
    const RoomRules rules = RulesOf(c.seat.room);
    // Too little (210090) or too much (210091): user, room, the silver carried, the bound.
    const bool little = rules.silverMin > 0 && c.silver < rules.silverMin;
    const bool much = rules.silverMax > 0 && c.silver > rules.silverMax;
    if (!little && !much) {
        reply.code = 10;
        return;
    }
    reply.code = little ? 210090 : 210091;
    reply.data.assign(16, 0);
    Put32(reply.data, 0, c.seat.userId);
    Put32(reply.data, 4, c.seat.room);
    Put32(reply.data, 8, c.silver);
    Put32(reply.data, 12, little ? rules.silverMin : rules.silverMax);
    Log("silver check of user " + std::to_string(c.seat.userId) + ": " + std::to_string(c.silver) +
        " against " + std::to_string(rules.silverMin) + "-" + std::to_string(rules.silverMax) +
        ", refused");
}

std::vector<uint8_t> GameServer::ActivityConfig() const {
    std::vector<uint8_t> b(1104, 0);
    Put32(b, 0, 1);
    Put32(b, 4, 2);
    Put32(b, 8, 0);   // sign-in
    Put32(b, 12, 1);  // dole
    PutText(b, 48, "10x20!signin|3x2000!dole", 1104 - 48);
    return b;
}

bool GameServer::HandleFrameworkRequest(const Request& r, Reply& reply) {
    auto it = clients_.find(r.client);
    if (it == clients_.end()) return false;
    Client& c = *it->second;
    reply = Reply{};
    switch (r.id) {
        case 201001:  // version check: 7 words
            reply.code = 10;
            reply.data.assign(28, 0);
            Put32(reply.data, 0, opt_.versionMajor);
            Put32(reply.data, 4, opt_.versionMinor);
            return true;
        case 201308:
            reply.code = 10;
            reply.data = ActivityConfig();
            return true;
        case 200110: {  // enter the game
            if (r.body.size() < 108) {
                reply.code = 1011;
                return true;
            }
            int userId = Get32(r.body, 0), room = Get32(r.body, 12), table = Get32(r.body, 16),
                chair = Get32(r.body, 20), looker = Get32(r.body, 56);
            if (userId == 0) {
                reply.code = 210008;
                return true;
            }
            if (table < 0 || table >= opt_.tables || chair < 0 || chair >= opt_.chairs) {
                reply.code = 210060;
                return true;
            }
            Client* holder = SeatHolder(room, table, chair);
            if (!looker && holder && holder != &c && holder->seat.userId != userId) {
                reply.code = 200510;  // taken: the table's player list instead
                reply.data = PlayerList(room, table);
                return true;
            }
            LeaveSeat(c, true);
            c.seat = SeatInfo{room, table, chair, userId, looker != 0};
            c.seated = true;
            if (r.body.size() >= 108 + kEntryBytes)
                c.entry.assign(r.body.begin() + 108, r.body.begin() + 108 + kEntryBytes);
            else {
                // A player who brings no entry stands as the hall lists him.
                c.entry.assign(kEntryBytes, 0);
                PutText(c.entry, 36, "player" + std::to_string(userId), 32);
                Put32(c.entry, 22 * 4, tools::kPlayerStartLevel);
                Put32(c.entry, 23 * 4, tools::kPlayerStartScore);
            }
            reply.code = 200500;
            reply.data = ServerGameData(c);
            if (!looker) {
                auto e = PlayerEntry(c);
                for (auto& [id, o] : clients_)
                    if (o.get() != &c && o->seated && o->seat.room == room &&
                        o->seat.table == table)
                        QueueMessage(*o, netlib::kPacketMessage, ++o->messageCounter, 211011, e);
            }
            return true;
        }
        case 201130: {  // is a game running
            bool playing = false;
            if (c.seated) {
                int ready = 0;
                for (auto& [id, o] : clients_)
                    if (o->seated && !o->seat.lookerOn && o->seat.room == c.seat.room &&
                        o->seat.table == c.seat.table && o->ready)
                        ++ready;
                playing = ready >= opt_.chairs;
            }
            reply.code = playing ? 210030 : 10;
            reply.data.assign(4, 0);
            Put32(reply.data, 0, opt_.optionWordA);
            return true;
        }
        case 201140:
            reply.code = 10;
            reply.data = ServerGameData(c);
            return true;
        case 201160:
            c.ready = true;
            return true;
        case 201161:
            CheckSilverRange(c, reply);
            return true;
        case 201125:  // leave, answered
        case 201120:  // leave, not answered
            LeaveSeat(c, true);
            reply.code = 10;
            return true;
        case 201210:
            // Table chat goes to the table's others as it was sent (text at byte 48).
            if (c.seated)
                for (auto& [id, o] : clients_)
                    if (o.get() != &c && o->seated && o->seat.room == c.seat.room &&
                        o->seat.table == c.seat.table)
                        QueueMessage(*o, netlib::kPacketMessage, ++o->messageCounter, 201210,
                                     r.body);
            return true;
        case 201211: {
            // The second chat request comes back to the whole table, the sender included,
            // as a player's message: sender in word 0, kind 8 in word 2, text at byte 36.
            if (!c.seated) return true;
            std::vector<uint8_t> m(36, 0);
            Put32(m, 0, c.seat.userId);
            Put32(m, 8, 8);
            if (r.body.size() > 48) {
                size_t n = 0;
                while (48 + n < r.body.size() && n < 61 && r.body[48 + n]) ++n;
                m.insert(m.end(), r.body.begin() + 48, r.body.begin() + 48 + long(n));
            }
            m.push_back(0);
            for (auto& [id, o] : clients_)
                if (o->seated && o->seat.room == c.seat.room && o->seat.table == c.seat.table)
                    QueueMessage(*o, netlib::kPacketMessage, ++o->messageCounter, 211200, m);
            return true;
        }
        case 201200:
            if (c.seated)
                for (auto& [id, o] : clients_)
                    if (o->seated && o->seat.room == c.seat.room && o->seat.table == c.seat.table)
                        QueueMessage(*o, netlib::kPacketMessage, ++o->messageCounter, 201200,
                                     r.body);
            return true;
        case 201300: {  // change table
            uint64_t now = NowMs();
            if (c.lastTableChange && now - c.lastTableChange < 2000) {
                reply.code = 210092;
                return true;
            }
            if (!c.seated) {
                reply.code = 1000;
                return true;
            }
            for (int step = 1; step < opt_.tables; ++step) {
                int t = (c.seat.table + step) % opt_.tables;
                for (int ch = 0; ch < opt_.chairs; ++ch) {
                    if (SeatHolder(c.seat.room, t, ch)) continue;
                    LeaveSeat(c, true);
                    c.seat.table = t;
                    c.seat.chair = ch;
                    c.seated = true;
                    c.lastTableChange = now;
                    reply.code = 10;
                    // Table information: table, own chair, count, entries from byte 68.
                    auto list = PlayerList(c.seat.room, t);
                    std::vector<uint8_t> info(68, 0);
                    Put32(info, 8, t);
                    Put32(info, 12, ch);
                    Put32(info, 16, Get32(list, 8));
                    info.insert(info.end(), list.begin() + 60, list.end());
                    QueueMessage(c, netlib::kPacketMessage, ++c.messageCounter, 211700, info);
                    return true;
                }
            }
            reply.code = 1010;
            return true;
        }
        case 201302:
        case 201180:
        case 201020:
        case 214102:
        case 214104:
            return true;  // recorded; nothing to answer
        case 201303:
            reply.code = 10;
            return true;
        case 200040:
            reply.code = 10;
            reply.data.assign(32, 0);
            Put32(reply.data, 0, c.safeBox);
            Put32(reply.data, 4, c.safeBox);  // the dialog shows word 1
            return true;
        case 200043:
            reply.code = 10;
            reply.data.assign(24, 0);
            return true;
        case 200042:
        case 200041: {
            int amount = Get32(r.body, 20);
            bool save = r.id == 200042;
            if (amount <= 0) {
                reply.code = 1011;
                return true;
            }
            if (save ? amount > c.silver : amount > c.safeBox) {
                reply.code = 60005;
                return true;
            }
            c.silver += save ? -amount : amount;
            c.safeBox += save ? amount : -amount;
            reply.code = 10;
            // The table hears the seat's new silver: user, chair, 1 take / 2 save, amount,
            // silver in hand.
            std::vector<uint8_t> moved(20, 0);
            Put32(moved, 0, c.seat.userId);
            Put32(moved, 4, c.seat.chair);
            Put32(moved, 8, save ? 2 : 1);
            Put32(moved, 12, amount);
            Put32(moved, 16, c.silver);
            if (c.seated)
                NotifyTable(c.seat.room, c.seat.table, 211420, moved);
            else
                QueueMessage(c, netlib::kPacketMessage, ++c.messageCounter, 211420, moved);
            return true;
        }
        case 214010:
            reply.code = 10;
            reply.data.assign(124, 0);
            Put32(reply.data, 0, 3);     // claims a day
            Put32(reply.data, 4, 2000);  // amount
            Put32(reply.data, 8, 1000);  // below this much silver
            return true;
        case 214000:
        case 214001:
            reply.code = 10;
            reply.data.assign(4, 0);
            Put32(reply.data, 0, 2000);
            c.silver += 2000;
            return true;
        default:
            return false;
    }
}

}  // namespace hqlv::server
