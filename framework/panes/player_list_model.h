#pragma once
// What the player list shows, without any window: the rows (seated players in chair
// order, then lookers-on), their cells by column title, the look of each row and the
// content of a row's context menu. The list pane draws these rows; the notification
// handlers change them through the same operations. Every body is checked against its
// length and every chair against 0-7 before anything is read or written.
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "framework/app/app_data.h"
#include "framework/panes/pane_hooks.h"
#include "framework/widgets/column_format.h"

namespace hqlv::framework {

inline constexpr const char* kPlayerColumnsNormal =
    "用户名|140|0|级别|60|0|积分|80|0|银子|60|0|旁观对象|100|0|";
inline constexpr const char* kPlayerColumnsSilver =
    "用户名|140|0|银子|80|0|级别|60|0|积分|60|0|旁观对象|100|0|";

inline constexpr const char* kColLevel = "级别";
inline constexpr const char* kColScore = "积分";
inline constexpr const char* kColSilver = "银子";
inline constexpr const char* kColLookedOn = "旁观对象";

// Relation colours (0x00BBGGRR) and their defaults in the user's data file.
inline constexpr uint32_t kDefaultFriendColor = 0x808040;
inline constexpr uint32_t kDefaultKnowColor = 0xA3835C;
inline constexpr uint32_t kDefaultUnwelcomeColor = 0x303030;

struct PlayerRow {
    int32_t userId = 0;
    int image = -1;  // portrait image index; -1: none
    bool lookerOn = false;
    std::vector<std::string> cells;  // UTF-8, by column; cell 0 is the name
};

struct RowLook {
    bool bold = false;
    std::optional<uint32_t> colour;  // none: the list's own text colour
};

// What a row's context menu shows besides its fixed items.
struct PlayerMenuPlan {
    int32_t userId = 0;
    std::string displayName;           // item 1900
    std::string level, score, silver;  // items 1902, 1903, 1904, already formatted
    bool silverFirst = false;          // silver room: 1904 stands before 1902
    bool callEnabled = false;          // 1905
};

class PlayerListModel {
public:
    explicit PlayerListModel(CGameAppData& app) : app_(app) {}

    // Columns by room kind; the relation colours go off.
    void InitColumns();
    const std::vector<ColumnSpec>& columns() const { return columns_; }
    const std::vector<PlayerRow>& rows() const { return rows_; }
    int FindRow(int32_t userId) const;
    int ColumnOf(std::string_view title) const { return FindColumnTitle(columns_, title); }
    std::string Cell(int row, std::string_view title) const;

    // The room lists only the client's own row (command-line field 13 bit 0x8, seated).
    bool OwnOnly() const;

    // Row index of the added player; -1 when the record is not listed.
    int AddPlayer(const PlayerRecord& record);
    bool RemovePlayer(int32_t userId);
    void RemoveLookerOn(int32_t userId);
    void Clear() { rows_.clear(); }
    // Every row anew: the 8 seats in chair order, then (when asked) the 64 lookers-on.
    void Refill(bool withLookers);

    void OnPlayersUpdate(Body b);
    // The game's result record: word 2 seat count; per seat words 40+i, 48+i, 72+i, 80+i,
    // 96+i and a 16-byte level text at byte 416 + 16i. Changes the seat records too.
    void UpdateScores(Body b);
    void OnSilverChanged(Body b);
    void OnPrizeNotice(Body b);
    void OnScoreAdded(Body b);
    void OnSeatRecordChanged(Body b);

    void EnableRelationColours(bool on) { relation_ = on; }
    bool relationColours() const { return relation_; }
    void SetColours(uint32_t friendColour, uint32_t knowColour, uint32_t unwelcomeColour) {
        friend_ = friendColour;
        know_ = knowColour;
        unwelcome_ = unwelcomeColour;
    }
    RowLook LookOf(int row) const;

    // The user set the game layer fills.
    void AddToUserSet(int32_t userId) { userSet_.insert(userId); }
    bool IsInUserSet(int32_t userId) const { return userSet_.count(userId) != 0; }
    void RemoveFromUserSet(int32_t userId) { userSet_.erase(userId); }
    void ClearUserSet() { userSet_.clear(); }
    size_t UserSetSize() const { return userSet_.size(); }

    std::optional<PlayerMenuPlan> MenuPlan(int row) const;
    // Calling a player: nothing in the own-only room or for a user without a record.
    bool CanCall(int32_t userId) const;
    // The call's record as the server's 201200 notice lays it out (40 bytes).
    std::array<uint8_t, 40> CallRecord(int32_t calledUser) const;

    CGameAppData& app() { return app_; }

private:
    void SetCell(int row, std::string_view title, std::string text);
    void SetCellByUser(int32_t userId, std::string_view title, std::string text);
    // The seat record of a chair read from a body; null when the chair is outside 0-7.
    PlayerRecord* SeatOf(int32_t chair);

    CGameAppData& app_;
    std::vector<ColumnSpec> columns_;
    std::vector<PlayerRow> rows_;
    bool relation_ = false;
    uint32_t friend_ = kDefaultFriendColor, know_ = kDefaultKnowColor,
             unwelcome_ = kDefaultUnwelcomeColor;
    std::set<int32_t> userSet_;
};

}  // namespace hqlv::framework
