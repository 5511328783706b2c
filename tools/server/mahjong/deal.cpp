#include "tools/server/mahjong/deal.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "platform/core/text.h"
#include "rules/common.h"
#include "rules/tiles.h"
#include "tools/stand_ins.h"

namespace hqlv::server::mj {

using rules::MJRequest;

namespace {

constexpr int kTiles = 136;
// The result's level titles: 16 bytes a chair from byte 416.
constexpr size_t kLevelTitleOffset = 416, kLevelTitleBytes = 16;

void Put(std::vector<uint8_t>& b, size_t word, int32_t v) {
    if (word * 4 + 4 > b.size()) b.resize(word * 4 + 4, 0);
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[word * 4 + i] = static_cast<uint8_t>(u >> (8 * i));
}

std::vector<int32_t> Words(const std::vector<uint8_t>& b) {
    std::vector<int32_t> w(b.size() / 4);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<int32_t>(b[4 * i] | b[4 * i + 1] << 8 | b[4 * i + 2] << 16 |
                                    static_cast<uint32_t>(b[4 * i + 3]) << 24);
    return w;
}

// The smallest body each request may have; 0 for ids this game refuses outright.
size_t MinSize(int id) {
    switch (id) {
        case 229005:
            return 40;
        case 229080:
            return 48;
        case 229010:
        case 229015:
        case 229025:
        case 229045:
        case 229047:
        case 229049:
            return 64;
        case 229000:
            return 96;
        case 221080:
            return 104;
        default:
            return 0;
    }
}

MJRequest RequestOf(const int32_t* w) {
    MJRequest r;
    std::copy(w, w + 12, r.w);
    return r;
}

}  // namespace

Deal::Deal(DealOptions options, Clock clock, Sink sink, std::function<void(const std::string&)> log)
    : opt_(std::move(options)),
      clock_(std::move(clock)),
      sink_(std::move(sink)),
      log_(std::move(log)) {
    table_ = std::make_unique<rules::CMJTableEx>(MakeHooks());
}

Deal::Deal(const Deal& o)
    : opt_(o.opt_),
      clock_(o.clock_),
      sink_(o.sink_),
      log_(o.log_),
      table_(std::make_unique<rules::CMJTableEx>(*o.table_)),
      phase_(o.phase_),
      cur_(o.cur_),
      since_(o.since_),
      drawn_(o.drawn_),
      discarder_(o.discarder_),
      tile_(o.tile_),
      steps_(o.steps_),
      result_(o.result_),
      taken_(o.taken_),
      dealNo_(o.dealNo_) {
    // The copied table's hooks name the original deal.
    table_->SetHooks(MakeHooks());
    std::copy(std::begin(o.users_), std::end(o.users_), users_);
    std::copy(std::begin(o.driven_), std::end(o.driven_), driven_);
    std::copy(std::begin(o.flags_), std::end(o.flags_), flags_);
    std::copy(std::begin(o.answered_), std::end(o.answered_), answered_);
    std::copy(std::begin(o.claims_), std::end(o.claims_), claims_);
    std::copy(std::begin(o.handsAtEnd_), std::end(o.handsAtEnd_), handsAtEnd_);
}

rules::TableHooks Deal::MakeHooks() {
    rules::TableHooks hooks;
    hooks.log = [this](const std::string& line) {
        if (log_) log_("rules: " + line);
    };
    hooks.uniqueId = [this] {
        return "mj" + std::to_string(Now()) + "-" + std::to_string(++dealNo_);
    };
    hooks.testIniFolder = opt_.testIniFolder;
    return hooks;
}

Deal::~Deal() = default;

void Deal::SetSeat(int chair, int userId, bool driven) {
    if (chair < 0 || chair >= kChairs || userId == 0) return;
    if (users_[chair] && users_[chair] != userId) table_->RemovePlayer(users_[chair]);
    if (users_[chair] != userId) {
        auto u = std::make_unique<rules::TableUser>();
        u->userId = userId;
        // A chair seated server-driven holds one of the server's computer players, which the
        // rules know by user flag 1; a player whose seat is only driven while away is not one.
        u->flags = driven ? 1 : 0;
        if (!table_->AddPlayer(std::move(u), chair)) return;
    }
    users_[chair] = userId;
    driven_[chair] = driven;
}

void Deal::SetDriven(int chair, bool driven) {
    if (chair >= 0 && chair < kChairs) driven_[chair] = driven;
}

void Deal::SetStanding(int chair, int32_t score, int32_t silver) {
    if (rules::TableUser* u = table_->Seat(chair)) {
        u->score = score;
        u->holdings = silver;
        u->level = table_->LevelOf(score);
    }
}

Standing Deal::StandingOf(int chair) const {
    const rules::TableUser* u = table_->Seat(chair);
    return u ? Standing{u->score, u->holdings, u->level} : Standing{};
}

void Deal::Send(uint32_t to, int code, std::vector<uint8_t> body, int owner, int hides) {
    if (sink_) sink_(Note{to, code, std::move(body), owner, hides});
}

// A draw as the drawer sees it, and with the tile and its flag hidden for the others.
void Deal::SendDraw(int code, int chair, int32_t tile, int32_t pos, int32_t flags) {
    std::vector<uint8_t> b(32, 0);
    Put(b, 0, chair);
    Put(b, 1, tile);
    Put(b, 2, pos);
    Put(b, 3, flags);
    Send(1u << chair, code, b, chair);
    Put(b, 1, -1);
    Put(b, 3, 0);
    Send(kToAll & ~(1u << chair), code, b, -1, chair);
}

void Deal::Enter(Phase p, int chair) {
    phase_ = p;
    cur_ = chair;
    since_ = Now();
}

uint64_t Deal::HumanDeadline() const {
    const int seconds = (phase_ == Phase::Claims || phase_ == Phase::Rob)
                            ? opt_.claimSeconds
                            : opt_.turnSeconds + opt_.graceSeconds + 2;
    return since_ + static_cast<uint64_t>(seconds) * 1000;
}

uint64_t Deal::NextDue() const {
    if (!Running()) return 0;
    const uint64_t think = since_ + static_cast<uint64_t>(opt_.thinkMs);
    uint64_t due = HumanDeadline();
    bool botWaits = false;
    if (phase_ == Phase::Claims || phase_ == Phase::Rob) {
        for (int c = 0; c < kChairs; ++c) botWaits |= !answered_[c] && driven_[c];
    } else {
        botWaits = driven_[cur_];
    }
    return botWaits ? std::min(due, think) : due;
}

bool Deal::Start() {
    if (Running()) return false;
    for (int c = 0; c < kChairs; ++c)
        if (!users_[c]) return false;
    rules::CMJTableEx& t = *table_;
    if (!result_.empty() && phase_ == Phase::Over)
        t.EndDeal(reinterpret_cast<const int32_t*>(result_.data()), 0);
    else
        t.Reset(false);
    rules::GameParams params;
    // A silver table: every chair starts with the silver flag and the stake's multiple.
    if (opt_.stakeMultiple > 0) {
        for (int c = 0; c < kChairs; ++c) t.SetStartFlags(c, 4);
        params.multiple = opt_.stakeMultiple;
    }
    int32_t chair = -1;
    if (t.StartGame(&chair, params) != 1) {
        if (log_) log_("deal: cannot start (" + std::to_string(chair) + ")");
        return false;
    }
    steps_ = 0;
    taken_.clear();
    result_.clear();
    for (auto& h : handsAtEnd_) h.clear();
    for (auto& c : claims_) c = Claim{};
    const int first = t.GetCurrentChair();
    for (int c = 0; c < kChairs; ++c) Send(1u << c, 211040, DealRecord(c, true), c);
    Send(kToLookers, 211040, DealRecord(first, false));
    Enter(Phase::Play, first);
    // The first turn (the bots' thinking and a seat's time) begins once the clients dealt.
    since_ += static_cast<uint64_t>(std::max(opt_.dealMs, 0));
    drawn_ = t.FirstHeld(first);
    if (log_)
        log_("deal: started, banker " + std::to_string(t.Banker()) + ", game " + t.GameIdText());
    Step();
    return true;
}

void Deal::Drop() {
    if (!Running()) return;
    table_->Reset(false);
    result_.clear();
    phase_ = Phase::Idle;
    cur_ = -1;
    if (log_) log_("deal: dropped without settlement");
}

std::vector<uint8_t> Deal::DealRecord(int chair, bool withTiles) const {
    std::vector<uint8_t> b(rules::CMJTableEx::kLookerStateBytes, 0);
    table_->FillLookerState(reinterpret_cast<int32_t*>(b.data()), static_cast<int32_t>(b.size()),
                            chair, !withTiles);
    StampClocks(b);
    return b;
}

std::vector<uint8_t> Deal::PlayerState(int chair) const {
    std::vector<uint8_t> b(rules::CMJTableEx::kPlayerStateBytes, 0);
    table_->FillPlayerState(reinterpret_cast<int32_t*>(b.data()), static_cast<int32_t>(b.size()),
                            chair, false);
    StampClocks(b);
    return b;
}

// The clocks a client shows are this server's: turn, claim and grace seconds as configured.
void Deal::StampClocks(std::vector<uint8_t>& b) const {
    Put(b, 18, opt_.turnSeconds);
    Put(b, 39, opt_.claimSeconds);
    Put(b, 40, opt_.graceSeconds);
}

std::string Deal::CheckTiles() const {
    const rules::CMJTableEx& t = *table_;
    if (t.Tiles().empty()) return {};
    std::vector<int> places(kTiles, 0);
    int32_t held[kChairs][rules::CCardTable::kKinds] = {};
    for (const auto& r : t.Tiles()) {
        if (r.id < 0 || r.id >= kTiles) return "bad tile id";
        if (r.status == rules::kTileInWall) ++places[static_cast<size_t>(r.id)];
        if (r.status == rules::kTileHeld) {
            if (r.chair < 0 || r.chair >= kChairs) return "tile held by no chair";
            ++places[static_cast<size_t>(r.id)];
            const int k = t.KindIndexOf(r.id);
            if (k >= 0) ++held[r.chair][k];
        }
    }
    for (int c = 0; c < kChairs; ++c) {
        for (int32_t id : t.Discards(c)) ++places[static_cast<size_t>(id)];
        // A pung stays in its list under the added kong laid on it: its tiles lie in the kong.
        for (int l = 0; l < 5; ++l)
            for (const auto& m : t.Melds(c, static_cast<rules::MeldList>(l)))
                if (l != rules::kPeng || !t.UnderAddedKong(c, m))
                    for (int32_t id : m.tiles)
                        if (id >= 0 && id < kTiles) ++places[static_cast<size_t>(id)];
        if (std::memcmp(held[c], t.Counts(c), sizeof held[c]) != 0)
            return "chair " + std::to_string(c) + ": kind counts differ from its tiles";
    }
    for (int id = 0; id < kTiles; ++id)
        if (places[static_cast<size_t>(id)] != 1)
            return "tile " + std::to_string(id) + " in " +
                   std::to_string(places[static_cast<size_t>(id)]) + " places";
    return {};
}

int32_t Deal::SelfHuFlag(int chair, int32_t tile) {
    return table_->CanSelfHu(chair, tile) ? 8 : 0;
}

// --- Turn steps ----------------------------------------------------------------------------

bool Deal::DoDraw(int chair, Answer* answer) {
    rules::CMJTableEx& t = *table_;
    t.SwitchActiveChair(chair);
    const int32_t pos = t.DrawTile(chair);
    ++steps_;
    if (pos < 0) {
        if (answer) {
            answer->code = kNoTile;
            answer->data.assign(32, 0);
            Put(answer->data, 0, chair);
            Put(answer->data, 1, -1);
        }
        EndDrawn();
        return false;
    }
    t.BeginTurn();
    const int32_t tile = t.TileAt(pos);
    taken_.push_back(pos);
    const int32_t flags = SelfHuFlag(chair, tile);
    if (answer) {
        answer->code = kDone;
        answer->data.assign(32, 0);
        Put(answer->data, 0, chair);
        Put(answer->data, 1, tile);
        Put(answer->data, 2, pos);
        Put(answer->data, 3, flags);
        // The drawer has its tile in the answer; the lookers-on it shows its hand get it too.
        Send(0, 229160, answer->data, chair);
        std::vector<uint8_t> b = answer->data;
        Put(b, 1, -1);
        Put(b, 3, 0);
        Send(kToAll & ~(1u << chair), 229160, b, -1, chair);
    } else {
        SendDraw(229160, chair, tile, pos, flags);
    }
    Enter(Phase::Play, chair);
    drawn_ = tile;
    return true;
}

bool Deal::DoDiscard(int chair, int32_t tile) {
    rules::CMJTableEx& t = *table_;
    if (!t.IsHeldBy(chair, tile)) return false;
    t.Discard(chair, &tile, 1);
    t.OpenClaimWindow();
    // The turn passes with the discard, as a chow claim needs it to (only the current chair,
    // the one after the discarder, may chow). The table state of an entry during the claims
    // then names the seat to move next: a client rebuilding from it puts its clock there, as
    // the discard notice did on the table that saw it, and finds the tile still on offer as
    // the last discard of the seat before.
    t.SwitchActiveChair(t.NextChair(chair));
    ++steps_;
    OpenClaims(chair, tile);
    return true;
}

void Deal::OpenClaims(int discarder, int32_t tile) {
    rules::CMJTableEx& t = *table_;
    discarder_ = discarder;
    tile_ = tile;
    drawn_ = -1;
    std::vector<uint8_t> b(104, 0);
    Put(b, 0, users_[discarder]);
    Put(b, 1, discarder);
    Put(b, 21, tile);
    for (int c = 0; c < kChairs; ++c) {
        flags_[c] = c == discarder ? 0 : t.ClaimFlags(c);
        answered_[c] = flags_[c] == 0;
        claims_[c] = Claim{};
        Put(b, 6 + static_cast<size_t>(c), flags_[c] ? (flags_[c] | 0x20) : 0);
    }
    Send(kToAll, 221170, b);
    Enter(Phase::Claims, discarder);
    TryResolve(false);
}

bool Deal::HigherMayCome(int chair, int priority) const {
    const rules::CMJTableEx& t = *table_;
    for (int c = 0; c < kChairs; ++c) {
        if (c == chair || c == discarder_ || !flags_[c]) continue;
        // A pass (kind 0) ranks 0, below every claim.
        const int kind = answered_[c] ? claims_[c].kind : flags_[c];
        if (t.ClaimPriority(c, discarder_, kind) > priority) return true;
    }
    return false;
}

void Deal::TryResolve(bool timeUp) {
    if (phase_ != Phase::Claims && phase_ != Phase::Rob) return;
    rules::CMJTableEx& t = *table_;
    for (int c = 0; c < kChairs; ++c) {
        if (answered_[c]) continue;
        if (!timeUp) return;
        answered_[c] = true;
        if (phase_ == Phase::Claims) t.AnswerPass(c, 0);
    }
    // Wins first: every chair that asked wins together.
    for (int c = t.NextChair(discarder_); c != discarder_; c = t.NextChair(c)) {
        if (claims_[c].kind != 8) continue;
        if (t.OnHuRequest(claims_[c].req) > 0) return EndWin();
        break;
    }
    int best = -1, bestPriority = 0;
    for (int c = 0; c < kChairs; ++c) {
        if (claims_[c].kind != 1 && claims_[c].kind != 2) continue;
        const int p = phase_ == Phase::Rob ? 1 : t.ClaimPriority(c, discarder_, claims_[c].kind);
        if (p > bestPriority) best = c, bestPriority = p;
    }
    if (best < 0) {
        Send(kToAll, 229165, {});
        const int next = t.NextChair(discarder_);
        t.SwitchActiveChair(next);
        Enter(Phase::Draw, next);
        // A player's turn to draw: the log tells when it began (and below, when the server
        // had to draw for a silent one).
        if (log_ && !driven_[next]) log_("deal: chair " + std::to_string(next) + " draws next");
        return;
    }
    const bool heldBack = claims_[best].confirmed && !driven_[best];
    const Phase from = phase_;
    Enter(Phase::Confirm, best);
    discarder_ = claims_[best].req.other();
    if (driven_[best]) return CarryOut(best, true, nullptr);
    // A held-back claimant repeats its confirm when the countdown ends.
    if (heldBack) Send(kToAll, 229165, {});
    (void)from;
}

void Deal::CarryOut(int chair, bool notifyClaimer, Answer* answer) {
    rules::CMJTableEx& t = *table_;
    Claim& c = claims_[chair];
    const uint32_t to = notifyClaimer ? kToAll : (kToAll & ~(1u << chair));
    ++steps_;
    if (c.kind == 1) {
        t.OnPeng(c.req);
        Send(to, 229185, c.body);
        if (answer) *answer = Answer{};
        Enter(Phase::Play, chair);
        drawn_ = -1;
        return;
    }
    if (c.req.gangKind() == 2) {
        t.OnBuGang(c.req);
        return KongDraw(chair, 229199, c.body, notifyClaimer, answer);
    }
    t.OnMingGang(c.req);
    KongDraw(chair, 229195, c.body, notifyClaimer, answer);
}

void Deal::KongDraw(int chair, int code, const std::vector<uint8_t>& body, bool notifyDeclarer,
                    Answer* answer) {
    rules::CMJTableEx& t = *table_;
    const int32_t tile = t.DrawFromTail(chair);
    const int32_t pos = tile >= 0 ? t.PositionOf(tile) : -1;
    if (pos >= 0) taken_.push_back(pos);
    const int32_t flags = tile >= 0 ? SelfHuFlag(chair, tile) : 0;
    std::vector<uint8_t> b(64, 0);
    std::copy(body.begin(), body.begin() + static_cast<long>(std::min<size_t>(body.size(), 40)),
              b.begin());
    Put(b, 10, -1);
    Put(b, 11, pos);
    Send(kToAll & ~(1u << chair), code, b, -1, chair);
    Put(b, 10, tile);
    Send(notifyDeclarer ? (1u << chair) : 0, code, b, chair);
    if (answer) {
        answer->code = kDone;
        answer->data.assign(32, 0);
        Put(answer->data, 0, chair);
        Put(answer->data, 1, tile);
        Put(answer->data, 2, flags);
        Put(answer->data, 3, pos);
    }
    if (tile < 0) return EndDrawn();
    Enter(Phase::Play, chair);
    drawn_ = tile;
}

void Deal::EndWin() {
    table_->SetOutcomeMode();
    Finish();
}

void Deal::EndDrawn() {
    rules::CMJTableEx& t = *table_;
    t.SetModeSingle();
    rules::HuResult ready[kChairs] = {};
    for (int c = 0; c < kChairs; ++c) t.SetResultValue(c, t.BestWin(c, &ready[c]));
    Finish(ready);
}

void Deal::Finish(const rules::HuResult* ready) {
    rules::CMJTableEx& t = *table_;
    for (int c = 0; c < kChairs; ++c) {
        int32_t held[32];
        const int32_t n = t.ListHeld(c, held, 32);
        handsAtEnd_[c].assign(held, held + std::max<int32_t>(n, 0));
    }
    t.EndOfDeal();
    result_.assign(static_cast<size_t>(t.ResultRecordSize()), 0);
    t.FillResultRecord(reinterpret_cast<int32_t*>(result_.data()),
                       static_cast<int32_t>(result_.size()), 0, 0);
    int32_t* const record = reinterpret_cast<int32_t*>(result_.data());
    // A win that robbed an added kong took its fourth tile, which the rules leave in the
    // declarer's hand: listed with the declarer's final tiles (their counts at byte 832, the
    // lists of 32 at byte 848), it would lie in his laid-down hand and again beside the
    // winner's. The result lists it with the winner alone.
    if (phase_ == Phase::Rob && discarder_ >= 0 && discarder_ < kChairs) {
        int32_t* const list = record + 848 / 4 + 32 * discarder_;
        int32_t* const end = list + 32;
        int32_t* const at = std::find(list, end, tile_);
        if (at != end) {
            std::copy(at + 1, end, at);
            end[-1] = -1;
            --record[832 / 4 + discarder_];
        }
    }
    // A ready hand of a drawn deal (result word 176 + chair above 0) shows the fans of the
    // best win it waited on: the result dialog lists that chair's items.
    for (int c = 0; ready && c < kChairs; ++c) {
        const size_t row = 1652 + static_cast<size_t>(rules::kResultRowBytes) * size_t(c);
        if (record[176 + c] > 0 && row + rules::kResultRowBytes <= result_.size())
            t.FillResultRow(c, record + row / 4, ready[c]);
    }
    // The wire carries GBK; the rule classes keep their fan names as the program's UTF-8.
    if (result_.size() >= size_t(rules::kFanNamesOffset + rules::kFanNamesBytes)) {
        char* field = reinterpret_cast<char*>(result_.data()) + rules::kFanNamesOffset;
        const std::string names(field, strnlen(field, rules::kFanNamesBytes));
        const std::string gbk = platform::utf8ToGbkFit(names, rules::kFanNamesBytes - 1);
        std::memset(field, 0, rules::kFanNamesBytes);
        std::memcpy(field, gbk.data(), gbk.size());
    }
    Settle();
    phase_ = Phase::Over;
    ++steps_;
    Send(kToAll, 211080, result_);
    if (log_) log_("deal: over after " + std::to_string(steps_) + " steps");
}

// The result's changes carried into the seated users' standing, and each chair's level title
// into the result (words 96 on hold the levels, the 16-byte titles follow from byte 416).
void Deal::Settle() {
    auto word = [&](size_t w) {
        int32_t v = 0;
        if (w * 4 + 4 <= result_.size()) std::memcpy(&v, result_.data() + w * 4, 4);
        return v;
    };
    auto add = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
    };
    for (int c = 0; c < kChairs; ++c) {
        rules::TableUser* u = table_->Seat(c);
        if (!u) continue;
        u->score = add(u->score, word(72 + static_cast<size_t>(c)));
        u->holdings = add(u->holdings, word(80 + static_cast<size_t>(c)));
        u->level = word(96 + static_cast<size_t>(c));
        const size_t at = kLevelTitleOffset + kLevelTitleBytes * static_cast<size_t>(c);
        if (at + kLevelTitleBytes > result_.size()) continue;
        std::memset(result_.data() + at, 0, kLevelTitleBytes);
        if (u->level < 0 || u->level >= static_cast<int32_t>(tools::kLevelTitles.size())) continue;
        const std::string gbk = platform::utf8ToGbkFit(
            tools::kLevelTitles[static_cast<size_t>(u->level)], kLevelTitleBytes - 1);
        std::memcpy(result_.data() + at, gbk.data(), gbk.size());
    }
}

