#include "rules/table_card.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "rules/common.h"

namespace hqlv::rules {

namespace {

// A small reader and writer of one section of an ini file, after the rules of the profile
// functions that read "test.ini": section and key names match ignoring ASCII case, names and
// values are trimmed of blanks, lines starting with ';' are comments, and the first of a
// repeated key counts. The rules depend on nothing else of ours, so that the client, the local
// server and their tests can link them alone; the platform's own profile reader comes with the
// program's sound and glyph libraries, which those do without.
std::string trimBlanks(const std::string& text) {
    const size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[k]) != lower(b[k])) return false;
    }
    return true;
}

// The name of the section a "[name]" line opens; false for any other line.
bool sectionLine(const std::string& line, std::string& name) {
    const std::string t = trimBlanks(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    name = trimBlanks(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// The key of a "key=value" line (false for a comment or a line without '=').
bool keyLine(const std::string& line, std::string& key, std::string* value = nullptr) {
    const std::string t = trimBlanks(line);
    const size_t eq = t.find('=');
    if (t.empty() || t.front() == ';' || eq == std::string::npos) return false;
    key = trimBlanks(t.substr(0, eq));
    if (value) *value = trimBlanks(t.substr(eq + 1));
    return true;
}

// An integer value as the profile functions read one: its leading decimal digits, 0 for none.
// A number past the 32-bit range stands at the range's end: cut to its low bits, a "Made"
// of 4294967296 would read as 0 and switch the test deal off, and the file would be written
// over with the shuffle it was meant to replace.
int32_t iniInt(const std::string& text) {
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

bool readIni(const std::string& path, const std::string& section, const std::string& key,
             std::string& value) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line, name, k, v;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (sectionLine(line, name)) {
            inSection = sameName(name, section);
            continue;
        }
        if (inSection && keyLine(line, k, &v) && sameName(k, key)) {
            value = v;
            return true;
        }
    }
    return false;
}

void writeIni(const std::string& path, const std::string& section, const std::string& key,
              const std::string& value) {
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
    }
    bool inSection = false, done = false;
    size_t sectionEnd = lines.size();
    bool sawSection = false;
    std::string name, k;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string l = lines[i];
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (sectionLine(l, name)) {
            if (inSection) sectionEnd = i;
            inSection = !sawSection && sameName(name, section);
            sawSection |= inSection;
            if (inSection) sectionEnd = lines.size();
            continue;
        }
        if (inSection && keyLine(l, k) && sameName(k, key)) {
            lines[i] = key + "=" + value;
            done = true;
        }
    }
    if (!done) {
        if (!sawSection) {
            lines.push_back("[" + section + "]");
            sectionEnd = lines.size();
        }
        lines.insert(lines.begin() + static_cast<long>(sectionEnd), key + "=" + value);
    }
    std::ofstream out(path, std::ios::trunc);
    for (const auto& l : lines) out << l << "\n";
}

}  // namespace

CCardTable::CCardTable(const TableConfig& config, const CardConfig& card, TableHooks hooks)
    : CCommonTable(config, std::move(hooks)), card_(card) {
    if (card_.tileTotal < 0) card_.tileTotal = 0;
    if (card_.valuesPerShape < 1) card_.valuesPerShape = 1;
    card_.kindRange = std::clamp(card_.kindRange, 0, kKinds);
    ResetCard(true);
}

void CCardTable::Reset(bool full) {
    CCommonTable::Reset(full);
    ResetCard(full);
}

void CCardTable::ResetCard(bool full) {
    if (full) dealingChair_ = firstChair_ = -1;
    tiles_.clear();
    positionOfId_.clear();
    std::fill(&counts_[0][0], &counts_[0][0] + kMaxTableChairs * kKinds, 0);
    reserved_.clear();
    bids_.clear();
    std::fill(std::begin(chairValues_), std::end(chairValues_), 0);
    currentBid_ = card_.defaultBid;
    wallStart_ = 0;
    jokerPos_ = jokerId_ = -1;
    points_ = 0;
    removalTick_ = 0;
}

void CCardTable::PrepareDeal() {
    Shuffle();
    banker_ = ChooseBankerChair();
    wallStart_ = WallStartPosition();
    dealingChair_ = ChooseDealingChair();
    DealCards();
    jokerPos_ = JokerPosition();
    jokerId_ = JokerTile();
    firstChair_ = FirstPlayerChair();
}

