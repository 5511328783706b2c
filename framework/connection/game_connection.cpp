#include "framework/connection/game_connection.h"

#include <algorithm>
#include <cstring>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/log.h"
#include "platform/core/clock.h"
#include "platform/core/profile.h"
#include "platform/core/text.h"

namespace hqlv::framework {

namespace {

// The game connection's AES-128 key; the server holds the same one.
const uint8_t* GameKey() {
    return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
}

// Begin/end of the wait cursor on every path.
class WaitCursor {
public:
    explicit WaitCursor(GameConnectionHost* h) : h_(h) {
        if (h_) h_->WaitCursorBegin();
    }
    ~WaitCursor() {
        if (h_) h_->WaitCursorEnd();
    }

private:
    GameConnectionHost* h_;
};

}  // namespace

CGameConnection::CGameConnection(GameConnectionHost* host)
    : netlib::CYrnSocket(nullptr, 0, 0, 0, 1, netlib::kGameMaxData), m_pHost(host) {}

CGameConnection::~CGameConnection() {
    Disconnect();
}

void CGameConnection::InitCodec() {
    SetCodec(GameKey(), 128, netlib::kCodecAes, 0);
}

void CGameConnection::Disconnect() {
    m_proxySocket.Close();
    Close();
}

void CGameConnection::LoadProxySettings(const std::string& iniPath) {
    m_proxy.Need = platform::getProfileInt("PROXY", "Need", 0, iniPath);
    m_proxy.Port = platform::getProfileInt("PROXY", "Port", 1080, iniPath);
    m_proxy.Sock = platform::getProfileInt("PROXY", "Sock", 3, iniPath);
    char buf[32];
    platform::getProfileString("PROXY", "Host", "", buf, sizeof buf, iniPath);
    m_proxy.Host = platform::gbkToUtf8(buf);
    platform::getProfileString("PROXY", "User", "", buf, sizeof buf, iniPath);
    m_proxy.User = platform::gbkToUtf8(buf);
    platform::getProfileString("PROXY", "pwd", "", buf, sizeof buf, iniPath);
    m_proxy.pwd = platform::gbkToUtf8(buf);
}

int CGameConnection::Connect(const std::string& name, const std::string& host, int port,
                             int* proxyFailed) {
    WaitCursor cursor(m_pHost);
    Close();  // a second connect starts from a closed socket
    int ok = 0;
    if (m_proxy.Need == 0) {
        ok = netlib::CYrnSocket::Connect(host, port, kConnectTimeoutSec, 0, m_ownerThread, 0,
                                         kHelloPayload, kHelloLength, kFirstDataTimeoutMs);
    } else {
        int fd = OpenProxyTunnel(host, port);
        if (fd < 0) {
            if (proxyFailed) *proxyFailed = 1;
            return 0;
        }
        ok = AttachConnected(fd, 0, m_ownerThread, 0, kHelloPayload, kHelloLength,
                             kFirstDataTimeoutMs, std::string(), 0, 5);
    }
    if (ok) {
        m_nServerPort = port;
        m_strServerName = name.substr(0, 31);
        m_strServerHost = host.substr(0, 103);
    }
    return ok;
}

int CGameConnection::SendRequest(RequestResult& result, int requestId,
                                 const std::vector<uint8_t>& body, int wait) {
    WaitCursor outer(m_pHost);
    result.reply.clear();
    if (!IsConnected()) {
        result.code = kResultDisconnected;
        result.text = kTextDisconnected;
        return 0;
    }
    netlib::YrnEnvelope env;
    env.socket = GetSocket();
    env.waitFlag = wait ? 1 : 0;
    netlib::YrnRecord request;
    request.head[1] = requestId;
    request.length = static_cast<int32_t>(body.size());
    request.data = body.empty() ? nullptr : const_cast<uint8_t*>(body.data());
    netlib::YrnRecord response;

    WaitCursor inner(m_pHost);
    int timeoutSec = GetRequestTimeout(requestId);
    uint32_t start = platform::tickMs();
    int timedOut = 0;
    int sent = SendRequestWait(&env, &request, &response, &timedOut, timeoutSec * 1000, 0, 0, 1);
    if (!sent) {
        netlib::YrnFreeResponseData(&response);
        if (timedOut) {
            result.code = kResultTimeout;
            result.text = kTextTimeout;
        } else if (!IsConnected()) {
            // The connection ended under the wait, which the socket then ends at once rather
            // than hold the window frozen to the time-out for an answer that cannot come. The
            // answer is that of a request made after the end: 1031 and its text, the
            // framework's own for a connection that is gone. "请求发送失败。" would say the
            // request never went out, where it went and its answer was lost, and would leave
            // the caller's code standing, for the caller to take for the server's.
            result.code = kResultDisconnected;
            result.text = kTextDisconnected;
        } else {
            // Nothing went out whole: the code stays as the caller set it.
            result.text = kTextSendFailed;
        }
        return 0;
    }
    if (!wait) {
        result.code = 0;
        return 1;
    }
    m_stats.Add(platform::tickElapsed(start, platform::tickMs()));
    result.code = response.head[1];
    if (response.length > 0 && response.data)
        result.reply.assign(response.data, response.data + response.length);
    netlib::YrnFreeResponseData(&response);
    if (result.code == kResultServerText) {
        result.text = ServerTextFromReply(result.data(), result.reply.size());
        result.reply.clear();
        return 0;
    }
    GetGameResultText(result.text, result.code);
    return 1;
}

int CGameConnection::SendNoWait(int requestId, const std::vector<uint8_t>& body) {
    RequestResult r;
    return SendRequest(r, requestId, body, 0);
}

RequestContext CGameConnection::Context() {
    return RequestContext{m_pHost->Entry(), m_pHost->MachineId()};
}

ResultTexts CGameConnection::Texts() {
    return ResultTexts{[this](std::string& text, int code) { GetHallErrorText(text, code); },
                       [this](std::string& text, int code) { GetResultText(text, code); }};
}

int CGameConnection::IsGameRunning() {
    if (!m_pHost) return 0;
    RequestResult r;
    if (!SendRequest(r, kReqIsGameRunning, BuildHeadBody(Context()), 1)) return 0;
    int32_t w0;
    if (ReplyWord(r.data(), r.reply.size(), 0, w0)) m_pHost->Entry().SetCmdField12(w0);
    return r.code == kResGameRunning ? 1 : 0;
}

int CGameConnection::RefreshGameData() {
    if (!m_pHost) return 0;
    RequestResult r;
    if (!SendRequest(r, kReqRefreshGameData, BuildHeadBody(Context()), 1)) return 0;
    if (r.code != kResultOk || r.reply.empty()) return 0;
    StoreGameData(r.data(), r.reply.size());
    return 1;
}

int CGameConnection::CheckVersion(std::string& text, int* major, int* minor) {
    if (!m_pHost) return 0;
    RequestResult r;
    int sent = SendRequest(r, kReqCheckVersion, {}, 1);
    HallEntry& e = m_pHost->Entry();
    VersionCheckOutcome o = EvaluateVersionReply(sent && !r.reply.empty(), r.data(), r.reply.size(),
                                                 e.GetVersionMajor(), e.GetVersionMinor());
    if (!o.result) text = o.text;
    if (o.newerMajor && major) *major = o.newerMajor;
    if (o.newerMinor && minor) *minor = o.newerMinor;
    return o.result;
}

int CGameConnection::GetActivityConfig() {
    if (!m_pHost) return 0;
    RequestResult r;
    if (!SendRequest(r, kReqActivityConfig, {}, 1) || r.reply.empty()) return 0;
    ActivityConfig cfg = ParseActivityConfig(r.data(), r.reply.size(), m_pHost->ActivityCount());
    if (!cfg.ok) return 0;
    m_pHost->SetActivityConfig(cfg.enabled, cfg.entries);
    netlib::YrnLogWrite("ACTIVECONFIG count=[%d]", cfg.count);
    return 1;
}

std::vector<uint8_t> CGameConnection::BuildEnterGameHead() {
    if (!m_pHost) return {};
    std::vector<uint8_t> entry;
    int flagWord = 0;
    if (!m_pHost->MakeOwnPlayerEntry(entry, flagWord)) return {};
    int32_t userId = 0;
    ReplyWord(entry.data(), entry.size(), 0, userId);
    return BuildEnterGameHeadBody(Context(), userId, flagWord, m_pHost->QuickCatch());
}

std::vector<uint8_t> CGameConnection::BuildEnterGamePlayer() {
    if (!m_pHost) return {};
    std::vector<uint8_t> entry;
    int flagWord = 0;
    if (!m_pHost->MakeOwnPlayerEntry(entry, flagWord)) return {};
    entry.resize(kPlayerEntryBytes, 0);
    return entry;
}

void CGameConnection::StoreGameData(const uint8_t* data, size_t length) {
    if (!m_pHost || !data || length == 0) return;
    std::span<uint8_t> block = m_pHost->GameDataBlock();
    size_t n = std::min(length, block.size());
    if (n) std::memcpy(block.data(), data, n);
}

int CGameConnection::EnterGame(std::string& text) {
    if (!m_pHost) return 0;
    std::vector<uint8_t> body = BuildEnterGameHead();
    int32_t userId = 0;
    if (body.size() != kEnterHeadBytes || !ReplyWord(body.data(), body.size(), 0, userId) ||
        userId == 0) {
        text = "对象不存在。";
        return 0;
    }
    HallEntry& e = m_pHost->Entry();
    if (e.TestCmdField13Bit40()) {
        std::vector<uint8_t> player = BuildEnterGamePlayer();
        player.resize(kPlayerEntryBytes, 0);
        body.insert(body.end(), player.begin(), player.end());
    }
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqEnterGame, body, 1);
    text = r.text;
    if (!sent) return 0;
    switch (r.code) {
        case kResEnteredGame:
            m_pHost->TableViewEnteredGame();
            if (!r.reply.empty()) {
                m_pHost->SetInGame(e.GetCmdField8() == 0 ? 1 : 0);
                StoreGameData(r.data(), r.reply.size());
            } else {
                m_pHost->SetInGame(0);
            }
            return 1;
        case kResTableFull:
            m_pHost->TakePlayerList(r.data(), r.reply.size());
            return 1;
        case kResWaitResult:
            text = "进入游戏失败，请等待本局结果提交。";
            return 0;
        default:
            return 0;
    }
}