// --- Requests ------------------------------------------------------------------------------

Answer Deal::Request(int actor, int id, const std::vector<uint8_t>& body) {
    if (id == 229020 || id == 229030 || id == 229060) return {kRefused, {}};  // no chow, no flowers
    const size_t need = MinSize(id);
    if (need == 0) return {kRefused, {}};
    if (body.size() < need) return {kMalformed, {}};
    const std::vector<int32_t> w = Words(body);
    if (id == 221080) {
        const int32_t n = w[25];
        if (n < 0 || n > 1 || body.size() < 104 + 4 * static_cast<size_t>(n))
            return {kMalformed, {}};
    }
    // A win asked again just after it ended the deal is answered as done (see OnHu).
    if ((!Running() && !(id == 229080 && Over())) || actor < 0 || actor >= kChairs)
        return {kRefused, {}};
    // The actor is the connection's own seat. Only the two silent-seat requests may name
    // another chair: the one that plays before the sender, once its time has run out.
    bool onBehalf = false;
    if (w[3] != actor) {
        const bool silent =
            (id == 229000 && phase_ == Phase::Draw) || (id == 221080 && phase_ == Phase::Play);
        if (!silent || w[3] != cur_ || table_->NextChair(cur_) != actor || Now() < HumanDeadline())
            return {kRefused, {}};
        onBehalf = true;
    }
    const int chair = w[3];
    Answer a;
    switch (id) {
        case 229000:
            a = OnDraw(chair, w.data(), onBehalf);
            break;
        case 221080:
            a = OnDiscard(chair, w.data(), w.size(), onBehalf);
            break;
        case 229005:
            a = OnPass(chair, w.data());
            break;
        case 229010:
        case 229025:
            a = OnPengClaim(chair, w.data(), id == 229025, body);
            break;
        case 229015:
            a = OnGangClaim(chair, w.data(), body);
            break;
        case 229045:
            a = OnGangConfirm(chair, w.data(), body);
            break;
        case 229047:
            a = OnConcealedGang(chair, w.data(), body);
            break;
        case 229049:
            a = OnAddedGangConfirm(chair, w.data(), body);
            break;
        case 229080:
            a = OnHu(chair, w.data());
            break;
        default:
            a = {kRefused, {}};
    }
    Step();
    return a;
}