int32_t CCardTable::EndDeal(const int32_t* record, int32_t value) {
    dealingChair_ = ChooseDealingChairAgain(record, value);
    firstChair_ = banker_;
    return CCommonTable::EndDeal(record, value);
}

int32_t CCardTable::AddDealMarker(const int32_t* record, int32_t value) {
    if (record && record[560 / 4] != 0) firstDealMarker_ += record[560 / 4];
    return CCommonTable::AddDealMarker(record, value);
}

int32_t CCardTable::RandomDealingChair() {
    return RandomBelow(chairCount_);
}

int32_t CCardTable::ChooseDealingChairAgain(const int32_t*, int32_t) {
    return RandomDealingChair();
}

int32_t CCardTable::NextChairWithTiles(int32_t chair) {
    if (!IsValidChair(chair)) return -1;
    for (int32_t c = NextChair(chair); c != chair; c = NextChair(c))
        if (CountHeld(c) > 0) return c;
    return -1;
}

int32_t CCardTable::ShuffleSeed() const {
    const TableUser* first = seats_[0];
    if (!first) return 0;
    // The values come with the user's record: the sum wraps rather than overflows.
    return static_cast<int32_t>(static_cast<uint32_t>(first->further1) +
                                10u * static_cast<uint32_t>(first->further2));
}

void CCardTable::Shuffle() {
    std::vector<int32_t> order;
    RandomPermutation(order, card_.tileTotal, ShuffleSeed());
    BuildWall(order);
}

void CCardTable::BuildWall(std::vector<int32_t>& order) {
    order.resize(static_cast<size_t>(card_.tileTotal));
    LoadTestDeal(order);
    BuildTileSet(order);
}

void CCardTable::BuildTileSet(const std::vector<int32_t>& ids) {
    for (int32_t id : ids) {
        if (id < 0) continue;
        if (static_cast<size_t>(id) >= positionOfId_.size())
            positionOfId_.resize(static_cast<size_t>(id) + 1, -1);
        // An id is in the set once: a second record of it is reached only by its place in the
        // wall, and once drawn it could never be found by its id (the look-ups go to the
        // first), so the hand that drew it could never play it.
        if (positionOfId_[static_cast<size_t>(id)] >= 0) continue;
        positionOfId_[static_cast<size_t>(id)] = static_cast<int32_t>(tiles_.size());
        tiles_.push_back({id, ShapeOf(id), ValueOf(id), kTileInWall, -1, {-1, 0}});
    }
}

// The folder of the test deal is the maker's, never taken from the program's own: the rules
// are linked into several programs (the client, which makes one table and drops it at once,
// the local server with a table per game table, and the tests and harnesses that deal
// thousands of times side by side from one build folder). Taken from the program's folder,
// every shuffle of every one of them would rewrite the one "test.ini" beside its program,
// racing the others on it, and a "test.ini" left there with "Made" set would fix the wall of
// every deal any table of that program plays. The server names a folder when asked to fix its
// walls; a table made without one reads and writes no file.
std::string CCardTable::TestIniPath() const {
    if (hooks_.testIniFolder.empty()) return {};
    return hooks_.testIniFolder + "/test.ini";
}

int32_t CCardTable::LoadTestDeal(std::vector<int32_t>& ids) {
    const std::string path = TestIniPath();
    if (path.empty()) return 0;
    std::string made;
    const bool on = readIni(path, "Card", "Made", made) && iniInt(made) != 0;
    const size_t total = static_cast<size_t>(card_.tileTotal);
    if (!on) {
        std::string text;
        for (size_t k = 0; k < total && k < ids.size(); ++k) text += std::to_string(ids[k]) + "|";
        writeIni(path, "Card", "Total", text);
        return 0;
    }
    std::string list;
    if (!readIni(path, "Card", "Total", list)) return 0;
    if (list.size() > 4096) list.resize(4096);
    // The fields replace the leading entries of the order, as many as there are up to the
    // first missing one (empty or blank): a short list changes only those. A field is its
    // decimal value, blanks around it aside. A field that is no tile id, or an order that
    // would then hold a tile twice (and so lose another), is refused whole and the shuffle
    // stands.
    std::vector<int32_t> order = ids;
    const size_t n = std::min(total, order.size());
    std::stringstream in(list);
    std::string field;
    size_t k = 0;
    for (size_t fields = 0; k < n && fields < 514 && std::getline(in, field, '|'); ++fields) {
        const std::string number = trimBlanks(field);
        if (number.empty()) break;
        char* end = nullptr;
        const long v = std::strtol(number.c_str(), &end, 10);
        if (*end != '\0' || v < 0 || v >= static_cast<long>(total)) {
            Log("test deal: \"Total\" holds \"" + field + "\", which is no tile, ignored");
            return 0;
        }
        order[k++] = static_cast<int32_t>(v);
    }
    if (k == 0) return 0;
    std::vector<uint8_t> seen(total, 0);
    for (size_t i = 0; i < n; ++i) {
        const int32_t v = order[i];
        if (v < 0 || static_cast<size_t>(v) >= total || seen[static_cast<size_t>(v)]++) {
            Log("test deal: \"Total\" would put a tile twice in the wall, ignored");
            return 0;
        }
    }
    ids = std::move(order);
    return 1;
}