int CGameConnection::ClaimSilverReward(std::string& text, int index) {
    if (!m_pHost || index < 0) return 0;
    RequestResult r;
    r.text = text;
    int sent =
        SendRequest(r, kReqClaimSilverReward, BuildClaimSilverRewardBody(Context(), index), 1);
    text = r.text;
    if (!sent) return 0;
    return EvaluateClaimSilverReply(r.code, r.data(), r.reply.size(),
                                    m_pHost->Entry().GetTitleText(), text, Texts());
}

int CGameConnection::StartGame(std::string& text) {
    if (!m_pHost) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqStartGame, BuildHeadBody(Context()), 0);
    text = r.text;
    return sent;
}

int CGameConnection::NotifyLeave(int userId, int chair) {
    if (!m_pHost) return 0;
    return SendNoWait(kReqNotifyLeave, BuildLeaveBody(Context(), userId, chair));
}

int CGameConnection::LeaveGame(std::string& text, int userId, int chair) {
    if (!m_pHost) return 0;
    text.clear();
    RequestResult r;
    int sent = SendRequest(r, kReqLeaveGame, BuildLeaveBody(Context(), userId, chair), 1);
    text = r.text;
    if (!sent) return 0;
    std::string refusal;
    int refused = EvaluateLeaveReply(r.code, r.data(), r.reply.size(), refusal);
    if (refused || !refusal.empty()) text = refusal;
    return refused;
}

