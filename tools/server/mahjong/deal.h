#pragma once
// One table's deals of this game, run on the rule object: the turn (draw, discard), the
// claims window with its answers and held-back claims, the kongs with their replacement
// draws, wins, the end and the settlement. It knows chairs only; the game handler maps
// them to connections. Time comes from an injected clock, so tests, the fuzzer and the
// benchmark run it without sockets. Seats marked server-driven are played by simple
// players after a think delay; a silent human seat is played once its time, the grace
// and two more seconds have passed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rules/table_ex.h"

namespace hqlv::server::mj {

inline constexpr int kChairs = 4;

// Result codes.
inline constexpr int kDone = 10, kHeldBack = 210050, kDiscardRefused = 229450, kNoTile = 229101,
                     kRefused = 1010, kMalformed = 1011;

// The time a client takes to roll the dice and deal the tiles on its screen (four dice, four
// seats 500 ms apart, the opening flowers), with some room.
inline constexpr int kDefaultDealMs = 7000;

struct DealOptions {
    int thinkMs = 800;  // server-driven players' delay before they act
    int turnSeconds = 20;
    int claimSeconds = 20;
    int graceSeconds = 2;
    // The clients' dice and dealing time: nobody acts (and no time runs) before it has
    // passed from a deal's start. The server program takes kDefaultDealMs.
    int dealMs = 0;
    std::string testIniFolder;  // folder of a fixed test deal ("test.ini"); empty: none
    // Above 0 the deals are settled in silver too, at this multiple of the table's stake.
    int stakeMultiple = 0;
};

// A seated user's standing: what the next settlement starts from.
struct Standing {
    int32_t score = 0;
    int32_t silver = 0;
    int32_t level = 0;
};

// A notification to the chairs in `to` (bits 0..3) and, with kToLookers, the lookers-on.
// A body with a chair's private tile names that chair in `owner` (the lookers-on the chair
// shows its hand get it too); the copy with the tile hidden names it in `hides`.
inline constexpr uint32_t kToLookers = 0x10, kToAll = 0x1F;
struct Note {
    uint32_t to = kToAll;
    int code = 0;
    std::vector<uint8_t> body;
    int owner = -1;
    int hides = -1;
};

struct Answer {
    int code = kDone;
    std::vector<uint8_t> data;
};

class Deal {
public:
    using Clock = std::function<uint64_t()>;
    using Sink = std::function<void(const Note&)>;
    Deal(DealOptions options, Clock clock, Sink sink,
         std::function<void(const std::string&)> log = {});
    // A copy goes on from where the original is, on a copy of its table, with the same clock,
    // sink and log: a deal started once can be replayed from copies.
    Deal(const Deal& other);
    Deal& operator=(const Deal&) = delete;
    ~Deal();

    rules::CMJTableEx& Table() { return *table_; }
    const rules::CMJTableEx& Table() const { return *table_; }
    const DealOptions& Options() const { return opt_; }

    // Seats a user; server-driven seats are played by the server.
    void SetSeat(int chair, int userId, bool driven);
    void SetDriven(int chair, bool driven);
    // The server-driven players' delay from now on, the step under way included.
    void SetThinkMs(int ms) { opt_.thinkMs = ms; }
    // The seated user's score and silver; every settled deal adds its changes (and sets the
    // level the result names).
    void SetStanding(int chair, int32_t score, int32_t silver);
    Standing StandingOf(int chair) const;
    bool Driven(int chair) const { return chair >= 0 && chair < kChairs && driven_[chair]; }
    int UserId(int chair) const { return chair >= 0 && chair < kChairs ? users_[chair] : 0; }

    // Starts a deal (every chair seated); sends each chair its deal record.
    bool Start();
    bool Running() const { return phase_ != Phase::Idle && phase_ != Phase::Over; }
    bool Over() const { return phase_ == Phase::Over; }
    // Drops a running deal without settlement.
    void Drop();

    // A request of the connection seated at `actor`.
    Answer Request(int actor, int id, const std::vector<uint8_t>& body);
    // Runs what is due at the clock's time (server-driven players, time-outs).
    void Tick();

