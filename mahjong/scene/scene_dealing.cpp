// Dealing and the table from the deal state: the dealing animation, the wall marked from
// the deal's positions, the hands and melds of a running game, and the table's rebuild and
// reset. Every word of the deal state is read through the game info's bounds-checked
// reader; counts and positions from the server are checked before they index anything.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "rules/tiles.h"

namespace hqlv::mahjong {

namespace {

// Words of the deal state's header (the same in the deal record and the game data).
constexpr size_t kWordCurrentChair = 13;
constexpr size_t kWordStatus = 14;
constexpr size_t kWordWallStart = 32;
constexpr size_t kWordFaceUpPos = 33;
constexpr size_t kWordFaceUpTile = 36;
constexpr size_t kWordHeadPos = 37;
constexpr size_t kWordTailDraws = 38;
// The status bit of a seat that holds its drawn tile (its discard is due).
constexpr int kStatusDrawn = 0x100;
// The running game's data (201140): per chair 282 words from word 49 (five meld lists of
// six 7-word entries), then seven counts per chair, the held counts and the own tiles.
constexpr size_t kWordChairBlocks = 49;
constexpr size_t kChairBlockWords = 282;
constexpr size_t kWordListCounts = kWordChairBlocks + 4 * kChairBlockWords;
constexpr size_t kWordHeldCounts = kWordListCounts + 4 * 7;
constexpr size_t kWordOwnTiles = kWordHeldCounts + 4;
constexpr int kMeldLists = 5;
constexpr int kMeldEntries = 6;
constexpr int kPengList = 0, kAddedKongList = 4;
// A chair's discards and flowers follow its meld lists; its counts are the sixth and the
// seventh of its seven.
constexpr size_t kDiscardList = 5, kFlowerList = 6;
constexpr size_t kDiscardsOfChair = 210;
constexpr size_t kFlowersOfChair = 246;
constexpr int kListEntries = 36;
constexpr int kTileIds = 152;
// The looker-on's state: the held counts, the watched chair's tiles, every chair's flowers
// and their counts.
constexpr size_t kLookerHeldCounts = 49;
constexpr size_t kLookerTiles = 53;
constexpr size_t kLookerFlowers = 85;
constexpr size_t kLookerFlowerCounts = 229;
// The names the table's record gives the five meld lists.
const char* const kMeldKinds[kMeldLists] = {"peng", "chi", "minggang", "angang", "bugang"};

// Where the entry's table state keeps what a rebuild restores. A player's state (5028
// bytes) holds every chair's meld lists, discards and flowers, the held counts and the own
// tiles; a looker-on's (948 bytes) holds the held counts, the watched chair's tiles (-1
// unless that player shows them) and every chair's flowers: no melds and no discards.
struct StateLayout {
    bool looker = false;
    size_t HeldCount(int chair) const {
        return (looker ? kLookerHeldCounts : kWordHeldCounts) + size_t(chair);
    }
    size_t OwnTiles() const { return looker ? kLookerTiles : kWordOwnTiles; }
    size_t ChairBlock(int chair) const {
        return kWordChairBlocks + kChairBlockWords * size_t(chair);
    }
    size_t Counts(int chair) const { return kWordListCounts + 7 * size_t(chair); }
    // A player's state: the count of the chair's list (0-4 the meld lists, 5 the discards).
    size_t ListCount(int chair, size_t list) const { return Counts(chair) + list; }
    // A player's state: entry m of the chair's meld list l, four tile ids and the giver.
    size_t MeldEntry(int chair, int l, int m) const {
        return ChairBlock(chair) + 42 * size_t(l) + 7 * size_t(m);
    }
    size_t FlowerCount(int chair) const {
        return looker ? kLookerFlowerCounts + size_t(chair) : ListCount(chair, kFlowerList);
    }
    size_t Flower(int chair, int k) const {
        return (looker ? kLookerFlowers + size_t(kListEntries) * size_t(chair)
                       : ChairBlock(chair) + kFlowersOfChair) +
               size_t(k);
    }
};

// The faults the server's record holds. One record can hold hundreds of bad entries, and
// a line each would flood the log: while a record is read (RebuildTable), each kind of
// fault is counted and written once when the record is done, with its first few values
// and how many there were ("弃牌错误:-1,152" or "弃牌错误:-1,152,153,154等36处"). Outside a
// record a fault is written at once.
class RecordFaults {
public:
    RecordFaults() : outer_(active_) { active_ = this; }
    ~RecordFaults() {
        active_ = outer_;
        for (const Fault& f : faults_) {
            std::string line = f.kind + ":";
            for (size_t i = 0; i < f.values.size(); ++i) line += (i ? "," : "") + f.values[i];
            if (f.count > int(f.values.size())) line += "等" + std::to_string(f.count) + "处";
            engine::WriteLogText(line);
        }
    }
    RecordFaults(const RecordFaults&) = delete;
    RecordFaults& operator=(const RecordFaults&) = delete;
    static void Note(const std::string& kind, const std::string& value) {
        if (!active_) {
            engine::WriteLogText(kind + ":" + value);
            return;
        }
        auto it = std::find_if(active_->faults_.begin(), active_->faults_.end(),
                               [&](const Fault& f) { return f.kind == kind; });
        if (it == active_->faults_.end()) it = active_->faults_.insert(it, Fault{kind, {}, 0});
        if (it->values.size() < kShownValues) it->values.push_back(value);
        ++it->count;
    }

private:
    static constexpr size_t kShownValues = 4;
    struct Fault {
        std::string kind;
        std::vector<std::string> values;
        int count;
    };
    static inline RecordFaults* active_ = nullptr;
    RecordFaults* outer_;
    std::vector<Fault> faults_;
};

// A tile id of the record: 0 to 151; another is the server's fault (logged, left out).
bool RecordTile(int tile, const char* what) {
    if (tile >= 0 && tile < kTileIds) return true;
    RecordFaults::Note(std::string(what) + "错误", std::to_string(tile));
    return false;
}

// A count of the record, kept inside 0..max; another value is the server's fault (logged).
int RecordCount(const CMJGameInfo& info, size_t word, int max, const char* what) {
    const int count = info.RoundWord(word);
    const int n = std::clamp(count, 0, max);
    if (n != count) RecordFaults::Note(std::string(what) + "数目错误", std::to_string(count));
    return n;
}

void ReadMeldTiles(const CMJGameInfo& info, size_t entry, int32_t (&tiles)[4]) {
    for (size_t t = 0; t < 4; ++t) tiles[t] = info.RoundWord(entry + t);
}

// The tiles of a meld entry: ids of tiles, -1 where the meld has fewer than four, and at
// least one tile. Another entry is logged; → false.
bool MeldTiles(const int32_t (&tiles)[4]) {
    bool any = false;
    for (int32_t t : tiles) {
        if (t == -1) continue;
        if (!RecordTile(t, "牌组")) return false;
        any = true;
    }
    if (!any) RecordFaults::Note("牌组错误", "没有牌");
    return any;
}

}  // namespace

// An 8-word heap block for an engine message: the system events copy eight words.
engine::MessageData CMJGameScene2::ViewMessage(int view) {
    auto* words = static_cast<int32_t*>(std::calloc(8, sizeof(int32_t)));
    if (words) words[0] = view;
    return engine::MessageData::Owned(words, &std::free, 8 * sizeof(int32_t));
}

void CMJGameScene2::StartDealAnimation() {
    MarkWall();
    BindWallTiles();
    // Marked at the deal's reset, the hands may have changed since (an early discard, a
    // meld): marking them again would undo that.
    if (!m_bDealtHandsMarked) MarkDealtHands();
    m_bDealtHandsMarked = 0;
    const int players = m_geometry.GetPlayerCount();
    int view = DealingFirstView();
    for (int k = 0; k < players; ++k) {
        PostSceneMessage(uint32_t(500 * k), 210003, ViewMessage(view));
        view = PrevView(view);
        if (view < 0 || view > 3) break;
    }
    PostSceneMessage(uint32_t(players * 500), 210004, engine::MessageData());
}

int CMJGameScene2::DealingFirstView() const {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const int banker = info ? ChairToView(info->GetBankerChair()) : -1;
    // A banker chair with no seat on the screen: the deal still runs, from the own seat.
    return banker >= 0 ? banker : kOwnView;
}

void CMJGameScene2::MarkDealtHands() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const int banker = info ? ChairToView(info->GetBankerChair()) : -1;
    int view = DealingFirstView();
    for (int k = 0; k < m_geometry.GetPlayerCount(); ++k) {
        MJTileInfo* row = m_tiles.m_hands[view];
        for (int i = 1; i <= 13; ++i) row[i].bPresent = row[i].bHand = 1;
        if (view == banker) row[0].bPresent = row[0].bHand = 1;
        view = PrevView(view);
        if (view < 0 || view > 3) break;
    }
    m_bDealtHandsMarked = 1;
}