int CGameConnection::SendChatMessage(const std::string& utf8Text) {
    if (!m_pHost) return 0;
    return SendNoWait(kReqChat, BuildChatBody(Context(), utf8Text));
}

int CGameConnection::SendChatMessage2(const std::string& utf8Text) {
    if (!m_pHost) return 0;
    return SendNoWait(kReqChat2, BuildChatBody(Context(), utf8Text));
}

int CGameConnection::CallPlayer(int userId) {
    if (!m_pHost) return 0;
    return SendNoWait(kReqCallPlayer,
                      BuildCallPlayerBody(Context(), userId, m_pHost->PlayerChair(userId)));
}

int CGameConnection::SendRequest201180(int value) {
    if (!m_pHost) return 0;
    return SendNoWait(kReqRequest201180, Build201180Body(Context(), value));
}

int CGameConnection::SendKeepAlive() {
    if (!m_pHost) return 0;
    std::vector<uint8_t> body = BuildKeepAliveBody(m_pHost->Entry().GetUserID(), m_stats);
    m_stats.Clear();
    return SendNoWait(kReqKeepAlive, body);
}

int CGameConnection::SendRequest214102() {
    if (!m_pHost) return 0;
    return SendNoWait(kReqRequest214102, Build214102Body(Context(), m_pHost->OwnPlayerName()));
}