Answer Deal::OnDraw(int chair, const int32_t*, bool onBehalf) {
    if (phase_ != Phase::Draw || chair != cur_) return {kRefused, {}};
    Answer a;
    DoDraw(chair, onBehalf ? nullptr : &a);
    return onBehalf ? Answer{} : a;
}

Answer Deal::OnDiscard(int chair, const int32_t* w, size_t, bool) {
    if (phase_ != Phase::Play || chair != cur_) return {kDiscardRefused, {}};
    int32_t tile = w[25] == 1 ? w[26] : -1;
    if (tile < 0) tile = table_->IsHeldBy(chair, drawn_) ? drawn_ : ChooseDiscard(chair);
    if (!DoDiscard(chair, tile)) return {kDiscardRefused, {}};
    return {};
}

Answer Deal::OnPass(int chair, const int32_t*) {
    if ((phase_ != Phase::Claims && phase_ != Phase::Rob) || answered_[chair])
        return {kRefused, {}};
    answered_[chair] = true;
    if (phase_ == Phase::Claims) table_->AnswerPass(chair, 0);
    TryResolve(false);
    return {};
}

Answer Deal::OnPengClaim(int chair, const int32_t* w, bool confirm,
                         const std::vector<uint8_t>& body) {
    Claim& c = claims_[chair];
    if (phase_ == Phase::Confirm && confirm && chair == cur_ && c.kind == 1) {
        Answer a;
        CarryOut(chair, false, &a);
        return a;
    }
    if (phase_ != Phase::Claims || chair == discarder_ || !(flags_[chair] & 1))
        return {kRefused, {}};
    const MJRequest r = RequestOf(w);
    if (r.other() != discarder_ || r.tile() != tile_) return {kRefused, {}};
    if (c.kind != 1) {
        if (answered_[chair] || !table_->CheckPengRequest(r)) return {kRefused, {}};
        c = Claim{1, false, r, std::vector<uint8_t>(body.begin(), body.begin() + 64)};
        answered_[chair] = true;
        Send(kToAll, 229170, c.body);
    }
    if (!confirm) {
        TryResolve(false);
        return {};
    }
    c.confirmed = true;
    if (HigherMayCome(chair, table_->ClaimPriority(chair, discarder_, 1))) {
        TryResolve(false);
        return {kHeldBack, {}};
    }
    Answer a;
    CarryOut(chair, false, &a);
    return a;
}