void CMJGameScene2::DealStep(int view) {
    PlaySoundRes(29103, 1);
    if (view >= 0 && view < kViewCount) m_nDealtViews |= 1 << view;
    BindHandTiles(view);
    if (m_pGdiSurface) m_pGdiSurface->Invalidate();
}

void CMJGameScene2::FillOwnHandFromRound(int fromDeal) {
    for (auto& row : m_tiles.m_hands) row[0].bPresent = row[0].bHand = 0;
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    if (info->RoundWord(kWordStatus) & kStatusDrawn) {
        const int view = ChairToView(info->RoundWord(kWordCurrentChair));
        if (MJTileInfo* r = m_tiles.GetTileRecord(kAreaHand, view, 0)) r->bPresent = r->bHand = 1;
    }
    const int own = m_geometry.OwnChair();
    if (own < 0 || own > 3) return;
    MJList list;
    int count;
    if (fromDeal) {
        count = info->GetRoundListItem(own);
        info->GetRoundList(list);
    } else {
        const StateLayout layout{IsLookerOn() != 0};
        count = info->RoundWord(layout.HeldCount(own));
        CopyList(info->GetRoundRecord(), layout.OwnTiles(), list);
    }
    MJTileInfo* row = m_tiles.m_hands[kOwnView];
    const int first = row[0].bPresent ? 0 : 1;
    // The hand holds 14 records; a count outside that is the server's fault.
    const int clamped = std::clamp(count, 0, GetMaxHandTiles() - first);
    if (clamped != count) engine::WriteLog("自己的牌数错误:%d", count);
    const bool looker = m_pHost->GetCmdField8() != 0;
    for (int k = 0; k < clamped; ++k) {
        MJTileInfo& r = row[first + k];
        r.nCode = looker ? kHiddenTile : list[size_t(k)];
        r.bPresent = r.bHand = 1;
    }
}

