#pragma once
// The application's data, without any window: the entry record (from the hall's command
// line and its first data message), the hall and table records, the player records of
// the table (8 seats, 64 lookers-on), the level titles, the room list and the portrait
// index. The application class derives from it; the notification handlers, the hall
// data handling and the panes read and change it through these operations. Every
// operation that takes a body from the server or the hall takes its length and checks it.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/player_records.h"

namespace hqlv::framework {

using HallRecord = WordBlock<444>;
struct HallTableState;
using TableRecord = WordBlock<176>;
using RoomRecord = WordBlock<64>;

// What the hall's command line gives the application.
struct EntryFields {
    int32_t gameId = 0;
    std::string serverHost;  // at most 31 bytes
    int32_t roomId = 0;
    uint32_t hallWnd = 0;
    int32_t field4 = 0;
    int32_t userId = 0;
    int32_t tableNo = -1;
    int32_t chairNo = -1;
    int32_t lookerOn = 0;
    int32_t relaunchMark = 0;
    std::string title;  // UTF-8
    int32_t serverPort = 0;
    int32_t optionA = 0;
    int32_t optionB = 0;
    int32_t field14 = 0;
};

class CGameAppData {
public:
    CGameAppData(std::string gameCode, int defaultPort, int versionMajor, int versionMinor);
    virtual ~CGameAppData() = default;

    // Fills the entry record from the command line's fields (port 0: the default port);
    // option words A, B and field 14 go into the hall record.
    void SetEntry(const EntryFields& entry);

    // ---- accessors of the entry record
    bool IsSmallScreen() const { return smallScreen_; }
    void SetSmallScreen(bool on) { smallScreen_ = on; }
    bool IsStandalone() const { return standalone_; }
    void SetStandalone(bool on) { standalone_ = on; }
    int GetVersionMajor() const { return versionMajor_; }
    int GetVersionMinor() const { return versionMinor_; }
    void SetNewerServerVersion(int major, int minor) {
        newerMajor_ = major;
        newerMinor_ = minor;
    }
    int GetNewerServerMajor() const { return newerMajor_; }
    int GetNewerServerMinor() const { return newerMinor_; }
    std::string GetGameCode() const { return gameCode_; }
    int GetDefaultPort() const { return defaultPort_; }
    int GetGameID() const { return entry_.gameId; }
    std::string GetServerHost() const { return entry_.serverHost; }
    int GetServerPort() const { return entry_.serverPort; }
    int GetRoomID() const { return entry_.roomId; }
    uint32_t GetHallWnd() const { return entry_.hallWnd; }
    int GetField4() const { return entry_.field4; }
    int GetUserID() const { return entry_.userId; }
    int GetTableNo() const { return entry_.tableNo; }
    int GetChairNo() const { return entry_.chairNo; }
    int GetCmdField8() const { return entry_.lookerOn; }
    int GetCmdField9() const { return entry_.relaunchMark; }
    std::string GetTitleText() const { return entry_.title; }
    int GetCmdField12() const { return hall_.word(4); }
    int GetCmdField13() const { return hall_.word(73); }
    int GetField14() const { return hall_.word(77); }
    bool IsSilverRoom() const { return (GetCmdField12() & 0x4) != 0; }
    bool IsLeaveForbidden() const { return (GetCmdField12() & 0x4000) != 0; }
    bool TestCmdField13Bit2() const { return (GetCmdField13() & 0x2) != 0; }
    bool TestCmdField13Bit8() const { return (GetCmdField13() & 0x8) != 0; }
    bool TestCmdField13Bit40() const { return (GetCmdField13() & 0x40) != 0; }
    bool TestCmdField13Bit80() const { return (GetCmdField13() & 0x80) != 0; }
    bool IsSpecialOption() const {
        return entry_.lookerOn == 0 && IsSilverRoom() && (GetCmdField13() & 0x1000000) != 0;
    }
    bool HasTableData() const { return tableDataFlag_ != 0; }
    void SetTableDataFlag(int v) { tableDataFlag_ = v; }
    bool IsRelaunchAtExit() const { return relaunchAtExit_; }
    bool IsDisconnectedWhilePlaying() const { return disconnectedWhilePlaying_; }
    void SetDisconnectedWhilePlaying(bool on) { disconnectedWhilePlaying_ = on; }

    // The hall record's values (UTF-8 texts).
    int GetNoticeNumber() const { return hall_.word(3); }
    std::string GetGameDisplayName() const;
    std::string GetWebBase() const;
    std::string GetNoticeBaseUrl() const;
    std::string GetRoomName() const;
    int GetNoticeInterval() const { return hall_.word(70); }
    int GetHallId() const { return hall_.word(69); }
    int GetEnterParam() const { return hall_.word(76); }
    const HallRecord& hallRecord() const { return hall_; }
    const TableRecord& tableRecord() const { return table_; }
    int GetSeatedCount() const { return seatedCount_; }

    // ---- player look-ups (seated records first, then lookers-on)
    const PlayerRecord* GetPlayerRecord(int userId) const;
    PlayerRecord* GetPlayerRecordMutable(int userId);
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

    // The block into which extra table data are copied; none in the framework.
    virtual std::vector<uint8_t>* GetTableDataBlock() { return nullptr; }

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
    int FindRoom(int flag);

protected:
    // Adds the image of a portrait to the image lists; returns its index. The framework's
    // model only counts; the window layer loads the picture.
    virtual int AddPortraitImage(int portrait);
    static int ClampChair(int c) { return c < 0 || c >= kSeatCount ? 0 : c; }

    bool smallScreen_ = false;
    bool standalone_ = false;
    bool relaunchAtExit_ = false;
    bool disconnectedWhilePlaying_ = false;
    int newerMajor_ = 0, newerMinor_ = 0;
    int versionMajor_, versionMinor_;
    int defaultPort_;
    std::string gameCode_;
    int tableDataFlag_ = 0;
    EntryFields entry_;
    HallRecord hall_;
    TableRecord table_;
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
