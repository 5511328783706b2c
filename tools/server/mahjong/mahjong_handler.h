#pragma once
// The local server's mahjong game layer: seats server-driven players in the empty chairs
// when a player is ready, runs the table's deals (deal.h) and carries their requests and
// notices between the connections and the chairs. Lookers-on get the public notices only,
// unless the watched player agreed to show them the hand.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/server/game_server.h"
#include "tools/server/mahjong/deal.h"
#include "tools/stand_ins.h"
#include "tools/standings.h"

namespace hqlv::server::mj {

struct MahjongOptions {
    DealOptions deal;
    std::optional<uint32_t> seed;  // none: seeded from the time (and logged)
    std::string recordFile;        // each deal's record appended as text; empty: none
    // The seated users' standings (tools/standings.h), written whenever one changes; empty:
    // none.
    std::string standingsFile;
    std::function<uint64_t()> clock;  // milliseconds; empty: the steady clock
};

inline constexpr int kFirstComputerId = tools::kFirstComputerUserId;

class MahjongHandler : public GameHandler {
public:
    explicit MahjongHandler(MahjongOptions options = {});
    ~MahjongHandler() override;

    bool OnRequest(GameServer& server, const Request& request, Reply& reply) override;
    // The table state of a running deal (the player's or the looker-on's kind); between deals
    // no game data: this game's data block holds a deal's state and nothing else.
    std::optional<std::vector<uint8_t>> GameData(GameServer& server, int client) override;
    std::vector<uint8_t> UnconnectedPlayers(GameServer& server, int room, int table) override;
    void OnClientClosed(GameServer& server, int client) override;
    void OnTick(GameServer& server) override;

    std::optional<uint32_t> Seed() const { return opt_.seed; }
    // The server-driven players' delay for the deals under way and those to come; any
    // thread may call it, the deals take it on their next tick.
    void SetThinkMs(int ms) { thinkMs_ = ms; }
    // For tests: the deal of a table (nullptr when none was started there).
    const Deal* DealAt(int room, int table) const;

private:
    struct Table {
        int room = 0, table = 0;
        std::unique_ptr<Deal> deal;
        int client[kChairs] = {};  // 0: no connection (empty or server-driven)
        int user[kChairs] = {};
        bool computer[kChairs] = {};
        bool ready[kChairs] = {};
        std::map<int, int> shown;  // looker-on -> the chair that agreed to show its tiles
        bool wasRunning = false;
        int seating = 0;  // the connection the system seats with the deal that starts now
    };

    Table& TableOf(int room, int table);
    Table* TableOfClient(GameServer& server, int client, SeatInfo* seat);
    void Deliver(Table& t, const Note& note);
    void FillComputers(Table& t);
    static std::vector<uint8_t> ComputerEntry(const Table& t, int chair);
    void TryStart(Table& t);
    void AfterStep(Table& t);
    void WriteRecord(const Table& t);
    // A player who is ready (201160, or 201161 in range) at his table: the table hears it
    // (not the player, whose client tells itself), empty chairs get server-driven players.
    void MarkReady(Table& t, const SeatInfo& seat, int client);

    // ---- the system's seating (rooms whose rules say so)
    void QueueForSeat(int client, int room);
    // On the tick: seats the players whose wait is over.
    void SeatWaiting();
    // The first table of the room where no other connection sits and no deal runs; -1.
    int FreeTable(int room, int client);
    // The seats (211028) of a table: its chairs' users and entries, then the deal's record.
    std::vector<uint8_t> SeatsNotice(const Table& t, const std::vector<uint8_t>& deal) const;
    // The client's chair at a table whose deal does not run is free again.
    void ReleaseChair(int client);
    // Takes the table's seated users' standings into the standings file; after a settled
    // deal each also counts the deal as won, lost or drawn.
    void RecordStandings(const Table& t, bool settled);
    uint64_t Now() const;

    MahjongOptions opt_;
    GameServer* server_ = nullptr;  // the server of the call in progress
    std::map<std::pair<int, int>, Table> tables_;
    std::map<int, uint64_t> waiting_;  // client -> when the system seats him
    tools::Standings standings_;
    static constexpr int kThinkUnchanged = -1;
    std::atomic<int> thinkMs_{kThinkUnchanged};
};

}  // namespace hqlv::server::mj