int CGameConnection::SendRequest214104() {
    if (!m_pHost) return 0;
    return SendNoWait(kReqRequest214104, Build214102Body(Context(), m_pHost->OwnPlayerName()));
}

int CGameConnection::CheckSilverRange(std::string& text) {
    if (!m_pHost) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqCheckSilverRange, BuildHeadBody(Context()), 1);
    text = r.text;
    if (!sent) return 0;
    switch (r.code) {
        case kResSilverTooLittle:
            m_pHost->SilverBelowRoomMinimum(r.data(), r.reply.size());
            return 0;
        case kResSilverTooMuch:
            m_pHost->SilverAboveRoomMaximum(r.data(), r.reply.size());
            return 0;
        case kResultOk:
            m_pHost->TableViewStopIdleTimer();
            return 1;
        default:
            return 0;
    }
}

int CGameConnection::ChangeTable(std::string& text) {
    if (!m_pHost || m_pHost->Entry().GetCmdField8() != 0) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqChangeTable, BuildHeadBody(Context()), 1);
    text = r.text;
    if (!sent) return 0;
    if (r.code == kResultOk) return 1;
    if (r.code == kResChangeTooOften) m_pHost->AppendChatMarkup(kChangeTableTooOftenLine);
    return 0;
}

int CGameConnection::SendRequest201302(std::string& text) {
    if (!m_pHost) return 0;
    HallEntry& e = m_pHost->Entry();
    if (e.GetCmdField8() != 0 || !e.TestCmdField13Bit2() || !e.TestCmdField13Bit80()) return 0;
    RequestResult r;
    r.text = text;
    SendRequest(r, kReqRequest201302, BuildHeadBody(Context()), 1);
    text = r.text;
    return 0;
}

int CGameConnection::OpenSafeBox(std::string& text, uint8_t out[32]) {
    if (!m_pHost || m_pHost->Entry().GetCmdField8() != 0) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqOpenSafeBox, BuildSafeBoxBody(Context()), 1);
    text = r.text;
    if (!sent) return 0;
    return CopySafeBoxReply(r.code, r.data(), r.reply.size(), out, kSafeBoxBytes, text, Texts());
}

int CGameConnection::QueryProtection(std::string& text, uint8_t out[24], int* replyCode) {
    if (replyCode) *replyCode = 0;
    if (!m_pHost) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqQueryProtection, BuildSafeBoxBody(Context()), 1);
    text = r.text;
    if (replyCode) *replyCode = r.code;
    if (!sent) return 0;
    return CopySafeBoxReply(r.code, r.data(), r.reply.size(), out, kProtectionBytes, text, Texts());
}