int32_t CCardTable::TestIniInt(const std::string& key, int32_t& value) {
    const std::string path = TestIniPath();
    if (path.empty()) return value;
    std::string made, text;
    const bool on = readIni(path, "Card", "Made", made) && iniInt(made) != 0;
    if (on) {
        if (readIni(path, "Card", key, text)) value = iniInt(text);
    } else {
        writeIni(path, "Card", key, std::to_string(value));
    }
    return value;
}

int32_t CCardTable::TilesPerChair() const {
    return chairCount_ > 0 ? (card_.tileTotal - card_.reservedTiles) / chairCount_ : 0;
}

void CCardTable::DealCards() {
    const int32_t total = static_cast<int32_t>(tiles_.size());
    if (total == 0 || !IsValidChair(dealingChair_)) return;
    int32_t p = wallStart_;
    int32_t c = dealingChair_;
    const int32_t passes = TilesPerChair();
    for (int32_t pass = 0; pass < passes; ++pass) {
        for (int32_t k = 0; k < chairCount_; ++k) {
            TileRecord& t = tiles_[static_cast<size_t>(((p % total) + total) % total)];
            t.status = kTileHeld;
            t.chair = c;
            IncrementKindAt(c, ((p % total) + total) % total);
            ++p;
            c = NextChair(c);
        }
    }
    for (int32_t k = 0; k < card_.reservedTiles && k < 32; ++k)
        reserved_.push_back(tiles_[static_cast<size_t>(((p + k) % total + total) % total)].id);
}

int32_t CCardTable::IsCompleteSet() const {
    std::vector<int32_t> byKind(static_cast<size_t>(kKinds), 0);
    for (const auto& t : tiles_) {
        const int32_t k = t.shape * card_.valuesPerShape + t.value;
        if (k >= 0 && k < kKinds) ++byKind[static_cast<size_t>(k)];
    }
    for (int32_t k = 0; k < card_.kindRange; ++k)
        if (k % card_.valuesPerShape != 0 && byKind[static_cast<size_t>(k)] != card_.copiesPerKind)
            return 0;
    return 1;
}

TileRecord* CCardTable::RecordOf(int32_t tileId) {
    const int32_t p = PositionOf(tileId);
    return p >= 0 ? &tiles_[static_cast<size_t>(p)] : nullptr;
}

const TileRecord* CCardTable::RecordOf(int32_t tileId) const {
    const int32_t p = PositionOf(tileId);
    return p >= 0 ? &tiles_[static_cast<size_t>(p)] : nullptr;
}

int32_t CCardTable::PositionOf(int32_t tileId) const {
    if (tileId < 0 || static_cast<size_t>(tileId) >= positionOfId_.size()) return -1;
    return positionOfId_[static_cast<size_t>(tileId)];
}

int32_t CCardTable::TileAt(int32_t position) const {
    if (position < 0 || static_cast<size_t>(position) >= tiles_.size()) return -1;
    return tiles_[static_cast<size_t>(position)].id;
}

const int32_t* CCardTable::Counts(int32_t chair) const {
    static const int32_t kEmpty[kKinds] = {};
    return IsValidChair(chair) ? counts_[chair] : kEmpty;
}

int32_t CCardTable::CountHeld(int32_t chair) const {
    if (!IsValidChair(chair)) return 0;
    int32_t s = 0;
    for (int k = 0; k < kKinds; ++k) s += counts_[chair][k];
    return s;
}

bool CCardTable::IsHeldBy(int32_t chair, int32_t tileId) const {
    const TileRecord* t = RecordOf(tileId);
    return t && t->status == kTileHeld && t->chair == chair && IsValidChair(chair);
}