Answer Deal::OnGangClaim(int chair, const int32_t* w, const std::vector<uint8_t>& body) {
    const MJRequest r = RequestOf(w);
    Answer a;
    a.data.assign(body.begin(), body.begin() + 48);
    if (r.gangKind() == 2) {
        if (phase_ != Phase::Play || chair != cur_ || r.other() != chair ||
            !table_->CheckBuGangRequest(r))
            return {kRefused, {}};
        AddedGang(chair, r, std::vector<uint8_t>(body.begin(), body.begin() + 64), false);
        return a;
    }
    if (r.gangKind() != 1 || phase_ != Phase::Claims || chair == discarder_ ||
        !(flags_[chair] & 2) || answered_[chair] || r.other() != discarder_ || r.tile() != tile_ ||
        !table_->CheckMingGangRequest(r))
        return {kRefused, {}};
    claims_[chair] = Claim{2, false, r, std::vector<uint8_t>(body.begin(), body.begin() + 64)};
    answered_[chair] = true;
    std::vector<uint8_t> b(32, 0);
    Put(b, 0, chair);
    Put(b, 1, discarder_);
    Put(b, 2, tile_);
    Put(b, 3, 1);
    Send(kToAll, 229180, b);
    return a;
}

Answer Deal::OnGangConfirm(int chair, const int32_t* w, const std::vector<uint8_t>&) {
    Claim& c = claims_[chair];
    if (c.kind != 2 || c.req.gangKind() != 1) return {kRefused, {}};
    const MJRequest r = RequestOf(w);
    if (r.tile() != c.req.tile()) return {kRefused, {}};
    if (phase_ == Phase::Confirm && chair == cur_) {
        Answer a;
        CarryOut(chair, false, &a);
        return a;
    }
    if (phase_ != Phase::Claims) return {kRefused, {}};
    c.confirmed = true;
    if (HigherMayCome(chair, table_->ClaimPriority(chair, discarder_, 2))) {
        TryResolve(false);
        return {kHeldBack, {}};
    }
    Answer a;
    CarryOut(chair, false, &a);
    return a;
}

