#include "framework/app/app_data.h"

#include <algorithm>
#include <cstring>

#include "framework/app/text_edge.h"
#include "framework/hall/hall_records.h"
#include "platform/core/bytes.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

using platform::ByteReader;

CGameAppData::CGameAppData(std::string gameCode, int defaultPort, int versionMajor,
                           int versionMinor)
    : HallEntry(std::move(gameCode), defaultPort, versionMajor, versionMinor) {}

std::string CGameAppData::GameDisplayNameText() const {
    return GbkToUtf8(GetGameDisplayName());
}
std::string CGameAppData::RoomNameText() const {
    // The room's name has 68 bytes, more than the other texts of the record.
    const auto& r = HallRecord();
    const char* p = reinterpret_cast<const char*>(r.data() + 212);
    return GbkToUtf8(std::string_view(p, strnlen(p, 68)));
}
std::string CGameAppData::WebBaseText() const {
    return GbkToUtf8(GetWebBaseUrl());
}

int CGameAppData::TableWord(size_t i) const {
    const auto& t = TableRecord();
    if (i * 4 + 4 > t.size()) return 0;
    return int32_t(uint32_t(t[i * 4]) | uint32_t(t[i * 4 + 1]) << 8 | uint32_t(t[i * 4 + 2]) << 16 |
                   uint32_t(t[i * 4 + 3]) << 24);
}

void CGameAppData::SetTableWord(size_t i, int32_t v) {
    auto& t = TableRecord();
    if (i * 4 + 4 > t.size()) return;
    for (int b = 0; b < 4; ++b) t[i * 4 + b] = static_cast<uint8_t>(uint32_t(v) >> (8 * b));
}

const PlayerRecord* CGameAppData::GetPlayerRecord(int userId) const {
    return const_cast<CGameAppData*>(this)->GetPlayerRecordMutable(userId);
}

PlayerRecord* CGameAppData::GetPlayerRecordMutable(int userId) {
    // User id 0 marks an empty record, which is nobody's: a look-up of 0 would otherwise
    // find the first empty seat and let a notification about "user 0" change a seat that
    // no player holds (its chair, status, flag or score).
    if (userId == 0) return nullptr;
    for (auto& r : seats_)
        if (r.userId() == userId) return &r;
    for (auto& r : lookers_)
        if (r.userId() == userId) return &r;
    return nullptr;
}

const PlayerRecord* CGameAppData::GetSeatedRecord(int userId) const {
    if (userId == 0) return nullptr;
    for (const auto& r : seats_)
        if (r.userId() == userId) return &r;
    return nullptr;
}

PlayerRecord* CGameAppData::SeatMutable(int chair) {
    return chair < 0 || chair >= kSeatCount ? nullptr : &seats_[chair];
}
PlayerRecord* CGameAppData::LookerMutable(int i) {
    return i < 0 || i >= kLookerCount ? nullptr : &lookers_[i];
}

int CGameAppData::GetSeatUserID(int chair) const {
    return chair < 0 || chair >= kSeatCount ? 0 : seats_[chair].userId();
}

static std::string displayName(const PlayerRecord& r) {
    std::string name = GbkToUtf8(r.name());
    std::string alias = r.alias();
    if (alias.empty()) return name;
    return name + "[" + GbkToUtf8(alias) + "]";
}

std::string CGameAppData::GetSeatName(int chair) const {
    return chair < 0 || chair >= kSeatCount ? std::string() : GbkToUtf8(seats_[chair].name());
}
std::string CGameAppData::GetSeatDisplayName(int chair) const {
    return chair < 0 || chair >= kSeatCount ? std::string() : displayName(seats_[chair]);
}
std::string CGameAppData::GetPlayerNameById(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? GbkToUtf8(r->name()) : std::string();
}
std::string CGameAppData::GetPlayerDisplayName(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? displayName(*r) : std::string();
}
int CGameAppData::GetPlayerPortrait(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? r->word(PlayerRecord::kPortrait) : 0;
}
int CGameAppData::GetPlayerChair(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? r->chair() : -1;
}
int CGameAppData::IsPlayerFlag1(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? (r->word(PlayerRecord::kFlags) & 1) : 0;
}
int CGameAppData::IsLookerOn(int userId) const {
    if (userId == 0) return 0;
    for (auto& r : seats_)
        if (r.userId() == userId) return 0;
    for (auto& r : lookers_)
        if (r.userId() == userId) return 1;
    return 0;
}
int CGameAppData::GetPlayerMark1(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? r->word(PlayerRecord::kMark1) : 0;
}
int CGameAppData::GetPlayerMark2(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? r->word(PlayerRecord::kMark2) : 0;
}
int CGameAppData::GetPlayerMark3(int userId) const {
    const PlayerRecord* r = GetPlayerRecord(userId);
    return r ? r->word(PlayerRecord::kMark3) : 0;
}