void CMJGameScene2::FillTableFromRound() {
    const bool looker = m_pHost && m_pHost->GetCmdField8();
    for (int v = 0; v < kViewCount; ++v)
        for (int i = 1; i <= 13; ++i) {
            MJTileInfo& r = m_tiles.m_hands[v][i];
            r.bPresent = r.bHand = 1;
            if (looker && v == kOwnView) r.nCode = kHiddenTile;
        }
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    // A looker-on's state carries no melds.
    if (!info || looker) return;
    // The state keeps each kind of meld in a list of its own and not the order in which the
    // seat laid them: the melds come back list by list (pungs first), so a seat that laid a
    // kong before a pung shows them the other way round along its row. An added kong comes
    // after the pungs, onto the pung it was laid on.
    using Add = void (CMJGameScene2::*)(int, MJData);
    static const Add kAdd[kMeldLists] = {
        &CMJGameScene2::AddPengMeld, &CMJGameScene2::AddChiMeld, &CMJGameScene2::AddExposedGangMeld,
        &CMJGameScene2::AddConcealedGangMeld, &CMJGameScene2::AddAddedGangMeld};
    const StateLayout layout;
    for (int chair = 0; chair < m_geometry.GetPlayerCount() && chair < 4; ++chair) {
        const int view = ChairToView(chair);
        if (view < 0) continue;
        for (int l = 0; l < kMeldLists; ++l) {
            const int n = RecordCount(*info, layout.ListCount(chair, size_t(l)), kMeldEntries, "牌组");
            for (int m = 0; m < n; ++m) {
                const size_t entry = layout.MeldEntry(chair, l, m);
                int32_t work[16] = {};
                work[0] = view;
                work[3] = chair;
                work[4] = info->RoundWord(entry + 4);
                // The record keeps the hand's tiles first and the claimed (or added) tile
                // last; the meld operations take that tile in word 5, the hand's in 6-8.
                int32_t tiles[4];
                ReadMeldTiles(*info, entry, tiles);
                // An entry holding an id that is no tile, or no tile at all, is the
                // server's fault: logged and left off the table.
                if (!MeldTiles(tiles)) continue;
                MeldEntry logged{kMeldKinds[l], {}, work[4]};
                for (int32_t t : tiles)
                    if (t >= 0) logged.tiles.push_back(t);
                m_tableLog.melds[size_t(view)].push_back(std::move(logged));
                size_t last = 3;
                while (last > 0 && tiles[last] < 0) --last;
                work[5] = tiles[last];
                for (size_t t = 0, k = 6; t < 4; ++t)
                    if (t != last) work[k++] = tiles[t];
                work[10] = work[11] = -1;
                (this->*kAdd[l])(view, MJData(reinterpret_cast<const uint8_t*>(work), sizeof work));
            }
        }
    }
}

