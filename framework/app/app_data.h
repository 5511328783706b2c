#pragma once
// The application's data, without any window: the entry record (the hall's command line
// and its first data message, kept by HallEntry), the player records of
// the table (8 seats, 64 lookers-on), the level titles, the room list and the portrait
// index. The application class derives from it; the notification handlers, the hall
// data handling and the panes read and change it through these operations. Every
// operation that takes a body from the server or the hall takes its length and checks it.
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "framework/connection/hall_entry.h"
#include "framework/panes/player_records.h"

namespace hqlv::framework {

using HallRecord = WordBlock<444>;
struct HallTableState;
using TableRecord = WordBlock<176>;
using RoomRecord = WordBlock<64>;

class CGameAppData : public HallEntry {
public:
    CGameAppData(std::string gameCode, int defaultPort, int versionMajor, int versionMinor);
    virtual ~CGameAppData() = default;

    bool IsDisconnectedWhilePlaying() const { return disconnectedWhilePlaying_; }
    void SetDisconnectedWhilePlaying(bool on) { disconnectedWhilePlaying_ = on; }
    int GetNoticeInterval() const { return HallWord(70); }
    // The hall record's texts as UTF-8.
    std::string GameDisplayNameText() const;
    std::string RoomNameText() const;
    std::string WebBaseText() const;
    int TableWord(size_t i) const;
    void SetTableWord(size_t i, int32_t v);
    int GetSeatedCount() const { return seatedCount_; }

    // ---- player look-ups (seated records first, then lookers-on)
    const PlayerRecord* GetPlayerRecord(int userId) const;
    PlayerRecord* GetPlayerRecordMutable(int userId);
    // The seated record of a user id (the looker-on records are not searched); none when
    // the user sits at no chair of the table.
    const PlayerRecord* GetSeatedRecord(int userId) const;
    const PlayerRecord& seat(int chair) const { return seats_[ClampChair(chair)]; }
    const PlayerRecord& looker(int i) const { return lookers_[i < 0 || i >= 64 ? 0 : i]; }
    PlayerRecord* SeatMutable(int chair);
    PlayerRecord* LookerMutable(int i);
    int GetSeatUserID(int chair) const;
    std::string GetSeatName(int chair) const;
    std::string GetSeatDisplayName(int chair) const;
    std::string GetPlayerNameById(int userId) const;
    std::string GetPlayerDisplayName(int userId) const;
    int GetPlayerPortrait(int userId) const;
    int GetPlayerChair(int userId) const;
    int IsPlayerFlag1(int userId) const;
    int IsLookerOn(int userId) const;
    int GetPlayerMark1(int userId) const;
    int GetPlayerMark2(int userId) const;
    int GetPlayerMark3(int userId) const;

    // ---- changes from the server's bodies (data, length); malformed bodies change nothing
    // and return false.
    virtual bool OnSeatAssigned(const void* data, size_t len);
    virtual bool OnTableInfo(const void* data, size_t len);
    virtual bool UpdatePlayers(const void* data, size_t len);
    virtual bool UpdateSeatNames(const void* data, size_t len);
    virtual bool UpdateSeatSilver(const void* data, size_t len);
    virtual bool UpdateSeatRecord(const void* data, size_t len);
    virtual bool AddSeatScore(const void* data, size_t len);
    // 1 only when the status / flag changed.
    virtual int SetPlayerStatus(const void* data, size_t len);
    virtual int SetPlayerFlag(const void* data, size_t len);
    void ConvertEntry(PlayerRecord& record, const PlayerEntry& entry) const;

    // The block into which extra table data are copied (the table data after a player
    // list's entries, the game data of an entry and of request 201140); none in the
    // framework. The copies stop at its end.
    virtual std::span<uint8_t> GetTableDataBlock() { return {}; }

    // ---- portraits: number -> image index (the image itself is the window layer's)
    void LoadSeatPortraits();
    int AddPortrait(int portrait);
    int GetPortraitIndex(int portrait) const;

    // ---- level titles (GBK texts from the hall's text block)
    std::string GetLevelTitle(int level) const;  // GBK
    void SetLevelTitle(int level, std::string gbk) { levelTitles_[level] = std::move(gbk); }

    // ---- the hall's table state (kind 1), already checked by the parser
    // Replaces hall, table, seat and looker-on data whole; 1 when the own record agrees
    // with the entry (own user id, chair and looker-on flag).
    int ApplyHallTableState(const HallTableState& state);
    // A looker-on joins (kind 4): the first free looker-on record; false when all are used.
    PlayerRecord* AddLookerOn(const PlayerRecord& record);

    // ---- room list
    void SetRoomListMode(int mode);
    void AppendRoom(const RoomRecord& room);
    int GetRoomListMode() const { return roomMode_; }
    const std::vector<RoomRecord>& rooms() const { return rooms_; }
    virtual int IsPlaying() { return 0; }
    // Next (forward 0) or previous (forward 1) room the user may move to; -1 when none.
    // The bounds are checked against the user's own seated record: a looker-on, who has
    // none, brings silver and score 0.
    int FindRoom(int flag);

protected:
    // Adds the image of a portrait to the image lists; returns its index, -1 when there is
    // no picture to add (the number is still recorded, with -1, and not tried again). The
    // framework's model only counts; the window layer loads the picture.
    virtual int AddPortraitImage(int portrait);
    static int ClampChair(int c) { return c < 0 || c >= kSeatCount ? 0 : c; }

    bool disconnectedWhilePlaying_ = false;
    std::array<PlayerRecord, kSeatCount> seats_{};
    std::array<PlayerRecord, kLookerCount> lookers_{};
    int seatedCount_ = 0;
    std::map<int, std::string> levelTitles_;
    std::map<int, int> portraitIndex_;
    int nextPortraitIndex_ = 0;
    std::vector<RoomRecord> rooms_;
    int roomMode_ = 0;
};

}  // namespace hqlv::framework
