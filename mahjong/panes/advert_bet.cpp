#include "mahjong/panes/advert_bet.h"

#include <QWebEngineUrlScheme>

#include <algorithm>

#include "framework/panes/player_records.h"
#include "framework/app/shared_utils.h"

namespace hqlv::mahjong {
void AdvertBetResults::AddPlayer(int userId, int chair, const std::string& name) {
    if (userId == 0 || name.empty()) return;
    RemovePlayer(userId);
    Row row{userId, chair, name, std::vector<std::string>(columns_.size()), "0"};
    auto at = std::find_if(rows_.begin(), rows_.end(), [chair](const Row& r) { return r.chair > chair; });
    rows_.insert(at, std::move(row));
}

void AdvertBetResults::RemovePlayer(int userId) {
    std::erase_if(rows_, [userId](const Row& r) { return r.userId == userId; });
}

void AdvertBetResults::SyncSeats(const std::vector<Seat>& seats) {
    auto seated = [&](const Row& r) {
        return std::any_of(seats.begin(), seats.end(), [&](const Seat& s) {
            return s.userId == r.userId && s.chair == r.chair && s.name == r.name;
        });
    };
    std::erase_if(rows_, [&](const Row& r) { return !seated(r); });
    for (const Seat& s : seats) {
        const bool has = std::any_of(rows_.begin(), rows_.end(),
                                     [&](const Row& r) { return r.userId == s.userId; });
        if (!has) AddPlayer(s.userId, s.chair, s.name);
    }
}

void AdvertBetResults::Reset() {
    totals_.fill(0);
    columns_.clear();
    for (Row& r : rows_) {
        r.deals.clear();
        r.total = "0";
    }
}

void AdvertBetResults::OnDealResult(int dealNumber, bool silverHistory,
                                    std::span<const uint8_t> result) {
    if (dealNumber <= 0) return;
    const size_t first = silverHistory ? 80 : 72;
    std::array<int32_t, 4> change{};
    for (size_t c = 0; c < 4; ++c) {
        change[c] = framework::LoadWordLE(result.data(), result.size(), first + c);
        totals_[c] += change[c];
    }
    columns_.insert(columns_.begin(), framework::Format("第%d局", dealNumber));
    for (Row& r : rows_) {
        const bool seated = r.chair >= 0 && r.chair < 4;
        r.deals.insert(r.deals.begin(),
                       framework::Format("%d", seated ? change[size_t(r.chair)] : 0));
        r.total = framework::Format("%lld", static_cast<long long>(total(r.chair)));
    }
}

bool AdvertAutoSwitch::OnHover(int hovered, int* current) {
    if (hovered < 0 || hovered == *current) return false;
    *current = hovered;
    if (hovered != 1 || left_ <= 0) return false;
    --left_;
    return true;
}

int AdvertAutoSwitch::OnTimer(int current, bool mouseOverPane, bool* killTimer) {
    if (current == 1 && !mouseOverPane) {
        *killTimer = true;
        return 0;
    }
    *killTimer = current == 0;
    return current;
}

bool BrowserEnginePrepared() {
    return QWebEngineUrlScheme::schemeByName("kvoapp").name() == "kvoapp";
}

std::pair<QRect, QRect> ToolButtonPlaces(int cx, int cy) {
    const int y = (cy - 16) / 2;
    if (cx >= 159) return {QRect(8, y, 55, 16), QRect(88, y + 1, 71, 15)};
    const int x = (cx - 126) / 3;
    return {QRect(x, y, 55, 16), QRect(2 * x + 55, y + 1, 71, 15)};
}

bool ToolSplitterGap(bool hasToolRow, const QPoint& p, const QRect& row3, const QRect& row4) {
    if (!hasToolRow) return false;
    return p.x() >= row3.left() && p.x() <= row3.right() && p.y() > row3.bottom() &&
           p.y() < row4.top();
}

}  // namespace hqlv::mahjong
