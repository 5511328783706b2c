#pragma once
// CMJGameInfo: the deal state. It answers the panes' and the scene's questions about the
// last deal record (notification 211040) and the last result record (211080), formats the
// history and winners' lines, names the units and sizes the main frame's panes. The
// mahjong layer keeps no records of its own: this game's holder (CGameInfoEx) stores them
// and hands them out through the record operations; without records every accessor
// answers 0.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "mahjong/scene/scene_host.h"
#include "mahjong/scene/seat_geometry.h"

namespace hqlv::mahjong {

// Deal record layout (32-bit little-endian words).
inline constexpr size_t kDealRecordWords = 233;
inline constexpr size_t kDealRecordBytes = kDealRecordWords * 4;
inline constexpr size_t kDealAreaBytes = 5028;
// The table state an entry (or 201140) brings: a player's, and a looker-on's.
inline constexpr size_t kPlayerStateBytes = 5028;
inline constexpr size_t kLookerStateBytes = 948;
inline constexpr size_t kDealListWord = 53;  // 32 entries, ended by −1 when shorter
inline constexpr size_t kDealChairWord = 49;  // four per-chair words
// Result record layout.
inline constexpr size_t kResultWords = 413;
inline constexpr size_t kResultBytes = kResultWords * 4;
inline constexpr size_t kResultCountWord = 181;
inline constexpr size_t kResultEntryBytes = 172;
inline constexpr int kResultMaxEntries = 4;
inline constexpr size_t kResultChairListWord = 212;
// Four per-chair counts of the chair's final tiles: the list may hold more (melded) ids after.
inline constexpr size_t kResultChairCountWord = 208;
inline constexpr size_t kListLength = 32;

using MJList = std::array<int32_t, kListLength>;

class CMJGameInfo : public CSeatGeometry {
public:
    // ---- the records (this game's holder fills these)
    // Takes a deal record; false (and nothing changed) when it is too short.
    virtual bool SetRoundResult(MJData) { return false; }
    virtual bool SetGameResult(MJData) { return false; }
    virtual std::span<const uint8_t> GetRoundRecord() const { return {}; }
    virtual std::span<const uint8_t> GetRoundRecordPart() const;
    virtual std::span<const uint8_t> GetResultRecord() const { return {}; }
    // Writable deal area (the 201140 reply and the deal-record hook land here).
    virtual std::span<uint8_t> GetRoundRecordArea() { return {}; }

    // The length of the game data last stored into the deal area (an entry's or 201140's
    // table state); 0 before any.
    void SetStateBytes(size_t n) { m_stateBytes = n; }
    size_t GetStateBytes() const { return m_stateBytes; }

    // ---- words of the records; 0 outside them
    int RoundWord(size_t i) const;
    int ResultWord(size_t i) const;
    void SetRoundWord(size_t i, int32_t v);

    // ---- record accessors
    int GetDealNumber() const { return RoundWord(8); }
    int GetSilverAmount() const { return RoundWord(9); }
    int GetScoreAmount() const { return RoundWord(10); }
    int GetBankerChair() const { return RoundWord(11); }
    int GetDealFlags() const { return RoundWord(14); }
    void SetDealFlags(int v) { SetRoundWord(14, v); }
    bool CanViewTiles() const { return (RoundWord(14) & 1) != 0; }
    bool DealFlagBit8() const { return (RoundWord(14) & 0x100) != 0; }
    bool IsSilverHistory() const { return RoundWord(21) != 0; }
    bool HasChair36() const { return RoundWord(36) != -1; }
    bool IsNoWinner() const { return (ResultWord(0) & 0x2) != 0; }
    bool ResultBit(uint32_t bit) const { return (uint32_t(ResultWord(0)) & bit) != 0; }
    void GetDealWords23(int out[4]) const;

    // ---- lists
    // The deal record's 32-entry list; → entries before the first −1 (32 without one).
    int GetRoundList(MJList& out) const;
    // The result record's list of a chair (0 to 3); another chair: an empty list, 0.
    int GetChairList(int chair, MJList& out) const;
    // Deal record word 49 + i; 0 when that word lies outside the deal record.
    int GetRoundListItem(int i) const;

    // ---- texts
    virtual std::string GetFanUnit() const { return {}; }
    virtual std::string GetKongUnit() const { return "杠"; }
    virtual std::string GetEmptyText() const { return {}; }
    // The deal's history line (chat and score history).
    virtual void FormatHistory(std::string& text) const;
    // The winners' line, or the drawn deal's line.
    virtual std::string FormatRoundLine() const;

    // ---- frame sizes
    int GetSizeA() const { return 250; }
    int GetSizeB() const { return 24; }
    int GetTableWidth() const;
    // The same rule for a frame of the given width: seven ninths, 10 less on a small screen.
    int GetTableWidth(int frameWidth) const;
    int GetScreenSixth() const;
    int GetOperateBarHeight() const;
    int GetPlayerListHeight() const;
    int GetInfoRowHeight() const;

protected:
    bool IsSmall() const;
    size_t m_stateBytes = 0;
    // The seated name of a chair; empty for a chair outside 0 to 7.
    std::string SeatName(int chair) const;
};

// The 32 list entries from a word offset of a record; → the count before the first −1.
int CopyList(std::span<const uint8_t> record, size_t word, MJList& out);

}  // namespace hqlv::mahjong