void CMJGameScene2::MarkWall() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    const int total = std::min(GetTotalTiles(), kWallRecords);
    auto valid = [&](int p) { return p >= 0 && p < total; };
    const int start = info->RoundWord(kWordWallStart), head = info->RoundWord(kWordHeadPos);
    const int faceUp = info->RoundWord(kWordFaceUpPos), faceTile = info->RoundWord(kWordFaceUpTile);
    // A face-up id that is no tile is the server's fault: the wall stays face down.
    if (faceTile >= 0 && RecordTile(faceTile, "牌墙翻牌")) {
        if (valid(faceUp)) {
            m_tiles.m_wall[faceUp].nFace = 1;
            m_tiles.m_wall[faceUp].nCode = faceTile;
        } else {
            engine::WriteLog("牌墙翻牌位置错误:%d", faceUp);
        }
    }
    // The tiles drawn from the wall's tail (after gangs and flowers).
    const int tail = info->RoundWord(kWordTailDraws);
    if (valid(start)) {
        int32_t counter = 0;
        for (int guard = 0; counter < tail && guard < total; ++guard) {
            const int p = rules::MJ_NextTailWallPos(start, faceUp, total, &counter, nullptr);
            if (valid(p)) m_tiles.m_wall[p].bPresent = 0;
        }
    }
    if (!valid(start) || !valid(head)) {
        engine::WriteLog("牌墙位置错误:%d,%d", start, head);
        return;
    }
    const int stretch = HeadStretch(start, head, total);
    for (int p = start, n = 0; n < stretch; p = (p + 1) % total, ++n)
        m_tiles.m_wall[p].bPresent = 0;
}

int CMJGameScene2::HeadStretch(int start, int head, int total) const {
    const int stretch = (head - start + total) % total;
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (stretch != 0 || !info) return stretch;
    // A head back at the start either never left it or went all the way round: a wall that
    // ran out with no tile drawn from its tail, or one, brings it back there. Walked as never
    // left, a table rebuilt in the deal's last turn would show the wall standing full beside
    // every hand and discard. The hands are dealt from the head, so a state whose seats hold
    // tiles has a head that left the start; back there, it took the whole wall.
    const StateLayout layout{IsLookerOn() != 0};
    for (int chair = 0; chair < std::min(m_geometry.GetPlayerCount(), 4); ++chair)
        if (info->RoundWord(layout.HeldCount(chair)) > 0) return total;
    return 0;
}