Answer Deal::OnConcealedGang(int chair, const int32_t* w, const std::vector<uint8_t>& body) {
    MJRequest r = RequestOf(w);
    r.w[9] = 0;
    if (phase_ != Phase::Play || chair != cur_ || !table_->CheckAnGangRequest(r))
        return {kRefused, {}};
    table_->OnAnGang(r);
    ++steps_;
    Answer a;
    KongDraw(chair, 229197, std::vector<uint8_t>(body.begin(), body.begin() + 64), false, &a);
    return a;
}

Answer Deal::OnAddedGangConfirm(int chair, const int32_t* w, const std::vector<uint8_t>&) {
    Claim& c = claims_[chair];
    if (c.kind != 2 || c.req.gangKind() != 2 || RequestOf(w).tile() != c.req.tile())
        return {kRefused, {}};
    if (phase_ == Phase::Confirm && chair == cur_) {
        Answer a;
        CarryOut(chair, false, &a);
        return a;
    }
    if (phase_ != Phase::Rob || chair != discarder_) return {kRefused, {}};
    c.confirmed = true;
    for (int k = 0; k < kChairs; ++k)
        if (!answered_[k]) return {kHeldBack, {}};
    Answer a;
    Enter(Phase::Confirm, chair);
    CarryOut(chair, false, &a);
    return a;
}

