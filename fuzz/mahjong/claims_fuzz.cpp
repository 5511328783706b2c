// The claim buttons' state machine under any order of events: claims offered (discards and
// kong announcements with the fuzzer's flag words), withdrawn (draws, melds laid, the
// countdown's end), pressed and answered by a request double whose result codes and reply
// bytes come from the fuzzer, the own turn's steps and the silent-seat timers. A deal's end
// must leave no claim button active; nothing may crash or loop.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "tests/mahjong/fake_scene_host.h"

using namespace hqlv::mahjong;

namespace {

class Reader {
public:
    Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    bool empty() const { return pos_ >= n_; }
    uint8_t u8() { return pos_ < n_ ? d_[pos_++] : 0; }
    int32_t i32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(u8()) << (8 * i);
        return int32_t(v);
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t pos_ = 0;
};

// The server's answers: a result code from a short list (or any word), reply bytes as read.
struct Answers : CMJRequests {
    int Code() {
        static constexpr int kCodes[] = {10, 210050, 229450, 229101, 1010, 0, 10100, 10};
        const uint8_t b = in.u8();
        return b < 0xF0 ? kCodes[b % 8] : in.i32();
    }
    void Fill(std::span<uint8_t> reply) {
        for (uint8_t& b : reply) b = in.u8();
        // Tile words mostly in range, sometimes anything.
        if (reply.size() >= 8 && (in.u8() & 3)) {
            const int32_t tile = int32_t(in.u8() % 154) - 1;
            std::memcpy(reply.data() + 4, &tile, 4);
        }
    }
    int SendKanPaiAsk() override { return 1; }
    int SendKanPaiAnswer(int, int) override { return 1; }
    int SendPass(std::string&, MJData) override { return in.u8() & 1; }
    int SendHu(std::string&, MJData) override { return Code(); }
    int QueryRequest(std::string&, int, MJData, std::span<uint8_t> reply, int* result) override {
        *result = Code();
        if (*result == 10) Fill(reply.first(std::min<size_t>(32, reply.size())));
        return *result == 10;
    }
    int SendPengConfirm(std::string&, MJData, int* result) override {
        *result = Code();
        return *result == 10;
    }
    int SendChiConfirm(std::string&, MJData, int* result) override {
        *result = Code();
        return *result == 10;
    }
    void SendChi(std::string&, MJData) override {}
    void SendPeng(std::string&, MJData) override {}
    int SendGang(std::string&, MJData, std::span<uint8_t> reply) override {
        const int ok = Code() == 10;
        if (ok) Fill(reply);
        return ok;
    }
    int SendPlayTile(std::string&, MJData) override { return in.u8() & 1; }
    int SendPlayTileWait(std::string&, MJData) override { return Code(); }
    void SendPlayTileNoWait(std::string&, MJData) override {}
    int SendDrawTile(std::string&, MJData, std::span<uint8_t> reply) override {
        const int code = Code();
        if (code == 10) Fill(reply);
        if (code == 229101 && reply.size() >= 8) std::memset(reply.data() + 4, 0xFF, 4);
        return code == 10;
    }
    void SendDrawTileNoWait(std::string&, MJData) override {}
    int SendFlower(std::string& e, MJData b, std::span<uint8_t> reply) override {
        return SendDrawTile(e, b, reply);
    }
    int SendNetworkBroken() override { return 1; }
    int Send229500(int) override { return 1; }
    int Send229505() override { return 1; }
    Reader in{nullptr, 0};
};

struct DealState : CMJGameInfo {
    std::span<const uint8_t> GetRoundRecord() const override { return area; }
    std::span<uint8_t> GetRoundRecordArea() override { return area; }
    std::span<const uint8_t> GetResultRecord() const override { return result; }
    std::array<uint8_t, kDealAreaBytes> area{};
    std::array<uint8_t, kResultBytes> result{};
};

void PutWord(std::span<uint8_t> b, size_t i, int32_t v) {
    if (b.size() >= (i + 1) * 4) std::memcpy(b.data() + i * 4, &v, 4);
}

// What every run shares: the host, the deal record and the answers live as long as the
// process (a run resets what it reads), and the log goes nowhere.
struct Shared {
    Shared() {
        hqlv::engine::SetEngineLogFolder("/nonexistent-hqlv-fuzz-log");
        host.info = &deal;
        host.requests = &answers;
        host.playing = 1;
    }
    Answers answers;
    DealState deal;
    test::FakeSceneHost host;
    std::array<uint8_t, 1652> body{};
};

// A chair near the bounds: -1 to 4.
int32_t Chair(Reader& in) {
    return int32_t(in.u8() % 6) - 1;
}

int32_t Tile(Reader& in) {
    const uint8_t b = in.u8();
    return b < 0xF8 ? int32_t(b % 144) : int32_t(b) - 0x100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Shared shared;
    Answers& answers = shared.answers;
    DealState& deal = shared.deal;
    test::FakeSceneHost& host = shared.host;
    answers.in = Reader(data, size);
    Reader& in = answers.in;
    deal.area.fill(0);
    host.sounds.clear();
    host.chat.clear();
    host.chair = in.u8() % 4;
    host.lookerOn = (in.u8() & 7) == 0;
    deal.SetRoundWord(18, int32_t(in.u8()) - 8);
    deal.SetRoundWord(39, int32_t(in.u8()) - 8);
    deal.SetRoundWord(40, in.i32());
    CMJGameScene2 scene;
    host.scene = &scene;
    scene.SetSceneHost(&host);
    scene.ResetTable();
    for (int step = 0; step < 96 && !in.empty(); ++step) {
        const uint8_t op = in.u8();
        std::span<uint8_t> body(shared.body);
        shared.body.fill(0);
        switch (op % 16) {
            case 0: {  // a discard with the claim flags of the four chairs
                PutWord(body, 1, Chair(in));
                for (size_t c = 0; c < 4; ++c) PutWord(body, 6 + c, in.u8() & 0x2F);
                PutWord(body, 21, Tile(in));
                scene.OnNotify221170(MJData(body.data(), 120));
                break;
            }
            case 1: {  // a kong announced, the others may rob it
                PutWord(body, 0, Chair(in));
                PutWord(body, 1, Chair(in));
                PutWord(body, 2, Tile(in));
                PutWord(body, 3, in.u8() % 4);
                for (size_t c = 0; c < 4; ++c) PutWord(body, 4 + c, in.u8() & 0x2F);
                scene.OnNotify229180(MJData(body.data(), 64));
                break;
            }
            case 2: {  // a draw: the claims are withdrawn
                PutWord(body, 0, Chair(in));
                PutWord(body, 1, Tile(in));
                PutWord(body, 2, int32_t(in.u8()) - 4);
                scene.OnNotify229160(MJData(body.data(), 40));
                break;
            }
            case 3: {  // a peng laid by someone
                PutWord(body, 3, Chair(in));
                PutWord(body, 4, Chair(in));
                for (size_t w = 5; w < 8; ++w) PutWord(body, w, Tile(in));
                scene.OnNotify229185(MJData(body.data(), 64));
                break;
            }
            case 4:
            case 5: {  // a button press, the answers as the request double gives them
                hqlv::engine::MessageData none;
                scene.OnMessage(210025 + in.u8() % 5, none, 0);
                break;
            }
            case 6:
                scene.SetCountdown(0);
                scene.OnCountdownEnd();
                break;
            case 7:
                scene.OnNotify229165(MJData());
                break;
            case 8:
                scene.DrawTile();
                break;
            case 9:
                if (in.u8() & 1)
                    scene.DiscardTile(int(in.u8() % 34) - 1);
                else
                    scene.PlayFlower(int(in.u8() % 34) - 1);
                break;
            case 10: {  // a tile click on an own hand record
                MJTileInfo* r = scene.GetTileRecord(kAreaHand, kOwnView, in.u8() % 18);
                switch (in.u8() % 3) {
                    case 0:
                        scene.OnTileClickGang(r, nullptr);
                        break;
                    case 1:
                        scene.OnTileClickSelect(r, nullptr);
                        break;
                    default:
                        scene.OnTileClickDiscard(r, nullptr);
                        break;
                }
                break;
            }
            case 11: {  // the own hand and the clock as the server's words may leave them
                MJTileInfo* row = scene.Tiles().HandRow(in.u8() & 1 ? kOwnView : 0);
                const int i = in.u8() % 18;
                row[i].nCode = Tile(in);
                row[i].bPresent = in.u8() & 1;
                row[i].bHand = in.u8() & 1;
                row[i].nMeld = in.u8() % 4;
                scene.SetClockHand(in.u8() % 8);
                break;
            }
            case 12:
                scene.OnTurnTimer(10 + in.u8() % 2);
                break;
            case 13:
                if (in.u8() & 1)
                    scene.DeclareConcealedGang(Tile(in));
                else
                    scene.DeclareAddedGang(Tile(in));
                break;
            case 14:
                scene.CheckOwnGang();
                scene.ToggleAutoPlay();
                break;
            default: {  // the deal ends: no claim button may stay active
                for (size_t w = 0; w < 200; ++w) PutWord(body, w, in.u8() & 1 ? in.i32() : -1);
                scene.OnGameEnd(MJData(body.data(), body.size()));
                for (int k = 1; k <= 5; ++k)
                    if (scene.IsClaimButtonActive(k)) std::abort();
                // One deal a run: what follows its end is the next deal's, a new run.
                return 0;
            }
        }
    }
    return 0;
}