void CGameAppData::ConvertEntry(PlayerRecord& record, const PlayerEntry& entry) const {
    ConvertPlayerEntry(record, entry, [this](int level) { return GetLevelTitle(level); });
}

namespace {
// Reads entry i of a body whose entries start at byte `first`; false when the body is short.
bool entryAt(const void* data, size_t len, size_t first, size_t i, PlayerEntry& out) {
    size_t off = first + i * PlayerEntry::kSize;
    if (off > len || len - off < PlayerEntry::kSize) return false;
    return out.loadFrom(static_cast<const uint8_t*>(data) + off, PlayerEntry::kSize);
}
}  // namespace

bool CGameAppData::OnSeatAssigned(const void* data, size_t len) {
    ByteReader in(data, len);
    in.u32();
    int32_t table = in.i32();
    int32_t n = in.i32();
    // Entry i fills seat i: a count above the eight seats would fill records there are none
    // of. A count below 1 fills nothing and is taken as it stands.
    const size_t entries = n > 0 ? size_t(n) : 0;
    if (!in.ok() || n > kSeatCount || len < 64 + entries * PlayerEntry::kSize) {
        platform::diagf("seat assignment refused: %zu bytes, %d players", len, n);
        return false;
    }
    for (int i = 0; i < n; ++i) {
        if (in.i32() == GetUserID()) SetChairNo(i);
    }
    SetTableNo(table);
    SetTableWord(0, table);
    SetTableWord(2, n);
    for (auto& r : seats_) r.clear();
    for (int i = 0; i < n; ++i) {
        PlayerEntry e;
        if (!entryAt(data, len, 64, size_t(i), e)) break;
        ConvertEntry(seats_[i], e);
    }
    return true;
}

bool CGameAppData::OnTableInfo(const void* data, size_t len) {
    ByteReader in(data, len);
    in.skip(8);
    int32_t table = in.i32();
    int32_t chair = in.i32();
    int32_t n = in.i32();
    // Every entry is placed by its own chair, so any count is safe to take: one below 1
    // places nothing, one above the eight chairs places its entries at the chairs they
    // name. Only a body without its head or without all the entries its count names is
    // refused.
    const size_t entries = n > 0 ? size_t(n) : 0;
    if (!in.ok() || len < 68 || (len - 68) / PlayerEntry::kSize < entries) {
        platform::diagf("table information refused: %zu bytes, %d players", len, n);
        return false;
    }
    // The user's chair is stored as the server names it, as the hall's command line's is:
    // every reader of the own chair bounds it before indexing. Only the players' chairs
    // place records here.
    SetChairNo(chair);
    SetTableNo(table);
    SetTableWord(0, table);
    SetTableWord(2, n);
    for (auto& r : seats_) r.clear();
    for (size_t i = 0; i < entries; ++i) {
        PlayerEntry e;
        entryAt(data, len, 68, i, e);
        int c = e.word(PlayerEntry::kChair);
        if (c < 0 || c >= kSeatCount) continue;  // a chair outside the table is skipped
        ConvertEntry(seats_[c], e);
    }
    return true;
}

