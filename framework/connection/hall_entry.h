#pragma once
// The hall's entry into a room: the one command-line argument the game hall starts the
// client with, and the record of values the application keeps from it and from the
// hall's first data message.
//
// The application class derives from HallEntry (or holds one and forwards), so the
// accessors below are the application's accessors. Process starts and the question box
// are the application's: it overrides the virtual hooks at the bottom.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hqlv::framework {

// Asked when the client was started without the hall's argument.
inline constexpr const char* kStartFromHallText = "该程序必须从游戏大厅中启动,是否启动游戏大厅？";

// Field limits of the record, counted in wire (GBK) bytes including the terminator.
inline constexpr size_t kServerHostBytes = 32;
inline constexpr size_t kTitleBytes = 128;
inline constexpr size_t kHallRecordBytes = 444;   // 111 words
inline constexpr size_t kTableRecordBytes = 176;  // 44 words

// Option word A bits.
inline constexpr int kOptionSilverRoom = 0x4;
inline constexpr int kOptionLeaveForbidden = 0x4000;

// The command line split into its fields, before it is applied to the record. Absent
// fields are empty optionals in the sense of `present`.
struct HallCommandLine {
    int pieces = 0;  // number of pieces the split produced (at most 30)
    std::array<std::string, 15> field;
    std::array<bool, 15> present{};
};

// Splits a hall argument: strips the quotes (first and last character when the first is
// a double quote) and cuts at "|" into at most 30 pieces; only the first 15 are kept.
HallCommandLine SplitHallCommandLine(std::string_view text);

// Cuts a UTF-8 text so that its wire (GBK) form fits maxBytes - 1 bytes plus the
// terminator, on a character boundary.
std::string BoundedWireText(std::string_view text, size_t maxBytes);

class HallEntry {
public:
    HallEntry(std::string gameCode, int defaultPort, int versionMajor, int versionMinor,
              bool smallScreen = false);
    virtual ~HallEntry() = default;

    // Reads the command line. Returns 1 to go on, 0 to end the program (fewer than 9
    // fields: asks AskStartGameHall() and, on yes, calls LaunchGameHall()).
    int CheckHallCommandLine(std::string_view commandLine);

    // Parses into the record without any question; false when fewer than 9 fields.
    bool ApplyHallCommandLine(std::string_view commandLine);

    // The argument of a relaunch; sets the relaunch mark to 1 and the looker-on flag to 0
    // first, as the relaunch does.
    std::string BuildRelaunchArgument();

    // Starts the program again with the current entry / with the given argument text.
    // Both return the start's result (nonzero: started) and are not checked by callers.
    virtual int RelaunchGame();
    virtual int RelaunchWithArgs(std::string_view args);
    // Starts the hall program; the application's platform glue does the work.
    virtual int LaunchGameHall() { return 0; }

    // Accessors.
    bool IsSmallScreen() const { return m_bSmallScreen; }
    bool IsStandalone() const { return m_bStandalone; }
    int GetVersionMajor() const { return m_nVersionMajor; }
    int GetVersionMinor() const { return m_nVersionMinor; }
    std::string GetGameCode() const { return m_strGameCode; }
    int GetDefaultPort() const { return m_nDefaultPort; }
    int GetGameID() const { return m_nGameID; }
    std::string GetServerHost() const { return m_strServerHost; }
    int GetServerPort() const { return m_nServerPort; }
    int GetRoomID() const { return m_nRoomID; }
    int64_t GetHallWnd() const { return m_nHallWnd; }
    int GetCmdField4() const { return m_nField4; }
    int GetUserID() const { return m_nUserID; }
    int GetTableNo() const { return m_nTableNo; }
    int GetChairNo() const { return m_nChairNo; }
    int GetCmdField8() const { return m_nLookerOn; }
    int GetCmdField9() const { return m_nRelaunchMark; }
    std::string GetTitleText() const { return m_strTitle; }
    int GetCmdField12() const { return HallWord(4); }
    int GetCmdField13() const { return HallWord(73); }
    // Field 14 stands in word 77 of the hall record (byte 308), not in word 76 (byte 304),
    // although the enter parameter of word 76 is also called field 14 at times: word 76 is
    // the value the hall's own record brings and the enter-game request sends, and the
    // command line writing into it would put its field where the hall's value belongs.
    // The two words are kept apart.
    int GetCmdField14() const { return HallWord(77); }
    bool IsSilverRoom() const { return (GetCmdField12() & kOptionSilverRoom) != 0; }
    bool IsLeaveForbidden() const { return (GetCmdField12() & kOptionLeaveForbidden) != 0; }
    bool TestCmdField13Bit2() const { return (GetCmdField13() & 0x2) != 0; }
    bool TestCmdField13Bit8() const { return (GetCmdField13() & 0x8) != 0; }
    bool TestCmdField13Bit40() const { return (GetCmdField13() & 0x40) != 0; }
    bool TestCmdField13Bit80() const { return (GetCmdField13() & 0x80) != 0; }
    // Not a looker-on, a silver room and option B bit 0x1000000.
    bool IsSpecialOption() const {
        return m_nLookerOn == 0 && IsSilverRoom() && (GetCmdField13() & 0x1000000) != 0;
    }
    bool HasTableData() const { return m_bTableData; }
    void SetTableDataFlag(bool on) { m_bTableData = on; }
    int GetNoticeNumber() const { return HallWord(3); }
    int GetHallID() const { return HallWord(69); }
    int GetEnterParam() const { return HallWord(76); }
    bool HasLevelTitles() const { return HallWord(80) != 0; }
    // Texts of the hall record as the hall sent them (GBK bytes, not converted), each
    // bounded by the next field (64 bytes).
    std::string GetGameDisplayName() const { return HallText(5); }
    std::string GetWebBaseUrl() const { return HallText(21); }
    std::string GetNoticeBaseUrl() const { return HallText(37); }
    std::string GetRoomName() const { return HallText(53); }