Answer Deal::OnHu(int chair, const int32_t* w) {
    rules::CMJTableEx& t = *table_;
    const int32_t kind = w[6];
    if (kind == 2) {
        MJRequest r = MJRequest::Hu(chair, chair, w[5], 2);
        if (phase_ != Phase::Play || chair != cur_ || w[4] != chair || !t.CheckHuRequest(r))
            return {kRefused, {}};
        if (t.OnHuRequest(r) <= 0) return {kRefused, {}};
        ++steps_;
        EndWin();
        return {};
    }
    if (kind != 1 && kind != 4) return {kMalformed, {}};
    const bool rob = kind == 4;
    // A held-back win asked again (its countdown ended) is answered by what became of it:
    // still held while the claim time runs, carried out once it is over, done once won.
    const Claim& mine = claims_[chair];
    if (mine.kind == 8 && mine.confirmed && mine.req.huKind() == kind && mine.req.other() == w[4] &&
        mine.req.tile() == w[5]) {
        if (phase_ == (rob ? Phase::Rob : Phase::Claims) && answered_[chair]) {
            if (Now() < HumanDeadline()) return {kHeldBack, {}};
            TryResolve(true);
            return {};
        }
        if (phase_ == Phase::Over) return {};
    }
    if ((rob ? Phase::Rob : Phase::Claims) != phase_ || chair == discarder_ ||
        !(flags_[chair] & 8) || answered_[chair] || w[4] != discarder_ || w[5] != tile_)
        return {kRefused, {}};
    MJRequest r = rob ? MJRequest::Hu(chair, discarder_, tile_, 4, 2)
                      : MJRequest::Hu(chair, discarder_, tile_, 1);
    if (!t.CheckHuRequest(r)) return {kRefused, {}};
    claims_[chair] = Claim{8, true, r, {}};
    answered_[chair] = true;
    for (int c = 0; c < kChairs; ++c)
        if (!answered_[c] && (flags_[c] & 8)) return {kHeldBack, {}};
    TryResolve(true);
    return {};
}