bool CCardTable::AreAllHeld(int32_t chair, const int32_t* ids, int32_t n) const {
    if (!ids || CountValid(ids, n) == 0 || !AllDistinct(ids, n)) return false;
    for (int32_t k = 0; k < n; ++k)
        if (ids[k] >= 0 && !IsHeldBy(chair, ids[k])) return false;
    return true;
}

int32_t CCardTable::ListHeld(int32_t chair, int32_t* out, int32_t n) const {
    if (!out || n <= 0) return 0;
    FillMinusOne(out, n);
    int32_t k = 0;
    for (const auto& t : tiles_)
        if (k < n && t.status == kTileHeld && t.chair == chair) out[k++] = t.id;
    return k;
}

int32_t CCardTable::FirstHeld(int32_t chair) const {
    for (const auto& t : tiles_)
        if (t.status == kTileHeld && t.chair == chair) return t.id;
    return -1;
}

int32_t CCardTable::ChairOf(int32_t tileId) const {
    const TileRecord* t = RecordOf(tileId);
    return t ? t->chair : -1;
}

int32_t CCardTable::StatusOf(int32_t tileId) const {
    const TileRecord* t = RecordOf(tileId);
    return t ? t->status : -999999;
}

int32_t CCardTable::SetTileStatus(int32_t tileId, int32_t status) {
    TileRecord* t = RecordOf(tileId);
    if (!t) return 0;
    return std::exchange(t->status, status);
}

int32_t CCardTable::SetTileChair(int32_t tileId, int32_t chair) {
    TileRecord* t = RecordOf(tileId);
    if (!t) return 0;
    return std::exchange(t->chair, chair);
}

int32_t CCardTable::MoveTile(int32_t tileId, int32_t chair) {
    TileRecord* t = RecordOf(tileId);
    if (!t || !IsValidChair(chair) || t->status != kTileHeld || t->chair == chair ||
        !IsValidChair(t->chair))
        return 0;
    if (!DecrementKind(t->chair, tileId)) return 0;
    t->chair = chair;
    IncrementKind(chair, tileId);
    return 1;
}

void CCardTable::Discard(int32_t chair, const int32_t* ids, int32_t n) {
    if (!ids) return;
    for (int32_t k = 0; k < n && k < 64; ++k) {
        if (ids[k] < 0) continue;
        // Only a tile the chair holds leaves its hand: one still in the wall, in another hand or
        // already played would be marked played, and the chair's count of its kind lowered
        // for a tile it never had.
        if (!IsHeldBy(chair, ids[k])) continue;
        SetTileStatus(ids[k], kTilePlayed);
        DecrementKind(chair, ids[k]);
    }
    removalTick_ = Now();
}

int32_t CCardTable::DecrementKind(int32_t chair, int32_t tileId) {
    return DecrementKindAt(chair, PositionOf(tileId));
}

int32_t CCardTable::IncrementKind(int32_t chair, int32_t tileId) {
    return IncrementKindAt(chair, PositionOf(tileId));
}

int32_t CCardTable::DecrementKindAt(int32_t chair, int32_t position) {
    if (!IsValidChair(chair) || position < 0 || static_cast<size_t>(position) >= tiles_.size())
        return 0;
    const int32_t k = KindIndexOf(tiles_[static_cast<size_t>(position)].id);
    if (k < 0 || counts_[chair][k] < 1) return 0;
    --counts_[chair][k];
    return 1;
}

int32_t CCardTable::IncrementKindAt(int32_t chair, int32_t position) {
    if (!IsValidChair(chair) || position < 0 || static_cast<size_t>(position) >= tiles_.size())
        return 0;
    const int32_t k = KindIndexOf(tiles_[static_cast<size_t>(position)].id);
    if (k < 0) return 0;
    ++counts_[chair][k];
    return 1;
}

bool CCardTable::IsJokerKind(int32_t tileId) const {
    return jokerId_ >= 0 && tileId >= 0 && ShapeOf(tileId) == ShapeOf(jokerId_) &&
           ValueOf(tileId) == ValueOf(jokerId_);
}

// -1 for a tile whose kind falls outside the count tables.
int32_t CCardTable::KindIndexOf(int32_t tileId) const {
    if (tileId < 0) return -1;
    const int64_t k = int64_t{ShapeOf(tileId)} * card_.valuesPerShape + ValueOf(tileId);
    return (k >= 0 && k < kKinds) ? static_cast<int32_t>(k) : -1;
}

