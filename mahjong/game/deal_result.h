#pragma once
// What the deal result dialog shows, read from its two copies: the deal result record
// (413 words) and the four fan records (172 bytes each). Every read stays inside the
// copies, whatever the server put in them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hqlv::mahjong {

inline constexpr size_t kDealResultBytes = 1652;
inline constexpr size_t kFanRecordBytes = 172;
inline constexpr size_t kFanRecordsBytes = 4 * kFanRecordBytes;
inline constexpr size_t kFanNamesOff = 1360;
inline constexpr int kFanItems = 32;

struct ResultPlayerRow {
    std::string name, silver, score, status;
    bool operator==(const ResultPlayerRow&) const = default;
};

struct FanRow {
    std::string name, points;
    bool operator==(const FanRow&) const = default;
};

class DealResult {
public:
    // Copies what fits of each; the rest stays zero.
    DealResult(std::span<const uint8_t> result, std::span<const uint8_t> fans);

    int32_t Word(size_t i) const;
    int Winner() const { return Word(170); }
    bool IsDrawn() const { return Word(0) == 2; }
    // The fan item names (UTF-8), split at "|" from the 292 bytes of the name field only.
    std::vector<std::string> FanNames() const;

    // The four rows of the player list. seatName gives the seated name of a chair,
    // chairOfUser the chair of a user id (-1 when the user is not there).
    std::array<ResultPlayerRow, 4> PlayerRows(const std::function<std::string(int)>& seatName,
                                              const std::function<int(int)>& chairOfUser) const;
    // The chair whose items show first; -1 for none. *drawnNote is set when the deal had
    // no winner (the "流局" note shows unless a chair's items follow).
    int FirstChairShown(bool* noWinner) const;
    // The item rows of a chair; nothing when the chair is outside 0-3 or has no record.
    std::optional<std::vector<FanRow>> ItemsOf(int chair) const;

private:
    int32_t FanWord(int record, size_t i) const;

    std::array<uint8_t, kDealResultBytes> result_{};
    std::array<uint8_t, kFanRecordsBytes> fans_{};
};

}  // namespace hqlv::mahjong
