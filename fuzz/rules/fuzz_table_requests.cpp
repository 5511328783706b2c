// Request records as a client could send them, against a deal in play: each is checked and,
// when the check accepts it, carried out, as the server does. No input may crash the rules
// or put a tile in two places.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"

using namespace hqlv::rules;

namespace {

void checkPlaces(const CMJTableEx& t) {
    int places[136] = {};
    for (const auto& r : t.Tiles())
        if (r.status == kTileInWall || r.status == kTileHeld) ++places[r.id];
    for (int c = 0; c < 4; ++c) {
        for (int32_t id : t.Discards(c)) ++places[id];
        for (int l = 0; l < 5; ++l)
            for (const auto& m : t.Melds(c, static_cast<MeldList>(l)))
                for (int32_t id : m.tiles)
                    if (id >= 0) ++places[id];
    }
    for (int id = 0; id < 136; ++id)
        if (places[id] != 1) std::abort();
}

// Every run plays from the same deal: it is dealt once and each run takes a copy, since
// dealing (the shuffle, the deal, the start records) took a third of a run.
const CMJTableEx& Dealt() {
    static const CMJTableEx dealt = [] {
        SeedRandom(1);
        CMJTableEx t;
        for (int c = 0; c < 4; ++c) {
            auto u = std::make_unique<TableUser>();
            u->userId = 1 + c;
            t.AddPlayer(std::move(u), c);
        }
        if (t.StartGame(nullptr, {}) != 1) std::abort();
        return t;
    }();
    return dealt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMJTableEx t(Dealt());
    // Play draws nothing from the generator now; a fixed seed keeps each run repeatable if
    // it ever does.
    SeedRandom(1);
    // One step: an operation, two chairs (-1..4), four tiles and a kind. A tile byte with its
    // high bit set names the n-th tile the acting chair holds, so that most steps are
    // requests a real client could make; the others are raw ids, some out of range.
    constexpr size_t kStep = 8;
    for (size_t at = 0; at + kStep <= size; at += kStep) {
        const uint8_t* b = data + at;
        const uint8_t op = b[0];
        MJRequest r;
        // Chairs mostly near the table's range; a high bit makes the other chair a far one.
        r.w[3] = b[1] % 6 - 1;
        const int32_t far = b[2] & 0x3E;
        r.w[4] = !(b[2] & 0x80) ? b[2] % 6 - 1 : (b[2] & 1) ? INT32_MAX - far : INT32_MIN + far;
        int32_t held[32];
        const int32_t n = t.ListHeld(r.w[3], held, 32);
        for (int k = 0; k < 4; ++k) {
            const uint8_t v = b[3 + k];
            r.w[5 + k] = (v & 0x80) && n > 0 ? held[(v & 0x7F) % n] : static_cast<int32_t>(v) - 2;
        }
        r.w[9] = b[7] % 4;
        if (op % 12 == 6) r.w[6] = 1 << (b[7] % 3), r.w[7] = b[7] >> 4 & 3;
        switch (op % 12) {
            case 0:
                t.Discard(r.chair(), &r.w[5], 1), t.OpenClaimWindow();
                break;
            case 1:
                if (t.CheckPengRequest(r)) t.OnPeng(r);
                break;
            case 2:
                if (t.CheckMingGangRequest(r)) t.OnMingGang(r);
                break;
            case 3:
                if (t.CheckAnGangRequest(r)) t.OnAnGang(r);
                break;
            case 4:
                if (t.CheckBuGangRequest(r)) t.RecordGang(r), t.OnBuGang(r);
                break;
            case 5:
                if (t.CheckChiRequest(r)) t.OnChi(r);
                break;
            case 6:
                if (t.CheckHuRequest(r)) t.OnHuRequest(r);
                break;
            case 7:
                t.DrawTile(r.chair()), t.BeginTurn();
                break;
            case 8:
                t.DrawFromTail(r.chair());
                break;
            case 9:
                t.AnswerPass(r.chair(), 0);
                break;
            case 10: {
                HuResult res{};
                t.BestWin(r.chair(), &res);
                t.OthersMayStillHu(r), t.SomeoneCanRobGang(r), t.OthersMayStillHuAll(r);
                break;
            }
            default:
                t.SwitchActiveChair(r.chair() & 3);
                break;
        }
        checkPlaces(t);
    }
    t.SetOutcomeMode();
    std::vector<int32_t> rec(static_cast<size_t>(t.ResultRecordSize() / 4));
    t.FillResultRecord(rec.data(), t.ResultRecordSize(), 0, 0);
    int64_t sum = 0;
    for (int c = 0; c < 4; ++c) sum += rec[56 / 4 + c];
    if (sum != 0) std::abort();
    return 0;
}