int32_t CCardTable::CardPoints(int32_t tileId) const {
    switch (ValueOf(tileId)) {
        case 4:
            return 5;
        case 9:
        case 12:
            return 10;
        default:
            return 0;
    }
}

int32_t CCardTable::AdvanceTurn() {
    for (int k = 0; k < chairCount_; ++k) {
        SwitchActiveChair(NextChair(currentChair_));
        if (CountHeld(currentChair_) > 0) break;
    }
    return currentChair_;
}

// --- Table state ---------------------------------------------------------------------------

static_assert(card_state::kBids + kMaxBids * 7 * 4 == card_state::kCounts);
static_assert(card_state::kChairValues + kMaxTableChairs * 4 == kCardStateBytes);

int32_t CCardTable::FillTableState(int32_t* record, int32_t bytes, int32_t chair, bool skipHeld) {
    if (!CCommonTable::FillTableState(record, bytes, chair, skipHeld)) return 0;
    using namespace card_state;
    const CardConfig& k = card_;
    const int32_t config[] = {k.tileTotal,  k.copiesPerKind,  k.slotsPerChair,    k.reservedTiles,
                              k.kindRange,  k.valuesPerShape, k.secondListLength, k.bidSeconds,
                              k.upperBound, k.furtherOption,  k.maxBid,           k.minBid,
                              k.defaultBid};
    static_assert(sizeof config == kOptionTable - kConfig);
    std::memcpy(record + kConfig / 4, config, sizeof config);
    if (k.optionTable)
        std::copy(k.optionTable->begin(), k.optionTable->end(), record + kOptionTable / 4);
    record[kWallStart / 4] = wallStart_;
    record[kDealingChair / 4] = dealingChair_;
    record[kFirstChair / 4] = firstChair_;
    record[kJokerPos / 4] = jokerPos_;
    record[kJokerId / 4] = jokerId_;
    record[kCurrentBid / 4] = currentBid_;
    record[kBidCount / 4] = static_cast<int32_t>(bids_.size());
    record[kReservedCount / 4] = static_cast<int32_t>(reserved_.size());
    record[kTileCount / 4] = static_cast<int32_t>(tiles_.size());
    record[kRemovalTick / 4] = static_cast<int32_t>(removalTick_);
    for (size_t b = 0; b < bids_.size() && b < kMaxBids; ++b) {
        int32_t* w = record + kBids / 4 + 7 * static_cast<int>(b);
        w[0] = bids_[b].chair, w[1] = bids_[b].passed, w[2] = bids_[b].value;
        std::copy(std::begin(bids_[b].spare), std::end(bids_[b].spare), w + 3);
    }
    // Only the chair's own hand is shown; the other chairs' hands stay hidden.
    FillMinusOne(record + kHeld / 4, kMaxTableChairs * kKinds);
    if (IsValidChair(chair)) {
        std::copy(counts_[chair], counts_[chair] + kKinds, record + kCounts / 4 + kKinds * chair);
        if (!skipHeld) ListHeld(chair, record + kHeld / 4 + kKinds * chair, kKinds);
    }
    FillMinusOne(record + kReserved / 4, 32);
    for (size_t r = 0; r < reserved_.size() && r < 32; ++r)
        record[kReserved / 4 + static_cast<int>(r)] = reserved_[r];
    record[kPoints / 4] = points_;
    std::copy(std::begin(chairValues_), std::end(chairValues_), record + kChairValues / 4);
    return 1;
}

int32_t CCardTable::FillClaimDefaults(ClaimDefaults*) const {
    return 1;
}

int32_t CCardTable::MakeBankerTeams() {
    for (int c = 0; c < chairCount_; ++c) group_[c] = c == banker_ ? 0 : 1;
    return 2;
}

// --- Lists by kind -------------------------------------------------------------------------

int32_t CCardTable::CountByKind(const int32_t* ids, int32_t n, int32_t* counts) const {
    if (!ids || !counts) return 0;
    int32_t counted = 0;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t kind = KindIndexOf(ids[k]);
        if (kind < 0) continue;
        ++counts[kind];
        ++counted;
    }
    return counted;
}

int32_t CCardTable::SortByKind(const int32_t* mask, const int32_t* ids, int32_t n,
                               int32_t* out) const {
    if (!mask || !ids || !out) return 0;
    int32_t m = 0;
    for (int32_t kind = 0; kind < card_.kindRange; ++kind) {
        if (!mask[kind]) continue;
        for (int32_t k = 0; k < n && m < n; ++k)
            if (KindIndexOf(ids[k]) == kind) out[m++] = ids[k];
    }
    return m;
}

