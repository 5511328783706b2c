#pragma once
// A TCP socket that reaches its destination directly or through a SOCKS4, SOCKS4A, SOCKS5
// (optionally with user name and password) or HTTP CONNECT (optionally with Basic
// authentication) proxy. CProxySocket is the event-driven handshake; its network events
// (OnConnect, OnReceive, OnSend, ...) are fed by DispatchReadiness. CProxyEventSocket adds
// the blocking ConnectViaProxy, which runs the events on the calling thread until the
// tunnel stands, the handshake fails or the proxy stays silent for the time-out; the
// caller then takes the
// connected descriptor (Detach) and hands it to CYrnSocket::AttachConnected.
#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/message.h"

namespace hqlv::netlib {

enum YrnProxyType {
    kProxyNone = 0,
    kProxySocks4 = 1,
    kProxySocks4a = 2,
    kProxySocks5 = 3,
    kProxyHttp = 4
};

// Proxy error codes.
constexpr int kProxyOk = 0;
constexpr int kProxyConnectFailed = 1;   // the connection to the proxy failed to start
constexpr int kProxyHandshake = 2;       // a message not sent whole, a refused or bad reply
constexpr int kProxySocks5Version = 3;   // the method reply is not version 5
constexpr int kProxySocks5Method = 4;    // a method other than none or user/password
constexpr int kProxySocks5Auth = 5;      // user name and password refused or unreadable
constexpr int kProxySocks5NeedAuth = 6;  // the proxy wants credentials and none are set
constexpr int kProxySocks4Resolve = 7;   // SOCKS4 destination name does not resolve locally

constexpr int kProxyOpNone = 0;
constexpr int kProxyOpConnect = 1;
constexpr int kProxyOpBind = 2;

class CProxySocket {
public:
    CProxySocket() = default;
    virtual ~CProxySocket();
    CProxySocket(const CProxySocket&) = delete;
    CProxySocket& operator=(const CProxySocket&) = delete;

    // A non-blocking stream socket (bound to any local port). False on failure.
    bool Create();
    int Handle() const { return fd_; }
    // Gives up the descriptor without closing it.
    int Detach();
    // Discards the reply state, clears step and operation, and closes the socket.
    virtual void Close();
    // While an operation is pending both fail with EWOULDBLOCK; otherwise recv and send.
    virtual int Receive(void* buffer, int n);
    virtual int Send(const void* data, int n);

    // Without a proxy a plain connect; with one, connects to the proxy and records the
    // destination (operation 1). Returns 1 when the connect started or completed.
    virtual int ConnectToAddress(const sockaddr_in& destination);
    virtual int Connect(const std::string& host, int port);
    // With a proxy this object's descriptor moves to `other`; without, a plain accept.
    virtual int Accept(CProxySocket& other);
    virtual int BindViaProxy(const sockaddr_in& address);
    virtual int Listen();

    void SetProxyType(int type);
    void SetProxy(int type, const std::string& host, int port);
    void SetProxyAuth(int type, const std::string& host, int port, const std::string& user,
                      const std::string& password);
    int GetProxyError() const { return error_; }
    int GetProxyType() const { return type_; }
    int GetPendingOperation() const { return operation_; }
    int GetStep() const { return step_; }

    // Feeds readiness (poll events) of the descriptor into the event handlers.
    void DispatchReadiness(short revents);
    // True while the connect to the first hop is still in progress.
    bool IsConnecting() const { return connecting_; }

    // Network events.
    virtual void OnConnect(int error);
    virtual void OnReceive(int error);
    virtual void OnSend(int error);
    virtual void OnAccept(int error);
    virtual void OnClose(int error);
    // After a failure has closed the socket.
    virtual void OnProxyFailed(int operation) = 0;
    // A bind through the proxy reports its address (network order) and port (host order).
    virtual void OnProxyBound(uint32_t address, int port) = 0;

private:
    bool startConnect(const sockaddr_in& to);
    bool proxyAddress(sockaddr_in& out);
    bool sendWhole(const std::vector<uint8_t>& msg);
    void fail(int code);
    void resetReply(size_t expected);
    // Reads toward the expected reply length; 1 complete, 0 wait, -1 failed.
    int readReply(int failCode);
    void sendFirstMessage();
    std::vector<uint8_t> socks5Connect() const;
    void finishTunnel();
    void onHttpReply();
    void onSocks4Reply();
    void onSocks5Reply();

    int fd_ = -1;
    bool connecting_ = false;
    std::string destName_;
    std::vector<uint8_t> reply_;
    size_t replyExpected_ = 0;
    size_t replyGot_ = 0;
    std::string httpReply_;
    int step_ = 0;
    int operation_ = kProxyOpNone;
    uint16_t destPort_ = 0;  // network order
    uint32_t destAddr_ = 0;  // network order; 0 when the name goes to the proxy
    int error_ = kProxyOk;
    int type_ = kProxyNone;
    std::string proxyHost_;
    int proxyPort_ = 0;
    std::string user_;
    std::string password_;
    bool useAuth_ = false;
};

class CProxyEventSocket : public CProxySocket {
public:
    // Processes the calling thread's own messages while waiting; false means the thread
    // was asked to quit (the request must stay pending for the thread's own loop).
    using Pump = std::function<bool()>;
    // A pump over a platform loop driven by this thread (its quit stays in force).
    static Pump LoopPump(platform::MessageLoop& loop);

    CProxyEventSocket() = default;
    // 1 when the tunnel to host:port stands, 0 on failure (GetProxyError tells which),
    // when the proxy sends nothing for timeoutSec (each of its messages starts the time-out
    // again) or when the pump reports a quit.
    int ConnectViaProxy(const std::string& host, int port, int proxyType,
                        const std::string& proxyHost, int proxyPort, const char* user,
                        const char* password, int timeoutSec, Pump pump = {});
    void OnSend(int error) override;
    void OnConnect(int error) override;
    void OnProxyFailed(int) override { failed_ = true; }
    void OnProxyBound(uint32_t, int) override {}
    int SendNotices() const { return sendCount_; }

private:
    bool standing_ = false;  // the event: the tunnel stands
    bool failed_ = false;
    int sendCount_ = 0;
};

}  // namespace hqlv::netlib