namespace {

// Whether a pung entry of the chair's state lies under one of its added kongs (the kong's four
// tiles hold the pung's three): its tiles are counted in the kong.
bool PungUnderAddedKong(const CMJGameInfo& info, const StateLayout& layout, int chair,
                        const int32_t (&pung)[4], int kongs) {
    for (int k = 0; k < kongs; ++k) {
        int32_t kong[4];
        ReadMeldTiles(info, layout.MeldEntry(chair, kAddedKongList, k), kong);
        if (std::all_of(pung, pung + 3, [&](int32_t id) {
                return id >= 0 && std::find(kong, kong + 4, id) != kong + 4;
            }))
            return true;
    }
    return false;
}

// A player's state: the tiles out of the wall, each held, laid in a meld, discarded or a
// flower. Every count is kept inside what its list can hold, so that no sum of the server's
// words can run past an int.
int TilesOutOfTheWall(const CMJGameInfo& info, int players, int maxHeld) {
    const StateLayout layout;
    int out = 0;
    for (int chair = 0; chair < players; ++chair) {
        out += std::clamp(info.RoundWord(layout.HeldCount(chair)), 0, maxHeld);
        for (size_t list : {kDiscardList, kFlowerList})
            out += std::clamp(info.RoundWord(layout.ListCount(chair, list)), 0, kListEntries);
        int count[kMeldLists];
        for (int l = 0; l < kMeldLists; ++l)
            count[l] = std::clamp(info.RoundWord(layout.ListCount(chair, size_t(l))), 0, kMeldEntries);
        for (int l = 0; l < kMeldLists; ++l)
            for (int m = 0; m < count[l]; ++m) {
                int32_t tiles[4];
                ReadMeldTiles(info, layout.MeldEntry(chair, l, m), tiles);
                if (l == kPengList &&
                    PungUnderAddedKong(info, layout, chair, tiles, count[kAddedKongList]))
                    continue;
                out += int(std::count_if(tiles, tiles + 4, [](int32_t id) { return id >= 0; }));
            }
    }
    return out;
}

}  // namespace

namespace {

// A looker-on's state: whether the last tail draw took the tile at the head. Where the two
// meet, a tail draw finds its place taken only when the head drew that place just before
// (the head's last draw, the record before the head), and then it takes the one tile left,
// at the head; the wall is empty after it. A place the tail took first, the head steps over
// as it draws the next tile, which leaves the head past another record than that one.
bool LastTailDrawTookTheHead(int start, int head, int faceUp, int tail, int stretch,
                             int total) {
    if (tail <= 0 || stretch <= 0) return false;
    int32_t counter = 0;
    int last = -1;
    for (int guard = 0; counter < tail && guard < total; ++guard)
        last = rules::MJ_NextTailWallPos(start, faceUp, total, &counter, nullptr);
    return counter >= tail && last == (head - 1 + total) % total;
}

}  // namespace

void CMJGameScene2::MarkWallPastTheHead() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    // Where the tail's draws meet the head at the wall's end, a tail draw whose place the
    // head has already taken takes the next tile still in the wall: the one at the head
    // position. The state gives the head position and the number of tail draws, not that
    // tile. A player's state tells it by the tiles out of the wall; a looker-on's, which
    // has no meld lists and no discards to count them by, by where the last tail draw fell.
    const int total = std::min(GetTotalTiles(), kWallRecords);
    const int start = info->RoundWord(kWordWallStart), head = info->RoundWord(kWordHeadPos);
    if (start < 0 || start >= total || head < 0 || head >= total) return;
    int taken = 0;
    for (int i = 0; i < total; ++i) taken += !m_tiles.m_wall[i].bPresent;
    const int stretch = HeadStretch(start, head, total);
    const int tail = std::clamp(info->RoundWord(kWordTailDraws), 0, total);
    int past = 0;
    if (IsLookerOn()) {
        past = LastTailDrawTookTheHead(start, head, info->RoundWord(kWordFaceUpPos), tail,
                                       stretch, total)
                   ? 1
                   : 0;
    } else {
        // Only a tail draw whose place lay in the head's stretch can have taken another
        // tile: as many as the marks fell short of the head's stretch and the tail draws
        // together.
        const int out = TilesOutOfTheWall(*info, std::min(m_geometry.GetPlayerCount(), 4),
                                          GetMaxHandTiles());
        past = std::min(out - taken, stretch + tail - taken);
    }
    for (int p = head, n = 0, steps = 0; n < past && steps < total; p = (p + 1) % total, ++steps)
        if (m_tiles.m_wall[p].bPresent) {
            m_tiles.m_wall[p].bPresent = 0;
            ++n;
        }
}

