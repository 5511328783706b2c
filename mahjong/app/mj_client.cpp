#include "mahjong/app/mj_client.h"

#include <algorithm>
#include <cstring>

#include "netlib/log.h"
#include "platform/core/bytes.h"

namespace hqlv::mahjong {

using framework::RequestResult;

namespace {

void PutWord(std::span<uint8_t> b, size_t i, int32_t v) {
    for (size_t k = 0; k < 4; ++k) b[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
}

constexpr const char* kShortBodyText = "请求发送失败。";

}  // namespace

CMJGameClient::CMJGameClient(framework::GameConnectionHost* host, CMJClientHost* mjHost)
    : framework::CGameConnection(host), m_pMJHost(mjHost) {}

int CMJGameClient::SendRequest(RequestResult& result, int requestId,
                               const std::vector<uint8_t>& body, int wait) {
    if (requestId <= 220000)
        return framework::CGameConnection::SendRequest(result, requestId, body, wait);
    int sent = framework::CGameConnection::SendRequest(result, requestId, body, wait);
    // A request that never went out is not reported as sent: its caller would take it as
    // gone (a tile moved out of the hand, a hu or a claim counted as made) although nothing
    // reached the server. The recovery runs only while the socket still says it is
    // connected (otherwise the disconnect handling takes over).
    if (!sent && wait && IsConnected()) {
        netlib::YrnLogWrite("request %d failed while connected (code %d)", requestId,
                            result.code);
        if (m_pMJHost) m_pMJHost->OnNetworkError();
    }
    return sent;
}

int CMJGameClient::GetRequestTimeout(int requestId) {
    if (requestId == kReqPlayTile || requestId == kReqDrawTile) return 10;
    return framework::CGameConnection::GetRequestTimeout(requestId);
}

void CMJGameClient::StoreGameData(const uint8_t* data, size_t length) {
    framework::CGameConnection::StoreGameData(data, length);
    if (m_pMJHost && data && length) m_pMJHost->OnGameDataStored(length);
}

std::vector<uint8_t> CMJGameClient::MakeBody(size_t n) {
    std::vector<uint8_t> b(std::max<size_t>(n, 16), 0);
    if (framework::GameConnectionHost* h = GetTheApp()) {
        framework::HallEntry& e = h->Entry();
        PutWord(b, 0, e.GetUserID());
        PutWord(b, 1, e.GetRoomID());
        PutWord(b, 2, e.GetTableNo());
        PutWord(b, 3, e.GetChairNo());
    }
    b.resize(n);
    return b;
}

size_t CMJGameClient::PlayTileLength(MJData body) {
    if (body.size() < kPlayTileHead) return 0;
    platform::ByteReader in(body.data() + 100, 4);
    int32_t n = in.i32();
    // A count the caller's body does not hold gives a length SendBody refuses.
    return n < 0 ? 0 : kPlayTileHead + size_t(n) * 4;
}

int CMJGameClient::SendBody(std::string& error, int id, MJData body, size_t n, int wait,
                            RequestResult& r) {
    error.clear();
    if (n == 0 || body.size() < n) {
        netlib::YrnLogWrite("request %d refused: body of %zu bytes, %zu needed", id, body.size(),
                            n);
        error = kShortBodyText;
        return 0;
    }
    std::vector<uint8_t> bytes(body.begin(), body.begin() + std::ptrdiff_t(n));
    int sent = SendRequest(r, id, bytes, wait);
    error = r.text;
    return sent;
}

bool CMJGameClient::CopyReply(const RequestResult& r, std::span<uint8_t> out, size_t n) {
    if (r.reply.size() < n || out.size() < n) return false;
    std::memcpy(out.data(), r.reply.data(), n);
    return true;
}

void CMJGameClient::Record(uint32_t notifyId, MJData body, size_t n) {
    if (m_pMJHost) m_pMJHost->RecordAction(notifyId, body.first(std::min(n, body.size())));
}

int CMJGameClient::SendKanPaiAsk() {
    RequestResult r;
    return SendRequest(r, kReqKanPaiAsk, MakeBody(32), 0);
}

int CMJGameClient::SendKanPaiAnswer(int askerUserId, int agree) {
    std::vector<uint8_t> b = MakeBody(40);
    PutWord(b, 4, askerUserId);
    PutWord(b, 5, agree ? 1 : 0);
    RequestResult r;
    return SendRequest(r, kReqKanPaiAnswer, b, 0);
}

int CMJGameClient::SendPass(std::string& error, MJData body) {
    RequestResult r;
    return SendBody(error, kReqPass, body, 40, 0, r);
}

int CMJGameClient::SendHu(std::string& error, MJData body) {
    RequestResult r;
    if (!SendBody(error, kReqHu, body, 48, 1, r)) return 0;
    Record(kReqHu, body, 48);
    return r.code;
}

int CMJGameClient::QueryRequest(std::string& error, int id, MJData body,
                                std::span<uint8_t> reply, int* result) {
    RequestResult r;
    int sent = SendBody(error, id, body, 64, 1, r);
    if (result) *result = r.code;
    if (!sent || r.code != framework::kResultOk) return 0;
    // A success whose reply is too short to copy counts as failed.
    return CopyReply(r, reply, 32) ? 1 : 0;
}

int CMJGameClient::SendPengConfirm(std::string& error, MJData body, int* result) {
    RequestResult r;
    if (!SendBody(error, kReqPengConfirm, body, 64, 1, r)) return 0;
    Record(229185, body, 64);
    if (result) *result = r.code;
    return r.code == framework::kResultOk ? 1 : 0;
}

int CMJGameClient::SendChiConfirm(std::string& error, MJData body, int* result) {
    RequestResult r;
    int sent = SendBody(error, kReqChiConfirm, body, 64, 1, r);
    if (result) *result = r.code;
    if (!sent) return 0;
    Record(229190, body, 64);
    return r.code == framework::kResultOk ? 1 : 0;
}

void CMJGameClient::SendChi(std::string& error, MJData body) {
    RequestResult r;
    SendBody(error, kReqChi, body, 64, 0, r);
}

void CMJGameClient::SendPeng(std::string& error, MJData body) {
    RequestResult r;
    SendBody(error, kReqPeng, body, 64, 0, r);
}

int CMJGameClient::SendGang(std::string& error, MJData body, std::span<uint8_t> reply) {
    RequestResult r;
    if (!SendBody(error, kReqGang, body, 64, 1, r)) return 0;
    if (r.code != framework::kResultOk) return 0;
    return CopyReply(r, reply, 48) ? 1 : 0;
}

int CMJGameClient::SendPlayTile(std::string& error, MJData body) {
    RequestResult r;
    size_t n = PlayTileLength(body);
    if (!SendBody(error, kReqPlayTile, body, n, 1, r)) return 0;
    Record(221170, body, n);
    return 1;
}

int CMJGameClient::SendPlayTileWait(std::string& error, MJData body) {
    RequestResult r;
    if (!SendBody(error, kReqPlayTile, body, PlayTileLength(body), 1, r))
        return kResultPlaySendFailed;
    return r.code;
}

void CMJGameClient::SendPlayTileNoWait(std::string& error, MJData body) {
    RequestResult r;
    SendBody(error, kReqPlayTile, body, PlayTileLength(body), 0, r);
}

int CMJGameClient::DrawLike(std::string& error, int id, uint32_t notifyId, MJData body, size_t n,
                            std::span<uint8_t> reply) {
    RequestResult r;
    if (!SendBody(error, id, body, n, 1, r)) return 0;
    Record(notifyId, body, n);
    if (r.code == framework::kResultOk) {
        if (CopyReply(r, reply, 32)) return 1;
        // A short reply carries no tile: counted as failed, like a refusal.
        if (reply.size() >= 8) PutWord(reply, 1, -1);
        return 0;
    }
    if (r.code == kResultDrawRefused && reply.size() >= 8) PutWord(reply, 1, -1);
    return 0;
}

int CMJGameClient::SendDrawTile(std::string& error, MJData body, std::span<uint8_t> reply) {
    return DrawLike(error, kReqDrawTile, 229160, body, 96, reply);
}

void CMJGameClient::SendDrawTileNoWait(std::string& error, MJData body) {
    RequestResult r;
    SendBody(error, kReqDrawTile, body, 96, 0, r);
}

int CMJGameClient::SendFlower(std::string& error, MJData body, std::span<uint8_t> reply) {
    return DrawLike(error, kReqFlower, 229210, body, 44, reply);
}

int CMJGameClient::SendNetworkBroken() {
    RequestResult r;
    return SendRequest(r, kReqNetworkBroken, MakeBody(32), 0);
}

int CMJGameClient::Send229500(int a) {
    std::vector<uint8_t> b = MakeBody(32);
    PutWord(b, 4, a);
    RequestResult r;
    return SendRequest(r, kReq229500, b, 0);
}

int CMJGameClient::Send229505() {
    RequestResult r;
    return SendRequest(r, kReq229505, MakeBody(32), 0);
}

}  // namespace hqlv::mahjong