bool CGameAppData::UpdatePlayers(const void* data, size_t len) {
    if (!data || len < 1) return false;
    ByteReader in(data, len);
    in.skip(8);
    int32_t n = in.i32();
    if (!in.ok() || n < 0 || len < 60 + size_t(n) * PlayerEntry::kSize) {
        platform::diagf("player list refused: %zu bytes, %d players", len, n);
        return false;
    }
    for (int i = 0; i < n && i < kSeatCount; ++i) {
        PlayerEntry e;
        entryAt(data, len, 60, size_t(i), e);
        if (e.word(PlayerEntry::kUserId) == GetUserID()) continue;
        ConvertEntry(seats_[i], e);
    }
    LoadSeatPortraits();
    size_t tail = 60 + size_t(n) * PlayerEntry::kSize;
    if (len > tail) {
        SetTableDataFlag(GetCmdField8() == 0 ? 1 : 0);
        // The block is the game's fixed area: a longer tail than it holds would be written
        // past its end, so the copy stops there and the rest is dropped with a line.
        const std::span<uint8_t> block = GetTableDataBlock();
        const size_t n = std::min(len - tail, block.size());
        if (n) std::memcpy(block.data(), static_cast<const uint8_t*>(data) + tail, n);
        if (n < len - tail && !block.empty())
            platform::diagf("table data cut: %zu bytes, the block holds %zu", len - tail,
                            block.size());
    }
    return true;
}

bool CGameAppData::UpdateSeatNames(const void* data, size_t len) {
    constexpr size_t kEntry = 52;
    if (!data || len < kEntry * kSeatCount) return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (int c = 0; c < kSeatCount; ++c) {
        WordBlock<52> e;
        e.loadFrom(p + c * kEntry, kEntry);
        int uid = seats_[c].userId();
        if (uid >= 1 && e.word(0) == uid)
            seats_[c].setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen, e.text(4, 48));
    }
    return true;
}

static bool updateSeatValue(CGameAppData& app, const void* data, size_t len, size_t size,
                            size_t chairWord) {
    if (!data || len < size) return false;
    ByteReader in(data, len);
    int32_t w[7];
    for (auto& v : w) v = in.i32();
    in.seek(chairWord * 4);
    int32_t chair = in.i32();
    PlayerRecord* seat = app.SeatMutable(chair);
    if (!in.ok() || !seat) return false;
    if (w[0] != seat->userId() || w[1] != 2 || w[3] != app.GetGameID()) return false;
    if (w[2] == 0)
        seat->setWord(PlayerRecord::kSilver, w[6]);
    else if (w[2] == 1)
        seat->setWord(PlayerRecord::kScore, w[6]);
    else
        return false;
    return true;
}

bool CGameAppData::UpdateSeatSilver(const void* data, size_t len) {
    return updateSeatValue(*this, data, len, 116, 28);
}
bool CGameAppData::UpdateSeatRecord(const void* data, size_t len) {
    return updateSeatValue(*this, data, len, 156, 38);
}

bool CGameAppData::AddSeatScore(const void* data, size_t len) {
    ByteReader in(data, len);
    int32_t uid = in.i32();
    in.i32();
    int32_t chair = in.i32();
    int32_t delta = in.i32();
    PlayerRecord* seat = SeatMutable(chair);
    // An empty seat (user id 0) is nobody's and takes no score, as in every look-up by id.
    if (!in.ok() || !seat || seat->userId() != uid || uid == 0) return false;
    seat->setWord(PlayerRecord::kScore, SaturatedSum(seat->word(PlayerRecord::kScore), delta));
    return true;
}

int CGameAppData::SetPlayerStatus(const void* data, size_t len) {
    ByteReader in(data, len);
    int32_t uid = in.i32(), chair = in.i32(), status = in.i32();
    if (!in.ok() || chair < 0 || chair >= kSeatCount || status < 0) return 0;
    PlayerRecord* r = GetPlayerRecordMutable(uid);
    if (!r || r->chair() != chair || r->word(PlayerRecord::kStatus) == status) return 0;
    r->setWord(PlayerRecord::kStatus, status);
    return 1;
}

int CGameAppData::SetPlayerFlag(const void* data, size_t len) {
    ByteReader in(data, len);
    int32_t uid = in.i32(), chair = in.i32(), on = in.i32();
    if (!in.ok() || chair < 0 || chair >= kSeatCount) return 0;
    PlayerRecord* r = GetPlayerRecordMutable(uid);
    if (!r || r->chair() != chair) return 0;
    int32_t flags = r->word(PlayerRecord::kFlags);
    int32_t next = on ? (flags | 1) : (flags & ~1);
    if (next == flags) return 0;
    r->setWord(PlayerRecord::kFlags, next);
    return 1;
}