// --- Time and server-driven play ----------------------------------------------------------

void Deal::Tick() {
    Step();
}

void Deal::Step() {
    for (int guard = 0; guard < 64 && Running(); ++guard) {
        const uint64_t now = Now();
        const bool thought = now >= since_ + static_cast<uint64_t>(opt_.thinkMs);
        const bool late = now >= HumanDeadline();
        const Phase before = phase_;
        const uint64_t sinceBefore = since_;
        const int steps = steps_;
        switch (phase_) {
            case Phase::Draw:
                if (!driven_[cur_] && late && log_)
                    log_("deal: chair " + std::to_string(cur_) + " drawn for at its time-out");
                if ((driven_[cur_] && thought) || late) DoDraw(cur_, nullptr);
                break;
            case Phase::Play:
                if (driven_[cur_] && thought) {
                    BotTurn(cur_);
                } else if (late) {
                    const int32_t tile =
                        table_->IsHeldBy(cur_, drawn_) ? drawn_ : ChooseDiscard(cur_);
                    DoDiscard(cur_, tile);
                }
                break;
            case Phase::Claims:
            case Phase::Rob:
                if (thought)
                    for (int c = 0; c < kChairs && (phase_ == before); ++c)
                        if (!answered_[c] && driven_[c]) BotClaim(c);
                if (phase_ == before && since_ == sinceBefore && late) TryResolve(true);
                break;
            case Phase::Confirm:
                if (driven_[cur_] || late) CarryOut(cur_, true, nullptr);
                break;
            default:
                break;
        }
        if (phase_ == before && since_ == sinceBefore && steps_ == steps) return;
    }
}

void Deal::BotTurn(int chair) {
    rules::CMJTableEx& t = *table_;
    if (drawn_ >= 0) {
        MJRequest r = MJRequest::Hu(chair, chair, drawn_, 2);
        if (t.CheckHuRequest(r) && t.OnHuRequest(r) > 0) {
            ++steps_;
            return EndWin();
        }
    }
    int32_t hand[32];
    const int32_t n = t.ListHeld(chair, hand, 32);
    for (int32_t i = 0; i < n; ++i) {
        int32_t same[4], k = 0;
        for (int32_t j = 0; j < n && k < 4; ++j)
            if (rules::MJ_IsSameKind(hand[i], hand[j], 0)) same[k++] = hand[j];
        if (k < 4) continue;
        const MJRequest r = MJRequest::Meld(chair, chair, same[3], same[0], same[1], same[2]);
        if (!t.CheckAnGangRequest(r)) continue;
        t.OnAnGang(r);
        ++steps_;
        std::vector<uint8_t> b(64, 0);
        Put(b, 0, users_[chair]);
        for (size_t w = 3; w < 12; ++w) Put(b, w, r.w[w]);
        return KongDraw(chair, 229197, b, true, nullptr);
    }
    for (int32_t i = 0; i < n; ++i)
        for (const auto& m : t.Melds(chair, rules::kPeng)) {
            if (!rules::MJ_IsSameKind(m.tiles[0], hand[i], 0)) continue;
            const MJRequest r =
                MJRequest::Meld(chair, chair, hand[i], m.tiles[0], m.tiles[1], m.tiles[2], 2);
            if (!t.CheckBuGangRequest(r)) continue;
            std::vector<uint8_t> b(64, 0);
            Put(b, 0, users_[chair]);
            for (size_t w = 3; w < 12; ++w) Put(b, w, r.w[w]);
            return AddedGang(chair, r, b, true);
        }
    DoDiscard(chair, ChooseDiscard(chair));
}