void CMJGameScene2::GetMarkedWallTileRect(MJRect& out) const {
    out = {};
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    const int at = info->RoundWord(kWordFaceUpPos);
    const MJTileInfo* r = m_tiles.GetTileRecord(kAreaWall, 0, at);
    if (at < GetTotalTiles() && r && r->bPresent && r->nFace == 1) GetWallTileRect(at, out);
}

void CMJGameScene2::GetMarkedWallTileBigRect(MJRect& out) const {
    MJRect t;
    GetMarkedWallTileRect(t);
    out = {};
    if (t.right <= t.left || t.bottom <= t.top) return;
    const int w = m_metrics.largeWidth, h = m_metrics.largeHeight;
    out.left = (t.left + t.right) / 2 - w / 2;
    out.top = (t.top + t.bottom) / 2 - h / 2;
    out.right = out.left + w;
    out.bottom = out.top + h;
}

void CMJGameScene2::RebuildTable() {
    // What the record gets wrong is written when the rebuild is done, a line per kind.
    RecordFaults faults;
    if (m_pHost && !IsLookerOn()) m_pHost->EnableTablePane(1);
    ResetTable();
    // What the notifications laid on the table before is gone with it; the record's lists
    // take its place.
    m_tableLog = TableLog{};
    CleanUpClockWindow();
    MarkWall();
    MarkWallPastTheHead();
    RestoreSeatDiscards();
    PlaceWindMarks();
    RestoreSeatFlowers();
    FillTableFromRound();
    FillOwnHandFromRound(0);
    RestoreClockState();
    ShowStakePanel();
    RestoreLayerState();
    ResumeClock();
    // The state does not name the own tile drawn last: a drawn tile is sorted in with the
    // hand, and the draw slot holds whichever tile the sort leaves there.
    const int first = m_tiles.m_hands[kOwnView][0].bPresent ? 0 : 1;
    SortHand(m_tiles.m_hands[kOwnView], first, LastHandIndex(kOwnView));
    BindHandTiles(kOwnView);
    DumpTable("rebuilt");
    TakeTableShot("rebuilt");
}

int CMJGameScene2::IsDealInProgress() const {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return 0;
    // Only a table state of the user's kind is a deal's; the running flag is its status
    // word's lowest bit. Game data of another length is the server's fault.
    const size_t expected = IsLookerOn() ? kLookerStateBytes : kPlayerStateBytes;
    const size_t stored = info->GetStateBytes();
    if (stored != expected) {
        if (stored) engine::WriteLog("牌局数据长度错误:%zu,应为%zu", stored, expected);
        return 0;
    }
    return info->GetDealFlags() & 1 ? 1 : 0;
}

void CMJGameScene2::RestoreSeatDiscards() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    // A looker-on's state carries no discards.
    if (!info || IsLookerOn()) return;
    const StateLayout layout;
    for (int chair = 0; chair < m_geometry.GetPlayerCount() && chair < 4; ++chair) {
        const int view = ChairToView(chair);
        if (view < 0) continue;
        const int n = RecordCount(*info, layout.ListCount(chair, kDiscardList), kListEntries, "弃牌");
        for (int k = 0; k < n; ++k) {
            const int tile =
                info->RoundWord(layout.ChairBlock(chair) + kDiscardsOfChair + size_t(k));
            if (!RecordTile(tile, "弃牌")) continue;
            AddDiscard(view, tile);
            m_tableLog.discards[size_t(view)].push_back(tile);
        }
    }
    // The state lists a discard still on offer (nobody has drawn or claimed since) with its
    // seat's other discards, where the table that saw it shows it in front of the seat. Left
    // in the rows, a peng or kong of it would show it twice, and the own seat, next to draw,
    // would not draw at the countdown's end, which asks for that tile shown.
    TakeLastDiscard();
    for (int view = 0; view < kViewCount; ++view) {
        BindDiscards(view);
        BindShowcase(view);
    }
}

