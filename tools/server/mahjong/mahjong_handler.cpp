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
    for (int c = 0; c < kChairs; ++c) {
        if (!(n.to & (1u << c)) || !t.client[c] || t.deal->Driven(c)) continue;
        // The player the system seats hears his seats and the new deal in one notice.
        if (n.code == 211040 && t.client[c] == t.seating) {
            server_->Notify(t.client[c], 211028, SeatsNotice(t, n.body));
            t.seating = 0;
            continue;
        }
        server_->Notify(t.client[c], n.code, n.body);
    }
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
            // Where the system seats the players, one who comes in waits for his table.
            auto enterToWait = [&] {
                const int room = Get(r.body, 3);
                if (!server.RulesOf(room).systemSeated) return false;
                if (server.HandleFrameworkRequest(r, reply) && reply.code == 200500)
                    QueueForSeat(r.client, room);
                return true;
            };
            auto it = tables_.find({Get(r.body, 3), Get(r.body, 4)});
            const int chair = Get(r.body, 5);
            if (it == tables_.end() || chair < 0 || chair >= kChairs) return enterToWait();
            Table& t = it->second;
            if (!t.deal->Running() || !t.user[chair]) return enterToWait();
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
        case 201160:
        case 201161: {
            // 201161 is the start of a room that checks the silver carried first.
            Table* t = TableOfClient(server, r.client, &seat);
            if (!t || seat.lookerOn || seat.chair < 0 || seat.chair >= kChairs) return false;
            server.HandleFrameworkRequest(r, reply);
            if (r.id == 201161 && reply.code != 10) return true;
            if (t->deal->Running()) return true;
            // A player who starts where he sits no longer waits for the system's table.
            waiting_.erase(r.client);
            MarkReady(*t, seat, r.client);
            TryStart(*t);
            return true;
        }
        case 201300: {
            // No change of table in the middle of the own deal; a change frees the chair.
            Table* t = TableOfClient(server, r.client, &seat);
            const bool holds = t && !seat.lookerOn && seat.chair >= 0 && seat.chair < kChairs &&
                               t->client[seat.chair] == r.client;
            if (holds && t->deal->Running()) {
                reply.code = 1010;
                return true;
            }
            if (!server.HandleFrameworkRequest(r, reply)) return false;
            if (reply.code == 10 && holds) {
                t->client[seat.chair] = 0;
                t->user[seat.chair] = 0;
                t->ready[seat.chair] = false;
            }
            return true;
        }
        case 201302: {
            // Where the system seats the players: a player out of a deal asks for another
            // table and waits for it (211300) as on coming in.
            reply.code = 10;
            Table* t = TableOfClient(server, r.client, &seat);
            if (!t || seat.lookerOn || !server.RulesOf(seat.room).systemSeated) return true;
            if (seat.chair >= 0 && seat.chair < kChairs && t->client[seat.chair] == r.client &&
                t->deal->Running())
                return true;
            ReleaseChair(r.client);
            server.Notify(r.client, 211300, std::vector<uint8_t>(16, 0));
            QueueForSeat(r.client, seat.room);
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
    waiting_.erase(client);
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
    if (const int think = thinkMs_.exchange(kThinkUnchanged); think >= 0) {
        opt_.deal.thinkMs = think;
        for (auto& [key, t] : tables_) t.deal->SetThinkMs(think);
    }
    SeatWaiting();
    for (auto& [key, t] : tables_) {
        if (!t.deal->Running()) continue;
        t.deal->Tick();
        AfterStep(t);
    }
}

void MahjongHandler::MarkReady(Table& t, const SeatInfo& seat, int client) {
    t.client[seat.chair] = client;
    t.user[seat.chair] = seat.userId;
    t.computer[seat.chair] = false;
    t.ready[seat.chair] = true;
    t.deal->SetSeat(seat.chair, seat.userId, false);
    // The player brings the score and silver the server lists for him.
    const std::vector<uint8_t> entry = server_->EntryOf(client);
    t.deal->SetStanding(seat.chair, Get(entry, 23), Get(entry, 21));
    std::vector<uint8_t> b(16, 0);
    Put(b, 0, seat.userId);
    Put(b, 3, seat.chair);
    server_->NotifyTable(seat.room, seat.table, 201160, b, client);
    FillComputers(t);
}

