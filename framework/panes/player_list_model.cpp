#include "framework/panes/player_list_model.h"

#include <algorithm>
#include <cstring>

#include "framework/app/text_edge.h"
#include "platform/core/diag.h"

namespace hqlv::framework {
namespace {

bool HasWords(Body b, size_t words) {
    return b.data && b.size >= words * 4;
}
int32_t Word(Body b, size_t i) {
    return LoadWordLE(b.data, b.size, i);
}
bool ValidChair(int32_t c) {
    return c >= 0 && c < kSeatCount;
}
std::string Num(int32_t v) {
    return std::to_string(v);
}

void Refused(const char* what, Body b) {
    platform::diagf("player list: %s body of %zu bytes refused", what, b.size);
}

}  // namespace

void PlayerListModel::InitColumns() {
    columns_ = ParseColumnSpec(app_.IsSilverRoom() ? kPlayerColumnsSilver : kPlayerColumnsNormal);
    relation_ = false;
}

int PlayerListModel::FindRow(int32_t userId) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].userId == userId) return int(i);
    return -1;
}

std::string PlayerListModel::Cell(int row, std::string_view title) const {
    int col = ColumnOf(title);
    if (row < 0 || size_t(row) >= rows_.size() || col < 0) return {};
    const auto& cells = rows_[size_t(row)].cells;
    return size_t(col) < cells.size() ? cells[size_t(col)] : std::string();
}

void PlayerListModel::SetCell(int row, std::string_view title, std::string text) {
    int col = ColumnOf(title);
    if (row < 0 || size_t(row) >= rows_.size() || col < 0) return;
    auto& cells = rows_[size_t(row)].cells;
    if (cells.size() <= size_t(col)) cells.resize(size_t(col) + 1);
    cells[size_t(col)] = std::move(text);
}

void PlayerListModel::SetCellByUser(int32_t userId, std::string_view title, std::string text) {
    SetCell(FindRow(userId), title, std::move(text));
}

PlayerRecord* PlayerListModel::SeatOf(int32_t chair) {
    return ValidChair(chair) ? app_.SeatMutable(chair) : nullptr;
}

bool PlayerListModel::OwnOnly() const {
    return app_.TestCmdField13Bit8() && app_.GetCmdField8() == 0;
}

int PlayerListModel::AddPlayer(const PlayerRecord& record) {
    const int32_t user = record.userId();
    if (OwnOnly() && user != app_.GetUserID()) return -1;
    const std::string name = GbkToUtf8(record.name());
    if (user == 0 || name.empty()) return -1;
    if (int old = FindRow(user); old >= 0) rows_.erase(rows_.begin() + old);

    const bool looker = record.word(PlayerRecord::kLookerOn) != 0;
    size_t at = rows_.size();
    if (!looker) {
        for (size_t i = 0; i < rows_.size(); ++i) {
            const int32_t other = rows_[i].userId;
            if (app_.IsLookerOn(other) || app_.GetPlayerChair(other) > record.chair()) {
                at = i;
                break;
            }
        }
    }
    PlayerRow row;
    row.userId = user;
    row.lookerOn = looker;
    row.image = looker ? -1 : app_.GetPortraitIndex(record.word(PlayerRecord::kPortrait));
    row.cells.resize(std::max<size_t>(columns_.size(), 1));
    row.cells[0] = name;
    rows_.insert(rows_.begin() + long(at), std::move(row));
    const int r = int(at);
    SetCell(r, kColLevel,
            GbkToUtf8(record.text(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen)));
    SetCell(r, kColScore, Num(record.word(PlayerRecord::kScore)));
    SetCell(r, kColSilver, Num(record.word(PlayerRecord::kSilver)));
    if (looker) SetCell(r, kColLookedOn, app_.GetSeatName(record.chair()));
    return r;
}

bool PlayerListModel::RemovePlayer(int32_t userId) {
    int r = FindRow(userId);
    if (r < 0) return false;
    rows_.erase(rows_.begin() + r);
    return true;
}

void PlayerListModel::RemoveLookerOn(int32_t userId) {
    RemovePlayer(userId);
    userSet_.erase(userId);
}

void PlayerListModel::Refill(bool withLookers) {
    rows_.clear();
    for (int c = 0; c < kSeatCount; ++c) AddPlayer(app_.seat(c));
    if (!withLookers) return;
    for (int i = 0; i < kLookerCount; ++i) AddPlayer(app_.looker(i));
}

void PlayerListModel::OnPlayersUpdate(Body b) {
    if (!HasWords(b, 1)) return Refused("211030", b);
    const int32_t n = Word(b, 0);
    auto entryUser = [&](int32_t i) -> std::optional<int32_t> {
        const size_t off = 20 + size_t(i) * 52;
        if (i < 0 || off + 52 > b.size) return std::nullopt;
        return LoadWordLE(b.data + off, 52, 0);
    };
    auto refresh = [&](int32_t user) {
        const PlayerRecord* r = app_.GetPlayerRecord(user);
        int row = FindRow(user);
        if (!r || row < 0) return;
        SetCell(row, kColLevel,
                GbkToUtf8(r->text(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen)));
        SetCell(row, kColScore, Num(r->word(PlayerRecord::kScore)));
        SetCell(row, kColSilver, Num(r->word(PlayerRecord::kSilver)));
    };
    if (OwnOnly()) {
        const int32_t own = app_.GetChairNo();
        if (own < 0 || own >= n) return;
        auto user = entryUser(own);
        if (user && *user == app_.GetUserID()) refresh(*user);
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        auto user = entryUser(i);
        if (!user) break;
        refresh(*user);
    }
}