int CGameConnection::SaveSilver(std::string& text, int& amount, int* replyCode) {
    if (replyCode) *replyCode = 0;
    if (!m_pHost || !m_pHost->Entry().IsSpecialOption()) return 0;
    RequestResult r;
    r.text = text;
    int sent =
        SendRequest(r, kReqSaveSilver,
                    BuildSilverTransferBody(Context(), amount, 0, m_pHost->OwnSeatSilver(), 1), 1);
    text = r.text;
    if (replyCode) *replyCode = r.code;
    if (!sent) return 0;
    return EvaluateSilverTransferReply(1, r.code, r.data(), r.reply.size(),
                                       m_pHost->Entry().GetTitleText(), text, amount, Texts());
}

int CGameConnection::TakeSilver(std::string& text, int amount, int protectionAnswer) {
    if (!m_pHost || !m_pHost->Entry().IsSpecialOption()) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(
        r, kReqTakeSilver,
        BuildSilverTransferBody(Context(), amount, protectionAnswer, m_pHost->OwnSeatSilver(), 2),
        1);
    text = r.text;
    if (!sent) return 0;
    int unused = amount;
    return EvaluateSilverTransferReply(2, r.code, r.data(), r.reply.size(),
                                       m_pHost->Entry().GetTitleText(), text, unused, Texts());
}

int CGameConnection::GetDoleConfig(std::string& text, int value, uint8_t out[124]) {
    if (!m_pHost) return 0;
    RequestResult r;
    r.text = text;
    int sent = SendRequest(r, kReqDoleConfig, BuildDoleConfigBody(Context(), value), 1);
    text = r.text;
    if (!sent || r.code != kResultOk || r.reply.empty()) return 0;
    // A configuration shorter than its block lacks values its reader takes from fixed places
    // in it; filling the gap would make up a configuration the server never sent.
    if (r.reply.size() < kDoleConfigBytes) {
        text = kTextSendFailed;
        return 0;
    }
    std::memcpy(out, r.reply.data(), kDoleConfigBytes);
    return 1;
}

int CGameConnection::ClaimDole(std::string& text, int value, int kind, int* out) {
    if (!m_pHost || m_pHost->Entry().GetCmdField8() != 0 || (kind != 0 && kind != 1)) return 0;
    text.clear();
    if (out) *out = 0;
    RequestResult r;
    int sent = SendRequest(r, kReqClaimDole,
                           BuildClaimDoleBody(Context(), m_pHost->OwnPlayerName(), value, kind), 1);
    text = r.text;
    if (!sent || r.code != kResultOk) return 0;
    int32_t w0;
    if (!ReplyWord(r.data(), r.reply.size(), 0, w0)) {
        text = kTextSendFailed;
        return 0;
    }
    if (out) *out = w0;
    return 1;
}

int CGameConnection::ClaimDole2(std::string& text, int value, int kind, int* out) {
    if (!m_pHost || m_pHost->Entry().GetCmdField8() != 0 || (kind != 0 && kind != 1)) return 0;
    text.clear();
    if (out) *out = 0;
    RequestResult r;
    int sent =
        SendRequest(r, kReqClaimDole2,
                    BuildClaimDole2Body(Context(), m_pHost->OwnPlayerName(), value, kind), 1);
    text = r.text;
    if (!sent || r.code != kResultOk) return 0;
    int32_t w0;
    if (!ReplyWord(r.data(), r.reply.size(), 0, w0)) {
        text = kTextSendFailed;
        return 0;
    }
    if (out) *out = w0;
    return 1;
}

int CGameConnection::OpenProxyTunnel(const std::string& host, int port) {
    m_proxySocket.Close();
    // The stored user name and password go along even when empty.
    if (!m_proxySocket.ConnectViaProxy(host, port, m_proxy.Sock, m_proxy.Host, m_proxy.Port,
                                       m_proxy.User.c_str(), m_proxy.pwd.c_str(),
                                       kConnectTimeoutSec, m_proxyPump)) {
        netlib::YrnLogWrite("proxy %s:%d failed (error %d)", m_proxy.Host.c_str(), m_proxy.Port,
                            m_proxySocket.GetProxyError());
        m_proxySocket.Close();
        return -1;
    }
    return m_proxySocket.Detach();
}

}  // namespace hqlv::framework
