#pragma once
// A wire client seated at a table of the in-process server, with the requests of a player.
#include <deque>
#include <optional>

#include "deal_rig.h"
#include "tests/framework/connection/wire_client.h"

namespace testrig {

constexpr int kRoom = 0, kTable = 1;

class TableClient {
public:
    TableClient(uint16_t port, int userId, int chair) : user_(userId), chair_(chair) {
        ok_ = wire_.Connect(port);
    }
    bool ok() const { return ok_; }
    int chair() const { return chair_; }
    int user() const { return user_; }
    // The room the client enters and names in its bodies (kRoom unless set before Enter).
    void SetRoom(int room) { room_ = room; }

    std::optional<hqlv::testing::WireMessage> Enter(bool lookerOn = false, int userId = 0) {
        std::vector<uint8_t> b(108, 0);
        PutWord(b, 0, userId ? userId : user_);
        PutWord(b, 3, room_);
        PutWord(b, 4, kTable);
        PutWord(b, 5, chair_);
        PutWord(b, 14, lookerOn ? 1 : 0);
        return Call(200110, b);
    }
    // A body with the head (user, room, table, chair) and the given words from word 4.
    std::vector<uint8_t> Body(size_t bytes, std::initializer_list<int32_t> words,
                              int headChair = -1) const {
        std::vector<uint8_t> b(bytes, 0);
        PutWord(b, 0, user_);
        PutWord(b, 1, room_);
        PutWord(b, 2, kTable);
        PutWord(b, 3, headChair >= 0 ? headChair : chair_);
        size_t w = 4;
        for (int32_t v : words) PutWord(b, w++, v);
        b.resize(std::max(bytes, b.size()));
        return b;
    }
    std::vector<uint8_t> DiscardBody(int32_t tile, int headChair = -1) const {
        auto b = Body(108, {0, kTable, chair_, user_}, headChair);
        PutWord(b, 20, 1);
        PutWord(b, 25, 1);
        PutWord(b, 26, tile);
        return b;
    }
    void Send(int id, const std::vector<uint8_t>& body) { wire_.Send(id, body, false); }
    // A waited request: its answer; the notices read meanwhile are kept.
    std::optional<hqlv::testing::WireMessage> Call(int id, const std::vector<uint8_t>& body,
                                                   int timeoutMs = 5000) {
        const int mid = wire_.Send(id, body, true);
        for (;;) {
            auto m = wire_.Read(timeoutMs);
            if (!m) return std::nullopt;
            if (m->type == 2 && m->messageId == mid) return m;
            if (m->type != 2) notes_.push_back(*m);
        }
    }
    // The next notice (kept ones first).
    std::optional<hqlv::testing::WireMessage> Next(int timeoutMs = 5000) {
        if (!notes_.empty()) {
            auto m = notes_.front();
            notes_.pop_front();
            return m;
        }
        for (;;) {
            auto m = wire_.Read(timeoutMs);
            if (!m || m->type != 2) return m;
        }
    }
    // The next notice with this code; the others before it are dropped into `seen`.
    std::optional<hqlv::testing::WireMessage> WaitFor(
        int code, int timeoutMs = 5000, std::vector<hqlv::testing::WireMessage>* seen = nullptr) {
        for (;;) {
            auto m = Next(timeoutMs);
            if (!m || m->code == code) return m;
            if (seen) seen->push_back(*m);
        }
    }
    void Close() { wire_.Close(); }
    bool WaitClosed(int ms) { return wire_.WaitClosed(ms); }

private:
    hqlv::testing::WireClient wire_;
    std::deque<hqlv::testing::WireMessage> notes_;
    int user_, chair_;
    int room_ = kRoom;
    bool ok_ = false;
};

// Plays the client's chair simply (pass on every offer, discard what it draws) until the
// result comes; checks on the way that no other chair's drawn tile reaches it.
inline std::optional<hqlv::testing::WireMessage> PlayToEnd(TableClient& p,
                                                           const std::vector<uint8_t>& deal,
                                                           int* leaks) {
    const int me = p.chair();
    if (Word(deal, 13) == me) {
        auto a = p.Call(221080, p.DiscardBody(Word(deal, 53)));
        if (!a || a->code != 10) return std::nullopt;
    }
    int lastDiscarder = -1;
    for (int guard = 0; guard < 2000; ++guard) {
        auto m = p.Next();
        if (!m) return std::nullopt;
        if (m->code == 211080) return m;
        if (m->code == 229160 && Word(m->data, 0) != me && Word(m->data, 1) != -1) ++*leaks;
        if ((m->code == 229195 || m->code == 229199 || m->code == 229197) &&
            Word(m->data, 3) != me && Word(m->data, 10) != -1)
            ++*leaks;
        if (m->code == 221170) {
            lastDiscarder = Word(m->data, 1);
            if (lastDiscarder != me && Word(m->data, 6 + me))
                p.Send(229005, p.Body(40, {lastDiscarder, Word(m->data, 21)}));
        }
        if (m->code == 229165 && lastDiscarder == (me + 1) % 4) {
            auto d = p.Call(229000, p.Body(96, {0, testrig::kTable, me, p.user()}));
            if (!d) return std::nullopt;
            if (d->code != 10) continue;  // the wall is used up: the result follows
            auto a = p.Call(221080, p.DiscardBody(Word(d->data, 1)));
            if (!a || a->code != 10) return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace testrig
