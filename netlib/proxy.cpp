#include "netlib/proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "netlib/base64.h"
#include "netlib/log.h"

namespace hqlv::netlib {
namespace {

// The most an HTTP proxy's reply head may take: a proxy that never ends its head (or one
// that is no HTTP proxy) would otherwise grow it for as long as it sends.
constexpr size_t kMaxHttpReply = 16384;

// Dotted address, else a local name lookup; false when neither gives an IPv4 address.
bool resolveLocal(const std::string& host, uint32_t* addrNet) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
        *addrNet = a.s_addr;
        return true;
    }
    if (host.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    *addrNet = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return true;
}

void appendPort(std::vector<uint8_t>& m, uint16_t portNet) {
    const auto* p = reinterpret_cast<const uint8_t*>(&portNet);
    m.push_back(p[0]);
    m.push_back(p[1]);
}

void appendAddr(std::vector<uint8_t>& m, uint32_t addrNet) {
    const auto* p = reinterpret_cast<const uint8_t*>(&addrNet);
    m.insert(m.end(), p, p + 4);
}

}  // namespace

CProxySocket::~CProxySocket() {
    if (fd_ >= 0) ::close(fd_);
}

bool CProxySocket::Create() {
    if (fd_ >= 0) Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

int CProxySocket::Detach() {
    int fd = fd_;
    fd_ = -1;
    connecting_ = false;
    return fd;
}

void CProxySocket::Close() {
    resetReply(0);
    httpReply_.clear();
    step_ = 0;
    operation_ = kProxyOpNone;
    connecting_ = false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int CProxySocket::Receive(void* buffer, int n) {
    if (operation_ != kProxyOpNone) {
        errno = EWOULDBLOCK;
        return -1;
    }
    return static_cast<int>(::recv(fd_, buffer, static_cast<size_t>(n), 0));
}

int CProxySocket::Send(const void* data, int n) {
    if (operation_ != kProxyOpNone) {
        errno = EWOULDBLOCK;
        return -1;
    }
    return static_cast<int>(::send(fd_, data, static_cast<size_t>(n), MSG_NOSIGNAL));
}

void CProxySocket::SetProxyType(int type) {
    type_ = type;
}

void CProxySocket::SetProxy(int type, const std::string& host, int port) {
    type_ = type;
    proxyHost_ = host;
    proxyPort_ = port;
    useAuth_ = false;
}

void CProxySocket::SetProxyAuth(int type, const std::string& host, int port,
                                const std::string& user, const std::string& password) {
    type_ = type;
    proxyHost_ = host;
    proxyPort_ = port;
    user_ = user;
    password_ = password;
    useAuth_ = true;
}

bool CProxySocket::startConnect(const sockaddr_in& to) {
    if (fd_ < 0) return false;
    int r = ::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (r != 0 && errno != EINPROGRESS) return false;
    // Completed or not, the outcome is reported through OnConnect.
    connecting_ = true;
    return true;
}

bool CProxySocket::proxyAddress(sockaddr_in& out) {
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(proxyPort_));
    uint32_t a = 0;
    if (!resolveLocal(proxyHost_, &a)) return false;
    out.sin_addr.s_addr = a;
    return true;
}

int CProxySocket::ConnectToAddress(const sockaddr_in& destination) {
    if (type_ == kProxyNone) return startConnect(destination) ? 1 : 0;
    sockaddr_in pa;
    if (!proxyAddress(pa) || !startConnect(pa)) {
        error_ = kProxyConnectFailed;
        return 0;
    }
    destAddr_ = destination.sin_addr.s_addr;
    destPort_ = destination.sin_port;
    destName_.clear();
    operation_ = kProxyOpConnect;
    return 1;
}

int CProxySocket::Connect(const std::string& host, int port) {
    error_ = kProxyOk;
    uint32_t addr = 0;
    bool resolved = resolveLocal(host, &addr);
    if (type_ == kProxyNone) {
        if (!resolved) {
            errno = EINVAL;
            return 0;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = addr;
        return startConnect(to) ? 1 : 0;
    }
    if (resolved) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = addr;
        if (!ConnectToAddress(to)) return 0;
        destName_ = host;
        return 1;
    }
    if (type_ == kProxySocks4) {
        error_ = kProxySocks4Resolve;
        errno = EINVAL;
        return 0;
    }
    sockaddr_in pa;
    if (!proxyAddress(pa) || !startConnect(pa)) {
        error_ = kProxyConnectFailed;
        return 0;
    }
    destPort_ = htons(static_cast<uint16_t>(port));
    destAddr_ = 0;
    destName_ = host;
    operation_ = kProxyOpConnect;
    return 1;
}

int CProxySocket::BindViaProxy(const sockaddr_in& address) {
    error_ = kProxyOk;
    sockaddr_in pa;
    if (type_ == kProxyNone || !proxyAddress(pa) || !startConnect(pa)) {
        error_ = kProxyConnectFailed;
        return 0;
    }
    destAddr_ = address.sin_addr.s_addr;
    destPort_ = 0;
    destName_.clear();
    operation_ = kProxyOpBind;
    return 1;
}

int CProxySocket::Listen() {
    return ::listen(fd_, 5) == 0 ? 1 : 0;
}

int CProxySocket::Accept(CProxySocket& other) {
    if (type_ != kProxyNone) {
        if (other.fd_ >= 0) ::close(other.fd_);
        other.fd_ = Detach();
        return other.fd_ >= 0 ? 1 : 0;
    }
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return 0;
    if (other.fd_ >= 0) ::close(other.fd_);
    other.fd_ = fd;
    return 1;
}

void CProxySocket::DispatchReadiness(short revents) {
    if (fd_ < 0 || revents == 0) return;
    if (connecting_) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        connecting_ = false;
        OnConnect(err);
        if (err == 0 && fd_ >= 0) OnSend(0);  // the writable notice after a connect
        return;
    }
    if (revents & POLLIN) {
        OnReceive(0);
        return;
    }
    if (revents & (POLLERR | POLLHUP)) {
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
        OnClose(err);
    }
}