void CMJGameScene2::RestoreSeatFlowers() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    const StateLayout layout{IsLookerOn() != 0};
    const int room = std::min(GetFlowerCount(), kFlowerRecords);
    for (int chair = 0; chair < m_geometry.GetPlayerCount() && chair < 4; ++chair) {
        const int view = ChairToView(chair);
        if (view < 0) continue;
        const int n = RecordCount(*info, layout.FlowerCount(chair), room, "花牌");
        for (int k = 0; k < n; ++k) {
            const int tile = info->RoundWord(layout.Flower(chair, k));
            if (!RecordTile(tile, "花牌")) continue;
            AddFlowerTile(view, tile);
            m_tableLog.flowers[size_t(view)].push_back(tile);
        }
        BindFlowerTiles(view);
    }
}

void CMJGameScene2::RestoreHeldCounts() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    const StateLayout layout{IsLookerOn() != 0};
    for (int chair = 0; chair < m_geometry.GetPlayerCount() && chair < 4; ++chair) {
        const int view = ChairToView(chair);
        MJTileInfo* row = m_tiles.HandRow(view);
        if (!row) continue;
        // The seat's standing tiles below its melds: the draw slot holds one of them when
        // the seat has drawn.
        int room = 0;
        while (room + 1 < kHandSlotCount && !(row[room + 1].bPresent && !row[room + 1].bHand))
            ++room;
        const int drawn = row[0].bPresent && row[0].bHand ? 1 : 0;
        const int held = RecordCount(*info, layout.HeldCount(chair), room + drawn, "手牌");
        for (int i = 1; i <= room; ++i) {
            MJTileInfo& r = row[i];
            const int keep = i <= held - drawn;
            if (keep && !r.bPresent) r.nCode = kHiddenTile;
            r.bPresent = r.bHand = keep;
        }
    }
}

void CMJGameScene2::ResetTable() {
    // The pending items hold the last deal's hu picture (the win effect), which goes now.
    ProcessPendingItems();
    // 0 names no table.
    if (++m_nTableSerial == 0) ++m_nTableSerial;
    m_nWinEffect = 0;
    m_bDealtHandsMarked = 0;
    ReleaseAllBindings();
    LayoutWall();
    for (int i = 0; i < GetTotalTiles() && i < kWallRecords; ++i) m_tiles.m_wall[i].bPresent = 1;
    LayoutHands();
    LayoutDiscards();
    ResetShowcase();
    LayoutFlowers();
    // The clock of the table that went: its seat, seconds, selection mode and claim window.
    ClockReset();
    // A claim the server held back belongs to the table that went (its deal ended, by a win
    // mostly, while it waited): nothing can finish it any more, and its selection mode has
    // just been cleared. Left set, the next table's first countdown end would take an open
    // gang choice for that claim and not play the drawn tile, the gang button could not
    // close the choice, and the seat before the own seat would not be acted for when silent.
    m_bPending = 0;
    ResetSeatPanels();
}

}  // namespace hqlv::mahjong

namespace hqlv::mahjong {

namespace {

// The music starts again from the style's sound folder when its switch is on.
void RestartMusic(engine::GameKernel* k, int on) {
    if (!k || !on) return;
    k->GetSoundPlayer().OpenMusic("default.mp3");
    k->GetSoundPlayer().PlayMusic();
}

}  // namespace

void CMJGameScene2::RefreshIdleTable() {
    if (!m_pHost || !m_pHost->TestCmdField13(0x2)) ShowStartButton();
    Redraw(100);
    RestartMusic(Kernel(), m_bMusic);
}

void CMJGameScene2::RefreshRunningDeal() {
    // The deal state says whether a deal runs: the table is rebuilt from that same state.
    if (m_pHost && IsDealInProgress()) {
        RebuildTable();
        if (CMJTableDraw* draw = m_pHost->GetTableDraw()) draw->RefreshAll();
        if (m_pHost->GetCmdField8() && !m_pHost->TestCmdField13Bit8()) ShowAskButton();
    }
    Redraw(100);
    RestartMusic(Kernel(), m_bMusic);
}

}  // namespace hqlv::mahjong