void CGameAppData::LoadSeatPortraits() {
    for (auto& r : seats_)
        if (r.userId() != 0) AddPortrait(r.word(PlayerRecord::kPortrait));
}

int CGameAppData::AddPortrait(int portrait) {
    auto it = portraitIndex_.find(portrait);
    if (it != portraitIndex_.end()) return it->second;
    int index = AddPortraitImage(portrait);
    portraitIndex_[portrait] = index;
    return index;
}

int CGameAppData::AddPortraitImage(int) {
    return nextPortraitIndex_++;
}

int CGameAppData::GetPortraitIndex(int portrait) const {
    auto it = portraitIndex_.find(portrait);
    return it == portraitIndex_.end() ? -1 : it->second;
}

std::string CGameAppData::GetLevelTitle(int level) const {
    auto it = levelTitles_.find(level);
    return it == levelTitles_.end() ? std::string() : it->second;
}

int CGameAppData::ApplyHallTableState(const HallTableState& s) {
    SetHallRecord(s.hall.raw.data(), s.hall.raw.size());
    SetTableRecord(s.table.raw.data(), s.table.raw.size());
    // The state replaces the seats and lookers-on whole: nothing of an earlier state stays.
    for (auto& r : seats_) r.clear();
    for (auto& r : lookers_) r.clear();
    const bool filter = TestCmdField13Bit40() && !TestCmdField13Bit2();
    int stored = 0;
    for (const PlayerRecord& r : s.seated) {
        int c = r.chair();
        if (c < 0 || c >= kSeatCount) continue;
        if (filter && c != GetChairNo() && r.word(PlayerRecord::kKind) == 12) continue;
        seats_[c] = r;
        ++stored;
    }
    for (size_t i = 0; i < s.lookers.size() && i < lookers_.size(); ++i) lookers_[i] = s.lookers[i];
    for (size_t i = 0; i < s.texts.size(); ++i) levelTitles_[int(i)] = s.texts[i];
    seatedCount_ = stored;
    if (s.rooms) {
        SetRoomListMode(s.rooms->mode);
        for (const RoomRecord& room : s.rooms->records) AppendRoom(room);
    }
    const PlayerRecord* own = GetPlayerRecord(GetUserID());
    return own && own->word(PlayerRecord::kLookerOn) == GetCmdField8() &&
                   own->chair() == GetChairNo()
               ? 1
               : 0;
}

PlayerRecord* CGameAppData::AddLookerOn(const PlayerRecord& record) {
    for (auto& r : lookers_) {
        if (r.userId() == 0) {
            r = record;
            return &r;
        }
    }
    return nullptr;
}

void CGameAppData::SetRoomListMode(int mode) {
    roomMode_ = mode;
    rooms_.clear();
}

void CGameAppData::AppendRoom(const RoomRecord& room) {
    rooms_.push_back(room);
}

int CGameAppData::FindRoom(int flag) {
    if (IsPlaying()) return -1;
    size_t at = rooms_.size();
    for (size_t i = 0; i < rooms_.size(); ++i)
        if (rooms_[i].word(0) == GetRoomID()) {
            at = i;
            break;
        }
    if (at == rooms_.size()) return -1;
    size_t cand;
    if (flag == 1) {
        if (at == 0) return -1;
        cand = at - 1;
    } else {
        if (at + 1 >= rooms_.size()) return -1;
        cand = at + 1;
    }
    const RoomRecord& room = rooms_[cand];
    const PlayerRecord* own = GetSeatedRecord(GetUserID());
    int silver = own ? own->word(PlayerRecord::kSilver) : 0;
    int score = own ? own->word(PlayerRecord::kScore) : 0;
    if (roomMode_ == 0) {
        if (!(score > room.word(3) && score <= room.word(4))) return -1;
    } else if (roomMode_ == 1) {
        if (!(silver > room.word(1) && score <= room.word(2))) return -1;
    }
    return room.word(0);
}

}  // namespace hqlv::framework