    // The deal record of a chair (948 bytes; without its tiles for a looker-on) and the
    // player state of an entry (5028 bytes).
    std::vector<uint8_t> DealRecord(int chair, bool withTiles) const;
    std::vector<uint8_t> PlayerState(int chair) const;
    // The last result record (empty before the first end).
    const std::vector<uint8_t>& Result() const { return result_; }
    // The concealed hands just before the lay-down, by chair.
    const std::vector<int32_t>& HandBeforeEnd(int chair) const { return handsAtEnd_[chair]; }
    // Wall positions taken, in order.
    const std::vector<int32_t>& Taken() const { return taken_; }
    int Steps() const { return steps_; }
    // The chair the deal waits on and whether it is to draw (for tests and the log).
    int Turn() const { return cur_; }
    bool AwaitsDraw() const { return phase_ == Phase::Draw; }
    bool AwaitsDiscard() const { return phase_ == Phase::Play; }
    // Empty when each of the 136 tiles is in exactly one place; else what is wrong.
    std::string CheckTiles() const;
    // The time at which something is next due (0: nothing).
    uint64_t NextDue() const;

private:
    enum class Phase { Idle, Draw, Play, Claims, Rob, Confirm, Over };
    struct Claim {
        int kind = 0;  // 0 none, 1 pung, 2 kong, 8 win
        bool confirmed = false;
        rules::MJRequest req;
        std::vector<uint8_t> body;  // the request as sent, echoed to the table
    };

    uint64_t Now() const { return clock_(); }
    void StampClocks(std::vector<uint8_t>& record) const;
    void Send(uint32_t to, int code, std::vector<uint8_t> body, int owner = -1, int hides = -1);
    void SendDraw(int code, int chair, int32_t tile, int32_t pos, int32_t flags);
    void Enter(Phase p, int chair);
    uint64_t HumanDeadline() const;
    void Step();

    // Turn steps.
    bool DoDraw(int chair, Answer* answer);
    bool DoDiscard(int chair, int32_t tile);
    void OpenClaims(int discarder, int32_t tile);
    void TryResolve(bool timeUp);
    void CarryOut(int chair, bool notifyClaimer, Answer* answer);
    void KongDraw(int chair, int code, const std::vector<uint8_t>& body, bool notifyDeclarer,
                  Answer* answer);
    void EndWin();
    void EndDrawn();
    // Ends the deal: the result record goes to every chair. After a drawn deal `ready` holds
    // each chair's best waited win, whose fan items become the chair's result row when the
    // chair has a ready hand.
    void Finish(const rules::HuResult* ready = nullptr);
    void Settle();
    bool HigherMayCome(int chair, int priority) const;
    int32_t SelfHuFlag(int chair, int32_t tile);

    // Requests.
    Answer OnDraw(int actor, const int32_t* w, bool onBehalf);
    Answer OnDiscard(int actor, const int32_t* w, size_t words, bool onBehalf);
    Answer OnPass(int actor, const int32_t* w);
    Answer OnPengClaim(int actor, const int32_t* w, bool confirm, const std::vector<uint8_t>& b);
    Answer OnGangClaim(int actor, const int32_t* w, const std::vector<uint8_t>& b);
    Answer OnGangConfirm(int actor, const int32_t* w, const std::vector<uint8_t>& b);
    Answer OnConcealedGang(int actor, const int32_t* w, const std::vector<uint8_t>& b);
    Answer OnAddedGangConfirm(int actor, const int32_t* w, const std::vector<uint8_t>& b);
    Answer OnHu(int actor, const int32_t* w);

    // Server-driven play.
    void BotTurn(int chair);
    void BotClaim(int chair);
    int32_t ChooseDiscard(int chair) const;
    void AddedGang(int chair, const rules::MJRequest& r, std::vector<uint8_t> body, bool confirmed);

    rules::TableHooks MakeHooks();

    // The copy constructor names every member below.
    DealOptions opt_;
    Clock clock_;
    Sink sink_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<rules::CMJTableEx> table_;
    int users_[kChairs] = {};
    bool driven_[kChairs] = {};

    Phase phase_ = Phase::Idle;
    int cur_ = -1;        // the chair whose turn it is (or the claimant waited on)
    uint64_t since_ = 0;  // when the phase began
    int32_t drawn_ = -1;  // the tile the current chair drew last (-1 none)
    int discarder_ = -1;  // of the tile in the claims window
    int32_t tile_ = -1;   // the discarded tile, or the tile of a kong being robbed
    int32_t flags_[kChairs] = {};
    bool answered_[kChairs] = {};
    Claim claims_[kChairs];
    int steps_ = 0;
    std::vector<uint8_t> result_;
    std::vector<int32_t> handsAtEnd_[kChairs];
    std::vector<int32_t> taken_;
    int dealNo_ = 0;
};

// The deal's record as text, one block per deal: per chair its melds (kind, tiles, giver),
// its discards in order, its flowers, its concealed hand before the lay-down and its laid-down
// hand; the wall positions taken; the result.
std::string DealText(const Deal& deal);

// The table as an entry's table state gave it to a chair (a player's or a looker-on's), one
// block: the chair to move, the status word and the turn's seconds as the state gives them;
// the wall positions taken (in order) and all those no longer in the wall; per chair its
// melds, discards and flowers, its held count and, for the entering player, its held tiles.
std::string StateText(const Deal& deal, int chair, bool looker, const std::vector<uint8_t>& state);

}  // namespace hqlv::server::mj
