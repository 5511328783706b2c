#include "tools/server/mahjong/mahjong_handler.h"

#include <iconv.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "rules/common.h"
#include "tools/stand_ins.h"

namespace hqlv::server::mj {

namespace {

constexpr size_t kEntryBytes = 136;

int32_t Get(const std::vector<uint8_t>& b, size_t w) {
    if (w * 4 + 4 > b.size()) return 0;
    return static_cast<int32_t>(b[w * 4] | b[w * 4 + 1] << 8 | b[w * 4 + 2] << 16 |
                                static_cast<uint32_t>(b[w * 4 + 3]) << 24);
}

void Put(std::vector<uint8_t>& b, size_t w, int32_t v) {
    if (w * 4 + 4 > b.size()) b.resize(w * 4 + 4, 0);
    for (int i = 0; i < 4; ++i)
        b[w * 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t left = utf8.size(), room = out.size();
    char* dst = out.data();
    iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

bool IsMahjongRequest(int id) {
    return (id >= 229000 && id <= 229199) || id == 221080;
}

}  // namespace

MahjongHandler::MahjongHandler(MahjongOptions options) : opt_(std::move(options)) {
    const uint32_t seed = opt_.seed ? *opt_.seed : static_cast<uint32_t>(Now() ^ 0x5DEECE66u);
    rules::SeedRandom(seed);
    opt_.seed = seed;
}

MahjongHandler::~MahjongHandler() = default;

uint64_t MahjongHandler::Now() const {
    if (opt_.clock) return opt_.clock();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

const Deal* MahjongHandler::DealAt(int room, int table) const {
    auto it = tables_.find({room, table});
    return it == tables_.end() ? nullptr : it->second.deal.get();
}

MahjongHandler::Table& MahjongHandler::TableOf(int room, int table) {
    Table& t = tables_[{room, table}];
    if (!t.deal) {
        t.room = room;
        t.table = table;
        Table* self = &t;
        t.deal = std::make_unique<Deal>(
            opt_.deal, [this] { return Now(); }, [this, self](const Note& n) { Deliver(*self, n); },
            [this](const std::string& line) {
                if (server_) server_->Log(line);
            });
        if (server_) server_->Log("mahjong: seed " + std::to_string(*opt_.seed));
    }
    return t;
}

MahjongHandler::Table* MahjongHandler::TableOfClient(GameServer& server, int client,
                                                     SeatInfo* seat) {
    auto s = server.Seat(client);
    if (!s) return nullptr;
    if (seat) *seat = *s;
    return &TableOf(s->room, s->table);
}

// A chair's notice reaches its connection (none while server-driven). Lookers-on get the
// public notices; those a chair agreed to show its hand get its private copies instead of
// the hidden ones.
void MahjongHandler::Deliver(Table& t, const Note& n) {
    if (!server_) return;
    for (int c = 0; c < kChairs; ++c)
        if ((n.to & (1u << c)) && t.client[c] && !t.deal->Driven(c))
            server_->Notify(t.client[c], n.code, n.body);
    for (int id : server_->Clients()) {
        auto s = server_->Seat(id);
        if (!s || !s->lookerOn || s->room != t.room || s->table != t.table) continue;
        const auto agreed = t.shown.find(id);
        const bool shown = agreed != t.shown.end() && agreed->second == s->chair;
        if (shown ? (n.owner == s->chair || ((n.to & kToLookers) && n.hides != s->chair))
                  : (n.to & kToLookers) != 0)
            server_->Notify(id, n.code, n.body);
    }
}

void MahjongHandler::FillComputers(Table& t) {
    for (int c = 0; c < kChairs; ++c) {
        if (t.user[c]) continue;
        t.user[c] = kFirstComputerId + c;
        t.computer[c] = true;
        t.ready[c] = true;
        t.deal->SetSeat(c, t.user[c], true);
        // A server-driven player sits down with no score and the starting silver.
        t.deal->SetStanding(c, 0, tools::kComputerStartSilver);
        server_->NotifyTable(t.room, t.table, 211011, ComputerEntry(t, c));
    }
    RecordStandings(t, false);
}

std::vector<uint8_t> MahjongHandler::ComputerEntry(const Table& t, int chair) {
    std::vector<uint8_t> e(kEntryBytes, 0);
    Put(e, 0, t.user[chair]);
    Put(e, 3, t.table);
    Put(e, 4, chair);
    // The server-driven players take the table's names for computer players.
    const std::string name = ToGbk(t.deal->Table().ComputerName(chair));
    std::copy(name.begin(), name.begin() + static_cast<long>(std::min<size_t>(name.size(), 31)),
              e.begin() + 36);
    // Listed at the standing the deals left it, the level the table's rules give its score.
    const Standing standing = t.deal->StandingOf(chair);
    Put(e, 21, standing.silver);
    Put(e, 22, standing.level);
    Put(e, 23, standing.score);
    return e;
}

std::vector<uint8_t> MahjongHandler::UnconnectedPlayers(GameServer& server, int room, int table) {
    server_ = &server;
    std::vector<uint8_t> out;
    auto it = tables_.find({room, table});
    if (it == tables_.end()) return out;
    for (int c = 0; c < kChairs; ++c) {
        if (!it->second.computer[c]) continue;
        const auto e = ComputerEntry(it->second, c);
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

void MahjongHandler::TryStart(Table& t) {
    if (t.deal->Running()) return;
    for (int c = 0; c < kChairs; ++c)
        if (!t.ready[c]) return;
    if (t.deal->Start()) {
        t.wasRunning = true;
        t.shown.clear();
    }
    AfterStep(t);
}

// After a deal's end: its record is written and the players must be ready again.
void MahjongHandler::AfterStep(Table& t) {
    if (!t.wasRunning || t.deal->Running()) return;
    t.wasRunning = false;
    t.shown.clear();
    if (t.deal->Over()) WriteRecord(t);
    // The settled standing goes back to the players' entries, as the result gave it.
    for (int c = 0; c < kChairs && t.deal->Over(); ++c) {
        const Standing s = t.deal->StandingOf(c);
        server_->Log("mahjong: standing chair " + std::to_string(c) + " user " +
                     std::to_string(t.user[c]) + " score " + std::to_string(s.score) + " silver " +
                     std::to_string(s.silver) + " level " + std::to_string(s.level));
        if (t.client[c]) server_->SetStanding(t.client[c], s.score, s.silver, s.level);
    }
    if (t.deal->Over()) RecordStandings(t, true);
    for (int c = 0; c < kChairs; ++c) {
        // A player who dropped out kept the chair only for the deal; it is free now.
        if (!t.computer[c] && !t.client[c]) t.user[c] = 0;
        t.ready[c] = t.computer[c];
    }
}

bool MahjongHandler::OnRequest(GameServer& server, const Request& r, Reply& reply) {
    server_ = &server;
    SeatInfo seat;
    switch (r.id) {
        case 200110: {
            // A chair whose player dropped out mid-deal goes back to the same user only.
            if (r.body.size() < 108 || Get(r.body, 14) != 0) return false;
            auto it = tables_.find({Get(r.body, 3), Get(r.body, 4)});
            const int chair = Get(r.body, 5);
            if (it == tables_.end() || chair < 0 || chair >= kChairs) return false;
            Table& t = it->second;
            if (!t.deal->Running() || !t.user[chair]) return false;
            if (t.user[chair] != Get(r.body, 0) || t.computer[chair] || !t.deal->Driven(chair)) {
                reply.code = 200510;
                return true;
            }
            if (!server.HandleFrameworkRequest(r, reply) || reply.code != 200500) return true;
            t.client[chair] = r.client;
            t.deal->SetDriven(chair, false);
            reply.data = t.deal->PlayerState(chair);
            std::vector<uint8_t> b(32, 0);
            Put(b, 3, chair);
            Put(b, 4, 1);
            server.NotifyTable(t.room, t.table, 229500, b);
            return true;
        }
        case 201160: {
            Table* t = TableOfClient(server, r.client, &seat);
            if (!t || seat.lookerOn || seat.chair < 0 || seat.chair >= kChairs) return false;
            server.HandleFrameworkRequest(r, reply);
            if (t->deal->Running()) return true;
            t->client[seat.chair] = r.client;
            t->user[seat.chair] = seat.userId;
            t->computer[seat.chair] = false;
            t->ready[seat.chair] = true;
            t->deal->SetSeat(seat.chair, seat.userId, false);
            // The player brings the score and silver the server lists for him.
            const std::vector<uint8_t> entry = server.EntryOf(r.client);
            t->deal->SetStanding(seat.chair, Get(entry, 23), Get(entry, 21));
            std::vector<uint8_t> b(16, 0);
            Put(b, 0, seat.userId);
            Put(b, 3, seat.chair);
            server.NotifyTable(seat.room, seat.table, 201160, b);
            FillComputers(*t);
            TryStart(*t);
            return true;
        }
        case 201130: {
            Table* t = TableOfClient(server, r.client, &seat);
            reply.code = t && t->deal->Running() ? 210030 : 10;
            reply.data.assign(4, 0);
            return true;
        }
        case 201120:
        case 201125: {
            Table* t = TableOfClient(server, r.client, &seat);
            if (t && !seat.lookerOn && seat.chair >= 0 && seat.chair < kChairs &&
                t->client[seat.chair] == r.client) {
                if (t->deal->Running()) {
                    t->deal->Drop();
                    t->wasRunning = false;
                    std::vector<uint8_t> b(32, 0);
                    Put(b, 0, seat.userId);
                    Put(b, 1, seat.chair);
                    server.NotifyTable(seat.room, seat.table, 211000, b, r.client);
                }
                t->client[seat.chair] = 0;
                t->user[seat.chair] = 0;
                t->ready[seat.chair] = false;
                for (int c = 0; c < kChairs; ++c) t->ready[c] = t->computer[c];
            }
            return false;  // the server's own leave follows
        }
        case 221050: {  // a looker-on asks the watched player to show the hand
            Table* t = TableOfClient(server, r.client, &seat);
            if (!t || !seat.lookerOn || seat.chair < 0 || seat.chair >= kChairs) {
                reply.code = 1010;
                return true;
            }
            if (t->client[seat.chair] && !t->deal->Driven(seat.chair)) {
                std::vector<uint8_t> b(32, 0);
                Put(b, 0, seat.userId);
                server.Notify(t->client[seat.chair], 221050, b);
            }
            return true;
        }
        case 221052: {  // the player's answer
            Table* t = TableOfClient(server, r.client, &seat);
            if (!t || seat.lookerOn || r.body.size() < 40 || seat.chair < 0 ||
                seat.chair >= kChairs) {
                reply.code = r.body.size() < 40 ? 1011 : 1010;
                return true;
            }
            const int asker = Get(r.body, 4);
            const bool agree = Get(r.body, 5) != 0;
            std::vector<uint8_t> b(32, 0);
            Put(b, 3, seat.chair);
            Put(b, 4, asker);
            Put(b, 5, agree ? 1 : 0);
            server.NotifyTable(seat.room, seat.table, 221160, b);
            for (int id : server.Clients()) {
                auto s = server.Seat(id);
                if (!agree || !s || !s->lookerOn || s->userId != asker || s->room != seat.room ||
                    s->table != seat.table || s->chair != seat.chair || !t->deal->Running())
                    continue;
                t->shown[id] = seat.chair;
                int32_t held[32];
                const int32_t n = t->deal->Table().ListHeld(seat.chair, held, 32);
                std::vector<uint8_t> h(12, 0);
                Put(h, 1, seat.chair);
                Put(h, 2, n);
                for (int32_t k = 0; k < n; ++k) Put(h, 3 + static_cast<size_t>(k), held[k]);
                server.Notify(id, 221200, h);
            }
            return true;
        }
        default:
            break;
    }
    if (!IsMahjongRequest(r.id)) return false;
    Table* t = TableOfClient(server, r.client, &seat);
    if (!t || seat.lookerOn || seat.chair < 0 || seat.chair >= kChairs ||
        t->client[seat.chair] != r.client) {
        reply.code = 1010;
        return true;
    }
    Answer a = t->deal->Request(seat.chair, r.id, r.body);
    if (a.code != kDone)
        server.Log("mahjong: request " + std::to_string(r.id) + " of chair " +
                   std::to_string(seat.chair) + " answered " + std::to_string(a.code));
    reply.code = a.code;
    reply.data = std::move(a.data);
    AfterStep(*t);
    return true;
}

std::optional<std::vector<uint8_t>> MahjongHandler::GameData(GameServer& server, int client) {
    server_ = &server;
    SeatInfo seat;
    Table* t = TableOfClient(server, client, &seat);
    if (!t || !t->deal->Running() || seat.chair < 0 || seat.chair >= kChairs)
        return std::vector<uint8_t>{};
    std::vector<uint8_t> state =
        seat.lookerOn ? t->deal->DealRecord(seat.chair, false) : t->deal->PlayerState(seat.chair);
    // The record gets the table as the state shows it, for the entry to be compared with.
    if (!opt_.recordFile.empty()) {
        std::ofstream out(opt_.recordFile, std::ios::app);
        if (out)
            out << StateText(*t->deal, seat.chair, seat.lookerOn, state);
        else
            server.Log("mahjong: cannot write the record to " + opt_.recordFile);
    }
    return state;
}

void MahjongHandler::OnClientClosed(GameServer& server, int client) {
    server_ = &server;
    for (auto& [key, t] : tables_) {
        t.shown.erase(client);
        for (int c = 0; c < kChairs; ++c) {
            if (t.client[c] != client) continue;
            t.client[c] = 0;
            if (t.deal->Running()) {
                // The seat plays on server-driven until its user comes back.
                t.deal->SetDriven(c, true);
                std::vector<uint8_t> b(32, 0);
                Put(b, 3, c);
                Put(b, 4, 2);
                server.NotifyTable(t.room, t.table, 229500, b, client);
            } else {
                t.user[c] = 0;
                t.ready[c] = false;
            }
        }
    }
}

void MahjongHandler::OnTick(GameServer& server) {
    server_ = &server;
    for (auto& [key, t] : tables_) {
        if (!t.deal->Running()) continue;
        t.deal->Tick();
        AfterStep(t);
    }
}

void MahjongHandler::RecordStandings(const Table& t, bool settled) {
    if (opt_.standingsFile.empty()) return;
    const std::vector<uint8_t>& result = t.deal->Result();
    auto word = [&](size_t w) { return w * 4 + 4 <= result.size() ? Get(result, w) : 0; };
    // Result word 0 is the end kind (2: drawn), words 165 on the chairs' win marks.
    const bool drawn = word(0) == 2;
    for (int c = 0; c < kChairs; ++c) {
        if (!t.user[c]) continue;
        tools::UserStanding& u = standings_[t.user[c]];
        const Standing s = t.deal->StandingOf(c);
        u.score = s.score;
        u.silver = s.silver;
        u.level = s.level;
        if (!settled) continue;
        if (drawn)
            ++u.draws;
        else if (word(165 + static_cast<size_t>(c)) > 0)
            ++u.wins;
        else
            ++u.losses;
    }
    if (!tools::WriteStandingsFile(opt_.standingsFile, standings_) && server_)
        server_->Log("mahjong: cannot write the standings to " + opt_.standingsFile);
}

void MahjongHandler::WriteRecord(const Table& t) {
    if (opt_.recordFile.empty()) return;
    std::ofstream out(opt_.recordFile, std::ios::app);
    if (!out) {
        if (server_) server_->Log("mahjong: cannot write the record to " + opt_.recordFile);
        return;
    }
    out << DealText(*t.deal);
}

}  // namespace hqlv::server::mj