void PlayerListModel::UpdateScores(Body b) {
    if (!HasWords(b, 3)) return Refused("result", b);
    const int32_t n = std::clamp<int32_t>(Word(b, 2), 0, kSeatCount);
    auto apply = [&](int32_t i, int row) {
        const size_t textOff = 416 + size_t(i) * 16;
        // The seat's level text is the last of its fields in the record.
        if (textOff + 16 > b.size) return false;
        PlayerRecord* seat = SeatOf(i);
        if (!seat) return false;
        size_t len = 0;
        while (len < 16 && b.data[textOff + len]) ++len;
        std::string level(reinterpret_cast<const char*>(b.data + textOff), len);
        seat->setWord(PlayerRecord::kLevel, Word(b, 96 + size_t(i)));
        seat->setText(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen, level);
        const int32_t score = SaturatedSum(Word(b, 72 + size_t(i)), Word(b, 40 + size_t(i)));
        const int32_t silver = SaturatedSum(Word(b, 80 + size_t(i)), Word(b, 48 + size_t(i)));
        seat->setWord(PlayerRecord::kScore, score);
        seat->setWord(PlayerRecord::kSilver, silver);
        SetCell(row, kColLevel,
                GbkToUtf8(seat->text(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen)));
        SetCell(row, kColScore, Num(score));
        SetCell(row, kColSilver, Num(silver));
        return true;
    };
    if (OwnOnly()) {
        const int32_t own = app_.GetChairNo();
        if (own >= 0 && own < n) apply(own, FindRow(app_.GetUserID()));
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        // The seat's own row: the same as row i while every chair is taken, and right
        // when one is empty.
        const int32_t user = app_.seat(i).userId();
        if (!apply(i, user ? FindRow(user) : -1)) {
            Refused("result (cut inside the level texts)", b);
            break;
        }
    }
}

void PlayerListModel::OnSilverChanged(Body b) {
    if (!HasWords(b, 5)) return Refused("211420", b);
    PlayerRecord* seat = SeatOf(Word(b, 1));
    if (!seat) return;
    seat->setWord(PlayerRecord::kSilver, Word(b, 4));
    SetCellByUser(Word(b, 0), kColSilver, Num(Word(b, 4)));
}

void PlayerListModel::OnPrizeNotice(Body b) {
    if (!HasWords(b, 29)) return Refused("230000", b);
    PlayerRecord* seat = SeatOf(Word(b, 28));
    const int32_t user = Word(b, 0);
    if (!seat || seat->userId() != user || Word(b, 1) != 2 || Word(b, 3) != app_.GetGameID())
        return;
    if (Word(b, 2) == 0)
        SetCellByUser(user, kColSilver, Num(seat->word(PlayerRecord::kSilver)));
    else if (Word(b, 2) == 1)
        SetCellByUser(user, kColScore, Num(seat->word(PlayerRecord::kScore)));
}

void PlayerListModel::OnScoreAdded(Body b) {
    if (!HasWords(b, 3)) return Refused("230002", b);
    PlayerRecord* seat = SeatOf(Word(b, 2));
    if (!seat) return;
    SetCellByUser(Word(b, 0), kColScore, Num(seat->word(PlayerRecord::kScore)));
}

void PlayerListModel::OnSeatRecordChanged(Body b) {
    if (!HasWords(b, 39)) return Refused("230001", b);
    PlayerRecord* seat = SeatOf(Word(b, 38));
    const int32_t user = Word(b, 0);
    if (!seat || seat->userId() != user) return;
    SetCellByUser(user, kColSilver, Num(seat->word(PlayerRecord::kSilver)));
    SetCellByUser(user, kColScore, Num(seat->word(PlayerRecord::kScore)));
}

RowLook PlayerListModel::LookOf(int row) const {
    RowLook look;
    if (row < 0 || size_t(row) >= rows_.size()) return look;
    const int32_t user = rows_[size_t(row)].userId;
    if (user == app_.GetUserID()) {
        look.bold = true;
        return look;
    }
    if (!relation_) return look;
    if (app_.GetPlayerMark1(user))
        look.colour = friend_;
    else if (app_.GetPlayerMark3(user))
        look.colour = know_;
    else if (app_.GetPlayerMark2(user))
        look.colour = unwelcome_;
    return look;
}

std::optional<PlayerMenuPlan> PlayerListModel::MenuPlan(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) return std::nullopt;
    PlayerMenuPlan plan;
    plan.userId = rows_[size_t(row)].userId;
    plan.displayName = app_.GetPlayerDisplayName(plan.userId);
    plan.level = "级别：" + Cell(row, kColLevel);
    plan.score = "积分：" + Cell(row, kColScore) + "分";
    plan.silver = "银子：" + Cell(row, kColSilver) + "两";
    plan.silverFirst = app_.IsSilverRoom();
    plan.callEnabled = plan.userId != app_.GetUserID() && app_.GetCmdField8() == 0 &&
                       !app_.IsLookerOn(plan.userId);
    return plan;
}

bool PlayerListModel::CanCall(int32_t userId) const {
    return !app_.TestCmdField13Bit8() && app_.GetPlayerRecord(userId) != nullptr;
}

std::array<uint8_t, 40> PlayerListModel::CallRecord(int32_t calledUser) const {
    std::array<uint8_t, 40> rec{};
    const int32_t words[6] = {app_.GetUserID(),  app_.GetRoomID(), app_.GetTableNo(),
                              app_.GetChairNo(), calledUser,       app_.GetPlayerChair(calledUser)};
    for (size_t i = 0; i < 6; ++i) StoreWordLE(rec.data(), rec.size(), i, words[i]);
    return rec;
}

}  // namespace hqlv::framework