int32_t CCardTable::TakeKinds(const int32_t* counts, int32_t* out, int32_t chair) {
    if (!counts || !out) return 0;
    FillMinusOne(out, kKinds);
    int32_t m = 0;
    for (int32_t kind = 0; kind < kKinds; ++kind)
        for (int32_t k = 0; k < counts[kind] && m < kKinds; ++k) {
            const int32_t id = TakeOneOfKind(chair, kind);
            if (id < 0) break;
            out[m++] = id;
        }
    return m;
}

int32_t CCardTable::TakeOneOfKind(int32_t chair, int32_t kind) {
    if (!IsValidChair(chair)) return -1;
    for (auto& t : tiles_)
        if (t.status == kTileHeld && t.chair == chair && KindIndexOf(t.id) == kind) {
            t.status = kTileTaken;
            return t.id;
        }
    return -1;
}

int32_t CCardTable::FirstOfKind(int32_t kind) const {
    for (const auto& t : tiles_)
        if (t.status != kTilePlayed && t.status != kTileTaken && KindIndexOf(t.id) == kind)
            return t.id;
    return -1;
}

int32_t CCardTable::CountNonZero(const int32_t* list, int32_t n) {
    if (!list) return 0;
    int32_t k = 0;
    for (int32_t i = 0; i < n && i < kKinds; ++i) k += list[i] != 0;
    return k;
}

int32_t CCardTable::SumOf(const int32_t* list, int32_t n) {
    return list ? SumInts(list, std::min<int32_t>(n, kKinds)) : 0;
}

int32_t CCardTable::FirstNonZero(const int32_t* list, int32_t n) {
    if (!list) return -1;
    for (int32_t i = 0; i < n && i < kKinds; ++i)
        if (list[i] != 0) return i;
    return -1;
}

// --- Points and bidding ------------------------------------------------------------------------

int32_t CCardTable::PointsOf(const int32_t* ids) const {
    if (!ids) return 0;
    int32_t s = 0;
    for (int k = 0; k < 64; ++k)
        if (ids[k] >= 0) s += CardPoints(ids[k]);
    return s;
}

int32_t CCardTable::AddPoints(const int32_t* ids) {
    points_ += PointsOf(ids);
    return 0;
}

int32_t CCardTable::OnBid(const Bid& bid, int32_t* decided) {
    int32_t scratch = 0;
    int32_t& done = decided ? *decided : scratch;
    done = 0;
    if (!IsValidChair(bid.chair) || bids_.size() >= static_cast<size_t>(kMaxBids)) return 0;
    bids_.push_back(bid);
    const bool low = (RuleFlags() & kRuleLowBidWins) != 0;
    // A bid at the limit decides at once.
    if (!bid.passed && (low ? bid.value <= card_.minBid : bid.value >= card_.maxBid)) {
        currentBid_ = bid.value;
        banker_ = bid.chair;
        done = 1;
        return 1;
    }
    bool allBid = true;
    for (int c = 0; c < chairCount_ && allBid; ++c)
        allBid =
            std::any_of(bids_.begin(), bids_.end(), [c](const Bid& b) { return b.chair == c; });
    if ((RuleFlags() & kRuleBidAfterAll) && allBid) {
        done = 1;
        currentBid_ = card_.defaultBid;
        // The best bid wins; of equal bids, the later.
        for (const Bid& b : bids_) {
            if (b.passed || (low ? b.value > currentBid_ : b.value < currentBid_)) continue;
            currentBid_ = b.value;
            banker_ = b.chair;
        }
        return 1;
    }
    SwitchActiveChair(NextChair(bid.chair));
    return 1;
}

int32_t CCardTable::EndBidding() {
    ClearStatusBits(2);
    SwitchActiveChair(banker_);
    MakeBankerTeams();
    return 1;
}

bool CCardTable::IsBidTimeOver() const {
    return Now() - activityTick_ > static_cast<uint32_t>(card_.bidSeconds + 2) * 1000u;
}

int32_t CCardTable::CopyHand(const int32_t* from, int32_t* to) const {
    if (!from || !to) return 0;
    std::copy(from, from + kKinds, to);
    return 1;
}

}  // namespace hqlv::rules