void Deal::AddedGang(int chair, const MJRequest& r, std::vector<uint8_t> body, bool confirmed) {
    rules::CMJTableEx& t = *table_;
    t.RecordGang(r);
    int32_t list[8] = {};
    t.ListHuClaims(r, list);
    std::vector<uint8_t> b(32, 0);
    Put(b, 0, chair);
    Put(b, 1, chair);
    Put(b, 2, r.tile());
    Put(b, 3, 2);
    discarder_ = chair;
    tile_ = r.tile();
    for (int c = 0; c < kChairs; ++c) {
        flags_[c] = c != chair && list[4 + c] == 8 ? 8 : 0;
        answered_[c] = flags_[c] == 0;
        claims_[c] = Claim{};
        Put(b, 4 + static_cast<size_t>(c), flags_[c] ? (8 | 0x20) : 0);
    }
    claims_[chair] = Claim{2, confirmed, r, std::move(body)};
    Send(kToAll, 229180, b);
    Enter(Phase::Rob, chair);
    TryResolve(false);
}

void Deal::BotClaim(int chair) {
    rules::CMJTableEx& t = *table_;
    const int32_t f = flags_[chair];
    const bool rob = phase_ == Phase::Rob;
    if (f & 8) {
        MJRequest r = rob ? MJRequest::Hu(chair, discarder_, tile_, 4, 2)
                          : MJRequest::Hu(chair, discarder_, tile_, 1);
        if (t.CheckHuRequest(r)) {
            claims_[chair] = Claim{8, true, r, {}};
            answered_[chair] = true;
            return TryResolve(false);
        }
    }
    if (!rob && (f & 3)) {
        int32_t hand[32], same[3], k = 0;
        const int32_t n = t.ListHeld(chair, hand, 32);
        for (int32_t j = 0; j < n && k < 3; ++j)
            if (rules::MJ_IsSameKind(hand[j], tile_, 0)) same[k++] = hand[j];
        MJRequest r;
        int kind = 0;
        if ((f & 2) && k == 3) {
            r = MJRequest::Meld(chair, discarder_, tile_, same[0], same[1], same[2], 1);
            if (t.CheckMingGangRequest(r)) kind = 2;
        }
        if (!kind && (f & 1) && k >= 2) {
            r = MJRequest::Meld(chair, discarder_, tile_, same[0], same[1]);
            if (t.CheckPengRequest(r)) kind = 1;
        }
        if (kind) {
            std::vector<uint8_t> b(64, 0);
            Put(b, 0, users_[chair]);
            for (size_t w = 3; w < 12; ++w) Put(b, w, r.w[w]);
            claims_[chair] = Claim{kind, true, r, b};
            answered_[chair] = true;
            if (kind == 1) {
                Send(kToAll, 229170, b);
            } else {
                std::vector<uint8_t> g(32, 0);
                Put(g, 0, chair);
                Put(g, 1, discarder_);
                Put(g, 2, tile_);
                Put(g, 3, 1);
                Send(kToAll, 229180, g);
            }
            if (!HigherMayCome(chair, t.ClaimPriority(chair, discarder_, kind))) {
                Enter(Phase::Confirm, chair);
                return CarryOut(chair, true, nullptr);
            }
            return TryResolve(false);
        }
    }
    answered_[chair] = true;
    if (!rob) t.AnswerPass(chair, 0);
    TryResolve(false);
}

// A lone honour first; otherwise the tile with the fewest held neighbours (the same kind
// and one or two steps along its suit), the lowest id on ties.
int32_t Deal::ChooseDiscard(int chair) const {
    const rules::CMJTableEx& t = *table_;
    int32_t hand[32];
    const int32_t n = t.ListHeld(chair, hand, 32);
    const int32_t* counts = t.Counts(chair);
    int32_t best = -1, bestScore = 1 << 30;
    for (const int32_t id : std::span<const int32_t>(hand, static_cast<size_t>(std::max(n, 0)))) {
        const int32_t k = t.KindIndexOf(id);
        if (k < 0) continue;
        int32_t s = counts[k] - 1;
        if (k > 30) {
            if (counts[k] == 1) s = -1;  // a lone honour
        } else {
            for (int d : {-2, -1, 1, 2}) {
                const int32_t j = k + d;
                if (j / 10 == k / 10 && j % 10 >= 1 && j % 10 <= 9) s += counts[j];
            }
        }
        if (s < bestScore || (s == bestScore && id < best)) bestScore = s, best = id;
    }
    return best;
}

}  // namespace hqlv::server::mj
