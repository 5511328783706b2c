#pragma once
// CGameConnection: the client's one connection to the game server. A socket object of
// the network library with the framework's request layer on top: connecting directly or
// through a proxy, the hello payload, the codec, the proxy settings of the hall's INI
// file, the synchronous request call with its time-outs and result texts, and the
// framework's requests.
//
// The application owns one connection and gives it a GameConnectionHost (the
// application's side of the calls the requests make). All operations run on the UI
// thread; the socket's worker posts received messages (message 2025, see
// netlib/message.h) to the owner thread, which frees them after handling.
//
// Start-up order:
//     conn.LoadProxySettings(hallIniPath);
//     conn.InitCodec();
//     conn.SetOwnerThread(commThreadId);
//     int proxyFailed = 0;
//     if (!conn.Connect("", entry.GetServerHost(), entry.GetServerPort(), &proxyFailed))
//         show proxyFailed == 1 ? kConnectProxyFailedText (with GetProxyHost())
//                               : kConnectFailedText;
//     conn.CheckVersion(text, &newerMajor, &newerMinor);  // 0: show text, end
//     conn.GetActivityConfig();
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/connection/framework_requests.h"
#include "framework/connection/game_connection_host.h"
#include "framework/connection/request_result.h"
#include "netlib/proxy.h"
#include "netlib/socket.h"

namespace hqlv::framework {

inline constexpr const char* kHelloPayload = "Hello! Game Channel.";
inline constexpr size_t kHelloLength = 21;  // with its terminating zero
inline constexpr int kConnectTimeoutSec = 10;
inline constexpr int kFirstDataTimeoutMs = 10000;
// The start-up's failure texts ("%s": the proxy host).
inline constexpr const char* kConnectProxyFailedText =
    "无法连接代理服务器【%s】，请检查设置是否正确。";
inline constexpr const char* kConnectFailedText = "无法连接游戏服务器，请稍后再试。";

struct ProxySettings {
    int Need = 0;     // 0: connect directly
    int Port = 1080;  // proxy port
    int Sock = 3;     // 1 SOCKS4, 2 SOCKS4A, 3 SOCKS5, 4 HTTP CONNECT
    std::string Host;
    std::string User;
    std::string pwd;
};

class CGameConnection : public netlib::CYrnSocket {
    // The socket's own connect stays out of reach through a game connection: a game
    // connection connects by its Connect below, which goes through the proxy and sends the
    // hello. (Named here, it is not hidden by accident.)
    using netlib::CYrnSocket::Connect;

public:
    explicit CGameConnection(GameConnectionHost* host = nullptr);
    ~CGameConnection() override;

    void SetHost(GameConnectionHost* host) { m_pHost = host; }
    GameConnectionHost* GetTheApp() const { return m_pHost; }

    // AES with the game connection's key, flag words 0x100 and 0.
    virtual void InitCodec();
    virtual void Disconnect();
    // Connects and sends the hello payload; nonzero on success. On a failed proxy
    // handshake *proxyFailed becomes 1 (it is never cleared here).
    virtual int Connect(const std::string& name, const std::string& host, int port,
                        int* proxyFailed);
    virtual std::string GetProxyHost() const { return m_proxy.Host; }
    virtual void SetOwnerThread(platform::ThreadId thread) { m_ownerThread = thread; }
    // Reads section "PROXY" of the given INI file.
    virtual void LoadProxySettings(const std::string& iniPath);
    const ProxySettings& GetProxySettings() const { return m_proxy; }
    void SetProxySettings(const ProxySettings& p) { m_proxy = p; }
    // What the proxy handshake runs while it waits (the UI thread's own events); none by
    // default.
    void SetProxyPump(netlib::CProxyEventSocket::Pump pump) { m_proxyPump = std::move(pump); }

    // The synchronous request call. `result.text` is in/out (kept for codes no table
    // lists); the body goes out as given. Returns 1 when sent and, when waited for,
    // answered with any code but 60031.
    virtual int SendRequest(RequestResult& result, int requestId, const std::vector<uint8_t>& body,
                            int wait);
    virtual int GetRequestTimeout(int requestId) { return RequestTimeoutSeconds(requestId); }
    virtual void GetGameResultText(std::string& text, int code) { GameResultText(text, code); }
    virtual void GetHallErrorText(std::string& text, int code) { HallErrorText(text, code); }
    virtual void GetResultText(std::string& text, int code) { GeneralResultText(text, code); }

    // Framework requests. Texts are written into `text`.
    virtual int IsGameRunning();
    virtual int RefreshGameData();
    virtual int CheckVersion(std::string& text, int* major, int* minor);
    virtual int GetActivityConfig();
    virtual int EnterGame(std::string& text);
    virtual int ClaimSilverReward(std::string& text, int index);
    virtual int StartGame(std::string& text);
    virtual int NotifyLeave(int userId, int chair);
    virtual int LeaveGame(std::string& text, int userId, int chair);
    virtual int SendChatMessage(const std::string& utf8Text);
    virtual int SendChatMessage2(const std::string& utf8Text);
    virtual int CallPlayer(int userId);
    virtual int SendRequest201180(int value);
    virtual int SendKeepAlive();
    virtual int SendRequest214102();
    virtual int SendRequest214104();
    // The 108-byte head and the 136-byte player entry of the enter-game request; empty
    // when the application has no record for the own user.
    virtual std::vector<uint8_t> BuildEnterGameHead();
    virtual std::vector<uint8_t> BuildEnterGamePlayer();
    // Copies the game data into the application's block, never more than it holds.
    virtual void StoreGameData(const uint8_t* data, size_t length);
    virtual int CheckSilverRange(std::string& text);
    virtual int ChangeTable(std::string& text);
    virtual int SendRequest201302(std::string& text);
    virtual int OpenSafeBox(std::string& text, uint8_t out[32]);
    // replyCode, when given, receives the server's result code (60092: amount rewritten).
    virtual int SaveSilver(std::string& text, int& amount, int* replyCode = nullptr);
    virtual int TakeSilver(std::string& text, int amount, int protectionAnswer);
    // replyCode, when given, receives the server's result code (60000: no protection).
    virtual int QueryProtection(std::string& text, uint8_t out[24], int* replyCode = nullptr);
    virtual int GetDoleConfig(std::string& text, int value, uint8_t out[124]);
    virtual int ClaimDole(std::string& text, int value, int kind, int* out);
    virtual int ClaimDole2(std::string& text, int value, int kind, int* out);

    // What was measured since the last keep-alive.
    const RequestStats& GetRequestStats() const { return m_stats; }
    int GetServerPort() const { return m_nServerPort; }
    std::string GetServerName() const { return m_strServerName; }
    std::string GetServerHost() const { return m_strServerHost; }

protected:
    // Builds the tunnel through the configured proxy; returns the connected socket handle,
    // or -1 when the proxy could not be reached or refused.
    virtual int OpenProxyTunnel(const std::string& host, int port);

private:
    RequestContext Context();
    // The virtual text lookups above, for the reply evaluations.
    ResultTexts Texts();
    int SendNoWait(int requestId, const std::vector<uint8_t>& body);

    GameConnectionHost* m_pHost = nullptr;
    int m_nServerPort = 0;
    std::string m_strServerName;  // 32 bytes on the wire side
    std::string m_strServerHost;  // 104 bytes
    ProxySettings m_proxy;
    platform::ThreadId m_ownerThread = 0;
    netlib::CProxyEventSocket m_proxySocket;
    netlib::CProxyEventSocket::Pump m_proxyPump;
    RequestStats m_stats;
};

}  // namespace hqlv::framework