void CProxySocket::resetReply(size_t expected) {
    reply_.assign(expected, 0);
    replyExpected_ = expected;
    replyGot_ = 0;
}

void CProxySocket::fail(int code) {
    error_ = code;
    int op = operation_;
    Close();
    OnProxyFailed(op);
}

bool CProxySocket::sendWhole(const std::vector<uint8_t>& msg) {
    ssize_t r;
    do {
        r = ::send(fd_, msg.data(), msg.size(), MSG_NOSIGNAL);
    } while (r < 0 && errno == EINTR);
    return r == static_cast<ssize_t>(msg.size());
}

int CProxySocket::readReply(int failCode) {
    while (replyGot_ < replyExpected_) {
        ssize_t r = ::recv(fd_, reply_.data() + replyGot_, replyExpected_ - replyGot_, 0);
        if (r > 0) {
            replyGot_ += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
        fail(failCode);  // the proxy closed or the read failed
        return -1;
    }
    return 1;
}

std::vector<uint8_t> CProxySocket::socks5Connect() const {
    std::vector<uint8_t> m;
    m.reserve(10 + destName_.size());
    m.push_back(5);
    m.push_back(static_cast<uint8_t>(operation_ == kProxyOpBind ? 2 : 1));
    m.push_back(0);
    if (destAddr_ != 0) {
        m.push_back(1);
        appendAddr(m, destAddr_);
    } else {
        m.push_back(3);
        m.push_back(static_cast<uint8_t>(destName_.size()));
        m.insert(m.end(), destName_.begin(), destName_.end());
    }
    appendPort(m, destPort_);
    return m;
}

void CProxySocket::OnConnect(int error) {
    if (error != 0) {
        bool viaProxy = operation_ != kProxyOpNone;
        step_ = 0;
        operation_ = kProxyOpNone;
        // The proxy could not be reached: say so now rather than leave the caller waiting.
        if (viaProxy) fail(kProxyConnectFailed);
        return;
    }
    if (operation_ == kProxyOpNone || step_ != 0) return;
    resetReply(0);
    httpReply_.clear();
    sendFirstMessage();
}

void CProxySocket::sendFirstMessage() {
    std::vector<uint8_t> m;
    switch (type_) {
        case kProxySocks4:
        case kProxySocks4a: {
            m.reserve(10 + destName_.size());
            m.push_back(4);
            m.push_back(static_cast<uint8_t>(operation_ == kProxyOpBind ? 2 : 1));
            appendPort(m, destPort_);
            if (destAddr_ != 0) {
                appendAddr(m, destAddr_);
                m.push_back(0);
            } else {
                m.insert(m.end(), {0, 0, 0, 1, 0});
                m.insert(m.end(), destName_.begin(), destName_.end());
                m.push_back(0);
            }
            resetReply(8);
            break;
        }
        case kProxySocks5:
            // A name travels behind a one-byte length: a longer one cannot be said, and its
            // length cut to a byte would send the proxy a name that ends elsewhere.
            if (destAddr_ == 0 && destName_.size() > 255) {
                fail(kProxyHandshake);
                return;
            }
            m = useAuth_ ? std::vector<uint8_t>{5, 2, 2, 0} : std::vector<uint8_t>{5, 1, 0};
            resetReply(2);
            break;
        case kProxyHttp: {
            char line[600];
            const std::string& name = destName_;
            std::string target = name;
            if (target.empty()) {
                in_addr a{destAddr_};
                char buf[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &a, buf, sizeof buf);
                target = buf;
            }
            int port = ntohs(destPort_);
            std::snprintf(line, sizeof line, "CONNECT %s:%d HTTP/1.1\r\nHost: %s:%d\r\n",
                          target.c_str(), port, target.c_str(), port);
            std::string text = line;
            if (useAuth_) {
                // Standard Base64 on one line: the library's own coder ends every text whose
                // length is a multiple of three with an extra "=", which a proxy reads as a
                // malformed credential, and breaks a long one after 72 characters, which
                // would end the header line in the middle of the credential.
                std::string cred = user_ + ":" + password_;
                std::string b = YrnBase64Standard(cred.data(), cred.size());
                text += "Authorization: Basic " + b + "\r\n";
                text += "Proxy-Authorization: Basic " + b + "\r\n";
            }
            text += "\r\n";
            m.assign(text.begin(), text.end());
            resetReply(0);
            break;
        }
        default:
            break;  // no proxy: nothing to send
    }
    if (!m.empty() && !sendWhole(m)) {
        fail(kProxyHandshake);
        return;
    }
    step_ += 1;
}

void CProxySocket::finishTunnel() {
    step_ = 0;
    operation_ = kProxyOpNone;
    resetReply(0);
    httpReply_.clear();
    OnSend(0);
}

void CProxySocket::OnReceive(int /*error*/) {
    if (operation_ == kProxyOpNone) return;
    if (step_ == 0) {
        fail(kProxyHandshake);  // data before the handshake
        return;
    }
    switch (type_) {
        case kProxySocks4:
        case kProxySocks4a:
            onSocks4Reply();
            break;
        case kProxySocks5:
            onSocks5Reply();
            break;
        case kProxyHttp:
            onHttpReply();
            break;
        default:
            fail(kProxyHandshake);
            break;
    }
}

void CProxySocket::onSocks4Reply() {
    if (readReply(kProxyHandshake) != 1) return;
    if (reply_[0] != 0 || reply_[1] != 0x5A) {
        fail(kProxyHandshake);
        return;
    }
    if (operation_ == kProxyOpConnect) {
        finishTunnel();
        return;
    }
    if (step_ == 1) {
        step_ = 2;
        uint32_t addr;
        std::memcpy(&addr, &reply_[4], 4);
        if (addr == 0) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            if (getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &len) == 0)
                addr = peer.sin_addr.s_addr;
        }
        int port = (reply_[2] << 8) | reply_[3];
        resetReply(8);
        OnProxyBound(addr, port);
        return;
    }
    step_ = 0;
    operation_ = kProxyOpNone;
    resetReply(0);
    OnAccept(0);
}

