#pragma once
// CMJGameClient: the game connection with the mahjong requests. One builder per request;
// builders of the first kind fill the whole body, those of the second kind send the
// caller's body (exactly the request's length of it). Requests above 220000 that were
// waited for and failed while the socket is still connected start the application's
// network-failure recovery.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/connection/game_connection.h"
#include "mahjong/scene/scene_host.h"

namespace hqlv::mahjong {

// What the sender tells the rest of the client.
class CMJClientHost {
public:
    virtual ~CMJClientHost() = default;
    // A waited request went through: the body under the id of the notification that
    // announces its effect (the scene's per-hand action record).
    virtual void RecordAction(uint32_t notifyId, MJData body) = 0;
    // A waited mahjong request failed while connected.
    virtual void OnNetworkError() = 0;
    // The game data of an entry or of 201140 was stored: its length in bytes.
    virtual void OnGameDataStored(size_t /*length*/) {}
};

// Request ids of the mahjong layer.
enum MJRequestId : int {
    kReqKanPaiAsk = 221050,
    kReqKanPaiAnswer = 221052,
    kReqPlayTile = 221080,
    kReqDrawTile = 229000,
    kReqPass = 229005,
    kReqPeng = 229010,
    kReqGang = 229015,
    kReqChi = 229020,
    kReqPengConfirm = 229025,
    kReqChiConfirm = 229030,
    kReqFlower = 229060,
    kReqHu = 229080,
    kReqNetworkBroken = 229405,
    kReq229500 = 229500,
    kReq229505 = 229505,
};
inline constexpr int kResultDrawRefused = 229101;
inline constexpr int kResultPlaySendFailed = 10100;
// Bytes of a 221080 body before its tiles; the tile count is the word at byte 100.
inline constexpr size_t kPlayTileHead = 104;

class CMJGameClient : public framework::CGameConnection, public CMJRequests {
public:
    explicit CMJGameClient(framework::GameConnectionHost* host = nullptr,
                           CMJClientHost* mjHost = nullptr);

    void SetClientHost(CMJClientHost* host) { m_pMJHost = host; }

    int SendRequest(framework::RequestResult& result, int requestId,
                    const std::vector<uint8_t>& body, int wait) override;
    int GetRequestTimeout(int requestId) override;
    // The deal state is told how long the stored game data is.
    void StoreGameData(const uint8_t* data, size_t length) override;

    int SendKanPaiAsk() override;
    int SendKanPaiAnswer(int askerUserId, int agree) override;
    int SendPass(std::string& error, MJData body) override;
    int SendHu(std::string& error, MJData body) override;
    int QueryRequest(std::string& error, int id, MJData body, std::span<uint8_t> reply,
                     int* result) override;
    int SendPengConfirm(std::string& error, MJData body, int* result) override;
    int SendChiConfirm(std::string& error, MJData body, int* result) override;
    void SendChi(std::string& error, MJData body) override;
    void SendPeng(std::string& error, MJData body) override;
    int SendGang(std::string& error, MJData body, std::span<uint8_t> reply) override;
    int SendPlayTile(std::string& error, MJData body) override;
    int SendPlayTileWait(std::string& error, MJData body) override;
    void SendPlayTileNoWait(std::string& error, MJData body) override;
    int SendDrawTile(std::string& error, MJData body, std::span<uint8_t> reply) override;
    void SendDrawTileNoWait(std::string& error, MJData body) override;
    int SendFlower(std::string& error, MJData body, std::span<uint8_t> reply) override;
    int SendNetworkBroken() override;
    int Send229500(int a) override;
    int Send229505() override;

    // A body of n bytes that begins with the head {user id, room id, table, chair}.
    std::vector<uint8_t> MakeBody(size_t n);
    // The length of a 221080 body (104 + 4 × the tile count at byte 100); 0 when the body
    // is shorter than 104 bytes or the count is negative.
    static size_t PlayTileLength(MJData body);

protected:
    // Sends the first n bytes of a caller's body; a body shorter than n is refused (false,
    // the error text says so) and nothing is sent.
    int SendBody(std::string& error, int id, MJData body, size_t n, int wait,
                 framework::RequestResult& r);
    // The first n bytes of a reply copied to the caller; false when the reply or the
    // caller's area is shorter.
    static bool CopyReply(const framework::RequestResult& r, std::span<uint8_t> out, size_t n);
    void Record(uint32_t notifyId, MJData body, size_t n);
    int DrawLike(std::string& error, int id, uint32_t notifyId, MJData body, size_t n,
                 std::span<uint8_t> reply);

    CMJClientHost* m_pMJHost = nullptr;
};

}  // namespace hqlv::mahjong