void MahjongHandler::QueueForSeat(int client, int room) {
    const int wait = server_ ? server_->RulesOf(room).seatWaitMs : 0;
    waiting_[client] = Now() + static_cast<uint64_t>(wait > 0 ? wait : 0);
    if (server_)
        server_->Log("mahjong: client " + std::to_string(client) + " waits " +
                     std::to_string(wait) + " ms for the system's table");
}

void MahjongHandler::ReleaseChair(int client) {
    for (auto& [key, t] : tables_)
        for (int c = 0; c < kChairs; ++c)
            if (t.client[c] == client && !t.deal->Running()) {
                t.client[c] = 0;
                t.user[c] = 0;
                t.ready[c] = false;
            }
}

int MahjongHandler::FreeTable(int room, int client) {
    for (int table = 0; table < server_->TableCount(); ++table) {
        auto it = tables_.find({room, table});
        if (it != tables_.end()) {
            const Table& t = it->second;
            if (t.deal->Running()) continue;
            bool taken = false;
            for (int c = 0; c < kChairs; ++c) taken |= t.client[c] && t.client[c] != client;
            if (taken) continue;
        }
        bool seated = false;
        for (int id : server_->Clients()) {
            const auto s = server_->Seat(id);
            seated |= id != client && s && s->room == room && s->table == table;
        }
        if (!seated) return table;
    }
    return -1;
}

void MahjongHandler::SeatWaiting() {
    if (!server_) return;
    const uint64_t now = Now();
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        const int client = it->first;
        const auto seat = server_->Seat(client);
        if (!seat || seat->lookerOn || !server_->RulesOf(seat->room).systemSeated) {
            it = waiting_.erase(it);
            continue;
        }
        if (it->second > now) {
            ++it;
            continue;
        }
        const int table = FreeTable(seat->room, client);
        if (table < 0) {
            it->second = now + 1000;  // every table is busy: the next look a second later
            ++it;
            continue;
        }
        it = waiting_.erase(it);
        ReleaseChair(client);
        // The chair follows the user id the client sent, which may be negative.
        const int chair = (seat->userId % kChairs + kChairs) % kChairs;
        Table& t = TableOf(seat->room, table);
        // The server-driven players come first, so that the player hears of them only with
        // his seats; then he sits down and the deal starts.
        t.user[chair] = seat->userId;
        t.client[chair] = client;
        t.computer[chair] = false;
        FillComputers(t);
        if (!server_->MoveSeat(client, table, chair)) {
            t.user[chair] = t.client[chair] = 0;
            continue;
        }
        SeatInfo at = *seat;
        at.table = table;
        at.chair = chair;
        server_->Log("mahjong: the system seats user " + std::to_string(at.userId) + " at table " +
                     std::to_string(table) + " chair " + std::to_string(chair));
        t.seating = client;
        MarkReady(t, at, client);
        TryStart(t);
        // No deal came of it: the seats alone.
        if (t.seating == client) {
            t.seating = 0;
            server_->Notify(client, 211028, SeatsNotice(t, {}));
        }
    }
}

std::vector<uint8_t> MahjongHandler::SeatsNotice(const Table& t,
                                                 const std::vector<uint8_t>& deal) const {
    // Word 1 the table, word 2 the count, words 3 on the users by chair; the entries from
    // byte 64, the deal's record behind them.
    std::vector<uint8_t> b(64, 0);
    Put(b, 1, t.table);
    Put(b, 2, kChairs);
    for (int c = 0; c < kChairs; ++c) Put(b, 3 + static_cast<size_t>(c), t.user[c]);
    for (int c = 0; c < kChairs; ++c) {
        std::vector<uint8_t> e =
            t.computer[c] || !t.client[c] ? ComputerEntry(t, c) : server_->EntryOf(t.client[c]);
        e.resize(kEntryBytes, 0);
        b.insert(b.end(), e.begin(), e.end());
    }
    b.insert(b.end(), deal.begin(), deal.end());
    return b;
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