void CProxySocket::onSocks5Reply() {
    if (step_ == 1) {
        if (readReply(kProxyHandshake) != 1) return;
        if (reply_[0] != 5) {
            fail(kProxySocks5Version);
            return;
        }
        if (reply_[1] == 0) {
            if (!sendWhole(socks5Connect())) {
                fail(kProxyHandshake);
                return;
            }
            step_ += 2;
            resetReply(5);
            return;
        }
        if (reply_[1] == 2) {
            if (!useAuth_) {
                fail(kProxySocks5NeedAuth);
                return;
            }
            // Each travels behind a one-byte length, as the name does.
            if (user_.size() > 255 || password_.size() > 255) {
                fail(kProxySocks5Auth);
                return;
            }
            std::vector<uint8_t> m = {1, static_cast<uint8_t>(user_.size())};
            m.insert(m.end(), user_.begin(), user_.end());
            m.push_back(static_cast<uint8_t>(password_.size()));
            m.insert(m.end(), password_.begin(), password_.end());
            if (!sendWhole(m)) {
                fail(kProxyHandshake);
                return;
            }
            step_ += 1;
            resetReply(2);
            return;
        }
        fail(kProxySocks5Method);
        return;
    }
    if (step_ == 2) {
        if (readReply(kProxySocks5Auth) != 1) return;
        if (reply_[1] != 0) {
            fail(kProxySocks5Auth);
            return;
        }
        if (!sendWhole(socks5Connect())) {
            fail(kProxyHandshake);
            return;
        }
        step_ += 1;
        resetReply(5);
        return;
    }
    // Steps 3 and 4: the connect (or bind) reply, sized by its address type: four address
    // bytes, a name behind its length byte, or sixteen bytes of an IPv6 address (taking the
    // first of them for a length would leave part of the reply in the tunnel or take the
    // tunnel's first bytes). A reply of any other type has no length to read it by, and
    // whatever length were guessed could mix the reply and the tunnel's data: it ends the
    // handshake.
    for (;;) {
        if (readReply(kProxyHandshake) != 1) return;
        if (replyExpected_ == 5) {
            if (reply_[0] != 5 || reply_[1] != 0) {
                fail(kProxyHandshake);
                return;
            }
            size_t full;
            switch (reply_[3]) {
                case 1:
                    full = 10;
                    break;  // IPv4
                case 3:
                    full = size_t(reply_[4]) + 7;
                    break;  // a name and its length byte
                case 4:
                    full = 22;
                    break;  // IPv6
                default:
                    fail(kProxyHandshake);
                    return;
            }
            reply_.resize(full);
            replyExpected_ = full;
            continue;
        }
        break;
    }
    if (operation_ == kProxyOpConnect) {
        finishTunnel();
        return;
    }
    if (step_ == 3) {
        step_ = 4;
        uint32_t addr = 0;
        int port = 0;
        if (reply_[3] == 1) {
            std::memcpy(&addr, &reply_[4], 4);
            port = (reply_[8] << 8) | reply_[9];
        } else {
            size_t n = reply_.size();
            port = (reply_[n - 2] << 8) | reply_[n - 1];
        }
        resetReply(5);
        OnProxyBound(addr, port);
        return;
    }
    step_ = 0;
    operation_ = kProxyOpNone;
    resetReply(0);
    OnAccept(0);
}