    // Newer server version found by the version check (0 when none).
    int GetNewerServerMajor() const { return m_nNewerMajor; }
    int GetNewerServerMinor() const { return m_nNewerMinor; }
    void SetNewerServerMajor(int v) { m_nNewerMajor = v; }
    void SetNewerServerMinor(int v) { m_nNewerMinor = v; }

    // The running-game query replaces option word A.
    void SetCmdField12(int v) { SetHallWord(4, v); }
    // The own seat moves (seat assignment, table information).
    void SetTableNo(int v) { m_nTableNo = v; }
    void SetChairNo(int v) { m_nChairNo = v; }

    // The hall's table-state message replaces the hall record whole and the table
    // record behind it; shorter input is zero-filled, longer input is cut.
    void SetHallRecord(const uint8_t* data, size_t length);
    void SetTableRecord(const uint8_t* data, size_t length);
    const std::array<uint8_t, kHallRecordBytes>& HallRecord() const { return m_hallRecord; }
    std::array<uint8_t, kTableRecordBytes>& TableRecord() { return m_tableRecord; }
    const std::array<uint8_t, kTableRecordBytes>& TableRecord() const { return m_tableRecord; }

    int HallWord(size_t word) const;
    void SetHallWord(size_t word, int value);

protected:
    // The question box of a start without the hall's argument; true for "Yes".
    virtual bool AskStartGameHall() { return false; }
    // Starts the program's own file with the given command line, shown maximised.
    virtual int StartOwnProgram(const std::string& /*commandLine*/) { return 0; }

    void SetStandalone(bool on) { m_bStandalone = on; }
    void SetSmallScreen(bool on) { m_bSmallScreen = on; }
    void SetRelaunchAtExit(bool on) { m_bRelaunchAtExit = on; }
    bool IsRelaunchAtExit() const { return m_bRelaunchAtExit; }

private:
    std::string HallText(size_t word) const;
    void ClearEntry();

    bool m_bSmallScreen = false;
    bool m_bStandalone = false;
    bool m_bRelaunchAtExit = false;
    int m_nNewerMajor = 0;
    int m_nNewerMinor = 0;
    int m_nVersionMajor = 0;
    int m_nVersionMinor = 0;
    int m_nDefaultPort = 0;
    std::string m_strGameCode;
    bool m_bTableData = false;
    int m_nGameID = 0;
    std::string m_strServerHost;
    int m_nRoomID = 0;
    int64_t m_nHallWnd = 0;
    int m_nField4 = 0;
    int m_nUserID = 0;
    int m_nTableNo = -1;
    int m_nChairNo = -1;
    int m_nLookerOn = 0;
    int m_nRelaunchMark = 0;
    int m_nServerPort = 0;
    std::string m_strTitle;
    std::array<uint8_t, kHallRecordBytes> m_hallRecord{};
    std::array<uint8_t, kTableRecordBytes> m_tableRecord{};
};

}  // namespace hqlv::framework