void CProxySocket::onHttpReply() {
    static const char kPrefix[] = "HTTP/";
    for (;;) {
        char c;
        ssize_t r = ::recv(fd_, &c, 1, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (r <= 0 || httpReply_.size() >= kMaxHttpReply) {
            fail(kProxyHandshake);
            return;
        }
        httpReply_ += c;
        size_t n = httpReply_.size();
        if (httpReply_.compare(0, n < 5 ? n : 5, kPrefix, n < 5 ? n : 5) != 0) {
            fail(kProxyHandshake);
            return;
        }
        size_t eol = httpReply_.find("\r\n");
        if (eol != std::string::npos) {
            size_t blank = httpReply_.find(' ');
            if (blank == std::string::npos || blank > eol || blank + 1 >= eol ||
                httpReply_[blank + 1] != '2') {
                fail(kProxyHandshake);
                return;
            }
            if (n >= 4 && httpReply_.compare(n - 4, 4, "\r\n\r\n") == 0) {
                finishTunnel();
                return;
            }
        }
    }
}

void CProxySocket::OnSend(int) {}
void CProxySocket::OnAccept(int) {}

void CProxySocket::OnClose(int) {
    if (operation_ != kProxyOpNone) fail(kProxyHandshake);
}

// ---- CProxyEventSocket ------------------------------------------------------------------

CProxyEventSocket::Pump CProxyEventSocket::LoopPump(platform::MessageLoop& loop) {
    return [&loop] { return loop.processPending(0); };
}

void CProxyEventSocket::OnSend(int error) {
    CProxySocket::OnSend(error);
    if (++sendCount_ == 2) standing_ = true;
}

void CProxyEventSocket::OnConnect(int error) {
    bool direct = GetProxyType() == kProxyNone;
    CProxySocket::OnConnect(error);
    // Without a proxy the connection itself is the tunnel.
    if (direct) {
        if (error == 0) {
            standing_ = true;
        } else {
            failed_ = true;
        }
    }
}

int CProxyEventSocket::ConnectViaProxy(const std::string& host, int port, int proxyType,
                                       const std::string& proxyHost, int proxyPort,
                                       const char* user, const char* password, int timeoutSec,
                                       Pump pump) {
    switch (proxyType) {
        case kProxyNone:
            SetProxyType(kProxyNone);
            break;
        case kProxySocks4:
        case kProxySocks4a:
            SetProxy(proxyType, proxyHost, proxyPort);
            break;
        case kProxySocks5:
        case kProxyHttp:
            if (user) {
                SetProxyAuth(proxyType, proxyHost, proxyPort, user, password ? password : "");
            } else {
                SetProxy(proxyType, proxyHost, proxyPort);
            }
            break;
        default:
            return 0;
    }
    if (!Create()) return 0;
    standing_ = false;
    failed_ = false;
    sendCount_ = 0;
    if (!Connect(host, port)) {
        Close();
        return 0;
    }
    // The time-out counts from the proxy's last message: a slow handshake goes on as long
    // as each of its messages comes within it. The thread's other messages do not extend
    // it (a busy thread would otherwise wait for a silent proxy for ever).
    const auto timeout = std::chrono::seconds(timeoutSec);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pump && !pump()) {
            Close();
            return 0;
        }
        if (standing_) return 1;
        if (failed_ || Handle() < 0) {
            Close();
            return 0;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            YrnLogWrite("proxy handshake timed out");
            Close();
            return 0;
        }
        int wait = static_cast<int>(pump && left > 20 ? 20 : left);
        pollfd p{Handle(), static_cast<short>(IsConnecting() ? POLLOUT : POLLIN), 0};
        int n = ::poll(&p, 1, wait);
        if (n > 0) {
            DispatchReadiness(p.revents);
            deadline = std::chrono::steady_clock::now() + timeout;
        }
    }
}

}  // namespace hqlv::netlib
